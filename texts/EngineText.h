#pragma once
// The fixed sentences of the single-file tools that are not about one failed file: the faults a
// byte string raises, an unreadable word list, a replacement text that cannot be used.

#include "errors/Error.h"

#include <string>
#include <vector>

namespace cltext {

// Byte access outside a value, and storage that could not be had.
const char* RangeErrorText();   // "Range check error"
const char* OutOfMemoryText();  // "Out of memory"

// A word list (Filter.ini) beside the program that exists but cannot be read.
std::string WordListUnreadableText(const cl::Error& error);

// A replacement longer than a length byte can hold.
const char* ReplacementTooLongText();

// The characters (UTF-8, each a whole character) that the ANSI code page cannot hold.
std::string OutsideCodePageText(const std::vector<std::string>& characters);

}  // namespace cltext
