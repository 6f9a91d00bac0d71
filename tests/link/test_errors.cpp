// Error record, message table and the sink's start/finish.
#include "link/UError.h"
#include "link/UKOMDisplay.h"
#include "link/UNational.h"
#include "link/UClock.h"
#include "link_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class NoClock : public TClock {
public:
    uint32_t TickCount() override { return 0; }
    void Sleep(uint32_t) override {}
};

std::string w(const std::string &utf8) // UTF-8 literal -> Windows-1250 bytes
{
    return Translate(MessageTranslation('W'), Utf8ToCp852(utf8));
}

struct ContextFixture : ::testing::Test {
    RecordingDisplay display;
    NoClock clock;
    TModuleContext ctx{display, clock};
};

} // namespace

TEST_F(ContextFixture, ErrorLineOf1001InWindows1250)
{
    ctx.SetError(0x1001, false);
    ASSERT_EQ(display.lines.size(), 1u);
    const std::string expected =
        "-= 1001 Brak \xB3\xB9\x63zno\x9C\x63i lub kasa wy\xB3\xB9\x63zona =-";
    EXPECT_EQ(display.lines[0], expected);
    EXPECT_EQ(display.lines[0], w("-= 1001 Brak łączności lub kasa wyłączona =-"));

    uint16_t code = 0;
    std::string text;
    EXPECT_TRUE(ctx.GetError(code, text));
    EXPECT_EQ(code, 0x1001);
    EXPECT_EQ(text, w("Brak łączności lub kasa wyłączona"));
}

TEST_F(ContextFixture, HexDigitsAreUpperCaseAndZeroPadded)
{
    ctx.SetError(0xFFF1, false);
    ctx.SetError(0x13A2, false);
    ctx.SetError(0x0102, false);
    ASSERT_EQ(display.lines.size(), 3u);
    EXPECT_EQ(display.lines[0], "-= FFF1 Transmisja przerwana przez u\xBFytkownika =-");
    EXPECT_EQ(display.lines[1], "-= 13A2 Nieprawid\xB3owy numer kasy (/E) =-");
    EXPECT_EQ(display.lines[2], w("-= 0102 Nieznany błąd =-"));
}

TEST_F(ContextFixture, NoErrorGivesFalseZeroAndEmptyText)
{
    uint16_t code = 77;
    std::string text = "leftover";
    EXPECT_FALSE(ctx.GetError(code, text));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "");
    EXPECT_TRUE(ctx.Error.AskStatus);
    ctx.SetError(0, true);
    EXPECT_TRUE(display.lines.empty());
}

TEST_F(ContextFixture, SecondErrorReplacesFirst)
{
    ctx.SetError(0x2000, true);
    ctx.SetError(0x0701, false);
    uint16_t code = 0;
    std::string text;
    ASSERT_TRUE(ctx.GetError(code, text));
    EXPECT_EQ(code, 0x0701);
    EXPECT_FALSE(ctx.Error.AskStatus);
    EXPECT_EQ(text, w("ECR: Kasa posiada dane w licznikach (wymaga wykonania raportu fiskalnego)"));
    EXPECT_EQ(display.lines.size(), 2u);
}

TEST_F(ContextFixture, QuietRecordsButWritesNothing)
{
    ctx.Quiet = true;
    ctx.SetError(0x1000, false);
    EXPECT_TRUE(display.lines.empty());
    EXPECT_EQ(ctx.Error.Code, 0x1000);
}

TEST_F(ContextFixture, InternalErrorWritesTextThen9999)
{
    ctx.InternalError("zepsute \x88");  // CP852 ł
    ASSERT_EQ(display.lines.size(), 2u);
    EXPECT_EQ(display.lines[0], "zepsute \xB3");
    EXPECT_EQ(display.lines[1], w("-= 9999 Błąd wewnętrzny programu =-"));
    EXPECT_EQ(ctx.Error.Code, 0x9999);
    EXPECT_FALSE(ctx.Error.AskStatus);
}

TEST_F(ContextFixture, LinesAreCutAt255)
{
    ctx.WriteLine(std::string(300, 'x'));
    ASSERT_EQ(display.lines.size(), 1u);
    EXPECT_EQ(display.lines[0].size(), 255u);
}

TEST_F(ContextFixture, ErrorLineFollowsOutputCodePage)
{
    struct Case { char letter; std::string ln; };  // the letter ł in each page
    const std::vector<Case> cases = {
        {'W', "\xB3"}, {'L', "\x88"}, {'P', "\xB3"}, {'M', "\x92"},
        {'S', "\xD3"}, {'K', "\xA3"}, {'x', "\x88"},
    };
    for (const Case &c : cases) {
        display.lines.clear();
        ctx.OutputCodePage = c.letter;
        ctx.SetError(0x1001, false);
        ASSERT_EQ(display.lines.size(), 1u);
        EXPECT_EQ(display.lines[0].substr(0, 13), "-= 1001 Brak ") << c.letter;
        EXPECT_EQ(display.lines[0].substr(13, 1), c.ln) << c.letter;
    }
}

