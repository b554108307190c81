// gettext's Java bundles against gettext and Java themselves: classes msgfmt --java2 makes from
// PO files are read into exactly the messages of the PO (and of msgunfmt --java's decoding);
// the classes the engine writes are loaded by a small Java program through
// ResourceBundle.getBundle, gnu.gettext.GettextResource and gettext-commons' I18n (when Debian's
// jars are installed), with every class verified, and must answer every question as msgfmt's
// own class does. Jmol's shipped zh_CN and zh_TW bundles are read and updated when installed.

#include "bundle/GettextJavaBundle.h"
#include "catalogue/Po.h"
#include "classfile/ClassFile.h"
#include "text/CodePoints.h"
#include "zip/JarArchive.h"
#include "ErrorText.h"

#include "Java.h"
#include "ScratchFolder.h"
#include "Tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using cl::bundle::GettextFault;
using cl::bundle::GettextMessage;
using cl::bundle::ReadGettextJavaBundle;
using cl::bundle::WriteGettextJavaBundle;

const char* const kLibintl = "/usr/share/java/libintl.jar";         // gnu.gettext.GettextResource
const char* const kGettextJar = "/usr/share/java/gettext.jar";      // DumpResource, for msgunfmt --java
const char* const kCommons = "/usr/share/java/gettext-commons.jar";  // org.xnap.commons.i18n.I18n
const char* const kJmol = "/usr/share/jmol/Jmol.jar";

// The error's sentence and fault, for a failure message.
template <typename T>
std::string Why(const cl::Result<T>& result)
{
    if (result.ok())
        return "ok";
    return cltext::DescribeError(result.error()) + " (fault " + std::to_string(result.error().fault) + ")";
}

bool Exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

// Texts cross to Java as the hex of their UTF-16 units, so that nothing is lost on the way.
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

// Asks a bundle every question a program asks: getString/getObject, getKeys, and gettext's
// and gettext-commons' calls, which find lookup and pluralEval by reflection.
const char* const kOracle = R"java(
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.nio.file.*;
import java.util.*;

public class GettextOracle {
    static String hex(String s) {
        if (s == null) return "null";
        StringBuilder b = new StringBuilder("h");
        for (char c : s.toCharArray()) b.append(String.format("%04x", (int) c));
        return b.toString();
    }
    static String unhex(String h) {
        StringBuilder b = new StringBuilder();
        for (int i = 0; i + 4 <= h.length(); i += 4) b.append((char) Integer.parseInt(h.substring(i, i + 4), 16));
        return b.toString();
    }
    static Class<?> optional(String name) {
        try { return Class.forName(name); } catch (ClassNotFoundException e) { return null; }
    }
    public static void main(String[] args) throws Exception {
        String[] tag = args[1].split("_");
        Locale locale = tag.length > 1 ? new Locale(tag[0], tag[1]) : new Locale(tag[0]);
        ResourceBundle b = ResourceBundle.getBundle(args[0], locale);
        StringBuilder out = new StringBuilder();
        out.append("CLASS ").append(b.getClass().getName()).append('\n');
        List<String> keys = Collections.list(b.getKeys());
        Collections.sort(keys);
        for (String k : keys) out.append("KEY ").append(hex(k)).append('\n');
        Class<?> gr = optional("gnu.gettext.GettextResource");
        Class<?> i18nClass = optional("org.xnap.commons.i18n.I18n");
        Object i18n = i18nClass == null ? null : i18nClass.getConstructor(ResourceBundle.class).newInstance(b);
        long[] counts = {0, 1, 2, 3, 4, 5, 7, 11, 12, 14, 21, 22, 25, 100, 101, 102, 103, 111, 112, 1000, 1001};
        for (String line : Files.readAllLines(Paths.get(args[2]), StandardCharsets.UTF_8)) {
            String[] f = line.split(" ", -1);
            String[] a = new String[f.length - 1];
            for (int i = 1; i < f.length; i++) a[i - 1] = unhex(f[i]);
            out.append(line).append(" =");
            switch (f[0]) {
                case "get":
                    try {
                        Object o = b.getObject(a[0]);
                        out.append(' ').append(o instanceof String ? hex((String) o) : o.getClass().getName());
                    } catch (MissingResourceException e) {
                        out.append(" missing");
                    }
                    break;
                case "gettext":
                    if (gr != null)
                        out.append(' ').append(hex((String) gr.getMethod("gettext", ResourceBundle.class, String.class).invoke(null, b, a[0])));
                    if (i18n != null)
                        out.append(' ').append(hex((String) i18nClass.getMethod("tr", String.class).invoke(i18n, a[0])));
                    break;
                case "pgettext":
                    if (gr != null)
                        out.append(' ').append(hex((String) gr.getMethod("pgettext", ResourceBundle.class, String.class, String.class).invoke(null, b, a[0], a[1])));
                    if (i18n != null)
                        out.append(' ').append(hex((String) i18nClass.getMethod("trc", String.class, String.class).invoke(i18n, a[0], a[1])));
                    break;
                case "ngettext":
                    for (long n : counts) {
                        if (gr != null)
                            out.append(' ').append(hex((String) gr.getMethod("ngettext", ResourceBundle.class, String.class, String.class, long.class).invoke(null, b, a[0], a[1], n)));
                        if (i18n != null)
                            out.append(' ').append(hex((String) i18nClass.getMethod("trn", String.class, String.class, long.class).invoke(i18n, a[0], a[1], n)));
                    }
                    break;
                case "npgettext":
                    for (long n : counts) {
                        if (gr != null)
                            out.append(' ').append(hex((String) gr.getMethod("npgettext", ResourceBundle.class, String.class, String.class, String.class, long.class).invoke(null, b, a[0], a[1], a[2], n)));
                        if (i18n != null)
                            out.append(' ').append(hex((String) i18nClass.getMethod("trnc", String.class, String.class, String.class, long.class).invoke(i18n, a[0], a[1], a[2], n)));
                    }
                    break;
                default:
                    out.append(" ?");
            }
            out.append('\n');
        }
        System.out.print(out);
    }
}
)java";

