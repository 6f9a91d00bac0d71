// The serial port's device on Windows: the Win32 communications calls on a
// handle opened without overlapped I/O. Only the job thread uses it, so a
// call may block, but never longer than the port's time-outs allow.
// (QSerialPort's asynchronous reads missed answers over a COM port that
// Wine maps to a pseudo-terminal; a plain ReadFile does not.)
#include "link/UComPort.h"

#include "link/UWinApi.h"
#include "link/UWinText.h"


#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Both queues of the driver.
constexpr DWORD kQueueSize = 4096;

// The system's own text for an error number, without its line end.
std::string SystemText(DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                       | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text = buffer && n > 0 ? std::wstring(buffer, n) : std::wstring();
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return text.empty() ? "Blad systemu " + std::to_string(code) : PageFromWide(text, 852);
}


bool SameTimeouts(const COMMTIMEOUTS &a, const COMMTIMEOUTS &b)
{
    return a.ReadIntervalTimeout == b.ReadIntervalTimeout
           && a.ReadTotalTimeoutMultiplier == b.ReadTotalTimeoutMultiplier
           && a.ReadTotalTimeoutConstant == b.ReadTotalTimeoutConstant
           && a.WriteTotalTimeoutMultiplier == b.WriteTotalTimeoutMultiplier
           && a.WriteTotalTimeoutConstant == b.WriteTotalTimeoutConstant;
}

COMMTIMEOUTS TimeoutsAt(int baud)
{
    const TComPort::TTimeouts t = TComPort::TimeoutsFor(baud);
    COMMTIMEOUTS c{};
    c.ReadIntervalTimeout = t.ReadInterval;
    c.ReadTotalTimeoutMultiplier = t.ReadTotalPerByte;
    c.ReadTotalTimeoutConstant = t.ReadTotalConstant;
    c.WriteTotalTimeoutMultiplier = t.WriteTotalPerByte;
    c.WriteTotalTimeoutConstant = t.WriteTotalConstant;
    return c;
}

class TWinSerialDevice final : public TSerialDevice {
public:
    ~TWinSerialDevice() override { Close(); }

