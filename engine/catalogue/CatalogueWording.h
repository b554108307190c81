#pragma once
// The notes a catalogue carries for translators ("#." lines) are sentences, and sentences are
// the front ends' to word (texts/): the engine asks for them through this interface whenever it
// writes a catalogue, so that every catalogue says the same whoever writes it.

#include "usage/ProgramUsage.h"

#include <cstddef>
#include <string>
#include <vector>

namespace cl::catalogue {

class CatalogueWording {
public:
    virtual ~CatalogueWording() = default;
    // The note of a text shown with `slots` {n} placeholders standing for values (slots > 0):
    // one whole sentence an element.
    virtual std::vector<std::string> RecipeNote(std::size_t slots) const = 0;
    // The note of where a text goes: its use and what consumes it; for an offered text, every
    // other use found (`uses`, in usage::NoteRank order; empty when none was worked out) and the
    // classes (binary names with dots) whose places keep the text as it is; for a withheld one,
    // every place that forbids a change.
    virtual std::vector<std::string> UseNote(usage::Use use, const std::string& consumer,
                                             const std::vector<usage::UseFound>& uses, bool offered,
                                             const std::vector<usage::Finding>& forbidding,
                                             const std::vector<std::string>& keptIn) const = 0;
};

}  // namespace cl::catalogue
