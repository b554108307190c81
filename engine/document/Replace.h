#pragma once
// ReplaceSelectedString: overwrites one listed string in the image with new text encoded as
// UTF-8, patches its length byte and keeps the offsets of later rows right.

#include "text/ByteString.h"
#include "files/FileImage.h"
#include "scan/StringList.h"

namespace cl {

enum class ReplaceOutcome {
    NothingToDo,  // empty text or no selected row: silently nothing
    TooLong,      // over 255 UTF-8 bytes: nothing changed, the caller shows the message
    Replaced,     // image and list patched; the caller enables Save
};

// `selected` is the 0-based list index of the selected row, or -1 for none. `newText` is ANSI.
ReplaceOutcome ReplaceSelectedString(FileImage& image, StringList& list, int selected, const ByteString& newText);

}  // namespace cl
