// Resource bundles on the command line: strings lists each offered value as FILE, KEY, "bundle",
// "-" and the text; a bundle Java would refuse is named on stderr while the rest is listed,
// extracted and applied, with exit status 3; apply's summary names, per family, the file it wrote
// and whether a run in the catalogue's language reads it; --bundles base writes the sources; a
// family whose English file and other languages lie in two jars of a folder is one family.

#include "CliFixture.h"
#include "Java.h"
#include "SamplePrograms.h"
#include "ZipBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using cltest::CliFixture;
using Files = std::vector<std::pair<std::string, std::string>>;

std::string Jar(const Files& files)
{
    std::vector<cltest::ZipEntryPlan> plans;
    for (const auto& [name, bytes] : files)
        plans.push_back({name, bytes, false, {}});
    return cltest::BuildZip(plans);
}

// The lines of `strings` that are bundle rows, in order.
std::vector<std::string> BundleRows(const std::string& out)
{
    std::vector<std::string> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\tbundle\t") != std::string::npos)
            rows.push_back(line);
    }
    return rows;
}

const Files kProgram{
    {"app/Main.class", cltest::ClassOffering("app/Main", {"Unrelated text"})},
    {"app/Messages.properties", "greeting=Hello there\nopen.mnemonic=O\nmulti\\tkey=Two\\nlines\n"},
    {"app/Messages_de.properties", "greeting=Hallo du\n"},
    {"lang/en/menu.properties", "file.open=Open a file\n"},
    {"lang/de/menu.properties", "file.open=Datei \\u00f6ffnen\n"},
    {"config.properties", "title=Configured title\n"},
};

class CliBundles : public CliFixture {};

