#pragma once
// gettext PO catalogues: writing one for the texts of a program, and reading a translated one
// back through libgettextpo, whatever charset its header declares. All texts here are UTF-8.

#include "errors/FileError.h"
#include "files/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cl::catalogue {

// One place a text comes from: an entry of the program and a constant-pool index.
struct PoReference {
    std::string file;
    uint32_t line = 0;
};

struct PoEntry {
    std::string msgid;
    std::string msgstr;
    std::vector<std::string> extractedComments;  // "#." lines, one per element
    std::vector<PoReference> references;
};

struct PoHeader {
    std::string project;   // Project-Id-Version
    std::string language;  // Language, e.g. "zh_CN"
    std::string generator; // X-Generator
};

// The Plural-Forms value gettext uses for `language` ("zh_CN", "pt_BR", "de", ...).
std::string PluralFormsFor(std::string_view language);

// The whole catalogue as PO text (UTF-8), laid out as gettext's own tools write it.
std::string WritePo(const PoHeader& header, const std::vector<PoEntry>& entries);

// A message as read from a translated catalogue, converted to UTF-8.
struct PoMessage {
    std::string msgid;
    std::string msgstr;  // the first form for a plural entry
    bool fuzzy = false;
    bool obsolete = false;
    bool plural = false;
};

struct PoReadError {
    enum class Kind {
        CannotRead,  // the file could not be read; `file` says why
        Syntax,      // the text is no valid PO; `line` says where
        Charset,     // the declared charset is unknown or a text does not fit it
    };
    Kind kind = Kind::Syntax;
    std::string path;
    std::size_t line = 0;  // 0 when unknown
    std::string reason;  // libgettextpo's words, or the charset that failed
    FileError file;
};

struct PoReadResult {
    bool ok = false;
    PoReadError error;                 // when !ok
    std::string charset;               // as declared (upper-cased), "UTF-8" when absent
    std::vector<PoMessage> messages;   // header entry left out, obsolete entries included
};

// Parses PO text; `displayPath` names it in errors.
PoReadResult ReadPo(std::string_view text, const std::string& displayPath);
// Reads the file through `fs` and parses it.
PoReadResult ReadPoFile(const std::string& path, FileSystem& fs = NativeFileSystem());

}  // namespace cl::catalogue
