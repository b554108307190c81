// Reading a whole program into memory and writing its translated copy. Everything written
// goes through WriteFileSafely (a temporary file renamed over the target), so a failed write
// leaves the input and any existing output as they were; a folder output is built beside its
// final place and renamed there only once it is complete.

#include "catalogue/Program.h"

#include "text/ByteString.h"
#include "files/FileOps.h"
#include "files/FileSystem.h"
#include "zip/ZipFault.h"

#include <algorithm>
#include <filesystem>
#include <random>

namespace cl::catalogue {

namespace {

namespace stdfs = std::filesystem;

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool IsClassName(const std::string& entry)
{
    return EndsWith(entry, ".class") && entry.size() > 6;
}

bool IsNestedArchiveName(const std::string& entry)
{
    const std::string upper = Upper(entry);
    return EndsWith(upper, ".JAR") || EndsWith(upper, ".WAR") || EndsWith(upper, ".EAR") || EndsWith(upper, ".ZIP");
}

bool LooksLikeClass(const std::string& bytes)
{
    return bytes.size() >= 4 && static_cast<unsigned char>(bytes[0]) == 0xCA &&
           static_cast<unsigned char>(bytes[1]) == 0xFE && static_cast<unsigned char>(bytes[2]) == 0xBA &&
           static_cast<unsigned char>(bytes[3]) == 0xBE;
}

ProgramError Error(ProgramError::Kind kind, std::string path)
{
    ProgramError error;
    error.kind = kind;
    error.path = std::move(path);
    return error;
}

ProgramError FileFailure(ProgramError::Kind kind, const FileError& file)
{
    ProgramError error = Error(kind, file.path);
    error.file = file;
    return error;
}

std::optional<ProgramError> ReadFile(const std::string& path, std::string& bytes, FileSystem& fs)
{
    ByteString data;
    if (auto error = ReadFileContents(path, data, fs))
        return FileFailure(ProgramError::Kind::CannotRead, *error);
    bytes.assign(data.View());
    return std::nullopt;
}

std::optional<ProgramError> WriteFile(const std::string& path, const std::string& bytes, FileSystem& fs)
{
    if (auto error = WriteFileSafely(path, ByteString(std::string_view(bytes)), fs))
        return FileFailure(ProgramError::Kind::CannotWrite, *error);
    return std::nullopt;
}

std::optional<ProgramError> LoadJar(Program& program, std::string bytes, std::unique_ptr<JarArchive>& jar)
{
    // Without an end record the bytes hold no zip and the input is no program, unless they
    // start as a zip does: that is an archive cut short, and is named as one.
    const bool zipStart = bytes.size() >= 4 && bytes.compare(0, 4, "PK\3\4", 4) == 0;
    Result<std::unique_ptr<JarArchive>> opened = JarArchive::Open(std::move(bytes));
    if (!opened) {
        const bool noZip = !zipStart && opened.error().fault == static_cast<uint16_t>(zip::ZipFault::NoEndRecord);
        ProgramError error =
            Error(noZip ? ProgramError::Kind::NotAProgram : ProgramError::Kind::BadArchive, program.path);
        error.reason = opened.error().detail;
        return error;
    }
    jar = std::move(*opened);
    program.kind = ProgramKind::Jar;
    std::vector<uint64_t> classEntries;
    for (const JarEntry& entry : jar->Entries()) {
        if (entry.directory)
            continue;
        if (IsSignatureFile(entry.name))
            program.signatureFiles.push_back(entry.name);
        if (IsNestedArchiveName(entry.name)) {
            program.nestedJars.push_back(entry.name);
            continue;
        }
        if (IsClassName(entry.name))
            classEntries.push_back(entry.index);
    }
    // All classes are inflated in one go, on every core; they are kept in archive order. One
    // that cannot be read (or would inflate past the read's limit) is copied unchanged.
    std::vector<Result<std::string>> contents = jar->ReadMany(classEntries);
    program.classes.reserve(classEntries.size());
    for (std::size_t i = 0; i < classEntries.size(); ++i) {
        const JarEntry& entry = jar->Entries()[classEntries[i]];
        if (!contents[i]) {
            program.unreadable.push_back({entry.name, contents[i].error().detail});
            continue;
        }
        ProgramClass cls;
        cls.entry = entry.name;
        cls.jarIndex = entry.index;
        cls.bytes = std::move(*contents[i]);
        program.classes.push_back(std::move(cls));
    }
    return std::nullopt;
}

std::optional<ProgramError> LoadFolder(Program& program, std::vector<std::string>& files,
                                       std::vector<std::string>& folders, FileSystem& fs)
{
    std::error_code ec;
    const stdfs::path root(program.path);
    stdfs::recursive_directory_iterator it(root, stdfs::directory_options::none, ec);
    if (ec) {
        ProgramError error = Error(ProgramError::Kind::CannotList, program.path);
        error.code = ec;
        return error;
    }
    for (; it != stdfs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const std::string relative = it->path().lexically_relative(root).generic_string();
        std::error_code typeError;
        if (it->is_directory(typeError))
            folders.push_back(relative);
        else
            files.push_back(relative);
    }
    if (ec) {
        ProgramError error = Error(ProgramError::Kind::CannotList, program.path);
        error.code = ec;
        return error;
    }
    // Directory order differs between machines; sorted, the catalogue comes out the same.
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const std::string& relative : files) {
        if (!IsClassName(relative))
            continue;
        ProgramClass cls;
        cls.entry = relative;
        if (auto error = ReadFile((root / relative).string(), cls.bytes, fs)) {
            program.unreadable.push_back({relative, error->file.reason.message()});
            continue;
        }
        program.classes.push_back(std::move(cls));
    }
    return std::nullopt;
}

// A folder beside `target` with a name no one else uses.
std::optional<ProgramError> MakeScratchFolder(const std::string& target, std::string& scratch)
{
    std::random_device seed;
    std::mt19937 random(seed());
    const stdfs::path base = stdfs::path(target).lexically_normal();
    std::error_code ec;
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::string candidate = base.string();
        while (candidate.size() > 1 && candidate.back() == '/')
            candidate.pop_back();
        candidate += ".classlingo-" + std::to_string(random() % 1000000);
        if (stdfs::create_directory(candidate, ec)) {
            scratch = candidate;
            return std::nullopt;
        }
        if (ec)
            break;
    }
    ProgramError error = Error(ProgramError::Kind::CannotMakeFolder, target);
    error.code = ec ? ec : std::make_error_code(std::errc::file_exists);
    return error;
}

