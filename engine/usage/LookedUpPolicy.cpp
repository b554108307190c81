#include "usage/UseGraph.h"

#include "usage/TextShape.h"

#include <algorithm>

// The decision for a value a bundle holds, from where the program's lookups of its key send
// it. Stricter than a literal's: a literal compared with equals changes together with the
// labels that hold the same text, but a bundle's value compared with a literal, a stored
// setting or a constant of the code would no longer match once translated.

namespace cl::usage {

namespace {

// Data (a number parsed, a colour decoded, a text field's first content) ranks below what
// shows the value: a parser's value that is also shown is rare, and a text field that starts
// with a label's text is filled for the person reading it.
int Rank(Use use)
{
    switch (use) {
        case Use::Name: return 0;
        case Use::Pattern: return 1;
        case Use::Key: return 2;
        case Use::Format: return 3;
        case Use::Ui: return 4;
        case Use::Message: return 5;
        case Use::Log: return 6;
        case Use::Data: return 7;
        default: return 9;
    }
}

bool NeedsItUnchanged(Use use)
{
    return use == Use::Name || use == Use::Pattern || use == Use::Key || use == Use::Data;
}

}  // namespace

std::optional<Decision> ProgramUsage::DecideLookedUp(std::string_view key, std::string_view value) const
{
    if (!graph_ || graph_->keyLookups.Empty())
        return std::nullopt;
    const Graph& g = *graph_;
    thread_local std::vector<KeyLookups::LookupRef> lookups;
    thread_local std::vector<KeyLookups::LookupRef> loose;
    thread_local std::vector<BareFinding> bare;
    g.keyLookups.Matching(key, lookups, loose);
    struct Placed {
        BareFinding f;
        uint32_t ci;
    };
    std::vector<Placed> findings;
    auto collect = [&](const std::vector<KeyLookups::LookupRef>& refs, bool showingOnly) {
        for (const auto& [ci, lookup] : refs) {
            g.BareFindingsOf(ci, OriginKind::Lookup, lookup, bare);
            for (const BareFinding& f : bare) {
                if (f.consumer == kNothing)
                    continue;  // the lookup's value goes nowhere: it tells nothing
                if (showingOnly && (NeedsItUnchanged(UseOf(f.kind)) || UseOf(f.kind) == Use::Unknown))
                    continue;
                // A looked-up value is a string of its own, no constant of the code: compared
                // by identity (==, an event's data against an object), it is the same object
                // translated or not.
                if (UseOf(f.kind) == Use::Key && g.ConsumerName(f.consumer) == "==")
                    continue;
                findings.push_back({f, ci});
            }
        }
    };
    collect(lookups, false);
    collect(loose, true);
    const Placed* decisive = nullptr;
    FormatStyle format = FormatStyle::None;
    for (const Placed& placed : findings) {
        const Use use = UseOf(placed.f.kind);
        if (FormatOf(placed.f.kind) != FormatStyle::None && format == FormatStyle::None)
            format = FormatOf(placed.f.kind);
        if (use == Use::Unknown)
            continue;
        if (decisive == nullptr || Rank(use) < Rank(UseOf(decisive->f.kind)))
            decisive = &placed;
    }
    if (decisive == nullptr)
        return std::nullopt;
    Decision d;
    d.use = UseOf(decisive->f.kind);
    d.format = format;
    d.consumer = decisive->f.consumer == kNothing ? std::string("nothing") : g.ConsumerName(decisive->f.consumer);
    // Every use the lookups put it to, for the note, withheld or offered.
    for (const Placed& placed : findings) {
        AddUse(d.uses, UseOf(placed.f.kind), FormatOf(placed.f.kind), [&] { return g.ConsumerName(placed.f.consumer); });
    }
    if (NeedsItUnchanged(d.use)) {
        for (const Placed& placed : findings) {
            if (!NeedsItUnchanged(UseOf(placed.f.kind)))
                continue;
            Finding f = g.Words(placed.f, placed.ci);
            if (std::find(d.forbidding.begin(), d.forbidding.end(), f) == d.forbidding.end())
                d.forbidding.push_back(std::move(f));
        }
        return d;
    }
    // Shown somewhere, needed unchanged nowhere: offered, unless it holds no word at all.
    d.offered = !IsData(value, format);
    if (!d.offered)
        d.use = Use::Data;
    return d;
}

}  // namespace cl::usage
