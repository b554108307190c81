// The rule for a missing tool, which every suite follows: skipped on a developer's machine,
// failed under CI, whatever way the CI variable is spelt; and the stand-in registered for a
// test that cannot be built without the tool exits as CTest expects.

#include "Java.h"
#include "Tools.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

namespace {

using cltest::CheckTool;
using cltest::ToolVerdict;

TEST(MissingTool, SkippedOnAMachineFailedUnderCi)
{
    const struct {
        const char* path;
        const char* ci;  // null: unset
        ToolVerdict verdict;
    } cases[] = {
        {"/usr/bin/javac", nullptr, ToolVerdict::Use},
        {"/usr/bin/javac", "true", ToolVerdict::Use},
        {"", nullptr, ToolVerdict::Skip},
        {"CLASSLINGO_JAVAC-NOTFOUND", nullptr, ToolVerdict::Skip},
        {"CLASSLINGO_JAVAC-NOTFOUND", "", ToolVerdict::Skip},
        {"CLASSLINGO_JAVAC-NOTFOUND", "false", ToolVerdict::Skip},
        {"CLASSLINGO_JAVAC-NOTFOUND", "0", ToolVerdict::Skip},
        {"CLASSLINGO_JAVAC-NOTFOUND", "true", ToolVerdict::Fail},
        {"CLASSLINGO_JAVAC-NOTFOUND", "TRUE", ToolVerdict::Fail},
        {"", "True", ToolVerdict::Fail},
        {"", "1", ToolVerdict::Fail},
        {"", "yes", ToolVerdict::Fail},
    };
    for (const auto& c : cases) {
        const cltest::ToolCheck check = CheckTool("javac", c.path, c.ci);
        const std::string label = std::string(c.path) + " CI=" + (c.ci ? c.ci : "(unset)");
        EXPECT_EQ(check.verdict, c.verdict) << label;
        if (c.verdict == ToolVerdict::Use) {
            EXPECT_TRUE(check.message.empty()) << label;
        } else {
            EXPECT_NE(check.message.find("javac"), std::string::npos) << label << ": " << check.message;
        }
    }
}

// The CI variable is read when the check is made, as the suites' macros make it.
class CiVariable : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* ci = std::getenv("CI"))
            saved_ = ci;
        hadCi_ = std::getenv("CI") != nullptr;
    }
    void TearDown() override
    {
        if (hadCi_)
            ::setenv("CI", saved_.c_str(), 1);
        else
            ::unsetenv("CI");
    }

private:
    std::string saved_;
    bool hadCi_ = false;
};

void NeedsAMissingTool()
{
    CLTEST_REQUIRE_TOOL("msgfmt", "CLASSLINGO_MSGFMT-NOTFOUND");
}

bool reachedPastThePresentTool = false;

void NeedsAPresentTool()
{
    CLTEST_REQUIRE_TOOL("sh", "/bin/sh");
    reachedPastThePresentTool = true;
}

TEST_F(CiVariable, TheMacroFailsTheTestUnderCi)
{
    ::setenv("CI", "true", 1);
    EXPECT_FATAL_FAILURE(NeedsAMissingTool(), "msgfmt is not installed, and CI=true");
    reachedPastThePresentTool = false;
    NeedsAPresentTool();
    EXPECT_TRUE(reachedPastThePresentTool);
}

TEST_F(CiVariable, TheStandInSkipsOrFails)
{
    const struct {
        const char* ci;
        std::string tools;
        int status;
    } cases[] = {
        {nullptr, "javac /usr/bin/javac", 0},
        {nullptr, "javac ''", 77},
        {"false", "javac /usr/bin/javac java CLASSLINGO_JAVA-NOTFOUND", 77},
        {"true", "javac ''", 1},
        {"true", "javac /usr/bin/javac java CLASSLINGO_JAVA-NOTFOUND", 1},
        {"true", "javac /usr/bin/javac java /usr/bin/java", 0},
    };
    for (const auto& c : cases) {
        if (c.ci)
            ::setenv("CI", c.ci, 1);
        else
            ::unsetenv("CI");
        std::string said;
        const int status = cltest::RunCommand(cltest::ShellQuoted(CLTEST_TOOL_CHECK) + " " + c.tools + " 2>&1", said);
        EXPECT_EQ(status, c.status) << c.tools << " CI=" << (c.ci ? c.ci : "(unset)") << ": " << said;
    }
}

}  // namespace
