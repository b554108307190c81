#pragma once
// The whole-program commands of classlingo-cli: extract a PO catalogue from a jar, folder or
// class, apply a translated one, and list a program's strings with their roles.

#include <iosfwd>
#include <string>
#include <vector>

namespace cl {
class FileSystem;
}

// The usage lines of these commands, printed after the other commands' usage.
extern const char* const kProgramUsage;

bool IsProgramCommand(const std::string& command);

// `args` starts with the command name. Exit statuses as RunCli's: 0 done, 1 unreadable input,
// unwritable output, bad catalogue or a translation that cannot be applied, 2 usage, 3 done
// but parts of the input could not be read.
int RunProgramCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      cl::FileSystem& fs);
