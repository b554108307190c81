#include "scan/Classifier.h"
#include "FailingFileSystem.h"
#include "scan/PieceScan.h"
#include "ScratchFolder.h"
#include "text/ByteStringErrors.h"
#include "scan/FilterList.h"
#include "EngineText.h"
#include "scan/Scanner.h"
#include "text/Utf8.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

using namespace cl;

namespace {

ByteString B(std::string_view s)
{
    return ByteString(s);
}

FileImage Image(std::string_view bytes)
{
    FileImage image;
    image.bytes = B(bytes);
    image.loadedSize = image.bytes.ByteLength();
    return image;
}

// A class-file constant: tag 0x01, two length bytes, the string.
std::string Utf8Constant(std::string_view s)
{
    std::string out("\x01\x00", 2);
    out += static_cast<char>(s.size());
    out += s;
    return out;
}

// The scans transcribed step by step with the clamping operations of ByteString, cutting
// scanned bytes off the front of a working copy. The linear scans must match them exactly.
void ReferenceClassScan(const FileImage& image, const FilterList& filter, StringList& list)
{
    list.Clear();
    std::vector<StringRow> suspicious;
    int32_t consumed = 0;
    ByteString w = image.bytes;
    const ByteString tag("\x01");
    for (int32_t pass = 0; pass < image.loadedSize; ++pass) {
        const int32_t p = w.Locate(tag);
        if (p == 0)
            continue;
        if (std::as_const(w).ByteAt(p + 1) != 0) {
            w.Erase(1, p);
            consumed += p;
            continue;
        }
        const int32_t length = std::as_const(w).ByteAt(p + 2);
        const ByteString s = w.Slice(p + 3, length);
        const int32_t m = s.ByteLength();
        const Classification c = ClassifyString(s, filter);
        if (m > 0 && c != Classification::NotListed) {
            StringRow row{DecodeUtf8ToAnsi(s), m, c == Classification::Plain ? RowStatus::Plain : RowStatus::Suspicious,
                          consumed + p};
            if (c == Classification::Plain)
                list.rows.insert(list.rows.begin() + list.PlainRowCount++, row);
            else
                list.rows.push_back(row);
            w.Erase(1, p + m + 2);
            consumed += p + m + 2;
        } else {
            w.Erase(1, p);
            consumed += p;
        }
    }
}

void ReferencePackScan(const FileImage& image, const FilterList& filter, StringList& list)
{
    list.Clear();
    int32_t consumed = 0;
    ByteString w = image.bytes;
    for (int32_t pass = 0; pass < image.loadedSize; ++pass) {
        const int32_t z = FindZeroByte(w);
        if (z == 0)
            continue;
        const int32_t length = std::as_const(w).ByteAt(z + 1);
        const ByteString s = w.Slice(z + 2, length);
        const int32_t m = s.ByteLength();
        if (m > 0 && ClassifyString(s, filter) != Classification::NotListed) {
            list.rows.push_back(StringRow{DecodeUtf8ToAnsi(s), m, RowStatus::Plain, consumed + z - 1});
            ++list.PlainRowCount;
            w.Erase(1, z + m + 1);
            consumed += z + m + 1;
        } else {
            w.Erase(1, z);
            consumed += z;
        }
    }
}

struct ScanResult {
    StringList list;
    bool rangeError = false;
};

// The engine's scans give a range error back; the reference scans, made of byte-string
// operations, raise it as the byte access does.
template <typename Scan>
ScanResult RunScan(Scan scan, const FileImage& image, const FilterList& filter)
{
    ScanResult result;
    try {
        if constexpr (std::is_same_v<decltype(scan(image, filter, result.list)), cl::Status>) {
            const cl::Status scanned = scan(image, filter, result.list);
            result.rangeError = !scanned;
            if (!scanned) {
                EXPECT_EQ(scanned.error().kind, cl::ErrorKind::RangeError);
            }
        } else {
            scan(image, filter, result.list);
        }
    } catch (const RangeError&) {
        result.rangeError = true;
    }
    return result;
}

void ExpectSameRows(const ScanResult& actual, const ScanResult& expected)
{
    EXPECT_EQ(actual.rangeError, expected.rangeError);
    EXPECT_EQ(actual.list.PlainRowCount, expected.list.PlainRowCount);
    ASSERT_EQ(actual.list.rows.size(), expected.list.rows.size());
    for (size_t i = 0; i < actual.list.rows.size(); ++i) {
        const StringRow& a = actual.list.rows[i];
        const StringRow& e = expected.list.rows[i];
        EXPECT_EQ(a.Caption(), e.Caption()) << "row " << i;
        EXPECT_EQ(a.byteLength, e.byteLength) << "row " << i;
        EXPECT_EQ(a.status, e.status) << "row " << i;
        EXPECT_EQ(a.offset, e.offset) << "row " << i;
    }
}

}  // namespace

