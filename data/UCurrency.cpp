#include "data/UCurrency.h"
#include "data/UErrors.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

const QString kOverflow = QStringLiteral("Przekroczony zakres kwoty.");

std::uint64_t Magnitude(std::int64_t v)
{
    return v < 0 ? std::uint64_t(0) - std::uint64_t(v) : std::uint64_t(v);
}

} // namespace

std::optional<Currency> Currency::FromInteger(std::int64_t value)
{
    std::int64_t units = 0;
    if (__builtin_mul_overflow(value, Scale, &units))
        return std::nullopt;
    return Currency(units);
}

std::optional<Currency> Currency::FromDouble(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double scaled = std::round(value * double(Scale));
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0)
        return std::nullopt;
    return Currency(std::int64_t(scaled));
}

std::optional<Currency> Currency::Parse(const QString &text, QChar decimalSeparator)
{
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && text.at(i).isSpace())
        ++i;
    while (end > i && text.at(end - 1).isSpace())
        --end;
    if (i == end)
        return std::nullopt;

    bool negative = false;
    if (text.at(i) == u'-' || text.at(i) == u'+') {
        negative = text.at(i) == u'-';
        ++i;
    }
    // Accumulate the magnitude in unsigned units so that the most negative
    // value still parses.
    const std::uint64_t limit = negative ? Magnitude(kMin) : std::uint64_t(kMax);
    std::uint64_t units = 0;
    int digits = 0;
    int decimals = 0;
    bool seenSeparator = false;
    bool roundUp = false;
    for (; i < end; ++i) {
        const QChar c = text.at(i);
        if (c == decimalSeparator && !seenSeparator) {
            seenSeparator = true;
            continue;
        }
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const unsigned d = c.unicode() - u'0';
        ++digits;
        if (seenSeparator && decimals >= 4) {
            if (decimals == 4)
                roundUp = d >= 5;
            ++decimals;
            continue;
        }
        if (units > (limit - d) / 10)
            return std::nullopt;
        units = units * 10 + d;
        if (seenSeparator)
            ++decimals;
    }
    if (digits == 0)
        return std::nullopt;
    for (int k = std::min(decimals, 4); k < 4; ++k) {
        if (units > limit / 10)
            return std::nullopt;
        units *= 10;
    }
    if (roundUp) {
        if (units >= limit)
            return std::nullopt;
        ++units;
    }
    if (negative)
        return Currency(std::int64_t(std::uint64_t(0) - units));
    return Currency(std::int64_t(units));
}

QString Currency::ToFixed(int decimals, QChar decimalSeparator) const
{
    decimals = std::clamp(decimals, 0, 4);
    std::uint64_t divisor = 1;
    for (int k = decimals; k < 4; ++k)
        divisor *= 10;
    const std::uint64_t mag = Magnitude(m_units);
    const std::uint64_t rounded = mag / divisor + (mag % divisor >= (divisor + 1) / 2 && divisor > 1 ? 1 : 0);
    std::uint64_t pow = 1;
    for (int k = 0; k < decimals; ++k)
        pow *= 10;
    QString out;
    if (m_units < 0 && rounded != 0)
        out += u'-';
    out += QString::number(rounded / pow);
    if (decimals > 0) {
        out += decimalSeparator;
        out += QString::number(rounded % pow).rightJustified(decimals, u'0');
    }
    return out;
}

QString Currency::ToGeneral(QChar decimalSeparator) const
{
    QString s = ToFixed(4, decimalSeparator);
    while (s.endsWith(u'0') && s.contains(decimalSeparator))
        s.chop(1);
    if (s.endsWith(decimalSeparator))
        s.chop(1);
    return s;
}

Currency Currency::operator+(Currency other) const
{
    std::int64_t r = 0;
    if (__builtin_add_overflow(m_units, other.m_units, &r))
        throw Exception(kOverflow);
    return Currency(r);
}

Currency Currency::operator-(Currency other) const
{
    std::int64_t r = 0;
    if (__builtin_sub_overflow(m_units, other.m_units, &r))
        throw Exception(kOverflow);
    return Currency(r);
}

Currency Currency::operator-() const
{
    if (m_units == kMin)
        throw Exception(kOverflow);
    return Currency(-m_units);
}
