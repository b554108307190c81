#pragma once
// A JAR (or any ZIP) held in memory, read and rewritten through libzip. Entries that are not
// replaced keep their raw bytes: libzip copies their compressed data as it is, with the same
// method, CRC, time and extra fields. A replaced entry keeps its name, place, method and time,
// so that the same input and the same replacements always give the same archive bytes.

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
    std::deque<std::string> replacements_;  // kept alive until the archive is written
    bool changed_ = false;
};

// True when the bytes start like a ZIP archive (a local file header, or the end record of an
// empty archive), whatever the file is called.
bool LooksLikeZip(const std::string& bytes);

}  // namespace cl::catalogue
