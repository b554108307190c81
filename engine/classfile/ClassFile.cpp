#include "classfile/ClassFile.h"

#include "classfile/Bytecode.h"

#include <cstring>
#include <iterator>
#include <utility>

namespace cl::classfile {

const char* ReasonWord(ParseError reason) noexcept
{
    switch (reason) {
        case ParseError::None: return "ok";
        case ParseError::Truncated: return "truncated";
        case ParseError::BadMagic: return "bad-magic";
        case ParseError::BadConstantTag: return "bad-constant-tag";
        case ParseError::BadIndex: return "bad-index";
        case ParseError::BadReferenceKind: return "bad-reference-kind";
        case ParseError::BadBootstrapIndex: return "bad-bootstrap-index";
        case ParseError::BadCodeLength: return "bad-code-length";
        case ParseError::BadOpcode: return "bad-opcode";
        case ParseError::InstructionPastEnd: return "instruction-past-end";
        case ParseError::BadSwitch: return "bad-switch";
        case ParseError::AttributeOverrun: return "attribute-overrun";
        case ParseError::AttributeUnderrun: return "attribute-underrun";
        case ParseError::BadStackMapFrame: return "bad-stack-map-frame";
        case ParseError::BadAnnotation: return "bad-annotation";
        case ParseError::NestingTooDeep: return "nesting-too-deep";
        case ParseError::TrailingBytes: return "trailing-bytes";
        case ParseError::TooLarge: return "too-large";
    }
    return "unknown";
}

const Constant* ClassFile::At(uint16_t index) const noexcept
{
    if (index == 0 || index >= pool.size() || pool[index].tag == Tag::Unusable)
        return nullptr;
    return &pool[index];
}

const Constant* ClassFile::At(uint16_t index, Tag tag) const noexcept
{
    const Constant* c = At(index);
    return c != nullptr && c->tag == tag ? c : nullptr;
}

std::string_view ClassFile::Utf8Bytes(uint16_t index) const noexcept
{
    const Constant* c = At(index, Tag::Utf8);
    if (c == nullptr || size_t{c->Utf8Offset()} + c->Utf8Length() > bytes.size())
        return {};
    return {reinterpret_cast<const char*>(bytes.data()) + c->Utf8Offset(), c->Utf8Length()};
}

std::string_view ClassFile::ClassName(uint16_t classIndex) const noexcept
{
    const Constant* c = At(classIndex, Tag::Class);
    return c == nullptr ? std::string_view{} : Utf8Bytes(c->NameIndex());
}

std::optional<ReferencedMember> ClassFile::MemberOf(uint16_t refIndex) const noexcept
{
    const Constant* ref = At(refIndex);
    if (ref == nullptr ||
        (ref->tag != Tag::Fieldref && ref->tag != Tag::Methodref && ref->tag != Tag::InterfaceMethodref))
        return std::nullopt;
    const Constant* nat = At(ref->NameAndTypeIndex(), Tag::NameAndType);
    if (nat == nullptr)
        return std::nullopt;
    return ReferencedMember{ClassName(ref->ClassIndex()), Utf8Bytes(nat->NameIndex()), Utf8Bytes(nat->DescriptorIndex())};
}

std::optional<ReferencedMember> ClassFile::MethodHandleMember(uint16_t handleIndex) const noexcept
{
    const Constant* handle = At(handleIndex, Tag::MethodHandle);
    return handle == nullptr ? std::nullopt : MemberOf(handle->ReferenceIndex());
}

std::span<const uint16_t> ClassFile::Arguments(const BootstrapMethod& method) const noexcept
{
    if (size_t{method.firstArgument} + method.argumentCount > bootstrapArguments.size())
        return {};
    return {bootstrapArguments.data() + method.firstArgument, method.argumentCount};
}

namespace {

using TagMask = uint32_t;
constexpr TagMask Bit(Tag t)
{
    return TagMask{1} << static_cast<unsigned>(t);
}
constexpr TagMask kUtf8 = Bit(Tag::Utf8);
constexpr TagMask kClass = Bit(Tag::Class);
constexpr TagMask kNameAndType = Bit(Tag::NameAndType);
constexpr TagMask kFieldref = Bit(Tag::Fieldref);
constexpr TagMask kMethodref = Bit(Tag::Methodref);
constexpr TagMask kInterfaceMethodref = Bit(Tag::InterfaceMethodref);
constexpr TagMask kAnyMethodref = kMethodref | kInterfaceMethodref;
constexpr TagMask kInteger = Bit(Tag::Integer);
constexpr TagMask kWide = Bit(Tag::Long) | Bit(Tag::Double);
constexpr TagMask kConstantValue = kInteger | Bit(Tag::Float) | kWide | Bit(Tag::String);
// What ldc, ldc_w and a bootstrap method's static arguments may name.
constexpr TagMask kLoadable = kInteger | Bit(Tag::Float) | Bit(Tag::String) | kClass | Bit(Tag::MethodHandle) |
                              Bit(Tag::MethodType) | Bit(Tag::Dynamic);

// javac never nests annotation values more than a few levels; the limit keeps a hostile file
// from exhausting the stack.
constexpr int kMaxNesting = 256;

enum class Where : uint8_t { Class = 1, Field = 2, Method = 4, Code = 8, RecordComponent = 16 };
constexpr uint8_t operator|(Where a, Where b)
{
    return static_cast<uint8_t>(a) | static_cast<uint8_t>(b);
}
constexpr uint8_t operator|(uint8_t a, Where b)
{
    return a | static_cast<uint8_t>(b);
}

enum class Attr : uint8_t {
    Unknown,
    ConstantValue,
    Code,
    StackMapTable,
    Exceptions,
    InnerClasses,
    EnclosingMethod,
    Empty,  // Synthetic, Deprecated
    Signature,
    SourceFile,
    LineNumberTable,
    LocalVariableTable,
    LocalVariableTypeTable,
    Annotations,
    ParameterAnnotations,
    TypeAnnotations,
    AnnotationDefault,
    BootstrapMethods,
    MethodParameters,
    Module,
    ModulePackages,
    ClassIndex,      // NestHost, ModuleMainClass
    ClassIndexList,  // NestMembers, PermittedSubclasses
    Record,
};

struct KnownAttribute {
    std::string_view name;
    Attr kind;
    uint8_t where;
};

constexpr uint8_t kAnnotatable = Where::Class | Where::Field | Where::Method | Where::RecordComponent;

// An attribute is only recognised where the JVM defines it; anywhere else it is skipped by
// its length like any attribute the JVM does not know.
constexpr KnownAttribute kKnownAttributes[] = {
    {"Code", Attr::Code, static_cast<uint8_t>(Where::Method)},
    {"LineNumberTable", Attr::LineNumberTable, static_cast<uint8_t>(Where::Code)},
    {"StackMapTable", Attr::StackMapTable, static_cast<uint8_t>(Where::Code)},
    {"LocalVariableTable", Attr::LocalVariableTable, static_cast<uint8_t>(Where::Code)},
    {"LocalVariableTypeTable", Attr::LocalVariableTypeTable, static_cast<uint8_t>(Where::Code)},
    {"Signature", Attr::Signature, kAnnotatable},
    {"Exceptions", Attr::Exceptions, static_cast<uint8_t>(Where::Method)},
    {"ConstantValue", Attr::ConstantValue, static_cast<uint8_t>(Where::Field)},
    {"SourceFile", Attr::SourceFile, static_cast<uint8_t>(Where::Class)},
    {"InnerClasses", Attr::InnerClasses, static_cast<uint8_t>(Where::Class)},
    {"EnclosingMethod", Attr::EnclosingMethod, static_cast<uint8_t>(Where::Class)},
    {"Synthetic", Attr::Empty, Where::Class | Where::Field | Where::Method},
    {"Deprecated", Attr::Empty, Where::Class | Where::Field | Where::Method},
    {"RuntimeVisibleAnnotations", Attr::Annotations, kAnnotatable},
    {"RuntimeInvisibleAnnotations", Attr::Annotations, kAnnotatable},
    {"RuntimeVisibleParameterAnnotations", Attr::ParameterAnnotations, static_cast<uint8_t>(Where::Method)},
    {"RuntimeInvisibleParameterAnnotations", Attr::ParameterAnnotations, static_cast<uint8_t>(Where::Method)},
    {"RuntimeVisibleTypeAnnotations", Attr::TypeAnnotations, kAnnotatable | Where::Code},
    {"RuntimeInvisibleTypeAnnotations", Attr::TypeAnnotations, kAnnotatable | Where::Code},
    {"AnnotationDefault", Attr::AnnotationDefault, static_cast<uint8_t>(Where::Method)},
    {"BootstrapMethods", Attr::BootstrapMethods, static_cast<uint8_t>(Where::Class)},
    {"MethodParameters", Attr::MethodParameters, static_cast<uint8_t>(Where::Method)},
    {"Module", Attr::Module, static_cast<uint8_t>(Where::Class)},
    {"ModulePackages", Attr::ModulePackages, static_cast<uint8_t>(Where::Class)},
    {"ModuleMainClass", Attr::ClassIndex, static_cast<uint8_t>(Where::Class)},
    {"NestHost", Attr::ClassIndex, static_cast<uint8_t>(Where::Class)},
    {"NestMembers", Attr::ClassIndexList, static_cast<uint8_t>(Where::Class)},
    {"PermittedSubclasses", Attr::ClassIndexList, static_cast<uint8_t>(Where::Class)},
    {"Record", Attr::Record, static_cast<uint8_t>(Where::Class)},
};

// Index into kKnownAttributes of the attribute called `name`, or kUnknownName.
constexpr uint8_t kUnknownName = 0xFF;
constexpr uint8_t kNotLookedUp = 0xFE;
uint8_t LookUpAttributeName(std::string_view name)
{
    for (size_t i = 0; i < std::size(kKnownAttributes); ++i) {
        if (kKnownAttributes[i].name == name)
            return static_cast<uint8_t>(i);
    }
    return kUnknownName;
}

// What the parser looks at an opcode for, on top of its length (classfile/Bytecode.h).
struct OpcodeClasses {
    // Opcodes whose operand names a constant-pool entry; only these need a second look.
    bool poolOperand[256] = {};
    // The length of an instruction that needs nothing but stepping over (no pool operand, a
    // fixed length); 0 for every other opcode. Most of a method's code is such instructions.
    uint8_t plain[256] = {};
    constexpr OpcodeClasses()
    {
        for (const int op :
             {0x12, 0x13, 0x14, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBD, 0xC0, 0xC1, 0xC5})
            poolOperand[op] = true;
        for (int op = 0; op < 256; ++op)
            plain[op] = poolOperand[op] ? 0 : bytecode::kFixedLength.of[op];
    }
};
constexpr OpcodeClasses kOpcodes;

// Bytes of each constant-pool entry by tag (a Utf8 entry's text comes on top); 0 for tags
// the class-file format does not define.
constexpr uint8_t kEntrySize[] = {0, 3, 0, 5, 5, 9, 9, 3, 3, 5, 5, 5, 5, 0, 0, 4, 3, 5, 5, 3, 3};

class Parser {
public:
    explicit Parser(ClassFile& cf) : cf_(cf), r_(cf.bytes.data(), cf.bytes.size()) {}

