#include "EngineText.h"
#include "text/ByteStringErrors.h"
#include "document/Replace.h"
#include "scan/Scanner.h"

#include <gtest/gtest.h>

#include <string>

using namespace cl;

namespace {

ByteString B(std::string_view s)
{
    return ByteString(s);
}

std::string Constant(std::string_view s)
{
    return std::string("\x01\x00", 2) + static_cast<char>(s.size()) + std::string(s);
}

struct Opened {
    FileImage image;
    StringList list;
};

Opened Open(const std::string& bytes, const FilterList& filter = {})
{
    Opened opened;
    opened.image.bytes = B(bytes);
    opened.image.loadedSize = opened.image.bytes.ByteLength();
    EXPECT_TRUE(ScanClassImage(opened.image, filter, opened.list).ok());
    return opened;
}

// Every row's offset must still point at a tag byte followed by its length bytes.
void ExpectRowsPointAtTheirStrings(const Opened& o)
{
    for (const StringRow& row : o.list.rows) {
        EXPECT_EQ(o.image.bytes.ByteAt(row.offset), 0x01) << row.Caption().View();
        EXPECT_EQ(o.image.bytes.ByteAt(row.offset + 1), 0x00);
        EXPECT_EQ(o.image.bytes.ByteAt(row.offset + 2), row.byteLength);
    }
}

}  // namespace

TEST(ReplaceSelectedStringTest, ShorterTextShiftsLaterRows)
{
    // Suspicious "Warn" is listed last but lies after "Hello" in the file.
    Opened o =
        Open("ab" + Constant("Front") + Constant("Hello") + Constant("Warn") + Constant("Tail"), FilterList{B("Warn")});
    ASSERT_EQ(o.list.rows.size(), 4u);
    const int32_t frontOffset = o.list.rows[0].offset;
    const int32_t warnOffset = o.list.rows[3].offset;
    const int32_t tailOffset = o.list.rows[2].offset;
    const int32_t sizeBefore = o.image.bytes.ByteLength();

    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 1, B("Hey")), ReplaceOutcome::Replaced);
    EXPECT_EQ(o.image.bytes.ByteLength(), sizeBefore - 2);
    EXPECT_EQ(o.image.bytes.View(), "ab" + Constant("Front") + Constant("Hey") + Constant("Warn") + Constant("Tail"));
    EXPECT_EQ(o.list.rows[0].offset, frontOffset);
    EXPECT_EQ(o.list.rows[3].offset, warnOffset - 2);
    EXPECT_EQ(o.list.rows[2].offset, tailOffset - 2);
    EXPECT_EQ(o.list.rows[1].Caption(), B("Hey"));
    EXPECT_EQ(o.list.rows[1].byteLength, 3);
    EXPECT_EQ(o.list.rows[1].status, RowStatus::Plain);
    ExpectRowsPointAtTheirStrings(o);
}

TEST(ReplaceSelectedStringTest, LongerAndChineseTextAndRepeatedReplacement)
{
    Opened o = Open(Constant("One") + Constant("Two") + Constant("Three"));
    const ByteString zhong("\xD6\xD0\xCE\xC4");  // 中文 in code page 936
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 0, zhong), ReplaceOutcome::Replaced);
    EXPECT_EQ(o.image.bytes.View(), Constant("\xE4\xB8\xAD\xE6\x96\x87") + Constant("Two") + Constant("Three"));
    EXPECT_EQ(o.list.rows[0].Caption(), zhong) << "the caption is the typed text";
    EXPECT_EQ(o.list.rows[0].byteLength, 6);
    ExpectRowsPointAtTheirStrings(o);
    // Each replacement reads the current length byte, so replacing again works.
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 0, B("1")), ReplaceOutcome::Replaced);
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 2, B("3rd")), ReplaceOutcome::Replaced);
    EXPECT_EQ(o.image.bytes.View(), Constant("1") + Constant("Two") + Constant("3rd"));
    ExpectRowsPointAtTheirStrings(o);
}

