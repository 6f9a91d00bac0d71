// Sales reports: the report's lines from the editor tables, with and without
// deposit groups, and the steps of making one (reads, file, view question).
#include "data/UCodePage.h"
#include "reports/core/USalesReport.h"

#include "../data/data_test_support.h"
#include "recording_runners.h"
#include "scripted_messages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gmock/gmock.h>

namespace {

Currency Money(const char *text) { return *Currency::Parse(QString::fromLatin1(text), u'.'); }

void AddGroup(TDM &dm, int numer, const QString &nazwa, const char *vat, const char *cena, const char *ldw,
              double ldi, const char *low, double loi)
{
    TRxMemoryData &t = dm.MDGrupy;
    t.Append();
    t.FieldByName("Numer").SetAsInteger(numer);
    t.FieldByName("Nazwa").SetAsString(nazwa);
    t.FieldByName("VAT").SetAsString(QString::fromLatin1(vat));
    t.FieldByName("Cena").SetAsCurrency(Money(cena));
    t.FieldByName("LDW").SetAsCurrency(Money(ldw));
    t.FieldByName("LDI").SetAsFloat(ldi);
    t.FieldByName("LOW").SetAsCurrency(Money(low));
    t.FieldByName("LOI").SetAsFloat(loi);
    t.Post();
}

void AddCode(TDM &dm, const char *numer, const QString &nazwa, int grupa, const char *cena, const char *ldw,
             double ldi)
{
    TRxMemoryData &t = dm.MDKody;
    t.Append();
    t.FieldByName("Numer").SetAsString(QString::fromLatin1(numer));
    t.FieldByName("Nazwa").SetAsString(nazwa);
    t.FieldByName("Grupa").SetAsInteger(grupa);
    t.FieldByName("Cena").SetAsCurrency(Money(cena));
    t.FieldByName("LDW").SetAsCurrency(Money(ldw));
    t.FieldByName("LDI").SetAsFloat(ldi);
    t.Post();
}

void AddDeposit(TDM &dm, int numer, const char *cena, const char *ldww, double ldiw, const char *ldwz, double ldiz)
{
    TRxMemoryData &t = dm.MDKaucje;
    t.Append();
    t.FieldByName("Numer").SetAsInteger(numer);
    t.FieldByName("Cena").SetAsCurrency(Money(cena));
    t.FieldByName("LDWw").SetAsCurrency(Money(ldww));
    t.FieldByName("LDIw").SetAsFloat(ldiw);
    t.FieldByName("LDWz").SetAsCurrency(Money(ldwz));
    t.FieldByName("LDIz").SetAsFloat(ldiz);
    t.Post();
}

class TRecordingReads : public ISalesReportReads {
public:
    void ReadTable(TSalesSection section) override
    {
        Reads.push_back(section);
        if (FailAt == int(Reads.size()))
            throw EAbort();
        if (OnRead)
            OnRead(section);
    }
    std::vector<TSalesSection> Reads;
    int FailAt = 0; // 1-based read that fails; 0: none
    std::function<void(TSalesSection)> OnRead;
};

class TRecordingViewer : public IShellOpener {
public:
    void OpenWithShell(const QString &fileName) override
    {
        Opened << fileName;
        if (!Succeeds)
            throw Exception(OpenFailedMessage(QStringLiteral("brak przeglądarki")));
    }
    QStringList Opened;
    bool Succeeds = true;
};

const QStringList kHead{QStringLiteral("Raport rozpoczęto 2026-12-07 10:00:00"), QString(79, u'-')};
const QString kGroupsHeader =
    QStringLiteral("Nr Nazwa           VAT     Cena   Wartość dz. Ilość dz.  Wartość okr.Ilość okr.");
const QString kCodesHeader = QStringLiteral("        Numer  Nazwa          Grupa     Cena   Wartość dz. Ilość dz.");
const QString kDepositsHeader = QStringLiteral("Nr      Cena  Wartość wyd. Ilość wyd. Wartość zwr. Ilość zwr.");
const QString kDepositGroupsHeader =
    QStringLiteral("Nr Nazwa                 Cena  Wartość wyd. Ilość wyd. Wartość zwr. Ilość zwr.");
const QString kMarks2 = QStringLiteral("                                =============           =============");
const QString kMarksCodes = QStringLiteral("                                             =============");
const QString kMarksDeposits = QStringLiteral("             =============           =============");
const QString kMarksDepositGroups = QStringLiteral("                              =============           =============");

QStringList Section(const QString &title, const QString &header, const QStringList &rows, const QString &marks,
                    const QString &sums)
{
    QStringList out{QString(), title, QString(), header, QString(header.size(), u'-')};
    out << rows << marks << sums;
    return out;
}

class SalesReportTest : public PolishDataModuleTest {
protected:
    void SetUp() override
    {
        PolishDataModuleTest::SetUp();
        AddGroup(dm, 1, QStringLiteral("Pieczywo"), "A", "2.50", "125.50", 50.2, "1250.75", 500.3);
        AddGroup(dm, 2, QStringLiteral("Nabiał"), "B", "3.99", "10.125", 2.5, "0.005", 0);
        AddGroup(dm, 9, QStringLiteral("Kaucje wyd"), "A", "0", "7", 7, "70", 70);
        AddCode(dm, "00000000000005", QStringLiteral("Chleb"), 1, "2.50", "25", 10);
        AddCode(dm, "00000000000007", QStringLiteral("Mleko"), 2, "3.10", "-6.20", -2);
        AddCode(dm, "00000000000041", QStringLiteral("Skrzynka"), 9, "10", "20", 2);
        AddCode(dm, "15901234123457", QStringLiteral("Butelka"), 10, "0.50", "12.50", 5);
        AddDeposit(dm, 1, "0.50", "5", 10, "1.50", 3);
        AddDeposit(dm, 2, "0.30", "0.60", 2, "0", 0);
    }

