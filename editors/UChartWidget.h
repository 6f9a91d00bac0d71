#pragma once
// A bar chart of TChartData drawn with QPainter: title, value axis with
// grid lines, category labels (standing up and thinned out when they do not
// fit side by side), grouped, stacked or percent bars and a legend. The
// layout is a plain value, so tests read what is drawn without pixels.
#include "exchange/UChartData.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QWidget>
#include <vector>

// The colour of a set: index into a small palette, or its darker shade.
QColor ChartSetColor(int index, bool darker);

struct TChartBar {
    int Set = 0;
    int Category = 0;
    double Value = 0; // the set's value
    double Share = 0; // percent bars: percent of the category's total
    QColor Color;
    QRectF Rect;
};

struct TChartText {
    QString Text;
    QRectF Rect;          // the area the text takes on the widget
    double Position = 0;  // value ticks: the value; category labels: the category
    bool Upright = false; // drawn turned a quarter left, read from below
};

struct TChartLegendEntry {
    QString Label;
    QColor Color;
    QRectF Swatch;
    QRectF Text;
};

struct TChartPicture {
    TChartText Title;
    TChartText XTitle;
    TChartText YTitle;
    QRectF Plot;                          // the area of the bars
    double ZeroY = 0;                     // where the value 0 is
    std::vector<TChartText> Ticks;        // value axis labels, bottom up (thinned in a low window)
    std::vector<TChartText> CategoryLabels; // the ones drawn (every Step-th)
    int CategoryStep = 1;
    std::vector<TChartBar> Bars;
    std::vector<TChartText> BarLabels;    // percent bars: the share inside a part tall enough
    std::vector<TChartLegendEntry> Legend;
    int LegendHidden = 0;                 // entries left out for want of room
};

// Lays out the chart in a size with a font; what the widget draws.
TChartPicture LayoutChart(const TChartData &data, const QSizeF &size, const QFont &font);

class TChartWidget : public QWidget {
    Q_OBJECT
public:
    explicit TChartWidget(QWidget *parent = nullptr);
    void SetData(const TChartData &data);
    const TChartData &Data() const { return m_data; }
    // The layout at the widget's present size.
    TChartPicture Picture() const;
    QSize sizeHint() const override { return {640, 400}; }
    QSize minimumSizeHint() const override { return {240, 160}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TChartData m_data;
};
