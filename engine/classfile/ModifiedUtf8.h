#pragma once
// The JVM's modified UTF-8, as stored in CONSTANT_Utf8 entries: U+0000 is C0 80 (never a bare
// zero byte), and characters outside the BMP are a surrogate pair written as two 3-byte forms
// (no 4-byte forms). Conversions to UTF-16 units, to and from standard UTF-8, and the hash
// code Java computes for a string, which compiled string switches compare against.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cl::classfile {

enum class TextStatus : uint8_t {
    Ok,
    BareZero,           // a 0x00 byte (modified UTF-8 writes U+0000 as C0 80)
    FourByteForm,       // a 4-byte lead byte in modified UTF-8
    BadLeadByte,        // a continuation byte or F8..FF where a character should start
    BadContinuation,    // a lead byte not followed by enough 10xxxxxx bytes
    Truncated,          // the text ends inside a multi-byte form
    Overlong,           // a character written in more bytes than it needs
    EncodedSurrogate,   // standard UTF-8 that encodes U+D800..U+DFFF directly
    OutOfRange,         // standard UTF-8 above U+10FFFF
    UnpairedSurrogate,  // a high surrogate without its low one, or a low one alone
};

// Where a conversion stopped: `offset` is the 0-based byte position of the offending form.
struct TextResult {
    TextStatus status = TextStatus::Ok;
    size_t offset = 0;
    bool Ok() const noexcept { return status == TextStatus::Ok; }
};

// Short English token for logs: "ok", "bare-zero", "four-byte-form", ...
const char* TextStatusWord(TextStatus status) noexcept;

// Decodes into UTF-16 units (appended to `out`, which is cleared first). Unpaired surrogates
// are valid here: a Java string may hold them. Only C0 80 is accepted as an overlong form.
TextResult DecodeModifiedUtf8(std::string_view bytes, std::u16string& out);
bool IsValidModifiedUtf8(std::string_view bytes) noexcept;

// Every UTF-16 sequence has an encoding, unpaired surrogates included.
std::string EncodeModifiedUtf8(std::u16string_view units);

// Standard UTF-8 (4-byte forms allowed, no encoded surrogates, no overlong forms) to modified
// UTF-8; `out` is cleared first and holds the converted prefix on error.
TextResult ModifiedUtf8FromUtf8(std::string_view utf8, std::string& out);

// Modified UTF-8 to standard UTF-8: pairs become 4-byte forms, C0 80 a zero byte. A surrogate
// without its partner has no UTF-8 form and is reported.
TextResult Utf8FromModifiedUtf8(std::string_view modified, std::string& out);

// String.hashCode(): s[0]*31^(n-1) + ... + s[n-1] over the UTF-16 units, in int32 wraparound.
int32_t JavaStringHash(std::u16string_view units) noexcept;

}  // namespace cl::classfile
