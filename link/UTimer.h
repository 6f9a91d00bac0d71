#pragma once
// Timers and delays of the link, all on the injected clock.
#include "link/UClock.h"

#include <cstdint>

// A start tick and a duration. Expired once the tick counter has left
// [start, start + duration); unsigned differences keep this right across
// the wrap of the 32-bit counter.
class TTimer {
public:
    explicit TTimer(TClock &clock) : FClock(clock) {}

    void Start(uint32_t durationMs);
    bool Expired() const;
    uint32_t Elapsed() const;
    uint32_t Duration() const { return FDuration; }

private:
    TClock &FClock;
    uint32_t FStart = 0;
    uint32_t FDuration = 0;
};

// Fixed delays of a transfer; the model index selects the column.
enum class TLinkDelay {
    BeforeDTR,        // after dropping the lines at start
    BeforeWakeUp,     // after DSR and RTS
    BeforeFinalEOT,   // close of a sending transfer
    AfterFinalEOT,
    BetweenRTSAndDTR, // close
    EndOfTransfer,
    Turnaround,       // receiving: before EOT and ACK at the turnaround
};

constexpr int ModelCount = 12;

// Milliseconds; an index outside 0..11 uses column 0.
uint32_t LinkDelay(TLinkDelay which, int modelIndex);
// The repetition delay for an attempt counter: 1 → 300, 2 → 800,
// 3 → 1500, 4 → 250; anything else 0.
uint32_t RepetitionDelay(int attempts);

// Time-outs of a transfer (milliseconds).
constexpr uint32_t DSRTimeout = 2000;
constexpr uint32_t WakeAnswerTimeout = 2000;
constexpr uint32_t PacketAnswerTimeout = 5000;
constexpr uint32_t TurnaroundTimeout = 3000;
constexpr uint32_t ReceiveTimeout = 8000;
constexpr uint32_t RepeatedENQTimeout = 3000;
