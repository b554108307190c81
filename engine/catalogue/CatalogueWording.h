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
    // The note of where a text goes: its use and what consumes it; for a withheld text, every
    // place that forbids a change; for an offered one, the classes (binary names with dots)
    // whose places keep the text as it is.
    virtual std::vector<std::string> UseNote(usage::Use use, const std::string& consumer, bool offered,
                                             const std::vector<usage::Finding>& forbidding,
                                             const std::vector<std::string>& keptIn) const = 0;
};

}  // namespace cl::catalogue
