#pragma once
// The use graph of the program-wide step: a node for each parameter, return and field of the
// program's own methods and classes, and for each call's parameters and result; an edge where a
// value goes on (a flow of one class's facts, a call to the methods it may run, a return to
// the calls' results); terminals where a value is consumed (a consumer's use, or a use not
// known). The fixed point gives each node its marks: for each kind of finding (use, pattern
// kind, equality), the least consumer it leads to. A literal's findings are then read off the
// marks of where its flows go.
//
// Internal to ProgramUsage: the graph is built and solved by UseGraph.cpp, read by
// ProgramUsage.cpp (findings) and OfferPolicy.cpp (the decision per text).

#include "usage/ClassHierarchy.h"
#include "usage/KeyLookups.h"
#include "usage/ProgramUsage.h"

#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

namespace cl::usage {

inline constexpr uint32_t kTerminalBit = 0x80000000u;
inline constexpr uint32_t kNone = UINT32_MAX;

// A finding as the fixed point carries it: the kind in one byte (use, pattern kind, equality)
// and the consumer's name.
struct Mark {
    uint8_t kind;
    uint32_t consumer;
};

inline uint8_t KindOf(Use use, FormatStyle format, bool equalsStyle)
{
    return static_cast<uint8_t>(static_cast<unsigned>(use) * 6 + static_cast<unsigned>(format) * 2 +
                                (equalsStyle ? 1 : 0));
}
// One kind more, after the others: a key that is the name an object keeps, compared by
// equality where a method without parameters hands it out (KeptNameCompared in UseGraph.cpp).
// It reads as a key compared by equality that, unlike the others, forbids a change (Forbids);
// the fixed point does not carry it back into a method that is passed something.
inline constexpr uint8_t kKeptNameKind = kUseCount * 6;
// And one after it: what a translation call does inside with its message id (looks it up in
// its table: a key, a name or a pattern there), as the callers of the call see it
// (TranslationCalls.h). It reads as a key; whether it forbids a change is the text's to say
// (OfferPolicy.cpp): a message id ("Open...") is offered for what the call's result is put to,
// a bundle's key handed to a getter that returns its key when the bundle lacks it
// ("dialog.title") stays a key.
inline constexpr uint8_t kMessageIdKind = kUseCount * 6 + 1;
inline Use UseOf(uint8_t kind)
{
    return kind >= kKeptNameKind ? Use::Key : static_cast<Use>(kind / 6);
}
inline FormatStyle FormatOf(uint8_t kind)
{
    return kind >= kKeptNameKind ? FormatStyle::None : static_cast<FormatStyle>((kind / 2) % 3);
}
inline bool EqualsOf(uint8_t kind)
{
    return kind == kKeptNameKind || (kind < kKeptNameKind && (kind & 1) != 0);
}
// Whether a finding of this kind needs the text unchanged for a decision on literals: a name, a
// pattern, a key other than one compared by equality with what is mostly another literal of
// the program, and a kept name.
inline bool Forbids(uint8_t kind)
{
    const Use use = UseOf(kind);
    return use == Use::Name || use == Use::Pattern ||
           (use == Use::Key && (!EqualsOf(kind) || kind == kKeptNameKind || kind == kMessageIdKind));
}
// Kinds are below 64 (nine uses, three pattern kinds, equality or not, the kept name and the
// message id): a node's set of kinds is one word.
static_assert(kMessageIdKind < 64);
// What a use inside a translation call becomes for the call's callers: a key other than one
// compared by equality is the message id's lookup.
inline uint8_t AsMessageId(uint8_t kind)
{
    return kind < kKeptNameKind && UseOf(kind) == Use::Key && !EqualsOf(kind) ? kMessageIdKind : kind;
}

// What a finding becomes when the value was the pattern of a formatting on its way: shown
// uses make the pattern a format; an unknown one remembers the formatting; a key, name or
// pattern stays what it is (the formatting builds a key).
inline uint8_t ThroughFormat(uint8_t kind, FormatStyle flag)
{
    if (flag == FormatStyle::None)
        return kind;
    const Use use = UseOf(kind);
    if (IsShown(use))
        return KindOf(Use::Format, flag, false);
    if (use == Use::Unknown)
        return KindOf(Use::Unknown, flag, false);
    return kind;
}

struct Terminal {
    uint8_t kind;
    uint32_t consumer;
};

enum NodeKind : uint64_t { kParamNode = 1, kReturnNode = 2, kFieldNode = 3, kCallNode = 4, kResultNode = 5 };

// A finding before its words are made: its kind, its consumer (a name, or a node with
// kTerminalBit), the node it went through (kNone when none) and its method.
struct BareFinding {
    uint8_t kind = 0;
    uint32_t consumer = 0;
    uint32_t via = kNone;
    uint16_t method = kNoMethod;
    // The translation call the literal went through on its way (its name), or kNone.
    uint32_t translation = kNone;

