// The register search runs the ports side by side: its wall time over 8
// silent ports and 1 register, at one speed, against the time one silent
// port takes for its three wake-ups. Target: at most 2.
#include "link/UClock.h"
#include "link/URegisterSearch.h"
#include "sim/USimPty.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kBaud = 9600;

double Seconds(const std::chrono::steady_clock::time_point &since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::unique_ptr<TPtySimulator> Register(bool silent)
{
    TSimOptions o;
    o.NoWakeUp = silent;
    auto sim = std::make_unique<TPtySimulator>(o);
    if (!sim->Start())
        return nullptr;
    return sim;
}

void BM_SearchNinePorts(benchmark::State &state)
{
    double one = 0, search = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<TPtySimulator>> sims;
        std::vector<std::string> ports;
        for (int i = 0; i < 9; ++i) {
            sims.push_back(Register(i != 4));
            if (!sims.back()) {
                state.SkipWithError("no pseudo-terminal");
                return;
            }
            ports.push_back(sims.back()->PortPath());
        }
        const TQueryRunner run = PortQueryRunner(SteadyClock());

        auto start = std::chrono::steady_clock::now();
        TProbeDisplay display;
        const TProbeResult silent = QueryRegister(TProbe{ports[0], kBaud, 1}, display, run);
        one = Seconds(start);

        start = std::chrono::steady_clock::now();
        TRegisterSearch s(ports, {kBaud}, 1, run);
        s.Start();
        s.Wait();
        search = Seconds(start);
        if (silent.Code != 0x1002 || !s.Found() || s.Found()->Port != ports[4])
            state.SkipWithError("unexpected search result");
        state.SetIterationTime(search);
    }
    const double ratio = search / one;
    state.counters["one_port_s"] = one;
    state.counters["search_s"] = search;
    state.counters["search_per_port"] = ratio; // target <= 2
    std::printf("search over 8 silent ports and 1 register at %d b/s: %.3f s, one port's three wake-ups %.3f s, "
                "ratio %.3f (<= 2)\n",
                kBaud, search, one, ratio);
}

} // namespace

BENCHMARK(BM_SearchNinePorts)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
