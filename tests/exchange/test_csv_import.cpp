// Article lists from CSV files: the file forms spreadsheets and stock
// programs write, the preview's verdict on each row, and the import itself.
#include "data/UCodePage.h"
#include "exchange/UCsvExport.h"
#include "exchange/UCsvImport.h"
#include "data/UEANUtils.h"

#include "../data/data_test_support.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray Cp1250(const QString &s)
{
    return ToCp1250(s);
}

struct FileForm {
    const char *Name;
    QByteArray Bytes;
    char Separator;
    TCsvEncoding Encoding;
    bool Header;
    // expected rows after the header: first line, name, price
    std::vector<std::tuple<int, QString, QString>> Rows;
};

class CsvImportTest : public PolishDataModuleTest {
protected:
    // Imports bytes into the codes with the given column spec (none: as detected).
    TCsvImport &Preview(const QByteArray &bytes, const QString &spec = QString(), int section = 1)
    {
        m_import = std::make_unique<TCsvImport>(dm, section);
        if (!spec.isEmpty())
            m_import->SetColumns(ParseCsvColumnSpec(spec, m_import->Target()));
        m_import->Load(bytes);
        if (!spec.isEmpty())
            m_import->SetColumns(ParseCsvColumnSpec(spec, m_import->Target()));
        m_import->BuildPreview();
        return *m_import;
    }
    std::unique_ptr<TCsvImport> m_import;
};

TEST_F(CsvImportTest, ReadsTheFileFormsOfSpreadsheetsAndStockPrograms)
{
    const QString kody = QStringLiteral("Numer;Nazwa;Grupa;Cena\r\n");
    const std::vector<FileForm> forms = {
        {"semicolon, UTF-8, CR LF, decimal comma, header",
         (kody + QStringLiteral("5;Żółw ćma;1;2,50\r\n7;Chleb;2;3\r\n")).toUtf8(), ';', TCsvEncoding::Utf8, true,
         {{2, QStringLiteral("Żółw ćma"), QStringLiteral("2,50")}, {3, QStringLiteral("Chleb"), QStringLiteral("3,00")}}},
        {"comma, decimal point, quoted separator and quote, LF",
         QByteArray("Numer,Nazwa,Grupa,Cena\n5,\"Mleko, 2\"\"\",1,1.99\n"), ',', TCsvEncoding::Utf8, true,
         {{2, QStringLiteral("Mleko, 2\""), QStringLiteral("1,99")}}},
        {"tab, Windows-1250 bytes, thousands blank",
         Cp1250(QStringLiteral("Numer\tNazwa\tGrupa\tCena\r\n5\tŁosoś\t1\t1 234,50\r\n")), '\t', TCsvEncoding::Windows1250,
         true, {{2, QStringLiteral("Łosoś"), QStringLiteral("1234,50")}}},
        {"BOM, blank lines, line break inside quotes",
         QByteArray("\xEF\xBB\xBF") + (kody + QStringLiteral("\r\n5;\"Ser\r\nżółty\";1;4,00\r\n;;;\r\n\r\n8;Masło;1;5\r\n")).toUtf8(),
         ';', TCsvEncoding::Utf8, true,
         {{3, QStringLiteral("Ser żółty"), QStringLiteral("4,00")}, {7, QStringLiteral("Masło"), QStringLiteral("5,00")}}},
        {"no header, lone CR line ends, thousands point and decimal comma",
         QByteArray("5;Woda;1;1.234,5\r9;Sok;1;2\r"), ';', TCsvEncoding::Utf8, false,
         {{1, QStringLiteral("Woda"), QStringLiteral("1234,50")}, {2, QStringLiteral("Sok"), QStringLiteral("2,00")}}},
    };
    for (const FileForm &form : forms) {
        SCOPED_TRACE(form.Name);
        TCsvImport &imp = Preview(form.Bytes, QStringLiteral("Numer=1,Nazwa=2,Grupa=3,Cena=4"));
        EXPECT_EQ(imp.Separator(), form.Separator);
        EXPECT_EQ(imp.Encoding(), form.Encoding);
        EXPECT_EQ(imp.HeaderRow(), form.Header);
        ASSERT_EQ(imp.Preview().size(), form.Rows.size());
        for (size_t i = 0; i < form.Rows.size(); ++i) {
            const TCsvPreviewRow &row = imp.Preview()[i];
            const auto &[line, name, price] = form.Rows[i];
            EXPECT_EQ(row.Line, line);
            EXPECT_TRUE(row.Fine) << row.Message.toStdString();
            EXPECT_EQ(imp.PreviewText(int(i), 1), name);
            EXPECT_EQ(imp.PreviewText(int(i), 3), price);
        }
    }
}

