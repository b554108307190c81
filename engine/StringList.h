#pragma once
// StringRow and StringList: the strings found in a FileImage, in list order, and how many of
// them (from the top) are plain rather than suspicious.

#include "ByteString.h"

#include <cstdint>
#include <vector>

namespace cl {

enum class RowStatus : uint8_t {
    Suspicious = 1,  // named in Filter.ini
    Plain = 2,
};

struct StringRow {
    ByteString caption;      // ANSI text shown in the list
    int32_t byteLength = 0;  // bytes of the string as found (or as last written)
    RowStatus status = RowStatus::Plain;
    // 1-based image position of the byte before the two length bytes: the high length byte
    // is at offset + 1, the low one at offset + 2, the string's first byte at offset + 3.
    int32_t offset = 0;

    ByteString ByteLengthText() const { return ByteString::FromInteger(byteLength); }
    ByteString StatusText() const { return status == RowStatus::Suspicious ? "1" : "2"; }
};

struct StringList {
    std::vector<StringRow> rows;
    // Rows [0, PlainRowCount) are plain, the rest suspicious; the export relies on it.
    int32_t PlainRowCount = 0;

    void Clear()
    {
        rows.clear();
        PlainRowCount = 0;
    }
};

}  // namespace cl
