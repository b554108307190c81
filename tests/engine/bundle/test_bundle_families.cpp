// Which .properties files of a program are bundles, how they group in families, which member
// is the source, which one holds a language already, and where a new variant goes.

#include "bundle/BundleFamilies.h"

#include "JavaOracle.h"
#include "ScratchFolder.h"
#include "Tools.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using cl::bundle::BundleFamily;
using cl::bundle::BundleLayout;
using cl::bundle::ExistingVariant;
using cl::bundle::FindBundleFamilies;
using cl::bundle::LookupOrder;
using cl::bundle::VariantPath;

struct ExpectedFamily {
    std::string name;
    BundleLayout layout;
    std::vector<std::string> members;  // paths, in the family's order
    std::string source;                // "" when there is none
};

std::vector<BundleFamily> Find(const std::vector<std::string>& paths, const std::set<std::string>& literals)
{
    return FindBundleFamilies(paths, [&](std::string_view text) { return literals.count(std::string(text)) != 0; });
}

TEST(BundleFamilies, GroupsVariantsAndLeavesConfigurationOut)
{
    constexpr auto Suffix = BundleLayout::LocaleSuffix;
    constexpr auto Folder = BundleLayout::LocaleFolder;
    const struct {
        const char* what;
        std::vector<std::string> paths;
        std::set<std::string> literals;
        std::vector<ExpectedFamily> families;
    } cases[] = {
        {"locale suffixes beside configuration",
         {"app/Messages.properties", "app/Messages_de.properties", "app/Messages_pt_BR.properties",
          "config.properties", "log4j.properties", "app/App.class"},
         {},
         {{"app/Messages", Suffix,
           {"app/Messages.properties", "app/Messages_de.properties", "app/Messages_pt_BR.properties"},
           "app/Messages.properties"}}},
        {"a file alone named in code, with dots or slashes",
         {"app/Labels.properties", "app/Other.properties", "app/Unnamed.properties", "config.properties"},
         {"app.Labels", "app/Other", "config.properties", "Unnamed"},
         {{"app/Labels", Suffix, {"app/Labels.properties"}, "app/Labels.properties"},
          {"app/Other", Suffix, {"app/Other.properties"}, "app/Other.properties"}}},
        {"a name of two parts found deeper in a folder; one part only from the root",
         {"classes/app/Msg.properties", "x/Single.properties", "Root.properties"},
         {"app.Msg", "Single", "Root"},
         {{"Root", Suffix, {"Root.properties"}, "Root.properties"},
          {"classes/app/Msg", Suffix, {"classes/app/Msg.properties"}, "classes/app/Msg.properties"}}},
        {"English when there is no base file, en before en_US before en_GB",
         {"i18n/Text_fr.properties", "i18n/Text_en.properties", "i18n/Text_en_US.properties",
          "u/T_en_GB.properties", "u/T_en_US.properties", "u/T_fr.properties"},
         {},
         {{"i18n/Text", Suffix, {"i18n/Text_en.properties", "i18n/Text_en_US.properties", "i18n/Text_fr.properties"},
           "i18n/Text_en.properties"},
          {"u/T", Suffix, {"u/T_en_GB.properties", "u/T_en_US.properties", "u/T_fr.properties"},
           "u/T_en_US.properties"}}},
        {"a family without base or English is found, without a source",
         {"x/M_de.properties", "x/M_fr.properties"},
         {},
         {{"x/M", Suffix, {"x/M_de.properties", "x/M_fr.properties"}, ""}}},
        {"English alone named in code",
         {"app/Strings_en.properties"},
         {"app.Strings"},
         {{"app/Strings", Suffix, {"app/Strings_en.properties"}, "app/Strings_en.properties"}}},
        {"underscores in the base name",
         {"my_app.properties", "my_app_de.properties", "my_app_zh_CN.properties"},
         {},
         {{"my_app", Suffix, {"my_app.properties", "my_app_de.properties", "my_app_zh_CN.properties"},
           "my_app.properties"}}},
        {"scripts, variants and names that are no locale",
         {"M.properties", "M_sr_Latn_RS.properties", "M_ja_JP_JP.properties", "M_de__POSIX.properties",
          "M_es_419.properties", "M_xx_yy.properties", "M_DE.properties", "M_toolong.properties"},
         {},
         {{"M", Suffix,
           {"M.properties", "M_de__POSIX.properties", "M_es_419.properties", "M_ja_JP_JP.properties",
            "M_sr_Latn_RS.properties"},
           "M.properties"}}},
        {"a folder per language",
         {"lang/en/menu.properties", "lang/de/menu.properties", "lang/pt_BR/menu.properties",
          "lang/de/other.properties", "res/zh-CN/ui.properties", "res/en-US/ui.properties"},
         {},
         {{"lang/*/menu.properties", Folder,
           {"lang/de/menu.properties", "lang/en/menu.properties", "lang/pt_BR/menu.properties"},
           "lang/en/menu.properties"},
          {"res/*/ui.properties", Folder, {"res/en-US/ui.properties", "res/zh-CN/ui.properties"},
           "res/en-US/ui.properties"}}},
        {"files inside jars of a folder stay in their jar",
         {"lib/a.jar!/app/Messages.properties", "lib/a.jar!/app/Messages_de.properties",
          "lib/b.jar!/app/Messages.properties", "lib/c.jar!/conf.properties"},
         {"app.Messages"},
         {{"lib/a.jar!/app/Messages", Suffix,
           {"lib/a.jar!/app/Messages.properties", "lib/a.jar!/app/Messages_de.properties"},
           "lib/a.jar!/app/Messages.properties"},
          {"lib/b.jar!/app/Messages", Suffix, {"lib/b.jar!/app/Messages.properties"},
           "lib/b.jar!/app/Messages.properties"}}},
        {"not .properties, or nothing but the extension",
         {"app/Messages.properties.bak", "app/.properties", "app/Messages.PROPERTIES", "app/_de.properties"},
         {"app.Messages"},
         {}},
    };
    for (const auto& c : cases) {
        const auto families = Find(c.paths, c.literals);
        ASSERT_EQ(families.size(), c.families.size()) << c.what;
        for (std::size_t i = 0; i < families.size(); ++i) {
            const BundleFamily& f = families[i];
            const ExpectedFamily& e = c.families[i];
            EXPECT_EQ(f.Name(), e.name) << c.what;
            EXPECT_EQ(f.layout, e.layout) << c.what << ": " << e.name;
            std::vector<std::string> members;
            for (const auto& m : f.members)
                members.push_back(m.path);
            EXPECT_EQ(members, e.members) << c.what << ": " << e.name;
            EXPECT_EQ(f.Source() ? f.Source()->path : std::string(), e.source) << c.what << ": " << e.name;
        }
    }
}

