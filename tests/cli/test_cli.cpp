// classlingo-cli run in-process on hand-made class files and language packs: the printed
// list, the export bytes, the replacements and every exit status.

#include "EngineText.h"
#include "CliFixture.h"

#include <filesystem>

#include "FailingFileSystem.h"

#include "document/Replace.h"

#include <string>

using cltest::CliFixture;
using cltest::CliRun;

namespace {

// A class-file-like image: World at offset 5, Hello at 13, Code at 21 (1-based, the tag byte).
const std::string kClass = std::string("\xCA\xFE\xBA\xBE", 4) + std::string("\x01\x00\x05World", 8) +
                           std::string("\x01\x00\x05Hello", 8) +
                           std::string(
                               "\x01\x00\x04"
                               "Code",
                               7) +
                           std::string("\x00\x00", 2);

std::string Repeat(const std::string& unit, int times)
{
    std::string s;
    for (int i = 0; i < times; ++i)
        s += unit;
    return s;
}

const std::string kZhong = "\xE4\xB8\xAD";  // 中 in UTF-8

// A class-file string entry: tag 01, zero high length byte, length byte, the bytes.
std::string Entry(const std::string& text)
{
    return std::string("\x01\x00", 2) + char(text.size()) + text;
}

// A language-pack string: zero byte, length byte, the bytes.
std::string PackEntry(const std::string& text)
{
    return std::string(1, '\0') + char(text.size()) + text;
}

const std::string kPack = PackEntry("Hello") + PackEntry("abc") + "x";

class List : public CliFixture {};

TEST_F(List, PrintsOffsetLengthStatusAndCaptionPlainRowsFirst)
{
    Write(Path("A.class"), kClass);
    Write(Path("words.ini"), "World\r\nnothing\r\n");
    CliRun run = Run({"list", "--filter", Path("words.ini"), Path("A.class")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "13\t5\t2\tHello\n21\t4\t2\tCode\n5\t5\t1\tWorld\n");
    EXPECT_EQ(run.err, "");

    run = Run({"list", "--filter", Path("empty.ini"), Path("A.class")});
    EXPECT_EQ(run.status, 1) << "an unreadable word list is an error";
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(Path("empty.ini")), std::string::npos) << run.err;

    Write(Path("empty.ini"), "");
    run = Run({"list", "--filter", Path("empty.ini"), Path("A.class")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "5\t5\t2\tWorld\n13\t5\t2\tHello\n21\t4\t2\tCode\n");
}

TEST_F(List, EscapesControlCharactersAndShowsChineseAsUtf8)
{
    const std::string odd = "a\\b\tc\rd\ne";
    const std::string zero = "x\xC0\x80y";  // the class-file form of the zero character
    const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87";
    std::string image = "\xCA\xFE";
    for (const std::string& s : {odd, zero, chinese})
        image += std::string("\x01\x00", 2) + char(s.size()) + s;
    Write(Path("A.class"), image);
    Write(Path("none.ini"), "");
    CliRun run = Run({"list", "--filter", Path("none.ini"), Path("A.class")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "3\t9\t2\ta\\\\b\\tc\\rd\\ne\n15\t4\t2\tx\\0y\n22\t6\t2\t" + chinese + "\n");
}

TEST_F(List, LanguagePackKeepsFileOrderAndMarksNothingSuspicious)
{
    Write(Path("pack.lng"), kPack);
    Write(Path("words.ini"), "abc\n");
    CliRun run = Run({"list", "--pack", "--filter", Path("words.ini"), Path("pack.lng")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "0\t5\t2\tHello\n7\t3\t2\tabc\n");
    EXPECT_EQ((Entries()), (std::set<std::string>{"pack.lng", "words.ini"})) << "listing writes no backup";
}

TEST_F(List, FileThatCannotBeOpenedExitsWithOne)
{
    Write(Path("none.ini"), "");
    for (const std::string& path : {Path("missing.class"), dir_.string()}) {
        CliRun run = Run({"list", "--filter", Path("none.ini"), path});
        EXPECT_EQ(run.status, 1) << path;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("无法打开此文件!\n", 0), 0u) << run.err;
    }
}

TEST_F(List, ShortReadPrintsTheReasonAndExitsWithOne)
{
    Write(Path("A.class"), kClass);
    Write(Path("none.ini"), "");
    cltest::FailingFileSystem failing;
    failing.FailAt(cltest::FailStep::ShortRead, 1);  // the empty word list needs no read
    CliRun run = Run({"list", "--filter", Path("none.ini"), Path("A.class")}, failing);
    ASSERT_TRUE(failing.Injected());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(Path("A.class")), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("无法打开此文件!"), std::string::npos) << run.err;
}

// A file larger than the pieces it is read in is printed while it is read: when a later read
// fails, the rows already printed stay, the error follows, and the exit status says it failed.
TEST_F(List, ReadFailingPartWayThroughEndsTheListWithTheReason)
{
    std::string image;
    for (int i = 0; image.size() < (std::size_t{700} << 10); ++i)
        image += Entry("row" + std::to_string(i)) + "zz";
    Write(Path("A.class"), image);
    Write(Path("none.ini"), "");
    const CliRun whole = Run({"list", "--filter", Path("none.ini"), Path("A.class")});
    ASSERT_EQ(whole.status, 0) << whole.err;

    cltest::FailingFileSystem failing;
    failing.FailAt(cltest::FailStep::Read, 2);  // the image's second piece
    const CliRun run = Run({"list", "--filter", Path("none.ini"), Path("A.class")}, failing);
    ASSERT_TRUE(failing.Injected());
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(run.out.empty());
    EXPECT_LT(run.out.size(), whole.out.size());
    EXPECT_EQ(whole.out.compare(0, run.out.size(), run.out), 0) << "the first rows, in order";
    EXPECT_EQ(run.out.back(), '\n') << "whole lines only";
    EXPECT_EQ(run.err.rfind("读取文件“" + Path("A.class") + "”时出错", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find("无法打开此文件!"), std::string::npos) << run.err;
}

TEST_F(List, RangeErrorPrintsTheRowsFoundBeforeItAndExitsWithThree)
{
    Write(Path("none.ini"), "");
    Write(Path("A.class"), std::string("\xCA\xFE\x01\x00\x05Hello\x01", 11));
    CliRun run = Run({"list", "--filter", Path("none.ini"), Path("A.class")});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "3\t5\t2\tHello\n");
    EXPECT_EQ(run.err, "Range check error.\n");

    Write(Path("pack.lng"), std::string("\x00\x02hi\x00", 5));
    run = Run({"list", "--pack", "--filter", Path("none.ini"), Path("pack.lng")});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "0\t2\t2\thi\n");
    EXPECT_EQ(run.err, "Range check error.\n");
}

// Enough rows for the listing to pass through many batches, with offsets of one to seven digits
// and lengths of one to three: the lines must come out as written one by one, in file order,
// with the suspicious rows after the last plain one.
TEST_F(List, ManyRowsComeOutInFileOrderWithSuspiciousRowsLast)
{
    std::string classImage;
    std::string packImage;
    std::string plainLines;
    std::string suspiciousLines;
    std::string packLines;
    for (int i = 0; i < 70000; ++i) {
        std::string text = "row" + std::to_string(i);
        std::string caption = text;
        if (i % 97 == 0) {
            text = caption = "Hello";  // in the word list
        } else if (i % 1000 == 1) {
            text = caption = std::string(static_cast<std::size_t>(150 + i % 100), static_cast<char>('a' + i % 26));
        } else if (i % 31 == 2) {
            text = "tab\there";
            caption = "tab\\there";
        }
        const std::string fields = "\t" + std::to_string(text.size()) + "\t";
        // Class rows are at the 1-based position of their tag byte, pack rows at the 0-based
        // position of their zero byte.
        const std::string classLine = std::to_string(classImage.size() + 1) + fields;
        (text == "Hello" ? suspiciousLines : plainLines) +=
            classLine + (text == "Hello" ? "1\t" : "2\t") + caption + "\n";
        packLines += std::to_string(packImage.size()) + fields + "2\t" + caption + "\n";
        classImage += Entry(text) + "\x02\x03";  // two bytes that start nothing
        packImage += PackEntry(text) + "\x02\x03";
    }
    Write(Path("A.class"), classImage);
    Write(Path("pack.lng"), packImage);
    Write(Path("words.ini"), "Hello\n");

    CliRun run = Run({"list", "--filter", Path("words.ini"), Path("A.class")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, plainLines + suspiciousLines);

    run = Run({"list", "--pack", "--filter", Path("words.ini"), Path("pack.lng")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, packLines);
}

class Usage : public CliFixture {};

TEST_F(Usage, WrongUsageExitsWithTwoAndShowsTheUsage)
{
    Write(Path("A.class"), kClass);
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"translate", Path("A.class")},
        {"list"},
        {"list", Path("A.class"), Path("B.class")},
        {"list", "--verbose", Path("A.class")},
        {"list", "--filter"},
        {"export", Path("A.class")},
        {"replace", Path("A.class")},
        {"replace", Path("A.class"), "0"},
        {"replace", Path("A.class"), "0", "Hi", "1"},
    };
    for (const auto& args : wrong) {
        CliRun run = Run(args);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(run.err.find("classlingo-cli list"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(Read(Path("A.class")), kClass);
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class"}));
}

TEST_F(Usage, HelpGoesToStandardOutput)
{
    for (const char* flag : {"--help", "-h"}) {
        CliRun run = Run({flag});
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find("classlingo-cli replace"), std::string::npos) << run.out;
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(Usage, DoubleDashEndsTheOptions)
{
    Write(Path("none.ini"), "");
    // After "--" an argument that looks like an option is a FILE: opening it fails.
    CliRun run = Run({"list", "--filter", Path("none.ini"), "--", "--pack"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err.rfind("无法打开此文件!\n", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("--pack"), std::string::npos) << run.err;
}

TEST_F(Usage, OptionsMayStandBetweenAndAfterTheOperands)
{
    // Every command reads its options the same way: before, between or after its operands, the
    // command does the same thing.
    const std::string a = Path("A.class");
    const std::string words = Path("words.ini");
    const std::string none = Path("none.ini");
    struct Case {
        const char* name;
        std::vector<std::string> before;  // options first, as always accepted
        std::vector<std::string> moved;
        std::string written;  // the file the command writes, compared too; empty: none
    };
    const Case cases[] = {
        {"list", {"list", "--filter", words, a}, {"list", a, "--filter", words}, ""},
        {"list --roles", {"list", "--roles", "--filter", words, a}, {"list", a, "--roles", "--filter", words}, ""},
        {"export", {"export", "--filter", words, a, Path("A.txt")}, {"export", a, "--filter", words, Path("A.txt")},
         Path("A.txt")},
        {"replace", {"replace", "--no-backup", "--filter", none, a, "1", "Hi"},
         {"replace", "--filter", none, a, "1", "Hi", "--no-backup"}, a},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> outputs;
        std::vector<std::set<std::string>> folders;
        for (const std::vector<std::string>* args : {&c.before, &c.moved}) {
            std::filesystem::remove_all(dir_);
            std::filesystem::create_directories(dir_);
            Write(a, kClass);
            Write(words, "World\r\n");
            Write(none, "");
            const CliRun run = Run(*args);
            EXPECT_EQ(run.status, 0) << run.err;
            outputs.push_back(run.out + (c.written.empty() ? std::string() : Read(c.written)));
            folders.push_back(Entries());
        }
        EXPECT_EQ(outputs[0], outputs[1]);
        EXPECT_EQ(folders[0], folders[1]);
        EXPECT_NE(outputs[0], c.written == a ? kClass : std::string());
    }
}

TEST_F(Usage, AReplacementTextIsNeverAnOption)
{
    // TEXT may be any text: one that looks like an option, or like the end of the options, is
    // written as it is.
    for (const std::string text : {"--force", "--", "--help"}) {
        SCOPED_TRACE(text);
        Write(Path("none.ini"), "");
        Write(Path("A.class"), kClass);
        const CliRun run = Run({"replace", "--no-backup", "--filter", Path("none.ini"), Path("A.class"), "1", text});
        EXPECT_EQ(run.status, 0) << run.err;
        const CliRun listed = Run({"list", "--filter", Path("none.ini"), Path("A.class")});
        EXPECT_NE(listed.out.find("\t" + text + "\n"), std::string::npos) << listed.out;
    }
}

TEST_F(Usage, AnOperandThatLooksLikeAnOptionComesAfterDoubleDash)
{
    // A word after the operands is an option now: an output named like one is reached after "--".
    Write(Path("none.ini"), "");
    Write(Path("A.class"), kClass);
    const CliRun run = Run({"export", "--filter", Path("none.ini"), Path("A.class"), "--pack"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("export 需要 FILE 和 OUT"), std::string::npos) << run.err;
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "none.ini"}));
    const std::string sub = Path("sub");
    std::filesystem::create_directories(sub);
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(sub);
    const CliRun ended = Run({"export", "--filter", Path("none.ini"), Path("A.class"), "--", "--pack"});
    std::filesystem::current_path(cwd);
    EXPECT_EQ(ended.status, 0) << ended.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(Path("sub/--pack")));
}

class Export : public CliFixture {};

TEST_F(Export, WritesTheListAsAnsiTextWithSuspiciousRowsMarked)
{
    const std::string image =
        kClass.substr(0, kClass.size() - 2) + std::string("\x01\x00\x06", 3) + "\xE4\xB8\xAD\xE6\x96\x87";
    Write(Path("A.class"), image);
    Write(Path("words.ini"), "World\n");
    CliRun run = Run({"export", "--filter", Path("words.ini"), Path("A.class"), Path("A.txt")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    // 中文 in GBK is D6 D0 CE C4; [可疑的] is [ BF C9 D2 C9 B5 C4 ].
    EXPECT_EQ(Read(Path("A.txt")), "Hello\r\nCode\r\n\xD6\xD0\xCE\xC4\r\n[\xBF\xC9\xD2\xC9\xB5\xC4]World\r\n");
    EXPECT_EQ(Read(Path("A.class")), image);
}

TEST_F(Export, EmptyListGivesEmptyFileAndPackRowsHaveNoPrefix)
{
    Write(Path("words.ini"), "abc\n");
    Write(Path("A.class"), "no strings here");
    CliRun run = Run({"export", "--filter", Path("words.ini"), Path("A.class"), Path("A.txt")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(Path("A.txt")), "");

    Write(Path("pack.lng"), PackEntry("abc") + PackEntry("hi") + "!");
    run = Run({"export", "--pack", "--filter", Path("words.ini"), Path("pack.lng"), Path("pack.txt")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(Path("pack.txt")), "abc\r\nhi\r\n");
}

TEST_F(Export, FileThatCannotBeWrittenExitsWithOne)
{
    Write(Path("none.ini"), "");
    Write(Path("A.class"), kClass);
    CliRun run = Run({"export", "--filter", Path("none.ini"), Path("A.class"), Path("missing/A.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(Path("missing/A.txt")), std::string::npos) << run.err;

    Write(Path("A.txt"), "earlier export");
    cltest::FailingFileSystem failing;
    failing.FailAt(cltest::FailStep::HalfWrite, 1);
    run = Run({"export", "--filter", Path("none.ini"), Path("A.class"), Path("A.txt")}, failing);
    ASSERT_TRUE(failing.Injected());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Read(Path("A.txt")), "earlier export");
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "A.txt", "none.ini"}));
}

TEST_F(Export, RangeErrorExportsTheRowsFoundAndExitsWithThree)
{
    Write(Path("none.ini"), "");
    Write(Path("A.class"), std::string("\xCA\xFE\x01\x00\x05Hello\x01\x00", 12));
    CliRun run = Run({"export", "--filter", Path("none.ini"), Path("A.class"), Path("A.txt")});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "Range check error.\n");
    EXPECT_EQ(Read(Path("A.txt")), "Hello\r\n");
}

class Replace : public CliFixture {
protected:
    void SetUp() override
    {
        CliFixture::SetUp();
        Write(Path("none.ini"), "");
        Write(Path("A.class"), kClass);
    }
    CliRun Replace_(std::vector<std::string> pairs)
    {
        std::vector<std::string> args{"replace", "--filter", Path("none.ini"), Path("A.class")};
        args.insert(args.end(), pairs.begin(), pairs.end());
        return Run(args);
    }
    std::string Listed()
    {
        CliRun run = Run({"list", "--filter", Path("none.ini"), Path("A.class")});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out;
    }
    void ExpectUntouched()
    {
        EXPECT_EQ(Read(Path("A.class")), kClass);
        EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "none.ini"}));
    }
};

TEST_F(Replace, ShorterTextShrinksTheStringAndKeepsTheOriginalAsBackup)
{
    CliRun run = Replace_({"1", "Hi"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(Path("A.class")),
              "\xCA\xFE\xBA\xBE" + Entry("World") + Entry("Hi") + Entry("Code") + std::string(2, '\0'));
    EXPECT_EQ(Read(Path("A.class.bak")), kClass);
    EXPECT_EQ(Listed(), "5\t5\t2\tWorld\n13\t2\t2\tHi\n18\t4\t2\tCode\n");
}

TEST_F(Replace, SeveralPairsInTheGivenOrderWithLongerAndChineseText)
{
    const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB6\x88\xE6\x81\xAF";  // 中文消息
    CliRun run = Replace_({"0", "Hello, world!", "2", chinese, "0", "Welt"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(Path("A.class")),
              "\xCA\xFE\xBA\xBE" + Entry("Welt") + Entry("Hello") + Entry(chinese) + std::string(2, '\0'));
    EXPECT_EQ(Listed(), "5\t4\t2\tWelt\n12\t5\t2\tHello\n20\t12\t2\t" + chinese + "\n");
    EXPECT_EQ(Read(Path("A.class.bak")), kClass);
}

TEST_F(Replace, TwoHundredFiftyFiveBytesFitTwoHundredFiftySixDoNot)
{
    CliRun run = Replace_({"0", "a" + Repeat(kZhong, 86)});  // 259 bytes
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, std::string(cltext::ReplacementTooLongText()) + "\n");
    ExpectUntouched();

    run = Replace_({"1", "x", "0", "a" + Repeat(kZhong, 85)});  // 256 bytes, after a valid pair
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, std::string(cltext::ReplacementTooLongText()) + "\n");
    ExpectUntouched();

    run = Replace_({"0", Repeat(kZhong, 85)});  // 255 bytes
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string saved = Read(Path("A.class"));
    ASSERT_EQ(saved.size(), kClass.size() - 5 + 255);
    EXPECT_EQ(saved.substr(4, 3), std::string("\x01\x00\xFF", 3));
    EXPECT_EQ(saved.substr(7, 255), Repeat(kZhong, 85));
}

TEST_F(Replace, BadIndexExitsWithTwoAndTouchesNothing)
{
    for (const char* index : {"x", "-1", "+1", "1.0", "", "3", "99999999999999999999999"}) {
        CliRun run = Replace_({"0", "ok", index, "Hi"});
        EXPECT_EQ(run.status, 2) << index;
        EXPECT_FALSE(run.err.empty());
        ExpectUntouched();
    }
}

TEST_F(Replace, TextThatCannotBeStoredIsRefused)
{
    CliRun run = Replace_({"0", ""});
    EXPECT_EQ(run.status, 2);
    ExpectUntouched();

    run = Replace_({"0", "smile \xF0\x9F\x98\x80"});  // no GBK character for it
    EXPECT_EQ(run.status, 1);
    ExpectUntouched();

    run = Replace_({"0", "bad \xFF utf-8"});
    EXPECT_EQ(run.status, 1);
    ExpectUntouched();
}

TEST_F(Replace, FileThatCannotBeOpenedExitsWithOne)
{
    CliRun run = Run({"replace", "--filter", Path("none.ini"), Path("missing.class"), "0", "Hi"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("无法打开此文件!\n", 0), 0u) << run.err;
    ExpectUntouched();
}

TEST_F(Replace, RangeErrorExitsWithThreeAndWritesNothing)
{
    const std::string cut = kClass + "\x01";
    Write(Path("A.class"), cut);
    CliRun run = Replace_({"0", "Hi"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "Range check error.\n");
    EXPECT_EQ(Read(Path("A.class")), cut);
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "none.ini"}));
}

TEST_F(Replace, SaveFailureExitsWithOneAndLeavesTheFile)
{
    for (cltest::FailStep step : {cltest::FailStep::Rename, cltest::FailStep::HalfWrite, cltest::FailStep::Flush}) {
        cltest::FailingFileSystem failing;
        failing.FailAt(step, 2);  // the first is the backup's
        CliRun run = Run({"replace", "--filter", Path("none.ini"), Path("A.class"), "0", "Hi"}, failing);
        ASSERT_TRUE(failing.Injected());
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(Path("A.class")), std::string::npos) << run.err;
        EXPECT_EQ(Read(Path("A.class")), kClass);
        EXPECT_EQ(Read(Path("A.class.bak")), kClass);
        EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "A.class.bak", "none.ini"}));
    }
}

