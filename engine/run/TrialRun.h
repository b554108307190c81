#pragma once
// 试运行 as one use case of the engine: the translated program generated into a scratch folder of
// its own and the command that starts it there with java. A front end answers what only the
// translator can (which main class, whether the real home), hands the generate to its worker and
// the command to a process, and shows what comes out; the steps and what each one needs are here.
//
// The order is the translator's: java is looked for first (FindJava), so that a machine without
// one says so before anything is asked; then the class is chosen when the manifest names none;
// then SetUpTrialRun makes the scratch folder and composes the rest.

#include "catalogue/ProgramSession.h"
#include "errors/Result.h"
#include "files/FileSystem.h"
#include "run/RunCommand.h"

#include <string>

namespace cl::run {

struct TrialRunRequest {
    std::string java;          // the java FindJava found
    std::string tempFolder;    // where the scratch folder is made
    std::string mainClass;     // the class to start; ignored when the manifest starts the program
    bool realHome = false;     // the user's own home rather than a scratch one
    bool annotations = false;  // annotation values' translations too
};

struct TrialRun {
    std::string folder;                     // the scratch folder, made; RemoveTrialRun removes it
    catalogue::GenerateRequest generate;    // the translated copy, into the scratch folder
    RunCommand command;                     // what starts it, in the session's language
    std::string home;                       // the scratch home it is given; empty: the real one
};

// The scratch folder with its layout made, and what to generate and start. On failure nothing
// is left behind.
Result<TrialRun> SetUpTrialRun(const catalogue::ProgramSession& session, const TrialRunRequest& request,
                               FileSystem& fs = NativeFileSystem());

// Removes a run's scratch folder with all it holds. Left behind only when the system refuses; the
// temporary folder is the system's to clear.
void RemoveTrialRun(const std::string& folder, FileSystem& fs = NativeFileSystem());

}  // namespace cl::run
