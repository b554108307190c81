#pragma once
// ByteString: the engine's one text and buffer type. A counted run of bytes (zero bytes
// included) with 1-based positions, clamping edit operations and copy-on-write storage,
// always followed in storage by one zero byte.

#include <cstdint>
#include <string>
#include <string_view>

namespace cl {

class ByteString {
public:
    ByteString() noexcept = default;
    // The bytes before the first zero byte; used for literals.
    ByteString(const char* zeroTerminated);  // NOLINT(google-explicit-constructor)
    // Exactly `count` bytes from `data` (zero bytes included).
    ByteString(const void* data, int32_t count);
    explicit ByteString(std::string_view bytes);

    ByteString(const ByteString& other) noexcept;
    ByteString(ByteString&& other) noexcept;
    ByteString& operator=(const ByteString& other) noexcept;
    ByteString& operator=(ByteString&& other) noexcept;
    ~ByteString();

    static ByteString FromInteger(int32_t value);

    int32_t ByteLength() const noexcept { return length_; }
    bool IsEmpty() const noexcept { return length_ == 0; }

    // Range-checked access to the byte at 1-based position p; throws RangeError outside
    // 1..ByteLength. The writable form first gives the value storage of its own.
    uint8_t ByteAt(int32_t p) const;
    uint8_t& ByteAt(int32_t p);

    // Never null; followed by a zero byte. The writable form unshares the storage.
    const uint8_t* Bytes() const noexcept;
    uint8_t* Bytes();

    // 1-based position of the needle's first occurrence, 0 when absent or either is empty.
    int32_t Locate(const ByteString& needle) const noexcept;
    // A copy of up to c bytes from position p (p below 1 is taken as 1, c is not reduced).
    ByteString Slice(int32_t p, int32_t c) const;
    // Removes up to c bytes from p; positions outside 1..ByteLength change nothing.
    void Erase(int32_t p, int32_t c);
    // Inserts source so that its first byte lands at p, clamped to 1..ByteLength+1.
    void InsertAt(const ByteString& source, int32_t p);
    // Truncates or grows (new bytes undefined); n <= 0 empties the value.
    void SetByteLength(int32_t n);
    void Append(const ByteString& tail);

    std::string_view View() const noexcept;
    // True when both values hold the same storage (a copy not written to since).
    bool SharesStorageWith(const ByteString& other) const noexcept
    {
        return block_ != nullptr && block_ == other.block_;
    }
    std::string ToStdString() const { return std::string(View()); }

    friend bool operator==(const ByteString& a, const ByteString& b) noexcept;
    friend ByteString operator+(const ByteString& a, const ByteString& b);
    friend ByteString operator+(const char* a, const ByteString& b);

private:
    struct Block;
    void Release() noexcept;
    // Gives the value unshared storage with room for at least `capacity` bytes,
    // keeping the first min(length_, keep) bytes. Strong guarantee on failure.
    void MakeOwn(int32_t capacity, int32_t keep);

    Block* block_ = nullptr;  // null for the empty value
    int32_t length_ = 0;
};

}  // namespace cl
