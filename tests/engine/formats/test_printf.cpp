// Formatter patterns: which argument each specifier formats, what a translation may change and
// what it may not, and where a refused pattern goes wrong. Which patterns Java accepts is
// compared with Java itself in test_formats_java.cpp.

#include "formats/Printf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace cl::formats;
using cl::TranslationProblem;

TEST(PrintfPatterns, EachSpecifierFormatsTheArgumentFormatterGivesIt)
{
    const struct {
        std::string pattern;
        std::string arguments;  // "argument:kind" of each specifier, %n and %% as 0
    } cases[] = {
        {"%s and %d", "1:s 2:d"},
        {"%2$s %1$s", "2:s 1:s"},
        // An explicit index does not move the count of ordinary ones.
        {"%2$s %s %s", "2:s 1:s 2:s"},
        {"%s %<S %<tY", "1:s 1:s 1:tY"},
        {"%3$s %<d %s", "3:s 3:d 1:s"},
        {"%1$tY-%1$tm-%1$td%n100%%", "1:tY 1:tm 1:td 0:n 0:%"},
        {"%-10s|%08.3f|%,d|%X", "1:s 2:f 3:d 4:x"},
        {"no specifiers", ""},
    };
    for (const auto& c : cases) {
        const PrintfPattern p = ParsePrintf(c.pattern);
        ASSERT_TRUE(p.valid()) << c.pattern;
        std::string got;
        for (const PrintfConversion& conversion : p.conversions)
            got += (got.empty() ? "" : " ") + std::to_string(conversion.argument) + ":" + conversion.Kind();
        EXPECT_EQ(got, c.arguments) << c.pattern;
    }
    EXPECT_TRUE(ParsePrintf("%s").HasArguments());
    EXPECT_FALSE(ParsePrintf("%n%%").HasArguments());
    EXPECT_FALSE(ParsePrintf("%q %s").HasArguments());
}

TEST(PrintfPatterns, KeepsWidthFlagsAndCase)
{
    const PrintfPattern p = ParsePrintf("%-(12.3E");
    ASSERT_TRUE(p.valid());
    ASSERT_EQ(p.conversions.size(), 1u);
    const PrintfConversion& c = p.conversions[0];
    EXPECT_EQ(c.flags, "-(");
    EXPECT_EQ(c.width, 12);
    EXPECT_EQ(c.precision, 3);
    EXPECT_EQ(c.conversion, 'e');
    EXPECT_TRUE(c.upper);
    EXPECT_EQ(c.length, 8u);
}

TEST(PrintfPatterns, FaultSaysWhichSpecifier)
{
    const struct {
        std::string pattern;
        PrintfFault fault;
        std::size_t offset;
    } cases[] = {
        {"ok %s then %q", PrintfFault::UnknownConversion, 11},
        {"中文 %-s", PrintfFault::MissingWidth, 7},
        {"%d %<s %0$s", PrintfFault::IllegalIndex, 7},
        {"%n %<s", PrintfFault::NoPreviousArgument, 3},
        {"50%", PrintfFault::UnknownConversion, 2},
        {"%,x", PrintfFault::FlagMismatch, 0},
        {"%--5s", PrintfFault::DuplicateFlags, 0},
    };
    for (const auto& c : cases) {
        const PrintfPattern p = ParsePrintf(c.pattern);
        EXPECT_EQ(p.fault, c.fault) << c.pattern;
        EXPECT_EQ(p.faultOffset, c.offset) << c.pattern;
        EXPECT_TRUE(p.conversions.empty()) << c.pattern;
    }
}

TEST(PrintfTranslation, SameConversionsForTheSameArguments)
{
    const struct {
        std::string original;
        std::string translation;
        TranslationProblem kind;
        int32_t argument;
        std::string expected;
        std::string found;
    } cases[] = {
        {"%s of %d", "%2$d 中的 %1$s", TranslationProblem::None, 0, "", ""},
        {"%s of %d", "%s 的 %d", TranslationProblem::None, 0, "", ""},
        {"%5.2f%%", "%.1f%%", TranslationProblem::None, 0, "", ""},  // width and precision may change
        {"Hello %S", "你好 %s", TranslationProblem::None, 0, "", ""},
        {"%tm/%<td/%<tY", "%1$tY年%1$tm月%1$td日", TranslationProblem::None, 0, "", ""},
        {"%s%n", "%s", TranslationProblem::None, 0, "", ""},
        {"%s of %d", "%s", TranslationProblem::FormatArgumentMissing, 2, "d", ""},
        {"%s", "%s %s", TranslationProblem::FormatArgumentExtra, 2, "", "s"},
        {"%d files", "%s 个文件", TranslationProblem::FormatArgumentChanged, 1, "d", "s"},
        {"%tY", "%ty", TranslationProblem::FormatArgumentChanged, 1, "tY", "ty"},
        {"%tm/%<td", "%1$tm", TranslationProblem::FormatArgumentChanged, 1, "td,tm", "tm"},
        {"%d files", "%d 个文件 %", TranslationProblem::FormatInvalid, 0, "", ""},
        {"%d%%", "%d%", TranslationProblem::FormatInvalid, 0, "", ""},
    };
    for (const auto& c : cases) {
        const PrintfProblem problem = CheckPrintfTranslation(c.original, c.translation);
        EXPECT_EQ(problem.kind, c.kind) << c.original << " -> " << c.translation;
        EXPECT_EQ(problem.ok(), c.kind == TranslationProblem::None);
        if (c.kind == TranslationProblem::None || c.kind == TranslationProblem::FormatInvalid)
            continue;
        EXPECT_EQ(problem.argument, c.argument) << c.original << " -> " << c.translation;
        EXPECT_EQ(problem.expected, c.expected) << c.original << " -> " << c.translation;
        EXPECT_EQ(problem.found, c.found) << c.original << " -> " << c.translation;
    }
    const PrintfProblem invalid = CheckPrintfTranslation("%d", "%d %-d");
    EXPECT_EQ(invalid.fault, PrintfFault::MissingWidth);
    EXPECT_EQ(invalid.faultOffset, 3u);
}

}  // namespace
