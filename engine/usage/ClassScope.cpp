#include "usage/ClassScope.h"

#include "usage/TextHash.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace cl::usage {

using classfile::Tag;

bool IsPlatformClass(std::string_view name) noexcept
{
    // Looked at for every class a program calls: the first letter rules most names out.
    auto starts = [&](std::string_view prefix) { return name.substr(0, prefix.size()) == prefix; };
    switch (name.empty() ? '\0' : name[0]) {
        case 'j': return starts("java/") || starts("javax/") || starts("jdk/");
        case 's': return starts("sun/");
        case 'c': return starts("com/sun/");
        case 'o': return starts("org/w3c/") || starts("org/xml/");
        default: return false;
    }
}

struct ClassScope::Storage {
    std::vector<PoolFacts> entries;
    std::vector<CallSite> calls;
    std::vector<FieldSite> fields;
    std::vector<uint8_t> words;
    std::vector<const ConsumerLine*> lines;
    std::vector<const ConsumerLine*> found;
    std::vector<OwnerFacts> owners;
    std::vector<DescriptorShape> shapes;
    MethodShape shape;
    std::string text;
    std::vector<uint32_t> utf8At;
    std::vector<std::array<Span, 3>> members;
    std::vector<Span> consumers;
    std::vector<Span> spans;
    std::vector<std::pair<uint64_t, uint64_t>> flowKeys;
    std::vector<Sink> sinkList;  // the class's sinks and flows as they are found
    std::vector<Flow> flowList;
    std::string name;  // a consumer's name while it is made
    FlatMap consumerIds;
    FlatMap sinks;
    FlatMap flows;
};

ClassScope::Storage& ClassScope::ThisThread()
{
    thread_local Storage store;
    return store;
}

namespace {


}  // namespace

ClassScope::ClassScope(const classfile::ClassFile& cf, ClassFacts& facts)
    : cf_(cf),
      facts_(facts),
      table_(ConsumerTable::Builtin()),
      store_(ThisThread()),
      entries_(store_.entries),
      calls_(store_.calls),
      fields_(store_.fields),
      words_(store_.words),
      lines_(store_.lines),
      found_(store_.found),
      owners_(store_.owners),
      shapes_(store_.shapes),
      shape_(store_.shape),
      text_(store_.text),
      utf8At_(store_.utf8At),
      members_(store_.members),
      consumers_(store_.consumers),
      spans_(store_.spans),
      consumerIds_(store_.consumerIds),
      sinks_(store_.sinks),
      flows_(store_.flows)
{
    entries_.resize(cf.pool.size());
    std::memset(entries_.data(), 0, entries_.size() * sizeof(PoolFacts));
    calls_.clear();
    fields_.clear();
    words_.clear();
    lines_.clear();
    owners_.clear();
    shapes_.clear();
    text_.clear();
    utf8At_.resize(cf.pool.size());
    std::memset(utf8At_.data(), 0, utf8At_.size() * sizeof(uint32_t));
    members_.clear();
    consumers_.clear();
    store_.sinkList.clear();
    store_.flowList.clear();
    consumerIds_.Clear();
    sinks_.Clear();
    flows_.Clear();
}

ClassScope::Span ClassScope::KeepUtf8(uint16_t index)
{
    if (index >= utf8At_.size())
        return {};
    uint32_t& at = utf8At_[index];
    if (at != 0)  // only a Utf8 entry with its bytes is ever kept
        return {at - 1, cf_.pool[index].Utf8Length()};
    const std::string_view bytes = Utf8(index);
    if (bytes.empty())
        return {};
    const auto offset = static_cast<uint32_t>(text_.size());
    at = offset + 1;
    text_.append(bytes);
    return {offset, static_cast<uint32_t>(bytes.size())};
}

ClassScope::Span ClassScope::Keep(std::string_view text)
{
    const Span span{static_cast<uint32_t>(text_.size()), static_cast<uint32_t>(text.size())};
    text_.append(text);
    return span;
}

uint16_t ClassScope::ClassNameIndex(uint16_t classIndex) const noexcept
{
    const classfile::Constant* c = Entry(classIndex, Tag::Class);
    return c == nullptr ? 0 : c->NameIndex();
}

