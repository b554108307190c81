// Language files in the order of an English file (JOSM's data/*.lang), on bytes made by hand:
// each part of the format read, each way a pair of files can be broken refused with its fault
// and place, and what the writer makes of every kind of entry and translation, byte for byte.

#include "LangBytes.h"
#include "bundle/OrderedLangFiles.h"

#include "ErrorText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using cl::bundle::LangFault;
using cl::bundle::LangFile;
using cl::bundle::LangState;
using cl::bundle::LangTranslations;
using cl::bundle::PluralKey;
using cl::bundle::ReadLangFiles;
using cl::bundle::SingularKey;
using cl::bundle::WriteLangFile;

using cltest::T;
using cltest::U1;
using cltest::U2;
const std::string kMark = U2(0xFFFF);

std::string Quote(const std::vector<std::string>& texts)
{
    std::string out;
    for (const std::string& text : texts)
        out += (out.empty() ? "\"" : " \"") + text + "\"";
    return out;
}

// One line per entry: "s" or "p", the context in brackets, the English, and what the language
// gives it; "|" where the plural part begins.
std::string Rendered(const LangFile& file)
{
    std::string out;
    bool plural = false;
    for (const auto& entry : file.entries) {
        if (entry.plural && !plural)
            out += "|\n";
        plural = entry.plural;
        out += entry.plural ? "p " : "s ";
        if (entry.hasContext)
            out += "[" + entry.context + "] ";
        out += Quote(entry.english);
        switch (entry.state) {
            case LangState::Untranslated: out += " -"; break;
            case LangState::SameAsEnglish: out += " = same " + Quote(entry.translation); break;
            case LangState::Translated: out += " = " + Quote(entry.translation); break;
        }
        if (entry.lossy)
            out += " lossy";
        out += "\n";
    }
    if (file.hasPluralPart && !plural)
        out += "|\n";
    return out;
}

struct ReadCase {
    const char* name;
    std::string english;
    std::optional<std::string> language;
    std::string expected;  // Rendered, when the pair reads
    LangFault fault = LangFault::None;
    uint64_t offset = 0;
};

