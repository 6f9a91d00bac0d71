#include "reports/core/USalesCsv.h"

#include "exchange/UCsvExport.h"
#include "data/UDM.h"

namespace {

QString Cell(const TRxMemoryData &t, const char *field, int row)
{
    const TField *f = t.FindField(QString::fromLatin1(field));
    return f ? CsvCell(*f, row) : QString();
}

} // namespace

QStringList SalesReportCsvLines(const TDM &dm, TSalesSections sections)
{
    QStringList lines;
    lines << CsvLine({QStringLiteral("Sekcja"), QStringLiteral("Numer"), QStringLiteral("Nazwa"), QStringLiteral("Grupa"),
                      QStringLiteral("Cena"), QStringLiteral("Wartość dz."), QStringLiteral("Ilość dz."),
                      QStringLiteral("Wartość okr."), QStringLiteral("Ilość okr."), QStringLiteral("Wartość zwr. dz."),
                      QStringLiteral("Ilość zwr. dz.")});
    if (sections.Groups)
        for (int r = 0; r < dm.MDGrupy.RecordCount(); ++r)
            lines << CsvLine({QStringLiteral("Grupy"), Cell(dm.MDGrupy, "Numer", r), Cell(dm.MDGrupy, "Nazwa", r), QString(),
                              Cell(dm.MDGrupy, "Cena", r), Cell(dm.MDGrupy, "LDW", r), Cell(dm.MDGrupy, "LDI", r),
                              Cell(dm.MDGrupy, "LOW", r), Cell(dm.MDGrupy, "LOI", r), QString(), QString()});
    if (sections.Codes)
        for (int r = 0; r < dm.MDKody.RecordCount(); ++r)
            lines << CsvLine({QStringLiteral("Kody"), Cell(dm.MDKody, "Numer", r), Cell(dm.MDKody, "Nazwa", r),
                              Cell(dm.MDKody, "Grupa", r), Cell(dm.MDKody, "Cena", r), Cell(dm.MDKody, "LDW", r),
                              Cell(dm.MDKody, "LDI", r), QString(), QString(), QString(), QString()});
    if (sections.Deposits)
        for (int r = 0; r < dm.MDKaucje.RecordCount(); ++r)
            lines << CsvLine({QStringLiteral("Kaucje"), Cell(dm.MDKaucje, "Numer", r), QString(), QString(),
                              Cell(dm.MDKaucje, "Cena", r), Cell(dm.MDKaucje, "LDWw", r), Cell(dm.MDKaucje, "LDIw", r),
                              QString(), QString(), Cell(dm.MDKaucje, "LDWz", r), Cell(dm.MDKaucje, "LDIz", r)});
    return lines;
}

bool IsCsvReportName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}
