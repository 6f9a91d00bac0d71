#pragma once
// The link protocol with the register: packets and their checksum, the
// task interface that gives a transfer its content, and the transfer's
// state machine. The packet functions need no port, so the register
// simulator builds and checks its packets with the same code.
#include "link/USuperString.h"
#include "link/UTimer.h"

#include <cstdint>
#include <string>
#include <string_view>

class TLine;
class TModuleContext;
class TParam;
class TProtocol;

namespace Ctl {
constexpr char STX = 0x02;
constexpr char EOT = 0x04;
constexpr char ENQ = 0x05;
constexpr char ACK = 0x06;
constexpr char CR = 0x0D;
constexpr char NAK = 0x15;
} // namespace Ctl

// 8-bit two's complement of the byte sum.
uint8_t Checksum(std::string_view bytes);
// The checksum as two upper-case hexadecimal digits.
std::string ChecksumText(std::string_view bytes);
// STX, sequence, payload, checksum of sequence + payload, CR. No length
// limit (the register side sends packets longer than the PC's).
std::string BuildPacket(char sequence, std::string_view payload);
// Checks a received packet: frame holds everything after STX up to and
// including the terminating byte. On success frame becomes the payload.
bool CheckPacket(std::string &frame, char expectedSequence);
bool CheckPacket(TSuperString &frame, char expectedSequence);
// EOT EOT EOT, the register number as six digits, ENQ. Numbers above
// 999999 are refused by TTask::Start and never reach here.
std::string WakeUpSequence(uint32_t registerNumber);
// '0'..'9' and back to '0'.
char NextSequence(char sequence);

// Packet builder of one task.
class TPacket {
public:
    static constexpr size_t MaxText = 255;

    // Text := STX + sequence.
    void Begin();
    // false (text unchanged) when the finished packet would exceed MaxText.
    bool Append(std::string_view text);
    // Appends checksum and CR and hands out the packet.
    std::string Finish();
    void ResetSequence() { FSequence = '0'; }
    void AdvanceSequence() { FSequence = NextSequence(FSequence); }
    char Sequence() const { return FSequence; }
    const std::string &Text() const { return FText; }
    // Checks a received packet against the expected sequence character
    // (this builder's); on success only the payload stays in buffer.
    bool Check(TSuperString &buffer) const { return CheckPacket(buffer, FSequence); }

private:
    std::string FText;
    char FSequence = '0';
};

// What a task hands the protocol: the packet (empty: nothing to send) and
// whether it is the last one the PC sends.
struct TOutPacket {
    std::string Text;
    bool Last = false;
};

// Base of the table, status and fiscal tasks. The protocol calls
// WakeUpMessage, NextPacket, AcceptPacket, InError and End; the driver
// calls Start, Completion and deletes the task (which closes its files).
class TTask {
public:
    // States; derived tasks number theirs from TaskStates on.
    enum : int { Error = 0, Ready = 1, AfterWakeUp = 2, Finished = 3, TaskStates = 16 };

    explicit TTask(TModuleContext &context) : Context(context) {}
    virtual ~TTask() = default;
    TTask(const TTask &) = delete;
    TTask &operator=(const TTask &) = delete;

    // Common part: stores the arguments; the register number must lie in
    // 0..999999 (0x13A2). Derived tasks call it first, then check their
    // own switches. params may be null for tasks that read none.
    virtual bool Start(int64_t registerNumber, TParam *params);
    virtual bool IsFinished() const { return FState == Finished || FState == Error; }
    virtual bool InError() const { return FState == Error; }
    // Told exactly once by the protocol. Unless already in error the state
    // becomes Finished (success) or Error.
    virtual void End(bool success);
    // The wake-up sequence for the register number; resets the sequence
    // character to 0.
    virtual std::string WakeUpMessage();
    virtual TOutPacket NextPacket() = 0;
    // true: acknowledge; false: refuse (NAK, or EOT when InError()).
    virtual bool AcceptPacket(TSuperString &buffer) = 0;
    // NAKs the awaited packet may take beyond the protocol's limit: a task
    // that asks a good packet again to compare copies lets the register
    // try afresh from then on.
    virtual int ExtraNAKs() const { return 0; }
    virtual void Completion() {}

