// The translated copy of a whole program never costs the user anything they had: a backup made
// once is never replaced, a run that changes nothing writes nothing, a folder in place has only
// its changed files replaced, a new folder keeps every file's mode and time and every link as a
// link, an output is never one of the inputs, and a failure at any step leaves no half-made
// folder behind and the input and any existing output as they were.

#include "ErrorText.h"
#include "ProgramText.h"
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

#include <cstdio>
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
        // The catalogue updated: the text translated anew, and the other class's text besides.
        Write(Path("again.po"), cltest::Catalogue({{"Hello", "您好"}, {"Bye", "再见"}}));
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

        // An updated catalogue translates the original again, not the first run's Chinese, and
        // the first original stays the backup: the program it replaces was only that run's.
        cl::Result<cat::GenerateReport> third = Apply(input, Path("again.po"), "", true);
        ASSERT_TRUE(third.ok()) << cltext::DescribeError(third.error());
        EXPECT_TRUE(third->output.written);
        EXPECT_EQ(third->output.backup, cat::BackupOutcome::Kept);
        EXPECT_EQ(third->output.translatedFrom, backup);
        EXPECT_EQ(FileState::Of(backup), kept);
        EXPECT_EQ(Read(backup), original);
        EXPECT_EQ(TextsOf(input).count("您好"), 1u);
        EXPECT_EQ(TextsOf(input).count("你好"), 0u);
        EXPECT_FALSE(FileState::Of(input + ".bak.2").exists);
        EXPECT_NE(FileState::Of(input).inode, translated.inode) << "replaced in one step, by a rename";
        std::filesystem::remove(input);
        std::filesystem::remove(backup);
        std::filesystem::remove(cat::InPlaceRecordPath(input));
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

    // An updated catalogue that changes both classes translates the first from its original
    // (kept as it was, with the user's note), and adds the original of the second.
    cl::Result<cat::GenerateReport> third = Apply(fold, Path("again.po"), "", true);
    ASSERT_TRUE(third.ok()) << cltext::DescribeError(third.error());
    EXPECT_TRUE(third->output.written);
    EXPECT_EQ(third->output.backup, cat::BackupOutcome::Kept);
    EXPECT_EQ(third->output.backupsAdded, 1u);
    EXPECT_EQ(third->output.translatedFrom, bak);
    const TreeState backupsNow = TreeState::Of(bak);
    EXPECT_EQ(backupsNow.items.at("app/Main.class"), backups.items.at("app/Main.class"));
    EXPECT_EQ(backupsNow.items.at("notes.txt"), backups.items.at("notes.txt"));
    EXPECT_EQ(FileState::Of(bak + "/app/lib/Other.class").bytes, cltest::OtherClass());
    EXPECT_EQ(TextsOf(fold + "/app/Main.class").count("您好"), 1u);
    EXPECT_EQ(TextsOf(fold + "/app/lib/Other.class").count("再见"), 1u);
    ExpectUntouchedBut(before, TreeState::Of(fold), {"app/Main.class", "app/lib/Other.class"});
}

