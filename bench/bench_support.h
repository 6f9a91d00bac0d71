// What the benchmark programs share: each measures a piece of work next to a
// plain baseline on the same machine and checks the ratio of the two, so the
// bounds hold on a slow machine as on a fast one.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

// Keeps the mean real time of every run for the ratios.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                Times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Times;
};

struct TRatio {
    const char *what;
    const char *work;
    const char *base;
    double bound;
};

// Runs the benchmarks the command line selects, then prints each ratio
// (width: of its description column). Returns 0 when every measured ratio
// holds its bound, 3 when one does not, 1 on an unknown argument.
inline int RunBenchmarksWithRatios(int &argc, char **argv, std::initializer_list<TRatio> ratios, int width)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    int missed = 0;
    std::printf("\nRatios (bound in brackets):\n");
    for (const TRatio &r : ratios) {
        const auto work = reporter.Times.find(r.work);
        const auto base = reporter.Times.find(r.base);
        if (work == reporter.Times.end() || base == reporter.Times.end() || base->second <= 0) {
            std::printf("  %-*s not measured\n", width, r.what);
            continue;
        }
        const double ratio = work->second / base->second;
        const bool ok = ratio <= r.bound;
        missed += ok ? 0 : 1;
        std::printf("  %-*s %7.2f  (<= %g) %s\n", width, r.what, ratio, r.bound, ok ? "ok" : "MISSED");
    }
    return missed == 0 ? 0 : 3;
}
