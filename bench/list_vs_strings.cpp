// list_vs_strings: `classlingo-cli list` against GNU `strings -a -n 2` on two 32 MiB images of
// densely packed strings (a class-like constant pool and a language pack, about two million
// strings each, a sixth of them Chinese). The two programs run alternately, pair by pair, with
// their output thrown away; printed are the median time of each, the median of the per-pair
// ratios, and the peak memory of the list against the file's size.
//
// Usage: list_vs_strings [--cli PATH] [--pairs N] [--keep FOLDER]
//   --cli    the classlingo-cli to measure (default: the one built beside this program)
//   --pairs  how many pairs to run per image (default 5)
//   --keep   write the images to FOLDER and leave them there (default: a temporary folder)

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr size_t kImageSize = size_t{32} << 20;

// Appends one character of the CJK block (U+4E00..U+9FA5, all in the GBK code page) as UTF-8.
void AppendChinese(std::string& out, std::mt19937& random)
{
    const unsigned cp = 0x4E00 + random() % (0x9FA6 - 0x4E00);
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
}

// Each string: the marker (01 00 for a class, 00 for a pack), the length byte, 6 to 12 bytes of
// text (ASCII, or every sixth string two to four Chinese characters) and three other bytes that
// hold neither 00 nor 01, so that they start no pattern of their own.
std::string MakeImage(bool pack, size_t* strings)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:_-";
    std::mt19937 random(pack ? 2 : 1);
    std::string bytes;
    bytes.reserve(kImageSize + 64);
    size_t count = 0;
    std::string text;
    while (bytes.size() + 32 < kImageSize) {
        text.clear();
        if (count % 6 == 5) {
            const unsigned characters = 2 + random() % 3;
            for (unsigned i = 0; i < characters; ++i)
                AppendChinese(text, random);
        } else {
            const unsigned length = 6 + random() % 7;
            for (unsigned i = 0; i < length; ++i)
                text += kLetters[random() % (sizeof(kLetters) - 1)];
        }
        bytes += pack ? std::string("\x00", 1) : std::string("\x01\x00", 2);
        bytes += static_cast<char>(text.size());
        bytes += text;
        for (int i = 0; i < 3; ++i)
            bytes += static_cast<char>(2 + random() % 30);
        ++count;
    }
    *strings = count;
    return bytes;
}

struct Run {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
};

// Runs `args` with stdout on /dev/null and returns its time and peak resident memory.
Run Spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int raw = 0;
    rusage usage{};
    wait4(pid, &raw, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    run.peakKiB = usage.ru_maxrss;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char* argv[])
{
    std::string cli = CLASSLINGO_CLI_EXE;
    int pairs = 5;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--cli" && i + 1 < argc) {
            cli = argv[++i];
        } else if (arg == "--pairs" && i + 1 < argc) {
            pairs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else {
            std::fprintf(stderr, "usage: list_vs_strings [--cli PATH] [--pairs N] [--keep FOLDER]\n");
            return 2;
        }
    }
    namespace fs = std::filesystem;
    fs::path folder = keep;
    if (keep.empty()) {
        char pattern[] = "/tmp/list_vs_strings.XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = pattern;
    }
    fs::create_directories(folder);
    // A short word list, so that the class image has suspicious rows that wait for the end.
    const fs::path filter = folder / "Filter.ini";
    std::ofstream(filter) << "abcdefg\nHello\nzzzzzz\n";

    std::printf("classlingo-cli: %s\nyardstick:      strings -a -n 2 (output to /dev/null), %d pairs per image\n",
                cli.c_str(), pairs);
    bool allDone = true;
    for (const bool pack : {false, true}) {
        size_t strings = 0;
        size_t imageSize = 0;
        const fs::path path = folder / (pack ? "dense.pack" : "dense.class");
        {
            // Gone before the runs: a child started with posix_spawn shares this process's
            // memory until it starts its program.
            const std::string image = MakeImage(pack, &strings);
            imageSize = image.size();
            std::ofstream(path, std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));
        }
        // The system hands a child this process's peak memory as its own starting point: the
        // peak is reset now that the image is gone.
        std::ofstream("/proc/self/clear_refs") << "5";

        std::vector<std::string> list{cli, "list"};
        if (pack)
            list.emplace_back("--pack");
        list.insert(list.end(), {"--filter", filter.string(), path.string()});
        const std::vector<std::string> yardstick{"/usr/bin/strings", "-a", "-n", "2", path.string()};

        std::vector<double> listTimes, stringsTimes, ratios;
        long peakKiB = 0;
        long stringsPeakKiB = 0;
        for (int i = 0; i < pairs; ++i) {
            const Run a = Spawn(list);
            const Run b = Spawn(yardstick);
            if (a.status != 0 || b.status != 0) {
                std::fprintf(stderr, "exit status: list %d, strings %d\n", a.status, b.status);
                allDone = false;
            }
            listTimes.push_back(a.seconds);
            stringsTimes.push_back(b.seconds);
            ratios.push_back(a.seconds / b.seconds);
            peakKiB = std::max(peakKiB, a.peakKiB);
            stringsPeakKiB = std::max(stringsPeakKiB, b.peakKiB);
        }
        const double fileMiB = static_cast<double>(imageSize) / 1048576.0;
        std::printf("\n%s image: %.1f MiB, %zu strings\n", pack ? "language pack" : "class", fileMiB, strings);
        std::printf("  classlingo-cli list:  median %7.1f ms\n", Median(listTimes) * 1e3);
        std::printf("  strings -a -n 2:      median %7.1f ms\n", Median(stringsTimes) * 1e3);
        std::printf("  time ratio list/strings, median of %d pairs: %.3f\n", pairs, Median(ratios));
        std::printf("  list peak memory: %.1f MiB = %.2f x the file (strings: %.1f MiB)\n",
                    static_cast<double>(peakKiB) / 1024.0, static_cast<double>(peakKiB) / 1024.0 / fileMiB,
                    static_cast<double>(stringsPeakKiB) / 1024.0);
    }
    if (keep.empty())
        fs::remove_all(folder);
    return allDone ? 0 : 1;
}
