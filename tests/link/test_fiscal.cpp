// The fiscal memory task: requests, packet checks and the line layouts the
// fiscal memory window reads by position.
#include "link/UDnUp.h"
#include "link/UFiscal.h"
#include "link/UNational.h"
#include "link/UParam.h"
#include "fake_line.h"
#include "link_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Hex(const TBytes &b)
{
    std::string s;
    LinkText::AppendHex(s, b.data(), b.size());
    return s;
}

TBytes Bytes(std::initializer_list<int> values)
{
    TBytes b;
    for (int v : values)
        b.push_back(static_cast<uint8_t>(v));
    return b;
}

TBytes Text(const std::string &s)
{
    return TBytes(s.begin(), s.end());
}

TBytes Join(std::initializer_list<TBytes> parts)
{
    TBytes all;
    for (const auto &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A fiscal packet payload: number, unused, last flag, data.
std::string Payload(int number, bool last, const TBytes &data)
{
    char head[16];
    std::snprintf(head, sizeof head, "%04d00%s", number, last ? "01" : "00");
    return head + Hex(data);
}

const TBytes Identity = Join({Text("ABC"), Bytes({0x12, 0x34, 0x56, 0x78}), Text("123-456-78-90"), Bytes({0x07, 0x12, 0x26, 0x01})});

// Report 1 of 01.01.26: A 123.45, B 0.05, rates 22 %, 7 %, 0 %, exempt,
// three inactive, 12 receipts, total 123.50, one cancelled of 0.10.
TBytes Daily(int number = 1)
{
    const int hi = number / 1000 * 16 + number / 100 % 10, lo = number / 10 % 10 * 16 + number % 10;
    return Join({Bytes({hi, lo, 0x01, 0x01, 0x26}), Bytes({0, 0, 0x01, 0x23, 0x45}), Bytes({0, 0, 0, 0, 0x05}),
                 TBytes(25, 0), Bytes({0x22, 0x07, 0x00, 0xB0, 0xA0, 0xA0, 0xA0}), Bytes({0x00, 0x00, 0x12, 0x00}),
                 Bytes({0, 0, 0x01, 0x23, 0x50}), Bytes({0x00, 0x01}), Bytes({0, 0, 0, 0, 0x10}), Bytes({0x00})});
}

class FiscalTest : public TempDirTest {
protected:
    FiscalTest() : TempDirTest("orvan-fiscal-") {}

    bool Start(const std::string &switches, int model = 11)
    {
        task = std::make_unique<TTaskFiscal>(run.Context, national, model, dir.string());
        param.parse(switches);
        if (!task->Start(1, &param))
            return false;
        task->WakeUpMessage();
        const TOutPacket cmd = task->NextPacket();
        EXPECT_TRUE(cmd.Last);
        seq = '0';
        return true;
    }
    // One copy of a packet.
    bool Offer(const std::string &payload)
    {
        TSuperString f = Frame(seq, payload);
        const bool ok = task->AcceptPacket(f);
        if (ok)
            seq = NextSequence(seq);
        return ok;
    }
    // As the register does: a copy asked again for confirmation comes again.
    bool Send(const std::string &payload)
    {
        return Offer(payload) || (task->AwaitsSecondCopy() && Offer(payload));
    }
    std::vector<std::string> Lines() { return ReadFile("pf.txt"); }
    // Every try before the last is refused without an error (NAK).
    bool RefusedUntilTheLastTry(const std::string &payload)
    {
        for (int i = 0; i < TProtocol::MaxNAKsInARow; ++i)
            if (Send(payload) || task->InError())
                return false;
        return true;
    }
    // Every packet of a full ER-A277PS Plus read with reports daily reports.
    std::vector<std::string> FullRead(int reports)
    {
        std::vector<std::string> p;
        p.push_back(Payload(0, false, Identity));
        TBytes z(30, 0), star(31, 0);
        z[0] = 0x01;      // record 8
        z[1] = 0x80;      // record 9
        star[0] = 0x80;   // record 1
        star[25] = 0xFF;  // not closed
        p.push_back(Payload(1, false, z));
        p.push_back(Payload(2, false, star));
        for (int n = 3; n <= 6; ++n) {
            TBytes resets;
            for (int i = 0; i < 50; ++i) {
                const TBytes r = Bytes({0x01, 0x01, 0x26, 0x12, i % 60 / 10 * 16 + i % 10});
                resets.insert(resets.end(), r.begin(), r.end());
            }
            p.push_back(Payload(n, false, resets));
        }
        for (int n = 7; n <= 9; ++n) {
            TBytes currencies(120, 0xFF);
            if (n == 7) {
                const TBytes first = Join({Bytes({0x01, 0x00, 0x00, 0x01, 0x01, 0x02, 0x08, 0x00}), Text("PLN ")});
                std::copy(first.begin(), first.end(), currencies.begin());
            }
            p.push_back(Payload(n, false, currencies));
        }
        for (int n = 10; n <= 11; ++n)
            p.push_back(Payload(n, false, TBytes(128, 0x5A)));
        for (int i = 0; i < reports; ++i)
            p.push_back(Payload(12 + i, i + 1 == reports, Daily(i + 1)));
        return p;
    }

    TTestRun run;
    TNational national{'W'};
    TParam param;
    std::unique_ptr<TTaskFiscal> task;
    char seq = '0';
};

} // namespace

TEST_F(FiscalTest, Requests)
{
    struct Case { std::string switches; std::string request; };
    const std::vector<Case> cases = {
        {"/Fpf.txt /M1", "/80-01/"},
        {"/Fpf.txt /M1F", "/80-1F/"},
        {"/Fpf.txt /M1f", "/80-1F/"},
        {"/Fpf.txt /M0 /R0001-0100", "/80-00///0001-0100/"},
        {"/Fpf.txt /M1 /R010126-311226", "/80-01///010126-311226/"},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(Start(c.switches)) << c.switches;
        EXPECT_EQ(task->Request(), c.request);
        EXPECT_TRUE(param.has('U'));  // status query only after a failure
    }
}

TEST_F(FiscalTest, StartCodes)
{
    struct Case { std::string switches; uint16_t code; };
    const std::vector<Case> cases = {
        {"/Fpf.txt", 0x1206},
        {"/Fpf.txt /M", 0x1306},
        {"/Fpf.txt /Mx1", 0x1306},
        {"/Fpf.txt /M1g", 0x1306},
        {"/Fpf.txt /M100", 0x1306},
        {"/M0", 0x1303},
        {"/F. /M0", 0x1100},
    };
    for (const Case &c : cases) {
        run.Context.Error = ModuleError{};
        EXPECT_FALSE(Start(c.switches)) << c.switches;
        EXPECT_EQ(run.Context.Error.Code, c.code) << c.switches;
    }
}

TEST_F(FiscalTest, FullReadWritesTheLinesInTheirOrder)
{
    ASSERT_TRUE(Start("/Fpf.txt /M0"));
    for (const auto &p : FullRead(3))
        ASSERT_TRUE(Send(p)) << p.substr(0, 8);
    task->End(true);
    ASSERT_FALSE(task->InError());
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u + 1 + 200 + 30 + 4 + 3);
    EXPECT_EQ(lines[0], "ABC12345678,123-456-78-90,071226,01,");
    EXPECT_EQ(lines[1], ",FF,000000,0000");
    EXPECT_EQ(lines[2], "001,0,1,010126,1200");
    EXPECT_EQ(lines[9], "008,1,0,010126,1207");   // least significant bit of the first byte
    EXPECT_EQ(lines[10], "009,1,0,010126,1208");  // most significant bit of the second byte
    EXPECT_EQ(lines[11], "010,0,0,010126,1209");
    EXPECT_EQ(lines[201], "200,0,0,010126,1249");
    EXPECT_EQ(lines[202], "01,01,0000,010102,0800,504C4E20");
    EXPECT_EQ(lines[203], "02,FF,FFFF,FFFFFF,FFFF,FFFFFFFF");
    EXPECT_EQ(lines[231], "30,FF,FFFF,FFFFFF,FFFF,FFFFFFFF");
    EXPECT_EQ(lines[232], "001," + Hex(TBytes(64, 0x5A)));
    EXPECT_EQ(lines[235].substr(0, 4), "004,");

    // Line 237 is the first daily report.
    const std::string &d = lines[236];
    ASSERT_EQ(d.size(), 160u);
    EXPECT_EQ(d.substr(0, 4), "0001");
    EXPECT_EQ(d.substr(5, 6), "010126");
    EXPECT_EQ(d.substr(12, 11), "     123.45");
    EXPECT_EQ(d.substr(24, 11), "       0.05");
    EXPECT_EQ(d.substr(84, 11), "       0.00");
    const char *rates[] = {"22", "07", "00", "B0", "A0", "A0", "A0"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(d.substr(96 + 3 * static_cast<size_t>(i), 2), rates[i]);
    EXPECT_EQ(d.substr(117, 2), "00");
    EXPECT_EQ(d.substr(120, 4), "0012");
    EXPECT_EQ(d.substr(125, 2), "00");
    EXPECT_EQ(d.substr(128, 11), "     123.50");
    EXPECT_EQ(d.substr(140, 4), "0001");
    EXPECT_EQ(d.substr(145, 11), "       0.10");
    EXPECT_EQ(d.substr(157, 3), "00,");
    EXPECT_EQ(lines[238].substr(0, 4), "0003");
}

TEST_F(FiscalTest, PacketNumbersMayJumpButNeverRepeat)
{
    ASSERT_TRUE(Start("/Fpf.txt /M0"));
    ASSERT_TRUE(Send(Payload(12, false, Daily(1))));
    ASSERT_TRUE(Send(Payload(15, false, Daily(2))));
    EXPECT_TRUE(RefusedUntilTheLastTry(Payload(15, false, Daily(3))));
    EXPECT_FALSE(Send(Payload(15, false, Daily(3))));
    EXPECT_EQ(run.Context.Error.Code, 0xE003);
    EXPECT_TRUE(task->InError());
    task->End(false);
    EXPECT_EQ(Lines().size(), 2u);
}

TEST_F(FiscalTest, MalformedPacketsGiveE003)
{
    TBytes badBcd = Daily(1);
    badBcd[0] = 0x0A;
    TBytes badAmount = Daily(1);
    badAmount[7] = 0xC0;
    TBytes badCount = Daily(1);
    badCount[49] = 0x1F;
    const std::vector<std::string> cases = {
        "0012000",                                       // short
        Payload(12, false, Daily(1)) + std::string(480, '0'),  // too long
        "00x2" "0000" + Hex(Daily(1)),                   // number not decimal
        "0012" "0002" + Hex(Daily(1)),                   // last flag 02
        Payload(12, false, Daily(1)).substr(0, 20) + "0",  // odd hex
        Payload(12, false, Daily(1)).substr(0, 20) + "zz",
        Payload(12, false, badBcd),
        Payload(12, false, badAmount),
        Payload(12, false, badCount),
        Payload(0, false, TBytes(23, 0x41)),            // header one byte short
        Payload(1, false, TBytes(31, 0)),
        Payload(3, false, TBytes(249, 0)),
        Payload(7, false, TBytes(121, 0)),
        Payload(10, false, TBytes(127, 0)),
        Payload(12, false, TBytes(52, 0)),
    };
    // Asked again like a damaged packet; the register's own bytes, sent
    // the same every time, end the read.
    for (const auto &p : cases) {
        run.Context.Error = ModuleError{};
        ASSERT_TRUE(Start("/Fpf.txt /M0"));
        EXPECT_TRUE(RefusedUntilTheLastTry(p)) << p;
        EXPECT_FALSE(Send(p)) << p;
        EXPECT_EQ(run.Context.Error.Code, 0xE003) << p;
        EXPECT_TRUE(task->InError());
    }
}

TEST_F(FiscalTest, DamagedPacketIsRefusedWithoutError)
{
    ASSERT_TRUE(Start("/Fpf.txt /M0"));
    std::string frame = BuildPacket('0', Payload(0, false, Identity)).substr(1);
    frame[5] = 'F';
    TSuperString f;
    f.Append(frame);
    EXPECT_FALSE(task->AcceptPacket(f));
    EXPECT_FALSE(task->InError());
    EXPECT_TRUE(Send(Payload(0, false, Identity)));
}

TEST_F(FiscalTest, PacketAfterTheLastGivesE002)
{
    ASSERT_TRUE(Start("/Fpf.txt /M0"));
    ASSERT_TRUE(Send(Payload(12, true, Daily(1))));
    EXPECT_FALSE(Send(Payload(13, false, Daily(2))));
    EXPECT_EQ(run.Context.Error.Code, 0xE002);
}

TEST_F(FiscalTest, EndWithoutTheLastPacket)
{
    struct Case { int model; std::vector<std::string> packets; bool ended; uint16_t code; };
    const TBytes shortIdentity = Join({Text("AB"), Bytes({0x12, 0x34, 0x56, 0x78}), Text("123-456-78-90"), Bytes({0x07, 0x12, 0x26})});
    const std::vector<Case> cases = {
        {11, {Payload(0, false, Identity), Payload(12, false, Daily(1))}, true, 0xE001},
        {11, {Payload(0, false, Identity), Payload(12, true, Daily(1))}, true, 0},
        {11, {Payload(0, false, Identity)}, false, 0},  // a failed transfer keeps its own code
        {0, {Payload(0, false, shortIdentity)}, true, 0},  // the ER-A235P may send its header alone
        {0, {Payload(0, false, shortIdentity), Payload(1, false, TBytes(52, 0))}, true, 0xE001},
    };
    for (const Case &c : cases) {
        run.Context.Error = ModuleError{};
        ASSERT_TRUE(Start("/Fpf.txt /M0", c.model));
        for (const auto &p : c.packets)
            ASSERT_TRUE(Send(p)) << p;
        task->End(c.ended);
        EXPECT_EQ(run.Context.Error.Code, c.code);
        if (c.code == 0xE001) {
            EXPECT_TRUE(run.Context.Error.AskStatus);
            EXPECT_TRUE(task->InError());
        }
        // What arrived stays in the file.
        EXPECT_EQ(Lines().size(), c.packets.size());
    }
}

TEST_F(FiscalTest, OlderModelLayouts)
{
    // ER-A235P / ER-A275P: a 22-byte header and 52-byte reports.
    const TBytes shortIdentity = Join({Text("AB"), Bytes({0x12, 0x34, 0x56, 0x78}), Text("123-456-78-90"), Bytes({0x07, 0x12, 0x26})});
    TBytes daily52 = Daily(7);
    daily52.resize(52);
    daily52[46] = 0x12;
    daily52[47] = 0x34;
    for (int model : {0, 4}) {
        ASSERT_TRUE(Start("/Fpf.txt /M0", model));
        ASSERT_TRUE(Send(Payload(0, false, shortIdentity)));
        ASSERT_TRUE(Send(Payload(1, true, daily52)));
        task->End(true);
        const auto lines = Lines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], "AB12345678,123-456-78-90,071226,");
        EXPECT_EQ(lines[1].substr(0, 12), "0007,010126,");
        EXPECT_EQ(lines[1].substr(96), "22,07,00,B0,A0,A0,1234,00,1200,00,");
    }
    // ER-A237P / ER-A277P: 64-byte reports from packet 1, counts without
    // the digit check.
    TBytes daily64 = Daily(2);
    daily64[48] = 0x0A;
    daily64[49] = 0x0B;
    for (int model : {5, 6}) {
        run.Context.Error = ModuleError{};
        ASSERT_TRUE(Start("/Fpf.txt /M0", model));
        ASSERT_TRUE(Send(Payload(0, false, Identity)));
        ASSERT_TRUE(Send(Payload(1, true, daily64)));
        task->End(true);
        EXPECT_EQ(run.Context.Error.Code, 0);
        const auto lines = Lines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1].size(), 160u);
        EXPECT_EQ(lines[1].substr(120, 4), "0A0B");
    }
    // The ER-A277PS Plus keeps the digit check.
    ASSERT_TRUE(Start("/Fpf.txt /M0", 11));
    EXPECT_TRUE(RefusedUntilTheLastTry(Payload(12, false, daily64)));
    EXPECT_FALSE(Send(Payload(12, false, daily64)));
    EXPECT_EQ(run.Context.Error.Code, 0xE003);
}

