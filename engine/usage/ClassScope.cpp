#include "usage/ClassScope.h"

#include <algorithm>
#include <tuple>

namespace cl::usage {

using classfile::Tag;

bool IsPlatformClass(std::string_view name) noexcept
{
    for (const std::string_view prefix : {"java/", "javax/", "jdk/", "sun/", "com/sun/", "org/w3c/", "org/xml/"}) {
        if (name.substr(0, prefix.size()) == prefix)
            return true;
    }
    return false;
}

namespace {

// The sink and flow sets of the class being analysed on this thread, kept from class to class.
FlatMap& ThreadSinks()
{
    thread_local FlatMap map;
    return map;
}
FlatMap& ThreadFlows()
{
    thread_local FlatMap map;
    return map;
}

}  // namespace

ClassScope::ClassScope(const classfile::ClassFile& cf, ClassFacts& facts)
    : cf_(cf), facts_(facts), table_(ConsumerTable::Builtin()), sinks_(ThreadSinks()), flows_(ThreadFlows())
{
    entries_.resize(cf.pool.size());
    sinks_.Clear();
    flows_.Clear();
}

const CallSite* ClassScope::Call(uint16_t refIndex)
{
    if (refIndex >= entries_.size())
        return nullptr;
    if (entries_[refIndex].call >= 0)
        return &calls_[static_cast<size_t>(entries_[refIndex].call)];
    const classfile::Constant* c = cf_.At(refIndex);
    if (c == nullptr || (c->tag != Tag::Methodref && c->tag != Tag::InterfaceMethodref))
        return nullptr;
    CallSite site;
    site.refIndex = refIndex;
    if (const auto member = cf_.MemberOf(refIndex)) {
        ParseMethodDescriptor(member->descriptor, shape_);
        site.valid = shape_.valid;
        site.returnsReference = shape_.returnsReference;
        site.returnMayBeString = shape_.returnMayBeString;
        site.returnWords = shape_.returnWords;
        site.parameterCount = static_cast<uint16_t>(std::min<size_t>(shape_.parameters.size(), 255));
        site.parameterWords = shape_.parameterWords;
        site.firstParameter = static_cast<uint32_t>(words_.size());
        for (size_t p = 0; p < site.parameterCount; ++p)
            words_.push_back(shape_.parameters[p].words);
        if (shape_.parameters.size() > 255)
            site.valid = false;  // the JVM allows no more
        site.isInit = member->name == "<init>";
        site.libraryOwner = IsPlatformClass(member->className);
        table_.Find(member->className, member->name, member->descriptor,
                    site.libraryOwner ? ClassMatch::Any : ClassMatch::ExactOrPrefix, site.lines);
        for (const ConsumerLine* line : site.lines) {
            if (line->action == Action::Receiver || line->action == Action::ReceiverMessageFormat)
                site.anyReceiverLine = true;
        }
    }
    entries_[refIndex].call = static_cast<int32_t>(calls_.size());
    calls_.push_back(std::move(site));
    return &calls_.back();
}

const FieldSite* ClassScope::Field(uint16_t refIndex)
{
    if (refIndex >= entries_.size())
        return nullptr;
    if (entries_[refIndex].field >= 0)
        return &fields_[static_cast<size_t>(entries_[refIndex].field)];
    if (cf_.At(refIndex, Tag::Fieldref) == nullptr)
        return nullptr;
    FieldSite site;
    site.refIndex = refIndex;
    if (const auto member = cf_.MemberOf(refIndex)) {
        site.valid = !member->descriptor.empty();
        site.words = FieldWords(member->descriptor);
        site.mayBeString = MayBeString(member->descriptor);
    }
    entries_[refIndex].field = static_cast<int32_t>(fields_.size());
    fields_.push_back(site);
    return &fields_.back();
}

bool ClassScope::Collects(uint16_t classIndex)
{
    if (classIndex >= entries_.size())
        return false;
    int8_t& collects = entries_[classIndex].collects;
    if (collects < 0)
        collects = table_.Collects(cf_.ClassName(classIndex)) ? 1 : 0;
    return collects == 1;
}

uint32_t ClassScope::Consumer(std::string_view name)
{
    const auto [it, fresh] = consumers_.emplace(std::string(name), 0u);
    if (fresh) {
        it->second = static_cast<uint32_t>(facts_.consumers.size());
        facts_.consumers.emplace_back(name);
    }
    return it->second;
}

uint32_t ClassScope::Consumer(const CallSite& site)
{
    if (site.consumer == UINT32_MAX) {
        std::string name;
        if (const auto member = cf_.MemberOf(site.refIndex))
            name.append(member->className).append(".").append(member->name);
        site.consumer = Consumer(name);
    }
    return site.consumer;
}

uint32_t ClassScope::Member(uint16_t refIndex)
{
    if (entries_[refIndex].member >= 0)
        return static_cast<uint32_t>(entries_[refIndex].member);
    MemberRef ref;
    if (const auto member = cf_.MemberOf(refIndex)) {
        ref.owner.assign(member->className);
        ref.name.assign(member->name);
        ref.descriptor.assign(member->descriptor);
    }
    entries_[refIndex].member = static_cast<int32_t>(facts_.members.size());
    facts_.members.push_back(std::move(ref));
    return static_cast<uint32_t>(entries_[refIndex].member);
}

uint32_t ClassScope::OwnField(uint16_t fieldIndex)
{
    const classfile::Member& field = cf_.fields[fieldIndex];
    facts_.members.push_back({std::string(cf_.ThisClassName()), std::string(cf_.Utf8Bytes(field.nameIndex)),
                              std::string(cf_.Utf8Bytes(field.descriptorIndex))});
    return static_cast<uint32_t>(facts_.members.size() - 1);
}

uint32_t ClassScope::AddSink(const Sink& sink)
{
    const uint64_t key = (uint64_t{static_cast<uint8_t>(sink.kind)} << 56) |
                         (uint64_t{static_cast<uint8_t>(sink.use)} << 52) |
                         (uint64_t{static_cast<uint8_t>(sink.format)} << 50) | (uint64_t{sink.equalsStyle} << 49) |
                         (uint64_t{sink.parameter} << 32) | sink.target;
    bool inserted = false;
    const uint32_t index = sinks_.FindOrInsert(key, static_cast<uint32_t>(facts_.sinks.size()), inserted);
    if (inserted)
        facts_.sinks.push_back(sink);
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
    if (flow.sink <= 0xFFFFFF && flow.value <= 0xFFFFF)
        flows_.FindOrInsert(key, 0, inserted);
    if (!inserted)
        return;
    facts_.flows.push_back(flow);
}

void ClassScope::Finish()
{
    std::sort(facts_.flows.begin(), facts_.flows.end(), [](const Flow& a, const Flow& b) {
        return std::tie(a.origin, a.value, a.method, a.sink, a.format) <
               std::tie(b.origin, b.value, b.method, b.sink, b.format);
    });
}

}  // namespace cl::usage
