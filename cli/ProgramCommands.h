#pragma once
// The whole-program commands of classlingo-cli: extract a PO catalogue from a jar, folder or
// class, apply a translated one, and list a program's strings with their roles.

#include <iosfwd>
#include <string>
#include <vector>

namespace cl {
class FileSystem;
}
namespace clcli {
struct ParsedLine;
}

// The usage lines of these commands, printed after the other commands' usage.
extern const std::string kProgramUsage;

// Usage errors and the commands, for classlingo-cli's command table, which reads the options.
// Exit statuses as RunCli's: 0 done, 1 unreadable input, unwritable output, bad catalogue or a
// translation that cannot be applied, 2 usage, 3 done but parts of the input could not be read.
int ProgramUsageError(std::ostream& err, const std::string& why);
int RunExtractCommand(const clcli::ParsedLine& line, std::ostream& out, std::ostream& err, cl::FileSystem& fs);
int RunApplyCommand(const clcli::ParsedLine& line, std::ostream& out, std::ostream& err, cl::FileSystem& fs);
int RunStringsCommand(const clcli::ParsedLine& line, std::ostream& out, std::ostream& err, cl::FileSystem& fs);
