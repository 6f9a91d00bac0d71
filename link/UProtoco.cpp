#include "link/UProtoco.h"

#include "link/UComPort.h"
#include "link/UError.h"
#include "link/UKOMDisplay.h"

#include <cstdio>

// ---------------------------------------------------------------- packets

uint8_t Checksum(std::string_view bytes)
{
    unsigned sum = 0;
    for (char c : bytes)
        sum += static_cast<uint8_t>(c);
    return static_cast<uint8_t>((256 - (sum % 256)) % 256);
}

static std::string HexByte(uint8_t b)
{
    static const char digits[] = "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 0x0F]};
}

std::string ChecksumText(std::string_view bytes)
{
    return HexByte(Checksum(bytes));
}

std::string BuildPacket(char sequence, std::string_view payload)
{
    std::string body(1, sequence);
    body.append(payload);
    std::string packet(1, Ctl::STX);
    packet += body;
    packet += ChecksumText(body);
    packet += Ctl::CR;
    return packet;
}

bool CheckPacket(std::string &frame, char expectedSequence)
{
    const size_t n = frame.size();
    if (n <= 3 || frame[0] != expectedSequence || frame[n - 1] != Ctl::CR)
        return false;
    // Upper-case only: the register never writes lower-case digits, and a
    // frame that does is damaged.
    if (frame.compare(n - 3, 2, ChecksumText(std::string_view(frame).substr(0, n - 3))) != 0)
        return false;
    frame = frame.substr(1, n - 4);
    return true;
}

bool CheckPacket(TSuperString &frame, char expectedSequence)
{
    std::string s = frame.Str();
    if (!CheckPacket(s, expectedSequence))
        return false;
    frame.Clear();
    frame.Append(s);
    return true;
}

std::string WakeUpSequence(uint32_t registerNumber)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06u", static_cast<unsigned>(registerNumber % 1000000));
    std::string s(3, Ctl::EOT);
    s += digits;
    s += Ctl::ENQ;
    return s;
}

char NextSequence(char sequence)
{
    return (sequence >= '0' && sequence < '9') ? static_cast<char>(sequence + 1) : '0';
}

void TPacket::Begin()
{
    FText.assign(1, Ctl::STX);
    FText += FSequence;
}

bool TPacket::Append(std::string_view text)
{
    // Room for the checksum and CR must stay.
    if (FText.size() + text.size() + 3 > MaxText)
        return false;
    FText.append(text);
    return true;
}

std::string TPacket::Finish()
{
    if (FText.empty())
        Begin();
    FText += ChecksumText(std::string_view(FText).substr(1));
    FText += Ctl::CR;
    return FText;
}

// ------------------------------------------------------------------- task

bool TTask::Start(int64_t registerNumber, TParam *params)
{
    Params = params;
    if (registerNumber < 0 || registerNumber > 999999) {
        Fail(0x13A2);
        return false;
    }
    FRegisterNumber = static_cast<uint32_t>(registerNumber);
    FState = Ready;
    return true;
}

void TTask::End(bool success)
{
    if (FState != Error)
        FState = success ? Finished : Error;
}

std::string TTask::WakeUpMessage()
{
    FState = AfterWakeUp;
    Packet.ResetSequence();
    return WakeUpSequence(FRegisterNumber);
}

void TTask::Fail(uint16_t code, bool askStatus)
{
    Context.SetError(code, askStatus);
    FState = Error;
}

// --------------------------------------------------------------- protocol

namespace {

// In the module's own code page (CP852).
const char *const PaperNotice[] = {
    "************************** Kasa przesta\x88"
    "a odpowiada\x86"
    " **************************",
    "*                       Prawdopodobnie zabrak\x88"
    "o papieru.                      *",
    "*     Ponawiam pr\xa2"
    "by wysy\x88"
    "ania do skutku. W ka\xbe"
    "dej chwili mo\xbe"
    "esz przerwa\x86"
    ".    *",
    "*******************************************************************************",
};

// While DSR is off the transfer polls it at this pace instead of spinning.
constexpr uint32_t DSRPollMs = 10;

bool IsControl(int b) { return b >= 0 && b < 0x20; }

} // namespace

TProtocol::TProtocol(TModuleContext &context, TLine &line, TKind kind, int modelIndex,
                     bool paperFlag)
    : Context(context), Line(line), FKind(kind), FModel(modelIndex), FPaper(paperFlag),
      FTimer(context.Clock)
{
}

TProtocol::~TProtocol()
{
    Close();
    if (FTask && FTask->Protocol == this)
        FTask->Protocol = nullptr;
}

uint32_t TProtocol::Delay(TLinkDelay which) const
{
    return LinkDelay(which, FModel);
}

