// Table download and upload tasks and the status query, driven packet by
// packet the way the protocol drives them.
#include "link/UDnUp.h"
#include "link/UNational.h"
#include "link/UParam.h"
#include "fake_line.h"
#include "link_test_support.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The payload of a packet the task built; checks frame and checksum.
std::string PayloadOf(const std::string &packet, char sequence)
{
    std::string frame = packet.substr(1);
    EXPECT_EQ(packet[0], Ctl::STX);
    EXPECT_TRUE(CheckPacket(frame, sequence)) << packet;
    return frame;
}

std::string Sizes(std::initializer_list<int> sizes)
{
    std::string s;
    for (int v : sizes)
        s += LinkText::Hex(static_cast<uint32_t>(v), 2);
    return s + std::string(2 * (16 - sizes.size()), '0');
}

// Groups in the ABDE layout: number, flags, VAT, limit, price, name.
const std::string G5 = " 5,00, 8,00,     2.50,Chleb           ,";
const std::string G6 = " 6,01,12,00,    10.00,Mleko           ,";
const std::string G7 = " 7,00, 0,00,     0.05,Woda            ,";
const std::string G5Hex = "05" "000800" "00000250" + TextHex("Chleb           ");
const std::string G6Hex = "06" "011200" "00001000" + TextHex("Mleko           ");
const std::string G7Hex = "07" "000000" "00000005" + TextHex("Woda            ");

class TaskTest : public TempDirTest {
protected:
    TaskTest() : TempDirTest("orvan-dnup-") {}

    // Starts a download task; the packets it hands out until it has none.
    std::vector<TOutPacket> Download(const std::string &switches, int model = 11)
    {
        down = std::make_unique<TTaskDown>(run.Context, national, model, dir.string());
        param.parse(switches);
        std::vector<TOutPacket> out;
        if (!down->Start(1, &param))
            return out;
        down->WakeUpMessage();
        for (int i = 0; i < 100000; ++i) {
            TOutPacket p = down->NextPacket();
            if (p.Text.empty())
                break;
            out.push_back(p);
            if (p.Last)
                break;
        }
        return out;
    }
    std::vector<std::string> Payloads(const std::vector<TOutPacket> &packets)
    {
        std::vector<std::string> out;
        char seq = '0';
        for (const auto &p : packets) {
            out.push_back(PayloadOf(p.Text, seq));
            seq = NextSequence(seq);
        }
        return out;
    }
    bool StartUp(const std::string &switches, int model = 11)
    {
        up = std::make_unique<TTaskUp>(run.Context, national, model, dir.string());
        param.parse(switches);
        if (!up->Start(1, &param))
            return false;
        up->WakeUpMessage();
        EXPECT_TRUE(up->NextPacket().Last);
        return true;
    }

    TTestRun run;
    TNational national{'W'};
    TParam param;
    std::unique_ptr<TTaskDown> down;
    std::unique_ptr<TTaskUp> up;
};

const std::string GroupHeader = "/HDR1/010000050000000101" + Sizes({1, 3, 0, 4, 16});

} // namespace

// ------------------------------------------------------------- download

TEST_F(TaskTest, DownloadSendsCommandHeaderAndTwoGroupsAPacket)
{
    WriteFile("g.txt", {G5, G6, "   ", G7});
    const auto packets = Download("/Fg.txt /T01 /AABDE /XD");
    ASSERT_EQ(packets.size(), 4u);
    const auto p = Payloads(packets);
    EXPECT_EQ(p[0], "/10-00/");
    EXPECT_EQ(p[1], GroupHeader);
    EXPECT_EQ(p[2], "00000200" + G5Hex + G6Hex);
    EXPECT_EQ(p[3], "00000101" + G7Hex);
    EXPECT_FALSE(packets[2].Last);
    EXPECT_TRUE(packets[3].Last);
    EXPECT_EQ(run.Context.Error.Code, 0);
}

