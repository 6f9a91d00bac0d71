#include "app/UHistoryStrip.h"
#include "app/UOSH.h"
#include "app/UOSHOutput.h"
#include "app_test_util.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <fstream>
#include <iomanip>

#include "link/UModule.h"
#include "sim/USimLine.h"
#include "link/UVirtualClock.h"

struct HistoryCase {
    uint16_t Code;
    int Picture;
};

void PrintTo(const HistoryCase &c, std::ostream *os)
{
    *os << "code 0x" << std::hex << std::uppercase << std::setw(4) << std::setfill('0') << c.Code;
}

class HistoryPictureMapping : public ::testing::TestWithParam<HistoryCase> {};

TEST_P(HistoryPictureMapping, GivesThePictureOfTheCode)
{
    EXPECT_EQ(HistoryPicture(GetParam().Code), GetParam().Picture) << std::hex << GetParam().Code;
}

INSTANTIATE_TEST_SUITE_P(
    ReceivedSentAndLines, HistoryPictureMapping,
    ::testing::Values(
        // received characters
        HistoryCase{0x0E02, 2}, HistoryCase{0x0E0D, 3}, HistoryCase{0x0E04, 4}, HistoryCase{0x0E05, 5},
        HistoryCase{0x0E06, 6}, HistoryCase{0x0E15, 7}, HistoryCase{0x0E20, 1}, HistoryCase{0x0000, 1},
        // sent characters: shifted by six pictures, wrapping at 17
        HistoryCase{0x0902, 8}, HistoryCase{0x090D, 9}, HistoryCase{0x0904, 10}, HistoryCase{0x0905, 11},
        HistoryCase{0x0906, 12}, HistoryCase{0x0915, 13}, HistoryCase{0x0920, 7},
        // control lines dropped and raised, whatever the high byte but 0x09
        HistoryCase{0x0E41, 15}, HistoryCase{0x0B42, 15}, HistoryCase{0x0B62, 16}, HistoryCase{0x0061, 16},
        // a sent line code wraps past the last picture
        HistoryCase{0x0941, 4}, HistoryCase{0x0962, 5},
        // the sink's own end marks
        HistoryCase{0x0020, 1}, HistoryCase{0x0026, 1}));

TEST(OSHOutput, StripOf650PixelsHas40CellsAnd5PixelMargin)
{
    TOSHOutput out;
    out.SetupStrip(650, 16);
    EXPECT_EQ(out.Cells(), 40);
    EXPECT_EQ(out.Margin(), 5);
}

TEST(OSHOutput, StripNeverHasMoreThan65Cells)
{
    TOSHOutput out;
    out.SetupStrip(2000, 16);
    EXPECT_EQ(out.Cells(), 65);
    EXPECT_EQ(out.Margin(), (2000 - 65 * 16) / 2);
}

TEST(OSHOutput, TenthLineDropsTheFirst)
{
    TOSHOutput out;
    for (int i = 1; i <= 10; ++i)
        out.WriteLine(QStringLiteral("linia %1").arg(i));
    EXPECT_EQ(out.LineCount(), 9);
    QString expected;
    for (int i = 2; i <= 10; ++i)
        expected += QStringLiteral("linia %1\r\n").arg(i);
    EXPECT_EQ(out.Output(), expected);
}

TEST(OSHOutput, ClearEmptiesTheOutputAndMarksBothTextsForRepaint)
{
    TOSHOutput out;
    out.WriteLine(QStringLiteral("a"));
    out.TakeChanges();
    out.Clear();
    EXPECT_EQ(out.LineCount(), 0);
    const auto changes = out.TakeChanges();
    EXPECT_TRUE(changes.StatusChanged);
    EXPECT_TRUE(changes.OutputChanged);
    EXPECT_EQ(changes.Output, QString());
}

