// The simulated register on its own: its answers byte by byte, its
// records and fiscal memory, its state file, and garbage from the PC.
#include "link/UError.h"
#include "link/UKOMDisplay.h"
#include "link/UModule.h"
#include "link/UProtoco.h"
#include "sim/USimLine.h"
#include "sim/USimRegister.h"
#include "sim/USimulator.h"
#include "link/UVirtualClock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kWake = std::string("\x04\x04\x04") + "000001" + "\x05";
const std::string ACK(1, Ctl::ACK), NAK(1, Ctl::NAK), EOT(1, Ctl::EOT), ENQ(1, Ctl::ENQ);

struct Peer {
    explicit Peer(const TSimOptions &o = {}) : Sim(Reg, o) {}
    std::string Send(const std::string &bytes)
    {
        Sim.Receive(bytes, Now);
        return Sim.TakeOutput();
    }
    TSimRegister Reg;
    TSimulator Sim;
    uint32_t Now = 0;
};

} // namespace

TEST(SimRegister, PackedDecimalForms)
{
    EXPECT_EQ(HexText(PackUnsigned(12345, 3)), "012345");
    EXPECT_EQ(HexText(PackSigned(12345, 6)), "000000123450");
    EXPECT_EQ(HexText(PackSigned(7, 4)), "00000070");
    TBytes b;
    EXPECT_TRUE(HexBytes("0AFF", b));
    EXPECT_EQ(b, (TBytes{0x0A, 0xFF}));
    EXPECT_FALSE(HexBytes("0a", b)); // lower case is no register text
    EXPECT_FALSE(HexBytes("ABC", b));
}

TEST(SimRegister, FiscalMemoryHasTheLayoutOfTheRegister)
{
    TSimRegister reg;
    reg.Fiscal.Reports = 40;
    reg.Fiscal.RamResets = 3;
    const auto fixed = reg.FiscalFixedPackets();
    const std::size_t sizes[] = {24, 30, 31, 250, 250, 250, 250, 120, 120, 120, 128, 128};
    ASSERT_EQ(fixed.size(), 12u);
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(fixed[i].size(), sizes[i]) << i;
    const auto daily = reg.DailyReports();
    ASSERT_EQ(daily.size(), 40u);
    int previousCounter = 0;
    for (const TDailyReport &d : daily) {
        ASSERT_EQ(d.Bytes.size(), 64u);
        EXPECT_GE(d.Bytes[47], previousCounter); // RAM reset counter never falls
        previousCounter = d.Bytes[47];
        // Every decoded BCD field holds digits only.
        for (std::size_t i : {0, 1, 48, 49, 56, 57})
            EXPECT_TRUE((d.Bytes[i] >> 4) <= 9 && (d.Bytes[i] & 15) <= 9);
    }
    EXPECT_EQ(previousCounter, 3);
    // Same options, same memory; another seed, other amounts.
    EXPECT_EQ(TSimRegister().DailyReports()[0].Bytes, TSimRegister().DailyReports()[0].Bytes);
    TSimRegister other;
    other.Fiscal.Seed = 2;
    EXPECT_NE(other.DailyReports()[0].Bytes, TSimRegister().DailyReports()[0].Bytes);
}

