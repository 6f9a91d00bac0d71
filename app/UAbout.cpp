#include "app/UAbout.h"
#include "ui_UAbout.h"

#include "app/UIcons.h"

TFormAbout::TFormAbout(QWidget *parent) : QDialog(parent), ui(new Ui::TFormAbout)
{
    ui->setupUi(this);
    ui->LbProductName->setText(ProductName);
    ui->ImgDystrybucja->setPixmap(ToolIcon(QStringLiteral("pf")).pixmap(QSize(32, 32), devicePixelRatioF()));
    ui->MeOpis->setPlainText(QStringLiteral(
        "Program umożliwia:\n"
        "- edycję, zapis na dysk, odczyt z dysku, wysyłanie do kasy i odczyt z kasy "
        "grup towarowych, kodów PLU oraz opakowań zwrotnych (kaucji),\n"
        "- drukowanie i zapisywanie raportów sprzedaży,\n"
        "- odczyt pamięci fiskalnej,\n"
        "- drukowanie i zapisywanie raportów z pamięci fiskalnej."));
}

TFormAbout::~TFormAbout()
{
    delete ui;
}
