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
