#pragma once
// The help text of a command-line program, read back into its parts: the usage lines, the
// described commands and options, free paragraphs and the exit statuses. The help is the one
// place where the options are written down, so the manual page is made from it rather than
// kept beside it by hand.
//
// The layout read is the one classlingo-cli prints: usage lines start with the program's name;
// an entry is a term (a command, or an option with or without its argument), two or more
// spaces, then its text; a line indented deeper than the
// entry or paragraph above it continues it; a line at the left margin ending in a colon is a
// heading; "退出状态：" (or "Exit status:") starts the exit statuses of the commands above.

#include <string>
#include <string_view>
#include <vector>

namespace clman {

// A command or option with its text, or a free paragraph when `term` is empty. Wrapped lines
// are joined into one text.
struct HelpItem {
    std::string term;
    std::string text;
};

// A group of usage lines with everything printed after them, up to the next group.
struct HelpBlock {
    // Each usage line as its words after the program's name: "list", "[--pack]", "FILE", ...
    std::vector<std::vector<std::string>> usages;
    std::vector<HelpItem> items;
    std::string exitStatus;
};

struct HelpText {
    std::vector<HelpBlock> blocks;
};

HelpText ParseHelp(std::string_view help, std::string_view program);

// Two wrapped lines as one text: a space between them where both sides are ASCII (words of a
// Latin-script sentence), none where either side is another script (Chinese has no spaces).
std::string JoinWrapped(std::string_view first, std::string_view second);

// A usage word without its brackets and trailing "...": "[--filter" gives "--filter", "TEXT]"
// "TEXT", "...]" nothing.
std::string_view CoreOfWord(std::string_view word);

// The command a usage line runs ("list"), or empty when it starts with an option ("--help").
std::string CommandOf(const std::vector<std::string>& usage);

}  // namespace clman