TEST_F(CsvImportTest, QuotedLineBreakStaysInsideItsCell)
{
    const auto rows = ParseCsv(QByteArray("1;\"a\r\nb\";x\r\n2;c;y\r\n"), ';', TCsvEncoding::Utf8);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.Cells(0), (QStringList{"1", "a\r\nb", "x"}));
    EXPECT_EQ(rows.Line(1), 3);
}

TEST_F(CsvImportTest, PreviewGivesEachRefusedRowTheFieldsMessage)
{
    const QByteArray file = QStringLiteral("Numer;Nazwa;Grupa;Cena\n"
                                           "5;Chleb;1;2,50\n"
                                           "12x;Zły numer;1;1\n"
                                           "6;Bułka;31;1\n"
                                           "7;Mleko\n"
                                           "8;Ser;1;dwa\n"
                                           "9;Nazwa o długości ponad szesnaście;1;1\n"
                                           "5;Znowu piątka;1;1\n"
                                           "10;Za duża cena;1;1000000\n")
                                .toUtf8();
    TCsvImport &imp = Preview(file, QStringLiteral("Numer=1,Nazwa=2,Grupa=3,Cena=4"));
    struct Expect {
        int Line;
        bool Fine;
        const char *MessageStart;
    };
    const Expect expected[] = {
        {2, true, ""},
        {3, false, "\"12x\" nie jest prawidłowym numerem kodu."},
        {4, false, "31 nie jest poprawną wartością pola \"Grupa\""},
        {5, false, "Wiersz ma za mało kolumn (2): brak kolumny 4 z polem \"Cena\"."},
        {6, false, "\"dwa\""},
        {7, false, "Tekst \"Nazwa o długości ponad szesnaście\" jest za długi dla pola \"Nazwa\""},
        {8, false, "Numer 5 powtarza się w pliku (pierwszy raz w wierszu 2)."},
        {9, false, "1000000 nie jest poprawną wartością pola \"Cena\""},
    };
    ASSERT_EQ(imp.Preview().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const TCsvPreviewRow &row = imp.Preview()[i];
        SCOPED_TRACE(row.Line);
        EXPECT_EQ(row.Line, expected[i].Line);
        EXPECT_EQ(row.Fine, expected[i].Fine);
        EXPECT_TRUE(row.Message.contains(QString::fromUtf8(expected[i].MessageStart))) << row.Message.toStdString();
    }
    EXPECT_TRUE(imp.Preview()[6].Duplicate);
    EXPECT_EQ(imp.FineCount(), 1);

    imp.SetTruncateNames(true);
    imp.BuildPreview();
    EXPECT_TRUE(imp.Preview()[5].Fine);
    EXPECT_TRUE(imp.Preview()[5].Truncated);
    EXPECT_EQ(imp.PreviewText(5, 1), QStringLiteral("Nazwa o długości"));
}

