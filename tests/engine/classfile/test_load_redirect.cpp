// Redirecting the string loads of chosen methods: on classes javac builds, checked three ways
// (the class parses again with the loads at their new entry; the JVM loads and verifies it and
// prints what the same program prints when its source has the new text in those methods; and
// javap lists every table of the method with the same instructions as before), and on
// hand-made code for the limits and the faults.

#include "classfile/Bytecode.h"
#include "classfile/ClassFile.h"
#include "classfile/LoadRedirect.h"

#include "ClassFileBuilder.h"
#include "Java.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace cl::classfile;
using cl::testing::Bytes;
using cl::testing::ClassFileBuilder;

namespace {

const std::string kShown = "\xE5\xA5\xBD";  // 好: the same bytes in UTF-8 and modified UTF-8

ClassFile Parse(const std::string& bytes)
{
    return ParseClassFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}
ClassFile Parse(const std::vector<uint8_t>& bytes)
{
    return ParseClassFile(bytes.data(), bytes.size());
}

// The class up to the end of its pool with each text appended as a CONSTANT_Utf8 and a
// CONSTANT_String, as the caller of RedirectLoads extends the pool, and the new Strings' indices.
struct ExtendedPool {
    std::string head;
    std::vector<uint16_t> strings;
};
ExtendedPool ExtendPool(const ClassFile& cf, const std::vector<std::string>& texts)
{
    ExtendedPool pool;
    const auto* bytes = reinterpret_cast<const char*>(cf.bytes.data());
    Bytes head;
    head.Append(std::string_view(bytes, 8)).U2(cf.constantPoolCount + 2 * static_cast<uint32_t>(texts.size()));
    head.Append(std::string_view(bytes + 10, cf.poolEnd - 10));
    uint32_t next = cf.constantPoolCount;
    for (const std::string& text : texts) {
        head.U1(1).U2(static_cast<uint32_t>(text.size())).Append(text);
        head.U1(8).U2(next);
        pool.strings.push_back(static_cast<uint16_t>(next + 1));
        next += 2;
    }
    pool.head.assign(head.data.begin(), head.data.end());
    return pool;
}

uint16_t MethodIndex(const ClassFile& cf, std::string_view name)
{
    for (size_t i = 0; i < cf.methods.size(); ++i) {
        if (cf.Utf8Bytes(cf.methods[i].nameIndex) == name)
            return static_cast<uint16_t>(i);
    }
    ADD_FAILURE() << "no method " << name;
    return 0;
}

uint16_t StringIndex(const ClassFile& cf, std::string_view text)
{
    for (uint16_t i = 1; i < cf.pool.size(); ++i) {
        if (cf.pool[i].tag == Tag::String && cf.Utf8Bytes(cf.pool[i].StringIndex()) == text)
            return i;
    }
    ADD_FAILURE() << "no String " << text;
    return 0;
}

const CodeInfo* CodeOf(const ClassFile& cf, uint16_t method)
{
    for (const CodeInfo& code : cf.codes) {
        if (code.method == method)
            return &code;
    }
    return nullptr;
}

// The pool index each string load of `method` loads, in code order.
std::vector<uint16_t> Loads(const ClassFile& cf, uint16_t method)
{
    std::vector<uint16_t> loads;
    if (const CodeInfo* code = CodeOf(cf, method)) {
        for (const LoadedString& s : code->strings)
            loads.push_back(s.stringIndex);
    }
    return loads;
}

// The opcode and offset of every instruction of a method's code.
std::vector<std::pair<uint32_t, uint8_t>> Instructions(const ClassFile& cf, const CodeInfo& code)
{
    std::vector<std::pair<uint32_t, uint8_t>> all;
    const uint8_t* p = cf.bytes.data() + code.codeOffset;
    for (uint32_t pc = 0, length = 0; pc < code.codeLength; pc += length) {
        if (bytecode::InstructionLength(p, code.codeLength, pc, length) != bytecode::Fault::None) {
            ADD_FAILURE() << "undecodable code at " << pc;
            break;
        }
        all.emplace_back(pc, p[pc]);
    }
    return all;
}

// ---- javap's listing of a method, with every code offset as the ordinal of its instruction

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The lines of the method whose name is `name` in one class's `javap -v -p` listing.
std::vector<std::string> MethodBlock(const std::string& listing, const std::string& name)
{
    const std::regex header("^  [^ ].*[ .]" + name + "\\(.*\\);$");
    std::vector<std::string> block;
    bool in = false;
    for (const std::string& line : Lines(listing)) {
        if (!in && std::regex_match(line, header)) {
            in = true;
        } else if (in && line.empty()) {
            break;
        }
        if (in)
            block.push_back(line);
    }
    return block;
}

enum class Section { Head, Code, Handlers, Lines, Locals, Frames, Annotations };

// The section a line of a method's listing starts, if it starts one.
bool StartsSection(const std::string& trimmed, Section& section)
{
    if (trimmed.rfind("stack=", 0) == 0)
        section = Section::Code;
    else if (trimmed == "Exception table:")
        section = Section::Handlers;
    else if (trimmed == "LineNumberTable:")
        section = Section::Lines;
    else if (trimmed == "LocalVariableTable:" || trimmed == "LocalVariableTypeTable:")
        section = Section::Locals;
    else if (trimmed.rfind("StackMapTable:", 0) == 0)
        section = Section::Frames;
    else if (trimmed.find("TypeAnnotations:") != std::string::npos)
        section = Section::Annotations;
    else
        return false;
    return true;
}

std::string Trimmed(const std::string& line)
{
    return line.substr(std::min(line.find_first_not_of(' '), line.size()));
}

template <typename With>
std::string ReplaceAll(const std::string& line, const std::regex& re, With with)
{
    std::string result;
    size_t done = 0;
    for (std::sregex_iterator it(line.begin(), line.end(), re), end; it != end; ++it) {
        result.append(line, done, static_cast<size_t>(it->position()) - done);
        result += with(*it);
        done = static_cast<size_t>(it->position() + it->length());
    }
    return result + line.substr(done);
}

// A method's listing with every code offset written as the ordinal of the instruction there
// ("@3", "@end"), and each ldc or ldc_w as "ldc" and its constant: a method before and after
// a relayout lists the same.
std::string Normalised(const std::vector<std::string>& block)
{
    static const std::regex instruction(R"(^\s+(\d+): ([a-z_0-9]+)(.*)$)");
    static const std::regex switchEntry(R"(^\s+(-?\d+|default): (\d+)$)");
    static const std::regex row3(R"(^\s+(\d+)\s+(\d+)\s+(\d+)\s+(.*)$)");
    static const std::regex lineEntry(R"(^\s+line (\d+): (\d+)$)");
    static const std::regex frameType(R"(^\s+frame_type = (\d+) /\* (\w+) \*/$)");
    static const std::regex offsetDelta(R"(^\s+offset_delta = (\d+)$)");
    static const std::regex uninitialized(R"(uninitialized (\d+))");
    static const std::regex annotationOffset(R"(offset=(\d+))");
    static const std::regex annotationRange(R"(start_pc=(\d+), length=(\d+))");
    static const std::set<std::string> branches = {
        "ifeq",      "ifne",      "iflt",      "ifge",      "ifgt", "ifle", "if_icmpeq", "if_icmpne", "if_icmplt", "if_icmpge",
        "if_icmpgt", "if_icmple", "if_acmpeq", "if_acmpne", "goto", "jsr",  "ifnull",    "ifnonnull", "goto_w",    "jsr_w"};

    std::vector<uint64_t> pcs;
    {
        Section section = Section::Head;
        bool inSwitch = false;
        for (const std::string& line : block) {
            std::smatch m;
            if (StartsSection(Trimmed(line), section) || section != Section::Code)
                continue;
            if (inSwitch)
                inSwitch = Trimmed(line) != "}";
            else if (std::regex_match(line, m, instruction)) {
                pcs.push_back(std::stoul(m[1]));
                inSwitch = m[2] == "tableswitch" || m[2] == "lookupswitch";
            }
        }
    }
    const auto ordinal = [&pcs](uint64_t pc) -> std::string {
        const auto found = std::find(pcs.begin(), pcs.end(), pc);
        if (found != pcs.end())
            return "@" + std::to_string(found - pcs.begin());
        return !pcs.empty() && pc > pcs.back() ? "@end" : "@inside" + std::to_string(pc);
    };

    Section section = Section::Head;
    std::ostringstream out;
    bool inSwitch = false;
    int64_t previousFrame = -1;
    std::string pendingKind;
    const auto frame = [&](uint64_t delta, std::string kind) {
        previousFrame += static_cast<int64_t>(delta) + 1;
        if (kind == "same_frame_extended")
            kind = "same";
        else if (kind == "same_locals_1_stack_item_frame_extended")
            kind = "same_locals_1_stack_item";
        out << "frame " << ordinal(static_cast<uint64_t>(previousFrame)) << " " << kind << "\n";
    };
    for (const std::string& line : block) {
        std::smatch m;
        const std::string trimmed = Trimmed(line);
        if (StartsSection(trimmed, section)) {
            out << trimmed << "\n";
        } else if (section == Section::Code && inSwitch && std::regex_match(line, m, switchEntry)) {
            out << m[1] << ": " << ordinal(std::stoul(m[2])) << "\n";
        } else if (section == Section::Code && inSwitch) {
            inSwitch = trimmed != "}";
            out << trimmed << "\n";
        } else if (section == Section::Code && std::regex_match(line, m, instruction)) {
            std::string mnemonic = m[2];
            std::string rest = m[3];
            inSwitch = mnemonic == "tableswitch" || mnemonic == "lookupswitch";
            if (branches.count(mnemonic) != 0) {
                rest = " " + ordinal(std::stoul(rest));
            } else if (mnemonic == "ldc" || mnemonic == "ldc_w") {
                mnemonic = "ldc";
                rest = " " + rest.substr(rest.find("//"));  // the constant, not its index
            }
            out << mnemonic << rest << "\n";
        } else if (section == Section::Handlers && std::regex_match(line, m, row3)) {
            out << ordinal(std::stoul(m[1])) << " " << ordinal(std::stoul(m[2])) << " " << ordinal(std::stoul(m[3]))
                << " " << m[4] << "\n";
        } else if (section == Section::Lines && std::regex_match(line, m, lineEntry)) {
            out << "line " << m[1] << ": " << ordinal(std::stoul(m[2])) << "\n";
        } else if (section == Section::Locals && std::regex_match(line, m, row3)) {
            const uint64_t start = std::stoul(m[1]);
            out << ordinal(start) << "-" << ordinal(start + std::stoul(m[2])) << " " << m[3] << " " << m[4] << "\n";
        } else if (section == Section::Frames && std::regex_match(line, m, frameType)) {
            const auto type = std::stoul(m[1]);
            if (type < 128)
                frame(type % 64, m[2]);
            else
                pendingKind = m[2];
        } else if (section == Section::Frames && std::regex_match(line, m, offsetDelta)) {
            frame(std::stoul(m[1]), pendingKind);
        } else if (section == Section::Frames) {
            out << ReplaceAll(trimmed, uninitialized,
                              [&](const std::smatch& u) { return "uninitialized " + ordinal(std::stoul(u[1])); })
                << "\n";
        } else if (section == Section::Annotations) {
            const std::string ranges = ReplaceAll(trimmed, annotationRange, [&](const std::smatch& r) {
                const uint64_t start = std::stoul(r[1]);
                return "start=" + ordinal(start) + ", end=" + ordinal(start + std::stoul(r[2]));
            });
            out << ReplaceAll(ranges, annotationOffset,
                              [&](const std::smatch& o) { return "offset=" + ordinal(std::stoul(o[1])); })
                << "\n";
        } else {
            out << trimmed << "\n";
        }
    }
    return out.str();
}

std::string JavapPath()
{
    const std::string javac = cltest::JavacPath();
    if (!cltest::ToolIsInstalled(javac))
        return javac;
    const std::filesystem::path javap = std::filesystem::path(javac).parent_path() / "javap";
    return std::filesystem::exists(javap) ? javap.string() : std::string("javap-NOTFOUND");
}

std::string Replaced(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
        text.replace(at, what.size(), with);
    return text;
}

// ---- Programs

// A class whose pool passes 256 entries, so that a String appended behind it needs ldc_w.
std::string Filler()
{
    std::string filler = "    static String[] filler() {\n        return new String[] {";
    for (int i = 0; i < 160; ++i)
        filler += "\"filler" + std::to_string(i) + "\", ";
    return filler + "};\n    }\n";
}

// A program: `$C` is its class name, `$S` the text its listed methods show ("OK" in the
// original, which its other methods read), `$F` where the filler goes.
struct Program {
    const char* name;
    std::vector<std::string> listed;  // the methods whose loads are redirected
    std::string source;
};

void PrintTo(const Program& program, std::ostream* os)
{
    *os << program.name;
}

std::string Source(const Program& program, const std::string& className, const std::string& shown)
{
    std::string source = Replaced(program.source, "$C", className);
    source = Replaced(source, "$S", "\"" + shown + "\"");
    return Replaced(source, "$F", Filler());
}

std::string Repeated(const std::string& line, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i)
        all += line;
    return all;
}

