#include "text/ByteString.h"

#include "text/ByteStringErrors.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace cl {

namespace {

constexpr int64_t kMaxLength = std::numeric_limits<int32_t>::max();
const uint8_t kZeroByte = 0;
uint8_t kWritableZero = 0;  // Bytes() of the empty value; nobody fills an empty value

int32_t CheckedLength(int64_t length)
{
    // A value longer than a signed 32-bit count cannot be held.
    if (length > kMaxLength)
        throw OutOfMemory();
    return static_cast<int32_t>(length);
}

}  // namespace

// Reference-counted storage: the header is followed by `capacity` bytes and one zero byte.
struct ByteString::Block {
    int32_t refs;
    int32_t capacity;

    uint8_t* Data() noexcept { return reinterpret_cast<uint8_t*>(this + 1); }

    static Block* Allocate(int32_t capacity)
    {
        void* raw = std::malloc(sizeof(Block) + static_cast<size_t>(capacity) + 1);
        if (raw == nullptr)
            throw OutOfMemory();
        return new (raw) Block{1, capacity};
    }
};

ByteString::ByteString(const char* zeroTerminated)
    : ByteString(zeroTerminated,
                 zeroTerminated == nullptr ? 0 : CheckedLength(static_cast<int64_t>(std::strlen(zeroTerminated))))
{
}

ByteString::ByteString(const void* data, int32_t count)
{
    if (count <= 0 || data == nullptr)
        return;
    block_ = Block::Allocate(count);
    std::memcpy(block_->Data(), data, static_cast<size_t>(count));
    block_->Data()[count] = 0;
    length_ = count;
}

ByteString::ByteString(std::string_view bytes)
    : ByteString(bytes.data(), CheckedLength(static_cast<int64_t>(bytes.size())))
{
}

ByteString::ByteString(const ByteString& other) noexcept : block_(other.block_), length_(other.length_)
{
    if (block_ != nullptr)
        ++block_->refs;
}

ByteString::ByteString(ByteString&& other) noexcept : block_(other.block_), length_(other.length_)
{
    other.block_ = nullptr;
    other.length_ = 0;
}

ByteString& ByteString::operator=(const ByteString& other) noexcept
{
    Block* const block = other.block_;
    const int32_t length = other.length_;
    if (block != nullptr)
        ++block->refs;
    Release();
    block_ = block;
    length_ = length;
    return *this;
}

ByteString& ByteString::operator=(ByteString&& other) noexcept
{
    if (this != &other) {
        Release();
        block_ = other.block_;
        length_ = other.length_;
        other.block_ = nullptr;
        other.length_ = 0;
    }
    return *this;
}

ByteString::~ByteString()
{
    Release();
}

void ByteString::Release() noexcept
{
    if (block_ != nullptr && --block_->refs == 0)
        std::free(block_);
    block_ = nullptr;
    length_ = 0;
}

void ByteString::MakeOwn(int32_t capacity, int32_t keep)
{
    if (block_ != nullptr && block_->refs == 1 && capacity <= block_->capacity)
        return;
    Block* fresh = Block::Allocate(capacity);
    const int32_t kept = std::min({length_, keep, capacity});
    if (kept > 0)
        std::memcpy(fresh->Data(), block_->Data(), static_cast<size_t>(kept));
    fresh->Data()[kept] = 0;
    const int32_t length = kept;
    Release();
    block_ = fresh;
    length_ = length;
}

ByteString ByteString::FromInteger(int32_t value)
{
    char digits[16];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    return ByteString(digits, static_cast<int32_t>(result.ptr - digits));
}

uint8_t ByteString::ByteAt(int32_t p) const
{
    if (p < 1 || p > length_)
        throw RangeError();
    return block_->Data()[p - 1];
}

uint8_t& ByteString::ByteAt(int32_t p)
{
    if (p < 1 || p > length_)
        throw RangeError();
    MakeOwn(length_, length_);
    return block_->Data()[p - 1];
}