    void Run()
    {
        if (r_.U4() != 0xCAFEBABE) {
            r_.Fail(r_.Ok() ? ParseError::BadMagic : ParseError::Truncated, 0);
            return Finish();
        }
        cf_.minorVersion = r_.U2();
        cf_.majorVersion = r_.U2();
        ReadPool();
        if (r_.Ok())
            CheckPool();
        if (r_.Ok())
            ReadClassBody();
        if (r_.Ok() && r_.Position() != cf_.bytes.size())
            r_.Fail(ParseError::TrailingBytes, r_.Position());
        if (r_.Ok())
            CheckBootstrapIndices();
        Finish();
    }

private:
    void Finish()
    {
        cf_.parsed = r_.Ok();
        cf_.error = r_.Error();
        cf_.errorOffset = r_.ErrorOffset();
    }

    bool HasTag(uint16_t index, TagMask allowed) const
    {
        return index != 0 && index < cf_.pool.size() && (Bit(cf_.pool[index].tag) & allowed) != 0;
    }

    // Checks an index read from 0-based offset `at` against the tags allowed there.
    bool Check(uint16_t index, size_t at, TagMask allowed)
    {
        return HasTag(index, allowed) || r_.Fail(ParseError::BadIndex, at);
    }

    uint16_t Index(TagMask allowed)
    {
        const size_t at = r_.Position();
        const uint16_t index = r_.U2();
        return r_.Ok() && Check(index, at, allowed) ? index : 0;
    }

