// orvan-otx import and export: CSV files in, data files out and back.
#include "data/UFileLock.h"
#include "data/UFinally.h"
#include "otx_test_support.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using CsvRun = TOtxRun;

class OtxCsv : public ::testing::Test {
protected:
    QString Write(const char *name, const QByteArray &bytes)
    {
        return WriteBytes(dir.filePath(QString::fromLatin1(name)), bytes);
    }
    static CsvRun Otx(const QStringList &args) { return RunOtx(args); }
    QTemporaryDir dir;
};

TEST_F(OtxCsv, ImportWritesTheRowsThatPassAndListsTheOthers)
{
    const QString csv = Write("kody.csv", QStringLiteral("Kod;Opis;VAT;Cena\r\n"
                                                         "5;Chleb żytni;A;2,50\r\n"
                                                         "x5;Zły;A;1\r\n"
                                                         "5901234123457;Mleko 3,2%;B;3.10\r\n"
                                                         "7;Bułka;A;abc\r\n")
                                                  .toUtf8());
    const QString out = dir.filePath("kody.otx");
    const CsvRun r = Otx({"import", csv, out, "--table", "kody", "--columns", "Numer=1,Nazwa=2,Cena=4,Grupa=@3"});
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("wiersz 3: \"x5\" nie jest prawidłowym numerem kodu.\n"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("wiersz 5: "))) << r.err.toStdString();
    const QByteArray data = ReadBytes(out);
    EXPECT_TRUE(data.startsWith("[Kody] ")) << data.constData();
    EXPECT_TRUE(data.contains("             5,Chleb \xBFytni     , 3,")) << data.constData();
    EXPECT_TRUE(data.contains(" 5901234123457,Mleko 3,2%      , 3,")) << data.constData();
    EXPECT_FALSE(data.contains("Bu\xB3ka"));

    // Everything through: exit 0; then the file goes out as CSV again.
    const QString good = Write("ok.csv", QByteArray("5\tChleb\t2,50\n6\tWoda\t1,20\n"));
    EXPECT_EQ(Otx({"import", good, out, "--table", "kody", "--columns", "Numer=1,Nazwa=2,Cena=3"}).code, 0);
    const QString back = dir.filePath("wynik.csv");
    const CsvRun e = Otx({"export", out, back, "--table", "kody"});
    EXPECT_EQ(e.code, 0) << e.err.toStdString();
    EXPECT_EQ(ReadBytes(back), QByteArray("\xEF\xBB\xBFNumer;Nazwa;Grupa;Cena;Rodzaj Ceny;Warto\xC5\x9B\xC4\x87 sprz.;"
                                     "Ilo\xC5\x9B\xC4\x87 sprz.\r\n"
                                     "5;Chleb;1;2,50;Program.;0,00;0,000\r\n6;Woda;1;1,20;Program.;0,00;0,000\r\n"));
}

// Into an existing data file the import replaces its own section and keeps
// the others as they are; a file whose sections cannot be told apart is
// refused and stays as it was.
TEST_F(OtxCsv, ImportIntoADataFileKeepsItsOtherSections)
{
    const QByteArray groups = QByteArray(kGrupy) + "\r\n 1,Pieczywo        ,A,     1,00,No,8,\r\n";
    const QByteArray deposits = QByteArray(kKaucje) + "\r\n 1,     0,50,\r\n";
    const QString out = Write("sklep.otx", groups + kKody + "\r\n            99,Stary           , 1,     1,00,Pr,\r\n" + deposits);
    const QString csv = Write("k.csv", QByteArray("5;Chleb;2,50\n"));
    const QStringList args = {"import", csv, out, "--table", "kody", "--columns", "Numer=1,Nazwa=2,Cena=3", "--kaucje", "0"};
    ASSERT_EQ(Otx(args).code, 0);
    const QByteArray data = ReadBytes(out);
    EXPECT_TRUE(data.startsWith(groups)) << data.constData();
    EXPECT_TRUE(data.contains("\r\n             5,Chleb           , 1,     2,50,Pr,") && !data.contains("Stary"));
    EXPECT_TRUE(data.endsWith(deposits)) << data.constData();

    const QString damaged = Write("zly.otx", groups + "[]\r\n");
    const CsvRun refused = Otx({"import", csv, damaged, "--table", "kody", "--columns", "Numer=1,Nazwa=2,Cena=3"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.endsWith("\" nie został zmieniony: jego pozostałe sekcje zostałyby utracone.\n"));
    EXPECT_EQ(ReadBytes(damaged), groups + "[]\r\n");
}

TEST_F(OtxCsv, ReplacesLettersOnRequestAndListsTwentyRefusedRows)
{
    QByteArray rows = QStringLiteral("5;Éclair;1\n").toUtf8();
    for (int i = 1; i <= 25; ++i)
        rows += "x" + QByteArray::number(i) + ";Zly;1\n";
    const QString out = dir.filePath("l.otx");
    const CsvRun r = Otx({"import", Write("l.csv", rows), out, "--table", "kody", "--columns", "Numer=1,Nazwa=2,Cena=3",
                          "--replace-letters"});
    EXPECT_EQ(r.err.count(u'\n'), 21) << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith(QStringLiteral("… i jeszcze 5 wierszy odrzuconych\n"))) << r.err.toStdString();
    EXPECT_TRUE(ReadBytes(out).contains("             5,Eclair          ,")) << ReadBytes(out).constData();
}

