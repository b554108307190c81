#pragma once
// Which .properties files of a program are resource bundles, grouped in families of language
// variants; the source of each family, its existing variant for a catalogue's language and the
// name of the variant to write.
//
// Paths are '/'-separated and relative to the program: jar entries, or files of a folder
// input. A file inside a jar of a folder input is named by the jar's path, "!/" and the entry
// ("lib/app.jar!/app/Messages.properties"), as Java's jar URLs do; bundle base names are matched
// from the root of the jar. A class path reads the jars of a program as one tree, so a family may
// gather files of one name from several jars (FindBundleFamilies says when).

#include "bundle/LocaleTag.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace cl::bundle {

enum class BundleLayout : uint8_t {
    LocaleSuffix,  // app/Messages.properties, app/Messages_de.properties, app/Messages_pt_BR.properties
    LocaleFolder,  // lang/en/menu.properties, lang/de/menu.properties
};

struct BundleMember {
    std::string path;
    std::optional<LocaleTag> locale;  // none for the base file
};

struct BundleFamily {
    BundleLayout layout = BundleLayout::LocaleSuffix;
    // LocaleSuffix: the folder of the files ("app/"); LocaleFolder: the folder that holds the
    // language folders ("lang/"). Empty at the root; otherwise it ends with '/'.
    std::string folder;
    // LocaleSuffix: the base name without locale and extension ("Messages"); LocaleFolder: the
    // file name ("menu.properties").
    std::string baseName;
    // The base file first (a suffix family may have one), then the variants by locale.
    std::vector<BundleMember> members;
    // The base name appears as a string literal of the program ("app.Messages").
    bool namedInCode = false;
    // LocaleFolder: the separator of the language folders' names ('_' or '-').
    char separator = '_';
    // The member the texts come from: the base file, else the English variant (en, en_US,
    // en_GB). None: the family is not offered, and the summary names it.
    std::optional<std::size_t> source;

    // How the summary names the family: "app/Messages", "lang/*/menu.properties".
    std::string Name() const;
    const BundleMember* Source() const { return source ? &members[*source] : nullptr; }
};

// Whether a text is a string literal of some class of the program.
using IsStringLiteral = std::function<bool(std::string_view)>;

// The keys a .properties file holds; none when it cannot be read.
using KeysOf = std::function<std::optional<std::set<std::string>>(const std::string& path)>;

// The bundle families among `paths`, ordered by name. A .properties file is a bundle when it
// belongs to a family of two files or more in either layout, or when its base name appears as
// a string literal with '.' or '/' between the parts: the whole path from the root, or (for a
// name of two parts or more) its end, for a folder input whose classes lie deeper
// ("classes/app/Messages.properties" for "app.Messages"). Any other .properties file is
// configuration and is left out.
//
// Files of one name at the same place in several jars of a folder are one family, as a class
// path reads them, when exactly one of those jars supplies a source (base or English file) and
// every other jar's files, none of them a source, mostly hold keys of that source (`keysOf`; at
// least half of their keys together) and add no language the source's jar has: the translations
// of a program kept in a jar of their own beside the jar with its English texts. Two jars with a
// source each, or whose files hold other keys, are two libraries' bundles that happen to share a
// name, and each stays a family of its own jar. The joined family is named and placed as its
// source's: a new variant goes beside the source. A file alone in its jar joins such a family
// like any other, and loose files of a folder never do (where their class path begins is not
// known). Without `keysOf` no family crosses a jar.
std::vector<BundleFamily> FindBundleFamilies(const std::vector<std::string>& paths, const IsStringLiteral& isLiteral,
                                             const KeysOf& keysOf = {});

// The locales a run in a catalogue's language looks its bundles up in, most specific first and
// without the base file, as ResourceBundle.Control.getCandidateLocales lists them: "zh_CN" gives
// zh_Hans_CN, zh_Hans, zh_CN, zh (Java supplies the script of a Chinese country, and the country
// of a Chinese script); "de_DE" gives de_DE, de. Empty when the language is no locale. The
// default locale's chain, which Java tries only when nothing but the base file was found, is the
// same list for a run in that language.
std::vector<LocaleTag> LookupOrder(std::string_view language);

// The member that holds the family's texts for a catalogue's language: the first of its
// LookupOrder the family has ("zh_CN": the zh_CN variant, else the zh one), or null. It is
// what a run in that language reads, and so what a translation goes into.
const BundleMember* ExistingVariant(const BundleFamily& family, std::string_view language);

// The path of the variant to write for a catalogue's language: "app/Messages_zh_CN.properties"
// beside the others; in a folder layout a folder named like the others ("lang/zh/" when they
// all name a language alone, "lang/zh_CN/" otherwise) and the same file name. None when the
// language is no locale.
std::optional<std::string> VariantPath(const BundleFamily& family, std::string_view language);
// The locale that path names: the catalogue's, or its language alone in a folder layout whose
// folders all name a language alone.
std::optional<LocaleTag> VariantLocale(const BundleFamily& family, std::string_view language);

}  // namespace cl::bundle
