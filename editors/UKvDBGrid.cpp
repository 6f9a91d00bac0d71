#include "editors/UKvDBGrid.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <QValidator>
#include <algorithm>
#include <unordered_set>

namespace {

// The cell editor's rules: at most the field's size (typing stops there,
// a longer paste is refused and said), and the edit mask ">...": letters
// forced to upper case as they are typed.
class TCellValidator : public QValidator {
public:
    TCellValidator(QLineEdit *edit, int maxLength, bool upper, std::function<void(int)> tooLong)
        : QValidator(edit), m_max(maxLength), m_upper(upper), m_tooLong(std::move(tooLong))
    {
        connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) { m_length = int(text.size()); });
    }
    State validate(QString &input, int &) const override
    {
        if (m_upper)
            input = input.toUpper();
        if (m_max <= 0 || input.size() <= m_max)
            return Acceptable;
        // More than one character at once is a paste or a drop.
        if (input.size() > m_length + 1 && m_tooLong)
            m_tooLong(int(input.size()));
        return Invalid;
    }

private:
    int m_max;
    bool m_upper;
    std::function<void(int)> m_tooLong;
    int m_length = 0; // the text before the change
};

const char *const ReplaceProperty = "kvReplaceOnType";

// An editor that holds the cell's text as it opened: typing replaces it.
bool Replacing(const QObject *editor)
{
    return editor->property(ReplaceProperty).toBool();
}

// F2 and a double-click: the cursor at the end of the text, to edit it.
void EditAtEnd(QLineEdit *edit)
{
    edit->setProperty(ReplaceProperty, false);
    edit->deselect();
    edit->end(false);
}

bool PlainEnter(const QKeyEvent *e)
{
    return (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
           && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool CtrlEnter(const QKeyEvent *e)
{
    return (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && (e->modifiers() & Qt::ControlModifier);
}

} // namespace

// ------------------------------------------------------------ TGridDelegate

TGridDelegate::TGridDelegate(TKvDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

QWidget *TGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    TTableModel *model = m_grid->Model();
    if (!model)
        return QStyledItemDelegate::createEditor(parent, option, index);
    const TGridColumn &column = model->Column(index.column());
    if (!column.PickList.isEmpty()) {
        auto *combo = new QComboBox(parent);
        combo->addItems(column.PickList);
        combo->setFrame(false);
        return combo;
    }
    auto *edit = new QLineEdit(parent);
    edit->setFrame(false);
    const TField &field = model->FieldOf(index.column());
    const int size = field.DataType() == TFieldType::String ? field.Size() : 0;
    const int columnIndex = index.column();
    QPointer<TTableModel> owner(model);
    const auto tooLong = [edit, owner, columnIndex](int length) {
        // Said once the paste is undone, not from inside the editor's change.
        QTimer::singleShot(0, edit, [owner, columnIndex, length] {
            if (owner && owner->Messages())
                owner->Messages()->Error(owner->TooLongMessage(columnIndex, length));
        });
    };
    edit->setValidator(new TCellValidator(edit, size, field.EditMask().startsWith(u'>'), tooLong));
    // The text is selected as the editor opens; once the user types, the
    // mouse places the cursor again.
    edit->setProperty(ReplaceProperty, true);
    connect(edit, &QLineEdit::textEdited, edit, [edit] { edit->setProperty(ReplaceProperty, false); });
    return edit;
}

void TGridDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                         const QModelIndex &index) const
{
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    // A drop-down list shows its longest choice whole, even in a narrow column.
    if (auto *combo = qobject_cast<QComboBox *>(editor))
        if (combo->width() < combo->sizeHint().width())
            combo->resize(combo->sizeHint().width(), combo->height());
}

void TGridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        combo->setCurrentIndex(combo->findText(index.data(Qt::EditRole).toString()));
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void TGridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        if (combo->currentIndex() >= 0)
            model->setData(index, combo->currentText(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

bool TGridDelegate::eventFilter(QObject *object, QEvent *event)
{
    auto *editor = qobject_cast<QWidget *>(object);
    if (auto *edit = qobject_cast<QLineEdit *>(object)) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            // A click into the cell keeps its text selected for typing over.
            if (const auto *mouse = static_cast<QMouseEvent *>(event);
                Replacing(edit) && mouse->modifiers() == Qt::NoModifier
                && (mouse->button() == Qt::LeftButton || (mouse->buttons() & Qt::LeftButton))) {
                edit->setFocus(Qt::MouseFocusReason);
                edit->selectAll();
                return true;
            }
            break;
        case QEvent::MouseButtonDblClick:
            EditAtEnd(edit);
            return true;
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_F2) {
                EditAtEnd(edit);
                return true;
            }
            break;
        default:
            break;
        }
    }
    if (editor && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (CtrlEnter(key))
            return true; // the editor is open already
        if (PlainEnter(key) && m_grid->Model() && !m_grid->Model()->ReadOnly()) {
            // Enter takes the text and adds a record, as in the grid.
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
            emit m_grid->AddRequested();
            return true;
        }
        if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier) {
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
            emit m_grid->InsertRequested();
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

// ---------------------------------------------------------------- TKvDBGrid

TKvDBGrid::TKvDBGrid(QWidget *parent) : QTableView(parent)
{
    setItemDelegate(new TGridDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setShowGrid(true);
    // Fixed row heights keep 9999 rows quick to open and scroll.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("WW")));
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TKvDBGrid::TitleClicked);
    SetAlwaysShowEditor(false);
}

TKvDBGrid::~TKvDBGrid()
{
    // The model goes before the view's own teardown: it detaches from the table.
    if (m_model) {
        TTableModel *model = m_model;
        m_model = nullptr;
        setModel(nullptr);
        delete model;
    }
}

void TKvDBGrid::SetTable(TRxMemoryData &table, const QList<TGridColumn> &columns)
{
    TTableModel *old = m_model;
    m_model = new TTableModel(table, columns, this);
    if (old)
        m_model->SetMessages(old->Messages());
    setModel(m_model);
    delete old;
    connect(m_model, &TTableModel::CurrentRowChanged, this, &TKvDBGrid::FollowTable);
    // Bulk work on the table (a check, a file write, a sort) resets the
    // model; the selected records stay selected.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_keptSelection = SelectedRows(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, &TKvDBGrid::RestoreSelection);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &TKvDBGrid::SelectionChanged);
    ApplyDefaultWidths();
    FollowTable(m_model->CurrentViewRow());
}

void TKvDBGrid::ApplyDefaultWidths()
{
    if (!m_model)
        return;
    // Texts are often in capitals; numbers are digits.
    const int letterWidth = fontMetrics().horizontalAdvance(QStringLiteral("NNNNNNNNNN")) / 10;
    const int digitWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) / 10;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const TGridColumn &column = m_model->Column(c);
        int width = column.Width;
        if (width <= 0) {
            const TField &field = m_model->FieldOf(c);
            const bool text = field.DataType() == TFieldType::String && field.Alignment() == TAlignment::Left;
            int chars = field.DisplayWidth();
            if (chars <= 0)
                chars = field.DataType() == TFieldType::String ? qMax(field.Size(), 4) : 12;
            width = chars * (text ? letterWidth : digitWidth) + 12;
            const QString title = m_model->headerData(c, Qt::Horizontal).toString();
            width = qMax(width, fontMetrics().horizontalAdvance(title) + 16);
        }
        setColumnWidth(c, width);
    }
}

