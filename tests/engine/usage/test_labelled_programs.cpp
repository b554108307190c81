// Literals and bundle values of real programs from Debian's archive, labelled by hand from their
// disassembly (data/labels.tsv: message when people read it, other when a program does).
//
// The first two programs (jedit, commons-lang3; literals only): the analysis must offer at least
// 90% of the messages and at most 10% of the rest. The three added later (gpsprune, logisim,
// sweethome3d; literals and bundle values) hold it to more: at least 95% of the messages, at most
// 2% of the rest.
//
// A literal's decision is the usage analysis's on the whole jar (of the later programs, whether
// the catalogue the program session opens writes its translation into the literal's class); a
// bundle value's is whether that catalogue offers the entry holding that file and key. Each test
// needs its programs' packages and is skipped without them, except under CI=true, where they
// must be there.

#include "UsageFixture.h"

#include "bundle/Properties.h"
#include "catalogue/ProgramSession.h"
#include "zip/JarArchive.h"
#include "text/CodePoints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// On: the later programs' test fails below their goals (off, it only printed the figures while
// the analysis was brought to them).
constexpr bool kNewRowsGoalsEnforced = true;

constexpr const char* kBundlePrefix = "bundle:";

struct Label {
    std::string jar;
    std::string className;  // empty for a bundle value
    std::string bundleFile;  // a bundle value: the .properties file inside the jar
    std::string text;  // UTF-8; of a bundle value, its key
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
        Label label{fields[0], fields[1], {}, Unescape(fields[2]), fields[3] == "message",
                    fields.size() > 4 ? fields[4] : ""};
        if (label.className.starts_with(kBundlePrefix)) {
            label.bundleFile = label.className.substr(std::string(kBundlePrefix).size());
            label.className.clear();
        }
        labels.push_back(std::move(label));
    }
    return labels;
}


struct ProgramJar {
    std::string path;
    std::string package;  // Debian's
    bool laterGoals = false;  // held to 95% / 2% (when enforced), not 90% / 10%
};

const std::map<std::string, ProgramJar> kJars = {
    {"jedit.jar", {"/usr/share/jedit/jedit.jar", "jedit", false}},
    {"commons-lang3.jar", {"/usr/share/java/commons-lang3.jar", "libcommons-lang3-java", false}},
    {"gpsprune.jar", {"/usr/share/gpsprune/gpsprune.jar", "gpsprune", true}},
    {"logisim.jar", {"/usr/share/logisim/logisim.jar", "logisim", true}},
    {"sweethome3d.jar", {"/usr/share/sweethome3d/sweethome3d.jar", "sweethome3d", true}},
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

// The entries of a jar whose names `wanted` accepts, by name.
std::map<std::string, std::string> ReadEntries(const std::string& path, bool (*wanted)(const std::string&))
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    std::map<std::string, std::string> read;
    const auto archive = cl::zip::JarArchive::Open(std::move(bytes));
    if (!archive)
        return read;
    std::vector<uint64_t> indices;
    std::vector<std::string> names;
    for (const cl::zip::JarEntry& entry : (*archive)->Entries()) {
        if (!entry.directory && wanted(entry.name)) {
            indices.push_back(entry.index);
            names.push_back(entry.name);
        }
    }
    std::vector<cl::Result<std::string>> data = (*archive)->ReadMany(indices);
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i])
            read.emplace(names[i], std::move(*data[i]));
    }
    return read;
}

// The decision for a literal as extract takes it: all places of the text in the program.
struct JarLiterals {
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
        const auto classes = ReadEntries(path, [](const std::string& name) { return name.ends_with(".class"); });
        if (classes.empty())
            return false;
        std::vector<std::string> data;
        for (const auto& [name, bytes] : classes)
            data.push_back(bytes);
        program.Analyse(data);
        for (const cl::usage::ClassFacts& facts : program.usage.Classes())
            classNames.emplace_back(facts.name);
        for (const auto& [text, decision] : program.byText)
            byPrinted.emplace(WithoutTrailingSpaces(text), &decision);
        return true;
    }
};

// The decision for a bundle value: whether the catalogue the program session opens offers the
// entry holding that file and key, and writes it there: a place of an offered entry that the
// program reads (kept) keeps its value. A value left out of the catalogue altogether (too
// short, no letter) is not offered either; the jar's own files tell such a value from a label
// naming a key the file does not hold.
struct JarBundles {
    struct Offer {
        bool offered = false;
        std::string use;
        std::string consumer;
    };
    std::map<std::string, Offer> byPlace;  // "file\tkey"
    // A literal's: whether the translation is written into that class ("class\ttext", the
    // class's internal name, the text as javap prints it).
    std::map<std::string, bool> literalOffered;
    std::map<std::string, cl::bundle::PropertiesFile> files;

