#pragma once
// The regional number settings the program formats and parses with. One
// object, filled from the system locale at start; tests set it explicitly.
#include "data/UCurrency.h"

#include <QChar>
#include <QString>
#include <optional>

class QLocale;

struct TFormatSettings {
    enum class CurrencyPosition { Before, After, BeforeWithSpace, AfterWithSpace };

    QChar DecimalSeparator = u'.';
    QChar ThousandSeparator = u',';
    QString CurrencySymbol = QStringLiteral("$");
    CurrencyPosition CurrencyPos = CurrencyPosition::Before;
    int CurrencyDecimals = 2;

    // Polish settings: decimal comma, no-break space between thousands, "zł" after.
    static TFormatSettings Polish();
    // A point-decimal setting (comma thousands, "$" before).
    static TFormatSettings PointDecimal();
    static TFormatSettings FromLocale(const QLocale &locale);
};

// The program's settings object.
TFormatSettings &FormatSettings();
// Fills FormatSettings() from QLocale::system(); called once at start.
void InitFormatSettingsFromSystem();

// Column texts of files: fixed decimals, the locale's decimal separator, no
// thousands separator; padded on the left to width (0 = no padding).
QString FormatCurrency2(Currency value, int width = 0, const TFormatSettings &fs = FormatSettings());
QString FormatQuantity3(double value, int width = 0, const TFormatSettings &fs = FormatSettings());

// Texts for the grids: grouped thousands; amounts with the currency symbol.
QString FormatCurrencyDisplay(Currency value, const TFormatSettings &fs = FormatSettings());
QString FormatQuantityDisplay(double value, int decimals, bool grouped, const TFormatSettings &fs = FormatSettings());

// Shortest general text of a double ("%g" with 15 significant digits) using
// the locale's decimal separator.
QString FormatGeneral(double value, const TFormatSettings &fs = FormatSettings());

// Parsing with the locale's decimal separator; blanks around are allowed,
// thousands separators are not. nullopt when the text is not a number.
std::optional<Currency> ParseCurrency(const QString &text, const TFormatSettings &fs = FormatSettings());
std::optional<double> ParseFloat(const QString &text, const TFormatSettings &fs = FormatSettings());
std::optional<qint64> ParseInteger(const QString &text);

// The form a Polish noun takes after a number: 1 kod, 2 kody, 5 kodów,
// 22 kody, 12 kodów.
enum class TPluralForm { One, Few, Many };
TPluralForm PluralForm(qint64 n);
