// classlingo-cli extract and apply on jars made at test time by the tools translators' programs
// come from: the JDK's jar (UTF-8 names, directory entries, data descriptors, stored with cf0),
// Info-ZIP's zip (with and without directory entries, streamed through a pipe, with an archive
// comment, with its extended-timestamp extra fields), a jar with an entry over 1 MiB, a
// self-running jar (a launcher script in front, under both offset conventions) and Debian's
// commons-lang3.jar. For each: extract, then apply with one translation and with none; the
// exit status; `unzip -t`; every unchanged entry compared record by record with the engine's
// zip reader; and java running the translated class. Then a hostile jar: a 100 MiB class of
// zeros that the read must refuse at its 64 MiB limit, without taking the memory.

#include "ChildProcess.h"
#include "Java.h"
#include "ZipComparison.h"
#include "zip/ZipLayout.h"
#include "zip/ZipRecords.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kCli = CLASSLINGO_CLI_EXE;
const std::string kJavac = CLASSLINGO_JAVAC;
const std::string kJava = CLASSLINGO_JAVA;
const std::string kJar = CLASSLINGO_JAR;
const std::string kZip = CLASSLINGO_ZIP;
const std::string kUnzip = CLASSLINGO_UNZIP;
const std::string kDebianJar = "/usr/share/java/commons-lang3.jar";

const char* const kAppSource = R"(package demo;

public class App {
    public static void main(String[] args) {
        System.out.println("Hello, translator");
        System.out.println(帮手.name());
    }
}

class 帮手 {
    static String name() {
        return "helper";
    }
}
)";

// Shows one string of Debian's commons-lang3: Pair.toString() builds "(left,right)".
const char* const kPairSource = R"(public class PairDemo {
    public static void main(String[] args) {
        System.out.println(org.apache.commons.lang3.tuple.Pair.of("a", "b"));
    }
}
)";

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string Quote(const std::string& text)
{
    return "'" + text + "'";
}

bool UnderAddressSanitizer()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

// The catalogue with `msgid` translated as `msgstr`, and the entries its references name
// (the classes the translation changes); nothing when the catalogue does not offer it.
bool Translate(const std::string& po, const std::string& msgid, const std::string& msgstr, std::string& translated,
               std::set<std::string>& classes)
{
    const std::string wanted = "\nmsgid \"" + msgid + "\"\nmsgstr \"\"\n";
    const std::size_t at = po.find(wanted);
    if (at == std::string::npos)
        return false;
    translated = po.substr(0, at) + "\nmsgid \"" + msgid + "\"\nmsgstr \"" + msgstr + "\"\n" +
                 po.substr(at + wanted.size());
    std::size_t line = po.rfind("\n\n", at);
    line = line == std::string::npos ? 0 : line + 2;
    while (line < at) {
        const std::size_t next = po.find('\n', line);
        if (po.compare(line, 3, "#: ") == 0)
            classes.insert(po.substr(line + 3, po.rfind(':', next) - line - 3));
        line = next + 1;
    }
    return true;
}

