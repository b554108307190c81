#pragma once
// ZipLayout: where every record of a zip archive lies in its bytes, read the way unzip and the
// JVM read an archive: from the end record back to the central directory, and from there to
// each entry's local header. Whatever the records do not account for (a launcher script in
// front, bytes between entries, anything after the end record) is placed too, so that a
// rewrite can copy it instead of losing it.

#include "errors/Result.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace cl::zip {

struct Span {
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t End() const { return offset + length; }
};

// What an entry's central directory record says, with the Zip64 values in place of the 32-bit
// fields that stand for them.
struct CentralRecord {
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t time = 0;  // MS-DOS time and date
    uint16_t date = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint64_t localOffset = 0;  // as stated: the layout's bias turns it into a place in the file
    Span record;               // the whole record
    Span name;
    Span extra;
    Span comment;
    // Where the Zip64 extra field keeps the size, the compressed size and the local offset,
    // counted from the record's start; 0 where the 32-bit field holds the value itself.
    uint64_t zip64Size = 0;
    uint64_t zip64CompressedSize = 0;
    uint64_t zip64Offset = 0;
};

struct EntryLayout {
    CentralRecord central;
    Span local;  // local header, name and extra field
    uint16_t localFlags = 0;
    // Where the local extra field's Zip64 sizes lie (size, then compressed size), counted from
    // the local header's start; 0 when it has none.
    uint64_t localZip64 = 0;
    Span data;        // the stored bytes, compressed or not
    Span descriptor;  // the data descriptor; empty when there is none, or none that agrees with the central record
    bool descriptorSigned = false;  // it starts with its signature
    bool descriptorWide = false;    // its sizes take 8 bytes
    Span gap;  // what lies after it up to the next entry or the central directory; kept with it
};

struct ZipLayout {
    uint64_t fileSize = 0;
    Span prefix;  // what comes before the first entry: a launcher script, or nothing
    // What turns a stated offset into a place in the file: 0 when offsets count from the file's
    // start (as `zip -A` leaves them), the length of what was put in front of the zip when they
    // count from the zip's own start (a script joined to the zip with cat).
    uint64_t bias = 0;
    std::vector<EntryLayout> entries;     // in central directory order
    std::vector<std::size_t> fileOrder;   // the entries by their place in the file
    Span directory;                       // the central directory
    // From the end of the central directory to the end of the file: the Zip64 end record and
    // locator when there are, the end record, its comment and whatever follows it.
    Span tail;
    bool zip64 = false;
    Span zip64End;
    Span zip64Locator;
    uint64_t zip64Bias = 0;  // `bias` for the locator's offset of the Zip64 end record
    Span end;                // the end record, without its comment
    Span comment;            // the archive comment
};

// The layout of the archive in `bytes` (which it only looks at). A BadArchive error with its
// ZipFault (`fault`), the offset of the record at fault (`offset`) and, when one entry is at
// fault, its `entry` name, when the records cannot be followed; NoEndRecord means no zip was
// found at all.
Result<ZipLayout> ReadZipLayout(std::string_view bytes);

}  // namespace cl::zip
