#include "Utf8.h"

#include "CodePage.h"

#include <algorithm>
#include <string>

namespace cl {

namespace {

bool IsAscii(const ByteString& bytes)
{
    const uint8_t* data = bytes.Bytes();
    return std::all_of(data, data + bytes.ByteLength(), [](uint8_t b) { return b < 0x80; });
}

}  // namespace

ByteString EncodeUtf8FromAnsi(const ByteString& ansiText)
{
    if (ansiText.IsEmpty())
        return {};
    // ASCII is the same in the code page, UTF-16 and UTF-8: the text is its own encoding.
    if (IsAscii(ansiText))
        return ansiText;
    const std::u16string units = AnsiToUtf16(ansiText);
    if (units.empty())
        return {};
    std::string out;
    out.reserve(units.size() * 3);
    for (const char16_t u : units) {
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            // Surrogates are written one unit at a time, as class files expect.
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return ByteString(std::string_view(out));
}

ByteString DecodeUtf8ToAnsi(const ByteString& utf8)
{
    if (utf8.IsEmpty())
        return {};
    if (IsAscii(utf8))
        return utf8;
    const uint8_t* data = utf8.Bytes();
    const int32_t n = utf8.ByteLength();
    std::u16string units;
    units.reserve(static_cast<size_t>(n));
    int32_t i = 0;
    while (i < n) {
        const uint8_t b = data[i];
        if (b < 0x80) {
            units.push_back(b);
            ++i;
            continue;
        }
        // Only bit 0x20 of the lead byte decides the length; no other lead-byte test.
        const int32_t length = (b & 0x20) ? 3 : 2;
        if (n - i < length)
            return {};
        for (int32_t k = 1; k < length; ++k) {
            if ((data[i + k] & 0xC0) != 0x80)
                return {};
        }
        const uint8_t c1 = data[i + 1];
        if (length == 2) {
            units.push_back(static_cast<char16_t>(((b & 0x1F) << 6) | (c1 & 0x3F)));
        } else {
            const uint8_t c2 = data[i + 2];
            units.push_back(static_cast<char16_t>(((b & 0x0F) << 12) | ((c1 & 0x3F) << 6) | (c2 & 0x3F)));
        }
        i += length;
    }
    return Utf16ToAnsi(units);
}

}  // namespace cl
