// Whole jobs through RunModule and the program's job table, against a
// scripted register on an in-process line in virtual time.
#include "link/UDnUp.h"
#include "link/UModule.h"
#include "link/UNational.h"
#include "fake_line.h"
#include "link_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The register's side of the link protocol, enough for table and fiscal
// jobs and the status query. Packets are checked as the register would.
struct TScriptedRegister {
    // Script
    std::set<int> SilentWakeUps;        // 1-based wake-ups left unanswered
    int RefuseDataPacket = -1;          // 0-based data packet answered with EOT
    std::vector<std::string> Upload;    // payloads sent for /20- and /80-
    int EotAfter = -1;                  // ends the upload after this many packets
    std::string StatusAnswer = "0000";
    std::function<void()> OnDataPacket; // called per download data packet

    // What happened
    int WakeUps = 0;
    std::vector<std::string> Commands;
    std::vector<std::string> Received;  // download packets after the command
    int Naks = 0;

    void Write(TFakeLine &line, const std::string &w)
    {
        if (w.size() == 10 && w[0] == Ctl::EOT && w.back() == Ctl::ENQ) {
            ++WakeUps;
            FExpect = '0';
            FCommand = true;
            FReceiving = FTurned = false;
            if (!SilentWakeUps.count(WakeUps))
                line.Send(std::string(1, Ctl::ACK));
            return;
        }
        if (w[0] == Ctl::STX) {
            std::string frame = w.substr(1);
            if (!CheckPacket(frame, FExpect)) {
                ++Naks;
                line.Send(std::string(1, Ctl::NAK));
                return;
            }
            FExpect = NextSequence(FExpect);
            if (FCommand) {
                FCommand = false;
                Commands.push_back(frame);
                FReceiving = frame.rfind("/10-", 0) != 0;
                FOut = frame.rfind("/99-", 0) == 0 ? std::vector<std::string>{StatusAnswer} : Upload;
                FSent = 0;
                FSeq = '0';
                line.Send(std::string(1, Ctl::ACK));
                return;
            }
            Received.push_back(frame);
            if (Received.size() > 1 && OnDataPacket)
                OnDataPacket();
            const bool refuse = RefuseDataPacket >= 0 && Received.size() == static_cast<size_t>(RefuseDataPacket) + 2;
            line.Send(std::string(1, refuse ? Ctl::EOT : Ctl::ACK));
            return;
        }
        if (w.size() != 1 || !FReceiving)
            return;
        if (w[0] == Ctl::EOT && !FTurned) {
            FTurned = true;
            line.Send(std::string(1, Ctl::ENQ));
        } else if (w[0] == Ctl::ACK && FTurned) {
            const bool early = FReceiving && !Commands.empty() && Commands.back().rfind("/99-", 0) != 0
                               && EotAfter >= 0 && FSent == static_cast<size_t>(EotAfter);
            if (early || FSent >= FOut.size()) {
                line.Send(std::string(1, Ctl::EOT));
                FReceiving = false;
                return;
            }
            FLast = BuildPacket(FSeq, FOut[FSent++]);
            FSeq = NextSequence(FSeq);
            line.Send(FLast);
        } else if (w[0] == Ctl::NAK) {
            line.Send(FLast);
        }
    }

private:
    char FExpect = '0';
    char FSeq = '0';
    bool FCommand = false;
    bool FReceiving = false;
    bool FTurned = false;
    std::vector<std::string> FOut;
    size_t FSent = 0;
    std::string FLast;
};

std::string Text1250(const std::string &utf8)
{
    return Translate(MessageTranslation('W'), Utf8ToCp852(utf8));
}

const std::string G5 = " 5,02, 8,00,     2.50,Chleb           ,";
const std::string G6 = " 6,01,12,00,    10.00,Mleko           ,";
const std::string G5Hex = "05" "020800" "00000250" + TextHex("Chleb           ");
const std::string G6Hex = "06" "011200" "00001000" + TextHex("Mleko           ");
const std::string GroupHeader = "/HDR1/010000050000000101" "0103000410" + std::string(22, '0');

class JobTest : public TempDirTest {
protected:
    JobTest() : TempDirTest("orvan-jobs-") {}

