// extract, apply and strings through RunCli: exit statuses, what stays on disk when a write
// fails, and the refusals that protect the input.

#include "CliFixture.h"
#include "Java.h"
#include "FailingFileSystem.h"
#include "FileState.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>
#include <vector>

namespace {

using cltest::CliFixture;
using cltest::FailStep;
using cltest::FileState;

class ProgramCommands : public CliFixture {
protected:
    void SetUp() override
    {
        CliFixture::SetUp();
        CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
        ASSERT_EQ(cltest::CompileJava(dir_.string(), "Hi",
                                      "public class Hi { public static void main(String[] a) {"
                                      " System.out.println(\"Hello\"); System.out.println(\"Bye \" + a.length);"
                                      " System.out.println(System.getProperty(\"user.name\")); } }\n",
                                      Path("in")),
                  "");
        Write(Path("zh.po"), "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                             "msgid \"Hello\"\nmsgstr \"你好\"\n\nmsgid \"Bye {0}\"\nmsgstr \"再见 {0}\"\n");
    }
};

TEST_F(ProgramCommands, ExtractListsLiteralsAndRecipesWithReferences)
{
    const auto run = Run({"extract", "--language", "ja", Path("in"), Path("out.po")});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string po = Read(Path("out.po"));
    EXPECT_NE(po.find("#: Hi.class:"), std::string::npos) << po;
    EXPECT_NE(po.find("msgid \"Hello\"\nmsgstr \"\""), std::string::npos) << po;
    EXPECT_NE(po.find("msgid \"Bye {0}\""), std::string::npos) << po;
    EXPECT_NE(po.find("\"Language: ja\\n\""), std::string::npos) << po;
}

TEST_F(ProgramCommands, ExtractWithholdsWhatTheProgramReadsUnlessAllIsAsked)
{
    // Each entry's note names its use; a withheld one, once asked for, also why it was withheld.
    const struct {
        std::vector<std::string> options;
        bool keyOffered;
    } cases[] = {{{}, false}, {{"--all"}, true}};
    for (const auto& c : cases) {
        std::vector<std::string> args{"extract"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {Path("in"), Path("out.po")});
        const auto run = Run(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string po = Read(Path("out.po"));
        EXPECT_NE(po.find("#. 用途：消息（java/io/PrintStream.println）\n#: Hi.class:"), std::string::npos) << po;
        const std::size_t key = po.find("msgid \"user.name\"");
        EXPECT_EQ(key != std::string::npos, c.keyOffered) << po;
        if (c.keyOffered) {
            EXPECT_NE(po.find("#. 用途：键（java/lang/System.getProperty）\n#. 不提供翻译"), std::string::npos) << po;
            EXPECT_NE(po.find("#. Hi.main：键（java/lang/System.getProperty）"), std::string::npos) << po;
        }
    }
    // What the catalogue holds is written, whatever extract offered.
    Write(Path("key.po"), "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                          "msgid \"user.name\"\nmsgstr \"user.home\"\n");
    ASSERT_EQ(Run({"apply", Path("in"), Path("key.po"), Path("out")}).status, 0);
    EXPECT_NE(Run({"strings", Path("out")}).out.find("\tliteral\tkey\tuser.home\n"), std::string::npos);
}

TEST_F(ProgramCommands, ExtractSummaryCountsWithheldTextsPerReason)
{
    // A program reading names, a pattern and properties, with a bundle of texts (one value an
    // icon's path) and a family of settings that the code names one key of; packed by the JDK.
    CLTEST_REQUIRE_TOOL("jar", std::string(CLASSLINGO_JAR));
    std::filesystem::create_directories(Path("bin/app"));
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "App",
                                  "package app;\n"
                                  "import java.util.ResourceBundle;\n"
                                  "public class App { public static void main(String[] a) throws Exception {\n"
                                  "  new javax.swing.JLabel(ResourceBundle.getBundle(\"app.Messages\").getString(\"greeting\"));\n"
                                  "  new javax.swing.JFrame(ResourceBundle.getBundle(\"app.Look\").getString(\"look.title\"));\n"
                                  "  Class.forName(\"java.util.ArrayList\");\n"
                                  "  java.util.regex.Pattern.compile(\"[a-z]+ words\");\n"
                                  "  System.getProperty(\"user.home\"); System.getProperty(\"user.name\"); } }\n",
                                  Path("bin")),
              "");
    Write(Path("bin/app/Messages.properties"), "greeting=Hello there\napp.icon=icons/open.png\nfile.open=Open a file\n");
    Write(Path("bin/app/Look.properties"),
          "look.background=#BBBBBB\nlook.icon=icons/a.png\nlook.size=10px\nlook.title=Main window title\n");
    std::string said;
    ASSERT_EQ(cltest::RunCommand(cltest::ShellQuoted(CLASSLINGO_JAR) + " cf " + cltest::ShellQuoted(Path("app.jar")) +
                                     " -C " + cltest::ShellQuoted(Path("bin")) + " . 2>&1",
                                 said),
              0)
        << said;
    const struct {
        const char* what;
        std::string input;
        std::string line;  // the summary's line of withheld texts
    } cases[] = {
        {"one property read", Path("in"), "程序读取而不提供翻译的文本 1 条（键 1 条；--all 会一并列出，并注明用途）。"},
        {"every reason but data read by code", Path("app.jar"),
         "程序读取而不提供翻译的文本 10 条（键 2 条，名称 3 条，模式 1 条，按形状判断为数据 1 条，设置类资源包 3 条；"
         "--all 会一并列出，并注明用途）。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto run = Run({"extract", c.input, Path("out.po")});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("\n" + c.line + "\n"), std::string::npos) << run.err;
    }
}

TEST_F(ProgramCommands, ApplyToAFolderThenStringsShowsTheTranslations)
{
    const auto apply = Run({"apply", Path("in"), Path("zh.po"), Path("out")});
    ASSERT_EQ(apply.status, 0) << apply.err;
    const auto strings = Run({"strings", Path("out")});
    ASSERT_EQ(strings.status, 0) << strings.err;
    EXPECT_NE(strings.out.find("Hi.class\t"), std::string::npos);
    EXPECT_NE(strings.out.find("\tliteral\tmessage\t你好\n"), std::string::npos) << strings.out;
    EXPECT_NE(strings.out.find("\trecipe\tmessage\t再见 {0}\n"), std::string::npos) << strings.out;
    EXPECT_EQ(Run({"strings", Path("in")}).out.find("你好"), std::string::npos) << "the input changed";
}

TEST_F(ProgramCommands, UsageAndRefusals)
{
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"extract", Path("in")}, 2},
        {{"apply", Path("in"), Path("zh.po")}, 2},
        {{"apply", "--in-place", Path("in"), Path("zh.po"), Path("x")}, 2},
        {{"strings", "--bogus", Path("in")}, 2},
        {{"apply", Path("in/Hi.class"), Path("zh.po"), Path("in/Hi.class")}, 1},  // OUTPUT is INPUT
        {{"apply", Path("in"), Path("zh.po"), Path("in")}, 1},
        {{"extract", Path("missing.jar"), Path("x.po")}, 1},
        {{"extract", Path("zh.po"), Path("x.po")}, 1},  // no program
        {{"apply", Path("in"), Path("missing.po"), Path("out")}, 1},
    };
    for (const auto& c : cases) {
        const FileState before = FileState::Of(Path("in/Hi.class"));
        const auto run = Run(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << " " << c.args.back() << "\n" << run.err;
        EXPECT_FALSE(run.err.empty());
        EXPECT_EQ(FileState::Of(Path("in/Hi.class")), before);
    }
}

