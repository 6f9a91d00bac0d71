// What the sales charts of the editors hold: the best-selling codes and the
// groups' share of the sale.
#include "UChartData.h"

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

} // namespace
