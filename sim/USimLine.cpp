#include "sim/USimLine.h"

#include "link/UError.h"
#include "link/UKOMDisplay.h"
#include "link/UVirtualClock.h"

#include <algorithm>

TSimLine::TSimLine(TModuleContext &context, TSimulator &simulator, TVirtualClock &clock, uint32_t readTimeoutMs)
    : TLine(context), FSimulator(simulator), FClock(clock), FReadTimeout(readTimeoutMs), FOpened(clock.Elapsed())
{
}

void TSimLine::StopAfter(uint64_t ms, bool *stopped)
{
    FPatience = ms;
    FStopped = stopped;
}

void TSimLine::StopWhenTooLong()
{
    if (FPatience == 0 || FClock.Elapsed() - FOpened <= FPatience || Context.Display.StopRequested)
        return;
    if (FStopped)
        *FStopped = true;
    Context.Display.StopRequested = true;
}

int TSimLine::Fetch()
{
    if (FPos >= FPending.size()) {
        FPending = FSimulator.TakeOutput();
        FPos = 0;
        if (FPending.empty()) {
            FClock.Advance(FReadTimeout);
            StopWhenTooLong();
            FSimulator.Poll(FClock.TickCount());
            FPending = FSimulator.TakeOutput();
            if (FPending.empty())
                return ReadNothing;
        }
        FToPC += FPending.size();
    }
    return static_cast<uint8_t>(FPending[FPos++]);
}

bool TSimLine::Put(std::string_view bytes)
{
    StopWhenTooLong();
    FFromPC += bytes.size();
    FSimulator.Receive(bytes, FClock.TickCount());
    return true;
}

TSharedSimulator::TSharedSimulator(const TSimOptions &options)
    : FRegister(options.ModelIndex), FSimulator(FRegister, options)
{
}

TSimulator::TCounters TSharedSimulator::Counters() const
{
    std::lock_guard<std::mutex> lock(FMutex);
    return FSimulator.Counters();
}

TSimTimedLine::TSimTimedLine(TModuleContext &context, TSharedSimulator &shared, int baud, uint32_t readTimeoutMs)
    : TLine(context), FShared(shared), FBaud(uint64_t(std::max(baud, 1))), FByteTime(Duration(1)),
      FReadTimeout(readTimeoutMs), FLastTick(context.Clock.TickCount())
{
}

uint64_t TSimTimedLine::Duration(uint64_t characters) const
{
    return (characters * 11'000'000'000ull + FBaud - 1) / FBaud;
}

uint64_t TSimTimedLine::Now()
{
    const uint32_t tick = Context.Clock.TickCount();
    FElapsedMs += uint32_t(tick - FLastTick); // the 32-bit count may wrap
    FLastTick = tick;
    return FElapsedMs * 1'000'000;
}

void TSimTimedLine::WaitUntil(uint64_t ns)
{
    // The clock counts whole milliseconds: what is due within one comes
    // now, and the schedule, kept in nanoseconds, makes up for it later.
    const uint64_t now = Now();
    if (ns >= now + 1'000'000)
        Context.Clock.Sleep(uint32_t((ns - now) / 1'000'000));
}

void TSimTimedLine::Queue(const std::string &bytes, uint64_t from)
{
    uint64_t at = std::max(from, FReceiveFree);
    for (char c : bytes) {
        at += FByteTime;
        FIncoming.push_back({at, static_cast<uint8_t>(c)});
    }
    FReceiveFree = at;
}

void TSimTimedLine::Poll()
{
    std::string out;
    {
        std::lock_guard<std::mutex> lock(FShared.FMutex);
        FShared.FSimulator.Poll(Context.Clock.TickCount());
        out = FShared.FSimulator.TakeOutput();
    }
    Queue(out, Now());
}

int TSimTimedLine::Fetch()
{
    if (FIncoming.empty()) {
        Poll();
        if (FIncoming.empty()) {
            // Nothing is on its way: the register only speaks after the
            // PC or after its own time-outs.
            Context.Clock.Sleep(FReadTimeout);
            Poll();
            if (FIncoming.empty())
                return ReadNothing;
        }
    }
    const TArrival next = FIncoming.front();
    FIncoming.pop_front();
    WaitUntil(next.At);
    return next.Byte;
}

bool TSimTimedLine::Put(std::string_view bytes)
{
    FSendFree = std::max(FSendFree, Now()) + Duration(bytes.size());
    WaitUntil(FSendFree);
    std::string out;
    {
        std::lock_guard<std::mutex> lock(FShared.FMutex);
        FShared.FSimulator.Receive(bytes, Context.Clock.TickCount());
        out = FShared.FSimulator.TakeOutput();
    }
    // The register answers once the last byte is in.
    Queue(out, FSendFree);
    return true;
}

void TSimTimedLine::Purge()
{
    FIncoming.clear();
    FReceiveFree = 0;
    std::lock_guard<std::mutex> lock(FShared.FMutex);
    (void)FShared.FSimulator.TakeOutput();
}
