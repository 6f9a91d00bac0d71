#include "exchange/UEditHistory.h"

#include "data/UErrors.h"
#include "data/UFinally.h"

#include <algorithm>
#include <unordered_set>

// The three editors' histories share the data module's one Modified flag:
// it is set while any of them stands away from its saved state.
class TEditHistory::TGroup {
public:
    explicit TGroup(TDM &dm) : DM(dm) {}
    // A save clears Modified: the state each history stands in is the saved one.
    void Sync()
    {
        if (!DM.Modified)
            for (TEditHistory *h : Members)
                h->m_saved = h->m_index;
    }
    void Update()
    {
        bool away = false;
        for (TEditHistory *h : Members)
            away = away || h->m_saved != h->m_index;
        DM.Modified = away;
    }
    static std::shared_ptr<TGroup> Of(TDM &dm)
    {
        static std::unordered_map<TDM *, std::weak_ptr<TGroup>> groups;
        std::shared_ptr<TGroup> group = groups[&dm].lock();
        if (!group) {
            group = std::make_shared<TGroup>(dm);
            groups[&dm] = group;
        }
        return group;
    }
    TDM &DM;
    std::vector<TEditHistory *> Members;
};

namespace {

std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

} // namespace

TEditHistory::TEditHistory(TDM &dm, TRxMemoryData &table, int limit)
    : m_dm(dm), m_table(table), m_limit(std::max(limit, 1)), m_group(TGroup::Of(dm))
{
    m_group->Members.push_back(this);
    m_saved = m_dm.Modified ? -1 : 0;
    m_fingerprint = Fingerprint();
    m_table.AddObserver(this);
}

TEditHistory::~TEditHistory()
{
    m_table.RemoveObserver(this);
    auto &members = m_group->Members;
    members.erase(std::remove(members.begin(), members.end(), this), members.end());
}

bool TEditHistory::CanUndo() const { return m_index > 0 || m_table.State() != TDataSetState::Browse; }

std::uint64_t TEditHistory::Fingerprint() const
{
    // Which records the table holds, in any order: a sort keeps it, a load
    // or a read (new records throughout) changes it.
    std::uint64_t sum = Mix(std::uint64_t(m_table.RecordCount()));
    for (int row = 0; row < m_table.RecordCount(); ++row)
        sum += Mix(m_table.BookmarkAt(row));
    return sum;
}

std::vector<TFieldValue> TEditHistory::ValuesAt(int row) const
{
    std::vector<TFieldValue> values;
    values.reserve(size_t(m_table.FieldCount()));
    for (int i = 0; i < m_table.FieldCount(); ++i)
        values.push_back(m_table.Field(i).ValueAt(row));
    return values;
}

TEditHistory::TImage TEditHistory::ImageAt(int row, TBookmark anchor) const
{
    return TImage{m_table.BookmarkAt(row), ValuesAt(row), anchor, row};
}

std::vector<TEditHistory::TImage> TEditHistory::WholeTable() const
{
    std::vector<TImage> images;
    images.reserve(size_t(m_table.RecordCount()));
    for (int row = 0; row < m_table.RecordCount(); ++row)
        images.push_back(ImageAt(row, NoBookmark));
    return images;
}

void TEditHistory::RestoreWhole(const std::vector<TImage> &images, TBookmark cursor)
{
    TControlsDisabler once(m_table);
    m_table.EmptyTable();
    for (const TImage &image : images) {
        m_table.Append();
        AssignAndPost(image.Values);
        const TBookmark now = m_table.GetBookmark();
        if (now != image.Id)
            m_alias[image.Id] = now;
    }
    if (!m_table.GotoBookmark(Resolve(cursor)))
        m_table.First();
}

TBookmark TEditHistory::Resolve(TBookmark id) const
{
    auto it = m_alias.find(id);
    if (it == m_alias.end())
        return id;
    TBookmark last = Resolve(it->second);
    it->second = last; // shortens the chain for the next look-up
    return last;
}

void TEditHistory::AssignAndPost(const std::vector<TFieldValue> &values)
{
    try {
        for (int i = 0; i < m_table.FieldCount() && size_t(i) < values.size(); ++i)
            m_table.Field(i).SetValue(values[size_t(i)]);
        m_table.Post();
    } catch (...) {
        m_table.Cancel();
        throw;
    }
}

void TEditHistory::Restore(const TImage &image)
{
    const TBookmark anchor = Resolve(image.Anchor);
    if (image.Anchor != NoBookmark && m_table.GotoBookmark(anchor))
        m_table.Insert();
    else if (image.Anchor == NoBookmark || image.Row >= m_table.RecordCount())
        m_table.Append();
    else {
        m_table.SetRecNo(image.Row + 1);
        m_table.Insert();
    }
    AssignAndPost(image.Values);
    const TBookmark now = m_table.GetBookmark();
    if (now != image.Id)
        m_alias[image.Id] = now;
}

