#include "files/SameFile.h"

namespace cl {

bool IsSameFile(const std::string& a, const std::string& b, FileSystem& fs)
{
    FileInfo x;
    FileInfo y;
    if (fs.Stat(a, x) || fs.Stat(b, y) || !x.exists || !y.exists)
        return false;
    if (x.inode == 0 && x.device == 0)
        return WithoutTrailingSeparators(a) == WithoutTrailingSeparators(b);
    return x.device == y.device && x.inode == y.inode;
}

}  // namespace cl
