// The quick ways of listing against the plain ones they stand for: the table of code-page units
// against the platform's conversion of whole texts, the caption printed straight from UTF-8
// against the two conversions, the eight-bytes-at-a-time classifier against every position of
// a control byte or banned name, and rows that share the image against rows that hold text.

#include "text/CodePage.h"
#include "scan/Classifier.h"
#include "document/Replace.h"
#include "scan/Scanner.h"
#include "text/Utf8.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

using namespace cl;

namespace {

// Units from the ranges that matter: ASCII, Latin and symbols, CJK, the private use area,
// surrogates (alone and paired) and anything at all.
std::u16string RandomUnits(std::mt19937& random, size_t length)
{
    std::u16string units;
    for (size_t i = 0; i < length; ++i) {
        switch (random() % 7) {
            case 0: units += static_cast<char16_t>(random() % 0x80); break;
            case 1: units += static_cast<char16_t>(0x80 + random() % 0x2000); break;
            case 2: units += static_cast<char16_t>(0x4E00 + random() % 0x5200); break;
            case 3: units += static_cast<char16_t>(0xE000 + random() % 0x1900); break;
            case 4: units += static_cast<char16_t>(0xD800 + random() % 0x800); break;
            case 5:
                units += static_cast<char16_t>(0xD800 + random() % 0x400);
                units += static_cast<char16_t>(0xDC00 + random() % 0x400);
                break;
            default: units += static_cast<char16_t>(random() % 0x10000); break;
        }
    }
    return units;
}

std::string Utf8ThroughAnsi(std::u16string_view units)
{
    std::string out = "kept ";
    AppendUtf8ThroughAnsi(units, out);
    return out;
}

}  // namespace

TEST(CodePageTable, UnitByUnitAgreesWithTheWholeTextConversion)
{
    // Twice over the same texts: first while the table fills, then from the table.
    for (int round = 0; round < 2; ++round) {
        std::mt19937 texts(5);
        for (int i = 0; i < 3000; ++i) {
            const std::u16string units = RandomUnits(texts, 1 + texts() % 12);
            const ByteString whole = detail::Utf16ToAnsiUncached(units);
            ASSERT_EQ(Utf16ToAnsi(units), whole) << "text " << i << " round " << round;
            ASSERT_EQ(Utf8ThroughAnsi(units), "kept " + Utf8FromAnsi(whole)) << "text " << i << " round " << round;
        }
    }
    // Every unit of the plane once, one at a time and in runs.
    std::u16string all;
    for (uint32_t u = 1; u < 0x10000; ++u)
        all += static_cast<char16_t>(u);
    for (size_t at = 0; at < all.size(); at += 97) {
        const std::u16string_view run = std::u16string_view(all).substr(at, 97);
        ASSERT_EQ(Utf16ToAnsi(run), detail::Utf16ToAnsiUncached(run)) << "run at U+" << std::hex << at + 1;
        ASSERT_EQ(Utf8ThroughAnsi(run), "kept " + Utf8FromAnsi(detail::Utf16ToAnsiUncached(run)));
    }
}

