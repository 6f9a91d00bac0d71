#include "data/UCodePage.h"
#include "data/URegisterText.h"

#include <QStringDecoder>
#include <gtest/gtest.h>

namespace {

TEST(Cp1250, PolishLettersMapToTheirBytes)
{
    const QString polish = QStringLiteral("ąćęłńóśźżĄĆĘŁŃÓŚŹŻ");
    const QByteArray expected("\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
    bool ok = false;
    EXPECT_EQ(ToCp1250(polish, &ok), expected);
    EXPECT_TRUE(ok);
    EXPECT_EQ(FromCp1250(expected), polish);
}

TEST(Cp1250, EveryByteSurvivesARoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = FromCp1250(all);
    ASSERT_EQ(text.size(), 256);
    bool ok = false;
    EXPECT_EQ(ToCp1250(text, &ok), all);
    EXPECT_TRUE(ok);
}

TEST(Cp1250, AgreesWithThePlatformConverterOnEveryByte)
{
    QStringDecoder decoder("windows-1250");
    if (!decoder.isValid())
        GTEST_SKIP() << "this Qt has no windows-1250 converter (Qt for Windows): the table is checked on Linux";
    for (int b = 0x80; b < 0x100; ++b) {
        const QByteArray one(1, char(b));
        QStringDecoder d("windows-1250");
        EXPECT_EQ(FromCp1250(one), QString(d.decode(one))) << b;
    }
}

TEST(Cp1250, RefusesCharactersOutsideTheCodePage)
{
    const struct {
        QString text;
        bool fits;
        qsizetype first;
    } cases[] = {
        {QStringLiteral("Sok jabłkowy"), true, -1},
        {QStringLiteral("€ 5"), true, -1},
        {QStringLiteral("łódź ñ"), false, 5},   // ñ is not in 1250
        {QStringLiteral("Ωmega"), false, 0},
        {QStringLiteral("ab\U0001F600"), false, 2}, // surrogate pair
        {QString(), true, -1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(FitsCp1250(c.text), c.fits) << c.text.toStdString();
        EXPECT_EQ(FirstNonCp1250(c.text), c.first) << c.text.toStdString();
        bool ok = true;
        const QByteArray bytes = ToCp1250(c.text, &ok);
        EXPECT_EQ(ok, c.fits);
        EXPECT_EQ(bytes.size(), c.text.size());
        if (c.first >= 0) {
            EXPECT_EQ(bytes.at(c.first), '?') << c.text.toStdString();
        }
    }
}

TEST(Cp1250, UpperCaseStaysInTheCodePage)
{
    EXPECT_EQ(UpperCp1250(u'ą'), QChar(u'Ą'));
    EXPECT_EQ(UpperCp1250(u'ż'), QChar(u'Ż'));
    EXPECT_EQ(UpperCp1250(u'ł'), QChar(u'Ł'));
    EXPECT_EQ(UpperCp1250(u'a'), QChar(u'A'));
    EXPECT_EQ(UpperCp1250(u'1'), QChar(u'1'));
    EXPECT_EQ(UpperCp1250(QChar(0x00B5)), QChar(0x00B5)); // micro sign: its capital is Greek
}

// Of the 224 printable Windows-1250 characters the register keeps all but
// fifteen letters, which come back as the Polish letters of their bytes.
TEST(RegisterText, FifteenLettersComeBackAsPolishLetters)
{
    QString lost, back;
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        const QChar c = FromCp1250(&byte, 1).at(0);
        const bool undefined = b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98;
        EXPECT_EQ(IsControlChar(c), b < 0x20 || b == 0x7F || undefined) << b;
        if (!RegisterHolds(c) && !IsControlChar(c)) {
            lost += c;
            back += AsRegisterStores(c);
        } else {
            EXPECT_EQ(AsRegisterStores(c), c) << b;
        }
    }
    EXPECT_EQ(lost, QStringLiteral("ÄĹÇČÉËĚÍÎĎĐŇÔŐý"));
    EXPECT_EQ(back, QStringLiteral("ĄĆĘŻŹŚŃąćóęźśń^"));
    EXPECT_EQ(WithBaseLetters(lost), QStringLiteral("ALCCEEEIIDDNOOy"));
    EXPECT_EQ(FirstNotHeld(QStringLiteral("Żółć é^ Č")), 8);
}

} // namespace
