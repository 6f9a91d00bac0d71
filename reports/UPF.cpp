#include "UPF.h"

TFormPF::TFormPF(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FormPF"));
    setWindowTitle(QStringLiteral("Pamięć fiskalna"));
}
