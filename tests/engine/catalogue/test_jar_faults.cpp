// What the JAR archive does with archives that are broken, hostile or lie in their records:
// opening fails with the fault named; an entry that cannot be read, or would inflate past the
// read's limit, is refused on its own with its name; memory is owned on every path, including
// a finish that fails (the sanitizer build checks this).

#include "zip/JarArchive.h"
#include "ErrorText.h"
#include "zip/EntryCodec.h"
#include "zip/ZipFault.h"
#include "zip/ZipRecords.h"

#include "HandZip.h"
#include "ZipBytes.h"

#include <libdeflate.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using cl::ErrorKind;
using cl::zip::JarArchive;
using cl::zip::ZipFault;
namespace hz = cltest::handzip;
namespace rec = cl::zip::records;

uint16_t Code(ZipFault fault)
{
    return static_cast<uint16_t>(fault);
}

std::vector<hz::Entry> ThreeEntries()
{
    std::vector<hz::Entry> entries(3);
    entries[0].name = "a.txt";
    entries[0].contents = std::string(300, 'a');
    entries[1].name = "b.class";
    entries[1].contents = "\xCA\xFE\xBA\xBE and more bytes";
    entries[2].name = "c.txt";
    entries[2].contents = "stored";
    entries[2].deflate = false;
    return entries;
}

// Where the records of a small hand-made archive lie, for patching them.
struct Places {
    std::string bytes;
    uint64_t end = 0;        // the end record
    uint64_t directory = 0;  // the first central record
    uint64_t second = 0;     // the second central record
};

Places Plain(const hz::Options& options = {})
{
    Places p;
    p.bytes = hz::Build(ThreeEntries(), options);
    p.end = p.bytes.rfind(std::string("PK\5\6", 4));
    p.directory = p.bytes.find(std::string("PK\1\2", 4));
    p.second = p.bytes.find(std::string("PK\1\2", 4), p.directory + 4);
    return p;
}

void Put32(std::string& b, uint64_t at, uint32_t v)
{
    rec::Put32(b, at, v);
}

struct OpenCase {
    const char* name;
    std::function<std::string()> bytes;
    ZipFault fault;
};