    QStringList Body(TSalesSections s = {}) const
    {
        return SalesReportBody(dm, s, QStringLiteral("2026-12-07 10:00:00"));
    }

    const QStringList groupRows{
        QStringLiteral(" 1 Pieczywo         A      2,50        125,50    50,200       1250,75   500,300"),
        QStringLiteral(" 2 Nabiał           B      3,99         10,13     2,500          0,01     0,000"),
        QStringLiteral(" 9 Kaucje wyd       A      0,00          7,00     7,000         70,00    70,000")};
    const QStringList codeRows{
        QStringLiteral("             5 Chleb             1      2,50         25,00    10,000"),
        QStringLiteral("             7 Mleko             2      3,10         -6,20    -2,000"),
        QStringLiteral("            41 Skrzynka          9     10,00         20,00     2,000"),
        QStringLiteral(" 5901234123457 Butelka          10      0,50         12,50     5,000")};
};

TEST_F(SalesReportTest, ReportOfTheErA277PSPlusWithItsDepositsTable)
{
    ASSERT_FALSE(dm.RegisterProfile.DepositGroups);
    QStringList expected = kHead;
    expected << Section(QStringLiteral("Grupy"), kGroupsHeader, groupRows, kMarks2,
                        QStringLiteral("                                       142,63                 1320,76"))
             << Section(QStringLiteral("Kody"), kCodesHeader, codeRows, kMarksCodes,
                        QStringLiteral("                                                     51,30"))
             << Section(QStringLiteral("Kaucje"), kDepositsHeader,
                        {QStringLiteral(" 1      0,50          5,00    10,000          1,50     3,000"),
                         QStringLiteral(" 2      0,30          0,60     2,000          0,00     0,000")},
                        kMarksDeposits, QStringLiteral("                      5,60                    1,50"))
             << QStringLiteral("---");
    const QStringList actual = Body();
    ASSERT_EQ(actual.size(), expected.size()) << actual.join(u'\n').toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i].toStdString(), expected[i].toStdString()) << "line " << i + 1;
}

