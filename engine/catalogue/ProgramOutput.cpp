// Making the translated copy of a program: the whole of it is written beside its destination
// first, so that a failure or a cancel part way leaves the input and any existing output as they
// were, and putting it in place is a rename (per changed file, for a folder in place).

#include "catalogue/ProgramOutput.h"

#include "files/FileOps.h"
#include "files/FolderTree.h"
#include "files/SameFile.h"
#include "text/ByteString.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace cl::catalogue {

namespace {

Error OutputError(ErrorKind kind, const std::string& path, std::error_code code = {})
{
    Error error(kind, path, code);
    error.task = ErrorTask::Program;
    return error;
}

Error Cancelled()
{
    return OutputError(ErrorKind::Cancelled, {});
}

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool IsAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The name of `entry` inside archive `archive` of the program ("a/B.class" for
// "lib/x.jar!/a/B.class"); empty when it is not in that archive.
std::string NameInArchive(const ProgramArchive& archive, const std::string& entry)
{
    if (archive.path.empty())
        return entry;
    const std::string prefix = archive.path + "!/";
    return entry.compare(0, prefix.size(), prefix) == 0 ? entry.substr(prefix.size()) : std::string();
}

// The bytes of archive `a` with the changes that fall in it; the input's bytes when none does.
// An archive that changes drops its signature files, since a jar with a broken signature does
// not run at all and one without runs unsigned.
Result<std::string> BuildArchive(Program& program, std::size_t a, const OutputChanges& changes,
                                 const std::string& destination, std::vector<std::string>& dropped)
{
    ProgramArchive& archive = program.archives[a];
    JarArchive& jar = *archive.jar;
    auto failure = [&](Error error) {
        error.kind = ErrorKind::ArchiveWrite;
        error.path = destination;
        error.task = ErrorTask::Program;
        return error;
    };
    bool changed = false;
    std::map<std::string, uint64_t> indexOf;
    for (const std::vector<ProgramFile>* files : {&program.classes, &program.properties}) {
        for (const ProgramFile& file : *files) {
            if (file.archive != a)
                continue;
            indexOf.emplace(file.entry, file.jarIndex);
            if (auto it = changes.replaced.find(file.entry); it != changes.replaced.end()) {
                if (Status replaced = jar.Replace(file.jarIndex, it->second); !replaced)
                    return failure(std::move(replaced).error());
                changed = true;
            }
        }
    }
    for (const AddedFile& added : changes.added) {
        const auto after = indexOf.find(added.after);
        const std::string name = NameInArchive(archive, added.entry);
        if (after == indexOf.end() || name.empty())
            continue;
        Result<uint64_t> index = jar.AddAfter(after->second, name, !IsAscii(name), added.bytes);
        if (!index)
            return failure(std::move(index).error());
        changed = true;
    }
    if (changed) {
        for (const JarEntry& entry : jar.Entries()) {
            if (!entry.directory && !entry.added && IsSignatureFile(entry.name)) {
                if (Status removed = jar.Remove(entry.index); !removed)
                    return failure(std::move(removed).error());
                dropped.push_back(EntryInArchive(archive.path, entry.name));
            }
        }
    }
    Result<std::string> bytes = jar.Finish();
    if (!bytes)
        return failure(std::move(bytes).error());
    return bytes;
}

// A folder's changes as whole files: loose files replaced, its jars that change made anew, and
// the files added beside the others.
struct FolderChanges {
    std::map<std::string, std::string> files;  // relative path -> new contents
    std::map<std::string, std::string> added;  // relative path -> contents of a new file
};

Result<FolderChanges> ResolveFolderChanges(Program& program, const OutputChanges& changes,
                                           std::vector<std::string>& dropped)
{
    FolderChanges resolved;
    for (const auto& [entry, bytes] : changes.replaced) {
        if (entry.find("!/") == std::string::npos)
            resolved.files[entry] = bytes;
    }
    for (const AddedFile& added : changes.added) {
        if (added.entry.find("!/") == std::string::npos)
            resolved.added[added.entry] = added.bytes;
    }
    for (std::size_t a = 0; a < program.archives.size(); ++a) {
        const std::string prefix = program.archives[a].path + "!/";
        const bool touched =
            std::any_of(changes.replaced.begin(), changes.replaced.end(),
                        [&](const auto& change) { return change.first.compare(0, prefix.size(), prefix) == 0; }) ||
            std::any_of(changes.added.begin(), changes.added.end(),
                        [&](const AddedFile& added) { return added.entry.compare(0, prefix.size(), prefix) == 0; });
        if (!touched)
            continue;
        Result<std::string> bytes =
            BuildArchive(program, a, changes, JoinPath(program.path, program.archives[a].path), dropped);
        if (!bytes)
            return std::move(bytes).error();
        resolved.files[program.archives[a].path] = std::move(*bytes);
    }
    return resolved;
}

}  // namespace

struct StagedOutput::State {
    enum class Shape { Nothing, File, Folder, FilesInPlace } shape = Shape::Nothing;
    FileSystem* fs = nullptr;
    std::string input;        // the program's path
    std::string destination;  // where it goes
    bool inPlace = false;
    std::optional<PreparedFile> file;             // Shape::File
    std::string stagedFolder;                     // Shape::Folder
    FileInfo inputRootInfo;                       // Shape::Folder: the input folder's own attributes
    std::vector<PreparedFile> files;              // Shape::FilesInPlace, with their entries:
    std::vector<std::string> entries;
    std::map<std::string, std::string> newFiles;  // Shape::FilesInPlace: files added, written at commit
    std::size_t filesChanged = 0;                 // Shape::Folder: files changed or added
    std::vector<std::string> droppedSignatures;

