// apply never costs the user what they had: run twice in place it keeps the first original and
// writes nothing when nothing changes; it never writes over its catalogue, whatever name leads
// there; a folder it makes keeps every file's mode and time and every link; a backup in the way
// is named as such; one bad translation keeps the whole catalogue out; an entry with a context
// stays out of places without one; and annotation values are translated only when asked, with
// the program showing exactly what was translated.

#include "CliFixture.h"
#include "ErrorText.h"
#include "FileState.h"
#include "Java.h"
#include "ProgramText.h"
#include "SamplePrograms.h"
#include "TreeState.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using cltest::CliFixture;
using cltest::FileState;
using cltest::TreeState;

std::string Quoted(const std::string& text)
{
    return "“" + text + "”";
}

class ApplySafety : public CliFixture {
protected:
    void SetUp() override
    {
        CliFixture::SetUp();
        Write(Path("first.po"), cltest::Catalogue({{"Hello", "你好"}}));
        Write(Path("again.po"), cltest::Catalogue({{"Hello", "您好"}, {"Bye", "再见"}}));
        Write(Path("outside.txt"), "outside secret\n");
    }

    // The listing of `strings`: the texts of the program, one a line.
    std::string Strings(const std::string& program)
    {
        const auto run = Run({"strings", program});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out;
    }
};

