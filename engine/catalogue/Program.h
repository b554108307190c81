#pragma once
// A program as the translator hands it over: a JAR (or any zip, recognised by its bytes), a
// folder of classes, or one class file. Loading reads every class into memory and notes what
// else the program holds, so that its translated copy (ProgramOutput.h) can be made without
// reading the input again.

#include "catalogue/JarArchive.h"
#include "errors/Result.h"
#include "files/FileSystem.h"
#include "files/FolderTree.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cl::catalogue {

enum class ProgramKind { Jar, Folder, Class };

struct ProgramClass {
    std::string entry;  // '/'-separated, relative to the jar or folder; the file name for a class
    std::string bytes;
    uint64_t jarIndex = 0;
};

// A part of the input that could not be read; it is copied unchanged where that is possible.
struct UnreadablePart {
    std::string entry;
    Error error;
};

class Program {
public:
    Program();
    Program(Program&&) noexcept;
    Program& operator=(Program&&) noexcept;
    ~Program();

    ProgramKind kind = ProgramKind::Class;
    std::string path;  // as given, without separators at its end
    std::string name;  // the input's file or folder name, for the catalogue header
    std::vector<ProgramClass> classes;
    std::vector<std::string> nestedJars;      // copied unchanged
    std::vector<std::string> signatureFiles;  // META-INF signature files of a signed jar
    std::vector<UnreadablePart> unreadable;

    // The archive of a jar input; null for the other kinds.
    JarArchive* Jar() const { return jar_.get(); }
    // Everything under a folder input, as found; empty for the other kinds.
    const std::vector<TreeItem>& FolderItems() const { return folderItems_; }

private:
    friend Result<Program> LoadProgram(const std::string&, FileSystem&);
    std::unique_ptr<JarArchive> jar_;
    std::vector<TreeItem> folderItems_;
};

// True for the names of a signed jar's signature files: META-INF/*.SF, *.RSA, *.DSA, *.EC
// and META-INF/SIG-*.
bool IsSignatureFile(const std::string& entry);

// Reads the program at `path`. Fails when the input itself cannot be read or is no program;
// classes that cannot be read are named in `unreadable` and the rest is loaded.
Result<Program> LoadProgram(const std::string& path, FileSystem& fs = NativeFileSystem());

}  // namespace cl::catalogue