// Switches after one to four grown loads, so that their padding shrinks by each amount.
std::string SwitchesSource()
{
    std::string body;
    for (int loads = 1; loads <= 4; ++loads) {
        for (const bool table : {true, false}) {
            body += Repeated("        System.out.println($S);\n", loads);
            if (table)
                body += "        switch (m) { case 1: System.out.println($S); break; case 2: m++; break;"
                        " case 3: System.out.println(\"three\"); break; default: System.out.println(\"d\"); }\n";
            else
                body += "        switch (m) { case 1: System.out.println($S); break; case 1000: m--; break;"
                        " case -70000: System.out.println(\"big\"); break; default: System.out.println(\"e\"); }\n";
            body += "        m += " + std::to_string(loads) + ";\n";
        }
    }
    return "public class $C {\n    static void show(int n) {\n        int m = n;\n" + body +
           "    }\n    public static void main(String[] args) {\n        show(1); show(2); show(3); show(1000); "
           "show(-70000);\n    }\n$F}\n";
}

const std::vector<Program>& Programs()
{
    static const std::vector<Program> programs = {
        {"Branches", {"show", "also"}, R"(public class $C {
    static void show(int n) {
        System.out.println($S);
        if (n > 2)
            System.out.println(n);
        else
            System.out.println($S);
        int i = 0;
        while (i < n) {
            System.out.println($S);
            i++;
        }
        do {
            i--;
            System.out.println($S);
        } while (i > 0);
        System.out.println(n > 1 ? $S : "no");
        System.out.println(n == 3 || $S.length() == n ? "yes" : $S);
    }
    static String also(boolean b) { return b ? $S : "other"; }
    static boolean read(String s) { return s.equals("OK"); }
    public static void main(String[] args) {
        show(1);
        show(3);
        System.out.println(also(true));
        System.out.println(read(also(true)));
        System.out.println(read("OK"));
    }
$F}
)"},
        {"Switches", {"show"}, SwitchesSource()},
        {"Handlers", {"show"}, R"(public class $C {
    static void show(String s) {
        System.out.println($S);
        try {
            System.out.println($S);
            try {
                System.out.println(Integer.parseInt(s));
            } catch (IllegalStateException | NumberFormatException e) {
                System.out.println($S);
                throw new IllegalArgumentException($S);
            } finally {
                System.out.println($S);
            }
        } catch (IllegalArgumentException e) {
            System.out.println(e.getMessage());
        }
        try (java.io.StringReader r = new java.io.StringReader($S)) {
            System.out.println((char) r.read());
        } catch (java.io.IOException e) {
            System.out.println("io");
        }
    }
    public static void main(String[] args) {
        show("12");
        show("x");
    }
$F}
)"},
        {"Uninitialized", {"show"}, R"(public class $C {
    static String show(boolean c) {
        System.out.println($S);
        String s = new StringBuilder(c ? $S : "no").append('!').toString();
        return new String(c ? "yes" : $S) + s;
    }
    public static void main(String[] args) {
        System.out.println(show(true));
        System.out.println(show(false));
    }
$F}
)"},
        {"LineNumbers", {"show"}, R"(public class $C {
    static void show(String s) {
        System.out.println($S); System.out.println($S); System.out.println($S); System.out.println($S);
        try {
            int v = Integer.parseInt(s);
            System.out.println(v);
        } catch (NumberFormatException e) {
            for (StackTraceElement f : e.getStackTrace())
                if (f.getMethodName().equals("show"))
                    System.out.println("line " + f.getLineNumber());
        }
    }
    public static void main(String[] args) {
        show("x");
    }
$F}
)"},
        {"TypeAnnotations", {"show"}, R"(import java.lang.annotation.*;
import java.util.*;
public class $C {
    @Target(ElementType.TYPE_USE) @Retention(RetentionPolicy.RUNTIME) @interface Tag {}
    @Target(ElementType.TYPE_USE) @Retention(RetentionPolicy.CLASS) @interface Hidden {}
    static String show(int n, Object x) {
        List<String> l = new ArrayList<>();
        @Tag String s = $S;
        try {
            Integer.parseInt(s);
        } catch (@Tag NumberFormatException e) {
            s = $S;
        }
        if (x instanceof @Tag String)
            s = (@Hidden String) x;
        l.add(s);
        l.add($S);
        try (java.io.@Tag StringReader r = new java.io.StringReader($S)) {
            l.add(String.valueOf((char) r.read()));
        } catch (java.io.IOException e) {
            l.add("io");
        }
        Map<@Tag String, List<String>> m = new HashMap<>();
        m.put($S, l);
        return new @Tag StringBuilder(n > 0 ? $S : "no").append(m).toString();
    }
    public static void main(String[] args) {
        System.out.println(show(1, "x"));
        System.out.println(show(0, 5));
    }
$F}
)"},
        {"FrameForms", {"show"}, std::string(R"(public class $C {
    static String pick()") + [] {
            std::string params;
            for (int i = 0; i < 26; ++i)
                params += (i ? ", String a" : "String a") + std::to_string(i);
            return params;
        }() + R"() { return a0 + a25.length(); }
    static void show(int n) {
        String s = n > 0 ? pick()" + [] {
            std::string args;
            for (int i = 0; i < 26; ++i)
                args += i ? ", $S" : "$S";
            return args;
        }() + R"() : "no";
        String t = n > 0 ? "no" : pick()" + [] {
            std::string args;
            for (int i = 0; i < 26; ++i)
                args += i ? ", $S" : "$S";
            return args;
        }() + R"();
        System.out.println(s + t);
    }
    public static void main(String[] args) {
        show(1);
        show(0);
    }
