#pragma once
// Test helpers for ZIP archives: building one in memory with libzip, and reading each entry's
// stored records (local header, compressed bytes, central directory record) straight from the
// bytes, to show what a rewrite kept.

#include <zip.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace cltest {

struct ZipSpec {
    std::string name;
    std::string data;
    bool store = false;
    std::string extra;  // a local and central extra field 0xCAFE holding these bytes
};

// Builds an archive whose entries all carry `mtime`.
inline std::string BuildZip(const std::vector<ZipSpec>& specs, time_t mtime = 1500000000)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(target);
    zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    std::vector<std::string> keep(specs.size());
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const ZipSpec& want = specs[i];
        zip_int64_t index = 0;
        if (!want.name.empty() && want.name.back() == '/') {
            index = zip_dir_add(archive, want.name.c_str(), ZIP_FL_ENC_UTF_8);
        } else {
            keep[i] = want.data;
            zip_source_t* source = zip_source_buffer(archive, keep[i].data(), keep[i].size(), 0);
            index = zip_file_add(archive, want.name.c_str(), source, ZIP_FL_ENC_UTF_8);
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), want.store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                     0);
        }
        zip_file_set_mtime(archive, static_cast<zip_uint64_t>(index), mtime, 0);
        if (!want.extra.empty()) {
            zip_file_extra_field_set(archive, static_cast<zip_uint64_t>(index), 0xCAFE, ZIP_EXTRA_FIELD_NEW,
                                     reinterpret_cast<const zip_uint8_t*>(want.extra.data()),
                                     static_cast<zip_uint16_t>(want.extra.size()), ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
        }
    }
    zip_close(archive);
    zip_stat_t st;
    zip_stat_init(&st);
    zip_source_stat(target, &st);
    std::string out(st.size, '\0');
    zip_source_open(target);
    zip_source_read(target, out.data(), out.size());
    zip_source_close(target);
    zip_source_free(target);
    zip_error_fini(&error);
    return out;
}

struct RawEntry {
    std::string localHeader;  // signature to the end of the extra field
    std::string compressed;
    std::string central;      // the central record with its local-header offset zeroed
    std::size_t order = 0;
};

inline uint32_t Le(const std::string& b, std::size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b.at(at + static_cast<std::size_t>(i)));
    return v;
}

// Every entry's records, by name; empty when the bytes hold no end record.
inline std::map<std::string, RawEntry> RawEntries(const std::string& zip)
{
    std::map<std::string, RawEntry> entries;
    const std::size_t eocd = zip.rfind(std::string("PK\5\6", 4));
    if (eocd == std::string::npos)
        return entries;
    const std::size_t count = Le(zip, eocd + 10, 2);
    std::size_t at = Le(zip, eocd + 16, 4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t nameLength = Le(zip, at + 28, 2), extraLength = Le(zip, at + 30, 2),
                          commentLength = Le(zip, at + 32, 2);
        const std::size_t compressedSize = Le(zip, at + 20, 4), local = Le(zip, at + 42, 4);
        RawEntry entry;
        entry.order = i;
        entry.central = zip.substr(at, 46 + nameLength + extraLength + commentLength);
        std::memset(entry.central.data() + 42, 0, 4);
        const std::string name = zip.substr(at + 46, nameLength);
        const std::size_t localLength = 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
        entry.localHeader = zip.substr(local, localLength);
        entry.compressed = zip.substr(local + localLength, compressedSize);
        entries[name] = entry;
        at += 46 + nameLength + extraLength + commentLength;
    }
    return entries;
}

}  // namespace cltest
