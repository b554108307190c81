// classlingo-cli on bad input: paths that are not readable files, empty, huge, random and cut
// files, word lists with every kind of line end, and saves that fail half way. Each case must
// end with a clear message and a defined exit status, and must leave the input file exactly as
// it was (bytes, modification time, inode) unless a save succeeded.

#include "CliFixture.h"

#include "FailingFileSystem.h"
#include "FileState.h"
#include "OrdinaryUser.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using cltest::CliFixture;
using cltest::CliRun;
using cltest::FileState;
using cltest::OrdinaryUser;

namespace {

const std::string kCannotOpen = "无法打开此文件!\n";
const std::string kRangeError = "Range check error.\n";

std::string Entry(const std::string& text)
{
    return std::string("\x01\x00", 2) + char(text.size()) + text;
}
std::string PackEntry(const std::string& text)
{
    return std::string(1, '\0') + char(text.size()) + text;
}

// A small but complete class file: constant pool with the class names, two string literals
// (one Chinese) and no members.
std::string MinimalClass()
{
    std::string c("\xCA\xFE\xBA\xBE\x00\x00\x00\x3D\x00\x09", 10);
    c += Entry("Greeting") + std::string("\x07\x00\x01", 3);
    c += Entry("java/lang/Object") + std::string("\x07\x00\x03", 3);
    c += Entry("Hello, world") + std::string("\x08\x00\x05", 3);
    c += Entry("\xE6\x89\x93\xE5\xBC\x80\xE6\x96\x87\xE4\xBB\xB6") + std::string("\x08\x00\x07", 3);  // 打开文件
    c += std::string("\x00\x21\x00\x02\x00\x04\x00\x00\x00\x00\x00\x00\x00\x00", 14);
    return c;
}

struct ListedRow {
    int64_t offset = 0;
    int64_t length = 0;
    std::string status;
    std::string caption;
};

std::vector<ListedRow> ParseList(const std::string& out)
{
    std::vector<ListedRow> rows;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        ListedRow row;
        std::string offset, length;
        std::getline(fields, offset, '\t');
        std::getline(fields, length, '\t');
        std::getline(fields, row.status, '\t');
        std::getline(fields, row.caption);
        row.offset = std::stoll(offset);
        row.length = std::stoll(length);
        rows.push_back(row);
    }
    return rows;
}

// True when the last UTF-8 sequence of `s` misses bytes (lead bytes 0xE0 and up start three).
bool EndsInsideACharacter(const std::string& s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<uint8_t>(s[i]);
        i += b < 0x80 ? 1 : (b & 0x20) != 0 ? 3 : 2;
    }
    return i > s.size();
}

class BadInput : public CliFixture {
protected:
    void SetUp() override
    {
        CliFixture::SetUp();
        Write(Path("none.ini"), "");
    }

    static void Age(const std::string& path) { ASSERT_TRUE(FileState::Age(path)) << path; }
    static FileState State(const std::string& path, bool readBytes = true) { return FileState::Of(path, readBytes); }

    // Runs a copy of the program (so that a Filter.ini can lie beside it), as `user` when
    // given; without a shell, which could give up or keep privileges on its own.
    CliRun Spawn(const std::vector<std::string>& args, const OrdinaryUser* user = nullptr)
    {
        std::vector<std::string> storage{Installed()};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : storage)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        CliRun run;
        if (out == nullptr || err == nullptr) {
            ADD_FAILURE() << "no temporary files for the output";
            return run;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(::fileno(out), 1);
            ::dup2(::fileno(err), 2);
            if (user && user->IsSwitch()) {
                if (::setgroups(0, nullptr) != 0 || ::setgid(user->Gid()) != 0 || ::setuid(user->Uid()) != 0)
                    ::_exit(126);
            }
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (child < 0) {
            ADD_FAILURE() << "fork failed";
            return run;
        }
        int raw = 0;
        EXPECT_EQ(::waitpid(child, &raw, 0), child);
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        for (auto [file, text] : {std::pair{out, &run.out}, std::pair{err, &run.err}}) {
            std::rewind(file);
            char buffer[4096];
            size_t n = 0;
            while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
                text->append(buffer, n);
            std::fclose(file);
        }
        return run;
    }
    std::string Installed()
    {
        const auto exe = dir_ / "bin" / "classlingo-cli";
        if (!std::filesystem::exists(exe)) {
            std::filesystem::create_directory(dir_ / "bin");
            std::filesystem::copy_file(CLASSLINGO_CLI_EXE, exe);
        }
        return exe.string();
    }

