// The JAR archive through its public interface, on a table of archive shapes: made by libzip
// and written by hand for what the usual tools make only now and then (Zip64 records, data
// descriptors with and without signature, a prefix under both offset conventions, comments,
// extra fields, stray bytes). For each shape: it reads, it comes back unchanged when nothing
// or nothing real changes, and a rewrite keeps every unchanged record, as the engine's reader
// compares them and as libzip, another implementation, reads the result.

#include "zip/JarArchive.h"
#include "ErrorText.h"
#include "zip/ZipFault.h"

#include "HandZip.h"
#include "ZipBytes.h"
#include "ZipComparison.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using cl::zip::JarArchive;
using cl::zip::JarEntry;
namespace hz = cltest::handzip;

std::string Text(char c, std::size_t n)
{
    std::string text;
    for (std::size_t i = 0; i < n; ++i)
        text += static_cast<char>(c + static_cast<char>(i % 7));
    return text;
}

std::unique_ptr<JarArchive> OpenOrFail(std::string bytes)
{
    auto jar = JarArchive::Open(std::move(bytes));
    EXPECT_TRUE(jar) << (jar ? "" : cltext::DescribeError(jar.error()));
    return jar ? std::move(*jar) : nullptr;
}

uint64_t IndexOf(const JarArchive& jar, const std::string& name)
{
    for (const JarEntry& entry : jar.Entries()) {
        if (entry.name == name)
            return entry.index;
    }
    ADD_FAILURE() << name << " not found";
    return 0;
}

std::string ReadOrFail(const JarArchive& jar, const std::string& name)
{
    auto data = jar.Read(IndexOf(jar, name));
    EXPECT_TRUE(data) << name << ": " << (data ? "" : cltext::DescribeError(data.error()));
    return data ? *data : std::string();
}

std::string FinishOrFail(const JarArchive& jar)
{
    auto bytes = jar.Finish();
    EXPECT_TRUE(bytes) << (bytes ? "" : cltext::DescribeError(bytes.error()));
    return bytes ? *bytes : std::string();
}

std::vector<cltest::ZipEntryPlan> Planned()
{
    return {
        {"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMain-Class: demo.App\r\n\r\n", false, ""},
        {"demo/", "", false, ""},
        {"demo/App.class", Text('a', 5000), false, "app-extra"},
        {"demo/Stored.class", Text('k', 300), true, ""},
        {"demo/Other.class", Text('p', 2000), false, "other"},
        {"lib/nested.jar", "PK\3\4not really", true, ""},
    };
}

// The hand-made entries of most shapes: deflated and stored, a directory, a UTF-8 name.
std::vector<hz::Entry> HandEntries()
{
    std::vector<hz::Entry> entries(5);
    entries[0].name = "META-INF/MANIFEST.MF";
    entries[0].contents = "Manifest-Version: 1.0\r\n\r\n";
    entries[1].name = "demo/";
    entries[1].deflate = false;
    entries[2].name = "demo/App.class";
    entries[2].contents = Text('a', 4000);
    entries[3].name = "demo/Stored.class";
    entries[3].contents = Text('s', 700);
    entries[3].deflate = false;
    entries[4].name = "资源/说明.txt";
    entries[4].contents = "说明文字 " + Text('m', 900);
    entries[4].utf8 = true;
    return entries;
}

std::vector<hz::Entry> Streamed(hz::Descriptor descriptor, bool zip64)
{
    std::vector<hz::Entry> entries = HandEntries();
    for (hz::Entry& e : entries) {
        // The JDK streams deflated entries only; stored ones carry their sizes up front.
        if (e.deflate)
            e.descriptor = descriptor;
        e.zip64 = zip64;
    }
    return entries;
}

const std::string kLauncher = "#!/bin/sh\nexec java -jar \"$0\" \"$@\"\n";

