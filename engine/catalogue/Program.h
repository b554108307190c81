#pragma once
// A program as the translator hands it over: a JAR (or any ZIP, recognised by its bytes), a
// folder of classes, or one class file. Loading reads every class into memory; writing gives
// an output of the same kind with some classes replaced, never touching the input or an
// existing output until the new one is complete.

#include "errors/FileError.h"
#include "files/FileSystem.h"
#include "catalogue/JarArchive.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace cl::catalogue {

enum class ProgramKind { Jar, Folder, Class };

// Why a program could not be read or written. `file` carries the file layer's account for
// CannotRead and CannotWrite; `reason` is the archive code's short technical account (the
// `detail` of its cl::Error) for the archive kinds; `code` the system's reason for the folder
// kinds.
struct ProgramError {
    enum class Kind {
        CannotRead,      // the input (or a file of the input folder) cannot be read
        NotAProgram,     // neither a class file, a zip (no end record found) nor a folder
        BadArchive,      // the archive's records cannot be followed
        CannotList,      // a folder of the input cannot be listed
        OutputIsInput,   // OUTPUT is INPUT (by any path or link) and no --in-place
        OutputNotEmpty,  // a folder OUTPUT that exists and holds files
        OutputWrongKind, // OUTPUT exists and is a folder for a file input, or the other way round
        CannotWrite,     // a file of the output cannot be written
        CannotMakeFolder,// a folder of the output cannot be made or put in place
        ArchiveWrite,    // the new archive cannot be made
    };
    Kind kind = Kind::CannotRead;
    std::string path;
    std::string reason;
    std::error_code code;
    FileError file;
};

struct ProgramClass {
    std::string entry;  // '/'-separated, relative to the jar or folder; the file name for a class
    std::string bytes;
    uint64_t jarIndex = 0;
};

// A part of the input that could not be read; it is copied unchanged where that is possible.
struct UnreadablePart {
    std::string entry;
    std::string reason;
};

class Program {
public:
    ProgramKind kind = ProgramKind::Class;
    std::string path;
    std::string name;  // the input's file or folder name, for the catalogue header
    std::vector<ProgramClass> classes;
    std::vector<std::string> nestedJars;      // copied unchanged
    std::vector<std::string> signatureFiles;  // META-INF signature files of a signed jar
    std::vector<UnreadablePart> unreadable;

private:
    friend std::optional<ProgramError> LoadProgram(const std::string&, Program&, FileSystem&);
    friend std::optional<ProgramError> WriteProgram(Program&, const std::map<std::string, std::string>&,
                                                    const std::string&, bool, std::vector<std::string>&, FileSystem&);
    std::unique_ptr<JarArchive> jar_;
    std::vector<std::string> folderFiles_;    // every file of a folder input, relative
    std::vector<std::string> folderFolders_;  // every folder under it, relative, parents first
};

// True for the names of a signed jar's signature files: META-INF/*.SF, *.RSA, *.DSA, *.EC
// and META-INF/SIG-*.
bool IsSignatureFile(const std::string& entry);

std::optional<ProgramError> LoadProgram(const std::string& path, Program& program, FileSystem& fs = NativeFileSystem());

// Writes `program` with the classes named in `changed` (entry -> new bytes) to `output`, or in
// place of the input (its old self kept as INPUT.bak) when `inPlace`. A jar that changes drops
// its signature files (named in `droppedSignatures`); one that does not change drops nothing.
std::optional<ProgramError> WriteProgram(Program& program, const std::map<std::string, std::string>& changed,
                                         const std::string& output, bool inPlace,
                                         std::vector<std::string>& droppedSignatures,
                                         FileSystem& fs = NativeFileSystem());

}  // namespace cl::catalogue
