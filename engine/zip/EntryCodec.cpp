#include "zip/EntryCodec.h"

#include "zip/ZipRecords.h"

#include <libdeflate.h>

#include <memory>
#include <new>

namespace cl::zip {

namespace {

// New and replaced entries are deflated at libdeflate's fastest level: a translated jar is
// rebuilt every time the translation changes, and level 1 writes it several times faster than
// zlib's default, in about as many bytes. The level is fixed, so the output stays the same
// bytes for the same input.
constexpr int kLevel = 1;

// Empties `out` and gives its memory back: a failed entry's buffer (tens of MiB when its
// records said so) must not stay with the thread that goes on to the next entry.
void Release(std::string& out)
{
    std::string().swap(out);
}

}  // namespace

uint32_t Crc32(std::string_view data)
{
    return libdeflate_crc32(0, data.data(), data.size());
}

Inflater::Inflater() : d_(libdeflate_alloc_decompressor()) {}

Inflater::~Inflater()
{
    if (d_)
        libdeflate_free_decompressor(d_);
}

ZipFault Inflater::Inflate(std::string_view raw, uint64_t size, uint32_t crc, std::string& out, bool& overflowed)
{
    overflowed = false;
    Release(out);
    if (!d_)
        throw std::bad_alloc();
    if (!DeflateCanMake(raw.size(), size))
        return ZipFault::SizeMismatch;
    out.resize(static_cast<std::size_t>(size));
    std::size_t produced = 0;
    const libdeflate_result result =
        libdeflate_deflate_decompress(d_, raw.data(), raw.size(), out.data(), out.size(), &produced);
    if (result == LIBDEFLATE_INSUFFICIENT_SPACE) {
        overflowed = true;
        Release(out);
        return ZipFault::SizeMismatch;
    }
    if (result != LIBDEFLATE_SUCCESS) {
        Release(out);
        return ZipFault::BadData;
    }
    if (produced != size) {
        Release(out);
        return ZipFault::SizeMismatch;
    }
    if (Crc32(out) != crc) {
        Release(out);
        return ZipFault::CrcMismatch;
    }
    return ZipFault::None;
}

bool Inflater::PassesLimit(std::string_view raw, uint64_t limit)
{
    if (!d_)
        throw std::bad_alloc();
    if (!DeflateCanMake(raw.size(), limit + 1))
        return false;
    // Left uninitialised: only the pages the inflation reaches are ever touched.
    const std::unique_ptr<char[]> scratch(new char[static_cast<std::size_t>(limit) + 1]);
    std::size_t produced = 0;
    return libdeflate_deflate_decompress(d_, raw.data(), raw.size(), scratch.get(), static_cast<std::size_t>(limit) + 1,
                                         &produced) == LIBDEFLATE_INSUFFICIENT_SPACE;
}

Deflater::Deflater() : c_(libdeflate_alloc_compressor(kLevel)) {}

Deflater::~Deflater()
{
    if (c_)
        libdeflate_free_compressor(c_);
}

void Deflater::Deflate(std::string_view data, std::string& out)
{
    if (!c_)
        throw std::bad_alloc();
    // The bound is what libdeflate promises any input fits in, so the compression cannot run
    // out of room.
    out.resize(libdeflate_deflate_compress_bound(c_, data.size()));
    out.resize(libdeflate_deflate_compress(c_, data.data(), data.size(), out.data(), out.size()));
}

ZipFault ReadEntryContents(std::string_view archive, const EntryLayout& entry, uint64_t limit, Inflater& inflater,
                           std::string& out, bool& overflowed)
{
    overflowed = false;
    Release(out);
    const CentralRecord& c = entry.central;
    if ((c.flags | entry.localFlags) & records::kFlagEncrypted)
        return ZipFault::Encrypted;
    if (c.method != records::kMethodStored && c.method != records::kMethodDeflated)
        return ZipFault::UnsupportedMethod;
    if (c.size > limit)
        return ZipFault::TooLarge;
    const std::string_view raw = archive.substr(entry.data.offset, entry.data.length);
    if (c.method == records::kMethodStored) {
        if (raw.size() != c.size)
            return raw.size() > limit ? ZipFault::TooLarge : ZipFault::SizeMismatch;
        if (Crc32(raw) != c.crc)
            return ZipFault::CrcMismatch;
        out.assign(raw);
        return ZipFault::None;
    }
    return inflater.Inflate(raw, c.size, c.crc, out, overflowed);
}

}  // namespace cl::zip