    // An index that may be zero for "none".
    uint16_t OptionalIndex(TagMask allowed)
    {
        const size_t at = r_.Position();
        const uint16_t index = r_.U2();
        return r_.Ok() && index != 0 && Check(index, at, allowed) ? index : 0;
    }

    void MarkUse(uint16_t utf8Index, uint8_t bits)
    {
        if (utf8Index != 0)
            cf_.pool[utf8Index].uses |= bits;
    }

    uint16_t Utf8(uint8_t bits)
    {
        const uint16_t index = Index(kUtf8);
        MarkUse(index, bits);
        return index;
    }

    uint16_t OptionalUtf8(uint8_t bits)
    {
        const uint16_t index = OptionalIndex(kUtf8);
        MarkUse(index, bits);
        return index;
    }

    void IndexList(TagMask allowed)
    {
        const uint16_t count = r_.U2();
        for (uint32_t i = 0; i < count && r_.Ok(); ++i)
            Index(allowed);
    }

    // ---- Constant pool

    void ReadPool()
    {
        const uint16_t count = r_.U2();
        if (!r_.Ok())
            return;
        cf_.constantPoolCount = count;
        // Every slot is made at once and each entry written where it stands: an entry built
        // aside and then copied in costs a stalled load per entry. A pool cut short keeps only
        // the entries read whole.
        std::vector<Constant>& pool = cf_.pool;
        pool.resize(count == 0 ? 1 : count);
        const uint8_t* const data = r_.Data();
        size_t at = r_.Position();
        const size_t limit = r_.Limit();
        for (uint32_t i = 1; i < count; ++i) {
            const size_t left = limit - at;
            if (left == 0) {
                pool.resize(i);
                r_.Fail(ParseError::Truncated, at);
                return;
            }
            const uint8_t* p = data + at;
            const uint8_t tag = p[0];
            uint32_t size = tag < std::size(kEntrySize) ? kEntrySize[tag] : 0;
            if (size == 0) {
                pool.resize(i);
                r_.Fail(ParseError::BadConstantTag, at);
                return;
            }
            if (left < size) {
                pool.resize(i);
                r_.Fail(ParseError::Truncated, at + 1);
                return;
            }
            Constant& c = pool[i];
            const auto first = static_cast<uint16_t>((p[1] << 8) | p[2]);
            if (tag == 1) {
                size += first;
                if (left < size) {
                    pool.resize(i);
                    r_.Fail(ParseError::Truncated, at + 3);
                    return;
                }
                c.first = first;
            } else if (tag == 15) {
                c.referenceKind = p[1];
                c.first = static_cast<uint16_t>((p[2] << 8) | p[3]);
            } else {
                c.first = first;
                if (size == 5 && tag != 3 && tag != 4)
                    c.second = static_cast<uint16_t>((p[3] << 8) | p[4]);
            }
            c.tag = static_cast<Tag>(tag);
            c.offset = static_cast<uint32_t>(at);
            c.size = size;
            at += size;
            if (tag == 5 || tag == 6) {
                // A Long or Double takes two slots, and the second must exist.
                if (i + 1 >= count) {
                    r_.Skip(at - r_.Position());
                    r_.Fail(ParseError::BadIndex, at - size);
                    return;
                }
                ++i;
            }
        }
        r_.Skip(at - r_.Position());
        cf_.poolEnd = r_.Position();
    }