TEST_F(FiscalTest, ModelsWithoutALayoutRefuseEveryPacket)
{
    for (int model : {2, 7, 8, 9, 10}) {
        run.Context.Error = ModuleError{};
        EXPECT_FALSE(TTaskFiscal::HasLayout(model));
        ASSERT_TRUE(Start("/Fpf.txt /M0", model));
        EXPECT_FALSE(Send(Payload(0, false, Identity))) << model;
        EXPECT_EQ(run.Context.Error.Code, 0xE003) << model;
    }
}

namespace {

// The payload with the character at drop left out and the one at twin
// doubled: what a noisy line does unseen by the 8-bit sum when both are
// the same character.
std::string DropAndDouble(const std::string &payload, std::size_t drop, std::size_t twin)
{
    std::string s = payload;
    s.insert(twin + 1, 1, s[twin]);
    s.erase(drop, 1);
    EXPECT_EQ(Checksum(s), Checksum(payload));
    EXPECT_NE(s, payload);
    return s;
}

TBytes Resets(std::initializer_list<TBytes> first)
{
    TBytes r(250, 0xFF);
    std::size_t at = 0;
    for (const TBytes &rec : first) {
        std::copy(rec.begin(), rec.end(), r.begin() + static_cast<long>(at));
        at += 5;
    }
    return r;
}

TBytes Currencies(const TBytes &first)
{
    TBytes c(120, 0xFF);
    std::copy(first.begin(), first.end(), c.begin());
    return c;
}

TBytes Closing(const TBytes &record)
{
    return Join({TBytes(25, 0), record});
}

} // namespace

