// fuzz_bytestring: runs a sequence of ByteString operations decoded from the input over a few
// values and checks every value after every step against a std::string model that follows
// the clamping rules: lengths, bytes, the trailing zero byte, and that copies stay
// independent whichever side is changed.

#include "text/ByteString.h"
#include "text/ByteStringErrors.h"

#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

namespace {

constexpr int kSlots = 4;
// Keeps every run fast; the clamping rules do not depend on size.
constexpr int64_t kMaxLength = 4096;

// ---- The model: plain std::string operations following the rules for 1-based positions.

int64_t ModelLocate(const std::string& s, const std::string& needle)
{
    if (needle.empty() || s.empty())
        return 0;
    const int64_t n = static_cast<int64_t>(needle.size());
    const int64_t last = static_cast<int64_t>(s.size()) - n + 1;  // highest candidate start
    for (int64_t start = 1; start <= last; ++start) {
        if (std::equal(needle.begin(), needle.end(), s.begin() + (start - 1)))
            return start;
    }
    return 0;
}

std::string ModelSlice(const std::string& s, int64_t p, int64_t c)
{
    const int64_t length = static_cast<int64_t>(s.size());
    if (length < p || c < 1)
        return {};
    if (p < 1)
        p = 1;
    const int64_t count = std::min(c, length - p + 1);
    return s.substr(static_cast<size_t>(p - 1), static_cast<size_t>(count));
}

void ModelErase(std::string& s, int64_t p, int64_t c)
{
    const int64_t length = static_cast<int64_t>(s.size());
    if (length == 0 || p < 1 || p > length || c < 1)
        return;
    c = std::min(c, length - p + 1);
    s.erase(static_cast<size_t>(p - 1), static_cast<size_t>(c));
}

void ModelInsertAt(std::string& s, const std::string& source, int64_t p)
{
    if (source.empty())
        return;
    const int64_t length = static_cast<int64_t>(s.size());
    if (p < 1)
        p = 1;
    if (p > length + 1)
        p = length + 1;
    s.insert(static_cast<size_t>(p - 1), source);
}

std::string ModelDecimal(int32_t value)
{
    int64_t v = value;
    const bool negative = v < 0;
    if (negative)
        v = -v;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + v % 10));
        v /= 10;
    } while (v != 0);
    return negative ? "-" + digits : digits;
}

// ---- Checks.

void CheckValue(const cl::ByteString& value, const std::string& model)
{
    CHECK(value.ByteLength() == static_cast<int64_t>(model.size()));
    CHECK(value.IsEmpty() == model.empty());
    const uint8_t* bytes = value.Bytes();  // the const form: it must not unshare storage
    CHECK(bytes != nullptr);
    CHECK(
        std::equal(model.begin(), model.end(), bytes, [](char m, uint8_t b) { return static_cast<uint8_t>(m) == b; }));
    CHECK(bytes[model.size()] == 0);
}

// ---- Decoding the input into arguments.

// Positions and counts: mostly near the value's ends, sometimes the extremes of int32.
int32_t PickPosition(FuzzedDataProvider& in, int64_t length)
{
    switch (in.ConsumeIntegralInRange<int>(0, 9)) {
        case 0: return std::numeric_limits<int32_t>::min();
        case 1: return std::numeric_limits<int32_t>::max();
        case 2: return in.ConsumeIntegral<int32_t>();
        default: return static_cast<int32_t>(in.ConsumeIntegralInRange<int64_t>(-2, length + 2));
    }
}

std::string PickBytes(FuzzedDataProvider& in)
{
    return in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(0, 24));
}

struct State {
    std::array<cl::ByteString, kSlots> values;
    std::array<std::string, kSlots> models;

    void CheckAll() const
    {
        for (int i = 0; i < kSlots; ++i)
            CheckValue(values[i], models[i]);
    }
};