TEST_F(Replace, LanguagePackIsBackedUpAtOpening)
{
    const std::string pack = kPack;
    Write(Path("pack.lng"), pack);
    CliRun run = Run({"replace", "--pack", "--filter", Path("none.ini"), Path("pack.lng"), "1", "abcdef"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(Path("pack.lng")), PackEntry("Hello") + PackEntry("abcdef") + "x");
    EXPECT_EQ(Read(Path("pack.lng.bak")), pack);

    // Even when nothing is replaced, opening made the backup, as the window's opening does.
    Write(Path("other.lng"), pack);
    run = Run({"replace", "--pack", "--filter", Path("none.ini"), Path("other.lng"), "2", "no such row"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Read(Path("other.lng")), pack);
    EXPECT_EQ(Read(Path("other.lng.bak")), pack);
}

// A backup that cannot be made refuses the save and names the way out; --no-backup takes it,
// for a class and for a language pack (whose backup at opening is skipped too).
TEST_F(Replace, NoBackupSavesWhenTheBackupCannotBeMade)
{
    const struct {
        const char* name;
        bool pack;
        std::string bytes;
    } cases[] = {{"B.class", false, kClass}, {"B.lng", true, kPack}};
    for (const auto& c : cases) {
        const std::string path = Path(c.name);
        Write(path, c.bytes);
        std::filesystem::create_directory(path + ".bak");
        std::vector<std::string> args{"replace", "--filter", Path("none.ini"), path, "1", "Howdy"};
        if (c.pack)
            args.insert(args.begin() + 1, "--pack");
        CliRun run = Run(args);
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find("--no-backup"), std::string::npos) << run.err;
        EXPECT_EQ(Read(path), c.bytes) << c.name;

        args.insert(args.begin() + 1, "--no-backup");
        run = Run(args);
        EXPECT_EQ(run.status, 0) << c.name << ": " << run.err;
        EXPECT_NE(Read(path), c.bytes) << c.name;
        EXPECT_NE(Read(path).find("Howdy"), std::string::npos) << c.name;
        EXPECT_TRUE(std::filesystem::is_directory(path + ".bak")) << c.name;
    }
    // The option belongs to replace alone.
    EXPECT_EQ(Run({"list", "--no-backup", Path("B.class")}).status, 2);
}

TEST_F(Replace, FailedBackupAtOpeningStopsBeforeReading)
{
    Write(Path("pack.lng"), std::string("\x00\x05Hello", 7));
    cltest::FailingFileSystem failing;
    failing.FailAt(cltest::FailStep::Create, 1);
    CliRun run = Run({"replace", "--pack", "--filter", Path("none.ini"), Path("pack.lng"), "0", "Hi"}, failing);
    ASSERT_TRUE(failing.Injected());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(".bak"), std::string::npos) << run.err;
    EXPECT_EQ(Read(Path("pack.lng")), std::string("\x00\x05Hello", 7));
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "none.ini", "pack.lng"}));
}

}  // namespace
