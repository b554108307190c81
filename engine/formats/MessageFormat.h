#pragma once
// java.text.MessageFormat patterns ("{0} files in {1}", "{0,number,integer}",
// "{0,choice,0#no files|1#one file|1<{0} files}"): read as MessageFormat.applyPattern reads them,
// refusing what it refuses, and the check that a translation keeps the arguments of its
// original. Texts are UTF-8.

#include "errors/TranslationProblem.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace cl::formats {

// The format type of an argument, as written after its number.
enum class MessageType : uint8_t { None, Number, Date, Time, Choice };

// Why Java refuses a pattern (the IllegalArgumentException applyPattern throws).
enum class MessageFault : uint8_t {
    None,
    UnmatchedBraces,    // an argument is still open at the end ("Unmatched braces in the pattern.")
    BadArgumentNumber,  // the number is no int ("can't parse argument number")
    NegativeArgument,   // "negative argument number"
    ArgumentTooLarge,   // 10000 or more ("exceeds the ArgumentIndex implementation limit")
    UnknownType,        // the type is none of number, date, time, choice ("unknown format type")
    BadNumberStyle,     // DecimalFormat refuses the style
    BadDateStyle,       // SimpleDateFormat refuses the style (date or time)
    BadChoiceStyle,     // ChoiceFormat refuses the style ("Choice Pattern incorrect")
};

struct MessageArgument {
    int32_t number = 0;
    MessageType type = MessageType::None;
    bool nested = false;  // found in a choice text that is itself a pattern
};

struct MessagePattern {
    MessageFault fault = MessageFault::None;
    // Where the refused argument ends (its closing brace), or the end of the text for
    // UnmatchedBraces: a byte offset in the UTF-8 text.
    std::size_t faultOffset = 0;
    // Every argument in pattern order. The arguments of a choice text that holds a brace
    // follow their choice: MessageFormat formats such a text as a pattern of its own.
    std::vector<MessageArgument> arguments;
    // A choice text that holds a brace but is no valid pattern: applyPattern accepts it, but
    // formatting throws whenever that choice is taken.
    bool nestedFault = false;

    bool valid() const { return fault == MessageFault::None; }
    // Valid and worth the java-format flag: at least one argument.
    bool HasArguments() const { return valid() && !arguments.empty(); }
};

MessagePattern ParseMessageFormat(std::string_view pattern);

// Arguments compare as sets of numbers: any order, and a number may appear any number of
// times. For each number the set of its types must be the same: a type given to an argument
// that had none (or another one) makes Java throw on values it formatted before, and a type
// dropped changes how numbers and dates look. The style after the type may differ freely.
//
// Why a translation cannot stand in for its original: FormatInvalid (the translation is no valid
// pattern, or a choice text in it is none), FormatArgumentMissing, FormatArgumentExtra, or
// FormatArgumentChanged (the same argument with another set of types).
struct MessageProblem {
    TranslationProblem kind = TranslationProblem::None;
    int32_t argument = -1;              // the argument concerned (not for FormatInvalid)
    MessageFault fault = MessageFault::None;  // for FormatInvalid; None when only a choice text is invalid
    bool ok() const { return kind == TranslationProblem::None; }
};

MessageProblem CheckMessageTranslation(std::string_view original, std::string_view translation);

}  // namespace cl::formats
