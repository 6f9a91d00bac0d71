#pragma once
// The program's output sink and the worker thread of one module run.
#include "link/UKOMDisplay.h"
#include "link/UModule.h"

#include <QString>
#include <QThread>
#include <functional>

class TOSHOutput;

// The program's real sink of a module run, not a test double (the name is
// the one the module's display was always given): forwards everything the
// module says to the progress window's store; the module's texts are
// Windows-1250 bytes (/LW).
class TTestKOMDisplay : public TKOMDisplay {
public:
    explicit TTestKOMDisplay(TOSHOutput &output) : m_output(output) {}
    void Clear() override;
    void WriteLine(const std::string &text) override;
    void SetStatus(const std::string &text) override;
    int AddHistory(uint16_t code) override;
    void Progress(char job, uint32_t table, long done, long total) override;

private:
    TOSHOutput &m_output;
};

// One module run: command line, port name, folder of the /F names, sink.
using TModuleRunner = std::function<TModuleResult(const std::string &commandLine, const std::string &portName,
                                                  const std::string &folder, TKOMDisplay &display)>;
// RunModule with the steady clock.
TModuleRunner DefaultModuleRunner();
// RunModule over the line makeLine gives each job instead of the named
// port (the demo register), on clock.
TModuleRunner LineModuleRunner(TLineFactory makeLine, TClock &clock);

inline const QString NotFinishedText = QStringLiteral("Moduł komunikacyjny nie zakonczył jeszcze działania.");
inline constexpr int ResultOutsideModule = 0x10000;

// Binds the calling thread to the first processor where the platform
// allows; a refusal is ignored.
void BindToFirstProcessor();

class TKOMThread : public QThread {
    Q_OBJECT
public:
    // Starts the sink (the job begins with a clean output and no stop
    // request) and the thread unless createSuspended.
    TKOMThread(bool createSuspended, const QString &commandLine, TKOMDisplay &display,
               TModuleRunner runner = DefaultModuleRunner(), QObject *parent = nullptr);
    ~TKOMThread() override;

    QString CommandLine;
    QString PortName;  // empty: the module uses /P
    QString Folder;    // where the /F names lie
    // 0 success; 1..0xFFFF the module's code; -1 the module did not reach
    // its end; 0x10000 an exception outside the module's run.
    int ResultCode = 0;
    QString ResultText;

protected:
    void run() override;

private:
    TKOMDisplay &m_display;
    TModuleRunner m_runner;
};
