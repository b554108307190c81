#pragma once
// Where a run puts the translated program and how java finds it. The program is generated into
// a scratch folder of its own (never beside the user's files) and started from the folder the
// user's program lives in, so that the files it opens by relative names are its own. The
// scratch folder holds two folders: `program`, for the translated copy, and `home`, the home the
// program is given unless the translator asks for the real one, so that the settings a
// translated program writes never land where the original program reads its own. The two are
// apart so that the home is never on the class path and no program name can clash with it:
// - a jar goes into the program folder under its own name; one whose manifest names its
//   Main-Class starts with `-jar`, or, when the manifest also has a Class-Path (whose entries
//   are relative to the jar, which the translated copy no longer lies beside), with those
//   entries read against the original jar's folder on the class path;
// - a folder goes into the program folder under its own name and is the class path; it starts
//   from the folder itself;
// - one class goes where its package says under the program folder, which is the class path.
// Any other start names a class with a main method, which the caller chooses.

#include "catalogue/ProgramSession.h"
#include "errors/Result.h"
#include "files/FileSystem.h"
#include "run/RunCommand.h"

#include <string>
#include <vector>

namespace cl::run {

struct RunLayout {
    std::string output;         // where the translated program is generated
    std::string workingFolder;  // where it starts
    std::vector<std::string> classPath;  // the translated program, then a jar's Class-Path entries
    std::string home;                    // the scratch home, made empty
};

// True when the program is a jar whose manifest names its Main-Class: no class to choose.
bool StartsByManifest(const catalogue::ProgramFacts& facts);

// The layout of a run in `scratch` (an empty folder), with the program folder, the home and the
// package folders a class input needs made there. Fails (CannotMakeFolder) when one cannot be
// made.
Result<RunLayout> PrepareRunLayout(const catalogue::ProgramFacts& facts, const std::string& scratch,
                                   FileSystem& fs = NativeFileSystem());

// How java starts the translated program: by the manifest when StartsByManifest, else with
// `mainClass` (one of facts.mainClasses).
RunTarget TargetOf(const catalogue::ProgramFacts& facts, const RunLayout& layout, const std::string& mainClass);

// A Class-Path entry of a jar's manifest as a path: a relative URL read against `jarFolder`,
// %XX escapes decoded, a file: URL as its path. Empty for a URL of any other scheme, which no
// local run can use.
std::string ClassPathEntryPath(const std::string& entry, const std::string& jarFolder);

}  // namespace cl::run
