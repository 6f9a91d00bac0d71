// The fiscal memory window's logic: decoding the lines, report files with
// their digest, the read modes with the baseline, and reads from the
// simulated register through the real module.
#include "fiscal_test_support.h"

#include "data/UCodePage.h"
#include "data/UOrvanIO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

QByteArray ReadAll(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void WriteLines(const QString &name, const QStringList &lines)
{
    QByteArray b;
    for (const QString &l : lines)
        b += ToCp1250(l) + "\r\n";
    WriteAll(name, b);
}

template <class F>
QString MessageOf(F &&f)
{
    try {
        f();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("no error");
}

class FiscalMemoryTest : public ::testing::Test {
protected:
    FiscalMemoryTest()
    {
        pf.Now = [] { return QDateTime(QDate(2024, 3, 1), QTime(9, 5)); };
        pf.Random = [] { return 42u; };
    }

    QString Path(const QString &name) const { return dir.filePath(name); }

    TPolishFormats formats;
    QTemporaryDir dir;
    TRecMessages messages;
    TRecWait wait{messages};
    TRecJobs jobs;
    TFiscalMemory pf{jobs, wait, messages, dir.filePath(QStringLiteral("pf.txt")), dir.filePath(QStringLiteral("raport"))};
};

TEST_F(FiscalMemoryTest, DecodesIdentityClosingResetsCurrenciesAndDailyReports)
{
    TFiscalFile f;
    f.Closing = QStringLiteral(",00,050224,1830");
    f.Mrs << MrsLine(1, QStringLiteral("020124"), QStringLiteral("0705"), '0', '1')
          << MrsLine(2, QStringLiteral("FFFFFF"), QStringLiteral("FFFF"))
          << MrsLine(3, QStringLiteral("030124"), QStringLiteral("2210"), '1', '0');
    f.Currency << CurrencyLine(1, QStringLiteral("12"), QStringLiteral("0012"), QStringLiteral("030124"),
                               QStringLiteral("2359"), QStringLiteral("45555220"));
    TDaily d;
    d.Number = 7;
    d.Date = QStringLiteral("311299");
    d.Gross[0] = 12345;
    d.Gross[1] = 100000;
    d.Codes[1] = QStringLiteral("B0");
    d.Codes[2] = QStringLiteral("07");
    d.Gross[2] = 100;
    d.Mrs = 0x1A;
    d.Receipts = 321;
    d.Change = true;
    d.Due = 112445;
    d.Cancelled = 2;
    d.CancelledValue = 5;
    f.Daily << d.Line();
    pf.Lines = f.Lines();
    pf.ParseLines();

    EXPECT_EQ(pf.UniqueNumber, QStringLiteral("ABC12345678"));
    EXPECT_EQ(pf.NIP, QStringLiteral("123-456-78-90"));
    EXPECT_EQ(pf.FiscalizationText(), QStringLiteral("2023-03-15"));
    EXPECT_EQ(pf.ClosingLabel, QStringLiteral("Pamięć fiskalna zamknięta 05.02.2024 o 18:30"));
    EXPECT_EQ(pf.ReceiptsTotal, 321);

    ASSERT_EQ(pf.MTMRS.RecordCount(), 2); // the FFFFFF slot adds no row
    EXPECT_EQ(pf.MTMRS.FieldByName(QStringLiteral("Numer")).TextAt(1), QStringLiteral("3"));
    EXPECT_EQ(pf.MTMRS.FieldByName(QStringLiteral("Czas")).DisplayTextAt(1), QStringLiteral("22:10"));
    EXPECT_EQ(pf.MTMRS.FieldByName(QStringLiteral("Z")).DisplayTextAt(0), QStringLiteral("Tak"));
    EXPECT_EQ(pf.MTMRS.FieldByName(QStringLiteral("Star")).DisplayTextAt(0), QStringLiteral("Nie"));
    EXPECT_EQ(pf.MTMRS.FieldByName(QStringLiteral("Star")).DisplayTextAt(1), QStringLiteral("Tak"));
    EXPECT_FALSE(pf.MrsCountAlarm());

    ASSERT_EQ(pf.MTPFCurr.RecordCount(), 2); // the initial PLN row and the change
    TRxMemoryData &c = pf.MTPFCurr;
    EXPECT_EQ(c.FieldByName(QStringLiteral("CurrSymbol")).TextAt(0), QStringLiteral("PLN"));
    EXPECT_EQ(c.FieldByName(QStringLiteral("Z1Count")).TextAt(0), QStringLiteral("-1"));
    EXPECT_EQ(c.FieldByName(QStringLiteral("CurrNo")).TextAt(1), QStringLiteral("12"));
    EXPECT_EQ(c.FieldByName(QStringLiteral("Z1Count")).TextAt(1), QStringLiteral("12")); // decimal, not 0x12
    EXPECT_EQ(c.FieldByName(QStringLiteral("ChangeDate")).DisplayTextAt(1), QStringLiteral("2024-01-03"));
    EXPECT_EQ(c.FieldByName(QStringLiteral("CurrSymbol")).TextAt(1), QStringLiteral("EUR"));

    ASSERT_EQ(pf.MTPF.RecordCount(), 1);
    auto text = [&](const char *field) { return pf.MTPF.FieldByName(QString::fromLatin1(field)).DisplayTextAt(0); };
    EXPECT_EQ(text("Numer"), QStringLiteral("7"));
    EXPECT_EQ(text("Data"), QStringLiteral("1999-12-31"));
    EXPECT_EQ(text("TA"), QStringLiteral("123,45"));
    EXPECT_EQ(text("TB"), QStringLiteral("1\u00a0000,00"));
    EXPECT_EQ(text("VA"), QStringLiteral("22"));
    EXPECT_EQ(text("VB"), QStringLiteral("ZW"));
    EXPECT_EQ(text("VC"), QStringLiteral(" 7"));
    EXPECT_EQ(text("VD"), QStringLiteral("--"));
    EXPECT_EQ(text("SumaPTU"), QStringLiteral("22,33")); // 22.26 + 0.07 (1.00 at 7 %); ZW and -- add nothing
    EXPECT_EQ(text("SumaNal"), QStringLiteral("1\u00a0124,45"));
    EXPECT_EQ(text("MRSCounter"), QStringLiteral("26"));
    EXPECT_EQ(text("Parag"), QStringLiteral("321"));
    EXPECT_EQ(text("ZmianaPLU"), QStringLiteral("Tak"));
    EXPECT_EQ(text("Anulacji"), QStringLiteral("2"));
    EXPECT_EQ(text("WartAnulacji"), QStringLiteral("0,05"));
    EXPECT_EQ(text("Waluta"), QStringLiteral("PLN"));
    EXPECT_EQ(text("MRSTime"), QStringLiteral("--:--"));
}

TEST(FiscalFieldsTest, DatesAmountsAndRateCodes)
{
    EXPECT_EQ(PFDate(QStringLiteral("010189"), 1), QDate(2089, 1, 1));
    EXPECT_EQ(PFDate(QStringLiteral("010190"), 1), QDate(1990, 1, 1));
    EXPECT_EQ(PFDate(QStringLiteral("290200"), 1), QDate(2000, 2, 29));
    EXPECT_EQ(PFAmount(QStringLiteral("     123.45"), 1).Units(), 1234500);
    EXPECT_EQ(PFAmount(QStringLiteral("       0,05"), 1).Units(), 500); // any separator character
    EXPECT_EQ(PFRateCode(QStringLiteral("A0")), QStringLiteral("--"));
    EXPECT_EQ(PFRateCode(QStringLiteral("B0")), QStringLiteral("ZW"));
    EXPECT_EQ(PFRateCode(QStringLiteral("07")), QStringLiteral(" 7"));
    EXPECT_EQ(PFRateCode(QStringLiteral("22")), QStringLiteral("22"));
    for (const char *bad : {"310289", "320124", "ab0124"})
        EXPECT_THROW(PFDate(QString::fromLatin1(bad), 1), EDatabaseError) << bad;
    EXPECT_THROW(PFAmount(QStringLiteral("    12x.45"), 1), EDatabaseError);
    EXPECT_THROW(PFDecimal(QStringLiteral("001E"), 1, 4), EDatabaseError);
    EXPECT_THROW(PFHex(QStringLiteral("G1"), 1, 2), EDatabaseError);
}

TEST_F(FiscalMemoryTest, ShortOrMalformedLinesStopTheDecoding)
{
    struct TCase {
        int Line; // 1-based
        QString Text;
        QString Message;
    };
    TDaily d;
    const QString daily = d.Line();
    QString badCurrency = CurrencyLine(1, QStringLiteral("01"), QStringLiteral("001E"), QStringLiteral("030124"),
                                       QStringLiteral("2359"), QStringLiteral("45555220"));
    QString badSymbol = CurrencyLine(1, QStringLiteral("01"), QStringLiteral("0012"), QStringLiteral("030124"),
                                     QStringLiteral("2359"), QStringLiteral("4555ZZ20"));
    const TCase cases[] = {
        {1, HeaderLine().left(34), "Nieprawidłowe dane !"},
        {2, QStringLiteral(",00,050224,183"), "Nieprawidłowe dane !"},
        {3, MrsLine(1).left(18), "Nieprawidłowe dane !"},
        {203, CurrencyLine(1).left(30), "Nieprawidłowe dane !"},
        {237, daily.left(158), "Nieprawidłowe dane !"},
        {203, badCurrency, "\"001E\" nie jest poprawną liczbą całkowitą"},
        {203, badSymbol, "\"$ZZ\" nie jest poprawną liczbą całkowitą"},
        {237, QString(daily).replace(0, 4, QStringLiteral("12a4")), "\"12a4\" nie jest poprawną liczbą całkowitą"},
    };
    for (const TCase &c : cases) {
        TFiscalFile f;
        f.Daily << daily;
        pf.Lines = f.Lines();
        pf.Lines[c.Line - 1] = c.Text;
        EXPECT_EQ(MessageOf([&] { pf.ParseLines(); }), c.Message) << c.Line;
        EXPECT_EQ(pf.Report(), nullptr);
    }
}

TEST_F(FiscalMemoryTest, TenRamResetsTurnTheCountRed)
{
    for (int n : {9, 10}) {
        TFiscalFile f;
        for (int r = 1; r <= n; ++r)
            f.Mrs << MrsLine(r, QStringLiteral("010124"), QStringLiteral("1200"));
        pf.Lines = f.Lines();
        pf.ParseLines();
        EXPECT_EQ(pf.MrsCount(), n);
        EXPECT_EQ(pf.MrsCountAlarm(), n == 10);
    }
}

TEST_F(FiscalMemoryTest, TheDigestRunsOverTheWindows1250LinesFromLastToFirst)
{
    pf.Lines = QStringList{QStringLiteral("a"), QStringLiteral("ż")};
    pf.MrsBaseline = 5;
    EXPECT_EQ(pf.ComputeDigest(true), QStringLiteral("8D9FA28BF6D4B391547F7865A51888D936D14851"));
    EXPECT_EQ(pf.ComputeDigest(false), QStringLiteral("F907033D5EFCF828A6E361BA8298736299AC8A64"));
}

TEST_F(FiscalMemoryTest, SavedFilesLoadAgainAndVerify)
{
    TFiscalFile f;
    f.Daily << TDaily().Line();
    pf.Lines = f.Lines();
    pf.MrsBaseline = 0;
    const QString name = Path(QStringLiteral("raport.frp"));
    ASSERT_TRUE(pf.Zapisz(name));
    const QList<QByteArray> dig = ReadAll(name + QStringLiteral(".dig")).split('\n');
    EXPECT_EQ(dig.value(0), QByteArray("0\r"));
    EXPECT_TRUE(ReadAll(name).endsWith(",00,\r\n"));

    TFiscalMemory other(jobs, wait, messages, Path(QStringLiteral("pf.txt")), Path(QStringLiteral("raport")));
    ASSERT_TRUE(other.Wczytaj(name)) << messages.Log.join(u'\n').toStdString();
    EXPECT_EQ(other.Lines, pf.Lines);
    EXPECT_EQ(other.MTPF.RecordCount(), 1);
    EXPECT_TRUE(other.CanSave());
    EXPECT_TRUE(other.CanPrint());
    EXPECT_EQ(wait.Messages.last(), QStringLiteral("Przetwarzam dane z pliku..."));
}

TEST_F(FiscalMemoryTest, ASaveThroughLinksKeepsThemAndReplacesTheFilesTheyPointAt)
{
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links: QFile::link makes shortcuts on Windows";
#endif
    pf.Lines = TFiscalFile().Lines();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("archiwum")));
    const QString target = Path(QStringLiteral("archiwum/r.frp")), link = Path(QStringLiteral("r.frp"));
    for (const QString &suffix : {QString(), QStringLiteral(".dig")}) {
        WriteAll(target + suffix, "earlier");
        ASSERT_TRUE(QFile::link(target + suffix, link + suffix));
    }
    ASSERT_TRUE(pf.Zapisz(link)) << messages.Log.join(u'\n').toStdString();
    for (const QString &suffix : {QString(), QStringLiteral(".dig")}) {
        EXPECT_TRUE(QFileInfo(link + suffix).isSymLink()) << suffix.toStdString();
        EXPECT_NE(ReadAll(target + suffix), QByteArray("earlier")) << suffix.toStdString();
    }
    EXPECT_TRUE(pf.Wczytaj(target));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 2); // nothing left beside
}

