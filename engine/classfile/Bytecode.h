#pragma once
// One decoder of JVM instructions, shared by the class parser (which checks every method's
// code once) and the data-flow of the usage analysis (which walks the same code again): the
// length of each instruction, with the operand-dependent lengths of wide, tableswitch and
// lookupswitch, and the operands of the switches. Both walks step over millions of
// instructions, so the common case is one table lookup and everything here is inline; what a
// walk does with an instruction beyond its length (check a pool operand, find a branch) stays
// with the walk, which builds its own one-look tables from kFixedLength.

#include <cstddef>
#include <cstdint>

namespace cl::classfile::bytecode {

constexpr uint8_t kTableSwitch = 0xAA;
constexpr uint8_t kLookupSwitch = 0xAB;
constexpr uint8_t kWide = 0xC4;

// The length of each opcode of fixed length; 0 for wide, the two switches and the opcodes the
// JVM does not define (0xCA and above: breakpoint and the reserved ones never appear in a
// class file).
struct FixedLengths {
    uint8_t of[256];
    constexpr FixedLengths() : of()
    {
        for (int op = 0x00; op <= 0xC9; ++op)
            of[op] = 1;
        of[0x10] = 2;  // bipush
        of[0x11] = 3;  // sipush
        of[0x12] = 2;  // ldc
        of[0x13] = 3;  // ldc_w
        of[0x14] = 3;  // ldc2_w
        for (int op = 0x15; op <= 0x19; ++op)
            of[op] = 2;  // iload..aload
        for (int op = 0x36; op <= 0x3A; ++op)
            of[op] = 2;  // istore..astore
        of[0x84] = 3;    // iinc
        for (int op = 0x99; op <= 0xA8; ++op)
            of[op] = 3;  // if<cond>, if_icmp, if_acmp, goto, jsr
        of[0xA9] = 2;    // ret
        of[kTableSwitch] = 0;
        of[kLookupSwitch] = 0;
        for (int op = 0xB2; op <= 0xB8; ++op)
            of[op] = 3;  // field access, invokevirtual/special/static
        of[0xB9] = 5;    // invokeinterface
        of[0xBA] = 5;    // invokedynamic
        of[0xBB] = 3;    // new
        of[0xBC] = 2;    // newarray
        of[0xBD] = 3;    // anewarray
        of[0xC0] = 3;    // checkcast
        of[0xC1] = 3;    // instanceof
        of[kWide] = 0;
        of[0xC5] = 4;  // multianewarray
        of[0xC6] = 3;  // ifnull
        of[0xC7] = 3;  // ifnonnull
        of[0xC8] = 5;  // goto_w
        of[0xC9] = 5;  // jsr_w
    }
};
inline constexpr FixedLengths kFixedLength;

inline int16_t S2(const uint8_t* p) noexcept
{
    return static_cast<int16_t>((p[0] << 8) | p[1]);
}
inline uint16_t U2(const uint8_t* p) noexcept
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline int32_t S4(const uint8_t* p) noexcept
{
    return static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]);
}

// Why an instruction has no length. The parser names each differently; the analysis only
// needs to know that the code cannot be followed.
enum class Fault : uint8_t {
    None,
    BadOpcode,   // an opcode the JVM does not define
    BadWidened,  // wide before an opcode it cannot widen (the fault is at pc + 1)
    PastEnd,     // the instruction, or the fixed part of a switch, runs past the code's end
    BadSwitch,   // tableswitch high below low, or a negative lookupswitch pair count
};

// The first byte of a switch's operands: they start at the next multiple of four from the
// start of the code, after zero to three bytes of padding.
inline uint32_t SwitchOperands(uint32_t pc) noexcept
{
    return (pc + 4) & ~3u;
}

// The length of wide, tableswitch, lookupswitch and the undefined opcodes, at `pc` of the
// `end` bytes of `code`. Kept apart from InstructionLength: they are rare, and the common
// path stays one lookup and one comparison.
inline Fault VariableLength(const uint8_t* code, uint32_t end, uint32_t pc, uint32_t& length) noexcept
{
    const uint8_t op = code[pc];
    if (op == kWide) {
        if (pc + 1 >= end)
            return Fault::PastEnd;
        const uint8_t widened = code[pc + 1];
        if (widened == 0x84)
            length = 6;  // iinc with a two-byte index and increment
        else if ((widened >= 0x15 && widened <= 0x19) || (widened >= 0x36 && widened <= 0x3A) || widened == 0xA9)
            length = 4;  // a load, a store or ret with a two-byte index
        else
            return Fault::BadWidened;
    } else if (op == kTableSwitch || op == kLookupSwitch) {
        const uint32_t operands = SwitchOperands(pc);
        const uint32_t fixed = op == kTableSwitch ? 12 : 8;  // default, low, high / default, npairs
        if (uint64_t{operands} + fixed > end)
            return Fault::PastEnd;
        const uint8_t* p = code + operands;
        uint64_t entries = 0;
        if (op == kTableSwitch) {
            const int32_t low = S4(p + 4);
            const int32_t high = S4(p + 8);
            if (high < low)
                return Fault::BadSwitch;
            entries = (uint64_t(int64_t{high} - low) + 1) * 4;
        } else {
            const int32_t pairs = S4(p + 4);
            if (pairs < 0)
                return Fault::BadSwitch;
            entries = uint64_t(pairs) * 8;
        }
        if (operands + fixed + entries > end)
            return Fault::PastEnd;
        length = static_cast<uint32_t>(operands + fixed + entries - pc);
    } else {
        return Fault::BadOpcode;
    }
    return uint64_t{pc} + length <= end ? Fault::None : Fault::PastEnd;
}

// The length of the instruction at `pc` of the `end` bytes of `code` (pc < end), checked to
// end within the code.
inline Fault InstructionLength(const uint8_t* code, uint32_t end, uint32_t pc, uint32_t& length) noexcept
{
    length = kFixedLength.of[code[pc]];
    if (length != 0)
        return uint64_t{pc} + length <= end ? Fault::None : Fault::PastEnd;
    return VariableLength(code, end, pc, length);
}

// The operands of a tableswitch or lookupswitch whose length InstructionLength has checked:
// its entries, each a match value and a branch offset from the switch's pc.
class Switch {
public:
    Switch(const uint8_t* code, uint32_t pc) noexcept
        : p_(code + SwitchOperands(pc)), table_(code[pc] == kTableSwitch)
    {
    }

    int32_t DefaultOffset() const noexcept { return S4(p_); }
    // How many entries besides the default: high - low + 1, or npairs.
    uint32_t Count() const noexcept
    {
        return table_ ? static_cast<uint32_t>(int64_t{S4(p_ + 8)} - S4(p_ + 4) + 1) : static_cast<uint32_t>(S4(p_ + 4));
    }
    int32_t Key(uint32_t k) const noexcept
    {
        return table_ ? static_cast<int32_t>(int64_t{S4(p_ + 4)} + k) : S4(p_ + 8 + std::size_t{k} * 8);
    }
    int32_t Offset(uint32_t k) const noexcept
    {
        return table_ ? S4(p_ + 12 + std::size_t{k} * 4) : S4(p_ + 8 + std::size_t{k} * 8 + 4);
    }

private:
    const uint8_t* p_;
    bool table_;
};

}  // namespace cl::classfile::bytecode
