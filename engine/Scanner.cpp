#include "Scanner.h"

#include "ClassifierDetail.h"
#include "EngineErrors.h"
#include "Utf8.h"

#include <cstring>
#include <string_view>
#include <utility>

// The scans walk an offset over the image instead of cutting scanned bytes off the front of a
// working copy: the rows, offsets and errors are the same, and the cost is linear.

namespace cl {

int32_t FindZeroByte(const ByteString& bytes) noexcept
{
    const void* hit = std::memchr(bytes.Bytes(), 0, static_cast<size_t>(bytes.ByteLength()));
    return hit == nullptr ? 0 : static_cast<int32_t>(static_cast<const uint8_t*>(hit) - bytes.Bytes()) + 1;
}

namespace {

StringRow MakeRow(std::string_view found, RowStatus status, int64_t offset)
{
    StringRow row;
    row.caption = DecodeUtf8ToAnsi(ByteString(found.data(), static_cast<int32_t>(found.size())));
    row.byteLength = static_cast<int32_t>(found.size());
    row.status = status;
    row.offset = static_cast<int32_t>(offset);
    return row;
}

// Position (1-based, relative to `rest`) of the first `marker` byte in the `remaining` bytes, or 0.
int64_t FindByte(const uint8_t* rest, int64_t remaining, uint8_t marker)
{
    const void* hit = std::memchr(rest, marker, static_cast<size_t>(remaining));
    return hit == nullptr ? 0 : static_cast<const uint8_t*>(hit) - rest + 1;
}

// The string whose length byte stands at 1-based position `lengthAt` of `rest`: the bytes after
// it, as many as it declares or fewer where the data ends. A length byte past the end is a
// range error, as reading it would be.
std::string_view LengthPrefixed(const uint8_t* rest, int64_t remaining, int64_t lengthAt)
{
    if (lengthAt > remaining)
        throw RangeError();
    const int64_t count = std::min<int64_t>(rest[lengthAt - 1], remaining - lengthAt);
    return {reinterpret_cast<const char*>(rest + lengthAt), static_cast<size_t>(count)};
}

}  // namespace

void ScanClassImage(const FileImage& image, const FilterList& filter, StringList& list)
{
    list.Clear();
    const ByteString bytes = image.bytes;
    const uint8_t* data = bytes.Bytes();
    const int64_t total = bytes.ByteLength();
    std::vector<StringRow> suspicious;
    // Suspicious rows go after all plain rows, also when a range error ends the scan early.
    auto appendSuspicious = [&] {
        for (StringRow& row : suspicious)
            list.rows.push_back(std::move(row));
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
                if (detail::IsInFilter(found, filter)) {
                    suspicious.push_back(MakeRow(found, RowStatus::Suspicious, consumed + p));
                } else {
                    list.rows.push_back(MakeRow(found, RowStatus::Plain, consumed + p));
                    ++list.PlainRowCount;
                }
                consumed += p + m + 2;
            } else {
                consumed += p;
            }
        }
    } catch (...) {
        appendSuspicious();
        throw;
    }
    appendSuspicious();
}

void ScanPackImage(const FileImage& image, const FilterList& /*filter*/, StringList& list)
{
    // The word list only tells suspicious from plain, and every pack row is plain, so it does
    // not change which strings are listed.
    list.Clear();
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
            list.rows.push_back(MakeRow(found, RowStatus::Plain, consumed + z - 1));
            ++list.PlainRowCount;
            consumed += z + m + 1;
        } else {
            consumed += z;
        }
    }
}

}  // namespace cl
