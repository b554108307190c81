#include "scan/FilterList.h"

#include "files/FileOps.h"

#include <string>

namespace cl {

FilterList SplitFilterLines(const ByteString& text)
{
    FilterList lines;
    const uint8_t* data = text.Bytes();
    int32_t end = 0;
    while (end < text.ByteLength() && data[end] != 0)
        ++end;
    int32_t start = 0;
    int32_t i = 0;
    while (i < end) {
        if (data[i] == '\r' || data[i] == '\n') {
            lines.emplace_back(data + start, i - start);
            // CR LF is one line end; LF CR is two.
            i += (data[i] == '\r' && i + 1 < end && data[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < end)
        lines.emplace_back(data + start, end - start);
    return lines;
}

Result<FilterList> LoadFilterList(const std::string& folder, FileSystem& fs)
{
#ifdef _WIN32
    const std::string path = folder + "\\Filter.ini";
#else
    const std::string path = folder + "/Filter.ini";
#endif
    FileInfo info;
    if (fs.Stat(path, info) || !info.exists || info.isDirectory)
        return FilterList();
    // Read through the same checked whole-file read as every other file of the engine.
    Result<ByteString> bytes = ReadFileContents(path, fs);
    if (!bytes) {
        Error error = std::move(bytes).error();
        error.task = ErrorTask::WordList;
        error.path = path;
        return error;
    }
    return SplitFilterLines(*bytes);
}

}  // namespace cl