$F}
)"},
    };
    return programs;
}

// ---- Fixtures

class LoadRedirectJava : public cltest::ScratchFolder {
protected:
    void SetUp() override
    {
        ScratchFolder::SetUp();
        CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
        CLTEST_REQUIRE_TOOL("java", cltest::JavaPath());
        std::filesystem::create_directories(Path("original"));
        std::filesystem::create_directories(Path("rewritten"));
    }

    // Compiles the program twice, with -g: as it is (class Case), and with the new text written
    // into its listed methods (class Shown), whose output the rewritten class must give.
    void Compile(const Program& program)
    {
        const std::string shownFile = Path("Shown.java");
        Write(shownFile, Source(program, "Shown", kShown));
        ASSERT_EQ(cltest::CompileJava(dir_.string(), "Case", Source(program, "Case", "OK"), Path("original"),
                                      "-g " + cltest::ShellQuoted(shownFile)),
                  "");
        for (const auto& entry : std::filesystem::directory_iterator(Path("original"))) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("Case$", 0) == 0)
                std::filesystem::copy_file(entry.path(), Path("rewritten/" + name),
                                           std::filesystem::copy_options::overwrite_existing);
        }
        original_ = Read(Path("original/Case.class"));
    }

    // Redirects every load of "OK" in the listed methods to a new String of the shown text.
    cl::classfile::RedirectedLoads Redirect(const std::vector<std::string>& methods, ExtendedPool& pool)
    {
        const ClassFile cf = Parse(original_);
        EXPECT_TRUE(cf.parsed);
        pool = ExtendPool(cf, {kShown});
        std::vector<LoadRedirect> redirects;
        for (const std::string& method : methods)
            redirects.push_back({MethodIndex(cf, method), StringIndex(cf, "OK"), pool.strings[0]});
        return RedirectLoads(cf, redirects);
    }

    // The checks every rewritten program passes: it parses with the listed methods' loads of
    // "OK" now at the new entry and every other load as it was, and java runs it (verifying
    // it) to print what the program compiled with the new text prints.
    void CheckRewritten(const std::vector<std::string>& listed, const std::string& rewritten, uint16_t newString)
    {
        const ClassFile before = Parse(original_);
        const ClassFile after = Parse(rewritten);
        ASSERT_TRUE(after.parsed) << ReasonWord(after.error) << " at " << after.errorOffset;
        const uint16_t ok = StringIndex(before, "OK");
        for (uint16_t m = 0; m < before.methods.size(); ++m) {
            const std::string name(before.Utf8Bytes(before.methods[m].nameIndex));
            std::vector<uint16_t> expected = Loads(before, m);
            if (std::find(listed.begin(), listed.end(), name) != listed.end()) {
                EXPECT_NE(std::count(expected.begin(), expected.end(), ok), 0) << name << " loads no OK";
                std::replace(expected.begin(), expected.end(), ok, newString);
            }
            EXPECT_EQ(Loads(after, m), expected) << name;
        }
        Write(Path("rewritten/Case.class"), rewritten);
        const cltest::JavaRun shown = cltest::RunJava(Path("original"), "Shown");
        ASSERT_EQ(shown.status, 0) << shown.err;
        const cltest::JavaRun run = cltest::RunJava(Path("rewritten"), "Case");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, shown.out);
        const cltest::JavaRun plain = cltest::RunJava(Path("original"), "Case");
        EXPECT_NE(plain.out, shown.out) << "the program shows no text of its listed methods";
    }

    // `javap -v` of the original and the rewritten class.
    std::pair<std::string, std::string> Javap()
    {
        std::string listing;
        EXPECT_EQ(cltest::RunCommand(cltest::ShellQuoted(JavapPath()) +
                                         " -J-Dfile.encoding=UTF-8 -J-Dstdout.encoding=UTF-8 -v -p " +
                                         cltest::ShellQuoted(Path("original/Case.class")) + " " +
                                         cltest::ShellQuoted(Path("rewritten/Case.class")),
                                     listing),
                  0);
        const size_t second = listing.find("Classfile ", 1);
        EXPECT_NE(second, std::string::npos);
        return {listing.substr(0, second), listing.substr(std::min(second, listing.size()))};
    }

    std::string original_;
};

