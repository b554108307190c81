#include "catalogue/TranslationCheck.h"

#include "catalogue/Recipe.h"
#include "classfile/ModifiedUtf8.h"

namespace cl::catalogue {

TranslationProblem CheckTranslation(bool recipe, std::size_t slotCount, const std::string& translation)
{
    if (translation.empty())
        return TranslationProblem::None;
    std::string text = translation;
    if (recipe) {
        RecipeResult converted = MessageToRecipe(translation, slotCount);
        switch (converted.problem) {
            case RecipeProblem::None: break;
            case RecipeProblem::MissingSlot: return TranslationProblem::MissingSlot;
            case RecipeProblem::ExtraSlot: return TranslationProblem::ExtraSlot;
            case RecipeProblem::SlotOutOfOrder: return TranslationProblem::SlotOutOfOrder;
            case RecipeProblem::StrayBrace: return TranslationProblem::StrayBrace;
            case RecipeProblem::ControlChar: return TranslationProblem::ControlChar;
        }
        text = std::move(converted.recipe);
    }
    std::string modified;
    if (!classfile::ModifiedUtf8FromUtf8(text, modified).Ok())
        return TranslationProblem::ControlChar;
    return modified.size() > 65535 ? TranslationProblem::TooLong : TranslationProblem::None;
}

}  // namespace cl::catalogue
