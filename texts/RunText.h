#pragma once
// What the translation window says about a run of the translated program ("试运行"): in its run
// pane, and the question of which class starts a program with several.

#include "run/RunCommand.h"

#include <string>

namespace cltext {

// No java to start the program with; `javaHome` is JAVA_HOME as given (may be empty).
std::string NoJavaText(const std::string& javaHome);
// Neither a Main-Class in a jar's manifest nor any class with a main method.
std::string NoMainClassText(const std::string& program);
// The question when several classes have a main method.
const char* ChooseMainClassText();
const char* ChooseMainClassCaption();
// The progress dialog's label while the program is generated for the run.
const char* RunPreparingText();
// The first lines of a run: what was started, from where.
std::string RunStartedText(const cl::run::RunCommand& command);
// The line after RunStartedText: the home the program was given, the run's scratch home
// (`home`) or, when `home` is empty, the user's own.
std::string RunHomeText(const std::string& home);
// java could not be started at all (`reason`: the system's words).
std::string RunNotStartedText(const std::string& java, const std::string& reason);
// The end of a run: normal, with an error soon after it started, with an error later, stopped by
// the translator, or ended by a signal.
const char* RunEndedText();
std::string RunFailedAtOnceText(int exitCode);
std::string RunFailedText(int exitCode);
const char* RunStoppedText();
const char* RunCrashedText();

}  // namespace cltext