TEST_F(ProgramCommands, BadCatalogueNamesTheLineAndWritesNothing)
{
    Write(Path("bad.po"), "msgid \"Hello\"\nmsgstr \"x\"\nnonsense\n");
    Write(Path("slots.po"), "msgid \"Bye {0}\"\nmsgstr \"再见\"\n");
    for (const char* po : {"bad.po", "slots.po"}) {
        const auto run = Run({"apply", Path("in/Hi.class"), Path(po), Path("out.class")});
        EXPECT_EQ(run.status, 1) << po;
        EXPECT_FALSE(FileState::Of(Path("out.class")).exists) << po;
        EXPECT_NE(run.err.find(std::string(po) == "bad.po" ? "第 3 行" : "Bye {0}"), std::string::npos) << run.err;
    }
}

TEST_F(ProgramCommands, FailedWriteLeavesInputAndExistingOutput)
{
    Write(Path("out.class"), "old output");
    Write(Path("old.po"), "old catalogue");
    const FileState inputBefore = FileState::Of(Path("in/Hi.class"));
    for (const FailStep step : {FailStep::Create, FailStep::HalfWrite, FailStep::Flush, FailStep::Rename}) {
        for (const bool extract : {false, true}) {
            cltest::FailingFileSystem fs;
            fs.FailAt(step);
            const std::string target = extract ? "old.po" : "out.class";
            const FileState before = FileState::Of(Path(target));
            const auto run = extract ? Run({"extract", Path("in/Hi.class"), Path("old.po")}, fs)
                                     : Run({"apply", Path("in/Hi.class"), Path("zh.po"), Path("out.class")}, fs);
            EXPECT_TRUE(fs.Injected()) << static_cast<int>(step);
            EXPECT_EQ(run.status, 1) << static_cast<int>(step) << run.err;
            EXPECT_EQ(FileState::Of(Path(target)), before) << static_cast<int>(step);
            EXPECT_EQ(FileState::Of(Path("in/Hi.class")), inputBefore);
        }
    }
}

TEST_F(ProgramCommands, InPlaceKeepsTheOldClassAsBackup)
{
    const std::string original = Read(Path("in/Hi.class"));
    const auto run = Run({"apply", "--in-place", Path("in/Hi.class"), Path("zh.po")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(Path("in/Hi.class.bak")), original);
    EXPECT_NE(Read(Path("in/Hi.class")), original);
}

}  // namespace
