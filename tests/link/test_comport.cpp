// The serial port: naming, time-outs, the virtual-line rule and the purge
// decision, and the real TComPort over a pseudo-terminal with the register
// played on the master side.
#include "link/UComPort.h"
#include "link/UError.h"
#include "link/UNational.h"
#include "link/UProtoco.h"
#include "fake_line.h"
#include "pty_pair.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
const std::string ACK = "\x06", EOT = "\x04", ENQ = "\x05";
}

// ------------------------------------------------------------ decisions

TEST(BlockRead, EndsAtOnceOnlyAfterACompleteAnswer)
{
    // Every byte value: only the answers the PC waits for and the CR that
    // closes a packet end the read; STX opens a packet and the checksum
    // digits come before its CR.
    const std::string ends = {0x04, 0x05, 0x06, 0x0D, 0x15};
    for (int b = 0; b < 256; ++b) {
        const bool expected = ends.find(static_cast<char>(b)) != std::string::npos;
        EXPECT_EQ(TComPort::EndsAnswer(static_cast<uint8_t>(b)), expected) << std::hex << b;
    }
    // The last byte of every answer the register sends ends the read; no
    // byte before the end of a packet does.
    const std::string packet = BuildPacket('3', "/10-00/01 ABC");
    for (const std::string &answer : {ACK, EOT, ENQ, std::string("\x15"), packet}) {
        EXPECT_TRUE(TComPort::EndsAnswer(static_cast<uint8_t>(answer.back())));
    }
    for (size_t i = 0; i + 1 < packet.size(); ++i)
        EXPECT_FALSE(TComPort::EndsAnswer(static_cast<uint8_t>(packet[i]))) << i;
}

TEST(PortNaming, DevicePathTable)
{
    struct Case {
        std::string name;
        int number;
        std::string path;
    };
    // The port names of the user's system.
#ifdef _WIN32
    const Case cases[] = {
        {"", 1, "\\\\.\\COM1"},        {"", 2, "\\\\.\\COM2"},
        {"COM3", 1, "\\\\.\\COM3"},    {"COM1", 7, "\\\\.\\COM1"},
        {"COM12", 1, "\\\\.\\COM12"},  {"com2", 1, "\\\\.\\com2"},
        {"\\\\.\\COM10", 1, "\\\\.\\COM10"}, {"CNCA0", 1, "\\\\.\\CNCA0"},
    };
#else
    const Case cases[] = {
        {"", 1, "/dev/ttyS0"},         {"", 2, "/dev/ttyS1"},
        {"COM3", 1, "/dev/ttyS2"},     {"COM1", 7, "/dev/ttyS0"},
        {"com2", 1, "/dev/ttyS1"},     {"COM10", 1, "/dev/ttyS9"},
        {"/dev/pts/7", 1, "/dev/pts/7"}, {"/tmp/kasa", 1, "/tmp/kasa"},
        {"ttyUSB0", 1, "/dev/ttyUSB0"}, {"ttyACM1", 1, "/dev/ttyACM1"},
        {"COM", 1, "/dev/COM"},        {"COM0", 1, "/dev/COM0"},
        {"COMX", 1, "/dev/COMX"},      {"COM99999999999", 1, "/dev/COM99999999999"},
    };
#endif
    for (const auto &c : cases)
        EXPECT_EQ(TComPort::DevicePathFor(c.name, c.number), c.path) << c.name << " " << c.number;
}

TEST(PortTimeouts, FromTheSpeed)
{
    struct Case {
        int baud;
        uint32_t k;
    };
    for (auto c : {Case{9600, 2}, Case{19200, 1}, Case{2400, 5}, Case{4800, 3}, Case{110, 88},
                   Case{256000, 1}}) {
        const auto t = TComPort::TimeoutsFor(c.baud);
        EXPECT_EQ(t.ReadInterval, c.k) << c.baud;
        EXPECT_EQ(t.WriteTotalPerByte, c.k) << c.baud;
        EXPECT_EQ(t.ReadTotalPerByte, 1u);
        EXPECT_EQ(t.ReadTotalConstant, 100u);
        EXPECT_EQ(t.WriteTotalConstant, 3000u);
    }
}