TEST(SimRegister, StateFileRoundTripAndBrokenFileKeepsTables)
{
    const fs::path dir = fs::temp_directory_path() / ("orvan-sim-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "state").string();
    TSimRegister a;
    a.SalesSeed = 3;
    TSimTable &t = *a.Table(0x19);
    TBytes rec(static_cast<std::size_t>(t.RecordSize()), 0);
    rec[0] = 0x07;
    a.Store(t, rec);
    ASSERT_TRUE(a.HasSales());
    ASSERT_TRUE(a.Save(file));

    TSimRegister b;
    ASSERT_TRUE(b.Load(file));
    EXPECT_EQ(b.Table(0x19)->Records, t.Records);

    const std::pair<const char *, const char *> broken[] = {
        {"garbage", "hello\n"},
        {"bad hex", "KASASIM 1\nT 19 07zz\n"},
        {"wrong size", "KASASIM 1\nT 19 07\n"},
        {"unknown table", "KASASIM 1\nT 42 07\n"},
        {"empty", ""},
    };
    for (auto [name, text] : broken) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        std::string error;
        EXPECT_FALSE(b.Load(file, &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_EQ(b.Table(0x19)->Records.size(), 1u) << name;
    }
    fs::remove_all(dir);
}

TEST(Simulator, AnswersOnlyItsOwnWakeUp)
{
    const struct {
        uint32_t number;
        bool noWakeUp;
        std::string answer;
    } cases[] = {{1, false, ACK}, {2, false, ""}, {1, true, ""}};
    for (const auto &c : cases) {
        TSimOptions o;
        o.RegisterNumber = c.number;
        o.NoWakeUp = c.noWakeUp;
        Peer p(o);
        EXPECT_EQ(p.Send(kWake), c.answer);
        EXPECT_EQ(p.Sim.Stalling(), c.answer.empty());
    }
}

TEST(Simulator, StatusQueryByteByByte)
{
    Peer p;
    ASSERT_EQ(p.Send(kWake), ACK);
    EXPECT_EQ(p.Send(BuildPacket('0', "/99-00/")), ACK);
    EXPECT_EQ(p.Send(EOT), ENQ);
    EXPECT_EQ(p.Send(ACK), BuildPacket('0', "0000"));
    EXPECT_EQ(p.Send(ACK), EOT);
    EXPECT_EQ(p.Sim.State(), TSimulator::TState::Idle);
}

TEST(Simulator, DamagedPacketsGetNakAndUnknownCommandsEot)
{
    Peer p;
    ASSERT_EQ(p.Send(kWake), ACK);
    std::string bad = BuildPacket('0', "/99-00/");
    bad[bad.size() - 2] = static_cast<char>(bad[bad.size() - 2] == '0' ? '1' : '0');
    EXPECT_EQ(p.Send(bad), NAK);
    EXPECT_EQ(p.Send(BuildPacket('1', "/99-00/")), NAK); // wrong sequence
    EXPECT_EQ(p.Send(BuildPacket('0', "/55-00/")), EOT);
    EXPECT_EQ(p.Sim.StatusCode(), 0x0101);
}

TEST(Simulator, DownloadHeaderChecks)
{
    // Groups ABDE: A 1 byte, B 3, D 4, E 16.
    auto header = [](const char *table, const char *sizesAtoE) {
        return std::string("/HDR1/") + table + "00" + "0005" + "00" + "0000" + "01" + "01" + sizesAtoE
               + std::string(32 - 10, '0');
    };
    const struct {
        const char *name;
        std::string header;
        uint16_t status;
    } cases[] = {
        {"unknown table", header("22", "0103000410"), 0x0110},
        {"field size differs", header("01", "0103000411"), 0x0406},
        {"short header", "/HDR1/01", 0x0104},
    };
    for (const auto &c : cases) {
        Peer p;
        ASSERT_EQ(p.Send(kWake), ACK);
        ASSERT_EQ(p.Send(BuildPacket('0', "/10-00/")), ACK);
        EXPECT_EQ(p.Send(BuildPacket('1', c.header)), EOT) << c.name;
        EXPECT_EQ(p.Sim.StatusCode(), c.status) << c.name;
    }
}

TEST(Simulator, GarbageNeverBreaksItAndItRecovers)
{
    Peer p;
    uint64_t x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        // Mostly control characters and packet text, now and then a wake-up.
        const char c = static_cast<char>((x >> 33) % 4 == 0 ? (x >> 40) % 0x20 : (x >> 40) % 0x80);
        p.Sim.Receive(static_cast<uint8_t>(c), p.Now);
        if (i % 5000 == 0)
            p.Sim.Receive(kWake, p.Now);
        p.Sim.TakeOutput();
    }
    p.Now += 20000;
    p.Sim.Poll(p.Now);
    p.Sim.TakeOutput();
    EXPECT_EQ(p.Send(kWake), ACK);
    EXPECT_EQ(p.Send(BuildPacket('0', "/99-00/")), ACK);
}

// The real module on the in-process line, all in virtual time.
class InProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() / ("orvan-simlink-" + std::to_string(::getpid()));
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }

    int Run(TSimulator &sim, const std::string &switches)
    {
        TQuietDisplay display;
        display.Start();
        TModuleResult result;
        RunModule("/LW /V277PSP /P1 /Q " + switches, Dir.string(), display, Clock, DefaultJobTable(),
                  [&](TModuleContext &ctx) { return std::make_unique<TSimLine>(ctx, sim, Clock); }, result);
        return result.Code;
    }

    TVirtualClock Clock;
    fs::path Dir;
};