std::optional<ProgramError> BuildFolder(const Program& program, const std::vector<std::string>& files,
                                        const std::vector<std::string>& folders,
                                        const std::map<std::string, std::string>& changed, const std::string& scratch,
                                        FileSystem& fs)
{
    for (const std::string& folder : folders) {
        std::error_code ec;
        stdfs::create_directories(stdfs::path(scratch) / folder, ec);
        if (ec) {
            ProgramError error = Error(ProgramError::Kind::CannotMakeFolder, (stdfs::path(scratch) / folder).string());
            error.code = ec;
            return error;
        }
    }
    for (const std::string& relative : files) {
        std::string bytes;
        if (auto it = changed.find(relative); it != changed.end()) {
            bytes = it->second;
        } else if (auto error = ReadFile((stdfs::path(program.path) / relative).string(), bytes, fs)) {
            // Already named as unreadable when the input was loaded: left out of the copy.
            const bool known = std::any_of(program.unreadable.begin(), program.unreadable.end(),
                                           [&](const UnreadablePart& part) { return part.entry == relative; });
            if (known)
                continue;
            return error;
        }
        if (auto error = WriteFile((stdfs::path(scratch) / relative).string(), bytes, fs))
            return error;
    }
    return std::nullopt;
}

bool SameFile(const FileInfo& a, const FileInfo& b)
{
    return a.exists && b.exists && (a.inode != 0 || a.device != 0) && a.device == b.device && a.inode == b.inode;
}

}  // namespace

bool IsSignatureFile(const std::string& entry)
{
    const std::string upper = Upper(entry);
    if (upper.rfind("META-INF/", 0) != 0 || upper.find('/', 9) != std::string::npos)
        return false;
    const std::string name = upper.substr(9);
    return EndsWith(name, ".SF") || EndsWith(name, ".RSA") || EndsWith(name, ".DSA") || EndsWith(name, ".EC") ||
           name.rfind("SIG-", 0) == 0;
}

std::optional<ProgramError> LoadProgram(const std::string& path, Program& program, FileSystem& fs)
{
    program = Program();
    program.path = path;
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    program.name = NameOf(trimmed);

    FileInfo info;
    if (auto ec = fs.Stat(path, info)) {
        ProgramError error = Error(ProgramError::Kind::CannotRead, path);
        error.code = ec;
        return error;
    }
    if (info.exists && info.isDirectory) {
        program.kind = ProgramKind::Folder;
        return LoadFolder(program, program.folderFiles_, program.folderFolders_, fs);
    }
    std::string bytes;
    if (auto error = ReadFile(path, bytes, fs))
        return error;
    // A class by its magic; otherwise a zip wherever its end record says it is (a launcher
    // script may come first); otherwise no program.
    if (LooksLikeClass(bytes)) {
        program.kind = ProgramKind::Class;
        program.classes.push_back({program.name, std::move(bytes), 0});
        return std::nullopt;
    }
    return LoadJar(program, std::move(bytes), program.jar_);
}