class RelaidOutPrograms : public LoadRedirectJava, public ::testing::WithParamInterface<Program> {};

TEST_P(RelaidOutPrograms, RunAsIfCompiledWithTheNewTextAndListTheSameTables)
{
    const Program& program = GetParam();
    ASSERT_NO_FATAL_FAILURE(Compile(program));
    ExtendedPool pool;
    const RedirectedLoads result = Redirect(program.listed, pool);
    ASSERT_TRUE(result.ok()) << RedirectFaultWord(result.fault) << " at " << result.offset;
    ASSERT_GT(pool.strings[0], 0xFF) << "the new entry must need ldc_w";
    const std::string rewritten = pool.head + result.tail;
    ASSERT_NO_FATAL_FAILURE(CheckRewritten(program.listed, rewritten, pool.strings[0]));

    CLTEST_REQUIRE_TOOL("javap", JavapPath());
    const auto [before, after] = Javap();
    for (const std::string& method : program.listed) {
        const std::string expected =
            Replaced(Normalised(MethodBlock(before, method)), "// String OK", "// String " + kShown);
        EXPECT_NE(expected, "") << method;
        EXPECT_EQ(Normalised(MethodBlock(after, method)), expected) << method;
        EXPECT_EQ(expected.find("@inside"), std::string::npos) << expected;
    }
}

INSTANTIATE_TEST_SUITE_P(Javac, RelaidOutPrograms, ::testing::ValuesIn(Programs()),
                         [](const ::testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });

