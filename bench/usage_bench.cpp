// Where string literals go, against extract: for each JAR (Debian's guava.jar and
// commons-lang3.jar by default, or the paths given), the analysis alone — every class's facts
// on every core from its parsed class file, the program-wide fixed point, and a decision for
// every text — and the command line's extract of the same classes from memory. The classes are
// parsed once beforehand: extract parses them anyway, and the analysis takes its parse. Rounds
// are interleaved and the best of each side kept; prints analysis / extract in wall time and
// CPU time (the goal: at most 50% on guava).
// Usage: usage_bench [JAR...] [benchmark flags]

#include "JarClasses.h"
#include "catalogue/Parallel.h"
#include "catalogue/Program.h"
#include "catalogue/Translation.h"
#include "classfile/ClassFile.h"
#include "usage/ClassAnalysis.h"
#include "usage/ProgramUsage.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <time.h>
#include <vector>

namespace {

namespace cat = cl::catalogue;
namespace cf = cl::classfile;

struct Jar {
    std::string path;
    cat::Program program;
    std::vector<cf::ClassFile> parsed;
};

std::vector<Jar> g_jars;

size_t Analyse(const Jar& jar)
{
    std::vector<cl::usage::ClassFacts> facts(jar.parsed.size());
    cat::ForEachInParallel(jar.parsed.size(), [&](size_t i) { facts[i] = cl::usage::AnalyseClass(jar.parsed[i]); });
    const cl::usage::ProgramUsage usage = cl::usage::ProgramUsage::Solve(std::move(facts));
    size_t offered = 0;
    for (const auto& text : usage.DecideAll())
        offered += text.decision.offered ? 1 : 0;
    return offered;
}

size_t Extract(const Jar& jar)
{
    return cat::Extract(jar.program, {}).entries.size();
}

void BM_Analysis(benchmark::State& state, const Jar* jar)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Analyse(*jar));
    state.counters["classes"] = static_cast<double>(jar->parsed.size());
}

void BM_Extract(benchmark::State& state, const Jar* jar)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Extract(*jar));
}

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Best {
    double wall = 1e9;
    double cpu = 1e9;
};

template <size_t (*Work)(const Jar&)>
void Round(const Jar& jar, Best& best)
{
    const auto start = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds();
    benchmark::DoNotOptimize(Work(jar));
    best.cpu = std::min(best.cpu, CpuSeconds() - cpu);
    best.wall = std::min(best.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> paths;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-')
            paths.emplace_back(argv[i]);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    if (paths.empty())
        paths = {"/usr/share/java/guava.jar", "/usr/share/java/commons-lang3.jar"};
    g_jars.reserve(paths.size());
    for (const std::string& path : paths) {
        auto classes = bench::ReadJarClasses(path);
        if (!classes || classes->empty()) {
            std::fprintf(stderr, "no classes read from %s\n", path.c_str());
            return 1;
        }
        Jar& jar = g_jars.emplace_back();
        jar.path = path;
        for (bench::JarClass& c : *classes) {
            cat::ProgramClass pc;
            pc.entry = std::move(c.name);
            pc.bytes = std::move(c.bytes);
            jar.program.classes.push_back(std::move(pc));
        }
        jar.parsed.resize(jar.program.classes.size());
        for (size_t i = 0; i < jar.parsed.size(); ++i) {
            const std::string& bytes = jar.program.classes[i].bytes;
            jar.parsed[i] = cf::ParseClassFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        }
    }
    for (const Jar& jar : g_jars) {
        const std::string name = jar.path.substr(jar.path.find_last_of('/') + 1);
        benchmark::RegisterBenchmark(("BM_Analysis/" + name).c_str(), BM_Analysis, &jar)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Extract/" + name).c_str(), BM_Extract, &jar)->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    bool met = true;
    for (const Jar& jar : g_jars) {
        Best analysis, extract;
        for (int round = 0; round < 15; ++round) {
            Round<Extract>(jar, extract);
            Round<Analyse>(jar, analysis);
        }
        const double wall = analysis.wall / extract.wall;
        const double cpu = analysis.cpu / extract.cpu;
        std::printf("%s: %zu classes (best of 15 interleaved rounds)\n", jar.path.c_str(), jar.parsed.size());
        std::printf("  wall: extract %.1f ms, analysis %.1f ms = %.0f%% of extract (goal <= 50%% on guava)\n",
                    extract.wall * 1e3, analysis.wall * 1e3, wall * 100.0);
        std::printf("  cpu:  extract %.1f ms, analysis %.1f ms = %.0f%% of extract\n", extract.cpu * 1e3,
                    analysis.cpu * 1e3, cpu * 100.0);
        if (jar.path.find("guava") != std::string::npos)
            met = met && wall <= 0.5;
    }
    benchmark::Shutdown();
    return met ? 0 : 1;
}