// A letter the register would change refuses the row unless letters are
// replaced; control characters (DEL too) become blanks as before.
TEST_F(CsvImportTest, LettersTheRegisterCannotStoreRefuseTheRowOrAreReplaced)
{
    const QByteArray file = QStringLiteral("5;Čaj Ôsma ý;1\n7;\"Ser\x7f\x7fżółty\";1\n").toUtf8();
    for (bool replace : {false, true}) {
        SCOPED_TRACE(replace);
        m_import = std::make_unique<TCsvImport>(dm, 1);
        m_import->SetReplaceLetters(replace);
        m_import->Load(file);
        m_import->SetColumns(ParseCsvColumnSpec(QStringLiteral("Numer=1,Nazwa=2,Cena=3"), m_import->Target()));
        m_import->BuildPreview();
        const TCsvPreviewRow &first = m_import->Preview()[0];
        EXPECT_EQ(first.Fine, replace) << first.Message.toStdString();
        EXPECT_EQ(first.LettersReplaced, replace);
        EXPECT_EQ(m_import->PreviewText(0, 1), replace ? QStringLiteral("Caj Osma y") : QStringLiteral("Čaj Ôsma ý"));
        EXPECT_EQ(m_import->PreviewText(1, 1), QStringLiteral("Ser żółty"));
    }
}

// The first 20 refused rows are listed, the rest counted; a huge cell is
// quoted cut.
TEST_F(CsvImportTest, RefusedRowsAreListedUpToTwentyAndCounted)
{
    const struct {
        int refused;
        const char *last;
    } cases[] = {
        {20, "wiersz 21: \"x20\" nie jest prawidłowym numerem kodu."}, {21, "… i jeszcze 1 wiersz odrzucony"},
        {24, "… i jeszcze 4 wiersze odrzucone"}, {32, "… i jeszcze 12 wierszy odrzuconych"},
        {42, "… i jeszcze 22 wiersze odrzucone"},
    };
    for (const auto &c : cases) {
        QByteArray file("1;Dobry;1\n");
        for (int i = 1; i <= c.refused; ++i)
            file += "x" + QByteArray::number(i) + ";Zly;1\n";
        const QStringList report = Preview(file, QStringLiteral("Numer=1,Nazwa=2,Cena=3")).RefusedRowsReport();
        EXPECT_EQ(report.size(), std::min(c.refused, 21)) << c.refused;
        EXPECT_EQ(report.last().toStdString(), c.last);
    }
    const QByteArray huge = "5;Chleb;" + QByteArray(1000000, '9') + "x\n";
    EXPECT_LT(Preview(huge, QStringLiteral("Numer=1,Nazwa=2,Cena=3")).Preview()[0].Message.size(), 200);
}

TEST_F(CsvImportTest, FixedValuesAndGroupChecksOfTheProfile)
{
    dm.ApplyProfile(0, true, 0); // ER-A235P version A: groups 9 and 10 are the deposit groups
    TCsvImport &imp = Preview(QByteArray("1;Pieczywo;A\n9;Kaucja;A\n10;Zwrot;-\n"),
                              QStringLiteral("Numer=1,Nazwa=2,VAT=3,Cena=@2,50,Limit=@5"), 0);
    ASSERT_EQ(imp.Preview().size(), 3u);
    EXPECT_TRUE(imp.Preview()[0].Fine);
    EXPECT_EQ(imp.PreviewText(0, 3), QStringLiteral("2,50"));
    EXPECT_EQ(std::get<std::int64_t>(imp.Preview()[0].Values.at(5)), 5);
    EXPECT_EQ(imp.Preview()[1].Message,
              QStringLiteral("Grupa 9. musi być grupą wydania kaucji (pole VAT musi mieć wartość \"+\")"));
    EXPECT_TRUE(imp.Preview()[2].Fine);
}

