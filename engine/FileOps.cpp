// Whole-file loading, backups, safe replacement of a file and the text export. A file is
// never rewritten in place: new contents go to a temporary file in the same folder, which is
// flushed and then renamed over the old one, so a failure at any step leaves the old file.

#include "FileOps.h"

#include "CodePage.h"
#include "FileSystem.h"

#include <string_view>
#include <utility>
#include <vector>

namespace cl {

namespace {

// Lengths are signed 32-bit, so a file must stay below 2 GiB.
constexpr uint64_t kMaxFileSize = uint64_t{1} << 31;

std::string Quoted(const std::string& path)
{
    return "“" + path + "”";
}

FileError MakeError(FileError::Kind kind, std::string message)
{
    FileError error;
    error.kind = kind;
    error.message = std::move(message);
    return error;
}

// One failed step while a replacement file is made: what went wrong and the system's reason.
struct StepError {
    std::string what;
    std::error_code ec;
};

std::string Sentence(const std::string& prefix, const StepError& step, const std::string& suffix)
{
    std::string text = prefix + step.what;
    if (step.ec)
        text += "（" + step.ec.message() + "）";
    text += "。";
    return text + suffix;
}

std::optional<StepError> WriteAll(FileHandle& out, const void* data, std::size_t count)
{
    const auto* p = static_cast<const unsigned char*>(data);
    while (count > 0) {
        std::size_t done = 0;
        if (auto ec = out.Write(p, count, done))
            return StepError{"写入临时文件失败", ec};
        if (done == 0)
            return StepError{"写入临时文件失败", std::make_error_code(std::errc::no_space_on_device)};
        p += done;
        count -= done;
    }
    return std::nullopt;
}

// Fills the temporary file; called with the file open for writing.
using Filler = std::optional<StepError> (*)(FileHandle& out, const void* context);

// Replaces the file at `path` with what `fill` writes. `like` gives the permission bits for the
// new file; without it an existing file keeps its own and a new one gets the defaults.
// `prefix` starts every message; `keptNote` ends messages of failures that changed nothing.
std::optional<FileError> ReplaceFile(FileSystem& fs, const std::string& path, const FileInfo* like, Filler fill,
                                     const void* context, const std::string& prefix, const std::string& keptNote)
{
    auto failure = [&](const StepError& step) {
        return MakeError(FileError::Kind::Io, Sentence(prefix, step, keptNote));
    };

    // Writing through a link must change the file it points to and keep the link.
    std::string target;
    if (auto ec = fs.ResolveLink(path, target))
        return failure({"无法解析符号链接", ec});
    FileInfo existing;
    if (auto ec = fs.Stat(target, existing))
        return failure({"无法读取文件属性", ec});
    if (existing.exists && !existing.isRegular) {
        return failure({Quoted(target) + "不是普通文件", std::make_error_code(std::errc::is_a_directory)});
    }
    if (!like && existing.exists)
        like = &existing;

    const std::string folder = FolderOf(target);
    std::string tempPath;
    std::error_code ec;
    std::unique_ptr<FileHandle> out = fs.CreateTemp(folder, NameOf(target), tempPath, ec);
    if (!out)
        return failure({"无法在文件夹" + Quoted(folder) + "中创建临时文件", ec});

    auto discard = [&](const StepError& step) {
        out.reset();
        (void)fs.Remove(tempPath);
        return failure(step);
    };
    if (like) {
        if (auto e = out->CopyPermissions(*like))
            return discard({"无法设置临时文件的权限", e});
    }
    if (auto step = fill(*out, context))
        return discard(*step);
    // Only a flushed file may take the old one's place: a crash after the rename must not
    // leave an empty or partial file behind.
    if (auto e = out->Flush())
        return discard({"无法把临时文件写入磁盘", e});
    if (auto e = out->Close())
        return discard({"关闭临时文件失败", e});
    if (auto e = fs.Rename(tempPath, target))
        return discard({"无法用临时文件替换" + Quoted(target), e});
    if (auto e = fs.FlushFolder(folder)) {
        return MakeError(FileError::Kind::Io, prefix + "新内容已写入，但无法把文件夹" + Quoted(folder) +
                                                  "的更改写入磁盘（" + e.message() + "），断电后可能丢失。");
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
            return StepError{"读取原文件失败", ec};
        if (done == 0)
            break;
        if (auto step = WriteAll(out, buffer.data(), done))
            return step;
        total += done;
    }
    if (total < source->expected) {
        return StepError{"读取原文件时只读到 " + std::to_string(total) + " 字节，文件应有 " +
                             std::to_string(source->expected) + " 字节",
                         {}};
    }
    return std::nullopt;
}

std::optional<FileError> WriteBytesSafely(const std::string& path, std::string_view bytes, FileSystem& fs,
                                          const std::string& prefix, const std::string& keptNote)
{
    return ReplaceFile(fs, path, nullptr, FillWithBytes, &bytes, prefix, keptNote);
}

FileError TooLargeError(const std::string& path, uint64_t size)
{
    return MakeError(FileError::Kind::TooLarge,
                     "文件" + Quoted(path) + "有 " + std::to_string(size) + " 字节，达到或超过 2 GiB，无法打开。");
}

// Reads exactly `size` bytes from the start of `in` into `bytes`.
std::optional<FileError> ReadExactly(FileHandle& in, const std::string& path, uint64_t size, ByteString& bytes)
{
    ByteString buffer;
    if (size > 0) {
        buffer.SetByteLength(static_cast<int32_t>(size));
        uint8_t* p = buffer.Bytes();
        uint64_t total = 0;
        while (total < size) {
            std::size_t done = 0;
            if (auto ec = in.Read(p + total, static_cast<std::size_t>(size - total), done)) {
                return MakeError(FileError::Kind::Io, "读取文件" + Quoted(path) + "时出错（" + ec.message() + "）。");
            }
            if (done == 0) {
                return MakeError(FileError::Kind::Io, "读取文件" + Quoted(path) + "时只读到 " + std::to_string(total) +
                                                          " 字节，文件应有 " + std::to_string(size) + " 字节。");
            }
            total += done;
        }
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

std::optional<OpenedFile> OpenWholeFile(const std::string& path, FileError* why, FileSystem& fs)
{
    auto report = [&](FileError error) {
        if (why)
            *why = std::move(error);
        return std::nullopt;
    };
    std::error_code ec;
    std::unique_ptr<FileHandle> handle = fs.OpenReadWrite(path, ec);
    if (!handle) {
        return report(
            MakeError(FileError::Kind::CannotOpen, "无法打开文件" + Quoted(path) + "（" + ec.message() + "）。"));
    }
    uint64_t size = 0;
    if (auto e = handle->Size(size)) {
        return report(
            MakeError(FileError::Kind::CannotOpen, "无法取得文件" + Quoted(path) + "的大小（" + e.message() + "）。"));
    }
    if (size >= kMaxFileSize)
        return report(TooLargeError(path, size));
    return OpenedFile(path, std::move(handle));
}

std::optional<FileError> ReadWholeFile(OpenedFile& file, ByteString& bytes, int32_t& loadedSize)
{
    // The file is closed when this returns, whatever happens.
    std::unique_ptr<FileHandle> handle = std::move(file.handle_);
    if (!handle) {
        return MakeError(FileError::Kind::Io, "文件" + Quoted(file.path_) + "已经读过并关闭。");
    }
    uint64_t size = 0;
    if (auto ec = handle->Size(size)) {
        return MakeError(FileError::Kind::Io, "无法取得文件" + Quoted(file.path_) + "的大小（" + ec.message() + "）。");
    }
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

std::optional<FileError> ReadFileContents(const std::string& path, ByteString& bytes, FileSystem& fs)
{
    std::error_code ec;
    std::unique_ptr<FileHandle> in = fs.OpenRead(path, ec);
    if (!in) {
        return MakeError(FileError::Kind::CannotOpen, "无法打开文件" + Quoted(path) + "（" + ec.message() + "）。");
    }
    uint64_t size = 0;
    if (auto e = in->Size(size)) {
        return MakeError(FileError::Kind::Io, "无法取得文件" + Quoted(path) + "的大小（" + e.message() + "）。");
    }
    if (size >= kMaxFileSize)
        return TooLargeError(path, size);
    return ReadExactly(*in, path, size, bytes);
}

std::optional<FileError> MakeBackup(const std::string& path, FileSystem& fs)
{
    const std::string backupPath = path + ".bak";
    const std::string prefix = "无法把文件" + Quoted(path) + "备份到" + Quoted(backupPath) + "：";
    const std::string keptNote = "原有的备份文件保持不变。";
    auto failure = [&](const StepError& step) {
        return MakeError(FileError::Kind::Io, Sentence(prefix, step, keptNote));
    };

    std::error_code ec;
    std::unique_ptr<FileHandle> in = fs.OpenRead(path, ec);
    if (!in)
        return failure({"无法读取原文件", ec});
    FileInfo info;
    if (auto e = fs.Stat(path, info))
        return failure({"无法读取原文件的属性", e});
    uint64_t size = 0;
    if (auto e = in->Size(size))
        return failure({"无法取得原文件的大小", e});
    // The copy is a copy: it takes the permission bits of the file it copies.
    CopySource source{in.get(), size};
    return ReplaceFile(fs, backupPath, &info, FillWithCopy, &source, prefix, keptNote);
}

std::optional<FileError> WriteFileSafely(const std::string& path, const ByteString& bytes, FileSystem& fs)
{
    return WriteBytesSafely(path, bytes.View(), fs, "无法保存文件" + Quoted(path) + "：", "原文件保持不变。");
}

std::optional<FileError> SaveImage(const FileImage& image, FileSystem& fs)
{
    FileInfo info;
    if (auto ec = fs.Stat(image.path, info)) {
        return MakeError(FileError::Kind::Io, "无法保存文件" + Quoted(image.path) + "：无法读取文件属性（" +
                                                  ec.message() + "）。原文件保持不变。");
    }
    // A file that has gone since it was opened has nothing to back up; writing it anew
    // keeps the user's work rather than refusing to save.
    if (info.exists) {
        if (auto error = MakeBackup(image.path, fs)) {
            error->message += "文件" + Quoted(image.path) + "因此没有保存，保持不变。";
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
        if (same) {
            return MakeError(
                FileError::Kind::Io,
                "不能导出到" + Quoted(exportPath) + "：它就是正在翻译的文件或其备份，导出会覆盖它。请选择其他文件名。");
        }
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
        text += list.rows[i].caption.View();
        text += "\r\n";
    }
    return WriteBytesSafely(path, text, fs, "无法导出到文件" + Quoted(path) + "：", "已有的同名文件保持不变。");
}

}  // namespace cl
