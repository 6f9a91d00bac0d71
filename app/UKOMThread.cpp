#include "app/UKOMThread.h"

#include "link/UClock.h"
#include "data/UCodePage.h"
#include "app/UOSHOutput.h"

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

void TTestKOMDisplay::Clear()
{
    m_output.Clear();
}

void TTestKOMDisplay::WriteLine(const std::string &text)
{
    m_output.WriteLine(FromCp1250(text.data(), qsizetype(text.size())));
}

void TTestKOMDisplay::SetStatus(const std::string &text)
{
    m_output.SetStatus(FromCp1250(text.data(), qsizetype(text.size())));
}

int TTestKOMDisplay::AddHistory(uint16_t code)
{
    return m_output.AddHistory(code);
}

void TTestKOMDisplay::Progress(char job, uint32_t table, long done, long total)
{
    m_output.Progress().Report(job, table, done, total);
}

TModuleRunner DefaultModuleRunner()
{
    return [](const std::string &commandLine, const std::string &portName, const std::string &folder,
              TKOMDisplay &display) { return RunModule(commandLine, portName, folder, display, SteadyClock()); };
}

TModuleRunner LineModuleRunner(TLineFactory makeLine, TClock &clock)
{
    return [makeLine = std::move(makeLine), &clock](const std::string &commandLine, const std::string &,
                                                     const std::string &folder, TKOMDisplay &display) {
        TModuleResult result;
        RunModule(commandLine, folder, display, clock, DefaultJobTable(), makeLine, result);
        return result;
    };
}

void BindToFirstProcessor()
{
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    (void)pthread_setaffinity_np(pthread_self(), sizeof set, &set);
#elif defined(_WIN32)
    (void)SetThreadAffinityMask(GetCurrentThread(), 1);
#endif
}

TKOMThread::TKOMThread(bool createSuspended, const QString &commandLine, TKOMDisplay &display,
                       TModuleRunner runner, QObject *parent)
    : QThread(parent), CommandLine(commandLine), m_display(display), m_runner(std::move(runner))
{
    m_display.Start();
    if (!createSuspended)
        start();
}

TKOMThread::~TKOMThread()
{
    wait();
}

void TKOMThread::run()
{
    BindToFirstProcessor();
    try {
        // Stands when the module is left by an exception before its end.
        ResultCode = -1;
        ResultText = NotFinishedText;
        const TModuleResult result = m_runner(CommandLine.toStdString(), PortName.toStdString(),
                                              Folder.toStdString(), m_display);
        ResultCode = result.Code;
        ResultText = FromCp1250(result.Text.data(), qsizetype(result.Text.size()));
    } catch (const std::exception &e) {
        if (ResultCode == 0) {
            ResultCode = ResultOutsideModule;
            ResultText = QString::fromLocal8Bit(e.what());
        }
    } catch (...) {
        // Anything else would end the whole program from this thread.
        if (ResultCode == 0) {
            ResultCode = ResultOutsideModule;
            ResultText = QStringLiteral("Nieznany błąd.");
        }
    }
    if (m_display.Running)
        m_display.Running = false;
}
