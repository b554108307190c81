// The engine on bad input: paths that cannot be loaded, files of 2 GiB and more, class files
// cut at every length, word lists with every kind of line end, and saves that fail half way.
// A failure must come back as an Error (in a scan, one of kind RangeError) and must leave the
// file on disk exactly as it was: bytes, modification time and inode.

#include "FailingFileSystem.h"
#include "ErrorOf.h"
#include "EngineText.h"
#include "ErrorText.h"
#include "ScratchFolder.h"
#include "FileState.h"
#include "OrdinaryUser.h"
#include "Java.h"

#include "text/ByteString.h"
#include "text/ByteStringErrors.h"
#include "files/FileImage.h"
#include "files/FileOps.h"
#include "scan/FilterList.h"
#include "document/Replace.h"
#include "scan/Scanner.h"
#include "scan/StringList.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

namespace fs = std::filesystem;
using cltest::FailingFileSystem;
using cltest::FailStep;
using cltest::FileState;
using cltest::OrdinaryUser;

namespace {

using EngineBadInput = cltest::ScratchFolder;

// Expects OpenWholeFile to refuse `path` with `kind`, naming the file, and to leave it as it was.
void ExpectRefused(const std::string& path, cl::ErrorKind kind, const std::string& reason, bool readBytes = true)
{
    const FileState before = FileState::Of(path, readBytes);
    const auto opened = cl::OpenWholeFile(path);
    ASSERT_FALSE(opened.ok()) << path;
    const cl::Error& why = opened.error();
    EXPECT_EQ(why.kind, kind) << path;
    EXPECT_NE(cltext::DescribeError(why).find("“" + path + "”"), std::string::npos) << cltext::DescribeError(why);
    EXPECT_NE(cltext::DescribeError(why).find(reason), std::string::npos) << cltext::DescribeError(why);
    EXPECT_EQ(FileState::Of(path, readBytes), before) << path;
}

TEST_F(EngineBadInput, PathsThatAreNoReadableFileAreRefusedAtOpening)
{
    using Kind = cl::ErrorKind;
    fs::create_directory(Path("folder.class"));
    ASSERT_EQ(::mkfifo(Path("fifo.class").c_str(), 0644), 0);
    ExpectRefused(Path("missing.class"), Kind::CannotOpen,
                  std::make_error_code(std::errc::no_such_file_or_directory).message());
    ExpectRefused(Path("folder.class"), Kind::CannotOpen, std::make_error_code(std::errc::is_a_directory).message());
    ExpectRefused(Path("fifo.class"), Kind::CannotOpen, std::make_error_code(std::errc::no_such_device).message());

    // 2^32 and 2^32 + 10 bytes would pass for 0 and 10 if the size were cut to 32 bits.
    for (const uint64_t size : {uint64_t{1} << 31, uint64_t{1} << 32, (uint64_t{1} << 32) + 10}) {
        Write(Path("huge.class"), "");
        ASSERT_EQ(::truncate(Path("huge.class").c_str(), static_cast<off_t>(size)), 0);  // sparse
        ExpectRefused(Path("huge.class"), Kind::TooLarge, std::to_string(size) + " 字节", false);
        const auto bytes = cl::ReadFileContents(Path("huge.class"));
        ASSERT_FALSE(bytes.ok()) << "a word list that large too";
        EXPECT_EQ(bytes.error().kind, cl::ErrorKind::TooLarge);
        ASSERT_EQ(::unlink(Path("huge.class").c_str()), 0);
    }
    EXPECT_EQ((Entries()), (std::set<std::string>{"fifo.class", "folder.class"}));
}

TEST_F(EngineBadInput, FilesWithoutReadOrWritePermissionAreRefusedAtOpening)
{
    OrdinaryUser user;
    if (!user.Available())
        GTEST_SKIP() << "no ordinary user to run as";
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    const std::string denied = std::make_error_code(std::errc::permission_denied).message();
    for (const mode_t mode : {0444, 0222, 0000}) {
        const std::string path = Path("A.class");
        Write(path, std::string("\x01\x00\x05Hello", 8));
        user.Own(path);
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(FileState::Age(path));
        user.Run([&] { ExpectRefused(path, cl::ErrorKind::CannotOpen, denied); });
        ASSERT_EQ(::unlink(path.c_str()), 0);
    }
}

TEST_F(EngineBadInput, EmptyFileLoadsAsEmptyImageWithNoRows)
{
    Write(Path("E.class"), "");
    auto opened = cl::OpenWholeFile(Path("E.class"));
    ASSERT_TRUE(opened.ok());
    cl::FileImage image;
    image.path = Path("E.class");
    image.bytes = cl::ByteString("old");
    image.loadedSize = 3;
    ASSERT_TRUE(cl::ReadWholeFile(*opened, image.bytes, image.loadedSize).ok());
    EXPECT_TRUE(image.bytes.IsEmpty());
    EXPECT_EQ(image.loadedSize, 0);
    cl::StringList list;
    list.rows.resize(2);
    ASSERT_TRUE(cl::ScanClassImage(image, {}, list).ok());
    EXPECT_TRUE(list.rows.empty());
    ASSERT_TRUE(cl::ScanPackImage(image, {}, list).ok());
    EXPECT_TRUE(list.rows.empty());
    EXPECT_EQ(list.PlainRowCount, 0);
}

// ---------------------------------------------------------------------------------------
// Cut and random images

// Every row's offset names its length bytes; a row whose length byte claims more than the
// image holds ends exactly at the end of the image.
void ExpectRowsAtTheirLengthBytes(const cl::FileImage& image, const cl::StringList& list, bool pack)
{
    const int64_t size = image.bytes.ByteLength();
    for (const cl::StringRow& row : list.rows) {
        ASSERT_GE(row.offset, pack ? 0 : 1);
        ASSERT_LE(int64_t{row.offset} + 2, size);
        if (!pack) {
            EXPECT_EQ(image.bytes.ByteAt(row.offset), 0x01);
        }
        EXPECT_EQ(image.bytes.ByteAt(row.offset + 1), 0x00);
        const int declared = image.bytes.ByteAt(row.offset + 2);
        if (declared == row.byteLength) {
            EXPECT_LE(int64_t{row.offset} + 2 + declared, size);
        } else {
            EXPECT_GT(declared, row.byteLength);
            EXPECT_EQ(int64_t{row.offset} + 2 + row.byteLength, size);
        }
    }
}

// Scans `bytes` and replaces every row; only a RangeError may end the scan early, exactly when
// the image ends in a cut pattern, and the rows found before it can all be replaced.
void ScanAndReplaceAll(const std::string& bytes, bool pack)
{
    SCOPED_TRACE(std::string(pack ? "pack" : "class") + ", " + std::to_string(bytes.size()) + " bytes");
    cl::FileImage image;
    image.bytes = cl::ByteString(std::string_view(bytes));
    image.loadedSize = image.bytes.ByteLength();
    cl::StringList list;
    const cl::Status scanned = pack ? cl::ScanPackImage(image, {}, list) : cl::ScanClassImage(image, {}, list);
    const bool rangeError = !scanned;
    if (!scanned) {
        EXPECT_EQ(scanned.error().kind, cl::ErrorKind::RangeError);
    }
    const size_t n = bytes.size();
    const bool cutPattern = pack ? (n >= 1 && bytes[n - 1] == '\0')
                                 : ((n >= 1 && bytes[n - 1] == '\x01') ||
                                    (n >= 2 && bytes.compare(n - 2, 2, std::string("\x01\x00", 2)) == 0));
    EXPECT_EQ(rangeError, cutPattern);
    ExpectRowsAtTheirLengthBytes(image, list, pack);

    int64_t expectedSize = image.bytes.ByteLength();
    for (size_t i = 0; i < list.rows.size(); ++i) {
        const int32_t old = list.rows[i].byteLength;
        ASSERT_EQ(cl::ReplaceSelectedString(image, list, static_cast<int>(i), "Hi"), cl::ReplaceOutcome::Replaced);
        expectedSize += 2 - old;
        EXPECT_EQ(image.bytes.ByteLength(), expectedSize);
        EXPECT_EQ(image.bytes.Slice(list.rows[i].offset + 2, 3).View(),
                  "\x02"
                  "Hi");
    }
    ExpectRowsAtTheirLengthBytes(image, list, pack);
}

TEST_F(EngineBadInput, ClassFileCutAtEveryLengthScansAndReplaces)
{
    std::string whole;
    const cltest::ToolCheck javac = cltest::CheckTool("javac", cltest::JavacPath());
    if (javac.verdict == cltest::ToolVerdict::Fail)
        FAIL() << javac.message;
    if (javac.verdict == cltest::ToolVerdict::Use) {
        ASSERT_EQ(cltest::CompileJava(dir_.string(), "Notice",
                                      "public class Notice {\n"
                                      "    static final String TITLE = \"\xE6\x8F\x90\xE7\xA4\xBA\";\n"  // 提示
                                      "    public static void main(String[] args) {\n"
                                      "        System.out.println(TITLE + \": file saved\" + args.length);\n"
                                      "    }\n"
                                      "}\n"),
                  "");
        whole = Read(Path("Notice.class"));
    } else {
        // Without a JDK: a hand-made constant pool with the same kinds of entries.
        whole = std::string(
            "\xCA\xFE\xBA\xBE\x00\x00\x00\x3D\x00\x05\x01\x00\x06Notice\x07\x00\x01"
            "\x01\x00\x06\xE6\x8F\x90\xE7\xA4\xBA\x08\x00\x03\x00\x21\x00\x02",
            38);
    }
    ASSERT_GT(whole.size(), 30u);
    for (size_t length = 0; length <= whole.size(); ++length) {
        ScanAndReplaceAll(whole.substr(0, length), false);
        ScanAndReplaceAll(whole.substr(0, length), true);
        if (HasFatalFailure())
            return;
    }
}

TEST_F(EngineBadInput, RandomBytesScanAndReplace)
{
    std::mt19937 random(7);
    for (const size_t size : {size_t{1}, size_t{2}, size_t{3}, size_t{100}, size_t{4096}, size_t{65536}}) {
        std::string bytes(size, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random() & 0xFF);
        ScanAndReplaceAll(bytes, false);
        ScanAndReplaceAll(bytes, true);
        if (HasFatalFailure())
            return;
    }
}

// ---------------------------------------------------------------------------------------
// Filter.ini

TEST_F(EngineBadInput, FilterIniWithEveryLineEndAndAZeroByte)
{
    Write(Path("Filter.ini"), std::string("Alpha\rBeta\nGamma\r\nDelta\n\rEpsilon\0Zeta\n", 38));
    EXPECT_EQ(*cl::LoadFilterList(dir_.string()), (cl::FilterList{"Alpha", "Beta", "Gamma", "Delta", "", "Epsilon"}));

    OrdinaryUser user;
    if (!user.Available())
        GTEST_SKIP() << "no ordinary user to run as";
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(Path("Filter.ini").c_str(), 0000), 0);
    std::optional<cl::Error> refused;
    user.Run([&] { refused = cltest::ErrorOf(cl::LoadFilterList(dir_.string())); });
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->task, cl::ErrorTask::WordList);
    EXPECT_EQ(cltext::WordListUnreadableText(*refused), "Cannot open file " + Path("Filter.ini"));
}

