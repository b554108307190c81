#pragma once
// Unicode code points from and to UTF-8, for the text formats that Java reads by character
// rather than by byte (resource bundles, MessageFormat and Formatter patterns).
//
// Java strings may hold a lone surrogate (a `\uD800` escape with no partner). Such a unit is
// kept here as its own three-byte form (ED A0 80 .. ED BF BF, as WTF-8 does) so that it can be
// written back as the same escape; a high surrogate followed by a low one is always one code
// point, never two such forms.

#include <string>
#include <string_view>

namespace cl {

// True when `bytes` is well-formed UTF-8 as Java's own decoder demands it: no overlong forms,
// no encoded surrogates, nothing past U+10FFFF, no cut sequence.
bool IsStrictUtf8(std::string_view bytes);

// True when `bytes` is well-formed UTF-8 but for its last one to three bytes, which begin a
// sequence that the end cuts short; Java's decoder waits for the rest of such a sequence
// rather than call it malformed (it checks the second byte's range, not a surrogate's).
bool EndsInCutUtf8(std::string_view bytes);

// Every byte is one code point (ISO-8859-1).
std::u32string DecodeLatin1(std::string_view bytes);

// Decodes UTF-8; a byte that starts no well-formed sequence becomes U+FFFD. The three-byte
// forms of surrogates are accepted and give the surrogate itself.
std::u32string DecodeUtf8Lenient(std::string_view text);

// UTF-16 units to UTF-8: pairs combined, a lone surrogate in its three-byte form.
std::string Utf16ToUtf8(std::u16string_view units);

// Appends the UTF-8 form of `cp` (a surrogate in its three-byte form).
void AppendUtf8(char32_t cp, std::string& out);

// The UTF-16 units of a text read by DecodeUtf8Lenient.
std::u16string Utf8ToUtf16Lenient(std::string_view text);

}  // namespace cl
