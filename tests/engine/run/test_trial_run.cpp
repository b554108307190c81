// 试运行 as the engine sets it up: a scratch folder of its own under the temporary folder, the
// translated copy generated into it, the command in the session's language with a scratch home
// unless the real one is asked for; and nothing left behind when a step fails.

#include "run/TrialRun.h"

#include "ErrorOf.h"
#include "FailingFileSystem.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace cat = cl::catalogue;

cat::ProgramSession SessionOver(cat::ProgramKind kind, const std::string& path, const std::string& mainClass)
{
    cat::ProgramFacts facts;
    facts.kind = kind;
    facts.path = path;
    facts.name = std::filesystem::path(path).filename().string();
    facts.mainClass = mainClass;
    facts.classNames = {"demo.App"};
    facts.mainClasses = {"demo.App"};
    return cat::ProgramSession::Assemble(std::move(facts), {});
}

bool Has(const std::vector<std::string>& words, const std::string& word)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

class TrialRunSetUp : public cltest::ScratchFolder {
protected:
    // What the temporary folder holds.
    std::vector<std::string> Scratch() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Path("tmp")))
            names.push_back(entry.path().filename().string());
        return names;
    }
    void SetUp() override
    {
        cltest::ScratchFolder::SetUp();
        std::filesystem::create_directories(Path("tmp"));
    }
};

TEST_F(TrialRunSetUp, TheCopyGoesIntoAScratchFolderAndStartsFromTheProgramsOwn)
{
    const struct {
        const char* what;
        cat::ProgramKind kind;
        std::string manifestMain;  // a jar manifest's Main-Class
        bool realHome;
        bool annotations;
        std::string started;  // the last argument: the class, or the copy for -jar
    } cases[] = {
        {"a jar its manifest starts", cat::ProgramKind::Jar, "demo.App", false, false, "/program/app.jar"},
        {"a jar, the chosen class", cat::ProgramKind::Jar, "", false, true, "demo.Chosen"},
        {"a jar, the real home", cat::ProgramKind::Jar, "demo.App", true, false, "/program/app.jar"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Path("tmp"));
        std::filesystem::create_directories(Path("tmp"));
        cat::ProgramSession session = SessionOver(c.kind, Path("app/app.jar"), c.manifestMain);
        cl::run::TrialRunRequest request;
        request.java = "/opt/jdk/bin/java";
        request.tempFolder = Path("tmp");
        request.mainClass = "demo.Chosen";  // ignored when the manifest starts the program
        request.realHome = c.realHome;
        request.annotations = c.annotations;
        const cl::Result<cl::run::TrialRun> run = cl::run::SetUpTrialRun(session, request);
        ASSERT_TRUE(run) << static_cast<int>(run.error().kind);
        // One scratch folder of the run's own, under the temporary folder.
        ASSERT_EQ(Scratch().size(), 1u);
        EXPECT_EQ(run->folder, Path("tmp/" + Scratch().front()));
        EXPECT_EQ(run->generate.output, run->folder + "/program/app.jar");
        EXPECT_FALSE(run->generate.inPlace);
        EXPECT_EQ(run->generate.annotations, c.annotations);
        // Started from the program's own folder, in the session's language.
        EXPECT_EQ(run->command.program, "/opt/jdk/bin/java");
        EXPECT_EQ(run->command.workingFolder, Path("app"));
        EXPECT_TRUE(Has(run->command.arguments, "-Duser.language=zh"));
        const std::string last = run->command.arguments.back();
        EXPECT_EQ(last, c.started.front() == '/' ? run->folder + c.started : c.started);
        // A scratch home, made empty inside the run's folder, unless the real one is asked for.
        EXPECT_EQ(run->home, c.realHome ? std::string() : run->folder + "/home");
        EXPECT_EQ(Has(run->command.arguments, "-Duser.home=" + run->folder + "/home"), !c.realHome);
        EXPECT_TRUE(std::filesystem::is_directory(run->folder + "/home"));
        cl::run::RemoveTrialRun(run->folder);
        EXPECT_TRUE(Scratch().empty());
    }
}

TEST_F(TrialRunSetUp, AFailedStepLeavesNothingBehind)
{
    const cat::ProgramSession session = SessionOver(cat::ProgramKind::Jar, Path("app/app.jar"), "demo.App");
    const struct {
        cltest::FailStep step;
        std::string path;  // the error's
    } cases[] = {
        {cltest::FailStep::CreateTempFolder, Path("tmp")},
        {cltest::FailStep::MakeFolder, ""},  // the layout's first folder, inside the scratch folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(cltest::StepName(c.step));
        cltest::FailingFileSystem fs;
        fs.FailAt(c.step, 1, std::errc::permission_denied);
        cl::run::TrialRunRequest request;
        request.java = "/opt/jdk/bin/java";
        request.tempFolder = Path("tmp");
        const auto error = cltest::ErrorOf(cl::run::SetUpTrialRun(session, request, fs));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind, cl::ErrorKind::CannotMakeFolder);
        EXPECT_EQ(error->code, std::make_error_code(std::errc::permission_denied));
        if (!c.path.empty())
            EXPECT_EQ(error->path, c.path);
        else
            EXPECT_EQ(error->path.rfind(Path("tmp/"), 0), 0u) << error->path;
        EXPECT_TRUE(Scratch().empty());
    }
}

}  // namespace
