#pragma once
// Where every string literal of a whole program goes, and whether a translator is offered it.
//
// The facts of each class (ClassAnalysis.h) are joined into one graph: a string passed to the
// program's own method takes the uses of that method's parameter (every override of it for a
// virtual call), a string stored into a field takes the uses of the places that read the
// field, a string returned takes the uses of the calls' results. The uses are worked out to a
// fixed point (recursion included); then each literal's findings, and the decision for a text
// found at several places, are read off.
//
// Use: the per-class step under ForEachInParallel, then Solve once, then Decide per catalogue
// entry:
//
//   std::vector<ClassFacts> facts(n);
//   ForEachInParallel(n, [&](size_t i) { facts[i] = AnalyseClass(parsed[i]); });
//   const ProgramUsage usage = ProgramUsage::Solve(std::move(facts));
//   Decision d = usage.Decide(msgid, places);

#include "usage/ClassFacts.h"
#include "usage/Use.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cl::usage {

// One place a literal goes to.
struct Finding {
    Use use = Use::Unknown;
    // Format: the kind of pattern. Unknown: the value went through a formatting as its pattern.
    FormatStyle format = FormatStyle::None;
    bool equalsStyle = false;  // Key: compared by equality (equals, ==)
    // What consumes it: "java/lang/System.getProperty", "switch", "==", "array element",
    // "field com/x/Foo.title", "return of com/x/Foo.name()", "parameter 1 of com/x/Foo.m",
    // "code not followed", "nothing".
    std::string consumer;
    // The first of the program's own methods or fields it went through ("com/x/Foo.label",
    // "field com/x/Foo.title"); empty when it reached the consumer directly.
    std::string via;
    std::string className;  // where the constant is loaded
    std::string method;     // ... in which method; empty for a field's constant value
    // The translation call it went through as a message id ("org/x/I18n.tr"; TranslationCalls.h),
    // whose result this finding is of; empty when none.
    std::string translatedBy;

    bool operator==(const Finding&) const = default;
};

// A CONSTANT_String of one class of the program; with `oneMethod`, only its loads in `method`
// (an index into the class's methods): one text a class both shows and reads is decided per
// method that loads it.
struct PlaceRef {
    std::size_t classIndex = 0;  // into the facts given to Solve
    uint16_t stringIndex = 0;
    bool oneMethod = false;
    uint16_t method = 0;
};

// One use a text is put to, named by the consumer of the first of its findings with that use:
// what a catalogue's note lists, so that a translator sees every way the text is read.
struct UseFound {
    Use use = Use::Unknown;
    FormatStyle format = FormatStyle::None;
    std::string consumer;
    // The translation call the text went through to this use, as Finding::translatedBy: the
    // note names the call rather than the consumer of its result.
    std::string translatedBy = {};

    bool operator==(const UseFound&) const = default;
};

// Where a use stands in a note: the shown ones first, as a translator weighs them (Format, Ui,
// Message, Log), then the ones the program reads (Key, Name, Pattern, Data), Unknown last.
int NoteRank(Use use) noexcept;

// Adds `use` to `uses` (kept in NoteRank order, one entry a use) unless it is there already;
// `consumer` is asked for only when the use is new, as a consumer's name is made on demand.
// An Unknown use named "nothing" gives way to one with a consumer.
template <typename ConsumerOf>
void AddUse(std::vector<UseFound>& uses, Use use, FormatStyle format, ConsumerOf&& consumer,
            std::string_view translatedBy = {})
{
    auto at = uses.begin();
    while (at != uses.end() && NoteRank(at->use) < NoteRank(use))
        ++at;
    if (at != uses.end() && at->use == use) {
        if (at->use == Use::Unknown && at->consumer == "nothing") {
            std::string named = consumer();
            if (named != "nothing")
                *at = {use, format, std::move(named), std::string(translatedBy)};
        } else if (at->translatedBy.empty() && !translatedBy.empty()) {
            at->translatedBy = translatedBy;
        }
        return;
    }
    uses.insert(at, UseFound{use, format, consumer(), std::string(translatedBy)});
}

struct Decision {
    bool offered = false;
    // The use a note names: the shown use when offered (Format before Ui, Message, Log), the
    // use that forbids it when withheld, Unknown for prose that goes nowhere known, Data for
    // the rest.
    Use use = Use::Unknown;
    FormatStyle format = FormatStyle::None;  // the pattern's kind when it is a format
    std::string consumer;                    // the consumer of the finding `use` comes from
    std::vector<Finding> forbidding;         // withheld: every finding that forbids a change
    // The translation call the finding `use` comes from went through ("org/x/I18n.tr"): the
    // text is that call's message id. Empty when it went through none.
    std::string translatedBy;
    // Every distinct use found at the text's places, whatever was decided, in NoteRank order,
    // one consumer each: an offered text's note names them all, not only the one that decided.
    std::vector<UseFound> uses;
};

class ProgramUsage {
public:
    ProgramUsage();
    ~ProgramUsage();
    ProgramUsage(ProgramUsage&&) noexcept;
    ProgramUsage& operator=(ProgramUsage&&) noexcept;

    // The program-wide step over the facts of every class, indexed as the caller's classes.
    static ProgramUsage Solve(std::vector<ClassFacts> classes);

    // Every finding of one CONSTANT_String (deduplicated, in a stable order). A literal that
    // goes nowhere has one finding: unknown, "nothing".
    std::vector<Finding> FindingsOf(PlaceRef place) const;

    // The methods whose loads of a literal lead somewhere (index into the class's methods, in
    // order), and whether a field's constant value holds it too (which no method loads).
    struct Loaders {
        std::vector<uint16_t> methods;
        bool constantValue = false;
    };
    Loaders LoadersOf(PlaceRef place) const;

    // The decision for a text found at `places` (every place of one catalogue entry). `text`
    // is UTF-8: a recipe with its U+0001 markers or in its {0} form.
    Decision Decide(std::string_view text, std::span<const PlaceRef> places) const;

    // The decision for `value`, which a bundle or a table of settings holds under `key` (both
    // UTF-8), read from the lookups whose key may be `key` (KeyLookups.h): withheld when one of
    // them needs it unchanged (a name, a pattern, a key, a comparison, data), offered when one
    // shows it; nullopt when no lookup of a known use reads it, and its shape has to decide.
    // `format` tells whether a lookup formats it (a printf or MessageFormat pattern).
    std::optional<Decision> DecideLookedUp(std::string_view key, std::string_view value) const;

    // Every CONSTANT_String of the program grouped by its bytes, with the decision for each:
    // for tools and tests that have no catalogue of their own.
    struct TextDecision {
        std::string text;  // UTF-8, as Decide reads it; the class's bytes when they have no UTF-8 form
        std::vector<PlaceRef> places;
        bool recipe = false;
        Decision decision;
    };
    std::vector<TextDecision> DecideAll() const;

    const std::vector<ClassFacts>& Classes() const noexcept;

private:
    struct Graph;
    std::unique_ptr<Graph> graph_;
};

}  // namespace cl::usage