const DescriptorShape& ClassScope::ShapeOf(uint16_t descriptorIndex)
{
    static const DescriptorShape kNone;
    if (descriptorIndex >= entries_.size())
        return kNone;
    uint16_t& at = entries_[descriptorIndex].shape;
    if (at == 0) {
        // As ParseMethodDescriptor reads it, each parameter straight into its byte.
        const std::string_view d = Utf8(descriptorIndex);
        DescriptorShape shape;
        shape.firstParameter = static_cast<uint32_t>(words_.size());
        if (!d.empty() && d[0] == '(') {
            size_t i = 1;
            bool ok = true;
            while (i < d.size() && d[i] != ')') {
                const size_t length = FieldTypeLength(d, i);
                if (length == 0) {
                    ok = false;
                    break;
                }
                const std::string_view type = d.substr(i, length);
                const bool reference = type[0] == 'L' || type[0] == '[';
                const uint8_t words = length == 1 && (type[0] == 'J' || type[0] == 'D') ? 2 : 1;
                words_.push_back(static_cast<uint8_t>(words | (reference && MayBeString(type) ? kParameterMayBeString : 0)));
                shape.parameterWords += words;
                ++shape.parameterCount;
                i += length;
            }
            if (ok && i < d.size()) {
                const std::string_view rest = d.substr(i + 1);
                if (rest == "V") {
                    shape.valid = true;
                } else if (!rest.empty() && FieldTypeLength(d, i + 1) == rest.size()) {
                    shape.valid = true;
                    shape.returnsReference = rest[0] == 'L' || rest[0] == '[';
                    shape.returnWords = rest.size() == 1 && (rest[0] == 'J' || rest[0] == 'D') ? 2 : 1;
                    shape.returnMayBeString = shape.returnsReference && MayBeString(rest);
                }
            }
        }
        shapes_.push_back(shape);
        at = static_cast<uint16_t>(shapes_.size());
    }
    return shapes_[at - 1u];
}

ClassScope::OwnerFacts& ClassScope::OwnerOf(uint16_t classIndex)
{
    if (classIndex >= entries_.size()) {
        thread_local OwnerFacts none;
        none = OwnerFacts{};
        return none;
    }
    uint16_t& at = entries_[classIndex].owner;
    if (at == 0) {
        OwnerFacts owner;
        owner.platform = IsPlatformClass(cf_.ClassName(classIndex));
        owners_.push_back(owner);
        at = static_cast<uint16_t>(owners_.size());
    }
    return owners_[at - 1u];
}

const CallSite* ClassScope::Call(uint16_t refIndex)
{
    if (refIndex >= entries_.size())
        return nullptr;
    if (entries_[refIndex].call != 0)
        return &calls_[entries_[refIndex].call - 1u];
    const classfile::Constant* c = cf_.At(refIndex);
    if (c == nullptr || (c->tag != Tag::Methodref && c->tag != Tag::InterfaceMethodref))
        return nullptr;
    CallSite site;
    site.refIndex = refIndex;
    site.linesKnown = true;  // none, unless the reference names a method
    // A descriptor is parsed once however many methods share it, and the class is looked
    // up in the table once however many of its methods are called.
    if (const classfile::Constant* nat = cf_.At(c->NameAndTypeIndex(), Tag::NameAndType)) {
        const DescriptorShape& shape = ShapeOf(nat->DescriptorIndex());
        site.valid = shape.valid && shape.parameterCount <= 255;  // the JVM allows no more
        site.returnsReference = shape.returnsReference;
        site.returnMayBeString = shape.returnMayBeString;
        site.returnWords = shape.returnWords;
        site.parameterCount = static_cast<uint16_t>(std::min<uint32_t>(shape.parameterCount, 255));
        site.parameterWords = shape.parameterWords;
        site.firstParameter = shape.firstParameter;
        site.classIndex = c->ClassIndex();
        site.nameIndex = nat->NameIndex();
        site.descriptorIndex = nat->DescriptorIndex();
        site.isInit = cf_.Utf8Bytes(site.nameIndex) == "<init>";
        site.libraryOwner = OwnerOf(site.classIndex).platform;
        site.linesKnown = false;
    }
    calls_.push_back(site);
    entries_[refIndex].call = static_cast<uint16_t>(calls_.size());
    return &calls_.back();
}