TEST_F(CsvImportTest, RefusesWhatIsNotATextFileInItsEncoding)
{
    TCsvImport imp(dm, 1);
    EXPECT_EQ(MessageOf([&] { imp.Load(QByteArray("PK\x03\x04\0\0binary", 12)); }),
              "Plik nie jest plikiem tekstowym CSV.");
    imp.Load(Cp1250(QStringLiteral("5;Łyżka;1;2\n")));
    EXPECT_EQ(imp.Encoding(), TCsvEncoding::Windows1250);
    imp.SetEncoding(TCsvEncoding::Utf8);
    EXPECT_EQ(imp.ParseError().toStdString(), "Wiersz 1 pliku nie jest tekstem w kodowaniu UTF-8.");
    EXPECT_TRUE(imp.Rows().empty());
    EXPECT_EQ(MessageOf([&] { imp.Apply(TCsvImportMode::Replace); }), "Wiersz 1 pliku nie jest tekstem w kodowaniu UTF-8.");
    EXPECT_EQ(MessageOf([&] { ParseCsv(QByteArray("1;\"open\n2;x\n"), ';', TCsvEncoding::Utf8); }),
              "Pole zaczęte cudzysłowem w wierszu 1 nie zostało zamknięte do końca pliku.");
}

TEST_F(CsvImportTest, ColumnSpecsAreCheckedAndWrittenBack)
{
    const QString spec = QStringLiteral("Numer=1,Nazwa=3,Cena=@2,50,Grupa=@1");
    const TCsvColumns c = ParseCsvColumnSpec(spec, dm.MDKody);
    EXPECT_EQ(c.at("Cena").Fixed, QStringLiteral("2,50"));
    EXPECT_EQ(c.at("Nazwa").Column, 2);
    EXPECT_EQ(CsvColumnSpecText(c, dm.MDKody), QStringLiteral("Numer=1,Nazwa=3,Grupa=@1,Cena=@2,50"));
    EXPECT_EQ(MessageOf([&] { ParseCsvColumnSpec(QStringLiteral("Numer=1,Kolor=2"), dm.MDKody); }),
              "Nieznane pole \"Kolor\" w opisie kolumn.");
    EXPECT_EQ(MessageOf([&] { ParseCsvColumnSpec(QStringLiteral("Numer=0"), dm.MDKody); }),
              "Niepoprawny numer kolumny \"0\" dla pola \"Numer\".");
}

TEST_F(CsvImportTest, ReplaceAndMergeTakeOnlyTheFineRowsAndSetModified)
{
    auto add = [&](const char *numer, const char *nazwa) {
        dm.MDKody.Append();
        dm.MDKody.FieldByName("Numer").SetText(numer);
        dm.MDKody.FieldByName("Nazwa").SetText(QString::fromUtf8(nazwa));
        dm.MDKody.FieldByName("Grupa").SetAsInteger(1);
        dm.MDKody.Post();
    };
    const QByteArray file("5;Nowy chleb;3,10\n6;Bulka;0,80\n7;Zly;x\n");
    for (TCsvImportMode mode : {TCsvImportMode::Replace, TCsvImportMode::Merge}) {
        SCOPED_TRACE(int(mode));
        dm.MDKody.EmptyTable();
        add("5", "Chleb");
        add("9", "Mleko");
        dm.Modified = false;
        TCsvImport &imp = Preview(file, QStringLiteral("Numer=1,Nazwa=2,Cena=3"));
        EXPECT_EQ(imp.Apply(mode), 2);
        EXPECT_TRUE(dm.Modified);
        QStringList names;
        for (int r = 0; r < dm.MDKody.RecordCount(); ++r)
            names << dm.MDKody.FieldByName("Numer").DisplayTextAt(r) + u'=' + dm.MDKody.FieldByName("Nazwa").TextAt(r);
        if (mode == TCsvImportMode::Replace)
            EXPECT_EQ(names, (QStringList{"5=Nowy chleb", "6=Bulka"}));
        else
            EXPECT_EQ(names, (QStringList{"5=Nowy chleb", "9=Mleko", "6=Bulka"}));
    }
}

