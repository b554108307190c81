// Loading, backups, safe saving and the document's text export, against real files in a scratch
// folder and with single steps made to fail.

#include "FailingFileSystem.h"
#include "ErrorOf.h"
#include "ErrorText.h"
#include "ScratchFolder.h"

#include "document/Document.h"
#include "text/ByteString.h"
#include "files/FileImage.h"
#include "files/FileOps.h"
#include "files/FileSystem.h"
#include "scan/StringList.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace fs = std::filesystem;
using cltest::FailingFileSystem;
using cltest::FailStep;

namespace {

class ScratchFolder : public cltest::ScratchFolder {
protected:
    static unsigned Mode(const std::string& path)
    {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }

    cl::FileImage ImageOf(const std::string& path, const std::string& bytes)
    {
        cl::FileImage image;
        image.path = path;
        image.bytes = cl::ByteString(std::string_view(bytes));
        image.loadedSize = static_cast<int32_t>(bytes.size());
        return image;
    }
};

const std::string kOriginal("\xCA\xFE\xBA\xBE\x00\x01\x00\x05Hello\x00 tail", 19);

// ---------------------------------------------------------------------------------------
// Loading

using LoadWholeFile = ScratchFolder;

TEST_F(LoadWholeFile, ReadsEveryByteAndTheSize)
{
    const std::string path = Path("A.class");
    Write(path, kOriginal);
    auto opened = cl::OpenWholeFile(path);
    ASSERT_TRUE(opened.ok()) << cltext::DescribeError(opened.error());
    EXPECT_EQ(opened->Path(), path);
    cl::ByteString bytes("old");
    int32_t size = -1;
    ASSERT_TRUE(cl::ReadWholeFile(*opened, bytes, size).ok());
    EXPECT_EQ(bytes.View(), kOriginal);
    EXPECT_EQ(size, static_cast<int32_t>(kOriginal.size()));
}

TEST_F(LoadWholeFile, EmptyFileGivesEmptyValue)
{
    const std::string path = Path("empty.class");
    Write(path, "");
    auto opened = cl::OpenWholeFile(path);
    ASSERT_TRUE(opened.ok());
    cl::ByteString bytes("old");
    int32_t size = -1;
    ASSERT_TRUE(cl::ReadWholeFile(*opened, bytes, size).ok());
    EXPECT_TRUE(bytes.IsEmpty());
    EXPECT_EQ(size, 0);
}

TEST_F(LoadWholeFile, MissingFileOrFolderCannotBeOpened)
{
    for (const std::string& path : {Path("missing.class"), dir_.string(), Path("no/such/folder/A.class")}) {
        auto opened = cl::OpenWholeFile(path);
        ASSERT_FALSE(opened.ok()) << path;
        const cl::Error& why = opened.error();
        EXPECT_EQ(why.kind, cl::ErrorKind::CannotOpen) << path;
        EXPECT_NE(cltext::DescribeError(why).find(path), std::string::npos) << cltext::DescribeError(why);
    }
}

TEST_F(LoadWholeFile, ReadOnlyFileCannotBeOpened)
{
    const std::string path = Path("ro.class");
    Write(path, kOriginal);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    if (::geteuid() == 0) {
        // Root may write anything; the refusal of the system is played by the double.
        FailingFileSystem failing;
        failing.FailAt(FailStep::OpenReadWrite, 1, std::errc::permission_denied);
        auto opened = cl::OpenWholeFile(path, failing);
        ASSERT_FALSE(opened.ok());
        const cl::Error& why = opened.error();
        EXPECT_EQ(why.kind, cl::ErrorKind::CannotOpen);
        EXPECT_NE(cltext::DescribeError(why).find(std::make_error_code(std::errc::permission_denied).message()), std::string::npos)
            << cltext::DescribeError(why);
    } else {
        auto opened = cl::OpenWholeFile(path);
        ASSERT_FALSE(opened.ok());
        EXPECT_EQ(opened.error().kind, cl::ErrorKind::CannotOpen);
    }
}

TEST_F(LoadWholeFile, TwoGibibytesAreRefusedNotTruncated)
{
    const std::string path = Path("huge.class");
    Write(path, "");
    ASSERT_EQ(::truncate(path.c_str(), off_t{1} << 31), 0);  // sparse: no real disk space used
    auto opened = cl::OpenWholeFile(path);
    ASSERT_FALSE(opened.ok());
    const cl::Error& why = opened.error();
    EXPECT_EQ(why.kind, cl::ErrorKind::TooLarge);
    EXPECT_NE(cltext::DescribeError(why).find(path), std::string::npos) << cltext::DescribeError(why);
    EXPECT_NE(cltext::DescribeError(why).find("2147483648"), std::string::npos) << cltext::DescribeError(why);
}

TEST_F(LoadWholeFile, FileThatGrowsPastTheLimitAfterOpeningIsRefusedAtReading)
{
    const std::string path = Path("growing.class");
    Write(path, kOriginal);
    auto opened = cl::OpenWholeFile(path);
    ASSERT_TRUE(opened.ok());
    ASSERT_EQ(::truncate(path.c_str(), off_t{1} << 31), 0);
    cl::ByteString bytes("keep");
    int32_t size = 7;
    auto error = cltest::ErrorOf(cl::ReadWholeFile(*opened, bytes, size));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, cl::ErrorKind::TooLarge);
    EXPECT_EQ(bytes.View(), "keep");
    EXPECT_EQ(size, 7);
}

