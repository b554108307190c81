#pragma once
// The platform layer for the ANSI code page (GBK, code page 936): conversions between ANSI
// bytes and UTF-16. Invalid input bytes become U+003F, characters the code page lacks become
// '?'; zero bytes are kept and nothing throws except OutOfMemory.

#include "text/ByteString.h"

#include <string>
#include <string_view>
#include <vector>

namespace cl {

std::u16string AnsiToUtf16(const ByteString& ansi);
ByteString Utf16ToAnsi(std::u16string_view units);

// Standard UTF-8 <-> ANSI, for the terminal and for program texts written in the source as
// UTF-8 (not the lenient class-file decoding of Utf8.h).
ByteString AnsiFromUtf8(std::string_view utf8);
std::string Utf8FromAnsi(const ByteString& ansi);

// The characters of standard UTF-8 `utf8` that a trip through the code page does not give back
// (it lacks them, they would be stored as '?'): whole characters as UTF-8, each once, in order
// of first appearance; a byte that begins no valid sequence counts as one. Empty when the whole
// text comes back.
std::vector<std::string> CharactersOutsideCodePage(std::string_view utf8);

// Appends Utf8FromAnsi(Utf16ToAnsi(units)) to `out`: text as it reads after a trip through the
// code page (characters it lacks become '?'), in standard UTF-8.
void AppendUtf8ThroughAnsi(std::u16string_view units, std::string& out);

// Whether the code page holds `u` and a trip through it gives back `u` itself, so that the
// caption of a text made only of such characters is the text. Learned through the platform's
// conversion the first time a unit is met, then answered from a table small enough to stay in
// the processor's cache.
bool ComesBackAsItself(char16_t u);

namespace detail {
// Utf16ToAnsi made by the platform's conversion of the whole text, without the table of
// characters already met that Utf16ToAnsi keeps: what the table must always agree with.
ByteString Utf16ToAnsiUncached(std::u16string_view units);
}  // namespace detail

}  // namespace cl
