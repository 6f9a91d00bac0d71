#pragma once
// The serial line of the module: the abstract line the protocol talks to
// (TLine) and the real port (TComPort) over a device of its system:
// QSerialPort on Linux (UComPortQt.cpp), the Win32 communications calls on
// Windows (UComPortWin.cpp). All operations run on the job thread; nothing
// here is locked.
#include "link/USuperString.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TModuleContext;

// History marks handed to TKOMDisplay::AddHistory: high byte what happened,
// low byte which character or line.
constexpr uint16_t HistorySent(uint8_t c) { return static_cast<uint16_t>(0x0900 + c); }
constexpr uint16_t HistoryReceived(uint8_t c) { return static_cast<uint16_t>(0x0E00 + c); }
constexpr uint16_t HistoryLine(int line, bool on)
{
    return static_cast<uint16_t>(0x0B00 + 0x41 + line + (on ? 32 : 0));
}

// Output lines for SetControlLine, input lines for GetControlLine.
enum { LineDTR = 0, LineRTS = 1 };
enum { LineCTS = 0, LineDSR = 1, LineRing = 2, LineCarrier = 3 };

// ReadByte answers
constexpr int ReadNothing = -1;
constexpr int ReadFailed = 4; // the EOT character: a dead line ends the exchange

class TLine {
public:
    explicit TLine(TModuleContext &context) : Context(context) {}
    virtual ~TLine() = default;
    TLine(const TLine &) = delete;
    TLine &operator=(const TLine &) = delete;

    // The next received byte; ReadNothing when nothing came within the
    // read time-outs; ReadFailed after a read failure (line written).
    // Control characters go to the history.
    int ReadByte();
    void WriteByte(uint8_t c);
    // Writes all bytes and waits until they are sent; then, on a real
    // line, discards the receive queue (the echo of the sent bytes).
    void WriteBlock(std::string_view block);
    // line: LineDTR or LineRTS; any other number does nothing but the mark.
    void SetControlLine(int line, bool on);
    // line: LineCTS, LineDSR, LineRing or LineCarrier.
    bool GetControlLine(int line);

    // Collects one response up to its closing control character: true when
    // it is complete, false when the line went silent first (what came so
    // far stays for the next call).
    bool ReadResponse();
    TSuperString &ResponseBuffer() { return FResponse; }
    // The last value ReadResponse took from ReadByte.
    int LastRead() const { return FLastRead; }

    // A virtual line (pseudo-terminal, in-process fake) has no modem lines,
    // no character format and no echo.
    virtual bool IsVirtual() const = 0;

    // Empties the receive queue: a job starts on a quiet line, whatever an
    // interrupted job left behind (on every line, virtual or not).
    void DiscardInput() { Purge(); }

    // Whether WriteBlock discards the receive queue after a write.
    static bool PurgeAfterWrite(bool virtualLine) { return !virtualLine; }

protected:
    // Platform side. Fetch: next byte / ReadNothing / ReadFailed.
    virtual int Fetch() = 0;
    // Writes all bytes and waits until they left; false after a failure
    // (the failure line is already written).
    virtual bool Put(std::string_view bytes) = 0;
    virtual void Purge() = 0;
    virtual void ApplyControlLine(int line, bool on) = 0;
    virtual bool ReadModemLine(int line) = 0;

    TModuleContext &Context;

private:
    TSuperString FResponse;
    int FLastRead = ReadNothing;
};

// The platform side of the serial port: one device per system in the
// program, a fake in tests. A failed call leaves Error(), ErrorNumber(),
// ErrorText() and FailedCall() until ClearError().
class TSerialDevice {
public:
    // Gone: the device was removed or the line hung up; nothing more will
    // pass it until it is opened again.
    enum class TError { None, Timeout, Unsupported, Gone, Other };

