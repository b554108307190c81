#include "usage/ProgramUsage.h"

#include "classfile/ModifiedUtf8.h"
#include "usage/FlatMap.h"
#include "usage/OutputStreams.h"
#include "usage/TextHash.h"
#include "usage/UseGraph.h"

#include <algorithm>
#include <memory>
#include <utility>

// The program-wide step in order: the class hierarchy and the use graph from every class's
// facts (UseGraph.h, ClassHierarchy.h), the calls connected to what they may run, the fixed
// point; then the findings of each place read off it, and the decision per text
// (OfferPolicy.cpp).

namespace cl::usage {

ProgramUsage::ProgramUsage() = default;
ProgramUsage::~ProgramUsage() = default;
ProgramUsage::ProgramUsage(ProgramUsage&&) noexcept = default;
ProgramUsage& ProgramUsage::operator=(ProgramUsage&&) noexcept = default;

ProgramUsage ProgramUsage::Solve(std::vector<ClassFacts> classes)
{
    ProgramUsage usage;
    usage.graph_ = std::make_unique<Graph>();
    Graph& g = *usage.graph_;
    g.classes = std::move(classes);
    ConsoleLinesInWindowedPrograms(g.classes);
    g.Build();
    g.Connect();
    g.ThroughCalls();
    // The key lookups before the fixed point: the translation calls are known from them, and
    // the fixed point does not follow a message id into its translation call.
    g.keyLookups.Build(g.classes, g.hierarchy);
    g.FindTranslationCalls();
    g.FixedPoint();
    return usage;
}

const std::vector<ClassFacts>& ProgramUsage::Classes() const noexcept
{
    static const std::vector<ClassFacts> none;
    return graph_ ? graph_->classes : none;
}

ProgramUsage::Loaders ProgramUsage::LoadersOf(PlaceRef place) const
{
    Loaders loaders;
    if (!graph_ || place.classIndex >= graph_->classes.size())
        return loaders;
    for (const Flow& flow : FlowsFrom(graph_->classes[place.classIndex], OriginKind::Literal, place.stringIndex)) {
        if (flow.method == kNoMethod)
            loaders.constantValue = true;
        else if (loaders.methods.empty() || loaders.methods.back() != flow.method)
            loaders.methods.push_back(flow.method);
    }
    // Flows are sorted by method within one literal's; a repeat is still possible across formats.
    std::sort(loaders.methods.begin(), loaders.methods.end());
    loaders.methods.erase(std::unique(loaders.methods.begin(), loaders.methods.end()), loaders.methods.end());
    return loaders;
}

std::vector<Finding> ProgramUsage::FindingsOf(PlaceRef place) const
{
    std::vector<Finding> out;
    if (!graph_ || place.classIndex >= graph_->classes.size())
        return out;
    const Graph& g = *graph_;
    std::vector<BareFinding> bare;
    g.BareFindingsOf(place, bare);
    for (const BareFinding& b : bare) {
        Finding f = g.Words(b, place.classIndex);
        // Two places of the graph can read the same: a finding is given once.
        if (std::find(out.begin(), out.end(), f) == out.end())
            out.push_back(std::move(f));
    }
    return out;
}

std::vector<ProgramUsage::TextDecision> ProgramUsage::DecideAll() const
{
    std::vector<TextDecision> out;
    if (!graph_)
        return out;
    std::vector<std::string_view> texts;  // per entry of out
    FlatMap at;                           // hash of a text -> its entry
    size_t literals = 0;
    for (const ClassFacts& c : graph_->classes)
        literals += c.literals.size();
    out.reserve(literals);
    texts.reserve(literals);
    for (size_t ci = 0; ci < graph_->classes.size(); ++ci) {
        for (const LiteralFacts& literal : graph_->classes[ci].literals) {
            uint32_t index = 0;
            for (uint64_t key = HashText(literal.text);; key = NextKey(key)) {
                bool fresh = false;
                index = at.FindOrInsert(key, static_cast<uint32_t>(out.size()), fresh);
                if (fresh) {
                    out.push_back({std::string(literal.text), {}, literal.recipe, {}});
                    texts.push_back(literal.text);
                    break;
                }
                if (texts[index] == literal.text)
                    break;
            }
            out[index].places.push_back({ci, literal.stringIndex});
            out[index].recipe = out[index].recipe || literal.recipe;
        }
    }
    for (TextDecision& text : out) {
        // Decide reads UTF-8; the class holds modified UTF-8 (a zero or a character past U+FFFF
        // is written otherwise). A lone surrogate has no UTF-8 form and is decided on its bytes.
        std::string utf8;
        if (classfile::Utf8FromModifiedUtf8(text.text, utf8).Ok())
            text.text = std::move(utf8);
        text.decision = Decide(text.text, text.places);
    }
    return out;
}

int NoteRank(Use use) noexcept
{
    switch (use) {
        case Use::Format: return 0;
        case Use::Ui: return 1;
        case Use::Message: return 2;
        case Use::Log: return 3;
        case Use::Key: return 4;
        case Use::Name: return 5;
        case Use::Pattern: return 6;
        case Use::Data: return 7;
        case Use::Unknown: return 8;
    }
    return 9;
}

}  // namespace cl::usage