void TEditHistory::Push(TStep step)
{
    m_group->Sync();
    if (m_saved > m_index)
        m_saved = -1; // the saved state was on the branch now dropped
    m_steps.erase(m_steps.begin() + m_index, m_steps.end());
    m_steps.push_back(std::move(step));
    ++m_index;
    while (int(m_steps.size()) > m_limit) {
        m_steps.pop_front();
        --m_index;
        m_saved = m_saved > 0 ? m_saved - 1 : -1;
    }
    Finish();
}

void TEditHistory::Finish()
{
    m_group->Update();
    if (OnChanged)
        OnChanged();
}

void TEditHistory::Clear()
{
    m_steps.clear();
    m_index = 0;
    // Modified is left alone: whoever replaced the table has set it.
    m_saved = m_dm.Modified ? -1 : 0;
    m_alias.clear();
    m_editId = NoBookmark;
    m_editBefore.clear();
    if (OnChanged)
        OnChanged();
}

void TEditHistory::DataChanged(TRxMemoryData &, TDataChange change, int row)
{
    if (m_busy)
        return;
    if (m_dm.Loading) {
        if (!m_steps.empty())
            Clear();
        m_fingerprintStale = true;
        return;
    }
    if (m_fingerprintStale) {
        // The table as the load left it is where the history starts.
        m_fingerprint = Fingerprint();
        m_fingerprintStale = false;
    }
    switch (change) {
    case TDataChange::StateChanged:
        if (m_table.State() == TDataSetState::Edit && m_table.CurrentRow() >= 0) {
            m_editId = m_table.GetBookmark();
            m_editBefore = ValuesAt(m_table.CurrentRow());
        } else if (m_table.State() == TDataSetState::Browse) {
            m_editId = NoBookmark;
        }
        break;
    case TDataChange::RecordChanged: {
        if (row < 0 || row >= m_table.RecordCount() || m_editId != m_table.BookmarkAt(row))
            break;
        TStep step;
        step.Kind = TKind::Change;
        step.Records.push_back(TImage{m_editId, std::move(m_editBefore), NoBookmark, row});
        step.After = ValuesAt(row);
        step.CursorBefore = m_editId;
        m_editId = NoBookmark;
        m_editBefore.clear();
        if (step.After != step.Records.front().Values)
            Push(std::move(step));
        break;
    }
    case TDataChange::RecordInserted: {
        if (row < 0 || row >= m_table.RecordCount())
            break;
        const TBookmark anchor = row + 1 < m_table.RecordCount() ? m_table.BookmarkAt(row + 1) : NoBookmark;
        TStep step;
        step.Kind = TKind::Insert;
        step.Records.push_back(ImageAt(row, anchor));
        step.CursorBefore = row > 0 ? m_table.BookmarkAt(row - 1) : anchor;
        m_fingerprint += Mix(m_table.BookmarkAt(row)) + Mix(std::uint64_t(m_table.RecordCount()))
                         - Mix(std::uint64_t(m_table.RecordCount() - 1));
        Push(std::move(step));
        break;
    }
    case TDataChange::RecordDeleted:
        // Deleted past the history: its records cannot be brought back.
        Clear();
        m_fingerprint = Fingerprint();
        break;
    case TDataChange::Reset: {
        const std::uint64_t now = Fingerprint();
        if (now != m_fingerprint)
            Clear();
        m_fingerprint = now;
        break;
    }
    case TDataChange::CursorMoved:
        break;
    }
}

bool TEditHistory::DropPendingEdit()
{
    const TDataSetState state = m_table.State();
    if (state == TDataSetState::Browse)
        return false;
    const bool typed = state == TDataSetState::Insert || m_table.Modified();
    m_table.Cancel();
    return typed;
}

void TEditHistory::ApplyUndo(const TStep &step)
{
    switch (step.Kind) {
    case TKind::Change:
        if (!m_table.GotoBookmark(Resolve(step.Records.front().Id)))
            throw Exception(QStringLiteral("Nie można cofnąć zmiany: rekordu już nie ma."));
        m_table.Edit();
        AssignAndPost(step.Records.front().Values);
        break;
    case TKind::Insert: {
        if (!m_table.GotoBookmark(Resolve(step.Records.front().Id)))
            throw Exception(QStringLiteral("Nie można cofnąć dodania: rekordu już nie ma."));
        const int row = m_table.CurrentRow();
        m_table.Delete();
        if (!m_table.GotoBookmark(Resolve(step.CursorBefore)) && !m_table.IsEmpty())
            m_table.SetRecNo(std::max(row, 1));
        break;
    }
    case TKind::Batch:
        RestoreWhole(step.Records, step.CursorBefore);
        break;
    case TKind::Delete: {
        std::optional<TControlsDisabler> once;
        if (step.Records.size() > 1)
            once.emplace(m_table); // the grid re-reads once
        for (const TImage &image : step.Records)
            Restore(image);
        m_table.GotoBookmark(Resolve(step.CursorBefore));
        break;
    }
    }
}

