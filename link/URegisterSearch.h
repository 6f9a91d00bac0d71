#pragma once
// Where is the register: one status query on a port at a speed, and a
// search over many ports at once, one job thread per port. Nothing but the
// wake-up and the status query goes on the line, so nothing in the
// register changes. Texts for a person are UTF-8.
#include "link/UKOMDisplay.h"
#include "link/UModule.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TClock;

// The speeds of the transmission settings dialog, in its order.
inline const std::vector<int> &DialogSpeeds()
{
    static const std::vector<int> speeds{19200, 9600, 4800, 2400};
    return speeds;
}

struct TProbe {
    std::string Port;  // as shown and as handed to the module
    int Baud = 9600;
    uint32_t RegisterNumber = 1;
};

enum class TProbeOutcome { Answered, NoAnswer, Busy, NoPermission, Failed, Stopped };

struct TProbeResult {
    std::string Port;
    TProbeOutcome Outcome = TProbeOutcome::NoAnswer;
    int Baud = 0;                 // the speed of the last query (that answered)
    uint32_t RegisterNumber = 1;
    int32_t Code = -1;            // end code of the last query
    std::string Message;          // its module message
    // "brak odpowiedzi", "kasa nr 1 odpowiada, 9600 b/s", ...
    std::string Text() const;
};

// "/LW /V<model> /P1 /B<baud> /E<number> /XU /*": job U is the status query
// alone (StatusQueryJobs) and /* keeps the second one after it away.
std::string StatusQueryCommandLine(int baud, uint32_t registerNumber, const std::string &model = "277PSP");
// The job table whose U is the status query.
const TJobTable &StatusQueryJobs();

// Runs one status query job; the display has been started.
using TQueryRunner =
    std::function<void(const TProbe &probe, const std::string &commandLine, TKOMDisplay &display, TModuleResult &result)>;
// The program's runner: RunModule on the named port.
TQueryRunner PortQueryRunner(TClock &clock);

// What a failure to open the device path says, with the number of the
// port layer's line: Busy, NoPermission or Failed. One implementation per
// system.
TProbeOutcome OpenFailureOutcome(const std::string &path, int errorNumber);

// The sink of a query: keeps the lines, where an open failure says why.
class TProbeDisplay : public TKOMDisplay {
public:
    void Clear() override { Lines.clear(); }
    void WriteLine(const std::string &text) override { Lines.push_back(text); }
    void SetStatus(const std::string &) override {}
    int AddHistory(uint16_t) override { return 0; }
    std::vector<std::string> Lines;  // job thread only
};

// One status query. display is started here; its StopRequested (set
// before or during the query) stops it.
TProbeResult QueryRegister(const TProbe &probe, TProbeDisplay &display, const TQueryRunner &run,
                           const std::string &model = "277PSP", const std::atomic<bool> *stop = nullptr);

// The serial ports the system lists (Linux: /dev/serial/by-id/* by that
// name instead of the device they lead to; Windows: the SERIALCOMM key).
std::vector<std::string> SystemPorts();
// The system's ports plus the typed one (when given and not listed).
std::vector<std::string> CandidatePorts(const std::string &typed);

// Every port at every speed, all ports at once. Results come as each port
// ends; a port ends at its first answer or a failure that no speed mends.
class TRegisterSearch {
public:
    using TReport = std::function<void(const TProbeResult &)>;

    TRegisterSearch(std::vector<std::string> ports, std::vector<int> bauds, uint32_t registerNumber,
                    TQueryRunner run, std::string model = "277PSP");
    // Stops what still runs and waits for it.
    ~TRegisterSearch();
    TRegisterSearch(const TRegisterSearch &) = delete;
    TRegisterSearch &operator=(const TRegisterSearch &) = delete;

    // onResult runs on the port's job thread.
    void Start(TReport onResult = {});
    // The user's stop: every running query ends with 0xFFF1.
    void Stop();
    void Wait();
    bool StopRequested() const { return m_stop; }

    int Total() const { return static_cast<int>(m_ports.size()); }
    int Done() const { return m_done; }
    bool Finished() const { return m_done == Total(); }
    // The results so far, in the order the ports ended.
    std::vector<TProbeResult> Results() const;
    // The first port that answered.
    std::optional<TProbeResult> Found() const;

private:
    struct TPortJob;
    void RunPort(TPortJob &job);

    std::vector<std::string> m_ports;
    std::vector<int> m_bauds;
    uint32_t m_register;
    TQueryRunner m_run;
    std::string m_model;
    TReport m_report;
    std::vector<std::unique_ptr<TPortJob>> m_jobs;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_done{0};
    mutable std::mutex m_mutex;
    std::vector<TProbeResult> m_results;
};