void TKvDBGrid::SetReadOnly(bool readOnly)
{
    if (m_model)
        m_model->SetReadOnly(readOnly);
    SetAlwaysShowEditor(m_always);
}

void TKvDBGrid::SetMultiSelect(bool multi)
{
    m_multi = multi;
    setSelectionMode(multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    setSelectionBehavior(multi ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void TKvDBGrid::SetAlwaysShowEditor(bool always)
{
    m_always = always;
    if (m_model && m_model->ReadOnly()) {
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        return;
    }
    EditTriggers triggers = QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                            | QAbstractItemView::EditKeyPressed;
    if (always)
        triggers |= QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked;
    setEditTriggers(triggers);
}

void TKvDBGrid::SetMessages(IMessages *messages)
{
    if (m_model)
        m_model->SetMessages(messages);
}

void TKvDBGrid::SetPickList(const QString &fieldName, const QStringList &items)
{
    if (!m_model)
        return;
    const int c = m_model->ColumnOfField(fieldName);
    if (c >= 0)
        m_model->Columns()[c].PickList = items;
}

TRxMemoryData *TKvDBGrid::Table() const
{
    return m_model ? &m_model->Table() : nullptr;
}

void TKvDBGrid::FollowTable(int viewRow)
{
    if (!m_model || viewRow < 0 || viewRow >= m_model->rowCount())
        return;
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() == viewRow)
        return;
    int column = current.isValid() ? current.column() : horizontalHeader()->logicalIndex(0);
    if (column < 0)
        column = 0;
    SetCurrentQuietly(m_model->index(viewRow, column));
}

void TKvDBGrid::SetCurrentQuietly(const QModelIndex &target)
{
    // An editor still open belongs to where the cursor was; the commands
    // took its text before they moved the table. No editor opens here
    // either: the new record's fields may not be filled in yet.
    if (Editing())
        if (QWidget *editor = indexWidget(currentIndex()))
            closeEditor(editor, QAbstractItemDelegate::NoHint);
    const EditTriggers triggers = editTriggers();
    setEditTriggers(triggers & ~QAbstractItemView::CurrentChanged);
    m_following = true;
    selectionModel()->setCurrentIndex(target, m_multi ? QItemSelectionModel::NoUpdate : QItemSelectionModel::ClearAndSelect);
    m_following = false;
    setEditTriggers(triggers);
    scrollTo(target);
}

void TKvDBGrid::FocusField(const QString &fieldName, bool openEditor)
{
    if (!m_model)
        return;
    const int column = m_model->ColumnOfField(fieldName);
    const int row = m_model->CurrentViewRow();
    if (column < 0 || row < 0)
        return;
    const QModelIndex target = m_model->index(row, column);
    SetCurrentQuietly(target);
    setFocus();
    if (openEditor && (m_model->flags(target) & Qt::ItemIsEditable) && state() != QAbstractItemView::EditingState)
        edit(target);
}

void TKvDBGrid::CommitEditor()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    if (QWidget *editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void TKvDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // The base class commits an open editor to the previous cell first.
    QTableView::currentChanged(current, previous);
    if (m_following || !m_model || !current.isValid())
        return;
    if (previous.isValid() && previous.row() == current.row())
        return;
    const int wanted = current.row();
    if (!m_model->MoveToRow(wanted)) {
        // The pending record was refused: back to the cell the user left,
        // with the cursor in it.
        const int row = m_model->CurrentViewRow();
        const QModelIndex back = previous.isValid() && previous.row() == row ? previous
                                                                              : m_model->index(row, current.column());
        SetCurrentQuietly(back);
        // The message box had the keyboard; it comes back to this window.
        activateWindow();
        setFocus();
        if (m_model->flags(back) & Qt::ItemIsEditable)
            QTableView::edit(back);
    }
}

bool TKvDBGrid::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (!QTableView::edit(index, trigger, event))
        return false;
    // F2 and a double-click edit the text where it ends; other ways in
    // select it for typing over.
    if (trigger == QAbstractItemView::EditKeyPressed || trigger == QAbstractItemView::DoubleClicked)
        if (auto *line = qobject_cast<QLineEdit *>(indexWidget(index)))
            EditAtEnd(line);
    return true;
}

void TKvDBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    const bool next = hint == QAbstractItemDelegate::EditNextItem;
    if (!next && hint != QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, hint);
        return;
    }
    // Tab and Shift+Tab out of an editor: a move as by the keys, which
    // selects no row where the user selects rows, and opens no editor
    // when the record was refused and the cursor stayed.
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    const QPersistentModelIndex target = moveCursor(next ? MoveNext : MovePrevious, Qt::NoModifier);
    if (!target.isValid())
        return;
    selectionModel()->setCurrentIndex(target, m_multi ? QItemSelectionModel::Clear : QItemSelectionModel::ClearAndSelect);
    if (currentIndex() == target && (target.flags() & Qt::ItemIsEditable) && !(editTriggers() & CurrentChanged))
        QTableView::edit(target);
}