TEST_F(LoadWholeFile, ShortOrFailedReadIsReportedAndChangesNothing)
{
    const std::string path = Path("A.class");
    Write(path, kOriginal);
    for (FailStep step : {FailStep::ShortRead, FailStep::Read}) {
        FailingFileSystem failing;
        failing.FailAt(step);
        auto opened = cl::OpenWholeFile(path, failing);
        ASSERT_TRUE(opened.ok());
        cl::ByteString bytes("keep");
        int32_t size = 7;
        auto error = cltest::ErrorOf(cl::ReadWholeFile(*opened, bytes, size));
        ASSERT_TRUE(failing.Injected());
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->kind, step == FailStep::Read ? cl::ErrorKind::ReadFailed : cl::ErrorKind::ShortRead);
        EXPECT_NE(cltext::DescribeError(*error).find(path), std::string::npos) << cltext::DescribeError(*error);
        EXPECT_EQ(bytes.View(), "keep");
        EXPECT_EQ(size, 7);
    }
}

TEST_F(LoadWholeFile, BackupBetweenTheStepsCopiesTheFileHeldOpen)
{
    const std::string path = Path("pack.lng");
    Write(path, kOriginal);
    auto opened = cl::OpenWholeFile(path);
    ASSERT_TRUE(opened.ok());
    ASSERT_TRUE(cl::MakeBackup(path).ok());
    cl::ByteString bytes;
    int32_t size = 0;
    ASSERT_TRUE(cl::ReadWholeFile(*opened, bytes, size).ok());
    EXPECT_EQ(bytes.View(), kOriginal);
    EXPECT_EQ(Read(path + ".bak"), kOriginal);
}

TEST_F(LoadWholeFile, ReadFileContentsReadsAReadOnlyFile)
{
    const std::string path = Path("Filter.ini");
    Write(path, "one\r\ntwo");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const cl::Result<cl::ByteString> bytes = cl::ReadFileContents(path);
    ASSERT_TRUE(bytes.ok());
    EXPECT_EQ(bytes->View(), "one\r\ntwo");

    auto error = cltest::ErrorOf(cl::ReadFileContents(Path("missing.ini")));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, cl::ErrorKind::CannotOpen);
}

// ---------------------------------------------------------------------------------------
// Backups

using MakeBackup = ScratchFolder;

TEST_F(MakeBackup, CopiesExactlyAndReplacesAnOlderBackup)
{
    const std::string path = Path("A.class");
    Write(path, kOriginal);
    Write(path + ".bak", "an older backup, longer than the file it will be replaced by");
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    ASSERT_TRUE(cl::MakeBackup(path).ok());
    EXPECT_EQ(Read(path + ".bak"), kOriginal);
    EXPECT_EQ(Mode(path + ".bak"), 0604u);  // a copy takes the bits of what it copies
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "A.class.bak"}));
}

