// Modified UTF-8 as class files store it, its conversions to UTF-16 and standard UTF-8, and
// the Java string hash that compiled string switches compare.

#include "classfile/ModifiedUtf8.h"

#include <gtest/gtest.h>

#include <string>

using namespace cl::classfile;

namespace {

struct DecodeCase {
    const char* what;
    std::string bytes;
    TextStatus status;
    size_t offset;         // where decoding stopped (for errors)
    std::u16string units;  // the decoded text (for Ok)
};

TEST(ModifiedUtf8, DecodesTheJvmFormsAndRejectsEverythingElse)
{
    const DecodeCase cases[] = {
        {"empty", "", TextStatus::Ok, 0, u""},
        {"ascii", "Save", TextStatus::Ok, 0, u"Save"},
        {"two-byte form", "caf\xC3\xA9", TextStatus::Ok, 0, u"caf\u00E9"},
        {"three-byte form", "\xE4\xBF\x9D\xE5\xAD\x98", TextStatus::Ok, 0, u"\u4FDD\u5B58"},
        {"C0 80 is U+0000",
         std::string("a\xC0\x80"
                     "b"),
         TextStatus::Ok, 0, std::u16string(u"a\0b", 3)},
        {"surrogate pair as two 3-byte forms", "\xED\xA0\xBD\xED\xB8\x80", TextStatus::Ok, 0, u"\U0001F600"},
        {"lone surrogate is a valid Java string", "\xED\xA0\x80", TextStatus::Ok, 0, u"\xD800"},
        {"bare zero byte", std::string("ab\0c", 4), TextStatus::BareZero, 2, u""},
        {"four-byte form", "x\xF0\x9F\x98\x80", TextStatus::FourByteForm, 1, u""},
        {"continuation byte as lead", "\x80", TextStatus::BadLeadByte, 0, u""},
        {"F8 lead", "ab\xF8", TextStatus::BadLeadByte, 2, u""},
        {"cut two-byte form", "ab\xC3", TextStatus::Truncated, 2, u""},
        {"cut three-byte form", "\xE4\xBF", TextStatus::Truncated, 0, u""},
        {"missing continuation",
         "\xE4"
         "A"
         "\x9D",
         TextStatus::BadContinuation, 0, u""},
        {"overlong two-byte A", "\xC1\x81", TextStatus::Overlong, 0, u""},
        {"overlong three-byte", "\xE0\x80\x80", TextStatus::Overlong, 0, u""},
    };
    for (const DecodeCase& c : cases) {
        std::u16string units = u"stale";
        const TextResult result = DecodeModifiedUtf8(c.bytes, units);
        EXPECT_EQ(result.status, c.status) << c.what << ": " << TextStatusWord(result.status);
        EXPECT_EQ(IsValidModifiedUtf8(c.bytes), c.status == TextStatus::Ok) << c.what;
        if (c.status == TextStatus::Ok)
            EXPECT_EQ(units, c.units) << c.what;
        else
            EXPECT_EQ(result.offset, c.offset) << c.what;
    }
}

TEST(ModifiedUtf8, EncodingRoundTripsEveryKindOfUnit)
{
    const struct {
        std::u16string units;
        std::string bytes;
    } cases[] = {
        {u"", ""},
        {u"Open", "Open"},
        {std::u16string(u"\0", 1), "\xC0\x80"},
        {u"\u007F\u0080\u07FF\u0800\uFFFF", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
        {u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},
        {u"\xDC00x", "\xED\xB0\x80x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeModifiedUtf8(c.units), c.bytes);
        std::u16string back;
        ASSERT_TRUE(DecodeModifiedUtf8(c.bytes, back).Ok());
        EXPECT_EQ(back, c.units);
    }
}

TEST(ModifiedUtf8, ConvertsFromStandardUtf8)
{
    const struct {
        const char* what;
        std::string utf8;
        TextStatus status;
        size_t offset;
        std::string modified;
    } cases[] = {
        {"ascii", "Quit", TextStatus::Ok, 0, "Quit"},
        {"zero byte becomes C0 80", std::string("a\0", 2), TextStatus::Ok, 0, "a\xC0\x80"},
        {"BMP text unchanged", "\xE4\xBF\x9D", TextStatus::Ok, 0, "\xE4\xBF\x9D"},
        {"four-byte form becomes a pair", "\xF0\x9F\x98\x80", TextStatus::Ok, 0, "\xED\xA0\xBD\xED\xB8\x80"},
        {"highest code point", "\xF4\x8F\xBF\xBF", TextStatus::Ok, 0, "\xED\xAF\xBF\xED\xBF\xBF"},
        {"encoded surrogate", "ab\xED\xA0\x80", TextStatus::EncodedSurrogate, 2, ""},
        {"above U+10FFFF", "\xF4\x90\x80\x80", TextStatus::OutOfRange, 0, ""},
        {"overlong zero", "\xC0\x80", TextStatus::Overlong, 0, ""},
        {"overlong four-byte", "\xF0\x8F\xBF\xBF", TextStatus::Overlong, 0, ""},
        {"cut", "x\xF0\x9F\x98", TextStatus::Truncated, 1, ""},
        {"stray continuation", "\xBF", TextStatus::BadLeadByte, 0, ""},
        {"bad continuation", "\xC3(", TextStatus::BadContinuation, 0, ""},
    };
    for (const auto& c : cases) {
        std::string out;
        const TextResult result = ModifiedUtf8FromUtf8(c.utf8, out);
        EXPECT_EQ(result.status, c.status) << c.what << ": " << TextStatusWord(result.status);
        if (c.status == TextStatus::Ok) {
            EXPECT_EQ(out, c.modified) << c.what;
            std::string back;
            EXPECT_TRUE(Utf8FromModifiedUtf8(out, back).Ok()) << c.what;
            EXPECT_EQ(back, c.utf8) << c.what;
        } else {
            EXPECT_EQ(result.offset, c.offset) << c.what;
        }
    }
}

TEST(ModifiedUtf8, ConvertsToStandardUtf8AndReportsUnpairedSurrogates)
{
    const struct {
        const char* what;
        std::string modified;
        TextStatus status;
        size_t offset;
    } cases[] = {
        {"lone high surrogate at the end", "ab\xED\xA0\xBD", TextStatus::UnpairedSurrogate, 2},
        {"high surrogate before a letter", "\xED\xA0\xBDx", TextStatus::UnpairedSurrogate, 0},
        {"two high surrogates", "\xED\xA0\xBD\xED\xA0\xBD", TextStatus::UnpairedSurrogate, 0},
        {"lone low surrogate", "x\xED\xB8\x80", TextStatus::UnpairedSurrogate, 1},
        {"four-byte form", "\xF0\x9F\x98\x80", TextStatus::FourByteForm, 0},
        {"bare zero", std::string("\0", 1), TextStatus::BareZero, 0},
    };
    for (const auto& c : cases) {
        std::string out;
        const TextResult result = Utf8FromModifiedUtf8(c.modified, out);
        EXPECT_EQ(result.status, c.status) << c.what << ": " << TextStatusWord(result.status);
        EXPECT_EQ(result.offset, c.offset) << c.what;
    }
}

TEST(ModifiedUtf8, JavaStringHashMatchesJava)
{
    // Values as printed by "...".hashCode() on a JVM.
    const struct {
        std::u16string text;
        int32_t hash;
    } cases[] = {
        {u"", 0},
        {u"a", 97},
        {u"open", 3417674},
        {u"save", 3522941},
        {u"Aa", 2112},
        {u"BB", 2112},  // the classic collision: a switch must compare the text too
        {u"hello world", 1794106052},
        {u"polygenelubricants", INT32_MIN},
        {u"\u4FDD\u5B58", 657179},
        {u"\U0001F600", 1772899},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JavaStringHash(c.text), c.hash) << std::string(c.text.begin(), c.text.end());
}

}  // namespace
