#pragma once
// What a text looks like on its own, when where it goes does not settle what it is: data (no
// letter at all, or control characters a sentence does not hold) or prose (words a person
// reads). Texts are UTF-8; a concatenation recipe's U+0001 and U+0002 markers are values the
// program fills in, not part of the text.

#include <string_view>

namespace cl::usage {

// No letter, or a control character other than tab, line feed and carriage return.
bool IsData(std::string_view utf8) noexcept;

// Reads as something written for people: two words side by side ("Save as"), a capitalised
// word ("Cancel", "Error:"), or letters of a script without case (Chinese, Japanese...).
// Identifiers, paths and dotted names do not ("os.name", "getName", "UTF-8").
bool ReadsAsProse(std::string_view utf8) noexcept;

}  // namespace cl::usage
