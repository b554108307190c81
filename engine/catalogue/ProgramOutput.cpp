// Making the translated copy of a program: the whole of it is written beside its destination
// first, so that a failure or a cancel part way leaves the input and any existing output as they
// were, and putting it in place is a rename (per changed file, for a folder in place).

#include "catalogue/ProgramOutput.h"

#include "files/FileOps.h"
#include "files/FolderTree.h"
#include "files/SameFile.h"
#include "text/ByteString.h"

#include <algorithm>
#include <filesystem>
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
    zip::JarArchive& jar = *archive.jar;
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
        for (const zip::JarEntry& entry : jar.Entries()) {
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

// One file of a folder in place and what becomes of it.
struct InPlaceStep {
    enum class Kind {
        Replace,  // new contents over the file there
        Restore,  // the file an earlier run replaced gets its original's contents back
        Add,      // a file that is not there yet
        Delete,   // a file an earlier run added, which this one does not
    };
    Kind kind = Kind::Replace;
    std::string relative;
    std::optional<PreparedFile> file;  // Replace and Restore
    std::string bytes;                 // Add
    RecordedFile record;               // what the next run is told of it; its `original` set at commit
    bool needsBackup = false;          // Replace: the file there is an original with no copy yet
};

struct StagedOutput::State {
    enum class Shape { Nothing, File, Folder, FilesInPlace } shape = Shape::Nothing;
    FileSystem* fs = nullptr;
    std::string input;        // the program's path
    std::string destination;  // where it goes
    bool inPlace = false;
    InPlaceOrigin origin;                         // in place: what an earlier run wrote
    std::optional<PreparedFile> file;             // Shape::File
    RecordedFile written;                         // Shape::File in place: what it holds
    std::string stagedFolder;                     // Shape::Folder
    FileInfo inputRootInfo;                       // Shape::Folder: the input folder's own attributes
    std::vector<InPlaceStep> steps;               // Shape::FilesInPlace
    std::vector<RecordedFile> unchanged;          // ... earlier run's files that stay as they are
    std::size_t filesChanged = 0;                 // Shape::Folder: files changed or added
    std::vector<std::string> droppedSignatures;
    std::vector<Error> refused;

    void Discard()
    {
        file.reset();
        steps.clear();
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
        if (auto ec = fs.StatLink(path, info))
            return OutputError(ErrorKind::CannotMakeFolder, path, ec);
        if (info.exists && info.isDirectory && !info.isLink)
            continue;
        if (info.exists) {
            // A link or a file where a folder is wanted: nothing is made through it.
            Error error = OutputError(info.isLink ? ErrorKind::LandsOnLink : ErrorKind::CannotMakeFolder, path,
                                      std::make_error_code(std::errc::not_a_directory));
            error.entry = relative;
            return error;
        }
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

// The link a file at `relative` under `root` would be written through: the file itself or a
// folder on its way; empty when there is none. What is not there yet is no link.
std::string LinkOnTheWay(const std::string& root, const std::string& relative, FileSystem& fs)
{
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = relative.find('/', start);
        const std::string path = JoinPath(root, relative.substr(0, slash));
        FileInfo info;
        if (fs.StatLink(path, info) || !info.exists)
            return {};
        if (info.isLink)
            return path;
        if (slash == std::string::npos)
            return {};
        start = slash + 1;
    }
}

Error LinkRefusal(const std::string& link, const std::string& relative)
{
    Error error = OutputError(ErrorKind::LandsOnLink, link);
    error.entry = relative;
    return error;
}

// A new folder: every item of the input, in the input's order (parents first), changed files
// with their new contents; each keeps its mode and time, links stay links. Folders get their
// attributes last, since filling a folder changes its time. Files an earlier run in place wrote
// are copied from their originals, and those it added are left out.
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
                if (program.origin.added.count(item.relative) != 0)
                    break;
                FileInfo like = item.info;
                if (auto it = changes.files.find(item.relative); it != changes.files.end()) {
                    if (Status written = WriteFileSafely(to, std::string_view(it->second), fs); !written)
                        return written;
                    like.modifiedNs = NowNs();  // it changed now
                } else if (Status copied = CopyFileTo(program.origin.PathOf(program.path, item.relative), to, fs);
                           !copied) {
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

bool Exists(const std::string& path, FileSystem& fs)
{
    FileInfo info;
    return fs.StatLink(path, info) || info.exists;  // what cannot be looked at counts as taken
}

// The backup's name: INPUT.bak, or where something is there already (an older original, the
// user's own file, a link), the first free INPUT.bak.N. Nothing there is ever replaced.
std::string FreeBackupName(const std::string& input, FileSystem& fs)
{
    const std::string plain = input + ".bak";
    if (!Exists(plain, fs))
        return plain;
    for (int n = 2;; ++n) {
        const std::string numbered = plain + "." + std::to_string(n);
        if (!Exists(numbered, fs))
            return numbered;
    }
}

// A backup as the record names it: relative to the folder that holds the input, where every
// backup is made (INPUT.bak, INPUT.bak.N; a folder's file under one of them).
std::string AsRecorded(const std::string& backupRoot, const std::string& relative)
{
    return NameOf(backupRoot) + (relative.empty() ? std::string() : "/" + relative);
}

Result<OutputReport> CommitFileInPlace(State& state, OutputReport report)
{
    FileSystem& fs = *state.fs;
    const auto original = state.origin.originals.find({});
    if (original != state.origin.originals.end()) {
        // The input is what an earlier run wrote over the original kept there: that is still
        // the original, and the input is no other.
        report.backup = BackupOutcome::Kept;
        report.backupPath = original->second;
        report.translatedFrom = original->second;
    } else {
        report.backupPath = FreeBackupName(state.input, fs);
        report.backup = report.backupPath == state.input + ".bak" ? BackupOutcome::Made : BackupOutcome::Numbered;
        if (Status made = CopyFileTo(state.input, report.backupPath, fs); !made) {
            Error error = std::move(made).error();
            error.task = ErrorTask::Backup;
            return error;
        }
    }
    if (Status put = state.file->Commit(); !put)
        return std::move(put).error();
    report.written = true;
    report.filesWritten = 1;
    RecordedFile written = state.written;
    written.original =
        original != state.origin.originals.end() ? state.origin.RecordedOriginal({}) : AsRecorded(report.backupPath, {});
    // Without the record the next run takes this output for an original and backs it up: no
    // loss, so a record that cannot be written does not undo the translation.
    (void)WriteInPlaceRecord(state.input, {written}, fs);
    return report;
}

// A file set aside during a folder in place, to be put back should a later file fail.
struct SetAside {
    std::string path;
    std::string aside;  // where its contents are; empty for a file that was not there
};

// Moves the file at `path` to a free name beside it.
Result<std::string> MoveAside(const std::string& path, FileSystem& fs)
{
    std::string aside;
    std::error_code ec;
    auto failure = [&](ErrorStep step, std::error_code code) {
        Error error(ErrorKind::NotReplaced, path, code);
        error.task = ErrorTask::Program;
        error.step = step;
        error.other = step == ErrorStep::CreateTemp ? FolderOf(path) : aside;
        return error;
    };
    std::unique_ptr<FileHandle> placeholder = fs.CreateTemp(FolderOf(path), NameOf(path), aside, ec);
    if (!placeholder)
        return failure(ErrorStep::CreateTemp, ec);
    placeholder.reset();
    if (auto renamed = fs.Rename(path, aside)) {
        (void)fs.Remove(aside);
        return failure(ErrorStep::Rename, renamed);
    }
    return aside;
}

// Puts back every file set aside, newest first, and removes the new ones. The error names the
// failure that started it (InPlaceUndone), or a file that could not be put back (InPlaceHalfDone).
Error Undo(const std::vector<SetAside>& done, const Error& cause, const std::string& input, FileSystem& fs)
{
    Error result(ErrorKind::InPlaceUndone, cause.path.empty() ? input : cause.path, cause.code);
    result.task = ErrorTask::Program;
    result.other = input;
    result.detail = cause.detail;
    result.step = cause.step;
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        const std::error_code ec = it->aside.empty() ? fs.Remove(it->path) : fs.Rename(it->aside, it->path);
        if (ec && result.kind == ErrorKind::InPlaceUndone) {
            result = Error(ErrorKind::InPlaceHalfDone, it->path, ec);
            result.task = ErrorTask::Program;
            result.other = it->aside;
        }
    }
    (void)fs.FlushFolder(input);
    return result;
}

Result<OutputReport> CommitFilesInPlace(State& state, OutputReport report)
{
    FileSystem& fs = *state.fs;
    const std::string& input = state.input;

    // 1. Every original that has no copy yet gets one, before anything is replaced: under
    // INPUT.bak/ where its place there is free (and no link is on the way), else under a
    // numbered folder made for this run.
    std::string plainRoot = input + ".bak";
    {
        FileInfo root;
        if (!fs.StatLink(plainRoot, root) && root.exists && (root.isLink || !root.isDirectory))
            plainRoot.clear();  // a file or a link by that name is the user's: never written into
    }
    std::string numberedRoot;
    std::vector<std::string> copies;        // made by this run: they go again when it fails
    std::vector<std::string> foldersMade;   // backup folders made by this run
    auto dropCopies = [&]() {
        for (auto it = copies.rbegin(); it != copies.rend(); ++it)
            (void)fs.Remove(*it);
        for (auto it = foldersMade.rbegin(); it != foldersMade.rend(); ++it)
            (void)RemoveTree(*it, fs);
    };
    for (InPlaceStep& step : state.steps) {
        if (!step.needsBackup)
            continue;
        std::string root = plainRoot;
        if (root.empty() || Exists(JoinPath(root, step.relative), fs) || !LinkOnTheWay(root, step.relative, fs).empty()) {
            if (numberedRoot.empty())
                numberedRoot = FreeBackupName(input, fs);
            root = numberedRoot;
        }
        if (!Exists(root, fs)) {
            if (auto ec = fs.MakeFolder(root)) {
                dropCopies();
                return OutputError(ErrorKind::CannotMakeFolder, root, ec);
            }
            foldersMade.push_back(root);
        }
        const std::string original = JoinPath(input, step.relative);
        Status copied = WriteNewFileUnder(root, step.relative, fs,
                                          [&](const std::string& to) { return CopyFileTo(original, to, fs); });
        if (!copied) {
            dropCopies();
            Error error = std::move(copied).error();
            error.task = ErrorTask::Backup;
            return error;
        }
        const std::string saved = JoinPath(root, step.relative);
        copies.push_back(saved);
        FileInfo info;
        if (!fs.StatLink(original, info))
            (void)fs.CopyAttributes(info, saved);
        step.record.original = AsRecorded(root, step.relative);
        ++report.backupsAdded;
    }
    report.backupPath = numberedRoot.empty() ? input + ".bak" : numberedRoot;
    if (!numberedRoot.empty())
        report.backup = BackupOutcome::Numbered;
    else if (!foldersMade.empty())
        report.backup = BackupOutcome::Made;
    else
        report.backup = BackupOutcome::Kept;

    // 2. Every file in its new state, each one's old contents set aside until all are done.
    std::vector<SetAside> done;
    auto fail = [&](Error cause) -> Error {
        Error undone = Undo(done, cause, input, fs);
        dropCopies();
        return undone;
    };
    for (InPlaceStep& step : state.steps) {
        const std::string path = JoinPath(input, step.relative);
        switch (step.kind) {
            case InPlaceStep::Kind::Replace:
            case InPlaceStep::Kind::Restore:
            case InPlaceStep::Kind::Delete: {
                Result<std::string> aside = MoveAside(path, fs);
                if (!aside)
                    return fail(std::move(aside).error());
                done.push_back({path, *aside});
                if (step.kind == InPlaceStep::Kind::Delete) {
                    ++report.removed;
                    break;
                }
                if (Status put = step.file->Commit(); !put)
                    return fail(std::move(put).error());
                if (step.kind == InPlaceStep::Kind::Restore)
                    ++report.restored;
                else
                    ++report.filesWritten;
                break;
            }
            case InPlaceStep::Kind::Add: {
                Status written = WriteNewFileUnder(input, step.relative, fs, [&](const std::string& to) {
                    return WriteFileSafely(to, std::string_view(step.bytes), fs);
                });
                if (!written)
                    return fail(std::move(written).error());
                done.push_back({path, {}});
                ++report.filesWritten;
                break;
            }
        }
    }
    for (const SetAside& file : done) {
        if (!file.aside.empty())
            (void)fs.Remove(file.aside);
    }
    report.written = true;

    std::vector<RecordedFile> record = state.unchanged;
    for (const InPlaceStep& step : state.steps) {
        if (step.kind == InPlaceStep::Kind::Replace || step.kind == InPlaceStep::Kind::Add)
            record.push_back(step.record);
    }
    (void)WriteInPlaceRecord(input, record, fs);
    return report;
}

// A folder in place, staged: what each file becomes, checked and written beside it, so that
// committing is renames (and the new files). Files an earlier run wrote are measured against
// the originals the program was read from.
Status StageFolderInPlace(const Program& program, const FolderChanges& changes, State& state, const Progress& progress)
{
    FileSystem& fs = *state.fs;
    const InPlaceOrigin& origin = program.origin;
    auto prepare = [&](InPlaceStep& step, std::string_view bytes) -> Status {
        Result<PreparedFile> file = PrepareFile(JoinPath(program.path, step.relative), bytes, fs);
        if (!file)
            return std::move(file).error();
        step.file = std::move(*file);
        return {};
    };
    auto recordOf = [&](const std::string& relative, std::string_view bytes) {
        RecordedFile record;
        record.relative = relative;
        record.size = bytes.size();
        record.hash = ContentHash(bytes);
        record.original = origin.RecordedOriginal(relative);
        return record;
    };
    // A file that already holds what this run would write stays as it is.
    std::vector<RecordedFile> unchanged;
    auto same = [&](const std::string& relative, std::string_view bytes) {
        if (!origin.StillHolds(relative, bytes))
            return false;
        unchanged.push_back(recordOf(relative, bytes));
        return true;
    };
    for (const auto& [relative, bytes] : changes.files) {
        if (progress.Cancelled())
            return Cancelled();
        if (same(relative, bytes))
            continue;
        InPlaceStep step;
        step.relative = relative;
        step.record = recordOf(relative, bytes);
        step.needsBackup = origin.originals.count(relative) == 0;
        if (Status prepared = prepare(step, bytes); !prepared)
            return prepared;
        state.steps.push_back(std::move(step));
    }
    for (const auto& [relative, bytes] : changes.added) {
        if (same(relative, bytes))
            continue;
        InPlaceStep step;
        step.relative = relative;
        step.record = recordOf(relative, bytes);
        if (origin.added.count(relative) != 0) {
            // The earlier run's own new file, made again.
            if (Status prepared = prepare(step, bytes); !prepared)
                return prepared;
        } else {
            step.kind = InPlaceStep::Kind::Add;
            step.bytes = bytes;
        }
        state.steps.push_back(std::move(step));
    }
    // What an earlier run changed and this one does not goes back to what one run would leave.
    for (const auto& [relative, original] : origin.originals) {
        if (relative.empty() || changes.files.count(relative) != 0)
            continue;
        Result<ByteString> bytes = ReadFileContents(original, fs);
        if (!bytes)
            return std::move(bytes).error();
        InPlaceStep step;
        step.kind = InPlaceStep::Kind::Restore;
        step.relative = relative;
        if (Status prepared = prepare(step, bytes->View()); !prepared)
            return prepared;
        state.steps.push_back(std::move(step));
    }
    for (const std::string& relative : origin.added) {
        if (changes.added.count(relative) != 0)
            continue;
        InPlaceStep step;
        step.kind = InPlaceStep::Kind::Delete;
        step.relative = relative;
        state.steps.push_back(std::move(step));
    }
    if (!state.steps.empty())
        state.unchanged = std::move(unchanged);
    return {};
}

// Leaves out of `changes` every file that would be written through a link of the input (the
// file itself, or a folder on its way), each named in `refused`.
FolderChanges WithoutLinks(FolderChanges changes, const std::string& root, std::vector<Error>& refused,
                           FileSystem& fs)
{
    for (auto* files : {&changes.files, &changes.added}) {
        for (auto it = files->begin(); it != files->end();) {
            const std::string link = LinkOnTheWay(root, it->first, fs);
            if (link.empty()) {
                ++it;
                continue;
            }
            refused.push_back(LinkRefusal(link, it->first));
            it = files->erase(it);
        }
    }
    return changes;
}

// Whether `output` is `folder` or lies inside it, by any path or link: every folder on the way
// up from the output that is there is compared with it.
bool IsInside(const std::string& output, const std::string& folder, FileSystem& fs)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(output, ec);
    std::string at = WithoutTrailingSeparators(ec ? output : absolute.string());
    for (int depth = 0; depth < 4096 && !at.empty(); ++depth) {
        FileInfo info;
        if (!fs.Stat(at, info) && info.exists && IsSameFile(at, folder, fs))
            return true;
        const std::string up = FolderOf(at);
        if (up == at || up.empty())
            break;
        at = up;
    }
    return false;
}

}  // namespace

