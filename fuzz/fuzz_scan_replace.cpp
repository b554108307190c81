// fuzz_scan_replace: scans an image as a class file or a language pack, then replaces every
// listed row with a text derived from the input (some too long, some empty, some exactly at
// the 255-byte limit). Checks that every row keeps pointing at its length byte, that the
// image length changes by exactly the sum of the length differences, and that the other rows'
// bytes are left as they were.
//
// Input layout: byte 0 = flags (bit 0: language pack), byte 1 = length k of the Filter.ini
// text that follows, k bytes of Filter.ini text, then the image.

#include "text/ByteString.h"
#include "text/ByteStringErrors.h"
#include "files/FileImage.h"
#include "scan/FilterList.h"
#include "document/Replace.h"
#include "scan/Scanner.h"
#include "scan/StringList.h"
#include "text/Utf8.h"

#include "FuzzCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Deterministic choices seeded from the input, so that every crash reproduces.
class Choices {
public:
    explicit Choices(uint64_t seed) : state_(seed) {}
    uint64_t Next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int32_t Below(int32_t n) { return n <= 0 ? 0 : static_cast<int32_t>(Next() % static_cast<uint64_t>(n)); }

private:
    uint64_t state_;
};

cl::ByteString Repeat(const cl::ByteString& piece, int32_t times)
{
    cl::ByteString out;
    for (int32_t i = 0; i < times; ++i)
        out.Append(piece);
    return out;
}

// A replacement text (ANSI): mostly a stretch of the input itself, any bytes at all.
cl::ByteString PickText(Choices& choose, const cl::ByteString& pool)
{
    switch (choose.Below(10)) {
        case 0: return {};                                   // nothing to do
        case 1: return Repeat("\xD6\xD0", 85);               // 85 characters of 3 UTF-8 bytes: exactly 255
        case 2: return Repeat("\xD6\xD0", 86);               // 258 UTF-8 bytes: too long
        case 3: return Repeat("x", 256 + choose.Below(40));  // too long
        default: {
            const int32_t length = choose.Below(5) == 0 ? 200 + choose.Below(120) : 1 + choose.Below(40);
            return pool.Slice(1 + choose.Below(pool.ByteLength()), length);
        }
    }
}

struct Expected {
    cl::ByteString bytes;  // the row's string bytes as they should be in the image
};

// Every row points at its length byte: class rows at the tag 01 and zero high byte, pack rows
// at the byte before the zero high byte; the low byte equals the row's byte length, except for
// a row cut short by the end of the image, which ends exactly there.
void CheckLayout(const cl::FileImage& image, const cl::StringList& list, bool pack)
{
    const cl::ByteString& bytes = image.bytes;
    const int64_t length = bytes.ByteLength();
    for (const cl::StringRow& row : list.rows) {
        const int64_t o = row.offset;
        CHECK(o >= (pack ? 0 : 1));
        CHECK(o + 2 <= length);
        if (!pack)
            CHECK(bytes.ByteAt(row.offset) == 0x01);
        CHECK(bytes.ByteAt(row.offset + 1) == 0x00);
        const int32_t declared = bytes.ByteAt(row.offset + 2);
        if (declared == row.byteLength) {
            CHECK(o + 2 + declared <= length);
        } else {
            CHECK(declared > row.byteLength);
            CHECK(o + 2 + row.byteLength == length);
        }
    }
}