TEST(CodePageTable, CaptionAsUtf8IsTheTwoConversions)
{
    const std::string cases[] = {
        "",
        "plain",
        "\xE4\xB8\xAD\xE6\x96\x87",          // 中文
        "mixed \xE4\xB8\xAD text",
        "\xC0\x80",                          // overlong zero, accepted
        "\xE4\xB8",                          // cut: the caption is empty
        "\xED\xA0\x80\xED\xB0\x80",          // a surrogate pair as two three-byte units
        "\xE2\x82\xAC \xC2\xA9 \xEF\xBF\xBD",  // euro, copyright, replacement character
        "tab\there\\ and \xE4\xB8\xAD",
    };
    for (const std::string& bytes : cases) {
        std::string out = "kept ";
        AppendCaptionAsUtf8(bytes, out);
        EXPECT_EQ(out, "kept " + Utf8FromAnsi(DecodeUtf8ToAnsi(ByteString(std::string_view(bytes))))) << bytes;
        EXPECT_EQ(DecodeUtf8ToAnsi(std::string_view(bytes)), DecodeUtf8ToAnsi(ByteString(std::string_view(bytes))));
    }
    std::mt19937 random(3);
    for (int i = 0; i < 5000; ++i) {
        std::string bytes;
        const size_t length = random() % 20;
        for (size_t k = 0; k < length; ++k)
            bytes += static_cast<char>(random() % 3 == 0 ? random() % 0x80 : 0x80 + random() % 0x80);
        std::string out;
        AppendCaptionAsUtf8(bytes, out);
        ASSERT_EQ(out, Utf8FromAnsi(DecodeUtf8ToAnsi(ByteString(std::string_view(bytes))))) << "case " << i;
    }
}

// The caption written straight from the bytes must be the two conversions whenever it is
// written at all, and must be written for the Chinese text that lists are mostly made of.
TEST(CodePageTable, CaptionWrittenStraightOnlyWhenEveryCharacterComesBackAsItself)
{
    auto straight = [](std::string_view bytes) -> std::optional<std::string> {
        std::string room(bytes.size(), '#');
        const char* end = TryWriteCaptionAsUtf8(room.data(), bytes);
        if (end == nullptr)
            return std::nullopt;
        return std::string(static_cast<const char*>(room.data()), end);
    };
    auto twoConversions = [](std::string_view bytes) {
        return Utf8FromAnsi(DecodeUtf8ToAnsi(ByteString(bytes)));
    };
    struct Case {
        const char* name;
        std::string bytes;
        bool written;
    };
    const Case cases[] = {
        {"Chinese", "\xE4\xB8\xAD\xE6\x96\x87", true},
        {"Chinese among ASCII", "a \xE4\xB8\xAD b", true},
        {"Latin-1 that GBK holds", "\xC2\xA7", true},  // §
        {"cut short: empty", "\xE4\xB8", true},
        {"malformed after Chinese: empty", "\xE4\xB8\xAD\xE4\x41\x41", true},
        {"Korean, not in GBK", "\xED\x95\x9C", false},
        {"overlong zero", "\xC0\x80", false},
        {"overlong three-byte", "\xE0\x81\x81", false},
        {"a four-byte lead read as three", "\xF4\xB8\xAD", false},
        {"a surrogate", "\xED\xA0\x80", false},
        {"euro sign, another unit through GBK's 0x80", "\xE2\x82\xAC", false},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> written = straight(c.bytes);
        EXPECT_EQ(written.has_value(), c.written) << c.name;
        if (written) {
            EXPECT_EQ(*written, twoConversions(c.bytes)) << c.name;
        }
    }
    // Every character of the CJK block GBK holds.
    for (char16_t u = 0x4E00; u <= 0x9FA5; ++u) {
        const std::string bytes{static_cast<char>(0xE0 | (u >> 12)), static_cast<char>(0x80 | ((u >> 6) & 0x3F)),
                                static_cast<char>(0x80 | (u & 0x3F))};
        const std::optional<std::string> written = straight(bytes);
        ASSERT_TRUE(written) << "U+" << std::hex << static_cast<unsigned>(u);
        ASSERT_EQ(*written, twoConversions(bytes)) << "U+" << std::hex << static_cast<unsigned>(u);
    }
    std::mt19937 random(11);
    for (int i = 0; i < 5000; ++i) {
        std::string bytes;
        for (const char16_t u : RandomUnits(random, random() % 10)) {
            if (u < 0x80) {
                bytes += static_cast<char>(u);
            } else if (u < 0x800 && random() % 2 == 0) {
                bytes += {static_cast<char>(0xC0 | (u >> 6)), static_cast<char>(0x80 | (u & 0x3F))};
            } else {
                bytes += {static_cast<char>(0xE0 | (u >> 12)), static_cast<char>(0x80 | ((u >> 6) & 0x3F)),
                          static_cast<char>(0x80 | (u & 0x3F))};
            }
        }
        const std::optional<std::string> written = straight(bytes);
        if (written) {
            ASSERT_EQ(*written, twoConversions(bytes)) << "case " << i;
        }
    }
}

