#include "UKodyWKasie.h"

TFormKodyWKasie::TFormKodyWKasie(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormKodyWKasie"));
    setWindowTitle(QStringLiteral("Kody w kasie"));
}
