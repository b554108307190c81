#include "formats/MessageFormat.h"

#include "formats/JavaNumbers.h"
#include "formats/Subformats.h"
#include "text/CodePoints.h"

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace cl::formats {

namespace {

// MessageFormat refuses argument numbers from this one on.
constexpr int32_t kArgumentLimit = 10000;

// Choice texts are patterns that may hold choices again; past this depth they are not
// followed, so that a hostile value cannot exhaust the stack.
constexpr int kMaxNesting = 32;

enum Segment { kRaw = 0, kIndex = 1, kType = 2, kModifier = 3 };

// MessageFormat.findKeyword: the text as it is, or trimmed and lower-cased. The keywords are
// ASCII and no other character lower-cases to an ASCII letter they hold, so ASCII case
// folding answers the same.
int FindKeyword(std::u32string_view s, std::initializer_list<std::u32string_view> list)
{
    int i = 0;
    for (const std::u32string_view k : list) {
        if (s == k)
            return i;
        ++i;
    }
    std::u32string folded(JavaTrim(s));
    for (char32_t& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = c - 'A' + 'a';
    }
    i = 0;
    for (const std::u32string_view k : list) {
        if (folded == k)
            return i;
        ++i;
    }
    return -1;
}

MessagePattern Parse(std::u32string_view pattern, const std::vector<std::size_t>& byteOffsets, int depth);

// MessageFormat.makeFormat for one argument; appends it (and those of its choice texts).
MessageFault MakeFormat(const std::array<std::u32string, 4>& segments, MessagePattern& out, int depth)
{
    const std::optional<int32_t> number = JavaParseInt(segments[kIndex]);
    if (!number)
        return MessageFault::BadArgumentNumber;
    if (*number < 0)
        return MessageFault::NegativeArgument;
    if (*number >= kArgumentLimit)
        return MessageFault::ArgumentTooLarge;
    MessageArgument argument;
    argument.number = *number;
    std::vector<MessageArgument> nested;
    if (!segments[kType].empty()) {
        const std::u32string& style = segments[kModifier];
        const int type = FindKeyword(segments[kType], {U"", U"number", U"date", U"time", U"choice"});
        switch (type) {
        case 0:  // "{0,}" and "{0, ,x}" are "{0}"
            break;
        case 1:
            argument.type = MessageType::Number;
            if (FindKeyword(style, {U"", U"currency", U"percent", U"integer"}) < 0 && !IsValidDecimalPattern(style))
                return MessageFault::BadNumberStyle;
            break;
        case 2:
        case 3:
            argument.type = type == 2 ? MessageType::Date : MessageType::Time;
            if (FindKeyword(style, {U"", U"short", U"medium", U"long", U"full"}) < 0 && !IsValidDatePattern(style))
                return MessageFault::BadDateStyle;
            break;
        case 4: {
            argument.type = MessageType::Choice;
            const auto texts = ParseChoicePattern(style);
            if (!texts)
                return MessageFault::BadChoiceStyle;
            for (const std::u32string& text : *texts) {
                if (text.find('{') == std::u32string::npos)
                    continue;
                if (depth >= kMaxNesting) {
                    out.nestedFault = true;
                    continue;
                }
                const MessagePattern inner = Parse(text, {}, depth + 1);
                if (!inner.valid() || inner.nestedFault)
                    out.nestedFault = true;
                for (MessageArgument a : inner.arguments) {
                    a.nested = true;
                    nested.push_back(a);
                }
            }
            break;
        }
        default:
            return MessageFault::UnknownType;
        }
    }
    out.arguments.push_back(argument);
    out.arguments.insert(out.arguments.end(), nested.begin(), nested.end());
    return MessageFault::None;
}

// MessageFormat.applyPattern. `byteOffsets` maps each code point to its byte offset in the
// caller's UTF-8 text (one more entry for the end); empty for a nested text.
MessagePattern Parse(std::u32string_view pattern, const std::vector<std::size_t>& byteOffsets, int depth)
{
    MessagePattern out;
    auto offsetOf = [&](std::size_t i) { return byteOffsets.empty() ? i : byteOffsets[i]; };
    std::array<std::u32string, 4> segments;
    int part = kRaw;
    bool inQuote = false;
    int braceStack = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char32_t ch = pattern[i];
        if (part == kRaw) {
            if (ch == '\'') {
                if (i + 1 < pattern.size() && pattern[i + 1] == '\'')
                    ++i;  // '' is one quote
                else
                    inQuote = !inQuote;
            } else if (ch == '{' && !inQuote) {
                part = kIndex;
            }
            continue;
        }
        if (inQuote) {
            // Quotes are kept inside an argument, for the style's own reader.
            segments[part] += ch;
            if (ch == '\'')
                inQuote = false;
            continue;
        }
        switch (ch) {
        case ',':
            if (part < kModifier)
                ++part;
            else
                segments[part] += ch;
            break;
        case '{':
            ++braceStack;
            segments[part] += ch;
            break;
        case '}':
            if (braceStack == 0) {
                part = kRaw;
                const MessageFault fault = MakeFormat(segments, out, depth);
                if (fault != MessageFault::None) {
                    out.fault = fault;
                    out.faultOffset = offsetOf(i);
                    out.arguments.clear();
                    return out;
                }
                segments = {};
            } else {
                --braceStack;
                segments[part] += ch;
            }
            break;
        case ' ':
            // Leading spaces of the type are dropped.
            if (part != kType || !segments[kType].empty())
                segments[part] += ch;
            break;
        case '\'':
            inQuote = true;
            segments[part] += ch;
            break;
        default:
            segments[part] += ch;
            break;
        }
    }
    // Java only complains when no brace is open inside the argument: an argument cut short
    // inside a nested brace is dropped without a word.
    if (braceStack == 0 && part != kRaw) {
        out.fault = MessageFault::UnmatchedBraces;
        out.faultOffset = offsetOf(pattern.size());
        out.arguments.clear();
    }
    return out;
}

// Each argument number with the set of its types.
std::map<int32_t, std::set<MessageType>> TypesByNumber(const MessagePattern& p)
{
    std::map<int32_t, std::set<MessageType>> types;
    for (const MessageArgument& a : p.arguments)
        types[a.number].insert(a.type);
    return types;
}

}  // namespace

