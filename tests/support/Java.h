#pragma once
// Java programs for the fixtures of every suite (engine, command line, windows): a source
// compiled with the javac found when the build was configured, and a compiled program run with
// its java to see what it prints. A test first asks for the tool (Tools.h), so that a machine
// without a JDK skips it, or fails it under CI.

#include "Tools.h"

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace cltest {

inline std::string JavacPath()
{
    return CLASSLINGO_JAVAC;
}

inline std::string JavaPath()
{
    return CLASSLINGO_JAVA;
}

// A word for the shell, whatever it holds.
inline std::string ShellQuoted(const std::string& word)
{
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs `command` through the shell: its exit status (-1 when it could not be started) and its
// standard output; standard error goes where the command sends it.
inline int RunCommand(const std::string& command, std::string& output)
{
    output.clear();
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Compiles the Java source file `javaFile` (UTF-8), class files into `outFolder`, with `options`
// before the file. Empty when it worked; otherwise the command and what javac said, for the
// failure message.
inline std::string CompileJavaFile(const std::string& javaFile, const std::string& outFolder,
                                   const std::string& options = {})
{
    const std::string command = ShellQuoted(JavacPath()) + " " + options + " -encoding UTF-8 -d " +
                                ShellQuoted(outFolder) + " " + ShellQuoted(javaFile) + " 2>&1";
    std::string said;
    return RunCommand(command, said) == 0 ? std::string() : command + "\n" + said;
}

// Writes `source` (UTF-8) as `fileName`.java in `folder` and compiles it, class files into
// `outFolder` (`folder` when empty), with `options` before the file; as CompileJavaFile says.
inline std::string CompileJava(const std::string& folder, const std::string& fileName, const std::string& source,
                               const std::string& outFolder = {}, const std::string& options = {})
{
    const std::string javaFile = folder + "/" + fileName + ".java";
    {
        std::ofstream out(javaFile, std::ios::binary | std::ios::trunc);
        out.write(source.data(), static_cast<std::streamsize>(source.size()));
        if (!out.good())
            return "cannot write " + javaFile;
    }
    return CompileJavaFile(javaFile, outFolder.empty() ? folder : outFolder, options);
}

struct JavaRun {
    int status = -1;
    std::string out;  // what the program printed, UTF-8
    std::string err;
};

// Runs class `mainClass` of the program at `classPath` (a folder or a jar) with java, its output
// in UTF-8 whatever the machine's locale.
inline JavaRun RunJava(const std::string& classPath, const std::string& mainClass)
{
    JavaRun run;
    char errFile[] = "/tmp/classlingo-java-err-XXXXXX";
    const int fd = ::mkstemp(errFile);
    if (fd < 0)
        return run;
    ::close(fd);
    const std::string command = ShellQuoted(JavaPath()) +
                                " -Dfile.encoding=UTF-8 -Dstdout.encoding=UTF-8 -Dsun.stdout.encoding=UTF-8 -cp " +
                                ShellQuoted(classPath) + " " + ShellQuoted(mainClass) + " 2>" + ShellQuoted(errFile);
    run.status = RunCommand(command, run.out);
    std::ifstream err(errFile, std::ios::binary);
    run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    ::unlink(errFile);
    return run;
}

}  // namespace cltest
