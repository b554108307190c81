// A text one class shows and another reads is translated where it is shown only: "Robot" is
// printed by one class and is an enum constant's name another class looks up, and the program
// still finds its constant. Where the reading is a switch (its case is compiled into a hash) or
// an equality comparison, the places that must agree are never split: the text is withheld.

#include "CliFixture.h"
#include "Java.h"
#include "SamplePrograms.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

class ShownAndReadPlaces : public cltest::CliFixture {
protected:
    // The catalogue extract makes of `in`; empty, with a failure, when extract fails.
    std::string Extracted(const std::string& in)
    {
        const auto extract = Run({"extract", in, Path("extracted.po")});
        EXPECT_EQ(extract.status, 0) << extract.err;
        return extract.status == 0 ? Read(Path("extracted.po")) : std::string();
    }

    // `in` with `translations` applied into `out`, then run: what `mainClass` prints.
    cltest::JavaRun Translated(const std::string& in, const std::vector<std::pair<std::string, std::string>>& translations,
                               const std::string& out, const std::string& mainClass)
    {
        Write(Path("zh.po"), cltest::Catalogue(translations));
        const auto apply = Run({"apply", in, Path("zh.po"), out});
        EXPECT_EQ(apply.status, 0) << apply.err;
        return cltest::RunJava(out, mainClass);
    }
};

TEST_F(ShownAndReadPlaces, TheShownPlaceIsTranslatedAndTheReadOnesKeepTheirText)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    CLTEST_REQUIRE_TOOL("java", cltest::JavaPath());
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "Menu",
                                  "enum Mode { Robot, Plain }\n"
                                  "class Names {\n"
                                  "    static Mode robot() { return Mode.valueOf(\"Robot\"); }\n"
                                  "}\n"
                                  "class Picker {\n"
                                  "    static String pick(String s) {\n"
                                  "        switch (s) { case \"Pick one\": return \"picked\"; default: return \"none\"; }\n"
                                  "    }\n"
                                  "}\n"
                                  "class Answer {\n"
                                  "    static boolean same(String typed) { return typed.equals(\"Same here\"); }\n"
                                  "}\n"
                                  "public class Menu {\n"
                                  "    public static void main(String[] args) {\n"
                                  "        System.out.println(\"Robot\");\n"
                                  "        System.out.println(Names.robot().name());\n"
                                  "        System.out.println(\"Pick one\");\n"
                                  "        System.out.println(Picker.pick(args.length > 0 ? args[0] : \"x\"));\n"
                                  "        System.out.println(\"Same here\");\n"
                                  "        System.out.println(Answer.same(args.length > 0 ? args[0] : \"x\"));\n"
                                  "    }\n"
                                  "}\n",
                                  Path("in")),
              "");
    const std::string po = Extracted(Path("in"));
    EXPECT_NE(po.find("msgid \"Robot\""), std::string::npos) << po;
    EXPECT_NE(po.find("Names"), std::string::npos) << "the note names the class that keeps it:\n" << po;
    EXPECT_EQ(po.find("msgid \"Pick one\""), std::string::npos) << "a switch's case is never translated alone";
    // A comparison by equality changes together with the label: one entry, both places.
    EXPECT_NE(po.find("msgid \"Same here\""), std::string::npos) << po;

    const cltest::JavaRun run = Translated(Path("in"), {{"Robot", "机器人"}, {"Same here", "这里也一样"}}, Path("out"), "Menu");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "机器人\nRobot\nPick one\nnone\n这里也一样\nfalse\n");
}

