#pragma once
// The command line that starts a translated program: a value (the program, its arguments, the
// folder it starts in), so that the front end only has to hand it to a process and tests can
// look at it whole.

#include <string>
#include <string_view>
#include <vector>

namespace cl::run {

struct RunCommand {
    std::string program;  // the java found
    std::vector<std::string> arguments;
    std::string workingFolder;
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

RunCommand MakeRunCommand(const std::string& java, const std::string& language, const RunTarget& target,
                          const std::string& workingFolder);

// The command as a shell would take it (arguments quoted where needed), to show the translator
// what was started.
std::string CommandLineText(const RunCommand& command);

}  // namespace cl::run
