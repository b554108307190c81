#include "usage/MethodFlow.h"

#include "usage/FlowBlocks.h"
#include "usage/FlowContext.h"
#include "usage/FlowFacts.h"
#include "usage/FrameSolver.h"

namespace cl::usage {

void FlowScratchDeleter::operator()(FlowScratch* scratch) const noexcept
{
    delete scratch;
}

std::unique_ptr<FlowScratch, FlowScratchDeleter> MakeFlowScratch()
{
    return std::unique_ptr<FlowScratch, FlowScratchDeleter>(new FlowScratch);
}

// The passes in order: the blocks (which also tell whether anything is to be followed), the
// entry frame, the solver (which runs the transfer of each block) and the facts.
bool FollowMethod(ClassScope& scope, const classfile::CodeInfo& code, uint16_t methodIndex, FlowScratch& scratch)
{
    if (methodIndex >= scope.File().methods.size())
        return false;
    FlowContext c(scope, code, methodIndex, scratch);
    if (size_t{code.codeOffset} + c.length > c.file.bytes.size() || c.length == 0)
        return false;
    // Most methods hold nothing that can carry a string: they are checked as the JVM would
    // (so that one it would reject is reported unfollowed all the same) without setting up
    // their blocks and frames.
    if (!FindBlocks(c) || !CheckEntry(c))
        return false;
    if (!c.origins)
        return true;  // nothing in it can carry a string: nothing to follow
    scratch.sets.Clear();
    scratch.sources.clear();
    scratch.sourceAt.Clear();
    scratch.collected.clear();
    scratch.collectedOnce.Clear();
    scratch.uses.clear();
    scratch.lookups.clear();
    scratch.siteArguments.clear();
    scratch.lookupAt.Clear();
    MakeBlocks(c);
    Enter(c);
    if (!Solve(c))
        return false;
    EmitFacts(c);
    return true;
}

}  // namespace cl::usage
