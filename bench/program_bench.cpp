// Whole-program translation against the floor a translator would compare it with: for each
// jar (Debian's guava.jar and commons-lang3.jar by default, or the paths given), `unzip -p JAR`
// into /dev/null is run as a child process, then the command line's extract and apply are
// done in this process exactly as classlingo-cli does them (files read, catalogue and output
// jar written), with a catalogue where every entry extract offers is translated. Rounds are interleaved and
// the best time of each side is kept, so that all three see the same machine load. Prints
// (extract + apply) / unzip per jar, the goal being at most 3, in wall time (what the
// translator waits) and in CPU time (all threads; what a machine busy with other work would
// see).
// Usage: program_bench [--rounds N] [JAR...]

#include "text/ByteString.h"
#include "files/FileOps.h"
#include "catalogue/Po.h"
#include "CatalogueNotes.h"
#include "catalogue/ProgramSession.h"
#include "catalogue/Translation.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace cat = cl::catalogue;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double CpuMs(const rusage& usage)
{
    return (static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_stime.tv_sec)) * 1e3 +
           (static_cast<double>(usage.ru_utime.tv_usec) + static_cast<double>(usage.ru_stime.tv_usec)) * 1e-3;
}

double OwnCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return CpuMs(usage);
}

struct Times {
    double wall = 1e9;
    double cpu = 1e9;
    void Keep(double w, double c)
    {
        wall = std::min(wall, w);
        cpu = std::min(cpu, c);
    }
};

// `unzip -p JAR > /dev/null`: every entry inflated and checked, nothing kept. False when it
// cannot be run.
bool Unzip(const std::string& jar, Times& times)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string program = "unzip";
    std::string flag = "-p";
    std::string path = jar;
    char* argv[] = {program.data(), flag.data(), path.data(), nullptr};
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "unzip", &actions, nullptr, argv, environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double ms = Since(start);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    times.Keep(ms, CpuMs(usage));
    return true;
}

// classlingo-cli extract JAR OUT.po, through the program session as the command does it.
bool Extract(const std::string& jar, const std::string& poPath)
{
    cat::ProgramSession session;
    if (!session.Open(jar, {}))
        return false;
    return session.SaveCatalogue(poPath, {"", "program_bench"}, false, cltext::Notes()).ok();
}

// classlingo-cli apply JAR IN.po OUT.jar, the same way.
bool Apply(const std::string& jar, const std::string& poPath, const std::string& output, std::size_t& classesChanged)
{
    const cl::Result<cat::PoCatalogue> catalogue = cat::ReadPoFile(poPath);
    if (!catalogue)
        return false;
    cat::ProgramSession session;
    cat::OpenOptions options;
    options.keepProgram = true;
    if (!session.Open(jar, options))
        return false;
    session.ImportMessages(*catalogue, cat::ImportMode::Continue, poPath);
    cat::GenerateRequest request;
    request.output = output;
    cl::Result<cat::PreparedGenerate> prepared = session.PrepareGenerate(request);
    if (!prepared || prepared->HasProblems())
        return false;
    const cl::Result<cat::GenerateReport> report = prepared->Commit();
    if (!report)
        return false;
    classesChanged = report->summary.classesChanged;
    return true;
}

// Every entry of a fresh extract translated, as a translator hands the catalogue back: what the
// program reads is not offered, so it stays untranslated. A prefix keeps a recipe's slots and a
// pattern's placeholders as they are.
bool WriteTranslatedCatalogue(const std::string& jar, const std::string& poPath)
{
    cat::ProgramSession session;
    if (!session.Open(jar, {}))
        return false;
    for (std::size_t i = 0; i < session.Entries().size(); ++i) {
        if (session.Entries()[i].offered)
            session.SetTranslation(i, "译·" + session.Entries()[i].msgid);
    }
    return session.SaveCatalogue(poPath, {"", "program_bench"}, false, cltext::Notes()).ok();
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = 5;
    std::vector<std::string> jars;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else
            jars.push_back(arg);
    }
    if (jars.empty())
        jars = {"/usr/share/java/guava.jar", "/usr/share/java/commons-lang3.jar"};

    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("classlingo-program-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch);
    bool allMet = true;
    for (const std::string& jar : jars) {
        const std::string extracted = (scratch / "extracted.po").string();
        const std::string translated = (scratch / "translated.po").string();
        const std::string output = (scratch / "output.jar").string();
        if (!WriteTranslatedCatalogue(jar, translated)) {
            std::fprintf(stderr, "%s: cannot be read or its catalogue cannot be written\n", jar.c_str());
            allMet = false;
            continue;
        }
        Times unzip, extract, apply;
        std::size_t classesChanged = 0;
        bool failed = false;
        for (int round = 0; round < rounds && !failed; ++round) {
            if (!Unzip(jar, unzip)) {
                std::fprintf(stderr, "unzip -p %s failed\n", jar.c_str());
                failed = true;
                break;
            }
            Clock::time_point start = Clock::now();
            double cpu = OwnCpuMs();
            failed = !Extract(jar, extracted);
            extract.Keep(Since(start), OwnCpuMs() - cpu);
            start = Clock::now();
            cpu = OwnCpuMs();
            failed = failed || !Apply(jar, translated, output, classesChanged);
            apply.Keep(Since(start), OwnCpuMs() - cpu);
        }
        if (failed) {
            std::fprintf(stderr, "%s: extract or apply failed\n", jar.c_str());
            allMet = false;
            continue;
        }
        const double wallRatio = (extract.wall + apply.wall) / unzip.wall;
        const double cpuRatio = (extract.cpu + apply.cpu) / unzip.cpu;
        allMet = allMet && wallRatio <= 3.0;
        std::printf("%s: %zu classes changed (best of %d rounds)\n", jar.c_str(), classesChanged, rounds);
        std::printf("  wall: unzip -p %.1f ms; extract %.1f ms + apply %.1f ms = %.2fx unzip -p (goal <= 3x)\n",
                    unzip.wall, extract.wall, apply.wall, wallRatio);
        std::printf("  cpu:  unzip -p %.1f ms; extract %.1f ms + apply %.1f ms = %.2fx unzip -p\n", unzip.cpu,
                    extract.cpu, apply.cpu, cpuRatio);
    }
    std::filesystem::remove_all(scratch);
    return allMet ? 0 : 1;
}
