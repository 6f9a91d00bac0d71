#include "UCodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <utility>

namespace {

const char *const CodePageName = "windows-1250";

// What the platform's converter makes of each byte, taken once, so that
// the per-character test of FitsCp1250 needs no converter call.
struct TCodePage {
    std::array<std::pair<char16_t, unsigned char>, 128> High{};

    TCodePage()
    {
        QByteArray all(128, Qt::Uninitialized);
        for (int i = 0; i < 128; ++i)
            all[i] = char(0x80 + i);
        QStringDecoder decoder(CodePageName);
        const QString text = decoder.decode(all);
        // Every byte decodes to one character (the five without a letter
        // to the C1 control of the same value), so any file byte survives.
        for (int i = 0; i < 128; ++i)
            High[size_t(i)] = {i < text.size() ? text.at(i).unicode() : char16_t(0xFFFD),
                               static_cast<unsigned char>(0x80 + i)};
        std::sort(High.begin(), High.end());
    }

    bool Holds(char16_t u) const
    {
        if (u < 0x80)
            return true;
        const auto it = std::lower_bound(High.begin(), High.end(), std::make_pair(u, static_cast<unsigned char>(0)));
        return it != High.end() && it->first == u && u != 0xFFFD;
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
}

QString FromCp1250(const char *data, qsizetype size)
{
    thread_local QStringDecoder decoder(CodePageName);
    decoder.resetState();
    return decoder.decode(QByteArrayView(data, size));
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
