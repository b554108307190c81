#include "usage/UseGraph.h"

#include "usage/ConsumerTable.h"

#include <algorithm>
#include <tuple>

namespace cl::usage {

// `text` is kept as it is when it lives as long as the graph (a class's text, a constant),
// else copied.
inline uint32_t ProgramUsage::Graph::Name(std::string_view text, bool lasting)
{
    for (uint64_t key = HashText(text);; key = NextKey(key)) {
        bool fresh = false;
        const uint32_t id = nameIds.FindOrInsert(key, static_cast<uint32_t>(names.size()), fresh);
        if (fresh) {
            names.push_back(lasting ? text : std::string_view(madeNames.emplace_back(text)));
            return id;
        }
        if (names[id] == text)
            return id;
    }
}

inline uint32_t ProgramUsage::Graph::TerminalOf(Use use, FormatStyle format, bool equalsStyle, uint32_t consumer)
{
    return TerminalOfKind(KindOf(use, format, equalsStyle), consumer);
}

uint32_t ProgramUsage::Graph::TerminalOfKind(uint8_t kind, uint32_t consumer)
{
    const uint64_t key = (uint64_t{kind} << 32) | consumer;
    bool fresh = false;
    const uint32_t id = terminalIds.FindOrInsert(key, static_cast<uint32_t>(terminals.size()), fresh);
    if (fresh)
        terminals.push_back({kind, consumer});
    return id | kTerminalBit;
}

std::string ProgramUsage::Graph::Joined(std::string_view a, std::string_view b, std::string_view c, std::string_view d)
{
    std::string out;
    out.reserve(a.size() + b.size() + c.size() + d.size());
    out.append(a).append(b).append(c).append(d);
    return out;
}

// A node's description, the consumer named when the analysis stops there.
std::string ProgramUsage::Graph::NodeName(uint32_t node) const
{
    const uint64_t key = nodeKey[node];
    const uint64_t kind = key >> 60;
    switch (kind) {
        case kParamNode: {
            const auto ci = static_cast<uint32_t>((key >> 24) & 0xFFFFFFFFFull);
            const auto mi = static_cast<uint16_t>(key >> 8);
            return "parameter " + std::to_string(key & 0xFF) + " of " + MethodName(ci, mi);
        }
        case kReturnNode:
            return "return of " +
                   MethodName(static_cast<uint32_t>((key >> 16) & 0xFFFFFFFFFFull), static_cast<uint16_t>(key)) +
                   "()";
        case kFieldNode: {
            const ClassFacts& c = classes[(key >> 16) & 0xFFFFFFFFFFull];
            return Joined("field ", c.name, ".", c.fields[static_cast<uint16_t>(key)].name);
        }
        case kCallNode: {
            const Target& t = hierarchy.TargetAt(static_cast<uint32_t>((key >> 8) & 0xFFFFFFFFFFFull));
            return "parameter " + std::to_string(key & 0xFF) + " of " + Joined(t.ref.owner, ".", t.ref.name);
        }
        case kResultNode: {
            const Target& t = hierarchy.TargetAt(static_cast<uint32_t>(key & 0xFFFFFFFFFFFull));
            return Joined("return of ", t.ref.owner, ".", t.ref.name) + "()";
        }
        default: return "nothing";
    }
}

// A consumer is a name (Name) or, with kTerminalBit, a node stopped at.
std::string ProgramUsage::Graph::ConsumerName(uint32_t consumer) const
{
    return (consumer & kTerminalBit) != 0 ? NodeName(consumer & ~kTerminalBit) : std::string(names[consumer]);
}

std::string ProgramUsage::Graph::MethodName(uint32_t ci, uint16_t mi) const
{
    return Joined(classes[ci].name, ".", classes[ci].methods[mi].name);
}

inline uint32_t ProgramUsage::Graph::ParamNode(uint32_t ci, uint16_t mi, uint16_t p)
{
    const uint64_t key = (uint64_t{kParamNode} << 60) | (uint64_t{ci} << 24) | (uint64_t{mi} << 8) | (p & 0xFF);
    if (const uint32_t* found = FindNode(key))
        return *found;
    const uint32_t node = Node(key);
    const MethodFacts& method = classes[ci].methods[mi];
    if (method.hasCode && !method.followed)
        Edge(node, TerminalOf(Use::Unknown, FormatStyle::None, false, Name("code not followed", true)), {});
    return node;
}

inline uint32_t ProgramUsage::Graph::CallNode(uint32_t target, uint16_t p)
{
    return Node((uint64_t{kCallNode} << 60) | (uint64_t{target} << 8) | (p & 0xFF));
}

inline uint32_t ProgramUsage::Graph::ConsumerOf(const ClassFacts& c, uint32_t consumer)
{
    uint32_t& name = classNames[consumer];
    if (name == kNone)
        name = Name(c.consumers[consumer], true);
    return name;
}

inline uint32_t ProgramUsage::Graph::TargetOfMember(const ClassFacts& c, uint32_t member)
{
    uint32_t& target = classTargets[member];
    if (target == kNone)
        target = hierarchy.TargetOf(c.members[member]);
    return target;
}

uint32_t ProgramUsage::Graph::TargetOfSink(uint32_t ci, const Sink& sink)
{
    const ClassFacts& c = classes[ci];
    switch (sink.kind) {
        case SinkKind::Consumer:
            return TerminalOf(sink.use, sink.format, sink.equalsStyle, ConsumerOf(c, sink.target));
        case SinkKind::Unknown:
            return TerminalOf(Use::Unknown, FormatStyle::None, false, ConsumerOf(c, sink.target));
        case SinkKind::Call: return CallNode(TargetOfMember(c, sink.target), sink.parameter);
        case SinkKind::CallSite:
            return sink.target < c.lookups.size()
                       ? CallNode(TargetOfMember(c, c.lookups[sink.target].member), sink.parameter)
                       : TerminalOf(Use::Unknown, FormatStyle::None, false, Name("nothing", true));
        case SinkKind::FieldStore: {
            const MemberRef& ref = c.members[sink.target];
            if (const auto field = hierarchy.ResolveField(ref))
                return FieldNode(field->first, field->second);
            return TerminalOf(Use::Unknown, FormatStyle::None, false,
                              Name(Joined("field ", ref.owner, ".", ref.name), false));
        }
        case SinkKind::Return:
            return sink.target < c.methods.size()
                       ? ReturnNode(ci, static_cast<uint16_t>(sink.target))
                       : TerminalOf(Use::Unknown, FormatStyle::None, false, Name("nothing", true));
    }
    return TerminalOf(Use::Unknown, FormatStyle::None, false, Name("nothing", true));
}

// The node a flow's origin stands for; kNone for a literal or a field of the platform.
uint32_t ProgramUsage::Graph::OriginNode(uint32_t ci, const Flow& flow)
{
    const ClassFacts& c = classes[ci];
    switch (flow.origin) {
        case OriginKind::Literal: return kNone;
        case OriginKind::Parameter:
            return flow.method < c.methods.size() ? ParamNode(ci, flow.method, static_cast<uint16_t>(flow.value))
                                                  : kNone;
        case OriginKind::FieldRead: {
            if (const auto field = hierarchy.ResolveField(c.members[flow.value]))
                return FieldNode(field->first, field->second);
            return kNone;
        }
        case OriginKind::CallResult: return ResultNode(TargetOfMember(c, flow.value));
        case OriginKind::Lookup: return kNone;  // like a literal: where its value starts
    }
    return kNone;
}

// What an object keeps and hands out by a method without parameters (`getName()`: a field,
// a constant), compared by equality where it comes back, is the object's name: the program
// finds the object by it (`for (Tool t : tools) if (t.getName().equals(name))`), and the
// name it looks for is read from a file, a template or settings the translation does not
// reach. Such a comparison forbids a change like a key, which an equality comparison alone
// does not (there the other side is mostly another literal of the program, translated
// alike); its consumer says which method handed the value out. Other results - of methods
// passed something (a formatting helper, a lookup) - stay plain comparisons.
namespace {

bool NamesShownText(std::string_view getter)
{
    std::string lower(getter);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char ch) {
        return static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    });
    for (const std::string_view word : {"display", "title", "label", "text", "description", "caption", "message", "tooltip"}) {
        if (lower.find(word) != std::string::npos)
            return true;
    }
    return lower == "tostring";
}

}  // namespace

