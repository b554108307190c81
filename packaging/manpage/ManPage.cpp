#include "ManPage.h"

#include "Roff.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <string_view>

namespace clman {
namespace {

bool IsOption(std::string_view core)
{
    return core.size() > 1 && core.front() == '-';
}

bool IsArgumentName(std::string_view core)
{
    return !core.empty() && std::isupper(static_cast<unsigned char>(core.front()));
}

// Quoted for a macro argument, which ends at a double quote.
std::string MacroArgument(std::string_view text)
{
    std::string out = "\"";
    for (const char c : RoffText(text, BreakMarks::None)) {
        if (c == '"')
            out += "\\(dq";
        else
            out += c;
    }
    return out + "\"";
}

std::string Bold(std::string_view text)
{
    return "\\fB" + RoffText(text) + "\\fR";
}

ManOption& FindOrAdd(std::vector<ManOption>& options, std::string_view name)
{
    const auto found = std::find_if(options.begin(), options.end(), [&](const ManOption& o) { return o.name == name; });
    if (found != options.end())
        return *found;
    options.push_back(ManOption{std::string(name), {}, {}, {}});
    return options.back();
}

void AddLine(std::string& page, std::string_view line)
{
    page += line;
    page += '\n';
}

void AddTextLine(std::string& page, std::string_view text)
{
    AddLine(page, RoffTextLine(text));
}

// The commands of a block's usage lines, each once, in bold: "list, export, replace".
std::string CommandsOf(const HelpBlock& block)
{
    std::vector<std::string> seen;
    std::string out;
    for (const auto& usage : block.usages) {
        const std::string command = CommandOf(usage);
        if (command.empty() || std::find(seen.begin(), seen.end(), command) != seen.end())
            continue;
        if (!seen.empty())
            out += ", ";
        out += Bold(command);
        seen.push_back(command);
    }
    return out;
}

// A term of the COMMANDS section: its first word bold, the rest like usage words.
std::string FormatTerm(std::string_view term)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < term.size()) {
        const std::size_t space = std::min(term.find(' ', i), term.size());
        if (space > i)
            words.emplace_back(term.substr(i, space - i));
        i = space + 1;
    }
    if (words.empty())
        return {};
    std::string out = Bold(words.front());
    words.erase(words.begin());
    if (!words.empty())
        out += " " + FormatUsageWords(words);
    return out;
}

void AddSynopsis(std::string& page, const HelpText& help, const ManPageHead& head)
{
    AddLine(page, ".SH SYNOPSIS");
    for (const HelpBlock& block : help.blocks) {
        for (const auto& usage : block.usages) {
            AddLine(page, ".SY " + RoffText(head.program, BreakMarks::None));
            if (!usage.empty())
                AddTextLine(page, FormatUsageWords(usage));
            AddLine(page, ".YS");
        }
    }
}

void AddCommands(std::string& page, const HelpText& help)
{
    bool headed = false;
    for (const HelpBlock& block : help.blocks) {
        for (const HelpItem& item : block.items) {
            if (IsOption(item.term))
                continue;
            if (!headed) {
                AddLine(page, ".SH COMMANDS");
                headed = true;
            }
            if (item.term.empty()) {
                AddLine(page, ".PP");
            } else {
                AddLine(page, ".TP");
                AddTextLine(page, FormatTerm(item.term));
            }
            AddTextLine(page, RoffText(item.text));
        }
    }
}

void AddOptions(std::string& page, const HelpText& help, const ManPageHead& head)
{
    const std::vector<ManOption> options = CollectOptions(help);
    if (options.empty())
        return;
    AddLine(page, ".SH OPTIONS");
    for (const ManOption& option : options) {
        AddLine(page, ".TP");
        std::string term = Bold(option.name);
        if (!option.argument.empty())
            term += " \\fI" + RoffText(option.argument) + "\\fR";
        AddTextLine(page, term);
        bool first = true;
        auto next = [&] {
            if (!first)
                AddLine(page, ".br");
            first = false;
        };
        for (const std::string& text : option.texts) {
            next();
            AddTextLine(page, RoffText(text));
        }
        if (!option.texts.empty())
            continue;
        for (const auto& usage : option.usages) {
            next();
            AddTextLine(page, Bold(head.program) + " " + FormatUsageWords(usage));
        }
    }
}

