#include "usage/MethodFlow.h"

#include "classfile/ModifiedUtf8.h"
#include "usage/ClassScope.h"
#include "usage/Descriptor.h"
#include "usage/FlatMap.h"
#include "usage/ValueSets.h"

#include <algorithm>
#include <functional>
#include <string>
#include <unordered_map>

namespace cl::usage {

using classfile::Constant;
using classfile::Tag;

namespace {

enum SourceKind : uint8_t {
    kLiteral = static_cast<uint8_t>(OriginKind::Literal),
    kParameter = static_cast<uint8_t>(OriginKind::Parameter),
    kFieldRead = static_cast<uint8_t>(OriginKind::FieldRead),
    kCallResult = static_cast<uint8_t>(OriginKind::CallResult),
    kObject,  // a builder, list or array made in this method, by the pc of its `new`
};

struct Source {
    SourceKind kind;
    uint32_t value;
};

constexpr uint8_t kStart = 1;   // an instruction starts at this pc
constexpr uint8_t kLeader = 2;  // ... and a block starts there

constexpr uint32_t kPrintf = static_cast<uint32_t>(FormatStyle::Printf);
constexpr uint32_t kMessageFormat = static_cast<uint32_t>(FormatStyle::MessageFormat);

// The bound on the work of one method: how many instructions the fixed point may interpret per
// byte of code, and how many set elements it may store. Real methods need a few passes; a
// method past the bound is left unfollowed rather than slowing the whole program down.
constexpr uint64_t kVisitsPerByte = 24;
constexpr uint64_t kVisitsBase = 4096;
constexpr size_t kMaxStoredElements = size_t{1} << 21;
constexpr uint64_t kMaxHandlerCover = uint64_t{1} << 22;

int16_t S2(const uint8_t* p)
{
    return static_cast<int16_t>((p[0] << 8) | p[1]);
}
int32_t S4(const uint8_t* p)
{
    return static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]);
}
uint16_t U2(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

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

// The length of each opcode of fixed length; 0 for wide, the switches and undefined opcodes.
constexpr uint8_t kFixedLength[256] = {
    // 0x00..0x0F
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    // 0x10..0x1F: bipush 2, sipush 3, ldc 2, ldc_w 3, ldc2_w 3, loads 2
    2, 3, 2, 3, 3, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    // 0x30..0x3F: stores 2 at 0x36..0x3A
    1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    // 0x80..0x8F: iinc 3
    1, 1, 1, 1, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    // 0x90..0x9F: if<cond> 3 from 0x99
    1, 1, 1, 1, 1, 1, 1, 1, 1, 3, 3, 3, 3, 3, 3, 3,
    // 0xA0..0xAF: if_icmp, if_acmp, goto, jsr 3, ret 2, switches variable
    3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 0, 0, 1, 1, 1, 1,
    // 0xB0..0xBF: returns, field access 3, invokes 3, interface/dynamic 5, new 3,
    // newarray 2, anewarray 3, arraylength, athrow
    1, 1, 3, 3, 3, 3, 3, 3, 3, 5, 5, 3, 2, 3, 1, 1,
    // 0xC0..0xCF: checkcast 3, instanceof 3, monitors, wide variable, multianewarray 4,
    // ifnull 3, ifnonnull 3, goto_w 5, jsr_w 5
    3, 3, 1, 1, 0, 4, 3, 3, 5, 5, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

// What Decode looks at an opcode for: kMayOriginate, an instruction that may bring a string
// into the method; kControl, one that ends a block or branches.
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

// The length of each opcode Decode only steps over: fixed length, no branch, nothing that
// ends a block, and (in kPlainBeforeOrigin) nothing that may bring a string in. 0 for the
// others.
struct PlainSteps {
    uint8_t before[256];
    uint8_t after[256];
    constexpr PlainSteps() : before(), after()
    {
        for (int op = 0; op < 256; ++op) {
            const bool control = (kDecode.of[op] & kControl) != 0;
            after[op] = control ? 0 : kFixedLength[op];
            before[op] = (kDecode.of[op] & kMayOriginate) != 0 ? 0 : after[op];
        }
    }
};
constexpr PlainSteps kPlain;

// Sets the first `count` entries of `v` to `value`, growing it when it is smaller: the
// per-method tables are set up for thousands of small methods, most of them far smaller than
// what the storage already holds.
template <typename T>
void Fill(std::vector<T>& v, size_t count, T value)
{
    if (v.size() < count)
        v.resize(count);
    std::fill_n(v.data(), count, value);
}

}  // namespace

struct FlowScratch {
    ValueSets sets;
    std::vector<uint8_t> mark;
    std::vector<uint32_t> blockAt;  // per pc: the block starting there
    std::vector<uint32_t> blockPc;
    std::vector<uint32_t> leaders;  // block starts in the order Decode found them
    std::vector<uint32_t> handlerFirst;  // per block: into handlerBlocks
    std::vector<uint32_t> handlerBlocks;
    std::vector<uint32_t> targets;
    std::vector<uint32_t> jsrReturns;
    std::vector<uint32_t> state;  // per block: locals, then stack
    std::vector<uint16_t> height;
    std::vector<uint8_t> visited;
    std::vector<uint8_t> queued;
    std::vector<uint32_t> work;
    std::vector<uint32_t> locals;
    std::vector<uint32_t> stack;
    MethodShape shape;
    std::vector<Source> sources;
    FlatMap sourceAt;
    // What the objects made here collect: (source, element) in the order put, each once.
    // Kept as a list rather than a set per object: an array of hundreds of strings would
    // otherwise make a new set at each element put in.
    std::vector<std::pair<uint32_t, uint32_t>> collected;
    FlatMap collectedOnce;
    std::vector<uint32_t> collectedFirst;  // per source, into collected once sorted by source
    std::vector<uint32_t> elementsOf;      // one object's collection while Emit expands it
    std::vector<std::pair<uint32_t, uint32_t>> uses;  // (set, sink)
    std::vector<uint32_t> seen;      // per source and flag: the use that last expanded it
    std::vector<std::pair<uint32_t, uint32_t>> expand;
    std::vector<uint16_t> switchLiterals;
    std::vector<int32_t> keys;
    std::u16string units;
};

void FlowScratchDeleter::operator()(FlowScratch* scratch) const noexcept
{
    delete scratch;
}

std::unique_ptr<FlowScratch, FlowScratchDeleter> MakeFlowScratch()
{
    return std::unique_ptr<FlowScratch, FlowScratchDeleter>(new FlowScratch);
}

namespace {

class Follower {
public:
    Follower(ClassScope& scope, const classfile::CodeInfo& code, uint16_t method, FlowScratch& s)
        : scope_(scope),
          cf_(scope.File()),
          code_(code),
          method_(method),
          s_(s),
          bytes_(cf_.bytes.data() + code.codeOffset),
          length_(code.codeLength),
          maxLocals_(code.maxLocals),
          maxStack_(code.maxStack)
    {
    }

    bool Run()
    {
        if (size_t{code_.codeOffset} + length_ > cf_.bytes.size() || length_ == 0)
            return false;
        // Most methods hold nothing that can carry a string: they are checked as the JVM
        // would (so that one it would reject is reported unfollowed all the same) without
        // setting up their blocks and frames.
        if (!Decode() || !CheckEntry())
            return false;
        if (!origins_)
            return true;  // nothing in it can carry a string: nothing to follow
        s_.sets.Clear();
        s_.sources.clear();
        s_.sourceAt.Clear();
        s_.collected.clear();
        s_.collectedOnce.Clear();
        s_.uses.clear();
        MakeBlocks();
        Enter();
        if (!Iterate())
            return false;
        Emit();
        return true;
    }

private:
    // ---- Blocks

    bool Leader(uint32_t pc)
    {
        if (pc >= length_)
            return false;
        MarkLeader(pc);
        return true;
    }

    // Notes a block start once, so that the blocks are known without a second look at
    // every byte.
    void MarkLeader(uint32_t pc)
    {
        if ((s_.mark[pc] & kLeader) == 0) {
            s_.mark[pc] |= kLeader;
            s_.leaders.push_back(pc);
        }
    }

    bool Decode()
    {
        Fill<uint8_t>(s_.mark, length_, 0);
        s_.targets.clear();
        s_.jsrReturns.clear();
        s_.leaders.clear();
        MarkLeader(0);
        uint32_t pc = 0;
        // Most instructions are only stepped over: one table lookup. One that runs past the
        // code's end is caught by the check after the loop.
        const uint8_t* plain = origins_ ? kPlain.after : kPlain.before;
        while (pc < length_) {
            s_.mark[pc] |= kStart;
            const uint8_t op = bytes_[pc];
            if (const uint8_t step = plain[op]; step != 0) {
                pc += step;
                continue;
            }
            uint32_t length = 0;
            if (!InstructionLength(pc, length))
                return false;
            const uint32_t next = pc + length;
            const uint8_t what = kDecode.of[op];
            if (!origins_ && (what & kMayOriginate) != 0 && MayOriginate(pc, op)) {
                origins_ = true;
                plain = kPlain.after;
            }
            if ((what & kControl) == 0) {
                pc = next;
                continue;
            }
            auto branch = [&](int64_t target) {
                if (target < 0 || target >= length_)
                    return false;
                s_.targets.push_back(static_cast<uint32_t>(target));
                return true;
            };
            if ((op >= 0x99 && op <= 0xA8) || op == 0xC6 || op == 0xC7) {
                if (!branch(int64_t{pc} + S2(bytes_ + pc + 1)))
                    return false;
                if (op == 0xA8)
                    s_.jsrReturns.push_back(next);
                if (next < length_)
                    Leader(next);
            } else if (op == 0xC8 || op == 0xC9) {
                if (!branch(int64_t{pc} + S4(bytes_ + pc + 1)))
                    return false;
                if (op == 0xC9)
                    s_.jsrReturns.push_back(next);
                if (next < length_)
                    Leader(next);
            } else if (op == 0xAA || op == 0xAB) {
                const uint32_t operands = (pc + 4) & ~3u;
                const uint8_t* p = bytes_ + operands;
                if (!branch(int64_t{pc} + S4(p)))
                    return false;
                if (op == 0xAA) {
                    const int64_t count = int64_t{S4(p + 8)} - S4(p + 4) + 1;
                    for (int64_t k = 0; k < count; ++k) {
                        if (!branch(int64_t{pc} + S4(p + 12 + k * 4)))
                            return false;
                    }
                } else {
                    const int32_t pairs = S4(p + 4);
                    for (int32_t k = 0; k < pairs; ++k) {
                        if (!branch(int64_t{pc} + S4(p + 8 + size_t(k) * 8 + 4)))
                            return false;
                    }
                }
                if (next < length_)
                    Leader(next);
            } else if ((op >= 0xAC && op <= 0xB1) || op == 0xBF || op == 0xA9 ||
                       (op == 0xC4 && bytes_[pc + 1] == 0xA9)) {
                if (next < length_)
                    Leader(next);
            }
            pc = next;
        }
        if (pc != length_)
            return false;
        for (const uint32_t target : s_.targets) {
            if ((s_.mark[target] & kStart) == 0)
                return false;
            MarkLeader(target);
        }
        for (const uint32_t target : s_.jsrReturns) {
            if (target >= length_)
                return false;
            MarkLeader(target);
        }
        for (const classfile::ExceptionHandler& h : code_.handlers) {
            if (h.startPc >= h.endPc || h.endPc > length_ || h.handlerPc >= length_ ||
                (s_.mark[h.startPc] & kStart) == 0 || (s_.mark[h.handlerPc] & kStart) == 0 ||
                (h.endPc < length_ && (s_.mark[h.endPc] & kStart) == 0))
                return false;
            MarkLeader(h.startPc);
            MarkLeader(h.handlerPc);
            if (h.endPc < length_)
                MarkLeader(h.endPc);
        }
        return uint64_t{Blocks()} * code_.handlers.size() <= kMaxHandlerCover;
    }

    // How many blocks Decode marked.
    uint32_t Blocks() const noexcept { return static_cast<uint32_t>(s_.leaders.size()); }

    // The blocks of the code Decode marked, and the handlers that cover each.
    void MakeBlocks()
    {
        // Only the entries of block starts are ever read (every branch target, handler and
        // fall-through into a block is one): the others are left as they are.
        if (s_.blockAt.size() < length_)
            s_.blockAt.resize(length_);
        s_.blockPc.assign(s_.leaders.begin(), s_.leaders.end());
        std::sort(s_.blockPc.begin(), s_.blockPc.end());
        for (uint32_t b = 0; b < s_.blockPc.size(); ++b)
            s_.blockAt[s_.blockPc[b]] = b;
        // Which handlers cover each block: block edges include every range's ends, so a
        // handler covers a block whole or not at all.
        const size_t blocks = s_.blockPc.size();
        Fill<uint32_t>(s_.handlerFirst, blocks + 1, 0);
        s_.handlerBlocks.clear();
        for (size_t b = 0; b < blocks; ++b) {
            s_.handlerFirst[b] = static_cast<uint32_t>(s_.handlerBlocks.size());
            const uint32_t at = s_.blockPc[b];
            for (const classfile::ExceptionHandler& h : code_.handlers) {
                if (at >= h.startPc && at < h.endPc)
                    s_.handlerBlocks.push_back(s_.blockAt[h.handlerPc]);
            }
        }
        s_.handlerFirst[blocks] = static_cast<uint32_t>(s_.handlerBlocks.size());
    }

    // Whether the instruction may bring a string into the method: a string constant, a
    // formatting or lambda, a string field, or a call of the program's own that returns one.
    bool MayOriginate(uint32_t pc, uint8_t op)
    {
        switch (op) {
            case 0x12:
            case 0x13: {
                const uint16_t index = op == 0x12 ? bytes_[pc + 1] : U2(bytes_ + pc + 1);
                return cf_.At(index, Tag::String) != nullptr;
            }
            case 0xBA: return true;
            case 0xB2:
            case 0xB4: {
                const uint16_t ref = U2(bytes_ + pc + 1);
                return cf_.At(ref, Tag::Fieldref) != nullptr && scope_.TypeMayBeString(ref);
            }
            case 0xB6:
            case 0xB7:
            case 0xB8:
            case 0xB9: {
                // A platform method is never the program's own: ruled out before its
                // descriptor and table lines are looked at.
                const uint16_t ref = U2(bytes_ + pc + 1);
                if (!scope_.TypeMayBeString(ref) || scope_.OwnerIsPlatform(ref))
                    return false;
                const CallSite* site = scope_.Call(ref);
                return site != nullptr && !site->libraryOwner && site->returnMayBeString && scope_.Lines(*site).empty();
            }
            default: return false;
        }
    }

    bool InstructionLength(uint32_t pc, uint32_t& length) const
    {
        length = kFixedLength[bytes_[pc]];
        if (length != 0)
            return uint64_t{pc} + length <= length_;
        return VariableLength(pc, length);
    }

    // wide, the switches, and opcodes the JVM does not define.
    bool VariableLength(uint32_t pc, uint32_t& length) const
    {
        const uint8_t op = bytes_[pc];
        if (op == 0xC4) {
            if (pc + 1 >= length_)
                return false;
            const uint8_t widened = bytes_[pc + 1];
            if (widened == 0x84)
                length = 6;
            else if ((widened >= 0x15 && widened <= 0x19) || (widened >= 0x36 && widened <= 0x3A) || widened == 0xA9)
                length = 4;
            else
                return false;
        } else if (op == 0xAA || op == 0xAB) {
            const uint32_t operands = (pc + 4) & ~3u;
            const uint32_t fixed = op == 0xAA ? 12 : 8;
            if (uint64_t{operands} + fixed > length_)
                return false;
            const uint8_t* p = bytes_ + operands;
            uint64_t entries = 0;
            if (op == 0xAA) {
                const int32_t low = S4(p + 4);
                const int32_t high = S4(p + 8);
                if (high < low)
                    return false;
                entries = (uint64_t(int64_t{high} - low) + 1) * 4;
            } else {
                const int32_t pairs = S4(p + 4);
                if (pairs < 0)
                    return false;
                entries = uint64_t(pairs) * 8;
            }
            if (operands + fixed + entries > length_)
                return false;
            length = static_cast<uint32_t>(operands + fixed + entries - pc);
        } else {
            return false;
        }
        return uint64_t{pc} + length <= length_;
    }

    // ---- Origins and uses

    uint32_t SourceOf(SourceKind kind, uint32_t value)
    {
        const uint64_t key = (uint64_t{kind} << 32) | value;
        bool inserted = false;
        const uint32_t source =
            s_.sourceAt.FindOrInsert(key, static_cast<uint32_t>(s_.sources.size()), inserted);
        if (inserted) {
            s_.sources.push_back({kind, value});
        }
        return source;
    }

    uint32_t SetOf(SourceKind kind, uint32_t value) { return s_.sets.Single(SourceOf(kind, value) << 2); }

    void Use(uint32_t set, uint32_t sink)
    {
        if (set != 0)
            s_.uses.emplace_back(set, sink);
    }

    uint32_t UnknownSink(uint32_t consumer) { return scope_.AddSink({SinkKind::Unknown, Use::Unknown, {}, false, 0, consumer}); }
    uint32_t UnknownSink(std::string_view consumer) { return UnknownSink(scope_.Consumer(consumer)); }

    // ---- Entry state

    // What the JVM checks of the frame on entry; notes the parameters that may hold a string.
    bool CheckEntry()
    {
        const size_t width = size_t{maxLocals_} + maxStack_;
        if (size_t{Blocks()} * width > (size_t{1} << 24))
            return false;  // a frame table past 64 MiB: not a method javac writes
        const classfile::Member& method = cf_.methods[method_];
        shape_ = scope_.ShapeOf(method.descriptorIndex);
        if (!shape_.valid)
            return false;
        const uint32_t slot = (method.accessFlags & 0x0008) != 0 ? 0 : 1;
        if (slot + shape_.parameterWords > maxLocals_)
            return false;
        const uint8_t* parameters = scope_.Parameters(shape_.firstParameter);
        for (uint32_t p = 0; p < shape_.parameterCount && !origins_; ++p)
            origins_ = (parameters[p] & kParameterMayBeString) != 0;
        returnsReference_ = shape_.returnsReference;
        return true;
    }

    // The state on entry: the parameters that may hold a string hold themselves.
    void Enter()
    {
        const size_t blocks = s_.blockPc.size();
        const size_t width = size_t{maxLocals_} + maxStack_;
        // A block's in-state is written whole when the block is first reached and read only
        // after: only whether each block was reached needs clearing.
        if (s_.state.size() < blocks * width)
            s_.state.resize(blocks * width);
        if (s_.height.size() < blocks)
            s_.height.resize(blocks);
        Fill<uint8_t>(s_.visited, blocks, 0);
        Fill<uint8_t>(s_.queued, blocks, 0);
        s_.work.clear();
        Fill<uint32_t>(s_.locals, maxLocals_, 0u);
        if (s_.stack.size() < size_t{maxStack_} + 1)
            s_.stack.resize(size_t{maxStack_} + 1);  // read below the height only

        const classfile::Member& method = cf_.methods[method_];
        const uint8_t* parameters = scope_.Parameters(shape_.firstParameter);
        uint32_t slot = (method.accessFlags & 0x0008) != 0 ? 0 : 1;
        for (uint32_t p = 0; p < shape_.parameterCount; ++p) {
            if ((parameters[p] & kParameterMayBeString) != 0)
                s_.locals[slot] = SetOf(kParameter, p + 1);
            slot += parameters[p] & kParameterWords;
        }
        Merge(0, s_.locals.data(), nullptr, 0);
    }

    // Merges a state into the in-state of `block`; queues the block when it changed.
    void Merge(uint32_t block, const uint32_t* locals, const uint32_t* stack, uint16_t height)
    {
        const size_t width = size_t{maxLocals_} + maxStack_;
        uint32_t* in = s_.state.data() + block * width;
        bool changed = false;
        if (!s_.visited[block]) {
            s_.visited[block] = 1;
            std::copy(locals, locals + maxLocals_, in);
            std::copy(stack, stack + height, in + maxLocals_);
            s_.height[block] = height;
            changed = true;
        } else {
            if (s_.height[block] != height) {
                broken_ = true;
                return;
            }
            for (size_t i = 0; i < maxLocals_; ++i) {
                if (locals[i] != in[i] && locals[i] != 0) {
                    const uint32_t merged = s_.sets.Union(in[i], locals[i]);
                    if (merged != in[i]) {
                        in[i] = merged;
                        changed = true;
                    }
                }
            }
            for (size_t i = 0; i < height; ++i) {
                uint32_t& slot = in[maxLocals_ + i];
                if (stack[i] != slot && stack[i] != 0) {
                    const uint32_t merged = s_.sets.Union(slot, stack[i]);
                    if (merged != slot) {
                        slot = merged;
                        changed = true;
                    }
                }
            }
        }
        if (changed && !s_.queued[block]) {
            s_.queued[block] = 1;
            s_.work.push_back(block);
            std::push_heap(s_.work.begin(), s_.work.end(), std::greater<uint32_t>());
        }
    }

    void MergeHandlers(uint32_t block)
    {
        const uint32_t zero = 0;
        for (uint32_t k = s_.handlerFirst[block]; k < s_.handlerFirst[block + 1]; ++k)
            Merge(s_.handlerBlocks[k], s_.locals.data(), &zero, 1);
    }

    // ---- The fixed point

    bool Iterate()
    {
        const uint64_t budget = kVisitsBase + kVisitsPerByte * uint64_t{length_};
        const size_t width = size_t{maxLocals_} + maxStack_;
        while (!s_.work.empty() && !broken_) {
            // Lowest block first: code mostly runs forwards, so merges arrive before the
            // block is taken and each block is interpreted about once per loop level.
            std::pop_heap(s_.work.begin(), s_.work.end(), std::greater<uint32_t>());
            const uint32_t block = s_.work.back();
            s_.work.pop_back();
            s_.queued[block] = 0;
            const uint32_t* in = s_.state.data() + block * width;
            std::copy(in, in + maxLocals_, s_.locals.begin());
            height_ = s_.height[block];
            std::copy(in + maxLocals_, in + maxLocals_ + height_, s_.stack.begin());
            MergeHandlers(block);
            if (!RunBlock(block))
                return false;
            if (visits_ > budget || s_.sets.StoredElements() + s_.collected.size() > kMaxStoredElements)
                return false;
        }
        return !broken_;
    }

    bool Pop(uint32_t& value)
    {
        if (height_ == 0)
            return false;
        value = s_.stack[--height_];
        return true;
    }
    bool Push(uint32_t value)
    {
        if (height_ >= maxStack_)
            return false;
        s_.stack[height_++] = value;
        return true;
    }
    bool Drop(unsigned words)
    {
        if (height_ < words)
            return false;
        height_ -= static_cast<uint16_t>(words);
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

    bool Load(uint32_t index, unsigned words, bool reference)
    {
        if (index + words > maxLocals_)
            return false;
        if (reference)
            return Push(s_.locals[index]);
        return PushZeros(words);
    }

    bool Store(uint32_t block, uint32_t index, unsigned words, bool reference)
    {
        if (index + words > maxLocals_ || height_ < words)
            return false;
        height_ -= static_cast<uint16_t>(words);
        const uint32_t value = reference ? s_.stack[height_] : 0u;
        for (unsigned i = 0; i < words; ++i)
            s_.locals[index + i] = 0;
        s_.locals[index] = value;
        if (value != 0)
            MergeHandlers(block);
        return true;
    }

    bool Branch(uint32_t target)
    {
        Merge(s_.blockAt[target], s_.locals.data(), s_.stack.data(), height_);
        return !broken_;
    }

    bool RunBlock(uint32_t block)
    {
        uint32_t pc = s_.blockPc[block];
        for (;;) {
            ++visits_;
            const uint8_t op = bytes_[pc];
            uint32_t length = 0;
            InstructionLength(pc, length);  // checked by Decode
            const uint32_t next = pc + length;
            bool falls = true;
            if (kSimple.pops[op] != 0xFF) {
                if (!Drop(kSimple.pops[op]) || !PushZeros(kSimple.pushes[op]))
                    return false;
            } else if (!Execute(block, pc, op, next, falls)) {
                return false;
            }
            if (!falls)
                return true;
            if (next >= length_)
                return false;  // runs off the end of the code
            if ((s_.mark[next] & kLeader) != 0)
                return Branch(next);
            pc = next;
        }
    }

    bool Execute(uint32_t block, uint32_t pc, uint8_t op, uint32_t next, bool& falls)
    {
        const uint8_t* p = bytes_ + pc;
        switch (op) {
            case 0x12:  // ldc
            case 0x13:  // ldc_w
            {
                const uint16_t index = op == 0x12 ? p[1] : U2(p + 1);
                const Constant* c = cf_.At(index);
                return Push(c != nullptr && c->tag == Tag::String ? SetOf(kLiteral, index) : 0u);
            }
            case 0x15: return Load(p[1], 1, false);
            case 0x16: return Load(p[1], 2, false);
            case 0x17: return Load(p[1], 1, false);
            case 0x18: return Load(p[1], 2, false);
            case 0x19: return Load(p[1], 1, true);
            case 0x1A: case 0x1B: case 0x1C: case 0x1D: return Load(op - 0x1A, 1, false);
            case 0x1E: case 0x1F: case 0x20: case 0x21: return Load(op - 0x1E, 2, false);
            case 0x22: case 0x23: case 0x24: case 0x25: return Load(op - 0x22, 1, false);
            case 0x26: case 0x27: case 0x28: case 0x29: return Load(op - 0x26, 2, false);
            case 0x2A: case 0x2B: case 0x2C: case 0x2D: return Load(op - 0x2A, 1, true);
            case 0x32: {  // aaload: an element stands for the array it came from
                uint32_t index = 0;
                uint32_t array = 0;
                return Pop(index) && Pop(array) && Push(array);
            }
            case 0x36: return Store(block, p[1], 1, false);
            case 0x37: return Store(block, p[1], 2, false);
            case 0x38: return Store(block, p[1], 1, false);
            case 0x39: return Store(block, p[1], 2, false);
            case 0x3A: return Store(block, p[1], 1, true);
            case 0x3B: case 0x3C: case 0x3D: case 0x3E: return Store(block, op - 0x3B, 1, false);
            case 0x3F: case 0x40: case 0x41: case 0x42: return Store(block, op - 0x3F, 2, false);
            case 0x43: case 0x44: case 0x45: case 0x46: return Store(block, op - 0x43, 1, false);
            case 0x47: case 0x48: case 0x49: case 0x4A: return Store(block, op - 0x47, 2, false);
            case 0x4B: case 0x4C: case 0x4D: case 0x4E: return Store(block, op - 0x4B, 1, true);
            case 0x53: {  // aastore
                uint32_t value = 0;
                uint32_t index = 0;
                uint32_t array = 0;
                if (!Pop(value) || !Pop(index) || !Pop(array))
                    return false;
                if (value != 0)
                    PutInto(array, value, kNoConsumer);
                return true;
            }
            case 0x59:  // dup
                return height_ >= 1 && Push(s_.stack[height_ - 1]);
            case 0x5A: {  // dup_x1
                if (height_ < 2 || !Push(0))
                    return false;
                uint32_t* t = s_.stack.data() + height_ - 3;
                t[2] = t[1];
                t[1] = t[0];
                t[0] = t[2];
                return true;
            }
            case 0x5B: {  // dup_x2
                if (height_ < 3 || !Push(0))
                    return false;
                uint32_t* t = s_.stack.data() + height_ - 4;
                t[3] = t[2];
                t[2] = t[1];
                t[1] = t[0];
                t[0] = t[3];
                return true;
            }
            case 0x5C: {  // dup2
                if (height_ < 2)
                    return false;
                const uint32_t a = s_.stack[height_ - 2];
                const uint32_t b = s_.stack[height_ - 1];
                return Push(a) && Push(b);
            }
            case 0x5D: {  // dup2_x1
                if (height_ < 3 || !PushZeros(2))
                    return false;
                uint32_t* t = s_.stack.data() + height_ - 5;
                const uint32_t c = t[0], b = t[1], a = t[2];
                t[0] = b;
                t[1] = a;
                t[2] = c;
                t[3] = b;
                t[4] = a;
                return true;
            }
            case 0x5E: {  // dup2_x2
                if (height_ < 4 || !PushZeros(2))
                    return false;
                uint32_t* t = s_.stack.data() + height_ - 6;
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
                if (height_ < 2)
                    return false;
                std::swap(s_.stack[height_ - 1], s_.stack[height_ - 2]);
                return true;
            case 0x99: case 0x9A: case 0x9B: case 0x9C: case 0x9D: case 0x9E:
            case 0xC6: case 0xC7:
                return Drop(1) && Branch(static_cast<uint32_t>(int64_t{pc} + S2(p + 1)));
            case 0x9F: case 0xA0: case 0xA1: case 0xA2: case 0xA3: case 0xA4:
                return Drop(2) && Branch(static_cast<uint32_t>(int64_t{pc} + S2(p + 1)));
            case 0xA5:
            case 0xA6: {  // if_acmpeq, if_acmpne: compared by identity
                uint32_t a = 0;
                uint32_t b = 0;
                if (!Pop(b) || !Pop(a))
                    return false;
                if (a != 0 || b != 0) {
                    const uint32_t sink = scope_.AddSink(
                        {SinkKind::Consumer, Use::Key, FormatStyle::None, true, 0, scope_.Consumer("==")});
                    Use(a, sink);
                    Use(b, sink);
                }
                return Branch(static_cast<uint32_t>(int64_t{pc} + S2(p + 1)));
            }
            case 0xA7:  // goto
                falls = false;
                return Branch(static_cast<uint32_t>(int64_t{pc} + S2(p + 1)));
            case 0xC8:  // goto_w
                falls = false;
                return Branch(static_cast<uint32_t>(int64_t{pc} + S4(p + 1)));
            case 0xA8:  // jsr
            case 0xC9:  // jsr_w
                falls = false;
                return Push(0) &&
                       Branch(static_cast<uint32_t>(int64_t{pc} + (op == 0xA8 ? S2(p + 1) : S4(p + 1))));
            case 0xA9:  // ret: back to after any jsr
                falls = false;
                if (p[1] >= maxLocals_)
                    return false;
                return Return();
            case 0xAA:
            case 0xAB: {
                falls = false;
                if (!Drop(1))
                    return false;
                const uint32_t operands = (pc + 4) & ~3u;
                const uint8_t* q = bytes_ + operands;
                if (!Branch(static_cast<uint32_t>(int64_t{pc} + S4(q))))
                    return false;
                if (op == 0xAA) {
                    const int64_t count = int64_t{S4(q + 8)} - S4(q + 4) + 1;
                    for (int64_t k = 0; k < count; ++k) {
                        if (!Branch(static_cast<uint32_t>(int64_t{pc} + S4(q + 12 + k * 4))))
                            return false;
                    }
                } else {
                    const int32_t pairs = S4(q + 4);
                    for (int32_t k = 0; k < pairs; ++k) {
                        if (!Branch(static_cast<uint32_t>(int64_t{pc} + S4(q + 8 + size_t(k) * 8 + 4))))
                            return false;
                    }
                }
                return true;
            }
            case 0xAC: case 0xAE: falls = false; return Drop(1);
            case 0xAD: case 0xAF: falls = false; return Drop(2);
            case 0xB0: {  // areturn
                falls = false;
                uint32_t value = 0;
                if (!Pop(value))
                    return false;
                if (value != 0 && returnsReference_)
                    Use(value, scope_.AddSink({SinkKind::Return, Use::Unknown, {}, false, 0, method_}));
                return true;
            }
            case 0xB1: falls = false; return true;
            case 0xB2:  // getstatic
            case 0xB4:  // getfield
                return GetField(U2(p + 1), op == 0xB4);
            case 0xB3:  // putstatic
            case 0xB5:  // putfield
                return PutField(U2(p + 1), op == 0xB5);
            case 0xB6:
            case 0xB7:
            case 0xB9: return Invoke(U2(p + 1), true);
            case 0xB8: return Invoke(U2(p + 1), false);
            case 0xBA: return InvokeDynamic(U2(p + 1));
            case 0xBB: {  // new
                const uint16_t type = U2(p + 1);
                return Push(scope_.Collects(type) ? SetOf(kObject, pc) : 0u);
            }
            case 0xBD:  // anewarray
                return Drop(1) && Push(SetOf(kObject, pc));
            case 0xBF: falls = false; return Drop(1);  // athrow
            case 0xC4: {  // wide
                const uint8_t widened = p[1];
                const uint16_t index = U2(p + 2);
                switch (widened) {
                    case 0x15: case 0x17: return Load(index, 1, false);
                    case 0x16: case 0x18: return Load(index, 2, false);
                    case 0x19: return Load(index, 1, true);
                    case 0x36: case 0x38: return Store(block, index, 1, false);
                    case 0x37: case 0x39: return Store(block, index, 2, false);
                    case 0x3A: return Store(block, index, 1, true);
                    case 0x84: return index < maxLocals_;
                    case 0xA9: falls = false; return index < maxLocals_ && Return();
                    default: return false;
                }
            }
            case 0xC5:  // multianewarray
                return Drop(p[3]) && Push(SetOf(kObject, pc));
            default: break;
        }
        (void)next;
        return false;  // an opcode the JVM does not define
    }

    // `ret`: the subroutine goes back to after one of the jsr instructions.
    bool Return()
    {
        for (const uint32_t target : s_.jsrReturns) {
            if (!Branch(target))
                return false;
        }
        return true;
    }

    // ---- Fields

    bool GetField(uint16_t ref, bool instance)
    {
        const FieldSite* field = scope_.Field(ref);
        if (field == nullptr || !field->valid)
            return false;
        if (instance && !Drop(1))
            return false;
        if (field->mayBeString)
            return Push(SetOf(kFieldRead, scope_.Member(ref)));
        return PushZeros(field->words);
    }

    bool PutField(uint16_t ref, bool instance)
    {
        const FieldSite* field = scope_.Field(ref);
        if (field == nullptr || !field->valid || height_ < field->words + (instance ? 1u : 0u))
            return false;
        const uint32_t value = s_.stack[height_ - field->words];
        height_ -= static_cast<uint16_t>(field->words + (instance ? 1 : 0));
        if (value != 0)
            Use(value, scope_.AddSink({SinkKind::FieldStore, Use::Unknown, {}, false, 0, scope_.Member(ref)}));
        return true;
    }

    // ---- Objects that collect values

    // `value` goes into the objects of `target`. An object made here collects it; an array
    // read from a field puts it into that field; anything else cannot be followed.
    // `consumer` names the call (kNoConsumer: an array element).
    static constexpr uint32_t kNoConsumer = UINT32_MAX;
    void PutInto(uint32_t target, uint32_t value, uint32_t consumer)
    {
        bool lost = target == 0;
        for (const uint32_t element : s_.sets.Elements(target)) {
            const uint32_t source = element >> 2;
            const Source s = s_.sources[source];
            if (s.kind == kObject) {
                const uint32_t flag = element & 3u;
                for (uint32_t put : s_.sets.Elements(value)) {
                    if ((put & 3u) == 0)
                        put |= flag;
                    bool fresh = false;
                    s_.collectedOnce.FindOrInsert((uint64_t{source} << 32) | put, 0, fresh);
                    if (fresh)
                        s_.collected.emplace_back(source, put);
                }
            } else if (s.kind == kFieldRead && consumer == kNoConsumer) {
                Use(value, scope_.AddSink({SinkKind::FieldStore, Use::Unknown, {}, false, 0, s.value}));
            } else {
                lost = true;
            }
        }
        if (lost)
            Use(value, consumer == kNoConsumer ? UnknownSink("array element") : UnknownSink(consumer));
    }

    // ---- Calls

    bool Invoke(uint16_t ref, bool hasReceiver)
    {
        const CallSite* site = scope_.Call(ref);
        if (site == nullptr || !site->valid)
            return false;
        const uint32_t words = site->parameterWords + (hasReceiver ? 1u : 0u);
        if (height_ < words)
            return false;
        const size_t count = size_t{site->parameterCount} + 1;  // at most 256
        uint32_t args[256];
        uint32_t at = height_ - words;
        args[0] = hasReceiver ? s_.stack[at++] : 0u;
        const uint8_t* parameters = scope_.Parameters(site->firstParameter);
        for (size_t i = 0; i < site->parameterCount; ++i) {
            args[i + 1] = s_.stack[at];
            at += parameters[i] & kParameterWords;
        }
        height_ -= static_cast<uint16_t>(words);
        const uint32_t result = ApplyCall(*site, args, count);
        if (site->returnWords == 0)
            return true;
        if (site->returnsReference)
            return Push(result);
        return PushZeros(site->returnWords);
    }

    uint32_t ApplyCall(const CallSite& site, const uint32_t* args, size_t count)
    {
        uint32_t result = 0;
        bool carries = false;
        for (size_t p = 0; p < count; ++p)
            carries = carries || args[p] != 0;
        // Nothing followed goes in: only a call of the program's own that may return a string
        // gives something back, and only when the table has no line for it.
        if (!carries && (site.libraryOwner || !site.returnMayBeString))
            return 0;
        if (!scope_.Lines(site).empty()) {
            const uint32_t receiver = args[0];
            for (size_t p = 0; p < count; ++p) {
                const uint32_t value = args[p];
                if (value == 0)
                    continue;
                bool named = false;
                for (const ConsumerLine* line : scope_.Lines(site)) {
                    if (!line->Names(static_cast<unsigned>(p)))
                        continue;
                    named = true;
                    switch (line->action) {
                        case Action::Consume:
                            Use(value, scope_.AddSink({SinkKind::Consumer, line->use, line->format, line->equalsStyle,
                                                       0, scope_.Consumer(site)}));
                            break;
                        case Action::Result: result = s_.sets.Union(result, value); break;
                        case Action::ResultPrintf:
                            result = s_.sets.Union(result, s_.sets.WithFlag(value, kPrintf));
                            break;
                        case Action::ResultMessageFormat:
                            result = s_.sets.Union(result, s_.sets.WithFlag(value, kMessageFormat));
                            break;
                        case Action::Receiver:
                            PutInto(receiver, value, scope_.Consumer(site));
                            break;
                        case Action::ReceiverMessageFormat:
                            PutInto(receiver, s_.sets.WithFlag(value, kMessageFormat), scope_.Consumer(site));
                            break;
                    }
                }
                // An object a method is called on is not used as a text unless a line says so.
                if (!named && p != 0)
                    Use(value, UnknownSink(scope_.Consumer(site)));
            }
            if (site.anyReceiverLine && site.returnsReference)
                result = s_.sets.Union(result, receiver);
            return result;
        }
        for (size_t p = 0; p < count; ++p) {
            if (args[p] == 0)
                continue;
            if (site.libraryOwner)
                Use(args[p], UnknownSink(scope_.Consumer(site)));
            else
                Use(args[p], scope_.AddSink({SinkKind::Call, Use::Unknown, {}, false, static_cast<uint16_t>(p),
                                             scope_.Member(site.refIndex)}));
        }
        if (!site.libraryOwner && site.returnMayBeString)
            result = SetOf(kCallResult, scope_.Member(site.refIndex));
        return result;
    }

    bool InvokeDynamic(uint16_t index)
    {
        const Constant* indy = cf_.At(index, Tag::InvokeDynamic);
        if (indy == nullptr)
            return false;
        const Constant* nat = cf_.At(indy->NameAndTypeIndex(), Tag::NameAndType);
        if (nat == nullptr)
            return false;
        MethodShape& shape = s_.shape;
        ParseMethodDescriptor(cf_.Utf8Bytes(nat->DescriptorIndex()), shape);
        if (!shape.valid || height_ < shape.parameterWords)
            return false;
        std::vector<uint32_t> args;
        args.reserve(shape.parameters.size());
        uint32_t at = height_ - shape.parameterWords;
        for (const ParameterShape& parameter : shape.parameters) {
            args.push_back(s_.stack[at]);
            at += parameter.words;
        }
        height_ -= static_cast<uint16_t>(shape.parameterWords);

        uint32_t result = 0;
        if (indy->BootstrapIndex() < cf_.bootstrapMethods.size()) {
            const classfile::BootstrapMethod& bootstrap = cf_.bootstrapMethods[indy->BootstrapIndex()];
            const auto statics = cf_.Arguments(bootstrap);
            const auto member = cf_.MethodHandleMember(bootstrap.methodHandleIndex);
            const std::string_view owner = member ? member->className : std::string_view();
            const std::string_view name = member ? member->name : std::string_view();
            if (owner == "java/lang/invoke/StringConcatFactory") {
                // The recipe, its constants and every value joined make the result.
                for (const uint32_t value : args)
                    result = s_.sets.Union(result, value);
                for (const uint16_t argument : statics) {
                    if (cf_.At(argument, Tag::String) != nullptr)
                        result = s_.sets.Union(result, SetOf(kLiteral, argument));
                }
            } else if (owner == "java/lang/invoke/LambdaMetafactory" && statics.size() >= 2) {
                Capture(statics[1], args);
            } else {
                std::string consumer;
                consumer.append(owner).append(".").append(name);
                std::vector<const ConsumerLine*> lines;
                ConsumerTable::Builtin().Find(owner, name, member ? member->descriptor : std::string_view(),
                                              ClassMatch::Any, lines);
                const uint32_t sink =
                    lines.empty() || lines[0]->action != Action::Consume
                        ? UnknownSink(consumer)
                        : scope_.AddSink({SinkKind::Consumer, lines[0]->use, lines[0]->format, lines[0]->equalsStyle, 0,
                                          scope_.Consumer(consumer)});
                for (const uint16_t argument : statics) {
                    if (cf_.At(argument, Tag::String) != nullptr)
                        Use(SetOf(kLiteral, argument), sink);
                }
                for (const uint32_t value : args)
                    Use(value, UnknownSink(consumer));
            }
        }
        if (shape.returnWords == 0)
            return true;
        if (shape.returnsReference)
            return Push(result);
        return PushZeros(shape.returnWords);
    }

    // A lambda or method reference captures values: they become the first arguments of the
    // method that implements it.
    void Capture(uint16_t handleIndex, const std::vector<uint32_t>& captured)
    {
        const Constant* handle = cf_.At(handleIndex, Tag::MethodHandle);
        if (handle == nullptr || handle->referenceKind < 5)
            return;
        const CallSite* site = scope_.Call(handle->ReferenceIndex());
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
        ApplyCall(*site, args.data(), count);
    }

    // ---- Flows out of the method

    // Strings a compiled string switch compares: javac switches on hashCode() first, then
    // calls equals with the case's text, whose hash is compiled into the switch.
    void FindSwitchLiterals()
    {
        s_.switchLiterals.clear();
        if (!code_.callsStringHashCode || code_.switchKeys.empty())
            return;
        s_.keys.assign(code_.switchKeys.begin(), code_.switchKeys.end());
        std::sort(s_.keys.begin(), s_.keys.end());
        for (const classfile::LoadedString& loaded : code_.strings) {
            const Constant* string = cf_.At(loaded.stringIndex, Tag::String);
            if (string == nullptr || !classfile::DecodeModifiedUtf8(cf_.Utf8Bytes(string->StringIndex()), s_.units).Ok())
                continue;
            if (std::binary_search(s_.keys.begin(), s_.keys.end(), classfile::JavaStringHash(s_.units)))
                s_.switchLiterals.push_back(loaded.stringIndex);
        }
        std::sort(s_.switchLiterals.begin(), s_.switchLiterals.end());
    }

    void Emit()
    {
        FindSwitchLiterals();
        uint32_t switchSink = UINT32_MAX;
        std::sort(s_.uses.begin(), s_.uses.end());
        s_.uses.erase(std::unique(s_.uses.begin(), s_.uses.end()), s_.uses.end());
        Fill<uint32_t>(s_.seen, s_.sources.size() * 4, UINT32_MAX);
        // What each object collected, found by source.
        std::stable_sort(s_.collected.begin(), s_.collected.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        Fill<uint32_t>(s_.collectedFirst, s_.sources.size() + 1, 0u);
        for (const auto& [source, element] : s_.collected)
            ++s_.collectedFirst[source + 1];
        for (size_t i = 0; i < s_.sources.size(); ++i)
            s_.collectedFirst[i + 1] += s_.collectedFirst[i];
        // An item to expand is a set (below kCollectedBit) or an object's collection.
        constexpr uint32_t kCollectedBit = 0x80000000u;
        for (uint32_t u = 0; u < s_.uses.size(); ++u) {
            const auto [set, sink] = s_.uses[u];
            s_.expand.clear();
            s_.expand.emplace_back(set, 0u);
            while (!s_.expand.empty()) {
                const auto [current, inherited] = s_.expand.back();
                s_.expand.pop_back();
                std::span<const uint32_t> elements;
                if ((current & kCollectedBit) == 0) {
                    elements = s_.sets.Elements(current);
                } else {
                    const uint32_t object = current & ~kCollectedBit;
                    s_.elementsOf.clear();
                    for (uint32_t k = s_.collectedFirst[object]; k < s_.collectedFirst[object + 1]; ++k)
                        s_.elementsOf.push_back(s_.collected[k].second);
                    elements = s_.elementsOf;
                }
                for (const uint32_t element : elements) {
                    const uint32_t source = element >> 2;
                    const uint32_t flag = (element & 3u) != 0 ? (element & 3u) : inherited;
                    uint32_t& seen = s_.seen[source * 4 + flag];
                    if (seen == u)
                        continue;
                    seen = u;
                    const Source& s = s_.sources[source];
                    if (s.kind == kObject) {
                        if (s_.collectedFirst[source] != s_.collectedFirst[source + 1])
                            s_.expand.emplace_back(source | kCollectedBit, flag);
                        continue;
                    }
                    uint32_t target = sink;
                    if (s.kind == kLiteral && !s_.switchLiterals.empty() &&
                        std::binary_search(s_.switchLiterals.begin(), s_.switchLiterals.end(), s.value)) {
                        const Sink& used = scope_.SinkAt(sink);
                        if (used.kind == SinkKind::Consumer && used.use == Use::Key && used.equalsStyle) {
                            if (switchSink == UINT32_MAX)
                                switchSink = scope_.AddSink({SinkKind::Consumer, Use::Key, FormatStyle::None, false, 0,
                                                             scope_.Consumer("switch")});
                            target = switchSink;
                        }
                    }
                    scope_.AddFlow({static_cast<OriginKind>(s.kind), static_cast<FormatStyle>(flag), method_, s.value,
                                    target});
                }
            }
        }
    }

    ClassScope& scope_;
    const classfile::ClassFile& cf_;
    const classfile::CodeInfo& code_;
    uint16_t method_;
    FlowScratch& s_;
    const uint8_t* bytes_;
    uint32_t length_;
    uint16_t maxLocals_;
    uint16_t maxStack_;
    uint16_t height_ = 0;
    uint64_t visits_ = 0;
    bool broken_ = false;
    bool returnsReference_ = false;
    bool origins_ = false;
    DescriptorShape shape_;         // the method's own descriptor
};

}  // namespace

bool FollowMethod(ClassScope& scope, const classfile::CodeInfo& code, uint16_t methodIndex, FlowScratch& scratch)
{
    if (methodIndex >= scope.File().methods.size())
        return false;
    return Follower(scope, code, methodIndex, scratch).Run();
}

}  // namespace cl::usage
