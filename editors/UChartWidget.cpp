#include "editors/UChartWidget.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

QColor ChartSetColor(int index, bool darker)
{
    static const QColor colors[] = {QColor(0x2e, 0x7d, 0xd2), QColor(0x43, 0xa0, 0x47), QColor(0xef, 0x6c, 0x00),
                                    QColor(0x8e, 0x24, 0xaa), QColor(0xc6, 0x28, 0x28), QColor(0x00, 0x83, 0x8f),
                                    QColor(0x6d, 0x4c, 0x41), QColor(0x9e, 0x9d, 0x24)};
    const QColor c = colors[std::max(index, 0) % int(std::size(colors))];
    return darker ? c.darker(160) : c;
}

namespace {

QFont TitleFont(const QFont &font)
{
    QFont f(font);
    f.setBold(true);
    if (font.pointSizeF() > 0)
        f.setPointSizeF(font.pointSizeF() * 1.25);
    else
        f.setPixelSize(int(std::lround(font.pixelSize() * 1.25)));
    return f;
}

double Width(const QFontMetricsF &fm, const QString &text)
{
    return fm.horizontalAdvance(text);
}

// Lays the legend out in centred rows from the bottom edge up; entries
// that would take more than a third of the height give way to a count.
double LayoutLegend(TChartPicture &p, const TChartData &data, const QFontMetricsF &fm, double left, double right,
                    double bottom, double maxHeight)
{
    const double line = fm.height();
    const double swatch = std::round(line * 0.7);
    const double gap = std::round(line * 0.35);
    const double spacing = std::round(line * 1.2);
    const double rowHeight = std::round(line * 1.3);
    const double width = std::max(0.0, right - left);
    std::vector<TChartLegendEntry> all;
    for (const TChartSet &s : data.Sets)
        all.push_back({fm.elidedText(s.Label, Qt::ElideRight, std::max(0.0, width - swatch - gap)),
                       ChartSetColor(s.Color, s.Darker), {}, {}});
    auto entryWidth = [&](const TChartLegendEntry &e) {
        return (e.Color.isValid() ? swatch + gap : 0) + Width(fm, e.Label);
    };
    // Rows of entry indexes that fit the width.
    auto flow = [&](const std::vector<TChartLegendEntry> &entries) {
        std::vector<std::vector<size_t>> rows;
        double x = 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            const double w = entryWidth(entries[i]);
            if (rows.empty() || (x > 0 && x + spacing + w > width)) {
                rows.emplace_back();
                x = 0;
            } else if (x > 0) {
                x += spacing;
            }
            rows.back().push_back(i);
            x += w;
        }
        return rows;
    };
    const int maxRows = std::max(1, int(maxHeight / rowHeight));
    size_t keep = all.size();
    std::vector<TChartLegendEntry> shown = all;
    std::vector<std::vector<size_t>> rows = flow(shown);
    while (int(rows.size()) > maxRows && keep > 0) {
        --keep;
        shown.assign(all.begin(), all.begin() + qsizetype(keep));
        shown.push_back({QStringLiteral("… i jeszcze %1").arg(all.size() - keep), QColor(), {}, {}});
        rows = flow(shown);
    }
    p.LegendHidden = int(all.size() - keep);
    const double top = bottom - rows.size() * rowHeight;
    for (size_t r = 0; r < rows.size(); ++r) {
        double rowWidth = 0;
        for (size_t i : rows[r])
            rowWidth += entryWidth(shown[i]) + (rowWidth > 0 ? spacing : 0);
        double x = std::round(left + (width - rowWidth) / 2);
        const double y = top + r * rowHeight + (rowHeight - line) / 2;
        for (size_t i : rows[r]) {
            TChartLegendEntry e = shown[i];
            if (e.Color.isValid()) {
                e.Swatch = QRectF(x, std::round(y + (line - swatch) / 2), swatch, swatch);
                x += swatch + gap;
            }
            e.Text = QRectF(x, y, Width(fm, e.Label), line);
            x += e.Text.width() + spacing;
            p.Legend.push_back(e);
        }
    }
    return top;
}

