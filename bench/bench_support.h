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

// Keeps the real time of every benchmark for the ratios: the median of its
// repetitions when it was repeated, so that one run disturbed by other work
// on the machine does not decide a ratio.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs) {
            if (r.error_occurred)
                continue;
            const std::string name = r.run_name.str();
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                Times[name] = r.GetAdjustedRealTime();
                Medians[name] = true;
            } else if (r.run_type == Run::RT_Iteration && !Medians[name]) {
                Times[name] = r.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Times;
    std::map<std::string, bool> Medians;
};

struct TRatio {
    const char *what;
    const char *work;
    const char *base;
    double bound;
};

// Runs the benchmarks the command line selects, then prints each ratio
// (width: of its description column). repetitions > 1 repeats each and
// takes the medians, unless the command line says otherwise. Returns 0 when
// every measured ratio holds its bound, 3 when one does not, 1 on an
// unknown argument.
inline int RunBenchmarksWithRatios(int argc, char **argv, std::initializer_list<TRatio> ratios, int width,
                                   int repetitions = 1)
{
    std::vector<std::string> extra;
    bool given = false;
    for (int i = 1; i < argc; ++i)
        given = given || std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (repetitions > 1 && !given) {
        extra = {"--benchmark_repetitions=" + std::to_string(repetitions), "--benchmark_display_aggregates_only=true"};
    }
    std::vector<char *> args(argv, argv + argc);
    for (std::string &e : extra)
        args.push_back(e.data());
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
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
