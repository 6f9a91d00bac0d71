#include "link/UModule.h"

#include "link/UClock.h"
#include "link/UComPort.h"
#include "link/UDnUp.h"
#include "link/UExchangeFile.h"
#include "link/UKOMDisplay.h"
#include "link/UProtoco.h"

#include <algorithm>
#include <limits>
#include <new>

namespace {

const TModel kModels[] = {
    {"235", "ER-A235P", 0, 0, 850},
    {"237", "ER-A237P", 5, 0, 1000},
    {"275", "ER-A275P", 4, 0, 850},
    {"277", "ER-A277P", 6, 0, 1000},
    {"277PS", "ER-A277PS", 9, 0, 1000},
    {"277PSP", "ER-A277PS Plus", 11, 0, 1000},
};

constexpr uint16_t kPortOpenFailed = 0x1000;
constexpr uint16_t kFileOpenFailed = 0x1100;
constexpr uint16_t kCannotCreate = 0x9000;
constexpr uint16_t kStopped = 0xFFF1;
constexpr uint32_t kStatusPause = 2000;
constexpr int kStatusAttempts = 4;

bool allDigits(const std::string &s)
{
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Decimal digits to a number; a value too big for 32 bits stays at the
// largest one, so that a long digit string cannot wrap into a valid value.
uint32_t decimal(const std::string &s)
{
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            break;
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > std::numeric_limits<uint32_t>::max())
            return std::numeric_limits<uint32_t>::max();
    }
    return static_cast<uint32_t>(v);
}

bool rangeChars(const std::string &s)
{
    for (char c : s) {
        const bool ok = c == ',' || c == '-' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
        if (!ok)
            return false;
    }
    return true;
}

class TRun {
public:
    TRun(TModuleContext &ctx, TParam &param, const TJobTable &jobs, const std::string &portName,
         const std::string &folder, const TLineFactory *makeLine)
        : m_ctx(ctx), m_param(param), m_jobs(jobs), m_portName(portName), m_folder(folder), m_makeLine(makeLine)
    {
    }

    void RunJob();

private:
    void writeBanner();
    bool validateGeneral();
    bool validateJob();
    bool jobFileUsable();
    bool runTransfer(TJob &job, const TTaskFactory &factory, bool sending, const std::string *name);
    void statusQuery(TJob &job);
    // Sleeps in short slices; false when the user asked to stop meanwhile.
    bool waitSeconds(uint32_t seconds);
    void runOnLine(TLine &line);

    TModuleContext &m_ctx;
    TParam &m_param;
    const TJobTable &m_jobs;
    const std::string &m_portName;
    const std::string &m_folder;
    const TLineFactory *m_makeLine;
    const TModel *m_model = nullptr;
    bool m_paper = false;
};

void TRun::writeBanner()
{
    if (m_ctx.Quiet)
        return;
    m_ctx.WriteLine(BannerRule());
    m_ctx.WriteLine(BannerTitle());
    m_ctx.WriteLine(BannerRule());
}

bool TRun::validateGeneral()
{
    if (!m_param.has('P')) {
        m_ctx.SetError(0x1200, false);
        return false;
    }
    if (m_portName.empty() && !allDigits(m_param.value('P'))) {
        m_ctx.SetError(0x1300, false);
        return false;
    }
    if (!m_param.has('B'))
        m_param.setDefault('B', "19200");
    if (!allDigits(m_param.value('B'))) {
        m_ctx.SetError(0x1310, false);
        return false;
    }
    if (!m_param.has('E'))
        m_param.setDefault('E', "1");
    if (!allDigits(m_param.value('E'))) {
        m_ctx.SetError(0x1312, false);
        return false;
    }
    m_paper = m_param.value('p') == "+";
    m_model = FindModel(m_param.has('V'), m_param.value('V'));
    if (!m_model) {
        m_ctx.SetError(0x1320, false);
        return false;
    }
    return true;
}