TEST_F(FiscalTest, ADamagedCopyWithAMatchingSumIsAskedAgainAndTheGoodOneTaken)
{
    // Data positions in the payload: 8 + 2 × byte offset.
    auto at = [](int byte) { return static_cast<std::size_t>(8 + 2 * byte); };
    const std::string report = Payload(13, false, Daily(2));
    TBytes identity = Identity;
    TBytes eightDigits = Identity;
    eightDigits[3] = 0x1A;
    TBytes badDate = Daily(2);
    badDate[2] = 0x32; // 32.01.26
    TBytes tooManyResets = Daily(2);
    tooManyResets[47] = 201;
    struct Case {
        const char *what;
        std::vector<std::string> before;
        std::string bad, good;
    };
    const std::vector<Case> cases = {
        {"amounts shifted: A 1234.50, B 0.50 against a total due of 123.50", {},
         DropAndDouble(report, at(5), at(20)), report},
        {"rate codes shifted", {}, DropAndDouble(report, at(35), at(47)), report},
        {"a date that does not exist", {}, Payload(13, false, badDate), report},
        {"more RAM resets than records", {}, Payload(13, false, tooManyResets), report},
        {"report numbers going back", {Payload(12, false, Daily(3))}, Payload(13, false, Daily(2)),
         Payload(13, false, Daily(4))},
        {"a unique number with a letter among its digits", {}, Payload(0, false, eightDigits),
         Payload(0, false, identity)},
        {"a RAM reset at 24:60", {Payload(1, false, TBytes(30, 0)), Payload(2, false, Closing(TBytes(6, 0xFF)))},
         Payload(3, false, Resets({Bytes({0x01, 0x01, 0x26, 0x24, 0x60})})),
         Payload(3, false, Resets({Bytes({0x01, 0x01, 0x26, 0x23, 0x59})}))},
        {"a currency change after report 00A1", {},
         Payload(7, false, Currencies(Join({Bytes({0x01, 0x00, 0xA1, 0x01, 0x01, 0x26, 0x08, 0x00}), Text("EUR ")}))),
         Payload(7, false, Currencies(Join({Bytes({0x01, 0x00, 0x21, 0x01, 0x01, 0x26, 0x08, 0x00}), Text("EUR ")})))},
    };
    for (const Case &c : cases) {
        run.Context.Error = ModuleError{};
        ASSERT_TRUE(Start("/Fpf.txt /M0")) << c.what;
        for (const auto &p : c.before)
            ASSERT_TRUE(Send(p)) << c.what;
        const std::size_t lines = Lines().size();
        EXPECT_FALSE(Send(c.bad)) << c.what;
        EXPECT_FALSE(task->InError()) << c.what;
        EXPECT_EQ(Lines().size(), lines) << c.what; // nothing of it written
        EXPECT_TRUE(Send(c.good)) << c.what;
        EXPECT_EQ(run.Context.Error.Code, 0) << c.what;
        EXPECT_TRUE(task->DueMismatches().empty()) << c.what;
    }
}

