#include "UOdczyt.h"

TFormOdczyt::TFormOdczyt(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormOdczyt"));
    setWindowTitle(QStringLiteral("Odczyt danych z kasy"));
}
