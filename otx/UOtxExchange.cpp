// Not built yet: each command says so.
#include "UOtxCommands.h"
#include "UOtxCommon.h"

int OtxSend(const QStringList &)
{
    Print(stderr, QStringLiteral("To polecenie nie jest jeszcze dostępne."));
    return ExitRefused;
}

int OtxRead(const QStringList &)
{
    Print(stderr, QStringLiteral("To polecenie nie jest jeszcze dostępne."));
    return ExitRefused;
}

