#pragma once
// A JAR (or any zip) held in memory, read and rewritten by the engine's own zip code. The
// archive owns the bytes it was opened on and every buffer it writes into, so nothing is ever
// freed by anyone else, whether the archive is finished, finished with a failure, or dropped
// unfinished (the window's cancel).
//
// What a rewrite keeps: an entry that is not replaced keeps its local record (header, name,
// extra field), its data and its data descriptor byte for byte, and its central record field by
// field; the prefix before the zip (a launcher script), the archive comment and whatever else
// the records do not account for are copied too. Only offsets change. A replaced entry keeps
// its name, place, method (stored stays stored), flags, time and extra fields; only its CRC,
// sizes and data change. The same input and the same changes always give the same bytes, and
// no change at all gives the input back.
//
// Inflating and deflating are the bulk of the work, so ReadMany and Finish run them on every
// core.

#include "errors/Result.h"
#include "zip/ZipLayout.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cl::zip {

struct JarEntry {
    std::string name;  // as stored: bytes, '/'-separated
    bool utf8 = false;  // the name is marked as UTF-8 (general-purpose flag bit 11)
    uint64_t index = 0;
    bool directory = false;
    uint64_t size = 0;  // uncompressed, as its central record states
    uint64_t compressedSize = 0;  // as stored; 0 for an added entry, which is deflated by Finish
    uint32_t crc = 0;
    uint16_t method = 0;  // 0 stored, 8 deflated; anything else cannot be read
    bool encrypted = false;
    bool added = false;  // made by AddAfter, not in the input
};

class JarArchive {
public:
    // The most an entry may inflate to before a read refuses it: far above any real class or
    // resource bundle, far below what a few hostile entries could make a machine hold.
    static constexpr uint64_t kEntryLimit = uint64_t{64} << 20;
    // What the entries a program takes from one archive may come to together (ReadBudget):
    // 128 MiB, or eight times the archive's size when that is more. The classes and bundles of
    // real jars come to about twice the jar's size (guava, commons-lang3, guice: 2.1 to 2.2;
    // jedit: 0.7), so a real program never comes near it, whatever its size; deflate can make
    // a thousand times its size, so many entries each under kEntryLimit could otherwise make a
    // small archive take gigabytes. Analysing a class holds a copy of it beside the program's,
    // so the floor is kept at half of what a program may take in all.
    static constexpr uint64_t kBudgetFloor = uint64_t{128} << 20;
    static constexpr uint64_t kBudgetRatio = 8;

    // Opens the archive in `bytes` (a prefix such as a launcher script is allowed). A
    // BadArchive error with its ZipFault when it cannot be read; fault NoEndRecord when the
    // bytes hold no zip at all.
    static Result<std::unique_ptr<JarArchive>> Open(std::string bytes);
    JarArchive(const JarArchive&) = delete;
    JarArchive& operator=(const JarArchive&) = delete;

    // The input's entries in central directory order (index 0, 1, ...), then the added ones in
    // the order they were added. Adding an entry may move this vector.
    const std::vector<JarEntry>& Entries() const { return entries_; }

    // The contents of an entry as it is in the input (an added entry: the bytes it was given).
    // EntryTooLarge (`entry`, `expected` = `limit`) when its stated or actual size passes
    // `limit`, which is then never inflated; EntryUnreadable (`entry`, `fault`, `detail`) when
    // it is encrypted, of another method than stored or deflated, or damaged.
    Result<std::string> Read(uint64_t index, uint64_t limit = kEntryLimit) const;
    // The same for several entries, inflated on every core: result i belongs to `indices[i]`.
    std::vector<Result<std::string>> ReadMany(const std::vector<uint64_t>& indices,
                                              uint64_t limit = kEntryLimit) const;

    // The archive's budget: kBudgetFloor, or kBudgetRatio times the archive's size.
    uint64_t ReadBudget() const;
    // Keeps those of `indices` whose stated sizes fit the budget together, taken in the order
    // given (each that does not fit is passed over, and a smaller one after it may still fit);
    // an entry that a read refuses before inflating (past `limit`, encrypted, of another
    // method, stating a size its stored bytes cannot make) takes nothing of it. The ones passed over leave `indices`, each with an EntryTooLarge
    // error (fault BudgetSpent, `expected` = the budget) in the result, in their order.
    std::vector<Error> KeepWithinBudget(std::vector<uint64_t>& indices, uint64_t limit = kEntryLimit) const;

    // Gives the entry new contents, stored as the entry was (stored or deflated), with its
    // time, flags and extra fields. ArchiveWrite with fault NoSuchEntry, or with
    // UnsupportedMethod / Encrypted for an entry that could not be written back the same way.
    Status Replace(uint64_t index, std::string data);
    // A new entry right after entry `after`, in the file and in the central directory: deflated,
    // dated like `after`, named with the bytes of `name` (marked UTF-8 when `utf8`). Its index.
    // ArchiveWrite with fault NoSuchEntry or NameTooLong.
    Result<uint64_t> AddAfter(uint64_t after, std::string name, bool utf8, std::string data);
    Status Remove(uint64_t index);

    // The archive with the changes made; the input's bytes again when nothing changed (also
    // when every replacement gave an entry the contents it had). ArchiveWrite (fault
    // NeedsZip64) when a count, size or offset no longer fits the input's records. The archive
    // stays as it was either way: Finish may be called again, or the archive dropped.
    Result<std::string> Finish() const;

private:
    JarArchive() = default;

    struct Pending {
        bool replaced = false;
        bool removed = false;
        std::string data;  // the new contents of a replaced or added entry
        uint16_t time = 0;  // an added entry's MS-DOS time and date
        uint16_t date = 0;
    };

    Result<std::string> ReadOne(uint64_t index, uint64_t limit) const;

    std::string input_;
    zip::ZipLayout layout_;
    std::vector<JarEntry> entries_;
    std::vector<Pending> pending_;          // parallel to entries_
    std::vector<uint64_t> directoryOrder_;  // entry indices as the central directory will list them
    std::vector<uint64_t> fileOrder_;       // entry indices as their records will lie in the file
};

}  // namespace cl::zip