    TModuleResult Run(const std::string &switches)
    {
        TModuleResult r;
        TLineFactory factory = [this](TModuleContext &ctx) {
            auto line = std::make_unique<TFakeLine>(ctx, clock);
            line->OnWrite = [this](TFakeLine &l, const std::string &w) { reg.Write(l, w); };
            return line;
        };
        RunModule("/LW /V277PSP /P1 " + switches, dir.string(), display, clock, DefaultJobTable(), factory, r);
        return r;
    }
    bool Shown(const std::string &line) const
    {
        for (const auto &l : display.Lines)
            if (l == line)
                return true;
        return false;
    }

    TRecordingDisplay display;
    TVirtualClock clock;
    TScriptedRegister reg;
};

const std::string Status = "/99-00/";

} // namespace

TEST_F(JobTest, DownloadOfGroupsIsFollowedByTheStatusQuery)
{
    WriteFile("g.txt", {G5, G6});
    const TModuleResult r = Run("/Fg.txt /T01 /AABDE /XD");
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Text, "");
    EXPECT_EQ(reg.Commands, (std::vector<std::string>{"/10-00/", Status}));
    EXPECT_EQ(reg.Received, (std::vector<std::string>{GroupHeader, "00000201" + G5Hex + G6Hex}));
    EXPECT_EQ(display.Lines.back(), "KONIEC.");
    EXPECT_TRUE(Shown("<KONIEC PLIKU>"));  // the file is closed when the task is freed
}

// Sequence characters wrap after 9; every packet reaches the register in
// order and undamaged.
TEST_F(JobTest, LongDownloadKeepsSequenceAndOrder)
{
    std::vector<std::string> lines;
    for (int i = 1; i <= 600; ++i) {
        char code[32];
        std::snprintf(code, sizeof code, "%14d", i);
        lines.push_back(std::string(code) + ",01,00,     1.00,Kod" + std::string(13, ' ') + ",");
    }
    WriteFile("k.txt", lines);
    const TModuleResult r = Run("/Fk.txt /T11 /AABDE /XD /Q");
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(reg.Naks, 0);
    ASSERT_EQ(reg.Received.size(), 1u + 600);  // header, then one 29-byte record a packet
    EXPECT_EQ(reg.Received[600].substr(0, 8), "00000101");
    EXPECT_EQ(reg.Received[600].substr(8, 14), "00000000000600");
}

TEST_F(JobTest, RefusedDownloadEndsWithTheRegistersReason)
{
    WriteFile("g.txt", {G5, G6});
    reg.RefuseDataPacket = 0;
    reg.StatusAnswer = "0701";
    const TModuleResult r = Run("/Fg.txt /T01 /AABDE /XD");
    EXPECT_EQ(r.Code, 0x0701);
    EXPECT_EQ(r.Text, Text1250("ECR: Kasa posiada dane w licznikach (wymaga wykonania raportu fiskalnego)"));
    EXPECT_TRUE(Shown(Text1250("-= 2000 Błąd zgłoszony przez kasę =-")));
}

// A "no error" status must neither clear a refusal nor be weighed against
// the error of an earlier status attempt that got no answer.
TEST_F(JobTest, StatusZeroKeepsARefusalAlsoAfterAFailedAttempt)
{
    struct Case { std::set<int> silent; int wakeUps; };
    const std::vector<Case> cases = {
        {{}, 2},
        {{2, 3, 4}, 5},  // the first status attempt meets silence (0x1002)
    };
    for (const Case &c : cases) {
        reg = TScriptedRegister{};
        WriteFile("g.txt", {G5, G6});
        reg.RefuseDataPacket = 0;
        reg.SilentWakeUps = c.silent;
        const TModuleResult r = Run("/Fg.txt /T01 /AABDE /XD");
        EXPECT_EQ(r.Code, 0x2000);
        EXPECT_EQ(reg.WakeUps, c.wakeUps);
    }
}

