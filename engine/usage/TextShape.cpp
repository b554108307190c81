#include "usage/TextShape.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cl::usage {

namespace {

// The next code point of `text` at `at` (advancing it); U+FFFD for a byte that starts no
// valid sequence.
char32_t Next(std::string_view text, size_t& at) noexcept
{
    const auto b0 = static_cast<uint8_t>(text[at]);
    if (b0 < 0x80) {
        ++at;
        return b0;
    }
    const int extra = b0 >= 0xF8 ? -1 : b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : -1;
    if (extra < 0) {
        ++at;
        return 0xFFFD;
    }
    char32_t c = b0 & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        if (at + static_cast<size_t>(k) >= text.size()) {
            ++at;
            return 0xFFFD;
        }
        const auto b = static_cast<uint8_t>(text[at + static_cast<size_t>(k)]);
        if ((b & 0xC0) != 0x80) {
            ++at;
            return 0xFFFD;
        }
        c = (c << 6) | (b & 0x3F);
    }
    at += static_cast<size_t>(extra) + 1;
    return c;
}

bool IsAsciiLetter(char32_t c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsLetter(char32_t c) noexcept
{
    if (c < 0x80)
        return IsAsciiLetter(c);
    if (c < 0xC0 || c == 0xD7 || c == 0xF7)
        return false;
    if ((c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xD800 && c <= 0xF8FF) ||
        (c >= 0xFE00 && c <= 0xFE6F) || (c >= 0xFF00 && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) ||
        (c >= 0xFF5B && c <= 0xFF65) || c >= 0xFFF0)
        return false;
    return true;
}

// Letters of scripts without case, whose words are not told apart by capitals.
bool IsCaselessLetter(char32_t c) noexcept
{
    return c >= 0x2E80 && IsLetter(c);
}

bool IsUpper(char32_t c) noexcept
{
    return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9) ||
           (c >= 0x410 && c <= 0x42F);
}

bool IsLower(char32_t c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9) ||
           (c >= 0x430 && c <= 0x44F);
}

bool IsSpace(char32_t c) noexcept
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0xA0 || c == 0x3000;
}

bool IsLeadingPunctuation(char32_t c) noexcept
{
    return c == '"' || c == '\'' || c == '(' || c == '[' || c == '<' || c == 0xBF || c == 0xA1 || c == 0x201C ||
           c == 0x2018 || c == '*' || c == '-';
}

bool IsTrailingPunctuation(char32_t c) noexcept
{
    return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == '"' || c == '\'' ||
           c == ')' || c == ']' || c == '>' || c == 0x2026 || c == 0x201D || c == 0x2019 || c == '*';
}

enum class Word { None, Plain, Capitalised };

// A token (no spaces) as a word: letters with at most a leading quote or bracket, trailing
// punctuation, and apostrophes or hyphens between letters; none of the dots, slashes,
// underscores or inner capitals of identifiers.
Word WordOf(const std::vector<char32_t>& token) noexcept
{
    size_t begin = 0;
    size_t end = token.size();
    while (begin < end && IsLeadingPunctuation(token[begin]))
        ++begin;
    while (end > begin && IsTrailingPunctuation(token[end - 1]))
        --end;
    if (begin == end)
        return Word::None;
    bool sawLower = false;
    for (size_t i = begin; i < end; ++i) {
        const char32_t c = token[i];
        if ((c == '\'' || c == '-' || c == 0x2019) && i > begin && i + 1 < end && IsLetter(token[i - 1]) &&
            IsLetter(token[i + 1]))
            continue;
        if (!IsLetter(c))
            return Word::None;
        if (IsUpper(c) && sawLower)
            return Word::None;  // camelCase: an identifier
        if (IsLower(c))
            sawLower = true;
    }
    if (IsUpper(token[begin]) && end - begin >= 2) {
        for (size_t i = begin + 1; i < end; ++i) {
            if (IsUpper(token[i]))
                return Word::Plain;  // "OK", "UTF": initials or a constant's name
        }
        return Word::Capitalised;
    }
    return Word::Plain;
}

