#include "data/UCodePage.h"
#include "data/UDM.h"
#include "data/UErrors.h"
#include "data/UFileLock.h"
#include "data/UFinally.h"
#include "data/ULocale.h"
#include "data/UOrvanIO.h"
#include "data_test_support.h"
#include "pipe_guard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <random>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

const char *kGrupyLine = "[Grupy] Numer=1,2;Nazwa=4,16;VAT=21,1;Cena=23,9;RodzajSprz=33,2;Limit=36,1;LDW=38,13;LDI=52,9;LOW=62,13;LOI=76,9;";
const char *kKodyLine = "[Kody] Numer=1,14;Nazwa=16,16;Grupa=33,2;Cena=36,9;RodzajCeny=46,2;LDW=49,13;LDI=63,9;";
const char *kKaucjeLine = "[Kaucje] Numer=1,2;Cena=4,9;LDWw=14,13;LDIw=28,9;LDWz=38,13;LDIz=52,9;";

class DataFile : public PolishDataModuleTest {
protected:
    void SetUp() override
    {
        PolishDataModuleTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }

    QString Path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    static void WriteBytes(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Text lines joined with CR LF, in Windows-1250.
    static QByteArray Lines(const QStringList &lines)
    {
        QByteArray out;
        for (const QString &l : lines)
            out += ToCp1250(l) + "\r\n";
        return out;
    }
    static QByteArray ReadBytes(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return f.readAll();
    }
    void AddGrupa(int numer, const QString &nazwa, const QString &vat = "A", const QString &cena = "0")
    {
        dm.MDGrupy.Append();
        dm.MDGrupy.FieldByName("Numer").SetAsInteger(numer);
        if (!nazwa.isEmpty())
            dm.MDGrupy.FieldByName("Nazwa").SetAsString(nazwa);
        dm.MDGrupy.FieldByName("VAT").SetText(vat);
        dm.MDGrupy.FieldByName("Cena").SetText(cena);
        dm.MDGrupy.Post();
    }
    void AddKod(const QString &numer, const QString &nazwa, int grupa = 1, const QString &cena = "0")
    {
        dm.MDKody.Append();
        dm.MDKody.FieldByName("Numer").SetText(numer);
        if (!nazwa.isEmpty())
            dm.MDKody.FieldByName("Nazwa").SetAsString(nazwa);
        dm.MDKody.FieldByName("Grupa").SetAsInteger(grupa);
        dm.MDKody.FieldByName("Cena").SetText(cena);
        dm.MDKody.Post();
    }
    void AddKaucja(int numer, const QString &cena)
    {
        dm.MDKaucje.Append();
        dm.MDKaucje.FieldByName("Numer").SetAsInteger(numer);
        dm.MDKaucje.FieldByName("Cena").SetText(cena);
        dm.MDKaucje.Post();
    }
    static std::string Column(const TRxMemoryData &t, const char *field)
    {
        std::string out;
        const TField &f = t.FieldByName(field);
        for (int r = 0; r < t.RecordCount(); ++r)
            out += (r ? "|" : "") + f.TextAt(r).toStdString();
        return out;
    }

    QTemporaryDir dir;
};

TEST_F(DataFile, WritesTheExactSectionLines)
{
    EXPECT_EQ(SectionLine("Grupy", dm.MDGrupy), kGrupyLine);
    EXPECT_EQ(SectionLine("Kody", dm.MDKody), kKodyLine);
    EXPECT_EQ(SectionLine("Kaucje", dm.MDKaucje), kKaucjeLine);
}

TEST_F(DataFile, WritesTheExampleGroupLineWithDecimalComma)
{
    AddGrupa(1, "NAPOJE", "A", "2,50");
    const QString line = RecordLine(0, dm.MDGrupy, 0);
    EXPECT_EQ(line, " 1,NAPOJE          ,A,     2,50,No,8,         0,00,    0,000,         0,00,    0,000,");
    EXPECT_EQ(line.size(), 85);
}

TEST_F(DataFile, WritesCodeAndDepositLinesWithTheirAbbreviations)
{
    FormatSettings() = TFormatSettings::PointDecimal();
    AddKod("12", "Chleb", 3, "1.99");
    dm.MDKody.Edit();
    dm.MDKody.FieldByName("RodzajCeny").SetText("W");
    dm.MDKody.Post();
    AddKaucja(2, "0.5");
    EXPECT_EQ(RecordLine(1, dm.MDKody, 0),
              "            12,Chleb           , 3,     1.99,Wp,         0.00,    0.000,");
    EXPECT_EQ(RecordLine(2, dm.MDKaucje, 0), " 2,     0.50,         0.00,    0.000,         0.00,    0.000,");
}

TEST_F(DataFile, WritesAmountsAndQuantitiesAsTheLocaleFormatsThem)
{
    const std::int64_t units[] = {0, 1, 49, 50, 51, 149, 150, -49, -50, -51, -12345678, 99999999, 1000000000000,
                                  std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()};
    const double quantities[] = {0.0, -0.0, 0.0005, -0.0004, 1.0005, 2.5, -3.25, 1e9, 123456.789, 1e-300};
    for (const TFormatSettings &fs : {TFormatSettings::Polish(), TFormatSettings::PointDecimal()}) {
        FormatSettings() = fs;
        dm.MDKaucje.EmptyTable();
        for (size_t i = 0; i < std::size(units); ++i) {
            dm.MDKaucje.Append();
            dm.MDKaucje.FieldByName("Numer").SetAsInteger(1);
            dm.MDKaucje.FieldByName("Cena").SetAsInteger(0);
            dm.MDKaucje.FieldByName("LDWw").SetValue(units[i]);
            dm.MDKaucje.FieldByName("LDIw").SetAsFloat(quantities[i % std::size(quantities)]);
            dm.MDKaucje.Post();
        }
        for (int r = 0; r < dm.MDKaucje.RecordCount(); ++r) {
            const QString line = RecordLine(2, dm.MDKaucje, r);
            EXPECT_TRUE(line.contains(FormatCurrency2(Currency::FromUnits(units[r]), 13) + ","))
                << line.toStdString() << " / " << FormatCurrency2(Currency::FromUnits(units[r])).toStdString();
            EXPECT_TRUE(line.contains(FormatQuantity3(quantities[size_t(r) % std::size(quantities)], 9) + ","))
                << line.toStdString();
        }
    }
}

TEST_F(DataFile, SavesAndLoadsAllSectionsByteExact)
{
    AddGrupa(1, "Napoje", "A", "2,5");
    AddGrupa(2, "Żółć ąę", "B", "999999,99");
    AddKod("20000012345678", "Sok jabłkowy 1l", 2, "3,49");
    AddKod("0", "", 1);
    AddKaucja(1, "0,50");
    const QString file = Path("a.otx");
    SaveDataFile(dm, file, TSectionSet::All());

    const QByteArray expected = Lines({kGrupyLine,
                                       " 1,Napoje          ,A,     2,50,No,8,         0,00,    0,000,         0,00,    0,000,",
                                       " 2,Żółć ąę         ,B,999999,99,No,8,         0,00,    0,000,         0,00,    0,000,",
                                       kKodyLine,
                                       "      12345678,Sok jabłkowy 1l , 2,     3,49,Pr,         0,00,    0,000,",
                                       "             0,                , 1,     0,00,Pr,         0,00,    0,000,",
                                       kKaucjeLine,
                                       " 1,     0,50,         0,00,    0,000,         0,00,    0,000,"});
    EXPECT_EQ(ReadBytes(file), expected);

    TDM other;
    other.ApplyProfile(5, true, 0);
    EXPECT_EQ(ScanDataFile(other, file), TSectionSet::All());
    LoadDataFile(other, file, TSectionSet::All(), true);
    EXPECT_EQ(Column(other.MDGrupy, "Nazwa"), "Napoje|Żółć ąę");
    EXPECT_EQ(Column(other.MDGrupy, "Cena"), "2,5|999999,99");
    EXPECT_EQ(other.MDKody.FieldByName("Numer").ValueAt(0), TFieldValue(QString("20000012345678")));
    EXPECT_EQ(other.MDKody.FieldByName("Numer").ValueAt(1), TFieldValue(QString("00000000000000")));
    EXPECT_EQ(Column(other.MDKody, "Nazwa"), "Sok jabłkowy 1l|");
    EXPECT_EQ(Column(other.MDKaucje, "Cena"), "0,5");
    EXPECT_TRUE(other.Modified);
    EXPECT_FALSE(other.Loading);
    EXPECT_EQ(other.MDKody.RecNo(), 1);

    const QString again = Path("b.otx");
    SaveDataFile(other, again, TSectionSet::All());
    EXPECT_EQ(ReadBytes(again), expected);
}

TEST_F(DataFile, SavesOnlyTheChosenSectionsAlsoWhenEmpty)
{
    const QString file = Path("a.otx");
    SaveDataFile(dm, file, TSectionSet::Of({2, 0}));
    EXPECT_EQ(ReadBytes(file), Lines({kGrupyLine, kKaucjeLine}));
}

TEST_F(DataFile, LoadsOnlyTheChosenSection)
{
    AddGrupa(1, "G");
    AddKod("5", "K");
    AddKaucja(1, "1");
    const QString file = Path("a.otx");
    SaveDataFile(dm, file, TSectionSet::All());
    TDM other;
    other.ApplyProfile(5, true, 0);
    other.MDGrupy.Append();
    other.MDGrupy.FieldByName("Numer").SetAsInteger(7);
    other.MDGrupy.Post();
    LoadDataFile(other, file, TSectionSet::Of({1}), true);
    EXPECT_EQ(Column(other.MDGrupy, "Numer"), "7");
    EXPECT_EQ(Column(other.MDKody, "Numer"), "5");
    EXPECT_TRUE(other.MDKaucje.IsEmpty());
}

TEST_F(DataFile, AppendsWithoutClearFirstAndKeepsThePosition)
{
    AddGrupa(3, "C");
    AddGrupa(4, "D");
    dm.MDGrupy.First();
    const QString file = Path("a.otx");
    WriteBytes(file, Lines({kGrupyLine, " 1,A               ,A,     0,00,No,8,"}));
    LoadDataFile(dm, file, TSectionSet::All(), false);
    EXPECT_EQ(Column(dm.MDGrupy, "Numer"), "3|4|1");
    EXPECT_EQ(dm.MDGrupy.RecNo(), 1);
}

// Column lists and column texts the reader must cope with.
struct LoadCase {
    const char *name;
    QStringList lines;
    const char *table;
    const char *field;
    const char *expected; // texts of the field, "|" between records
};

TEST_F(DataFile, ReadsColumnsByTheirList)
{
    const std::vector<LoadCase> cases = {
        {"missing RodzajCeny gives the default W",
         {"[Kody] Numer=1,14;Nazwa=16,16;Grupa=33,2;Cena=36,9;", "             1,A               , 1,     1,00,"},
         "MDKody", "RodzajCeny", "Wprowadz."},
        {"missing RodzajSprz gives a normal sale",
         {"[Grupy] Numer=1,2;VAT=4,1;", " 1,A,"}, "MDGrupy", "RodzajSprz", "Normalna"},
        {"unknown item is skipped",
         {"[Grupy] Numer=1,2;Stawka=90,3;Nazwa=4,16;", " 5,Abc"}, "MDGrupy", "Nazwa", "Abc"},
        {"code 12 is stored canonical",
         {"[Kody] Numer=1,14;", "            12,"}, "MDKody", "Numer", "12"},
        {"counters with any content load as zero",
         {kGrupyLine, " 1,X               ,A,     1,00,Na,3,       xxx   ,   12,5  ,  -77        ,  abc    ,"},
         "MDGrupy", "LDW", "0"},
        {"counter quantity loads as zero",
         {kKaucjeLine, " 1,     1,00,     1234,56,   99,000,         1,00,   1,000,"}, "MDKaucje", "LDIz", "0"},
        {"names keep leading blanks, lose trailing ones",
         {kGrupyLine, " 1,  Sok           ,A,     1,00,No,8,"}, "MDGrupy", "Nazwa", "  Sok"},
        {"deposit columns are trimmed both ends",
         {"[Kaucje] Numer=1,4;Cena=6,12;", "  3 ,   0,75     ,"}, "MDKaucje", "Cena", "0,75"},
        {"a column beyond the line end is empty",
         {"[Kody] Numer=1,14;Nazwa=200,16;", "             9"}, "MDKody", "Nazwa", ""},
        {"columns in another order and width",
         {"[Kody] Nazwa=1,20;Numer=22,5;", "Mleko 3,2%          ,  777"}, "MDKody", "Numer", "777"},
        {"line ends LF only, blank lines skipped",
         {}, "MDGrupy", "Numer", "1|2"},
        {"amount written with a point reads under a comma locale",
         {kGrupyLine, " 1,A               ,A,     2.50,No,8,"}, "MDGrupy", "Cena", "2,5"},
        {"field names in the list ignore case",
         {"[Grupy] numer=1,2;vat=4,1;", "12,B"}, "MDGrupy", "VAT", "B"},
        {"huge width reads to the line end",
         {"[Grupy] Numer=1,2;Nazwa=4,2147483647999;", " 1,Duża nazwa"}, "MDGrupy", "Nazwa", "Duża nazwa"},
    };
    for (const LoadCase &c : cases) {
        SCOPED_TRACE(c.name);
        TDM t;
        t.ApplyProfile(5, true, 0);
        const QString file = Path("case.otx");
        if (c.lines.isEmpty())
            WriteBytes(file, QByteArray("[Grupy] Numer=1,2;VAT=4,1;\n 1,A\n\n\n 2,B\n"));
        else
            WriteBytes(file, Lines(c.lines));
        ASSERT_EQ(MessageOf([&] { LoadDataFile(t, file, TSectionSet::All(), true); }), "no error");
        const TRxMemoryData &table = QString(c.table) == "MDKody" ? t.MDKody
                                     : QString(c.table) == "MDGrupy" ? t.MDGrupy
                                                                     : t.MDKaucje;
        EXPECT_EQ(Column(table, c.field), c.expected);
    }
}

struct DamageCase {
    const char *name;
    QStringList lines;
    const char *message; // %F = file name
    int groupsAfter;     // records in MDGrupy after the failed load
};

TEST_F(DataFile, RefusesDamagedFilesKeepingWhatWasRead)
{
    const QString good = " 1,A               ,A,     1,00,No,8,";
    const std::vector<DamageCase> cases = {
        {"empty section name", {kGrupyLine, good, "[]"}, "Plik \"%F\" jest uszkodzony.", 1},
        {"section name without ]", {"[Grupy"}, "Plik \"%F\" jest uszkodzony.", 0},
        {"column list without final ;", {"[Grupy] Numer=1,2;Nazwa=4,16"}, "Plik \"%F\" jest uszkodzony.", 0},
        {"item too short", {"[Grupy] N=1;"}, "Plik \"%F\" jest uszkodzony.", 0},
        {"item without =", {"[Grupy] Numer1,2;"}, "Plik \"%F\" jest uszkodzony.", 0},
        {"item without width", {"[Grupy] Numer=1,;"}, "Plik \"%F\" jest uszkodzony.", 0},
        {"start not a number", {"[Grupy] Numer=x,2;"}, "Plik \"%F\" jest uszkodzony.", 0},
        {"negative start", {"[Grupy] Numer=-1,2;"}, "Plik \"%F\" jest uszkodzony.", 0},
        {"zero width", {"[Grupy] Numer=1,0;"}, "Plik \"%F\" jest uszkodzony.", 0},
        {"number beyond 64 bits", {"[Grupy] Numer=99999999999999999999,2;"}, "Plik \"%F\" jest uszkodzony.", 0},
        {"damaged list of a later section", {kGrupyLine, good, "[Kody] Numer=1,14"}, "Plik \"%F\" jest uszkodzony.", 1},
        {"refused VAT letter",
         {kGrupyLine, good, " 2,B               ,X,     1,00,No,8,", " 3,C               ,A,     1,00,No,8,"},
         "Niepoprawne dane w pliku wejściowym: \r 2,B               ,X,     1,00,No,8,\rWczytywanie zostało przerwane", 1},
        {"refused sale kind",
         {kGrupyLine, " 2,B               ,A,     1,00,Xy,8,"},
         "Niepoprawne dane w pliku wejściowym: \r 2,B               ,A,     1,00,Xy,8,\rWczytywanie zostało przerwane", 0},
        {"price is not a number",
         {kGrupyLine, " 2,B               ,A,    1a,00,No,8,"},
         "Niepoprawne dane w pliku wejściowym: \r 2,B               ,A,    1a,00,No,8,\rWczytywanie zostało przerwane", 0},
        {"group number out of range",
         {kGrupyLine, "31,B               ,A,     1,00,No,8,"},
         "Niepoprawne dane w pliku wejściowym: \r31,B               ,A,     1,00,No,8,\rWczytywanie zostało przerwane", 0},
        {"price out of range",
         {kGrupyLine, good, " 2,B               ,A,1000000,0,No,8,"},
         "Niepoprawne dane w pliku wejściowym: \r 2,B               ,A,1000000,0,No,8,\rWczytywanie zostało przerwane", 1},
        {"limit out of range",
         {kGrupyLine, " 2,B               ,A,     1,00,No,9,"},
         "Niepoprawne dane w pliku wejściowym: \r 2,B               ,A,     1,00,No,9,\rWczytywanie zostało przerwane", 0},
        {"required VAT left empty (post)",
         {kGrupyLine, " 2,B               , ,     1,00,No,8,"}, "Pole \"VAT\" musi posiadać wartość", 0},
        {"later section not read after a refused record",
         {kGrupyLine, "xx", kKodyLine, "             1,A               , 1,     1,00,Pr,"},
         "Niepoprawne dane w pliku wejściowym: \rxx\rWczytywanie zostało przerwane", 0},
    };
    for (const DamageCase &c : cases) {
        SCOPED_TRACE(c.name);
        TDM t;
        t.ApplyProfile(5, true, 0);
        const QString file = Path("bad.otx");
        WriteBytes(file, Lines(c.lines));
        std::string expected = c.message;
        const size_t at = expected.find("%F");
        if (at != std::string::npos)
            expected.replace(at, 2, file.toStdString());
        EXPECT_EQ(MessageOf([&] { LoadDataFile(t, file, TSectionSet::All(), true); }), expected);
        EXPECT_EQ(t.MDGrupy.RecordCount(), c.groupsAfter);
        EXPECT_TRUE(t.MDKody.IsEmpty());
        EXPECT_EQ(t.MDGrupy.State(), TDataSetState::Browse);
        EXPECT_FALSE(t.Loading);
    }
}

// A file made before may hold letters the register changes: it loads and
// the checks flag the record. A control character in a name refuses the
// file at its line, quoted with the line's number; a long line is cut.
TEST_F(DataFile, NamesTheRegisterCannotStoreOnLoad)
{
    const QString file = Path("names.otx");
    WriteBytes(file, Lines({kKodyLine, "             1,Éclair          , 1,     1,00,Pr,"}));
    LoadDataFile(dm, file, TSectionSet::All(), true);
    EXPECT_EQ(Column(dm.MDKody, "Nazwa"), "Éclair");
    EXPECT_EQ(dm.CheckKody(CurrentRecord).Result, CheckResult::Error);

    const struct {
        const char *name;
        QByteArray bytes;
        std::string message;
    } refused[] = {
        {"carriage return inside a name",
         "[Kody] Numer=1,14;Nazwa=16,16;Grupa=33,2;\r\n             1,Ab" + QByteArray(14, ' ') + ", 1,\r\n"
         "             2,Mleko\r2%        , 1,\r\n",
         "Niepoprawne dane w pliku wejściowym (wiersz 3 zawiera znak sterujący o kodzie 0x0D): \r"
         "             2,Mleko<0D>2%        , 1,\rWczytywanie zostało przerwane"},
        {"a long line is cut", QByteArray("[Grupy] Numer=1,2;\r\nx") + QByteArray(1000000, 'y'),
         "Niepoprawne dane w pliku wejściowym: \rx" + std::string(99, 'y') + "…\rWczytywanie zostało przerwane"},
    };
    for (const auto &c : refused) {
        SCOPED_TRACE(c.name);
        TDM t;
        t.ApplyProfile(5, true, 0);
        WriteBytes(file, c.bytes);
        EXPECT_EQ(MessageOf([&] { LoadDataFile(t, file, TSectionSet::All(), true); }), c.message);
    }
}

TEST_F(DataFile, RefusedRecordRaisesTheFileErrorClass)
{
    const QString file = Path("bad.otx");
    WriteBytes(file, Lines({kKodyLine, "         12x45,A               , 1,     1,00,Pr,"}));
    EXPECT_THROW(LoadDataFile(dm, file, TSectionSet::All(), true), EOrvanFileError);
}

TEST_F(DataFile, LowerCaseSectionNameIsNotASection)
{
    const QString file = Path("a.otx");
    WriteBytes(file, Lines({"[grupy] Numer=1,2;", " 1,"}));
    EXPECT_TRUE(ScanDataFile(dm, file).IsEmpty());
    LoadDataFile(dm, file, TSectionSet::All(), true);
    EXPECT_TRUE(dm.MDGrupy.IsEmpty());
}

TEST_F(DataFile, EmptySectionAsLastLineEmptiesItsTable)
{
    AddKod("1", "A");
    AddGrupa(1, "G");
    const QString file = Path("a.otx");
    WriteBytes(file, QByteArray(kGrupyLine) + "\r\n 2,H               ,A,     0,00,No,8,\r\n" + kKodyLine + "\r\n");
    LoadDataFile(dm, file, TSectionSet::All(), true);
    EXPECT_TRUE(dm.MDKody.IsEmpty());
    EXPECT_EQ(Column(dm.MDGrupy, "Nazwa"), "H");
}

TEST_F(DataFile, EmptyFileLoadsNothing)
{
    AddGrupa(1, "G");
    const QString file = Path("empty.otx");
    WriteBytes(file, QByteArray());
    LoadDataFile(dm, file, TSectionSet::All(), true);
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 1);
    EXPECT_TRUE(ScanDataFile(dm, file).IsEmpty());
}

