#include "USimLine.h"

#include "UError.h"
#include "UKOMDisplay.h"
#include "UVirtualClock.h"

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
