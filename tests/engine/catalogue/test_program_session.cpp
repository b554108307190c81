// The program session as both front ends drive it: nothing is written while any translation
// has a problem, the catalogue is never an output, what a catalogue holds besides finished
// translations (fuzzy ones with the text they were made for, obsolete ones, ones the program no
// longer holds) comes back when it is saved, an entry with a context applies only to places of
// that context, and an annotation value that shares its text with a literal has both places.

#include "CatalogueNotes.h"
#include "ErrorText.h"
#include "ProgramText.h"
#include "UsageText.h"
#include "catalogue/ProgramSession.h"

#include "ErrorOf.h"
#include "HandZip.h"
#include "Java.h"
#include "SamplePrograms.h"
#include "SessionTexts.h"
#include "ScratchFolder.h"
#include "TreeState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace cat = cl::catalogue;
using cltest::FileState;
using cltest::TextsOf;
using cltest::TreeState;

const cat::PoMessage* FindMessage(const cat::PoCatalogue& catalogue, const std::string& msgid)
{
    for (const cat::PoMessage& message : catalogue.messages)
        if (message.msgid == msgid)
            return &message;
    return nullptr;
}

class ProgramSessionTest : public cltest::ScratchFolder {
protected:
    // A session over `input` that goes on from the catalogue `po`.
    cat::ProgramSession Continue(const std::string& input, const std::string& po, bool annotations = false)
    {
        cat::ProgramSession session;
        cat::OpenOptions options;
        options.annotations = annotations;
        options.methods = true;
        EXPECT_TRUE(session.Open(input, options).ok()) << input;
        if (!po.empty()) {
            const cl::Result<cat::ImportSummary> imported = session.ImportCatalogue(po, cat::ImportMode::Continue);
            EXPECT_TRUE(imported.ok()) << po;
        }
        return session;
    }

    static cl::Result<cat::PreparedGenerate> Prepare(cat::ProgramSession& session, const std::string& output,
                                                     bool inPlace = false)
    {
        cat::GenerateRequest request;
        request.output = output;
        request.inPlace = inPlace;
        return session.PrepareGenerate(request);
    }
};

// ---- Nothing over an input

TEST_F(ProgramSessionTest, TheCatalogueAndTheProgramAreNeverAnOutput)
{
    Write(Path("app.jar"), cltest::SampleJar());
    Write(Path("app_zh.po"), cltest::Catalogue({{"Hello", "你好"}}));
    std::filesystem::create_symlink(Path("app_zh.po"), Path("catalogue-link"));
    std::filesystem::create_symlink(Path("app.jar"), Path("program-link"));
    std::filesystem::create_directory(Path("sub"));
    const TreeState before = TreeState::Of(dir_.string());

    cat::ProgramSession session = Continue(Path("app.jar"), Path("app_zh.po"));
    for (const std::string& output : {Path("app_zh.po"), Path("catalogue-link"), Path("sub/../app_zh.po"),
                                     Path("program-link"), Path("sub/../app.jar")}) {
        const cl::Result<cat::PreparedGenerate> prepared = Prepare(session, output);
        ASSERT_FALSE(prepared.ok()) << output;
        EXPECT_EQ(prepared.error().kind, cl::ErrorKind::OutputIsInput) << output;
        EXPECT_EQ(TreeState::Of(dir_.string()), before) << output;
    }
    // Nor is the program ever where the catalogue is saved.
    for (const std::string& target : {Path("app.jar"), Path("program-link")}) {
        const cl::Status saved = session.SaveCatalogue(target, {}, false, cltext::Notes());
        ASSERT_FALSE(saved.ok()) << target;
        EXPECT_EQ(saved.error().kind, cl::ErrorKind::OutputIsInput);
        EXPECT_EQ(TreeState::Of(dir_.string()), before) << target;
    }
    // Once refused, the session still generates where it may.
    cl::Result<cat::PreparedGenerate> prepared = Prepare(session, Path("app_zh.jar"));
    ASSERT_TRUE(prepared.ok()) << cltext::DescribeError(prepared.error());
    ASSERT_TRUE(prepared->Commit().ok());
    EXPECT_EQ(TextsOf(Path("app_zh.jar")).count("你好"), 1u);
    EXPECT_EQ(Read(Path("app_zh.po")), cltest::Catalogue({{"Hello", "你好"}}));
}

