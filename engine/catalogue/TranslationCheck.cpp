#include "catalogue/TranslationCheck.h"

#include "catalogue/Recipe.h"
#include "classfile/ModifiedUtf8.h"
#include "formats/MessageFormat.h"
#include "formats/Printf.h"

namespace cl::catalogue {

TranslationProblem CheckTranslation(const TextChecks& checks, const std::string& source, const std::string& translation,
                                    std::string* stored)
{
    if (translation.empty())
        return TranslationProblem::None;
    std::string text = translation;
    if (checks.recipe) {
        RecipeResult converted = MessageToRecipe(translation, checks.slotCount);
        if (converted.problem != TranslationProblem::None)
            return converted.problem;
        text = std::move(converted.recipe);
    }
    if (checks.messageFormat) {
        if (const TranslationProblem problem = formats::CheckMessageTranslation(source, translation).kind;
            problem != TranslationProblem::None)
            return problem;
    }
    // An original that is no pattern Formatter accepts ("Extended progress 10%") is not used as
    // one by a program that works: it reaches the formatting only as what it formats.
    if (checks.printf && formats::ParsePrintf(source).valid()) {
        if (const TranslationProblem problem = formats::CheckPrintfTranslation(source, translation).kind;
            problem != TranslationProblem::None)
            return problem;
    }
    std::string modified;
    if (!classfile::ModifiedUtf8FromUtf8(text, modified).Ok())
        return TranslationProblem::BadText;
    if (checks.inClass && modified.size() > 65535)
        return TranslationProblem::TooLong;
    if (stored != nullptr)
        *stored = std::move(modified);
    return TranslationProblem::None;
}

}  // namespace cl::catalogue
