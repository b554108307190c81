// fuzz_classfile: parses the input as a class file and computes its roles. Checks that the
// parse stops inside the input with a reason, that a parsed pool tiles the bytes from offset
// 10 to poolEnd exactly (the rewriter copies everything after it), that every Utf8 entry has
// a role and is found again by its scan-row offset, that valid modified UTF-8 re-encodes to
// the same bytes, and that no shorter or longer copy of a parsed file parses. On a parsed
// class it also redirects the string loads of every other method to a String appended behind
// the pool at an index past 255, so that every ldc among them grows: either that fails with a
// reason and no bytes, or the result parses again with those loads at the new entry and every
// other load where it was.

#include "classfile/ClassFile.h"
#include "classfile/LoadRedirect.h"
#include "classfile/ModifiedUtf8.h"
#include "classfile/Roles.h"

#include "FuzzCheck.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace cl::classfile;

namespace {

void PutU2(std::string& out, uint32_t v)
{
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

void CheckRedirect(const ClassFile& cf, const uint8_t* data, size_t size)
{
    // The new String goes at 256 or later: empty Utf8 entries fill the pool up to there.
    const uint32_t fill = cf.constantPoolCount < 255 ? 255u - cf.constantPoolCount : 0u;
    const uint32_t count = uint32_t{cf.constantPoolCount} + fill + 2;
    if (count > 0xFFFF)
        return;
    const auto newString = static_cast<uint16_t>(count - 1);
    std::string whole(reinterpret_cast<const char*>(data), 8);
    PutU2(whole, count);
    whole.append(reinterpret_cast<const char*>(data) + 10, cf.poolEnd - 10);
    for (uint32_t i = 0; i < fill; ++i) {
        whole += '\x01';  // Utf8 ""
        PutU2(whole, 0);
    }
    whole += '\x01';  // Utf8 "x", then the String of it
    PutU2(whole, 1);
    whole += 'x';
    whole += '\x08';
    PutU2(whole, count - 2);

    std::vector<LoadRedirect> redirects;
    for (const CodeInfo& code : cf.codes) {
        if (code.method % 2 != 0)
            continue;
        for (const LoadedString& s : code.strings)
            redirects.push_back({code.method, s.stringIndex, newString});
    }
    const RedirectedLoads result = RedirectLoads(cf, redirects);
    if (!result.ok()) {
        CHECK(result.tail.empty());
        CHECK(result.offset <= size);
        return;
    }
    whole += result.tail;
    const ClassFile after = ParseClassFile(reinterpret_cast<const uint8_t*>(whole.data()), whole.size());
    CHECK(after.parsed);
    CHECK(after.methods.size() == cf.methods.size());
    CHECK(after.codes.size() == cf.codes.size());
    for (size_t i = 0; i < cf.codes.size(); ++i) {
        const CodeInfo& before = cf.codes[i];
        const CodeInfo& now = after.codes[i];
        CHECK(now.method == before.method);
        CHECK(now.strings.size() == before.strings.size());
        CHECK(now.handlers.size() == before.handlers.size());
        CHECK(now.codeLength >= before.codeLength);
        const bool redirected = before.method % 2 == 0;
        for (size_t k = 0; k < before.strings.size(); ++k) {
            CHECK(now.strings[k].stringIndex == (redirected ? newString : before.strings[k].stringIndex));
            if (!redirected)
                CHECK(now.strings[k].pc == before.strings[k].pc);
        }
        if (!redirected)
            CHECK(std::equal(cf.bytes.begin() + before.codeOffset, cf.bytes.begin() + before.codeOffset + before.codeLength,
                             after.bytes.begin() + now.codeOffset));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ClassFile cf = ParseClassFile(data, size);
    const std::vector<Role> roles = ComputeRoles(cf);
    const ScanRoleMap map(cf, roles);
    CHECK(roles.size() == cf.pool.size());
    CHECK(map.Available() == cf.parsed);
    if (!cf.parsed) {
        CHECK(cf.error != ParseError::None);
        CHECK(cf.errorOffset <= size);
        for (const Role role : roles)
            CHECK(role == Role::None);
        return 0;
    }
    CHECK(cf.error == ParseError::None);
    CHECK(cf.pool.size() == cf.constantPoolCount || (cf.constantPoolCount == 0 && cf.pool.size() == 1));
    CHECK(cf.poolEnd <= size);

    size_t next = 10;
    std::u16string units;
    for (uint16_t i = 1; i < cf.pool.size(); ++i) {
        const Constant& c = cf.pool[i];
        if (c.tag == Tag::Unusable) {
            CHECK(i > 1 && (cf.pool[i - 1].tag == Tag::Long || cf.pool[i - 1].tag == Tag::Double));
            CHECK(roles[i] == Role::None);
            continue;
        }
        CHECK(c.offset == next);
        CHECK(data[c.offset] == static_cast<uint8_t>(c.tag));
        next += c.size;
        if (c.tag != Tag::Utf8) {
            CHECK(roles[i] == Role::None);
            continue;
        }
        CHECK(roles[i] != Role::None);
        CHECK(map.RoleAtRow(int64_t{c.offset} + 1) == roles[i]);
        CHECK(map.RoleAtRow(int64_t{c.offset} + 2) == Role::None);
        const std::string_view text = cf.Utf8Bytes(i);
        CHECK(text.size() == c.Utf8Length() && c.size == 3u + c.Utf8Length());
        if (DecodeModifiedUtf8(text, units).Ok())
            CHECK(EncodeModifiedUtf8(units) == text);
    }
    CHECK(next == cf.poolEnd);

    for (const CodeInfo& code : cf.codes) {
        CHECK(code.method < cf.methods.size());
        CHECK(code.codeLength >= 1 && code.codeLength <= 65535);
        CHECK(size_t{code.codeOffset} + code.codeLength <= size);
        for (const LoadedString& s : code.strings)
            CHECK(s.pc < code.codeLength && cf.At(s.stringIndex, Tag::String) != nullptr);
        for (const InvokeDynamicSite& site : code.invokeDynamics)
            CHECK(site.pc < code.codeLength && cf.At(site.invokeDynamicIndex, Tag::InvokeDynamic) != nullptr);
    }
    for (const BootstrapMethod& method : cf.bootstrapMethods) {
        CHECK(cf.At(method.methodHandleIndex, Tag::MethodHandle) != nullptr);
        CHECK(cf.Arguments(method).size() == method.argumentCount);
    }
    for (const uint16_t text : cf.annotationStrings)
        CHECK(roles[text] == Role::Annotation || roles[text] == Role::Shared || roles[text] == Role::Key ||
              roles[text] == Role::Other);

    CheckRedirect(cf, data, size);

    // Reading is strictly sequential, so a shorter copy runs out and a longer one has a byte left.
    CHECK(!ParseClassFile(data, size - 1).parsed);
    std::vector<uint8_t> longer(data, data + size);
    longer.push_back(0);
    const ClassFile more = ParseClassFile(longer.data(), longer.size());
    CHECK(!more.parsed && more.error == ParseError::TrailingBytes && more.errorOffset == size);
    return 0;
}
