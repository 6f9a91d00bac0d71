#include "UComPort.h"

#include "UClock.h"
#include "UError.h"
#include "UKOMDisplay.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QStringEncoder>
#include <QThread>

#include <cerrno>
#include <algorithm>
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

// OS texts go into module lines, which are in the module's code page.
std::string ModuleText(const QString &text)
{
    QStringEncoder encoder("IBM852");
    if (encoder.isValid()) {
        QByteArray bytes = encoder.encode(text);
        if (!encoder.hasError())
            return bytes.toStdString();
    }
    std::string out;
    for (QChar ch : text)
        out += ch.unicode() < 0x80 ? static_cast<char>(ch.unicode()) : '?';
    return out;
}

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

// The port is used in blocking mode only (waitFor...), which polls the
// device itself. On a thread without an event dispatcher (a plain job
// thread) QSerialPort's socket notifiers would have nowhere to register and
// warn on every open; this dispatcher accepts them and never dispatches.
class TBlockingOnlyDispatcher final : public QAbstractEventDispatcher {
public:
    bool processEvents(QEventLoop::ProcessEventsFlags) override { return false; }
    void registerSocketNotifier(QSocketNotifier *) override {}
    void unregisterSocketNotifier(QSocketNotifier *) override {}
    void registerTimer(int, qint64, Qt::TimerType, QObject *) override {}
    bool unregisterTimer(int) override { return false; }
    bool unregisterTimers(QObject *) override { return false; }
    QList<TimerInfo> registeredTimers(QObject *) const override { return {}; }
    int remainingTime(int) override { return -1; }
    void wakeUp() override {}
    void interrupt() override {}
};

void EnsureDispatcher()
{
    QThread *thread = QThread::currentThread();
    if (thread && !QAbstractEventDispatcher::instance(thread))
        thread->setEventDispatcher(new TBlockingOnlyDispatcher);
}

} // namespace

struct TComPort::TImpl {
    QSerialPort Port;
    bool Virtual = false;
    int Baud = 19200;
    TTimeouts Timeouts = TimeoutsFor(19200);
    std::string Path;
    int Errno = 0;

    // The error number and text of the call that just failed: the OS error
    // number where Qt left it, else Qt's own error code.
    int ErrorNumber() const
    {
        return Errno != 0 ? Errno : static_cast<int>(Port.error());
    }
    std::string ErrorText() const { return ModuleText(Port.errorString()); }
};