    // References inside the pool may point forwards, so they are checked once it is read.
    void CheckPool()
    {
        attributeNames_.assign(cf_.pool.size(), kNotLookedUp);
        for (size_t i = 1; i < cf_.pool.size() && r_.Ok(); ++i) {
            const Constant& c = cf_.pool[i];
            const size_t first = c.offset + 1;
            const size_t second = c.offset + 3;
            switch (c.tag) {
                case Tag::Class:
                    if (Check(c.NameIndex(), first, kUtf8)) {
                        const Constant& name = cf_.pool[c.NameIndex()];
                        const bool array = name.Utf8Length() > 0 && cf_.bytes[name.Utf8Offset()] == '[';
                        MarkUse(c.NameIndex(), array ? use::kDescriptor : use::kName);
                    }
                    break;
                case Tag::String:
                    if (Check(c.StringIndex(), first, kUtf8))
                        MarkUse(c.StringIndex(), use::kString);
                    break;
                case Tag::Fieldref:
                case Tag::Methodref:
                case Tag::InterfaceMethodref:
                    Check(c.ClassIndex(), first, kClass) && Check(c.NameAndTypeIndex(), second, kNameAndType);
                    break;
                case Tag::NameAndType:
                    if (Check(c.NameIndex(), first, kUtf8) && Check(c.DescriptorIndex(), second, kUtf8)) {
                        MarkUse(c.NameIndex(), use::kName);
                        MarkUse(c.DescriptorIndex(), use::kDescriptor);
                    }
                    break;
                case Tag::MethodHandle: CheckMethodHandle(c); break;
                case Tag::MethodType:
                    if (Check(c.DescriptorIndex(), first, kUtf8))
                        MarkUse(c.DescriptorIndex(), use::kDescriptor);
                    break;
                case Tag::Dynamic:
                case Tag::InvokeDynamic:
                    Check(c.NameAndTypeIndex(), second, kNameAndType);
                    if (c.BootstrapIndex() >= bootstrapNeeded_)
                        bootstrapNeeded_ = c.BootstrapIndex() + 1u;
                    break;
                case Tag::Module:
                case Tag::Package:
                    if (Check(c.NameIndex(), first, kUtf8))
                        MarkUse(c.NameIndex(), use::kName);
                    break;
                default: break;
            }
        }
    }

    void CheckMethodHandle(const Constant& c)
    {
        TagMask allowed = 0;
        switch (c.referenceKind) {
            case 1:  // getField
            case 2:  // getStatic
            case 3:  // putField
            case 4:  // putStatic
                allowed = kFieldref;
                break;
            case 5:  // invokeVirtual
            case 8:  // newInvokeSpecial
                allowed = kMethodref;
                break;
            case 6:  // invokeStatic
            case 7:  // invokeSpecial
                allowed = kAnyMethodref;
                break;
            case 9: allowed = kInterfaceMethodref; break;  // invokeInterface
            default: r_.Fail(ParseError::BadReferenceKind, c.offset + 1); return;
        }
        Check(c.ReferenceIndex(), c.offset + 2, allowed);
    }

