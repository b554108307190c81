#pragma once
// The number readers of the Java library that pattern checks run into: Integer.parseInt (an
// argument number of MessageFormat), Double.parseDouble (a limit of ChoiceFormat) and
// String.trim, on text already decoded to code points. They answer what Java answers,
// including the inputs Java refuses.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cl::formats {

// Integer.parseInt(s, 10): an optional sign, then one or more decimal digits of any script of
// the Basic Multilingual Plane (as Character.digit reads them); nothing when Java would throw
// NumberFormatException, including values outside int.
std::optional<int32_t> JavaParseInt(std::u32string_view s);

// Double.parseDouble(s): nothing when Java would throw NumberFormatException.
std::optional<double> JavaParseDouble(std::u32string_view s);

// String.trim: drops code points up to U+0020 at both ends.
std::u32string_view JavaTrim(std::u32string_view s);

// The value of a decimal digit as Character.digit(ch, 10) gives it, or -1.
int JavaDecimalDigit(char32_t c);

}  // namespace cl::formats
