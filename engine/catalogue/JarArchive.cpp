#include "catalogue/JarArchive.h"

#include "catalogue/Parallel.h"

#include <zip.h>
#include <libdeflate.h>

#include <cstring>

namespace cl::catalogue {

namespace {

// Replaced classes are deflated at libdeflate's fastest level: a translated jar is rebuilt
// every time the translation changes, and level 1 writes it several times faster than zlib's
// default, in about as many bytes. The level is fixed, so the output stays the same bytes.
constexpr int kReplacedLevel = 1;

// Entries are inflated and deflated outside libzip only below this size; larger ones go
// through libzip as before.
constexpr uint64_t kMaxDirectSize = uint64_t{1} << 30;

// One libdeflate state per thread, made once and used for many entries.
class Inflater {
public:
    Inflater() : d_(libdeflate_alloc_decompressor()) {}
    ~Inflater()
    {
        if (d_)
            libdeflate_free_decompressor(d_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Raw deflate data that must come out as exactly `size` bytes with `crc`.
    bool Inflate(const std::string& raw, uint64_t size, uint32_t crc, std::string& out)
    {
        if (!d_)
            return false;
        out.resize(static_cast<std::size_t>(size));
        std::size_t produced = 0;
        return libdeflate_deflate_decompress(d_, raw.data(), raw.size(), out.data(), out.size(), &produced) ==
                   LIBDEFLATE_SUCCESS &&
               produced == size && libdeflate_crc32(0, out.data(), out.size()) == crc;
    }

private:
    libdeflate_decompressor* d_;
};

class Deflater {
public:
    Deflater() : c_(libdeflate_alloc_compressor(kReplacedLevel)) {}
    ~Deflater()
    {
        if (c_)
            libdeflate_free_compressor(c_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool Deflate(const std::string& data, std::string& out)
    {
        if (!c_)
            return false;
        out.resize(libdeflate_deflate_compress_bound(c_, data.size()));
        const std::size_t n = libdeflate_deflate_compress(c_, data.data(), data.size(), out.data(), out.size());
        out.resize(n);
        return n != 0;
    }

private:
    libdeflate_compressor* c_;
};

// A libzip source of data that is already deflated: its stat names the method, sizes and CRC,
// so libzip writes the bytes as they are instead of compressing them again.
struct DeflatedSource {
    const std::string* deflated = nullptr;
    uint64_t size = 0;
    uint32_t crc = 0;
    bool hasTime = false;
    time_t mtime = 0;
    uint64_t position = 0;
    zip_error_t error;
};

zip_int64_t DeflatedCallback(void* context, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto* source = static_cast<DeflatedSource*>(context);
    switch (command) {
        case ZIP_SOURCE_OPEN: source->position = 0; return 0;
        case ZIP_SOURCE_READ: {
            const uint64_t left = source->deflated->size() - source->position;
            const uint64_t n = length < left ? length : left;
            std::memcpy(data, source->deflated->data() + source->position, static_cast<std::size_t>(n));
            source->position += n;
            return static_cast<zip_int64_t>(n);
        }
        case ZIP_SOURCE_CLOSE: return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = source->size;
            st->comp_size = source->deflated->size();
            st->crc = source->crc;
            st->comp_method = ZIP_CM_DEFLATE;
            st->encryption_method = ZIP_EM_NONE;
            st->valid =
                ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
            if (source->hasTime) {
                st->mtime = source->mtime;
                st->valid |= ZIP_STAT_MTIME;
            }
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
            // As libzip marks what it deflates itself: version 2.0 needed, "fast" level bits.
            auto* attributes = static_cast<zip_file_attributes_t*>(data);
            attributes->valid |= ZIP_FILE_ATTRIBUTES_VERSION_NEEDED | ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
            attributes->version_needed = 20;
            attributes->general_purpose_bit_mask = 0x0006;
            attributes->general_purpose_bit_flags = 0x0004;
            return 0;
        }
        case ZIP_SOURCE_ERROR: return zip_error_to_data(&source->error, data, length);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&source->error);
            delete source;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_GET_FILE_ATTRIBUTES,
                                                  -1);
        default: zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0); return -1;
    }
}

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
    jar->archive_ = zip_open_from_source(jar->source_, 0, &error);
    if (!jar->archive_) {
        // The source is still ours alone; the destructor frees it.
        why = FromZip(&error);
        zip_error_fini(&error);
        return nullptr;
    }
    zip_error_fini(&error);
    // The archive now owns the source and writes itself back into it on close; one more
    // reference lets the result be read after that.
    zip_source_keep(jar->source_);

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
        entry.method = (st.valid & ZIP_STAT_COMP_METHOD) ? st.comp_method : 0;
        entry.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        entry.compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
        entry.crc = (st.valid & ZIP_STAT_CRC) ? st.crc : 0;
        const zip_uint64_t needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
        entry.sizesKnown = (st.valid & needed) == needed;
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

void JarArchive::ReadMany(const std::vector<uint64_t>& indices, std::vector<std::string>& data,
                          std::vector<std::optional<JarError>>& errors) const
{
    data.assign(indices.size(), std::string());
    errors.assign(indices.size(), std::nullopt);
    // libzip is not shared between threads: it hands over each entry's deflated bytes here,
    // libdeflate inflates them on every core, and whatever does not come out whole (or is not plain
    // deflate) is read through libzip afterwards, which then says what is wrong with it.
    std::vector<std::string> raw(indices.size());
    std::vector<bool> direct(indices.size(), false);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const uint64_t index = indices[i];
        if (index >= entries_.size())
            continue;
        const JarEntry& entry = entries_[index];
        if (!entry.sizesKnown || entry.encrypted || entry.method != ZIP_CM_DEFLATE || entry.size >= kMaxDirectSize ||
            entry.compressedSize >= kMaxDirectSize)
            continue;
        zip_file_t* file = zip_fopen_index(archive_, index, ZIP_FL_COMPRESSED);
        if (!file)
            continue;
        raw[i].resize(static_cast<std::size_t>(entry.compressedSize));
        const zip_int64_t n = zip_fread(file, raw[i].data(), raw[i].size());
        zip_fclose(file);
        direct[i] = n == static_cast<zip_int64_t>(raw[i].size());
    }
    std::vector<char> inflated(indices.size(), 0);
    ForEachInParallelWith<Inflater>(indices.size(), [&](Inflater& inflater, std::size_t i) {
        if (!direct[i])
            return;
        const JarEntry& entry = entries_[indices[i]];
        inflated[i] = inflater.Inflate(raw[i], entry.size, entry.crc, data[i]) ? 1 : 0;
        std::string().swap(raw[i]);
    });
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (!inflated[i])
            errors[i] = Read(indices[i], data[i]);
    }
}

