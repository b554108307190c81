// A program's resource bundles through the program session, on small jars and folders made
// here: which .properties files are offered and from which member, how their places read in a
// catalogue, how their texts meet the class literals, what the program's own translation gives,
// and the language variant generating writes (its name, its content, its place in the jar, and
// nothing else of the program touched); then every failing step while a variant is written.

#include "CatalogueNotes.h"
#include "ErrorText.h"
#include "ProgramText.h"
#include "catalogue/ProgramSession.h"

#include "FailingFileSystem.h"
#include "FileState.h"
#include "Java.h"
#include "JavaOracle.h"
#include "SamplePrograms.h"
#include "ScratchFolder.h"
#include "TreeState.h"
#include "ZipBytes.h"
#include "ZipComparison.h"
#include "bundle/Properties.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace cat = cl::catalogue;
using cltest::FailStep;
using cltest::FileState;
using cltest::TreeState;

using Files = std::vector<std::pair<std::string, std::string>>;

std::string Jar(const Files& files)
{
    std::vector<cltest::ZipEntryPlan> plans;
    for (const auto& [name, bytes] : files)
        plans.push_back({name, bytes, false, {}});
    return cltest::BuildZip(plans);
}

// A class holding `literals` as string constants, the way a program names its bundles and shows
// its texts.
std::pair<std::string, std::string> Class(const std::string& name, const std::vector<std::string>& literals)
{
    return {name + ".class", cltest::ClassOffering(name, literals)};
}

// Every bundle place of the offered entries, "file:key" -> the entry's text.
std::map<std::string, std::string> BundlePlaces(const cat::ProgramSession& session)
{
    std::map<std::string, std::string> places;
    for (const cat::SessionEntry& entry : session.Entries()) {
        if (!entry.offered)
            continue;
        for (const cat::SessionPlace& place : entry.places) {
            if (place.kind == cat::PlaceKind::Bundle)
                places[place.file + ":" + place.key] = entry.msgid;
        }
    }
    return places;
}

std::set<std::string> PlacesOf(const cat::ProgramSession& session, const cat::SessionEntry& entry)
{
    std::set<std::string> places;
    for (const cat::SessionPlace& place : entry.places) {
        if (place.kind == cat::PlaceKind::Bundle)
            places.insert(place.file + ":" + place.key);
        else
            places.insert("class " + session.Facts().classNames.at(place.classIndex));
    }
    return places;
}

std::vector<std::string> EntryNames(const std::string& zip)
{
    const cltest::LibzipView view = cltest::ReadWithLibzip(zip);
    EXPECT_EQ(view.error, "");
    return view.names;
}

std::string EntryBytes(const std::string& zip, const std::string& name)
{
    const cltest::LibzipView view = cltest::ReadWithLibzip(zip);
    const auto found = view.contents.find(name);
    return found == view.contents.end() ? std::string("(missing)") : found->second;
}

