// A text one class shows and another reads is translated where it is shown only: "Robot" is
// printed by one class and is an enum constant's name another class looks up, and the program
// still finds its constant. Where the reading is a switch (its case is compiled into a hash) or
// an equality comparison, the places that must agree are never split: the text is withheld.

#include "CliFixture.h"
#include "Java.h"
#include "SamplePrograms.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ShownAndReadPlaces : public cltest::CliFixture {};

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
    const auto extract = Run({"extract", Path("in"), Path("menu.po")});
    ASSERT_EQ(extract.status, 0) << extract.err;
    const std::string po = Read(Path("menu.po"));
    EXPECT_NE(po.find("msgid \"Robot\""), std::string::npos) << po;
    EXPECT_NE(po.find("Names"), std::string::npos) << "the note names the class that keeps it:\n" << po;
    EXPECT_EQ(po.find("msgid \"Pick one\""), std::string::npos) << "a switch's case is never translated alone";
    // A comparison by equality changes together with the label: one entry, both places.
    EXPECT_NE(po.find("msgid \"Same here\""), std::string::npos) << po;

    Write(Path("zh.po"), cltest::Catalogue({{"Robot", "机器人"}, {"Same here", "这里也一样"}}));
    const auto apply = Run({"apply", Path("in"), Path("zh.po"), Path("out")});
    ASSERT_EQ(apply.status, 0) << apply.err;
    const cltest::JavaRun run = cltest::RunJava(Path("out"), "Menu");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "机器人\nRobot\nPick one\nnone\n这里也一样\nfalse\n");
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
    const auto extract = Run({"extract", Path("in"), Path("layout.po")});
    ASSERT_EQ(extract.status, 0) << extract.err;
    const std::string po = Read(Path("layout.po"));
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
