// Whole-file loading, backups, safe replacement of a file and the text export. A file is
// never rewritten in place: new contents go to a temporary file in the same folder, which is
// flushed and then renamed over the old one, so a failure at any step leaves the old file.

#include "files/FileOps.h"

#include "files/FileSystem.h"
#include "files/SameFile.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace cl {

namespace {

// Lengths are signed 32-bit, so a file must stay below 2 GiB.
constexpr uint64_t kMaxFileSize = uint64_t{1} << 31;

Error MakeError(ErrorKind kind, const std::string& path, std::error_code reason = {})
{
    return Error(kind, path, reason);
}

// One failed step while a replacement file is made.
struct StepError {
    StepError(ErrorStep s, std::error_code e = {}, std::string o = {}, uint64_t d = 0, uint64_t x = 0)
        : step(s), ec(e), other(std::move(o)), done(d), expected(x)
    {
    }
    ErrorStep step;
    std::error_code ec;
    std::string other;
    uint64_t done;
    uint64_t expected;
};

std::optional<StepError> WriteAll(FileHandle& out, const void* data, std::size_t count)
{
    const auto* p = static_cast<const unsigned char*>(data);
    while (count > 0) {
        std::size_t done = 0;
        if (auto ec = out.Write(p, count, done))
            return StepError{ErrorStep::WriteTemp, ec};
        if (done == 0)
            return StepError{ErrorStep::WriteTemp, std::make_error_code(std::errc::no_space_on_device)};
        p += done;
        count -= done;
    }
    return std::nullopt;
}

// Fills the temporary file; called with the file open for writing.
using Filler = std::optional<StepError> (*)(FileHandle& out, const void* context);

// How a replacement treats a symbolic link found at its path.
enum class AtALink {
    ReplaceTarget,  // the file being saved: change the file the link points to, keep the link
    ReplaceLink,    // a backup: put the copy in the link's place, never write where it points
};

struct Replacement {
    ErrorTask task;
    const std::string& path;
    AtALink atALink = AtALink::ReplaceTarget;
    const FileInfo* like = nullptr;  // permission bits for the new file; else the old file's
};

Error StepFailure(const Replacement& r, const StepError& step)
{
    Error error = MakeError(ErrorKind::NotReplaced, r.path, step.ec);
    error.task = r.task;
    error.step = step.step;
    error.other = step.other;
    error.done = step.done;
    error.expected = step.expected;
    return error;
}

// A temporary file beside the target of `r.path`, filled by `fill`, flushed and closed, with the
// permission bits the new file is to have; it only waits to be renamed over the target.
struct FilledTemp {
    std::string tempPath;
    std::string target;  // `r.path`, or the file a link there points to
};

Result<FilledTemp> MakeFilledTemp(FileSystem& fs, const Replacement& r, Filler fill, const void* context)
{
    auto failure = [&](const StepError& step) { return StepFailure(r, step); };

    std::string target = r.path;
    if (r.atALink == AtALink::ReplaceTarget) {
        if (auto ec = fs.ResolveLink(r.path, target))
            return failure({ErrorStep::ResolveLink, ec});
    }
    FileInfo existing;
    if (auto ec = fs.Stat(target, existing))
        return failure({ErrorStep::Stat, ec});
    if (existing.exists && !existing.isRegular)
        return failure({ErrorStep::NotRegular, std::make_error_code(std::errc::is_a_directory), target});
    const FileInfo* like = r.like;
    if (!like && existing.exists)
        like = &existing;

    const std::string folder = FolderOf(target);
    std::string tempPath;
    std::error_code ec;
    std::unique_ptr<FileHandle> out = fs.CreateTemp(folder, NameOf(target), tempPath, ec);
    if (!out)
        return failure({ErrorStep::CreateTemp, ec, folder});

    auto discard = [&](const StepError& step) {
        out.reset();
        (void)fs.Remove(tempPath);
        return failure(step);
    };
    if (like) {
        if (auto e = out->CopyPermissions(*like))
            return discard({ErrorStep::Permissions, e});
    }
    if (auto step = fill(*out, context))
        return discard(*step);
    // Only a flushed file may take the old one's place: a crash after the rename must not
    // leave an empty or partial file behind.
    if (auto e = out->Flush())
        return discard({ErrorStep::FlushTemp, e});
    if (auto e = out->Close())
        return discard({ErrorStep::CloseTemp, e});
    return FilledTemp{tempPath, target};
}

// Renames the filled temporary file over its target and makes the rename durable.
Status PutInPlace(FileSystem& fs, const Replacement& r, const FilledTemp& filled)
{
    // Renaming over a link replaces the link itself, which is what a backup needs.
    if (auto e = fs.Rename(filled.tempPath, filled.target)) {
        (void)fs.Remove(filled.tempPath);
        return StepFailure(r, {ErrorStep::Rename, e, filled.target});
    }
    const std::string folder = FolderOf(filled.target);
    if (auto e = fs.FlushFolder(folder)) {
        Error error = MakeError(ErrorKind::FolderNotFlushed, r.path, e);
        error.task = r.task;
        error.other = folder;
        return error;
    }
    return {};
}

// Replaces the file at `r.path` with what `fill` writes, through a temporary file in the same
// folder that is flushed and renamed over the old one.
Status ReplaceFile(FileSystem& fs, const Replacement& r, Filler fill, const void* context)
{
    Result<FilledTemp> filled = MakeFilledTemp(fs, r, fill, context);
    if (!filled)
        return std::move(filled).error();
    return PutInPlace(fs, r, *filled);
}

std::optional<StepError> FillWithBytes(FileHandle& out, const void* context)
{
    const auto* bytes = static_cast<const std::string_view*>(context);
    return WriteAll(out, bytes->data(), bytes->size());
}

struct CopySource {
    FileHandle* in;
    uint64_t expected;
};

std::optional<StepError> FillWithCopy(FileHandle& out, const void* context)
{
    const auto* source = static_cast<const CopySource*>(context);
    std::vector<unsigned char> buffer(1 << 16);
    uint64_t total = 0;
    for (;;) {
        std::size_t done = 0;
        if (auto ec = source->in->Read(buffer.data(), buffer.size(), done))
            return StepError{ErrorStep::ReadSource, ec};
        if (done == 0)
            break;
        if (auto step = WriteAll(out, buffer.data(), done))
            return step;
        total += done;
    }
    if (total < source->expected)
        return StepError{ErrorStep::ShortSource, {}, {}, total, source->expected};
    return std::nullopt;
}

Status WriteBytesSafely(ErrorTask task, const std::string& path, std::string_view bytes,
                                          FileSystem& fs)
{
    return ReplaceFile(fs, Replacement{task, path}, FillWithBytes, &bytes);
}

Error TooLargeError(const std::string& path, uint64_t size)
{
    Error error = MakeError(ErrorKind::TooLarge, path);
    error.expected = size;
    return error;
}

// Reads exactly `size` bytes from the start of `in` into `bytes`.
// A file of many megabytes is read into memory that the system otherwise hands out (and
// faults in) four kilobytes at a time; asked for in two-megabyte pages, the read costs a
// fraction of the page faults. Only a hint: where it is not taken nothing changes.
void AskForLargePages([[maybe_unused]] uint8_t* data, [[maybe_unused]] std::size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kLarge = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kLarge - 1) & ~(kLarge - 1);
    const std::uintptr_t last = (start + size) & ~(kLarge - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

// Reads `count` bytes into `into`, `before` bytes of the `expected` already read: a file that
// ends first is a short read, counted from the file's start.
Status ReadFully(FileHandle& in, const std::string& path, uint8_t* into, std::size_t count,
                                   uint64_t before, uint64_t expected)
{
    std::size_t total = 0;
    while (total < count) {
        std::size_t done = 0;
        if (auto ec = in.Read(into + total, count - total, done))
            return MakeError(ErrorKind::ReadFailed, path, ec);
        if (done == 0) {
            Error error = MakeError(ErrorKind::ShortRead, path);
            error.done = before + total;
            error.expected = expected;
            return error;
        }
        total += done;
    }
    return {};
}

Status ReadExactly(FileHandle& in, const std::string& path, uint64_t size, ByteString& bytes)
{
    ByteString buffer;
    if (size > 0) {
        buffer.SetByteLength(static_cast<int32_t>(size));
        uint8_t* p = buffer.Bytes();
        AskForLargePages(p, static_cast<std::size_t>(size));
        if (Status read = ReadFully(in, path, p, static_cast<std::size_t>(size), 0, size); !read)
            return read;
    }
    bytes = std::move(buffer);
    return {};
}

}  // namespace

OpenedFile::OpenedFile(std::string path, std::unique_ptr<FileHandle> handle)
    : path_(std::move(path)), handle_(std::move(handle))
{
}
OpenedFile::OpenedFile(OpenedFile&&) noexcept = default;
OpenedFile& OpenedFile::operator=(OpenedFile&&) noexcept = default;
OpenedFile::~OpenedFile() = default;

Result<OpenedFile> OpenWholeFile(const std::string& path, FileSystem& fs, OpenAccess access)
{
    std::error_code ec;
    std::unique_ptr<FileHandle> handle =
        access == OpenAccess::ReadWrite ? fs.OpenReadWrite(path, ec) : fs.OpenRead(path, ec);
    if (!handle)
        return MakeError(ErrorKind::CannotOpen, path, ec);
    uint64_t size = 0;
    if (auto e = handle->Size(size)) {
        Error error = MakeError(ErrorKind::CannotOpen, path, e);
        error.step = ErrorStep::SizeSource;
        return error;
    }
    if (size >= kMaxFileSize)
        return TooLargeError(path, size);
    return OpenedFile(path, std::move(handle));
}

Status ReadWholeFile(OpenedFile& file, ByteString& bytes, int32_t& loadedSize)
{
    // The file is closed when this returns, whatever happens.
    std::unique_ptr<FileHandle> handle = std::move(file.handle_);
    if (!handle)
        return MakeError(ErrorKind::AlreadyRead, file.path_);
    uint64_t size = 0;
    if (auto ec = handle->Size(size))
        return MakeError(ErrorKind::CannotGetSize, file.path_, ec);
    // It may have grown since it was opened.
    if (size >= kMaxFileSize)
        return TooLargeError(file.path_, size);
    ByteString read;
    if (Status done = ReadExactly(*handle, file.path_, size, read); !done)
        return done;
    bytes = std::move(read);
    loadedSize = static_cast<int32_t>(size);
    return {};
}

PieceReader::PieceReader(OpenedFile&& file) : path_(file.path_), handle_(std::move(file.handle_)) {}
PieceReader::~PieceReader() = default;

Status PieceReader::Start()
{
    if (!handle_)
        return MakeError(ErrorKind::AlreadyRead, path_);
    if (auto ec = handle_->Size(size_))
        return MakeError(ErrorKind::CannotGetSize, path_, ec);
    // It may have grown since it was opened.
    if (size_ >= kMaxFileSize)
        return TooLargeError(path_, size_);
    return {};
}

Status PieceReader::Read(uint8_t* into, std::size_t room, std::size_t& done)
{
    done = 0;
    if (!handle_)
        return MakeError(ErrorKind::AlreadyRead, path_);
    const auto count = static_cast<std::size_t>(std::min<uint64_t>(room, size_ - read_));
    if (Status got = ReadFully(*handle_, path_, into, count, read_, size_); !got) {
        handle_.reset();
        return got;
    }
    read_ += count;
    done = count;
    if (AtEnd())
        handle_.reset();  // closed as soon as everything is read
    return {};
}

Result<ByteString> ReadFileContents(const std::string& path, FileSystem& fs)
{
    std::error_code ec;
    std::unique_ptr<FileHandle> in = fs.OpenRead(path, ec);
    if (!in)
        return MakeError(ErrorKind::CannotOpen, path, ec);
    uint64_t size = 0;
    if (auto e = in->Size(size))
        return MakeError(ErrorKind::CannotGetSize, path, e);
    if (size >= kMaxFileSize)
        return TooLargeError(path, size);
    ByteString bytes;
    if (Status read = ReadExactly(*in, path, size, bytes); !read)
        return std::move(read).error();
    return bytes;
}

namespace {

// Copies `from` to `to` through a temporary file beside `to`; a link at `to` is itself replaced.
// Errors name `from` (`task` says what the copy was for) and the step, with `to` where the step
// concerns it.
Status CopyThroughTemp(ErrorTask task, const std::string& from, const std::string& to, FileSystem& fs)
{
    const Replacement reading{task, from, AtALink::ReplaceLink};
    auto failure = [&](const StepError& step) { return StepFailure(reading, step); };

    std::error_code ec;
    std::unique_ptr<FileHandle> in = fs.OpenRead(from, ec);
    if (!in)
        return failure({ErrorStep::OpenSource, ec});
    FileInfo info;
    if (auto e = fs.Stat(from, info))
        return failure({ErrorStep::StatSource, e});
    uint64_t size = 0;
    if (auto e = in->Size(size))
        return failure({ErrorStep::SizeSource, e});
    // The copy is a copy: it takes the permission bits of the file it copies.
    CopySource source{in.get(), size};
    const Replacement writing{task, to, AtALink::ReplaceLink, &info};
    Status copied = ReplaceFile(fs, writing, FillWithCopy, &source);
    if (!copied) {
        Error error = std::move(copied).error();
        error.path = from;  // the error is about copying `from`
        return error;
    }
    return {};
}

}  // namespace

Status MakeBackup(const std::string& path, FileSystem& fs)
{
    // The backup's own name is replaced, never the file a link of that name points to: anyone
    // who can create files in a shared folder could otherwise plant a link and have the next
    // backup overwrite another of the user's files.
    return CopyThroughTemp(ErrorTask::Backup, path, path + ".bak", fs);
}

Status CopyFileTo(const std::string& from, const std::string& to, FileSystem& fs)
{
    return CopyThroughTemp(ErrorTask::Copy, from, to, fs);
}

Status WriteFileSafely(const std::string& path, const ByteString& bytes, FileSystem& fs)
{
    return WriteBytesSafely(ErrorTask::Save, path, bytes.View(), fs);
}

Status WriteFileSafely(const std::string& path, std::string_view bytes, FileSystem& fs, ErrorTask task)
{
    return WriteBytesSafely(task, path, bytes, fs);
}

Result<PreparedFile> PrepareFile(const std::string& path, std::string_view bytes, FileSystem& fs, const FileInfo* like)
{
    Replacement replacement{ErrorTask::Save, path};
    replacement.like = like;
    Result<FilledTemp> filled = MakeFilledTemp(fs, replacement, FillWithBytes, &bytes);
    if (!filled)
        return std::move(filled).error();
    return PreparedFile(fs, path, std::move(filled->tempPath), std::move(filled->target));
}

PreparedFile::PreparedFile(FileSystem& fs, std::string path, std::string tempPath, std::string target)
    : fs_(&fs), path_(std::move(path)), tempPath_(std::move(tempPath)), target_(std::move(target))
{
}

PreparedFile::PreparedFile(PreparedFile&& other) noexcept
    : fs_(other.fs_), path_(std::move(other.path_)), tempPath_(std::exchange(other.tempPath_, {})),
      target_(std::move(other.target_))
{
}

PreparedFile& PreparedFile::operator=(PreparedFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        fs_ = other.fs_;
        path_ = std::move(other.path_);
        tempPath_ = std::exchange(other.tempPath_, {});
        target_ = std::move(other.target_);
    }
    return *this;
}

