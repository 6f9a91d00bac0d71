#pragma once
// "Wykres" of the fiscal memory window: the total due (SumaNal) of the
// daily reports read, as bars by date or by month, the tax (SumaPTU) the
// lower part of each bar, one colour per currency period (a run of reports
// in one currency).
#include "exchange/UChartData.h"

// Reports of one date are added up; reports without a date are left out.
TChartData FiscalDailyChart(const TRxMemoryData &mtpf);
// Months as "sty 2026", "lut 2026", ... in date order.
TChartData FiscalMonthlyChart(const TRxMemoryData &mtpf);
