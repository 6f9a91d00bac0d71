#include "data/UDM.h"
#include "data/UCodePage.h"
#include "data/UErrors.h"
#include "data/ULocale.h"
#include "data_test_support.h"

#include <gtest/gtest.h>

namespace {

class DataModule : public PolishDataModuleTest {
protected:
    // Text as the data file writer would list it: "Name=start,width;".
    static QString ColumnList(const TRxMemoryData &t)
    {
        QString out;
        int start = 1;
        for (int i = 0; i < t.FieldCount(); ++i) {
            out += QStringLiteral("%1=%2,%3;").arg(t.Field(i).Name()).arg(start).arg(t.Field(i).Tag());
            start += t.Field(i).Tag() + 1;
        }
        return out;
    }
    void AddKod(const QString &numer, int grupa = 1, const QString &nazwa = QString())
    {
        dm.MDKody.Append();
        dm.MDKody.FieldByName("Numer").SetText(numer);
        dm.MDKody.FieldByName("Grupa").SetAsInteger(grupa);
        if (!nazwa.isEmpty())
            dm.MDKody.FieldByName("Nazwa").SetAsString(nazwa);
        dm.MDKody.Post();
    }
    void AddGrupa(TRxMemoryData &t, int numer, const QString &vat = "A", const QString &nazwa = QString())
    {
        t.Append();
        t.FieldByName("Numer").SetAsInteger(numer);
        t.FieldByName("VAT").SetAsString(vat);
        if (!nazwa.isEmpty())
            t.FieldByName("Nazwa").SetAsString(nazwa);
        t.Post();
    }
};

TEST_F(DataModule, FieldsAreInFileOrderWithTheirWidths)
{
    EXPECT_EQ(ColumnList(dm.MDGrupy),
              "Numer=1,2;Nazwa=4,16;VAT=21,1;Cena=23,9;RodzajSprz=33,2;Limit=36,1;LDW=38,13;LDI=52,9;LOW=62,13;LOI=76,9;");
    EXPECT_EQ(ColumnList(dm.MDKody), "Numer=1,14;Nazwa=16,16;Grupa=33,2;Cena=36,9;RodzajCeny=46,2;LDW=49,13;LDI=63,9;");
    EXPECT_EQ(ColumnList(dm.MDKaucje), "Numer=1,2;Cena=4,9;LDWw=14,13;LDIw=28,9;LDWz=38,13;LDIz=52,9;");
    EXPECT_EQ(dm.MDGrupyWKasie.FieldByName("Numer").Tag(), 14);
    EXPECT_EQ(ColumnList(dm.MDKodyWKasie), ColumnList(dm.MDKody));
    EXPECT_EQ(ColumnList(dm.MDKaucjeWKasie), ColumnList(dm.MDKaucje));

    const TField &vat = dm.MDGrupy.FieldByName("VAT");
    EXPECT_EQ(vat.EditMask(), ">C;1;_");
    EXPECT_EQ(vat.DefaultText(), "A");
    EXPECT_EQ(dm.MDKody.FieldByName("RodzajCeny").Size(), 1);
    EXPECT_EQ(dm.MDKody.FieldByName("RodzajCeny").DefaultText(), "W");
    EXPECT_EQ(dm.MDKody.FieldByName("Numer").Alignment(), TAlignment::Right);
    EXPECT_EQ(dm.MDGrupy.FieldByName("RodzajSprz").DisplayName(), "Rodzaj Sprz.");
    EXPECT_EQ(dm.MDKaucje.FieldByName("LDIz").DisplayName(), "Ilość zwr.");
    EXPECT_EQ(dm.MDGrupy.FieldByName("LDI").DisplayFormat(), "##,##0.000");
    EXPECT_FALSE(dm.MDGrupy.FieldByName("Nazwa").Required());
    EXPECT_TRUE(dm.MDKody.FieldByName("LDI").Required());
    EXPECT_EQ(dm.MDPowtNazwy.FieldByName("NazwaInt").DisplayName(), "Nazwa x");
    EXPECT_FALSE(dm.MDPowtNazwy.FieldByName("NrTabeli").Visible());
}

TEST_F(DataModule, SectionsNameTheEditorTables)
{
    EXPECT_EQ(SectionNames(), QStringList({"Grupy", "Kody", "Kaucje"}));
    EXPECT_EQ(dm.TableBySection(0), &dm.MDGrupy);
    EXPECT_EQ(dm.TableBySection(1), &dm.MDKody);
    EXPECT_EQ(dm.TableBySection(2), &dm.MDKaucje);
    EXPECT_EQ(dm.TableBySection(3), nullptr);
    EXPECT_EQ(dm.TableBySection(-1), nullptr);
    EXPECT_EQ(dm.SectionOf(dm.MDKaucje), 2);
    EXPECT_EQ(dm.SectionOf(dm.MDKodyWKasie), -1);
}

TEST_F(DataModule, AfterInsertFillsTheStartValues)
{
    dm.MDGrupy.Append();
    EXPECT_EQ(dm.MDGrupy.FieldByName("VAT").AsString(), "A");
    EXPECT_EQ(dm.MDGrupy.FieldByName("Limit").AsInteger(), 8);
    EXPECT_EQ(dm.MDGrupy.FieldByName("RodzajSprz").AsString(), "0");
    EXPECT_EQ(dm.MDGrupy.FieldByName("LOW").AsCurrency(), Currency());
    EXPECT_TRUE(dm.MDGrupy.FieldByName("Numer").IsNull());
    dm.MDGrupy.Cancel();

    dm.MDKodyWKasie.Append();
    EXPECT_EQ(dm.MDKodyWKasie.FieldByName("RodzajCeny").AsString(), "0");
    EXPECT_FALSE(dm.MDKodyWKasie.FieldByName("LDI").IsNull());
    EXPECT_TRUE(dm.MDKodyWKasie.FieldByName("Numer").IsNull());
    dm.MDKodyWKasie.Cancel();

    dm.MDKaucje.Append();
    for (const char *f : {"LDWw", "LDIw", "LDWz", "LDIz"})
        EXPECT_FALSE(dm.MDKaucje.FieldByName(f).IsNull()) << f;
    EXPECT_TRUE(dm.MDKaucje.FieldByName("Cena").IsNull());
    dm.MDKaucje.Cancel();
    EXPECT_FALSE(dm.Modified);
}

TEST_F(DataModule, CodeNumberConversion)
{
    const struct {
        const char *typed;
        const char *stored;  // nullptr: refused
        const char *shown;   // or the message
    } cases[] = {
        {"0", "00000000000000", "0"},
        {"0012", "00000000000012", "12"},
        {" 12\t", "00000000000012", "12"},
        {"12345678", "20000012345678", "12345678"},
        {"03600029145", "50036000291452", "036000291452"},
        {"12345", nullptr, "\"12345\" nie jest prawidłowym numerem kodu."},
        {"30000012345678", nullptr, "\"30000012345678\" nie jest prawidłowym numerem kodu."},
        {"123456789012345", nullptr, "\"12345678901234\" nie jest prawidłowym numerem kodu."},
        {"12a", nullptr, "\"12a\" nie jest prawidłowym numerem kodu."},
    };
    for (const auto &c : cases) {
        dm.MDKody.Append();
        TField &numer = dm.MDKody.FieldByName("Numer");
        if (c.stored) {
            numer.SetText(QString::fromUtf8(c.typed));
            EXPECT_EQ(numer.AsString(), c.stored) << c.typed;
            EXPECT_EQ(numer.Text(), c.shown) << c.typed;
            EXPECT_EQ(numer.DisplayText(), c.shown) << c.typed;
        } else {
            EXPECT_EQ(MessageOf([&] { numer.SetText(QString::fromUtf8(c.typed)); }), c.shown);
            EXPECT_TRUE(numer.IsNull());
        }
        dm.MDKody.Cancel();
    }
    dm.MDKody.Append();
    dm.MDKody.FieldByName("Numer").SetText("7");
    dm.MDKody.FieldByName("Numer").SetText("  ");
    EXPECT_TRUE(dm.MDKody.FieldByName("Numer").IsNull());
    dm.MDKody.FieldByName("Numer").SetAsString("30000012345678"); // stored as is
    EXPECT_EQ(dm.MDKody.FieldByName("Numer").Text(), "30000012345678");
    dm.MDKody.Cancel();
}

struct VatCase {
    int kasa;
    bool kaucje;
    int eprom;
    bool loading;
    const char *typed;
    const char *stored; // nullptr: refused with message
    const char *message;
};

void PrintTo(const VatCase &c, std::ostream *os)
{
    *os << "kasa " << c.kasa << (c.kaucje ? ", deposits" : "") << ", eprom " << c.eprom
        << (c.loading ? ", loading" : "") << ", typed " << ::testing::PrintToString(std::string(c.typed));
}

const VatCase kVatCases[] = {
    // ER-A277PS Plus: A..G
    {5, true, 0, false, "B", "B", nullptr},
    {5, true, 0, false, "Bogus", "B", nullptr},
    {5, true, 0, false, "?", "?", nullptr},
    {5, true, 0, false, "Z", nullptr, "\"Z\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G."},
    {5, true, 0, false, "+", nullptr, "\"+\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G."},
    {5, true, 0, false, "-x", nullptr, "\"-x\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G."},
    {5, true, 0, false, "b", nullptr, "\"b\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G."},
    {5, true, 0, false, "", "", nullptr},
    {5, true, 0, false, " A", "", nullptr},
    // ER-A275P: A..F, Z; "+" and "-" become Z
    {1, true, 0, false, "+", "Z", nullptr},
    {1, true, 0, false, "-", "Z", nullptr},
    {1, true, 0, false, "G", nullptr, "\"G\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do F oraz Z."},
    // ER-A235P version A with deposits: + and - are letters of their own
    {0, true, 0, false, "+", "+", nullptr},
    {0, true, 0, false, "-", "-", nullptr},
    {0, true, 0, false, "G", nullptr, "\"G\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do F, Z, + oraz -."},
    // While loading everything in + - A..G Z passes.
    {5, true, 0, true, "Z", "Z", nullptr},
    {5, true, 0, true, "+", "Z", nullptr},
    {0, true, 0, true, "G", "G", nullptr},
    {0, true, 0, true, "+", "+", nullptr},
    {5, true, 0, true, "H", nullptr, "\"H\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G."},
};

class VatConversion : public ::testing::TestWithParam<VatCase> {};

TEST_P(VatConversion, FollowsTheProfile)
{
    const VatCase &c = GetParam();
    TDM dm;
    dm.ApplyProfile(c.kasa, c.kaucje, c.eprom);
    dm.Loading = c.loading;
    for (TRxMemoryData *t : {&dm.MDGrupy, &dm.MDGrupyWKasie}) {
        t->Append();
        TField &vat = t->FieldByName("VAT");
        if (c.stored) {
            vat.SetText(QString::fromUtf8(c.typed));
            EXPECT_EQ(vat.AsString(), c.stored) << c.typed;
        } else {
            try {
                vat.SetText(QString::fromUtf8(c.typed));
                ADD_FAILURE() << "accepted " << c.typed;
            } catch (const EDatabaseError &e) {
                EXPECT_EQ(e.Message().toStdString(), c.message);
            }
            EXPECT_EQ(vat.AsString(), "A"); // unchanged
        }
        t->Cancel();
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, VatConversion, ::testing::ValuesIn(kVatCases));

TEST_F(DataModule, SaleKindConversion)
{
    TField &kind = dm.MDGrupy.FieldByName("RodzajSprz");
    dm.MDGrupy.Append();
    const struct {
        const char *typed;
        const char *stored;
        const char *shown;
    } ok[] = {{"No", "0", "Normalna"}, {"Normalna", "0", "Normalna"}, {"na", "1", "Natychmiast."},
              {"Natychmiast.", "1", "Natychmiast."}, {"xO", "0", "Normalna"}};
    for (const auto &c : ok) {
        kind.SetText(c.typed);
        EXPECT_EQ(kind.AsString(), c.stored) << c.typed;
        EXPECT_EQ(kind.Text(), c.shown) << c.typed;
    }
    // The message puts a full stop after the second value, which ends in one.
    for (const char *bad : {"N", "0", "Nx", "11"}) {
        kind.SetText("No");
        EXPECT_EQ(MessageOf([&] { kind.SetText(bad); }),
                  std::string("\"") + bad +
                      "\" nie jest prawidłową wartością pola \"Rodzaj Sprz.\". Dozwolone wartości to Normalna i Natychmiast..");
        EXPECT_TRUE(kind.IsNull()) << bad; // left empty
    }
    dm.MDGrupy.FieldByName("Numer").SetAsInteger(1);
    EXPECT_EQ(MessageOf([&] { dm.MDGrupy.Post(); }), "Pole \"Rodzaj Sprz.\" musi posiadać wartość");
    kind.SetText("");
    EXPECT_TRUE(kind.IsNull());
    kind.SetAsString("7");
    EXPECT_EQ(kind.Text(), "");
    dm.MDGrupy.Cancel();
}

TEST_F(DataModule, PriceKindConversion)
{
    TField &kind = dm.MDKody.FieldByName("RodzajCeny");
    dm.MDKody.Append();
    const struct {
        const char *typed;
        const char *stored;
        const char *shown;
    } ok[] = {{"Pr", "0", "Program."}, {"p", "0", "Program."}, {"Wp", "1", "Wprowadz."}, {"W", "1", "Wprowadz."}};
    for (const auto &c : ok) {
        kind.SetText(c.typed);
        EXPECT_EQ(kind.AsString(), c.stored) << c.typed;
        EXPECT_EQ(kind.DisplayText(), c.shown) << c.typed;
    }
    EXPECT_EQ(MessageOf([&] { kind.SetText("X"); }),
              "\"X\" nie jest prawidłową wartością pola \"Rodzaj Ceny\". Dozwolone wartości to Program. i Wprowadz..");
    EXPECT_TRUE(kind.IsNull());
    EXPECT_EQ(kind.Text(), "");
    kind.SetAsString("5");
    EXPECT_EQ(MessageOf([&] { (void)kind.Text(); }), "Cos nie tak");
    dm.MDKody.Cancel();
}

TEST_F(DataModule, ModifiedIsSetByPostsToEditorTablesOnly)
{
    AddGrupa(dm.MDGrupyWKasie, 1);
    EXPECT_FALSE(dm.Modified);
    AddGrupa(dm.MDGrupy, 1);
    EXPECT_TRUE(dm.Modified);

    dm.Modified = false;
    dm.MDGrupy.Delete();
    EXPECT_FALSE(dm.Modified);

    AddKod("1");
    AddKod("2");
    dm.Modified = false;
    dm.EmptyEditorTable(dm.MDKody);
    EXPECT_TRUE(dm.MDKody.IsEmpty());
    EXPECT_FALSE(dm.Modified);

    dm.MDKaucje.Append();
    dm.MDKaucje.FieldByName("Numer").SetAsInteger(1);
    dm.MDKaucje.FieldByName("Cena").SetAsInteger(0);
    dm.MDKaucje.Post();
    EXPECT_TRUE(dm.Modified);
}

TEST_F(DataModule, CheckKodyNumerAndCheckKody)
{
    dm.ApplyProfile(0, false, 0); // 20 groups
    AddKod("0");
    EXPECT_EQ(dm.CheckKodyNumer(CurrentRecord).Result, CheckResult::ZeroCode);
    EXPECT_EQ(dm.CheckKody(CurrentRecord).Result, CheckResult::ZeroCode); // does not stop a transmission
    AddKod("12", 21);
    TCheckOutcome outcome = dm.CheckKody(CurrentRecord);
    EXPECT_EQ(outcome.Result, CheckResult::Error);
    EXPECT_EQ(outcome.Message, "\"21\" nie może być wartością pola \"Grupa\". Dozwolona wartość jest z zakresu 1 do 20");
    EXPECT_EQ(dm.CheckKodyNumer(CurrentRecord).Result, CheckResult::Normal);
    // A row is checked where it stands, the cursor elsewhere.
    dm.MDKody.First();
    EXPECT_EQ(dm.CheckKody(1).Message, outcome.Message);
    EXPECT_EQ(dm.CheckKody(0).Result, CheckResult::ZeroCode);
    EXPECT_EQ(dm.MDKody.RecNo(), 1);
    dm.MDKody.Last();

    dm.MDKody.Edit();
    dm.MDKody.FieldByName("Numer").SetAsString("30000012345678");
    dm.MDKody.FieldByName("Grupa").SetAsInteger(2);
    outcome = dm.CheckKodyNumer(CurrentRecord);
    EXPECT_EQ(outcome.Result, CheckResult::Error);
    EXPECT_EQ(outcome.Message, "\"30000012345678\" nie jest prawidłowym numerem kodu.");
    EXPECT_EQ(dm.CheckKody(CurrentRecord).Message, "\"30000012345678\" nie jest prawidłowym numerem kodu.");

    dm.MDKody.FieldByName("Numer").Clear();
    dm.MDKody.FieldByName("Grupa").SetAsInteger(25);
    EXPECT_EQ(dm.CheckKody(CurrentRecord).Result, CheckResult::Normal); // empty number: nothing to check
    dm.MDKody.Cancel();
}

TEST_F(DataModule, CheckGrupyByProfile)
{
    const struct {
        int kasa;
        int numer;
        const char *vat;
        CheckResult result;
        const char *message;
    } cases[] = {
        {5, 1, "A", CheckResult::Normal, ""},
        {5, 30, "G", CheckResult::Normal, ""},
        {0, 21, "A", CheckResult::Error,
         "\"21\" nie może być wartością pola \"Numer\". Dozwolona wartość jest z zakresu 1 do 20"},
        {5, 3, "?", CheckResult::Error,
         "\"?\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G."},
        {5, 3, "Z", CheckResult::Error,
         "\"Z\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G."},
        {1, 3, "Z", CheckResult::Normal, ""},
        // ER-A235P version A with deposits: groups 9 and 10 are deposit groups.
        {0, 9, "+", CheckResult::DepositGroup, ""},
        {0, 10, "-", CheckResult::DepositGroup, ""},
        {0, 9, "A", CheckResult::Error,
         "Grupa 9. musi być grupą wydania kaucji (pole VAT musi mieć wartość \"+\")"},
        {0, 10, "+", CheckResult::Error,
         "Grupa 10. musi być grupą zwrotów kaucji (pole VAT musi mieć wartość \"-\")"},
        {0, 4, "-", CheckResult::Error,
         "Grupy o numerach innych niż 9 i 10 nie mogą być grupami kaucji (pole VAT nie może mieć wartości \"+\", \"-\")"},
        {0, 9, "G", CheckResult::Error,
         "\"G\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do F, Z, + oraz -."},
        {0, 5, "Z", CheckResult::Normal, ""},
    };
    for (const auto &c : cases) {
        TDM d;
        d.ApplyProfile(c.kasa, true, 0);
        AddGrupa(d.MDGrupy, std::min(c.numer, 30), c.vat);
        if (c.numer > 30) {
            d.MDGrupy.Edit();
            d.MDGrupy.FieldByName("Numer").SetAsInteger(c.numer);
        }
        const TCheckOutcome outcome = d.CheckGrupy(CurrentRecord);
        EXPECT_EQ(outcome.Result, c.result) << c.kasa << " " << c.numer << c.vat;
        EXPECT_EQ(outcome.Message.toStdString(), c.message);
    }
}

TEST_F(DataModule, LoadedLettersAreFlaggedByTheCheck)
{
    dm.Loading = true;
    dm.MDGrupy.Append();
    dm.MDGrupy.FieldByName("Numer").SetAsInteger(1);
    dm.MDGrupy.FieldByName("VAT").SetText("Z");
    dm.MDGrupy.Post();
    dm.Loading = false;
    EXPECT_EQ(dm.CheckGrupy(CurrentRecord).Result, CheckResult::Error);
}

// Typing refuses a control character and a letter the register would
// change; a file load takes the letter (old files open) but not the
// control character, and the checks before a send refuse both.
TEST_F(DataModule, NamesHoldOnlyWhatTheRegisterStores)
{
    const QString letterMessage = QStringLiteral("Znaku \"É\" w nazwie \"Éclair\" nie ma w kasie: kasa zapisałaby go jako \"Ź\".");
    const struct {
        QString name;
        bool loading;
        std::string message;
    } typed[] = {
        {QStringLiteral("Żółty ser ^"), false, "no error"},
        {QStringLiteral("Éclair"), false, letterMessage.toStdString()},
        {QStringLiteral("Éclair"), true, "no error"},
        {QStringLiteral("Ser\x04"), true, "Nazwa \"Ser<04>\" zawiera znak sterujący o kodzie 0x04, którego kasa nie przyjmuje."},
        // Byte 0x98 has no character in Windows-1250: typed or loaded alike.
        {QStringLiteral("Ser") + Cp1250Char(0x98), false,
         "Nazwa \"Ser<98>\" zawiera znak sterujący o kodzie 0x98, którego kasa nie przyjmuje."},
        {QStringLiteral("Ser") + Cp1250Char(0x98), true,
         "Nazwa \"Ser<98>\" zawiera znak sterujący o kodzie 0x98, którego kasa nie przyjmuje."},
    };
    for (TRxMemoryData *t : {&dm.MDGrupy, &dm.MDKody}) {
        for (const auto &c : typed) {
            dm.Loading = c.loading;
            t->Append();
            EXPECT_EQ(MessageOf([&] { t->FieldByName("Nazwa").SetText(c.name); }), c.message) << c.name.toStdString();
            t->Cancel();
        }
    }
    dm.Loading = false;
    AddGrupa(dm.MDGrupy, 1, "A", QStringLiteral("Éclair"));
    AddKod("7", 1, QStringLiteral("Tab\there"));
    const TCheckOutcome outcome = dm.CheckKody(CurrentRecord);
    EXPECT_EQ(outcome.Result, CheckResult::Error);
    EXPECT_EQ(outcome.Message, QStringLiteral("Nazwa \"Tab<09>here\" zawiera znak sterujący o kodzie 0x09, którego kasa nie przyjmuje."));
    EXPECT_EQ(MessageOf([&] {
                  dm.CheckTable(TTableGridRef(dm.MDGrupy), "Numer", "Numery nie mogą się powtarzać.", false,
                                [&](int row) { return dm.CheckGrupy(row); });
              }),
              letterMessage.toStdString());
}

TEST_F(DataModule, EmptyNumbersPassTheChecks)
{
    dm.MDGrupy.Append();
    dm.MDKody.Append();
    dm.MDKaucje.Append();
    EXPECT_EQ(dm.CheckGrupy(CurrentRecord).Result, CheckResult::Normal);
    EXPECT_EQ(dm.CheckKody(CurrentRecord).Result, CheckResult::Normal);
    EXPECT_EQ(dm.CheckKodyNumer(CurrentRecord).Result, CheckResult::Normal);
    EXPECT_EQ(dm.CheckKaucje(CurrentRecord).Result, CheckResult::Normal);
}

TEST_F(DataModule, CheckKaucjeUsesMaxDeposits)
{
    dm.ApplyProfile(0, true, 1); // 30 deposits
    for (int n : {30, 31}) {
        dm.MDKaucje.Append();
        dm.MDKaucje.FieldByName("Numer").SetAsInteger(n);
        dm.MDKaucje.FieldByName("Cena").SetAsInteger(1);
        dm.MDKaucje.Post();
    }
    const TCheckOutcome outcome = dm.CheckKaucje(CurrentRecord);
    EXPECT_EQ(outcome.Result, CheckResult::Error);
    EXPECT_EQ(outcome.Message, "\"31\" nie może być wartością pola \"Numer\". Dozwolona wartość jest z zakresu 1 do 30");
    dm.MDKaucje.First();
    EXPECT_EQ(dm.CheckKaucje(CurrentRecord).Result, CheckResult::Normal);
}

TEST_F(DataModule, CheckTableFindsTwoSpellingsOfOneCode)
{
    AddKod("1");
    AddKod("12345678");
    AddKod("2");
    AddKod("20000012345678");
    AddKod("3");
    dm.MDKody.First();
    TTableGridRef grid(dm.MDKody);
    EXPECT_EQ(MessageOf([&] {
                  dm.CheckTable(grid, "Numer", "Numery nie mogą się powtarzać.", false,
                                [&](int row) { return dm.CheckKody(row); });
              }),
              "Numery nie mogą się powtarzać.");
    EXPECT_EQ(dm.MDKody.RecNo(), 4); // the second spelling
    EXPECT_FALSE(dm.MDKody.ControlsDisabled());
}

TEST_F(DataModule, CheckTableStopsOnTheFirstBadRecordAndRestoresOnSuccess)
{
    dm.ApplyProfile(0, false, 0);
    AddKod("1", 1);
    AddKod("2", 25); // group beyond 20
    AddKod("3", 1);
    dm.MDKody.SetRecNo(3);
    TTableGridRef grid(dm.MDKody);
    auto check = [&](int row) { return dm.CheckKody(row); };
    EXPECT_EQ(MessageOf([&] { dm.CheckTable(grid, "Numer", "dup", false, check); }),
              "\"25\" nie może być wartością pola \"Grupa\". Dozwolona wartość jest z zakresu 1 do 20");
    EXPECT_EQ(dm.MDKody.RecNo(), 2);

    dm.MDKody.SetRecNo(3);
    EXPECT_EQ(MessageOf([&] { dm.CheckTable(grid, "Numer", "dup", false); }), "no error");
    EXPECT_EQ(dm.MDKody.RecNo(), 3);

    // Selected rows only, in selection order; gone selections are skipped.
    const TBookmark first = dm.MDKody.BookmarkAt(0);
    const TBookmark third = dm.MDKody.BookmarkAt(2);
    const TBookmark second = dm.MDKody.BookmarkAt(1);
    grid.SetSelectedRows({third, 123456, first});
    EXPECT_EQ(MessageOf([&] { dm.CheckTable(grid, "Numer", "dup", true, check); }), "no error");
    grid.SetSelectedRows({third, second, first});
    EXPECT_THROW(dm.CheckTable(grid, "Numer", "dup", true, check), Exception);
    EXPECT_EQ(dm.MDKody.GetBookmark(), second);
    grid.SetSelectedRows({first, first});
    EXPECT_EQ(MessageOf([&] { dm.CheckTable(grid, "Numer", "dup", true); }), "dup");

    TRxMemoryData empty;
    TTableGridRef none(dm.MDKaucje);
    EXPECT_NO_THROW(dm.CheckTable(none, "Numer", "dup", false));
}

TEST_F(DataModule, CheckTableComparesKeysIgnoringCase)
{
    dm.MDPowtNazwy.Append();
    dm.MDPowtNazwy.FieldByName("Nazwa").SetAsString("żuk");
    dm.MDPowtNazwy.Post();
    dm.MDPowtNazwy.Append();
    dm.MDPowtNazwy.FieldByName("Nazwa").SetAsString("ŻUK");
    dm.MDPowtNazwy.Post();
    TTableGridRef grid(dm.MDPowtNazwy);
    EXPECT_EQ(MessageOf([&] { dm.CheckTable(grid, "Nazwa", "dup", false); }), "dup");
}

TEST_F(DataModule, CopyTableAppendsStoredValues)
{
    dm.ApplyProfile(5, true, 0);
    AddGrupa(dm.MDGrupyWKasie, 1, "B", "Mleko");
    AddGrupa(dm.MDGrupyWKasie, 2, "C", "Chleb");
    dm.MDGrupyWKasie.Edit();
    dm.MDGrupyWKasie.FieldByName("LDW").SetAsCurrency(*Currency::Parse("12,34", u','));
    dm.MDGrupyWKasie.Post();
    dm.MDGrupyWKasie.First();
    AddGrupa(dm.MDGrupy, 7);
    AddGrupa(dm.MDGrupy, 8);
    dm.MDGrupy.SetRecNo(2);
    dm.Modified = false;

    dm.CopyTable(dm.MDGrupyWKasie, dm.MDGrupy, false);
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 4);
    EXPECT_EQ(dm.MDGrupy.RecNo(), 2); // back on its position
    EXPECT_EQ(dm.MDGrupyWKasie.RecNo(), 1);
    EXPECT_TRUE(dm.Modified);
    EXPECT_FALSE(dm.Loading);
    EXPECT_EQ(dm.MDGrupy.FieldByName("Nazwa").TextAt(3), "Chleb");
    EXPECT_EQ(dm.MDGrupy.FieldByName("LDW").ValueAt(3), TFieldValue(std::int64_t(123400)));
    EXPECT_EQ(dm.MDGrupy.FieldByName("VAT").TextAt(2), "B");

    dm.CopyTable(dm.MDGrupyWKasie, dm.MDGrupy, true);
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 2);
    EXPECT_EQ(dm.MDGrupy.RecNo(), 1); // empty before: first record
}

