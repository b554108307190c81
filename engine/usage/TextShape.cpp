#include "usage/TextShape.h"

#include <algorithm>
#include <cctype>
#include <iterator>
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
    size_t start = 0;
    // A pattern joined at run time ("%" + width + "d\t%" ...) leaves a piece that opens with the
    // rest of a conversion: a lone conversion letter before anything that is no letter.
    static constexpr std::string_view kConversions = "bBhHsScCdoxXeEfgGaAn";
    if (format == FormatStyle::Printf && !text.empty() && kConversions.find(text[0]) != std::string_view::npos &&
        (text.size() == 1 || !std::isalpha(static_cast<unsigned char>(text[1])))) {
        kept += ' ';
        start = 1;
    }
    for (size_t at = start; at < text.size();) {
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

// ---- Shapes of code, of what is never prose, and of bundle values ---------------------------

namespace cl::usage {

namespace {

bool IsAsciiSpace(char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == 1 || c == 2;
}

std::string_view Trim(std::string_view text) noexcept
{
    while (!text.empty() && IsAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool HasSpace(std::string_view text) noexcept
{
    return std::any_of(text.begin(), text.end(), IsAsciiSpace);
}

// The words between spaces (a recipe's value markers count as spaces).
std::vector<std::string_view> Tokens(std::string_view text)
{
    std::vector<std::string_view> tokens;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && IsAsciiSpace(text[at]))
            ++at;
        const size_t begin = at;
        while (at < text.size() && !IsAsciiSpace(text[at]))
            ++at;
        if (at > begin)
            tokens.push_back(text.substr(begin, at - begin));
    }
    return tokens;
}

bool IsAsciiLetterByte(char c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiLowerByte(char c) noexcept
{
    return c >= 'a' && c <= 'z';
}
bool IsAsciiUpperByte(char c) noexcept
{
    return c >= 'A' && c <= 'Z';
}
bool IsAsciiAlnum(char c) noexcept
{
    return IsAsciiLetterByte(c) || IsDigit(c);
}
bool IsHex(char c) noexcept
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool HasAsciiLetter(std::string_view text) noexcept
{
    return std::any_of(text.begin(), text.end(), IsAsciiLetterByte);
}

bool HasNonAscii(std::string_view text) noexcept
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) >= 0x80; });
}

// A letter of any script.
bool HasLetter(std::string_view text) noexcept
{
    for (size_t at = 0; at < text.size();) {
        if (IsLetter(Next(text, at)))
            return true;
    }
    return false;
}

char Lower(char c) noexcept
{
    return IsAsciiUpperByte(c) ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view end) noexcept
{
    return text.size() >= end.size() && EqualsIgnoringCase(text.substr(text.size() - end.size()), end);
}

