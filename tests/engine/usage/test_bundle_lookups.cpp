// A bundle's value is judged by where the program's lookups of its key send it: directly, through
// the program's own wrappers (a wrapper of a wrapper too), and under keys joined from pieces,
// compiled both with javac's string concatenation of today and with StringBuilder (--release 8).

#include "Java.h"
#include "UsageFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using cl::usage::FormatStyle;
using cl::usage::Use;

namespace {

struct Expected {
    const char* key;
    bool known;  // some lookup of a known use reads it
    bool offered;
    Use use;
    FormatStyle format;
};

const Expected kExpected[] = {
    {"direct.label", true, true, Use::Ui, FormatStyle::None},
    {"direct.icon", true, false, Use::Name, FormatStyle::None},
    {"direct.colour", true, false, Use::Data, FormatStyle::None},
    {"direct.size", true, false, Use::Data, FormatStyle::None},
    {"direct.count", true, true, Use::Format, FormatStyle::Printf},
    {"direct.greeting", true, true, Use::Format, FormatStyle::MessageFormat},
    {"direct.compared", true, false, Use::Key, FormatStyle::None},
    {"wrapped.label", true, true, Use::Ui, FormatStyle::None},
    {"wrapped.class", true, false, Use::Name, FormatStyle::None},
    {"dialog.title", true, true, Use::Ui, FormatStyle::None},
    {"open.Name", true, true, Use::Ui, FormatStyle::None},
    {"save.ShortDescription", true, true, Use::Ui, FormatStyle::None},
    {"open.Handler", true, false, Use::Name, FormatStyle::None},
    // Shown under its own key; a lookup known only by the ending ".text" reads every such key
    // as a class name, which is too broad to withhold any one of them.
    {"menu.text", true, true, Use::Ui, FormatStyle::None},
    // Compared by identity only: the same object translated or not.
    {"same.object", true, true, Use::Ui, FormatStyle::None},
    {"other.text", false, false, Use::Unknown, FormatStyle::None},
    // No lookup spells these keys: the value's shape has to decide.
    {"never.looked.up", false, false, Use::Unknown, FormatStyle::None},
    {"title", false, false, Use::Unknown, FormatStyle::None},
};

class BundleLookups : public ::testing::TestWithParam<const char*> {};

TEST_P(BundleLookups, EachKeyIsJudgedByWhereItsValueGoes)
{
    CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
    cltest::AnalysedProgram program;
    const std::string error = cltest::AnalyseCompiledJava(
        {{std::string(CLASSLINGO_USAGE_JAVA) + "/lookups/Lookups.java", GetParam()}}, program);
    ASSERT_TRUE(error.empty()) << error;

    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.key);
        const std::optional<cl::usage::Decision> d = program.usage.DecideLookedUp(e.key, "Some words");
        ASSERT_EQ(d.has_value(), e.known);
        if (!e.known)
            continue;
        EXPECT_EQ(d->offered, e.offered);
        EXPECT_EQ(d->use, e.use);
        EXPECT_EQ(d->format, e.format);
        EXPECT_EQ(d->forbidding.empty(), e.offered) << "a withheld value names what needs it unchanged";
    }
    // A value without a word is not offered even where it is shown.
    const std::optional<cl::usage::Decision> dash = program.usage.DecideLookedUp("direct.label", "--");
    ASSERT_TRUE(dash.has_value());
    EXPECT_FALSE(dash->offered);
}

INSTANTIATE_TEST_SUITE_P(Compilers, BundleLookups,
                         ::testing::Values("-nowarn -XDstringConcat=indyWithConstants", "-nowarn --release 8"));

}  // namespace
