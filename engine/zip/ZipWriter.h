#pragma once
// Writing an archive back from the layout of the one it was read from: every record and byte
// of an entry that stays as it was is copied, only the offsets that point at moved records
// are rewritten; an entry with new contents keeps its local and central records but for its
// CRC, sizes and offset; an added entry gets records of its own.

#include "errors/Result.h"
#include "zip/ZipLayout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cl::zip {

// New contents of an entry, as they go into the archive.
struct StoredContents {
    std::string bytes;  // deflated, or the contents themselves for a stored entry
    uint32_t crc = 0;   // of the contents
    uint64_t size = 0;  // of the contents
};

// One entry of the archive to write.
struct OutputEntry {
    enum class From { Input, Replaced, Added };
    From from = From::Input;
    std::size_t input = 0;                      // Input and Replaced: the entry of the layout
    const StoredContents* contents = nullptr;   // Replaced and Added: its new stored bytes (deflated for Added)
    std::string_view name;                      // Added: the name as stored
    bool utf8 = false;                          // Added: the name is marked as UTF-8
    uint16_t time = 0;                          // Added: MS-DOS time and date
    uint16_t date = 0;
};

// The archive with `entries` as its central directory, in that order, and their local records
// in `fileOrder` (indices into `entries`). `input` is what `layout` was read from; its prefix,
// the entries' gaps and everything after its central directory (Zip64 end records, the end
// record, the comment, trailing bytes) are copied, with counts, sizes and offsets made to match.
// An ArchiveWrite error (fault NeedsZip64) when a value no longer fits the records the input
// had.
Result<std::string> WriteZip(std::string_view input, const ZipLayout& layout, const std::vector<OutputEntry>& entries,
                             const std::vector<std::size_t>& fileOrder);

}  // namespace cl::zip
