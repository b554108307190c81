#pragma once
// FilterList: the word list of Filter.ini, one entry per line, compared byte for byte with
// found strings to mark them as suspicious.

#include "text/ByteString.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace cl {

using FilterList = std::vector<ByteString>;

// An existing Filter.ini that cannot be read: "Cannot open file <path>".
class CannotOpenFile : public std::runtime_error {
public:
    explicit CannotOpenFile(const std::string& path) : std::runtime_error("Cannot open file " + path) {}
};

// Splits text into lines at CR LF, lone CR or lone LF; a zero byte ends the text; a last line
// without a line end is kept, a line end at the very end adds no empty line.
FilterList SplitFilterLines(const ByteString& text);

// Loads Filter.ini from `folder`. A missing file (or a folder of that name) gives an empty
// list; a file that exists but cannot be read throws CannotOpenFile.
FilterList LoadFilterList(const std::string& folder);

}  // namespace cl
