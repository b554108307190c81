#include "bundle/Properties.h"

#include "text/CodePoints.h"

#include <algorithm>
#include <unordered_map>

namespace cl::bundle {

namespace {

bool IsBlank(char32_t c)
{
    return c == ' ' || c == '\t' || c == '\f';
}

bool IsLineEnd(char32_t c)
{
    return c == '\r' || c == '\n';
}

// A logical line as Properties' LineReader gives it: its characters, with the position in
// the text of each (for the line of a bad escape).
struct LogicalLine {
    std::u32string chars;
    std::vector<std::size_t> positions;
    std::size_t last = 0;  // the position of the last character read for it
};

struct Comment {
    std::size_t position = 0;
    std::u32string text;
};

// Properties.LineReader.readLine of Java 9 and later, on decoded text. Comments met on the way
// are handed to `onComment`.
class LineReader {
public:
    explicit LineReader(const std::u32string& text) : text_(text) {}

    template <typename OnComment>
    bool Next(LogicalLine& line, OnComment&& onComment)
    {
        line.chars.clear();
        line.positions.clear();
        bool skipWhiteSpace = true;
        bool appendedLineBegin = false;
        bool precedingBackslash = false;
        const std::size_t n = text_.size();
        while (true) {
            if (off_ >= n) {
                if (line.chars.empty())
                    return false;
                if (precedingBackslash)
                    Drop(line);
                line.last = n - 1;
                return true;
            }
            const char32_t c = text_[off_++];
            if (skipWhiteSpace) {
                if (IsBlank(c))
                    continue;
                if (!appendedLineBegin && IsLineEnd(c))
                    continue;
                skipWhiteSpace = false;
                appendedLineBegin = false;
            }
            if (line.chars.empty() && (c == '#' || c == '!')) {
                // A comment, even after a continued line that left nothing: never continued.
                Comment comment;
                comment.position = off_ - 1;
                comment.text += c;
                while (off_ < n && !IsLineEnd(text_[off_]))
                    comment.text += text_[off_++];
                onComment(comment);
                if (off_ >= n)
                    return false;
                ++off_;
                skipWhiteSpace = true;
                continue;
            }
            if (!IsLineEnd(c)) {
                line.chars += c;
                line.positions.push_back(off_ - 1);
                precedingBackslash = c == '\\' ? !precedingBackslash : false;
                continue;
            }
            if (line.chars.empty()) {
                skipWhiteSpace = true;
                continue;
            }
            if (off_ >= n) {
                if (precedingBackslash)
                    Drop(line);
                line.last = off_ - 1;
                return true;
            }
            if (!precedingBackslash) {
                line.last = off_ - 1;
                return true;
            }
            // An odd number of backslashes: the line goes on after the line end, without the
            // backslash and without the next line's leading blanks.
            Drop(line);
            skipWhiteSpace = true;
            appendedLineBegin = true;
            precedingBackslash = false;
            if (c == '\r' && off_ < n && text_[off_] == '\n')
                ++off_;
        }
    }

private:
    static void Drop(LogicalLine& line)
    {
        line.chars.pop_back();
        line.positions.pop_back();
    }

    const std::u32string& text_;
    std::size_t off_ = 0;
};

// Where each natural line starts; a line end is CR, LF or CR LF.
class Lines {
public:
    explicit Lines(const std::u32string& text)
    {
        starts_.push_back(0);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            if (IsLineEnd(text[i]))
                starts_.push_back(i + 1);
        }
        count_ = starts_.back() == text.size() ? starts_.size() - 1 : starts_.size();
    }

    // The line (from 1) of the character at `position`; a line end belongs to its line.
    uint64_t Of(std::size_t position) const
    {
        return static_cast<uint64_t>(std::upper_bound(starts_.begin(), starts_.end(), position) - starts_.begin());
    }
    uint64_t Count() const { return count_; }

private:
    std::vector<std::size_t> starts_;
    uint64_t count_ = 0;
};

void AppendUnit(char32_t c, std::u16string& out)
{
    if (c >= 0x10000) {
        out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        out += static_cast<char16_t>(c);
    }
}

int HexValue(char32_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

// Properties.loadConvert: the escapes of [begin, end) of the line resolved. False on a
// malformed \uXXXX, with `badAt` the index of its backslash.
bool Unescape(const LogicalLine& line, std::size_t begin, std::size_t end, std::u16string& out, std::size_t& badAt)
{
    out.clear();
    const std::u32string& in = line.chars;
    std::size_t off = begin;
    while (off < end) {
        char32_t c = in[off++];
        if (c != '\\') {
            AppendUnit(c, out);
            continue;
        }
        // The reader never leaves an unescaped backslash at the end of a line.
        c = in[off++];
        if (c == 'u') {
            if (off + 4 > end) {
                badAt = off - 2;
                return false;
            }
            int value = 0;
            for (int k = 0; k < 4; ++k) {
                const int digit = HexValue(in[off++]);
                if (digit < 0) {
                    badAt = off - 3 - static_cast<std::size_t>(k);
                    return false;
                }
                value = (value << 4) + digit;
            }
            out += static_cast<char16_t>(value);
            continue;
        }
        switch (c) {
        case 't': c = '\t'; break;
        case 'r': c = '\r'; break;
        case 'n': c = '\n'; break;
        case 'f': c = '\f'; break;
        default: break;
        }
        AppendUnit(c, out);
    }
    return true;
}

std::string ToUtf8(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char32_t c : text)
        AppendUtf8(c, out);
    return out;
}

LineEnd FirstLineEnd(std::string_view bytes)
{
    const std::size_t at = bytes.find_first_of("\r\n");
    if (at == std::string_view::npos || bytes[at] == '\n')
        return LineEnd::Lf;
    return at + 1 < bytes.size() && bytes[at + 1] == '\n' ? LineEnd::CrLf : LineEnd::Cr;
}

}  // namespace