TEST(OrderedLangFilesRead, EachPartOfTheFormat)
{
    const std::string big(0xFFFE, 'x');
    const std::string bigger(0xFFFF, 'y');
    const std::vector<ReadCase> cases = {
        {"empty pair", "", "", ""},
        {"no language file: every entry untranslated", T("Open") + kMark + U1(2) + T("{0} file") + T("{0} files"),
         std::nullopt, "s \"Open\" -\n|\np \"{0} file\" \"{0} files\" -\n"},
        {"translated, untranslated (0x0000), the same as the English (0xFFFE)",
         T("Open") + T("Save") + T("OK"), T("打开") + U2(0) + U2(0xFFFE),
         "s \"Open\" = \"打开\"\ns \"Save\" -\ns \"OK\" = same \"OK\"\n"},
        {"a context before the first line break", T("_:menu\nFile") + T("_:a\nb\nc") + T("_:\nEmpty context"),
         T("文件") + T("乙") + U2(0), "s [menu] \"File\" = \"文件\"\ns [a] \"b\nc\" = \"乙\"\ns [] \"Empty context\" -\n"},
        {"no context without a line break, nor without the prefix", T("_:menu") + T("_menu\nFile"), U2(0) + U2(0),
         "s \"_:menu\" -\ns \"_menu\nFile\" -\n"},
        {"the same as the English with a context: the text without it", T("_:menu\nFile"), U2(0xFFFE),
         "s [menu] \"File\" = same \"File\"\n"},
        {"an empty English text", T(""), T("空"), "s \"\" = \"空\"\n"},
        {"plural forms: translated, untranslated (0x00), the same (0xFE), a context",
         T("x") + kMark + U1(2) + T("{0} file") + T("{0} files") + U1(2) + T("a") + T("b") + U1(2) + T("c") + T("d") +
             U1(2) + T("_:n\none") + T("many"),
         U2(0) + kMark + U1(1) + T("{0} 个文件") + U1(0) + U1(0xFE) + U1(3) + T("一") + T("二") + T(""),
         "s \"x\" -\n|\np \"{0} file\" \"{0} files\" = \"{0} 个文件\"\np \"a\" \"b\" -\np \"c\" \"d\" = same \"c\" \"d\"\n"
         "p [n] \"one\" \"many\" = \"一\" \"二\" \"\"\n"},
        {"the plural mark with nothing after it", T("x") + kMark, T("甲") + kMark, "s \"x\" = \"甲\"\n|\n"},
        {"only the plural part", kMark + U1(1) + T("one"), kMark + U1(1) + T("一"), "|\np \"one\" = \"一\"\n"},
        {"a plural entry with no English form and no translation", kMark + U1(0) + U1(1) + T("a"),
         kMark + U1(0) + U1(0), "|\np  -\np \"a\" -\n"},
        {"254 English forms: 0xFE is no mark in the English file",
         kMark + U1(0xFE) + [] {
             std::string s;
             for (int i = 0; i < 0xFE; ++i)
                 s += T("");
             return s;
         }(),
         kMark + U1(0), "|\np " + [] {
             std::string s;
             for (int i = 0; i < 0xFE; ++i)
                 s += i == 0 ? "\"\"" : " \"\"";
             return s;
         }() + " -\n"},
        {"an English text of 0xFFFE bytes: a length in the English file", T(big), U2(0),
         "s \"" + big + "\" -\n"},
        {"a translation of 0xFFFF bytes where the English has a text: JOSM reads a length", T("x"), T(bigger),
         "s \"x\" = \"" + bigger + "\"\n"},
        {"malformed UTF-8 read as JOSM reads it", T("A\xC3") + T("B"), T("\xE4\xB8") + T("\xED\xA0\x80z"),
         "s \"A\xEF\xBF\xBD\" = \"\xEF\xBF\xBD\" lossy\ns \"B\" = \"\xEF\xBF\xBDz\" lossy\n"},
        {"NUL is a character", T(std::string("a\0b", 3)), T(std::string("\0", 1)),
         "s \"" + std::string("a\0b", 3) + "\" = \"" + std::string("\0", 1) + "\"\n"},
        // Broken pairs.
        {"English cut inside a length", T("a") + U1(0), T("甲") + U2(0), "", LangFault::EnglishCutShort, 3},
        {"both files cut inside a length", T("a") + U1(0), T("甲") + U1(0), "", LangFault::EnglishCutShort, 3},
        {"an English length past the end", T("a") + U2(10) + "abc", T("甲") + U2(0), "", LangFault::EnglishCutShort, 3},
        {"a translation length past the end", T("a") + T("b"), T("甲") + U2(10) + "xyz", "",
         LangFault::LanguageCutShort, 5},
        {"the language file cut inside a length", T("a") + T("b"), T("甲") + U1(0), "", LangFault::LanguageCutShort, 5},
        {"the language file ends early", T("a") + T("b"), T("甲"), "", LangFault::LanguageEndsEarly, 5},
        {"an empty language file", T("a"), "", "", LangFault::LanguageEndsEarly, 0},
        {"the language file runs on", T("a"), T("甲") + U2(0), "", LangFault::LanguageRunsOn, 5},
        {"the language file runs on after the plural part", kMark + U1(1) + T("a"), kMark + U1(0) + U1(0), "",
         LangFault::LanguageRunsOn, 3},
        {"no plural mark in the language file", T("a") + kMark, U2(0) + U2(0), "", LangFault::NoPluralMark, 2},
        {"the language file ends before the plural mark", T("a") + kMark, U2(0), "", LangFault::LanguageEndsEarly, 2},
        {"the language file ends early in the plural part", kMark + U1(1) + T("a") + U1(1) + T("b"), kMark + U1(0),
         "", LangFault::LanguageEndsEarly, 3},
        {"a plural count past the English file's end", kMark + U1(2) + T("a"), kMark + U1(0), "",
         LangFault::EnglishCutShort, 6},
        {"a plural form cut inside its length", kMark + U1(1) + U1(0), kMark + U1(0), "", LangFault::EnglishCutShort,
         3},
        {"a translated form past the end", kMark + U1(1) + T("a"), kMark + U1(2) + T("一") + U2(5) + "ab", "",
         LangFault::LanguageCutShort, 8},
        {"a translation of an entry with no English form", kMark + U1(0), kMark + U1(1) + T("一"), "",
         LangFault::NoEnglishForms, 2},
        {"counts and lengths that claim megabytes", kMark + U1(0xFF) + U2(0xFFFF) + "abc", kMark + U1(0xFF), "",
         LangFault::EnglishCutShort, 3},
        {"a language mark where the English has a text: a length past the end", T("a"), kMark + "x", "",
         LangFault::LanguageCutShort, 0},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = ReadLangFiles(c.english, c.language);
        if (c.fault == LangFault::None) {
            ASSERT_TRUE(file.ok()) << static_cast<int>(file.error().fault) << " at " << file.error().offset;
            EXPECT_EQ(Rendered(*file), c.expected);
            continue;
        }
        ASSERT_FALSE(file.ok()) << Rendered(*file);
        EXPECT_EQ(file.error().kind, cl::ErrorKind::LangFileUnreadable);
        EXPECT_EQ(static_cast<LangFault>(file.error().fault), c.fault);
        EXPECT_EQ(file.error().offset, c.offset);
    }
}