void ClassScope::FindLines(const CallSite& site)
{
    OwnerFacts& owner = OwnerOf(site.classIndex);
    if (!owner.grouped) {
        owner.groups = table_.OwnerOf(cf_.ClassName(site.classIndex));
        owner.grouped = true;
    }
    table_.Find(owner.groups, cf_.Utf8Bytes(site.nameIndex), cf_.Utf8Bytes(site.descriptorIndex),
                site.libraryOwner ? ClassMatch::Any : ClassMatch::ExactOrPrefix, found_);
    site.firstLine = static_cast<uint32_t>(lines_.size());
    site.lineCount = static_cast<uint32_t>(found_.size());
    for (const ConsumerLine* line : found_) {
        lines_.push_back(line);
        if (line->action == Action::Receiver || line->action == Action::ReceiverMessageFormat)
            site.anyReceiverLine = true;
    }
    site.linesKnown = true;
}

bool ClassScope::OwnerIsPlatform(uint16_t refIndex) noexcept
{
    const classfile::Constant* c = cf_.At(refIndex);
    return c != nullptr &&
           (c->tag == Tag::Fieldref || c->tag == Tag::Methodref || c->tag == Tag::InterfaceMethodref) &&
           Entry(c->ClassIndex(), Tag::Class) != nullptr && OwnerOf(c->ClassIndex()).platform;
}

namespace {

// The type that can hold a string `descriptor` ends with ("Ljava/lang/String;"...); empty
// when none. The letter before the ';' tells the candidates apart.
std::string_view StringTypeAtEnd(std::string_view descriptor) noexcept
{
    if (descriptor.size() < 3 || descriptor.back() != ';')
        return {};  // a primitive, void, or an array of them
    auto ends = [&](std::string_view type) { return descriptor.ends_with(type) ? type : std::string_view(); };
    switch (descriptor[descriptor.size() - 2]) {
        case 'g': return ends("Ljava/lang/String;");
        case 't': return ends("Ljava/lang/Object;");
        case 'c': return ends("Ljava/lang/constant/ConstantDesc;");
        case 'e': {
            for (const std::string_view type : {"Ljava/lang/CharSequence;", "Ljava/lang/Comparable;",
                                                "Ljava/io/Serializable;", "Ljava/lang/constant/Constable;"}) {
                if (descriptor.ends_with(type))
                    return type;
            }
            return {};
        }
        default: return {};
    }
}

}  // namespace

bool ClassScope::TypeMayBeString(uint16_t refIndex) noexcept
{
    if (refIndex >= entries_.size())
        return false;
    uint8_t& known = entries_[refIndex].mayOriginate;
    if (known != 0)
        return known == 2;
    known = 1;
    const classfile::Constant* c = cf_.At(refIndex);
    if (c == nullptr || (c->tag != Tag::Fieldref && c->tag != Tag::Methodref && c->tag != Tag::InterfaceMethodref))
        return false;
    const classfile::Constant* nat = Entry(c->NameAndTypeIndex(), Tag::NameAndType);
    if (nat == nullptr)
        return false;
    const std::string_view type = Utf8(nat->DescriptorIndex());
    // A field's type, or a method's return type (after its ')'), is one of the types that can
    // hold a string or an array of them: read off the descriptor's end.
    const std::string_view name = StringTypeAtEnd(type);
    bool may = false;
    if (!name.empty()) {
        size_t start = type.size() - name.size();
        while (start > 0 && type[start - 1] == '[')
            --start;
        may = c->tag == Tag::Fieldref ? start == 0 : start > 0 && type[start - 1] == ')';
    }
    known = may ? 2 : 1;
    return may;
}

const FieldSite* ClassScope::Field(uint16_t refIndex)
{
    if (refIndex >= entries_.size())
        return nullptr;
    if (entries_[refIndex].field != 0)
        return &fields_[entries_[refIndex].field - 1u];
    if (cf_.At(refIndex, Tag::Fieldref) == nullptr)
        return nullptr;
    FieldSite site;
    site.refIndex = refIndex;
    if (const auto member = cf_.MemberOf(refIndex)) {
        site.valid = !member->descriptor.empty();
        site.words = FieldWords(member->descriptor);
        site.mayBeString = MayBeString(member->descriptor);
    }
    fields_.push_back(site);
    entries_[refIndex].field = static_cast<uint16_t>(fields_.size());
    return &fields_.back();
}

