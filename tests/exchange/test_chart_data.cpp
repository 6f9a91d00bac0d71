// What the sales charts of the editors hold: the best-selling codes and the
// groups' share of the sale.
#include "exchange/UChartData.h"

#include "../data/data_test_support.h"

namespace {

class ChartDataTest : public PolishDataModuleTest {
protected:
    void Code(const QString &numer, const QString &nazwa, double ldw)
    {
        dm.MDKody.Append();
        dm.MDKody.FieldByName("Numer").SetText(numer);
        dm.MDKody.FieldByName("Nazwa").SetText(nazwa);
        dm.MDKody.FieldByName("Grupa").SetAsInteger(1);
        dm.MDKody.FieldByName("LDW").SetAsCurrency(*Currency::FromDouble(ldw));
        dm.MDKody.Post();
    }
    void Group(int n, const QString &nazwa, const QString &vat, double ldw, double low)
    {
        dm.MDGrupy.Append();
        dm.MDGrupy.FieldByName("Numer").SetAsInteger(n);
        dm.MDGrupy.FieldByName("Nazwa").SetText(nazwa);
        dm.MDGrupy.FieldByName("VAT").SetAsString(vat);
        dm.MDGrupy.FieldByName("LDW").SetAsCurrency(*Currency::FromDouble(ldw));
        dm.MDGrupy.FieldByName("LOW").SetAsCurrency(*Currency::FromDouble(low));
        dm.MDGrupy.Post();
    }
};

TEST_F(ChartDataTest, TopCodesAreTheHighestDailySalesWithTheirNames)
{
    for (int i = 1; i <= 25; ++i)
        Code(QString::number(i), QStringLiteral("Kod %1").arg(i), i == 3 ? 500 : i * 1.5);
    Code(QStringLiteral("30"), QString(), 1000);   // no name: the number
    Code(QStringLiteral("31"), QStringLiteral("Zwrot"), -5); // returns only: left out
    Code(QStringLiteral("32"), QStringLiteral("Nic"), 0);
    const TChartData c = TopCodesChart(dm.MDKody);
    ASSERT_EQ(c.Categories.size(), 20);
    ASSERT_EQ(c.Sets.size(), 1u);
    EXPECT_EQ(c.Categories.mid(0, 4), (QStringList{"30", "Kod 3", "Kod 25", "Kod 24"}));
    EXPECT_DOUBLE_EQ(c.Sets[0].Values[0], 1000);
    EXPECT_DOUBLE_EQ(c.Sets[0].Values[1], 500);
    EXPECT_DOUBLE_EQ(c.Sets[0].Values[2], 37.5);
    EXPECT_EQ(c.Categories.last(), QStringLiteral("Kod 8"));
    EXPECT_EQ(c.Title, QStringLiteral("Najlepiej sprzedające się kody"));

    dm.MDKody.EmptyTable();
    EXPECT_TRUE(TopCodesChart(dm.MDKody).IsEmpty());
}

TEST_F(ChartDataTest, GroupShareLeavesOutDepositGroupsAndGroupsWithoutSale)
{
    dm.ApplyProfile(0, true, 0); // deposit groups 9 and 10
    Group(1, QStringLiteral("Pieczywo"), "A", 100, 1000);
    Group(2, QStringLiteral("Nabiał"), "B", 0, 250.5);
    Group(3, QString(), "A", 50, 0);
    Group(4, QStringLiteral("Pusta"), "A", 0, 0);
    Group(9, QStringLiteral("Kaucja"), "+", 30, 30);
    const TChartData c = GroupsShareChart(dm.MDGrupy);
    EXPECT_EQ(c.Kind, TChartKind::PercentBars);
    EXPECT_EQ(c.Categories, (QStringList{"Sprzedaż dzienna", "Sprzedaż okresowa"}));
    ASSERT_EQ(c.Sets.size(), 3u);
    EXPECT_EQ(c.Sets[0].Label, QStringLiteral("1. Pieczywo"));
    EXPECT_EQ(c.Sets[1].Values, (std::vector<double>{0, 250.5}));
    EXPECT_EQ(c.Sets[2].Label, QStringLiteral("Grupa 3"));
    EXPECT_NE(c.Sets[0].Color, c.Sets[1].Color);
}

// Axis labels group every thousand, whatever Qt's Polish numbers do
// ("3000 000,00", "5000,00").
TEST_F(ChartDataTest, AxisLabelsGroupThousandsAlike)
{
    const TFormatSettings pl = TFormatSettings::Polish();
    const QChar nb(0x00A0);
    struct Case {
        TChartKind Kind;
        std::vector<std::vector<double>> Sets; // per set, one value per category
        std::vector<double> Ticks;
        QStringList Labels;
    };
    const Case cases[] = {
        {TChartKind::Bars, {{2914802.44, 1000}}, {0, 1e6, 2e6, 3e6},
         {"0,00", "1 000 000,00", "2 000 000,00", "3 000 000,00"}},
        {TChartKind::StackedBars, {{3000, 1000}, {6000, 500}}, {0, 2000, 4000, 6000, 8000, 10000},
         {"0,00", "2 000,00", "4 000,00", "6 000,00", "8 000,00", "10 000,00"}},
        {TChartKind::Bars, {{-40, 90}}, {-50, 0, 50, 100}, {"-50,00", "0,00", "50,00", "100,00"}},
        {TChartKind::Bars, {{0, 0}}, {0, 0.01, 0.02, 0.03, 0.04, 0.05}, {"0,00", "0,01", "0,02", "0,03", "0,04", "0,05"}},
        {TChartKind::PercentBars, {{5, 1}, {1, 5}}, {0, 20, 40, 60, 80, 100}, {"0", "20", "40", "60", "80", "100"}},
    };
    for (const Case &c : cases) {
        TChartData data;
        data.Kind = c.Kind;
        data.Categories = {QStringLiteral("a"), QStringLiteral("b")};
        for (const auto &values : c.Sets)
            data.Sets.push_back({QStringLiteral("s"), values, 0, false});
        const TChartAxis axis = ChartValueAxis(data, pl);
        SCOPED_TRACE(c.Labels.last().toStdString());
        ASSERT_EQ(axis.Ticks.size(), c.Ticks.size());
        for (size_t i = 0; i < c.Ticks.size(); ++i)
            EXPECT_NEAR(axis.Ticks[i], c.Ticks[i], 1e-9);
        // Within rounding: Windows' pow() misses 10^-2 by a unit in the last place.
        EXPECT_DOUBLE_EQ(axis.Min, c.Ticks.front());
        EXPECT_DOUBLE_EQ(axis.Max, c.Ticks.back());
        EXPECT_EQ(axis.Labels.join(u'|'), QString(c.Labels.join(u'|')).replace(u' ', nb));
    }
}

} // namespace