// Links planted under names a save of the pair could write first, or that
// a load could take for the rest of a killed save, lead neither the load
// nor the save to the file they point at. A report name that leaves its
// digest's name as long as the file system allows saves too.
TEST_F(FiscalMemoryTest, PlantedPendingNamesOfThePairAreNotFollowed)
{
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links: QFile::link makes shortcuts on Windows";
#else
    struct TCase {
        int nameLength;  // 0: "r.frp"
        QStringList oldSuffixes;  // beside the report's name
        bool ownPattern;          // three names of each target's own pending pattern
    };
    const TCase cases[] = {
        {0, {QStringLiteral(".zapis")}, false},
        {0, {QStringLiteral(".zapis"), QStringLiteral(".dig.zapis")}, true},
        {251, {}, true},
    };
    pf.Lines = TFiscalFile().Lines();
    int round = 0;
    for (const TCase &c : cases) {
        SCOPED_TRACE(round);
        const QString folder = Path(QString::number(round++));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString name = folder + u'/'
                             + (c.nameLength ? QString(c.nameLength - 4, u'r') + QStringLiteral(".frp")
                                             : QStringLiteral("r.frp"));
        const QString victim = folder + QStringLiteral("/ofiara.txt");
        WriteAll(victim, "dane ofiary");
        ASSERT_TRUE(pf.Zapisz(name)) << messages.Log.join(u'\n').toStdString();
        QStringList planted;
        for (const QString &suffix : c.oldSuffixes)
            planted << name + suffix;
        if (c.ownPattern)
            for (const QString &target : {name, name + QStringLiteral(".dig")})
                for (const char *random : {"000000000000", "0123456789ab", "ffffffffffff"})
                    planted << PendingPrefix(target) + QLatin1String(random);
        for (const QString &p : planted)
            ASSERT_TRUE(QFile::link(victim, p)) << p.toStdString();
        EXPECT_TRUE(pf.Wczytaj(name)) << messages.Log.join(u'\n').toStdString();
        EXPECT_TRUE(pf.Zapisz(name)) << messages.Log.join(u'\n').toStdString();
        EXPECT_TRUE(pf.Wczytaj(name)) << messages.Log.join(u'\n').toStdString();
        EXPECT_EQ(ReadAll(victim), QByteArray("dane ofiary"));
        EXPECT_FALSE(QFileInfo(name).isSymLink());
        EXPECT_FALSE(QFileInfo(name + QStringLiteral(".dig")).isSymLink());
        for (const QString &p : planted)
            EXPECT_TRUE(QFileInfo(p).isSymLink()) << p.toStdString();
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
                  3 + planted.size());
    }