struct Shape {
    std::string name;
    std::string bytes;
    std::map<std::string, std::string> contents;  // every entry's contents
    std::vector<std::string> replaced;            // entries to give new contents
    std::string removed;                          // an entry to take out, or none
    // libzip reads the input (it takes no bytes in front of a zip whose offsets do not count
    // them, nor bytes after the end record), so it must read the output.
    bool libzip = true;
};

Shape FromHand(std::string name, const std::vector<hz::Entry>& entries, const hz::Options& options = {})
{
    Shape shape{std::move(name), hz::Build(entries, options), {}, {"demo/App.class", "demo/Stored.class"}, "", true};
    shape.libzip = (options.prefix.empty() || options.offsetsFromFileStart) && options.trailing.empty();
    for (const hz::Entry& e : entries)
        shape.contents[e.name] = e.contents;
    return shape;
}

std::vector<Shape> Shapes()
{
    std::vector<Shape> shapes;
    {
        Shape shape{"made by libzip", cltest::BuildZip(Planned()), {}, {"demo/App.class", "demo/Stored.class"},
                    "demo/Other.class", true};
        for (const cltest::ZipEntryPlan& plan : Planned())
            shape.contents[plan.name] = plan.data;
        shapes.push_back(shape);
    }
    shapes.push_back(FromHand("plain", HandEntries()));
    shapes.push_back(FromHand("signed data descriptors", Streamed(hz::Descriptor::Signed, false)));
    shapes.push_back(FromHand("unsigned data descriptors", Streamed(hz::Descriptor::Unsigned, false)));
    shapes.push_back(FromHand("Zip64 records", Streamed(hz::Descriptor::None, true), {"", false, "", true, ""}));
    shapes.push_back(FromHand("Zip64 streamed", Streamed(hz::Descriptor::Signed, true), {"", false, "", true, ""}));
    shapes.push_back(FromHand("script in front, offsets from the zip's start", HandEntries(), {kLauncher, false, "", false, ""}));
    shapes.push_back(FromHand("script in front, offsets from the file's start", HandEntries(), {kLauncher, true, "", false, ""}));
    shapes.push_back(FromHand("script in front of Zip64 records", Streamed(hz::Descriptor::Signed, true),
                              {kLauncher, false, "", true, ""}));
    {
        std::vector<hz::Entry> entries = HandEntries();
        entries[0].comment = "the manifest";
        entries[0].gapAfter = "stray bytes after an entry that stays";
        entries[2].extra = std::string("\x55\x54\x05\x00\x01\x00\x00\x80\x5f", 9);  // extended timestamp
        entries[2].comment = "类";
        entries[2].gapAfter = "stray bytes between entries";
        entries[4].extra = std::string("\xfe\xca\x00\x00", 4);
        shapes.push_back(
            FromHand("comments, extra fields and stray bytes", entries, {"", false, "archive comment 档案", false, ""}));
    }
    shapes.push_back(FromHand("bytes after the end record", HandEntries(), {"", false, "comment", false, "trailing"}));
    {
        // A comment that holds a whole (empty) end record of its own.
        const std::string fake = std::string("PK\5\6", 4) + std::string(18, '\0');
        shapes.push_back(FromHand("comment holding an end record", HandEntries(), {"", false, "x" + fake, false, ""}));
    }
    return shapes;
}

void PrintTo(const Shape& shape, std::ostream* os)
{
    *os << shape.name;
}

class Shapes_ : public ::testing::TestWithParam<Shape> {};