TEST(ClassifyStringTest, RejectsNamesAndDescriptors)
{
    const FilterList none;
    for (const char* rejected : {"<init>", "<clinit>", "java/lang/Object", "javax/swing/JFrame",
                                 "(Ljava/lang/String;)V", "LA;", "[I", "StackMap", "x", "", "B/s", "abB/sc"})
        EXPECT_EQ(ClassifyString(B(rejected), none), Classification::NotListed) << rejected;
    EXPECT_EQ(ClassifyString(B("Code"), none), Classification::Plain);
    EXPECT_EQ(ClassifyString(B("LA;x"), none), Classification::Plain);
    EXPECT_EQ(ClassifyString(B("[II"), none), Classification::Plain);
    EXPECT_EQ(ClassifyString(B("StackMapTable"), none), Classification::Plain);
    EXPECT_EQ(ClassifyString(B("a("), none), Classification::Plain);
}

TEST(ClassifyStringTest, ControlBytesRejectHighBytesPass)
{
    const FilterList none;
    EXPECT_EQ(ClassifyString(B("a\tb"), none), Classification::Plain);
    EXPECT_EQ(ClassifyString(B("\xE4\xB8\xAD\xFF\x80"), none), Classification::Plain);
    for (char control = 0; control <= 8; ++control) {
        std::string s = "ab";
        s += control;
        EXPECT_EQ(ClassifyString(B(s), none), Classification::NotListed) << int(control);
    }
}

TEST(ClassifyStringTest, WordListMarksExactMatchesSuspicious)
{
    const FilterList filter{B(""), B("Code"), B("\xE4\xB8\xAD\xE6\x96\x87")};
    EXPECT_EQ(ClassifyString(B("Code"), filter), Classification::Suspicious);
    EXPECT_EQ(ClassifyString(B("code"), filter), Classification::Plain);
    EXPECT_EQ(ClassifyString(B("Codes"), filter), Classification::Plain);
    EXPECT_EQ(ClassifyString(B("\xE4\xB8\xAD\xE6\x96\x87"), filter), Classification::Suspicious);
    // A listed word that the byte rules reject is still not listed.
    EXPECT_EQ(ClassifyString(B("<init>"), FilterList{B("<init>")}), Classification::NotListed);
}

TEST(ScanClassImageTest, ListsHelloWithTagOffset)
{
    StringList list;
    ASSERT_TRUE(ScanClassImage(Image(std::string("\xCA\xFE\xBA\xBE", 4) + Utf8Constant("Hello")), {}, list).ok());
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0].Caption(), B("Hello"));
    EXPECT_EQ(list.rows[0].byteLength, 5);
    EXPECT_EQ(list.rows[0].ByteLengthText(), B("5"));
    EXPECT_EQ(list.rows[0].offset, 5);
    EXPECT_EQ(list.rows[0].StatusText(), B("2"));
    EXPECT_EQ(list.PlainRowCount, 1);
}

