#pragma once
// A module job as a value: which table and what to do with it, or the
// fiscal read with its range, and the exchange file. JobSwitches spells it
// for the module, the same for the progress window and orvan-otx.
#include <QDate>
#include <QString>

enum class TExchangeTable { Grupy, Kody, Kaucje };

enum class TFiscalReadMode { Full, Dates, Numbers };

// "Zakres raportu": everything, a date range or a report number range.
struct TFiscalReadRange {
    TFiscalReadMode Mode = TFiscalReadMode::Full;
    QDate DateFrom, DateTo;
    int NumberFrom = 0, NumberTo = 0;

    static TFiscalReadRange Full() { return {}; }
    static TFiscalReadRange Dates(QDate from, QDate to) { return {TFiscalReadMode::Dates, from, to, 0, 0}; }
    static TFiscalReadRange Numbers(int from, int to) { return {TFiscalReadMode::Numbers, {}, {}, from, to}; }
};

// A read for an in-register view runs the job of a read: it has no kind.
enum class TJobKind { Read, ReadWithCounters, Send, SendSelected, DeleteSelected, FiscalRead };

struct TJobRequest {
    TJobKind Kind = TJobKind::Read;
    // The table of the table kinds.
    TExchangeTable Table = TExchangeTable::Grupy;
    // The range of FiscalRead as the module gets it.
    TFiscalReadRange Range;
    // May be a full path: only its bare name goes into the switches (the
    // runner knows the folder).
    QString File;

    static TJobRequest ForTable(TExchangeTable table, TJobKind kind, const QString &file)
    {
        return {kind, table, {}, file};
    }
    static TJobRequest FiscalRead(const TFiscalReadRange &range, const QString &file)
    {
        return {TJobKind::FiscalRead, TExchangeTable::Grupy, range, file};
    }
};

// The job's switches ("/Fgrupy.txt /T01 /AABDEIJ /XU"); the runner adds the
// model, port and speed. Empty for a kind the table has no job for (a
// delete outside the codes).
QString JobSwitches(const TJobRequest &request);
