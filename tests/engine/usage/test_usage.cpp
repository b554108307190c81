// Where each string of a javac-compiled program goes: one string per kind of consumer and of
// flow (Cases.java, OldStyle.java), checked for its use, whether it is offered, and the
// consumer the note names.

#include "ClassFileBuilder.h"
#include "UsageFixture.h"
#include "ScratchFolder.h"
#include "Java.h"

#include "usage/Use.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

using cl::usage::FormatStyle;
using cl::usage::Use;

namespace {

class UsageOfCompiledClasses : public cltest::CompiledProgramSuite<UsageOfCompiledClasses> {
public:
    static std::vector<cltest::JavaSource> Sources()
    {
        const std::string java = CLASSLINGO_USAGE_JAVA;
        return {{java + "/Cases.java", "-nowarn -XDstringConcat=indyWithConstants"},
                {java + "/OldStyle.java", "-nowarn --release 8"}};
    }
};

struct Expected {
    const char* text;
    Use use;
    bool offered;
    const char* consumer;  // what the decision's consumer contains
};

// The decision for each kind of consumer and flow.
const Expected kCases[] = {
    // Interface text: constructors, setters, a dialog, a setter inherited from a platform class.
    {"Swing label text", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Press me", Use::Ui, true, "javax/swing/JButton.<init>"},
    {"Tooltip for the button", Use::Ui, true, "javax/swing/JButton.setToolTipText"},
    {"Inherited window title", Use::Ui, true, "javax/swing/JFrame.setTitle"},
    {"Dialog message text", Use::Ui, true, "javax/swing/JOptionPane.showMessageDialog"},
    {"Dialog title", Use::Ui, true, "javax/swing/JOptionPane.showMessageDialog"},
    // Messages and formats.
    {"Negative count given", Use::Message, true, "java/lang/IllegalArgumentException.<init>"},
    // Cases.java shows windows: what it prints to the console is a debug line.
    {"Printed line text", Use::Log, true, "java/io/PrintStream.println"},
    {"Printf pattern %d%n", Use::Format, true, "java/io/PrintStream.printf"},
    {"Formatted %s value", Use::Format, true, "java/io/PrintStream.println"},
    {"argument", Use::Log, true, "java/io/PrintStream.println"},
    {"Message format {0} here", Use::Format, true, "java/io/PrintStream.println"},
    {"%s.%s", Use::Key, false, "java/lang/System.getProperty"},
    {"prefix", Use::Key, false, "java/lang/System.getProperty"},
    // Logging.
    {"Logged information message", Use::Log, true, "java/util/logging/Logger.info"},
    {"Logged warning message", Use::Log, true, "java/util/logging/Logger.warning"},
    {"cases.logger", Use::Name, false, "java/util/logging/Logger.getLogger"},
    // Keys.
    {"user.home", Use::Key, false, "java/lang/System.getProperty"},
    {"mapKey", Use::Key, false, "java/util/Map.put"},
    {"property.key", Use::Key, false, "java/util/Properties.getProperty"},
    {"press-command", Use::Key, false, "javax/swing/JButton.setActionCommand"},
    {"pressButton", Use::Key, false, "javax/swing/JButton.setName"},
    {"switch-case-text", Use::Key, false, "switch"},
    {"Other case", Use::Key, false, "switch"},
    {"wrapper.key", Use::Key, false, "java/util/ResourceBundle.getString"},
    // A label compared with equals elsewhere is offered: both change together.
    {"Open", Use::Ui, true, "javax/swing/JMenuItem.<init>"},
    // Names.
    {"RED_CONSTANT", Use::Name, false, "java/lang/Enum.<init>"},
    {"com.example.Plugin", Use::Name, false, "java/lang/Class.forName"},
    {"methodName", Use::Name, false, "java/lang/Class.getMethod"},
    {"/images/icon.png", Use::Name, false, "java/lang/Class.getResource"},
    {"https://example.com/page", Use::Name, false, "java/net/URL.<init>"},
    {"ISO-8859-15", Use::Name, false, "java/nio/charset/Charset.forName"},
    {"xdg-open", Use::Name, false, "java/lang/Runtime.exec"},
    {"settings.xml", Use::Name, false, "java/io/File.<init>"},
    {"watched", Use::Name, false, "java/util/concurrent/atomic/AtomicReferenceFieldUpdater.newUpdater"},
    {"app.Messages", Use::Name, false, "java/util/ResourceBundle.getBundle"},
    {"data/input.txt", Use::Name, false, "java/io/FileInputStream.<init>"},
    // Patterns.
    {"[a-z]+ items", Use::Pattern, false, "java/util/regex/Pattern.compile"},
    {"\\s*;\\s*", Use::Pattern, false, "java/lang/String.split"},
    {"yes|no", Use::Pattern, false, "java/lang/String.matches"},
    {"yyyy-MM-dd HH:mm", Use::Pattern, false, "java/text/SimpleDateFormat.<init>"},
    {"#,##0.00 EUR", Use::Pattern, false, "java/text/DecimalFormat.<init>"},
    {"SELECT name FROM users WHERE id = ?", Use::Pattern, false, "java/sql/Connection.prepareStatement"},
    // Flows through the method's code.
    {"Built text part", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Concatenated count: \x01", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Old style count: ", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Ternary yes", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Ternary no", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Local after wide values", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Shown by the handler", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Loop label", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"First option", Use::Ui, true, "javax/swing/JOptionPane.showInputDialog"},
    {"Captured by a lambda", Use::Ui, true, "javax/swing/JLabel.<init>"},
    // Through the program's own methods, fields and returns.
    {"Case one", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Case thousand", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Via static wrapper", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Via overridden method", Use::Ui, true, "javax/swing/JButton.<init>"},
    {"Via base method", Use::Ui, true, "javax/swing/JButton.<init>"},
    {"Recursive text", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Compared by identity", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"GREEN_CONSTANT", Use::Name, false, "java/lang/Enum.<init>"},
    {"Holder stored title", Use::Ui, true, "javax/swing/JFrame.setTitle"},
    {"Static final greeting", Use::Ui, true, "javax/swing/JLabel.<init>"},
    {"Computed static title", Use::Ui, true, "javax/swing/JLabel.<init>"},
    // Data and what goes nowhere known.
    {"12:34", Use::Data, false, "javax/swing/JLabel.<init>"},
    {"\x01\x02\x03" "abc", Use::Data, false, "java/lang/String.charAt"},
    {"Some words nobody reads", Use::Unknown, true, "java/lang/System.identityHashCode"},
    {"someIdentifier", Use::Data, false, "java/lang/System.identityHashCode"},
    // Several uses: a key that is not a comparison forbids the change.
    {"Shared text", Use::Key, false, "java/lang/System.getProperty"},
};

TEST_F(UsageOfCompiledClasses, EachKindOfConsumerAndFlowGivesItsUse)
{
    for (const Expected& e : kCases) {
        SCOPED_TRACE(e.text);
        const auto* text = program_->Find(e.text);
        ASSERT_NE(text, nullptr) << "not a string of the compiled classes";
        EXPECT_EQ(cl::usage::UseWord(text->decision.use), std::string(cl::usage::UseWord(e.use)));
        EXPECT_EQ(text->decision.offered, e.offered);
        EXPECT_NE(text->decision.consumer.find(e.consumer), std::string::npos) << text->decision.consumer;
    }
}

bool Has(const std::vector<cl::usage::Finding>& findings, Use use, const std::string& consumer,
         const std::string& via = "")
{
    for (const cl::usage::Finding& f : findings) {
        if (f.use == use && f.consumer == consumer && (via.empty() || f.via == via))
            return true;
    }
    return false;
}

TEST_F(UsageOfCompiledClasses, FindingsNameWhereTheValueWent)
{
    // Through a static wrapper: the wrapper's parameter is the first of the program's own.
    EXPECT_TRUE(Has(program_->Findings("Via static wrapper"), Use::Ui, "javax/swing/JLabel.<init>",
                    "parameter 1 of Messages.label"));
    // A virtual call reaches the method and its override: both uses are found.
    const auto base = program_->Findings("Via base method");
    EXPECT_TRUE(Has(base, Use::Log, "java/io/PrintStream.println"));
    EXPECT_TRUE(Has(base, Use::Ui, "javax/swing/JButton.<init>"));
    // A field written by a constructor takes the uses of its reads.
    EXPECT_TRUE(Has(program_->Findings("Holder stored title"), Use::Ui, "javax/swing/JFrame.setTitle",
                    "parameter 1 of Holder.<init>"));
    // A constant field nobody reads goes no further than the field.
    EXPECT_TRUE(Has(program_->Findings("Static final greeting"), Use::Unknown, "field Constants.GREETING",
                    "field Constants.GREETING"));
    // A value returned: the consumer of the call's result.
    EXPECT_TRUE(Has(program_->Findings("Case two"), Use::Ui, "javax/swing/JLabel.<init>", "return of Cases.pick()"));
    // A label compared with equals elsewhere: both findings, the comparison an equality.
    const auto open = program_->Findings("Open");
    ASSERT_TRUE(Has(open, Use::Key, "java/lang/String.equals"));
    for (const auto& f : open) {
        if (f.use == Use::Key) {
            EXPECT_TRUE(f.equalsStyle);
        }
    }
    // Compared by identity: an equality too.
    EXPECT_TRUE(Has(program_->Findings("Compared by identity"), Use::Key, "=="));
    // A string nothing consumes: prose, so offered, as unknown.
    EXPECT_TRUE(Has(program_->Findings("Never used anywhere"), Use::Unknown, "nothing"));
    EXPECT_EQ(program_->Find("Never used anywhere")->decision.use, Use::Unknown);
    EXPECT_TRUE(program_->Find("Never used anywhere")->decision.offered);
}

TEST_F(UsageOfCompiledClasses, WithheldTextsNameThePlacesThatForbidThem)
{
    const auto* shared = program_->Find("Shared text");
    ASSERT_NE(shared, nullptr);
    ASSERT_EQ(shared->decision.forbidding.size(), 1u);
    const cl::usage::Finding& f = shared->decision.forbidding[0];
    EXPECT_EQ(f.className, "Cases");
    EXPECT_EQ(f.method, "combination");
    EXPECT_EQ(f.consumer, "java/lang/System.getProperty");
    // Offered texts have nothing that forbids them.
    EXPECT_TRUE(program_->Find("Open")->decision.forbidding.empty());
}

TEST_F(UsageOfCompiledClasses, FormatsSayWhichKindOfPatternTheyAre)
{
    const std::pair<const char*, FormatStyle> cases[] = {
        {"Printf pattern %d%n", FormatStyle::Printf},
        {"Formatted %s value", FormatStyle::Printf},
        {"Message format {0} here", FormatStyle::MessageFormat},
        {"Swing label text", FormatStyle::None},
    };
    for (const auto& [text, style] : cases) {
        SCOPED_TRACE(text);
        ASSERT_NE(program_->Find(text), nullptr);
        EXPECT_EQ(program_->Find(text)->decision.format, style);
    }
}

TEST_F(UsageOfCompiledClasses, ARecipeIsOneTextWhoseValuesAreNotPartOfIt)
{
    const auto* recipe = program_->Find("Concatenated count: \x01");
    ASSERT_NE(recipe, nullptr);
    EXPECT_TRUE(recipe->recipe);
    // Decided on the catalogue's form too: the slot is no letter.
    const cl::usage::Decision asMessage = program_->usage.Decide("Concatenated count: {0}", recipe->places);
    EXPECT_TRUE(asMessage.offered);
    EXPECT_EQ(asMessage.use, Use::Ui);
}

}  // namespace

namespace {

// The texts of the whole-program listing are UTF-8, as Decide reads them, whatever modified
// UTF-8 writes differently in the class: a zero, a character past U+FFFF. A lone surrogate has
// no UTF-8 form and keeps the class's bytes.
TEST(UsageOfTheWholeProgram, EveryTextIsDecidedAsUtf8)
{
    cl::testing::ClassFileBuilder b("Texts");
    b.String(std::string("Zero\xC0\x80" "byte", 10));
    b.String("\xED\xA0\xBD\xED\xB3\x82 Open the folder");  // U+1F4C2 as a surrogate pair
    b.String("Lone \xED\xA0\x80 half");
    b.String("Plain words here");
    const std::vector<uint8_t> bytes = b.Build();
    cltest::AnalysedProgram program;
    program.Analyse({std::string(bytes.begin(), bytes.end())});
    const std::string expected[] = {std::string("Zero\0byte", 9), "\xF0\x9F\x93\x82 Open the folder",
                                    "Lone \xED\xA0\x80 half", "Plain words here"};
    ASSERT_EQ(program.byText.size(), std::size(expected));
    for (const std::string& text : expected) {
        const auto* found = program.Find(text);
        ASSERT_NE(found, nullptr) << text;
        ASSERT_EQ(found->places.size(), 1u) << text;
        const cl::usage::Decision decided = program.usage.Decide(text, found->places);
        EXPECT_EQ(found->decision.offered, decided.offered) << text;
        EXPECT_EQ(found->decision.use, decided.use) << text;
    }
}

}  // namespace
