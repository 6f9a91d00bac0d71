#include "app/UWhatSave.h"
#include "ui_UWhatSave.h"

TFormWhatSave::TFormWhatSave(QWidget *parent) : TSectionsDialog(parent), ui(new Ui::TFormWhatSave)
{
    ui->setupUi(this);
    Bind(ui->CLBSekcje, ui->BBOk, ui->BBCancel);
}

TFormWhatSave::~TFormWhatSave()
{
    delete ui;
}

void TFormWhatSave::Prepare(bool depositsTable)
{
    m_checks.PrepareSave(depositsTable);
    ShowChecks();
}

TSectionSet TFormWhatSave::Execute(bool depositsTable)
{
    Prepare(depositsTable);
    return RunModal().value_or(TSectionSet{});
}
