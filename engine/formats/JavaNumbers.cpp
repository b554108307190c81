#include "formats/JavaNumbers.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace cl::formats {

namespace {

// The zero of every run of ten decimal digits (general category Nd) in the Basic Multilingual
// Plane, as Java 17 classifies them; Integer.parseInt reads char by char, so digits outside
// the plane (two chars each) are never digits to it.
constexpr char32_t kDigitZeros[] = {
    0x30,   0x660,  0x6F0,  0x7C0,  0x966,  0x9E6,  0xA66,  0xAE6,  0xB66,  0xBE6,
    0xC66,  0xCE6,  0xD66,  0xDE6,  0xE50,  0xED0,  0xF20,  0x1040, 0x1090, 0x17E0,
    0x1810, 0x1946, 0x19D0, 0x1A80, 0x1A90, 0x1B50, 0x1BB0, 0x1C40, 0x1C50, 0xA620,
    0xA8D0, 0xA900, 0xA9D0, 0xA9F0, 0xAA50, 0xABF0, 0xFF10,
};

bool IsAsciiDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char32_t c)
{
    return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::size_t CountDigits(std::u32string_view s, std::size_t i, bool hex)
{
    std::size_t n = 0;
    while (i + n < s.size() && (hex ? IsHexDigit(s[i + n]) : IsAsciiDigit(s[i + n])))
        ++n;
    return n;
}

}  // namespace

int JavaDecimalDigit(char32_t c)
{
    for (const char32_t zero : kDigitZeros) {
        if (c >= zero && c < zero + 10)
            return static_cast<int>(c - zero);
    }
    return -1;
}

std::optional<int32_t> JavaParseInt(std::u32string_view s)
{
    if (s.empty())
        return std::nullopt;
    std::size_t i = 0;
    bool negative = false;
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        i = 1;
        if (s.size() == 1)
            return std::nullopt;
    }
    int64_t value = 0;
    for (; i < s.size(); ++i) {
        const int d = JavaDecimalDigit(s[i]);
        if (d < 0)
            return std::nullopt;
        value = value * 10 + d;
        if (value > int64_t(INT32_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX || value < INT32_MIN)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::u32string_view JavaTrim(std::u32string_view s)
{
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && s[begin] <= 0x20)
        ++begin;
    while (end > begin && s[end - 1] <= 0x20)
        --end;
    return s.substr(begin, end - begin);
}

// The grammar of FloatingDecimal.readJavaFormatString: the text trimmed, an optional sign, then
// "NaN", "Infinity", a hexadecimal significand with a binary exponent, or decimal digits with
// at most one point and an optional exponent; a final f, F, d or D is allowed after a number.
std::optional<double> JavaParseDouble(std::u32string_view text)
{
    const std::u32string_view s = JavaTrim(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    const std::u32string_view rest = s.substr(i);
    if (rest == U"NaN")
        return std::nan("");
    if (rest == U"Infinity")
        return negative ? -HUGE_VAL : HUGE_VAL;

    // What std::from_chars reads: the sign and the number without "0x" and its type suffix.
    std::string ascii;
    if (negative)
        ascii += '-';
    auto take = [&](std::size_t from, std::size_t count) {
        for (std::size_t k = from; k < from + count; ++k)
            ascii += static_cast<char>(s[k]);
    };
    // The order of magnitude of the number, from its digits and exponent, to tell an overflow
    // from an underflow: Java gives an infinity or a zero for them, not an error.
    auto magnitude = [&](std::size_t wholeAt, std::size_t whole, std::size_t fractionAt, std::size_t fraction,
                         long exponent, int digitWeight) {
        std::size_t lead = 0;
        while (lead < whole && s[wholeAt + lead] == '0')
            ++lead;
        if (lead < whole)
            return long(whole - lead) * digitWeight + exponent;
        std::size_t zeros = 0;
        while (zeros < fraction && s[fractionAt + zeros] == '0')
            ++zeros;
        return -long(zeros) * digitWeight + exponent;
    };
    // The exponent's sign and digits from `k` on (after its letter), copied for from_chars;
    // none when it has no digit. `k` ends after them.
    auto readExponent = [&](std::size_t& k) -> std::optional<long> {
        bool minus = false;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) {
            minus = s[k] == '-';
            ascii += static_cast<char>(s[k++]);
        }
        const std::size_t count = CountDigits(s, k, false);
        if (count == 0)
            return std::nullopt;
        take(k, count);
        long e = 0;
        for (std::size_t d = k; d < k + count && e < 100000; ++d)
            e = e * 10 + long(s[d] - '0');
        k += count;
        return minus ? -e : e;
    };
    // The number ends at `k`, but for a type suffix.
    auto endsAt = [&](std::size_t k) {
        if (k < s.size() && (s[k] == 'f' || s[k] == 'F' || s[k] == 'd' || s[k] == 'D'))
            ++k;
        return k == s.size();
    };
    bool hex = false;
    long order = 0;
    if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        hex = true;
        std::size_t k = i + 2;
        const std::size_t wholeAt = k;
        const std::size_t whole = CountDigits(s, k, true);
        k += whole;
        std::size_t fraction = 0;
        if (k < s.size() && s[k] == '.') {
            fraction = CountDigits(s, k + 1, true);
        }
        if (whole == 0 && fraction == 0)
            return std::nullopt;
        take(wholeAt, whole);
        const std::size_t fractionAt = k + 1;
        if (k < s.size() && s[k] == '.') {
            ascii += '.';
            take(k + 1, fraction);
            k += 1 + fraction;
        }
        if (k >= s.size() || (s[k] != 'p' && s[k] != 'P'))
            return std::nullopt;
        ascii += 'p';
        ++k;
        const std::optional<long> exponent = readExponent(k);
        if (!exponent || !endsAt(k))
            return std::nullopt;
        order = magnitude(wholeAt, whole, fractionAt, fraction, *exponent, 4);
    } else {
        std::size_t k = i;
        const std::size_t wholeAt = k;
        const std::size_t whole = CountDigits(s, k, false);
        take(k, whole);
        k += whole;
        std::size_t fraction = 0;
        const std::size_t fractionAt = k + 1;
        if (k < s.size() && s[k] == '.') {
            fraction = CountDigits(s, k + 1, false);
            ascii += '.';
            take(k + 1, fraction);
            k += 1 + fraction;
        }
        if (whole == 0 && fraction == 0)
            return std::nullopt;
        long exponentNumber = 0;
        if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
            ascii += 'e';
            ++k;
            const std::optional<long> exponent = readExponent(k);
            if (!exponent)
                return std::nullopt;
            exponentNumber = *exponent;
        }
        if (!endsAt(k))
            return std::nullopt;
        order = magnitude(wholeAt, whole, fractionAt, fraction, exponentNumber, 1);
    }
    // from_chars rounds to nearest as Java does and, unlike strtod, ignores the C locale.
    double value = 0;
    const auto [end, ec] =
        std::from_chars(ascii.data(), ascii.data() + ascii.size(), value,
                        hex ? std::chars_format::hex : std::chars_format::general);
    (void)end;
    if (ec == std::errc::result_out_of_range)
        value = order > 0 ? HUGE_VAL : 0.0;
    else if (ec != std::errc())
        return std::nullopt;
    return negative && ec == std::errc::result_out_of_range ? -value : value;
}

}  // namespace cl::formats
