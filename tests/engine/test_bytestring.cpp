#include "EngineText.h"
#include "text/ByteString.h"
#include "text/ByteStringErrors.h"

#include <gtest/gtest.h>

#include <string>

using cl::ByteString;

namespace {

ByteString Bytes(std::string_view s)
{
    return ByteString(s);
}

}  // namespace

TEST(ByteStringTest, ConstructionAndLength)
{
    EXPECT_EQ(ByteString().ByteLength(), 0);
    EXPECT_EQ(ByteString("").ByteLength(), 0);
    EXPECT_EQ(ByteString("abc").ByteLength(), 3);
    // A literal ends at its first zero byte; an explicit count keeps zero bytes.
    EXPECT_EQ(ByteString("ab\0cd").ByteLength(), 2);
    EXPECT_EQ(ByteString("ab\0cd", 5).ByteLength(), 5);
    EXPECT_EQ(ByteString().Bytes()[0], 0);
    EXPECT_NE(ByteString().Bytes(), nullptr);
    ByteString abc("abc");
    EXPECT_EQ(abc.Bytes()[3], 0) << "storage is followed by a zero byte";
}

TEST(ByteStringTest, LocateFindsLeftmostMatch)
{
    EXPECT_EQ(Bytes("abc").Locate(ByteString()), 0);
    EXPECT_EQ(ByteString().Locate(Bytes("a")), 0);
    EXPECT_EQ(Bytes("ab").Locate(Bytes("abc")), 0);
    EXPECT_EQ(Bytes("abcdef").Locate(Bytes("ef")), 5);
    EXPECT_EQ(Bytes("aaab").Locate(Bytes("aab")), 2);
    EXPECT_EQ(Bytes("abcabc").Locate(Bytes("c")), 3);
    EXPECT_EQ(Bytes("abc").Locate(Bytes("x")), 0);
    EXPECT_EQ(Bytes(std::string_view("\0\0\0\x01\0", 5)).Locate(Bytes("\x01")), 4);
    EXPECT_EQ(Bytes(std::string_view("\0\0x", 3)).Locate(Bytes(std::string_view("\0x", 2))), 2);
}

TEST(ByteStringTest, SliceClampsPositionButNotCount)
{
    const ByteString s("abcdef");
    EXPECT_EQ(s.Slice(0, 3), Bytes("abc"));
    EXPECT_EQ(s.Slice(-5, 3), Bytes("abc"));
    EXPECT_EQ(s.Slice(7, 1), ByteString());
    EXPECT_EQ(s.Slice(6, 5), Bytes("f"));
    EXPECT_EQ(s.Slice(2, 0), ByteString());
    EXPECT_EQ(s.Slice(2, -1), ByteString());
    EXPECT_EQ(s.Slice(2, 3), Bytes("bcd"));
    EXPECT_EQ(s.Slice(1, 2147483647), s);
}

TEST(ByteStringTest, EraseIgnoresOutOfRangePositions)
{
    auto erase = [](int32_t p, int32_t c) {
        ByteString s("abcdef");
        s.Erase(p, c);
        return s;
    };
    EXPECT_EQ(erase(0, 2), Bytes("abcdef"));
    EXPECT_EQ(erase(7, 1), Bytes("abcdef"));
    EXPECT_EQ(erase(5, 10), Bytes("abcd"));
    EXPECT_EQ(erase(2, 0), Bytes("abcdef"));
    EXPECT_EQ(erase(2, 2), Bytes("adef"));
    EXPECT_EQ(erase(1, 6), ByteString());
    ByteString empty;
    empty.Erase(1, 1);
    EXPECT_EQ(empty.ByteLength(), 0);
}

TEST(ByteStringTest, InsertAtClampsPosition)
{
    auto insert = [](int32_t p) {
        ByteString s("abc");
        s.InsertAt(Bytes("XY"), p);
        return s;
    };
    EXPECT_EQ(insert(0), Bytes("XYabc"));
    EXPECT_EQ(insert(-3), Bytes("XYabc"));
    EXPECT_EQ(insert(4), Bytes("abcXY"));
    EXPECT_EQ(insert(10), Bytes("abcXY"));
    EXPECT_EQ(insert(2), Bytes("aXYbc"));
    ByteString s("abc");
    s.InsertAt(ByteString(), 2);
    EXPECT_EQ(s, Bytes("abc"));
    s.InsertAt(s, 2);
    EXPECT_EQ(s, Bytes("aabcbc")) << "a value inserted into itself";
}