TEST(ScanClassImageTest, OnlyTranslatableCandidatesAreListed)
{
    std::string bytes;
    for (const char* s : {"<init>", "java/lang/Object", "(Ljava/lang/String;)V", "LA;", "[I", "StackMap", "Code", "x"})
        bytes += Utf8Constant(s);
    StringList list;
    ASSERT_TRUE(ScanClassImage(Image(bytes), {}, list).ok());
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0].Caption(), B("Code"));
}

TEST(ScanClassImageTest, SuspiciousRowsFollowPlainRows)
{
    const std::string bytes = Utf8Constant("Warn") + Utf8Constant("First") + Utf8Constant("Second");
    StringList list;
    ASSERT_TRUE(ScanClassImage(Image(bytes), FilterList{B("Warn")}, list).ok());
    ASSERT_EQ(list.rows.size(), 3u);
    EXPECT_EQ(list.rows[0].Caption(), B("First"));
    EXPECT_EQ(list.rows[1].Caption(), B("Second"));
    EXPECT_EQ(list.rows[2].Caption(), B("Warn"));
    EXPECT_EQ(list.rows[2].StatusText(), B("1"));
    EXPECT_EQ(list.rows[2].offset, 1);
    EXPECT_EQ(list.rows[0].offset, 8);
    EXPECT_EQ(list.PlainRowCount, 2);
}

TEST(ScanClassImageTest, PatternsThatListNothing)
{
    StringList list;
    ASSERT_TRUE(ScanClassImage(Image(std::string("\x01\x00\x00zz", 5)), {}, list).ok());
    EXPECT_TRUE(list.rows.empty()) << "length 0";
    // 01 with a non-zero high byte is skipped and the scan goes on after the 01 byte.
    ASSERT_TRUE(ScanClassImage(Image(std::string("\x01\x05", 2) + Utf8Constant("Hi")), {}, list).ok());
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0].offset, 3);
    ASSERT_TRUE(ScanClassImage(Image(""), {}, list).ok());
    EXPECT_TRUE(list.rows.empty());
    EXPECT_EQ(list.PlainRowCount, 0);
}

TEST(ScanClassImageTest, CutStringIsTakenUpToTheEnd)
{
    StringList list;
    ASSERT_TRUE(ScanClassImage(Image(std::string("\x01\x00\x09"
                                     "abc",
                                     6)),
                   {}, list).ok());
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0].Caption(), B("abc"));
    EXPECT_EQ(list.rows[0].byteLength, 3);
}

TEST(ScanClassImageTest, CutPatternRaisesRangeErrorKeepingEarlierRows)
{
    for (const std::string& tail : {std::string("\x01", 1), std::string("\x01\x00", 2)}) {
        StringList list;
        const FileImage image = Image(Utf8Constant("Bad") + Utf8Constant("One") + Utf8Constant("Two") + tail);
        const cl::Status scanned = ScanClassImage(image, FilterList{B("Bad")}, list);
        ASSERT_FALSE(scanned.ok());
        EXPECT_EQ(scanned.error().kind, cl::ErrorKind::RangeError);
        ASSERT_EQ(list.rows.size(), 3u);
        EXPECT_EQ(list.rows[0].Caption(), B("One"));
        EXPECT_EQ(list.rows[1].Caption(), B("Two"));
        EXPECT_EQ(list.rows[2].Caption(), B("Bad"));
        EXPECT_EQ(list.PlainRowCount, 2);
    }
}

TEST(ScanClassImageTest, InvalidUtf8IsListedWithEmptyCaption)
{
    StringList list;
    ASSERT_TRUE(ScanClassImage(Image(Utf8Constant("ab\xE4\xB8") + Utf8Constant("\xC0\x80xy")), {}, list).ok());
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.rows[0].Caption(), ByteString());
    EXPECT_EQ(list.rows[0].byteLength, 4);
    EXPECT_EQ(list.rows[1].Caption(), B(std::string_view("\0xy", 3)));
}

