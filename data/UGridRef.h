#pragma once
// What the data core knows of a grid: its table and selected rows. Tests
// use the window-free implementation.
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
