#include "link/UClock.h"

#include <chrono>
#include <thread>

namespace {

class TSteadyClock final : public TClock {
public:
    uint32_t TickCount() override
    {
        using namespace std::chrono;
        // Truncation to 32 bits is intended: every user compares ticks by
        // unsigned difference, so the wrap after ~49 days is harmless.
        return static_cast<uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }

    void Sleep(uint32_t ms) override
    {
        if (ms == 0)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

} // namespace

TClock &SteadyClock()
{
    static TSteadyClock clock;
    return clock;
}
