// The translated copy of a whole program never costs the user anything they had: a backup made
// once is never replaced, a run that changes nothing writes nothing, a folder in place has only
// its changed files replaced, a new folder keeps every file's mode and time and every link as a
// link, an output is never one of the inputs, and a failure at any step leaves no half-made
// folder behind and the input and any existing output as they were.

#include "ErrorText.h"
#include "catalogue/ProgramSession.h"

#include "ErrorOf.h"
#include "FailingFileSystem.h"
#include "FileState.h"
#include "SamplePrograms.h"
#include "SessionTexts.h"
#include "ScratchFolder.h"
#include "TreeState.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

namespace cat = cl::catalogue;
using cltest::FailStep;
using cltest::FileState;
using cltest::TextsOf;
using cltest::TreeState;

// Every item of `before` but those named is in `after` as it was: the same file (inode), mode,
// time and contents; a folder's time aside, which changes as files in it are replaced.
void ExpectUntouchedBut(const TreeState& before, const TreeState& after, const std::set<std::string>& changed)
{
    for (const auto& [name, item] : before.items) {
        if (changed.count(name))
            continue;
        ASSERT_EQ(after.items.count(name), 1u) << name << " is gone";
        const cltest::TreeItemState& now = after.items.at(name);
        if (item.type == 'd') {
            EXPECT_EQ(now.state.inode, item.state.inode) << name;
            EXPECT_EQ(now.state.mode, item.state.mode) << name;
        } else {
            EXPECT_EQ(now, item) << name << " was touched";
        }
    }
}

class ProgramOutput : public cltest::ScratchFolder {
protected:
    // What `apply` does: the program opened, the catalogue continued, the output generated.
    cl::Result<cat::GenerateReport> Apply(const std::string& input, const std::string& po, const std::string& output,
                                          bool inPlace, cl::FileSystem& fs = cl::NativeFileSystem())
    {
        cat::ProgramSession session(fs);
        cat::OpenOptions options;
        options.keepProgram = true;
        if (cl::Status opened = session.Open(input, options); !opened)
            return opened.error();
        if (cl::Result<cat::ImportSummary> imported = session.ImportCatalogue(po, cat::ImportMode::Continue); !imported)
            return imported.error();
        cat::GenerateRequest request;
        request.output = output;
        request.inPlace = inPlace;
        cl::Result<cat::PreparedGenerate> prepared = session.PrepareGenerate(request);
        if (!prepared)
            return prepared.error();
        EXPECT_FALSE(prepared->HasProblems());
        return prepared->Commit();
    }

    void WriteCatalogues()
    {
        Write(Path("first.po"), cltest::Catalogue({{"Hello", "你好"}}));
        // The translated program's text translated again, and the other class's text besides.
        Write(Path("again.po"), cltest::Catalogue({{"你好", "您好"}, {"Bye", "再见"}}));
    }
};

// ---- In place

TEST_F(ProgramOutput, InPlaceKeepsTheFirstOriginalAndWritesNothingWhenNothingChanges)
{
    WriteCatalogues();
    for (const bool jar : {true, false}) {
        SCOPED_TRACE(jar ? "jar" : "class");
        const std::string input = Path(jar ? "app.jar" : "Main.class");
        const std::string backup = input + ".bak";
        const std::string original = jar ? cltest::SampleJar() : cltest::MainClass();
        Write(input, original);

        // The first run keeps the original as the backup.
        cl::Result<cat::GenerateReport> first = Apply(input, Path("first.po"), "", true);
        ASSERT_TRUE(first.ok()) << cltext::DescribeError(first.error());
        EXPECT_TRUE(first->output.written);
        EXPECT_EQ(first->output.backup, cat::BackupOutcome::Made);
        EXPECT_EQ(first->output.backupPath, backup);
        EXPECT_EQ(Read(backup), original);
        EXPECT_EQ(TextsOf(input).count("你好"), 1u);

        // The same catalogue again changes nothing: nothing is written, the backup stays.
        FileState::Age(input);
        const FileState translated = FileState::Of(input);
        const FileState kept = FileState::Of(backup);
        cl::Result<cat::GenerateReport> second = Apply(input, Path("first.po"), "", true);
        ASSERT_TRUE(second.ok()) << cltext::DescribeError(second.error());
        EXPECT_FALSE(second->output.written);
        EXPECT_EQ(second->output.backup, cat::BackupOutcome::None);
        EXPECT_EQ(FileState::Of(input), translated);
        EXPECT_EQ(FileState::Of(backup), kept);

        // A run that changes the translated program keeps the first original, not the
        // program it replaces.
        cl::Result<cat::GenerateReport> third = Apply(input, Path("again.po"), "", true);
        ASSERT_TRUE(third.ok()) << cltext::DescribeError(third.error());
        EXPECT_TRUE(third->output.written);
        EXPECT_EQ(third->output.backup, cat::BackupOutcome::Kept);
        EXPECT_EQ(FileState::Of(backup), kept);
        EXPECT_EQ(Read(backup), original);
        EXPECT_EQ(TextsOf(input).count("您好"), 1u);
        EXPECT_NE(FileState::Of(input).inode, translated.inode) << "replaced in one step, by a rename";
    }
}

