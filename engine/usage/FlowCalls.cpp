#include "usage/FlowCalls.h"

#include "usage/ActionValues.h"
#include "usage/ConsumerTable.h"
#include "usage/OutputStreams.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cl::usage {

using classfile::Constant;
using classfile::Tag;

namespace {

constexpr uint32_t kPrintf = static_cast<uint32_t>(FormatStyle::Printf);
constexpr uint32_t kMessageFormat = static_cast<uint32_t>(FormatStyle::MessageFormat);

// The set of the value a call looks up with `key` (parameter `parameter` of the call at c.pc):
// one origin per call and parameter, whose key set grows each time the call is followed.
uint32_t LookedUp(FlowContext& c, uint32_t key, LookupKind kind, uint16_t parameter, uint32_t member)
{
    const uint32_t value = (c.pc << 8) | (parameter & 0xFFu);
    bool fresh = false;
    uint32_t& at = c.s.lookupAt.FindOrInsert(value, static_cast<uint32_t>(c.s.lookups.size()), fresh);
    if (fresh) {
        c.s.lookups.push_back({c.SourceOf(kLookup, value), key, kind, parameter, member});
    } else {
        c.s.lookups[at].key = c.s.sets.Union(c.s.lookups[at].key, key);
    }
    return c.s.sets.Single(c.s.lookups[at].source << 2);
}

// Whether a key set may name a key: it holds a string constant or a parameter (else what it
// looks up cannot be matched to a bundle's key).
bool MayNameKey(FlowContext& c, uint32_t key)
{
    for (const uint32_t element : c.s.sets.Elements(key)) {
        const SourceKind kind = c.s.sources[element >> 2].kind;
        if (kind == kLiteral || kind == kParameter || kind == kObject)
            return true;
    }
    return false;
}

// Whether every value of a set is an object made here (a builder, a tokenizer, a list) or a
// stream.
bool OnlyObjects(FlowContext& c, uint32_t set)
{
    for (const uint32_t element : c.s.sets.Elements(set)) {
        const SourceKind kind = c.s.sources[element >> 2].kind;
        if (kind != kObject && kind != kStream)
            return false;
    }
    return true;
}

// The one string constant a set holds, as the class stores it.
bool OneLiteral(FlowContext& c, uint32_t set, std::string_view& text)
{
    const std::span<const uint32_t> elements = c.s.sets.Elements(set);
    if (elements.size() != 1 || (elements[0] & 3u) != 0)
        return false;
    const Source& s = c.s.sources[elements[0] >> 2];
    const Constant* string = s.kind == kLiteral ? c.file.At(static_cast<uint16_t>(s.value), Tag::String) : nullptr;
    if (string == nullptr)
        return false;
    text = c.file.Utf8Bytes(string->StringIndex());
    return true;
}

// `text.replace(".", "'.'")`, `text.replace("'", "''")`: the program quotes what a number, date
// or message pattern would read as its syntax, so that the text it joins to the pattern is
// printed as it is (a unit's name after a length). Such a text is literal text of the pattern,
// not the pattern: its receiver is not followed into the result, which is the quoted copy.
bool QuotesForPattern(FlowContext& c, const CallSite& site, const uint32_t* args, size_t count)
{
    if (count != 3 || !site.libraryOwner || c.file.Utf8Bytes(site.nameIndex) != "replace" ||
        c.file.ClassName(site.classIndex) != "java/lang/String")
        return false;
    std::string_view target, replacement;
    if (args[1] == 0 || args[2] == 0 || !OneLiteral(c, args[1], target) || !OneLiteral(c, args[2], replacement) ||
        target.empty())
        return false;
    if (target == "'")
        return replacement == "''";
    return replacement.size() == target.size() + 2 && replacement.front() == '\'' && replacement.back() == '\'' &&
           replacement.substr(1, target.size()) == target;
}

// What a call does with the values passed to it: a table line names each parameter's use
// (consumed, passed on to the result, put into the receiver); a library call without lines
// uses them in ways not known; a call of the program's own passes them to its parameters,
// and its result is an origin of its own when it may be a string.
uint32_t ApplyCall(FlowContext& c, const CallSite& site, const uint32_t* args, size_t count)
{
    uint32_t result = 0;
    bool carries = false;
    for (size_t p = 0; p < count; ++p)
        carries = carries || args[p] != 0;
    // Nothing followed goes in: only a call of the program's own that may return a string
    // gives something back, and only when the table has no line for it.
    if (!carries && (site.libraryOwner || !site.returnMayBeString))
        return 0;
    // An Action's value is judged by its key; the value is then no argument of the call's.
    const size_t decided = ApplyActionValue(c, site, args, count) ? 2 : SIZE_MAX;
    ConstructStream(c, site, args, count);
    // What is written to a stream goes where the stream leads.
    const bool writes = WritesToStream(c, site);
    const StreamTarget target = writes ? TargetOf(c, site, args[0]) : StreamTarget{};
    if (!c.scope.Lines(site).empty()) {
        const uint32_t receiver = args[0];
        const bool quoting = QuotesForPattern(c, site, args, count);
        for (size_t p = 0; p < count; ++p) {
            const uint32_t value = args[p];
            if (value == 0 || p == decided)
                continue;
            bool named = false;
            for (const ConsumerLine* line : c.scope.Lines(site)) {
                if (!line->Names(static_cast<unsigned>(p)))
                    continue;
                named = true;
                switch (line->action) {
                    case Action::Consume:
                        if (writes && p != 0)
                            WriteTo(c, target, site, *line, value);
                        else
                            c.Use(value, c.scope.AddSink({SinkKind::Consumer, line->use, line->format,
                                                       line->equalsStyle, 0, c.scope.Consumer(site)}));
                        break;
                    case Action::Result:
                        if (p == 0 && quoting)
                            c.Use(value, c.UnknownSink(c.scope.Consumer(site)));
                        else
                            result = c.s.sets.Union(result, value);
                        break;
                    case Action::ResultPrintf:
                        result = c.s.sets.Union(result, c.s.sets.WithFlag(value, kPrintf));
                        break;
                    case Action::ResultMessageFormat:
                        result = c.s.sets.Union(result, c.s.sets.WithFlag(value, kMessageFormat));
                        break;
                    case Action::Receiver:
                        PutInto(c, receiver, value, c.scope.Consumer(site));
                        break;
                    case Action::ReceiverMessageFormat:
                        PutInto(c, receiver, c.s.sets.WithFlag(value, kMessageFormat), c.scope.Consumer(site));
                        break;
                    case Action::Lookup:
                        if (site.returnsReference && MayNameKey(c, value))
                            result = c.s.sets.Union(
                                result, LookedUp(c, value, LookupKind::Table, static_cast<uint16_t>(p), 0));
                        break;
                }
            }
            // An object a method is called on is not used as a text unless a line says so.
            if (!named && p != 0)
                c.Use(value, c.UnknownSink(c.scope.Consumer(site)));
        }
        if (site.anyReceiverLine && site.returnsReference)
            result = c.s.sets.Union(result, receiver);
        return result;
    }
    for (size_t p = 0; p < count; ++p) {
        if (args[p] == 0 || p == decided)
            continue;
        // A builder or tokenizer asked something the table does not know (hasMoreTokens,
        // length) does not use the texts it holds: only a line says it does.
        if (p == 0 && OnlyObjects(c, args[p]))
            continue;
        if (p == 1 && writes) {
            if (const ConsumerLine* text = WrittenText(c, site)) {
                WriteTo(c, target, site, *text, args[p]);
                continue;
            }
        }
        if (site.libraryOwner)
            c.Use(args[p], c.UnknownSink(c.scope.Consumer(site)));
        else
            c.Use(args[p], c.scope.AddSink({SinkKind::Call, Use::Unknown, {}, false, static_cast<uint16_t>(p),
                                         c.scope.Member(site.refIndex)}));
    }
    if (!site.libraryOwner && site.returnMayBeString) {
        const uint32_t member = c.scope.Member(site.refIndex);
        result = c.SetOf(kCallResult, member);
        // A method of the program's own that is passed a string may look it up (a wrapper
        // around a bundle): what it returns for that key is followed from here, per call.
        const uint8_t* parameters = c.scope.Parameters(site.firstParameter);
        for (size_t p = 1; p < count; ++p) {
            if (args[p] != 0 && (parameters[p - 1] & kParameterMayBeString) != 0 && MayNameKey(c, args[p]))
                result = c.s.sets.Union(result, LookedUp(c, args[p], LookupKind::Call, static_cast<uint16_t>(p), member));
        }
        // This call's result and what is passed to it, for a method that returns what it is
        // given: the argument comes back out of this call only.
        if (carries) {
            const uint32_t here = LookedUp(c, 0, LookupKind::Site, 0, member);
            result = c.s.sets.Union(result, here);
            const uint32_t source = c.s.sets.Elements(here)[0] >> 2;
            for (size_t p = 0; p < count; ++p) {
                if (args[p] != 0 && p != decided)
                    c.s.siteArguments.push_back({args[p], source, static_cast<uint16_t>(p)});
            }
        }
    }
    return result;
}

// A lambda or method reference captures values: they become the first arguments of the
// method that implements it.
void Capture(FlowContext& c, uint16_t handleIndex, const std::vector<uint32_t>& captured)
{
    const Constant* handle = c.file.At(handleIndex, Tag::MethodHandle);
    if (handle == nullptr || handle->referenceKind < 5)
        return;
    const CallSite* site = c.scope.Call(handle->ReferenceIndex());
    if (site == nullptr || !site->valid)
        return;
    const size_t count = size_t{site->parameterCount} + 1;
    std::vector<uint32_t> args(count, 0u);
    // invokeVirtual, invokeSpecial and invokeInterface take the object first.
    const bool receiverFirst = handle->referenceKind == 5 || handle->referenceKind == 7 ||
                               handle->referenceKind == 9;
    for (size_t i = 0; i < captured.size(); ++i) {
        const size_t position = receiverFirst ? i : i + 1;
        if (position < count)
            args[position] = captured[i];
    }
    ApplyCall(c, *site, args.data(), count);
}

}  // namespace

