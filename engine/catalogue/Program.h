#pragma once
// A program as the translator hands it over: a JAR (or any zip, recognised by its bytes), a
// folder, or one class file. A folder is a program installed as one: loose classes, jars (each
// read as a jar: its classes and bundles) and .properties files beside them. Loading reads every
// class and every .properties file into memory and notes what else the program holds, so that
// its translated copy (ProgramOutput.h) can be made without reading the input again.
//
// What a program takes from one archive stays within the archive's budget
// (zip::JarArchive::ReadBudget), counted by stated sizes in the archive's order: an entry past it
// is named as unreadable and copied unchanged, as a damaged one is, whichever command reads
// the program. Entries are inflated a slice at a time, and a caller that works through the
// classes a batch at a time may leave the classes of archives unread until it gets to them
// (LoadOptions, ReadClassBytes).

#include "catalogue/InPlaceRecord.h"
#include "zip/JarArchive.h"
#include "errors/Result.h"
#include "files/FileSystem.h"
#include "files/FolderTree.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cl::catalogue {

enum class ProgramKind { Jar, Folder, Class };

// What is read when the input holds what an earlier translation in place wrote: the files as
// they are, or the originals that run kept (InPlaceRecord.h), which is what a translation
// starts from.
enum class ReadAs { Found, Originals };

// Not in an archive: a file of the folder input, or the class input itself.
inline constexpr std::size_t kNoArchive = static_cast<std::size_t>(-1);

// A jar of the program: the input itself, or a jar of a folder input.
struct ProgramArchive {
    std::string path;  // relative to the folder input ("lib/app.jar"); empty for a jar input
    std::unique_ptr<zip::JarArchive> jar;
};

// A file the program is translated in: a class, or a .properties file.
struct ProgramFile {
    // '/'-separated: relative to the jar or folder; inside a jar of a folder input the jar's path,
    // "!/" and the entry ("lib/app.jar!/app/Main.class"); the file name for a class input.
    std::string entry;
    std::string bytes;
    std::size_t archive = kNoArchive;  // into Program::archives
    uint64_t jarIndex = 0;             // the entry in its archive
    bool unread = false;               // listed without its bytes: ReadClassBytes reads them
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
    std::vector<ProgramFile> classes;
    std::vector<ProgramFile> properties;  // every .properties file, bundle or not
    std::vector<ProgramArchive> archives;
    std::vector<std::string> nestedJars;  // jars inside a jar, copied unchanged
    std::vector<UnreadablePart> unreadable;
    // When the input holds what an earlier translation in place wrote, the originals it was
    // made from, which are read instead: the program is what the translator first handed over.
    InPlaceOrigin origin;

    // The archive of a jar input; null for the other kinds.
    zip::JarArchive* Jar() const { return kind == ProgramKind::Jar && !archives.empty() ? archives.front().jar.get() : nullptr; }
    // Everything under a folder input, as found; empty for the other kinds.
    const std::vector<TreeItem>& FolderItems() const { return folderItems_; }

private:
    friend Result<Program> LoadProgram(const std::string&, FileSystem&, const struct LoadOptions&);
    std::vector<TreeItem> folderItems_;
};

// True for the names of a signed jar's signature files: META-INF/*.SF, *.RSA, *.DSA, *.EC
// and META-INF/SIG-*.
bool IsSignatureFile(const std::string& entry);

// The '/'-separated name of an entry inside a jar of a folder: "lib/app.jar!/a/B.class".
std::string EntryInArchive(const std::string& archivePath, const std::string& entry);

struct LoadOptions {
    // Keep the bytes of the classes in archives. When not, each is still read once (so that
    // what cannot be read is known and named before any work starts) but listed with `bytes`
    // empty and `unread` set, for ReadClassBytes to read again when its batch is worked on:
    // then only that batch's classes are held, not every class of the archive at once.
    bool classBytes = true;
    ReadAs readAs = ReadAs::Found;
};

// Reads the program at `path`. Fails when the input itself cannot be read or is no program;
// files that cannot be read are named in `unreadable` and the rest is loaded.
Result<Program> LoadProgram(const std::string& path, FileSystem& fs = NativeFileSystem(),
                            const LoadOptions& options = {});

// Reads the bytes of the classes in [first, last) that were listed unread; the others are
// left as they are. Each read once already, so only running out of memory (std::bad_alloc)
// or an archive changed under the program can fail it; on failure no class of the range is
// changed.
Status ReadClassBytes(Program& program, std::size_t first, std::size_t last);

}  // namespace cl::catalogue
