#pragma once
// The register's side of the link: a byte-driven state machine that
// answers the wake-up, takes table downloads, serves uploads, the fiscal
// memory and the status query, and injects faults on purpose. It has no
// port and no thread: feed it the PC's bytes, take its answer bytes. The
// transports (USimPty.h) put it on a pseudo-terminal.
#include "sim/USimRegister.h"

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

struct TSimOptions {
    uint32_t RegisterNumber = 1;
    int ModelIndex = 11;                 // ER-A277PS Plus
    bool AllowDownloadWithSales = false;
    uint32_t SessionTimeoutMs = 10000;   // a job with a silent PC ends here

    // Faults. The NAK and the bad checksum happen once per simulator; the
    // others in every job.
    uint16_t RefuseDownload = 0;   // refuse the table header with EOT, status = this code
    int NakPacket = 0;             // answer the N-th packet of the PC in a job (1 = command) with NAK
    int BadChecksumPacket = 0;     // send the N-th packet of a job (1 = first) with a bad checksum
    int SilentAfter = 0;           // stop answering after N packets of a job (both directions)
    bool EotAfterHeader = false;   // uploads: EOT right after the table header
    bool LayoutDiffers = false;    // uploads: the header reports field A one byte longer
    bool NoWakeUp = false;         // never answer the wake-up

    // A noisy line: each byte received or sent is, with this probability
    // (per mille), changed to another byte, dropped or doubled (one of the
    // three at random). The same seed gives the same damage.
    int NoisePermille = 0;
    uint64_t NoiseSeed = 1;
};

class TSimulator {
public:
    enum class TState {
        Idle,          // waiting for a wake-up
        WaitCommand,   // woken, expecting the command packet
        DownHeader,    // download: expecting a table header (or EOT)
        DownData,      // download: expecting data packets
        TurnEOT,       // the PC's EOT of the turnaround
        TurnACK,       // ENQ sent, waiting for the PC's ACK
        SendWait,      // a packet sent, waiting for ACK / NAK
    };
    enum class TEvent { WakeUp, AckSent, AckReceived, JobEnd };

    TSimulator(TSimRegister &reg, const TSimOptions &options);

    // Bytes from the PC at time now (ms on the caller's clock).
    void Receive(std::string_view bytes, uint32_t now);
    void Receive(uint8_t byte, uint32_t now);
    // Ends a job whose PC went silent.
    void Poll(uint32_t now);
    // Bytes for the PC since the last call.
    std::string TakeOutput();
    bool HasOutput() const { return !FOutput.empty(); }

    TState State() const { return FState; }
    uint16_t StatusCode() const { return FStatus; }
    // True while the register deliberately leaves the PC without an answer
    // (a silence fault, a wake-up not for it); cleared by any answer.
    bool Stalling() const { return FStalling; }
    // True once after a job changed a table (for the state file).
    bool TakeChanged();

    // Totals since construction.
    struct TCounters {
        int WakeUps = 0;
        int Jobs = 0;
        int PacketsIn = 0;     // good packets from the PC
        int PacketsOut = 0;    // packets sent (repetitions included)
        int NaksSent = 0;
        int EotRefusals = 0;
        int NoisyBytes = 0;    // bytes the noise changed, dropped or doubled
    };
    const TCounters &Counters() const { return FCounters; }

    std::function<void(TEvent)> OnEvent;

private:
    void ReceiveClean(uint8_t byte, uint32_t now);
    // The bytes as the noise leaves them.
    std::string Noisy(std::string_view bytes);
    void Emit(std::string_view bytes);
    void EmitByte(char c);
    void Event(TEvent e);
    void OnWakeUp(uint32_t number);
    void OnFrame();
    void OnCommand(const std::string &payload);
    void OnDownHeader(const std::string &payload);
    void OnDownData(const std::string &payload);
    void OnControl(uint8_t byte);
    void Refuse(uint16_t code);
    void EndJob();
    void CountPacket();
    void SendCurrent(bool allowFault);
    void PrepareUpload(const std::string &payload);
    void PrepareFiscal(const std::string &payload);
    void PrepareStatus();
    bool ExpectsFrame() const;

    TSimRegister &FRegister;
    TSimOptions FOptions;
    TState FState = TState::Idle;
    uint16_t FStatus = 0;
    uint16_t FPendingRefusal = 0;
    bool FStalling = false;
    bool FSilent = false;
    bool FChanged = false;
    bool FNakDone = false;
    bool FBadChecksumDone = false;
    uint32_t FLastActivity = 0;
    std::string FOutput;
    std::string FWake;   // the last bytes received, for the wake-up pattern
    bool FInFrame = false;
    std::string FFrame;
    char FExpectSeq = '0';
    int FJobPackets = 0;     // packets of this job, both directions
    int FJobPacketsIn = 0;   // good packets from the PC in this job
    int FJobPacketsOut = 0;  // packets sent in this job (first sendings)
    TCounters FCounters;
    std::mt19937_64 FNoise;

    // Download
    TSimTable *FDownTable = nullptr;
    std::array<int, TSelection::Fields> FDownSizes{};
    int FDownRecordSize = 0;

    // Upload, fiscal memory, status: the payloads to send, in order.
    std::vector<std::string> FPayloads;
    std::size_t FNext = 0;
    char FSendSeq = '0';
    bool FHeaderFirst = false; // FPayloads[0] is a table header
};