template <size_t N>
bool OneOf(std::string_view word, const std::string_view (&words)[N]) noexcept
{
    return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

template <size_t N>
bool OneOfIgnoringCase(std::string_view word, const std::string_view (&words)[N]) noexcept
{
    return std::any_of(std::begin(words), std::end(words), [&](std::string_view w) { return EqualsIgnoringCase(word, w); });
}

Word WordOfToken(std::string_view token)
{
    std::vector<char32_t> points;
    for (size_t at = 0; at < token.size();)
        points.push_back(Next(token, at));
    return WordOf(points);
}

// ---- layout constraints (JGoodies Forms, MigLayout) ----

constexpr std::string_view kLayoutWords[] = {
    // JGoodies Forms: sizes, alignments, resize weights
    "p", "pref", "preferred", "m", "min", "minimum", "d", "default", "max", "f", "fill", "l", "left", "r",
    "right", "c", "center", "t", "top", "b", "bottom", "g", "grow", "none", "dlu", "px", "pt", "in", "mm",
    "cm",
    // MigLayout: layout, column, row and component constraints
    "insets", "ins", "wrap", "fillx", "filly", "growx", "growy", "push", "pushx", "pushy", "span", "spanx",
    "spany", "split", "gap", "gapx", "gapy", "gapleft", "gapright", "gaptop", "gapbottom", "gapbefore",
    "gapafter", "align", "alignx", "aligny", "al", "ax", "ay", "leading", "trailing", "baseline", "flowx",
    "flowy", "dock", "north", "south", "east", "west", "hidemode", "sg", "sgx", "sgy", "sizegroup",
    "sizegroupx", "sizegroupy", "eg", "egx", "egy", "endgroup", "width", "height", "w", "h", "wmin", "wmax",
    "hmin", "hmax", "debug", "nogrid", "novisualpadding", "nocache", "shrink", "shrinkx", "shrinky",
    "shrinkprio", "growprio", "cell", "newline", "skip", "pad", "pos", "x", "y", "x2", "y2", "external",
    "hidemode", "ltr", "rtl", "ttb", "btt", "lefttoright", "righttoleft", "related", "unrelated", "rel",
    "unrel", "para", "paragraph", "indent", "pack", "packalign", "n", "u", "i", "sp", "lp", "em", "ex",
    "dluX", "dluY",
};

constexpr std::string_view kLayoutUnits[] = {"", "dlu", "px", "pt", "in", "mm", "cm", "sp", "lp",
                                                           "%", "em", "ex", "al"};

bool IsLayoutWord(std::string_view piece) noexcept
{
    if (OneOf(piece, kLayoutWords))
        return true;
    // FILL:DEFAULT:GROW: the same words in capitals.
    return std::all_of(piece.begin(), piece.end(), IsAsciiUpperByte) && OneOfIgnoringCase(piece, kLayoutWords);
}

// A number with the unit of a size: "4dlu", "0", "50%", "1.5px", "100!" (MigLayout's "!" is
// a size not to shrink).
bool IsLayoutSize(std::string_view piece) noexcept
{
    size_t i = 0;
    if (i < piece.size() && (piece[i] == '-' || piece[i] == '+'))
        ++i;
    const size_t digits = i;
    while (i < piece.size() && (IsDigit(piece[i]) || piece[i] == '.'))
        ++i;
    if (i == digits || !std::any_of(piece.begin() + static_cast<std::ptrdiff_t>(digits),
                                    piece.begin() + static_cast<std::ptrdiff_t>(i), IsDigit))
        return false;
    std::string_view unit = piece.substr(i);
    if (!unit.empty() && unit.back() == '!')
        unit.remove_suffix(1);
    return OneOfIgnoringCase(unit, kLayoutUnits);
}

bool IsLayoutSpec(std::string_view text)
{
    constexpr std::string_view kSeparators = " \t,:;()[]|";
    size_t pieces = 0;
    bool sized = false;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find_first_of(kSeparators, at), text.size());
        const std::string_view piece = text.substr(at, end - at);
        at = end + 1;
        if (piece.empty())
            continue;
        ++pieces;
        if (piece.front() == '$' && piece.size() > 1 &&
            std::all_of(piece.begin() + 1, piece.end(), IsAsciiAlnum))
            continue;  // a MigLayout gap variable: $lcgap
        if (IsLayoutSize(piece)) {
            sized = true;
            continue;
        }
        if (!IsLayoutWord(piece))
            return false;
    }
    // One word alone is a layout constraint only in MigLayout's brackets ("[grow]"): "(none)" is a word.
    return sized || pieces >= 2 || (pieces == 1 && text.front() == '[');
}

// "-n", "--verbose", "-Dkey=value", "-jar".
bool IsFlag(std::string_view token) noexcept
{
    size_t i = 0;
    while (i < token.size() && i < 2 && token[i] == '-')
        ++i;
    if (i == 0 || i >= token.size() || !IsAsciiLetterByte(token[i]))
        return false;
    return std::all_of(token.begin() + static_cast<std::ptrdiff_t>(i), token.end(), [](char c) {
        return IsAsciiAlnum(c) || c == '_' || c == '-' || c == '=' || c == '.' || c == ':' || c == '/';
    });
}

bool IsLeadingMark(char c) noexcept
{
    return c == '(' || c == '[' || c == '"' || c == '\'' || c == '<';
}
bool IsTrailingMark(char c) noexcept
{
    return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == ')' || c == ']' ||
           c == '"' || c == '\'' || c == '>';
}

