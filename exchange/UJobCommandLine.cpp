#include "exchange/UJobCommandLine.h"

QString BuildCommandLine(const QString &modelCode, int baud, const QString &jobSwitches)
{
    return QStringLiteral("/LW /V") + modelCode + QStringLiteral(" /P1") + QStringLiteral(" /B")
           + QString::number(baud) + u' ' + jobSwitches;
}
