#include "UHistoryStrip.h"
#include "UOSH.h"
#include "UOSHOutput.h"
#include "app_test_util.h"

#include <gtest/gtest.h>
#include <iomanip>

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
