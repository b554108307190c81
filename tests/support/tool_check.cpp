// Stands in for a test that could not be registered because a tool it needs is missing:
// run with pairs of a tool's name and its configured path, it exits 77 (which CTest reports
// as skipped) when one is missing, or 1 under CI, by the rule every suite follows (Tools.h).

#include "Tools.h"

#include <iostream>

int main(int argc, char** argv)
{
    int status = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const cltest::ToolCheck check = cltest::CheckTool(argv[i], argv[i + 1]);
        if (check.verdict == cltest::ToolVerdict::Use)
            continue;
        std::cerr << check.message << "\n";
        if (check.verdict == cltest::ToolVerdict::Fail)
            return 1;
        status = 77;
    }
    return status;
}
