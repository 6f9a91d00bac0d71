#include "editors/UChartWindow.h"

#include "data/UOrvanIO.h"
#include "data/URecentFolders.h"

#include <QBuffer>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

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
    m_chart = new TChartWidget(this);
    layout->addWidget(m_chart, 1);
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

void TFormWykres::Refresh()
{
    const int view = CurrentView();
    m_data = view < int(m_views.size()) && m_views[size_t(view)].Build ? m_views[size_t(view)].Build() : TChartData();
    m_chart->SetData(m_data);
    m_save->setEnabled(!m_data.IsEmpty());
}

bool TFormWykres::SavePng(const QString &fileName, bool quiet)
{
    // Through the data files' save: a device or a pipe is refused and a
    // failed save keeps the earlier picture.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QString reason = m_chart->grab().save(&buffer, "PNG") ? TryReplaceFile(fileName, bytes)
                                                                    : QStringLiteral("błąd zapisu obrazu PNG");
    if (reason.isEmpty())
        return true;
    if (!quiet)
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Nie można zapisać pliku %1: %2").arg(fileName, reason));
    return false;
}
