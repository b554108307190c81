#pragma once
// Moving bytes between files and the engine: whole-file loading in two steps, the ".bak"
// copy, saving a patched image without ever risking the original, and the check of an export's
// target.
// Every operation goes through a FileSystem so that tests can make any step fail.

#include "text/ByteString.h"
#include "errors/Result.h"
#include "files/FileImage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace cl {

class FileSystem;
struct FileInfo;
class FileHandle;
FileSystem& NativeFileSystem();

// Whether an existing file is opened to be changed or only to be read.
enum class OpenAccess { ReadWrite, ReadOnly };

// Whether a save first copies the file to its ".bak".
enum class SaveBackup { Make, Skip };

// The first step of LoadWholeFile: an existing file opened (for reading and writing, or for
// reading only), held until ReadWholeFile reads it and closes it, or a PieceReader takes it.
class OpenedFile {
public:
    OpenedFile(std::string path, std::unique_ptr<FileHandle> handle);
    OpenedFile(OpenedFile&&) noexcept;
    OpenedFile& operator=(OpenedFile&&) noexcept;
    ~OpenedFile();
    const std::string& Path() const { return path_; }

private:
    friend Status ReadWholeFile(OpenedFile&, ByteString&, int32_t&);
    friend class PieceReader;
    std::string path_;
    std::unique_ptr<FileHandle> handle_;
};

// Step 1. An error when the file cannot be opened (missing, a folder, no permission; read-only
// when it is opened to be changed) or is 2 GiB or larger.
Result<OpenedFile> OpenWholeFile(const std::string& path, FileSystem& fs = NativeFileSystem(),
                                 OpenAccess access = OpenAccess::ReadWrite);

// Step 2. Reads the file whole into `bytes` (its size into `loadedSize`) and closes it.
// A short read is an error; on error `bytes` and `loadedSize` are unchanged.
Status ReadWholeFile(OpenedFile& file, ByteString& bytes, int32_t& loadedSize);

// Step 2 for a caller that looks at the file once, front to back, and need not hold it whole:
// reads it a piece at a time, as many bytes as its size says when reading starts (a file that
// ends before that is a short read, one that grew is read as far as that size). The file is
// closed once it is read to the end, when a read fails, or when the reader goes.
class PieceReader {
public:
    explicit PieceReader(OpenedFile&& file);
    PieceReader(const PieceReader&) = delete;
    PieceReader& operator=(const PieceReader&) = delete;
    ~PieceReader();

    // Learns the file's size; 2 GiB or more is TooLarge.
    Status Start();
    // Reads the next bytes into `into`: `room` of them, or as many as are left (0 at the end).
    Status Read(uint8_t* into, std::size_t room, std::size_t& done);
    uint64_t Size() const { return size_; }
    bool AtEnd() const { return read_ == size_; }

private:
    std::string path_;
    std::unique_ptr<FileHandle> handle_;
    uint64_t size_ = 0;
    uint64_t read_ = 0;
};

// Reads a whole file opened for reading only (other openers allowed), such as a word list.
Result<ByteString> ReadFileContents(const std::string& path, FileSystem& fs = NativeFileSystem());

// Copies `path` to `path` + ".bak", replacing an older backup only once the new copy is
// complete on disk. A copy that reads fewer bytes than the file holds is an error. A link
// named ".bak" is itself replaced; the file it points to is never written.
Status MakeBackup(const std::string& path, FileSystem& fs = NativeFileSystem());

// Copies the file `from` to `to` (replacing a file, or a link itself, there) through a temporary
// file beside `to`, with `from`'s permission bits. Any file size: the copy is made a piece at a
// time.
Status CopyFileTo(const std::string& from, const std::string& to, FileSystem& fs = NativeFileSystem());

// Replaces the file at `path` (or creates it) with `bytes` through a temporary file in the
// same folder: flushed, renamed over, folder flushed; permission bits kept, a symbolic link's
// target replaced rather than the link. On failure the file is left exactly as it was, except
// when only the final folder flush fails: the new bytes are then in place, and the error says so.
// The error names `task` as the work the file was written for (a save unless told otherwise).
Status WriteFileSafely(const std::string& path, std::string_view bytes, FileSystem& fs = NativeFileSystem(),
                       ErrorTask task = ErrorTask::Save);
Status WriteFileSafely(const std::string& path, const ByteString& bytes,
                                         FileSystem& fs = NativeFileSystem());

// A file's new contents, written and flushed beside it under a temporary name, waiting to be put
// in its place: the long part of a replacement done, the moment of replacing kept for later.
// Gone without a trace when it is discarded or destroyed before it is committed.
class PreparedFile {
public:
    PreparedFile(PreparedFile&&) noexcept;
    PreparedFile& operator=(PreparedFile&&) noexcept;
    PreparedFile(const PreparedFile&) = delete;
    PreparedFile& operator=(const PreparedFile&) = delete;
    ~PreparedFile();

    const std::string& Path() const { return path_; }
    // Renames the new contents over the file (the file a link there points to), as
    // WriteFileSafely does; once only.
    Status Commit();
    void Discard();

private:
    friend Result<PreparedFile> PrepareFile(const std::string&, std::string_view, FileSystem&, const FileInfo*);
    PreparedFile(FileSystem& fs, std::string path, std::string tempPath, std::string target);
    FileSystem* fs_;
    std::string path_;
    std::string tempPath_;
    std::string target_;
};

// The first half of WriteFileSafely: everything but the rename. Permission bits are those of
// `like` when given, else those of the file it is to replace, when there is one.
Result<PreparedFile> PrepareFile(const std::string& path, std::string_view bytes,
                                 FileSystem& fs = NativeFileSystem(), const FileInfo* like = nullptr);

// Makes the backup (unless told to skip it), then replaces the file at image.path with
// image.bytes through a temporary file in the same folder (flushed, renamed over, folder
// flushed). On failure the original is left byte for byte as it was; a failed backup stops
// the save (`saveStopped`), so that the caller can ask whether to save without one. A file
// that has gone since it was opened is written anew without a backup.
Status SaveImage(const FileImage& image, FileSystem& fs = NativeFileSystem(),
                                   SaveBackup backup = SaveBackup::Make);

// Refuses an export target that is the opened file itself or its ".bak" (by any path or link
// to them): exporting there would destroy the file being translated or its only copy.
Status CheckExportTarget(const std::string& exportPath, const std::string& openedPath,
                                           FileSystem& fs = NativeFileSystem());

}  // namespace cl
