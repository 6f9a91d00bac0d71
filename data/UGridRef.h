#pragma once
// What the data core knows of a grid (its table and selected rows) and of
// the front end's question before editor tables are replaced. Tests use
// the window-free implementations.
#include "data/URxMemoryData.h"

#include <vector>

// A grid bound to a table.
class TDBGridRef {
public:
    virtual ~TDBGridRef() = default;
    virtual TRxMemoryData *Table() const = 0;
    // The selected rows as bookmarks, in the order the user selected them.
    virtual std::vector<TBookmark> SelectedRows() const = 0;
};

// A grid reference without a window: a table and a selection list.
class TTableGridRef : public TDBGridRef {
public:
    explicit TTableGridRef(TRxMemoryData &table, std::vector<TBookmark> selected = {})
        : m_table(&table), m_selected(std::move(selected)) {}
    TRxMemoryData *Table() const override { return m_table; }
    std::vector<TBookmark> SelectedRows() const override { return m_selected; }
    void SetSelectedRows(std::vector<TBookmark> selected) { m_selected = std::move(selected); }

private:
    TRxMemoryData *m_table;
    std::vector<TBookmark> m_selected;
};

// The answer to a question of IMessages::Ask.
// Asked before a command replaces editor tables. With changes not saved the
// program asks as it does at exit: Yes saves first, No goes on, Cancel (or
// a save that did not happen) stops. True when the command may go on.
class IUnsavedChanges {
public:
    virtual ~IUnsavedChanges() = default;
    virtual bool SaveBeforeReplacing() = 0;
};