TEST_F(DataModule, CopyTableFromAnEmptySource)
{
    AddKod("5");
    dm.Modified = false;
    dm.CopyTable(dm.MDKodyWKasie, dm.MDKody, false);
    EXPECT_EQ(dm.MDKody.RecordCount(), 1);
    EXPECT_FALSE(dm.Modified);
    dm.CopyTable(dm.MDKodyWKasie, dm.MDKody, true);
    EXPECT_TRUE(dm.MDKody.IsEmpty());
    EXPECT_FALSE(dm.Loading);
    EXPECT_FALSE(dm.MDKody.ControlsDisabled());
}

TEST_F(DataModule, CopyTableKeepsLettersTheProfileRefusesAndEndsLoadingOnFailure)
{
    // A twin read under another profile may hold "Z"; the copy takes it as stored.
    dm.Loading = true;
    AddGrupa(dm.MDGrupyWKasie, 1);
    dm.MDGrupyWKasie.Edit();
    dm.MDGrupyWKasie.FieldByName("VAT").SetText("Z");
    dm.MDGrupyWKasie.Post();
    dm.Loading = false;
    dm.CopyTable(dm.MDGrupyWKasie, dm.MDGrupy, true);
    EXPECT_EQ(dm.MDGrupy.FieldByName("VAT").AsString(), "Z");

    // A failing post stops the copy, leaves no pending record and ends Loading.
    dm.MDGrupy.OnBeforePost = [](TRxMemoryData &) { throw EDatabaseError("odmowa"); };
    EXPECT_THROW(dm.CopyTable(dm.MDGrupyWKasie, dm.MDGrupy, false), EDatabaseError);
    EXPECT_EQ(dm.MDGrupy.State(), TDataSetState::Browse);
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 1);
    EXPECT_FALSE(dm.Loading);
    EXPECT_FALSE(dm.MDGrupy.ControlsDisabled());
}

