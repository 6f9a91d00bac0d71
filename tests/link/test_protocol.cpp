// The transfer state machine against a scripted register on an in-process
// line, in virtual time: exact bytes on the line, exact output lines.
#include "link/UProtoco.h"
#include "fake_line.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

namespace {

const std::string ACK = "\x06", NAK = "\x15", EOT = "\x04", ENQ = "\x05";
const std::string Wake1 = WakeUpSequence(1);

// What the user sees: the output code page is Windows-1250. The texts
// hold ASCII and Polish letters only; a table of our own, since Qt for
// Windows has no Windows-1250 codec.
std::string Cp1250(const char *utf8)
{
    static const std::pair<std::string, char> letters[] = {
        {"ą", '\xB9'}, {"ć", '\xE6'}, {"ę", '\xEA'}, {"ł", '\xB3'}, {"ń", '\xF1'}, {"ó", '\xF3'},
        {"ś", '\x9C'}, {"ź", '\x9F'}, {"ż", '\xBF'}, {"Ą", '\xA5'}, {"Ć", '\xC6'}, {"Ę", '\xCA'},
        {"Ł", '\xA3'}, {"Ń", '\xD1'}, {"Ó", '\xD3'}, {"Ś", '\x8C'}, {"Ź", '\x8F'}, {"Ż", '\xAF'},
    };
    std::string out;
    for (const char *p = utf8; *p;) {
        if (static_cast<unsigned char>(*p) < 0x80) {
            out += *p++;
            continue;
        }
        char c = '?';
        for (const auto &[letter, byte] : letters)
            if (std::string_view(p).substr(0, 2) == letter)
                c = byte;
        out += c;
        p += 2;
    }
    return out;
}

std::string ErrorOut(const char *code, const char *message)
{
    return "-= " + std::string(code) + " " + Cp1250(message) + " =-";
}

const std::vector<std::string> Notice = {
    Cp1250("************************** Kasa przestała odpowiadać **************************"),
    Cp1250("*                       Prawdopodobnie zabrakło papieru.                      *"),
    Cp1250("*     Ponawiam próby wysyłania do skutku. W każdej chwili możesz przerwać.    *"),
    std::string(79, '*'),
};

using TKind = TProtocol::TKind;

// One transfer: run, line, task and protocol wired together.
struct Transfer {
    explicit Transfer(TKind kind, std::vector<std::string> payloads, bool paper = false,
                      uint32_t startTick = 0)
        : Run(startTick), Line(Run.Context, Run.Clock), Task(Run.Context),
          Protocol(Run.Context, Line, kind, 11, paper)
    {
        Task.Payloads = std::move(payloads);
        EXPECT_TRUE(Task.Start(1, nullptr));
    }

    void Reply(std::initializer_list<std::string> replies)
    {
        for (const auto &r : replies)
            Line.Replies.push_back(r);
    }

    // Starts, runs to the end and closes.
    bool Go(int maxSteps = 100000)
    {
        if (!Protocol.Start(Task))
            return false;
        const bool ended = RunToEnd(Protocol, maxSteps);
        Protocol.Close();
        return ended;
    }

    uint16_t Code() const { return Run.Context.Error.Code; }
    bool AskStatus() const { return Run.Context.Error.AskStatus; }
    const std::vector<std::string> &Lines() const { return Run.Display.Lines; }
    // Elapsed times of the writes whose bytes equal bytes.
    std::vector<uint64_t> TimesOf(const std::string &bytes) const
    {
        std::vector<uint64_t> t;
        for (const auto &w : Line.Writes)
            if (w.Bytes == bytes)
                t.push_back(w.At);
        return t;
    }

    TTestRun Run;
    TFakeLine Line;
    TFakeTask Task;
    TProtocol Protocol;
};

std::string Pkt(char seq, const std::string &payload) { return BuildPacket(seq, payload); }

} // namespace

