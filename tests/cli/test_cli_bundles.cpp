// Resource bundles on the command line: strings lists each offered value as FILE, KEY, "bundle",
// "-" and the text; a bundle Java would refuse is named on stderr while the rest is listed,
// extracted and applied, with exit status 3; apply's summary names the variants it wrote.

#include "CliFixture.h"
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

TEST_F(CliBundles, ApplySummaryNamesTheVariantsWritten)
{
    Write(Path("app.jar"), Jar(kProgram));
    for (const auto& [name, bytes] : kProgram) {
        std::filesystem::create_directories(std::filesystem::path(Path("fold/" + name)).parent_path());
        Write(Path("fold/" + name), bytes);
    }
    Write(Path("both.po"), cltest::Catalogue({{"Hello there", "你好"}, {"Open a file", "打开文件"}}));
    Write(Path("none.po"), cltest::Catalogue({{"Unrelated text", "无关的文本"}}));

    const struct {
        const char* what;
        std::vector<std::string> args;
        std::vector<std::string> variants;  // named in the summary, in order
    } cases[] = {
        {"a jar", {"apply", Path("app.jar"), Path("both.po"), Path("out.jar")},
         {"app/Messages_zh_CN.properties", "lang/zh/menu.properties"}},
        {"a folder in place", {"apply", "--in-place", Path("fold"), Path("both.po")},
         {"app/Messages_zh_CN.properties", "lang/zh/menu.properties"}},
        {"nothing of a bundle translated", {"apply", Path("app.jar"), Path("none.po"), Path("none.jar")}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto run = Run(c.args);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::size_t said = run.err.find("资源包译文 " + std::to_string(c.variants.size()) + " 条，写入 " +
                                              std::to_string(c.variants.size()) + " 个语言文件：");
        if (c.variants.empty()) {
            EXPECT_EQ(run.err.find("资源包译文"), std::string::npos) << run.err;
            continue;
        }
        ASSERT_NE(said, std::string::npos) << run.err;
        std::string names;
        for (const std::string& variant : c.variants)
            names += (names.empty() ? "" : "、") + variant;
        EXPECT_NE(run.err.find("个语言文件：" + names + "。", said), std::string::npos) << run.err;
    }
    EXPECT_EQ(Read(Path("fold/lang/zh/menu.properties")), "file.open=\\u6253\\u5F00\\u6587\\u4EF6\n");
}

}  // namespace
