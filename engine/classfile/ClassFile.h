#pragma once
// The class-file model: the structure of a compiled Java class as the JVM defines it (through
// Java 25, major version 69), read in one bounds-checked pass. The parser never throws and
// never reads outside the bytes; a file it cannot follow comes back with `parsed` false and
// the offset and reason where it stopped, plus whatever it had read up to there.
//
// Besides the structure, the parse records what every CONSTANT_Utf8 entry is used for (a
// bit set per pool index) and, per Code attribute, the facts that decide whether a string
// constant is compared by the program's own machinery; Roles.h turns both into one word.

#include "text/ByteString.h"
#include "classfile/ByteReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace cl::classfile {

enum class Tag : uint8_t {
    Unusable = 0,  // slot 0, the second slot of a Long or Double, or not read
    Utf8 = 1,
    Integer = 3,
    Float = 4,
    Long = 5,
    Double = 6,
    Class = 7,
    String = 8,
    Fieldref = 9,
    Methodref = 10,
    InterfaceMethodref = 11,
    NameAndType = 12,
    MethodHandle = 15,
    MethodType = 16,
    Dynamic = 17,
    InvokeDynamic = 18,
    Module = 19,
    Package = 20,
};

// One constant-pool entry. `first` and `second` hold the entry's fields as the accessors
// below name them; numeric constants are read from the bytes when needed.
struct Constant {
    Tag tag = Tag::Unusable;
    uint8_t referenceKind = 0;  // MethodHandle: 1..9
    uint16_t first = 0;
    uint16_t second = 0;
    uint8_t uses = 0;     // Utf8: an OR of use:: bits, what the class uses the text for
    uint32_t offset = 0;  // 0-based file offset of the tag byte
    uint32_t size = 0;    // bytes of the whole entry, tag byte included

    uint32_t Utf8Offset() const noexcept { return offset + 3; }  // Utf8: first byte of the text
    uint16_t Utf8Length() const noexcept { return first; }       // Utf8: bytes of the text
    uint16_t StringIndex() const noexcept { return first; }      // String -> Utf8
    uint16_t NameIndex() const noexcept { return first; }        // Class, NameAndType, Module, Package -> Utf8
    uint16_t DescriptorIndex() const noexcept                    // NameAndType, MethodType -> Utf8
    {
        return tag == Tag::NameAndType ? second : first;
    }
    uint16_t ClassIndex() const noexcept { return first; }         // Field/Method/InterfaceMethodref -> Class
    uint16_t NameAndTypeIndex() const noexcept { return second; }  // member refs, Dynamic, InvokeDynamic
    uint16_t BootstrapIndex() const noexcept { return first; }     // Dynamic, InvokeDynamic
    uint16_t ReferenceIndex() const noexcept { return first; }     // MethodHandle -> member ref
};

// What a Utf8 entry is used for; Constant::uses holds an OR of these (kept in the entry itself,
// where the parse finds it without a second table).
namespace use {
constexpr uint8_t kString = 1 << 0;      // the text of a CONSTANT_String
constexpr uint8_t kName = 1 << 1;        // class, member, module, package, variable, element... names
constexpr uint8_t kDescriptor = 1 << 2;  // field and method descriptors, annotation types, class values
constexpr uint8_t kSignature = 1 << 3;   // generic signatures
constexpr uint8_t kAttribute = 1 << 4;   // an attribute's name
constexpr uint8_t kAnnotation = 1 << 5;  // an annotation element's string value
constexpr uint8_t kOther = 1 << 6;       // the source file name, module versions
}  // namespace use

struct Member {
    uint16_t accessFlags = 0;
    uint16_t nameIndex = 0;
    uint16_t descriptorIndex = 0;
    uint16_t constantValue = 0;  // a field's ConstantValue attribute (a pool index); 0 when it has none
};

struct BootstrapMethod {
    uint16_t methodHandleIndex = 0;
    uint16_t argumentCount = 0;
    uint32_t firstArgument = 0;  // into ClassFile::bootstrapArguments
};

struct LoadedString {
    uint32_t pc = 0;
    uint16_t stringIndex = 0;  // a CONSTANT_String loaded by ldc or ldc_w
};

