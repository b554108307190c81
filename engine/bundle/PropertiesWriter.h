#pragma once
// Writing the language variant of a bundle from its source file: every key of the source, in
// the source's order and with its comment and blank lines, each with the value given for it or
// else the source's own. The file is ASCII, with \uXXXX for everything outside 0x20..0x7E, so
// that every Java version reads it the same whatever it takes the bytes for; keys and values
// are escaped as Properties.store escapes them, and lines end as the source's do. The exception:
// a program whose file is written in UTF-8 with no escapes past ASCII (WritesRawUnicode) may read
// it with a reader of its own that knows no \uXXXX, so what goes into it, or into a new variant
// of such a source, is written in UTF-8 too.

#include "bundle/Properties.h"

#include <map>
#include <string>
#include <string_view>

namespace cl::bundle {

// Key -> value, in UTF-8 as the reader gives it (a lone surrogate in its three-byte form, a pair
// always as one code point); a byte that is no such UTF-8 is written as U+FFFD. Keys the source
// does not have are left out of a new variant.
using VariantValues = std::map<std::string, std::string, std::less<>>;

std::string WriteVariant(const PropertiesFile& source, const VariantValues& values);

// The program's own variant with the catalogue's translations in it: every key, value, comment
// and blank line of `variant` in its order (a comment in the file's own encoding), the values
// of `values` in place of those of their keys, and the keys of `source` that the variant lacks
// after its last key, in the source's order (each with `values`' translation, else the source's
// value). Keys only the variant has stay: the program may read them.
std::string UpdateVariant(const PropertiesFile& variant, const PropertiesFile& source, const VariantValues& values);

// Properties.store's escaping, with every unit outside 0x20..0x7E as \uXXXX. A key escapes
// every space; a value only a leading one.
std::string EscapeKey(std::string_view key);
std::string EscapeValue(std::string_view value);

}  // namespace cl::bundle
