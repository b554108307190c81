#include "usage/TranslationCalls.h"

#include "usage/UseGraph.h"

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace cl::usage {

namespace {

struct KnownLine {
    const char* format;
    const char* className;
    const char* method;
    const char* descriptor;
    const char* parameters;
};

constexpr KnownLine kKnownLines[] = {
#define TRANSLATION(format, className, method, descriptor, parameters) \
    {#format, className, method, descriptor, parameters},
#include "usage/TranslationCalls.def"
#undef TRANSLATION
};

bool DescriptorMatches(std::string_view pattern, std::string_view descriptor)
{
    if (!pattern.empty() && pattern.back() == '*')
        return descriptor.starts_with(pattern.substr(0, pattern.size() - 1));
    return pattern == descriptor;
}

bool NamesParameter(std::string_view list, uint16_t parameter)
{
    unsigned value = 0;
    bool any = false;
    for (size_t i = 0; i <= list.size(); ++i) {
        if (i == list.size() || list[i] == ',') {
            if (any && value == parameter)
                return true;
            value = 0;
            any = false;
        } else if (list[i] >= '0' && list[i] <= '9') {
            value = value * 10 + static_cast<unsigned>(list[i] - '0');
            any = true;
        }
    }
    return false;
}

constexpr uint8_t Bit(FormatStyle f)
{
    return static_cast<uint8_t>(1u << static_cast<unsigned>(f));
}

}  // namespace

uint8_t KnownTranslationCall(std::string_view owner, std::string_view name, std::string_view descriptor,
                             uint16_t parameter) noexcept
{
    uint8_t flags = 0;
    for (const KnownLine& line : kKnownLines) {
        if (owner != line.className || name != line.method || !DescriptorMatches(line.descriptor, descriptor) ||
            !NamesParameter(line.parameters, parameter))
            continue;
        flags |= std::string_view(line.format) == "messageformat" ? Bit(FormatStyle::MessageFormat) : Bit(FormatStyle::None);
    }
    return flags;
}

void ProgramUsage::Graph::FindTranslationCalls()
{
    // The parameters each method looks up and returns what it finds for, (class, method,
    // parameter): part of the key of a lookup whose value reaches the method's return
    // (directly or through calls ThroughCalls joined), or passed as such to a method that
    // does; worked out until no more are found (a chain is a few calls long). Any parameter of
    // the key counts, not only the one KeyLookups follows for a bundle's keys.
    std::set<std::tuple<uint32_t, uint16_t, uint16_t>> looksUp;
    for (int round = 0; round < 8; ++round) {
        bool grew = false;
        for (uint32_t ci = 0; ci < classes.size(); ++ci) {
            const ClassFacts& c = classes[ci];
            for (uint32_t li = 0; li < c.lookups.size(); ++li) {
                const LookupFacts& l = c.lookups[li];
                if (l.keyParameters == 0 || l.kind == LookupKind::Site || !LookupReturnedBy(c, li, l.method))
                    continue;
                bool found = l.kind == LookupKind::Table;
                if (!found && l.member < c.members.size()) {
                    const Target& t = hierarchy.Resolve(hierarchy.TargetOf(c.members[l.member]));
                    for (const auto& [cc, cm] : hierarchy.MethodsOf(t))
                        found = found || looksUp.count({cc, cm, l.parameter}) != 0;
                }
                if (!found)
                    continue;
                for (uint16_t p = 1; p < 64; ++p) {
                    if ((l.keyParameters >> p) & 1u)
                        grew = looksUp.emplace(ci, l.method, p).second || grew;
                }
            }
        }
        if (!grew)
            break;
    }

    // The program's own translation calls: a parameter the method returns (ThroughCalls) that
    // it also looks up, returning what it finds.
    std::set<std::tuple<uint32_t, uint16_t, uint16_t>> own;
    auto returns = [&](uint32_t ci, uint16_t mi, uint16_t p) {
        const auto found = returnedParameters.find((uint64_t{ci} << 16) | mi);
        return found != returnedParameters.end() &&
               std::any_of(found->second.begin(), found->second.end(), [&](const auto& r) { return r.first == p; });
    };
    for (const auto& [key, parameters] : returnedParameters) {
        const auto ci = static_cast<uint32_t>(key >> 16);
        const auto mi = static_cast<uint16_t>(key & 0xFFFF);
        for (const auto& [p, flags] : parameters) {
            if (looksUp.count({ci, mi, p}) != 0)
                own.emplace(ci, mi, p);
        }
    }

    // The call nodes: a call of a method that may run a translation call with its message id,
    // or of a library's known one.
    std::vector<std::pair<uint32_t, uint64_t>> calls;
    for (uint32_t node = 0; node < nodeKey.size(); ++node) {
        if ((nodeKey[node] >> 60) == kCallNode)
            calls.emplace_back(node, nodeKey[node]);
    }
    auto nameCalls = [&] {
        bool grew = false;
        for (const auto& [node, key] : calls) {
            if (translationNodes.Find(node) != nullptr)
                continue;
            const auto target = static_cast<uint32_t>((key >> 8) & 0xFFFFFFFFFFFull);
            const auto p = static_cast<uint16_t>(key & 0xFF);
            const Target& t = hierarchy.Resolve(target);
            uint32_t name = kNone;
            for (const auto& [ci, mi] : hierarchy.MethodsOf(t)) {
                if (own.count({ci, mi, p}) != 0) {
                    name = Name(MethodName(ci, mi), false);
                    break;
                }
            }
            if (name == kNone && !t.library.empty() && KnownTranslationCall(t.library, t.ref.name, t.ref.descriptor, p) != 0)
                name = Name(Joined(t.library, ".", t.ref.name), false);
            if (name != kNone) {
                bool fresh = false;
                translationNodes.FindOrInsert(node, name, fresh);
                grew = true;
            }
        }
        return grew;
    };
    // A method that hands its parameter to a translation call and returns what it gives back
    // (`static String tr(String s) { return I18N.tr(s); }` around a library's) is one too.
    for (int round = 0; round < 8 && nameCalls(); ++round) {
        bool grew = false;
        for (const EdgeRecord& e : edgeList) {
            if ((e.to & kTerminalBit) != 0 || (nodeKey[e.from] >> 60) != kParamNode ||
                translationNodes.Find(e.to) == nullptr)
                continue;
            const uint64_t key = nodeKey[e.from];
            const auto ci = static_cast<uint32_t>((key >> 24) & 0xFFFFFFFFFull);
            const auto mi = static_cast<uint16_t>(key >> 8);
            const auto p = static_cast<uint16_t>(key & 0xFF);
            if (returns(ci, mi, p))
                grew = own.emplace(ci, mi, p).second || grew;
        }
        if (!grew)
            break;
    }
}

}  // namespace cl::usage
