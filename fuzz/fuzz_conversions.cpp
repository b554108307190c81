// fuzz_conversions: the two UTF-8 conversions on arbitrary bytes. Decoding never crashes and
// gives exactly what a straightforward decoder of the lenient rules gives (all or nothing);
// encoding writes each UTF-16 unit as 1 to 3 bytes; and decoding an encoding gives the text
// back whenever the code page represents the text.

#include "text/ByteString.h"
#include "text/CodePage.h"
#include "text/Utf8.h"

#include "FuzzCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Reference decoder: bit 0x20 of a lead byte (0x80 and above) alone picks two or three bytes,
// every following byte must be 10xxxxxx, a cut sequence fails, only 16 bits are kept.
std::optional<std::u16string> ReferenceDecode(const uint8_t* data, size_t size)
{
    std::u16string units;
    size_t i = 0;
    while (i < size) {
        const uint8_t b = data[i];
        if (b < 0x80) {
            units.push_back(b);
            i += 1;
            continue;
        }
        const size_t length = (b & 0x20) != 0 ? 3 : 2;
        if (i + length > size)
            return std::nullopt;
        for (size_t k = 1; k < length; ++k) {
            if (data[i + k] < 0x80 || data[i + k] > 0xBF)
                return std::nullopt;
        }
        uint32_t value = 0;
        if (length == 2)
            value = ((b & 0x1Fu) << 6) | (data[i + 1] & 0x3Fu);
        else
            value = ((b & 0x0Fu) << 12) | ((data[i + 1] & 0x3Fu) << 6) | (data[i + 2] & 0x3Fu);
        units.push_back(static_cast<char16_t>(value & 0xFFFF));
        i += length;
    }
    return units;
}

std::string ReferenceEncode(const std::u16string& units)
{
    std::string out;
    for (const char16_t u : units) {
        if (u <= 0x7F) {
            out += static_cast<char>(u);
        } else if (u <= 0x7FF) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    const cl::ByteString input(data, static_cast<int32_t>(size));

    // The input as UTF-8 from a file.
    const cl::ByteString decoded = cl::DecodeUtf8ToAnsi(input);
    const std::optional<std::u16string> units = ReferenceDecode(data, size);
    if (!units)
        CHECK(decoded.IsEmpty());
    else
        CHECK(decoded == cl::Utf16ToAnsi(*units));

    // The input as ANSI text typed by the user.
    const std::u16string wide = cl::AnsiToUtf16(input);
    const cl::ByteString encoded = cl::EncodeUtf8FromAnsi(input);
    CHECK(encoded.View() == ReferenceEncode(wide));
    CHECK(static_cast<size_t>(encoded.ByteLength()) <= 3 * wide.size());
    CHECK(size == 0 || !encoded.IsEmpty());

    // Every encoding decodes; what comes back is the text as the code page sees it, and the
    // text itself whenever the code page represents it.
    const cl::ByteString roundTrip = cl::DecodeUtf8ToAnsi(encoded);
    const cl::ByteString represented = cl::Utf16ToAnsi(wide);
    CHECK(roundTrip == represented);
    if (represented == input)
        CHECK(roundTrip == input);

    // The input as UTF-16 units, lone surrogates included: the platform layer never fails.
    std::u16string raw(size / 2, u'\0');
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    const cl::ByteString narrowed = cl::Utf16ToAnsi(raw);
    CHECK(raw.empty() == narrowed.IsEmpty());
    CHECK(static_cast<size_t>(narrowed.ByteLength()) <= raw.size() * 2 + 2);
    return 0;
}
