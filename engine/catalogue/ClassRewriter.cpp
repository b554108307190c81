#include "catalogue/ClassRewriter.h"

#include "classfile/LoadRedirect.h"

namespace cl::catalogue {

namespace {

constexpr std::size_t kMaxUtf8Bytes = 65535;
constexpr std::size_t kMaxPoolCount = 65535;  // constant_pool_count is a u2

void PutU2(std::string& out, std::size_t value)
{
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void PutUtf8(std::string& out, const std::string& text)
{
    out += '\x01';
    PutU2(out, text.size());
    out += text;
}

}  // namespace

RewriteResult RewriteClass(const classfile::ClassFile& cf, const PoolEdits& edits)
{
    using classfile::Tag;
    RewriteResult result;
    for (const auto& [index, text] : edits.utf8) {
        if (text.size() > kMaxUtf8Bytes) {
            result.problem = TranslationProblem::TooLong;
            result.index = index;
            return result;
        }
    }
    for (const auto& [index, text] : edits.detached) {
        if (text.size() > kMaxUtf8Bytes) {
            result.problem = TranslationProblem::TooLong;
            result.index = index;
            return result;
        }
    }
    for (const auto& [index, redirect] : edits.redirected) {
        if (redirect.text.size() > kMaxUtf8Bytes) {
            result.problem = TranslationProblem::TooLong;
            result.index = index;
            return result;
        }
    }
    // After the detached texts, a Utf8 and a String for each redirected constant.
    const std::size_t count = std::size_t{cf.constantPoolCount} + edits.detached.size() + 2 * edits.redirected.size();
    if (count > kMaxPoolCount) {
        result.problem = TranslationProblem::PoolTooLarge;
        return result;
    }

    const auto* bytes = reinterpret_cast<const char*>(cf.bytes.data());
    std::string& out = result.bytes;
    out.reserve(cf.bytes.size() + 64);
    out.append(bytes, 8);  // magic, minor and major version
    PutU2(out, count);
    std::size_t nextIndex = cf.constantPoolCount;
    for (std::size_t i = 1; i < cf.pool.size(); ++i) {
        const classfile::Constant& c = cf.pool[i];
        if (c.size == 0)
            continue;  // the second slot of a Long or Double
        const auto index = static_cast<uint16_t>(i);
        if (c.tag == Tag::Utf8) {
            if (auto it = edits.utf8.find(index); it != edits.utf8.end()) {
                PutUtf8(out, it->second);
                continue;
            }
        } else if (c.tag == Tag::String && edits.detached.count(index) != 0) {
            out += '\x08';
            PutU2(out, nextIndex++);
            continue;
        }
        out.append(bytes + c.offset, c.size);
    }
    // The appended entries, in the order of the String entries they belong to.
    for (const auto& [index, text] : edits.detached)
        PutUtf8(out, text);
    std::vector<classfile::LoadRedirect> loads;
    for (const auto& [index, redirect] : edits.redirected) {
        const std::size_t utf8 = nextIndex++;
        const auto string = static_cast<uint16_t>(nextIndex++);
        PutUtf8(out, redirect.text);
        out += '\x08';
        PutU2(out, utf8);
        for (const uint16_t method : redirect.methods)
            loads.push_back({method, index, string});
    }
    if (loads.empty()) {
        out.append(bytes + cf.poolEnd, cf.bytes.size() - cf.poolEnd);
    } else {
        const classfile::RedirectedLoads tail = classfile::RedirectLoads(cf, loads);
        if (!tail.ok()) {
            result.problem = TranslationProblem::CodeNotRelaid;
            out.clear();
            return result;
        }
        out += tail.tail;
    }

    const classfile::ClassFile again =
        classfile::ParseClassFile(reinterpret_cast<const uint8_t*>(out.data()), out.size());
    if (!again.parsed) {
        result.problem = TranslationProblem::NotReparsed;
        out.clear();
    }
    return result;
}

}  // namespace cl::catalogue