TEST_F(ProgramOutput, FolderInPlaceReplacesOnlyChangedFilesAndKeepsEarlierOriginals)
{
    WriteCatalogues();
    Write(Path("outside.txt"), "outside secret\n");
    const std::string fold = Path("fold");
    const std::string bak = fold + ".bak";
    cltest::MakeSampleFolder(fold, Path("outside.txt"));
    const TreeState before = TreeState::Of(fold);

    cl::Result<cat::GenerateReport> first = Apply(fold, Path("first.po"), "", true);
    ASSERT_TRUE(first.ok()) << cltext::DescribeError(first.error());
    EXPECT_TRUE(first->output.written);
    EXPECT_EQ(first->output.backup, cat::BackupOutcome::Made);
    EXPECT_EQ(first->output.backupPath, bak);
    EXPECT_EQ(first->output.backupsAdded, 1u);
    // Only the changed class is new; every other item is the very same file, untouched.
    const TreeState after = TreeState::Of(fold);
    ExpectUntouchedBut(before, after, {"app/Main.class"});
    EXPECT_NE(after.items.at("app/Main.class").state.inode, before.items.at("app/Main.class").state.inode);
    EXPECT_EQ(after.items.at("app/Main.class").state.mode, 0644u);
    EXPECT_EQ(TextsOf(fold + "/app/Main.class").count("你好"), 1u);
    // Its original went to the same place under the backup folder, with its mode and time.
    const FileState saved = FileState::Of(bak + "/app/Main.class");
    const FileState was = before.items.at("app/Main.class").state;
    EXPECT_EQ(saved.bytes, was.bytes);
    EXPECT_EQ(saved.mode, was.mode);
    EXPECT_EQ(saved.mtimeNs, was.mtimeNs);
    EXPECT_EQ(TreeState::Of(bak).Names(), (std::set<std::string>{".", "app", "app/Main.class"}));

    // The user adds a note to the backup folder; a run that changes nothing touches nothing.
    Write(bak + "/notes.txt", "mine\n");
    const TreeState translated = TreeState::Of(fold);
    const TreeState backups = TreeState::Of(bak);
    cl::Result<cat::GenerateReport> second = Apply(fold, Path("first.po"), "", true);
    ASSERT_TRUE(second.ok()) << cltext::DescribeError(second.error());
    EXPECT_FALSE(second->output.written);
    EXPECT_EQ(TreeState::Of(fold), translated);
    EXPECT_EQ(TreeState::Of(bak), backups);

    // A run that changes both classes keeps the older original of the first and the user's
    // note, and adds the original of the second.
    cl::Result<cat::GenerateReport> third = Apply(fold, Path("again.po"), "", true);
    ASSERT_TRUE(third.ok()) << cltext::DescribeError(third.error());
    EXPECT_TRUE(third->output.written);
    EXPECT_EQ(third->output.backup, cat::BackupOutcome::Kept);
    EXPECT_EQ(third->output.backupsAdded, 1u);
    const TreeState backupsNow = TreeState::Of(bak);
    EXPECT_EQ(backupsNow.items.at("app/Main.class"), backups.items.at("app/Main.class"));
    EXPECT_EQ(backupsNow.items.at("notes.txt"), backups.items.at("notes.txt"));
    EXPECT_EQ(FileState::Of(bak + "/app/lib/Other.class").bytes, cltest::OtherClass());
    EXPECT_EQ(TextsOf(fold + "/app/Main.class").count("您好"), 1u);
    EXPECT_EQ(TextsOf(fold + "/app/lib/Other.class").count("再见"), 1u);
    ExpectUntouchedBut(before, TreeState::Of(fold), {"app/Main.class", "app/lib/Other.class"});
}

