#pragma once
// FilterList: the word list of Filter.ini, one entry per line, compared byte for byte with
// found strings to mark them as suspicious.

#include "errors/Result.h"
#include "files/FileSystem.h"
#include "text/ByteString.h"

#include <string>
#include <vector>

namespace cl {

using FilterList = std::vector<ByteString>;

// Splits text into lines at CR LF, lone CR or lone LF; a zero byte ends the text; a last line
// without a line end is kept, a line end at the very end adds no empty line.
FilterList SplitFilterLines(const ByteString& text);

// Loads Filter.ini from `folder`. A missing file (or a folder of that name) gives an empty
// list; a file that exists but cannot be read is an error of task WordList naming it.
Result<FilterList> LoadFilterList(const std::string& folder, FileSystem& fs = NativeFileSystem());

}  // namespace cl
