#pragma once
// The simulated register as an in-process line: the module's writes go
// straight into the register, its answers come back on the next reads.
// Everything runs on the caller's thread in virtual time: a read that
// finds nothing moves the clock on by the read time-out, so the PC's
// time-outs come without waiting. For RunModule's line factory.
#include "UComPort.h"
#include "USimulator.h"

class TVirtualClock;

class TSimLine final : public TLine {
public:
    TSimLine(TModuleContext &context, TSimulator &simulator, TVirtualClock &clock, uint32_t readTimeoutMs = 350);

    bool IsVirtual() const override { return true; }
    // A user in line time: a job still running ms after the line opened is
    // stopped, as the user would stop it, and *stopped is set.
    void StopAfter(uint64_t ms, bool *stopped);
    // Bytes the PC wrote and the register sent, for tests that count them.
    uint64_t BytesFromPC() const { return FFromPC; }
    uint64_t BytesToPC() const { return FToPC; }

protected:
    int Fetch() override;
    bool Put(std::string_view bytes) override;
    void Purge() override {}
    void ApplyControlLine(int, bool) override {}
    bool ReadModemLine(int line) override { return line == LineDSR; }

private:
    void StopWhenTooLong();

    TSimulator &FSimulator;
    TVirtualClock &FClock;
    uint32_t FReadTimeout;
    std::string FPending;
    std::size_t FPos = 0;
    uint64_t FFromPC = 0;
    uint64_t FToPC = 0;
    uint64_t FOpened;
    uint64_t FPatience = 0; // 0: none
    bool *FStopped = nullptr;
};
