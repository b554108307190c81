#pragma once
// The check of one translation against what its text is in the program, made as the translator
// types and again before anything is written: the {n} slots of a concatenation recipe, the
// arguments of a MessageFormat or printf pattern, and the length a class file can hold.

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
    TooLong,                // more than 65535 bytes once stored in the class
    FormatInvalid,          // not a pattern the format of the original accepts
    FormatArgumentMissing,  // an argument of the original's pattern is not in the translation
    FormatArgumentExtra,    // the translation names an argument the original does not
    FormatArgumentChanged,  // an argument formatted as another kind of value
};

// What the places of a text ask of its translation.
struct TextChecks {
    bool recipe = false;         // some place is a concatenation recipe
    std::size_t slotCount = 0;   // the most {n} slots of any recipe place
    bool messageFormat = false;  // the text is a MessageFormat pattern with arguments
    bool printf = false;         // the text is a printf pattern (String.format and the like)
    bool inClass = false;        // some place is in a class file: 65535 bytes at most
};

// The check of `translation` of `source`. An empty translation has no problem: it is no
// translation yet.
TranslationProblem CheckTranslation(const TextChecks& checks, const std::string& source, const std::string& translation);

}  // namespace cl::catalogue
