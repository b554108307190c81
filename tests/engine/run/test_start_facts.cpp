// What opening a program remembers about starting it: a jar manifest's Main-Class and Class-Path,
// and the classes with a main method the launcher would accept.

#include "catalogue/ProgramSession.h"

#include "ClassFileBuilder.h"
#include "ScratchFolder.h"
#include "Java.h"
#include "ZipBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace cat = cl::catalogue;
using Names = std::vector<std::string>;

std::string ClassBytes(const std::string& name, bool withMain)
{
    cl::testing::ClassFileBuilder b(name);
    b.String("Hello from " + name);
    if (withMain)
        b.Method("main", "([Ljava/lang/String;)V");  // the builder's methods are public static
    b.Method("run", "()V");
    const std::vector<uint8_t> bytes = b.Build();
    return std::string(bytes.begin(), bytes.end());
}

class StartFacts : public cltest::ScratchFolder {
protected:
    cat::ProgramFacts Open(const std::string& path)
    {
        cat::ProgramSession session;
        const cl::Status opened = session.Open(path, {});
        EXPECT_TRUE(opened) << path;
        return session.Facts();
    }
};

TEST_F(StartFacts, AJarsManifestAndItsMainClasses)
{
    const struct {
        const char* what;
        std::string manifestName;
        std::string manifest;
        std::string mainClass;
        Names classPath;
    } cases[] = {
        {"continued, CR LF", "META-INF/MANIFEST.MF",
         "Manifest-Version: 1.0\r\nMain-Class: demo.Ap\r\n p\r\nClass-Path: lib/a.jar\r\n  lib/b.jar\r\n\r\n",
         "demo.App", {"lib/a.jar", "lib/b.jar"}},
        {"its name in another case", "meta-inf/manifest.mf", "Main-Class: demo/Tool\n", "demo.Tool", {}},
        {"no Main-Class", "META-INF/MANIFEST.MF", "Manifest-Version: 1.0\n", "", {}},
        {"no manifest", "", "", "", {}},
    };
    for (const auto& c : cases) {
        std::vector<cltest::ZipEntryPlan> entries;
        if (!c.manifestName.empty())
            entries.push_back({c.manifestName, c.manifest, false, ""});
        entries.push_back({"demo/App.class", ClassBytes("demo/App", true), false, ""});
        entries.push_back({"demo/Util.class", ClassBytes("demo/Util", false), false, ""});
        entries.push_back({"demo/Tool.class", ClassBytes("demo/Tool", true), false, ""});
        Write(Path("app.jar"), cltest::BuildZip(entries));
        const cat::ProgramFacts facts = Open(Path("app.jar"));
        EXPECT_EQ(facts.mainClass, c.mainClass) << c.what;
        EXPECT_EQ(facts.classPath, c.classPath) << c.what;
        EXPECT_EQ(facts.mainClasses, (Names{"demo.App", "demo.Tool"})) << c.what;
    }
}

TEST_F(StartFacts, OnlyWhatTheLauncherCanStart)
{
    CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
    const struct {
        const char* name;
        const char* body;
        bool starts;
    } cases[] = {
        {"Plain", "public static void main(String[] args) {}", true},
        {"Varargs", "public static void main(String... args) {}", true},
        {"Final", "public static final void main(String[] args) {}", true},
        {"Private", "private static void main(String[] args) {}", false},
        {"PackagePrivate", "static void main(String[] args) {}", false},
        {"Instance", "public void main(String[] args) {}", false},
        {"ReturnsInt", "public static int main(String[] args) { return 0; }", false},
        {"TakesOneString", "public static void main(String arg) {}", false},
        {"TakesNothing", "public static void main() {}", false},
        {"OtherName", "public static void start(String[] args) {}", false},
    };
    // One source, one javac run: each case a class of its own.
    std::string source = "package demo;\n";
    Names expected;
    for (const auto& c : cases) {
        source += std::string("class ") + c.name + " {\n    " + c.body + "\n    String text() { return \"Hi\"; }\n}\n";
        if (c.starts)
            expected.push_back(std::string("demo.") + c.name);
    }
    std::filesystem::create_directories(Path("classes"));
    Write(Path("Cases.java"), source);
    const std::string said = cltest::CompileJavaFile(Path("Cases.java"), Path("classes"));
    ASSERT_EQ(said, "") << said;
    cat::ProgramFacts facts = Open(Path("classes"));
    std::sort(facts.mainClasses.begin(), facts.mainClasses.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(facts.mainClasses, expected);
    EXPECT_EQ(facts.mainClass, "");  // a folder has no manifest to read
}

TEST_F(StartFacts, OneClassAndASnapshotKeepThem)
{
    Write(Path("App.class"), ClassBytes("demo/App", true));
    cat::ProgramSession session;
    ASSERT_TRUE(session.Open(Path("App.class"), {}));
    EXPECT_EQ(session.Facts().mainClasses, Names{"demo.App"});
    EXPECT_EQ(session.Facts().classNames, Names{"demo.App"});
    // The run generates from a snapshot, and reads the facts from the window's session.
    EXPECT_EQ(session.Snapshot().Facts().mainClasses, Names{"demo.App"});
}

}  // namespace
