#include "usage/ProgramUsage.h"

#include "usage/ConsumerTable.h"
#include "usage/TextShape.h"

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>
#include <unordered_map>

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

struct Target {
    std::string owner;
    std::string name;
    std::string descriptor;
    bool resolved = false;
    std::vector<std::pair<uint32_t, uint16_t>> methods;  // (class, method) it may run
    std::string library;  // the first platform class it is inherited from, if any
    bool unresolvedOwner = false;
};

}  // namespace

struct ProgramUsage::Graph {
    std::vector<ClassFacts> classes;
    std::unordered_map<std::string_view, uint32_t> classByName;
    std::vector<std::vector<uint32_t>> children;

    std::vector<std::string> names;
    std::unordered_map<std::string, uint32_t> nameIds;

    std::vector<Terminal> terminals;
    std::unordered_map<uint64_t, uint32_t> terminalIds;

    std::unordered_map<uint64_t, uint32_t> nodeAt;
    std::vector<uint64_t> nodeKey;  // per node: what it stands for (its name is made from it)
    struct EdgeRecord {
        uint32_t from;
        uint32_t to;  // a node, or a terminal with kTerminalBit
        FormatStyle flag;
    };
    std::vector<EdgeRecord> edgeList;
    std::vector<std::vector<Mark>> marks;

    std::vector<Target> targets;
    std::unordered_map<std::string, uint32_t> targetIds;

    std::vector<std::vector<uint32_t>> sinkTargets;  // per class, per sink

    uint32_t Name(std::string_view text)
    {
        const auto [it, fresh] = nameIds.emplace(std::string(text), 0u);
        if (fresh) {
            it->second = static_cast<uint32_t>(names.size());
            names.emplace_back(text);
        }
        return it->second;
    }

    uint32_t TerminalOf(Use use, FormatStyle format, bool equalsStyle, uint32_t consumer)
    {
        const uint8_t kind = KindOf(use, format, equalsStyle);
        const uint64_t key = (uint64_t{kind} << 32) | consumer;
        const auto [it, fresh] = terminalIds.emplace(key, 0u);
        if (fresh) {
            it->second = static_cast<uint32_t>(terminals.size());
            terminals.push_back({kind, consumer});
        }
        return it->second | kTerminalBit;
    }

    uint32_t Node(uint64_t key)
    {
        const auto [it, fresh] = nodeAt.emplace(key, 0u);
        if (fresh) {
            it->second = static_cast<uint32_t>(nodeKey.size());
            nodeKey.push_back(key);
        }
        return it->second;
    }

