// fuzz_properties: the .properties reader and the variant writer, the bundle family finder and
// the MessageFormat and Formatter readers on arbitrary bytes. Nothing crashes; a file that
// reads, written as a variant (with its own values or with changed ones) and read again, gives
// exactly the keys and values written; the written file is printable ASCII (and tabs of comments),
// or, for a source in UTF-8 with no escapes past ASCII, strict UTF-8 with no control characters
// but line ends and tabs; every pattern is an acceptable translation of itself.

#include "bundle/BundleFamilies.h"
#include "bundle/OfferedValues.h"
#include "bundle/Properties.h"
#include "bundle/PropertiesWriter.h"
#include "formats/MessageFormat.h"
#include "formats/Printf.h"
#include "text/CodePoints.h"

#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

void CheckPatterns(std::string_view text)
{
    namespace f = cl::formats;
    const f::MessagePattern message = f::ParseMessageFormat(text);
    CHECK(message.valid() || message.arguments.empty());
    CHECK(message.faultOffset <= text.size());
    const f::MessageProblem self = f::CheckMessageTranslation(text, text);
    CHECK(self.ok() == (message.valid() && !message.nestedFault));

    const f::PrintfPattern printf = f::ParsePrintf(text);
    CHECK(printf.valid() || printf.conversions.empty());
    CHECK(printf.faultOffset <= text.size());
    for (const f::PrintfConversion& c : printf.conversions) {
        CHECK(c.offset + c.length <= text.size());
        CHECK(text[c.offset] == '%');
    }
    CHECK(f::CheckPrintfTranslation(text, text).ok() == printf.valid());
}

void CheckRoundTrip(const cl::bundle::PropertiesFile& file, const cl::bundle::VariantValues& values)
{
    const std::string written = cl::bundle::WriteVariant(file, values);
    if (file.WritesRawUnicode()) {
        CHECK(cl::IsStrictUtf8(written));
        for (const char32_t c : cl::DecodeUtf8Lenient(written))
            CHECK((c >= 0x20 && c <= 0x7E) || c >= 0xA0 || c == '\r' || c == '\n' || c == '\t');
    } else {
        for (const char c : written)
            CHECK((c >= 0x20 && c <= 0x7E) || c == '\r' || c == '\n' || c == '\t');
    }
    const auto again = cl::bundle::ParseProperties(written);
    CHECK(again.ok());
    CHECK(again->entries.size() == file.entries.size());
    for (std::size_t i = 0; i < file.entries.size(); ++i) {
        const auto& entry = file.entries[i];
        const auto given = values.find(entry.key);
        CHECK(again->entries[i].key == entry.key);
        CHECK(again->entries[i].value == (given != values.end() ? given->second : entry.value));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckPatterns(bytes);

    const auto file = cl::bundle::ParseProperties(bytes);
    if (!file) {
        CHECK(file.error().kind == cl::ErrorKind::BadEscape || file.error().kind == cl::ErrorKind::BundleCutShort);
        CHECK(file.error().line >= 1);
    } else {
        CheckRoundTrip(*file, {});
        // Translations that move each value elsewhere: another key's value, reversed, and
        // with the characters that need escaping most at both ends.
        cl::bundle::VariantValues values;
        for (std::size_t i = 0; i < file->entries.size(); ++i) {
            const auto& entry = file->entries[i];
            const std::string& other = file->entries[(i + 1) % file->entries.size()].value;
            std::u16string units = cl::Utf8ToUtf16Lenient(other);
            if (i % 2 == 0)
                units = u" \t" + units + u"\\ \n:=#!\u4E2D";
            else
                units.assign(units.rbegin(), units.rend());  // pairs turn into lone surrogates
            values[entry.key] = cl::Utf16ToUtf8(units);
            (void)cl::bundle::OfferValue(entry.key, entry.value);
            CheckPatterns(entry.value);
        }
        CheckRoundTrip(*file, values);
    }

    // Each line a path, the first one a literal of the program.
    std::vector<std::string> paths;
    std::size_t from = 0;
    while (from <= bytes.size() && paths.size() < 64) {
        const std::size_t end = bytes.find('\n', from);
        paths.emplace_back(bytes.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
        if (end == std::string_view::npos)
            break;
        from = end + 1;
    }
    const std::string literal = paths.empty() ? std::string() : paths.front();
    const auto families =
        cl::bundle::FindBundleFamilies(paths, [&](std::string_view text) { return text == literal; });
    auto inFamily = [](const cl::bundle::BundleFamily& family, const std::string& path) {
        return path.compare(0, family.folder.size(), family.folder) == 0 && path.size() > family.folder.size() + 11 &&
               path.compare(path.size() - 11, 11, ".properties") == 0;
    };
    for (const auto& family : families) {
        CHECK(!family.members.empty());
        for (const auto& member : family.members)
            CHECK(inFamily(family, member.path));
        if (const auto* existing = cl::bundle::ExistingVariant(family, literal))
            CHECK(existing->locale.has_value());
        if (const auto path = cl::bundle::VariantPath(family, literal))
            CHECK(inFamily(family, *path));
    }
    return 0;
}
