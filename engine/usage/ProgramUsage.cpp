#include "usage/ProgramUsage.h"

#include "classfile/ModifiedUtf8.h"
#include "usage/ConsumerTable.h"
#include "usage/FlatMap.h"
#include "usage/TextHash.h"
#include "usage/TextShape.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <tuple>

namespace cl::usage {

namespace {

constexpr uint32_t kTerminalBit = 0x80000000u;
constexpr uint32_t kNone = UINT32_MAX;

// A finding as the fixed point carries it: the kind in one byte (use, pattern kind, equality)
// and the consumer's name.
struct Mark {
    uint8_t kind;
    uint32_t consumer;
};

uint8_t KindOf(Use use, FormatStyle format, bool equalsStyle)
{
    return static_cast<uint8_t>(static_cast<unsigned>(use) * 6 + static_cast<unsigned>(format) * 2 +
                                (equalsStyle ? 1 : 0));
}
Use UseOf(uint8_t kind)
{
    return static_cast<Use>(kind / 6);
}
FormatStyle FormatOf(uint8_t kind)
{
    return static_cast<FormatStyle>((kind / 2) % 3);
}
bool EqualsOf(uint8_t kind)
{
    return (kind & 1) != 0;
}
// Kinds are below 64 (nine uses, three pattern kinds, equality or not): a node's set of kinds
// is one word.
static_assert(kUseCount * 6 <= 64);

// What a finding becomes when the value was the pattern of a formatting on its way: shown
// uses make the pattern a format; an unknown one remembers the formatting; a key, name or
// pattern stays what it is (the formatting builds a key).
uint8_t ThroughFormat(uint8_t kind, FormatStyle flag)
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

// Every view below points into the classes' own text or into the graph's, which live as long
// as the graph.
struct Target {
    MemberRef ref;
    bool resolved = false;
    bool unresolvedOwner = false;
    std::string_view library;  // the first platform class it is inherited from, if any
    uint32_t firstMethod = 0;  // the (class, method) pairs it may run, in Graph::targetMethods
    uint32_t methodCount = 0;
};

uint64_t HashMember(const MemberRef& ref) noexcept
{
    return HashText(ref.descriptor, HashText(ref.name, HashText(ref.owner)));
}

// The next key to try when a key's slot holds another text of the same hash.
uint64_t NextKey(uint64_t key) noexcept
{
    return key * 0x9E3779B97F4A7C15ull + 1;
}

// A finding before its words are made: its kind, its consumer (a name, or a node with
// kTerminalBit), the node it went through (kNone when none) and its method.
struct BareFinding {
    uint8_t kind = 0;
    uint32_t consumer = 0;
    uint32_t via = kNone;
    uint16_t method = kNoMethod;

    bool operator==(const BareFinding&) const = default;
};
// The consumer of the finding of a literal that goes nowhere.
constexpr uint32_t kNothing = kNone;

}  // namespace

struct ProgramUsage::Graph {
    std::vector<ClassFacts> classes;
    FlatMap classIds;  // hash of a class name -> the first class of that name
    std::vector<int32_t> superOf;           // per class: its superclass among the classes, or -1
    std::vector<uint32_t> interfaceFirst;   // per class, into interfaceOf; one more at the end
    std::vector<uint32_t> interfaceOf;      // the interfaces among the classes, in order
    std::vector<uint32_t> childFirst;  // per class, into children; one more at the end
    std::vector<uint32_t> children;

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

    std::vector<Target> targets;
    FlatMap targetIds;  // hash of a member -> its index in targets
    std::vector<std::pair<uint32_t, uint16_t>> targetMethods;

    // Field references resolved: hash of the reference -> its index in fieldRefs.
    struct FieldRef {
        MemberRef ref;
        std::optional<std::pair<uint32_t, uint16_t>> field;
    };
    std::vector<FieldRef> fieldRefs;
    FlatMap fieldRefIds;

    std::vector<uint32_t> sinkFirst;    // per class, into sinkTargets; one more at the end
    std::vector<uint32_t> sinkTargets;  // per class, per sink