TEST(OSHOutput, TakeChangesHandsOverOnlyWhatChanged)
{
    TOSHOutput out;
    out.SetupStrip(650, 16);
    out.SetStatus(QStringLiteral("Transmisja"));
    out.AddHistory(0x0905);
    out.AddHistory(0x0E06);
    auto first = out.TakeChanges();
    EXPECT_TRUE(first.StatusChanged);
    EXPECT_EQ(first.Status, QStringLiteral("Transmisja"));
    EXPECT_FALSE(first.OutputChanged);
    ASSERT_EQ(first.Cells.size(), 2u);
    EXPECT_EQ(first.Cells[0], std::make_pair(0, 11));
    EXPECT_EQ(first.Cells[1], std::make_pair(1, 6));
    EXPECT_EQ(first.Cursor, 2);

    const auto second = out.TakeChanges();
    EXPECT_FALSE(second.StatusChanged);
    EXPECT_FALSE(second.OutputChanged);
    EXPECT_TRUE(second.Cells.empty());
    EXPECT_EQ(second.Cursor, -1);
}

TEST(OSHOutput, HistoryRingWrapsAndAnswersOneAtTheWrap)
{
    TOSHOutput out;
    out.SetupStrip(48, 16); // three cells
    EXPECT_EQ(out.AddHistory(0x0E02), 0);
    EXPECT_EQ(out.AddHistory(0x0E02), 0);
    EXPECT_EQ(out.AddHistory(0x0E04), 1);
    EXPECT_EQ(out.WritePos(), 0);
    EXPECT_EQ(out.AddHistory(0x0E05), 0);
    EXPECT_EQ(out.HistoryAt(0), 5);
    // Painting goes from the last painted cell round to the write position.
    const auto changes = out.TakeChanges();
    ASSERT_EQ(changes.Cells.size(), 1u);
    EXPECT_EQ(changes.Cells[0].first, 0);
    EXPECT_EQ(changes.Cursor, 1);
}

TEST(OSHOutput, SinkFinishLeavesKoniecAndTheFourEndMarks)
{
    TOSHOutput out;
    out.SetupStrip(650, 16);
    TTestKOMDisplay display(out);
    display.Start();
    EXPECT_TRUE(display.Running);
    display.SetStatus("KONIEC.");
    display.Finish();
    EXPECT_FALSE(display.Running);
    EXPECT_EQ(out.Status(), QStringLiteral("KONIEC"));
    EXPECT_EQ(out.WritePos(), 4);
    for (int cell = 0; cell < 4; ++cell)
        EXPECT_EQ(out.HistoryAt(cell), 1);
}

TEST(OSHOutput, SinkDecodesWindows1250Lines)
{
    TOSHOutput out;
    TTestKOMDisplay display(out);
    display.WriteLine("Kasa zaj\xEAta"); // "ę" in Windows-1250
    EXPECT_EQ(out.Output(), QStringLiteral("Kasa zajęta\r\n"));
}

TEST(OSHCommandLine, BeginsWithCodePageModelPortAndSpeed)
{
    EXPECT_EQ(BuildCommandLine(QStringLiteral("277PSP"), 9600, QStringLiteral("/Fgrupy.txt /T01 /AABDE /XD")),
              QStringLiteral("/LW /V277PSP /P1 /B9600 /Fgrupy.txt /T01 /AABDE /XD"));
    EXPECT_EQ(BuildCommandLine(QStringLiteral("235"), 2400, QStringLiteral("/M0 /R0001-0100 /Fpf.txt /XP")),
              QStringLiteral("/LW /V235 /P1 /B2400 /M0 /R0001-0100 /Fpf.txt /XP"));
}