TEST(ScanPackImageTest, StringsAfterZeroBytesAllPlainInFileOrder)
{
    const std::string bytes = std::string("\xFF\x00\x04Warn\x00\x05Hello\x00\x01x", 17);
    StringList list;
    ASSERT_TRUE(ScanPackImage(Image(bytes), FilterList{B("Warn")}, list).ok());
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.rows[0].Caption(), B("Warn"));
    EXPECT_EQ(list.rows[0].StatusText(), B("2"));
    EXPECT_EQ(list.rows[0].offset, 1) << "the byte before the zero byte";
    EXPECT_EQ(list.rows[1].Caption(), B("Hello"));
    EXPECT_EQ(list.rows[1].offset, 7);
    EXPECT_EQ(list.PlainRowCount, 2);
    // The layout matches a class file: zero high byte at offset + 1, length at offset + 2.
    EXPECT_EQ(bytes[list.rows[1].offset], '\0');
    EXPECT_EQ(static_cast<uint8_t>(bytes[list.rows[1].offset + 1]), 5);
}

TEST(ScanPackImageTest, ZeroByteAtTheEndRaisesRangeError)
{
    StringList list;
    const cl::Status scanned = ScanPackImage(Image(std::string("\x00\x02hi\x00", 5)), {}, list);
    ASSERT_FALSE(scanned.ok());
    EXPECT_EQ(scanned.error().kind, cl::ErrorKind::RangeError);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0].Caption(), B("hi"));
    EXPECT_EQ(list.rows[0].offset, 0);
    ASSERT_TRUE(ScanPackImage(Image(""), {}, list).ok());
    EXPECT_TRUE(list.rows.empty());
}

TEST(ScannerTest, LinearScansMatchTheStepByStepAlgorithm)
{
    // Random images dense in the bytes the scans look for.
    std::mt19937 random(20261207);
    const FilterList filter{B("ab"), B("Hi"), B("\x01\x00")};
    const char alphabet[] = {'\x00', '\x01', '\x02', '\x09', 'a',    'b',    'H',   'i',
                             '(',    'L',    ';',    '[',    '\xC0', '\x80', '\xE4'};
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(random() % 64, '\0');
        for (char& ch : bytes)
            ch = (random() % 4 == 0) ? static_cast<char>(random() % 8) : alphabet[random() % sizeof(alphabet)];
        const FileImage image = Image(bytes);
        SCOPED_TRACE("round " + std::to_string(round));
        ExpectSameRows(RunScan(ScanClassImage, image, filter), RunScan(ReferenceClassScan, image, filter));
        ExpectSameRows(RunScan(ScanPackImage, image, filter), RunScan(ReferencePackScan, image, filter));
    }
}

// Keeps the rows of the pieces it is given as a list, to compare with a scan of the whole file;
// gives every piece back for the scan to fill again when `recycle` is set.
class CollectingSink : public PieceSink {
public:
    explicit CollectingSink(bool recycle = false) : recycle_(recycle) {}

    void Take(std::unique_ptr<ScannedPiece> piece) override
    {
        ++pieces;
        for (const PieceRow& row : piece->rows) {
            const std::string_view bytes = piece->BytesOf(row);
            rows.list.rows.push_back(StringRow{DecodeUtf8ToAnsi(bytes), static_cast<int32_t>(bytes.size()),
                                               row.status, row.offset});
            if (row.status == RowStatus::Plain)
                ++rows.list.PlainRowCount;
        }
        if (recycle_)
            spare_ = std::move(piece);
    }
    std::unique_ptr<ScannedPiece> Spare() override { return std::move(spare_); }

    ScanResult rows;
    int pieces = 0;

private:
    bool recycle_;
    std::unique_ptr<ScannedPiece> spare_;
};