#endif
}

TEST_F(FiscalMemoryTest, DigestFilesWithoutBaselineOrInLowerCaseAreAccepted)
{
    pf.Lines = TFiscalFile().Lines();
    const QString name = Path(QStringLiteral("r.frp"));
    WriteLines(name, pf.Lines);
    const QByteArray variants[] = {pf.ComputeDigest(false).toLatin1() + "\r\n",
                                   pf.ComputeDigest(false).toLower().toLatin1(),
                                   "0\r\n" + pf.ComputeDigest(true).toLower().toLatin1() + "\r\n"};
    for (const QByteArray &v : variants) {
        WriteAll(name + QStringLiteral(".dig"), v);
        EXPECT_TRUE(pf.Wczytaj(name)) << v.constData();
    }
    EXPECT_TRUE(messages.Log.isEmpty()) << messages.Log.join(u'\n').toStdString();
}

// A refused file names itself and the line, and the memory keeps what it
// had loaded before: its tables, identity, lines and baseline.
TEST_F(FiscalMemoryTest, AFileChangedInOneCharacterIsRefusedAndTheLoadedOneStays)
{
    TFiscalFile f;
    f.Daily << TDaily().Line();
    pf.Lines = f.Lines();
    pf.MrsBaseline = 3;
    const QString name = Path(QStringLiteral("r.frp"));
    ASSERT_TRUE(pf.Zapisz(name));
    ASSERT_TRUE(pf.Wczytaj(name));
    const QStringList saved = pf.Lines;
    // The baseline belongs to the digest too.
    for (int line : {1, 100, 237, 0}) {
        QStringList lines = saved;
        QByteArray dig = ReadAll(name + QStringLiteral(".dig"));
        const QString copy = Path(QStringLiteral("c%1.frp").arg(line));
        if (line > 0)
            lines[line - 1][5] = lines[line - 1][5] == u'1' ? u'2' : u'1';
        else
            dig[0] = '4';
        WriteLines(copy, lines);
        WriteAll(copy + QStringLiteral(".dig"), dig);
        messages.Log.clear();
        EXPECT_FALSE(pf.Wczytaj(copy)) << line;
        EXPECT_EQ(messages.Log, QStringList{QStringLiteral("error: Nieprawidłowa zawartość pliku.\r\nPlik \"%1\" nie "
                                                           "zgadza się z sumą kontrolną z pliku \"%1.dig\", wiersz 2.")
                                                .arg(copy)});
        EXPECT_TRUE(pf.CanSave() && pf.CanPrint());
        EXPECT_EQ(pf.Lines, saved);
        EXPECT_EQ(pf.MTPF.RecordCount(), 1);
    }
}