// A backup already there that is not the program's earlier original (the user's own folder, a
// file where a folder belongs) is never replaced: the original goes to the first free
// numbered name instead, which the report names.
TEST_F(ProgramOutput, BackupInTheWayIsKeptAndTheOriginalGoesToANumberedOne)
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
        const bool folder = std::string(c.input) == "fold";
        const std::string input = Path(c.input);
        const std::string backup = input + ".bak";
        if (folder) {
            cltest::MakeSampleFolder(input, Path("outside.txt"));
            Write(backup, "not a folder\n");
        } else {
            Write(input, std::string(c.input) == "app.jar" ? cltest::SampleJar() : cltest::MainClass());
            std::filesystem::create_directory(backup);
            Write(backup + "/keep.txt", "the user's\n");
        }
        // .bak.2 is taken too: the next free number is 3.
        Write(input + ".bak.2", "taken\n");
        const TreeState inputBefore = TreeState::Of(input, false);
        const TreeState backupBefore = TreeState::Of(backup);

        cl::Result<cat::GenerateReport> run = Apply(input, Path("first.po"), "", true);
        ASSERT_TRUE(run.ok()) << cltext::DescribeError(run.error());
        EXPECT_EQ(run->output.backup, cat::BackupOutcome::Numbered);
        EXPECT_EQ(run->output.backupPath, input + ".bak.3");
        EXPECT_EQ(TreeState::Of(backup), backupBefore);
        EXPECT_EQ(Read(input + ".bak.2"), "taken\n");
        const std::string copy = folder ? input + ".bak.3/app/Main.class" : input + ".bak.3";
        EXPECT_EQ(Read(copy), inputBefore.items.at(folder ? "app/Main.class" : ".").state.bytes);
        const std::string said = cltext::BackupText(run->output);
        EXPECT_NE(said.find(input + ".bak.3"), std::string::npos) << said;
        std::filesystem::remove_all(input);
        std::filesystem::remove_all(backup);
        std::filesystem::remove_all(input + ".bak.2");
        std::filesystem::remove_all(input + ".bak.3");
        std::filesystem::remove(cat::InPlaceRecordPath(input));
    }
}

// A second run in place with another catalogue gives the program one run of it gives the
// original: a file the first run changed and the second does not gets its original back, a
// file it added goes, and nothing new is backed up. A program replaced since (a new version)
// is an original of its own and gets a numbered backup.
TEST_F(ProgramOutput, InPlaceTwiceGivesWhatOnceGives)
{
    Write(Path("outside.txt"), "outside secret\n");
    Write(Path("both.po"), cltest::Catalogue({{"Hello", "你好"}, {"Bye", "再见"}}));
    Write(Path("bye.po"), cltest::Catalogue({{"Bye", "再会"}}));
    Write(Path("none.po"), cltest::Catalogue({{"Nowhere", "无处"}}));

    // Folder: once with bye.po, against both.po then bye.po.
    const std::string once = Path("once");
    cltest::MakeSampleFolder(once, Path("outside.txt"));
    ASSERT_TRUE(Apply(once, Path("bye.po"), "", true).ok());
    const std::string fold = Path("fold");
    cltest::MakeSampleFolder(fold, Path("outside.txt"));
    const TreeState original = TreeState::Of(fold);
    ASSERT_TRUE(Apply(fold, Path("both.po"), "", true).ok());
    cl::Result<cat::GenerateReport> second = Apply(fold, Path("bye.po"), "", true);
    ASSERT_TRUE(second.ok()) << cltext::DescribeError(second.error());
    EXPECT_EQ(second->output.restored, 1u);
    EXPECT_EQ(second->output.backupsAdded, 0u);
    EXPECT_EQ(second->output.translatedFrom, fold + ".bak");
    EXPECT_EQ(Read(fold + "/app/Main.class"), original.items.at("app/Main.class").state.bytes);
    EXPECT_EQ(Read(fold + "/app/lib/Other.class"), Read(once + "/app/lib/Other.class"));
    EXPECT_EQ(TreeState::Of(fold).Names(), TreeState::Of(once).Names());
    EXPECT_NE(cltext::InPlaceText(second->output).find("恢复"), std::string::npos);

    // A catalogue that changes nothing of the original still undoes the earlier translation.
    cl::Result<cat::GenerateReport> third = Apply(fold, Path("none.po"), "", true);
    ASSERT_TRUE(third.ok()) << cltext::DescribeError(third.error());
    EXPECT_TRUE(third->output.written);
    EXPECT_EQ(third->output.restored, 1u);
    ExpectUntouchedBut(original, TreeState::Of(fold), {"app/Main.class", "app/lib/Other.class"});
    for (const char* name : {"app/Main.class", "app/lib/Other.class"})
        EXPECT_EQ(Read(fold + "/" + name), original.items.at(name).state.bytes) << name;
    EXPECT_FALSE(FileState::Of(cat::InPlaceRecordPath(fold)).exists) << "nothing of a run is left to record";

    // Jar: a new version dropped over the translated one is backed up as an original.
    const std::string jar = Path("app.jar");
    Write(jar, cltest::SampleJar());
    ASSERT_TRUE(Apply(jar, Path("both.po"), "", true).ok());
    const std::string newVersion = cltest::BuildZip({{"app/Main.class", cltest::ClassOffering("app/Main", {"Hello", "New"}), false, {}}});
    Write(jar, newVersion);
    cl::Result<cat::GenerateReport> next = Apply(jar, Path("both.po"), "", true);
    ASSERT_TRUE(next.ok()) << cltext::DescribeError(next.error());
    EXPECT_EQ(next->output.backup, cat::BackupOutcome::Numbered);
    EXPECT_TRUE(next->output.translatedFrom.empty());
    EXPECT_EQ(Read(jar + ".bak"), cltest::SampleJar());
    EXPECT_EQ(Read(jar + ".bak.2"), newVersion);
    EXPECT_EQ(TextsOf(jar).count("New"), 1u);
    EXPECT_EQ(TextsOf(jar).count("你好"), 1u);
}