void Step(State& st, FuzzedDataProvider& in)
{
    const int a = in.ConsumeIntegralInRange<int>(0, kSlots - 1);
    const int b = in.ConsumeIntegralInRange<int>(0, kSlots - 1);
    cl::ByteString& va = st.values[a];
    std::string& ma = st.models[a];
    const int64_t la = static_cast<int64_t>(ma.size());

    switch (in.ConsumeIntegralInRange<int>(0, 17)) {
        case 0: {  // construction from zero-terminated text: up to the first zero byte
            const std::string text = PickBytes(in);
            va = cl::ByteString(text.c_str());
            ma = text.substr(0, text.find('\0'));
            break;
        }
        case 1: {  // construction from counted bytes, zero bytes included
            const std::string bytes = PickBytes(in);
            const bool viaView = in.ConsumeBool();
            va = viaView ? cl::ByteString(std::string_view(bytes))
                         : cl::ByteString(bytes.data(), static_cast<int32_t>(bytes.size()));
            ma = bytes;
            break;
        }
        case 2:  // copy assignment, self-assignment included
            va = st.values[b];
            ma = st.models[b];
            break;
        case 3: {  // move assignment between different values
            if (a == b)
                break;
            va = std::move(st.values[b]);
            ma = st.models[b];
            st.values[b] = cl::ByteString("moved");  // a moved-from value is only reassigned
            st.models[b] = "moved";
            break;
        }
        case 4: {  // a copy changed through ByteAt leaves the original alone, and the reverse
            cl::ByteString copy(st.values[b]);
            std::string model = st.models[b];
            if (model.empty())
                break;
            const int32_t p =
                static_cast<int32_t>(in.ConsumeIntegralInRange<int64_t>(1, static_cast<int64_t>(model.size())));
            const uint8_t byte = in.ConsumeIntegral<uint8_t>();
            if (in.ConsumeBool()) {
                copy.ByteAt(p) = byte;
                model[static_cast<size_t>(p - 1)] = static_cast<char>(byte);
                CheckValue(copy, model);
                st.CheckAll();
            } else {
                st.values[b].ByteAt(p) = byte;
                st.models[b][static_cast<size_t>(p - 1)] = static_cast<char>(byte);
                CheckValue(copy, model);
                st.CheckAll();
            }
            va = copy;
            ma = model;
            break;
        }
        case 5: {  // Locate
            const int64_t expected = ModelLocate(ma, st.models[b]);
            CHECK(va.Locate(st.values[b]) == expected);
            break;
        }
        case 6: {  // Slice into another value
            const int32_t p = PickPosition(in, la);
            const int32_t c = PickPosition(in, la);
            cl::ByteString slice = va.Slice(p, c);
            const std::string expected = ModelSlice(ma, p, c);
            CheckValue(slice, expected);
            st.values[b] = std::move(slice);
            st.models[b] = expected;
            break;
        }
        case 7: {  // Erase
            const int32_t p = PickPosition(in, la);
            const int32_t c = PickPosition(in, la);
            va.Erase(p, c);
            ModelErase(ma, p, c);
            break;
        }
        case 8: {  // InsertAt, also of a value into itself
            if (la + static_cast<int64_t>(st.models[b].size()) > kMaxLength)
                break;
            const int32_t p = PickPosition(in, la);
            const std::string source = st.models[b];
            va.InsertAt(st.values[b], p);
            ModelInsertAt(ma, source, p);
            break;
        }
        case 9: {  // SetByteLength; grown bytes are filled at once through Bytes(), as users do
            const int32_t n = in.ConsumeBool()
                                  ? in.ConsumeIntegralInRange<int32_t>(std::numeric_limits<int32_t>::min(), 0)
                                  : static_cast<int32_t>(in.ConsumeIntegralInRange<int64_t>(-2, la + 40));
            const char fill = in.ConsumeIntegral<char>();
            va.SetByteLength(n);
            if (n <= 0) {
                ma.clear();
            } else {
                const size_t kept = std::min(ma.size(), static_cast<size_t>(n));
                CHECK(std::equal(ma.begin(), ma.begin() + static_cast<std::ptrdiff_t>(kept), std::as_const(va).Bytes(),
                                 [](char m, uint8_t v) { return static_cast<uint8_t>(m) == v; }));
                uint8_t* bytes = va.Bytes();
                std::fill(bytes + kept, bytes + n, static_cast<uint8_t>(fill));
                ma.resize(static_cast<size_t>(n), fill);
            }
            break;
        }
        case 10: {  // Append, also of a value to itself
            if (la + static_cast<int64_t>(st.models[b].size()) > kMaxLength)
                break;
            const std::string tail = st.models[b];
            va.Append(st.values[b]);
            ma += tail;
            break;
        }
        case 11: {  // ByteAt read: in range gives the byte, outside throws and changes nothing
            const int32_t p = PickPosition(in, la);
            const cl::ByteString& constant = va;
            if (p >= 1 && p <= la) {
                CHECK(constant.ByteAt(p) == static_cast<uint8_t>(ma[static_cast<size_t>(p - 1)]));
            } else {
                bool thrown = false;
                try {
                    (void)constant.ByteAt(p);
                } catch (const cl::RangeError&) {
                    thrown = true;
                }
                CHECK(thrown);
            }
            break;
        }
        case 12: {  // ByteAt write
            const int32_t p = PickPosition(in, la);
            const uint8_t byte = in.ConsumeIntegral<uint8_t>();
            if (p >= 1 && p <= la) {
                va.ByteAt(p) = byte;
                ma[static_cast<size_t>(p - 1)] = static_cast<char>(byte);
            } else {
                bool thrown = false;
                try {
                    va.ByteAt(p) = byte;
                } catch (const cl::RangeError&) {
                    thrown = true;
                }
                CHECK(thrown);
            }
            break;
        }
        case 13: {  // concatenation of two values
            const int c = in.ConsumeIntegralInRange<int>(0, kSlots - 1);
            if (static_cast<int64_t>(st.models[b].size() + st.models[c].size()) > kMaxLength)
                break;
            const std::string expected = st.models[b] + st.models[c];
            va = st.values[b] + st.values[c];
            ma = expected;
            break;
        }
        case 14: {  // concatenation of zero-terminated text and a value
            const std::string text = PickBytes(in);
            if (static_cast<int64_t>(text.size() + st.models[b].size()) > kMaxLength)
                break;
            const std::string expected = text.substr(0, text.find('\0')) + st.models[b];
            va = text.c_str() + st.values[b];
            ma = expected;
            break;
        }
        case 15: {  // FromInteger
            const int32_t v =
                in.ConsumeBool() ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange<int32_t>(-300, 300);
            va = cl::ByteString::FromInteger(v);
            ma = ModelDecimal(v);
            break;
        }
        case 16: {  // equality and inequality
            const bool equal = ma == st.models[b];
            CHECK((va == st.values[b]) == equal);
            CHECK((va != st.values[b]) == !equal);
            break;
        }
        case 17: {  // a copy written through Bytes() leaves the original alone
            if (st.models[b].empty())
                break;
            cl::ByteString copy = st.values[b];
            std::string model = st.models[b];
            const size_t k = in.ConsumeIntegralInRange<size_t>(0, model.size() - 1);
            const uint8_t byte = in.ConsumeIntegral<uint8_t>();
            copy.Bytes()[k] = byte;
            model[k] = static_cast<char>(byte);
            CheckValue(copy, model);
            st.CheckAll();
            va = std::move(copy);
            ma = model;
            break;
        }
    }
    st.CheckAll();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    State st;
    st.CheckAll();
    while (in.remaining_bytes() > 0)
        Step(st, in);
    return 0;
}
