// Language files in the order of an English file against JOSM itself (Debian's josm package):
// its own files read from josm.jar and written back unchanged byte for byte, and written with
// translations replaced and added; then what was written is loaded by JOSM's own I18n class
// (tests/engine/bundle/java/JosmLangOracle.java), whose tables and tr() must hold exactly what
// was written. Hand-made pairs, broken ones among them, must be refused by JOSM exactly when
// the engine refuses them, and read into the same tables when not.

#include "LangBytes.h"
#include "bundle/OrderedLangFiles.h"
#include "zip/EntryCodec.h"
#include "zip/JarArchive.h"
#include "zip/ZipLayout.h"

#include "Java.h"
#include "JavaOracle.h"
#include "ScratchFolder.h"
#include "Tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using cl::bundle::LangEntry;
using cl::bundle::LangFile;
using cl::bundle::LangState;
using cl::bundle::LangTranslations;
using cl::bundle::PluralKey;
using cl::bundle::ReadLangFiles;
using cl::bundle::SingularKey;
using cl::bundle::WriteLangFile;

std::string JosmJar()
{
    return CLASSLINGO_JOSM_JAR;
}

// Every data/*.lang of josm.jar, by name, read with the engine's zip reader.
const std::map<std::string, std::string>& JosmLangFiles()
{
    static const std::map<std::string, std::string> files = [] {
        std::map<std::string, std::string> found;
        std::ifstream in(JosmJar(), std::ios::binary);
        const std::string jar((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto layout = cl::zip::ReadZipLayout(jar);
        if (!layout)
            return found;
        cl::zip::Inflater inflater;
        for (const auto& entry : layout->entries) {
            const std::string name = jar.substr(entry.central.name.offset, entry.central.name.length);
            if (name.rfind("data/", 0) != 0 || name.size() < 10 || name.compare(name.size() - 5, 5, ".lang") != 0)
                continue;
            std::string contents;
            bool overflowed = false;
            if (cl::zip::ReadEntryContents(jar, entry, cl::zip::JarArchive::kEntryLimit, inflater, contents,
                                           overflowed) == cl::zip::ZipFault::None)
                found[name.substr(5)] = std::move(contents);
        }
        return found;
    }();
    return files;
}

std::string Hex(const std::string& bytes)
{
    return cltest::Hex(bytes);
}

// The tables JOSM builds from a pair that reads, as the oracle prints them, sorted: the first
// translation of each key, translated entries only.
std::vector<std::string> ExpectedTables(const LangFile& file)
{
    std::map<cl::bundle::LangKey, std::string> lines;
    for (const LangEntry& entry : file.entries) {
        if (entry.state != LangState::Translated)
            continue;
        const cl::bundle::LangKey key = cl::bundle::KeyOf(entry);
        if (lines.count(key) != 0)
            continue;
        std::string line = (entry.plural ? "P " : "S ") + Hex(key.lookup);
        for (const std::string& form : entry.translation)
            line += " " + Hex(form);
        lines[key] = line;
    }
    std::vector<std::string> sorted;
    for (const auto& [key, line] : lines)
        sorted.push_back(line);
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

// What the oracle says of one pair: "LOADED false", "THROWN ...", or "LOADED true" and its
// tables, sorted.
struct JosmReading {
    std::string verdict;
    std::vector<std::string> tables;
};

struct OracleRun {
    bool ok = false;
    std::string error;
    std::vector<JosmReading> pairs;
    std::vector<std::string> shown;  // the hex of each query's answer
};

OracleRun ParseOracle(const std::string& out)
{
    OracleRun run;
    run.ok = true;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("PAIR ", 0) == 0)
            run.pairs.emplace_back();
        else if (line.rfind("LOADED ", 0) == 0 || line.rfind("THROWN ", 0) == 0)
            run.pairs.back().verdict = line;
        else if (line.rfind("S ", 0) == 0 || line.rfind("P ", 0) == 0)
            run.pairs.back().tables.push_back(line);
        else if (line.rfind("= ", 0) == 0)
            run.shown.push_back(line.substr(2));
    }
    for (auto& pair : run.pairs)
        std::sort(pair.tables.begin(), pair.tables.end());
    return run;
}

struct Query {
    std::string kind;  // tr, trc, trn
    std::vector<std::string> texts;
    long n = 1;
    std::string expected;  // what JOSM must show
};

class OrderedLangFilesJosm : public cltest::ScratchFolder {
protected:
    void SetUp() override
    {
        cltest::ScratchFolder::SetUp();
        CLTEST_REQUIRE_TOOL("josm.jar", std::filesystem::exists(JosmJar()) ? JosmJar() : std::string());
        ASSERT_TRUE(JosmLangFiles().count("en.lang") != 0 && JosmLangFiles().count("zh_CN.lang") != 0)
            << JosmJar() << " holds no data/en.lang and data/zh_CN.lang";
    }

    // Compiles the oracle once per test (javac on the class path of josm.jar).
    void NeedJava()
    {
        CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
        CLTEST_REQUIRE_TOOL("java", CLASSLINGO_JAVA);
        const std::string classes = Path("oracle");
        std::filesystem::create_directories(classes);
        const std::string failed = cltest::CompileJavaFile(std::string(CLASSLINGO_BUNDLE_JAVA) + "/JosmLangOracle.java",
                                                           classes, "-cp " + cltest::ShellQuoted(JosmJar()));
        ASSERT_EQ(failed, "");
    }

    std::string QueriesFile(const std::vector<Query>& queries)
    {
        std::string text;
        for (const Query& q : queries) {
            text += q.kind;
            for (const std::string& t : q.texts)
                text += " " + Hex(t);
            if (q.kind == "trn")
                text += " " + std::to_string(q.n);
            text += "\n";
        }
        const std::string path = Path("queries");
        Write(path, text);
        return path;
    }

    OracleRun RunOracle(const std::string& args)
    {
        const std::string command = cltest::ShellQuoted(CLASSLINGO_JAVA) + " -cp " +
                                    cltest::ShellQuoted(Path("oracle") + ":" + JosmJar()) + " JosmLangOracle " + args +
                                    " 2>" + cltest::ShellQuoted(Path("oracle.err"));
        std::string out;
        const int status = cltest::RunCommand(command, out);
        if (status != 0) {
            OracleRun failed;
            failed.error = command + "\n" + Read(Path("oracle.err"));
            return failed;
        }
        return ParseOracle(out);
    }

    // Loads each pair of files with JOSM's reader, then asks the queries.
    OracleRun JosmReads(const std::vector<std::pair<std::string, std::string>>& pairs,
                        const std::vector<Query>& queries = {})
    {
        std::string list;
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const std::string en = Path("pair" + std::to_string(i) + ".en.lang");
            const std::string tr = Path("pair" + std::to_string(i) + ".zh_CN.lang");
            Write(en, pairs[i].first);
            Write(tr, pairs[i].second);
            list += en + "\t" + tr + "\n";
        }
        Write(Path("pairs"), list);
        std::string args = "core zh_CN " + cltest::ShellQuoted(Path("pairs"));
        if (!queries.empty())
            args += " " + cltest::ShellQuoted(QueriesFile(queries));
        return RunOracle(args);
    }
};

