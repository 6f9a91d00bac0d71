#pragma once
// One table model for every grid of the program: any TRxMemoryData, any
// list of its fields as columns. Texts go through the fields' get-text and
// set-text; a pending insert shows as its own row; the table's observer
// interface keeps the view in step, and bulk work arrives as one reset.
#include "data/UDM.h"
#include "data/URxMemoryData.h"
#include "exchange/UUiHooks.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QSet>
#include <QStringList>
#include <functional>
#include <unordered_map>

// One column of a grid.
struct TGridColumn {
    QString FieldName;
    QString Title;          // empty: the field's display name
    bool ReadOnly = false;
    QStringList PickList;   // drop-down choices; empty: a plain editor
    int Width = 0;          // pixels; 0: from the field's display width
};

// Cell background of a record check result; invalid for Normal.
QColor CheckResultColor(CheckResult result);

class TTableModel : public QAbstractTableModel, private TDataObserver {
    Q_OBJECT
public:
    TTableModel(TRxMemoryData &table, const QList<TGridColumn> &columns, QObject *parent = nullptr);
    ~TTableModel() override;

    TRxMemoryData &Table() const { return *m_table; }
    const TGridColumn &Column(int column) const { return m_columns.at(column); }
    QList<TGridColumn> &Columns() { return m_columns; }
    TField &FieldOf(int column) const { return *m_fields.at(column); }
    int ColumnOfField(const QString &fieldName) const; // -1 when not shown

    // Refused texts and failed posts are shown through this (when set).
    void SetMessages(IMessages *messages) { m_messages = messages; }
    IMessages *Messages() const { return m_messages; }
    // The record check that colours the cells, given a table row or
    // CurrentRecord (the record being edited); none: no colours. Painting
    // never moves the table's cursor.
    void SetRecordCheck(std::function<CheckResult(int row)> check);
    // Forgets the cached colours (the profile changed).
    void InvalidateColors();
    // Records that carry one value of this field (compared as CheckTable
    // compares keys) are all coloured as errors, the record being typed
    // included; empty: no such colours.
    void SetKeyField(const QString &fieldName);
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool ReadOnly() const { return m_readOnly; }

    // Rows of the view and of the table (they differ by the pending insert).
    int TableRowOf(int viewRow) const; // -1 for the pending insert's row
    int ViewRowOfTable(int tableRow) const;
    int PendingInsertRow() const { return m_bufferRow; }
    // The view row of the table's current record (the pending insert's row
    // while inserting); -1 when the table is empty.
    int CurrentViewRow() const;
    CheckResult RowCheck(int viewRow) const;
    // The refusal of a pasted text of this length, longer than the
    // column's field holds.
    QString TooLongMessage(int column, int length) const;

    // Leaving the current row: an untouched pending insert is dropped, any
    // other pending edit posted (PostOrDropPendingEdit). False when the post
    // failed (shown).
    bool LeaveRow();
    // Makes the table's current record the one of viewRow (leaving the
    // current row first). False when the pending edit could not be posted.
    bool MoveToRow(int viewRow);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Through the field's set-text; a refusal shows the field's message and
    // leaves the old value.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // Sorts the table on the column's field, ascending, ignoring case.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    // The table's cursor moved to this view row (by a command, not the view).
    void CurrentRowChanged(int viewRow);

private:
    void DataChanged(TRxMemoryData &table, TDataChange change, int row) override;
    void ResetAll();
    void Show(const QString &message) const;
    void RowDataChanged(int viewRow);
    CheckResult RecordCheckAt(int viewRow) const;
    QString KeyAt(int tableRow) const; // -1: the pending insert
    const QSet<QString> &RepeatedKeys() const;
    void KeysChanged();
    void RepaintRepeatedKeys();

    TRxMemoryData *m_table;
    QList<TGridColumn> m_columns;
    std::vector<TField *> m_fields;
    IMessages *m_messages = nullptr;
    std::function<CheckResult(int row)> m_check;
    mutable std::unordered_map<TBookmark, CheckResult> m_colors;
    const TField *m_key = nullptr;
    mutable QSet<QString> m_repeated;
    mutable bool m_keysValid = false;
    QSet<QString> m_shownRepeated; // what the view was last told
    bool m_repaintQueued = false;
    bool m_readOnly = false;
    int m_rows = 0;       // rows the view knows of
    int m_bufferRow = -1; // view row of the pending insert
};
