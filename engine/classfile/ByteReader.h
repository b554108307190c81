#pragma once
// A bounds-checked big-endian reader over a class file's bytes, with 0-based positions. The
// first failure sticks: later reads give zero and change nothing, so a parser can read a
// whole structure and check once. Reads never go past the current limit, which a parser
// narrows to an attribute's declared length while it reads the attribute's content.

#include <cstddef>
#include <cstdint>

namespace cl::classfile {

// Why parsing a class file stopped. The order is not significant.
enum class ParseError : uint8_t {
    None,
    Truncated,           // a count or length runs past the end of the file
    BadMagic,            // not 0xCAFEBABE
    BadConstantTag,      // a constant-pool tag the class-file format does not define
    BadIndex,            // a constant-pool index out of range or at an entry of the wrong tag
    BadReferenceKind,    // a method handle's kind is not 1..9
    BadBootstrapIndex,   // a dynamic constant names a bootstrap method that does not exist
    BadCodeLength,       // Code is empty or longer than 65535 bytes
    BadOpcode,           // an opcode the JVM does not define (or a bad `wide` form)
    InstructionPastEnd,  // an instruction runs past the end of its Code
    BadSwitch,           // tableswitch high below low, or a negative lookupswitch pair count
    AttributeOverrun,    // a known attribute's content reads past its declared length
    AttributeUnderrun,   // a known attribute's content ends before its declared length
    BadStackMapFrame,    // a reserved frame type or verification type
    BadAnnotation,       // an unknown element_value tag or type-annotation target
    NestingTooDeep,      // annotation values nested deeper than the parser follows
    TrailingBytes,       // bytes after the class's attributes
    TooLarge,            // a file of 4 GiB or more
};

// Short English token for logs and the command line: "truncated", "bad-magic", ...
const char* ReasonWord(ParseError reason) noexcept;

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) noexcept : data_(data), limit_(size), size_(size) {}

    uint8_t U1() noexcept
    {
        if (!Need(1))
            return 0;
        return data_[pos_++];
    }
    uint16_t U2() noexcept
    {
        if (!Need(2))
            return 0;
        const auto v = static_cast<uint16_t>((data_[pos_] << 8) | data_[pos_ + 1]);
        pos_ += 2;
        return v;
    }
    uint32_t U4() noexcept
    {
        if (!Need(4))
            return 0;
        const uint32_t v = (uint32_t{data_[pos_]} << 24) | (uint32_t{data_[pos_ + 1]} << 16) |
                           (uint32_t{data_[pos_ + 2]} << 8) | uint32_t{data_[pos_ + 3]};
        pos_ += 4;
        return v;
    }
    void Skip(size_t n) noexcept
    {
        if (Need(n))
            pos_ += n;
    }

    size_t Position() const noexcept { return pos_; }
    size_t Limit() const noexcept { return limit_; }
    size_t Remaining() const noexcept { return limit_ - pos_; }
    const uint8_t* Data() const noexcept { return data_; }
    size_t Size() const noexcept { return size_; }

    // Narrows reads to [Position, end) until Restore; running past it fails with `overrun`.
    // `end` must not exceed the current limit.
    struct Window {
        size_t limit;
        ParseError overrun;
    };
    Window Narrow(size_t end, ParseError overrun) noexcept
    {
        const Window previous{limit_, overrun_};
        limit_ = end;
        overrun_ = overrun;
        return previous;
    }
    void Restore(Window previous) noexcept
    {
        limit_ = previous.limit;
        overrun_ = previous.overrun;
    }
    ParseError OverrunReason() const noexcept { return overrun_; }

    bool Ok() const noexcept { return error_ == ParseError::None; }
    ParseError Error() const noexcept { return error_; }
    size_t ErrorOffset() const noexcept { return errorOffset_; }
    // Records the first failure only; returns false so that callers can `return Fail(...)`.
    bool Fail(ParseError reason, size_t offset) noexcept
    {
        if (error_ == ParseError::None) {
            error_ = reason;
            errorOffset_ = offset;
        }
        return false;
    }

private:
    bool Need(size_t n) noexcept
    {
        if (error_ != ParseError::None)
            return false;
        if (n > limit_ - pos_)
            return Fail(overrun_, pos_);
        return true;
    }

    const uint8_t* data_;
    size_t pos_ = 0;
    size_t limit_;
    size_t size_;
    ParseError overrun_ = ParseError::Truncated;
    ParseError error_ = ParseError::None;
    size_t errorOffset_ = 0;
};

}  // namespace cl::classfile
