#include "data/UDM.h"
#include "data/ULocale.h"
#include "data/UPowtNazwy.h"
#include "data_test_support.h"

#include <gtest/gtest.h>
#include <random>

namespace {

class DuplicateNames : public PolishDataModuleTest {
protected:
    void AddGrupa(int numer, const QString &nazwa)
    {
        dm.MDGrupy.Append();
        dm.MDGrupy.FieldByName("Numer").SetAsInteger(numer);
        if (!nazwa.isEmpty())
            dm.MDGrupy.FieldByName("Nazwa").SetAsString(nazwa);
        dm.MDGrupy.Post();
    }
    void AddKod(const QString &numer, const QString &nazwa)
    {
        dm.MDKody.Append();
        dm.MDKody.FieldByName("Numer").SetText(numer);
        if (!nazwa.isEmpty())
            dm.MDKody.FieldByName("Nazwa").SetAsString(nazwa);
        dm.MDKody.FieldByName("Grupa").SetAsInteger(1);
        dm.MDKody.Post();
    }
    // The listed rows as "Nazwa/NazwaInt/Etykieta/Gdzie/NrWTabeli/KodWTabeli".
    std::vector<std::string> Listed() const
    {
        std::vector<std::string> out;
        const TRxMemoryData &t = dm.MDPowtNazwy;
        for (int r = 0; r < t.RecordCount(); ++r) {
            QStringList parts;
            for (const char *f : {"Nazwa", "NazwaInt", "Etykieta", "Gdzie", "NrWTabeli", "KodWTabeli"})
                parts << t.FieldByName(f).TextAt(r);
            out.push_back(parts.join('/').toStdString());
        }
        return out;
    }
};

TEST_F(DuplicateNames, GroupsDifferingInCaseStopTheSend)
{
    AddGrupa(1, "Mleko");
    AddGrupa(2, "MLEKO");
    AddGrupa(3, "Chleb");
    const TDuplicateNames found = RequireUniqueNames(dm, 1);
    EXPECT_EQ(found.Message, "Nazwy kodów i grup nie mogą się powtarzać !");
    EXPECT_EQ(found.Listed, 2);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"Mleko/MLEKO/1/Grupy w edytorze/1/", "MLEKO/MLEKO/2/Grupy w edytorze/2/"}));
    EXPECT_EQ(dm.LastDupScope, 1);
    EXPECT_EQ(dm.MDPowtNazwy.RecNo(), 1);
}

TEST_F(DuplicateNames, OnlySomeModelsNeedUniqueNames)
{
    AddGrupa(1, "Mleko");
    AddGrupa(2, "MLEKO");
    const struct {
        int kasa;
        bool refused;
    } cases[] = {{0, false}, {1, false}, {2, true}, {3, true}, {4, true}, {5, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.kasa);
        dm.ApplyProfile(c.kasa, false, 1);
        dm.MDPowtNazwy.EmptyTable();
        dm.LastDupScope = 0;
        EXPECT_EQ(bool(RequireUniqueNames(dm, 3)), c.refused);
        EXPECT_EQ(dm.MDPowtNazwy.RecordCount(), c.refused ? 2 : 0);
        EXPECT_EQ(dm.LastDupScope, c.refused ? 3 : 0);
    }
}

TEST_F(DuplicateNames, ScopeDecidesWhichTablesTakePart)
{
    AddGrupa(4, "Chleb");
    AddKod("20000012345678", "CHLEB");
    EXPECT_FALSE(RequireUniqueNames(dm, 1));
    EXPECT_FALSE(RequireUniqueNames(dm, 2));
    EXPECT_EQ(dm.LastDupScope, 2);
    EXPECT_EQ(FindDuplicateNames(dm, 3), 2);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"Chleb/CHLEB/4/Grupy w edytorze/4/",
                                                  "CHLEB/CHLEB/12345678/Kody w edytorze//20000012345678"}));
    EXPECT_EQ(dm.LastDupScope, 3);
}

