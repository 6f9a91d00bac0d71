#include "editors/UTableModel.h"

#include "data/UErrors.h"

QColor CheckResultColor(CheckResult result)
{
    switch (result) {
    case CheckResult::ZeroCode:
        return QColor(255, 128, 0);
    case CheckResult::DepositGroup:
        return QColor(0, 255, 255);
    case CheckResult::Error:
        return QColor(255, 0, 0);
    case CheckResult::Normal:
        break;
    }
    return QColor();
}

TTableModel::TTableModel(TRxMemoryData &table, const QList<TGridColumn> &columns, QObject *parent)
    : QAbstractTableModel(parent), m_table(&table), m_columns(columns)
{
    for (const TGridColumn &c : m_columns)
        m_fields.push_back(&table.FieldByName(c.FieldName));
    m_bufferRow = table.InsertRow();
    m_rows = table.RecordCount() + (m_bufferRow >= 0 ? 1 : 0);
    table.AddObserver(this);
}

TTableModel::~TTableModel()
{
    m_table->RemoveObserver(this);
}

int TTableModel::ColumnOfField(const QString &fieldName) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].FieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TTableModel::SetRecordCheck(std::function<CheckResult(int row)> check)
{
    m_check = std::move(check);
    InvalidateColors();
}

void TTableModel::InvalidateColors()
{
    m_colors.clear();
    if (m_rows > 0 && !m_columns.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows - 1, int(m_columns.size()) - 1), {Qt::BackgroundRole});
}

void TTableModel::SetKeyField(const QString &fieldName)
{
    m_key = fieldName.isEmpty() ? nullptr : &m_table->FieldByName(fieldName);
    KeysChanged();
}

QString TTableModel::KeyAt(int tableRow) const
{
    const bool buffer = tableRow < 0 || (m_table->State() == TDataSetState::Edit && tableRow == m_table->CurrentRow());
    const TFieldValue &value = buffer ? m_key->Value() : m_key->ValueAt(tableRow);
    return std::holds_alternative<std::monostate>(value) ? QString() : KeyText(*m_key, value);
}

const QSet<QString> &TTableModel::RepeatedKeys() const
{
    if (m_keysValid)
        return m_repeated;
    QSet<QString> seen;
    m_repeated.clear();
    const auto count = [&](const QString &key) {
        if (key.isEmpty())
            return;
        if (seen.contains(key))
            m_repeated.insert(key);
        else
            seen.insert(key);
    };
    for (int row = 0; row < m_table->RecordCount(); ++row)
        count(KeyAt(row));
    if (m_table->State() == TDataSetState::Insert)
        count(KeyAt(-1));
    m_keysValid = true;
    return m_repeated;
}

void TTableModel::KeysChanged()
{
    m_keysValid = false;
    if (!m_key || m_repaintQueued)
        return;
    // A new repeat colours a record the change did not touch: the view
    // hears of it once the change is over.
    m_repaintQueued = true;
    QMetaObject::invokeMethod(this, &TTableModel::RepaintRepeatedKeys, Qt::QueuedConnection);
}

void TTableModel::RepaintRepeatedKeys()
{
    m_repaintQueued = false;
    if (!m_key || RepeatedKeys() == m_shownRepeated)
        return;
    m_shownRepeated = RepeatedKeys();
    if (m_rows > 0 && !m_columns.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows - 1, int(m_columns.size()) - 1), {Qt::BackgroundRole});
}

int TTableModel::TableRowOf(int viewRow) const
{
    if (m_bufferRow < 0 || viewRow < m_bufferRow)
        return viewRow;
    return viewRow == m_bufferRow ? -1 : viewRow - 1;
}

int TTableModel::ViewRowOfTable(int tableRow) const
{
    if (tableRow < 0)
        return -1;
    if (m_bufferRow < 0 || tableRow < m_bufferRow)
        return tableRow;
    return tableRow + 1;
}

int TTableModel::CurrentViewRow() const
{
    if (m_bufferRow >= 0)
        return m_bufferRow;
    return ViewRowOfTable(m_table->CurrentRow());
}

CheckResult TTableModel::RowCheck(int viewRow) const
{
    if (viewRow < 0 || viewRow >= m_rows)
        return CheckResult::Normal;
    if (m_key) {
        const QString key = KeyAt(TableRowOf(viewRow));
        if (!key.isEmpty() && RepeatedKeys().contains(key))
            return CheckResult::Error;
    }
    return RecordCheckAt(viewRow);
}