class PieceScanTest : public cltest::ScratchFolder {
protected:
    // Scans `bytes` as a file in pieces of `pieceSize` and checks that the rows and the range
    // error are those of the scan of the whole image.
    void ExpectSameAsWholeScan(const std::string& bytes, const FilterList& filter, std::size_t pieceSize)
    {
        Write(Path("image"), bytes);
        const FileImage image = Image(bytes);
        struct Kind {
            ScanKind kind;
            cl::Status (*scanWhole)(const FileImage&, const FilterList&, StringList&);
        };
        for (const bool recycle : {false, true}) {
            for (const Kind k : {Kind{ScanKind::Class, ScanClassImage}, Kind{ScanKind::LanguagePack, ScanPackImage}}) {
                SCOPED_TRACE("piece size " + std::to_string(pieceSize) + (recycle ? ", pieces given back" : "") +
                             (k.kind == ScanKind::Class ? ", class" : ", pack"));
                CollectingSink pieces(recycle);
                const cl::Status result =
                    ScanFileInPieces(Path("image"), k.kind, filter, pieces, NativeFileSystem(), pieceSize);
                ASSERT_TRUE(result || result.error().kind == cl::ErrorKind::RangeError);
                pieces.rows.rangeError = !result;
                ExpectSameRows(pieces.rows, RunScan(k.scanWhole, image, filter));
            }
        }
    }
};

// Images dense in the bytes the scans look for, with whole patterns of up to 255 bytes among
// them, cut into pieces of several sizes: every kind of pattern falls across a cut somewhere.
TEST_F(PieceScanTest, PiecesGiveTheRowsOfTheWholeImageWhereverTheyAreCut)
{
    std::mt19937 random(20261207);
    const FilterList filter{B("ab"), B("Hi"), B("Hello")};
    const char alphabet[] = {'\x00', '\x01', '\x02', '\x09', 'a', 'b', 'H', 'i', '(', 'L', ';', '\xC0', '\x80', '\xE4'};
    for (int round = 0; round < 40; ++round) {
        std::string bytes;
        const std::size_t size = random() % 6000;
        while (bytes.size() < size) {
            if (random() % 8 == 0) {
                const std::size_t length = random() % 3 == 0 ? 250 + random() % 6 : random() % 40;
                std::string text(length, 'x');
                for (char& ch : text)
                    ch = "abHiel\xE4\xB8\xAD"[random() % 9];
                if (random() % 5 == 0)
                    text = "Hello";
                bytes += (random() % 2 == 0 ? std::string("\x01\x00", 2) : std::string(1, '\0'));
                bytes += static_cast<char>(text.size());
                bytes += text;
            } else {
                bytes += (random() % 4 == 0) ? static_cast<char>(random() % 8) : alphabet[random() % sizeof(alphabet)];
            }
        }
        SCOPED_TRACE("round " + std::to_string(round));
        for (const std::size_t pieceSize : {std::size_t{512}, std::size_t{777}, std::size_t{4096}, kScanPieceSize})
            ExpectSameAsWholeScan(bytes, filter, pieceSize);
    }
}

TEST_F(PieceScanTest, EdgesOfTheFile)
{
    const FilterList filter{B("Hello")};
    const std::string hello = Utf8Constant("Hello");
    const std::string filler(600, 'z');
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty file", ""},
        {"no pattern at all", filler},
        {"a pattern cut by the end", filler + std::string("\x01\x00\x09short", 8)},
        {"a tag byte as the last byte", filler + hello + "\x01"},
        {"a zero byte as the last byte", filler + std::string("\x00", 1)},
        {"only suspicious rows", hello + filler + hello},
        {"a pattern ending exactly at the cut", std::string(509, 'z') + Utf8Constant("abc") + filler},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ExpectSameAsWholeScan(bytes, filter, 512);
    }
}

