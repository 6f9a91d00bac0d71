#pragma once
// The simulated register on a pseudo-terminal: a background thread owns
// the master side and runs the register (USimulator.h); the PC opens the
// slave by its path like any serial device. Used by kasasim, by the
// program's demo mode and by the end-to-end tests.
//
//   TPtySimulator sim(TSimOptions{});
//   if (!sim.Start(&error)) ...;
//   RunModule("... /P1 ...", sim.PortPath(), ...);
//   sim.Stop();                       // also done by the destructor
//
// Start, Stop and the accessors may be called from any one thread; the
// register itself is only touched under the simulator's lock.
#include "sim/USimRegister.h"
#include "sim/USimulator.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TClock;
class TVirtualClock;

struct TPtyOptions {
    // Pace every byte sent and received as a real line of this many baud
    // (11 bits a character); 0: full speed.
    int Baud = 0;
    // Tables and counters are loaded from here at Start (when the file
    // exists) and saved after every job that changed them and at Stop.
    std::string StateFile;
    // Clock of the register's own time-outs; nullptr: the steady clock.
    TClock *Clock = nullptr;
    // Tests on virtual time: while the register deliberately keeps silent,
    // this clock is moved on by SilenceStepMs at every idle turn, so that
    // the PC's time-outs come without real waiting.
    TVirtualClock *SilenceClock = nullptr;
    uint32_t SilenceStepMs = 250;
};

class TPtySimulator {
public:
    explicit TPtySimulator(const TSimOptions &options = {}, const TPtyOptions &pty = {});
    ~TPtySimulator();
    TPtySimulator(const TPtySimulator &) = delete;
    TPtySimulator &operator=(const TPtySimulator &) = delete;

    // Opens the pseudo-terminal, loads the state file and starts serving.
    bool Start(std::string *error = nullptr);
    // The slave's device path ("/dev/pts/7"), for the port name of a job.
    const std::string &PortPath() const { return FPath; }
    // Ends the thread, saves the state file, closes the terminal.
    // Harmless when not started; false when the state could not be saved.
    bool Stop(std::string *error = nullptr);
    bool Running() const { return FThread.joinable(); }

    // Runs f on the register under the lock (to look at tables, to turn
    // sales on between jobs).
    template <class F>
    auto WithRegister(F f)
    {
        std::lock_guard<std::mutex> lock(FMutex);
        return f(FRegister);
    }
    TSimulator::TCounters Counters() const;
    uint16_t StatusCode() const;

    // One job seen from the line: from the first byte of its wake-up to
    // the end of its last ACK (either direction), and the bytes that
    // crossed the line in between.
    struct TPhase {
        double Seconds = 0;
        uint64_t Bytes = 0;
    };
    std::vector<TPhase> Phases() const;

private:
    using TTime = std::chrono::steady_clock::time_point;
    void Serve();
    void Feed(const char *bytes, std::size_t n);
    void Flush();
    bool WriteAll(const char *bytes, std::size_t n);
    void SaveIfChanged();

    TSimOptions FOptions;
    TPtyOptions FPty;
    TSimRegister FRegister;
    TSimulator FSimulator;
    mutable std::mutex FMutex;
    std::thread FThread;
    std::atomic<bool> FStop{false};
    int FMaster = -1;
    int FKeepAlive = -1;
    int FWake[2] = {-1, -1};
    std::string FPath;
    std::string FSaveError;

    // Pacing and the data phase, used on the thread only (FPhases under lock).
    std::chrono::nanoseconds FByteTime{0};
    TTime FSendFree{};
    TTime FReceiveFree{};
    bool FAckSent = false;
    bool FAckReceived = false;
    bool FWokenUp = false;
    TTime FLastByte{};
    struct TPhaseRun {
        TTime Start{};
        TTime LastAck{};
        uint64_t Bytes = 0;
        uint64_t BytesAtAck = 0;
        bool Acked = false;
    };
    std::vector<TPhaseRun> FPhases;
};