TEST_F(CliBundles, StringsListsEachBundleValueWithItsFileAndKey)
{
    Write(Path("app.jar"), Jar(kProgram));
    std::filesystem::create_directories(Path("fold/lib"));
    Write(Path("fold/lib/app.jar"), Jar(kProgram));
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::vector<std::string> rows;
    } cases[] = {
        {"a jar",
         {"strings", Path("app.jar")},
         {"app/Messages.properties\tgreeting\tbundle\t-\tHello there",
          "app/Messages.properties\tmulti\\tkey\tbundle\t-\tTwo\\nlines",
          "lang/en/menu.properties\tfile.open\tbundle\t-\tOpen a file"}},
        {"a jar, every value of the sources",
         {"strings", "--all", Path("app.jar")},
         {"app/Messages.properties\tgreeting\tbundle\t-\tHello there",
          "app/Messages.properties\topen.mnemonic\tbundle\t-\tO",
          "app/Messages.properties\tmulti\\tkey\tbundle\t-\tTwo\\nlines",
          "lang/en/menu.properties\tfile.open\tbundle\t-\tOpen a file"}},
        {"a jar in a folder",
         {"strings", Path("fold")},
         {"lib/app.jar!/app/Messages.properties\tgreeting\tbundle\t-\tHello there",
          "lib/app.jar!/app/Messages.properties\tmulti\\tkey\tbundle\t-\tTwo\\nlines",
          "lib/app.jar!/lang/en/menu.properties\tfile.open\tbundle\t-\tOpen a file"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto run = Run(c.args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(BundleRows(run.out), c.rows) << run.out;
        // The class's rows are there as ever; no variant's or configuration value is listed.
        EXPECT_NE(run.out.find("app/Main.class\t"), std::string::npos) << run.out;
        for (const char* other : {"Hallo du", "Datei", "Configured title"})
            EXPECT_EQ(run.out.find(other), std::string::npos) << other;
    }
}

TEST_F(CliBundles, AMalformedBundleIsNamedTheRestIsProcessedAndTheStatusIsThree)
{
    Files broken = kProgram;
    broken.emplace_back("app/Broken.properties", "ok=Fine text\nbad=Broken \\u12G4 text\n");
    broken.emplace_back("app/Broken_de.properties", "ok=Gut\n");
    Write(Path("clean.jar"), Jar(kProgram));
    Write(Path("broken.jar"), Jar(broken));
    Write(Path("app.po"), cltest::Catalogue({{"Hello there", "你好"}}));
    const std::string named = "“app/Broken.properties”第 2 行有无效的 \\uXXXX 转义";

    for (const bool malformed : {false, true}) {
        SCOPED_TRACE(malformed ? "with a malformed bundle" : "without");
        const std::string input = Path(malformed ? "broken.jar" : "clean.jar");
        const int status = malformed ? 3 : 0;

        const auto strings = Run({"strings", input});
        EXPECT_EQ(strings.status, status) << strings.err;
        EXPECT_EQ(strings.err.find(named) != std::string::npos, malformed) << strings.err;
        EXPECT_NE(strings.out.find("app/Messages.properties\tgreeting\tbundle\t-\tHello there\n"), std::string::npos);
        EXPECT_EQ(strings.out.find("Fine text"), std::string::npos) << "a file Java refuses offers nothing";

        const auto extract = Run({"extract", input, Path("out.po")});
        EXPECT_EQ(extract.status, status) << extract.err;
        EXPECT_EQ(extract.err.find(named) != std::string::npos, malformed) << extract.err;
        const std::string po = Read(Path("out.po"));
        EXPECT_NE(po.find("#: app/Messages.properties:greeting\n"), std::string::npos) << po;
        EXPECT_EQ(po.find("Fine text"), std::string::npos) << po;

        std::filesystem::remove(Path("out.jar"));
        const auto apply = Run({"apply", input, Path("app.po"), Path("out.jar")});
        EXPECT_EQ(apply.status, status) << apply.err;
        EXPECT_EQ(apply.err.find(named) != std::string::npos, malformed) << apply.err;
        const cltest::LibzipView out = cltest::ReadWithLibzip(Read(Path("out.jar")));
        ASSERT_EQ(out.error, "");
        EXPECT_EQ(out.contents.count("app/Messages_zh_CN.properties"), 1u);
        if (malformed) {
            EXPECT_EQ(out.contents.at("app/Broken.properties"), "ok=Fine text\nbad=Broken \\u12G4 text\n");
            EXPECT_EQ(out.contents.count("app/Broken_zh_CN.properties"), 0u);
        }
    }
}

// The summary's line for a family: the file written, and whether a run in the language reads it.
std::string FileLine(const std::string& family, const std::string& path, bool own, const std::string& reads)
{
    return "\n  “" + family + "”：写入“" + path + "”" + (own ? "（程序原有的文件，保留其中其他内容）" : "（新文件）") +
           "，以目录的语言运行时" + reads + "\n";
}

const std::string kExact = "读到它。";
const std::string kFallback = "读到它（程序没有更具体的语言文件，查找时退到这一个）。";
const std::string kBase = "读到它（程序没有这种语言的文件，Java 查找时最后读基本文件）。";
const std::string kOtherLanguage = "读不到它：它是另一种语言的文件，只有程序自己选用这种语言时才读它。";

TEST_F(CliBundles, ApplySummarySaysPerFamilyWhichFileARunInTheLanguageReads)
{
    Files withZh = kProgram;
    withZh.emplace_back("app/Messages_zh.properties", "greeting=\\u65E7\\u7684\nold=Kept\n");
    Write(Path("app.jar"), Jar(kProgram));
    Write(Path("zh.jar"), Jar(withZh));
    for (const auto& [name, bytes] : kProgram) {
        std::filesystem::create_directories(std::filesystem::path(Path("fold/" + name)).parent_path());
        Write(Path("fold/" + name), bytes);
    }
    Write(Path("both.po"), cltest::Catalogue({{"Hello there", "你好"}, {"Open a file", "打开文件"}}));
    Write(Path("none.po"), cltest::Catalogue({{"Unrelated text", "无关的文本"}}));

    const std::string messages = FileLine("app/Messages", "app/Messages_zh_CN.properties", false, kExact);
    const std::string menu = FileLine("lang/*/menu.properties", "lang/zh/menu.properties", false, kFallback);
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string summary;  // "" when no bundle is written
    } cases[] = {
        {"a jar", {"apply", Path("app.jar"), Path("both.po"), Path("out1.jar")},
         "资源包译文 2 条，写入 2 个文件：" + messages + menu.substr(1)},
        {"a folder in place", {"apply", "--in-place", Path("fold"), Path("both.po")},
         "资源包译文 2 条，写入 2 个文件：" + messages + menu.substr(1)},
        {"the variants named", {"apply", "--bundles", "variant", Path("app.jar"), Path("both.po"), Path("out2.jar")},
         "资源包译文 2 条，写入 2 个文件：" + messages + menu.substr(1)},
        {"a program shipping zh", {"apply", Path("zh.jar"), Path("both.po"), Path("out3.jar")},
         "资源包译文 2 条，写入 2 个文件：" +
             FileLine("app/Messages", "app/Messages_zh.properties", true, kFallback) + menu.substr(1)},
        {"into the sources", {"apply", Path("app.jar"), "--bundles", "base", Path("both.po"), Path("out4.jar")},
         "资源包译文 2 条，写入 2 个文件：" + FileLine("app/Messages", "app/Messages.properties", true, kBase) +
             FileLine("lang/*/menu.properties", "lang/en/menu.properties", true, kOtherLanguage).substr(1)},
        {"into the sources, beside zh", {"apply", "--bundles", "base", Path("zh.jar"), Path("both.po"), Path("out5.jar")},
         "资源包译文 2 条，写入 2 个文件：" +
             FileLine("app/Messages", "app/Messages.properties", true,
                      "读不到其中 1 条：程序自带的“app/Messages_zh.properties”先被读到，其中这些键仍是原来的值。") +
             FileLine("lang/*/menu.properties", "lang/en/menu.properties", true, kOtherLanguage).substr(1)},
        {"nothing of a bundle translated", {"apply", Path("app.jar"), Path("none.po"), Path("none.jar")}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto run = Run(c.args);
        ASSERT_EQ(run.status, 0) << run.err;
        if (c.summary.empty()) {
            EXPECT_EQ(run.err.find("资源包译文"), std::string::npos) << run.err;
            continue;
        }
        EXPECT_NE(run.err.find("\n" + c.summary), std::string::npos) << run.err;
    }
    EXPECT_EQ(Read(Path("fold/lang/zh/menu.properties")), "file.open=\\u6253\\u5F00\\u6587\\u4EF6\n");
    // The sources hold the translations, in their order, and no variant was added.
    const cltest::LibzipView base = cltest::ReadWithLibzip(Read(Path("out4.jar")));
    ASSERT_EQ(base.error, "");
    EXPECT_EQ(base.contents.at("app/Messages.properties"), "greeting=\\u4F60\\u597D\nopen.mnemonic=O\nmulti\\tkey=Two\\nlines\n");
    EXPECT_EQ(base.contents.at("lang/en/menu.properties"), "file.open=\\u6253\\u5F00\\u6587\\u4EF6\n");
    EXPECT_EQ(base.names.size(), kProgram.size());
    // The program's zh file keeps its own key, and gains the source's it lacked.
    const cltest::LibzipView zh = cltest::ReadWithLibzip(Read(Path("out3.jar")));
    EXPECT_EQ(zh.contents.at("app/Messages_zh.properties"),
              "greeting=\\u4F60\\u597D\nold=Kept\nopen.mnemonic=O\nmulti\\tkey=Two\\nlines\n");
    EXPECT_EQ(zh.contents.count("app/Messages_zh_CN.properties"), 0u);
}

// A program whose English texts lie in one jar and its other languages in another (as Freeplane
// keeps them), packed by the JDK: the family is offered, its own Chinese gives the start, and the
// translation goes into the jar a run reads the language from, or beside the English file when
// no jar has the language; the program then shows it.
TEST_F(CliBundles, AFamilySplitOverTwoJarsIsOneAndARunShowsItsTranslation)
{
    CLTEST_REQUIRE_TOOL("jar", std::string(CLASSLINGO_JAR));
    CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
    CLTEST_REQUIRE_TOOL("java", CLASSLINGO_JAVA);
    std::filesystem::create_directories(Path("viewer/tr"));
    std::filesystem::create_directories(Path("editor/tr"));
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "Main",
                                  "package app;\n"
                                  "import java.util.*;\n"
                                  "public class Main { public static void main(String[] a) {\n"
                                  "  ResourceBundle r = ResourceBundle.getBundle(\"tr.Res\", new Locale(\"zh\", \"CN\"));\n"
                                  "  System.out.println(new javax.swing.JLabel(r.getString(\"greeting\")).getText());\n"
                                  "  System.out.println(new javax.swing.JLabel(r.getString(\"farewell\")).getText()); } }\n",
                                  Path("viewer")),
              "");
    Write(Path("viewer/tr/Res_en.properties"), "greeting=Hello there\nfarewell=See you later\ntitle=Main window\n");
    Write(Path("editor/tr/Res_de.properties"), "greeting=Hallo du\nfarewell=Bis bald\ntitle=Hauptfenster\n");
    const std::string ownZh = "# translated by the program's own team\nfarewell=\\u56DE\\u5934\\u89C1\nold=Kept\n";
    auto pack = [&](const std::string& jar, const std::string& folder) {
        std::string said;
        const int status = cltest::RunCommand(cltest::ShellQuoted(CLASSLINGO_JAR) + " cf " + cltest::ShellQuoted(jar) +
                                                  " -C " + cltest::ShellQuoted(folder) + " . 2>&1",
                                              said);
        return status == 0 ? std::string() : said;
    };
    std::filesystem::create_directories(Path("withzh/lib"));
    std::filesystem::create_directories(Path("nozh/lib"));
    ASSERT_EQ(pack(Path("withzh/lib/viewer.jar"), Path("viewer")), "");
    ASSERT_EQ(pack(Path("nozh/lib/viewer.jar"), Path("viewer")), "");
    ASSERT_EQ(pack(Path("nozh/lib/editor.jar"), Path("editor")), "");
    Write(Path("editor/tr/Res_zh_CN.properties"), ownZh);
    ASSERT_EQ(pack(Path("withzh/lib/editor.jar"), Path("editor")), "");
    Write(Path("app.po"), cltest::Catalogue({{"Hello there", "你好"}}));

    const struct {
        const char* what;
        std::string program;
        std::size_t filled;      // texts the program's own Chinese starts
        std::string written;     // the summary's line for the family
        std::string farewell;    // what the translated program shows for the untranslated key
    } cases[] = {
        {"the other jar holds the language", "withzh", 1,
         FileLine("lib/viewer.jar!/tr/Res", "lib/editor.jar!/tr/Res_zh_CN.properties", true, kExact), "回头见"},
        {"no jar holds the language", "nozh", 0,
         FileLine("lib/viewer.jar!/tr/Res", "lib/viewer.jar!/tr/Res_zh_CN.properties", false, kExact),
         "See you later"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string in = Path(c.program);
        const auto extract = Run({"extract", in, Path(c.program + ".po")});
        ASSERT_EQ(extract.status, 0) << extract.err;
        EXPECT_EQ(extract.err.find("既没有基础文件也没有英文文件"), std::string::npos) << extract.err;
        EXPECT_NE(extract.err.find("资源包 1 组（文本 3 条，其中 " + std::to_string(c.filled) + " 条用程序自带的译文填入"),
                  std::string::npos)
            << extract.err;
        const std::string po = Read(Path(c.program + ".po"));
        EXPECT_NE(po.find("#: lib/viewer.jar!/tr/Res_en.properties:greeting\nmsgid \"Hello there\"\nmsgstr \"\""),
                  std::string::npos)
            << po;
        if (c.filled > 0) {
            EXPECT_NE(po.find("msgid \"See you later\"\nmsgstr \"回头见\""), std::string::npos) << po;
        }

        const std::string out = Path(c.program + "-zh");
        const auto apply = Run({"apply", in, Path("app.po"), out});
        ASSERT_EQ(apply.status, 0) << apply.err;
        EXPECT_NE(apply.err.find("资源包译文 1 条，写入 1 个文件：" + c.written), std::string::npos) << apply.err;

        const cltest::LibzipView viewer = cltest::ReadWithLibzip(Read(out + "/lib/viewer.jar"));
        const cltest::LibzipView editor = cltest::ReadWithLibzip(Read(out + "/lib/editor.jar"));
        ASSERT_EQ(viewer.error, "");
        ASSERT_EQ(editor.error, "");
        // The other languages are as they were; the program's own Chinese keeps its comment and
        // its key, and gains the English keys it lacked.
        EXPECT_EQ(editor.contents.at("tr/Res_de.properties"), "greeting=Hallo du\nfarewell=Bis bald\ntitle=Hauptfenster\n");
        if (c.filled > 0) {
            EXPECT_EQ(editor.contents.at("tr/Res_zh_CN.properties"),
                      "# translated by the program's own team\nfarewell=\\u56DE\\u5934\\u89C1\nold=Kept\n"
                      "greeting=\\u4F60\\u597D\ntitle=Main window\n");
            EXPECT_EQ(viewer.contents.count("tr/Res_zh_CN.properties"), 0u);
        } else {
            EXPECT_EQ(viewer.contents.at("tr/Res_zh_CN.properties"),
                      "greeting=\\u4F60\\u597D\nfarewell=See you later\ntitle=Main window\n");
            EXPECT_EQ(editor.contents.count("tr/Res_zh_CN.properties"), 0u);
        }
        const cltest::JavaRun run = cltest::RunJava(out + "/lib/viewer.jar:" + out + "/lib/editor.jar", "app.Main");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "你好\n" + c.farewell + "\n");
    }
}

