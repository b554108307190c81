// Where string literals go, against extract: for each JAR (Debian's guava.jar and
// commons-lang3.jar by default, or the paths given), the whole extract command (the JAR read
// and inflated, every class parsed, the texts offered, the PO written to a file, as
// classlingo-cli extract does it) with the analysis and without it, extract of the same classes
// from memory, and the analysis alone — every class's facts on every core from its parsed class
// file, the program-wide fixed point, a decision for every text, and freeing the result. Rounds
// are interleaved so that every side sees the same machine load; prints the best and the median
// of each side in wall time and CPU time (all threads), the analysis's phases, and what the
// analysis adds to the whole extract: with / without - 1 (the goal: at most 50%, on guava and
// on commons-lang3).
// Usage: usage_bench [--rounds N] [--only analysis|whole|plain] [JAR...] [benchmark flags]
//   --only: run the analysis, the whole extract, or the whole extract without the analysis, N
//   times on the first JAR and nothing else (for a profiler or `perf stat -e instructions`:
//   counts free of the machine's load)

#include "JarClasses.h"
#include "text/ByteString.h"
#include "files/FileOps.h"
#include "zip/Parallel.h"
#include "catalogue/Po.h"
#include "CatalogueNotes.h"
#include "catalogue/Program.h"
#include "catalogue/ProgramSession.h"
#include "catalogue/Translation.h"
#include "classfile/ClassFile.h"
#include "usage/ClassAnalysis.h"
#include "usage/ProgramUsage.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <time.h>
#include <vector>

namespace {

namespace cat = cl::catalogue;
namespace cf = cl::classfile;
using Clock = std::chrono::steady_clock;

struct Jar {
    std::string path;
    cat::Program program;
    std::vector<cf::ClassFile> parsed;
};

std::vector<Jar> g_jars;
std::string g_poPath;

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A wall and CPU stopwatch.
struct Lap {
    Clock::time_point wall = Clock::now();
    double cpu = CpuSeconds();
    // Seconds since the last lap (or the start), and starts the next.
    std::pair<double, double> Next()
    {
        const Clock::time_point w = Clock::now();
        const double c = CpuSeconds();
        const std::pair<double, double> taken{std::chrono::duration<double>(w - wall).count(), c - cpu};
        wall = w;
        cpu = c;
        return taken;
    }
};

// Wall and CPU seconds of every round of one piece of work.
struct Samples {
    std::vector<double> wall;
    std::vector<double> cpu;
    void Add(std::pair<double, double> taken)
    {
        wall.push_back(taken.first);
        cpu.push_back(taken.second);
    }
    static double Best(std::vector<double> v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
    static double Median(std::vector<double> v)
    {
        if (v.empty())
            return 0;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }
};

struct AnalysisTimes {
    Samples facts, solve, decide, free, total;
};

size_t Analyse(const Jar& jar, AnalysisTimes* times)
{
    Lap lap;
    const Lap start = lap;
    std::vector<cl::usage::ClassFacts> facts(jar.parsed.size());
    cl::zip::ForEachInParallel(jar.parsed.size(), [&](size_t i) { facts[i] = cl::usage::AnalyseClass(jar.parsed[i]); });
    const auto factsTaken = lap.Next();
    size_t offered = 0;
    std::pair<double, double> solveTaken, decideTaken;
    {
        const cl::usage::ProgramUsage usage = cl::usage::ProgramUsage::Solve(std::move(facts));
        solveTaken = lap.Next();
        for (const auto& text : usage.DecideAll())
            offered += text.decision.offered ? 1 : 0;
        decideTaken = lap.Next();
    }
    const auto freeTaken = lap.Next();
    if (times != nullptr) {
        times->facts.Add(factsTaken);
        times->solve.Add(solveTaken);
        times->decide.Add(decideTaken);
        times->free.Add(freeTaken);
        Lap whole = start;
        times->total.Add(whole.Next());
    }
    return offered;
}

size_t Extract(const Jar& jar)
{
    return cat::Extract(jar.program, {}).entries.size();
}

// classlingo-cli extract JAR OUT.po: read, inflate, parse, offer, write the catalogue; with
// the analysis of where each text goes, or (as before it) every literal offered.
size_t WholeExtract(const Jar& jar, bool usage = true)
{
    cat::ProgramSession session;
    cat::OpenOptions options;
    options.usage = usage;
    if (!session.Open(jar.path, options))
        std::abort();
    if (!session.SaveCatalogue(g_poPath, {"", "usage_bench"}, false, cltext::Notes()))
        std::abort();
    return session.Entries().size();
}

void BM_Analysis(benchmark::State& state, const Jar* jar)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Analyse(*jar, nullptr));
    state.counters["classes"] = static_cast<double>(jar->parsed.size());
}

void BM_Extract(benchmark::State& state, const Jar* jar)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Extract(*jar));
}

void BM_WholeExtract(benchmark::State& state, const Jar* jar)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(WholeExtract(*jar));
}