// The demo program compiled once per build tree and kept, so that each test process (CTest
// runs every test on its own) does not start javac again: a folder per version of the sources,
// made under a temporary name and renamed into place whole.
std::string CompiledOnce()
{
    const std::string sources = std::string(kAppSource) + kPairSource;
    const fs::path cache = fs::path(CLASSLINGO_CORPUS_CACHE) / std::to_string(std::hash<std::string>()(sources));
    if (fs::exists(cache / "done"))
        return cache.string();
    fs::create_directories(cache.parent_path());
    std::string pattern = (cache.parent_path() / "making-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return "";
    const fs::path work(pattern);
    fs::create_directories(work / "src" / "demo");
    fs::create_directories(work / "classes" / "资源");
    fs::create_directories(work / "pair");
    WriteBytes((work / "src" / "demo" / "App.java").string(), kAppSource);
    WriteBytes((work / "src" / "PairDemo.java").string(), kPairSource);
    WriteBytes((work / "classes" / "资源" / "说明.txt").string(), "说明：一个非 ASCII 名字的资源。\n");
    std::string said = cltest::CompileJavaFile((work / "src" / "demo" / "App.java").string(),
                                        (work / "classes").string());
    if (said.empty() && fs::exists(kDebianJar))
        said = cltest::CompileJavaFile((work / "src" / "PairDemo.java").string(), (work / "pair").string(),
                                "-cp " + kDebianJar);
    if (!said.empty()) {
        ADD_FAILURE() << said;
        fs::remove_all(work);
        return "";
    }
    WriteBytes((work / "done").string(), "");
    std::error_code ec;
    fs::rename(work, cache, ec);
    if (ec)  // another test process was quicker
        fs::remove_all(work);
    return fs::exists(cache / "done") ? cache.string() : "";
}

struct CorpusCase {
    std::string name;
    // Shell commands run in a folder holding `classes/` (the compiled demo and a resource with a
    // non-ASCII name) and `launcher.sh`; they leave the program as app.jar.
    std::string make;
    int unzipStatus = 0;  // what `unzip -t` says of the input, and must say of the output
    bool debian = false;  // Debian's commons-lang3 instead of the demo
    // A check of the input's shape, that the case tests what it says it does.
    std::function<void(std::string_view, const cl::zip::ZipLayout&)> shape;
};

bool AnyEntry(std::string_view zip, const cl::zip::ZipLayout& layout,
              const std::function<bool(const cl::zip::EntryLayout&, const std::string&)>& test)
{
    for (const cl::zip::EntryLayout& e : layout.entries) {
        if (test(e, cltest::EntryName(zip, e)))
            return true;
    }
    return false;
}

void HasDirectories(std::string_view zip, const cl::zip::ZipLayout& layout, bool want)
{
    EXPECT_EQ(AnyEntry(zip, layout, [](const auto&, const std::string& name) { return name.back() == '/'; }), want)
        << "directory entries";
}

std::vector<CorpusCase> Cases()
{
    const std::string jar = Quote(kJar);
    const std::string zip = Quote(kZip);
    const std::string jdk = jar + " cfe app.jar demo.App -C classes .";
    auto utf8Names = [](std::string_view zip, const cl::zip::ZipLayout& layout) {
        EXPECT_TRUE(AnyEntry(zip, layout, [](const cl::zip::EntryLayout& e, const std::string& name) {
            return name == "demo/帮手.class" && (e.central.flags & 0x0800);
        })) << "a UTF-8 name marked as such";
    };
    return {
        {"jar_cf", jdk, 0, false,
         [=](std::string_view zip, const cl::zip::ZipLayout& layout) {
             HasDirectories(zip, layout, true);
             utf8Names(zip, layout);
             EXPECT_TRUE(AnyEntry(zip, layout, [](const auto& e, const auto&) { return e.descriptor.length > 0; }))
                 << "data descriptors";
         }},
        {"jar_cf0", jar + " cf0e app.jar demo.App -C classes .", 0, false,
         [=](std::string_view zip, const cl::zip::ZipLayout& layout) {
             utf8Names(zip, layout);
             EXPECT_FALSE(AnyEntry(zip, layout, [](const auto& e, const auto&) { return e.central.method != 0; }))
                 << "every entry stored";
         }},
        {"zip_r", "cd classes && " + zip + " -qr ../app.jar .", 0, false,
         [](std::string_view zip, const cl::zip::ZipLayout& layout) {
             HasDirectories(zip, layout, true);
             EXPECT_TRUE(AnyEntry(zip, layout, [](const auto& e, const auto&) { return e.central.extra.length > 0; }))
                 << "extra fields";
         }},
        {"zip_r_D", "cd classes && " + zip + " -qrD ../app.jar .", 0, false,
         [](std::string_view zip, const cl::zip::ZipLayout& layout) { HasDirectories(zip, layout, false); }},
        {"zip_streamed", "cd classes && " + zip + " -qr - . | cat > ../app.jar", 0, false,
         [](std::string_view zip, const cl::zip::ZipLayout& layout) {
             EXPECT_TRUE(AnyEntry(zip, layout, [](const auto& e, const auto&) { return e.descriptor.length > 0; }))
                 << "data descriptors";
         }},
        {"zip_comment",
         "cd classes && " + zip + " -qr ../app.jar . && echo 'built for the corpus' | " + zip + " -qz ../app.jar", 0,
         false,
         [](std::string_view zip, const cl::zip::ZipLayout& layout) {
             EXPECT_EQ(cltest::Bytes(zip, layout.comment), "built for the corpus") << "archive comment";
         }},
        {"large_entry", "seq 1 300000 > classes/numbers.txt && " + jdk, 0, false,
         [](std::string_view zip, const cl::zip::ZipLayout& layout) {
             EXPECT_TRUE(AnyEntry(zip, layout, [](const auto& e, const auto&) { return e.central.size > (1u << 20); }))
                 << "an entry over 1 MiB";
         }},
        {"self_running", jdk + " && mv app.jar plain.jar && cat launcher.sh plain.jar > app.jar", 1, false,
         [](std::string_view zip, const cl::zip::ZipLayout& layout) {
             EXPECT_EQ(cltest::Bytes(zip, layout.prefix).substr(0, 2), "#!") << "the launcher in front";
             EXPECT_EQ(layout.bias, layout.prefix.length) << "offsets from the zip's start";
         }},
        {"self_running_zip_A",
         jdk + " && mv app.jar plain.jar && cat launcher.sh plain.jar > app.jar && " + zip + " -qA app.jar", 0, false,
         [](std::string_view zip, const cl::zip::ZipLayout& layout) {
             EXPECT_EQ(cltest::Bytes(zip, layout.prefix).substr(0, 2), "#!") << "the launcher in front";
             EXPECT_EQ(layout.bias, 0u) << "offsets from the file's start";
         }},
        {"debian_commons_lang3", "cp " + Quote(kDebianJar) + " app.jar", 0, true,
         [](std::string_view, const cl::zip::ZipLayout& layout) { EXPECT_GT(layout.entries.size(), 300u); }},
    };
}

// A folder per test with the compiled demo and its launcher script, and the tools to run.
class CorpusFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        CLTEST_REQUIRE_TOOL("javac", kJavac);
        CLTEST_REQUIRE_TOOL("java", kJava);
        CLTEST_REQUIRE_TOOL("jar", kJar);
        CLTEST_REQUIRE_TOOL("zip", kZip);
        CLTEST_REQUIRE_TOOL("unzip", kUnzip);
        compiled_ = CompiledOnce();
        ASSERT_FALSE(compiled_.empty());
        std::string pattern = (fs::temp_directory_path() / "classlingo-corpus-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::copy(fs::path(compiled_) / "classes", fs::path(dir_) / "classes", fs::copy_options::recursive);
        WriteBytes(Path("launcher.sh"), "#!/bin/sh\nexec " + Quote(kJava) +
                                            " -Dfile.encoding=UTF-8 -Dsun.stdout.encoding=UTF-8 -jar \"$0\" \"$@\"\n");
    }
    void TearDown() override
    {
        if (!dir_.empty()) {
            std::error_code ignored;
            fs::remove_all(dir_, ignored);
        }
    }
    std::string Path(const std::string& name) const { return (fs::path(dir_) / name).string(); }
    cltest::ChildRun Run(const std::vector<std::string>& argv) const { return cltest::RunChild(argv, dir_); }
    cltest::ChildRun Java(const std::vector<std::string>& args) const
    {
        std::vector<std::string> argv{kJava, "-Dfile.encoding=UTF-8", "-Dsun.stdout.encoding=UTF-8"};
        argv.insert(argv.end(), args.begin(), args.end());
        return Run(argv);
    }
    // `unzip -t`: its exit status, with the line that says every entry's data checked out.
    void ExpectUnzipTest(const std::string& jar, int status) const
    {
        const cltest::ChildRun test = Run({kUnzip, "-t", jar});
        EXPECT_EQ(test.status, status) << jar << "\n" << test.out << test.err;
        EXPECT_NE(test.out.find("No errors detected"), std::string::npos) << jar << "\n" << test.out;
    }

    std::string compiled_;
    std::string dir_;
};

