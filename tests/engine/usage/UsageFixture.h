#pragma once
// Classes compiled with javac at test time, analysed as a whole program: the decision and the
// findings for a string looked up by its text.

#include "classfile/ClassFile.h"
#include "usage/ClassAnalysis.h"
#include "usage/ProgramUsage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace cltest {

// Every .class file under `folder` (sorted by path, so that runs agree).
inline std::vector<std::string> ClassFilesUnder(const std::filesystem::path& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && entry.path().extension() == ".class")
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The program made of the given class files' bytes.
struct AnalysedProgram {
    cl::usage::ProgramUsage usage;
    std::map<std::string, cl::usage::ProgramUsage::TextDecision> byText;  // UTF-8 text

    void Analyse(const std::vector<std::string>& classBytes)
    {
        std::vector<cl::usage::ClassFacts> facts;
        for (const std::string& bytes : classBytes) {
            const cl::classfile::ClassFile cf =
                cl::classfile::ParseClassFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            facts.push_back(cl::usage::AnalyseClass(cf));
        }
        usage = cl::usage::ProgramUsage::Solve(std::move(facts));
        byText.clear();
        for (auto& text : usage.DecideAll())
            byText.emplace(text.text, std::move(text));
    }

    const cl::usage::ProgramUsage::TextDecision* Find(const std::string& text) const
    {
        const auto found = byText.find(text);
        return found == byText.end() ? nullptr : &found->second;
    }

    std::vector<cl::usage::Finding> Findings(const std::string& text) const
    {
        std::vector<cl::usage::Finding> all;
        if (const auto* t = Find(text)) {
            for (const cl::usage::PlaceRef& place : t->places) {
                for (auto& f : usage.FindingsOf(place))
                    all.push_back(std::move(f));
            }
        }
        return all;
    }
};

}  // namespace cltest
