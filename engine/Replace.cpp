#include "Replace.h"

#include "Utf8.h"

#include <utility>

namespace cl {

ReplaceOutcome ReplaceSelectedString(FileImage& image, StringList& list, int selected, const ByteString& newText)
{
    if (newText.IsEmpty() || selected < 0 || static_cast<size_t>(selected) >= list.rows.size())
        return ReplaceOutcome::NothingToDo;
    const ByteString encoded = EncodeUtf8FromAnsi(newText);
    const int32_t newLength = encoded.ByteLength();
    if (newLength >= 256)  // only the low length byte is written
        return ReplaceOutcome::TooLong;

    StringRow& row = list.rows[static_cast<size_t>(selected)];
    const int32_t at = row.offset;
    const int32_t oldLength = std::as_const(image.bytes).ByteAt(at + 2);
    image.bytes.ByteAt(at + 2) = static_cast<uint8_t>(newLength);
    image.bytes.Erase(at + 3, oldLength);
    image.bytes.InsertAt(encoded, at + 3);

    const int32_t shift = newLength - oldLength;
    for (StringRow& other : list.rows) {
        if (other.offset > at)
            other.offset += shift;
    }
    row.caption = newText;
    row.byteLength = newLength;
    return ReplaceOutcome::Replaced;
}

}  // namespace cl