bool LoneTokenIsCode(std::string_view token)
{
    if (!HasAsciiLetter(token) || HasNonAscii(token))
        return false;
    if (WordOfToken(token) == Word::Capitalised)
        return false;
    size_t begin = 0;
    size_t end = token.size();
    while (begin < end && IsLeadingMark(token[begin]))
        ++begin;
    while (end > begin && IsTrailingMark(token[end - 1]))
        --end;
    const std::string_view core = token.substr(begin, end - begin);
    if (!core.empty() && std::all_of(core.begin(), core.end(), IsAsciiLetterByte)) {
        if (begin > 0 || end < token.size())
            return false;  // "(none)", "done.": a word in sentence marks
        if (std::all_of(core.begin(), core.end(), IsAsciiUpperByte))
            return false;  // "OK", "PDF": initials, or a label in capitals
    }
    return true;
}

}  // namespace

bool LooksLikeCode(std::string_view utf8)
{
    const std::string_view text = Trim(utf8);
    if (!HasAsciiLetter(text) || HasNonAscii(text))
        return false;
    if (IsLayoutSpec(text))
        return true;
    const std::vector<std::string_view> tokens = Tokens(text);
    if (tokens.size() == 1)
        return LoneTokenIsCode(tokens[0]);
    // Words: code when most of them are flags or identifiers, and none is capitalised.
    size_t structured = 0;
    size_t plain = 0;
    for (const std::string_view token : tokens) {
        if (!HasAsciiLetter(token))
            continue;
        if (IsFlag(token)) {
            ++structured;
            continue;
        }
        const Word word = WordOfToken(token);
        if (word == Word::Capitalised)
            return false;
        if (word == Word::Plain)
            ++plain;
        else
            ++structured;
    }
    return structured > 0 && structured >= plain;
}

namespace {

// ---- addresses, markup, CSS, separators ----

constexpr std::string_view kSchemes[] = {
    "http",  "https", "ftp",    "ftps",      "sftp",  "file",           "jar",         "zip",
    "mailto", "urn",  "data",   "classpath", "reference", "bundle",     "bundleresource", "bundleentry",
    "resource", "about", "jrt", "vfs",      "wsjar", "tel",            "news",        "ldap",
    "ldaps", "jdbc",  "javascript", "xmlns", "rmi",  "jnlp",           "irc",         "ssh",
    "git",   "svn",   "smb",    "nntp",      "telnet", "gopher",       "platform",    "plugin",
    "chrome", "res",  "content", "cid",      "mid",   "jndi",           "mvn",         "wrap",
};

// "http://...", "reference:file:", "jar:file:/x!/", "urn:color:0x000000", "xmlns:svg".
bool IsAddress(std::string_view text) noexcept
{
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 2 || !IsAsciiLowerByte(text[0]))
        return false;
    const std::string_view scheme = text.substr(0, colon);
    if (!std::all_of(scheme.begin(), scheme.end(), [](char c) {
            return IsAsciiLowerByte(c) || IsDigit(c) || c == '+' || c == '.' || c == '-';
        }))
        return false;
    const std::string_view rest = text.substr(colon + 1);
    if (rest.starts_with("//") || OneOf(scheme, kSchemes))
        return true;
    return !rest.empty() && rest.find_first_of(":/") != std::string_view::npos;
}

bool IsIdentifierChar(char c) noexcept
{
    return IsAsciiAlnum(c) || c == '_' || c == '$';
}

bool HasInnerCapital(std::string_view text) noexcept
{
    for (size_t i = 1; i < text.size(); ++i) {
        if (IsAsciiUpperByte(text[i]) && IsAsciiLowerByte(text[i - 1]))
            return true;
    }
    return false;
}

