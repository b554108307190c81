// What the class-file model adds to opening a class: every class of a JAR (default
// /usr/share/java/guava.jar) is extracted to a scratch folder and opened as the window does it
// (the file read whole through the engine, the byte scan run), then again with the parse, the
// roles and a role looked up for every row. The same is measured from memory (no file read),
// which is the harsher ratio. Prints both; the first must stay at or below 25%.
// Usage: classfile_bench [JAR] [benchmark flags]

#include "text/ByteStringErrors.h"
#include "files/FileOps.h"
#include "JarClasses.h"
#include "scan/Scanner.h"
#include "classfile/ClassFile.h"
#include "classfile/Roles.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> g_classes;
std::vector<std::string> g_paths;  // the same classes as files
size_t g_bytes = 0;

bool ExtractClasses(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    for (size_t i = 0; i < g_classes.size(); ++i) {
        g_paths.push_back((folder / (std::to_string(i) + ".class")).string());
        std::ofstream out(g_paths.back(), std::ios::binary);
        out.write(g_classes[i].data(), static_cast<std::streamsize>(g_classes[i].size()));
        if (!out)
            return false;
    }
    return true;
}

bool LoadClasses(const char* jar)
{
    for (bench::JarClass& c : bench::ReadJarClasses(jar).value_or(std::vector<bench::JarClass>{})) {
        g_bytes += c.bytes.size();
        g_classes.push_back(std::move(c.bytes));
    }
    return !g_classes.empty();
}

// Opening one class as the window does: image and scan. Returns the rows for the next step.
size_t ScanImage(const std::string& bytes, cl::FileImage& image, cl::StringList& list)
{
    image.bytes = cl::ByteString(std::string_view(bytes));
    image.loadedSize = image.bytes.ByteLength();
    // A pattern cut short by the end of the file: the rows before it stay.
    (void)cl::ScanClassImage(image, cl::FilterList{}, list);
    return list.rows.size();
}

size_t OpenClass(const std::string& bytes, cl::StringList& list)
{
    cl::FileImage image;
    return ScanImage(bytes, image, list);
}

// The model is parsed from the window's image itself, as the document does it.
size_t OpenWithRoles(const std::string& bytes, cl::StringList& list)
{
    cl::FileImage image;
    size_t rows = ScanImage(bytes, image, list);
    using namespace cl::classfile;
    const ClassFile cf = ParseClassFile(image.bytes);
    const ScanRoleMap map(cf, ComputeRoles(cf));
    return rows + map.RolesOfRows(list).size();
}

// From the file: the bytes read whole as the window reads them, then as above.
bool ReadClassFile(const std::string& path, std::string& bytes)
{
    cl::Result<cl::OpenedFile> file = cl::OpenWholeFile(path);
    cl::ByteString read;
    int32_t size = 0;
    if (!file || !cl::ReadWholeFile(*file, read, size))
        return false;
    bytes.assign(read.View());
    return true;
}

size_t ReadAndOpen(const std::string& path, cl::StringList& list)
{
    std::string bytes;
    return ReadClassFile(path, bytes) ? OpenClass(bytes, list) : 0;
}

size_t ReadAndOpenWithRoles(const std::string& path, cl::StringList& list)
{
    std::string bytes;
    return ReadClassFile(path, bytes) ? OpenWithRoles(bytes, list) : 0;
}

size_t ParseOnly(const std::string& bytes)
{
    using namespace cl::classfile;
    const ClassFile cf = ParseClassFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return ComputeRoles(cf).size();
}

template <size_t (*Open)(const std::string&, cl::StringList&), bool FromFiles>
void BM_Open(benchmark::State& state)
{
    cl::StringList list;
    for (auto _ : state) {
        for (const std::string& bytes : FromFiles ? g_paths : g_classes)
            benchmark::DoNotOptimize(Open(bytes, list));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
    state.counters["classes"] = static_cast<double>(g_classes.size());
}

void BM_ParseAndRolesOnly(benchmark::State& state)
{
    for (auto _ : state) {
        for (const std::string& bytes : g_classes)
            benchmark::DoNotOptimize(ParseOnly(bytes));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
}

BENCHMARK(BM_Open<ReadAndOpen, true>)->Name("BM_ReadScan")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open<ReadAndOpenWithRoles, true>)->Name("BM_ReadScanRoles")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open<OpenClass, false>)->Name("BM_MemoryScan")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open<OpenWithRoles, false>)->Name("BM_MemoryScanRoles")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAndRolesOnly)->Unit(benchmark::kMillisecond);

// CPU time of this process: other work on a shared machine does not count against either side.
double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Best of several interleaved rounds over all classes, so that both sides see the same
// machine load.
template <size_t (*Open)(const std::string&, cl::StringList&), bool FromFiles>
double RoundSeconds()
{
    cl::StringList list;
    size_t sink = 0;
    const double start = CpuSeconds();
    for (const std::string& bytes : FromFiles ? g_paths : g_classes)
        sink += Open(bytes, list);
    benchmark::DoNotOptimize(sink);
    return CpuSeconds() - start;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* jar = "/usr/share/java/guava.jar";
    if (argc > 1 && argv[1][0] != '-') {
        jar = argv[1];
        --argc;
        ++argv;
    }
    if (!LoadClasses(jar)) {
        std::fprintf(stderr, "no classes read from %s\n", jar);
        return 1;
    }
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("classlingo-bench-" + std::to_string(::getpid()));
    if (!ExtractClasses(scratch)) {
        std::fprintf(stderr, "cannot write the classes to %s\n", scratch.c_str());
        std::filesystem::remove_all(scratch);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    double fileBase = 1e9, fileWith = 1e9, memoryBase = 1e9, memoryWith = 1e9;
    for (int round = 0; round < 15; ++round) {
        fileBase = std::min(fileBase, RoundSeconds<ReadAndOpen, true>());
        fileWith = std::min(fileWith, RoundSeconds<ReadAndOpenWithRoles, true>());
        memoryBase = std::min(memoryBase, RoundSeconds<OpenClass, false>());
        memoryWith = std::min(memoryWith, RoundSeconds<OpenWithRoles, false>());
    }
    std::filesystem::remove_all(scratch);
    std::printf("%s: %zu classes, %zu bytes (best of 15 rounds, CPU time)\n", jar, g_classes.size(), g_bytes);
    std::printf("read file + scan: %.2f ms; + parse, roles, row lookup: %.2f ms: parsing adds %.1f%% (limit 25%%)\n",
                fileBase * 1e3, fileWith * 1e3, (fileWith / fileBase - 1.0) * 100.0);
    std::printf("from memory, scan: %.2f ms; + parse, roles, row lookup: %.2f ms: adds %.1f%%\n", memoryBase * 1e3,
                memoryWith * 1e3, (memoryWith / memoryBase - 1.0) * 100.0);
    benchmark::Shutdown();
    return fileWith / fileBase - 1.0 <= 0.25 ? 0 : 1;
}
