// The port over a device fake: only a pseudo-terminal is a virtual line, a
// real device that refuses the line settings ends the job; and every job
// starts on an emptied receive queue.
#include "link/UComPort.h"
#include "link/UModule.h"
#include "link/UNational.h"
#include "link/UVirtualClock.h"
#include "fake_line.h"
#include "link_test_support.h"
#include "pty_pair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

namespace {

// A device that opens and then answers as configured; records the calls.
class TFakeDevice : public TSerialDevice {
public:
    bool Pty = false;
    bool RefuseSettings = false;
    bool RefuseTimeouts = false;
    std::string Call; // the system call a refusal names
    bool ModemUnreadable = false;
    int Modem = 0;
    std::string Text = "Operation not supported";
    std::string Incoming;       // what the register sent
    bool GoneWhenEmpty = false; // then the adapter is unplugged
    // what happened
    std::vector<std::string> Calls;
    std::string Opened;

    bool Open(const std::string &path) override
    {
        Opened = path;
        FOpen = true;
        return true;
    }
    void Close() override { FOpen = false; }
    bool IsOpen() const override { return FOpen; }
    bool IsPseudoTerminal() const override { return Pty; }
    bool SetLineSettings(int baud) override
    {
        Calls.push_back("settings " + std::to_string(baud));
        if (RefuseSettings)
            FError = TError::Unsupported;
        return !RefuseSettings;
    }
    bool SetQueuesAndTimeouts(int baud) override
    {
        Calls.push_back("timeouts " + std::to_string(baud));
        if (RefuseTimeouts)
            FError = TError::Other;
        return !RefuseTimeouts;
    }
    bool SetControlLine(int line, bool on) override
    {
        Calls.push_back("line " + std::to_string(line) + (on ? " on" : " off"));
        return true;
    }
    int ModemLines() override
    {
        if (ModemUnreadable) {
            FError = TError::Unsupported;
            return -1;
        }
        return Modem;
    }
    int64_t BytesAvailable() override { return static_cast<int64_t>(Incoming.size()); }
    bool WaitForReadyRead(int) override
    {
        if (!Incoming.empty())
            return true;
        if (GoneWhenEmpty)
            FError = TError::Gone;
        return false;
    }
    int64_t Read(char *data, int64_t max) override
    {
        const size_t n = std::min(Incoming.size(), static_cast<size_t>(max));
        Incoming.copy(data, n);
        Incoming.erase(0, n);
        return static_cast<int64_t>(n);
    }
    int64_t Write(const char *, int64_t size) override { return size; }
    int64_t BytesToWrite() override { return 0; }
    bool WaitForBytesWritten(int) override { return true; }
    bool ClearInput() override
    {
        Calls.push_back("purge");
        return true;
    }
    TError Error() const override { return FError; }
    void ClearError() override { FError = TError::None; }
    int ErrorNumber() const override { return 95; }
    std::string ErrorText() const override { return Text; }
    std::string FailedCall() const override { return Call; }

private:
    bool FOpen = false;
    TError FError = TError::None;
};

// Sets an environment variable while it lives; empty value: unset.
class TScopedVariable {
public:
    TScopedVariable(const char *name, const char *value) : FName(name)
    {
        if (const char *old = std::getenv(name))
            FOld = old;
        Set(value);
    }
    ~TScopedVariable() { Set(FOld.c_str()); }

private:
    void Set(const char *value)
    {
#ifdef _WIN32
        _putenv_s(FName, value);
#else
        if (*value)
            setenv(FName, value, 1);
        else
            unsetenv(FName);
#endif
    }
    const char *FName;
    std::string FOld;
};

// A run under Wine may set it for the program; these tests decide it
// themselves.
const TScopedVariable g_noForcedVirtualLine("ORVAN_VIRTUAL_LINE", "");

} // namespace