    bool operator==(const BareFinding&) const = default;
};
// No method named: the flows of every method (a method's index is 16 bits).
inline constexpr uint32_t kEveryMethod = 0x10000;
// The consumer of the finding of a literal that goes nowhere.
inline constexpr uint32_t kNothing = kNone;

struct ProgramUsage::Graph {
    std::vector<ClassFacts> classes;
    ClassHierarchy hierarchy;
    KeyLookups keyLookups;  // which lookups may read a bundle's key

    std::vector<std::string_view> names;
    FlatMap nameIds;                 // hash of a name -> its index in names
    std::deque<std::string> madeNames;  // the names made here rather than found in a class

    std::vector<Terminal> terminals;
    FlatMap terminalIds;

    FlatMap nodeAt;
    std::vector<uint64_t> nodeKey;  // per node: what it stands for (its name is made from it)
    struct EdgeRecord {
        uint32_t from;
        uint32_t to;  // a node, or a terminal with kTerminalBit
        FormatStyle flag;
    };
    std::vector<EdgeRecord> edgeList;
    // Per node: the marks worked out for it, sorted by kind (markFirst has one more entry at
    // the end). Only the nodes a literal can reach have any.
    std::vector<uint32_t> markFirst;
    std::vector<Mark> marks;

    // Per method of the program's own (class << 16 | method): the parameters it returns and
    // through which formattings (a bit per FormatStyle), as ThroughCalls works them out.
    std::unordered_map<uint64_t, std::vector<std::pair<uint16_t, uint8_t>>> returnedParameters;
    // A literal's flow ThroughCalls joined from a call's argument to where the call's result
    // goes: (class, literal, method, sink, format) -> the call node it came out of (the first
    // call, for a result passed on to another).
    std::map<std::tuple<uint32_t, uint32_t, uint16_t, uint32_t, FormatStyle>, uint32_t> joinedThrough;
    // The call nodes that pass a message id to a translation call -> the call's name
    // (TranslationCalls.h). What such a node's successors (the call's own code) forbid reaches
    // the nodes before it as kMessageIdKind.
    FlatMap translationNodes;

    std::vector<uint32_t> sinkFirst;    // per class, into sinkTargets; one more at the end
    std::vector<uint32_t> sinkTargets;  // per class, per sink

    // The class's consumer names and member targets as Build meets them, each found once per
    // class rather than once per sink or flow.
    std::vector<uint32_t> classNames;    // per consumer of the class: its name, or kNone
    std::vector<uint32_t> classTargets;  // per member of the class: its target, or kNone

    // `text` is kept as it is when it lives as long as the graph (a class's text, a constant),
    // else copied.
    uint32_t Name(std::string_view text, bool lasting);
    uint32_t TerminalOf(Use use, FormatStyle format, bool equalsStyle, uint32_t consumer);
    uint32_t TerminalOfKind(uint8_t kind, uint32_t consumer);

    uint32_t Node(uint64_t key)
    {
        bool fresh = false;
        const uint32_t id = nodeAt.FindOrInsert(key, static_cast<uint32_t>(nodeKey.size()), fresh);
        if (fresh)
            nodeKey.push_back(key);
        return id;
    }
    const uint32_t* FindNode(uint64_t key) const { return nodeAt.Find(key); }
    void Edge(uint32_t from, uint32_t to, FormatStyle flag) { edgeList.push_back({from, to, flag}); }