TEST_F(SalesReportTest, DepositGroupsLeaveGroupsNineAndTenOutOfRowsAndSums)
{
    dm.ApplyProfile(KasaER_A235P, true, 0);
    ASSERT_TRUE(dm.RegisterProfile.DepositGroups);
    QStringList expected = kHead;
    expected << Section(QStringLiteral("Grupy"), kGroupsHeader, groupRows.mid(0, 2), kMarks2,
                        QStringLiteral("                                       135,63                 1250,76"))
             << Section(QStringLiteral("Kody"), kCodesHeader, codeRows.mid(0, 2), kMarksCodes,
                        QStringLiteral("                                                     18,80"))
             // The EAN-13 code's number does not fit 32 bits.
             << Section(QStringLiteral("Kaucje"), kDepositGroupsHeader,
                        {QStringLiteral("41 Skrzynka             10,00         20,00     2,000          0,00     0,000"),
                         QStringLiteral("15901234123457 Butelka               0,50          0,00     0,000         "
                                        "12,50     5,000")},
                        kMarksDepositGroups,
                        QStringLiteral("                                      20,00                   12,50"))
             << QStringLiteral("---");
    const QStringList actual = Body();
    ASSERT_EQ(actual.size(), expected.size()) << actual.join(u'\n').toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i].toStdString(), expected[i].toStdString()) << "line " << i + 1;
}

TEST_F(SalesReportTest, ChosenSectionsAndTheDepositsSettingDecideWhatIsWritten)
{
    struct Case {
        TSalesSections chosen;
        bool kaucje;
        QStringList titles;
    };
    const std::vector<Case> cases{
        {{true, false, false}, true, {"Grupy"}},
        {{false, true, true}, true, {"Kody", "Kaucje"}},
        {{true, true, true}, false, {"Grupy", "Kody"}},
        {{false, false, true}, false, {}},
    };
    for (const Case &c : cases) {
        dm.ApplyProfile(KasaER_A277PSPlus, c.kaucje, 0);
        const QStringList body = Body(c.chosen);
        QStringList titles;
        for (qsizetype i = 1; i + 1 < body.size(); ++i)
            if (body[i - 1].isEmpty() && body[i + 1].isEmpty())
                titles << body[i];
        EXPECT_EQ(titles, c.titles) << titles.join(u',').toStdString();
        EXPECT_EQ(body.last(), QStringLiteral("---"));
    }
}

TEST_F(SalesReportTest, EmptyTablesGiveTheirSectionsWithZeroSumsInTheLocaleFormat)
{
    dm.MDGrupy.EmptyTable();
    dm.MDKody.EmptyTable();
    dm.MDKaucje.EmptyTable();
    struct Case {
        TFormatSettings fs;
        QString groupSums, codeSums;
    };
    const std::vector<Case> cases{
        {TFormatSettings::Polish(), QStringLiteral("                                         0,00                    0,00"),
         QStringLiteral("                                                      0,00")},
        {TFormatSettings::PointDecimal(),
         QStringLiteral("                                         0.00                    0.00"),
         QStringLiteral("                                                      0.00")},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(SalesGroupsSection(dm.MDGrupy, false, c.fs),
                  Section(QStringLiteral("Grupy"), kGroupsHeader, {}, kMarks2, c.groupSums));
        EXPECT_EQ(SalesCodesSection(dm.MDKody, false, c.fs),
                  Section(QStringLiteral("Kody"), kCodesHeader, {}, kMarksCodes, c.codeSums));
    }
}

// UTF-8 on Linux; Windows-1250, the ANSI code page of a Polish Windows,
// there.
TEST(SalesReportFile, Utf8WithCrLfAfterEveryLine)
{
#ifdef _WIN32
    const QByteArray n = "\xf1";
#else
    const QByteArray n = "\xc5\x84";
#endif
    const QByteArray bytes = EncodeSalesReport({QStringLiteral("Raport zakończono x"), QString(), QStringLiteral("---")});
    EXPECT_EQ(bytes, "Raport zako" + n + "czono x\r\n\r\n---\r\n");
}

