#include "UChartData.h"

#include "UEANUtils.h"

#include <algorithm>
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
