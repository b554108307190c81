#pragma once
// The loops of the two scans, as templates over what receives the rows: Scanner.cpp gives them
// a list or a RowSink, and a caller that handles millions of rows can give them its own code,
// called in the loop, without a call through a pointer per row.

#include "ClassifierDetail.h"
#include "EngineErrors.h"
#include "FileImage.h"
#include "FilterList.h"
#include "StringList.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace cl::detail {

// Position (1-based, relative to `rest`) of the first `marker` byte in the `remaining` bytes, or 0.
inline int64_t FindByte(const uint8_t* rest, int64_t remaining, uint8_t marker)
{
    // In a packed image the next marker is a few bytes on: looking at those first is cheaper
    // than a library call per string.
    const int64_t near = std::min<int64_t>(remaining, 8);
    for (int64_t i = 0; i < near; ++i) {
        if (rest[i] == marker)
            return i + 1;
    }
    if (near == remaining)
        return 0;
    rest += near;
    remaining -= near;
    const void* hit = std::memchr(rest, marker, static_cast<size_t>(remaining));
    return hit == nullptr ? 0 : static_cast<const uint8_t*>(hit) - rest + 1 + near;
}

// The string whose length byte stands at 1-based position `lengthAt` of `rest`: the bytes after
// it, as many as it declares or fewer where the data ends. A length byte past the end is a
// range error, as reading it would be.
inline std::string_view LengthPrefixed(const uint8_t* rest, int64_t remaining, int64_t lengthAt)
{
    if (lengthAt > remaining)
        throw RangeError();
    const int64_t count = std::min<int64_t>(rest[lengthAt - 1], remaining - lengthAt);
    return {reinterpret_cast<const char*>(rest + lengthAt), static_cast<size_t>(count)};
}

inline const char* CharsAt(const uint8_t* data, int64_t index)
{
    return reinterpret_cast<const char*>(data + index);
}

// The class scan. `emit(offset, bytes, status)` receives the rows in list order: plain rows as
// they are found, suspicious ones after the last of them.
template <class Emit>
void ClassScan(const FileImage& image, const FilterList& filter, Emit&& emit)
{
    const ByteString bytes = image.bytes;
    const uint8_t* data = bytes.Bytes();
    const int64_t total = bytes.ByteLength();
    // Suspicious rows wait as offset and length; they go after all plain rows, also when a
    // range error ends the scan early.
    std::vector<std::pair<int32_t, int32_t>> suspicious;
    // The lengths of the words in the list: a string of any other length is not in it.
    std::bitset<256> wordLengths;
    // The words as plain views, looked at from the cheapest difference on: the length, then the
    // first byte, then the rest.
    std::vector<std::string_view> words;
    for (const ByteString& word : filter) {
        if (word.ByteLength() < 256) {
            wordLengths.set(static_cast<size_t>(word.ByteLength()));
            if (word.ByteLength() > 0)
                words.push_back(word.View());
        }
    }
    auto inFilter = [&](std::string_view s) {
        for (const std::string_view word : words) {
            if (word.size() == s.size() && word[0] == s[0] && word == s)
                return true;
        }
        return false;
    };
    auto emitSuspicious = [&] {
        for (const auto& [offset, length] : suspicious)
            emit(offset, std::string_view(CharsAt(data, int64_t{offset} + 2), static_cast<size_t>(length)),
                 RowStatus::Suspicious);
        suspicious.clear();
    };
    try {
        int64_t consumed = 0;
        for (int32_t pass = 0; pass < image.loadedSize; ++pass) {
            const uint8_t* rest = data + consumed;
            const int64_t remaining = total - consumed;
            const int64_t p = FindByte(rest, remaining, 0x01);
            if (p == 0)
                break;  // every later pass would find nothing either
            if (p + 1 > remaining)
                throw RangeError();
            if (rest[p] != 0x00) {  // high length byte not zero
                consumed += p;
                continue;
            }
            const std::string_view found = LengthPrefixed(rest, remaining, p + 2);
            const auto m = static_cast<int64_t>(found.size());
            if (m > 0 && detail::IsListable(found)) {
                if (wordLengths[static_cast<size_t>(m)] && inFilter(found))
                    suspicious.emplace_back(static_cast<int32_t>(consumed + p), static_cast<int32_t>(m));
                else
                    emit(static_cast<int32_t>(consumed + p), found, RowStatus::Plain);
                consumed += p + m + 2;
            } else {
                consumed += p;
            }
        }
    } catch (...) {
        emitSuspicious();
        throw;
    }
    emitSuspicious();
}

// The pack scan, every row plain. The word list only tells suspicious from plain, so it does
// not change which strings are listed.
template <class Emit>
void PackScan(const FileImage& image, Emit&& emit)
{
    const ByteString bytes = image.bytes;
    const uint8_t* data = bytes.Bytes();
    const int64_t total = bytes.ByteLength();
    int64_t consumed = 0;
    for (int32_t pass = 0; pass < image.loadedSize; ++pass) {
        const uint8_t* rest = data + consumed;
        const int64_t remaining = total - consumed;
        const int64_t z = FindByte(rest, remaining, 0x00);
        if (z == 0)
            break;
        const std::string_view found = LengthPrefixed(rest, remaining, z + 1);
        const auto m = static_cast<int64_t>(found.size());
        if (m > 0 && detail::IsListable(found)) {
            emit(static_cast<int32_t>(consumed + z - 1), found, RowStatus::Plain);
            consumed += z + m + 1;
        } else {
            consumed += z;
        }
    }
}

}  // namespace cl::detail