    void CheckBootstrapIndices()
    {
        // The pool was already seen to need no more bootstrap methods than there are; only a
        // class that needs more is searched for its first offending entry.
        if (bootstrapNeeded_ <= cf_.bootstrapMethods.size())
            return;
        for (const Constant& c : cf_.pool) {
            if ((c.tag == Tag::Dynamic || c.tag == Tag::InvokeDynamic) &&
                c.BootstrapIndex() >= cf_.bootstrapMethods.size()) {
                r_.Fail(ParseError::BadBootstrapIndex, c.offset + 1);
                return;
            }
        }
    }

    // ---- Class, fields, methods

    void ReadClassBody()
    {
        cf_.accessFlags = r_.U2();
        cf_.thisClass = Index(kClass);
        cf_.superClass = OptionalIndex(kClass);
        const uint16_t interfaces = r_.U2();
        cf_.interfaces.reserve(interfaces);
        for (uint32_t i = 0; i < interfaces && r_.Ok(); ++i)
            cf_.interfaces.push_back(Index(kClass));
        ReadMembers(cf_.fields, Where::Field);
        ReadMembers(cf_.methods, Where::Method);
        Attributes(Where::Class, 0);
    }

    void ReadMembers(std::vector<Member>& members, Where where)
    {
        const uint16_t count = r_.U2();
        members.reserve(count);
        if (where == Where::Method)
            cf_.codes.reserve(count);
        for (uint32_t i = 0; i < count && r_.Ok(); ++i) {
            Member m;
            m.accessFlags = r_.U2();
            m.nameIndex = Utf8(use::kName);
            m.descriptorIndex = Utf8(use::kDescriptor);
            if (!r_.Ok())
                return;
            members.push_back(m);
            Attributes(where, static_cast<uint16_t>(i));
        }
    }

    // ---- Attributes

    // A class names each attribute once in its pool and uses the name many times, so the
    // table lookup is done once per pool index.
    Attr Recognise(uint16_t name, Where where)
    {
        uint8_t& known = attributeNames_[name];
        if (known == kNotLookedUp)
            known = LookUpAttributeName(cf_.Utf8Bytes(name));
        if (known == kUnknownName || (kKnownAttributes[known].where & static_cast<uint8_t>(where)) == 0)
            return Attr::Unknown;
        return kKnownAttributes[known].kind;
    }

    void Attributes(Where where, uint16_t method)
    {
        const uint16_t count = r_.U2();
        for (uint32_t i = 0; i < count && r_.Ok(); ++i) {
            const uint16_t name = Utf8(use::kAttribute);
            const uint32_t length = r_.U4();
            if (!r_.Ok())
                return;
            const size_t start = r_.Position();
            if (length > r_.Remaining()) {
                r_.Fail(r_.OverrunReason(), start);
                return;
            }
            const Attr kind = Recognise(name, where);
            if (kind == Attr::Unknown) {
                r_.Skip(length);
                continue;
            }
            const ByteReader::Window outer = r_.Narrow(start + length, ParseError::AttributeOverrun);
            Attribute(kind, method);
            if (r_.Ok() && r_.Position() != start + length)
                r_.Fail(ParseError::AttributeUnderrun, r_.Position());
            r_.Restore(outer);
        }
    }

    void Attribute(Attr kind, uint16_t method)
    {
        switch (kind) {
            case Attr::Unknown:
            case Attr::Empty: break;
            case Attr::ConstantValue: {
                // `method` is the member's index here; the field itself was pushed before its
                // attributes are read.
                const uint16_t value = Index(kConstantValue);
                if (method < cf_.fields.size())
                    cf_.fields[method].constantValue = value;
                break;
            }
            case Attr::Code: Code(method); break;
            case Attr::StackMapTable: StackMapTable(); break;
            case Attr::Exceptions:
            case Attr::ClassIndexList: IndexList(kClass); break;
            case Attr::ClassIndex: Index(kClass); break;
            case Attr::ModulePackages: IndexList(Bit(Tag::Package)); break;
            case Attr::InnerClasses: {
                const uint16_t count = r_.U2();
                for (uint32_t i = 0; i < count && r_.Ok(); ++i) {
                    Index(kClass);
                    OptionalIndex(kClass);
                    OptionalUtf8(use::kName);
                    r_.U2();
                }
                break;
            }
            case Attr::EnclosingMethod:
                Index(kClass);
                OptionalIndex(kNameAndType);
                break;
            case Attr::Signature: Utf8(use::kSignature); break;
            case Attr::SourceFile: Utf8(use::kOther); break;
            case Attr::LineNumberTable: r_.Skip(size_t{r_.U2()} * 4); break;
            case Attr::LocalVariableTable:
            case Attr::LocalVariableTypeTable: {
                const uint8_t typeUse = kind == Attr::LocalVariableTable ? use::kDescriptor : use::kSignature;
                const uint16_t count = r_.U2();
                for (uint32_t i = 0; i < count && r_.Ok(); ++i) {
                    r_.Skip(4);  // start_pc, length
                    Utf8(use::kName);
                    Utf8(typeUse);
                    r_.Skip(2);  // slot
                }
                break;
            }
            case Attr::Annotations: {
                const uint16_t count = r_.U2();
                for (uint32_t i = 0; i < count && r_.Ok(); ++i)
                    Annotation(0);
                break;
            }
            case Attr::ParameterAnnotations: {
                const uint8_t parameters = r_.U1();
                for (uint32_t p = 0; p < parameters && r_.Ok(); ++p) {
                    const uint16_t count = r_.U2();
                    for (uint32_t i = 0; i < count && r_.Ok(); ++i)
                        Annotation(0);
                }
                break;
            }
            case Attr::TypeAnnotations: {
                const uint16_t count = r_.U2();
                for (uint32_t i = 0; i < count && r_.Ok(); ++i)
                    TypeAnnotation();
                break;
            }
            case Attr::AnnotationDefault: ElementValue(0); break;
            case Attr::BootstrapMethods: BootstrapMethods(); break;
            case Attr::MethodParameters: {
                const uint8_t count = r_.U1();
                for (uint32_t i = 0; i < count && r_.Ok(); ++i) {
                    OptionalUtf8(use::kName);
                    r_.U2();
                }
                break;
            }
            case Attr::Module: Module(); break;
            case Attr::Record: {
                const uint16_t count = r_.U2();
                for (uint32_t i = 0; i < count && r_.Ok(); ++i) {
                    Utf8(use::kName);
                    Utf8(use::kDescriptor);
                    Attributes(Where::RecordComponent, 0);
                }
                break;
            }
        }
    }

