#include "catalogue/Recipe.h"

#include <algorithm>
#include <vector>

namespace cl::catalogue {

std::size_t CountRecipeSlots(std::string_view recipe)
{
    return static_cast<std::size_t>(std::count(recipe.begin(), recipe.end(), kRecipeSlot));
}

std::string RecipeToMessage(std::string_view recipe)
{
    std::string out;
    out.reserve(recipe.size() + 8);
    std::size_t slot = 0;
    for (const char c : recipe) {
        if (c == kRecipeSlot) {
            out += "{" + std::to_string(slot++) + "}";
        } else if (c == '{' || c == '}') {
            out += c;
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

RecipeResult MessageToRecipe(std::string_view message, std::size_t slots)
{
    RecipeResult result;
    std::vector<std::size_t> seen;
    std::string out;
    out.reserve(message.size());
    for (std::size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (c == kRecipeSlot || c == kRecipeConstant) {
            result.problem = TranslationProblem::ControlChar;
            return result;
        }
        if ((c == '{' || c == '}') && i + 1 < message.size() && message[i + 1] == c) {
            out += c;
            ++i;
            continue;
        }
        if (c == '}') {
            result.problem = TranslationProblem::StrayBrace;
            return result;
        }
        if (c != '{') {
            out += c;
            continue;
        }
        std::size_t end = i + 1;
        std::size_t number = 0;
        while (end < message.size() && message[end] >= '0' && message[end] <= '9' && end - i <= 6) {
            number = number * 10 + static_cast<std::size_t>(message[end] - '0');
            ++end;
        }
        if (end == i + 1 || end >= message.size() || message[end] != '}') {
            result.problem = TranslationProblem::StrayBrace;
            return result;
        }
        seen.push_back(number);
        out += kRecipeSlot;
        i = end;
    }
    for (const std::size_t n : seen) {
        if (n >= slots || std::count(seen.begin(), seen.end(), n) > 1) {
            result.problem = TranslationProblem::ExtraSlot;
            return result;
        }
    }
    if (seen.size() < slots) {
        result.problem = TranslationProblem::MissingSlot;
        return result;
    }
    for (std::size_t k = 0; k < seen.size(); ++k) {
        if (seen[k] != k) {
            result.problem = TranslationProblem::SlotOutOfOrder;
            return result;
        }
    }
    result.recipe = std::move(out);
    return result;
}

}  // namespace cl::catalogue
