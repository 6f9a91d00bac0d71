#pragma once
// The progress window of the communication module: completes a job's
// command line, runs the module on a worker thread, shows its output and
// offers to repeat a failed transmission.
#include "exchange/UJobCommandLine.h"
#include "exchange/UJobRequest.h"
#include "app/UKOMThread.h"
#include "app/UOSHOutput.h"

#include <QDialog>
#include <QTimer>
#include <functional>

struct TSettings;
namespace Ui {
class TFormOSH;
}

inline const QString RepeatQuestionSuffix = QStringLiteral("\r\nCzy powtórzyć transmisję ?");
inline const QString FindRegisterHint = QStringLiteral("Sprawdź port i prędkość w Ustawieniach (przycisk „Szukaj kasy”)");
// The question after a failed job: the module's message, for a register
// that did not answer a hint where to look, and whether to repeat.
QString RepeatQuestion(int code, const QString &text);
inline const QString StartFailedText = QStringLiteral("Wystąpił błąd podczas uruchamiania programu komunikacyjnego.");
inline constexpr int StartFailedCode = 987654321;
// Lines the output box shows whole.
inline constexpr int MaxOutputLines = 9;
// The output box and the Stop button as drawn for the register's own font,
// below the strip and the transfer's progress bar with its text.
inline constexpr int OutputBoxHeight = 156;
inline constexpr int StopButtonTop = 248;
inline constexpr int FormHeight = 282;

class TFormOSH : public QDialog {
    Q_OBJECT
public:
    explicit TFormOSH(TSettings &settings, QWidget *parent = nullptr);
    ~TFormOSH() override;

    // Runs one job modally; returns when it succeeded, otherwise (the user
    // declined to repeat) raises the silent abort.
    void Run(const TJobRequest &request);
    // The same with the switches spelled already (tests give raw ones).
    void Run(const QString &jobSwitches);

    // The program's sink; every module output goes through it.
    TKOMDisplay &Display() { return m_display; }
    TOSHOutput &Output() { return m_output; }

    // Where the module runs (RunModule on the port by default; the demo
    // register's line in demo mode), which port a job names (the stored
    // one by default) and the folder of the exchange files (the temporary
    // folder).
    void SetModuleRunner(TModuleRunner runner) { m_runner = std::move(runner); }
    const TModuleRunner &ModuleRunner() const { return m_runner; }
    void SetPortNameProvider(std::function<QString()> provider) { m_portName = std::move(provider); }
    const std::function<QString()> &PortNameProvider() const { return m_portName; }
    QString PortName() const { return m_portName ? m_portName() : QString(); }
    void SetFolder(const QString &folder) { m_folder = folder; }
    // Called when a job has started, with the window shown (screenshots).
    std::function<void()> OnJobStarted;

    QString CommandLine;
    int ErrorCode = 0;
    QString ErrorText;
    bool Done = false;

    QTimer *tmRefresh() { return &m_refresh; }
    Ui::TFormOSH *ui;

    // One timer tick: copies what changed into the controls.
    void tmRefreshTimer();
    void btStopClick();
    // The font of the output box; the box and the window grow to show nine
    // whole lines of it.
    void SetOutputFont(const QFont &font);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void StartJobs();
    void RunJob();
    void PaintHistory(const TOSHOutput::TChanges &changes);
    void PaintProgress();

    TSettings &m_settings;
    TOSHOutput m_output;
    TTestKOMDisplay m_display;
    TModuleRunner m_runner;
    std::function<QString()> m_portName;
    QString m_folder;
    QTimer m_refresh;
    TTransferProgress::TView m_progressShown;
    int m_tag = 0;
    bool m_running = false;
};