    int State() const { return FState; }
    uint32_t RegisterNumber() const { return FRegisterNumber; }

    TPacket Packet;
    TProtocol *Protocol = nullptr; // set by TProtocol::Start

protected:
    // SetError(code, askStatus) and state Error.
    void Fail(uint16_t code, bool askStatus = false);
    void SetState(int state) { FState = state; }

    TModuleContext &Context;
    TParam *Params = nullptr;

private:
    uint32_t FRegisterNumber = 0;
    int FState = Error;
};

// One transfer over the line, advanced one step at a time.
class TProtocol {
public:
    enum class TKind { Sending, Receiving };
    enum class TState {
        Idle, // not started
        WaitingDSR,
        WakeUp,
        WakeAnswer,
        PacketAnswer,
        Turnaround,
        IdleReceive,
        Frame,
        AfterNAK,
        Finished,
        Failed,
    };

    // modelIndex selects the timing column; paperFlag is /p+.
    TProtocol(TModuleContext &context, TLine &line, TKind kind, int modelIndex = 0,
              bool paperFlag = false);
    ~TProtocol(); // closes
    TProtocol(const TProtocol &) = delete;
    TProtocol &operator=(const TProtocol &) = delete;

    // Drops the lines, raises DTR and starts waiting for DSR. false when
    // the task did not start or the transfer was already started.
    bool Start(TTask &task);
    // One step; waits at most one of the delays or one read time-out.
    // A stop request ends the transfer with 0xFFF1.
    void Step();
    bool IsFinished() const { return FState == TState::Finished || FState == TState::Failed; }
    bool IsFailed() const { return FState == TState::Failed; }
    // The close sequence; a second call does nothing.
    void Close();

    TState State() const { return FState; }
    TKind Kind() const { return FKind; }
    int Attempts() const { return FAttempts; }
    int Repetitions() const { return FRepetitions; }
    // Receiving: NAKs sent in a row since the last accepted packet.
    int NAKsInARow() const { return FNAKs; }
    // Signs of a faulty line outside the packets: transmissions repeated
    // and stray bytes between packets.
    int LineFaults() const { return FLineFaults; }

    // A register repeats a packet only when the line damaged it, and gives
    // up itself after a few tries; ten refusals of the same packet in a row
    // mean the line (or the register) only sends garbage. The refusal that
    // would be the eleventh NAK ends the transfer with 0x2300 instead of a
    // job that runs until the user stops it. At 19200 baud even ten full
    // packets cost well under a second, so a burst of noise still recovers.
    static constexpr int MaxNAKsInARow = 10;
    TSuperString &ReceiveBuffer() { return FBuffer; }

    // Line handling at start and close.
    bool DropRTSAtStart = true;
    bool DropDTRAtStart = true;
    bool DropRTSAtClose = true;
    bool DropDTRAtClose = true;

private:
    void StepWaitingDSR();
    void StepWakeUp();
    void StepWakeAnswer();
    void StepPacketAnswer();
    void StepTurnaround();
    void StepIdleReceive();
    void StepFrame();
    void StepAfterNAK();

    void SendBlock(const std::string &text);
    void SendByte(char c);
    void RepeatLast(uint32_t delayMs, uint32_t timeoutMs);
    // Repeats the last transmission after this attempt's delay, or fails
    // with code when the third attempt is used up.
    void RepeatOrFail(uint16_t code, uint32_t timeoutMs);
    void SendNextPacket();
    void EnterFrame();
    void Fail(uint16_t code, bool askStatus = false);
    void Succeed();
    void EndTask(bool success);
    uint32_t Delay(TLinkDelay which) const;

    TModuleContext &Context;
    TLine &Line;
    const TKind FKind;
    const int FModel;
    const bool FPaper;

    TTask *FTask = nullptr;
    bool FStarted = false;
    bool FClosed = false;
    bool FTaskTold = false;
    TState FState = TState::Idle;
    int FAttempts = 0;
    int FRepetitions = 0;
    bool FLast = false;
    bool FPacketSeen = false; // receiving: a packet came after the turnaround
    int FNAKs = 0;            // receiving: NAKs in a row for the awaited packet
    int FLineFaults = 0;
    std::string FLastSent;
    TSuperString FBuffer;
    TTimer FTimer;
};
