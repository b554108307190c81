#include "catalogue/TranslationCheck.h"

#include "catalogue/Recipe.h"
#include "classfile/ModifiedUtf8.h"
#include "formats/MessageFormat.h"
#include "formats/Printf.h"

namespace cl::catalogue {

namespace {

TranslationProblem FromRecipe(RecipeProblem problem)
{
    switch (problem) {
        case RecipeProblem::None: return TranslationProblem::None;
        case RecipeProblem::MissingSlot: return TranslationProblem::MissingSlot;
        case RecipeProblem::ExtraSlot: return TranslationProblem::ExtraSlot;
        case RecipeProblem::SlotOutOfOrder: return TranslationProblem::SlotOutOfOrder;
        case RecipeProblem::StrayBrace: return TranslationProblem::StrayBrace;
        case RecipeProblem::ControlChar: return TranslationProblem::ControlChar;
    }
    return TranslationProblem::None;
}

TranslationProblem FromMessage(formats::MessageProblemKind kind)
{
    switch (kind) {
        case formats::MessageProblemKind::None: return TranslationProblem::None;
        case formats::MessageProblemKind::Invalid: return TranslationProblem::FormatInvalid;
        case formats::MessageProblemKind::MissingArgument: return TranslationProblem::FormatArgumentMissing;
        case formats::MessageProblemKind::ExtraArgument: return TranslationProblem::FormatArgumentExtra;
        case formats::MessageProblemKind::ChangedType: return TranslationProblem::FormatArgumentChanged;
    }
    return TranslationProblem::None;
}

TranslationProblem FromPrintf(formats::PrintfProblemKind kind)
{
    switch (kind) {
        case formats::PrintfProblemKind::None: return TranslationProblem::None;
        case formats::PrintfProblemKind::Invalid: return TranslationProblem::FormatInvalid;
        case formats::PrintfProblemKind::MissingArgument: return TranslationProblem::FormatArgumentMissing;
        case formats::PrintfProblemKind::ExtraArgument: return TranslationProblem::FormatArgumentExtra;
        case formats::PrintfProblemKind::ChangedConversion: return TranslationProblem::FormatArgumentChanged;
    }
    return TranslationProblem::None;
}

}  // namespace

TranslationProblem CheckTranslation(const TextChecks& checks, const std::string& source, const std::string& translation)
{
    if (translation.empty())
        return TranslationProblem::None;
    std::string text = translation;
    if (checks.recipe) {
        RecipeResult converted = MessageToRecipe(translation, checks.slotCount);
        if (converted.problem != RecipeProblem::None)
            return FromRecipe(converted.problem);
        text = std::move(converted.recipe);
    }
    if (checks.messageFormat) {
        if (const TranslationProblem problem = FromMessage(formats::CheckMessageTranslation(source, translation).kind);
            problem != TranslationProblem::None)
            return problem;
    }
    if (checks.printf) {
        if (const TranslationProblem problem = FromPrintf(formats::CheckPrintfTranslation(source, translation).kind);
            problem != TranslationProblem::None)
            return problem;
    }
    std::string modified;
    if (!classfile::ModifiedUtf8FromUtf8(text, modified).Ok())
        return TranslationProblem::ControlChar;
    return checks.inClass && modified.size() > 65535 ? TranslationProblem::TooLong : TranslationProblem::None;
}

}  // namespace cl::catalogue
