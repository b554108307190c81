#include "catalogue/Po.h"

#include "FailingFileSystem.h"
#include "ScratchFolder.h"
#include "Tools.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using cl::catalogue::PoEntry;
using cl::catalogue::PoHeader;
using cl::catalogue::ReadPo;
using cl::catalogue::WritePo;

// Texts that need escaping, splitting or wrapping, or that are far from ASCII.
const std::vector<std::string> kTrickyTexts = {
    "plain",
    "say \"hi\" \\ bye",
    "tab\there, cr\r, bell\a, back\b, feed\f, vtab\v",
    "line one\nline two\n",
    "\nstarts with a newline",
    "ends without\nnewline",
    std::string(300, 'x'),
    "a long sentence with many words that goes well past the page width of seventy-nine columns, "
    "so gettext would wrap it at the spaces between the words",
    "中文：找到文件",
    "한국어와 日本語 and emoji 🎉",
    "{0} of {1} {{braces}}",
    "control \x01 and \x1f inside",
};

// A translation that keeps a leading newline where the original has one, as msgfmt demands.
std::string Translated(const std::string& text)
{
    return text.rfind('\n', 0) == 0 ? "\n译：" + text.substr(1) : "译：" + text;
}

PoHeader Header()
{
    return PoHeader{"demo.jar", "zh_CN", "classlingo test"};
}

std::vector<PoEntry> MakeEntries(const std::vector<std::string>& texts, bool translated)
{
    std::vector<PoEntry> entries;
    int line = 1;
    for (const std::string& text : texts) {
        PoEntry entry;
        entry.msgid = text;
        entry.msgstr = translated ? Translated(text) : "";
        entry.references = {{"demo/App.class", static_cast<uint32_t>(line++)}, {"my dir/B c.class", 7}};
        entry.extractedComments = {"{0}, {1}: keep these slots, in this order."};
        entries.push_back(entry);
    }
    return entries;
}

class PoFiles : public cltest::ScratchFolder {};

TEST_F(PoFiles, WrittenCatalogueReadsBackTextForText)
{
    const std::string text = WritePo(Header(), MakeEntries(kTrickyTexts, true));
    const auto read = ReadPo(text, "x.po");
    ASSERT_TRUE(read.ok()) << read.error().detail << " line " << read.error().line;
    EXPECT_EQ(read->charset, "UTF-8");
    ASSERT_EQ(read->messages.size(), kTrickyTexts.size());
    for (std::size_t i = 0; i < kTrickyTexts.size(); ++i) {
        EXPECT_EQ(read->messages[i].msgid, kTrickyTexts[i]);
        EXPECT_EQ(read->messages[i].msgstr, Translated(kTrickyTexts[i]));
        EXPECT_FALSE(read->messages[i].fuzzy);
    }
}

TEST_F(PoFiles, WrittenCatalogueHasGettextLayout)
{
    PoEntry entry;
    entry.msgid = "first\nsecond";
    entry.references = {{"a.class", 3}, {"with space.class", 12}};
    entry.extractedComments = {"note"};
    const std::string text = WritePo(Header(), {entry});
    EXPECT_NE(text.find("\"Language: zh_CN\\n\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"Plural-Forms: nplurals=1; plural=0;\\n\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"Content-Type: text/plain; charset=UTF-8\\n\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"Project-Id-Version: demo.jar\\n\"\n"), std::string::npos);
    EXPECT_NE(text.find("\n#. note\n#: a.class:3 \u2068with space.class\u2069:12\n"
                        "msgid \"\"\n\"first\\n\"\n\"second\"\nmsgstr \"\"\n"),
              std::string::npos)
        << text;
}

TEST_F(PoFiles, MsgfmtAcceptsWrittenCatalogues)
{
    const std::string msgfmt = CLASSLINGO_MSGFMT;
    CLTEST_REQUIRE_TOOL("msgfmt", msgfmt);
    for (const bool translated : {false, true}) {
        const std::string path = Path(translated ? "translated.po" : "template.po");
        Write(path, WritePo(Header(), MakeEntries(kTrickyTexts, translated)));
        const std::string command = "'" + msgfmt + "' --check -o /dev/null '" + path + "' 2>'" + Path("log") + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << Read(Path("log"));
    }
}

