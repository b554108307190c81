// The one instruction decoder that the class parser and the usage analysis share: the length
// of every kind of instruction, the padding of the switches at each of the four alignments,
// the wide forms, and the faults each walk relies on to stop (with the parser naming each).

#include "classfile/Bytecode.h"
#include "classfile/ClassFile.h"

#include "ClassFileBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

using namespace cl::classfile;
using cl::classfile::bytecode::Fault;
using cl::testing::Bytes;
using cl::testing::ClassFileBuilder;

namespace {

// `pc` bytes of nop, then `instruction`: the switches' padding counts from the code's start.
std::vector<uint8_t> At(uint32_t pc, const std::vector<uint8_t>& instruction)
{
    std::vector<uint8_t> code(pc, 0x00);
    code.insert(code.end(), instruction.begin(), instruction.end());
    return code;
}

// A tableswitch at `pc` over low..high with branch offsets 100, 101, ... and default 99.
std::vector<uint8_t> TableSwitch(uint32_t pc, int32_t low, int32_t high, size_t entries)
{
    Bytes b;
    b.U1(0xAA);
    while ((pc + b.data.size()) % 4 != 0)
        b.U1(0);
    b.U4(99).U4(static_cast<uint32_t>(low)).U4(static_cast<uint32_t>(high));
    for (size_t k = 0; k < entries; ++k)
        b.U4(static_cast<uint32_t>(100 + k));
    return b.data;
}

// A lookupswitch at `pc` stating `pairs` pairs, `written` of them present: keys 10, 20, ...
// with offsets 200, 201, ...; default 98.
std::vector<uint8_t> LookupSwitch(uint32_t pc, int32_t pairs, size_t written)
{
    Bytes b;
    b.U1(0xAB);
    while ((pc + b.data.size()) % 4 != 0)
        b.U1(0);
    b.U4(98).U4(static_cast<uint32_t>(pairs));
    for (size_t k = 0; k < written; ++k)
        b.U4(static_cast<uint32_t>(10 * (k + 1))).U4(static_cast<uint32_t>(200 + k));
    return b.data;
}

struct LengthCase {
    std::string what;
    std::vector<uint8_t> code;
    uint32_t pc;
    Fault fault;
    uint32_t length;  // when fault is None
};

std::vector<LengthCase> LengthCases()
{
    std::vector<LengthCase> cases = {
        {"nop", {0x00}, 0, Fault::None, 1},
        {"aload_0", {0x2A}, 0, Fault::None, 1},
        {"bipush", {0x10, 7}, 0, Fault::None, 2},
        {"sipush", {0x11, 1, 2}, 0, Fault::None, 3},
        {"ldc", {0x12, 1}, 0, Fault::None, 2},
        {"ldc_w", {0x13, 0, 1}, 0, Fault::None, 3},
        {"ldc2_w", {0x14, 0, 1}, 0, Fault::None, 3},
        {"iload", {0x15, 4}, 0, Fault::None, 2},
        {"astore", {0x3A, 4}, 0, Fault::None, 2},
        {"iinc", {0x84, 1, 1}, 0, Fault::None, 3},
        {"ifeq", {0x99, 0, 3}, 0, Fault::None, 3},
        {"goto", {0xA7, 0, 0}, 0, Fault::None, 3},
        {"jsr", {0xA8, 0, 3}, 0, Fault::None, 3},
        {"ret", {0xA9, 1}, 0, Fault::None, 2},
        {"getfield", {0xB4, 0, 1}, 0, Fault::None, 3},
        {"invokevirtual", {0xB6, 0, 1}, 0, Fault::None, 3},
        {"invokeinterface", {0xB9, 0, 1, 1, 0}, 0, Fault::None, 5},
        {"invokedynamic", {0xBA, 0, 1, 0, 0}, 0, Fault::None, 5},
        {"newarray", {0xBC, 10}, 0, Fault::None, 2},
        {"multianewarray", {0xC5, 0, 1, 2}, 0, Fault::None, 4},
        {"ifnonnull", {0xC7, 0, 3}, 0, Fault::None, 3},
        {"goto_w", {0xC8, 0, 0, 0, 0}, 0, Fault::None, 5},
        {"jsr_w", {0xC9, 0, 0, 0, 5}, 0, Fault::None, 5},
        {"athrow", {0xBF}, 0, Fault::None, 1},
        {"an instruction after others", {0x00, 0x00, 0x11, 0, 1}, 2, Fault::None, 3},
        // The wide forms: a two-byte index, and for iinc a two-byte increment too.
        {"wide iload", {0xC4, 0x15, 1, 0}, 0, Fault::None, 4},
        {"wide dstore", {0xC4, 0x39, 1, 0}, 0, Fault::None, 4},
        {"wide aload", {0xC4, 0x19, 1, 0}, 0, Fault::None, 4},
        {"wide ret", {0xC4, 0xA9, 1, 0}, 0, Fault::None, 4},
        {"wide iinc", {0xC4, 0x84, 1, 0, 0, 5}, 0, Fault::None, 6},
        {"wide of nop", {0xC4, 0x00, 0, 0}, 0, Fault::BadWidened, 0},
        {"wide of goto", {0xC4, 0xA7, 0, 0}, 0, Fault::BadWidened, 0},
        {"wide as the last byte", {0xC4}, 0, Fault::PastEnd, 0},
        {"wide iinc cut short", {0xC4, 0x84, 1, 0, 0}, 0, Fault::PastEnd, 0},
        {"wide iload cut short", {0xC4, 0x15, 1}, 0, Fault::PastEnd, 0},
        // Undefined opcodes.
        {"breakpoint", {0xCA}, 0, Fault::BadOpcode, 0},
        {"impdep1", {0xFE}, 0, Fault::BadOpcode, 0},
        {"0xFF", {0xFF}, 0, Fault::BadOpcode, 0},
        // Fixed-length instructions that run past the end.
        {"sipush cut short", {0x11, 1}, 0, Fault::PastEnd, 0},
        {"invokeinterface cut short", {0xB9, 0, 1, 1}, 0, Fault::PastEnd, 0},
        {"goto_w cut short", {0x00, 0xC8, 0, 0, 0}, 1, Fault::PastEnd, 0},
    };
    // The switches at every alignment: 3, 2, 1 and 0 bytes of padding after the opcode.
    const uint32_t tableLengths[] = {1 + 3 + 12 + 8, 1 + 2 + 12 + 8, 1 + 1 + 12 + 8, 1 + 0 + 12 + 8};
    const uint32_t lookupLengths[] = {1 + 3 + 8 + 16, 1 + 2 + 8 + 16, 1 + 1 + 8 + 16, 1 + 0 + 8 + 16};
    for (uint32_t pc = 0; pc < 4; ++pc) {
        const std::string at = " at pc " + std::to_string(pc);
        cases.push_back({"tableswitch" + at, At(pc, TableSwitch(pc, 5, 6, 2)), pc, Fault::None, tableLengths[pc]});
        cases.push_back({"lookupswitch" + at, At(pc, LookupSwitch(pc, 2, 2)), pc, Fault::None, lookupLengths[pc]});
    }
    // The same at pc 4 pads like pc 0 (the padding counts from the code's start, not the opcode).
    cases.push_back({"tableswitch at pc 4", At(4, TableSwitch(4, 5, 6, 2)), 4, Fault::None, tableLengths[0]});
    cases.push_back({"tableswitch of one entry", TableSwitch(0, -3, -3, 1), 0, Fault::None, 1 + 3 + 12 + 4});
    cases.push_back({"lookupswitch of no pairs", At(1, LookupSwitch(1, 0, 0)), 1, Fault::None, 1 + 2 + 8});
    // Broken switches.
    cases.push_back({"tableswitch high below low", TableSwitch(0, 6, 5, 0), 0, Fault::BadSwitch, 0});
    cases.push_back({"lookupswitch negative pairs", LookupSwitch(0, -1, 0), 0, Fault::BadSwitch, 0});
    cases.push_back({"tableswitch entries cut short", TableSwitch(0, 1, 3, 2), 0, Fault::PastEnd, 0});
    cases.push_back({"lookupswitch pairs cut short", LookupSwitch(2, 3, 2), 0, Fault::PastEnd, 0});
    cases.push_back(
        {"tableswitch over every int", TableSwitch(0, INT32_MIN, INT32_MAX, 1), 0, Fault::PastEnd, 0});
    cases.push_back(
        {"lookupswitch of 2^31-1 pairs", LookupSwitch(0, INT32_MAX, 1), 0, Fault::PastEnd, 0});
    {
        std::vector<uint8_t> cut = TableSwitch(0, 1, 2, 0);
        cut.resize(9);  // the opcode, padding and default, without low and high
        cases.push_back({"tableswitch without low and high", cut, 0, Fault::PastEnd, 0});
    }
    {
        std::vector<uint8_t> cut = LookupSwitch(3, 0, 0);
        cut.resize(3);  // the opcode and half of the default
        cases.push_back({"lookupswitch without its default", cut, 0, Fault::PastEnd, 0});
    }
    return cases;
}

const char* Name(Fault fault)
{
    switch (fault) {
        case Fault::None: return "None";
        case Fault::BadOpcode: return "BadOpcode";
        case Fault::BadWidened: return "BadWidened";
        case Fault::PastEnd: return "PastEnd";
        case Fault::BadSwitch: return "BadSwitch";
    }
    return "?";
}

TEST(Bytecode, InstructionLengthOfEveryKindOfInstruction)
{
    for (const LengthCase& c : LengthCases()) {
        SCOPED_TRACE(c.what);
        uint32_t length = 0;
        const Fault fault =
            bytecode::InstructionLength(c.code.data(), static_cast<uint32_t>(c.code.size()), c.pc, length);
        EXPECT_STREQ(Name(fault), Name(c.fault));
        if (c.fault == Fault::None) {
            EXPECT_EQ(length, c.length);
            // Every such instruction ends exactly where the case's code does.
            EXPECT_EQ(c.pc + length, c.code.size());
        }
    }
}

TEST(Bytecode, FixedLengthsLeaveOnlyWideTheSwitchesAndUndefinedOpcodesToTheOperands)
{
    for (int op = 0; op < 256; ++op) {
        const bool variable = op == 0xAA || op == 0xAB || op == 0xC4;
        const bool undefined = op > 0xC9;
        EXPECT_EQ(bytecode::kFixedLength.of[op] == 0, variable || undefined) << "opcode " << op;
    }
}

TEST(Bytecode, SwitchOperandsAreReadPastThePadding)
{
    for (uint32_t pc = 0; pc < 4; ++pc) {
        SCOPED_TRACE("pc " + std::to_string(pc));
        const std::vector<uint8_t> table = At(pc, TableSwitch(pc, -1, 2, 4));
        const bytecode::Switch t(table.data(), pc);
        EXPECT_EQ(t.DefaultOffset(), 99);
        ASSERT_EQ(t.Count(), 4u);
        for (uint32_t k = 0; k < 4; ++k) {
            EXPECT_EQ(t.Key(k), -1 + static_cast<int32_t>(k));
            EXPECT_EQ(t.Offset(k), 100 + static_cast<int32_t>(k));
        }
        const std::vector<uint8_t> lookup = At(pc, LookupSwitch(pc, 3, 3));
        const bytecode::Switch l(lookup.data(), pc);
        EXPECT_EQ(l.DefaultOffset(), 98);
        ASSERT_EQ(l.Count(), 3u);
        for (uint32_t k = 0; k < 3; ++k) {
            EXPECT_EQ(l.Key(k), 10 * static_cast<int32_t>(k + 1));
            EXPECT_EQ(l.Offset(k), 200 + static_cast<int32_t>(k));
        }
    }
    const std::vector<uint8_t> extremes = TableSwitch(0, INT32_MAX - 1, INT32_MAX, 2);
    const bytecode::Switch e(extremes.data(), 0);
    ASSERT_EQ(e.Count(), 2u);
    EXPECT_EQ(e.Key(0), INT32_MAX - 1);
    EXPECT_EQ(e.Key(1), INT32_MAX);
}

// The parser takes its lengths and faults from the decoder: each fault stops the parse with its
// own reason at the instruction (at the widened opcode for a bad wide form).
TEST(Bytecode, TheParserNamesEachFaultWhereTheDecoderFindsIt)
{
    struct Case {
        std::string what;
        std::vector<uint8_t> code;
        ParseError error;
        uint32_t offsetInCode;
    };
    const std::vector<Case> cases = {
        {"undefined opcode", {0x00, 0xCB, 0xB1}, ParseError::BadOpcode, 1},
        {"wide of nop", {0x00, 0x00, 0xC4, 0x00, 0, 0, 0xB1}, ParseError::BadOpcode, 3},
        {"wide as the last byte", {0x00, 0xC4}, ParseError::InstructionPastEnd, 1},
        {"switch high below low", At(1, TableSwitch(1, 2, 1, 0)), ParseError::BadSwitch, 1},
        {"switch cut short", At(2, LookupSwitch(2, 2, 1)), ParseError::InstructionPastEnd, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClassFileBuilder b;
        b.Method("run", "()V", {b.Code(c.code)});
        const std::vector<uint8_t> bytes = b.Build();
        const ClassFile cf = ParseClassFile(bytes.data(), bytes.size());
        ASSERT_FALSE(cf.parsed);
        EXPECT_EQ(cf.error, c.error) << ReasonWord(cf.error);
        // The code in the file, found with its length in front.
        std::vector<uint8_t> withLength = Bytes().U4(static_cast<uint32_t>(c.code.size())).data;
        withLength.insert(withLength.end(), c.code.begin(), c.code.end());
        const auto at = std::search(bytes.begin(), bytes.end(), withLength.begin(), withLength.end());
        ASSERT_NE(at, bytes.end());
        EXPECT_EQ(cf.errorOffset, static_cast<size_t>(at - bytes.begin()) + 4 + c.offsetInCode);
    }
}

// Both walks agree on a switch's keys: the parser collects them for the string-switch check.
TEST(Bytecode, TheParserKeepsTheSwitchKeysTheDecoderReads)
{
    std::vector<uint8_t> code = {0x03};  // iconst_0, so that the switch sits at pc 1
    const std::vector<uint8_t> table = TableSwitch(1, 7, 9, 3);
    code.insert(code.end(), table.begin(), table.end());
    const uint32_t second = static_cast<uint32_t>(code.size());
    code.push_back(0x03);
    const std::vector<uint8_t> lookup = LookupSwitch(second + 1, 2, 2);
    code.insert(code.end(), lookup.begin(), lookup.end());
    code.push_back(0xB1);
    ClassFileBuilder b;
    b.Method("run", "()V", {b.Code(code)});
    const std::vector<uint8_t> bytes = b.Build();
    const ClassFile cf = ParseClassFile(bytes.data(), bytes.size());
    ASSERT_TRUE(cf.parsed) << ReasonWord(cf.error) << " at " << cf.errorOffset;
    ASSERT_EQ(cf.codes.size(), 1u);
    EXPECT_EQ(cf.codes[0].switchKeys, (std::vector<int32_t>{7, 8, 9, 10, 20}));
}

}  // namespace
