// Clocks, timers, the delay tables and the byte buffer.
#include "link/USuperString.h"
#include "link/UTimer.h"
#include "link/UVirtualClock.h"

#include <gtest/gtest.h>

TEST(VirtualClock, SleepAdvancesAndWrapsAt32Bits)
{
    TVirtualClock clock(TVirtualClock::NearWrap(5));
    EXPECT_EQ(clock.TickCount(), 0xFFFFFFFBu);
    clock.Sleep(3);
    EXPECT_EQ(clock.TickCount(), 0xFFFFFFFEu);
    clock.Sleep(10);
    EXPECT_EQ(clock.TickCount(), 8u);
    EXPECT_EQ(clock.Elapsed(), 13u);
    clock.Sleep(0);
    EXPECT_EQ(clock.Sleeps(), 3u);
    EXPECT_EQ(clock.Elapsed(), 13u);
}

struct TimerCase {
    uint32_t start;
    uint32_t duration;
    uint32_t waited;
    bool expired;
};

void PrintTo(const TimerCase &c, std::ostream *os)
{
    // Starts near the wrap of the tick counter read better in hex.
    *os << "start ";
    if (c.start >= 0x80000000u)
        *os << "0x" << std::hex << std::uppercase << c.start << std::dec;
    else
        *os << c.start;
    *os << ", duration " << c.duration << ", waited " << c.waited;
}

class TimerTest : public ::testing::TestWithParam<TimerCase> {};

TEST_P(TimerTest, ExpiresWhenTheIntervalIsLeft)
{
    const TimerCase c = GetParam();
    TVirtualClock clock(c.start);
    TTimer timer(clock);
    timer.Start(c.duration);
    clock.Advance(c.waited);
    EXPECT_EQ(timer.Expired(), c.expired);
}

INSTANTIATE_TEST_SUITE_P(
    Intervals, TimerTest,
    ::testing::Values(TimerCase{0, 2000, 0, false}, TimerCase{0, 2000, 1999, false},
                      TimerCase{0, 2000, 2000, true}, TimerCase{1000, 5000, 7000, true},
                      // across the wrap of the tick counter
                      TimerCase{0xFFFFFF00u, 2000, 1999, false},
                      TimerCase{0xFFFFFF00u, 2000, 2000, true},
                      TimerCase{0xFFFFFFFFu, 8000, 1, false},
                      TimerCase{0, 0, 0, true}));

TEST(Delays, SameForEveryModelAndSafeOutsideTheTable)
{
    const std::pair<TLinkDelay, uint32_t> expected[] = {
        {TLinkDelay::BeforeDTR, 200},       {TLinkDelay::BeforeWakeUp, 300},
        {TLinkDelay::BeforeFinalEOT, 200},  {TLinkDelay::AfterFinalEOT, 150},
        {TLinkDelay::BetweenRTSAndDTR, 100}, {TLinkDelay::EndOfTransfer, 1000},
        {TLinkDelay::Turnaround, 100},
    };
    for (auto [which, ms] : expected) {
        for (int model : {0, 4, 5, 6, 9, 11, -1, 12, 1000})
            EXPECT_EQ(LinkDelay(which, model), ms) << static_cast<int>(which) << " model " << model;
    }
}

TEST(Delays, RepetitionDelayByAttempt)
{
    const uint32_t expected[] = {0, 300, 800, 1500, 250, 0};
    for (int a = 0; a <= 5; ++a)
        EXPECT_EQ(RepetitionDelay(a), expected[a]) << a;
    EXPECT_EQ(RepetitionDelay(-1), 0u);
}

TEST(SuperString, GrowsInStepsUpToTheLimit)
{
    TSuperString s(100);
    EXPECT_EQ(s.Capacity(), 0);
    EXPECT_TRUE(s.Append('x'));
    EXPECT_EQ(s.Capacity(), 100);
    EXPECT_TRUE(s.Append(std::string(100, 'y')));
    EXPECT_EQ(s.Length(), 101);
    EXPECT_EQ(s.Capacity(), 200);

    EXPECT_TRUE(s.Append(std::string(TSuperString::MaxLength - 101, 'z')));
    EXPECT_EQ(s.Length(), TSuperString::MaxLength);
    EXPECT_LE(s.Capacity(), TSuperString::MaxLength);
    // full: nothing more, nothing lost
    EXPECT_FALSE(s.Append('!'));
    EXPECT_FALSE(s.Append(std::string_view("ab")));
    EXPECT_EQ(s.Length(), TSuperString::MaxLength);
    EXPECT_EQ(s.Last(), 'z');
}

TEST(SuperString, AppendIsAllOrNothing)
{
    TSuperString s;
    ASSERT_TRUE(s.Append(std::string(TSuperString::MaxLength - 2, 'a')));
    EXPECT_FALSE(s.Append(std::string_view("abc")));
    EXPECT_EQ(s.Length(), TSuperString::MaxLength - 2);
    EXPECT_TRUE(s.Append(std::string_view("bc")));
}

TEST(SuperString, AccessSubstringAndKeepFrom)
{
    TSuperString s;
    EXPECT_EQ(s.Last(), 0); // an empty buffer counts as complete
    EXPECT_EQ(s.At(0), 0);
    s.Append(std::string_view("0abc\x0d"));
    EXPECT_EQ(s.At(1), 'a');
    EXPECT_EQ(s.At(5), 0);
    EXPECT_EQ(s.Last(), 0x0D);
    EXPECT_EQ(s.Substring(1, 3), "abc");
    EXPECT_EQ(s.Substring(3, 100), "c\x0d");
    EXPECT_EQ(s.Substring(9, 1), "");
    s.KeepFrom(2);
    EXPECT_EQ(s.Str(), "bc\x0d");
    s.KeepFrom(50);
    EXPECT_TRUE(s.Empty());
    s.Append(std::string_view("q"));
    s.Clear();
    EXPECT_EQ(s.Length(), 0);
}