bool TRun::validateJob()
{
    const std::pair<char, uint16_t> decimals[] = {{'Y', 0x1321}, {'W', 0x1322}, {'r', 0x1323}};
    for (auto [letter, code] : decimals) {
        if (m_param.has(letter) && !allDigits(m_param.value(letter))) {
            m_ctx.SetError(code, false);
            return false;
        }
    }
    if (!m_param.has('X')) {
        m_ctx.SetError(0x1201, false);
        return false;
    }
    const std::string x = m_param.value('X');
    if (x.size() != 1 || (x[0] != 'D' && x[0] != 'P' && x[0] != 'U')) {
        m_ctx.SetError(0x1301, false);
        return false;
    }
    if (m_param.has('R') && !rangeChars(m_param.value('R'))) {
        m_ctx.SetError(0x1314, false);
        return false;
    }
    const std::pair<char, uint16_t> counts[] = {{'N', 0x1315}, {'O', 0x1316}};
    for (auto [letter, code] : counts) {
        if (m_param.has(letter) && !allDigits(m_param.value(letter))) {
            m_ctx.SetError(code, false);
            return false;
        }
    }
    return true;
}

// A /F naming a device, a pipe or a socket fails before the port is
// opened: opening a pipe would wait for its other end with the port held.
bool TRun::jobFileUsable()
{
    if (!m_param.has('F'))
        return true;
    const std::string *why = ExchangeFileRefusal(ResolveJobFile(m_folder, m_param.value('F')));
    if (!why)
        return true;
    writeBanner();
    if (!m_ctx.Quiet)
        m_ctx.WriteLine(*why);
    m_ctx.SetError(kFileOpenFailed, false);
    return false;
}

bool TRun::waitSeconds(uint32_t seconds)
{
    const uint64_t total = static_cast<uint64_t>(seconds) * 1000;
    for (uint64_t waited = 0; waited < total; waited += 200) {
        if (m_ctx.StopRequested())
            return false;
        m_ctx.Clock.Sleep(200);
    }
    return !m_ctx.StopRequested();
}

void TRun::RunJob()
{
    m_ctx.Quiet = m_param.has('Q');
    m_ctx.Error = ModuleError{};
    if (!validateGeneral()) {
        writeBanner();
        return;
    }
    if (!jobFileUsable())
        return;
    uint32_t baud = decimal(m_param.value('B'));
    uint32_t portNumber = decimal(m_param.value('P'));
    if (portNumber == 0)
        portNumber = 2;
    if (baud == 0)
        baud = 19200;

    if (m_makeLine) {
        std::unique_ptr<TLine> line = (*m_makeLine)(m_ctx);
        if (!line) {
            m_ctx.SetError(kPortOpenFailed, false);
            return;
        }
        line->DiscardInput();
        runOnLine(*line);
        return;
    }
    TComPort port(m_ctx);
    port.PortName = m_portName;
    if (!port.OpenPort(static_cast<int>(std::min<uint32_t>(portNumber, 0x7FFFFFFF)),
                       static_cast<int>(std::min<uint32_t>(baud, 0x7FFFFFFF)))) {
        m_ctx.SetError(kPortOpenFailed, false);
        return;
    }
    // Closed on every way out, also by an exception.
    struct Closer {
        TComPort &port;
        ~Closer() { port.ClosePort(); }
    } closer{port};
    // What a stopped job's answer left on the line would be read as the
    // start of this job's answers.
    port.DiscardInput();
    runOnLine(port);
}

void TRun::runOnLine(TLine &line)
{
    if (!validateJob())
        return;
    TNational national(m_ctx.OutputCodePage);
    TJob job{m_ctx, m_param, line, *m_model, national, m_paper, m_folder};
    const TJobTable::Entry *entry = m_jobs.Find(m_param.value('X')[0]);
    // A Stop pressed before this point is seen by the transfer loop before
    // its first step, after the job's banner and status text.
    if (!entry || !entry->Factory) {
        m_ctx.SetError(kCannotCreate, false);
    } else {
        runTransfer(job, entry->Factory, entry->Sending, &entry->Name);
    }
    statusQuery(job);
}

