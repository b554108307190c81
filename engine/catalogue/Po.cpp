// PO writing follows gettext's own layout (escapes, a multi-line string split after each
// "\n", references wrapped at 79 columns), so that diffs against msgmerge output stay small.
// Reading goes through libgettextpo, which only reads named files: the bytes, already read
// through the engine's FileSystem, are handed to it as an anonymous in-memory file.

#include "catalogue/Po.h"

#include "files/FileOps.h"
#include "text/ControlEscapes.h"
#include "files/FileSystem.h"

#include <gettext-po.h>
#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace cl::catalogue {

namespace {

constexpr std::size_t kPageWidth = 79;

std::string Escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\a': out += "\\a"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\v': out += "\\v"; break;
            default: out += c; break;
        }
    }
    return out;
}

// Splits an escaped line at spaces so that no quoted piece passes the page width, as gettext
// does; a piece with no space stays whole. Never splits inside an escape sequence.
void AppendWrapped(std::string& out, const std::string& escaped, std::size_t room)
{
    std::size_t start = 0;
    while (escaped.size() - start > room) {
        std::size_t cut = std::string::npos;
        for (std::size_t i = start; i < start + room; ++i) {
            if (escaped[i] == ' ')
                cut = i + 1;
        }
        if (cut == std::string::npos || cut == start)
            break;
        out += '"';
        out.append(escaped, start, cut - start);
        out += "\"\n";
        start = cut;
    }
    out += '"';
    out.append(escaped, start, std::string::npos);
    out += "\"\n";
}

void AppendString(std::string& out, std::string_view keyword, std::string_view text)
{
    // Pieces end after each "\n"; the last piece may be empty and is then dropped.
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t nl = text.find('\n', start);
        const std::size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
        pieces.push_back(text.substr(start, end - start));
        start = end;
    }
    const std::size_t firstRoom = kPageWidth - keyword.size() - 3;
    if (pieces.size() <= 1 && Escape(text).size() <= firstRoom) {
        out.append(keyword);
        out += " \"" + Escape(text) + "\"\n";
        return;
    }
    out.append(keyword);
    out += " \"\"\n";
    for (const std::string_view piece : pieces)
        AppendWrapped(out, Escape(piece), kPageWidth - 2);
}

