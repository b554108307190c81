#pragma once
// What a text looks like on its own, when where it goes does not settle what it is: data (no
// letter at all, or control characters a sentence does not hold) or prose (words a person
// reads). Texts are UTF-8; a concatenation recipe's U+0001 and U+0002 markers are values the
// program fills in, not part of the text.

#include "usage/Use.h"

#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace cl::usage {

// No letter, or a control character other than tab, line feed and carriage return. The text
// of a formatting pattern (`format`) has letters only outside its placeholders: "%s[]" and
// "{0}: {1,number}" are data, the letters of their conversions are not words.
bool IsData(std::string_view utf8, FormatStyle format = FormatStyle::None);

// Reads as something written for people: two words side by side ("Save as"), a capitalised
// word ("Cancel", "Error:"), or letters of a script without case (Chinese, Japanese...).
// Identifiers, paths and dotted names do not ("os.name", "getName", "UTF-8").
bool ReadsAsProse(std::string_view utf8) noexcept;

// Shaped like a piece of code rather than words, so that a text reaching only calls the
// analysis cannot follow is kept from the translator even when ReadsAsProse takes it: layout
// constraints ("p, 2dlu, p", "pref:grow, 4dlu, fill:p", "insets 0, wrap 2", "[grow,fill]"),
// a lone identifier ("optionGroup", "info", "caret-end-line", "3des-cbc", "tagging_", "os.name",
// "text/plain"), and words most of which are such tokens or command-line flags ("-n -e",
// "java -jar app.jar"). Not code: a lone capitalised word ("Cancel", "Console", "Error:"), a
// lone word of capitals without digits or underscores ("OK", "PDF"), a word in brackets or
// followed by sentence punctuation ("(none)", "done."), and anything holding a capitalised
// word beside others or letters outside ASCII: people read those. A lone capitalised word
// that is a name (log4j's "Console" appender) is told apart by where it goes, not by its shape.
bool LooksLikeCode(std::string_view utf8);

// Shapes that are never prose whatever call they reach, with the use a withheld text is noted
// under: Name for an address (a URL or namespace "http://...", a URL scheme "reference:file:",
// "jar:file:", a URN "urn:color:0x000000") and for the prefix of an identifier the program
// completes ("tagging_", "com.example."); Data for markup whose text holds no letter
// ("<html><base href=\"", "<style>...</style>", "</b>"), CSS ("strong, b", "a { color: red }",
// "font-weight: bold;") and a separator or unit put between values (" x ", " Mb", " - ").
// HTML that holds words for people ("<html><b>Save</b> the file?") is not.
std::optional<Use> NeverProseUse(std::string_view utf8);
inline bool NeverProse(std::string_view utf8)
{
    return NeverProseUse(utf8).has_value();
}

// The shape of a resource-bundle value when no code flow tells what it is for: true for data
// the program reads rather than shows. Data: no letter ("12", "255,0,0"), what NeverProse
// says, paths with a separator and an extension ("resources/actions/zoom-in.png",
// "/icons/x.gif") or a file name ("zoom.png"), colours ("#BBBBBB", "0xff00ff", "rgb(1,2,3)"),
// booleans ("true", "FALSE"), numbers and sizes ("1.5", "10px", "50%"), names of classes and
// constants ("com.x.Foo", "maker#bed140x190", "LENGTH_UNIT", "CENTIMETER"), SVG path data
// ("M0,0 v1 h1 v-1 z"), keystrokes ("ctrl shift S", "control alt DELETE", "Ctrl+S"), and any
// value under a key that names a resource ("*.icon", "*.image", "*.cursor", "*Icon", "*.model",
// "*.class", "*.url", "*.path"...) or a key binding ("*AcceleratorKey", "*.accelerator",
// "*MnemonicKey", "*.mnemonic", "*.shortcut", "*.keystroke") when the value is not prose.
// A single word in lower case ("centimeter") or capitals of five letters or more ("DELETE")
// is data unless the key's last part names something shown ("label", "text", "title",
// "name", "tooltip", "message"...): such a key's values are what people read.
bool BundleValueIsData(std::string_view key, std::string_view value);

// A .properties family (the keys and values of its source file) whose values are mostly data
// is a table the program reads, not texts, even when the code names its keys: true when more
// than half of the values that hold a letter are data by BundleValueIsData, or when no value
// holds a letter but some value is there.
bool FamilyIsTable(std::span<const std::pair<std::string_view, std::string_view>> keyValues);

}  // namespace cl::usage
