#include "app/UUstawienia.h"
#include "ui_UUstawienia.h"

#include "data/UErrors.h"
#include "data/UGlobals.h"
#include "app/UMessages.h"

#include "link/UClock.h"

#include <QApplication>
#include <QButtonGroup>
#include <QProgressBar>
#include <QTimer>

#include <utility>

namespace {
const int Speeds[] = {19200, 9600, 4800, 2400};

// COM1 and COM2 have buttons of their own; any other name goes in the field.
void SelectPort(TUstawieniaState &state, const QString &port)
{
    const QString upper = port.toUpper();
    if (upper == u"COM1") {
        state.PortButton = TUstawieniaState::P1;
    } else if (upper == u"COM2") {
        state.PortButton = TUstawieniaState::P2;
    } else {
        state.PortButton = TUstawieniaState::Other;
        state.PortName = port;
    }
}
}

void PrepareUstawienia(TSettings &settings, TUstawieniaState &state)
{
    if (settings.portname.isEmpty())
        settings.portname = QStringLiteral("COM1");
    SelectPort(state, settings.portname);
    state.SpeedItem = -1;
    for (int i = 0; i < 4; ++i)
        if (settings.baud == Speeds[i])
            state.SpeedItem = i;
    if (state.SpeedItem < 0) {
        state.SpeedItem = 1;
        settings.baud = 9600;
    }
}

void ConfirmUstawienia(const TUstawieniaState &state, TSettings &settings)
{
    QString port;
    switch (state.PortButton) {
    case TUstawieniaState::P1:
        port = QStringLiteral("COM1");
        break;
    case TUstawieniaState::P2:
        port = QStringLiteral("COM2");
        break;
    default:
        port = state.PortName;
        break;
    }
    if (port.isEmpty())
        throw Exception(EmptyPortNameMessage);
    settings.portname = port;
    settings.baud = state.SpeedItem >= 0 && state.SpeedItem < 4 ? Speeds[state.SpeedItem] : 9600;
    RunCommand([&settings] { SettingsStoreNow(settings); });
}

bool PortNameExitNeedsMessage(const QString &text, bool byReturn, bool towardsButton)
{
    return text.isEmpty() && !byReturn && !towardsButton;
}

TUstawieniaState StateOfFound(const TProbeResult &found, TUstawieniaState state)
{
    SelectPort(state, QString::fromStdString(found.Port));
    for (int i = 0; i < 4; ++i)
        if (Speeds[i] == found.Baud)
            state.SpeedItem = i;
    return state;
}

QString CheckAnswer(const TProbeResult &r)
{
    const QString port = QString::fromStdString(r.Port);
    const QString message = QString::fromStdString(r.Message);
    switch (r.Outcome) {
    case TProbeOutcome::Answered:
        return QStringLiteral("Kasa nr %1 odpowiada na porcie %2 (%3 b/s)").arg(r.RegisterNumber).arg(port).arg(r.Baud);
    case TProbeOutcome::NoAnswer:
        return message + QStringLiteral("\nSprawdź, czy kasa jest włączona i podłączona do portu %1 i czy ma "
                                        "ustawioną prędkość %2 b/s, albo użyj przycisku „Szukaj kasy”.")
                             .arg(port)
                             .arg(r.Baud);
    case TProbeOutcome::Busy:
        return QStringLiteral("Port %1 jest zajęty przez inny program.\nZamknij ten program i sprawdź ponownie.")
            .arg(port);
    case TProbeOutcome::NoPermission:
        return QStringLiteral("Brak uprawnień do portu %1.\nDodaj użytkownika do grupy dialout i zaloguj się "
                              "ponownie.")
            .arg(port);
    case TProbeOutcome::Stopped: return QStringLiteral("Przerwano.");
    case TProbeOutcome::Failed: break;
    }
    return message + QStringLiteral("\nSprawdź nazwę portu albo użyj przycisku „Szukaj kasy”.");
}

TPortFinder::TPortFinder(TQueryRunner run) : m_run(std::move(run)) {}

TPortFinder::~TPortFinder()
{
    Stop();
    Wait();
}

void TPortFinder::Post(const QString &line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending << line;
}

void TPortFinder::StartCheck(const QString &port, int baud, uint32_t registerNumber)
{
    Wait();
    m_search.reset();
    m_checked.reset();
    m_checkRunning = true;
    m_check = std::thread([this, probe = TProbe{port.toStdString(), baud, registerNumber}] {
        const TProbeResult r = QueryRegister(probe, m_checkDisplay, m_run);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_checked = r;
        }
        Post(CheckAnswer(r));
        m_checkRunning = false;
    });
}