// Dotted names whose parts are identifiers (a part may hold '-', as file names do), one of
// them two characters or more: "com.x.Foo", "zoom.png", not "e.g" or "1.5".
bool IsDottedName(std::string_view text) noexcept
{
    size_t parts = 0;
    bool longPart = false;
    size_t at = 0;
    while (true) {
        const size_t end = std::min(text.find('.', at), text.size());
        const std::string_view part = text.substr(at, end - at);
        if (part.empty() || !(IsAsciiLetterByte(part[0]) || part[0] == '_' || part[0] == '$') ||
            !std::all_of(part.begin(), part.end(), [](char c) { return IsIdentifierChar(c) || c == '-'; }))
            return false;
        ++parts;
        longPart = longPart || part.size() >= 2;
        if (end == text.size())
            break;
        at = end + 1;
    }
    return parts >= 2 && longPart;
}

// The beginning of an identifier the program completes: "tagging_", "com.example.", "plan-zoom-".
bool IsIdentifierPrefix(std::string_view text) noexcept
{
    if (text.size() < 2 || !HasAsciiLetter(text) ||
        !std::all_of(text.begin(), text.end(), [](char c) { return IsIdentifierChar(c) || c == '.' || c == '-'; }))
        return false;
    const char last = text.back();
    const std::string_view body = text.substr(0, text.size() - 1);
    if (last == '_')
        return true;
    if (last == '.')
        return IsDottedName(body) || body.find('_') != std::string_view::npos || HasInnerCapital(body);
    if (last == '-')
        return body.find_first_of("-_.") != std::string_view::npos || HasInnerCapital(body);
    return false;
}

constexpr std::string_view kHtmlTags[] = {
    "html", "head", "body", "base", "style", "script", "b", "i", "u", "p", "br", "hr", "a", "font", "div",
    "span", "table", "tr", "td", "th", "ul", "ol", "li", "pre", "code", "tt", "em", "strong", "small", "big",
    "sub", "sup", "center", "img", "h1", "h2", "h3", "h4", "h5", "h6", "blockquote", "meta", "title", "link",
    "nobr", "dl", "dt", "dd", "s", "strike", "cite", "kbd", "var", "samp", "q", "label", "form", "input",
    "select", "option", "textarea", "col", "colgroup", "thead", "tbody", "tfoot", "caption", "svg", "path",
    "g", "rect",
};

// The name of the tag that starts with the '<' at `at`, lower-cased; "!" for a comment, a
// doctype or a processing instruction; empty when no known tag starts there.
std::string TagAt(std::string_view text, size_t at)
{
    size_t i = at + 1;
    if (i < text.size() && (text[i] == '!' || text[i] == '?'))
        return "!";
    if (i < text.size() && text[i] == '/')
        ++i;
    std::string name;
    while (i < text.size() && IsAsciiAlnum(text[i]))
        name += Lower(text[i++]);
    if (i < text.size() && !IsAsciiSpace(text[i]) && text[i] != '>' && text[i] != '/')
        return {};
    return OneOf(std::string_view(name), kHtmlTags) ? name : std::string();
}

size_t FindIgnoringCase(std::string_view text, std::string_view what, size_t from) noexcept
{
    for (size_t i = from; i + what.size() <= text.size(); ++i) {
        if (EqualsIgnoringCase(text.substr(i, what.size()), what))
            return i;
    }
    return std::string_view::npos;
}

// Nothing but closing tags, and opening ones of any name ("</apply>\n", "<ci>x</ci>" without
// its value): markup a program writes, MathML or XML. A lone "<none>" is not: a placeholder people
// read is spelt the same, but never closed.
bool IsClosedTagsOnly(std::string_view text)
{
    bool closing = false;
    for (size_t i = 0; i < text.size();) {
        if (IsAsciiSpace(text[i])) {
            ++i;
            continue;
        }
        if (text[i] != '<')
            return false;
        size_t at = i + 1;
        const bool close = at < text.size() && text[at] == '/';
        at += close ? 1 : 0;
        const size_t nameStart = at;
        while (at < text.size() && (IsAsciiAlnum(text[at]) || text[at] == ':' || text[at] == '-' || text[at] == '_'))
            ++at;
        if (at == nameStart || at >= text.size() || text[at] != '>')
            return false;
        closing = closing || close;
        i = at + 1;
    }
    return closing;
}

