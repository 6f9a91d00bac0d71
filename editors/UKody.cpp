#include "UKody.h"

TFormKody::TFormKody(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormKody"));
    setWindowTitle(QStringLiteral("Kody"));
}
