#pragma once
// The transmission settings dialog: serial port and speed of every job.
#include <QDialog>

struct TSettings;
class QButtonGroup;
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

class TFormUstawienia : public QDialog {
    Q_OBJECT
public:
    TFormUstawienia(TSettings &settings, QWidget *parent = nullptr);
    ~TFormUstawienia() override;

    // Loads the current settings into the controls.
    void PrepareUstawienia();
    TUstawieniaState State() const;
    Ui::TFormUstawienia *ui;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void BBOKClick();
    void EdPortNameExit();
    TSettings &m_settings;
    QButtonGroup *m_speed;
    bool m_returnPressed = false;
};