TEST(PortDevice, RealDeviceThatRefusesTheSettingsEndsTheOpen)
{
    TTestRun run;
    auto device = std::make_unique<TFakeDevice>();
    device->RefuseSettings = true;
    TFakeDevice &dev = *device;
    TComPort port(run.Context, std::move(device));
    port.PortName = "ttyUSB0";
    EXPECT_FALSE(port.OpenPort(1, 2400));
    EXPECT_EQ(dev.Opened, port.DevicePath(1));
    EXPECT_FALSE(port.Opened());
    EXPECT_FALSE(port.IsVirtual());
    EXPECT_EQ(run.Display.Lines, std::vector<std::string>{"Blad WinAPI (SetCommState). Operation not supported"});
}

TEST(PortDevice, WhatTheDeviceIsDecidesTheVirtualLine)
{
    struct Case {
        const char *name;
        bool pty, refuse;
        bool opens, isVirtual;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"real device", false, false, true, false, {"settings 9600", "timeouts 9600", "line 0 on"}},
        {"pseudo-terminal", true, false, true, true, {"timeouts 9600"}},
        {"pseudo-terminal that would refuse", true, true, true, true, {"timeouts 9600"}},
        {"real device that refuses", false, true, false, false, {"settings 9600"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TTestRun run;
        auto device = std::make_unique<TFakeDevice>();
        device->Pty = c.pty;
        device->RefuseSettings = c.refuse;
        TFakeDevice &dev = *device;
        TComPort port(run.Context, std::move(device));
        port.PortName = "/dev/serial/by-id/usb-FTDI";
        EXPECT_EQ(port.OpenPort(1, 9600), c.opens);
        EXPECT_EQ(port.IsVirtual(), c.isVirtual);
        if (c.opens)
            port.SetControlLine(LineDTR, true);
        EXPECT_EQ(dev.Calls, c.calls);
    }
}

// Each refused call of the settings has its own line, and the port stays
// closed.
TEST(PortDevice, RefusedSettingsNameTheirCall)
{
    const struct {
        bool settings;
        const char *call;
        const char *line;
    } cases[] = {
        {true, "", "Blad WinAPI (SetCommState). Odmowa"},
        {true, "SetCommState", "Blad WinAPI (SetCommState). Odmowa"},
        {true, "GetCommState", "Blad(95) GetCommState. Odmowa"},
        {false, "SetupComm", "Blad(95) SetupComm. Odmowa"},
        {false, "SetCommTimeouts", "Blad WinAPI (SetCommTimeouts). Odmowa"},
    };
    for (const auto &c : cases) {
        TTestRun run;
        auto device = std::make_unique<TFakeDevice>();
        (c.settings ? device->RefuseSettings : device->RefuseTimeouts) = true;
        device->Call = c.call;
        device->Text = "Odmowa";
        TComPort port(run.Context, std::move(device));
        EXPECT_FALSE(port.OpenPort(1, 9600)) << c.line;
        EXPECT_FALSE(port.Opened());
        EXPECT_EQ(run.Display.Lines, std::vector<std::string>{c.line});
    }
}

// Under Wine a COM port mapped to a pseudo-terminal has no modem lines:
// the variable makes any line virtual (only the value 1 does).
TEST(PortDevice, VirtualLineOnRequest)
{
    for (const char *value : {"1", "0", ""}) {
        const TScopedVariable variable("ORVAN_VIRTUAL_LINE", value);
        const bool forced = std::string(value) == "1";
        TTestRun run;
        auto device = std::make_unique<TFakeDevice>();
        TFakeDevice &dev = *device;
        TComPort port(run.Context, std::move(device));
        ASSERT_TRUE(port.OpenPort(1, 9600)) << value;
        EXPECT_EQ(port.IsVirtual(), forced) << value;
        EXPECT_EQ(port.GetControlLine(LineDSR), forced) << value; // the device's DSR is off
        const std::vector<std::string> calls =
            forced ? std::vector<std::string>{"timeouts 9600"} : std::vector<std::string>{"settings 9600", "timeouts 9600"};
        EXPECT_EQ(dev.Calls, calls) << value;
    }
}

TEST(PortDevice, ModemLinesOfARealDeviceAreReadNotAssumed)
{
    TTestRun run;
    auto device = std::make_unique<TFakeDevice>();
    TFakeDevice &dev = *device;
    TComPort port(run.Context, std::move(device));
    port.PortName = "ttyS0";
    ASSERT_TRUE(port.OpenPort(1, 9600));
    EXPECT_FALSE(port.GetControlLine(LineDSR)); // DSR off is off
    dev.Modem = 1 << LineDSR | 1 << LineCarrier;
    EXPECT_TRUE(port.GetControlLine(LineDSR));
    EXPECT_TRUE(port.GetControlLine(LineCarrier));
    EXPECT_FALSE(port.GetControlLine(LineCTS));
    dev.ModemUnreadable = true;
    EXPECT_FALSE(port.GetControlLine(LineDSR));
    EXPECT_EQ(run.Display.Lines,
              std::vector<std::string>{"Nie moge odczytac ustawienia linii sterujacej. Operation not supported"});
}

TEST(PortDevice, RefusedSettingsEndTheJobWith1000)
{
    TRecordingDisplay display;
    TVirtualClock clock;
    TModuleResult r;
    RunModule("/P1 /B9600 /XD /T01 /AA /Fx.txt", ".", display, clock, DefaultJobTable(),
              [](TModuleContext &ctx) -> std::unique_ptr<TLine> {
                  auto device = std::make_unique<TFakeDevice>();
                  device->RefuseSettings = true;
                  auto port = std::make_unique<TComPort>(ctx, std::move(device));
                  port->PortName = "ttyUSB0";
                  if (!port->OpenPort(1, 9600))
                      return nullptr;
                  return port;
              },
              r);
    EXPECT_EQ(r.Code, 0x1000);
    ASSERT_FALSE(display.Lines.empty());
    EXPECT_EQ(display.Lines[0], "Blad WinAPI (SetCommState). Operation not supported");
}

// The real device check: a pseudo-terminal reached through a link of any
// name is still one.
TEST(PortDevice, PseudoTerminalBehindALinkIsVirtual)
{
    ORVAN_SKIP_WITHOUT_PTY();
    TPtyPair pty;
    ASSERT_TRUE(pty.Ok());
    const auto link = std::filesystem::temp_directory_path() / ("orvan-ttyUSB-" + std::to_string(::getpid()));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(pty.SlavePath(), link);
    TTestRun run;
    TComPort port(run.Context);
    port.PortName = link.string();
    EXPECT_TRUE(port.OpenPort(1, 9600)) << (run.Display.Lines.empty() ? "" : run.Display.Lines[0]);
    EXPECT_TRUE(port.IsVirtual());
    port.ClosePort();
    std::filesystem::remove(link);
}

// ------------------------------------------------ a quiet line per job

namespace {

// A job whose task looks at the line before anything is sent.
struct TPeekTask : TTask {
    TPeekTask(TModuleContext &ctx, TLine &line, int &first) : TTask(ctx), Line(line), First(first) {}
    bool Start(int64_t, TParam *) override
    {
        First = Line.ReadByte();
        Context.SetError(0x1304, false);
        return false;
    }
    TOutPacket NextPacket() override { return {}; }
    bool AcceptPacket(TSuperString &) override { return false; }
    TLine &Line;
    int &First;
};

} // namespace

// The tail of an answer that a stopped job left on the line (the register
// went on sending after Przerwij) must not be the first thing the next
// job reads.
TEST(PortDevice, JobStartsOnAnEmptiedReceiveQueue)
{
    ORVAN_SKIP_WITHOUT_PTY();
    TPtyPair pty;
    ASSERT_TRUE(pty.Ok());
    TRecordingDisplay display;
    TVirtualClock clock;
    TJobTable jobs;
    int first = 0;
    jobs.Register('U', "Odbieranie danych", false,
                  [&first](TJob &job) { return std::make_unique<TPeekTask>(job.Context, job.Port, first); });

    // An open job line, then an answer cut short by the stop.
    TModuleResult r;
    pty.Write("\x02" "0/PF/0001 2026-12-01 1234");
    RunModule("/P1 /B2400 /XU /*", pty.SlavePath(), ".", display, clock, jobs, r);
    EXPECT_EQ(r.Code, 0x1304);
    EXPECT_EQ(first, ReadNothing);

    // The same on a line the caller makes.
    RunModule("/P1 /XU /*", ".", display, clock, jobs,
              [&](TModuleContext &ctx) {
                  auto line = std::make_unique<TFakeLine>(ctx, clock);
                  line->Send("5678\x03" "AB\x0d");
                  return line;
              },
              r);
    EXPECT_EQ(first, ReadNothing);
}

// ------------------------------------------------ a port that fails

// The PC's port that will not open, or that goes away under a job, is the
// port's failure, with its name; the dead line it leaves (read as the
// register's EOT) is not the register's error.
TEST(PortDevice, AFailingPortIsNamedAndTheRegisterIsNotBlamed)
{
    const auto folder = std::filesystem::temp_directory_path() / ("orvan-port-gone-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "g.txt", std::ios::binary) << " 5,02, 8,00,     2.50,Chleb           ,\r\n";
    const std::string job = "/LW /V277PSP /P1 /B9600 /Fg.txt /T01 /AABDE /XD";
    const auto w = [](const std::string &utf8) { return Translate(MessageTranslation('W'), Utf8ToCp852(utf8)); };
#ifdef _WIN32
    const std::string usb = "ttyUSB0";
#else
    const std::string usb = "ttyUSB0 (/dev/ttyUSB0)";
#endif
    for (const bool unplugged : {false, true}) {
        TRecordingDisplay display;
        TVirtualClock clock;
        TModuleResult r;
        std::string said; // in the line that names the port
        if (unplugged) {
            // The register answers the wake-up, then the adapter is gone.
            RunModule(job, folder.string(), display, clock, DefaultJobTable(),
                      [](TModuleContext &ctx) -> std::unique_ptr<TLine> {
                          auto device = std::make_unique<TFakeDevice>();
                          device->Modem = 1 << LineDSR;
                          device->Incoming = "\x06";
                          device->GoneWhenEmpty = true;
                          auto port = std::make_unique<TComPort>(ctx, std::move(device));
                          port->PortName = "ttyUSB0";
                          return port->OpenPort(1, 9600) ? std::move(port) : nullptr;
                      },
                      r);
            said = w("Port " + usb + " zniknął (urządzenie odłączone?)");
        } else {
            RunModule(job, "/dev/ttyNoSuchPort", folder.string(), display, clock, DefaultJobTable(), r);
            said = ") otwarcia portu " + TComPort::DevicePathFor("/dev/ttyNoSuchPort", 1) + ". ";
        }
        SCOPED_TRACE(said);
        EXPECT_EQ(r.Code, 0x1000);
        EXPECT_EQ(r.Text, w("Błąd otwarcia portu komunikacyjnego") + (unplugged ? ". " + said : std::string()));
        const auto count = [&](const std::function<bool(const std::string &)> &match) {
            return std::count_if(display.Lines.begin(), display.Lines.end(), match);
        };
        EXPECT_EQ(count([&](const std::string &l) { return l.find(said) != std::string::npos; }), 1);
        EXPECT_EQ(count([&](const std::string &l) { return l == w("-= 1000 Błąd otwarcia portu komunikacyjnego =-"); }), 1);
        EXPECT_EQ(count([](const std::string &l) { return l.find("2000") != std::string::npos; }), 0);
    }
    std::filesystem::remove_all(folder);
}