TEST_F(DataFile, ScanFindsKnownSectionsForTheProfile)
{
    const QString file = Path("a.otx");
    WriteBytes(file, Lines({"junk before", "[Kaucje] Numer=1,2;", "[Inne] x=1,1;", "[Kody]"}));
    EXPECT_EQ(ScanDataFile(dm, file), TSectionSet::Of({1, 2}));
    dm.ApplyProfile(5, false, 0); // no deposits table
    EXPECT_EQ(ScanDataFile(dm, file), TSectionSet::Of({1}));

    WriteBytes(file, Lines({"[Kody]", "[]"}));
    EXPECT_EQ(MessageOf([&] { ScanDataFile(dm, file); }), "Plik \"" + file.toStdString() + "\" jest uszkodzony.");
}

TEST_F(DataFile, MissingFileMessages)
{
    const QString file = Path("none.otx");
    EXPECT_EQ(MessageOf([&] { ScanDataFile(dm, file); }), "Nie znaleziono pliku " + file.toStdString() + "!");
    EXPECT_THROW(ScanDataFile(dm, file), EInOutError);
    EXPECT_THROW(LoadDataFile(dm, file, TSectionSet::All(), true), EInOutError);
    EXPECT_THROW(LoadDataFile(dm, dir.path(), TSectionSet::All(), true), EInOutError);
    EXPECT_FALSE(dm.Loading);
}

