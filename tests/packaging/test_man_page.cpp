// The manual page made from a parsed help: which options it lists and with what, how usage
// words are set, and the page as a whole (sections, exit statuses per group, text that would
// otherwise be read as roff).

#include "HelpText.h"
#include "ManPage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using clman::ManOption;
using clman::ParseHelp;

const char* const kHelp =
    "  tool list [--pack] [--filter PATH] FILE\n"
    "  tool --help\n"
    "\n"
    "  list      lists\n"
    "  --pack    as a pack\n"
    "  --filter  the word list\n"
    "Exit status: 0 done\n"
    "\n"
    "  tool apply --in-place [--pack] [--language LL] INPUT\n"
    "\n"
    "  apply     writes back\n"
    "  --pack    also here\n"
    "  --quiet LEVEL  says less\n"
    "  Exit status: 1 failed\n";

const ManOption* Find(const std::vector<ManOption>& options, const std::string& name)
{
    for (const ManOption& o : options) {
        if (o.name == name)
            return &o;
    }
    return nullptr;
}

TEST(ManPage, ListsEveryOptionInOrderOfFirstAppearance)
{
    const std::vector<ManOption> options = clman::CollectOptions(ParseHelp(kHelp, "tool"));
    std::vector<std::string> names;
    for (const ManOption& o : options)
        names.push_back(o.name);
    // Usage lines first, then the option that only an entry names.
    EXPECT_EQ(names, (std::vector<std::string>{"--pack", "--filter", "--help", "--in-place", "--language", "--quiet"}));
}

TEST(ManPage, OptionsCarryTheirArgumentsTextsAndUsageLines)
{
    const std::vector<ManOption> options = clman::CollectOptions(ParseHelp(kHelp, "tool"));

    const ManOption* filter = Find(options, "--filter");
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->argument, "PATH");  // from "[--filter PATH]"
    EXPECT_EQ(filter->texts, (std::vector<std::string>{"the word list"}));

    const ManOption* pack = Find(options, "--pack");
    ASSERT_NE(pack, nullptr);
    EXPECT_EQ(pack->argument, "");  // "[--pack]" closes its own bracket
    EXPECT_EQ(pack->texts, (std::vector<std::string>{"as a pack", "also here"}));
    EXPECT_EQ(pack->usages.size(), 2u);

    const ManOption* language = Find(options, "--language");
    ASSERT_NE(language, nullptr);
    EXPECT_EQ(language->argument, "LL");
    EXPECT_TRUE(language->texts.empty());
    ASSERT_EQ(language->usages.size(), 1u);
    EXPECT_EQ(language->usages[0].front(), "apply");

    // "--in-place INPUT": a bare option is not taken to own the positional word after it.
    const ManOption* inPlace = Find(options, "--in-place");
    ASSERT_NE(inPlace, nullptr);
    EXPECT_EQ(inPlace->argument, "");

    const ManOption* quiet = Find(options, "--quiet");
    ASSERT_NE(quiet, nullptr);
    EXPECT_EQ(quiet->argument, "LEVEL");  // from the entry's term
    EXPECT_TRUE(quiet->usages.empty());
}

