#include "text/CodePoints.h"

#include <cstdint>

namespace cl {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// The length of the well-formed sequence at `i` and its code point; 0 when there is none.
// `allowSurrogates` accepts ED A0..BF xx.
std::size_t DecodeOne(std::string_view s, std::size_t i, bool allowSurrogates, char32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    const std::size_t left = s.size() - i;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (left < 2 || !IsContinuation(static_cast<unsigned char>(s[i + 1])))
            return 0;
        cp = (char32_t(b0 & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F);
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (left < 3)
            return 0;
        const auto b1 = static_cast<unsigned char>(s[i + 1]);
        const auto b2 = static_cast<unsigned char>(s[i + 2]);
        if (!IsContinuation(b1) || !IsContinuation(b2))
            return 0;
        if (b0 == 0xE0 && b1 < 0xA0)
            return 0;  // overlong
        if (b0 == 0xED && b1 >= 0xA0 && !allowSurrogates)
            return 0;
        cp = (char32_t(b0 & 0x0F) << 12) | (char32_t(b1 & 0x3F) << 6) | (b2 & 0x3F);
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (left < 4)
            return 0;
        const auto b1 = static_cast<unsigned char>(s[i + 1]);
        const auto b2 = static_cast<unsigned char>(s[i + 2]);
        const auto b3 = static_cast<unsigned char>(s[i + 3]);
        if (!IsContinuation(b1) || !IsContinuation(b2) || !IsContinuation(b3))
            return 0;
        if ((b0 == 0xF0 && b1 < 0x90) || (b0 == 0xF4 && b1 >= 0x90))
            return 0;  // overlong, or past U+10FFFF
        cp = (char32_t(b0 & 0x07) << 18) | (char32_t(b1 & 0x3F) << 12) | (char32_t(b2 & 0x3F) << 6) | (b3 & 0x3F);
        return 4;
    }
    return 0;
}

}  // namespace

bool IsStrictUtf8(std::string_view bytes)
{
    char32_t cp = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = DecodeOne(bytes, i, false, cp);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

bool EndsInCutUtf8(std::string_view bytes)
{
    char32_t cp = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t n = DecodeOne(bytes, i, false, cp);
        if (n == 0)
            break;
        i += n;
    }
    const std::size_t left = bytes.size() - i;
    if (left == 0 || left > 3)
        return false;
    const auto b1 = static_cast<unsigned char>(bytes[i]);
    const auto b2 = left > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    const bool secondOk3 = !((b1 == 0xE0 && (b2 & 0xE0) == 0x80) || !IsContinuation(static_cast<unsigned char>(b2)));
    const bool secondOk4 = !((b1 == 0xF0 && (b2 < 0x90 || b2 > 0xBF)) || (b1 == 0xF4 && (b2 & 0xF0) != 0x80) ||
                             !IsContinuation(static_cast<unsigned char>(b2)));
    if (left == 1)
        return b1 >= 0xC2 && b1 <= 0xF4;
    if (b1 >= 0xE0 && b1 <= 0xEF)
        return left == 2 && secondOk3;
    if (b1 >= 0xF0 && b1 <= 0xF4)
        return secondOk4 && (left == 2 || IsContinuation(static_cast<unsigned char>(bytes[i + 2])));
    return false;
}

std::u32string DecodeLatin1(std::string_view bytes)
{
    std::u32string out;
    out.reserve(bytes.size());
    for (const char c : bytes)
        out += static_cast<char32_t>(static_cast<unsigned char>(c));
    return out;
}

std::u32string DecodeUtf8Lenient(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    char32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = DecodeOne(text, i, true, cp);
        if (n == 0) {
            out += kReplacement;
            ++i;
        } else {
            out += cp;
            i += n;
        }
    }
    return out;
}

void AppendUtf8(char32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf16ToUtf8(std::u16string_view units)
{
    std::string out;
    out.reserve(units.size() * 3);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            AppendUtf8(0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00), out);
            ++i;
        } else {
            AppendUtf8(u, out);
        }
    }
    return out;
}

std::u16string Utf8ToUtf16Lenient(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (const char32_t cp : DecodeUtf8Lenient(text)) {
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

}  // namespace cl