const PropertiesEntry* PropertiesFile::Find(std::string_view key) const
{
    for (const PropertiesEntry& entry : entries) {
        if (entry.key == key)
            return &entry;
    }
    return nullptr;
}

Result<PropertiesFile> ParseProperties(std::string_view bytes)
{
    PropertiesFile file;
    const bool utf8 = IsStrictUtf8(bytes);
    if (!utf8 && EndsInCutUtf8(bytes)) {
        Error error(ErrorKind::BundleCutShort);
        error.line = 1;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
                ++error.line;
        }
        return error;
    }
    file.encoding = utf8 ? PropertiesEncoding::Utf8 : PropertiesEncoding::Latin1;
    const std::u32string text = utf8 ? DecodeUtf8Lenient(bytes) : DecodeLatin1(bytes);
    file.lineEnd = FirstLineEnd(bytes);
    file.endsWithLineEnd = text.empty() || IsLineEnd(text.back());

    const Lines lines(text);
    // The comment and blank lines seen since the last key, and the first line not yet placed.
    std::vector<std::string> pending;
    uint64_t nextLine = 1;
    auto blanksUpTo = [&](uint64_t line) {
        for (; nextLine < line; ++nextLine)
            pending.emplace_back();
    };

    std::unordered_map<std::string, std::size_t> byKey;
    LineReader reader(text);
    LogicalLine line;
    std::u16string key16;
    std::u16string value16;
    auto onComment = [&](const Comment& comment) {
        const uint64_t at = lines.Of(comment.position);
        blanksUpTo(at);
        pending.push_back(ToUtf8(comment.text));
        nextLine = at + 1;
    };
    while (reader.Next(line, onComment)) {
        // Properties.load0: the key ends at the first unescaped '=', ':' or blank; blanks and
        // then one '=' or ':' and more blanks separate it from the value.
        const std::size_t limit = line.chars.size();
        std::size_t keyLen = 0;
        std::size_t valueStart = limit;
        bool hasSep = false;
        bool precedingBackslash = false;
        while (keyLen < limit) {
            const char32_t c = line.chars[keyLen];
            if ((c == '=' || c == ':') && !precedingBackslash) {
                valueStart = keyLen + 1;
                hasSep = true;
                break;
            }
            if (IsBlank(c) && !precedingBackslash) {
                valueStart = keyLen + 1;
                break;
            }
            precedingBackslash = c == '\\' ? !precedingBackslash : false;
            ++keyLen;
        }
        while (valueStart < limit) {
            const char32_t c = line.chars[valueStart];
            if (!IsBlank(c)) {
                if (!hasSep && (c == '=' || c == ':'))
                    hasSep = true;
                else
                    break;
            }
            ++valueStart;
        }
        std::size_t badAt = 0;
        if (!Unescape(line, 0, keyLen, key16, badAt) || !Unescape(line, valueStart, limit, value16, badAt)) {
            Error error(ErrorKind::BadEscape);
            error.line = lines.Of(line.positions[badAt]);
            const std::size_t end = std::min(badAt + 6, limit);
            error.detail = ToUtf8(std::u32string_view(line.chars).substr(badAt, end - badAt));
            return error;
        }

        const bool raw = std::any_of(line.chars.begin(), line.chars.end(), [](char32_t c) { return c >= 0x80; });
        const auto beyondAscii = [](const std::u16string& s) {
            return std::any_of(s.begin(), s.end(), [](char16_t c) { return c >= 0x80; });
        };
        file.rawUnicode = file.rawUnicode || raw;
        file.escapedUnicode = file.escapedUnicode || (!raw && (beyondAscii(key16) || beyondAscii(value16)));

        const uint64_t first = line.positions.empty() ? lines.Of(line.last) : lines.Of(line.positions.front());
        blanksUpTo(first);
        nextLine = lines.Of(line.last) + 1;
        std::string k = Utf16ToUtf8(key16);
        const auto [it, added] = byKey.emplace(k, file.entries.size());
        if (added) {
            PropertiesEntry entry;
            entry.key = std::move(k);
            entry.value = Utf16ToUtf8(value16);
            entry.line = first;
            entry.before = std::move(pending);
            file.entries.push_back(std::move(entry));
        } else {
            PropertiesEntry& entry = file.entries[it->second];
            entry.value = Utf16ToUtf8(value16);
            entry.line = first;
            continue;  // the comments before it stay pending for the next key
        }
        pending.clear();
    }
    blanksUpTo(lines.Count() + 1);
    file.after = std::move(pending);
    return file;
}

}  // namespace cl::bundle
