// A jar's manifest as the launcher reads it to start the jar.

#include "catalogue/StartFacts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Manifest, MainClassOfTheMainSection)
{
    const struct {
        const char* what;
        std::string manifest;
        std::string mainClass;
    } cases[] = {
        {"LF", "Manifest-Version: 1.0\nMain-Class: demo.App\n\n", "demo.App"},
        {"CR LF", "Manifest-Version: 1.0\r\nMain-Class: demo.App\r\nCreated-By: 17\r\n\r\n", "demo.App"},
        {"CR alone", "Manifest-Version: 1.0\rMain-Class: demo.App\r\r", "demo.App"},
        {"continued once", "Manifest-Version: 1.0\r\nMain-Class: org.example.very.long.packag\r\n e.name.App\r\n",
         "org.example.very.long.package.name.App"},
        {"continued twice, LF", "Main-Class: org.exa\n mple.Ma\n in\n", "org.example.Main"},
        {"a continued name", "Main-Cl\n ass: demo.App\n", "demo.App"},
        {"a continuation keeps its further spaces", "Main-Class: demo.\n  App\n", "demo. App"},
        {"name in another case", "MAIN-CLASS: demo.App\n", "demo.App"},
        {"slashes read as dots", "Main-Class: demo/tools/App\n", "demo.tools.App"},
        {"spaces around the value", "Main-Class:   demo.App  \n", "demo.App"},
        {"no newline at the end", "Manifest-Version: 1.0\nMain-Class: demo.App", "demo.App"},
        {"no Main-Class", "Manifest-Version: 1.0\r\nCreated-By: 17\r\n\r\n", ""},
        {"only in an entry's section", "Manifest-Version: 1.0\n\nName: demo/App.class\nMain-Class: demo.App\n", ""},
        {"after the blank line of CR LF", "Manifest-Version: 1.0\r\n\r\nMain-Class: demo.App\r\n", ""},
        {"a similar name", "Main-Classes: demo.App\nX-Main-Class: demo.Other\n", ""},
        {"a line with no colon is passed over", "garbage\nMain-Class: demo.App\n", "demo.App"},
        {"empty", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cl::catalogue::ManifestMainClass(c.manifest), c.mainClass) << c.what;
}

TEST(Manifest, ClassPathEntries)
{
    const struct {
        const char* what;
        std::string manifest;
        std::vector<std::string> entries;
    } cases[] = {
        {"one", "Class-Path: lib/a.jar\n", {"lib/a.jar"}},
        {"several, spaces between",
         "Main-Class: demo.App\r\nClass-Path: lib/a.jar  lib/b.jar lib/c%20d.jar\r\n",
         {"lib/a.jar", "lib/b.jar", "lib/c%20d.jar"}},
        {"continued inside an entry and between entries",
         "Class-Path: lib/commons-la\r\n ng3.jar \r\n lib/guava.jar\r\n",
         {"lib/commons-lang3.jar", "lib/guava.jar"}},
        {"none", "Main-Class: demo.App\n", {}},
        {"empty", "Class-Path: \n", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cl::catalogue::ManifestClassPath(c.manifest), c.entries) << c.what;
}

TEST(Manifest, AnyAttributeByName)
{
    const std::string manifest = "Manifest-Version: 1.0\nCreated-By: 17.0.15 (Debian)\nEmpty:\n";
    EXPECT_EQ(cl::catalogue::MainAttribute(manifest, "created-by"), "17.0.15 (Debian)");
    EXPECT_EQ(cl::catalogue::MainAttribute(manifest, "Empty"), "");
    EXPECT_EQ(cl::catalogue::MainAttribute(manifest, "Main-Class"), std::nullopt);
}

}  // namespace
