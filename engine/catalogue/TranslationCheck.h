#pragma once
// The check of one translation against what its text is in the program, made as the translator
// types and again before anything is written: the {n} slots of a concatenation recipe, the
// arguments of a MessageFormat or printf pattern, and the length a class file can hold.

#include "errors/TranslationProblem.h"

#include <cstddef>
#include <string>

namespace cl::catalogue {


// What the places of a text ask of its translation.
struct TextChecks {
    bool recipe = false;         // some place is a concatenation recipe
    std::size_t slotCount = 0;   // the most {n} slots of any recipe place
    bool messageFormat = false;  // the text is a MessageFormat pattern with arguments
    bool printf = false;         // the text is a printf pattern (String.format and the like)
    bool inClass = false;        // some place is in a class file: 65535 bytes at most
};

// The check of `translation` of `source`. An empty translation has no problem: it is no
// translation yet. Without a problem, `stored` (when given) receives the text as a class holds
// it: modified UTF-8, a recipe's {n} slots as U+0001.
TranslationProblem CheckTranslation(const TextChecks& checks, const std::string& source, const std::string& translation,
                                    std::string* stored = nullptr);

}  // namespace cl::catalogue