TEST_F(FiscalTest, OddButWellFormedRecordsPassAtOnce)
{
    TBytes zero = Daily(1);
    for (int i = 5; i < 40; ++i)
        zero[static_cast<std::size_t>(i)] = 0;
    std::fill(zero.begin() + 51, zero.end(), 0);
    TBytes euroOff = Daily(3);
    euroOff[55] = 0x99; // total due in EUR is not checked against the sales
    const TBytes euro = Join({Bytes({0x02, 0x00, 0x02, 0x01, 0x02, 0x26, 0x23, 0x59}), Text("EUR ")});
    const TBytes blank = Join({Bytes({0x03, 0x00, 0x02, 0x01, 0x02, 0x26, 0x23, 0x59}), Text("    ")});
    struct Case {
        const char *what;
        std::vector<std::string> packets;
    };
    const std::vector<Case> cases = {
        {"a zero report", {Payload(12, false, zero)}},
        {"an installation date not yet set", {Payload(0, false, Join({TBytes(Identity.begin(), Identity.begin() + 20), Bytes({0xFF, 0xFF, 0xFF, 0x01})}))}},
        {"a report in EUR", {Payload(7, false, Currencies(euro)), Payload(12, false, Daily(2)), Payload(13, false, euroOff)}},
        {"a blank currency symbol", {Payload(7, false, Currencies(blank)), Payload(13, false, euroOff)}},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(Start("/Fpf.txt /M0")) << c.what;
        for (const auto &p : c.packets)
            EXPECT_TRUE(Send(p)) << c.what;
        EXPECT_TRUE(task->DueMismatches().empty()) << c.what;
    }
}

