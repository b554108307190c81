// A lone .properties file that the code names is a bundle of texts only when the code also
// names its keys; one whose keys the program gets elsewhere (time zone names looked up by zone
// id) is a table it reads, and its values are not offered.

#include "catalogue/BundleTexts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

namespace cat = cl::catalogue;

// A file of `count` keys key0, key1, ... whose values read as text.
std::string Properties(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "key" + std::to_string(i) + "=Standard Time of zone " + std::to_string(i) + "\n";
    return text;
}

TEST(BundleTables, ALoneFileIsOfferedOnlyWhenTheCodeNamesItsKeys)
{
    const struct {
        const char* name;
        std::vector<cat::PropertiesFileBytes> files;
        std::set<std::string, std::less<>> classTexts;  // besides the bundle's name
        bool offered;
    } cases[] = {
        {"no key named", {{"zones.properties", Properties(20)}}, {}, false},
        {"one default in twenty", {{"zones.properties", Properties(20)}}, {"key3"}, false},
        {"two in twenty", {{"zones.properties", Properties(20)}}, {"key3", "key7"}, true},
        {"every key", {{"zones.properties", Properties(3)}}, {"key0", "key1", "key2"}, true},
        // A family with a language variant is a bundle of texts whatever the code names.
        {"with a variant", {{"zones.properties", Properties(20)}, {"zones_de.properties", Properties(20)}}, {}, true},
    };
    for (const auto& c : cases) {
        const cat::BundleAnalysis analysis = cat::AnalyseBundles(
            c.files, [](std::string_view name) { return name == "zones"; },
            [&](std::string_view text) { return c.classTexts.count(text) != 0; }, "zh_CN");
        ASSERT_EQ(analysis.families.size(), 1u) << c.name;
        EXPECT_EQ(analysis.offered[0], c.offered) << c.name;
        EXPECT_EQ(analysis.texts.empty(), !c.offered) << c.name;
        EXPECT_EQ(analysis.tables, c.offered ? std::vector<std::string>{} : std::vector<std::string>{"zones"}) << c.name;
        // Its keys are keys all the same: a class text equal to one is never offered.
        EXPECT_EQ(analysis.keys.count("key1"), 1u) << c.name;
        // Nothing is written for a table, whatever the catalogue translates.
        const auto variants = cat::WriteVariants(analysis, c.files, "zh_CN",
                                                 [](const cat::BundleText&) { return std::string("译文"); });
        EXPECT_EQ(variants.size(), c.offered ? 1u : 0u) << c.name;
    }
}

}  // namespace
