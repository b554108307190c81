#include "catalogue/StartFacts.h"

#include "catalogue/Program.h"
#include "catalogue/ProgramSession.h"

#include <algorithm>
#include <cctype>

namespace cl::catalogue {

namespace {

constexpr uint16_t kPublic = 0x0001;
constexpr uint16_t kStatic = 0x0008;

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The main section's headers with their continuation lines joined, in order.
std::vector<std::string> MainHeaders(std::string_view manifest)
{
    std::vector<std::string> headers;
    std::size_t at = 0;
    while (at < manifest.size()) {
        const std::size_t end = std::min(manifest.find_first_of("\r\n", at), manifest.size());
        const std::string_view line = manifest.substr(at, end - at);
        at = end + 1;
        if (end + 1 < manifest.size() && manifest[end] == '\r' && manifest[end + 1] == '\n')
            ++at;
        if (line.empty())
            break;  // the end of the main section
        if (line.front() == ' ') {
            if (!headers.empty())
                headers.back().append(line.substr(1));
            continue;
        }
        headers.emplace_back(line);
    }
    return headers;
}

}  // namespace

std::optional<std::string> MainAttribute(std::string_view manifest, std::string_view name)
{
    for (const std::string& header : MainHeaders(manifest)) {
        const std::size_t colon = header.find(':');
        if (colon == std::string::npos)
            continue;
        if (SameName(std::string_view(header).substr(0, colon), name))
            return std::string(Trimmed(std::string_view(header).substr(colon + 1)));
    }
    return std::nullopt;
}

std::string ManifestMainClass(std::string_view manifest)
{
    std::string name = MainAttribute(manifest, "Main-Class").value_or(std::string());
    std::replace(name.begin(), name.end(), '/', '.');
    return name;
}

std::vector<std::string> ManifestClassPath(std::string_view manifest)
{
    std::vector<std::string> entries;
    const std::string value = MainAttribute(manifest, "Class-Path").value_or(std::string());
    std::size_t at = 0;
    while (at < value.size()) {
        const std::size_t end = std::min(value.find(' ', at), value.size());
        if (end > at)
            entries.push_back(value.substr(at, end - at));
        at = end + 1;
    }
    return entries;
}

bool HasMainMethod(const classfile::ClassFile& cf)
{
    if (!cf.parsed)
        return false;
    for (const classfile::Member& method : cf.methods) {
        if ((method.accessFlags & (kPublic | kStatic)) != (kPublic | kStatic))
            continue;
        if (cf.Utf8Bytes(method.nameIndex) == "main" &&
            cf.Utf8Bytes(method.descriptorIndex) == "([Ljava/lang/String;)V")
            return true;
    }
    return false;
}

void ReadManifestStart(const Program& program, ProgramFacts& facts)
{
    const zip::JarArchive* jar = program.Jar();
    if (jar == nullptr)
        return;
    const zip::JarEntry* manifest = nullptr;
    for (const zip::JarEntry& entry : jar->Entries()) {
        if (entry.directory || entry.name.size() != kManifestEntry.size())
            continue;
        if (std::equal(entry.name.begin(), entry.name.end(), kManifestEntry.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
            })) {
            manifest = &entry;
            if (entry.name == kManifestEntry)
                break;
        }
    }
    if (manifest == nullptr)
        return;
    const Result<std::string> text = jar->Read(manifest->index);
    if (!text)
        return;
    facts.mainClass = ManifestMainClass(*text);
    facts.classPath = ManifestClassPath(*text);
}

}  // namespace cl::catalogue