TEST(OrderedLangFilesRead, KeysAreTheTablesKeysAndTheFirstEntryWins)
{
    const std::string english = T("Open") + T("_:menu\nFile") + T("Open") + T("File") + kMark + U1(2) + T("Open") +
                                T("Opens");
    const std::string language = T("打开") + T("文件") + T("开启") + U2(0) + kMark + U1(1) + T("打开 {0} 个");
    const auto file = ReadLangFiles(english, language);
    ASSERT_TRUE(file.ok());
    ASSERT_EQ(file->entries.size(), 5u);

    struct Lookup {
        cl::bundle::LangKey key;
        std::optional<std::string> translation;
    };
    const std::vector<Lookup> lookups = {
        {SingularKey("Open"), "打开"},  // the first of the two, as JOSM keeps it
        {SingularKey("File", "menu"), "文件"},
        {SingularKey("_:menu\nFile"), "文件"},  // tr("_:menu\nFile") is trc("menu", "File")
        {SingularKey("File"), std::nullopt},
        {PluralKey("Open"), "打开 {0} 个"},
        {SingularKey("Opens"), std::nullopt},
        {PluralKey("File", "menu"), std::nullopt},
    };
    for (const Lookup& l : lookups) {
        SCOPED_TRACE(l.key.lookup + (l.key.plural ? " (plural)" : ""));
        const cl::bundle::LangEntry* entry = file->Find(l.key);
        if (!l.translation) {
            EXPECT_TRUE(entry == nullptr || entry->state == LangState::Untranslated);
            continue;
        }
        ASSERT_NE(entry, nullptr);
        ASSERT_EQ(entry->translation.size(), 1u);
        EXPECT_EQ(entry->translation.front(), *l.translation);
        EXPECT_EQ(cl::bundle::KeyOf(*entry), l.key);
    }
    EXPECT_EQ(file->Find(SingularKey("Nothing")), nullptr);
}

// Java's new String(bytes, UTF_8): one U+FFFD per malformed sequence, cut as Java cuts it.
TEST(OrderedLangFilesRead, DecodesAsJavaDoes)
{
    const std::string R = "\xEF\xBF\xBD";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"abc", "abc"},
        {"\xE4\xB8\xAD", "\xE4\xB8\xAD"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"\x80", R},
        {"\xC0\x80", R + R},                 // overlong NUL: two stray bytes
        {"\xC1\xBF", R + R},
        {"\xC3(", R + "("},                  // the lead alone, then the ASCII
        {"\xC3", R},
        {"\xE4\xB8(", R + "("},              // a three-byte start of two bytes is one U+FFFD
        {"\xE4(\x80", R + "(" + R},
        {"\xE0\x80\x80", R + R + R},         // overlong three-byte form: the lead alone
        {"\xED\xA0\x80", R},                 // a surrogate: three bytes, one U+FFFD
        {"\xED\xA0\x80\xED\xB0\x80", R + R},  // a pair in CESU form: two
        {"\xE4\xB8", R},                     // cut by the end: one
        {"\xE4", R},
        {"\xE4(", R + "("},
        {"\xF0\x9F\x98(", R + "("},          // four-byte start of three
        {"\xF0\x9F(", R + "("},
        {"\xF0(", R + "("},
        {"\xF0\x80\x80\x80", R + R + R + R},  // overlong four-byte form
        {"\xF4\x90\x80\x80", R + R + R + R},  // past U+10FFFF
        {"\xF5\x80\x80\x80", R + R + R + R},
        {"\xF0\x9F\x98", R},                 // cut by the end
        {"\xF0\x9F", R},
        {"\xF0", R},
        {"\xF8\x88\x80\x80\x80", R + R + R + R + R},
        {"\xFF", R},
    };
    for (const auto& [bytes, expected] : cases) {
        bool lossy = false;
        EXPECT_EQ(cl::bundle::DecodeUtf8AsJava(bytes, lossy), expected) << bytes;
        EXPECT_EQ(lossy, expected != bytes) << bytes;
    }
}

struct WriteCase {
    const char* name;
    std::string english;
    std::optional<std::string> language;
    LangTranslations translations;
    std::string expected;
};

