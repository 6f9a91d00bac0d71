// The noisy line: damage as the seed says, jobs that end (failed or not)
// however noisy the line, in virtual time.
#include "link/UKOMDisplay.h"
#include "link/UModule.h"
#include "sim/USimLine.h"
#include "sim/USimRegister.h"
#include "sim/USimulator.h"
#include "link/UVirtualClock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int Code;
    int NoisyBytes;
    uint64_t ElapsedMs;
};

// A full fiscal memory read (about 8 kB from the register) on a line with
// the given noise.
Outcome FiscalRead(int permille, uint64_t seed, const fs::path &dir, uint64_t patienceMs = 0, bool *stopped = nullptr)
{
    TSimRegister reg;
    TSimOptions o;
    o.NoisePermille = permille;
    o.NoiseSeed = seed;
    TSimulator sim(reg, o);
    TVirtualClock clock;
    TQuietDisplay display;
    display.Start();
    TModuleResult result;
    RunModule("/LW /V277PSP /P1 /Q /M0 /Fpf.txt /XP", dir.string(), display, clock, DefaultJobTable(),
              [&](TModuleContext &ctx) {
                  auto line = std::make_unique<TSimLine>(ctx, sim, clock);
                  if (patienceMs)
                      line->StopAfter(patienceMs, stopped);
                  return line;
              },
              result);
    return {result.Code, sim.Counters().NoisyBytes, clock.Elapsed()};
}

} // namespace

// The user in line time: a job still running after the patience is
// stopped, and says so; one that ends sooner is left alone.
TEST(SimLine, StopsAJobThatRunsLongerThanThePatience)
{
    const fs::path dir = fs::temp_directory_path() / ("orvan-patience-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // Every byte damaged: the module keeps repeating until it gives up.
    const Outcome alone = FiscalRead(1000, 1, dir);
    ASSERT_GT(alone.ElapsedMs, 4000u);
    struct Case {
        uint64_t patience;
        bool stops;
    };
    for (const Case &c : {Case{alone.ElapsedMs / 4, true}, Case{alone.ElapsedMs * 2, false}}) {
        SCOPED_TRACE(c.patience);
        bool stopped = false;
        const Outcome o = FiscalRead(1000, 1, dir, c.patience, &stopped);
        EXPECT_EQ(stopped, c.stops);
        EXPECT_NE(o.Code, 0);
        if (c.stops) {
            EXPECT_LT(o.ElapsedMs, alone.ElapsedMs);
        } else {
            EXPECT_EQ(o.ElapsedMs, alone.ElapsedMs);
        }
    }
    fs::remove_all(dir);
}

TEST(SimNoise, DamageFollowsTheSeedAndEveryJobEnds)
{
    const fs::path dir = fs::temp_directory_path() / ("orvan-noise-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    struct Case {
        int permille;
        int minDamaged, maxDamaged;
        bool mustFail;
    };
    const Case cases[] = {{0, 0, 0, false}, {5, 10, 200, false}, {20, 5, 800, false}, {1000, 1, 100000, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.permille);
        const Outcome a = FiscalRead(c.permille, 42, dir);
        const Outcome b = FiscalRead(c.permille, 42, dir);
        EXPECT_EQ(a.Code, b.Code);
        EXPECT_EQ(a.NoisyBytes, b.NoisyBytes);
        EXPECT_GE(a.NoisyBytes, c.minDamaged);
        EXPECT_LE(a.NoisyBytes, c.maxDamaged);
        if (c.permille == 0) {
            EXPECT_EQ(a.Code, 0);
        }
        if (c.mustFail) {
            EXPECT_NE(a.Code, 0);
        }
        // Ends within the protocol's time-outs of a few minutes of line time.
        EXPECT_LT(a.ElapsedMs, 30u * 60u * 1000u);
    }
    EXPECT_NE(FiscalRead(20, 1, dir).NoisyBytes, FiscalRead(20, 2, dir).NoisyBytes);
    fs::remove_all(dir);
}
