#include "zip/ZipWriter.h"

#include "zip/ZipFault.h"
#include "zip/ZipRecords.h"

namespace cl::zip {

namespace {

using namespace records;

Error WriteFault(ZipFault fault, std::string_view entry = {})
{
    Error error(ErrorKind::ArchiveWrite);
    error.fault = static_cast<uint16_t>(fault);
    error.entry.assign(entry);
    return error;
}

std::string_view Bytes(std::string_view input, Span span)
{
    return input.substr(span.offset, span.length);
}

// A value of a 32-bit field that may instead live in an 8-byte Zip64 slot of the same record
// (`slot` counted from `record`'s start, 0 when there is none).
bool PutSized(std::string& out, uint64_t record, uint64_t field, uint64_t slot, uint64_t value)
{
    if (slot != 0) {
        Put64(out, record + slot, value);
        return true;
    }
    if (value >= kMax32)
        return false;
    Put32(out, record + field, static_cast<uint32_t>(value));
    return true;
}

// A replaced entry's local record: its own header, name and extra field with the new CRC and
// sizes. A streamed entry (data descriptor) whose header left them zero keeps the zeros, as
// its writer did; a field holding 0xFFFFFFFF keeps it, its Zip64 field gets the value.
bool WriteReplacedLocal(std::string& out, std::string_view input, const EntryLayout& e, const StoredContents& c)
{
    const uint64_t at = out.size();
    out.append(Bytes(input, e.local));
    const bool streamed = (e.localFlags & kFlagDescriptor) != 0;
    auto keepsZero = [&](uint64_t field) { return streamed && Le32(out, at + field) == 0; };
    if (!keepsZero(local::kCrc))
        Put32(out, at + local::kCrc, c.crc);
    for (const auto& [field, value] : {std::pair{local::kCompressedSize, uint64_t{c.bytes.size()}},
                                       std::pair{local::kUncompressedSize, c.size}}) {
        if (keepsZero(field) || (Le32(out, at + field) == kMax32 && e.localZip64 != 0))
            continue;
        if (value >= kMax32)
            return false;
        Put32(out, at + field, static_cast<uint32_t>(value));
    }
    if (e.localZip64 != 0) {
        for (const auto& [slot, value] :
             {std::pair{e.localZip64, c.size}, std::pair{e.localZip64 + 8, uint64_t{c.bytes.size()}}}) {
            if (!(streamed && Le64(out, at + slot) == 0))
                Put64(out, at + slot, value);
        }
    }
    out.append(c.bytes);
    if (streamed) {
        // The same form of descriptor as before; a signed one with the entry's width when the
        // old one could not be told apart.
        const bool sign = e.descriptor.length == 0 || e.descriptorSigned;
        const bool wide = e.descriptor.length ? e.descriptorWide : e.localZip64 != 0;
        if (sign)
            Append32(out, descriptor::kSignature);
        Append32(out, c.crc);
        if (wide) {
            Append64(out, c.bytes.size());
            Append64(out, c.size);
        } else {
            if (c.bytes.size() >= kMax32 || c.size >= kMax32)
                return false;
            Append32(out, static_cast<uint32_t>(c.bytes.size()));
            Append32(out, static_cast<uint32_t>(c.size));
        }
    }
    out.append(Bytes(input, e.gap));
    return true;
}

// The fields an added entry's local and central records share, from the flags to the name's
// length: deflated, dated as told.
void AppendAddedFields(std::string& out, const OutputEntry& entry)
{
    const StoredContents& c = *entry.contents;
    Append16(out, entry.utf8 ? kFlagUtf8 : 0);
    Append16(out, kMethodDeflated);
    Append16(out, entry.time);
    Append16(out, entry.date);
    Append32(out, c.crc);
    Append32(out, static_cast<uint32_t>(c.bytes.size()));
    Append32(out, static_cast<uint32_t>(c.size));
    Append16(out, static_cast<uint16_t>(entry.name.size()));
}

// An added entry: deflated, version 2.0, no extra field, dated as told.
bool WriteAddedLocal(std::string& out, const OutputEntry& entry)
{
    const StoredContents& c = *entry.contents;
    if (c.bytes.size() >= kMax32 || c.size >= kMax32)
        return false;
    Append32(out, local::kSignature);
    Append16(out, 20);
    AppendAddedFields(out, entry);
    Append16(out, 0);  // extra field
    out.append(entry.name);
    out.append(c.bytes);
    return true;
}

// Made by version 2.0 on MS-DOS, with no attributes, as the JDK's jar tool marks its entries:
// unzip then gives the file the user's default permissions.
void WriteAddedCentral(std::string& out, const OutputEntry& entry, uint32_t offset)
{
    Append32(out, central::kSignature);
    Append16(out, 20);
    Append16(out, 20);
    AppendAddedFields(out, entry);
    Append16(out, 0);  // extra field
    Append16(out, 0);  // comment
    Append16(out, 0);  // disk
    Append16(out, 0);  // internal attributes
    Append32(out, 0);  // external attributes
    Append32(out, offset);
    out.append(entry.name);
}

// A count in the end record: the Zip64 end record holds the real one when the field says so.
bool PutCount16(std::string& out, uint64_t at, uint64_t value, bool zip64)
{
    if (zip64 && Le16(out, at) == kMax16)
        return true;
    if (value > kMax16 || (zip64 && value == kMax16)) {
        if (!zip64)
            return false;
        value = kMax16;
    }
    Put16(out, at, static_cast<uint16_t>(value));
    return true;
}

bool PutValue32(std::string& out, uint64_t at, uint64_t value, bool zip64)
{
    if (zip64 && Le32(out, at) == kMax32)
        return true;
    if (value >= kMax32) {
        if (!zip64)
            return false;
        value = kMax32;
    }
    Put32(out, at, static_cast<uint32_t>(value));
    return true;
}

}  // namespace

Result<std::string> WriteZip(std::string_view input, const ZipLayout& layout, const std::vector<OutputEntry>& entries,
                             const std::vector<std::size_t>& fileOrder)
{
    std::size_t estimate = static_cast<std::size_t>(input.size());
    for (const OutputEntry& entry : entries) {
        if (entry.contents)
            estimate += entry.contents->bytes.size() + entry.name.size() * 2 + 128;
    }
    std::string out;
    out.reserve(estimate);
    out.append(Bytes(input, layout.prefix));

    // Local records in the file's order.
    std::vector<uint64_t> localAt(entries.size(), 0);
    for (const std::size_t k : fileOrder) {
        const OutputEntry& entry = entries[k];
        localAt[k] = out.size();
        switch (entry.from) {
            case OutputEntry::From::Input: {
                const EntryLayout& e = layout.entries[entry.input];
                out.append(input.substr(e.local.offset, e.gap.End() - e.local.offset));
                break;
            }
            case OutputEntry::From::Replaced: {
                const EntryLayout& e = layout.entries[entry.input];
                if (!WriteReplacedLocal(out, input, e, *entry.contents))
                    return WriteFault(ZipFault::NeedsZip64, Bytes(input, e.central.name));
                break;
            }
            case OutputEntry::From::Added:
                if (!WriteAddedLocal(out, entry))
                    return WriteFault(ZipFault::NeedsZip64, entry.name);
                break;
        }
    }

    // Central records in the directory's order, each pointing at its local record again.
    const uint64_t directoryAt = out.size();
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const OutputEntry& entry = entries[k];
        if (localAt[k] < layout.bias)
            return WriteFault(ZipFault::NeedsZip64);
        const uint64_t offset = localAt[k] - layout.bias;
        if (entry.from == OutputEntry::From::Added) {
            if (offset >= kMax32)
                return WriteFault(ZipFault::NeedsZip64, entry.name);
            WriteAddedCentral(out, entry, static_cast<uint32_t>(offset));
            continue;
        }
        const EntryLayout& e = layout.entries[entry.input];
        const CentralRecord& c = e.central;
        const uint64_t at = out.size();
        out.append(Bytes(input, c.record));
        bool fits = PutSized(out, at, central::kLocalOffset, c.zip64Offset, offset);
        if (entry.from == OutputEntry::From::Replaced) {
            Put32(out, at + central::kCrc, entry.contents->crc);
            fits = fits && PutSized(out, at, central::kCompressedSize, c.zip64CompressedSize,
                                    entry.contents->bytes.size());
            fits = fits && PutSized(out, at, central::kUncompressedSize, c.zip64Size, entry.contents->size);
        }
        if (!fits)
            return WriteFault(ZipFault::NeedsZip64, Bytes(input, c.name));
    }
    const uint64_t directorySize = out.size() - directoryAt;

