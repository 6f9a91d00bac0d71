#pragma once
// What the register keeps of a name. Names travel to it in Windows-1250;
// the module turns the Polish letters into the register's own codes and
// passes every other byte as it is, so a letter whose byte happens to be
// one of those codes ("É", 0xC9) comes back as a Polish letter ("Ź").
// Control characters break the exchange lines or end up in the register.
#include <QChar>
#include <QString>

// A character below the blank, DEL, or a C1 control (where the bytes
// undefined in Windows-1250 land).
bool IsControlChar(QChar c);

// Every run of control characters replaced by one blank: what a name
// brought in from outside keeps when no field would take it as it is.
QString ControlsAsBlanks(const QString &text);

// Whether the register stores c and gives it back unchanged.
bool RegisterHolds(QChar c);
// Index of the first character of text the register cannot hold, or -1.
qsizetype FirstNotHeld(const QString &text);

// The character the register gives back for c: the Polish letter a
// colliding letter turns into, c itself for every other character.
QChar AsRegisterStores(QChar c);
QString AsRegisterStores(const QString &text);

// Why a name cannot go to the register as it is ("Znak "É" ..."), or an
// empty text when it can.
QString NameCharacterProblem(const QString &name);

// The plain letter of a letter the register cannot hold ("É" -> "E");
// any other character as it is.
QChar BaseLetter(QChar c);
// Every letter the register cannot hold replaced by its plain letter.
QString WithBaseLetters(const QString &text);

// Trailing blanks removed in place: a name comes padded to its column's
// width from the data file and from the register's lines.
void TrimRight(QString &text);

// A text from a file or a field as a message quotes it: control
// characters shown by their code ("<0D>") and a long text cut to a
// readable length with "…".
QString QuotedText(const QString &text, qsizetype maxLength = 80);
