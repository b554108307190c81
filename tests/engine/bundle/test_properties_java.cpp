// The .properties reader and the variant writer against Java itself: tricky files are read by
// PropertyResourceBundle (what ResourceBundle.getBundle uses) in a small Java program, and
// every key and value it gets, as UTF-16 units, must be what the engine reads; a written
// variant must give Java exactly the values it was written with.

#include "bundle/Properties.h"
#include "bundle/PropertiesWriter.h"
#include "text/CodePoints.h"

#include "JavaOracle.h"
#include "ScratchFolder.h"
#include "Tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using cl::bundle::ParseProperties;

const char* const kOracle = R"java(
import java.io.*;
import java.nio.file.*;
import java.util.*;

public class PropertiesOracle {
    static String hex(String s) {
        StringBuilder b = new StringBuilder();
        for (char c : s.toCharArray()) b.append(String.format("%04x", (int) c));
        return b.toString();
    }
    public static void main(String[] args) throws Exception {
        for (String f : args) {
            System.out.println("FILE " + Paths.get(f).getFileName());
            try (InputStream in = new FileInputStream(f)) {
                PropertyResourceBundle b = new PropertyResourceBundle(in);
                for (String k : new TreeSet<>(b.keySet()))
                    System.out.println(hex(k) + " " + hex(b.getString(k)));
            } catch (Exception e) {
                System.out.println("ERROR " + e.getClass().getSimpleName());
            }
        }
    }
}
)java";

std::string Hex16(const std::string& utf8)
{
    std::string out;
    char unit[8];
    for (const char16_t u : cl::Utf8ToUtf16Lenient(utf8)) {
        std::snprintf(unit, sizeof unit, "%04x", static_cast<unsigned>(u));
        out += unit;
    }
    return out;
}

// What the engine reads, printed as the oracle prints what Java reads: keys in String order.
std::string Rendered(const std::string& name, const std::string& bytes)
{
    std::string out = "FILE " + name + "\n";
    const auto parsed = ParseProperties(bytes);
    if (!parsed) {
        const cl::ErrorKind kind = parsed.error().kind;
        out += kind == cl::ErrorKind::BadEscape        ? "ERROR IllegalArgumentException\n"
               : kind == cl::ErrorKind::BundleCutShort ? "ERROR MalformedInputException\n"
                                                       : "ERROR other\n";
        return out;
    }
    std::vector<std::pair<std::u16string, std::string>> rows;
    for (const auto& entry : parsed->entries)
        rows.emplace_back(cl::Utf8ToUtf16Lenient(entry.key), Hex16(entry.key) + " " + Hex16(entry.value));
    std::sort(rows.begin(), rows.end());
    for (const auto& row : rows)
        out += row.second + "\n";
    return out;
}

// The files, by name; each is read by Java and by the engine.
std::vector<std::pair<std::string, std::string>> TrickyFiles()
{
    return {
        {"escapes.properties",
         "tab=a\\tb\nnl=a\\nb\ncr=a\\rb\nff=a\\fb\neq=a\\=b\ncolon=a\\:b\nbs=a\\\\b\nhash=\\#x\nbang=\\!x\n"
         "other=\\q\\z\\u0041\\u00e9\\u4E2D\\ \n"},
        {"separators.properties",
         "a=b\nc:d\ne f\ng   =   h\ni\\ j = k\nl\\=m=n\no\\:p:q\nr \t\f s\nkeyonly\n  indented = v\nx==y\nz::w\n"
         "empty=\nsp= \\ lead\ntrail=v   \nblank   \n:novalue\n=nokey\n"},
        {"continued.properties",
         "a=one \\\n    two\nb=ends\\\\\nc=three\\\\\\\n  four\nd=\\\n\ne=f\n#comment \\\ng=h\n! bang comment \\\n"
         "i=j\nk=l\\\n#notcomment\n \\\n#c2\nm=n\\"},
        {"crlf.properties", "a=1\r\nb=2\\\r\n  3\r\n\r\nc=4\\\r\n\r\nd=5\r\n"},
        {"cr.properties", "a=1\rb=2\\\r  3\r#c\\\rd=4\r\re=5"},
        {"mixed-ends.properties", "a=1\n\rb=2\r\n\nc=3\\\n\r\\\r\n d=4"},
        {"utf8.properties", "名前=値\nemoji=😀 \\uD83D\\uDE00\nlone=\\uD800x\nlow=\\uDC00\nswap=\\uDE00\\uD83D\n"
                            "mix=\\uD83D😀\nnul=a\\u0000b\nkey\\ with\\ spaces=\\u0020lead\n"},
        {"latin1.properties", "name=Jos\xe9\ncaf\xe9=cr\xe8me br\xfbl\xe9\n"},
        {"half-utf8.properties", "a=\xc3\xa9\nb=\xe9\n"},
        {"bom.properties", "\xEF\xBB\xBFkey=value\n"},
        {"bad-escape.properties", "a=b\nc=\\u12G4\n"},
        {"short-escape.properties", "a=\\u12"},
        {"bad-escape-in-key.properties", "\\uZZZZ=v\n"},
        {"cut-utf8.properties", "a=\xe4\xb8\xad\nb=x\xe4\xb8"},
        {"latin1-last-byte.properties", "name=Jos\xe9"},
        {"latin1-bad-second.properties", "name=\xe0\x41"},
        {"cut-surrogate.properties", "a=\xed\xa0"},
        {"cut-overlong.properties", "a=\xe0\x80"},
        {"cut-past-max.properties", "a=\xf4\x90"},
        {"cut-four.properties", "a=\xf0\x9f\x98"},
        {"never-lead.properties", "a=\xc1"},
        {"encoded-surrogate.properties", "a=\xed\xa0\x80\n"},
        {"repeated.properties", "a=1\nb=2\na=3\n"},
        {"lone-backslash-eof.properties", "\\"},
        {"lone-backslash-line.properties", "\\\n"},
        {"backslash-then-comment.properties", "   \\\n#c\nx=y\n"},
        {"blanks.properties", "\t\f \n  \t a = b \n\n\n"},
        {"comment-at-end.properties", "a=b\n#end"},
        {"empty.properties", ""},
        {"only-comments.properties", "# one\n! two\n"},
        {"long.properties", "long=" + std::string(10000, 'x') + "\\\n  tail\n" + std::string(9000, ' ') + "k=v\n"},
    };
}