// What IsData makes of a byte: most texts are ASCII, read a byte at a time with one lookup.
enum : uint8_t { kOther, kLetter, kControl, kValue, kNonAscii };
struct ByteClasses {
    uint8_t of[256];
    constexpr ByteClasses() : of()
    {
        for (int b = 0; b < 256; ++b) {
            if (b >= 0x80)
                of[b] = kNonAscii;
            else if (b == 1 || b == 2)
                of[b] = kValue;  // a recipe's value
            else if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F)
                of[b] = kControl;
            else if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z'))
                of[b] = kLetter;
            else
                of[b] = kOther;
        }
    }
};
constexpr ByteClasses kBytes;

bool IsDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

// The end of the printf conversion that starts with the '%' at `at`:
// %[index$|<][flags][width][.precision]conversion, a date conversion being 't' or 'T' and one
// more letter. `at` when none starts there.
size_t PrintfConversionEnd(std::string_view text, size_t at) noexcept
{
    size_t i = at + 1;
    size_t digits = i;
    while (digits < text.size() && IsDigit(text[digits]))
        ++digits;
    if (digits < text.size() && text[digits] == '$' && digits > i)
        i = digits + 1;
    else if (i < text.size() && text[i] == '<')
        ++i;
    while (i < text.size() && std::string_view("-#+ 0,(").find(text[i]) != std::string_view::npos)
        ++i;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    if (i + 1 < text.size() && text[i] == '.' && IsDigit(text[i + 1])) {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
    }
    if (i >= text.size())
        return at;
    if ((text[i] == 't' || text[i] == 'T') && i + 1 < text.size())
        return i + 2;
    const char c = text[i];
    return (c == '%' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) ? i + 1 : at;
}

// The end of the MessageFormat argument that starts with the '{' at `at`: {n}, {n,type} or
// {n,type,style} for the types whose words are no text (number, date, time). A choice keeps its
// words: they are what it shows. `at` when none starts there.
size_t MessageArgumentEnd(std::string_view text, size_t at) noexcept
{
    size_t i = at + 1;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const size_t digits = i;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    if (i == digits)
        return at;
    const size_t close = text.find('}', i);
    if (close == std::string_view::npos)
        return at;
    const std::string_view rest = text.substr(i, close - i);
    if (rest.find('{') != std::string_view::npos || rest.find("choice") != std::string_view::npos)
        return at;
    return close + 1;
}

// The text without the placeholders of its formatting style.
std::string WithoutPlaceholders(std::string_view text, FormatStyle format)
{
    std::string kept;
    kept.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        size_t end = at;
        if (format == FormatStyle::Printf && text[at] == '%')
            end = PrintfConversionEnd(text, at);
        else if (format == FormatStyle::MessageFormat && text[at] == '{')
            end = MessageArgumentEnd(text, at);
        if (end > at) {
            kept += ' ';
            at = end;
        } else {
            kept += text[at++];
        }
    }
    return kept;
}

}  // namespace

bool IsData(std::string_view utf8, FormatStyle format)
{
    if (format != FormatStyle::None)
        return IsData(WithoutPlaceholders(utf8, format));

    bool letter = false;
    for (size_t at = 0; at < utf8.size();) {
        const uint8_t kind = kBytes.of[static_cast<uint8_t>(utf8[at])];
        if (kind <= kLetter) {
            letter = letter || kind == kLetter;
            ++at;
            continue;
        }
        if (kind == kControl)
            return true;
        if (kind == kValue) {
            ++at;
            continue;
        }
        const char32_t c = Next(utf8, at);
        if (c == 1 || c == 2)
            continue;  // a recipe's value
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (c >= 0x7F && c < 0xA0))
            return true;
        letter = letter || IsLetter(c);
    }
    return !letter;
}

bool ReadsAsProse(std::string_view utf8) noexcept
{
    // The token's storage is kept on the thread: thousands of texts are read one after
    // another.
    thread_local std::vector<char32_t> token;
    token.clear();
    Word previous = Word::None;
    auto endOfToken = [&]() {
        if (token.empty())
            return false;
        const Word word = WordOf(token);
        token.clear();
        const bool prose = word == Word::Capitalised || (word != Word::None && previous != Word::None);
        previous = word;
        return prose;
    };
    for (size_t at = 0; at < utf8.size();) {
        const char32_t c = Next(utf8, at);
        if (IsCaselessLetter(c))
            return true;
        if (IsSpace(c) || c == 1 || c == 2) {
            if (endOfToken())
                return true;
        } else {
            token.push_back(c);
        }
    }
    return endOfToken();
}

}  // namespace cl::usage