// Keys per file for the joining of jars; a file the map lacks cannot be read.
std::vector<BundleFamily> FindInJars(const std::vector<std::string>& paths,
                                     const std::map<std::string, std::set<std::string>>& keys,
                                     const std::set<std::string>& literals = {})
{
    return FindBundleFamilies(
        paths, [&](std::string_view text) { return literals.count(std::string(text)) != 0; },
        [&](const std::string& path) -> std::optional<std::set<std::string>> {
            const auto found = keys.find(path);
            if (found == keys.end())
                return std::nullopt;
            return found->second;
        });
}

void ExpectFamilies(const std::vector<BundleFamily>& families, const std::vector<ExpectedFamily>& expected,
                    const std::string& what)
{
    ASSERT_EQ(families.size(), expected.size()) << what;
    for (std::size_t i = 0; i < families.size(); ++i) {
        const BundleFamily& f = families[i];
        const ExpectedFamily& e = expected[i];
        EXPECT_EQ(f.Name(), e.name) << what;
        EXPECT_EQ(f.layout, e.layout) << what << ": " << e.name;
        std::vector<std::string> members;
        for (const auto& m : f.members)
            members.push_back(m.path);
        EXPECT_EQ(members, e.members) << what << ": " << e.name;
        EXPECT_EQ(f.Source() ? f.Source()->path : std::string(), e.source) << what << ": " << e.name;
    }
}

