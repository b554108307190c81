// The running executable's folder: /proc/self/exe on Linux, the module file name on Windows.

#include "ExecutableFolder.h"

#include "files/FileSystem.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace clcli {

std::string ExecutableFolder(const char* argv0)
{
#ifdef _WIN32
    std::wstring wide(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
    if (n > 0 && n < wide.size()) {
        const int bytes =
            ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        std::string path(static_cast<std::size_t>(bytes), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(n), path.data(), bytes, nullptr, nullptr);
        return cl::FolderOf(path);
    }
#else
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n > 0 && static_cast<std::size_t>(n) < path.size()) {
        path.resize(static_cast<std::size_t>(n));
        return cl::FolderOf(path);
    }
#endif
    return cl::FolderOf(argv0 ? std::string(argv0) : std::string());
}

}  // namespace clcli