    static std::string PlaceKey(const std::string& file, const std::string& key) { return file + "\t" + key; }

    bool Load(const std::string& path)
    {
        cl::catalogue::ProgramSession session;
        if (!session.Open(path, cl::catalogue::OpenOptions{}))
            return false;
        for (const cl::catalogue::SessionEntry& entry : session.Entries()) {
            for (const cl::catalogue::SessionPlace& place : entry.places) {
                // A place the program reads keeps its value, whatever its entry's other places
                // show: what a translation writes there is what counts.
                if (place.kind == cl::catalogue::PlaceKind::Bundle)
                    byPlace[PlaceKey(place.file, place.key)] = {entry.offered && !place.kept,
                                                                cl::usage::UseWord(entry.use), entry.consumer};
                if (place.kind == cl::catalogue::PlaceKind::Literal &&
                    place.classIndex < session.Facts().classNames.size()) {
                    std::string name = session.Facts().classNames[place.classIndex];
                    std::replace(name.begin(), name.end(), '.', '/');
                    literalOffered[PlaceKey(name, WithoutTrailingSpaces(entry.msgid))] = entry.offered && !place.kept;
                }
            }
        }
        for (const auto& [name, bytes] :
             ReadEntries(path, [](const std::string& name) { return name.ends_with(".properties"); })) {
            if (auto parsed = cl::bundle::ParseProperties(bytes))
                files.emplace(name, std::move(*parsed));
        }
        return true;
    }

    // The value of a key of a file, or nullptr when the file does not hold it.
    const std::string* Value(const std::string& file, const std::string& key) const
    {
        const auto found = files.find(file);
        if (found == files.end())
            return nullptr;
        const cl::bundle::PropertiesEntry* entry = found->second.Find(key);
        return entry ? &entry->value : nullptr;
    }
};

struct Tally {
    size_t messages = 0, messagesOffered = 0, others = 0, othersOffered = 0, missing = 0;

    void Add(bool message, bool offered)
    {
        (message ? messages : others) += 1;
        (message ? messagesOffered : othersOffered) += offered ? 1 : 0;
    }
    void Add(const Tally& t)
    {
        messages += t.messages;
        messagesOffered += t.messagesOffered;
        others += t.others;
        othersOffered += t.othersOffered;
        missing += t.missing;
    }
    double MessageRate() const
    {
        return messages ? 100.0 * static_cast<double>(messagesOffered) / static_cast<double>(messages) : 0;
    }
    double OtherRate() const
    {
        return others ? 100.0 * static_cast<double>(othersOffered) / static_cast<double>(others) : 0;
    }
    std::string Line() const
    {
        char line[200];
        std::snprintf(line, sizeof line, "%zu messages, %.1f%% offered; %zu others, %.1f%% offered; %zu not found",
                      messages, MessageRate(), others, OtherRate(), missing);
        return line;
    }
};

// Which of the programs are missing: a skip names them, under CI=true a failure does.
std::string MissingPrograms(bool laterGoals)
{
    std::string missing;
    for (const auto& [name, jar] : kJars) {
        if (jar.laterGoals == laterGoals && !Exists(jar.path))
            missing += " " + jar.path + " (package " + jar.package + ")";
    }
    return missing;
}

bool UnderCi()
{
    return std::getenv("CI") != nullptr && std::string(std::getenv("CI")) == "true";
}

// The labels of the programs held to `laterGoals`, tallied per jar (and as a whole, under ""),
// with a line for each label the analysis gets wrong.
struct Measured {
    std::map<std::string, Tally> literals, bundles, all;
    std::ostringstream misses;
};

