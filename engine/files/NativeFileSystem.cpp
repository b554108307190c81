// The platform's file system: POSIX calls on Linux and the like, Win32 calls on Windows.

#include "files/FileSystem.h"

#include <atomic>
#include <chrono>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cl {

namespace {

// A short random tag for temporary names; unique enough together with O_EXCL / CREATE_NEW.
std::string RandomTag()
{
    static std::atomic<uint64_t> counter{0};
    static const uint64_t seed = [] {
        std::random_device rd;
        return (static_cast<uint64_t>(rd()) << 32) ^ rd() ^
               static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    uint64_t x = seed + 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + 1);
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string tag;
    for (int i = 0; i < 8; ++i) {
        tag.push_back(digits[x % 36]);
        x /= 36;
    }
    return tag;
}

// Temporary names start with a dot (hidden on POSIX) and keep the name short enough for any
// file system even when the file's own name is long.
std::string TempName(const std::string& nameHint)
{
    return "." + nameHint.substr(0, 180) + "." + RandomTag() + ".tmp";
}

#ifndef _WIN32

std::error_code LastError()
{
    return {errno, std::generic_category()};
}

class PosixHandle final : public FileHandle {
public:
    explicit PosixHandle(int fd) : fd_(fd) {}
    ~PosixHandle() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    std::error_code Size(uint64_t& size) override
    {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            return LastError();
        size = static_cast<uint64_t>(st.st_size);
        return {};
    }

    std::error_code Read(void* buffer, std::size_t count, std::size_t& done) override
    {
        done = 0;
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, count);
            if (n >= 0) {
                done = static_cast<std::size_t>(n);
                return {};
            }
            if (errno != EINTR)
                return LastError();
        }
    }

    std::error_code Write(const void* data, std::size_t count, std::size_t& done) override
    {
        done = 0;
        for (;;) {
            const ssize_t n = ::write(fd_, data, count);
            if (n >= 0) {
                done = static_cast<std::size_t>(n);
                return {};
            }
            if (errno != EINTR)
                return LastError();
        }
    }

    std::error_code Flush() override
    {
        if (::fsync(fd_) != 0)
            return LastError();
        return {};
    }

    std::error_code CopyPermissions(const FileInfo& like) override
    {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            return LastError();
        // The owner can only be handed on with the right privileges; a file owned by the one
        // who saves it is the ordinary outcome, so a refusal here is not an error. It comes
        // first because changing the owner clears set-user-ID bits.
        if (st.st_uid != like.owner || st.st_gid != like.group) {
            (void)::fchown(fd_, like.owner, like.group);
        }
        if (::fchmod(fd_, static_cast<mode_t>(like.mode & 07777)) != 0)
            return LastError();
        return {};
    }

    std::error_code Close() override
    {
        const int fd = fd_;
        fd_ = -1;
        if (fd >= 0 && ::close(fd) != 0)
            return LastError();
        return {};
    }

private:
    int fd_;
};

// Opens without blocking on FIFOs and the like, then insists on a regular file.
std::unique_ptr<FileHandle> OpenRegular(const std::string& path, int flags, std::error_code& ec)
{
    ec.clear();
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        ec = LastError();
        return nullptr;
    }
    auto handle = std::make_unique<PosixHandle>(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ec = LastError();
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        ec = std::make_error_code(std::errc::is_a_directory);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        ec = std::make_error_code(std::errc::no_such_device);
        return nullptr;
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
        ec = LastError();
        return nullptr;
    }
    return handle;
}

class PosixFileSystem final : public FileSystem {
public:
    std::unique_ptr<FileHandle> OpenReadWrite(const std::string& path, std::error_code& ec) override
    {
        return OpenRegular(path, O_RDWR, ec);
    }

    std::unique_ptr<FileHandle> OpenRead(const std::string& path, std::error_code& ec) override
    {
        return OpenRegular(path, O_RDONLY, ec);
    }

