#pragma once
// The grid of every table window: a QTableView over TTableModel with the
// keys of the editors (Enter adds, Ctrl+Enter edits, Insert, Ctrl+Delete),
// title clicks that sort, drop-down lists, record colours, the row
// indicator, and a column layout the placement file keeps.
#include "editors/UTableModel.h"
#include "exchange/UUiHooks.h"

#include <QStyledItemDelegate>
#include <QTableView>

class TKvDBGrid;

// Cell editors: a line edit held to the field's size, or a drop-down list.
// A line edit opens with its text selected, so typing replaces it, also
// after a click into it; F2 or a double-click edits at the end instead.
class TGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TGridDelegate(TKvDBGrid *grid);
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

protected:
    bool eventFilter(QObject *editor, QEvent *event) override;

private:
    TKvDBGrid *m_grid;
};

class TKvDBGrid : public QTableView, public TDBGridRef {
    Q_OBJECT
public:
    explicit TKvDBGrid(QWidget *parent = nullptr);
    ~TKvDBGrid() override;

    // Binds the grid to a table with these columns (the grid owns the model).
    void SetTable(TRxMemoryData &table, const QList<TGridColumn> &columns);
    TTableModel *Model() const { return m_model; }

    // Options of the editors.
    void SetReadOnly(bool readOnly);
    void SetMultiSelect(bool multi);
    // The cell editor opens with the current cell (groups, deposits) or on
    // demand (codes).
    void SetAlwaysShowEditor(bool always);
    void SetMessages(IMessages *messages);
    void SetPickList(const QString &fieldName, const QStringList &items);

    // The current record's cell of a field, with the cell editor open when
    // the grid is editable.
    void FocusField(const QString &fieldName, bool openEditor = true);
    bool Editing() const { return state() == QAbstractItemView::EditingState; }
    using QTableView::edit;
    // Ends an open cell editor, taking what it holds.
    void CommitEditor();

    // TDBGridRef: the selected rows in the order the user selected them.
    TRxMemoryData *Table() const override;
    std::vector<TBookmark> SelectedRows() const override;

    // Column layout "Field:width,..." in the shown order.
    QString ColumnsLayout() const;
    void SetColumnsLayout(const QString &layout);
    void SaveLayout(const QString &placementFile, const QString &section, const QString &property) const;
    void RestoreLayout(const QString &placementFile, const QString &section, const QString &property);

signals:
    void AddRequested();
    void InsertRequested();
    void DeleteRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index, const QEvent *event = nullptr) const override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class TGridDelegate;
    void FollowTable(int viewRow);
    void SetCurrentQuietly(const QModelIndex &target);
    void TitleClicked(int section);
    void ApplyDefaultWidths();
    void SelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void RestoreSelection();

    TTableModel *m_model = nullptr;
    bool m_following = false;
    bool m_always = false;
    bool m_multi = false;
    std::vector<TBookmark> m_selectionOrder;
    std::vector<TBookmark> m_keptSelection; // across a model reset
};
