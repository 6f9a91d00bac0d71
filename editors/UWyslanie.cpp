#include "editors/UWyslanie.h"
#include "ui_UWyslanie.h"

TFormWyslanie::TFormWyslanie(QWidget *parent) : TConfirmDialog(parent), ui(new Ui::TFormWyslanie)
{
    ui->setupUi(this);
    Bind(QStringLiteral("FormWyslanie"), ui->BBWyslij, ui->BBAnuluj, ui->BBUstawienia);
}

TFormWyslanie::~TFormWyslanie()
{
    delete ui;
}

bool TFormWyslanie::Execute()
{
    if (VerifySetting)
        ui->CBSprawdzPoWyslaniu->setChecked(*VerifySetting);
    const bool confirmed = RunModal();
    if (confirmed && VerifySetting)
        *VerifySetting = ui->CBSprawdzPoWyslaniu->isChecked();
    return confirmed;
}

bool TFormWyslanie::VerifyAfterSend() const
{
    return ui->CBSprawdzPoWyslaniu->isChecked();
}
