#pragma once
// The wait window: runs one long operation behind a modal
// "Proszę czekać ..." box.
#include "exchange/UUiHooks.h"

#include <QDialog>
#include <QTimer>
#include <exception>
#include <functional>

namespace Ui {
class TFormWait;
}


class TFormWait : public QDialog, public IWaitRunner {
    Q_OBJECT
public:
    explicit TFormWait(QWidget *parent = nullptr);
    ~TFormWait() override;

    // Shows the message, runs procedure from the first timer tick inside the
    // modal loop; returns when it succeeded. When it raises, the window
    // closes, the application's handler shows the error and Execute raises
    // the silent abort.
    void Execute(const QString &message, const std::function<void()> &procedure) override;

    QTimer *Timer() { return &m_timer; }

protected:
    void reject() override; // Escape does not end the operation
    void closeEvent(QCloseEvent *event) override;

private:
    void TimerTimer();

    Ui::TFormWait *ui;
    QTimer m_timer;
    std::function<void()> m_procedure;
    std::exception_ptr m_error;
    bool m_closing = false;
};
