#include "data/UCodePage.h"

#include <vector>

namespace {

// Windows-1250 from 0x80 up. The five bytes without a letter stand for the
// C1 control of the same value, so any file byte survives a round trip.
// Our own table: Qt's converter knows this code page only where it is
// built with ICU, and not at all on Windows.
constexpr char16_t HighHalf[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// Unicode -> byte over the whole 16-bit range: one lookup a character, as
// the writer of large data files goes through every character.
struct TReverse {
    std::vector<unsigned char> Bytes = std::vector<unsigned char>(0x10000, 0);

    TReverse()
    {
        for (int b = 1; b < 0x80; ++b)
            Bytes[size_t(b)] = static_cast<unsigned char>(b);
        for (int i = 0; i < 128; ++i)
            Bytes[HighHalf[i]] = static_cast<unsigned char>(0x80 + i);
    }

    // The byte of u, or 0 when the code page cannot hold it.
    unsigned char Byte(char16_t u) const { return Bytes[u]; }
};

const TReverse &Reverse()
{
    static const TReverse page;
    return page;
}

} // namespace

QChar Cp1250Char(unsigned char byte)
{
    return QChar(byte < 0x80 ? char16_t(byte) : HighHalf[byte - 0x80]);
}

QByteArray ToCp1250(const QString &text, bool *ok)
{
    const TReverse &page = Reverse();
    QByteArray out(text.size(), Qt::Uninitialized);
    bool all = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        const unsigned char b = page.Byte(u);
        // One "?" for each character the code page cannot hold.
        if (b == 0 && u != 0) {
            all = false;
            out[i] = '?';
        } else {
            out[i] = static_cast<char>(b);
        }
    }
    if (ok)
        *ok = all;
    return out;
}

bool AppendCp1250(QByteArray &out, QStringView text)
{
    const TReverse &page = Reverse();
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char *p = out.data() + at;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const unsigned char b = page.Byte(u);
        if (b == 0 && u != 0)
            return false;
        *p++ = static_cast<char>(b);
    }
    return true;
}

QString FromCp1250(const char *data, qsizetype size)
{
    QString text(size, Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < size; ++i)
        out[i] = Cp1250Char(static_cast<unsigned char>(data[i]));
    return text;
}

QString FromCp1250(const QByteArray &bytes)
{
    return FromCp1250(bytes.constData(), bytes.size());
}

bool FitsCp1250(QChar c)
{
    return c.unicode() == 0 || Reverse().Byte(c.unicode()) != 0;
}

qsizetype FirstNonCp1250(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!FitsCp1250(text.at(i)))
            return i;
    return -1;
}

bool FitsCp1250(const QString &text)
{
    return FirstNonCp1250(text) < 0;
}

QChar UpperCp1250(QChar c)
{
    const QChar up = c.toUpper();
    return FitsCp1250(up) ? up : c;
}
