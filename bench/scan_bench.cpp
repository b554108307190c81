// Throughput of the two scans on generated images, against a plain memchr pass over the same
// buffer. Time must grow in proportion to the image size.

#include "scan/Scanner.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

namespace {

// Dense: nothing but strings (a class-like constant pool, or a language pack).
// Sparse: one string every 4 KiB of bytes that hold neither 0x00 nor 0x01.
std::string MakeImage(size_t size, bool pack, bool dense)
{
    std::mt19937 random(7);
    std::string bytes;
    bytes.reserve(size + 300);
    while (bytes.size() < size) {
        if (!dense) {
            for (int i = 0; i < 4096; ++i)
                bytes += static_cast<char>('A' + random() % 26);
        }
        const size_t length = 4 + random() % 40;
        bytes += pack ? std::string("\x00", 1) : std::string("\x01\x00", 2);
        bytes += static_cast<char>(length);
        for (size_t i = 0; i < length; ++i)
            bytes += static_cast<char>('a' + random() % 26);
    }
    bytes.resize(size);
    bytes += std::string(pack ? "\x00\x02zz" : "\x01\x00\x02zz", pack ? 4 : 5);
    return bytes;
}

cl::FileImage ImageOf(const std::string& bytes)
{
    cl::FileImage image;
    image.bytes = cl::ByteString(std::string_view(bytes));
    image.loadedSize = image.bytes.ByteLength();
    return image;
}

template <bool Pack, bool Dense>
void BM_Scan(benchmark::State& state)
{
    const cl::FileImage image = ImageOf(MakeImage(static_cast<size_t>(state.range(0)) << 20, Pack, Dense));
    const cl::FilterList filter{cl::ByteString("Warning"), cl::ByteString("Error")};
    cl::StringList list;
    for (auto _ : state) {
        const cl::Status scanned = Pack ? cl::ScanPackImage(image, filter, list) : cl::ScanClassImage(image, filter, list);
        benchmark::DoNotOptimize(scanned.ok());
        benchmark::DoNotOptimize(list.rows.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * image.bytes.ByteLength());
    state.counters["rows"] = static_cast<double>(list.rows.size());
}

void BM_Memchr(benchmark::State& state)
{
    const std::string bytes = MakeImage(static_cast<size_t>(state.range(0)) << 20, false, true);
    for (auto _ : state) {
        size_t hits = 0;
        const char* at = bytes.data();
        const char* end = bytes.data() + bytes.size();
        while (const void* hit = std::memchr(at, 0x01, static_cast<size_t>(end - at))) {
            ++hits;
            at = static_cast<const char*>(hit) + 1;
        }
        benchmark::DoNotOptimize(hits);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

// The floor: one memchr over the whole buffer for a byte that does not occur.
void BM_MemchrPass(benchmark::State& state)
{
    const std::string bytes = MakeImage(static_cast<size_t>(state.range(0)) << 20, false, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(std::memchr(bytes.data(), 0xFF, bytes.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

}  // namespace

BENCHMARK(BM_Scan<false, true>)
    ->Name("ClassScan/dense")
    ->RangeMultiplier(4)
    ->Range(1, 64)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan<false, false>)
    ->Name("ClassScan/sparse")
    ->RangeMultiplier(4)
    ->Range(1, 64)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan<true, true>)->Name("PackScan/dense")->RangeMultiplier(4)->Range(1, 64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan<true, false>)
    ->Name("PackScan/sparse")
    ->RangeMultiplier(4)
    ->Range(1, 64)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memchr)->Name("MemchrEveryTag/dense")->RangeMultiplier(4)->Range(1, 64)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_MemchrPass)->Name("MemchrPass")->RangeMultiplier(4)->Range(1, 64)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