// ---- Unsaved changes

TEST_F(ProgramSessionTest, UnsavedIsWhatDiffersFromTheCatalogue)
{
    // The session alone says whether anything is unsaved: it compares each changed translation
    // with what was saved, so a change made and taken back, however, leaves nothing unsaved.
    Write(Path("app.jar"), cltest::SampleJar());
    Write(Path("app_zh.po"), cltest::Catalogue({{"Hello", "你好"}}));
    Write(Path("more.po"), cltest::Catalogue({{"Bye", "再见"}}));
    cat::ProgramSession session = Continue(Path("app.jar"), Path("app_zh.po"));
    const std::size_t hello = *session.Find("", "Hello");
    const std::size_t bye = *session.Find("", "Bye");
    EXPECT_FALSE(session.IsModified());

    struct Step {
        const char* name;
        std::function<void()> change;
        bool unsaved;
    };
    const Step steps[] = {
        {"translated anew", [&] { session.SetTranslation(hello, "您好"); }, true},
        {"another one", [&] { session.SetTranslation(bye, "再会"); }, true},
        {"the first back", [&] { session.SetTranslation(hello, "你好"); }, true},
        {"the second back", [&] { session.SetTranslation(bye, ""); }, false},
        {"marked for review", [&] { session.SetFuzzy(hello, true); }, true},
        {"unmarked", [&] { session.SetFuzzy(hello, false); }, false},
        {"restored as it was", [&] { session.Restore(hello, {"你好", false}); }, false},
        {"restored otherwise", [&] { session.Restore(hello, {"你好", true}); }, true},
        {"saved", [&] { ASSERT_TRUE(session.SaveCatalogue("", {}, false, cltext::Notes()).ok()); }, false},
        {"merged in", [&] { ASSERT_TRUE(session.ImportCatalogue(Path("more.po"), cat::ImportMode::Merge).ok()); }, true},
        {"the merge taken back", [&] { session.SetTranslation(bye, ""); }, false},
        {"changed, then continued from a catalogue",
         [&] {
             session.SetTranslation(bye, "再会");
             ASSERT_TRUE(session.ImportCatalogue(Path("app_zh.po"), cat::ImportMode::Continue).ok());
         },
         false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        EXPECT_EQ(session.IsModified(), step.unsaved);
        // A snapshot, which a generate works from, says the same.
        EXPECT_EQ(session.Snapshot().IsModified(), step.unsaved);
    }
}

// ---- Problems keep everything out

class ProblemProgram : public ProgramSessionTest {
protected:
    void SetUp() override
    {
        ProgramSessionTest::SetUp();
        CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
        ASSERT_EQ(cltest::CompileJava(dir_.string(), "Shop",
                                      "public class Shop {\n"
                                      "    public static void main(String[] args) {\n"
                                      "        int n = args.length;\n"
                                      "        System.out.println(\"Welcome\");\n"
                                      "        System.out.println(\"Found \" + n + \" items\");\n"
                                      "        System.out.println(\"Goodbye\");\n"
                                      "    }\n"
                                      "}\n"),
                  "");
        std::filesystem::remove(Path("Shop.java"));
        Write(Path("shop.po"), cltest::Catalogue({{"Welcome", "欢迎"},
                                                  {"Found {0} items", "找到物品"},  // the slot is lost
                                                  {"Goodbye", std::string(65536, 'x')}}));
    }
};

TEST_F(ProblemProgram, AnyProblemKeepsTheWholeProgramFromBeingWritten)
{
    const std::string input = Path("Shop.class");
    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "new output");
        cat::ProgramSession session = Continue(input, Path("shop.po"));
        const TreeState before = TreeState::Of(dir_.string());
        cl::Result<cat::PreparedGenerate> prepared = Prepare(session, Path("Shop_zh.class"), inPlace);
        ASSERT_TRUE(prepared.ok()) << cltext::DescribeError(prepared.error());
        ASSERT_TRUE(prepared->HasProblems());
        // Every problem is named, so that all can be mended before the next try.
        std::set<std::pair<std::string, cl::TranslationProblem>> named;
        for (const cat::ApplyProblem& problem : prepared->Problems()) {
            named.emplace(problem.msgid, problem.kind);
            EXPECT_EQ(problem.classEntry, "Shop.class");
        }
        EXPECT_EQ(named, (std::set<std::pair<std::string, cl::TranslationProblem>>{
                             {"Found {0} items", cl::TranslationProblem::MissingSlot},
                             {std::string("Goodbye"), cl::TranslationProblem::TooLong}}));
        const cl::Result<cat::GenerateReport> committed = prepared->Commit();
        EXPECT_FALSE(committed.ok()) << "a prepared program with problems was written";
        EXPECT_EQ(TreeState::Of(dir_.string()), before);
    }
}