CheckResult TTableModel::RecordCheckAt(int viewRow) const
{
    if (!m_check)
        return CheckResult::Normal;
    const auto checked = [this](int row) {
        try {
            return m_check(row);
        } catch (...) {
            return CheckResult::Error;
        }
    };
    const int tableRow = TableRowOf(viewRow);
    // The record being edited is checked as it stands in the edit buffer.
    if (tableRow < 0 || (m_table->State() == TDataSetState::Edit && tableRow == m_table->CurrentRow()))
        return checked(CurrentRecord);
    const TBookmark bookmark = m_table->BookmarkAt(tableRow);
    if (bookmark == NoBookmark)
        return CheckResult::Normal;
    const auto cached = m_colors.find(bookmark);
    if (cached != m_colors.end())
        return cached->second;
    const CheckResult result = checked(tableRow);
    m_colors.emplace(bookmark, result);
    return result;
}

int TTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= m_columns.size())
        return QVariant();
    const TField &field = *m_fields[size_t(index.column())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const bool display = role == Qt::DisplayRole;
        const int tableRow = TableRowOf(index.row());
        try {
            const bool current = tableRow < 0
                                 || (m_table->State() == TDataSetState::Edit && tableRow == m_table->CurrentRow());
            if (current)
                return display ? field.DisplayText() : field.Text();
            return display ? field.DisplayTextAt(tableRow) : field.TextAt(tableRow);
        } catch (...) {
            return QString(); // a stored value the conversion cannot show
        }
    }
    case Qt::TextAlignmentRole:
        switch (field.Alignment()) {
        case TAlignment::Right:
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        case TAlignment::Center:
            return QVariant(Qt::AlignHCenter | Qt::AlignVCenter);
        case TAlignment::Left:
            return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        }
        return QVariant();
    case Qt::BackgroundRole: {
        const QColor color = CheckResultColor(RowCheck(index.row()));
        return color.isValid() ? QVariant(color) : QVariant();
    }
    default:
        return QVariant();
    }
}

QVariant TTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return QVariant();
        const TGridColumn &c = m_columns[section];
        return c.Title.isEmpty() ? m_fields[size_t(section)]->DisplayName() : c.Title;
    }
    // The row indicator: the current record, a pending insert or edit.
    if (section != CurrentViewRow())
        return QString();
    switch (m_table->State()) {
    case TDataSetState::Insert:
        return QStringLiteral("*");
    case TDataSetState::Edit:
        return QStringLiteral("I");
    case TDataSetState::Browse:
        break;
    }
    return QStringLiteral("\u25B8");
}

Qt::ItemFlags TTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!m_readOnly && !m_columns[index.column()].ReadOnly)
        f |= Qt::ItemIsEditable;
    return f;
}

QString TTableModel::TooLongMessage(int column, int length) const
{
    const TField &field = FieldOf(column);
    const int size = field.Size();
    const int tens = size % 100;
    const char *chars = size == 1                                                        ? "znak"
                        : (size % 10 >= 2 && size % 10 <= 4 && (tens < 12 || tens > 14)) ? "znaki"
                                                                                          : "znaków";
    return QStringLiteral("Za długi tekst: pole \"%1\" mieści najwyżej %2 %3, a po wklejeniu byłoby ich %4. "
                          "Tekstu nie wklejono.")
        .arg(field.DisplayName())
        .arg(size)
        .arg(QString::fromUtf8(chars))
        .arg(length);
}

void TTableModel::Show(const QString &message) const
{
    if (m_messages && !message.isEmpty())
        m_messages->Error(message);
}

bool TTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    if (index.row() != CurrentViewRow() && !MoveToRow(index.row()))
        return false;
    TField &field = *m_fields[size_t(index.column())];
    const QString text = value.toString();
    bool started = false;
    TFieldValue old;
    try {
        // An editor closed without a change is no change.
        if (m_table->State() != TDataSetState::Browse && field.Text() == text)
            return true;
        if (m_table->State() == TDataSetState::Browse) {
            if (!m_table->IsEmpty() && field.Text() == text)
                return true;
            m_table->Edit();
            started = true;
        }
        old = field.Value();
        field.SetText(text);
    } catch (const Exception &e) {
        // A refused text changes nothing: some conversions empty the field
        // before they refuse, so the old value goes back.
        try {
            if (started)
                m_table->Cancel();
            else if (m_table->State() != TDataSetState::Browse && field.Value() != old)
                field.SetValue(old);
        } catch (const Exception &) {
        }
        Show(e.Message());
        KeysChanged();
        RowDataChanged(CurrentViewRow());
        return false;
    }
    KeysChanged();
    RowDataChanged(CurrentViewRow());
    return true;
}

