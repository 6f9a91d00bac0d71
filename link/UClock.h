#pragma once
// Every wait of the module goes through one clock, so that tests can run
// time-outs in virtual time.
#include <cstdint>

class TClock {
public:
    virtual ~TClock() = default;
    // Milliseconds since an arbitrary start, 32 bits; it may wrap.
    virtual uint32_t TickCount() = 0;
    virtual void Sleep(uint32_t ms) = 0;
};

// The steady clock of the running program.
TClock &SteadyClock();