bool TProtocol::Start(TTask &task)
{
    if (FStarted || FClosed || task.InError())
        return false;
    FTask = &task;
    task.Protocol = this;
    FStarted = true;
    FState = TState::WaitingDSR;
    if (DropRTSAtStart)
        Line.SetControlLine(LineRTS, false);
    if (DropDTRAtStart)
        Line.SetControlLine(LineDTR, false);
    Context.Clock.Sleep(Delay(TLinkDelay::BeforeDTR));
    Line.SetControlLine(LineDTR, true);
    FTimer.Start(DSRTimeout);
    return true;
}

void TProtocol::EndTask(bool success)
{
    if (FTask && !FTaskTold) {
        FTaskTold = true;
        FTask->End(success);
    }
}

void TProtocol::Fail(uint16_t code, bool askStatus)
{
    if (code != 0)
        Context.SetError(code, askStatus);
    FState = TState::Failed;
    EndTask(false);
}

void TProtocol::Succeed()
{
    FState = TState::Finished;
    EndTask(true);
}

void TProtocol::SendBlock(const std::string &text)
{
    FLastSent = text;
    Line.WriteBlock(text);
}

void TProtocol::SendByte(char c)
{
    FLastSent.assign(1, c);
    Line.WriteByte(static_cast<uint8_t>(c));
}

void TProtocol::RepeatLast(uint32_t delayMs, uint32_t timeoutMs)
{
    Context.Clock.Sleep(delayMs);
    ++FLineFaults;
    if (FLastSent.size() == 1)
        Line.WriteByte(static_cast<uint8_t>(FLastSent[0]));
    else
        Line.WriteBlock(FLastSent);
    FTimer.Start(timeoutMs);
}

void TProtocol::RepeatOrFail(uint16_t code, uint32_t timeoutMs)
{
    if (FAttempts > 2) {
        Fail(code);
        return;
    }
    RepeatLast(RepetitionDelay(FAttempts), timeoutMs);
    ++FAttempts;
}

void TProtocol::Step()
{
    if (IsFinished() || FState == TState::Idle)
        return;
    if (Context.StopRequested()) {
        Fail(0xFFF1);
        return;
    }
    switch (FState) {
    case TState::WaitingDSR: StepWaitingDSR(); break;
    case TState::WakeUp: StepWakeUp(); break;
    case TState::WakeAnswer: StepWakeAnswer(); break;
    case TState::PacketAnswer: StepPacketAnswer(); break;
    case TState::Turnaround: StepTurnaround(); break;
    case TState::IdleReceive: StepIdleReceive(); break;
    case TState::Frame: StepFrame(); break;
    case TState::AfterNAK: StepAfterNAK(); break;
    default: break;
    }
}

void TProtocol::StepWaitingDSR()
{
    if (Line.GetControlLine(LineDSR)) {
        Line.SetControlLine(LineRTS, true);
        FState = TState::WakeUp;
    } else if (FTimer.Expired()) {
        Fail(0x1001);
    } else {
        Context.Clock.Sleep(DSRPollMs);
    }
}

void TProtocol::StepWakeUp()
{
    Context.Clock.Sleep(Delay(TLinkDelay::BeforeWakeUp));
    SendBlock(FTask->WakeUpMessage());
    FAttempts = 1;
    FTimer.Start(WakeAnswerTimeout);
    FState = TState::WakeAnswer;
}

void TProtocol::SendNextPacket()
{
    TOutPacket p = FTask->NextPacket();
    if (p.Text.empty()) {
        // The task has nothing (its own error, if any, is already recorded).
        SendByte(Ctl::EOT);
        Fail(0);
        return;
    }
    FLast = p.Last;
    SendBlock(p.Text);
    FAttempts = 1;
    FTimer.Start(PacketAnswerTimeout);
    FState = TState::PacketAnswer;
}

void TProtocol::StepWakeAnswer()
{
    const int b = Line.ReadByte();
    if (b == Ctl::ACK) {
        SendNextPacket();
        return;
    }
    if (b == ReadNothing) {
        if (FTimer.Expired())
            RepeatOrFail(0x1002, WakeAnswerTimeout);
        return;
    }
    if (FKind == TKind::Sending)
        ++FRepetitions;
    RepeatOrFail(0x2300, WakeAnswerTimeout);
}

void TProtocol::StepPacketAnswer()
{
    const int b = Line.ReadByte();
    if (b == Ctl::EOT) {
        Fail(0x2000, true);
        return;
    }
    if (b == Ctl::ACK) {
        if (!FLast) {
            SendNextPacket();
        } else if (FKind == TKind::Sending) {
            SendByte(Ctl::EOT);
            Succeed();
        } else {
            Context.Clock.Sleep(Delay(TLinkDelay::Turnaround));
            SendByte(Ctl::EOT);
            FAttempts = 1;
            FTimer.Start(TurnaroundTimeout);
            FState = TState::Turnaround;
        }
        return;
    }
    if (b != ReadNothing) {
        if (FKind == TKind::Sending)
            ++FRepetitions;
        RepeatOrFail(0x2300, PacketAnswerTimeout);
        return;
    }
    if (!FTimer.Expired())
        return;

    if (FKind == TKind::Receiving) {
        RepeatOrFail(0x2300, PacketAnswerTimeout);
    } else if (FPaper) {
        RepeatOrFail(0x2301, PacketAnswerTimeout);
    } else {
        // Most likely out of paper: keep repeating until the user stops.
        if (FAttempts == 3)
            for (const char *line : PaperNotice)
                Context.WriteLine(line);
        ++FAttempts;
        uint32_t delay = 0;
        if (FAttempts == 5)
            FAttempts = 4;
        else
            delay = RepetitionDelay(FAttempts);
        RepeatLast(delay, PacketAnswerTimeout);
    }
}

