#include "UGrupyWKasie.h"

TFormGrupyWKasie::TFormGrupyWKasie(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormGrupyWKasie"));
    setWindowTitle(QStringLiteral("Grupy w kasie"));
}