uint32_t ProgramUsage::Graph::KeptNameCompared(const ClassFacts& c, const Flow& flow, uint32_t result, uint32_t to)
{
    if ((to & kTerminalBit) == 0 || flow.value >= c.members.size())
        return kNone;
    const Terminal terminal = terminals[to & ~kTerminalBit];
    // A getter that hands out a text: one that hands out an object (an event's data) is no
    // name of anything, whatever the object is compared with.
    if (UseOf(terminal.kind) != Use::Key || !EqualsOf(terminal.kind) ||
        c.members[flow.value].descriptor != "()Ljava/lang/String;")
        return kNone;
    // Equality of the text, not order (names sorted by compareTo are shown in that order, not
    // looked for) nor identity (== compares the objects, which a translation leaves alike).
    const std::string_view compared = names[terminal.consumer];
    const std::string_view method = compared.substr(compared.rfind('.') + 1);
    if (method != "equals" && method != "equalsIgnoreCase" && method != "contentEquals")
        return kNone;
    // A getter of what is shown (getDisplayName, getTitle, getLabel...) is compared to see a
    // change (logisim's library compares its old display name with its new one), not to find
    // the object: what both sides hold is translated alike.
    if (NamesShownText(c.members[flow.value].name))
        return kNone;
    return TerminalOfKind(kKeptNameKind, Name(Joined(compared, " on ", NodeName(result)), false));
}

