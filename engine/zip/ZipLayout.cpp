#include "zip/ZipLayout.h"

#include "zip/ZipFault.h"
#include "zip/ZipRecords.h"

#include <algorithm>
#include <optional>
#include <string>

namespace cl::zip {

namespace {

using namespace records;

Error Fault(ZipFault fault, uint64_t at, std::string_view entry = {})
{
    Error error(ErrorKind::BadArchive);
    error.fault = static_cast<uint16_t>(fault);
    error.offset = at;
    error.entry.assign(entry);
    return error;
}

// True when `length` bytes from `at` lie inside `limit`, without overflowing.
bool Inside(uint64_t at, uint64_t length, uint64_t limit)
{
    return at <= limit && length <= limit - at;
}

bool SignatureAt(std::string_view b, uint64_t at, uint32_t signature)
{
    return Inside(at, 4, b.size()) && Le32(b, at) == signature;
}

// The data of the first extra field `id` in [extra.offset, extra.End()); empty when there is
// none. Fields are walked as far as their lengths hold together: some writers pad the extra
// field with bytes that are no field at all.
Span FindExtra(std::string_view b, Span extra, uint16_t id)
{
    uint64_t at = extra.offset;
    while (Inside(at, 4, extra.End())) {
        const uint16_t fieldId = Le16(b, at);
        const uint64_t length = Le16(b, at + 2);
        if (!Inside(at + 4, length, extra.End()))
            break;
        if (fieldId == id)
            return Span{at + 4, length};
        at += 4 + length;
    }
    return Span{};
}

// The central record's Zip64 values: each 32-bit field that holds 0xFFFFFFFF takes the next
// 8 bytes of the Zip64 extra field, in the order size, compressed size, local offset.
bool ReadCentralZip64(std::string_view b, CentralRecord& c)
{
    const bool size = Le32(b, c.record.offset + central::kUncompressedSize) == kMax32;
    const bool compressed = Le32(b, c.record.offset + central::kCompressedSize) == kMax32;
    const bool offset = Le32(b, c.record.offset + central::kLocalOffset) == kMax32;
    if (!size && !compressed && !offset)
        return true;
    const Span field = FindExtra(b, c.extra, kZip64ExtraId);
    uint64_t at = field.offset;
    auto take = [&](uint64_t& value, uint64_t& slot) {
        if (!Inside(at, 8, field.End()))
            return false;
        value = Le64(b, at);
        slot = at - c.record.offset;
        at += 8;
        return true;
    };
    if (field.length == 0)
        return false;
    if (size && !take(c.size, c.zip64Size))
        return false;
    if (compressed && !take(c.compressedSize, c.zip64CompressedSize))
        return false;
    if (offset && !take(c.localOffset, c.zip64Offset))
        return false;
    return true;
}

// Looks for the data descriptor after an entry's data, before `limit`: with or without its
// signature, with 4- or 8-byte sizes, whichever form repeats the central record's CRC and
// sizes. Writers differ (the JDK and zip sign theirs, the format allows leaving it out).
void FindDescriptor(std::string_view b, EntryLayout& e, uint64_t limit)
{
    const uint64_t start = e.data.End();
    const bool wideFirst = e.localZip64 != 0;
    for (const bool sign : {true, false}) {
        if (sign && !SignatureAt(b, start, descriptor::kSignature))
            continue;
        for (const bool wide : {wideFirst, !wideFirst}) {
            const uint64_t at = start + (sign ? 4 : 0);
            const uint64_t length = wide ? 20 : 12;
            if (!Inside(at, length, limit))
                continue;
            const uint64_t compressed = wide ? Le64(b, at + 4) : Le32(b, at + 4);
            const uint64_t size = wide ? Le64(b, at + 12) : Le32(b, at + 8);
            if (Le32(b, at) != e.central.crc || compressed != e.central.compressedSize || size != e.central.size)
                continue;
            e.descriptor = Span{start, at + length - start};
            e.descriptorSigned = sign;
            e.descriptorWide = wide;
            return;
        }
    }
}

struct EndRecord {
    uint64_t at = 0;
    uint64_t entries = 0;
    uint64_t directorySize = 0;
    uint64_t directoryOffset = 0;
};

// Reads the Zip64 end record the locator before the end record points to, and takes its
// counts instead of the end record's. Every writer puts the record right before the locator,
// so a whole record ending there is taken first; the place the locator states is taken only
// when there is none (a record with extensible data). Not the other way round: when a prefix
// moved the zip without adjusting offsets, the stated place lies in the prefix, and after a
// rewrite it may land on bytes of the prefix that happen to start like a record. The record
// right before the locator moves with it, so a rewrite reads back the record it wrote.
std::optional<Error> ReadZip64End(std::string_view b, ZipLayout& layout, EndRecord& end)
{
    const uint64_t locatorAt = end.at - locator::kSize;
    if (Le32(b, locatorAt + locator::kDisk) != 0 || Le32(b, locatorAt + locator::kDisks) > 1)
        return Fault(ZipFault::SplitArchive, locatorAt);
    const uint64_t stated = Le64(b, locatorAt + locator::kRecordOffset);
    const uint64_t before = locatorAt >= zip64end::kSize ? locatorAt - zip64end::kSize : 0;
    uint64_t recordAt = 0;
    if (locatorAt >= zip64end::kSize && before >= stated && SignatureAt(b, before, zip64end::kSignature) &&
        Le64(b, before + zip64end::kRestSize) == zip64end::kSize - 12)
        recordAt = before;
    else if (Inside(stated, zip64end::kSize, locatorAt) && SignatureAt(b, stated, zip64end::kSignature))
        recordAt = stated;
    else
        return Fault(ZipFault::Zip64Shape, locatorAt);
    const uint64_t rest = Le64(b, recordAt + zip64end::kRestSize);
    if (rest < zip64end::kSize - 12 || !Inside(recordAt + 12, rest, locatorAt))
        return Fault(ZipFault::Zip64Shape, recordAt);
    if (Le32(b, recordAt + zip64end::kDisk) != 0 || Le32(b, recordAt + zip64end::kDirectoryDisk) != 0 ||
        Le64(b, recordAt + zip64end::kEntriesHere) != Le64(b, recordAt + zip64end::kEntries))
        return Fault(ZipFault::SplitArchive, recordAt);
    layout.zip64 = true;
    layout.zip64End = Span{recordAt, 12 + rest};
    layout.zip64Locator = Span{locatorAt, locator::kSize};
    layout.zip64Bias = recordAt - stated;
    end.entries = Le64(b, recordAt + zip64end::kEntries);
    end.directorySize = Le64(b, recordAt + zip64end::kDirectorySize);
    end.directoryOffset = Le64(b, recordAt + zip64end::kDirectoryOffset);
    return std::nullopt;
}

// The layout read from the end record at `endAt`. `located` tells whether the central
// directory was found where this end record says: when it was not, an earlier end record
// (inside an archive comment, say) may be the real one.
Result<ZipLayout> ReadFrom(std::string_view b, uint64_t endAt, bool& located)
{
    located = false;
    ZipLayout layout;
    layout.fileSize = b.size();
    layout.end = Span{endAt, end::kSize};
    layout.comment = Span{endAt + end::kSize, Le16(b, endAt + end::kCommentLength)};

    EndRecord end;
    end.at = endAt;
    end.entries = Le16(b, endAt + end::kEntries);
    end.directorySize = Le32(b, endAt + end::kDirectorySize);
    end.directoryOffset = Le32(b, endAt + end::kDirectoryOffset);
    uint64_t directoryEnd = endAt;
    if (endAt >= locator::kSize && SignatureAt(b, endAt - locator::kSize, locator::kSignature)) {
        if (auto error = ReadZip64End(b, layout, end))
            return *error;
        directoryEnd = layout.zip64End.offset;
    } else if (Le16(b, endAt + end::kDisk) != 0 || Le16(b, endAt + end::kDirectoryDisk) != 0 ||
               Le16(b, endAt + end::kEntriesHere) != end.entries) {
        return Fault(ZipFault::SplitArchive, endAt);
    }

    // The directory normally ends where the end record (or the Zip64 one) begins; its stated
    // offset then says how far the offsets are off. An archive with bytes between its
    // directory and end record can still be read when its offsets count from the file's start.
    auto startsDirectory = [&](uint64_t at) {
        return end.entries == 0 || SignatureAt(b, at, central::kSignature);
    };
    if (end.directorySize > directoryEnd)
        return Fault(ZipFault::CentralDirectoryOutsideFile, endAt);
    const uint64_t directoryStart = directoryEnd - end.directorySize;
    if (directoryStart >= end.directoryOffset && startsDirectory(directoryStart)) {
        layout.bias = directoryStart - end.directoryOffset;
    } else if (Inside(end.directoryOffset, end.directorySize, directoryEnd) && startsDirectory(end.directoryOffset)) {
        layout.bias = 0;
    } else {
        return Fault(ZipFault::CentralDirectoryOutsideFile, endAt);
    }
    located = true;
    layout.directory = Span{end.directoryOffset + layout.bias, end.directorySize};
    layout.tail = Span{layout.directory.End(), b.size() - layout.directory.End()};

    // Central directory records, as many as the end record counts.
    if (end.entries > end.directorySize / central::kSize)
        return Fault(ZipFault::BadCentralRecord, layout.directory.offset);
    layout.entries.resize(static_cast<std::size_t>(end.entries));
    uint64_t at = layout.directory.offset;
    const uint64_t directoryLimit = layout.directory.End();
    for (EntryLayout& e : layout.entries) {
        if (!Inside(at, central::kSize, directoryLimit) || Le32(b, at) != central::kSignature)
            return Fault(ZipFault::BadCentralRecord, at);
        CentralRecord& c = e.central;
        const uint64_t nameLength = Le16(b, at + central::kNameLength);
        const uint64_t extraLength = Le16(b, at + central::kExtraLength);
        const uint64_t commentLength = Le16(b, at + central::kCommentLength);
        c.record = Span{at, central::kSize + nameLength + extraLength + commentLength};
        if (!Inside(at, c.record.length, directoryLimit))
            return Fault(ZipFault::BadCentralRecord, at);
        c.name = Span{at + central::kSize, nameLength};
        c.extra = Span{c.name.End(), extraLength};
        c.comment = Span{c.extra.End(), commentLength};
        c.versionMadeBy = Le16(b, at + central::kVersionMadeBy);
        c.versionNeeded = Le16(b, at + central::kVersionNeeded);
        c.flags = Le16(b, at + central::kFlags);
        c.method = Le16(b, at + central::kMethod);
        c.time = Le16(b, at + central::kTime);
        c.date = Le16(b, at + central::kDate);
        c.crc = Le32(b, at + central::kCrc);
        c.compressedSize = Le32(b, at + central::kCompressedSize);
        c.size = Le32(b, at + central::kUncompressedSize);
        c.internalAttributes = Le16(b, at + central::kInternal);
        c.externalAttributes = Le32(b, at + central::kExternal);
        c.localOffset = Le32(b, at + central::kLocalOffset);
        if (!ReadCentralZip64(b, c))
            return Fault(ZipFault::Zip64Shape, at, b.substr(c.name.offset, c.name.length));
        at = c.record.End();
    }
    // A directory holding more records than counted would lose the rest on a rewrite.
    if (SignatureAt(b, at, central::kSignature) && Inside(at, central::kSize, directoryLimit))
        return Fault(ZipFault::BadCentralRecord, at);

    // Local headers and data, which must all lie before the central directory.
    const uint64_t entriesLimit = layout.directory.offset;
    for (EntryLayout& e : layout.entries) {
        const CentralRecord& c = e.central;
        const std::string_view name = b.substr(c.name.offset, c.name.length);
        if (c.localOffset > entriesLimit || !Inside(c.localOffset + layout.bias, local::kSize, entriesLimit))
            return Fault(ZipFault::BadLocalHeader, c.localOffset, name);
        const uint64_t localAt = c.localOffset + layout.bias;
        if (Le32(b, localAt) != local::kSignature)
            return Fault(ZipFault::BadLocalHeader, localAt, name);
        e.local = Span{localAt, local::kSize + Le16(b, localAt + local::kNameLength) +
                                    static_cast<uint64_t>(Le16(b, localAt + local::kExtraLength))};
        if (!Inside(localAt, e.local.length, entriesLimit))
            return Fault(ZipFault::Truncated, localAt, name);
        e.localFlags = Le16(b, localAt + local::kFlags);
        const uint64_t localExtraLength = Le16(b, localAt + local::kExtraLength);
        const Span localZip64 =
            FindExtra(b, Span{e.local.End() - localExtraLength, localExtraLength}, kZip64ExtraId);
        if (localZip64.length >= 16)
            e.localZip64 = localZip64.offset - localAt;
        e.data = Span{e.local.End(), c.compressedSize};
        if (!Inside(e.data.offset, e.data.length, entriesLimit))
            return Fault(ZipFault::Truncated, e.data.offset, name);
    }

    // In the file's order: no two entries may share bytes; whatever lies between one entry's
    // end and the next one's header is its gap.
    layout.fileOrder.resize(layout.entries.size());
    for (std::size_t i = 0; i < layout.fileOrder.size(); ++i)
        layout.fileOrder[i] = i;
    std::stable_sort(layout.fileOrder.begin(), layout.fileOrder.end(), [&](std::size_t x, std::size_t y) {
        return layout.entries[x].local.offset < layout.entries[y].local.offset;
    });
    for (std::size_t k = 0; k < layout.fileOrder.size(); ++k) {
        EntryLayout& e = layout.entries[layout.fileOrder[k]];
        const uint64_t next =
            k + 1 < layout.fileOrder.size() ? layout.entries[layout.fileOrder[k + 1]].local.offset : entriesLimit;
        if (e.data.End() > next)
            return Fault(ZipFault::OverlappingEntries, next, b.substr(e.central.name.offset, e.central.name.length));
        if (e.localFlags & kFlagDescriptor)
            FindDescriptor(b, e, next);
        const uint64_t endOfEntry = e.descriptor.length ? e.descriptor.End() : e.data.End();
        e.gap = Span{endOfEntry, next - endOfEntry};
    }
    layout.prefix =
        Span{0, layout.fileOrder.empty() ? layout.directory.offset : layout.entries[layout.fileOrder[0]].local.offset};
    return layout;
}

}  // namespace

Result<ZipLayout> ReadZipLayout(std::string_view bytes)
{
    if (bytes.size() < end::kSize)
        return Fault(ZipFault::NoEndRecord, 0);
    // The end record is the last thing in the file but for its comment (at most 65535 bytes),
    // so it is looked for from the end back. An end record whose comment reaches the end of
    // the file is taken first, the earliest of them: a later one lies inside its comment (a zip
    // kept as a comment, say). Then those followed by stray bytes, nearest the end first. The
    // first whose directory lies where it says is the archive's, as unzip and the JVM take it.
    const uint64_t last = bytes.size() - end::kSize;
    const uint64_t first = last > end::kMaxComment ? last - end::kMaxComment : 0;
    std::vector<uint64_t> exact;
    std::vector<uint64_t> loose;
    for (uint64_t at = last + 1; at-- > first;) {
        if (Le32(bytes, at) != end::kSignature)
            continue;
        const uint64_t endOfComment = at + end::kSize + Le16(bytes, at + end::kCommentLength);
        if (endOfComment == bytes.size())
            exact.push_back(at);
        else if (endOfComment < bytes.size())
            loose.push_back(at);
    }
    std::reverse(exact.begin(), exact.end());
    exact.insert(exact.end(), loose.begin(), loose.end());
    std::optional<Error> firstFailure;
    for (const uint64_t at : exact) {
        bool located = false;
        Result<ZipLayout> layout = ReadFrom(bytes, at, located);
        if (layout || located)
            return layout;
        if (!firstFailure)
            firstFailure = std::move(layout).error();
    }
    if (firstFailure)
        return *firstFailure;
    return Fault(ZipFault::NoEndRecord, bytes.size());
}

}  // namespace cl::zip
