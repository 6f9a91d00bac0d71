#include "app/UKonfig.h"
#include "ui_UKonfig.h"

#include "data/UDM.h"
#include "data/UGlobals.h"
#include "app/UMessages.h"

#include <QCloseEvent>
#include <QLayout>

namespace {
const TKasaItem KasaItems[] = {{0, 0}, {0, 1}, {2, 0}, {1, 0}, {3, 0}, {4, 0}, {5, 0}};
constexpr int KasaItemCount = int(sizeof KasaItems / sizeof KasaItems[0]);
} // namespace

TKasaItem KasaOfItem(int item)
{
    if (item < 0 || item >= KasaItemCount)
        return KasaItems[KasaItemCount - 1];
    return KasaItems[item];
}

int ItemOfKasa(int kasa, int eprom235)
{
    if (kasa == 0)
        return eprom235 == 1 ? 1 : 0;
    for (int i = 2; i < KasaItemCount; ++i)
        if (KasaItems[i].Kasa == kasa)
            return i;
    return -1;
}

TKonfigLogic::TKonfigLogic(TSettings &settings, TDM &dm, IKonfigTarget *target)
    : m_settings(settings), m_dm(dm), m_target(target)
{
}

void TKonfigLogic::Prepare(State &state)
{
    m_settings.Kasa = KasaER_A277PSPlus;
    m_dm.Kasa = KasaER_A277PSPlus;
    state.KasaItem = ItemOfKasa(m_settings.Kasa, m_settings.Eprom235);
    if (m_settings.FirstRun) {
        state.OkEnabled = false;
        state.CancelEnabled = false;
        state.KaucjeItem = -1;
    } else {
        state.KaucjeItem = m_settings.Kaucje ? 1 : 0;
    }
    Change(state);
}

void TKonfigLogic::Change(State &state) const
{
    if (state.KasaItem < 0 || state.KaucjeItem < 0)
        return;
    state.OkEnabled = true;
    if (!m_settings.FirstRun)
        state.CancelEnabled = true;
}

bool TKonfigLogic::CanClose() const
{
    return !m_settings.FirstRun;
}

bool TKonfigLogic::Confirm(const State &state)
{
    if (state.KasaItem < 0 || state.KaucjeItem < 0)
        return false;
    m_settings.FirstRun = false;
    const TKasaItem item = KasaOfItem(state.KasaItem);
    m_dm.ApplyProfile(item.Kasa, state.KaucjeItem == 1, item.Eprom235);
    // The settings written at exit are the corrected ones.
    m_settings.Kasa = m_dm.Kasa;
    m_settings.Kaucje = m_dm.Kaucje;
    m_settings.Eprom235 = m_dm.Eprom235;
    ApplyKonfigToWindows();
    // Stored now, not at exit: a run that ends otherwise must not leave the
    // next start with a configuration nobody chose.
    RunCommand([this] { SettingsStoreNow(m_settings); });
    return true;
}

void TKonfigLogic::ApplyKonfigToWindows()
{
    const bool depositsTable = m_dm.RegisterProfile.DepositsTable;
    if (m_target) {
        m_target->SetDepositsButtonEnabled(depositsTable);
        m_target->SetReportsDepositsItem(m_dm.Kaucje);
        if (!depositsTable)
            m_target->HideDepositsWindows();
    }
    m_dm.MDKody.EmptyTable();
    m_dm.MDGrupy.EmptyTable();
    m_dm.MDKaucje.EmptyTable();
    m_dm.Modified = true;
}

TFormKonfig::TFormKonfig(TKonfigLogic &logic, QWidget *parent)
    : QDialog(parent), ui(new Ui::TFormKonfig), m_logic(logic)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    // A fixed dialog border: the layout's own size, not resizable.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(ui->CBKasa, &QComboBox::currentIndexChanged, this, &TFormKonfig::ListChanged);
    connect(ui->CBKaucje, &QComboBox::currentIndexChanged, this, &TFormKonfig::ListChanged);
    connect(ui->BBOk, &QPushButton::clicked, this, &TFormKonfig::BBOkClick);
    connect(ui->BBCancel, &QPushButton::clicked, this, &TFormKonfig::reject);
}

TFormKonfig::~TFormKonfig()
{
    delete ui;
}

void TFormKonfig::PrepareControls()
{
    m_state = TKonfigLogic::State();
    m_state.OkEnabled = ui->BBOk->isEnabled();
    m_state.CancelEnabled = ui->BBCancel->isEnabled();
    m_logic.Prepare(m_state);
    {
        const QSignalBlocker b1(ui->CBKasa), b2(ui->CBKaucje);
        ui->CBKasa->setCurrentIndex(m_state.KasaItem);
        ui->CBKaucje->setCurrentIndex(m_state.KaucjeItem);
    }
    ui->BBOk->setEnabled(m_state.OkEnabled);
    ui->BBCancel->setEnabled(m_state.CancelEnabled);
}

void TFormKonfig::showEvent(QShowEvent *event)
{
    PrepareControls();
    QDialog::showEvent(event);
}

void TFormKonfig::ListChanged()
{
    m_state.KasaItem = ui->CBKasa->currentIndex();
    m_state.KaucjeItem = ui->CBKaucje->currentIndex();
    m_logic.Change(m_state);
    ui->BBOk->setEnabled(m_state.OkEnabled);
    ui->BBCancel->setEnabled(m_state.CancelEnabled);
}

void TFormKonfig::BBOkClick()
{
    m_state.KasaItem = ui->CBKasa->currentIndex();
    m_state.KaucjeItem = ui->CBKaucje->currentIndex();
    if (m_logic.Confirm(m_state))
        done(QDialog::Accepted);
}

void TFormKonfig::closeEvent(QCloseEvent *event)
{
    if (m_logic.CanClose())
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void TFormKonfig::reject()
{
    if (m_logic.CanClose())
        QDialog::reject();
}
