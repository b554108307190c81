#include "usage/ConsumerTable.h"

#include <algorithm>
#include <bitset>
#include <string>
#include <unordered_map>

namespace cl::usage {

namespace {

struct RawLine {
    const char* what;
    const char* className;
    const char* method;
    const char* descriptor;
    const char* parameters;
};

constexpr RawLine kRawLines[] = {
#define USAGE(what, className, method, descriptor, parameters) {#what, className, method, descriptor, parameters},
#include "usage/Consumers.def"
#undef USAGE
};

bool Matches(std::string_view pattern, std::string_view text)
{
    if (pattern == "*")
        return true;
    if (!pattern.empty() && pattern.back() == '*')
        return text.substr(0, pattern.size() - 1) == pattern.substr(0, pattern.size() - 1);
    return pattern == text;
}

uint64_t ParseParameters(std::string_view text)
{
    if (text == "*")
        return uint64_t{1} << 63;
    uint64_t bits = 0;
    unsigned value = 0;
    bool any = false;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ',') {
            if (any && value < 63)
                bits |= uint64_t{1} << value;
            value = 0;
            any = false;
        } else if (text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
            any = true;
        }
    }
    return bits;
}

ConsumerLine Compile(const RawLine& raw)
{
    ConsumerLine line;
    const std::string_view what = raw.what;
    if (what == "result")
        line.action = Action::Result;
    else if (what == "result_printf")
        line.action = Action::ResultPrintf;
    else if (what == "result_messageformat")
        line.action = Action::ResultMessageFormat;
    else if (what == "receiver")
        line.action = Action::Receiver;
    else if (what == "receiver_messageformat")
        line.action = Action::ReceiverMessageFormat;
    else if (what == "lookup")
        line.action = Action::Lookup;
    else if (what == "printf") {
        line.use = Use::Format;
        line.format = FormatStyle::Printf;
    } else if (what == "messageformat") {
        line.use = Use::Format;
        line.format = FormatStyle::MessageFormat;
    } else if (what == "key_equals") {
        line.use = Use::Key;
        line.equalsStyle = true;
    } else {
        line.use = UseFromWord(what).value_or(Use::Unknown);
    }
    line.className = raw.className;
    line.method = raw.method;
    line.descriptor = raw.descriptor;
    line.parameters = ParseParameters(raw.parameters);
    return line;
}

enum class Kind : uint8_t { Exact, Prefix, Suffix };

Kind KindOf(std::string_view className)
{
    if (!className.empty() && className.back() == '*')
        return Kind::Prefix;
    if (!className.empty() && className.front() == '*')
        return Kind::Suffix;
    return Kind::Exact;
}

}  // namespace

// Lines grouped by class pattern, for the lookup.
struct ConsumerTable::Index {
    // The lines of one class pattern, found by method: a class such as java/lang/String has
    // dozens, and a call names one method.
    struct Group {
        std::string_view stem;  // the pattern without its '*'
        std::vector<std::pair<std::string_view, uint32_t>> byMethod;  // lines of one method, sorted
        std::vector<uint32_t> patternLines;  // lines whose method is a pattern, in table order

        void Add(std::string_view method, uint32_t line)
        {
            if (method.find('*') == std::string_view::npos)
                byMethod.emplace_back(method, line);
            else
                patternLines.push_back(line);
        }
    };
    std::unordered_map<std::string_view, Group> exact;
    std::vector<Group> prefixes;  // longest stem first
    std::vector<Group> suffixes;  // longest stem first
    std::unordered_map<std::string_view, bool> collectors;
    // The first letters of the prefix stems and the last letters of the suffix stems: most
    // classes called start or end with none of them, and are ruled out without a comparison.
    std::bitset<256> prefixFirst;
    std::bitset<256> suffixLast;
};

namespace {

std::shared_ptr<const ConsumerTable::Index> MakeIndex(std::span<const ConsumerLine> lines)
{
    using Index = ConsumerTable::Index;
    auto built = std::make_shared<Index>();
    {
        auto group = [&](std::vector<Index::Group>& groups, std::string_view stem, uint32_t line) {
            for (Index::Group& g : groups) {
                if (g.stem == stem) {
                    g.Add(lines[line].method, line);
                    return;
                }
            }
            groups.emplace_back().stem = stem;
            groups.back().Add(lines[line].method, line);
        };
        for (uint32_t i = 0; i < lines.size(); ++i) {
            const std::string_view name = lines[i].className;
            switch (KindOf(name)) {
                case Kind::Exact: built->exact[name].Add(lines[i].method, i); break;
                case Kind::Prefix: group(built->prefixes, name.substr(0, name.size() - 1), i); break;
                case Kind::Suffix: group(built->suffixes, name.substr(1), i); break;
            }
            if ((lines[i].action == Action::Receiver || lines[i].action == Action::ReceiverMessageFormat) &&
                KindOf(name) == Kind::Exact)
                built->collectors[name] = true;
        }
        for (auto& [name, g] : built->exact)
            std::sort(g.byMethod.begin(), g.byMethod.end());
        for (Index::Group& g : built->prefixes)
            std::sort(g.byMethod.begin(), g.byMethod.end());
        for (Index::Group& g : built->suffixes)
            std::sort(g.byMethod.begin(), g.byMethod.end());
        auto longestFirst = [](const Index::Group& a, const Index::Group& b) { return a.stem.size() > b.stem.size(); };
        std::stable_sort(built->prefixes.begin(), built->prefixes.end(), longestFirst);
        std::stable_sort(built->suffixes.begin(), built->suffixes.end(), longestFirst);
        for (const Index::Group& g : built->prefixes) {
            if (g.stem.empty())
                built->prefixFirst.set();
            else
                built->prefixFirst.set(static_cast<uint8_t>(g.stem.front()));
        }
        for (const Index::Group& g : built->suffixes) {
            if (g.stem.empty())
                built->suffixLast.set();
            else
                built->suffixLast.set(static_cast<uint8_t>(g.stem.back()));
        }
    }
    return built;
}

}  // namespace

