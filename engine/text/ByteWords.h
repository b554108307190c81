#pragma once
// Questions about short byte runs answered eight bytes at a time: "is any byte below n", "is
// any byte equal to c". The found strings are short (a length byte holds at most 255), so
// a library call per string costs more than the work; these read whole words instead, never
// past the run's end: the last word overlaps the one before, or repeats bytes of a short run,
// which changes no answer to an "any" question.

#include <cstddef>
#include <cstdint>
#include <cstring>

// For the few functions called once per string in loops over millions of strings, where a
// call (and the spilling of the caller's state around it) costs more than the function.
#if defined(__GNUC__)
#define CL_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define CL_ALWAYS_INLINE inline
#endif

namespace cl::bytewords {

inline constexpr uint64_t kOnes = 0x0101010101010101;
inline constexpr uint64_t kHigh = kOnes * 0x80;

// Nonzero when some byte of `x` is below `n` (n at most 0x80). A lane can be marked by mistake
// only through a borrow from a lower lane that is below `n` itself, so "any" is exact.
constexpr uint64_t BytesBelow(uint64_t x, uint8_t n)
{
    return (x - kOnes * n) & ~x & kHigh;
}

// Nonzero when some byte of `x` equals `c`.
constexpr uint64_t BytesEqual(uint64_t x, uint8_t c)
{
    return BytesBelow(x ^ (kOnes * c), 1);
}

// Calls f(word) for words that together hold every byte of p[0, n) and no other byte.
template <class F>
CL_ALWAYS_INLINE void ForEachWord(const char* p, size_t n, F&& f)
{
    if (n - 4 <= 12) {
        // 4 to 16 bytes, the length of most strings, in two words without a branch on the
        // length: four four-byte pieces at 0, a third, two thirds and the end, no gap between.
        uint32_t a, b, c, d;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + (n - 4) / 3, 4);
        std::memcpy(&c, p + (n - 4) * 2 / 3, 4);
        std::memcpy(&d, p + n - 4, 4);
        f(a | (uint64_t{b} << 32));
        f(c | (uint64_t{d} << 32));
        return;
    }
    if (n >= 8) {
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t x;
            std::memcpy(&x, p + i, 8);
            f(x);
        }
        if (i < n) {
            uint64_t x;
            std::memcpy(&x, p + n - 8, 8);
            f(x);
        }
    } else if (n >= 4) {
        uint32_t lo, hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + n - 4, 4);
        f(lo | (uint64_t{hi} << 32));
    } else if (n > 0) {
        const uint64_t first = static_cast<uint8_t>(p[0]);
        uint64_t x = first * kOnes;
        x = (x & ~uint64_t{0xFFFF00}) | (uint64_t{static_cast<uint8_t>(p[n / 2])} << 8) |
            (uint64_t{static_cast<uint8_t>(p[n - 1])} << 16);
        f(x);
    }
}

// Copies n bytes from `from` to `to` (not overlapping) in whole words where it can.
inline void CopyWords(char* to, const char* from, size_t n)
{
    if (n >= 8) {
        size_t i = 0;
        for (; i + 8 <= n; i += 8)
            std::memcpy(to + i, from + i, 8);
        if (i < n)
            std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else {
        for (size_t i = 0; i < n; ++i)
            to[i] = from[i];
    }
}

}  // namespace cl::bytewords