// Nothing is written through a link: a variant whose file, or whose folder, is a link in the
// program is left out and named, with and without in place, and the link's target (outside
// both the input and the output) stays as it was.
TEST_F(ProgramOutput, AVariantOnALinkIsRefusedAndTheTargetIsUntouched)
{
    Write(Path("bundle.po"), cltest::Catalogue({{"Open the file", "打开文件"}, {"Close the file", "关闭文件"}}));
    for (const bool inPlace : {false, true}) {
        for (const bool linkedFolder : {false, true}) {
            SCOPED_TRACE(std::string(inPlace ? "in place" : "new output") + (linkedFolder ? ", folder link" : ", file link"));
            const std::string fold = Path("fold");
            const std::string elsewhere = Path("elsewhere");
            std::filesystem::remove_all(fold);
            std::filesystem::remove_all(fold + ".bak");
            std::filesystem::remove_all(Path("out"));
            std::filesystem::remove_all(elsewhere);
            std::filesystem::remove(cat::InPlaceRecordPath(fold));
            std::filesystem::create_directories(fold + "/app");
            std::filesystem::create_directories(elsewhere);
            Write(fold + "/app/Main.class", cltest::ClassOffering("app/Main", {"app.Messages"}));
            Write(fold + "/app/Messages.properties", "open=Open the file\n");
            Write(fold + "/app/Messages_de.properties", "open=Datei öffnen\n");
            std::filesystem::create_directories(fold + "/lang/en");
            std::filesystem::create_directories(fold + "/lang/de");
            Write(fold + "/lang/en/menu.properties", "close=Close the file\n");
            Write(fold + "/lang/de/menu.properties", "close=Datei schließen\n");
            if (linkedFolder) {
                std::filesystem::create_directory_symlink(elsewhere, fold + "/lang/zh");
            } else {
                Write(elsewhere + "/target.properties", "precious=yes\n");
                std::filesystem::create_symlink(elsewhere + "/target.properties", fold + "/app/Messages_zh_CN.properties");
            }
            const TreeState outside = TreeState::Of(elsewhere);

            cl::Result<cat::GenerateReport> run = Apply(fold, Path("bundle.po"), inPlace ? "" : Path("out"), inPlace);
            ASSERT_TRUE(run.ok()) << cltext::DescribeError(run.error());
            EXPECT_EQ(TreeState::Of(elsewhere), outside) << "written through the link";
            ASSERT_EQ(run->output.refused.size(), 1u);
            const cl::Error& refused = run->output.refused.front();
            EXPECT_EQ(refused.kind, cl::ErrorKind::LandsOnLink);
            const std::string variant = linkedFolder ? "lang/zh/menu.properties" : "app/Messages_zh_CN.properties";
            EXPECT_EQ(refused.entry, variant);
            EXPECT_EQ(std::count(run->variantsWritten.begin(), run->variantsWritten.end(), variant), 0);
            EXPECT_EQ(run->variantsWritten.size(), 1u) << "the other family is written";
            const std::string said = cltext::DescribeError(refused);
            EXPECT_NE(said.find(variant), std::string::npos) << said;
            const std::string result = inPlace ? fold : Path("out");
            EXPECT_TRUE(std::filesystem::is_symlink(result + (linkedFolder ? "/lang/zh" : "/app/Messages_zh_CN.properties")));
        }
    }
}

