// Packets: checksum, builder, sequence characters, the check of a
// received packet and the wake-up sequence.
#include "link/UProtoco.h"
#include "fake_line.h"

#include <gtest/gtest.h>

TEST(Checksum, WorkedExample)
{
    // '0' + "abc" = 0x156 → 0xAA
    EXPECT_EQ(Checksum("0abc"), 0xAA);
    EXPECT_EQ(ChecksumText("0abc"), "AA");
    EXPECT_EQ(BuildPacket('0', "abc"), "\x02" "0abcAA\x0d");
}

TEST(Checksum, TwosComplementTable)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "00"},           // (256 - 0) mod 256
        {"\x01", "FF"},
        {"\x80", "80"},
        {"\xff", "01"},
        {std::string(256, '\x01'), "00"}, // sum wraps to 0
        {"0/10-02/", "82"},
    };
    for (const auto &[bytes, text] : cases) {
        EXPECT_EQ(ChecksumText(bytes), text) << bytes;
        // the sum of bytes and checksum is 0 mod 256
        unsigned sum = Checksum(bytes);
        for (char c : bytes)
            sum += static_cast<uint8_t>(c);
        EXPECT_EQ(sum % 256, 0u);
    }
}

TEST(WakeUp, RegisterNumberAsSixDigits)
{
    EXPECT_EQ(WakeUpSequence(1), "\x04\x04\x04" "000001\x05");
    EXPECT_EQ(WakeUpSequence(999999), "\x04\x04\x04" "999999\x05");
    EXPECT_EQ(WakeUpSequence(0), "\x04\x04\x04" "000000\x05");
}

TEST(Sequence, AdvancesAndWraps)
{
    TPacket p;
    std::string seen;
    for (int i = 0; i < 12; ++i) {
        seen += p.Sequence();
        p.AdvanceSequence();
    }
    EXPECT_EQ(seen, "012345678901");
    p.ResetSequence();
    EXPECT_EQ(p.Sequence(), '0');
    EXPECT_EQ(NextSequence('x'), '0'); // garbage recovers to 0
}

TEST(PacketBuilder, BeginAppendFinish)
{
    TPacket p;
    p.AdvanceSequence();
    p.Begin();
    EXPECT_TRUE(p.Append("/10-"));
    EXPECT_TRUE(p.Append("02/"));
    EXPECT_EQ(p.Finish(), BuildPacket('1', "/10-02/"));
    // the builder never advances by itself
    EXPECT_EQ(p.Sequence(), '1');
}

TEST(PacketBuilder, RefusesTextBeyond255Characters)
{
    TPacket p;
    p.Begin();
    // STX + sequence + 250 + checksum + CR = 255
    EXPECT_TRUE(p.Append(std::string(250, 'A')));
    EXPECT_FALSE(p.Append("B"));
    const std::string packet = p.Finish();
    EXPECT_EQ(packet.size(), 255u);
    EXPECT_EQ(packet.back(), '\x0d');
}

struct CheckCase {
    const char *name;
    std::string frame; // after STX
    char expected;
    bool ok;
    std::string payload;
};

void PrintTo(const CheckCase &c, std::ostream *os)
{
    *os << c.name;
}

class PacketCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(PacketCheck, AcceptsOnlyGoodPackets)
{
    const CheckCase &c = GetParam();
    TSuperString buffer;
    buffer.Append(c.frame);
    EXPECT_EQ(CheckPacket(buffer, c.expected), c.ok);
    EXPECT_EQ(buffer.Str(), c.ok ? c.payload : c.frame) << "buffer after the check";

    std::string s = c.frame;
    EXPECT_EQ(CheckPacket(s, c.expected), c.ok);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, PacketCheck,
    ::testing::Values(
        CheckCase{"good", "0abcAA\x0d", '0', true, "abc"},
        CheckCase{"empty payload", "0D0\x0d", '0', true, ""},
        CheckCase{"lower-case checksum", "0abcaa\x0d", '0', false, ""},
        CheckCase{"wrong checksum", "0abcAB\x0d", '0', false, ""},
        CheckCase{"wrong sequence", "0abcAA\x0d", '1', false, ""},
        CheckCase{"not ended by CR", "0abcAA\x03", '0', false, ""},
        CheckCase{"too short", "0A\x0d", '0', false, ""},
        CheckCase{"only CR", "\x0d", '0', false, ""},
        CheckCase{"nothing", "", '0', false, ""},
        CheckCase{"checksum of other bytes", "1abcAA\x0d", '1', false, ""},
        CheckCase{"high bytes", std::string("5\xb3\xf3") + ChecksumText("5\xb3\xf3") + "\x0d", '5',
                  true, "\xb3\xf3"}),
    [](const auto &info) {
        std::string n = info.param.name;
        for (char &ch : n)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST(PacketCheck, RoundTripOfEverySequence)
{
    TPacket p;
    for (int i = 0; i < 10; ++i) {
        const std::string payload = "/HDR1/" + std::to_string(i);
        const std::string packet = BuildPacket(p.Sequence(), payload);
        TSuperString frame;
        frame.Append(std::string_view(packet).substr(1));
        ASSERT_TRUE(p.Check(frame)) << i;
        EXPECT_EQ(frame.Str(), payload);
        p.AdvanceSequence();
    }
}

TEST(Task, RegisterNumberRangeAndWakeUp)
{
    const std::pair<int64_t, bool> numbers[] = {{0, true}, {1, true}, {999999, true},
                                                {1000000, false}, {-1, false}};
    for (auto [number, ok] : numbers) {
        TTestRun run;
        TFakeTask task(run.Context);
        EXPECT_EQ(task.Start(number, nullptr), ok) << number;
        uint16_t code = 0;
        std::string text;
        EXPECT_EQ(run.Context.GetError(code, text), !ok);
        EXPECT_EQ(code, ok ? 0 : 0x13A2);
        EXPECT_EQ(task.InError(), !ok);
    }

    TTestRun run;
    TFakeTask task(run.Context);
    ASSERT_TRUE(task.Start(42, nullptr));
    task.Packet.AdvanceSequence();
    EXPECT_EQ(task.WakeUpMessage(), "\x04\x04\x04" "000042\x05");
    EXPECT_EQ(task.State(), TTask::AfterWakeUp);
    EXPECT_EQ(task.Packet.Sequence(), '0');
    task.End(true);
    EXPECT_EQ(task.State(), TTask::Finished);
}

TEST(Task, EndKeepsAnError)
{
    TTestRun run;
    TFakeTask task(run.Context);
    ASSERT_TRUE(task.Start(1, nullptr));
    task.End(false);
    EXPECT_TRUE(task.InError());
    task.End(true);
    EXPECT_TRUE(task.InError());
    EXPECT_TRUE(task.IsFinished());
}
