#include "usage/ValueSets.h"

#include <algorithm>
#include <cstring>

namespace cl::usage {

namespace {

uint64_t Hash(const uint32_t* elements, uint32_t size)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ size;
    for (uint32_t i = 0; i < size; ++i) {
        h ^= elements[i];
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    return h;
}

}  // namespace

void ValueSets::Clear()
{
    data_.clear();
    ranges_.clear();
    ranges_.push_back({0, 0});  // the empty set
    sameHash_.assign(1, 0u);
    interned_.Clear();
    unions_.Clear();
    flagged_.Clear();
    singles_.Clear();
}

uint32_t ValueSets::Intern(const uint32_t* elements, uint32_t size)
{
    if (size == 0)
        return 0;
    const auto set = static_cast<uint32_t>(ranges_.size());
    bool inserted = false;
    uint32_t& first = interned_.FindOrInsert(Hash(elements, size), set, inserted);
    if (!inserted) {
        // Sets of the same hash are chained from the first; a new one joins the chain.
        for (uint32_t at = first; at != 0; at = sameHash_[at]) {
            const Range r = ranges_[at];
            if (r.size == size && std::memcmp(data_.data() + r.offset, elements, size * sizeof(uint32_t)) == 0)
                return at;
        }
        sameHash_.push_back(sameHash_[first]);
        sameHash_[first] = set;
    } else {
        sameHash_.push_back(0);
    }
    const auto offset = static_cast<uint32_t>(data_.size());
    data_.insert(data_.end(), elements, elements + size);
    ranges_.push_back({offset, size});
    return set;
}

uint32_t ValueSets::Single(uint32_t element)
{
    bool inserted = false;
    uint32_t& set = singles_.FindOrInsert(element, 0u, inserted);
    if (inserted) {
        const uint32_t made = Intern(&element, 1);
        // Intern does not touch singles_, so the slot is still where it was.
        set = made;
    }
    return set;
}

uint32_t ValueSets::Union(uint32_t a, uint32_t b)
{
    if (a == b || b == 0)
        return a;
    if (a == 0)
        return b;
    if (a > b)
        std::swap(a, b);
    const uint64_t key = (uint64_t{a} << 32) | b;
    if (const uint32_t* found = unions_.Find(key))
        return *found;
    const std::span<const uint32_t> x = Elements(a);
    const std::span<const uint32_t> y = Elements(b);
    scratch_.resize(x.size() + y.size());
    const auto end = std::set_union(x.begin(), x.end(), y.begin(), y.end(), scratch_.begin());
    const auto size = static_cast<uint32_t>(end - scratch_.begin());
    const uint32_t set = size == x.size() ? a : size == y.size() ? b : Intern(scratch_.data(), size);
    bool inserted = false;
    unions_.FindOrInsert(key, set, inserted);
    return set;
}

uint32_t ValueSets::WithFlag(uint32_t set, uint32_t flag)
{
    if (set == 0 || flag == 0)
        return set;
    const uint64_t key = (uint64_t{set} << 2) | flag;
    if (const uint32_t* found = flagged_.Find(key))
        return *found;
    const std::span<const uint32_t> x = Elements(set);
    scratch_.assign(x.begin(), x.end());
    for (uint32_t& e : scratch_) {
        if ((e & 3u) == 0)
            e |= flag;
    }
    std::sort(scratch_.begin(), scratch_.end());
    scratch_.erase(std::unique(scratch_.begin(), scratch_.end()), scratch_.end());
    const uint32_t result = Intern(scratch_.data(), static_cast<uint32_t>(scratch_.size()));
    bool inserted = false;
    flagged_.FindOrInsert(key, result, inserted);
    return result;
}

}  // namespace cl::usage
