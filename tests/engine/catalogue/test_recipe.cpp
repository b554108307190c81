#include "catalogue/Recipe.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using cl::catalogue::MessageToRecipe;
using cl::catalogue::RecipeProblem;
using cl::catalogue::RecipeToMessage;

TEST(Recipe, SlotsAreNumberedAndBracesDoubled)
{
    const struct {
        std::string recipe;
        std::string message;
    } cases[] = {
        {"Found \x01 files", "Found {0} files"},
        {"\x01 of \x01 (\x01%)", "{0} of {1} ({2}%)"},
        {"{\x01}", "{{{0}}}"},
        {"no slots {here}", "no slots {{here}}"},
        {"\x01\x01", "{0}{1}"},
        {"", ""},
        {"日本語 \x01 🎉", "日本語 {0} 🎉"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecipeToMessage(c.recipe), c.message) << c.message;
        // Every message made from a recipe turns back into the same recipe.
        const auto back = MessageToRecipe(c.message, cl::catalogue::CountRecipeSlots(c.recipe));
        EXPECT_EQ(back.problem, RecipeProblem::None) << c.message;
        EXPECT_EQ(back.recipe, c.recipe) << c.message;
    }
}

TEST(Recipe, TranslationsMustKeepEverySlotInOrder)
{
    const struct {
        std::string translation;
        std::size_t slots;
        RecipeProblem problem;
        std::string recipe;
    } cases[] = {
        {"找到 {0} 个文件", 1, RecipeProblem::None, "找到 \x01 个文件"},
        {"{0}/{1} {{ok}}", 2, RecipeProblem::None, "\x01/\x01 {ok}"},
        {"找到文件", 1, RecipeProblem::MissingSlot, ""},
        {"{0} {1}", 1, RecipeProblem::ExtraSlot, ""},
        {"{0} {0}", 1, RecipeProblem::ExtraSlot, ""},
        {"{1} {0}", 2, RecipeProblem::SlotOutOfOrder, ""},
        {"{0} {", 1, RecipeProblem::StrayBrace, ""},
        {"{0} }", 1, RecipeProblem::StrayBrace, ""},
        {"{x} {0}", 1, RecipeProblem::StrayBrace, ""},
        {"{0", 1, RecipeProblem::StrayBrace, ""},
        {"{}", 0, RecipeProblem::StrayBrace, ""},
        {"{99999999999999999999}", 1, RecipeProblem::StrayBrace, ""},
        {"raw \x01 slot", 1, RecipeProblem::ControlChar, ""},
        {"\x02", 0, RecipeProblem::ControlChar, ""},
        {"{{0}}", 0, RecipeProblem::None, "{0}"},
    };
    for (const auto& c : cases) {
        const auto result = MessageToRecipe(c.translation, c.slots);
        EXPECT_EQ(result.problem, c.problem) << c.translation;
        if (c.problem == RecipeProblem::None) {
            EXPECT_EQ(result.recipe, c.recipe) << c.translation;
        }
    }
}

}  // namespace
