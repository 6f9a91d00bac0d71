#pragma once
// The exchange-file lines of the editor tables. Their columns come from the
// module's own record descriptors and field letters (the code that writes
// and reads these lines on the register's side), so the two cannot drift
// apart; TExchangeLines turns records into lines and lines into records
// with the fields looked up once per table and model.
#include "data/UCurrency.h"
#include "exchange/UJobRequest.h"

#include <QString>

#include <array>
#include <string>
#include <vector>

class TDM;
class TDBGridRef;
class TRxMemoryData;

// One column of a line; positions count from 1.
struct TLineColumn {
    int Start = 0;
    int Width = 0;
    int Decimals = 0; // digits after the decimal point of a number, else 0

    int End() const { return Start + Width - 1; }
    // Where the decimal point stands; 0 for a column without one.
    int Point() const { return Decimals > 0 ? End() - Decimals : 0; }
};

// The columns of the lines the module writes for a job's field letters
// (the /A value without element lists) on a standard table.
class TLineLayout {
public:
    // tableNumber: the /T number; modelIndex: the module's row of the
    // model. Raises std::logic_error when the descriptor lacks a letter.
    TLineLayout(int tableNumber, int modelIndex, const std::string &fieldLetters);

    // The column of a field letter's element; std::logic_error for one the
    // layout lacks.
    const TLineColumn &Column(char letter, int element = 0) const;

private:
    std::array<std::vector<TLineColumn>, 16> m_letters; // A..P
};

// A field of an editor table with its column in the lines.
struct TLineField {
    int Field = -1; // index in the table; -1: the table's lines have no such field
    TLineColumn Column;
};

// The fields a table's lines carry, under one model.
struct TLineFields {
    TLineField Numer, Cena, Nazwa;
    TLineField Vat, Limit, RodzajSprz; // groups: VAT bits, limit, sale flags
    TLineField Grupa, RodzajCeny;      // codes
    // Value and quantity pairs in line order: LDW LDI LOW LOI, LDW LDI,
    // LDWw LDIw LDWz LDIz.
    std::vector<TLineField> Counters;
    int Shortest = 0;     // a shorter read-back line is refused
    int WithCounters = 0; // a read-back line this long carries the counters

    // The fields of a send line, in line order.
    std::vector<TLineField> Sent() const;
};

struct TReadTotals {
    Currency Daily, Periodic, Sale, Issued, Returned;
};

// "grup", "kodów", "kaucji": the table in messages.
QString TableGenitive(TExchangeTable table);

class TExchangeLines {
public:
    TExchangeLines(TDM &dm, TExchangeTable table);

    TExchangeTable Table() const { return m_table; }
    TRxMemoryData &EditorTable() const;
    TRxMemoryData &TwinTable() const;

    // The fields and columns of the register profile's model, looked up
    // again only when the model changes.
    const TLineFields &Fields() const;
    // Whether the key column holds four digits (the models whose
    // descriptors take A(1U04) for codes and deposits).
    bool ShortKeys() const;
    // Whether a stored code number would lose digits in the key column.
    bool KeyCutsNumber(const QString &storedNumber) const;

    // One send line of the table's current record (editor or twin table).
    QString RecordToLine(TRxMemoryData &table) const;
    // The codes-to-delete line of the current record, or of a number.
    QString DeleteLine(TRxMemoryData &table) const;
    QString DeleteLine(const QString &storedNumber) const;
    // One read-back line into the twin's current record (insert or edit
    // state), adding its counters to the totals; a value the field refuses
    // raises its error.
    void LineToRecord(const QString &line, TRxMemoryData &twin);

    const TReadTotals &Totals() const { return m_totals; }
    void ResetTotals() { m_totals = TReadTotals(); }

    // The line files: the read-back file into the twin (appended), the send
    // file and the delete file of the grid's rows, the delete file of
    // numbers.
    void ReadLines(const QString &file, TRxMemoryData &twin);
    void WriteLines(const QString &file, const TDBGridRef &grid, bool selectedOnly) const;
    void WriteDeleteLines(const QString &file, const TDBGridRef &grid) const;
    void WriteDeleteLines(const QString &file, const std::vector<QString> &numbers) const;

private:
    QString KeyText(const QString &storedNumber) const;
    [[noreturn]] void RefuseShortLine(const QString &line) const;
    void GroupToRecord(const QString &line, TRxMemoryData &twin, const TLineFields &f, bool counters);
    void CodeToRecord(const QString &line, TRxMemoryData &twin, const TLineFields &f, bool counters);
    void DepositToRecord(const QString &line, TRxMemoryData &twin, const TLineFields &f, bool counters);

    TDM &m_dm;
    TExchangeTable m_table;
    TReadTotals m_totals;
    mutable QString m_model; // the model code m_fields belongs to
    mutable TLineFields m_fields;
};
