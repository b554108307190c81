#pragma once
// What a program's resource bundles offer for translation, and the language variants a
// translation writes back. A program keeps its interface texts in .properties families
// (Messages.properties, Messages_de.properties, ...) and looks them up by key: the values of
// each family's source are offered beside the class literals, the program's own variant for the
// catalogue's language gives a start, and a translation becomes one more variant that Java picks
// up by itself when the program runs in that language.

#include "catalogue/Program.h"
#include "bundle/BundleFamilies.h"
#include "bundle/Properties.h"
#include "errors/Error.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace cl::catalogue {

// A .properties file of the program: its path ('/'-separated; "lib/app.jar!/a/M.properties" for
// one inside a jar of a folder input) and bytes.
struct PropertiesFileBytes {
    std::string path;
    std::string bytes;
    // The program holds the file but it could not be read (an entry of an unknown method, say):
    // it still belongs to its family, so that the family is not taken for one without a source;
    // the reason is the program's to name (Program::unreadable).
    bool unreadable = false;
};

// The .properties files of a loaded program, with those it could not read.
std::vector<PropertiesFileBytes> PropertiesFilesOf(const Program& program);

// One value a bundle offers: the source's value of one key.
struct BundleText {
    std::size_t family = 0;  // into BundleAnalysis::families
    std::string file;        // the source's path
    std::string key;
    std::string value;       // UTF-8, escapes decoded: the text as the program receives it
    bool javaFormat = false; // a MessageFormat pattern with arguments
    // Its family holds mostly settings (paths, colours, switches, sizes): a value of it is a
    // text only where a lookup of its key shows it.
    bool settings = false;
    // The program's own translation of it, from its variant for the catalogue's language.
    std::optional<std::string> existing;
};

struct BundleAnalysis {
    std::vector<bundle::BundleFamily> families;
    // Per family: the source parsed (empty entries when it has none or it could not be read).
    std::vector<bundle::PropertiesFile> sources;
    std::vector<BundleText> texts;  // families in order, keys in their source's order
    // Every key of every file of every family: a class literal equal to one is how the program
    // looks a text up, never a text to translate.
    std::set<std::string, std::less<>> keys;
    std::vector<std::string> withoutSource;  // families with neither a base nor an English file
    // Per family: whether its values are offered. A lone file found only by its name in the
    // code, fewer than one in ten of whose keys the code names, is a table the program reads
    // (time zone names by zone id, flags by code): its values are data, and its name goes to
    // `tables`.
    std::vector<bool> offered;
    std::vector<std::string> tables;
    std::vector<Error> unreadable;           // files Java would refuse (BadEscape, BundleCutShort)
    std::size_t notOffered = 0;              // values left as they are (too short, no letter, keys)
};

// Finds the families among `files`, reads them, and gathers what they offer for `language` (a
// catalogue's Language, such as "zh_CN"). `isLiteral` tells the string constants that could name
// a bundle; `isClassText`, every text a class holds as a string constant.
BundleAnalysis AnalyseBundles(const std::vector<PropertiesFileBytes>& files, const bundle::IsStringLiteral& isLiteral,
                              const bundle::IsStringLiteral& isClassText, std::string_view language);

// The variant of one family for `language`, to be written at `path`: in place of the family's
// existing variant of that name, or added after the source.
struct VariantFile {
    std::string path;
    std::string bytes;
    std::string source;     // the family's source, which a new file follows
    bool replaces = false;  // a file of that name exists
    std::size_t translated = 0;  // values that are translations, not the program's own
};

// Each family with at least one translated value gets its variant: every key of the source in
// its order with its comments; each value the translation (`translationOf` the text, nullopt
// when there is none), else the program's existing value for that language, else the source's.
std::vector<VariantFile> WriteVariants(
    const BundleAnalysis& analysis, const std::vector<PropertiesFileBytes>& files, std::string_view language,
    const std::function<std::optional<std::string>(const BundleText&)>& translationOf);

}  // namespace cl::catalogue
