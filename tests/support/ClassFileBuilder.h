#pragma once
// ClassFileBuilder: hand-made class files for tests. Constants are added in call order (Utf8,
// Class, String and NameAndType entries are reused when asked for again, as javac does), so a
// test knows every index; `Raw` adds entries the JVM would reject. Build() lays the file out
// as the JVM reads it; the offsets it reports let a test aim a mutation at one field.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cl::testing {

// Big-endian byte appender.
struct Bytes {
    std::vector<uint8_t> data;

    Bytes& U1(uint32_t v)
    {
        data.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& U2(uint32_t v) { return U1(v >> 8).U1(v); }
    Bytes& U4(uint32_t v) { return U2(v >> 16).U2(v); }
    Bytes& Append(const std::vector<uint8_t>& more)
    {
        data.insert(data.end(), more.begin(), more.end());
        return *this;
    }
    Bytes& Append(std::string_view text)
    {
        data.insert(data.end(), text.begin(), text.end());
        return *this;
    }
    size_t size() const { return data.size(); }
};

class ClassFileBuilder {
public:
    struct Attribute {
        uint16_t name;
        std::vector<uint8_t> content;
    };

    explicit ClassFileBuilder(std::string_view thisClass = "Sample", std::string_view superClass = "java/lang/Object")
    {
        thisClass_ = Class(thisClass);
        superClass_ = superClass.empty() ? 0 : Class(superClass);
    }

    // ---- Constant pool

    uint16_t Utf8(std::string_view text)
    {
        return Reused("u" + std::string(text),
                      [&] { return Raw(Bytes().U1(1).U2(static_cast<uint32_t>(text.size())).Append(text).data); });
    }
    uint16_t Class(std::string_view name)
    {
        const uint16_t n = Utf8(name);
        return Reused("c" + std::string(name), [&] { return Raw(Bytes().U1(7).U2(n).data); });
    }
    uint16_t String(std::string_view text)
    {
        const uint16_t t = Utf8(text);
        return Reused("s" + std::string(text), [&] { return Raw(Bytes().U1(8).U2(t).data); });
    }
    uint16_t Integer(int32_t v) { return Raw(Bytes().U1(3).U4(static_cast<uint32_t>(v)).data); }
    uint16_t Long(int64_t v)
    {
        const auto u = static_cast<uint64_t>(v);
        return Raw(Bytes().U1(5).U4(static_cast<uint32_t>(u >> 32)).U4(static_cast<uint32_t>(u)).data, 2);
    }
    uint16_t NameAndType(std::string_view name, std::string_view descriptor)
    {
        const uint16_t n = Utf8(name);
        const uint16_t d = Utf8(descriptor);
        return Reused("n" + std::string(name) + ":" + std::string(descriptor),
                      [&] { return Raw(Bytes().U1(12).U2(n).U2(d).data); });
    }
    uint16_t Fieldref(std::string_view owner, std::string_view name, std::string_view descriptor)
    {
        return MemberRef(9, owner, name, descriptor);
    }
    uint16_t Methodref(std::string_view owner, std::string_view name, std::string_view descriptor)
    {
        return MemberRef(10, owner, name, descriptor);
    }
    uint16_t InterfaceMethodref(std::string_view owner, std::string_view name, std::string_view descriptor)
    {
        return MemberRef(11, owner, name, descriptor);
    }
    uint16_t MethodHandle(uint8_t kind, uint16_t reference) { return Raw(Bytes().U1(15).U1(kind).U2(reference).data); }
    uint16_t MethodType(std::string_view descriptor)
    {
        const uint16_t d = Utf8(descriptor);
        return Raw(Bytes().U1(16).U2(d).data);
    }
    uint16_t InvokeDynamic(uint16_t bootstrap, std::string_view name, std::string_view descriptor)
    {
        const uint16_t nat = NameAndType(name, descriptor);
        return Raw(Bytes().U1(18).U2(bootstrap).U2(nat).data);
    }
    // Any entry, well-formed or not, taking `slots` pool indices.
    uint16_t Raw(std::vector<uint8_t> entry, int slots = 1)
    {
        const auto index = static_cast<uint16_t>(count_);
        entries_.push_back(std::move(entry));
        count_ += slots;
        return index;
    }
    uint16_t PoolCount() const { return static_cast<uint16_t>(count_); }