bool ClassScope::Collects(uint16_t classIndex)
{
    if (classIndex >= entries_.size())
        return false;
    uint8_t& collects = entries_[classIndex].collects;
    if (collects == 0)
        collects = table_.Collects(cf_.ClassName(classIndex)) ? 2 : 1;
    return collects == 2;
}

uint32_t ClassScope::Consumer(std::string_view name)
{
    // Chained on a hash collision: the next key of the chain is derived from the last.
    for (uint64_t key = HashText(name);; key = key * 0x9E3779B97F4A7C15ull + 1) {
        bool inserted = false;
        const uint32_t index = consumerIds_.FindOrInsert(key, static_cast<uint32_t>(consumers_.size()), inserted);
        if (inserted) {
            consumers_.push_back(Keep(name));
            return index;
        }
        if (View(consumers_[index]) == name)
            return index;
    }
}

uint32_t ClassScope::Consumer(const CallSite& site)
{
    if (site.consumer == UINT32_MAX) {
        std::string& name = store_.name;
        name.clear();
        if (const auto member = cf_.MemberOf(site.refIndex))
            name.append(member->className).append(".").append(member->name);
        site.consumer = Consumer(name);
    }
    return site.consumer;
}

uint32_t ClassScope::Member(uint16_t refIndex)
{
    if (entries_[refIndex].member != 0)
        return entries_[refIndex].member - 1;
    std::array<Span, 3> ref{};
    const classfile::Constant* c = cf_.At(refIndex);
    if (c != nullptr && (c->tag == Tag::Fieldref || c->tag == Tag::Methodref || c->tag == Tag::InterfaceMethodref)) {
        if (const classfile::Constant* nat = cf_.At(c->NameAndTypeIndex(), Tag::NameAndType)) {
            ref[0] = KeepUtf8(ClassNameIndex(c->ClassIndex()));
            ref[1] = KeepUtf8(nat->NameIndex());
            ref[2] = KeepUtf8(nat->DescriptorIndex());
        }
    }
    members_.push_back(ref);
    entries_[refIndex].member = static_cast<uint32_t>(members_.size());
    return entries_[refIndex].member - 1;
}

uint32_t ClassScope::OwnField(uint16_t fieldIndex)
{
    const classfile::Member& field = cf_.fields[fieldIndex];
    members_.push_back(
        {KeepUtf8(ClassNameIndex(cf_.thisClass)), KeepUtf8(field.nameIndex), KeepUtf8(field.descriptorIndex)});
    return static_cast<uint32_t>(members_.size() - 1);
}

const Sink& ClassScope::SinkAt(uint32_t index) const noexcept
{
    return store_.sinkList[index];
}

uint32_t ClassScope::AddSink(const Sink& sink)
{
    const uint64_t key = (uint64_t{static_cast<uint8_t>(sink.kind)} << 56) |
                         (uint64_t{static_cast<uint8_t>(sink.use)} << 52) |
                         (uint64_t{static_cast<uint8_t>(sink.format)} << 50) | (uint64_t{sink.equalsStyle} << 49) |
                         (uint64_t{sink.parameter} << 32) | sink.target;
    bool inserted = false;
    const uint32_t index = sinks_.FindOrInsert(key, static_cast<uint32_t>(store_.sinkList.size()), inserted);
    if (inserted)
        store_.sinkList.push_back(sink);
    return index;
}

void ClassScope::AddFlow(const Flow& flow)
{
    // The sink number fits 24 bits in practice; a class with more sinks keeps duplicates,
    // which the program-wide step merges anyway.
    const uint64_t key = (uint64_t{static_cast<uint8_t>(flow.origin)} << 62) |
                         (uint64_t{static_cast<uint8_t>(flow.format)} << 60) | (uint64_t{flow.method} << 44) |
                         (uint64_t{flow.value & 0xFFFFF} << 24) | (flow.sink & 0xFFFFFF);
    bool inserted = true;
    // The key holds two bits of origin: a lookup's flows (each lookup is one call) go in as
    // they come.
    if (flow.origin != OriginKind::Lookup && flow.sink <= 0xFFFFFF && flow.value <= 0xFFFFF)
        flows_.FindOrInsert(key, 0, inserted);
    if (!inserted)
        return;
    store_.flowList.push_back(flow);
}

