// National letters between the register, the PC code pages and CP852.
#include "link/UNational.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::string b(std::initializer_list<int> bytes)
{
    std::string s;
    for (int v : bytes)
        s += static_cast<char>(v);
    return s;
}
} // namespace

TEST(National, LetterSelectsRow)
{
    const std::vector<std::pair<char, int>> cases = {
        {'S', 0}, {'M', 1}, {'D', 2}, {'L', 3}, {'P', 4}, {'V', 5}, {'G', 6}, {'I', 7},
        {'C', 8}, {'K', 9}, {'W', 10}, {'w', 3}, {'X', 3}, {'\0', 3}, {'1', 3},
    };
    for (auto [letter, row] : cases) {
        EXPECT_EQ(TNational::rowOf(letter), row) << letter;
        TNational n(letter);
        EXPECT_EQ(n.rowIndex(), row) << letter;
    }
}

// "Łódź" (Ł ó d ź) in each code page, and the register's form.
TEST(National, WordThroughEveryCodePage)
{
    struct Case { char letter; std::string pc; };
    const std::string reg = b({0xCA, 0xCF, 'd', 0xD2});
    const std::vector<Case> cases = {
        {'S', reg},
        {'M', b({0x9C, 0xA2, 'd', 0xA6})},
        {'D', b({0x83, 0x8E, 'd', 0x91})},
        {'L', b({0x9D, 0xA2, 'd', 0xAB})},
        {'P', b({0xA3, 0xF3, 'd', 0xBC})},
        {'V', b({0x9C, 0xA2, 'd', 0xA8})},
        {'G', b({0x83, 0x8E, 'd', 0x90})},
        {'I', b({0x9C, 0xA2, 'd', 0xA8})},
        {'C', b({0x83, 0x95, 'd', 0x98})},
        {'K', b({0x83, 0xA5, 'd', 0xA8})},
        {'W', b({0xA3, 0xF3, 'd', 0x9F})},
        {'Z', b({0x9D, 0xA2, 'd', 0xAB})},
    };
    const std::string cp852 = b({0x9D, 0xA2, 'd', 0xAB});
    for (const Case &c : cases) {
        TNational n(c.letter);
        EXPECT_EQ(n.toRegister(c.pc), reg) << c.letter;
        EXPECT_EQ(n.toPC(reg), c.pc) << c.letter;
        EXPECT_EQ(n.messageToPC(cp852), c.pc) << c.letter;
    }
}

TEST(National, WindowsLetterLIsSentAsD3)
{
    TNational n('W');
    EXPECT_EQ(n.toRegister("\xB3"), "\xD3");
    EXPECT_EQ(n.toPC("\xD3"), "\xB3");
}

TEST(National, RegisterFDBecomesCaretInEveryPage)
{
    for (char letter : std::string("MDLPVGICKW")) {
        TNational n(letter);
        EXPECT_EQ(n.toPC("a\xFDz"), "a^z") << letter;
    }
    EXPECT_EQ(TNational('S').toPC("\xFD"), "\xFD");
}

TEST(National, EveryRowRoundTripsAllNineteenLetters)
{
    for (int r = 0; r < TNational::Rows; ++r) {
        const auto &row = TNational::row(r);
        const auto &reg = TNational::row(0);
        const std::string pc(row.begin(), row.end());
        const std::string rg(reg.begin(), reg.end());
        for (char letter : std::string("SMDLPVGICKW")) {
            if (TNational::rowOf(letter) != r)
                continue;
            TNational n(letter);
            EXPECT_EQ(n.toRegister(pc), rg) << r;
            EXPECT_EQ(n.toPC(rg), pc) << r;
        }
    }
}

TEST(National, AsciiPassesUnchanged)
{
    std::string ascii;
    for (int c = 0x20; c < 0x7F; ++c)
        if (c != '^')
            ascii += static_cast<char>(c);
    for (char letter : std::string("SMDLPVGICKW")) {
        TNational n(letter);
        EXPECT_EQ(n.toRegister(ascii), ascii) << letter;
        EXPECT_EQ(n.toPC(ascii), ascii) << letter;
        EXPECT_EQ(n.messageToPC(ascii), ascii) << letter;
    }
}

TEST(National, Utf8ToCp852AndBackToUtf8)
{
    const std::string polish = "ĄĆĘŁŃÓŚŹŻąćęłńóśźż";
    const std::string cp852 = Utf8ToCp852(polish);
    const auto &row = TNational::row(3);
    EXPECT_EQ(cp852, std::string(row.begin(), row.begin() + 18));
    EXPECT_EQ(PcToUtf8('L', cp852), polish);
    EXPECT_EQ(Utf8ToCp852("ab €"), "ab ?");
    for (char letter : std::string("SMDLPVGICKW")) {
        TNational n(letter);
        EXPECT_EQ(PcToUtf8(letter, n.messageToPC(cp852 + " x")), polish + " x") << letter;
    }
    EXPECT_EQ(PcToUtf8('S', "\xFD"), "^");
    EXPECT_EQ(PcToUtf8('W', "\x80"), "\xEF\xBF\xBD");  // not a Polish letter
}

TEST(National, TruncatedUtf8DoesNotReadPastTheEnd)
{
    EXPECT_EQ(Utf8ToCp852("a\xC5"), "a?");
    EXPECT_EQ(Utf8ToCp852("a\xE2\x82"), "a??");
}