    // The four commands that read FILE, each writing its export to OUT.
    std::vector<std::vector<std::string>> Commands(const std::string& file) const
    {
        const std::string filter = Path("none.ini");
        return {
            {"list", "--filter", filter, file},
            {"export", "--filter", filter, file, Path("OUT.txt")},
            {"replace", "--filter", filter, file, "0", "Hi"},
            {"replace", "--pack", "--filter", filter, file, "0", "Hi"},
        };
    }
};

// ---------------------------------------------------------------------------------------

TEST_F(BadInput, MissingPathFolderOrPipeCannotBeOpened)
{
    std::filesystem::create_directory(Path("folder.class"));
    ASSERT_EQ(::mkfifo(Path("fifo.class").c_str(), 0644), 0);
    Age(Path("folder.class"));
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {Path("missing.class"), std::make_error_code(std::errc::no_such_file_or_directory).message()},
        {Path("no/such/folder/A.class"), std::make_error_code(std::errc::no_such_file_or_directory).message()},
        {Path("folder.class"), std::make_error_code(std::errc::is_a_directory).message()},
        {Path("fifo.class"), std::make_error_code(std::errc::no_such_device).message()},
    };
    const auto entries = Entries();
    for (const auto& c : cases) {
        const FileState before = State(c.path);
        for (const auto& args : Commands(c.path)) {
            CliRun run = Run(args);
            EXPECT_EQ(run.status, 1) << args[0] << " " << c.path;
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, kCannotOpen + "无法打开文件“" + c.path + "”（" + c.reason + "）。\n");
            EXPECT_EQ(State(c.path), before) << c.path;
            EXPECT_EQ(Entries(), entries) << "no backup, export or temporary file: " << args[0];
        }
    }
}

TEST_F(BadInput, EmptyFileHasNoRowsAndIsNeverWritten)
{
    Write(Path("E.class"), "");
    Age(Path("E.class"));
    const FileState before = State(Path("E.class"));
    const auto commands = Commands(Path("E.class"));

    CliRun run = Run(commands[0]);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");

    run = Run(commands[1]);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(Path("OUT.txt")), "");

    run = Run(commands[2]);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("INDEX 0 超出范围：列表共有 0 行"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(Path("E.class.bak"))) << "a class file is backed up only when saved";

    run = Run(commands[3]);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("INDEX 0 超出范围：列表共有 0 行"), std::string::npos) << run.err;
    EXPECT_EQ(Read(Path("E.class.bak")), "") << "a language pack is backed up when opened";

    EXPECT_EQ(State(Path("E.class")), before);
}

