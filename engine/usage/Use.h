#pragma once
// What a string literal is for: the words the command line prints and the table of consumers
// uses. A translator may change what people read (interface text, messages, format patterns,
// log lines); keys, names, patterns and data are read by programs, which break when they change.

#include <cstdint>
#include <optional>
#include <string_view>

namespace cl::usage {

enum class Use : uint8_t {
    Ui,       // labels, buttons, menus, titles, tooltips, dialogs
    Message,  // exception messages, lines printed to a console
    Format,   // the pattern of a printf-style or MessageFormat formatting whose result is shown
    Log,      // a logging framework's message
    Key,      // looked up or compared: properties, bundles, maps, equals, switch, action commands
    Name,     // names a class, member, file, URL, charset, algorithm, logger, command...
    Pattern,  // a regular expression, a date or number pattern, SQL
    Data,     // no letter, control characters, or decoded by the program's own code
    Unknown,  // the analysis cannot tell where it goes
};
constexpr int kUseCount = 9;

// "ui", "message", "format", "log", "key", "name", "pattern", "data", "unknown".
const char* UseWord(Use use) noexcept;
std::optional<Use> UseFromWord(std::string_view word) noexcept;

// True for the uses a translator is offered: what people read.
constexpr bool IsShown(Use use) noexcept
{
    return use == Use::Ui || use == Use::Message || use == Use::Format || use == Use::Log;
}

// The kind of pattern a Format finding (or an Unknown one that went through a formatting)
// holds: its placeholders are %-conversions or {n} arguments.
enum class FormatStyle : uint8_t { None, Printf, MessageFormat };

// "", "printf", "messageformat".
const char* FormatStyleWord(FormatStyle style) noexcept;

}  // namespace cl::usage
