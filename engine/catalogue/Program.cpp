// Reading a whole program into memory: a jar through its archive, a folder item by item (links
// noted, never followed; its jars each through their archive), one class as it is.

#include "catalogue/Program.h"

#include "files/FileOps.h"
#include "text/ByteString.h"
#include "zip/ZipFault.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

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

// At most this much of an archive (by stated sizes) is inflated at once: enough to keep every
// core busy on real classes, little beside the program's budget.
constexpr uint64_t kSliceBytes = uint64_t{64} << 20;

void NameUnreadable(Program& program, std::string name, Error error)
{
    error.entry = name;
    error.task = ErrorTask::Program;
    program.unreadable.push_back({std::move(name), std::move(error)});
}

// Reads the classes and .properties files of one archive (index `a` of the program's); names
// are prefixed with the archive's path inside a folder.
void LoadArchiveFiles(Program& program, std::size_t a, const LoadOptions& options)
{
    ProgramArchive& archive = program.archives[a];
    const zip::JarArchive& jar = *archive.jar;
    // An archive may hold one name twice. java.util.zip.ZipFile, and with it the JVM's class
    // loader and getResource, reads the last of them in the central directory: that one is the
    // program's; the others are copied unchanged and named, since nothing the program runs
    // reads them.
    std::unordered_map<std::string_view, uint64_t> last;
    for (const zip::JarEntry& entry : jar.Entries())
        last[entry.name] = entry.index;
    std::vector<uint64_t> wanted;
    for (const zip::JarEntry& entry : jar.Entries()) {
        if (entry.directory)
            continue;
        if (last.at(entry.name) != entry.index && (IsClassName(entry.name) || IsPropertiesName(entry.name))) {
            const std::string name = EntryInArchive(archive.path, entry.name);
            Error error(ErrorKind::DuplicateEntry, program.path);
            error.entry = name;
            error.task = ErrorTask::Program;
            program.unreadable.push_back({name, std::move(error)});
            continue;
        }
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
    // The budget is settled before anything is inflated, from the records alone, so that the
    // same entries are passed over whether the program is read for its texts or translated.
    for (Error& error : jar.KeepWithinBudget(wanted)) {
        std::string name = EntryInArchive(archive.path, error.entry);
        NameUnreadable(program, std::move(name), std::move(error));
    }
    // Inflated a slice at a time, on every core, and kept in archive order. What cannot be read
    // (or would inflate past the read's limit) is copied unchanged.
    std::vector<uint64_t> slice;
    for (std::size_t next = 0; next < wanted.size();) {
        slice.clear();
        uint64_t bytes = 0;
        while (next < wanted.size()) {
            // An entry past the read's limit is refused without being inflated: it holds nothing.
            const uint64_t takes = std::min(jar.Entries()[wanted[next]].size, zip::JarArchive::kEntryLimit);
            if (!slice.empty() && bytes + takes > kSliceBytes)
                break;
            bytes += takes;
            slice.push_back(wanted[next++]);
        }
        std::vector<Result<std::string>> contents = jar.ReadMany(slice);
        for (std::size_t i = 0; i < slice.size(); ++i) {
            const zip::JarEntry& entry = jar.Entries()[slice[i]];
            std::string name = EntryInArchive(archive.path, entry.name);
            if (!contents[i]) {
                NameUnreadable(program, std::move(name), std::move(contents[i]).error());
                continue;
            }
            const bool isClass = IsClassName(entry.name);
            ProgramFile file{std::move(name), std::move(*contents[i]), a, entry.index};
            if (isClass && !options.classBytes) {
                std::string().swap(file.bytes);
                file.unread = true;
            }
            (isClass ? program.classes : program.properties).push_back(std::move(file));
        }
    }
}

// Opens the jar in `bytes` as archive `relative` of the program.
Status OpenArchive(Program& program, const std::string& relative, std::string bytes, const LoadOptions& options)
{
    // Without an end record the bytes hold no zip, unless they start as a zip does: that is an
    // archive cut short, and is named as one.
    const bool zipStart = bytes.size() >= 4 && bytes.compare(0, 4, "PK\3\4", 4) == 0;
    Result<std::unique_ptr<zip::JarArchive>> opened = zip::JarArchive::Open(std::move(bytes));
    const std::string path = relative.empty() ? program.path : JoinPath(program.path, relative);
    if (!opened) {
        const bool noZip = !zipStart && opened.error().fault == static_cast<uint16_t>(zip::ZipFault::NoEndRecord);
        Error error = std::move(opened).error();
        error.kind = noZip ? ErrorKind::NotAProgram : ErrorKind::BadArchive;
        error.path = path;
        error.task = ErrorTask::Program;
        return error;
    }
    program.archives.push_back({relative, std::move(*opened)});
    LoadArchiveFiles(program, program.archives.size() - 1, options);
    return {};
}

// Only regular files are the program's own: a class reached through a link belongs to
// whatever the link points to, which a translation must not write into.
Status LoadFolder(Program& program, std::vector<TreeItem>& items, FileSystem& fs, const LoadOptions& options)
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
            if (Status opened = OpenArchive(program, item.relative, std::move(*bytes), options); !opened) {
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

Result<Program> LoadProgram(const std::string& path, FileSystem& fs, const LoadOptions& options)
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
    if (options.readAs == ReadAs::Originals)
        program.origin = FindInPlaceOrigin(program.path, info.exists && info.isDirectory, fs);
    if (info.exists && info.isDirectory) {
        program.kind = ProgramKind::Folder;
        if (Status loaded = LoadFolder(program, program.folderItems_, fs, options); !loaded)
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
    if (Status opened = OpenArchive(program, "", std::move(*bytes), options); !opened)
        return std::move(opened).error();
    return program;
}

Status ReadClassBytes(Program& program, std::size_t first, std::size_t last)
{
    last = std::min(last, program.classes.size());
    // Per archive, the unread classes of the range, read in one go and put in place only when
    // every one of them read.
    std::vector<std::vector<std::size_t>> byArchive(program.archives.size());
    for (std::size_t c = first; c < last; ++c) {
        const ProgramFile& cls = program.classes[c];
        if (cls.unread && cls.archive < program.archives.size())
            byArchive[cls.archive].push_back(c);
    }
    std::vector<std::pair<std::size_t, std::string>> read;
    for (std::size_t a = 0; a < byArchive.size(); ++a) {
        if (byArchive[a].empty())
            continue;
        std::vector<uint64_t> indices;
        for (const std::size_t c : byArchive[a])
            indices.push_back(program.classes[c].jarIndex);
        std::vector<Result<std::string>> contents = program.archives[a].jar->ReadMany(indices);
        for (std::size_t i = 0; i < indices.size(); ++i) {
            if (!contents[i]) {
                Error error = std::move(contents[i]).error();
                error.entry = program.classes[byArchive[a][i]].entry;
                error.task = ErrorTask::Program;
                return error;
            }
            read.emplace_back(byArchive[a][i], std::move(*contents[i]));
        }
    }
    for (auto& [c, bytes] : read) {
        program.classes[c].bytes = std::move(bytes);
        program.classes[c].unread = false;
    }
    return {};
}

}  // namespace cl::catalogue