TEST_F(BadInput, FileWithoutPermissionIsRefusedButAReadOnlyOneCanBeListed)
{
    OrdinaryUser user;
    if (!user.Available())
        GTEST_SKIP() << "no ordinary user to run as";
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    user.Own(Path("none.ini"));
    const std::string denied = std::make_error_code(std::errc::permission_denied).message();
    const struct {
        const char* name;
        mode_t mode;
    } cases[] = {{"read-only.class", 0444}, {"write-only.class", 0222}, {"no-access.class", 0000}};
    for (const auto& c : cases) {
        const std::string path = Path(c.name);
        Write(path, MinimalClass());
        user.Own(path);
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        Age(path);
        const FileState before = State(path, false);
        const auto entries = Entries();
        for (const auto& args : Commands(path)) {
            // Listing and exporting only read, so a read-only file serves them.
            const bool reads = c.mode == 0444 && args[0] != "replace";
            CliRun run;
            user.Run([&] { run = Run(args); });
            if (reads) {
                // The file opens; an export can then only fail at its own target (the ordinary
                // user may not write into this folder).
                if (args[0] == "list") {
                    EXPECT_EQ(run.status, 0) << run.err;
                }
                EXPECT_EQ(run.err.find(kCannotOpen), std::string::npos) << args[0] << ": " << run.err;
                EXPECT_EQ(run.err.find(path), std::string::npos) << args[0] << ": " << run.err;
                EXPECT_EQ(State(path, false), before) << c.name;
                std::remove(Path("OUT.txt").c_str());
                continue;
            }
            EXPECT_EQ(run.status, 1) << args[0] << " " << c.name;
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, kCannotOpen + "无法打开文件“" + path + "”（" + denied + "）。\n");
            EXPECT_EQ(State(path, false), before) << c.name;
            EXPECT_EQ(Entries(), entries) << args[0] << " " << c.name;
        }
    }
}

TEST_F(BadInput, UnwritableFolderStopsTheSaveBeforeAnythingChanges)
{
    OrdinaryUser user;
    if (!user.Available())
        GTEST_SKIP() << "no ordinary user to run as";
    const std::string path = Path("A.class");
    Write(path, MinimalClass());
    user.Own(path);
    user.Own(Path("none.ini"));
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    // Root owns the folder: the ordinary user may change the file but create nothing beside it.
    ASSERT_EQ(::chmod(dir_.c_str(), user.IsSwitch() ? 0755 : 0555), 0);
    Age(path);
    const FileState before = State(path);
    CliRun run;
    user.Run([&] { run = Run({"replace", "--force", "--filter", Path("none.ini"), path, "0", "Hi"}); });
    ::chmod(dir_.c_str(), 0755);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("无法在文件夹“" + dir_.string() + "”中创建临时文件"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("因此没有保存，保持不变。"), std::string::npos) << run.err;
    EXPECT_EQ(State(path), before);
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "none.ini"}));
}

TEST_F(BadInput, FilesOfTwoGibibytesOrMoreAreRefusedUnread)
{
    // 2^32 and 2^32 + 10 would look like 0 and 10 bytes if the size were cut to 32 bits.
    for (const uint64_t size : {uint64_t{1} << 31, uint64_t{1} << 32, (uint64_t{1} << 32) + 10}) {
        const std::string path = Path("huge.class");
        Write(path, "");
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);  // sparse: takes no disk space
        Age(path);
        const FileState before = State(path, false);
        const auto entries = Entries();
        for (const auto& args : Commands(path)) {
            CliRun run = Run(args);
            EXPECT_EQ(run.status, 1) << args[0] << " " << size;
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err,
                      "文件“" + path + "”有 " + std::to_string(size) + " 字节，达到或超过 2 GiB，无法打开。\n");
            EXPECT_EQ(State(path, false), before);
            EXPECT_EQ(Entries(), entries) << "nothing copied or exported: " << args[0];
        }
        ASSERT_EQ(::unlink(path.c_str()), 0);
    }
}