TEST_F(DataFile, FailedSaveKeepsThePreviousFileWhole)
{
    AddGrupa(1, "G");
    AddKod("1", "K");
    const QString file = Path("a.otx");
    SaveDataFile(dm, file, TSectionSet::All());
    const QByteArray before = ReadBytes(file);

    // A pending edit of the codes that cannot be posted stops the save
    // after the groups have been written.
    dm.MDGrupy.Edit();
    dm.MDGrupy.FieldByName("Nazwa").SetAsString("Zmieniona");
    dm.MDKody.Edit();
    dm.MDKody.FieldByName("Grupa").Clear();
    EXPECT_EQ(MessageOf([&] { SaveDataFile(dm, file, TSectionSet::All()); }), "Pole \"Grupa\" musi posiadać wartość");
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.otx"});
    dm.MDKody.Cancel();
    dm.MDGrupy.Cancel();

    EXPECT_THROW(SaveDataFile(dm, dir.path(), TSectionSet::All()), EInOutError);
    EXPECT_THROW(SaveDataFile(dm, Path("no/such/dir.otx"), TSectionSet::All()), EInOutError);
}

// What a save killed just before its rename leaves (a pending file of the
// target's own) goes at the next load or save; a read-only file is refused
// rather than renamed over; the saved file keeps its mode.
TEST_F(DataFile, ReplacingKeepsModeRefusesReadOnlyAndClearsAnUnfinishedSave)
{
    AddGrupa(1, "G");
    const QString file = Path("a.otx");
    const QString pending = PendingPrefix(file) + QStringLiteral("0123456789ab");
    auto leave = [&] {
        QFile f(pending);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Grupy] nowa, niedokończona");
    };
    SaveDataFile(dm, file, TSectionSet::All());
    leave();
    LoadDataFile(dm, file, TSectionSet::All(), true);
    EXPECT_FALSE(QFileInfo::exists(pending));
    leave();
    SaveDataFile(dm, file, TSectionSet::All());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.otx"});

    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner));
    if (!QFileInfo(file).isWritable()) { // an administrator may write anyway
        const QByteArray before = ReadBytes(file);
        const std::string message = MessageOf([&] { SaveDataFile(dm, file, TSectionSet::All()); });
        EXPECT_EQ(message.rfind(("Nie można zapisać pliku " + file + ": ").toStdString(), 0), 0u) << message;
        EXPECT_EQ(ReadBytes(file), before);
    }
