#pragma once
// The transfer of one method's data-flow: what each instruction does to the frame (the locals
// and the operand stack, each slot a set of origins, 0 for a value not followed). Loads and
// stores move sets between the locals and the stack, the stack operations move them on it,
// a string constant pushes its own origin, a field read or a call of the program's own that
// may return a string pushes theirs; branches hand the frame to the solver (FrameSolver) for
// the target block; calls are FlowCalls'. An opcode without anything followed in or out only
// pops and pushes untracked words, read from one table.

#include "usage/FlowContext.h"

namespace cl::usage {

// Interprets `block` from the frame in c.s.locals, c.s.stack and c.height to its end, merging
// into each block it may go to. False when the code cannot be followed: the JVM would reject
// it (a stack underflow or overflow, a local past max_locals, running off the code's end).
bool RunBlock(FlowContext& c, uint32_t block);

}  // namespace cl::usage