// `value` goes into the objects of `target`. An object made here collects it; an array
// read from a field puts it into that field; anything else cannot be followed.
// `consumer` names the call (kNoConsumer: an array element).
void PutInto(FlowContext& c, uint32_t target, uint32_t value, uint32_t consumer)
{
    bool lost = target == 0;
    for (const uint32_t element : c.s.sets.Elements(target)) {
        const uint32_t source = element >> 2;
        const Source s = c.s.sources[source];
        if (s.kind == kObject) {
            const uint32_t flag = element & 3u;
            for (uint32_t put : c.s.sets.Elements(value)) {
                if ((put & 3u) == 0)
                    put |= flag;
                bool fresh = false;
                c.s.collectedOnce.FindOrInsert((uint64_t{source} << 32) | put, 0, fresh);
                if (fresh)
                    c.s.collected.emplace_back(source, put);
            }
        } else if (s.kind == kFieldRead && consumer == kNoConsumer) {
            c.Use(value, c.scope.AddSink({SinkKind::FieldStore, Use::Unknown, {}, false, 0, s.value}));
        } else {
            lost = true;
        }
    }
    if (lost)
        c.Use(value, consumer == kNoConsumer ? c.UnknownSink("array element") : c.UnknownSink(consumer));
}

bool Invoke(FlowContext& c, uint16_t ref, bool hasReceiver)
{
    const CallSite* site = c.scope.Call(ref);
    if (site == nullptr || !site->valid)
        return false;
    const uint32_t words = site->parameterWords + (hasReceiver ? 1u : 0u);
    if (c.height < words)
        return false;
    const size_t count = size_t{site->parameterCount} + 1;  // at most 256
    uint32_t args[256];
    uint32_t at = c.height - words;
    args[0] = hasReceiver ? c.s.stack[at++] : 0u;
    const uint8_t* parameters = c.scope.Parameters(site->firstParameter);
    for (size_t i = 0; i < site->parameterCount; ++i) {
        args[i + 1] = c.s.stack[at];
        at += parameters[i] & kParameterWords;
    }
    c.height -= static_cast<uint16_t>(words);
    uint32_t result = ApplyCall(c, *site, args, count);
    if (site->returnWords == 0)
        return true;
    uint32_t stream = 0;
    if (result == 0 && StreamOfCall(c, *site, stream))
        result = c.SetOf(kStream, stream);
    if (site->returnsReference)
        return c.Push(result);
    return c.PushZeros(site->returnWords);
}

