#pragma once
// The class files of a JAR, for the benchmarks that measure work on real classes: read through
// the engine's own archive reader, so that they load a JAR the way the program does.

#include "zip/JarArchive.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace bench {

struct JarClass {
    std::string name;
    std::string bytes;
};

// The `.class` entries of the JAR at `path` that read back whole, in archive order; nothing
// when the file cannot be read or is no archive.
inline std::optional<std::vector<JarClass>> ReadJarClasses(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (!in && !in.eof())
        return std::nullopt;
    auto archive = cl::zip::JarArchive::Open(std::move(bytes));
    if (!archive)
        return std::nullopt;
    std::vector<uint64_t> indices;
    std::vector<std::string> names;
    for (const cl::zip::JarEntry& entry : (*archive)->Entries()) {
        if (!entry.directory && entry.name.ends_with(".class")) {
            indices.push_back(entry.index);
            names.push_back(entry.name);
        }
    }
    std::vector<cl::Result<std::string>> data = (*archive)->ReadMany(indices);
    std::vector<JarClass> classes;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (data[i])
            classes.push_back({std::move(names[i]), std::move(*data[i])});
    }
    return classes;
}

}  // namespace bench