std::vector<GettextMessage> FromPo(const std::vector<cl::catalogue::PoMessage>& messages)
{
    std::vector<GettextMessage> out;
    for (const auto& m : messages) {
        GettextMessage g;
        if (m.hasContext)
            g.context = m.context;
        g.msgid = m.msgid;
        if (m.plural) {
            g.msgidPlural = m.msgidPlural;
            g.msgstr = m.msgstrPlural;
        } else {
            g.msgstr = {m.msgstr};
        }
        out.push_back(std::move(g));
    }
    return out;
}

// The messages without the header, by key: the order of a table is its hash's, not the PO's.
std::map<std::string, GettextMessage> ByKey(const std::vector<GettextMessage>& messages)
{
    std::map<std::string, GettextMessage> out;
    for (const auto& m : messages)
        if (!m.Key().empty())
            out.emplace(m.Key(), m);
    return out;
}

std::string Header(const std::string& pluralForms)
{
    return "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n" +
           (pluralForms.empty() ? std::string() : "\"Plural-Forms: " + pluralForms + "\\n\"\n") + "\n";
}

std::string ManyMessages(int count)
{
    std::string po = Header("");
    for (int i = 0; i < count; ++i)
        po += "msgid \"Message number " + std::to_string(i) + "\"\nmsgstr \"第 " + std::to_string(i) + " 条消息\"\n\n";
    return po;
}

struct PoCase {
    const char* name;
    const char* language;
    std::string po;
};