TEST_P(Shapes_, ReadsEveryEntry)
{
    const Shape& shape = GetParam();
    const auto jar = OpenOrFail(shape.bytes);
    ASSERT_TRUE(jar);
    ASSERT_EQ(jar->Entries().size(), shape.contents.size());
    std::vector<uint64_t> all;
    for (const JarEntry& entry : jar->Entries()) {
        ASSERT_EQ(shape.contents.count(entry.name), 1u) << entry.name;
        EXPECT_EQ(ReadOrFail(*jar, entry.name), shape.contents.at(entry.name)) << entry.name;
        EXPECT_EQ(entry.directory, entry.name.back() == '/');
        all.push_back(entry.index);
    }
    const auto many = jar->ReadMany(all);
    ASSERT_EQ(many.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::string& name = jar->Entries()[all[i]].name;
        ASSERT_TRUE(many[i]) << name;
        EXPECT_EQ(*many[i], shape.contents.at(name)) << name;
    }
}

TEST_P(Shapes_, NothingChangedGivesTheInputBack)
{
    const Shape& shape = GetParam();
    const auto jar = OpenOrFail(shape.bytes);
    ASSERT_TRUE(jar);
    EXPECT_EQ(FinishOrFail(*jar), shape.bytes);
    // Every entry given the contents it had is no change either.
    for (const JarEntry& entry : jar->Entries())
        ASSERT_TRUE(jar->Replace(entry.index, shape.contents.at(entry.name)));
    EXPECT_EQ(FinishOrFail(*jar), shape.bytes);
}

TEST_P(Shapes_, RewriteKeepsEveryUnchangedRecord)
{
    const Shape& shape = GetParam();
    const auto jar = OpenOrFail(shape.bytes);
    ASSERT_TRUE(jar);
    std::map<std::string, std::string> expected = shape.contents;
    for (const std::string& name : shape.replaced) {
        expected[name] = Text(static_cast<char>('A' + name.size() % 20), 3000 + name.size());
        ASSERT_TRUE(jar->Replace(IndexOf(*jar, name), expected[name]));
    }
    std::set<std::string> removed;
    if (!shape.removed.empty()) {
        ASSERT_TRUE(jar->Remove(IndexOf(*jar, shape.removed)));
        removed.insert(shape.removed);
        expected.erase(shape.removed);
    }
    const std::string output = FinishOrFail(*jar);
    ASSERT_FALSE(output.empty());
    const std::set<std::string> changed(shape.replaced.begin(), shape.replaced.end());
    for (const std::string& problem : cltest::RecordDifferences(shape.bytes, output, changed, removed))
        ADD_FAILURE() << problem;

    // Read back by the engine and by libzip, both checking sizes and CRCs.
    const auto reread = OpenOrFail(output);
    ASSERT_TRUE(reread);
    for (const auto& [name, data] : expected)
        EXPECT_EQ(ReadOrFail(*reread, name), data) << name;
    if (shape.libzip) {
        EXPECT_EQ(cltest::ReadWithLibzip(shape.bytes).error, "") << "the input";
        const cltest::LibzipView view = cltest::ReadWithLibzip(output);
        ASSERT_EQ(view.error, "");
        EXPECT_EQ(view.contents, expected);
    }

    // The same changes give the same bytes again, and the archive is still as it was opened.
    EXPECT_EQ(FinishOrFail(*jar), output);
}

