// Which java a run starts, from PATH and JAVA_HOME given as values: fake java files in a scratch
// folder stand for installed ones.

#include "run/FindJava.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class FindJava : public cltest::ScratchFolder {
protected:
    // A folder `name` holding a file `java` with the permission bits `mode` (0 for no file).
    std::string Folder(const std::string& name, mode_t mode)
    {
        const std::string folder = Path(name);
        std::filesystem::create_directories(folder);
        if (mode != 0) {
            Write(folder + "/java", "#!/bin/sh\n");
            ::chmod((folder + "/java").c_str(), mode);
        }
        return folder;
    }
};

TEST_F(FindJava, TheFirstExecutableJavaOnThePathElseJavaHome)
{
    const std::string none = Folder("none", 0);
    const std::string plain = Folder("plain", 0644);  // not executable
    const std::string first = Folder("first", 0755);
    const std::string second = Folder("second", 0755);
    const std::string home = Folder("home/bin", 0755);
    const std::string javaHome = Path("home");
    std::filesystem::create_directories(Path("folder-named-java/java"));
    const std::string folderNamedJava = Path("folder-named-java");

    const struct {
        const char* what;
        std::string path;
        std::string javaHome;
        std::string found;  // empty: none
    } cases[] = {
        {"several entries, the first with one wins", none + ":" + plain + ":" + first + ":" + second, "",
         first + "/java"},
        {"PATH before JAVA_HOME", second + ":" + first, javaHome, second + "/java"},
        {"JAVA_HOME only", "", javaHome, home + "/java"},
        {"JAVA_HOME when PATH has none", none + ":" + plain, javaHome, home + "/java"},
        {"a trailing separator on JAVA_HOME", "", javaHome + "/", home + "/java"},
        {"a folder named java is no java", folderNamedJava, "", ""},
        {"empty and relative entries are skipped", "::first:./second:" + none, "", ""},
        {"a relative JAVA_HOME is skipped", "", "home", ""},
        {"none at all", "", "", ""},
        {"nothing executable", plain + ":" + none, Path("none"), ""},
    };
    // From the scratch folder, the relative entries would name folders that hold a java.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    for (const auto& c : cases) {
        const cl::Result<std::string> java = cl::run::FindJava(c.path, c.javaHome);
        if (c.found.empty()) {
            ASSERT_FALSE(java) << c.what << ": " << *java;
            EXPECT_EQ(java.error().kind, cl::ErrorKind::JavaNotFound) << c.what;
            EXPECT_EQ(java.error().path, c.javaHome) << c.what;
        } else {
            ASSERT_TRUE(java) << c.what;
            EXPECT_EQ(*java, c.found) << c.what;
        }
    }
    std::filesystem::current_path(before);
}

TEST_F(FindJava, ALinkToJavaIsFoundAsTheLink)
{
    // As /usr/bin/java is: a link through the alternatives to the real one.
    const std::string real = Folder("jdk/bin", 0755);
    std::filesystem::create_directories(Path("bin"));
    std::filesystem::create_symlink(real + "/java", Path("bin/java"));
    std::filesystem::create_directories(Path("dangling"));
    std::filesystem::create_symlink(Path("nowhere/java"), Path("dangling/java"));

    const cl::Result<std::string> java = cl::run::FindJava(Path("dangling") + ":" + Path("bin"), "");
    ASSERT_TRUE(java);
    EXPECT_EQ(*java, Path("bin/java"));
}

}  // namespace