std::vector<PoCase> PoCases()
{
    return {
        {"plain", "zh_CN",
         Header("nplurals=1; plural=0;") +
             "msgid \"File\"\nmsgstr \"文件\"\n\nmsgid \"Open...\"\nmsgstr \"打开...\"\n\n"
             "msgid \"Quit\"\nmsgstr \"退出\"\n\nmsgid \"Select &All\"\nmsgstr \"全选(&A)\"\n\n"},
        {"contexts", "zh_CN",
         Header("") + "msgid \"Open\"\nmsgstr \"打开\"\n\nmsgctxt \"menu\"\nmsgid \"Open\"\nmsgstr \"打开菜单\"\n\n"
                      "msgctxt \"verb\"\nmsgid \"Open\"\nmsgstr \"打开(动词)\"\n\nmsgctxt \"\"\nmsgid \"Empty context\"\n"
                      "msgstr \"空上下文\"\n\n"},
        {"plurals-ru", "ru",
         Header("nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 "
                ": 2);") +
             "msgid \"a file\"\nmsgid_plural \"%d files\"\nmsgstr[0] \"%d файл\"\nmsgstr[1] \"%d файла\"\n"
             "msgstr[2] \"%d файлов\"\n\nmsgid \"plain\"\nmsgstr \"простой\"\n\n"
             "msgctxt \"disk\"\nmsgid \"a block\"\nmsgid_plural \"%d blocks\"\nmsgstr[0] \"%d блок\"\n"
             "msgstr[1] \"%d блока\"\nmsgstr[2] \"\"\n\n"},
        {"plurals-ar", "ar",
         Header("nplurals=6; plural=n==0 ? 0 : n==1 ? 1 : n==2 ? 2 : n%100>=3 && n%100<=10 ? 3 : n%100>=11 ? 4 : 5;") +
             "msgid \"a day\"\nmsgid_plural \"%d days\"\nmsgstr[0] \"0\"\nmsgstr[1] \"1\"\nmsgstr[2] \"2\"\n"
             "msgstr[3] \"3\"\nmsgstr[4] \"4\"\nmsgstr[5] \"5\"\n\n"},
        {"plurals-zh", "zh_TW",
         Header("nplurals=1; plural=0;") +
             "msgid \"%d item\"\nmsgid_plural \"%d items\"\nmsgstr[0] \"%d 個項目\"\n\nmsgid \"Help\"\nmsgstr \"說明\"\n\n"},
        {"plurals-default", "de",
         Header("") + "msgid \"one\"\nmsgid_plural \"many\"\nmsgstr[0] \"eins\"\nmsgstr[1] \"viele\"\n\n"},
        {"empty-msgstr", "zh_CN",
         Header("") + "msgid \"Translated\"\nmsgstr \"已翻译\"\n\nmsgid \"Untranslated\"\nmsgstr \"\"\n\n"
                      "#, fuzzy\nmsgid \"Fuzzy\"\nmsgstr \"模糊\"\n\n"},
        {"non-ascii", "zh_CN",
         Header("") + "msgid \"Tab\\there\"\nmsgstr \"制表\\t符\"\n\nmsgid \"Line\\nbreak\"\nmsgstr \"换\\n行\"\n\n"
                      "msgid \"Quote \\\"x\\\" and \\\\\"\nmsgstr \"引号“x”和\\\\\"\n\n"
                      "msgid \"Emoji\"\nmsgstr \"表情 😀 𝄞\"\n\nmsgid \"Café\"\nmsgstr \"咖啡馆 é ß\"\n\n"
                      "msgid \"Œuvre ⟨𝔸⟩\"\nmsgstr \"作品\"\n\n"},
        {"many", "zh_CN", ManyMessages(2500)},
    };
}

class GettextJavaBundleTest : public cltest::ScratchFolder {
protected:
    void SetUp() override
    {
        cltest::ScratchFolder::SetUp();
        CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
        CLTEST_REQUIRE_TOOL("java", CLASSLINGO_JAVA);
        CLTEST_REQUIRE_TOOL("msgfmt", CLASSLINGO_MSGFMT);
    }

    // msgfmt --java2's classes for `po` under `folder` (its own main class' bytes).
    std::string Msgfmt(const std::string& folder, const std::string& po, const std::string& base,
                       const std::string& language)
    {
        std::filesystem::create_directories(folder);
        const std::string poFile = folder + ".po";
        Write(poFile, po);
        std::string said;
        const std::string command = cltest::ShellQuoted(CLASSLINGO_MSGFMT) + " --java2 -d " +
                                    cltest::ShellQuoted(folder) + " -r " + base + " -l " + language + " " +
                                    cltest::ShellQuoted(poFile) + " 2>&1";
        EXPECT_EQ(cltest::RunCommand(command, said), 0) << command << "\n" << said;
        return Read(folder + "/" + cl::bundle::GettextBundleClassName(base, language) + ".class");
    }