TEST_F(DuplicateNames, ListsEveryNameOfARunInSortedOrder)
{
    AddKod("3", "SOK-JABŁKOWY 1L");
    AddKod("1", "Sok jabłkowy 1l");
    AddKod("2", "sok.jabłkowy");
    AddKod("4", "sok jabłkowy 1l");
    AddKod("5", "");
    AddKod("6", "");
    AddKod("7", "- -");
    AddKod("8", "Sok");
    AddGrupa(1, "sok.jabłkowy");
    EXPECT_EQ(FindDuplicateNames(dm, 3), 8);
    // Empty names first; then by NazwaInt, by Nazwa ignoring case (a blank
    // sorts before "-"), by table and code number.
    EXPECT_EQ(Listed(), (std::vector<std::string>{
                            "//5/Kody w edytorze//00000000000005",
                            "//6/Kody w edytorze//00000000000006",
                            "- -//7/Kody w edytorze//00000000000007",
                            "sok.jabłkowy/SOK.JABŁKOWY/1/Grupy w edytorze/1/",
                            "sok.jabłkowy/SOK.JABŁKOWY/2/Kody w edytorze//00000000000002",
                            "Sok jabłkowy 1l/SOKJABŁKOWY1L/1/Kody w edytorze//00000000000001",
                            "sok jabłkowy 1l/SOKJABŁKOWY1L/4/Kody w edytorze//00000000000004",
                            "SOK-JABŁKOWY 1L/SOKJABŁKOWY1L/3/Kody w edytorze//00000000000003",
                        }));
}

TEST_F(DuplicateNames, SourceTablesKeepTheirPositions)
{
    for (int n = 1; n <= 5; ++n)
        AddGrupa(n, "X");
    AddKod("1", "Y");
    AddKod("2", "Z");
    dm.MDGrupy.SetRecNo(3);
    dm.MDKody.SetRecNo(2);
    EXPECT_EQ(FindDuplicateNames(dm, 3), 5);
    EXPECT_EQ(dm.MDGrupy.RecNo(), 3);
    EXPECT_EQ(dm.MDKody.RecNo(), 2);
    // A second search replaces the first result.
    EXPECT_EQ(FindDuplicateNames(dm, 2), 0);
    EXPECT_TRUE(dm.MDPowtNazwy.IsEmpty());
}

// The result must equal the plain algorithm: every record into the result
// table, sort on the five fields, drop the names without an equal neighbour.
TEST_F(DuplicateNames, MatchesThePlainAlgorithmOnRandomTables)
{
    std::mt19937 rng(7);
    const QStringList pieces = {"a", "A", "ą", "Ą", " ", "-", "1", ".", "b", "ł", "Ł", "ż", "!", ""};
    auto randomName = [&] {
        QString s;
        const int n = int(rng() % 4);
        for (int i = 0; i < n; ++i)
            s += pieces[int(rng() % pieces.size())];
        return s;
    };
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        dm.MDGrupy.EmptyTable();
        dm.MDKody.EmptyTable();
        for (int g = 1; g <= 30; ++g)
            if (rng() % 2)
                AddGrupa(int(rng() % 30) + 1, randomName());
        for (int k = 0; k < 60; ++k)
            AddKod(QString::number(rng() % 50), randomName());
        const int scope = round % 3 + 1;

        TDM plain;
        TRxMemoryData &t = plain.MDPowtNazwy;
        auto add = [&](TRxMemoryData &src, bool codes) {
            for (int r = 0; r < src.RecordCount(); ++r) {
                t.Append();
                t.FieldByName("Nazwa").SetValue(src.FieldByName("Nazwa").ValueAt(r));
                t.FieldByName("Etykieta").SetAsString(src.FieldByName("Numer").DisplayTextAt(r));
                if (codes)
                    t.FieldByName("KodWTabeli").SetValue(src.FieldByName("Numer").ValueAt(r));
                else
                    t.FieldByName("NrWTabeli").SetValue(src.FieldByName("Numer").ValueAt(r));
                t.FieldByName("NrTabeli").SetAsInteger(codes ? 1 : 0);
                t.Post();
            }
        };
        if (scope & 1)
            add(dm.MDGrupy, false);
        if (scope & 2)
            add(dm.MDKody, true);
        t.SortOnFields({"NazwaInt", "Nazwa", "NrTabeli", "NrWTabeli", "KodWTabeli"});
        const TField &ni = t.FieldByName("NazwaInt");
        std::vector<TBookmark> lonely;
        for (int r = 0; r < t.RecordCount(); ++r) {
            const bool prev = r > 0 && ni.ValueAt(r - 1) == ni.ValueAt(r);
            const bool next = r + 1 < t.RecordCount() && ni.ValueAt(r + 1) == ni.ValueAt(r);
            if (!prev && !next)
                lonely.push_back(t.BookmarkAt(r));
        }
        t.DeleteRecords(lonely);

        EXPECT_EQ(FindDuplicateNames(dm, scope), t.RecordCount());
        for (int r = 0; r < t.RecordCount(); ++r)
            for (int f = 0; f < t.FieldCount(); ++f)
                EXPECT_EQ(dm.MDPowtNazwy.Field(f).ValueAt(r), t.Field(f).ValueAt(r)) << r << " " << f;
    }
}

} // namespace