TEST(SalesReportFile, DateAndTimeInTheLocaleFormatsWithoutTheZone)
{
    const QDateTime when(QDate(2026, 12, 7), QTime(9, 5, 3), QTimeZone::utc());
    const QString text = SalesReportDateTime(when, QLocale(QLocale::Polish, QLocale::Poland));
    EXPECT_TRUE(text.startsWith(QLocale(QLocale::Polish, QLocale::Poland).toString(when.date(), QLocale::ShortFormat)))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(" 09:05:03"))) << text.toStdString();
}

// ------------------------------------------------------------ making one

class SalesReportMakerTest : public SalesReportTest {
protected:
    void SetUp() override
    {
        SalesReportTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        file = dir.filePath(QStringLiteral("raport.txt"));
        maker.Now = [this] { return QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)).addSecs(60 * clockCalls++); };
        maker.DateTimeText = [](const QDateTime &t) { return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); };
    }
    QStringList FileLines() const
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return {QStringLiteral("<no file>")};
#ifdef _WIN32
        QStringList lines = FromCp1250(f.readAll()).split(QStringLiteral("\r\n"));
#else
        QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
#endif
        lines.removeLast();
        return lines;
    }

    QTemporaryDir dir;
    QString file;
    int clockCalls = 0;
    TRecordingReads reads;
    TRecordingWait wait;
    TSalesReportMaker maker{dm, reads, wait};
};

TEST_F(SalesReportMakerTest, ReadsTheChosenTablesInOrderOnlyForRegisterData)
{
    using S = TSalesSection;
    struct Case {
        int kasa;
        bool kaucje;
        TSalesSections chosen;
        TSalesSource source;
        std::vector<S> reads;
        bool noEditorTables = false; // the console's maker
    };
    const std::vector<Case> cases{
        {KasaER_A277PSPlus, true, {}, TSalesSource::Register, {S::Groups, S::Codes, S::Deposits}},
        {KasaER_A277PSPlus, true, {}, TSalesSource::Editor, {}},
        {KasaER_A277PSPlus, false, {}, TSalesSource::Register, {S::Groups, S::Codes}},
        {KasaER_A277PSPlus, true, {false, true, true}, TSalesSource::Register, {S::Codes, S::Deposits}},
        // Deposit groups: the deposits are codes, so they need no read of their own.
        {KasaER_A235P, true, {}, TSalesSource::Register, {S::Groups, S::Codes}},
        {KasaER_A235P, true, {false, false, true}, TSalesSource::Register, {}},
        // ... but without editor tables the codes are read for them.
        {KasaER_A235P, true, {false, false, true}, TSalesSource::Register, {S::Codes}, true},
        {KasaER_A235P, true, {true, true, true}, TSalesSource::Register, {S::Groups, S::Codes}, true},
    };
    for (const Case &c : cases) {
        dm.ApplyProfile(c.kasa, c.kaucje, 0);
        maker.ReadCodesForDepositGroups = c.noEditorTables;
        reads.Reads.clear();
        maker.Make(file, c.chosen, c.source);
        EXPECT_EQ(reads.Reads, c.reads) << "kasa " << c.kasa << " source " << int(c.source);
    }
}