MessagePattern ParseMessageFormat(std::string_view pattern)
{
    // Code points with their byte offsets, so that a fault points into the caller's text.
    const std::u32string points = DecodeUtf8Lenient(pattern);
    std::vector<std::size_t> offsets;
    offsets.reserve(points.size() + 1);
    std::size_t at = 0;
    for (const char32_t cp : points) {
        offsets.push_back(at);
        std::string one;
        AppendUtf8(cp, one);
        // A byte that decoded to U+FFFD stands for itself alone.
        const bool replaced = cp == 0xFFFD && pattern.compare(at, one.size(), one) != 0;
        at += replaced ? 1 : one.size();
    }
    offsets.push_back(at);
    return Parse(points, offsets, 0);
}

MessageProblem CheckMessageTranslation(std::string_view original, std::string_view translation)
{
    MessageProblem problem;
    const MessagePattern source = ParseMessageFormat(original);
    const MessagePattern target = ParseMessageFormat(translation);
    if (!target.valid() || target.nestedFault) {
        problem.kind = TranslationProblem::FormatInvalid;
        problem.fault = target.fault;
        return problem;
    }
    const auto expected = TypesByNumber(source);
    const auto found = TypesByNumber(target);
    for (const auto& [number, types] : expected) {
        const auto it = found.find(number);
        if (it == found.end()) {
            problem.kind = TranslationProblem::FormatArgumentMissing;
            problem.argument = number;
            return problem;
        }
        if (it->second != types) {
            problem.kind = TranslationProblem::FormatArgumentChanged;
            problem.argument = number;
            return problem;
        }
    }
    for (const auto& [number, types] : found) {
        if (expected.find(number) == expected.end()) {
            problem.kind = TranslationProblem::FormatArgumentExtra;
            problem.argument = number;
            return problem;
        }
    }
    return problem;
}

}  // namespace cl::formats
