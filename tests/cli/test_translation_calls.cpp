// A program that translates itself with a call of its own - a Map of translations, the text
// itself when the Map has none, MessageFormat when there are arguments - has its message ids
// offered: the note names the call, a pattern is checked as java-format, and once applied the
// program shows the translations through the call's fallback. A table that holds the English
// text as its key (as a gettext bundle class holds its msgids) keeps it.

#include "CliFixture.h"
#include "Java.h"
#include "SamplePrograms.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class TranslationCalls : public cltest::CliFixture {};

// The catalogue entry of `msgid`: its lines from the blank line before it to its msgstr.
std::string EntryOf(const std::string& po, const std::string& msgid)
{
    const std::size_t at = po.find("msgid \"" + msgid + "\"");
    if (at == std::string::npos)
        return {};
    const std::size_t start = po.rfind("\n\n", at);
    return po.substr(start == std::string::npos ? 0 : start + 2, at - (start == std::string::npos ? 0 : start + 2));
}

TEST_F(TranslationCalls, MessageIdsAreOfferedAndShownThroughTheFallback)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    CLTEST_REQUIRE_TOOL("java", cltest::JavaPath());
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "Shop",
                                  "import java.text.MessageFormat;\n"
                                  "import java.util.HashMap;\n"
                                  "import java.util.Map;\n"
                                  "public class Shop {\n"
                                  "    static final Map<String, String> table = new HashMap<>();\n"
                                  "    static String tr(String text, Object... args) {\n"
                                  "        String found = table.get(text);\n"
                                  "        String pattern = found != null ? found : text;\n"
                                  "        return args.length == 0 ? pattern : MessageFormat.format(pattern, args);\n"
                                  "    }\n"
                                  "    public static void main(String[] a) {\n"
                                  "        if (a.length > 5)\n"
                                  "            System.out.println(Table.holds(a[0]));\n"
                                  "        System.out.println(tr(\"Open the shop\"));\n"
                                  "        System.out.println(tr(\"Sold {0} apples\", 3));\n"
                                  "    }\n"
                                  "}\n"
                                  "class Table {\n"
                                  "    static final String[] msgids = {\"Open the shop\"};\n"
                                  "    static boolean holds(String text) { return msgids[0].equals(text); }\n"
                                  "}\n",
                                  Path("in")),
              "");
    const auto extract = Run({"extract", Path("in"), Path("shop.po")});
    ASSERT_EQ(extract.status, 0) << extract.err;
    const std::string po = Read(Path("shop.po"));
    for (const char* msgid : {"Open the shop", "Sold {0} apples"}) {
        SCOPED_TRACE(msgid);
        const std::string entry = EntryOf(po, msgid);
        ASSERT_FALSE(entry.empty()) << po;
        EXPECT_NE(entry.find("#. 用途：消息（经 tr 翻译）"), std::string::npos) << entry;
        EXPECT_NE(entry.find("#, java-format\n"), std::string::npos) << entry;
    }
    EXPECT_NE(EntryOf(po, "Open the shop").find("#. Table\n"), std::string::npos) << "the table is named as kept:\n" << po;

    Write(Path("zh.po"), cltest::Catalogue({{"Open the shop", "开店"}, {"Sold {0} apples", "卖出了 {0} 个苹果"}}));
    const auto apply = Run({"apply", Path("in"), Path("zh.po"), Path("out")});
    ASSERT_EQ(apply.status, 0) << apply.err;
    const cltest::JavaRun run = cltest::RunJava(Path("out"), "Shop");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "开店\n卖出了 3 个苹果\n");
    EXPECT_NE(Read(Path("out") + "/Table.class").find("Open the shop"), std::string::npos);
    EXPECT_EQ(Read(Path("out") + "/Table.class").find("开店"), std::string::npos);
}

}  // namespace
