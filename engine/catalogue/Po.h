#pragma once
// gettext PO catalogues: writing one for the texts of a program, and reading a translated one
// back through libgettextpo, whatever charset its header declares. All texts here are UTF-8.

#include "errors/Result.h"
#include "files/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cl::catalogue {

// One place a text comes from: an entry of the program and a constant-pool index.
// One place a text comes from: an entry of the program and a constant-pool index, or a bundle
// file and the key of the value ("app/Messages.properties:menu.file").
struct PoReference {
    std::string file;
    uint32_t line = 0;
    std::string key{};  // a bundle value's key; the line is not written then
};

// One entry of a catalogue, as written and as read back. Texts are UTF-8.
struct PoEntry {
    std::string msgid{};
    std::string msgstr{};  // the first form for a plural entry
    std::vector<std::string> extractedComments{};  // "#." lines, one per element
    std::vector<PoReference> references{};
    bool hasContext = false;
    std::string context{};  // msgctxt
    bool plural = false;
    std::string msgidPlural{};
    std::vector<std::string> msgstrPlural{};        // every form of a plural entry, msgstr[0] first
    std::vector<std::string> translatorComments{};  // "# " lines, one per element
    std::vector<std::string> flags{};  // "#," flags other than fuzzy, such as java-format
    bool fuzzy = false;
    bool obsolete = false;  // written with "#~": kept, but no longer in the program
    // What the text was when the translation was made ("#|" lines), as msgmerge leaves it.
    bool hasPreviousContext = false;
    std::string previousContext{};
    bool hasPreviousMsgid = false;
    std::string previousMsgid{};
};

// A message as read from a translated catalogue.
using PoMessage = PoEntry;

struct PoHeader {
    std::string project;   // Project-Id-Version
    std::string language;  // Language, e.g. "zh_CN"
    std::string generator; // X-Generator
};

// The language a catalogue is for when it does not say.
inline constexpr const char* kDefaultLanguage = "zh_CN";

// The Plural-Forms value gettext uses for `language` ("zh_CN", "pt_BR", "de", ...).
std::string PluralFormsFor(std::string_view language);

// The whole catalogue as PO text (UTF-8), laid out as gettext's own tools write it.
std::string WritePo(const PoHeader& header, const std::vector<PoEntry>& entries);

// A catalogue as read: its messages converted to UTF-8, the header entry left out, obsolete
// entries included.
struct PoCatalogue {
    std::string charset = "UTF-8";  // as declared (upper-cased), "UTF-8" when absent
    std::string language;           // the header's Language, empty when it has none
    std::vector<PoMessage> messages;
};

// Parses PO text; `displayPath` names it in errors: CatalogueSyntax (with the line and
// libgettextpo's words) or CatalogueCharset (with the charset).
Result<PoCatalogue> ReadPo(std::string_view text, const std::string& displayPath);
// Reads the file through `fs` and parses it; a file that cannot be read is the file's error.
Result<PoCatalogue> ReadPoFile(const std::string& path, FileSystem& fs = NativeFileSystem());

}  // namespace cl::catalogue
