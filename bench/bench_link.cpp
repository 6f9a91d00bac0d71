// Link benchmarks: osh2xx (a child process) against the simulated register
// on a pseudo-terminal.
//   Download9999 / Upload9999: full speed; osh2xx CPU time / the time the
//     exchanged bytes take on a 19200-baud line (11 bits a character),
//     and osh2xx's peak memory.
//   Paced500: the register paces 19200 baud; wall time of the data phase
//     (wake-up to the last ACK) / the line time of its bytes.
#include "sim/USimPty.h"
#include "bench_child.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

TChildRun runOsh2xx(const fs::path &dir, const std::string &port, const std::vector<std::string> &switches)
{
    std::vector<std::string> argv{"osh2xx", "--port", port};
    argv.insert(argv.end(), switches.begin(), switches.end());
    return runChild("osh2xx", dir, argv);
}

fs::path workDir()
{
    const fs::path d = fs::temp_directory_path() / ("orvan-bench-" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
}

void writeCodes(const fs::path &file, int count)
{
    std::ofstream out(file, std::ios::binary);
    char line[80];
    for (int n = 1; n <= count; ++n) {
        std::snprintf(line, sizeof line, "%014d,%2d,%.2x,%9.2f,%-16s,\r\n", n, 1 + n % 30, n % 2, n / 100.0,
                      ("Kod " + std::to_string(n)).c_str());
        out << line;
    }
}

const std::vector<std::string> kModel{"/LW", "/V277PSP", "/P1", "/*"};

void fullSpeed(benchmark::State &state, bool upload)
{
    const fs::path dir = workDir();
    writeCodes(dir / "kody.txt", 9999);
    TChildRun last;
    double ratio = 0;
    for (auto _ : state) {
        TPtySimulator sim;
        std::string error;
        if (!sim.Start(&error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        std::vector<std::string> job = kModel;
        if (upload) {
            // Fill the register first (not measured).
            std::vector<std::string> down = kModel;
            down.insert(down.end(), {"/Fkody.txt", "/T11", "/AABDE", "/XD"});
            if (runOsh2xx(dir, sim.PortPath(), down).ExitCode != 0) {
                state.SkipWithError("download before the upload failed");
                return;
            }
            job.insert(job.end(), {"/Fback.txt", "/T11", "/AABDE", "/XU"});
        } else {
            job.insert(job.end(), {"/Fkody.txt", "/T11", "/AABDE", "/XD"});
        }
        const uint64_t before = phaseBytes(sim);
        last = runOsh2xx(dir, sim.PortPath(), job);
        const uint64_t bytes = phaseBytes(sim) - before;
        sim.Stop();
        if (last.ExitCode != 0) {
            state.SkipWithError("osh2xx failed");
            return;
        }
        ratio = last.CpuSeconds / lineSeconds(bytes);
        state.counters["bytes"] = static_cast<double>(bytes);
        state.counters["line_s"] = lineSeconds(bytes);
    }
    state.counters["osh2xx_cpu_s"] = last.CpuSeconds;
    state.counters["cpu_per_line_time"] = ratio;   // target <= 0.01
    state.counters["osh2xx_maxrss_MB"] = last.MaxRssMB; // target <= 16
    std::printf("%s 9999 codes: osh2xx CPU %.3f s, line time %.1f s, ratio %.4f (<= 0.01), peak RSS %.1f MB (<= 16)\n",
                upload ? "upload" : "download", last.CpuSeconds, state.counters["line_s"].value, ratio,
                last.MaxRssMB);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

void BM_Download9999(benchmark::State &state) { fullSpeed(state, false); }
void BM_Upload9999(benchmark::State &state) { fullSpeed(state, true); }

void BM_Paced500(benchmark::State &state)
{
    const fs::path dir = workDir();
    writeCodes(dir / "kody.txt", 500);
    double ratio = 0, wall = 0, line = 0;
    for (auto _ : state) {
        TPtyOptions pty;
        pty.Baud = static_cast<int>(kLineBaud);
        TPtySimulator sim({}, pty);
        std::string error;
        if (!sim.Start(&error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        std::vector<std::string> job = kModel;
        job.insert(job.end(), {"/Fkody.txt", "/T11", "/AABDE", "/XD"});
        const TChildRun r = runOsh2xx(dir, sim.PortPath(), job);
        const auto phases = sim.Phases();
        sim.Stop();
        if (r.ExitCode != 0 || phases.empty()) {
            state.SkipWithError("osh2xx failed");
            return;
        }
        wall = phases.front().Seconds;
        line = lineSeconds(phases.front().Bytes);
        ratio = wall / line;
        state.SetIterationTime(wall);
    }
    state.counters["data_phase_s"] = wall;
    state.counters["line_s"] = line;
    state.counters["wall_per_line_time"] = ratio; // target <= 1.05
    std::printf("paced 500 codes at 19200: data phase %.3f s, line time %.3f s, ratio %.4f (<= 1.05)\n", wall,
                line, ratio);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

} // namespace

BENCHMARK(BM_Download9999)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Upload9999)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Paced500)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
