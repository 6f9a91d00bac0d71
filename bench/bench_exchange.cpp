// Exchange benchmark: "orvan-otx send" (a child process) of a data file with
// 9999 codes to the simulated register on a pseudo-terminal at full speed.
// The figure is the program's CPU time (load, checks, duplicate names,
// exchange file, the whole job) / the time the exchanged bytes take on a
// 19200-baud line (11 bits a character); target <= 0.01.
#include "USimPty.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double kLineBaud = 19200;
double lineSeconds(uint64_t bytes) { return static_cast<double>(bytes) * 11.0 / kLineBaud; }

fs::path binDir()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : self.parent_path();
}

struct TChildRun {
    int ExitCode = -1;
    double CpuSeconds = 0;
};

TChildRun runOtx(const fs::path &dir, const std::vector<std::string> &args)
{
    const std::string exe = (binDir() / "orvan-otx").string();
    TChildRun r;
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
            _exit(126);
        // The data file below is written with a decimal point.
        setenv("LC_ALL", "C.UTF-8", 1);
        setenv("TMPDIR", dir.c_str(), 1);
        std::vector<const char *> argv{"orvan-otx"};
        for (const auto &a : args)
            argv.push_back(a.c_str());
        argv.push_back(nullptr);
        execv(exe.c_str(), const_cast<char *const *>(argv.data()));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0)
        return r;
    r.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.CpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                   + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return r;
}

void writeDataFile(const fs::path &file, int count)
{
    std::ofstream out(file, std::ios::binary);
    out << "[Kody] Numer=1,14;Nazwa=16,16;Grupa=33,2;Cena=36,9;RodzajCeny=46,2;LDW=49,13;LDI=63,9;\r\n";
    char line[120];
    for (int n = 1; n <= count; ++n) {
        std::snprintf(line, sizeof line, "%14d,%-16s,%2d,%9.2f,%s,%13s,%9s,\r\n", n, ("Kod " + std::to_string(n)).c_str(),
                      1 + n % 30, n / 100.0, n % 2 ? "Wp" : "Pr", "0.00", "0.000");
        out << line;
    }
}

uint64_t phaseBytes(const TPtySimulator &sim)
{
    uint64_t bytes = 0;
    for (const auto &p : sim.Phases())
        bytes += p.Bytes;
    return bytes;
}

void BM_OtxSend9999(benchmark::State &state)
{
    const fs::path dir = fs::temp_directory_path() / ("orvan-bench-x-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    writeDataFile(dir / "kody.otx", 9999);
    TChildRun last;
    double ratio = 0, line = 0;
    for (auto _ : state) {
        TPtySimulator sim;
        std::string error;
        if (!sim.Start(&error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        last = runOtx(dir, {"send", "kody.otx", "--port", sim.PortPath(), "--tables", "kody"});
        const uint64_t bytes = phaseBytes(sim);
        sim.Stop();
        if (last.ExitCode != 0) {
            state.SkipWithError("orvan-otx send failed");
            return;
        }
        line = lineSeconds(bytes);
        ratio = last.CpuSeconds / line;
        state.counters["bytes"] = static_cast<double>(bytes);
    }
    state.counters["line_s"] = line;
    state.counters["otx_cpu_s"] = last.CpuSeconds;
    state.counters["cpu_per_line_time"] = ratio; // target <= 0.01
    std::printf("orvan-otx send 9999 codes: CPU %.3f s, line time %.1f s, ratio %.4f (<= 0.01)\n", last.CpuSeconds,
                line, ratio);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

} // namespace

BENCHMARK(BM_OtxSend9999)->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