void DrawUpright(QPainter &painter, const QRectF &rect, const QString &text, Qt::Alignment align)
{
    painter.save();
    painter.translate(rect.left(), rect.bottom());
    painter.rotate(-90);
    painter.drawText(QRectF(0, 0, rect.height(), rect.width()), align, text);
    painter.restore();
}

} // namespace

TChartPicture LayoutChart(const TChartData &data, const QSizeF &size, const QFont &font)
{
    TChartPicture p;
    const QFontMetricsF fm(font);
    const QFontMetricsF tfm(TitleFont(font));
    const double line = fm.height();
    const double margin = std::round(line * 0.8);
    const double tickLength = 4;
    const double w = size.width();
    const double h = size.height();

    const QString title = data.IsEmpty() ? data.Title + QStringLiteral(" (brak danych)") : data.Title;
    p.Title.Text = tfm.elidedText(title, Qt::ElideRight, std::max(0.0, w - 2 * margin));
    p.Title.Rect = QRectF(margin, margin, std::max(0.0, w - 2 * margin), tfm.height());
    if (data.IsEmpty())
        return p;
    const double top = margin + tfm.height() + line;

    double bottom = h - margin;
    if (!data.Sets.empty())
        bottom = LayoutLegend(p, data, fm, margin, w - margin, bottom, h / 3) - line * 0.6;

    // Across: the value axis title and labels, then the bars' bands.
    const TChartAxis axis = ChartValueAxis(data);
    double tickWidth = 0;
    for (const QString &label : axis.Labels)
        tickWidth = std::max(tickWidth, Width(fm, label));
    double left = margin;
    if (!data.YTitle.isEmpty())
        left += line * 1.4;
    const double plotLeft = std::round(left + tickWidth + line * 0.4 + tickLength);
    const double plotRight = std::max(plotLeft + 1, w - margin);
    const qsizetype n = data.Categories.size();
    const double band = (plotRight - plotLeft) / double(n);

    // Category labels lie side by side when the widest fits its band,
    // else they stand up, every Step-th one when even that is too tight.
    double widest = 0;
    for (const QString &c : data.Categories)
        widest = std::max(widest, Width(fm, c));
    const bool upright = widest > band - line * 0.5;
    const double xTitleHeight = data.XTitle.isEmpty() ? 0 : line * 1.3;
    const double room = std::max(0.0, bottom - top - xTitleHeight);
    const double labelsHeight = upright ? std::min(widest, std::max(line * 3, room * 0.4)) : line;
    p.CategoryStep = upright ? std::max(1, int(std::ceil(line * 1.15 / band))) : 1;

    const double plotTop = std::round(top);
    const double plotBottom = std::max(plotTop + line * 2,
                                       std::round(bottom - xTitleHeight - labelsHeight - tickLength - line * 0.3));
    p.Plot = QRectF(QPointF(plotLeft, plotTop), QPointF(plotRight, plotBottom));
    const double span = axis.Max - axis.Min;
    auto yOf = [&](double v) { return plotBottom - (v - axis.Min) / span * (plotBottom - plotTop); };
    p.ZeroY = std::round(yOf(std::clamp(0.0, axis.Min, axis.Max)));

    // In a low window every other (third, ...) value is labelled.
    const double tickGap = axis.Ticks.size() > 1 ? yOf(axis.Ticks[0]) - yOf(axis.Ticks[1]) : line * 2;
    const qsizetype tickStep = std::max(1, int(std::ceil(line * 1.05 / std::max(tickGap, 0.01))));
    for (qsizetype i = 0; i < axis.Labels.size(); i += tickStep) {
        const double y = yOf(axis.Ticks[size_t(i)]);
        const double tw = Width(fm, axis.Labels[i]);
        p.Ticks.push_back({axis.Labels[i], QRectF(plotLeft - tickLength - line * 0.3 - tw, y - line / 2, tw, line),
                           axis.Ticks[size_t(i)], false});
    }
    if (!data.YTitle.isEmpty()) {
        const QString text = fm.elidedText(data.YTitle, Qt::ElideRight, p.Plot.height());
        const double tw = Width(fm, text);
        p.YTitle = {text, QRectF(margin, p.Plot.center().y() - tw / 2, line, tw), 0, true};
    }
    const double labelTop = plotBottom + tickLength + line * 0.2;
    for (qsizetype c = 0; c < n; c += p.CategoryStep) {
        const double center = plotLeft + (double(c) + 0.5) * band;
        if (upright) {
            const QString text = fm.elidedText(data.Categories[c], Qt::ElideRight, labelsHeight);
            const double tw = Width(fm, text);
            p.CategoryLabels.push_back({text, QRectF(center - line / 2, labelTop, line, tw), double(c), true});
        } else {
            const double tw = Width(fm, data.Categories[c]);
            p.CategoryLabels.push_back({data.Categories[c], QRectF(center - tw / 2, labelTop, tw, line), double(c), false});
        }
    }
    if (!data.XTitle.isEmpty())
        p.XTitle = {data.XTitle, QRectF(plotLeft, labelTop + labelsHeight + line * 0.3, p.Plot.width(), line), 0, false};

    // The bars: side by side in a band, or stacked (percent bars stacked
    // to their share of the category's total).
    const size_t sets = data.Sets.size();
    for (qsizetype c = 0; c < n; ++c) {
        const double bandLeft = plotLeft + double(c) * band;
        double total = 0;
        for (const TChartSet &s : data.Sets)
            total += std::max(0.0, size_t(c) < s.Values.size() ? s.Values[size_t(c)] : 0.0);
        double above = 0;
        double below = 0;
        for (size_t i = 0; i < sets; ++i) {
            const TChartSet &s = data.Sets[i];
            TChartBar bar;
            bar.Set = int(i);
            bar.Category = int(c);
            bar.Value = size_t(c) < s.Values.size() ? s.Values[size_t(c)] : 0;
            bar.Color = ChartSetColor(s.Color, s.Darker);
            double from = 0;
            double to = bar.Value;
            // Bars narrower than 2 pixels fill their band: gaps of a pixel
            // or two between them would only flicker.
            double barWidth = band * 0.6 < 2 ? band : band * 0.6;
            double x = bandLeft + (band - barWidth) / 2;
            switch (data.Kind) {
            case TChartKind::Bars: {
                const double group = band * (sets > 1 ? 0.8 : 0.6) < 2 * double(sets) ? band : band * (sets > 1 ? 0.8 : 0.6);
                barWidth = group / double(sets);
                x = bandLeft + (band - group) / 2 + double(i) * barWidth;
                break;
            }
            case TChartKind::StackedBars:
                from = bar.Value < 0 ? below : above;
                to = from + bar.Value;
                (bar.Value < 0 ? below : above) = to;
                break;
            case TChartKind::PercentBars:
                bar.Share = total > 0 ? std::max(0.0, bar.Value) / total * 100 : 0;
                from = above;
                to = above + bar.Share;
                above = to;
                break;
            }
            // On whole pixels, at least one wide: a year of days stays even.
            const double x0 = std::round(x);
            bar.Rect = QRectF(QPointF(x0, std::round(yOf(std::clamp(to, axis.Min, axis.Max)))),
                              QPointF(std::max(x0 + 1, std::round(x + barWidth)),
                                      std::round(yOf(std::clamp(from, axis.Min, axis.Max)))))
                           .normalized();
            if (data.Kind == TChartKind::PercentBars && bar.Share > 0) {
                const QString text = ChartValueText(bar.Share, 1) + u'%';
                const double tw = Width(fm, text);
                if (bar.Rect.height() >= line * 1.1 && bar.Rect.width() >= tw + line * 0.5)
                    p.BarLabels.push_back({text, QRectF(bar.Rect.center().x() - tw / 2, bar.Rect.center().y() - line / 2, tw, line),
                                           double(p.Bars.size()), false});
            }
            p.Bars.push_back(bar);
        }
    }
    return p;
}