    void Edge(uint32_t from, uint32_t to, FormatStyle flag) { edgeList.push_back({from, to, flag}); }

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
                return "field " + std::string(c.name) + "." + std::string(c.fields[static_cast<uint16_t>(key)].name);
            }
            case kCallNode: {
                const Target& t = targets[(key >> 8) & 0xFFFFFFFFFFFull];
                return "parameter " + std::to_string(key & 0xFF) + " of " + t.owner + "." + t.name;
            }
            case kResultNode: {
                const Target& t = targets[key & 0xFFFFFFFFFFFull];
                return "return of " + t.owner + "." + t.name + "()";
            }
            default: return "nothing";
        }
    }

    // A consumer is a name (Name) or, with kTerminalBit, a node stopped at.
    std::string ConsumerName(uint32_t consumer) const
    {
        return (consumer & kTerminalBit) != 0 ? NodeName(consumer & ~kTerminalBit) : names[consumer];
    }

    std::string MethodName(uint32_t ci, uint16_t mi) const
    {
        return std::string(classes[ci].name) + "." + std::string(classes[ci].methods[mi].name);
    }

    uint32_t ParamNode(uint32_t ci, uint16_t mi, uint16_t p)
    {
        const uint64_t key = (uint64_t{kParamNode} << 60) | (uint64_t{ci} << 24) | (uint64_t{mi} << 8) | (p & 0xFF);
        const auto found = nodeAt.find(key);
        if (found != nodeAt.end())
            return found->second;
        const uint32_t node = Node(key);
        const MethodFacts& method = classes[ci].methods[mi];
        if (method.hasCode && !method.followed)
            Edge(node, TerminalOf(Use::Unknown, FormatStyle::None, false, Name("code not followed")), {});
        return node;
    }

    uint32_t ReturnNode(uint32_t ci, uint16_t mi)
    {
        const uint64_t key = (uint64_t{kReturnNode} << 60) | (uint64_t{ci} << 16) | mi;
        const auto found = nodeAt.find(key);
        return found != nodeAt.end() ? found->second : Node(key);
    }

    uint32_t FieldNode(uint32_t ci, uint16_t fi)
    {
        const uint64_t key = (uint64_t{kFieldNode} << 60) | (uint64_t{ci} << 16) | fi;
        const auto found = nodeAt.find(key);
        return found != nodeAt.end() ? found->second : Node(key);
    }

    uint32_t TargetOf(const MemberRef& ref)
    {
        std::string key;
        key.reserve(ref.owner.size() + ref.name.size() + ref.descriptor.size() + 1);
        key.append(ref.owner).append(".").append(ref.name).append(ref.descriptor);
        const auto [it, fresh] = targetIds.emplace(std::move(key), 0u);
        if (fresh) {
            it->second = static_cast<uint32_t>(targets.size());
            Target t;
            t.owner = ref.owner;
            t.name = ref.name;
            t.descriptor = ref.descriptor;
            targets.push_back(std::move(t));
        }
        return it->second;
    }

    uint32_t CallNode(uint32_t target, uint16_t p)
    {
        const uint64_t key = (uint64_t{kCallNode} << 60) | (uint64_t{target} << 8) | (p & 0xFF);
        const auto found = nodeAt.find(key);
        if (found != nodeAt.end())
            return found->second;
        return Node(key);
    }

    uint32_t ResultNode(uint32_t target)
    {
        const uint64_t key = (uint64_t{kResultNode} << 60) | target;
        const auto found = nodeAt.find(key);
        if (found != nodeAt.end())
            return found->second;
        return Node(key);
    }

    int64_t ClassOf(std::string_view name) const
    {
        const auto found = classByName.find(name);
        return found == classByName.end() ? int64_t{-1} : int64_t{found->second};
    }

    int32_t MethodOf(uint32_t ci, const std::string& name, const std::string& descriptor) const
    {
        const std::vector<MethodFacts>& methods = classes[ci].methods;
        for (size_t mi = 0; mi < methods.size(); ++mi) {
            if (methods[mi].name == name && methods[mi].descriptor == descriptor)
                return static_cast<int32_t>(mi);
        }
        return -1;
    }

    // Which of the program's methods a call may run, and the platform class it may reach.
    const Target& Resolve(uint32_t target)
    {
        Target& t = targets[target];
        if (t.resolved)
            return t;
        t.resolved = true;
        const int64_t owner = ClassOf(t.owner);
        if (owner < 0) {
            t.library = t.owner;
            t.unresolvedOwner = true;
            return t;
        }
        auto take = [&](uint32_t ci) {
            const int32_t mi = MethodOf(ci, t.name, t.descriptor);
            if (mi < 0)
                return false;
            if (classes[ci].methods[static_cast<size_t>(mi)].hasCode)
                t.methods.emplace_back(ci, static_cast<uint16_t>(mi));
            return true;
        };
        if (t.name == "<init>" || t.name == "<clinit>") {
            take(static_cast<uint32_t>(owner));
            return t;
        }
        // Upwards: the declaration the call resolves to (a superclass's, or an interface's
        // default method), or the platform class the program's classes extend.
        std::vector<uint32_t> interfaces;
        std::vector<uint8_t> seen(classes.size(), 0);
        bool found = false;
        std::string_view at = t.owner;
        for (int depth = 0; depth < 4096 && !found; ++depth) {
            const int64_t ci = ClassOf(at);
            if (ci < 0) {
                if (!at.empty())
                    t.library.assign(at);
                break;
            }
            if (seen[static_cast<size_t>(ci)])
                break;
            seen[static_cast<size_t>(ci)] = 1;
            found = take(static_cast<uint32_t>(ci));
            for (const std::string_view i : classes[static_cast<size_t>(ci)].interfaces) {
                const int64_t ii = ClassOf(i);
                if (ii >= 0)
                    interfaces.push_back(static_cast<uint32_t>(ii));
            }
            at = classes[static_cast<size_t>(ci)].superName;
        }
        for (size_t k = 0; k < interfaces.size() && !found; ++k) {
            const uint32_t ci = interfaces[k];
            if (seen[ci])
                continue;
            seen[ci] = 1;
            found = take(ci);
            for (const std::string_view i : classes[ci].interfaces) {
                const int64_t ii = ClassOf(i);
                if (ii >= 0)
                    interfaces.push_back(static_cast<uint32_t>(ii));
            }
        }
        if (found)
            t.library.clear();
        // Downwards: every override in the program's subclasses and implementations.
        std::vector<uint32_t> pending(children[static_cast<size_t>(owner)]);
        std::fill(seen.begin(), seen.end(), 0);
        while (!pending.empty()) {
            const uint32_t ci = pending.back();
            pending.pop_back();
            if (seen[ci])
                continue;
            seen[ci] = 1;
            take(ci);
            pending.insert(pending.end(), children[ci].begin(), children[ci].end());
        }
        std::sort(t.methods.begin(), t.methods.end());
        t.methods.erase(std::unique(t.methods.begin(), t.methods.end()), t.methods.end());
        return t;
    }

    // The field a reference means: declared by its class, an interface or a superclass.
    std::optional<std::pair<uint32_t, uint16_t>> ResolveField(const MemberRef& ref) const
    {
        std::vector<uint32_t> pending;
        const int64_t owner = ClassOf(ref.owner);
        if (owner < 0)
            return std::nullopt;
        pending.push_back(static_cast<uint32_t>(owner));
        std::vector<uint32_t> done;
        for (size_t k = 0; k < pending.size() && k < 4096; ++k) {
            const uint32_t ci = pending[k];
            if (std::find(done.begin(), done.end(), ci) != done.end())
                continue;
            done.push_back(ci);
            const ClassFacts& c = classes[ci];
            for (size_t fi = 0; fi < c.fields.size(); ++fi) {
                if (c.fields[fi].name == ref.name && c.fields[fi].descriptor == ref.descriptor)
                    return std::make_pair(ci, static_cast<uint16_t>(fi));
            }
            for (const std::string_view i : c.interfaces) {
                const int64_t ii = ClassOf(i);
                if (ii >= 0)
                    pending.push_back(static_cast<uint32_t>(ii));
            }
            const int64_t sup = ClassOf(c.superName);
            if (sup >= 0)
                pending.push_back(static_cast<uint32_t>(sup));
        }
        return std::nullopt;
    }

    uint32_t TargetOfSink(uint32_t ci, const Sink& sink)
    {
        const ClassFacts& c = classes[ci];
        switch (sink.kind) {
            case SinkKind::Consumer:
                return TerminalOf(sink.use, sink.format, sink.equalsStyle, Name(c.consumers[sink.target]));
            case SinkKind::Unknown:
                return TerminalOf(Use::Unknown, FormatStyle::None, false, Name(c.consumers[sink.target]));
            case SinkKind::Call: return CallNode(TargetOf(c.members[sink.target]), sink.parameter);
            case SinkKind::FieldStore: {
                const MemberRef& ref = c.members[sink.target];
                if (const auto field = ResolveField(ref))
                    return FieldNode(field->first, field->second);
                return TerminalOf(Use::Unknown, FormatStyle::None, false, Name("field " + std::string(ref.owner) + "." + std::string(ref.name)));
            }
            case SinkKind::Return:
                return sink.target < c.methods.size() ? ReturnNode(ci, static_cast<uint16_t>(sink.target))
                                                      : TerminalOf(Use::Unknown, FormatStyle::None, false, Name("nothing"));
        }
        return TerminalOf(Use::Unknown, FormatStyle::None, false, Name("nothing"));
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
            case OriginKind::CallResult: return ResultNode(TargetOf(c.members[flow.value]));
        }
        return kNone;
    }

    void Build();
    void Connect();
    void FixedPoint();
};