TEST_F(TaskTest, DownloadStartCodes)
{
    WriteFile("g.txt", {G5});
    WriteFile("blank.txt", {"", "   "});
    struct Case { std::string switches; uint16_t code; };
    const std::vector<Case> cases = {
        {"/Fg.txt /AABDE", 0x1202},
        {"/Fg.txt /TXY /AABDE", 0x1202},
        {"/T01 /AABDE", 0x1203},
        {"/F /T01 /AABDE", 0x1303},
        {"/Fmissing.txt /T01 /AABDE", 0x1100},
        {"/Fblank.txt /T01 /AABDE", 0x1100},
        {"/Fg.txt /T01", 0x1204},
        {"/Fg.txt /T01 /ABA", 0x1304},
        {"/Fg.txt /T01 /AABDEZ", 0x1304},
        {"/Fg.txt /T33 /AABDE", 0x1304},  // no standard layout
        {"/Fg.txt /T01 /AABDE /C2", 0x1152},
        {"/Fg.txt /T01 /A1ABDE /C10", 0x1152},
        {"/Fg.txt /T01 /A3ABDE /C256", 0x1152},
        {"/Fg.txt /T01 /AABDE /Mxy", 0x1306},
        {"/Fg.txt /T01 /AABDE /N65536", 0x1315},
        {"/Fg.txt /T01 /AABDE /C1x", 0x1207},
    };
    for (const Case &c : cases) {
        run.Context.Error = ModuleError{};
        EXPECT_TRUE(Download(c.switches).empty()) << c.switches;
        EXPECT_EQ(run.Context.Error.Code, c.code) << c.switches;
        EXPECT_TRUE(down->InError());
    }
}

TEST_F(TaskTest, DownloadCarriesSelectorAndHeaderParameter)
{
    WriteFile("g.txt", {G5});
    const auto p = Payloads(Download("/Fg.txt /T01 /AABDE /M1F /N300"));
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0], "/10-1F/");
    EXPECT_EQ(p[1].substr(10, 4), "012C");
    const auto lower = Payloads(Download("/Fg.txt /T01 /AABDE /Mbc"));
    ASSERT_EQ(lower.size(), 3u);
    EXPECT_EQ(lower[0], "/10-BC/");
}

TEST_F(TaskTest, DownloadRecordsPerPacket)
{
    WriteFile("g.txt", {G5, G6, G7});
    struct Case { std::string extra; std::vector<int> counts; };
    const std::vector<Case> cases = {
        {"", {2, 1}},
        {" /r1", {1, 1, 1}},
        {" /r", {1, 1, 1}},
        {" /r0", {1, 1, 1}},   // a packet never goes empty
        {" /r5", {2, 1}},      // 48 bytes stay the limit
    };
    for (const Case &c : cases) {
        const auto p = Payloads(Download("/Fg.txt /T01 /AABDE" + c.extra));
        ASSERT_EQ(p.size(), c.counts.size() + 2) << c.extra;
        for (size_t i = 0; i < c.counts.size(); ++i)
            EXPECT_EQ(std::stoi(p[i + 2].substr(4, 2), nullptr, 16), c.counts[i]) << c.extra;
    }
}

// 49..200-byte records still travel, one a packet.
TEST_F(TaskTest, DownloadSendsRecordsBiggerThanThePacketDataOneAPacket)
{
    const std::string a(99, 'x'), b(99, 'y');
    WriteFile("big.txt", {a + "," + b + ",AB,", a + "," + b + ",CD,"});
    const auto packets = Download("/Fbig.txt /T33 /AA(1A99)B(1A99)C(1A02)");
    ASSERT_EQ(down->Selection().RecordSize, 200);
    const auto p = Payloads(packets);
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[1].substr(24, 6), "636302");  // sizes 99, 99, 2
    EXPECT_EQ(p[2].size(), 8u + 400u);
    EXPECT_EQ(p[2].substr(0, 8), "00000100");
    EXPECT_EQ(p[3].substr(0, 8), "00000101");
    EXPECT_EQ(p[3].substr(8 + 396), "4344");
}

TEST_F(TaskTest, DownloadNumberedRecordsStartNewPacketsAtGaps)
{
    WriteFile("n.txt", {"00001,00, 8,00,     2.50,", "00002,00, 8,00,     2.50,", "00003,00, 8,00,     2.50,",
                        "00005,01,12,00,    10.00,"});
    const auto p = Payloads(Download("/Fn.txt /T01 /ABD"));
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[2].substr(0, 8), "00010300");
    EXPECT_EQ(p[3].substr(0, 8), "00050101");
    EXPECT_EQ(p[3].substr(8), "01120000001000");
}

TEST_F(TaskTest, DownloadNumberedFileMustStartWithRecordOne)
{
    WriteFile("n.txt", {"00002,00, 8,00,     2.50,"});
    Download("/Fn.txt /T01 /ABD");
    EXPECT_EQ(run.Context.Error.Code, 0x1150);
}

