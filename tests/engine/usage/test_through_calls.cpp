// A value handed to a method of the program's own that gives it back (java/through/Through.java:
// a formatting helper, a helper of it, a trim) takes the uses of what that one call's result
// becomes, not of every call's: a unit's name given to the helper that formats every label is
// shown, though other calls of it make icon paths and file names. What a helper returns of its
// own, and what goes through a field, still reach every use. A unit quoted into a number
// pattern (`replace(".", "'.'")`) is printed as it is, not read as the pattern.

#include "UsageFixture.h"

#include "usage/Use.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using cl::usage::Use;

namespace {

class ThroughCalls : public cltest::CompiledProgramSuite<ThroughCalls> {
public:
    static std::vector<cltest::JavaSource> Sources()
    {
        const std::string file = std::string(CLASSLINGO_USAGE_JAVA) + "/through/Through.java";
        return {{file, "-nowarn"}};
    }
};

bool HasUse(const std::vector<cl::usage::Finding>& findings, Use use)
{
    for (const cl::usage::Finding& f : findings) {
        if (f.use == use)
            return true;
    }
    return false;
}

TEST_F(ThroughCalls, AnArgumentTakesTheUsesOfItsOwnCallsResult)
{
    const struct {
        const char* text;
        bool offered;
        Use use;
        bool shown;  // some finding shows it
        bool read;   // some finding needs it as a name
    } cases[] = {
        // Given to the helpers whose results are shown here and read elsewhere.
        {"Width in feet", true, Use::Ui, true, false},
        {"Height of the wall", true, Use::Ui, true, false},
        {"Trimmed caption ", true, Use::Ui, true, false},
        // Given to the same helpers where the result is read.
        {"toolbar-icon", false, Use::Name, false, true},
        {"backup-copy", false, Use::Name, false, true},
        {" org.example.Plugin", false, Use::Name, false, true},
        {"org.example.Other", false, Use::Name, false, true},
        // The helper's own text goes wherever any call's result goes.
        {"Default choice", false, Use::Name, true, true},
        // Stored into a field: whatever reads the field.
        {"Stored value", false, Use::Name, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto* text = Decided(c.text, c.offered, c.use);
        if (text == nullptr)
            continue;
        const auto findings = program_->Findings(c.text);
        bool shown = false;
        for (const auto& f : findings)
            shown = shown || cl::usage::IsShown(f.use);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(HasUse(findings, Use::Name), c.read);
    }
}

TEST_F(ThroughCalls, ALookedUpValueKeptAndHandedOutIsJudgedByItsOwnCalls)
{
    // Kept in a field, handed out by a getter, given to the formatting helper for a label and
    // quoted into a number pattern: shown, nothing needs it unchanged.
    const std::optional<cl::usage::Decision> unit = program_->usage.DecideLookedUp("unit.cm", "cm");
    ASSERT_TRUE(unit.has_value());
    EXPECT_TRUE(unit->offered);
    EXPECT_EQ(unit->use, Use::Ui);
    EXPECT_TRUE(unit->forbidding.empty()) << unit->forbidding.front().consumer;
    // The helper's patterns themselves: one shown, one an icon's path.
    const std::optional<cl::usage::Decision> label = program_->usage.DecideLookedUp("lengthLabel", "Length in %s");
    ASSERT_TRUE(label.has_value());
    EXPECT_TRUE(label->offered);
    const std::optional<cl::usage::Decision> icon = program_->usage.DecideLookedUp("iconPath", "icons/%s.png");
    ASSERT_TRUE(icon.has_value());
    EXPECT_FALSE(icon->offered);
    EXPECT_EQ(icon->use, Use::Name);
}

TEST_F(ThroughCalls, AUnitQuotedIntoANumberPatternIsNoPattern)
{
    const auto quoted = program_->Findings("sq. ft");
    ASSERT_FALSE(quoted.empty());
    EXPECT_FALSE(HasUse(quoted, Use::Pattern));
    // Joined without quoting, a text is part of the pattern; the quoting text itself is
    // pattern syntax.
    EXPECT_TRUE(HasUse(program_->Findings("per cent"), Use::Pattern));
    EXPECT_TRUE(HasUse(program_->Findings("'.'"), Use::Pattern));
}

}  // namespace