TEST_F(FiscalMemoryTest, AFileWithoutLinesIsRefusedWhateverItsDigest)
{
    const QString name = Path(QStringLiteral("pusty.frp"));
    WriteAll(name, QByteArray());
    pf.Lines.clear();
    pf.MrsBaseline = 0;
    WriteAll(name + QStringLiteral(".dig"), "0\r\n" + pf.ComputeDigest(true).toLatin1() + "\r\n");
    EXPECT_FALSE(pf.Wczytaj(name));
    EXPECT_EQ(messages.Log, QStringList{QStringLiteral("error: Nieprawidłowe dane !\r\nPlik \"%1\", wiersz 1.").arg(name)});
    EXPECT_FALSE(pf.CanSave());
    EXPECT_EQ(pf.Report(), nullptr);
}

TEST_F(FiscalMemoryTest, ALineThatDoesNotDecodeIsNamedInTheFileOrTheRegistersAnswer)
{
    TFiscalFile f;
    f.Daily << TDaily().Line().left(100);
    pf.Lines = f.Lines();
    const QString name = Path(QStringLiteral("r.frp"));
    ASSERT_TRUE(pf.Zapisz(name));
    EXPECT_FALSE(pf.Wczytaj(name));
    jobs.Job = [&](const QString &) { WriteLines(Path(QStringLiteral("pf.txt")), f.Lines()); };
    EXPECT_FALSE(pf.Odczytaj(TFiscalReadRange::Full(), KasaER_A277PSPlus));
    EXPECT_EQ(messages.Log, (QStringList{QStringLiteral("error: Nieprawidłowe dane !\r\nPlik \"%1\", wiersz 237.").arg(name),
                                         QStringLiteral("error: Nieprawidłowe dane !\r\nWiersz 237 danych odczytanych z kasy.")}));
    EXPECT_FALSE(pf.CanPrint()); // the failed read replaced what there was
}

