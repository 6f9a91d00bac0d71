#include "USimLine.h"

#include "UVirtualClock.h"

TSimLine::TSimLine(TModuleContext &context, TSimulator &simulator, TVirtualClock &clock, uint32_t readTimeoutMs)
    : TLine(context), FSimulator(simulator), FClock(clock), FReadTimeout(readTimeoutMs)
{
}

int TSimLine::Fetch()
{
    if (FPos >= FPending.size()) {
        FPending = FSimulator.TakeOutput();
        FPos = 0;
        if (FPending.empty()) {
            FClock.Advance(FReadTimeout);
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
    FFromPC += bytes.size();
    FSimulator.Receive(bytes, FClock.TickCount());
    return true;
}