TEST_F(BadInput, RandomBytesAreListedReplacedAndSavedWithABackup)
{
    std::mt19937 random(20240611);
    std::string bytes(64 * 1024, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random() & 0xFF);
    // A last byte that is neither 01 nor 00 cannot cut a pattern short, in either kind of file.
    bytes.back() = 'y';

    for (const bool pack : {false, true}) {
        const std::string path = Path(pack ? "random.lng" : "random.class");
        Write(path, bytes);
        Age(path);
        const FileState before = State(path);
        std::vector<std::string> list{"list", "--filter", Path("none.ini"), path};
        if (pack)
            list.insert(list.begin() + 1, "--pack");
        CliRun run = Run(list);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const std::vector<ListedRow> rows = ParseList(run.out);
        for (const ListedRow& row : rows) {
            // Each row names its length bytes: zero high byte at offset + 1, low byte at offset + 2.
            ASSERT_GE(row.offset, pack ? 0 : 1);
            ASSERT_LE(row.offset + 2 + row.length, static_cast<int64_t>(bytes.size()));
            if (!pack) {
                EXPECT_EQ(bytes[static_cast<size_t>(row.offset - 1)], '\x01');
            }
            EXPECT_EQ(bytes[static_cast<size_t>(row.offset)], '\0');
            EXPECT_GE(static_cast<uint8_t>(bytes[static_cast<size_t>(row.offset + 1)]), row.length);
        }
        EXPECT_EQ(State(path), before) << "listing changes nothing";
        if (rows.empty())
            continue;

        // Replacing the first row rewrites exactly its length byte and its bytes.
        std::vector<std::string> replace{"replace", "--filter", Path("none.ini"), path, "0", "Hi"};
        if (pack)
            replace.insert(replace.begin() + 1, "--pack");
        run = Run(replace);
        ASSERT_EQ(run.status, 0) << run.err;
        const ListedRow& first = rows.front();
        const std::string expected = bytes.substr(0, static_cast<size_t>(first.offset + 1)) +
                                     "\x02"
                                     "Hi" +
                                     bytes.substr(static_cast<size_t>(first.offset + 2 + first.length));
        EXPECT_EQ(Read(path), expected);
        EXPECT_EQ(Read(path + ".bak"), bytes);
        EXPECT_NE(State(path).inode, before.inode) << "saved through a new file";
    }
    // The pack scan lists strings in random bytes (any zero byte followed by a length).
    EXPECT_TRUE(std::filesystem::exists(Path("random.lng.bak")));
}

