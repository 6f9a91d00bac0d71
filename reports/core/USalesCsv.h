#pragma once
// The sales report as one CSV sheet: a "Sekcja" column tells groups, codes
// and deposits apart, so a spreadsheet filters or pivots the whole report
// in one place (one file per section would need several files for one
// "Wykonaj" and the same columns three times).
#include "reports/core/USalesReport.h"

#include <QStringList>

// The header line and one line per record of the chosen sections (already
// corrected by EffectiveSections), in the Polish spreadsheet convention.
QStringList SalesReportCsvLines(const TDM &dm, TSalesSections sections);

// A report file whose name ends in ".csv" is written as CSV.
bool IsCsvReportName(const QString &fileName);