TEST(Sending, WholeTransferBytesLinesHistoryAndTiming)
{
    Transfer t(TKind::Sending, {"/10-02/", "P1"});
    t.Reply({ACK, ACK, ACK});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Protocol.State(), TProtocol::TState::Finished);
    EXPECT_FALSE(t.Protocol.IsFailed());
    EXPECT_EQ(t.Line.Written(), Wake1 + Pkt('0', "/10-02/") + Pkt('1', "P1") + EOT + EOT);
    EXPECT_EQ(t.Code(), 0);
    EXPECT_TRUE(t.Lines().empty());
    EXPECT_EQ(t.Task.Ends, std::vector<bool>{true});

    // lines: drop RTS and DTR, 200 ms, DTR, RTS on DSR, 300 ms, wake-up
    ASSERT_GE(t.Line.LineChanges.size(), 4u);
    EXPECT_EQ(t.Line.LineChanges[0].Line, LineRTS);
    EXPECT_FALSE(t.Line.LineChanges[0].On);
    EXPECT_EQ(t.Line.LineChanges[1].Line, LineDTR);
    EXPECT_FALSE(t.Line.LineChanges[1].On);
    EXPECT_EQ(t.Line.LineChanges[2].At, 200u);
    EXPECT_EQ(t.Line.LineChanges[2].Line, LineDTR);
    EXPECT_TRUE(t.Line.LineChanges[2].On);
    EXPECT_EQ(t.Line.LineChanges[3].Line, LineRTS);
    EXPECT_TRUE(t.Line.LineChanges[3].On);
    EXPECT_EQ(t.Line.Writes[0].At, 500u);

    // close: 200 ms, EOT, 150 ms, RTS off, 100 ms, DTR off, 1000 ms
    const uint64_t lastEot = t.Line.Writes[3].At;
    EXPECT_EQ(t.Line.Writes[4].At, lastEot + 200);
    ASSERT_EQ(t.Line.LineChanges.size(), 6u);
    EXPECT_EQ(t.Line.LineChanges[4].At, lastEot + 350);
    EXPECT_EQ(t.Line.LineChanges[5].At, lastEot + 450);
    EXPECT_EQ(t.Run.Clock.Elapsed(), lastEot + 1450);

    const std::vector<uint16_t> history = {
        0x0B42, 0x0B41, 0x0B61, 0x0B62,  // lines
        0x0904, 0x0905, 0x0E06,          // wake-up, ACK
        0x0902, 0x090D, 0x0E06,          // command packet, ACK
        0x0902, 0x090D, 0x0E06,          // data packet, ACK
        0x0904, 0x0904,                  // EOT, EOT of the close
        0x0B42, 0x0B41,
    };
    EXPECT_EQ(t.Run.Display.History, history);
}

TEST(Sending, NoDSRWithinTwoSecondsSendsNothing)
{
    Transfer t(TKind::Sending, {"X"});
    t.Line.Dsr = false;
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x1001);
    EXPECT_FALSE(t.AskStatus());
    EXPECT_EQ(t.Line.Written(), EOT); // only the close's EOT
    EXPECT_EQ(t.Lines(), std::vector<std::string>{ErrorOut("1001", "Brak łączności lub kasa wyłączona")});
    EXPECT_EQ(t.Task.Ends, std::vector<bool>{false});
    EXPECT_GE(t.Line.Writes[0].At, 200u + 2000u);
}

TEST(Sending, LateDSRWithinTheTimeIsEnough)
{
    Transfer t(TKind::Sending, {"X"});
    t.Line.Dsr = false;
    t.Line.DsrOnAt = 2100; // 1900 ms after DTR was raised
    t.Reply({ACK, ACK});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0);
    EXPECT_EQ(t.Line.Writes[0].Bytes, Wake1);
    EXPECT_GE(t.Line.Writes[0].At, 2100u + 300u);
}

TEST(Sending, WakeUpAnsweredWithNAKThreeTimes)
{
    Transfer t(TKind::Sending, {"X"});
    t.Reply({NAK, NAK, NAK});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2300);
    EXPECT_EQ(t.Line.Written(), Wake1 + Wake1 + Wake1 + EOT);
    const auto times = t.TimesOf(Wake1);
    ASSERT_EQ(times.size(), 3u);
    // the answer comes 10 ms after each wake-up, then the repetition delay
    EXPECT_EQ(times[1] - times[0], 10u + 300u);
    EXPECT_EQ(times[2] - times[1], 10u + 800u);
    // the repetition count closes the output
    EXPECT_EQ(t.Lines(), (std::vector<std::string>{ErrorOut("2300", "Błąd transmisji"), "3"}));
    EXPECT_EQ(t.Protocol.Repetitions(), 3);
}

