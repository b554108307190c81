#pragma once
// java.util.Formatter patterns (String.format, PrintStream.printf, Formatter.format):
// "%[argument_index$][flags][width][.precision]conversion", "%n", "%%", "%<s", "%tY", read as
// Formatter reads them before it formats anything, and the check that a translation formats
// the same arguments the same way. Texts are UTF-8.

#include "errors/TranslationProblem.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cl::formats {

// Why Formatter refuses a pattern: the exception it throws.
enum class PrintfFault : uint8_t {
    None,
    UnknownConversion,   // UnknownFormatConversionException: no conversion, or an unknown one
    DuplicateFlags,      // DuplicateFormatFlagsException: "%--5s"
    IllegalFlags,        // IllegalFormatFlagsException: "%+ d", "%-05d", flags on %n or %%
    IllegalPrecision,    // IllegalFormatPrecisionException: "%.2d", "%.2c", "%.1tY"
    IllegalWidth,        // IllegalFormatWidthException: "%5n", a width past int
    MissingWidth,        // MissingFormatWidthException: "%-s", "%0d"
    FlagMismatch,        // FormatFlagsConversionMismatchException: "%,x", "%#d"
    IllegalIndex,        // IllegalFormatArgumentIndexException: "%0$s", an index past int
    NoPreviousArgument,  // "%<s" before any argument: MissingFormatArgumentException whatever
                         // the arguments are
};

struct PrintfConversion {
    std::size_t offset = 0;  // of the '%', in bytes
    std::size_t length = 0;  // of the whole specifier, in bytes
    // As written: n for "n$", 0 for the next ordinary argument, -1 for '<', -2 for %n and %%.
    int32_t index = 0;
    // The argument it formats, counting from 1; 0 for %n and %%.
    int32_t argument = 0;
    char conversion = 0;  // lower case: 's', 'd', 'x', ..., 'n', '%'; 't' for date and time
    char dateTime = 0;    // the letter after 't' or 'T' ('Y', 'm', ...), else 0
    bool upper = false;   // 'S', 'X', 'T', ...: the output in upper case
    std::string flags;    // as written, '<' included
    int32_t width = -1;
    int32_t precision = -1;

    // What the argument is formatted as, case aside: "s", "d", "tY".
    std::string Kind() const;
};

struct PrintfPattern {
    PrintfFault fault = PrintfFault::None;
    std::size_t faultOffset = 0;  // the '%' of the refused specifier
    std::vector<PrintfConversion> conversions;  // every specifier, %n and %% included

    bool valid() const { return fault == PrintfFault::None; }
    // Valid, and at least one specifier formats an argument.
    bool HasArguments() const;
};

PrintfPattern ParsePrintf(std::string_view pattern);

// Arguments are matched by number, so "%2$s %1$s" may translate "%s %s". For each argument the
// set of its conversions must be the same, case aside ("%S" may become "%s", "%d" may not
// become "%s"); flags, width and precision may change, and %n and %% are text.
//
// Why a translation cannot stand in for its original: FormatInvalid (Formatter refuses it:
// `fault`), FormatArgumentMissing, FormatArgumentExtra, or FormatArgumentChanged (an argument
// formatted as something else: `expected`, `found`).
struct PrintfProblem {
    TranslationProblem kind = TranslationProblem::None;
    int32_t argument = 0;
    std::string expected;  // the original's conversions of the argument, e.g. "d" or "tY,tm"
    std::string found;     // the translation's
    PrintfFault fault = PrintfFault::None;
    std::size_t faultOffset = 0;
    bool ok() const { return kind == TranslationProblem::None; }
};

PrintfProblem CheckPrintfTranslation(std::string_view original, std::string_view translation);

}  // namespace cl::formats
