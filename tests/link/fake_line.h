#pragma once
// In-process stand-ins for the link tests: a display that records what the
// module says, a scripted line (the register's end of the wire) on a
// virtual clock, and a scripted task.
#include "link/UComPort.h"
#include "link/UError.h"
#include "link/UKOMDisplay.h"
#include "link/UProtoco.h"
#include "link/UVirtualClock.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class TRecordingDisplay : public TKOMDisplay {
public:
    void Clear() override { Lines.clear(); }
    void WriteLine(const std::string &text) override { Lines.push_back(text); }
    void SetStatus(const std::string &text) override { Status = text; }
    int AddHistory(uint16_t code) override
    {
        History.push_back(code);
        return static_cast<int>(History.size());
    }

    std::vector<std::string> Lines;
    std::string Status;
    std::vector<uint16_t> History;
};

// One module run's environment: display, virtual clock and context.
struct TTestRun {
    explicit TTestRun(uint32_t startTick = 0) : Clock(startTick), Context(Display, Clock) {}
    TRecordingDisplay Display;
    TVirtualClock Clock;
    TModuleContext Context;
};

// The register's end of an in-process line. Every write of the PC (a block
// or one byte) takes the next entry of Replies and sends it back ("" =
// silence); when Replies is empty the register is silent. A read that must
// wait advances the virtual clock to the next byte or by the read time-out.
class TFakeLine : public TLine {
public:
    TFakeLine(TModuleContext &context, TVirtualClock &clock, bool virtualLine = true);

    // Queues bytes that arrive afterMs from now.
    void Send(std::string_view bytes, uint32_t afterMs = 0);

    std::deque<std::string> Replies;
    uint32_t ReplyDelayMs = 10;
    // Called after each write of the PC, before the reply is queued.
    std::function<void(TFakeLine &, const std::string &written)> OnWrite;

    bool Dsr = true;
    // DSR comes on at this elapsed time (ms) when Dsr is false.
    uint64_t DsrOnAt = UINT64_MAX;
    uint32_t ReadTimeoutMs = 350;
    int ReadFailures = 0; // the next reads that fail

    struct TWrite {
        uint64_t At;
        std::string Bytes;
    };
    std::vector<TWrite> Writes;
    std::string Written() const;
    struct TLineChange {
        uint64_t At;
        int Line;
        bool On;
    };
    std::vector<TLineChange> LineChanges;
    int Purges = 0;
    size_t Pending() const { return FIncoming.size(); }

    bool IsVirtual() const override { return FVirtual; }

protected:
    int Fetch() override;
    bool Put(std::string_view bytes) override;
    void Purge() override;
    void ApplyControlLine(int line, bool on) override;
    bool ReadModemLine(int line) override;

private:
    struct TIncoming {
        uint64_t At;
        char Byte;
    };
    TVirtualClock &FClock;
    bool FVirtual;
    std::deque<TIncoming> FIncoming;
};

// A task that hands out scripted packets and answers scripted verdicts.
class TFakeTask : public TTask {
public:
    explicit TFakeTask(TModuleContext &context) : TTask(context) {}

    // Payloads to send; the builder numbers them from 0. The last one is
    // marked last unless LastFlagOnFinal is false.
    std::vector<std::string> Payloads;
    bool LastFlagOnFinal = true;
    // Per received packet: accept when the check passes and true; after
    // the list, accept every good packet. FailOnRefuse: a refusal also
    // puts the task in error (EOT instead of NAK).
    std::vector<bool> Verdicts;
    bool FailOnRefuse = false;

    TOutPacket NextPacket() override;
    bool AcceptPacket(TSuperString &buffer) override;
    void End(bool success) override;

    std::vector<std::string> Accepted;
    std::vector<bool> Ends;

private:
    size_t FNext = 0;
    size_t FReceived = 0;
};

// Runs the protocol until it finishes; false when it did not within
// maxSteps (a hang, for the test to report instead of spinning).
bool RunToEnd(TProtocol &protocol, int maxSteps = 100000);
