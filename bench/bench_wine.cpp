// The Windows build under Wine over a real COM port: Wine's COM5 is a link
// to the simulated register's pseudo-terminal.
//   WineSend9999: CPU time of `orvan-otx.exe send` of 9 999 codes / the
//     time its bytes take on a 19200-baud line (11 bits a character).
// Needs ORVAN_WINDOWS_OTX (the .exe) and WINEPREFIX; scripts/windows-test
// --bench sets both.
#include "sim/USimPty.h"
#include "bench_child.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string windowsPath(const fs::path &p)
{
    std::string s = "Z:" + p.string();
    for (char &c : s)
        if (c == '/')
            c = '\\';
    return s;
}

void BM_WineSend9999(benchmark::State &state)
{
    const char *exe = std::getenv("ORVAN_WINDOWS_OTX");
    const char *prefix = std::getenv("WINEPREFIX");
    if (!exe || !prefix) {
        state.SkipWithError("ORVAN_WINDOWS_OTX or WINEPREFIX is not set (scripts/windows-test … --bench)");
        return;
    }
    const fs::path dir = fs::temp_directory_path() / ("orvan-bench-wine-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    {
        std::ofstream csv(dir / "kody.csv", std::ios::binary);
        for (int n = 1; n <= 9999; ++n)
            csv << n << ";Kod " << n << ";" << 1 + n % 8 << ";" << n / 100 << "," << n % 100 / 10 << n % 10 << "\n";
    }
    fs::copy_file(binDir() / "O277PS.OTX", dir / "kody.otx", fs::copy_options::overwrite_existing);
    if (runChild("orvan-otx", dir,
                 {"orvan-otx", "import", "kody.csv", "kody.otx", "--table", "kody", "--columns",
                  "Numer=1,Nazwa=2,Grupa=3,Cena=4"})
            .ExitCode != 0) {
        state.SkipWithError("the data file of 9 999 codes could not be made");
        return;
    }
    const fs::path com5 = fs::path(prefix) / "dosdevices" / "com5";
    TChildRun last;
    double ratio = 0;
    uint64_t bytes = 0;
    for (auto _ : state) {
        TPtySimulator sim;
        std::string error;
        if (!sim.Start(&error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        std::error_code ec;
        fs::remove(com5, ec);
        fs::create_symlink(sim.PortPath(), com5, ec);
        const uint64_t before = phaseBytes(sim);
        last = runChild("/usr/lib/wine/wine64", dir,
                        {"wine64", exe, "send", windowsPath(dir / "kody.otx"), "--port", "COM5", "--baud", "19200"},
                        {{"ORVAN_VIRTUAL_LINE", "1"}, {"WINEDEBUG", "-all"}});
        bytes = phaseBytes(sim) - before;
        sim.Stop();
        if (last.ExitCode != 0) {
            state.SkipWithError("orvan-otx.exe send failed");
            return;
        }
        ratio = last.CpuSeconds / lineSeconds(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["line_s"] = lineSeconds(bytes);
    state.counters["cpu_s"] = last.CpuSeconds;
    state.counters["cpu_per_line_time"] = ratio; // target <= 0.01
    std::printf("orvan-otx.exe send under Wine, 9999 codes: CPU %.3f s, line time %.1f s, ratio %.4f (<= 0.01)\n",
                last.CpuSeconds, lineSeconds(bytes), ratio);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

} // namespace

BENCHMARK(BM_WineSend9999)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
