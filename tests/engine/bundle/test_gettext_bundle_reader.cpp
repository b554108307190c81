// The gettext bundle reader on classes that are not in msgfmt's layout: javac-compiled classes
// close to it (an ordinary class, a ListResourceBundle, a table filled by a loop, half a slot
// pair, plural forms without their msgid_plurals) each give their own fault, and every prefix
// and many single-byte changes of a real bundle give an error value or a reading, never a crash.

#include "bundle/GettextJavaBundle.h"

#include "ErrorText.h"
#include "Java.h"
#include "ScratchFolder.h"
#include "Tools.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cl::bundle::GettextFault;
using cl::bundle::ReadGettextJavaBundle;

struct JavaCase {
    const char* name = "";  // the class
    std::string source;
    GettextFault fault = GettextFault::None;  // None: reads
    size_t messages = 0;
};

const std::string kBundleMethods =
    "  public Object handleGetObject(String k) { return null; }\n"
    "  public java.util.Enumeration<String> getKeys() { return null; }\n";

std::vector<JavaCase> JavaCases()
{
    return {
        {"Plain", "public class Plain { static String[] table = {\"a\", \"b\"}; }\n", GettextFault::NotAResourceBundle},
        {"Listed",
         "public class Listed extends java.util.ListResourceBundle {\n"
         "  protected Object[][] getContents() { return new Object[][] {{\"a\", \"b\"}}; }\n}\n",
         GettextFault::NotAResourceBundle},
        {"NoTable", "public class NoTable extends java.util.ResourceBundle {\n" + kBundleMethods + "}\n",
         GettextFault::NoTable},
        {"IntTable",
         "public class IntTable extends java.util.ResourceBundle {\n  static int[] table = {1};\n" + kBundleMethods + "}\n",
         GettextFault::NoTable},
        {"NoInit",
         "public class NoInit extends java.util.ResourceBundle {\n  static String[] table;\n" + kBundleMethods + "}\n",
         GettextFault::NoInitializer},
        {"Looped",
         "public class Looped extends java.util.ResourceBundle {\n  static String[] table;\n"
         "  static { String[] t = new String[4]; for (int i = 0; i < 4; i++) t[i] = \"x\"; table = t; }\n" +
             kBundleMethods + "}\n",
         GettextFault::UnknownCode},
        {"Printed",
         "public class Printed extends java.util.ResourceBundle {\n  static String[] table;\n"
         "  static { String[] t = new String[2]; System.out.println(); table = t; }\n" + kBundleMethods + "}\n",
         GettextFault::UnknownCode},
        {"OutOfRange",
         "public class OutOfRange extends java.util.ResourceBundle {\n  static String[] table;\n"
         "  static { String[] t = new String[2]; t[0] = \"k\"; t[2] = \"v\"; table = t; }\n" + kBundleMethods + "}\n",
         GettextFault::UnknownCode},
        {"KeyAlone",
         "public class KeyAlone extends java.util.ResourceBundle {\n  static String[] table;\n"
         "  static { String[] t = new String[4]; t[0] = \"k\"; t[2] = \"k2\"; t[3] = \"v2\"; table = t; }\n" +
             kBundleMethods + "}\n",
         GettextFault::BadTable},
        {"ValueAlone",
         "public class ValueAlone extends java.util.ResourceBundle {\n  static String[] table;\n"
         "  static { String[] t = new String[2]; t[1] = \"v\"; table = t; }\n" + kBundleMethods + "}\n",
         GettextFault::BadTable},
        {"KeyTwice",
         "public class KeyTwice extends java.util.ResourceBundle {\n  static String[] table;\n"
         "  static { String[] t = new String[4]; t[0] = \"k\"; t[1] = \"v\"; t[2] = \"k\"; t[3] = \"w\"; table = t; }\n" +
             kBundleMethods + "}\n",
         GettextFault::BadTable},
        {"OddLength",
         "public class OddLength extends java.util.ResourceBundle {\n  static String[] table;\n"
         "  static { String[] t = new String[3]; t[0] = \"k\"; t[1] = \"v\"; table = t; }\n" + kBundleMethods + "}\n",
         GettextFault::BadTable},
        {"WrongArray",
         "public class WrongArray extends java.util.ResourceBundle {\n  static Object[] table;\n"
         "  static { String[] t = new String[2]; t[0] = \"k\"; t[1] = \"v\"; table = t; }\n" + kBundleMethods + "}\n",
         GettextFault::BadTable},
        {"NoPlurals",
         "public class NoPlurals extends java.util.ResourceBundle {\n  static Object[] table;\n"
         "  static { Object[] t = new Object[2]; t[0] = \"k\"; t[1] = new String[] {\"a\", \"b\"}; table = t; }\n" +
             kBundleMethods + "}\n",
         GettextFault::BadPluralTable},
        {"FewPlurals",
         "public class FewPlurals extends java.util.ResourceBundle {\n  static Object[] table;\n"
         "  static { Object[] t = new Object[4]; t[0] = \"k\"; t[1] = new String[] {\"a\"};\n"
         "    t[2] = \"k2\"; t[3] = new String[] {\"b\"}; table = t; }\n"
         "  public static final String[] get_msgid_plural_table() { return new String[] {\"ks\"}; }\n" +
             kBundleMethods + "}\n",
         GettextFault::BadPluralTable},
        // msgfmt's own shape written by hand, with the stores in two parts: it reads.
        {"Parts",
         "public class Parts extends java.util.ResourceBundle {\n  private static final Object[] table;\n"
         "  static void clinit_part_0(Object[] t) { t[0] = \"\"; t[1] = \"Plural-Forms: nplurals=1; plural=0;\\n\"; }\n"
         "  static void clinit_part_1(Object[] t) { t[40000] = \"k\"; t[40001] = new String[] {\"\\u5e94\\u7528\"}; }\n"
         "  static { Object[] t = new Object[40002]; clinit_part_0(t); clinit_part_1(t); table = t; }\n"
         "  public static final String[] get_msgid_plural_table() { return new String[] {\"ks\"}; }\n" +
             kBundleMethods + "}\n",
         GettextFault::None, 2},
        // A part called twice would run its stores twice: the layout never does.
        {"PartTwice",
         "public class PartTwice extends java.util.ResourceBundle {\n  private static final String[] table;\n"
         "  static void clinit_part_0(String[] t) { t[0] = \"k\"; t[1] = \"v\"; }\n"
         "  static { String[] t = new String[2]; clinit_part_0(t); clinit_part_0(t); table = t; }\n" +
             kBundleMethods + "}\n",
         GettextFault::UnknownCode},
    };
}