// Every language file of josm.jar reads beside en.lang and is written back unchanged to the
// same bytes.
TEST_F(OrderedLangFilesJosm, EveryLanguageOfJosmWritesBackToItsOwnBytes)
{
    const std::string& english = JosmLangFiles().at("en.lang");
    const auto alone = ReadLangFiles(english, std::nullopt);
    ASSERT_TRUE(alone.ok());
    ASSERT_GT(alone->entries.size(), 4000u);
    std::size_t languages = 0;
    for (const auto& [name, bytes] : JosmLangFiles()) {
        SCOPED_TRACE(name);
        const auto file = ReadLangFiles(english, bytes);
        ASSERT_TRUE(file.ok()) << static_cast<int>(file.error().fault) << " at " << file.error().offset;
        ASSERT_EQ(file->entries.size(), alone->entries.size());
        const auto written = WriteLangFile(*file, {});
        ASSERT_TRUE(written.ok());
        EXPECT_TRUE(*written == bytes) << "differs first at byte "
                                       << std::mismatch(written->begin(), written->end(), bytes.begin(), bytes.end()).first -
                                              written->begin();
        ++languages;
    }
    EXPECT_GT(languages, 50u);

    // What the Chinese files hold, as JOSM's format has it.
    const auto zh = ReadLangFiles(english, JosmLangFiles().at("zh_CN.lang"));
    ASSERT_TRUE(zh.ok());
    std::map<std::string, int> seen;
    for (const LangEntry& entry : zh->entries) {
        seen[std::string(entry.plural ? "plural " : "singular ") +
             (entry.state == LangState::Translated      ? "translated"
              : entry.state == LangState::SameAsEnglish ? "same"
                                                        : "untranslated")]++;
        if (entry.hasContext)
            seen["context"]++;
        if (entry.lossy)
            seen["lossy"]++;
    }
    EXPECT_GT(seen["singular translated"], 4000);
    EXPECT_GT(seen["singular same"], 0);
    EXPECT_GT(seen["singular untranslated"], 0);
    EXPECT_GT(seen["plural translated"], 100);
    EXPECT_GT(seen["context"], 0);
    EXPECT_EQ(seen["lossy"], 0);
    const LangEntry* open = zh->Find(SingularKey("Open file"));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->translation, std::vector<std::string>{"打开文件"});
}

