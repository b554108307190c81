#pragma once
// Which lookups of the program may read the value a bundle holds under a key. A lookup's key is
// known from the string constants it is made of: one literal is the key itself; a key joined
// from pieces (`prefix + name + ".AcceleratorKey"`, a recipe, a builder) matches every key that
// holds all its pieces. A method of the program's own that looks its parameter up and returns
// what it finds is a wrapper (`getLocalizedString(Class, key)`, `jEdit.getProperty(key)`): the
// keys its callers pass count, each call with its own findings, together with the pieces the
// wrapper joins to them.
//
// Internal to ProgramUsage: built once the program-wide graph is solved.

#include "usage/ClassFacts.h"
#include "usage/ClassHierarchy.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace cl::usage {

class KeyLookups {
public:
    // A lookup of the facts: its class and its index into ClassFacts::lookups.
    using LookupRef = std::pair<uint32_t, uint32_t>;

    void Build(const std::vector<ClassFacts>& classes, ClassHierarchy& hierarchy);

    // Every lookup whose key may be `key` (UTF-8): in `out` those whose key is spelled out or
    // narrowed by its pieces, in `loose` those known by one short piece only (Specific), whose
    // needs for the value unchanged are too broad to count.
    void Matching(std::string_view key, std::vector<LookupRef>& out, std::vector<LookupRef>& loose) const;

    bool Empty() const noexcept { return exact_.empty() && partial_.empty(); }

private:
    struct Partial {
        LookupRef lookup;
        std::vector<std::string> pieces;  // each must be part of the key
        bool specific = true;
    };
    std::unordered_map<std::string, std::vector<LookupRef>> exact_;
    std::vector<Partial> partial_;
};

}  // namespace cl::usage
