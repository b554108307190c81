#pragma once
// Text written into a roff manual page so that it prints as it reads.

#include <string>
#include <string_view>

namespace clman {

enum class BreakMarks { Add, None };

// UTF-8 text as roff input: backslashes print as backslashes, hyphens as the ASCII
// hyphen-minus that options are typed with, tabs as spaces. With BreakMarks::Add it also
// marks that after each Chinese character a line may break (groff breaks lines only at
// spaces, and a Chinese sentence has none) except where punctuation forbids it. The NAME line,
// read by whatis indexers, and macro arguments want the text without those marks.
// Bytes that are not UTF-8 are kept as they are.
std::string RoffText(std::string_view utf8, BreakMarks breaks = BreakMarks::Add);

// One line of roff input holding `text` (already escaped): a line starting with "." or "'"
// would be read as a request, so it is protected with "\&".
std::string RoffTextLine(std::string_view text);

}  // namespace clman