    // msgunfmt --java's reading of the bundle in `folder`; empty when the machine lacks gettext.jar.
    std::optional<std::vector<GettextMessage>> Msgunfmt(const std::string& folder, const std::string& base,
                                                         const std::string& language)
    {
        if (!Exists(kGettextJar))
            return std::nullopt;
        const std::string msgunfmt =
            (std::filesystem::path(CLASSLINGO_MSGFMT).parent_path() / "msgunfmt").string();
        std::string po;
        const std::string command = "CLASSPATH=" + cltest::ShellQuoted(std::string(kGettextJar) + ":" + folder) + " " +
                                    cltest::ShellQuoted(msgunfmt) + " --java -r " + base + " -l " + language;
        EXPECT_EQ(cltest::RunCommand(command, po), 0) << command;
        const auto read = cl::catalogue::ReadPo(po, "msgunfmt");
        EXPECT_TRUE(read.ok()) << po;
        if (!read.ok())
            return std::nullopt;
        return FromPo(read->messages);
    }

    // Writes `classes` under `folder`.
    void Place(const std::string& folder, const cl::bundle::GettextJavaClasses& classes)
    {
        const std::filesystem::path main = std::filesystem::path(folder) / classes.mainPath;
        std::filesystem::create_directories(main.parent_path());
        Write(main.string(), classes.mainBytes);
        Write((std::filesystem::path(folder) / classes.enumerationPath).string(), classes.enumerationBytes);
    }

    // The oracle's answers for the bundle in `folder`, every class verified.
    std::string Ask(const std::string& folder, const std::string& base, const std::string& language,
                    const std::vector<std::string>& questions)
    {
        const std::string oracle = Path("oracle");
        if (!Exists(oracle + "/GettextOracle.class")) {
            std::filesystem::create_directories(oracle);
            const std::string compiled = cltest::CompileJava(oracle, "GettextOracle", kOracle);
            EXPECT_EQ(compiled, "");
        }
        const std::string queries = Path("questions.txt");
        std::string text;
        for (const auto& q : questions)
            text += q + "\n";
        Write(queries, text);
        std::string classPath = oracle + ":" + folder;
        for (const char* jar : {kLibintl, kCommons})
            if (Exists(jar))
                classPath += std::string(":") + jar;
        const std::string command = cltest::ShellQuoted(CLASSLINGO_JAVA) + " -Xverify:all -cp " +
                                    cltest::ShellQuoted(classPath) + " GettextOracle " + base + " " + language + " " +
                                    cltest::ShellQuoted(queries) + " 2>&1";
        std::string out;
        EXPECT_EQ(cltest::RunCommand(command, out), 0) << command << "\n" << out;
        return out;
    }

    // Every question about the messages, and about a text no message has.
    static std::vector<std::string> Questions(const std::vector<GettextMessage>& messages)
    {
        std::vector<std::string> q;
        for (const auto& m : messages) {
            q.push_back("get " + Hex16(m.Key()));
            if (m.context && m.msgidPlural)
                q.push_back("npgettext " + Hex16(*m.context) + " " + Hex16(m.msgid) + " " + Hex16(*m.msgidPlural));
            else if (m.context)
                q.push_back("pgettext " + Hex16(*m.context) + " " + Hex16(m.msgid));
            else if (m.msgidPlural)
                q.push_back("ngettext " + Hex16(m.msgid) + " " + Hex16(*m.msgidPlural));
            else
                q.push_back("gettext " + Hex16(m.msgid));
        }
        q.push_back("get " + Hex16("No such message"));
        q.push_back("gettext " + Hex16("No such message"));
        q.push_back("ngettext " + Hex16("No such message") + " " + Hex16("No such messages"));
        return q;
    }

    // The oracle's "get" answer for each key: the msgstr (the first form) or "missing".
    static std::map<std::string, std::string> Gets(const std::string& answers)
    {
        std::map<std::string, std::string> gets;
        std::istringstream lines(answers);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("get ", 0) != 0)
                continue;
            const size_t eq = line.find(" = ");
            if (eq != std::string::npos)
                gets[line.substr(4, eq - 4)] = line.substr(eq + 3);
        }
        return gets;
    }
};

