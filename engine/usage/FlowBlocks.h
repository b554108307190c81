#pragma once
// The control-flow graph of one method: where each instruction starts, where each basic block
// starts (the code's start, every branch and switch target, the instruction after a branch,
// a return, a throw or a jsr, and every end of a handler's range), and which handlers cover
// each block. The walk that finds them also checks the code as the JVM would (a branch into
// the middle of an instruction, a handler range off the instructions) and notes whether
// anything in it may bring a string in: most methods have nothing to follow, and are done
// after this one walk.

#include "usage/FlowContext.h"

namespace cl::usage {

// Marks the instruction and block starts of the code in c.s.mark and c.s.leaders, and sets
// c.origins when an instruction may bring a string in. False when the code is malformed or
// its handlers cover more blocks than a method is allowed.
bool FindBlocks(FlowContext& c);

// The blocks FindBlocks marked, in code order (c.s.blockPc, c.s.blockAt), and the handlers
// that cover each (c.s.handlerFirst, c.s.handlerBlocks).
void MakeBlocks(FlowContext& c);

}  // namespace cl::usage
