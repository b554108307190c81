#pragma once
// Whether a code point is a letter of any script, as Java's Character.isLetter says: a value
// without one ("...", "100%", "--") is no text to translate.

namespace cl::bundle {

bool IsLetter(char32_t c);

}  // namespace cl::bundle
