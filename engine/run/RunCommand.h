#pragma once
// The command line that starts a translated program: a value (the program, its arguments, the
// folder it starts in), so that the front end only has to hand it to a process and tests can
// look at it whole.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cl::run {

// A variable of the program's environment, set on top of the environment classlingo has.
using EnvironmentVariable = std::pair<std::string, std::string>;

struct RunCommand {
    std::string program;  // the java found
    std::vector<std::string> arguments;
    std::string workingFolder;
    std::vector<EnvironmentVariable> environment;
};

// What java starts: a jar by its own Main-Class, or a class found on a class path.
struct RunTarget {
    std::string jar;                     // set: `-jar jar`
    std::vector<std::string> classPath;  // otherwise: `-cp` these, joined
    std::string mainClass;               // and this class (binary name, with dots)
};

// The system properties that make Java speak a catalogue's language: "zh_CN" gives
// -Duser.language=zh and -Duser.country=CN; a script ("zh_Hant_TW") -Duser.script, whatever
// follows the country -Duser.variant. '-' separates as '_' does; a charset (".UTF-8") and a
// modifier ("@latin") are left out. Nothing for an empty language or one that is no language
// code, so that Java keeps its own.
std::vector<std::string> LanguageOptions(std::string_view language);

// The options that make the program read and write UTF-8 whatever the machine's locale, so that
// its output can be shown as it is meant.
std::vector<std::string> EncodingOptions();

// The environment that gives a program `home` as its home: HOME, for the processes it starts and
// the libraries that read it, and XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME and
// XDG_STATE_HOME inside it, since a desktop session may set those to folders of the real home,
// where a program following them would write whatever HOME says.
std::vector<EnvironmentVariable> HomeEnvironment(const std::string& home);

// With a `home`, the program gets it as its home: -Duser.home (Java takes user.home from the
// password database, not from HOME, so HOME alone would not move Java's own settings, such as
// java.util.prefs) and HomeEnvironment. Without, it keeps the user's.
RunCommand MakeRunCommand(const std::string& java, const std::string& language, const RunTarget& target,
                          const std::string& workingFolder, const std::string& home = {});

// The command as a shell would take it (arguments quoted where needed), to show the translator
// what was started.
std::string CommandLineText(const RunCommand& command);

}  // namespace cl::run
