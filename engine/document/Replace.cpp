#include "document/Replace.h"

#include "text/Utf8.h"

#include <utility>
#include <vector>

namespace cl {

ReplaceOutcome ReplaceSelectedString(FileImage& image, StringList& list, int selected, const ByteString& newText)
{
    if (newText.IsEmpty() || selected < 0 || static_cast<size_t>(selected) >= list.rows.size())
        return ReplaceOutcome::NothingToDo;
    const ByteString encoded = EncodeUtf8FromAnsi(newText);
    const int32_t newLength = encoded.ByteLength();
    if (newLength >= 256)  // only the low length byte is written
        return ReplaceOutcome::TooLong;

    const int32_t at = list.rows[static_cast<size_t>(selected)].offset;
    const int32_t oldLength = std::as_const(image.bytes).ByteAt(at + 2);
    // The rows found in this image share its storage. They let go of it while it is patched,
    // so that the patch is made in place rather than on a copy of the whole image, and then
    // share the patched image: their bytes are where they were, moved by the change in length.
    std::vector<bool> sharing(list.rows.size());
    for (size_t r = 0; r < list.rows.size(); ++r) {
        if (list.rows[r].SharesImage(image.bytes)) {
            sharing[r] = true;
            list.rows[r].SetImage(ByteString());
        }
    }
    try {
        image.bytes.ByteAt(at + 2) = static_cast<uint8_t>(newLength);
        image.bytes.Erase(at + 3, oldLength);
        image.bytes.InsertAt(encoded, at + 3);
    } catch (...) {
        for (size_t r = 0; r < list.rows.size(); ++r) {
            if (sharing[r])
                list.rows[r].SetImage(image.bytes);
        }
        throw;
    }

    const int32_t shift = newLength - oldLength;
    for (size_t r = 0; r < list.rows.size(); ++r) {
        StringRow& other = list.rows[r];
        if (other.offset > at)
            other.offset += shift;
        if (sharing[r])
            other.SetImage(image.bytes);
    }
    StringRow& row = list.rows[static_cast<size_t>(selected)];
    row.byteLength = newLength;
    // The caption is the typed text. Decoding the written bytes gives it back except where the
    // code page does not keep the text as typed (bytes it does not know, which read back as
    // '?'): such a row keeps the typed text itself.
    if (!row.IsFound() || row.Caption() != newText)
        row.SetCaption(newText);
    return ReplaceOutcome::Replaced;
}

}  // namespace cl
