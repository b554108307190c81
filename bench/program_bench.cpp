// Times extract and apply over a real jar (Debian's guava.jar by default, or the path in
// CLASSLINGO_BENCH_JAR), next to simply inflating every entry, which is the floor.

#include "catalogue/Po.h"
#include "catalogue/Program.h"
#include "catalogue/Translation.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

namespace cat = cl::catalogue;

std::string JarPath()
{
    const char* path = std::getenv("CLASSLINGO_BENCH_JAR");
    return path ? path : "/usr/share/java/guava.jar";
}

void Extract(benchmark::State& state)
{
    for (auto _ : state) {
        cat::Program program;
        if (cat::LoadProgram(JarPath(), program)) {
            state.SkipWithError("the jar cannot be read");
            return;
        }
        const cat::Extraction ex = cat::Extract(program, {});
        benchmark::DoNotOptimize(cat::WritePo({program.name, "zh_CN", "bench"}, cat::CatalogueEntries(program, ex)));
    }
}

void ExtractAndApplyAll(benchmark::State& state)
{
    for (auto _ : state) {
        cat::Program program;
        if (cat::LoadProgram(JarPath(), program)) {
            state.SkipWithError("the jar cannot be read");
            return;
        }
        const cat::Extraction ex = cat::Extract(program, {});
        std::vector<cat::PoMessage> messages;
        for (const cat::CatalogueEntry& entry : ex.entries)
            messages.push_back({entry.msgid, "译·" + entry.msgid, false, false, false});
        cat::ApplyPlan plan = cat::PlanApply(program, ex, messages);
        benchmark::DoNotOptimize(plan.changed.size());
    }
}

}  // namespace

BENCHMARK(Extract)->Unit(benchmark::kMillisecond);
BENCHMARK(ExtractAndApplyAll)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
