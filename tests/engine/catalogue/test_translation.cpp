// Extraction and rewriting over classes compiled by javac: which texts are offered, and what
// a translation does to the class (in place, detached from a shared name, refused).

#include "CatalogueNotes.h"
#include "catalogue/ClassRewriter.h"
#include "catalogue/ProgramSession.h"
#include "catalogue/Translation.h"
#include "classfile/ModifiedUtf8.h"

#include "ClassFileBuilder.h"
#include "ScratchFolder.h"
#include "Java.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

namespace {

namespace cat = cl::catalogue;

cat::PoMessage Message(std::string msgid, std::string msgstr, bool fuzzy = false, bool obsolete = false,
                       bool plural = false)
{
    cat::PoMessage message;
    message.msgid = std::move(msgid);
    message.msgstr = std::move(msgstr);
    message.fuzzy = fuzzy;
    message.obsolete = obsolete;
    message.plural = plural;
    return message;
}

const std::string kLong300 = std::string(290, 'L') + " [300 bytes]";

class Translation : public cltest::ScratchFolder {
protected:
    void SetUp() override
    {
        ScratchFolder::SetUp();
        CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
        const std::string source = R"(
public class Demo {
    @Deprecated(since = "annotated value")
    public static String run(int n, String who) {
        String a = "Short";
        String b = ")" + kLong300 + R"(";
        String c = "Found " + n + " files {in} " + who + "!";
        String d = "run";  // also the method's name
        String e = "emoji \uD83C\uDF89 ok";
        switch (who) {
            case "exit": return "bye";
            default: break;
        }
        String f = "exit";  // the same text as a switch label: a key in this class
        return a + b + c + d + e + f;
    }
}
)";
        ASSERT_EQ(cltest::CompileJava(dir_.string(), "Demo", source, Path("out")), "");
        cl::Result<cat::Program> loaded = cat::LoadProgram(Path("out/Demo.class"));
        ASSERT_TRUE(loaded.ok());
        program_ = std::move(*loaded);
    }

    std::map<std::string, cat::PlaceKind> Offered(bool annotations)
    {
        const cat::Extraction ex = cat::Extract(program_, {annotations});
        std::map<std::string, cat::PlaceKind> offered;
        for (const auto& entry : ex.entries)
            offered[entry.msgid] = entry.places.front().kind;
        return offered;
    }

    // Applies the translations and returns the rewritten class's listing (index -> text).
    std::map<std::string, std::string> ApplyAndList(const std::map<std::string, std::string>& translations,
                                                    cat::ApplyPlan& plan)
    {
        const cat::Extraction ex = cat::Extract(program_, {true});
        std::vector<cat::PoMessage> messages;
        for (const auto& [msgid, msgstr] : translations)
            messages.push_back(Message(msgid, msgstr));
        plan = cat::PlanApply(program_, ex, messages);
        std::map<std::string, std::string> texts;
        if (plan.changed.empty())
            return texts;
        cat::Program rewritten;
        rewritten.classes.push_back({"Demo.class", plan.changed.begin()->second, 0});
        const cat::Extraction again = cat::Extract(rewritten, {true});
        EXPECT_TRUE(again.unparsable.empty());
        for (const auto& row : cat::ListStrings(rewritten, again, true))
            texts[row.text] = row.role;
        return texts;
    }

    cat::Program program_;
};

TEST_F(Translation, OffersLiteralsAndRecipesButNoKeysOrNames)
{
    const auto offered = Offered(false);
    const std::map<std::string, cat::PlaceKind> expected = {
        {"Short", cat::PlaceKind::Literal},
        {kLong300, cat::PlaceKind::Literal},
        {"Found {0} files {{in}} {1}!", cat::PlaceKind::Recipe},
        {"{0}{1}{2}{3}{4}{5}", cat::PlaceKind::Recipe},  // the return value's concatenation
        {"run", cat::PlaceKind::Literal},
        {"emoji 🎉 ok", cat::PlaceKind::Literal},
        {"bye", cat::PlaceKind::Literal},
    };
    EXPECT_EQ(offered, expected);
    EXPECT_EQ(Offered(true).count("annotated value"), 1u);
}

