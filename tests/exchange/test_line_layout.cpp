// The columns of the exchange lines, taken from the module's record
// descriptors, against the columns the editors have always written and
// parsed, on every table and both key layouts.
#include "data/UDM.h"
#include "exchange/UExchange.h"

#include <gtest/gtest.h>

namespace {

struct Column {
    const char *field;
    int start, width;
};

struct Layout {
    const char *what;
    TExchangeTable table;
    bool fourDigitModels; // ER-A235P, ER-A237P, ER-A275P, ER-A277P
    std::vector<Column> columns; // send fields, then counters
    std::vector<int> points;     // decimal points turned into the separator
    int shortest;                // a shorter read-back line is refused
    int withCounters;            // from this length on the counters are read
};

// Limit and the sale flags (codes: the price kind) are read from their
// column's last digit: 8 and 11 (codes 20, four-digit keys 10).
const Layout kLayouts[] = {
    {"groups, four-digit models", TExchangeTable::Grupy, true,
     {{"Numer", 1, 2}, {"VAT", 4, 2}, {"Limit", 7, 2}, {"RodzajSprz", 10, 2}, {"Cena", 13, 9}, {"Nazwa", 23, 16},
      {"LDW", 40, 13}, {"LDI", 54, 9}, {"LOW", 64, 13}, {"LOI", 78, 9}},
     {19, 50, 59, 74, 83}, 38, 86},
    {"groups, PS models", TExchangeTable::Grupy, false,
     {{"Numer", 1, 2}, {"VAT", 4, 2}, {"Limit", 7, 2}, {"RodzajSprz", 10, 2}, {"Cena", 13, 9}, {"Nazwa", 23, 16},
      {"LDW", 40, 13}, {"LDI", 54, 9}, {"LOW", 64, 13}, {"LOI", 78, 9}},
     {19, 50, 59, 74, 83}, 38, 86},
    {"codes, four-digit keys", TExchangeTable::Kody, true,
     {{"Numer", 1, 4}, {"Grupa", 6, 2}, {"RodzajCeny", 9, 2}, {"Cena", 12, 9}, {"Nazwa", 22, 16}, {"LDW", 39, 13},
      {"LDI", 53, 9}},
     {18, 49, 58}, 37, 61},
    {"codes, 14-digit keys", TExchangeTable::Kody, false,
     {{"Numer", 1, 14}, {"Grupa", 16, 2}, {"RodzajCeny", 19, 2}, {"Cena", 22, 9}, {"Nazwa", 32, 16}, {"LDW", 49, 13},
      {"LDI", 63, 9}},
     {28, 59, 68}, 47, 71},
    {"deposits, four-digit keys", TExchangeTable::Kaucje, true,
     {{"Numer", 1, 4}, {"Cena", 6, 9}, {"LDWw", 16, 13}, {"LDIw", 30, 9}, {"LDWz", 40, 13}, {"LDIz", 54, 9}},
     {12, 26, 35, 50, 59}, 15, 62},
    {"deposits, two-digit keys", TExchangeTable::Kaucje, false,
     {{"Numer", 1, 2}, {"Cena", 4, 9}, {"LDWw", 14, 13}, {"LDIw", 28, 9}, {"LDWz", 38, 13}, {"LDIz", 52, 9}},
     {10, 24, 33, 48, 57}, 13, 60},
};

std::string Text(const std::string &field, int start, int width)
{
    return field + " " + std::to_string(start) + "-" + std::to_string(width) + "; ";
}

TEST(LineLayout, ColumnsFromTheDescriptorsAreTheEditorsColumns)
{
    for (const Layout &l : kLayouts) {
        for (int kasa = 0; kasa < 6; ++kasa) {
            if (ShortRecordKeys(kasa) != l.fourDigitModels)
                continue;
            SCOPED_TRACE(std::string(l.what) + ", model " + std::to_string(kasa));
            TDM dm;
            dm.ApplyProfile(kasa, true, 1);
            const TExchangeLines lines(dm, l.table);
            const TLineFields &f = lines.Fields();
            std::vector<TLineField> all = f.Sent();
            all.insert(all.end(), f.Counters.begin(), f.Counters.end());
            std::string actual, expected;
            std::vector<int> points;
            for (const TLineField &c : all) {
                actual += Text(lines.EditorTable().Field(c.Field).Name().toStdString(), c.Column.Start, c.Column.Width);
                if (c.Column.Point() > 0)
                    points.push_back(c.Column.Point());
            }
            for (const Column &c : l.columns)
                expected += Text(c.field, c.start, c.width);
            EXPECT_EQ(actual, expected);
            EXPECT_EQ(points, l.points);
            EXPECT_EQ(f.Shortest, l.shortest);
            EXPECT_EQ(f.WithCounters, l.withCounters);
            EXPECT_EQ(lines.ShortKeys(), l.table != TExchangeTable::Grupy && ShortRecordKeys(kasa));
        }
    }
}

} // namespace