bool ProgramUsage::Graph::TakesParameters(uint32_t resultNode) const
{
    const Target& t = hierarchy.TargetAt(static_cast<uint32_t>(nodeKey[resultNode] & 0xFFFFFFFFFFFull));
    return !t.ref.descriptor.starts_with("()");
}

void ProgramUsage::Graph::Build()
{
    const size_t n = classes.size();
    // The maps' sizes guessed from the facts: a node or target per sink or flow at most.
    size_t sinks = 0, flows = 0, members = 0;
    for (const ClassFacts& c : classes) {
        sinks += c.sinks.size();
        flows += c.flows.size();
        members += c.members.size();
    }
    hierarchy.Build(classes, std::min(members, sinks + flows));
    nodeAt.Reserve(flows + sinks / 2);
    // Every flow's sink becomes a terminal or a node; every flow from a parameter, a field or
    // a call's result becomes an edge.
    sinkFirst.assign(n + 1, 0u);
    for (uint32_t ci = 0; ci < n; ++ci) {
        const ClassFacts& c = classes[ci];
        classNames.assign(c.consumers.size(), kNone);
        classTargets.assign(c.members.size(), kNone);
        sinkFirst[ci] = static_cast<uint32_t>(sinkTargets.size());
        for (const Sink& sink : c.sinks)
            sinkTargets.push_back(TargetOfSink(ci, sink));
        const uint32_t first = sinkFirst[ci];
        for (const Flow& flow : c.flows) {
            const uint32_t from = OriginNode(ci, flow);
            if (from == kNone || flow.sink >= c.sinks.size())
                continue;
            const uint32_t to = sinkTargets[first + flow.sink];
            Edge(from, to, flow.format);
            if (flow.origin == OriginKind::CallResult) {
                if (const uint32_t kept = KeptNameCompared(c, flow, from, to); kept != kNone)
                    Edge(from, kept, flow.format);
            }
        }
    }
    sinkFirst[n] = static_cast<uint32_t>(sinkTargets.size());
}

void ProgramUsage::Graph::Connect()
{
    const ConsumerTable& table = ConsumerTable::Builtin();
    std::vector<const ConsumerLine*> lines;
    // The nodes grow while this runs: take the call and result nodes first.
    std::vector<std::pair<uint64_t, uint32_t>> calls;
    for (uint32_t node = 0; node < nodeKey.size(); ++node) {
        const uint64_t kind = nodeKey[node] >> 60;
        if (kind == kCallNode || kind == kResultNode)
            calls.emplace_back(nodeKey[node], node);
    }
    std::sort(calls.begin(), calls.end());
    for (const auto& [key, node] : calls) {
        const uint64_t kind = key >> 60;
        const auto target = static_cast<uint32_t>(kind == kCallNode ? (key >> 8) & 0xFFFFFFFFFFFull : key & 0xFFFFFFFFFFFull);
        const Target& t = hierarchy.Resolve(target);
        if (kind == kResultNode) {
            for (const auto& [ci, mi] : hierarchy.MethodsOf(t))
                Edge(ReturnNode(ci, mi), node, {});
            continue;
        }
        const auto p = static_cast<uint16_t>(key & 0xFF);
        for (const auto& [ci, mi] : hierarchy.MethodsOf(t))
            Edge(node, ParamNode(ci, mi, p), {});
        if (!t.library.empty()) {
            table.Find(t.library, t.ref.name, t.ref.descriptor, ClassMatch::Any, lines);
            bool named = false;
            uint32_t name = kNone;
            auto libraryName = [&] {
                if (name == kNone)
                    name = Name(Joined(t.library, ".", t.ref.name), false);
                return name;
            };
            for (const ConsumerLine* line : lines) {
                if (line->Names(p) && line->action == Action::Consume) {
                    Edge(node, TerminalOf(line->use, line->format, line->equalsStyle, libraryName()), {});
                    named = true;
                }
            }
            if (!named)
                Edge(node, TerminalOf(Use::Unknown, FormatStyle::None, false, libraryName()), {});
        }
    }
}

