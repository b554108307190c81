#include "zip/JarArchive.h"

#include "zip/Parallel.h"
#include "zip/EntryCodec.h"
#include "zip/ZipFault.h"
#include "zip/ZipRecords.h"
#include "zip/ZipWriter.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace cl::zip {

namespace {

using zip::ZipFault;

Error EntryError(ZipFault fault, const std::string& entry, uint64_t limit)
{
    const bool tooLarge = fault == ZipFault::TooLarge || fault == ZipFault::BudgetSpent;
    Error error(tooLarge ? ErrorKind::EntryTooLarge : ErrorKind::EntryUnreadable);
    error.fault = static_cast<uint16_t>(fault);
    error.entry = entry;
    if (tooLarge)
        error.limit = limit;
    return error;
}

Error WriteError(ZipFault fault, const std::string& entry = {})
{
    Error error(ErrorKind::ArchiveWrite);
    error.fault = static_cast<uint16_t>(fault);
    error.entry = entry;
    return error;
}

// What one thread needs to make the new contents of entries.
struct Codecs {
    zip::Inflater inflater;
    zip::Deflater deflater;
};

void InsertAfter(std::vector<uint64_t>& order, uint64_t after, uint64_t added)
{
    const auto at = std::find(order.begin(), order.end(), after);
    order.insert(at == order.end() ? at : at + 1, added);
}

}  // namespace

Result<std::unique_ptr<JarArchive>> JarArchive::Open(std::string bytes)
{
    std::unique_ptr<JarArchive> jar(new JarArchive());
    jar->input_ = std::move(bytes);
    Result<zip::ZipLayout> layout = zip::ReadZipLayout(jar->input_);
    if (!layout)
        return std::move(layout).error();
    jar->layout_ = std::move(*layout);

    const std::vector<zip::EntryLayout>& records = jar->layout_.entries;
    jar->entries_.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const zip::CentralRecord& c = records[i].central;
        JarEntry entry;
        entry.name.assign(jar->input_, static_cast<std::size_t>(c.name.offset), static_cast<std::size_t>(c.name.length));
        entry.utf8 = (c.flags & zip::records::kFlagUtf8) != 0;
        entry.index = i;
        entry.directory = !entry.name.empty() && entry.name.back() == '/';
        entry.size = c.size;
        entry.compressedSize = c.compressedSize;
        entry.crc = c.crc;
        entry.method = c.method;
        entry.encrypted = ((c.flags | records[i].localFlags) & zip::records::kFlagEncrypted) != 0;
        jar->entries_.push_back(std::move(entry));
    }
    jar->pending_.resize(records.size());
    jar->directoryOrder_.resize(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        jar->directoryOrder_[i] = i;
    jar->fileOrder_.assign(jar->layout_.fileOrder.begin(), jar->layout_.fileOrder.end());
    return Result<std::unique_ptr<JarArchive>>(std::move(jar));
}

Result<std::string> JarArchive::ReadOne(uint64_t index, uint64_t limit) const
{
    if (index >= entries_.size())
        return EntryError(ZipFault::NoSuchEntry, std::string(), limit);
    const JarEntry& entry = entries_[index];
    if (entry.added) {
        const std::string& data = pending_[index].data;
        if (data.size() > limit)
            return EntryError(ZipFault::TooLarge, entry.name, limit);
        return data;
    }
    zip::Inflater inflater;
    std::string data;
    bool overflowed = false;
    ZipFault fault = zip::ReadEntryContents(input_, layout_.entries[index], limit, inflater, data, overflowed);
    if (overflowed)
    {
        const zip::Span raw = layout_.entries[index].data;
        fault = inflater.PassesLimit(std::string_view(input_).substr(raw.offset, raw.length), limit)
                    ? ZipFault::TooLarge
                    : ZipFault::SizeMismatch;
    }
    if (fault != ZipFault::None)
        return EntryError(fault, entry.name, limit);
    return data;
}

