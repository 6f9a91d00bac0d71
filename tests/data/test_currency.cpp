#include "data/UCurrency.h"
#include "data/UErrors.h"
#include "data/ULocale.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

struct ParseCase {
    const char *text;
    char separator;
    bool ok;
    std::int64_t units;
};

const ParseCase kParseCases[] = {
    {"2,50", ',', true, 25000},
    {"2.50", '.', true, 25000},
    {"2.50", ',', false, 0},
    {"2,50", '.', false, 0},
    {"  -12,3456 ", ',', true, -123456},
    {"+7", ',', true, 70000},
    {",5", ',', true, 5000},
    {"5,", ',', true, 50000},
    {"-0,00005", ',', true, -1},       // half away from zero
    {"0,00004", ',', true, 0},
    {"1,23455", ',', true, 12346},
    {"1,234549", ',', true, 12345},
    {"999999,99", ',', true, 9999999900},
    {"922337203685477,5807", ',', true, std::numeric_limits<std::int64_t>::max()},
    {"922337203685477,5808", ',', false, 0},
    {"-922337203685477,5808", ',', true, std::numeric_limits<std::int64_t>::min()},
    {"-922337203685477,5809", ',', false, 0},
    {"922337203685477,58075", ',', false, 0}, // rounding would overflow
    {"99999999999999999999", ',', false, 0},
    {"", ',', false, 0},
    {"-", ',', false, 0},
    {",", ',', false, 0},
    {"1,2,3", ',', false, 0},
    {"1 000", ',', false, 0},
    {"1e3", ',', false, 0},
    {"abc", ',', false, 0},
    {"--1", ',', false, 0},
};

TEST(CurrencyParse, ExactDecimalParsingWithSeparator)
{
    for (const ParseCase &c : kParseCases) {
        const auto v = Currency::Parse(QString::fromUtf8(c.text), QChar(c.separator));
        EXPECT_EQ(v.has_value(), c.ok) << c.text;
        if (v && c.ok) {
            EXPECT_EQ(v->Units(), c.units) << c.text;
        }
    }
}

