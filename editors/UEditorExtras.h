#pragma once
// The CSV and chart commands of the editors and in-register views:
// "Importuj z pliku CSV..." (groups and codes editors), "Eksportuj do pliku
// CSV..." (every window), "Najlepiej sprzedające się kody" (codes editor)
// and "Udział grup w sprzedaży" (groups editor).
#include <QString>
#include <QStringList>

class QMenu;
class TTableForm;
struct TTableFormSetup;

void AddCsvAndChartItems(TTableForm &form, const TTableFormSetup &setup, QMenu *editMenu);

// The grid's fields in the order shown (the export's columns).
QStringList GridFieldOrder(const TTableForm &form);

// The commands themselves (also for tests and the screenshots).
void ExportTableToCsv(TTableForm &form, const QString &fileName);
void ShowSalesChart(TTableForm &form);
