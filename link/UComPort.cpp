#include "link/UComPort.h"

#include "link/UClock.h"
#include "link/UError.h"
#include "link/UKOMDisplay.h"
#include "link/UNational.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <initializer_list>

// ------------------------------------------------------------------- line

int TLine::ReadByte()
{
    const int b = Fetch();
    if (b >= 0 && b < 0x20)
        Context.Display.AddHistory(HistoryReceived(static_cast<uint8_t>(b)));
    return b;
}

void TLine::WriteByte(uint8_t c)
{
    if (c < 0x20)
        Context.Display.AddHistory(HistorySent(c));
    const char byte = static_cast<char>(c);
    Put(std::string_view(&byte, 1));
}

void TLine::WriteBlock(std::string_view block)
{
    // Nothing to send: no mark, no wait for an empty transmit queue that
    // would never come, nothing to purge.
    if (block.empty())
        return;
    const auto first = static_cast<uint8_t>(block.front());
    const auto last = static_cast<uint8_t>(block.back());
    if (first < 0x20)
        Context.Display.AddHistory(HistorySent(first));
    if (last < 0x20)
        Context.Display.AddHistory(HistorySent(last));
    if (!Put(block))
        return;
    if (PurgeAfterWrite(IsVirtual()))
        Purge();
}

void TLine::SetControlLine(int line, bool on)
{
    if (line == LineDTR || line == LineRTS)
        ApplyControlLine(line, on);
    Context.Display.AddHistory(HistoryLine(line, on));
}

bool TLine::GetControlLine(int line)
{
    if (line < LineCTS || line > LineCarrier)
        return false;
    return ReadModemLine(line);
}

bool TLine::ReadResponse()
{
    if (FResponse.Empty() || FResponse.Last() < 0x20)
        FResponse.Clear();
    for (;;) {
        const int b = ReadByte();
        FLastRead = b;
        if (b == ReadNothing)
            return false;
        // A response that never ends would outgrow the buffer: keep what
        // fits and report it incomplete rather than lose the start.
        if (!FResponse.Append(static_cast<uint8_t>(b)))
            return false;
        if (b < 0x20)
            return true;
    }
}

// ------------------------------------------------------------------- port

namespace {

const int Bauds[] = {110,   300,   600,   1200,  2400,  4800,   9600,  14400,
                     19200, 38400, 56000, 57600, 115200, 128000, 256000};

// printf-like for the port's lines: %d takes number, each %s the next text.
std::string Format(const char *pattern, int number, std::initializer_list<std::string> texts)
{
    std::string out;
    auto text = texts.begin();
    for (const char *p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 'd') {
            out += std::to_string(number);
            ++p;
        } else if (p[0] == '%' && p[1] == 's') {
            if (text != texts.end())
                out += *text++;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

} // namespace

// ------------------------------------------------------------------- port

struct TComPort::TImpl {
    bool Virtual = false;
    bool Lost = false; // the device went away under the job
    int Baud = 19200;
    TTimeouts Timeouts = TimeoutsFor(19200);
    std::string Path;
    std::string Label; // the port as the user named it, for messages
};

// "COM5", or on Linux "COM5 (/dev/ttyS4)" where the name is not the path.
static std::string PortLabel(const std::string &portName, int portNumber, const std::string &path)
{
    const std::string name = portName.empty() ? "COM" + std::to_string(portNumber) : portName;
#ifdef _WIN32
    (void)path;
    return name;
#else
    return name == path ? name : name + " (" + path + ")";
#endif
}

TComPort::TComPort(TModuleContext &context) : TComPort(context, MakeSerialDevice()) {}

TComPort::TComPort(TModuleContext &context, std::unique_ptr<TSerialDevice> device)
    : TLine(context), d(std::make_unique<TImpl>()), FDevice(std::move(device))
{
}

TComPort::~TComPort()
{
    ClosePort();
}

bool TComPort::ValidBaud(int baud)
{
    for (int b : Bauds)
        if (b == baud)
            return true;
    return false;
}

TComPort::TTimeouts TComPort::TimeoutsFor(int baud)
{
    const uint32_t k = baud > 0 ? static_cast<uint32_t>(9600 / baud + 1) : 1;
    return {k, 1, 100, k, 3000};
}

std::string TComPort::DevicePathFor(const std::string &portName, int portNumber)
{
    std::string name = portName.empty() ? "COM" + std::to_string(portNumber) : portName;
#ifdef _WIN32
    static const std::string device = "\\\\.\\";
    if (name.compare(0, device.size(), device) == 0)
        return name;
    return device + name;
#else
    if (!name.empty() && name[0] == '/')
        return name;
    if (name.size() > 3 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "com") == 0)) {
        const std::string digits = name.substr(3);
        bool allDigits = digits.size() <= 6;
        for (char c : digits)
            allDigits = allDigits && c >= '0' && c <= '9';
        if (allDigits) {
            const long n = std::stol(digits);
            if (n >= 1)
                return "/dev/ttyS" + std::to_string(n - 1);
        }
    }
    return "/dev/" + name;
#endif
}

