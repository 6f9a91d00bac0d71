#pragma once
// Exchange of the editor tables with the register: the exchange-file lines
// of each table, the read, send, send-selected and delete-selected steps,
// and the totals of a read with counters. No windows: the front end comes
// in through IJobRunner, IWaitRunner, IMessages and IExchangeDialogs.
#include "data/UCurrency.h"
#include "data/UDM.h"
#include "exchange/UUiHooks.h"
#include "exchange/UJobRequest.h"
#include "exchange/ULineLayout.h"
#include "exchange/URegisterMemory.h"

#include <QString>
#include <QStringList>


class TExchange {
public:
    TExchange(TDM &dm, TExchangeTable table, const QString &exchangeFile, IJobRunner &jobs, IWaitRunner &wait,
              IMessages &messages, IExchangeDialogs &dialogs);

    // Failures: a refused check or a refused read-back line is shown by the
    // wait runner, which then raises EAbort; a failed job raises EAbort from
    // the job runner; SendAll on an empty table raises Exception before any
    // dialog. The exchange file is deleted on every path.

    // Editor menu "Odczytaj ... z kasy": pending edit, the question about
    // changes not saved, dialog, read procedure, totals boxes.
    void Read();
    // An in-register view's re-read: the editor table stays untouched.
    void ReadForView();
    // The read alone: job, lines into the twin, copy into the editor table
    // unless for a view. The exchange file is deleted on every path.
    void ReadProcedure(bool withCounters, bool clearFirst);
    // "Wyślij ... do kasy".
    void SendAll();
    // Codes only: the grid's selected rows.
    void SendSelected(const TDBGridRef &grid);
    void DeleteSelected(const TDBGridRef &grid);
    // Codes only, "Wyślij zmienione kody do kasy": the codes that are new
    // or differ from what the register is remembered to hold, after the
    // checks of a full send; then, on a Yes, deletes in the register the
    // codes the editor no longer holds.
    void SendChanged();

    // What the register holds (codes): brought up to date after every
    // successful read, send and delete of codes. May stay null.
    void SetRegisterMemory(TRegisterMemory *memory) { m_memory = memory; }
    TRegisterMemory *RegisterMemory() const { return m_memory; }
    // The window's status bar: told what a read, send or delete did. May
    // stay null.
    void SetStatus(IStatusReport *status) { m_status = status; }
    // Asked before a read replaces the editor table. May stay null.
    void SetUnsaved(IUnsavedChanges *unsaved) { m_unsaved = unsaved; }
    // The duplicate-names window, shown when a send is refused for names
    // the register would see as one. May stay null.
    void SetDuplicatesView(IDuplicateNamesView *view) { m_duplicates = view; }
    // Codes a "send changed" would send and delete now; raises the memory's
    // error for a damaged file.
    TCodesDiff ChangedCodes(TRegisterContent *remembered = nullptr) const;

    const TReadTotals &Totals() const { return m_lines.Totals(); }
    // The totals boxes' texts in order, amounts in the currency format.
    QStringList TotalsTexts(bool withCounters) const;

    // The table's exchange lines and line files.
    TExchangeLines &Lines() { return m_lines; }
    const TExchangeLines &Lines() const { return m_lines; }
    // A job of this table on its exchange file.
    TJobRequest Job(TJobKind kind) const { return TJobRequest::ForTable(m_table, kind, m_file); }

    TRxMemoryData &EditorTable() const { return m_lines.EditorTable(); }
    TRxMemoryData &TwinTable() const { return m_lines.TwinTable(); }
    const QString &ExchangeFile() const { return m_file; }
    TExchangeTable Table() const { return m_table; }
    TDM &DataModule() const { return m_dm; }
    IJobRunner &Jobs() const { return m_jobs; }
    IWaitRunner &Wait() const { return m_wait; }
    IMessages &Messages() const { return m_messages; }
    IExchangeDialogs &Dialogs() const { return m_dialogs; }

    // The steps of a send, for a front end that checks every table before
    // the first job (orvan-otx): the empty-table refusal, CheckTable with
    // the record check, RequireUniqueNames with the send's scope and the
    // exchange file; then the job. Neither deletes the file.
    void PrepareSend();
    // The job of a full send; after it the register memory knows the table.
    void RunSendJob();
    // The send-changed steps for the console: the checks of PrepareSend
    // over the whole table, then the exchange file with only the given
    // rows; then the job, after which the memory knows those rows.
    void PrepareSendRows(const std::vector<int> &rows);
    void RunSendRowsJob(const std::vector<int> &rows);
    // Deletes the numbers in the register (a job), then forgets them.
    void DeleteNumbers(const std::vector<QString> &numbers);
    void DeleteExchangeFile() const;

    // Posts a pending insert or edit of the editor table; an untouched new
    // row is dropped instead.
    void EndPendingEdit();

private:
    TRecordCheck RecordCheck() const;
    void RefuseEmptySend() const;
    // More records (-1: the table's) than the model takes.
    void RefuseOverLimit(qint64 count = -1) const;
    static int CountSelected(const TDBGridRef &grid);
    void CheckWholeTable();
    // A memory that cannot be written must not turn a good job into a
    // failure: its message is shown and the command goes on.
    void Remember(const std::function<void()> &update);
    std::vector<TRememberedCode> RowsOf(const std::vector<int> &rows) const;
    // The grid's selected rows of the editor table, in selection order.
    std::vector<int> SelectedRows(const TDBGridRef &grid) const;
public:
    // When the memory was last brought up to date, in local time.
    static QString UpdatedText(const QDateTime &updated);
private:

    TDM &m_dm;
    TExchangeTable m_table;
    QString m_file;
    IJobRunner &m_jobs;
    IWaitRunner &m_wait;
    IMessages &m_messages;
    IExchangeDialogs &m_dialogs;
    TExchangeLines m_lines;
    TRegisterMemory *m_memory = nullptr;
    IStatusReport *m_status = nullptr;
    IUnsavedChanges *m_unsaved = nullptr;
    IDuplicateNamesView *m_duplicates = nullptr;
};
