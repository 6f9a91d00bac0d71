#include "data/ULocale.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <string>

TFormatSettings TFormatSettings::Polish()
{
    TFormatSettings fs;
    fs.DecimalSeparator = u',';
    fs.ThousandSeparator = QChar(0x00A0);
    fs.CurrencySymbol = QStringLiteral("zł");
    fs.CurrencyPos = CurrencyPosition::AfterWithSpace;
    fs.CurrencyDecimals = 2;
    return fs;
}

TFormatSettings TFormatSettings::PointDecimal()
{
    return TFormatSettings();
}

TFormatSettings TFormatSettings::FromLocale(const QLocale &locale)
{
    TFormatSettings fs;
    const QString dec = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    fs.DecimalSeparator = dec.size() == 1 ? dec.at(0) : QChar(u'.');
    fs.ThousandSeparator = group.size() == 1 ? group.at(0) : QChar(u' ');
    fs.CurrencySymbol = locale.currencySymbol(QLocale::CurrencySymbol);
    // Find where the locale puts the symbol by formatting a sample amount.
    const QString sample = locale.toCurrencyString(1.0, QStringLiteral("\x01"));
    const qsizetype at = sample.indexOf(u'\x01');
    if (at <= 0) {
        const bool space = sample.size() > 1 && sample.at(1).isSpace();
        fs.CurrencyPos = space ? CurrencyPosition::BeforeWithSpace : CurrencyPosition::Before;
    } else {
        const bool space = sample.at(at - 1).isSpace();
        fs.CurrencyPos = space ? CurrencyPosition::AfterWithSpace : CurrencyPosition::After;
    }
    return fs;
}

TFormatSettings &FormatSettings()
{
    static TFormatSettings settings;
    return settings;
}

void InitFormatSettingsFromSystem()
{
    FormatSettings() = TFormatSettings::FromLocale(QLocale::system());
}

namespace {

QString PadLeft(const QString &s, int width)
{
    return width > 0 ? s.rightJustified(width, u' ') : s;
}

// Inserts the thousands separator into the integer part of a plain number.
QString Group(const QString &plain, const TFormatSettings &fs)
{
    qsizetype intStart = plain.startsWith(u'-') ? 1 : 0;
    qsizetype intEnd = plain.indexOf(fs.DecimalSeparator);
    if (intEnd < 0)
        intEnd = plain.size();
    QString out = plain;
    for (qsizetype pos = intEnd - 3; pos > intStart; pos -= 3)
        out.insert(pos, fs.ThousandSeparator);
    return out;
}

QString FixedDouble(double value, int decimals, QChar sep)
{
    if (!std::isfinite(value))
        return QString::number(value);
    QString s = QString::number(value, 'f', decimals);
    // "-0.000" reads as a negative zero; show it without the sign.
    if (s.startsWith(u'-')) {
        bool allZero = true;
        for (qsizetype i = 1; i < s.size(); ++i)
            if (s.at(i) != u'0' && s.at(i) != u'.')
                allZero = false;
        if (allZero)
            s.remove(0, 1);
    }
    s.replace(u'.', sep);
    return s;
}

} // namespace

QString FormatCurrency2(Currency value, int width, const TFormatSettings &fs)
{
    return PadLeft(value.ToFixed(2, fs.DecimalSeparator), width);
}

QString FormatQuantity3(double value, int width, const TFormatSettings &fs)
{
    return PadLeft(FixedDouble(value, 3, fs.DecimalSeparator), width);
}

QString FormatCurrencyDisplay(Currency value, const TFormatSettings &fs)
{
    QString number = Group(value.ToFixed(fs.CurrencyDecimals, fs.DecimalSeparator), fs);
    QString sign;
    if (number.startsWith(u'-')) {
        sign = QStringLiteral("-");
        number.remove(0, 1);
    }
    switch (fs.CurrencyPos) {
    case TFormatSettings::CurrencyPosition::Before:
        return sign + fs.CurrencySymbol + number;
    case TFormatSettings::CurrencyPosition::BeforeWithSpace:
        return sign + fs.CurrencySymbol + u' ' + number;
    case TFormatSettings::CurrencyPosition::After:
        return sign + number + fs.CurrencySymbol;
    case TFormatSettings::CurrencyPosition::AfterWithSpace:
        break;
    }
    return sign + number + u' ' + fs.CurrencySymbol;
}

QString FormatQuantityDisplay(double value, int decimals, bool grouped, const TFormatSettings &fs)
{
    const QString s = FixedDouble(value, decimals, fs.DecimalSeparator);
    return grouped ? Group(s, fs) : s;
}

QString FormatGeneral(double value, const TFormatSettings &fs)
{
    QString s = QString::number(value, 'g', 15);
    s.replace(u'.', fs.DecimalSeparator);
    return s;
}

std::optional<Currency> ParseCurrency(const QString &text, const TFormatSettings &fs)
{
    return Currency::Parse(text, fs.DecimalSeparator);
}

std::optional<double> ParseFloat(const QString &text, const TFormatSettings &fs)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    // Only digits, signs, exponent and one separator get through, so the
    // C-locale parse below sees plain ASCII. from_chars: every amount of a
    // 9999-code file goes through here.
    std::string plain;
    plain.reserve(size_t(t.size()));
    bool seenSeparator = false;
    for (QChar c : t) {
        if (c == fs.DecimalSeparator) {
            if (seenSeparator)
                return std::nullopt;
            seenSeparator = true;
            plain += '.';
        } else if ((c >= u'0' && c <= u'9') || c == u'-' || c == u'+' || c == u'e' || c == u'E') {
            plain += char(c.unicode());
        } else {
            return std::nullopt;
        }
    }
    const char *first = plain.data();
    const char *last = first + plain.size();
    if (*first == '+' && plain.size() > 1 && plain[1] != '-' && plain[1] != '+')
        ++first; // from_chars takes no plus sign
    double v = 0;
    const auto [end, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || end != last || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<qint64> ParseInteger(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        const bool sign = i == 0 && (c == u'-' || c == u'+');
        if (!sign && (c < u'0' || c > u'9'))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 v = t.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

TPluralForm PluralForm(qint64 n)
{
    if (n == 1)
        return TPluralForm::One;
    const qint64 units = n % 10, tens = n % 100;
    if (units >= 2 && units <= 4 && (tens < 12 || tens > 14))
        return TPluralForm::Few;
    return TPluralForm::Many;
}
