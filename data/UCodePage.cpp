#include "UCodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

const char *const CodePageName = "windows-1250";

// The characters of the bytes 0x80 to 0xFF as the platform's converter
// gives them: ICU's through Qt on Linux; on Windows, whose Qt is built
// without ICU and knows no windows-1250, the system's code page 1250.
QString HighBytesText()
{
    QByteArray all(128, Qt::Uninitialized);
    for (int i = 0; i < 128; ++i)
        all[i] = char(0x80 + i);
#ifdef Q_OS_WIN
    wchar_t text[128] = {};
    const int n = MultiByteToWideChar(1250, 0, all.constData(), 128, text, 128);
    return QString::fromWCharArray(text, n);
#else
    QStringDecoder decoder(CodePageName);
    return decoder.decode(all);
#endif
}

// What the platform's converter makes of each byte, taken once, so that
// the per-character test of FitsCp1250 needs no converter call.
struct TCodePage {
    std::array<std::pair<char16_t, unsigned char>, 128> High{};
    std::array<char16_t, 128> Decoded{}; // by byte - 0x80

    TCodePage()
    {
        const QString text = HighBytesText();
        // Every byte decodes to one character (the five without a letter
        // to the C1 control of the same value), so any file byte survives.
        for (int i = 0; i < 128; ++i) {
            Decoded[size_t(i)] = i < text.size() ? text.at(i).unicode() : char16_t(0xFFFD);
            High[size_t(i)] = {Decoded[size_t(i)], static_cast<unsigned char>(0x80 + i)};
        }
        std::sort(High.begin(), High.end());
    }

    bool Holds(char16_t u) const
    {
        if (u < 0x80)
            return true;
        const auto it = std::lower_bound(High.begin(), High.end(), std::make_pair(u, static_cast<unsigned char>(0)));
        return it != High.end() && it->first == u && u != 0xFFFD;
    }

    // The byte of a character the code page holds, else "?".
    char Byte(char16_t u) const
    {
        if (u < 0x80)
            return char(u);
        const auto it = std::lower_bound(High.begin(), High.end(), std::make_pair(u, static_cast<unsigned char>(0)));
        return it != High.end() && it->first == u && u != 0xFFFD ? char(it->second) : '?';
    }
};

const TCodePage &CodePage()
{
    static const TCodePage page;
    return page;
}

} // namespace

QByteArray ToCp1250(const QString &text, bool *ok)
{
    const qsizetype bad = FirstNonCp1250(text);
    if (ok)
        *ok = bad < 0;
#ifdef Q_OS_WIN
    const TCodePage &page = CodePage();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        bytes[i] = page.Byte(text.at(i).unicode());
    return bytes;
#else
    thread_local QStringEncoder encoder(CodePageName);
    encoder.resetState();
    if (bad < 0)
        return encoder.encode(text);
    // One "?" for each character the code page cannot hold.
    QString fitted = text;
    for (qsizetype i = bad; i < fitted.size(); ++i)
        if (!FitsCp1250(fitted.at(i)))
            fitted[i] = u'?';
    return encoder.encode(fitted);
#endif
}

QString FromCp1250(const char *data, qsizetype size)
{
#ifdef Q_OS_WIN
    const TCodePage &page = CodePage();
    QString text(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        text[i] = b < 0x80 ? QChar(b) : QChar(page.Decoded[b - 0x80]);
    }
    return text;
#else
    thread_local QStringDecoder decoder(CodePageName);
    decoder.resetState();
    return decoder.decode(QByteArrayView(data, size));
#endif
}

QString FromCp1250(const QByteArray &bytes)
{
    return FromCp1250(bytes.constData(), bytes.size());
}

bool FitsCp1250(QChar c)
{
    return CodePage().Holds(c.unicode());
}

qsizetype FirstNonCp1250(const QString &text)
{
    const TCodePage &page = CodePage();
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!page.Holds(text.at(i).unicode()))
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
