// What the .properties reader keeps for a writer (lines, comments, blank lines, line ends), the
// errors it returns, and the writer's escaping and layout. What Java reads from the same bytes
// is compared in test_properties_java.cpp.

#include "bundle/Properties.h"
#include "bundle/PropertiesWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cl::bundle::LineEnd;
using cl::bundle::ParseProperties;
using cl::bundle::PropertiesEncoding;
using cl::bundle::UpdateVariant;
using cl::bundle::WriteVariant;

struct Expected {
    std::string key;
    std::string value;
    uint64_t line;
    std::vector<std::string> before;
};

TEST(PropertiesReader, KeepsEachKeysLineAndTheCommentsAndBlankLinesBeforeIt)
{
    const struct {
        std::string text;
        std::vector<Expected> entries;
        std::vector<std::string> after;
    } cases[] = {
        {"# title\n\n! note\nopen=Open\n\n\nsave = Save\n# end\n",
         {{"open", "Open", 4, {"# title", "", "! note"}}, {"save", "Save", 7, {"", ""}}},
         {"# end"}},
        // A continued value keeps the line where it starts; the next key counts on from there.
        {"a=one\\\n  two\\\n  three\n# c\nb=2", {{"a", "onetwothree", 1, {}}, {"b", "2", 5, {"# c"}}}, {}},
        // Leading blanks of a comment are dropped, and blank-only lines are blank lines.
        {"   # indented\n \t \nk=v\n\n", {{"k", "v", 3, {"# indented", ""}}}, {""}},
        // A line holding only a continuation that leads nowhere is a blank line to a writer.
        {"\\\n\nk=v\n", {{"k", "v", 3, {"", ""}}}, {}},
        // A comment's trailing backslash continues nothing.
        {"# c \\\nk=v", {{"k", "v", 2, {"# c \\"}}}, {}},
        {"k=v\r\n# c\r\n\r\n", {{"k", "v", 1, {}}}, {"# c", ""}},
        {"k=v\r# c\r\rl=w", {{"k", "v", 1, {}}, {"l", "w", 4, {"# c", ""}}}, {}},
        {"", {}, {}},
    };
    for (const auto& c : cases) {
        const auto file = ParseProperties(c.text);
        ASSERT_TRUE(file) << c.text;
        ASSERT_EQ(file->entries.size(), c.entries.size()) << c.text;
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            EXPECT_EQ(file->entries[i].key, c.entries[i].key) << c.text;
            EXPECT_EQ(file->entries[i].value, c.entries[i].value) << c.text;
            EXPECT_EQ(file->entries[i].line, c.entries[i].line) << c.text << " key " << c.entries[i].key;
            EXPECT_EQ(file->entries[i].before, c.entries[i].before) << c.text << " key " << c.entries[i].key;
        }
        EXPECT_EQ(file->after, c.after) << c.text;
    }
}

TEST(PropertiesReader, RepeatedKeyKeepsItsFirstPlaceTheLastValueAndEveryComment)
{
    const auto file = ParseProperties("a=1\n# about b\nb=2\n# a again\na=3\nc=4\n");
    ASSERT_TRUE(file);
    ASSERT_EQ(file->entries.size(), 3u);
    EXPECT_EQ(file->entries[0].key, "a");
    EXPECT_EQ(file->entries[0].value, "3");
    EXPECT_EQ(file->entries[0].line, 5u);
    EXPECT_EQ(file->entries[1].key, "b");
    EXPECT_EQ(file->entries[2].key, "c");
    // The comment before the repeated line now stands before the next key.
    EXPECT_EQ(file->entries[2].before, std::vector<std::string>{"# a again"});
    ASSERT_NE(file->Find("c"), nullptr);
    EXPECT_EQ(file->Find("c")->value, "4");
    EXPECT_EQ(file->Find("d"), nullptr);
}

TEST(PropertiesReader, TellsEncodingLineEndsAndFinalLineEnd)
{
    const struct {
        std::string bytes;
        PropertiesEncoding encoding;
        LineEnd lineEnd;
        bool endsWithLineEnd;
        std::string firstValue;
    } cases[] = {
        {"k=\xe4\xb8\xad\n", PropertiesEncoding::Utf8, LineEnd::Lf, true, "中"},
        {"k=caf\xe9\r\nx=y", PropertiesEncoding::Latin1, LineEnd::CrLf, false, "café"},
        {"k=v\rx=\\u00e9\r", PropertiesEncoding::Utf8, LineEnd::Cr, true, "v"},
        {"k=v", PropertiesEncoding::Utf8, LineEnd::Lf, false, "v"},
        // Not UTF-8 in its middle: all of it is ISO-8859-1, the valid pair too.
        {"k=\xc3\xa9 \xff\n", PropertiesEncoding::Latin1, LineEnd::Lf, true, "Ã© ÿ"},
    };
    for (const auto& c : cases) {
        const auto file = ParseProperties(c.bytes);
        ASSERT_TRUE(file) << c.bytes;
        EXPECT_EQ(file->encoding, c.encoding) << c.bytes;
        EXPECT_EQ(file->lineEnd, c.lineEnd) << c.bytes;
        EXPECT_EQ(file->endsWithLineEnd, c.endsWithLineEnd) << c.bytes;
        ASSERT_FALSE(file->entries.empty());
        EXPECT_EQ(file->entries[0].value, c.firstValue) << c.bytes;
    }
}