// An output folder inside the input folder, by any path or link, is refused before anything
// is written; a new jar or class output takes the input's permission bits.
TEST_F(ProgramOutput, OutputsInsideTheInputAreRefusedAndNewOutputsTakeTheInputsMode)
{
    WriteCatalogues();
    Write(Path("outside.txt"), "outside secret\n");
    const std::string fold = Path("fold");
    cltest::MakeSampleFolder(fold, Path("outside.txt"));
    std::filesystem::create_directory_symlink(fold, Path("alias"));
    const TreeState before = TreeState::Of(fold);
    for (const std::string& output : {fold + "/out", fold + "/app/deeper/out", Path("alias") + "/out",
                                      fold + "/app/../out", fold}) {
        SCOPED_TRACE(output);
        cl::Result<cat::GenerateReport> run = Apply(fold, Path("first.po"), output, false);
        ASSERT_FALSE(run.ok());
        EXPECT_TRUE(run.error().kind == cl::ErrorKind::OutputInsideInput ||
                    run.error().kind == cl::ErrorKind::OutputIsInput);
        EXPECT_EQ(TreeState::Of(fold), before);
    }
    EXPECT_TRUE(Apply(fold, Path("first.po"), Path("beside"), false).ok());

    for (const mode_t mode : {0755, 0600}) {
        SCOPED_TRACE(mode);
        const std::string jar = Path("run.jar");
        Write(jar, "#!/bin/sh\nexec java -jar \"$0\" \"$@\"\n" + cltest::SampleJar());
        ::chmod(jar.c_str(), mode);
        std::filesystem::remove(Path("out.jar"));
        ASSERT_TRUE(Apply(jar, Path("first.po"), Path("out.jar"), false).ok());
        EXPECT_EQ(FileState::Of(Path("out.jar")).mode, static_cast<uint32_t>(mode));
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

// In place, any failure leaves the input as it was: a jar keeps its original (in the backup,
// if that was made), and a folder has every file put back, also those replaced before the
// failure.
TEST_F(ProgramOutput, FailuresInPlaceLeaveTheInputAsItWas)
{
    WriteCatalogues();
    const std::string jar = Path("app.jar");
    const std::string original = cltest::SampleJar();
    auto resetJar = [&] {
        Write(jar, original);
        std::filesystem::remove(jar + ".bak");
        std::filesystem::remove(cat::InPlaceRecordPath(jar));
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
        std::filesystem::remove(cat::InPlaceRecordPath(fold));
        cltest::MakeSampleFolder(fold, Path("outside.txt"));
    };
    for (const FailStep step : {FailStep::Create, FailStep::Write, FailStep::Flush, FailStep::CopyPermissions,
                                FailStep::Rename, FailStep::MakeFolder, FailStep::OpenRead, FailStep::HalfWrite}) {
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
            // All or nothing: every file replaced before the failure is put back, and the
            // backups made for this run go with it.
            const TreeState after = TreeState::Of(fold);
            EXPECT_EQ(after.Names(), before.Names()) << "something was left in the program folder";
            ExpectUntouchedBut(before, after, {});
            EXPECT_FALSE(TreeState::Of(bak).exists) << "a backup of a run that changed nothing";
            EXPECT_FALSE(FileState::Of(cat::InPlaceRecordPath(fold)).exists);
            const std::string said = cltext::DescribeError(run.error());
            if (run.error().kind == cl::ErrorKind::InPlaceUndone) {
                EXPECT_NE(said.find("恢复原样"), std::string::npos) << said;
                EXPECT_EQ(said.find(".bak"), std::string::npos) << "names a backup this run does not use: " << said;
            }
        }
        EXPECT_GT(failed, 0) << StepName(step);
    }
}

// The record beside a program is only believed about the program's own backups and files that
// still hold what was written: a record crafted or left behind never makes another file an
// original, nor a file outside the program part of it.
TEST_F(ProgramOutput, ARecordIsBelievedOnlyAboutTheProgramsOwnBackups)
{
    Write(Path("app.jar"), "translated");
    Write(Path("app.jar.bak"), "original");
    Write(Path("app.jar.bak.7"), "original 7");
    Write(Path("secret"), "not the program's");
    const std::string translated = "translated";
    const std::string hash = [&] {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(cat::ContentHash(translated)));
        return std::string(hex);
    }();
    const std::string size = std::to_string(translated.size());
    const struct {
        const char* what;
        std::string line;  // the record's one file
        std::string original;  // what it is believed to name; empty: nothing
    } cases[] = {
        {"the plain backup", size + "\t" + hash + "\tapp.jar.bak\t", Path("app.jar.bak")},
        {"a numbered backup", size + "\t" + hash + "\tapp.jar.bak.7\t", Path("app.jar.bak.7")},
        {"a file outside", size + "\t" + hash + "\t../secret\t", ""},
        {"another file beside it", size + "\t" + hash + "\tsecret\t", ""},
        {"a backup of another name", size + "\t" + hash + "\tapp.jar.bakx\t", ""},
        {"a size that no longer matches", "11\t" + hash + "\tapp.jar.bak\t", ""},
        {"a hash that no longer matches", size + "\t1234\tapp.jar.bak\t", ""},
        {"a line cut short", size + "\t" + hash + "\tapp.jar.bak", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Write(cat::InPlaceRecordPath(Path("app.jar")), "classlingo in-place 1\n" + c.line + "\n");
        const cat::InPlaceOrigin origin = cat::FindInPlaceOrigin(Path("app.jar"), false, cl::NativeFileSystem());
        if (c.original.empty()) {
            EXPECT_TRUE(origin.Empty());
        } else {
            ASSERT_EQ(origin.originals.count(""), 1u);
            EXPECT_EQ(origin.originals.at(""), c.original);
        }
    }

    // A folder's record naming a file outside the folder, or a backup of another file.
    const std::string fold = Path("fold");
    std::filesystem::create_directories(fold + "/app");
    std::filesystem::create_directories(fold + ".bak/app");
    Write(fold + "/app/A.class", translated);
    Write(fold + ".bak/app/A.class", "original");
    Write(fold + ".bak/app/B.class", "other");
    for (const auto& [line, believed] : std::vector<std::pair<std::string, bool>>{
             {size + "\t" + hash + "\tfold.bak/app/A.class\tapp/A.class", true},
             {size + "\t" + hash + "\tfold.bak/app/B.class\tapp/A.class", false},
             {size + "\t" + hash + "\tfold.bak/app/../app/A.class\tapp/A.class", false},
             {size + "\t" + hash + "\tfold.bak/../secret\t../secret", false},
         }) {
        SCOPED_TRACE(line);
        Write(cat::InPlaceRecordPath(fold), "classlingo in-place 1\n" + line + "\n");
        const cat::InPlaceOrigin origin = cat::FindInPlaceOrigin(fold, true, cl::NativeFileSystem());
        EXPECT_EQ(origin.originals.count("app/A.class"), believed ? 1u : 0u);
        EXPECT_EQ(origin.originals.size(), believed ? 1u : 0u);
    }
}

}  // namespace
