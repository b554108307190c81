#include "usage/UseGraph.h"

#include "usage/TextShape.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The decision per text, the offer policy: a text is offered when a place of it is shown to
// the user (a format, a UI text, a message, a log line) and no place needs it unchanged (a
// name, a pattern, a key compared other than by equality, or the name an object keeps and is
// found by, compared where a getter hands it out); text that reads as data, or has a
// shape that is never prose (an address, markup without words), is never offered; a text
// that goes nowhere known is offered when it reads as prose and does not look like code.
// A shown text that also reaches a library call the table does not know, or is compared by
// equality, is a name when it is one word that does not read as prose: an XML element's name put into an
// exception message is still read back from the file by a parser. The note names the use
// that decided, by rank.

namespace cl::usage {

namespace {

int ShownRank(Use use)
{
    switch (use) {
        case Use::Format: return 0;
        case Use::Ui: return 1;
        case Use::Message: return 2;
        case Use::Log: return 3;
        default: return 9;
    }
}

int ForbiddingRank(Use use)
{
    switch (use) {
        case Use::Name: return 0;
        case Use::Pattern: return 1;
        case Use::Key: return 2;
        default: return 9;
    }
}

// Space between words, after the text's own leading and trailing spaces; a recipe's values
// count as spaces.
bool HasSpaceIn(std::string_view text)
{
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 1 || c == 2; };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && space(text[begin]))
        ++begin;
    while (end > begin && space(text[end - 1]))
        --end;
    return std::any_of(text.begin() + static_cast<std::ptrdiff_t>(begin), text.begin() + static_cast<std::ptrdiff_t>(end),
                       space);
}

}  // namespace