InPlaceBackup WhereInPlaceBackupGoes(const std::string& input, bool folder, FileSystem& fs)
{
    InPlaceBackup where;
    const std::string path = WithoutTrailingSeparators(input);
    const InPlaceOrigin origin = FindInPlaceOrigin(path, folder, fs);
    where.translatedFrom = TranslatedFrom(origin);
    if (!folder && !where.translatedFrom.empty()) {
        where.outcome = BackupOutcome::Kept;
        where.path = where.translatedFrom;
        return where;
    }
    const std::string plain = path + ".bak";
    FileInfo info;
    const bool usable = !fs.StatLink(plain, info) && (!info.exists || (folder && info.isDirectory && !info.isLink));
    where.path = usable ? plain : FreeBackupName(path, fs);
    where.outcome = !usable ? BackupOutcome::Numbered : info.exists ? BackupOutcome::Kept : BackupOutcome::Made;
    return where;
}

Status CheckOutput(const Program& program, const OutputRequest& request, FileSystem& fs)
{
    if (request.inPlace)
        return {};
    const std::string& output = request.output;
    if (IsSameFile(output, program.path, fs))
        return OutputError(ErrorKind::OutputIsInput, output);
    // The next read of the input would take an output inside it for part of the program.
    if (program.kind == ProgramKind::Folder && IsInside(output, program.path, fs))
        return OutputError(ErrorKind::OutputInsideInput, output);
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
    report.refused = state.refused;
    if (state.inPlace && state.shape == State::Shape::FilesInPlace)
        report.translatedFrom = TranslatedFrom(state.origin);
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
    state->origin = program.origin;
    StagedOutput staged(std::move(state));
    State& s = *staged.state_;
    // Nothing changes, so nothing is written; but an input that holds an earlier run's
    // translation goes back to its original, as one run of this catalogue would leave it.
    if (request.inPlace && changes.Empty() && program.origin.Empty())
        return staged;
    // A new output takes the input's permission bits (a self-running jar stays executable).
    FileInfo inputInfo;
    const FileInfo* like = nullptr;
    if (!request.inPlace && !fs.Stat(program.path, inputInfo) && inputInfo.exists)
        like = &inputInfo;
    auto recordFile = [&](std::string_view bytes) {
        s.written.size = bytes.size();
        s.written.hash = ContentHash(bytes);
    };

    switch (program.kind) {
        case ProgramKind::Jar: {
            Result<std::string> bytes = BuildArchive(program, 0, changes, s.destination, s.droppedSignatures);
            if (!bytes)
                return std::move(bytes).error();
            if (progress.Cancelled())
                return Cancelled();
            if (request.inPlace && program.origin.StillHolds({}, *bytes))
                return staged;  // the input is this very translation already
            Result<PreparedFile> file = PrepareFile(s.destination, *bytes, fs, like);
            if (!file)
                return std::move(file).error();
            recordFile(*bytes);
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
                Result<ByteString> original = ReadFileContents(program.origin.PathOf(program.path, {}), fs);
                if (!original)
                    return std::move(original).error();
                bytes.assign(original->View());
            }
            if (request.inPlace && program.origin.StillHolds({}, bytes))
                return staged;
            Result<PreparedFile> file = PrepareFile(s.destination, bytes, fs, like);
            if (!file)
                return std::move(file).error();
            recordFile(bytes);
            s.file = std::move(*file);
            s.shape = State::Shape::File;
            break;
        }
        case ProgramKind::Folder: {
            Result<FolderChanges> resolved = ResolveFolderChanges(program, changes, s.droppedSignatures);
            if (!resolved)
                return std::move(resolved).error();
            // The copy holds the input's links as links: the same paths lead through them.
            const FolderChanges safe = WithoutLinks(std::move(*resolved), program.path, s.refused, fs);
            if (request.inPlace) {
                s.shape = State::Shape::FilesInPlace;
                if (Status staged = StageFolderInPlace(program, safe, s, progress); !staged)
                    return std::move(staged).error();
                if (s.steps.empty())
                    s.shape = State::Shape::Nothing;
                break;
            }
            if (auto ec = fs.CreateTempFolder(FolderOf(s.destination), NameOf(s.destination), s.stagedFolder))
                return OutputError(ErrorKind::CannotMakeFolder, s.destination, ec);
            s.shape = State::Shape::Folder;
            if (auto ec = fs.StatLink(program.path, s.inputRootInfo))
                return OutputError(ErrorKind::ReadFailed, program.path, ec);
            s.filesChanged = safe.files.size() + safe.added.size();
            if (Status copied = CopyFolder(program, safe, s.stagedFolder, progress, fs); !copied)
                return std::move(copied).error();
            break;
        }
    }
    return staged;
}

}  // namespace cl::catalogue
