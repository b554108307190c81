#include "classfile/ModifiedUtf8.h"

namespace cl::classfile {

const char* TextStatusWord(TextStatus status) noexcept
{
    switch (status) {
        case TextStatus::Ok: return "ok";
        case TextStatus::BareZero: return "bare-zero";
        case TextStatus::FourByteForm: return "four-byte-form";
        case TextStatus::BadLeadByte: return "bad-lead-byte";
        case TextStatus::BadContinuation: return "bad-continuation";
        case TextStatus::Truncated: return "truncated";
        case TextStatus::Overlong: return "overlong";
        case TextStatus::EncodedSurrogate: return "encoded-surrogate";
        case TextStatus::OutOfRange: return "out-of-range";
        case TextStatus::UnpairedSurrogate: return "unpaired-surrogate";
    }
    return "unknown";
}

namespace {

bool IsContinuation(uint8_t b)
{
    return (b & 0xC0) == 0x80;
}
bool IsHighSurrogate(uint32_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(uint32_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

// One modified UTF-8 form at `i`: its UTF-16 unit and byte count, or the reason it is invalid.
struct Form {
    TextStatus status;
    uint16_t unit;
    size_t length;
};

Form ReadModifiedForm(std::string_view bytes, size_t i) noexcept
{
    const auto b0 = static_cast<uint8_t>(bytes[i]);
    if (b0 == 0)
        return {TextStatus::BareZero, 0, 1};
    if (b0 < 0x80)
        return {TextStatus::Ok, b0, 1};
    if (b0 < 0xC0 || b0 >= 0xF8)
        return {TextStatus::BadLeadByte, 0, 1};
    if (b0 >= 0xF0)
        return {TextStatus::FourByteForm, 0, 1};
    const size_t need = b0 >= 0xE0 ? 3 : 2;
    for (size_t k = 1; k < need; ++k) {
        if (i + k >= bytes.size())
            return {TextStatus::Truncated, 0, 1};
        if (!IsContinuation(static_cast<uint8_t>(bytes[i + k])))
            return {TextStatus::BadContinuation, 0, 1};
    }
    const auto b1 = static_cast<uint8_t>(bytes[i + 1]);
    if (need == 2) {
        const uint32_t u = ((b0 & 0x1Fu) << 6) | (b1 & 0x3Fu);
        if (u < 0x80 && u != 0)
            return {TextStatus::Overlong, 0, 1};
        return {TextStatus::Ok, static_cast<uint16_t>(u), 2};
    }
    const auto b2 = static_cast<uint8_t>(bytes[i + 2]);
    const uint32_t u = ((b0 & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
    if (u < 0x800)
        return {TextStatus::Overlong, 0, 1};
    return {TextStatus::Ok, static_cast<uint16_t>(u), 3};
}

void AppendThreeByte(std::string& out, uint32_t u)
{
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
}

void AppendModifiedUnit(std::string& out, uint16_t u)
{
    if (u != 0 && u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        AppendThreeByte(out, u);
    }
}

}  // namespace

TextResult DecodeModifiedUtf8(std::string_view bytes, std::u16string& out)
{
    out.clear();
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const Form form = ReadModifiedForm(bytes, i);
        if (form.status != TextStatus::Ok)
            return {form.status, i};
        out += static_cast<char16_t>(form.unit);
        i += form.length;
    }
    return {};
}

bool IsValidModifiedUtf8(std::string_view bytes) noexcept
{
    for (size_t i = 0; i < bytes.size();) {
        const Form form = ReadModifiedForm(bytes, i);
        if (form.status != TextStatus::Ok)
            return false;
        i += form.length;
    }
    return true;
}

std::string EncodeModifiedUtf8(std::u16string_view units)
{
    std::string out;
    out.reserve(units.size());
    for (const char16_t u : units)
        AppendModifiedUnit(out, static_cast<uint16_t>(u));
    return out;
}

TextResult ModifiedUtf8FromUtf8(std::string_view utf8, std::string& out)
{
    out.clear();
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto b0 = static_cast<uint8_t>(utf8[i]);
        if (b0 < 0x80) {
            AppendModifiedUnit(out, b0);
            ++i;
            continue;
        }
        size_t need = 0;
        uint32_t u = 0;
        if (b0 >= 0xC0 && b0 < 0xE0) {
            need = 2;
            u = b0 & 0x1Fu;
        } else if (b0 >= 0xE0 && b0 < 0xF0) {
            need = 3;
            u = b0 & 0x0Fu;
        } else if (b0 >= 0xF0 && b0 < 0xF8) {
            need = 4;
            u = b0 & 0x07u;
        } else {
            return {TextStatus::BadLeadByte, i};
        }
        for (size_t k = 1; k < need; ++k) {
            if (i + k >= utf8.size())
                return {TextStatus::Truncated, i};
            const auto b = static_cast<uint8_t>(utf8[i + k]);
            if (!IsContinuation(b))
                return {TextStatus::BadContinuation, i};
            u = (u << 6) | (b & 0x3Fu);
        }
        static constexpr uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (u < kSmallest[need])
            return {TextStatus::Overlong, i};
        if (u > 0x10FFFF)
            return {TextStatus::OutOfRange, i};
        if (IsHighSurrogate(u) || IsLowSurrogate(u))
            return {TextStatus::EncodedSurrogate, i};
        if (u >= 0x10000) {
            const uint32_t v = u - 0x10000;
            AppendThreeByte(out, 0xD800 | (v >> 10));
            AppendThreeByte(out, 0xDC00 | (v & 0x3FF));
        } else {
            AppendModifiedUnit(out, static_cast<uint16_t>(u));
        }
        i += need;
    }
    return {};
}

TextResult Utf8FromModifiedUtf8(std::string_view modified, std::string& out)
{
    out.clear();
    out.reserve(modified.size());
    for (size_t i = 0; i < modified.size();) {
        const Form form = ReadModifiedForm(modified, i);
        if (form.status != TextStatus::Ok)
            return {form.status, i};
        uint32_t u = form.unit;
        size_t used = form.length;
        if (IsLowSurrogate(u))
            return {TextStatus::UnpairedSurrogate, i};
        if (IsHighSurrogate(u)) {
            if (i + used >= modified.size())
                return {TextStatus::UnpairedSurrogate, i};
            const Form low = ReadModifiedForm(modified, i + used);
            if (low.status != TextStatus::Ok || !IsLowSurrogate(low.unit))
                return {TextStatus::UnpairedSurrogate, i};
            u = 0x10000 + ((u - 0xD800) << 10) + (low.unit - 0xDC00u);
            used += low.length;
            out += static_cast<char>(0xF0 | (u >> 18));
            out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            AppendThreeByte(out, u);
        }
        i += used;
    }
    return {};
}

int32_t JavaStringHash(std::u16string_view units) noexcept
{
    uint32_t h = 0;  // unsigned: the wraparound Java relies on is defined here
    for (const char16_t u : units)
        h = h * 31u + static_cast<uint16_t>(u);
    return static_cast<int32_t>(h);
}

}  // namespace cl::classfile
