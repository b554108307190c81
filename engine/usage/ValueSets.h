#pragma once
// Sets of value origins for the data-flow of one method, interned: every distinct set has one
// number, so that states compare and merge by number and a set is stored once however many
// stack slots and locals hold it. Set 0 is the empty set (a value the analysis does not
// follow: a number, a null, an object of no interest). An element is an origin number shifted
// left by two, with the formatting it went through in the low two bits.

#include "usage/FlatMap.h"

#include <cstdint>
#include <span>
#include <vector>

namespace cl::usage {

class ValueSets {
public:
    // Forgets every set (the storage is kept for the next method).
    void Clear();

    uint32_t Single(uint32_t element);
    uint32_t Union(uint32_t a, uint32_t b);
    // Every element whose low bits are 0 gets `flag` (1..3); others keep theirs.
    uint32_t WithFlag(uint32_t set, uint32_t flag);

    std::span<const uint32_t> Elements(uint32_t set) const noexcept
    {
        const Range r = ranges_[set];
        return {data_.data() + r.offset, r.size};
    }
    // Elements stored in all sets together: the work the method has caused.
    size_t StoredElements() const noexcept { return data_.size(); }

private:
    struct Range {
        uint32_t offset;
        uint32_t size;
    };
    uint32_t Intern(const uint32_t* elements, uint32_t size);

    std::vector<uint32_t> data_;
    std::vector<Range> ranges_;
    FlatMap interned_;  // hash of a set's elements -> its first set of that hash
    std::vector<uint32_t> sameHash_;  // per set: the next set of the same hash, 0 at the end
    std::vector<uint32_t> scratch_;
    FlatMap unions_;
    FlatMap flagged_;
    FlatMap singles_;
};

}  // namespace cl::usage
