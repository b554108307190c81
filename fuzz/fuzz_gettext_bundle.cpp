// fuzz_gettext_bundle: the reader of gettext's Java bundles on arbitrary bytes, and the writer on
// messages made of them. Nothing crashes; a class that reads, written back, gives a class file
// the parser follows that reads as the same messages (or one of the writer's limits); and lines
// of the input taken as messages (the first as the header's plural expression) write and read
// back the same, or fail with one of the writer's faults.

#include "bundle/GettextJavaBundle.h"
#include "classfile/ClassFile.h"
#include "text/CodePoints.h"

#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

using cl::bundle::GettextFault;
using cl::bundle::GettextMessage;

// A text as Java holds it: bytes that are no UTF-8 become U+FFFD on the way in.
std::string AsJava(const std::string& text)
{
    return cl::Utf16ToUtf8(cl::Utf8ToUtf16Lenient(text));
}

// By the key Java looks up: a context or msgid holding U+0004 reads back split at its first
// one, which gives Java the same key.
std::map<std::string, GettextMessage> ByKey(const std::vector<GettextMessage>& messages)
{
    std::map<std::string, GettextMessage> out;
    for (GettextMessage m : messages) {
        m.msgid = AsJava(m.Key());
        m.context.reset();
        if (m.msgidPlural)
            m.msgidPlural = AsJava(*m.msgidPlural);
        for (std::string& form : m.msgstr)
            form = AsJava(form);
        out.emplace(m.Key(), m);
    }
    return out;
}

bool Parses(const std::string& bytes)
{
    return cl::classfile::ParseClassFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()).parsed;
}

// Writes `messages` and reads them back: the same messages, or a fault of the writer's.
void CheckWrite(const std::string& className, const std::vector<GettextMessage>& messages, bool fromReader)
{
    const auto written = cl::bundle::WriteGettextJavaBundle(className, messages);
    if (!written) {
        CHECK(written.error().kind == cl::ErrorKind::GettextUnwritable);
        const auto fault = static_cast<GettextFault>(written.error().fault);
        if (fromReader) {
            // What was read has one key each and fitting texts; only the class name, the plural
            // expression and the sizes can stop it.
            CHECK(fault == GettextFault::BadClassName || fault == GettextFault::BadPluralForms ||
                  fault == GettextFault::PoolFull || fault == GettextFault::CodeTooLarge);
        } else {
            CHECK(fault == GettextFault::BadClassName || fault == GettextFault::BadPluralForms ||
                  fault == GettextFault::PoolFull || fault == GettextFault::CodeTooLarge ||
                  fault == GettextFault::DuplicateKey || fault == GettextFault::BadForms ||
                  fault == GettextFault::TextTooLong);
        }
        return;
    }
    CHECK(Parses(written->mainBytes));
    CHECK(Parses(written->enumerationBytes));
    const auto again = cl::bundle::ReadGettextJavaBundle(written->mainBytes);
    CHECK(again.ok());
    CHECK(again->className == className);
    CHECK(again->messages.size() == messages.size());
    CHECK(ByKey(again->messages) == ByKey(messages));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const auto read = cl::bundle::ReadGettextJavaBundle(bytes);
    if (!read) {
        CHECK(read.error().kind == cl::ErrorKind::NotAGettextBundle);
        CHECK(read.error().fault != 0);
        CHECK(read.error().offset <= size);
    } else {
        for (const auto& m : read->messages)
            CHECK(!m.msgstr.empty() && (m.msgidPlural || m.msgstr.size() == 1));
        CheckWrite(read->className, read->messages, true);
    }

    // Lines as messages: "ctx|id|plural|form|form..." (a missing part is absent), the first line
    // the plural expression of the header.
    if (size > 4096)
        return 0;
    std::vector<std::string> lines;
    size_t from = 0;
    while (from <= bytes.size() && lines.size() < 64) {
        const size_t end = bytes.find('\n', from);
        lines.emplace_back(bytes.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
        if (end == std::string_view::npos)
            break;
        from = end + 1;
    }
    std::vector<GettextMessage> messages;
    messages.push_back({std::nullopt, "", std::nullopt, {"Plural-Forms: nplurals=3; plural=" + lines.front() + ";\n"}});
    for (size_t i = 1; i < lines.size(); ++i) {
        std::vector<std::string> parts;
        size_t at = 0;
        const std::string& line = lines[i];
        while (true) {
            const size_t bar = line.find('|', at);
            parts.push_back(line.substr(at, bar == std::string::npos ? std::string::npos : bar - at));
            if (bar == std::string::npos)
                break;
            at = bar + 1;
        }
        GettextMessage m;
        if (!parts[0].empty())
            m.context = parts[0];
        m.msgid = parts.size() > 1 ? parts[1] : "";
        if (parts.size() > 3)
            m.msgidPlural = parts[2];
        for (size_t p = parts.size() > 3 ? 3 : 2; p < parts.size(); ++p)
            m.msgstr.push_back(parts[p]);
        messages.push_back(std::move(m));
    }
    CheckWrite("fuzz/Messages_zh_CN", messages, false);
    return 0;
}
