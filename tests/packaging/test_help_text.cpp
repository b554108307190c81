// The help text read back into usage lines, entries, paragraphs and exit statuses: the layout
// classlingo-cli prints, and the line-level rules one case at a time.

#include "HelpText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

namespace {

using clman::HelpItem;
using clman::HelpText;
using clman::ParseHelp;

using Words = std::vector<std::string>;

// Two groups of commands as classlingo-cli prints them: a heading, usage lines, entries with
// wrapped lines, an exit status at the margin; then a second group with a free paragraph and
// an indented exit status.
const char* const kTwoGroups =
    "用法：\n"
    "  tool list [--pack] [--filter PATH] FILE\n"
    "  tool replace [--force] FILE INDEX TEXT [INDEX TEXT ...]\n"
    "  tool --help\n"
    "\n"
    "  list      每个字符串一行\n"
    "            （状态 1 为可疑）\n"
    "  replace   把第 INDEX 行替换为 TEXT，\n"
    "            然后保存\n"
    "  --pack    按语言包文件扫描\n"
    "  --no-backup  不做备份\n"
    "\n"
    "退出状态：0 完成；1 文件无法打开；\n"
    "          3 扫描时出现 Range check error\n"
    "\n"
    "  tool strings [--all] INPUT\n"
    "\n"
    "  INPUT 可以是 jar/zip\n"
    "  strings   每个 Utf8 常量一行\n"
    "  退出状态：0 完成；\n"
    "            3 完成，但有类无法读取\n";

TEST(HelpText, ReadsBothGroupsOfTheCommandLinesHelp)
{
    const HelpText help = ParseHelp(kTwoGroups, "tool");
    ASSERT_EQ(help.blocks.size(), 2u);

    const auto& first = help.blocks[0];
    ASSERT_EQ(first.usages.size(), 3u);
    EXPECT_EQ(first.usages[0], (Words{"list", "[--pack]", "[--filter", "PATH]", "FILE"}));
    EXPECT_EQ(first.usages[2], (Words{"--help"}));
    ASSERT_EQ(first.items.size(), 4u);
    EXPECT_EQ(first.items[0].term, "list");
    EXPECT_EQ(first.items[0].text, "每个字符串一行（状态 1 为可疑）");
    EXPECT_EQ(first.items[1].term, "replace");
    EXPECT_EQ(first.items[1].text, "把第 INDEX 行替换为 TEXT，然后保存");
    EXPECT_EQ(first.items[2].term, "--pack");
    EXPECT_EQ(first.items[3].term, "--no-backup");
    EXPECT_EQ(first.items[3].text, "不做备份");
    EXPECT_EQ(first.exitStatus, "0 完成；1 文件无法打开；3 扫描时出现 Range check error");

    const auto& second = help.blocks[1];
    ASSERT_EQ(second.usages.size(), 1u);
    EXPECT_EQ(second.usages[0], (Words{"strings", "[--all]", "INPUT"}));
    ASSERT_EQ(second.items.size(), 2u);
    EXPECT_EQ(second.items[0].term, "");
    EXPECT_EQ(second.items[0].text, "INPUT 可以是 jar/zip");
    EXPECT_EQ(second.items[1].term, "strings");
    EXPECT_EQ(second.exitStatus, "0 完成；3 完成，但有类无法读取");
}

struct LineCase {
    const char* what;
    const char* help;
    std::vector<HelpItem> items;  // of the one block
};

void PrintTo(const LineCase& c, std::ostream* os)
{
    *os << c.what;
}

class HelpLines : public testing::TestWithParam<LineCase> {};

TEST_P(HelpLines, GiveTheseItems)
{
    const HelpText help = ParseHelp(std::string("  tool run X\n") + GetParam().help, "tool");
    ASSERT_EQ(help.blocks.size(), 1u);
    const auto& items = help.blocks[0].items;
    ASSERT_EQ(items.size(), GetParam().items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].term, GetParam().items[i].term) << i;
        EXPECT_EQ(items[i].text, GetParam().items[i].text) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HelpLines,
    testing::Values(
        LineCase{"option with its argument in the term", "  --filter PATH  read the list\n",
                 {{"--filter PATH", "read the list"}}},
        LineCase{"one space after the first word makes a paragraph", "  INPUT is a jar\n", {{"", "INPUT is a jar"}}},
        LineCase{"wrapped Latin words are joined with a space", "  run   does this\n        and that\n",
                 {{"run", "does this and that"}}},
        LineCase{"wrapped Chinese is joined without one", "  run   做这个\n        和那个\n",
                 {{"run", "做这个和那个"}}},
        LineCase{"Latin after Chinese is joined without one", "  run   生成 OUTPUT；\n        --in-place 直接替换\n",
                 {{"run", "生成 OUTPUT；--in-place 直接替换"}}},
        LineCase{"a line no deeper than the entry starts the next", "  run   a\n  stop  b\n",
                 {{"run", "a"}, {"stop", "b"}}},
        LineCase{"a blank line ends the wrapping", "  run   a\n\n        b\n", {{"run", "a"}, {"", "b"}}},
        LineCase{"a heading at the margin is left out", "Options:\n  --all  everything\n",
                 {{"--all", "everything"}}},
        LineCase{"text at the margin without a colon is a paragraph", "See the README.\n",
                 {{"", "See the README."}}},
        LineCase{"carriage returns and trailing spaces are dropped", "  run   a  \r\n        b\r\n",
                 {{"run", "a b"}}},
        LineCase{"an exit status ends the entry above it", "  run   a\n  Exit status: 0 done\n        b\n",
                 {{"run", "a"}}}),
    [](const testing::TestParamInfo<LineCase>& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST(HelpText, ExitStatusLabelsInEitherLanguageAreJoinedWithTheirWrappedLines)
{
    const HelpText english = ParseHelp("tool run\nExit status: 0 done;\n  2 usage\n", "tool");
    ASSERT_EQ(english.blocks.size(), 1u);
    EXPECT_EQ(english.blocks[0].exitStatus, "0 done; 2 usage");
    EXPECT_TRUE(english.blocks[0].items.empty());
}

TEST(HelpText, UsageLinesSeparatedByBlankLinesStayInOneGroup)
{
    const HelpText help = ParseHelp("  tool a\n\n  tool b\n\n  b  text\n  tool c\n", "tool");
    ASSERT_EQ(help.blocks.size(), 2u);
    EXPECT_EQ(help.blocks[0].usages.size(), 2u);
    EXPECT_EQ(help.blocks[1].usages, (std::vector<Words>{{"c"}}));
}

TEST(HelpText, OnlyTheProgramsOwnNameStartsAUsageLine)
{
    // "tools" and "toolbox" begin with the name but are other words.
    const HelpText help = ParseHelp("  tool run\n  tools  many\n  toolbox  box\n", "tool");
    ASSERT_EQ(help.blocks.size(), 1u);
    EXPECT_EQ(help.blocks[0].usages.size(), 1u);
    ASSERT_EQ(help.blocks[0].items.size(), 2u);
    EXPECT_EQ(help.blocks[0].items[0].term, "tools");
}

TEST(HelpText, WordsOfUsageLines)
{
    struct Case {
        const char* word;
        const char* core;
    };
    for (const Case& c : {Case{"[--filter", "--filter"}, Case{"PATH]", "PATH"}, Case{"[INDEX", "INDEX"},
                          Case{"...]", ""}, Case{"FILE", "FILE"}, Case{"[--all]", "--all"}, Case{"[[x]]", "x"}})
        EXPECT_EQ(clman::CoreOfWord(c.word), c.core) << c.word;

    EXPECT_EQ(clman::CommandOf({"list", "FILE"}), "list");
    EXPECT_EQ(clman::CommandOf({"--help"}), "");
    EXPECT_EQ(clman::CommandOf({"[--all]", "INPUT"}), "");
    EXPECT_EQ(clman::CommandOf({}), "");
}

}  // namespace
