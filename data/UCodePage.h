#pragma once
// Windows-1250, the code page of the data files and exchange files.
#include <QByteArray>
#include <QChar>
#include <QString>

// Converts to Windows-1250. A character the code page cannot hold makes
// *ok false (when given) and is written as "?"; callers that must not lose
// data check ok and refuse.
QByteArray ToCp1250(const QString &text, bool *ok = nullptr);
// Appends text in Windows-1250; false (and nothing certain appended) when
// a character has no byte there.
bool AppendCp1250(QByteArray &out, QStringView text);
QString FromCp1250(const QByteArray &bytes);
QString FromCp1250(const char *data, qsizetype size);
// The character of one byte.
QChar Cp1250Char(unsigned char byte);

bool FitsCp1250(QChar c);
bool FitsCp1250(const QString &text);
// Index of the first character Windows-1250 cannot hold, or -1.
qsizetype FirstNonCp1250(const QString &text);

// Upper case of a character as the platform gives it for Windows-1250
// ("ą" -> "Ą"); a character whose upper case lies outside the code page
// (such as "µ" or "ß") stays as it is.
QChar UpperCp1250(QChar c);