std::vector<OpenCase> OpenCases()
{
    return {
        {"empty", [] { return std::string(); }, ZipFault::NoEndRecord},
        {"text", [] { return std::string("just text\n"); }, ZipFault::NoEndRecord},
        {"a local header and nothing else", [] { return std::string("PK\3\4garbage", 11); }, ZipFault::NoEndRecord},
        {"cut before its end record",
         [] {
             const Places p = Plain();
             return p.bytes.substr(0, p.end + 10);
         },
         ZipFault::NoEndRecord},
        {"directory said to start past the end",
         [] {
             Places p = Plain();
             Put32(p.bytes, p.end + rec::end::kDirectoryOffset, 0x00FFFFFF);
             return p.bytes;
         },
         ZipFault::CentralDirectoryOutsideFile},
        {"directory larger than the file",
         [] {
             Places p = Plain();
             Put32(p.bytes, p.end + rec::end::kDirectorySize, 0x7FFFFFFF);
             return p.bytes;
         },
         ZipFault::CentralDirectoryOutsideFile},
        {"more entries counted than the directory can hold",
         [] {
             Places p = Plain();
             rec::Put16(p.bytes, p.end + rec::end::kEntries, 0x7FFF);
             rec::Put16(p.bytes, p.end + rec::end::kEntriesHere, 0x7FFF);
             return p.bytes;
         },
         ZipFault::BadCentralRecord},
        {"one entry more counted than there is",
         [] {
             Places p = Plain();
             rec::Put16(p.bytes, p.end + rec::end::kEntries, 4);
             rec::Put16(p.bytes, p.end + rec::end::kEntriesHere, 4);
             return p.bytes;
         },
         ZipFault::BadCentralRecord},
        {"one entry fewer counted than there is",
         [] {
             Places p = Plain();
             rec::Put16(p.bytes, p.end + rec::end::kEntries, 2);
             rec::Put16(p.bytes, p.end + rec::end::kEntriesHere, 2);
             return p.bytes;
         },
         ZipFault::BadCentralRecord},
        {"local header not where the directory says",
         [] {
             Places p = Plain();
             Put32(p.bytes, p.second + rec::central::kLocalOffset,
                   rec::Le32(p.bytes, p.second + rec::central::kLocalOffset) + 1);
             return p.bytes;
         },
         ZipFault::BadLocalHeader},
        {"local offset past the directory",
         [] {
             Places p = Plain();
             Put32(p.bytes, p.second + rec::central::kLocalOffset, 0x7FFFFFF0);
             return p.bytes;
         },
         ZipFault::BadLocalHeader},
        {"compressed size running into the directory",
         [] {
             Places p = Plain();
             Put32(p.bytes, p.second + rec::central::kCompressedSize, 0x00FFFFFF);
             return p.bytes;
         },
         ZipFault::Truncated},
        {"two entries on one local header",
         [] {
             Places p = Plain();
             Put32(p.bytes, p.second + rec::central::kLocalOffset, 0);
             return p.bytes;
         },
         ZipFault::OverlappingEntries},
        {"a second disk",
         [] {
             Places p = Plain();
             rec::Put16(p.bytes, p.end + rec::end::kDisk, 1);
             return p.bytes;
         },
         ZipFault::SplitArchive},
        {"Zip64 locator pointing at no Zip64 end record",
         [] {
             std::string bytes = hz::Build(ThreeEntries(), {"", false, "", true, ""});
             const uint64_t record = bytes.rfind(std::string("PK\6\6", 4));
             bytes[record + 3] = 'X';
             return bytes;
         },
         ZipFault::Zip64Shape},
        {"Zip64 size without its extra field",
         [] {
             Places p = Plain();
             Put32(p.bytes, p.second + rec::central::kUncompressedSize, rec::kMax32);
             return p.bytes;
         },
         ZipFault::Zip64Shape},
    };
}

TEST(JarArchiveFaults, BrokenArchivesAreRefusedWithTheirFault)
{
    for (const OpenCase& c : OpenCases()) {
        auto jar = JarArchive::Open(c.bytes());
        ASSERT_FALSE(jar) << c.name;
        EXPECT_EQ(jar.error().kind, ErrorKind::BadArchive) << c.name;
        EXPECT_EQ(jar.error().fault, Code(c.fault)) << c.name << ": " << cl::zip::ZipFaultName(c.fault);
        // The reason is the fault, never words.
        EXPECT_TRUE(jar.error().detail.empty()) << c.name;
    }
    // Where the fault lies is the offset of the record at fault: the end record of an archive
    // that says it spans two disks.
    Places split = Plain();
    rec::Put16(split.bytes, split.end + rec::end::kDisk, 1);
    const auto refused = JarArchive::Open(split.bytes);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().offset, split.end);
    // The untouched archive the cases start from opens, so each case is refused for its fault.
    EXPECT_TRUE(JarArchive::Open(Plain().bytes));
    EXPECT_TRUE(JarArchive::Open(hz::Build(ThreeEntries(), {"", false, "", true, ""})));
}

