#include "run/TrialRun.h"

#include "files/FolderTree.h"
#include "run/RunLayout.h"

namespace cl::run {

Result<TrialRun> SetUpTrialRun(const catalogue::ProgramSession& session, const TrialRunRequest& request,
                               FileSystem& fs)
{
    const catalogue::ProgramFacts& facts = session.Facts();
    // Never beside the user's files: the translated copy lives in a scratch folder of its own.
    TrialRun run;
    if (const std::error_code ec = fs.CreateTempFolder(request.tempFolder, "classlingo-run", run.folder)) {
        Error error(ErrorKind::CannotMakeFolder, request.tempFolder, ec);
        error.task = ErrorTask::Program;
        return error;
    }
    const Result<RunLayout> layout = PrepareRunLayout(facts, run.folder, fs);
    if (!layout) {
        RemoveTrialRun(run.folder, fs);
        return layout.error();
    }
    // The scratch home goes with the run's folder; the real one only when asked for.
    run.home = request.realHome ? std::string() : layout->home;
    const std::string mainClass = StartsByManifest(facts) ? std::string() : request.mainClass;
    run.command = MakeRunCommand(request.java, session.Language(), TargetOf(facts, *layout, mainClass),
                                 layout->workingFolder, run.home);
    run.generate.output = layout->output;
    run.generate.annotations = request.annotations;
    return run;
}

void RemoveTrialRun(const std::string& folder, FileSystem& fs)
{
    if (!folder.empty())
        (void)RemoveTree(folder, fs);
}

}  // namespace cl::run