TEST_F(GettextJavaBundleTest, ReadsWhatMsgfmtMakesAsThePoSaysAndWritesWhatJavaReadsTheSame)
{
    for (const PoCase& c : PoCases()) {
        SCOPED_TRACE(c.name);
        const std::string base = std::string("org.example.") + c.name[0] + "x.Messages";
        const std::string theirs = Path(std::string(c.name) + "-msgfmt");
        const std::string bytes = Msgfmt(theirs, c.po, base, c.language);
        ASSERT_FALSE(bytes.empty());

        // Read: the PO's translated, non-fuzzy messages, no more, no less.
        const auto read = ReadGettextJavaBundle(bytes);
        ASSERT_TRUE(read.ok()) << Why(read);
        EXPECT_EQ(read->className, cl::bundle::GettextBundleClassName(base, c.language));
        const auto po = cl::catalogue::ReadPo(c.po, c.name);
        ASSERT_TRUE(po.ok());
        std::vector<GettextMessage> expected;
        for (const auto& m : FromPo(po->messages)) {
            const bool fuzzy = std::string_view(c.name) == "empty-msgstr" && m.msgid == "Fuzzy";
            if (!m.msgstr.front().empty() && !fuzzy)
                expected.push_back(m);
        }
        EXPECT_EQ(ByKey(read->messages), ByKey(expected));
        // The header is a message like the others, and comes first as msgfmt hashes "" to slot 0.
        ASSERT_FALSE(read->messages.empty());
        EXPECT_EQ(read->messages.front().msgid, "");
        EXPECT_NE(read->messages.front().msgstr.front().find("Content-Type: text/plain; charset=UTF-8"),
                  std::string::npos);
        // ... and gettext's own decoding lists the same messages in the same order.
        if (const auto decoded = Msgunfmt(theirs, base, c.language)) {
            std::vector<GettextMessage> withoutHeader(read->messages.begin() + 1, read->messages.end());
            EXPECT_EQ(withoutHeader, *decoded);
        }

        // Write what was read: Java must answer every question as it does with msgfmt's class.
        const auto written = WriteGettextJavaBundle(read->className, read->messages);
        ASSERT_TRUE(written.ok()) << Why(written);
        const std::string ours = Path(std::string(c.name) + "-ours");
        Place(ours, *written);
        const auto questions = Questions(read->messages);
        const std::string theirAnswers = Ask(theirs, base, c.language, questions);
        const std::string ourAnswers = Ask(ours, base, c.language, questions);
        EXPECT_EQ(ourAnswers, theirAnswers);
        const auto gets = Gets(ourAnswers);
        for (const auto& m : expected)
            EXPECT_EQ(gets.at(Hex16(m.Key())), "h" + Hex16(m.msgstr.front())) << m.msgid;
        EXPECT_EQ(gets.at(Hex16("No such message")), "missing");
        EXPECT_NE(ourAnswers.find("CLASS " + std::string(base) + "_" + c.language), std::string::npos) << ourAnswers;

        // What was written reads back as the same messages, and again as msgunfmt decodes it.
        const auto again = ReadGettextJavaBundle(written->mainBytes);
        ASSERT_TRUE(again.ok()) << Why(again);
        EXPECT_EQ(ByKey(again->messages), ByKey(read->messages));
        if (const auto decoded = Msgunfmt(ours, base, c.language)) {
            EXPECT_EQ(ByKey(*decoded), ByKey(expected));
        }
    }
}

