// Text written to a stream is judged by where the stream leads (java/streams/Streams.java):
// the console prints messages (debug lines, in a program that shows windows), a file, a socket
// or a process carries data, a stream given by a field or a parameter leads nowhere known, text
// kept in a StringWriter goes where the writer's text goes; settings stored are data. A Swing
// action's values are judged by their keys (java/streams/Windows.java). The same sources are
// analysed as a program without windows and, with Windows.java, as one with them.

#include "Java.h"
#include "UsageFixture.h"

#include "usage/Use.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using cl::usage::FormatStyle;
using cl::usage::Use;

namespace {

struct Expected {
    const char* text;
    Use use;  // in the program without windows
    bool offered;
    FormatStyle format;
    const char* consumer;  // what the decision's consumer contains
};

// The console's lines: a message without windows, a log line with them.
const Expected kConsole[] = {
    {"Console line text", Use::Message, true, FormatStyle::None, "java/io/PrintStream.println"},
    {"Console error text", Use::Message, true, FormatStyle::None, "java/io/PrintStream.println"},
    {"Wrapped console text", Use::Message, true, FormatStyle::None, "java/io/PrintWriter.println"},
    // Printed into a StringWriter whose text is printed to the console.
    {"Memory text", Use::Message, true, FormatStyle::None, "java/io/PrintStream.println"},
    // A PrintStream the method was given is taken for the console (System.out kept in a field).
    {"Parameter stream text", Use::Message, true, FormatStyle::None, "java/io/PrintStream.println"},
};

const Expected kStreams[] = {
    // A printf pattern at the console stays a pattern, windows or not.
    {"Console pattern %d items%n", Use::Format, true, FormatStyle::Printf, "java/io/PrintStream.printf"},
    // Streams opened on files, sockets, processes: data.
    {"File line text", Use::Data, false, FormatStyle::None, "java/io/PrintWriter.println"},
    {"File pattern %d rows%n", Use::Data, false, FormatStyle::None, "java/io/PrintWriter.printf"},
    {"Buffered file text", Use::Data, false, FormatStyle::None, "java/io/BufferedWriter.write"},
    {"Print stream on a file", Use::Data, false, FormatStyle::None, "java/io/PrintStream.println"},
    {"Writer on a file name", Use::Data, false, FormatStyle::None, "java/io/PrintWriter.println"},
    {"report.txt", Use::Name, false, FormatStyle::None, "java/io/PrintWriter.<init>"},
    {"Appended file text", Use::Data, false, FormatStyle::None, "java/io/Writer.append"},
    {"Socket line text", Use::Data, false, FormatStyle::None, "java/io/PrintStream.println"},
    {"Socket writer text", Use::Data, false, FormatStyle::None, "java/io/Writer.write"},
    {"Process input text", Use::Data, false, FormatStyle::None, "java/io/PrintWriter.println"},
    {"250 Protocol reply", Use::Data, false, FormatStyle::None, "java/lang/String.getBytes"},
    // Writers the method was given: where they lead is not known; prose is offered.
    {"Field stream text", Use::Unknown, true, FormatStyle::None, "java/io/PrintWriter.println"},
    {"Parameter writer text", Use::Unknown, true, FormatStyle::None, "java/io/Writer.write"},
    {"Saver entry text", Use::Unknown, true, FormatStyle::None, "java/io/BufferedWriter.write"},
    // Settings stored.
    {"Stored setting value", Use::Data, false, FormatStyle::None, "java/util/Properties.setProperty"},
    {"Put setting value", Use::Data, false, FormatStyle::None, "java/util/Properties.put"},
    {"Settings comment line", Use::Data, false, FormatStyle::None, "java/util/Properties.store"},
    {"Preference value text", Use::Data, false, FormatStyle::None, "java/util/prefs/Preferences.put"},
};

// Only in the program with windows.
const Expected kActions[] = {
    {"Action name text", Use::Ui, true, FormatStyle::None, "javax/swing/AbstractAction.putValue"},
    {"Action tooltip text", Use::Ui, true, FormatStyle::None, "javax/swing/AbstractAction.putValue"},
    {"Interface long description", Use::Ui, true, FormatStyle::None, "javax/swing/Action.putValue"},
    {"Run the command", Use::Key, false, FormatStyle::None, "javax/swing/AbstractAction.putValue"},
    {"Own key value text", Use::Data, false, FormatStyle::None, "javax/swing/AbstractAction.putValue"},
    {"Icon value text", Use::Data, false, FormatStyle::None, "javax/swing/Action.putValue"},
    // A class of the program's own that is an Action: its calls reach AbstractAction's.
    {"Own action name", Use::Ui, true, FormatStyle::None, "putValue"},
    {"Own action tooltip", Use::Ui, true, FormatStyle::None, "putValue"},
    {"Own action command", Use::Key, false, FormatStyle::None, "OwnAction.putValue"},
    {"Window title text", Use::Ui, true, FormatStyle::None, "javax/swing/JFrame.<init>"},
};

void Check(const cltest::AnalysedProgram& program, const Expected& e, Use use)
{
    SCOPED_TRACE(e.text);
    const auto* text = program.Find(e.text);
    ASSERT_NE(text, nullptr) << "not a string of the compiled classes";
    EXPECT_EQ(cl::usage::UseWord(text->decision.use), std::string(cl::usage::UseWord(use)));
    EXPECT_EQ(text->decision.offered, e.offered);
    EXPECT_EQ(text->decision.format, e.format);
    EXPECT_NE(text->decision.consumer.find(e.consumer), std::string::npos) << text->decision.consumer;
}

class OutputStreams : public ::testing::TestWithParam<bool> {};

TEST_P(OutputStreams, WhatIsWrittenIsJudgedByWhereTheStreamLeads)
{
    CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
    const bool windows = GetParam();
    const std::string java = std::string(CLASSLINGO_USAGE_JAVA) + "/streams/";
    std::vector<cltest::JavaSource> sources{{java + "Streams.java", "-nowarn"}};
    if (windows)
        sources.push_back({java + "Windows.java", "-nowarn"});
    cltest::AnalysedProgram program;
    const std::string error = cltest::AnalyseCompiledJava(sources, program);
    ASSERT_TRUE(error.empty()) << error;

    for (const Expected& e : kConsole)
        Check(program, e, windows ? Use::Log : e.use);
    for (const Expected& e : kStreams)
        Check(program, e, e.use);
    if (windows) {
        for (const Expected& e : kActions)
            Check(program, e, e.use);
    }
    // Each console line is found at the console, and nowhere as data.
    for (const Expected& e : kConsole) {
        for (const cl::usage::Finding& f : program.Findings(e.text))
            EXPECT_NE(f.use, Use::Data) << e.text << " at " << f.consumer;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, OutputStreams, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("WithWindows") : std::string("WithoutWindows");
                         });

}  // namespace
