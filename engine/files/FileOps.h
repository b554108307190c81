#pragma once
// Moving bytes between files and the engine: whole-file loading in two steps, the ".bak"
// copy, saving a patched image without ever risking the original, and the text export.
// Every operation goes through a FileSystem so that tests can make any step fail.

#include "text/ByteString.h"
#include "errors/FileError.h"
#include "scan/FileImage.h"
#include "scan/StringList.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace cl {

class FileSystem;
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
    friend std::optional<FileError> ReadWholeFile(OpenedFile&, ByteString&, int32_t&);
    friend class PieceReader;
    std::string path_;
    std::unique_ptr<FileHandle> handle_;
};

// Step 1. Empty when the file cannot be opened (missing, a folder, no permission; read-only
// when it is opened to be changed) or is 2 GiB or larger; `why` then says which.
std::optional<OpenedFile> OpenWholeFile(const std::string& path, FileError* why = nullptr,
                                        FileSystem& fs = NativeFileSystem(),
                                        OpenAccess access = OpenAccess::ReadWrite);

// Step 2. Reads the file whole into `bytes` (its size into `loadedSize`) and closes it.
// A short read is an error; on error `bytes` and `loadedSize` are unchanged.
std::optional<FileError> ReadWholeFile(OpenedFile& file, ByteString& bytes, int32_t& loadedSize);

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
    std::optional<FileError> Start();
    // Reads the next bytes into `into`: `room` of them, or as many as are left (0 at the end).
    std::optional<FileError> Read(uint8_t* into, std::size_t room, std::size_t& done);
    uint64_t Size() const { return size_; }
    bool AtEnd() const { return read_ == size_; }

private:
    std::string path_;
    std::unique_ptr<FileHandle> handle_;
    uint64_t size_ = 0;
    uint64_t read_ = 0;
};

// Reads a whole file opened for reading only (other openers allowed), such as a word list.
std::optional<FileError> ReadFileContents(const std::string& path, ByteString& bytes,
                                          FileSystem& fs = NativeFileSystem());

// Copies `path` to `path` + ".bak", replacing an older backup only once the new copy is
// complete on disk. A copy that reads fewer bytes than the file holds is an error. A link
// named ".bak" is itself replaced; the file it points to is never written.
std::optional<FileError> MakeBackup(const std::string& path, FileSystem& fs = NativeFileSystem());

// Replaces the file at `path` (or creates it) with `bytes` through a temporary file in the
// same folder: flushed, renamed over, folder flushed; permission bits kept, a symbolic link's
// target replaced rather than the link. On failure the file is left exactly as it was, except
// when only the final folder flush fails: the new bytes are then in place, and the error says so.
std::optional<FileError> WriteFileSafely(const std::string& path, const ByteString& bytes,
                                         FileSystem& fs = NativeFileSystem());

// Makes the backup (unless told to skip it), then replaces the file at image.path with
// image.bytes through a temporary file in the same folder (flushed, renamed over, folder
// flushed). On failure the original is left byte for byte as it was; a failed backup stops
// the save (`saveStopped`), so that the caller can ask whether to save without one. A file
// that has gone since it was opened is written anew without a backup.
std::optional<FileError> SaveImage(const FileImage& image, FileSystem& fs = NativeFileSystem(),
                                   SaveBackup backup = SaveBackup::Make);

// Refuses an export target that is the opened file itself or its ".bak" (by any path or link
// to them): exporting there would destroy the file being translated or its only copy.
std::optional<FileError> CheckExportTarget(const std::string& exportPath, const std::string& openedPath,
                                           FileSystem& fs = NativeFileSystem());

// Writes one caption per line (ANSI, CR LF), suspicious rows prefixed with "[可疑的]".
std::optional<FileError> ExportRows(const StringList& list, const std::string& path,
                                    FileSystem& fs = NativeFileSystem());

}  // namespace cl
