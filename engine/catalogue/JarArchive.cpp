#include "catalogue/JarArchive.h"

#include <zip.h>

namespace cl::catalogue {

namespace {

JarError FromZip(zip_error_t* error)
{
    return JarError{zip_error_strerror(error)};
}

JarError FromArchive(zip_t* archive)
{
    return JarError{zip_strerror(archive)};
}

}  // namespace

bool LooksLikeZip(const std::string& bytes)
{
    return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' &&
           ((bytes[2] == '\3' && bytes[3] == '\4') || (bytes[2] == '\5' && bytes[3] == '\6'));
}

std::unique_ptr<JarArchive> JarArchive::Open(std::string bytes, JarError& why)
{
    // libzip takes an empty or tiny buffer for a new, empty archive.
    if (!LooksLikeZip(bytes)) {
        why.reason = "Not a zip archive";
        return nullptr;
    }
    std::unique_ptr<JarArchive> jar(new JarArchive());
    jar->input_ = std::move(bytes);
    zip_error_t error;
    zip_error_init(&error);
    jar->source_ = zip_source_buffer_create(jar->input_.data(), jar->input_.size(), 0, &error);
    if (!jar->source_) {
        why = FromZip(&error);
        zip_error_fini(&error);
        return nullptr;
    }
    // The archive is written back into this source on close; keep it to read the result.
    zip_source_keep(jar->source_);
    jar->archive_ = zip_open_from_source(jar->source_, 0, &error);
    if (!jar->archive_) {
        why = FromZip(&error);
        zip_error_fini(&error);
        return nullptr;
    }
    zip_error_fini(&error);

    const zip_int64_t count = zip_get_num_entries(jar->archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(jar->archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st) != 0) {
            why = FromArchive(jar->archive_);
            return nullptr;
        }
        JarEntry entry;
        entry.index = static_cast<uint64_t>(i);
        entry.name = st.name ? st.name : "";
        entry.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        entry.directory = !entry.name.empty() && entry.name.back() == '/';
        jar->entries_.push_back(std::move(entry));
    }
    return jar;
}

JarArchive::~JarArchive()
{
    if (archive_)
        zip_discard(archive_);
    if (source_)
        zip_source_free(source_);
}

std::optional<JarError> JarArchive::Read(uint64_t index, std::string& data) const
{
    zip_file_t* file = zip_fopen_index(archive_, index, 0);
    if (!file)
        return FromArchive(archive_);
    std::string out;
    out.resize(static_cast<std::size_t>(entries_.at(index).size));
    std::size_t done = 0;
    for (;;) {
        if (done == out.size())
            out.resize(out.size() + 4096);
        const zip_int64_t n = zip_fread(file, out.data() + done, out.size() - done);
        if (n < 0) {
            JarError error = FromZip(zip_file_get_error(file));
            zip_fclose(file);
            return error;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    zip_fclose(file);
    out.resize(done);
    data = std::move(out);
    return std::nullopt;
}

std::optional<JarError> JarArchive::Replace(uint64_t index, std::string data)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, index, 0, &st) != 0)
        return FromArchive(archive_);
    replacements_.push_back(std::move(data));
    const std::string& kept = replacements_.back();
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(kept.data(), kept.size(), 0, &error);
    if (!source) {
        JarError why = FromZip(&error);
        zip_error_fini(&error);
        return why;
    }
    zip_error_fini(&error);
    if (zip_file_replace(archive_, index, source, 0) != 0) {
        zip_source_free(source);
        return FromArchive(archive_);
    }
    const zip_int32_t method = (st.valid & ZIP_STAT_COMP_METHOD) ? static_cast<zip_int32_t>(st.comp_method) : ZIP_CM_DEFLATE;
    if (zip_set_file_compression(archive_, index, method == ZIP_CM_STORE ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0) != 0)
        return FromArchive(archive_);
    if ((st.valid & ZIP_STAT_MTIME) && zip_file_set_mtime(archive_, index, st.mtime, 0) != 0)
        return FromArchive(archive_);
    changed_ = true;
    return std::nullopt;
}

std::optional<JarError> JarArchive::Remove(uint64_t index)
{
    if (zip_delete(archive_, index) != 0)
        return FromArchive(archive_);
    changed_ = true;
    return std::nullopt;
}

std::optional<JarError> JarArchive::Finish(std::string& bytes)
{
    if (!changed_) {
        bytes = input_;
        return std::nullopt;
    }
    if (zip_close(archive_) != 0)
        return FromArchive(archive_);
    archive_ = nullptr;

    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(source_, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        return FromZip(zip_source_error(source_));
    if (zip_source_open(source_) != 0)
        return FromZip(zip_source_error(source_));
    std::string out(static_cast<std::size_t>(st.size), '\0');
    std::size_t done = 0;
    while (done < out.size()) {
        const zip_int64_t n = zip_source_read(source_, out.data() + done, out.size() - done);
        if (n <= 0) {
            JarError why = FromZip(zip_source_error(source_));
            zip_source_close(source_);
            return why;
        }
        done += static_cast<std::size_t>(n);
    }
    zip_source_close(source_);
    bytes = std::move(out);
    return std::nullopt;
}

}  // namespace cl::catalogue