// Every single byte of a small archive changed in turn: whatever opens must read, rewrite and
// open again without a fault of memory, and whatever does not open says why.
TEST(JarArchiveFaults, EveryDamagedByteIsRefusedOrReadSafely)
{
    const std::string good = Plain({"#!", false, "note", false, ""}).bytes;
    std::size_t opened = 0;
    for (std::size_t at = 0; at < good.size(); ++at) {
        for (const char change : {'\x01', '\x80'}) {
            std::string bytes = good;
            bytes[at] = static_cast<char>(bytes[at] ^ change);
            auto jar = JarArchive::Open(bytes);
            if (!jar) {
                EXPECT_EQ(jar.error().kind, ErrorKind::BadArchive) << at;
                continue;
            }
            ++opened;
            std::vector<uint64_t> all;
            for (const auto& entry : (*jar)->Entries())
                all.push_back(entry.index);
            for (const auto& data : (*jar)->ReadMany(all, 4096)) {
                if (!data) {
                    EXPECT_TRUE(data.error().kind == ErrorKind::EntryUnreadable ||
                                data.error().kind == ErrorKind::EntryTooLarge)
                        << at;
                }
            }
            if (!all.empty()) {
                // Refused only for an entry that could not be written back the same way.
                const cl::Status replaced = (*jar)->Replace(all.back(), "new");
                if (!replaced) {
                    EXPECT_EQ(replaced.error().kind, ErrorKind::ArchiveWrite) << at;
                }
            }
            auto output = (*jar)->Finish();
            if (output) {
                EXPECT_TRUE(JarArchive::Open(*output)) << "the rewrite of a damaged byte at " << at << " does not open";
            }
        }
    }
    EXPECT_GT(opened, good.size() / 2) << "most bytes are data, names and times that a reader does not check";
}

struct EntryCase {
    const char* name;
    std::function<void(hz::Entry&)> make;
    uint64_t limit;
    ErrorKind kind;  // ReadFailed stands for: it reads
    ZipFault fault;
};

constexpr uint64_t kMiB = uint64_t{1} << 20;

std::vector<EntryCase> EntryCases()
{
    return {
        {"encrypted", [](hz::Entry& e) { e.encrypted = true; }, kMiB, ErrorKind::EntryUnreadable, ZipFault::Encrypted},
        {"bzip2", [](hz::Entry& e) { e.method = 12; }, kMiB, ErrorKind::EntryUnreadable, ZipFault::UnsupportedMethod},
        {"deflated bytes that do not inflate", [](hz::Entry& e) { e.data = std::string(40, '\xff'); }, kMiB,
         ErrorKind::EntryUnreadable, ZipFault::BadData},
        {"wrong CRC", [](hz::Entry& e) { e.statedCrc = 0x12345678; }, kMiB, ErrorKind::EntryUnreadable,
         ZipFault::CrcMismatch},
        {"stated larger than it inflates", [](hz::Entry& e) { e.statedSize = e.contents.size() + 10; }, kMiB,
         ErrorKind::EntryUnreadable, ZipFault::SizeMismatch},
        {"inflates past its stated size, within the limit", [](hz::Entry& e) { e.statedSize = 100; }, kMiB,
         ErrorKind::EntryUnreadable, ZipFault::SizeMismatch},
        {"stored with two sizes",
         [](hz::Entry& e) {
             e.deflate = false;
             e.statedSize = e.contents.size() - 1;
         },
         kMiB, ErrorKind::EntryUnreadable, ZipFault::SizeMismatch},
        {"stated past the limit",
         [](hz::Entry& e) { e.contents = std::string(2 * kMiB, 'z'); }, kMiB, ErrorKind::EntryTooLarge,
         ZipFault::TooLarge},
        {"stated small, inflates past the limit",
         [](hz::Entry& e) {
             e.contents = std::string(3 * kMiB, '\0');
             e.statedSize = 100;
         },
         kMiB, ErrorKind::EntryTooLarge, ZipFault::TooLarge},
        {"stated zero, inflates past the limit",
         [](hz::Entry& e) {
             e.contents = std::string(3 * kMiB, '\0');
             e.statedSize = 0;
         },
         kMiB, ErrorKind::EntryTooLarge, ZipFault::TooLarge},
        {"stored past the limit",
         [](hz::Entry& e) {
             e.contents = std::string(kMiB + 1, 's');
             e.deflate = false;
         },
         kMiB, ErrorKind::EntryTooLarge, ZipFault::TooLarge},
        {"exactly at the limit", [](hz::Entry& e) { e.contents = std::string(kMiB, '\0'); }, kMiB,
         ErrorKind::ReadFailed, ZipFault::None},
    };
}