TEST_F(FiscalMemoryTest, MissingFilesAreNamed)
{
    const QString name = Path(QStringLiteral("brak.frp"));
    EXPECT_FALSE(pf.Wczytaj(name));
    WriteLines(name, {QStringLiteral("x")});
    EXPECT_FALSE(pf.Wczytaj(name));
    EXPECT_EQ(messages.Log, (QStringList{QStringLiteral("error: Nie mogę odnaleźć pliku ") + name,
                                         QStringLiteral("error: Nie mogę odnaleźć pliku ") + name + QStringLiteral(".dig")}));
}

TEST_F(FiscalMemoryTest, AFailedSaveKeepsTheEarlierFile)
{
    pf.Lines = TFiscalFile().Lines();
    const QString name = Path(QStringLiteral("r.frp"));
    WriteAll(name + QStringLiteral(".dig"), "earlier digest");
    QDir(dir.path()).mkdir(QStringLiteral("r.frp")); // the report file cannot be written
    EXPECT_FALSE(pf.Zapisz(name));
    EXPECT_EQ(ReadAll(name + QStringLiteral(".dig")), QByteArray("earlier digest"));
    ASSERT_EQ(messages.Log.size(), 1);
    EXPECT_TRUE(messages.Log.first().startsWith(QStringLiteral("error: Nie mogę zapisać pliku ")));
}

TEST_F(FiscalMemoryTest, AReportPairOverAPipeOrADeviceIsNotWritten)
{
    pf.Lines = TFiscalFile().Lines();
#ifdef _WIN32
    // A device's name in any folder, with any extension: the report's own.
    const QString name = Path(QStringLiteral("con.frp")), refused = name;
#else
    const QString name = Path(QStringLiteral("r.frp")), digest = name + QStringLiteral(".dig"), refused = digest;
    ASSERT_EQ(::mkfifo(QFile::encodeName(digest).constData(), 0600), 0);
#endif
    EXPECT_FALSE(pf.Zapisz(name));
    EXPECT_EQ(messages.Log, QStringList{QStringLiteral("error: Nie mogę zapisać pliku %1: to nie jest zwykły plik, lecz "
                                                       "urządzenie, potok lub gniazdo").arg(refused)});
#ifndef _WIN32
    EXPECT_FALSE(QFileInfo(digest).isFile() || QFileInfo::exists(name));
#endif
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.zapis*")}, QDir::AllEntries | QDir::Hidden), QStringList());
}

// The range part of the read's switches (before /F).
QString RangeSwitches(const TFiscalReadRange &range)
{
    const QString switches = JobSwitches(TJobRequest::FiscalRead(TFiscalMemory::JobRange(range), QStringLiteral("pf.txt")));
    return switches.left(switches.indexOf(QStringLiteral("/F")));
}

TEST_F(FiscalMemoryTest, RangeSwitchesReadOneReportBeforeANumberRange)
{
    EXPECT_EQ(RangeSwitches(TFiscalReadRange::Full()), QStringLiteral("/M0"));
    EXPECT_EQ(RangeSwitches(TFiscalReadRange::Numbers(1, 100)), QStringLiteral("/M0 /R0001-0100"));
    EXPECT_EQ(RangeSwitches(TFiscalReadRange::Numbers(5, 20)), QStringLiteral("/M0 /R0004-0020"));
    EXPECT_EQ(RangeSwitches(TFiscalReadRange::Dates(QDate(2024, 1, 2), QDate(2024, 2, 29))),
              QStringLiteral("/M1 /R020124-290224"));
}

// The fake register writes the exchange file from a list of reports.
class FiscalReadTest : public FiscalMemoryTest {
protected:
    void Answer(const std::function<QList<TDaily>(const QString &)> &reports)
    {
        jobs.Job = [this, reports](const QString &switches) {
            ASSERT_TRUE(switches.endsWith(QStringLiteral("/Fpf.txt /XP"))) << switches.toStdString();
            TFiscalFile f;
            for (const TDaily &d : reports(switches))
                f.Daily << d.Line();
            WriteLines(Path(QStringLiteral("pf.txt")), f.Lines());
        };
    }
    static TDaily Report(int n, int mrs)
    {
        TDaily d;
        d.Number = n;
        d.Mrs = mrs;
        return d;
    }
    QList<int> Numbers()
    {
        QList<int> n;
        for (int r = 0; r < pf.MTPF.RecordCount(); ++r)
            n << pf.MTPF.FieldByName(QStringLiteral("Numer")).TextAt(r).toInt();
        return n;
    }
};