TEST_F(BadInput, CutClassFileListsWhatIsLeftAndFailsOnlyOnACutPattern)
{
    const std::string whole = MinimalClass();
    std::vector<std::string> seenErrors;
    for (size_t length = 0; length <= whole.size(); ++length) {
        const std::string cut = whole.substr(0, length);
        const std::string path = Path("cut.class");
        Write(path, cut);
        Age(path);
        const FileState before = State(path);
        CliRun run = Run({"list", "--filter", Path("none.ini"), path});
        // Only a tag byte 01, or 01 00, at the very end leaves a pattern without its length.
        const bool cutPattern = (length >= 1 && cut.back() == '\x01') ||
                                (length >= 2 && cut.compare(length - 2, 2, std::string("\x01\x00", 2)) == 0);
        EXPECT_EQ(run.status, cutPattern ? 3 : 0) << "length " << length;
        EXPECT_EQ(run.err, cutPattern ? kRangeError : "") << "length " << length;
        for (const ListedRow& row : ParseList(run.out)) {
            ASSERT_LE(row.offset + 2 + row.length, static_cast<int64_t>(length));
            EXPECT_EQ(cut.substr(static_cast<size_t>(row.offset - 1), 2), std::string("\x01\x00", 2));
            // A string cut inside a character is not valid UTF-8: listed with an empty caption.
            const std::string found = cut.substr(static_cast<size_t>(row.offset + 2), static_cast<size_t>(row.length));
            EXPECT_EQ(row.caption, EndsInsideACharacter(found) ? "" : found) << "length " << length;
        }
        EXPECT_EQ(State(path), before) << "length " << length;
    }

    // Cut inside "Hello, world": the string is listed with the bytes that are there, and
    // replacing it saves a file whose length byte fits the new text.
    const size_t hello = whole.find("Hello, world");
    const std::string cut = whole.substr(0, hello + 5);
    Write(Path("cut.class"), cut);
    CliRun run = Run({"list", "--filter", Path("none.ini"), Path("cut.class")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "11\t8\t2\tGreeting\n" + std::to_string(hello - 2) + "\t5\t2\tHello\n");
    run = Run({"replace", "--filter", Path("none.ini"), Path("cut.class"), "1", "Hi"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(Path("cut.class")), whole.substr(0, hello - 1) +
                                           "\x02"
                                           "Hi");
    EXPECT_EQ(Read(Path("cut.class.bak")), cut);
}

TEST_F(BadInput, ClassFileEndingInTagByteStopsWithRangeError)
{
    const std::string path = Path("A.class");
    const std::string bytes = MinimalClass() + "\x01";
    Write(path, bytes);
    Age(path);
    const FileState before = State(path);
    const std::string rows =
        "11\t8\t2\tGreeting\n47\t12\t2\tHello, world\n65\t12\t2\t\xE6\x89\x93\xE5\xBC\x80\xE6\x96\x87\xE4\xBB\xB6\n";

    CliRun run = Run({"list", "--filter", Path("none.ini"), path});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, rows);
    EXPECT_EQ(run.err, kRangeError);

    run = Run({"export", "--filter", Path("none.ini"), path, Path("OUT.txt")});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, kRangeError);
    EXPECT_EQ(Read(Path("OUT.txt")),
              "Greeting\r\nHello, world\r\n\xB4\xF2\xBF\xAA\xCE\xC4\xBC\xFE\r\n");  // 打开文件 in GBK

    run = Run({"replace", "--filter", Path("none.ini"), path, "0", "Hi"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, kRangeError);
    EXPECT_EQ(State(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

    // The language-pack form of the same fault: a zero byte at the very end.
    const std::string pack = PackEntry("Hello") + std::string(1, '\0');
    Write(Path("P.lng"), pack);
    Age(Path("P.lng"));
    const FileState packBefore = State(Path("P.lng"));
    run = Run({"replace", "--pack", "--filter", Path("none.ini"), Path("P.lng"), "0", "Hi"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, kRangeError);
    EXPECT_EQ(State(Path("P.lng")), packBefore);
    EXPECT_EQ(Read(Path("P.lng.bak")), pack) << "opening a language pack backs it up";
}

TEST_F(BadInput, LengthBytePastTheEndIsCutAndReplaceable)
{
    const std::string cls = std::string("\xCA\xFE\xBA\xBE", 4) + std::string("\x01\x00\xFF", 3) + "abc";
    const std::string pack = std::string("\x00\xFF", 2) + "abc";
    const struct {
        const char* name;
        bool pack;
        std::string bytes;
        std::string listed;
        std::string saved;
    } cases[] = {
        {"A.class", false, cls, "5\t3\t2\tabc\n", std::string("\xCA\xFE\xBA\xBE\x01\x00\x02", 7) + "Hi"},
        {"P.lng", true, pack, "0\t3\t2\tabc\n", std::string("\x00\x02", 2) + "Hi"},
    };
    for (const auto& c : cases) {
        const std::string path = Path(c.name);
        Write(path, c.bytes);
        std::vector<std::string> list{"list", "--filter", Path("none.ini"), path};
        std::vector<std::string> replace{"replace", "--filter", Path("none.ini"), path, "0", "Hi"};
        if (c.pack) {
            list.insert(list.begin() + 1, "--pack");
            replace.insert(replace.begin() + 1, "--pack");
        }
        CliRun run = Run(list);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.listed);
        run = Run(replace);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Read(path), c.saved);
        EXPECT_EQ(Read(path + ".bak"), c.bytes);
    }
}

TEST_F(BadInput, WordListLineEndsAndZeroByte)
{
    // CR, LF, CR LF and LF CR end lines (LF CR is two line ends, with an empty line between);
    // a zero byte ends the list, so Zeta is not in it.
    const std::string words = std::string("Alpha\rBeta\nGamma\r\nDelta\n\rEpsilon\0Zeta\n", 38);
    std::string image = "\xCA\xFE\xBA\xBE";
    for (const char* s : {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta", "Gamma\r", "Alpha\rBeta"})
        image += Entry(s);
    Write(Path("A.class"), image);
    const std::string expected =
        "46\t4\t2\tZeta\n53\t6\t2\tGamma\\r\n62\t10\t2\tAlpha\\rBeta\n"
        "5\t5\t1\tAlpha\n13\t4\t1\tBeta\n20\t5\t1\tGamma\n28\t5\t1\tDelta\n36\t7\t1\tEpsilon\n";

    Write(Path("words.ini"), words);
    CliRun run = Run({"list", "--filter", Path("words.ini"), Path("A.class")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expected);

    // The same bytes as Filter.ini beside the program.
    Installed();
    Write(Path("bin/Filter.ini"), words);
    run = Spawn({"list", Path("A.class")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expected);

    // A Filter.ini that is a folder is no word list: nothing is suspicious.
    std::filesystem::remove(Path("bin/Filter.ini"));
    std::filesystem::create_directory(Path("bin/Filter.ini"));
    run = Spawn({"list", Path("A.class")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("\t1\t"), std::string::npos) << run.out;
    EXPECT_EQ(ParseList(run.out).size(), 8u);

    // A word list named on the command line must exist.
    run = Run({"list", "--filter", Path("missing.ini"), Path("A.class")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "无法读取词表：无法打开文件“" + Path("missing.ini") + "”（" +
                           std::make_error_code(std::errc::no_such_file_or_directory).message() + "）。\n");
    run = Run({"list", "--filter", Path("bin"), Path("A.class")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "无法读取词表：无法打开文件“" + Path("bin") + "”（" +
                           std::make_error_code(std::errc::is_a_directory).message() + "）。\n");
}

TEST_F(BadInput, UnreadableFilterIniBesideTheProgramIsAnError)
{
    OrdinaryUser user;
    if (!user.Available())
        GTEST_SKIP() << "no ordinary user to run as";
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    Installed();
    Write(Path("bin/Filter.ini"), "Hello\n");
    ASSERT_EQ(::chmod(Path("bin/Filter.ini").c_str(), 0000), 0);
    Write(Path("A.class"), MinimalClass());
    user.Own(Path("A.class"));
    Age(Path("A.class"));
    const FileState before = State(Path("A.class"));
    for (const char* command : {"list", "replace"}) {
        std::vector<std::string> args{command, Path("A.class")};
        if (args[0] == "replace")
            args.insert(args.end(), {"0", "Hi"});
        CliRun run = Spawn(args, &user);
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "Cannot open file " + Path("bin/Filter.ini") + "\n");
        EXPECT_EQ(State(Path("A.class")), before);
        EXPECT_FALSE(std::filesystem::exists(Path("A.class.bak")));
    }
}

TEST_F(BadInput, SaveThatFailsHalfWayLeavesTheFileAsItWas)
{
    const std::string cls = MinimalClass();
    const std::string pack = PackEntry("Hello") + PackEntry("World") + "x";
    // Writes in order: a class file's backup at saving, then the file; a language pack's
    // backup at opening, its backup at saving, then the file.
    const struct {
        const char* name;
        bool pack;
        std::string bytes;
        int writes;
    } cases[] = {{"A.class", false, cls, 2}, {"P.lng", true, pack, 3}};
    for (const auto& c : cases) {
        const std::string path = Path(c.name);
        for (int failing = 1; failing <= c.writes; ++failing) {
            Write(path, c.bytes);
            Write(path + ".bak", "older backup");
            Age(path);
            Age(path + ".bak");
            const FileState before = State(path);
            const FileState backupBefore = State(path + ".bak");
            const auto entries = Entries();

            cltest::FailingFileSystem fs;
            fs.FailAt(cltest::FailStep::HalfWrite, failing, std::errc::no_space_on_device);
            std::vector<std::string> args{"replace", "--force", "--filter", Path("none.ini"), path, "0", "Hi"};
            if (c.pack)
                args.insert(args.begin() + 1, "--pack");
            CliRun run = Run(args, fs);
            ASSERT_TRUE(fs.Injected()) << c.name << " write " << failing;
            EXPECT_EQ(run.status, 1) << c.name << " write " << failing;
            // The write that fails is the backup's, the one at opening of a pack included, or
            // the new file's; the backup at saving also says that the file was not saved.
            const std::string reason =
                "写入临时文件失败（" + std::make_error_code(std::errc::no_space_on_device).message() + "）。";
            const std::string quoted = "“" + path + "”";
            std::string expected;
            if (failing == c.writes) {
                expected = "无法保存文件" + quoted + "：" + reason + "原文件保持不变。\n";
            } else {
                expected = "无法把文件" + quoted + "备份到“" + path + ".bak”：" + reason + "原有的备份文件保持不变。";
                if (!(c.pack && failing == 1))
                    expected += "文件" + quoted + "因此没有保存，保持不变。";
                expected += "\n如果不要备份也要保存，请加上 --no-backup。\n";
            }
            EXPECT_EQ(run.err, expected) << c.name << " write " << failing;
            EXPECT_EQ(State(path), before) << c.name << " write " << failing;
            EXPECT_EQ(Entries(), entries) << "no temporary file is left: " << c.name << " write " << failing;
            // A failed backup keeps the older one; a failed save keeps the new one.
            const bool backupWritten = failing == c.writes;
            if (backupWritten) {
                EXPECT_EQ(Read(path + ".bak"), c.bytes);
            } else if (!c.pack || failing == 1) {
                EXPECT_EQ(State(path + ".bak"), backupBefore) << c.name << " write " << failing;
            }
        }
        // The same save without the fault succeeds and does change the file.
        const FileState before = State(path);
        std::vector<std::string> args{"replace", "--force", "--filter", Path("none.ini"), path, "0", "Hi"};
        if (c.pack)
            args.insert(args.begin() + 1, "--pack");
        CliRun run = Run(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(State(path), before);
        EXPECT_EQ(Read(path + ".bak"), c.bytes);
    }
}

// Row 0 is the class's own name; --force lets these tests about saving replace it.
TEST_F(BadInput, BackupPathTakenByAFolderStopsTheSave)
{
    const std::string path = Path("A.class");
    Write(path, MinimalClass());
    std::filesystem::create_directory(path + ".bak");
    Age(path);
    const FileState before = State(path);
    CliRun run = Run({"replace", "--force", "--filter", Path("none.ini"), path, "0", "Hi"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("“" + path + ".bak”不是普通文件"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("因此没有保存，保持不变。"), std::string::npos) << run.err;
    EXPECT_EQ(State(path), before);
    EXPECT_TRUE(std::filesystem::is_directory(path + ".bak"));
    EXPECT_EQ((Entries()), (std::set<std::string>{"A.class", "A.class.bak", "none.ini"}));
}

}  // namespace

TEST_F(BadInput, ExportOverTheInputFileOrItsBackupIsRefused)
{
    const std::string path = Path("A.class");
    const std::string bytes = MinimalClass();
    Write(path, bytes);
    Write(path + ".bak", "older copy");
    Age(path);
    const FileState before = State(path);
    std::filesystem::create_symlink(path, Path("link.class"));

    for (const std::string& out : {path, path + ".bak", Path("link.class"), Path("./A.class")}) {
        CliRun run = Run({"export", "--filter", Path("none.ini"), path, out});
        EXPECT_EQ(run.status, 1) << out;
        EXPECT_NE(run.err.find("不能导出到"), std::string::npos) << run.err;
    }
    EXPECT_EQ(State(path), before);
    EXPECT_EQ(Read(path + ".bak"), "older copy");

    // Any other existing file is overwritten, as the window's export does.
    Write(Path("old.txt"), "stale");
    EXPECT_EQ(Run({"export", "--filter", Path("none.ini"), path, Path("old.txt")}).status, 0);
    EXPECT_EQ(Read(Path("old.txt")).substr(0, 10), "Greeting\r\n");
}
