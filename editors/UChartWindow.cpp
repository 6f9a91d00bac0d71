#include "UChartWindow.h"

#include "UOrvanIO.h"
#include "URecentFolders.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPercentBarSeries>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QColor PaletteColor(int index, bool darker)
{
    static const QColor colors[] = {QColor(0x2e, 0x7d, 0xd2), QColor(0x43, 0xa0, 0x47), QColor(0xef, 0x6c, 0x00),
                                    QColor(0x8e, 0x24, 0xaa), QColor(0xc6, 0x28, 0x28), QColor(0x00, 0x83, 0x8f),
                                    QColor(0x6d, 0x4c, 0x41), QColor(0x9e, 0x9d, 0x24)};
    const QColor c = colors[std::max(index, 0) % int(std::size(colors))];
    return darker ? c.darker(160) : c;
}

} // namespace

QChart *MakeChart(const TChartData &data)
{
    auto *chart = new QChart;
    chart->setTitle(data.IsEmpty() ? data.Title + QStringLiteral(" (brak danych)") : data.Title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    if (data.IsEmpty())
        return chart;
    QAbstractBarSeries *series = nullptr;
    switch (data.Kind) {
    case TChartKind::Bars: series = new QBarSeries; break;
    case TChartKind::StackedBars: series = new QStackedBarSeries; break;
    case TChartKind::PercentBars: series = new QPercentBarSeries; break;
    }
    for (const TChartSet &s : data.Sets) {
        auto *set = new QBarSet(s.Label);
        for (double v : s.Values)
            *set << v;
        set->setColor(PaletteColor(s.Color, s.Darker));
        series->append(set);
    }
    chart->addSeries(series);
    const bool horizontalLabels = data.Categories.size() <= 8;
    auto *x = new QBarCategoryAxis;
    x->append(data.Categories);
    x->setTitleText(data.XTitle);
    if (!horizontalLabels) {
        // Dates and names stay whole, standing up under their bars.
        x->setLabelsAngle(-90);
        x->setTruncateLabels(false);
    }
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    // Our own labels: Qt's Polish numbers leave the first group of a
    // million unseparated ("3000 000,00") and a thousand ungrouped.
    const TChartAxis values = ChartValueAxis(data);
    auto *y = new QCategoryAxis;
    y->setTitleText(data.YTitle);
    y->setRange(values.Min, values.Max);
    y->setStartValue(values.Min);
    for (size_t i = 0; i < values.Ticks.size(); ++i)
        y->append(values.Labels.at(qsizetype(i)), values.Ticks[i]);
    y->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    return chart;
}

TFormWykres::TFormWykres(const QString &caption, std::vector<TView> views, QWidget *parent)
    : QDialog(parent), m_views(std::move(views))
{
    setObjectName(QStringLiteral("FormWykres"));
    setWindowTitle(caption);
    resize(900, 560);
    auto *layout = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("&Widok:"), this);
    m_viewBox = new QComboBox(this);
    m_viewBox->setObjectName(QStringLiteral("CBWidok"));
    label->setBuddy(m_viewBox);
    for (const TView &v : m_views)
        m_viewBox->addItem(v.Name);
    label->setVisible(m_views.size() > 1);
    m_viewBox->setVisible(m_views.size() > 1);
    m_save = new QPushButton(QStringLiteral("&Zapisz jako PNG..."), this);
    m_save->setObjectName(QStringLiteral("BBZapiszPNG"));
    auto *close = new QPushButton(QStringLiteral("Za&mknij"), this);
    close->setObjectName(QStringLiteral("BBZamknij"));
    bar->addWidget(label);
    bar->addWidget(m_viewBox);
    bar->addStretch();
    bar->addWidget(m_save);
    bar->addWidget(close);
    m_chartView = new QChartView(this);
    m_chartView->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(m_chartView, 1);
    layout->addLayout(bar);
    connect(m_viewBox, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_save, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Zapisz wykres"),
                                                          AppRecentFolders().StartFolder(TFileKind::Png),
                                                          QStringLiteral("Obrazy PNG (*.png)"));
        if (file.isEmpty())
            return;
        AppRecentFolders().Remember(TFileKind::Png, file);
        SavePng(file.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) ? file : file + QStringLiteral(".png"));
    });
    Refresh();
}

int TFormWykres::CurrentView() const
{
    return std::max(m_viewBox->currentIndex(), 0);
}

void TFormWykres::SetCurrentView(int index)
{
    m_viewBox->setCurrentIndex(index);
}

QChart *TFormWykres::Chart() const
{
    return m_chartView->chart();
}

void TFormWykres::Refresh()
{
    const int view = CurrentView();
    m_data = view < int(m_views.size()) && m_views[size_t(view)].Build ? m_views[size_t(view)].Build() : TChartData();
    QChart *old = m_chartView->chart();
    m_chartView->setChart(MakeChart(m_data));
    delete old;
    m_save->setEnabled(!m_data.IsEmpty());
}

bool TFormWykres::SavePng(const QString &fileName, bool quiet)
{
    // Through the data files' save: a device or a pipe is refused and a
    // failed save keeps the earlier picture.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QString reason = m_chartView->grab().save(&buffer, "PNG") ? TryReplaceFile(fileName, bytes)
                                                                    : QStringLiteral("błąd zapisu obrazu PNG");
    if (reason.isEmpty())
        return true;
    if (!quiet)
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Nie można zapisać pliku %1: %2").arg(fileName, reason));
    return false;
}
