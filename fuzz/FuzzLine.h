#pragma once
// Lines for the module under fuzzing. TFuzzLine answers each write of the
// PC with the next chunk of the input (chunks end at "\xFF\xFF"); a read
// that finds nothing moves the virtual clock on, so time-outs come without
// waiting. TRecordingLine talks to the simulated register and keeps its
// answers in the same chunks: the seeds.
#include "link/UComPort.h"
#include "link/UKOMDisplay.h"
#include "link/UModule.h"
#include "sim/USimulator.h"
#include "link/UVirtualClock.h"

#include <string>
#include <vector>

namespace fuzz {

inline const std::string ChunkEnd("\xFF\xFF", 2);

// Runs one job of the module (its switches after the model's) in the
// target's folder, showing nothing; gives the module's end code.
inline int RunQuietJob(const std::string &switches, const std::string &folder, TVirtualClock &clock,
                       const TLineFactory &makeLine)
{
    TQuietDisplay display;
    display.Start();
    TModuleResult result;
    RunModule("/LW /V277PSP /P1 /Q " + switches, folder, display, clock, DefaultJobTable(), makeLine, result);
    return result.Code;
}

class TFuzzLine final : public TLine {
public:
    TFuzzLine(TModuleContext &context, TVirtualClock &clock, std::string_view input)
        : TLine(context), FClock(clock)
    {
        std::size_t start = 0;
        while (start <= input.size()) {
            const std::size_t end = input.find(ChunkEnd, start);
            if (end == std::string_view::npos) {
                FChunks.emplace_back(input.substr(start));
                break;
            }
            FChunks.emplace_back(input.substr(start, end - start));
            start = end + ChunkEnd.size();
        }
    }
    bool IsVirtual() const override { return true; }

protected:
    int Fetch() override
    {
        if (FPos < FPending.size())
            return uint8_t(FPending[FPos++]);
        FClock.Advance(350);
        GiveUpLate();
        return ReadNothing;
    }
    bool Put(std::string_view) override
    {
        GiveUpLate();
        if (FNext < FChunks.size())
            FPending += FChunks[FNext++];
        return true;
    }
    void Purge() override {}
    void ApplyControlLine(int, bool) override {}
    bool ReadModemLine(int line) override { return line == LineDSR; }

private:
    // A send to a silent register repeats its packet until the user stops
    // it (the register may be out of paper): the user here stops after
    // twenty minutes of line time.
    void GiveUpLate()
    {
        if (FClock.Elapsed() > 20u * 60u * 1000u)
            Context.Display.StopRequested = true;
    }
    TVirtualClock &FClock;
    std::vector<std::string> FChunks;
    std::size_t FNext = 0;
    std::string FPending;
    std::size_t FPos = 0;
};

class TRecordingLine final : public TLine {
public:
    TRecordingLine(TModuleContext &context, TSimulator &sim, TVirtualClock &clock, std::string &record)
        : TLine(context), FSim(sim), FClock(clock), FRecord(record)
    {
    }
    bool IsVirtual() const override { return true; }

protected:
    int Fetch() override
    {
        if (FPos >= FPending.size()) {
            FClock.Advance(350);
            FSim.Poll(FClock.TickCount());
            Take();
            if (FPos >= FPending.size())
                return ReadNothing;
        }
        return uint8_t(FPending[FPos++]);
    }
    bool Put(std::string_view bytes) override
    {
        if (FPuts++ > 0)
            FRecord += ChunkEnd;
        FSim.Receive(bytes, FClock.TickCount());
        Take();
        return true;
    }
    void Purge() override {}
    void ApplyControlLine(int, bool) override {}
    bool ReadModemLine(int line) override { return line == LineDSR; }

private:
    void Take()
    {
        const std::string out = FSim.TakeOutput();
        FPending += out;
        FRecord += out;
    }
    TSimulator &FSim;
    TVirtualClock &FClock;
    std::string &FRecord;
    std::string FPending;
    std::size_t FPos = 0;
    int FPuts = 0;
};

} // namespace fuzz