std::optional<JarError> JarArchive::Replace(uint64_t index, std::string data)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, index, 0, &st) != 0)
        return FromArchive(archive_);
    Replacement replacement;
    replacement.index = index;
    replacement.data = std::move(data);
    replacement.store = (st.valid & ZIP_STAT_COMP_METHOD) && st.comp_method == ZIP_CM_STORE;
    replacement.hasTime = (st.valid & ZIP_STAT_MTIME) != 0;
    replacement.mtime = st.mtime;
    replacements_.push_back(std::move(replacement));
    changed_ = true;
    return std::nullopt;
}

std::optional<JarError> JarArchive::Remove(uint64_t index)
{
    if (zip_delete(archive_, index) != 0)
        return FromArchive(archive_);
    if (removed_.size() <= index)
        removed_.resize(static_cast<std::size_t>(index) + 1, false);
    removed_[static_cast<std::size_t>(index)] = true;
    changed_ = true;
    return std::nullopt;
}

// Hands the replaced entries to libzip, deflated beforehand on every core. An entry that was
// stored stays stored; one that cannot be deflated here is left to libzip to deflate.
std::optional<JarError> JarArchive::ApplyReplacements()
{
    std::vector<Replacement*> pending;
    for (Replacement& r : replacements_) {
        if (r.index < removed_.size() && removed_[static_cast<std::size_t>(r.index)])
            continue;
        pending.push_back(&r);
    }
    ForEachInParallelWith<Deflater>(pending.size(), [&](Deflater& deflater, std::size_t i) {
        Replacement& r = *pending[i];
        if (r.store || r.data.size() >= kMaxDirectSize)
            return;
        r.crc = libdeflate_crc32(0, r.data.data(), r.data.size());
        if (!deflater.Deflate(r.data, r.deflated))
            std::string().swap(r.deflated);
    });
    for (Replacement* r : pending) {
        const bool predeflated = !r->store && !r->deflated.empty();
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = nullptr;
        if (predeflated) {
            auto* context = new DeflatedSource;
            context->deflated = &r->deflated;
            context->size = r->data.size();
            context->crc = r->crc;
            context->hasTime = r->hasTime;
            context->mtime = r->mtime;
            zip_error_init(&context->error);
            source = zip_source_function_create(DeflatedCallback, context, &error);
            if (!source) {
                zip_error_fini(&context->error);
                delete context;
            }
        } else {
            source = zip_source_buffer_create(r->data.data(), r->data.size(), 0, &error);
        }
        if (!source) {
            JarError why = FromZip(&error);
            zip_error_fini(&error);
            return why;
        }
        zip_error_fini(&error);
        if (zip_file_replace(archive_, r->index, source, 0) != 0) {
            zip_source_free(source);
            return FromArchive(archive_);
        }
        if (zip_set_file_compression(archive_, r->index, r->store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                     r->store ? 0 : kReplacedLevel) != 0)
            return FromArchive(archive_);
        if (r->hasTime && zip_file_set_mtime(archive_, r->index, r->mtime, 0) != 0)
            return FromArchive(archive_);
    }
    return std::nullopt;
}

std::optional<JarError> JarArchive::Finish(std::string& bytes)
{
    if (!changed_) {
        bytes = input_;
        return std::nullopt;
    }
    if (auto error = ApplyReplacements())
        return error;
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