    void BootstrapMethods()
    {
        const uint16_t count = r_.U2();
        for (uint32_t i = 0; i < count && r_.Ok(); ++i) {
            BootstrapMethod m;
            m.methodHandleIndex = Index(Bit(Tag::MethodHandle));
            m.argumentCount = r_.U2();
            m.firstArgument = static_cast<uint32_t>(cf_.bootstrapArguments.size());
            for (uint32_t a = 0; a < m.argumentCount && r_.Ok(); ++a)
                cf_.bootstrapArguments.push_back(Index(kLoadable));
            if (!r_.Ok())
                return;
            cf_.bootstrapMethods.push_back(m);
        }
    }

    void Module()
    {
        const TagMask module = Bit(Tag::Module);
        const TagMask package = Bit(Tag::Package);
        Index(module);
        r_.U2();  // flags
        OptionalUtf8(use::kOther);
        const uint16_t requiresCount = r_.U2();
        for (uint32_t i = 0; i < requiresCount && r_.Ok(); ++i) {
            Index(module);
            r_.U2();
            OptionalUtf8(use::kOther);
        }
        for (int table = 0; table < 2 && r_.Ok(); ++table) {  // exports, then opens
            const uint16_t count = r_.U2();
            for (uint32_t i = 0; i < count && r_.Ok(); ++i) {
                Index(package);
                r_.U2();
                IndexList(module);
            }
        }
        IndexList(kClass);  // uses
        const uint16_t provides = r_.U2();
        for (uint32_t i = 0; i < provides && r_.Ok(); ++i) {
            Index(kClass);
            IndexList(kClass);
        }
    }

    // ---- Annotations

    void Annotation(int depth)
    {
        Utf8(use::kDescriptor);
        ElementValuePairs(depth);
    }

    void ElementValuePairs(int depth)
    {
        const uint16_t pairs = r_.U2();
        for (uint32_t i = 0; i < pairs && r_.Ok(); ++i) {
            Utf8(use::kName);
            ElementValue(depth + 1);
        }
    }

    void ElementValue(int depth)
    {
        const size_t at = r_.Position();
        if (depth > kMaxNesting) {
            r_.Fail(ParseError::NestingTooDeep, at);
            return;
        }
        const uint8_t tag = r_.U1();
        switch (tag) {
            case 'B':
            case 'C':
            case 'I':
            case 'S':
            case 'Z': Index(kInteger); break;
            case 'D': Index(Bit(Tag::Double)); break;
            case 'F': Index(Bit(Tag::Float)); break;
            case 'J': Index(Bit(Tag::Long)); break;
            case 's': {
                const uint16_t text = Utf8(use::kAnnotation);
                if (text != 0)
                    cf_.annotationStrings.push_back(text);
                break;
            }
            case 'e':
                Utf8(use::kDescriptor);
                Utf8(use::kName);
                break;
            case 'c': Utf8(use::kDescriptor); break;
            case '@': Annotation(depth + 1); break;
            case '[': {
                const uint16_t count = r_.U2();
                for (uint32_t i = 0; i < count && r_.Ok(); ++i)
                    ElementValue(depth + 1);
                break;
            }
            default:
                if (r_.Ok())
                    r_.Fail(ParseError::BadAnnotation, at);
                break;
        }
    }