// The programs above reach what they are written for: without it the checks would pass on
// code that never needs the case.
TEST_F(LoadRedirectJava, SwitchPaddingTakesEveryValueAfterTheRelayout)
{
    ASSERT_NO_FATAL_FAILURE(Compile(Programs()[1]));
    ExtendedPool pool;
    const RedirectedLoads result = Redirect({"show"}, pool);
    ASSERT_TRUE(result.ok()) << RedirectFaultWord(result.fault);
    const ClassFile before = Parse(original_);
    const ClassFile after = Parse(pool.head + result.tail);
    ASSERT_TRUE(after.parsed);
    const auto paddings = [](const ClassFile& cf) {
        std::vector<uint32_t> all;
        for (const auto& [pc, op] : Instructions(cf, *CodeOf(cf, MethodIndex(cf, "show")))) {
            if (op == bytecode::kTableSwitch || op == bytecode::kLookupSwitch)
                all.push_back(bytecode::SwitchOperands(pc) - pc - 1);
        }
        return all;
    };
    const std::vector<uint32_t> old = paddings(before);
    const std::vector<uint32_t> now = paddings(after);
    EXPECT_EQ(std::set<uint32_t>(now.begin(), now.end()), (std::set<uint32_t>{0, 1, 2, 3}));
    ASSERT_EQ(old.size(), now.size());
    EXPECT_NE(old, now);
}

TEST_F(LoadRedirectJava, ShortFramesPastTheirDeltaTakeTheExtendedForm)
{
    CLTEST_REQUIRE_TOOL("javap", JavapPath());
    ASSERT_NO_FATAL_FAILURE(Compile(Programs()[6]));
    ExtendedPool pool;
    const RedirectedLoads result = Redirect({"show"}, pool);
    ASSERT_TRUE(result.ok()) << RedirectFaultWord(result.fault);
    Write(Path("rewritten/Case.class"), pool.head + result.tail);
    const auto [before, after] = Javap();
    const auto count = [](const std::vector<std::string>& block, const std::string& kind) {
        return std::count_if(block.begin(), block.end(),
                             [&](const std::string& line) { return line.find("/* " + kind + " */") != std::string::npos; });
    };
    const std::vector<std::string> old = MethodBlock(before, "show");
    const std::vector<std::string> now = MethodBlock(after, "show");
    EXPECT_EQ(count(old, "same_frame_extended"), 0);
    EXPECT_EQ(count(old, "same_locals_1_stack_item_frame_extended"), 0);
    EXPECT_EQ(count(now, "same_frame_extended"), 1);
    EXPECT_EQ(count(now, "same_locals_1_stack_item_frame_extended"), 1);
    EXPECT_EQ(count(old, "same") + count(old, "same_locals_1_stack_item"),
              count(now, "same") + count(now, "same_locals_1_stack_item") + 2);
}

// Where every load keeps its form, only the operands change: no relayout, the tail as long as
// before, and nothing else different.
struct InPlace {
    const char* name;
    bool filler;       // a pool past 256 entries
    bool fillerFirst;  // its strings before "OK", which then needs ldc_w from the start
    uint8_t loadOp;    // what javac loads "OK" with
};

void PrintTo(const InPlace& c, std::ostream* os)
{
    *os << c.name;
}

class LoadsChangedInPlace : public LoadRedirectJava, public ::testing::WithParamInterface<InPlace> {};

TEST_P(LoadsChangedInPlace, ChangeOnlyTheOperands)
{
    const InPlace& c = GetParam();
    Program program = Programs()[0];
    if (!c.filler)
        program.source = Replaced(program.source, "$F", "");
    else if (c.fillerFirst)
        program.source = Replaced(Replaced(program.source, "$F", ""), "public class $C {\n", "public class $C {\n$F");
    ASSERT_NO_FATAL_FAILURE(Compile(program));
    const ClassFile before = Parse(original_);
    const CodeInfo* show = CodeOf(before, MethodIndex(before, "show"));
    ASSERT_NE(show, nullptr);
    for (const LoadedString& s : show->strings)
        ASSERT_EQ(before.bytes[show->codeOffset + s.pc], c.loadOp) << "at " << s.pc;

    ExtendedPool pool;
    const RedirectedLoads result = Redirect(program.listed, pool);
    ASSERT_TRUE(result.ok()) << RedirectFaultWord(result.fault);
    EXPECT_EQ(pool.strings[0] > 0xFF, c.filler);
    // The old tail with each load's operand set to the new entry, in the load's own form.
    std::string expected = original_.substr(before.poolEnd);
    const uint16_t ok = StringIndex(before, "OK");
    const uint16_t to = pool.strings[0];
    for (const std::string& name : program.listed) {
        const CodeInfo* code = CodeOf(before, MethodIndex(before, name));
        for (const LoadedString& s : code->strings) {
            if (s.stringIndex != ok)
                continue;
            const size_t operand = code->codeOffset + s.pc + 1 - before.poolEnd;
            if (c.loadOp == 0x12) {
                expected[operand] = static_cast<char>(to);
            } else {
                expected[operand] = static_cast<char>(to >> 8);
                expected[operand + 1] = static_cast<char>(to & 0xFF);
            }
        }
    }
    EXPECT_EQ(result.tail, expected);
    ASSERT_NO_FATAL_FAILURE(CheckRewritten(program.listed, pool.head + result.tail, pool.strings[0]));
}

INSTANTIATE_TEST_SUITE_P(Javac, LoadsChangedInPlace,
                         ::testing::Values(InPlace{"LdcInASmallPool", false, false, 0x12},
                                           InPlace{"LdcWInALargePool", true, true, 0x13}),
                         [](const ::testing::TestParamInfo<InPlace>& info) { return std::string(info.param.name); });

