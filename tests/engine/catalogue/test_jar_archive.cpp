#include "catalogue/JarArchive.h"

#include "ZipBytes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using cl::catalogue::JarArchive;
using cl::catalogue::JarError;

std::string Text(char c, std::size_t n)
{
    std::string text;
    for (std::size_t i = 0; i < n; ++i)
        text += static_cast<char>(c + static_cast<char>(i % 7));
    return text;
}

std::vector<cltest::ZipSpec> Specs()
{
    return {
        {"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMain-Class: demo.App\r\n\r\n", false, ""},
        {"demo/", "", false, ""},
        {"demo/App.class", Text('a', 5000), false, "app-extra"},
        {"demo/Stored.class", Text('k', 300), true, ""},
        {"demo/Other.class", Text('p', 2000), false, "other"},
        {"lib/nested.jar", "PK\3\4not really", true, ""},
    };
}

std::unique_ptr<JarArchive> OpenOrFail(const std::string& bytes)
{
    JarError why;
    auto jar = JarArchive::Open(bytes, why);
    EXPECT_TRUE(jar) << why.reason;
    return jar;
}

uint64_t IndexOf(const JarArchive& jar, const std::string& name)
{
    for (const auto& entry : jar.Entries()) {
        if (entry.name == name)
            return entry.index;
    }
    ADD_FAILURE() << name << " not found";
    return 0;
}

TEST(JarArchive, ListsAndReadsEntries)
{
    const auto jar = OpenOrFail(cltest::BuildZip(Specs()));
    ASSERT_TRUE(jar);
    ASSERT_EQ(jar->Entries().size(), Specs().size());
    for (std::size_t i = 0; i < Specs().size(); ++i) {
        const auto& entry = jar->Entries()[i];
        EXPECT_EQ(entry.name, Specs()[i].name);
        EXPECT_EQ(entry.directory, Specs()[i].name.back() == '/');
        std::string data;
        ASSERT_FALSE(jar->Read(entry.index, data));
        EXPECT_EQ(data, Specs()[i].data) << entry.name;
    }
}

TEST(JarArchive, RewriteKeepsUnchangedEntriesByteForByte)
{
    const std::string input = cltest::BuildZip(Specs());
    const auto jar = OpenOrFail(input);
    ASSERT_TRUE(jar);
    const std::string newApp = Text('A', 7000);
    const std::string newStored = "short";
    ASSERT_FALSE(jar->Replace(IndexOf(*jar, "demo/App.class"), newApp));
    ASSERT_FALSE(jar->Replace(IndexOf(*jar, "demo/Stored.class"), newStored));
    ASSERT_FALSE(jar->Remove(IndexOf(*jar, "demo/Other.class")));
    std::string output;
    ASSERT_FALSE(jar->Finish(output));

    const auto before = cltest::RawEntries(input);
    const auto after = cltest::RawEntries(output);
    ASSERT_EQ(after.size(), before.size() - 1);
    EXPECT_EQ(after.count("demo/Other.class"), 0u);
    for (const char* name : {"META-INF/MANIFEST.MF", "demo/", "lib/nested.jar"}) {
        ASSERT_EQ(after.count(name), 1u) << name;
        EXPECT_EQ(after.at(name).localHeader, before.at(name).localHeader) << name;
        EXPECT_EQ(after.at(name).compressed, before.at(name).compressed) << name;
        EXPECT_EQ(after.at(name).central, before.at(name).central) << name;
    }
    // Changed entries keep name, place, method, time and extra fields.
    for (const char* name : {"demo/App.class", "demo/Stored.class"}) {
        const auto& b = before.at(name);
        const auto& a = after.at(name);
        EXPECT_EQ(a.order, b.order - (b.order > before.at("demo/Other.class").order ? 1 : 0)) << name;
        EXPECT_EQ(cltest::Le(a.localHeader, 8, 2), cltest::Le(b.localHeader, 8, 2)) << name << " method";
        EXPECT_EQ(cltest::Le(a.localHeader, 10, 4), cltest::Le(b.localHeader, 10, 4)) << name << " DOS time";
        EXPECT_EQ(a.localHeader.substr(30), b.localHeader.substr(30)) << name << " name and extra";
    }
    const auto reread = OpenOrFail(output);
    ASSERT_TRUE(reread);
    std::string data;
    ASSERT_FALSE(reread->Read(IndexOf(*reread, "demo/App.class"), data));
    EXPECT_EQ(data, newApp);
    ASSERT_FALSE(reread->Read(IndexOf(*reread, "demo/Stored.class"), data));
    EXPECT_EQ(data, newStored);
}

TEST(JarArchive, SameChangesGiveSameBytes)
{
    const std::string input = cltest::BuildZip(Specs());
    std::string outputs[2];
    for (std::string& output : outputs) {
        const auto jar = OpenOrFail(input);
        ASSERT_TRUE(jar);
        ASSERT_FALSE(jar->Replace(IndexOf(*jar, "demo/App.class"), Text('Z', 4000)));
        ASSERT_FALSE(jar->Finish(output));
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_NE(outputs[0], input);
}

TEST(JarArchive, NothingChangedGivesTheInput)
{
    const std::string input = cltest::BuildZip(Specs());
    const auto jar = OpenOrFail(input);
    ASSERT_TRUE(jar);
    std::string output;
    ASSERT_FALSE(jar->Finish(output));
    EXPECT_EQ(output, input);
}

TEST(JarArchive, RefusesWhatIsNoArchive)
{
    const std::string good = cltest::BuildZip(Specs());
    for (const std::string& bytes : {std::string(), std::string("PK\3\4 cut"), good.substr(0, good.size() - 10),
                                     std::string("\xCA\xFE\xBA\xBE rest")}) {
        JarError why;
        EXPECT_FALSE(JarArchive::Open(bytes, why));
        EXPECT_FALSE(why.reason.empty());
    }
    EXPECT_TRUE(cl::catalogue::LooksLikeZip(good));
    EXPECT_TRUE(cl::catalogue::LooksLikeZip(std::string("PK\5\6", 4) + std::string(18, '\0')));
    EXPECT_FALSE(cl::catalogue::LooksLikeZip("\xCA\xFE\xBA\xBE"));
    EXPECT_FALSE(cl::catalogue::LooksLikeZip("PK"));
}

}  // namespace