TEST(ErrorTable, MessagesOfSelectedCodes)
{
    struct Case { uint16_t code; const char *utf8; };
    const Case cases[] = {
        {0x0000, "Brak błędu"},
        {0x0112, "ECR: W kasie znajduje się już kod lub grupa o nazwie, którą chcesz wysłać"},
        {0x0701, "ECR: Kasa posiada dane w licznikach (wymaga wykonania raportu fiskalnego)"},
        {0x0901, "ECR: Kasa nie zakończyła jeszcze wykonywania poprzedniego raportu"},
        {0x1002, "Kasa nie odpowiada (zły numer, kasa zajęta lub w trybie paragonu)"},
        {0x1320, "Nieprawidłowy parametr /V (wersja kasy)"},
        {0x1323, "Nieprawidłowy parametr /r"},
        {0x1404, "Niewystarcząjacy parametr /A"},
        {0x2301, "Błąd transmisji - prawdopodobnie zabrakło papieru"},
        {0x9000, "Brak pamięci"},
        {0xE001, "Niespodziewany koniec transmisji (nie wszyskie dane zostały odczytane)"},
        {0xFFFF, "Brak transmisji"},
        {0x0102, "Nieznany błąd"},
        {0x1302, "Nieznany błąd"},
        {0xFFF0, "Nieznany błąd"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ErrorMessage(c.code), Utf8ToCp852(c.utf8)) << std::hex << c.code;
}

TEST(ErrorTable, EveryKnownCodeHasAPlainTextWithoutLostLetters)
{
    const uint16_t known[] = {
        0x0000, 0x0101, 0x0104, 0x0105, 0x0106, 0x0107, 0x0110, 0x0111, 0x0112, 0x0200, 0x0201,
        0x0202, 0x0203, 0x0204, 0x0205, 0x0206, 0x0207, 0x0208, 0x0300, 0x0401, 0x0402, 0x0403,
        0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0411, 0x0600, 0x0601, 0x0602, 0x0603, 0x0604,
        0x0605, 0x0611, 0x0613, 0x0622, 0x0623, 0x0701, 0x0702, 0x0800, 0x0900, 0x0901, 0x1000,
        0x1001, 0x1002, 0x1100, 0x1101, 0x1102, 0x1105, 0x1110, 0x1150, 0x1151, 0x1160, 0x1200,
        0x1201, 0x1202, 0x1203, 0x1204, 0x1205, 0x1206, 0x1207, 0x1215, 0x1216, 0x1300, 0x1301,
        0x1303, 0x1304, 0x1306, 0x1310, 0x1311, 0x1312, 0x1313, 0x1314, 0x1315, 0x1316, 0x1317,
        0x1318, 0x1320, 0x1321, 0x1322, 0x1323, 0x13A2, 0x13A4, 0x1404, 0x1500, 0x1501, 0x2000,
        0x2100, 0x2101, 0x2300, 0x2301, 0x9000, 0x9001, 0x9002, 0x9003, 0x9004, 0x9903, 0x9904,
        0x9910, 0x9920, 0x9930, 0x9931, 0x9998, 0x9999, 0xE001, 0xE002, 0xE003, 0xFFF1, 0xFFFF,
    };
    const std::string unknown = ErrorMessage(0x0102);
    for (uint16_t code : known) {
        const std::string m = ErrorMessage(code);
        EXPECT_NE(m, unknown) << std::hex << code;
        EXPECT_EQ(m.find('?'), std::string::npos) << std::hex << code;
        EXPECT_LT(m.size(), 255u);
    }
}

TEST(Sink, StartClearsStopAndOutput)
{
    RecordingDisplay d;
    d.StopRequested = true;
    d.WriteLine("old");
    d.Start();
    EXPECT_FALSE(d.StopRequested);
    EXPECT_TRUE(d.Running);
    EXPECT_EQ(d.clears, 1);
    EXPECT_TRUE(d.lines.empty());
}

TEST(Sink, FinishLeavesKoniecAndFourMarks)
{
    RecordingDisplay d;
    d.Start();
    d.AddHistory(0x0905);
    d.SetStatus("KONIEC.");
    const int result = d.Finish();
    EXPECT_FALSE(d.Running);
    ASSERT_FALSE(d.statuses.empty());
    EXPECT_EQ(d.statuses.back(), "KONIEC");
    ASSERT_EQ(d.history.size(), 5u);
    EXPECT_EQ(std::vector<uint16_t>(d.history.begin() + 1, d.history.end()),
              (std::vector<uint16_t>{0x20, 0x26, 0x26, 0x20}));
    EXPECT_EQ(result, 5);  // the answer of the last mark
}
