#pragma once
// A hash of names and texts for the analysis's own tables: eight bytes a step, for the many
// short names (classes, members, descriptors) looked up once per call site or flow.

#include <cstdint>
#include <cstring>
#include <string_view>

namespace cl::usage {

inline uint64_t HashText(std::string_view text, uint64_t seed = 0) noexcept
{
    constexpr uint64_t kMul = 0xFF51AFD7ED558CCDull;
    uint64_t h = seed ^ (0x9E3779B97F4A7C15ull * (text.size() + 1));
    const char* p = text.data();
    std::size_t n = text.size();
    uint64_t word = 0;
    while (n >= 8) {
        std::memcpy(&word, p, 8);
        h = (h ^ word) * kMul;
        h ^= h >> 32;
        p += 8;
        n -= 8;
    }
    word = 0;
    for (std::size_t i = 0; i < n; ++i)
        word |= uint64_t{static_cast<uint8_t>(p[i])} << (8 * i);
    h = (h ^ word) * kMul;
    h ^= h >> 29;
    return h;
}

// The next key to try when a key's slot holds another text of the same hash.
inline uint64_t NextKey(uint64_t key) noexcept
{
    return key * 0x9E3779B97F4A7C15ull + 1;
}

}  // namespace cl::usage
