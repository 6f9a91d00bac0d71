#include "exchange/UTableFind.h"

#include "data/UDM.h"

#include <array>

namespace {

// Lower-case base letters of U+0000..U+024F; decomposition gives the base
// of most accented letters, the stroked ones have none.
const std::array<char16_t, 0x250> &FoldTable()
{
    static const std::array<char16_t, 0x250> table = [] {
        std::array<char16_t, 0x250> t{};
        for (char16_t c = 0; c < t.size(); ++c) {
            QChar ch(c);
            const QString d = ch.decomposition();
            if (!d.isEmpty() && ch.decompositionTag() == QChar::Canonical)
                ch = d.at(0);
            t[c] = ch.toLower().unicode();
        }
        for (auto [from, to] : {std::pair<char16_t, char16_t>{u'ł', u'l'}, {u'Ł', u'l'}, {u'đ', u'd'}, {u'Đ', u'd'},
                                {u'ø', u'o'}, {u'Ø', u'o'}, {u'ß', u's'}})
            t[from] = to;
        return t;
    }();
    return table;
}

} // namespace

QString TTableFind::Fold(const QString &text)
{
    const auto &table = FoldTable();
    QString out(text.size(), Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    const char16_t *src = reinterpret_cast<const char16_t *>(text.constData());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = src[i];
        dst[i] = c < table.size() ? table[c] : QChar(c).toLower().unicode();
    }
    return out;
}

TTableFind::TTableFind(TRxMemoryData &table) : m_table(table) { m_table.AddObserver(this); }

TTableFind::~TTableFind() { m_table.RemoveObserver(this); }

void TTableFind::DataChanged(TRxMemoryData &, TDataChange change, int row)
{
    if (change == TDataChange::CursorMoved || change == TDataChange::StateChanged)
        return;
    m_matchesValid = false;
    if (!m_cacheValid)
        return;
    // One record: only its texts are folded again, so the keystroke after
    // an edit stays as quick as any other.
    const size_t n = m_names.size();
    const size_t r = size_t(row);
    if (change == TDataChange::RecordChanged && row >= 0 && r < n && int(n) == m_table.RecordCount()) {
        FoldRow(row, m_numbers[r], m_names[r]);
    } else if (change == TDataChange::RecordInserted && row >= 0 && r <= n && int(n) + 1 == m_table.RecordCount()) {
        QString number, name;
        FoldRow(row, number, name);
        m_numbers.insert(m_numbers.begin() + row, std::move(number));
        m_names.insert(m_names.begin() + row, std::move(name));
    } else if (change == TDataChange::RecordDeleted && row >= 0 && r < n && int(n) - 1 == m_table.RecordCount()) {
        m_numbers.erase(m_numbers.begin() + row);
        m_names.erase(m_names.begin() + row);
    } else {
        m_cacheValid = false;
    }
}

void TTableFind::FoldRow(int row, QString &number, QString &name) const
{
    const TField *numer = m_table.FindField(QStringLiteral("Numer"));
    const TField *nazwa = m_table.FindField(QStringLiteral("Nazwa"));
    number = numer ? Fold(numer->DisplayTextAt(row)) : QString();
    name = nazwa ? Fold(nazwa->DisplayTextAt(row)) : QString();
}

void TTableFind::Refresh()
{
    if (!m_cacheValid) {
        const int n = m_table.RecordCount();
        m_numbers.assign(size_t(n), QString());
        m_names.assign(size_t(n), QString());
        for (int row = 0; row < n; ++row)
            FoldRow(row, m_numbers[size_t(row)], m_names[size_t(row)]);
        m_cacheValid = true;
        m_matchesValid = false;
    }
    if (!m_matchesValid) {
        m_matches.clear();
        if (!m_folded.isEmpty())
            for (size_t row = 0; row < m_names.size(); ++row)
                if (m_numbers[row].startsWith(m_folded) || m_names[row].contains(m_folded))
                    m_matches.push_back(int(row));
        m_matchesValid = true;
    }
}

const std::vector<int> &TTableFind::Matches()
{
    Refresh();
    return m_matches;
}

int TTableFind::MatchCount() { return int(Matches().size()); }

bool TTableFind::EndPendingEdit()
{
    // Leaving a new row the user has not touched drops it, as the grid
    // does; any other pending edit is posted (its error goes to the caller).
    PostOrDropPendingEdit(m_table);
    return !Matches().empty();
}

bool TTableFind::SetText(const QString &text)
{
    m_text = text;
    m_folded = Fold(text);
    m_matchesValid = false;
    if (Matches().empty() || !EndPendingEdit())
        return false;
    m_table.SetRecNo(m_matches.front() + 1);
    return true;
}

bool TTableFind::Next()
{
    if (Matches().empty() || !EndPendingEdit())
        return false;
    const int current = m_table.CurrentRow();
    for (int row : m_matches)
        if (row > current) {
            m_table.SetRecNo(row + 1);
            return true;
        }
    m_table.SetRecNo(m_matches.front() + 1);
    return true;
}

bool TTableFind::Previous()
{
    if (Matches().empty() || !EndPendingEdit())
        return false;
    const int current = m_table.CurrentRow();
    for (auto it = m_matches.rbegin(); it != m_matches.rend(); ++it)
        if (*it < current) {
            m_table.SetRecNo(*it + 1);
            return true;
        }
    m_table.SetRecNo(m_matches.back() + 1);
    return true;
}