    // Everything after the directory as it was, with the counts, size and offsets made new.
    const uint64_t tailAt = out.size();
    out.append(Bytes(input, layout.tail));
    auto moved = [&](const Span& span) { return tailAt + (span.offset - layout.tail.offset); };
    const uint64_t endAt = moved(layout.end);
    const uint64_t count = entries.size();
    if (directoryAt < layout.bias)
        return WriteFault(ZipFault::NeedsZip64);
    const uint64_t directoryOffset = directoryAt - layout.bias;
    if (!PutCount16(out, endAt + end::kEntriesHere, count, layout.zip64) ||
        !PutCount16(out, endAt + end::kEntries, count, layout.zip64) ||
        !PutValue32(out, endAt + end::kDirectorySize, directorySize, layout.zip64) ||
        !PutValue32(out, endAt + end::kDirectoryOffset, directoryOffset, layout.zip64))
        return WriteFault(ZipFault::NeedsZip64);
    if (layout.zip64) {
        const uint64_t recordAt = moved(layout.zip64End);
        Put64(out, recordAt + zip64end::kEntriesHere, count);
        Put64(out, recordAt + zip64end::kEntries, count);
        Put64(out, recordAt + zip64end::kDirectorySize, directorySize);
        Put64(out, recordAt + zip64end::kDirectoryOffset, directoryOffset);
        if (recordAt < layout.zip64Bias)
            return WriteFault(ZipFault::NeedsZip64);
        Put64(out, moved(layout.zip64Locator) + locator::kRecordOffset, recordAt - layout.zip64Bias);
    }
    return out;
}

}  // namespace cl::zip
