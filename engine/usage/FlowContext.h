#pragma once
// The method being followed, as every pass of its data-flow sees it: the class's scope (its
// tables of calls, fields and consumers, and where its facts are recorded), the code, the
// working storage, and the frame being interpreted (the locals and the operand stack live in
// the storage; the height here). The passes are free functions over this one object, so that
// the hot per-instruction code reads its fields as directly as a class's own members.
//
// The small operations every pass needs live here, inline: the operand stack, and naming an
// origin, a set of origins and a use.

#include "classfile/ClassFile.h"
#include "usage/ClassScope.h"
#include "usage/FlowScratch.h"

#include <cstdint>
#include <string_view>

namespace cl::usage {

struct FlowContext {
    FlowContext(ClassScope& classScope, const classfile::CodeInfo& methodCode, uint16_t methodIndex,
                FlowScratch& scratch)
        : scope(classScope),
          file(classScope.File()),
          code(methodCode),
          method(methodIndex),
          s(scratch),
          bytes(file.bytes.data() + methodCode.codeOffset),
          length(methodCode.codeLength),
          maxLocals(methodCode.maxLocals),
          maxStack(methodCode.maxStack)
    {
    }

    ClassScope& scope;
    const classfile::ClassFile& file;
    const classfile::CodeInfo& code;
    uint16_t method;
    FlowScratch& s;
    const uint8_t* bytes;
    uint32_t length;
    uint16_t maxLocals;
    uint16_t maxStack;
    uint16_t height = 0;  // of the operand stack, in s.stack
    uint32_t pc = 0;      // of the call being interpreted: names the lookups it makes
    uint64_t visits = 0;  // instructions interpreted, against the method's budget
    bool broken = false;  // two paths reach a block with different stack heights
    bool returnsReference = false;
    bool origins = false;  // something in the code may bring a string in
    DescriptorShape shape;  // the method's own descriptor

    // How many blocks FindBlocks marked.
    uint32_t Blocks() const noexcept { return static_cast<uint32_t>(s.leaders.size()); }

    // ---- The operand stack: false when the code pops more than it pushed or pushes past
    // max_stack, which the JVM would reject.

    bool Pop(uint32_t& value)
    {
        if (height == 0)
            return false;
        value = s.stack[--height];
        return true;
    }
    bool Push(uint32_t value)
    {
        if (height >= maxStack)
            return false;
        s.stack[height++] = value;
        return true;
    }
    bool Drop(unsigned words)
    {
        if (height < words)
            return false;
        height -= static_cast<uint16_t>(words);
        return true;
    }
    bool PushZeros(unsigned words)
    {
        for (unsigned i = 0; i < words; ++i) {
            if (!Push(0))
                return false;
        }
        return true;
    }

    // ---- Origins and uses

    // The number of an origin (or object), the same for the same kind and value.
    uint32_t SourceOf(SourceKind kind, uint32_t value)
    {
        const uint64_t key = (uint64_t{kind} << 32) | value;
        bool inserted = false;
        const uint32_t source = s.sourceAt.FindOrInsert(key, static_cast<uint32_t>(s.sources.size()), inserted);
        if (inserted) {
            s.sources.push_back({kind, value});
        }
        return source;
    }

    // The set of that one origin, without a pattern flag (the low two bits of an element).
    uint32_t SetOf(SourceKind kind, uint32_t value) { return s.sets.Single(SourceOf(kind, value) << 2); }

    // The values of `set` reach `sink`; FlowFacts turns each into flows when the method is done.
    void Use(uint32_t set, uint32_t sink)
    {
        if (set != 0)
            s.uses.emplace_back(set, sink);
    }

    uint32_t UnknownSink(uint32_t consumer)
    {
        return scope.AddSink({SinkKind::Unknown, Use::Unknown, {}, false, 0, consumer});
    }
    uint32_t UnknownSink(std::string_view consumer) { return UnknownSink(scope.Consumer(consumer)); }
};

}  // namespace cl::usage
