#pragma once
// Translation calls: a method whose string parameter is looked up in a table of translations
// and whose result is what the table holds or, failing that, the parameter itself (through a
// MessageFormat or not): JOSM's `tr("File")`, Jmol's `GT.$("Credits")`, gettext-commons'
// `i18n.tr("Open")`. A literal passed to one is a message id: what the call's result is put to
// decides it, not the lookup of its key inside the call.
//
// A program's own translation calls are recognised from their code in the program-wide step
// (Graph::FindTranslationCalls): a parameter that
//   - reaches the key of a table lookup (a Map, Hashtable or Properties get, a bundle's
//     getString or getObject) in the method or the methods it calls, whose found value is what
//     the method returns (KeyLookups' wrappers), and
//   - is returned by the method itself, directly or as a formatting's pattern (ThroughCalls).
// A library's, whose code the program does not ship, are known by name (TranslationCalls.def).
//
// Internal to ProgramUsage.

#include "usage/Use.h"

#include <cstdint>
#include <string_view>

namespace cl::usage {

// The formattings (a bit per FormatStyle, as ThroughCalls keeps them) through which parameter
// `parameter` of the library method `owner.name descriptor` comes back as its result when it
// is a known translation call; 0 when it is none.
uint8_t KnownTranslationCall(std::string_view owner, std::string_view name, std::string_view descriptor,
                             uint16_t parameter) noexcept;

}  // namespace cl::usage
