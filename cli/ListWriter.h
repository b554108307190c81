#pragma once
// ListWriter: the lines of `classlingo-cli list`, offset<TAB>byteLength<TAB>status<TAB>caption,
// gathered in one buffer. In the header: a listing of millions of rows is mostly these calls.

#include "Escape.h"
#include "scan/StringList.h"
#include "text/Utf8.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>

namespace clcli {

namespace detail {

// "00" to "99", for writing a number two digits at a time.
inline constexpr char kDigitPairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546"
    "4748495051525354555657585960616263646566676869707172737475767778798081828384858687888990919293"
    "949596979899";

// The decimal text of the offsets of a listing. The offsets of a scan rise by a few bytes a row,
// so all but the last four digits mostly stay what they were: their text is kept, and only the
// last four are written anew, two at a time from a table.
class OffsetText {
public:
    // Writes `value` at p and returns the end; sixteen bytes of room are needed.
    char* Write(char* p, int32_t value)
    {
        if (value < 10000)
            return std::to_chars(p, p + 12, value).ptr;
        const auto v = static_cast<uint32_t>(value);
        const uint32_t high = v / 10000;
        const uint32_t low = v % 10000;
        if (high != high_) {
            high_ = high;
            highSize_ = static_cast<std::size_t>(std::to_chars(highText_, highText_ + 8, high).ptr - highText_);
        }
        std::memcpy(p, highText_, 8);  // whole, and cut to size by the returned end
        p += highSize_;
        std::memcpy(p, kDigitPairs + 2 * (low / 100), 2);
        std::memcpy(p + 2, kDigitPairs + 2 * (low % 100), 2);
        return p + 4;
    }

private:
    uint32_t high_ = UINT32_MAX;  // no offset has this many ten thousands
    char highText_[8] = {};       // at most six digits
    std::size_t highSize_ = 0;
};

// The byte lengths a found string can have, each with its tab, four bytes to copy at once.
struct LengthTexts {
    char text[256][4] = {};
    uint8_t size[256] = {};
    constexpr LengthTexts()
    {
        for (int n = 0; n < 256; ++n) {
            int k = 0;
            if (n >= 100)
                text[n][k++] = static_cast<char>('0' + n / 100);
            if (n >= 10)
                text[n][k++] = static_cast<char>('0' + n / 10 % 10);
            text[n][k++] = static_cast<char>('0' + n % 10);
            text[n][k++] = '\t';
            size[n] = static_cast<uint8_t>(k);
        }
    }
};
inline constexpr LengthTexts kLengthTexts;

}  // namespace detail

// The lines of `list`, gathered in one buffer that is written in large pieces rather than with
// a stream call per field: a listing of millions of rows is mostly this.
class ListWriter {
public:
    explicit ListWriter(std::ostream& out) : out_(&out), buffer_(kBufferSize, '\0') {}
    // Lines kept, for whoever takes Text(), instead of written to a stream.
    ListWriter() = default;

    // offset<TAB>byteLength<TAB>status<TAB>caption[<TAB>role]<LF>, with backslash, tab, CR, LF
    // and zero in the caption written out, so that one row stays one line.
    void Line(int32_t offset, int32_t byteLength, cl::RowStatus status, std::string_view caption,
              const char* role = nullptr)
    {
        const std::string_view roleWord = role == nullptr ? std::string_view() : std::string_view(role);
        char* p = Head(Room(48 + 2 * caption.size() + roleWord.size()), offset, byteLength, status);
        p = cltext::AppendEscaped(p, caption);
        if (role != nullptr) {
            *p++ = '\t';
            p = std::copy(roleWord.begin(), roleWord.end(), p);
        }
        *p++ = '\n';
        used_ = static_cast<std::size_t>(p - buffer_.data());
    }

    // The same line for a caption known to hold no byte that needs writing out, and no role.
    void PlainLine(int32_t offset, int32_t byteLength, cl::RowStatus status, std::string_view caption)
    {
        char* p = Head(Room(48 + caption.size()), offset, byteLength, status);
        cl::bytewords::CopyWords(p, caption.data(), caption.size());
        p += caption.size();
        *p++ = '\n';
        used_ = static_cast<std::size_t>(p - buffer_.data());
    }

    // The line of found string bytes that are not plain ASCII but hold no ASCII byte that needs
    // writing out, when their caption is the bytes themselves (TryWriteCaptionAsUtf8); false,
    // with nothing written, when it is not.
    bool FoundTextLine(int32_t offset, cl::RowStatus status, std::string_view bytes)
    {
        char* p = Head(Room(48 + bytes.size()), offset, static_cast<int32_t>(bytes.size()), status);
        p = cl::TryWriteCaptionAsUtf8(p, bytes);
        if (p == nullptr)
            return false;
        *p++ = '\n';
        used_ = static_cast<std::size_t>(p - buffer_.data());
        return true;
    }

    void Flush()
    {
        if (out_ != nullptr)
            out_->write(buffer_.data(), static_cast<std::streamsize>(used_));
        used_ = 0;
    }

    // The lines not yet written; Clear() forgets them.
    std::string_view Text() const { return {buffer_.data(), used_}; }
    void Clear() { used_ = 0; }

private:
    // Where `most` more bytes fit: after the lines so far, written out first if there is a stream.
    char* Room(std::size_t most)
    {
        if (used_ + most > buffer_.size()) {
            if (out_ != nullptr)
                Flush();
            if (used_ + most > buffer_.size())
                buffer_.resize(std::max(2 * buffer_.size(), used_ + most));
        }
        return buffer_.data() + used_;
    }

    // offset<TAB>byteLength<TAB>status<TAB> at p; returns the end. Room for 32 bytes is needed.
    char* Head(char* p, int32_t offset, int32_t byteLength, cl::RowStatus status)
    {
        p = offsetText_.Write(p, offset);
        *p++ = '\t';
        if (byteLength >= 0 && byteLength < 256) {
            std::memcpy(p, detail::kLengthTexts.text[byteLength], 4);
            p += detail::kLengthTexts.size[byteLength];
        } else {
            p = std::to_chars(p, p + 12, byteLength).ptr;
            *p++ = '\t';
        }
        *p++ = status == cl::RowStatus::Suspicious ? '1' : '2';
        *p++ = '\t';
        return p;
    }

    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;
    std::ostream* out_ = nullptr;
    std::string buffer_;
    std::size_t used_ = 0;
    detail::OffsetText offsetText_;
};

}  // namespace clcli
