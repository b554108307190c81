#pragma once
// The notes a catalogue carries for translators ("#." lines) are sentences, and sentences are
// the front ends' to word (texts/): the engine asks for them through this interface whenever it
// writes a catalogue, so that every catalogue says the same whoever writes it.

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
};

}  // namespace cl::catalogue
