#include "app/USectionsDialog.h"

#include <QListWidget>
#include <QPushButton>

namespace {

void ShowSectionChecks(QListWidget *list, const TSectionChecks &checks)
{
    const QSignalBlocker block(list);
    for (int i = 0; i < SectionCount && i < list->count(); ++i) {
        QListWidgetItem *item = list->item(i);
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable | Qt::ItemIsSelectable;
        if (checks.Enabled[i])
            flags |= Qt::ItemIsEnabled;
        item->setFlags(flags);
        item->setCheckState(checks.Ticked[i] ? Qt::Checked : Qt::Unchecked);
    }
}

void ReadSectionChecks(const QListWidget *list, TSectionChecks &checks)
{
    for (int i = 0; i < SectionCount && i < list->count(); ++i)
        checks.Ticked[i] = list->item(i)->checkState() == Qt::Checked;
}

} // namespace

void TSectionsDialog::Bind(QListWidget *list, QPushButton *ok, QPushButton *cancel)
{
    m_list = list;
    m_ok = ok;
    ShowSectionChecks(m_list, m_checks);
    connect(m_list, &QListWidget::itemChanged, this, [this] { ListChanged(); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TSectionsDialog::ShowChecks()
{
    ShowSectionChecks(m_list, m_checks);
    m_ok->setEnabled(m_checks.CanConfirm());
}

void TSectionsDialog::ListChanged()
{
    ReadSectionChecks(m_list, m_checks);
    m_ok->setEnabled(m_checks.CanConfirm());
}

std::optional<TSectionSet> TSectionsDialog::RunModal()
{
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    ReadSectionChecks(m_list, m_checks);
    return m_checks.TickedSet();
}
