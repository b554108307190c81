#include "usage/FrameSolver.h"

#include "usage/FlowTransfer.h"

#include <algorithm>
#include <functional>

namespace cl::usage {

namespace {

// The bound on the work of one method: how many instructions the fixed point may interpret per
// byte of code, and how many set elements it may store. Real methods need a few passes; a
// method past the bound is left unfollowed rather than slowing the whole program down.
constexpr uint64_t kVisitsPerByte = 24;
constexpr uint64_t kVisitsBase = 4096;
constexpr size_t kMaxStoredElements = size_t{1} << 21;

}  // namespace

// What the JVM checks of the frame on entry; notes the parameters that may hold a string.
bool CheckEntry(FlowContext& c)
{
    const size_t width = size_t{c.maxLocals} + c.maxStack;
    if (size_t{c.Blocks()} * width > (size_t{1} << 24))
        return false;  // a frame table past 64 MiB: not a method javac writes
    const classfile::Member& method = c.file.methods[c.method];
    c.shape = c.scope.ShapeOf(method.descriptorIndex);
    if (!c.shape.valid)
        return false;
    const uint32_t slot = (method.accessFlags & 0x0008) != 0 ? 0 : 1;
    if (slot + c.shape.parameterWords > c.maxLocals)
        return false;
    const uint8_t* parameters = c.scope.Parameters(c.shape.firstParameter);
    for (uint32_t p = 0; p < c.shape.parameterCount && !c.origins; ++p)
        c.origins = (parameters[p] & kParameterMayBeString) != 0;
    c.returnsReference = c.shape.returnsReference;
    return true;
}

// The state on entry: the parameters that may hold a string hold themselves.
void Enter(FlowContext& c)
{
    const size_t blocks = c.s.blockPc.size();
    const size_t width = size_t{c.maxLocals} + c.maxStack;
    // A block's in-state is written whole when the block is first reached and read only
    // after: only whether each block was reached needs clearing.
    if (c.s.state.size() < blocks * width)
        c.s.state.resize(blocks * width);
    if (c.s.height.size() < blocks)
        c.s.height.resize(blocks);
    Fill<uint8_t>(c.s.visited, blocks, 0);
    Fill<uint8_t>(c.s.queued, blocks, 0);
    c.s.work.clear();
    Fill<uint32_t>(c.s.locals, c.maxLocals, 0u);
    if (c.s.stack.size() < size_t{c.maxStack} + 1)
        c.s.stack.resize(size_t{c.maxStack} + 1);  // read below the height only

    const classfile::Member& method = c.file.methods[c.method];
    const uint8_t* parameters = c.scope.Parameters(c.shape.firstParameter);
    uint32_t slot = (method.accessFlags & 0x0008) != 0 ? 0 : 1;
    for (uint32_t p = 0; p < c.shape.parameterCount; ++p) {
        if ((parameters[p] & kParameterMayBeString) != 0)
            c.s.locals[slot] = c.SetOf(kParameter, p + 1);
        slot += parameters[p] & kParameterWords;
    }
    Merge(c, 0, c.s.locals.data(), nullptr, 0);
}

// Merges a state into the in-state of `block`; queues the block when it changed.
void Merge(FlowContext& c, uint32_t block, const uint32_t* locals, const uint32_t* stack, uint16_t height)
{
    const size_t width = size_t{c.maxLocals} + c.maxStack;
    uint32_t* in = c.s.state.data() + block * width;
    bool changed = false;
    if (!c.s.visited[block]) {
        c.s.visited[block] = 1;
        std::copy(locals, locals + c.maxLocals, in);
        std::copy(stack, stack + height, in + c.maxLocals);
        c.s.height[block] = height;
        changed = true;
    } else {
        if (c.s.height[block] != height) {
            c.broken = true;
            return;
        }
        for (size_t i = 0; i < c.maxLocals; ++i) {
            if (locals[i] != in[i] && locals[i] != 0) {
                const uint32_t merged = c.s.sets.Union(in[i], locals[i]);
                if (merged != in[i]) {
                    in[i] = merged;
                    changed = true;
                }
            }
        }
        for (size_t i = 0; i < height; ++i) {
            uint32_t& slot = in[c.maxLocals + i];
            if (stack[i] != slot && stack[i] != 0) {
                const uint32_t merged = c.s.sets.Union(slot, stack[i]);
                if (merged != slot) {
                    slot = merged;
                    changed = true;
                }
            }
        }
    }
    if (changed && !c.s.queued[block]) {
        c.s.queued[block] = 1;
        c.s.work.push_back(block);
        std::push_heap(c.s.work.begin(), c.s.work.end(), std::greater<uint32_t>());
    }
}

bool Solve(FlowContext& c)
{
    const uint64_t budget = kVisitsBase + kVisitsPerByte * uint64_t{c.length};
    const size_t width = size_t{c.maxLocals} + c.maxStack;
    while (!c.s.work.empty() && !c.broken) {
        // Lowest block first: code mostly runs forwards, so merges arrive before the
        // block is taken and each block is interpreted about once per loop level.
        std::pop_heap(c.s.work.begin(), c.s.work.end(), std::greater<uint32_t>());
        const uint32_t block = c.s.work.back();
        c.s.work.pop_back();
        c.s.queued[block] = 0;
        const uint32_t* in = c.s.state.data() + block * width;
        std::copy(in, in + c.maxLocals, c.s.locals.begin());
        c.height = c.s.height[block];
        std::copy(in + c.maxLocals, in + c.maxLocals + c.height, c.s.stack.begin());
        MergeHandlers(c, block);
        if (!RunBlock(c, block))
            return false;
        if (c.visits > budget || c.s.sets.StoredElements() + c.s.collected.size() > kMaxStoredElements)
            return false;
    }
    return !c.broken;
}

}  // namespace cl::usage
