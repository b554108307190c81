#pragma once
// FileSystem and FileHandle: the few file operations the engine needs (open, read, write,
// flush, create a temporary file, rename, remove, stat, resolve links), behind an interface
// so that every file operation of the engine can be made to fail on purpose in tests.
//
// Paths are std::string: bytes as the platform takes them on POSIX, UTF-8 on Windows.
// Errors are std::error_code values whose message() is the system's own reason.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace cl {

struct FileInfo {
    bool exists = false;
    bool isRegular = false;
    bool isDirectory = false;
    uint64_t size = 0;
    uint32_t mode = 0;  // permission bits (07777 on POSIX)
    uint32_t owner = 0;
    uint32_t group = 0;
    // Identity of the file itself, whatever path leads to it; 0 where the platform gives none.
    uint64_t device = 0;
    uint64_t inode = 0;
    // Set only by StatLink: the path is itself a symbolic link (and described as one).
    bool isLink = false;
    // Last modification, in nanoseconds since 1970; 0 where the platform gives none.
    int64_t modifiedNs = 0;
};

// What a folder holds, as ListFolder names it: links are described, never followed.
enum class EntryType : uint8_t { File, Folder, Link, Other };

struct FolderEntry {
    std::string name;
    EntryType type = EntryType::Other;
};

// An open file. Destroying a handle closes it and ignores any error; call Close() to see one.
class FileHandle {
public:
    FileHandle() = default;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    virtual ~FileHandle() = default;

    virtual std::error_code Size(uint64_t& size) = 0;
    // Reads up to `count` bytes at the current position; `done` is 0 at the end of the file.
    virtual std::error_code Read(void* buffer, std::size_t count, std::size_t& done) = 0;
    // Writes up to `count` bytes; `done` says how many were written, also when it fails.
    virtual std::error_code Write(const void* data, std::size_t count, std::size_t& done) = 0;
    // Makes the contents durable (fsync).
    virtual std::error_code Flush() = 0;
    // Gives the file the permission bits (and, where allowed, the owner) of `like`.
    virtual std::error_code CopyPermissions(const FileInfo& like) = 0;
    virtual std::error_code Close() = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // An existing regular file opened for reading and writing. Other readers stay allowed, so
    // that a backup copy can be made while the file is held open.
    virtual std::unique_ptr<FileHandle> OpenReadWrite(const std::string& path, std::error_code& ec) = 0;
    // An existing regular file opened for reading only.
    virtual std::unique_ptr<FileHandle> OpenRead(const std::string& path, std::error_code& ec) = 0;
    // A new, empty file with a unique name in `folder`, derived from `nameHint`; its path goes
    // to `tempPath`. Created with the default permissions of a new file.
    virtual std::unique_ptr<FileHandle> CreateTemp(const std::string& folder, const std::string& nameHint,
                                                   std::string& tempPath, std::error_code& ec) = 0;
    // Puts `from` in the place of `to` in one step, replacing a file that is there.
    virtual std::error_code Rename(const std::string& from, const std::string& to) = 0;
    virtual std::error_code Remove(const std::string& path) = 0;
    // Makes a rename inside `folder` durable (no-op where the platform has no such thing).
    virtual std::error_code FlushFolder(const std::string& folder) = 0;
    // Follows symbolic links. A path that does not exist is no error: `info.exists` is false.
    virtual std::error_code Stat(const std::string& path, FileInfo& info) = 0;
    // The path with symbolic links at its end followed (also dangling ones), so that writing
    // to `target` changes the file the link points to; `path` itself when it is no link.
    virtual std::error_code ResolveLink(const std::string& path, std::string& target) = 0;

    // Folders, for programs installed as folders: whatever is copied keeps what it was, so a
    // link is read and made as a link, never followed.
    //
    // The entries of folder `path`, without "." and "..", in no particular order.
    virtual std::error_code ListFolder(const std::string& path, std::vector<FolderEntry>& entries) = 0;
    // Attributes of `path` itself: a symbolic link is described (isLink), not followed. A path
    // that does not exist is no error: `info.exists` is false.
    virtual std::error_code StatLink(const std::string& path, FileInfo& info) = 0;
    // The text a symbolic link holds, as it is stored.
    virtual std::error_code ReadLink(const std::string& path, std::string& target) = 0;
    // A new symbolic link at `path` holding `target` as it is.
    virtual std::error_code MakeLink(const std::string& target, const std::string& path) = 0;
    // A new folder with the default permissions; an existing one of that name is an error.
    virtual std::error_code MakeFolder(const std::string& path) = 0;
    // A new, empty folder with a unique name in `folder`, derived from `nameHint`.
    virtual std::error_code CreateTempFolder(const std::string& folder, const std::string& nameHint,
                                             std::string& tempPath) = 0;
    // Removes an empty folder.
    virtual std::error_code RemoveFolder(const std::string& path) = 0;
    // Gives `path` (the link itself when it is one) the permission bits and the modification
    // time of `like`; a link has no permission bits of its own, only its time is set.
    virtual std::error_code CopyAttributes(const FileInfo& like, const std::string& path) = 0;
};

// The platform's file system.
FileSystem& NativeFileSystem();

// Splits a path into its folder ("." when there is none) and its last component.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
// `name` (which may hold '/') under `folder`, with one separator between them.
std::string JoinPath(const std::string& folder, const std::string& name);
// The path without separators at its end ("app/" is the folder "app"); the root stays itself.
std::string WithoutTrailingSeparators(std::string path);

}  // namespace cl
