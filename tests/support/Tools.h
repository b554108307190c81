#pragma once
// The tools found when the build was configured (javac, msgfmt): whether one can be used (CMake
// leaves its path empty or ending in NOTFOUND when the machine has none, and the tests that
// need it are skipped rather than failed), and compiling test sources with javac.

#include <cstdio>
#include <string>

namespace cltest {

inline bool ToolIsInstalled(const std::string& configuredPath)
{
    return !configuredPath.empty() && configuredPath.find("NOTFOUND") == std::string::npos;
}

// Compiles `javaFile` (UTF-8) with `javac` into `outFolder`, with `options` before the file.
// Empty when it worked; otherwise the command and what javac said, for the failure message.
inline std::string RunJavac(const std::string& javac, const std::string& javaFile, const std::string& outFolder,
                            const std::string& options = "")
{
    const std::string command = "'" + javac + "' " + options + " -encoding UTF-8 -d '" + outFolder + "' '" +
                                javaFile + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return command + ": cannot start";
    std::string said;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        said.append(buffer, n);
    return ::pclose(pipe) == 0 ? std::string() : command + "\n" + said;
}

}  // namespace cltest
