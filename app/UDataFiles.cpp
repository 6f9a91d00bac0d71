#include "UDataFiles.h"

#include "UErrors.h"

// Placeholder until the data-file reader and writer are in the program.
TSectionSet TOrvanDataFiles::Scan(const QString &)
{
    throw Exception(QStringLiteral("Obsługa plików danych nie jest jeszcze dostępna."));
}

void TOrvanDataFiles::Load(const QString &, const TSectionSet &, bool)
{
    throw Exception(QStringLiteral("Obsługa plików danych nie jest jeszcze dostępna."));
}

void TOrvanDataFiles::Save(const QString &, const TSectionSet &)
{
    throw Exception(QStringLiteral("Obsługa plików danych nie jest jeszcze dostępna."));
}
