#include "exchange/UStatusTexts.h"

#include "data/ULocale.h"

TPluralForm PluralForm(qint64 n)
{
    if (n == 1)
        return TPluralForm::One;
    const qint64 units = n % 10, tens = n % 100;
    if (units >= 2 && units <= 4 && (tens < 12 || tens > 14))
        return TPluralForm::Few;
    return TPluralForm::Many;
}

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
