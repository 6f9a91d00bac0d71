#include "exchange/UStatusTexts.h"

#include "data/ULocale.h"

QString CountText(qint64 n, const char *one, const char *few, const char *many)
{
    const char *words = PluralForm(n) == TPluralForm::One ? one : PluralForm(n) == TPluralForm::Few ? few : many;
    return FormatQuantityDisplay(double(n), 0, true) + u' ' + QString::fromUtf8(words);
}

QString RecordsText(int section, qint64 n)
{
    switch (section) {
    case 0: return CountText(n, "grupę", "grupy", "grup");
    case 1: return CountText(n, "kod", "kody", "kodów");
    default: return CountText(n, "kaucję", "kaucje", "kaucji");
    }
}

QString JoinCounts(const QStringList &counts)
{
    if (counts.size() < 2)
        return counts.value(0);
    return counts.mid(0, counts.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" i ") + counts.last();
}
