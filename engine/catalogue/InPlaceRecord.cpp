#include "catalogue/InPlaceRecord.h"

#include "files/FileOps.h"

#include <charconv>

namespace cl::catalogue {

namespace {

constexpr std::string_view kHeader = "classlingo in-place 1";

// Fields are separated by tabs and records by line ends; '%' and every control character are
// written as %XX, so that no name can break the layout.
std::string EscapeField(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '%') {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

bool UnescapeField(std::string_view text, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size())
            return false;
        const auto [end, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (ec != std::errc() || end != text.data() + i + 3)
            return false;
        out += static_cast<char>(value);
        i += 2;
    }
    return true;
}

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

bool ParseRecord(std::string_view text, std::vector<RecordedFile>& files)
{
    std::vector<std::string_view> lines = Split(text, '\n');
    if (lines.empty() || lines.front() != kHeader)
        return false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        const std::vector<std::string_view> fields = Split(lines[i], '\t');
        if (fields.size() != 4)
            return false;
        RecordedFile file;
        const auto size = std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), file.size);
        const auto hash = std::from_chars(fields[1].data(), fields[1].data() + fields[1].size(), file.hash, 16);
        if (size.ec != std::errc() || hash.ec != std::errc() || !UnescapeField(fields[2], file.original) ||
            !UnescapeField(fields[3], file.relative))
            return false;
        files.push_back(std::move(file));
    }
    return true;
}

// Whether the file at `path` is a regular file that holds `size` bytes hashing to `hash`.
bool Holds(const std::string& path, uint64_t size, uint64_t hash, FileSystem& fs)
{
    FileInfo info;
    if (fs.StatLink(path, info) || !info.exists || !info.isRegular || info.isLink || info.size != size)
        return false;
    Result<ByteString> bytes = ReadFileContents(path, fs);
    return bytes && bytes->View().size() == size && ContentHash(bytes->View()) == hash;
}

bool IsRegularFile(const std::string& path, FileSystem& fs)
{
    FileInfo info;
    return !fs.StatLink(path, info) && info.exists && info.isRegular && !info.isLink;
}

// Whether `original` names a backup this tool makes of `relative` of the input called `name`:
// NAME.bak or NAME.bak.N, followed for a folder's file by "/" and the file's own path. A record
// is only believed about backups of its own program: no other path, however it is spelled,
// is ever read as an original.
bool IsBackupOf(const std::string& original, const std::string& name, const std::string& relative)
{
    const std::string plain = name + ".bak";
    if (original.compare(0, plain.size(), plain) != 0)
        return false;
    std::size_t at = plain.size();
    if (at < original.size() && original[at] == '.') {
        const std::size_t digits = original.find_first_not_of("0123456789", at + 1);
        const std::size_t end = digits == std::string::npos ? original.size() : digits;
        if (end == at + 1)
            return false;
        at = end;
    }
    const std::string rest = original.substr(at);
    return relative.empty() ? rest.empty() : rest == "/" + relative;
}

// A path inside the program: '/'-separated names, none of them empty, "." or "..".
bool IsPlainRelative(const std::string& relative)
{
    if (relative.empty())
        return true;
    for (const std::string_view part : Split(relative, '/')) {
        if (part.empty() || part == "." || part == "..")
            return false;
    }
    return true;
}

}  // namespace

std::string InPlaceOrigin::PathOf(const std::string& input, const std::string& relative) const
{
    if (const auto found = originals.find(relative); found != originals.end())
        return found->second;
    return relative.empty() ? input : JoinPath(input, relative);
}

std::string InPlaceOrigin::RecordedOriginal(const std::string& relative) const
{
    for (const RecordedFile& file : recorded) {
        if (file.relative == relative)
            return file.original;
    }
    return {};
}

bool InPlaceOrigin::StillHolds(const std::string& relative, std::string_view bytes) const
{
    for (const RecordedFile& file : recorded) {
        if (file.relative == relative)
            return file.size == bytes.size() && file.hash == ContentHash(bytes);
    }
    return false;
}

std::string TranslatedFrom(const InPlaceOrigin& origin)
{
    if (origin.originals.empty())
        return {};
    const auto& [relative, original] = *origin.originals.begin();
    if (relative.empty() || original.size() <= relative.size() + 1)
        return original;
    return original.substr(0, original.size() - relative.size() - 1);
}

uint64_t ContentHash(std::string_view bytes)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string InPlaceRecordPath(const std::string& input)
{
    const std::string path = WithoutTrailingSeparators(input);
    return JoinPath(FolderOf(path), "." + NameOf(path) + ".classlingo");
}

InPlaceOrigin FindInPlaceOrigin(const std::string& input, bool folder, FileSystem& fs)
{
    InPlaceOrigin origin;
    const std::string path = WithoutTrailingSeparators(input);
    const std::string record = InPlaceRecordPath(path);
    if (!IsRegularFile(record, fs))
        return origin;
    Result<ByteString> text = ReadFileContents(record, fs);
    std::vector<RecordedFile> files;
    if (!text || !ParseRecord(text->View(), files))
        return origin;
    const std::string home = FolderOf(path);
    for (const RecordedFile& file : files) {
        // A record of a folder names files in it, one of a jar names the jar alone.
        if (folder == file.relative.empty())
            continue;
        const std::string current = file.relative.empty() ? path : JoinPath(path, file.relative);
        if (!Holds(current, file.size, file.hash, fs))
            continue;
        // Nor is a name that leads out of the program.
        if (!IsPlainRelative(file.relative))
            continue;
        if (file.original.empty()) {
            origin.added.insert(file.relative);
        } else {
            if (!IsBackupOf(file.original, NameOf(path), file.relative))
                continue;
            const std::string original = JoinPath(home, file.original);
            if (!IsRegularFile(original, fs))
                continue;
            origin.originals[file.relative] = original;
        }
        origin.recorded.push_back(file);
    }
    return origin;
}

Status WriteInPlaceRecord(const std::string& input, const std::vector<RecordedFile>& files, FileSystem& fs)
{
    const std::string record = InPlaceRecordPath(input);
    if (files.empty()) {
        FileInfo info;
        if (!fs.StatLink(record, info) && info.exists && !info.isDirectory) {
            if (auto ec = fs.Remove(record))
                return Error(ErrorKind::CannotWrite, record, ec);
        }
        return {};
    }
    std::string text(kHeader);
    text += '\n';
    char hex[17];
    for (const RecordedFile& file : files) {
        const auto end = std::to_chars(hex, hex + sizeof hex, file.hash, 16).ptr;
        text += std::to_string(file.size) + '\t' + std::string(hex, end) + '\t' + EscapeField(file.original) + '\t' +
                EscapeField(file.relative) + '\n';
    }
    // Never through a link: the record is the tool's own file beside the program.
    FileInfo info;
    if (!fs.StatLink(record, info) && info.isLink) {
        if (auto ec = fs.Remove(record))
            return Error(ErrorKind::CannotWrite, record, ec);
    }
    return WriteFileSafely(record, std::string_view(text), fs);
}

}  // namespace cl::catalogue
