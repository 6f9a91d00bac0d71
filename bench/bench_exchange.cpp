// Exchange benchmark: "orvan-otx send" (a child process) of a data file with
// 9999 codes to the simulated register on a pseudo-terminal at full speed.
// The figure is the program's CPU time (load, checks, duplicate names,
// exchange file, the whole job) / the time the exchanged bytes take on a
// 19200-baud line (11 bits a character); target <= 0.01.
#include "sim/USimPty.h"
#include "bench_child.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

TChildRun runOtx(const fs::path &dir, const std::vector<std::string> &args)
{
    std::vector<std::string> argv{"orvan-otx"};
    argv.insert(argv.end(), args.begin(), args.end());
    // The data file below is written with a decimal point; the remembered
    // register contents stay in the benchmark's own folder.
    return runChild("orvan-otx", dir, argv,
                    {{"LC_ALL", "C.UTF-8"},
                     {"TMPDIR", dir.string()},
                     {"XDG_DATA_HOME", dir.string()},
                     {"XDG_CONFIG_HOME", dir.string()}});
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