// A class path reads a folder's jars as one tree: the English texts in one jar and the other
// languages in another are one bundle, while two libraries' bundles of one name stay apart.
TEST(BundleFamilies, FilesOfOneNameInSeveralJars)
{
    constexpr auto Suffix = BundleLayout::LocaleSuffix;
    constexpr auto Folder = BundleLayout::LocaleFolder;
    const std::set<std::string> texts = {"title", "open", "save", "quit"};
    const struct {
        const char* what;
        std::vector<std::string> paths;
        std::map<std::string, std::set<std::string>> keys;
        std::vector<ExpectedFamily> families;
    } cases[] = {
        {"English alone in one jar, every other language in another",
         {"lib/viewer.jar!/tr/Res_en.properties", "lib/editor.jar!/tr/Res_de.properties",
          "lib/editor.jar!/tr/Res_zh_CN.properties", "lib/editor.jar!/conf.properties"},
         {{"lib/viewer.jar!/tr/Res_en.properties", texts},
          {"lib/editor.jar!/tr/Res_de.properties", {"title", "open", "old"}},
          {"lib/editor.jar!/tr/Res_zh_CN.properties", {"title"}}},
         {{"lib/viewer.jar!/tr/Res", Suffix,
           {"lib/editor.jar!/tr/Res_de.properties", "lib/viewer.jar!/tr/Res_en.properties",
            "lib/editor.jar!/tr/Res_zh_CN.properties"},
           "lib/viewer.jar!/tr/Res_en.properties"}}},
        {"a language pack jar with one language, beside a family with a base",
         {"app.jar!/m/M.properties", "app.jar!/m/M_de.properties", "lib/pack.jar!/m/M_zh.properties"},
         {{"app.jar!/m/M.properties", texts}, {"lib/pack.jar!/m/M_zh.properties", texts}},
         {{"app.jar!/m/M", Suffix, {"app.jar!/m/M.properties", "app.jar!/m/M_de.properties", "lib/pack.jar!/m/M_zh.properties"},
           "app.jar!/m/M.properties"}}},
        {"two libraries' bundles of one name, each with its base, stay apart though they share keys",
         {"lib/a.jar!/messages.properties", "lib/a.jar!/messages_de.properties", "lib/b.jar!/messages.properties",
          "lib/b.jar!/messages_fr.properties"},
         {{"lib/a.jar!/messages.properties", texts}, {"lib/b.jar!/messages.properties", texts},
          {"lib/b.jar!/messages_fr.properties", texts}},
         {{"lib/a.jar!/messages", Suffix, {"lib/a.jar!/messages.properties", "lib/a.jar!/messages_de.properties"},
           "lib/a.jar!/messages.properties"},
          {"lib/b.jar!/messages", Suffix, {"lib/b.jar!/messages.properties", "lib/b.jar!/messages_fr.properties"},
           "lib/b.jar!/messages.properties"}}},
        {"files holding other keys are another library's",
         {"lib/a.jar!/M.properties", "lib/a.jar!/M_it.properties", "lib/b.jar!/M_de.properties", "lib/b.jar!/M_fr.properties"},
         {{"lib/a.jar!/M.properties", texts},
          {"lib/b.jar!/M_de.properties", {"title", "x1"}},
          {"lib/b.jar!/M_fr.properties", {"x2"}}},
         {{"lib/a.jar!/M", Suffix, {"lib/a.jar!/M.properties", "lib/a.jar!/M_it.properties"}, "lib/a.jar!/M.properties"},
          {"lib/b.jar!/M", Suffix, {"lib/b.jar!/M_de.properties", "lib/b.jar!/M_fr.properties"}, ""}}},
        {"half of the keys the source's is enough",
         {"lib/a.jar!/M.properties", "lib/a.jar!/M_it.properties", "lib/b.jar!/M_de.properties", "lib/b.jar!/M_fr.properties"},
         {{"lib/a.jar!/M.properties", texts},
          {"lib/b.jar!/M_de.properties", {"title", "x1"}},
          {"lib/b.jar!/M_fr.properties", {"open", "x2"}}},
         {{"lib/a.jar!/M", Suffix,
           {"lib/a.jar!/M.properties", "lib/b.jar!/M_de.properties", "lib/b.jar!/M_fr.properties", "lib/a.jar!/M_it.properties"},
           "lib/a.jar!/M.properties"}}},
        {"a language in both jars: which one the class path reads is not known",
         {"lib/a.jar!/M_en.properties", "lib/a.jar!/M_de.properties", "lib/b.jar!/M_de.properties",
          "lib/b.jar!/M_zh.properties"},
         {{"lib/a.jar!/M_en.properties", texts}, {"lib/b.jar!/M_de.properties", texts},
          {"lib/b.jar!/M_zh.properties", texts}},
         {{"lib/a.jar!/M", Suffix, {"lib/a.jar!/M_de.properties", "lib/a.jar!/M_en.properties"}, "lib/a.jar!/M_en.properties"},
          {"lib/b.jar!/M", Suffix, {"lib/b.jar!/M_de.properties", "lib/b.jar!/M_zh.properties"}, ""}}},
        {"a source that cannot be read joins nothing",
         {"lib/a.jar!/M_en.properties", "lib/a.jar!/M_de.properties", "lib/b.jar!/M_fr.properties",
          "lib/b.jar!/M_zh.properties"},
         {{"lib/b.jar!/M_fr.properties", texts}, {"lib/b.jar!/M_zh.properties", texts}},
         {{"lib/a.jar!/M", Suffix, {"lib/a.jar!/M_de.properties", "lib/a.jar!/M_en.properties"}, "lib/a.jar!/M_en.properties"},
          {"lib/b.jar!/M", Suffix, {"lib/b.jar!/M_fr.properties", "lib/b.jar!/M_zh.properties"}, ""}}},
        {"two files alone, each in its jar, are no family without shared keys",
         {"lib/a.jar!/t/T_en.properties", "lib/b.jar!/t/T_zh.properties"},
         {{"lib/a.jar!/t/T_en.properties", texts}, {"lib/b.jar!/t/T_zh.properties", {"other"}}},
         {}},
        {"loose files of the folder never join a jar's",
         {"classes/app/M_en.properties", "lib/b.jar!/app/M_de.properties", "lib/b.jar!/app/M_fr.properties"},
         {{"classes/app/M_en.properties", texts}, {"lib/b.jar!/app/M_de.properties", texts},
          {"lib/b.jar!/app/M_fr.properties", texts}},
         {{"lib/b.jar!/app/M", Suffix, {"lib/b.jar!/app/M_de.properties", "lib/b.jar!/app/M_fr.properties"}, ""}}},
        {"a folder per language, the English one in another jar",
         {"lib/a.jar!/lang/en/menu.properties", "lib/b.jar!/lang/de/menu.properties",
          "lib/b.jar!/lang/pt-BR/menu.properties"},
         {{"lib/a.jar!/lang/en/menu.properties", texts}, {"lib/b.jar!/lang/de/menu.properties", texts},
          {"lib/b.jar!/lang/pt-BR/menu.properties", {"quit"}}},
         {{"lib/a.jar!/lang/*/menu.properties", Folder,
           {"lib/b.jar!/lang/de/menu.properties", "lib/a.jar!/lang/en/menu.properties",
            "lib/b.jar!/lang/pt-BR/menu.properties"},
           "lib/a.jar!/lang/en/menu.properties"}}},
    };
    for (const auto& c : cases)
        ExpectFamilies(FindInJars(c.paths, c.keys), c.families, c.what);
}

