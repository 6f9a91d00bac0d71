#include "link/UTimer.h"

#include <array>
#include <cstddef>

void TTimer::Start(uint32_t durationMs)
{
    FStart = FClock.TickCount();
    FDuration = durationMs;
}

uint32_t TTimer::Elapsed() const
{
    return FClock.TickCount() - FStart;
}

bool TTimer::Expired() const
{
    return Elapsed() >= FDuration;
}

namespace {

// One row per delay, one column per model index; every model the /V switch
// can select has the same values, the columns are kept so that a model
// with other timing needs only its column changed.
constexpr std::array<uint32_t, ModelCount> Row(uint32_t v)
{
    std::array<uint32_t, ModelCount> r{};
    for (auto &x : r)
        x = v;
    return r;
}

constexpr std::array<std::array<uint32_t, ModelCount>, 7> Delays = {
    Row(200),  // BeforeDTR
    Row(300),  // BeforeWakeUp
    Row(200),  // BeforeFinalEOT
    Row(150),  // AfterFinalEOT
    Row(100),  // BetweenRTSAndDTR
    Row(1000), // EndOfTransfer
    Row(100),  // Turnaround
};

} // namespace

uint32_t LinkDelay(TLinkDelay which, int modelIndex)
{
    if (modelIndex < 0 || modelIndex >= ModelCount)
        modelIndex = 0;
    return Delays[static_cast<std::size_t>(which)][static_cast<std::size_t>(modelIndex)];
}

uint32_t RepetitionDelay(int attempts)
{
    static constexpr uint32_t table[] = {0, 300, 800, 1500, 250};
    if (attempts < 0 || attempts > 4)
        return 0;
    return table[attempts];
}
