#include "otx/UOtxConsole.h"

#include "link/UClock.h"
#include "link/UConsoleDisplay.h"
#include "data/UErrors.h"
#include "link/UInterrupt.h"
#include "exchange/UJobCommandLine.h"
#include "link/UModule.h"
#include "data/URunFolder.h"

#include <QFile>
#include <atomic>
#include <mutex>

namespace {

std::atomic<std::atomic<bool> *> g_stop{nullptr};
// Kept: a signal between two jobs stops the next one.
std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int)
{
    g_interrupted = true;
    if (std::atomic<bool> *stop = g_stop.load())
        stop->store(true);
}

} // namespace

void InstallInterrupt()
{
    static std::once_flag once;
    std::call_once(once, [] { InstallStopHandler(OnInterrupt); });
}

TConsoleJobRunner::TConsoleJobRunner(const QString &modelCode, int baud, const QString &port, const QString &folder,
                                     FILE *out, int timeoutSeconds)
    // The module takes names as UTF-8 on every system.
    : m_model(modelCode), m_baud(baud), m_out(out), m_timeout(timeoutSeconds), m_port(port.toStdString()),
      m_folder(folder.toStdString())
{
}

void TConsoleJobRunner::Run(const TJobRequest &request)
{
    const std::string line = BuildCommandLine(m_model, m_baud, JobSwitches(request)).toStdString();
    TConsoleDisplay display(OutputCodePage(line), m_out, m_out);
    TSilenceLimit clock(SteadyClock(), display, uint32_t(m_timeout) * 1000u);
    TModuleResult result;
    try {
        display.Start();
        g_stop = &display.StopRequested;
        if (g_interrupted || OutputLost())
            display.StopRequested = true;
        RunModule(line, m_port, m_folder, display, clock, DefaultJobTable(), result);
        g_stop = nullptr;
    } catch (const std::exception &e) {
        g_stop = nullptr;
        Print(m_out, QStringLiteral("9999 Błąd wewnętrzny programu: ") + QString::fromUtf8(e.what()));
        throw EAbort();
    }
    if (display.OutputLost())
        MarkOutputLost();
    if (result.Code == 0) {
        Print(m_out, QStringLiteral("0000"));
        return;
    }
    Print(m_out, QStringLiteral("%1 ").arg(unsigned(result.Code) & 0xFFFFu, 4, 16, QChar(u'0')).toUpper()
                      + QString::fromStdString(ConsoleText(result.CodePage, result.Text)));
    if (clock.Expired())
        Print(stderr, QStringLiteral("Kasa nie odpowiadała przez %1 s: zadanie przerwano (opcja --timeout).")
                          .arg(m_timeout));
    throw EAbort();
}

void TConsoleWait::Execute(const QString &, const std::function<void()> &procedure)
{
    try {
        procedure();
    } catch (const EAbort &) {
        throw;
    } catch (const Exception &e) {
        Print(stderr, e.Message());
        throw EAbort();
    }
}

void TConsoleMessages::Information(const QString &text)
{
    Print(stdout, text);
}

void TConsoleMessages::Error(const QString &text)
{
    Print(stderr, text);
}

TPromptAnswer TConsoleMessages::Ask(const QString &text, TAskKind, bool)
{
    Print(stderr, text);
    return TPromptAnswer::No;
}

bool TNoDialogs::ConfirmRead(bool, bool &clearFirst, bool &withCounters)
{
    clearFirst = withCounters = true;
    return true;
}

int BaudOption(const TOtxArgs &args)
{
    const int baud = args.Int(QStringLiteral("--baud"), 9600, 2400, 19200);
    if (baud != 2400 && baud != 4800 && baud != 9600 && baud != 19200)
        throw TUsageError{QStringLiteral("niepoprawna prędkość %1 (dozwolone 19200, 9600, 4800, 2400).").arg(baud)};
    return baud;
}

int TimeoutOption(const TOtxArgs &args)
{
    return args.Int(QStringLiteral("--timeout"), TConsoleJobRunner::DefaultTimeout, 0, 86400);
}

QString ExchangeFolder()
{
    InstallInterrupt();
    QString why;
    const QString folder = RunFolder(&why);
    if (folder.isEmpty())
        throw EInOutError(QStringLiteral("Nie można utworzyć folderu plików wymiany: %1").arg(why));
    return folder;
}