std::string TComPort::DevicePath(int portNumber) const
{
    return DevicePathFor(PortName, portNumber);
}

bool TComPort::VirtualLineForced()
{
    const char *value = std::getenv("ORVAN_VIRTUAL_LINE");
    return value && std::string_view(value) == "1";
}

std::string TComPort::SettingsFailureLine(const TSerialDevice &device)
{
    const std::string call = device.FailedCall();
    if (call == "GetCommState")
        return Format("Blad(%d) GetCommState. %s", device.ErrorNumber(), {device.ErrorText()});
    if (call == "SetupComm")
        return Format("Blad(%d) SetupComm. %s", device.ErrorNumber(), {device.ErrorText()});
    return Format("Blad WinAPI (%s). %s", 0, {call.empty() ? std::string("SetCommState") : call, device.ErrorText()});
}

bool TComPort::IsPseudoTerminalMajor(unsigned major)
{
    return (major >= 136 && major <= 143) || major == 3;
}

bool TComPort::EndsAnswer(uint8_t lastByte)
{
    switch (lastByte) {
    case 0x04: // EOT
    case 0x05: // ENQ
    case 0x06: // ACK
    case 0x0D: // CR
    case 0x15: // NAK
        return true;
    default:
        return false;
    }
}

bool TComPort::Opened() const
{
    return FDevice->IsOpen();
}

bool TComPort::IsVirtual() const
{
    return d->Virtual;
}

bool TComPort::DeviceGone()
{
    if (!d->Lost && FDevice->Error() != TSerialDevice::TError::Gone)
        return false;
    if (!d->Lost) {
        d->Lost = true;
        Context.PortLost(Utf8ToCp852("Port " + d->Label + " zniknął (urządzenie odłączone?)"));
    }
    FDevice->ClearError();
    return true;
}

void TComPort::ClosePort()
{
    FDevice->Close();
    d->Virtual = false;
    d->Lost = false;
    FCount = 0;
    FPosition = 1;
    ResponseBuffer().Clear();
}

bool TComPort::OpenPort(int portNumber, int baud)
{
    ClosePort();
    if (portNumber == 0)
        portNumber = 2;
    if (baud == 0)
        baud = 19200;

    TSerialDevice &port = *FDevice;
    d->Path = DevicePath(portNumber);
    d->Label = PortLabel(PortName, portNumber, d->Path);
    if (!port.Open(d->Path)) {
        Context.WriteLine(Format("Blad(%d) otwarcia portu %s. %s", port.ErrorNumber(), {d->Path, port.ErrorText()}));
        ClosePort();
        return false;
    }

    if (!ValidBaud(baud)) {
        Context.WriteLine("Nieprawidlowa predkosc transmisji (parametr /B)");
        ClosePort();
        return false;
    }
    d->Baud = baud;
    d->Timeouts = TimeoutsFor(baud);

    // Only a pseudo-terminal (or any line, when the environment says so)
    // goes without the character format and the modem lines. A real device
    // that refuses them ends the job: running with the wrong format would
    // only fail later and less clearly. The queues and time-outs are set
    // on every line.
    d->Virtual = VirtualLineForced() || port.IsPseudoTerminal();
    if ((!d->Virtual && !port.SetLineSettings(baud)) || !port.SetQueuesAndTimeouts(baud)) {
        Context.WriteLine(SettingsFailureLine(port));
        ClosePort();
        return false;
    }
    return true;
}

