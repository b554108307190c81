// Path helpers shared by every FileSystem.

#include "files/FileSystem.h"

namespace cl {

namespace {

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// Index of the separator before the last component, or npos when there is none.
std::string::size_type LastSeparator(const std::string& path)
{
    for (std::string::size_type i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1]))
            return i - 1;
    }
    return std::string::npos;
}

}  // namespace

std::string FolderOf(const std::string& path)
{
    const auto sep = LastSeparator(path);
    if (sep == std::string::npos)
        return ".";
    // Keep the root itself ("/" or "C:\") rather than an empty folder name.
    auto end = sep;
    while (end > 0 && IsSeparator(path[end - 1]))
        --end;
    if (end == 0)
        return path.substr(0, 1);
#ifdef _WIN32
    if (end == 2 && path[1] == ':')
        return path.substr(0, 3);
#endif
    return path.substr(0, end);
}

std::string NameOf(const std::string& path)
{
    const auto sep = LastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    if (IsSeparator(folder.back()))
        return folder + name;
#ifdef _WIN32
    return folder + "\\" + name;
#else
    return folder + "/" + name;
#endif
}

std::string WithoutTrailingSeparators(std::string path)
{
    while (path.size() > 1 && IsSeparator(path.back()))
        path.pop_back();
    return path;
}

}  // namespace cl