void AddExitStatus(std::string& page, const HelpText& help)
{
    const auto withStatus = std::count_if(help.blocks.begin(), help.blocks.end(),
                                          [](const HelpBlock& b) { return !b.exitStatus.empty(); });
    if (withStatus == 0)
        return;
    AddLine(page, ".SH \"EXIT STATUS\"");
    for (const HelpBlock& block : help.blocks) {
        if (block.exitStatus.empty())
            continue;
        // Each group of commands may give the same number a different meaning.
        const std::string commands = withStatus > 1 ? CommandsOf(block) : std::string();
        if (commands.empty()) {
            AddLine(page, ".PP");
        } else {
            AddLine(page, ".TP");
            AddTextLine(page, commands);
        }
        AddTextLine(page, RoffText(block.exitStatus));
    }
}

void AddSeeAlso(std::string& page, const ManPageHead& head)
{
    if (head.seeAlso.empty())
        return;
    AddLine(page, ".SH \"SEE ALSO\"");
    for (std::size_t i = 0; i < head.seeAlso.size(); ++i) {
        const std::string& ref = head.seeAlso[i];
        const std::string comma = i + 1 < head.seeAlso.size() ? "," : "";
        const std::size_t paren = ref.find('(');
        const std::string section = paren == std::string::npos ? std::string() : ref.substr(paren);
        AddLine(page, ".BR " + MacroArgument(ref.substr(0, paren)) + " " + MacroArgument(section + comma));
    }
}

}  // namespace

std::vector<ManOption> CollectOptions(const HelpText& help)
{
    std::vector<ManOption> options;
    for (const HelpBlock& block : help.blocks) {
        for (const auto& usage : block.usages) {
            for (std::size_t i = 0; i < usage.size(); ++i) {
                const std::string_view word = usage[i];
                const std::string_view core = CoreOfWord(word);
                if (!IsOption(core))
                    continue;
                ManOption& option = FindOrAdd(options, core);
                if (option.usages.empty() || option.usages.back() != usage)
                    option.usages.push_back(usage);
                const bool opensBracket = word.starts_with('[') && !word.ends_with(']');
                if (opensBracket && i + 1 < usage.size() && usage[i + 1].ends_with(']') &&
                    IsArgumentName(CoreOfWord(usage[i + 1])) && option.argument.empty())
                    option.argument = std::string(CoreOfWord(usage[i + 1]));
            }
        }
    }
    for (const HelpBlock& block : help.blocks) {
        for (const HelpItem& item : block.items) {
            if (!IsOption(item.term))
                continue;
            const std::size_t space = item.term.find(' ');
            ManOption& option = FindOrAdd(options, std::string_view(item.term).substr(0, space));
            if (space != std::string::npos)
                option.argument = item.term.substr(item.term.find_first_not_of(' ', space));
            option.texts.push_back(item.text);
        }
    }
    return options;
}

std::string FormatUsageWords(const std::vector<std::string>& words)
{
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        const std::string_view core = CoreOfWord(word);
        const std::size_t start = core.empty() ? word.size() : static_cast<std::size_t>(core.data() - word.data());
        const std::string_view before = word.substr(0, std::min(start, word.size()));
        const std::string_view after = word.substr(std::min(start + core.size(), word.size()));
        if (i > 0)
            out += ' ';
        out += RoffText(before);
        if (IsOption(core) || (i == 0 && !core.empty() && core == CommandOf(words)))
            out += Bold(core);
        else if (IsArgumentName(core))
            out += "\\fI" + RoffText(core) + "\\fR";
        else
            out += RoffText(core);
        out += RoffText(after);
    }
    return out;
}

std::string ManPageFromHelp(const HelpText& help, const ManPageHead& head)
{
    std::string upper = head.program;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });

    std::string page;
    AddLine(page, ".\\\" -*- coding: UTF-8 -*-");
    AddLine(page, ".\\\" Made from the output of \"" + head.program +
                      " --help\" when the program is built: change the help text, not this page.");
    AddLine(page, ".TH " + MacroArgument(upper) + " " + MacroArgument(head.section) + " \"\" " +
                      MacroArgument(head.source) + " " + MacroArgument(head.manual));
    // Lines of Chinese have spaces only around the Latin words in them: justified, those few
    // spaces would stretch into gaps. The Latin words are names and options, to be typed as
    // printed, so they are not hyphenated (HY too, as the synopsis macros restore it).
    AddLine(page, ".ad l");
    AddLine(page, ".nr HY 0");
    AddLine(page, ".nh");
    AddLine(page, ".SH NAME");
    AddTextLine(page, RoffText(head.program, BreakMarks::None) + " \\- " + RoffText(head.summary, BreakMarks::None));
    AddSynopsis(page, help, head);
    if (!head.description.empty()) {
        AddLine(page, ".SH DESCRIPTION");
        AddTextLine(page, RoffText(head.description));
    }
    AddCommands(page, help);
    AddOptions(page, help, head);
    AddExitStatus(page, help);
    AddSeeAlso(page, head);
    return page;
}

}  // namespace clman