uint32_t ClassScope::AddLookup(const LookupFacts& lookup, std::span<const uint16_t> literals)
{
    LookupFacts added = lookup;
    added.firstLiteral = static_cast<uint32_t>(facts_.lookupLiterals.size());
    added.literalCount = static_cast<uint32_t>(literals.size());
    facts_.lookupLiterals.insert(facts_.lookupLiterals.end(), literals.begin(), literals.end());
    facts_.lookups.push_back(added);
    return static_cast<uint32_t>(facts_.lookups.size() - 1);
}

void ClassScope::Finish()
{
    // Sorted as two words per flow, the order of ClassFacts: origin, value, method, then sink
    // and format.
    std::vector<std::pair<uint64_t, uint64_t>>& keys = store_.flowKeys;
    keys.clear();
    keys.reserve(store_.flowList.size());
    for (const Flow& f : store_.flowList)
        keys.emplace_back((uint64_t{static_cast<uint8_t>(f.origin)} << 48) | (uint64_t{f.value} << 16) | f.method,
                          (uint64_t{f.sink} << 2) | static_cast<uint8_t>(f.format));
    std::sort(keys.begin(), keys.end());
    // The facts' tables made once, at their size, from what the class gathered.
    facts_.flows.resize(keys.size());
    facts_.sinks.assign(store_.sinkList.begin(), store_.sinkList.end());
    for (size_t i = 0; i < keys.size(); ++i) {
        const auto [high, low] = keys[i];
        facts_.flows[i] = {static_cast<OriginKind>(high >> 48), static_cast<FormatStyle>(low & 3),
                           static_cast<uint16_t>(high), static_cast<uint32_t>(high >> 16), static_cast<uint32_t>(low >> 2)};
    }

    // Every name and text the facts keep, gathered before the block is made.
    const Span name = KeepUtf8(ClassNameIndex(cf_.thisClass));
    const Span superName = KeepUtf8(ClassNameIndex(cf_.superClass));
    std::vector<Span>& spans = spans_;  // interfaces, then each method's and field's name and descriptor
    spans.clear();
    spans.reserve(cf_.interfaces.size() + 2 * (cf_.methods.size() + cf_.fields.size()));
    for (const uint16_t i : cf_.interfaces)
        spans.push_back(KeepUtf8(ClassNameIndex(i)));
    for (const classfile::Member& m : cf_.methods) {
        spans.push_back(KeepUtf8(m.nameIndex));
        spans.push_back(KeepUtf8(m.descriptorIndex));
    }
    for (const classfile::Member& f : cf_.fields) {
        spans.push_back(KeepUtf8(f.nameIndex));
        spans.push_back(KeepUtf8(f.descriptorIndex));
    }
    for (const LiteralFacts& literal : facts_.literals) {
        const classfile::Constant* c = cf_.At(literal.stringIndex, Tag::String);
        spans.push_back(c == nullptr ? Span{} : KeepUtf8(c->StringIndex()));
    }

    std::shared_ptr<char[]> block;
    if (!text_.empty()) {
        block = std::make_shared_for_overwrite<char[]>(text_.size());
        std::memcpy(block.get(), text_.data(), text_.size());
    }
    const char* base = block.get();
    auto view = [base](Span s) { return s.size == 0 ? std::string_view() : std::string_view(base + s.offset, s.size); };
    facts_.name = view(name);
    facts_.superName = view(superName);
    size_t at = 0;
    facts_.interfaces.resize(cf_.interfaces.size());
    for (std::string_view& i : facts_.interfaces)
        i = view(spans[at++]);
    for (MethodFacts& m : facts_.methods) {
        m.name = view(spans[at++]);
        m.descriptor = view(spans[at++]);
    }
    for (FieldFacts& f : facts_.fields) {
        f.name = view(spans[at++]);
        f.descriptor = view(spans[at++]);
    }
    for (LiteralFacts& literal : facts_.literals)
        literal.text = view(spans[at++]);
    facts_.members.resize(members_.size());
    for (size_t i = 0; i < members_.size(); ++i)
        facts_.members[i] = {view(members_[i][0]), view(members_[i][1]), view(members_[i][2])};
    facts_.consumers.resize(consumers_.size());
    for (size_t i = 0; i < consumers_.size(); ++i)
        facts_.consumers[i] = view(consumers_[i]);
    facts_.text = std::move(block);
}

}  // namespace cl::usage