TEST_F(FiscalTest, TheSameInconsistentReportEveryTimeIsKeptAndNoted)
{
    TBytes off = Daily(4);
    off[55] = 0x51; // total due 123.51 against sales of 123.50
    const std::string bad = Payload(15, true, off);
    const std::string other = DropAndDouble(bad, 8 + 2 * 5, 8 + 2 * 20);
    const std::string damaged; // a copy the line damaged beyond its sum
    struct Case {
        const char *what;
        std::vector<std::string> copies; // the register's answers, in turn
        bool kept;
    };
    const std::vector<Case> cases = {
        {"the same bytes every time", {bad}, true},
        {"the same bytes, some damaged on the line", {bad, damaged, damaged}, true},
        {"one copy differs", {bad, other}, false},
    };
    for (const Case &c : cases) {
        run.Context.Error = ModuleError{};
        ASSERT_TRUE(Start("/Fpf.txt /M0")) << c.what;
        for (int i = 0; i < TProtocol::MaxNAKsInARow; ++i) {
            const std::string &copy = c.copies[static_cast<std::size_t>(i) % c.copies.size()];
            if (copy.empty()) {
                std::string frame = BuildPacket(seq, bad).substr(1);
                frame[3] = frame[3] == '0' ? '1' : '0';
                TSuperString f;
                f.Append(frame);
                EXPECT_FALSE(task->AcceptPacket(f)) << c.what;
            } else {
                EXPECT_FALSE(Send(copy)) << c.what;
            }
        }
        EXPECT_EQ(Send(bad), c.kept) << c.what;
        EXPECT_FALSE(task->InError()) << c.what;
        EXPECT_EQ(run.Context.Error.Code, 0) << c.what;
        EXPECT_EQ(task->DueMismatches(), c.kept ? std::vector<uint32_t>{4} : std::vector<uint32_t>{}) << c.what;
        task->End(c.kept);
        const auto lines = Lines();
        ASSERT_EQ(lines.size(), c.kept ? 1u : 0u) << c.what;
        if (c.kept) {
            EXPECT_EQ(lines[0].substr(128, 11), "     123.51");
        }
    }
}