// A link planted at the backup's name is replaced by the copy; the file it pointed to, which
// may be any other file of the user's, is never written.
TEST_F(MakeBackup, ReplacesALinkAtTheBackupNameInsteadOfFollowingIt)
{
    const std::string path = Path("A.class");
    const std::string victim = Path("victim.txt");
    Write(path, kOriginal);
    Write(victim, "someone else's file");
    for (const std::string& target : {victim, Path("dangling")}) {
        fs::remove(path + ".bak");
        fs::create_symlink(target, path + ".bak");
        ASSERT_TRUE(cl::MakeBackup(path).ok()) << target;
        EXPECT_FALSE(fs::is_symlink(path + ".bak")) << target;
        EXPECT_EQ(Read(path + ".bak"), kOriginal) << target;
        EXPECT_EQ(Read(victim), "someone else's file") << target;
        EXPECT_FALSE(fs::exists(Path("dangling"))) << target;
    }
}

TEST_F(MakeBackup, MissingFileIsReported)
{
    auto error = cltest::ErrorOf(cl::MakeBackup(Path("missing.class")));
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(cltext::DescribeError(*error).find(Path("missing.class")), std::string::npos) << cltext::DescribeError(*error);
    EXPECT_TRUE(Entries().empty());
}

struct Fault {
    const char* name;
    FailStep step;
    int occurrence;
};

void PrintTo(const Fault& fault, std::ostream* os)
{
    *os << fault.name << " #" << fault.occurrence;
}

class BackupFault : public ScratchFolder, public ::testing::WithParamInterface<Fault> {};

TEST_P(BackupFault, LeavesTheOlderBackupAndNoTemporaryFile)
{
    const std::string path = Path("A.class");
    Write(path, std::string(200000, 'x'));  // more than one copy buffer
    Write(path + ".bak", "older backup");
    FailingFileSystem failing;
    failing.FailAt(GetParam().step, GetParam().occurrence);
    auto error = cltest::ErrorOf(cl::MakeBackup(path, failing));
    ASSERT_TRUE(failing.Injected());
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, cl::ErrorKind::NotReplaced);
    EXPECT_NE(cltext::DescribeError(*error).find(path), std::string::npos) << cltext::DescribeError(*error);
    EXPECT_EQ(Read(path + ".bak"), "older backup");
    EXPECT_EQ(Read(path), std::string(200000, 'x'));
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "A.class.bak"}));
}

INSTANTIATE_TEST_SUITE_P(EachStep, BackupFault,
                         ::testing::Values(Fault{"Open", FailStep::OpenRead, 1}, Fault{"Create", FailStep::Create, 1},
                                           Fault{"ReadFirst", FailStep::Read, 1},
                                           Fault{"ReadSecond", FailStep::Read, 2},
                                           Fault{"ShortRead", FailStep::ShortRead, 2},
                                           Fault{"Write", FailStep::Write, 1},
                                           Fault{"HalfWrite", FailStep::HalfWrite, 2},
                                           Fault{"Flush", FailStep::Flush, 1}, Fault{"Rename", FailStep::Rename, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Saving

using SaveImage = ScratchFolder;

// What the windows and the command line may offer to save without: a backup whose name is held
// by something that cannot be replaced. A file that cannot even be read is no such case.
TEST_F(SaveImage, BackupThatCannotBeMadeStopsTheSaveUnlessSkipped)
{
    const std::string path = Path("A.class");
    Write(path, kOriginal);
    fs::create_directory(path + ".bak");
    auto error = cltest::ErrorOf(cl::SaveImage(ImageOf(path, "patched")));
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->IsBackupFailure());
    EXPECT_TRUE(error->saveStopped);
    EXPECT_EQ(Read(path), kOriginal);

    ASSERT_TRUE(cl::SaveImage(ImageOf(path, "patched"), cl::NativeFileSystem(), cl::SaveBackup::Skip).ok());
    EXPECT_EQ(Read(path), "patched");
    EXPECT_TRUE(fs::is_directory(path + ".bak"));
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "A.class.bak"}));

    fs::remove(path);
    fs::create_directory(path);
    error = cltest::ErrorOf(cl::MakeBackup(path));
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->IsBackupFailure()) << "an unreadable original is not a backup to skip";
}


