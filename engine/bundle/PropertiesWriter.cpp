#include "bundle/PropertiesWriter.h"

#include "text/CodePoints.h"

namespace cl::bundle {

namespace {

void AppendUnicodeEscape(char16_t unit, std::string& out)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\u";
    out += kHex[(unit >> 12) & 0xF];
    out += kHex[(unit >> 8) & 0xF];
    out += kHex[(unit >> 4) & 0xF];
    out += kHex[unit & 0xF];
}

// Properties.saveConvert with escapeUnicode, one UTF-16 unit at a time as Java does.
std::string SaveConvert(std::string_view text, bool escapeSpace)
{
    const std::u16string units = Utf8ToUtf16Lenient(text);
    std::string out;
    out.reserve(units.size() + 8);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        switch (c) {
        case ' ':
            if (i == 0 || escapeSpace)
                out += '\\';
            out += ' ';
            break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\f': out += "\\f"; break;
        case '=':
        case ':':
        case '#':
        case '!':
        case '\\':
            out += '\\';
            out += static_cast<char>(c);
            break;
        default:
            if (c < 0x20 || c > 0x7E)
                AppendUnicodeEscape(c, out);
            else
                out += static_cast<char>(c);
        }
    }
    return out;
}

// A comment line as it was, in printable ASCII (tabs kept): a comment is never unescaped, so
// \uXXXX in it is only read by people, as in the comments Properties.store writes.
std::string AsciiComment(std::string_view text)
{
    std::string out;
    for (const char16_t c : Utf8ToUtf16Lenient(text)) {
        if ((c < 0x20 && c != '\t') || c > 0x7E)
            AppendUnicodeEscape(c, out);
        else
            out += static_cast<char>(c);
    }
    return out;
}

std::string_view LineEndText(LineEnd end)
{
    switch (end) {
    case LineEnd::CrLf: return "\r\n";
    case LineEnd::Cr: return "\r";
    case LineEnd::Lf: break;
    }
    return "\n";
}

}  // namespace

std::string EscapeKey(std::string_view key)
{
    return SaveConvert(key, true);
}

std::string EscapeValue(std::string_view value)
{
    return SaveConvert(value, false);
}

std::string WriteVariant(const PropertiesFile& source, const VariantValues& values)
{
    const std::string_view eol = LineEndText(source.lineEnd);
    std::string out;
    bool first = true;
    auto line = [&](const std::string& text) {
        if (!first)
            out += eol;
        first = false;
        out += text;
    };
    auto layout = [&](const std::vector<std::string>& lines) {
        for (const std::string& text : lines)
            line(AsciiComment(text));
    };
    for (const PropertiesEntry& entry : source.entries) {
        layout(entry.before);
        const auto given = values.find(entry.key);
        line(EscapeKey(entry.key) + "=" + EscapeValue(given != values.end() ? given->second : entry.value));
    }
    layout(source.after);
    if (!first && source.endsWithLineEnd)
        out += eol;
    return out;
}

}  // namespace cl::bundle