TEST_F(CsvImportTest, NothingChangesWhenNoRowPasses)
{
    dm.MDKody.Append();
    dm.MDKody.FieldByName("Numer").SetText("5");
    dm.MDKody.FieldByName("Grupa").SetAsInteger(1);
    dm.MDKody.Post();
    TCsvImport &imp = Preview(QByteArray("x;y\n"), QStringLiteral("Numer=1,Nazwa=2"));
    EXPECT_EQ(MessageOf([&] { imp.Apply(TCsvImportMode::Replace); }),
              "Plik nie zawiera żadnego poprawnego wiersza: tabela nie została zmieniona.");
    EXPECT_EQ(dm.MDKody.RecordCount(), 1);
}

// Export then import gives the same table, for every table, with Polish
// letters, every code number form and the counters.
TEST_F(CsvImportTest, ExportedTablesComeBackTheSame)
{
    const QString ean13 = QStringLiteral("590123412345") + EanCheckDigit(QStringLiteral("590123412345"));
    const QString ean8 = QStringLiteral("9638507") + EanCheckDigit(QStringLiteral("9638507"));
    const QString upc = QStringLiteral("03600029145") + EanCheckDigit(QStringLiteral("03600029145"));
    const QStringList numbers = {QStringLiteral("0"), QStringLiteral("7"), QStringLiteral("9999"),
                                 QStringLiteral("123456"), ean8, upc, ean13};
    auto set = [](TRxMemoryData &t, const char *field, const QString &text) { t.FieldByName(field).SetText(text); };
    for (int i = 0; i < numbers.size(); ++i) {
        dm.MDKody.Append();
        set(dm.MDKody, "Numer", numbers[i]);
        set(dm.MDKody, "Nazwa", i % 2 ? QStringLiteral("Żółć; \"ąę\" %1").arg(i) : QStringLiteral(" Łódź ść %1").arg(i));
        set(dm.MDKody, "Grupa", QString::number(i + 1));
        set(dm.MDKody, "Cena", QStringLiteral("%1,25").arg(i * 1000));
        set(dm.MDKody, "RodzajCeny", i % 2 ? QStringLiteral("W") : QStringLiteral("P"));
        dm.MDKody.FieldByName("LDW").SetAsCurrency(*Currency::FromDouble(1234.5678));
        dm.MDKody.FieldByName("LDI").SetAsFloat(12.345);
        dm.MDKody.Post();
    }
    for (int i = 1; i <= 10; ++i) {
        dm.MDGrupy.Append();
        set(dm.MDGrupy, "Numer", QString::number(i));
        set(dm.MDGrupy, "Nazwa", QStringLiteral("Grupa ŹŃ %1").arg(i));
        set(dm.MDGrupy, "VAT", QString(QChar(u'A' + i % 4)));
        set(dm.MDGrupy, "RodzajSprz", i % 2 ? QStringLiteral("Natychmiast.") : QStringLiteral("Normalna"));
        set(dm.MDGrupy, "Limit", QString::number(i % 9));
        dm.MDGrupy.FieldByName("LOW").SetAsCurrency(*Currency::FromDouble(99.99));
        dm.MDGrupy.Post();
    }
    for (int i = 1; i <= 3; ++i) {
        dm.MDKaucje.Append();
        set(dm.MDKaucje, "Numer", QString::number(i));
        set(dm.MDKaucje, "Cena", QStringLiteral("0,5%1").arg(i));
        dm.MDKaucje.FieldByName("LDIz").SetAsFloat(3);
        dm.MDKaucje.Post();
    }
    QTemporaryDir dir;
    for (int section = 0; section < 3; ++section) {
        SCOPED_TRACE(section);
        TRxMemoryData &t = *dm.TableBySection(section);
        const QString path = dir.filePath(QStringLiteral("t%1.csv").arg(section));
        SaveCsvExport(t, CsvDefaultColumns(t), path);
        std::vector<std::vector<TFieldValue>> before;
        for (int r = 0; r < t.RecordCount(); ++r) {
            before.emplace_back();
            for (int f = 0; f < t.FieldCount(); ++f)
                before.back().push_back(t.Field(f).ValueAt(r));
        }
        TCsvImport imp(dm, section);
        imp.LoadFile(path);
        EXPECT_TRUE(imp.HeaderRow());
        EXPECT_EQ(imp.Columns().size(), size_t(t.FieldCount()));
        imp.BuildPreview();
        for (const TCsvPreviewRow &row : imp.Preview())
            EXPECT_TRUE(row.Fine) << row.Line << ": " << row.Message.toStdString();
        EXPECT_EQ(imp.Apply(TCsvImportMode::Replace), int(before.size()));
        ASSERT_EQ(t.RecordCount(), int(before.size()));
        for (int r = 0; r < t.RecordCount(); ++r)
            for (int f = 0; f < t.FieldCount(); ++f)
                EXPECT_EQ(t.Field(f).ValueAt(r), before[size_t(r)][size_t(f)]) << r << " " << t.Field(f).Name().toStdString();
    }
}