    bool Open(const std::string &path) override
    {
        Close();
        FHandle = CreateFileW(WideFromPage(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (FHandle == INVALID_HANDLE_VALUE)
            return Fail();
        return true;
    }
    void Close() override
    {
        if (FHandle != INVALID_HANDLE_VALUE)
            CloseHandle(FHandle);
        FHandle = INVALID_HANDLE_VALUE;
        FCurrent = {};
        FInput.clear();
        FTaken = 0;
        FOutput.clear();
        ClearError();
    }
    bool IsOpen() const override { return FHandle != INVALID_HANDLE_VALUE; }
    // Windows has no pseudo-terminals (ORVAN_VIRTUAL_LINE stands in for
    // one under Wine).
    bool IsPseudoTerminal() const override { return false; }

    bool SetLineSettings(int baud) override
    {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(FHandle, &dcb))
            return Fail("GetCommState");
        dcb.BaudRate = static_cast<DWORD>(baud);
        dcb.ByteSize = 7;
        dcb.Parity = ODDPARITY;
        dcb.fParity = TRUE;
        dcb.StopBits = TWOSTOPBITS;
        dcb.fBinary = TRUE; // Windows knows no other mode
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.ErrorChar = static_cast<char>(0xFF);
        dcb.fNull = FALSE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fAbortOnError = FALSE;
        if (!SetCommState(FHandle, &dcb))
            return Fail("SetCommState");
        return true;
    }
    bool SetQueuesAndTimeouts(int baud) override
    {
        if (!SetupComm(FHandle, kQueueSize, kQueueSize))
            return Fail("SetupComm");
        FRule = TimeoutsAt(baud);
        return UseTimeouts(FRule);
    }
    bool SetControlLine(int line, bool on) override
    {
        const DWORD function = line == LineDTR ? (on ? SETDTR : CLRDTR) : (on ? SETRTS : CLRRTS);
        return EscapeCommFunction(FHandle, function) || Fail();
    }
    int ModemLines() override
    {
        DWORD status = 0;
        if (!GetCommModemStatus(FHandle, &status)) {
            Fail();
            return -1;
        }
        return ((status & MS_CTS_ON) ? 1 << LineCTS : 0) | ((status & MS_DSR_ON) ? 1 << LineDSR : 0)
               | ((status & MS_RING_ON) ? 1 << LineRing : 0) | ((status & MS_RLSD_ON) ? 1 << LineCarrier : 0);
    }

    int64_t BytesAvailable() override
    {
        const int64_t queued = Queued();
        return queued < 0 ? -1 : Held() + queued;
    }
    // One ReadFile of a whole block under the time-outs: it returns at the
    // first gap of the read interval after the bytes started, or when the
    // total time is up. The wait of a whole block keeps the time-outs of
    // the speed as they are; a shorter wait takes ms as its total.
    bool WaitForReadyRead(int ms) override
    {
        if (Held() > 0)
            return true;
        COMMTIMEOUTS wanted = FRule;
        const DWORD block = static_cast<DWORD>(TComPort::BlockSize);
        if (ms <= 0) {
            wanted.ReadIntervalTimeout = MAXDWORD; // what is there, at once
            wanted.ReadTotalTimeoutMultiplier = 0;
            wanted.ReadTotalTimeoutConstant = 0;
        } else if (static_cast<DWORD>(ms) != FRule.ReadTotalTimeoutConstant + FRule.ReadTotalTimeoutMultiplier * block) {
            wanted.ReadTotalTimeoutMultiplier = 0;
            wanted.ReadTotalTimeoutConstant = static_cast<DWORD>(ms);
        }
        if (!UseTimeouts(wanted))
            return false;
        FInput.resize(block);
        FTaken = 0;
        DWORD got = 0;
        if (!ReadFile(FHandle, FInput.data(), block, &got, nullptr)) {
            FInput.clear();
            return Fail();
        }
        FInput.resize(got);
        if (got == 0) {
            FError = TError::Timeout;
            return false;
        }
        return true;
    }
    // What the last wait took first; else what the driver holds, which a
    // read of exactly that many bytes takes at once.
    int64_t Read(char *data, int64_t max) override
    {
        if (Held() > 0) {
            const int64_t n = std::min(max, Held());
            std::memcpy(data, FInput.data() + FTaken, static_cast<size_t>(n));
            FTaken += static_cast<size_t>(n);
            return n;
        }
        const int64_t queued = Queued();
        if (queued <= 0 || max <= 0)
            return queued < 0 ? -1 : 0;
        DWORD got = 0;
        if (!ReadFile(FHandle, data, static_cast<DWORD>(std::min(max, queued)), &got, nullptr)) {
            Fail();
            return -1;
        }
        return got;
    }
    // The write time-out of the speed bounds each WriteFile; what it left
    // unsent waits in FOutput for WaitForBytesWritten.
    int64_t Write(const char *data, int64_t size) override
    {
        FOutput.append(data, static_cast<size_t>(size));
        return Send() ? size : -1;
    }
    int64_t BytesToWrite() override { return static_cast<int64_t>(FOutput.size()); }
    bool WaitForBytesWritten(int) override
    {
        if (!Send())
            return false;
        if (FOutput.empty())
            return true;
        FError = TError::Timeout;
        return false;
    }
    bool ClearInput() override
    {
        FInput.clear();
        FTaken = 0;
        return PurgeComm(FHandle, PURGE_RXCLEAR) || Fail();
    }

    TError Error() const override { return FError; }
    void ClearError() override
    {
        FError = TError::None;
        FCode = 0;
        FText.clear();
        FCall.clear();
    }
    int ErrorNumber() const override { return static_cast<int>(FCode); }
    std::string ErrorText() const override { return FText.empty() ? SystemText(FCode) : FText; }
    std::string FailedCall() const override { return FCall; }

private:
    // Records the system's error of the call that just failed.
    bool Fail(const char *call = "")
    {
        FCode = GetLastError();
        // What an unplugged USB adapter's driver answers to the calls on
        // its still open handle.
        const bool gone = FCode == ERROR_DEVICE_REMOVED || FCode == ERROR_BAD_COMMAND || FCode == ERROR_ACCESS_DENIED
                          || FCode == ERROR_FILE_NOT_FOUND || FCode == ERROR_GEN_FAILURE
                          || FCode == ERROR_DEVICE_NOT_CONNECTED;
        FError = gone && FHandle != INVALID_HANDLE_VALUE ? TError::Gone : TError::Other;
        FText = SystemText(FCode);
        FCall = call;
        return false;
    }
    int64_t Held() const { return static_cast<int64_t>(FInput.size() - FTaken); }
    // The bytes in the driver's receive queue; -1 on failure.
    int64_t Queued()
    {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(FHandle, &errors, &status)) {
            Fail();
            return -1;
        }
        return status.cbInQue;
    }
    bool UseTimeouts(const COMMTIMEOUTS &wanted)
    {
        if (SameTimeouts(wanted, FCurrent))
            return true;
        COMMTIMEOUTS copy = wanted;
        if (!SetCommTimeouts(FHandle, &copy)) {
            FCurrent = {};
            return Fail("SetCommTimeouts");
        }
        FCurrent = wanted;
        return true;
    }
    // One WriteFile of what waits; false only on a failure (a time-out is
    // no failure: the caller waits again).
    bool Send()
    {
        if (FOutput.empty())
            return true;
        DWORD sent = 0;
        if (!WriteFile(FHandle, FOutput.data(), static_cast<DWORD>(FOutput.size()), &sent, nullptr)) {
            Fail();
            FOutput.clear(); // a failed write ends the block
            return false;
        }
        FOutput.erase(0, sent);
        return true;
    }

    HANDLE FHandle = INVALID_HANDLE_VALUE;
    COMMTIMEOUTS FRule = TimeoutsAt(19200);
    COMMTIMEOUTS FCurrent{}; // as set on the handle; all zero: not known
    std::vector<char> FInput; // taken by the last wait
    size_t FTaken = 0;
    std::string FOutput;
    TError FError = TError::None;
    DWORD FCode = 0;
    std::string FText;
    std::string FCall;
};

} // namespace

std::unique_ptr<TSerialDevice> MakeSerialDevice()
{
    return std::make_unique<TWinSerialDevice>();
}

// A COM port's name is no path to resolve, and Windows has no
// pseudo-terminals.
std::string TComPort::ResolvedDevicePath(const std::string &path)
{
    return path;
}

bool TComPort::IsPseudoTerminalPath(const std::string &)
{
    return false;
}