namespace {

bool Merge(std::vector<Mark>& into, uint8_t kind, uint32_t consumer)
{
    for (Mark& m : into) {
        if (m.kind == kind) {
            if (consumer < m.consumer) {
                m.consumer = consumer;
                return true;
            }
            return false;
        }
    }
    into.push_back({kind, consumer});
    return true;
}

}  // namespace

void ProgramUsage::Graph::Build()
{
    const size_t n = classes.size();
    children.resize(n);
    for (uint32_t ci = 0; ci < n; ++ci) {
        const ClassFacts& c = classes[ci];
        if (!c.parsed)
            continue;
        classByName.emplace(c.name, ci);  // the first class of a name is the one that runs
    }
    for (uint32_t ci = 0; ci < n; ++ci) {
        const ClassFacts& c = classes[ci];
        if (!c.parsed)
            continue;
        const int64_t sup = ClassOf(c.superName);
        if (sup >= 0 && static_cast<uint32_t>(sup) != ci)
            children[static_cast<size_t>(sup)].push_back(ci);
        for (const std::string_view i : c.interfaces) {
            const int64_t ii = ClassOf(i);
            if (ii >= 0 && static_cast<uint32_t>(ii) != ci)
                children[static_cast<size_t>(ii)].push_back(ci);
        }
    }
    // Every flow's sink becomes a terminal or a node; every flow from a parameter, a field or
    // a call's result becomes an edge.
    sinkTargets.resize(n);
    for (uint32_t ci = 0; ci < n; ++ci) {
        const ClassFacts& c = classes[ci];
        sinkTargets[ci].resize(c.sinks.size());
        for (size_t s = 0; s < c.sinks.size(); ++s)
            sinkTargets[ci][s] = TargetOfSink(ci, c.sinks[s]);
        for (const Flow& flow : c.flows) {
            const uint32_t from = OriginNode(ci, flow);
            if (from != kNone && flow.sink < sinkTargets[ci].size())
                Edge(from, sinkTargets[ci][flow.sink], flow.format);
        }
    }
}