TEST_F(Translation, RecipeNotesAreWholeSentencesOneALine)
{
    cat::ProgramSession session;
    ASSERT_TRUE(session.Open(Path("out/Demo.class"), {}).ok());
    const auto read = cat::ReadPo(session.CatalogueText({}, false, cltext::Notes()), "Demo.po");
    ASSERT_TRUE(read.ok()) << read.error().detail;
    bool sawRecipe = false;
    for (const cat::PoEntry& entry : read->messages) {
        // Every entry first names where its text goes, in a line of its own.
        ASSERT_FALSE(entry.extractedComments.empty()) << entry.msgid;
        EXPECT_EQ(entry.extractedComments[0].rfind("用途：", 0), 0u) << entry.extractedComments[0];
        if (entry.msgid == "Short") {
            EXPECT_EQ(entry.extractedComments.size(), 1u) << "a literal needs no other note";
        }
        if (entry.msgid != "Found {0} files {{in}} {1}!")
            continue;
        sawRecipe = true;
        ASSERT_EQ(entry.extractedComments.size(), 3u);
        const std::vector<std::string> recipe(entry.extractedComments.begin() + 1, entry.extractedComments.end());
        EXPECT_NE(recipe[0].find("{0}, {1} "), std::string::npos) << recipe[0];
        EXPECT_NE(recipe[0].find("in this order."), std::string::npos) << recipe[0];
        EXPECT_NE(recipe[1].find("{{ or }}"), std::string::npos) << recipe[1];
        for (const std::string& line : recipe) {
            ASSERT_FALSE(line.empty());
            EXPECT_EQ(line.back(), '.') << "a sentence runs on to the next line: " << line;
            EXPECT_TRUE(line.front() == '{' || (line.front() >= 'A' && line.front() <= 'Z'))
                << "a line starts in the middle of a sentence: " << line;
        }
    }
    EXPECT_TRUE(sawRecipe);
}

TEST_F(Translation, RewritesEachKindOfText)
{
    const struct {
        const char* name;
        std::string msgid;
        std::string msgstr;
        std::string stored;  // how the translation reads back from the class
    } cases[] = {
        {"shorter", "Short", "短", "短"},
        {"longer, past 255 bytes", "Short", std::string(400, 'x'), std::string(400, 'x')},
        {"from past 255 bytes", kLong300, "短了", "短了"},
        {"recipe", "Found {0} files {{in}} {1}!", "{1} 中找到 {0} 个文件", ""},
        {"recipe in order", "Found {0} files {{in}} {1}!", "找到 {0} 个文件 {{于}} {1}！", "找到 {0} 个文件 {{于}} {1}！"},
        {"supplementary", "emoji 🎉 ok", "表情 😀𝄞", "表情 😀𝄞"},
        {"annotation", "annotated value", "注解值", "注解值"},
        {"65535 bytes", "Short", std::string(65535, 'y'), std::string(65535, 'y')},
    };
    for (const auto& c : cases) {
        cat::ApplyPlan plan;
        const auto texts = ApplyAndList({{c.msgid, c.msgstr}}, plan);
        if (c.stored.empty()) {
            ASSERT_EQ(plan.problems.size(), 1u) << c.name;
            EXPECT_EQ(plan.problems[0].kind, cl::TranslationProblem::SlotOutOfOrder) << c.name;
            EXPECT_TRUE(plan.changed.empty()) << c.name;
            continue;
        }
        ASSERT_TRUE(plan.problems.empty()) << c.name;
        EXPECT_EQ(plan.summary.placesChanged, 1u) << c.name;
        EXPECT_EQ(texts.count(c.stored), 1u) << c.name;
        EXPECT_EQ(texts.count(c.msgid), 0u) << c.name << ": the old text is still there";
    }
}