TEST(JarArchiveFaults, AnEntryThatCannotBeReadIsRefusedAloneWithItsName)
{
    for (const EntryCase& c : EntryCases()) {
        std::vector<hz::Entry> entries = ThreeEntries();
        entries[1].contents = std::string(5000, 'q');
        c.make(entries[1]);
        const std::string input = hz::Build(entries);
        auto jar = JarArchive::Open(input);
        ASSERT_TRUE(jar) << c.name << ": " << cltext::DescribeError(jar.error());
        const auto one = (*jar)->Read(1, c.limit);
        const auto many = (*jar)->ReadMany({0, 1, 2}, c.limit);
        ASSERT_EQ(many.size(), 3u);
        EXPECT_TRUE(many[0]) << c.name << ": the entry before it";
        EXPECT_TRUE(many[2]) << c.name << ": the entry after it";
        if (c.kind == ErrorKind::ReadFailed) {
            ASSERT_TRUE(one) << c.name << ": " << cltext::DescribeError(one.error());
            ASSERT_TRUE(many[1]) << c.name;
            EXPECT_EQ(*one, entries[1].contents) << c.name;
            continue;
        }
        for (const auto* result : {&one, &many[1]}) {
            ASSERT_FALSE(*result) << c.name;
            EXPECT_EQ(result->error().kind, c.kind) << c.name;
            EXPECT_EQ(result->error().fault, Code(c.fault)) << c.name << ": " << cltext::DescribeError(result->error());
            EXPECT_EQ(result->error().entry, "b.class") << c.name;
            if (c.kind == ErrorKind::EntryTooLarge) {
                EXPECT_EQ(result->error().limit, c.limit) << c.name;
            }
        }
        // Copied unchanged when a neighbour changes.
        ASSERT_TRUE((*jar)->Replace(0, "changed"));
        auto output = (*jar)->Finish();
        ASSERT_TRUE(output) << c.name;
        const auto before = cl::zip::ReadZipLayout(input);
        const auto after = cl::zip::ReadZipLayout(*output);
        ASSERT_TRUE(before && after) << c.name;
        EXPECT_EQ(output->substr(after->entries[1].local.offset, after->entries[1].gap.End() - after->entries[1].local.offset),
                  input.substr(before->entries[1].local.offset,
                               before->entries[1].gap.End() - before->entries[1].local.offset))
            << c.name;
    }
}

TEST(JarArchiveFaults, TheDefaultLimitIsSixtyFourMebibytes)
{
    EXPECT_EQ(JarArchive::kEntryLimit, 64 * kMiB);
    std::vector<hz::Entry> entries = ThreeEntries();
    entries[1].contents = std::string(1000, 'x');
    entries[1].statedSize = JarArchive::kEntryLimit + 1;
    auto jar = JarArchive::Open(hz::Build(entries));
    ASSERT_TRUE(jar);
    const auto data = (*jar)->Read(1);
    ASSERT_FALSE(data);
    EXPECT_EQ(data.error().kind, ErrorKind::EntryTooLarge);
    EXPECT_EQ(data.error().limit, JarArchive::kEntryLimit);
}