TEST_F(JobTest, BadLineEndsTheJobBeforeItsPacketLeaves)
{
    WriteFile("g.txt", {G5, G6, " 7,00, 0,00,     0.05,Woda,"});
    const TModuleResult r = Run("/Fg.txt /T01 /AABDE /XD");
    EXPECT_EQ(r.Code, 0x1110);
    EXPECT_EQ(r.Text, Text1250("Nieprawidłowe dane w pliku wejściowym"));
    EXPECT_TRUE(Shown(Text1250("Linia 3 pliku wejściowego, kolumna 23:")));
    // The first packet went; the one with the bad line did not; no status.
    EXPECT_EQ(reg.Received.size(), 2u);
    EXPECT_EQ(reg.Commands, (std::vector<std::string>{"/10-00/"}));
}

TEST_F(JobTest, UploadWritesTheFileAndSkipsTheStatusQueryOnSuccess)
{
    reg.Upload = {GroupHeader, "00000100" + G5Hex, "00000101" + G6Hex};
    const TModuleResult r = Run("/Fu.txt /T01 /AABDE /XU");
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(reg.Commands, (std::vector<std::string>{"/20-00/01///B000/"}));
    EXPECT_EQ(ReadFile("u.txt"), (std::vector<std::string>{G5, G6}));
}

TEST_F(JobTest, UploadEndingAfterTheHeaderGives2100AndAsks)
{
    reg.Upload = {GroupHeader, "00000100" + G5Hex, "00000101" + G6Hex};
    reg.EotAfter = 1;
    const TModuleResult r = Run("/Fu.txt /T01 /AABDE /XU");
    EXPECT_EQ(r.Code, 0x2100);
    EXPECT_EQ(reg.Commands.back(), Status);
}

TEST_F(JobTest, UploadOfAnotherLayoutGives1500)
{
    reg.Upload = {"/HDR1/010000050000000101" "0103000411" + std::string(22, '0')};
    const TModuleResult r = Run("/Fu.txt /T01 /AABDE /XU");
    EXPECT_EQ(r.Code, 0x1500);
    EXPECT_EQ(r.Text, Text1250("Parametr /A niezgodny z konfiguracją kasy"));
}

TEST_F(JobTest, FiscalReadEndsNormallyOnlyAfterTheLastPacket)
{
    const std::string identity = "0000" "0000" + TextHex("ABC") + "12345678" + TextHex("123-456-78-90") + "07122601";
    const std::string daily = "0012" "0001" "0001010126" + std::string(70, '0') + "22070000A0A0A0" "00" "0001" "00"
                              + std::string(10, '0') + "0000" + std::string(10, '0') + "00";
    ASSERT_EQ(daily.size(), 8u + 128u);
    struct Case { std::vector<std::string> packets; uint16_t code; std::vector<std::string> commands; };
    const std::vector<Case> cases = {
        {{identity, daily}, 0, {"/80-00///0001-0100/"}},
        // Stopped short: the status answer "0000" does not turn it into a success.
        {{identity, daily.substr(0, 6) + "00" + daily.substr(8)}, 0xE001, {"/80-00///0001-0100/", Status}},
    };
    for (const Case &c : cases) {
        reg = TScriptedRegister{};
        reg.Upload = c.packets;
        const TModuleResult r = Run("/M0 /R0001-0100 /Fpf.txt /XP");
        EXPECT_EQ(r.Code, c.code);
        EXPECT_EQ(reg.Commands, c.commands);
        EXPECT_EQ(ReadFile("pf.txt").size(), 2u);
    }
}

TEST_F(JobTest, UserStopEndsWithFFF1AndNoStatusQuery)
{
    std::vector<std::string> lines(20, G5);
    WriteFile("g.txt", lines);
    reg.OnDataPacket = [this] {
        if (reg.Received.size() == 4)
            display.StopRequested = true;
    };
    const TModuleResult r = Run("/Fg.txt /T01 /AABDE /XD /r1");
    EXPECT_EQ(r.Code, 0xFFF1);
    EXPECT_EQ(reg.Commands, (std::vector<std::string>{"/10-00/"}));
    EXPECT_LT(reg.Received.size(), 21u);
}

TEST_F(JobTest, LineThatCannotBeMadeGives1000)
{
    TModuleResult r;
    RunModule("/P1 /Fg.txt /T01 /AABDE /XD", dir.string(), display, clock, DefaultJobTable(),
              [](TModuleContext &) { return std::unique_ptr<TLine>(); }, r);
    EXPECT_EQ(r.Code, 0x1000);
}