TEST_F(OtxCsv, WrongArgumentsAndBadFilesAreRefused)
{
    const QString csv = Write("g.csv", QByteArray("1;Pieczywo;A\n"));
    const QString binary = Write("b.csv", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    const QString out = dir.filePath("o.otx");
    struct Case {
        QStringList Args;
        int Code;
        const char *ErrStart;
    };
    const Case cases[] = {
        {{"import", csv, out, "--columns", "Numer=1"}, 2, "orvan-otx: brak opcji --table."},
        {{"import", csv, out, "--table", "kaucje", "--columns", "Numer=1"}, 2, "orvan-otx: nieznana tabela \"kaucje\""},
        {{"import", csv, out, "--table", "grupy"}, 2, "orvan-otx: brak opcji --columns"},
        {{"import", csv, out, "--table", "grupy", "--columns", "Kolor=1"}, 2, "orvan-otx: Nieznane pole \"Kolor\""},
        {{"import", csv, out, "--table", "grupy", "--columns", "Numer=1", "--encoding", "latin2"}, 2,
         "orvan-otx: nieznane kodowanie \"latin2\""},
        {{"import", csv, out, "--table", "grupy", "--columns", "Numer=1", "--separator", "|"}, 2,
         "orvan-otx: nieznany separator \"|\""},
        {{"import", binary, out, "--table", "grupy", "--columns", "Numer=1"}, 1, "Plik \"b.csv\" nie jest plikiem tekstowym CSV."},
        {{"import", dir.filePath("none.csv"), out, "--table", "grupy", "--columns", "Numer=1"}, 1, "Nie można otworzyć pliku"},
        {{"export", csv, out, "--table", "kody"}, 1, "Plik \""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString());
        const CsvRun r = Otx(c.Args);
        EXPECT_EQ(r.code, c.Code);
        EXPECT_TRUE(r.err.startsWith(QString::fromUtf8(c.ErrStart))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
    // The groups with the separator forced and a fixed value.
    const CsvRun r = Otx({"import", csv, out, "--table", "grupy", "--columns", "Numer=1,Nazwa=2,VAT=3,Limit=@4", "--separator", ";"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(ReadBytes(out).contains(" 1,Pieczywo        ,A,")) << ReadBytes(out).constData();
}

// Groups imported into a file as read --counters writes it, with a section
// of another program added: the codes keep their counters and the other
// section stays, byte for byte.
TEST_F(OtxCsv, ImportingGroupsKeepsTheCodesCountersAndOtherSections)
{
    const QByteArray codes = QByteArray(kKody) + "\r\n            41,Bu\xB3ka           , 1,     0,80,Pr,        12,40,"
                                                 "   15,500,\r\n";
    const QByteArray notes = "[Uwagi]\r\nzam\xF3wi\xE6 bu\xB3ki\r\n";
    const QString file = Write("odczyt.otx", QByteArray(kGrupy) + "\r\n 1,Pieczywo        ,A,     1,25,No,5,      "
                                             "   10,00,    8,000,        99,00,   80,000,\r\n" + codes + notes);
    const CsvRun r = Otx({"import", Write("g.csv", "3;Napoje;A\n"), file, "--table", "grupy", "--columns",
                          "Numer=1,Nazwa=2,VAT=3"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QByteArray after = ReadBytes(file);
    EXPECT_TRUE(after.startsWith(QByteArray(kGrupy) + "\r\n 3,Napoje          ,A,")) << after.constData();
    EXPECT_TRUE(after.endsWith(codes + notes)) << after.constData();
    EXPECT_FALSE(after.contains("Pieczywo"));
}

// While another command or window holds a data file, a command that would
// rewrite it waits, then gives up naming the file; the file stays as it was.
TEST_F(OtxCsv, ACommandFindingTheFileTakenIsRefusedAndLeavesItAlone)
{
    // The lock this process takes is the one orvan-otx looks for.
    const QByteArray savedHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(OtxEnvironment().value(QStringLiteral("XDG_DATA_HOME"))));
    const TFinally restore([&] { qputenv("XDG_DATA_HOME", savedHome); });
    const QByteArray before = QByteArray(kKody) + "\r\n            41,Stary           , 1,     1,00,Pr,\r\n";
    const QString file = Write("sklep.otx", before);
    const QStringList commands[] = {
        {"import", Write("k.csv", "5;Chleb;2,50\n"), file, "--table", "kody", "--columns", "Numer=1,Nazwa=2,Cena=3"},
        {"normalize", Write("we.otx", before), file},
    };
    const TDataFileLock held(file, std::chrono::milliseconds(0));
    for (const QStringList &args : commands) {
        SCOPED_TRACE(args.first().toStdString());
        const CsvRun r = Otx(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.endsWith(TDataFileLock::BusyMessage(file) + u'\n')) << r.err.toStdString();
        EXPECT_EQ(ReadBytes(file), before);
    }
}

} // namespace