TEST_F(SaveImage, WritesTheImageAndKeepsThePreviousFileAsBackup)
{
    const std::string path = Path("A.class");
    Write(path, kOriginal);
    ASSERT_TRUE(cl::SaveImage(ImageOf(path, "first save")).ok());
    EXPECT_EQ(Read(path), "first save");
    EXPECT_EQ(Read(path + ".bak"), kOriginal);

    // The backup holds the file as it was before this save, not as first opened.
    ASSERT_TRUE(cl::SaveImage(ImageOf(path, std::string("second\0save", 11))).ok());
    EXPECT_EQ(Read(path), std::string("second\0save", 11));
    EXPECT_EQ(Read(path + ".bak"), "first save");
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "A.class.bak"}));
}

TEST_F(SaveImage, EmptyImageGivesEmptyFile)
{
    const std::string path = Path("A.class");
    Write(path, kOriginal);
    ASSERT_TRUE(cl::SaveImage(ImageOf(path, "")).ok());
    EXPECT_EQ(Read(path), "");
    EXPECT_EQ(Read(path + ".bak"), kOriginal);
}

TEST_F(SaveImage, KeepsPermissionBits)
{
    for (unsigned mode : {0640u, 0755u, 0600u, 0444u}) {
        const std::string path = Path("A.class");
        Write(path, kOriginal);
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(cl::SaveImage(ImageOf(path, "patched")).ok());
        EXPECT_EQ(Mode(path), mode);
        EXPECT_EQ(Read(path), "patched");
        ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
        fs::remove(path);
        fs::remove(path + ".bak");
    }
}

TEST_F(SaveImage, ThroughASymbolicLinkReplacesTheTargetAndKeepsTheLink)
{
    fs::create_directory(dir_ / "real");
    const std::string target = Path("real/A.class");
    Write(target, kOriginal);
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const std::string link = Path("A.class");
    fs::create_symlink("real/A.class", link);  // relative, as links often are

    ASSERT_TRUE(cl::SaveImage(ImageOf(link, "patched")).ok());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), fs::path("real/A.class"));
    EXPECT_EQ(Read(target), "patched");
    EXPECT_EQ(Mode(target), 0640u);
    EXPECT_EQ(Read(link + ".bak"), kOriginal);
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "A.class.bak", "real"}));
    std::set<std::string> real;
    for (const auto& entry : fs::directory_iterator(dir_ / "real"))
        real.insert(entry.path().filename().string());
    EXPECT_EQ(real, (std::set<std::string>{"A.class"}));
}

TEST_F(SaveImage, FileGoneSinceOpeningIsWrittenAnew)
{
    const std::string path = Path("A.class");
    ASSERT_TRUE(cl::SaveImage(ImageOf(path, "patched")).ok());
    EXPECT_EQ(Read(path), "patched");
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class"}));
}

TEST_F(SaveImage, FolderInPlaceOfTheFileIsRefused)
{
    const std::string path = Path("A.class");
    fs::create_directory(path);
    auto error = cltest::ErrorOf(cl::SaveImage(ImageOf(path, "patched")));
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class"}));
}

class SaveFault : public ScratchFolder, public ::testing::WithParamInterface<Fault> {};

