// The serial port's device on Linux (and other Unix systems): QSerialPort in
// blocking mode. Windows has its own device (UComPortWin.cpp).
#include "link/UComPort.h"

#include <QAbstractEventDispatcher>
#include <QSerialPort>
#include <QStringEncoder>
#include <QThread>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/sysmacros.h>
#endif

namespace {

// Where the system names pseudo-terminals: what tells one where its device
// number cannot be examined.
bool IsPseudoTerminalName(const char *name)
{
    return name && (std::strncmp(name, "/dev/pts/", 9) == 0 || std::strncmp(name, "/dev/ttyp", 9) == 0);
}

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

class TQtSerialDevice final : public TSerialDevice {
public:
    TQtSerialDevice() { EnsureDispatcher(); }

    bool Open(const std::string &path) override
    {
        FPort.setPortName(QString::fromStdString(path));
        errno = 0;
        if (!FPort.open(QIODevice::ReadWrite)) {
            FErrno = errno;
            return false;
        }
        FErrno = 0;
        // Queue size of the driver side; QSerialPort buffers the rest.
        FPort.setReadBufferSize(4096);
        return true;
    }
    void Close() override
    {
        if (FPort.isOpen())
            FPort.close();
        ClearError();
    }
    bool IsOpen() const override { return FPort.isOpen(); }
    bool IsPseudoTerminal() const override
    {
        // The device node itself says what it is, whatever name or link led
        // to it.
        const int fd = static_cast<int>(FPort.handle());
        struct stat st {};
        if (fd < 0 || fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
            return false;
#if defined(__linux__)
        return TComPort::IsPseudoTerminalMajor(major(st.st_rdev));
#else
        return IsPseudoTerminalName(ttyname(fd));
#endif
    }
    bool SetLineSettings(int baud) override
    {
        // QSerialPort opens in raw mode, so no character is replaced or
        // stripped.
        errno = 0;
        const bool ok = FPort.setBaudRate(baud) && FPort.setDataBits(QSerialPort::Data7)
                        && FPort.setParity(QSerialPort::OddParity) && FPort.setStopBits(QSerialPort::TwoStop)
                        && FPort.setFlowControl(QSerialPort::NoFlowControl);
        if (!ok)
            FErrno = errno;
        return ok;
    }
    bool SetControlLine(int line, bool on) override
    {
        return line == LineDTR ? FPort.setDataTerminalReady(on) : FPort.setRequestToSend(on);
    }
    int ModemLines() override
    {
        const QSerialPort::PinoutSignals s = FPort.pinoutSignals();
        if (FPort.error() != QSerialPort::NoError)
            return -1;
        return (s.testFlag(QSerialPort::ClearToSendSignal) ? 1 << LineCTS : 0)
               | (s.testFlag(QSerialPort::DataSetReadySignal) ? 1 << LineDSR : 0)
               | (s.testFlag(QSerialPort::RingIndicatorSignal) ? 1 << LineRing : 0)
               | (s.testFlag(QSerialPort::DataCarrierDetectSignal) ? 1 << LineCarrier : 0);
    }
    int64_t BytesAvailable() override { return FPort.bytesAvailable(); }
    bool WaitForReadyRead(int ms) override { return FPort.waitForReadyRead(ms); }
    int64_t Read(char *data, int64_t max) override { return FPort.read(data, max); }
    int64_t Write(const char *data, int64_t size) override { return FPort.write(data, size); }
    int64_t BytesToWrite() override { return FPort.bytesToWrite(); }
    bool WaitForBytesWritten(int ms) override { return FPort.waitForBytesWritten(ms); }
    bool ClearInput() override { return FPort.clear(QSerialPort::Input); }
    TError Error() const override
    {
        switch (FPort.error()) {
        case QSerialPort::NoError: return TError::None;
        case QSerialPort::TimeoutError: return TError::Timeout;
        case QSerialPort::UnsupportedOperationError: return TError::Unsupported;
        // A read that finds nothing where the device said there was
        // something (ReadError: end of file, Qt's "Unknown error") is a
        // hung-up line: an unplugged adapter, a pseudo-terminal whose other
        // side closed.
        case QSerialPort::ResourceError:
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::ReadError: return TError::Gone;
        default: return TError::Other;
        }
    }
    void ClearError() override
    {
        FPort.clearError();
        FErrno = 0;
    }
    // The OS error number where Qt left it, else Qt's own error code.
    int ErrorNumber() const override { return FErrno != 0 ? FErrno : static_cast<int>(FPort.error()); }
    std::string ErrorText() const override { return ModuleText(FPort.errorString()); }

private:
    QSerialPort FPort;
    int FErrno = 0;
};

} // namespace

std::unique_ptr<TSerialDevice> MakeSerialDevice()
{
    return std::make_unique<TQtSerialDevice>();
}

std::string TComPort::ResolvedDevicePath(const std::string &path)
{
    if (path.empty())
        return path;
    if (char *resolved = realpath(path.c_str(), nullptr)) {
        std::string out(resolved);
        std::free(resolved);
        return out;
    }
    std::string clean = std::filesystem::path(path).lexically_normal().string();
    if (clean.size() > 1 && clean.back() == '/')
        clean.pop_back();
    return clean;
}

bool TComPort::IsPseudoTerminalPath(const std::string &path)
{
    const std::string device = ResolvedDevicePath(path);
    struct stat st {};
    if (!device.empty() && stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) {
#if defined(__linux__)
        if (IsPseudoTerminalMajor(major(st.st_rdev)))
            return true;
#endif
    }
    return IsPseudoTerminalName(device.c_str());
}