TEST_F(InProcess, UploadIsInKeyOrderInBlocksOfTheRegister)
{
    TSimRegister reg;
    TSimulator sim(reg, {});
    TSimTable &t = *reg.Table(0x19);
    for (int k : {30, 2, 17}) {
        TBytes rec(static_cast<std::size_t>(t.RecordSize()), 0);
        rec[0] = ToBcd(k);
        reg.Store(t, rec);
    }
    ASSERT_EQ(Run(sim, "/Fk.txt /XU /T19 /AAD"), 0);
    std::ifstream in(Dir / "k.txt", std::ios::binary);
    std::string a, b, c;
    std::getline(in, a);
    std::getline(in, b);
    std::getline(in, c);
    EXPECT_EQ(a, " 2,     0.00,\r");
    EXPECT_EQ(b, "17,     0.00,\r");
    EXPECT_EQ(c, "30,     0.00,\r");
    // 5-byte records, nine a packet: the header and one data packet.
    EXPECT_EQ(sim.Counters().PacketsOut, 2);
}

TEST_F(InProcess, TableFullIsRefused)
{
    TSimRegister reg;
    TSimulator sim(reg, {});
    std::ofstream out(Dir / "k.txt", std::ios::binary);
    for (int k = 1; k <= 51; ++k) {
        char line[32];
        std::snprintf(line, sizeof line, "%2d,     1.00,\r\n", k);
        out << line;
    }
    out.close();
    EXPECT_EQ(Run(sim, "/Fk.txt /XD /T19 /AAD"), 0x0405);
    EXPECT_EQ(reg.Table(0x19)->Records.size(), 50u);
}

// The line with a cable's timing, on a virtual clock: 19200 baud is
// 0.573 ms a character, and a read that finds nothing waits the serial
// port's 350 ms.
TEST(TimedLine, KeepsTheTimeOfA19200BaudLine)
{
    TSharedSimulator shared;
    TVirtualClock clock;
    TQuietDisplay display;
    TModuleContext context(display, clock);
    TSimTimedLine line(context, shared);
    const struct {
        std::string Write; // then one read
        uint64_t WrittenAt;
        int Read;
        uint64_t ReadAt;
    } steps[] = {
        {std::string(1920, ' '), 1100, ReadNothing, 1450},   // not for the register
        {kWake, 1455, Ctl::ACK, 1456},                      // ten characters, then one back
        {BuildPacket('0', "/99-00/"), 1462, Ctl::ACK, 1463}, // a packet of twelve
    };
    for (const auto &s : steps) {
        line.WriteBlock(s.Write);
        EXPECT_EQ(clock.Elapsed(), s.WrittenAt);
        EXPECT_EQ(line.ReadByte(), s.Read);
        EXPECT_EQ(clock.Elapsed(), s.ReadAt);
    }
    EXPECT_EQ(shared.Counters().WakeUps, 1);
}