TEST_F(FiscalTest, AnUnusualReportIsTakenWhenASecondCopyBringsTheSameBytes)
{
    TBytes newRates = Daily(2);
    newRates[40] = 0x23; // A from 22 % to 23 %
    TBytes earlier = Daily(2);
    earlier[4] = 0x25; // 01.01.25, before report 1
    TBytes later = Daily(2);
    later[4] = 0x30; // 01.01.30, four years after report 1
    TBytes fewerResets = Daily(2);
    fewerResets[47] = 0x01;
    TBytes previousReport = Daily(1);
    previousReport[47] = 0x02;
    const std::string previous = Payload(12, false, previousReport);
    struct Case {
        const char *what;
        std::string packet;
    };
    const std::vector<Case> cases = {
        {"rates differ from the report before", Payload(13, false, newRates)},
        {"dated before the report before", Payload(13, false, earlier)},
        {"dated years after the report before", Payload(13, false, later)},
        {"fewer RAM resets than the report before", Payload(13, false, fewerResets)},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(Start("/Fpf.txt /M0")) << c.what;
        ASSERT_TRUE(Send(previous)) << c.what;
        EXPECT_FALSE(Send(c.packet)) << c.what;
        EXPECT_FALSE(task->InError()) << c.what;
        EXPECT_TRUE(Send(c.packet)) << c.what;
        EXPECT_EQ(run.Context.Error.Code, 0) << c.what;
        EXPECT_TRUE(task->DueMismatches().empty()) << c.what;
    }
}

