// Reading a whole program into memory: a jar through its archive, a folder item by item (links
// noted, never followed; its jars each through their archive), one class as it is.

#include "catalogue/Program.h"

#include "files/FileOps.h"
#include "text/ByteString.h"
#include "zip/ZipFault.h"

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

bool IsPropertiesName(const std::string& entry)
{
    return EndsWith(entry, ".properties") && entry.size() > 11 && entry.back() != '/';
}

bool IsNestedArchiveName(const std::string& entry)
{
    const std::string upper = Upper(entry);
    return EndsWith(upper, ".JAR") || EndsWith(upper, ".WAR") || EndsWith(upper, ".EAR") || EndsWith(upper, ".ZIP");
}

bool IsJarName(const std::string& entry)
{
    return EndsWith(Upper(entry), ".JAR");
}

// A name with a line break or another control character cannot stand in a catalogue's
// references or a summary line without being taken for more than a name.
bool HasControlCharacter(const std::string& name)
{
    return std::any_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

Error UnsafeNameError(const std::string& path, const std::string& entry)
{
    Error error(ErrorKind::UnsafeName, path);
    error.entry = entry;
    error.task = ErrorTask::Program;
    return error;
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

// Reads the classes and .properties files of one archive (index `a` of the program's); names
// are prefixed with the archive's path inside a folder.
void LoadArchiveFiles(Program& program, std::size_t a)
{
    ProgramArchive& archive = program.archives[a];
    const JarArchive& jar = *archive.jar;
    std::vector<uint64_t> wanted;
    for (const JarEntry& entry : jar.Entries()) {
        if (entry.directory)
            continue;
        if (IsSignatureFile(entry.name))
            archive.signatureFiles.push_back(entry.name);
        if (IsNestedArchiveName(entry.name)) {
            program.nestedJars.push_back(EntryInArchive(archive.path, entry.name));
            continue;
        }
        if (!IsClassName(entry.name) && !IsPropertiesName(entry.name))
            continue;
        if (HasControlCharacter(entry.name)) {
            const std::string name = EntryInArchive(archive.path, entry.name);
            program.unreadable.push_back({name, UnsafeNameError(program.path, name)});
            continue;
        }
        wanted.push_back(entry.index);
    }
    // Everything is inflated in one go, on every core, and kept in archive order. What cannot be
    // read (or would inflate past the read's limit) is copied unchanged.
    std::vector<Result<std::string>> contents = jar.ReadMany(wanted);
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const JarEntry& entry = jar.Entries()[wanted[i]];
        const std::string name = EntryInArchive(archive.path, entry.name);
        if (!contents[i]) {
            Error error = std::move(contents[i]).error();
            error.entry = name;
            error.task = ErrorTask::Program;
            program.unreadable.push_back({name, std::move(error)});
            continue;
        }
        ProgramFile file{name, std::move(*contents[i]), a, entry.index};
        (IsClassName(entry.name) ? program.classes : program.properties).push_back(std::move(file));
    }
}

// Opens the jar in `bytes` as archive `relative` of the program.
Status OpenArchive(Program& program, const std::string& relative, std::string bytes)
{
    // Without an end record the bytes hold no zip, unless they start as a zip does: that is an
    // archive cut short, and is named as one.
    const bool zipStart = bytes.size() >= 4 && bytes.compare(0, 4, "PK\3\4", 4) == 0;
    Result<std::unique_ptr<JarArchive>> opened = JarArchive::Open(std::move(bytes));
    const std::string path = relative.empty() ? program.path : JoinPath(program.path, relative);
    if (!opened) {
        const bool noZip = !zipStart && opened.error().fault == static_cast<uint16_t>(zip::ZipFault::NoEndRecord);
        Error error = std::move(opened).error();
        error.kind = noZip ? ErrorKind::NotAProgram : ErrorKind::BadArchive;
        error.path = path;
        error.task = ErrorTask::Program;
        return error;
    }
    program.archives.push_back({relative, std::move(*opened), {}});
    LoadArchiveFiles(program, program.archives.size() - 1);
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
        const bool isClass = IsClassName(item.relative);
        const bool isProperties = IsPropertiesName(item.relative);
        const bool isJar = IsJarName(item.relative);
        if (item.type != EntryType::File || (!isClass && !isProperties && !isJar))
            continue;
        if (program.origin.added.count(item.relative) != 0)
            continue;  // an earlier run's file, not the program's
        if (HasControlCharacter(item.relative)) {
            program.unreadable.push_back({item.relative, UnsafeNameError(program.path, item.relative)});
            continue;
        }
        Result<std::string> bytes = ReadFile(program.origin.PathOf(program.path, item.relative), fs);
        if (!bytes) {
            Error error = std::move(bytes).error();
            error.entry = item.relative;
            program.unreadable.push_back({item.relative, std::move(error)});
            continue;
        }
        if (isJar) {
            // A jar that is no archive is copied as it is, as any other file of the folder.
            if (Status opened = OpenArchive(program, item.relative, std::move(*bytes)); !opened) {
                Error error = std::move(opened).error();
                error.entry = item.relative;
                program.unreadable.push_back({item.relative, std::move(error)});
            }
            continue;
        }
        ProgramFile file{item.relative, std::move(*bytes), kNoArchive, 0};
        (isClass ? program.classes : program.properties).push_back(std::move(file));
    }
    return {};
}

}  // namespace

Program::Program() = default;
Program::Program(Program&&) noexcept = default;
Program& Program::operator=(Program&&) noexcept = default;
Program::~Program() = default;

std::vector<std::string> Program::SignatureFiles() const
{
    std::vector<std::string> names;
    for (const ProgramArchive& archive : archives) {
        for (const std::string& name : archive.signatureFiles)
            names.push_back(EntryInArchive(archive.path, name));
    }
    return names;
}

bool IsSignatureFile(const std::string& entry)
{
    const std::string upper = Upper(entry);
    if (upper.rfind("META-INF/", 0) != 0 || upper.find('/', 9) != std::string::npos)
        return false;
    const std::string name = upper.substr(9);
    return EndsWith(name, ".SF") || EndsWith(name, ".RSA") || EndsWith(name, ".DSA") || EndsWith(name, ".EC") ||
           name.rfind("SIG-", 0) == 0;
}

std::string EntryInArchive(const std::string& archivePath, const std::string& entry)
{
    return archivePath.empty() ? entry : archivePath + "!/" + entry;
}

Result<Program> LoadProgram(const std::string& path, FileSystem& fs, ReadAs as)
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
    if (as == ReadAs::Originals)
        program.origin = FindInPlaceOrigin(program.path, info.exists && info.isDirectory, fs);
    if (info.exists && info.isDirectory) {
        program.kind = ProgramKind::Folder;
        if (Status loaded = LoadFolder(program, program.folderItems_, fs); !loaded)
            return std::move(loaded).error();
        return program;
    }
    Result<std::string> bytes = ReadFile(program.origin.PathOf(program.path, {}), fs);
    if (!bytes)
        return std::move(bytes).error();
    // A class by its magic; otherwise a zip wherever its end record says it is (a launcher
    // script may come first); otherwise no program.
    if (LooksLikeClass(*bytes)) {
        program.kind = ProgramKind::Class;
        program.classes.push_back({program.name, std::move(*bytes), kNoArchive, 0});
        return program;
    }
    program.kind = ProgramKind::Jar;
    if (Status opened = OpenArchive(program, "", std::move(*bytes)); !opened)
        return std::move(opened).error();
    return program;
}

}  // namespace cl::catalogue