// HTML whose text, outside its tags, style sheets and scripts, has no letter.
bool IsMarkupWithoutWords(std::string_view text)
{
    if (text.find('<') == std::string_view::npos)
        return false;
    if (IsClosedTagsOnly(text))
        return true;
    std::string outside;
    bool tag = false;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '<') {
            const std::string name = TagAt(text, i);
            if (!name.empty()) {
                tag = true;
                const bool opening = text[i + 1] != '/';
                const size_t close = text.find('>', i);
                i = close == std::string_view::npos ? text.size() : close + 1;
                if (opening && (name == "style" || name == "script")) {
                    const size_t end = FindIgnoringCase(text, name == "style" ? "</style" : "</script", i);
                    i = end == std::string_view::npos ? text.size() : end;
                }
                continue;
            }
        }
        if (text[i] == '&') {
            const size_t semicolon = text.find(';', i);
            if (semicolon != std::string_view::npos && semicolon - i <= 8 &&
                std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                            text.begin() + static_cast<std::ptrdiff_t>(semicolon),
                            [](char c) { return IsAsciiAlnum(c) || c == '#'; })) {
                outside += ' ';
                i = semicolon + 1;
                continue;
            }
        }
        outside += text[i++];
    }
    return tag && !HasLetter(outside);
}

bool IsCssProperty(std::string_view name) noexcept
{
    return !name.empty() &&
           std::all_of(name.begin(), name.end(), [](char c) { return IsAsciiLowerByte(c) || c == '-'; }) &&
           HasAsciiLetter(name);
}

constexpr std::string_view kCssProperties[] = {
    "color", "background", "background-color", "font", "font-family", "font-size", "font-weight", "font-style",
    "margin", "margin-left", "margin-right", "margin-top", "margin-bottom", "padding", "padding-left",
    "padding-right", "padding-top", "padding-bottom", "border", "border-color", "border-width", "border-style",
    "text-align", "text-decoration", "vertical-align", "white-space", "width", "height", "display", "float",
    "line-height", "list-style", "list-style-type", "cursor", "overflow", "position",
};

// "a { color: red }", "font-weight: bold;", "strong, b".
bool IsCss(std::string_view text)
{
    const size_t brace = text.find('{');
    if (brace != std::string_view::npos) {
        const size_t close = text.find('}', brace);
        const std::string_view selector = text.substr(0, brace);
        return close != std::string_view::npos && text.substr(brace, close - brace).find(':') != std::string_view::npos &&
               std::all_of(selector.begin(), selector.end(), [](char c) {
                   return IsAsciiAlnum(c) || IsAsciiSpace(c) || std::string_view(".#_:*>+~,[]=-\"'").find(c) !=
                                                                   std::string_view::npos;
               });
    }
    // Declarations: "property: value", separated by ';'.
    bool declarations = true;
    bool dashed = false;
    size_t count = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find(';', at), text.size());
        const std::string_view part = Trim(text.substr(at, end - at));
        at = end + 1;
        if (part.empty())
            continue;
        const size_t colon = part.find(':');
        if (colon == std::string_view::npos || !IsCssProperty(Trim(part.substr(0, colon))) ||
            Trim(part.substr(colon + 1)).empty()) {
            declarations = false;
            break;
        }
        dashed = dashed || part.substr(0, colon).find('-') != std::string_view::npos;
        ++count;
    }
    // One declaration without a ';' is CSS only with a property CSS has: "-nosplash: Don't
    // show the splash screen" is a command line's help.
    if (declarations && count == 1 && text.find(';') == std::string_view::npos) {
        const std::string_view property = Trim(text.substr(0, text.find(':')));
        if (!OneOf(property, kCssProperties))
            declarations = false;
    }
    if (declarations && count > 0 && (dashed || text.find(';') != std::string_view::npos))
        return true;
    // A list of selectors: HTML tags, classes or ids.
    size_t selectors = 0;
    for (size_t at = 0; at <= text.size();) {
        const size_t end = std::min(text.find(',', at), text.size());
        std::string_view part = Trim(text.substr(at, end - at));
        at = end + 1;
        const size_t mark = part.find_first_of(".#");
        const std::string_view tag = part.substr(0, mark);
        const std::string_view rest = mark == std::string_view::npos ? std::string_view() : part.substr(mark + 1);
        const bool tagOk = tag.empty() ? !rest.empty() : OneOf(tag, kHtmlTags);
        if (!tagOk || !std::all_of(rest.begin(), rest.end(), [](char c) { return IsIdentifierChar(c) || c == '-'; }))
            return false;
        ++selectors;
        if (end == text.size())
            break;
    }
    return selectors >= 2;
}