Decision ProgramUsage::Decide(std::string_view text, std::span<const PlaceRef> places) const
{
    // The findings of every place, bare: a finding's words are made only when the decision
    // names it.
    struct Placed {
        BareFinding f;
        size_t place;
    };
    thread_local std::vector<Placed> findings;
    thread_local std::vector<BareFinding> bare;
    findings.clear();
    // A text handed to a translation call is its message id unless it is shaped like a key
    // ("dialog.title", "fileSaveError": a bundle's key, handed to a getter that returns the
    // key when the bundle lacks it): what the call does with it inside is then none of its
    // uses, and what the call's result is put to decides.
    const bool messageId = !(LooksLikeCode(text) && !ReadsAsProse(text));
    auto insideTranslation = [&](const BareFinding& f) {
        return f.kind == kMessageIdKind || (f.via != kNone && graph_->translationNodes.Find(f.via) != nullptr);
    };
    if (graph_) {
        for (size_t p = 0; p < places.size(); ++p) {
            graph_->BareFindingsOf(places[p], bare);
            for (const BareFinding& f : bare) {
                if (!(messageId && insideTranslation(f)))
                    findings.push_back({f, p});
            }
        }
    }
    // An unknown finding at a call of a library method (its consumer "owner/Class.method"),
    // rather than a value that goes nowhere, into an array, a constant field or unfollowed code.
    auto atLibraryCall = [&](const BareFinding& f) {
        if (f.consumer == kNothing || (f.consumer & kTerminalBit) != 0 || f.consumer >= graph_->names.size())
            return false;
        const std::string_view name = graph_->names[f.consumer];
        return name.find('/') != std::string_view::npos && !name.starts_with("field ");
    };
    // Met in the method that loads the text: at its consumer, or at the call of a library
    // method that is not the platform's; not down a method of the program's own.
    auto direct = [&](const BareFinding& f) {
        return f.via == kNone || (graph_->nodeKey[f.via] >> 60) == kCallNode;
    };
    // The words of a finding, as FindingsOf gives them.
    auto words = [&](const Placed& placed) { return graph_->Words(placed.f, places[placed.place].classIndex); };

    Decision d;
    const Placed* shown = nullptr;
    const Placed* forbidding = nullptr;
    const Placed* other = nullptr;  // a key compared by equality, or data
    const Placed* unknown = nullptr;
    const Placed* nameLike = nullptr;  // at a library call the table does not know, or compared by equality
    size_t placeOfForbidding = SIZE_MAX;
    size_t firstOfPlace = 0;  // where the current place's forbidding findings start in d.forbidding
    for (const Placed& placed : findings) {
        const Use use = UseOf(placed.f.kind);
        const FormatStyle format = FormatOf(placed.f.kind);
        if (Forbids(placed.f.kind)) {
            // FindingsOf gives a finding once per place even where two places of the graph
            // read the same.
            if (placed.place != placeOfForbidding) {
                placeOfForbidding = placed.place;
                firstOfPlace = d.forbidding.size();
            }
            Finding f = words(placed);
            if (std::find(d.forbidding.begin() + static_cast<std::ptrdiff_t>(firstOfPlace), d.forbidding.end(), f) ==
                d.forbidding.end())
                d.forbidding.push_back(std::move(f));
            if (forbidding == nullptr || ForbiddingRank(use) < ForbiddingRank(UseOf(forbidding->f.kind)))
                forbidding = &placed;
        } else if (IsShown(use)) {
            if (shown == nullptr || ShownRank(use) < ShownRank(UseOf(shown->f.kind)))
                shown = &placed;
        } else if (use == Use::Unknown) {
            if (unknown == nullptr || (FormatOf(unknown->f.kind) == FormatStyle::None && format != FormatStyle::None))
                unknown = &placed;
            if (nameLike == nullptr && direct(placed.f) && atLibraryCall(placed.f))
                nameLike = &placed;
        } else {
            if (nameLike == nullptr && use == Use::Key && direct(placed.f))
                nameLike = &placed;  // a key compared by equality
            if (other == nullptr)
                other = &placed;
        }
    }
    // Every use found, for the note, whatever the decision below makes of the text.
    for (const Placed& placed : findings) {
        AddUse(
            d.uses, UseOf(placed.f.kind), FormatOf(placed.f.kind),
            [&] { return placed.f.consumer == kNothing ? std::string("nothing") : graph_->ConsumerName(placed.f.consumer); },
            placed.f.translation != kNone ? graph_->names[placed.f.translation] : std::string_view());
    }
    auto take = [&](const Placed* f, Use use) {
        d.use = use;
        if (f != nullptr) {
            d.format = FormatOf(f->f.kind);
            d.consumer = f->f.consumer == kNothing ? std::string("nothing") : graph_->ConsumerName(f->f.consumer);
            if (f->f.translation != kNone)
                d.translatedBy.assign(graph_->names[f->f.translation]);
        }
    };
    // A pattern's placeholders are no words: read without them, "%s[]" holds no letter.
    const Placed* first = shown != nullptr ? shown : forbidding != nullptr ? forbidding : other != nullptr ? other : unknown;
    if (IsData(text, first != nullptr ? FormatOf(first->f.kind) : FormatStyle::None)) {
        d.forbidding.clear();
        take(first, Use::Data);
        d.format = FormatStyle::None;
        return d;
    }
    if (forbidding != nullptr) {
        take(forbidding, UseOf(forbidding->f.kind));
        return d;
    }
    if (const std::optional<Use> never = NeverProseUse(text)) {
        take(first, *never);
        d.format = FormatStyle::None;
        return d;
    }
    const bool prose = ReadsAsProse(text) && !LooksLikeCode(text);
    if (shown != nullptr) {
        // Only a lone word, in the method that loads it: a fragment of a sentence ("': connected'",
        // " failed.") joined into a log line is no name, nor a word whose unknown use is met
        // only down the program's shared helpers (a log's buffer copied with arraycopy), which
        // every message reaches.
        const bool fragment = !text.empty() && (text.front() == ' ' || text.back() == ' ');
        if (nameLike != nullptr && !prose && !fragment && !HasSpaceIn(text)) {
            d.forbidding.push_back(words(*nameLike));
            take(nameLike, Use::Name);
            d.format = FormatStyle::None;
            return d;
        }
        d.offered = true;
        take(shown, UseOf(shown->f.kind));
        return d;
    }
    if (other != nullptr) {
        take(other, UseOf(other->f.kind));
        return d;
    }
    d.offered = prose;
    take(unknown, d.offered ? Use::Unknown : Use::Data);
    return d;
}

}  // namespace cl::usage
