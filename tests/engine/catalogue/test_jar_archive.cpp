#include "catalogue/JarArchive.h"

#include "ZipBytes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

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

// Many deflated classes, more than one thread's worth, each with its own text.
std::vector<cltest::ZipSpec> ManyClasses(std::size_t count)
{
    std::vector<cltest::ZipSpec> specs;
    for (std::size_t i = 0; i < count; ++i)
        specs.push_back({"demo/C" + std::to_string(i) + ".class", Text(static_cast<char>('a' + i % 20), 500 + i * 37),
                         i % 5 == 4, ""});
    return specs;
}

std::vector<uint64_t> AllIndices(const JarArchive& jar)
{
    std::vector<uint64_t> indices;
    for (const auto& entry : jar.Entries())
        indices.push_back(entry.index);
    return indices;
}

TEST(JarArchive, ReadingManyAtOnceGivesWhatReadingOneByOneGives)
{
    std::vector<cltest::ZipSpec> specs = Specs();
    for (const cltest::ZipSpec& entry : ManyClasses(40))
        specs.push_back(entry);
    std::string input = cltest::BuildZip(specs);
    // One deflated class damaged in its compressed bytes: it must come out with the same
    // complaint as a single read makes, and its neighbours must not suffer.
    const auto raw = cltest::RawEntries(input);
    const std::string& damaged = raw.at("demo/C7.class").compressed;
    const std::size_t at = input.find(damaged);
    ASSERT_NE(at, std::string::npos);
    input[at + damaged.size() / 2] = static_cast<char>(input[at + damaged.size() / 2] ^ 0x5A);

    const auto jar = OpenOrFail(input);
    ASSERT_TRUE(jar);
    std::vector<uint64_t> indices = AllIndices(*jar);
    indices.push_back(indices[3]);  // the same entry twice
    std::vector<std::string> data;
    std::vector<std::optional<JarError>> errors;
    jar->ReadMany(indices, data, errors);
    ASSERT_EQ(data.size(), indices.size());
    ASSERT_EQ(errors.size(), indices.size());
    std::size_t failures = 0;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const std::string name = jar->Entries()[indices[i]].name;
        std::string one;
        const std::optional<JarError> error = jar->Read(indices[i], one);
        ASSERT_EQ(errors[i].has_value(), error.has_value()) << name;
        if (error) {
            ++failures;
            EXPECT_EQ(name, "demo/C7.class");
            EXPECT_EQ(errors[i]->reason, error->reason);
            continue;
        }
        EXPECT_EQ(data[i], one) << name;
    }
    EXPECT_EQ(failures, 1u);
    for (std::size_t i = 0; i < specs.size(); ++i) {
        if (specs[i].name != "demo/C7.class") {
            EXPECT_EQ(data[i], specs[i].data) << specs[i].name;
        }
    }
}

TEST(JarArchive, ManyReplacedClassesReadBackWithTheirMethodAndTime)
{
    const std::vector<cltest::ZipSpec> specs = ManyClasses(30);
    const std::string input = cltest::BuildZip(specs, 1400000000);
    const auto jar = OpenOrFail(input);
    ASSERT_TRUE(jar);
    std::vector<std::string> replacements;
    for (std::size_t i = 0; i < specs.size(); ++i) {
        replacements.push_back(i % 3 == 0 ? std::string() : Text(static_cast<char>('A' + i % 20), 900 + i * 53));
        ASSERT_FALSE(jar->Replace(IndexOf(*jar, specs[i].name), replacements.back()));
    }
    std::string output;
    ASSERT_FALSE(jar->Finish(output));

    const auto before = cltest::RawEntries(input);
    const auto after = cltest::RawEntries(output);
    const auto reread = OpenOrFail(output);
    ASSERT_TRUE(reread);
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const std::string& name = specs[i].name;
        const auto& b = before.at(name);
        const auto& a = after.at(name);
        EXPECT_EQ(a.order, b.order) << name;
        EXPECT_EQ(cltest::Le(a.localHeader, 8, 2), cltest::Le(b.localHeader, 8, 2)) << name << " method";
        EXPECT_EQ(cltest::Le(a.localHeader, 10, 4), cltest::Le(b.localHeader, 10, 4)) << name << " DOS time";
        // libzip checks the stored size and CRC as it reads.
        std::string data;
        ASSERT_FALSE(reread->Read(IndexOf(*reread, name), data)) << name;
        EXPECT_EQ(data, replacements[i]) << name;
    }
}

TEST(JarArchive, AClassReplacedAndThenRemovedIsGone)
{
    const std::string input = cltest::BuildZip(Specs());
    const auto jar = OpenOrFail(input);
    ASSERT_TRUE(jar);
    ASSERT_FALSE(jar->Replace(IndexOf(*jar, "demo/Other.class"), Text('Q', 3000)));
    ASSERT_FALSE(jar->Replace(IndexOf(*jar, "demo/App.class"), Text('R', 3000)));
    ASSERT_FALSE(jar->Remove(IndexOf(*jar, "demo/Other.class")));
    std::string output;
    ASSERT_FALSE(jar->Finish(output));
    const auto after = cltest::RawEntries(output);
    EXPECT_EQ(after.count("demo/Other.class"), 0u);
    const auto reread = OpenOrFail(output);
    ASSERT_TRUE(reread);
    std::string data;
    ASSERT_FALSE(reread->Read(IndexOf(*reread, "demo/App.class"), data));
    EXPECT_EQ(data, Text('R', 3000));
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