#ifdef _WIN32
    GTEST_SKIP() << "file modes and symbolic links are POSIX's";
#endif
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(file, mode));
    SaveDataFile(dm, file, TSectionSet::All());
    const auto ownerGroupOther = QFileDevice::Permissions(0x7077); // not the "user" bits Qt adds
    EXPECT_EQ(QFile::permissions(file) & ownerGroupOther, mode & ownerGroupOther);

    // Saved through a link, the file it points at changes; the link stays.
    const QString link = Path("link.otx");
    ASSERT_TRUE(QFile::link(file, link));
    AddGrupa(2, "Przez link");
    SaveDataFile(dm, link, TSectionSet::All());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(ReadBytes(file).contains("Przez link"));
}

// Only a regular file of at most 16 MB is read: a device never ends, a
// pipe may never start. A save replaces only a regular file.
TEST_F(DataFile, ReadsAndReplacesOnlyRegularFiles)
{
    const std::string notRegular = ": to nie jest zwykły plik, lecz urządzenie, potok lub gniazdo";
    const QString big = Path("duzy.otx");
    WriteBytes(big, Lines({kGrupyLine}));
    ASSERT_TRUE(QFile::resize(big, InputFileLimit + 1));
#ifdef _WIN32
    // Windows tells devices by their names, in any folder, with any
    // extension; none of them is opened.
    const QStringList devices = {"NUL", "con", Path("COM1.otx"), "LPT1:", "\\\\.\\pipe\\orvan", "\\\\.\\COM12"};
#else
    const QString device = Path("null.otx"), pipe = Path("potok.otx"), link = Path("link.otx");
    ASSERT_TRUE(QFile::link("/dev/null", device));
    const TPipeGuard guard(pipe.toStdString());
    ASSERT_TRUE(guard.Ok());
    ASSERT_TRUE(QFile::link(pipe, link));
    const QStringList devices = {device, pipe, link};
#endif
    EXPECT_EQ(MessageOf([&] { LoadDataFile(dm, big, TSectionSet::All(), true); }),
              "Nie można otworzyć pliku " + big.toStdString() + ": plik ma ponad 16 MB, a żadna kasa nie ma tylu danych");
    AddGrupa(1, "G");
    for (const QString &file : devices) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_EQ(MessageOf([&] { LoadDataFile(dm, file, TSectionSet::All(), true); }),
                  "Nie można otworzyć pliku " + file.toStdString() + notRegular);
        EXPECT_EQ(MessageOf([&] { SaveDataFile(dm, file, TSectionSet::All()); }),
                  "Nie można zapisać pliku " + file.toStdString() + notRegular);
    }
    EXPECT_EQ(QDir(dir.path()).entryList({"*.zapis*"}, QDir::AllEntries | QDir::Hidden | QDir::System), QStringList());
