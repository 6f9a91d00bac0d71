#pragma once
// The simulated register as an in-process line: the module's writes go
// straight into the register, its answers come back on the next reads.
// Everything runs on the caller's thread in virtual time: a read that
// finds nothing moves the clock on by the read time-out, so the PC's
// time-outs come without waiting. For RunModule's line factory.
#include "link/UComPort.h"
#include "sim/USimulator.h"

#include <deque>
#include <mutex>

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

// The simulated register kept between jobs for TSimTimedLine: its tables
// and state live as long as it does; each job's line reaches it under its
// lock, so another thread may look at it meanwhile.
class TSharedSimulator {
public:
    explicit TSharedSimulator(const TSimOptions &options = {});
    TSharedSimulator(const TSharedSimulator &) = delete;
    TSharedSimulator &operator=(const TSharedSimulator &) = delete;

    template <class F>
    auto WithRegister(F f)
    {
        std::lock_guard<std::mutex> lock(FMutex);
        return f(FRegister);
    }
    TSimulator::TCounters Counters() const;

private:
    friend class TSimTimedLine;
    mutable std::mutex FMutex;
    TSimRegister FRegister;
    TSimulator FSimulator;
};

// The shared register as an in-process line with a serial line's timing on
// the module's clock: a write lasts its bytes' time at baud (11 bits a
// character), the answer's bytes arrive one character time apart, and a
// read that finds nothing waits the serial port's read time-out. On the
// steady clock it runs as a register on a cable would; on a virtual clock
// in no time.
class TSimTimedLine final : public TLine {
public:
    TSimTimedLine(TModuleContext &context, TSharedSimulator &shared, int baud = 19200, uint32_t readTimeoutMs = 350);

    bool IsVirtual() const override { return true; }

protected:
    int Fetch() override;
    bool Put(std::string_view bytes) override;
    void Purge() override;
    void ApplyControlLine(int, bool) override {}
    bool ReadModemLine(int line) override { return line == LineDSR; }

private:
    // Nanoseconds on the module's clock since the line was made.
    uint64_t Now();
    // Of so many characters on the line, in nanoseconds.
    uint64_t Duration(uint64_t characters) const;
    void WaitUntil(uint64_t ns);
    // The register's time-outs, then its answer onto the line.
    void Poll();
    void Queue(const std::string &bytes, uint64_t from);

    TSharedSimulator &FShared;
    const uint64_t FBaud;
    const uint64_t FByteTime; // ns
    const uint32_t FReadTimeout;
    uint32_t FLastTick;
    uint64_t FElapsedMs = 0;
    uint64_t FSendFree = 0;    // when the PC's last byte has left
    uint64_t FReceiveFree = 0; // when the register's last byte arrives
    struct TArrival {
        uint64_t At;
        uint8_t Byte;
    };
    std::deque<TArrival> FIncoming;
};
