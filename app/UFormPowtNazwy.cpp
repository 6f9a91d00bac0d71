#include "app/UFormPowtNazwy.h"

#include "editors/UEditorEnv.h"
#include "data/UErrors.h"
#include "data/UPowtNazwy.h"

#include <QAction>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStyle>

#include <algorithm>

namespace {
const QString LayoutProperty = QStringLiteral("GridPowtNazwy.Columns");

TGridColumn Col(const char *field, const char *title = nullptr)
{
    TGridColumn c;
    c.FieldName = QString::fromLatin1(field);
    if (title)
        c.Title = QString::fromUtf8(title);
    c.ReadOnly = true;
    return c;
}
} // namespace

TFormPowtNazwy::TFormPowtNazwy(QWidget *parent) : QMainWindow(parent), m_grid(new TKvDBGrid(this))
{
    setObjectName(QStringLiteral("FormPowtNazwy"));
    setWindowTitle(QStringLiteral("Powtarzające się nazwy"));
    m_grid->setObjectName(QStringLiteral("GridPowtNazwy"));
    setCentralWidget(m_grid);
    resize(520, 300);
    QAction *refresh = menuBar()->addAction(QStringLiteral("&Odśwież"));
    refresh->setObjectName(QStringLiteral("MIOdswiez"));
    connect(refresh, &QAction::triggered, this, &TFormPowtNazwy::Refresh);
    // A double-click, or Enter, on a row.
    connect(m_grid, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        if (index.isValid())
            OpenRow(index.row());
    });
}

void TFormPowtNazwy::Attach(TDM &dm, IMessages *messages, QWidget *formGrupy, QWidget *formKody)
{
    m_dm = &dm;
    m_messages = messages;
    m_formGrupy = formGrupy;
    m_formKody = formKody;
    m_grid->SetTable(dm.MDPowtNazwy, {Col("Nazwa"), Col("NazwaInt", "widziana jako"), Col("Etykieta", "Nr/Kod"),
                                      Col("Gdzie")});
    m_grid->Model()->SetReadOnly(true);
    m_grid->SetReadOnly(true);
    m_grid->SetMessages(messages);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    if (!m_pendingLayout.isEmpty())
        m_grid->SetColumnsLayout(m_pendingLayout);
    m_pendingLayout.clear();
}

void TFormPowtNazwy::Refresh()
{
    if (!m_dm)
        return;
    try {
        FindDuplicateNames(*m_dm, m_dm->LastDupScope != 0 ? m_dm->LastDupScope : DupScopeBoth);
    } catch (const Exception &e) {
        if (m_messages)
            m_messages->Error(e.Message());
    }
}

QWidget *TFormPowtNazwy::OpenRow(int viewRow)
{
    if (!m_dm || !m_grid->Model())
        return nullptr;
    const int row = m_grid->Model()->TableRowOf(viewRow);
    TRxMemoryData &result = m_dm->MDPowtNazwy;
    if (row < 0 || row >= result.RecordCount())
        return nullptr;
    const TField &nrTabeli = result.FieldByName(QStringLiteral("NrTabeli"));
    const bool code = nrTabeli.ValueAt(row) == TFieldValue(std::int64_t(1));
    QWidget *editor = code ? m_formKody : m_formGrupy;
    try {
        if (code) {
            const TFieldValue key = result.FieldByName(QStringLiteral("KodWTabeli")).ValueAt(row);
            if (const auto *text = std::get_if<QString>(&key))
                m_dm->MDKody.Locate(QStringLiteral("Numer"), *text);
        } else {
            const TFieldValue key = result.FieldByName(QStringLiteral("NrWTabeli")).ValueAt(row);
            if (const auto *number = std::get_if<std::int64_t>(&key))
                m_dm->MDGrupy.Locate(QStringLiteral("Numer"), qlonglong(*number));
        }
    } catch (const Exception &e) {
        // The editor's pending record was refused; it is shown all the same.
        if (m_messages)
            m_messages->Error(e.Message());
    }
    BringForward(editor);
    return editor;
}

void TFormPowtNazwy::ShowDuplicates()
{
    if (!isVisible())
        WidenToColumns();
    BringForward(this);
}

void TFormPowtNazwy::WidenToColumns()
{
    int columns = 0;
    for (int c = 0; c < m_grid->horizontalHeader()->count(); ++c)
        if (!m_grid->isColumnHidden(c))
            columns += m_grid->columnWidth(c);
    const int wanted = columns + m_grid->verticalHeader()->sizeHint().width() + 2 * m_grid->frameWidth() +
                       m_grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_grid);
    const int room = screen() ? screen()->availableGeometry().width() : wanted;
    // The grid is the window's whole width.
    resize(std::max(width(), std::min(wanted, room)), height());
}

void TFormPowtNazwy::SaveExtras(const QString &placementFile, const QString &section) const
{
    if (m_grid->Model())
        m_grid->SaveLayout(placementFile, section, LayoutProperty);
}

void TFormPowtNazwy::RestoreExtras(const QString &placementFile, const QString &section)
{
    if (m_grid->Model()) {
        m_grid->RestoreLayout(placementFile, section, LayoutProperty);
        return;
    }
    QSettings ini(placementFile, QSettings::IniFormat);
    const QVariant value = ini.value(section + u'/' + LayoutProperty);
    m_pendingLayout = value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',') : value.toString();
}