    void Discard()
    {
        file.reset();
        files.clear();
        if (!stagedFolder.empty())
            (void)RemoveTree(std::exchange(stagedFolder, {}), *fs);
        shape = Shape::Nothing;
    }
};

namespace {

using State = StagedOutput::State;

// The folders a file under `root` needs. Those made are named in `made`, outermost first, so that
// they can go again when the file cannot be written after all.
Status MakeFoldersTo(const std::string& root, const std::string& relative, FileSystem& fs,
                     std::vector<std::string>* made = nullptr)
{
    std::string path = root;
    std::size_t start = 0;
    for (std::size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', start)) {
        path = JoinPath(path, relative.substr(start, slash - start));
        start = slash + 1;
        FileInfo info;
        if (auto ec = fs.Stat(path, info))
            return OutputError(ErrorKind::CannotMakeFolder, path, ec);
        if (info.exists && info.isDirectory)
            continue;
        if (auto ec = fs.MakeFolder(path))
            return OutputError(ErrorKind::CannotMakeFolder, path, ec);
        if (made != nullptr)
            made->push_back(path);
    }
    return {};
}

// Writes a file that is not there yet under `root` (a new file of a folder in place, or an
// original's copy under the backup folder), with the folders it needs. When that fails, the
// folders made for it go again: a failed run leaves no empty folder in the user's tree.
Status WriteNewFileUnder(const std::string& root, const std::string& relative, FileSystem& fs,
                         const std::function<Status(const std::string&)>& write)
{
    std::vector<std::string> made;
    Status written = MakeFoldersTo(root, relative, fs, &made);
    if (written)
        written = write(JoinPath(root, relative));
    if (!written) {
        for (auto it = made.rbegin(); it != made.rend(); ++it)
            (void)fs.RemoveFolder(*it);
    }
    return written;
}

// A new folder: every item of the input, in the input's order (parents first), changed files
// with their new contents; each keeps its mode and time, links stay links. Folders get their
// attributes last, since filling a folder changes its time.
Status CopyFolder(const Program& program, const FolderChanges& changes, const std::string& staged,
                  const Progress& progress, FileSystem& fs)
{
    std::vector<const TreeItem*> folders;
    for (const TreeItem& item : program.FolderItems()) {
        if (progress.Cancelled())
            return Cancelled();
        const std::string from = JoinPath(program.path, item.relative);
        const std::string to = JoinPath(staged, item.relative);
        switch (item.type) {
            case EntryType::Folder:
                if (auto ec = fs.MakeFolder(to))
                    return OutputError(ErrorKind::CannotMakeFolder, to, ec);
                folders.push_back(&item);
                break;
            case EntryType::Link: {
                std::string target;
                if (auto ec = fs.ReadLink(from, target))
                    return OutputError(ErrorKind::ReadFailed, from, ec);
                if (auto ec = fs.MakeLink(target, to))
                    return OutputError(ErrorKind::CannotWrite, to, ec);
                if (auto ec = fs.CopyAttributes(item.info, to))
                    return OutputError(ErrorKind::CannotWrite, to, ec);
                break;
            }
            case EntryType::File: {
                FileInfo like = item.info;
                if (auto it = changes.files.find(item.relative); it != changes.files.end()) {
                    if (Status written = WriteFileSafely(to, std::string_view(it->second), fs); !written)
                        return written;
                    like.modifiedNs = NowNs();  // it changed now
                } else if (Status copied = CopyFileTo(from, to, fs); !copied) {
                    // Named as unreadable when the input was loaded: left out of the copy.
                    const bool known =
                        std::any_of(program.unreadable.begin(), program.unreadable.end(),
                                    [&](const UnreadablePart& part) { return part.entry == item.relative; });
                    if (known)
                        break;
                    return copied;
                }
                if (auto ec = fs.CopyAttributes(like, to))
                    return OutputError(ErrorKind::CannotWrite, to, ec);
                break;
            }
            case EntryType::Other: break;  // named as unreadable when loaded
        }
    }
    for (const auto& [relative, bytes] : changes.added) {
        if (Status folders = MakeFoldersTo(staged, relative, fs); !folders)
            return folders;
        if (Status written = WriteFileSafely(JoinPath(staged, relative), std::string_view(bytes), fs); !written)
            return written;
    }
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        const std::string to = JoinPath(staged, (*it)->relative);
        if (auto ec = fs.CopyAttributes((*it)->info, to))
            return OutputError(ErrorKind::CannotWrite, to, ec);
    }
    return {};
}

// A backup that is not a file (a folder, say) cannot stand for the original: replacing the
// input then would lose it, so the replacement stops and names the backup.
Error BackupInTheWay(const std::string& input, const std::string& backup)
{
    Error error(ErrorKind::NotReplaced, input, std::make_error_code(std::errc::file_exists));
    error.task = ErrorTask::Backup;
    error.step = ErrorStep::NotRegular;
    error.other = backup;
    return error;
}

Result<OutputReport> CommitFileInPlace(State& state, OutputReport report)
{
    FileSystem& fs = *state.fs;
    report.backupPath = state.input + ".bak";
    FileInfo backup;
    if (auto ec = fs.Stat(report.backupPath, backup))
        return Error(ErrorKind::NotReplaced, report.backupPath, ec);
    if (backup.exists && backup.isRegular) {
        report.backup = BackupOutcome::Kept;
    } else if (backup.exists) {
        return BackupInTheWay(state.input, report.backupPath);
    } else {
        if (Status made = MakeBackup(state.input, fs); !made)
            return std::move(made).error();
        report.backup = BackupOutcome::Made;
    }
    if (Status put = state.file->Commit(); !put)
        return std::move(put).error();
    report.written = true;
    report.filesWritten = 1;
    return report;
}

Result<OutputReport> CommitFilesInPlace(State& state, OutputReport report)
{
    FileSystem& fs = *state.fs;
    const std::string backupRoot = state.input + ".bak";
    report.backupPath = backupRoot;
    FileInfo root;
    if (auto ec = fs.Stat(backupRoot, root))
        return OutputError(ErrorKind::CannotMakeFolder, backupRoot, ec);
    if (root.exists && !root.isDirectory)
        return BackupInTheWay(state.input, backupRoot);
    report.backup = root.exists ? BackupOutcome::Kept : BackupOutcome::Made;
    if (!root.exists) {
        if (auto ec = fs.MakeFolder(backupRoot))
            return OutputError(ErrorKind::CannotMakeFolder, backupRoot, ec);
    }
    for (std::size_t i = 0; i < state.files.size(); ++i) {
        const std::string& entry = state.entries[i];
        const std::string original = JoinPath(state.input, entry);
        const std::string saved = JoinPath(backupRoot, entry);
        // An original already under the backup folder came from an earlier run: it is older
        // than the file here, so it stays.
        FileInfo there;
        if (auto ec = fs.StatLink(saved, there))
            return OutputError(ErrorKind::CannotWrite, saved, ec);
        if (!there.exists) {
            Status copied = WriteNewFileUnder(backupRoot, entry, fs, [&](const std::string& to) {
                Status status = CopyFileTo(original, to, fs);
                if (!status) {
                    Error error = std::move(status).error();
                    error.task = ErrorTask::Backup;
                    return Status(std::move(error));
                }
                return status;
            });
            if (!copied) {
                // A backup folder made by this run that holds nothing goes with it.
                if (report.backup == BackupOutcome::Made && report.backupsAdded == 0)
                    (void)fs.RemoveFolder(backupRoot);
                return std::move(copied).error();
            }
            FileInfo info;
            if (!fs.StatLink(original, info))
                (void)fs.CopyAttributes(info, saved);
            ++report.backupsAdded;
        }
        if (Status put = state.files[i].Commit(); !put)
            return std::move(put).error();
        ++report.filesWritten;
    }
    // A new file has no original to keep.
    for (const auto& newFile : state.newFiles) {
        const std::string& bytes = newFile.second;
        if (Status written = WriteNewFileUnder(
                state.input, newFile.first, fs,
                [&](const std::string& to) { return WriteFileSafely(to, std::string_view(bytes), fs); });
            !written)
            return std::move(written).error();
        ++report.filesWritten;
    }
    report.written = true;
    return report;
}

}  // namespace

