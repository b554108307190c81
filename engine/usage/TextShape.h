#pragma once
// What a text looks like on its own, when where it goes does not settle what it is: data (no
// letter at all, or control characters a sentence does not hold) or prose (words a person
// reads). Texts are UTF-8; a concatenation recipe's U+0001 and U+0002 markers are values the
// program fills in, not part of the text.

#include "usage/Use.h"

#include <string_view>

namespace cl::usage {

// No letter, or a control character other than tab, line feed and carriage return. The text
// of a formatting pattern (`format`) has letters only outside its placeholders: "%s[]" and
// "{0}: {1,number}" are data, the letters of their conversions are not words.
bool IsData(std::string_view utf8, FormatStyle format = FormatStyle::None);

// Reads as something written for people: two words side by side ("Save as"), a capitalised
// word ("Cancel", "Error:"), or letters of a script without case (Chinese, Japanese...).
// Identifiers, paths and dotted names do not ("os.name", "getName", "UTF-8").
bool ReadsAsProse(std::string_view utf8) noexcept;

}  // namespace cl::usage
