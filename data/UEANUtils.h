#pragma once
// Code numbers of articles: the canonical 14-digit form kept by the
// register and the short text the user types and sees.
#include <QChar>
#include <QString>

enum class CodeStatus { Valid, Invalid, Zero };

struct CodeResult {
    CodeStatus Status = CodeStatus::Invalid;
    QString Text;
};

// Stored (canonical) text -> display text. On Invalid the text is the input.
CodeResult CodeToDisplay(const QString &stored);

// Typed text -> canonical form. On Invalid the text is the input, or its
// first 14 characters when it has 15 or more.
CodeResult CodeFromInput(const QString &typed);

// EAN/UPC check digit of a digit string; the rightmost digit weighs 1.
QChar EanCheckDigit(const QString &digits);
