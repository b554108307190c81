// Names an object keeps and is found by (java/KeptNames.java): a literal passed through a
// superclass's constructor into a field, or returned as a constant, comes back from a getter
// called through an interface or an abstract class, and a loop compares it with a name read
// from a file. Such a name is withheld as a key, with the getter in the note, even where the
// same getter also feeds what is shown; a getter's result that is only shown, sorted, or
// handed back by a helper passed something stays offered.

#include "UsageFixture.h"
#include "Java.h"

#include "usage/Use.h"

#include <gtest/gtest.h>

#include <string>

using cl::usage::Use;

namespace {

class KeptNames : public cltest::CompiledProgramSuite<KeptNames> {
public:
    static std::vector<cltest::JavaSource> Sources()
    {
        return {{std::string(CLASSLINGO_USAGE_JAVA) + "/KeptNames.java", "-nowarn"}};
    }
};

TEST_F(KeptNames, ANameFoundByIsWithheldATextOnlyShownIsOffered)
{
    const struct {
        const char* text;
        bool offered;
        Use use;
        const char* consumer;  // what the decision's consumer contains
        bool shown;            // some finding shows it
    } cases[] = {
        // Through the superclass's constructor into a field, back through Tool.getName().
        {"AND Gate", false, Use::Key, "java/lang/String.equals on return of Tool.getName()", true},
        {"Clock", false, Use::Key, "java/lang/String.equals on return of Tool.getName()", true},
        // Returned as a constant by the getter the loop calls.
        {"Probe Tool", false, Use::Key, "java/lang/String.equals on return of Tool.getName()", false},
        // The display name of the same tool, from another getter: shown only.
        {"Probe", true, Use::Ui, "javax/swing/JLabel.setText", true},
        // Kept by an object and handed out by a getter, but only shown and sorted.
        {"Untitled drawing", true, Use::Ui, "javax/swing/JLabel.setText", true},
        {"Imported sketch", true, Use::Ui, "javax/swing/JLabel.setText", true},
        // Kept after a helper passed something hands it back: a comparison alone.
        {"Nothing selected", true, Use::Ui, "javax/swing/JLabel.setText", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto* text = program_->Find(c.text);
        ASSERT_NE(text, nullptr) << "not a string of the compiled classes";
        const cl::usage::Decision& d = text->decision;
        EXPECT_EQ(d.offered, c.offered);
        EXPECT_EQ(cl::usage::UseWord(d.use), std::string(cl::usage::UseWord(c.use)));
        EXPECT_NE(d.consumer.find(c.consumer), std::string::npos) << d.consumer;
        bool shown = false;
        for (const auto& f : program_->Findings(c.text))
            shown = shown || cl::usage::IsShown(f.use);
        EXPECT_EQ(shown, c.shown);
        if (c.offered) {
            EXPECT_TRUE(d.forbidding.empty()) << d.forbidding.front().consumer;
        } else {
            // The note names the comparison and the getter that handed the name out, as a
            // comparison by equality.
            ASSERT_FALSE(d.forbidding.empty());
            EXPECT_EQ(d.forbidding.front().use, Use::Key);
            EXPECT_TRUE(d.forbidding.front().equalsStyle);
            EXPECT_EQ(d.forbidding.front().consumer, "java/lang/String.equals on return of Tool.getName()");
        }
    }
}

TEST_F(KeptNames, ThePlainComparisonsStayBesideTheKeptName)
{
    // The loop's comparison is still found as one by equality, and the sort's and the
    // caption's compare without forbidding anything.
    auto compared = [](const char* text, const std::string& consumer) {
        for (const auto& f : program_->Findings(text)) {
            if (f.use == Use::Key && f.equalsStyle && f.consumer == consumer)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(compared("AND Gate", "java/lang/String.equals"));
    // The title is sorted and checked for a change: one plain comparison is named.
    EXPECT_TRUE(compared("Untitled drawing", "java/lang/String.compareTo") ||
                compared("Untitled drawing", "java/lang/String.equals"));
    EXPECT_TRUE(compared("Nothing selected", "java/lang/String.equals"));
    for (const char* text : {"Untitled drawing", "Nothing selected"}) {
        SCOPED_TRACE(text);
        for (const auto& f : program_->Findings(text))
            EXPECT_EQ(f.consumer.find(" on return of "), std::string::npos) << f.consumer;
    }
}

}  // namespace