TEST(CurrencyFormat, TwoDecimalsRoundHalfAwayFromZero)
{
    const struct {
        std::int64_t units;
        const char *text;
    } cases[] = {
        {25000, "2,50"},     {12345, "1,23"},  {12350, "1,24"},  {-12350, "-1,24"},
        {-12349, "-1,23"},   {-49, "0,00"},    {-50, "-0,01"},   {0, "0,00"},
        {9999999900, "999999,99"}, {99950, "10,00"},
        {std::numeric_limits<std::int64_t>::max(), "922337203685477,58"},
        {std::numeric_limits<std::int64_t>::min(), "-922337203685477,58"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Currency::FromUnits(c.units).ToFixed(2, u','), QString::fromUtf8(c.text)) << c.units;
}

TEST(CurrencyFormat, GeneralDropsTrailingZeros)
{
    EXPECT_EQ(Currency::FromUnits(25000).ToGeneral(u','), "2,5");
    EXPECT_EQ(Currency::FromUnits(120000).ToGeneral(u'.'), "12");
    EXPECT_EQ(Currency::FromUnits(-1).ToGeneral(u'.'), "-0.0001");
}

TEST(CurrencyArithmetic, AddsSubtractsComparesAndRefusesOverflow)
{
    const Currency a = *Currency::Parse("1,10", u',');
    const Currency b = *Currency::Parse("2,25", u',');
    EXPECT_EQ((a + b).Units(), 33500);
    EXPECT_EQ((a - b).Units(), -11500);
    EXPECT_LT(a, b);
    EXPECT_EQ(-a, Currency::FromUnits(-11000));
    const Currency max = Currency::FromUnits(std::numeric_limits<std::int64_t>::max());
    const Currency min = Currency::FromUnits(std::numeric_limits<std::int64_t>::min());
    EXPECT_THROW(max + Currency::FromUnits(1), Exception);
    EXPECT_THROW(min - Currency::FromUnits(1), Exception);
    EXPECT_THROW(-min, Exception);
}

TEST(CurrencyDouble, ConvertsAndRefusesWhatDoesNotFit)
{
    EXPECT_EQ(Currency::FromDouble(2.5)->Units(), 25000);
    EXPECT_EQ(Currency::FromDouble(0.1 + 0.2)->Units(), 3000);
    EXPECT_EQ(Currency::FromDouble(-0.00005)->Units(), -1);
    EXPECT_FALSE(Currency::FromDouble(1e300).has_value());
    EXPECT_FALSE(Currency::FromDouble(std::numeric_limits<double>::quiet_NaN()).has_value());
    EXPECT_FALSE(Currency::FromDouble(std::numeric_limits<double>::infinity()).has_value());
    EXPECT_DOUBLE_EQ(Currency::FromUnits(25000).ToDouble(), 2.5);
    EXPECT_FALSE(Currency::FromInteger(std::numeric_limits<std::int64_t>::max() / 1000).has_value());
    EXPECT_EQ(Currency::FromInteger(-3)->Units(), -30000);
}

class LocaleFormat : public ::testing::Test {
protected:
    void SetUp() override { m_saved = FormatSettings(); }
    void TearDown() override { FormatSettings() = m_saved; }
    TFormatSettings m_saved;
};

TEST_F(LocaleFormat, FileColumnsUseTheDecimalSeparatorWithoutGrouping)
{
    const TFormatSettings pl = TFormatSettings::Polish();
    const TFormatSettings en = TFormatSettings::PointDecimal();
    const Currency price = *Currency::Parse("1234567,5", u',');
    EXPECT_EQ(FormatCurrency2(price, 9, pl), "1234567,50");   // longer than the width: whole
    EXPECT_EQ(FormatCurrency2(Currency::FromUnits(25000), 9, pl), "     2,50");
    EXPECT_EQ(FormatCurrency2(Currency::FromUnits(25000), 13, en), "         2.50");
    EXPECT_EQ(FormatQuantity3(0.0, 9, pl), "    0,000");
    EXPECT_EQ(FormatQuantity3(-1.5, 9, en), "   -1.500");
    EXPECT_EQ(FormatQuantity3(-0.0001, 0, pl), "0,000");
    EXPECT_EQ(FormatQuantity3(2.0005, 0, en), "2.001");
}

TEST_F(LocaleFormat, DisplayTextsGroupThousandsAndPlaceTheSymbol)
{
    const TFormatSettings pl = TFormatSettings::Polish();
    const TFormatSettings en = TFormatSettings::PointDecimal();
    const Currency v = *Currency::Parse("-1234567.891", u'.');
    EXPECT_EQ(FormatCurrencyDisplay(v, pl), QString("-1\u00A0234\u00A0567,89 zł"));
    EXPECT_EQ(FormatCurrencyDisplay(v, en), "-$1,234,567.89");
    EXPECT_EQ(FormatCurrencyDisplay(Currency::FromUnits(1000000), pl), "100,00 zł");
    EXPECT_EQ(FormatQuantityDisplay(12345.5, 3, true, pl), QString("12\u00A0345,500"));
    EXPECT_EQ(FormatQuantityDisplay(123.5, 3, true, en), "123.500");
}

TEST_F(LocaleFormat, ParsingFollowsTheSettingsObject)
{
    FormatSettings() = TFormatSettings::Polish();
    EXPECT_EQ(ParseCurrency("2,5")->Units(), 25000);
    EXPECT_FALSE(ParseCurrency("2.5").has_value());
    EXPECT_DOUBLE_EQ(*ParseFloat(" 1,25 "), 1.25);
    EXPECT_FALSE(ParseFloat("1.25").has_value());
    EXPECT_FALSE(ParseFloat("1,2,5").has_value());
    EXPECT_FALSE(ParseFloat("").has_value());
    EXPECT_FALSE(ParseFloat("nan").has_value());
    EXPECT_FALSE(ParseFloat("1e999").has_value());
    const std::pair<const char *, std::optional<double>> forms[] = {
        {"+1,5", 1.5}, {"-,5", -0.5}, {"2e3", 2000.0}, {"1,5E-1", 0.15}, {"007", 7.0},
        {"+-1", std::nullopt}, {"--1", std::nullopt}, {"-", std::nullopt}, {"+", std::nullopt},
        {"1e", std::nullopt}, {"e5", std::nullopt}, {"1-", std::nullopt}, {"1 5", std::nullopt},
    };
    for (const auto &[text, expected] : forms) {
        SCOPED_TRACE(text);
        const std::optional<double> got = ParseFloat(QString::fromLatin1(text));
        ASSERT_EQ(got.has_value(), expected.has_value());
        if (expected) {
            EXPECT_DOUBLE_EQ(*got, *expected);
        }
    }
    EXPECT_EQ(FormatGeneral(999999.99), "999999,99");

    FormatSettings() = TFormatSettings::PointDecimal();
    EXPECT_DOUBLE_EQ(*ParseFloat("1.25"), 1.25);
    EXPECT_FALSE(ParseFloat("1,25").has_value());
    EXPECT_EQ(FormatGeneral(0.5), "0.5");
}

TEST(ParseIntegerText, AcceptsOnlyWholeNumbers)
{
    EXPECT_EQ(ParseInteger(" 12 "), 12);
    EXPECT_EQ(ParseInteger("-3"), -3);
    EXPECT_FALSE(ParseInteger("1.0").has_value());
    EXPECT_FALSE(ParseInteger("1 2").has_value());
    EXPECT_FALSE(ParseInteger("0x10").has_value());
    EXPECT_FALSE(ParseInteger("99999999999999999999").has_value());
    EXPECT_FALSE(ParseInteger("+").has_value());
}

} // namespace
