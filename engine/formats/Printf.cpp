#include "formats/Printf.h"

#include <map>
#include <optional>
#include <set>
#include <string>

namespace cl::formats {

namespace {

constexpr std::string_view kConversions = "bBhHsScCdoxXeEfgGaAn%";
constexpr std::string_view kFlags = "-#+ 0,(<";
constexpr std::string_view kDateTime = "HIklMSLNpzZsQBbhAaCYyjmdeRTrDFc";

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Integer.parseInt on ASCII digits; nothing past int.
std::optional<int32_t> ParseNumber(std::string_view digits)
{
    int64_t value = 0;
    for (const char c : digits) {
        value = value * 10 + (c - '0');
        if (value > INT32_MAX)
            return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

bool Has(const std::string& flags, char flag)
{
    return flags.find(flag) != std::string::npos;
}

// One specifier at `at` (the '%'); the conversion, or the fault Formatter throws for it.
PrintfFault ReadSpecifier(std::string_view s, std::size_t at, PrintfConversion& out)
{
    out.offset = at;
    std::size_t i = at + 1;
    if (i >= s.size())
        return PrintfFault::UnknownConversion;
    // %[index$][flags][width][.precision][tT]conversion, matched greedily as Formatter's
    // regular expression does.
    std::size_t k = i;
    while (k < s.size() && IsDigit(s[k]))
        ++k;
    std::string_view indexDigits;
    if (k > i && k < s.size() && s[k] == '$') {
        indexDigits = s.substr(i, k - i);
        i = k + 1;
    }
    const std::size_t flagsAt = i;
    while (i < s.size() && kFlags.find(s[i]) != std::string_view::npos)
        ++i;
    out.flags = std::string(s.substr(flagsAt, i - flagsAt));
    const std::size_t widthAt = i;
    while (i < s.size() && IsDigit(s[i]))
        ++i;
    const std::string_view widthDigits = s.substr(widthAt, i - widthAt);
    std::string_view precisionDigits;
    bool hasPrecision = false;
    if (i + 1 < s.size() && s[i] == '.' && IsDigit(s[i + 1])) {
        hasPrecision = true;
        const std::size_t from = ++i;
        while (i < s.size() && IsDigit(s[i]))
            ++i;
        precisionDigits = s.substr(from, i - from);
    }
    bool dt = false;
    if (i + 1 < s.size() && (s[i] == 't' || s[i] == 'T') && (IsLetter(s[i + 1]) || s[i + 1] == '%')) {
        dt = true;
        out.upper = s[i] == 'T';
        ++i;
    }
    if (i >= s.size() || !(IsLetter(s[i]) || s[i] == '%'))
        return PrintfFault::UnknownConversion;  // no match: Java names the character after '%'
    const char c = s[i];
    out.length = i + 1 - at;

    if (!indexDigits.empty()) {
        const std::optional<int32_t> index = ParseNumber(indexDigits);
        if (!index || *index <= 0)
            return PrintfFault::IllegalIndex;
        out.index = *index;
    }
    std::string seen;
    for (const char f : out.flags) {
        if (Has(seen, f))
            return PrintfFault::DuplicateFlags;
        seen += f;
    }
    if (Has(out.flags, '<'))
        out.index = -1;
    if (!widthDigits.empty()) {
        const std::optional<int32_t> width = ParseNumber(widthDigits);
        if (!width)
            return PrintfFault::IllegalWidth;
        out.width = *width;
    }
    if (hasPrecision) {
        const std::optional<int32_t> precision = ParseNumber(precisionDigits);
        if (!precision)
            return PrintfFault::IllegalPrecision;
        out.precision = *precision;
    }

    auto badFlags = [&](std::string_view bad) {
        for (const char f : bad) {
            if (Has(out.flags, f))
                return true;
        }
        return false;
    };
    const bool leftWithoutWidth = out.width == -1 && Has(out.flags, '-');

    if (dt) {
        out.conversion = 't';
        out.dateTime = c;
        if (out.precision != -1)
            return PrintfFault::IllegalPrecision;
        if (kDateTime.find(c) == std::string_view::npos)
            return PrintfFault::UnknownConversion;
        if (badFlags("#+ 0,("))
            return PrintfFault::FlagMismatch;
        if (leftWithoutWidth)
            return PrintfFault::MissingWidth;
        return PrintfFault::None;
    }
    if (kConversions.find(c) == std::string_view::npos)
        return PrintfFault::UnknownConversion;
    out.conversion = Lower(c);
    out.upper = c != out.conversion;
    const char conv = out.conversion;
    if (conv == 'n' || conv == '%')
        out.index = -2;

    auto checkNumeric = [&]() {
        if (out.width == -1 && (Has(out.flags, '-') || Has(out.flags, '0')))
            return PrintfFault::MissingWidth;
        if ((Has(out.flags, '+') && Has(out.flags, ' ')) || (Has(out.flags, '-') && Has(out.flags, '0')))
            return PrintfFault::IllegalFlags;
        return PrintfFault::None;
    };
    switch (conv) {
    case 'b':
    case 'h':
    case 's':
        if ((conv == 'b' || conv == 'h') && Has(out.flags, '#'))
            return PrintfFault::FlagMismatch;
        if (leftWithoutWidth)
            return PrintfFault::MissingWidth;
        if (badFlags("+ 0,("))
            return PrintfFault::FlagMismatch;
        return PrintfFault::None;
    case 'c':
        if (out.precision != -1)
            return PrintfFault::IllegalPrecision;
        if (badFlags("#+ 0,("))
            return PrintfFault::FlagMismatch;
        if (leftWithoutWidth)
            return PrintfFault::MissingWidth;
        return PrintfFault::None;
    case 'd':
    case 'o':
    case 'x': {
        const PrintfFault numeric = checkNumeric();
        if (numeric != PrintfFault::None)
            return numeric;
        if (out.precision != -1)
            return PrintfFault::IllegalPrecision;
        if (badFlags(conv == 'd' ? "#" : ","))
            return PrintfFault::FlagMismatch;
        return PrintfFault::None;
    }
    case 'e':
    case 'f':
    case 'g':
    case 'a': {
        const PrintfFault numeric = checkNumeric();
        if (numeric != PrintfFault::None)
            return numeric;
        if ((conv == 'a' && badFlags("(,")) || (conv == 'e' && badFlags(",")) || (conv == 'g' && badFlags("#")))
            return PrintfFault::FlagMismatch;
        return PrintfFault::None;
    }
    case '%':
        if (out.precision != -1)
            return PrintfFault::IllegalPrecision;
        if (!out.flags.empty() && out.flags != "-")
            return PrintfFault::IllegalFlags;
        if (leftWithoutWidth)
            return PrintfFault::MissingWidth;
        return PrintfFault::None;
    default:  // 'n'
        if (out.precision != -1)
            return PrintfFault::IllegalPrecision;
        if (out.width != -1)
            return PrintfFault::IllegalWidth;
        if (!out.flags.empty())
            return PrintfFault::IllegalFlags;
        return PrintfFault::None;
    }
}

// Each argument with the set of what it is formatted as.
std::map<int32_t, std::set<std::string>> KindsByArgument(const PrintfPattern& p)
{
    std::map<int32_t, std::set<std::string>> kinds;
    for (const PrintfConversion& c : p.conversions) {
        if (c.argument > 0)
            kinds[c.argument].insert(c.Kind());
    }
    return kinds;
}

std::string Joined(const std::set<std::string>& kinds)
{
    std::string out;
    for (const std::string& k : kinds) {
        if (!out.empty())
            out += ',';
        out += k;
    }
    return out;
}

}  // namespace

std::string PrintfConversion::Kind() const
{
    std::string kind(1, conversion);
    if (dateTime != 0)
        kind += dateTime;
    return kind;
}

bool PrintfPattern::HasArguments() const
{
    if (!valid())
        return false;
    for (const PrintfConversion& c : conversions) {
        if (c.argument > 0)
            return true;
    }
    return false;
}

PrintfPattern ParsePrintf(std::string_view s)
{
    PrintfPattern out;
    // Formatter.format: an ordinary specifier takes the argument after the last ordinary one;
    // an explicit index does not move that count, and '<' takes the previous specifier's.
    int32_t last = -1;
    int32_t lastOrdinary = -1;
    for (std::size_t i = s.find('%'); i != std::string_view::npos; i = s.find('%', i)) {
        PrintfConversion c;
        const PrintfFault fault = ReadSpecifier(s, i, c);
        if (fault != PrintfFault::None) {
            out.fault = fault;
            out.faultOffset = i;
            out.conversions.clear();
            return out;
        }
        if (c.index == -1) {
            c.argument = last + 1;
        } else if (c.index == 0) {
            last = ++lastOrdinary;
            c.argument = last + 1;
        } else if (c.index > 0) {
            last = c.index - 1;
            c.argument = c.index;
        }
        out.conversions.push_back(c);
        i += c.length;
    }
    // Formatter parses the whole text before formatting, so a '<' with nothing before it
    // fails whatever the arguments: after every specifier has been read.
    for (const PrintfConversion& c : out.conversions) {
        if (c.index == -1 && c.argument <= 0) {
            out.fault = PrintfFault::NoPreviousArgument;
            out.faultOffset = c.offset;
            out.conversions.clear();
            return out;
        }
    }
    return out;
}

PrintfProblem CheckPrintfTranslation(std::string_view original, std::string_view translation)
{
    PrintfProblem problem;
    const PrintfPattern target = ParsePrintf(translation);
    if (!target.valid()) {
        problem.kind = TranslationProblem::FormatInvalid;
        problem.fault = target.fault;
        problem.faultOffset = target.faultOffset;
        return problem;
    }
    const auto expected = KindsByArgument(ParsePrintf(original));
    const auto found = KindsByArgument(target);
    for (const auto& [argument, kinds] : expected) {
        const auto it = found.find(argument);
        if (it == found.end()) {
            problem.kind = TranslationProblem::FormatArgumentMissing;
            problem.argument = argument;
            problem.expected = Joined(kinds);
            return problem;
        }
        if (it->second != kinds) {
            problem.kind = TranslationProblem::FormatArgumentChanged;
            problem.argument = argument;
            problem.expected = Joined(kinds);
            problem.found = Joined(it->second);
            return problem;
        }
    }
    for (const auto& [argument, kinds] : found) {
        if (expected.find(argument) == expected.end()) {
            problem.kind = TranslationProblem::FormatArgumentExtra;
            problem.argument = argument;
            problem.found = Joined(kinds);
            return problem;
        }
    }
    return problem;
}

}  // namespace cl::formats