TEST_F(CsvImportTest, ExportFollowsPolishSpreadsheets)
{
    dm.MDKaucje.Append();
    dm.MDKaucje.FieldByName("Numer").SetAsInteger(2);
    dm.MDKaucje.FieldByName("Cena").SetAsCurrency(*Currency::FromDouble(0.5));
    dm.MDKaucje.FieldByName("LDWw").SetAsCurrency(*Currency::FromDouble(1.2345));
    dm.MDKaucje.FieldByName("LDIw").SetAsFloat(2.5);
    dm.MDKaucje.Post();
    EXPECT_EQ(CsvExportBytes(dm.MDKaucje, {"Numer", "Cena", "LDWw", "LDIw"}),
              QByteArray("\xEF\xBB\xBFNumer;Cena;Warto\xC5\x9B\xC4\x87 wyd.;Ilo\xC5\x9B\xC4\x87 wyd.\r\n2;0,50;1,2345;2,500\r\n"));
    EXPECT_EQ(CsvLine({"a;b", "c\"d", " e", "f"}), QStringLiteral("\"a;b\";\"c\"\"d\";\" e\";f"));
}

// The export writes its bytes itself; each line is what the cell texts
// (CsvValueText, CsvQuote) make of the record.
TEST_F(CsvImportTest, ExportLinesAreTheCellTexts)
{
    struct Row {
        const char *Numer;
        QString Nazwa;
        std::int64_t Cena, Ldw;
        double Ldi;
        const char *Line;
    };
    const Row rows[] = {
        {"7", QStringLiteral("Łódź; \"ą\""), 12500, -12345, 2.5, "7;\"Łódź; \"\"ą\"\"\";3;1,25;Program.;-1,2345;2,500"},
        {"5901234123457", QStringLiteral(" Pół "), 0, -9999999, -0.0004, "5901234123457;\" Pół \";3;0,00;Program.;-999,9999;-0,000"},
        {"9999", QString(), 9999999900, 1, 0.0625, "9999;;3;999999,99;Program.;0,0001;0,063"},
        {"123456", QStringLiteral("a\tb"), 100, std::numeric_limits<std::int64_t>::min(), 1e10 + 0.0005, "123456;\"a\tb\";3;0,01;Program.;-922337203685477,5808;10000000000,000"},
        {"12", QStringLiteral("Zwykła"), 5, 0, -1234.567, "12;Zwykła;3;0,0005;Program.;0,00;-1234,567"},
        {"13", QStringLiteral("x"), 5, 0, 0.1 + 0.2, "13;x;3;0,0005;Program.;0,00;0,300"},
        {"14", QStringLiteral("y"), 5, 0, -0.0, "14;y;3;0,0005;Program.;0,00;0,000"},
    };
    QByteArray expected("\xEF\xBB\xBFNumer;Nazwa;Grupa;Cena;Rodzaj Ceny;Warto\xC5\x9B\xC4\x87 sprz.;Ilo\xC5\x9B\xC4\x87 sprz.\r\n");
    for (const Row &r : rows) {
        dm.MDKody.Append();
        dm.MDKody.FieldByName("Numer").SetText(QString::fromLatin1(r.Numer));
        dm.MDKody.FieldByName("Nazwa").SetAsString(r.Nazwa);
        dm.MDKody.FieldByName("Grupa").SetAsInteger(3);
        dm.MDKody.FieldByName("Cena").SetAsCurrency(Currency::FromUnits(r.Cena));
        dm.MDKody.FieldByName("LDW").SetAsCurrency(Currency::FromUnits(r.Ldw));
        dm.MDKody.FieldByName("LDI").SetAsFloat(r.Ldi);
        dm.MDKody.Post();
        expected += QByteArray(r.Line) + "\r\n";
    }
    EXPECT_EQ(CsvExportBytes(dm.MDKody, CsvDefaultColumns(dm.MDKody)).toStdString(), expected.toStdString());
}