#ifndef _WIN32
    EXPECT_FALSE(QFileInfo(pipe).isFile() || QFileInfo(pipe).isSymLink());
#endif
}

// Whatever someone put under a name a save could write first (a link to
// their victim, a file anyone may write, a folder) is neither followed nor
// written nor in the way: the save makes a name of its own. A target name
// as long as the file system allows saves too.
TEST_F(DataFile, APlantedPendingNameIsNeitherFollowedNorWrittenNorInTheWay)
{
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links and file modes are POSIX's";
#else
    enum TPlant { Link, OpenFile, Folder };
    struct TCase {
        int nameLength;     // 0: "kody.csv"
        TPlant plant;
        bool atOldName;     // "<target>.zapis"
        bool atOwnPattern;  // names of the target's own pending pattern
    };
    const TCase cases[] = {
        {0, Link, true, true},       {0, OpenFile, true, false}, {0, Folder, true, true},
        {250, Link, false, true},    {255, Link, false, true},   {255, Folder, false, true},
    };
    int round = 0;
    for (const TCase &c : cases) {
        SCOPED_TRACE(round);
        const QString folder = dir.filePath(QString::number(round++));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString target =
            folder + u'/' + (c.nameLength ? QString(c.nameLength - 4, u'k') + QStringLiteral(".csv") : QStringLiteral("kody.csv"));
        const QString victim = folder + QStringLiteral("/ofiara.txt");
        WriteBytes(victim, "dane ofiary");
        WriteBytes(target, "stare");
        QStringList planted;
        if (c.atOldName)
            planted << target + QStringLiteral(".zapis");
        if (c.atOwnPattern)
            for (const char *random : {"000000000000", "0123456789ab", "ffffffffffff"})
                planted << PendingPrefix(target) + QLatin1String(random);
        for (const QString &name : planted) {
            if (c.plant == Link) {
                ASSERT_TRUE(QFile::link(victim, name));
            } else if (c.plant == Folder) {
                ASSERT_TRUE(QDir().mkdir(name));
            } else {
                WriteBytes(name, "podrzucony");
                ASSERT_EQ(::chmod(QFile::encodeName(name).constData(), 0666), 0);
            }
        }
        EXPECT_EQ(TryReplaceFile(target, "nowe"), QString());
        RemoveUnfinishedSave(target);
        EXPECT_EQ(ReadBytes(target), "nowe");
        EXPECT_EQ(ReadBytes(victim), "dane ofiary");
        for (const QString &name : planted) {
            EXPECT_TRUE(c.plant != Link || QFileInfo(name).isSymLink()) << name.toStdString();
            EXPECT_TRUE(c.plant != OpenFile || ReadBytes(name) == "podrzucony") << name.toStdString();
        }
        // Nothing of the save's own is left beside the target.
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
                  2 + planted.size());
    }