TEST(PortSpeeds, OnlyTheListedRates)
{
    for (int b : {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200,
                  128000, 256000})
        EXPECT_TRUE(TComPort::ValidBaud(b)) << b;
    for (int b : {0, -9600, 12345, 9601, 230400, 1})
        EXPECT_FALSE(TComPort::ValidBaud(b)) << b;
}

TEST(VirtualLine, OnlyThePseudoTerminalMajorsOfLinux)
{
    struct Case {
        unsigned major;
        bool pty;
    };
    const Case cases[] = {
        {136, true}, {143, true}, {3, true},                 // Unix98 slaves, old BSD slaves
        {4, false}, {188, false}, {166, false}, {5, false},  // ttyS, ttyUSB, ttyACM, ptmx
        {135, false}, {144, false}, {0, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TComPort::IsPseudoTerminalMajor(c.major), c.pty) << c.major;
}

TEST(Purge, OnlyOnARealLineAndOnlyAfterABlock)
{
    EXPECT_TRUE(TLine::PurgeAfterWrite(false));
    EXPECT_FALSE(TLine::PurgeAfterWrite(true));

    for (bool isVirtual : {false, true}) {
        TTestRun run;
        TFakeLine line(run.Context, run.Clock, isVirtual);
        line.Send("echo");
        line.WriteByte('x');
        EXPECT_EQ(line.Purges, 0);
        line.WriteBlock("\x02" "abc\x0d");
        EXPECT_EQ(line.Purges, isVirtual ? 0 : 1);
        EXPECT_EQ(line.Pending(), isVirtual ? 4u : 0u);
        line.WriteBlock("");
        EXPECT_EQ(line.Purges, isVirtual ? 0 : 1); // nothing sent, nothing purged
    }
}

TEST(History, MarksOfTheLine)
{
    TTestRun run;
    TFakeLine line(run.Context, run.Clock);
    line.WriteBlock("\x02" "abc\x03");
    line.WriteBlock("abc");
    line.WriteBlock("\x06");   // a one-byte block is reported twice
    line.WriteByte('A');
    line.WriteByte(0x15);
    line.SetControlLine(LineRTS, true);
    line.SetControlLine(LineDTR, false);
    line.SetControlLine(LineDTR, true);
    line.SetControlLine(7, false);  // no line, but the mark
    line.Send("a\x04" "b");
    EXPECT_EQ(line.ReadByte(), 'a');
    EXPECT_EQ(line.ReadByte(), 4);
    EXPECT_EQ(line.ReadByte(), 'b');
    EXPECT_EQ(line.ReadByte(), ReadNothing);
    const std::vector<uint16_t> expected = {0x0902, 0x0903, 0x0906, 0x0906, 0x0915, 0x0B62,
                                            0x0B41, 0x0B61, 0x0B48, 0x0E04};
    EXPECT_EQ(run.Display.History, expected);
    EXPECT_EQ(line.LineChanges.size(), 3u);
    EXPECT_FALSE(line.GetControlLine(9));
}

TEST(ReadResponse, AcrossAPauseAndAfterACompleteOne)
{
    TTestRun run;
    TFakeLine line(run.Context, run.Clock);
    line.Send("ab");
    EXPECT_FALSE(line.ReadResponse());
    EXPECT_EQ(line.ResponseBuffer().Str(), "ab");
    EXPECT_EQ(line.LastRead(), ReadNothing);
    line.Send("c\x0d");
    EXPECT_TRUE(line.ReadResponse());
    EXPECT_EQ(line.ResponseBuffer().Str(), "abc\x0d");
    EXPECT_EQ(line.LastRead(), 0x0d);
    line.Send("\x06");
    EXPECT_TRUE(line.ReadResponse());
    EXPECT_EQ(line.ResponseBuffer().Str(), "\x06");
    line.ReadFailures = 1;
    EXPECT_TRUE(line.ReadResponse()); // a failed read ends it as EOT
    EXPECT_EQ(line.ResponseBuffer().Str(), "\x04");
}

TEST(ReadResponse, EndlessTextNeverOverflows)
{
    TTestRun run;
    TFakeLine line(run.Context, run.Clock);
    line.Send(std::string(70000, 'z'));
    EXPECT_FALSE(line.ReadResponse());
    EXPECT_EQ(line.ResponseBuffer().Length(), TSuperString::MaxLength);
}

// ------------------------------------------------------ real port, pty

namespace {

struct PtyPort {
    PtyPort() : Port(Run.Context)
    {
        Port.PortName = Pty.SlavePath();
    }
    TTestRun Run;
    TPtyPair Pty;
    TComPort Port;
};

} // namespace

TEST(ComPort, OpenFailureWritesTheDevicePathAndOSText)
{
    TTestRun run;
    TComPort port(run.Context);
    port.PortName = "/nonexistent-dir/ttyX";
    const std::string path = port.DevicePath(1);
    EXPECT_FALSE(port.OpenPort(1, 9600));
    EXPECT_FALSE(port.Opened());
    ASSERT_EQ(run.Display.Lines.size(), 1u);
    const std::string &line = run.Display.Lines[0];
    EXPECT_EQ(line.rfind("Blad(", 0), 0u) << line;
    EXPECT_NE(line.find(") otwarcia portu " + path + ". "), std::string::npos) << line;
    EXPECT_GT(line.size(), ("Blad(2) otwarcia portu " + path + ". ").size());
}

TEST(ComPort, WrongSpeedLeavesThePortClosed)
{
    ORVAN_SKIP_WITHOUT_PTY();
    PtyPort p;
    ASSERT_TRUE(p.Pty.Ok());
    EXPECT_FALSE(p.Port.OpenPort(1, 12345));
    EXPECT_FALSE(p.Port.Opened());
    EXPECT_EQ(p.Run.Display.Lines,
              std::vector<std::string>{"Nieprawidlowa predkosc transmisji (parametr /B)"});
}

TEST(ComPort, PseudoTerminalIsAVirtualLine)
{
    ORVAN_SKIP_WITHOUT_PTY();
    PtyPort p;
    ASSERT_TRUE(p.Pty.Ok());
    ASSERT_TRUE(p.Port.OpenPort(1, 0)) << (p.Run.Display.Lines.empty() ? "" : p.Run.Display.Lines[0]);
    EXPECT_TRUE(p.Port.Opened());
    EXPECT_TRUE(p.Port.IsVirtual());
    p.Port.SetControlLine(LineRTS, true);
    p.Port.SetControlLine(LineDTR, false);
    EXPECT_TRUE(p.Port.GetControlLine(LineDSR));
    EXPECT_FALSE(p.Port.GetControlLine(LineCarrier));
    EXPECT_EQ(p.Run.Display.History, (std::vector<uint16_t>{0x0B62, 0x0B41}));
    EXPECT_TRUE(p.Run.Display.Lines.empty()); // no error lines for the modem lines
    p.Port.ClosePort();
    EXPECT_FALSE(p.Port.Opened());
    p.Port.ClosePort();
}

TEST(ComPort, ReadsWritesAndKeepsAWaitingAnswerOnAVirtualLine)
{
    ORVAN_SKIP_WITHOUT_PTY();
    PtyPort p;
    ASSERT_TRUE(p.Pty.Ok());
    ASSERT_TRUE(p.Port.OpenPort(1, 9600));

    // silent line: nothing, and the next call reads again
    EXPECT_EQ(p.Port.ReadByte(), ReadNothing);

    p.Pty.Write("AB\x06");
    // an answer already waiting survives a block write (no purge)
    p.Port.WriteBlock("\x02" "0abcAA\x0d");
    EXPECT_EQ(p.Pty.Read(8), "\x02" "0abcAA\x0d");
    EXPECT_EQ(p.Port.ReadByte(), 'A');
    EXPECT_EQ(p.Port.ReadByte(), 'B');
    EXPECT_EQ(p.Port.ReadByte(), 0x06);
    EXPECT_EQ(p.Port.ReadByte(), ReadNothing);

    p.Port.WriteByte(0x04);
    p.Port.WriteBlock("text");
    EXPECT_EQ(p.Pty.Read(5), "\x04" "text");
    // every byte value passes unchanged (no character format on a pty)
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    p.Pty.Write(all);
    std::string got;
    for (int b; (b = p.Port.ReadByte()) != ReadNothing;)
        got += static_cast<char>(b);
    EXPECT_EQ(got, all);

    const std::vector<uint16_t> expectedStart = {0x0902, 0x090D, 0x0E06, 0x0904};
    ASSERT_GE(p.Run.Display.History.size(), 4u);
    EXPECT_EQ(std::vector<uint16_t>(p.Run.Display.History.begin(), p.Run.Display.History.begin() + 4),
              expectedStart);
    EXPECT_EQ(p.Run.Display.History.size(), 4u + 32u); // the control characters of "all"
    EXPECT_TRUE(p.Run.Display.Lines.empty());
}

TEST(ComPort, ReadResponseOverTheLine)
{
    ORVAN_SKIP_WITHOUT_PTY();
    PtyPort p;
    ASSERT_TRUE(p.Pty.Ok());
    ASSERT_TRUE(p.Port.OpenPort(1, 19200));
    p.Pty.Write("ab");
    EXPECT_FALSE(p.Port.ReadResponse());
    p.Pty.Write("c\x0d" "d");
    EXPECT_TRUE(p.Port.ReadResponse());
    EXPECT_EQ(p.Port.ResponseBuffer().Str(), "abc\x0d");
    EXPECT_FALSE(p.Port.ReadResponse());
    EXPECT_EQ(p.Port.ResponseBuffer().Str(), "d");
    p.Port.ClosePort();
    EXPECT_TRUE(p.Port.ResponseBuffer().Empty());
}

TEST(ComPort, FailuresOfAClosedOrHungUpLine)
{
    ORVAN_SKIP_WITHOUT_PTY();
    PtyPort p;
    ASSERT_TRUE(p.Pty.Ok());
    ASSERT_TRUE(p.Port.OpenPort(1, 19200));
    p.Pty.CloseMaster();
    // A hung-up line is the port gone, said once with its name; what the
    // protocol then does with the dead line adds nothing.
    EXPECT_EQ(p.Port.ReadByte(), ReadFailed);
    p.Port.WriteByte('x');
    EXPECT_EQ(p.Port.ReadByte(), ReadFailed);
    p.Run.Context.SetError(0x2000, true);
    const auto w = [](const std::string &utf8) { return Translate(MessageTranslation('W'), Utf8ToCp852(utf8)); };
    EXPECT_EQ(p.Run.Display.Lines, (std::vector<std::string>{w("Port " + p.Pty.SlavePath() + " zniknął (urządzenie odłączone?)"),
                                                             w("-= 1000 Błąd otwarcia portu komunikacyjnego =-")}));
    EXPECT_EQ(p.Run.Context.Error.Code, 0x1000);
    EXPECT_FALSE(p.Run.Context.Error.AskStatus);
    p.Port.ClosePort();
    p.Run.Display.Lines.clear();
    EXPECT_EQ(p.Port.ReadByte(), ReadFailed);
    p.Port.WriteByte('x');
    ASSERT_EQ(p.Run.Display.Lines.size(), 2u);
    EXPECT_EQ(p.Run.Display.Lines[0].rfind("Blad odczytu z portu. ", 0), 0u);
    EXPECT_EQ(p.Run.Display.Lines[1].rfind("Blad wyslania do portu. ", 0), 0u);
}

TEST(ComPort, ReopenClosesFirst)
{
    ORVAN_SKIP_WITHOUT_PTY();
    PtyPort p;
    ASSERT_TRUE(p.Pty.Ok());
    ASSERT_TRUE(p.Port.OpenPort(1, 19200));
    ASSERT_TRUE(p.Port.OpenPort(1, 9600));
    EXPECT_TRUE(p.Port.Opened());
}

// --------------------------------------------- protocol over the pty

TEST(ComPort, SendingExchangeWithARegisterOnThePty)
{
    ORVAN_SKIP_WITHOUT_PTY();
    PtyPort p;
    ASSERT_TRUE(p.Pty.Ok());
    ASSERT_TRUE(p.Port.OpenPort(1, 19200));
    TFakeTask task(p.Run.Context);
    task.Payloads = {"/10-00/", "DATA"};
    ASSERT_TRUE(task.Start(7, nullptr));

    std::vector<std::string> seen;
    std::thread peer([&] {
        seen.push_back(p.Pty.ReadUntil('\x05'));
        p.Pty.Write(ACK);
        seen.push_back(p.Pty.ReadUntil('\x0d'));
        p.Pty.Write(ACK);
        seen.push_back(p.Pty.ReadUntil('\x0d'));
        p.Pty.Write(ACK);
        seen.push_back(p.Pty.Read(2)); // EOT, and the close's EOT
    });
    {
        TProtocol protocol(p.Run.Context, p.Port, TProtocol::TKind::Sending);
        ASSERT_TRUE(protocol.Start(task));
        for (int i = 0; i < 100000 && !protocol.IsFinished(); ++i)
            protocol.Step();
        protocol.Close();
        EXPECT_FALSE(protocol.IsFailed());
    }
    p.Pty.Cancel();
    peer.join();
    const std::vector<std::string> expected = {WakeUpSequence(7), BuildPacket('0', "/10-00/"),
                                               BuildPacket('1', "DATA"), EOT + EOT};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(p.Run.Context.Error.Code, 0);
    EXPECT_EQ(task.Ends, std::vector<bool>{true});
    EXPECT_TRUE(p.Run.Display.Lines.empty());
}

TEST(ComPort, ReceivingExchangeWithARegisterOnThePty)
{
    ORVAN_SKIP_WITHOUT_PTY();
    PtyPort p;
    ASSERT_TRUE(p.Pty.Ok());
    ASSERT_TRUE(p.Port.OpenPort(1, 9600));
    TFakeTask task(p.Run.Context);
    task.Payloads = {"/99-00/"};
    ASSERT_TRUE(task.Start(1, nullptr));

    std::vector<std::string> seen;
    std::thread peer([&] {
        seen.push_back(p.Pty.ReadUntil('\x05'));
        p.Pty.Write(ACK);
        seen.push_back(p.Pty.ReadUntil('\x0d'));
        p.Pty.Write(ACK);
        seen.push_back(p.Pty.Read(1)); // EOT
        p.Pty.Write(ENQ);
        seen.push_back(p.Pty.Read(1)); // ACK
        p.Pty.Write(BuildPacket('0', "0701"));
        seen.push_back(p.Pty.Read(1)); // ACK
        p.Pty.Write(EOT);
    });
    {
        TProtocol protocol(p.Run.Context, p.Port, TProtocol::TKind::Receiving);
        ASSERT_TRUE(protocol.Start(task));
        for (int i = 0; i < 100000 && !protocol.IsFinished(); ++i)
            protocol.Step();
        protocol.Close();
        EXPECT_FALSE(protocol.IsFailed());
    }
    p.Pty.Cancel();
    peer.join();
    const std::vector<std::string> expected = {WakeUpSequence(1), BuildPacket('0', "/99-00/"), EOT,
                                               ACK, ACK};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(task.Accepted, std::vector<std::string>{"0701"});
    EXPECT_EQ(p.Run.Context.Error.Code, 0);
}