    void TypeAnnotation()
    {
        const size_t at = r_.Position();
        const uint8_t target = r_.U1();
        switch (target) {
            case 0x00:
            case 0x01:
            case 0x16: r_.Skip(1); break;  // type parameter, formal parameter
            case 0x10:
            case 0x17:
            case 0x42:
            case 0x43:
            case 0x44:
            case 0x45:
            case 0x46: r_.Skip(2); break;  // supertype, throws, catch, offset
            case 0x11:
            case 0x12: r_.Skip(2); break;  // type parameter bound
            case 0x13:
            case 0x14:
            case 0x15: break;  // field, return, receiver
            case 0x40:
            case 0x41: r_.Skip(size_t{r_.U2()} * 6); break;  // local variable ranges
            case 0x47:
            case 0x48:
            case 0x49:
            case 0x4A:
            case 0x4B: r_.Skip(3); break;  // type argument
            default:
                if (r_.Ok())
                    r_.Fail(ParseError::BadAnnotation, at);
                return;
        }
        r_.Skip(size_t{r_.U1()} * 2);  // type_path
        Annotation(0);
    }

    // ---- Code

    void StackMapTable()
    {
        const uint16_t count = r_.U2();
        for (uint32_t i = 0; i < count && r_.Ok(); ++i) {
            const size_t at = r_.Position();
            const uint8_t frame = r_.U1();
            if (frame < 64)
                continue;  // same
            if (frame < 128) {
                VerificationType();
            } else if (frame < 247) {
                if (r_.Ok())
                    r_.Fail(ParseError::BadStackMapFrame, at);
            } else if (frame == 247) {
                r_.U2();
                VerificationType();
            } else if (frame <= 251) {
                r_.U2();  // chop, same extended
            } else if (frame <= 254) {
                r_.U2();
                for (int k = 251; k < frame && r_.Ok(); ++k)
                    VerificationType();
            } else {
                r_.U2();
                for (int list = 0; list < 2 && r_.Ok(); ++list) {  // locals, then stack
                    const uint16_t n = r_.U2();
                    for (uint32_t k = 0; k < n && r_.Ok(); ++k)
                        VerificationType();
                }
            }
        }
    }

    void VerificationType()
    {
        const size_t at = r_.Position();
        const uint8_t tag = r_.U1();
        if (tag == 7)
            Index(kClass);
        else if (tag == 8)
            r_.U2();  // offset of the `new`
        else if (tag > 8 && r_.Ok())
            r_.Fail(ParseError::BadStackMapFrame, at);
    }

    void Code(uint16_t method)
    {
        const uint16_t maxStack = r_.U2();
        const uint16_t maxLocals = r_.U2();
        const size_t lengthAt = r_.Position();
        const uint32_t length = r_.U4();
        if (!r_.Ok())
            return;
        if (length == 0 || length > 65535) {
            r_.Fail(ParseError::BadCodeLength, lengthAt);
            return;
        }
        if (length > r_.Remaining()) {
            r_.Fail(r_.OverrunReason(), r_.Position());
            return;
        }
        CodeInfo info;
        info.method = method;
        info.maxStack = maxStack;
        info.maxLocals = maxLocals;
        info.codeOffset = static_cast<uint32_t>(r_.Position());
        info.codeLength = length;
        if (!WalkBytecode(info))
            return;
        r_.Skip(length);
        const uint16_t handlers = r_.U2();
        info.handlers.reserve(handlers);
        for (uint32_t i = 0; i < handlers && r_.Ok(); ++i) {
            ExceptionHandler handler;
            handler.startPc = r_.U2();
            handler.endPc = r_.U2();
            handler.handlerPc = r_.U2();
            handler.catchType = OptionalIndex(kClass);
            info.handlers.push_back(handler);
        }
        cf_.codes.push_back(std::move(info));
        Attributes(Where::Code, method);
    }

    // The constant-pool operand at code[pc + 1] (`wide` for a 2-byte index).
    uint16_t Operand(const uint8_t* code, uint32_t pc, bool wide) const
    {
        return wide ? static_cast<uint16_t>((code[pc + 1] << 8) | code[pc + 2]) : code[pc + 1];
    }

    bool IsStringHashCode(uint16_t methodref) const
    {
        const Constant& ref = cf_.pool[methodref];
        const Constant& nat = cf_.pool[ref.NameAndTypeIndex()];
        return cf_.Utf8Bytes(nat.NameIndex()) == "hashCode" && cf_.Utf8Bytes(nat.DescriptorIndex()) == "()I" &&
               cf_.ClassName(ref.ClassIndex()) == "java/lang/String";
    }

