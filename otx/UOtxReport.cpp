// Not built yet: each command says so.
#include "UOtxCommands.h"
#include "UOtxCommon.h"

int OtxReport(const QStringList &)
{
    Print(stderr, QStringLiteral("To polecenie nie jest jeszcze dostępne."));
    return ExitRefused;
}

