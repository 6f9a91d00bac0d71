// The fiscal memory chart: daily and monthly totals due with the tax
// stacked under them, one pair of sets per currency period.
#include "reports/core/UFiscalChart.h"
#include "reports/core/UFiscalTables.h"

#include <gtest/gtest.h>

namespace {

void Report(TFiscalTables &t, const QDate &date, double nal, double ptu, const char *waluta)
{
    t.MTPF.Append();
    t.MTPF.FieldByName("Data").SetAsInteger(DateValue(date));
    t.MTPF.FieldByName("SumaNal").SetAsCurrency(*Currency::FromDouble(nal));
    t.MTPF.FieldByName("SumaPTU").SetAsCurrency(*Currency::FromDouble(ptu));
    t.MTPF.FieldByName("Waluta").SetAsString(QString::fromUtf8(waluta));
    t.MTPF.Post();
}

TEST(FiscalChart, DailyAndMonthlyTotalsPerCurrencyPeriod)
{
    TFiscalTables t;
    Report(t, QDate(2001, 12, 30), 100, 22, "zł");
    Report(t, QDate(2001, 12, 31), 50, 11, "zł");
    Report(t, QDate(2001, 12, 31), 10, 2, "zł"); // a second report that day
    Report(t, QDate(2002, 1, 2), 40, 8, "EUR");
    Report(t, QDate(2002, 1, 3), 60, 12, "zł");
    Report(t, QDate(), 999, 9, "zł"); // no date: left out

    const TChartData d = FiscalDailyChart(t.MTPF);
    EXPECT_EQ(d.Kind, TChartKind::StackedBars);
    EXPECT_EQ(d.Categories, (QStringList{"30.12.2001", "31.12.2001", "02.01.2002", "03.01.2002"}));
    ASSERT_EQ(d.Sets.size(), 6u);
    EXPECT_EQ(d.Sets[0].Label, QStringLiteral("PTU zł"));
    EXPECT_TRUE(d.Sets[0].Darker);
    EXPECT_EQ(d.Sets[0].Values, (std::vector<double>{22, 13, 0, 0}));
    EXPECT_EQ(d.Sets[1].Label, QStringLiteral("Należność bez PTU zł"));
    EXPECT_EQ(d.Sets[1].Values, (std::vector<double>{78, 47, 0, 0}));
    EXPECT_EQ(d.Sets[2].Label, QStringLiteral("PTU EUR"));
    EXPECT_EQ(d.Sets[3].Values, (std::vector<double>{0, 0, 32, 0}));
    EXPECT_EQ(d.Sets[5].Label, QStringLiteral("Należność bez PTU zł (okres 2)"));
    EXPECT_EQ(d.Sets[5].Values, (std::vector<double>{0, 0, 0, 48}));
    EXPECT_NE(d.Sets[1].Color, d.Sets[5].Color);
    EXPECT_EQ(d.Sets[0].Color, d.Sets[1].Color);

    const TChartData m = FiscalMonthlyChart(t.MTPF);
    EXPECT_EQ(m.Categories, (QStringList{"gru 2001", "sty 2002"}));
    EXPECT_EQ(m.Sets[1].Values, (std::vector<double>{125, 0}));
    EXPECT_EQ(m.Sets[3].Values, (std::vector<double>{0, 32}));
    EXPECT_EQ(m.Sets[4].Values, (std::vector<double>{0, 12}));
    EXPECT_FALSE(m.XTitle.isEmpty());

    TFiscalTables none;
    EXPECT_TRUE(FiscalDailyChart(none.MTPF).IsEmpty());
}

} // namespace
