#pragma once
// TranslationProblem: why a translation cannot be written into the program, whichever step
// finds it: the check as the translator types, the {n} slots of a concatenation recipe, the
// arguments of a MessageFormat or printf pattern, and the rewriting of the class itself. One
// list, so that every step names a problem the same way and texts/ words each once.

#include <cstdint>

namespace cl {

enum class TranslationProblem : uint8_t {
    None,
    // The slots of a concatenation recipe.
    MissingSlot,     // a slot of the original is not in the translation
    ExtraSlot,       // the translation names a slot the original lacks, or one twice
    SlotOutOfOrder,  // all slots are there, but not as {0}, {1}, ... in this order
    StrayBrace,      // a single { or } that is not part of a slot
    ControlChar,     // U+0001 or U+0002 typed into the translation itself
    // The text itself.
    BadText,  // not valid UTF-8
    TooLong,  // more than 65535 bytes once stored in the class
    // The format of the original.
    FormatInvalid,          // not a pattern the format of the original accepts
    FormatArgumentMissing,  // an argument of the original's pattern is not in the translation
    FormatArgumentExtra,    // the translation names an argument the original does not
    FormatArgumentChanged,  // an argument formatted as another kind of value
    // The class the translation goes into.
    PoolTooLarge,  // the class would pass 65535 constant-pool entries
    NotReparsed,   // the rewritten class does not parse (an edit aimed at the wrong entry)
    CodeNotRelaid,  // a method's loads cannot take a constant of their own (its code cannot be laid out again)
};

}  // namespace cl
