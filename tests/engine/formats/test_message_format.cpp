// MessageFormat patterns: what a translation may change and what it may not, where a refused
// pattern goes wrong, and the types the engine tells apart. Which patterns Java accepts is
// compared with Java itself in test_formats_java.cpp.

#include "formats/MessageFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace cl::formats;
using cl::TranslationProblem;

TEST(MessageTranslation, KeepsTheSetOfArgumentsAndTheirTypes)
{
    const struct {
        std::string original;
        std::string translation;
        TranslationProblem kind;
        int32_t argument;
    } cases[] = {
        {"{0} files in {1}", "{1} 中有 {0} 个文件", TranslationProblem::None, -1},
        {"{0} of {0}", "{0}", TranslationProblem::None, -1},
        {"{0}", "{0}，共 {0}", TranslationProblem::None, -1},
        {"no arguments", "没有参数", TranslationProblem::None, -1},
        {"It''s {0}", "这是 {0}", TranslationProblem::None, -1},
        {"{0,number,integer} items", "{0,number,#,##0} 项", TranslationProblem::None, -1},  // style may change
        {"{0,date,short}", "{0,date,yyyy年M月d日}", TranslationProblem::None, -1},
        {"{0} files in {1}", "{0} 个文件", TranslationProblem::FormatArgumentMissing, 1},
        {"{0} files", "{0} 个文件在 {1}", TranslationProblem::FormatArgumentExtra, 1},
        {"{0} files", "'{0}' 个文件", TranslationProblem::FormatArgumentMissing, 0},  // quoted: no argument
        {"{0} files", "{0 个文件", TranslationProblem::FormatInvalid, -1},
        {"{0} files", "{0,numbr} 个文件", TranslationProblem::FormatInvalid, -1},
        {"{0}", "{0,number}", TranslationProblem::FormatArgumentChanged, 0},
        {"{0,number}", "{0}", TranslationProblem::FormatArgumentChanged, 0},
        {"{0,date}", "{0,time}", TranslationProblem::FormatArgumentChanged, 0},
        {"{0} and {0,number}", "{0,number}", TranslationProblem::FormatArgumentChanged, 0},
        // Arguments inside a choice count as MessageFormat uses them when formatting.
        {"{0,choice,0#none|1#{1} files}", "{0,choice,0#没有|1#{1} 个文件}", TranslationProblem::None, -1},
        {"{0,choice,0#none|1#{1} files}", "{0,choice,0#没有|1#一些文件}", TranslationProblem::FormatArgumentMissing, 1},
        {"{0,choice,0#none|1#{1} files}", "{0,choice,0#没有|1#{1 个文件}", TranslationProblem::FormatInvalid, -1},
        {"{0,choice,0#none|1#many}", "{0,choice,0#没有|1#很多", TranslationProblem::FormatInvalid, -1},
    };
    for (const auto& c : cases) {
        const MessageProblem problem = CheckMessageTranslation(c.original, c.translation);
        EXPECT_EQ(problem.kind, c.kind) << c.original << " -> " << c.translation;
        if (c.kind != TranslationProblem::None && c.kind != TranslationProblem::FormatInvalid) {
            EXPECT_EQ(problem.argument, c.argument) << c.original << " -> " << c.translation;
        }
        EXPECT_EQ(problem.ok(), c.kind == TranslationProblem::None);
    }
}

