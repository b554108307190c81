#include "usage/FlowBlocks.h"

#include "classfile/Bytecode.h"

#include <algorithm>

namespace cl::usage {

using classfile::Tag;
using classfile::bytecode::S2;
using classfile::bytecode::S4;
using classfile::bytecode::U2;
namespace bytecode = classfile::bytecode;

namespace {

// Bounds one handler table times the blocks it may cover: past it, the code is not a method
// javac writes, and finding the handlers of each block would cost more than the method is worth.
constexpr uint64_t kMaxHandlerCover = uint64_t{1} << 22;

// What FindBlocks looks at an opcode for: kMayOriginate, an instruction that may bring a
// string into the method; kControl, one that ends a block or branches.
constexpr uint8_t kMayOriginate = 1;
constexpr uint8_t kControl = 2;
struct DecodeClasses {
    uint8_t of[256];
    constexpr DecodeClasses() : of()
    {
        for (const int op : {0x12, 0x13, 0xB2, 0xB4, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA})
            of[op] |= kMayOriginate;
        for (int op = 0x99; op <= 0xB1; ++op)
            of[op] |= kControl;  // branches, jsr, ret, switches, returns
        for (const int op : {0xBF, 0xC4, 0xC6, 0xC7, 0xC8, 0xC9})
            of[op] |= kControl;
    }
};
constexpr DecodeClasses kDecode;

// The length of each opcode FindBlocks only steps over: fixed length, no branch, nothing that
// ends a block, and (in `before`, while nothing that may bring a string in has been seen)
// nothing that may bring a string in. 0 for the others.
struct PlainSteps {
    uint8_t before[256];
    uint8_t after[256];
    constexpr PlainSteps() : before(), after()
    {
        for (int op = 0; op < 256; ++op) {
            const bool control = (kDecode.of[op] & kControl) != 0;
            after[op] = control ? 0 : bytecode::kFixedLength.of[op];
            before[op] = (kDecode.of[op] & kMayOriginate) != 0 ? 0 : after[op];
        }
    }
};
constexpr PlainSteps kPlain;

// Notes a block start once, so that the blocks are known without a second look at
// every byte.
[[gnu::always_inline]] inline void MarkLeader(FlowContext& c, uint32_t pc)
{
    if ((c.s.mark[pc] & kLeader) == 0) {
        c.s.mark[pc] |= kLeader;
        c.s.leaders.push_back(pc);
    }
}

inline bool Leader(FlowContext& c, uint32_t pc)
{
    if (pc >= c.length)
        return false;
    MarkLeader(c, pc);
    return true;
}

// Whether the instruction may bring a string into the method: a string constant, a
// formatting or lambda, a string field, or a call of the program's own that returns one.
bool MayOriginate(FlowContext& c, uint32_t pc, uint8_t op)
{
    switch (op) {
        case 0x12:
        case 0x13: {
            const uint16_t index = op == 0x12 ? c.bytes[pc + 1] : U2(c.bytes + pc + 1);
            return c.file.At(index, Tag::String) != nullptr;
        }
        case 0xBA: return true;
        case 0xB2:
        case 0xB4: {
            const uint16_t ref = U2(c.bytes + pc + 1);
            return c.file.At(ref, Tag::Fieldref) != nullptr && c.scope.TypeMayBeString(ref);
        }
        case 0xB6:
        case 0xB7:
        case 0xB8:
        case 0xB9: {
            // A platform method is never the program's own: ruled out before its
            // descriptor and table lines are looked at.
            const uint16_t ref = U2(c.bytes + pc + 1);
            if (!c.scope.TypeMayBeString(ref) || c.scope.OwnerIsPlatform(ref))
                return false;
            const CallSite* site = c.scope.Call(ref);
            return site != nullptr && !site->libraryOwner && site->returnMayBeString && c.scope.Lines(*site).empty();
        }
        default: return false;
    }
}

}  // namespace

bool FindBlocks(FlowContext& c)
{
    Fill<uint8_t>(c.s.mark, c.length, 0);
    c.s.targets.clear();
    c.s.jsrReturns.clear();
    c.s.leaders.clear();
    MarkLeader(c, 0);
    uint32_t pc = 0;
    // Most instructions are only stepped over: one table lookup. One that runs past the
    // code's end is caught by the check after the loop.
    const uint8_t* plain = c.origins ? kPlain.after : kPlain.before;
    while (pc < c.length) {
        c.s.mark[pc] |= kStart;
        const uint8_t op = c.bytes[pc];
        if (const uint8_t step = plain[op]; step != 0) {
            pc += step;
            continue;
        }
        uint32_t length = 0;
        if (bytecode::InstructionLength(c.bytes, c.length, pc, length) != bytecode::Fault::None)
            return false;
        const uint32_t next = pc + length;
        const uint8_t what = kDecode.of[op];
        if (!c.origins && (what & kMayOriginate) != 0 && MayOriginate(c, pc, op)) {
            c.origins = true;
            plain = kPlain.after;
        }
        if ((what & kControl) == 0) {
            pc = next;
            continue;
        }
        auto branch = [&](int64_t target) {
            if (target < 0 || target >= c.length)
                return false;
            c.s.targets.push_back(static_cast<uint32_t>(target));
            return true;
        };
        if ((op >= 0x99 && op <= 0xA8) || op == 0xC6 || op == 0xC7) {
            if (!branch(int64_t{pc} + S2(c.bytes + pc + 1)))
                return false;
            if (op == 0xA8)
                c.s.jsrReturns.push_back(next);
            if (next < c.length)
                Leader(c, next);
        } else if (op == 0xC8 || op == 0xC9) {
            if (!branch(int64_t{pc} + S4(c.bytes + pc + 1)))
                return false;
            if (op == 0xC9)
                c.s.jsrReturns.push_back(next);
            if (next < c.length)
                Leader(c, next);
        } else if (op == bytecode::kTableSwitch || op == bytecode::kLookupSwitch) {
            const bytecode::Switch cases(c.bytes, pc);
            if (!branch(int64_t{pc} + cases.DefaultOffset()))
                return false;
            for (uint32_t k = 0, count = cases.Count(); k < count; ++k) {
                if (!branch(int64_t{pc} + cases.Offset(k)))
                    return false;
            }
            if (next < c.length)
                Leader(c, next);
        } else if ((op >= 0xAC && op <= 0xB1) || op == 0xBF || op == 0xA9 ||
                   (op == 0xC4 && c.bytes[pc + 1] == 0xA9)) {
            if (next < c.length)
                Leader(c, next);
        }
        pc = next;
    }
    if (pc != c.length)
        return false;
    for (const uint32_t target : c.s.targets) {
        if ((c.s.mark[target] & kStart) == 0)
            return false;
        MarkLeader(c, target);
    }
    for (const uint32_t target : c.s.jsrReturns) {
        if (target >= c.length)
            return false;
        MarkLeader(c, target);
    }
    for (const classfile::ExceptionHandler& h : c.code.handlers) {
        if (h.startPc >= h.endPc || h.endPc > c.length || h.handlerPc >= c.length ||
            (c.s.mark[h.startPc] & kStart) == 0 || (c.s.mark[h.handlerPc] & kStart) == 0 ||
            (h.endPc < c.length && (c.s.mark[h.endPc] & kStart) == 0))
            return false;
        MarkLeader(c, h.startPc);
        MarkLeader(c, h.handlerPc);
        if (h.endPc < c.length)
            MarkLeader(c, h.endPc);
    }
    return uint64_t{c.Blocks()} * c.code.handlers.size() <= kMaxHandlerCover;
}

void MakeBlocks(FlowContext& c)
{
    // Only the entries of block starts are ever read (every branch target, handler and
    // fall-through into a block is one): the others are left as they are.
    if (c.s.blockAt.size() < c.length)
        c.s.blockAt.resize(c.length);
    c.s.blockPc.assign(c.s.leaders.begin(), c.s.leaders.end());
    std::sort(c.s.blockPc.begin(), c.s.blockPc.end());
    for (uint32_t b = 0; b < c.s.blockPc.size(); ++b)
        c.s.blockAt[c.s.blockPc[b]] = b;
    // Which handlers cover each block: block edges include every range's ends, so a
    // handler covers a block whole or not at all.
    const size_t blocks = c.s.blockPc.size();
    Fill<uint32_t>(c.s.handlerFirst, blocks + 1, 0);
    c.s.handlerBlocks.clear();
    for (size_t b = 0; b < blocks; ++b) {
        c.s.handlerFirst[b] = static_cast<uint32_t>(c.s.handlerBlocks.size());
        const uint32_t at = c.s.blockPc[b];
        for (const classfile::ExceptionHandler& h : c.code.handlers) {
            if (at >= h.startPc && at < h.endPc)
                c.s.handlerBlocks.push_back(c.s.blockAt[h.handlerPc]);
        }
    }
    c.s.handlerFirst[blocks] = static_cast<uint32_t>(c.s.handlerBlocks.size());
}

}  // namespace cl::usage
