#pragma once
// The data-flow of one method: every string constant it loads, every parameter that may hold
// a string, every string field it reads and every string its own-looking calls return is
// followed through the operand stack and the locals, over every path of the code (branches,
// switches, exception handlers, subroutines), through string building and formatting, to
// where it is consumed. Objects that collect strings (builders, lists, arrays) are followed by
// where they were made: what is put into one reaches wherever the object goes.
//
// The work is done in passes over one FlowContext, each a file of its own: the control-flow
// graph (FlowBlocks), the frame solver (FrameSolver), the transfer of each instruction
// (FlowTransfer) and of calls (FlowCalls), and the facts emitted (FlowFacts).

#include "classfile/ClassFile.h"

#include <cstdint>
#include <memory>

namespace cl::usage {

class ClassScope;

// Working storage kept from one method to the next on a thread.
struct FlowScratch;
struct FlowScratchDeleter {
    void operator()(FlowScratch* scratch) const noexcept;
};
std::unique_ptr<FlowScratch, FlowScratchDeleter> MakeFlowScratch();

// Records the flows of `code` (of method `methodIndex`) into the scope's facts. False when the
// code cannot be followed (malformed, or more work than a method is allowed): then nothing is
// recorded from it.
bool FollowMethod(ClassScope& scope, const classfile::CodeInfo& code, uint16_t methodIndex, FlowScratch& scratch);

}  // namespace cl::usage