TEST(ManPage, UsageWordsAreSetInTheirFonts)
{
    struct Case {
        std::vector<std::string> words;
        const char* roff;
    };
    const Case cases[] = {
        {{"list", "FILE"}, "\\fBlist\\fR \\fIFILE\\fR"},
        {{"[--filter", "PATH]"}, "[\\fB\\-\\-filter\\fR \\fIPATH\\fR]"},
        {{"x", "[INDEX", "TEXT", "...]"}, "\\fBx\\fR [\\fIINDEX\\fR \\fITEXT\\fR ...]"},
        {{"apply", "OUT.po"}, "\\fBapply\\fR \\fIOUT.po\\fR"},
        // Only the first word is a command; a lower-case word later is plain.
        {{"run", "now"}, "\\fBrun\\fR now"},
        {{"--help"}, "\\fB\\-\\-help\\fR"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clman::FormatUsageWords(c.words), c.roff) << c.roff;
}

bool HasLine(const std::string& page, const std::string& line)
{
    return ("\n" + page).find("\n" + line + "\n") != std::string::npos;
}

clman::ManPageHead Head()
{
    clman::ManPageHead head;
    head.program = "tool";
    head.source = "tool 1.0";
    head.summary = "does things";
    head.description = "Longer.";
    head.seeAlso = {"other(1)", "more(5)"};
    return head;
}

TEST(ManPage, PageHasItsSectionsInOrder)
{
    const std::string page = clman::ManPageFromHelp(ParseHelp(kHelp, "tool"), Head());
    EXPECT_TRUE(HasLine(page, ".TH \"TOOL\" \"1\" \"\" \"tool 1.0\" \"User Commands\"")) << page;
    EXPECT_TRUE(HasLine(page, "tool \\- does things")) << page;
    std::size_t last = 0;
    for (const char* section : {".SH NAME", ".SH SYNOPSIS", ".SH DESCRIPTION", ".SH COMMANDS", ".SH OPTIONS",
                                ".SH \"EXIT STATUS\"", ".SH \"SEE ALSO\""}) {
        const std::size_t at = page.find(std::string("\n") + section + "\n");
        ASSERT_NE(at, std::string::npos) << section << "\n" << page;
        EXPECT_GT(at, last) << section;
        last = at;
    }
    EXPECT_TRUE(HasLine(page, ".BR \"other\" \"(1),\"")) << page;
    EXPECT_TRUE(HasLine(page, ".BR \"more\" \"(5)\"")) << page;
}

TEST(ManPage, AnOptionWithoutTextShowsTheUsageLinesThatTakeIt)
{
    const std::string page = clman::ManPageFromHelp(ParseHelp(kHelp, "tool"), Head());
    EXPECT_TRUE(HasLine(page, ".TP\n\\fB\\-\\-language\\fR \\fILL\\fR\n\\fBtool\\fR \\fBapply\\fR \\fB\\-\\-in\\-place\\fR "
                              "[\\fB\\-\\-pack\\fR] [\\fB\\-\\-language\\fR \\fILL\\fR] \\fIINPUT\\fR"))
        << page;
    // An option described twice keeps both texts, on lines of their own.
    EXPECT_TRUE(HasLine(page, "as a pack\n.br\nalso here")) << page;
}

TEST(ManPage, ExitStatusesAreLabelledWithTheirCommandsOnlyWhenThereAreSeveral)
{
    const std::string two = clman::ManPageFromHelp(ParseHelp(kHelp, "tool"), Head());
    EXPECT_TRUE(HasLine(two, ".TP\n\\fBlist\\fR\n0 done")) << two;
    EXPECT_TRUE(HasLine(two, ".TP\n\\fBapply\\fR\n1 failed")) << two;

    const std::string one =
        clman::ManPageFromHelp(ParseHelp("  tool a\n  tool b\n  a  x\nExit status: 0 done\n", "tool"), Head());
    EXPECT_TRUE(HasLine(one, ".SH \"EXIT STATUS\"\n.PP\n0 done")) << one;
}

TEST(ManPage, HelpTextIsNeverReadAsRoff)
{
    const std::string page = clman::ManPageFromHelp(
        ParseHelp("  tool a\n\n.class files only\n\n  a  writes \\n for \"newline\"\n", "tool"), Head());
    EXPECT_TRUE(HasLine(page, "\\&.class files only")) << page;
    EXPECT_TRUE(HasLine(page, "writes \\(rsn for \"newline\"")) << page;
    // Every line that roff reads as a request is one the page writer made.
    std::size_t start = 0;
    while (start < page.size()) {
        const std::size_t end = page.find('\n', start);
        const std::string line = page.substr(start, end - start);
        if (line.starts_with('.')) {
            EXPECT_TRUE(line.starts_with(".\\\"") || line.starts_with(".TH ") || line.starts_with(".SH ") ||
                        line == ".ad l" || line == ".nr HY 0" || line == ".nh" || line.starts_with(".SY ") ||
                        line == ".YS" || line == ".TP" || line == ".PP" || line == ".br" || line.starts_with(".BR "))
                << line;
        }
        start = end + 1;
    }
}

TEST(ManPage, QuotesInTheHeadDoNotEndMacroArguments)
{
    clman::ManPageHead head = Head();
    head.source = "tool \"beta\"";
    const std::string page = clman::ManPageFromHelp(ParseHelp("  tool a\n", "tool"), head);
    EXPECT_TRUE(HasLine(page, ".TH \"TOOL\" \"1\" \"\" \"tool \\(dqbeta\\(dq\" \"User Commands\"")) << page;
}

}  // namespace
