#pragma once
// A field's stored value at any row, without moving the cursor: the reports
// read every record this way, through fields looked up once per table. A
// null (or a value of another kind) reads as zero or an empty text.
#include "data/UCurrency.h"
#include "data/URxMemoryData.h"

#include <QString>
#include <cstdint>

inline std::int64_t IntAt(const TField &f, int row)
{
    const auto *i = std::get_if<std::int64_t>(&f.ValueAt(row));
    return i ? *i : 0;
}

inline Currency MoneyAt(const TField &f, int row)
{
    return Currency::FromUnits(IntAt(f, row));
}

// An integer value reads as its number.
inline double FloatAt(const TField &f, int row)
{
    const TFieldValue &v = f.ValueAt(row);
    if (const auto *d = std::get_if<double>(&v))
        return *d;
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return double(*i);
    return 0;
}

// The stored text itself, not the field's text hook (TField::TextAt).
inline QString StringAt(const TField &f, int row)
{
    const auto *s = std::get_if<QString>(&f.ValueAt(row));
    return s ? *s : QString();
}