std::string NameOf(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

std::size_t IndexIn(const std::vector<std::string>& names, const std::string& name)
{
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

class SessionBundles : public cltest::ScratchFolder {
protected:
    static cat::ProgramSession Open(const std::string& path, const std::string& language = "zh_CN")
    {
        cat::ProgramSession session;
        cat::OpenOptions options;
        options.language = language;
        const cl::Status opened = session.Open(path, options);
        EXPECT_TRUE(opened.ok()) << path << ": " << (opened.ok() ? "" : cltext::DescribeError(opened.error()));
        return session;
    }

    // The entry of a text, or a failure.
    static const cat::SessionEntry& EntryOf(const cat::ProgramSession& session, const std::string& msgid,
                                            const std::string& context = {})
    {
        static const cat::SessionEntry none;
        const std::optional<std::size_t> found = session.Find(context, msgid);
        EXPECT_TRUE(found.has_value()) << "no entry " << context << " | " << msgid;
        return found ? session.Entries()[*found] : none;
    }

    static void Translate(cat::ProgramSession& session, const std::string& msgid, const std::string& translation,
                          const std::string& context = {})
    {
        const std::optional<std::size_t> found = session.Find(context, msgid);
        ASSERT_TRUE(found.has_value()) << msgid;
        EXPECT_EQ(session.SetTranslation(*found, translation), cl::TranslationProblem::None) << msgid;
    }

    static cl::Result<cat::GenerateReport> Generate(cat::ProgramSession& session, const std::string& output,
                                                    bool inPlace = false)
    {
        cat::GenerateRequest request;
        request.output = output;
        request.inPlace = inPlace;
        cl::Result<cat::PreparedGenerate> prepared = session.PrepareGenerate(request);
        if (!prepared)
            return prepared.error();
        EXPECT_FALSE(prepared->HasProblems())
            << cltext::ApplyProblemText(prepared->Problems().empty() ? cat::ApplyProblem{} : prepared->Problems()[0]);
        return prepared->Commit();
    }

    void WriteTree(const std::string& root, const Files& files)
    {
        for (const auto& [name, bytes] : files) {
            const std::string path = root + "/" + name;
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            Write(path, bytes);
        }
    }
};

// ---- Which files are bundles, and which member the texts come from

TEST_F(SessionBundles, OffersTheSourceOfEachFamilyAndNoConfiguration)
{
    const struct {
        const char* what;
        Files files;
        std::vector<std::string> literals;
        std::map<std::string, std::string> offered;  // "file:key" -> text
        std::vector<std::string> withoutSource;
        std::vector<std::string> tables{};
    } cases[] = {
        {"a family with locale suffixes",
         {{"app/Messages.properties", "greeting=Base greeting\n"},
          {"app/Messages_de.properties", "greeting=German greeting\n"}},
         {},
         {{"app/Messages.properties:greeting", "Base greeting"}},
         {}},
        {"a folder per language",
         {{"lang/en/menu.properties", "file.open=English open\n"}, {"lang/de/menu.properties", "file.open=German open\n"}},
         {},
         {{"lang/en/menu.properties:file.open", "English open"}},
         {}},
        {"a file alone named with dots, its key named too",
         {{"app/Messages.properties", "greeting=Named greeting\n"}},
         {"app.Messages", "greeting"},
         {{"app/Messages.properties:greeting", "Named greeting"}},
         {}},
        {"a file alone named with slashes, its key named too",
         {{"app/Messages.properties", "greeting=Named greeting\n"}},
         {"app/Messages", "greeting"},
         {{"app/Messages.properties:greeting", "Named greeting"}},
         {}},
        // Named, but none of its keys: a table the program reads by keys it gets elsewhere.
        {"a file alone named, its keys not",
         {{"app/Messages.properties", "greeting=Named greeting\n"}},
         {"app.Messages"},
         {},
         {},
         {"app/Messages"}},
        {"a file alone that nothing names", {{"app/Messages.properties", "greeting=Lone greeting\n"}}, {}, {}, {}},
        {"configuration files, read by their file names",
         {{"config.properties", "title=Configured title\n"},
          {"log4j.properties", "log4j.appender.stdout.layout.ConversionPattern=Log line %m\n"}},
         {"/config.properties", "log4j.properties"},
         {},
         {}},
        {"the base file before the English one",
         {{"app/Messages.properties", "greeting=Base greeting\n"},
          {"app/Messages_en.properties", "greeting=English greeting\n"},
          {"app/Messages_de.properties", "greeting=German greeting\n"}},
         {},
         {{"app/Messages.properties:greeting", "Base greeting"}},
         {}},
        {"en without a base file",
         {{"app/Messages_en_US.properties", "greeting=American greeting\n"},
          {"app/Messages_en.properties", "greeting=English greeting\n"},
          {"app/Messages_de.properties", "greeting=German greeting\n"}},
         {},
         {{"app/Messages_en.properties:greeting", "English greeting"}},
         {}},
        {"en_US before en_GB",
         {{"app/Messages_en_GB.properties", "greeting=British greeting\n"},
          {"app/Messages_en_US.properties", "greeting=American greeting\n"},
          {"app/Messages_de.properties", "greeting=German greeting\n"}},
         {},
         {{"app/Messages_en_US.properties:greeting", "American greeting"}},
         {}},
        {"en_GB as the only English",
         {{"app/Messages_en_GB.properties", "greeting=British greeting\n"},
          {"app/Messages_de.properties", "greeting=German greeting\n"}},
         {},
         {{"app/Messages_en_GB.properties:greeting", "British greeting"}},
         {}},
        {"a family with neither, beside one with a source",
         {{"app/Messages_de.properties", "greeting=German greeting\n"},
          {"app/Messages_fr.properties", "greeting=French greeting\n"},
          {"lang/de/menu.properties", "file.open=German open\n"},
          {"lang/fr/menu.properties", "file.open=French open\n"},
          {"app/Errors.properties", "disk=Disk is full\n"},
          {"app/Errors_de.properties", "disk=Platte voll\n"}},
         {},
         {{"app/Errors.properties:disk", "Disk is full"}},
         {"app/Messages", "lang/*/menu.properties"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Files files = c.files;
        files.push_back(Class("app/Main", c.literals.empty() ? std::vector<std::string>{"Unrelated text"} : c.literals));
        Write(Path("app.jar"), Jar(files));
        const cat::ProgramSession session = Open(Path("app.jar"));
        EXPECT_EQ(BundlePlaces(session), c.offered);
        std::set<std::string> families;
        for (const auto& [place, text] : c.offered)
            families.insert(place.substr(0, place.find(':')));
        EXPECT_EQ(session.Facts().bundleFamilies, families.size());
        EXPECT_EQ(session.Facts().bundleTexts, c.offered.size());
        EXPECT_EQ(session.Facts().bundlesWithoutSource, c.withoutSource);
        EXPECT_EQ(session.Facts().bundleTables, c.tables);
        // Nothing of a file that is no source is offered, in any entry.
        for (const cat::SessionEntry& entry : session.Entries()) {
            for (const cat::SessionPlace& place : entry.places) {
                if (place.kind == cat::PlaceKind::Bundle) {
                    EXPECT_EQ(c.offered.count(place.file + ":" + place.key), 1u) << place.file << ":" << place.key;
                }
            }
        }
    }
}

// ---- References

TEST_F(SessionBundles, ReferencesNameTheFileAndTheKeyAsGettextWrapsNames)
{
    // A key with a space, a colon or an escape is enclosed with its file, as gettext encloses a
    // file name with a space, so that the reference stays one.
    const std::string messages = "menu.file=File menu\n"
                                 "menu\\ edit=Edit menu\n"
                                 "time\\:left=Time left\n"
                                 "tab\\tkey=Tabbed key\n";
    const Files family{{"app/Messages.properties", messages}, {"app/Messages_de.properties", "menu.file=Datei\n"}};
    // As a jar, and as a folder holding a jar and a family of its own.
    Files jar = family;
    jar.push_back(Class("app/Main", {"Unrelated text"}));
    Write(Path("app.jar"), Jar(jar));
    WriteTree(Path("fold"), {{"lib/app.jar", Jar(jar)},
                             {"lang/en/menu.properties", "file.open=Open a file\n"},
                             {"lang/de/menu.properties", "file.open=Datei öffnen\n"}});

    const struct {
        const char* input;
        std::string file;  // where the jar's family lies
    } cases[] = {{"app.jar", "app/Messages.properties"}, {"fold", "lib/app.jar!/app/Messages.properties"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const cat::ProgramSession session = Open(Path(c.input));
        const std::string po = session.CatalogueText({}, false, cltext::Notes());
        const std::string fsi = "\u2068", pdi = "\u2069";
        for (const std::string& reference :
             {"#: " + c.file + ":menu.file\n", "#: " + fsi + c.file + ":menu edit" + pdi + "\n",
              "#: " + fsi + c.file + ":time:left" + pdi + "\n", "#: " + fsi + c.file + ":tab\\tkey" + pdi + "\n"})
            EXPECT_NE(po.find(reference), std::string::npos) << reference << "\n" << po;
        if (std::string(c.input) == "fold") {
            EXPECT_NE(po.find("#: lang/en/menu.properties:file.open\n"), std::string::npos) << po;
        }
        EXPECT_EQ(PlacesOf(session, EntryOf(session, "Edit menu")), std::set<std::string>{c.file + ":menu edit"});
        // gettext reads what was written, each reference as one.
        const cl::Result<cat::PoCatalogue> read = cat::ReadPo(po, "bundles.po");
        ASSERT_TRUE(read.ok()) << read.error().detail;
        for (const cat::PoMessage& message : read->messages) {
            if (message.msgid == "Time left") {
                ASSERT_EQ(message.references.size(), 1u);
                EXPECT_NE(message.references[0].file.find("time:left"), std::string::npos)
                    << message.references[0].file;
            }
        }
    }
}

// ---- Bundle texts and class literals

TEST_F(SessionBundles, ATextOfBothIsOneEntryAndALiteralThatIsAKeyIsNotOffered)
{
    Write(Path("app.jar"),
          Jar({Class("app/Main", {"Open the file", "Cancel", "Only German", "Save all", "app.Messages"}),
               {"app/Messages.properties", "open=Open the file\nCancel=Cancel the job\n"},
               {"app/Messages_de.properties", "open=Datei \\u00f6ffnen\nCancel=Abbrechen\nOnly\\ German=Nur Deutsch\n"},
               // Configuration: its keys are no bundle's.
               {"config.properties", "Save\\ all=yes\n"}}));
    cat::ProgramSession session = Open(Path("app.jar"));

    const cat::SessionEntry& shared = EntryOf(session, "Open the file");
    EXPECT_EQ(PlacesOf(session, shared),
              (std::set<std::string>{"class app.Main", "app/Messages.properties:open"}));
    EXPECT_TRUE(shared.offered);
    EXPECT_EQ(std::count_if(session.Entries().begin(), session.Entries().end(),
                            [](const cat::SessionEntry& e) { return e.msgid == "Open the file"; }),
              1);
    // "Cancel" is a key of the source, "Only German" of a variant only: how the program looks
    // texts up, whatever they read like.
    EXPECT_FALSE(session.Find("", "Cancel").has_value());
    EXPECT_FALSE(session.Find("", "Only German").has_value());
    EXPECT_EQ(session.Facts().keysWithheld, 2u);
    EXPECT_EQ(PlacesOf(session, EntryOf(session, "Save all")), std::set<std::string>{"class app.Main"});
    EXPECT_EQ(PlacesOf(session, EntryOf(session, "Cancel the job")),
              std::set<std::string>{"app/Messages.properties:Cancel"});

    // Translated, the one text changes in the class and in the new variant.
    Translate(session, "Open the file", "打开文件");
    const cl::Result<cat::GenerateReport> report = Generate(session, Path("out.jar"));
    ASSERT_TRUE(report.ok()) << cltext::DescribeError(report.error());
    EXPECT_EQ(report->summary.placesChanged, 1u);
    EXPECT_EQ(report->bundleTextsWritten, 1u);
    EXPECT_EQ(EntryBytes(Read(Path("out.jar")), "app/Messages_zh_CN.properties"),
              "open=\\u6253\\u5F00\\u6587\\u4EF6\nCancel=Cancel the job\n");
    const cat::ProgramSession translated = Open(Path("out.jar"));
    EXPECT_EQ(PlacesOf(translated, EntryOf(translated, "打开文件")), std::set<std::string>{"class app.Main"});
}

TEST_F(SessionBundles, ANoteNamesTheUsesOfEveryValueAndOnlyClassesAsWhereTheTextStays)
{
    // "Hello there" is a text of a bundle and a value of a family of settings (mostly paths,
    // colours and sizes), which keeps it as it is.
    Write(Path("app.jar"), Jar({Class("app/Main", {"app.Messages", "greeting", "app.Look", "look.title"}),
                                {"app/Messages.properties", "greeting=Hello there\n"},
                                {"app/Look.properties", "look.background=#BBBBBB\nlook.icon=icons/a.png\n"
                                                        "look.size=10px\nlook.title=Hello there\n"}}));
    cat::ProgramSession session = Open(Path("app.jar"));
    const cat::SessionEntry& entry = EntryOf(session, "Hello there");
    ASSERT_TRUE(entry.offered);
    EXPECT_TRUE(session.KeptIn(entry).empty()) << "a bundle value has no class to stay in: " << session.KeptIn(entry)[0];
    const std::string po = session.CatalogueText({}, false, cltext::Notes());
    const cl::Result<cat::PoCatalogue> read = cat::ReadPo(po, "app.po");
    ASSERT_TRUE(read.ok()) << read.error().detail;
    const auto message = std::find_if(read->messages.begin(), read->messages.end(),
                                      [](const cat::PoMessage& m) { return m.msgid == "Hello there"; });
    ASSERT_NE(message, read->messages.end()) << po;
    EXPECT_EQ(message->extractedComments,
              std::vector<std::string>{"用途：界面（resource bundle）；数据（family of settings）"})
        << po;
}

// JabRef writes its texts with underscores for spaces ("Save_all_open_databases") and looks them
// up by keys it builds at run time, so neither the values' shape nor a lookup tells texts from
// settings. Its translators do: a value some other language gives a value of its own is a
// text, while the same shapes nobody translated stay the program's.
TEST_F(SessionBundles, AValueTheProgramsTranslatorsTranslatedIsOfferedWhateverItsShape)
{
    Write(Path("app.jar"),
          Jar({Class("app/Main", {"l10n.JabRef", "l10n.Look"}),
               {"l10n/JabRef_en.properties", "Save_all=Save_all\nSave_all_open_databases=Save_all_open_databases\n"
                                              "Close_window=Close_window\nicon=icons/save.png\n"},
               {"l10n/JabRef_de.properties", "Save_all=Alle_speichern\nSave_all_open_databases=Alle_offenen_Datenbanken_speichern\n"
                                              "Close_window=Fenster_schlie\u00dfen\nicon=icons/save.png\n"},
               {"l10n/Look_en.properties", "Close_window=Close_window\nback=#BBBBBB\nlogo=icons/a.png\n"},
               {"l10n/Look_de.properties", "Close_window=Close_window\nback=#BBBBBB\nlogo=icons/a.png\n"}}));
    cat::ProgramSession session = Open(Path("app.jar"));
    for (const char* text : {"Save_all", "Save_all_open_databases"})
        EXPECT_TRUE(EntryOf(session, text).offered) << text;
    // One entry for both families' "Close_window": offered for JabRef's place only.
    EXPECT_TRUE(EntryOf(session, "Close_window").offered);
    EXPECT_FALSE(EntryOf(session, "icons/a.png").offered) << "a path no translator changed stays";
    EXPECT_FALSE(EntryOf(session, "icons/save.png").offered) << "a path every translator kept stays";
}

// A withheld value of bundles only is never written, so a translation of it that breaks its
// pattern (Freeplane's own Chinese filled in) keeps nothing else from being written.
TEST_F(SessionBundles, AWithheldBundleValuesBrokenTranslationBlocksNothing)
{
    Write(Path("app.jar"), Jar({Class("app/Main", {"app.Messages", "greeting", "app.Look", "at", "back"}),
                                {"app/Messages.properties", "greeting=Hello there\n"},
                                {"app/Look.properties", "back=#BBBBBB\nicon=icons/a.png\nsize=10px\nat=At {0}\n"}}));
    cat::ProgramSession session = Open(Path("app.jar"));
    const std::optional<std::size_t> found = session.Find("", "At {0}");
    ASSERT_TRUE(found.has_value());
    const std::size_t at = *found;
    ASSERT_FALSE(session.Entries()[at].offered);
    EXPECT_EQ(session.SetTranslation(at, "\xFF在 {0}"), cl::TranslationProblem::BadText);
    Translate(session, "Hello there", "你好");
    const cl::Result<cat::GenerateReport> report = Generate(session, Path("out.jar"));
    ASSERT_TRUE(report.ok()) << cltext::DescribeError(report.error());
    EXPECT_EQ(EntryBytes(Read(Path("out.jar")), "app/Messages_zh_CN.properties"), "greeting=\\u4F60\\u597D\n");
    EXPECT_EQ(EntryBytes(Read(Path("out.jar")), "app/Look_zh_CN.properties"), "(missing)");
}

// ---- MessageFormat values

TEST_F(SessionBundles, AMessageFormatValueIsCheckedAndAChangedArgumentWritesNothing)
{
    Write(Path("app.jar"), Jar({Class("app/Main", {"app.Messages"}),
                                {"app/Messages.properties", "files=Found {0} files in {1}\ntitle=Main window\n"},
                                {"app/Messages_de.properties", "title=Hauptfenster\n"}}));
    cat::ProgramSession session = Open(Path("app.jar"));
    EXPECT_TRUE(EntryOf(session, "Found {0} files in {1}").javaFormat);
    EXPECT_FALSE(EntryOf(session, "Main window").javaFormat);
    const std::string po = session.CatalogueText({}, false, cltext::Notes());
    EXPECT_NE(po.find("#, java-format\nmsgid \"Found {0} files in {1}\""), std::string::npos) << po;
    EXPECT_EQ(po.find("#, java-format\nmsgid \"Main window\""), std::string::npos) << po;

    // The problem the window shows as the translator types is the one generating names.
    const struct {
        std::string translation;
        cl::TranslationProblem problem;
    } cases[] = {
        {"找到 {0} 个文件", cl::TranslationProblem::FormatArgumentMissing},
        {"在 {1} 找到 {0} 个文件，{2}", cl::TranslationProblem::FormatArgumentExtra},
        {"在 {1} 找到 {0,number} 个文件", cl::TranslationProblem::FormatArgumentChanged},
    };
    const std::size_t files = *session.Find("", "Found {0} files in {1}");
    Translate(session, "Main window", "主窗口");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.translation);
        EXPECT_EQ(session.SetTranslation(files, c.translation), c.problem);
        for (const bool inPlace : {false, true}) {
            const TreeState before = TreeState::Of(dir_.string());
            cat::GenerateRequest request;
            request.output = Path("out.jar");
            request.inPlace = inPlace;
            cl::Result<cat::PreparedGenerate> prepared = session.PrepareGenerate(request);
            ASSERT_TRUE(prepared.ok()) << cltext::DescribeError(prepared.error());
            ASSERT_EQ(prepared->Problems().size(), 1u);
            EXPECT_EQ(prepared->Problems()[0].kind, c.problem);
            EXPECT_EQ(prepared->Problems()[0].msgid, "Found {0} files in {1}");
            EXPECT_EQ(prepared->Problems()[0].classEntry, "app/Messages.properties");
            EXPECT_FALSE(prepared->Commit().ok());
            EXPECT_EQ(TreeState::Of(dir_.string()), before) << "something was written";
        }
    }
    // Once the arguments agree, both texts are written.
    Translate(session, "Found {0} files in {1}", "在 {1} 找到 {0} 个文件");
    const cl::Result<cat::GenerateReport> report = Generate(session, Path("out.jar"));
    ASSERT_TRUE(report.ok()) << cltext::DescribeError(report.error());
    EXPECT_EQ(report->bundleTextsWritten, 2u);
}

// ---- The program's own translation

TEST_F(SessionBundles, TheProgramsOwnVariantFillsTranslations)
{
    const std::string source = "greeting=Hello there\nfarewell=See you later\nsame=Same text\n";
    // The zh_CN variant in UTF-8, the zh one in escapes: both as Java reads them.
    const std::string zhCN = "greeting=你好\nsame=Same text\n";
    const std::string zh = "greeting=\\u95EE\\u5019\nsame=Same text\n";
    const struct {
        const char* what;
        Files files;
        std::string filled;  // the translation of "Hello there"
    } cases[] = {
        {"a zh_CN file",
         {{"app/Messages.properties", source}, {"app/Messages_de.properties", ""}, {"app/Messages_zh_CN.properties", zhCN}},
         "你好"},
        {"a zh file", {{"app/Messages.properties", source}, {"app/Messages_zh.properties", zh}}, "问候"},
        {"zh_CN before zh",
         {{"app/Messages.properties", source},
          {"app/Messages_zh.properties", zh},
          {"app/Messages_zh_CN.properties", zhCN}},
         "你好"},
        {"a zh_CN folder",
         {{"lang/en/menu.properties", source},
          {"lang/de/menu.properties", ""},
          {"lang/zh_CN/menu.properties", zhCN}},
         "你好"},
        {"a zh folder", {{"lang/en/menu.properties", source}, {"lang/zh/menu.properties", zh}}, "问候"},
        {"zh-CN with a hyphen",
         {{"lang/en/menu.properties", source}, {"lang/zh-CN/menu.properties", zhCN}, {"lang/zh/menu.properties", zh}},
         "你好"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Files files = c.files;
        files.push_back(Class("app/Main", {"Unrelated text"}));
        Write(Path("app.jar"), Jar(files));
        const cat::ProgramSession session = Open(Path("app.jar"));
        const cat::SessionEntry& hello = EntryOf(session, "Hello there");
        EXPECT_EQ(hello.translation, c.filled);
        EXPECT_EQ(hello.State(), cat::EntryState::Translated);
        EXPECT_FALSE(hello.fuzzy);
        // A key missing from the variant, or given the source's own text, is no translation.
        EXPECT_EQ(EntryOf(session, "See you later").State(), cat::EntryState::Untranslated);
        EXPECT_EQ(EntryOf(session, "Same text").State(), cat::EntryState::Untranslated);
        EXPECT_EQ(session.Facts().filledFromProgram, 1u);
        const std::string po = session.CatalogueText({}, false, cltext::Notes());
        EXPECT_EQ(po.find("fuzzy"), std::string::npos) << po;
        EXPECT_NE(po.find("msgid \"Hello there\"\nmsgstr \"" + c.filled + "\"\n"), std::string::npos) << po;
    }
    // Another language has none of it.
    const cat::ProgramSession japanese = Open(Path("app.jar"), "ja");
    EXPECT_EQ(EntryOf(japanese, "Hello there").State(), cat::EntryState::Untranslated);
    EXPECT_EQ(japanese.Facts().filledFromProgram, 0u);
}

TEST_F(SessionBundles, TwoTranslationsOfOneTextGetEntriesOfTheirOwnAndBothAreWrittenBack)
{
    Write(Path("app.jar"), Jar({Class("app/Main", {"Unrelated text"}),
                                {"app/Messages.properties", "a.title=Open\nb.title=Open\nc.title=Open\nd=Close it\n"},
                                {"app/Messages_zh_CN.properties", "a.title=打开\nb.title=开启\n"}}));
    cat::ProgramSession session = Open(Path("app.jar"));
    const std::string a = "app/Messages.properties:a.title";
    const std::string b = "app/Messages.properties:b.title";
    EXPECT_EQ(EntryOf(session, "Open", a).translation, "打开");
    EXPECT_EQ(EntryOf(session, "Open", b).translation, "开启");
    EXPECT_EQ(PlacesOf(session, EntryOf(session, "Open", a)), std::set<std::string>{a});
    EXPECT_EQ(PlacesOf(session, EntryOf(session, "Open", b)), std::set<std::string>{b});
    // The key the program leaves untranslated keeps the plain entry.
    EXPECT_EQ(PlacesOf(session, EntryOf(session, "Open")), std::set<std::string>{"app/Messages.properties:c.title"});
    EXPECT_EQ(EntryOf(session, "Open").State(), cat::EntryState::Untranslated);
    EXPECT_EQ(session.Facts().filledFromProgram, 2u);
    const std::string po = session.CatalogueText({}, false, cltext::Notes());
    EXPECT_NE(po.find("msgctxt \"" + a + "\"\nmsgid \"Open\"\nmsgstr \"打开\"\n"), std::string::npos) << po;
    EXPECT_NE(po.find("msgctxt \"" + b + "\"\nmsgid \"Open\"\nmsgstr \"开启\"\n"), std::string::npos) << po;

    // The catalogue goes on in another session: one key's translation changed, the rest kept.
    Write(Path("app.po"), po);
    cat::ProgramSession next = Open(Path("app.jar"));
    ASSERT_TRUE(next.ImportCatalogue(Path("app.po"), cat::ImportMode::Continue).ok());
    Translate(next, "Open", "打开文件", a);
    Translate(next, "Open", "打开它");
    const cl::Result<cat::GenerateReport> report = Generate(next, Path("out.jar"));
    ASSERT_TRUE(report.ok()) << cltext::DescribeError(report.error());
    EXPECT_EQ(report->variantsWritten, std::vector<std::string>{"app/Messages_zh_CN.properties"});
    EXPECT_EQ(EntryBytes(Read(Path("out.jar")), "app/Messages_zh_CN.properties"),
              // The program's file is in UTF-8 without escapes, and stays so.
              "a.title=打开文件\n"
              "b.title=开启\n"  // the program's
              "c.title=打开它\n"
              "d=Close it\n");
}

// ---- The variant written

const char* const kSource = "# Texts of the main window\n"
                            "greeting=Hello there\n"
                            "\n"
                            "! The menu\n"
                            "menu.file=File menu\n"
                            "menu.quit=Quit the program\n"
                            "count=Found {0} files\n"
                            "# the end\n";
// The program's own translation for the language: one translated again, one kept, one key the
// source no longer has.
const char* const kExisting = "greeting=旧的问候\nmenu.file=文件菜单\nold.key=Old value\n";

std::string ExpectedVariant(bool existing)
{
    return std::string("# Texts of the main window\n"
                       "greeting=\\u4F60\\u597D\n"
                       "\n"
                       "! The menu\n"
                       "menu.file=") +
           (existing ? "\\u6587\\u4EF6\\u83DC\\u5355" : "File menu") +
           "\n"
           "menu.quit=Quit the program\n"
           "count=\\u627E\\u5230 {0} \\u4E2A\\u6587\\u4EF6\n"
           "# the end\n";
}

TEST_F(SessionBundles, TheVariantKeepsTheSourcesKeysAndGoesWhereTheFamilyPutsItsOwn)
{
    const struct {
        const char* what;
        std::string source;
        Files others;          // the family's other members
        std::string existing;  // the member with the program's translation; "" for none
        std::string variant;   // the file written
    } cases[] = {
        {"suffix, new", "app/Messages.properties", {{"app/Messages_de.properties", "greeting=Hallo\n"}}, "",
         "app/Messages_zh_CN.properties"},
        {"suffix, over the zh file a run in zh_CN reads", "app/Messages.properties",
         {{"app/Messages_de.properties", "greeting=Hallo\n"}}, "app/Messages_zh.properties",
         "app/Messages_zh.properties"},
        {"suffix, over the zh_CN file", "app/Messages.properties",
         {{"app/Messages_de.properties", "greeting=Hallo\n"}}, "app/Messages_zh_CN.properties",
         "app/Messages_zh_CN.properties"},
        {"folders named by language, new", "lang/en/menu.properties", {{"lang/de/menu.properties", "greeting=Hallo\n"}},
         "", "lang/zh/menu.properties"},
        {"folders named by language, over the zh folder's", "lang/en/menu.properties",
         {{"lang/de/menu.properties", "greeting=Hallo\n"}}, "lang/zh/menu.properties", "lang/zh/menu.properties"},
        {"folders named by locale, new", "lang/en_US/menu.properties",
         {{"lang/de_DE/menu.properties", "greeting=Hallo\n"}}, "", "lang/zh_CN/menu.properties"},
        {"folders named by language, over a zh_CN folder's", "lang/en/menu.properties",
         {{"lang/de/menu.properties", "greeting=Hallo\n"}}, "lang/zh_CN/menu.properties", "lang/zh_CN/menu.properties"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Files files{{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n\r\n"}, Class("app/Main", {"Unrelated text"})};
        files.emplace_back(c.source, kSource);
        files.insert(files.end(), c.others.begin(), c.others.end());
        if (!c.existing.empty())
            files.emplace_back(c.existing, kExisting);
        // A family nobody translates, and configuration.
        files.emplace_back("app/Errors.properties", "disk=Disk is full\n");
        files.emplace_back("app/Errors_de.properties", "disk=Platte voll\n");
        files.emplace_back("config.properties", "folder=Documents folder\n");
        const std::string input = Jar(files);
        Write(Path("app.jar"), input);

        cat::ProgramSession session = Open(Path("app.jar"));
        Translate(session, "Hello there", "你好");
        Translate(session, "Found {0} files", "找到 {0} 个文件");
        std::filesystem::remove(Path("out.jar"));
        const cl::Result<cat::GenerateReport> report = Generate(session, Path("out.jar"));
        ASSERT_TRUE(report.ok()) << cltext::DescribeError(report.error());
        EXPECT_EQ(report->variantsWritten, std::vector<std::string>{c.variant});
        EXPECT_EQ(report->bundleTextsWritten, 2u);
        EXPECT_EQ(report->summary.classesChanged, 0u);

        const std::string output = Read(Path("out.jar"));
        // Over the program's own file: all of it stays, its key the source lacks too, with the
        // catalogue's translations in place and the source's missing keys after its own.
        const std::string expected = c.existing == c.variant
                                         ? "greeting=你好\n"  // in UTF-8, as the program's file is
                                           "menu.file=文件菜单\n"
                                           "old.key=Old value\n"
                                           "menu.quit=Quit the program\n"
                                           "count=找到 {0} 个文件\n"
                                         : ExpectedVariant(!c.existing.empty());
        EXPECT_EQ(EntryBytes(output, c.variant), expected);
        const std::vector<std::string> before = EntryNames(input);
        const std::vector<std::string> after = EntryNames(output);
        const bool replaces = c.existing == c.variant;
        std::set<std::string> changed;
        std::set<std::string> added;
        (replaces ? changed : added).insert(c.variant);
        if (replaces) {
            EXPECT_EQ(after, before) << "the variant replaced is where it was";
        } else {
            ASSERT_EQ(after.size(), before.size() + 1);
            EXPECT_EQ(IndexIn(after, c.variant), IndexIn(after, c.source) + 1) << "the new variant follows its source";
        }
        EXPECT_EQ(std::count(after.begin(), after.end(), "app/Errors_zh_CN.properties"), 0);
        // Every other entry is the very same record, with the same bytes.
        for (const std::string& problem : cltest::RecordDifferences(input, output, changed, {}, added))
            ADD_FAILURE() << problem;
    }
}

// ---- Where a run in the catalogue's language looks

// What Java gives for "greeting" of `base` in a jar, for each "jar|base|language|country" (the
// default locale of the run): looked up in the default locale, in Locale("zh") as a program
// that names its language does, and in Locale.SIMPLIFIED_CHINESE; "-" where it finds none.
const char* const kGreetingOracle = R"java(
import java.io.*;
import java.net.*;
import java.util.*;

public class GreetingOracle {
    // A class loader of its own for each lookup: ResourceBundle's cache, which is kept per loader,
    // would otherwise let one lookup answer for the next.
    static String greeting(String jar, String base, Locale locale) throws IOException {
        try (URLClassLoader loader = new URLClassLoader(new URL[] {new File(jar).toURI().toURL()}, null)) {
            return ResourceBundle.getBundle(base, locale, loader).getString("greeting");
        } catch (MissingResourceException e) {
            return "-";
        }
    }
    public static void main(String[] args) throws Exception {
        PrintStream out = new PrintStream(new FileOutputStream(FileDescriptor.out), true, "UTF-8");
        for (String arg : args) {
            String[] p = arg.split("\\|", -1);
            Locale.setDefault(new Locale(p[2], p[3]));
            out.println(greeting(p[0], p[1], Locale.getDefault()) + "|" + greeting(p[0], p[1], new Locale("zh")) + "|"
                        + greeting(p[0], p[1], Locale.SIMPLIFIED_CHINESE));
        }
    }
}
)java";

TEST_F(SessionBundles, TranslationsGoWhereARunInTheLanguageLooks)
{
    using cat::BundleTarget;
    using cat::RunFinds;
    constexpr auto Variant = BundleTarget::Variant;
    constexpr auto Base = BundleTarget::Base;
    // The program's own translation: of the greeting only, or of both texts translated.
    const std::string own = "greeting=旧的问候\nold.key=Old value\n";
    const std::string ownBoth = "greeting=旧的问候\ncount=旧 {0}\nold.key=Old value\n";
    const std::string de = "greeting=Hallo\n";
    const std::string base = "app/Messages.properties";
    const struct {
        const char* what;
        std::string language;
        BundleTarget target;
        std::string source;
        Files others;  // the family's other members
        std::string written;
        bool replaces;
        RunFinds finds;
        std::string hiddenBy;
        std::size_t hidden;
        // What Java shows for the greeting in the default locale, Locale("zh") and zh_CN:
        // 'y' the translation, 'n' anything else; "" for a folder family, which the program
        // reads by its own code.
        std::string java;
    } cases[] = {
        {"only a base", "zh_CN", Variant, base, {}, "app/Messages_zh_CN.properties", false, RunFinds::Exact, "", 0,
         "yyy"},
        {"base and zh", "zh_CN", Variant, base, {{"app/Messages_zh.properties", own}}, "app/Messages_zh.properties",
         true, RunFinds::Fallback, "", 0, "yyy"},
        {"base and zh_CN", "zh_CN", Variant, base, {{"app/Messages_zh_CN.properties", own}},
         "app/Messages_zh_CN.properties", true, RunFinds::Exact, "", 0, "yyy"},
        {"base, zh and zh_CN", "zh_CN", Variant, base,
         {{"app/Messages_zh.properties", own}, {"app/Messages_zh_CN.properties", own}},
         "app/Messages_zh_CN.properties", true, RunFinds::Exact, "", 0, "yny"},
        {"zh_Hans, which Java reads before zh_CN", "zh_CN", Variant, base,
         {{"app/Messages_zh_Hans.properties", own}, {"app/Messages_zh_CN.properties", own}},
         "app/Messages_zh_Hans.properties", true, RunFinds::Fallback, "", 0, "yyy"},
        {"a zh catalogue, base and zh_CN", "zh", Variant, base, {{"app/Messages_zh_CN.properties", own}},
         "app/Messages_zh.properties", false, RunFinds::Exact, "", 0, "yyn"},
        {"a zh catalogue, base and zh", "zh", Variant, base, {{"app/Messages_zh.properties", own}},
         "app/Messages_zh.properties", true, RunFinds::Exact, "", 0, "yyy"},
        {"a zh catalogue, base, zh and zh_CN", "zh", Variant, base,
         {{"app/Messages_zh.properties", own}, {"app/Messages_zh_CN.properties", own}}, "app/Messages_zh.properties",
         true, RunFinds::Exact, "", 0, "yyn"},
        {"folders, with a zh one", "zh_CN", Variant, "lang/en/menu.properties", {{"lang/zh/menu.properties", own}},
         "lang/zh/menu.properties", true, RunFinds::Fallback, "", 0, ""},
        {"folders by locale, new", "zh_CN", Variant, "lang/en_US/menu.properties",
         {{"lang/de_DE/menu.properties", de}}, "lang/zh_CN/menu.properties", false, RunFinds::Exact, "", 0, ""},
        {"folders by language, new", "zh_CN", Variant, "lang/en/menu.properties", {{"lang/de/menu.properties", de}},
         "lang/zh/menu.properties", false, RunFinds::Fallback, "", 0, ""},
        // Into the source.
        {"base: only a base", "zh_CN", Base, base, {}, base, true, RunFinds::Base, "", 0, "yyy"},
        {"base: beside de", "zh_CN", Base, base, {{"app/Messages_de.properties", de}}, base, true, RunFinds::Base, "",
         0, "yyy"},
        {"base: beside a zh holding the greeting", "zh_CN", Base, base, {{"app/Messages_zh.properties", own}}, base,
         true, RunFinds::HiddenByVariant, "app/Messages_zh.properties", 1, "nnn"},
        {"base: beside a zh holding both", "zh_CN", Base, base, {{"app/Messages_zh.properties", ownBoth}}, base, true,
         RunFinds::HiddenByVariant, "app/Messages_zh.properties", 2, "nnn"},
        {"base: a zh catalogue, beside zh_CN", "zh", Base, base, {{"app/Messages_zh_CN.properties", own}}, base, true,
         RunFinds::Base, "", 0, "yyn"},
        {"base: an English source", "zh_CN", Base, "app/Messages_en.properties",
         {{"app/Messages_de.properties", de}}, "app/Messages_en.properties", true, RunFinds::OtherLanguage, "", 0,
         "nnn"},
        {"base: folders", "zh_CN", Base, "lang/en/menu.properties", {{"lang/zh/menu.properties", own}},
         "lang/en/menu.properties", true, RunFinds::OtherLanguage, "", 0, ""},
    };
    std::string javaArgs;
    std::vector<std::pair<std::string, std::string>> javaExpected;  // case, expected line
    for (std::size_t n = 0; n < std::size(cases); ++n) {
        const auto& c = cases[n];
        SCOPED_TRACE(c.what);
        Files files{{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n\r\n"},
                    Class("app/Main", {"app.Messages", "greeting", "Unrelated text"})};
        files.emplace_back(c.source, kSource);
        files.insert(files.end(), c.others.begin(), c.others.end());
        const std::string input = Jar(files);
        const std::string in = Path("in" + std::to_string(n) + ".jar");
        const std::string out = Path("out" + std::to_string(n) + ".jar");
        Write(in, input);

        cat::ProgramSession session = Open(in, c.language);
        Translate(session, "Hello there", "你好");
        Translate(session, "Found {0} files", "找到 {0} 个文件");
        cat::GenerateRequest request;
        request.output = out;
        request.bundles = c.target;
        cl::Result<cat::PreparedGenerate> prepared = session.PrepareGenerate(request);
        ASSERT_TRUE(prepared.ok()) << cltext::DescribeError(prepared.error());
        ASSERT_FALSE(prepared->HasProblems());
        const cl::Result<cat::GenerateReport> report = prepared->Commit();
        ASSERT_TRUE(report.ok()) << cltext::DescribeError(report.error());

        EXPECT_EQ(report->variantsWritten, std::vector<std::string>{c.written});
        ASSERT_EQ(report->bundleFiles.size(), 1u);
        const cat::BundleFileWritten& file = report->bundleFiles[0];
        EXPECT_EQ(file.path, c.written);
        EXPECT_EQ(file.replaces, c.replaces);
        EXPECT_EQ(file.translated, 2u);
        EXPECT_EQ(file.finds, c.finds);
        EXPECT_EQ(file.Found(), c.finds != RunFinds::HiddenByVariant && c.finds != RunFinds::OtherLanguage);
        EXPECT_EQ(file.hiddenBy, c.hiddenBy);
        EXPECT_EQ(file.hidden, c.hidden);

        // The file holds both translations; one of the program's keeps its own keys and
        // comments; nothing else of the program changed, and no other file was added.
        const std::string output = Read(out);
        const cl::Result<cl::bundle::PropertiesFile> written = cl::bundle::ParseProperties(EntryBytes(output, c.written));
        ASSERT_TRUE(written.ok());
        ASSERT_NE(written->Find("greeting"), nullptr);
        EXPECT_EQ(written->Find("greeting")->value, "你好");
        ASSERT_NE(written->Find("count"), nullptr);
        EXPECT_EQ(written->Find("count")->value, "找到 {0} 个文件");
        EXPECT_EQ(written->Find("menu.quit") ? written->Find("menu.quit")->value : "", "Quit the program");
        const bool intoOwn = c.replaces && c.written != c.source;
        EXPECT_EQ(written->Find("old.key") != nullptr, intoOwn);
        if (c.written == c.source) {
            EXPECT_EQ(EntryBytes(output, c.written).rfind("# Texts of the main window\ngreeting=\\u4F60\\u597D\n", 0), 0u)
                << EntryBytes(output, c.written);
        }
        std::set<std::string> changed;
        std::set<std::string> added;
        (c.replaces ? changed : added).insert(c.written);
        for (const std::string& problem : cltest::RecordDifferences(input, output, changed, {}, added))
            ADD_FAILURE() << problem;

        if (!c.java.empty()) {
            const std::size_t under = c.language.find('_');
            javaArgs += " " + cltest::ShellQuoted(out + "|app.Messages|" + c.language.substr(0, under) + "|" +
                                                  (under == std::string::npos ? "" : c.language.substr(under + 1)));
            std::string line;
            for (const char seen : c.java)
                line += std::string(line.empty() ? "" : "|") + (seen == 'y' ? "你好" : "?");
            javaExpected.emplace_back(c.what, line);
        }
    }

    // What Java itself reads from the outputs.
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    CLTEST_REQUIRE_TOOL("java", cltest::JavaPath());
    const cltest::JavaOutput java = cltest::RunJavaProgram(dir_.string(), "GreetingOracle", kGreetingOracle, javaArgs);
    ASSERT_TRUE(java.ok) << java.error;
    std::vector<std::string> lines;
    for (std::size_t from = 0, end; (end = java.out.find('\n', from)) != std::string::npos; from = end + 1)
        lines.push_back(java.out.substr(from, end - from));
    ASSERT_EQ(lines.size(), javaExpected.size()) << java.out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // "?" stands for anything but the translation.
        std::string seen;
        std::size_t from = 0;
        for (std::size_t bar; from <= lines[i].size(); from = bar + 1) {
            bar = std::min(lines[i].find('|', from), lines[i].size());
            seen += std::string(from == 0 ? "" : "|") + (lines[i].substr(from, bar - from) == "你好" ? "你好" : "?");
        }
        EXPECT_EQ(seen, javaExpected[i].second) << javaExpected[i].first << ": " << lines[i];
    }
}

TEST_F(SessionBundles, FolderOutputsWriteVariantsBesideTheFilesAndIntoTheJars)
{
    const std::string jar = Jar({Class("app/Main", {"Unrelated text"}),
                                 {"app/Texts.properties", "title=Window title\n"},
                                 {"app/Texts_de.properties", "title=Fenstertitel\n"}});
    const Files program{{"lang/en/menu.properties", "file.open=Open a file\nfile.quit=Quit\n"},
                        {"lang/de/menu.properties", "file.open=Datei \\u00f6ffnen\n"},
                        {"lib/app.jar", jar},
                        {"config.properties", "name=Settings name\n"},
                        Class("classes/app/Tool", {"A tool text"})};
    const std::string menu = "file.open=\\u6253\\u5F00\\u6587\\u4EF6\nfile.quit=Quit\n";
    Write(Path("app.po"), cltest::Catalogue({{"Open a file", "打开文件"}, {"Window title", "窗口标题"}}));

    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "a new folder");
        std::filesystem::remove_all(Path("fold"));
        std::filesystem::remove_all(Path("fold.bak"));
        WriteTree(Path("fold"), program);
        const TreeState input = TreeState::Of(Path("fold"));
        cat::ProgramSession session = Open(Path("fold"));
        ASSERT_TRUE(session.ImportCatalogue(Path("app.po"), cat::ImportMode::Continue).ok());
        const cl::Result<cat::GenerateReport> report = Generate(session, Path("out"), inPlace);
        ASSERT_TRUE(report.ok()) << cltext::DescribeError(report.error());
        EXPECT_EQ(report->variantsWritten,
                  (std::vector<std::string>{"lang/zh/menu.properties", "lib/app.jar!/app/Texts_zh_CN.properties"}));

        const std::string out = Path(inPlace ? "fold" : "out");
        EXPECT_EQ(Read(out + "/lang/zh/menu.properties"), menu);
        const std::string newJar = Read(out + "/lib/app.jar");
        EXPECT_EQ(EntryBytes(newJar, "app/Texts_zh_CN.properties"), "title=\\u7A97\\u53E3\\u6807\\u9898\n");
        for (const std::string& problem :
             cltest::RecordDifferences(jar, newJar, {}, {}, {"app/Texts_zh_CN.properties"}))
            ADD_FAILURE() << problem;
        const std::vector<std::string> names = EntryNames(newJar);
        EXPECT_EQ(IndexIn(names, "app/Texts_zh_CN.properties"), IndexIn(names, "app/Texts.properties") + 1);

        // Everything else is as it was.
        const TreeState after = TreeState::Of(out);
        std::set<std::string> expectedNames = input.Names();
        expectedNames.insert({"lang/zh", "lang/zh/menu.properties"});
        EXPECT_EQ(after.Names(), expectedNames);
        for (const auto& [name, item] : input.items) {
            if (item.type != 'f' || name == "lib/app.jar")
                continue;
            if (inPlace) {
                EXPECT_EQ(after.items.at(name), item) << name;
            } else {
                EXPECT_EQ(after.items.at(name).state.bytes, item.state.bytes) << name;
            }
        }
        if (inPlace) {
            EXPECT_EQ(TreeState::Of(Path("fold.bak")).Names(), (std::set<std::string>{".", "lib", "lib/app.jar"}));
            EXPECT_EQ(Read(Path("fold.bak/lib/app.jar")), jar);
        } else {
            EXPECT_EQ(TreeState::Of(Path("fold")), input) << "the input changed";
        }
    }
}

// ---- A file Java would refuse

TEST_F(SessionBundles, AMalformedEscapeIsNamedAndTheRestIsProcessed)
{
    const std::string broken = "ok=Fine text\nbad=Broken \\u12G4 text\n";
    const std::string input = Jar({Class("app/Main", {"Unrelated text"}),
                                   {"app/Broken.properties", broken},
                                   {"app/Broken_de.properties", "ok=Gut\n"},
                                   {"app/Messages.properties", "greeting=Hello there\nquit=Quit now\n"},
                                   {"app/Messages_de.properties", "greeting=Hallo\n\nquit=\\uZZZZ\n"}});
    Write(Path("app.jar"), input);
    cat::ProgramSession session = Open(Path("app.jar"));
    const cat::ProgramFacts& facts = session.Facts();
    std::map<std::string, std::pair<cl::ErrorKind, uint64_t>> named;
    for (const cl::Error& error : facts.unreadableBundles)
        named[error.path] = {error.kind, error.line};
    EXPECT_EQ(named, (std::map<std::string, std::pair<cl::ErrorKind, uint64_t>>{
                         {"app/Broken.properties", {cl::ErrorKind::BadEscape, 2}},
                         {"app/Messages_de.properties", {cl::ErrorKind::BadEscape, 3}}}));
    for (const cl::Error& error : facts.unreadableBundles) {
        const std::string text = cltext::DescribeError(error);
        EXPECT_NE(text.find(error.path), std::string::npos) << text;
    }
    // The broken source's family offers nothing, not even its good line; the other is whole.
    EXPECT_EQ(BundlePlaces(session), (std::map<std::string, std::string>{
                                         {"app/Messages.properties:greeting", "Hello there"},
                                         {"app/Messages.properties:quit", "Quit now"}}));
    EXPECT_EQ(facts.bundleFamilies, 1u);

    Translate(session, "Hello there", "你好");
    const cl::Result<cat::GenerateReport> report = Generate(session, Path("out.jar"));
    ASSERT_TRUE(report.ok()) << cltext::DescribeError(report.error());
    EXPECT_EQ(report->variantsWritten, std::vector<std::string>{"app/Messages_zh_CN.properties"});
    for (const std::string& problem :
         cltest::RecordDifferences(input, Read(Path("out.jar")), {}, {}, {"app/Messages_zh_CN.properties"}))
        ADD_FAILURE() << problem;
}

// ---- Failures while a variant is written

// A program whose only change is the variants: a zh_CN file replaced, a zh folder made, and (in
// a folder) a jar of the folder made anew with its variant.
const Files kFaultFiles{
    Class("app/Main", {"Unrelated text"}),
    {"app/Messages.properties", "greeting=Hello there\nmenu.file=File menu\n"},
    {"app/Messages_de.properties", "greeting=Hallo\n"},
    {"app/Messages_zh_CN.properties", "menu.file=文件菜单\n"},
    {"lang/en/menu.properties", "file.open=Open a file\n"},
    {"lang/de/menu.properties", "file.open=Datei \\u00f6ffnen\n"},
};

// The steps of writing a file, and what the error says of each.
bool NamesTheStep(FailStep step, const cl::Error& error)
{
    if (error.kind == cl::ErrorKind::InPlaceUndone && error.step == cl::ErrorStep::None) {
        // A folder in place undone after a failure that has no step of a replacement: making a
        // folder, or looking at one.
        return step == FailStep::Stat || step == FailStep::MakeFolder || step == FailStep::CopyAttributes;
    }
    const bool replacement = error.kind == cl::ErrorKind::NotReplaced || error.kind == cl::ErrorKind::InPlaceUndone;
    switch (step) {
        case FailStep::Create: return replacement && error.step == cl::ErrorStep::CreateTemp;
        case FailStep::Write:
        case FailStep::HalfWrite: return replacement && error.step == cl::ErrorStep::WriteTemp;
        case FailStep::Flush: return replacement && error.step == cl::ErrorStep::FlushTemp;
        case FailStep::CopyPermissions: return replacement && error.step == cl::ErrorStep::Permissions;
        case FailStep::Close: return replacement && error.step == cl::ErrorStep::CloseTemp;
        case FailStep::Rename:
            return (replacement && error.step == cl::ErrorStep::Rename) || error.kind == cl::ErrorKind::CannotMakeFolder;
        case FailStep::ResolveLink: return replacement && error.step == cl::ErrorStep::ResolveLink;
        case FailStep::Stat:
            // The file's, or (before its backup copy) the original's.
            return (replacement && (error.step == cl::ErrorStep::Stat || error.step == cl::ErrorStep::StatSource)) ||
                   error.kind == cl::ErrorKind::CannotMakeFolder ||
                   error.kind == cl::ErrorKind::CannotWrite;
        case FailStep::MakeFolder: return error.kind == cl::ErrorKind::CannotMakeFolder;
        case FailStep::CopyAttributes: return error.kind == cl::ErrorKind::CannotWrite;
        default: return false;
    }
}

class VariantFaults : public SessionBundles {
protected:
    struct Run {
        cl::Result<cat::GenerateReport> result = cl::Error();
        bool committing = false;  // the failure came while the output was put in place
    };

    // What apply does, through `fs`: the program opened and kept, the catalogue continued, the
    // output generated. `generating` is told once the program is open and the catalogue read,
    // before anything is written.
    Run Apply(const std::string& input, const std::string& output, bool inPlace, cl::FileSystem& fs,
              const std::function<void()>& generating = {})
    {
        Run run;
        cat::ProgramSession session(fs);
        cat::OpenOptions options;
        options.keepProgram = true;
        if (cl::Status opened = session.Open(input, options); !opened) {
            run.result = opened.error();
            return run;
        }
        if (cl::Result<cat::ImportSummary> read = session.ImportCatalogue(Path("app.po"), cat::ImportMode::Continue);
            !read) {
            run.result = read.error();
            return run;
        }
        if (generating)
            generating();
        cat::GenerateRequest request;
        request.output = output;
        request.inPlace = inPlace;
        cl::Result<cat::PreparedGenerate> prepared = session.PrepareGenerate(request);
        if (!prepared) {
            run.result = prepared.error();
            return run;
        }
        EXPECT_FALSE(prepared->HasProblems());
        run.committing = true;
        run.result = prepared->Commit();
        return run;
    }
};

TEST_F(VariantFaults, EveryFailingStepNamesTheFileAndLeavesNothingHalfMade)
{
    Write(Path("app.po"),
          cltest::Catalogue({{"Hello there", "你好"}, {"Open a file", "打开文件"}, {"Window title", "窗口标题"}}));
    const std::string jarBytes = Jar(kFaultFiles);
    Files folderFiles = kFaultFiles;
    folderFiles.emplace_back("lib/app.jar", Jar({Class("lib/Tool", {"Unrelated text"}),
                                                 {"app/Texts.properties", "title=Window title\n"},
                                                 {"app/Texts_de.properties", "title=Fenstertitel\n"}}));

    const struct {
        const char* what;
        bool folder;
        bool inPlace;
        bool existingOutput;
    } shapes[] = {
        {"jar to a new jar", false, false, false},        {"jar over an existing jar", false, false, true},
        {"jar in place", false, true, false},             {"folder to a new folder", true, false, false},
        {"folder into an empty folder", true, false, true}, {"folder in place", true, true, false},
    };
    const FailStep steps[] = {FailStep::ResolveLink, FailStep::Stat,  FailStep::Create,     FailStep::CopyPermissions,
                              FailStep::Write,       FailStep::HalfWrite, FailStep::Flush,   FailStep::Close,
                              FailStep::Rename,      FailStep::MakeFolder, FailStep::CopyAttributes};

    std::map<FailStep, int> aimedAt;
    for (const auto& shape : shapes) {
        const std::string input = Path(shape.folder ? "fold" : "app.jar");
        const std::string output = shape.inPlace ? input : Path(shape.folder ? "out" : "out.jar");
        auto reset = [&] {
            for (const char* name : {"fold", "fold.bak", "out", "out.jar", "app.jar", "app.jar.bak", ".fold.classlingo",
                                     ".app.jar.classlingo"})
                std::filesystem::remove_all(Path(name));
            if (shape.folder)
                WriteTree(input, folderFiles);
            else
                Write(input, jarBytes);
            if (shape.existingOutput && shape.folder)
                std::filesystem::create_directory(output);
            else if (shape.existingOutput)
                Write(output, "an earlier output\n");
            if (shape.existingOutput)
                FileState::Age(output);
        };
        // The calls made for a variant: those on the jar that holds it, or on its file and the
        // folder made for it (in a new folder, under the folder being made).
        // Which one a call was for: the jar's path, or the variant's name within the folder.
        auto variantOf = [&](const std::string& path) -> std::string {
            if (!shape.folder)
                return path == output ? output : std::string();
            for (const char* part : {"app/Messages_zh_CN.properties", "lang/zh", "lib/app.jar"}) {
                const std::string tail = std::string("/") + part;
                if (path.size() >= tail.size() && path.compare(path.size() - tail.size(), tail.size(), tail) == 0)
                    return part;
                if (path.find(tail + "/") != std::string::npos)
                    return part;
            }
            return {};
        };

        // The whole output, from a run that nothing stops.
        reset();
        cltest::FailingFileSystem counting;
        std::map<FailStep, int> before;
        const Run whole = Apply(input, output, shape.inPlace, counting, [&] {
            for (const FailStep step : steps)
                before[step] = counting.Calls(step);
        });
        ASSERT_TRUE(whole.result.ok()) << shape.what << ": " << cltext::DescribeError(whole.result.error());
        ASSERT_EQ(whole.result->variantsWritten.size(), shape.folder ? 3u : 2u) << shape.what;
        const TreeState done = TreeState::Of(output);

        for (const FailStep step : steps) {
            const std::vector<std::string>& paths = counting.Paths(step);
            int aimed = 0;
            int failed = 0;
            for (int k = before[step] + 1; k <= static_cast<int>(paths.size()); ++k) {
                const std::string& path = paths[static_cast<std::size_t>(k - 1)];
                const std::string variant = variantOf(path);
                if (variant.empty())
                    continue;
                ++aimed;
                SCOPED_TRACE(std::string(shape.what) + ", " + StepName(step) + " call " + std::to_string(k) + " on " +
                             path);
                reset();
                const TreeState inputBefore = TreeState::Of(input, false);
                const TreeState outputBefore = TreeState::Of(output);
                const std::set<std::string> entries = Entries();
                cltest::FailingFileSystem fs;
                fs.FailAt(step, k);
                const Run run = Apply(input, output, shape.inPlace, fs);
                ASSERT_TRUE(fs.Injected());
                if (run.result.ok()) {
                    // Gone past the failure (a step whose failure costs nothing): the whole output.
                    EXPECT_EQ(TreeState::Of(output).Names(), done.Names());
                    continue;
                }
                ++failed;
                const cl::Error& error = run.result.error();
                EXPECT_TRUE(NamesTheStep(step, error))
                    << "kind " << static_cast<int>(error.kind) << ", step " << static_cast<int>(error.step);
                // The file itself, or (for a backup's copy) the original it is of.
                EXPECT_TRUE(error.path.find(variant) != std::string::npos ||
                            error.other.find(variant) != std::string::npos)
                    << error.path << " | " << error.other;
                const std::string said = cltext::DescribeError(error);
                EXPECT_NE(said.find(error.path), std::string::npos) << said;

                // In place, a backup made before the failure holds the original, as a backup does.
                std::set<std::string> expected = entries;
                if (shape.inPlace && FileState::Of(input + ".bak").exists) {
                    expected.insert(NameOf(input) + ".bak");
                    const TreeState backup = TreeState::Of(input + ".bak");
                    for (const auto& [name, item] : backup.items) {
                        if (item.type == 'd') {
                            const std::string under = name == "." ? std::string() : name + "/";
                            EXPECT_TRUE(std::any_of(backup.items.begin(), backup.items.end(), [&](const auto& other) {
                                return other.second.type == 'f' && other.first.compare(0, under.size(), under) == 0;
                            })) << "the backup's folder " << name << " was left empty";
                        }
                        if (item.type != 'f')
                            continue;
                        const std::string original =
                            name == "." ? inputBefore.items.at(".").state.bytes : inputBefore.items.at(name).state.bytes;
                        EXPECT_EQ(item.state.bytes, original) << "the backup's " << name << " is not the original";
                    }
                }
                EXPECT_EQ(Entries(), expected) << "something was left beside the program or the output";
                if (!shape.inPlace) {
                    EXPECT_EQ(TreeState::Of(input, false), inputBefore) << "the input changed";
                    EXPECT_EQ(TreeState::Of(output), outputBefore) << "the existing output changed";
                    continue;
                }
                // A folder in place too: all or nothing, every file replaced before the failure
                // was put back.
                EXPECT_EQ(TreeState::Of(input, false), inputBefore) << "the input changed";
            }
            // Only the attributes of an original's copy under the backup may fail and let the
            // run go on: the copy holds the original's bytes all the same.
            const bool harmless = shape.inPlace && shape.folder && step == FailStep::CopyAttributes;
            if (aimed > 0 && !harmless) {
                EXPECT_GT(failed, 0) << shape.what << ", " << StepName(step) << ": no failure stopped the run";
            }
            aimedAt[step] += aimed;
        }
    }
    // Every step was met while some variant was written.
    for (const FailStep step : steps) {
        EXPECT_GT(aimedAt[step], 0) << StepName(step);
    }
}

}  // namespace