#endif
}

TEST_F(DataFile, NameOutsideTheCodePageIsRefusedAtTheField)
{
    dm.MDGrupy.Append();
    EXPECT_THROW(dm.MDGrupy.FieldByName("Nazwa").SetText(QString::fromUtf8("Борщ")), EDatabaseError);
    dm.MDGrupy.Cancel();
}

// No sequence of bytes crashes the reader: it loads or raises one of the
// program's errors, and the tables stay usable.
TEST_F(DataFile, SurvivesArbitraryBytes)
{
    std::mt19937 rng(20240611);
    std::vector<QByteArray> inputs = {
        QByteArray("[]"), QByteArray("["), QByteArray("[Grupy]"), QByteArray("[Grupy] "), QByteArray("[Grupy] ;"),
        QByteArray("[Grupy] =;"), QByteArray("[Grupy] Numer=1,2"), QByteArray("[Kody] Numer=-5,14;\r\n1"),
        QByteArray("[Kody] Numer=1,-14;\r\n1"), QByteArray("[Kody] Numer=2147483648,2147483648;\r\n1"),
        QByteArray("[Kody] Numer=9223372036854775807,9223372036854775807;\r\n123"),
        QByteArray("[Kody] Numer=1,9223372036854775807;\r\n123"),
        QByteArray("[Kody] Numer=1,14;Nazwa=16,16;\r\n 1,") + QByteArray(200000, 'x'),
        QByteArray("[Grupy] Numer=1,2;\r\n") + QByteArray(100000, '\r'),
        QByteArray("[Grupy] Numer=1,2;\r\n\0\0\0", 23), QByteArray(1, '\xff'), QByteArray("\r\n\r\n\n\r"),
        QByteArray(kGrupyLine).left(40), QByteArray(kKodyLine) + "\r\n            1",
        QByteArray("[Kaucje] Numer=1,2;Cena=4,9;\r\n 1,   -0,01"),
        QByteArray("[Kaucje] Numer=1,2;Cena=4,9;\r\n 1,1e308"),
        QByteArray("[Grupy] Limit=1,1;Numer=2,6;\r\n999999"),
        QByteArray("[Grupy] Numer=1,6;\r\n-32769"),
    };
    for (int i = 0; i < 300; ++i) {
        QByteArray b(int(rng() % 400), Qt::Uninitialized);
        for (char &c : b)
            c = char(rng() % 256);
        if (i % 3 == 0)
            b.prepend(i % 2 ? kKodyLine + QByteArray("\r\n") : kGrupyLine + QByteArray("\n"));
        if (i % 5 == 0) {
            b.insert(int(rng() % (b.size() + 1)), "\r\n[Kaucje] Numer=1,2;Cena=4,9;\r\n 3,  1,00");
        }
        inputs.push_back(b);
    }
    const QString file = Path("fuzz.otx");
    for (size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(i);
        WriteBytes(file, inputs[i]);
        TDM t;
        t.ApplyProfile(int(i % 6), i % 2 == 0, 0);
        try {
            const TSectionSet s = ScanDataFile(t, file);
            LoadDataFile(t, file, s, i % 4 != 0);
        } catch (const Exception &) {
        }
        EXPECT_FALSE(t.Loading);
        for (TRxMemoryData *tab : {&t.MDGrupy, &t.MDKody, &t.MDKaucje})
            EXPECT_EQ(tab->State(), TDataSetState::Browse);
        // What was loaded saves again (a sample: every save syncs the disk).
        if (i % 16 == 0) {
            EXPECT_EQ(MessageOf([&] { SaveDataFile(t, Path("fuzz-out.otx"), TSectionSet::All()); }), "no error");
        }
    }
}

