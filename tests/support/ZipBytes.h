#pragma once
// Test helpers that go through libzip, a zip implementation other than the engine's: building
// an archive in memory, and reading one back with libzip's strictest checks (local and central
// records must agree, every entry's CRC must match), to show that what the engine writes is
// read the same way by others.

#include <zip.h>

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace cltest {

struct ZipEntryPlan {
    std::string name;
    std::string data;
    bool store = false;
    std::string extra;  // a local and central extra field 0xCAFE holding these bytes
};

// Builds an archive whose entries all carry `mtime`.
inline std::string BuildZip(const std::vector<ZipEntryPlan>& plans, time_t mtime = 1500000000)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(target);
    zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    std::vector<std::string> keep(plans.size());
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const ZipEntryPlan& want = plans[i];
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

struct LibzipView {
    std::string error;  // empty when libzip read the archive and every entry
    std::vector<std::string> names;  // in central directory order
    std::map<std::string, std::string> contents;
};

// The archive as libzip reads it with ZIP_CHECKCONS. libzip copies the bytes it is given, so
// nothing here is shared with the caller.
inline LibzipView ReadWithLibzip(const std::string& bytes)
{
    LibzipView view;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
    // Writing the bytes into the source makes them libzip's own.
    if (zip_source_begin_write(source) != 0 ||
        zip_source_write(source, bytes.data(), bytes.size()) != static_cast<zip_int64_t>(bytes.size()) ||
        zip_source_commit_write(source) != 0) {
        view.error = "cannot fill a libzip source";
        zip_source_free(source);
        return view;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_CHECKCONS | ZIP_RDONLY, &error);
    if (!archive) {
        view.error = zip_error_strerror(&error);
        zip_source_free(source);
        zip_error_fini(&error);
        return view;
    }
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count && view.error.empty(); ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (!name || !file) {
            view.error = zip_strerror(archive);
            break;
        }
        std::string data;
        char buffer[65536];
        for (zip_int64_t n; (n = zip_fread(file, buffer, sizeof buffer)) > 0;)
            data.append(buffer, static_cast<std::size_t>(n));
        if (zip_file_get_error(file)->zip_err != ZIP_ER_OK)
            view.error = std::string(name) + ": " + zip_error_strerror(zip_file_get_error(file));
        zip_fclose(file);
        view.names.push_back(name);
        view.contents[name] = std::move(data);
    }
    zip_discard(archive);
    zip_error_fini(&error);
    return view;
}

}  // namespace cltest