TEST_F(ApplySafety, InPlaceTwiceKeepsTheFirstOriginal)
{
    const struct {
        const char* input;
        std::string madeText;  // what the first run says of the backup
    } cases[] = {
        {"app.jar", "原程序保留为" + Quoted(Path("app.jar.bak")) + "。"},
        {"Main.class", "原程序保留为" + Quoted(Path("Main.class.bak")) + "。"},
        {"fold", "改动的原文件保留在" + Quoted(Path("fold.bak")) + "中。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const std::string input = Path(c.input);
        const std::string backup = input + ".bak";
        if (std::string(c.input) == "fold")
            cltest::MakeSampleFolder(input, Path("outside.txt"));
        else
            Write(input, std::string(c.input) == "app.jar" ? cltest::SampleJar() : cltest::MainClass());
        const TreeState original = TreeState::Of(input);

        auto first = Run({"apply", "--in-place", input, Path("first.po")});
        ASSERT_EQ(first.status, 0) << first.err;
        EXPECT_NE(first.err.find(c.madeText), std::string::npos) << first.err;
        EXPECT_NE(Strings(input).find("你好"), std::string::npos);
        if (std::string(c.input) == "fold")
            Write(backup + "/notes.txt", "the user's own\n");
        const TreeState translated = TreeState::Of(input);
        const TreeState kept = TreeState::Of(backup);

        // Nothing left to change: nothing is written, and the run says so.
        auto second = Run({"apply", "--in-place", input, Path("first.po")});
        ASSERT_EQ(second.status, 0) << second.err;
        EXPECT_NE(second.err.find(cltext::NothingChangedText()), std::string::npos) << second.err;
        EXPECT_EQ(TreeState::Of(input), translated);
        EXPECT_EQ(TreeState::Of(backup), kept);

        // An updated catalogue: the program is translated again from the original the backup
        // holds, the backup is kept, and the run says both.
        auto third = Run({"apply", "--in-place", input, Path("again.po")});
        ASSERT_EQ(third.status, 0) << third.err;
        EXPECT_NE(third.err.find("备份" + Quoted(backup) + "已存在"), std::string::npos) << third.err;
        EXPECT_NE(third.err.find("上次就地翻译的结果"), std::string::npos) << third.err;
        EXPECT_NE(Strings(input).find("您好"), std::string::npos);
        EXPECT_EQ(Strings(input).find("你好"), std::string::npos) << "the first catalogue's text is left";
        if (std::string(c.input) == "fold") {
            EXPECT_EQ(TreeState::Of(backup).items.at("app/Main.class"), kept.items.at("app/Main.class"));
            EXPECT_EQ(TreeState::Of(backup).items.at("notes.txt"), kept.items.at("notes.txt"));
            EXPECT_EQ(Read(backup + "/app/lib/Other.class"), cltest::OtherClass());
        } else {
            EXPECT_EQ(TreeState::Of(backup), kept);
            EXPECT_EQ(Read(backup), original.items.at(".").state.bytes);
        }
    }
}

TEST_F(ApplySafety, TheCatalogueIsNeverTheOutput)
{
    Write(Path("app.jar"), cltest::SampleJar());
    Write(Path("app_zh.po"), cltest::Catalogue({{"Hello", "你好"}}));
    std::filesystem::create_symlink(Path("app_zh.po"), Path("catalogue-link.jar"));
    std::filesystem::create_symlink(Path("app.jar"), Path("program-link.jar"));
    const TreeState before = TreeState::Of(dir_.string());
    const struct {
        std::vector<std::string> args;
        bool inPlaceHint;
    } cases[] = {
        {{"apply", Path("app.jar"), Path("app_zh.po"), Path("app_zh.po")}, false},
        {{"apply", Path("app.jar"), Path("app_zh.po"), Path("catalogue-link.jar")}, false},
        {{"apply", Path("app.jar"), Path("app_zh.po"), Path("program-link.jar")}, true},
        {{"apply", Path("app.jar"), Path("catalogue-link.jar"), Path("app_zh.po")}, false},
        {{"extract", Path("app.jar"), Path("program-link.jar")}, false},
    };
    for (const auto& c : cases) {
        const auto run = Run(c.args);
        EXPECT_EQ(run.status, 1) << c.args.back() << "\n" << run.err;
        EXPECT_NE(run.err.find("就是输入本身"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("--in-place") != std::string::npos, c.inPlaceHint) << run.err;
        EXPECT_EQ(TreeState::Of(dir_.string()), before) << c.args.back();
    }
}

TEST_F(ApplySafety, ANewFolderKeepsModesTimesAndLinks)
{
    const std::string fold = Path("fold");
    cltest::MakeSampleFolder(fold, Path("outside.txt"));
    const TreeState input = TreeState::Of(fold).WithoutIdentity();
    const auto run = Run({"apply", fold, Path("first.po"), Path("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    const TreeState out = TreeState::Of(Path("out")).WithoutIdentity();
    ASSERT_EQ(out.Names(), input.Names());
    for (const auto& [name, item] : input.items) {
        if (name != "app/Main.class") {
            EXPECT_EQ(out.items.at(name), item) << name;
        }
    }
    EXPECT_EQ(out.items.at("run.sh").state.mode, 0755u);
    EXPECT_EQ(out.items.at("hostname").type, 'l');
    EXPECT_EQ(out.items.at("lib-link").type, 'l');
    EXPECT_EQ(out.items.at("dangling").link, "nowhere");
    EXPECT_NE(Strings(Path("out")).find("你好"), std::string::npos);
}

TEST_F(ApplySafety, ABackupInTheWayIsKeptAndTheNumberedOneNamed)
{
    Write(Path("app.jar"), cltest::SampleJar());
    std::filesystem::create_directory(Path("app.jar.bak"));
    Write(Path("app.jar.bak/keep.txt"), "the user's\n");
    const TreeState before = TreeState::Of(Path("app.jar.bak"));
    const auto run = Run({"apply", "--in-place", Path("app.jar"), Path("first.po")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("这次的原程序保留为" + Quoted(Path("app.jar.bak.2"))), std::string::npos) << run.err;
    EXPECT_EQ(TreeState::Of(Path("app.jar.bak")), before);
    EXPECT_EQ(Read(Path("app.jar.bak.2")), cltest::SampleJar());
}

TEST_F(ApplySafety, OneBadTranslationKeepsTheWholeCatalogueOut)
{
    Write(Path("Two.class"), cltest::ClassOffering("Two", {"Hello", "Bye"}));
    Write(Path("bad.po"), cltest::Catalogue({{"Hello", "你好"}, {"Bye", std::string(65536, 'x')}}));
    const TreeState before = TreeState::Of(dir_.string());
    for (const bool inPlace : {false, true}) {
        const auto run = inPlace ? Run({"apply", "--in-place", Path("Two.class"), Path("bad.po")})
                                 : Run({"apply", Path("Two.class"), Path("bad.po"), Path("Two_zh.class")});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("msgid “Bye”"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(cltext::NothingWrittenText()), std::string::npos) << run.err;
        EXPECT_EQ(TreeState::Of(dir_.string()), before) << (inPlace ? "in place" : "new output");
    }
}

TEST_F(ApplySafety, AnEntryWithAContextStaysOutOfPlacesWithout)
{
    Write(Path("Main.class"), cltest::MainClass());
    Write(Path("both.po"), cltest::Catalogue({{"Hello", "你好"}, {"menu\x04Hello", "菜单"}}));
    Write(Path("context.po"), cltest::Catalogue({{"menu\x04Hello", "菜单"}}));
    auto run = Run({"apply", Path("Main.class"), Path("both.po"), Path("both.class")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(Strings(Path("both.class")).find("\t你好\n"), std::string::npos);
    EXPECT_EQ(Strings(Path("both.class")).find("菜单"), std::string::npos);

    run = Run({"apply", Path("Main.class"), Path("context.po"), Path("context.class")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(Path("context.class")), cltest::MainClass());
    EXPECT_NE(run.err.find("程序中没有的 1 条"), std::string::npos) << run.err;
}

// A class annotation, a method annotation and a literal with one text, which javac keeps in
// one constant: the program prints all three.
TEST_F(ApplySafety, AnnotationValuesAreTranslatedOnlyWhenAsked)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    CLTEST_REQUIRE_TOOL("java", cltest::JavaPath());
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "Menu",
                                  "import java.lang.annotation.*;\n"
                                  "@Retention(RetentionPolicy.RUNTIME) @interface Label { String value(); }\n"
                                  "@Label(\"Open file\")\n"
                                  "public class Menu {\n"
                                  "    @Label(\"Open file\") public void open() {}\n"
                                  "    public static void main(String[] args) throws Exception {\n"
                                  "        System.out.println(\"Open file\");\n"
                                  "        System.out.println(Menu.class.getAnnotation(Label.class).value());\n"
                                  "        System.out.println(\n"
                                  "            Menu.class.getMethod(\"open\").getAnnotation(Label.class).value());\n"
                                  "    }\n"
                                  "}\n",
                                  Path("in")),
              "");
    Write(Path("menu.po"), cltest::Catalogue({{"Open file", "打开文件"}}));
    const cltest::JavaRun before = cltest::RunJava(Path("in"), "Menu");
    ASSERT_EQ(before.status, 0) << before.err;
    ASSERT_EQ(before.out, "Open file\nOpen file\nOpen file\n");

    const struct {
        bool annotations;
        const char* output;
        const char* printed;
    } cases[] = {
        {false, "code-only", "打开文件\nOpen file\nOpen file\n"},
        {true, "everything", "打开文件\n打开文件\n打开文件\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"apply"};
        if (c.annotations)
            args.push_back("--annotations");
        args.insert(args.end(), {Path("in"), Path("menu.po"), Path(c.output)});
        const auto run = Run(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const cltest::JavaRun shown = cltest::RunJava(Path(c.output), "Menu");
        EXPECT_EQ(shown.status, 0) << shown.err;
        EXPECT_EQ(shown.out, c.printed) << c.output;
    }
    const cltest::JavaRun untouched = cltest::RunJava(Path("in"), "Menu");
    EXPECT_EQ(untouched.out, "Open file\nOpen file\nOpen file\n");
}

}  // namespace
