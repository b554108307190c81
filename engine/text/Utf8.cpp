#include "text/Utf8.h"

#include "text/CodePage.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace cl {

namespace {

bool IsAscii(const ByteString& bytes)
{
    const uint8_t* data = bytes.Bytes();
    return std::all_of(data, data + bytes.ByteLength(), [](uint8_t b) { return b < 0x80; });
}

}  // namespace

ByteString EncodeUtf8FromAnsi(const ByteString& ansiText)
{
    if (ansiText.IsEmpty())
        return {};
    // ASCII is the same in the code page, UTF-16 and UTF-8: the text is its own encoding.
    if (IsAscii(ansiText))
        return ansiText;
    const std::u16string units = AnsiToUtf16(ansiText);
    if (units.empty())
        return {};
    std::string out;
    out.reserve(units.size() * 3);
    for (const char16_t u : units) {
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            // Surrogates are written one unit at a time, as class files expect.
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return ByteString(std::string_view(out));
}

namespace {

bool IsAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char b) { return static_cast<uint8_t>(b) < 0x80; });
}

// One sequence of the lenient decoding, at data[i] (a lead byte from 0x80 up): its unit and
// length, or length 0 when it is malformed or cut short. Only bit 0x20 of the lead byte decides
// the length; there is no other lead-byte test.
struct Sequence {
    char16_t unit = 0;
    size_t length = 0;
};

Sequence DecodeSequence(const uint8_t* data, size_t n, size_t i)
{
    const uint8_t b = data[i];
    const size_t length = (b & 0x20) ? 3 : 2;
    if (n - i < length)
        return {};
    for (size_t k = 1; k < length; ++k) {
        if ((data[i + k] & 0xC0) != 0x80)
            return {};
    }
    const uint8_t c1 = data[i + 1];
    if (length == 2)
        return {static_cast<char16_t>(((b & 0x1F) << 6) | (c1 & 0x3F)), 2};
    const uint8_t c2 = data[i + 2];
    return {static_cast<char16_t>(((b & 0x0F) << 12) | ((c1 & 0x3F) << 6) | (c2 & 0x3F)), 3};
}

// The lenient decoding into `units` (room for one unit per byte); false for a malformed or cut
// sequence.
bool DecodeUnits(std::string_view utf8, char16_t* units, size_t& count)
{
    const auto* data = reinterpret_cast<const uint8_t*>(utf8.data());
    const size_t n = utf8.size();
    count = 0;
    size_t i = 0;
    while (i < n) {
        if (data[i] < 0x80) {
            units[count++] = data[i++];
            continue;
        }
        const Sequence sequence = DecodeSequence(data, n, i);
        if (sequence.length == 0)
            return false;
        units[count++] = sequence.unit;
        i += sequence.length;
    }
    return true;
}

// Units of a string found in an image: one length byte holds at most 255, so they fit on the
// stack; longer texts (DecodeUtf8ToAnsi is also used on whole texts) take the heap.
class UnitBuffer {
public:
    explicit UnitBuffer(size_t size)
    {
        if (size > sizeof(local_) / sizeof(local_[0])) {
            heap_.resize(size);
            data_ = heap_.data();
        }
    }
    char16_t* Data() { return data_; }

private:
    char16_t local_[256];
    std::u16string heap_;
    char16_t* data_ = local_;
};

}  // namespace

ByteString DecodeUtf8ToAnsi(const ByteString& utf8)
{
    if (IsAscii(utf8))
        return utf8;
    return DecodeUtf8ToAnsi(utf8.View());
}

ByteString DecodeUtf8ToAnsi(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    if (IsAscii(utf8))
        return ByteString(utf8);
    UnitBuffer units(utf8.size());
    size_t count = 0;
    if (!DecodeUnits(utf8, units.Data(), count))
        return {};
    return Utf16ToAnsi(std::u16string_view(units.Data(), count));
}

char* TryWriteCaptionAsUtf8(char* p, std::string_view utf8)
{
    const auto* data = reinterpret_cast<const uint8_t*>(utf8.data());
    const size_t n = utf8.size();
    char* const start = p;
    size_t i = 0;
    while (i < n) {
        if (data[i] < 0x80) {
            *p++ = static_cast<char>(data[i++]);
            continue;
        }
        const Sequence sequence = DecodeSequence(data, n, i);
        if (sequence.length == 0)
            return start;  // the caption of a malformed text is empty
        // Only the shortest form of a character is written back the same; a longer one (C0 80
        // for zero, say) becomes other bytes.
        const char16_t u = sequence.unit;
        const bool shortest = sequence.length == 2 ? u >= 0x80 && data[i] == (0xC0 | (u >> 6))
                                                   : u >= 0x800 && data[i] == (0xE0 | (u >> 12));
        if (!shortest || !ComesBackAsItself(u))
            return nullptr;
        std::memcpy(p, data + i, sequence.length);
        p += sequence.length;
        i += sequence.length;
    }
    return p;
}

void AppendCaptionAsUtf8(std::string_view utf8, std::string& out)
{
    if (IsAscii(utf8)) {  // its own caption, in the code page and in UTF-8
        out += utf8;
        return;
    }
    const size_t start = out.size();
    out.resize(start + utf8.size());
    if (char* end = TryWriteCaptionAsUtf8(out.data() + start, utf8)) {
        out.resize(static_cast<size_t>(end - out.data()));
        return;
    }
    out.resize(start);
    UnitBuffer units(utf8.size());
    size_t count = 0;
    if (DecodeUnits(utf8, units.Data(), count))
        AppendUtf8ThroughAnsi(std::u16string_view(units.Data(), count), out);
}

}  // namespace cl