// A catalogue's translations for the Chinese file of JOSM: some replaced, some added where the
// file had none, one set to the English, one cleared, forms of a plural, texts in a context.
struct Changes {
    LangTranslations translations;
    std::vector<Query> queries;
};

// A text JOSM shows as it is: trc() always formats its text with MessageFormat, tr() and trn()
// do when it holds a quote.
bool ShownAsItIs(const LangEntry& entry)
{
    const char* formatting = entry.hasContext ? "'{}" : "'";
    for (const auto* texts : {&entry.english, &entry.translation})
        for (const std::string& text : *texts)
            if (text.find_first_of(formatting) != std::string::npos)
                return false;
    return true;
}

Changes SomeChanges(const LangFile& file)
{
    Changes c;
    int replaced = 0, added = 0, plurals = 0, contexts = 0, same = 0, cleared = 0;
    for (const LangEntry& entry : file.entries) {
        if (entry.english.empty() || (entry.plural && entry.hasContext) || !ShownAsItIs(entry))
            continue;
        const cl::bundle::LangKey key = cl::bundle::KeyOf(entry);
        if (c.translations.count(key) != 0 || file.Find(key) != &entry)
            continue;
        const std::string& english = entry.english.front();
        if (entry.plural) {
            if (plurals++ < 3) {
                c.translations[key] = {"【" + english + "】的复数", "第二形式"};
                c.queries.push_back({"trn", {english, entry.english.back()}, 7, "【" + english + "】的复数"});
            }
        } else if (entry.hasContext) {
            if (contexts++ < 3) {
                c.translations[key] = {"语境：" + english};
                c.queries.push_back({"trc", {entry.context, english}, 1, "语境：" + english});
            }
        } else if (entry.state == LangState::Untranslated) {
            if (added++ < 10) {
                c.translations[key] = {"新译：" + english + " 😀"};
                c.queries.push_back({"tr", {english}, 1, "新译：" + english + " 😀"});
            }
        } else if (entry.state == LangState::Translated) {
            if (replaced++ < 20) {
                c.translations[key] = {"改：" + entry.translation.front()};
                c.queries.push_back({"tr", {english}, 1, "改：" + entry.translation.front()});
            } else if (same++ < 2) {
                c.translations[key] = {english};
                c.queries.push_back({"tr", {english}, 1, english});
            } else if (cleared++ < 2) {
                c.translations[key] = {""};
                c.queries.push_back({"tr", {english}, 1, english});
            }
        }
    }
    return c;
}