    std::unique_ptr<FileHandle> CreateTemp(const std::string& folder, const std::string& nameHint,
                                           std::string& tempPath, std::error_code& ec) override
    {
        ec.clear();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string candidate = JoinPath(folder, TempName(nameHint));
            // 0666 lets the umask decide, as for any new file.
            const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                tempPath = candidate;
                return std::make_unique<PosixHandle>(fd);
            }
            if (errno != EEXIST && errno != EINTR) {
                ec = LastError();
                return nullptr;
            }
        }
        ec = std::make_error_code(std::errc::file_exists);
        return nullptr;
    }

    std::error_code Rename(const std::string& from, const std::string& to) override
    {
        if (::rename(from.c_str(), to.c_str()) != 0)
            return LastError();
        return {};
    }

    std::error_code Remove(const std::string& path) override
    {
        if (::unlink(path.c_str()) != 0)
            return LastError();
        return {};
    }

    std::error_code FlushFolder(const std::string& folder) override
    {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return LastError();
        std::error_code ec;
        if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) {
            // Some file systems cannot sync a folder at all (EINVAL); that is not a failure.
            ec = LastError();
        }
        ::close(fd);
        return ec;
    }

    std::error_code Stat(const std::string& path, FileInfo& info) override { return StatWith(::stat, path, info); }
    std::error_code StatLink(const std::string& path, FileInfo& info) override
    {
        return StatWith(::lstat, path, info);
    }
    std::error_code ResolveLink(const std::string& path, std::string& target) override
    {
        std::string current = path;
        // The same bound as the kernel's, so that a loop of links fails the same way.
        for (int hop = 0; hop < 40; ++hop) {
            struct stat st {};
            if (::lstat(current.c_str(), &st) != 0) {
                if (errno == ENOENT) {
                    target = current;
                    return {};
                }
                return LastError();
            }
            if (!S_ISLNK(st.st_mode)) {
                target = current;
                return {};
            }
            std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
            for (;;) {
                const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
                if (n < 0)
                    return LastError();
                if (static_cast<std::size_t>(n) < link.size()) {
                    link.resize(static_cast<std::size_t>(n));
                    break;
                }
                link.resize(link.size() * 2);
            }
            current = (!link.empty() && link.front() == '/') ? link : JoinPath(FolderOf(current), link);
        }
        return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    }
    std::error_code ListFolder(const std::string& path, std::vector<FolderEntry>& entries) override
    {
        entries.clear();
        DIR* dir = ::opendir(path.c_str());
        if (dir == nullptr)
            return LastError();
        std::error_code ec;
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (entry == nullptr) {
                if (errno != 0)
                    ec = LastError();
                break;
            }
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            FolderEntry found;
            found.name = name;
            struct stat st {};
            // d_type is not filled in by every file system; lstat always tells.
            if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                ec = LastError();
                break;
            }
            found.type = S_ISREG(st.st_mode)   ? EntryType::File
                         : S_ISDIR(st.st_mode) ? EntryType::Folder
                         : S_ISLNK(st.st_mode) ? EntryType::Link
                                               : EntryType::Other;
            entries.push_back(std::move(found));
        }
        ::closedir(dir);
        return ec;
    }
    std::error_code ReadLink(const std::string& path, std::string& target) override
    {
        std::string link(256, '\0');
        for (;;) {
            const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
            if (n < 0)
                return LastError();
            if (static_cast<std::size_t>(n) < link.size()) {
                link.resize(static_cast<std::size_t>(n));
                target = std::move(link);
                return {};
            }
            link.resize(link.size() * 2);
        }
    }
    std::error_code MakeLink(const std::string& target, const std::string& path) override
    {
        if (::symlink(target.c_str(), path.c_str()) != 0)
            return LastError();
        return {};
    }
    std::error_code MakeFolder(const std::string& path) override
    {
        if (::mkdir(path.c_str(), 0777) != 0)
            return LastError();
        return {};
    }
    std::error_code CreateTempFolder(const std::string& folder, const std::string& nameHint,
                                     std::string& tempPath) override
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string candidate = JoinPath(folder, TempName(nameHint));
            // 0700 until it is complete: nobody else has business in a half-made folder.
            if (::mkdir(candidate.c_str(), 0700) == 0) {
                tempPath = candidate;
                return {};
            }
            if (errno != EEXIST && errno != EINTR)
                return LastError();
        }
        return std::make_error_code(std::errc::file_exists);
    }
    std::error_code RemoveFolder(const std::string& path) override
    {
        if (::rmdir(path.c_str()) != 0)
            return LastError();
        return {};
    }
    std::error_code CopyAttributes(const FileInfo& like, const std::string& path) override
    {
        if (!like.isLink && ::chmod(path.c_str(), static_cast<mode_t>(like.mode & 07777)) != 0)
            return LastError();
        timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(like.modifiedNs / 1000000000);
        times[1].tv_nsec = static_cast<long>(like.modifiedNs % 1000000000);
        if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
            return LastError();
        return {};
    }