    // Scratch of the resolutions: the classes met (a class is met when it holds the current
    // stamp) and the classes still to look at.
    std::vector<uint32_t> metAt;
    uint32_t stamp = 0;
    std::vector<uint32_t> pending;
    std::vector<uint32_t> interfaces;
    std::vector<std::pair<uint32_t, uint16_t>> found;

    uint32_t NewStamp()
    {
        if (++stamp == 0) {
            std::fill(metAt.begin(), metAt.end(), 0u);
            stamp = 1;
        }
        return stamp;
    }

    // `text` is kept as it is when it lives as long as the graph (a class's text, a constant),
    // else copied.
    uint32_t Name(std::string_view text, bool lasting)
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

    uint32_t TerminalOf(Use use, FormatStyle format, bool equalsStyle, uint32_t consumer)
    {
        const uint8_t kind = KindOf(use, format, equalsStyle);
        const uint64_t key = (uint64_t{kind} << 32) | consumer;
        bool fresh = false;
        const uint32_t id = terminalIds.FindOrInsert(key, static_cast<uint32_t>(terminals.size()), fresh);
        if (fresh)
            terminals.push_back({kind, consumer});
        return id | kTerminalBit;
    }

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

    static std::string Joined(std::string_view a, std::string_view b, std::string_view c, std::string_view d = {})
    {
        std::string out;
        out.reserve(a.size() + b.size() + c.size() + d.size());
        out.append(a).append(b).append(c).append(d);
        return out;
    }

