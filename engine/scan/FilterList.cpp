#include "scan/FilterList.h"

#include "files/FileOps.h"

#include <filesystem>
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

FilterList LoadFilterList(const std::string& folder)
{
#ifdef _WIN32
    const std::string path = folder + "\\Filter.ini";
#else
    const std::string path = folder + "/Filter.ini";
#endif
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status) || std::filesystem::is_directory(status))
        return {};
    // Read through the same checked whole-file read as every other file of the engine.
    ByteString bytes;
    if (ReadFileContents(path, bytes))
        throw CannotOpenFile(path);
    return SplitFilterLines(bytes);
}

}  // namespace cl
