// The sales report as one CSV sheet with a section column.
#include "reports/core/USalesCsv.h"

#include "data/UDM.h"

#include "../data/data_test_support.h"

namespace {

using SalesCsvTest = PolishDataModuleTest;

TEST_F(SalesCsvTest, OneSheetWithTheSectionInTheFirstColumn)
{
    dm.MDGrupy.Append();
    dm.MDGrupy.FieldByName("Numer").SetAsInteger(1);
    dm.MDGrupy.FieldByName("Nazwa").SetText(QStringLiteral("Pieczywo; świeże"));
    dm.MDGrupy.FieldByName("LDW").SetAsCurrency(*Currency::FromDouble(125.5));
    dm.MDGrupy.FieldByName("LOI").SetAsFloat(500.3);
    dm.MDGrupy.Post();
    dm.MDKody.Append();
    dm.MDKody.FieldByName("Numer").SetText("5901234123457");
    dm.MDKody.FieldByName("Nazwa").SetText(QStringLiteral("Mleko"));
    dm.MDKody.FieldByName("Grupa").SetAsInteger(2);
    dm.MDKody.FieldByName("Cena").SetAsCurrency(*Currency::FromDouble(3.1));
    dm.MDKody.FieldByName("LDW").SetAsCurrency(*Currency::FromDouble(-6.2));
    dm.MDKody.FieldByName("LDI").SetAsFloat(-2);
    dm.MDKody.Post();
    dm.MDKaucje.Append();
    dm.MDKaucje.FieldByName("Numer").SetAsInteger(1);
    dm.MDKaucje.FieldByName("Cena").SetAsCurrency(*Currency::FromDouble(0.5));
    dm.MDKaucje.FieldByName("LDWz").SetAsCurrency(*Currency::FromDouble(1.5));
    dm.MDKaucje.Post();

    const QStringList all = SalesReportCsvLines(dm, TSalesSections{});
    EXPECT_EQ(all, (QStringList{
                       "Sekcja;Numer;Nazwa;Grupa;Cena;Wartość dz.;Ilość dz.;Wartość okr.;Ilość okr.;Wartość zwr. dz.;Ilość zwr. dz.",
                       "Grupy;1;\"Pieczywo; świeże\";;0,00;125,50;0,000;0,00;500,300;;",
                       "Kody;5901234123457;Mleko;2;3,10;-6,20;-2,000;;;;",
                       "Kaucje;1;;;0,50;0,00;0,000;;;1,50;0,000",
                   }));
    TSalesSections codesOnly;
    codesOnly.Groups = codesOnly.Deposits = false;
    EXPECT_EQ(SalesReportCsvLines(dm, codesOnly).size(), 2);
    EXPECT_TRUE(IsCsvReportName(QStringLiteral("/tmp/raport.CSV")));
    EXPECT_FALSE(IsCsvReportName(QStringLiteral("/tmp/csv.txt")));
}

} // namespace