namespace {

// Each node's marks while the fixed point runs: the set of its kinds in one word, and the
// consumer of each (node, kind). A mark is held twice over: as it came back through a method's
// return to a call's result (`returned`), which the callers' arguments do not take, or not.
class MarkSets {
public:
    MarkSets(size_t nodes, size_t marked) : kinds_(nodes, 0) { consumers_.Reserve(marked * 2); }

    // True when the node's marks changed.
    bool Merge(uint32_t node, uint8_t kind, bool returned, uint32_t consumer)
    {
        bool fresh = false;
        uint32_t& kept = consumers_.FindOrInsert(Key(node, kind, returned), consumer, fresh);
        if (fresh) {
            kinds_[node] |= uint64_t{1} << kind;
            return true;
        }
        if (consumer < kept) {
            kept = consumer;
            return true;
        }
        return false;
    }

    uint64_t Kinds(uint32_t node) const noexcept { return kinds_[node]; }
    // The least consumer of the kind at the node, either way it came.
    uint32_t Consumer(uint32_t node, uint8_t kind) const
    {
        const uint32_t* direct = consumers_.Find(Key(node, kind, false));
        const uint32_t* returned = consumers_.Find(Key(node, kind, true));
        if (direct == nullptr)
            return *returned;
        return returned == nullptr ? *direct : std::min(*direct, *returned);
    }

private:
    static uint64_t Key(uint32_t node, uint8_t kind, bool returned)
    {
        return (uint64_t{node} << 7) | (returned ? 64u : 0u) | kind;
    }

    std::vector<uint64_t> kinds_;
    FlatMap consumers_;
};

}  // namespace