    // ---- Members and attributes

    Attribute Attr(std::string_view name, std::vector<uint8_t> content) { return {Utf8(name), std::move(content)}; }
    Attribute Code(std::vector<uint8_t> bytecode, std::vector<Attribute> attributes = {})
    {
        Bytes b;
        b.U2(8).U2(8).U4(static_cast<uint32_t>(bytecode.size())).Append(bytecode).U2(0);  // no handlers
        AppendAttributes(b, attributes);
        return Attr("Code", b.data);
    }
    void Field(std::string_view name, std::string_view descriptor, std::vector<Attribute> attributes = {})
    {
        fields_.push_back(Member(name, descriptor, attributes));
    }
    void Method(std::string_view name, std::string_view descriptor, std::vector<Attribute> attributes = {})
    {
        methods_.push_back(Member(name, descriptor, attributes));
    }
    void ClassAttribute(Attribute attribute) { classAttributes_.push_back(std::move(attribute)); }

    std::vector<uint8_t> Build() const
    {
        Bytes b;
        b.U4(0xCAFEBABE).U2(0).U2(61).U2(static_cast<uint32_t>(count_));
        for (const auto& entry : entries_)
            b.Append(entry);
        poolEnd_ = b.size();
        b.U2(0x21).U2(thisClass_).U2(superClass_).U2(0);
        for (const auto* members : {&fields_, &methods_}) {
            b.U2(static_cast<uint32_t>(members->size()));
            for (const auto& m : *members)
                b.Append(m);
        }
        AppendAttributes(b, classAttributes_);
        return b.data;
    }
    // 0-based offsets of the last Build(): the end of the pool, and each pool entry's tag byte.
    size_t PoolEnd() const { return poolEnd_; }
    size_t EntryOffset(uint16_t index) const
    {
        size_t at = 10;
        int slot = 1;
        for (const auto& entry : entries_) {
            if (slot == index)
                return at;
            at += entry.size();
            slot += (entry[0] == 5 || entry[0] == 6) ? 2 : 1;
        }
        return at;
    }

    static void AppendAttributes(Bytes& b, const std::vector<Attribute>& attributes)
    {
        b.U2(static_cast<uint32_t>(attributes.size()));
        for (const Attribute& a : attributes)
            b.U2(a.name).U4(static_cast<uint32_t>(a.content.size())).Append(a.content);
    }

private:
    template <typename Make>
    uint16_t Reused(const std::string& key, Make make)
    {
        const auto found = reuse_.find(key);
        if (found != reuse_.end())
            return found->second;
        const uint16_t index = make();
        reuse_.emplace(key, index);
        return index;
    }
    uint16_t MemberRef(uint8_t tag, std::string_view owner, std::string_view name, std::string_view descriptor)
    {
        const uint16_t c = Class(owner);
        const uint16_t nat = NameAndType(name, descriptor);
        return Raw(Bytes().U1(tag).U2(c).U2(nat).data);
    }
    std::vector<uint8_t> Member(std::string_view name, std::string_view descriptor,
                                const std::vector<Attribute>& attributes)
    {
        Bytes b;
        b.U2(0x0009).U2(Utf8(name)).U2(Utf8(descriptor));
        AppendAttributes(b, attributes);
        return b.data;
    }

    std::vector<std::vector<uint8_t>> entries_;
    std::map<std::string, uint16_t> reuse_;
    int count_ = 1;
    uint16_t thisClass_ = 0;
    uint16_t superClass_ = 0;
    std::vector<std::vector<uint8_t>> fields_;
    std::vector<std::vector<uint8_t>> methods_;
    std::vector<Attribute> classAttributes_;
    mutable size_t poolEnd_ = 0;
};

}  // namespace cl::testing