private:
    static std::error_code StatWith(int (*call)(const char*, struct stat*), const std::string& path, FileInfo& info)
    {
        info = FileInfo{};
        struct stat st {};
        if (call(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                return {};
            return LastError();
        }
        info.exists = true;
        info.isRegular = S_ISREG(st.st_mode);
        info.isDirectory = S_ISDIR(st.st_mode);
        info.isLink = S_ISLNK(st.st_mode);
        info.size = static_cast<uint64_t>(st.st_size);
        info.mode = static_cast<uint32_t>(st.st_mode & 07777);
        info.owner = static_cast<uint32_t>(st.st_uid);
        info.group = static_cast<uint32_t>(st.st_gid);
        info.device = static_cast<uint64_t>(st.st_dev);
        info.inode = static_cast<uint64_t>(st.st_ino);
        info.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        return {};
    }
};

#else  // _WIN32

std::error_code LastError()
{
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

std::wstring Widen(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const wchar_t* wide)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string utf8(static_cast<std::size_t>(n - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

class WinHandle final : public FileHandle {
public:
    explicit WinHandle(HANDLE h) : h_(h) {}
    ~WinHandle() override
    {
        if (h_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(h_);
    }

    std::error_code Size(uint64_t& size) override
    {
        LARGE_INTEGER li{};
        if (!::GetFileSizeEx(h_, &li))
            return LastError();
        size = static_cast<uint64_t>(li.QuadPart);
        return {};
    }

    std::error_code Read(void* buffer, std::size_t count, std::size_t& done) override
    {
        DWORD n = 0;
        const DWORD want = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
        done = 0;
        if (!::ReadFile(h_, buffer, want, &n, nullptr))
            return LastError();
        done = n;
        return {};
    }

    std::error_code Write(const void* data, std::size_t count, std::size_t& done) override
    {
        DWORD n = 0;
        const DWORD want = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
        done = 0;
        const BOOL ok = ::WriteFile(h_, data, want, &n, nullptr);
        done = n;
        if (!ok)
            return LastError();
        return {};
    }

    std::error_code Flush() override
    {
        if (!::FlushFileBuffers(h_))
            return LastError();
        return {};
    }

    // ReplaceFileW hands the replaced file's attributes and security on to the new one.
    std::error_code CopyPermissions(const FileInfo&) override { return {}; }

    std::error_code Close() override
    {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        if (h != INVALID_HANDLE_VALUE && !::CloseHandle(h))
            return LastError();
        return {};
    }

private:
    HANDLE h_;
};

std::unique_ptr<FileHandle> OpenWith(const std::string& path, DWORD access, DWORD share, DWORD creation,
                                     std::error_code& ec)
{
    ec.clear();
    HANDLE h = ::CreateFileW(Widen(path).c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        ec = LastError();
        return nullptr;
    }
    return std::make_unique<WinHandle>(h);
}

class WinFileSystem final : public FileSystem {
public:
    std::unique_ptr<FileHandle> OpenReadWrite(const std::string& path, std::error_code& ec) override
    {
        // Other readers stay allowed so that the backup copy can read the file meanwhile.
        return OpenWith(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, ec);
    }

    std::unique_ptr<FileHandle> OpenRead(const std::string& path, std::error_code& ec) override
    {
        return OpenWith(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, ec);
    }

    std::unique_ptr<FileHandle> CreateTemp(const std::string& folder, const std::string& nameHint,
                                           std::string& tempPath, std::error_code& ec) override
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string candidate = JoinPath(folder, TempName(nameHint));
            auto handle = OpenWith(candidate, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW, ec);
            if (handle) {
                tempPath = candidate;
                return handle;
            }
            if (ec.value() != ERROR_FILE_EXISTS && ec.value() != ERROR_ALREADY_EXISTS)
                return nullptr;
        }
        return nullptr;
    }

    std::error_code Rename(const std::string& from, const std::string& to) override
    {
        const std::wstring wideFrom = Widen(from);
        const std::wstring wideTo = Widen(to);
        if (::GetFileAttributesW(wideTo.c_str()) != INVALID_FILE_ATTRIBUTES) {
            if (!::ReplaceFileW(wideTo.c_str(), wideFrom.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                nullptr)) {
                return LastError();
            }
            return {};
        }
        if (!::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return LastError();
        }
        return {};
    }

    std::error_code Remove(const std::string& path) override
    {
        if (!::DeleteFileW(Widen(path).c_str()))
            return LastError();
        return {};
    }

    std::error_code FlushFolder(const std::string&) override { return {}; }

    std::error_code Stat(const std::string& path, FileInfo& info) override
    {
        info = FileInfo{};
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) {
            const DWORD err = ::GetLastError();
            if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
                return {};
            return {static_cast<int>(err), std::system_category()};
        }
        info.exists = true;
        info.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        info.isRegular = !info.isDirectory;
        info.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        info.mode = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444u : 0666u;
        return {};
    }

    // Links are left to ReplaceFileW, which works on the path it is given.
    std::error_code ResolveLink(const std::string& path, std::string& target) override
    {
        target = path;
        return {};
    }

    std::error_code ListFolder(const std::string& path, std::vector<FolderEntry>& entries) override
    {
        entries.clear();
        WIN32_FIND_DATAW found{};
        const HANDLE find = ::FindFirstFileW(Widen(JoinPath(path, "*")).c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return LastError();
        std::error_code ec;
        do {
            const std::string name = Narrow(found.cFileName);
            if (name == "." || name == "..")
                continue;
            FolderEntry entry;
            entry.name = name;
            entry.type = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryType::Link
                         : (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? EntryType::Folder
                                                                                 : EntryType::File;
            entries.push_back(std::move(entry));
        } while (::FindNextFileW(find, &found));
        if (::GetLastError() != ERROR_NO_MORE_FILES)
            ec = LastError();
        ::FindClose(find);
        return ec;
    }

    std::error_code StatLink(const std::string& path, FileInfo& info) override
    {
        if (auto ec = Stat(path, info))
            return ec;
        const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
        info.isLink = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        return {};
    }

    // Windows links need privileges most users lack; programs are not installed with them.
    std::error_code ReadLink(const std::string&, std::string&) override
    {
        return std::make_error_code(std::errc::operation_not_supported);
    }
    std::error_code MakeLink(const std::string&, const std::string&) override
    {
        return std::make_error_code(std::errc::operation_not_supported);
    }

    std::error_code MakeFolder(const std::string& path) override
    {
        if (!::CreateDirectoryW(Widen(path).c_str(), nullptr))
            return LastError();
        return {};
    }

    std::error_code CreateTempFolder(const std::string& folder, const std::string& nameHint,
                                     std::string& tempPath) override
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string candidate = JoinPath(folder, TempName(nameHint));
            if (::CreateDirectoryW(Widen(candidate).c_str(), nullptr)) {
                tempPath = candidate;
                return {};
            }
            if (::GetLastError() != ERROR_ALREADY_EXISTS)
                return LastError();
        }
        return std::make_error_code(std::errc::file_exists);
    }

    std::error_code RemoveFolder(const std::string& path) override
    {
        if (!::RemoveDirectoryW(Widen(path).c_str()))
            return LastError();
        return {};
    }

    std::error_code CopyAttributes(const FileInfo& like, const std::string& path) override
    {
        const std::wstring wide = Widen(path);
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return LastError();
        const DWORD readOnly = (like.mode & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : 0;
        if (!::SetFileAttributesW(wide.c_str(), (attributes & ~FILE_ATTRIBUTE_READONLY) | readOnly))
            return LastError();
        return {};
    }
};

#endif

}  // namespace

FileSystem& NativeFileSystem()
{
#ifdef _WIN32
    static WinFileSystem fs;
#else
    static PosixFileSystem fs;
#endif
    return fs;
}

}  // namespace cl