Status CheckOutput(const Program& program, const OutputRequest& request, FileSystem& fs)
{
    if (request.inPlace)
        return {};
    const std::string& output = request.output;
    if (IsSameFile(output, program.path, fs))
        return OutputError(ErrorKind::OutputIsInput, output);
    for (const std::string& input : request.otherInputs) {
        if (!input.empty() && IsSameFile(output, input, fs))
            return OutputError(ErrorKind::OutputIsInput, output);
    }
    FileInfo out;
    if (auto ec = fs.Stat(output, out))
        return OutputError(ErrorKind::CannotWrite, output, ec);
    const bool wantFolder = program.kind == ProgramKind::Folder;
    if (out.exists && out.isDirectory != wantFolder)
        return OutputError(ErrorKind::OutputWrongKind, output);
    if (out.exists && wantFolder) {
        std::vector<FolderEntry> entries;
        if (auto ec = fs.ListFolder(output, entries))
            return OutputError(ErrorKind::CannotList, output, ec);
        if (!entries.empty())
            return OutputError(ErrorKind::OutputNotEmpty, output);
    }
    return {};
}

StagedOutput::StagedOutput(std::unique_ptr<State> state) : state_(std::move(state)) {}
StagedOutput::StagedOutput(StagedOutput&&) noexcept = default;
StagedOutput& StagedOutput::operator=(StagedOutput&& other) noexcept
{
    if (this != &other) {
        Discard();
        state_ = std::move(other.state_);
    }
    return *this;
}
StagedOutput::~StagedOutput()
{
    Discard();
}