QItemSelectionModel::SelectionFlags TKvDBGrid::selectionCommand(const QModelIndex &index, const QEvent *event) const
{
    if (!m_multi || !event)
        return QTableView::selectionCommand(index, event);
    // Rows are selected only with Ctrl or Shift; a plain click or move
    // clears the selection and leaves just the current row.
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::MouseButtonDblClick:
        modifiers = static_cast<const QInputEvent *>(event)->modifiers();
        break;
    case QEvent::KeyPress: {
        const auto *key = static_cast<const QKeyEvent *>(event);
        modifiers = key->modifiers();
        if (key->matches(QKeySequence::SelectAll))
            return QTableView::selectionCommand(index, event);
        // Shift+Tab moves back a cell; it selects nothing.
        if (key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Tab)
            modifiers &= ~Qt::ShiftModifier;
        break;
    }
    default:
        return QTableView::selectionCommand(index, event);
    }
    if (modifiers & (Qt::ControlModifier | Qt::ShiftModifier))
        return QTableView::selectionCommand(index, event);
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonRelease)
        return QItemSelectionModel::NoUpdate;
    return QItemSelectionModel::Clear;
}

void TKvDBGrid::SelectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    if (!m_model || !m_multi)
        return;
    // The selection is kept as records, in the order they were selected.
    const TRxMemoryData &table = m_model->Table();
    std::unordered_set<TBookmark> gone;
    for (const QItemSelectionRange &range : deselected)
        for (int row = range.top(); row <= range.bottom(); ++row)
            gone.insert(table.BookmarkAt(m_model->TableRowOf(row)));
    if (!gone.empty())
        m_selectionOrder.erase(std::remove_if(m_selectionOrder.begin(), m_selectionOrder.end(),
                                              [&gone](TBookmark b) { return gone.count(b) > 0; }),
                               m_selectionOrder.end());
    std::unordered_set<TBookmark> known(m_selectionOrder.begin(), m_selectionOrder.end());
    for (const QItemSelectionRange &range : selected) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const TBookmark b = table.BookmarkAt(m_model->TableRowOf(row));
            if (b != NoBookmark && known.insert(b).second)
                m_selectionOrder.push_back(b);
        }
    }
}

