#pragma once
// FileImage: the opened file, held whole in memory.

#include "text/ByteString.h"

#include <cstdint>
#include <string>

namespace cl {

struct FileImage {
    ByteString bytes;        // the file's contents, patched in place by replacements
    std::string path;        // full path as chosen, in the platform's file-name encoding
    int32_t loadedSize = 0;  // bytes read at opening; bounds the scan that follows the load
};

}  // namespace cl