TEST_F(GettextJavaBundleTest, UpdateKeepsEveryMessageReplacesTranslatedOnesAndAddsNewOnes)
{
    const std::string base = "app.i18n.Messages";
    const std::string theirs = Path("msgfmt");
    const std::string bytes =
        Msgfmt(theirs,
               Header("nplurals=1; plural=0;") +
                   "msgid \"File\"\nmsgstr \"文件\"\n\nmsgid \"Edit\"\nmsgstr \"编辑\"\n\n"
                   "msgid \"%d page\"\nmsgid_plural \"%d pages\"\nmsgstr[0] \"%d 页\"\n\n",
               base, "zh_CN");
    ASSERT_FALSE(bytes.empty());

    std::vector<GettextMessage> updates = {
        {std::nullopt, "Edit", std::nullopt, {"修改"}},                  // replaced
        {std::nullopt, "View", std::nullopt, {"视图"}},                  // new
        {std::string("menu"), "File", std::nullopt, {"文件菜单"}},        // new, beside "File"
        {std::nullopt, "%d line", std::string("%d lines"), {"%d 行"}},  // new plural
        {std::nullopt, "File", std::nullopt, {""}},                    // translates nothing
    };
    const auto updated = cl::bundle::UpdateGettextJavaBundle(bytes, updates);
    ASSERT_TRUE(updated.ok()) << Why(updated);
    EXPECT_EQ(updated->mainPath, "app/i18n/Messages_zh_CN.class");
    EXPECT_EQ(updated->enumerationPath, "app/i18n/Messages_zh_CN$1.class");

    const auto read = ReadGettextJavaBundle(updated->mainBytes);
    ASSERT_TRUE(read.ok()) << Why(read);
    std::map<std::string, std::vector<std::string>> values;
    for (const auto& m : read->messages)
        values[m.Key()] = m.msgstr;
    EXPECT_EQ(values.size(), 7u);  // the header, 3 kept, 3 new
    EXPECT_EQ(values["File"], std::vector<std::string>{"文件"});
    EXPECT_EQ(values["Edit"], std::vector<std::string>{"修改"});
    EXPECT_EQ(values["%d page"], std::vector<std::string>{"%d 页"});
    EXPECT_EQ(values["View"], std::vector<std::string>{"视图"});
    EXPECT_EQ(values[std::string("menu\x04" "File")], std::vector<std::string>{"文件菜单"});
    EXPECT_EQ(values["%d line"], std::vector<std::string>{"%d 行"});

    const std::string ours = Path("ours");
    Place(ours, *updated);
    const std::string answers = Ask(ours, base, "zh_CN", Questions(read->messages));
    const auto gets = Gets(answers);
    EXPECT_EQ(gets.at(Hex16("Edit")), "h" + Hex16("修改"));
    EXPECT_EQ(gets.at(Hex16("File")), "h" + Hex16("文件"));
    EXPECT_EQ(gets.at(Hex16("menu\x04" "File")), "h" + Hex16("文件菜单"));
    EXPECT_EQ(gets.at(Hex16("%d line")), "h" + Hex16("%d 行"));
    if (Exists(kLibintl)) {
        // GettextResource.ngettext reaches the new plural through lookup and pluralEval.
        EXPECT_NE(answers.find("ngettext " + Hex16("%d line") + " " + Hex16("%d lines") + " = h" + Hex16("%d 行")),
                  std::string::npos)
            << answers;
    }
}

