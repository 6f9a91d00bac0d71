#pragma once
// Money: a 64-bit fixed-point amount in units of 1/10000.
#include <QChar>
#include <QString>
#include <compare>
#include <cstdint>
#include <optional>

class Currency {
public:
    static constexpr std::int64_t Scale = 10000;

    constexpr Currency() = default;
    static constexpr Currency FromUnits(std::int64_t units) { return Currency(units); }
    // Whole amount; refuses (nullopt) what does not fit.
    static std::optional<Currency> FromInteger(std::int64_t value);
    // Rounded half away from zero to four decimals; refuses NaN, infinity
    // and values out of range.
    static std::optional<Currency> FromDouble(double value);
    // Exact decimal parse: optional blanks, optional sign, digits with at
    // most one decimal separator. More than four decimals are rounded half
    // away from zero. Refuses anything else, including overflow.
    static std::optional<Currency> Parse(const QString &text, QChar decimalSeparator);

    constexpr std::int64_t Units() const { return m_units; }
    double ToDouble() const { return double(m_units) / double(Scale); }

    // Fixed text with the given number of decimals (0..4), rounded half away
    // from zero, leading "-" when negative, no thousands separator.
    QString ToFixed(int decimals, QChar decimalSeparator) const;
    // Shortest text with up to four decimals ("2,5", "12").
    QString ToGeneral(QChar decimalSeparator) const;

    // Arithmetic raises Exception on overflow.
    Currency operator+(Currency other) const;
    Currency operator-(Currency other) const;
    Currency operator-() const;
    Currency &operator+=(Currency other) { return *this = *this + other; }
    Currency &operator-=(Currency other) { return *this = *this - other; }

    friend constexpr bool operator==(Currency a, Currency b) = default;
    friend constexpr auto operator<=>(Currency a, Currency b) = default;

private:
    constexpr explicit Currency(std::int64_t units) : m_units(units) {}
    std::int64_t m_units = 0;
};
