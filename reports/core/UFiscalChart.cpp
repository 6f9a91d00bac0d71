#include "reports/core/UFiscalChart.h"

#include "reports/core/UFiscalTables.h"
#include "reports/core/URowValues.h"

#include <map>

namespace {

double Amount(const TField &f, int row)
{
    return double(IntAt(f, row)) / 10000.0;
}

QString MonthText(const QDate &d)
{
    static const char *const names[] = {"sty", "lut", "mar", "kwi", "maj", "cze",
                                        "lip", "sie", "wrz", "paź", "lis", "gru"};
    return QString::fromUtf8(names[d.month() - 1]) + u' ' + QString::number(d.year());
}

// Categories are days, or months when monthly.
TChartData Build(const TRxMemoryData &mtpf, bool monthly)
{
    TChartData chart;
    chart.Kind = TChartKind::StackedBars;
    chart.Title = monthly ? QStringLiteral("Należność według miesięcy") : QStringLiteral("Należność dzienna");
    chart.XTitle = monthly ? QStringLiteral("Miesiąc") : QStringLiteral("Data raportu dobowego");
    chart.YTitle = QStringLiteral("Suma należności");

    struct TEntry {
        qint64 Key;
        int Period;
        double Tax;
        double Rest;
    };
    std::vector<TEntry> entries;
    std::vector<QString> periodSymbols;
    const TPFFields pf(mtpf);
    QString last;
    std::map<qint64, QString> labels;
    for (int r = 0; r < mtpf.RecordCount(); ++r) {
        const QDate date = DateOf(IntAt(pf.Data, r));
        if (!date.isValid())
            continue;
        const QString symbol = pf.Waluta.ValueToString(pf.Waluta.ValueAt(r)).trimmed();
        if (periodSymbols.empty() || symbol != last) {
            periodSymbols.push_back(symbol);
            last = symbol;
        }
        const qint64 key = monthly ? qint64(date.year()) * 12 + date.month() : date.toJulianDay();
        labels.emplace(key, monthly ? MonthText(date) : date.toString(QStringLiteral("dd.MM.yyyy")));
        const double total = Amount(pf.SumaNal, r);
        const double tax = Amount(pf.SumaPTU, r);
        entries.push_back({key, int(periodSymbols.size()) - 1, tax, total - tax});
    }
    if (entries.empty())
        return chart;
    std::map<qint64, int> column;
    for (const auto &[key, label] : labels) {
        column.emplace(key, int(chart.Categories.size()));
        chart.Categories << label;
    }
    const size_t n = size_t(chart.Categories.size());
    std::map<QString, int> seen;
    for (size_t p = 0; p < periodSymbols.size(); ++p) {
        const QString symbol = periodSymbols[p].isEmpty() ? QStringLiteral("bez waluty") : periodSymbols[p];
        const int repeat = ++seen[symbol];
        const QString suffix = repeat > 1 ? QStringLiteral(" %1 (okres %2)").arg(symbol).arg(repeat) : u' ' + symbol;
        TChartSet tax{QStringLiteral("PTU") + suffix, std::vector<double>(n, 0.0), int(p), true};
        TChartSet rest{QStringLiteral("Należność bez PTU") + suffix, std::vector<double>(n, 0.0), int(p), false};
        for (const TEntry &e : entries) {
            if (e.Period != int(p))
                continue;
            tax.Values[size_t(column[e.Key])] += e.Tax;
            rest.Values[size_t(column[e.Key])] += e.Rest;
        }
        chart.Sets.push_back(std::move(tax));
        chart.Sets.push_back(std::move(rest));
    }
    return chart;
}

} // namespace

TChartData FiscalDailyChart(const TRxMemoryData &mtpf)
{
    return Build(mtpf, false);
}

TChartData FiscalMonthlyChart(const TRxMemoryData &mtpf)
{
    return Build(mtpf, true);
}