TEST_F(TaskTest, DownloadBlocksGetTheirOwnHeaders)
{
    WriteFile("b.txt", {"1," + G5, "1," + G6, "2," + G7});
    const auto packets = Download("/Fb.txt /T01 /A1ABDE /C2");
    const auto p = Payloads(packets);
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[1].substr(20, 4), "0102");
    EXPECT_EQ(p[2].substr(0, 8), "00000201");
    EXPECT_EQ(p[3].substr(20, 4), "0202");
    EXPECT_EQ(p[4], "00000101" + G7Hex);
    EXPECT_TRUE(packets[4].Last);
}

TEST_F(TaskTest, DownloadBlockNumberOutOfRangeFailsBeforeAnyRecord)
{
    WriteFile("b.txt", {"2," + G5});
    const auto p = Download("/Fb.txt /T01 /A1ABDE /C1");
    EXPECT_EQ(p.size(), 1u);  // only the command
    EXPECT_EQ(run.Context.Error.Code, 0x1151);
}

TEST_F(TaskTest, DownloadSkipsLeadingLinesOfO)
{
    WriteFile("g.txt", {"garbage", G6});
    const auto p = Payloads(Download("/Fg.txt /T01 /AABDE /O1"));
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[2], "00000101" + G6Hex);
}

// A line that does not convert ends the job with 0x1110 and its line number
// on the display; the packet it would have joined is never sent.
TEST_F(TaskTest, DownloadBadLineGives1110WithItsLineNumber)
{
    struct Case { std::string bad; int column; };
    const std::vector<Case> cases = {
        {" 7,0a, 0,00,     0.05,Woda            ,", 4},  // lower-case hex
        {" 7,00, 0,00,     0.05,Woda,", 23},             // short name
        {"7 ,00, 0,00,     0.05,Woda            ,", 1},  // digit then blank
        {" 7,00, 0,00,     0,05,Woda            ,", 13}, // no point
        {" 7,0a, 0,00,     0.05,\x1B[2J\x1B[H\x07\x7F       ,", 4}, // controls in the name
    };
    for (const Case &c : cases) {
        run.Context.Error = ModuleError{};
        run.Display.Lines.clear();
        WriteFile("g.txt", {G5, "", c.bad});
        const auto packets = Download("/Fg.txt /T01 /AABDE");
        EXPECT_EQ(packets.size(), 2u) << c.bad;
        EXPECT_EQ(run.Context.Error.Code, 0x1110) << c.bad;
        const std::string where = Translate(MessageTranslation('W'), Utf8ToCp852("Linia 3 pliku wejściowego, kolumna "))
                                  + std::to_string(c.column) + ":";
        bool shown = false;
        for (const auto &l : run.Display.Lines) {
            shown = shown || l == where;
            // The quoted line shows control characters by their code.
            EXPECT_EQ(std::count_if(l.begin(), l.end(), [](char ch) { return ch < ' ' && ch >= 0; }), 0) << l;
        }
        EXPECT_TRUE(shown) << c.bad;
    }
}

TEST_F(TaskTest, DownloadPolishLettersGoInTheRegisterCodePage)
{
    // The name must be 16 characters: ł ó d ż and 12 blanks.
    WriteFile("g.txt", {" 5,00, 8,00,     2.50,\xB3\xF3" "d\xBF            ,"});
    const auto p = Payloads(Download("/Fg.txt /T01 /AABDE"));
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[2].substr(24, 8), "D3CF64D1");
}

// -------------------------------------------------------------- upload

TEST_F(TaskTest, UploadRequest)
{
    struct Case { std::string switches; std::string request; };
    const std::vector<Case> cases = {
        {"/Fu.txt /T01 /AABDE", "/20-00/01///B000/"},
        {"/Fu.txt /T01 /AABDEIJ", "/20-00/01///B180/"},
        {"/Fu.txt /T11 /AABDEI /M1F", "/20-1F/11///B100/"},
        // Switch values are hexadecimal in either case; the packet carries
        // upper case.
        {"/Fu.txt /T11 /AABDEI /M1f", "/20-1F/11///B100/"},
        {"/Fu.txt /T1 /AABDE /Ma", "/20-0A/01///B000/"},
        {"/Fu.txt /T01 /AABDE /C12 /R0001-0010", "/20-00/01/0C/0001-0010/B000/"},
        {"/Fu.txt /T01 /AABDE /o", "/20-00/01///"},
        {"/Fu.txt /T01 /AABDE /ZAD", "/20-00/01///B000/2000/"},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(StartUp(c.switches)) << c.switches;
        EXPECT_EQ(up->Request(), c.request);
    }
    // /C makes the status query follow only a failure.
    StartUp("/Fu.txt /T01 /AABDE /C1");
    EXPECT_TRUE(param.has('U'));
    EXPECT_TRUE(param.isEmpty('U'));
}

