#pragma once
// A clock that only moves when somebody sleeps on it or advances it, so
// that time-outs of seconds run in microseconds. Safe to share between a
// test's module thread and its simulator thread.
#include "link/UClock.h"

#include <atomic>
#include <cstdint>

class TVirtualClock final : public TClock {
public:
    // startTick: the first value of TickCount; NearWrap() gives a start a
    // few milliseconds before the 32-bit counter wraps.
    explicit TVirtualClock(uint32_t startTick = 0) : FStart(startTick) {}

    static constexpr uint32_t NearWrap(uint32_t msBeforeWrap) { return 0u - msBeforeWrap; }

    uint32_t TickCount() override;
    // Advances the time by ms; Sleep(0) only counts the call.
    void Sleep(uint32_t ms) override;
    void Advance(uint32_t ms);

    // Milliseconds since construction, without wrap.
    uint64_t Elapsed() const { return FElapsed.load(); }
    // Number of Sleep calls so far (Sleep(0) included).
    uint64_t Sleeps() const { return FSleeps.load(); }

private:
    const uint32_t FStart;
    std::atomic<uint64_t> FElapsed{0};
    std::atomic<uint64_t> FSleeps{0};
};