TEST_F(FiscalReadTest, ANumberRangeTakesTheBaselineFromTheReportBefore)
{
    Answer([](const QString &) { return QList<TDaily>{Report(4, 3), Report(5, 3), Report(6, 3)}; });
    ASSERT_TRUE(pf.Odczytaj(TFiscalReadRange::Numbers(5, 6), KasaER_A277PSPlus)) << messages.Log.join(u'\n').toStdString();
    EXPECT_EQ(jobs.Switches, QStringList{QStringLiteral("/M0 /R0004-0006/Fpf.txt /XP")});
    EXPECT_EQ(pf.MrsBaseline, 3);
    EXPECT_EQ(Numbers(), (QList<int>{5, 6}));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("pf.txt"))));
    EXPECT_EQ(wait.Messages, QStringList{QStringLiteral("Przetwarzam dane z kasy...")});
    EXPECT_TRUE(pf.CanSave());
}

TEST_F(FiscalReadTest, ANumberRangeFromOneKeepsEveryLine)
{
    Answer([](const QString &) { return QList<TDaily>{Report(1, 0), Report(2, 0)}; });
    ASSERT_TRUE(pf.Odczytaj(TFiscalReadRange::Numbers(1, 2), KasaER_A277PSPlus));
    EXPECT_EQ(pf.MrsBaseline, 0);
    EXPECT_EQ(Numbers(), (QList<int>{1, 2}));
}

TEST_F(FiscalReadTest, ADateRangeReadsTheReportBeforeInASecondJob)
{
    Answer([](const QString &s) {
        if (s.startsWith(QStringLiteral("/M1")))
            return QList<TDaily>{Report(7, 2), Report(8, 2)};
        return QList<TDaily>{Report(6, 1)};
    });
    ASSERT_TRUE(pf.Odczytaj(TFiscalReadRange::Dates(QDate(2024, 1, 2), QDate(2024, 1, 3)), KasaER_A277PSPlus));
    EXPECT_EQ(jobs.Switches, (QStringList{QStringLiteral("/M1 /R020124-030124/Fpf.txt /XP"),
                                          QStringLiteral("/M0 /R0006-0006/Fpf.txt /XP")}));
    EXPECT_EQ(pf.MrsBaseline, 1);
    EXPECT_EQ(Numbers(), (QList<int>{7, 8}));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("pf.txt"))));
}

TEST_F(FiscalReadTest, ASecondReadWithoutItsReportFails)
{
    Answer([](const QString &s) {
        if (s.startsWith(QStringLiteral("/M1")))
            return QList<TDaily>{Report(7, 2)};
        return QList<TDaily>{};
    });
    EXPECT_FALSE(pf.Odczytaj(TFiscalReadRange::Dates(QDate(2024, 1, 2), QDate(2024, 1, 3)), KasaER_A277PSPlus));
    EXPECT_EQ(messages.Log, QStringList{QStringLiteral("error: Niewlasciwy format pliku tmp")});
    EXPECT_FALSE(pf.CanSave());
    EXPECT_EQ(pf.Report(), nullptr);
}

TEST_F(FiscalReadTest, AnotherModelIsRefusedBeforeAnyJob)
{
    EXPECT_FALSE(pf.Odczytaj(TFiscalReadRange::Full(), KasaER_A277PS));
    EXPECT_TRUE(jobs.Switches.isEmpty());
    ASSERT_EQ(messages.Log.size(), 1);
    EXPECT_TRUE(messages.Log.first().contains(QStringLiteral("ER-A277PS Plus")));
}

TEST_F(FiscalReadTest, AFailedJobEndsTheReadSilently)
{
    jobs.Job = [](const QString &) { throw EAbort(); };
    EXPECT_FALSE(pf.Odczytaj(TFiscalReadRange::Full(), KasaER_A277PSPlus));
    EXPECT_TRUE(messages.Log.isEmpty());
    EXPECT_FALSE(pf.Drukuj(nullptr)); // no report: nothing to print
}

TEST_F(FiscalMemoryTest, PdfNamesKeepOnlyLettersAndDigitsOfTheUniqueNumber)
{
    TFiscalFile f;
    f.Header = HeaderLine(QStringLiteral("../A/B\\C12:"));
    pf.Lines = f.Lines();
    pf.ParseLines();
    EXPECT_EQ(pf.NewPdfName(), Path(QStringLiteral("raportABC12-0000002A.pdf")));
}

