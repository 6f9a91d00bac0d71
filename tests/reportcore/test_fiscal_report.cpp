// The periodic fiscal report: tax rounding, the roll's line operations, the
// per-currency summary and the report text.
#include "fiscal_test_support.h"

#include "reports/core/UFiscalReport.h"

#include <QRegularExpression>

namespace {

Currency Amt(qint64 units)
{
    return Currency::FromUnits(units);
}

struct TTaxCase {
    qint64 Gross; // 1/10000
    int Rate;
    qint64 Tax;
};

class TaxOfGrossTest : public ::testing::TestWithParam<TTaxCase> {};

TEST_P(TaxOfGrossTest, IsTheExactQuotientRoundedHalfUpToCents)
{
    const TTaxCase c = GetParam();
    EXPECT_EQ(TaxOfGross(Amt(c.Gross), c.Rate).Units(), c.Tax);
}

INSTANTIATE_TEST_SUITE_P(Rates, TaxOfGrossTest,
                         ::testing::Values(TTaxCase{8400, 7, 500},          // 0.0549..: never 0.0550 first
                                           TTaxCase{1300, 4, 100},          // exactly 0.005: half up
                                           TTaxCase{1000000, 22, 180300},   // 100.00 at 22 %
                                           TTaxCase{1000000, 7, 65400},     // 100.00 at 7 %
                                           TTaxCase{1000000, 0, 0},         //
                                           TTaxCase{1234500, 22, 222600},   // 22.2614..
                                           TTaxCase{-8400, 7, -500},        // negative: toward zero
                                           TTaxCase{-1300, 4, 0},           //
                                           TTaxCase{99999999999900, 23, 18699186991900})); // no overflow

TEST(RoundHalfUp2Test, RoundsPositiveHalfUpAndNegativeTowardZero)
{
    const std::pair<qint64, qint64> cases[] = {{50, 100}, {49, 0}, {12350, 12400}, {12349, 12300}, {-50, 0},
                                               {-12399, -12300}, {0, 0}};
    for (const auto &[in, out] : cases)
        EXPECT_EQ(RoundHalfUp2(Amt(in)).Units(), out) << in;
}

TEST(RateOfCodeTest, ReadsTheStoredCodes)
{
    EXPECT_EQ(RateOfCode(QStringLiteral("--")), -2);
    EXPECT_EQ(RateOfCode(QStringLiteral("ZW")), -1);
    EXPECT_EQ(RateOfCode(QStringLiteral(" 7")), 7);
    EXPECT_EQ(RateOfCode(QStringLiteral("22")), 22);
    EXPECT_EQ(RateOfCode(QStringLiteral("x1")), 0);
}

class FiscalReportLines : public ::testing::Test {
protected:
    TPolishFormats formats;
    TFiscalTables t;
    TRecMessages messages;
    TFiscalReport report{QStringLiteral("123"), QStringLiteral("ABC12345678"), QDate(2023, 3, 15), t.MTPF, t.MTPFCurr,
                         t.ReportContent, t.MTSumUp, t.MTMRS, QDate(), QTime(), &messages};