// Joined, the family is its source's: a new variant goes beside the source, and a language one
// of the other jars holds is what a run in that language reads.
TEST(BundleFamilies, AJoinedFamilyWritesWhereARunReads)
{
    const std::set<std::string> keys = {"title", "open"};
    const std::vector<std::string> paths = {"lib/en.jar!/tr/Res_en.properties", "lib/all.jar!/tr/Res_de.properties",
                                            "lib/all.jar!/tr/Res_zh.properties"};
    const auto families = FindInJars(paths, {{paths[0], keys}, {paths[1], keys}, {paths[2], keys}});
    ASSERT_EQ(families.size(), 1u);
    const auto* zh = ExistingVariant(families[0], "zh_CN");
    EXPECT_EQ(zh ? zh->path : std::string(), "lib/all.jar!/tr/Res_zh.properties");
    EXPECT_EQ(ExistingVariant(families[0], "fr"), nullptr);
    EXPECT_EQ(VariantPath(families[0], "fr"), "lib/en.jar!/tr/Res_fr.properties");
    // Without the keys there is no telling: each jar keeps its own.
    const auto apart = Find(paths, {});
    ASSERT_EQ(apart.size(), 1u);
    EXPECT_EQ(apart[0].Name(), "lib/all.jar!/tr/Res");
    EXPECT_EQ(apart[0].Source(), nullptr);
}

