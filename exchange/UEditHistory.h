#pragma once
// Undo and redo of an editor table: every posted change of a record, every
// posted new record (Add, Insert), a delete of one or several rows as one
// step and "delete all". Each step holds the records it changed, so an
// undo restores them, their order and the current row without copying the
// table. A load or a read replaces the table: the history is cleared.
//
// QUndoStack lives in QtGui, and this library stays QtCore only (it is
// also built for the console and the sanitizer run), hence a small own
// history; the window only calls Undo and Redo.
#include "data/UDM.h"

#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class TEditHistory : public TDataObserver {
public:
    static constexpr int DefaultLimit = 1000;

    TEditHistory(TDM &dm, TRxMemoryData &table, int limit = DefaultLimit);
    ~TEditHistory() override;
    TEditHistory(const TEditHistory &) = delete;
    TEditHistory &operator=(const TEditHistory &) = delete;

    bool CanUndo() const;
    bool CanRedo() const { return m_index < int(m_steps.size()); }
    int UndoCount() const { return m_index; }
    int RedoCount() const { return int(m_steps.size()) - m_index; }
    // A pending edit or new row is dropped first (that is the undo when
    // one is open). A refused re-post leaves the step where it was.
    void Undo();
    void Redo();
    void Clear();

    // The delete commands run through here so that they can be undone.
    // Rows given by bookmark (unknown ones skipped), as one step.
    int DeleteRecords(const std::vector<TBookmark> &bookmarks);
    // empty() asks and empties the table; the step is kept when it did.
    bool DeleteAll(const std::function<bool()> &empty);
    // A change of many records at once (an import) as one step: the table
    // before and after is kept whole. When change() throws, the table is
    // put back as it was and the exception goes on.
    void Batch(const std::function<void()> &change);

    // Called after every change of the history (the window's menu items).
    std::function<void()> OnChanged;

    TRxMemoryData &Table() const { return m_table; }

    void DataChanged(TRxMemoryData &table, TDataChange change, int row) override;

private:
    struct TImage {
        TBookmark Id = NoBookmark;
        std::vector<TFieldValue> Values;
        TBookmark Anchor = NoBookmark; // the record it stood before (none: the end)
        int Row = 0;
    };
    enum class TKind { Change, Insert, Delete, Batch };
    struct TStep {
        TKind Kind = TKind::Change;
        std::vector<TImage> Records;    // Batch: the whole table before
        std::vector<TFieldValue> After; // Change: the posted values
        std::vector<TImage> Table;      // Batch: the whole table after
        TBookmark CursorBefore = NoBookmark;
        TBookmark CursorAfter = NoBookmark;
    };
    class TGroup;
    friend class TGroup;

    std::vector<TFieldValue> ValuesAt(int row) const;
    TImage ImageAt(int row, TBookmark anchor) const;
    std::vector<TImage> WholeTable() const;
    void RestoreWhole(const std::vector<TImage> &images, TBookmark cursor);
    TBookmark Resolve(TBookmark id) const;
    void Restore(const TImage &image);
    // Sets the fields of the record being edited and posts it; a failure
    // cancels the edit.
    void AssignAndPost(const std::vector<TFieldValue> &values);
    void Push(TStep step);
    void Finish();
    std::uint64_t Fingerprint() const;
    void ApplyUndo(const TStep &step);
    void ApplyRedo(const TStep &step);
    bool DropPendingEdit();

    TDM &m_dm;
    TRxMemoryData &m_table;
    int m_limit;
    std::deque<TStep> m_steps;
    int m_index = 0;  // steps applied
    int m_saved = 0;  // m_index of the saved state; -1 when out of reach
    bool m_busy = false;
    TBookmark m_editId = NoBookmark;
    std::vector<TFieldValue> m_editBefore;
    std::uint64_t m_fingerprint = 0;
    bool m_fingerprintStale = false;
    mutable std::unordered_map<TBookmark, TBookmark> m_alias; // restored record ids
    std::shared_ptr<TGroup> m_group;
};
