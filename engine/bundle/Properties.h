#pragma once
// .properties files as java.util.Properties.load reads them (Java 9 and later, as
// PropertyResourceBundle hands them over): the bytes are UTF-8 when they are well-formed UTF-8,
// else ISO-8859-1; then comments, separators, escapes and continuation lines exactly as Java
// reads them. What a writer of a language variant needs is kept as well: each key's line and
// the comment and blank lines around the keys, in file order.
//
// Keys and values are UTF-8. Java strings may hold a lone surrogate (`\uD800` with no
// partner); it is kept in its three-byte form (see text/CodePoints.h), which no catalogue
// takes, so such a value is never offered for translation (bundle/OfferedValues.h) but is
// written back as the same escape.

#include "errors/Result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cl::bundle {

struct PropertiesEntry {
    std::string key;
    std::string value;
    // The natural line (from 1) where the logical line that gave the value starts.
    uint64_t line = 0;
    // The comment lines ("# ..." or "! ...", from the '#' or '!' on, without the line end) and
    // blank lines ("") just before the key, in file order.
    std::vector<std::string> before;
};

enum class PropertiesEncoding : uint8_t { Utf8, Latin1 };
enum class LineEnd : uint8_t { Lf, CrLf, Cr };

struct PropertiesFile {
    // One entry per key, in the order of the keys' first appearance. A key given again keeps
    // its first place but takes the later value and line, since Java keeps the last value;
    // the comments before the repeated line move on to the next key, so that none is lost.
    std::vector<PropertiesEntry> entries;
    // Comment and blank lines after the last key.
    std::vector<std::string> after;
    PropertiesEncoding encoding = PropertiesEncoding::Utf8;
    // The file's first line end (LF when it has none); a writer uses it for every line.
    LineEnd lineEnd = LineEnd::Lf;
    // The last line ends with a line end (also true for an empty file).
    bool endsWithLineEnd = true;
    // A key or value holds characters past ASCII written as themselves (in UTF-8), or as \uXXXX
    // escapes. A file with the first and none of the second is read as UTF-8 by its program,
    // which may have its own reader that knows no escapes; what is written into it keeps to that.
    bool rawUnicode = false;
    bool escapedUnicode = false;

    // Characters past ASCII are written as themselves rather than escaped.
    bool WritesRawUnicode() const { return encoding == PropertiesEncoding::Utf8 && rawUnicode && !escapedUnicode; }

    const PropertiesEntry* Find(std::string_view key) const;
};

// Reads the bytes of a .properties file. A malformed \uXXXX escape (Java throws
// IllegalArgumentException "Malformed \uxxxx encoding.") gives ErrorKind::BadEscape with the
// natural line of the escape in `line` and the escape as written in `detail`; the caller
// names the file. A file in UTF-8 but for a last character cut short gives
// ErrorKind::BundleCutShort: Java refuses it rather than read it as ISO-8859-1.
//
// Java decides the encoding by the 8 KiB it reads at a time: in a file whose first byte that is
// not UTF-8 lies past its first 8 KiB, the part before is read as UTF-8. Here the whole file is
// then ISO-8859-1; such a file mixes two encodings and is no file anybody meant to write.
Result<PropertiesFile> ParseProperties(std::string_view bytes);

}  // namespace cl::bundle
