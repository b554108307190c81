#pragma once
// Whether a tool found when the build was configured (javac, msgfmt) can be used: CMake leaves
// its path empty or ending in NOTFOUND when the machine has none, and the tests that need it
// are skipped rather than failed.

#include <string>

namespace cltest {

inline bool ToolIsInstalled(const std::string& configuredPath)
{
    return !configuredPath.empty() && configuredPath.find("NOTFOUND") == std::string::npos;
}

}  // namespace cltest