    QStringList Content() const
    {
        QStringList l;
        for (int r = 0; r < t.ReportContent.RecordCount(); ++r)
            l << std::get<QString>(t.ReportContent.Field(0).ValueAt(r));
        return l;
    }
};

TEST_F(FiscalReportLines, PlaceTextsOnTheSeventeenCharacterRoll)
{
    struct TCase {
        std::function<void(TFiscalReport &)> Add;
        QStringList Lines;
    };
    const QString s17 = QStringLiteral("ABCDEFGHIJKLMNOPQ");
    const TCase cases[] = {
        {[](TFiscalReport &r) { r.AddCentered(QStringLiteral("RAPORT FISKALNY")); }, {QStringLiteral(" RAPORT FISKALNY")}},
        {[](TFiscalReport &r) { r.AddCentered(QStringLiteral("OKRESOWY")); }, {QStringLiteral("    OKRESOWY")}},
        {[](TFiscalReport &r) { r.AddRight(QStringLiteral("PLN 2.50")); }, {QStringLiteral("         PLN 2.50")}},
        {[](TFiscalReport &r) { r.AddPair(QStringLiteral("SP.OP A"), QStringLiteral("PLN 81.97")); },
         {QStringLiteral("SP.OP A PLN 81.97")}},
        {[](TFiscalReport &r) { r.AddPair(QStringLiteral("SUMA PTU"), QStringLiteral("PLN 22.26")); },
         {QStringLiteral("SUMA PTU"), QStringLiteral("        PLN 22.26")}},
        {[](TFiscalReport &r) { r.AddPair(QStringLiteral("ANUL.PAR"), QStringLiteral("0")); },
         {QStringLiteral("ANUL.PAR        0")}},
        {[&](TFiscalReport &r) { r.AddPair(s17, s17); }, {s17, s17}},
    };
    for (const TCase &c : cases) {
        t.ReportContent.EmptyTable();
        c.Add(report);
        EXPECT_EQ(Content(), c.Lines);
    }
}

TEST_F(FiscalReportLines, RefuseTextsTheRollCannotHold)
{
    const QString s18 = QStringLiteral("ABCDEFGHIJKLMNOPQR");
    const std::function<void()> adds[] = {
        [&] { report.AddLeft(s18); },
        [&] { report.AddRight(s18); },
        [&] { report.AddCentered(s18); },
        [&] { report.AddPair(s18, QStringLiteral("ABCDEFGHIJKLMNOPQ")); },
    };
    for (const auto &add : adds) {
        t.ReportContent.EmptyTable();
        try {
            add();
            ADD_FAILURE() << "no error";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Nieprawidłowe dane w formacie raportu"));
        }
        EXPECT_TRUE(t.ReportContent.IsEmpty());
    }
}

TEST_F(FiscalReportLines, FormatAmountUsesThePeriodCurrencyAndAPointWhateverTheLocale)
{
    EXPECT_EQ(report.FormatAmount(Currency()), QStringLiteral("PLN 0.00"));
    EXPECT_EQ(report.FormatAmount(Amt(12345000)), QStringLiteral("PLN 1234.50"));
    EXPECT_EQ(report.FormatAmount(Amt(-15000)), QStringLiteral("PLN -1.50"));
    EXPECT_EQ(report.FormatAmount(Amt(50)), QStringLiteral("PLN 0.01"));
    EXPECT_EQ(report.FormatAmount(Amt(-49)), QStringLiteral("PLN 0.00"));
    EXPECT_EQ(report.FormatAmount(Amt(999999999999900)), QStringLiteral("PLN 99999999999.99"));
}

// A fiscal memory decoded from lines, with its report.
class FiscalReportBuild : public ::testing::Test {
protected:
    FiscalReportBuild()
    {
        pf.Now = [] { return QDateTime(QDate(2024, 3, 1), QTime(9, 5)); };
    }

    void Parse(const TFiscalFile &file)
    {
        pf.Lines = file.Lines();
        pf.ParseLines();
    }

    QStringList Build(int baseline = 0)
    {
        pf.Report()->BuildReport(baseline);
        QStringList l;
        for (int r = 0; r < pf.ReportContent.RecordCount(); ++r)
            l << std::get<QString>(pf.ReportContent.Field(0).ValueAt(r));
        return l;
    }

    struct TSum {
        QString Waluta;
        qint64 Podatek, SumaNal;
        int Od, Do;
        bool Change;
        bool operator==(const TSum &) const = default;
    };
    std::vector<TSum> Summary()
    {
        std::vector<TSum> rows;
        TRxMemoryData &s = pf.MTSumUp;
        for (s.First(); !s.Eof(); s.Next())
            rows.push_back({s.FieldByName(QStringLiteral("Waluta")).AsString(),
                            s.FieldByName(QStringLiteral("Podatek")).AsCurrency().Units(),
                            s.FieldByName(QStringLiteral("SumaNal")).AsCurrency().Units(),
                            s.FieldByName(QStringLiteral("NumerOd")).AsInteger(),
                            s.FieldByName(QStringLiteral("NumerDo")).AsInteger(),
                            FieldBool(s.FieldByName(QStringLiteral("ZmianaWaluty")))});
        return rows;
    }

    static TDaily Day(int number, qint64 grossA, qint64 due)
    {
        TDaily d;
        d.Number = number;
        d.Date = QStringLiteral("%1").arg(number + 1, 2, 10, QLatin1Char('0')) + QStringLiteral("0124");
        d.Gross[0] = grossA;
        d.Due = due;
        return d;
    }

