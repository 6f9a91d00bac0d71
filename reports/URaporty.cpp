#include "URaporty.h"

#include <QListWidget>
#include <QVBoxLayout>

TFormRaporty::TFormRaporty(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormRaporty"));
    setWindowTitle(QStringLiteral("Raporty"));
    m_tables = new QListWidget(this);
    m_tables->setObjectName(QStringLiteral("CLBTabele"));
    for (const char *name : {"Grupy", "Kody", "Kaucje"}) {
        auto *item = new QListWidgetItem(QString::fromUtf8(name), m_tables);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Checked);
    }
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tables);
}

void TFormRaporty::SetDepositsItemEnabled(bool kaucje)
{
    QListWidgetItem *item = m_tables->item(2);
    if (kaucje) {
        item->setFlags(item->flags() | Qt::ItemIsEnabled);
    } else {
        item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
        item->setCheckState(Qt::Unchecked);
    }
}

bool TFormRaporty::DepositsItemEnabled() const
{
    return m_tables->item(2)->flags().testFlag(Qt::ItemIsEnabled);
}

bool TFormRaporty::DepositsItemChecked() const
{
    return m_tables->item(2)->checkState() == Qt::Checked;
}
