#include "link/UVirtualClock.h"

uint32_t TVirtualClock::TickCount()
{
    return static_cast<uint32_t>(FStart + FElapsed.load());
}

void TVirtualClock::Sleep(uint32_t ms)
{
    ++FSleeps;
    Advance(ms);
}

void TVirtualClock::Advance(uint32_t ms)
{
    FElapsed += ms;
}