void TEditHistory::ApplyRedo(const TStep &step)
{
    switch (step.Kind) {
    case TKind::Change:
        if (!m_table.GotoBookmark(Resolve(step.Records.front().Id)))
            throw Exception(QStringLiteral("Nie można ponowić zmiany: rekordu już nie ma."));
        m_table.Edit();
        AssignAndPost(step.After);
        break;
    case TKind::Insert:
        Restore(step.Records.front());
        break;
    case TKind::Batch:
        RestoreWhole(step.Table, step.CursorAfter);
        break;
    case TKind::Delete: {
        if (step.Records.size() == 1) {
            if (m_table.GotoBookmark(Resolve(step.Records.front().Id)))
                m_table.Delete();
            break;
        }
        std::vector<TBookmark> ids;
        ids.reserve(step.Records.size());
        for (const TImage &image : step.Records)
            ids.push_back(Resolve(image.Id));
        if (ids.size() == size_t(m_table.RecordCount()))
            m_table.EmptyTable();
        else
            m_table.DeleteRecords(ids);
        break;
    }
    }
}

void TEditHistory::Undo()
{
    if (DropPendingEdit()) {
        if (OnChanged)
            OnChanged();
        return;
    }
    if (m_index == 0)
        return;
    m_group->Sync();
    {
        m_busy = true;
        TFinally done([this] {
            m_busy = false;
            m_fingerprint = Fingerprint();
        });
        ApplyUndo(m_steps[size_t(m_index - 1)]);
    }
    --m_index;
    Finish();
}

void TEditHistory::Redo()
{
    if (m_table.State() != TDataSetState::Browse)
        m_table.Cancel();
    if (!CanRedo())
        return;
    m_group->Sync();
    {
        m_busy = true;
        TFinally done([this] {
            m_busy = false;
            m_fingerprint = Fingerprint();
        });
        ApplyRedo(m_steps[size_t(m_index)]);
    }
    ++m_index;
    Finish();
}

int TEditHistory::DeleteRecords(const std::vector<TBookmark> &bookmarks)
{
    m_table.CheckBrowseMode();
    const std::unordered_set<TBookmark> doomed(bookmarks.begin(), bookmarks.end());
    TStep step;
    step.Kind = TKind::Delete;
    step.CursorBefore = m_table.GetBookmark();
    TBookmark nextKept = NoBookmark;
    for (int row = m_table.RecordCount() - 1; row >= 0; --row) {
        const TBookmark id = m_table.BookmarkAt(row);
        if (doomed.count(id))
            step.Records.push_back(ImageAt(row, nextKept));
        else
            nextKept = id;
    }
    if (step.Records.empty())
        return 0;
    std::reverse(step.Records.begin(), step.Records.end());
    m_group->Sync();
    {
        m_busy = true;
        TFinally done([this] {
            m_busy = false;
            m_fingerprint = Fingerprint();
        });
        if (step.Records.size() == 1 && step.Records.front().Id == m_table.GetBookmark())
            m_table.Delete(); // the grid keeps its place
        else
            m_table.DeleteRecords(bookmarks);
    }
    const int count = int(step.Records.size());
    Push(std::move(step));
    return count;
}

bool TEditHistory::DeleteAll(const std::function<bool()> &empty)
{
    // A pending edit stays until the answer: only Yes drops it (with the
    // table). The images are the stored records, not the edit buffer.
    TStep step;
    step.Kind = TKind::Delete;
    step.CursorBefore = m_table.GetBookmark();
    step.Records.reserve(size_t(m_table.RecordCount()));
    for (int row = 0; row < m_table.RecordCount(); ++row)
        step.Records.push_back(ImageAt(row, NoBookmark));
    m_group->Sync();
    bool done = false;
    {
        m_busy = true;
        TFinally finished([this] {
            m_busy = false;
            m_fingerprint = Fingerprint();
        });
        done = empty();
    }
    if (done) {
        // The edit was cancelled while the history looked away.
        m_editId = NoBookmark;
        m_editBefore.clear();
        if (!step.Records.empty())
            Push(std::move(step));
    }
    return done;
}

void TEditHistory::Batch(const std::function<void()> &change)
{
    m_table.CheckBrowseMode();
    TStep step;
    step.Kind = TKind::Batch;
    step.CursorBefore = m_table.GetBookmark();
    step.Records = WholeTable();
    m_group->Sync();
    {
        m_busy = true;
        TFinally done([this] {
            m_busy = false;
            m_fingerprint = Fingerprint();
        });
        try {
            change();
        } catch (...) {
            if (m_table.State() != TDataSetState::Browse)
                m_table.Cancel();
            RestoreWhole(step.Records, step.CursorBefore);
            throw;
        }
    }
    step.CursorAfter = m_table.GetBookmark();
    step.Table = WholeTable();
    Push(std::move(step));
}
