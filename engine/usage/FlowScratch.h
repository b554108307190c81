#pragma once
// The working storage of one method's data-flow, kept on the thread from one method to the
// next (MakeFlowScratch): a program has thousands of small methods, and setting up fresh
// tables for each cost more than following most of them. Every pass (FlowBlocks, FrameSolver,
// FlowTransfer, FlowCalls, FlowFacts) reads and writes its part of it; each pass clears or
// fills only what it is about to use, at the method's size.

#include "usage/ClassFacts.h"
#include "usage/Descriptor.h"
#include "usage/FlatMap.h"
#include "usage/ValueSets.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace cl::usage {

// Where a value followed through the method comes from: the origins a flow can name, and the
// objects made in the method that collect what is put into them.
enum SourceKind : uint8_t {
    kLiteral = static_cast<uint8_t>(OriginKind::Literal),
    kParameter = static_cast<uint8_t>(OriginKind::Parameter),
    kFieldRead = static_cast<uint8_t>(OriginKind::FieldRead),
    kCallResult = static_cast<uint8_t>(OriginKind::CallResult),
    kLookup = static_cast<uint8_t>(OriginKind::Lookup),  // by (pc << 8 | parameter) of the call
    kObject,  // a builder, list or array made in this method, by the pc of its `new`
    kStream,  // the console or a stream on a file, a socket or a process (OutputStreams.h):
              // followed to tell where what is written to it goes; never an origin of facts
};

// A call whose result may be a value looked up by a key made of strings followed here. The
// key's set grows while the method's blocks are followed again; its origins are read once the
// method is done (FlowFacts), when the objects it was built in have collected everything.
struct LookupSite {
    uint32_t source = 0;  // the kLookup source of its result
    uint32_t key = 0;     // the set of the key
    LookupKind kind = LookupKind::Table;
    uint16_t parameter = 0;
    uint32_t member = 0;
};

// A value passed to a call of the program's own, as that one call's argument: the kLookup
// source standing for its result there (LookupKind::Site), and the parameter's position.
struct SiteArgument {
    uint32_t set = 0;
    uint32_t site = 0;
    uint16_t parameter = 0;

    bool operator<(const SiteArgument& o) const
    {
        return set != o.set ? set < o.set : site != o.site ? site < o.site : parameter < o.parameter;
    }
    bool operator==(const SiteArgument&) const = default;
};

struct Source {
    SourceKind kind;
    uint32_t value;
};

// Per pc of the code (FlowScratch::mark).
constexpr uint8_t kStart = 1;   // an instruction starts at this pc
constexpr uint8_t kLeader = 2;  // ... and a block starts there

// Sets the first `count` entries of `v` to `value`, growing it when it is smaller: the
// per-method tables are set up for thousands of small methods, most of them far smaller than
// what the storage already holds.
template <typename T>
void Fill(std::vector<T>& v, size_t count, T value)
{
    if (v.size() < count)
        v.resize(count);
    std::fill_n(v.data(), count, value);
}

struct FlowScratch {
    ValueSets sets;
    std::vector<uint8_t> mark;
    std::vector<uint32_t> blockAt;  // per pc: the block starting there
    std::vector<uint32_t> blockPc;
    std::vector<uint32_t> leaders;  // block starts in the order FindBlocks found them
    std::vector<uint32_t> handlerFirst;  // per block: into handlerBlocks
    std::vector<uint32_t> handlerBlocks;
    std::vector<uint32_t> targets;
    std::vector<uint32_t> jsrReturns;
    std::vector<uint32_t> state;  // per block: locals, then stack
    std::vector<uint16_t> height;
    std::vector<uint8_t> visited;
    std::vector<uint8_t> queued;
    std::vector<uint32_t> work;
    std::vector<uint32_t> locals;
    std::vector<uint32_t> stack;
    MethodShape shape;
    std::vector<Source> sources;
    FlatMap sourceAt;
    // What the objects made here collect: (source, element) in the order put, each once.
    // Kept as a list rather than a set per object: an array of hundreds of strings would
    // otherwise make a new set at each element put in.
    std::vector<std::pair<uint32_t, uint32_t>> collected;
    FlatMap collectedOnce;
    std::vector<uint32_t> collectedFirst;  // per source, into collected once sorted by source
    std::vector<uint32_t> elementsOf;      // one object's collection while EmitFacts expands it
    std::vector<std::pair<uint32_t, uint32_t>> uses;  // (set, sink)
    std::vector<LookupSite> lookups;
    FlatMap lookupAt;                    // kLookup source value -> into lookups
    std::vector<uint32_t> lookupIndex;   // per kLookup source, once emitted: into the facts' lookups
    std::vector<SiteArgument> siteArguments;
    std::vector<uint32_t> seen;      // per source and flag: the use that last expanded it
    std::vector<std::pair<uint32_t, uint32_t>> expand;
    std::vector<uint16_t> switchLiterals;
    std::vector<int32_t> keys;
    std::u16string units;
};

}  // namespace cl::usage