void Measure(bool laterGoals, Measured& out)
{
    const std::vector<Label> labels = ReadLabels();
    std::map<std::string, JarLiterals> literals;
    std::map<std::string, JarBundles> bundles;
    for (const auto& [name, jar] : kJars) {
        if (jar.laterGoals != laterGoals)
            continue;
        ASSERT_TRUE(literals[name].Load(jar.path)) << jar.path;
        const bool hasBundleRows = std::any_of(labels.begin(), labels.end(), [&](const Label& l) {
            return l.jar == name && !l.bundleFile.empty();
        });
        if (hasBundleRows || laterGoals) {
            ASSERT_TRUE(bundles[name].Load(jar.path)) << jar.path;
        }
    }
    for (const Label& label : labels) {
        if (kJars.count(label.jar) == 0) {
            ADD_FAILURE() << "a label of a jar the test does not know: " << label.jar;
            continue;
        }
        if (literals.count(label.jar) == 0)
            continue;
        const bool bundle = !label.bundleFile.empty();
        Tally& tally = (bundle ? out.bundles : out.literals)[label.jar];
        bool offered = false;
        std::string what, as;
        if (bundle) {
            const JarBundles& jar = bundles.at(label.jar);
            const std::string* value = jar.Value(label.bundleFile, label.text);
            what = label.bundleFile + " " + label.text;
            if (value == nullptr) {
                ++tally.missing;
                out.misses << "  not found: " << what << "\n";
                continue;
            }
            what += " = \"" + *value + "\"";
            const auto found = jar.byPlace.find(JarBundles::PlaceKey(label.bundleFile, label.text));
            if (found != jar.byPlace.end()) {
                offered = found->second.offered;
                as = found->second.use + " (" + found->second.consumer + ")";
            } else {
                as = "no entry";
            }
        } else {
            const auto* text = literals.at(label.jar).Find(label.className, label.text);
            what = label.className + " \"" + label.text + "\"";
            if (text == nullptr) {
                ++tally.missing;
                out.misses << "  not found: " << what << "\n";
                continue;
            }
            offered = text->decision.offered;
            as = std::string(cl::usage::UseWord(text->decision.use)) + " (" + text->decision.consumer + ")";
            // Of the later programs, what the catalogue writes into the class: a text shown in
            // one method and read in another is translated where it is shown.
            if (laterGoals) {
                const auto& written = bundles.at(label.jar).literalOffered;
                if (const auto found = written.find(JarBundles::PlaceKey(label.className, label.text));
                    found != written.end())
                    offered = found->second;
            }
        }
        tally.Add(label.message, offered);
        if (offered != label.message)
            out.misses << "  " << (label.message ? "message withheld" : "other offered") << ": " << what << " as "
                       << as << "; labelled from: " << label.evidence << "\n";
    }
    for (const auto& [name, jar] : kJars) {
        if (jar.laterGoals != laterGoals)
            continue;
        out.all[name].Add(out.literals[name]);
        out.all[name].Add(out.bundles[name]);
        out.literals[""].Add(out.literals[name]);
        out.bundles[""].Add(out.bundles[name]);
        out.all[""].Add(out.all[name]);
    }
}

std::string Report(const Measured& m)
{
    std::ostringstream report;
    for (const auto& [name, tally] : m.all) {
        const std::string jar = name.empty() ? "all" : name;
        report << jar << " literals: " << m.literals.at(name).Line() << "\n"
               << jar << " bundle values: " << m.bundles.at(name).Line() << "\n"
               << jar << " together: " << tally.Line() << "\n";
    }
    return report.str() + m.misses.str();
}

TEST(LabelledPrograms, OffersTheMessagesAndWithholdsTheRest)
{
    if (const std::string missing = MissingPrograms(false); !missing.empty()) {
        if (UnderCi())
            FAIL() << "missing:" << missing << "; scripts/install-deps installs them";
        GTEST_SKIP() << "not installed:" << missing;
    }
    Measured m;
    Measure(false, m);
    if (HasFatalFailure())
        return;
    const Tally& all = m.all.at("");
    std::printf("labelled literals of the first programs:\n%s", Report(m).c_str());
    ASSERT_GE(all.messages + all.others + all.missing, 300u);
    EXPECT_EQ(all.missing, 0u);
    EXPECT_GE(all.MessageRate(), 90.0);
    EXPECT_LE(all.OtherRate(), 10.0);
}

TEST(LabelledPrograms, LaterProgramsOfferTheMessagesAndWithholdTheRest)
{
    if (const std::string missing = MissingPrograms(true); !missing.empty()) {
        if (UnderCi())
            FAIL() << "missing:" << missing << "; scripts/install-deps installs them";
        GTEST_SKIP() << "not installed:" << missing;
    }
    Measured m;
    Measure(true, m);
    if (HasFatalFailure())
        return;
    const Tally& all = m.all.at("");
    const std::string report = Report(m);
    std::printf("labelled literals and bundle values of the later programs:\n%s", report.c_str());
    // The labels themselves hold whatever the analysis does: enough of both kinds, each naming
    // a text or key its program has.
    EXPECT_GE(all.messages + all.others + all.missing, 300u);
    EXPECT_GE(m.bundles.at("").messages + m.bundles.at("").others, 120u);
    EXPECT_GE(m.literals.at("").messages + m.literals.at("").others, 120u);
    EXPECT_EQ(all.missing, 0u);
    if (!kNewRowsGoalsEnforced)
        GTEST_SKIP() << "goals of 95% / 2% not enforced yet: " << all.Line();
    EXPECT_GE(all.MessageRate(), 95.0);
    EXPECT_LE(all.OtherRate(), 2.0);
}

}  // namespace