// Every step of a save that fails leaves the file and its older backup as they were.
TEST_P(SaveFault, LeavesTheOriginalByteForByte)
{
    const std::string path = Path("A.class");
    Write(path, kOriginal);
    Write(path + ".bak", "older backup");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    FailingFileSystem failing;
    failing.FailAt(GetParam().step, GetParam().occurrence);

    auto error = cltest::ErrorOf(cl::SaveImage(ImageOf(path, std::string(100000, 'p')), failing));
    ASSERT_TRUE(failing.Injected()) << "the step was never reached";
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, cl::ErrorKind::NotReplaced);
    EXPECT_NE(cltext::DescribeError(*error).find(path), std::string::npos) << cltext::DescribeError(*error);
    EXPECT_NE(cltext::DescribeError(*error).find(std::make_error_code(std::errc::io_error).message()), std::string::npos)
        << cltext::DescribeError(*error);
    EXPECT_EQ(Read(path), kOriginal);
    EXPECT_EQ(Mode(path), 0640u);
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "A.class.bak"}));
}

// The first temporary file is the backup's, the second the file's own. Only the save follows a
// link at its path; the backup replaces its own name.
INSTANTIATE_TEST_SUITE_P(
    EachStep, SaveFault,
    ::testing::Values(Fault{"BackupOpen", FailStep::OpenRead, 1}, Fault{"BackupCreate", FailStep::Create, 1},
                      Fault{"BackupRead", FailStep::Read, 1}, Fault{"BackupWrite", FailStep::Write, 1},
                      Fault{"BackupRename", FailStep::Rename, 1}, Fault{"Create", FailStep::Create, 2},
                      Fault{"Permissions", FailStep::CopyPermissions, 2}, Fault{"Write", FailStep::Write, 2},
                      Fault{"HalfWrite", FailStep::HalfWrite, 2}, Fault{"Flush", FailStep::Flush, 2},
                      Fault{"Close", FailStep::Close, 2}, Fault{"Rename", FailStep::Rename, 2},
                      Fault{"Stat", FailStep::Stat, 1}, Fault{"ResolveLink", FailStep::ResolveLink, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveImage, BackupCopyFailureKeepsTheOlderBackup)
{
    const std::string path = Path("A.class");
    Write(path, kOriginal);
    Write(path + ".bak", "older backup");
    FailingFileSystem failing;
    failing.FailAt(FailStep::HalfWrite, 1);
    ASSERT_FALSE(cl::SaveImage(ImageOf(path, "patched"), failing).ok());
    EXPECT_EQ(Read(path + ".bak"), "older backup");
    EXPECT_EQ(Read(path), kOriginal);
}

TEST_F(SaveImage, FailedFolderFlushIsReportedWithTheNewBytesInPlace)
{
    const std::string path = Path("A.class");
    Write(path, kOriginal);
    FailingFileSystem failing;
    failing.FailAt(FailStep::FlushFolder, 2);
    auto error = cltest::ErrorOf(cl::SaveImage(ImageOf(path, "patched"), failing));
    ASSERT_TRUE(failing.Injected());
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(cltext::DescribeError(*error).find("新内容已写入"), std::string::npos) << cltext::DescribeError(*error);
    EXPECT_EQ(Read(path), "patched");
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "A.class.bak"}));
}

TEST_F(SaveImage, WriteFileSafelyCreatesAMissingFileAndReplacesAnExistingOne)
{
    const std::string path = Path("MANIFEST.MF");
    ASSERT_TRUE(cl::WriteFileSafely(path, cl::ByteString("Manifest-Version: 1.0\r\n")).ok());
    EXPECT_EQ(Read(path), "Manifest-Version: 1.0\r\n");
    ASSERT_TRUE(cl::WriteFileSafely(path, cl::ByteString("x")).ok());
    EXPECT_EQ(Read(path), "x");
    EXPECT_EQ((Entries()), (std::set<std::string>{"MANIFEST.MF"}));  // no backup of its own

    FailingFileSystem failing;
    failing.FailAt(FailStep::HalfWrite, 1);
    EXPECT_FALSE(cl::WriteFileSafely(path, cl::ByteString("a longer text than before"), failing).ok());
    EXPECT_EQ(Read(path), "x");
    EXPECT_EQ((Entries()), (std::set<std::string>{"MANIFEST.MF"}));
}

// ---------------------------------------------------------------------------------------
// Export

using ExportRows = ScratchFolder;