class PropertiesAgainstJava : public cltest::ScratchFolder {
protected:
    void SetUp() override
    {
        cltest::ScratchFolder::SetUp();
        CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
        CLTEST_REQUIRE_TOOL("java", CLASSLINGO_JAVA);
    }

    // Java's reading of the files, as the oracle prints it.
    std::string JavaReads(const std::vector<std::pair<std::string, std::string>>& files)
    {
        std::string args;
        for (const auto& [name, bytes] : files) {
            Write(Path(name), bytes);
            args += " '" + Path(name) + "'";
        }
        const auto run = cltest::RunJavaProgram(dir_.string(), "PropertiesOracle",
                                                kOracle, args);
        EXPECT_TRUE(run.ok) << run.error;
        return run.out;
    }
};

TEST_F(PropertiesAgainstJava, EveryKeyAndValueIsWhatJavaReads)
{
    const auto files = TrickyFiles();
    const std::string java = JavaReads(files);
    // Compared file by file, so that a failure names the file.
    std::size_t from = 0;
    for (const auto& [name, bytes] : files) {
        const std::string mine = Rendered(name, bytes);
        const std::size_t at = java.find("FILE " + name + "\n", from);
        ASSERT_NE(at, std::string::npos) << name;
        const std::size_t next = java.find("FILE ", at + 5);
        EXPECT_EQ(java.substr(at, next == std::string::npos ? std::string::npos : next - at), mine) << name;
        from = at + 1;
    }
}

TEST_F(PropertiesAgainstJava, WrittenVariantGivesJavaTheValuesWritten)
{
    // Sources with the values a translation brings: every character that needs escaping, in
    // keys and values, blanks at both ends, characters beyond the BMP and lone surrogates.
    const std::vector<std::pair<std::string, std::string>> sources = {
        {"lf.properties",
         "# header comment \xc3\xa9 \\\n\nplain=Open\nspaces in key=x\n key\\=with\\:seps\\#\\!=v\ntrail=t\n"
         "lead=l\nctrl=c\nsurrogates=s\nempty=\nkeep=unchanged\n#end\n"},
        {"crlf.properties", "a=1\r\n\r\n# c\r\nb=2\r\nc\\\r\n  d=3\r\n"},
        {"cr.properties", "a=1\rb=2"},
        {"latin1.properties", "caf\xe9=cr\xe8me\n"},
    };
    const std::map<std::string, std::string> translations = {
        {"plain", "打开"},
        {"spaces in key", "  两个空格开头，结尾也有  "},
        {" key=with:seps#!", "=:#!\\ \t\n\r\f 😀"},
        {"trail", "尾\\"},
        {"lead", "#不是注释"},
        {"ctrl", std::string("\x01\x1f\x7f", 3) + "\xc2\x80\xc2\xa0"},
        {"surrogates", "\xed\xa0\x80 and \xed\xb0\x80"},  // \uD800 and \uDC00 alone
        {"empty", "!"},
        {"a", "甲"},
        {"b", "乙"},
        {"cd", "丙"},
        {"café", "奶油"},
    };
    std::vector<std::pair<std::string, std::string>> written;
    std::string expected;
    for (const auto& [name, bytes] : sources) {
        const auto source = ParseProperties(bytes);
        ASSERT_TRUE(source) << name;
        cl::bundle::VariantValues values;
        for (const auto& entry : source->entries) {
            const auto t = translations.find(entry.key);
            if (t != translations.end())
                values[entry.key] = t->second;
        }
        const std::string variant = cl::bundle::WriteVariant(*source, values);
        EXPECT_TRUE(std::all_of(variant.begin(), variant.end(),
                                [](char c) { return (c >= 0x20 && c <= 0x7E) || c == '\r' || c == '\n'; }))
            << name << ": not printable ASCII\n" << variant;
        written.emplace_back("zh-" + name, variant);

        // What Java must read: each key of the source with its translation, else its value.
        std::vector<std::pair<std::u16string, std::string>> rows;
        for (const auto& entry : source->entries) {
            const auto v = values.find(entry.key);
            rows.emplace_back(cl::Utf8ToUtf16Lenient(entry.key),
                              Hex16(entry.key) + " " + Hex16(v != values.end() ? v->second : entry.value));
        }
        std::sort(rows.begin(), rows.end());
        expected += "FILE zh-" + name + "\n";
        for (const auto& row : rows)
            expected += row.second + "\n";
    }
    EXPECT_EQ(JavaReads(written), expected);
}

}  // namespace