TEST_F(CliBundles, BundlesTakesVariantOrBase)
{
    Write(Path("app.jar"), Jar(kProgram));
    Write(Path("both.po"), cltest::Catalogue({{"Hello there", "你好"}}));
    const struct {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"apply", "--bundles", "sources", Path("app.jar"), Path("both.po"), Path("out.jar")},
         "--bundles 只能是 variant 或 base：sources"},
        {{"apply", Path("app.jar"), Path("both.po"), Path("out.jar"), "--bundles"}, "--bundles 后面缺少 variant 或 base"},
        {{"apply", "--bundles", "", Path("app.jar"), Path("both.po"), Path("out.jar")},
         "--bundles 后面缺少 variant 或 base"},
        {{"extract", "--bundles", "base", Path("app.jar"), Path("out.po")}, "未知的选项：--bundles"},
    };
    for (const auto& c : cases) {
        const auto run = Run(c.args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(run.err.rfind(c.said + "\n", 0), 0u) << run.err;
        EXPECT_FALSE(std::filesystem::exists(Path("out.jar")));
    }
    const auto help = Run({"apply", "--help"});
    EXPECT_NE(help.out.find("[--bundles variant|base]"), std::string::npos) << help.out;
}

// In place, the sources' originals are kept as every file's are, and a later run in place that
// writes the variant instead gives the source its original back.
TEST_F(CliBundles, BaseInPlaceKeepsTheSourcesOriginal)
{
    Write(Path("app.po"), cltest::Catalogue({{"Hello there", "你好"}}));
    const std::string source = "greeting=Hello there\nopen.mnemonic=O\nmulti\\tkey=Two\\nlines\n";
    for (const bool folder : {true, false}) {
        SCOPED_TRACE(folder ? "a folder" : "a jar");
        std::filesystem::remove_all(Path("prog"));
        std::filesystem::remove_all(Path("prog.bak"));
        std::filesystem::remove(Path(".prog.classlingo"));
        if (folder) {
            for (const auto& [name, bytes] : kProgram) {
                std::filesystem::create_directories(std::filesystem::path(Path("prog/" + name)).parent_path());
                Write(Path("prog/" + name), bytes);
            }
        } else {
            Write(Path("prog"), Jar(kProgram));
        }
        const std::string original = folder ? std::string() : Read(Path("prog"));
        auto sourceNow = [&] {
            return folder ? Read(Path("prog/app/Messages.properties"))
                          : cltest::ReadWithLibzip(Read(Path("prog"))).contents["app/Messages.properties"];
        };

        const auto base = Run({"apply", "--in-place", "--bundles", "base", Path("prog"), Path("app.po")});
        ASSERT_EQ(base.status, 0) << base.err;
        EXPECT_EQ(sourceNow(), "greeting=\\u4F60\\u597D\nopen.mnemonic=O\nmulti\\tkey=Two\\nlines\n");
        if (folder) {
            EXPECT_EQ(Read(Path("prog.bak/app/Messages.properties")), source);
        } else {
            EXPECT_EQ(Read(Path("prog.bak")), original);
        }

        const auto variant = Run({"apply", "--in-place", Path("prog"), Path("app.po")});
        ASSERT_EQ(variant.status, 0) << variant.err;
        EXPECT_EQ(sourceNow(), source) << "the source is the original again";
        if (folder) {
            EXPECT_EQ(Read(Path("prog/app/Messages_zh_CN.properties")), "greeting=\\u4F60\\u597D\nopen.mnemonic=O\nmulti\\tkey=Two\\nlines\n");
            EXPECT_NE(variant.err.find("这次不再改动的 1 个文件已恢复为原文件。"), std::string::npos) << variant.err;
        } else {
            EXPECT_EQ(cltest::ReadWithLibzip(Read(Path("prog"))).contents.count("app/Messages_zh_CN.properties"), 1u);
            EXPECT_EQ(Read(Path("prog.bak")), original) << "the backup stays the original";
        }
    }
}