TEST(Sending, SilentRegisterAfterThreeWakeUps)
{
    Transfer t(TKind::Sending, {"X"});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x1002);
    const auto times = t.TimesOf(Wake1);
    ASSERT_EQ(times.size(), 3u);
    EXPECT_GE(times[1] - times[0], 2000u + 300u);
    EXPECT_GE(times[2] - times[1], 2000u + 800u);
    EXPECT_EQ(t.Lines(), std::vector<std::string>{ErrorOut(
                             "1002", "Kasa nie odpowiada (zły numer, kasa zajęta lub w trybie paragonu)")});
    EXPECT_EQ(t.Protocol.Repetitions(), 0); // time-outs are not counted
}

TEST(Sending, WakeUpNAKThenACKRecovers)
{
    Transfer t(TKind::Sending, {"X"});
    t.Reply({NAK, ACK, ACK});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0);
    EXPECT_EQ(t.Line.Written(), Wake1 + Wake1 + Pkt('0', "X") + EOT + EOT);
    EXPECT_EQ(t.Lines(), std::vector<std::string>{"1"});
}

TEST(Sending, PacketRefusedWithEOTAsksForStatus)
{
    Transfer t(TKind::Sending, {"/10-00/", "X"});
    t.Run.Context.Error.AskStatus = false;
    t.Reply({ACK, EOT});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2000);
    EXPECT_TRUE(t.AskStatus());
    EXPECT_EQ(t.Line.Written(), Wake1 + Pkt('0', "/10-00/") + EOT);
    EXPECT_EQ(t.Lines(), std::vector<std::string>{ErrorOut("2000", "Błąd zgłoszony przez kasę")});
    EXPECT_EQ(t.Task.Ends, std::vector<bool>{false});
}

TEST(Sending, PacketNAKThreeTimes)
{
    Transfer t(TKind::Sending, {"X"});
    t.Reply({ACK, NAK, "?", NAK});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2300);
    EXPECT_EQ(t.TimesOf(Pkt('0', "X")).size(), 3u);
    EXPECT_EQ(t.Lines().back(), "3");
}

TEST(Sending, NoPacketAfterTheWakeUpFailsWithoutACodeOfItsOwn)
{
    Transfer t(TKind::Sending, {});
    t.Reply({ACK});
    ASSERT_TRUE(t.Go());
    EXPECT_TRUE(t.Protocol.IsFailed());
    EXPECT_EQ(t.Code(), 0);
    EXPECT_TRUE(t.Lines().empty());
    EXPECT_EQ(t.Line.Written(), Wake1 + EOT + EOT);
    EXPECT_EQ(t.Task.Ends, std::vector<bool>{false});
}

TEST(Sending, TaskRunsOutOfPacketsBeforeTheLast)
{
    Transfer t(TKind::Sending, {"A"});
    t.Task.LastFlagOnFinal = false;
    t.Reply({ACK, ACK});
    ASSERT_TRUE(t.Go());
    EXPECT_TRUE(t.Protocol.IsFailed());
    EXPECT_EQ(t.Line.Written(), Wake1 + Pkt('0', "A") + EOT + EOT);
    EXPECT_EQ(t.Task.Ends, std::vector<bool>{false});
}

TEST(Sending, PaperNoticeOnceThenRepeatsUntilStop)
{
    Transfer t(TKind::Sending, {"X"});
    t.Reply({ACK});
    const std::string packet = Pkt('0', "X");
    int sent = 0;
    t.Line.OnWrite = [&](TFakeLine &, const std::string &bytes) {
        if (bytes == packet && ++sent == 9)
            t.Run.Display.StopRequested = true;
    };
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(sent, 9);
    EXPECT_EQ(t.Code(), 0xFFF1);
    std::vector<std::string> expected = Notice;
    expected.push_back(ErrorOut("FFF1", "Transmisja przerwana przez użytkownika"));
    EXPECT_EQ(t.Lines(), expected);
    EXPECT_EQ(t.Task.Ends, std::vector<bool>{false});

    // 5 s without an answer, then the delay for the new attempt count:
    // 800, 1500, 250, and none from then on
    const auto times = t.TimesOf(packet);
    ASSERT_EQ(times.size(), 9u);
    const uint32_t delays[] = {800, 1500, 250, 0, 0, 0, 0, 0};
    for (size_t i = 1; i < times.size(); ++i) {
        const uint64_t gap = times[i] - times[i - 1];
        EXPECT_GE(gap, 5000u + delays[i - 1]) << i;
        EXPECT_LT(gap, 5000u + delays[i - 1] + t.Line.ReadTimeoutMs) << i;
    }
}

