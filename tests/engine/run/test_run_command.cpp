// The command line of a run: the catalogue's language as Java's locale properties, UTF-8 out,
// and how java is told what to start.

#include "run/RunCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Options = std::vector<std::string>;

TEST(RunCommand, TheCatalogueLanguageAsJavaLocale)
{
    const struct {
        std::string language;
        Options options;
    } cases[] = {
        {"zh_CN", {"-Duser.language=zh", "-Duser.country=CN"}},
        {"zh", {"-Duser.language=zh"}},
        {"pt_BR", {"-Duser.language=pt", "-Duser.country=BR"}},
        {"", {}},
        {"zh-TW", {"-Duser.language=zh", "-Duser.country=TW"}},
        {"zh_CN.UTF-8", {"-Duser.language=zh", "-Duser.country=CN"}},
        {"sr_RS@latin", {"-Duser.language=sr", "-Duser.country=RS"}},
        {"zh_Hant_TW", {"-Duser.language=zh", "-Duser.script=Hant", "-Duser.country=TW"}},
        {"es_419", {"-Duser.language=es", "-Duser.country=419"}},
        {"ZH_cn", {"-Duser.language=zh", "-Duser.country=CN"}},
        {"ca_ES_VALENCIA", {"-Duser.language=ca", "-Duser.country=ES", "-Duser.variant=VALENCIA"}},
        {"C", {}},
        {"POSIX", {}},
        {"z1_CN", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cl::run::LanguageOptions(c.language), c.options) << c.language;
}

TEST(RunCommand, AJarStartsItselfAClassPathNamesTheClass)
{
    cl::run::RunTarget jar;
    jar.jar = "/tmp/run-1/app.jar";
    const cl::run::RunCommand byJar = cl::run::MakeRunCommand("/usr/bin/java", "zh_CN", jar, "/home/me/app");
    EXPECT_EQ(byJar.program, "/usr/bin/java");
    EXPECT_EQ(byJar.workingFolder, "/home/me/app");
    Options expected{"-Duser.language=zh", "-Duser.country=CN"};
    for (const std::string& option : cl::run::EncodingOptions())
        expected.push_back(option);
    expected.push_back("-jar");
    expected.push_back("/tmp/run-1/app.jar");
    EXPECT_EQ(byJar.arguments, expected);

    cl::run::RunTarget byClass;
    byClass.classPath = {"/tmp/run-2/classes", "/home/me/app/lib/a.jar"};
    byClass.mainClass = "demo.App";
    const cl::run::RunCommand command = cl::run::MakeRunCommand("/usr/bin/java", "", byClass, "/home/me/app");
    const Options tail(command.arguments.end() - 3, command.arguments.end());
    EXPECT_EQ(tail, (Options{"-cp", "/tmp/run-2/classes:/home/me/app/lib/a.jar", "demo.App"}));
    EXPECT_TRUE(std::none_of(command.arguments.begin(), command.arguments.end(),
                             [](const std::string& a) { return a.rfind("-Duser.", 0) == 0; }));
}

TEST(RunCommand, AScratchHomeForJavaAndWhatItStarts)
{
    cl::run::RunTarget jar;
    jar.jar = "/tmp/run-1/program/app.jar";
    const std::string home = "/tmp/run-1/home";
    const cl::run::RunCommand command = cl::run::MakeRunCommand("/usr/bin/java", "zh_CN", jar, "/home/me/app", home);
    // user.home among the options, before what starts the program (after it, it would be one of
    // the program's own arguments).
    const auto option = std::find(command.arguments.begin(), command.arguments.end(), "-Duser.home=" + home);
    const auto start = std::find(command.arguments.begin(), command.arguments.end(), "-jar");
    ASSERT_NE(option, command.arguments.end());
    EXPECT_LT(option, start);
    EXPECT_EQ(command.environment, (std::vector<cl::run::EnvironmentVariable>{
                                       {"HOME", home},
                                       {"XDG_CONFIG_HOME", home + "/.config"},
                                       {"XDG_DATA_HOME", home + "/.local/share"},
                                       {"XDG_CACHE_HOME", home + "/.cache"},
                                       {"XDG_STATE_HOME", home + "/.local/state"},
                                   }));
    EXPECT_EQ(cl::run::HomeEnvironment(home), command.environment);

    // The real home: nothing changed, for java or for the environment.
    const cl::run::RunCommand real = cl::run::MakeRunCommand("/usr/bin/java", "zh_CN", jar, "/home/me/app");
    EXPECT_TRUE(real.environment.empty());
    EXPECT_TRUE(std::none_of(real.arguments.begin(), real.arguments.end(),
                             [](const std::string& a) { return a.rfind("-Duser.home", 0) == 0; }));
    EXPECT_EQ(real.arguments.size() + 1, command.arguments.size());
}

TEST(RunCommand, OutputIsUtf8OnEveryJava)
{
    const Options options = cl::run::EncodingOptions();
    // Java 19 and later read stdout.encoding, the ones before the sun. names; file.encoding both.
    for (const char* wanted : {"-Dfile.encoding=UTF-8", "-Dstdout.encoding=UTF-8", "-Dstderr.encoding=UTF-8",
                               "-Dsun.stdout.encoding=UTF-8", "-Dsun.stderr.encoding=UTF-8"})
        EXPECT_NE(std::find(options.begin(), options.end(), wanted), options.end()) << wanted;
}

TEST(RunCommand, ShownAsAShellWouldTakeIt)
{
    cl::run::RunCommand command;
    command.program = "/usr/bin/java";
    command.arguments = {"-Duser.language=zh", "-jar", "/tmp/my app/it's.jar", "/tmp/程序.jar", ""};
    EXPECT_EQ(cl::run::CommandLineText(command),
              "/usr/bin/java -Duser.language=zh -jar '/tmp/my app/it'\\''s.jar' /tmp/程序.jar ''");
}

}  // namespace
