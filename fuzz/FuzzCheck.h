#pragma once
// CHECK for the fuzz targets: a failed property aborts with the file and line, so libFuzzer
// saves the input as a crash.

#include <cstdio>
#include <cstdlib>

namespace fuzzcheck {

[[noreturn]] inline void Fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

}  // namespace fuzzcheck

#define CHECK(cond)                                     \
    do {                                                \
        if (!(cond))                                    \
            fuzzcheck::Fail(#cond, __FILE__, __LINE__); \
    } while (0)
