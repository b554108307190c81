#pragma once
// The table of consumers (Consumers.def) in a form looked up per call: which lines apply to a
// method of a class, most precise class first.

#include "usage/Use.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace cl::usage {

// What a line of the table does with the parameters it names.
enum class Action : uint8_t {
    Consume,                // the parameter is used as `use` (and `equalsStyle` for keys)
    Result,                 // the call's result carries it
    ResultPrintf,           // ... as a printf-style pattern
    ResultMessageFormat,    // ... as a MessageFormat pattern
    Receiver,               // the object called on collects it
    ReceiverMessageFormat,  // ... as a MessageFormat pattern
    Lookup,                 // the call's result is the value a bundle or table holds under the
                            // parameter as its key: the analysis follows it as the key's value
};

struct ConsumerLine {
    Action action = Action::Consume;
    Use use = Use::Unknown;
    FormatStyle format = FormatStyle::None;  // a printf consumer: Use::Format with Printf
    bool equalsStyle = false;
    std::string_view className;   // as written: exact, "prefix*" or "*suffix"
    std::string_view method;      // exact, "*" or "prefix*"
    std::string_view descriptor;  // exact, "*" or "prefix*"
    // Bit p for parameter p (0 = the object called on); bit 63 for "every parameter".
    uint64_t parameters = 0;

    bool Names(unsigned parameter) const noexcept
    {
        if (parameter == 0)
            return (parameters & 1) != 0;
        if ((parameters >> 63) != 0)
            return true;
        return parameter < 63 && ((parameters >> parameter) & 1) != 0;
    }
};

// Which lines may apply, by how the class was matched.
enum class ClassMatch : uint8_t {
    ExactOrPrefix,  // the lines a class-file's own call may use before the program is known
    Any,            // also suffix lines: for classes known not to be the program's own
};

class ConsumerTable {
public:
    // The compiled-in table.
    static const ConsumerTable& Builtin();

    // The lines that apply to `owner.method descriptor`: those of the most precise class
    // pattern that has a line for this method. Empty when none does.
    void Find(std::string_view owner, std::string_view method, std::string_view descriptor, ClassMatch match,
              std::vector<const ConsumerLine*>& out) const;

    // The same in two steps, for a caller that asks about many methods of one class: the
    // class patterns that match `owner` (most precise first), then the lines of a method.
    struct Owner {
        const void* exact = nullptr;  // the group of the class's own name, if the table has one
        uint64_t prefixes = 0;        // bit g: prefix group g matches (groups longest first)
        uint64_t suffixes = 0;        // bit g: suffix group g matches
        bool many = false;            // more groups than the bits hold: matched by name in Find
        std::string_view name;        // for `many`
    };
    Owner OwnerOf(std::string_view owner) const;
    void Find(const Owner& owner, std::string_view method, std::string_view descriptor, ClassMatch match,
              std::vector<const ConsumerLine*>& out) const;

    // True when `new owner` makes an object the analysis follows (the table has a Receiver
    // line for the class).
    bool Collects(std::string_view owner) const;

    std::span<const ConsumerLine> Lines() const noexcept { return lines_; }

    struct Index;  // the lines grouped by class pattern

private:
    ConsumerTable();
    std::vector<ConsumerLine> lines_;
    std::shared_ptr<const Index> index_;
};

}  // namespace cl::usage