const uint8_t* ByteString::Bytes() const noexcept
{
    return block_ == nullptr ? &kZeroByte : block_->Data();
}

uint8_t* ByteString::Bytes()
{
    if (block_ == nullptr)
        return &kWritableZero;
    MakeOwn(length_, length_);
    return block_->Data();
}

std::string_view ByteString::View() const noexcept
{
    return {reinterpret_cast<const char*>(Bytes()), static_cast<size_t>(length_)};
}

int32_t ByteString::Locate(const ByteString& needle) const noexcept
{
    if (needle.IsEmpty() || IsEmpty())
        return 0;
    const size_t at = View().find(needle.View());
    return at == std::string_view::npos ? 0 : static_cast<int32_t>(at) + 1;
}

ByteString ByteString::Slice(int32_t p, int32_t c) const
{
    if (length_ < p || c < 1)
        return {};
    if (p < 1)
        p = 1;
    const int32_t count = static_cast<int32_t>(std::min<int64_t>(c, int64_t{length_} - p + 1));
    return ByteString(Bytes() + (p - 1), count);
}

void ByteString::Erase(int32_t p, int32_t c)
{
    if (IsEmpty() || p < 1 || p > length_ || c < 1)
        return;
    c = static_cast<int32_t>(std::min<int64_t>(c, int64_t{length_} - p + 1));
    const int32_t newLength = length_ - c;
    MakeOwn(length_, length_);
    uint8_t* data = block_->Data();
    std::memmove(data + (p - 1), data + (p - 1) + c, static_cast<size_t>(length_ - (p - 1) - c));
    length_ = newLength;
    data[length_] = 0;
}

void ByteString::InsertAt(const ByteString& source, int32_t p)
{
    if (source.IsEmpty())
        return;
    p = std::clamp(p, 1, length_ + 1);
    const ByteString keepAlive = source;  // inserting a value into itself must still see the old bytes
    const int32_t newLength = CheckedLength(int64_t{length_} + source.length_);
    const int32_t capacity = (block_ != nullptr && block_->refs == 1 && newLength <= block_->capacity)
                                 ? block_->capacity
                                 : static_cast<int32_t>(std::min<int64_t>(
                                       kMaxLength, std::max<int64_t>(newLength, int64_t{length_} + length_ / 2)));
    MakeOwn(capacity, length_);
    uint8_t* data = block_->Data();
    std::memmove(data + (p - 1) + source.length_, data + (p - 1), static_cast<size_t>(length_ - (p - 1)));
    std::memcpy(data + (p - 1), keepAlive.Bytes(), static_cast<size_t>(keepAlive.length_));
    length_ = newLength;
    data[length_] = 0;
}

void ByteString::SetByteLength(int32_t n)
{
    if (n <= 0) {
        Release();
        return;
    }
    MakeOwn(n, std::min(n, length_));
    length_ = n;
    block_->Data()[n] = 0;
}

void ByteString::Append(const ByteString& tail)
{
    InsertAt(tail, length_ + 1);
}

bool operator==(const ByteString& a, const ByteString& b) noexcept
{
    return a.length_ == b.length_ &&
           (a.length_ == 0 || std::memcmp(a.Bytes(), b.Bytes(), static_cast<size_t>(a.length_)) == 0);
}

ByteString operator+(const ByteString& a, const ByteString& b)
{
    ByteString result;
    const int32_t length = CheckedLength(int64_t{a.length_} + b.length_);
    if (length == 0)
        return result;
    result.SetByteLength(length);
    uint8_t* data = result.Bytes();
    std::memcpy(data, a.Bytes(), static_cast<size_t>(a.length_));
    std::memcpy(data + a.length_, b.Bytes(), static_cast<size_t>(b.length_));
    return result;
}

ByteString operator+(const char* a, const ByteString& b)
{
    return ByteString(a) + b;
}

}  // namespace cl
