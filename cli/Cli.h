#pragma once
// The command-line companion: the list, export and replacement of the window, driven by
// arguments, so that strings can be translated from scripts. Runs in-process for tests.

#include <iosfwd>

namespace cl {
class FileSystem;
}

// Exit status of RunCli.
enum CliExit : int {
    kCliDone = 0,
    kCliFileError = 1,   // the file cannot be opened, read or written; an over-long text
    kCliUsage = 2,       // wrong usage: unknown command or option, bad INDEX, missing argument
    kCliRangeError = 3,  // the scan hit "Range check error"
};

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);
// The same, with every file operation going through `fs`.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, cl::FileSystem& fs);
