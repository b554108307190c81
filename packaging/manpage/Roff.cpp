#include "Roff.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace clman {
namespace {

// The code point at `i` and its length in bytes; a byte that does not start a valid sequence
// is returned as itself, one byte long.
std::pair<std::uint32_t, std::size_t> DecodeAt(std::string_view s, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t cp = 0;
    if (lead < 0x80) {
        return {lead, 1};
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07u;
    } else {
        return {lead, 1};
    }
    if (i + length > s.size())
        return {lead, 1};
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u)
            return {lead, 1};
        cp = (cp << 6) | (byte(i + k) & 0x3Fu);
    }
    return {cp, length};
}

// Ideographs, kana, hangul, CJK and full-width punctuation: written without spaces between.
bool IsWide(std::uint32_t cp)
{
    return (cp >= 0x2E80 && cp <= 0x9FFF) || (cp >= 0xAC00 && cp <= 0xD7AF) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFFEF) || (cp >= 0x20000 && cp <= 0x3FFFF);
}

// Punctuation that closes or ends something and so must not begin a line.
bool MustNotStartLine(std::uint32_t cp)
{
    switch (cp) {
        case 0x3001:  // 、
        case 0x3002:  // 。
        case 0x3009:  // 〉
        case 0x300B:  // 》
        case 0x300D:  // 」
        case 0x300F:  // 』
        case 0x3011:  // 】
        case 0x201D:  // ”
        case 0x2019:  // ’
        case 0x2026:  // …
        case 0xFF01:  // ！
        case 0xFF09:  // ）
        case 0xFF0C:  // ，
        case 0xFF0E:  // ．
        case 0xFF1A:  // ：
        case 0xFF1B:  // ；
        case 0xFF1F:  // ？
        case 0xFF3D:  // ］
        case 0xFF5D:  // ｝
            return true;
        default: return false;
    }
}

// Punctuation that opens something and so must not end a line.
bool MustNotEndLine(std::uint32_t cp)
{
    switch (cp) {
        case 0x3008:  // 〈
        case 0x300A:  // 《
        case 0x300C:  // 「
        case 0x300E:  // 『
        case 0x3010:  // 【
        case 0x201C:  // “
        case 0x2018:  // ‘
        case 0xFF08:  // （
        case 0xFF3B:  // ［
        case 0xFF5B:  // ｛
            return true;
        default: return false;
    }
}

}  // namespace

std::string RoffText(std::string_view utf8, BreakMarks breaks)
{
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 2);
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto [cp, length] = DecodeAt(utf8, i);
        if (cp == '\\')
            out += "\\(rs";
        else if (cp == '-')
            out += "\\-";
        else if (cp == '\t')
            out += ' ';
        else
            out.append(utf8.substr(i, length));
        i += length;
        if (breaks == BreakMarks::Add && i < utf8.size() && IsWide(cp) && !MustNotEndLine(cp) &&
            !MustNotStartLine(DecodeAt(utf8, i).first))
            out += "\\:";
    }
    return out;
}

std::string RoffTextLine(std::string_view text)
{
    if (text.starts_with('.') || text.starts_with('\''))
        return "\\&" + std::string(text);
    return std::string(text);
}

}  // namespace clman