void TPortFinder::StartSearch(const std::vector<std::string> &ports, uint32_t registerNumber)
{
    Wait();
    m_checked.reset();
    m_search = std::make_unique<TRegisterSearch>(ports, DialogSpeeds(), registerNumber, m_run);
    m_search->Start([this](const TProbeResult &r) { Post(QString::fromStdString(r.Port + ": " + r.Text())); });
}

void TPortFinder::Stop()
{
    m_checkDisplay.StopRequested = true;
    if (m_search)
        m_search->Stop();
}

bool TPortFinder::Running() const
{
    return m_checkRunning || (m_search && !m_search->Finished());
}

bool TPortFinder::Poll(QStringList &lines)
{
    // Running first: what a job posts before it ends is then taken now.
    const bool running = Running();
    std::lock_guard<std::mutex> lock(m_mutex);
    lines << m_pending;
    m_pending.clear();
    return running;
}

int TPortFinder::Done() const
{
    return m_search ? m_search->Done() : 0;
}

int TPortFinder::Total() const
{
    return m_search ? m_search->Total() : 0;
}

std::optional<TProbeResult> TPortFinder::Found() const
{
    if (m_search)
        return m_search->Found();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_checked && m_checked->Outcome == TProbeOutcome::Answered)
        return m_checked;
    return std::nullopt;
}

void TPortFinder::Wait()
{
    if (m_check.joinable())
        m_check.join();
    if (m_search)
        m_search->Wait();
}

TFormUstawienia::TFormUstawienia(TSettings &settings, QWidget *parent)
    : QDialog(parent), ui(new Ui::TFormUstawienia), m_settings(settings),
      m_finder(std::make_unique<TPortFinder>(PortQueryRunner(SteadyClock()))), m_timer(new QTimer(this))
{
    ui->setupUi(this);
    ui->PBSzukaj->hide();
    ui->BPrzerwij->setEnabled(false);
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &TFormUstawienia::Collect);
    connect(ui->BSprawdz, &QPushButton::clicked, this, &TFormUstawienia::BSprawdzClick);
    connect(ui->BSzukaj, &QPushButton::clicked, this, &TFormUstawienia::BSzukajClick);
    connect(ui->BPrzerwij, &QPushButton::clicked, this, [this] { m_finder->Stop(); });
    m_speed = new QButtonGroup(this);
    m_speed->addButton(ui->RGPredkosc0, 0);
    m_speed->addButton(ui->RGPredkosc1, 1);
    m_speed->addButton(ui->RGPredkosc2, 2);
    m_speed->addButton(ui->RGPredkosc3, 3);
    connect(ui->BBOK, &QPushButton::clicked, this, &TFormUstawienia::BBOKClick);
    connect(ui->BBCancel, &QPushButton::clicked, this, &QDialog::reject);
    // A name typed or pasted is meant to be used: it selects its button.
    connect(ui->EdPortName, &QLineEdit::textEdited, this, [this] { ui->RBPother->setChecked(true); });
    connect(ui->EdPortName, &QLineEdit::returnPressed, this, [this] { m_returnPressed = true; });
    connect(ui->EdPortName, &QLineEdit::editingFinished, this, &TFormUstawienia::EdPortNameExit);
}

void TFormUstawienia::SetQueryRunner(TQueryRunner run)
{
    m_finder = std::make_unique<TPortFinder>(std::move(run));
}

TFormUstawienia::~TFormUstawienia()
{
    m_finder.reset();
    delete ui;
}

QString TFormUstawienia::ChosenPort() const
{
    return ui->RBP1->isChecked()   ? QStringLiteral("COM1")
           : ui->RBP2->isChecked() ? QStringLiteral("COM2")
                                   : ui->EdPortName->text();
}

void TFormUstawienia::SetBusy(bool busy)
{
    ui->BSprawdz->setEnabled(!busy);
    ui->BSzukaj->setEnabled(!busy);
    ui->BPrzerwij->setEnabled(busy);
    if (busy)
        m_timer->start();
    else
        m_timer->stop();
}