class JarCorpus : public CorpusFolder, public ::testing::WithParamInterface<CorpusCase> {};
using HostileJar = CorpusFolder;

void PrintTo(const CorpusCase& c, std::ostream* os)
{
    *os << c.name;
}

TEST_P(JarCorpus, ExtractAndApplyKeepEveryUnchangedRecordAndTheProgramRuns)
{
    const CorpusCase& c = GetParam();
    const cltest::ChildRun made = cltest::RunShell(c.make, dir_);
    ASSERT_EQ(made.status, 0) << c.make << "\n" << made.out << made.err;
    const std::string input = ReadBytes(Path("app.jar"));
    const auto layout = cl::zip::ReadZipLayout(input);
    ASSERT_TRUE(layout) << cltext::DescribeError(layout.error());
    c.shape(input, *layout);
    ExpectUnzipTest("app.jar", c.unzipStatus);

    // The Debian jar's "(" is data the library reads, withheld by default: asked for with --all,
    // as a translator who means it would.
    const cltest::ChildRun extract =
        c.debian ? Run({kCli, "extract", "--all", "app.jar", "app.po"}) : Run({kCli, "extract", "app.jar", "app.po"});
    ASSERT_EQ(extract.status, 0) << extract.err;
    const std::string po = ReadBytes(Path("app.po"));
    std::string translated;
    std::set<std::string> changed;
    const std::string msgid = c.debian ? "(" : "Hello, translator";
    const std::string msgstr = c.debian ? "（" : "你好，译者";
    ASSERT_TRUE(Translate(po, msgid, msgstr, translated, changed)) << "the catalogue offers no \"" << msgid << "\"";
    ASSERT_FALSE(changed.empty());
    WriteBytes(Path("zh.po"), translated);

    // With no translation the program comes back byte for byte.
    const cltest::ChildRun same = Run({kCli, "apply", "app.jar", "app.po", "same.jar"});
    ASSERT_EQ(same.status, 0) << same.err;
    EXPECT_TRUE(ReadBytes(Path("same.jar")) == input) << "an unchanged program was rewritten";

    const cltest::ChildRun apply = Run({kCli, "apply", "app.jar", "zh.po", "out.jar"});
    ASSERT_EQ(apply.status, 0) << apply.err;
    const std::string output = ReadBytes(Path("out.jar"));
    for (const std::string& problem : cltest::RecordDifferences(input, output, changed))
        ADD_FAILURE() << problem;
    ExpectUnzipTest("out.jar", c.unzipStatus);

    if (c.debian) {
        const std::string classpath = "out.jar:" + (fs::path(compiled_) / "pair").string();
        const cltest::ChildRun run = Java({"-cp", classpath, "PairDemo"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "（a,b)\n");
        return;
    }
    const std::string expected = "你好，译者\nhelper\n";
    const cltest::ChildRun run = Java({"-cp", "out.jar", "demo.App"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    if (c.name.rfind("self_running", 0) == 0) {
        const cltest::ChildRun itself = Run({"/bin/sh", "out.jar"});
        EXPECT_EQ(itself.status, 0) << itself.err;
        EXPECT_EQ(itself.out, expected) << "the translated jar run as a script";
    }
}

INSTANTIATE_TEST_SUITE_P(Tools, JarCorpus, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<CorpusCase>& info) { return info.param.name; });

// A class of 100 MiB of zeros, which deflates to a jar of about 100 KiB: extract and apply
// refuse it at the 64 MiB limit, name it, exit 3 and copy it unchanged, without ever holding
// it; also when its records claim it is small.
TEST_F(HostileJar, AnEntryPastTheLimitIsNamedAndCopiedWithoutBeingInflated)
{
    const std::string zip = Quote(kZip);
    const cltest::ChildRun made = cltest::RunShell(
        "head -c 104857600 /dev/zero > classes/demo/Zero.class && cd classes && " + zip + " -q -1 -r ../app.jar .",
        dir_);
    ASSERT_EQ(made.status, 0) << made.err;
    std::string input = ReadBytes(Path("app.jar"));
    ASSERT_LT(input.size(), 1u << 20);

    // The same jar with the sizes of Zero.class in both records said to be 1000 bytes.
    std::string lying = input;
    {
        const auto layout = cl::zip::ReadZipLayout(lying);
        ASSERT_TRUE(layout);
        bool patched = false;
        for (const cl::zip::EntryLayout& e : layout->entries) {
            if (cltest::EntryName(lying, e) != "demo/Zero.class")
                continue;
            namespace rec = cl::zip::records;
            rec::Put32(lying, e.central.record.offset + rec::central::kUncompressedSize, 1000);
            rec::Put32(lying, e.local.offset + rec::local::kUncompressedSize, 1000);
            patched = true;
        }
        ASSERT_TRUE(patched);
    }
    WriteBytes(Path("lying.jar"), lying);

    for (const std::string jar : {"app.jar", "lying.jar"}) {
        SCOPED_TRACE(jar);
        const cltest::ChildRun extract = Run({kCli, "extract", jar, "app.po"});
        EXPECT_EQ(extract.status, 3) << extract.err;
        EXPECT_NE(extract.err.find("“demo/Zero.class”"), std::string::npos) << extract.err;
        if (!UnderAddressSanitizer()) {
            EXPECT_LT(extract.peakKiB, 100 * 1024) << "extract held " << extract.peakKiB << " KiB";
        }
        std::string translated;
        std::set<std::string> changed;
        ASSERT_TRUE(Translate(ReadBytes(Path("app.po")), "Hello, translator", "你好，译者", translated, changed));
        WriteBytes(Path("zh.po"), translated);
        const cltest::ChildRun apply = Run({kCli, "apply", jar, "zh.po", "out.jar"});
        EXPECT_EQ(apply.status, 3) << apply.err;
        EXPECT_NE(apply.err.find("“demo/Zero.class”"), std::string::npos) << apply.err;
        if (!UnderAddressSanitizer()) {
            EXPECT_LT(apply.peakKiB, 100 * 1024) << "apply held " << apply.peakKiB << " KiB";
        }
        const std::string output = ReadBytes(Path("out.jar"));
        for (const std::string& problem : cltest::RecordDifferences(ReadBytes(Path(jar)), output, changed))
            ADD_FAILURE() << problem;
        const cltest::ChildRun run = Java({"-cp", "out.jar", "demo.App"});
        EXPECT_EQ(run.out, "你好，译者\nhelper\n") << run.err;
    }
}

}  // namespace

namespace {

// strings, extract and apply on `jar` (extract's catalogue translated once for apply), each with
// its exit status, what it said and the most memory it held.
struct ThreeRuns {
    cltest::ChildRun strings, extract, apply;
};

// A jar whose records tell lies a zip tool never would: written by Info-ZIP's zip, then each
// named entry's stated size patched in its local and central record.
std::string PatchStatedSizes(std::string jar, const std::function<bool(const std::string&)>& which, uint32_t size)
{
    const auto layout = cl::zip::ReadZipLayout(jar);
    EXPECT_TRUE(layout);
    if (!layout)
        return jar;
    namespace rec = cl::zip::records;
    for (const cl::zip::EntryLayout& e : layout->entries) {
        if (!which(cltest::EntryName(jar, e)))
            continue;
        rec::Put32(jar, e.central.record.offset + rec::central::kUncompressedSize, size);
        rec::Put32(jar, e.local.offset + rec::local::kUncompressedSize, size);
    }
    return jar;
}

}  // namespace

class BudgetedJar : public CorpusFolder {
protected:
    ThreeRuns RunAll(const std::string& jar)
    {
        ThreeRuns runs;
        runs.strings = Run({kCli, "strings", jar});
        runs.extract = Run({kCli, "extract", jar, "app.po"});
        std::string translated;
        std::set<std::string> changed;
        EXPECT_TRUE(Translate(ReadBytes(Path("app.po")), "Hello, translator", "你好，译者", translated, changed));
        WriteBytes(Path("zh.po"), translated);
        runs.apply = Run({kCli, "apply", jar, "zh.po", "out.jar"});
        return runs;
    }
    // Each command answered 3, named every entry of `named` as unreadable, and held less than
    // `mostMiB`; the translated program runs with the translation.
    void Expect(const ThreeRuns& runs, const std::vector<std::string>& named, long mostMiB)
    {
        for (const auto& [command, run] : {std::pair{"strings", &runs.strings}, std::pair{"extract", &runs.extract},
                                          std::pair{"apply", &runs.apply}}) {
            EXPECT_EQ(run->status, 3) << command << "\n" << run->err;
            for (const std::string& entry : named)
                EXPECT_NE(run->err.find("无法读取“" + entry + "”"), std::string::npos) << command << ": " << entry;
            if (!UnderAddressSanitizer()) {
                EXPECT_LT(run->peakKiB, mostMiB * 1024) << command << " held " << run->peakKiB << " KiB";
            }
        }
        const cltest::ChildRun run = Java({"-cp", "out.jar", "demo.App"});
        EXPECT_EQ(run.out, "你好，译者\nhelper\n") << run.err;
    }
};

// A jar of some 20 KiB with 128 small deflated classes whose records each claim 60 MiB (7.5 GiB in all):
// no buffer is made for a size the stored bytes cannot make, so each is named and copied
// unchanged while the commands hold a few MiB.
TEST_F(BudgetedJar, RecordsClaimingSixtyMebibytesEachTakeNoMemory)
{
    std::string make = "cd classes";
    for (int i = 0; i < 128; ++i)
        make += " && printf 'class %0200d' " + std::to_string(i) + " > demo/C" + std::to_string(i) + ".class";
    make += " && " + Quote(kZip) + " -q -r ../honest.jar .";
    const cltest::ChildRun made = cltest::RunShell(make, dir_);
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string lying = PatchStatedSizes(
        ReadBytes(Path("honest.jar")), [](const std::string& name) { return name.rfind("demo/C", 0) == 0; }, 60u << 20);
    ASSERT_LT(lying.size(), 32u << 10);
    WriteBytes(Path("app.jar"), lying);
    std::vector<std::string> named;
    for (int i = 0; i < 128; ++i)
        named.push_back("demo/C" + std::to_string(i) + ".class");
    Expect(RunAll("app.jar"), named, 128);
    for (const std::string& problem : cltest::RecordDifferences(lying, ReadBytes(Path("out.jar")), {"demo/App.class"}))
        ADD_FAILURE() << problem;
}

// A 2 MiB jar of 40 true classes of 50 MiB of zeros each (one file and 39 links to it, which
// zip follows): the program takes 128 MiB of the archive, the classes past that are named and
// copied unchanged, and each command stays under 400 MiB.
TEST_F(BudgetedJar, FortyTrueFiftyMebibyteClassesStayWithinTheArchivesBudget)
{
    std::string make = "head -c 52428800 /dev/zero > zero.bin && cd classes";
    for (int i = 0; i < 40; ++i)
        make += " && ln -s ../../zero.bin demo/Z" + std::to_string(i) + ".class";
    make += " && " + Quote(kZip) + " -q -r ../app.jar . && rm ../zero.bin";
    const cltest::ChildRun made = cltest::RunShell(make, dir_);
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string input = ReadBytes(Path("app.jar"));
    ASSERT_LT(input.size(), 4u << 20);
    const ThreeRuns runs = RunAll("app.jar");
    // Two fit the 128 MiB budget; which two depends on zip's order, the count does not.
    std::vector<std::string> named;
    const auto layout = cl::zip::ReadZipLayout(input);
    ASSERT_TRUE(layout);
    int within = 0;
    for (const cl::zip::EntryLayout& e : layout->entries) {
        const std::string name = cltest::EntryName(input, e);
        if (name.rfind("demo/Z", 0) == 0 && ++within > 2)
            named.push_back(name);
    }
    ASSERT_EQ(named.size(), 38u);
    Expect(runs, named, 400);
    EXPECT_NE(runs.extract.err.find("合计超过 128 MiB"), std::string::npos) << runs.extract.err;
    for (const std::string& problem : cltest::RecordDifferences(input, ReadBytes(Path("out.jar")), {"demo/App.class"}))
        ADD_FAILURE() << problem;
}

// Under an address-space limit below what the jar needs, each command says it ran out of
// memory and answers 1: no abort (134), nothing half written. The address sanitizer cannot
// run under such a limit, so the test does not run there.
TEST_F(BudgetedJar, RunningOutOfMemoryIsASentenceAndStatusOne)
{
    if (UnderAddressSanitizer())
        GTEST_SKIP() << "the address sanitizer cannot run under RLIMIT_AS";
    std::string make = "head -c 52428800 /dev/zero > zero.bin && cd classes";
    for (int i = 0; i < 4; ++i)
        make += " && ln -s ../../zero.bin demo/Z" + std::to_string(i) + ".class";
    make += " && " + Quote(kZip) + " -q -r ../app.jar . && rm ../zero.bin";
    const cltest::ChildRun made = cltest::RunShell(make, dir_);
    ASSERT_EQ(made.status, 0) << made.err;
    // Unlimited, for apply: the classes of zeros do not parse, and two are past the budget.
    const cltest::ChildRun extracted = Run({kCli, "extract", "app.jar", "app.po"});
    ASSERT_EQ(extracted.status, 3) << extracted.err;
    const std::string limited = "ulimit -v 160000 && exec " + Quote(kCli) + " ";
    for (const std::string command : {"strings app.jar", "extract app.jar limited.po", "apply app.jar app.po out.jar"}) {
        const cltest::ChildRun run = cltest::RunShell(limited + command, dir_);
        EXPECT_EQ(run.status, 1) << command << "\n" << run.err;
        EXPECT_NE(run.err.find("内存不足，命令没有完成"), std::string::npos) << command << "\n" << run.err;
        EXPECT_EQ(run.err.find("terminate"), std::string::npos) << command << "\n" << run.err;
    }
    EXPECT_FALSE(fs::exists(Path("limited.po")));
    EXPECT_FALSE(fs::exists(Path("out.jar")));
}
