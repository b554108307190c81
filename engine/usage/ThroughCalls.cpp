#include "usage/TranslationCalls.h"
#include "usage/UseGraph.h"

#include <algorithm>
#include <set>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// A value passed to a method of the program's own that returns it (a formatting helper given
// it as an argument, `getLocalizedString(Class, key, Object...)`, a `trim` of its own) comes
// back out of that call only: what the call's result becomes at that place is its use there.
// The graph has one result node per method called, shared by every call of it, so that through
// the callee's return alone the argument would take what every caller does with what it gets
// back (Sweet Home 3D's unit name, given to the method that formats every label, becoming an
// icon's path and a file extension compared). Here each call that hands on what it is given is
// joined, inside the calling method, from what is passed in to where the result goes; the fixed
// point then keeps the uses that come back through a return (Connect's edges from a return to
// the results) out of the callers' arguments.

namespace cl::usage {

namespace {

// The formatting a value went through on a path: the one nearest to where it starts wins, as
// the fixed point gives it (ThroughFormat over the path's edges, last the first).
FormatStyle Then(FormatStyle first, FormatStyle next)
{
    return first != FormatStyle::None ? first : next;
}

constexpr uint8_t Bit(FormatStyle f)
{
    return static_cast<uint8_t>(1u << static_cast<unsigned>(f));
}

uint64_t MethodKey(uint32_t ci, uint16_t mi)
{
    return (uint64_t{ci} << 16) | mi;
}

}  // namespace

void ProgramUsage::Graph::ThroughCalls()
{
    const size_t n = classes.size();
    // Each method's flows (indexes into its class's flows, as the flows are sorted by origin
    // first), of the methods where something can come back out of a call or a return: a
    // method with no parameter flowing anywhere returns none of them, and one that passes
    // nothing into a call joins nothing. One list for the program, in class and method order.
    struct MethodFlows {
        uint32_t ci;
        uint16_t mi;
        bool parameters;  // a parameter flows somewhere: it may be returned
        bool calls;       // something flows into a call: a call may give it back
        std::span<const uint32_t> flows;
    };
    std::vector<MethodFlows> byMethod;
    // Every listed method's flows side by side, each class's grouped by method by counting.
    std::vector<uint32_t> grouped;
    {
        std::vector<uint32_t> start;
        std::vector<std::pair<size_t, size_t>> ranges;  // per listed method, into `grouped`
        for (uint32_t ci = 0; ci < n; ++ci) {
            const ClassFacts& c = classes[ci];
            const size_t methods = c.methods.size();
            start.assign(methods + 1, 0);
            for (const Flow& f : c.flows) {
                if (f.method != kNoMethod && f.method < methods)
                    ++start[f.method + 1];
            }
            for (size_t m = 0; m < methods; ++m)
                start[m + 1] += start[m];
            const size_t base = grouped.size();
            grouped.resize(base + start[methods]);
            std::vector<uint32_t> next(start.begin(), start.end() - 1);
            for (uint32_t fi = 0; fi < c.flows.size(); ++fi) {
                const uint16_t m = c.flows[fi].method;
                if (m != kNoMethod && m < methods)
                    grouped[base + next[m]++] = fi;
            }
            for (size_t m = 0; m < methods; ++m) {
                MethodFlows listed{ci, static_cast<uint16_t>(m), false, false, {}};
                for (uint32_t k = start[m]; k < start[m + 1]; ++k) {
                    const Flow& f = c.flows[grouped[base + k]];
                    listed.parameters = listed.parameters || f.origin == OriginKind::Parameter;
                    listed.calls = listed.calls || (f.sink < c.sinks.size() && c.sinks[f.sink].kind == SinkKind::CallSite);
                }
                if (listed.parameters || listed.calls) {
                    byMethod.push_back(listed);
                    ranges.emplace_back(base + start[m], base + start[m + 1]);
                }
            }
        }
        // The spans are made once `grouped` has stopped growing.
        for (size_t k = 0; k < byMethod.size(); ++k)
            byMethod[k].flows = std::span<const uint32_t>(grouped).subspan(ranges[k].first, ranges[k].second - ranges[k].first);
    }

    // Which parameters each method returns, and through which formattings (a bit per
    // FormatStyle): worked out until no more are found, a method returning another's result.
    std::unordered_map<uint64_t, std::vector<std::pair<uint16_t, uint8_t>>> returned;
    // The formattings through which a call site's argument `parameter` comes back as its result.
    // The target of each call site, named once: the rounds below ask again and again, and
    // naming it hashes the member's names. (Resolving it may grow the hierarchy's tables, so
    // what it runs is looked up each time.)
    std::unordered_map<const LookupFacts*, uint32_t> targetOf;
    auto passes = [&](const ClassFacts& c, uint32_t site, uint16_t parameter) -> uint8_t {
        if (site >= c.lookups.size() || c.lookups[site].member >= c.members.size())
            return 0;
        auto [at, fresh] = targetOf.try_emplace(&c.lookups[site]);
        if (fresh)
            at->second = hierarchy.TargetOf(c.members[c.lookups[site].member]);
        const Target& t = hierarchy.Resolve(at->second);
        // A library's translation call gives back its message id when it has no translation.
        uint8_t flags = t.library.empty() ? 0 : KnownTranslationCall(t.library, t.ref.name, t.ref.descriptor, parameter);
        for (const auto& [cc, cm] : hierarchy.MethodsOf(t)) {
            const auto found = returned.find(MethodKey(cc, cm));
            if (found == returned.end())
                continue;
            for (const auto& [p, f] : found->second) {
                if (p == parameter)
                    flags |= f;
            }
        }
        return flags;
    };

    // What one method returns of its parameters, given what the methods it calls return: from
    // a parameter to the return, or into a call that gives it back and on from that call's
    // result.
    struct Reach {
        OriginKind origin;
        uint32_t value;
        FormatStyle format;
    };
    std::vector<Reach> work;
    std::vector<std::tuple<OriginKind, uint32_t, FormatStyle>> seen;
    auto returnedBy = [&](const ClassFacts& c, uint16_t mi, std::span<const uint32_t> flows) {
        std::vector<std::pair<uint16_t, uint8_t>> out;
        for (const uint32_t start : flows) {
            const Flow& first = c.flows[start];
            if (first.origin != OriginKind::Parameter)
                continue;
            const auto parameter = static_cast<uint16_t>(first.value);
            if (std::any_of(out.begin(), out.end(), [&](const auto& r) { return r.first == parameter; }))
                continue;
            uint8_t flags = 0;
            work.assign(1, {OriginKind::Parameter, first.value, FormatStyle::None});
            seen.clear();
            while (!work.empty()) {
                const Reach at = work.back();
                work.pop_back();
                const auto key = std::make_tuple(at.origin, at.value, at.format);
                if (std::find(seen.begin(), seen.end(), key) != seen.end())
                    continue;
                seen.push_back(key);
                // A method's flows are in the class's order (by origin, then value): those of
                // one origin are a run of them.
                const auto [from, to] = std::equal_range(
                    flows.begin(), flows.end(), std::pair<OriginKind, uint32_t>{at.origin, at.value},
                    [&](const auto& a, const auto& b) {
                        using Key = std::pair<OriginKind, uint32_t>;
                        auto keyOf = [&](const auto& x) -> Key {
                            if constexpr (std::is_same_v<std::decay_t<decltype(x)>, Key>)
                                return x;
                            else
                                return {c.flows[x].origin, c.flows[x].value};
                        };
                        return keyOf(a) < keyOf(b);
                    });
                for (auto it = from; it != to; ++it) {
                    const Flow& flow = c.flows[*it];
                    if (flow.sink >= c.sinks.size())
                        continue;
                    const Sink& sink = c.sinks[flow.sink];
                    const FormatStyle format = Then(at.format, flow.format);
                    if (sink.kind == SinkKind::Return && sink.target == mi) {
                        flags |= Bit(format);
                    } else if (sink.kind == SinkKind::CallSite) {
                        const uint8_t through = passes(c, sink.target, sink.parameter);
                        for (unsigned f = 0; f < 3; ++f) {
                            if ((through & (1u << f)) != 0)
                                work.push_back({OriginKind::Lookup, sink.target, Then(format, static_cast<FormatStyle>(f))});
                        }
                    }
                }
            }
            if (flags != 0)
                out.emplace_back(parameter, flags);
        }
        return out;
    };
    // After the first round a method can return more only when a method it calls returned more
    // in the round before: what the others return is found once.
    std::unordered_set<uint64_t> changedBefore;
    std::unordered_set<uint64_t> changedNow;
    auto callsChanged = [&](const MethodFlows& m) {
        const ClassFacts& c = classes[m.ci];
        for (const uint32_t fi : m.flows) {
            const Flow& f = c.flows[fi];
            if (f.sink >= c.sinks.size() || c.sinks[f.sink].kind != SinkKind::CallSite)
                continue;
            const uint32_t site = c.sinks[f.sink].target;
            if (site >= c.lookups.size() || c.lookups[site].member >= c.members.size())
                continue;
            auto [at, fresh] = targetOf.try_emplace(&c.lookups[site]);
            if (fresh)
                at->second = hierarchy.TargetOf(c.members[c.lookups[site].member]);
            for (const auto& [cc, cm] : hierarchy.MethodsOf(hierarchy.Resolve(at->second))) {
                if (changedBefore.count(MethodKey(cc, cm)) != 0)
                    return true;
            }
        }
        return false;
    };
    for (int round = 0; round < 16; ++round) {
        changedNow.clear();
        for (const MethodFlows& m : byMethod) {
            if (!m.parameters || (round > 0 && (!m.calls || !callsChanged(m))))
                continue;
            std::vector<std::pair<uint16_t, uint8_t>> now = returnedBy(classes[m.ci], m.mi, m.flows);
            if (now.empty())
                continue;
            std::sort(now.begin(), now.end());
            std::vector<std::pair<uint16_t, uint8_t>>& kept = returned[MethodKey(m.ci, m.mi)];
            if (kept != now) {
                kept = std::move(now);
                changedNow.insert(MethodKey(m.ci, m.mi));
            }
        }
        if (changedNow.empty())
            break;
        changedBefore.swap(changedNow);
    }
    returnedParameters = returned;

    // The node a parameter, a field read or a call's result stands for (OriginNode without the
    // per-class table Build keeps of the members' targets, which holds the last class's now).
    auto OriginOf = [&](uint32_t ci, const Flow& flow) -> uint32_t {
        const ClassFacts& c = classes[ci];
        if (flow.origin == OriginKind::CallResult)
            return flow.value < c.members.size() ? ResultNode(hierarchy.TargetOf(c.members[flow.value])) : kNone;
        return OriginNode(ci, flow);
    };

    // Each call that gives back what it is passed joins, in the calling method, what is passed
    // in to where that call's result goes: a parameter, a field or another call's result by an
    // edge, a literal or a looked-up value by a flow of its own (their findings are read off
    // their flows). A joined flow into a call is joined again, for a result passed on in turn.
    std::vector<Flow> added;
    for (size_t first = 0; first < byMethod.size();) {
        const uint32_t ci = byMethod[first].ci;
        size_t last = first;
        while (last < byMethod.size() && byMethod[last].ci == ci)
            ++last;
        ClassFacts& c = classes[ci];
        const std::span<const uint32_t> targets = SinkTargetsOf(ci);
        added.clear();
        for (size_t k = first; k < last; ++k) {
            const MethodFlows& m = byMethod[k];
            const uint16_t mi = m.mi;
            const std::span<const uint32_t> indexes = m.flows;
            // Nothing to join unless some call of the method gives back what it is passed.
            if (!m.calls || std::none_of(indexes.begin(), indexes.end(), [&](uint32_t fi) {
                    const Flow& f = c.flows[fi];
                    return f.sink < c.sinks.size() && c.sinks[f.sink].kind == SinkKind::CallSite &&
                           passes(c, c.sinks[f.sink].target, c.sinks[f.sink].parameter) != 0;
                }))
                continue;
            std::vector<Flow> flows;
            flows.reserve(indexes.size());
            for (const uint32_t fi : indexes)
                flows.push_back(c.flows[fi]);
            std::set<std::tuple<OriginKind, uint32_t, uint32_t, FormatStyle>> known;
            for (const Flow& f : flows)
                known.emplace(f.origin, f.value, f.sink, f.format);
            for (size_t k = 0; k < flows.size(); ++k) {
                const Flow into = flows[k];
                if (into.sink >= c.sinks.size() || c.sinks[into.sink].kind != SinkKind::CallSite)
                    continue;
                const Sink call = c.sinks[into.sink];
                const uint8_t through = passes(c, call.target, call.parameter);
                if (through == 0)
                    continue;
                for (const Flow& out : FlowsFrom(c, OriginKind::Lookup, call.target)) {
                    for (unsigned f = 0; f < 3; ++f) {
                        if ((through & (1u << f)) == 0)
                            continue;
                        const Flow joined{into.origin, Then(Then(into.format, static_cast<FormatStyle>(f)), out.format),
                                          mi, into.value, out.sink};
                        if (!known.emplace(joined.origin, joined.value, joined.sink, joined.format).second)
                            continue;
                        flows.push_back(joined);
                        if (joined.origin == OriginKind::Literal || joined.origin == OriginKind::Lookup) {
                            added.push_back(joined);
                            if (joined.origin == OriginKind::Literal && into.sink < targets.size()) {
                                // The call it came out of; the first one, when a result is
                                // passed on to a call that returns it in turn.
                                const auto first = joinedThrough.find({ci, into.value, into.method, into.sink, into.format});
                                joinedThrough.try_emplace({ci, joined.value, joined.method, joined.sink, joined.format},
                                                          first != joinedThrough.end() ? first->second : targets[into.sink]);
                            }
                        } else if (const uint32_t from = OriginOf(ci, joined);
                                   from != kNone && joined.sink < targets.size()) {
                            Edge(from, targets[joined.sink], joined.format);
                        }
                    }
                }
            }
        }
        first = last;
        if (added.empty())
            continue;
        c.flows.insert(c.flows.end(), added.begin(), added.end());
        std::sort(c.flows.begin(), c.flows.end(), [](const Flow& a, const Flow& b) {
            return std::tie(a.origin, a.value, a.method, a.sink, a.format) <
                   std::tie(b.origin, b.value, b.method, b.sink, b.format);
        });
    }
}

}  // namespace cl::usage