TEST(PluralForms, FollowTheLanguage)
{
    const struct {
        const char* language;
        const char* forms;
    } cases[] = {
        {"zh_CN", "nplurals=1; plural=0;"},
        {"ja", "nplurals=1; plural=0;"},
        {"de", "nplurals=2; plural=(n != 1);"},
        {"fr_FR", "nplurals=2; plural=(n > 1);"},
        {"pt_BR", "nplurals=2; plural=(n > 1);"},
        {"pt", "nplurals=2; plural=(n != 1);"},
        {"ar", "nplurals=6; plural=n==0 ? 0 : n==1 ? 1 : n==2 ? 2 : n%100>=3 && n%100<=10 ? 3 : n%100>=11 ? 4 : 5;"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cl::catalogue::PluralFormsFor(c.language), c.forms) << c.language;
}

constexpr const char* kUtf8Header =
    "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
    "\"Plural-Forms: nplurals=2; plural=(n != 1);\\n\"\n\n";

TEST(PoReader, MarksFuzzyObsoleteAndPluralEntries)
{
    const std::string text = std::string(kUtf8Header) +
                             "msgid \"done\"\nmsgstr \"完成\"\n\n"
                             "#, fuzzy\nmsgid \"maybe\"\nmsgstr \"也许\"\n\n"
                             "msgid \"empty\"\nmsgstr \"\"\n\n"
                             "msgid \"one file\"\nmsgid_plural \"many files\"\nmsgstr[0] \"一个\"\nmsgstr[1] \"多个\"\n\n"
                             "#~ msgid \"gone\"\n#~ msgstr \"没了\"\n";
    const auto read = ReadPo(text, "t.po");
    ASSERT_TRUE(read.ok()) << read.error().detail;
    ASSERT_EQ(read->messages.size(), 5u);
    const struct {
        const char* msgid;
        const char* msgstr;
        bool fuzzy, plural, obsolete;
    } expected[] = {
        {"done", "完成", false, false, false},         {"maybe", "也许", true, false, false},
        {"empty", "", false, false, false},            {"one file", "一个", false, true, false},
        {"gone", "没了", false, false, true},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(read->messages[i].msgid, expected[i].msgid);
        EXPECT_EQ(read->messages[i].msgstr, expected[i].msgstr) << expected[i].msgid;
        EXPECT_EQ(read->messages[i].fuzzy, expected[i].fuzzy) << expected[i].msgid;
        EXPECT_EQ(read->messages[i].plural, expected[i].plural) << expected[i].msgid;
        EXPECT_EQ(read->messages[i].obsolete, expected[i].obsolete) << expected[i].msgid;
    }
}

TEST(PoReader, ConvertsTheDeclaredCharsetToUtf8)
{
    const struct {
        std::string charset;
        std::string msgstr;  // in that charset
        std::string utf8;
    } cases[] = {
        {"ISO-8859-1", "caf\xe9", "café"},
        {"GBK", "\xd6\xd0\xce\xc4", "中文"},
        {"UTF-8", "中文", "中文"},
        {"CHARSET", "ascii", "ascii"},
    };
    for (const auto& c : cases) {
        const std::string text = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=" + c.charset +
                                 "\\n\"\n\nmsgid \"x\"\nmsgstr \"" + c.msgstr + "\"\n";
        const auto read = ReadPo(text, "c.po");
        ASSERT_TRUE(read.ok()) << c.charset << ": " << read.error().detail;
        ASSERT_EQ(read->messages.size(), 1u) << c.charset;
        EXPECT_EQ(read->messages[0].msgstr, c.utf8) << c.charset;
    }
}

TEST(PoReader, ReportsBadCatalogues)
{
    const struct {
        std::string text;
        cl::ErrorKind kind;
        std::size_t line;  // 0: any
    } cases[] = {
        // gettext's lexer notices the open string on the next line, and msgfmt says so too.
        {std::string(kUtf8Header) + "msgid \"a\"\nmsgstr \"b\"\n\nmsgid \"unterminated\nmsgstr \"x\"\n",
         cl::ErrorKind::CatalogueSyntax, 10},
        {std::string(kUtf8Header) + "msgid \"a\"\nmsgstr \"b\"\nbogus line\n", cl::ErrorKind::CatalogueSyntax, 8},
        {std::string(kUtf8Header) + "msgid \"a\"\nmsgstr \"b\"\n\nmsgid \"a\"\nmsgstr \"c\"\n",
         cl::ErrorKind::CatalogueSyntax, 0},
        {"msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=NO-SUCH-CHARSET\\n\"\n\nmsgid \"x\"\nmsgstr \"y\"\n",
         cl::ErrorKind::CatalogueCharset, 0},
        {std::string(kUtf8Header) + "msgid \"x\"\nmsgstr \"\xff\xfe\"\n", cl::ErrorKind::CatalogueSyntax, 7},
    };
    for (const auto& c : cases) {
        const auto read = ReadPo(c.text, "bad.po");
        EXPECT_FALSE(read.ok()) << c.text;
        EXPECT_EQ(read.error().kind, c.kind) << c.text << "\n" << read.error().detail;
        EXPECT_EQ(read.error().path, "bad.po");
        if (c.line != 0) {
            EXPECT_EQ(read.error().line, c.line) << c.text << "\n" << read.error().detail;
        }
    }
}

TEST_F(PoFiles, FailedReadIsReportedNotParsed)
{
    const std::string path = Path("t.po");
    Write(path, std::string(kUtf8Header) + "msgid \"x\"\nmsgstr \"y\"\n");
    for (const auto step : {cltest::FailStep::OpenRead, cltest::FailStep::Read, cltest::FailStep::ShortRead}) {
        cltest::FailingFileSystem fs;
        fs.FailAt(step);
        const auto read = cl::catalogue::ReadPoFile(path, fs);
        EXPECT_TRUE(fs.Injected());
        EXPECT_FALSE(read.ok());
        EXPECT_EQ(read.error().task, cl::ErrorTask::Catalogue);
        EXPECT_EQ(read.error().path, path);
    }
    const auto good = cl::catalogue::ReadPoFile(path);
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(good->messages.at(0).msgstr, "y");
}

// A comment or a reference holding a line break (a class or entry name can) stays a comment:
// it never starts an entry of its own, and the catalogue reads back with the one entry written.
TEST(PoWriter, LineBreaksInCommentsAndNamesStartNoEntry)
{
    const std::vector<std::string> injections = {
        "a\nmsgid \"Injected\"\nmsgstr \"\"",
        "a\r\nmsgid \"Injected\"\r\nmsgstr \"\"",
        "a\rmsgid \"Injected\"",
        "\n\n#, fuzzy\nmsgid \"Injected\"\nmsgstr \"x\"\n",
    };
    for (const std::string& text : injections) {
        SCOPED_TRACE(text);
        PoEntry entry;
        entry.msgid = "Hello";
        entry.msgstr = "你好";
        entry.translatorComments = {text};
        entry.extractedComments = {text};
        entry.references = {{text + ".class", 3}, {"app/M.properties", 0, text}};
        const std::string po = WritePo(Header(), {entry});
        const auto read = ReadPo(po, "x.po");
        ASSERT_TRUE(read.ok()) << po;
        ASSERT_EQ(read->messages.size(), 1u) << po;
        EXPECT_EQ(read->messages.front().msgid, "Hello");
        EXPECT_FALSE(read->messages.front().fuzzy);
        EXPECT_EQ(po.find("\nmsgid \"Injected"), std::string::npos) << po;
    }
}

}  // namespace