Result<std::string> JarArchive::Read(uint64_t index, uint64_t limit) const
{
    return ReadOne(index, limit);
}

std::vector<Result<std::string>> JarArchive::ReadMany(const std::vector<uint64_t>& indices, uint64_t limit) const
{
    std::vector<std::string> data(indices.size());
    std::vector<ZipFault> faults(indices.size(), ZipFault::None);
    std::vector<char> overflowed(indices.size(), 0);
    std::vector<char> direct(indices.size(), 0);
    ForEachInParallelWith<zip::Inflater>(indices.size(), [&](zip::Inflater& inflater, std::size_t i) {
        const uint64_t index = indices[i];
        if (index >= entries_.size() || entries_[index].added)
            return;
        bool over = false;
        faults[i] = zip::ReadEntryContents(input_, layout_.entries[index], limit, inflater, data[i], over);
        overflowed[i] = over ? 1 : 0;
        direct[i] = 1;
    });
    // An entry that inflates past its stated size is inflated again up to the limit to tell
    // whether it is too large or only mislabelled; one at a time, so that only one buffer of
    // the limit's size is ever held.
    std::vector<Result<std::string>> results;
    results.reserve(indices.size());
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (!direct[i] || overflowed[i]) {
            results.push_back(ReadOne(indices[i], limit));
            continue;
        }
        if (faults[i] != ZipFault::None)
            results.push_back(EntryError(faults[i], entries_[indices[i]].name, limit));
        else
            results.push_back(std::move(data[i]));
    }
    return results;
}

uint64_t JarArchive::ReadBudget() const
{
    const uint64_t size = input_.size();
    return size > kBudgetFloor / kBudgetRatio ? size * kBudgetRatio : kBudgetFloor;
}

std::vector<Error> JarArchive::KeepWithinBudget(std::vector<uint64_t>& indices, uint64_t limit) const
{
    const uint64_t budget = ReadBudget();
    uint64_t left = budget;
    std::vector<Error> passedOver;
    std::size_t kept = 0;
    for (const uint64_t index : indices) {
        if (index < entries_.size()) {
            const JarEntry& entry = entries_[index];
            // Only what a read would hold counts: not an entry it refuses before inflating.
            const bool stored = entry.method == zip::records::kMethodStored;
            const bool deflated = entry.method == zip::records::kMethodDeflated;
            const bool held = entry.added || (!entry.encrypted && ((stored && entry.compressedSize == entry.size) ||
                                                                   (deflated && zip::DeflateCanMake(
                                                                                    entry.compressedSize, entry.size))));
            const uint64_t takes = entry.added ? pending_[index].data.size() : entry.size;
            if (held && takes <= limit) {
                if (takes > left) {
                    passedOver.push_back(EntryError(ZipFault::BudgetSpent, entry.name, budget));
                    continue;
                }
                left -= takes;
            }
        }
        indices[kept++] = index;
    }
    indices.resize(kept);
    return passedOver;
}

Status JarArchive::Replace(uint64_t index, std::string data)
{
    if (index >= entries_.size())
        return WriteError(ZipFault::NoSuchEntry);
    const JarEntry& entry = entries_[index];
    if (!entry.added) {
        if (entry.encrypted)
            return WriteError(ZipFault::Encrypted, entry.name);
        if (entry.method != zip::records::kMethodStored && entry.method != zip::records::kMethodDeflated)
            return WriteError(ZipFault::UnsupportedMethod, entry.name);
        pending_[index].replaced = true;
    }
    pending_[index].data = std::move(data);
    return Status::Ok();
}