// A comment, each of its lines behind the comment's mark: a line break inside a comment (a
// class name can hold one) starts another comment line, never an entry.
void AppendComment(std::string& out, std::string_view mark, std::string_view comment)
{
    std::size_t start = 0;
    while (true) {
        const std::size_t end = comment.find_first_of("\r\n", start);
        const std::string_view line = comment.substr(start, end == std::string_view::npos ? end : end - start);
        out.append(mark);
        if (!line.empty()) {
            out += ' ';
            out.append(line);
        }
        out += '\n';
        if (end == std::string_view::npos)
            break;
        start = end + (comment.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}

// A name or key holding a line break would end the comment line it stands in, and what follows
// would be read as entries nobody extracted: control characters are escaped (gettext's readers
// take a name as it stands, so this is for people; a program's loader refuses names with
// control characters before they get here). gettext encloses file names holding spaces in
// FIRST STRONG ISOLATE ... POP DIRECTIONAL ISOLATE, so that a reader can still tell where the
// name ends; a bundle key holding spaces or colons is enclosed the same way, with its file, so
// that the reference stays one.
std::string ReferenceText(const PoReference& ref)
{
    if (!ref.key.empty()) {
        // A key may hold line breaks and tabs (escaped in its file); a reference is one line.
        const std::string key = WithControlsEscaped(ref.key);
        const std::string file = WithControlsEscaped(ref.file);
        const std::string text = file + ":" + key;
        if (file.find_first_of(" \t") != std::string::npos || key.find_first_of(" :\\") != std::string::npos)
            return "\u2068" + text + "\u2069";
        return text;
    }
    std::string name = WithControlsEscaped(ref.file);
    if (name.find_first_of(" \t") != std::string::npos)
        name = "\u2068" + name + "\u2069";
    return name + ":" + std::to_string(ref.line);
}

void AppendReferences(std::string& out, const std::vector<PoReference>& refs)
{
    std::string line;
    for (const PoReference& ref : refs) {
        const std::string text = ReferenceText(ref);
        if (!line.empty() && line.size() + 1 + text.size() > kPageWidth) {
            out += line + "\n";
            line.clear();
        }
        line += line.empty() ? "#: " + text : " " + text;
    }
    if (!line.empty())
        out += line + "\n";
}

std::string Lowercase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// A keyword and its string, every line of it prefixed (with "#~ " for an obsolete entry, "#| "
// or "#~| " for the text before a change).
void AppendPrefixed(std::string& out, std::string_view prefix, std::string_view keyword, std::string_view text)
{
    if (prefix.empty()) {
        AppendString(out, keyword, text);
        return;
    }
    std::string plain;
    AppendString(plain, keyword, text);
    std::size_t start = 0;
    while (start < plain.size()) {
        const std::size_t end = plain.find('\n', start);
        out.append(prefix);
        out.append(plain, start, end - start + 1);
        start = end + 1;
    }
}

void AppendEntry(std::string& out, const PoEntry& entry)
{
    for (const std::string& comment : entry.translatorComments)
        AppendComment(out, "#", comment);
    for (const std::string& comment : entry.extractedComments)
        AppendComment(out, "#.", comment);
    AppendReferences(out, entry.references);
    std::string flags;
    if (entry.fuzzy)
        flags += ", fuzzy";
    for (const std::string& flag : entry.flags)
        flags += ", " + flag;
    if (!flags.empty())
        out += "#" + flags + "\n";
    const std::string_view prefix = entry.obsolete ? "#~ " : "";
    const std::string_view previous = entry.obsolete ? "#~| " : "#| ";
    if (entry.hasPreviousContext)
        AppendPrefixed(out, previous, "msgctxt", entry.previousContext);
    if (entry.hasPreviousMsgid)
        AppendPrefixed(out, previous, "msgid", entry.previousMsgid);
    if (entry.hasContext)
        AppendPrefixed(out, prefix, "msgctxt", entry.context);
    AppendPrefixed(out, prefix, "msgid", entry.msgid);
    if (entry.plural) {
        AppendPrefixed(out, prefix, "msgid_plural", entry.msgidPlural);
        for (std::size_t i = 0; i < entry.msgstrPlural.size(); ++i)
            AppendPrefixed(out, prefix, "msgstr[" + std::to_string(i) + "]", entry.msgstrPlural[i]);
    } else {
        AppendPrefixed(out, prefix, "msgstr", entry.msgstr);
    }
}

}  // namespace

std::string PluralFormsFor(std::string_view language)
{
    const std::string full = Lowercase(language);
    const std::string lang = full.substr(0, full.find_first_of("_-@."));
    struct Rule {
        const char* languages;  // space-separated, each surrounded by spaces when searched
        const char* forms;
    };
    static const Rule kRules[] = {
        {" ja ko zh vi th id ms lo my km ", "nplurals=1; plural=0;"},
        {" fr oc ", "nplurals=2; plural=(n > 1);"},
        {" ru uk be sr hr bs ",
         "nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);"},
        {" cs sk ", "nplurals=3; plural=(n==1) ? 0 : (n>=2 && n<=4) ? 1 : 2;"},
        {" pl ", "nplurals=3; plural=(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);"},
        {" lt ", "nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && (n%100<10 || n%100>=20) ? 1 : 2);"},
        {" lv ", "nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n != 0 ? 1 : 2);"},
        {" ro ", "nplurals=3; plural=(n==1 ? 0 : (n==0 || (n%100 > 0 && n%100 < 20)) ? 1 : 2);"},
        {" sl ", "nplurals=4; plural=(n%100==1 ? 0 : n%100==2 ? 1 : n%100==3 || n%100==4 ? 2 : 3);"},
        {" ga ", "nplurals=5; plural=n==1 ? 0 : n==2 ? 1 : (n>2 && n<7) ? 2 :(n>6 && n<11) ? 3 : 4;"},
        {" ar ",
         "nplurals=6; plural=n==0 ? 0 : n==1 ? 1 : n==2 ? 2 : n%100>=3 && n%100<=10 ? 3 : n%100>=11 ? 4 : 5;"},
    };
    if (full == "pt_br")
        return "nplurals=2; plural=(n > 1);";
    for (const Rule& rule : kRules) {
        if (std::string_view(rule.languages).find(" " + lang + " ") != std::string_view::npos)
            return rule.forms;
    }
    return "nplurals=2; plural=(n != 1);";
}

std::string WritePo(const PoHeader& header, const std::vector<PoEntry>& entries)
{
    std::string out;
    out += "# Translations of " + header.project + ".\n";
    out += "#\n";
    out += "msgid \"\"\n";
    out += "msgstr \"\"\n";
    const std::string fields[] = {
        "Project-Id-Version: " + header.project,
        "Report-Msgid-Bugs-To: ",
        "PO-Revision-Date: ",
        "Last-Translator: ",
        "Language-Team: ",
        "Language: " + header.language,
        "MIME-Version: 1.0",
        "Content-Type: text/plain; charset=UTF-8",
        "Content-Transfer-Encoding: 8bit",
        "Plural-Forms: " + PluralFormsFor(header.language),
        "X-Generator: " + header.generator,
    };
    for (const std::string& field : fields)
        out += "\"" + Escape(field + "\n") + "\"\n";

    for (const PoEntry& entry : entries) {
        out += "\n";
        AppendEntry(out, entry);
    }
    return out;
}

namespace {

// libgettextpo reports through C callbacks and insists that a fatal error never returns, so
// the handler records the first problem and jumps back to the reader.
struct ReadContext {
    std::jmp_buf fatal;
    bool failed = false;
    std::size_t line = 0;
    std::string reason;
};
thread_local ReadContext* tCurrent = nullptr;

void Record(int severity, std::size_t lineno, const char* text)
{
    ReadContext& context = *tCurrent;
    if (severity == PO_SEVERITY_WARNING || context.failed)
        return;
    context.failed = true;
    context.line = lineno == static_cast<std::size_t>(-1) ? 0 : lineno;
    context.reason = text ? text : "";
    while (!context.reason.empty() && context.reason.back() == '\n')
        context.reason.pop_back();
}

void OnError(int severity, po_message_t, const char*, std::size_t lineno, std::size_t, int, const char* text)
{
    Record(severity, lineno, text);
    if (severity == PO_SEVERITY_FATAL_ERROR)
        std::longjmp(tCurrent->fatal, 1);
}

void OnError2(int severity, po_message_t, const char*, std::size_t lineno1, std::size_t, int, const char* text1,
              po_message_t, const char*, std::size_t, std::size_t, int, const char*)
{
    Record(severity, lineno1, text1);
    if (severity == PO_SEVERITY_FATAL_ERROR)
        std::longjmp(tCurrent->fatal, 1);
}

// Holds no locals that a jump back could leave stale.
po_file_t ReadGuarded(const char* path)
{
    static const po_xerror_handler kHandler = {OnError, OnError2};
    if (setjmp(tCurrent->fatal) != 0)
        return nullptr;
    return po_file_read(path, &kHandler);
}

// A file that libgettextpo can open by name and that holds `text`; removed on destruction.
class TextAsFile {
public:
    explicit TextAsFile(std::string_view text)
    {
#if defined(__linux__)
        fd_ = ::memfd_create("classlingo-po", 0);
        if (fd_ >= 0) {
            std::size_t done = 0;
            while (done < text.size()) {
                const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
                if (n <= 0)
                    return;
                done += static_cast<std::size_t>(n);
            }
            path_ = "/proc/self/fd/" + std::to_string(fd_);
            return;
        }
#endif
        std::error_code ec;
        const auto folder = std::filesystem::temp_directory_path(ec);
        if (ec)
            return;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate = folder / ("classlingo-po-" + std::to_string(std::rand()) + ".po");
            if (std::filesystem::exists(candidate, ec))
                continue;
            std::ofstream out(candidate, std::ios::binary);
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            if (out.good()) {
                path_ = candidate.string();
                temporary_ = true;
            }
        }
    }
    ~TextAsFile()
    {
#if defined(__linux__)
        if (fd_ >= 0)
            ::close(fd_);
#endif
        if (temporary_) {
            std::error_code ec;
            std::filesystem::remove(path_, ec);
        }
    }
    TextAsFile(const TextAsFile&) = delete;
    TextAsFile& operator=(const TextAsFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
    bool temporary_ = false;
};

std::string CharsetOf(const char* header)
{
    if (!header)
        return "UTF-8";
    char* field = po_header_field(header, "Content-Type");
    if (!field)
        return "UTF-8";
    std::string value = field;
    std::free(field);
    const std::size_t at = Lowercase(value).find("charset=");
    if (at == std::string::npos)
        return "UTF-8";
    std::string charset = value.substr(at + 8);
    charset = charset.substr(0, charset.find_first_of(" \t;"));
    std::transform(charset.begin(), charset.end(), charset.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    // A template's placeholder, as xgettext leaves it, means plain ASCII.
    if (charset.empty() || charset == "CHARSET" || charset == "UTF8")
        return charset == "UTF8" ? "UTF-8" : "ASCII";
    return charset;
}

bool ValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        for (std::size_t k = 1; k <= n; ++k) {
            if (i + k >= text.size())
                return false;
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        const uint32_t minimum = n == 1 ? 0x80 : n == 2 ? 0x800 : 0x10000;
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

// Converts `text` from `charset` to UTF-8; false when the charset is unknown to iconv or the
// text is not valid in it.
bool ToUtf8(const std::string& charset, std::string_view text, std::string& out)
{
    if (charset == "UTF-8" || charset == "ASCII" || charset == "US-ASCII") {
        out.assign(text);
        return ValidUtf8(text);
    }
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string result(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* dst = result.data();
    std::size_t outLeft = result.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0)
        return false;
    result.resize(result.size() - outLeft);
    out = std::move(result);
    return true;
}

}  // namespace

namespace {

Error CatalogueError(ErrorKind kind, const std::string& path)
{
    Error error(kind, path);
    error.task = ErrorTask::Catalogue;
    return error;
}

// A comment as libgettextpo gives it, lines joined by "\n" with one at the end, one element a
// line.
std::vector<std::string> CommentLines(const char* text)
{
    std::vector<std::string> lines;
    if (text == nullptr || *text == '\0')
        return lines;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t nl = rest.find('\n');
        lines.emplace_back(rest.substr(0, nl));
        if (nl == std::string_view::npos)
            break;
        rest.remove_prefix(nl + 1);
    }
    return lines;
}

// The flags gettext knows by name (c-format, java-format, ...) that the message carries.
std::vector<std::string> FormatFlags(po_message_t message)
{
    std::vector<std::string> flags;
    for (const char* const* type = po_format_list(); type && *type; ++type) {
        if (po_message_is_format(message, *type))
            flags.emplace_back(*type);
    }
    return flags;
}

// Converts every text of a message from the catalogue's charset; false when one does not fit.
bool ReadMessage(po_message_t message, const std::string& charset, PoMessage& m)
{
    auto text = [&](const char* raw, std::string& out) { return ToUtf8(charset, raw ? raw : "", out); };
    m.fuzzy = po_message_is_fuzzy(message) != 0;
    m.obsolete = po_message_is_obsolete(message) != 0;
    m.plural = po_message_msgid_plural(message) != nullptr;
    if (!text(po_message_msgid(message), m.msgid))
        return false;
    if (const char* context = po_message_msgctxt(message)) {
        m.hasContext = true;
        if (!text(context, m.context))
            return false;
    }
    if (m.plural) {
        if (!text(po_message_msgid_plural(message), m.msgidPlural))
            return false;
        for (int i = 0; const char* form = po_message_msgstr_plural(message, i); ++i) {
            m.msgstrPlural.emplace_back();
            if (!text(form, m.msgstrPlural.back()))
                return false;
        }
        if (!m.msgstrPlural.empty())
            m.msgstr = m.msgstrPlural.front();
    } else if (!text(po_message_msgstr(message), m.msgstr)) {
        return false;
    }
    if (const char* previous = po_message_prev_msgctxt(message)) {
        m.hasPreviousContext = true;
        if (!text(previous, m.previousContext))
            return false;
    }
    if (const char* previous = po_message_prev_msgid(message)) {
        m.hasPreviousMsgid = true;
        if (!text(previous, m.previousMsgid))
            return false;
    }
    std::string comments;
    if (!text(po_message_comments(message), comments))
        return false;
    m.translatorComments = CommentLines(comments.c_str());
    if (!text(po_message_extracted_comments(message), comments))
        return false;
    m.extractedComments = CommentLines(comments.c_str());
    for (int i = 0; po_filepos_t position = po_message_filepos(message, i); ++i) {
        PoReference reference;
        if (!text(po_filepos_file(position), reference.file))
            return false;
        const std::size_t line = po_filepos_start_line(position);
        reference.line = line == static_cast<std::size_t>(-1) ? 0 : static_cast<uint32_t>(line);
        m.references.push_back(std::move(reference));
    }
    m.flags = FormatFlags(message);
    return true;
}

}  // namespace

Result<PoCatalogue> ReadPo(std::string_view text, const std::string& displayPath)
{
    const TextAsFile file(text);
    if (file.Path().empty()) {
        Error error = CatalogueError(ErrorKind::CannotOpen, displayPath);
        error.code = std::make_error_code(std::errc::no_space_on_device);
        return error;
    }

    ReadContext context;
    ReadContext* const outer = tCurrent;
    tCurrent = &context;
    po_file_t po = ReadGuarded(file.Path().c_str());
    tCurrent = outer;
    if (context.failed || !po) {
        if (po)
            po_file_free(po);
        Error error = CatalogueError(ErrorKind::CatalogueSyntax, displayPath);
        error.line = context.line;
        error.detail = context.reason.empty() ? "unreadable catalogue" : context.reason;
        return error;
    }
    const std::unique_ptr<std::remove_pointer_t<po_file_t>, void (*)(po_file_t)> owner(po, po_file_free);

    PoCatalogue catalogue;
    // libgettextpo hands out a copy of the header (const only in name): ours to free.
    const char* header = po_file_domain_header(po, nullptr);
    catalogue.charset = CharsetOf(header);
    if (header) {
        if (char* language = po_header_field(header, "Language")) {
            catalogue.language = language;
            std::free(language);
        }
    }
    std::free(const_cast<char*>(header));
    const char* const* domains = po_file_domains(po);
    for (; domains && *domains; ++domains) {
        po_message_iterator_t it = po_message_iterator(po, *domains);
        while (po_message_t message = po_next_message(it)) {
            const char* msgid = po_message_msgid(message);
            if (!msgid || (*msgid == '\0' && po_message_msgctxt(message) == nullptr && !po_message_is_obsolete(message)))
                continue;  // the header
            PoMessage m;
            if (!ReadMessage(message, catalogue.charset, m)) {
                po_message_iterator_free(it);
                Error error = CatalogueError(ErrorKind::CatalogueCharset, displayPath);
                error.detail = catalogue.charset;
                return error;
            }
            catalogue.messages.push_back(std::move(m));
        }
        po_message_iterator_free(it);
    }
    return catalogue;
}

Result<PoCatalogue> ReadPoFile(const std::string& path, FileSystem& fs)
{
    Result<ByteString> bytes = ReadFileContents(path, fs);
    if (!bytes) {
        Error error = std::move(bytes).error();
        error.task = ErrorTask::Catalogue;
        return error;
    }
    return ReadPo(bytes->View(), path);
}

}  // namespace cl::catalogue
