#pragma once
// Zip archives written byte by byte, for the shapes the usual tools make only now and then or
// never: Zip64 records, data descriptors with and without their signature, a prefix under
// either offset convention, entry and archive comments, bytes between entries and after the
// end record, and records that lie about the data.

#include <libdeflate.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cltest::handzip {

enum class Descriptor { None, Signed, Unsigned };

struct Entry {
    std::string name;
    std::string contents;
    bool deflate = true;
    bool utf8 = false;
    Descriptor descriptor = Descriptor::None;
    bool zip64 = false;     // sizes and offset in Zip64 extra fields; an 8-byte descriptor
    std::string extra;      // raw extra-field bytes in both records, after any Zip64 field
    std::string comment;    // the entry's comment
    std::optional<uint16_t> method;      // the stated method, when not the one used
    bool encrypted = false;              // flag bit 0 (the data itself is not encrypted)
    std::optional<uint64_t> statedSize;  // a size both records state instead of the real one
    std::optional<uint32_t> statedCrc;
    std::optional<uint64_t> statedCompressedSize;
    std::string data;       // when not empty: the stored bytes themselves, instead of `contents` deflated
    std::string gapAfter;   // bytes between this entry and the next record
    uint16_t time = 0x7A3C;
    uint16_t date = 0x5A21;
};

struct Options {
    std::string prefix;
    bool offsetsFromFileStart = false;  // as `zip -A` leaves them; otherwise from the zip's start
    std::string comment;
    bool zip64End = false;  // a Zip64 end record and locator, with the end record's fields at their maximum
    std::string trailing;   // after the end record's comment
};

inline void Put(std::string& b, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Deflated at level 6: another level than the engine uses, so that nothing depends on the two
// deflating alike.
inline std::string Deflate(const std::string& data)
{
    libdeflate_compressor* c = libdeflate_alloc_compressor(6);
    std::string out(libdeflate_deflate_compress_bound(c, data.size()), '\0');
    out.resize(libdeflate_deflate_compress(c, data.data(), data.size(), out.data(), out.size()));
    libdeflate_free_compressor(c);
    return out;
}

inline uint32_t Crc(const std::string& data)
{
    return libdeflate_crc32(0, data.data(), data.size());
}

inline std::string Build(const std::vector<Entry>& entries, const Options& options = {})
{
    std::string out = options.prefix;
    const uint64_t base = options.offsetsFromFileStart ? 0 : options.prefix.size();
    std::string directory;
    for (const Entry& e : entries) {
        const std::string stored = !e.data.empty() ? e.data : e.deflate ? Deflate(e.contents) : e.contents;
        const uint16_t method = e.method ? *e.method : e.deflate ? 8 : 0;
        const uint32_t crc = e.statedCrc ? *e.statedCrc : Crc(e.contents);
        const uint64_t size = e.statedSize ? *e.statedSize : e.contents.size();
        const uint64_t compressed = e.statedCompressedSize ? *e.statedCompressedSize : stored.size();
        const bool streamed = e.descriptor != Descriptor::None;
        const uint16_t flags =
            static_cast<uint16_t>((e.utf8 ? 0x0800 : 0) | (streamed ? 0x0008 : 0) | (e.encrypted ? 0x0001 : 0));
        const uint16_t version = e.zip64 ? 45 : 20;
        const uint64_t offset = out.size() - base;

        std::string localExtra;
        if (e.zip64) {
            Put(localExtra, 0x0001, 2);
            Put(localExtra, 16, 2);
            Put(localExtra, streamed ? 0 : size, 8);
            Put(localExtra, streamed ? 0 : compressed, 8);
        }
        localExtra += e.extra;
        Put(out, 0x04034b50, 4);
        Put(out, version, 2);
        Put(out, flags, 2);
        Put(out, method, 2);
        Put(out, e.time, 2);
        Put(out, e.date, 2);
        Put(out, streamed ? 0 : crc, 4);
        Put(out, e.zip64 ? 0xFFFFFFFF : streamed ? 0 : compressed, 4);
        Put(out, e.zip64 ? 0xFFFFFFFF : streamed ? 0 : size, 4);
        Put(out, e.name.size(), 2);
        Put(out, localExtra.size(), 2);
        out += e.name;
        out += localExtra;
        out += stored;
        if (streamed) {
            if (e.descriptor == Descriptor::Signed)
                Put(out, 0x08074b50, 4);
            Put(out, crc, 4);
            Put(out, compressed, e.zip64 ? 8 : 4);
            Put(out, size, e.zip64 ? 8 : 4);
        }
        out += e.gapAfter;

        std::string centralExtra;
        if (e.zip64) {
            Put(centralExtra, 0x0001, 2);
            Put(centralExtra, 24, 2);
            Put(centralExtra, size, 8);
            Put(centralExtra, compressed, 8);
            Put(centralExtra, offset, 8);
        }
        centralExtra += e.extra;
        Put(directory, 0x02014b50, 4);
        Put(directory, 0x031E, 2);  // made on Unix by version 3.0
        Put(directory, version, 2);
        Put(directory, flags, 2);
        Put(directory, method, 2);
        Put(directory, e.time, 2);
        Put(directory, e.date, 2);
        Put(directory, crc, 4);
        Put(directory, e.zip64 ? 0xFFFFFFFF : compressed, 4);
        Put(directory, e.zip64 ? 0xFFFFFFFF : size, 4);
        Put(directory, e.name.size(), 2);
        Put(directory, centralExtra.size(), 2);
        Put(directory, e.comment.size(), 2);
        Put(directory, 0, 2);
        Put(directory, 0, 2);
        Put(directory, 0x81A40000, 4);  // a regular file, rw-r--r--
        Put(directory, e.zip64 ? 0xFFFFFFFF : offset, 4);
        directory += e.name;
        directory += centralExtra;
        directory += e.comment;
    }
    const uint64_t directoryOffset = out.size() - base;
    out += directory;
    if (options.zip64End) {
        const uint64_t recordOffset = out.size() - base;
        Put(out, 0x06064b50, 4);
        Put(out, 44, 8);
        Put(out, 45, 2);
        Put(out, 45, 2);
        Put(out, 0, 4);
        Put(out, 0, 4);
        Put(out, entries.size(), 8);
        Put(out, entries.size(), 8);
        Put(out, directory.size(), 8);
        Put(out, directoryOffset, 8);
        Put(out, 0x07064b50, 4);
        Put(out, 0, 4);
        Put(out, recordOffset, 8);
        Put(out, 1, 4);
    }
    Put(out, 0x06054b50, 4);
    Put(out, 0, 2);
    Put(out, 0, 2);
    Put(out, options.zip64End ? 0xFFFF : entries.size(), 2);
    Put(out, options.zip64End ? 0xFFFF : entries.size(), 2);
    Put(out, options.zip64End ? 0xFFFFFFFF : directory.size(), 4);
    Put(out, options.zip64End ? 0xFFFFFFFF : directoryOffset, 4);
    Put(out, options.comment.size(), 2);
    out += options.comment;
    out += options.trailing;
    return out;
}

}  // namespace cltest::handzip
