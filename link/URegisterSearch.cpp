#include "link/URegisterSearch.h"

#include "link/UNational.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#ifdef _WIN32
#include "link/UWinApi.h"
#else
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <unistd.h>
#endif

namespace {

constexpr int32_t kPortOpenFailed = 0x1000;
constexpr int32_t kStopped = 0xFFF1;

TProbeOutcome OutcomeOf(int32_t code)
{
    // Below 0x1000 the register itself answered the status query, perhaps
    // with an error of its own: it is there.
    if (code >= 0 && code < 0x1000)
        return TProbeOutcome::Answered;
    if (code == kStopped)
        return TProbeOutcome::Stopped;
    const int group = code >> 8;
    if ((group >= 0x12 && group <= 0x15) || (group >= 0x90 && group <= 0x99) || code < 0)
        return TProbeOutcome::Failed;
    return TProbeOutcome::NoAnswer;
}

// The port layer's "Blad(N) otwarcia portu PATH. text" line: N and PATH.
bool OpenFailure(const std::vector<std::string> &lines, int &number, std::string &path)
{
    static const std::string marker = ") otwarcia portu ";
    for (const std::string &l : lines) {
        const auto at = l.find(marker);
        if (l.rfind("Blad(", 0) != 0 || at == std::string::npos)
            continue;
        number = std::atoi(l.c_str() + 5);
        const auto start = at + marker.size();
        const auto end = l.find(". ", start);
        path = l.substr(start, end == std::string::npos ? std::string::npos : end - start);
        return true;
    }
    return false;
}

} // namespace

std::string TProbeResult::Text() const
{
    switch (Outcome) {
    case TProbeOutcome::Answered:
        return "kasa nr " + std::to_string(RegisterNumber) + " odpowiada, " + std::to_string(Baud) + " b/s";
    case TProbeOutcome::NoAnswer: return "brak odpowiedzi";
    case TProbeOutcome::Busy: return "zajęty przez inny program";
    case TProbeOutcome::NoPermission: return "brak uprawnień — dodaj użytkownika do grupy dialout";
    case TProbeOutcome::Stopped: return "przerwano";
    case TProbeOutcome::Failed: break;
    }
    return Message.empty() ? std::string("błąd") : Message;
}

std::string StatusQueryCommandLine(int baud, uint32_t registerNumber, const std::string &model)
{
    return "/LW /V" + model + " /P1 /B" + std::to_string(baud) + " /E" + std::to_string(registerNumber) + " /XU /*";
}

const TJobTable &StatusQueryJobs()
{
    static const TJobTable table = [] {
        TJobTable t;
        t.Register('U', "Stan kasy", false, DefaultJobTable().Status());
        return t;
    }();
    return table;
}

TQueryRunner PortQueryRunner(TClock &clock)
{
    return [&clock](const TProbe &probe, const std::string &commandLine, TKOMDisplay &display, TModuleResult &result) {
        RunModule(commandLine, probe.Port, std::string(), display, clock, StatusQueryJobs(), result);
    };
}

TProbeOutcome OpenFailureOutcome(const std::string &path, int errorNumber)
{
#ifdef _WIN32
    // Windows refuses a port another program holds as access denied (5) or
    // a sharing violation (32), and there is no user group to join; 2 is a
    // port that is not there.
    (void)path;
    return errorNumber == 5 || errorNumber == 32 ? TProbeOutcome::Busy : TProbeOutcome::Failed;
#else
    // Without an OS number the port layer gives Qt's own code, and Qt's
    // PermissionError (2) stands both for a port locked by another program
    // and for a device the user may not open.
    constexpr int qtPermissionError = 2;
    if (::access(path.c_str(), F_OK) != 0)
        return TProbeOutcome::Failed;
    if (::access(path.c_str(), R_OK | W_OK) != 0)
        return TProbeOutcome::NoPermission;
    switch (errorNumber) {
    case qtPermissionError:
    case EACCES:
    case EBUSY:
    case EEXIST:
    case EAGAIN: return TProbeOutcome::Busy;
    default: return TProbeOutcome::Failed;
    }
#endif
}

TProbeResult QueryRegister(const TProbe &probe, TProbeDisplay &display, const TQueryRunner &run,
                           const std::string &model, const std::atomic<bool> *stop)
{
    TProbeResult r;
    r.Port = probe.Port;
    r.Baud = probe.Baud;
    r.RegisterNumber = probe.RegisterNumber;
    display.Start();
    // A stop that came before Start cleared the flag is seen here.
    if (stop && *stop)
        display.StopRequested = true;
    TModuleResult result;
    try {
        run(probe, StatusQueryCommandLine(probe.Baud, probe.RegisterNumber, model), display, result);
    } catch (const std::exception &e) {
        result.Code = 0x10000;
        result.Text = e.what();
    }
    r.Code = result.Code;
    r.Message = PcToUtf8(result.CodePage, result.Text);
    int number = -1;
    std::string path;
    if (result.Code == kPortOpenFailed && OpenFailure(display.Lines, number, path))
        r.Outcome = OpenFailureOutcome(path, number);
    else
        r.Outcome = OutcomeOf(result.Code);
    return r;
}