void BM_WholeExtractWithoutAnalysis(benchmark::State& state, const Jar* jar)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(WholeExtract(*jar, false));
}

template <typename Work>
void Time(Samples& samples, Work&& work)
{
    Lap lap;
    benchmark::DoNotOptimize(work());
    samples.Add(lap.Next());
}

void PrintLine(const char* what, const Samples& s)
{
    std::printf("  %-22s wall best %6.1f ms, median %6.1f ms; cpu best %6.1f ms, median %6.1f ms\n", what,
                Samples::Best(s.wall) * 1e3, Samples::Median(s.wall) * 1e3, Samples::Best(s.cpu) * 1e3,
                Samples::Median(s.cpu) * 1e3);
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> paths;
    int rounds = 15;
    std::string only;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--only" && i + 1 < argc)
            only = argv[++i];
        else if (arg[0] != '-')
            paths.push_back(arg);
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
            cat::ProgramFile pc;
            pc.entry = std::move(c.name);
            pc.bytes = std::move(c.bytes);
            jar.program.classes.push_back(std::move(pc));
        }
        jar.parsed.resize(jar.program.classes.size());
        for (size_t i = 0; i < jar.parsed.size(); ++i) {
            const std::string& bytes = jar.program.classes[i].bytes;
            jar.parsed[i] = cf::ParseClassFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        }
        if (!only.empty())
            break;
    }
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("classlingo-usage-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch);
    g_poPath = (scratch / "extracted.po").string();
    if (only == "analysis" || only == "whole" || only == "plain") {
        size_t n = 0;
        for (int round = 0; round < rounds; ++round)
            n += only == "analysis" ? Analyse(g_jars[0], nullptr) : WholeExtract(g_jars[0], only == "whole");
        std::printf("%s: %s, %zu per round\n", g_jars[0].path.c_str(),
                    only == "analysis" ? "texts offered" : "catalogue entries", n / size_t(rounds));
        std::filesystem::remove_all(scratch);
        return 0;
    }

    for (const Jar& jar : g_jars) {
        const std::string name = jar.path.substr(jar.path.find_last_of('/') + 1);
        benchmark::RegisterBenchmark(("BM_Analysis/" + name).c_str(), BM_Analysis, &jar)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Extract/" + name).c_str(), BM_Extract, &jar)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_WholeExtract/" + name).c_str(), BM_WholeExtract, &jar)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_WholeExtractWithoutAnalysis/" + name).c_str(), BM_WholeExtractWithoutAnalysis,
                                     &jar)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    bool met = true;
    for (const Jar& jar : g_jars) {
        Samples whole, without, extract;
        AnalysisTimes analysis;
        for (int round = 0; round < rounds; ++round) {
            Time(whole, [&] { return WholeExtract(jar); });
            Time(without, [&] { return WholeExtract(jar, false); });
            Time(extract, [&] { return Extract(jar); });
            benchmark::DoNotOptimize(Analyse(jar, &analysis));
        }
        std::printf("%s: %zu classes (%d interleaved rounds)\n", jar.path.c_str(), jar.parsed.size(), rounds);
        PrintLine("whole extract", whole);
        PrintLine("  without the analysis", without);
        PrintLine("extract from memory", extract);
        PrintLine("analysis", analysis.total);
        PrintLine("  per-class facts", analysis.facts);
        PrintLine("  program-wide step", analysis.solve);
        PrintLine("  decisions", analysis.decide);
        PrintLine("  freeing", analysis.free);
        const auto ratio = [](const std::vector<double>& a, const std::vector<double>& b, double (*f)(std::vector<double>)) {
            return 100.0 * f(a) / f(b);
        };
        std::printf("  analysis alone / whole extract: wall best %.0f%%, median %.0f%%; cpu best %.0f%%, median %.0f%%\n",
                    ratio(analysis.total.wall, whole.wall, Samples::Best),
                    ratio(analysis.total.wall, whole.wall, Samples::Median),
                    ratio(analysis.total.cpu, whole.cpu, Samples::Best),
                    ratio(analysis.total.cpu, whole.cpu, Samples::Median));
        const double bestWall = ratio(whole.wall, without.wall, Samples::Best) - 100.0;
        const double bestCpu = ratio(whole.cpu, without.cpu, Samples::Best) - 100.0;
        const double medianWall = ratio(whole.wall, without.wall, Samples::Median) - 100.0;
        const double medianCpu = ratio(whole.cpu, without.cpu, Samples::Median) - 100.0;
        std::printf("  added to extract by the analysis: wall best %+.0f%%, median %+.0f%%; cpu best %+.0f%%, "
                    "median %+.0f%% (goal <= 50%%)\n",
                    bestWall, medianWall, bestCpu, medianCpu);
        met = met && bestWall <= 50.0 && bestCpu <= 50.0;
    }
    std::filesystem::remove_all(scratch);
    benchmark::Shutdown();
    return met ? 0 : 1;
}