TEST(ByteStringTest, SetByteLengthAndAppend)
{
    ByteString s("abcdef");
    s.SetByteLength(3);
    EXPECT_EQ(s, Bytes("abc"));
    EXPECT_EQ(s.Bytes()[3], 0);
    s.SetByteLength(0);
    EXPECT_EQ(s, ByteString());
    ByteString t("abc");
    t.SetByteLength(-1);
    EXPECT_EQ(t.ByteLength(), 0);
    t.SetByteLength(4);
    std::copy_n("wxyz", 4, t.Bytes());
    EXPECT_EQ(t, Bytes("wxyz"));

    ByteString u("ab");
    u.Append(Bytes("cd"));
    u.Append(ByteString());
    EXPECT_EQ(u, Bytes("abcd"));
    for (int i = 0; i < 1000; ++i)
        u.Append(Bytes("x"));
    EXPECT_EQ(u.ByteLength(), 1004);
    EXPECT_EQ(u.Bytes()[1004], 0);
}

TEST(ByteStringTest, EqualityAndConcatenation)
{
    EXPECT_EQ(Bytes("abc"), Bytes("abc"));
    EXPECT_NE(Bytes("abc"), Bytes(std::string_view("abc\0", 4)));
    EXPECT_NE(Bytes("abc"), Bytes("ABC"));
    EXPECT_EQ(ByteString(), ByteString(""));
    EXPECT_NE(ByteString(), Bytes("a"));
    EXPECT_EQ(Bytes("ab") + Bytes("cd"), Bytes("abcd"));
    EXPECT_EQ("x" + Bytes("yz"), Bytes("xyz"));
    EXPECT_EQ(ByteString() + ByteString(), ByteString());
}

TEST(ByteStringTest, FromInteger)
{
    EXPECT_EQ(ByteString::FromInteger(0), Bytes("0"));
    EXPECT_EQ(ByteString::FromInteger(255), Bytes("255"));
    EXPECT_EQ(ByteString::FromInteger(-5), Bytes("-5"));
    EXPECT_EQ(ByteString::FromInteger(-2147483647 - 1), Bytes("-2147483648"));
}

TEST(ByteStringTest, ByteAtIsRangeCheckedAndLeavesValueAlone)
{
    ByteString s("abc");
    EXPECT_EQ(std::as_const(s).ByteAt(1), 'a');
    EXPECT_EQ(std::as_const(s).ByteAt(3), 'c');
    EXPECT_THROW(std::as_const(s).ByteAt(0), cl::RangeError);
    EXPECT_THROW(s.ByteAt(4), cl::RangeError);
    EXPECT_EQ(s, Bytes("abc"));
    ByteString empty;
    for (int p : {-1, 0, 1, 2})
        EXPECT_THROW(empty.ByteAt(p), cl::RangeError);
    try {
        s.ByteAt(0);
        FAIL() << "no range error";
    } catch (const cl::RangeError&) {
        // What the user reads of it comes from the front ends' texts.
        EXPECT_STREQ(cltext::RangeErrorText(), "Range check error");
    }
    EXPECT_STREQ(cltext::OutOfMemoryText(), "Out of memory");
}

TEST(ByteStringTest, CopiesAreIndependentValues)
{
    ByteString original("hello");
    ByteString copy = original;
    EXPECT_EQ(std::as_const(copy).Bytes(), std::as_const(original).Bytes()) << "copies share storage until changed";
    copy.ByteAt(1) = 'j';
    EXPECT_EQ(original, Bytes("hello"));
    EXPECT_EQ(copy, Bytes("jello"));

    ByteString a("abc");
    ByteString b = a;
    b.Erase(1, 1);
    ByteString c = a;
    c.InsertAt(Bytes("Z"), 1);
    ByteString d = a;
    d.SetByteLength(2);
    ByteString e = a;
    e.Append(Bytes("!"));
    ByteString f = a;
    f.Bytes()[0] = 'q';
    EXPECT_EQ(a, Bytes("abc"));
    EXPECT_EQ(b, Bytes("bc"));
    EXPECT_EQ(c, Bytes("Zabc"));
    EXPECT_EQ(d, Bytes("ab"));
    EXPECT_EQ(e, Bytes("abc!"));
    EXPECT_EQ(f, Bytes("qbc"));

    ByteString moved = std::move(e);
    EXPECT_EQ(moved, Bytes("abc!"));
    const ByteString& alias = a;
    a = alias;  // self-assignment keeps the value
    EXPECT_EQ(a, Bytes("abc"));
}

TEST(ByteStringTest, ZeroBytesAreContent)
{
    const ByteString z(std::string_view("a\0b\0", 4));
    ByteString copy = z;
    EXPECT_EQ(copy.ByteLength(), 4);
    EXPECT_EQ(z.Slice(2, 2), Bytes(std::string_view("\0b", 2)));
    copy.Erase(1, 1);
    EXPECT_EQ(copy, Bytes(std::string_view("\0b\0", 3)));
    copy.InsertAt(Bytes(std::string_view("\0", 1)), 4);
    EXPECT_EQ(copy, Bytes(std::string_view("\0b\0\0", 4)));
}
