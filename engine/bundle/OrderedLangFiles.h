#pragma once
// Language files that hold a program's texts in the order of its English file, as JOSM keeps
// them (data/en.lang, data/zh_CN.lang ... in josm.jar). The English file holds every text; the
// file of a language holds, entry for entry, only the translations: no keys, no header, no
// count. JOSM reads both at once (org.openstreetmap.josm.tools.I18n.load(InputStream English,
// InputStream language, boolean)), so a language file only means something beside its English
// file, and a translation is written at the place of its English text.
//
//   English file                          language file, for each English entry
//   singular part, per entry:
//     u2 length, text                     u2 length, text; 0x0000: untranslated; 0xFFFE: the
//                                         same as the English
//   u2 0xFFFF: the plural part begins     u2 0xFFFF
//   plural part, per entry:
//     u1 count (1..255),                  u1 count, then count × (u2 length, text): the forms
//     count × (u2 length, text):          in the language's plural order; 0x00: untranslated;
//     singular, plural                    0xFE: the same as the English
//   both files end together (in the singular part when the English file has no plural part)
//
// Lengths are big-endian byte counts. The texts are plain UTF-8 (not Java's modified UTF-8),
// decoded with new String(bytes, UTF_8), which reads malformed bytes as U+FFFD rather than
// refuse them. An English text "_:context\ntext" is `text` in `context` (JOSM's trc), split at
// the first line break; the table key is the whole string. JOSM leaves both "untranslated" and
// "the same as the English" out of its table (it shows the English for either), keeps the first
// translation of a text the English file has twice, and refuses a language whose file gives no
// singular text a translation.

#include "errors/Result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace cl::bundle {

// Why a pair of files does not read, or a translation cannot be written (Error::fault of
// ErrorKind::LangFileUnreadable and ErrorKind::LangTextUnwritable). Each fault JOSM's reader
// meets makes it refuse the language, or (NoEnglishForms) fail with an exception.
enum class LangFault : uint16_t {
    None,
    // Reading: `offset` is where, in the file the fault names.
    EnglishCutShort,    // the English file ends inside a length, a count or a text
    LanguageCutShort,   // the language file ends inside a length, a count or a text
    LanguageEndsEarly,  // the language file ends where the English file has another entry
    LanguageRunsOn,     // the language file goes on where the English file ends
    NoPluralMark,       // the English file begins its plural part here, the language file does not
    NoEnglishForms,     // a plural entry of the English file with no form, given a translation
    // Writing: the English text in `detail`.
    TextTooLong,     // a text longer than its length field allows: `expected` its size, `limit` the most
    TextNotUtf8,     // not well-formed UTF-8 (a stray byte, a lone surrogate): JOSM would show U+FFFD
    TooManyForms,    // a plural translation with more forms than its count byte allows (`expected`, `limit`)
    FormsForSingular,  // more than one text given for an entry of the singular part
};

enum class LangState : uint8_t {
    Untranslated,   // 0x0000 / 0x00
    SameAsEnglish,  // 0xFFFE / 0xFE: the translator kept the English
    Translated,
};

struct LangEntry {
    // The English text split as JOSM splits a table key: "_:context\ntext" has a context.
    bool hasContext = false;
    std::string context;
    // One text in the singular part; in the plural part the forms (singular, plural) of the
    // English file, none for an entry the English file gives no form (JOSM reads such an
    // entry and never looks it up).
    std::vector<std::string> english;
    bool plural = false;
    LangState state = LangState::Untranslated;
    // The translation: one text, or the forms in the language's plural order; the English
    // forms for SameAsEnglish; empty when untranslated.
    std::vector<std::string> translation;
    // The entry's bytes in the language file, written back unchanged while its translation is
    // kept: a text that was not well-formed UTF-8 (read as JOSM reads it, with U+FFFD) keeps its
    // bytes. Empty when no language file was read.
    std::string record;
    // Some text of the entry (English or translation) is not well-formed UTF-8: its text here
    // holds U+FFFD where JOSM's does.
    bool lossy = false;
};

// A text as JOSM's tables know it: the key ("_:context\ntext", or the text) and the table.
struct LangKey {
    std::string lookup;
    bool plural = false;

    bool operator<(const LangKey& other) const
    {
        return std::tie(plural, lookup) < std::tie(other.plural, other.lookup);
    }
    bool operator==(const LangKey& other) const { return plural == other.plural && lookup == other.lookup; }
};

LangKey SingularKey(std::string_view text, std::optional<std::string_view> context = std::nullopt);
// A plural text is keyed by its English singular form.
LangKey PluralKey(std::string_view singular, std::optional<std::string_view> context = std::nullopt);
LangKey KeyOf(const LangEntry& entry);

struct LangFile {
    // Every entry of the English file in its order: the singular part, then the plural part.
    std::vector<LangEntry> entries;
    // The English file has the mark that begins the plural part (it may have no entry after it).
    bool hasPluralPart = false;

    // The first entry with this key: the one whose translation JOSM takes.
    const LangEntry* Find(const LangKey& key) const;
};

// Reads a language file beside its English file, as JOSM reads the pair; without a language
// file (a language the program has no file for), every entry is untranslated. A fault gives
// ErrorKind::LangFileUnreadable with the LangFault in `fault` and its place in `offset`; the
// caller names the files (`path` the language file, `other` the English one). Memory is
// bounded by the two files' sizes, whatever their lengths claim.
Result<LangFile> ReadLangFiles(std::string_view english, std::optional<std::string_view> language);

// Translations keyed by their English text: one text for a singular entry, the forms in the
// language's plural order for a plural one. An empty text (all forms empty) writes the entry
// as untranslated, as JOSM reads a text of length 0; a translation equal to the English (every
// form equal) is written as the same as the English, as JOSM's own files have it.
using LangTranslations = std::map<LangKey, std::vector<std::string>>;

// Why `forms` cannot be written as the translation of `entry` (None when it can).
LangFault CheckLangTranslation(const LangEntry& entry, const std::vector<std::string>& forms);

// The language file for `file`'s English file: every entry in the English file's order, with
// the translation `translations` gives its key, else the one it had (its bytes unchanged).
// Keys the English file does not have are left out. A translation that cannot be written gives
// ErrorKind::LangTextUnwritable (the fault, the English text in `detail`) and no file.
Result<std::string> WriteLangFile(const LangFile& file, const LangTranslations& translations);

// `bytes` as Java's new String(bytes, UTF_8) reads them, in UTF-8: each malformed sequence is
// one U+FFFD, as Java's decoder cuts them. `lossy` tells whether there was one.
std::string DecodeUtf8AsJava(std::string_view bytes, bool& lossy);

}  // namespace cl::bundle