constexpr std::string_view kUnits[] = {"kb", "mb", "gb", "tb", "kib", "mib", "gib", "px", "pt",
                                                     "ms", "hz", "khz", "mhz", "ghz", "fps", "dpi", "ppi", "em",
                                                     "kbps", "mbps", "bps", "ns"};

// What a program puts between values: " x ", " - ", " Mb", " : ".
bool IsSeparator(std::string_view untrimmed, std::string_view text) noexcept
{
    if (text.size() == untrimmed.size() || HasSpace(text))
        return false;
    if (!HasLetter(text))
        return true;
    if (HasNonAscii(text))
        return false;
    const auto letters = std::count_if(text.begin(), text.end(), IsAsciiLetterByte);
    if (letters == 1)
        return true;
    return std::all_of(text.begin(), text.end(), IsAsciiLetterByte) && OneOfIgnoringCase(text, kUnits);
}

}  // namespace

// HTML character references and nothing with a letter besides ("&amp;", "&lt;&gt;", "&#160;"):
// what a program writes when it escapes text for HTML or XML.
bool IsEntitiesOnly(std::string_view text)
{
    bool any = false;
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '&') {
            if (IsAsciiLetterByte(text[i]))
                return false;
            ++i;
            continue;
        }
        const size_t end = text.find(';', i);
        if (end == std::string_view::npos || end - i < 2 || end - i > 10)
            return false;
        for (size_t k = i + 1; k < end; ++k) {
            if (!IsAsciiAlnum(text[k]) && !(k == i + 1 && text[k] == '#'))
                return false;
        }
        any = true;
        i = end + 1;
    }
    return any;
}

std::optional<Use> NeverProseUse(std::string_view utf8)
{
    const std::string_view text = Trim(utf8);
    if (text.empty())
        return std::nullopt;
    if (IsSeparator(utf8, text))
        return Use::Data;
    if (!HasSpace(text) && (IsAddress(text) || IsIdentifierPrefix(text)))
        return Use::Name;
    if (IsMarkupWithoutWords(text) || IsCss(text) || IsEntitiesOnly(text))
        return Use::Data;
    return std::nullopt;
}