    virtual ~TSerialDevice() = default;
    // Read and write, exclusive.
    virtual bool Open(const std::string &path) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Whether the open device is a pseudo-terminal, judged by the device
    // itself (not by its name, not by a refused call).
    virtual bool IsPseudoTerminal() const = 0;
    // 7 data bits, odd parity, two stop bits, no flow control of any kind.
    virtual bool SetLineSettings(int baud) = 0;
    // The driver's queues and time-outs at this speed, on every line,
    // virtual or not (TComPort::TimeoutsFor).
    virtual bool SetQueuesAndTimeouts(int baud)
    {
        (void)baud;
        return true;
    }
    // LineDTR or LineRTS.
    virtual bool SetControlLine(int line, bool on) = 0;
    // Bit (1 << LineCTS/LineDSR/LineRing/LineCarrier) per line that is on;
    // -1 when the status cannot be read.
    virtual int ModemLines() = 0;
    virtual int64_t BytesAvailable() = 0;
    virtual bool WaitForReadyRead(int ms) = 0;
    virtual int64_t Read(char *data, int64_t max) = 0;
    virtual int64_t Write(const char *data, int64_t size) = 0;
    virtual int64_t BytesToWrite() = 0;
    virtual bool WaitForBytesWritten(int ms) = 0;
    virtual bool ClearInput() = 0;
    virtual TError Error() const = 0;
    virtual void ClearError() = 0;
    virtual int ErrorNumber() const = 0;
    // In the module's code page.
    virtual std::string ErrorText() const = 0;
    // The system call behind the last false of SetLineSettings or
    // SetQueuesAndTimeouts when the device tells it ("GetCommState",
    // "SetupComm", "SetCommTimeouts"); empty: the line settings.
    virtual std::string FailedCall() const { return {}; }
};

// The device of the program on this system.
std::unique_ptr<TSerialDevice> MakeSerialDevice();

// The serial port. Create and use it on the job thread only.
class TComPort final : public TLine {
public:
    explicit TComPort(TModuleContext &context);
    TComPort(TModuleContext &context, std::unique_ptr<TSerialDevice> device);
    ~TComPort() override;

    // Port name from the user's settings ("COM1", "/dev/pts/3", "ttyUSB0");
    // empty: "COM" + the port number of OpenPort.
    std::string PortName;

    static constexpr int BlockSize = 250;

    // portNumber 0 means 2, baud 0 means 19200. Writes one line and answers
    // false on failure (the port is then closed).
    bool OpenPort(int portNumber, int baud);
    void ClosePort();
    bool Opened() const;
    bool IsVirtual() const override;
    // The device path OpenPort would use.
    std::string DevicePath(int portNumber) const;

    struct TTimeouts {
        uint32_t ReadInterval;      // ms between two bytes of one block
        uint32_t ReadTotalPerByte;  // ms per requested byte
        uint32_t ReadTotalConstant; // ms
        uint32_t WriteTotalPerByte; // ms per written byte
        uint32_t WriteTotalConstant;
    };
    // k = 9600 div baud + 1: interval k, read 1 ms/byte + 100 ms,
    // write k ms/byte + 3000 ms.
    static TTimeouts TimeoutsFor(int baud);
    static bool ValidBaud(int baud);
    // Linux: "COMn" → /dev/ttyS(n-1); "/..." as given; other names under
    // /dev/. Windows: "\\.\" + the name (so COM10 and above open), a name
    // that already starts so as given.
    static std::string DevicePathFor(const std::string &portName, int portNumber);
    // ORVAN_VIRTUAL_LINE=1 makes every line virtual (a COM port that Wine
    // maps to a pseudo-terminal has no modem lines).
    static bool VirtualLineForced();
    // The line OpenPort writes when the device refuses its settings.
    static std::string SettingsFailureLine(const TSerialDevice &device);
    // Linux: whether a character device of this major number is the slave
    // side of a pseudo-terminal (136..143 Unix98, 3 the old BSD kind).
    static bool IsPseudoTerminalMajor(unsigned major);
    // Linux: the device a path leads to, with links, "." and ".." resolved
    // (a path that leads nowhere only cleaned); Windows: the path as given.
    static std::string ResolvedDevicePath(const std::string &path);
    // Linux: whether the device a path leads to is a pseudo-terminal, by
    // its device number, or by its place under /dev/pts/ when it cannot be
    // examined; whatever spelling or link leads to it. Windows: never.
    static bool IsPseudoTerminalPath(const std::string &path);
    // Whether a block read that ends with this byte holds a complete
    // answer, so that waiting the interval time-out for more is useless:
    // ACK, NAK, EOT, ENQ, or the CR that closes a packet (its checksum
    // comes before the CR). STX and other bytes may be followed by more.
    static bool EndsAnswer(uint8_t lastByte);

protected:
    int Fetch() override;
    bool Put(std::string_view bytes) override;
    void Purge() override;
    void ApplyControlLine(int line, bool on) override;
    bool ReadModemLine(int line) override;

private:
    // Whether the device went away (now or before): the first time the
    // port's loss is recorded; every later operation is then a quiet no-op.
    bool DeviceGone();

    struct TImpl;
    std::unique_ptr<TImpl> d;
    std::unique_ptr<TSerialDevice> FDevice;
    uint8_t FBuffer[BlockSize] = {};
    int FCount = 0;
    int FPosition = 1; // 1-based; > FCount: used up
};
