// fuzz_usage: parses the input as a class file and runs the whole analysis of where its strings
// go on it, as a program of one class and as a program of the class twice (the program-wide
// step then joins two copies of every method). Checks that the facts only point at what they
// hold (sinks, members, consumers, methods), that every string constant of a parsed class has
// at least one finding, that the decisions are made for every text, and that the work per
// class stays bounded: the per-method bound leaves a method unfollowed instead of running on.

#include "classfile/ClassFile.h"
#include "usage/ClassAnalysis.h"
#include "usage/ProgramUsage.h"

#include "FuzzCheck.h"

#include <chrono>
#include <cstdint>
#include <vector>

using namespace cl::usage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const cl::classfile::ClassFile cf = cl::classfile::ParseClassFile(data, size);
    const auto start = std::chrono::steady_clock::now();
    const ClassFacts facts = AnalyseClass(cf);
    if (!cf.parsed) {
        CHECK(!facts.parsed && facts.literals.empty() && facts.flows.empty());
        return 0;
    }
    CHECK(facts.parsed);
    CHECK(facts.methods.size() == cf.methods.size());
    for (const Flow& flow : facts.flows) {
        CHECK(flow.sink < facts.sinks.size());
        CHECK(flow.method == kNoMethod || flow.method < facts.methods.size());
        if (flow.origin == OriginKind::FieldRead || flow.origin == OriginKind::CallResult)
            CHECK(flow.value < facts.members.size());
        if (flow.origin == OriginKind::Literal)
            CHECK(cf.At(static_cast<uint16_t>(flow.value), cl::classfile::Tag::String) != nullptr);
    }
    for (const Sink& sink : facts.sinks) {
        switch (sink.kind) {
            case SinkKind::Consumer:
            case SinkKind::Unknown: CHECK(sink.target < facts.consumers.size()); break;
            case SinkKind::Call:
            case SinkKind::FieldStore: CHECK(sink.target < facts.members.size()); break;
            case SinkKind::Return: CHECK(sink.target < facts.methods.size()); break;
        }
    }
    for (size_t i = 1; i < facts.flows.size(); ++i) {
        const Flow& a = facts.flows[i - 1];
        const Flow& b = facts.flows[i];
        CHECK(a.origin < b.origin || (a.origin == b.origin && a.value <= b.value));
    }

    std::vector<ClassFacts> program{facts, facts};
    const ProgramUsage usage = ProgramUsage::Solve(std::move(program));
    for (const LiteralFacts& literal : facts.literals) {
        for (size_t ci = 0; ci < 2; ++ci)
            CHECK(!usage.FindingsOf({ci, literal.stringIndex}).empty());
    }
    size_t places = 0;
    for (const auto& text : usage.DecideAll()) {
        places += text.places.size();
        if (!text.decision.offered)
            continue;
        CHECK(text.decision.forbidding.empty());
    }
    CHECK(places == 2 * facts.literals.size());
    // Bounded work: a class file of at most a few hundred kilobytes is analysed in well under a
    // second even with sanitizers (the per-method bound is on interpreted instructions).
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    CHECK(seconds < 5.0);
    return 0;
}
