#include "data/UEANUtils.h"

#include <gtest/gtest.h>

namespace {

struct InputCase {
    const char *input;
    CodeStatus status;
    const char *canonical; // text returned by CodeFromInput
    const char *display;   // CodeToDisplay of the canonical form (valid cases)
};

void PrintTo(const InputCase &c, std::ostream *os)
{
    *os << ::testing::PrintToString(std::string(c.input));
}

const InputCase kInputCases[] = {
    {"7", CodeStatus::Valid, "00000000000007", "7"},
    {"0012", CodeStatus::Valid, "00000000000012", "12"},
    {"12", CodeStatus::Valid, "00000000000012", "12"},
    {"0", CodeStatus::Zero, "00000000000000", "0"},
    {"0000", CodeStatus::Zero, "00000000000000", "0"},
    {"9999", CodeStatus::Valid, "00000000009999", "9999"},
    {"123456", CodeStatus::Valid, "60000000123456", "123456"},
    {"000001", CodeStatus::Valid, "60000000000001", "000001"},
    {"12345678", CodeStatus::Valid, "20000012345678", "12345678"},
    {"03600029145", CodeStatus::Valid, "50036000291452", "036000291452"},
    {"036000291452", CodeStatus::Valid, "50036000291452", "036000291452"},
    {"5901234123457", CodeStatus::Valid, "15901234123457", "5901234123457"},
    {"5901234123450", CodeStatus::Valid, "15901234123450", "5901234123450"}, // check digit not verified
    {"20000012345678", CodeStatus::Valid, "20000012345678", "12345678"},
    {"00000000000012", CodeStatus::Valid, "00000000000012", "12"},
    {"  42", CodeStatus::Valid, "00000000000042", "42"},
    // refused
    {"0123456789012", CodeStatus::Invalid, "0123456789012", nullptr},
    {"30000012345678", CodeStatus::Invalid, "30000012345678", nullptr},
    {"10000000000001", CodeStatus::Invalid, "10000000000001", nullptr},
    {"60000001123456", CodeStatus::Invalid, "60000001123456", nullptr},
    {"00000000010000", CodeStatus::Invalid, "00000000010000", nullptr},
    {"12345", CodeStatus::Invalid, "12345", nullptr},
    {"1234567", CodeStatus::Invalid, "1234567", nullptr},
    {"123456789", CodeStatus::Invalid, "123456789", nullptr},
    {"1234567890", CodeStatus::Invalid, "1234567890", nullptr},
    {"", CodeStatus::Invalid, "", nullptr},
    {"   ", CodeStatus::Invalid, "   ", nullptr},
    {"12 ", CodeStatus::Invalid, "12 ", nullptr},
    {"1a", CodeStatus::Invalid, "1a", nullptr},
    {"-1", CodeStatus::Invalid, "-1", nullptr},
    {"123456789012345", CodeStatus::Invalid, "12345678901234", nullptr},
    {"abcdefghijklmnopq", CodeStatus::Invalid, "abcdefghijklmn", nullptr},
};

class CodeFromInputTable : public ::testing::TestWithParam<InputCase> {};

TEST_P(CodeFromInputTable, GivesStatusCanonicalFormAndDisplay)
{
    const InputCase &c = GetParam();
    const CodeResult r = CodeFromInput(QString::fromUtf8(c.input));
    EXPECT_EQ(r.Status, c.status) << c.input;
    EXPECT_EQ(r.Text, QString::fromUtf8(c.canonical)) << c.input;
    if (c.display) {
        const CodeResult shown = CodeToDisplay(r.Text);
        EXPECT_EQ(shown.Status, c.status) << c.input;
        EXPECT_EQ(shown.Text, QString::fromUtf8(c.display)) << c.input;
    }
}

INSTANTIATE_TEST_SUITE_P(Ean, CodeFromInputTable, ::testing::ValuesIn(kInputCases));

struct DisplayCase {
    const char *stored;
    CodeStatus status;
    const char *display;
};

const DisplayCase kDisplayCases[] = {
    {"00000000000100", CodeStatus::Valid, "100"},
    {"00000000001000", CodeStatus::Valid, "1000"},
    {"00000000000000", CodeStatus::Zero, "0"},
    {"0000000000000", CodeStatus::Invalid, "0000000000000"},     // 13 characters
    {"000000000000000", CodeStatus::Invalid, "000000000000000"}, // 15
    {"0000000000000a", CodeStatus::Invalid, "0000000000000a"},
    {"20000112345678", CodeStatus::Invalid, "20000112345678"},
    {"51036000291452", CodeStatus::Invalid, "51036000291452"},
    {"70000000000001", CodeStatus::Invalid, "70000000000001"},
    {"19999999999999", CodeStatus::Valid, "9999999999999"},
    {"", CodeStatus::Invalid, ""},
};

TEST(CodeToDisplay, ClassifiesStoredTexts)
{
    for (const DisplayCase &c : kDisplayCases) {
        const CodeResult r = CodeToDisplay(QString::fromUtf8(c.stored));
        EXPECT_EQ(r.Status, c.status) << c.stored;
        EXPECT_EQ(r.Text, QString::fromUtf8(c.display)) << c.stored;
    }
}

TEST(EanCheckDigit, WeighsFromTheRight)
{
    const struct {
        const char *digits;
        char check;
    } cases[] = {
        {"036000291450", '2'}, // UPC-A 03600029145-2 with the appended 0
        {"590123412345" "0", '7'},
        {"0", '0'},
        {"", '0'},
        {"1", '9'},
        {"3", '7'},
        {"10", '7'}, // 1*3 + 0*1 = 3
    };
    for (const auto &c : cases)
        EXPECT_EQ(EanCheckDigit(QString::fromLatin1(c.digits)), QChar(c.check)) << c.digits;
}

TEST(CodeFromInput, TwelveDigitsOfAThirteenDigitNumberStartingWithZeroAreAccepted)
{
    EXPECT_EQ(CodeFromInput("0036000291452").Status, CodeStatus::Invalid);
    const CodeResult upc = CodeFromInput("036000291452");
    EXPECT_EQ(upc.Status, CodeStatus::Valid);
    EXPECT_EQ(upc.Text, "50036000291452");
}

} // namespace
