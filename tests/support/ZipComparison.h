#pragma once
// Record-by-record comparison of a zip archive before and after a rewrite, read with the
// engine's own zip reader: what differs beyond what the rewrite was allowed to change. An
// unchanged entry may differ only in where it lies (its central record's offset); a changed
// entry only in its CRC, sizes, data and descriptor; the prefix, the archive comment and the
// order of entries may not change at all.

#include "ErrorText.h"
#include "zip/ZipLayout.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace cltest {

inline std::string_view Bytes(std::string_view zip, cl::zip::Span span)
{
    return zip.substr(span.offset, span.length);
}

inline std::string EntryName(std::string_view zip, const cl::zip::EntryLayout& e)
{
    return std::string(Bytes(zip, e.central.name));
}

// The bytes of `span` with the 8-byte Zip64 value at `slot` (from `recordStart`) zeroed.
inline std::string Masked(std::string_view zip, cl::zip::Span span, uint64_t recordStart, uint64_t slot)
{
    std::string bytes(Bytes(zip, span));
    if (slot != 0) {
        const uint64_t at = recordStart + slot;
        if (at >= span.offset && at + 8 <= span.End())
            bytes.replace(at - span.offset, 8, std::string(8, '\0'));
    }
    return bytes;
}

// The whole central record with its local-header offset (and Zip64 offset) zeroed: all an
// unchanged entry's record may not change.
inline std::string CentralWithoutOffset(std::string_view zip, const cl::zip::CentralRecord& c)
{
    std::string bytes = Masked(zip, c.record, c.record.offset, c.zip64Offset);
    bytes.replace(42, 4, std::string(4, '\0'));
    return bytes;
}

// The local record with its CRC and size fields (and Zip64 sizes) zeroed: what a changed entry
// must keep.
inline std::string LocalWithoutSizes(std::string_view zip, const cl::zip::EntryLayout& e)
{
    std::string bytes(Bytes(zip, e.local));
    bytes.replace(14, 12, std::string(12, '\0'));
    if (e.localZip64 != 0)
        bytes.replace(e.localZip64, 16, std::string(16, '\0'));
    return bytes;
}

// Every difference between `before` and `after` that the rewrite should not have made, as
// readable lines; empty when there is none. `changed` names the entries given new contents,
// `removed` those taken out, `added` those new in `after`; any other entry of `after` must be
// one of `before`, in the same order.
inline std::vector<std::string> RecordDifferences(std::string_view before, std::string_view after,
                                                  const std::set<std::string>& changed,
                                                  const std::set<std::string>& removed = {},
                                                  const std::set<std::string>& added = {})
{
    std::vector<std::string> problems;
    const auto in = cl::zip::ReadZipLayout(before);
    const auto out = cl::zip::ReadZipLayout(after);
    if (!in || !out) {
        problems.push_back(!in ? "the input does not read: " + cltext::DescribeError(in.error())
                               : "the output does not read: " + cltext::DescribeError(out.error()));
        return problems;
    }
    if (Bytes(before, in->prefix) != Bytes(after, out->prefix))
        problems.push_back("the prefix differs");
    if (Bytes(before, in->comment) != Bytes(after, out->comment))
        problems.push_back("the archive comment differs");
    if (in->zip64 != out->zip64)
        problems.push_back("Zip64 end records came or went");

    auto names = [](std::string_view zip, const cl::zip::ZipLayout& layout, const std::vector<std::size_t>& order,
                     const std::set<std::string>& skip) {
        std::vector<std::string> list;
        for (const std::size_t i : order) {
            const std::string name = EntryName(zip, layout.entries[i]);
            if (!skip.count(name))
                list.push_back(name);
        }
        return list;
    };
    std::vector<std::size_t> directoryOrder(in->entries.size());
    for (std::size_t i = 0; i < directoryOrder.size(); ++i)
        directoryOrder[i] = i;
    std::vector<std::size_t> outDirectoryOrder(out->entries.size());
    for (std::size_t i = 0; i < outDirectoryOrder.size(); ++i)
        outDirectoryOrder[i] = i;
    if (names(before, *in, directoryOrder, removed) != names(after, *out, outDirectoryOrder, added))
        problems.push_back("the central directory does not list the same entries in the same order");
    if (names(before, *in, in->fileOrder, removed) != names(after, *out, out->fileOrder, added))
        problems.push_back("the local records do not lie in the same order");
    if (!problems.empty())
        return problems;

    std::size_t k = 0;
    for (const cl::zip::EntryLayout& a : in->entries) {
        const std::string name = EntryName(before, a);
        if (removed.count(name))
            continue;
        while (added.count(EntryName(after, out->entries[k])))
            ++k;
        const cl::zip::EntryLayout& b = out->entries[k++];
        const cl::zip::CentralRecord& ca = a.central;
        const cl::zip::CentralRecord& cb = b.central;
        auto differs = [&](const char* what) { problems.push_back(name + ": " + what + " differs"); };
        if (ca.versionMadeBy != cb.versionMadeBy)
            differs("version made by");
        if (ca.versionNeeded != cb.versionNeeded)
            differs("version needed");
        if (ca.flags != cb.flags)
            differs("central flags");
        if (a.localFlags != b.localFlags)
            differs("local flags");
        if (ca.method != cb.method)
            differs("method");
        if (ca.time != cb.time || ca.date != cb.date)
            differs("time");
        if (ca.internalAttributes != cb.internalAttributes || ca.externalAttributes != cb.externalAttributes)
            differs("attributes");
        if (Bytes(before, ca.comment) != Bytes(after, cb.comment))
            differs("entry comment");
        // The Zip64 offset moves with the entry; a changed entry's Zip64 sizes change with it.
        const bool sized = changed.count(name) != 0;
        auto extra = [&](std::string_view zip, const cl::zip::CentralRecord& c) {
            std::string bytes = Masked(zip, c.extra, c.record.offset, c.zip64Offset);
            for (const uint64_t slot : {c.zip64Size, c.zip64CompressedSize}) {
                if (sized && slot != 0)
                    bytes.replace(c.record.offset + slot - c.extra.offset, 8, std::string(8, '\0'));
            }
            return bytes;
        };
        if (extra(before, ca) != extra(after, cb))
            differs("central extra field");
        if (changed.count(name)) {
            if (LocalWithoutSizes(before, a) != LocalWithoutSizes(after, b))
                differs("local record beyond CRC and sizes");
            if ((a.descriptor.length != 0) != (b.descriptor.length != 0) ||
                a.descriptorSigned != b.descriptorSigned || a.descriptorWide != b.descriptorWide)
                differs("kind of data descriptor");
            if (Bytes(before, a.gap) != Bytes(after, b.gap))
                differs("gap after the entry");
            continue;
        }
        if (ca.crc != cb.crc || ca.size != cb.size || ca.compressedSize != cb.compressedSize)
            differs("CRC or sizes");
        if (CentralWithoutOffset(before, ca) != CentralWithoutOffset(after, cb))
            differs("central record beyond its offset");
        if (Bytes(before, a.local) != Bytes(after, b.local))
            differs("local record");
        if (Bytes(before, a.data) != Bytes(after, b.data))
            differs("data");
        if (Bytes(before, a.descriptor) != Bytes(after, b.descriptor))
            differs("data descriptor");
        if (Bytes(before, a.gap) != Bytes(after, b.gap))
            differs("gap after the entry");
    }
    return problems;
}

}  // namespace cltest