TEST(ReplaceSelectedStringTest, LengthLimitIsOnUtf8Bytes)
{
    Opened o = Open(Constant("Short") + Constant("Next"));
    std::string gbk85;
    for (int i = 0; i < 85; ++i)
        gbk85 += "\xD6\xD0";
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 0, B(gbk85)), ReplaceOutcome::Replaced);
    EXPECT_EQ(o.image.bytes.ByteAt(3), 255);
    EXPECT_EQ(o.list.rows[0].byteLength, 255);
    ExpectRowsPointAtTheirStrings(o);

    const ByteString before = o.image.bytes;
    const StringList listBefore = o.list;
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 1, B(gbk85 + "\xD6\xD0")), ReplaceOutcome::TooLong);
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 1, B(std::string(256, 'x'))), ReplaceOutcome::TooLong);
    EXPECT_EQ(o.image.bytes, before);
    EXPECT_EQ(o.list.rows[1].Caption(), listBefore.rows[1].Caption());
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 1, B(std::string(255, 'x'))), ReplaceOutcome::Replaced);
    EXPECT_STREQ(cltext::ReplacementTooLongText(), "替换的字符UTF-8字节长度超过255个字符，不能替换，请减小字符长度。");
}

TEST(ReplaceSelectedStringTest, NothingHappensWithoutTextOrSelection)
{
    Opened o = Open(Constant("Hello"));
    const ByteString before = o.image.bytes;
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 0, ByteString()), ReplaceOutcome::NothingToDo);
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, -1, B("x")), ReplaceOutcome::NothingToDo);
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 1, B("x")), ReplaceOutcome::NothingToDo);
    EXPECT_EQ(o.image.bytes, before);
    EXPECT_EQ(o.list.rows[0].Caption(), B("Hello"));
}

TEST(ReplaceSelectedStringTest, CutStringAtTheEndOfTheFile)
{
    Opened o = Open(Constant("Keep") + std::string("\x01\x00\x09"
                                                   "cut",
                                                   6));
    ASSERT_EQ(o.list.rows.size(), 2u);
    EXPECT_EQ(o.list.rows[1].byteLength, 3);
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 1, B("whole")), ReplaceOutcome::Replaced);
    EXPECT_EQ(o.image.bytes.View(), Constant("Keep") + Constant("whole"));
}

TEST(ReplaceSelectedStringTest, PackRowsPatchLikeClassRows)
{
    FileImage image;
    image.bytes =
        B(std::string("\xAA\x00\x05Hello\x00\x03"
                      "Bye",
                      13));
    image.loadedSize = image.bytes.ByteLength();
    StringList list;
    ASSERT_TRUE(ScanPackImage(image, {}, list).ok());
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(ReplaceSelectedString(image, list, 0, B("Hi")), ReplaceOutcome::Replaced);
    EXPECT_EQ(image.bytes.View(), std::string_view("\xAA\x00\x02Hi\x00\x03"
                                                   "Bye",
                                                   10));
    EXPECT_EQ(list.rows[1].offset, 5);
    EXPECT_EQ(image.bytes.ByteAt(list.rows[1].offset + 2), 3);
}

TEST(ReplaceSelectedStringTest, TypedCaptionIsKeptEvenWhenBytesDecodeDifferently)
{
    Opened o = Open(Constant("Hello"));
    // 0xFF is not valid in code page 936: the bytes written are "?", the caption stays as typed.
    EXPECT_EQ(ReplaceSelectedString(o.image, o.list, 0,
                                    B("\xFF"
                                      "A")),
              ReplaceOutcome::Replaced);
    EXPECT_EQ(o.list.rows[0].Caption(), B("\xFF"
                                        "A"));
    EXPECT_EQ(o.image.bytes.View(), Constant("?A"));
}