TEST_F(OrderedLangFilesJosm, ChineseWrittenWithChangesReadsBackAsGiven)
{
    const std::string& english = JosmLangFiles().at("en.lang");
    for (const char* name : {"zh_CN.lang", "zh_TW.lang"}) {
        if (JosmLangFiles().count(name) == 0)
            continue;
        SCOPED_TRACE(name);
        const std::string& before = JosmLangFiles().at(name);
        const auto file = ReadLangFiles(english, before);
        ASSERT_TRUE(file.ok());
        const Changes changes = SomeChanges(*file);
        ASSERT_GE(changes.translations.size(), 30u);
        const auto written = WriteLangFile(*file, changes.translations);
        ASSERT_TRUE(written.ok());
        const auto after = ReadLangFiles(english, *written);
        ASSERT_TRUE(after.ok());
        ASSERT_EQ(after->entries.size(), file->entries.size());
        for (std::size_t i = 0; i < file->entries.size(); ++i) {
            const LangEntry& was = file->entries[i];
            const LangEntry& now = after->entries[i];
            const auto given = changes.translations.find(cl::bundle::KeyOf(was));
            if (given == changes.translations.end()) {
                EXPECT_EQ(now.record, was.record) << i;
                continue;
            }
            const std::vector<std::string>& forms = given->second;
            if (forms == std::vector<std::string>{""}) {
                EXPECT_EQ(now.state, LangState::Untranslated) << i;
            } else if (forms == was.english) {
                EXPECT_EQ(now.state, LangState::SameAsEnglish) << i;
            } else {
                EXPECT_EQ(now.state, LangState::Translated) << i;
                EXPECT_EQ(now.translation, forms) << i;
            }
        }
    }
}

// The Chinese file written with changes, loaded by JOSM's reader: its tables are exactly those
// the file was written with, and tr(), trc() and trn() show the new translations.
TEST_F(OrderedLangFilesJosm, JosmShowsWhatWasWritten)
{
    NeedJava();
    if (HasFatalFailure() || IsSkipped())
        return;
    const std::string& english = JosmLangFiles().at("en.lang");
    const auto file = ReadLangFiles(english, JosmLangFiles().at("zh_CN.lang"));
    ASSERT_TRUE(file.ok());
    Changes changes = SomeChanges(*file);
    // A text the catalogue leaves alone shows the file's own translation.
    changes.queries.push_back({"tr", {"Open file"}, 1, "打开文件"});
    const auto written = WriteLangFile(*file, changes.translations);
    ASSERT_TRUE(written.ok());
    const auto reread = ReadLangFiles(english, *written);
    ASSERT_TRUE(reread.ok());

    const OracleRun run = JosmReads({{english, JosmLangFiles().at("zh_CN.lang")}, {english, *written}}, changes.queries);
    ASSERT_EQ(run.error, "");
    ASSERT_EQ(run.pairs.size(), 2u);
    EXPECT_EQ(run.pairs[0].verdict, "LOADED true");
    EXPECT_EQ(run.pairs[0].tables, ExpectedTables(*file));
    EXPECT_EQ(run.pairs[1].verdict, "LOADED true");
    EXPECT_EQ(run.pairs[1].tables, ExpectedTables(*reread));
    EXPECT_NE(run.pairs[0].tables, run.pairs[1].tables);
    ASSERT_EQ(run.shown.size(), changes.queries.size());
    for (std::size_t i = 0; i < run.shown.size(); ++i)
        EXPECT_EQ(run.shown[i], Hex(changes.queries[i].expected))
            << changes.queries[i].kind << " " << changes.queries[i].texts.front();
}

using cltest::T;
using cltest::U1;
using cltest::U2;