// A value of one letter is a unit or a compass point the program shows ("m", "N") as often as a
// code it reads (a mnemonic's letter, a flag): it is offered where a lookup is seen to show it,
// and kept where one reads it or none is seen.
TEST_F(CliBundles, AOneLetterValueIsOfferedOnlyWhereALookupShowsIt)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "Compass",
                                  "import java.util.ResourceBundle;\n"
                                  "public class Compass {\n"
                                  "    public static void main(String[] args) {\n"
                                  "        ResourceBundle b = ResourceBundle.getBundle(\"Texts\");\n"
                                  "        System.out.println(b.getString(\"north\") + \" \" + b.getString(\"title\"));\n"
                                  "        System.out.println(Character.isLetter(b.getString(\"flag\").charAt(0)));\n"
                                  "    }\n"
                                  "}\n",
                                  Path("in")),
              "");
    Write(Path("in/Texts.properties"), "north=N\ntitle=Compass rose\nflag=Q\nunused=U\n");
    const auto extract = Run({"extract", Path("in"), Path("zh.po")});
    ASSERT_EQ(extract.status, 0) << extract.err;
    const std::string po = Read(Path("zh.po"));
    EXPECT_NE(po.find("msgid \"N\""), std::string::npos) << po;
    EXPECT_NE(po.find("msgid \"Compass rose\""), std::string::npos) << po;
    for (const char* kept : {"msgid \"Q\"", "msgid \"U\""})
        EXPECT_EQ(po.find(kept), std::string::npos) << kept << "\n" << po;
}

}  // namespace