TComPort::TComPort(TModuleContext &context) : TLine(context)
{
    EnsureDispatcher();
    d = std::make_unique<TImpl>();
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
    return "\\\\.\\" + name;
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

bool TComPort::IsVirtualLine(const std::string &canonicalPath, bool settingsUnsupported,
                             bool modemLinesUnsupported)
{
    const bool pty = canonicalPath.rfind("/dev/pts/", 0) == 0 || canonicalPath == "/dev/ptmx"
                     || canonicalPath.rfind("/dev/pty", 0) == 0
                     || canonicalPath.rfind("/dev/ttyp", 0) == 0;
    return pty || settingsUnsupported || modemLinesUnsupported;
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
    return d->Port.isOpen();
}

bool TComPort::IsVirtual() const
{
    return d->Virtual;
}

void TComPort::ClosePort()
{
    if (d->Port.isOpen())
        d->Port.close();
    d->Port.clearError();
    d->Virtual = false;
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

    d->Path = DevicePath(portNumber);
    QSerialPort &port = d->Port;
    port.setPortName(QString::fromStdString(d->Path));
    errno = 0;
    if (!port.open(QIODevice::ReadWrite)) {
        d->Errno = errno;
        Context.WriteLine(Format("Blad(%d) otwarcia portu %s. %s", d->ErrorNumber(),
                                 {d->Path, d->ErrorText()}));
        ClosePort();
        return false;
    }
    d->Errno = 0;

    if (!ValidBaud(baud)) {
        Context.WriteLine("Nieprawidlowa predkosc transmisji (parametr /B)");
        ClosePort();
        return false;
    }
    d->Baud = baud;
    d->Timeouts = TimeoutsFor(baud);

    const QString canonical = QFileInfo(QString::fromStdString(d->Path)).canonicalFilePath();
    d->Virtual = IsVirtualLine(canonical.toStdString(), false, false);

    if (!d->Virtual) {
        // 7 data bits, odd parity, two stop bits; no flow control of any
        // kind. QSerialPort opens in raw mode, so no character is replaced
        // or stripped.
        errno = 0;
        bool ok = port.setBaudRate(baud) && port.setDataBits(QSerialPort::Data7)
                  && port.setParity(QSerialPort::OddParity) && port.setStopBits(QSerialPort::TwoStop)
                  && port.setFlowControl(QSerialPort::NoFlowControl);
        if (!ok) {
            if (port.error() == QSerialPort::UnsupportedOperationError) {
                d->Virtual = true;
                port.clearError();
            } else {
                d->Errno = errno;
                Context.WriteLine(Format("Blad WinAPI (SetCommState). %s", 0, {d->ErrorText()}));
                ClosePort();
                return false;
            }
        }
    }
    if (!d->Virtual) {
        // A device without modem lines cannot take part in the DSR
        // handshake: treat it as virtual.
        port.pinoutSignals();
        if (port.error() == QSerialPort::UnsupportedOperationError)
            d->Virtual = true;
        port.clearError();
    }
    // Queue size of the driver side; QSerialPort buffers the rest.
    port.setReadBufferSize(4096);
    return true;
}

int TComPort::Fetch()
{
    if (FPosition > FCount) {
        FPosition = 1;
        FCount = 0;
        if (!d->Port.isOpen()) {
            Context.WriteLine("Blad odczytu z portu. Port nie jest otwarty");
            return ReadFailed;
        }
        QSerialPort &port = d->Port;
        const TTimeouts &t = d->Timeouts;
        const qint64 total = t.ReadTotalConstant + t.ReadTotalPerByte * BlockSize;
        QElapsedTimer elapsed;
        elapsed.start();
        auto failed = [&]() {
            const auto e = port.error();
            return e != QSerialPort::NoError && e != QSerialPort::TimeoutError;
        };
        if (port.bytesAvailable() == 0) {
            errno = 0;
            if (!port.waitForReadyRead(static_cast<int>(total))) {
                if (failed()) {
                    Context.WriteLine("Blad odczytu z portu. " + d->ErrorText());
                    port.clearError();
                    return ReadFailed;
                }
                port.clearError();
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
            const qint64 n = port.read(reinterpret_cast<char *>(FBuffer) + FCount, BlockSize - FCount);
            if (n < 0) {
                Context.WriteLine("Blad odczytu z portu. " + d->ErrorText());
                port.clearError();
                FCount = 0;
                return ReadFailed;
            }
            FCount += static_cast<int>(n);
            if (FCount > 0 && EndsAnswer(FBuffer[FCount - 1]))
                break;
            const qint64 left = total - elapsed.elapsed();
            if (FCount >= BlockSize || left <= 0)
                break;
            if (port.bytesAvailable() > 0)
                continue;
            if (!port.waitForReadyRead(static_cast<int>(std::min<qint64>(t.ReadInterval, left)))) {
                // A failure after some bytes: hand out what came; the next
                // refill reports it.
                port.clearError();
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
    QSerialPort &port = d->Port;
    if (!port.isOpen()) {
        Context.WriteLine("Blad wyslania do portu. Port nie jest otwarty");
        return false;
    }
    const TTimeouts &t = d->Timeouts;
    if (port.write(bytes.data(), static_cast<qint64>(bytes.size())) < 0) {
        Context.WriteLine("Blad wyslania do portu. " + d->ErrorText());
        port.clearError();
        return false;
    }
    const int timeout = static_cast<int>(t.WriteTotalConstant + t.WriteTotalPerByte * bytes.size());
    while (port.bytesToWrite() > 0) {
        if (port.waitForBytesWritten(timeout))
            continue;
        const bool timedOut = port.error() == QSerialPort::TimeoutError;
        // A write that moves nothing is repeated, but a stop request
        // ends the wait: a line that never drains must not hang the job.
        if (timedOut && !Context.StopRequested()) {
            port.clearError();
            continue;
        }
        Context.WriteLine("Blad wyslania do portu. " + d->ErrorText());
        port.clearError();
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
    if (!d->Port.clear(QSerialPort::Input)) {
        Context.WriteLine("Blad WinAPI (PurgeComm). " + d->ErrorText());
        d->Port.clearError();
    }
}

void TComPort::ApplyControlLine(int line, bool on)
{
    if (d->Virtual)
        return;
    QSerialPort &port = d->Port;
    const bool ok = line == LineDTR ? port.setDataTerminalReady(on) : port.setRequestToSend(on);
    if (!ok) {
        Context.WriteLine("Nie moge ustawic linii sterujacej. " + d->ErrorText());
        port.clearError();
    }
}

bool TComPort::ReadModemLine(int line)
{
    if (d->Virtual)
        return line == LineDSR;
    QSerialPort &port = d->Port;
    const QSerialPort::PinoutSignals s = port.pinoutSignals();
    if (port.error() != QSerialPort::NoError) {
        Context.WriteLine("Nie moge odczytac ustawienia linii sterujacej. " + d->ErrorText());
        port.clearError();
        return false;
    }
    switch (line) {
    case LineCTS: return s.testFlag(QSerialPort::ClearToSendSignal);
    case LineDSR: return s.testFlag(QSerialPort::DataSetReadySignal);
    case LineRing: return s.testFlag(QSerialPort::RingIndicatorSignal);
    case LineCarrier: return s.testFlag(QSerialPort::DataCarrierDetectSignal);
    default: return false;
    }
}