// Calls reach the methods they may run; returns reach the calls' results.
void ProgramUsage::Graph::Connect()
{
    const ConsumerTable& table = ConsumerTable::Builtin();
    std::vector<const ConsumerLine*> lines;
    // The node map grows while this runs: take the call and result nodes first.
    std::vector<std::pair<uint64_t, uint32_t>> pending;
    for (const auto& [key, node] : nodeAt) {
        const uint64_t kind = key >> 60;
        if (kind == kCallNode || kind == kResultNode)
            pending.emplace_back(key, node);
    }
    std::sort(pending.begin(), pending.end());
    for (const auto& [key, node] : pending) {
        const uint64_t kind = key >> 60;
        const auto target = static_cast<uint32_t>(kind == kCallNode ? (key >> 8) & 0xFFFFFFFFFFFull : key & 0xFFFFFFFFFFFull);
        const Target& t = Resolve(target);
        if (kind == kResultNode) {
            for (const auto& [ci, mi] : t.methods)
                Edge(ReturnNode(ci, mi), node, {});
            continue;
        }
        const auto p = static_cast<uint16_t>(key & 0xFF);
        for (const auto& [ci, mi] : t.methods)
            Edge(node, ParamNode(ci, mi, p), {});
        if (!t.library.empty()) {
            table.Find(t.library, t.name, t.descriptor, ClassMatch::Any, lines);
            bool named = false;
            for (const ConsumerLine* line : lines) {
                if (line->Names(p) && line->action == Action::Consume) {
                    Edge(node, TerminalOf(line->use, line->format, line->equalsStyle, Name(t.library + "." + t.name)),
                         {});
                    named = true;
                }
            }
            if (!named)
                Edge(node, TerminalOf(Use::Unknown, FormatStyle::None, false, Name(t.library + "." + t.name)), {});
        }
    }
}