Result<uint64_t> JarArchive::AddAfter(uint64_t after, std::string name, bool utf8, std::string data)
{
    if (after >= entries_.size())
        return WriteError(ZipFault::NoSuchEntry);
    if (name.size() > zip::records::kMax16)
        return WriteError(ZipFault::NameTooLong, name);
    Pending pending;
    if (entries_[after].added) {
        pending.time = pending_[after].time;
        pending.date = pending_[after].date;
    } else {
        pending.time = layout_.entries[after].central.time;
        pending.date = layout_.entries[after].central.date;
    }
    pending.data = std::move(data);
    const uint64_t index = entries_.size();
    JarEntry entry;
    entry.name = std::move(name);
    entry.utf8 = utf8;
    entry.index = index;
    entry.directory = !entry.name.empty() && entry.name.back() == '/';
    entry.size = pending.data.size();
    entry.crc = zip::Crc32(pending.data);
    entry.method = zip::records::kMethodDeflated;
    entry.added = true;
    entries_.push_back(std::move(entry));
    pending_.push_back(std::move(pending));
    InsertAfter(directoryOrder_, after, index);
    InsertAfter(fileOrder_, after, index);
    return index;
}

Status JarArchive::Remove(uint64_t index)
{
    if (index >= entries_.size())
        return WriteError(ZipFault::NoSuchEntry);
    pending_[index].removed = true;
    return Status::Ok();
}

Result<std::string> JarArchive::Finish() const
{
    // The entries that need stored bytes made: replaced and added ones that are kept.
    std::vector<uint64_t> work;
    for (const uint64_t index : directoryOrder_) {
        const Pending& p = pending_[index];
        if (!p.removed && (p.replaced || entries_[index].added))
            work.push_back(index);
    }
    std::vector<zip::StoredContents> stored(work.size());
    std::vector<char> same(work.size(), 0);
    ForEachInParallelWith<Codecs>(work.size(), [&](Codecs& codecs, std::size_t i) {
        const uint64_t index = work[i];
        const std::string& data = pending_[index].data;
        zip::StoredContents& s = stored[i];
        s.size = data.size();
        s.crc = zip::Crc32(data);
        if (!entries_[index].added) {
            // New contents equal to the old leave the entry as it was, byte for byte.
            const zip::EntryLayout& e = layout_.entries[index];
            if (s.size == e.central.size && s.crc == e.central.crc) {
                std::string old;
                bool overflowed = false;
                if (zip::ReadEntryContents(input_, e, s.size, codecs.inflater, old, overflowed) == ZipFault::None &&
                    old == data) {
                    same[i] = 1;
                    return;
                }
            }
            if (e.central.method == zip::records::kMethodStored) {
                s.bytes = data;
                return;
            }
        }
        codecs.deflater.Deflate(data, s.bytes);
    });

    bool changed = false;
    std::vector<zip::OutputEntry> output;
    output.reserve(directoryOrder_.size());
    std::vector<std::size_t> placeOf(entries_.size(), SIZE_MAX);
    std::size_t w = 0;
    for (const uint64_t index : directoryOrder_) {
        const Pending& p = pending_[index];
        const JarEntry& entry = entries_[index];
        if (p.removed) {
            changed = changed || !entry.added;
            continue;
        }
        zip::OutputEntry out;
        if (entry.added) {
            out.from = zip::OutputEntry::From::Added;
            out.contents = &stored[w++];
            out.name = entry.name;
            out.utf8 = entry.utf8;
            out.time = p.time;
            out.date = p.date;
            changed = true;
        } else {
            out.input = static_cast<std::size_t>(index);
            if (p.replaced && !same[w++]) {
                out.from = zip::OutputEntry::From::Replaced;
                out.contents = &stored[w - 1];
                changed = true;
            }
        }
        placeOf[index] = output.size();
        output.push_back(out);
    }
    if (!changed)
        return input_;
    std::vector<std::size_t> fileOrder;
    fileOrder.reserve(output.size());
    for (const uint64_t index : fileOrder_) {
        if (placeOf[index] != SIZE_MAX)
            fileOrder.push_back(placeOf[index]);
    }
    return zip::WriteZip(input_, layout_, output, fileOrder);
}

}  // namespace cl::zip
