#pragma once
// Where the running program lies, so that it finds the Filter.ini next to it.

#include <string>

namespace clcli {

// The folder of the running executable; the folder of `argv0` when the platform will not say.
std::string ExecutableFolder(const char* argv0);

}  // namespace clcli
