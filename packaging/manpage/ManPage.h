#pragma once
// A section 1 manual page in roff (man macros) made from a program's parsed help text:
// SYNOPSIS from the usage lines, COMMANDS from the described commands and the paragraphs
// between them, OPTIONS from every option the usage lines or the entries name, EXIT STATUS
// from each group's exit statuses.

#include "HelpText.h"

#include <string>
#include <vector>

namespace clman {

// What the help text does not say: the page's title line, NAME and DESCRIPTION.
struct ManPageHead {
    std::string program;       // "classlingo-cli"
    std::string section = "1";
    std::string source;        // footer: "classlingo 0.2"
    std::string manual = "User Commands";
    std::string summary;       // the NAME line after the dash
    std::string description;   // DESCRIPTION's first paragraph
    std::vector<std::string> seeAlso;  // "classlingo(1)"
};

// An option as the page lists it.
struct ManOption {
    std::string name;      // "--filter"
    std::string argument;  // "PATH", or empty
    // The entries' texts; none when only the usage lines name the option, in which case the
    // page shows those lines under it.
    std::vector<std::string> texts;
    std::vector<std::vector<std::string>> usages;  // the usage lines naming it
};

// Every option in order of first appearance, usage lines first, then entries no usage line
// names. The argument comes from the entry's term ("--filter PATH") or else from a usage word
// that opens a bracket closed by the next ("[--filter PATH]").
std::vector<ManOption> CollectOptions(const HelpText& help);

// Usage words in roff: commands and options bold, arguments in upper case italic, brackets and
// "..." roman.
std::string FormatUsageWords(const std::vector<std::string>& words);

std::string ManPageFromHelp(const HelpText& help, const ManPageHead& head);

}  // namespace clman