ConsumerTable::ConsumerTable()
{
    lines_.reserve(std::size(kRawLines));
    for (const RawLine& raw : kRawLines)
        lines_.push_back(Compile(raw));
    index_ = MakeIndex(lines_);
}

const ConsumerTable& ConsumerTable::Builtin()
{
    static const ConsumerTable table;
    return table;
}

ConsumerTable::Owner ConsumerTable::OwnerOf(std::string_view owner) const
{
    const Index& index = *index_;
    Owner found;
    found.name = owner;
    if (const auto exact = index.exact.find(owner); exact != index.exact.end())
        found.exact = &exact->second;
    if (index.prefixes.size() > 64 || index.suffixes.size() > 64) {
        found.many = true;
        return found;
    }
    const auto first = static_cast<uint8_t>(owner.empty() ? 0 : owner.front());
    const auto last = static_cast<uint8_t>(owner.empty() ? 0 : owner.back());
    if (index.prefixFirst.test(first)) {
        for (size_t g = 0; g < index.prefixes.size(); ++g) {
            const std::string_view stem = index.prefixes[g].stem;
            if ((stem.empty() || stem[0] == static_cast<char>(first)) && owner.substr(0, stem.size()) == stem)
                found.prefixes |= uint64_t{1} << g;
        }
    }
    if (index.suffixLast.test(last)) {
        for (size_t g = 0; g < index.suffixes.size(); ++g) {
            const std::string_view stem = index.suffixes[g].stem;
            if (owner.size() >= stem.size() && owner.substr(owner.size() - stem.size()) == stem)
                found.suffixes |= uint64_t{1} << g;
        }
    }
    return found;
}

void ConsumerTable::Find(std::string_view owner, std::string_view method, std::string_view descriptor,
                         ClassMatch match, std::vector<const ConsumerLine*>& out) const
{
    Find(OwnerOf(owner), method, descriptor, match, out);
}

void ConsumerTable::Find(const Owner& owner, std::string_view method, std::string_view descriptor, ClassMatch match,
                         std::vector<const ConsumerLine*>& out) const
{
    out.clear();
    const Index& index = *index_;
    // The group's lines for the method, in table order.
    auto take = [&](const Index::Group& group) {
        auto at = std::lower_bound(group.byMethod.begin(), group.byMethod.end(), method,
                                   [](const std::pair<std::string_view, uint32_t>& a, std::string_view m) { return a.first < m; });
        for (; at != group.byMethod.end() && at->first == method; ++at) {
            if (Matches(lines_[at->second].descriptor, descriptor))
                out.push_back(&lines_[at->second]);
        }
        const size_t named = out.size();
        for (const uint32_t i : group.patternLines) {
            const ConsumerLine& line = lines_[i];
            if (Matches(line.method, method) && Matches(line.descriptor, descriptor))
                out.push_back(&line);
        }
        if (named != 0 && out.size() != named)
            std::sort(out.begin(), out.end());  // the lines are one array: table order
        return !out.empty();
    };
    if (owner.exact != nullptr && take(*static_cast<const Index::Group*>(owner.exact)))
        return;
    const std::string_view name = owner.name;
    for (size_t g = 0; g < index.prefixes.size(); ++g) {
        const bool matches = owner.many ? name.substr(0, index.prefixes[g].stem.size()) == index.prefixes[g].stem
                                        : ((owner.prefixes >> g) & 1) != 0;
        if (matches && take(index.prefixes[g]))
            return;
    }
    if (match != ClassMatch::Any)
        return;
    for (size_t g = 0; g < index.suffixes.size(); ++g) {
        const std::string_view stem = index.suffixes[g].stem;
        const bool matches = owner.many ? name.size() >= stem.size() && name.substr(name.size() - stem.size()) == stem
                                        : ((owner.suffixes >> g) & 1) != 0;
        if (matches && take(index.suffixes[g]))
            return;
    }
}

bool ConsumerTable::Collects(std::string_view owner) const
{
    return index_->collectors.count(owner) != 0;
}

}  // namespace cl::usage