// ---------------------------------------------------------------------------------------
// Saving

TEST_F(EngineBadInput, SaveThatFailsHalfWayKeepsFileTimeAndInode)
{
    // 200 000 bytes: the backup copies them in 64 KiB pieces (writes 1 to 4), the save
    // writes the new image in one piece (write 5).
    const std::string path = Path("A.class");
    std::string original(200000, 'o');
    original.replace(100, 8, std::string("\x01\x00\x05Hello", 8));
    cl::FileImage image;
    image.path = path;
    image.bytes = cl::ByteString(std::string(150000, 'n'));
    image.loadedSize = static_cast<int32_t>(original.size());

    for (int failing = 1; failing <= 5; ++failing) {
        SCOPED_TRACE("write " + std::to_string(failing) + " fails half way");
        Write(path, original);
        Write(path + ".bak", "older backup");
        ASSERT_TRUE(FileState::Age(path));
        ASSERT_TRUE(FileState::Age(path + ".bak"));
        const FileState before = FileState::Of(path);
        const FileState backupBefore = FileState::Of(path + ".bak");

        FailingFileSystem failingFs;
        failingFs.FailAt(FailStep::HalfWrite, failing, std::errc::no_space_on_device);
        const auto error = cltest::ErrorOf(cl::SaveImage(image, failingFs));
        ASSERT_TRUE(failingFs.Injected());
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->kind, cl::ErrorKind::NotReplaced);
        EXPECT_NE(cltext::DescribeError(*error).find(std::make_error_code(std::errc::no_space_on_device).message()), std::string::npos)
            << cltext::DescribeError(*error);
        EXPECT_EQ(FileState::Of(path), before);
        if (failing < 5) {
            EXPECT_EQ(FileState::Of(path + ".bak"), backupBefore) << "a failed copy keeps the older backup";
        } else {
            EXPECT_EQ(Read(path + ".bak"), original);
        }
        EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "A.class.bak"})) << "no temporary file is left";
    }

    // Without the fault the same save replaces the file with a new one.
    const FileState before = FileState::Of(path);
    ASSERT_TRUE(cl::SaveImage(image).ok());
    const FileState after = FileState::Of(path);
    EXPECT_EQ(after.bytes, std::string(150000, 'n'));
    EXPECT_NE(after.inode, before.inode);
    EXPECT_NE(after.mtimeNs, before.mtimeNs);
    EXPECT_EQ(Read(path + ".bak"), original);
}

}  // namespace