// ------------------------------------------------------------ line files

TEST_F(DataFile, ReadsOneRecordPerLineIncludingEmptyOnes)
{
    const QString file = Path("lines.txt");
    WriteBytes(file, ToCp1250("5;Ala\r\n\r\n7;Żaba\n"));
    int calls = 0;
    ReadLineFile(dm, file, dm.MDKaucje, [&](TRxMemoryData &t, const QString &line) {
        ++calls;
        EXPECT_TRUE(dm.Loading);
        t.FieldByName("Numer").SetText(line.isEmpty() ? "9" : line.section(';', 0, 0));
        t.FieldByName("Cena").SetText(QString::number(line.size()));
    });
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(Column(dm.MDKaucje, "Numer"), "5|9|7");
    EXPECT_EQ(Column(dm.MDKaucje, "Cena"), "5|0|6");
    EXPECT_FALSE(dm.Loading);
    EXPECT_EQ(dm.MDKaucje.RecNo(), 1);
}

TEST_F(DataFile, LineFileStopsAtARefusedLine)
{
    const QString file = Path("lines.txt");
    WriteBytes(file, QByteArray("1\r\nx\r\n3\r\n"));
    const auto convert = [](TRxMemoryData &t, const QString &line) {
        t.FieldByName("Numer").SetText(line);
        t.FieldByName("Cena").SetText("1");
    };
    EXPECT_EQ(MessageOf([&] { ReadLineFile(dm, file, dm.MDKaucje, convert); }),
              "Niepoprawne dane w pliku wejściowym: \rx\rWczytywanie zostało przerwane");
    EXPECT_EQ(Column(dm.MDKaucje, "Numer"), "1");
    EXPECT_EQ(dm.MDKaucje.State(), TDataSetState::Browse);
    EXPECT_FALSE(dm.Loading);
}

