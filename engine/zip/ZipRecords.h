#pragma once
// The fixed parts of the zip records this code reads and writes, as signatures, sizes and the
// offsets of their fields, and little-endian access to them. Every reader checks that the
// bytes are there before it calls Le16/Le32/Le64, so these do no checking of their own.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace cl::zip::records {

inline uint16_t Le16(std::string_view b, uint64_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t Le32(std::string_view b, uint64_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t Le64(std::string_view b, uint64_t at)
{
    return static_cast<uint64_t>(Le32(b, at)) | (static_cast<uint64_t>(Le32(b, at + 4)) << 32);
}

inline void Put16(std::string& b, uint64_t at, uint16_t v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

inline void Put32(std::string& b, uint64_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<uint64_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void Put64(std::string& b, uint64_t at, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        b[at + static_cast<uint64_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void Append16(std::string& b, uint16_t v)
{
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>(v >> 8));
}

inline void Append32(std::string& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline void Append64(std::string& b, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// The value a 16- or 32-bit field holds when the real one is in a Zip64 record.
constexpr uint16_t kMax16 = 0xFFFF;
constexpr uint32_t kMax32 = 0xFFFFFFFF;

// General-purpose flag bits.
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDescriptor = 0x0008;  // CRC and sizes follow the data
constexpr uint16_t kFlagUtf8 = 0x0800;        // name and comment are UTF-8

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;

// Local file header: signature, version needed, flags, method, time, date, CRC, compressed
// size, size, name length, extra length; then the name and the extra field.
namespace local {
constexpr uint32_t kSignature = 0x04034b50;
constexpr uint64_t kSize = 30;
constexpr uint64_t kVersion = 4, kFlags = 6, kMethod = 8, kTime = 10, kDate = 12, kCrc = 14, kCompressedSize = 18,
                   kUncompressedSize = 22, kNameLength = 26, kExtraLength = 28;
}  // namespace local

// Central directory record: signature, version made by, version needed, flags, method, time,
// date, CRC, compressed size, size, name, extra and comment lengths, first disk, internal and
// external attributes, local header offset; then name, extra field and comment.
namespace central {
constexpr uint32_t kSignature = 0x02014b50;
constexpr uint64_t kSize = 46;
constexpr uint64_t kVersionMadeBy = 4, kVersionNeeded = 6, kFlags = 8, kMethod = 10, kTime = 12, kDate = 14, kCrc = 16,
                   kCompressedSize = 20, kUncompressedSize = 24, kNameLength = 28, kExtraLength = 30,
                   kCommentLength = 32, kDiskStart = 34, kInternal = 36, kExternal = 38, kLocalOffset = 42;
}  // namespace central

// Data descriptor: an optional signature, then CRC, compressed size and size (8 bytes each for
// a Zip64 entry).
namespace descriptor {
constexpr uint32_t kSignature = 0x08074b50;
}

// End of central directory record: signature, this disk, the directory's disk, entries on
// this disk, entries in all, directory size, directory offset, comment length; then the comment.
namespace end {
constexpr uint32_t kSignature = 0x06054b50;
constexpr uint64_t kSize = 22;
constexpr uint64_t kDisk = 4, kDirectoryDisk = 6, kEntriesHere = 8, kEntries = 10, kDirectorySize = 12,
                   kDirectoryOffset = 16, kCommentLength = 20;
constexpr uint64_t kMaxComment = 0xFFFF;
}  // namespace end

// Zip64 end of central directory locator: signature, the Zip64 record's disk, its offset,
// the number of disks.
namespace locator {
constexpr uint32_t kSignature = 0x07064b50;
constexpr uint64_t kSize = 20;
constexpr uint64_t kDisk = 4, kRecordOffset = 8, kDisks = 16;
}  // namespace locator

// Zip64 end of central directory record: signature, size of the rest, version made by,
// version needed, this disk, the directory's disk, entries on this disk, entries in all,
// directory size, directory offset; then extensible data.
namespace zip64end {
constexpr uint32_t kSignature = 0x06064b50;
constexpr uint64_t kSize = 56;
constexpr uint64_t kRestSize = 4, kDisk = 16, kDirectoryDisk = 20, kEntriesHere = 24, kEntries = 32,
                   kDirectorySize = 40, kDirectoryOffset = 48;
}  // namespace zip64end

// The extra field that holds an entry's Zip64 values.
constexpr uint16_t kZip64ExtraId = 0x0001;

}  // namespace cl::zip::records
