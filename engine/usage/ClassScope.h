#pragma once
// What the analysis of one class looks up again and again while it follows its methods: the
// table lines and shape of every method it calls and field it touches (once per pool entry),
// and the names, sinks and flows it records into the class's facts (each once). The names and
// texts the facts keep are gathered into one buffer while the class is analysed (a Utf8 entry
// once however often it is named) and become the facts' one block of text at the end.

#include "classfile/ClassFile.h"
#include "usage/ClassFacts.h"
#include "usage/ConsumerTable.h"
#include "usage/Descriptor.h"
#include "usage/FlatMap.h"

#include <cstdint>
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cl::usage {

// A method descriptor as the data-flow needs it. Each parameter is one byte: its stack words
// (kParameterWords) and whether it may hold a string (kParameterMayBeString).
struct DescriptorShape {
    bool valid = false;  // a method descriptor
    bool returnsReference = false;
    bool returnMayBeString = false;
    uint8_t returnWords = 0;
    uint32_t parameterCount = 0;
    uint32_t parameterWords = 0;
    uint32_t firstParameter = 0;  // in ClassScope::Parameters
};
constexpr uint8_t kParameterWords = 3;
constexpr uint8_t kParameterMayBeString = 4;

// A called method as the data-flow needs it. The table's lines for it are looked up when
// first asked for (ClassScope::Lines): most calls pass nothing the analysis follows and
// return nothing it could, and never need them.
struct CallSite {
    bool valid = false;
    bool isInit = false;       // a constructor
    bool libraryOwner = false; // a class of the Java platform: never the program's own
    bool returnsReference = false;
    bool returnMayBeString = false;
    uint8_t returnWords = 0;
    uint16_t parameterCount = 0;
    uint32_t parameterWords = 0;
    uint32_t firstParameter = 0;  // its parameters, in ClassScope::Parameters
    uint16_t refIndex = 0;     // its Methodref or InterfaceMethodref
    uint16_t classIndex = 0;   // ... its class
    uint16_t nameIndex = 0;    // ... its name and descriptor (Utf8 entries)
    uint16_t descriptorIndex = 0;
    mutable bool linesKnown = false;
    mutable bool anyReceiverLine = false;
    mutable uint32_t firstLine = 0;  // the table's lines for it, in ClassScope::Lines
    mutable uint32_t lineCount = 0;  // 0 when the table has none
    mutable uint32_t consumer = UINT32_MAX;  // "owner.name", interned when first needed
};

struct FieldSite {
    bool valid = false;
    uint8_t words = 1;
    bool mayBeString = false;
    uint16_t refIndex = 0;
};

class ClassScope {
public:
    ClassScope(const classfile::ClassFile& cf, ClassFacts& facts);

    const classfile::ClassFile& File() const noexcept { return cf_; }
    ClassFacts& Facts() noexcept { return facts_; }
    const Sink& SinkAt(uint32_t index) const noexcept;

    // The called method of a Methodref or InterfaceMethodref; null for any other entry.
    const CallSite* Call(uint16_t refIndex);
    // The shape of the method descriptor at `descriptorIndex` (worked out once per class).
    // The reference lasts until the next call.
    const DescriptorShape& ShapeOf(uint16_t descriptorIndex);
    // Each parameter of a shape or a called site, in order (see DescriptorShape).
    const uint8_t* Parameters(uint32_t first) const noexcept { return words_.data() + first; }
    // The table's lines for the called method (sets the site's lineCount and anyReceiverLine).
    std::span<const ConsumerLine* const> Lines(const CallSite& site)
    {
        if (!site.linesKnown)
            FindLines(site);
        return {lines_.data() + site.firstLine, site.lineCount};
    }
    // True when `refIndex` is a member reference whose class is of the Java platform.
    bool OwnerIsPlatform(uint16_t refIndex) noexcept;
    // False when `refIndex` is no member reference or its type (a field's, a method's
    // return) cannot hold a string; read off the descriptor's end without parsing it (a
    // method whose descriptor turns out malformed is ruled out by Call).
    bool TypeMayBeString(uint16_t refIndex) noexcept;
    const FieldSite* Field(uint16_t refIndex);
    // True when `new` of this class makes an object the analysis follows.
    bool Collects(uint16_t classIndex);

    uint32_t Consumer(std::string_view name);  // the same text is the same consumer
    uint32_t Consumer(const CallSite& site);  // "owner.name" of a called method
    uint32_t Member(uint16_t refIndex);  // a Fieldref or method ref, interned into the facts
    uint32_t OwnField(uint16_t fieldIndex);  // a field this class declares
    uint32_t AddSink(const Sink& sink);
    void AddFlow(const Flow& flow);
    // A lookup of the class's facts whose key is made of `literals` (CONSTANT_String indexes);
    // its index.
    uint32_t AddLookup(const LookupFacts& lookup, std::span<const uint16_t> literals);

    // Sorts the flows as ClassFacts promises, and gives the facts their names and texts: the
    // class's, its methods', fields' and literals', and those of the members and consumers
    // recorded.
    void Finish();

private:
    // A piece of the text buffer.
    struct Span {
        uint32_t offset = 0;
        uint32_t size = 0;
    };
    Span KeepUtf8(uint16_t index);  // empty when `index` is no Utf8 entry
    Span Keep(std::string_view text);
    std::string_view View(Span span) const noexcept { return {text_.data() + span.offset, span.size}; }
    uint16_t ClassNameIndex(uint16_t classIndex) const noexcept;  // its Utf8 entry; 0 when none
    // The pool as ClassFile::At and ClassFile::Utf8Bytes read it, inline: the analysis asks
    // for entries at every call, field and string it meets.
    const classfile::Constant* Entry(uint16_t index, classfile::Tag tag) const noexcept
    {
        if (index == 0 || index >= cf_.pool.size() || cf_.pool[index].tag != tag)
            return nullptr;
        return &cf_.pool[index];
    }
    std::string_view Utf8(uint16_t index) const noexcept
    {
        const classfile::Constant* c = Entry(index, classfile::Tag::Utf8);
        if (c == nullptr || size_t{c->Utf8Offset()} + c->Utf8Length() > cf_.bytes.size())
            return {};
        return {reinterpret_cast<const char*>(cf_.bytes.data()) + c->Utf8Offset(), c->Utf8Length()};
    }

    // Per pool index: what was worked out for the entry, as an index + 1 (0 when not yet).
    // All zero at the start of a class: the table is cleared, not filled.
    struct PoolFacts {
        uint16_t call;    // into calls_
        uint16_t field;   // into fields_
        uint16_t owner;   // a Class: into owners_
        uint16_t shape;   // a Utf8 method descriptor: into shapes_
        uint32_t member;  // into the facts' members
        uint8_t collects;      // 1 no, 2 yes
        uint8_t mayOriginate;  // a member reference, TypeMayBeString: 1 no, 2 yes
    };
    // The table's groups for a class the class file names, and whether it is the platform's.
    struct OwnerFacts {
        ConsumerTable::Owner groups;  // when `grouped`
        bool grouped = false;
        bool platform = false;
    };
    OwnerFacts& OwnerOf(uint16_t classIndex);
    void FindLines(const CallSite& site);
    // The storage of all the above: this thread's, kept from class to class, so that a class
    // does not pay for growing each of its tables from nothing.
    struct Storage;
    static Storage& ThisThread();

    const classfile::ClassFile& cf_;
    ClassFacts& facts_;
    const ConsumerTable& table_;
    Storage& store_;
    std::vector<PoolFacts>& entries_;
    std::vector<CallSite>& calls_;
    std::vector<FieldSite>& fields_;
    std::vector<uint8_t>& words_;
    std::vector<const ConsumerLine*>& lines_;
    std::vector<const ConsumerLine*>& found_;
    std::vector<OwnerFacts>& owners_;
    std::vector<DescriptorShape>& shapes_;
    MethodShape& shape_;
    std::string& text_;             // the names and texts kept so far
    std::vector<uint32_t>& utf8At_; // per pool index: where its Utf8 text is in text_, + 1; 0 when not yet
    std::vector<std::array<Span, 3>>& members_;  // parallel to the facts' members
    std::vector<Span>& consumers_;               // parallel to the facts' consumers
    std::vector<Span>& spans_;                   // Finish's
    FlatMap& consumerIds_;  // hash of a consumer's text -> its index
    FlatMap& sinks_;  // sink key -> index into the facts' sinks
    FlatMap& flows_;  // flows recorded
};

// True for internal class names of the Java platform (java/, javax/, jdk/, sun/...), which a
// program does not declare.
bool IsPlatformClass(std::string_view className) noexcept;

}  // namespace cl::usage
