#pragma once
// The recipes of Java 9+ string concatenation (StringConcatFactory.makeConcatWithConstants)
// shown to translators: each U+0001 slot becomes {0}, {1}, ... in slot order and the
// recipe's own braces are doubled, so that a translator sees where the values go and cannot
// confuse a brace of the message with a slot. Texts are UTF-8.

#include "errors/TranslationProblem.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace cl::catalogue {

constexpr char kRecipeSlot = '\x01';      // an argument's value
constexpr char kRecipeConstant = '\x02';  // a constant argument; such recipes are not offered

std::size_t CountRecipeSlots(std::string_view recipe);

// The catalogue text of a recipe.
std::string RecipeToMessage(std::string_view recipe);

// A translated message as a recipe, or why it cannot become one: MissingSlot, ExtraSlot,
// SlotOutOfOrder, StrayBrace or ControlChar.
struct RecipeResult {
    std::string recipe;  // valid when problem is None
    TranslationProblem problem = TranslationProblem::None;
};

// The recipe for a translation of a message with `slotCount` slots.
RecipeResult MessageToRecipe(std::string_view message, std::size_t slotCount);

}  // namespace cl::catalogue
