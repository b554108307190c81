// Whole-file loading, backups, safe replacement of a file and the text export. A file is
// never rewritten in place: new contents go to a temporary file in the same folder, which is
// flushed and then renamed over the old one, so a failure at any step leaves the old file.

#include "files/FileOps.h"

#include "text/CodePage.h"
#include "files/FileSystem.h"

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

FileError MakeError(FileError::What what, const std::string& path, std::error_code reason = {})
{
    FileError error;
    error.what = what;
    error.kind = what == FileError::What::CannotOpen ? FileError::Kind::CannotOpen
                 : what == FileError::What::TooLarge ? FileError::Kind::TooLarge
                                                     : FileError::Kind::Io;
    error.path = path;
    error.reason = reason;
    return error;
}

// One failed step while a replacement file is made.
struct StepError {
    StepError(FileError::Step s, std::error_code e = {}, std::string o = {}, uint64_t d = 0, uint64_t x = 0)
        : step(s), ec(e), other(std::move(o)), done(d), expected(x)
    {
    }
    FileError::Step step;
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
            return StepError{FileError::Step::WriteTemp, ec};
        if (done == 0)
            return StepError{FileError::Step::WriteTemp, std::make_error_code(std::errc::no_space_on_device)};
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
    FileError::Task task;
    const std::string& path;
    AtALink atALink = AtALink::ReplaceTarget;
    const FileInfo* like = nullptr;  // permission bits for the new file; else the old file's
};

FileError StepFailure(const Replacement& r, const StepError& step)
{
    FileError error = MakeError(FileError::What::NotReplaced, r.path, step.ec);
    error.task = r.task;
    error.step = step.step;
    error.other = step.other;
    error.done = step.done;
    error.expected = step.expected;
    return error;
}

// Replaces the file at `r.path` with what `fill` writes, through a temporary file in the same
// folder that is flushed and renamed over the old one.
std::optional<FileError> ReplaceFile(FileSystem& fs, const Replacement& r, Filler fill, const void* context)
{
    auto failure = [&](const StepError& step) { return StepFailure(r, step); };

    std::string target = r.path;
    if (r.atALink == AtALink::ReplaceTarget) {
        if (auto ec = fs.ResolveLink(r.path, target))
            return failure({FileError::Step::ResolveLink, ec});
    }
    FileInfo existing;
    if (auto ec = fs.Stat(target, existing))
        return failure({FileError::Step::Stat, ec});
    if (existing.exists && !existing.isRegular)
        return failure({FileError::Step::NotRegular, std::make_error_code(std::errc::is_a_directory), target});
    const FileInfo* like = r.like;
    if (!like && existing.exists)
        like = &existing;

    const std::string folder = FolderOf(target);
    std::string tempPath;
    std::error_code ec;
    std::unique_ptr<FileHandle> out = fs.CreateTemp(folder, NameOf(target), tempPath, ec);
    if (!out)
        return failure({FileError::Step::CreateTemp, ec, folder});

    auto discard = [&](const StepError& step) {
        out.reset();
        (void)fs.Remove(tempPath);
        return failure(step);
    };
    if (like) {
        if (auto e = out->CopyPermissions(*like))
            return discard({FileError::Step::Permissions, e});
    }
    if (auto step = fill(*out, context))
        return discard(*step);
    // Only a flushed file may take the old one's place: a crash after the rename must not
    // leave an empty or partial file behind.
    if (auto e = out->Flush())
        return discard({FileError::Step::FlushTemp, e});
    if (auto e = out->Close())
        return discard({FileError::Step::CloseTemp, e});
    // Renaming over a link replaces the link itself, which is what a backup needs.
    if (auto e = fs.Rename(tempPath, target))
        return discard({FileError::Step::Rename, e, target});
    if (auto e = fs.FlushFolder(folder)) {
        FileError error = MakeError(FileError::What::FolderNotFlushed, r.path, e);
        error.task = r.task;
        error.other = folder;
        return error;
    }
    return std::nullopt;
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
            return StepError{FileError::Step::ReadSource, ec};
        if (done == 0)
            break;
        if (auto step = WriteAll(out, buffer.data(), done))
            return step;
        total += done;
    }
    if (total < source->expected)
        return StepError{FileError::Step::ShortSource, {}, {}, total, source->expected};
    return std::nullopt;
}

std::optional<FileError> WriteBytesSafely(FileError::Task task, const std::string& path, std::string_view bytes,
                                          FileSystem& fs)
{
    return ReplaceFile(fs, Replacement{task, path}, FillWithBytes, &bytes);
}

