// classlingo-manpage: runs a program with --help and writes its manual page from what it
// printed, so that the page lists exactly the options the built program has.
//
//   classlingo-manpage --output FILE --program NAME --source TEXT --summary TEXT
//                      [--description TEXT] [--see-also PAGE(N)]... -- COMMAND [ARG...]

#include "HelpText.h"
#include "ManPage.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

// The standard output of the command, or nothing when it cannot be run or does not exit 0:
// a help that fails must fail the build rather than leave a page without options.
std::optional<std::string> OutputOf(const std::vector<std::string>& command)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        std::cerr << "classlingo-manpage: pipe: " << std::strerror(errno) << "\n";
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        std::cerr << "classlingo-manpage: fork: " << std::strerror(errno) << "\n";
        return std::nullopt;
    }
    if (child == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        std::vector<char*> argv;
        for (const std::string& arg : command)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        std::fprintf(stderr, "classlingo-manpage: cannot run %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (n > 0)
            output.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(pipeEnds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << "classlingo-manpage: " << command.front() << " --help did not exit with 0\n";
        return std::nullopt;
    }
    return output;
}

int Usage()
{
    std::cerr << "usage: classlingo-manpage --output FILE --program NAME --source TEXT --summary TEXT\n"
                 "                          [--description TEXT] [--see-also PAGE(N)]... -- COMMAND [ARG...]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    clman::ManPageHead head;
    std::string output;
    std::vector<std::string> command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            command.assign(argv + i + 1, argv + argc);
            break;
        }
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (arg == "--output")
            output = value;
        else if (arg == "--program")
            head.program = value;
        else if (arg == "--source")
            head.source = value;
        else if (arg == "--summary")
            head.summary = value;
        else if (arg == "--description")
            head.description = value;
        else if (arg == "--see-also")
            head.seeAlso.push_back(value);
        else
            return Usage();
    }
    if (output.empty() || head.program.empty() || command.empty())
        return Usage();

    const std::optional<std::string> help = OutputOf(command);
    if (!help)
        return 1;
    const clman::HelpText parsed = clman::ParseHelp(*help, head.program);
    if (parsed.blocks.empty() || parsed.blocks.front().usages.empty()) {
        std::cerr << "classlingo-manpage: no usage line starting with " << head.program << " in the help\n";
        return 1;
    }
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file << clman::ManPageFromHelp(parsed, head);
    file.close();
    if (!file) {
        std::cerr << "classlingo-manpage: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}