void ProgramUsage::Graph::FixedPoint()
{
    const size_t count = nodeKey.size();
    // Edges in two flat tables: each node's successors (nodes and terminals), and each node's
    // predecessors.
    std::vector<uint32_t> firstSuccessor(count + 1, 0);
    std::vector<uint32_t> firstPredecessor(count + 1, 0);
    for (const EdgeRecord& e : edgeList) {
        ++firstSuccessor[e.from + 1];
        if ((e.to & kTerminalBit) == 0)
            ++firstPredecessor[e.to + 1];
    }
    for (size_t i = 0; i < count; ++i) {
        firstSuccessor[i + 1] += firstSuccessor[i];
        firstPredecessor[i + 1] += firstPredecessor[i];
    }
    std::vector<std::pair<uint32_t, FormatStyle>> successorEdges(firstSuccessor[count]);
    std::vector<std::pair<uint32_t, FormatStyle>> predecessorEdges(firstPredecessor[count]);
    {
        std::vector<uint32_t> s(firstSuccessor.begin(), firstSuccessor.end() - 1);
        std::vector<uint32_t> p(firstPredecessor.begin(), firstPredecessor.end() - 1);
        for (const EdgeRecord& e : edgeList) {
            successorEdges[s[e.from]++] = {e.to, e.flag};
            if ((e.to & kTerminalBit) == 0)
                predecessorEdges[p[e.to]++] = {e.from, e.flag};
        }
    }

    // Only the marks of the nodes a literal reaches are ever read (a literal's findings are
    // the marks of where it goes), and a node's marks come from the nodes after it alone: the
    // fixed point runs on the nodes after a literal's sinks.
    std::vector<uint8_t> reached(count, 0);
    std::vector<uint32_t> work;
    for (size_t ci = 0; ci < classes.size(); ++ci) {
        const std::span<const uint32_t> targetsOfSinks = SinkTargetsOf(ci);
        // A literal's value and a looked-up value are where findings are read.
        for (const OriginKind origin : {OriginKind::Literal, OriginKind::Lookup}) {
            for (const Flow& flow : FlowsFrom(classes[ci], origin)) {
                if (flow.sink >= targetsOfSinks.size())
                    continue;
                const uint32_t to = targetsOfSinks[flow.sink];
                if ((to & kTerminalBit) == 0 && !reached[to]) {
                    reached[to] = 1;
                    work.push_back(to);
                }
            }
        }
    }
    std::vector<uint32_t> reachedNodes;
    while (!work.empty()) {
        const uint32_t node = work.back();
        work.pop_back();
        reachedNodes.push_back(node);
        for (uint32_t k = firstSuccessor[node]; k < firstSuccessor[node + 1]; ++k) {
            const uint32_t to = successorEdges[k].first;
            if ((to & kTerminalBit) == 0 && !reached[to]) {
                reached[to] = 1;
                work.push_back(to);
            }
        }
    }
    std::sort(reachedNodes.begin(), reachedNodes.end());

    // Each node's marks: for each kind, the least consumer of the findings of that kind it
    // leads to. A consumer is passed on unchanged, so the consumers are taken least first,
    // each passed on as far as it goes: the first mark a node gets for a kind is then its
    // final one, and each node and kind is passed on to the nodes before it once.
    struct Seed {
        uint32_t consumer;
        uint32_t node;
        uint8_t kind;
    };
    std::vector<Seed> seeds;
    for (const uint32_t node : reachedNodes) {
        // A node that leads nowhere is where the analysis stops: the node is the consumer.
        if (firstSuccessor[node] == firstSuccessor[node + 1])
            seeds.push_back({node | kTerminalBit, node, KindOf(Use::Unknown, FormatStyle::None, false)});
        for (uint32_t k = firstSuccessor[node]; k < firstSuccessor[node + 1]; ++k) {
            const auto [to, flag] = successorEdges[k];
            if ((to & kTerminalBit) == 0)
                continue;
            const Terminal& terminal = terminals[to & ~kTerminalBit];
            seeds.push_back({terminal.consumer, node, ThroughFormat(terminal.kind, flag)});
        }
    }
    std::stable_sort(seeds.begin(), seeds.end(), [](const Seed& a, const Seed& b) { return a.consumer < b.consumer; });
    MarkSets sets(count, reachedNodes.size());
    struct Pending {
        uint32_t node;
        uint8_t kind;
        bool returned;  // it came back through a return to a call's result
    };
    std::vector<Pending> stack;  // to pass on
    auto kindOf = [&](uint32_t node) { return nodeKey[node] >> 60; };
    for (const Seed& seed : seeds) {
        if (!sets.Merge(seed.node, seed.kind, false, seed.consumer))
            continue;  // the node has this kind already, from a consumer no greater
        stack.push_back({seed.node, seed.kind, false});
        while (!stack.empty()) {
            const auto [node, kind, returned] = stack.back();
            stack.pop_back();
            for (uint32_t k = firstPredecessor[node]; k < firstPredecessor[node + 1]; ++k) {
                const auto [from, flag] = predecessorEdges[k];
                if (!reached[from])
                    continue;
                // What every call's result is put to reaches the method's return, and what
                // the method returns of its own; not its callers' arguments, each of which
                // ThroughCalls joined to where its own call's result goes. A field holds what
                // any method stores into it, for whatever reads it.
                bool back = returned;
                if (kindOf(from) == kReturnNode && kindOf(node) == kResultNode)
                    back = true;
                else if (kindOf(from) == kFieldNode)
                    back = false;
                else if (back && kindOf(from) == kCallNode && kindOf(node) == kParamNode)
                    continue;
                // A method that is passed something (a formatting helper, a lookup with its
                // default, a translation that falls back to its key) returns at every call the
                // values every caller passed: what one call's result is kept as says nothing of
                // what the method returns elsewhere.
                if (kind == kKeptNameKind && (nodeKey[node] >> 60) == kResultNode && TakesParameters(node))
                    continue;
                // What a translation call does inside with its message id reaches its callers as
                // the id's lookup, which the text's shape settles (OfferPolicy.cpp).
                uint8_t passed = ThroughFormat(kind, flag);
                if (translationNodes.Find(node) != nullptr)
                    passed = AsMessageId(passed);
                if (sets.Merge(from, passed, back, seed.consumer))
                    stack.push_back({from, passed, back});
            }
        }
    }
    markFirst.assign(count + 1, 0u);
    marks.clear();
    for (uint32_t node = 0; node < count; ++node) {
        markFirst[node] = static_cast<uint32_t>(marks.size());
        if (!reached[node])
            continue;
        for (uint64_t rest = sets.Kinds(node); rest != 0; rest &= rest - 1) {
            const auto kind = static_cast<uint8_t>(__builtin_ctzll(rest));
            marks.push_back({kind, sets.Consumer(node, kind)});
        }
    }
    markFirst[count] = static_cast<uint32_t>(marks.size());
}

