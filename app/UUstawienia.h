#pragma once
// The transmission settings dialog: serial port and speed of every job.
#include "link/URegisterSearch.h"

#include <QDialog>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>
#include <thread>

struct TSettings;
class QButtonGroup;
class QTimer;
namespace Ui {
class TFormUstawienia;
}

inline const QString EmptyPortNameMessage = QStringLiteral("Nazwa portu nie może być pusta !");

// What the dialog shows.
struct TUstawieniaState {
    enum Port { P1, P2, Other };
    Port PortButton = P1;
    QString PortName = QStringLiteral("COM3"); // the edit box beside "other"
    int SpeedItem = 1;                         // 19200, 9600, 4800, 2400; -1 none
};

// Loads "portname" and "baud" into the state (an empty port name becomes
// "COM1", an unknown speed becomes 9600 in the settings too).
void PrepareUstawienia(TSettings &settings, TUstawieniaState &state);
// Stores the state and writes the settings at once (a failure to write is
// shown; the values stay in force); an empty port name raises the plain
// error and leaves both settings unchanged.
void ConfirmUstawienia(const TUstawieniaState &state, TSettings &settings);

// Whether leaving the port name edit shows the empty-name message: not
// when the edit is left by Return or towards OK or Anuluj, whose own
// handling follows (OK gives the message itself), so that it comes once
// and no click is lost under a message box.
bool PortNameExitNeedsMessage(const QString &text, bool byReturn, bool towardsButton);

// The port and speed of a register the search found, in the dialog.
TUstawieniaState StateOfFound(const TProbeResult &found, TUstawieniaState state);
// The answer of "Sprawdź połączenie" in plain Polish, with what to try next.
QString CheckAnswer(const TProbeResult &r);

// "Sprawdź połączenie" and "Szukaj kasy" without the window: the jobs run
// on worker threads; the dialog's timer collects what came (Poll).
class TPortFinder {
public:
    explicit TPortFinder(TQueryRunner run);
    ~TPortFinder();

    void StartCheck(const QString &port, int baud, uint32_t registerNumber);
    void StartSearch(const std::vector<std::string> &ports, uint32_t registerNumber);
    void Stop();
    // On the dialog's thread: the lines that came since the last call;
    // false once the job has ended and everything was handed over.
    bool Poll(QStringList &lines);
    bool Running() const;
    // The search's progress: ports done of all.
    int Done() const;
    int Total() const;
    std::optional<TProbeResult> Found() const;
    // Waits for the worker threads (tests, closing the dialog).
    void Wait();

private:
    void Post(const QString &line);
    TQueryRunner m_run;
    std::unique_ptr<TRegisterSearch> m_search;
    std::thread m_check;
    TProbeDisplay m_checkDisplay;
    std::atomic<bool> m_checkRunning{false};
    mutable std::mutex m_mutex;
    QStringList m_pending;
    std::optional<TProbeResult> m_checked;
};

class TFormUstawienia : public QDialog {
    Q_OBJECT
public:
    TFormUstawienia(TSettings &settings, QWidget *parent = nullptr);
    ~TFormUstawienia() override;

    // Loads the current settings into the controls.
    void PrepareUstawienia();
    TUstawieniaState State() const;
    Ui::TFormUstawienia *ui;
    TPortFinder &Finder() { return *m_finder; }
    // Where "Sprawdź połączenie" and "Szukaj kasy" run their queries (the
    // ports by default); a query still running is stopped.
    void SetQueryRunner(TQueryRunner run);
    // "Szukaj kasy" over these ports.
    void Search(const std::vector<std::string> &ports);

protected:
    void showEvent(QShowEvent *event) override;


private:
    void BBOKClick();
    void BSprawdzClick();
    void BSzukajClick();
    void Collect();
    void SetBusy(bool busy);
    QString ChosenPort() const;

    void EdPortNameExit();
    TSettings &m_settings;
    std::unique_ptr<TPortFinder> m_finder;
    QTimer *m_timer;
    QButtonGroup *m_speed;
    bool m_returnPressed = false;
};