namespace {

// ---- bundle values ----

// The key ends with `word`: after a separator ("toolbar.icon", "small_icon"), capitalised
// after a lower-case letter ("smallIcon"), or as the whole key ("icon"); not inside another
// word ("lexicon").
bool KeyEndsWithWord(std::string_view key, std::string_view word) noexcept
{
    if (!EndsWithIgnoringCase(key, word))
        return false;
    if (key.size() == word.size())
        return true;
    const char before = key[key.size() - word.size() - 1];
    const char first = key[key.size() - word.size()];
    if (before == '.' || before == '_' || before == '-' || before == '/')
        return true;
    return IsAsciiUpperByte(first) && (IsAsciiLowerByte(before) || IsDigit(before));
}

constexpr std::string_view kResourceWords[] = {
    "icon", "image", "img", "cursor", "model", "class", "url", "uri", "path", "color", "colour", "font",
};

constexpr std::string_view kBindingEnds[] = {
    "acceleratorkey", "accelerator", "mnemonickey", "mnemonic", "shortcut", "shortcut2", "keystroke",
    "hotkey", "keybinding", "accel",
};

constexpr std::string_view kShownWords[] = {
    "label", "text", "title", "name", "tooltip", "tip", "message", "msg", "description", "desc",
    "caption", "header", "prompt", "hint", "button", "menu", "help", "status", "error", "warning",
    "question", "heading", "summary", "info",
};

bool KeyNamesResource(std::string_view key) noexcept
{
    return std::any_of(std::begin(kResourceWords), std::end(kResourceWords),
                       [&](std::string_view w) { return KeyEndsWithWord(key, w); });
}

bool KeyNamesBinding(std::string_view key) noexcept
{
    return std::any_of(std::begin(kBindingEnds), std::end(kBindingEnds),
                       [&](std::string_view w) { return EndsWithIgnoringCase(key, w); });
}

// The key's last part names something shown: "menu.file.label", "saveTooltip", "title".
bool KeyNamesShown(std::string_view key)
{
    const size_t dot = key.find_last_of("./");
    std::string last(dot == std::string_view::npos ? key : key.substr(dot + 1));
    for (char& c : last)
        c = Lower(c);
    return std::any_of(std::begin(kShownWords), std::end(kShownWords),
                       [&](std::string_view w) { return last.find(w) != std::string::npos; });
}

constexpr std::string_view kModifiers[] = {
    "ctrl", "control", "shift", "alt", "meta", "altgraph", "alt_graph", "altgr", "cmd", "command", "option",
    "menu", "button1", "button2", "button3", "pressed", "released", "typed",
};

bool IsKeyName(std::string_view key) noexcept
{
    if (key.size() == 1)
        return true;
    if ((key[0] == 'F' || key[0] == 'f') && key.size() <= 3 &&
        std::all_of(key.begin() + 1, key.end(), IsDigit))
        return true;  // F5
    return std::all_of(key.begin(), key.end(),
                       [](char c) { return IsAsciiUpperByte(c) || IsDigit(c) || c == '_'; });  // DELETE, BACK_SPACE
}

// "ctrl shift S", "control alt DELETE", "typed a", "Ctrl+S", "Alt+F4".
bool IsKeystroke(std::string_view text)
{
    std::vector<std::string_view> parts = Tokens(text);
    if (parts.size() == 1 && text.find('+') != std::string_view::npos && text.size() > 2) {
        parts.clear();
        for (size_t at = 0; at <= text.size();) {
            const size_t end = std::min(text.find('+', at), text.size());
            parts.push_back(text.substr(at, end - at));
            at = end + 1;
            if (end == text.size())
                break;
        }
    }
    if (parts.size() < 2)
        return false;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (!OneOfIgnoringCase(parts[i], kModifiers))
            return false;
    }
    const std::string_view key = parts.back();
    if (key.empty())
        return false;
    constexpr std::string_view kKeyWords[] = {"del", "delete", "enter", "esc", "escape", "tab",
                                                             "space", "home", "end", "insert", "backspace", "ins"};
    return IsKeyName(key) || OneOfIgnoringCase(key, kKeyWords);
}

// A path with a separator and an extension: "resources/actions/plan-zoom-in.png", "/icons/x.gif".
bool IsPath(std::string_view text) noexcept
{
    if (HasSpace(text) || text.find_first_of("/\\") == std::string_view::npos)
        return false;
    const size_t slash = text.find_last_of("/\\");
    const std::string_view name = text.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return false;
    const std::string_view extension = name.substr(dot + 1);
    return !extension.empty() && extension.size() <= 5 && std::all_of(extension.begin(), extension.end(), IsAsciiAlnum) &&
           HasAsciiLetter(extension);
}

bool IsColour(std::string_view text) noexcept
{
    auto hex = [](std::string_view digits) {
        return (digits.size() == 3 || digits.size() == 4 || digits.size() == 6 || digits.size() == 8) &&
               std::all_of(digits.begin(), digits.end(), IsHex);
    };
    if (text.starts_with("#"))
        return hex(text.substr(1));
    if (text.starts_with("0x") || text.starts_with("0X"))
        return hex(text.substr(2));
    for (const std::string_view function : {"rgb(", "rgba(", "hsl(", "hsla("}) {
        if (text.starts_with(function) && text.ends_with(")"))
            return !HasAsciiLetter(text.substr(function.size()));
    }
    return false;
}

bool IsNumberWithUnit(std::string_view text) noexcept
{
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    const size_t digits = i;
    while (i < text.size() && (IsDigit(text[i]) || text[i] == '.'))
        ++i;
    if (i == digits || !IsDigit(text[digits]))
        return false;
    constexpr std::string_view kSizeUnits[] = {"px", "pt", "em", "ex", "dlu", "mm", "cm", "in",
                                                             "ms", "s", "kb", "mb", "gb", "k", "m", "%",
                                                             "dp", "sp", "x", "pc"};
    return OneOfIgnoringCase(text.substr(i), kSizeUnits);
}

