#pragma once
// "Wykres" of the fiscal memory window: the daily and monthly totals due of
// the reports read or loaded, in a chart window that follows the table.
class QBoxLayout;
class TFormPF;
class TFormWykres;

// Puts the "Wykres" button before "Zamknij" in the window's button column.
void AddFiscalChartButton(TFormPF &form, QBoxLayout *buttons);
// Opens (or brings forward) the chart window of the form.
TFormWykres *ShowFiscalChart(TFormPF &form);
