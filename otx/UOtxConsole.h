#pragma once
// The console's front end of the logic classes: module jobs run in this
// process through RunModule with a console sink, boxes become lines, the
// wait window runs its step at once and dialogs are answered by the command
// line.
#include "exchange/UUiHooks.h"
#include "otx/UOtxCommon.h"

#include <QString>

// One module job: the module's lines go to `out` as it writes them, then
// its end line ("0000", or the code and its message); a failed job raises
// EAbort. Ctrl+C, SIGTERM or SIGHUP stops a running job as the Stop button
// does, and every later job of the command at its start; so does a lost
// output. A register silent for timeoutSeconds (0: no bound) stops the job.
class TConsoleJobRunner : public IJobRunner {
public:
    TConsoleJobRunner(const QString &modelCode, int baud, const QString &port, const QString &folder,
                      FILE *out = stdout, int timeoutSeconds = DefaultTimeout);
    void Run(const TJobRequest &request) override;

    static constexpr int DefaultTimeout = 120;

private:
    QString m_model;
    int m_baud;
    FILE *m_out;
    int m_timeout;
    std::string m_port;
    std::string m_folder;
};

// From here on Ctrl+C, SIGTERM and SIGHUP stop the jobs, so that the
// command ends through its clean-up; a second one of a kind ends the
// program at once. Installed once a run.
void InstallInterrupt();

// The step runs at once; its error is printed and the command ends with
// the silent abort, as after the wait window's error box.
class TConsoleWait : public IWaitRunner {
public:
    void Execute(const QString &message, const std::function<void()> &procedure) override;
};

// Information to standard output, errors and questions to standard error;
// every question is answered No.
class TConsoleMessages : public IMessages {
public:
    void Information(const QString &text) override;
    void Error(const QString &text) override;
    TPromptAnswer Ask(const QString &text, TAskKind kind, bool withCancel) override;
};

// The command line has said it all: reads are confirmed with both boxes
// ticked, sends are confirmed.
class TNoDialogs : public IExchangeDialogs {
public:
    bool ConfirmRead(bool forView, bool &clearFirst, bool &withCounters) override;
    bool ConfirmSend() override { return true; }
};

// --baud: 19200, 9600 (the default), 4800 or 2400.
int BaudOption(const TOtxArgs &args);

// --timeout: seconds of silence of the register before its job is stopped,
// 0..86400, 0 for no bound.
int TimeoutOption(const TOtxArgs &args);

// The run's private folder (URunFolder.h) for the exchange files; it goes
// when the program ends. Installs the interrupt. EInOutError when the
// folder cannot be made.
QString ExchangeFolder();
