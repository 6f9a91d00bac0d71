#pragma once
// "Wykres": a chart of TChartData in a window of its own, with a choice of
// views (daily, monthly) and "Zapisz jako PNG...". The data come from a
// function, so the chart follows the tables whenever Refresh is called.
#include "exchange/UChartData.h"
#include "editors/UChartWidget.h"

#include <QDialog>
#include <functional>
#include <vector>

class QComboBox;
class QPushButton;

class TFormWykres : public QDialog {
    Q_OBJECT
public:
    struct TView {
        QString Name;
        std::function<TChartData()> Build;
    };
    TFormWykres(const QString &caption, std::vector<TView> views, QWidget *parent = nullptr);

    void Refresh();
    int CurrentView() const;
    void SetCurrentView(int index);
    const TChartData &Data() const { return m_data; }
    TChartWidget *Chart() const { return m_chart; }
    // Saves the picture; false (message shown unless quiet) when it cannot be written.
    bool SavePng(const QString &fileName, bool quiet = false);

private:
    std::vector<TView> m_views;
    TChartData m_data;
    QComboBox *m_viewBox;
    TChartWidget *m_chart;
    QPushButton *m_save;
};
