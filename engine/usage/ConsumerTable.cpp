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
    std::unordered_map<std::string_view, std::vector<uint32_t>> exact;
    struct Group {
        std::string_view stem;  // the pattern without its '*'
        std::vector<uint32_t> lines;
    };
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
        auto group = [](std::vector<Index::Group>& groups, std::string_view stem, uint32_t line) {
            for (Index::Group& g : groups) {
                if (g.stem == stem) {
                    g.lines.push_back(line);
                    return;
                }
            }
            groups.push_back({stem, {line}});
        };
        for (uint32_t i = 0; i < lines.size(); ++i) {
            const std::string_view name = lines[i].className;
            switch (KindOf(name)) {
                case Kind::Exact: built->exact[name].push_back(i); break;
                case Kind::Prefix: group(built->prefixes, name.substr(0, name.size() - 1), i); break;
                case Kind::Suffix: group(built->suffixes, name.substr(1), i); break;
            }
            if ((lines[i].action == Action::Receiver || lines[i].action == Action::ReceiverMessageFormat) &&
                KindOf(name) == Kind::Exact)
                built->collectors[name] = true;
        }
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

void ConsumerTable::Find(std::string_view owner, std::string_view method, std::string_view descriptor,
                         ClassMatch match, std::vector<const ConsumerLine*>& out) const
{
    out.clear();
    const Index& index = *index_;
    auto take = [&](const std::vector<uint32_t>& group) {
        for (const uint32_t i : group) {
            const ConsumerLine& line = lines_[i];
            if (Matches(line.method, method) && Matches(line.descriptor, descriptor))
                out.push_back(&line);
        }
        return !out.empty();
    };
    if (const auto found = index.exact.find(owner); found != index.exact.end() && take(found->second))
        return;
    const auto first = static_cast<uint8_t>(owner.empty() ? 0 : owner.front());
    const auto last = static_cast<uint8_t>(owner.empty() ? 0 : owner.back());
    if (index.prefixFirst.test(first)) {
        for (const Index::Group& g : index.prefixes) {
            if (owner.substr(0, g.stem.size()) == g.stem && take(g.lines))
                return;
        }
    }
    if (match != ClassMatch::Any || !index.suffixLast.test(last))
        return;
    for (const Index::Group& g : index.suffixes) {
        if (owner.size() >= g.stem.size() && owner.substr(owner.size() - g.stem.size()) == g.stem && take(g.lines))
            return;
    }
}

bool ConsumerTable::Collects(std::string_view owner) const
{
    return index_->collectors.count(owner) != 0;
}

}  // namespace cl::usage