FileError TooLargeError(const std::string& path, uint64_t size)
{
    FileError error = MakeError(FileError::What::TooLarge, path);
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
std::optional<FileError> ReadFully(FileHandle& in, const std::string& path, uint8_t* into, std::size_t count,
                                   uint64_t before, uint64_t expected)
{
    std::size_t total = 0;
    while (total < count) {
        std::size_t done = 0;
        if (auto ec = in.Read(into + total, count - total, done))
            return MakeError(FileError::What::ReadFailed, path, ec);
        if (done == 0) {
            FileError error = MakeError(FileError::What::ShortRead, path);
            error.done = before + total;
            error.expected = expected;
            return error;
        }
        total += done;
    }
    return std::nullopt;
}

std::optional<FileError> ReadExactly(FileHandle& in, const std::string& path, uint64_t size, ByteString& bytes)
{
    ByteString buffer;
    if (size > 0) {
        buffer.SetByteLength(static_cast<int32_t>(size));
        uint8_t* p = buffer.Bytes();
        AskForLargePages(p, static_cast<std::size_t>(size));
        if (auto error = ReadFully(in, path, p, static_cast<std::size_t>(size), 0, size))
            return error;
    }
    bytes = std::move(buffer);
    return std::nullopt;
}

}  // namespace

OpenedFile::OpenedFile(std::string path, std::unique_ptr<FileHandle> handle)
    : path_(std::move(path)), handle_(std::move(handle))
{
}
OpenedFile::OpenedFile(OpenedFile&&) noexcept = default;
OpenedFile& OpenedFile::operator=(OpenedFile&&) noexcept = default;
OpenedFile::~OpenedFile() = default;

std::optional<OpenedFile> OpenWholeFile(const std::string& path, FileError* why, FileSystem& fs, OpenAccess access)
{
    auto report = [&](FileError error) {
        if (why)
            *why = std::move(error);
        return std::nullopt;
    };
    std::error_code ec;
    std::unique_ptr<FileHandle> handle =
        access == OpenAccess::ReadWrite ? fs.OpenReadWrite(path, ec) : fs.OpenRead(path, ec);
    if (!handle)
        return report(MakeError(FileError::What::CannotOpen, path, ec));
    uint64_t size = 0;
    if (auto e = handle->Size(size)) {
        FileError error = MakeError(FileError::What::CannotOpen, path, e);
        error.step = FileError::Step::SizeSource;
        return report(std::move(error));
    }
    if (size >= kMaxFileSize)
        return report(TooLargeError(path, size));
    return OpenedFile(path, std::move(handle));
}

std::optional<FileError> ReadWholeFile(OpenedFile& file, ByteString& bytes, int32_t& loadedSize)
{
    // The file is closed when this returns, whatever happens.
    std::unique_ptr<FileHandle> handle = std::move(file.handle_);
    if (!handle)
        return MakeError(FileError::What::AlreadyRead, file.path_);
    uint64_t size = 0;
    if (auto ec = handle->Size(size))
        return MakeError(FileError::What::CannotGetSize, file.path_, ec);
    // It may have grown since it was opened.
    if (size >= kMaxFileSize)
        return TooLargeError(file.path_, size);
    ByteString read;
    if (auto error = ReadExactly(*handle, file.path_, size, read))
        return error;
    bytes = std::move(read);
    loadedSize = static_cast<int32_t>(size);
    return std::nullopt;
}

PieceReader::PieceReader(OpenedFile&& file) : path_(file.path_), handle_(std::move(file.handle_)) {}
PieceReader::~PieceReader() = default;

std::optional<FileError> PieceReader::Start()
{
    if (!handle_)
        return MakeError(FileError::What::AlreadyRead, path_);
    if (auto ec = handle_->Size(size_))
        return MakeError(FileError::What::CannotGetSize, path_, ec);
    // It may have grown since it was opened.
    if (size_ >= kMaxFileSize)
        return TooLargeError(path_, size_);
    return std::nullopt;
}

std::optional<FileError> PieceReader::Read(uint8_t* into, std::size_t room, std::size_t& done)
{
    done = 0;
    if (!handle_)
        return MakeError(FileError::What::AlreadyRead, path_);
    const auto count = static_cast<std::size_t>(std::min<uint64_t>(room, size_ - read_));
    if (auto error = ReadFully(*handle_, path_, into, count, read_, size_)) {
        handle_.reset();
        return error;
    }
    read_ += count;
    done = count;
    if (AtEnd())
        handle_.reset();  // closed as soon as everything is read
    return std::nullopt;
}

