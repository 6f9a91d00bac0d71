#include "data/URegisterText.h"

#include "data/UCodePage.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// The register's own codes of Ą Ć Ę Ł Ń Ó Ś Ź Ż ą ć ę ł ń ó ś ź ż and of
// "^", which the module puts in place of these characters.
constexpr std::array<unsigned char, 19> kRegisterCodes = {0xC4, 0xC5, 0xC7, 0xCA, 0xCC, 0xC6, 0xCB, 0xC9, 0xC8, 0xCD,
                                                          0xCE, 0xD0, 0xD3, 0xD5, 0xCF, 0xD4, 0xD2, 0xD1, 0xFD};
const QString &TranslatedLetters()
{
    static const QString letters = QStringLiteral("ĄĆĘŁŃÓŚŹŻąćęłńóśźż^");
    return letters;
}

struct TCollision {
    QChar Sent;    // the Windows-1250 character whose byte is a register code
    QChar Becomes; // the letter that code stands for
};

// The characters that pass the module untranslated onto a register code.
const std::vector<TCollision> &Collisions()
{
    static const std::vector<TCollision> table = [] {
        std::vector<TCollision> t;
        for (size_t i = 0; i < kRegisterCodes.size(); ++i) {
            const char byte = char(kRegisterCodes[i]);
            const QChar sent = FromCp1250(&byte, 1).at(0);
            if (!TranslatedLetters().contains(sent))
                t.push_back({sent, TranslatedLetters().at(qsizetype(i))});
        }
        return t;
    }();
    return table;
}

const TCollision *CollisionOf(QChar c)
{
    if (c.unicode() < 0xC0) // every colliding letter lies above
        return nullptr;
    for (const TCollision &k : Collisions())
        if (k.Sent == c)
            return &k;
    return nullptr;
}

QString CodeOf(QChar c)
{
    return QStringLiteral("%1").arg(uint(c.unicode()), 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

bool IsControlChar(QChar c)
{
    // The C1 range holds the five bytes Windows-1250 leaves undefined
    // (0x81, 0x83, 0x88, 0x90, 0x98): no letter, nothing the register keeps.
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

QString ControlsAsBlanks(const QString &text)
{
    if (std::none_of(text.begin(), text.end(), IsControlChar))
        return text;
    static const QRegularExpression controls(QStringLiteral("[\\x00-\\x1f\\x7f-\\x9f]+"));
    return QString(text).replace(controls, QStringLiteral(" "));
}

bool RegisterHolds(QChar c)
{
    return !IsControlChar(c) && FitsCp1250(c) && !CollisionOf(c);
}

qsizetype FirstNotHeld(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!RegisterHolds(text.at(i)))
            return i;
    return -1;
}

QChar AsRegisterStores(QChar c)
{
    const TCollision *k = CollisionOf(c);
    return k ? k->Becomes : c;
}

QString AsRegisterStores(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        c = AsRegisterStores(c);
    return out;
}

QString NameCharacterProblem(const QString &name)
{
    const qsizetype at = FirstNotHeld(name);
    if (at < 0)
        return QString();
    const QChar c = name.at(at);
    if (IsControlChar(c))
        return QStringLiteral("Nazwa \"%1\" zawiera znak sterujący o kodzie 0x%2, którego kasa nie przyjmuje.")
            .arg(QuotedText(name), CodeOf(c));
    if (const TCollision *k = CollisionOf(c))
        return QStringLiteral("Znaku \"%1\" w nazwie \"%2\" nie ma w kasie: kasa zapisałaby go jako \"%3\".")
            .arg(QString(c), QuotedText(name), QString(k->Becomes));
    return QStringLiteral("Znaku \"%1\" w nazwie \"%2\" nie ma w kasie.").arg(QString(c), QuotedText(name));
}

QChar BaseLetter(QChar c)
{
    if (!CollisionOf(c))
        return c;
    if (c == QChar(0x0110)) // Đ has no decomposition
        return u'D';
    const QString parts = c.decomposition();
    return !parts.isEmpty() && RegisterHolds(parts.at(0)) ? parts.at(0) : c;
}

QString WithBaseLetters(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        c = BaseLetter(c);
    return out;
}

void TrimRight(QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == u' ')
        --n;
    text.truncate(n);
}

QString QuotedText(const QString &text, qsizetype maxLength)
{
    QString out;
    out.reserve(std::min(text.size(), maxLength) + 8);
    qsizetype i = 0;
    for (; i < text.size() && out.size() < maxLength; ++i) {
        const QChar c = text.at(i);
        if (IsControlChar(c))
            out += u'<' + CodeOf(c) + u'>';
        else
            out += c;
    }
    if (i < text.size())
        out += QChar(0x2026);
    return out;
}