TEST_F(DataModule, ApplyProfileStoresTheSettings)
{
    dm.ApplyProfile(2, false, 0);
    EXPECT_EQ(dm.Kasa, 2);
    EXPECT_EQ(dm.Eprom235, 1);
    EXPECT_FALSE(dm.Kaucje);
    EXPECT_EQ(dm.RegisterProfile.ModelCode, "237");
    dm.ApplyProfile(9, true, 3);
    EXPECT_EQ(dm.Kasa, 0);
    EXPECT_EQ(dm.Eprom235, 0);
    EXPECT_TRUE(dm.RegisterProfile.DepositGroups);
}

TEST_F(DataModule, DuplicateNamesResultFields)
{
    TRxMemoryData &t = dm.MDPowtNazwy;
    t.Append();
    t.FieldByName("Nazwa").SetAsString("Sok jabłkowy 1l");
    t.FieldByName("NrTabeli").SetAsInteger(1);
    EXPECT_EQ(t.FieldByName("NazwaInt").AsString(), "SOKJABŁKOWY1L");
    EXPECT_EQ(t.FieldByName("Gdzie").AsString(), "Kody w edytorze");
    t.FieldByName("NrTabeli").SetAsInteger(0);
    EXPECT_EQ(t.FieldByName("Gdzie").AsString(), "Grupy w edytorze");
    t.FieldByName("Nazwa").SetAsString("---");
    EXPECT_TRUE(t.FieldByName("NazwaInt").IsNull());
    t.Post();
    EXPECT_FALSE(dm.Modified);
}

TEST(NazwaIntOfName, KeepsWhatTheRegisterDistinguishes)
{
    const struct {
        const char *name;
        const char *seen;
    } cases[] = {
        {"Sok jabłkowy 1l", "SOKJABŁKOWY1L"},
        {"SOK-JABŁKOWY 1L", "SOKJABŁKOWY1L"},
        {"ząbek, ćma/óśźż.", "ZĄBEK,ĆMA/ÓŚŹŻ."},
        {"  - -", ""},
        {"Mleko 3,2%", "MLEKO3,2"},
        {"Café (ü)", "CAF"},
        {"Éclair", "ŹCLAIR"}, // stored as "Źclair"
        {"Ôsma", "ŚSMA"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(NazwaInt(QString::fromUtf8(c.name)), QString::fromUtf8(c.seen)) << c.name;
}

} // namespace