void StagedOutput::Discard()
{
    if (state_)
        state_->Discard();
}

Result<OutputReport> StagedOutput::Commit()
{
    if (!state_)
        return OutputError(ErrorKind::CannotWrite, {});
    State& state = *state_;
    OutputReport report;
    report.droppedSignatures = state.droppedSignatures;
    Result<OutputReport> result = report;
    switch (state.shape) {
        case State::Shape::Nothing: break;
        case State::Shape::File:
            if (state.inPlace) {
                result = CommitFileInPlace(state, std::move(report));
            } else if (Status put = state.file->Commit(); !put) {
                result = std::move(put).error();
            } else {
                result->written = true;
                result->filesWritten = 1;
            }
            break;
        case State::Shape::FilesInPlace: result = CommitFilesInPlace(state, std::move(report)); break;
        case State::Shape::Folder: {
            FileSystem& fs = *state.fs;
            // A rename puts the new folder in the place of an empty one in one step where the
            // platform allows it. Where it does not, the empty folder (checked before, and
            // RemoveFolder takes no other) goes first, and comes back when the rename still
            // fails: a failure leaves the output as it was.
            std::error_code renamed = fs.Rename(state.stagedFolder, state.destination);
            FileInfo out;
            if (renamed && !fs.Stat(state.destination, out) && out.exists && out.isDirectory) {
                if (auto ec = fs.RemoveFolder(state.destination)) {
                    result = OutputError(ErrorKind::OutputNotEmpty, state.destination, ec);
                    break;
                }
                renamed = fs.Rename(state.stagedFolder, state.destination);
                if (renamed && !fs.MakeFolder(state.destination))
                    (void)fs.CopyAttributes(out, state.destination);
            }
            if (renamed) {
                result = OutputError(ErrorKind::CannotMakeFolder, state.destination, renamed);
                break;
            }
            state.stagedFolder.clear();
            result->filesWritten = state.filesChanged;
            (void)fs.CopyAttributes(state.inputRootInfo, state.destination);
            (void)fs.FlushFolder(FolderOf(state.destination));
            result->written = true;
            break;
        }
    }
    state.Discard();
    return result;
}

