#include "app/UOSH.h"
#include "ui_UOSH.h"

#include "data/UErrors.h"
#include "data/UGlobals.h"
#include "app/UMessages.h"
#include "data/UProfile.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

TFormOSH::TFormOSH(TSettings &settings, QWidget *parent)
    : QDialog(parent), ui(new Ui::TFormOSH), m_settings(settings), m_display(m_output),
      m_runner(DefaultModuleRunner())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    m_portName = [this] { return m_settings.portname; };

    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(12);
    SetOutputFont(font);

    // The strip is at least one picture high, keeping its bottom edge.
    QRect strip = ui->ImgHistory->geometry();
    if (strip.height() < HistoryPictureSize) {
        strip.setTop(strip.bottom() - HistoryPictureSize + 1);
        ui->ImgHistory->setGeometry(strip);
    }
    m_output.SetupStrip(strip.width(), HistoryPictureSize);

    m_refresh.setObjectName(QStringLiteral("tmRefresh"));
    m_refresh.setInterval(200);
    connect(&m_refresh, &QTimer::timeout, this, &TFormOSH::tmRefreshTimer);
    connect(ui->btStop, &QPushButton::clicked, this, &TFormOSH::btStopClick);
}

TFormOSH::~TFormOSH()
{
    delete ui;
}

void TFormOSH::SetOutputFont(const QFont &font)
{
    // Nine whole lines of whatever fixed font the system gives: the box
    // (and the window under it) grows when the font's lines are taller
    // than the box was drawn for, and never shrinks below its drawn size.
    QPlainTextEdit *box = ui->meOutput;
    box->setFont(font);
    box->document()->setDocumentMargin(2);
    box->resize(box->width(), OutputBoxHeight);
    ui->btStop->move(ui->btStop->x(), StopButtonTop);
    // The box lays out each line at its exact height rounded up (leading
    // included when positive); QFontMetrics::lineSpacing rounds to the
    // nearest pixel and can come short by one pixel a line.
    const QFontMetricsF metrics(box->font());
    const int lineHeight =
        int(std::ceil(metrics.ascent() + metrics.descent() + std::max<qreal>(0, metrics.leading())));
    const int lines = lineHeight * MaxOutputLines;
    const QMargins margins = box->contentsMargins();
    const int needed = lines + 2 * int(box->document()->documentMargin()) + margins.top() + margins.bottom()
                       + 2 * box->frameWidth() + 2;
    const int extra = std::max(0, needed - box->height());
    if (extra > 0) {
        box->resize(box->width(), box->height() + extra);
        ui->btStop->move(ui->btStop->x(), ui->btStop->y() + extra);
    }
    setFixedSize(666, FormHeight + extra);
}

void TFormOSH::Run(const TJobRequest &request) { Run(JobSwitches(request)); }

void TFormOSH::Run(const QString &jobSwitches)
{
    CommandLine = BuildCommandLine(ModelCodeOf(m_settings.Kasa), m_settings.baud, jobSwitches);
    // The bar of the last job does not show while this one starts.
    m_output.Progress().Reset();
    PaintProgress();
    if (exec() != QDialog::Accepted)
        throw EAbort();
}

void TFormOSH::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_tag == 0) {
        m_tag = 1;
        // The job starts once the window has appeared.
        QMetaObject::invokeMethod(this, &TFormOSH::StartJobs, Qt::QueuedConnection);
    }
}

void TFormOSH::hideEvent(QHideEvent *event)
{
    m_refresh.stop();
    QDialog::hideEvent(event);
}

void TFormOSH::closeEvent(QCloseEvent *event)
{
    if (m_running)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TFormOSH::reject()
{
    // Escape does not leave a running job; Stop does.
    if (!m_running)
        QDialog::reject();
}

QString RepeatQuestion(int code, const QString &text)
{
    // A register that never answered is most often on another port or set
    // to another speed.
    const bool silent = code == 0x1001 || code == 0x1002;
    return text + (silent ? QStringLiteral("\r\n") + FindRegisterHint : QString()) + RepeatQuestionSuffix;
}

void TFormOSH::StartJobs()
{
    m_running = true;
    m_refresh.start();
    QCoreApplication::processEvents();
    if (OnJobStarted)
        OnJobStarted();
    int result = QDialog::Rejected;
    for (;;) {
        RunJob();
        tmRefreshTimer();
        if (ErrorCode == 0) {
            result = QDialog::Accepted;
            break;
        }
        if (AppMessages().Ask(RepeatQuestion(ErrorCode, ErrorText), TAskKind::Error) != TPromptAnswer::Yes)
            break;
    }
    m_refresh.stop();
    m_tag = 0;
    m_running = false;
    done(result);
}

void TFormOSH::RunJob()
{
    auto thread = std::make_unique<TKOMThread>(true, CommandLine, m_display, m_runner);
    ErrorText = StartFailedText;
    ErrorCode = StartFailedCode;
    Done = false;
    thread->PortName = m_portName ? m_portName() : QString();
    thread->Folder = m_folder;

    // Window messages go on while the module runs; the end of the thread
    // arrives as a queued signal.
    QEventLoop loop;
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    thread->start();
    loop.exec();
    thread->wait();

    // ThreadDone.
    Done = true;
    ErrorCode = thread->ResultCode;
    ErrorText = thread->ResultText;
}

void TFormOSH::btStopClick()
{
    m_display.StopRequested = true;
    ui->btStop->setEnabled(false);
}

void TFormOSH::tmRefreshTimer()
{
    ui->btStop->setVisible(m_display.Running);
    ui->btStop->setEnabled(!m_display.StopRequested);
    const TOSHOutput::TChanges changes = m_output.TakeChanges();
    if (changes.StatusChanged)
        ui->lbTitle->setText(changes.Status);
    PaintHistory(changes);
    PaintProgress();
    if (changes.OutputChanged) {
        QString text = changes.Output;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (text.endsWith(u'\n'))
            text.chop(1);
        ui->meOutput->setPlainText(text);
    }
}

void TFormOSH::PaintHistory(const TOSHOutput::TChanges &changes)
{
    if (changes.Cursor < 0)
        return;
    const int margin = m_output.Margin();
    for (const auto &[cell, picture] : changes.Cells)
        ui->ImgHistory->PaintCell(cell * HistoryPictureSize + margin, picture);
    ui->ImgHistory->PaintCell(changes.Cursor * HistoryPictureSize + margin, 0);
    ui->ImgHistory->update();
}

void TFormOSH::PaintProgress()
{
    const TTransferProgress::TView view = m_output.Progress().View();
    if (view == m_progressShown)
        return;
    m_progressShown = view;
    QProgressBar *bar = ui->pbProgress;
    if (!view.Active) {
        bar->setRange(0, 1);
        bar->setValue(0);
    } else if (view.Busy) {
        bar->setRange(0, 0);
    } else {
        // An empty table is a finished one.
        const int total = int(std::min<long>(view.Total, INT_MAX));
        bar->setRange(0, std::max(total, 1));
        bar->setValue(total == 0 ? 1 : int(view.Done));
    }
    ui->lbProgress->setText(view.Text);
}