TEST(OrderedLangFilesWrite, EachKindOfEntryAndTranslation)
{
    const std::string en = T("Open") + T("Save") + T("OK") + T("_:menu\nFile") + kMark + U1(2) + T("{0} file") +
                           T("{0} files") + U1(2) + T("a") + T("b");
    const std::string zh = T("打开") + U2(0) + U2(0xFFFE) + T("文件") + kMark + U1(1) + T("{0} 个文件") + U1(0);
    const std::vector<WriteCase> cases = {
        {"nothing given: the file as it was", en, zh, {}, zh},
        {"replaced and added", en, zh,
         {{SingularKey("Open"), {"开启"}}, {SingularKey("Save"), {"保存"}}},
         T("开启") + T("保存") + U2(0xFFFE) + T("文件") + kMark + U1(1) + T("{0} 个文件") + U1(0)},
        {"equal to the English: the same-as-English mark", en, zh,
         {{SingularKey("Open"), {"Open"}}, {PluralKey("a"), {"a", "b"}}},
         U2(0xFFFE) + U2(0) + U2(0xFFFE) + T("文件") + kMark + U1(1) + T("{0} 个文件") + U1(0xFE)},
        {"a translation equal to the English in its context, not to the key", en, zh,
         {{SingularKey("File", "menu"), {"File"}}},
         T("打开") + U2(0) + U2(0xFFFE) + U2(0xFFFE) + kMark + U1(1) + T("{0} 个文件") + U1(0)},
        {"the key with its context, not the text alone", en, zh,
         {{SingularKey("File"), {"错"}}, {SingularKey("_:menu\nFile"), {"档案"}}},
         T("打开") + U2(0) + U2(0xFFFE) + T("档案") + kMark + U1(1) + T("{0} 个文件") + U1(0)},
        {"empty: untranslated", en, zh,
         {{SingularKey("Open"), {""}}, {SingularKey("OK"), {}}, {PluralKey("{0} file"), {"", ""}}},
         U2(0) + U2(0) + U2(0) + T("文件") + kMark + U1(0) + U1(0)},
        {"plural forms, as many as given", en, zh,
         {{PluralKey("{0} file"), {"一", "二", "三"}}, {PluralKey("a"), {"甲"}}},
         T("打开") + U2(0) + U2(0xFFFE) + T("文件") + kMark + U1(3) + T("一") + T("二") + T("三") + U1(1) + T("甲")},
        {"a singular key does not reach a plural entry, nor the other way", en, zh,
         {{PluralKey("Open"), {"错"}}, {SingularKey("{0} file"), {"错"}}}, zh},
        {"keys the English file lacks are left out", en, zh, {{SingularKey("Close"), {"关闭"}}}, zh},
        {"no language file: a new one", en, std::nullopt, {{SingularKey("Save"), {"保存"}}},
         U2(0) + T("保存") + U2(0) + U2(0) + kMark + U1(0) + U1(0)},
        {"no language file, nothing given: every entry untranslated", T("a") + kMark, std::nullopt, {},
         U2(0) + kMark},
        {"the plural mark with nothing after it", T("a") + kMark, T("甲") + kMark, {{SingularKey("a"), {"乙"}}},
         T("乙") + kMark},
        {"no plural part", T("a"), U2(0), {{SingularKey("a"), {"乙"}}}, T("乙")},
        {"a text the English file has twice: both places", T("a") + T("a"), U2(0) + T("甲"),
         {{SingularKey("a"), {"乙"}}}, T("乙") + T("乙")},
        {"a kept translation that was not UTF-8 keeps its bytes", T("a") + T("b"), T("\xE4\xB8") + T("\xFF"),
         {{SingularKey("b"), {"乙"}}}, T("\xE4\xB8") + T("乙")},
        {"an entry with no English form stays untranslated", kMark + U1(0), kMark + U1(0), {}, kMark + U1(0)},
        {"the longest singular and plural texts", T("a") + kMark + U1(1) + T("b"), std::nullopt,
         {{SingularKey("a"), {std::string(0xFFFD, 'x')}}, {PluralKey("b"), {std::string(0xFFFF, 'y')}}},
         T(std::string(0xFFFD, 'x')) + kMark + U1(1) + T(std::string(0xFFFF, 'y'))},
        {"253 forms", kMark + U1(1) + T("b"), std::nullopt, {{PluralKey("b"), std::vector<std::string>(253, "z")}},
         kMark + U1(253) + [] {
             std::string s;
             for (int i = 0; i < 253; ++i)
                 s += T("z");
             return s;
         }()},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = ReadLangFiles(c.english, c.language);
        ASSERT_TRUE(file.ok());
        const auto written = WriteLangFile(*file, c.translations);
        ASSERT_TRUE(written.ok()) << static_cast<int>(written.error().fault);
        EXPECT_EQ(*written, c.expected);
        // What was written reads back with what was given.
        const auto again = ReadLangFiles(c.english, *written);
        ASSERT_TRUE(again.ok());
        for (const auto& [key, forms] : c.translations) {
            const cl::bundle::LangEntry* entry = again->Find(key);
            if (entry == nullptr)
                continue;
            const bool none = forms.empty() || std::all_of(forms.begin(), forms.end(), [](auto& f) { return f.empty(); });
            EXPECT_EQ(entry->state == LangState::Untranslated, none) << key.lookup;
            if (!none) {
                EXPECT_EQ(entry->translation, forms) << key.lookup;
            }
        }
    }
}

