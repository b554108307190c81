#pragma once
// What the analysis keeps of one class once its bytes are gone: its place in the class
// hierarchy, its members, its string constants, and where values flow inside its methods.
// A flow runs from an origin (a string constant, a parameter, a field read, the result of a
// call) to a sink (a consumer of the table, a call, a field store, a return). The program-wide
// step joins the flows of all classes; nothing here points into the parsed class.
//
// Every name and text of the facts is a view into one block of memory the facts own (shared by
// their copies): a class's names and texts cost one allocation, not one each, and are freed
// in one go.

#include "usage/Use.h"

#include <cstdint>
#include <algorithm>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace cl::usage {

enum class OriginKind : uint8_t {
    Literal,     // value: the CONSTANT_String index
    Parameter,   // value: 1-based parameter position of the method
    FieldRead,   // value: index into ClassFacts::members
    CallResult,  // value: index into ClassFacts::members (the called method)
    Lookup,      // value: index into ClassFacts::lookups (what a key looks up)
};

enum class SinkKind : uint8_t {
    Consumer,    // a line of the table: use, format, equalsStyle; target: consumer name
    Unknown,     // target: consumer name (the call, "array element", ...)
    Call,        // a method the program may declare; target: member, parameter: position
    FieldStore,  // target: member (the field as referenced)
    Return,      // target: the method's index in ClassFacts::methods
    // An argument of one call of the program's own (beside its Call sink): target is the
    // call's LookupKind::Site lookup, into ClassFacts::lookups; parameter its position.
    CallSite,
};

struct Sink {
    SinkKind kind = SinkKind::Unknown;
    Use use = Use::Unknown;
    FormatStyle format = FormatStyle::None;
    bool equalsStyle = false;
    // Call: the parameter's position. Consumer: kConsoleLine (OutputStreams.h) for a line
    // printed to the console, else 0.
    uint16_t parameter = 0;
    uint32_t target = 0;

    bool operator==(const Sink&) const = default;
};

struct Flow {
    OriginKind origin = OriginKind::Literal;
    // The value was used as the pattern of a formatting on its way to the sink.
    FormatStyle format = FormatStyle::None;
    uint16_t method = 0;  // index into ClassFacts::methods; kNoMethod for a field's ConstantValue
    uint32_t value = 0;
    uint32_t sink = 0;    // index into ClassFacts::sinks
};
constexpr uint16_t kNoMethod = 0xFFFF;

struct MemberRef {
    std::string_view owner;
    std::string_view name;
    std::string_view descriptor;
};

struct MethodFacts {
    std::string_view name;
    std::string_view descriptor;
    uint16_t access = 0;
    bool hasCode = false;
    bool followed = false;  // its code was analysed (false: too large, malformed, or no code)
};

struct FieldFacts {
    std::string_view name;
    std::string_view descriptor;
    uint16_t access = 0;
};

struct LiteralFacts {
    uint16_t stringIndex = 0;  // the CONSTANT_String
    std::string_view text;     // its modified UTF-8 bytes
    bool recipe = false;       // a string-concatenation recipe (U+0001 marks a value)
};

// A value looked up by a key: the result of a call the table calls a lookup (a bundle's
// getString) or of a call of the program's own that is passed a string it may look up (its
// own wrapper around one). The flows from it are where the value goes; the program-wide step
// matches the key against the keys of the program's bundles.
enum class LookupKind : uint8_t {
    Table,  // a lookup the table knows: its key is the key
    Call,   // a call of the program's own: a lookup only if that method looks its parameter up
    // A call of the program's own that is passed something and may return a string: no key,
    // only where this one call's result goes, for the arguments a method returns (ThroughCalls
    // in UseGraph.h). Matched to no bundle's key.
    Site,
};

struct LookupFacts {
    LookupKind kind = LookupKind::Table;
    // The key is exactly one literal (not a recipe, nothing joined to it).
    bool exact = false;
    // The key is joined from several values (a recipe, a builder, a concatenation).
    bool joined = false;
    uint16_t method = 0;     // where the call is, into ClassFacts::methods
    uint16_t parameter = 0;  // Call: the called method's parameter the key is passed as
    // A parameter of the calling method that is part of the key (0 when none): a method that
    // looks its parameter up and returns what it finds is a wrapper, and its callers' keys are
    // the ones that count.
    uint16_t ownParameter = 0;
    // Every parameter of the calling method that is part of the key, bit p for parameter p
    // (below 64): a translation call's message id may be one of several (JOSM's gettext looks
    // up its text alone, or joined with its context).
    uint64_t keyParameters = 0;
    uint32_t member = 0;     // Call: the called method, into ClassFacts::members
    // The string constants the key is made of (a literal, a recipe, or the pieces appended to
    // a builder), into ClassFacts::lookupLiterals.
    uint32_t firstLiteral = 0;
    uint32_t literalCount = 0;
};

struct ClassFacts {
    bool parsed = false;
    std::string_view name;
    std::string_view superName;  // empty for java/lang/Object and module-info
    std::vector<std::string_view> interfaces;
    uint16_t access = 0;
    bool showsWindows = false;  // it names a window toolkit's classes (NamesWindowClasses)
    std::vector<MethodFacts> methods;  // parallel to the class file's methods
    std::vector<FieldFacts> fields;
    std::vector<LiteralFacts> literals;  // every CONSTANT_String, in pool order
    std::vector<MemberRef> members;      // the members flows name
    std::vector<std::string_view> consumers;  // the consumer names sinks name
    std::vector<Sink> sinks;
    std::vector<Flow> flows;  // sorted by origin, then value, then method
    std::vector<LookupFacts> lookups;
    std::vector<uint16_t> lookupLiterals;  // CONSTANT_String indexes of the lookups' keys
    std::shared_ptr<const char[]> text;  // the bytes every view above points into
};

// The flows of `c` from one origin (flows are sorted by origin, then value).
inline std::span<const Flow> FlowsFrom(const ClassFacts& c, OriginKind origin, uint32_t value)
{
    const auto [first, last] = std::equal_range(c.flows.begin(), c.flows.end(), Flow{origin, FormatStyle::None, 0, value, 0},
                                                [](const Flow& a, const Flow& b) {
                                                    return a.origin != b.origin ? a.origin < b.origin : a.value < b.value;
                                                });
    return {first, last};
}

// The flows of `c` from every origin of one kind.
inline std::span<const Flow> FlowsFrom(const ClassFacts& c, OriginKind origin)
{
    const auto [first, last] = std::equal_range(c.flows.begin(), c.flows.end(), Flow{origin, FormatStyle::None, 0, 0, 0},
                                                [](const Flow& a, const Flow& b) { return a.origin < b.origin; });
    return {first, last};
}

// Whether the value a lookup of `c` finds is returned by `method` (an index into c.methods):
// the method hands out what it looks up.
inline bool LookupReturnedBy(const ClassFacts& c, uint32_t lookup, uint16_t method)
{
    for (const Flow& flow : FlowsFrom(c, OriginKind::Lookup, lookup)) {
        if (flow.sink < c.sinks.size() && c.sinks[flow.sink].kind == SinkKind::Return && c.sinks[flow.sink].target == method)
            return true;
    }
    return false;
}

}  // namespace cl::usage