// One class, two methods: one prints "Robot", the other looks the enum constant up by it. The
// printing method's load takes a constant of its own; the other keeps the text. In the second
// program the class holds more than 256 constants, so the new constant cannot be loaded by the
// one-byte ldc the printing method had: its code grows, and the branches, the switch and the
// loop after it must still land where they did (the JVM's verifier checks them on loading).
TEST_F(ShownAndReadPlaces, OneClassShowsAndReadsATextInDifferentMethods)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    CLTEST_REQUIRE_TOOL("java", cltest::JavaPath());
    std::ostringstream table;
    for (int i = 0; i < 300; ++i)
        table << (i == 0 ? "" : ", ") << "\"row" << i << "\"";
    struct Case {
        const char* name;
        std::string extra;  // members after the two methods
    };
    const Case cases[] = {
        {"Small", ""},
        {"Large", "    static String[] rows() { return new String[] {" + table.str() + "}; }\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = Path(std::string("in") + c.name);
        const std::string out = Path(std::string("out") + c.name);
        ASSERT_EQ(cltest::CompileJava(dir_.string(), "Menu",
                                      "enum Mode { Robot, Plain }\n"
                                      "public class Menu {\n"
                                      "    static void show(int n) {\n"
                                      "        String s = n > 0 ? \"Robot\" : \"-\";\n"
                                      "        for (int i = 0; i < n; ++i) {\n"
                                      "            switch (i) { case 0: System.out.println(s); break;\n"
                                      "                         case 1: case 2: case 3: System.out.println(i); break;\n"
                                      "                         default: System.out.println(\"many\"); }\n"
                                      "        }\n"
                                      "        try { System.out.println(new javax.swing.JLabel(n > 1 ? \"Robot\" : \"x\").getText()); }\n"
                                      "        catch (RuntimeException e) { System.out.println(e); }\n"
                                      "    }\n"
                                      "    static Mode mode() { return Mode.valueOf(\"Robot\"); }\n" +
                                          c.extra +
                                          "    public static void main(String[] args) {\n"
                                          "        show(5);\n"
                                          "        System.out.println(mode().name());\n"
                                          "    }\n"
                                          "}\n",
                                      in),
                  "");
        const std::string po = Extracted(in);
        ASSERT_NE(po.find("msgid \"Robot\""), std::string::npos) << po;
        const cltest::JavaRun run = Translated(in, {{"Robot", "机器人"}}, out, "Menu");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "机器人\n1\n2\n3\nmany\n机器人\nRobot\n") << run.err;
    }
}

// A constant field's text (javac copies it into every method that reads the field, and keeps it
// as the field's constant value too): GpsPrune's name, its window's title and a system property.
// The showing method's copy is translated; the property and the constant value keep the text.
TEST_F(ShownAndReadPlaces, AConstantFieldsCopiesAreDecidedPerMethod)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    CLTEST_REQUIRE_TOOL("java", cltest::JavaPath());
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "Menu",
                                  "enum Mode { Robot, Plain }\n"
                                  "public class Menu {\n"
                                  "    static final String NAME = \"Robot\";\n"
                                  "    static void show() { System.out.println(NAME); }\n"
                                  "    public static void main(String[] args) throws Exception {\n"
                                  "        show();\n"
                                  "        System.out.println(Mode.valueOf(NAME).name());\n"
                                  "        System.out.println(Menu.class.getDeclaredField(\"NAME\").get(null));\n"
                                  "    }\n"
                                  "}\n",
                                  Path("in")),
              "");
    const std::string po = Extracted(Path("in"));
    ASSERT_NE(po.find("msgid \"Robot\""), std::string::npos) << po;
    const cltest::JavaRun run = Translated(Path("in"), {{"Robot", "机器人"}}, Path("out"), "Menu");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "机器人\nRobot\nRobot\n") << run.err;
}

// Where one method both shows the text and reads it, its one load cannot be split: withheld.
TEST_F(ShownAndReadPlaces, OneMethodThatShowsAndReadsATextKeepsIt)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "Menu",
                                  "enum Mode { Robot, Plain }\n"
                                  "public class Menu {\n"
                                  "    public static void main(String[] args) {\n"
                                  "        String s = \"Robot\";\n"
                                  "        System.out.println(s);\n"
                                  "        System.out.println(Mode.valueOf(s).name());\n"
                                  "    }\n"
                                  "    static void other() { System.out.println(\"Robot\"); }\n"
                                  "}\n",
                                  Path("in")),
              "");
    const std::string po = Extracted(Path("in"));
    ASSERT_NE(po.find("msgid \"Robot\""), std::string::npos) << "other() shows it alone:\n" << po;
    const cltest::JavaRun run = Translated(Path("in"), {{"Robot", "机器人"}}, Path("out"), "Menu");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Robot\nRobot\n") << "main's load is read too, so it keeps the text";
}

