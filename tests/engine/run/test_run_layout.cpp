// Where a run puts the translated program, where it starts it from, and what java is told.

#include "run/RunLayout.h"

#include "ErrorOf.h"
#include "FailingFileSystem.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace cat = cl::catalogue;
using Paths = std::vector<std::string>;

cat::ProgramFacts Facts(cat::ProgramKind kind, const std::string& path, const std::string& name)
{
    cat::ProgramFacts facts;
    facts.kind = kind;
    facts.path = path;
    facts.name = name;
    return facts;
}

class RunLayout : public cltest::ScratchFolder {};

TEST_F(RunLayout, EachKindOfProgram)
{
    cat::ProgramFacts jar = Facts(cat::ProgramKind::Jar, "/home/me/app/app.jar", "app.jar");
    jar.mainClass = "demo.App";
    cat::ProgramFacts jarWithLibraries = jar;
    jarWithLibraries.classPath = {"lib/a.jar", "lib/my%20b.jar", "http://example.com/c.jar", "/opt/d.jar"};
    cat::ProgramFacts jarWithoutMain = Facts(cat::ProgramKind::Jar, "/home/me/app/app.jar", "app.jar");
    cat::ProgramFacts folder = Facts(cat::ProgramKind::Folder, "/home/me/app/classes", "classes");
    cat::ProgramFacts home = Facts(cat::ProgramKind::Folder, "/home/me/home", "home");
    cat::ProgramFacts packaged = Facts(cat::ProgramKind::Class, "/home/me/src/demo/App.class", "App.class");
    packaged.classNames = {"demo.tools.App"};
    cat::ProgramFacts unpackaged = Facts(cat::ProgramKind::Class, "/home/me/Hello.class", "Hello.class");
    unpackaged.classNames = {"Hello"};

    const std::string s = Path("run");
    const std::string p = s + "/program";
    const struct {
        const char* what;
        cat::ProgramFacts facts;
        std::string mainClass;  // what the translator chose, when it is asked for
        std::string output;
        std::string workingFolder;
        std::string jar;  // -jar this; else -cp classPath mainClass
        Paths classPath;
        std::string started;
    } cases[] = {
        {"a jar with Main-Class", jar, "", p + "/app.jar", "/home/me/app", p + "/app.jar", {}, ""},
        {"a jar with Main-Class and Class-Path", jarWithLibraries, "", p + "/app.jar", "/home/me/app", "",
         {p + "/app.jar", "/home/me/app/lib/a.jar", "/home/me/app/lib/my b.jar", "/opt/d.jar"}, "demo.App"},
        {"a jar without Main-Class", jarWithoutMain, "demo.Tool", p + "/app.jar", "/home/me/app", "",
         {p + "/app.jar"}, "demo.Tool"},
        {"a folder starts in itself", folder, "demo.App", p + "/classes", "/home/me/app/classes", "",
         {p + "/classes"}, "demo.App"},
        {"a folder named home", home, "demo.App", p + "/home", "/home/me/home", "", {p + "/home"}, "demo.App"},
        {"a class where its package says", packaged, "demo.tools.App", p + "/demo/tools/App.class", "/home/me/src/demo",
         "", {p}, "demo.tools.App"},
        {"a class of no package", unpackaged, "Hello", p + "/Hello.class", "/home/me", "", {p}, "Hello"},
    };
    for (const auto& c : cases) {
        // Each run has a scratch folder of its own, empty.
        std::filesystem::remove_all(s);
        std::filesystem::create_directories(s);
        const cl::Result<cl::run::RunLayout> layout = cl::run::PrepareRunLayout(c.facts, s);
        ASSERT_TRUE(layout) << c.what;
        EXPECT_EQ(layout->output, c.output) << c.what;
        EXPECT_EQ(layout->workingFolder, c.workingFolder) << c.what;
        // The scratch home is made, empty, beside the program and never on its class path.
        EXPECT_EQ(layout->home, s + "/home") << c.what;
        EXPECT_TRUE(std::filesystem::is_directory(layout->home)) << c.what;
        EXPECT_TRUE(std::filesystem::is_empty(layout->home)) << c.what;
        const cl::run::RunTarget target = cl::run::TargetOf(c.facts, *layout, c.mainClass);
        EXPECT_EQ(target.jar, c.jar) << c.what;
        EXPECT_EQ(target.classPath, c.classPath) << c.what;
        EXPECT_EQ(target.mainClass, c.started) << c.what;
        for (const std::string& entry : target.classPath)
            EXPECT_NE(entry.rfind(layout->home, 0), 0u) << c.what << ": " << entry;
        // The folder the program goes into is there (a class's package folders made), so that
        // the generate can write it.
        EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(c.output).parent_path())) << c.what;
        EXPECT_FALSE(std::filesystem::exists(c.output)) << c.what;
    }
}

TEST_F(RunLayout, AFolderThatCannotBeMade)
{
    cat::ProgramFacts facts = Facts(cat::ProgramKind::Class, "/home/me/App.class", "App.class");
    facts.classNames = {"demo.App"};
    // The folders are made in this order: the program's, the home, the package's.
    const struct {
        int call;
        std::string folder;
    } cases[] = {{1, "program"}, {2, "home"}, {3, "program/demo"}};
    for (const auto& c : cases) {
        std::filesystem::remove_all(Path("run"));
        std::filesystem::create_directories(Path("run"));
        cltest::FailingFileSystem fs;
        fs.FailAt(cltest::FailStep::MakeFolder, c.call, std::errc::permission_denied);
        const auto error = cltest::ErrorOf(cl::run::PrepareRunLayout(facts, Path("run"), fs));
        ASSERT_TRUE(error) << c.folder;
        EXPECT_EQ(error->kind, cl::ErrorKind::CannotMakeFolder) << c.folder;
        EXPECT_EQ(error->path, Path("run/" + c.folder));
        EXPECT_EQ(error->code, std::make_error_code(std::errc::permission_denied)) << c.folder;
    }
}

TEST(ClassPathEntry, ReadAgainstTheJarsFolder)
{
    const struct {
        std::string entry;
        std::string path;
    } cases[] = {
        {"lib/a.jar", "/opt/app/lib/a.jar"},
        {"../shared/b.jar", "/opt/app/../shared/b.jar"},
        {"classes/", "/opt/app/classes/"},
        {"my%20lib.jar", "/opt/app/my lib.jar"},
        {"%E7%A8%8B%E5%BA%8F.jar", "/opt/app/程序.jar"},
        {"100%.jar", "/opt/app/100%.jar"},
        {"/usr/share/java/x.jar", "/usr/share/java/x.jar"},
        {"file:/usr/share/java/x.jar", "/usr/share/java/x.jar"},
        {"file:///usr/share/java/x.jar", "/usr/share/java/x.jar"},
        {"FILE:lib/x.jar", "/opt/app/lib/x.jar"},
        {"http://example.com/x.jar", ""},
        {"jar:file:/x.jar!/", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cl::run::ClassPathEntryPath(c.entry, "/opt/app"), c.path) << c.entry;
}

}  // namespace