struct InvokeDynamicSite {
    uint32_t pc = 0;
    uint16_t invokeDynamicIndex = 0;
};

// One entry of a Code attribute's exception table; pcs as the file gives them (not checked
// against instruction starts).
struct ExceptionHandler {
    uint16_t startPc = 0;
    uint16_t endPc = 0;  // exclusive
    uint16_t handlerPc = 0;
    uint16_t catchType = 0;  // a Class index; 0 for any exception (finally)
};

// One Code attribute (a lambda body is a method of its own, so it has its own).
struct CodeInfo {
    uint16_t method = 0;      // index into ClassFile::methods
    uint16_t maxStack = 0;
    uint16_t maxLocals = 0;
    uint32_t codeOffset = 0;  // 0-based file offset of the first bytecode byte
    uint32_t codeLength = 0;
    std::vector<ExceptionHandler> handlers;
    bool callsStringHashCode = false;  // invokevirtual java/lang/String.hashCode:()I
    std::vector<LoadedString> strings;
    std::vector<InvokeDynamicSite> invokeDynamics;
    // lookupswitch match values and every value low..high of each tableswitch, in code order
    // (duplicates possible).
    std::vector<int32_t> switchKeys;
};

// The member a Fieldref, Methodref or InterfaceMethodref (or a method handle) names: its class,
// name and descriptor as the pool holds them (modified UTF-8).
struct ReferencedMember {
    std::string_view className;
    std::string_view name;
    std::string_view descriptor;
};

struct ClassFile {
    bool parsed = false;
    ParseError error = ParseError::None;
    size_t errorOffset = 0;  // 0-based offset where parsing stopped

    // The parsed bytes; the views below point into them. They belong to the model (shared by
    // its copies): a copy of the caller's bytes, or a share of a copy-on-write image, which a
    // later change to the image gives storage of its own and so never reaches the model.
    std::span<const uint8_t> bytes;

    uint16_t minorVersion = 0;
    uint16_t majorVersion = 0;
    uint16_t constantPoolCount = 0;
    // Indexed by pool index; pool[0] is unusable. Holds constantPoolCount entries once the pool
    // is read whole, fewer when the file ends inside it.
    std::vector<Constant> pool;
    // 0-based offset of the first byte after the pool (access_flags): the bytes from here on
    // can be copied verbatim behind a re-serialised pool.
    size_t poolEnd = 0;

    uint16_t accessFlags = 0;
    uint16_t thisClass = 0;
    uint16_t superClass = 0;
    std::vector<uint16_t> interfaces;
    std::vector<Member> fields;
    std::vector<Member> methods;
    std::vector<BootstrapMethod> bootstrapMethods;
    std::vector<uint16_t> bootstrapArguments;
    std::vector<CodeInfo> codes;
    std::vector<uint16_t> annotationStrings;  // Utf8 indices of element values tagged 's'

    // The entry at `index` when it exists and is usable (and of `tag`), else null.
    const Constant* At(uint16_t index) const noexcept;
    const Constant* At(uint16_t index, Tag tag) const noexcept;
    // The text of a Utf8 entry; empty when `index` is not one.
    std::string_view Utf8Bytes(uint16_t index) const noexcept;
    // The internal name of a Class entry ("java/lang/String", or "[I" for an array).
    std::string_view ClassName(uint16_t classIndex) const noexcept;
    std::string_view ThisClassName() const noexcept { return ClassName(thisClass); }
    // A Fieldref, Methodref or InterfaceMethodref spelled out.
    std::optional<ReferencedMember> MemberOf(uint16_t refIndex) const noexcept;
    // The member a MethodHandle refers to.
    std::optional<ReferencedMember> MethodHandleMember(uint16_t handleIndex) const noexcept;
    std::span<const uint16_t> Arguments(const BootstrapMethod& method) const noexcept;

    std::shared_ptr<const void> keeper;  // owns the storage `bytes` views
};

// Parses a copy of `size` bytes at `data`.
ClassFile ParseClassFile(const uint8_t* data, size_t size);
// Parses an image without copying it: the model shares the image's storage.
ClassFile ParseClassFile(const ByteString& image);

}  // namespace cl::classfile