void ProgramUsage::Graph::FixedPoint()
{
    const size_t count = nodeKey.size();
    // Edges in two flat tables: each node's terminals, and each node's predecessors.
    std::vector<uint32_t> outDegree(count, 0);
    std::vector<uint32_t> firstTerminal(count + 1, 0);
    std::vector<uint32_t> firstPredecessor(count + 1, 0);
    for (const EdgeRecord& e : edgeList) {
        ++outDegree[e.from];
        if ((e.to & kTerminalBit) != 0)
            ++firstTerminal[e.from + 1];
        else
            ++firstPredecessor[e.to + 1];
    }
    for (size_t i = 0; i < count; ++i) {
        firstTerminal[i + 1] += firstTerminal[i];
        firstPredecessor[i + 1] += firstPredecessor[i];
    }
    std::vector<std::pair<uint32_t, FormatStyle>> terminalEdges(firstTerminal[count]);
    std::vector<std::pair<uint32_t, FormatStyle>> predecessorEdges(firstPredecessor[count]);
    {
        std::vector<uint32_t> t(firstTerminal.begin(), firstTerminal.end() - 1);
        std::vector<uint32_t> p(firstPredecessor.begin(), firstPredecessor.end() - 1);
        for (const EdgeRecord& e : edgeList) {
            if ((e.to & kTerminalBit) != 0)
                terminalEdges[t[e.from]++] = {e.to & ~kTerminalBit, e.flag};
            else
                predecessorEdges[p[e.to]++] = {e.from, e.flag};
        }
    }

    marks.assign(count, {});
    std::vector<uint32_t> work;
    std::vector<uint8_t> queued(count, 0);
    for (uint32_t node = 0; node < count; ++node) {
        // A node that leads nowhere is where the analysis stops: the node is the consumer.
        if (outDegree[node] == 0)
            Merge(marks[node], KindOf(Use::Unknown, FormatStyle::None, false), node | kTerminalBit);
        for (uint32_t k = firstTerminal[node]; k < firstTerminal[node + 1]; ++k) {
            const auto [terminal, flag] = terminalEdges[k];
            Merge(marks[node], ThroughFormat(terminals[terminal].kind, flag), terminals[terminal].consumer);
        }
        if (!marks[node].empty()) {
            work.push_back(node);
            queued[node] = 1;
        }
    }
    while (!work.empty()) {
        const uint32_t node = work.back();
        work.pop_back();
        queued[node] = 0;
        for (uint32_t k = firstPredecessor[node]; k < firstPredecessor[node + 1]; ++k) {
            const auto [from, flag] = predecessorEdges[k];
            bool changed = false;
            for (size_t m = 0; m < marks[node].size(); ++m) {
                const Mark mark = marks[node][m];
                changed = Merge(marks[from], ThroughFormat(mark.kind, flag), mark.consumer) || changed;
            }
            if (changed && !queued[from]) {
                queued[from] = 1;
                work.push_back(from);
            }
        }
    }
    for (std::vector<Mark>& m : marks)
        std::sort(m.begin(), m.end(), [](const Mark& a, const Mark& b) { return a.kind < b.kind; });
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

std::size_t ProgramUsage::NodeCount() const noexcept
{
    return graph_ ? graph_->nodeKey.size() : 0;
}

std::size_t ProgramUsage::EdgeCount() const noexcept
{
    return graph_ ? graph_->edgeList.size() : 0;
}

std::vector<Finding> ProgramUsage::FindingsOf(PlaceRef place) const
{
    std::vector<Finding> out;
    if (!graph_ || place.classIndex >= graph_->classes.size())
        return out;
    const Graph& g = *graph_;
    const ClassFacts& c = g.classes[place.classIndex];
    const Flow probe{OriginKind::Literal, FormatStyle::None, 0, place.stringIndex, 0};
    auto [first, last] = std::equal_range(c.flows.begin(), c.flows.end(), probe, [](const Flow& a, const Flow& b) {
        return std::tie(a.origin, a.value) < std::tie(b.origin, b.value);
    });
    auto add = [&](uint8_t kind, uint32_t consumer, std::string via, uint16_t method) {
        Finding f;
        f.use = UseOf(kind);
        f.format = FormatOf(kind);
        f.equalsStyle = EqualsOf(kind);
        f.consumer = g.ConsumerName(consumer);
        f.via = std::move(via);
        f.className = c.name;
        if (method < c.methods.size())
            f.method = c.methods[method].name;
        if (std::find(out.begin(), out.end(), f) == out.end())
            out.push_back(std::move(f));
    };
    for (auto it = first; it != last; ++it) {
        if (it->sink >= g.sinkTargets[place.classIndex].size())
            continue;
        const uint32_t target = g.sinkTargets[place.classIndex][it->sink];
        if ((target & kTerminalBit) != 0) {
            const Terminal& t = g.terminals[target & ~kTerminalBit];
            add(ThroughFormat(t.kind, it->format), t.consumer, std::string(), it->method);
            continue;
        }
        for (const Mark& m : g.marks[target])
            add(ThroughFormat(m.kind, it->format), m.consumer, g.NodeName(target), it->method);
    }
    if (out.empty()) {
        Finding f;
        f.consumer = "nothing";
        f.className = c.name;
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

bool Forbids(const Finding& f)
{
    return f.use == Use::Name || f.use == Use::Pattern || (f.use == Use::Key && !f.equalsStyle);
}

}  // namespace

Decision ProgramUsage::Decide(std::string_view text, std::span<const PlaceRef> places) const
{
    std::vector<Finding> findings;
    for (const PlaceRef& place : places) {
        for (Finding& f : FindingsOf(place))
            findings.push_back(std::move(f));
    }
    Decision d;
    const Finding* shown = nullptr;
    const Finding* forbidding = nullptr;
    const Finding* other = nullptr;  // a key compared by equality, or data
    const Finding* unknown = nullptr;
    for (const Finding& f : findings) {
        if (Forbids(f)) {
            d.forbidding.push_back(f);
            if (forbidding == nullptr || ForbiddingRank(f.use) < ForbiddingRank(forbidding->use))
                forbidding = &f;
        } else if (IsShown(f.use)) {
            if (shown == nullptr || ShownRank(f.use) < ShownRank(shown->use))
                shown = &f;
        } else if (f.use == Use::Unknown) {
            if (unknown == nullptr || (unknown->format == FormatStyle::None && f.format != FormatStyle::None))
                unknown = &f;
        } else if (other == nullptr) {
            other = &f;
        }
    }
    auto take = [&](const Finding* f, Use use) {
        d.use = use;
        if (f != nullptr) {
            d.format = f->format;
            d.consumer = f->consumer;
        }
    };
    if (IsData(text)) {
        d.forbidding.clear();
        take(shown != nullptr ? shown : forbidding != nullptr ? forbidding : other != nullptr ? other : unknown,
             Use::Data);
        d.format = FormatStyle::None;
        return d;
    }
    if (forbidding != nullptr) {
        take(forbidding, forbidding->use);
        return d;
    }
    if (shown != nullptr) {
        d.offered = true;
        take(shown, shown->use);
        return d;
    }
    if (other != nullptr) {
        take(other, other->use);
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
    std::unordered_map<std::string_view, size_t> at;
    for (size_t ci = 0; ci < graph_->classes.size(); ++ci) {
        for (const LiteralFacts& literal : graph_->classes[ci].literals) {
            const auto [it, fresh] = at.emplace(literal.text, out.size());
            if (fresh)
                out.push_back({std::string(literal.text), {}, literal.recipe, {}});
            out[it->second].places.push_back({ci, literal.stringIndex});
            out[it->second].recipe = out[it->second].recipe || literal.recipe;
        }
    }
    for (TextDecision& text : out)
        text.decision = Decide(text.text, text.places);
    return out;
}

}  // namespace cl::usage