TEST(BundleFamilies, ExistingVariantForTheCataloguesLanguage)
{
    const auto families = Find({"a/M.properties", "a/M_zh.properties", "a/M_zh_TW.properties", "a/M_de_DE.properties",
                                "b/N.properties", "b/N_zh_CN.properties", "b/N_zh.properties", "lang/en/x.properties",
                                "lang/zh-CN/x.properties"},
                               {});
    ASSERT_EQ(families.size(), 3u);
    const struct {
        std::size_t family;
        std::string language;
        std::string existing;  // "" for none
    } cases[] = {
        {0, "zh_CN", "a/M_zh.properties"},  // no zh_CN: the language alone
        {0, "zh_TW", "a/M_zh_TW.properties"},
        {0, "zh", "a/M_zh.properties"},
        {0, "de", ""},  // de_DE is not the language alone
        {0, "de_DE", "a/M_de_DE.properties"},
        {0, "fr", ""},
        {1, "zh_CN", "b/N_zh_CN.properties"},
        {1, "zh-CN", "b/N_zh_CN.properties"},
        {1, "zh_cn.UTF-8", "b/N_zh_CN.properties"},
        {1, "zh_Hans_CN", "b/N_zh_CN.properties"},
        {1, "zh_HK", "b/N_zh.properties"},
        {2, "zh_CN", "lang/zh-CN/x.properties"},
        {2, "not a language", ""},
    };
    for (const auto& c : cases) {
        const auto* member = ExistingVariant(families[c.family], c.language);
        EXPECT_EQ(member ? member->path : std::string(), c.existing) << families[c.family].Name() << " " << c.language;
    }
}

TEST(BundleFamilies, VariantToWriteIsNamedLikeTheOthers)
{
    const auto families = Find({"app/Messages.properties", "app/Messages_de.properties", "lang/en/menu.properties",
                                "lang/de/menu.properties", "loc/en/ui.properties", "loc/pt_BR/ui.properties",
                                "res/en-US/t.properties", "res/de-DE/t.properties"},
                               {});
    ASSERT_EQ(families.size(), 4u);
    ASSERT_EQ(families[0].Name(), "app/Messages");
    ASSERT_EQ(families[1].Name(), "lang/*/menu.properties");
    ASSERT_EQ(families[2].Name(), "loc/*/ui.properties");
    ASSERT_EQ(families[3].Name(), "res/*/t.properties");
    const struct {
        std::size_t family;
        std::string language;
        std::optional<std::string> path;
    } cases[] = {
        {0, "zh_CN", "app/Messages_zh_CN.properties"},
        {0, "zh", "app/Messages_zh.properties"},
        {0, "pt-BR", "app/Messages_pt_BR.properties"},
        {0, "sr@latin", "app/Messages_sr.properties"},
        {0, "zh_Hant_TW", "app/Messages_zh_Hant_TW.properties"},
        {0, "", std::nullopt},
        {0, "chinese", std::nullopt},
        {1, "zh_CN", "lang/zh/menu.properties"},  // the others name a language alone
        {1, "zh", "lang/zh/menu.properties"},
        {2, "zh_CN", "loc/zh_CN/ui.properties"},
        {2, "zh", "loc/zh/ui.properties"},
        {3, "zh_CN", "res/zh-CN/t.properties"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VariantPath(families[c.family], c.language), c.path) << families[c.family].Name() << " " << c.language;
}

// The lookup order of a run in each language, as ResourceBundle.Control lists the candidates
// (base name "x", so that each prints as the bundle name Java would load).
const char* const kLookupOracle = R"java(
import java.util.*;

public class LookupOracle {
    public static void main(String[] args) {
        ResourceBundle.Control control = ResourceBundle.Control.getControl(ResourceBundle.Control.FORMAT_DEFAULT);
        for (String arg : args) {
            String[] p = (arg + ",,,,").split(",", -1);
            Locale locale = new Locale.Builder().setLanguage(p[0]).setScript(p[1]).setRegion(p[2]).setVariant(p[3]).build();
            StringBuilder line = new StringBuilder(arg + ":");
            for (Locale candidate : control.getCandidateLocales("x", locale)) {
                if (!candidate.equals(Locale.ROOT))
                    line.append(" ").append(control.toBundleName("x", candidate).substring(2));
            }
            System.out.println(line);
        }
    }
}
)java";

