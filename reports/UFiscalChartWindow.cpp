#include "reports/UFiscalChartWindow.h"

#include "editors/UChartWindow.h"
#include "reports/core/UFiscalChart.h"
#include "reports/UPF.h"

#include <QBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {

// Redraws the chart once after any change of the daily records.
class TChartFollower : public QObject, public TDataObserver {
public:
    TChartFollower(TRxMemoryData &table, TFormWykres *window) : QObject(window), m_table(table), m_window(window)
    {
        m_table.AddObserver(this);
    }
    ~TChartFollower() override { m_table.RemoveObserver(this); }
    void DataChanged(TRxMemoryData &, TDataChange change, int) override
    {
        if (change == TDataChange::CursorMoved || change == TDataChange::StateChanged || m_pending)
            return;
        m_pending = true;
        QTimer::singleShot(0, this, [this] {
            m_pending = false;
            if (m_window && m_window->isVisible())
                m_window->Refresh();
        });
    }

private:
    TRxMemoryData &m_table;
    QPointer<TFormWykres> m_window;
    bool m_pending = false;
};

} // namespace

TFormWykres *ShowFiscalChart(TFormPF &form)
{
    auto *window = form.findChild<TFormWykres *>(QStringLiteral("FormWykres"));
    if (!window) {
        TRxMemoryData *mtpf = &form.Memory().MTPF;
        std::vector<TFormWykres::TView> views = {
            {QStringLiteral("Dziennie"), [mtpf] { return FiscalDailyChart(*mtpf); }},
            {QStringLiteral("Miesięcznie"), [mtpf] { return FiscalMonthlyChart(*mtpf); }},
        };
        window = new TFormWykres(QStringLiteral("Wykres"), std::move(views), &form);
        window->setWindowFlag(Qt::Window);
        new TChartFollower(*mtpf, window);
    }
    window->Refresh();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void AddFiscalChartButton(TFormPF &form, QBoxLayout *buttons)
{
    auto *button = new QPushButton(QStringLiteral("Wy&kres"), &form);
    button->setObjectName(QStringLiteral("BBWykres"));
    QWidget *close = form.findChild<QPushButton *>(QStringLiteral("BBZamknij"));
    const int at = close ? buttons->indexOf(close) : -1;
    buttons->insertWidget(at < 0 ? buttons->count() : at, button);
    QObject::connect(button, &QPushButton::clicked, &form, [f = &form] { ShowFiscalChart(*f); });
}