// A name a spreadsheet would run as a formula is written as text (leading
// apostrophe, quoted) and read back as it was; numbers stay numbers.
TEST_F(CsvImportTest, FormulaLikeNamesGoOutAsTextAndComeBackUnchanged)
{
    struct Case {
        const char *Name;
        const char *Cell; // as the export writes it
    };
    const Case cases[] = {
        {"=1+1", "\"'=1+1\""},       {"+48 600 100 200", "\"'+48 600 100 200\""},
        {"-1", "\"'-1\""},           {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"'abc", "\"'abc\""},        {"'=x", "\"''=x\""},
        {"''-1", "\"'''-1\""},       {"'", "\"'\""},
        {"Chleb=2", "Chleb=2"},
    };
    int numer = 1;
    for (const Case &c : cases) {
        dm.MDKody.Append();
        dm.MDKody.FieldByName("Numer").SetText(QString::number(numer++));
        dm.MDKody.FieldByName("Nazwa").SetAsString(QString::fromUtf8(c.Name));
        dm.MDKody.FieldByName("Grupa").SetAsInteger(1);
        dm.MDKody.FieldByName("LDW").SetAsCurrency(Currency::FromUnits(-10000));
        dm.MDKody.Post();
    }
    const QByteArray bytes = CsvExportBytes(dm.MDKody, {"Numer", "Nazwa", "LDW"});
    const QList<QByteArray> lines = bytes.split('\n');
    for (int r = 0; r < dm.MDKody.RecordCount(); ++r) {
        SCOPED_TRACE(cases[r].Name);
        EXPECT_EQ(lines[r + 1].toStdString(), std::to_string(r + 1) + ";" + cases[r].Cell + ";-1,00\r");
        EXPECT_EQ(CsvCell(dm.MDKody.FieldByName("Nazwa"), r).toStdString(),
                  QString::fromUtf8(cases[r].Cell).remove(u'"').toStdString());
    }
    TCsvImport &imp = Preview(bytes);
    EXPECT_EQ(imp.Apply(TCsvImportMode::Replace), int(std::size(cases)));
    for (int r = 0; r < dm.MDKody.RecordCount(); ++r)
        EXPECT_EQ(dm.MDKody.FieldByName("Nazwa").TextAt(r).toStdString(), cases[r].Name);
}