void CheckContents(const cl::FileImage& image, const cl::StringList& list, const std::vector<Expected>& expected)
{
    for (size_t i = 0; i < list.rows.size(); ++i) {
        const cl::StringRow& row = list.rows[i];
        CHECK(image.bytes.Slice(row.offset + 3, row.byteLength) == expected[i].bytes);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > (1 << 16))
        return 0;
    const bool pack = (data[0] & 1) != 0;
    const size_t filterLength = std::min<size_t>(data[1], size - 2);
    const cl::FilterList filter = cl::SplitFilterLines(cl::ByteString(data + 2, static_cast<int32_t>(filterLength)));
    const size_t imageStart = 2 + filterLength;

    cl::FileImage image;
    image.path = "fuzz.class";
    image.bytes = cl::ByteString(data + imageStart, static_cast<int32_t>(size - imageStart));
    image.loadedSize = image.bytes.ByteLength();
    const cl::ByteString original = image.bytes;

    cl::StringList list;
    // A pattern cut short by the end: the rows found before it stay and are replaceable.
    const cl::Status scanned = pack ? cl::ScanPackImage(image, filter, list) : cl::ScanClassImage(image, filter, list);
    CHECK(scanned || scanned.error().kind == cl::ErrorKind::RangeError);
    CHECK(image.bytes == original);

    // Plain rows first, suspicious rows after them; a pack lists plain rows only.
    CHECK(list.PlainRowCount >= 0 && static_cast<size_t>(list.PlainRowCount) <= list.rows.size());
    for (size_t i = 0; i < list.rows.size(); ++i) {
        const cl::StringRow& row = list.rows[i];
        const bool plainPart = i < static_cast<size_t>(list.PlainRowCount);
        CHECK(row.status == (plainPart ? cl::RowStatus::Plain : cl::RowStatus::Suspicious));
        CHECK(row.byteLength >= 2);
    }
    if (pack)
        CHECK(static_cast<size_t>(list.PlainRowCount) == list.rows.size());

    CheckLayout(image, list, pack);
    std::vector<Expected> expected;
    for (const cl::StringRow& row : list.rows) {
        expected.push_back({image.bytes.Slice(row.offset + 3, row.byteLength)});
        CHECK(row.Caption() == cl::DecodeUtf8ToAnsi(expected.back().bytes));
    }

    // No selection, or a selection past the end, changes nothing.
    const cl::StringList before = list;
    CHECK(cl::ReplaceSelectedString(image, list, -1, "abc") == cl::ReplaceOutcome::NothingToDo);
    CHECK(cl::ReplaceSelectedString(image, list, static_cast<int>(list.rows.size()), "abc") ==
          cl::ReplaceOutcome::NothingToDo);
    CHECK(image.bytes == original);
    for (size_t r = 0; r < list.rows.size(); ++r)
        CHECK(list.rows[r].offset == before.rows[r].offset && list.rows[r].Caption() == before.rows[r].Caption());

    uint64_t seed = size;
    for (size_t i = 0; i < size; ++i)
        seed = seed * 131 + data[i];
    Choices choose(seed);
    const bool checkEveryStep = list.rows.size() <= 32;

    // Every row in list order (suspicious rows after plain ones, so not in file order), then a
    // second round over some of them, which reads the length bytes the first round wrote.
    int64_t lengthChange = 0;
    const size_t rounds = list.rows.size() + list.rows.size() / 4;
    for (size_t step = 0; step < rounds; ++step) {
        const size_t index =
            step < list.rows.size() ? step : static_cast<size_t>(choose.Below(static_cast<int32_t>(list.rows.size())));
        const cl::ByteString text = PickText(choose, original);
        const int32_t encodedLength = cl::EncodeUtf8FromAnsi(text).ByteLength();
        const int32_t oldLength = list.rows[index].byteLength;
        const cl::ByteString imageBefore = image.bytes;
        const std::vector<cl::StringRow> rowsBefore = list.rows;

        const cl::ReplaceOutcome outcome = cl::ReplaceSelectedString(image, list, static_cast<int>(index), text);
        if (text.IsEmpty()) {
            CHECK(outcome == cl::ReplaceOutcome::NothingToDo);
        } else if (encodedLength >= 256) {
            CHECK(outcome == cl::ReplaceOutcome::TooLong);
        } else {
            CHECK(outcome == cl::ReplaceOutcome::Replaced);
        }
        if (outcome != cl::ReplaceOutcome::Replaced) {
            CHECK(image.bytes == imageBefore);
            for (size_t r = 0; r < list.rows.size(); ++r) {
                CHECK(list.rows[r].offset == rowsBefore[r].offset);
                CHECK(list.rows[r].byteLength == rowsBefore[r].byteLength);
                CHECK(list.rows[r].Caption() == rowsBefore[r].Caption());
            }
            continue;
        }

        const cl::StringRow& row = list.rows[index];
        CHECK(row.offset == rowsBefore[index].offset);
        CHECK(row.byteLength == encodedLength);
        CHECK(row.Caption() == text);
        CHECK(row.status == rowsBefore[index].status);
        CHECK(image.bytes.ByteLength() == imageBefore.ByteLength() + encodedLength - oldLength);
        expected[index].bytes = cl::EncodeUtf8FromAnsi(text);
        lengthChange += encodedLength - oldLength;
        CHECK(image.bytes.Slice(row.offset + 3, row.byteLength) == expected[index].bytes);
        if (checkEveryStep) {
            CheckLayout(image, list, pack);
            CheckContents(image, list, expected);
        }
    }
    CHECK(image.bytes.ByteLength() == original.ByteLength() + lengthChange);
    CheckLayout(image, list, pack);
    CheckContents(image, list, expected);
    return 0;
}