void TFormUstawienia::BSprawdzClick()
{
    const QString port = ChosenPort();
    if (port.isEmpty()) {
        AppMessages().Error(EmptyPortNameMessage);
        return;
    }
    const int item = m_speed->checkedId();
    ui->LWynik->setText(QStringLiteral("Sprawdzam port %1...").arg(port));
    m_finder->StartCheck(port, item >= 0 && item < 4 ? Speeds[item] : 9600, 1);
    SetBusy(true);
}

void TFormUstawienia::BSzukajClick()
{
    const QString typed = ui->RBPother->isChecked() ? ui->EdPortName->text() : QString();
    Search(CandidatePorts(typed.toStdString()));
}

void TFormUstawienia::Search(const std::vector<std::string> &ports)
{
    ui->LBWyniki->clear();
    if (ports.empty()) {
        ui->LWynik->setText(QStringLiteral("System nie zgłasza żadnego portu szeregowego."));
        return;
    }
    ui->LWynik->setText(QStringLiteral("Szukam kasy nr 1..."));
    ui->PBSzukaj->setRange(0, int(ports.size()));
    ui->PBSzukaj->setValue(0);
    ui->PBSzukaj->show();
    m_finder->StartSearch(ports, 1);
    SetBusy(true);
}

void TFormUstawienia::Collect()
{
    QStringList lines;
    const bool running = m_finder->Poll(lines);
    const bool searching = m_finder->Total() > 0;
    if (searching) {
        ui->LBWyniki->addItems(lines);
        ui->PBSzukaj->setValue(m_finder->Done());
    } else if (!lines.isEmpty()) {
        ui->LWynik->setText(lines.join(u'\n'));
    }
    if (running)
        return;
    SetBusy(false);
    if (!searching)
        return;
    if (const auto found = m_finder->Found()) {
        const TUstawieniaState state = StateOfFound(*found, State());
        ui->RBP1->setChecked(state.PortButton == TUstawieniaState::P1);
        ui->RBP2->setChecked(state.PortButton == TUstawieniaState::P2);
        if (state.PortButton == TUstawieniaState::Other) {
            ui->RBPother->setChecked(true);
            ui->EdPortName->setText(state.PortName);
        }
        if (QAbstractButton *b = m_speed->button(state.SpeedItem))
            b->setChecked(true);
        ui->LWynik->setText(QStringLiteral("Znaleziono kasę: port %1, %2 b/s. Zatwierdź przyciskiem OK.")
                                .arg(QString::fromStdString(found->Port))
                                .arg(found->Baud));
    } else {
        ui->LWynik->setText(QStringLiteral("Nie znaleziono kasy."));
    }
}

void TFormUstawienia::PrepareUstawienia()
{
    TUstawieniaState state;
    state.PortName = ui->EdPortName->text();
    ::PrepareUstawienia(m_settings, state);
    ui->RBP1->setEnabled(true);
    ui->RBP2->setEnabled(true);
    ui->RBPother->setEnabled(true);
    switch (state.PortButton) {
    case TUstawieniaState::P1:
        ui->RBP1->setChecked(true);
        break;
    case TUstawieniaState::P2:
        ui->RBP2->setChecked(true);
        break;
    default:
        ui->RBPother->setChecked(true);
        ui->EdPortName->setText(state.PortName);
        break;
    }
    if (QAbstractButton *b = m_speed->button(state.SpeedItem))
        b->setChecked(true);
}

TUstawieniaState TFormUstawienia::State() const
{
    TUstawieniaState state;
    state.PortButton = ui->RBP1->isChecked()   ? TUstawieniaState::P1
                       : ui->RBP2->isChecked() ? TUstawieniaState::P2
                                               : TUstawieniaState::Other;
    state.PortName = ui->EdPortName->text();
    state.SpeedItem = m_speed->checkedId();
    return state;
}

void TFormUstawienia::showEvent(QShowEvent *event)
{
    PrepareUstawienia();
    QDialog::showEvent(event);
}

void TFormUstawienia::BBOKClick()
{
    try {
        ConfirmUstawienia(State(), m_settings);
    } catch (...) {
        HandleException(std::current_exception());
        return;
    }
    accept();
}

void TFormUstawienia::EdPortNameExit()
{
    const bool byReturn = std::exchange(m_returnPressed, false);
    const QWidget *next = QApplication::focusWidget();
    const bool towardsButton = next == ui->BBOK || next == ui->BBCancel;
    if (PortNameExitNeedsMessage(ui->EdPortName->text(), byReturn, towardsButton))
        AppMessages().Error(EmptyPortNameMessage);
}