TEST_F(SalesReportMakerTest, WritesTheReportFromTheTablesAsTheReadsLeftThem)
{
    // The read replaces the editor table before the report is made of it.
    reads.OnRead = [this](TSalesSection s) {
        if (s == TSalesSection::Groups) {
            dm.MDGrupy.EmptyTable();
            AddGroup(dm, 3, QStringLiteral("Świeże"), "C", "1", "2", 1, "3", 1.5);
        }
    };
    maker.Make(file, {true, false, false}, TSalesSource::Register);
    EXPECT_EQ(wait.Messages, QStringList{QStringLiteral("Zapisuję raport ...")});
    QStringList expected{QStringLiteral("Raport rozpoczęto 2026-12-07 10:00:00"), QString(79, u'-')};
    expected << Section(QStringLiteral("Grupy"), kGroupsHeader,
                        {QStringLiteral(" 3 Świeże           C      1,00          2,00     1,000          3,00     1,500")},
                        kMarks2, QStringLiteral("                                         2,00                    3,00"))
             << QStringLiteral("---") << QStringLiteral("Raport zakończono 2026-12-07 10:01:00");
    EXPECT_EQ(FileLines(), expected);
}

TEST_F(SalesReportMakerTest, AFailedReadEndsTheReportWithoutAFile)
{
    reads.FailAt = 2;
    EXPECT_THROW(maker.Make(file, {}, TSalesSource::Register), EAbort);
    EXPECT_EQ(reads.Reads, (std::vector<TSalesSection>{TSalesSection::Groups, TSalesSection::Codes}));
    EXPECT_TRUE(wait.Messages.isEmpty());
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(SalesReportMakerTest, AFileThatCannotBeWrittenGivesTheSystemsReasonAndKeepsTheOldFile)
{
    const QString missingFolder = dir.filePath(QStringLiteral("brak/raport.txt"));
    EXPECT_THROW(maker.Make(missingFolder, {}, TSalesSource::Editor), EAbort);
    ASSERT_EQ(wait.Errors.size(), 1);
    EXPECT_TRUE(wait.Errors[0].startsWith(QStringLiteral("Nie można zapisać pliku ") + missingFolder + u':'))
        << wait.Errors[0].toStdString();
    EXPECT_GT(wait.Errors[0].size(), (QStringLiteral("Nie można zapisać pliku : ") + missingFolder).size());

    // A folder of that name refuses the report.
    EXPECT_THROW(maker.Make(dir.path(), {}, TSalesSource::Editor), EAbort);
    EXPECT_EQ(wait.Errors.size(), 2);
}

// The setting file keeps the source as it always did: 0 and 1, nothing
// else chosen.
TEST(SalesSource, TheStoredSettingMapsBothWays)
{
    const struct {
        int stored;
        std::optional<TSalesSource> source;
    } cases[] = {{0, TSalesSource::Register}, {1, TSalesSource::Editor}, {-1, std::nullopt}, {2, std::nullopt}};
    for (const auto &c : cases) {
        EXPECT_EQ(SalesSourceOf(c.stored), c.source) << c.stored;
        if (c.source) {
            EXPECT_EQ(StoredSalesSource(*c.source), c.stored);
        }
    }
}

TEST(SalesReportView, OpensTheReportOnlyOnYes)
{
    struct Case {
        TPromptAnswer answer;
        bool viewerOk;
        QStringList opened;
        QStringList log;
    };
    const QString ask = QStringLiteral("ask Czy chcesz obejrzeć raport ?");
    const std::vector<Case> cases{
        {TPromptAnswer::Yes, true, {"r.txt"}, {ask}},
        {TPromptAnswer::No, true, {}, {ask}},
        {TPromptAnswer::Cancel, true, {}, {ask}},
        {TPromptAnswer::Yes, false, {"r.txt"}, {ask, QStringLiteral("error Nie mogę otworzyć pliku.\r\nbrak przeglądarki")}},
    };
    for (const Case &c : cases) {
        TScriptedMessages messages;
        messages.Answer = c.answer;
        TRecordingViewer viewer;
        viewer.Succeeds = c.viewerOk;
        TSalesReportMaker::OfferToView(QStringLiteral("r.txt"), messages, viewer);
        EXPECT_EQ(viewer.Opened, c.opened);
        EXPECT_EQ(messages.Log, c.log);
    }
}

} // namespace