TEST(Sending, PaperFlagGivesUpAfterThreeTransmissions)
{
    Transfer t(TKind::Sending, {"X"}, /*paper*/ true);
    t.Reply({ACK});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2301);
    const auto times = t.TimesOf(Pkt('0', "X"));
    ASSERT_EQ(times.size(), 3u);
    EXPECT_GE(times[1] - times[0], 5000u + 300u);
    EXPECT_GE(times[2] - times[1], 5000u + 800u);
    EXPECT_EQ(t.Lines(), std::vector<std::string>{
                             ErrorOut("2301", "Błąd transmisji - prawdopodobnie zabrakło papieru")});
}

TEST(Sending, AnswerAfterATimeOutContinues)
{
    Transfer t(TKind::Sending, {"A", "B"}, true);
    t.Reply({ACK, "", ACK, ACK});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0);
    EXPECT_EQ(t.Line.Written(), Wake1 + Pkt('0', "A") + Pkt('0', "A") + Pkt('1', "B") + EOT + EOT);
}

TEST(Sending, StopIsSeenWithinOneStep)
{
    Transfer t(TKind::Sending, {"X"});
    ASSERT_TRUE(t.Protocol.Start(t.Task));
    t.Protocol.Step(); // DSR, RTS
    t.Run.Display.StopRequested = true;
    t.Protocol.Step();
    EXPECT_TRUE(t.Protocol.IsFailed());
    EXPECT_EQ(t.Code(), 0xFFF1);
    EXPECT_TRUE(t.Line.Writes.empty());
    t.Protocol.Close();
    EXPECT_EQ(t.Line.Written(), EOT);
}

TEST(Sending, CloseOfAnUnstartedTransfer)
{
    TTestRun run;
    TFakeLine line(run.Context, run.Clock);
    {
        TProtocol p(run.Context, line, TKind::Sending);
        p.Close();
        p.Close();
    }
    EXPECT_TRUE(line.Writes.empty());
    EXPECT_TRUE(line.LineChanges.empty());
    EXPECT_EQ(run.Clock.Elapsed(), 1000u);
    {
        TProtocol p(run.Context, line, TKind::Receiving);
    }
    EXPECT_EQ(run.Clock.Elapsed(), 1000u);
}

TEST(Sending, TaskInErrorDoesNotStart)
{
    Transfer t(TKind::Sending, {"X"});
    TFakeTask bad(t.Run.Context);
    EXPECT_FALSE(bad.Start(1000000, nullptr));
    EXPECT_FALSE(t.Protocol.Start(bad));
    EXPECT_TRUE(t.Line.LineChanges.empty());
}

TEST(Sending, WakeUpAtTheWrapOfTheTickCounter)
{
    Transfer t(TKind::Sending, {"X"}, false, TVirtualClock::NearWrap(600));
    t.Reply({"", ACK, ACK}); // the first wake-up's time-out spans the wrap
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0);
    const auto times = t.TimesOf(Wake1);
    ASSERT_EQ(times.size(), 2u);
    EXPECT_GE(times[1] - times[0], 2000u + 300u);
    EXPECT_LT(times[1] - times[0], 2000u + 300u + 350u);
}

// ------------------------------------------------------------ receiving

namespace {
const std::string Cmd = "/20-00/01//";
const std::string CmdPkt = BuildPacket('0', Cmd);
} // namespace

TEST(Receiving, WholeTransferWithTurnaround)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK, ACK, ENQ, Pkt('0', "HDR"), Pkt('1', "DATA"), EOT});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Protocol.State(), TProtocol::TState::Finished);
    EXPECT_EQ(t.Code(), 0);
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt + EOT + ACK + ACK + ACK);
    EXPECT_EQ(t.Task.Accepted, (std::vector<std::string>{"HDR", "DATA"}));
    EXPECT_EQ(t.Task.Ends, std::vector<bool>{true});
    EXPECT_TRUE(t.Lines().empty());

    // EOT 100 ms after the command's ACK, ACK 100 ms after the ENQ
    EXPECT_EQ(t.Line.Writes[2].At - t.Line.Writes[1].At, 10u + 100u);
    EXPECT_EQ(t.Line.Writes[3].At - t.Line.Writes[2].At, 10u + 100u);
    // close without EOT: RTS off, 100 ms, DTR off, 1000 ms
    const uint64_t end = t.Line.Writes.back().At;
    ASSERT_EQ(t.Line.LineChanges.size(), 6u);
    EXPECT_EQ(t.Run.Clock.Elapsed() - t.Line.LineChanges[5].At, 1000u);
    EXPECT_EQ(t.Line.LineChanges[5].At - t.Line.LineChanges[4].At, 100u);
    EXPECT_GE(t.Line.LineChanges[4].At, end);
}