TEST_F(FiscalMemoryTest, PrintingWritesThePdfOpensItAndDeletesOldOnes)
{
    TFiscalFile f;
    f.Daily << TDaily().Line();
    pf.Lines = f.Lines();
    pf.ParseLines();
    TRecOpener opener;
#ifdef _WIN32
    const bool printed = pf.Drukuj(&opener);
#else
    const mode_t umaskBefore = ::umask(022);
    const bool printed = pf.Drukuj(&opener);
    ::umask(umaskBefore);
#endif
    ASSERT_TRUE(printed) << messages.Log.join(u'\n').toStdString();
    const QString pdf = Path(QStringLiteral("raportABC12345678-0000002A.pdf"));
    EXPECT_EQ(opener.Opened, QStringList{pdf});
    EXPECT_TRUE(ReadAll(pdf).startsWith("%PDF-"));
#ifndef _WIN32
    EXPECT_EQ(QFileInfo(pdf).permissions() & 0x0077, 0); // nothing for group and others
#endif
    EXPECT_FALSE(pf.ReportContent.IsEmpty());
    TFiscalMemory::DeleteReportPdfs(Path(QStringLiteral("raport")));
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

TEST_F(FiscalMemoryTest, ThePdfIsSavedOnlyWithAReportAndNeverOverAFolder)
{
    EXPECT_FALSE(pf.ZapiszPdf(Path(QStringLiteral("nic.pdf"))));
    pf.Lines = TFiscalFile().Lines();
    pf.ParseLines();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.pdf")));
    EXPECT_FALSE(pf.ZapiszPdf(Path(QStringLiteral("folder.pdf"))));
    EXPECT_TRUE(messages.Log.value(0).startsWith(QStringLiteral("error: Nie mogę zapisać pliku ")));
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("folder.pdf"))).isDir());
}

// ---- The real module and the simulated register ----

class FiscalSimTest : public FiscalMemoryTest {
protected:
    void SetUp() override
    {
        sim = std::make_unique<TSharedSimulator>();
        sim->WithRegister([](TSimRegister &r) {
            r.Fiscal.Reports = 30;
            r.Fiscal.RamResets = 4;
            r.Fiscal.CurrencyChange = 20;
        });
        runner = std::make_unique<TSimJobRunner>(*sim, clock, dir.path());
    }

    int CounterOf(int report)
    {
        return sim->WithRegister([&](TSimRegister &r) {
            for (const TDailyReport &d : r.DailyReports())
                if (d.Number == report)
                    return int(d.Bytes.at(47));
            return -1;
        });
    }
    QDate DateOf(int report)
    {
        return sim->WithRegister([&](TSimRegister &r) {
            for (const TDailyReport &d : r.DailyReports())
                if (d.Number == report)
                    return QDate(d.Year, d.Month, d.Day);
            return QDate();
        });
    }
    QList<int> Numbers(const TFiscalMemory &m)
    {
        QList<int> n;
        for (int r = 0; r < m.MTPF.RecordCount(); ++r)
            n << m.MTPF.FieldByName(QStringLiteral("Numer")).TextAt(r).toInt();
        return n;
    }

    TVirtualClock clock;
    std::unique_ptr<TSharedSimulator> sim;
    std::unique_ptr<TSimJobRunner> runner;
};

TEST_F(FiscalSimTest, EachReadModeGivesAMemoryThatSavesLoadsAndVerifies)
{
    struct TCase {
        TFiscalReadRange Range;
        int First, Last;
        int BaselineReport; // 0: none
    };
    const TCase cases[] = {
        {TFiscalReadRange::Full(), 1, 30, 0},
        {TFiscalReadRange::Numbers(12, 25), 12, 25, 11},
        {TFiscalReadRange::Dates(DateOf(8), DateOf(14)), 8, 14, 7},
    };
    int i = 0;
    for (const TCase &c : cases) {
        SCOPED_TRACE(i);
        TFiscalMemory read(*runner, wait, messages, Path(QStringLiteral("pf.txt")), Path(QStringLiteral("raport")));
        read.Now = pf.Now;
        ASSERT_TRUE(read.Odczytaj(c.Range, KasaER_A277PSPlus))
            << messages.Log.join(u'\n').toStdString() << " end code " << runner->LastCode;
        QList<int> expected;
        for (int n = c.First; n <= c.Last; ++n)
            expected << n;
        EXPECT_EQ(Numbers(read), expected);
        EXPECT_EQ(read.MrsBaseline, c.BaselineReport ? CounterOf(c.BaselineReport) : 0);
        EXPECT_EQ(read.MrsCount(), 4);
        EXPECT_EQ(read.UniqueNumber.size(), 11);
        ASSERT_NE(read.Report(), nullptr);
        read.Report()->BuildReport(read.MrsBaseline);

        const QString name = Path(QStringLiteral("pf%1.frp").arg(++i));
        ASSERT_TRUE(read.Zapisz(name));
        TFiscalMemory loaded(jobs, wait, messages, Path(QStringLiteral("pf.txt")), Path(QStringLiteral("raport")));
        loaded.Now = pf.Now;
        ASSERT_TRUE(loaded.Wczytaj(name)) << messages.Log.join(u'\n').toStdString();
        EXPECT_EQ(loaded.Lines, read.Lines);
        EXPECT_EQ(loaded.MrsBaseline, read.MrsBaseline);
        loaded.Report()->BuildReport(loaded.MrsBaseline);
        ASSERT_EQ(loaded.ReportContent.RecordCount(), read.ReportContent.RecordCount());
        for (int r = 0; r < read.ReportContent.RecordCount(); ++r)
            ASSERT_EQ(loaded.ReportContent.Field(0).TextAt(r), read.ReportContent.Field(0).TextAt(r)) << r;
    }
    EXPECT_EQ(runner->CommandLines.size(), 4); // the date range reads twice
    EXPECT_EQ(runner->CommandLines.first(), QStringLiteral("/LW /V277PSP /P1 /B9600 /M0/Fpf.txt /XP"));
    EXPECT_TRUE(messages.Log.isEmpty()) << messages.Log.join(u'\n').toStdString();
}