INSTANTIATE_TEST_SUITE_P(JarArchive, Shapes_, ::testing::ValuesIn(Shapes()),
                         [](const ::testing::TestParamInfo<Shape>& info) {
                             std::string name;
                             for (const char c : info.param.name)
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(JarArchive, NamesComeAsStoredWithTheirUtf8Mark)
{
    std::vector<hz::Entry> entries = HandEntries();
    entries.push_back({});
    entries.back().name = std::string("legacy/\xb5\xb5.txt");  // a code-page name, not marked
    entries.back().contents = "x";
    const auto jar = OpenOrFail(hz::Build(entries));
    ASSERT_TRUE(jar);
    ASSERT_EQ(jar->Entries().size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(jar->Entries()[i].name, entries[i].name);
        EXPECT_EQ(jar->Entries()[i].utf8, entries[i].utf8) << entries[i].name;
    }
}

TEST(JarArchive, ChangedEntriesKeepTheirMethodFlagsAndTime)
{
    const std::vector<hz::Entry> entries = Streamed(hz::Descriptor::Signed, false);
    const std::string input = hz::Build(entries);
    const auto jar = OpenOrFail(input);
    ASSERT_TRUE(jar);
    ASSERT_TRUE(jar->Replace(IndexOf(*jar, "demo/App.class"), Text('Z', 6000)));
    ASSERT_TRUE(jar->Replace(IndexOf(*jar, "demo/Stored.class"), "short"));
    const std::string output = FinishOrFail(*jar);
    const auto before = cl::zip::ReadZipLayout(input);
    const auto after = cl::zip::ReadZipLayout(output);
    ASSERT_TRUE(before && after);
    for (const std::size_t i : {std::size_t{2}, std::size_t{3}}) {
        const auto& a = before->entries[i];
        const auto& b = after->entries[i];
        EXPECT_EQ(b.central.method, a.central.method) << i;
        EXPECT_EQ(b.central.flags, a.central.flags) << i;
        EXPECT_EQ(b.localFlags, a.localFlags) << i;
        EXPECT_EQ(b.central.time, a.central.time) << i;
        EXPECT_EQ(b.central.date, a.central.date) << i;
        EXPECT_EQ(b.descriptor.length != 0, a.descriptor.length != 0) << i;
    }
    EXPECT_EQ(after->entries[3].central.compressedSize, 5u) << "a stored entry stays stored";
    EXPECT_EQ(after->entries[2].descriptorSigned, true);
}

TEST(JarArchive, AddsAnEntryRightAfterAnother)
{
    for (const bool prefix : {false, true}) {
        SCOPED_TRACE(prefix ? "with a script in front" : "without a prefix");
        std::vector<hz::Entry> entries = HandEntries();
        entries[2].time = 0x1234;
        entries[2].date = 0x4321;
        const std::string input = hz::Build(entries, {prefix ? kLauncher : "", true, "", false, ""});
        const auto jar = OpenOrFail(input);
        ASSERT_TRUE(jar);
        const std::string bundle = "greeting=你好\n" + Text('b', 5000);
        auto added = jar->AddAfter(IndexOf(*jar, "demo/App.class"), "demo/Messages_zh_CN.properties", true, bundle);
        ASSERT_TRUE(added);
        EXPECT_EQ(*added, entries.size());
        EXPECT_TRUE(jar->Entries()[*added].added);
        EXPECT_EQ(ReadOrFail(*jar, "demo/Messages_zh_CN.properties"), bundle);
        const std::string output = FinishOrFail(*jar);

        for (const std::string& problem :
             cltest::RecordDifferences(input, output, {}, {}, {"demo/Messages_zh_CN.properties"}))
            ADD_FAILURE() << problem;
        const auto layout = cl::zip::ReadZipLayout(output);
        ASSERT_TRUE(layout);
        ASSERT_EQ(layout->entries.size(), entries.size() + 1);
        const cl::zip::EntryLayout& e = layout->entries[3];
        EXPECT_EQ(cltest::EntryName(output, e), "demo/Messages_zh_CN.properties");
        EXPECT_EQ(layout->fileOrder[3], 3u) << "its local record follows the one of the entry it follows";
        EXPECT_EQ(e.central.method, 8);
        EXPECT_LT(e.central.compressedSize, bundle.size());
        EXPECT_EQ(e.central.time, 0x1234);
        EXPECT_EQ(e.central.date, 0x4321);
        EXPECT_EQ(e.central.flags & 0x0800, 0x0800);
        const cltest::LibzipView view = cltest::ReadWithLibzip(output);
        ASSERT_EQ(view.error, "");
        EXPECT_EQ(view.contents.at("demo/Messages_zh_CN.properties"), bundle);
        EXPECT_EQ(view.names.at(3), "demo/Messages_zh_CN.properties");
    }
}

TEST(JarArchive, AnEntryAddedAndThenRemovedLeavesTheInput)
{
    const std::string input = cltest::BuildZip(Planned());
    const auto jar = OpenOrFail(input);
    ASSERT_TRUE(jar);
    auto added = jar->AddAfter(0, "extra.txt", false, "x");
    ASSERT_TRUE(added);
    ASSERT_TRUE(jar->Remove(*added));
    EXPECT_EQ(FinishOrFail(*jar), input);
}

TEST(JarArchive, RefusesChangesItCannotMake)
{
    std::vector<hz::Entry> entries = HandEntries();
    entries[2].method = 12;  // bzip2
    entries[3].encrypted = true;
    const auto jar = OpenOrFail(hz::Build(entries));
    ASSERT_TRUE(jar);
    struct Case {
        const char* what;
        cl::Status status;
        cl::zip::ZipFault fault;
    };
    const Case cases[] = {
        {"replace past the end", jar->Replace(99, "x"), cl::zip::ZipFault::NoSuchEntry},
        {"remove past the end", jar->Remove(99), cl::zip::ZipFault::NoSuchEntry},
        {"other method", jar->Replace(2, "x"), cl::zip::ZipFault::UnsupportedMethod},
        {"encrypted", jar->Replace(3, "x"), cl::zip::ZipFault::Encrypted},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.status) << c.what;
        EXPECT_EQ(c.status.error().kind, cl::ErrorKind::ArchiveWrite) << c.what;
        EXPECT_EQ(c.status.error().fault, static_cast<uint16_t>(c.fault)) << c.what;
    }
    auto tooLong = jar->AddAfter(0, std::string(70000, 'n'), false, "x");
    ASSERT_FALSE(tooLong);
    EXPECT_EQ(tooLong.error().fault, static_cast<uint16_t>(cl::zip::ZipFault::NameTooLong));
    auto nowhere = jar->AddAfter(99, "x", false, "x");
    ASSERT_FALSE(nowhere);
    EXPECT_EQ(nowhere.error().fault, static_cast<uint16_t>(cl::zip::ZipFault::NoSuchEntry));
}

// Many deflated classes, more than one thread's worth, each with its own text.
std::vector<cltest::ZipEntryPlan> ManyClasses(std::size_t count)
{
    std::vector<cltest::ZipEntryPlan> plans;
    for (std::size_t i = 0; i < count; ++i)
        plans.push_back({"demo/C" + std::to_string(i) + ".class", Text(static_cast<char>('a' + i % 20), 500 + i * 37),
                         i % 5 == 4, ""});
    return plans;
}

TEST(JarArchive, ReadingManyAtOnceGivesWhatReadingOneByOneGives)
{
    std::vector<cltest::ZipEntryPlan> plans = ManyClasses(40);
    std::string input = cltest::BuildZip(plans);
    // One deflated class damaged in its compressed bytes: it must come out with the same
    // complaint as a single read makes, and its neighbours must not suffer.
    const auto layout = cl::zip::ReadZipLayout(input);
    ASSERT_TRUE(layout);
    const cl::zip::Span damaged = layout->entries[7].data;
    input[damaged.offset + damaged.length / 2] ^= 0x5A;

    const auto jar = OpenOrFail(input);
    ASSERT_TRUE(jar);
    std::vector<uint64_t> indices;
    for (const JarEntry& entry : jar->Entries())
        indices.push_back(entry.index);
    indices.push_back(indices[3]);  // the same entry twice
    const auto many = jar->ReadMany(indices);
    ASSERT_EQ(many.size(), indices.size());
    std::size_t failures = 0;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const std::string& name = jar->Entries()[indices[i]].name;
        const auto one = jar->Read(indices[i]);
        ASSERT_EQ(many[i].ok(), one.ok()) << name;
        if (!one) {
            ++failures;
            EXPECT_EQ(name, "demo/C7.class");
            EXPECT_EQ(many[i].error().kind, one.error().kind);
            EXPECT_EQ(many[i].error().fault, one.error().fault);
            EXPECT_EQ(many[i].error().entry, name);
            continue;
        }
        EXPECT_EQ(*many[i], *one) << name;
        EXPECT_EQ(*one, plans[indices[i]].data) << name;
    }
    EXPECT_EQ(failures, 1u);
}

