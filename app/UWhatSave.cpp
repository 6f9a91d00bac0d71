#include "app/UWhatSave.h"
#include "ui_UWhatSave.h"

#include "app/UWhatLoad.h"

#include <QListWidget>
#include <QPushButton>

TFormWhatSave::TFormWhatSave(QWidget *parent) : QDialog(parent), ui(new Ui::TFormWhatSave)
{
    ui->setupUi(this);
    ShowSectionChecks(ui->CLBSekcje, m_checks);
    connect(ui->CLBSekcje, &QListWidget::itemChanged, this, &TFormWhatSave::ListChanged);
    connect(ui->BBOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->BBCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFormWhatSave::~TFormWhatSave()
{
    delete ui;
}

void TFormWhatSave::Prepare(bool depositsTable)
{
    m_checks.PrepareSave(depositsTable);
    ShowSectionChecks(ui->CLBSekcje, m_checks);
    ui->BBOk->setEnabled(m_checks.CanConfirm());
}

void TFormWhatSave::ListChanged()
{
    ReadSectionChecks(ui->CLBSekcje, m_checks);
    ui->BBOk->setEnabled(m_checks.CanConfirm());
}

TSectionSet TFormWhatSave::Execute(bool depositsTable)
{
    Prepare(depositsTable);
    if (exec() != QDialog::Accepted)
        return {};
    ReadSectionChecks(ui->CLBSekcje, m_checks);
    return m_checks.TickedSet();
}
