// Not built yet: each command says so.
#include "UOtxCommands.h"
#include "UOtxCommon.h"

int OtxFiscalRead(const QStringList &)
{
    Print(stderr, QStringLiteral("To polecenie nie jest jeszcze dostępne."));
    return ExitRefused;
}

int OtxFiscalText(const QStringList &)
{
    Print(stderr, QStringLiteral("To polecenie nie jest jeszcze dostępne."));
    return ExitRefused;
}

int OtxFiscalPdf(const QStringList &)
{
    Print(stderr, QStringLiteral("To polecenie nie jest jeszcze dostępne."));
    return ExitRefused;
}

