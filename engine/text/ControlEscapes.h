#pragma once
// Names that come from a program (entry names, keys, class names) may hold line breaks and other
// control characters. Wherever such a name is shown or written on one line - a catalogue's
// comment, a message - it is shown as C writes those characters (\n, \r, \t, \xNN), so that it
// can neither break the line nor reach a terminal as a control sequence.

#include <string>
#include <string_view>

namespace cl {

std::string WithControlsEscaped(std::string_view text);

}  // namespace cl
