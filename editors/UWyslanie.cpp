#include "UWyslanie.h"

TFormWyslanie::TFormWyslanie(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormWyslanie"));
    setWindowTitle(QStringLiteral("Wysłanie danych do kasy"));
}
