#pragma once
// How classlingo-cli reads the words after its command, the same way for every command: a word
// that starts with "--" is an option wherever it stands among the operands, until a word "--",
// after which every word is an operand (a file named "--pack" is reached that way). A command may
// take some operands as they are, whatever they start with: replace's TEXT is any text at all.
// Options a command does not know, and a missing value, are usage errors; "--help" asks for the
// command's help wherever it stands before "--".

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace clcli {

struct OptionSyntax {
    std::string_view name;  // "--pack"
    // For an option that takes the next word as its value: the usage error when there is none
    // (or when it is empty and `valueMayBeEmpty` is not set). Empty for a switch.
    std::string_view missingValue;
    bool valueMayBeEmpty = true;
};

constexpr OptionSyntax Switch(std::string_view name)
{
    return {name, {}, true};
}
constexpr OptionSyntax Valued(std::string_view name, std::string_view missingValue, bool valueMayBeEmpty = true)
{
    return {name, missingValue, valueMayBeEmpty};
}

struct CommandSyntax {
    std::string_view name;
    std::vector<OptionSyntax> options;
    // Whether the operand at `position` (0 for the first) is taken as it is, even when it starts
    // with "--"; null: none is.
    bool (*verbatim)(std::size_t position) = nullptr;
};

struct ParsedLine {
    enum class Outcome {
        Parsed,
        Help,           // "--help": nothing else counts
        UnknownOption,  // `problem` is the word
        MissingValue,   // `problem` is the option's missingValue
    };
    Outcome outcome = Outcome::Parsed;
    std::string problem;
    std::set<std::string, std::less<>> switches;
    std::map<std::string, std::string, std::less<>> values;  // the last one given wins
    std::vector<std::string> operands;

    bool Has(std::string_view option) const { return switches.count(option) != 0; }
    const std::string* Value(std::string_view option) const
    {
        const auto found = values.find(option);
        return found == values.end() ? nullptr : &found->second;
    }
};

// Reads `words` (what follows the command's name) as `command` takes them.
ParsedLine ParseArguments(const CommandSyntax& command, const std::vector<std::string>& words);

}  // namespace clcli