// A method past 32 KiB: javac jumps over its loop with goto_w, which is moved as it is; a
// method a little shorter keeps two-byte branches, which the grown loads push out of range.
TEST_F(LoadRedirectJava, LongBranchesMoveAndShortOnesOutOfRangeFail)
{
    const auto program = [](int calls) {
        return Program{"Long", {"show"},
                       "public class $C {\n    static int shown, plain;\n"
                       "    static void p(String s) { if (s.equals(\"" + kShown + "\")) shown++; else if (s.equals(\"OK\")) plain++; }\n"
                       "    static void show(int n) {\n        for (int i = 0; i < n; i++) {\n" +
                           Repeated("            p($S);\n", calls) +
                           "        }\n    }\n    public static void main(String[] args) {\n"
                           "        show(2);\n        System.out.println(shown + \" \" + plain);\n    }\n$F}\n"};
    };
    const auto opcodes = [](const ClassFile& cf) {
        std::set<uint8_t> ops;
        for (const auto& [pc, op] : Instructions(cf, *CodeOf(cf, MethodIndex(cf, "show"))))
            ops.insert(op);
        return ops;
    };

    const Program longer = program(6600);
    ASSERT_NO_FATAL_FAILURE(Compile(longer));
    ASSERT_EQ(opcodes(Parse(original_)).count(0xC8), 1u) << "javac wrote no goto_w";
    ExtendedPool pool;
    RedirectedLoads result = Redirect(longer.listed, pool);
    ASSERT_TRUE(result.ok()) << RedirectFaultWord(result.fault);
    ASSERT_NO_FATAL_FAILURE(CheckRewritten(longer.listed, pool.head + result.tail, pool.strings[0]));

    ASSERT_NO_FATAL_FAILURE(Compile(program(6500)));
    const ClassFile shorter = Parse(original_);
    ASSERT_EQ(opcodes(shorter).count(0xC8), 0u) << "javac wrote goto_w";
    result = Redirect({"show"}, pool);
    EXPECT_EQ(result.fault, RedirectFault::BranchOutOfRange);
    EXPECT_EQ(result.method, MethodIndex(shorter, "show"));
    ASSERT_LT(result.offset, original_.size());
    const auto op = static_cast<uint8_t>(original_[result.offset]);
    EXPECT_TRUE((op >= 0x99 && op <= 0xA7) || op == 0xC6 || op == 0xC7) << int(op);
    EXPECT_EQ(result.tail, "");
}

// ---- Hand-made code: the limits and the faults

// A class with a pool past 256 entries and one method `run` whose Code attribute has the
// given content after max_stack and max_locals.
struct HandMade {
    ClassFileBuilder b{"Hand"};
    uint16_t ok = 0;
    uint16_t other = 0;

    HandMade()
    {
        ok = b.String("OK");  // loaded by ldc: before the filler
        other = b.String("other");
        for (int i = 0; i < 300; ++i)
            b.String("f" + std::to_string(i));
    }
    // code_length, code, no handlers unless given, attributes.
    std::vector<uint8_t> Build(const std::vector<uint8_t>& code, const std::vector<uint8_t>& handlers = {0, 0},
                               const std::vector<ClassFileBuilder::Attribute>& attributes = {})
    {
        Bytes content;
        content.U2(4).U2(4).U4(static_cast<uint32_t>(code.size())).Append(code).Append(handlers);
        ClassFileBuilder::AppendAttributes(content, attributes);
        b.Method("run", "()V", {b.Attr("Code", content.data)});
        return b.Build();
    }
    uint16_t NewIndex() const { return static_cast<uint16_t>(b.PoolCount() + 1); }
};

RedirectedLoads RedirectRun(const std::vector<uint8_t>& bytes, uint16_t from, uint16_t to)
{
    const ClassFile cf = Parse(bytes);
    EXPECT_TRUE(cf.parsed) << ReasonWord(cf.error) << " at " << cf.errorOffset;
    const LoadRedirect redirect{0, from, to};
    return RedirectLoads(cf, std::span(&redirect, 1));
}

// The rewritten class with a Utf8 and a String appended for it, parsed.
ClassFile Reparsed(const std::vector<uint8_t>& bytes, const RedirectedLoads& result)
{
    const ClassFile cf = Parse(bytes);
    const std::string whole = ExtendPool(cf, {"new"}).head + result.tail;
    return Parse(whole);
}

std::vector<uint8_t> Nops(Bytes code, size_t until, std::vector<uint8_t> after = {0xB1})
{
    while (code.size() < until)
        code.U1(0x00);
    return code.Append(after).data;
}

struct Fault {
    const char* name;
    RedirectFault fault;
    std::function<std::vector<uint8_t>(HandMade&)> build;
};

void PrintTo(const Fault& fault, std::ostream* os)
{
    *os << fault.name;
}

class RedirectFaults : public ::testing::TestWithParam<Fault> {};

TEST_P(RedirectFaults, LeaveNoHalfChangedClass)
{
    HandMade h;
    const std::vector<uint8_t> bytes = GetParam().build(h);
    const RedirectedLoads result = RedirectRun(bytes, h.ok, h.NewIndex());
    EXPECT_EQ(result.fault, GetParam().fault) << RedirectFaultWord(result.fault);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.tail, "");
    EXPECT_EQ(result.method, 0);
    EXPECT_LT(result.offset, bytes.size());
}

const std::vector<Fault>& Faults()
{
    static const std::vector<Fault> faults = {
        {"UnknownCodeAttribute", RedirectFault::UnknownCodeAttribute,
         [](HandMade& h) {
             return h.Build({0x12, static_cast<uint8_t>(h.ok), 0x57, 0xB1}, {0, 0}, {h.b.Attr("Weird", {1, 2, 3})});
         }},
        {"CodeTooLong", RedirectFault::CodeTooLong,
         [](HandMade& h) { return h.Build(Nops(Bytes().U1(0x12).U1(h.ok).U1(0x57), 65534)); }},
        {"ForwardBranchOutOfRange", RedirectFault::BranchOutOfRange,
         [](HandMade& h) {
             return h.Build(Nops(Bytes().U1(0xA7).U2(32767).U1(0x12).U1(h.ok).U1(0x57), 32767));
         }},
        {"BackwardBranchOutOfRange", RedirectFault::BranchOutOfRange,
         [](HandMade& h) {
             Bytes code;
             code.U1(0x12).U1(h.ok).U1(0x57);
             return h.Build(Nops(code, 32768, {0xA7, 0x80, 0x00}));  // goto -32768
         }},
        {"BranchIntoAnInstruction", RedirectFault::BadCodeOffset,
         [](HandMade& h) { return h.Build({0x12, static_cast<uint8_t>(h.ok), 0x57, 0xA7, 0xFF, 0xFE, 0xB1}); }},
        {"HandlerInsideAnInstruction", RedirectFault::BadCodeOffset,
         [](HandMade& h) { return h.Build({0x12, static_cast<uint8_t>(h.ok), 0x57, 0xB1}, {0, 1, 0, 0, 0, 3, 0, 1, 0, 0}); }},
        {"SwitchIntoAnInstruction", RedirectFault::BadCodeOffset,
         [](HandMade& h) {
             Bytes code;
             // 4: lookupswitch, padded to 8, with no pairs and its default into the ldc
             code.U1(0x12).U1(h.ok).U1(0x57).U1(0x03).U1(0xAB).U1(0).U1(0).U1(0).U4(static_cast<uint32_t>(-3)).U4(0);
             code.U1(0xB1);
             return h.Build(code.data);
         }},
        {"FrameInsideAnInstruction", RedirectFault::BadCodeOffset,
         [](HandMade& h) {
             return h.Build({0x12, static_cast<uint8_t>(h.ok), 0x57, 0xB1}, {0, 0},
                            {h.b.Attr("StackMapTable", {0, 1, 1})});  // a same frame at 1
         }},
        {"LineNumberPastTheCode", RedirectFault::BadCodeOffset,
         [](HandMade& h) {
             return h.Build({0x12, static_cast<uint8_t>(h.ok), 0x57, 0xB1}, {0, 0},
                            {h.b.Attr("LineNumberTable", {0, 1, 0, 5, 0, 1})});
         }},
        {"TypeAnnotationOfAField", RedirectFault::MalformedCode,
         [](HandMade& h) {
             const uint16_t type = h.b.Utf8("LTag;");
             return h.Build({0x12, static_cast<uint8_t>(h.ok), 0x57, 0xB1}, {0, 0},
                            {h.b.Attr("RuntimeVisibleTypeAnnotations",
                                      Bytes().U2(1).U1(0x13).U1(0).U2(type).U2(0).data)});
         }},
    };
    return faults;
}

