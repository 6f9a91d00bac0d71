#pragma once
// What a chart shows, without any widget: categories along the axis, sets
// of values over them, titles. The chart windows draw it (UChartWidget);
// tests check the numbers and labels.
#include "data/ULocale.h"
#include "data/URxMemoryData.h"

#include <QString>
#include <QStringList>
#include <vector>

enum class TChartKind { Bars, StackedBars, PercentBars };

struct TChartSet {
    QString Label;
    std::vector<double> Values; // one per category
    int Color = 0;              // index into the window's palette
    bool Darker = false;        // drawn in a darker shade of its colour
};

struct TChartData {
    TChartKind Kind = TChartKind::Bars;
    QString Title;
    QString XTitle;
    QString YTitle;
    QStringList Categories;
    std::vector<TChartSet> Sets;
    bool IsEmpty() const { return Categories.isEmpty() || Sets.empty(); }
};

// "Najlepiej sprzedające się kody": the codes with the highest daily sale
// value (LDW), highest first; only codes that sold. Labels are the names
// (the code number where the name is empty).
TChartData TopCodesChart(const TRxMemoryData &kody, int count = 20);

// The groups' share of the daily (LDW) and periodic (LOW) sale: one set per
// group that sold, over the two categories; deposit groups are left out.
TChartData GroupsShareChart(const TRxMemoryData &grupy);

// The value axis: a round range over the bars (from zero, or below it when
// a bar is negative), split in round steps of 1, 2 or 5 times a power of
// ten; percent bars run 0..100 by 20. Labels in ChartValueText.
struct TChartAxis {
    double Min = 0;
    double Max = 1;
    std::vector<double> Ticks;
    QStringList Labels;
};
TChartAxis ChartValueAxis(const TChartData &data, const TFormatSettings &fs = FormatSettings());

// An axis number: thousands always grouped, as in the grids ("3 000 000,00",
// "5 000,00" with Polish settings).
QString ChartValueText(double value, int decimals, const TFormatSettings &fs = FormatSettings());
