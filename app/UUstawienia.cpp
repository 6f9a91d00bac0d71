#include "UUstawienia.h"
#include "ui_UUstawienia.h"

#include "UErrors.h"
#include "UGlobals.h"
#include "UMessages.h"

#include <QApplication>
#include <QButtonGroup>

#include <utility>

namespace {
const int Speeds[] = {19200, 9600, 4800, 2400};
}

void PrepareUstawienia(TSettings &settings, TUstawieniaState &state)
{
    if (settings.portname.isEmpty())
        settings.portname = QStringLiteral("COM1");
    const QString upper = settings.portname.toUpper();
    if (upper == u"COM1") {
        state.PortButton = TUstawieniaState::P1;
    } else if (upper == u"COM2") {
        state.PortButton = TUstawieniaState::P2;
    } else {
        state.PortButton = TUstawieniaState::Other;
        state.PortName = settings.portname;
    }
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

TFormUstawienia::TFormUstawienia(TSettings &settings, QWidget *parent)
    : QDialog(parent), ui(new Ui::TFormUstawienia), m_settings(settings)
{
    ui->setupUi(this);
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

TFormUstawienia::~TFormUstawienia()
{
    delete ui;
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
