#include "app/UWhatLoad.h"
#include "ui_UWhatLoad.h"

#include "data/UErrors.h"

#include <QListWidget>
#include <QPushButton>

void ShowSectionChecks(QListWidget *list, const TSectionChecks &checks)
{
    const QSignalBlocker block(list);
    for (int i = 0; i < SectionCount && i < list->count(); ++i) {
        QListWidgetItem *item = list->item(i);
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable | Qt::ItemIsSelectable;
        if (checks.Enabled[i])
            flags |= Qt::ItemIsEnabled;
        item->setFlags(flags);
        item->setCheckState(checks.Ticked[i] ? Qt::Checked : Qt::Unchecked);
    }
}

void ReadSectionChecks(const QListWidget *list, TSectionChecks &checks)
{
    for (int i = 0; i < SectionCount && i < list->count(); ++i)
        checks.Ticked[i] = list->item(i)->checkState() == Qt::Checked;
}

TFormWhatLoad::TFormWhatLoad(QWidget *parent) : QDialog(parent), ui(new Ui::TFormWhatLoad)
{
    ui->setupUi(this);
    ShowSectionChecks(ui->CLBSekcje, m_checks);
    connect(ui->CLBSekcje, &QListWidget::itemChanged, this, &TFormWhatLoad::ListChanged);
    connect(ui->BBOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->BBCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFormWhatLoad::~TFormWhatLoad()
{
    delete ui;
}

void TFormWhatLoad::Prepare(const TSectionSet &present)
{
    m_checks.PrepareLoad(present);
    ShowSectionChecks(ui->CLBSekcje, m_checks);
    ui->BBOk->setEnabled(m_checks.CanConfirm());
}

void TFormWhatLoad::ListChanged()
{
    ReadSectionChecks(ui->CLBSekcje, m_checks);
    ui->BBOk->setEnabled(m_checks.CanConfirm());
}

TSectionSet TFormWhatLoad::Execute(const TSectionSet &present)
{
    Prepare(present);
    if (exec() != QDialog::Accepted)
        throw EAbort();
    ReadSectionChecks(ui->CLBSekcje, m_checks);
    return m_checks.TickedSet();
}

bool TFormWhatLoad::ClearBeforeLoad() const
{
    return ui->CBUsunDane->isChecked();
}

void TFormWhatLoad::SetClearBeforeLoad(bool clear)
{
    ui->CBUsunDane->setChecked(clear);
}