void ProgramUsage::Graph::BareFindingsOf(PlaceRef place, std::vector<BareFinding>& out) const
{
    BareFindingsOf(place.classIndex, OriginKind::Literal, place.stringIndex, out,
                   place.oneMethod ? place.method : kEveryMethod);
}

void ProgramUsage::Graph::BareFindingsOf(size_t ci, OriginKind origin, uint32_t value,
                                         std::vector<BareFinding>& out, uint32_t onlyMethod) const
{
    out.clear();
    if (ci >= classes.size())
        return;
    const ClassFacts& c = classes[ci];
    const std::span<const uint32_t> targetsOfSinks = SinkTargetsOf(ci);
    const std::span<const Flow> flows = FlowsFrom(c, origin, value);
    auto add = [&](uint8_t kind, uint32_t consumer, uint32_t via, uint16_t method, uint32_t translation) {
        const BareFinding f{kind, consumer, via, method, translation};
        if (std::find(out.begin(), out.end(), f) == out.end())
            out.push_back(f);
    };
    for (auto it = flows.begin(); it != flows.end(); ++it) {
        if (it->sink >= targetsOfSinks.size() || (onlyMethod != kEveryMethod && it->method != onlyMethod))
            continue;
        const uint32_t target = targetsOfSinks[it->sink];
        // A literal's flow out of a translation call (ThroughCalls joined it to where the
        // call's result goes) is the use of a message id.
        uint32_t translation = kNone;
        if (origin == OriginKind::Literal && !joinedThrough.empty()) {
            const auto joined = joinedThrough.find({static_cast<uint32_t>(ci), it->value, it->method, it->sink, it->format});
            if (joined != joinedThrough.end()) {
                if (const uint32_t* name = translationNodes.Find(joined->second))
                    translation = *name;
            }
        }
        if ((target & kTerminalBit) != 0) {
            const Terminal& t = terminals[target & ~kTerminalBit];
            add(ThroughFormat(t.kind, it->format), t.consumer, kNone, it->method, translation);
            continue;
        }
        // A message id passed to a translation call: what the call does with it inside, which
        // is no use of the call's result (the decision tells it by `via`, OfferPolicy.cpp).
        const bool into = origin == OriginKind::Literal && translationNodes.Find(target) != nullptr;
        for (const Mark& m : MarksOf(target)) {
            const uint8_t kind = ThroughFormat(m.kind, it->format);
            add(into ? AsMessageId(kind) : kind, m.consumer, target, it->method, translation);
        }
    }
    if (out.empty())
        out.push_back({KindOf(Use::Unknown, FormatStyle::None, false), kNothing, kNone, kNoMethod, kNone});
}

Finding ProgramUsage::Graph::Words(const BareFinding& bare, size_t ci) const
{
    const ClassFacts& c = classes[ci];
    Finding f;
    f.use = UseOf(bare.kind);
    f.format = FormatOf(bare.kind);
    f.equalsStyle = EqualsOf(bare.kind);
    f.consumer = bare.consumer == kNothing ? std::string("nothing") : ConsumerName(bare.consumer);
    if (bare.via != kNone)
        f.via = NodeName(bare.via);
    f.className.assign(c.name);
    if (bare.method < c.methods.size())
        f.method.assign(c.methods[bare.method].name);
    if (bare.translation != kNone)
        f.translatedBy.assign(names[bare.translation]);
    return f;
}

}  // namespace cl::usage
