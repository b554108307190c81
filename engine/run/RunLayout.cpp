#include "run/RunLayout.h"

#include <algorithm>
#include <cctype>

namespace cl::run {

namespace cat = catalogue;

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Unescaped(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// "http:", "file:": a scheme is letters (then letters, digits, '+', '-', '.') before a colon.
std::size_t SchemeLength(const std::string& entry)
{
    std::size_t i = 0;
    while (i < entry.size() && (std::isalnum(static_cast<unsigned char>(entry[i])) || entry[i] == '+' ||
                                entry[i] == '-' || entry[i] == '.'))
        ++i;
    const bool scheme = i >= 2 && i < entry.size() && entry[i] == ':' && std::isalpha(static_cast<unsigned char>(entry[0]));
    return scheme ? i : 0;
}

Error FolderError(const std::string& path, std::error_code code)
{
    Error error(ErrorKind::CannotMakeFolder, path, code);
    error.task = ErrorTask::Program;
    return error;
}

}  // namespace

bool StartsByManifest(const cat::ProgramFacts& facts)
{
    return facts.kind == cat::ProgramKind::Jar && !facts.mainClass.empty();
}

std::string ClassPathEntryPath(const std::string& entry, const std::string& jarFolder)
{
    std::string path;
    if (const std::size_t scheme = SchemeLength(entry); scheme > 0) {
        std::string lower = entry.substr(0, scheme);
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower != "file")
            return {};
        path = Unescaped(entry.substr(scheme + 1));
        // file:///opt/x.jar (and file://host/opt/x.jar) name what file:/opt/x.jar names.
        if (path.rfind("//", 0) == 0)
            path.erase(0, std::min(path.find('/', 2), path.size()));
    } else {
        path = Unescaped(entry);
    }
    if (path.empty() || path.front() == '/')
        return path;
    return JoinPath(jarFolder, path);
}

Result<RunLayout> PrepareRunLayout(const cat::ProgramFacts& facts, const std::string& scratch, FileSystem& fs)
{
    RunLayout layout;
    layout.home = JoinPath(scratch, "home");
    const std::string programFolder = JoinPath(scratch, "program");
    for (const std::string& folder : {programFolder, layout.home}) {
        if (std::error_code ec = fs.MakeFolder(folder); ec)
            return FolderError(folder, ec);
    }
    const std::string name = facts.name.empty() ? std::string("program") : facts.name;
    switch (facts.kind) {
        case cat::ProgramKind::Jar: {
            layout.output = JoinPath(programFolder, name);
            layout.workingFolder = FolderOf(facts.path);
            layout.classPath.push_back(layout.output);
            for (const std::string& entry : facts.classPath) {
                std::string path = ClassPathEntryPath(entry, layout.workingFolder);
                if (!path.empty())
                    layout.classPath.push_back(std::move(path));
            }
            return layout;
        }
        case cat::ProgramKind::Folder:
            layout.output = JoinPath(programFolder, name);
            layout.workingFolder = facts.path;
            layout.classPath.push_back(layout.output);
            return layout;
        case cat::ProgramKind::Class: break;
    }
    // The class path finds a class by its package: demo.App must be demo/App.class under it.
    const std::string binary = facts.classNames.empty() ? name : facts.classNames.front();
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= binary.size()) {
        const std::size_t end = std::min(binary.find('.', at), binary.size());
        if (end > at)
            parts.push_back(binary.substr(at, end - at));
        at = end + 1;
    }
    if (parts.empty())
        parts.push_back(name);
    std::string folder = programFolder;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        folder = JoinPath(folder, parts[i]);
        FileInfo info;
        if (std::error_code ec = fs.Stat(folder, info); ec)
            return FolderError(folder, ec);
        if (info.exists && info.isDirectory)
            continue;
        if (std::error_code ec = fs.MakeFolder(folder); ec)
            return FolderError(folder, ec);
    }
    layout.output = JoinPath(folder, parts.back() + ".class");
    layout.workingFolder = FolderOf(facts.path);
    layout.classPath.push_back(programFolder);
    return layout;
}

RunTarget TargetOf(const cat::ProgramFacts& facts, const RunLayout& layout, const std::string& mainClass)
{
    RunTarget target;
    if (StartsByManifest(facts) && layout.classPath.size() == 1) {
        target.jar = layout.output;
        return target;
    }
    target.classPath = layout.classPath;
    target.mainClass = StartsByManifest(facts) ? facts.mainClass : mainClass;
    return target;
}

}  // namespace cl::run
