#pragma once
// The sentences (UTF-8) with which the windows and the command line tell the user why an engine
// operation failed. Both front ends say the same, so they share this one place.

#include "errors/Error.h"

#include <string>

namespace cltext {

// The whole sentence: what was being done, with which file, the step that failed, the system's
// reason, and what was left as it was.
std::string DescribeError(const cl::Error& error);

// The reason alone, for a sentence that names the file itself ("（…）" is added by the caller):
// the system's words, a library's words, or what the kind says. Empty when there is none.
std::string ReasonOf(const cl::Error& error);

// A file that cannot be opened at all is told with one fixed sentence before anything else:
// whether this error is one, and the sentence.
bool SaysCannotOpen(const cl::Error& error);
const char* CannotOpenText();

// "“path”", as every sentence quotes a file or a text.
std::string Quoted(const std::string& text);

}  // namespace cltext
