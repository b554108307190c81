#include "usage/FlowFacts.h"

#include "classfile/ModifiedUtf8.h"

#include <algorithm>
#include <span>
#include <vector>

namespace cl::usage {

using classfile::Constant;
using classfile::Tag;

namespace {

// Strings a compiled string switch compares: javac switches on hashCode() first, then
// calls equals with the case's text, whose hash is compiled into the switch.
void FindSwitchLiterals(FlowContext& c)
{
    c.s.switchLiterals.clear();
    if (!c.code.callsStringHashCode || c.code.switchKeys.empty())
        return;
    c.s.keys.assign(c.code.switchKeys.begin(), c.code.switchKeys.end());
    std::sort(c.s.keys.begin(), c.s.keys.end());
    for (const classfile::LoadedString& loaded : c.code.strings) {
        const Constant* string = c.file.At(loaded.stringIndex, Tag::String);
        if (string == nullptr || !classfile::DecodeModifiedUtf8(c.file.Utf8Bytes(string->StringIndex()), c.s.units).Ok())
            continue;
        if (std::binary_search(c.s.keys.begin(), c.s.keys.end(), classfile::JavaStringHash(c.s.units)))
            c.s.switchLiterals.push_back(loaded.stringIndex);
    }
    std::sort(c.s.switchLiterals.begin(), c.s.switchLiterals.end());
}

// The string constants and parameters a key set is made of, objects expanded into what they
// collected (a key appended together in a builder).
void KeyOrigins(FlowContext& c, uint32_t key, std::vector<uint16_t>& literals, uint16_t& parameter, bool& joined,
                uint64_t& parameters)
{
    literals.clear();
    parameter = 0;
    parameters = 0;
    joined = false;
    std::vector<uint32_t> elements(c.s.sets.Elements(key).begin(), c.s.sets.Elements(key).end());
    std::vector<uint8_t> expanded(c.s.sources.size(), 0);
    size_t origins = 0;
    while (!elements.empty()) {
        const uint32_t source = elements.back() >> 2;
        elements.pop_back();
        if (expanded[source] != 0)
            continue;
        expanded[source] = 1;
        const Source& s = c.s.sources[source];
        if (s.kind == kObject) {
            joined = true;
            for (uint32_t k = c.s.collectedFirst[source]; k < c.s.collectedFirst[source + 1]; ++k)
                elements.push_back(c.s.collected[k].second);
            continue;
        }
        if (s.kind == kStream)
            continue;
        ++origins;
        if (s.kind == kLiteral)
            literals.push_back(static_cast<uint16_t>(s.value));
        else if (s.kind == kParameter && parameter == 0)
            parameter = static_cast<uint16_t>(s.value);
        if (s.kind == kParameter && s.value < 64)
            parameters |= uint64_t{1} << s.value;
    }
    joined = joined || origins > 1;
    std::sort(literals.begin(), literals.end());
}

// Each lookup made in the method becomes one of the class's facts, its key read now that
// every object has collected what goes into it.
void EmitLookups(FlowContext& c)
{
    Fill<uint32_t>(c.s.lookupIndex, c.s.sources.size(), UINT32_MAX);
    std::vector<uint16_t> literals;
    for (const LookupSite& site : c.s.lookups) {
        LookupFacts facts;
        uint16_t parameter = 0;
        bool joined = false;
        uint64_t parameters = 0;
        KeyOrigins(c, site.key, literals, parameter, joined, parameters);
        if (literals.empty() && parameter == 0 && site.kind != LookupKind::Site)
            continue;
        facts.kind = site.kind;
        facts.exact = !joined && literals.size() == 1 && parameter == 0;
        facts.joined = joined;
        facts.method = c.method;
        facts.parameter = site.parameter;
        facts.ownParameter = parameter;
        facts.keyParameters = parameters;
        facts.member = site.member;
        c.s.lookupIndex[site.source] = c.scope.AddLookup(facts, literals);
    }
}

}  // namespace

void EmitFacts(FlowContext& c)
{
    FindSwitchLiterals(c);
    uint32_t switchSink = UINT32_MAX;
    std::sort(c.s.uses.begin(), c.s.uses.end());
    c.s.uses.erase(std::unique(c.s.uses.begin(), c.s.uses.end()), c.s.uses.end());
    Fill<uint32_t>(c.s.seen, c.s.sources.size() * 4, UINT32_MAX);
    // What each object collected, found by source.
    std::stable_sort(c.s.collected.begin(), c.s.collected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    Fill<uint32_t>(c.s.collectedFirst, c.s.sources.size() + 1, 0u);
    for (const auto& [source, element] : c.s.collected)
        ++c.s.collectedFirst[source + 1];
    for (size_t i = 0; i < c.s.sources.size(); ++i)
        c.s.collectedFirst[i + 1] += c.s.collectedFirst[i];
    if (!c.s.lookups.empty())
        EmitLookups(c);
    // A call's arguments as that one call's, now that its result's lookup has its number.
    std::sort(c.s.siteArguments.begin(), c.s.siteArguments.end());
    c.s.siteArguments.erase(std::unique(c.s.siteArguments.begin(), c.s.siteArguments.end()), c.s.siteArguments.end());
    for (const SiteArgument& argument : c.s.siteArguments) {
        const uint32_t site = c.s.lookupIndex[argument.site];
        if (site != UINT32_MAX)
            c.s.uses.emplace_back(argument.set, c.scope.AddSink({SinkKind::CallSite, Use::Unknown, {}, false,
                                                                 argument.parameter, site}));
    }
    // An item to expand is a set (below kCollectedBit) or an object's collection.
    constexpr uint32_t kCollectedBit = 0x80000000u;
    for (uint32_t u = 0; u < c.s.uses.size(); ++u) {
        const auto [set, sink] = c.s.uses[u];
        c.s.expand.clear();
        c.s.expand.emplace_back(set, 0u);
        while (!c.s.expand.empty()) {
            const auto [current, inherited] = c.s.expand.back();
            c.s.expand.pop_back();
            std::span<const uint32_t> elements;
            if ((current & kCollectedBit) == 0) {
                elements = c.s.sets.Elements(current);
            } else {
                const uint32_t object = current & ~kCollectedBit;
                c.s.elementsOf.clear();
                for (uint32_t k = c.s.collectedFirst[object]; k < c.s.collectedFirst[object + 1]; ++k)
                    c.s.elementsOf.push_back(c.s.collected[k].second);
                elements = c.s.elementsOf;
            }
            for (const uint32_t element : elements) {
                const uint32_t source = element >> 2;
                const uint32_t flag = (element & 3u) != 0 ? (element & 3u) : inherited;
                uint32_t& seen = c.s.seen[source * 4 + flag];
                if (seen == u)
                    continue;
                seen = u;
                const Source& s = c.s.sources[source];
                if (s.kind == kObject) {
                    if (c.s.collectedFirst[source] != c.s.collectedFirst[source + 1])
                        c.s.expand.emplace_back(source | kCollectedBit, flag);
                    continue;
                }
                if (s.kind == kStream)
                    continue;  // a stream, followed only to tell where what is written to it goes
                uint32_t value = s.value;
                if (s.kind == kLookup) {
                    value = c.s.lookupIndex[source];
                    if (value == UINT32_MAX)
                        continue;  // its key names nothing a bundle could hold
                }
                uint32_t target = sink;
                if (s.kind == kLiteral && !c.s.switchLiterals.empty() &&
                    std::binary_search(c.s.switchLiterals.begin(), c.s.switchLiterals.end(), s.value)) {
                    const Sink& used = c.scope.SinkAt(sink);
                    if (used.kind == SinkKind::Consumer && used.use == Use::Key && used.equalsStyle) {
                        if (switchSink == UINT32_MAX)
                            switchSink = c.scope.AddSink({SinkKind::Consumer, Use::Key, FormatStyle::None, false, 0,
                                                         c.scope.Consumer("switch")});
                        target = switchSink;
                    }
                }
                c.scope.AddFlow({static_cast<OriginKind>(s.kind), static_cast<FormatStyle>(flag), c.method, value,
                                target});
            }
        }
    }
}

}  // namespace cl::usage
