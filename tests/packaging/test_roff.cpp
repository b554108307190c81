// Text made safe for roff: what must be escaped, where a line of Chinese may break, and the
// lines that would be read as requests.

#include "Roff.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using clman::BreakMarks;
using clman::RoffText;

struct Case {
    const char* input;
    const char* withMarks;
    const char* withoutMarks;
};

TEST(Roff, EscapesAndBreakMarks)
{
    const Case cases[] = {
        {"plain words", "plain words", "plain words"},
        {"\\t \\\\", "\\(rst \\(rs\\(rs", "\\(rst \\(rs\\(rs"},
        {"--no-backup", "\\-\\-no\\-backup", "\\-\\-no\\-backup"},
        {"a\tb", "a b", "a b"},
        // A line may break after every ideograph but the last.
        {"中文字", "中\\:文\\:字", "中文字"},
        // Not before closing punctuation, not after opening punctuation.
        {"完成，然后", "完\\:成，\\:然\\:后", "完成，然后"},
        {"（非模糊）的", "（非\\:模\\:糊）\\:的", "（非模糊）的"},
        {"“生成…”写", "“生\\:成…”写", "“生成…”写"},
        // Latin text around Chinese: the break comes after the Chinese character only.
        {"TEXT（UTF-8）", "TEXT（UTF\\-8）", "TEXT（UTF\\-8）"},
        // A byte that is not UTF-8 is passed through and is not taken for a character.
        {"\xFF中\xE4", "\xFF中\\:\xE4", "\xFF中\xE4"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RoffText(c.input), c.withMarks) << c.input;
        EXPECT_EQ(RoffText(c.input, BreakMarks::None), c.withoutMarks) << c.input;
    }
}

TEST(Roff, LinesThatWouldBeRequestsAreProtected)
{
    EXPECT_EQ(clman::RoffTextLine(".class files"), "\\&.class files");
    EXPECT_EQ(clman::RoffTextLine("'quoted"), "\\&'quoted");
    EXPECT_EQ(clman::RoffTextLine("a .class"), "a .class");
    EXPECT_EQ(clman::RoffTextLine(""), "");
}

}  // namespace
