#include "run/FindJava.h"

namespace cl::run {

namespace {

#ifdef _WIN32
constexpr char kListSeparator = ';';
constexpr const char* kJavaName = "java.exe";
#else
constexpr char kListSeparator = ':';
constexpr const char* kJavaName = "java";
#endif

bool IsAbsolute(const std::string& path)
{
#ifdef _WIN32
    return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
#else
    return !path.empty() && path.front() == '/';
#endif
}

bool IsExecutableFile(const std::string& path, FileSystem& fs)
{
    FileInfo info;
    if (fs.Stat(path, info) || !info.exists || !info.isRegular)
        return false;
#ifdef _WIN32
    return true;
#else
    return (info.mode & 0111) != 0;
#endif
}

}  // namespace

Result<std::string> FindJava(const std::string& pathVariable, const std::string& javaHome, FileSystem& fs)
{
    std::size_t start = 0;
    while (start <= pathVariable.size()) {
        std::size_t end = pathVariable.find(kListSeparator, start);
        if (end == std::string::npos)
            end = pathVariable.size();
        const std::string folder = pathVariable.substr(start, end - start);
        if (IsAbsolute(folder)) {
            const std::string candidate = JoinPath(folder, kJavaName);
            if (IsExecutableFile(candidate, fs))
                return candidate;
        }
        start = end + 1;
    }
    if (IsAbsolute(javaHome)) {
        const std::string candidate = JoinPath(JoinPath(javaHome, "bin"), kJavaName);
        if (IsExecutableFile(candidate, fs))
            return candidate;
    }
    Error error(ErrorKind::JavaNotFound, javaHome);
    return error;
}

}  // namespace cl::run
