#pragma once
// FileState: what a file looks like on disk (bytes, size, modification time, inode, mode),
// to show that an operation left a file exactly as it was, or that a save really replaced it.

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

namespace cltest {

struct FileState {
    bool exists = false;
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t inode = 0;
    unsigned mode = 0;
    std::string bytes;  // left empty for huge sparse files

    bool operator==(const FileState&) const = default;

    static FileState Of(const std::string& path, bool readBytes = true)
    {
        FileState s;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            return s;
        s.exists = true;
        s.size = static_cast<uint64_t>(st.st_size);
        s.mtimeNs = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
        s.inode = st.st_ino;
        s.mode = st.st_mode & 07777;
        if (readBytes && S_ISREG(st.st_mode)) {
            std::ifstream in(path, std::ios::binary);
            s.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return s;
    }

    // Sets the modification time far into the past, so that any rewrite shows in it.
    static bool Age(const std::string& path)
    {
        const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
    }
};

inline std::ostream& operator<<(std::ostream& os, const FileState& s)
{
    return os << "{exists " << s.exists << ", size " << s.size << ", mtime " << s.mtimeNs << " ns, inode " << s.inode
              << ", mode " << std::oct << s.mode << std::dec << ", " << s.bytes.size() << " bytes read}";
}

}  // namespace cltest
