#pragma once
// The frame solver of one method's data-flow: what each block's frame (its locals and operand
// stack, each slot a set of origins) may hold on entry, worked to a fixed point over the
// control-flow graph (FlowBlocks). A block whose in-state grows is queued again; the lowest
// block is taken first, so that in code that mostly runs forwards each block is interpreted
// about once per loop level. What one instruction does to a frame is FlowTransfer's; this
// file only merges frames and decides what runs next, within a budget per method.

#include "usage/FlowContext.h"

namespace cl::usage {

// What the JVM checks of the frame on entry (the parameters fit max_locals, the frame table
// stays of a sane size); reads the method's descriptor into c.shape and sets c.origins when a
// parameter may hold a string. Needs FindBlocks' block count.
bool CheckEntry(FlowContext& c);

// The state on entry, after MakeBlocks: every parameter that may hold a string holds itself.
void Enter(FlowContext& c);

// Merges a frame into the in-state of `block`; queues the block when that changed it. Two
// paths that reach a block with different stack heights set c.broken.
void Merge(FlowContext& c, uint32_t block, const uint32_t* locals, const uint32_t* stack, uint16_t height);

// Every handler that covers `block` may be entered with the current locals and the exception.
// Inline: it runs for every block taken and every string stored into a local.
inline void MergeHandlers(FlowContext& c, uint32_t block)
{
    const uint32_t zero = 0;
    for (uint32_t k = c.s.handlerFirst[block]; k < c.s.handlerFirst[block + 1]; ++k)
        Merge(c, c.s.handlerBlocks[k], c.s.locals.data(), &zero, 1);
}

// Runs the queued blocks until no in-state changes. False when the code cannot be followed
// (the JVM would reject it) or the method needs more work than it is allowed.
bool Solve(FlowContext& c);

}  // namespace cl::usage