TEST_F(TaskTest, UploadStartCodes)
{
    struct Case { std::string switches; uint16_t code; };
    const std::vector<Case> cases = {
        {"/Fu.txt /AABDE", 0x1202},
        {"/Fu.txt /T0g /AABDE", 0x1202},
        {"/Fu.txt /T0a /AABDE", 0x1304},  // table 0A: read, but has no layout
        {"/Fu.txt /T01 /AABDE /M1g", 0x1306},
        {"/T01 /AABDE", 0x1203},
        {"/F /T01 /AABDE", 0x1303},
        {"/F. /T01 /AABDE", 0x1100},  // a folder, not a file,
        {"/Fu.txt /T01", 0x1204},
        {"/Fu.txt /T01 /AEB", 0x1304},
        {"/Fu.txt /T01 /AABDE /Z", 0x1311},
        {"/Fu.txt /T01 /AABDE /ZB1", 0x1311},
    };
    for (const Case &c : cases) {
        run.Context.Error = ModuleError{};
        EXPECT_FALSE(StartUp(c.switches)) << c.switches;
        EXPECT_EQ(run.Context.Error.Code, c.code) << c.switches;
    }
}

TEST_F(TaskTest, UploadWritesOneLinePerRecordAcrossBlocks)
{
    ASSERT_TRUE(StartUp("/Fu.txt /T01 /A1ABDE"));
    const std::string header = "/HDR1/010000050000000102" + Sizes({1, 3, 0, 4, 16});
    const std::string header2 = "/HDR1/010000050000000202" + Sizes({1, 3, 0, 4, 16});
    const std::vector<std::string> packets = {header, "00000200" + G5Hex + G6Hex, "00000101" + G7Hex, header2,
                                              "00000101" + G5Hex};
    char seq = '0';
    for (const auto &p : packets) {
        TSuperString f = Frame(seq, p);
        ASSERT_TRUE(up->AcceptPacket(f)) << p;
        seq = NextSequence(seq);
    }
    up->End(true);
    EXPECT_FALSE(up->InError());
    EXPECT_EQ(ReadFile("u.txt"), (std::vector<std::string>{"1," + G5, "1," + G6, "1," + G7, "2," + G5}));
    // With block digits /U stays as the caller left it.
    EXPECT_FALSE(param.has('U'));
}

TEST_F(TaskTest, UploadNumberedRecords)
{
    ASSERT_TRUE(StartUp("/Fu.txt /T01 /ABD"));
    TSuperString h = Frame('0', "/HDR1/010000050000000101" + Sizes({0, 3, 0, 4}));
    ASSERT_TRUE(up->AcceptPacket(h));
    TSuperString d = Frame('1', "00090201" "00080000000250" "01120000001000");
    ASSERT_TRUE(up->AcceptPacket(d));
    up->End(true);
    EXPECT_EQ(ReadFile("u.txt"),
              (std::vector<std::string>{"00009,00, 8,00,     2.50,", "00010,01,12,00,    10.00,"}));
    // One block without digits: the status query only after a failure.
    EXPECT_TRUE(param.has('U'));
    EXPECT_TRUE(param.isEmpty('U'));
}