// Hand-made pairs, sound and broken: JOSM refuses a pair (or fails on it) exactly when the
// engine refuses it, and otherwise holds the tables the engine reads, texts that are not UTF-8
// decoded the same way.
TEST_F(OrderedLangFilesJosm, JosmRefusesWhatTheEngineRefuses)
{
    NeedJava();
    if (HasFatalFailure() || IsSkipped())
        return;
    const std::string mark = U2(0xFFFF);
    const std::string en = T("Open") + T("_:menu\nFile") + T("Open") + T("Save") + mark + U1(2) + T("{0} file") +
                           T("{0} files") + U1(2) + T("a") + T("b");
    const std::string zh = T("打开") + T("文件") + T("开") + U2(0xFFFE) + mark + U1(1) + T("{0} 个文件") + U1(0xFE);
    std::vector<std::pair<std::string, std::string>> pairs = {
        {en, zh},
        {T("a") + T("b"), U2(0) + T("乙")},
        {T("a"), U2(0)},  // nothing translated: JOSM refuses the language
        {T("a") + mark + U1(1) + T("b"), U2(0) + mark + U1(1) + T("乙")},  // only a plural: refused too
        {T("a") + mark, T("甲") + mark},
        {T("a"), T("甲") + U2(0)},
        {T("a") + T("b"), T("甲")},
        {T("a") + U1(0), T("甲") + U2(0)},
        {T("a") + U1(0), T("甲") + U1(0)},
        {T("a") + T("b"), T("甲") + U2(9) + "abc"},
        {T("a") + mark, T("甲") + U2(0)},
        {T("a") + mark + U1(1) + T("b"), T("甲") + mark},
        {T("a") + mark + U1(1) + T("b"), T("甲") + mark + U1(2) + T("乙")},
        {T("a") + mark + U1(0), T("甲") + mark + U1(1) + T("乙")},  // JOSM fails with an exception
        {T("a") + mark + U1(0) + U1(1) + T("c"), T("甲") + mark + U1(0) + U1(1) + T("丙")},
        {T("a") + T("b"), T("甲") + mark + "x"},
        {T("a") + mark + U1(1) + U2(40) + "b", T("甲") + mark + U1(1) + T("乙")},
        {T("a") + mark + U1(1) + T("b"), T("甲") + mark + U1(1) + T("乙") + "z"},
        {T("x\xC3") + T("y") + T("z"), T("\xE4\xB8") + T("\xED\xA0\x80!") + T("\xF0\x9F\x98(\xC0\xAF")},
        {T(std::string(0xFFFE, 'e')), T(std::string(0xFFFF, 'f'))},
    };
    // Every cut of the first pair's language file, and of its English file.
    for (std::size_t cut = 0; cut < zh.size(); ++cut)
        pairs.push_back({en, zh.substr(0, cut)});
    for (std::size_t cut = 0; cut < en.size(); ++cut)
        pairs.push_back({en.substr(0, cut), zh});

    const OracleRun run = JosmReads(pairs);
    ASSERT_EQ(run.error, "");
    ASSERT_EQ(run.pairs.size(), pairs.size());
    int refused = 0, thrown = 0, loaded = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        SCOPED_TRACE("pair " + std::to_string(i));
        const auto file = ReadLangFiles(pairs[i].first, pairs[i].second);
        if (!file.ok()) {
            const bool fails = file.error().fault == static_cast<uint16_t>(cl::bundle::LangFault::NoEnglishForms);
            EXPECT_EQ(run.pairs[i].verdict, fails ? "THROWN ArrayIndexOutOfBoundsException" : "LOADED false");
            (fails ? thrown : refused)++;
            continue;
        }
        const std::vector<std::string> tables = ExpectedTables(*file);
        const bool anySingular =
            std::any_of(tables.begin(), tables.end(), [](const std::string& line) { return line[0] == 'S'; });
        EXPECT_EQ(run.pairs[i].verdict, anySingular ? "LOADED true" : "LOADED false");
        if (anySingular) {
            EXPECT_EQ(run.pairs[i].tables, tables);
            ++loaded;
        }
    }
    EXPECT_GT(refused, 20);
    EXPECT_EQ(thrown, 1);
    EXPECT_GT(loaded, 5);
}

