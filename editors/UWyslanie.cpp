#include "editors/UWyslanie.h"
#include "ui_UWyslanie.h"

TFormWyslanie::TFormWyslanie(QWidget *parent) : QDialog(parent), ui(new Ui::TFormWyslanie)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("FormWyslanie"));
    setFixedSize(sizeHint());
    connect(ui->BBWyslij, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->BBAnuluj, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->BBUstawienia, &QPushButton::clicked, this, [this] {
        if (OnUstawienia)
            OnUstawienia();
    });
}

TFormWyslanie::~TFormWyslanie()
{
    delete ui;
}

bool TFormWyslanie::Execute()
{
    if (VerifySetting)
        ui->CBSprawdzPoWyslaniu->setChecked(*VerifySetting);
    const bool confirmed = OnExec ? OnExec(*this) : exec() == QDialog::Accepted;
    if (confirmed && VerifySetting)
        *VerifySetting = ui->CBSprawdzPoWyslaniu->isChecked();
    return confirmed;
}

bool TFormWyslanie::VerifyAfterSend() const
{
    return ui->CBSprawdzPoWyslaniu->isChecked();
}