TEST(PropertiesReader, MalformedEscapeNamesItsLineAndText)
{
    const struct {
        std::string text;
        uint64_t line;
        std::string detail;
    } cases[] = {
        {"a=b\nc=\\u12G4\n", 2, "\\u12G4"},
        {"\\uZZZZ=v\n", 1, "\\uZZZZ"},
        {"a=x\\\n  y \\u00\n", 2, "\\u00"},
        {"a=ok\\u0041\\\n\\\n  \\u004", 3, "\\u004"},
        {"# \\uZZZZ in a comment is no escape\nk=\\u", 2, "\\u"},
    };
    for (const auto& c : cases) {
        const auto file = ParseProperties(c.text);
        ASSERT_FALSE(file) << c.text;
        EXPECT_EQ(file.error().kind, cl::ErrorKind::BadEscape) << c.text;
        EXPECT_EQ(file.error().line, c.line) << c.text;
        EXPECT_EQ(file.error().detail, c.detail) << c.text;
    }
}

TEST(PropertiesReader, UtfEightCutShortAtTheEndIsRefusedAsJavaRefusesIt)
{
    const struct {
        std::string bytes;
        bool refused;
    } cases[] = {
        {"a=\xe4\xb8", true},
        {"a=b\n\nc=Jos\xe9", true},         // ISO-8859-1 é at the very end looks like a lead byte
        {"a=\xf0\x9f\x98", true},
        {"a=\xed\xa0", true},               // Java checks no surrogate before the third byte
        {"a=\xe0\x80", false},              // overlong already at the second byte: ISO-8859-1
        {"a=\xf4\x90", false},              // past U+10FFFF already at the second byte
        {"a=\xc1", false},                  // never a lead byte
        {"a=\xe9\nb=\xe4\xb8", false},      // malformed before the end: ISO-8859-1
        {"a=Jos\xe9\n", false},
    };
    for (const auto& c : cases) {
        const auto file = ParseProperties(c.bytes);
        EXPECT_EQ(!file, c.refused) << c.bytes;
        if (!file) {
            EXPECT_EQ(file.error().kind, cl::ErrorKind::BundleCutShort);
        } else {
            EXPECT_EQ(file->encoding, PropertiesEncoding::Latin1);
        }
    }
    const auto cut = ParseProperties("a=1\r\nb=2\rc=\xe4");
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.error().line, 3u);
}

TEST(PropertiesWriter, EscapesAsPropertiesStoreWithAsciiOnly)
{
    const struct {
        std::string text;
        std::string key;
        std::string value;
    } cases[] = {
        {"plain", "plain", "plain"},
        {"a b", "a\\ b", "a b"},
        {" lead and trail ", "\\ lead\\ and\\ trail\\ ", "\\ lead and trail "},
        {"=:#!\\", "\\=\\:\\#\\!\\\\", "\\=\\:\\#\\!\\\\"},
        {"\t\n\r\f", "\\t\\n\\r\\f", "\\t\\n\\r\\f"},
        {"中文", "\\u4E2D\\u6587", "\\u4E2D\\u6587"},
        {"é~\x7f", "\\u00E9~\\u007F", "\\u00E9~\\u007F"},
        {std::string("\x00\x01\x1f", 3), "\\u0000\\u0001\\u001F", "\\u0000\\u0001\\u001F"},
        {"😀", "\\uD83D\\uDE00", "\\uD83D\\uDE00"},
        {"\xed\xa0\x80", "\\uD800", "\\uD800"},  // a lone surrogate goes back as it came
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cl::bundle::EscapeKey(c.text), c.key) << c.text;
        EXPECT_EQ(cl::bundle::EscapeValue(c.text), c.value) << c.text;
    }
}