TEST(OrderedLangFilesWrite, TextsThatCannotBeWritten)
{
    const std::string en = T("a") + T("_:c\nb") + kMark + U1(2) + T("one") + T("many") + U1(0);
    const auto file = ReadLangFiles(en, std::nullopt);
    ASSERT_TRUE(file.ok());
    struct Case {
        const char* name;
        LangTranslations translations;
        LangFault fault;
        std::string detail;
        uint64_t expected = 0;
        uint64_t limit = 0;
    };
    const std::vector<Case> cases = {
        {"a singular text of 0xFFFE bytes would be the same-as-English mark",
         {{SingularKey("a"), {std::string(0xFFFE, 'x')}}}, LangFault::TextTooLong, "a", 0xFFFE, 0xFFFD},
        {"a plural form past 0xFFFF bytes", {{PluralKey("one"), {"x", std::string(0x10000, 'y')}}},
         LangFault::TextTooLong, "one", 0x10000, 0xFFFF},
        {"a stray byte", {{SingularKey("b", "c"), {"\xFF"}}}, LangFault::TextNotUtf8, "_:c\nb"},
        {"a lone surrogate", {{PluralKey("one"), {"\xED\xA0\x80"}}}, LangFault::TextNotUtf8, "one"},
        {"an overlong form", {{SingularKey("a"), {"\xC0\x80"}}}, LangFault::TextNotUtf8, "a"},
        {"254 forms would be the same-as-English mark", {{PluralKey("one"), std::vector<std::string>(254, "z")}},
         LangFault::TooManyForms, "one", 254, 253},
        {"two texts for a singular entry", {{SingularKey("a"), {"x", "y"}}}, LangFault::FormsForSingular, "a"},
        {"a translation of an entry with no English form", {{PluralKey(""), {"x"}}}, LangFault::NoEnglishForms, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto written = WriteLangFile(*file, c.translations);
        ASSERT_FALSE(written.ok());
        EXPECT_EQ(written.error().kind, cl::ErrorKind::LangTextUnwritable);
        EXPECT_EQ(static_cast<LangFault>(written.error().fault), c.fault);
        EXPECT_EQ(written.error().detail, c.detail);
        EXPECT_EQ(written.error().expected, c.expected);
        EXPECT_EQ(written.error().limit, c.limit);
        const auto& [key, forms] = *c.translations.begin();
        EXPECT_EQ(cl::bundle::CheckLangTranslation(*file->Find(key), forms), c.fault);
    }
}

// Every fault has its own sentence, naming the files and the place or the text.
TEST(OrderedLangFilesText, EveryFaultIsWorded)
{
    std::set<std::string> seen;
    for (uint16_t f = 1; f <= static_cast<uint16_t>(LangFault::FormsForSingular); ++f) {
        const bool reading = f < static_cast<uint16_t>(LangFault::TextTooLong);
        cl::Error error(reading ? cl::ErrorKind::LangFileUnreadable : cl::ErrorKind::LangTextUnwritable);
        error.fault = f;
        error.offset = 1234;
        error.path = "data/zh_CN.lang";
        error.other = "data/en.lang";
        error.detail = "Open file";
        error.expected = 70000;
        error.limit = 65533;
        const std::string text = cltext::DescribeError(error);
        SCOPED_TRACE(text);
        EXPECT_TRUE(seen.insert(text).second);
        if (reading) {
            EXPECT_NE(text.find("data/zh_CN.lang"), std::string::npos);
            EXPECT_NE(text.find("data/en.lang"), std::string::npos);
            EXPECT_NE(text.find("1234"), std::string::npos);
        } else {
            EXPECT_NE(text.find("Open file"), std::string::npos);
        }
    }
}

}  // namespace
