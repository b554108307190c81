// Literals of desktop programs that are not words for people although a place shows them:
// XML element names also put into messages, layout constraints, appender names, URL
// schemes and namespaces (java/Desktop.java, compiled against the library stand-ins of
// java/stubs). Each is checked for its decision, the use its note names and what forbids it.

#include "UsageFixture.h"
#include "Java.h"

#include "usage/Use.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using cl::usage::Use;

namespace {

class DesktopProgram : public cltest::CompiledProgramSuite<DesktopProgram> {
public:
    static std::vector<cltest::JavaSource> Sources()
    {
        const std::string java = CLASSLINGO_USAGE_JAVA;
        // The stand-ins are read as sources only: no class file of theirs joins the program.
        return {{java + "/Desktop.java", "-nowarn -XDstringConcat=indyWithConstants -implicit:none -sourcepath " +
                                             cltest::ShellQuoted(java + "/stubs")}};
    }
};

TEST_F(DesktopProgram, OnlyTheProgramsOwnClassesAreAnalysed)
{
    EXPECT_EQ(classCount_, 4u);  // GameFile, Panels, Logging, Plugins: the stand-ins stay libraries
}

TEST_F(DesktopProgram, NamesAndLayoutConstraintsAreWithheldProseIsOffered)
{
    const struct {
        const char* text;
        Use use;
        bool offered;
        const char* consumer;    // what the decision's consumer contains
        const char* forbidding;  // the consumer of the first forbidding finding; empty: none
    } cases[] = {
        // XML element names that a message names too.
        {"optionGroup", Use::Name, false, "org/w3c/dom/Document.getElementsByTagName",
         "org/w3c/dom/Document.getElementsByTagName"},
        {"playerList", Use::Name, false, "java/lang/String.equals", "java/lang/String.equals"},
        {"ownerInitialize", Use::Name, false, "org/example/game/Loader.expect", "org/example/game/Loader.expect"},
        // Prose at the same unknown call is still offered, as what shows it.
        {"Cannot open the saved game", Use::Message, true, "java/io/IOException.<init>", ""},
        {"Words the loader keeps for people", Use::Unknown, true, "org/example/game/Loader.expect", ""},
        // Code-shaped words that only reach an unknown call.
        {"fill, grow", Use::Data, false, "org/example/game/Loader.layout", ""},
        {"-n -e", Use::Data, false, "org/example/game/Loader.layout", ""},
        // Layout constraints.
        {"p, 2dlu, p", Use::Pattern, false, "com/jgoodies/forms/layout/FormLayout.<init>",
         "com/jgoodies/forms/layout/FormLayout.<init>"},
        {"pref:grow, 4dlu, fill:p", Use::Pattern, false, "com/jgoodies/forms/layout/FormLayout.<init>",
         "com/jgoodies/forms/layout/FormLayout.<init>"},
        // A text field's first content; the same text as a label is shown.
        {"localhost", Use::Data, false, "javax/swing/JTextField.<init>", ""},
        {"Sample name", Use::Ui, true, "javax/swing/JLabel.<init>", ""},
        // Appender names and plugin types, also logged.
        {"Console", Use::Name, false, "ConfigurationBuilder.newAppender", "ConfigurationBuilder.newAppender"},
        {"Stdout", Use::Name, false, "ConfigurationBuilder.newAppender", "ConfigurationBuilder.newAppender"},
        // A URL scheme joined to a path, and a namespace, though printed or shown.
        {"reference:file:\x01", Use::Name, false, "", ""},
        {"http://www.example.org/map/1.0", Use::Name, false, "javax/swing/JLabel.<init>", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto* text = program_->Find(c.text);
        ASSERT_NE(text, nullptr) << "not a string of the compiled classes";
        const cl::usage::Decision& d = text->decision;
        EXPECT_EQ(cl::usage::UseWord(d.use), std::string(cl::usage::UseWord(c.use)));
        EXPECT_EQ(d.offered, c.offered);
        EXPECT_NE(d.consumer.find(c.consumer), std::string::npos) << d.consumer;
        if (*c.forbidding == '\0') {
            EXPECT_TRUE(d.forbidding.empty()) << d.forbidding.front().consumer;
        } else {
            ASSERT_FALSE(d.forbidding.empty());
            EXPECT_NE(d.forbidding.front().consumer.find(c.forbidding), std::string::npos) << d.forbidding.front().consumer;
        }
    }
}

TEST_F(DesktopProgram, AShownNameIsWithheldWithThePlaceThatReadsIt)
{
    // "Console" is a plugin type and an appender's name: both places forbid it, beside the log
    // line that shows it.
    const auto* console = program_->Find("Console");
    ASSERT_NE(console, nullptr);
    std::string forbidding;
    for (const auto& f : console->decision.forbidding)
        forbidding += f.consumer + " ";
    EXPECT_NE(forbidding.find("org/apache/log4j/Logger.getAppender"), std::string::npos) << forbidding;
    EXPECT_NE(forbidding.find("ConfigurationBuilder.newAppender"), std::string::npos) << forbidding;

    // "ownerInitialize" is shown by the exception and read by the loader: the note names the
    // loader's call, in the method that makes it.
    const auto* owner = program_->Find("ownerInitialize");
    ASSERT_NE(owner, nullptr);
    ASSERT_EQ(owner->decision.forbidding.size(), 1u);
    const cl::usage::Finding& f = owner->decision.forbidding[0];
    EXPECT_EQ(f.use, Use::Unknown);
    EXPECT_EQ(f.className, "GameFile");
    EXPECT_EQ(f.method, "owner");
    // Its findings still hold the message that shows it.
    bool shown = false;
    for (const auto& finding : program_->Findings("ownerInitialize"))
        shown = shown || finding.use == Use::Message;
    EXPECT_TRUE(shown);
}

}  // namespace
