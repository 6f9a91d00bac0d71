#include "fake_line.h"

TFakeLine::TFakeLine(TModuleContext &context, TVirtualClock &clock, bool virtualLine)
    : TLine(context), FClock(clock), FVirtual(virtualLine)
{
}

void TFakeLine::Send(std::string_view bytes, uint32_t afterMs)
{
    uint64_t at = FClock.Elapsed() + afterMs;
    if (!FIncoming.empty() && FIncoming.back().At > at)
        at = FIncoming.back().At;
    for (char c : bytes)
        FIncoming.push_back({at, c});
}

std::string TFakeLine::Written() const
{
    std::string all;
    for (const auto &w : Writes)
        all += w.Bytes;
    return all;
}

int TFakeLine::Fetch()
{
    if (ReadFailures > 0) {
        --ReadFailures;
        return ReadFailed;
    }
    const uint64_t now = FClock.Elapsed();
    if (!FIncoming.empty() && FIncoming.front().At <= now + ReadTimeoutMs) {
        if (FIncoming.front().At > now)
            FClock.Advance(static_cast<uint32_t>(FIncoming.front().At - now));
        const char c = FIncoming.front().Byte;
        FIncoming.pop_front();
        return static_cast<uint8_t>(c);
    }
    FClock.Advance(ReadTimeoutMs);
    return ReadNothing;
}

bool TFakeLine::Put(std::string_view bytes)
{
    Writes.push_back({FClock.Elapsed(), std::string(bytes)});
    if (OnWrite)
        OnWrite(*this, Writes.back().Bytes);
    if (!Replies.empty()) {
        std::string reply = Replies.front();
        Replies.pop_front();
        if (!reply.empty())
            Send(reply, ReplyDelayMs);
    }
    return true;
}

void TFakeLine::Purge()
{
    ++Purges;
    FIncoming.clear();
}

void TFakeLine::ApplyControlLine(int line, bool on)
{
    LineChanges.push_back({FClock.Elapsed(), line, on});
}

bool TFakeLine::ReadModemLine(int line)
{
    if (line != LineDSR)
        return false;
    return Dsr || FClock.Elapsed() >= DsrOnAt;
}

TOutPacket TFakeTask::NextPacket()
{
    if (FNext >= Payloads.size())
        return {};
    Packet.Begin();
    Packet.Append(Payloads[FNext]);
    TOutPacket out{Packet.Finish(), LastFlagOnFinal && FNext + 1 == Payloads.size()};
    ++FNext;
    Packet.AdvanceSequence();
    if (out.Last)
        Packet.ResetSequence();
    return out;
}

bool TFakeTask::AcceptPacket(TSuperString &buffer)
{
    const size_t index = FReceived++;
    bool verdict = index < Verdicts.size() ? Verdicts[index] : true;
    if (!verdict || !Packet.Check(buffer)) {
        if (FailOnRefuse)
            Fail(0x9910);
        return false;
    }
    Accepted.push_back(buffer.Str());
    Packet.AdvanceSequence();
    return true;
}

void TFakeTask::End(bool success)
{
    Ends.push_back(success);
    TTask::End(success);
}

bool RunToEnd(TProtocol &protocol, int maxSteps)
{
    for (int i = 0; i < maxSteps && !protocol.IsFinished(); ++i)
        protocol.Step();
    return protocol.IsFinished();
}