TEST_F(PieceScanTest, ReadErrorsStopTheScanWithTheRowsOfTheFirstPiecesGiven)
{
    std::string bytes;
    for (int i = 0; i < 200; ++i)
        bytes += Utf8Constant("row" + std::to_string(i)) + "zz";
    Write(Path("A.class"), bytes);
    CollectingSink whole;
    ASSERT_TRUE(ScanFileInPieces(Path("A.class"), ScanKind::Class, {}, whole, NativeFileSystem(), 512).ok());
    ASSERT_GT(whole.pieces, 3);

    struct Fault {
        cltest::FailStep step;
        int occurrence;
        cl::ErrorKind what;
        int piecesBefore;
    };
    for (const Fault fault : {Fault{cltest::FailStep::Read, 1, cl::ErrorKind::ReadFailed, 0},
                              Fault{cltest::FailStep::Read, 3, cl::ErrorKind::ReadFailed, 2},
                              Fault{cltest::FailStep::ShortRead, 2, cl::ErrorKind::ShortRead, 1}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(fault.step)) + " at read " + std::to_string(fault.occurrence));
        cltest::FailingFileSystem failing;
        failing.FailAt(fault.step, fault.occurrence);
        CollectingSink sink;
        const cl::Status result = ScanFileInPieces(Path("A.class"), ScanKind::Class, {}, sink, failing, 512);
        ASSERT_TRUE(failing.Injected());
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().kind, fault.what);
        EXPECT_EQ(result.error().path, Path("A.class"));
        EXPECT_EQ(sink.pieces, fault.piecesBefore);
        // The rows given are the first rows of the whole scan, none left out.
        ASSERT_LE(sink.rows.list.rows.size(), whole.rows.list.rows.size());
        for (std::size_t i = 0; i < sink.rows.list.rows.size(); ++i)
            EXPECT_EQ(sink.rows.list.rows[i].offset, whole.rows.list.rows[i].offset) << i;
        EXPECT_EQ(sink.rows.list.rows.empty(), fault.piecesBefore == 0);
    }

    CollectingSink none;
    const cl::Status missing = ScanFileInPieces(Path("missing.class"), ScanKind::Class, {}, none);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, cl::ErrorKind::CannotOpen);
    EXPECT_EQ(none.pieces, 0);
}

TEST(FilterListTest, SplitsAtEveryKindOfLineEnd)
{
    auto lines = [](std::string_view text) { return SplitFilterLines(B(text)); };
    EXPECT_EQ(lines("a\r\nb\rc\nd"), (FilterList{B("a"), B("b"), B("c"), B("d")}));
    EXPECT_EQ(lines("a\n\rb"), (FilterList{B("a"), B(""), B("b")}));
    EXPECT_EQ(lines("a\n"), (FilterList{B("a")}));
    EXPECT_EQ(lines("a\r\n\r\n"), (FilterList{B("a"), B("")}));
    EXPECT_EQ(lines(""), FilterList{});
    EXPECT_EQ(lines("\n"), (FilterList{B("")}));
    EXPECT_EQ(lines(std::string_view("ab\ncd\0ef\ngh", 11)), (FilterList{B("ab"), B("cd")}));
}

TEST(FilterListTest, LoadsFromFolder)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("classlingo-filter-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    EXPECT_TRUE(LoadFilterList(folder.string())->empty()) << "missing file";

    fs::create_directory(folder / "Filter.ini");
    EXPECT_TRUE(LoadFilterList(folder.string())->empty()) << "a folder of that name";
    fs::remove(folder / "Filter.ini");

    std::ofstream(folder / "Filter.ini", std::ios::binary) << "Warn\r\n\xE4\xB8\xAD\n";
    EXPECT_EQ(*LoadFilterList(folder.string()), (FilterList{B("Warn"), B("\xE4\xB8\xAD")}));

    if (::geteuid() != 0) {  // root reads anything
        fs::permissions(folder / "Filter.ini", fs::perms::none);
        const cl::Result<FilterList> refused = LoadFilterList(folder.string());
        ASSERT_FALSE(refused.ok()) << "no error for an unreadable Filter.ini";
        EXPECT_EQ(refused.error().path, (folder / "Filter.ini").string());
        EXPECT_EQ(refused.error().task, cl::ErrorTask::WordList);
        EXPECT_EQ(cltext::WordListUnreadableText(refused.error()),
                  "Cannot open file " + (folder / "Filter.ini").string());
        fs::permissions(folder / "Filter.ini", fs::perms::owner_all);
    }
    fs::remove_all(folder);
}
