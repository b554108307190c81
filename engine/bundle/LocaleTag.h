#pragma once
// The locale part of a bundle's name, as ResourceBundle.Control.toBundleName writes it after
// the base name ("de", "pt_BR", "sr_Latn_RS", "ja_JP_JP", "de__POSIX"), or as a folder per
// language names it (the same, or with '-' as Locale.toLanguageTag writes: "pt-BR").

#include <optional>
#include <string>
#include <string_view>

namespace cl::bundle {

struct LocaleTag {
    std::string language;  // 2 or 3 lower-case letters
    std::string script;    // "Latn": an upper-case letter and three lower-case ones, or empty
    std::string country;   // 2 upper-case letters or 3 digits, or empty
    std::string variant;   // letters and digits, parts joined by '_', or empty

    // As toBundleName joins the parts, with `separator` between them.
    std::string Text(char separator = '_') const;
    bool LanguageOnly() const { return script.empty() && country.empty() && variant.empty(); }
    bool operator==(const LocaleTag&) const = default;
};

// The tag when the whole text is one, with `separator` between its parts ('-' takes no
// variant).
std::optional<LocaleTag> ParseLocaleTag(std::string_view text, char separator = '_');

// The language of a catalogue (a PO "Language" header: "zh_CN", "zh-CN", "pt_BR",
// "sr@latin", "de_DE.UTF-8"): the code set and modifier dropped, '-' read as '_'.
std::optional<LocaleTag> LanguageOfCatalogue(std::string_view language);

}  // namespace cl::bundle
