#pragma once
// Running another program from a test as its own process: its exit status, what it wrote on
// standard output and standard error, and the most memory it held (its peak resident set, as
// `/usr/bin/time -v` reports it); and whether a process is still alive.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace cltest {

struct ChildRun {
    int status = -1;  // the exit status; 128 + the signal when it was killed; -1 when it did not start
    std::string out;
    std::string err;
    long peakKiB = 0;
};

// Runs `argv` (no shell: argv[0] is looked up in PATH) in `folder`, with standard input from
// /dev/null. Standard output and error go through files in `folder` named after `tag`.
inline ChildRun RunChild(const std::vector<std::string>& argv, const std::string& folder,
                         const std::string& tag = "child")
{
    ChildRun run;
    const std::string outPath = (std::filesystem::path(folder) / ("." + tag + ".out")).string();
    const std::string errPath = (std::filesystem::path(folder) / ("." + tag + ".err")).string();
    std::vector<std::string> storage = argv;
    std::vector<char*> args;
    for (std::string& arg : storage)
        args.push_back(arg.data());
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return run;
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::chdir(folder.c_str()) != 0)
            ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.peakKiB = usage.ru_maxrss;
    auto slurp = [](const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    };
    run.out = slurp(outPath);
    run.err = slurp(errPath);
    std::error_code ignored;
    std::filesystem::remove(outPath, ignored);
    std::filesystem::remove(errPath, ignored);
    return run;
}

// The same for a shell command line.
inline ChildRun RunShell(const std::string& command, const std::string& folder, const std::string& tag = "shell")
{
    return RunChild({"/bin/sh", "-c", command}, folder, tag);
}

// Whether process `pid` has not ended: it is there, and not a zombie waiting to be reaped by a
// parent that may never do so (Linux: read from /proc).
inline bool ProcessAlive(long pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // "pid (name) S ...": the name may hold spaces and parentheses, the state follows the last ')'.
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

}  // namespace cltest
