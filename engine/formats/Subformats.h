#pragma once
// The three pattern languages MessageFormat hands a format element's style to: DecimalFormat
// ({0,number,#,##0.00}), SimpleDateFormat ({0,date,yyyy-MM-dd}) and ChoiceFormat
// ({0,choice,0#none|1#one|1<many}). Each check refuses exactly what the Java constructor
// refuses with IllegalArgumentException, so that a translated style that would make the
// program throw is caught before it is written.

#include <string>
#include <string_view>
#include <vector>
#include <optional>

namespace cl::formats {

// new DecimalFormat(pattern, symbols) accepts the pattern.
bool IsValidDecimalPattern(std::u32string_view pattern);

// new SimpleDateFormat(pattern, locale) accepts the pattern.
bool IsValidDatePattern(std::u32string_view pattern);

// The texts of a ChoiceFormat pattern, quotes resolved as ChoiceFormat resolves them;
// nothing when new ChoiceFormat(pattern) throws.
std::optional<std::vector<std::u32string>> ParseChoicePattern(std::u32string_view pattern);

}  // namespace cl::formats