int TComPort::Fetch()
{
    if (FPosition > FCount) {
        FPosition = 1;
        FCount = 0;
        if (d->Lost)
            return ReadFailed;
        if (!FDevice->IsOpen()) {
            Context.WriteLine("Blad odczytu z portu. Port nie jest otwarty");
            return ReadFailed;
        }
        TSerialDevice &port = *FDevice;
        const TTimeouts &t = d->Timeouts;
        const qint64 total = t.ReadTotalConstant + t.ReadTotalPerByte * BlockSize;
        QElapsedTimer elapsed;
        elapsed.start();
        auto failed = [&]() {
            const auto e = port.Error();
            return e != TSerialDevice::TError::None && e != TSerialDevice::TError::Timeout;
        };
        if (port.BytesAvailable() == 0) {
            errno = 0;
            if (!port.WaitForReadyRead(static_cast<int>(total))) {
                if (DeviceGone())
                    return ReadFailed;
                if (failed()) {
                    Context.WriteLine("Blad odczytu z portu. " + port.ErrorText());
                    port.ClearError();
                    return ReadFailed;
                }
                port.ClearError();
                return ReadNothing;
            }
        }
        // Take what came, then wait for more as long as the bytes keep
        // coming within the interval time-out and the total time-out. A
        // block that ends a complete answer is handed out at once: the
        // register waits for the PC after it, so the interval wait would
        // only add its time to every exchange (and anything that does
        // follow is taken by the next refill, byte for byte the same).
        for (;;) {
            const int64_t n = port.Read(reinterpret_cast<char *>(FBuffer) + FCount, BlockSize - FCount);
            if (n < 0) {
                FCount = 0;
                if (DeviceGone())
                    return ReadFailed;
                Context.WriteLine("Blad odczytu z portu. " + port.ErrorText());
                port.ClearError();
                return ReadFailed;
            }
            FCount += static_cast<int>(n);
            if (FCount > 0 && EndsAnswer(FBuffer[FCount - 1]))
                break;
            const qint64 left = total - elapsed.elapsed();
            if (FCount >= BlockSize || left <= 0)
                break;
            if (port.BytesAvailable() > 0)
                continue;
            if (!port.WaitForReadyRead(static_cast<int>(std::min<qint64>(t.ReadInterval, left)))) {
                // A failure after some bytes: hand out what came; the next
                // refill reports it.
                if (port.Error() != TSerialDevice::TError::Gone)
                    port.ClearError();
                break;
            }
        }
        if (FCount == 0)
            return ReadNothing;
    }
    return FBuffer[FPosition++ - 1];
}

bool TComPort::Put(std::string_view bytes)
{
    TSerialDevice &port = *FDevice;
    if (d->Lost)
        return false;
    if (!port.IsOpen()) {
        Context.WriteLine("Blad wyslania do portu. Port nie jest otwarty");
        return false;
    }
    const TTimeouts &t = d->Timeouts;
    if (port.Write(bytes.data(), static_cast<int64_t>(bytes.size())) < 0) {
        if (DeviceGone())
            return false;
        Context.WriteLine("Blad wyslania do portu. " + port.ErrorText());
        port.ClearError();
        return false;
    }
    const int timeout = static_cast<int>(t.WriteTotalConstant + t.WriteTotalPerByte * bytes.size());
    while (port.BytesToWrite() > 0) {
        if (port.WaitForBytesWritten(timeout))
            continue;
        const bool timedOut = port.Error() == TSerialDevice::TError::Timeout;
        // A write that moves nothing is repeated, but a stop request
        // ends the wait: a line that never drains must not hang the job.
        if (timedOut && !Context.StopRequested()) {
            port.ClearError();
            continue;
        }
        if (DeviceGone())
            return false;
        Context.WriteLine("Blad wyslania do portu. " + port.ErrorText());
        port.ClearError();
        return false;
    }
    if (!d->Virtual) {
        // The bytes are with the driver; let them leave the wire (11 bits
        // a character) before the receive queue is purged of their echo.
        const uint64_t ms = (bytes.size() * 11ull * 1000 + d->Baud - 1) / d->Baud;
        Context.Clock.Sleep(static_cast<uint32_t>(ms));
    }
    return true;
}

void TComPort::Purge()
{
    if (d->Lost)
        return;
    if (!FDevice->ClearInput()) {
        if (DeviceGone())
            return;
        Context.WriteLine("Blad WinAPI (PurgeComm). " + FDevice->ErrorText());
        FDevice->ClearError();
    }
}

void TComPort::ApplyControlLine(int line, bool on)
{
    if (d->Virtual || d->Lost)
        return;
    if (!FDevice->SetControlLine(line, on)) {
        if (DeviceGone())
            return;
        Context.WriteLine("Nie moge ustawic linii sterujacej. " + FDevice->ErrorText());
        FDevice->ClearError();
    }
}

bool TComPort::ReadModemLine(int line)
{
    if (d->Lost)
        return false;
    if (d->Virtual)
        return line == LineDSR;
    const int lines = FDevice->ModemLines();
    if (lines < 0) {
        if (DeviceGone())
            return false;
        Context.WriteLine("Nie moge odczytac ustawienia linii sterujacej. " + FDevice->ErrorText());
        FDevice->ClearError();
        return false;
    }
    return (lines & (1 << line)) != 0;
}