TEST(HistoryStrip, PicturesAreSeventeenSixteenPixelImagesOnTheirBackground)
{
    TestApp();
    const auto &pictures = HistoryPictures();
    ASSERT_EQ(pictures.size(), 17);
    for (const QImage &p : pictures)
        EXPECT_EQ(p.size(), QSize(16, 16));
    EXPECT_EQ(QColor(pictures[0].pixel(0, 0)), QColor(Qt::white));
    EXPECT_EQ(QColor(pictures[0].pixel(8, 8)), QColor(Qt::black));
    for (int i = 1; i < 17; ++i)
        EXPECT_EQ(QColor(pictures[i].pixel(0, 0)), QColor(234, 230, 221)) << i;
    // Colours: magenta received, blue sent, red control lines.
    EXPECT_EQ(QColor(pictures[4].pixel(8, 8)), QColor(255, 0, 255));
    EXPECT_EQ(QColor(pictures[10].pixel(8, 8)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(pictures[13].pixel(8, 8)), QColor(255, 0, 255));
    EXPECT_EQ(QColor(pictures[14].pixel(8, 8)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(pictures[15].pixel(8, 8)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(pictures[16].pixel(8, 3)), QColor(255, 0, 0));
}

// ---------------------------------------------------------------------------
// The transfer's count and the time it still takes.

struct ProgressTextCase {
    char Job;
    uint32_t Table;
    long Done, Total, SecondsLeft;
    const char16_t *Text;
};

TEST(TransferProgress, TextsNameWhatIsCountedInItsPolishForms)
{
    const ProgressTextCase cases[] = {
        {'D', 0x11, 1200, 9999, 300, u"Wysłano 1 200 z 9 999 kodów — zostało około 5 min"},
        {'D', 0x11, 0, 1, -1, u"Wysłano 0 z 1 kodu"},
        {'U', 0x01, 3, 8, 42, u"Odczytano 3 z 8 grup — zostało około 40 s"},
        {'D', 0x19, 12, 45, 7, u"Wysłano 12 z 45 kaucji — zostało około 7 s"},
        {'P', 0, 10, 123456, 55, u"Odczytano 10 z 123 456 raportów — zostało około 1 min"},
        {'P', 0, 22, -1, -1, u"Odczytano 22 raporty"},
        {'P', 0, 12, -1, -1, u"Odczytano 12 raportów"},
        {'U', 0x01, 1, -1, -1, u"Odczytano 1 grupę"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TTransferProgress::Text(c.Job, c.Table, c.Done, c.Total, c.SecondsLeft),
                  QString::fromUtf16(c.Text));
}

TEST(TransferProgress, EstimateIsTheRestAtTheSpeedSoFarOnceMeasuredLongEnough)
{
    const struct {
        long Moved, Left;
        uint32_t ElapsedMs;
        long Seconds;
    } cases[] = {
        {1200, 8799, 50000, 367}, // 24 records a second: 366.6 s
        {500, 500, 1999, -1},     // not measured long enough
        {0, 1000, 60000, -1},     // nothing moved yet
    };
    for (const auto &c : cases)
        EXPECT_EQ(TTransferProgress::SecondsLeft(c.Moved, c.Left, c.ElapsedMs), c.Seconds)
            << c.Moved << " moved, " << c.Left << " left, " << c.ElapsedMs << " ms";
}

namespace {

// A job of the real module against the simulated register, in virtual
// time: every packet the register acknowledges or has acknowledged moves
// the clock on by 50 ms (the line speed), and the window's view of the
// count is taken there.
struct TProgressRun {
    struct TSeen {
        uint64_t Ms;
        TTransferProgress::TView View;
    };
    TVirtualClock Clock;
    TSimRegister Register;
    QTemporaryDir Dir;
    std::vector<TSeen> Seen;
    TTransferProgress::TView Last;

    int Run(const std::string &switches)
    {
        TSimOptions options;
        options.AllowDownloadWithSales = true;
        TSimulator sim(Register, options);
        TOSHOutput out(Clock);
        TTestKOMDisplay display(out);
        sim.OnEvent = [&](TSimulator::TEvent e) {
            if (e != TSimulator::TEvent::AckSent && e != TSimulator::TEvent::AckReceived)
                return;
            Clock.Advance(50);
            Seen.push_back({Clock.Elapsed(), out.Progress().View()});
        };
        display.Start();
        TModuleResult result;
        RunModule("/LW /V277PSP /P1 " + switches, Dir.path().toStdString(), display, Clock, DefaultJobTable(),
                  [&](TModuleContext &ctx) { return std::make_unique<TSimLine>(ctx, sim, Clock); }, result);
        Last = out.Progress().View();
        return result.Code;
    }
    void WriteCodes(const char *name, int count)
    {
        std::ofstream f(Dir.filePath(QString::fromLatin1(name)).toStdString(), std::ios::binary);
        for (int i = 1; i <= count; ++i) {
            char line[64];
            std::snprintf(line, sizeof line, "%14d,01,00,     1.00,Kod             ,\r\n", i);
            f << line;
            if (i == count / 2)
                f << "   \r\n"; // a blank line is no record
        }
    }
};

} // namespace

TEST(TransferProgress, CountsWhatEachJobMovesOfItsFileHeaderOrRange)
{
    const struct {
        const char *Name;
        std::string Switches;
        long Total;           // known from the start of the data
        const char16_t *End;  // the text when the job has ended
    } cases[] = {
        {"send: records of the file", "/Fk.txt /T11 /AABDE /XD", 40, u"Wysłano 40 z 40 kodów"},
        {"read: the count of the header", "/Fk.txt /T19 /AAD /XU", 45, u"Odczytano 45 z 45 kaucji"},
        {"fiscal by numbers", "/M0 /R0005-0014 /Fpf.txt /XP", 10, u"Odczytano 10 z 10 raportów"},
        {"fiscal by dates", "/M1 /R030123-120123 /Fpf.txt /XP", 10, u"Odczytano 10 z 10 raportów"},
        {"full fiscal read", "/M0 /Fpf.txt /XP", -1, u"Odczytano 30 z 30 raportów"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TProgressRun run;
        run.WriteCodes("k.txt", 40);
        TSimTable &deposits = *run.Register.Table(TSimRegister::DepositsTable);
        for (int k = 1; k <= 45; ++k) {
            TBytes record(static_cast<std::size_t>(deposits.RecordSize()), 0);
            record[0] = ToBcd(k);
            run.Register.Store(deposits, record);
        }
        ASSERT_EQ(run.Run(c.Switches), 0);
        long done = 0;
        bool busySeen = false;
        for (const auto &seen : run.Seen) {
            const auto &v = seen.View;
            if (!v.Active || v.Done == 0)
                continue;
            EXPECT_GE(v.Done, done);
            done = v.Done;
            // Once records move, the total is the one the job knows.
            if (v.Done < run.Last.Total) {
                EXPECT_EQ(v.Total, c.Total) << v.Text.toStdString();
                EXPECT_EQ(v.Busy, c.Total < 0);
            }
            busySeen |= v.Busy;
        }
        EXPECT_GT(done, 0);
        EXPECT_EQ(busySeen, c.Total < 0);
        EXPECT_FALSE(run.Last.Busy);
        EXPECT_EQ(run.Last.Text, QString::fromUtf16(c.End));
    }
}

TEST(TransferProgress, TimeLeftHalfWayIsTheTimeTheRestTakes)
{
    TProgressRun run;
    run.WriteCodes("k.txt", 200);
    ASSERT_EQ(run.Run("/Fk.txt /T11 /AABDE /XD"), 0);
    auto reached = [&run](long done) {
        return std::find_if(run.Seen.begin(), run.Seen.end(),
                            [done](const TProgressRun::TSeen &s) { return s.View.Done >= done; });
    };
    const auto half = reached(100), all = reached(200);
    ASSERT_NE(all, run.Seen.end());
    const double actual = double(all->Ms - half->Ms) / 1000;
    EXPECT_NEAR(double(half->View.SecondsLeft), actual, actual / 10) << half->View.Text.toStdString();
    EXPECT_TRUE(half->View.Text.contains(QStringLiteral(" z 200 kodów — zostało około "))) << half->View.Text.toStdString();
}