// Deflate makes at most 1032 bytes of each byte it is given. The best a compressor does (zeros
// at libdeflate's strongest level) is read; a stated size past what the stored bytes could make
// is refused without inflating; and a buffer that held a failed entry is given back, not kept
// for the next entry read into it.
TEST(JarArchiveFaults, AStatedSizeTheDataCannotMakeIsRefusedAndNoBufferIsKept)
{
    const std::string zeros(8 * kMiB, '\0');
    libdeflate_compressor* c = libdeflate_alloc_compressor(12);
    std::string best(libdeflate_deflate_compress_bound(c, zeros.size()), '\0');
    best.resize(libdeflate_deflate_compress(c, zeros.data(), zeros.size(), best.data(), best.size()));
    libdeflate_free_compressor(c);
    ASSERT_TRUE(cl::zip::DeflateCanMake(best.size(), zeros.size())) << "ratio " << zeros.size() / best.size();

    struct Case {
        const char* name;
        uint64_t stated;
        ZipFault fault;
    };
    const uint64_t most = best.size() * cl::zip::kMaxDeflateRatio;
    const std::vector<Case> cases = {
        {"the true size", zeros.size(), ZipFault::None},
        {"more than it makes, but as much as it could", most, ZipFault::SizeMismatch},
        {"more than it could make", most + cl::zip::kMaxDeflateRatio, ZipFault::SizeMismatch},
        {"sixty MiB", 60 * kMiB, ZipFault::SizeMismatch},
    };
    for (const Case& k : cases) {
        std::vector<hz::Entry> entries = ThreeEntries();
        entries[1].contents = zeros;
        entries[1].data = best;
        entries[1].statedSize = k.stated;
        const std::string input = hz::Build(entries);
        const auto layout = cl::zip::ReadZipLayout(input);
        ASSERT_TRUE(layout) << k.name;
        cl::zip::Inflater inflater;
        std::string out(kMiB, 'x');  // what a previous entry left
        bool overflowed = true;
        const ZipFault fault =
            cl::zip::ReadEntryContents(input, layout->entries[1], JarArchive::kEntryLimit, inflater, out, overflowed);
        EXPECT_EQ(fault, k.fault) << k.name;
        if (k.fault == ZipFault::None) {
            EXPECT_EQ(out, zeros) << k.name;
            continue;
        }
        EXPECT_TRUE(out.empty()) << k.name;
        EXPECT_LT(out.capacity(), 64u) << k.name << ": the failed entry's buffer is still held";
        EXPECT_FALSE(overflowed && k.stated > most) << k.name << ": inflated although it could not make the size";
    }
}

// The budget of one archive: 128 MiB, or eight times a larger archive's size.
TEST(JarArchiveFaults, TheBudgetIsAFloorOrEightTimesTheArchive)
{
    EXPECT_EQ(JarArchive::kBudgetFloor, 128 * kMiB);
    struct Case {
        const char* name;
        std::size_t stored;  // bytes of one stored entry
    };
    for (const Case& k : {Case{"small", 1000}, Case{"just under sixteen MiB", 16 * kMiB - 4096},
                          Case{"twenty MiB", 20 * kMiB}}) {
        std::vector<hz::Entry> entries = ThreeEntries();
        entries[2].contents = std::string(k.stored, 's');
        const std::string input = hz::Build(entries);
        auto jar = JarArchive::Open(input);
        ASSERT_TRUE(jar) << k.name;
        const uint64_t expected = std::max<uint64_t>(JarArchive::kBudgetFloor, input.size() * JarArchive::kBudgetRatio);
        EXPECT_EQ((*jar)->ReadBudget(), expected) << k.name;
    }
}