TEST_F(TaskTest, UploadRefusesBadPackets)
{
    const std::string good = GroupHeader;
    struct Case { std::vector<std::string> packets; uint16_t code; };
    const std::vector<Case> cases = {
        {{"/HDR1/010000050000000101"}, 0x1501},                                 // short
        {{"/HDR2/010000050000000101" + Sizes({1, 3, 0, 4, 16})}, 0x1501},
        {{"/HDR1/01000005000000010g" + Sizes({1, 3, 0, 4, 16})}, 0x1501},      // not hex
        {{"/HDR1/110000050000000101" + Sizes({1, 3, 0, 4, 16})}, 0x1501},      // other table
        {{"/HDR1/010100050000000101" + Sizes({1, 3, 0, 4, 16})}, 0x1501},      // both numbers set
        {{"/HDR1/010000050000000101" + Sizes({1, 3, 0, 5, 16})}, 0x1500},      // other layout
        {{"/HDR1/010000050000000102" + Sizes({1, 3, 0, 4, 16})}, 0x1152},      // two blocks, no digits
        {{good, "0000010"}, 0x9910},
        {{good, "00000201" + G5Hex}, 0x9910},                                     // count 2, one record
        {{good, "00000102" + G5Hex}, 0x9910},                                     // block end 02
        {{good, "00000101" + G5Hex.substr(0, 46) + "x"}, 0x9910},
        {{good, "000001010A" + G5Hex.substr(2)}, 0x1160},                         // key nibble A
    };
    for (const Case &c : cases) {
        run.Context.Error = ModuleError{};
        ASSERT_TRUE(StartUp("/Fu.txt /T01 /AABDE"));
        char seq = '0';
        bool accepted = true;
        for (const auto &p : c.packets) {
            TSuperString f = Frame(seq, p);
            accepted = up->AcceptPacket(f);
            seq = NextSequence(seq);
        }
        EXPECT_FALSE(accepted) << c.packets.back();
        EXPECT_TRUE(up->InError()) << c.packets.back();
        EXPECT_EQ(run.Context.Error.Code, c.code) << c.packets.back();
        EXPECT_FALSE(run.Context.Error.AskStatus);
    }
}

TEST_F(TaskTest, UploadDamagedPacketIsRefusedWithoutError)
{
    ASSERT_TRUE(StartUp("/Fu.txt /T01 /AABDE"));
    std::string bad = BuildPacket('0', GroupHeader).substr(1);
    bad[3] = 'X';  // damaged on the way: the checksum no longer fits
    TSuperString f;
    f.Append(bad);
    EXPECT_FALSE(up->AcceptPacket(f));
    EXPECT_FALSE(up->InError());
    TSuperString wrongSequence = Frame('1', GroupHeader);
    EXPECT_FALSE(up->AcceptPacket(wrongSequence));
    EXPECT_FALSE(up->InError());
    TSuperString good = Frame('0', GroupHeader);
    EXPECT_TRUE(up->AcceptPacket(good));
}

TEST_F(TaskTest, UploadEndingInsideABlockGives2100WithStatus)
{
    ASSERT_TRUE(StartUp("/Fu.txt /T01 /AABDE"));
    TSuperString h = Frame('0', GroupHeader);
    ASSERT_TRUE(up->AcceptPacket(h));
    TSuperString d = Frame('1', "00000200" + G5Hex + G6Hex);
    ASSERT_TRUE(up->AcceptPacket(d));
    up->End(true);
    EXPECT_TRUE(up->InError());
    EXPECT_EQ(run.Context.Error.Code, 0x2100);
    EXPECT_TRUE(run.Context.Error.AskStatus);
    // What came stays in the file.
    EXPECT_EQ(ReadFile("u.txt").size(), 2u);
}

// -------------------------------------------------------------- status

TEST_F(TaskTest, StatusAnswerAgainstTheJobsCode)
{
    struct Case { uint16_t job; std::string answer; bool accepted; uint16_t code; };
    const std::vector<Case> cases = {
        {0x2000, "0701", true, 0x0701},
        {0x2000, "0702xyz", true, 0x0702},
        {0x0000, "0901", true, 0x0901},
        {0x2000, "0000", true, 0x2000},
        {0x2100, "0000", true, 0x2100},
        {0xE001, "0000", true, 0xE001},  // a fiscal read cut short stays failed
        {0x2300, "0000", true, 0x0000},
        {0x0000, "0000", true, 0x0000},
        {0x0000, "07", false, 0x1160},
        {0x2000, "07g1", false, 0x1160},
        {0x2000, "", false, 0x1160},
    };
    for (const Case &c : cases) {
        TTaskStatus status(run.Context);
        run.Context.Error = ModuleError{c.job, true};
        ASSERT_TRUE(status.Start(1, &param));
        status.WakeUpMessage();
        const TOutPacket cmd = status.NextPacket();
        EXPECT_TRUE(cmd.Last);
        EXPECT_EQ(PayloadOf(cmd.Text, '0'), "/99-00/");
        EXPECT_TRUE(status.NextPacket().Text.empty());
        TSuperString f = Frame('0', c.answer);
        EXPECT_EQ(status.AcceptPacket(f), c.accepted) << c.answer;
        EXPECT_EQ(run.Context.Error.Code, c.code) << std::hex << c.job << " " << c.answer;
    }
}