    TPolishFormats formats;
    TRecMessages messages;
    TRecWait wait{messages};
    TRecJobs jobs;
    TFiscalMemory pf{jobs, wait, messages, QStringLiteral("/nonexistent/pf.txt"), QStringLiteral("/nonexistent/raport")};
};

TEST_F(FiscalReportBuild, OneDailyReportGivesTheWholeRollText)
{
    TFiscalFile f;
    TDaily d = Day(1, 10000, 10000);
    d.Receipts = 5;
    d.Cancelled = 1;
    d.CancelledValue = 250;
    f.Daily << d.Line();
    Parse(f);
    const QStringList expected = {
        "NIP:123-456-78-90", "01.03.24", " RAPORT FISKALNY", "    OKRESOWY", "DATA INSTALACJI", "         15.03.23",
        "02.01.24>02.01.24", "0001     0001    ",
        // rates
        "02.01.24", "PTU A         22%", "PTU B          7%", "PTU C         ---", "PTU D         ---",
        "PTU E         ---", "PTU F         ---", "PTU G         ---",
        // the daily report
        "02.01.24     0001", "SP.OP A PLN 81.97", "SP.OP B  PLN 0.00", "SP.OP C       ---", "SP.OP D       ---",
        "SP.OP E       ---", "SP.OP F       ---", "SP.OP G       ---", "KW.PTU A", "        PLN 18.03",
        "KW.PTU B PLN 0.00", "SUMA PTU", "        PLN 18.03", "SUMA NAL", "       PLN 100.00", "ANUL.PAR        1",
        "         PLN 2.50", "IL.PARAGONÓW    5", "WALUTA", "EWIDENCYJNA  PLN ", "ILOŚĆ POZYCJI  27",
        // the cumulative report
        "  ŁĄCZNY RAPORT", "     OKRESOWY", "02.01.24>02.01.24", "0001     0001    ", "SP.OP A PLN 81.97",
        "SP.OP B  PLN 0.00", "SP.OP C       ---", "SP.OP D       ---", "SP.OP E       ---", "SP.OP F       ---",
        "SP.OP G       ---", "KW.PTU A", "        PLN 18.03", "KW.PTU B PLN 0.00", "SUMA PTU", "        PLN 18.03",
        "SUMA NAL", "       PLN 100.00", "ZEROWANIE RAM 000", "LICZBA ZMIAN    0", " W BAZIE TOWAROW.",
        "ANUL.PAR        1", "         PLN 2.50", "IL.PARAGONÓW    5", "WALUTA", "EWIDENCYJNA  PLN ",
        "             9:05", "  ABC 12345678"};
    EXPECT_EQ(Build(), expected);
}

TEST_F(FiscalReportBuild, AnEmptyMemoryGivesOneEmptySummaryRowAndOnlyTheFrame)
{
    Parse(TFiscalFile{});
    ASSERT_EQ(pf.Lines.size(), 236);
    EXPECT_EQ(Summary(), (std::vector<TSum>{{QStringLiteral("PLN"), 0, 0, 0, 0, false}}));
    EXPECT_EQ(Build(), (QStringList{"NIP:123-456-78-90", "01.03.24", " RAPORT FISKALNY", "    OKRESOWY",
                                    "DATA INSTALACJI", "         15.03.23", "             9:05", "  ABC 12345678"}));
}

TEST_F(FiscalReportBuild, ReportNumbersGoingDownStopWithInvalidData)
{
    TFiscalFile f;
    f.Daily << Day(5, 100, 100).Line() << Day(6, 100, 100).Line() << Day(3, 100, 100).Line();
    pf.Lines = f.Lines();
    try {
        pf.ParseLines();
        ADD_FAILURE() << "no error";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Nieprawidłowe dane !"));
    }
    EXPECT_EQ(pf.Report(), nullptr);
}

TEST_F(FiscalReportBuild, ReportsWithGapsInTheirNumbersCountOnce)
{
    TFiscalFile f;
    f.Daily << Day(1, 10000, 10000).Line() << Day(2, 20000, 20000).Line() << Day(5, 40000, 40000).Line();
    Parse(f);
    // 18.03 + 36.07 + 72.13 of tax at 22 %.
    EXPECT_EQ(Summary(), (std::vector<TSum>{{QStringLiteral("PLN"), 1262300, 7000000, 1, 5, false}}));
    const QStringList text = Build();
    EXPECT_EQ(text.count(QStringLiteral("IL.PARAGONÓW    1")), 3);
    EXPECT_EQ(text.count(QStringLiteral("IL.PARAGONÓW    3")), 1);
    EXPECT_TRUE(text.contains(QStringLiteral("       PLN 700.00")));
}

TEST_F(FiscalReportBuild, ACurrencyChangeSplitsThePeriodsAndIsListed)
{
    TFiscalFile f;
    f.Currency << CurrencyLine(1, QStringLiteral("01"), QStringLiteral("0002"), QStringLiteral("030124"),
                               QStringLiteral("2359"), QStringLiteral("45555220"));
    for (int n = 1; n <= 4; ++n)
        f.Daily << Day(n, 10000, 10000).Line();
    Parse(f);
    EXPECT_EQ(Summary(), (std::vector<TSum>{{QStringLiteral("PLN"), 360600, 2000000, 1, 2, false},
                                            {QStringLiteral("EUR"), 360600, 2000000, 3, 4, true}}));
    QStringList waluta;
    for (int r = 0; r < pf.MTPF.RecordCount(); ++r)
        waluta << pf.MTPF.FieldByName(QStringLiteral("Waluta")).TextAt(r);
    EXPECT_EQ(waluta, (QStringList{"PLN", "PLN", "EUR", "EUR"}));
    const QStringList text = Build();
    EXPECT_EQ(text.count(QStringLiteral("ZMIANA WALUTY")), 2); // with stars, and in report 3
    EXPECT_EQ(text.count(QStringLiteral("03.01.24 23:59")), 3);
    EXPECT_TRUE(text.contains(QStringLiteral("LISTA ZMIAN WALU-")));
    EXPECT_TRUE(text.contains(QStringLiteral("SP.OP A EUR 81.97")));
    EXPECT_EQ(text.count(QStringLiteral("EWIDENCYJNA  EUR ")), 3);
}

TEST_F(FiscalReportBuild, RateChangesMarkTheCumulativeTaxLabel)
{
    TFiscalFile f;
    TDaily d1 = Day(1, 10000, 10000), d2 = Day(2, 10000, 10000);
    d2.Codes[0] = QStringLiteral("07"); // A: 22 % -> 7 %
    d2.Codes[2] = QStringLiteral("22"); // C: inactive -> 22 %
    d2.Gross[2] = 10000;
    d2.Codes[3] = QStringLiteral("B0"); // D: exempt
    d2.Gross[3] = 5000;
    f.Daily << d1.Line() << d2.Line();
    Parse(f);
    const QStringList text = Build();
    EXPECT_TRUE(text.contains(QStringLiteral("KW.PTU A+")));
    EXPECT_TRUE(text.contains(QStringLiteral("KW.PTU C")));
    EXPECT_FALSE(text.contains(QStringLiteral("KW.PTU C+")));
    EXPECT_TRUE(text.contains(QStringLiteral("D       SP.ZW.PTU")));
    EXPECT_TRUE(text.contains(QStringLiteral("SP.ZW.D PLN 50.00")));
    EXPECT_TRUE(text.contains(QStringLiteral("SP.ZW.   D   ")));
    // The rates are printed again for the second report, whose rates changed.
    EXPECT_EQ(text.count(QStringLiteral("PTU B          7%")), 2);
    EXPECT_TRUE(messages.Log.isEmpty());
}

TEST_F(FiscalReportBuild, ASaleUnderAnInactiveLetterIsReportedAndTheReportGoesOn)
{
    TFiscalFile f;
    TDaily d = Day(1, 10000, 10500);
    d.Gross[4] = 500; // E is inactive
    f.Daily << d.Line();
    Parse(f);
    EXPECT_FALSE(Build().isEmpty());
    EXPECT_EQ(messages.Log, QStringList{QStringLiteral("error: Niezerowa sprzedaż w nieaktywnej stawce!")});
}

TEST_F(FiscalReportBuild, RamResetsAfterTheBaselineArePrintedWithTheirRecords)
{
    TFiscalFile f;
    for (int r = 1; r <= 5; ++r)
        f.Mrs << MrsLine(r, QStringLiteral("0%1").arg(r) + QStringLiteral("0124"), QStringLiteral("0%1%2").arg(r).arg(r * 10), r == 4 ? '0' : '1',
                         r == 5 ? '0' : '1');
    TDaily d = Day(1, 10000, 10000);
    d.Mrs = 5;
    f.Daily << d.Line();
    Parse(f);
    const QStringList text = Build(3);
    const qsizetype at = text.indexOf(QStringLiteral("ZEROWANIE RAM   Z"));
    ASSERT_GE(at, 0);
    EXPECT_EQ(text.mid(at, 6), (QStringList{"ZEROWANIE RAM   Z", "04.01.24      004", "             4:40",
                                            "ZEROWANIE RAM *  ", "05.01.24      005", "             5:50"}));
    EXPECT_TRUE(text.contains(QStringLiteral("ZEROWANIE RAM 002")));
    EXPECT_FALSE(text.contains(QStringLiteral("  PRZEKROCZONO")));
}

TEST_F(FiscalReportBuild, ThePeriodsRamResetCountIsPrintedAsPrintfsThreeDigits)
{
    struct TCase {
        int Baseline, Counter;
        QStringList Lines; // up to "LICZBA ZMIAN"
    };
    const TCase cases[] = {
        {0, 0, {"ZEROWANIE RAM 000"}},
        {0, 2, {"ZEROWANIE RAM 002"}},
        // A counter below the baseline: a sign and three digits, on a line
        // of their own as the pair no longer fits one line.
        {5, 4, {"ZEROWANIE RAM", "             -001"}},
        {20, 4, {"ZEROWANIE RAM", "             -016"}},
        {255, 0, {"ZEROWANIE RAM", "             -255"}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.Baseline << " " << c.Counter);
        TFiscalFile f;
        for (int r = 1; r <= c.Counter; ++r)
            f.Mrs << MrsLine(r, QStringLiteral("010124"), QStringLiteral("1200"));
        TDaily d = Day(1, 10000, 10000);
        d.Mrs = c.Counter;
        f.Daily << d.Line();
        Parse(f);
        const QStringList text = Build(c.Baseline);
        const qsizetype at = text.indexOf(QStringLiteral("LICZBA ZMIAN    0"));
        ASSERT_GE(at, c.Lines.size());
        EXPECT_EQ(text.mid(at - c.Lines.size(), c.Lines.size()), c.Lines);
    }
}

TEST_F(FiscalReportBuild, TenRamResetsPrintTheLimitLinesAfterEveryPeriod)
{
    TFiscalFile f;
    for (int r = 1; r <= 10; ++r)
        f.Mrs << MrsLine(r, QStringLiteral("010124"), QStringLiteral("1200"));
    TDaily d = Day(1, 100, 100);
    d.Mrs = 10;
    f.Daily << d.Line();
    Parse(f);
    EXPECT_TRUE(pf.MrsCountAlarm());
    const QStringList text = Build(10);
    EXPECT_EQ(text.count(QStringLiteral("LIMIT ZEROWAŃ RAM")), 1);
    EXPECT_EQ(text.at(text.indexOf(QStringLiteral("LIMIT ZEROWAŃ RAM")) - 1), QStringLiteral("  PRZEKROCZONO"));
}

TEST_F(FiscalReportBuild, AFailedBuildLeavesNoContentAndFailsAgainTheSameWay)
{
    TFiscalFile f;
    TDaily d = Day(1, 100, 100);
    d.Mrs = 2; // RAM reset 1 is not in the memory
    f.Daily << d.Line();
    Parse(f);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            Build();
            ADD_FAILURE() << "no error";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Nieprawidłowe dane MRS"));
        }
        EXPECT_TRUE(pf.ReportContent.IsEmpty());
    }
}

} // namespace