TEST_F(FiscalSimTest, AReportTheRegisterKeepsInconsistentIsReadAndMarked)
{
    sim->WithRegister([](TSimRegister &r) {
        r.Fiscal.DueMismatch = 5;
        return 0;
    });
    TFiscalMemory read(*runner, wait, messages, Path(QStringLiteral("pf.txt")), Path(QStringLiteral("raport")));
    read.Now = pf.Now;
    ASSERT_TRUE(read.Odczytaj(TFiscalReadRange::Full(), KasaER_A277PSPlus)) << " end code " << runner->LastCode;
    for (int row = 0; row < read.MTPF.RecordCount(); ++row)
        EXPECT_EQ(read.PFFields.Uwagi.TextAt(row).isEmpty(), row != 4) << row;
}

} // namespace

TEST_F(FiscalMemoryTest, ABlankCurrencySymbolLoadsAndPrints)
{
    TFiscalFile f;
    f.Currency << CurrencyLine(1, QStringLiteral("01"), QStringLiteral("0001"), QStringLiteral("030124"),
                               QStringLiteral("2359"), QStringLiteral("20202020"));
    TDaily d;
    f.Daily << d.Line();
    d.Number = 2;
    d.Date = QStringLiteral("040124");
    f.Daily << d.Line();
    pf.Lines = f.Lines();
    const QString name = Path(QStringLiteral("pusta-waluta.frp"));
    ASSERT_TRUE(pf.Zapisz(name));
    ASSERT_TRUE(pf.Wczytaj(name)) << messages.Log.join(u'\n').toStdString();
    EXPECT_EQ(pf.PFFields.Waluta.TextAt(0), QStringLiteral("PLN"));
    EXPECT_EQ(pf.PFFields.Waluta.TextAt(1), QString());
    EXPECT_TRUE(pf.ReportLines().contains(QStringLiteral("EWIDENCYJNA      ")));
    EXPECT_TRUE(pf.ZapiszPdf(Path(QStringLiteral("r.pdf"))));
    EXPECT_EQ(messages.Log, QStringList());
}

TEST_F(FiscalMemoryTest, AMalformedLineIsNamedInPolishWithItsControlCharactersByCode)
{
    const QString daily = TDaily().Line();
    auto in = [](QString line, int pos, const QString &text) { return line.replace(pos - 1, text.size(), text); };
    struct TCase {
        int Line;
        QString Text;
        QString Message;
    };
    const TCase cases[] = {
        {237, in(daily, 1, QStringLiteral("\x1b[2J")), "\"<1B>[2J\" nie jest poprawną liczbą całkowitą"},
        {237, in(daily, 6, QStringLiteral("01") + QChar(0) + QStringLiteral("124")), "\"01<00>124\" nie jest poprawną datą"},
        {237, in(daily, 13, QStringLiteral("     1\x07" "3.45")), "\"     1<07>3.45\" nie jest poprawną liczbą zmiennoprzecinkową"},
        {3, MrsLine(1, QStringLiteral("010124"), QStringLiteral("1\x1b" "00")), "\"1<1B>\" nie jest poprawną liczbą całkowitą"},
        {203, CurrencyLine(1, QStringLiteral("01"), QStringLiteral("00\x7f" "1")), "\"00<7F>1\" nie jest poprawną liczbą całkowitą"},
    };
    for (const TCase &c : cases) {
        messages.Log.clear();
        TFiscalFile f;
        f.Daily << daily;
        QStringList lines = f.Lines();
        lines[c.Line - 1] = c.Text;
        const QString name = Path(QStringLiteral("zly.frp"));
        pf.Lines = lines;
        ASSERT_TRUE(pf.Zapisz(name));
        EXPECT_FALSE(pf.Wczytaj(name));
        EXPECT_EQ(messages.Log, QStringList{QStringLiteral("error: ") + c.Message
                                            + QStringLiteral("\r\nPlik \"%1\", wiersz %2.").arg(name).arg(c.Line)})
            << c.Line;
    }
    // The digest file's baseline line too.
    const QString name = Path(QStringLiteral("zly.frp"));
    WriteAll(name + QStringLiteral(".dig"), QByteArray("1\x1b[2J\r\n") + QByteArray(40, 'A') + "\r\n");
    messages.Log.clear();
    EXPECT_FALSE(pf.Wczytaj(name));
    EXPECT_EQ(messages.Log, QStringList{QStringLiteral("error: \"1<1B>[2J\" nie jest poprawną liczbą całkowitą\r\nPlik \"%1\", wiersz 1.")
                                            .arg(name + QStringLiteral(".dig"))});
}
