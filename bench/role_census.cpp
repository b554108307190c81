// Role census: every class in the JARs of a folder (default /usr/share/java), each distinct
// class file counted once, its byte-scan rows mapped to roles. Prints how many rows of each
// role the scan lists, the roles of all Utf8 entries, and why the classes that do not parse
// stop. Usage: role_census [FOLDER]

#include "text/ByteStringErrors.h"
#include "JarClasses.h"
#include "scan/Scanner.h"
#include "classfile/ClassFile.h"
#include "classfile/Roles.h"

#include "JarClasses.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;
using namespace cl::classfile;

namespace {

constexpr size_t kRoles = static_cast<size_t>(Role::None) + 1;

struct Census {
    size_t jars = 0;
    size_t entries = 0;
    size_t duplicates = 0;
    size_t parsed = 0;
    size_t failed = 0;
    size_t rows = 0;
    size_t rowsUnparsed = 0;  // rows of classes that did not parse: "-"
    size_t lookupMismatches = 0;
    std::array<size_t, kRoles> rowRoles{};
    std::array<size_t, kRoles> entryRoles{};
    std::map<std::string, size_t> failures;
    std::vector<std::string> failureExamples;
};

uint64_t Fnv1a(std::string_view bytes)
{
    uint64_t h = 1469598103934665603ull;
    for (const char c : bytes)
        h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    return h ^ bytes.size();
}

void CountClass(Census& census, const std::string& bytes, const std::string& where)
{
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const ClassFile cf = ParseClassFile(data, bytes.size());
    const std::vector<Role> roles = ComputeRoles(cf);
    const ScanRoleMap map(cf, roles);

    cl::FileImage image;
    image.bytes = cl::ByteString(std::string_view(bytes));
    image.loadedSize = image.bytes.ByteLength();
    cl::StringList list;
    // A pattern cut short by the end of the file: the rows before it stay.
    (void)cl::ScanClassImage(image, cl::FilterList{}, list);
    census.rows += list.rows.size();
    if (!cf.parsed) {
        ++census.failed;
        census.rowsUnparsed += list.rows.size();
        ++census.failures[ReasonWord(cf.error)];
        if (census.failureExamples.size() < 12)
            census.failureExamples.push_back(where + ": " + ReasonWord(cf.error) + " at " +
                                             std::to_string(cf.errorOffset));
        return;
    }
    ++census.parsed;
    const std::vector<Role> rowRoles = map.RolesOfRows(list);
    for (size_t i = 0; i < list.rows.size(); ++i) {
        ++census.rowRoles[static_cast<size_t>(rowRoles[i])];
        if (rowRoles[i] != map.RoleAtRow(list.rows[i].offset))
            ++census.lookupMismatches;  // the two lookups must agree
    }
    for (size_t i = 1; i < cf.pool.size(); ++i) {
        if (cf.pool[i].tag == Tag::Utf8)
            ++census.entryRoles[static_cast<size_t>(roles[i])];
    }
}

void CountJar(Census& census, const fs::path& path, std::unordered_set<uint64_t>& seen)
{
    const std::optional<std::vector<bench::JarClass>> classes = bench::ReadJarClasses(path.string());
    if (!classes)
        return;
    ++census.jars;
    for (const bench::JarClass& c : *classes) {
        ++census.entries;
        if (!seen.insert(Fnv1a(c.bytes)).second) {
            ++census.duplicates;
            continue;
        }
        CountClass(census, c.bytes, path.filename().string() + "!" + c.name);
    }
}

void PrintRoles(const char* title, const std::array<size_t, kRoles>& counts)
{
    size_t total = 0;
    for (const size_t n : counts)
        total += n;
    std::printf("%s (%zu)\n", title, total);
    for (size_t r = 0; r < kRoles; ++r) {
        std::printf("  %-11s %9zu  %6.2f%%\n", RoleWord(static_cast<Role>(r)), counts[r],
                    total == 0 ? 0.0 : 100.0 * static_cast<double>(counts[r]) / static_cast<double>(total));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path folder = argc > 1 ? argv[1] : "/usr/share/java";
    std::vector<fs::path> jars;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().extension() == ".jar")
            jars.push_back(entry.path());
    }
    std::sort(jars.begin(), jars.end());
    Census census;
    std::unordered_set<uint64_t> seen;
    for (const fs::path& jar : jars)
        CountJar(census, jar, seen);

    std::printf("%zu JARs, %zu class entries, %zu identical copies skipped, %zu distinct classes\n", census.jars,
                census.entries, census.duplicates, census.parsed + census.failed);
    std::printf("parsed %zu, did not parse %zu\n", census.parsed, census.failed);
    for (const auto& [reason, n] : census.failures)
        std::printf("  %-22s %zu\n", reason.c_str(), n);
    for (const std::string& example : census.failureExamples)
        std::printf("  e.g. %s\n", example.c_str());
    std::printf("scan rows %zu, of classes that did not parse (\"-\") %zu\n", census.rows, census.rowsUnparsed);
    PrintRoles("scan rows of parsed classes by role", census.rowRoles);
    std::printf("row lookups that disagree between one pass and one by one: %zu\n", census.lookupMismatches);
    PrintRoles("Utf8 entries of parsed classes by role", census.entryRoles);
    return 0;
}