TEST(Receiving, LowerCaseChecksumIsAnsweredWithNAK)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK, ACK, ENQ, "\x02" "0abcaa\r", Pkt('0', "abc"), EOT});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0);
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt + EOT + ACK + NAK + ACK);
    EXPECT_EQ(t.Task.Accepted, std::vector<std::string>{"abc"});
}

TEST(Receiving, RepeatedENQBeforeTheFirstPacketGetsASecondACK)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK, ACK, ENQ, ENQ, Pkt('0', "P"), ENQ + EOT});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0);
    // ACK for the turnaround, ACK for the repeated ENQ, ACK for the
    // packet; the ENQ after the packet gets nothing
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt + EOT + ACK + ACK + ACK);
    EXPECT_EQ(t.Task.Ends, std::vector<bool>{true});
}

TEST(Receiving, ENQAfterAPacketOnlyRestartsTheTimer)
{
    Transfer t(TKind::Receiving, {Cmd});
    // after the packet: ENQ, then silence: the 3-second timer ends it
    t.Reply({ACK, ACK, ENQ, Pkt('0', "P"), ENQ});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2300);
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt + EOT + ACK + ACK);
    const uint64_t lastAck = t.Line.Writes.back().At;
    // ended ~3 s after the ENQ rather than 8 s after the ACK
    EXPECT_LT(t.Line.LineChanges[4].At - lastAck, 8000u);
    EXPECT_GE(t.Line.LineChanges[4].At - lastAck, 3000u);
}

TEST(Receiving, EOTRightAfterTheTurnaroundACK)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Run.Context.Error.AskStatus = false;
    t.Reply({ACK, ACK, ENQ, EOT});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2000);
    EXPECT_TRUE(t.AskStatus());
    EXPECT_EQ(t.Task.Ends, std::vector<bool>{false});
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt + EOT + ACK);
}

TEST(Receiving, EOTAfterARefusedPacketIsANormalEnd)
{
    // a packet was received (even if refused), so EOT ends the transfer
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK, ACK, ENQ, Pkt('0', "P"), EOT});
    t.Task.Verdicts = {false};
    ASSERT_TRUE(t.Go());
    // after NAK the register's EOT is a refusal
    EXPECT_EQ(t.Code(), 0x2000);
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt + EOT + ACK + NAK);
}

TEST(Receiving, CommandRefusedWithEOT)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK, EOT});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2000);
    EXPECT_TRUE(t.AskStatus());
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt);
}

TEST(Receiving, TurnaroundEOTRefused)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK, ACK, EOT});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2000);
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt + EOT);
}

TEST(Receiving, TurnaroundWithoutENQRepeatsEOTThenFails)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK, ACK, "", NAK, ""});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2300);
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt + EOT + EOT + EOT);
    EXPECT_EQ(t.Protocol.Repetitions(), 0); // a receiving transfer counts none
    EXPECT_EQ(t.Lines(), std::vector<std::string>{ErrorOut("2300", "Błąd transmisji")});
}

TEST(Receiving, WakeUpNAKsAreNotCounted)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({NAK, ACK, ACK, ENQ, Pkt('0', "P"), EOT});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0);
    EXPECT_EQ(t.Protocol.Repetitions(), 0);
    EXPECT_TRUE(t.Lines().empty());
}

TEST(Receiving, CommandPacketTimesOutThreeTimes)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2300);
    EXPECT_EQ(t.TimesOf(CmdPkt).size(), 3u);
}

TEST(Receiving, SilenceAfterTheTurnaroundACK)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK, ACK, ENQ});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2300);
    const uint64_t ack = t.Line.Writes.back().At;
    EXPECT_GE(t.Line.LineChanges[4].At - ack, 8000u);
}

