#pragma once
// Asking the Java library itself: a small Java program, given as source text, is compiled once
// into a folder and run with arguments; its standard output is what the engine's own reading
// is compared with. The tests that use it are skipped when no JDK was found.

#include "Java.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace cltest {

struct JavaOutput {
    bool ok = false;
    std::string out;    // standard output
    std::string error;  // why it failed: javac's or java's words
};

// Writes `source` as `folder`/`className`.java, compiles it and runs
// `java <jvmOptions> -cp folder className <args>`.
inline JavaOutput RunJavaProgram(const std::string& folder, const std::string& className, const std::string& source,
                                 const std::string& args, const std::string& jvmOptions = "")
{
    JavaOutput result;
    const std::string compiled = CompileJava(folder, className, source);
    if (!compiled.empty()) {
        result.error = compiled;
        return result;
    }
    const std::string errFile = folder + "/" + className + ".stderr";
    const std::string command = "'" + JavaPath() + "' " + jvmOptions + " -Dfile.encoding=UTF-8 -cp '" + folder + "' " +
                                className + " " + args + " 2>'" + errFile + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        result.error = command + ": cannot start";
        return result;
    }
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.out.append(buffer, n);
    const int status = ::pclose(pipe);
    if (status != 0) {
        std::ifstream err(errFile, std::ios::binary);
        result.error = command + "\n" + std::string(std::istreambuf_iterator<char>(err), {});
        return result;
    }
    result.ok = true;
    return result;
}

// The bytes of a text as lower-case hex, for passing texts to Java on a command line or in a
// file of lines whatever they hold.
inline std::string Hex(const std::string& bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
    return out;
}

}  // namespace cltest
