#pragma once
// The one escaping rule of the command line's listings (list, strings) and of the texts the
// sentences name: backslash, tab, CR, LF and zero written out, so that one row stays one line.

#include "text/ByteWords.h"

#include <string>
#include <string_view>

namespace cltext {

// Writes `text` at p with backslash, tab, CR, LF and zero written out, so that one row stays one
// line; returns the end. Room for twice the text is needed.
inline char* AppendEscaped(char* p, std::string_view text)
{
    using namespace cl::bytewords;
    // Nearly every caption holds none of them: it is copied in whole words.
    uint64_t special = 0;
    ForEachWord(text.data(), text.size(),
                [&](uint64_t x) { special |= BytesBelow(x, '\r' + 1) | BytesEqual(x, '\\'); });
    if (special == 0) {
        CopyWords(p, text.data(), text.size());
        return p + text.size();
    }
    for (const char c : text) {
        switch (c) {
            case '\\': *p++ = '\\', *p++ = '\\'; break;
            case '\t': *p++ = '\\', *p++ = 't'; break;
            case '\r': *p++ = '\\', *p++ = 'r'; break;
            case '\n': *p++ = '\\', *p++ = 'n'; break;
            case '\0': *p++ = '\\', *p++ = '0'; break;
            default: *p++ = c; break;
        }
    }
    return p;
}

// The same, as a new string.
inline std::string Escaped(std::string_view text)
{
    std::string result(text.size() * 2, '\0');
    result.resize(static_cast<std::size_t>(AppendEscaped(result.data(), text) - result.data()));
    return result;
}

}  // namespace cltext