// Jmol ships one bundle per language as msgfmt --java2 made them (its 14.32 reads the .po files
// beside them in the jar instead, so its own GT never loads these classes; ResourceBundle and
// GettextResource do).
TEST_F(GettextJavaBundleTest, ReadsAndUpdatesJmolsChineseBundles)
{
    if (!Exists(kJmol))
        GTEST_SKIP() << kJmol << " is not installed (Debian package jmol)";
    std::ifstream in(kJmol, std::ios::binary);
    auto archive = cl::zip::JarArchive::Open(std::string(std::istreambuf_iterator<char>(in), {}));
    ASSERT_TRUE(archive.ok());
    for (const std::string language : {"zh_CN", "zh_TW"}) {
        SCOPED_TRACE(language);
        const std::string base = "org.jmol.translation.Jmol." + language + ".Messages";
        const std::string folder = Path("jmol-" + language);
        std::map<std::string, std::string> classes;
        for (const auto& entry : (*archive)->Entries()) {
            const std::string prefix = "org/jmol/translation/Jmol/" + language + "/Messages_" + language;
            if (entry.name == prefix + ".class" || entry.name == prefix + "$1.class") {
                const auto bytes = (*archive)->Read(entry.index);
                ASSERT_TRUE(bytes.ok());
                const std::filesystem::path path = std::filesystem::path(folder) / entry.name;
                std::filesystem::create_directories(path.parent_path());
                Write(path.string(), *bytes);
                classes[entry.name] = *bytes;
            }
        }
        ASSERT_EQ(classes.size(), 2u);
        const std::string& main = classes.at("org/jmol/translation/Jmol/" + language + "/Messages_" + language + ".class");
        const auto read = ReadGettextJavaBundle(main);
        ASSERT_TRUE(read.ok()) << Why(read);
        EXPECT_GT(read->messages.size(), 300u);
        if (const auto decoded = Msgunfmt(folder, base, language)) {
            std::vector<GettextMessage> withoutHeader(read->messages.begin() + 1, read->messages.end());
            EXPECT_EQ(withoutHeader, *decoded);
        }

        // Every message kept, one replaced, one added; Java reads all of them.
        const GettextMessage& first = read->messages.at(1);
        std::vector<GettextMessage> updates = {{std::nullopt, first.msgid, std::nullopt, {"（新译文）"}},
                                               {std::nullopt, "A text Jmol never had", std::nullopt, {"新的条目"}}};
        const auto updated = cl::bundle::UpdateGettextJavaBundle(main, updates);
        ASSERT_TRUE(updated.ok()) << Why(updated);
        const std::string ours = Path("ours-" + language);
        Place(ours, *updated);
        const auto again = ReadGettextJavaBundle(updated->mainBytes);
        ASSERT_TRUE(again.ok());
        auto expected = ByKey(read->messages);
        expected[first.msgid].msgstr = {"（新译文）"};
        expected["A text Jmol never had"] = updates[1];
        EXPECT_EQ(ByKey(again->messages), expected);

        const auto gets = Gets(Ask(ours, base, language, Questions(again->messages)));
        for (const auto& [key, message] : expected)
            EXPECT_EQ(gets.at(Hex16(key)), "h" + Hex16(message.msgstr.front())) << key;
    }
}

// ---- Limits: a bundle the class-file format cannot hold is an error, never a broken class.

class GettextLimits : public cltest::ScratchFolder {};

std::vector<GettextMessage> Numbered(int count, const std::string& prefix)
{
    std::vector<GettextMessage> out;
    for (int i = 0; i < count; ++i)
        out.push_back({std::nullopt, prefix + std::to_string(i), std::nullopt, {"译文 " + std::to_string(i)}});
    return out;
}