bool TRun::runTransfer(TJob &job, const TTaskFactory &factory, bool sending, const std::string *name)
{
    std::unique_ptr<TTask> task;
    std::unique_ptr<TProtocol> protocol;
    try {
        task = factory(job);
        if (task)
            protocol = std::make_unique<TProtocol>(
                m_ctx, job.Port, sending ? TProtocol::TKind::Sending : TProtocol::TKind::Receiving,
                job.Model.Index, job.Paper);
    } catch (const std::bad_alloc &) {
        protocol.reset();
        task.reset();
    }
    if (!task || !protocol) {
        m_ctx.SetError(kCannotCreate, false);
        return false;
    }
    if (name && !m_ctx.Quiet) {
        m_ctx.Display.Clear();
        writeBanner();
        const std::string status = Utf8ToCp852(" Transmisja - ") + *name + Utf8ToCp852(" - proszę czekać...");
        m_ctx.Display.SetStatus(Translate(MessageTranslation(m_ctx.OutputCodePage), status));
    }
    bool success = false;
    if (task->Start(static_cast<int64_t>(decimal(m_param.value('E'))), &m_param) && protocol->Start(*task)) {
        while (!protocol->IsFinished()) {
            if (m_ctx.StopRequested()) {
                m_ctx.SetError(kStopped, false);
                break;
            }
            m_ctx.Clock.Sleep(0);
            protocol->Step();
        }
        success = protocol->IsFinished() && !protocol->IsFailed() && !task->InError();
    }
    task->Completion();
    protocol.reset();
    task.reset();
    return success;
}

void TRun::statusQuery(TJob &job)
{
    const uint16_t code = m_ctx.Error.Code;
    if (code == kStopped)
        return;
    bool wanted = !m_param.has('*');
    if (wanted && m_param.has('U'))
        wanted = m_param.isEmpty('U') ? code != 0 : code == 0x2000;
    if (!wanted)
        return;
    if (m_param.has('W') && !waitSeconds(decimal(m_param.value('W')))) {
        m_ctx.SetError(kStopped, false);
        return;
    }
    if (!m_ctx.Error.AskStatus || !m_jobs.Status())
        return;
    m_ctx.Clock.Sleep(job.Model.PreStatusDelay);
    // What the register's answer is weighed against is the job's own error,
    // not the error of a failed earlier attempt: otherwise a "0000" answer
    // to the second attempt would wipe out a refused download.
    const ModuleError jobError = m_ctx.Error;
    for (int attempt = 1; attempt <= kStatusAttempts; ++attempt) {
        if (attempt > 1)
            m_ctx.Error = jobError;
        if (runTransfer(job, m_jobs.Status(), false, nullptr))
            return;
        if (m_ctx.Error.Code == kStopped || attempt == kStatusAttempts)
            return;
        m_ctx.Clock.Sleep(kStatusPause);
        if (m_ctx.StopRequested()) {
            m_ctx.SetError(kStopped, false);
            return;
        }
    }
}

} // namespace

const TModel *FindModel(bool given, const std::string &value)
{
    if (!given)
        return &kModels[0];
    for (const TModel &m : kModels)
        if (value == m.Code)
            return &m;
    return nullptr;
}

std::string NotFinishedMessage()
{
    return Translate(MessageTranslation('W'),
                     Utf8ToCp852("Moduł komunikacyjny nie zakonczył jeszcze działania."));
}

std::string ResolveJobFile(const std::string &folder, const std::string &name)
{
    const bool drive = name.size() >= 3 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))
                       && name[1] == ':' && (name[2] == '\\' || name[2] == '/');
    const bool rooted = !name.empty() && (name[0] == '/' || name[0] == '\\');
    if (drive || rooted || folder.empty())
        return name;
    const char last = folder.back();
    if (last == '/' || last == '\\')
        return folder + name;
    return folder + "/" + name;
}