class GettextReaderTest : public cltest::ScratchFolder {};

TEST_F(GettextReaderTest, ClassesOutsideTheLayoutGiveTheirFault)
{
    CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
    // One javac for all of them: each start of javac takes seconds.
    std::string others;
    for (const JavaCase& c : JavaCases()) {
        Write(Path(std::string(c.name) + ".java"), c.source);
        others += cltest::ShellQuoted(Path(std::string(c.name) + ".java")) + " ";
    }
    ASSERT_EQ(cltest::CompileJavaFile(Path("Plain.java"), dir_.string(), others), "");
    for (const JavaCase& c : JavaCases()) {
        SCOPED_TRACE(c.name);
        const std::string bytes = Read(Path(std::string(c.name) + ".class"));
        const auto read = ReadGettextJavaBundle(bytes);
        if (c.fault == GettextFault::None) {
            ASSERT_TRUE(read.ok()) << cltext::DescribeError(read.error());
            EXPECT_EQ(read->messages.size(), c.messages);
            continue;
        }
        ASSERT_FALSE(read.ok());
        EXPECT_EQ(read.error().kind, cl::ErrorKind::NotAGettextBundle);
        EXPECT_EQ(read.error().fault, static_cast<uint16_t>(c.fault));
        cl::Error named = read.error();
        named.path = std::string(c.name) + ".class";
        const std::string sentence = cltext::DescribeError(named);
        EXPECT_NE(sentence.find("“" + named.path + "”"), std::string::npos) << sentence;
        // ... and says why after the colon.
        const std::string lead = "资源类：";
        const size_t reason = sentence.find(lead);
        ASSERT_NE(reason, std::string::npos) << sentence;
        EXPECT_GT(sentence.size(), reason + lead.size() + std::string("。").size()) << sentence;
    }
}

TEST_F(GettextReaderTest, TheMessagesOfThePartsLayoutAreReadInSlotOrder)
{
    CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
    JavaCase parts;
    for (const JavaCase& c : JavaCases())
        if (c.name == std::string("Parts"))
            parts = c;
    ASSERT_EQ(cltest::CompileJava(dir_.string(), parts.name, parts.source), "");
    const auto read = ReadGettextJavaBundle(Read(Path(std::string(parts.name) + ".class")));
    ASSERT_TRUE(read.ok());
    ASSERT_EQ(read->messages.size(), 2u);
    EXPECT_EQ(read->messages[0].msgid, "");
    EXPECT_FALSE(read->messages[0].msgidPlural.has_value());
    EXPECT_EQ(read->messages[1].msgid, "k");
    EXPECT_EQ(read->messages[1].msgidPlural, std::optional<std::string>("ks"));
    EXPECT_EQ(read->messages[1].msgstr, std::vector<std::string>{"应用"});
}

TEST_F(GettextReaderTest, CutAndChangedBundlesNeverCrash)
{
    const auto written = cl::bundle::WriteGettextJavaBundle(
        "x/M_ru", {{std::nullopt, "", std::nullopt, {"Plural-Forms: nplurals=2; plural=n != 1;\n"}},
                   {std::nullopt, "one", std::string("many"), {"1", "2"}},
                   {std::string("c"), "k", std::nullopt, {"v"}}});
    ASSERT_TRUE(written.ok());
    const std::string& whole = written->mainBytes;
    ASSERT_TRUE(ReadGettextJavaBundle(whole).ok());
    for (size_t n = 0; n < whole.size(); ++n) {
        const auto read = ReadGettextJavaBundle(whole.substr(0, n));
        ASSERT_FALSE(read.ok()) << n;
        EXPECT_EQ(read.error().kind, cl::ErrorKind::NotAGettextBundle);
    }
    size_t refused = 0;
    for (size_t at = 0; at < whole.size(); ++at) {
        for (const unsigned char flip : {0x01, 0x80, 0xFF}) {
            std::string changed = whole;
            changed[at] = static_cast<char>(static_cast<unsigned char>(changed[at]) ^ flip);
            const auto read = ReadGettextJavaBundle(changed);
            if (!read.ok()) {
                EXPECT_EQ(read.error().kind, cl::ErrorKind::NotAGettextBundle);
                ++refused;
            } else {
                EXPECT_LE(read->messages.size(), 3u);
            }
        }
    }
    EXPECT_GT(refused, whole.size());  // most changes break the class or its layout
}

}  // namespace
