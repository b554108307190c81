#include "formats/Subformats.h"

#include "formats/JavaNumbers.h"

#include <cmath>
#include <cstdint>

namespace cl::formats {

namespace {

constexpr char32_t kQuote = '\'';
constexpr char32_t kCurrencySign = 0x00A4;
constexpr char32_t kPerMille = 0x2030;
constexpr char32_t kLessOrEqual = 0x2264;
constexpr char32_t kInfinity = 0x221E;

// The pattern letters of SimpleDateFormat (DateFormatSymbols.patternChars).
constexpr std::u32string_view kDateLetters = U"GyMdkHmsSEDFwWahKzZYuXL";

bool IsDigitChar(char32_t c)
{
    return c == '#' || c == '0' || c == ',' || c == '.';
}

}  // namespace

// DecimalFormat.applyPattern(pattern, false): a positive subpattern and an optional negative
// one after ';', each a prefix, the digits and an optional exponent, and a suffix.
bool IsValidDecimalPattern(std::u32string_view pattern)
{
    bool useExponent = false;
    std::size_t start = 0;
    for (int j = 1; j >= 0 && start < pattern.size(); --j) {
        bool inQuote = false;
        int decimalPos = -1;
        int multiplier = 1;
        int digitLeft = 0;
        int zeroDigits = 0;
        int digitRight = 0;
        // A byte in Java: it wraps past 127, and a wrapped count no longer grows.
        int8_t grouping = -1;
        int phase = 0;
        for (std::size_t pos = start; pos < pattern.size(); ++pos) {
            const char32_t ch = pattern[pos];
            if (phase == 0 || phase == 2) {
                if (inQuote) {
                    if (ch == kQuote) {
                        if (pos + 1 < pattern.size() && pattern[pos + 1] == kQuote)
                            ++pos;
                        else
                            inQuote = false;
                    }
                    continue;
                }
                if (IsDigitChar(ch)) {
                    phase = 1;
                    --pos;
                    continue;
                }
                if (ch == kCurrencySign) {
                    if (pos + 1 < pattern.size() && pattern[pos + 1] == kCurrencySign)
                        ++pos;
                    continue;
                }
                if (ch == kQuote) {
                    if (pos + 1 < pattern.size() && pattern[pos + 1] == kQuote)
                        ++pos;
                    else
                        inQuote = true;
                    continue;
                }
                if (ch == ';') {
                    if (phase == 0 || j == 0)
                        return false;
                    start = pos + 1;
                    pos = pattern.size();
                    continue;
                }
                if (ch == '%' || ch == kPerMille) {
                    if (multiplier != 1)
                        return false;
                    multiplier = ch == '%' ? 100 : 1000;
                    continue;
                }
                continue;
            }
            // Phase 1: the digits. The negative subpattern only lends its prefix and suffix,
            // so its digits are skipped over.
            if (j == 0) {
                while (pos < pattern.size()) {
                    const char32_t c = pattern[pos];
                    if (IsDigitChar(c) || c == 'E') {
                        ++pos;
                    } else {
                        --pos;
                        phase = 2;
                        break;
                    }
                }
                continue;
            }
            if (ch == '#') {
                if (zeroDigits > 0)
                    ++digitRight;
                else
                    ++digitLeft;
                if (grouping >= 0 && decimalPos < 0)
                    grouping = static_cast<int8_t>(static_cast<uint8_t>(grouping) + 1);
            } else if (ch == '0') {
                if (digitRight > 0)
                    return false;
                ++zeroDigits;
                if (grouping >= 0 && decimalPos < 0)
                    grouping = static_cast<int8_t>(static_cast<uint8_t>(grouping) + 1);
            } else if (ch == ',') {
                grouping = 0;
            } else if (ch == '.') {
                if (decimalPos >= 0)
                    return false;
                decimalPos = digitLeft + zeroDigits + digitRight;
            } else if (ch == 'E') {
                if (useExponent)
                    return false;
                useExponent = true;
                int minExponentDigits = 0;
                ++pos;
                while (pos < pattern.size() && pattern[pos] == '0') {
                    ++minExponentDigits;
                    ++pos;
                }
                if (digitLeft + zeroDigits < 1 || minExponentDigits < 1)
                    return false;
                phase = 2;
                --pos;
            } else {
                phase = 2;
                --pos;
            }
        }
        // "##.###" reads as "#0.###" and ".###" as ".0##".
        if (zeroDigits == 0 && digitLeft > 0 && decimalPos >= 0) {
            int n = decimalPos == 0 ? 1 : decimalPos;
            digitRight = digitLeft - n;
            digitLeft = n - 1;
            zeroDigits = 1;
        }
        if ((decimalPos < 0 && digitRight > 0) ||
            (decimalPos >= 0 && (decimalPos < digitLeft || decimalPos > digitLeft + zeroDigits)) || grouping == 0 ||
            inQuote)
            return false;
    }
    return true;
}

// SimpleDateFormat.compile: letters outside quotes must be pattern letters, and every quote
// must be closed.
bool IsValidDatePattern(std::u32string_view pattern)
{
    bool inQuote = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char32_t c = pattern[i];
        if (c == kQuote) {
            if (i + 1 < pattern.size() && pattern[i + 1] == kQuote) {
                ++i;
                continue;
            }
            inQuote = !inQuote;
            continue;
        }
        if (inQuote)
            continue;
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (letter && kDateLetters.find(c) == std::u32string_view::npos)
            return false;
    }
    return !inQuote;
}

// ChoiceFormat.applyPattern: "limit#text|limit<text|..." with limits in ascending order.
std::optional<std::vector<std::u32string>> ParseChoicePattern(std::u32string_view pattern)
{
    std::u32string segments[2];
    std::vector<std::u32string> formats;
    int part = 0;
    double startValue = 0;
    double oldStartValue = std::nan("");
    bool inQuote = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char32_t ch = pattern[i];
        if (ch == kQuote) {
            if (i + 1 < pattern.size() && pattern[i + 1] == ch) {
                segments[part] += ch;
                ++i;
            } else {
                inQuote = !inQuote;
            }
        } else if (inQuote) {
            segments[part] += ch;
        } else if (ch == '<' || ch == '#' || ch == kLessOrEqual) {
            if (segments[0].empty())
                return std::nullopt;
            if (segments[0] == std::u32string(1, kInfinity)) {
                startValue = HUGE_VAL;
            } else if (segments[0] == std::u32string{'-', kInfinity}) {
                startValue = -HUGE_VAL;
            } else {
                const std::optional<double> limit = JavaParseDouble(segments[0]);
                if (!limit)
                    return std::nullopt;
                startValue = *limit;
            }
            if (ch == '<' && !std::isinf(startValue))
                startValue = std::nextafter(startValue, HUGE_VAL);
            if (startValue <= oldStartValue)
                return std::nullopt;
            segments[0].clear();
            part = 1;
        } else if (ch == '|') {
            formats.push_back(segments[1]);
            oldStartValue = startValue;
            segments[1].clear();
            part = 0;
        } else {
            segments[part] += ch;
        }
    }
    if (part == 1)
        formats.push_back(segments[1]);
    return formats;
}

}  // namespace cl::formats
