#pragma once
// Tables out to spreadsheets, in the convention of Polish ones: separator
// ";", decimal comma, UTF-8 with a byte-order mark, CR LF line ends. The
// file is replaced only when written in full.
#include "data/URxMemoryData.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The visible fields of a table in table order (a grid without a stored layout).
QStringList CsvDefaultColumns(const TRxMemoryData &table);

// A text cell that a spreadsheet would run as a formula ("=1+1", "+48 ...",
// "-1", "@SUM(A1)", or one beginning with a tab or CR) gets a leading
// apostrophe, so that it shows as text; so does one whose leading
// apostrophes are followed by such a character, which keeps the guard
// reversible. Numbers are never guarded: a negative one stays a number.
QString CsvGuardText(const QString &text);
// The guard taken off again: one leading apostrophe, only where the guard
// would have put it ("'abc" stays as it is).
QString CsvUnguardText(const QString &text);

// One cell, quoted when it holds ";", a quote, a line end or outer blanks,
// or begins with an apostrophe.
QString CsvQuote(const QString &cell);
// One line of cells without its line end.
QString CsvLine(const QStringList &cells);

// A value of a field as it goes into a cell: amounts with two decimals (four
// when they have them), quantities with three, a decimal comma, no thousands
// separators; texts as the grid shows them (code numbers in their short form).
// CsvCell guards text fields; CsvValueText gives the plain text.
QString CsvCell(const TField &field, int row);
QString CsvValueText(const TField &field, const TFieldValue &value);

// The header (field labels) and one line per record, in the given field
// order; an unknown field name raises EDatabaseError.
QByteArray CsvExportBytes(const TRxMemoryData &table, const QStringList &fields);

// Lines to a file: BOM, UTF-8, CR LF; the previous file stays on any failure
// (EInOutError with the reason).
void SaveCsvLines(const QString &fileName, const QStringList &lines);
void SaveCsvExport(const TRxMemoryData &table, const QStringList &fields, const QString &fileName);