PreparedFile::~PreparedFile()
{
    Discard();
}

Status PreparedFile::Commit()
{
    if (tempPath_.empty())
        return Error(ErrorKind::AlreadyRead, path_);
    const std::string temp = std::exchange(tempPath_, {});
    return PutInPlace(*fs_, Replacement{ErrorTask::Save, path_}, FilledTemp{temp, target_});
}

void PreparedFile::Discard()
{
    if (!tempPath_.empty())
        (void)fs_->Remove(std::exchange(tempPath_, {}));
}

Status SaveImage(const FileImage& image, FileSystem& fs, SaveBackup backup)
{
    if (backup == SaveBackup::Skip)
        return WriteFileSafely(image.path, image.bytes, fs);
    FileInfo info;
    if (auto ec = fs.Stat(image.path, info)) {
        Error error = MakeError(ErrorKind::NotReplaced, image.path, ec);
        error.task = ErrorTask::Save;
        error.step = ErrorStep::Stat;
        return error;
    }
    // A file that has gone since it was opened has nothing to back up; writing it anew
    // keeps the user's work rather than refusing to save.
    if (info.exists) {
        if (Status backedUp = MakeBackup(image.path, fs); !backedUp) {
            Error error = std::move(backedUp).error();
            error.saveStopped = true;
            return error;
        }
    }
    return WriteFileSafely(image.path, image.bytes, fs);
}

Status CheckExportTarget(const std::string& exportPath, const std::string& openedPath, FileSystem& fs)
{
    if (openedPath.empty())
        return {};
    for (const std::string& guarded : {openedPath, openedPath + ".bak"}) {
        if (IsSameFile(exportPath, guarded, fs))
            return MakeError(ErrorKind::ExportOverOpened, exportPath);
    }
    return {};
}

}  // namespace cl