TEST(ClassifierWords, EveryPositionOfEveryLengthIsSeen)
{
    struct Case {
        std::string_view inserted;
        bool listable;
    };
    const Case cases[] = {
        {"\x01", false}, {"\x08", false}, {std::string_view("\0", 1), false}, {"\x09", true}, {"\xFF", true},
        {"B/s", false},  {"java/", false}, {"javax/", false}, {"init>", false}, {"/", true},     {">", true},
    };
    for (const Case& c : cases) {
        for (size_t length = c.inserted.size() + 1; length <= 40; ++length) {
            for (size_t at = 0; at + c.inserted.size() <= length; ++at) {
                std::string s(length, 'a');
                s.replace(at, c.inserted.size(), c.inserted);
                if (s[0] == '(' || s.size() < 2)
                    continue;
                const bool listable = ClassifyString(ByteString(std::string_view(s)), {}) != Classification::NotListed;
                ASSERT_EQ(listable, c.listable) << "length " << length << " at " << at << " inserted "
                                                << testing::PrintToString(std::string(c.inserted));
            }
        }
    }
}

TEST(SharedRows, CaptionsComeFromTheImageAndStayWithTheirCopy)
{
    std::string bytes;
    for (const std::string_view s : {"First", "\xE4\xB8\xAD\xE6\x96\x87", "Third"}) {
        bytes += std::string("\x01\x00", 2);
        bytes += static_cast<char>(s.size());
        bytes += s;
    }
    FileImage image;
    image.bytes = ByteString(std::string_view(bytes));
    image.loadedSize = image.bytes.ByteLength();
    StringList list;
    ASSERT_TRUE(ScanClassImage(image, {}, list).ok());
    ASSERT_EQ(list.rows.size(), 3u);
    EXPECT_EQ(list.rows[1].Caption(), ByteString("\xD6\xD0\xCE\xC4"));  // 中文 in GBK
    EXPECT_EQ(list.rows[1].FoundBytes(), "\xE4\xB8\xAD\xE6\x96\x87");
    for (const StringRow& row : list.rows)
        EXPECT_TRUE(row.IsFound() && row.SharesImage(image.bytes));

    const std::vector<StringRow> before = list.rows;
    ASSERT_EQ(ReplaceSelectedString(image, list, 0, ByteString("1st")), ReplaceOutcome::Replaced);
    // The list moved to the patched image, which was patched in place: nothing else held it.
    for (const StringRow& row : list.rows)
        EXPECT_TRUE(row.SharesImage(image.bytes));
    EXPECT_EQ(list.rows[0].Caption(), ByteString("1st"));
    EXPECT_EQ(list.rows[2].Caption(), ByteString("Third"));
    EXPECT_EQ(list.rows[2].offset, before[2].offset - 2);
    // The copy still shows the file as it was.
    EXPECT_EQ(before[0].Caption(), ByteString("First"));
    EXPECT_EQ(before[2].Caption(), ByteString("Third"));

    // A text the code page does not keep as typed (an invalid byte reads back as '?') stays the
    // caption all the same.
    ASSERT_EQ(ReplaceSelectedString(image, list, 2, ByteString("z\x81")), ReplaceOutcome::Replaced);
    EXPECT_FALSE(list.rows[2].IsFound());
    EXPECT_EQ(list.rows[2].Caption(), ByteString("z\x81"));
    EXPECT_EQ(list.rows[1].Caption(), ByteString("\xD6\xD0\xCE\xC4"));
}