void TKvDBGrid::RestoreSelection()
{
    std::vector<TBookmark> kept;
    kept.swap(m_keptSelection);
    m_selectionOrder.clear();
    if (!m_model || !m_multi || kept.empty())
        return;
    QItemSelection selection;
    const int lastColumn = m_model->columnCount() - 1;
    for (TBookmark b : kept) {
        const int row = m_model->ViewRowOfTable(m_model->Table().RowOfBookmark(b));
        if (row < 0)
            continue;
        selection.select(m_model->index(row, 0), m_model->index(row, lastColumn));
        m_selectionOrder.push_back(b);
    }
    selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

std::vector<TBookmark> TKvDBGrid::SelectedRows() const
{
    std::vector<TBookmark> rows;
    if (!m_model || !m_multi)
        return rows;
    const TRxMemoryData &table = m_model->Table();
    for (TBookmark b : m_selectionOrder)
        if (table.BookmarkValid(b))
            rows.push_back(b);
    return rows;
}

void TKvDBGrid::keyPressEvent(QKeyEvent *event)
{
    const bool editable = m_model && !m_model->ReadOnly();
    if (PlainEnter(event) && editable) {
        emit AddRequested();
        return;
    }
    if (CtrlEnter(event)) {
        if (editable && currentIndex().isValid())
            edit(currentIndex());
        return;
    }
    if (editable && event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        emit InsertRequested();
        return;
    }
    if (editable && event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        emit DeleteRequested();
        return;
    }
    if (event->key() == Qt::Key_Escape && m_model && m_model->Table().State() != TDataSetState::Browse) {
        m_model->Table().Cancel();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TKvDBGrid::TitleClicked(int section)
{
    if (!m_model)
        return;
    CommitEditor();
    m_model->sort(section, Qt::AscendingOrder);
}

QString TKvDBGrid::ColumnsLayout() const
{
    QStringList parts;
    if (!m_model)
        return QString();
    const QHeaderView *header = horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        parts << m_model->Column(logical).FieldName + u':' + QString::number(header->sectionSize(logical));
    }
    return parts.join(u',');
}

void TKvDBGrid::SetColumnsLayout(const QString &layout)
{
    if (!m_model)
        return;
    QHeaderView *header = horizontalHeader();
    int position = 0;
    for (const QString &part : layout.split(u',', Qt::SkipEmptyParts)) {
        const QStringList pair = part.trimmed().split(u':');
        const int logical = m_model->ColumnOfField(pair.value(0));
        if (logical < 0)
            continue; // a field this grid does not show
        bool ok = false;
        const int width = pair.value(1).toInt(&ok);
        if (ok && width >= 8 && width <= 2000)
            header->resizeSection(logical, width);
        const int from = header->visualIndex(logical);
        if (from < position)
            continue; // named twice
        if (from > position)
            header->moveSection(from, position);
        ++position;
    }
}

void TKvDBGrid::SaveLayout(const QString &placementFile, const QString &section, const QString &property) const
{
    QSettings ini(placementFile, QSettings::IniFormat);
    ini.beginGroup(section);
    ini.setValue(property, ColumnsLayout());
    ini.endGroup();
    ini.sync();
}

void TKvDBGrid::RestoreLayout(const QString &placementFile, const QString &section, const QString &property)
{
    QSettings ini(placementFile, QSettings::IniFormat);
    ini.beginGroup(section);
    const QVariant value = ini.value(property);
    ini.endGroup();
    // An unquoted value with commas comes back as a list.
    const QString layout = value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',') : value.toString();
    if (!layout.isEmpty())
        SetColumnsLayout(layout);
}
