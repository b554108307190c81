#pragma once
// A JAR (or any ZIP) held in memory, read and rewritten through libzip. Entries that are not
// replaced keep their raw bytes: libzip copies their compressed data as it is, with the same
// method, CRC, time and extra fields. A replaced entry keeps its name, place, method and time,
// so that the same input and the same replacements always give the same archive bytes.
// Inflating and deflating are the bulk of the work, so they run on every core: libzip hands
// over (or takes) the compressed bytes and libdeflate does the rest outside it.

#include <cstdint>
#include <ctime>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct zip zip_t;
typedef struct zip_source zip_source_t;

namespace cl::catalogue {

struct JarEntry {
    std::string name;  // as stored, '/'-separated
    uint64_t index = 0;
    uint64_t size = 0;  // uncompressed
    bool directory = false;
    // How the stored bytes read back, when libzip knows: plain deflate (or stored) with a
    // known size and CRC can be inflated outside libzip.
    uint16_t method = 0;
    bool encrypted = false;
    uint64_t compressedSize = 0;
    uint32_t crc = 0;
    bool sizesKnown = false;
};

// libzip's account of a failure, in its own words.
struct JarError {
    std::string reason;
};

class JarArchive {
public:
    // Opens the archive in `bytes`; empty (and `why` set) when libzip cannot read it.
    static std::unique_ptr<JarArchive> Open(std::string bytes, JarError& why);
    ~JarArchive();
    JarArchive(const JarArchive&) = delete;
    JarArchive& operator=(const JarArchive&) = delete;

    const std::vector<JarEntry>& Entries() const { return entries_; }
    // The uncompressed contents of an entry.
    std::optional<JarError> Read(uint64_t index, std::string& data) const;
    // The uncompressed contents of several entries, inflated on every core: `data[i]` and
    // `errors[i]` belong to `indices[i]`, with the same results Read gives one by one.
    void ReadMany(const std::vector<uint64_t>& indices, std::vector<std::string>& data,
                  std::vector<std::optional<JarError>>& errors) const;

    // Gives the entry new contents, compressed with its old method, dated with its old time.
    std::optional<JarError> Replace(uint64_t index, std::string data);
    std::optional<JarError> Remove(uint64_t index);
    // The archive with the changes made; the input bytes again when nothing changed.
    std::optional<JarError> Finish(std::string& bytes);

private:
    JarArchive() = default;

    std::string input_;
    zip_source_t* source_ = nullptr;
    zip_t* archive_ = nullptr;
    std::vector<JarEntry> entries_;
    struct Replacement {
        uint64_t index = 0;
        std::string data;
        bool store = false;  // the entry was stored, not deflated
        bool hasTime = false;
        time_t mtime = 0;
        std::string deflated;  // filled in by Finish
        uint32_t crc = 0;
    };
    std::optional<JarError> ApplyReplacements();

    std::deque<Replacement> replacements_;  // kept alive until the archive is written
    std::vector<bool> removed_;
    bool changed_ = false;
};

// True when the bytes start like a ZIP archive (a local file header, or the end record of an
// empty archive), whatever the file is called.
bool LooksLikeZip(const std::string& bytes);

}  // namespace cl::catalogue