// SVG path data: "M0,0 v1 h1 v-1 z".
bool IsSvgPath(std::string_view text) noexcept
{
    if (text.empty() || (text[0] != 'M' && text[0] != 'm'))
        return false;
    constexpr std::string_view kCommands = "MmLlHhVvCcSsQqTtAaZz";
    bool digit = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            digit = true;
        } else if (IsAsciiLetterByte(c)) {
            const bool exponent = (c == 'e' || c == 'E') && i > 0 && IsDigit(text[i - 1]);
            if (!exponent && kCommands.find(c) == std::string_view::npos)
                return false;
        } else if (!IsAsciiSpace(c) && c != ',' && c != '.' && c != '-' && c != '+') {
            return false;
        }
    }
    return digit;
}

// Names of classes, constants and entries: "com.x.Foo", "zoom.png", "maker#bed140x190",
// "LENGTH_UNIT", "Outer$Inner".
bool IsQualifiedName(std::string_view text) noexcept
{
    if (HasSpace(text) || !HasAsciiLetter(text))
        return false;
    if (IsDottedName(text))
        return true;
    const size_t hash = text.find('#');
    if (hash != std::string_view::npos && hash > 0 && hash + 1 < text.size())
        return std::all_of(text.begin(), text.end(), [](char c) { return IsIdentifierChar(c) || c == '#' || c == '-' || c == '.'; });
    return text.find_first_of("_$") != std::string_view::npos &&
           std::all_of(text.begin(), text.end(), IsIdentifierChar);
}

// Letters only, with hyphens or apostrophes between them: a word, whatever its case.
bool IsPlainWord(std::string_view text) noexcept
{
    return !text.empty() && IsAsciiLetterByte(text.front()) && IsAsciiLetterByte(text.back()) &&
           std::all_of(text.begin(), text.end(), [](char c) { return IsAsciiLetterByte(c) || c == '-' || c == '\''; });
}

}  // namespace

bool BundleValueIsData(std::string_view key, std::string_view value)
{
    const std::string_view text = Trim(value);
    if (IsData(text) || NeverProse(value))
        return true;
    if (KeyNamesResource(key))
        return true;
    const bool lone = !HasSpace(text);
    if (KeyNamesBinding(key) && (lone || IsKeystroke(text)))
        return true;
    if (IsKeystroke(text) || IsPath(text) || IsColour(text) || IsNumberWithUnit(text) || IsSvgPath(text) ||
        IsQualifiedName(text))
        return true;
    if (text == "true" || text == "false" || text == "TRUE" || text == "FALSE" || text == "True" || text == "False")
        return true;
    if (lone && IsPlainWord(text) && !HasNonAscii(text)) {
        // One word: a name the program reads (an enum constant's lower-case name, a constant
        // in capitals) unless its key names something shown.
        const bool capitals = std::all_of(text.begin(), text.end(), [](char c) { return !IsAsciiLowerByte(c); });
        // A word in small letters alone ("hours", "km") is as often a unit shown as a name
        // read: where no lookup tells, it is offered; a family of settings asks for a lookup
        // that shows it (FamilyIsTable).
        if ((HasInnerCapital(text) || (capitals && text.size() >= 5)) && WordOfToken(text) != Word::Capitalised)
            return !KeyNamesShown(key);
        return false;
    }
    return LooksLikeCode(text);
}

bool FamilyIsTable(std::span<const std::pair<std::string_view, std::string_view>> keyValues)
{
    size_t withLetter = 0;
    size_t data = 0;
    bool any = false;
    for (const auto& [key, value] : keyValues) {
        any = any || !Trim(value).empty();
        if (!HasLetter(value))
            continue;
        ++withLetter;
        data += BundleValueIsData(key, value) ? 1 : 0;
    }
    if (withLetter == 0)
        return any;
    return 2 * data > withLetter;
}

}  // namespace cl::usage