    // A node's description, the consumer named when the analysis stops there.
    std::string NodeName(uint32_t node) const
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
                const Target& t = targets[(key >> 8) & 0xFFFFFFFFFFFull];
                return "parameter " + std::to_string(key & 0xFF) + " of " + Joined(t.ref.owner, ".", t.ref.name);
            }
            case kResultNode: {
                const Target& t = targets[key & 0xFFFFFFFFFFFull];
                return Joined("return of ", t.ref.owner, ".", t.ref.name) + "()";
            }
            default: return "nothing";
        }
    }

    // A consumer is a name (Name) or, with kTerminalBit, a node stopped at.
    std::string ConsumerName(uint32_t consumer) const
    {
        return (consumer & kTerminalBit) != 0 ? NodeName(consumer & ~kTerminalBit) : std::string(names[consumer]);
    }

    std::string MethodName(uint32_t ci, uint16_t mi) const
    {
        return Joined(classes[ci].name, ".", classes[ci].methods[mi].name);
    }

    uint32_t ParamNode(uint32_t ci, uint16_t mi, uint16_t p)
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

    uint32_t ReturnNode(uint32_t ci, uint16_t mi) { return Node((uint64_t{kReturnNode} << 60) | (uint64_t{ci} << 16) | mi); }

    uint32_t FieldNode(uint32_t ci, uint16_t fi) { return Node((uint64_t{kFieldNode} << 60) | (uint64_t{ci} << 16) | fi); }

    uint32_t TargetOf(const MemberRef& ref)
    {
        for (uint64_t key = HashMember(ref);; key = NextKey(key)) {
            bool fresh = false;
            const uint32_t id = targetIds.FindOrInsert(key, static_cast<uint32_t>(targets.size()), fresh);
            if (fresh) {
                Target t;
                t.ref = ref;
                targets.push_back(t);
                return id;
            }
            const MemberRef& known = targets[id].ref;
            if (known.owner == ref.owner && known.name == ref.name && known.descriptor == ref.descriptor)
                return id;
        }
    }

    uint32_t CallNode(uint32_t target, uint16_t p)
    {
        return Node((uint64_t{kCallNode} << 60) | (uint64_t{target} << 8) | (p & 0xFF));
    }

    uint32_t ResultNode(uint32_t target) { return Node((uint64_t{kResultNode} << 60) | target); }

    int64_t ClassOf(std::string_view name) const
    {
        for (uint64_t key = HashText(name);; key = NextKey(key)) {
            const uint32_t* found = classIds.Find(key);
            if (found == nullptr)
                return -1;
            if (classes[*found].name == name)
                return *found;
        }
    }

    int32_t MethodOf(uint32_t ci, std::string_view name, std::string_view descriptor) const
    {
        const std::vector<MethodFacts>& methods = classes[ci].methods;
        for (size_t mi = 0; mi < methods.size(); ++mi) {
            const MethodFacts& m = methods[mi];
            if (m.name.size() == name.size() && m.descriptor.size() == descriptor.size() && m.name == name &&
                m.descriptor == descriptor)
                return static_cast<int32_t>(mi);
        }
        return -1;
    }

    std::span<const uint32_t> InterfacesOf(uint32_t ci) const
    {
        return {interfaceOf.data() + interfaceFirst[ci], interfaceFirst[ci + 1] - interfaceFirst[ci]};
    }

    std::span<const std::pair<uint32_t, uint16_t>> MethodsOf(const Target& t) const
    {
        return {targetMethods.data() + t.firstMethod, t.methodCount};
    }

    // Which of the program's methods a call may run, and the platform class it may reach.
    const Target& Resolve(uint32_t target)
    {
        Target& t = targets[target];
        if (t.resolved)
            return t;
        t.resolved = true;
        const int64_t owner = ClassOf(t.ref.owner);
        if (owner < 0) {
            t.library = t.ref.owner;
            t.unresolvedOwner = true;
            return t;
        }
        found.clear();
        auto take = [&](uint32_t ci) {
            const int32_t mi = MethodOf(ci, t.ref.name, t.ref.descriptor);
            if (mi < 0)
                return false;
            if (classes[ci].methods[static_cast<size_t>(mi)].hasCode)
                found.emplace_back(ci, static_cast<uint16_t>(mi));
            return true;
        };
        auto finish = [&] {
            std::sort(found.begin(), found.end());
            found.erase(std::unique(found.begin(), found.end()), found.end());
            t.firstMethod = static_cast<uint32_t>(targetMethods.size());
            t.methodCount = static_cast<uint32_t>(found.size());
            targetMethods.insert(targetMethods.end(), found.begin(), found.end());
        };
        if (t.ref.name == "<init>" || t.ref.name == "<clinit>") {
            take(static_cast<uint32_t>(owner));
            finish();
            return t;
        }
        // Upwards: the declaration the call resolves to (a superclass's, or an interface's
        // default method), or the platform class the program's classes extend.
        interfaces.clear();
        uint32_t met = NewStamp();
        bool declared = false;
        std::string_view at = t.ref.owner;
        int64_t ci = owner;
        for (int depth = 0; depth < 4096 && !declared; ++depth) {
            if (ci < 0) {
                if (!at.empty())
                    t.library = at;
                break;
            }
            if (metAt[static_cast<size_t>(ci)] == met)
                break;
            metAt[static_cast<size_t>(ci)] = met;
            declared = take(static_cast<uint32_t>(ci));
            for (const uint32_t ii : InterfacesOf(static_cast<uint32_t>(ci)))
                interfaces.push_back(ii);
            at = classes[static_cast<size_t>(ci)].superName;
            ci = superOf[static_cast<size_t>(ci)];
        }
        for (size_t k = 0; k < interfaces.size() && !declared; ++k) {
            const uint32_t ii = interfaces[k];
            if (metAt[ii] == met)
                continue;
            metAt[ii] = met;
            declared = take(ii);
            for (const uint32_t next : InterfacesOf(ii))
                interfaces.push_back(next);
        }
        if (declared)
            t.library = {};
        // Downwards: every override in the program's subclasses and implementations.
        met = NewStamp();
        pending.assign(children.begin() + childFirst[static_cast<size_t>(owner)],
                       children.begin() + childFirst[static_cast<size_t>(owner) + 1]);
        while (!pending.empty()) {
            const uint32_t ci = pending.back();
            pending.pop_back();
            if (metAt[ci] == met)
                continue;
            metAt[ci] = met;
            take(ci);
            pending.insert(pending.end(), children.begin() + childFirst[ci], children.begin() + childFirst[ci + 1]);
        }
        finish();
        return t;
    }

    // The field a reference means: declared by its class, an interface or a superclass.
    std::optional<std::pair<uint32_t, uint16_t>> ResolveField(const MemberRef& ref)
    {
        for (uint64_t key = HashMember(ref);; key = NextKey(key)) {
            bool fresh = false;
            const uint32_t id = fieldRefIds.FindOrInsert(key, static_cast<uint32_t>(fieldRefs.size()), fresh);
            if (fresh) {
                fieldRefs.push_back({ref, FindField(ref)});
                return fieldRefs.back().field;
            }
            const MemberRef& known = fieldRefs[id].ref;
            if (known.owner == ref.owner && known.name == ref.name && known.descriptor == ref.descriptor)
                return fieldRefs[id].field;
        }
    }

    std::optional<std::pair<uint32_t, uint16_t>> FindField(const MemberRef& ref)
    {
        const int64_t owner = ClassOf(ref.owner);
        if (owner < 0)
            return std::nullopt;
        pending.assign(1, static_cast<uint32_t>(owner));
        const uint32_t met = NewStamp();
        for (size_t k = 0; k < pending.size() && k < 4096; ++k) {
            const uint32_t ci = pending[k];
            if (metAt[ci] == met)
                continue;
            metAt[ci] = met;
            const ClassFacts& c = classes[ci];
            for (size_t fi = 0; fi < c.fields.size(); ++fi) {
                if (c.fields[fi].name == ref.name && c.fields[fi].descriptor == ref.descriptor)
                    return std::make_pair(ci, static_cast<uint16_t>(fi));
            }
            for (const uint32_t ii : InterfacesOf(ci))
                pending.push_back(ii);
            if (superOf[ci] >= 0)
                pending.push_back(static_cast<uint32_t>(superOf[ci]));
        }
        return std::nullopt;
    }

    // The class's consumer names and member targets as Build meets them, each found once per
    // class rather than once per sink or flow.
    std::vector<uint32_t> classNames;    // per consumer of the class: its name, or kNone
    std::vector<uint32_t> classTargets;  // per member of the class: its target, or kNone

    uint32_t ConsumerOf(const ClassFacts& c, uint32_t consumer)
    {
        uint32_t& name = classNames[consumer];
        if (name == kNone)
            name = Name(c.consumers[consumer], true);
        return name;
    }

    uint32_t TargetOfMember(const ClassFacts& c, uint32_t member)
    {
        uint32_t& target = classTargets[member];
        if (target == kNone)
            target = TargetOf(c.members[member]);
        return target;
    }

    uint32_t TargetOfSink(uint32_t ci, const Sink& sink)
    {
        const ClassFacts& c = classes[ci];
        switch (sink.kind) {
            case SinkKind::Consumer:
                return TerminalOf(sink.use, sink.format, sink.equalsStyle, ConsumerOf(c, sink.target));
            case SinkKind::Unknown:
                return TerminalOf(Use::Unknown, FormatStyle::None, false, ConsumerOf(c, sink.target));
            case SinkKind::Call: return CallNode(TargetOfMember(c, sink.target), sink.parameter);
            case SinkKind::FieldStore: {
                const MemberRef& ref = c.members[sink.target];
                if (const auto field = ResolveField(ref))
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
    uint32_t OriginNode(uint32_t ci, const Flow& flow)
    {
        const ClassFacts& c = classes[ci];
        switch (flow.origin) {
            case OriginKind::Literal: return kNone;
            case OriginKind::Parameter:
                return flow.method < c.methods.size() ? ParamNode(ci, flow.method, static_cast<uint16_t>(flow.value))
                                                      : kNone;
            case OriginKind::FieldRead: {
                if (const auto field = ResolveField(c.members[flow.value]))
                    return FieldNode(field->first, field->second);
                return kNone;
            }
            case OriginKind::CallResult: return ResultNode(TargetOfMember(c, flow.value));
        }
        return kNone;
    }

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

    void Build();
    void Connect();
    void FixedPoint();
};

void ProgramUsage::Graph::Build()
{
    const size_t n = classes.size();
    metAt.assign(n, 0u);
    // The maps' sizes guessed from the facts: a node or target per sink or flow at most.
    size_t sinks = 0, flows = 0, members = 0;
    for (const ClassFacts& c : classes) {
        sinks += c.sinks.size();
        flows += c.flows.size();
        members += c.members.size();
    }
    classIds.Reserve(n);
    nodeAt.Reserve(flows + sinks / 2);
    targetIds.Reserve(std::min(members, sinks + flows));
    for (uint32_t ci = 0; ci < n; ++ci) {
        const ClassFacts& c = classes[ci];
        if (!c.parsed)
            continue;
        // The first class of a name is the one that runs.
        for (uint64_t key = HashText(c.name);; key = NextKey(key)) {
            bool fresh = false;
            const uint32_t id = classIds.FindOrInsert(key, ci, fresh);
            if (fresh || classes[id].name == c.name)
                break;
        }
    }
    // Each class's superclass and interfaces among the classes, found by name once.
    superOf.assign(n, -1);
    interfaceFirst.assign(n + 1, 0u);
    interfaceOf.clear();
    for (uint32_t ci = 0; ci < n; ++ci) {
        const ClassFacts& c = classes[ci];
        interfaceFirst[ci] = static_cast<uint32_t>(interfaceOf.size());
        if (!c.parsed)
            continue;
        superOf[ci] = static_cast<int32_t>(ClassOf(c.superName));
        for (const std::string_view i : c.interfaces) {
            const int64_t ii = ClassOf(i);
            if (ii >= 0)
                interfaceOf.push_back(static_cast<uint32_t>(ii));
        }
    }
    interfaceFirst[n] = static_cast<uint32_t>(interfaceOf.size());
    // Each class's subclasses and implementations, in class order.
    childFirst.assign(n + 1, 0u);
    auto parents = [&](uint32_t ci, auto&& visit) {
        const int32_t sup = superOf[ci];
        if (sup >= 0 && static_cast<uint32_t>(sup) != ci)
            visit(static_cast<uint32_t>(sup));
        for (const uint32_t ii : InterfacesOf(ci)) {
            if (ii != ci)
                visit(ii);
        }
    };
    for (uint32_t ci = 0; ci < n; ++ci) {
        if (classes[ci].parsed)
            parents(ci, [&](uint32_t parent) { ++childFirst[parent + 1]; });
    }
    for (size_t i = 0; i < n; ++i)
        childFirst[i + 1] += childFirst[i];
    children.assign(childFirst[n], 0u);
    {
        std::vector<uint32_t> at(childFirst.begin(), childFirst.end() - 1);
        for (uint32_t ci = 0; ci < n; ++ci) {
            if (classes[ci].parsed)
                parents(ci, [&](uint32_t parent) { children[at[parent]++] = ci; });
        }
    }
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
            if (from != kNone && flow.sink < c.sinks.size())
                Edge(from, sinkTargets[first + flow.sink], flow.format);
        }
    }
    sinkFirst[n] = static_cast<uint32_t>(sinkTargets.size());
}

