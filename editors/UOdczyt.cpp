#include "editors/UOdczyt.h"
#include "ui_UOdczyt.h"

#include "editors/UWyslanie.h"

#include <QApplication>
#include <QMessageBox>

TFormOdczyt::TFormOdczyt(QWidget *parent) : TConfirmDialog(parent), ui(new Ui::TFormOdczyt)
{
    ui->setupUi(this);
    Bind(QStringLiteral("FormOdczyt"), ui->BBOdczytaj, ui->BBAnuluj, ui->BBUstawienia);
}

TFormOdczyt::~TFormOdczyt()
{
    delete ui;
}

bool TFormOdczyt::Execute(bool forView, bool &clearFirst, bool &withCounters)
{
    const bool clearState = ui->CBUsunPrzedTransmisja->isChecked();
    if (forView) {
        ui->CBUsunPrzedTransmisja->setChecked(false);
        ui->CBUsunPrzedTransmisja->setEnabled(false);
    }
    const bool confirmed = RunModal();
    clearFirst = !forView && ui->CBUsunPrzedTransmisja->isChecked();
    withCounters = ui->CBZLicznikami->isChecked();
    if (forView) {
        ui->CBUsunPrzedTransmisja->setEnabled(true);
        ui->CBUsunPrzedTransmisja->setChecked(clearState);
    }
    return confirmed;
}

bool TExchangeDialogs::ConfirmRead(bool forView, bool &clearFirst, bool &withCounters)
{
    return m_odczyt && m_odczyt->Execute(forView, clearFirst, withCounters);
}

bool TExchangeDialogs::ConfirmDeleteMissing(const QString &question)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), QString(question).replace(
                        QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool TExchangeDialogs::ConfirmSend()
{
    return m_wyslanie && m_wyslanie->Execute();
}

bool TExchangeDialogs::VerifySend()
{
    return m_wyslanie && m_wyslanie->VerifyAfterSend();
}
