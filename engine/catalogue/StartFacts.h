#pragma once
// How a program starts, as the Java launcher finds out: a jar's META-INF/MANIFEST.MF (its
// Main-Class and Class-Path) and the classes with a main method. They are read here, once, when
// the session opens a program (ProgramFacts keeps them), and a run of the translated copy
// (run/RunLayout.h) uses what was read.
//
// The manifest is read as the launcher reads it to start the jar: the attributes of its main
// section (everything before the first empty line), lines ended by CR LF, LF or CR, a line that
// begins with one space continuing the one before it (the space dropped), names matched without
// regard to case.

#include "classfile/ClassFile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cl::catalogue {

class Program;
struct ProgramFacts;

// The name of the manifest entry in a jar.
inline constexpr std::string_view kManifestEntry = "META-INF/MANIFEST.MF";

// The value of the main section's attribute `name`, spaces and tabs around it removed; empty
// optional when the main section has none.
std::optional<std::string> MainAttribute(std::string_view manifest, std::string_view name);

// Main-Class with '/' read as '.', as the launcher reads it; empty when there is none.
std::string ManifestMainClass(std::string_view manifest);

// The entries of Class-Path, as written (relative URLs, separated by spaces).
std::vector<std::string> ManifestClassPath(std::string_view manifest);

// Whether a class can start a program: it declares `public static void main(String[])` (also
// written `String...`), the method the launcher looks for when it is named on the command line.
bool HasMainMethod(const classfile::ClassFile& cf);

// A jar program's Main-Class and Class-Path into `facts`. The launcher finds the manifest
// whatever the case of its name; one that cannot be read says nothing (the run then asks for a
// class), and a folder or a class has none.
void ReadManifestStart(const Program& program, ProgramFacts& facts);

}  // namespace cl::catalogue