    bool WalkBytecode(CodeInfo& info)
    {
        const uint8_t* code = cf_.bytes.data() + info.codeOffset;
        const uint32_t end = info.codeLength;
        const size_t base = info.codeOffset;
        uint32_t pc = 0;
        while (pc < end) {
            const uint8_t op = code[pc];
            if (const uint32_t step = kOpcodes.plain[op]; step != 0) {
                if (uint64_t{pc} + step > end)
                    return r_.Fail(ParseError::InstructionPastEnd, base + pc);
                pc += step;
                continue;
            }
            uint32_t length = 0;
            switch (bytecode::InstructionLength(code, end, pc, length)) {
                case bytecode::Fault::None: break;
                case bytecode::Fault::BadOpcode: return r_.Fail(ParseError::BadOpcode, base + pc);
                case bytecode::Fault::BadWidened: return r_.Fail(ParseError::BadOpcode, base + pc + 1);
                case bytecode::Fault::PastEnd: return r_.Fail(ParseError::InstructionPastEnd, base + pc);
                case bytecode::Fault::BadSwitch: return r_.Fail(ParseError::BadSwitch, base + pc);
            }
            if (op == bytecode::kTableSwitch || op == bytecode::kLookupSwitch) {
                const bytecode::Switch cases(code, pc);
                for (uint32_t k = 0, count = cases.Count(); k < count; ++k)
                    info.switchKeys.push_back(cases.Key(k));
            }
            if (kOpcodes.poolOperand[op] && !CodeOperand(code, pc, op, info))
                return false;
            pc += length;
        }
        return true;
    }

    bool CodeOperand(const uint8_t* code, uint32_t pc, uint8_t op, CodeInfo& info)
    {
        TagMask allowed = 0;
        switch (op) {
            case 0x12:  // ldc
            case 0x13:  // ldc_w
            {
                const uint16_t index = Operand(code, pc, op == 0x13);
                if (!Check(index, info.codeOffset + pc + 1, kLoadable))
                    return false;
                if (cf_.pool[index].tag == Tag::String)
                    info.strings.push_back({pc, index});
                return true;
            }
            case 0x14: allowed = kWide | Bit(Tag::Dynamic); break;  // ldc2_w
            case 0xB2:
            case 0xB3:
            case 0xB4:
            case 0xB5: allowed = kFieldref; break;  // field access
            case 0xB6: {                            // invokevirtual
                const uint16_t index = Operand(code, pc, true);
                if (!Check(index, info.codeOffset + pc + 1, kMethodref))
                    return false;
                if (!info.callsStringHashCode && IsStringHashCode(index))
                    info.callsStringHashCode = true;
                return true;
            }
            case 0xB7:
            case 0xB8: allowed = kAnyMethodref; break;  // invokespecial, invokestatic
            case 0xB9: allowed = kInterfaceMethodref; break;
            case 0xBA: {  // invokedynamic
                const uint16_t index = Operand(code, pc, true);
                if (!Check(index, info.codeOffset + pc + 1, Bit(Tag::InvokeDynamic)))
                    return false;
                info.invokeDynamics.push_back({pc, index});
                return true;
            }
            case 0xBB:
            case 0xBD:
            case 0xC0:
            case 0xC1:
            case 0xC5: allowed = kClass; break;
            default: return true;
        }
        return Check(Operand(code, pc, true), info.codeOffset + pc + 1, allowed);
    }

    ClassFile& cf_;
    ByteReader r_;
    // Per pool index: kNotLookedUp, kUnknownName or a table index. Kept from one class to the
    // next on the thread, so that parsing a class does not allocate it anew.
    std::vector<uint8_t>& attributeNames_ = AttributeNameCache();
    uint32_t bootstrapNeeded_ = 0;  // one more than the highest bootstrap index the pool names

    static std::vector<uint8_t>& AttributeNameCache()
    {
        thread_local std::vector<uint8_t> cache;
        return cache;
    }
};

}  // namespace

namespace {

bool TooLarge(size_t size, ClassFile& cf)
{
    if (size < (size_t{1} << 32))
        return false;
    // Every offset in the model is 32-bit; a class file is never this large.
    cf.error = ParseError::TooLarge;
    return true;
}

}  // namespace

ClassFile ParseClassFile(const uint8_t* data, size_t size)
{
    ClassFile cf;
    if (TooLarge(size, cf))
        return cf;
    if (size > 0) {
        std::shared_ptr<uint8_t[]> copy(new uint8_t[size]);
        std::memcpy(copy.get(), data, size);
        cf.bytes = {copy.get(), size};
        cf.keeper = std::move(copy);
    }
    Parser(cf).Run();
    return cf;
}

ClassFile ParseClassFile(const ByteString& image)
{
    ClassFile cf;
    const auto size = static_cast<size_t>(image.ByteLength());
    if (TooLarge(size, cf))
        return cf;
    if (size > 0) {
        auto share = std::make_shared<const ByteString>(image);
        cf.bytes = {share->Bytes(), size};
        cf.keeper = std::move(share);
    }
    Parser(cf).Run();
    return cf;
}

}  // namespace cl::classfile
