#include "text/CodePage.h"

#include "text/ByteStringErrors.h"
#include "text/CodePoints.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace cl {

namespace {

bool IsAscii(const uint8_t* bytes, size_t count)
{
    return std::all_of(bytes, bytes + count, [](uint8_t b) { return b < 0x80; });
}

bool IsAscii(std::u16string_view units)
{
    return std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 0x80; });
}

#ifdef _WIN32

std::u16string PlatformAnsiToUtf16(const ByteString& ansi)
{
    // One UTF-16 unit per ANSI byte is always enough.
    std::wstring wide(static_cast<size_t>(ansi.ByteLength()), L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(ansi.Bytes()), ansi.ByteLength(),
                                      wide.data(), static_cast<int>(wide.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(wide.data()), n > 0 ? static_cast<size_t>(n) : 0);
}

ByteString PlatformUtf16ToAnsi(std::u16string_view units)
{
    std::string out(units.size() * 2 + 2, '\0');
    const int n =
        WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(units.data()), static_cast<int>(units.size()),
                            out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    return n > 0 ? ByteString(out.data(), n) : ByteString();
}

#else

// The GBK tables of glibc. Conversion descriptors are opened once per thread and reset before
// every use, since opening one loads a module.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in` whole. Input the table rejects is skipped `badStep` bytes at a time, each
    // time writing `replacement` to the output. `outBound` bytes of output always suffice.
    std::string Run(const char* in, size_t inLeft, size_t badStep, std::string_view replacement, size_t outBound)
    {
        std::string out;
        try {
            out.resize(outBound);
        } catch (const std::bad_alloc&) {
            throw OutOfMemory();
        }
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            out.clear();
            return out;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        char* dst = out.data();
        size_t outLeft = out.size();
        while (inLeft > 0) {
            if (iconv(cd_, &src, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG || outLeft < replacement.size())
                break;  // cannot happen with the bounds the callers give
            const size_t step = std::min(badStep, inLeft);
            src += step;
            inLeft -= step;
            std::copy(replacement.begin(), replacement.end(), dst);
            dst += replacement.size();
            outLeft -= replacement.size();
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t cd_;
};

constexpr std::string_view kUtf16QuestionMark("\x3F\x00", 2);

std::u16string PlatformAnsiToUtf16(const ByteString& ansi)
{
    thread_local Converter toUtf16("UTF-16LE", "CP936");
    const std::string le =
        toUtf16.Run(reinterpret_cast<const char*>(ansi.Bytes()), static_cast<size_t>(ansi.ByteLength()), 1,
                    kUtf16QuestionMark, static_cast<size_t>(ansi.ByteLength()) * 2);
    std::u16string units(le.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<uint8_t>(le[2 * i]) | (static_cast<uint8_t>(le[2 * i + 1]) << 8));
    return units;
}

ByteString PlatformUtf16ToAnsi(std::u16string_view units)
{
    thread_local Converter fromUtf16("CP936", "UTF-16LE");
    std::string le(units.size() * 2, '\0');
    for (size_t i = 0; i < units.size(); ++i) {
        le[2 * i] = static_cast<char>(units[i] & 0xFF);
        le[2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
    const std::string out = fromUtf16.Run(le.data(), le.size(), 2, "?", units.size() * 2 + 2);
    return ByteString(std::string_view(out));
}

#endif

// What the code page makes of each UTF-16 unit, worked out by the platform conversion the first
// time the unit is met and kept for the life of the program: converting text a unit at a time
// through this table costs a load per character instead of a library call per text. The code
// page is stateless, so the ANSI bytes of a text are the bytes of its units one after another;
// surrogates, which the platform judges in pairs, always take the platform's way.
//
// An entry is 0 until known. Bits 0-15 hold the ANSI bytes (the first in the low byte), bit 16
// says there are two of them, bit 17 that the bytes read back alone to the unit in bits 32-47
// and cannot run into the next character's bytes, so that a round trip can use the table too.
constexpr uint64_t kKnown = uint64_t{1} << 63;
constexpr uint64_t kTwoBytes = uint64_t{1} << 16;
constexpr uint64_t kRoundTrips = uint64_t{1} << 17;
constexpr uint64_t kNoTable = uint64_t{1} << 18;  // the platform gave something else than 1 or 2 bytes

std::atomic<uint64_t> g_units[0x10000] = {};
// One bit per unit, set once the unit's entry says it comes back as itself: 8 KiB, where the
// entries take 512 KiB and a text of scattered Chinese characters would miss the cache on them.
std::atomic<uint64_t> g_itself[0x10000 / 64] = {};

bool IsSurrogate(char16_t u)
{
    return u >= 0xD800 && u < 0xE000;
}

uint64_t UnitEntry(char16_t u)
{
    uint64_t entry = g_units[u].load(std::memory_order_relaxed);
    if (entry != 0)
        return entry;
    // Threads that meet a new unit at the same time all store the same value.
    const char16_t one[1] = {u};
    const ByteString ansi = PlatformUtf16ToAnsi(std::u16string_view(one, 1));
    entry = kKnown;
    if (ansi.ByteLength() == 1 || ansi.ByteLength() == 2) {
        const uint8_t* b = ansi.Bytes();
        entry |= b[0];
        if (ansi.ByteLength() == 2)
            entry |= kTwoBytes | (uint64_t{b[1]} << 8);
        const std::u16string back = PlatformAnsiToUtf16(ansi);
        // A single byte from 0x80 up could be read as the lead byte of the next character.
        const bool alone = ansi.ByteLength() == 2 || b[0] < 0x80;
        if (alone && back.size() == 1 && !IsSurrogate(back[0])) {
            entry |= kRoundTrips | (uint64_t{back[0]} << 32);
            if (back[0] == u)
                g_itself[u / 64].fetch_or(uint64_t{1} << (u % 64), std::memory_order_relaxed);
        }
    } else {
        entry |= kNoTable;
    }
    g_units[u].store(entry, std::memory_order_relaxed);
    return entry;
}

char* AppendUtf8(char* p, char16_t u)
{
    if (u < 0x80) {
        *p++ = static_cast<char>(u);
    } else if (u < 0x800) {
        *p++ = static_cast<char>(0xC0 | (u >> 6));
        *p++ = static_cast<char>(0x80 | (u & 0x3F));
    } else {
        *p++ = static_cast<char>(0xE0 | (u >> 12));
        *p++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (u & 0x3F));
    }
    return p;
}

}  // namespace

bool ComesBackAsItself(char16_t u)
{
    if ((g_itself[u / 64].load(std::memory_order_relaxed) >> (u % 64)) & 1)
        return true;
    if (IsSurrogate(u))
        return false;
    const uint64_t entry = UnitEntry(u);  // sets the bit when it is so
    return (entry & kRoundTrips) && static_cast<char16_t>(entry >> 32) == u;
}

ByteString detail::Utf16ToAnsiUncached(std::u16string_view units)
{
    return units.empty() ? ByteString() : PlatformUtf16ToAnsi(units);
}

std::u16string AnsiToUtf16(const ByteString& ansi)
{
    if (ansi.IsEmpty())
        return {};
    const uint8_t* bytes = ansi.Bytes();
    if (IsAscii(bytes, static_cast<size_t>(ansi.ByteLength())))
        return std::u16string(bytes, bytes + ansi.ByteLength());
    return PlatformAnsiToUtf16(ansi);
}

ByteString Utf16ToAnsi(std::u16string_view units)
{
    if (units.empty())
        return {};
    if (IsAscii(units)) {
        ByteString out;
        out.SetByteLength(static_cast<int32_t>(units.size()));
        std::copy(units.begin(), units.end(), out.Bytes());
        return out;
    }
    ByteString out;
    out.SetByteLength(static_cast<int32_t>(std::min<size_t>(units.size() * 2, INT32_MAX)));
    uint8_t* bytes = out.Bytes();
    int32_t length = 0;
    for (const char16_t u : units) {
        const uint64_t entry = IsSurrogate(u) ? kNoTable : UnitEntry(u);
        if ((entry & kNoTable) || length + 2 > out.ByteLength())
            return PlatformUtf16ToAnsi(units);
        bytes[length++] = static_cast<uint8_t>(entry & 0xFF);
        if (entry & kTwoBytes)
            bytes[length++] = static_cast<uint8_t>((entry >> 8) & 0xFF);
    }
    out.SetByteLength(length);  // shorter: keeps the storage
    return out;
}

void AppendUtf8ThroughAnsi(std::u16string_view units, std::string& out)
{
    const size_t start = out.size();
    out.resize(start + units.size() * 3);  // no unit takes more than three bytes
    char* p = out.data() + start;
    for (const char16_t u : units) {
        if (u < 0x80) {  // ASCII is the same in the code page
            *p++ = static_cast<char>(u);
            continue;
        }
        const uint64_t entry = IsSurrogate(u) ? 0 : UnitEntry(u);
        if (!(entry & kRoundTrips)) {
            out.resize(start);
            out += Utf8FromAnsi(Utf16ToAnsi(units));
            return;
        }
        p = AppendUtf8(p, static_cast<char16_t>(entry >> 32));
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

ByteString AnsiFromUtf8(std::string_view utf8)
{
    std::u16string units;
    units.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<uint8_t>(utf8[i]);
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        uint32_t cp = extra == 0 ? b : extra == 1 ? (b & 0x1Fu) : extra == 2 ? (b & 0x0Fu) : (b & 0x07u);
        bool ok = extra >= 0 && i + static_cast<size_t>(extra) < utf8.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto c = static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (!ok) {
            units.push_back(u'?');
            ++i;
            continue;
        }
        i += static_cast<size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp));
        }
    }
    return Utf16ToAnsi(units);
}

std::vector<std::string> CharactersOutsideCodePage(std::string_view utf8)
{
    std::vector<std::string> outside;
    if (Utf8FromAnsi(AnsiFromUtf8(utf8)) == utf8)
        return outside;  // the common case, in one conversion
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<uint8_t>(utf8[i]);
        size_t length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
        for (size_t k = 1; k < length; ++k) {
            if (i + k >= utf8.size() || (static_cast<uint8_t>(utf8[i + k]) & 0xC0) != 0x80) {
                length = 1;
                break;
            }
        }
        const std::string character(utf8.substr(i, length));
        if (Utf8FromAnsi(AnsiFromUtf8(character)) != character &&
            std::find(outside.begin(), outside.end(), character) == outside.end())
            outside.push_back(character);
        i += length;
    }
    return outside;
}

std::string Utf8FromAnsi(const ByteString& ansi)
{
    return Utf16ToUtf8(AnsiToUtf16(ansi));
}

}  // namespace cl
