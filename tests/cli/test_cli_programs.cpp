// classlingo-cli as a program: the Filter.ini beside the executable, exit statuses seen by
// the shell, and class files compiled by javac.

#include "CliFixture.h"
#include "Java.h"

#include <sys/wait.h>

#include <map>
#include <sstream>
#include <string>

using cltest::CliFixture;
using cltest::CliRun;

namespace {

std::string Quote(const std::string& s)
{
    return "'" + s + "'";
}

class Program : public CliFixture {
protected:
    CliRun Spawn(const std::string& exe, const std::vector<std::string>& args)
    {
        std::string command = Quote(exe);
        for (const std::string& arg : args)
            command += " " + Quote(arg);
        command += " >" + Quote(Path("stdout.txt")) + " 2>" + Quote(Path("stderr.txt"));
        CliRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = Read(Path("stdout.txt"));
        run.err = Read(Path("stderr.txt"));
        return run;
    }
    // A copy of the program in a folder of its own, so that a Filter.ini can lie beside it.
    std::string InstalledCopy()
    {
        std::filesystem::create_directory(dir_ / "bin");
        const auto exe = dir_ / "bin" / "classlingo-cli";
        std::filesystem::copy_file(CLASSLINGO_CLI_EXE, exe);
        return exe.string();
    }
};

const std::string kClass =
    std::string("\xCA\xFE\xBA\xBE", 4) + std::string("\x01\x00\x05World", 8) + std::string("\x01\x00\x05Hello", 8);

TEST_F(Program, UsesTheFilterIniBesideTheExecutable)
{
    const std::string exe = InstalledCopy();
    Write(Path("A.class"), kClass);

    CliRun run = Spawn(exe, {"list", Path("A.class")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "5\t5\t2\tWorld\n13\t5\t2\tHello\n") << "no Filter.ini: nothing is suspicious";

    Write(Path("bin/Filter.ini"), "World\r\n");
    run = Spawn(exe, {"list", Path("A.class")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "13\t5\t2\tHello\n5\t5\t1\tWorld\n");

    // --filter takes the place of Filter.ini.
    Write(Path("other.ini"), "Hello\n");
    run = Spawn(exe, {"list", "--filter", Path("other.ini"), Path("A.class")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "5\t5\t2\tWorld\n13\t5\t1\tHello\n");
}

TEST_F(Program, ExitStatusesReachTheShell)
{
    Write(Path("A.class"), kClass + "\x01");
    EXPECT_EQ(Spawn(CLASSLINGO_CLI_EXE, {}).status, 2);
    EXPECT_EQ(Spawn(CLASSLINGO_CLI_EXE, {"--help"}).status, 0);
    EXPECT_EQ(Spawn(CLASSLINGO_CLI_EXE, {"list", Path("missing.class")}).status, 1);
    CliRun run = Spawn(CLASSLINGO_CLI_EXE, {"list", Path("A.class")});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "5\t5\t2\tWorld\n13\t5\t2\tHello\n");
    EXPECT_EQ(run.err, "Range check error.\n");
}

// Class files as javac writes them: string literals are CONSTANT_Utf8 entries, listed with
// the position of their tag byte.
class JavacClasses : public CliFixture {
protected:
    void SetUp() override
    {
        CliFixture::SetUp();
        CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    }
    std::string Compile(const std::string& className, const std::string& source)
    {
        EXPECT_EQ(cltest::CompileJava(dir_.string(), className, source), "");
        return Path(className + ".class");
    }
};

struct ListedRow {
    int offset;
    int length;
    std::string status;
};

std::map<std::string, ListedRow> ParseList(const std::string& out)
{
    std::map<std::string, ListedRow> rows;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        ListedRow row{};
        std::string offset, length, caption;
        std::getline(fields, offset, '\t');
        std::getline(fields, length, '\t');
        std::getline(fields, row.status, '\t');
        std::getline(fields, caption);
        row.offset = std::stoi(offset);
        row.length = std::stoi(length);
        rows[caption] = row;
    }
    return rows;
}

TEST_F(JavacClasses, StringLiteralsAreListedAtTheirTagByte)
{
    const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB6\x88\xE6\x81\xAF";  // 中文消息
    const std::string path = Compile("Messages",
                                     "public class Messages {\n"
                                     "    public static void main(String[] args) {\n"
                                     "        System.out.println(\"Hello, translator\");\n"
                                     "        System.out.println(\"Second message\");\n"
                                     "        System.out.println(\"" +
                                         chinese +
                                         "\");\n"
                                         "    }\n"
                                         "}\n");
    const std::string bytes = Read(path);
    Write(Path("words.ini"), "Second message\n");
    CliRun run = Run({"list", "--filter", Path("words.ini"), path});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = ParseList(run.out);

    for (const std::string& literal : {std::string("Hello, translator"), std::string("Second message"), chinese}) {
        ASSERT_EQ(rows.count(literal), 1u) << literal << "\n" << run.out;
        const ListedRow& row = rows.at(literal);
        const std::string entry = std::string("\x01\x00", 2) + char(literal.size()) + literal;
        const auto at = bytes.find(entry);
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(row.offset, static_cast<int>(at) + 1) << literal;
        EXPECT_EQ(row.length, static_cast<int>(literal.size()));
        EXPECT_EQ(row.status, literal == "Second message" ? "1" : "2");
    }
    // Names and descriptors of the JDK are left out.
    for (const auto& [caption, row] : rows) {
        EXPECT_EQ(caption.find("java/"), std::string::npos) << caption;
        EXPECT_NE(caption.front(), '(') << caption;
        EXPECT_NE(caption, "<init>");
    }
    // The suspicious row comes last.
    EXPECT_EQ(run.out.substr(run.out.rfind('\n', run.out.size() - 2) + 1),
              std::to_string(rows.at("Second message").offset) + "\t14\t1\tSecond message\n");
}

TEST_F(JavacClasses, ReplacedLiteralLandsInTheClassFile)
{
    const std::string path = Compile("Greeting",
                                     "public class Greeting {\n"
                                     "    static final String WHO = \"world\";\n"
                                     "    public static void main(String[] args) {\n"
                                     "        System.out.println(\"Good morning, \" + args.length);\n"
                                     "    }\n"
                                     "}\n");
    const std::string original = Read(path);
    Write(Path("none.ini"), "");
    CliRun run = Run({"list", "--filter", Path("none.ini"), path});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = ParseList(run.out);
    ASSERT_EQ(rows.count("world"), 1u) << run.out;
    int index = 0;
    {
        std::istringstream lines(run.out);
        std::string line;
        while (std::getline(lines, line) && line.substr(line.rfind('\t') + 1) != "world")
            ++index;
    }
    const std::string chinese = "\xE4\xB8\x96\xE7\x95\x8C";  // 世界
    run = Run({"replace", "--filter", Path("none.ini"), path, std::to_string(index), chinese});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string saved = Read(path);
    const int offset = rows.at("world").offset;
    EXPECT_EQ(saved.substr(static_cast<std::size_t>(offset - 1), 3 + 6), std::string("\x01\x00\x06", 3) + chinese);
    EXPECT_EQ(saved.size(), original.size() + 1);
    EXPECT_EQ(Read(path + ".bak"), original);
}

}  // namespace
