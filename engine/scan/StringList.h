#pragma once
// StringRow and StringList: the strings found in a FileImage, in list order, and how many of
// them (from the top) are plain rather than suspicious.

#include "text/ByteString.h"
#include "text/Utf8.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace cl {

enum class RowStatus : uint8_t {
    Suspicious = 1,  // named in Filter.ini
    Plain = 2,
};

// A row found by a scan holds no text of its own, only a share of the image it was found in:
// the caption is decoded from the image when somebody looks at it. A list of a million rows
// therefore costs a few bytes per row, and only the rows shown or printed are ever converted.
// A row keeps the image it was found in even when the image is later patched elsewhere, so its
// caption never changes behind its back; ReplaceSelectedString moves the rows of a list to the
// patched image.
class StringRow {
    ByteString text_;  // the image the row was found in, or its own caption (first: rows stay small)

public:
    StringRow() = default;
    // A row that carries its caption itself rather than finding it in an image.
    StringRow(ByteString caption, int32_t byteLength, RowStatus status, int32_t offset)
        : text_(std::move(caption)), offset(offset), byteLength(byteLength), status(status)
    {
    }
    // The row of the `byteLength` string bytes at offset + 3 of `image`.
    static StringRow Found(const ByteString& image, int32_t byteLength, RowStatus status, int32_t offset)
    {
        StringRow row(image, byteLength, status, offset);
        row.found_ = true;
        return row;
    }

    // 1-based image position of the byte before the two length bytes: the high length byte
    // is at offset + 1, the low one at offset + 2, the string's first byte at offset + 3.
    int32_t offset = 0;
    int32_t byteLength = 0;  // bytes of the string as found (or as last written)
    RowStatus status = RowStatus::Plain;

    // ANSI text shown in the list: the string's UTF-8 bytes decoded (DecodeUtf8ToAnsi), or the
    // caption the row was given.
    ByteString Caption() const { return found_ ? DecodeUtf8ToAnsi(FoundBytes()) : text_; }
    void SetCaption(ByteString caption)
    {
        text_ = std::move(caption);
        found_ = false;
    }
    // True while the caption comes from the image; FoundBytes() are then the string's bytes.
    bool IsFound() const noexcept { return found_; }
    std::string_view FoundBytes() const noexcept
    {
        if (!found_)
            return {};
        const std::string_view image = text_.View();
        const size_t first = static_cast<size_t>(offset) + 2;
        return first >= image.size() ? std::string_view() : image.substr(first, static_cast<size_t>(byteLength));
    }
    // Moves a found row to another state of its image (the same bytes at the row's offset).
    void SetImage(const ByteString& image)
    {
        if (found_)
            text_ = image;
    }
    bool SharesImage(const ByteString& image) const noexcept { return found_ && text_.SharesStorageWith(image); }

    ByteString ByteLengthText() const { return ByteString::FromInteger(byteLength); }
    ByteString StatusText() const { return status == RowStatus::Suspicious ? "1" : "2"; }

private:
    bool found_ = false;
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