TEST_F(FiscalReportBuild, AReportInPLNWhoseDueDiffersFromItsSalesIsMarkedInTheTableAndOnTheRoll)
{
    TFiscalFile f;
    f.Currency << CurrencyLine(1, QStringLiteral("01"), QStringLiteral("0002"), QStringLiteral("030124"),
                               QStringLiteral("2359"), QStringLiteral("45555220"));
    struct Case {
        TDaily Day;
        bool Marked;
    };
    const std::vector<Case> cases = {
        {Day(1, 10000, 10001), true},   // PLN, 0.01 above the sales
        {Day(2, 10000, 10000), false},  // PLN, as it should be
        {Day(3, 10000, 9000), false},   // EUR: the total due is not the sales
    };
    for (const Case &c : cases)
        f.Daily << c.Day.Line();
    Parse(f);
    const QString note = QStringLiteral("suma należności nie zgadza się z sumą sprzedaży");
    for (int row = 0; row < int(cases.size()); ++row)
        EXPECT_EQ(pf.PFFields.Uwagi.TextAt(row), cases[size_t(row)].Marked ? note : QString()) << row;

    const QStringList roll = Build();
    const QStringList mark = {"suma należności", "nie zgadza się z", "sumą sprzedaży"};
    // Right after the report's item count, and only there.
    const qsizetype first = roll.indexOf(QRegularExpression(QStringLiteral("ILOŚĆ POZYCJI +[0-9]+")));
    ASSERT_GE(first, 0);
    EXPECT_EQ(roll.mid(first + 1, 3), mark);
    EXPECT_EQ(roll.count(mark.at(1)), 1);
}