TEST(MessagePatterns, FaultSaysWhatAndWhere)
{
    const struct {
        std::string pattern;
        MessageFault fault;
        std::size_t offset;
    } cases[] = {
        {"{0} and {x}", MessageFault::BadArgumentNumber, 10},
        {"中文{-1}", MessageFault::NegativeArgument, 9},
        {"{10000}", MessageFault::ArgumentTooLarge, 6},
        {"{0,currency}", MessageFault::UnknownType, 11},
        {"{0,number,#.#.#}", MessageFault::BadNumberStyle, 15},
        {"{0,time,HH:mm bb}", MessageFault::BadDateStyle, 16},
        {"{0,choice,1#a|0#b}", MessageFault::BadChoiceStyle, 17},
        {"文件 {0", MessageFault::UnmatchedBraces, 9},
    };
    for (const auto& c : cases) {
        const MessagePattern p = ParseMessageFormat(c.pattern);
        EXPECT_EQ(p.fault, c.fault) << c.pattern;
        EXPECT_EQ(p.faultOffset, c.offset) << c.pattern;
        EXPECT_FALSE(p.valid()) << c.pattern;
        EXPECT_TRUE(p.arguments.empty()) << c.pattern;
    }
}

TEST(MessagePatterns, TypesAndNestedArgumentsInPatternOrder)
{
    const MessagePattern p =
        ParseMessageFormat("{2,time,short} {1,date} {0,choice,0#x|1#{3,number} and {4}} {5,NUMBER} {6,,}");
    ASSERT_TRUE(p.valid());
    const std::vector<std::tuple<int32_t, MessageType, bool>> expected = {
        {2, MessageType::Time, false},  {1, MessageType::Date, false},   {0, MessageType::Choice, false},
        {3, MessageType::Number, true}, {4, MessageType::None, true},    {5, MessageType::Number, false},
        {6, MessageType::None, false},
    };
    ASSERT_EQ(p.arguments.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(p.arguments[i].number, std::get<0>(expected[i])) << i;
        EXPECT_EQ(p.arguments[i].type, std::get<1>(expected[i])) << i;
        EXPECT_EQ(p.arguments[i].nested, std::get<2>(expected[i])) << i;
    }
}

TEST(MessagePatterns, HasArgumentsOnlyWhenValidWithOne)
{
    EXPECT_TRUE(ParseMessageFormat("Saved {0}").HasArguments());
    EXPECT_TRUE(ParseMessageFormat("{0,choice,0#none|1#one}").HasArguments());
    EXPECT_FALSE(ParseMessageFormat("Don't save").HasArguments());
    EXPECT_FALSE(ParseMessageFormat("'{0}' is literal").HasArguments());
    EXPECT_FALSE(ParseMessageFormat("{0").HasArguments());
    EXPECT_FALSE(ParseMessageFormat("{name}").HasArguments());
    // A brace left open inside an argument drops it without an error, as Java does.
    const MessagePattern open = ParseMessageFormat("{0,choice,0#{");
    EXPECT_TRUE(open.valid());
    EXPECT_FALSE(open.HasArguments());
}

// A choice inside a choice text must be quoted, its quotes doubled at each level: Java reads
// '#' and '|' anywhere in a choice text as its own.
std::string Nested(int depth)
{
    std::string pattern = "{1} and {2,number}";
    for (int i = 0; i < depth; ++i) {
        std::string quoted;
        for (const char c : pattern)
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        pattern = "{0,choice,0#'" + quoted + "'|1#none}";
    }
    return pattern;
}

TEST(MessagePatterns, ChoicesInChoicesAreFollowedToTheirArguments)
{
    const MessagePattern p = ParseMessageFormat(Nested(5));
    ASSERT_TRUE(p.valid());
    EXPECT_FALSE(p.nestedFault);
    std::string got;
    for (const MessageArgument& a : p.arguments)
        got += std::to_string(a.number) + (a.nested ? "n " : " ");
    EXPECT_EQ(got, "0 0n 0n 0n 0n 1n 2n ");
    EXPECT_TRUE(CheckMessageTranslation(Nested(5), Nested(3)).ok());
    EXPECT_EQ(CheckMessageTranslation(Nested(5), "{0,choice,0#x|1#y}").kind, TranslationProblem::FormatArgumentMissing);
    // Unquoted, the inner '#' is the outer choice's: Java refuses it.
    EXPECT_EQ(ParseMessageFormat("{0,choice,0#{0,choice,0#x}}").fault, MessageFault::BadChoiceStyle);
}

}  // namespace
