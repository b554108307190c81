#include "CommandLine.h"

#include <algorithm>

namespace clcli {

ParsedLine ParseArguments(const CommandSyntax& command, const std::vector<std::string>& words)
{
    ParsedLine parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool verbatim = command.verbatim != nullptr && command.verbatim(parsed.operands.size());
        if (optionsEnded || verbatim || word.rfind("--", 0) != 0) {
            parsed.operands.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "--help") {
            parsed.outcome = ParsedLine::Outcome::Help;
            return parsed;
        }
        const auto known = std::find_if(command.options.begin(), command.options.end(),
                                       [&](const OptionSyntax& option) { return option.name == word; });
        if (known == command.options.end()) {
            parsed.outcome = ParsedLine::Outcome::UnknownOption;
            parsed.problem = word;
            return parsed;
        }
        if (known->missingValue.empty()) {
            parsed.switches.insert(word);
            continue;
        }
        if (i + 1 >= words.size() || (!known->valueMayBeEmpty && words[i + 1].empty())) {
            parsed.outcome = ParsedLine::Outcome::MissingValue;
            parsed.problem = known->missingValue;
            return parsed;
        }
        parsed.values[word] = words[++i];
    }
    return parsed;
}

}  // namespace clcli
