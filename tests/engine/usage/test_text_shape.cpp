// What a text looks like on its own: data (no letter, control characters) and prose.

#include "usage/TextShape.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextShape, DataHasNoLetterOrHoldsControlCharacters)
{
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"12:34", true},
        {"...", true},
        {"#,##0.00", true},
        {" - ", true},
        {"\x01: \x01", true},                 // a recipe of values only
        {std::string("\0ab", 3), true},       // a NUL
        {"ab\x07", true},                     // a bell
        {"\xc2\x85text", true},               // a C1 control (U+0085)
        {"Delete\x7f", true},                 // DEL among letters
        {"\x02\x01", true},                    // a recipe's values, nothing else
        {"\x02z", false},                      // ... beside a letter
        {"a", false},
        {"Line one\nLine two\tend\r", false}, // tab and line breaks are text
        {"\x01 items", false},
        {"\xe4\xbf\x9d\xe5\xad\x98", false},  // 保存
        {"\xc3\xa9t\xc3\xa9", false},         // été
    };
    for (const auto& [text, data] : cases)
        EXPECT_EQ(cl::usage::IsData(text), data) << text;
}

TEST(TextShape, APatternsPlaceholdersAreNoLetters)
{
    using cl::usage::FormatStyle;
    const struct {
        const char* text;
        FormatStyle format;
        bool data;
    } cases[] = {
        {"%s[]", FormatStyle::Printf, true},
        {"%1$s: %2$-10.3f%n", FormatStyle::Printf, true},
        {"%<tY-%tm", FormatStyle::Printf, true},
        {"100%%", FormatStyle::Printf, true},
        {"%s files", FormatStyle::Printf, false},
        {"%zebra", FormatStyle::Printf, false},        // %z is taken as a conversion, "ebra" stays
        {"%s[]", FormatStyle::None, false},            // no pattern: the s is a letter
        {"{0}: {1}", FormatStyle::MessageFormat, true},
        {"{0,number,#.##} / { 1 }", FormatStyle::MessageFormat, true},
        {"{0,choice,0#none|1#one}", FormatStyle::MessageFormat, false},  // a choice shows its words
        {"{0} files", FormatStyle::MessageFormat, false},
        {"{name}", FormatStyle::MessageFormat, false},  // no argument: braces and a word
        {"%s", FormatStyle::MessageFormat, false},      // another style's placeholder is text
    };
    for (const auto& c : cases)
        EXPECT_EQ(cl::usage::IsData(c.text, c.format), c.data) << c.text;
}

TEST(TextShape, ProseIsWordsSideBySideOrACapitalisedWord)
{
    const std::pair<std::string, bool> cases[] = {
        {"Save as", true},
        {"save as", true},
        {"Cancel", true},
        {"Error:", true},
        {"(Untitled)", true},
        {"Loading...", true},
        {"don't panic", true},
        {"Found \x01 items", true},
        {"\xe4\xbf\x9d\xe5\xad\x98", true},  // 保存: a script without case
        {"\xc3\x89t\xc3\xa9", true},          // Été
        {"os.name", false},
        {"getName", false},
        {"UTF-8", false},
        {"OK", false},
        {"java.lang.String", false},
        {"/images/icon.png", false},
        {"someIdentifier", false},
        {"user_home", false},
        {"x", false},
        {"a = b", false},
        {"%s.%s", false},
        {"MyClass", false},
        {"", false},
    };
    for (const auto& [text, prose] : cases)
        EXPECT_EQ(cl::usage::ReadsAsProse(text), prose) << text;
}

}  // namespace
