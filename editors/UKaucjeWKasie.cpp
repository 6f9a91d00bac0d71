#include "UKaucjeWKasie.h"

TFormKaucjeWKasie::TFormKaucjeWKasie(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormKaucjeWKasie"));
    setWindowTitle(QStringLiteral("Kaucje w kasie"));
}
