#include "usage/FlowTransfer.h"

#include "classfile/Bytecode.h"
#include "usage/FlowCalls.h"
#include "usage/FrameSolver.h"
#include "usage/OutputStreams.h"

#include <utility>

namespace cl::usage {

using classfile::Constant;
using classfile::Tag;
using classfile::bytecode::S2;
using classfile::bytecode::S4;
using classfile::bytecode::U2;
namespace bytecode = classfile::bytecode;

namespace {

// Stack words each simple opcode pops and pushes (pushing untracked values); 0xFF for opcodes
// handled one by one.
struct SimpleEffects {
    uint8_t pops[256];
    uint8_t pushes[256];
    constexpr SimpleEffects() : pops(), pushes()
    {
        for (int op = 0; op < 256; ++op)
            pops[op] = pushes[op] = 0xFF;
        auto set = [this](int op, uint8_t pop, uint8_t push) {
            pops[op] = pop;
            pushes[op] = push;
        };
        set(0x00, 0, 0);  // nop
        set(0x01, 0, 1);  // aconst_null
        for (int op = 0x02; op <= 0x08; ++op)
            set(op, 0, 1);  // iconst
        set(0x09, 0, 2);
        set(0x0A, 0, 2);  // lconst
        for (int op = 0x0B; op <= 0x0D; ++op)
            set(op, 0, 1);  // fconst
        set(0x0E, 0, 2);
        set(0x0F, 0, 2);  // dconst
        set(0x10, 0, 1);
        set(0x11, 0, 1);  // bipush, sipush
        set(0x14, 0, 2);  // ldc2_w
        set(0x2E, 2, 1);
        set(0x2F, 2, 2);
        set(0x30, 2, 1);
        set(0x31, 2, 2);
        set(0x33, 2, 1);
        set(0x34, 2, 1);
        set(0x35, 2, 1);  // array loads but aaload
        set(0x4F, 3, 0);
        set(0x50, 4, 0);
        set(0x51, 3, 0);
        set(0x52, 4, 0);
        set(0x54, 3, 0);
        set(0x55, 3, 0);
        set(0x56, 3, 0);  // array stores but aastore
        set(0x57, 1, 0);
        set(0x58, 2, 0);  // pop, pop2
        for (int op = 0x60; op <= 0x73; ++op) {
            const bool wide = (op & 1) != 0;  // ladd, dadd, lsub, ...
            set(op, wide ? 4 : 2, wide ? 2 : 1);
        }
        set(0x74, 1, 1);
        set(0x75, 2, 2);
        set(0x76, 1, 1);
        set(0x77, 2, 2);  // neg
        set(0x78, 2, 1);
        set(0x79, 3, 2);
        set(0x7A, 2, 1);
        set(0x7B, 3, 2);
        set(0x7C, 2, 1);
        set(0x7D, 3, 2);  // shifts
        set(0x7E, 2, 1);
        set(0x7F, 4, 2);
        set(0x80, 2, 1);
        set(0x81, 4, 2);
        set(0x82, 2, 1);
        set(0x83, 4, 2);  // and, or, xor
        set(0x84, 0, 0);  // iinc
        set(0x85, 1, 2);
        set(0x86, 1, 1);
        set(0x87, 1, 2);
        set(0x88, 2, 1);
        set(0x89, 2, 1);
        set(0x8A, 2, 2);
        set(0x8B, 1, 1);
        set(0x8C, 1, 2);
        set(0x8D, 1, 2);
        set(0x8E, 2, 1);
        set(0x8F, 2, 2);
        set(0x90, 2, 1);
        set(0x91, 1, 1);
        set(0x92, 1, 1);
        set(0x93, 1, 1);  // conversions
        set(0x94, 4, 1);
        set(0x95, 2, 1);
        set(0x96, 2, 1);
        set(0x97, 4, 1);
        set(0x98, 4, 1);  // comparisons
        set(0xBC, 1, 1);  // newarray
        set(0xBE, 1, 1);  // arraylength
        set(0xC0, 0, 0);  // checkcast: the value goes on unchanged
        set(0xC1, 1, 1);  // instanceof
        set(0xC2, 1, 0);
        set(0xC3, 1, 0);  // monitorenter, monitorexit
    }
};
constexpr SimpleEffects kSimple;

inline bool Load(FlowContext& c, uint32_t index, unsigned words, bool reference)
{
    if (index + words > c.maxLocals)
        return false;
    if (reference)
        return c.Push(c.s.locals[index]);
    return c.PushZeros(words);
}

inline bool Store(FlowContext& c, uint32_t block, uint32_t index, unsigned words, bool reference)
{
    if (index + words > c.maxLocals || c.height < words)
        return false;
    c.height -= static_cast<uint16_t>(words);
    const uint32_t value = reference ? c.s.stack[c.height] : 0u;
    for (unsigned i = 0; i < words; ++i)
        c.s.locals[index + i] = 0;
    c.s.locals[index] = value;
    if (value != 0)
        MergeHandlers(c, block);
    return true;
}

inline bool Branch(FlowContext& c, uint32_t target)
{
    Merge(c, c.s.blockAt[target], c.s.locals.data(), c.s.stack.data(), c.height);
    return !c.broken;
}

// `ret`: the subroutine goes back to after one of the jsr instructions.
bool Return(FlowContext& c)
{
    for (const uint32_t target : c.s.jsrReturns) {
        if (!Branch(c, target))
            return false;
    }
    return true;
}

bool GetField(FlowContext& c, uint16_t ref, bool instance)
{
    const FieldSite* field = c.scope.Field(ref);
    if (field == nullptr || !field->valid)
        return false;
    if (instance && !c.Drop(1))
        return false;
    if (field->mayBeString)
        return c.Push(c.SetOf(kFieldRead, c.scope.Member(ref)));
    if (!instance && field->words == 1)
        return c.Push(ConsoleField(c, ref));
    return c.PushZeros(field->words);
}

bool PutField(FlowContext& c, uint16_t ref, bool instance)
{
    const FieldSite* field = c.scope.Field(ref);
    if (field == nullptr || !field->valid || c.height < field->words + (instance ? 1u : 0u))
        return false;
    const uint32_t value = c.s.stack[c.height - field->words];
    c.height -= static_cast<uint16_t>(field->words + (instance ? 1 : 0));
    if (value != 0)
        c.Use(value, c.scope.AddSink({SinkKind::FieldStore, Use::Unknown, {}, false, 0, c.scope.Member(ref)}));
    return true;
}

bool Execute(FlowContext& c, uint32_t block, uint32_t pc, uint8_t op, uint32_t next, bool& falls)
{
    const uint8_t* p = c.bytes + pc;
    switch (op) {
        case 0x12:  // ldc
        case 0x13:  // ldc_w
        {
            const uint16_t index = op == 0x12 ? p[1] : U2(p + 1);
            const Constant* constant = c.file.At(index);
            return c.Push(constant != nullptr && constant->tag == Tag::String ? c.SetOf(kLiteral, index) : 0u);
        }
        case 0x15: return Load(c, p[1], 1, false);
        case 0x16: return Load(c, p[1], 2, false);
        case 0x17: return Load(c, p[1], 1, false);
        case 0x18: return Load(c, p[1], 2, false);
        case 0x19: return Load(c, p[1], 1, true);
        case 0x1A: case 0x1B: case 0x1C: case 0x1D: return Load(c, op - 0x1A, 1, false);
        case 0x1E: case 0x1F: case 0x20: case 0x21: return Load(c, op - 0x1E, 2, false);
        case 0x22: case 0x23: case 0x24: case 0x25: return Load(c, op - 0x22, 1, false);
        case 0x26: case 0x27: case 0x28: case 0x29: return Load(c, op - 0x26, 2, false);
        case 0x2A: case 0x2B: case 0x2C: case 0x2D: return Load(c, op - 0x2A, 1, true);
        case 0x32: {  // aaload: an element stands for the array it came from
            uint32_t index = 0;
            uint32_t array = 0;
            return c.Pop(index) && c.Pop(array) && c.Push(array);
        }
        case 0x36: return Store(c, block, p[1], 1, false);
        case 0x37: return Store(c, block, p[1], 2, false);
        case 0x38: return Store(c, block, p[1], 1, false);
        case 0x39: return Store(c, block, p[1], 2, false);
        case 0x3A: return Store(c, block, p[1], 1, true);
        case 0x3B: case 0x3C: case 0x3D: case 0x3E: return Store(c, block, op - 0x3B, 1, false);
        case 0x3F: case 0x40: case 0x41: case 0x42: return Store(c, block, op - 0x3F, 2, false);
        case 0x43: case 0x44: case 0x45: case 0x46: return Store(c, block, op - 0x43, 1, false);
        case 0x47: case 0x48: case 0x49: case 0x4A: return Store(c, block, op - 0x47, 2, false);
        case 0x4B: case 0x4C: case 0x4D: case 0x4E: return Store(c, block, op - 0x4B, 1, true);
        case 0x53: {  // aastore
            uint32_t value = 0;
            uint32_t index = 0;
            uint32_t array = 0;
            if (!c.Pop(value) || !c.Pop(index) || !c.Pop(array))
                return false;
            if (value != 0)
                PutInto(c, array, value, kNoConsumer);
            return true;
        }
        case 0x59:  // dup
            return c.height >= 1 && c.Push(c.s.stack[c.height - 1]);
        case 0x5A: {  // dup_x1
            if (c.height < 2 || !c.Push(0))
                return false;
            uint32_t* t = c.s.stack.data() + c.height - 3;
            t[2] = t[1];
            t[1] = t[0];
            t[0] = t[2];
            return true;
        }
        case 0x5B: {  // dup_x2
            if (c.height < 3 || !c.Push(0))
                return false;
            uint32_t* t = c.s.stack.data() + c.height - 4;
            t[3] = t[2];
            t[2] = t[1];
            t[1] = t[0];
            t[0] = t[3];
            return true;
        }
        case 0x5C: {  // dup2
            if (c.height < 2)
                return false;
            const uint32_t a = c.s.stack[c.height - 2];
            const uint32_t b = c.s.stack[c.height - 1];
            return c.Push(a) && c.Push(b);
        }
        case 0x5D: {  // dup2_x1
            if (c.height < 3 || !c.PushZeros(2))
                return false;
            uint32_t* t = c.s.stack.data() + c.height - 5;
            const uint32_t c = t[0], b = t[1], a = t[2];
            t[0] = b;
            t[1] = a;
            t[2] = c;
            t[3] = b;
            t[4] = a;
            return true;
        }
        case 0x5E: {  // dup2_x2
            if (c.height < 4 || !c.PushZeros(2))
                return false;
            uint32_t* t = c.s.stack.data() + c.height - 6;
            const uint32_t d = t[0], c = t[1], b = t[2], a = t[3];
            t[0] = b;
            t[1] = a;
            t[2] = d;
            t[3] = c;
            t[4] = b;
            t[5] = a;
            return true;
        }
        case 0x5F:  // swap
            if (c.height < 2)
                return false;
            std::swap(c.s.stack[c.height - 1], c.s.stack[c.height - 2]);
            return true;
        case 0x99: case 0x9A: case 0x9B: case 0x9C: case 0x9D: case 0x9E:
        case 0xC6: case 0xC7:
            return c.Drop(1) && Branch(c, static_cast<uint32_t>(int64_t{pc} + S2(p + 1)));
        case 0x9F: case 0xA0: case 0xA1: case 0xA2: case 0xA3: case 0xA4:
            return c.Drop(2) && Branch(c, static_cast<uint32_t>(int64_t{pc} + S2(p + 1)));
        case 0xA5:
        case 0xA6: {  // if_acmpeq, if_acmpne: compared by identity
            uint32_t a = 0;
            uint32_t b = 0;
            if (!c.Pop(b) || !c.Pop(a))
                return false;
            if (a != 0 || b != 0) {
                const uint32_t sink = c.scope.AddSink(
                    {SinkKind::Consumer, Use::Key, FormatStyle::None, true, 0, c.scope.Consumer("==")});
                c.Use(a, sink);
                c.Use(b, sink);
            }
            return Branch(c, static_cast<uint32_t>(int64_t{pc} + S2(p + 1)));
        }
        case 0xA7:  // goto
            falls = false;
            return Branch(c, static_cast<uint32_t>(int64_t{pc} + S2(p + 1)));
        case 0xC8:  // goto_w
            falls = false;
            return Branch(c, static_cast<uint32_t>(int64_t{pc} + S4(p + 1)));
        case 0xA8:  // jsr
        case 0xC9:  // jsr_w
            falls = false;
            return c.Push(0) &&
                   Branch(c, static_cast<uint32_t>(int64_t{pc} + (op == 0xA8 ? S2(p + 1) : S4(p + 1))));
        case 0xA9:  // ret: back to after any jsr
            falls = false;
            if (p[1] >= c.maxLocals)
                return false;
            return Return(c);
        case 0xAA:
        case 0xAB: {
            falls = false;
            if (!c.Drop(1))
                return false;
            const bytecode::Switch cases(c.bytes, pc);
            if (!Branch(c, static_cast<uint32_t>(int64_t{pc} + cases.DefaultOffset())))
                return false;
            for (uint32_t k = 0, count = cases.Count(); k < count; ++k) {
                if (!Branch(c, static_cast<uint32_t>(int64_t{pc} + cases.Offset(k))))
                    return false;
            }
            return true;
        }
        case 0xAC: case 0xAE: falls = false; return c.Drop(1);
        case 0xAD: case 0xAF: falls = false; return c.Drop(2);
        case 0xB0: {  // areturn
            falls = false;
            uint32_t value = 0;
            if (!c.Pop(value))
                return false;
            if (value != 0 && c.returnsReference)
                c.Use(value, c.scope.AddSink({SinkKind::Return, Use::Unknown, {}, false, 0, c.method}));
            return true;
        }
        case 0xB1: falls = false; return true;
        case 0xB2:  // getstatic
        case 0xB4:  // getfield
            return GetField(c, U2(p + 1), op == 0xB4);
        case 0xB3:  // putstatic
        case 0xB5:  // putfield
            return PutField(c, U2(p + 1), op == 0xB5);
        case 0xB6:
        case 0xB7:
        case 0xB9: c.pc = pc; return Invoke(c, U2(p + 1), true);
        case 0xB8: c.pc = pc; return Invoke(c, U2(p + 1), false);
        case 0xBA: return InvokeDynamic(c, U2(p + 1));
        case 0xBB: {  // new
            const uint16_t type = U2(p + 1);
            if (c.scope.Collects(type))
                return c.Push(c.SetOf(kObject, pc));
            return c.Push(OpensFile(c.file.ClassName(type)) ? c.SetOf(kStream, kDataStream) : 0u);
        }
        case 0xBD:  // anewarray
            return c.Drop(1) && c.Push(c.SetOf(kObject, pc));
        case 0xBF: falls = false; return c.Drop(1);  // athrow
        case 0xC4: {  // wide
            const uint8_t widened = p[1];
            const uint16_t index = U2(p + 2);
            switch (widened) {
                case 0x15: case 0x17: return Load(c, index, 1, false);
                case 0x16: case 0x18: return Load(c, index, 2, false);
                case 0x19: return Load(c, index, 1, true);
                case 0x36: case 0x38: return Store(c, block, index, 1, false);
                case 0x37: case 0x39: return Store(c, block, index, 2, false);
                case 0x3A: return Store(c, block, index, 1, true);
                case 0x84: return index < c.maxLocals;
                case 0xA9: falls = false; return index < c.maxLocals && Return(c);
                default: return false;
            }
        }
        case 0xC5:  // multianewarray
            return c.Drop(p[3]) && c.Push(c.SetOf(kObject, pc));
        default: break;
    }
    (void)next;
    return false;  // an opcode the JVM does not define
}

}  // namespace

bool RunBlock(FlowContext& c, uint32_t block)
{
    uint32_t pc = c.s.blockPc[block];
    for (;;) {
        ++c.visits;
        const uint8_t op = c.bytes[pc];
        uint32_t length = 0;
        bytecode::InstructionLength(c.bytes, c.length, pc, length);  // checked by FindBlocks
        const uint32_t next = pc + length;
        bool falls = true;
        if (kSimple.pops[op] != 0xFF) {
            if (!c.Drop(kSimple.pops[op]) || !c.PushZeros(kSimple.pushes[op]))
                return false;
        } else if (!Execute(c, block, pc, op, next, falls)) {
            return false;
        }
        if (!falls)
            return true;
        if (next >= c.length)
            return false;  // runs off the end of the code
        if ((c.s.mark[next] & kLeader) != 0)
            return Branch(c, next);
        pc = next;
    }
}

}  // namespace cl::usage