// A zip with Zip64 records joined to a script with cat: the locator states the record's place
// in the zip, which lies inside the script, and the record sits right before the locator.
// After a rewrite that makes an entry longer, the stated place of the moved record falls on
// other bytes of the script; when those start like a Zip64 end record (the fuzz finding
// fuzz_zip-rewrite-reads-back-wrong.zip), the rewrite must still read back as written.
TEST(JarArchive, AZip64RecordBehindAScriptReadsBackAfterTheRewriteMovedIt)
{
    std::vector<hz::Entry> entries = Streamed(hz::Descriptor::Signed, true);
    const std::string script = kLauncher + std::string(4096, '#') + "\n";
    const hz::Options options{script, false, "", true, ""};
    const std::string replacement = Text('R', 9000);
    auto rewrite = [&](const std::string& input) {
        const auto jar = OpenOrFail(input);
        EXPECT_TRUE(jar && jar->Replace(IndexOf(*jar, "demo/App.class"), replacement));
        return jar ? FinishOrFail(*jar) : std::string();
    };
    // Where the rewritten record's stated offset points, counted from the file's start.
    const std::string first = rewrite(hz::Build(entries, options));
    const auto layout = cl::zip::ReadZipLayout(first);
    ASSERT_TRUE(layout && layout->zip64);
    const uint64_t stated = layout->zip64End.offset - layout->zip64Bias;
    ASSERT_LT(stated + 56, script.size()) << "the stated place must lie inside the script";

    // The same archive with a Zip64 end record's signature and nonsense counts at that place.
    std::string decoy = script;
    const std::string fake = std::string("PK\6\6", 4) + std::string("\x2c\0\0\0\0\0\0\0", 8) +
                             std::string(44, '\x7f');
    decoy.replace(static_cast<std::size_t>(stated), fake.size(), fake);
    const std::string input = hz::Build(entries, {decoy, false, "", true, ""});
    ASSERT_EQ(input.size(), hz::Build(entries, options).size());
    const std::string output = rewrite(input);
    ASSERT_EQ(output.substr(0, decoy.size()), decoy);

    const auto reread = OpenOrFail(output);
    ASSERT_TRUE(reread);
    ASSERT_EQ(reread->Entries().size(), entries.size());
    for (const hz::Entry& e : entries)
        EXPECT_EQ(ReadOrFail(*reread, e.name), e.name == "demo/App.class" ? replacement : e.contents) << e.name;
}

TEST(JarArchive, ManyReplacedClassesReadBackWithTheirMethodAndTime)
{
    const std::vector<cltest::ZipEntryPlan> plans = ManyClasses(30);
    const std::string input = cltest::BuildZip(plans, 1400000000);
    const auto jar = OpenOrFail(input);
    ASSERT_TRUE(jar);
    std::map<std::string, std::string> expected;
    std::set<std::string> changed;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        expected[plans[i].name] = i % 3 == 0 ? std::string() : Text(static_cast<char>('A' + i % 20), 900 + i * 53);
        changed.insert(plans[i].name);
        ASSERT_TRUE(jar->Replace(IndexOf(*jar, plans[i].name), expected[plans[i].name]));
    }
    const std::string output = FinishOrFail(*jar);
    for (const std::string& problem : cltest::RecordDifferences(input, output, changed))
        ADD_FAILURE() << problem;
    const cltest::LibzipView view = cltest::ReadWithLibzip(output);
    ASSERT_EQ(view.error, "");
    EXPECT_EQ(view.contents, expected);
}

}  // namespace
