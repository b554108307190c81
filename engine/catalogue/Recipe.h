#pragma once
// The recipes of Java 9+ string concatenation (StringConcatFactory.makeConcatWithConstants)
// shown to translators: each U+0001 slot becomes {0}, {1}, ... in slot order and the
// recipe's own braces are doubled, so that a translator sees where the values go and cannot
// confuse a brace of the message with a slot. Texts are UTF-8.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cl::catalogue {

constexpr char kRecipeSlot = '\x01';      // an argument's value
constexpr char kRecipeConstant = '\x02';  // a constant argument; such recipes are not offered

std::size_t CountRecipeSlots(std::string_view recipe);

// The catalogue text of a recipe.
std::string RecipeToMessage(std::string_view recipe);

// Why a translated message cannot become a recipe.
enum class RecipeProblem {
    None,
    MissingSlot,     // a slot of the original is not in the translation
    ExtraSlot,       // the translation names a slot the original lacks, or one twice
    SlotOutOfOrder,  // all slots are there, but not as {0}, {1}, ... in this order
    StrayBrace,      // a single { or } that is not part of a slot
    ControlChar,     // U+0001 or U+0002 typed into the translation itself
};

struct RecipeResult {
    std::string recipe;  // valid when problem is None
    RecipeProblem problem = RecipeProblem::None;
};

// The recipe for a translation of a message with `slotCount` slots.
RecipeResult MessageToRecipe(std::string_view message, std::size_t slotCount);

}  // namespace cl::catalogue
