#include "catalogue/Recipe.h"
#include "catalogue/TranslationCheck.h"
#include "ProgramText.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using cl::catalogue::MessageToRecipe;
using cl::TranslationProblem;
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
        EXPECT_EQ(back.problem, TranslationProblem::None) << c.message;
        EXPECT_EQ(back.recipe, c.recipe) << c.message;
    }
}

TEST(Recipe, TranslationsMustKeepEverySlotInOrder)
{
    const struct {
        std::string translation;
        std::size_t slots;
        TranslationProblem problem;
        std::string recipe;
    } cases[] = {
        {"找到 {0} 个文件", 1, TranslationProblem::None, "找到 \x01 个文件"},
        {"{0}/{1} {{ok}}", 2, TranslationProblem::None, "\x01/\x01 {ok}"},
        {"找到文件", 1, TranslationProblem::MissingSlot, ""},
        {"{0} {1}", 1, TranslationProblem::ExtraSlot, ""},
        {"{0} {0}", 1, TranslationProblem::ExtraSlot, ""},
        {"{1} {0}", 2, TranslationProblem::SlotOutOfOrder, ""},
        {"{0} {", 1, TranslationProblem::StrayBrace, ""},
        {"{0} }", 1, TranslationProblem::StrayBrace, ""},
        {"{x} {0}", 1, TranslationProblem::StrayBrace, ""},
        {"{0", 1, TranslationProblem::StrayBrace, ""},
        {"{}", 0, TranslationProblem::StrayBrace, ""},
        {"{99999999999999999999}", 1, TranslationProblem::StrayBrace, ""},
        {"raw \x01 slot", 1, TranslationProblem::ControlChar, ""},
        {"\x02", 0, TranslationProblem::ControlChar, ""},
        {"{{0}}", 0, TranslationProblem::None, "{0}"},
    };
    for (const auto& c : cases) {
        const auto result = MessageToRecipe(c.translation, c.slots);
        EXPECT_EQ(result.problem, c.problem) << c.translation;
        if (c.problem == TranslationProblem::None) {
            EXPECT_EQ(result.recipe, c.recipe) << c.translation;
        }
    }
}

// ---- One check, one list of problems

TEST(TranslationCheck, NamesTheProblemOfEveryStepAndGivesTheStoredText)
{
    using cl::catalogue::CheckTranslation;
    using cl::catalogue::TextChecks;
    TextChecks recipe;
    recipe.recipe = true;
    recipe.slotCount = 2;
    recipe.inClass = true;
    TextChecks message;
    message.messageFormat = true;
    message.inClass = true;
    TextChecks printf;
    printf.printf = true;
    printf.inClass = true;
    TextChecks inClass;
    inClass.inClass = true;
    const TextChecks bundle;  // a bundle value: no class limit
    const struct {
        const char* what;
        TextChecks checks;
        std::string source;
        std::string translation;
        TranslationProblem problem;
        std::string stored;  // when there is no problem
    } cases[] = {
        {"recipe", recipe, "{0} of {1}", "{0} / {1}", TranslationProblem::None, "\x01 / \x01"},
        {"recipe reordered", recipe, "{0} of {1}", "{1} {0}", TranslationProblem::SlotOutOfOrder, ""},
        {"recipe with a raw slot", recipe, "{0} of {1}", "{0}\x01{1}", TranslationProblem::ControlChar, ""},
        {"message format", message, "{0} files", "{0} 个文件", TranslationProblem::None, "{0} \xE4\xB8\xAA\xE6\x96\x87\xE4\xBB\xB6"},
        {"message format broken", message, "{0} files", "{0 个文件", TranslationProblem::FormatInvalid, ""},
        {"message argument lost", message, "{0} files", "文件", TranslationProblem::FormatArgumentMissing, ""},
        {"printf changed", printf, "%d files", "%s 个文件", TranslationProblem::FormatArgumentChanged, ""},
        {"printf added", printf, "%d files", "%d 个文件 %s", TranslationProblem::FormatArgumentExtra, ""},
        // Freeplane's "Extended progress 10%" reaches a formatting only as what it formats.
        {"no printf original", printf, "Extended progress 10%", "扩展进度 10%", TranslationProblem::None,
         "\xE6\x89\xA9\xE5\xB1\x95\xE8\xBF\x9B\xE5\xBA\xA6 10%"},
        {"zero byte", inClass, "a", std::string("a\0b", 3), TranslationProblem::None, "a\xC0\x80" "b"},
        {"supplementary", inClass, "a", "\xF0\x9F\x8E\x89", TranslationProblem::None, "\xED\xA0\xBC\xED\xBE\x89"},
        {"not UTF-8", inClass, "a", "\xff broken", TranslationProblem::BadText, ""},
        {"past a class's limit", inClass, "a", std::string(65536, 'z'), TranslationProblem::TooLong, ""},
        {"at a class's limit", inClass, "a", std::string(65535, 'z'), TranslationProblem::None, std::string(65535, 'z')},
        {"a bundle has no limit", bundle, "a", std::string(65536, 'z'), TranslationProblem::None, std::string(65536, 'z')},
        {"no translation yet", recipe, "{0} of {1}", "", TranslationProblem::None, "untouched"},
    };
    for (const auto& c : cases) {
        std::string stored = "untouched";
        EXPECT_EQ(CheckTranslation(c.checks, c.source, c.translation, &stored), c.problem) << c.what;
        EXPECT_EQ(stored, c.problem == TranslationProblem::None ? c.stored : "untouched") << c.what;
        // Without a place for the stored text the answer is the same.
        EXPECT_EQ(CheckTranslation(c.checks, c.source, c.translation), c.problem) << c.what;
    }
}

TEST(TranslationCheck, EveryProblemHasSentenceOfItsOwnWhereverItIsFound)
{
    std::set<std::string> sentences;
    for (auto n = static_cast<int>(TranslationProblem::MissingSlot); n <= static_cast<int>(TranslationProblem::NotReparsed);
         ++n) {
        const auto problem = static_cast<TranslationProblem>(n);
        const std::string sentence = cltext::TranslationProblemText(problem);
        EXPECT_FALSE(sentence.empty()) << n;
        EXPECT_TRUE(sentences.insert(sentence).second) << "said twice: " << sentence;
        // Before writing, the same words, with the text and the place.
        cl::catalogue::ApplyProblem found;
        found.kind = problem;
        found.msgid = "Open";
        found.classEntry = "app/Main.class";
        found.index = 7;
        EXPECT_EQ(cltext::ApplyProblemText(found), sentence + "：msgid “Open”（app/Main.class:7）");
    }
    EXPECT_EQ(cltext::TranslationProblemText(TranslationProblem::None), "");
}

}  // namespace