class LookupAgainstJava : public cltest::ScratchFolder {};

TEST_F(LookupAgainstJava, TheOrderIsJavasCandidateList)
{
    CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
    CLTEST_REQUIRE_TOOL("java", CLASSLINGO_JAVA);
    // Catalogue languages, and the same locale as the oracle builds it.
    const std::vector<std::pair<std::string, std::string>> languages = {
        {"zh_CN", "zh,,CN"},        {"zh", "zh"},           {"zh_TW", "zh,,TW"},     {"zh_HK", "zh,,HK"},
        {"zh_SG", "zh,,SG"},        {"zh_Hans", "zh,Hans"}, {"zh_Hant", "zh,Hant"},  {"zh_Hans_CN", "zh,Hans,CN"},
        {"zh-CN", "zh,,CN"},        {"de_DE", "de,,DE"},    {"de", "de"},            {"sr_Latn_RS", "sr,Latn,RS"},
        {"sr_Latn", "sr,Latn"},     {"pt_BR", "pt,,BR"},    {"de_DE_POSIX", "de,,DE,POSIX"},
    };
    std::string args;
    for (const auto& [language, oracle] : languages)
        args += " " + oracle;
    const cltest::JavaOutput java = cltest::RunJavaProgram(dir_.string(), "LookupOracle", kLookupOracle, args);
    ASSERT_TRUE(java.ok) << java.error;
    std::string mine;
    for (const auto& [language, oracle] : languages) {
        mine += oracle + ":";
        for (const cl::bundle::LocaleTag& tag : LookupOrder(language))
            mine += " " + tag.Text('_');
        mine += "\n";
    }
    EXPECT_EQ(mine, java.out);
    EXPECT_TRUE(LookupOrder("not a language").empty());
}

// The program's own file a run reads first is the one a translation goes into: with zh_Hans
// beside zh_CN, a run in zh_CN reads zh_Hans, since Java supplies the script of a Chinese country.
TEST(BundleFamilies, TheFileARunReadsFirstHoldsTheLanguage)
{
    const auto families = Find({"a/M.properties", "a/M_zh_Hans.properties", "a/M_zh_CN.properties", "a/M_zh.properties",
                                "b/N.properties", "b/N_zh_TW.properties", "b/N_zh.properties"},
                               {});
    ASSERT_EQ(families.size(), 2u);
    const struct {
        std::size_t family;
        std::string language;
        std::string first;
    } cases[] = {
        {0, "zh_CN", "a/M_zh_Hans.properties"}, {0, "zh_SG", "a/M_zh_Hans.properties"},
        {0, "zh", "a/M_zh.properties"},         {0, "zh_TW", "a/M_zh.properties"},
        {1, "zh_CN", "b/N_zh.properties"},      {1, "zh_Hant", "b/N_zh_TW.properties"},
        {1, "zh_TW", "b/N_zh_TW.properties"},   {1, "de", ""},
    };
    for (const auto& c : cases) {
        const auto* member = ExistingVariant(families[c.family], c.language);
        EXPECT_EQ(member ? member->path : std::string(), c.first) << families[c.family].Name() << " " << c.language;
    }
}

}  // namespace