TJobTable::TJobTable()
{
    Register('D', "Wysyłanie danych", true, {});
    Register('U', "Czytanie danych", false, {});
    Register('P', "Czytanie pamięci fiskalnej", false, {});
}

void TJobTable::Register(char letter, const std::string &name, bool sending, TTaskFactory factory)
{
    m_entries[letter] = Entry{Utf8ToCp852(name), sending, std::move(factory)};
}

const TJobTable::Entry *TJobTable::Find(char letter) const
{
    const auto it = m_entries.find(letter);
    return it == m_entries.end() ? nullptr : &it->second;
}

TJobTable &DefaultJobTable()
{
    static TJobTable table = [] {
        TJobTable t;
        RegisterLinkTasks(t);
        return t;
    }();
    return table;
}

std::string BannerRule()
{
    return " " + std::string(78, '=');
}

std::string BannerTitle()
{
    return std::string(" >> ") + ModuleName + " wer. " + ModuleVersion;
}

std::string BuildLine()
{
#ifdef ORVAN_BUILD_STAMP
    return std::string(" Kompilacja   ") + ORVAN_BUILD_STAMP;
#else
    return std::string(" Kompilacja   ") + __DATE__ + " " + __TIME__;
#endif
}

char OutputCodePage(const std::string &commandLine)
{
    TParam p;
    p.parse(commandLine);
    if (!p.has('L'))
        return 'W';
    const std::string v = p.value('L');
    return v.empty() ? '\0' : v[0];
}

namespace {

void RunModuleOn(const std::string &commandLine, const std::string &portName, const std::string &folder,
                 TKOMDisplay &display, TClock &clock, const TJobTable &jobs, const TLineFactory *makeLine,
                 TModuleResult &result)
{
    result.Code = -1;
    result.Text = NotFinishedMessage();
    result.CodePage = 'W';

    TModuleContext ctx(display, clock);
    TParam param;
    param.parse(commandLine);
    if (param.count() == 0) {
        ctx.OutputCodePage = 'W';
        ctx.WriteLine(BannerRule());
        ctx.WriteLine(BannerTitle());
        ctx.WriteLine(BannerRule());
    } else {
        if (!param.has('L'))
            param.setDefault('L', "W");
        const std::string l = param.value('L');
        ctx.OutputCodePage = l.empty() ? '\0' : l[0];
        if (param.has('?')) {
            ctx.WriteLine(BannerRule());
            ctx.WriteLine(BannerTitle());
            ctx.WriteLine(BannerRule());
            ctx.WriteLine(BuildLine());
        } else {
            TRun(ctx, param, jobs, portName, folder, makeLine).RunJob();
        }
    }
    param.clear();
    ctx.WriteLine("KONIEC.");
    display.SetStatus("KONIEC.");
    display.Finish();

    uint16_t code = 0;
    std::string text;
    ctx.GetError(code, text);
    result.Code = code;
    result.Text = text;
    result.CodePage = ctx.OutputCodePage;
}

} // namespace

void RunModule(const std::string &commandLine, const std::string &portName, const std::string &folder,
               TKOMDisplay &display, TClock &clock, const TJobTable &jobs, TModuleResult &result)
{
    RunModuleOn(commandLine, portName, folder, display, clock, jobs, nullptr, result);
}

void RunModule(const std::string &commandLine, const std::string &folder, TKOMDisplay &display, TClock &clock,
               const TJobTable &jobs, const TLineFactory &makeLine, TModuleResult &result)
{
    RunModuleOn(commandLine, std::string(), folder, display, clock, jobs, makeLine ? &makeLine : nullptr, result);
}

TModuleResult RunModule(const std::string &commandLine, const std::string &portName,
                        const std::string &folder, TKOMDisplay &display, TClock &clock)
{
    TModuleResult result;
    RunModule(commandLine, portName, folder, display, clock, DefaultJobTable(), result);
    return result;
}