TEST(Receiving, RepeatedPacketAfterNAK)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Task.Verdicts = {false};
    t.Reply({ACK, ACK, ENQ, Pkt('0', "P"), Pkt('0', "P"), EOT});
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0);
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt + EOT + ACK + NAK + ACK);
    EXPECT_EQ(t.Task.Accepted, std::vector<std::string>{"P"});
}

TEST(Receiving, NoRepetitionAfterNAKTimesOut)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK, ACK, ENQ, Pkt('0', "P~")});
    t.Task.Verdicts = {false};
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2300);
}

TEST(Receiving, TaskInErrorAnswersEOT)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Task.Verdicts = {false};
    t.Task.FailOnRefuse = true;
    t.Reply({ACK, ACK, ENQ, Pkt('0', "P")});
    ASSERT_TRUE(t.Go());
    EXPECT_TRUE(t.Protocol.IsFailed());
    EXPECT_EQ(t.Code(), 0x9910); // the task's own code stays
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt + EOT + ACK + EOT);
    EXPECT_EQ(t.Task.Ends, std::vector<bool>{false});
}

TEST(Receiving, PacketArrivingInPiecesAndGarbageBeforeSTX)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK, ACK, ENQ});
    const std::string packet = Pkt('0', "0123456789");
    t.Line.OnWrite = [&](TFakeLine &line, const std::string &bytes) {
        if (bytes == ACK && line.Writes.size() == 4) {
            line.Send("zz", 20);
            line.Send(packet.substr(0, 5), 30);
            line.Send(packet.substr(5), 200); // within the read interval of the fake
            line.Send(EOT, 400);
        }
    };
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0);
    EXPECT_EQ(t.Task.Accepted, std::vector<std::string>{"0123456789"});
}

namespace {

// Damaged copies of the packet "0" "P": checksum, sequence, case, cut off.
std::string Damaged(int i)
{
    const std::string good = BuildPacket('0', "P");
    switch (i % 4) {
    case 0: return "\x02" "0P00\r";
    case 1: return BuildPacket('1', "P");
    case 2: {
        std::string s = BuildPacket('0', "PZ"); // checksum of "PZ" but ...
        s.erase(3, 1);                           // ... the Z lost on the way
        return s;
    }
    default: return good.substr(0, 3) + "\r";
    }
}

std::string Repeat(const std::string &s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

} // namespace

TEST(Receiving, DamagedCopiesOfAPacketRecoverUpToTheBound)
{
    struct Case {
        std::vector<int> damagedBefore; // damaged copies before each good packet
        bool recovers;
    };
    const int max = TProtocol::MaxNAKsInARow;
    const Case cases[] = {
        {{1}, true},
        {{3}, true},
        {{max - 1}, true},
        {{max}, true},
        {{max + 1}, false},
        // a good packet starts the count afresh
        {{max, max, max}, true},
        {{max, 2, max + 1}, false},
        {{0, 0, max + 1}, false},
    };
    for (const Case &c : cases) {
        std::string trace;
        for (int n : c.damagedBefore)
            trace += std::to_string(n) + " ";
        SCOPED_TRACE(trace);
        Transfer t(TKind::Receiving, {Cmd});
        t.Reply({ACK, ACK, ENQ});
        std::string expected = Wake1 + CmdPkt + EOT + ACK;
        std::vector<std::string> accepted;
        char seq = '0';
        for (int n : c.damagedBefore) {
            const int refused = std::min(n, max + 1);
            for (int i = 0; i < refused; ++i)
                t.Line.Replies.push_back(seq == '0' ? Damaged(i) : Damaged(i).replace(1, 1, 1, 'x'));
            expected += Repeat(NAK, std::min(n, max));
            if (n > max)
                break;
            t.Line.Replies.push_back(Pkt(seq, "P" + std::to_string(accepted.size())));
            accepted.push_back("P" + std::to_string(accepted.size()));
            expected += ACK;
            seq = NextSequence(seq);
        }
        if (c.recovers)
            t.Line.Replies.push_back(EOT);
        ASSERT_TRUE(t.Go());
        EXPECT_EQ(t.Line.Written(), expected);
        EXPECT_EQ(t.Task.Accepted, accepted);
        if (c.recovers) {
            EXPECT_EQ(t.Code(), 0);
            EXPECT_EQ(t.Task.Ends, std::vector<bool>{true});
            EXPECT_TRUE(t.Lines().empty());
        } else {
            EXPECT_TRUE(t.Protocol.IsFailed());
            EXPECT_EQ(t.Code(), 0x2300);
            EXPECT_FALSE(t.AskStatus());
            EXPECT_EQ(t.Task.Ends, std::vector<bool>{false});
            EXPECT_EQ(t.Lines(), std::vector<std::string>{ErrorOut("2300", "Błąd transmisji")});
        }
    }
}

TEST(Receiving, RegisterThatOnlySendsDamagedPacketsEndsTheJob)
{
    // Answers every NAK with another damaged copy, for ever.
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK, ACK, ENQ, Damaged(0)});
    int copies = 1;
    t.Line.OnWrite = [&](TFakeLine &line, const std::string &bytes) {
        if (bytes == NAK)
            line.Send(Damaged(copies++), 10);
    };
    ASSERT_TRUE(t.Go(100000));
    EXPECT_TRUE(t.Protocol.IsFailed());
    EXPECT_EQ(t.Code(), 0x2300);
    EXPECT_EQ(t.Line.Written(), Wake1 + CmdPkt + EOT + ACK + Repeat(NAK, TProtocol::MaxNAKsInARow));
    EXPECT_EQ(copies, TProtocol::MaxNAKsInARow + 1);
    EXPECT_EQ(t.Task.Ends, std::vector<bool>{false});
    EXPECT_LT(t.Run.Clock.Elapsed(), 10000u); // ended by the count, not by a time-out
}

