#pragma once
// Counts in the status bars' Polish: the noun takes the form its number
// asks for ("1 kod", "2 kody", "5 kodów", "22 kody", "12 kodów").
#include "data/ULocale.h"
#include "exchange/UUiHooks.h"

#include <QString>
#include <QStringList>

// The number (thousands grouped as the locale groups them) and the words
// of its form.
QString CountText(qint64 n, const char *one, const char *few, const char *many);

// Records of an editor table (0 groups, 1 codes, 2 deposits) as the object
// of a verb: "1 grupę", "3 kody", "5 kaucji".
QString RecordsText(int section, qint64 n);

// "8 grup, 120 kodów i 2 kaucje".
QString JoinCounts(const QStringList &counts);

// Tells the status bar, when there is one.
inline void ReportStatus(IStatusReport *status, const QString &text)
{
    if (status)
        status->ShowStatus(text);
}
