#pragma once
// The loops of the two scans, as templates over what receives the rows: Scanner.cpp gives them
// a list, PieceScan.cpp the pieces of a file read a piece at a time, each with its own code
// called in the loop instead of through a pointer per row.
//
// Each loop walks a window of bytes that either runs to the end of the image or stops short of
// it. In a window that stops short, a pattern that would need bytes beyond it is left for the
// next window (which starts with it): the rows, offsets and errors are those of one walk over
// the whole image, wherever the windows are cut.

#include "scan/ClassifierDetail.h"
#include "files/FileImage.h"
#include "scan/FilterList.h"
#include "scan/StringList.h"

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

// What a window's scan gives back when a pattern is cut short by the end of the image: reading
// its length byte (or, in a class file, its high length byte) would be a range error. The rows
// found before it stand.
inline constexpr int64_t kRangeErrorStop = -1;

// The string whose length byte stands at 1-based position `lengthAt` (at most `remaining`) of
// `rest`: the bytes after it, as many as it declares or fewer where the data ends.
inline std::string_view LengthPrefixed(const uint8_t* rest, int64_t remaining, int64_t lengthAt)
{
    const int64_t count = std::min<int64_t>(rest[lengthAt - 1], remaining - lengthAt);
    return {reinterpret_cast<const char*>(rest + lengthAt), static_cast<size_t>(count)};
}

// Whether the pattern whose length byte stands at 1-based position `lengthAt` of `rest` reaches
// past the `remaining` bytes at hand, so that a window stopping there cannot decide it yet.
inline bool ReachesPast(const uint8_t* rest, int64_t remaining, int64_t lengthAt)
{
    return lengthAt > remaining || lengthAt + rest[lengthAt - 1] > remaining;
}

// The word list as the class scan asks it, cheapest difference first: the length, then the
// first byte, then the rest. A string of a length no word has is not in it.
class SuspiciousWords {
public:
    explicit SuspiciousWords(const FilterList& filter)
    {
        for (const ByteString& word : filter) {
            if (word.ByteLength() < 256) {
                lengths_.set(static_cast<size_t>(word.ByteLength()));
                if (word.ByteLength() > 0)
                    words_.push_back(word.View());
            }
        }
    }
    // `s` is 1 to 255 bytes long.
    bool Contains(std::string_view s) const
    {
        if (!lengths_[s.size()])
            return false;
        for (const std::string_view word : words_) {
            if (word.size() == s.size() && word[0] == s[0] && word == s)
                return true;
        }
        return false;
    }

private:
    std::bitset<256> lengths_;
    std::vector<std::string_view> words_;  // views of the filter's words, which outlive this
};

// Where a window of a scan stands: its bytes, how many there are, and whether they run to the
// end of the image. The scan gives back how many it is done with; a window that stops short is
// followed by one starting with the rest.
struct ScanWindow {
    const uint8_t* data = nullptr;
    int64_t size = 0;
    bool atEnd = true;
};

// The scan over one window. `found(start, length, status)` receives each row as found: its
// string's first byte at index `start` of the window, plain or suspicious. `passesLeft` bounds
// the passes of the whole scan, one per pattern looked at. Gives back how many bytes it is done
// with, or kRangeErrorStop.
//
// The two patterns: in a class file the tag 01, a zero high length byte and the length byte
// (with words from the list marked suspicious); in a language pack a zero byte and the length
// byte (every row plain).
template <bool kClass, class Found>
int64_t ScanWindowFor(const ScanWindow& window, const SuspiciousWords& words, int64_t& passesLeft, Found&& found)
{
    constexpr uint8_t kMarker = kClass ? 0x01 : 0x00;
    constexpr int64_t kLengthAfter = kClass ? 2 : 1;  // from the marker to the length byte
    const uint8_t* const data = window.data;
    int64_t consumed = 0;
    for (; passesLeft > 0; --passesLeft) {
        const uint8_t* rest = data + consumed;
        const int64_t remaining = window.size - consumed;
        const int64_t p = FindByte(rest, remaining, kMarker);
        if (p == 0) {
            if (window.atEnd) {
                passesLeft = 0;  // every later pass would find nothing either
                break;
            }
            return window.size;
        }
        const int64_t lengthAt = p + kLengthAfter;
        if (!window.atEnd && ReachesPast(rest, remaining, lengthAt))
            return consumed + p - 1;  // the next window starts at the marker
        if constexpr (kClass) {
            if (p + 1 > remaining)
                return kRangeErrorStop;
            if (rest[p] != 0x00) {  // high length byte not zero
                consumed += p;
                continue;
            }
        }
        if (lengthAt > remaining)
            return kRangeErrorStop;
        const std::string_view s = LengthPrefixed(rest, remaining, lengthAt);
        const auto m = static_cast<int64_t>(s.size());
        if (m > 0 && IsListable(s)) {
            found(consumed + lengthAt, m, kClass && words.Contains(s) ? RowStatus::Suspicious : RowStatus::Plain);
            consumed += lengthAt + m;
        } else {
            consumed += p;
        }
    }
    return consumed;
}

// A row's offset (StringRow::offset) from the index of its string's first byte in the image:
// the string starts at offset + 3, 1-based, for both kinds of pattern.
inline int32_t OffsetOfString(int64_t start)
{
    return static_cast<int32_t>(start - 2);
}

inline const char* CharsAt(const uint8_t* data, int64_t index)
{
    return reinterpret_cast<const char*>(data + index);
}

// The class scan of a whole image. `emit(offset, bytes, status)` receives the rows in list
// order: plain rows as they are found, suspicious ones after the last of them (also when a
// range error ends the scan early). False when a range error ended it.
template <class Emit>
bool ClassScan(const FileImage& image, const FilterList& filter, Emit&& emit)
{
    const ByteString bytes = image.bytes;
    const uint8_t* data = bytes.Bytes();
    const SuspiciousWords words(filter);
    // Suspicious rows wait as where their string starts and its length.
    std::vector<std::pair<int64_t, int64_t>> suspicious;
    auto emitSuspicious = [&] {
        for (const auto& [start, length] : suspicious)
            emit(OffsetOfString(start), std::string_view(CharsAt(data, start), static_cast<size_t>(length)),
                 RowStatus::Suspicious);
        suspicious.clear();
    };
    int64_t passesLeft = image.loadedSize;
    const int64_t consumed = ScanWindowFor<true>({data, bytes.ByteLength(), true}, words, passesLeft,
                                                 [&](int64_t start, int64_t length, RowStatus status) {
                                                     if (status == RowStatus::Suspicious)
                                                         suspicious.emplace_back(start, length);
                                                     else
                                                         emit(OffsetOfString(start),
                                                              std::string_view(CharsAt(data, start),
                                                                               static_cast<size_t>(length)),
                                                              status);
                                                 });
    emitSuspicious();
    return consumed != kRangeErrorStop;
}

// The pack scan of a whole image, every row plain. The word list only tells suspicious from
// plain, so it does not change which strings are listed. False when a range error ended it.
template <class Emit>
bool PackScan(const FileImage& image, Emit&& emit)
{
    const ByteString bytes = image.bytes;
    const uint8_t* data = bytes.Bytes();
    int64_t passesLeft = image.loadedSize;
    return kRangeErrorStop != ScanWindowFor<false>({data, bytes.ByteLength(), true}, SuspiciousWords({}), passesLeft, [&](int64_t start, int64_t length, RowStatus status) {
        emit(OffsetOfString(start), std::string_view(CharsAt(data, start), static_cast<size_t>(length)), status);
    });
}

}  // namespace cl::detail