std::vector<std::string> SystemPorts()
{
    std::vector<std::string> ports;
#ifdef _WIN32
    // The values of SERIALCOMM are the port names ("COM3"); their own names
    // are driver paths with backslashes, which QSettings cannot read.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            wchar_t value[64];
            DWORD nameSize = 256, valueSize = sizeof value - sizeof(wchar_t), type = 0;
            const LONG r = RegEnumValueW(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE *>(value),
                                         &valueSize);
            if (r == ERROR_NO_MORE_ITEMS)
                break;
            if (r != ERROR_SUCCESS || type != REG_SZ)
                continue;
            value[valueSize / sizeof(wchar_t)] = L'\0';
            std::string port;
            for (const wchar_t *c = value; *c && *c < 0x80; ++c)
                port += static_cast<char>(*c);
            if (!port.empty() && std::find(ports.begin(), ports.end(), port) == ports.end())
                ports.push_back(port);
        }
        RegCloseKey(key);
    }
    // COM2 before COM10.
    std::sort(ports.begin(), ports.end(), [](const std::string &a, const std::string &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
#else
    // A USB adapter's by-id name stays the same from one socket to the
    // next; the device it leads to is then not listed again.
    std::vector<std::string> byIdTargets;
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : byId.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        ports.push_back(link.absoluteFilePath().toStdString());
        byIdTargets.push_back(link.canonicalFilePath().toStdString());
    }
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const std::string path = info.systemLocation().toStdString();
        if (std::find(byIdTargets.begin(), byIdTargets.end(), path) == byIdTargets.end()
            && std::find(ports.begin(), ports.end(), path) == ports.end())
            ports.push_back(path);
    }
#endif
    return ports;
}

std::vector<std::string> CandidatePorts(const std::string &typed)
{
    std::vector<std::string> ports = SystemPorts();
    if (!typed.empty() && std::find(ports.begin(), ports.end(), typed) == ports.end())
        ports.push_back(typed);
    return ports;
}

// ------------------------------------------------------------------ search

struct TRegisterSearch::TPortJob {
    std::string Port;
    TProbeDisplay Display;
    std::thread Thread;
};

TRegisterSearch::TRegisterSearch(std::vector<std::string> ports, std::vector<int> bauds, uint32_t registerNumber,
                                 TQueryRunner run, std::string model)
    : m_ports(std::move(ports)), m_bauds(std::move(bauds)), m_register(registerNumber), m_run(std::move(run)),
      m_model(std::move(model))
{
}

TRegisterSearch::~TRegisterSearch()
{
    Stop();
    Wait();
}

void TRegisterSearch::Start(TReport onResult)
{
    m_report = std::move(onResult);
    for (const std::string &port : m_ports) {
        auto job = std::make_unique<TPortJob>();
        job->Port = port;
        m_jobs.push_back(std::move(job));
    }
    for (auto &job : m_jobs)
        job->Thread = std::thread([this, j = job.get()] { RunPort(*j); });
}

void TRegisterSearch::RunPort(TPortJob &job)
{
    TProbeResult result;
    result.Port = job.Port;
    result.RegisterNumber = m_register;
    for (int baud : m_bauds) {
        if (m_stop) {
            result.Outcome = TProbeOutcome::Stopped;
            break;
        }
        result = QueryRegister(TProbe{job.Port, baud, m_register}, job.Display, m_run, m_model, &m_stop);
        // Only silence may be the wrong speed; anything else is the same at
        // every speed.
        if (result.Outcome != TProbeOutcome::NoAnswer)
            break;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_results.push_back(result);
    }
    if (m_report)
        m_report(result);
    ++m_done;
}

void TRegisterSearch::Stop()
{
    m_stop = true;
    for (auto &job : m_jobs)
        job->Display.StopRequested = true;
}

void TRegisterSearch::Wait()
{
    for (auto &job : m_jobs)
        if (job->Thread.joinable())
            job->Thread.join();
}

std::vector<TProbeResult> TRegisterSearch::Results() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_results;
}

std::optional<TProbeResult> TRegisterSearch::Found() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const TProbeResult &r : m_results)
        if (r.Outcome == TProbeOutcome::Answered)
            return r;
    return std::nullopt;
}