TEST_F(ProblemProgram, OnceMendedEveryTranslationIsWritten)
{
    cat::ProgramSession session = Continue(Path("Shop.class"), Path("shop.po"));
    ASSERT_EQ(session.Blockers(false).size(), 2u);
    EXPECT_EQ(session.SetTranslation(*session.Find("", "Found {0} items"), "找到 {0} 件物品"),
              cl::TranslationProblem::None);
    // A translation needing review is not written, so its problem keeps nothing out.
    session.SetFuzzy(*session.Find("", "Goodbye"), true);
    cl::Result<cat::PreparedGenerate> prepared = Prepare(session, Path("Shop_zh.class"));
    ASSERT_TRUE(prepared.ok()) << cltext::DescribeError(prepared.error());
    ASSERT_FALSE(prepared->HasProblems()) << cltext::ApplyProblemText(prepared->Problems().front());
    ASSERT_TRUE(prepared->Commit().ok());
    const std::set<std::string> texts = TextsOf(Path("Shop_zh.class"));
    EXPECT_EQ(texts.count("欢迎"), 1u);
    EXPECT_EQ(texts.count("找到 {0} 件物品"), 1u);
    EXPECT_EQ(texts.count("Goodbye"), 1u);
}

TEST_F(ProblemProgram, TheGateNamesOnlyTranslationsThatWouldBeWritten)
{
    // What blocks generating (and a trial run, which generates) is exactly what generating
    // refuses: a translation with a problem that would be written.
    struct Case {
        const char* name;
        bool fuzzy;            // the bad translation of "Found {0} items" is marked as needing review
        bool mendGoodbye;      // the too-long "Goodbye" is translated properly
        std::size_t blockers;  // what the gate names, and what generating refuses
    };
    const Case cases[] = {
        {"both bad, both would be written", false, false, 2},
        {"the bad one needs review", true, false, 1},
        {"the one left needs review", true, true, 0},
        {"one bad one written", false, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cat::ProgramSession session = Continue(Path("Shop.class"), Path("shop.po"));
        const std::size_t found = *session.Find("", "Found {0} items");
        session.SetFuzzy(found, c.fuzzy);
        if (c.mendGoodbye)
            session.SetTranslation(*session.Find("", "Goodbye"), "再见");
        const std::vector<std::size_t> blockers = session.Blockers(false);
        EXPECT_EQ(blockers.size(), c.blockers);
        // A fuzzy translation keeps its problem, shown, while it blocks nothing.
        EXPECT_NE(session.Entries()[found].problem, cl::TranslationProblem::None);
        EXPECT_EQ(std::count(blockers.begin(), blockers.end(), found), c.fuzzy ? 0 : 1);
        cl::Result<cat::PreparedGenerate> prepared = Prepare(session, Path("Shop_zh.class"));
        ASSERT_TRUE(prepared.ok()) << cltext::DescribeError(prepared.error());
        EXPECT_EQ(prepared->Problems().size(), c.blockers);
        prepared->Discard();
    }
}

// ---- What the catalogue held comes back

const char* const kKeptCatalogue =
    "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\"Language: de\\n\"\n\n"
    "# checked by Li\n#, fuzzy\n#| msgid \"Helo\"\nmsgid \"Hello\"\nmsgstr \"你好\"\n\n"
    "msgid \"Gone from the program\"\nmsgstr \"没了\"\n\n"
    "msgctxt \"menu\"\nmsgid \"Bye\"\nmsgstr \"菜单再见\"\n\n"
    "msgid \"Bye\"\nmsgstr \"\"\n\n"
    "#~ msgid \"Old\"\n#~ msgstr \"旧\"\n";

TEST_F(ProgramSessionTest, ContinuedCatalogueKeepsFuzzyAndObsoleteEntries)
{
    Write(Path("app.jar"), cltest::SampleJar());
    Write(Path("app.po"), kKeptCatalogue);
    cat::ProgramSession session;
    cat::OpenOptions options;
    ASSERT_TRUE(session.Open(Path("app.jar"), options).ok());
    const cl::Result<cat::ImportSummary> imported = session.ImportCatalogue(Path("app.po"), cat::ImportMode::Continue);
    ASSERT_TRUE(imported.ok());
    EXPECT_EQ(imported->filled, 0u);
    EXPECT_EQ(imported->fuzzy, 1u);
    EXPECT_EQ(imported->fuzzyFilled, 1u);
    EXPECT_EQ(imported->notFound, 2u);  // the text gone, and the text of another context
    EXPECT_EQ(imported->untranslated, 1u);
    EXPECT_EQ(imported->obsolete, 1u);
    EXPECT_FALSE(session.IsModified());
    EXPECT_EQ(session.CataloguePath(), Path("app.po"));
    EXPECT_EQ(session.Language(), "de");

    // The fuzzy translation is kept as needing review, with what it was made for; never applied.
    const cat::SessionEntry& hello = session.Entries().at(*session.Find("", "Hello"));
    EXPECT_EQ(hello.State(), cat::EntryState::NeedsReview);
    EXPECT_EQ(hello.translation, "你好");
    EXPECT_TRUE(hello.hasPreviousMsgid);
    EXPECT_EQ(hello.previousMsgid, "Helo");
    EXPECT_EQ(hello.translatorComments, std::vector<std::string>{"checked by Li"});
    EXPECT_TRUE(session.MessagesToApply(false).empty());

    // Saved again, everything read comes back, and the result reads the same again.
    ASSERT_TRUE(session.SaveCatalogue("", {}, false, cltext::Notes()).ok());
    const std::string saved = Read(Path("app.po"));
    EXPECT_NE(saved.find("# checked by Li\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("#, fuzzy\n#| msgid \"Helo\"\nmsgid \"Hello\"\nmsgstr \"你好\"\n"), std::string::npos)
        << saved;
    EXPECT_NE(saved.find("#~ msgid \"Old\"\n#~ msgstr \"旧\"\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("#~ msgid \"Gone from the program\"\n#~ msgstr \"没了\"\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("#~ msgctxt \"menu\"\n#~ msgid \"Bye\"\n#~ msgstr \"菜单再见\"\n"), std::string::npos)
        << saved;
    EXPECT_NE(saved.find("\"Language: de\\n\""), std::string::npos) << saved;
    const cl::Result<cat::PoCatalogue> read = cat::ReadPo(saved, "app.po");
    ASSERT_TRUE(read.ok()) << read.error().detail;
    const cat::PoMessage* fuzzy = FindMessage(*read, "Hello");
    ASSERT_NE(fuzzy, nullptr);
    EXPECT_TRUE(fuzzy->fuzzy);
    EXPECT_EQ(fuzzy->previousMsgid, "Helo");
    ASSERT_NE(FindMessage(*read, "Old"), nullptr);
    EXPECT_TRUE(FindMessage(*read, "Old")->obsolete);

    cat::ProgramSession again = Continue(Path("app.jar"), Path("app.po"));
    EXPECT_EQ(again.CatalogueText({}, false, cltext::Notes()), session.CatalogueText({}, false, cltext::Notes()));

    // gettext's own checker takes what was written.
    CLTEST_REQUIRE_TOOL("msgfmt", std::string(CLASSLINGO_MSGFMT));
    const std::string command = cltest::ShellQuoted(CLASSLINGO_MSGFMT) + " --check -o /dev/null " +
                                cltest::ShellQuoted(Path("app.po")) + " 2>&1";
    std::string said;
    EXPECT_EQ(cltest::RunCommand(command, said), 0) << said;
}

TEST_F(ProgramSessionTest, AcceptedTranslationLosesItsMarkAndIsApplied)
{
    Write(Path("app.jar"), cltest::SampleJar());
    Write(Path("app.po"), kKeptCatalogue);
    cat::ProgramSession session = Continue(Path("app.jar"), Path("app.po"));
    const std::size_t hello = *session.Find("", "Hello");
    session.SetFuzzy(hello, false);
    EXPECT_TRUE(session.IsModified());
    EXPECT_EQ(session.Entries()[hello].State(), cat::EntryState::Translated);
    ASSERT_EQ(session.MessagesToApply(false).size(), 1u);
    EXPECT_EQ(session.MessagesToApply(false)[0].msgstr, "你好");
    const std::string text = session.CatalogueText({}, false, cltext::Notes());
    EXPECT_EQ(text.find("#| msgid \"Helo\""), std::string::npos) << "a finished translation has no previous text";
    EXPECT_EQ(text.find("#, fuzzy"), std::string::npos) << text;
}

TEST_F(ProgramSessionTest, MergedCatalogueFillsAsAChangeAndKeepsNoObsoleteEntries)
{
    Write(Path("app.jar"), cltest::SampleJar());
    Write(Path("other.po"), kKeptCatalogue);
    cat::ProgramSession session = Continue(Path("app.jar"), "");
    const cl::Result<cat::ImportSummary> merged = session.ImportCatalogue(Path("other.po"), cat::ImportMode::Merge);
    ASSERT_TRUE(merged.ok());
    EXPECT_TRUE(session.IsModified());
    ASSERT_EQ(merged->changed.size(), 1u);
    EXPECT_EQ(merged->changed[0].first, *session.Find("", "Hello"));
    EXPECT_TRUE(merged->changed[0].second.translation.empty());
    EXPECT_TRUE(session.CataloguePath().empty()) << "a merged catalogue is not the session's own";
    const std::string text = session.CatalogueText({}, false, cltext::Notes());
    EXPECT_EQ(text.find("#~"), std::string::npos) << text;
    EXPECT_NE(text.find("#, fuzzy\n#| msgid \"Helo\"\nmsgid \"Hello\""), std::string::npos) << text;
}

// ---- Contexts

TEST_F(ProgramSessionTest, AnEntryWithAContextAppliesOnlyToPlacesOfItsContext)
{
    Write(Path("Main.class"), cltest::MainClass());
    // The context's entry comes last, where a reader that ignored contexts would let it win.
    Write(Path("both.po"), cltest::Catalogue({{"Hello", "你好"}, {"menu\x04Hello", "菜单"}}));
    Write(Path("context-only.po"), cltest::Catalogue({{"menu\x04Hello", "菜单"}}));

    cat::ProgramSession both = Continue(Path("Main.class"), Path("both.po"));
    ASSERT_EQ(both.MessagesToApply(false).size(), 1u);
    EXPECT_EQ(both.MessagesToApply(false)[0].msgstr, "你好");
    cl::Result<cat::PreparedGenerate> prepared = Prepare(both, Path("both.class"));
    ASSERT_TRUE(prepared.ok());
    ASSERT_TRUE(prepared->Commit().ok());
    EXPECT_EQ(TextsOf(Path("both.class")), std::set<std::string>{"你好"});

    cat::ProgramSession contextOnly = Continue(Path("Main.class"), Path("context-only.po"));
    EXPECT_TRUE(contextOnly.MessagesToApply(false).empty());
    EXPECT_EQ(contextOnly.Entries().at(*contextOnly.Find("", "Hello")).State(), cat::EntryState::Untranslated);
    EXPECT_FALSE(contextOnly.Find("menu", "Hello").has_value());
    const FileState before = FileState::Of(Path("Main.class"));
    prepared = Prepare(contextOnly, "", true);
    ASSERT_TRUE(prepared.ok());
    const cl::Result<cat::GenerateReport> report = prepared->Commit();
    ASSERT_TRUE(report.ok());
    EXPECT_FALSE(report->output.written);
    EXPECT_EQ(FileState::Of(Path("Main.class")), before);
    EXPECT_FALSE(FileState::Of(Path("Main.class.bak")).exists);
}

// ---- What the notes say

TEST_F(ProgramSessionTest, AnOfferedTextsNoteNamesEveryUseAndAWithheldOneItsPlaces)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    std::filesystem::create_directory(Path("in"));
    // One text logged, shown in a label and thrown in an exception, each in a class of its own,
    // the logging one first; one property read in two classes.
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "Notes",
                                  "import java.util.logging.Logger;\n"
                                  "class Audit { static void opened() {"
                                  " Logger.getLogger(\"audit\").info(\"Open the file\"); } }\n"
                                  "class Label { static javax.swing.JLabel make() { System.getProperty(\"user.home\");"
                                  " return new javax.swing.JLabel(\"Open the file\"); } }\n"
                                  "class Parser { static void check(boolean ok) { System.getProperty(\"user.home\");"
                                  " if (!ok) throw new IllegalStateException(\"Open the file\"); } }\n"
                                  "public class Notes { public static void main(String[] a) {"
                                  " Audit.opened(); Label.make(); Parser.check(a.length == 0); } }\n",
                                  Path("in")),
              "");
    cat::ProgramSession session = Continue(Path("in"), "");
    const std::optional<std::size_t> shown = session.Find("", "Open the file");
    ASSERT_TRUE(shown.has_value());
    const cat::SessionEntry& entry = session.Entries()[*shown];
    EXPECT_TRUE(entry.offered);
    ASSERT_EQ(entry.places.size(), 3u);
    EXPECT_EQ(session.Facts().classNames.at(entry.places.front().classIndex), "Audit")
        << "the log's place is found first, so the order below is the uses' own";
    std::vector<std::pair<cl::usage::Use, std::string>> uses;
    for (const cl::usage::UseFound& use : entry.uses)
        uses.emplace_back(use.use, use.consumer);
    const std::vector<std::pair<cl::usage::Use, std::string>> expected{
        {cl::usage::Use::Ui, "javax/swing/JLabel.<init>"},
        {cl::usage::Use::Message, "java/lang/IllegalStateException.<init>"},
        {cl::usage::Use::Log, "java/util/logging/Logger.info"},
    };
    EXPECT_EQ(uses, expected);

    // The catalogue, the withheld text asked for too: the offered text's note is one line of
    // every use; the withheld one's names the use that forbids and each place that does.
    const std::string po = session.CatalogueText({}, false, cltext::Notes(), true);
    const cl::Result<cat::PoCatalogue> read = cat::ReadPo(po, "notes.po");
    ASSERT_TRUE(read.ok()) << read.error().detail;
    const std::map<std::string, std::vector<std::string>> notes{
        {"Open the file",
         {"用途：界面（javax/swing/JLabel.<init>）；消息（java/lang/IllegalStateException.<init>）；"
          "日志（java/util/logging/Logger.info）"}},
        {"user.home",
         {"用途：键（java/lang/System.getProperty）", cltext::WithheldText(),
          "Label.make：键（java/lang/System.getProperty）", "Parser.check：键（java/lang/System.getProperty）"}},
    };
    for (const auto& [msgid, lines] : notes) {
        const cat::PoMessage* message = FindMessage(*read, msgid);
        ASSERT_NE(message, nullptr) << msgid;
        EXPECT_EQ(message->extractedComments, lines) << po;
    }

    // gettext's own checker takes the longer notes.
    CLTEST_REQUIRE_TOOL("msgfmt", std::string(CLASSLINGO_MSGFMT));
    Write(Path("notes.po"), po);
    const std::string command = cltest::ShellQuoted(CLASSLINGO_MSGFMT) + " --check -o /dev/null " +
                                cltest::ShellQuoted(Path("notes.po")) + " 2>&1";
    std::string said;
    EXPECT_EQ(cltest::RunCommand(command, said), 0) << said;
}

TEST(UseNoteWording, UsesAreCollectedOnceInRankAndTheNoteNamesWhatATranslatorCanActOn)
{
    using cl::usage::FormatStyle;
    using cl::usage::Use;
    using Found = std::vector<std::pair<Use, std::string>>;
    // Uses as places give them, in any order: each use once with its first consumer, shown ones
    // first; a use that goes nowhere gives way to the same use with a consumer.
    const struct {
        const char* what;
        Found added;
        Found kept;
        int asked;         // consumers named: a use already there asks for none, unless it went nowhere
        std::string line;  // the note's first line of an offered text whose decisive use is kept[0]
    } cases[] = {
        {"a log found before the label",
         {{Use::Log, "java/util/logging/Logger.info"}, {Use::Ui, "javax/swing/JLabel.<init>"},
          {Use::Ui, "javax/swing/JButton.<init>"}},
         {{Use::Ui, "javax/swing/JLabel.<init>"}, {Use::Log, "java/util/logging/Logger.info"}},
         2,
         "用途：界面（javax/swing/JLabel.<init>）；日志（java/util/logging/Logger.info）"},
        {"what the program reads after what people read",
         {{Use::Data, "java/lang/String.charAt"}, {Use::Key, "java/lang/String.equals"},
          {Use::Message, "java/io/PrintStream.println"}, {Use::Format, "java/lang/String.format"}},
         {{Use::Format, "java/lang/String.format"}, {Use::Message, "java/io/PrintStream.println"},
          {Use::Key, "java/lang/String.equals"}, {Use::Data, "java/lang/String.charAt"}},
         4,
         "用途：格式（java/lang/String.format）；消息（java/io/PrintStream.println）；键（java/lang/String.equals）；"
         "数据（java/lang/String.charAt）"},
        {"an unknown use is no news beside a known one",
         {{Use::Unknown, "nothing"}, {Use::Message, "java/lang/IllegalStateException.<init>"},
          {Use::Unknown, "java/lang/String.length"}},
         {{Use::Message, "java/lang/IllegalStateException.<init>"}, {Use::Unknown, "java/lang/String.length"}},
         3,
         "用途：消息（java/lang/IllegalStateException.<init>）"},
        {"prose that goes nowhere says so",
         {{Use::Unknown, "nothing"}},
         {{Use::Unknown, "nothing"}},
         1,
         "用途：未知（nothing）"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<cl::usage::UseFound> uses;
        int asked = 0;
        for (const std::pair<Use, std::string>& added : c.added) {
            cl::usage::AddUse(uses, added.first, FormatStyle::None, [&] {
                ++asked;
                return added.second;
            });
        }
        Found kept;
        for (const cl::usage::UseFound& use : uses)
            kept.emplace_back(use.use, use.consumer);
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(asked, c.asked);
        const std::vector<std::string> note =
            cltext::Notes().UseNote(uses.front().use, uses.front().consumer, uses, true, {}, {});
        EXPECT_EQ(note, std::vector<std::string>{c.line});
        // Withheld, the note names the use that forbids and its places, not every use.
        const std::vector<std::string> withheld =
            cltext::Notes().UseNote(Use::Name, "java/lang/Class.forName", uses, false, {}, {});
        EXPECT_EQ(withheld, (std::vector<std::string>{"用途：名称（java/lang/Class.forName）", cltext::WithheldText()}));
    }
}

// ---- Annotation values

TEST_F(ProgramSessionTest, AnnotationValueSharingALiteralHasBothPlaces)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    std::filesystem::create_directory(Path("in"));
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "Menu",
                                  "import java.lang.annotation.*;\n"
                                  "@Retention(RetentionPolicy.RUNTIME) @interface Label { String value(); }\n"
                                  "@Label(\"Open file\")\n"
                                  "public class Menu {\n"
                                  "    @Label(\"Open file\") public void open() {}\n"
                                  "    public static void main(String[] args) {\n"
                                  "        System.out.println(\"Open file\");\n"
                                  "    }\n"
                                  "}\n",
                                  Path("in")),
              "");
    cat::ProgramSession session = Continue(Path("in"), "", true);
    const std::optional<std::size_t> found = session.Find("", "Open file");
    ASSERT_TRUE(found.has_value());
    const cat::SessionEntry& entry = session.Entries()[*found];
    std::set<std::pair<std::string, cat::PlaceKind>> places;
    for (const cat::SessionPlace& place : entry.places)
        places.emplace(session.Facts().classNames.at(place.classIndex), place.kind);
    EXPECT_EQ(places, (std::set<std::pair<std::string, cat::PlaceKind>>{{"Menu", cat::PlaceKind::Literal},
                                                                        {"Menu", cat::PlaceKind::Annotation}}));
    EXPECT_TRUE(entry.inCode);

    // Translated with annotations, the one text changes everywhere it is used.
    session.SetTranslation(*found, "打开文件");
    cat::GenerateRequest request;
    request.output = Path("out");
    request.annotations = true;
    cl::Result<cat::PreparedGenerate> prepared = session.PrepareGenerate(request);
    ASSERT_TRUE(prepared.ok()) << cltext::DescribeError(prepared.error());
    ASSERT_FALSE(prepared->HasProblems());
    const cl::Result<cat::GenerateReport> report = prepared->Commit();
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report->summary.placesChanged, 2u);
    cat::ProgramSession translated = Continue(Path("out"), "", true);
    EXPECT_TRUE(translated.Find("", "打开文件").has_value());
    EXPECT_FALSE(translated.Find("", "Open file").has_value());
}