std::optional<FileError> ReadFileContents(const std::string& path, ByteString& bytes, FileSystem& fs)
{
    std::error_code ec;
    std::unique_ptr<FileHandle> in = fs.OpenRead(path, ec);
    if (!in)
        return MakeError(FileError::What::CannotOpen, path, ec);
    uint64_t size = 0;
    if (auto e = in->Size(size))
        return MakeError(FileError::What::CannotGetSize, path, e);
    if (size >= kMaxFileSize)
        return TooLargeError(path, size);
    return ReadExactly(*in, path, size, bytes);
}

std::optional<FileError> MakeBackup(const std::string& path, FileSystem& fs)
{
    const std::string backupPath = path + ".bak";
    // The backup's own name is replaced, never the file a link of that name points to: anyone
    // who can create files in a shared folder could otherwise plant a link and have the next
    // backup overwrite another of the user's files.
    const Replacement backup{FileError::Task::Backup, path, AtALink::ReplaceLink};
    auto failure = [&](const StepError& step) { return StepFailure(backup, step); };

    std::error_code ec;
    std::unique_ptr<FileHandle> in = fs.OpenRead(path, ec);
    if (!in)
        return failure({FileError::Step::OpenSource, ec});
    FileInfo info;
    if (auto e = fs.Stat(path, info))
        return failure({FileError::Step::StatSource, e});
    uint64_t size = 0;
    if (auto e = in->Size(size))
        return failure({FileError::Step::SizeSource, e});
    // The copy is a copy: it takes the permission bits of the file it copies.
    CopySource source{in.get(), size};
    const Replacement toBackup{FileError::Task::Backup, backupPath, AtALink::ReplaceLink, &info};
    std::optional<FileError> error = ReplaceFile(fs, toBackup, FillWithCopy, &source);
    if (error)
        error->path = path;  // the error is about backing up `path`
    return error;
}

std::optional<FileError> WriteFileSafely(const std::string& path, const ByteString& bytes, FileSystem& fs)
{
    return WriteBytesSafely(FileError::Task::Save, path, bytes.View(), fs);
}

std::optional<FileError> SaveImage(const FileImage& image, FileSystem& fs, SaveBackup backup)
{
    if (backup == SaveBackup::Skip)
        return WriteFileSafely(image.path, image.bytes, fs);
    FileInfo info;
    if (auto ec = fs.Stat(image.path, info)) {
        FileError error = MakeError(FileError::What::NotReplaced, image.path, ec);
        error.task = FileError::Task::Save;
        error.step = FileError::Step::Stat;
        return error;
    }
    // A file that has gone since it was opened has nothing to back up; writing it anew
    // keeps the user's work rather than refusing to save.
    if (info.exists) {
        if (auto error = MakeBackup(image.path, fs)) {
            error->saveStopped = true;
            return error;
        }
    }
    return WriteFileSafely(image.path, image.bytes, fs);
}

std::optional<FileError> CheckExportTarget(const std::string& exportPath, const std::string& openedPath, FileSystem& fs)
{
    FileInfo target;
    if (fs.Stat(exportPath, target) || !target.exists)
        return std::nullopt;  // a new file endangers nothing
    for (const std::string& guarded : {openedPath, openedPath + ".bak"}) {
        FileInfo info;
        if (openedPath.empty() || fs.Stat(guarded, info) || !info.exists)
            continue;
        const bool same = (target.inode != 0 || target.device != 0)
                              ? (target.device == info.device && target.inode == info.inode)
                              : exportPath == guarded;
        if (same)
            return MakeError(FileError::What::ExportOverOpened, exportPath);
    }
    return std::nullopt;
}

std::optional<FileError> ExportRows(const StringList& list, const std::string& path, FileSystem& fs)
{
    static const ByteString suspiciousPrefix = AnsiFromUtf8("[可疑的]");
    std::string text;
    for (std::size_t i = 0; i < list.rows.size(); ++i) {
        if (static_cast<int64_t>(i) >= list.PlainRowCount)
            text += suspiciousPrefix.View();
        text += list.rows[i].Caption().View();
        text += "\r\n";
    }
    return WriteBytesSafely(FileError::Task::Export, path, text, fs);
}

}  // namespace cl
