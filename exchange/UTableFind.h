#pragma once
// Find as you type over a table as the grid shows it: the first record
// whose displayed number begins with the text or whose name contains it,
// letter case and diacritics ignored. Only the cursor moves: the table is
// never edited, filtered or reordered.
#include "data/URxMemoryData.h"

#include <QString>
#include <vector>

class TTableFind : public TDataObserver {
public:
    explicit TTableFind(TRxMemoryData &table);
    ~TTableFind() override;
    TTableFind(const TTableFind &) = delete;
    TTableFind &operator=(const TTableFind &) = delete;

    // A new text: the cursor goes to the first match in table order; with
    // no match (or an empty text) it stays. Returns whether anything matched.
    bool SetText(const QString &text);
    // F3 / Shift+F3: the next (previous) match after (before) the current
    // row, wrapping round; false and no move when nothing matches.
    bool Next();
    bool Previous();

    const QString &Text() const { return m_text; }
    int MatchCount();
    // A text is typed and nothing matches it.
    bool NoMatch() { return !m_text.isEmpty() && MatchCount() == 0; }
    // Rows (0-based) that match, in table order.
    const std::vector<int> &Matches();

    // Lower case without diacritics ("SER ŻÓŁTY" -> "ser zolty").
    static QString Fold(const QString &text);

    void DataChanged(TRxMemoryData &table, TDataChange change, int row) override;

private:
    void Refresh();
    bool EndPendingEdit();
    void FoldRow(int row, QString &number, QString &name) const;

    TRxMemoryData &m_table;
    QString m_text;
    QString m_folded;
    bool m_cacheValid = false;   // folded texts follow the table
    bool m_matchesValid = false; // matches follow the text and the table
    std::vector<QString> m_numbers;
    std::vector<QString> m_names;
    std::vector<int> m_matches;
};