// --------------------------------------------------- any bytes, any time

namespace {

std::vector<std::string> GarbageTable()
{
    std::vector<std::string> g = {
        "",
        NAK,
        ACK + ACK + ACK,
        "\x02",
        "\x02" "0abc",
        std::string("\x00\xff\x80\x7f", 4),
        ENQ + ENQ + ENQ + ENQ,
        "\x02" + std::string(70000, 'A'),
        std::string(70000, 'B'),
        "\x02\x02\x02\x0d\x0d",
        EOT + ACK,
        "\x02" "0" "00" "\x0d",
    };
    // a fixed pseudo-random stream
    uint32_t x = 12345;
    for (int n = 0; n < 6; ++n) {
        std::string s;
        for (int i = 0; i < 300; ++i) {
            x = x * 1103515245u + 12345u;
            s += static_cast<char>(x >> 24);
        }
        g.push_back(s);
    }
    return g;
}

} // namespace

TEST(AnyInput, EveryPhaseEndsWithACodeAndNeverHangs)
{
    const auto garbage = GarbageTable();
    const uint16_t allowed[] = {0, 0x1002, 0x2000, 0x2300, 0x2301};
    for (TKind kind : {TKind::Sending, TKind::Receiving}) {
        for (size_t phase = 0; phase < 5; ++phase) {
            for (size_t g = 0; g < garbage.size(); ++g) {
                SCOPED_TRACE(testing::Message() << (kind == TKind::Sending ? "send" : "receive")
                                                << " phase " << phase << " garbage " << g);
                Transfer t(kind, {"/20-00/", "B"}, /*paper*/ true);
                std::vector<std::string> good = {ACK, ACK, kind == TKind::Sending ? ACK : ENQ,
                                                 Pkt('0', "P"), EOT};
                for (size_t i = 0; i < phase; ++i)
                    t.Line.Replies.push_back(good[i]);
                t.Line.Replies.push_back(garbage[g]);
                t.Line.ReadFailures = 0;
                ASSERT_TRUE(t.Go(200000));
                EXPECT_TRUE(std::find(std::begin(allowed), std::end(allowed), t.Code())
                            != std::end(allowed))
                    << std::hex << t.Code();
                EXPECT_EQ(t.Task.Ends.size(), 1u);
                EXPECT_LT(t.Run.Clock.Elapsed(), 120000u); // virtual time
            }
        }
    }
}

TEST(AnyInput, ReadFailuresCountAsEOT)
{
    Transfer t(TKind::Receiving, {Cmd});
    t.Reply({ACK});
    t.Line.OnWrite = [](TFakeLine &line, const std::string &bytes) {
        if (bytes == CmdPkt)
            line.ReadFailures = 1;
    };
    ASSERT_TRUE(t.Go());
    EXPECT_EQ(t.Code(), 0x2000);
}
