#pragma once
// Reading an entry's contents out of its stored bytes and deflating new contents, with
// libdeflate (several times faster than zlib for whole buffers). Each thread makes its own
// Inflater and Deflater once and uses them for many entries.
//
// Reading never inflates past a limit: an entry whose records state a larger size is not
// inflated at all, and one whose data inflates past what its records say is stopped there,
// so a small archive with lying headers cannot make the reader take gigabytes. Nor is the
// stated size taken on trust: deflate makes at most 1032 bytes of each byte it is given, so a
// size the stored bytes could never make is refused before any buffer is made for it, and a
// buffer that held a failed entry is given back at once, not kept for the next one.

#include "zip/ZipFault.h"
#include "zip/ZipLayout.h"

#include <cstdint>
#include <string>
#include <string_view>

struct libdeflate_compressor;
struct libdeflate_decompressor;

namespace cl::zip {

uint32_t Crc32(std::string_view data);

// The most a deflate stream can make of each of its bytes: a match of 258 bytes takes at least
// two bits (a one-bit length code and a one-bit distance code).
constexpr uint64_t kMaxDeflateRatio = 1032;

// Whether `compressed` bytes of deflate data could make `size` bytes at all.
constexpr bool DeflateCanMake(uint64_t compressed, uint64_t size)
{
    return compressed >= size / kMaxDeflateRatio;
}

class Inflater {
public:
    Inflater();
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Raw deflate data that must come out as exactly `size` bytes with `crc`, `size` being at
    // most the caller's limit. When the data holds more than `size` bytes the inflation stops
    // there and SizeMismatch comes back with `overflowed` set: PassesLimit then tells whether
    // the entry is merely mislabelled or too large. A `size` the data could not make is
    // SizeMismatch without inflating. On any fault `out` is empty and holds no memory.
    ZipFault Inflate(std::string_view raw, uint64_t size, uint32_t crc, std::string& out, bool& overflowed);
    // True when the data inflates to more than `limit` bytes (or the inflater could not be
    // made). Uses a scratch buffer of `limit` + 1 bytes for as long as it runs; data too short
    // to make that many bytes is answered without one.
    bool PassesLimit(std::string_view raw, uint64_t limit);

private:
    libdeflate_decompressor* d_;
};

class Deflater {
public:
    Deflater();
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Raw deflate data for `data`.
    void Deflate(std::string_view data, std::string& out);

private:
    libdeflate_compressor* c_;
};

// The contents of entry `entry` of the archive `archive`, checked against its stated size and
// CRC. Faults: Encrypted, UnsupportedMethod, TooLarge (stated size past `limit`), BadData,
// SizeMismatch, CrcMismatch. `overflowed` as for Inflater::Inflate; on any fault `out` is
// empty and holds no memory.
ZipFault ReadEntryContents(std::string_view archive, const EntryLayout& entry, uint64_t limit, Inflater& inflater,
                           std::string& out, bool& overflowed);

}  // namespace cl::zip
