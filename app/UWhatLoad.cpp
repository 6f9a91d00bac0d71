#include "app/UWhatLoad.h"
#include "ui_UWhatLoad.h"

#include "data/UErrors.h"

TFormWhatLoad::TFormWhatLoad(QWidget *parent) : TSectionsDialog(parent), ui(new Ui::TFormWhatLoad)
{
    ui->setupUi(this);
    Bind(ui->CLBSekcje, ui->BBOk, ui->BBCancel);
}

TFormWhatLoad::~TFormWhatLoad()
{
    delete ui;
}

void TFormWhatLoad::Prepare(const TSectionSet &present)
{
    m_checks.PrepareLoad(present);
    ShowChecks();
}

TSectionSet TFormWhatLoad::Execute(const TSectionSet &present)
{
    Prepare(present);
    const std::optional<TSectionSet> ticked = RunModal();
    if (!ticked)
        throw EAbort();
    return *ticked;
}

bool TFormWhatLoad::ClearBeforeLoad() const
{
    return ui->CBUsunDane->isChecked();
}

void TFormWhatLoad::SetClearBeforeLoad(bool clear)
{
    ui->CBUsunDane->setChecked(clear);
}
