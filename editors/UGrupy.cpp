#include "UGrupy.h"

TFormGrupy::TFormGrupy(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormGrupy"));
    setWindowTitle(QStringLiteral("Grupy"));
}