// Calls reach the methods they may run; returns reach the calls' results.
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
        Resolve(target);
        const Target& t = targets[target];
        if (kind == kResultNode) {
            for (const auto& [ci, mi] : MethodsOf(t))
                Edge(ReturnNode(ci, mi), node, {});
            continue;
        }
        const auto p = static_cast<uint16_t>(key & 0xFF);
        for (const auto& [ci, mi] : MethodsOf(t))
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
// consumer of each (node, kind).
class MarkSets {
public:
    MarkSets(size_t nodes, size_t marked) : kinds_(nodes, 0) { consumers_.Reserve(marked * 2); }

    // True when the node's marks changed.
    bool Merge(uint32_t node, uint8_t kind, uint32_t consumer)
    {
        bool fresh = false;
        uint32_t& kept = consumers_.FindOrInsert((uint64_t{node} << 6) | kind, consumer, fresh);
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
    uint32_t Consumer(uint32_t node, uint8_t kind) const { return *consumers_.Find((uint64_t{node} << 6) | kind); }

private:
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
        for (const Flow& flow : classes[ci].flows) {
            if (flow.origin != OriginKind::Literal)
                break;  // flows are sorted by origin, literals first
            if (flow.sink >= targetsOfSinks.size())
                continue;
            const uint32_t to = targetsOfSinks[flow.sink];
            if ((to & kTerminalBit) == 0 && !reached[to]) {
                reached[to] = 1;
                work.push_back(to);
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
    std::vector<std::pair<uint32_t, uint8_t>> stack;  // (node, kind) to pass on
    for (const Seed& seed : seeds) {
        if (!sets.Merge(seed.node, seed.kind, seed.consumer))
            continue;  // the node has this kind already, from a consumer no greater
        stack.emplace_back(seed.node, seed.kind);
        while (!stack.empty()) {
            const auto [node, kind] = stack.back();
            stack.pop_back();
            for (uint32_t k = firstPredecessor[node]; k < firstPredecessor[node + 1]; ++k) {
                const auto [from, flag] = predecessorEdges[k];
                if (!reached[from])
                    continue;
                const uint8_t passed = ThroughFormat(kind, flag);
                if (sets.Merge(from, passed, seed.consumer))
                    stack.emplace_back(from, passed);
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
    g.Build();
    g.Connect();
    g.FixedPoint();
    return usage;
}

const std::vector<ClassFacts>& ProgramUsage::Classes() const noexcept
{
    static const std::vector<ClassFacts> none;
    return graph_ ? graph_->classes : none;
}

void ProgramUsage::Graph::BareFindingsOf(PlaceRef place, std::vector<BareFinding>& out) const
{
    out.clear();
    if (place.classIndex >= classes.size())
        return;
    const ClassFacts& c = classes[place.classIndex];
    const std::span<const uint32_t> targetsOfSinks = SinkTargetsOf(place.classIndex);
    const Flow probe{OriginKind::Literal, FormatStyle::None, 0, place.stringIndex, 0};
    auto [first, last] = std::equal_range(c.flows.begin(), c.flows.end(), probe, [](const Flow& a, const Flow& b) {
        return std::tie(a.origin, a.value) < std::tie(b.origin, b.value);
    });
    auto add = [&](uint8_t kind, uint32_t consumer, uint32_t via, uint16_t method) {
        const BareFinding f{kind, consumer, via, method};
        if (std::find(out.begin(), out.end(), f) == out.end())
            out.push_back(f);
    };
    for (auto it = first; it != last; ++it) {
        if (it->sink >= targetsOfSinks.size())
            continue;
        const uint32_t target = targetsOfSinks[it->sink];
        if ((target & kTerminalBit) != 0) {
            const Terminal& t = terminals[target & ~kTerminalBit];
            add(ThroughFormat(t.kind, it->format), t.consumer, kNone, it->method);
            continue;
        }
        for (const Mark& m : MarksOf(target))
            add(ThroughFormat(m.kind, it->format), m.consumer, target, it->method);
    }
    if (out.empty())
        out.push_back({KindOf(Use::Unknown, FormatStyle::None, false), kNothing, kNone, kNoMethod});
}

std::vector<Finding> ProgramUsage::FindingsOf(PlaceRef place) const
{
    std::vector<Finding> out;
    if (!graph_ || place.classIndex >= graph_->classes.size())
        return out;
    const Graph& g = *graph_;
    const ClassFacts& c = g.classes[place.classIndex];
    std::vector<BareFinding> bare;
    g.BareFindingsOf(place, bare);
    for (const BareFinding& b : bare) {
        Finding f;
        f.use = UseOf(b.kind);
        f.format = FormatOf(b.kind);
        f.equalsStyle = EqualsOf(b.kind);
        f.consumer = b.consumer == kNothing ? std::string("nothing") : g.ConsumerName(b.consumer);
        if (b.via != kNone)
            f.via = g.NodeName(b.via);
        f.className.assign(c.name);
        if (b.method < c.methods.size())
            f.method.assign(c.methods[b.method].name);
        // Two places of the graph can read the same: a finding is given once.
        if (std::find(out.begin(), out.end(), f) == out.end())
            out.push_back(std::move(f));
    }
    return out;
}

namespace {

int ShownRank(Use use)
{
    switch (use) {
        case Use::Format: return 0;
        case Use::Ui: return 1;
        case Use::Message: return 2;
        case Use::Log: return 3;
        default: return 9;
    }
}

int ForbiddingRank(Use use)
{
    switch (use) {
        case Use::Name: return 0;
        case Use::Pattern: return 1;
        case Use::Key: return 2;
        default: return 9;
    }
}

bool Forbids(Use use, bool equalsStyle)
{
    return use == Use::Name || use == Use::Pattern || (use == Use::Key && !equalsStyle);
}

}  // namespace

Decision ProgramUsage::Decide(std::string_view text, std::span<const PlaceRef> places) const
{
    // The findings of every place, bare: a finding's words are made only when the decision
    // names it.
    struct Placed {
        BareFinding f;
        size_t place;
    };
    thread_local std::vector<Placed> findings;
    thread_local std::vector<BareFinding> bare;
    findings.clear();
    if (graph_) {
        for (size_t p = 0; p < places.size(); ++p) {
            graph_->BareFindingsOf(places[p], bare);
            for (const BareFinding& f : bare)
                findings.push_back({f, p});
        }
    }
    // The words of a finding, as FindingsOf gives them.
    auto words = [&](const Placed& placed) {
        const Graph& g = *graph_;
        const ClassFacts& c = g.classes[places[placed.place].classIndex];
        Finding f;
        f.use = UseOf(placed.f.kind);
        f.format = FormatOf(placed.f.kind);
        f.equalsStyle = EqualsOf(placed.f.kind);
        f.consumer = placed.f.consumer == kNothing ? std::string("nothing") : g.ConsumerName(placed.f.consumer);
        if (placed.f.via != kNone)
            f.via = g.NodeName(placed.f.via);
        f.className.assign(c.name);
        if (placed.f.method < c.methods.size())
            f.method.assign(c.methods[placed.f.method].name);
        return f;
    };

    Decision d;
    const Placed* shown = nullptr;
    const Placed* forbidding = nullptr;
    const Placed* other = nullptr;  // a key compared by equality, or data
    const Placed* unknown = nullptr;
    size_t placeOfForbidding = SIZE_MAX;
    size_t firstOfPlace = 0;  // where the current place's forbidding findings start in d.forbidding
    for (const Placed& placed : findings) {
        const Use use = UseOf(placed.f.kind);
        const FormatStyle format = FormatOf(placed.f.kind);
        if (Forbids(use, EqualsOf(placed.f.kind))) {
            // FindingsOf gives a finding once per place even where two places of the graph
            // read the same.
            if (placed.place != placeOfForbidding) {
                placeOfForbidding = placed.place;
                firstOfPlace = d.forbidding.size();
            }
            Finding f = words(placed);
            if (std::find(d.forbidding.begin() + static_cast<std::ptrdiff_t>(firstOfPlace), d.forbidding.end(), f) ==
                d.forbidding.end())
                d.forbidding.push_back(std::move(f));
            if (forbidding == nullptr || ForbiddingRank(use) < ForbiddingRank(UseOf(forbidding->f.kind)))
                forbidding = &placed;
        } else if (IsShown(use)) {
            if (shown == nullptr || ShownRank(use) < ShownRank(UseOf(shown->f.kind)))
                shown = &placed;
        } else if (use == Use::Unknown) {
            if (unknown == nullptr || (FormatOf(unknown->f.kind) == FormatStyle::None && format != FormatStyle::None))
                unknown = &placed;
        } else if (other == nullptr) {
            other = &placed;
        }
    }
    auto take = [&](const Placed* f, Use use) {
        d.use = use;
        if (f != nullptr) {
            d.format = FormatOf(f->f.kind);
            d.consumer = f->f.consumer == kNothing ? std::string("nothing") : graph_->ConsumerName(f->f.consumer);
        }
    };
    // A pattern's placeholders are no words: read without them, "%s[]" holds no letter.
    const Placed* first = shown != nullptr ? shown : forbidding != nullptr ? forbidding : other != nullptr ? other : unknown;
    if (IsData(text, first != nullptr ? FormatOf(first->f.kind) : FormatStyle::None)) {
        d.forbidding.clear();
        take(first, Use::Data);
        d.format = FormatStyle::None;
        return d;
    }
    if (forbidding != nullptr) {
        take(forbidding, UseOf(forbidding->f.kind));
        return d;
    }
    if (shown != nullptr) {
        d.offered = true;
        take(shown, UseOf(shown->f.kind));
        return d;
    }
    if (other != nullptr) {
        take(other, UseOf(other->f.kind));
        return d;
    }
    d.offered = ReadsAsProse(text);
    take(unknown, d.offered ? Use::Unknown : Use::Data);
    return d;
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

}  // namespace cl::usage