void TProtocol::StepTurnaround()
{
    const int b = Line.ReadByte();
    if (b == Ctl::EOT) {
        Fail(0x2000, true);
        return;
    }
    if (b == Ctl::ENQ) {
        Context.Clock.Sleep(Delay(TLinkDelay::Turnaround));
        SendByte(Ctl::ACK);
        FPacketSeen = false;
        FNAKs = 0;
        FTimer.Start(ReceiveTimeout);
        FState = TState::IdleReceive;
        return;
    }
    if (b == ReadNothing && !FTimer.Expired())
        return;
    RepeatOrFail(0x2300, TurnaroundTimeout);
}

void TProtocol::EnterFrame()
{
    FState = TState::Frame;
    if (IsControl(FBuffer.Last()))
        FBuffer.Clear();
}

void TProtocol::StepIdleReceive()
{
    const int b = Line.ReadByte();
    if (b == Ctl::STX) {
        EnterFrame();
        StepFrame();
        return;
    }
    if (b == Ctl::EOT) {
        if (!FPacketSeen)
            Fail(0x2000, true);
        else
            Succeed();
        return;
    }
    if (b == Ctl::ENQ) {
        if (!FPacketSeen)
            SendByte(Ctl::ACK);
        FTimer.Start(RepeatedENQTimeout);
        return;
    }
    if (b != ReadNothing)
        ++FLineFaults;
    if (FTimer.Expired())
        Fail(0x2300);
}

void TProtocol::StepFrame()
{
    for (;;) {
        const int b = Line.ReadByte();
        if (b == ReadNothing) {
            if (FTimer.Expired())
                Fail(0x2300);
            return;
        }
        if (!FBuffer.Append(static_cast<uint8_t>(b))) {
            // No packet is this long: the line is flooding garbage.
            FBuffer.Clear();
            Fail(0x2300);
            return;
        }
        if (IsControl(b))
            break;
        if (FTimer.Expired()) {
            Fail(0x2300);
            return;
        }
    }

    FPacketSeen = true;
    if (FTask->AcceptPacket(FBuffer)) {
        FBuffer.Clear();
        FNAKs = 0;
        SendByte(Ctl::ACK);
        FTimer.Start(ReceiveTimeout);
        FState = TState::IdleReceive;
        return;
    }
    FBuffer.Clear();
    if (FTask->InError()) {
        SendByte(Ctl::EOT);
        Fail(0);
        return;
    }
    if (FNAKs >= MaxNAKsInARow + FTask->ExtraNAKs()) {
        Fail(0x2300);
        return;
    }
    ++FNAKs;
    SendByte(Ctl::NAK);
    FTimer.Start(ReceiveTimeout);
    FState = TState::AfterNAK;
}

void TProtocol::StepAfterNAK()
{
    const int b = Line.ReadByte();
    if (b == Ctl::STX) {
        EnterFrame();
        StepFrame();
        return;
    }
    if (b == Ctl::EOT) {
        Fail(0x2000, true);
        return;
    }
    if (FTimer.Expired())
        Fail(0x2300);
}

void TProtocol::Close()
{
    if (FClosed)
        return;
    FClosed = true;
    // A transfer left where it stands (user stop) still tells its task.
    if (FStarted && !IsFinished())
        Fail(0);
    if (FStarted && FKind == TKind::Sending) {
        Context.Clock.Sleep(Delay(TLinkDelay::BeforeFinalEOT));
        Line.WriteByte(static_cast<uint8_t>(Ctl::EOT));
        Context.Clock.Sleep(Delay(TLinkDelay::AfterFinalEOT));
    }
    if (FStarted) {
        if (DropRTSAtClose)
            Line.SetControlLine(LineRTS, false);
        Context.Clock.Sleep(Delay(TLinkDelay::BetweenRTSAndDTR));
        if (DropDTRAtClose)
            Line.SetControlLine(LineDTR, false);
    }
    if (FRepetitions != 0)
        Context.WriteLine(std::to_string(FRepetitions));
    if (FStarted || FKind == TKind::Sending)
        Context.Clock.Sleep(Delay(TLinkDelay::EndOfTransfer));
}
