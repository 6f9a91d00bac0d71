#include "data/UEANUtils.h"

namespace {

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool AllDigits(const QString &s)
{
    for (QChar c : s)
        if (!IsDigit(c))
            return false;
    return true;
}

bool AllZeros(QStringView s)
{
    for (QChar c : s)
        if (c != u'0')
            return false;
    return true;
}

bool IsBlankOrControl(QChar c) { return c.unicode() <= 0x20; }

} // namespace

QChar EanCheckDigit(const QString &digits)
{
    int sum = 0;
    int weight = 1;
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        const QChar c = digits.at(i);
        const int d = IsDigit(c) ? c.unicode() - u'0' : 0;
        sum += d * weight;
        weight = (weight == 1) ? 3 : 1;
    }
    return QChar(u'0' + (10 - sum % 10) % 10);
}

CodeResult CodeToDisplay(const QString &s)
{
    CodeResult invalid{CodeStatus::Invalid, s};
    if (s.size() != 14 || !AllDigits(s))
        return invalid;
    const QStringView v(s);
    switch (s.at(0).unicode()) {
    case u'0': {
        if (!AllZeros(v.left(10)))
            return invalid;
        QStringView last = v.right(4);
        int skip = 0;
        while (skip < 3 && last.at(skip) == u'0')
            ++skip;
        const QString display = last.mid(skip).toString();
        return {display == QLatin1String("0") ? CodeStatus::Zero : CodeStatus::Valid, display};
    }
    case u'1':
        if (s.at(1) == u'0')
            return invalid;
        return {CodeStatus::Valid, s.right(13)};
    case u'2':
        if (!v.startsWith(u"200000"))
            return invalid;
        return {CodeStatus::Valid, s.right(8)};
    case u'5':
        if (!v.startsWith(u"50"))
            return invalid;
        return {CodeStatus::Valid, s.right(12)};
    case u'6':
        if (!v.startsWith(u"60000000"))
            return invalid;
        return {CodeStatus::Valid, s.right(6)};
    default:
        return invalid;
    }
}

CodeResult CodeFromInput(const QString &s)
{
    if (s.size() >= 15)
        return {CodeStatus::Invalid, s.left(14)};
    CodeResult invalid{CodeStatus::Invalid, s};

    qsizetype start = 0;
    while (start < s.size() && s.at(start) == u' ')
        ++start;
    for (qsizetype i = start; i < s.size(); ++i)
        if (!IsDigit(s.at(i)))
            return invalid;

    qsizetype end = s.size();
    while (start < end && IsBlankOrControl(s.at(start)))
        ++start;
    while (end > start && IsBlankOrControl(s.at(end - 1)))
        --end;
    const QString digits = s.mid(start, end - start);

    QString candidate;
    switch (digits.size()) {
    case 1:
    case 2:
    case 3:
    case 4:
        candidate = QString(14 - digits.size(), u'0') + digits;
        break;
    case 6:
        candidate = QLatin1String("60000000") + digits;
        break;
    case 8:
        candidate = QLatin1String("200000") + digits;
        break;
    case 11:
        candidate = QLatin1String("50") + digits + EanCheckDigit(digits + u'0');
        break;
    case 12:
        candidate = QLatin1String("50") + digits;
        break;
    case 13:
        candidate = QLatin1String("1") + digits;
        break;
    case 14:
        candidate = digits;
        break;
    default:
        return invalid;
    }
    const CodeResult shown = CodeToDisplay(candidate);
    if (shown.Status == CodeStatus::Invalid)
        return invalid;
    return {shown.Status, candidate};
}
