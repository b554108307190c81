#pragma once
// The check of one translation against the places its text has in the program, made as the
// translator types and again before anything is written.

#include <cstddef>
#include <string>

namespace cl::catalogue {

// Why a translation cannot go into the program.
enum class TranslationProblem {
    None,
    MissingSlot,
    ExtraSlot,
    SlotOutOfOrder,
    StrayBrace,
    ControlChar,
    TooLong,  // more than 65535 bytes once stored in the class
};

// `slotCount` is the most {n} slots of any recipe place of the text; `recipe` whether any place
// is one. An empty translation has no problem: it is no translation yet.
TranslationProblem CheckTranslation(bool recipe, std::size_t slotCount, const std::string& translation);

}  // namespace cl::catalogue
