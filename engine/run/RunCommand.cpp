#include "run/RunCommand.h"

#include "files/FileSystem.h"

#include <algorithm>

namespace cl::run {

namespace {

#ifdef _WIN32
constexpr char kClassPathSeparator = ';';
#else
constexpr char kClassPathSeparator = ':';
#endif

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool AllOf(std::string_view text, bool (*test)(char))
{
    return !text.empty() && std::all_of(text.begin(), text.end(), test);
}

bool IsAlphanumeric(char c)
{
    return IsLetter(c) || IsDigit(c);
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::vector<std::string_view> Subtags(std::string_view tag)
{
    std::vector<std::string_view> subtags;
    std::size_t at = 0;
    while (at <= tag.size()) {
        const std::size_t end = std::min(tag.find_first_of("_-", at), tag.size());
        subtags.push_back(tag.substr(at, end - at));
        at = end + 1;
    }
    return subtags;
}

bool NeedsQuotes(std::string_view text)
{
    if (text.empty())
        return true;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || IsAlphanumeric(c))
            continue;
        if (std::string_view("_./=:@%+,-").find(c) == std::string_view::npos)
            return true;
    }
    return false;
}

std::string ShellWord(std::string_view text)
{
    if (!NeedsQuotes(text))
        return std::string(text);
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

}  // namespace

std::vector<std::string> LanguageOptions(std::string_view language)
{
    // "zh_CN.UTF-8@latin": the locale name's charset and modifier say nothing Java takes.
    language = language.substr(0, std::min(language.find_first_of(".@"), language.size()));
    const std::vector<std::string_view> subtags = Subtags(language);
    const std::string_view code = subtags.front();
    if (code.size() < 2 || code.size() > 3 || !AllOf(code, IsLetter))
        return {};
    std::vector<std::string> options{"-Duser.language=" + Lower(code)};
    std::size_t next = 1;
    if (next < subtags.size() && subtags[next].size() == 4 && AllOf(subtags[next], IsLetter)) {
        const std::string script = Lower(subtags[next]);
        options.push_back("-Duser.script=" + Upper(script.substr(0, 1)) + script.substr(1));
        ++next;
    }
    if (next < subtags.size() && ((subtags[next].size() == 2 && AllOf(subtags[next], IsLetter)) ||
                                (subtags[next].size() == 3 && AllOf(subtags[next], IsDigit)))) {
        options.push_back("-Duser.country=" + Upper(subtags[next]));
        ++next;
    }
    std::string variant;
    for (; next < subtags.size(); ++next) {
        if (!AllOf(subtags[next], IsAlphanumeric))
            continue;
        variant += (variant.empty() ? "" : "_") + std::string(subtags[next]);
    }
    if (!variant.empty())
        options.push_back("-Duser.variant=" + variant);
    return options;
}

std::vector<std::string> EncodingOptions()
{
    // stdout.encoding and stderr.encoding are read from Java 19 on; the Java before reads the
    // sun. names instead. Each JVM ignores the pair it has no use for.
    return {"-Dfile.encoding=UTF-8",        "-Dstdout.encoding=UTF-8",     "-Dstderr.encoding=UTF-8",
            "-Dsun.stdout.encoding=UTF-8", "-Dsun.stderr.encoding=UTF-8"};
}

std::vector<EnvironmentVariable> HomeEnvironment(const std::string& home)
{
    // Where each would be by default under that home, so that a program finds its files where it
    // would look for them with no variable set.
    return {{"HOME", home},
            {"XDG_CONFIG_HOME", JoinPath(home, ".config")},
            {"XDG_DATA_HOME", JoinPath(home, ".local/share")},
            {"XDG_CACHE_HOME", JoinPath(home, ".cache")},
            {"XDG_STATE_HOME", JoinPath(home, ".local/state")}};
}

RunCommand MakeRunCommand(const std::string& java, const std::string& language, const RunTarget& target,
                          const std::string& workingFolder, const std::string& home)
{
    RunCommand command;
    command.program = java;
    command.workingFolder = workingFolder;
    command.arguments = LanguageOptions(language);
    for (std::string& option : EncodingOptions())
        command.arguments.push_back(std::move(option));
    if (!home.empty()) {
        command.arguments.push_back("-Duser.home=" + home);
        command.environment = HomeEnvironment(home);
    }
    if (!target.jar.empty()) {
        command.arguments.push_back("-jar");
        command.arguments.push_back(target.jar);
        return command;
    }
    std::string classPath;
    for (const std::string& entry : target.classPath)
        classPath += (classPath.empty() ? "" : std::string(1, kClassPathSeparator)) + entry;
    command.arguments.push_back("-cp");
    command.arguments.push_back(classPath);
    command.arguments.push_back(target.mainClass);
    return command;
}

std::string CommandLineText(const RunCommand& command)
{
    std::string text = ShellWord(command.program);
    for (const std::string& argument : command.arguments)
        text += ' ' + ShellWord(argument);
    return text;
}

}  // namespace cl::run