void TTableModel::sort(int column, Qt::SortOrder)
{
    if (column < 0 || column >= m_columns.size())
        return;
    if (!LeaveRow())
        return;
    try {
        m_table->SortOnFields({m_columns[column].FieldName});
    } catch (const Exception &e) {
        Show(e.Message());
    }
}

bool TTableModel::LeaveRow()
{
    try {
        PostOrDropPendingEdit(*m_table);
    } catch (const Exception &e) {
        Show(e.Message());
        return false;
    }
    return true;
}

bool TTableModel::MoveToRow(int viewRow)
{
    if (viewRow < 0 || viewRow >= m_rows || viewRow == CurrentViewRow())
        return true;
    const int tableRow = TableRowOf(viewRow);
    const TBookmark target = m_table->BookmarkAt(tableRow);
    if (!LeaveRow())
        return false;
    if (!m_table->GotoBookmark(target))
        return false;
    return true;
}

void TTableModel::RowDataChanged(int viewRow)
{
    if (viewRow < 0 || viewRow >= m_rows || m_columns.isEmpty())
        return;
    emit dataChanged(index(viewRow, 0), index(viewRow, int(m_columns.size()) - 1));
    emit headerDataChanged(Qt::Vertical, viewRow, viewRow);
}

void TTableModel::ResetAll()
{
    beginResetModel();
    m_bufferRow = m_table->InsertRow();
    m_rows = m_table->RecordCount() + (m_bufferRow >= 0 ? 1 : 0);
    m_colors.clear();
    endResetModel();
    emit CurrentRowChanged(CurrentViewRow());
}

void TTableModel::DataChanged(TRxMemoryData &, TDataChange change, int row)
{
    if (change != TDataChange::CursorMoved)
        KeysChanged();
    const int newBuffer = m_table->InsertRow();
    const int newRows = m_table->RecordCount() + (newBuffer >= 0 ? 1 : 0);
    switch (change) {
    case TDataChange::Reset:
        ResetAll();
        return;
    case TDataChange::StateChanged:
        if (m_bufferRow < 0 && newBuffer >= 0 && newRows == m_rows + 1) {
            beginInsertRows(QModelIndex(), newBuffer, newBuffer);
            m_bufferRow = newBuffer;
            m_rows = newRows;
            endInsertRows();
            emit headerDataChanged(Qt::Vertical, 0, m_rows - 1);
            emit CurrentRowChanged(newBuffer);
        } else if (m_bufferRow >= 0 && newBuffer < 0 && newRows == m_rows - 1) {
            beginRemoveRows(QModelIndex(), m_bufferRow, m_bufferRow);
            m_bufferRow = -1;
            m_rows = newRows;
            endRemoveRows();
            emit headerDataChanged(Qt::Vertical, 0, qMax(0, m_rows - 1));
            emit CurrentRowChanged(CurrentViewRow());
        } else if (m_bufferRow == newBuffer && m_rows == newRows) {
            RowDataChanged(CurrentViewRow());
        }
        break;
    case TDataChange::RecordInserted:
        if (m_bufferRow >= 0 && m_bufferRow == row && newBuffer < 0 && newRows == m_rows) {
            m_bufferRow = -1; // the pending row became a record
            RowDataChanged(row);
        } else if (m_bufferRow < 0 && newBuffer < 0 && newRows == m_rows + 1) {
            beginInsertRows(QModelIndex(), row, row);
            m_rows = newRows;
            endInsertRows();
        }
        if (m_bufferRow == newBuffer && m_rows == newRows)
            emit CurrentRowChanged(CurrentViewRow());
        break;
    case TDataChange::RecordChanged:
        m_colors.erase(m_table->BookmarkAt(row));
        RowDataChanged(ViewRowOfTable(row));
        break;
    case TDataChange::RecordDeleted:
        if (m_bufferRow < 0 && newBuffer < 0 && newRows == m_rows - 1) {
            beginRemoveRows(QModelIndex(), row, row);
            m_rows = newRows;
            endRemoveRows();
        }
        break;
    case TDataChange::CursorMoved:
        if (m_rows > 0)
            emit headerDataChanged(Qt::Vertical, 0, m_rows - 1);
        emit CurrentRowChanged(CurrentViewRow());
        break;
    }
    // Anything the steps above did not follow: start again from the table.
    if (m_bufferRow != newBuffer || m_rows != newRows)
        ResetAll();
}
