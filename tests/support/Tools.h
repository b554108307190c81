#pragma once
// The tools found when the build was configured (javac, java, msgfmt), and the one rule for a
// test that needs a tool the machine lacks: on a developer's machine the test is skipped; under
// continuous integration (CI=true) it fails, so that a build whose tests never ran cannot pass
// as green. Every suite asks CheckTool, through the macro of its framework.
//
// CMake leaves a tool's path empty or ending in NOTFOUND when the machine has none.

#include <cctype>
#include <cstdlib>
#include <string>

namespace cltest {

inline bool ToolIsInstalled(const std::string& configuredPath)
{
    return !configuredPath.empty() && configuredPath.find("NOTFOUND") == std::string::npos;
}

// Whether the value of the CI environment variable (null when it is unset) asks for a run in
// which nothing may be skipped: "true", "1" or "yes", in any case, as CI services set it.
inline bool IsContinuousIntegration(const char* ci)
{
    if (ci == nullptr)
        return false;
    std::string value(ci);
    for (char& c : value)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return value == "true" || value == "1" || value == "yes";
}

enum class ToolVerdict { Use, Skip, Fail };

struct ToolCheck {
    ToolVerdict verdict = ToolVerdict::Use;
    std::string message;  // why the test is skipped or fails; empty when the tool is there
};

// What a test that needs `name` (configured at `configuredPath`) does. `ci` is the CI
// environment variable's value, read at the moment of the check unless a test of this rule
// gives one.
inline ToolCheck CheckTool(const std::string& name, const std::string& configuredPath,
                           const char* ci = std::getenv("CI"))
{
    if (ToolIsInstalled(configuredPath))
        return {};
    if (IsContinuousIntegration(ci))
        return {ToolVerdict::Fail, name + " is not installed, and CI=true forbids skipping the tests that need it"};
    return {ToolVerdict::Skip, name + " is not installed"};
}

}  // namespace cltest

// For GoogleTest: in SetUp or a test body, skips or fails the test (returning from it) when
// the tool is missing.
#define CLTEST_REQUIRE_TOOL(name, configuredPath)                                            \
    do {                                                                                     \
        const ::cltest::ToolCheck cltestCheck_ = ::cltest::CheckTool((name), (configuredPath)); \
        if (cltestCheck_.verdict == ::cltest::ToolVerdict::Fail)                             \
            FAIL() << cltestCheck_.message;                                                  \
        if (cltestCheck_.verdict == ::cltest::ToolVerdict::Skip)                             \
            GTEST_SKIP() << cltestCheck_.message;                                            \
    } while (false)

// For Qt Test: the same in a test function or initTestCase.
#define CLTEST_QT_REQUIRE_TOOL(name, configuredPath)                                         \
    do {                                                                                     \
        const ::cltest::ToolCheck cltestCheck_ = ::cltest::CheckTool((name), (configuredPath)); \
        if (cltestCheck_.verdict == ::cltest::ToolVerdict::Fail)                             \
            QFAIL(cltestCheck_.message.c_str());                                             \
        if (cltestCheck_.verdict == ::cltest::ToolVerdict::Skip)                             \
            QSKIP(cltestCheck_.message.c_str());                                             \
    } while (false)