TEST_F(FiscalTest, OnceTheLineShowsAFaultAPacketIsTakenOnlyWhenTwoCopiesAgree)
{
    const std::string first = Payload(12, false, Daily(1));
    const std::string good = Payload(13, false, Daily(2));
    // The cancelled count shifted by one digit into the value: 10 instead
    // of 1, every field still well formed.
    const std::string shifted = DropAndDouble(good, 8 + 2 * 56, 8 + 2 * 58);
    const std::string damaged; // a copy with a bad sum
    const std::string other = Payload(13, false, Daily(3));
    const std::string cancelled = "0001,       0.10,00,";
    struct Case {
        const char *what;
        std::vector<std::string> before; // taken first
        std::vector<std::string> copies; // of the awaited packet
        int taken;                       // the copy taken; -1 none
        std::string tail;                // of its line
    };
    const std::string closing = Payload(2, false, Closing(TBytes(6, 0xFF)));
    const std::vector<Case> cases = {
        {"the first packet on a clean line: asked once more", {}, {first, first}, 1, cancelled},
        {"a clean line after the first packet: one copy", {first}, {shifted}, 0, "0010,       0.10,00,"},
        {"a clean line: a flag map asked once more", {Payload(0, false, Identity)}, {closing, closing}, 1, ",FF,FFFFFF,FFFF"},
        {"a fault seen: the shifted copy is not taken alone", {first}, {damaged, shifted, good, good}, 3, cancelled},
        {"a fault seen: two equal copies", {first}, {damaged, good, good}, 2, cancelled},
        {"a damaged copy between two good ones", {first}, {damaged, good, damaged, good}, 3, cancelled},
        {"any two equal copies", {first}, {damaged, good, other, good}, 3, cancelled},
        {"never two equal copies", {first}, {damaged, good, shifted, other}, -1, ""},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(Start("/Fpf.txt /M0")) << c.what;
        for (const auto &p : c.before)
            ASSERT_TRUE(Send(p)) << c.what;
        for (std::size_t i = 0; i < c.copies.size(); ++i) {
            bool taken;
            if (c.copies[i].empty()) {
                std::string frame = BuildPacket(seq, good).substr(1);
                char &sum = frame[frame.size() - 2];
                sum = sum == '0' ? '1' : '0';
                TSuperString f;
                f.Append(frame);
                taken = task->AcceptPacket(f);
            } else {
                taken = Offer(c.copies[i]);
            }
            EXPECT_EQ(taken, static_cast<int>(i) == c.taken) << c.what << ", copy " << i;
        }
        EXPECT_FALSE(task->InError()) << c.what;
        task->End(false);
        const auto lines = Lines();
        ASSERT_EQ(lines.size(), c.before.size() + (c.taken >= 0 ? 1 : 0)) << c.what;
        if (c.taken >= 0) {
            EXPECT_TRUE(lines.back().ends_with(c.tail)) << c.what << ": " << lines.back();
        }
    }
}