// Java's UTF-8 decoding, which JOSM reads every text with, against the engine's: malformed
// sequences of every kind, each as the translation of one entry.
TEST_F(OrderedLangFilesJosm, TextsDecodeAsJosmDecodesThem)
{
    NeedJava();
    if (HasFatalFailure() || IsSkipped())
        return;
    std::vector<std::string> texts;
    const std::vector<std::string> pieces = {"\x80", "\xBF", "\xC0", "\xC1", "\xC2", "\xDF", "\xE0", "\xE4", "\xED",
                                             "\xEF", "\xF0", "\xF4", "\xF5", "\xF8", "\xFF", "\x9F", "\xA0", "\x90",
                                             "\x8F", "a"};
    // Every sequence of up to three of the pieces, and each after a full character.
    for (const std::string& a : pieces)
        for (const std::string& b : pieces)
            for (const std::string& c : pieces)
                texts.push_back("x" + a + b + c);
    for (const std::string& a : pieces)
        for (const std::string& b : pieces)
            texts.push_back("\xE4\xB8\xAD" + a + b + "\xF0\x9F\x98\x80");
    for (const std::string& a : pieces)
        for (const std::string& b : pieces)
            for (const std::string& c : pieces)
                texts.push_back(a + b + c);  // cut by the end of the text
    std::string en, tr;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        en += T("k" + std::to_string(i));
        tr += T(texts[i]);
    }
    const auto file = ReadLangFiles(en, tr);
    ASSERT_TRUE(file.ok());
    const OracleRun run = JosmReads({{en, tr}});
    ASSERT_EQ(run.error, "");
    ASSERT_EQ(run.pairs.size(), 1u);
    EXPECT_EQ(run.pairs[0].tables, ExpectedTables(*file));
}

// A plugin's jar (made with the JDK's jar) holding data/en.lang and a Chinese file written
// here, loaded by I18n.addTexts as JOSM loads a plugin's translations.
TEST_F(OrderedLangFilesJosm, PluginTranslationsLoadThroughAddTexts)
{
    NeedJava();
    if (HasFatalFailure() || IsSkipped())
        return;
    CLTEST_REQUIRE_TOOL("jar", CLASSLINGO_JAR);
    const std::string mark = U2(0xFFFF);
    const std::string en = T("Classlingo plugin greeting") + T("_:plugin\nGreeting") + T("Classlingo untranslated") +
                           mark + U1(2) + T("{0} classlingo item") + T("{0} classlingo items");
    const auto file = ReadLangFiles(en, std::nullopt);
    ASSERT_TRUE(file.ok());
    const LangTranslations translations = {
        {SingularKey("Classlingo plugin greeting"), {"插件的问候"}},
        {SingularKey("Greeting", "plugin"), {"问候（插件）"}},
        {PluralKey("{0} classlingo item"), {"{0} 个条目"}},
    };
    const auto written = WriteLangFile(*file, translations);
    ASSERT_TRUE(written.ok());
    std::filesystem::create_directories(Path("plugin/data"));
    Write(Path("plugin/data/en.lang"), en);
    Write(Path("plugin/data/zh_CN.lang"), *written);
    std::string said;
    ASSERT_EQ(cltest::RunCommand(cltest::ShellQuoted(CLASSLINGO_JAR) + " cf " + cltest::ShellQuoted(Path("plugin.jar")) +
                                     " -C " + cltest::ShellQuoted(Path("plugin")) + " data 2>&1",
                                 said),
              0)
        << said;
    const std::vector<Query> queries = {
        {"tr", {"Classlingo plugin greeting"}, 1, "插件的问候"},
        {"trc", {"plugin", "Greeting"}, 1, "问候（插件）"},
        {"tr", {"Classlingo untranslated"}, 1, "Classlingo untranslated"},
        {"trn", {"{0} classlingo item", "{0} classlingo items"}, 3, "{0} 个条目"},
        {"tr", {"Open file"}, 1, "打开文件"},  // JOSM's own translations stay
    };
    const OracleRun run = RunOracle("plugin zh_CN " + cltest::ShellQuoted(Path("plugin.jar")) + " " +
                                    cltest::ShellQuoted(QueriesFile(queries)));
    ASSERT_EQ(run.error, "");
    ASSERT_EQ(run.shown.size(), queries.size());
    for (std::size_t i = 0; i < queries.size(); ++i)
        EXPECT_EQ(run.shown[i], Hex(queries[i].expected)) << queries[i].texts.back();
}

}  // namespace
