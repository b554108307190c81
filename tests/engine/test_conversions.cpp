#include "text/CodePage.h"
#include "text/Utf8.h"

#include <gtest/gtest.h>

#include <string>

using cl::ByteString;
using cl::DecodeUtf8ToAnsi;
using cl::EncodeUtf8FromAnsi;

namespace {

ByteString B(std::string_view s)
{
    return ByteString(s);
}

const ByteString kZhongGbk = B("\xD6\xD0");       // 中 in code page 936
const ByteString kZhongUtf8 = B("\xE4\xB8\xAD");  // 中 in UTF-8

ByteString Repeat(const ByteString& unit, int times)
{
    ByteString out;
    for (int i = 0; i < times; ++i)
        out.Append(unit);
    return out;
}

}  // namespace

TEST(EncodeUtf8FromAnsiTest, AsciiAndChinese)
{
    EXPECT_EQ(EncodeUtf8FromAnsi(ByteString()), ByteString());
    EXPECT_EQ(EncodeUtf8FromAnsi(B("abc")), B("abc"));
    EXPECT_EQ(EncodeUtf8FromAnsi(kZhongGbk), kZhongUtf8);
    EXPECT_EQ(EncodeUtf8FromAnsi(Repeat(kZhongGbk, 85)).ByteLength(), 255);
    EXPECT_EQ(EncodeUtf8FromAnsi(Repeat(kZhongGbk, 86)).ByteLength(), 258);
    // 汉化 mixed with ASCII
    EXPECT_EQ(EncodeUtf8FromAnsi(B("a\xBA\xBA\xBB\xAF!")), B("a\xE6\xB1\x89\xE5\x8C\x96!"));
    // Two-byte UTF-8 form: the GBK middle dot A1 A4 is U+00B7.
    EXPECT_EQ(EncodeUtf8FromAnsi(B("\xA1\xA4")), B("\xC2\xB7"));
}

TEST(EncodeUtf8FromAnsiTest, ZeroBytesAndInvalidBytesAreKept)
{
    EXPECT_EQ(EncodeUtf8FromAnsi(B(std::string_view("a\0b", 3))), B(std::string_view("a\0b", 3)));
    EXPECT_EQ(EncodeUtf8FromAnsi(B(std::string_view("\xD6\xD0\0", 3))), B(std::string_view("\xE4\xB8\xAD\0", 4)));
    // 0xFF is not valid in code page 936: it becomes U+003F, not an error.
    EXPECT_EQ(EncodeUtf8FromAnsi(B("\xFF"
                                   "a")),
              B("?a"));
    // A lead byte cut off at the end.
    EXPECT_EQ(EncodeUtf8FromAnsi(B("a\xD6")), B("a?"));
}

TEST(DecodeUtf8ToAnsiTest, ValidInput)
{
    EXPECT_EQ(DecodeUtf8ToAnsi(ByteString()), ByteString());
    EXPECT_EQ(DecodeUtf8ToAnsi(B("Hello")), B("Hello"));
    EXPECT_EQ(DecodeUtf8ToAnsi(kZhongUtf8), kZhongGbk);
    EXPECT_EQ(DecodeUtf8ToAnsi(B("\xC0\x80")), B(std::string_view("\0", 1))) << "overlong zero of class files";
    EXPECT_EQ(DecodeUtf8ToAnsi(B("\xC2\xB7")), B("\xA1\xA4"));
}

TEST(DecodeUtf8ToAnsiTest, MalformedInputGivesEmptyText)
{
    EXPECT_EQ(DecodeUtf8ToAnsi(B("abc\xE4\xB8")), ByteString()) << "cut sequence at the end";
    EXPECT_EQ(DecodeUtf8ToAnsi(B("\x80\x41")), ByteString());
    EXPECT_EQ(DecodeUtf8ToAnsi(B("\xF0\x9F\x98\x80")), ByteString()) << "four-byte sequence at the end";
    EXPECT_EQ(DecodeUtf8ToAnsi(B("\xE4\xB8\xADx\xC3")), ByteString());
}

TEST(DecodeUtf8ToAnsiTest, LenientLeadBytes)
{
    // Only bit 0x20 decides the length: 0x9F starts a two-byte sequence, 0xBF a three-byte one.
    EXPECT_EQ(DecodeUtf8ToAnsi(B("\x81\x81")), B("A"));         // ((0x01)<<6)|0x01 = U+0041
    EXPECT_EQ(DecodeUtf8ToAnsi(B("\xF4\xB8\xAD")), kZhongGbk);  // bit 0x10 of a three-byte lead is ignored
    EXPECT_EQ(DecodeUtf8ToAnsi(B("\xC1\x81")), B("A"));         // overlong A
    // Characters that code page 936 lacks become '?'.
    EXPECT_EQ(DecodeUtf8ToAnsi(B("\xE0\xB8\x81")), B("?"));  // Thai ko kai
}

TEST(DecodeUtf8ToAnsiTest, SurrogatesEncodeOneUnitAtATime)
{
    // U+1F600 written as CESU-8 decodes to two surrogate units, which code page 936 lacks.
    const ByteString cesu = B("\xED\xA0\xBD\xED\xB8\x80");
    const ByteString ansi = DecodeUtf8ToAnsi(cesu);
    EXPECT_FALSE(ansi.IsEmpty());
    EXPECT_EQ(ansi.View().find_first_not_of('?'), std::string_view::npos);
}

TEST(DecodeUtf8ToAnsiTest, GbkRoundTrips)
{
    const ByteString texts[] = {
        B("\xD6\xD0\xCE\xC4"),                          // 中文
        B("\xC4\xE3\xBA\xC3\xA3\xAC\xCA\xC0\xBD\xE7"),  // 你好，世界
        B("Save \xB1\xA3\xB4\xE6 100%"),                // mixed
        B(std::string_view("a\0\xD6\xD0", 4)),          // zero byte kept
    };
    for (const ByteString& text : texts)
        EXPECT_EQ(DecodeUtf8ToAnsi(EncodeUtf8FromAnsi(text)), text) << text.View();
}

TEST(CodePageTest, TerminalConversions)
{
    EXPECT_EQ(cl::AnsiFromUtf8("中文"), B("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(cl::Utf8FromAnsi(B("\xD6\xD0\xCE\xC4")), "中文");
    EXPECT_EQ(cl::AnsiFromUtf8("[可疑的]"), B("[\xBF\xC9\xD2\xC9\xB5\xC4]"));
    EXPECT_EQ(cl::AnsiFromUtf8("\xFF"
                               "x"),
              B("?x"));
    EXPECT_EQ(cl::Utf8FromAnsi(B(std::string_view("a\0", 2))), std::string("a\0", 2));
    EXPECT_EQ(cl::AnsiToUtf16(B("\xD6\xD0")), u"中");
    EXPECT_EQ(cl::Utf16ToAnsi(u"中\u0E01"), B("\xD6\xD0?"));
}