// What a program takes from an archive is counted in the archive's order by stated sizes: an
// entry that would pass the budget is passed over and named, a smaller one after it still
// fits, and what a read refuses anyway (past the entry limit, lying about its size, stored
// in another method) takes nothing.
TEST(JarArchiveFaults, EntriesPastTheBudgetArePassedOverInOrderWithTheirNames)
{
    const std::string fifty(50 * kMiB, '\0');
    std::vector<hz::Entry> entries(7);
    for (std::size_t i = 0; i < 3; ++i) {
        entries[i].name = "Big" + std::to_string(i) + ".class";
        entries[i].contents = fifty;
    }
    entries[3].name = "Lying.class";  // 60 MiB stated over a few bytes
    entries[3].contents = "tiny";
    entries[3].statedSize = 60 * kMiB;
    entries[4].name = "Huge.class";  // past the entry limit
    entries[4].contents = "tiny";
    entries[4].statedSize = JarArchive::kEntryLimit + 1;
    entries[5].name = "Other.class";  // neither stored nor deflated
    entries[5].contents = std::string(20 * kMiB, 'o');
    entries[5].data = "x";
    entries[5].method = 12;
    entries[6].name = "Small.class";
    entries[6].contents = std::string(20 * kMiB, 'm');
    auto jar = JarArchive::Open(hz::Build(entries));
    ASSERT_TRUE(jar);
    std::vector<uint64_t> indices = {0, 1, 2, 3, 4, 5, 6};
    const std::vector<cl::Error> passedOver = (*jar)->KeepWithinBudget(indices);
    EXPECT_EQ(indices, (std::vector<uint64_t>{0, 1, 3, 4, 5, 6}));
    ASSERT_EQ(passedOver.size(), 1u);
    EXPECT_EQ(passedOver[0].kind, ErrorKind::EntryTooLarge);
    EXPECT_EQ(passedOver[0].fault, Code(ZipFault::BudgetSpent));
    EXPECT_EQ(passedOver[0].entry, "Big2.class");
    EXPECT_EQ(passedOver[0].limit, JarArchive::kBudgetFloor);

    // Asked for in another order, other entries are passed over.
    std::vector<uint64_t> reversed = {6, 2, 1, 0};
    const std::vector<cl::Error> others = (*jar)->KeepWithinBudget(reversed);
    EXPECT_EQ(reversed, (std::vector<uint64_t>{6, 2, 1}));
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(others[0].entry, "Big0.class");
}

// The archive owns what it reads and writes: dropping it unfinished after changes, finishing
// it twice, and dropping it after a finish that failed are all clean (the sanitizer build
// would see a double or foreign free), and a failed finish leaves it usable.
TEST(JarArchiveFaults, TheArchiveOwnsItsMemoryOnEveryPath)
{
    const std::string input = hz::Build(ThreeEntries());
    {
        auto jar = JarArchive::Open(input);
        ASSERT_TRUE(jar);
        ASSERT_TRUE((*jar)->Replace(1, "replaced"));
        ASSERT_TRUE((*jar)->AddAfter(0, "added.txt", false, "added"));
    }  // dropped unfinished, as the window's cancel does
    {
        auto jar = JarArchive::Open(input);
        ASSERT_TRUE(jar);
        ASSERT_TRUE((*jar)->Replace(1, "replaced"));
        const auto first = (*jar)->Finish();
        const auto second = (*jar)->Finish();
        ASSERT_TRUE(first && second);
        EXPECT_EQ(*first, *second);
    }

    // 65535 entries fill the end record's 16-bit count: one more cannot be written without
    // Zip64 records, which this archive does not have.
    std::vector<hz::Entry> entries(0xFFFF);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].name = "e" + std::to_string(i);
        entries[i].deflate = false;
    }
    const std::string full = hz::Build(entries);
    auto jar = JarArchive::Open(full);
    ASSERT_TRUE(jar) << cltext::DescribeError(jar.error());
    ASSERT_EQ((*jar)->Entries().size(), 0xFFFFu);
    ASSERT_TRUE((*jar)->AddAfter(0, "one too many", false, "x"));
    const auto failed = (*jar)->Finish();
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().kind, ErrorKind::ArchiveWrite);
    EXPECT_EQ(failed.error().fault, Code(ZipFault::NeedsZip64));
    ASSERT_TRUE((*jar)->Remove(5));
    const auto written = (*jar)->Finish();
    ASSERT_TRUE(written) << cltext::DescribeError(written.error());
    auto reread = JarArchive::Open(*written);
    ASSERT_TRUE(reread);
    EXPECT_EQ((*reread)->Entries().size(), 0xFFFFu);
    EXPECT_EQ((*reread)->Entries()[1].name, "one too many");
    EXPECT_EQ((*reread)->Entries()[5].name, "e4");
    EXPECT_EQ((*reread)->Entries()[6].name, "e6");
}

}  // namespace
