#pragma once
// The editor menu commands that do not talk to the register: Add, Insert,
// Delete, Delete all, Check, and the CSV export.
#include "data/UDM.h"
#include "exchange/UEditHistory.h"
#include "exchange/UExchange.h"

#include <QString>
#include <QStringList>
#include <optional>

class TEditorCommands {
public:
    TEditorCommands(TDM &dm, TExchangeTable table, IMessages &messages);

    // Enter: adds the record with the next number that no record carries,
    // after the current one; returns the field to put the cursor in, empty
    // when nothing was added.
    QString Add();
    // Insert: a new record before the current one with the insert defaults.
    void Insert();
    // Ctrl+Delete: the selected rows (codes) or the current record, no question.
    void Delete(const TDBGridRef &grid);
    // "Usuń wszystkie ...": asks "Czy chcesz usunąć wszystkie <plural> ?"
    // (Yes, No, Cancel); only Yes empties the table, a pending edit
    // included. Returns whether it was emptied.
    bool DeleteAll();
    // "&Sprawdź poprawność danych": raises Exception on a failure.
    void Check();
    // Posts a pending insert or edit (raises its error).
    void EndPendingEdit();
    // The groups' VAT drop-down.
    QStringList VatChoices() const;
    // "Eksportuj do pliku CSV...": table is the grid's (the editor's or its
    // in-register view's), fields in the grid's order.
    void ExportCsv(const TRxMemoryData &table, const QStringList &fields, const QString &fileName);
    // After "Importuj z pliku CSV..." put count records in.
    void ReportImport(int count, const QString &fileName);

    TRxMemoryData &Table() const;
    // Deletes go through the editor's history (may stay null).
    void SetHistory(TEditHistory *history) { m_history = history; }
    // The window's status bar (may stay null).
    void SetStatus(IStatusReport *status) { m_status = status; }
    // The duplicate-names window, shown when Check finds names the register
    // would see as one (may stay null).
    void SetDuplicatesView(IDuplicateNamesView *view) { m_duplicates = view; }

private:
    // Groups and deposits: a new record after the current one with the
    // first free number (the default number in an empty table); nothing
    // when no number is free.
    std::optional<int> OpenWithNextNumber(TField &numer);
    QString AddGroup();
    QString AddCode();
    QString AddDeposit();
    std::optional<qint64> NumberAt(int row) const;
    std::optional<qint64> NextFreeNumber(qint64 current, qint64 max) const;
    void OpenAfterCurrent(qint64 current, std::optional<qint64> n);

    TDM &m_dm;
    TExchangeTable m_table;
    IMessages &m_messages;
    TEditHistory *m_history = nullptr;
    IStatusReport *m_status = nullptr;
    IDuplicateNamesView *m_duplicates = nullptr;
};
