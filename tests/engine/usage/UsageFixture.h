#pragma once
// Classes compiled with javac at test time, analysed as a whole program: the decision and the
// findings for a string looked up by its text.

#include "classfile/ClassFile.h"
#include "usage/ClassAnalysis.h"
#include "usage/ProgramUsage.h"
#include "Java.h"
#include "Tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdlib.h>
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

// A Java source and the javac options it is compiled with.
struct JavaSource {
    std::string file;
    std::string options;
};

// Compiles each source into a folder of its own under one scratch folder and analyses every
// class file they make as one program (into `program`), then removes the folder. The
// compiler's complaint when a source does not compile, else empty; `classCount`, when given,
// gets the number of classes analysed.
inline std::string AnalyseCompiledJava(const std::vector<JavaSource>& sources, AnalysedProgram& program,
                                       size_t* classCount = nullptr)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "classlingo-usage-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return "cannot make a scratch folder under " + std::filesystem::temp_directory_path().string();
    const std::filesystem::path folder = pattern;
    std::string error;
    for (size_t i = 0; i < sources.size() && error.empty(); ++i)
        error = CompileJavaFile(sources[i].file, (folder / std::to_string(i)).string(), sources[i].options);
    if (error.empty()) {
        std::vector<std::string> bytes;
        for (const std::string& file : ClassFilesUnder(folder))
            bytes.push_back(FileBytes(file));
        if (classCount != nullptr)
            *classCount = bytes.size();
        program.Analyse(bytes);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return error;
}

// A suite of tests over one program compiled and analysed once for all of them, from
// `Suite::Sources()`: each test first makes sure javac is there and the program compiled.
template <class Suite>
class CompiledProgramSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!ToolIsInstalled(CLASSLINGO_JAVAC))
            return;
        program_ = new AnalysedProgram;
        compileError_ = AnalyseCompiledJava(Suite::Sources(), *program_, &classCount_);
    }
    static void TearDownTestSuite()
    {
        delete program_;
        program_ = nullptr;
    }
    void SetUp() override
    {
        CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
        ASSERT_TRUE(compileError_.empty()) << compileError_;
        ASSERT_NE(program_, nullptr);
    }

    // The decision for `text`, checked to offer it or not and to name `use`; null, with a
    // failure, when the compiled classes hold no such string.
    static const cl::usage::ProgramUsage::TextDecision* Decided(const std::string& text, bool offered,
                                                               cl::usage::Use use)
    {
        const auto* found = program_->Find(text);
        EXPECT_NE(found, nullptr) << "not a string of the compiled classes: " << text;
        if (found == nullptr)
            return nullptr;
        EXPECT_EQ(found->decision.offered, offered) << text;
        EXPECT_EQ(std::string(cl::usage::UseWord(found->decision.use)), cl::usage::UseWord(use)) << text;
        return found;
    }

    static inline std::string compileError_;
    static inline size_t classCount_ = 0;
    static inline AnalysedProgram* program_ = nullptr;
};

}  // namespace cltest
