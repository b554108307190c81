#pragma once
// The sentences (UTF-8) with which the windows and the command line tell the user why a file
// operation failed. Both front ends say the same, so they share this one place.

#include "errors/FileError.h"

#include <string>

namespace cltext {

// The whole sentence: what was being done, with which file, the step that failed, the
// system's reason, and what was left as it was.
std::string DescribeFileError(const cl::FileError& error);

}  // namespace cltext