TEST_F(Translation, SharedLiteralGetsATextOfItsOwnAndTheNameStays)
{
    cat::ApplyPlan plan;
    const auto texts = ApplyAndList({{"run", "运行"}}, plan);
    ASSERT_TRUE(plan.problems.empty());
    EXPECT_EQ(texts.at("运行"), "literal");  // the appended entry, used by the string alone
    EXPECT_EQ(texts.at("run"), "name");      // the method keeps its name
}

TEST_F(Translation, TooLongTranslationIsRefusedNamingItsEntry)
{
    const struct {
        std::string msgstr;
        cl::TranslationProblem kind;
    } cases[] = {
        {std::string(65536, 'z'), cl::TranslationProblem::TooLong},
        // 21846 three-byte characters are 65538 bytes of modified UTF-8.
        {[] {
             std::string s;
             for (int i = 0; i < 21846; ++i)
                 s += "中";
             return s;
         }(),
         cl::TranslationProblem::TooLong},
        {"\xff broken", cl::TranslationProblem::BadText},
    };
    for (const auto& c : cases) {
        cat::ApplyPlan plan;
        ApplyAndList({{"Short", c.msgstr}, {"bye", "再见"}}, plan);
        ASSERT_EQ(plan.problems.size(), 1u);
        EXPECT_EQ(plan.problems[0].kind, c.kind);
        EXPECT_EQ(plan.problems[0].msgid, "Short");
        EXPECT_EQ(plan.problems[0].classEntry, "Demo.class");
        EXPECT_TRUE(plan.changed.empty()) << "nothing may be written when one translation fails";
    }
}

TEST_F(Translation, CountsWhatWasNotApplied)
{
    const cat::Extraction ex = cat::Extract(program_, {false});
    const std::vector<cat::PoMessage> messages = {
        Message("Short", "短"),        Message("bye", ""),   Message("run", "跑", true), Message("nowhere", "无"),
        Message("Short", "旧", false, true), Message("one", "一", false, false, true),
    };
    const cat::ApplyPlan plan = cat::PlanApply(program_, ex, messages);
    ASSERT_TRUE(plan.problems.empty());
    EXPECT_EQ(plan.summary.textsApplied, 1u);
    EXPECT_EQ(plan.summary.placesChanged, 1u);
    EXPECT_EQ(plan.summary.classesChanged, 1u);
    EXPECT_EQ(plan.summary.untranslated, 1u);
    EXPECT_EQ(plan.summary.fuzzy, 1u);
    EXPECT_EQ(plan.summary.notFound, 1u);
    EXPECT_EQ(plan.summary.plural, 1u);
}

// A class built by hand whose pool is nearly full: one more entry would pass 65535.
std::string NearlyFullClass(std::size_t filler)
{
    std::string b = "\xCA\xFE\xBA\xBE";
    auto u2 = [&](std::size_t v) {
        b += static_cast<char>((v >> 8) & 0xFF);
        b += static_cast<char>(v & 0xFF);
    };
    auto utf8 = [&](const std::string& s) {
        b += '\x01';
        u2(s.size());
        b += s;
    };
    u2(0);
    u2(52);
    u2(6 + filler);  // pool count
    utf8("A");                 // 1
    b += '\x07'; u2(1);        // 2 Class A
    utf8("java/lang/Object");  // 3
    b += '\x07'; u2(3);        // 4 Class Object
    b += '\x08'; u2(1);        // 5 String "A", shared with the class name
    for (std::size_t i = 0; i < filler; ++i)
        utf8("f" + std::to_string(i));
    u2(0x21);
    u2(2);
    u2(4);
    u2(0);
    u2(0);
    u2(0);
    u2(0);
    return b;
}