    static std::string Joined(std::string_view a, std::string_view b, std::string_view c, std::string_view d = {});
    // A node's description, the consumer named when the analysis stops there.
    std::string NodeName(uint32_t node) const;
    // A consumer is a name (Name) or, with kTerminalBit, a node stopped at.
    std::string ConsumerName(uint32_t consumer) const;
    std::string MethodName(uint32_t ci, uint16_t mi) const;

    uint32_t ParamNode(uint32_t ci, uint16_t mi, uint16_t p);
    uint32_t ReturnNode(uint32_t ci, uint16_t mi) { return Node((uint64_t{kReturnNode} << 60) | (uint64_t{ci} << 16) | mi); }
    uint32_t FieldNode(uint32_t ci, uint16_t fi) { return Node((uint64_t{kFieldNode} << 60) | (uint64_t{ci} << 16) | fi); }
    uint32_t CallNode(uint32_t target, uint16_t p);
    uint32_t ResultNode(uint32_t target) { return Node((uint64_t{kResultNode} << 60) | target); }

    uint32_t ConsumerOf(const ClassFacts& c, uint32_t consumer);
    uint32_t TargetOfMember(const ClassFacts& c, uint32_t member);
    uint32_t TargetOfSink(uint32_t ci, const Sink& sink);
    // The node a flow's origin stands for; kNone for a literal or a field of the platform.
    uint32_t OriginNode(uint32_t ci, const Flow& flow);
    // Where a flow from the result `result` of a call to the terminal `to` also goes when it
    // is a comparison of a name the called method's object keeps (UseGraph.cpp); kNone when
    // it is not.
    uint32_t KeptNameCompared(const ClassFacts& c, const Flow& flow, uint32_t result, uint32_t to);
    // Whether the method whose call's result is `resultNode` has parameters.
    bool TakesParameters(uint32_t resultNode) const;

    std::span<const Mark> MarksOf(uint32_t node) const
    {
        return {marks.data() + markFirst[node], markFirst[node + 1] - markFirst[node]};
    }
    std::span<const uint32_t> SinkTargetsOf(size_t ci) const
    {
        return {sinkTargets.data() + sinkFirst[ci], sinkFirst[ci + 1] - sinkFirst[ci]};
    }

    // The findings of one place, in the order its flows give them, without repeats.
    void BareFindingsOf(PlaceRef place, std::vector<BareFinding>& out) const;
    // ... of any origin a flow starts from: a literal, or a lookup's value (OriginKind::Lookup).
    // With `onlyMethod` (a method's index), only the flows of that method's code.
    void BareFindingsOf(size_t ci, OriginKind origin, uint32_t value, std::vector<BareFinding>& out,
                        uint32_t onlyMethod = kEveryMethod) const;
    // A finding's words, for a place of class `ci`.
    Finding Words(const BareFinding& bare, size_t ci) const;

    // The nodes, edges and terminals of every class's facts (after the hierarchy is built).
    void Build();
    // Calls reach the methods they may run; returns reach the calls' results.
    void Connect();
    // A call of a method that returns what it is passed joins, in the calling method, the
    // argument to where that call's result goes (ThroughCalls.cpp): an edge from a node, a flow
    // added to the class's facts from a literal or a looked-up value.
    void ThroughCalls();
    // The translation calls (TranslationCalls.h), once ThroughCalls and the key lookups are
    // known: each call node that passes one its message id is named in translationNodes, so
    // that the lookup of the key inside the call reads as a message id's; what the call's
    // result is put to (joined by ThroughCalls) is the id's use.
    void FindTranslationCalls();
    // Every reached node's marks. What comes back to a method through its return (the uses of
    // every call's result) stays out of its callers' arguments, which ThroughCalls joined to
    // their own call's result; what a field is put to reaches whatever stores into it.
    void FixedPoint();
};

}  // namespace cl::usage
