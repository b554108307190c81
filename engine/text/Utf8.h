#pragma once
// The two conversions between ANSI text and the UTF-8 strings stored in class files,
// language packs and manifests. Both go through UTF-16 and never report an error.

#include "text/ByteString.h"

#include <string>
#include <string_view>

namespace cl {

// Each UTF-16 unit of the ANSI text becomes 1 to 3 bytes (surrogates stay separate, as in
// CESU-8). Empty text gives the empty value.
ByteString EncodeUtf8FromAnsi(const ByteString& ansiText);

// Lenient decoding as class files need it (overlong forms such as C0 80 accepted, the
// sequence length decided by bit 0x20 of the lead byte); any malformed or cut sequence
// makes the whole result empty.
ByteString DecodeUtf8ToAnsi(const ByteString& utf8);
ByteString DecodeUtf8ToAnsi(std::string_view utf8);

// Appends Utf8FromAnsi(DecodeUtf8ToAnsi(utf8)) to `out`: the caption of found string bytes as
// standard UTF-8, as the command line prints it, without making the ANSI text in between.
void AppendCaptionAsUtf8(std::string_view utf8, std::string& out);

// The same written at p (room for utf8.size() bytes is needed) when every character comes back
// from the code page as itself, as nearly all Chinese text does: the caption is then the bytes
// themselves, or nothing for a malformed text. Returns the end, or null (with p's bytes
// undefined) when some character needs AppendCaptionAsUtf8.
char* TryWriteCaptionAsUtf8(char* p, std::string_view utf8);

}  // namespace cl