// A display string read back by its prefix (logisim shows "0x" + hex and parses what starts
// with "0x"), in one class or in two: the showing place and the matching one must agree, so
// neither is translated alone, and the text is withheld.
TEST_F(ShownAndReadPlaces, AShownTextMatchedByItsPrefixElsewhereIsNeverSplit)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    struct Case {
        const char* name;
        const char* source;
    };
    const Case cases[] = {
        {"one class",
         "public class Hex {\n"
         "    static String show(int v) { return \"0x\" + Integer.toHexString(v); }\n"
         "    static int parse(String s) { return s.startsWith(\"0x\") ? Integer.parseInt(s.substring(2), 16) : 0; }\n"
         "    public static void main(String[] a) { new javax.swing.JLabel(show(10)); System.out.println(parse(show(10))); }\n"
         "}\n"},
        {"two classes",
         "class Reader { static int parse(String s) { return s.startsWith(\"0x\") ? 1 : 0; } }\n"
         "public class Hex {\n"
         "    public static void main(String[] a) { new javax.swing.JLabel(\"0x\" + a.length); System.out.println(Reader.parse(\"x\")); }\n"
         "}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = Path(std::string("in-") + c.name);
        // Joined with a StringBuilder, as the javac of older programs did: "0x" is a literal of its own.
        ASSERT_EQ(cltest::CompileJava(dir_.string(), "Hex", c.source, in, "-XDstringConcat=inline"), "");
        const std::string po = Extracted(in);
        EXPECT_EQ(po.find("msgid \"0x\""), std::string::npos) << po;
    }
}

// JabRef's side panes extend a library's panel (SwingX's JXTitledPanel, not part of the program)
// and hand it "Center": the call names the library's class, which the table does not know, while
// another class gives "Center" to BorderLayout. The unknown place is no showing place, so nothing
// is offered to split, and the translated program still lays its panel out.
TEST_F(ShownAndReadPlaces, APlaceOnlyAnUnknownLibraryReadsIsNoShowingPlace)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "TitledPanel",
                                  "package lib;\n"
                                  "public class TitledPanel extends javax.swing.JPanel {\n"
                                  "    public TitledPanel() { super(new java.awt.BorderLayout()); }\n"
                                  "}\n",
                                  Path("lib")),
              "");
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "Layout",
                                  "import javax.swing.*;\n"
                                  "abstract class Pane extends lib.TitledPanel {\n"
                                  "    protected final JButton close = new JButton(\"Close\");\n"
                                  "}\n"
                                  "class Side extends Pane {\n"
                                  "    Side() { JPanel in = new JPanel(); in.add(new JLabel(\"Groups\")); add(in, \"Center\"); }\n"
                                  "}\n"
                                  "public class Layout {\n"
                                  "    public static void main(String[] args) {\n"
                                  "        new JFrame().getContentPane().add(new Side(), \"Center\");\n"
                                  "    }\n"
                                  "}\n",
                                  Path("in"), "-cp " + cltest::ShellQuoted(Path("lib"))),
              "");
    const std::string po = Extracted(Path("in"));
    EXPECT_NE(po.find("msgid \"Groups\""), std::string::npos) << po;
    EXPECT_EQ(po.find("msgid \"Center\""), std::string::npos) << po;
}

// Freeplane's "Center" is an action's label in its bundle (its own Chinese: 居中) and BorderLayout's
// constraint in its code. Withheld, the entry still comes with the program's translation; apply
// writes it into no class, and the translated program still lays its panel out.
TEST_F(ShownAndReadPlaces, AWithheldTextsFilledTranslationGoesIntoNoClass)
{
    CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    CLTEST_REQUIRE_TOOL("java", cltest::JavaPath());
    ASSERT_EQ(cltest::CompileJava(dir_.string(), "Main",
                                  "import java.awt.BorderLayout;\n"
                                  "import java.util.ResourceBundle;\n"
                                  "import javax.swing.*;\n"
                                  "public class Main {\n"
                                  "    public static void main(String[] args) {\n"
                                  "        ResourceBundle b = ResourceBundle.getBundle(\"Look\");\n"
                                  "        System.out.println(new java.io.File(b.getString(\"align\")).getName());\n"
                                  "        JPanel p = new JPanel(new BorderLayout());\n"
                                  "        p.add(new JLabel(b.getString(\"title\")), \"Center\");\n"
                                  "        System.out.println(p.getComponentCount());\n"
                                  "    }\n"
                                  "}\n",
                                  Path("in")),
              "");
    Write(Path("in/Look.properties"), "align=Center\ntitle=Groups\n");
    Write(Path("in/Look_zh_CN.properties"), "align=\\u5C45\\u4E2D\ntitle=\\u5206\\u7EC4\n");
    const auto extract = Run({"extract", Path("in"), Path("zh.po")});
    ASSERT_EQ(extract.status, 0) << extract.err;
    const std::string po = Read(Path("zh.po"));
    ASSERT_NE(po.find("msgid \"Center\"\nmsgstr \"居中\""), std::string::npos) << po;
    const auto apply = Run({"apply", Path("in"), Path("zh.po"), Path("out")});
    ASSERT_EQ(apply.status, 0) << apply.err;
    const cltest::JavaRun run = cltest::RunJava(Path("out"), "Main");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Center\n1\n") << run.err;
}

}  // namespace