INSTANTIATE_TEST_SUITE_P(HandMade, RedirectFaults, ::testing::ValuesIn(Faults()),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

// The same shapes one step inside the limits are laid out, and an unknown attribute stays
// where no relayout is needed.
TEST(RedirectLimits, OneStepInsideEachLimitIsLaidOut)
{
    struct Inside {
        const char* name;
        std::function<std::vector<uint8_t>(HandMade&)> build;
        uint32_t codeLength;        // after the relayout
        int32_t branch;             // the offset of the goto after it; 0: none
    };
    const std::vector<Inside> cases = {
        {"CodeOf65535", [](HandMade& h) { return h.Build(Nops(Bytes().U1(0x12).U1(h.ok).U1(0x57), 65533)); }, 65535, 0},
        {"Forward32767",
         [](HandMade& h) { return h.Build(Nops(Bytes().U1(0xA7).U2(32766).U1(0x12).U1(h.ok).U1(0x57), 32766)); },
         32768, 32767},
        {"Backward32768",
         [](HandMade& h) {
             return h.Build(Nops(Bytes().U1(0x12).U1(h.ok).U1(0x57), 32767, {0xA7, 0x80, 0x01}));  // goto -32767
         },
         32771, -32768},
    };
    for (const Inside& c : cases) {
        SCOPED_TRACE(c.name);
        HandMade h;
        const std::vector<uint8_t> bytes = c.build(h);
        const RedirectedLoads result = RedirectRun(bytes, h.ok, h.NewIndex());
        ASSERT_TRUE(result.ok()) << RedirectFaultWord(result.fault);
        const ClassFile after = Reparsed(bytes, result);
        ASSERT_TRUE(after.parsed) << ReasonWord(after.error);
        ASSERT_EQ(after.codes.size(), 1u);
        const CodeInfo& code = after.codes[0];
        EXPECT_EQ(code.codeLength, c.codeLength);
        ASSERT_EQ(code.strings.size(), 1u);
        EXPECT_EQ(code.strings[0].stringIndex, h.NewIndex());
        EXPECT_EQ(after.bytes[code.codeOffset + code.strings[0].pc], 0x13);
        if (c.branch != 0) {
            bool found = false;
            for (const auto& [pc, op] : Instructions(after, code)) {
                if (op == 0xA7) {
                    found = true;
                    EXPECT_EQ(bytecode::S2(after.bytes.data() + code.codeOffset + pc + 1), c.branch);
                }
            }
            EXPECT_TRUE(found);
        }
    }
}

// wide instructions are stepped over at their own length and copied as they are; a branch
// across them keeps its target.
TEST(RedirectLimits, WideInstructionsMoveWhole)
{
    HandMade h;
    // 0 ldc, 2 pop, 3 wide iinc 256 1, 9 wide iload 256, 13 pop, 14 goto 0, 17 return
    const std::vector<uint8_t> bytes = h.Build({0x12, static_cast<uint8_t>(h.ok), 0x57, 0xC4, 0x84, 0x01, 0x00, 0x00,
                                                0x01, 0xC4, 0x15, 0x01, 0x00, 0x57, 0xA7, 0xFF, 0xF2, 0xB1});
    const RedirectedLoads result = RedirectRun(bytes, h.ok, h.NewIndex());
    ASSERT_TRUE(result.ok()) << RedirectFaultWord(result.fault);
    const ClassFile after = Reparsed(bytes, result);
    ASSERT_TRUE(after.parsed) << ReasonWord(after.error);
    const CodeInfo& code = after.codes[0];
    const std::vector<uint8_t> expected = {0x13, static_cast<uint8_t>(h.NewIndex() >> 8), static_cast<uint8_t>(h.NewIndex()),
                                           0x57, 0xC4, 0x84, 0x01, 0x00, 0x00, 0x01, 0xC4, 0x15, 0x01, 0x00, 0x57,
                                           0xA7, 0xFF, 0xF1, 0xB1};  // goto -15
    EXPECT_EQ(std::vector<uint8_t>(after.bytes.begin() + code.codeOffset,
                                   after.bytes.begin() + code.codeOffset + code.codeLength),
              expected);
}

TEST(RedirectLimits, UnknownAttributeStaysWhenTheLoadsKeepTheirForm)
{
    HandMade h;
    const std::vector<uint8_t> bytes =
        h.Build({0x12, static_cast<uint8_t>(h.ok), 0x57, 0xB1}, {0, 0}, {h.b.Attr("Weird", {1, 2, 3})});
    const RedirectedLoads result = RedirectRun(bytes, h.ok, h.other);
    ASSERT_TRUE(result.ok()) << RedirectFaultWord(result.fault);
    const ClassFile before = Parse(bytes);
    std::string expected(bytes.begin() + static_cast<ptrdiff_t>(before.poolEnd), bytes.end());
    expected[before.codes[0].codeOffset + 1 - before.poolEnd] = static_cast<char>(h.other);
    EXPECT_EQ(result.tail, expected);
}

// Tables whose offsets fall inside an instruction (the JVM loads such debugging tables) keep
// them inside the same instruction; frames change form where their delta passes 63, and the
// offset of a `new` in a frame moves with it.
TEST(RedirectLimits, TablesFollowTheirInstructions)
{
    HandMade h;
    const uint16_t object = h.b.Class("java/lang/Object");
    // old -> new: 0 ldc (0, 3 bytes), 2 pop (3), 3 new (4), 6 pop (7), nops, 63 nop (64),
    // 64 ldc (65), 66 pop (68), nops, 127 nop (129), 128 return (130); 129 bytes -> 131
    Bytes code;
    code.U1(0x12).U1(h.ok).U1(0x57).U1(0xBB).U2(object).U1(0x57);
    code.data = Nops(code, 64, {0x12, static_cast<uint8_t>(h.ok), 0x57});
    code.data = Nops(code, 128);
    Bytes lines;  // start_pc, line_number: at the ldc, inside it, the new, inside the second ldc, the return
    lines.U2(5).U2(0).U2(10).U2(1).U2(11).U2(3).U2(12).U2(65).U2(13).U2(128).U2(14);
    Bytes frames;
    frames.U2(3);
    frames.U1(63);                                  // same, at 63
    frames.U1(64 + 63).U1(8).U2(3);                 // one stack item (the `new` at 3), at 127
    frames.U1(255).U2(0).U2(0).U2(1).U1(8).U2(3);   // full, at 128, the same stack
    Bytes variables;  // start_pc, length, name, descriptor, slot: [3, 129) and [1, 3)
    variables.U2(2).U2(3).U2(126).U2(h.b.Utf8("x")).U2(h.b.Utf8("I")).U2(0);
    variables.U2(1).U2(2).U2(h.b.Utf8("y")).U2(h.b.Utf8("I")).U2(1);
    Bytes handlers;
    handlers.U2(1).U2(3).U2(6).U2(128).U2(0);
    const std::vector<uint8_t> bytes =
        h.Build(code.data, handlers.data,
                {h.b.Attr("LineNumberTable", lines.data), h.b.Attr("StackMapTable", frames.data),
                 h.b.Attr("LocalVariableTable", variables.data)});
    const RedirectedLoads result = RedirectRun(bytes, h.ok, h.NewIndex());
    ASSERT_TRUE(result.ok()) << RedirectFaultWord(result.fault);
    const ClassFile after = Reparsed(bytes, result);
    ASSERT_TRUE(after.parsed) << ReasonWord(after.error);
    const CodeInfo& info = after.codes[0];
    ASSERT_EQ(info.codeLength, 131u);
    ASSERT_EQ(info.strings.size(), 2u);
    EXPECT_EQ(info.strings[0].pc, 0u);
    EXPECT_EQ(info.strings[1].pc, 65u);
    ASSERT_EQ(info.handlers.size(), 1u);
    EXPECT_EQ(info.handlers[0].startPc, 4);
    EXPECT_EQ(info.handlers[0].endPc, 7);
    EXPECT_EQ(info.handlers[0].handlerPc, 130);

    // After the handler table: attributes_count, then each attribute's name, length, content.
    const uint8_t* p = after.bytes.data() + info.codeOffset + info.codeLength + 2 + 8 + 2;
    const auto content = [&p] {
        const auto length = static_cast<uint32_t>(bytecode::S4(p + 2));
        std::vector<uint8_t> all(p + 6, p + 6 + length);
        p += 6 + length;
        return all;
    };
    EXPECT_EQ(content(), Bytes().U2(5).U2(0).U2(10).U2(1).U2(11).U2(4).U2(12).U2(66).U2(13).U2(130).U2(14).data);
    EXPECT_EQ(content(), Bytes()
                             .U2(3)
                             .U1(251).U2(64)                           // same, at 64: extended
                             .U1(247).U2(64).U1(8).U2(4)               // one item, at 129: extended
                             .U1(255).U2(0).U2(0).U2(1).U1(8).U2(4)  // full, at 130
                             .data);
    EXPECT_EQ(content(), Bytes()
                             .U2(2)
                             .U2(4).U2(127).U2(h.b.Utf8("x")).U2(h.b.Utf8("I")).U2(0)
                             .U2(1).U2(3).U2(h.b.Utf8("y")).U2(h.b.Utf8("I")).U2(1)
                             .data);
}

TEST(RedirectLimits, BadRedirectsAndUnparsedClassesChangeNothing)
{
    HandMade h;
    const std::vector<uint8_t> bytes = h.Build({0x12, static_cast<uint8_t>(h.ok), 0x57, 0xB1});
    const ClassFile cf = Parse(bytes);
    const uint16_t to = h.NewIndex();
    const std::vector<std::pair<const char*, std::vector<LoadRedirect>>> bad = {
        {"no such method", {{1, h.ok, to}}},
        {"from a Utf8", {{0, static_cast<uint16_t>(cf.pool[h.ok].StringIndex()), to}}},
        {"from past the pool", {{0, to, to}}},
        {"to 0", {{0, h.ok, 0}}},
        {"to 65535", {{0, h.ok, 0xFFFF}}},
        {"one load to two entries", {{0, h.ok, to}, {0, h.other, to}, {0, h.ok, static_cast<uint16_t>(to + 2)}}},
    };
    for (const auto& [name, redirects] : bad) {
        const RedirectedLoads result = RedirectLoads(cf, redirects);
        EXPECT_EQ(result.fault, RedirectFault::BadRedirect) << name;
        EXPECT_EQ(result.tail, "") << name;
    }
    const std::vector<LoadRedirect> twice = {{0, h.ok, to}, {0, h.ok, to}};
    EXPECT_TRUE(RedirectLoads(cf, twice).ok());
    const std::vector<LoadRedirect> none;
    const RedirectedLoads nothing = RedirectLoads(cf, none);
    ASSERT_TRUE(nothing.ok());
    EXPECT_EQ(nothing.tail, std::string(bytes.begin() + static_cast<ptrdiff_t>(cf.poolEnd), bytes.end()));

    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 1);
    const ClassFile unparsed = Parse(cut);
    ASSERT_FALSE(unparsed.parsed);
    const LoadRedirect redirect{0, h.ok, to};
    EXPECT_EQ(RedirectLoads(unparsed, std::span(&redirect, 1)).fault, RedirectFault::NotParsed);
}

}  // namespace