TEST(PropertiesWriter, KeepsTheSourcesOrderCommentsAndLineEnds)
{
    const struct {
        std::string source;
        cl::bundle::VariantValues values;
        std::string variant;
    } cases[] = {
        // Unchanged values in the form the writer uses give the source back.
        {"# Menu\n\nopen=Open\nsave=Save\n# end\n", {}, "# Menu\n\nopen=Open\nsave=Save\n# end\n"},
        {"# Menu\n\nopen=Open\nsave=Save\n", {{"save", "保存"}, {"extra", "ignored"}},
         "# Menu\n\nopen=Open\nsave=\\u4FDD\\u5B58\n"},
        {"a = 1\r\n\r\nb : 2\r\n", {{"a", "一"}}, "a=\\u4E00\r\n\r\nb=2\r\n"},
        {"a=1\rb=2", {{"b", " 二"}}, "a=1\rb=\\ \\u4E8C"},
        // Comments keep their text, in ASCII; continued values come out on one line.
        {"# Café menu\nlong=one \\\n   two\n", {}, "# Caf\\u00E9 menu\nlong=one two\n"},
        {std::string("#\tbell \a nul \0 del \x7f\nk=v", 24), {}, "#\tbell \\u0007 nul \\u0000 del \\u007F\nk=v"},
        {"k=v\n\n\n", {}, "k=v\n\n\n"},
        {"", {{"a", "x"}}, ""},
    };
    for (const auto& c : cases) {
        const auto source = ParseProperties(c.source);
        ASSERT_TRUE(source) << c.source;
        const std::string written = WriteVariant(*source, c.values);
        EXPECT_EQ(written, c.variant) << c.source;
        // And it reads back as exactly the keys and values written.
        const auto back = ParseProperties(written);
        ASSERT_TRUE(back) << written;
        ASSERT_EQ(back->entries.size(), source->entries.size());
        for (std::size_t i = 0; i < source->entries.size(); ++i) {
            const auto& entry = source->entries[i];
            const auto given = c.values.find(entry.key);
            EXPECT_EQ(back->entries[i].key, entry.key);
            EXPECT_EQ(back->entries[i].value, given != c.values.end() ? given->second : entry.value);
        }
    }
}

// Over the program's own variant: every key, value, comment and its order stay, also keys the
// source lacks; only the catalogue's values change, and the source's missing keys follow.
TEST(PropertiesWriter, UpdatingAVariantKeepsAllOfItAndAddsWhatTheSourceHasMore)
{
    const std::string source = "# Menu\nopen=Open\n# Saving\nsave=Save\nquit=Quit\n";
    const struct {
        const char* what;
        std::string variant;
        cl::bundle::VariantValues values;
        std::string written;
    } cases[] = {
        {"a translation in place, a key only the variant has, a missing key added",
         "# 中文菜单\nopen=\\u6253\\u5F00\nlegacy=旧的\n\nsave=\\u5B58\n", {{"save", "保存"}},
         "# 中文菜单\nopen=\\u6253\\u5F00\nlegacy=\\u65E7\\u7684\n\nsave=\\u4FDD\\u5B58\nquit=Quit\n"},
        {"the variant's order, not the source's, and its trailing comment last",
         "save=\\u5B58\r\nopen=\\u6253\\u5F00\r\n# end\r\n", {{"quit", "退出"}},
         "save=\\u5B58\r\nopen=\\u6253\\u5F00\r\nquit=\\u9000\\u51FA\r\n# end\r\n"},
        {"a Latin-1 file keeps its comment in Latin-1", "# caf\xE9\nopen=Ouvrir\n", {},
         "# caf\xE9\nopen=Ouvrir\n# Saving\nsave=Save\nquit=Quit\n"},
        {"an empty variant takes the source's keys", "", {{"open", "开"}},
         "# Menu\nopen=\\u5F00\n# Saving\nsave=Save\nquit=Quit\n"},
        // A program that ships its translation in UTF-8 without escapes may read it with its own
        // reader, which would show "\u4FDD" as it stands.
        {"a file in UTF-8 with no escapes stays so; controls and a lone surrogate are escaped",
         "open=打开\nsave=存\n", {{"save", "保存\t\U0001F600"}, {"quit", "退\x01出\xED\xA0\x80"}},
         "open=打开\nsave=保存\\t\U0001F600\nquit=退\\u0001出\\uD800\n"},
        {"a file that escapes any character past ASCII is written with escapes",
         "open=打开\nsave=\\u5B58\n", {{"quit", "退出"}},
         "open=\\u6253\\u5F00\nsave=\\u5B58\nquit=\\u9000\\u51FA\n"},
    };
    const auto parsedSource = ParseProperties(source);
    ASSERT_TRUE(parsedSource);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto variant = ParseProperties(c.variant);
        ASSERT_TRUE(variant);
        const std::string written = UpdateVariant(*variant, *parsedSource, c.values);
        EXPECT_EQ(written, c.written);
        // Every key of the variant reads back with its value, or the catalogue's.
        const auto back = ParseProperties(written);
        ASSERT_TRUE(back) << written;
        for (const auto& entry : variant->entries) {
            const auto* now = back->Find(entry.key);
            ASSERT_NE(now, nullptr) << entry.key;
            const auto given = c.values.find(entry.key);
            EXPECT_EQ(now->value, given != c.values.end() ? given->second : entry.value);
        }
        EXPECT_EQ(back->encoding, variant->encoding);
    }
}

TEST(PropertiesWriter, ANewVariantOfASourceInUtfEightWithoutEscapesIsInUtfEight)
{
    const struct {
        const char* source;
        const char* written;
    } cases[] = {
        {"open=Öffnen\nquit=Quit\n", "open=打开\nquit=Quit\n"},
        {"open=\\u00D6ffnen\nquit=Quit\n", "open=\\u6253\\u5F00\nquit=Quit\n"},
        {"open=Open\nquit=Quit\n", "open=\\u6253\\u5F00\nquit=Quit\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const auto source = ParseProperties(c.source);
        ASSERT_TRUE(source);
        EXPECT_EQ(WriteVariant(*source, {{"open", "打开"}}), c.written);
    }
}

}  // namespace