TEST_F(ProgramOutput, BackupInTheWayIsNamedAndNothingChanges)
{
    WriteCatalogues();
    Write(Path("outside.txt"), "outside secret\n");
    const struct {
        const char* name;
        const char* input;
    } cases[] = {{"jar whose backup is a folder", "app.jar"},
                 {"class whose backup is a folder", "Main.class"},
                 {"folder whose backup is a file", "fold"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = Path(c.input);
        const std::string backup = input + ".bak";
        if (std::string(c.input) == "fold") {
            cltest::MakeSampleFolder(input, Path("outside.txt"));
            Write(backup, "not a folder\n");
        } else {
            Write(input, std::string(c.input) == "app.jar" ? cltest::SampleJar() : cltest::MainClass());
            std::filesystem::create_directory(backup);
            Write(backup + "/keep.txt", "the user's\n");
        }
        // (A folder's time aside: its changed files were made beside the originals.)
        const TreeState inputBefore = TreeState::Of(input, false);
        const TreeState backupBefore = TreeState::Of(backup);
        const std::set<std::string> entries = Entries();

        cl::Result<cat::GenerateReport> run = Apply(input, Path("first.po"), "", true);
        ASSERT_FALSE(run.ok());
        const cl::Error& error = run.error();
        EXPECT_EQ(error.task, cl::ErrorTask::Backup);
        EXPECT_EQ(error.other, backup);
        const std::string message = cltext::DescribeError(error);
        EXPECT_NE(message.find("“" + backup + "”不是普通文件"), std::string::npos) << message;
        EXPECT_EQ(TreeState::Of(input, false), inputBefore);
        EXPECT_EQ(TreeState::Of(backup), backupBefore);
        EXPECT_EQ(Entries(), entries);
    }
}

// ---- A new folder

TEST_F(ProgramOutput, NewFolderKeepsModesTimesAndLinks)
{
    WriteCatalogues();
    Write(Path("outside.txt"), "outside secret\n");
    const std::string fold = Path("fold");
    cltest::MakeSampleFolder(fold, Path("outside.txt"));
    const TreeState input = TreeState::Of(fold);
    std::filesystem::create_directory(Path("empty-out"));

    for (const char* out : {"out", "empty-out"}) {
        SCOPED_TRACE(out);
        cl::Result<cat::GenerateReport> run = Apply(fold, Path("first.po"), Path(out), false);
        ASSERT_TRUE(run.ok()) << cltext::DescribeError(run.error());
        EXPECT_TRUE(run->output.written);
        EXPECT_EQ(run->output.backup, cat::BackupOutcome::None);

        const TreeState copy = TreeState::Of(Path(out)).WithoutIdentity();
        const TreeState original = input.WithoutIdentity();
        EXPECT_EQ(copy.Names(), original.Names());
        for (const auto& [name, item] : original.items) {
            if (name == "app/Main.class" || !copy.items.count(name))
                continue;
            EXPECT_EQ(copy.items.at(name), item) << name << " is not kept as it was";
        }
        // Links are links, with what they held: nothing outside the program came in.
        EXPECT_EQ(copy.items.at("hostname").type, 'l');
        EXPECT_EQ(copy.items.at("hostname").link, Path("outside.txt"));
        EXPECT_EQ(copy.items.at("lib-link").type, 'l');
        EXPECT_EQ(copy.items.at("run.sh").state.mode, 0755u);
        // The translated class keeps its mode; it was written now.
        EXPECT_EQ(copy.items.at("app/Main.class").state.mode, 0644u);
        EXPECT_EQ(TextsOf(Path(out) + "/app/Main.class").count("你好"), 1u);
        EXPECT_EQ(TreeState::Of(fold), input) << "the input changed";
    }
}

// ---- Failures

// Every call of every step that making a new folder goes through is made to fail in turn: a
// run that fails leaves no staged folder, the input as it was, and an existing output as it
// was; a run that went past the failure made the whole output.
TEST_F(ProgramOutput, FailuresWhileMakingANewFolderLeaveNothingBehind)
{
    WriteCatalogues();
    Write(Path("outside.txt"), "outside secret\n");
    const std::string fold = Path("fold");
    const std::string out = Path("out");
    cltest::MakeSampleFolder(fold, Path("outside.txt"));
    const TreeState input = TreeState::Of(fold);

    for (const bool existing : {false, true}) {
        auto reset = [&] {
            std::filesystem::remove_all(out);
            if (existing) {
                std::filesystem::create_directory(out);
                FileState::Age(out);
            }
        };
        for (const FailStep step : {FailStep::CreateTempFolder, FailStep::MakeFolder, FailStep::MakeLink,
                                    FailStep::ReadLink, FailStep::CopyAttributes, FailStep::Create, FailStep::Write,
                                    FailStep::HalfWrite, FailStep::Flush, FailStep::CopyPermissions, FailStep::Rename,
                                    FailStep::StatLink}) {
            reset();
            cltest::FailingFileSystem counting;
            ASSERT_TRUE(Apply(fold, Path("first.po"), out, false, counting).ok());
            const int calls = counting.Calls(step);
            int failed = 0;
            for (int k = 1; k <= calls; ++k) {
                SCOPED_TRACE(std::string(StepName(step)) + " call " + std::to_string(k) + " of " +
                             std::to_string(calls) + (existing ? ", over an empty folder" : ""));
                reset();
                const TreeState outBefore = TreeState::Of(out);
                const std::set<std::string> entries = Entries();
                cltest::FailingFileSystem fs;
                fs.FailAt(step, k);
                cl::Result<cat::GenerateReport> run = Apply(fold, Path("first.po"), out, false, fs);
                ASSERT_TRUE(fs.Injected());
                if (run.ok()) {
                    EXPECT_EQ(TreeState::Of(out).Names(), input.Names());
                    continue;
                }
                ++failed;
                EXPECT_EQ(TreeState::Of(fold), input);
                EXPECT_EQ(TreeState::Of(out), outBefore);
                EXPECT_EQ(Entries(), entries) << "something was left beside the output";
            }
            EXPECT_GT(failed, 0) << StepName(step) << ": no failure of this step stopped the run";
        }
    }
}

// Where renaming a folder never replaces the empty one there, the empty folder goes first and
// comes back, with its mode and time, when the rename still fails.
TEST_F(ProgramOutput, AnEmptyOutputFolderComesBackWhenTheNewOneCannotTakeItsPlace)
{
    class FoldersStay : public cltest::FailingFileSystem {
    public:
        std::error_code Rename(const std::string& from, const std::string& to) override
        {
            if (std::filesystem::is_directory(from))
                return std::make_error_code(std::errc::permission_denied);
            return FailingFileSystem::Rename(from, to);
        }
    };
    WriteCatalogues();
    Write(Path("outside.txt"), "outside secret\n");
    cltest::MakeSampleFolder(Path("fold"), Path("outside.txt"));
    std::filesystem::create_directory(Path("out"));
    ::chmod(Path("out").c_str(), 0700);
    FileState::Age(Path("out"));
    const FileState before = FileState::Of(Path("out"));
    const std::set<std::string> entries = Entries();
    FoldersStay fs;
    cl::Result<cat::GenerateReport> run = Apply(Path("fold"), Path("first.po"), Path("out"), false, fs);
    ASSERT_FALSE(run.ok());
    EXPECT_EQ(run.error().kind, cl::ErrorKind::CannotMakeFolder);
    EXPECT_EQ(run.error().path, Path("out"));
    const FileState after = FileState::Of(Path("out"));
    EXPECT_TRUE(after.exists);
    EXPECT_EQ(after.mode, before.mode);
    EXPECT_EQ(after.mtimeNs, before.mtimeNs);
    EXPECT_TRUE(std::filesystem::is_empty(Path("out")));
    EXPECT_EQ(Entries(), entries) << "the staged folder was left behind";
}

// In place, a failure while the new files are made leaves the input as it was and nothing
// beside it; once they are being put in place, a jar keeps its original (in the backup, if
// that was made), and a folder has each file either as it was or replaced with its original
// under the backup folder.
TEST_F(ProgramOutput, FailuresInPlaceLeaveTheInputAsItWas)
{
    WriteCatalogues();
    const std::string jar = Path("app.jar");
    const std::string original = cltest::SampleJar();
    auto resetJar = [&] {
        Write(jar, original);
        std::filesystem::remove(jar + ".bak");
    };
    for (const FailStep step : {FailStep::OpenRead, FailStep::Read, FailStep::Create, FailStep::Write,
                                FailStep::Flush, FailStep::CopyPermissions, FailStep::Rename, FailStep::Stat}) {
        resetJar();
        cltest::FailingFileSystem counting;
        ASSERT_TRUE(Apply(jar, Path("first.po"), "", true, counting).ok());
        const int calls = counting.Calls(step);
        int failed = 0;
        for (int k = 1; k <= calls; ++k) {
            SCOPED_TRACE(std::string("jar, ") + StepName(step) + " call " + std::to_string(k));
            resetJar();
            const FileState before = FileState::Of(jar);
            cltest::FailingFileSystem fs;
            fs.FailAt(step, k);
            cl::Result<cat::GenerateReport> run = Apply(jar, Path("first.po"), "", true, fs);
            ASSERT_TRUE(fs.Injected());
            if (run.ok())
                continue;
            ++failed;
            EXPECT_EQ(FileState::Of(jar), before);
            std::set<std::string> expected{"app.jar", "first.po", "again.po"};
            if (FileState::Of(jar + ".bak").exists) {
                EXPECT_EQ(Read(jar + ".bak"), original);
                expected.insert("app.jar.bak");
            }
            EXPECT_EQ(Entries(), expected) << "something was left beside the program";
        }
        EXPECT_GT(failed, 0) << StepName(step);
    }

    Write(Path("outside.txt"), "outside secret\n");
    const std::string fold = Path("fold");
    const std::string bak = fold + ".bak";
    auto resetFolder = [&] {
        std::filesystem::remove_all(fold);
        std::filesystem::remove_all(bak);
        cltest::MakeSampleFolder(fold, Path("outside.txt"));
    };
    for (const FailStep step : {FailStep::Create, FailStep::Write, FailStep::Flush, FailStep::CopyPermissions,
                                FailStep::Rename, FailStep::MakeFolder, FailStep::OpenRead}) {
        resetFolder();
        cltest::FailingFileSystem counting;
        ASSERT_TRUE(Apply(fold, Path("again.po"), "", true, counting).ok());
        const int calls = counting.Calls(step);
        int failed = 0;
        for (int k = 1; k <= calls; ++k) {
            SCOPED_TRACE(std::string("folder, ") + StepName(step) + " call " + std::to_string(k));
            resetFolder();
            const TreeState before = TreeState::Of(fold);
            cltest::FailingFileSystem fs;
            fs.FailAt(step, k);
            cl::Result<cat::GenerateReport> run = Apply(fold, Path("again.po"), "", true, fs);
            ASSERT_TRUE(fs.Injected());
            if (run.ok())
                continue;
            ++failed;
            const TreeState after = TreeState::Of(fold);
            EXPECT_EQ(after.Names(), before.Names()) << "something was left in the program folder";
            for (const char* name : {"app/Main.class", "app/lib/Other.class"}) {
                const FileState now = after.items.at(name).state;
                if (now == before.items.at(name).state)
                    continue;
                // Replaced: its original is under the backup folder.
                EXPECT_EQ(FileState::Of(bak + "/" + name).bytes, before.items.at(name).state.bytes) << name;
            }
            ExpectUntouchedBut(before, after, {"app/Main.class", "app/lib/Other.class"});
            if (TreeState::Of(bak).exists) {
                for (const auto& [name, item] : TreeState::Of(bak).items) {
                    if (item.type == 'f') {
                        EXPECT_EQ(item.state.bytes, before.items.at(name).state.bytes) << name;
                    }
                }
            }
        }
        EXPECT_GT(failed, 0) << StepName(step);
    }
}

}  // namespace