cl::StringRow Row(const cl::ByteString& caption, cl::RowStatus status = cl::RowStatus::Plain)
{
    cl::StringRow row;
    row.SetCaption(caption);
    row.byteLength = caption.ByteLength();
    row.status = status;
    return row;
}

TEST_F(ExportRows, EmptyListGivesEmptyFile)
{
    const std::string path = Path("A.txt");
    ASSERT_TRUE(cl::ExportRows(cl::StringList{}, path).ok());
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(Read(path), "");
}

TEST_F(ExportRows, SuspiciousRowsCarryThePrefixInTheAnsiCodePage)
{
    cl::StringList list;
    list.rows = {Row("A"), Row("B"), Row("C", cl::RowStatus::Suspicious)};
    list.PlainRowCount = 2;
    const std::string path = Path("A.txt");
    Write(path, "an older export that is longer than the new one");
    ASSERT_TRUE(cl::ExportRows(list, path).ok());
    // [可疑的] in GBK: 可 BF C9, 疑 D2 C9, 的 B5 C4.
    EXPECT_EQ(Read(path), "A\r\nB\r\n[\xBF\xC9\xD2\xC9\xB5\xC4]C\r\n");
}

TEST_F(ExportRows, CaptionsAreWrittenAsHeldZeroBytesIncluded)
{
    cl::StringList list;
    list.rows = {Row(cl::ByteString("\xD6\xD0\x00z", 4)), Row("")};
    list.PlainRowCount = 2;
    const std::string path = Path("A.txt");
    ASSERT_TRUE(cl::ExportRows(list, path).ok());
    EXPECT_EQ(Read(path), std::string("\xD6\xD0\x00z\r\n\r\n", 8));
}

TEST_F(ExportRows, LanguagePackRowsCarryNoPrefix)
{
    cl::StringList list;
    list.rows = {Row("one"), Row("two"), Row("three")};
    list.PlainRowCount = 3;
    const std::string path = Path("pack.txt");
    ASSERT_TRUE(cl::ExportRows(list, path).ok());
    EXPECT_EQ(Read(path), "one\r\ntwo\r\nthree\r\n");
}

TEST_F(ExportRows, FailureIsReportedAndKeepsAnExistingFile)
{
    cl::StringList list;
    list.rows = {Row("A")};
    list.PlainRowCount = 1;
    const std::string path = Path("A.txt");
    Write(path, "earlier export");
    for (FailStep step : {FailStep::Create, FailStep::Write, FailStep::HalfWrite, FailStep::Flush, FailStep::Rename}) {
        FailingFileSystem failing;
        failing.FailAt(step);
        auto error = cltest::ErrorOf(cl::ExportRows(list, path, failing));
        ASSERT_TRUE(failing.Injected());
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->task, cl::ErrorTask::Export);  // named as the export, not as a save
        EXPECT_NE(cltext::DescribeError(*error).find("无法导出到文件" + cltext::Quoted(path)), std::string::npos)
            << cltext::DescribeError(*error);
        EXPECT_EQ(Read(path), "earlier export");
        EXPECT_EQ((Entries()), (std::set<std::string>{"A.txt"}));
    }
}

TEST_F(ExportRows, FolderThatDoesNotExistIsReported)
{
    cl::StringList list;
    auto error = cltest::ErrorOf(cl::ExportRows(list, Path("missing/A.txt")));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, cl::ErrorKind::NotReplaced);
    EXPECT_NE(cltext::DescribeError(*error).find(Path("missing")), std::string::npos) << cltext::DescribeError(*error);
}

// ---------------------------------------------------------------------------------------

TEST(PathParts, FolderAndName)
{
    EXPECT_EQ(cl::FolderOf("/a/b/A.class"), "/a/b");
    EXPECT_EQ(cl::NameOf("/a/b/A.class"), "A.class");
    EXPECT_EQ(cl::FolderOf("A.class"), ".");
    EXPECT_EQ(cl::NameOf("A.class"), "A.class");
    EXPECT_EQ(cl::FolderOf("/A.class"), "/");
    EXPECT_EQ(cl::FolderOf("a//A.class"), "a");
}

}  // namespace