TEST(ClassRewriter, PoolLimitIsChecked)
{
    for (const auto& [filler, fits] : {std::pair<std::size_t, bool>{65528, true}, {65529, false}}) {
        const std::string bytes = NearlyFullClass(filler);
        const auto cf = cl::classfile::ParseClassFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ASSERT_TRUE(cf.parsed);
        cat::PoolEdits edits;
        edits.detached[5] = "B";
        const cat::RewriteResult result = cat::RewriteClass(cf, edits);
        EXPECT_EQ(result.problem == cl::TranslationProblem::None, fits) << filler;
        EXPECT_EQ(result.problem == cl::TranslationProblem::PoolTooLarge, !fits) << filler;
        if (fits) {
            const auto again = cl::classfile::ParseClassFile(reinterpret_cast<const uint8_t*>(result.bytes.data()),
                                                             result.bytes.size());
            ASSERT_TRUE(again.parsed);
            EXPECT_EQ(again.constantPoolCount, 65535);
            EXPECT_EQ(again.Utf8Bytes(again.pool[5].StringIndex()), "B");
            EXPECT_EQ(again.ClassName(2), "A");
        }
    }
}

// A text two methods load from one constant, translated for the first method only: its load
// takes a new constant, the second keeps the old. A pool past 255 entries makes the first
// method's one-byte ldc grow; where its code cannot be laid out again (an attribute of its Code
// that nothing here knows may hold code offsets), the text stays as it is in that class and
// apply says so, rather than failing as a whole.
TEST(ClassRewriter, SomeMethodsLoadsTakeAConstantOfTheirOwn)
{
    struct Case {
        const char* name;
        bool oddAttribute;
        bool split;
    };
    for (const Case& c : {Case{"laid out again", false, true}, Case{"unknown code attribute", true, false}}) {
        SCOPED_TRACE(c.name);
        cl::testing::ClassFileBuilder b("Demo");
        const uint16_t robot = b.String("Robot");
        ASSERT_LT(robot, 256);
        for (int i = 0; i < 300; ++i)
            b.Utf8("filler" + std::to_string(i));
        const std::vector<uint8_t> load = {0x12, static_cast<uint8_t>(robot), 0x57, 0xB1};  // ldc; pop; return
        std::vector<cl::testing::ClassFileBuilder::Attribute> odd;
        if (c.oddAttribute)
            odd.push_back(b.Attr("OddOffsets", {0, 0}));
        b.Method("show", "()V", {b.Code(load, odd)});
        b.Method("read", "()V", {b.Code(load)});
        const std::vector<uint8_t> bytes = b.Build();

        cat::Program program;
        program.classes.push_back({"Demo.class", std::string(bytes.begin(), bytes.end()), 0});
        const cat::Extraction ex = cat::Extract(program, {false});
        cat::KeptPlaces kept;
        kept.shownIn[{0, robot}] = {0};
        const cat::ApplyPlan plan = cat::PlanApply(program, ex, {Message("Robot", "机器人")}, kept);
        ASSERT_TRUE(plan.problems.empty());
        EXPECT_EQ(plan.summary.notSplit, c.split ? 0U : 1U);
        EXPECT_EQ(plan.summary.placesChanged, c.split ? 1U : 0U);
        if (!c.split) {
            EXPECT_TRUE(plan.changed.empty()) << "nothing else changed the class";
            continue;
        }
        ASSERT_EQ(plan.changed.size(), 1U);
        const std::string& out = plan.changed.begin()->second;
        const auto again = cl::classfile::ParseClassFile(reinterpret_cast<const uint8_t*>(out.data()), out.size());
        ASSERT_TRUE(again.parsed);
        ASSERT_EQ(again.codes.size(), 2U);
        std::map<uint16_t, std::string> loaded;  // method -> the text it loads
        for (const auto& code : again.codes) {
            ASSERT_EQ(code.strings.size(), 1U);
            std::string utf8;
            ASSERT_TRUE(cl::classfile::Utf8FromModifiedUtf8(
                            again.Utf8Bytes(again.pool[code.strings[0].stringIndex].StringIndex()), utf8)
                            .Ok());
            loaded[code.method] = utf8;
        }
        EXPECT_EQ(loaded[0], "机器人");
        EXPECT_EQ(loaded[1], "Robot");
        EXPECT_EQ(again.codes[0].codeLength, 5U) << "the ldc became ldc_w";
    }
}

}  // namespace