Result<StagedOutput> StageOutput(Program& program, const OutputChanges& changes, const OutputRequest& request,
                                 const Progress& progress, FileSystem& fs)
{
    if (Status checked = CheckOutput(program, request, fs); !checked)
        return std::move(checked).error();
    if (progress.Cancelled())
        return Cancelled();
    auto state = std::make_unique<State>();
    state->fs = &fs;
    state->input = program.path;
    state->inPlace = request.inPlace;
    state->destination = request.inPlace ? program.path : WithoutTrailingSeparators(request.output);
    StagedOutput staged(std::move(state));
    State& s = *staged.state_;
    if (request.inPlace && changes.Empty())
        return staged;  // nothing changes, so nothing is written

    switch (program.kind) {
        case ProgramKind::Jar: {
            Result<std::string> bytes = BuildArchive(program, 0, changes, s.destination, s.droppedSignatures);
            if (!bytes)
                return std::move(bytes).error();
            if (progress.Cancelled())
                return Cancelled();
            Result<PreparedFile> file = PrepareFile(s.destination, *bytes, fs);
            if (!file)
                return std::move(file).error();
            s.file = std::move(*file);
            s.shape = State::Shape::File;
            break;
        }
        case ProgramKind::Class: {
            std::string bytes;
            if (auto it = changes.replaced.find(program.classes.empty() ? program.name : program.classes.front().entry);
                it != changes.replaced.end()) {
                bytes = it->second;
            } else {
                Result<ByteString> original = ReadFileContents(program.path, fs);
                if (!original)
                    return std::move(original).error();
                bytes.assign(original->View());
            }
            Result<PreparedFile> file = PrepareFile(s.destination, bytes, fs);
            if (!file)
                return std::move(file).error();
            s.file = std::move(*file);
            s.shape = State::Shape::File;
            break;
        }
        case ProgramKind::Folder: {
            Result<FolderChanges> resolved = ResolveFolderChanges(program, changes, s.droppedSignatures);
            if (!resolved)
                return std::move(resolved).error();
            if (request.inPlace) {
                for (const auto& [entry, bytes] : resolved->files) {
                    if (progress.Cancelled())
                        return Cancelled();
                    Result<PreparedFile> file = PrepareFile(JoinPath(program.path, entry), bytes, fs);
                    if (!file)
                        return std::move(file).error();
                    s.files.push_back(std::move(*file));
                    s.entries.push_back(entry);
                }
                s.newFiles = std::move(resolved->added);
                s.shape = State::Shape::FilesInPlace;
                break;
            }
            if (auto ec = fs.CreateTempFolder(FolderOf(s.destination), NameOf(s.destination), s.stagedFolder))
                return OutputError(ErrorKind::CannotMakeFolder, s.destination, ec);
            s.shape = State::Shape::Folder;
            if (auto ec = fs.StatLink(program.path, s.inputRootInfo))
                return OutputError(ErrorKind::ReadFailed, program.path, ec);
            s.filesChanged = resolved->files.size() + resolved->added.size();
            if (Status copied = CopyFolder(program, *resolved, s.stagedFolder, progress, fs); !copied)
                return std::move(copied).error();
            break;
        }
    }
    return staged;
}

}  // namespace cl::catalogue
