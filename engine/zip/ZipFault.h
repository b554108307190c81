#pragma once
// ZipFault: what exactly is wrong with an archive, an entry of it, or the archive that was to
// be written, as the `fault` of a cl::Error (BadArchive, EntryUnreadable, EntryTooLarge,
// ArchiveWrite). The kind says what the caller does; the fault says why, for the sentence the
// user reads and for the short technical text kept in `detail`.

#include <cstdint>
#include <string_view>

namespace cl::zip {

enum class ZipFault : uint16_t {
    None = 0,
    // The archive as a whole (BadArchive).
    NoEndRecord,                  // no end-of-central-directory record in the last 64 KiB: no zip at all
    SplitArchive,                 // the archive says it spans several disks
    Zip64Shape,                   // a Zip64 locator, end record or extra field this reader does not take
    CentralDirectoryOutsideFile,  // the central directory's stated place and size lie outside the file
    BadCentralRecord,             // a central directory record is cut short, or the count does not match
    BadLocalHeader,               // an entry's local header is missing where the central directory says
    Truncated,                    // an entry's data runs past the central directory or the end of the file
    OverlappingEntries,           // two entries share bytes
    // One entry (EntryUnreadable; EntryTooLarge).
    UnsupportedMethod,  // neither stored nor deflated
    Encrypted,          // the entry is encrypted
    BadData,            // the deflated bytes do not inflate
    SizeMismatch,       // it inflates to another size than its records state
    CrcMismatch,        // its contents do not have the CRC its records state
    TooLarge,           // its stated or actual inflated size passes the read's limit
    BudgetSpent,        // with it, what is read of the archive would pass the archive's budget
    // Writing (ArchiveWrite).
    NoSuchEntry,   // the index names no entry
    NameTooLong,   // an added entry's name is longer than 65535 bytes
    NeedsZip64,    // a size, offset or count no longer fits the records this archive has
};

// A short technical name ("no end record", ...), for logs and test messages; the
// sentence the user reads is made from the fault itself.
std::string_view ZipFaultName(ZipFault fault);

}  // namespace cl::zip
