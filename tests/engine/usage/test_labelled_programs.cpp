// Literals of two real programs from Debian's archive, labelled by hand from their disassembly
// (data/labels.tsv: message when people read it, other when a program does): the analysis must
// offer at least 90% of the messages and at most 10% of the rest. Needs the packages jedit and
// libcommons-lang3-java; skipped without them, except under CI=true, where they must be there.

#include "UsageFixture.h"

#include "zip/JarArchive.h"
#include "text/CodePoints.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Label {
    std::string jar;
    std::string className;
    std::string text;  // UTF-8
    bool message = false;
    std::string evidence;
};

// javap's escapes: \n \t \r \' \" \\ and \uXXXX.
std::string Unescape(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        switch (c) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'u': {
                cl::AppendUtf8(static_cast<char32_t>(std::stoul(s.substr(i + 1, 4), nullptr, 16)), out);
                i += 4;
                break;
            }
            default: out += c; break;
        }
    }
    return out;
}

std::vector<Label> ReadLabels()
{
    std::vector<Label> labels;
    std::ifstream in(std::string(CLASSLINGO_USAGE_DATA) + "/labels.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        if (fields.size() < 4)
            continue;
        labels.push_back({fields[0], fields[1], Unescape(fields[2]), fields[3] == "message",
                          fields.size() > 4 ? fields[4] : ""});
    }
    return labels;
}

const std::map<std::string, std::string> kJars = {
    {"jedit.jar", "/usr/share/jedit/jedit.jar"},
    {"commons-lang3.jar", "/usr/share/java/commons-lang3.jar"},
};

bool Exists(const std::string& path)
{
    return std::ifstream(path).good();
}

std::string WithoutTrailingSpaces(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// The decision for a text as extract takes it: all places of the text in the program.
struct JarProgram {
    cltest::AnalysedProgram program;
    std::vector<std::string> classNames;  // per class index
    // javap drops a text's trailing spaces: the texts as it prints them.
    std::multimap<std::string, const cl::usage::ProgramUsage::TextDecision*> byPrinted;

    // The text of `className` that javap prints as `printed`.
    const cl::usage::ProgramUsage::TextDecision* Find(const std::string& className, const std::string& printed) const
    {
        const auto [first, last] = byPrinted.equal_range(printed);
        for (auto it = first; it != last; ++it) {
            for (const cl::usage::PlaceRef& place : it->second->places) {
                if (classNames[place.classIndex] == className)
                    return it->second;
            }
        }
        return nullptr;
    }

    bool Load(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::string bytes(std::istreambuf_iterator<char>(in), {});
        const auto archive = cl::zip::JarArchive::Open(std::move(bytes));
        if (!archive)
            return false;
        std::vector<uint64_t> indices;
        for (const cl::zip::JarEntry& entry : (*archive)->Entries()) {
            if (!entry.directory && entry.name.ends_with(".class"))
                indices.push_back(entry.index);
        }
        std::vector<std::string> data;
        for (cl::Result<std::string>& read : (*archive)->ReadMany(indices)) {
            if (read)
                data.push_back(std::move(*read));
        }
        program.Analyse(data);
        for (const cl::usage::ClassFacts& facts : program.usage.Classes())
            classNames.emplace_back(facts.name);
        for (const auto& [text, decision] : program.byText)
            byPrinted.emplace(WithoutTrailingSpaces(text), &decision);
        return true;
    }
};

TEST(LabelledPrograms, OffersTheMessagesAndWithholdsTheRest)
{
    const bool ci = std::getenv("CI") != nullptr && std::string(std::getenv("CI")) == "true";
    for (const auto& [name, path] : kJars) {
        if (!Exists(path)) {
            if (ci)
                FAIL() << path << " is missing: scripts/install-deps installs jedit and libcommons-lang3-java";
            GTEST_SKIP() << path << " is not installed";
        }
    }
    const std::vector<Label> labels = ReadLabels();
    ASSERT_GE(labels.size(), 300u);

    std::map<std::string, JarProgram> programs;
    for (const auto& [name, path] : kJars)
        ASSERT_TRUE(programs[name].Load(path)) << path;

    size_t messages = 0, messagesOffered = 0, others = 0, othersOffered = 0, missing = 0;
    std::ostringstream misses;
    for (const Label& label : labels) {
        const JarProgram& jar = programs.at(label.jar);
        const auto* text = jar.Find(label.className, label.text);
        if (text == nullptr) {
            ++missing;
            misses << "  not found: " << label.className << " \"" << label.text << "\"\n";
            continue;
        }
        const cl::usage::Decision& d = text->decision;
        if (label.message) {
            ++messages;
            messagesOffered += d.offered ? 1 : 0;
        } else {
            ++others;
            othersOffered += d.offered ? 1 : 0;
        }
        if (d.offered != label.message)
            misses << "  " << (label.message ? "message withheld" : "other offered") << ": " << label.className
                   << " \"" << label.text << "\" as " << cl::usage::UseWord(d.use) << " (" << d.consumer
                   << "); labelled from: " << label.evidence << "\n";
    }
    const double messageRate = messages ? 100.0 * static_cast<double>(messagesOffered) / static_cast<double>(messages) : 0;
    const double otherRate = others ? 100.0 * static_cast<double>(othersOffered) / static_cast<double>(others) : 0;
    std::printf("labelled literals: %zu messages, %.1f%% offered; %zu others, %.1f%% offered; %zu not found\n%s",
                messages, messageRate, others, otherRate, missing, misses.str().c_str());
    EXPECT_EQ(missing, 0u);
    EXPECT_GE(messageRate, 90.0);
    EXPECT_LE(otherRate, 10.0);
}

}  // namespace
