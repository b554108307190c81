#pragma once
// What a program's resource bundles offer for translation, and the language variants a
// translation writes back. A program keeps its interface texts in .properties families
// (Messages.properties, Messages_de.properties, ...) and looks them up by key: the values of
// each family's source are offered beside the class literals, the program's own variant for the
// catalogue's language gives a start, and a translation goes into the file Java reads first when
// the program runs in that language (the program's own, else one more variant), or into the
// source itself for a program that picks its language from its own settings.

#include "catalogue/Program.h"
#include "bundle/BundleFamilies.h"
#include "bundle/Properties.h"
#include "errors/Error.h"

#include <cstddef>
#include <cstdint>
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

// What is decided for a bundle's value where no lookup of its key is seen to read it.
enum class WithoutLookup : uint8_t {
    ShapeDecides,     // kept when it reads as a path, a colour, a switch, a keystroke, a name
    Offered,          // another language of its family translates it: a text, whatever its shape
    KeptForShape,     // one letter
    KeptForSettings,  // its family holds mostly settings (paths, colours, switches, sizes)
};

// One value a bundle offers: the source's value of one key.
struct BundleText {
    std::size_t family = 0;  // into BundleAnalysis::families
    std::string file;        // the source's path
    std::string key;
    std::string value;       // UTF-8, escapes decoded: the text as the program receives it
    bool javaFormat = false; // a MessageFormat pattern with arguments
    // Whether it is kept as the program's where no lookup shows it: its shape (one letter, a
    // path, ...) or its family's (mostly settings) says so, unless another language of its
    // family gives it a value of its own, the program's translators having taken it for a text.
    WithoutLookup withoutLookup = WithoutLookup::ShapeDecides;
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

// Where a family's translations go.
enum class BundleTarget : uint8_t {
    // The variant a run in the catalogue's language reads: the program's own file for it when
    // it has one (Messages_zh for zh_CN when there is no Messages_zh_CN), else a new one.
    Variant,
    // The family's source itself, for a program that picks its language from its own settings
    // rather than from the locale it runs in: no variant is added.
    Base,
};

// Whether a run of the translated program in the catalogue's language (its default locale that
// language) reads the file written, and why.
enum class RunFinds : uint8_t {
    Exact,     // yes: the file for the language itself, the first one looked in
    Fallback,  // yes: a less specific one (Messages_zh for zh_CN), the first the family has
    Base,      // yes: the base file, where the lookup ends: the family has no file for the language
    // No: the program's own file for the language (`hiddenBy`) is read first, and holds keys
    // whose translations went into the base file.
    HiddenByVariant,
    // No: the source is another language's file (Messages_en, lang/en/), which a run in the
    // catalogue's language reads only when the program itself picks that language.
    OtherLanguage,
};

// What was written for one family: the file and whether a run in the language finds it.
struct BundleFileWritten {
    std::string family;          // as the summary names it (BundleFamily::Name)
    std::string path;
    bool replaces = false;       // a file of that name was there: the program's own, updated
    std::size_t translated = 0;  // values that are translations, not the program's own
    RunFinds finds = RunFinds::Exact;
    std::string hiddenBy;        // HiddenByVariant: the program's file read first
    std::size_t hidden = 0;      // HiddenByVariant: translated keys that file holds

    bool Found() const { return finds == RunFinds::Exact || finds == RunFinds::Fallback || finds == RunFinds::Base; }
};

// The file of one family that takes its translations, with its new bytes: in place of a file of
// the program (`written.replaces`), or added after the source.
struct VariantFile {
    BundleFileWritten written;
    std::string bytes;
    std::string source;  // the family's source, which a new file follows
};

// Each family with at least one translated value gets its translations written (`target`):
// into the file a run in `language` reads first (BundleFamilies' ExistingVariant), keeping its
// keys, comments and order and adding the source's keys it lacks; else into a new variant for
// `language` with every key of the source in its order with its comments; or, for Base, into
// the source itself, keeping the same. Each value is the translation (`translationOf` the text,
// nullopt when there is none), else the file's own value (a new variant: the source's).
std::vector<VariantFile> WriteVariants(
    const BundleAnalysis& analysis, const std::vector<PropertiesFileBytes>& files, std::string_view language,
    const std::function<std::optional<std::string>(const BundleText&)>& translationOf,
    BundleTarget target = BundleTarget::Variant);

}  // namespace cl::catalogue
