#include "editors/UFindBar.h"

#include "data/UErrors.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

TFindBar::TFindBar(QWidget *parent) : QToolBar(parent), m_edit(new QLineEdit(this)), m_count(new QLabel(this))
{
    setObjectName(QStringLiteral("TBSzukaj"));
    setWindowTitle(QStringLiteral("Szukaj"));
    setMovable(false);
    setFloatable(false);
    addWidget(new QLabel(QStringLiteral("Szukaj: "), this));
    m_edit->setObjectName(QStringLiteral("EdSzukaj"));
    m_edit->setPlaceholderText(QStringLiteral("numer lub nazwa"));
    m_edit->setClearButtonEnabled(true);
    m_edit->setMaximumWidth(260);
    m_edit->installEventFilter(this);
    addWidget(m_edit);
    QAction *previous = addAction(QStringLiteral("Poprzedni"), this, &TFindBar::FindPrevious);
    previous->setObjectName(QStringLiteral("BBPoprzedni"));
    previous->setToolTip(QStringLiteral("Poprzedni (Shift+F3)"));
    QAction *next = addAction(QStringLiteral("Następny"), this, &TFindBar::FindNext);
    next->setObjectName(QStringLiteral("BBNastepny"));
    next->setToolTip(QStringLiteral("Następny (F3)"));
    m_count->setObjectName(QStringLiteral("LbZnalezione"));
    m_count->setMinimumWidth(120);
    m_count->setContentsMargins(8, 0, 0, 0);
    addWidget(m_count);
    QAction *close = addAction(QStringLiteral("Zamknij"), this, &TFindBar::Close);
    close->setObjectName(QStringLiteral("BBZamknijSzukaj"));
    close->setToolTip(QStringLiteral("Zamknij (Esc)"));
    connect(m_edit, &QLineEdit::textEdited, this, &TFindBar::TextEdited);
    hide();
}

TFindBar::~TFindBar() = default;

void TFindBar::Attach(TRxMemoryData &table, QTableView *grid)
{
    m_grid = grid;
    m_find = std::make_unique<TTableFind>(table);
}

void TFindBar::Open()
{
    show();
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
    if (m_find && !m_edit->text().isEmpty())
        ShowState();
}

void TFindBar::Close()
{
    hide();
    if (m_grid)
        m_grid->setFocus(Qt::OtherFocusReason);
}

void TFindBar::Run(const std::function<bool()> &step)
{
    if (!m_find)
        return;
    try {
        if (step())
            SelectFoundRow();
    } catch (const Exception &e) {
        if (OnError)
            OnError(e.Message());
    }
    ShowState();
}

void TFindBar::SelectFoundRow()
{
    // The grid follows the table's cursor; the found row is selected whole,
    // so it stands out as more than the row header's arrow.
    if (!m_grid || !m_grid->model() || !m_grid->currentIndex().isValid())
        return;
    const int row = m_grid->currentIndex().row();
    const QItemSelection line(m_grid->model()->index(row, 0),
                              m_grid->model()->index(row, m_grid->model()->columnCount() - 1));
    m_grid->selectionModel()->select(line, QItemSelectionModel::ClearAndSelect);
}

void TFindBar::TextEdited(const QString &text)
{
    Run([&] { return m_find->SetText(text); });
}

void TFindBar::Search(const QString &text)
{
    if (isHidden())
        Open();
    m_edit->setText(text);
    TextEdited(text);
}

void TFindBar::FindNext()
{
    if (isHidden())
        Open();
    Run([this] { return m_find->Next(); });
}

void TFindBar::FindPrevious()
{
    if (isHidden())
        Open();
    Run([this] { return m_find->Previous(); });
}

void TFindBar::ShowState()
{
    const bool none = m_find->NoMatch();
    if (m_edit->text().isEmpty())
        m_count->clear();
    else if (none)
        m_count->setText(QStringLiteral("Nie znaleziono"));
    else
        m_count->setText(QStringLiteral("Znalezione: %1").arg(m_find->MatchCount()));
    // No match: the field turns red and the current row stays where it was.
    m_edit->setStyleSheet(none ? QStringLiteral("QLineEdit { background: #ffb0b0; }") : QString());
    if (m_grid && m_grid->currentIndex().isValid())
        m_grid->scrollTo(m_grid->currentIndex());
}

bool TFindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Escape:
            Close();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Down:
            (key->modifiers() & Qt::ShiftModifier) ? FindPrevious() : FindNext();
            return true;
        case Qt::Key_Up:
            FindPrevious();
            return true;
        default:
            break;
        }
    }
    return QToolBar::eventFilter(watched, event);
}
