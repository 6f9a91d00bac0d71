#include "app/UWait.h"
#include "ui_UWait.h"

#include "data/UErrors.h"
#include "app/UMessages.h"

#include <QCloseEvent>

TFormWait::TFormWait(QWidget *parent) : QDialog(parent), ui(new Ui::TFormWait)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(420, 106);
    m_timer.setObjectName(QStringLiteral("Timer"));
    m_timer.setInterval(200);
    m_timer.setSingleShot(false);
    connect(&m_timer, &QTimer::timeout, this, &TFormWait::TimerTimer);
}

TFormWait::~TFormWait()
{
    delete ui;
}

void TFormWait::Execute(const QString &message, const std::function<void()> &procedure)
{
    ui->LbMessage->setText(message);
    ui->ProgressBar->setValue(0);
    m_procedure = procedure;
    m_error = nullptr;
    m_closing = false;
    m_timer.start();
    const int result = exec();
    m_timer.stop();
    m_procedure = nullptr;
    if (result == QDialog::Accepted)
        return;
    std::exception_ptr error = m_error;
    m_error = nullptr;
    HandleException(error);
    throw EAbort();
}

void TFormWait::TimerTimer()
{
    m_timer.stop();
    try {
        if (m_procedure)
            m_procedure();
        m_closing = true;
        done(QDialog::Accepted);
    } catch (...) {
        m_error = std::current_exception();
        m_closing = true;
        done(QDialog::Rejected);
    }
}

void TFormWait::reject()
{
    if (m_closing)
        QDialog::reject();
}

void TFormWait::closeEvent(QCloseEvent *event)
{
    if (!m_closing)
        event->ignore();
}
