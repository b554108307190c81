#include "usage/TranslationCalls.h"
#include "usage/UseGraph.h"

#include <algorithm>
#include <set>
#include <tuple>
#include <unordered_map>
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
    // Per class, each method's flows (indexes into the class's flows), as the flows are sorted
    // by origin first.
    std::vector<std::unordered_map<uint16_t, std::vector<uint32_t>>> byMethod(n);
    for (uint32_t ci = 0; ci < n; ++ci) {
        const std::vector<Flow>& flows = classes[ci].flows;
        for (uint32_t fi = 0; fi < flows.size(); ++fi) {
            if (flows[fi].method != kNoMethod && flows[fi].method < classes[ci].methods.size())
                byMethod[ci][flows[fi].method].push_back(fi);
        }
    }

    // Which parameters each method returns, and through which formattings (a bit per
    // FormatStyle): worked out until no more are found, a method returning another's result.
    std::unordered_map<uint64_t, std::vector<std::pair<uint16_t, uint8_t>>> returned;
    // The formattings through which a call site's argument `parameter` comes back as its result.
    auto passes = [&](const ClassFacts& c, uint32_t site, uint16_t parameter) -> uint8_t {
        if (site >= c.lookups.size() || c.lookups[site].member >= c.members.size())
            return 0;
        const Target& t = hierarchy.Resolve(hierarchy.TargetOf(c.members[c.lookups[site].member]));
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
    auto returnedBy = [&](const ClassFacts& c, uint16_t mi, const std::vector<uint32_t>& flows) {
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
                for (const uint32_t fi : flows) {
                    const Flow& flow = c.flows[fi];
                    if (flow.origin != at.origin || flow.value != at.value || flow.sink >= c.sinks.size())
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
    for (int round = 0; round < 16; ++round) {
        bool grew = false;
        for (uint32_t ci = 0; ci < n; ++ci) {
            for (const auto& [mi, flows] : byMethod[ci]) {
                std::vector<std::pair<uint16_t, uint8_t>> now = returnedBy(classes[ci], mi, flows);
                if (now.empty())
                    continue;
                std::sort(now.begin(), now.end());
                std::vector<std::pair<uint16_t, uint8_t>>& kept = returned[MethodKey(ci, mi)];
                if (kept != now) {
                    kept = std::move(now);
                    grew = true;
                }
            }
        }
        if (!grew)
            break;
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
    for (uint32_t ci = 0; ci < n; ++ci) {
        ClassFacts& c = classes[ci];
        const std::span<const uint32_t> targets = SinkTargetsOf(ci);
        std::vector<Flow> added;
        for (const auto& [mi, indexes] : byMethod[ci]) {
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