TChartWidget::TChartWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ChartWidget"));
    setAutoFillBackground(false);
}

void TChartWidget::SetData(const TChartData &data)
{
    m_data = data;
    update();
}

TChartPicture TChartWidget::Picture() const
{
    return LayoutChart(m_data, size(), font());
}

void TChartWidget::paintEvent(QPaintEvent *)
{
    const TChartPicture p = Picture();
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QColor ink(0x21, 0x21, 0x21);
    const QColor axisColor(0x75, 0x75, 0x75);
    painter.setPen(ink);
    painter.setFont(TitleFont(font()));
    painter.drawText(p.Title.Rect, Qt::AlignCenter, p.Title.Text);
    painter.setFont(font());
    if (p.Plot.isEmpty())
        return;

    painter.setPen(QColor(0xe0, 0xe0, 0xe0));
    for (const TChartText &t : p.Ticks)
        painter.drawLine(QPointF(p.Plot.left(), t.Rect.center().y()), QPointF(p.Plot.right(), t.Rect.center().y()));
    for (const TChartBar &b : p.Bars) {
        if (b.Rect.height() <= 0 || b.Rect.width() <= 0)
            continue;
        painter.fillRect(b.Rect, b.Color);
        if (b.Rect.width() >= 8) {
            painter.setPen(b.Color.darker(130));
            painter.drawRect(b.Rect.adjusted(0, 0, -1, -1));
        }
    }
    painter.setRenderHint(QPainter::Antialiasing);
    for (const TChartText &t : p.BarLabels) {
        const QColor under = p.Bars[size_t(t.Position)].Color;
        painter.setPen(qGray(under.rgb()) > 150 ? ink : Qt::white);
        painter.drawText(t.Rect, Qt::AlignCenter, t.Text);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);

    painter.setPen(axisColor);
    painter.drawLine(p.Plot.topLeft(), p.Plot.bottomLeft());
    painter.drawLine(QPointF(p.Plot.left(), p.ZeroY), QPointF(p.Plot.right(), p.ZeroY));
    if (p.ZeroY < p.Plot.bottom() - 0.5)
        painter.drawLine(p.Plot.bottomLeft(), p.Plot.bottomRight());
    for (const TChartText &t : p.Ticks)
        painter.drawLine(QPointF(p.Plot.left() - 4, t.Rect.center().y()), QPointF(p.Plot.left(), t.Rect.center().y()));
    for (const TChartText &t : p.CategoryLabels) {
        const double x = t.Rect.center().x();
        painter.drawLine(QPointF(x, p.Plot.bottom()), QPointF(x, p.Plot.bottom() + 4));
    }

    painter.setPen(ink);
    for (const TChartText &t : p.Ticks)
        painter.drawText(t.Rect, Qt::AlignRight | Qt::AlignVCenter, t.Text);
    for (const TChartText &t : p.CategoryLabels) {
        if (t.Upright)
            DrawUpright(painter, t.Rect, t.Text, Qt::AlignRight | Qt::AlignVCenter);
        else
            painter.drawText(t.Rect, Qt::AlignCenter, t.Text);
    }
    if (!p.XTitle.Text.isEmpty())
        painter.drawText(p.XTitle.Rect, Qt::AlignCenter, p.XTitle.Text);
    if (!p.YTitle.Text.isEmpty())
        DrawUpright(painter, p.YTitle.Rect, p.YTitle.Text, Qt::AlignCenter);
    for (const TChartLegendEntry &e : p.Legend) {
        if (e.Color.isValid())
            painter.fillRect(e.Swatch, e.Color);
        painter.drawText(e.Text, Qt::AlignLeft | Qt::AlignVCenter, e.Label);
    }
}