TEST_F(FiscalTest, OverTheLineFaultsCallForTwoCopiesAndTheRetryLimitStillEndsTheRead)
{
    const int max = TProtocol::MaxNAKsInARow;
    const std::string ack(1, Ctl::ACK), nak(1, Ctl::NAK), enq(1, Ctl::ENQ), eot(1, Ctl::EOT);
    const std::string good = BuildPacket('0', Payload(12, true, Daily(1)));
    std::string damaged = good;
    damaged[damaged.size() - 2] ^= 1;
    const std::string first = BuildPacket('0', Payload(12, false, Daily(1)));
    const std::string second = BuildPacket('1', Payload(13, true, Daily(2)));
    using Replies = std::vector<std::string>; // to each write of the PC
    auto join = [](std::initializer_list<Replies> parts) {
        Replies all;
        for (const auto &p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    auto times = [](int n, const std::string &r) { return Replies(static_cast<std::size_t>(n), r); };
    Replies allDifferent;
    for (int i = 0; i <= max + 1; ++i)
        allDifferent.push_back(BuildPacket('0', Payload(12, true, Daily(i + 1))));
    struct Case {
        const char *what;
        Replies replies;
        uint16_t code;
        std::size_t lines;
    };
    const std::vector<Case> cases = {
        {"a clean line: only the first packet twice", {ack, ack, enq, first, first, second, eot}, 0, 2},
        {"a stray byte before the second packet", {ack, ack, enq, first, first, "x" + second, second, eot}, 0, 2},
        {"the wake-up sent again", {nak, ack, ack, enq, first, first, second, second, eot}, 0, 2},
        {"good copies that never agree", join({{ack, ack, enq}, allDifferent, {eot}}), 0x2300, 0},
        // The register's tries count afresh from the first good copy.
        {"the limit of damaged copies before and after the first good one",
         join({{ack, ack, enq}, times(max, damaged), {good}, times(max, damaged), {good, eot}}), 0, 1},
        {"one damaged copy more", join({{ack, ack, enq, good}, times(max + 1, damaged), {good, eot}}), 0x2300, 0},
    };
    for (const Case &c : cases) {
        run.Context.Error = ModuleError{};
        TFakeLine line(run.Context, run.Clock);
        line.Replies.assign(c.replies.begin(), c.replies.end());
        task = std::make_unique<TTaskFiscal>(run.Context, national, 11, dir.string());
        param.parse("/Fpf.txt /M0");
        ASSERT_TRUE(task->Start(1, &param)) << c.what;
        TProtocol protocol(run.Context, line, TProtocol::TKind::Receiving, 11);
        ASSERT_TRUE(protocol.Start(*task)) << c.what;
        ASSERT_TRUE(RunToEnd(protocol)) << c.what;
        protocol.Close();
        EXPECT_EQ(run.Context.Error.Code, c.code) << c.what;
        // Every copy was asked for; a failed read ends by the count, with answers left.
        EXPECT_EQ(line.Replies.empty(), c.code == 0) << c.what;
        task->End(c.code == 0);
        EXPECT_EQ(Lines().size(), c.lines) << c.what;
    }
}
