#include "exchange/UChartData.h"

#include "data/UEANUtils.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

double Amount(const TField &f, int row)
{
    const TFieldValue &v = f.ValueAt(row);
    if (const auto *u = std::get_if<std::int64_t>(&v))
        return double(*u) / 10000.0;
    return 0;
}

} // namespace

TChartData TopCodesChart(const TRxMemoryData &kody, int count)
{
    TChartData chart;
    chart.Kind = TChartKind::Bars;
    chart.Title = QStringLiteral("Najlepiej sprzedające się kody");
    chart.XTitle = QStringLiteral("Kod");
    chart.YTitle = QStringLiteral("Wartość sprzedaży [zł]");
    const TField &ldw = kody.FieldByName(QStringLiteral("LDW"));
    const TField &nazwa = kody.FieldByName(QStringLiteral("Nazwa"));
    const TField &numer = kody.FieldByName(QStringLiteral("Numer"));
    std::vector<int> rows;
    for (int r = 0; r < kody.RecordCount(); ++r)
        if (Amount(ldw, r) > 0)
            rows.push_back(r);
    // Highest first; equal values keep the table order.
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return Amount(ldw, a) > Amount(ldw, b); });
    if (int(rows.size()) > count)
        rows.resize(size_t(std::max(count, 0)));
    TChartSet set;
    set.Label = QStringLiteral("Wartość sprzedaży dziennej");
    for (int r : rows) {
        QString label = nazwa.ValueToString(nazwa.ValueAt(r)).trimmed();
        if (label.isEmpty())
            label = numer.DisplayTextAt(r);
        chart.Categories << label;
        set.Values.push_back(Amount(ldw, r));
    }
    if (!rows.empty())
        chart.Sets.push_back(std::move(set));
    return chart;
}

TChartData GroupsShareChart(const TRxMemoryData &grupy)
{
    TChartData chart;
    chart.Kind = TChartKind::PercentBars;
    chart.Title = QStringLiteral("Udział grup w sprzedaży");
    chart.XTitle = QString();
    chart.YTitle = QStringLiteral("Udział [%]");
    chart.Categories = {QStringLiteral("Sprzedaż dzienna"), QStringLiteral("Sprzedaż okresowa")};
    const TField &ldw = grupy.FieldByName(QStringLiteral("LDW"));
    const TField &low = grupy.FieldByName(QStringLiteral("LOW"));
    const TField &nazwa = grupy.FieldByName(QStringLiteral("Nazwa"));
    const TField &numer = grupy.FieldByName(QStringLiteral("Numer"));
    const TField &vat = grupy.FieldByName(QStringLiteral("VAT"));
    for (int r = 0; r < grupy.RecordCount(); ++r) {
        const QString v = vat.ValueToString(vat.ValueAt(r));
        if (v == QLatin1String("+") || v == QLatin1String("-"))
            continue;
        const double d = std::max(Amount(ldw, r), 0.0);
        const double p = std::max(Amount(low, r), 0.0);
        if (d <= 0 && p <= 0)
            continue;
        TChartSet set;
        const QString name = nazwa.ValueToString(nazwa.ValueAt(r)).trimmed();
        const QString number = numer.ValueToString(numer.ValueAt(r));
        set.Label = name.isEmpty() ? QStringLiteral("Grupa %1").arg(number) : QStringLiteral("%1. %2").arg(number, name);
        set.Values = {d, p};
        set.Color = int(chart.Sets.size());
        chart.Sets.push_back(std::move(set));
    }
    if (chart.Sets.empty())
        chart.Categories.clear();
    return chart;
}

QString ChartValueText(double value, int decimals, const TFormatSettings &fs)
{
    return FormatQuantityDisplay(value, decimals, true, fs);
}

TChartAxis ChartValueAxis(const TChartData &data, const TFormatSettings &fs)
{
    TChartAxis axis;
    int decimals = 2;
    double step = 20;
    if (data.Kind == TChartKind::PercentBars) {
        axis.Max = 100;
        decimals = 0;
    } else {
        double low = 0;
        double high = 0;
        for (qsizetype c = 0; c < data.Categories.size(); ++c) {
            double below = 0;
            double above = 0;
            for (const TChartSet &s : data.Sets) {
                const double v = size_t(c) < s.Values.size() ? s.Values[size_t(c)] : 0;
                if (data.Kind != TChartKind::StackedBars) {
                    below = std::min(below, v);
                    above = std::max(above, v);
                } else if (v < 0) {
                    below += v;
                } else {
                    above += v;
                }
            }
            low = std::min(low, below);
            high = std::max(high, above);
        }
        if (!std::isfinite(low) || !std::isfinite(high))
            low = high = 0;
        if (high - low < 0.05)
            high = low + 0.05;
        // About five steps; never below the last decimal shown, so that
        // no two labels read the same.
        const double rough = (high - low) / 5;
        const double power = std::pow(10.0, std::floor(std::log10(rough)));
        const double scaled = rough / power;
        step = std::max(0.01, (scaled <= 1 ? 1 : scaled <= 2 ? 2 : scaled <= 5 ? 5 : 10) * power);
        axis.Min = std::floor(low / step) * step;
        axis.Max = std::ceil(high / step) * step;
    }
    const int count = int(std::lround((axis.Max - axis.Min) / step));
    for (int i = 0; i <= count; ++i) {
        const double tick = axis.Min + i * step;
        axis.Ticks.push_back(tick);
        axis.Labels << ChartValueText(tick, decimals, fs);
    }
    return axis;
}