TEST_F(DataFile, WritesAllRecordsOrTheSelectionInItsOrder)
{
    for (int n : {1, 2, 3})
        AddKaucja(n, QString::number(n));
    dm.MDKaucje.SetRecNo(2);
    const TBookmark b1 = dm.MDKaucje.BookmarkAt(0);
    const TBookmark b3 = dm.MDKaucje.BookmarkAt(2);
    const auto convert = [](TRxMemoryData &t) { return QStringLiteral("K%1;ł").arg(t.FieldByName("Numer").AsString()); };
    const QString file = Path("out.txt");

    WriteLineFile(file, TTableGridRef(dm.MDKaucje), false, convert);
    EXPECT_EQ(ReadBytes(file), QByteArray("K1;\xb3\r\nK2;\xb3\r\nK3;\xb3\r\n"));
    EXPECT_EQ(dm.MDKaucje.RecNo(), 2);

    dm.MDKaucje.SetRecNo(1);
    TTableGridRef grid(dm.MDKaucje, {b3, 999999, b1});
    dm.MDKaucje.Delete(); // b1 is gone now
    WriteLineFile(file, grid, true, convert);
    EXPECT_EQ(ReadBytes(file), QByteArray("K3;\xb3\r\n"));
}

TEST_F(DataFile, LineOutsideTheCodePageIsRefusedAndTheOldFileStays)
{
    AddKaucja(1, "1");
    const QString file = Path("out.txt");
    WriteBytes(file, "old\r\n");
    const auto convert = [](TRxMemoryData &) { return QString::fromUtf8("Ω€"); };
    EXPECT_THROW(WriteLineFile(file, TTableGridRef(dm.MDKaucje), false, convert), EOrvanFileError);
    EXPECT_EQ(ReadBytes(file), QByteArray("old\r\n"));
}

TEST(DataFileLines, SplitsAtLineFeedsAndDropsOneCarriageReturn)
{
    struct Case {
        QByteArray in;
        std::vector<std::string> out;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"a\r\r\n", {"a\r"}},
        {"\r\n\r\n", {"", ""}},
        {"x\ry\n", {"x\ry"}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> got;
        for (QByteArrayView v : SplitFileLines(c.in))
            got.emplace_back(v.data(), size_t(v.size()));
        EXPECT_EQ(got, c.out) << c.in.toStdString();
    }
}

// Saving some sections over an existing file rewrites only those; every
// other line (counters, sections of other programs, a preface, LF line
// ends, a last line without its end) stays byte for byte.
TEST_F(DataFile, SavingSomeSectionsKeepsEveryOtherLineOfTheFile)
{
    AddGrupa(1, "Nowa");
    const QByteArray groups = QByteArray(kGrupyLine) + "\r\n" + ToCp1250(RecordLine(0, dm.MDGrupy, 0)) + "\r\n";
    const QByteArray oldGroups = QByteArray(kGrupyLine) + "\r\n 1,Stara           ,A,     1,00,No,8,\r\n\r\n";
    const QByteArray codes = QByteArray(kKodyLine)
                             + "\r\n            41,Bu\xB3ka           , 1,     0,80,Pr,        12,40,   15,500,\r\n";
    const QByteArray notes = "[Uwagi]\nzam\xF3wi\xE6 bu\xB3ki\n";
    struct Case {
        const char *Name;
        QByteArray Before; // null: no file yet
        QByteArray After;
    };
    const Case cases[] = {
        {"replaced where it stood", "Sklep\r\n" + oldGroups + codes + notes, "Sklep\r\n" + groups + codes + notes},
        {"appended when new", codes + "[Uwagi] x", codes + "[Uwagi] x\r\n" + groups},
        {"held twice, written once", oldGroups + codes + oldGroups + notes, groups + codes + notes},
        {"no file yet", QByteArray(), groups},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        const QString file = Path("sklep.otx");
        QFile::remove(file);
        if (!c.Before.isNull())
            WriteBytes(file, c.Before);
        SaveDataFileSections(dm, file, TSectionSet::Of({0}));
        EXPECT_EQ(ReadBytes(file).toStdString(), c.After.toStdString());
    }
    // Sections that cannot be told apart are not guessed at.
    const QString damaged = Path("zly.otx");
    WriteBytes(damaged, codes + "[]\r\n" + notes);
    EXPECT_EQ(MessageOf([&] { SaveDataFileSections(dm, damaged, TSectionSet::Of({0})); }),
              ("Plik \"" + damaged + "\" jest uszkodzony.").toStdString());
    EXPECT_EQ(MessageOf([&] { CheckDataFileSections(damaged); }), ("Plik \"" + damaged + "\" jest uszkodzony.").toStdString());
    EXPECT_EQ(ReadBytes(damaged), codes + "[]\r\n" + notes);
}

// A second holder of one data file's lock, under any name of the file, is
// refused (here at once: no wait) until the first lets it go.
TEST_F(DataFile, ASecondLockOnOneFileIsRefusedUntilTheFirstEnds)
{
    const QByteArray savedHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(Path("dane")));
    const TFinally restore([&] { qputenv("XDG_DATA_HOME", savedHome); });
    const QString file = Path("sklep.otx");
    WriteBytes(file, "");
    QStringList names = {file, dir.path() + "/./sklep.otx"};
#ifndef _WIN32
    ASSERT_TRUE(QFile::link(file, Path("link.otx")));
    names << Path("link.otx");
#endif
    auto first = std::make_unique<TDataFileLock>(file, std::chrono::milliseconds(0));
    for (const QString &name : names)
        EXPECT_EQ(MessageOf([&] { TDataFileLock second(name, std::chrono::milliseconds(0)); }),
                  TDataFileLock::BusyMessage(name).toStdString());
    EXPECT_EQ(MessageOf([&] { TDataFileLock other(Path("inny.otx"), std::chrono::milliseconds(0)); }), "no error");
    first.reset();
    EXPECT_EQ(MessageOf([&] { TDataFileLock again(names.last(), std::chrono::milliseconds(0)); }), "no error");
}

} // namespace