// A jar that holds one class name twice: java reads the last entry of the central directory,
// so that one is translated; the earlier one is copied byte for byte and named.
TEST_F(ProgramSessionTest, OfTwoEntriesWithOneNameTheOneJavaReadsIsTranslated)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    CLTEST_REQUIRE_TOOL("java", cltest::JavaPath());
    std::string versions[2];
    for (int v = 0; v < 2; ++v) {
        const std::string folder = Path("v" + std::to_string(v));
        std::filesystem::create_directories(folder + "/demo");
        const std::string text = v == 0 ? "Hello from the first" : "Hello from the second";
        ASSERT_EQ(cltest::CompileJava(folder + "/demo", "App",
                                      "package demo; public class App { public static void main(String[] a) { "
                                      "System.out.println(\"" + text + "\"); } }",
                                      folder),
                  "");
        versions[v] = Read(folder + "/demo/App.class");
    }
    const std::string jar = Path("twice.jar");
    std::vector<cltest::handzip::Entry> entries(2);
    for (int v = 0; v < 2; ++v) {
        entries[v].name = "demo/App.class";
        entries[v].contents = versions[v];
    }
    Write(jar, cltest::handzip::Build(entries));
    ASSERT_EQ(cltest::RunJava(jar, "demo.App").out, "Hello from the second\n") << "the JVM reads another entry";

    cat::ProgramSession session = Continue(jar, "");
    const std::set<std::string> texts = [&] {
        std::set<std::string> all;
        for (const cat::SessionEntry& entry : session.Entries())
            all.insert(entry.msgid);
        return all;
    }();
    EXPECT_EQ(texts.count("Hello from the first"), 0u);
    ASSERT_EQ(texts.count("Hello from the second"), 1u);
    ASSERT_EQ(session.Facts().unreadable.size(), 1u);
    const cl::Error& named = session.Facts().unreadable.front().error;
    EXPECT_EQ(named.kind, cl::ErrorKind::DuplicateEntry);
    EXPECT_EQ(named.entry, "demo/App.class");
    const std::string said = cltext::UnreadablePartText(session.Facts().unreadable.front());
    EXPECT_NE(said.find("只读取最后一个"), std::string::npos) << said;

    session.SetTranslation(*session.Find("", "Hello from the second"), "第二个问好");
    cl::Result<cat::PreparedGenerate> prepared = Prepare(session, Path("out.jar"));
    ASSERT_TRUE(prepared.ok()) << cltext::DescribeError(prepared.error());
    ASSERT_TRUE(prepared->Commit().ok());
    EXPECT_EQ(cltest::RunJava(Path("out.jar"), "demo.App").out, "第二个问好\n");
    cl::Result<std::unique_ptr<cl::zip::JarArchive>> out = cl::zip::JarArchive::Open(Read(Path("out.jar")));
    ASSERT_TRUE(out.ok());
    ASSERT_EQ((*out)->Entries().size(), 2u);
    EXPECT_EQ(*(*out)->Read(0), versions[0]) << "the entry java does not read is copied as it was";
}

}  // namespace