std::optional<ProgramError> WriteProgram(Program& program, const std::map<std::string, std::string>& changed,
                                         const std::string& output, bool inPlace,
                                         std::vector<std::string>& droppedSignatures, FileSystem& fs)
{
    droppedSignatures.clear();
    const std::string target = inPlace ? program.path : output;
    FileInfo in;
    FileInfo out;
    if (auto ec = fs.Stat(program.path, in)) {
        ProgramError error = Error(ProgramError::Kind::CannotRead, program.path);
        error.code = ec;
        return error;
    }
    if (!inPlace) {
        if (auto ec = fs.Stat(output, out)) {
            ProgramError error = Error(ProgramError::Kind::CannotWrite, output);
            error.code = ec;
            return error;
        }
        if (SameFile(in, out))
            return Error(ProgramError::Kind::OutputIsInput, output);
        const bool wantFolder = program.kind == ProgramKind::Folder;
        if (out.exists && out.isDirectory != wantFolder)
            return Error(ProgramError::Kind::OutputWrongKind, output);
        if (out.exists && wantFolder) {
            std::error_code ec;
            if (!stdfs::is_empty(output, ec) || ec)
                return Error(ProgramError::Kind::OutputNotEmpty, output);
        }
    }

    if (program.kind != ProgramKind::Folder) {
        std::string bytes;
        if (program.kind == ProgramKind::Class) {
            const auto it = changed.find(program.classes.front().entry);
            if (it != changed.end())
                bytes = it->second;
            else if (auto error = ReadFile(program.path, bytes, fs))
                return error;
        } else {
            auto archiveFailure = [&](const cl::Error& error) {
                ProgramError failure = Error(ProgramError::Kind::ArchiveWrite, target);
                failure.reason = error.detail;
                return failure;
            };
            for (const ProgramClass& cls : program.classes) {
                if (auto it = changed.find(cls.entry); it != changed.end()) {
                    if (Status replaced = program.jar_->Replace(cls.jarIndex, it->second); !replaced)
                        return archiveFailure(replaced.error());
                }
            }
            // A changed class breaks the signature, and a jar with a broken signature does not
            // run at all; without one it runs unsigned.
            if (!changed.empty()) {
                for (const JarEntry& entry : program.jar_->Entries()) {
                    if (!entry.directory && IsSignatureFile(entry.name)) {
                        if (Status removed = program.jar_->Remove(entry.index); !removed)
                            return archiveFailure(removed.error());
                        droppedSignatures.push_back(entry.name);
                    }
                }
            }
            Result<std::string> written = program.jar_->Finish();
            if (!written)
                return archiveFailure(written.error());
            bytes = std::move(*written);
        }
        if (inPlace) {
            if (auto error = MakeBackup(program.path, fs))
                return FileFailure(ProgramError::Kind::CannotWrite, *error);
        }
        return WriteFile(target, bytes, fs);
    }

    std::string scratch;
    if (auto error = MakeScratchFolder(target, scratch))
        return error;
    auto discard = [&] {
        std::error_code ignored;
        stdfs::remove_all(scratch, ignored);
    };
    if (auto error = BuildFolder(program, program.folderFiles_, program.folderFolders_, changed, scratch, fs)) {
        discard();
        return error;
    }
    auto renameFailure = [&](const std::string& path, std::error_code ec) {
        ProgramError error = Error(ProgramError::Kind::CannotMakeFolder, path);
        error.code = ec;
        return error;
    };
    if (!inPlace) {
        if (out.exists) {
            std::error_code ec;
            stdfs::remove(output, ec);  // empty, checked above
        }
        if (auto ec = fs.Rename(scratch, output)) {
            discard();
            return renameFailure(output, ec);
        }
        return std::nullopt;
    }

    // In place: the input becomes INPUT.bak and the new tree takes its name; an older backup
    // is removed only once both renames have happened.
    std::string trimmed = program.path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const std::string backup = trimmed + ".bak";
    std::string oldBackup;
    FileInfo backupInfo;
    if (!fs.Stat(backup, backupInfo) && backupInfo.exists) {
        oldBackup = scratch + ".old";
        if (auto ec = fs.Rename(backup, oldBackup)) {
            discard();
            return renameFailure(backup, ec);
        }
    }
    if (auto ec = fs.Rename(trimmed, backup)) {
        if (!oldBackup.empty())
            fs.Rename(oldBackup, backup);
        discard();
        return renameFailure(trimmed, ec);
    }
    if (auto ec = fs.Rename(scratch, trimmed)) {
        fs.Rename(backup, trimmed);
        if (!oldBackup.empty())
            fs.Rename(oldBackup, backup);
        discard();
        return renameFailure(trimmed, ec);
    }
    if (!oldBackup.empty()) {
        std::error_code ignored;
        stdfs::remove_all(oldBackup, ignored);
    }
    return std::nullopt;
}

}  // namespace cl::catalogue
