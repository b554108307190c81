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

// Properties.saveConvert with escapeUnicode, one UTF-16 unit at a time as Java does; with `raw`,
// as saveConvert without it for a UTF-8 file: printable characters past ASCII as themselves,
// controls and lone surrogates still escaped.
std::string SaveConvert(std::string_view text, bool escapeSpace, bool raw = false)
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
            if (raw && c >= 0xA0) {
                const bool high = c >= 0xD800 && c <= 0xDBFF;
                const bool low = c >= 0xDC00 && c <= 0xDFFF;
                if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
                    AppendUtf8(0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00), out);
                    ++i;
                } else if (!high && !low) {
                    AppendUtf8(c, out);
                } else {
                    AppendUnicodeEscape(c, out);
                }
            } else if (c < 0x20 || c > 0x7E) {
                AppendUnicodeEscape(c, out);
            } else {
                out += static_cast<char>(c);
            }
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

namespace {

// Lines joined with one line end, as a .properties file of that line end holds them.
class LineJoiner {
public:
    explicit LineJoiner(LineEnd end) : eol_(LineEndText(end)) {}
    void Line(std::string_view text)
    {
        if (!first_)
            out_ += eol_;
        first_ = false;
        out_ += text;
    }
    std::string Finish(bool endsWithLineEnd)
    {
        if (!first_ && endsWithLineEnd)
            out_ += eol_;
        return std::move(out_);
    }

private:
    std::string_view eol_;
    std::string out_;
    bool first_ = true;
};

// A comment of the program's own file in that file's encoding: a comment is never unescaped,
// so its characters stay what the translator of that file wrote, not \u escapes of them. A file
// read as ISO-8859-1 holds no character past U+00FF; the rest of what is written is ASCII, so
// the file keeps the encoding Java reads it in.
std::string OwnComment(std::string_view text, PropertiesEncoding encoding)
{
    if (encoding == PropertiesEncoding::Utf8)
        return std::string(text);
    std::string out;
    for (const char16_t c : Utf8ToUtf16Lenient(text))
        out += c <= 0xFF ? static_cast<char>(c) : '?';
    return out;
}

std::string KeyLine(const std::string& key, const std::string& value, bool raw)
{
    return SaveConvert(key, true, raw) + "=" + SaveConvert(value, false, raw);
}

}  // namespace

std::string WriteVariant(const PropertiesFile& source, const VariantValues& values)
{
    const bool raw = source.WritesRawUnicode();
    LineJoiner out(source.lineEnd);
    auto layout = [&](const std::vector<std::string>& lines) {
        for (const std::string& text : lines)
            out.Line(AsciiComment(text));
    };
    for (const PropertiesEntry& entry : source.entries) {
        layout(entry.before);
        const auto given = values.find(entry.key);
        out.Line(KeyLine(entry.key, given != values.end() ? given->second : entry.value, raw));
    }
    layout(source.after);
    return out.Finish(source.endsWithLineEnd);
}

std::string UpdateVariant(const PropertiesFile& variant, const PropertiesFile& source, const VariantValues& values)
{
    const bool raw = variant.WritesRawUnicode() ||
                     (!variant.rawUnicode && !variant.escapedUnicode && source.WritesRawUnicode());
    LineJoiner out(variant.lineEnd);
    auto own = [&](const std::vector<std::string>& lines) {
        for (const std::string& text : lines)
            out.Line(OwnComment(text, variant.encoding));
    };
    for (const PropertiesEntry& entry : variant.entries) {
        own(entry.before);
        const auto given = values.find(entry.key);
        out.Line(KeyLine(entry.key, given != values.end() ? given->second : entry.value, raw));
    }
    // What the program reads but its translator never had: the source's keys, as a new variant
    // would have them, so that no lookup falls back past this file for them.
    for (const PropertiesEntry& entry : source.entries) {
        if (variant.Find(entry.key) != nullptr)
            continue;
        for (const std::string& text : entry.before)
            out.Line(AsciiComment(text));
        const auto given = values.find(entry.key);
        out.Line(KeyLine(entry.key, given != values.end() ? given->second : entry.value, raw));
    }
    own(variant.after);
    return out.Finish(variant.endsWithLineEnd || variant.entries.empty());
}

}  // namespace cl::bundle
