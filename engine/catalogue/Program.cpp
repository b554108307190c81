// Reading a whole program into memory: a jar through its archive, a folder item by item (links
// noted, never followed), one class as it is.

#include "catalogue/Program.h"

#include "files/FileOps.h"
#include "text/ByteString.h"

#include <algorithm>

namespace cl::catalogue {

namespace {

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool IsClassName(const std::string& entry)
{
    return EndsWith(entry, ".class") && entry.size() > 6;
}

bool IsNestedArchiveName(const std::string& entry)
{
    const std::string upper = Upper(entry);
    return EndsWith(upper, ".JAR") || EndsWith(upper, ".WAR") || EndsWith(upper, ".EAR") || EndsWith(upper, ".ZIP");
}

bool LooksLikeClass(const std::string& bytes)
{
    return bytes.size() >= 4 && static_cast<unsigned char>(bytes[0]) == 0xCA &&
           static_cast<unsigned char>(bytes[1]) == 0xFE && static_cast<unsigned char>(bytes[2]) == 0xBA &&
           static_cast<unsigned char>(bytes[3]) == 0xBE;
}

Result<std::string> ReadFile(const std::string& path, FileSystem& fs)
{
    Result<ByteString> data = ReadFileContents(path, fs);
    if (!data) {
        Error error = std::move(data).error();
        error.task = ErrorTask::Program;
        return error;
    }
    return std::string(data->View());
}

Status LoadJar(Program& program, std::string bytes, std::unique_ptr<JarArchive>& jar)
{
    JarError why;
    jar = JarArchive::Open(std::move(bytes), why);
    if (!jar) {
        Error error(ErrorKind::BadArchive, program.path);
        error.task = ErrorTask::Program;
        error.detail = why.reason;
        return error;
    }
    std::vector<uint64_t> classEntries;
    for (const JarEntry& entry : jar->Entries()) {
        if (entry.directory)
            continue;
        if (IsSignatureFile(entry.name))
            program.signatureFiles.push_back(entry.name);
        if (IsNestedArchiveName(entry.name)) {
            program.nestedJars.push_back(entry.name);
            continue;
        }
        if (IsClassName(entry.name))
            classEntries.push_back(entry.index);
    }
    // All classes are inflated in one go, on every core; they are kept in archive order.
    std::vector<std::string> contents;
    std::vector<std::optional<JarError>> errors;
    jar->ReadMany(classEntries, contents, errors);
    program.classes.reserve(classEntries.size());
    for (std::size_t i = 0; i < classEntries.size(); ++i) {
        const JarEntry& entry = jar->Entries()[classEntries[i]];
        if (errors[i]) {
            Error error(ErrorKind::EntryUnreadable, program.path);
            error.entry = entry.name;
            error.detail = errors[i]->reason;
            program.unreadable.push_back({entry.name, std::move(error)});
            continue;
        }
        ProgramClass cls;
        cls.entry = entry.name;
        cls.jarIndex = entry.index;
        cls.bytes = std::move(contents[i]);
        program.classes.push_back(std::move(cls));
    }
    return {};
}

// Only regular files are the program's own: a class reached through a link belongs to
// whatever the link points to, which a translation must not write into.
Status LoadFolder(Program& program, std::vector<TreeItem>& items, FileSystem& fs)
{
    Result<std::vector<TreeItem>> listed = ListTree(program.path, fs);
    if (!listed) {
        Error error = std::move(listed).error();
        error.task = ErrorTask::Program;
        return error;
    }
    items = std::move(*listed);
    for (const TreeItem& item : items) {
        if (item.type == EntryType::Other) {
            // A pipe or a device: nothing a program is made of, and nothing to copy.
            Error error(ErrorKind::EntryUnreadable, JoinPath(program.path, item.relative));
            error.entry = item.relative;
            error.code = std::make_error_code(std::errc::not_supported);
            program.unreadable.push_back({item.relative, std::move(error)});
            continue;
        }
        if (item.type != EntryType::File || !IsClassName(item.relative))
            continue;
        Result<std::string> bytes = ReadFile(JoinPath(program.path, item.relative), fs);
        if (!bytes) {
            Error error = std::move(bytes).error();
            error.entry = item.relative;
            program.unreadable.push_back({item.relative, std::move(error)});
            continue;
        }
        ProgramClass cls;
        cls.entry = item.relative;
        cls.bytes = std::move(*bytes);
        program.classes.push_back(std::move(cls));
    }
    return {};
}

}  // namespace

Program::Program() = default;
Program::Program(Program&&) noexcept = default;
Program& Program::operator=(Program&&) noexcept = default;
Program::~Program() = default;

bool IsSignatureFile(const std::string& entry)
{
    const std::string upper = Upper(entry);
    if (upper.rfind("META-INF/", 0) != 0 || upper.find('/', 9) != std::string::npos)
        return false;
    const std::string name = upper.substr(9);
    return EndsWith(name, ".SF") || EndsWith(name, ".RSA") || EndsWith(name, ".DSA") || EndsWith(name, ".EC") ||
           name.rfind("SIG-", 0) == 0;
}

Result<Program> LoadProgram(const std::string& path, FileSystem& fs)
{
    Program program;
    program.path = WithoutTrailingSeparators(path);
    program.name = NameOf(program.path);

    FileInfo info;
    if (auto ec = fs.Stat(program.path, info)) {
        Error error(ErrorKind::CannotOpen, program.path, ec);
        error.task = ErrorTask::Program;
        return error;
    }
    if (info.exists && info.isDirectory) {
        program.kind = ProgramKind::Folder;
        if (Status loaded = LoadFolder(program, program.folderItems_, fs); !loaded)
            return std::move(loaded).error();
        return program;
    }
    Result<std::string> bytes = ReadFile(program.path, fs);
    if (!bytes)
        return std::move(bytes).error();
    if (LooksLikeClass(*bytes)) {
        program.kind = ProgramKind::Class;
        program.classes.push_back({program.name, std::move(*bytes), 0});
        return program;
    }
    if (LooksLikeZip(*bytes)) {
        program.kind = ProgramKind::Jar;
        if (Status loaded = LoadJar(program, std::move(*bytes), program.jar_); !loaded)
            return std::move(loaded).error();
        return program;
    }
    Error error(ErrorKind::NotAProgram, program.path);
    error.task = ErrorTask::Program;
    return error;
}

}  // namespace cl::catalogue