bool InvokeDynamic(FlowContext& c, uint16_t index)
{
    const Constant* indy = c.file.At(index, Tag::InvokeDynamic);
    if (indy == nullptr)
        return false;
    const Constant* nat = c.file.At(indy->NameAndTypeIndex(), Tag::NameAndType);
    if (nat == nullptr)
        return false;
    MethodShape& shape = c.s.shape;
    ParseMethodDescriptor(c.file.Utf8Bytes(nat->DescriptorIndex()), shape);
    if (!shape.valid || c.height < shape.parameterWords)
        return false;
    std::vector<uint32_t> args;
    args.reserve(shape.parameters.size());
    uint32_t at = c.height - shape.parameterWords;
    for (const ParameterShape& parameter : shape.parameters) {
        args.push_back(c.s.stack[at]);
        at += parameter.words;
    }
    c.height -= static_cast<uint16_t>(shape.parameterWords);

    uint32_t result = 0;
    if (indy->BootstrapIndex() < c.file.bootstrapMethods.size()) {
        const classfile::BootstrapMethod& bootstrap = c.file.bootstrapMethods[indy->BootstrapIndex()];
        const auto statics = c.file.Arguments(bootstrap);
        const auto member = c.file.MethodHandleMember(bootstrap.methodHandleIndex);
        const std::string_view owner = member ? member->className : std::string_view();
        const std::string_view name = member ? member->name : std::string_view();
        if (owner == "java/lang/invoke/StringConcatFactory") {
            // The recipe, its constants and every value joined make the result.
            for (const uint32_t value : args)
                result = c.s.sets.Union(result, value);
            for (const uint16_t argument : statics) {
                if (c.file.At(argument, Tag::String) != nullptr)
                    result = c.s.sets.Union(result, c.SetOf(kLiteral, argument));
            }
        } else if (owner == "java/lang/invoke/LambdaMetafactory" && statics.size() >= 2) {
            Capture(c, statics[1], args);
        } else {
            std::string consumer;
            consumer.append(owner).append(".").append(name);
            std::vector<const ConsumerLine*> lines;
            ConsumerTable::Builtin().Find(owner, name, member ? member->descriptor : std::string_view(),
                                          ClassMatch::Any, lines);
            const uint32_t sink =
                lines.empty() || lines[0]->action != Action::Consume
                    ? c.UnknownSink(consumer)
                    : c.scope.AddSink({SinkKind::Consumer, lines[0]->use, lines[0]->format, lines[0]->equalsStyle, 0,
                                      c.scope.Consumer(consumer)});
            for (const uint16_t argument : statics) {
                if (c.file.At(argument, Tag::String) != nullptr)
                    c.Use(c.SetOf(kLiteral, argument), sink);
            }
            for (const uint32_t value : args)
                c.Use(value, c.UnknownSink(consumer));
        }
    }
    if (shape.returnWords == 0)
        return true;
    if (shape.returnsReference)
        return c.Push(result);
    return c.PushZeros(shape.returnWords);
}

}  // namespace cl::usage
