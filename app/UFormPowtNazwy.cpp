#include "UFormPowtNazwy.h"

TFormPowtNazwy::TFormPowtNazwy(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormPowtNazwy"));
    setWindowTitle(QStringLiteral("Powtarzające się nazwy"));
}