// An import never leaves a table over the model's record count (940 codes
// on the ER-A237P with deposits); the table stays as it was.
TEST_F(CsvImportTest, ImportBeyondTheModelsRecordCountIsRefused)
{
    dm.ApplyProfile(2, true, 1);
    struct Case {
        TCsvImportMode Mode;
        int Before;   // codes 1..Before in the table
        int From, To; // codes in the file
        bool Refused;
    };
    const Case cases[] = {
        {TCsvImportMode::Replace, 0, 1, 940, false},
        {TCsvImportMode::Replace, 5, 1, 941, true},
        {TCsvImportMode::Merge, 939, 1, 940, false},
        {TCsvImportMode::Merge, 939, 940, 941, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.To);
        dm.MDKody.EmptyTable();
        for (int n = 1; n <= c.Before; ++n) {
            dm.MDKody.Append();
            dm.MDKody.FieldByName("Numer").SetText(QString::number(n));
            dm.MDKody.FieldByName("Grupa").SetAsInteger(1);
            dm.MDKody.Post();
        }
        QByteArray file;
        for (int n = c.From; n <= c.To; ++n)
            file += QByteArray::number(n) + ";Kod " + QByteArray::number(n) + "\n";
        TCsvImport &imp = Preview(file, QStringLiteral("Numer=1,Nazwa=2"));
        const std::string message = MessageOf([&] { imp.Apply(c.Mode); });
        if (c.Refused) {
            EXPECT_EQ(message, "Import nie został wykonany: po imporcie tabela kodów ma 941 rekordów, a kasa ER-A237P "
                               "przyjmuje najwyżej 940. Tabela nie została zmieniona.");
            EXPECT_EQ(dm.MDKody.RecordCount(), c.Before);
        } else {
            EXPECT_EQ(message, "no error");
            EXPECT_EQ(dm.MDKody.RecordCount(), 940);
        }
    }
}

// What the import quotes of the file (a refused number, a column's header
// cell) shows control characters by their code; a name takes blanks for
// them; a NUL refuses the whole file as not text.
TEST_F(CsvImportTest, QuotedCellsShowControlCharactersByTheirCode)
{
    struct Case {
        int Section;
        QByteArray File;
        const char *Spec;
        const char *Message;
        const char *Caption; // of the first column
    };
    const Case cases[] = {
        {1, "Ko\x1b" "d;Nazwa\n5\x1b" "6;Chleb\n", "Numer=1,Nazwa=2", "\"5 6\" nie jest prawidłowym numerem kodu.",
         "Kolumna 1: Ko<1B>d"},
        {1, "\"Nu\rmer\";Grupa\n5;1\x1b\n", "Numer=1,Grupa=2", "\"1<1B>\" nie jest poprawną wartością całkowitoliczbową",
         "Kolumna 1: Nu<0D>mer"},
        {1, "Numer kodu towaru w kasie;Cena\n5;2,\x1b" "50\n", "Numer=1,Cena=2", "\"2,<1B>50\" nie jest poprawną wartością",
         "Kolumna 1: Numer kodu towaru w \u2026"},
        {0, "\x7fNr;Nazwa\n1\x1b" "2;Pieczywo\n", "Numer=1,Nazwa=2", "\"1<1B>2\" nie jest poprawną wartością całkowitoliczbową",
         "Kolumna 1: <7F>Nr"},
    };
    // Rows enough that one control character does not make the file binary.
    const QByteArray filler = QByteArray(250, 'x') + "\n";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Message);
        TCsvImport &imp = Preview(c.File + filler, QString::fromLatin1(c.Spec), c.Section);
        imp.SetHeaderRow(true);
        imp.BuildPreview();
        ASSERT_EQ(imp.Preview().size(), 2u);
        EXPECT_TRUE(imp.Preview()[0].Message.startsWith(QString::fromUtf8(c.Message))) << imp.Preview()[0].Message.toStdString();
        EXPECT_EQ(imp.ColumnCaption(0).toStdString(), c.Caption);
        EXPECT_EQ(imp.ColumnCaption(7).toStdString(), "Kolumna 8");
    }
    TCsvImport imp(dm, 1);
    EXPECT_EQ(MessageOf([&] { imp.Load(QByteArray("5;Chl\0eb\n", 9)); }), "Plik nie jest plikiem tekstowym CSV.");
}

} // namespace
