#include "HelpText.h"

#include <cstddef>
#include <optional>

namespace clman {
namespace {

constexpr std::string_view kExitStatusLabels[] = {"退出状态：", "Exit status:"};

std::size_t IndentOf(std::string_view line)
{
    std::size_t n = 0;
    while (n < line.size() && line[n] == ' ')
        ++n;
    return n;
}

std::string_view TrimRight(std::string_view s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string> SplitWords(std::string_view s)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ')
            ++i;
        if (i > start)
            words.emplace_back(s.substr(start, i - start));
    }
    return words;
}

bool IsAscii(char c)
{
    return static_cast<unsigned char>(c) < 0x80;
}

bool EndsWith(std::string_view s, std::string_view tail)
{
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// "term   text": the term (a word, or an option and its argument), at least two spaces, then
// the text.
std::optional<HelpItem> AsEntry(std::string_view content)
{
    const std::size_t gap = content.find("  ");
    if (gap == 0 || gap == std::string_view::npos)
        return std::nullopt;
    const std::size_t text = content.find_first_not_of(' ', gap);
    if (text == std::string_view::npos)
        return std::nullopt;
    return HelpItem{std::string(content.substr(0, gap)), std::string(content.substr(text))};
}

// What a later, deeper indented line continues.
enum class Open { Nothing, Item, ExitStatus };

}  // namespace

std::string JoinWrapped(std::string_view first, std::string_view second)
{
    std::string joined(first);
    if (!first.empty() && !second.empty() && IsAscii(first.back()) && IsAscii(second.front()))
        joined += ' ';
    joined += second;
    return joined;
}

std::string_view CoreOfWord(std::string_view word)
{
    while (!word.empty() && word.front() == '[')
        word.remove_prefix(1);
    while (!word.empty() && word.back() == ']')
        word.remove_suffix(1);
    while (EndsWith(word, "..."))
        word.remove_suffix(3);
    return word;
}

std::string CommandOf(const std::vector<std::string>& usage)
{
    if (usage.empty() || CoreOfWord(usage.front()).starts_with('-') || usage.front().starts_with('['))
        return {};
    return usage.front();
}

HelpText ParseHelp(std::string_view help, std::string_view program)
{
    HelpText parsed;
    Open open = Open::Nothing;
    std::size_t openIndent = 0;
    // A usage line after anything else starts the next block.
    bool lastWasUsage = false;

    auto block = [&]() -> HelpBlock& {
        if (parsed.blocks.empty())
            parsed.blocks.emplace_back();
        return parsed.blocks.back();
    };

    while (!help.empty()) {
        const std::size_t end = help.find('\n');
        const std::string_view line = TrimRight(help.substr(0, end));
        help = end == std::string_view::npos ? std::string_view() : help.substr(end + 1);

        const std::size_t indent = IndentOf(line);
        const std::string_view content = line.substr(indent);
        if (content.empty()) {
            open = Open::Nothing;
            continue;
        }

        if (content == program || (content.starts_with(program) && content[program.size()] == ' ')) {
            if (!lastWasUsage && !parsed.blocks.empty() && (!block().usages.empty() || !block().items.empty()))
                parsed.blocks.emplace_back();
            block().usages.push_back(SplitWords(content.substr(program.size())));
            lastWasUsage = true;
            open = Open::Nothing;
            continue;
        }
        lastWasUsage = false;

        if (open != Open::Nothing && indent > openIndent) {
            std::string& text = open == Open::Item ? block().items.back().text : block().exitStatus;
            text = JoinWrapped(text, content);
            continue;
        }

        bool isExitStatus = false;
        for (const std::string_view label : kExitStatusLabels) {
            if (content.starts_with(label)) {
                const std::string_view rest = content.substr(label.size());
                std::string& text = block().exitStatus;
                text = JoinWrapped(text, rest.substr(IndentOf(rest)));
                isExitStatus = true;
            }
        }
        if (isExitStatus) {
            open = Open::ExitStatus;
            openIndent = indent;
            continue;
        }

        if (indent == 0 && (EndsWith(content, "：") || EndsWith(content, ":")) &&
            content.find(' ') == std::string_view::npos) {
            open = Open::Nothing;
            continue;
        }

        std::optional<HelpItem> entry = AsEntry(content);
        block().items.push_back(entry ? std::move(*entry) : HelpItem{{}, std::string(content)});
        open = Open::Item;
        openIndent = indent;
    }
    return parsed;
}

}  // namespace clman
