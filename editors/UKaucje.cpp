#include "UKaucje.h"

TFormKaucje::TFormKaucje(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormKaucje"));
    setWindowTitle(QStringLiteral("Kaucje"));
}