TEST_F(GettextLimits, EachLimitIsAnErrorValue)
{
    GettextMessage manyForms{std::nullopt, "n", std::string("ns"), {}};
    for (int i = 0; i < 9000; ++i)
        manyForms.msgstr.push_back("形式" + std::to_string(i));
    struct Case {
        const char* name;
        std::string className;
        std::vector<GettextMessage> messages;
        GettextFault fault;
        std::string entry;
    };
    const std::string longText(65536, 'x');
    std::string chinese;  // 21846 x 3 bytes = 65538
    for (int i = 0; i < 21846; ++i)
        chinese += "中";
    const std::vector<Case> cases = {
        {"text over 65535 bytes", "a/M_zh", {{std::nullopt, "long", std::nullopt, {longText}}}, GettextFault::TextTooLong, "long"},
        {"Chinese over 65535 bytes", "a/M_zh", {{std::nullopt, "cjk", std::nullopt, {chinese}}}, GettextFault::TextTooLong, "cjk"},
        {"key over 65535 bytes", "a/M_zh", {{std::nullopt, longText, std::nullopt, {"v"}}}, GettextFault::TextTooLong, longText},
        {"too many constants", "a/M_zh", Numbered(17000, "Message "), GettextFault::PoolFull, ""},
        {"plural forms past a method's code", "a/M_zh", {manyForms}, GettextFault::CodeTooLarge, "n"},
        {"same key twice", "a/M_zh",
         {{std::nullopt, "k", std::nullopt, {"1"}}, {std::nullopt, "k", std::nullopt, {"2"}}}, GettextFault::DuplicateKey, "k"},
        {"same context and key twice", "a/M_zh",
         {{std::string("c"), "k", std::nullopt, {"1"}}, {std::string("c"), "k", std::nullopt, {"2"}}},
         GettextFault::DuplicateKey, "c\x04k"},
        {"no msgstr", "a/M_zh", {{std::nullopt, "k", std::nullopt, {}}}, GettextFault::BadForms, "k"},
        {"forms without a plural msgid", "a/M_zh", {{std::nullopt, "k", std::nullopt, {"1", "2"}}}, GettextFault::BadForms, "k"},
        {"dotted class name", "a.M_zh", Numbered(1, "m"), GettextFault::BadClassName, "a.M_zh"},
        {"empty class name", "", Numbered(1, "m"), GettextFault::BadClassName, ""},
        {"empty package", "a//M_zh", Numbered(1, "m"), GettextFault::BadClassName, "a//M_zh"},
        {"array class name", "[M", Numbered(1, "m"), GettextFault::BadClassName, "[M"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto written = WriteGettextJavaBundle(c.className, c.messages);
        ASSERT_FALSE(written.ok());
        EXPECT_EQ(written.error().kind, cl::ErrorKind::GettextUnwritable);
        EXPECT_EQ(written.error().fault, static_cast<uint16_t>(c.fault));
        EXPECT_EQ(written.error().entry, c.entry);
    }
}

TEST_F(GettextLimits, PluralExpressionsThatCannotBeComputedSafelyAreRefused)
{
    for (const std::string& expression : std::vector<std::string>{"n / (n - 1)", "n % 0", "n +", "(n == 1", "n == 1 ? 0", "x", "n = 1",
                                         "99999999999 > n", "", std::string(3000, '(') + "n" + std::string(3000, ')')}) {
        SCOPED_TRACE(expression);
        const std::vector<GettextMessage> messages = {
            {std::nullopt, "", std::nullopt, {"Plural-Forms: nplurals=2; plural=" + expression + ";\n"}},
            {std::nullopt, "one", std::string("many"), {"1", "2"}}};
        const auto written = WriteGettextJavaBundle("p/M_xx", messages);
        ASSERT_FALSE(written.ok());
        EXPECT_EQ(written.error().fault, static_cast<uint16_t>(GettextFault::BadPluralForms));
        EXPECT_EQ(written.error().detail, expression);
    }
}

class GettextLimitsInJava : public GettextJavaBundleTest {};

// Just under the pool's limit: the stores need several clinit_part methods, the indexes pass
// 32767, and Java still finds every message.
TEST_F(GettextLimitsInJava, TheLargestBundleThatFitsIsSplitAndStillFound)
{
    std::vector<GettextMessage> messages = Numbered(16000, "Message ");
    messages.push_back({std::nullopt, "Longest", std::nullopt, {std::string(65535, 'y')}});
    const auto written = WriteGettextJavaBundle("big/Messages_zh_CN", messages);
    ASSERT_TRUE(written.ok()) << Why(written);
    const auto parsed = cl::classfile::ParseClassFile(reinterpret_cast<const uint8_t*>(written->mainBytes.data()),
                                                      written->mainBytes.size());
    ASSERT_TRUE(parsed.parsed);
    EXPECT_GT(parsed.constantPoolCount, 64000);
    int parts = 0;
    for (const auto& method : parsed.methods)
        parts += parsed.Utf8Bytes(method.nameIndex).rfind("clinit_part_", 0) == 0 ? 1 : 0;
    EXPECT_GE(parts, 2);

    const auto read = ReadGettextJavaBundle(written->mainBytes);
    ASSERT_TRUE(read.ok()) << Why(read);
    EXPECT_EQ(ByKey(read->messages), ByKey(messages));

    const std::string folder = Path("big");
    Place(folder, *written);
    std::vector<std::string> questions;
    for (const auto& m : messages)
        questions.push_back("get " + Hex16(m.msgid));
    const std::string answers = Ask(folder, "big.Messages", "zh_CN", questions);
    const auto gets = Gets(answers);
    ASSERT_EQ(gets.size(), messages.size()) << answers.substr(0, 2000);
    for (const auto& m : messages)
        ASSERT_EQ(gets.at(Hex16(m.msgid)), "h" + Hex16(m.msgstr.front())) << m.msgid;
    // getKeys, through $1, lists every key once.
    size_t keys = 0;
    std::istringstream lines(answers);
    for (std::string line; std::getline(lines, line);)
        keys += line.rfind("KEY ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(keys, messages.size());
}

}  // namespace
