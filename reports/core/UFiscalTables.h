#pragma once
// The five tables of the fiscal memory window, and how dates, times and
// yes/no values are kept in them: the tables engine has no date type, so a
// date is an integer field holding the Julian day (0 = none), a time an
// integer field holding minutes since midnight, a yes/no a smallint 0/1.
// Their grid texts come from OnGetText hooks set up here.
#include "data/URxMemoryData.h"

#include <QDate>
#include <QTime>
#include <array>

// A date as stored in a date field (0 for an invalid date) and back.
inline std::int64_t DateValue(const QDate &d) { return d.isValid() ? d.toJulianDay() : 0; }
inline QDate DateOf(std::int64_t v) { return v > 0 ? QDate::fromJulianDay(v) : QDate(); }
// A time as minutes since midnight (0 for an invalid time) and back.
inline std::int64_t TimeValue(const QTime &t) { return t.isValid() ? t.hour() * 60 + t.minute() : 0; }
inline QTime TimeOf(std::int64_t v) { return (v >= 0 && v < 24 * 60) ? QTime(int(v / 60), int(v % 60)) : QTime(); }

// Field readers for the current record.
bool FieldBool(const TField &f);
void SetFieldDate(TField &f, const QDate &d);
void SetFieldTime(TField &f, const QTime &t);
void SetFieldBool(TField &f, bool b);

// Creates the fields (once, on empty tables) with their titles, widths and
// display formats.
void DefineMTPF(TRxMemoryData &t);
void DefineMTPFCurr(TRxMemoryData &t);
void DefineMTMRS(TRxMemoryData &t);
void DefineMTSumUp(TRxMemoryData &t);
void DefineReportContent(TRxMemoryData &t);

// The grid column order of MTPF and MTSumUp (field names).
QStringList MTPFGridColumns();
QStringList MTSumUpGridColumns();

// The fields of each table, looked up by name once: the decoding and the
// report reach them on every record. A table without one of them raises
// EDatabaseError here.
struct TPFFields {
    explicit TPFFields(const TRxMemoryData &t);
    TField &Numer, &Data, &SumaPTU, &SumaNal;
    std::array<TField *, 7> T; // TA..TG, the gross sales of the letters
    std::array<TField *, 7> V; // VA..VG, their rate codes
    TField &Parag, &ZmianaPLU, &MRSCounter, &MRSTime, &Waluta, &Anulacji, &WartAnulacji;
    TField &Uwagi; // what is wrong with a report kept as the register sent it
};

// The note of a report in PLN whose total due is not the sum of its sales.
QString DueMismatchNote();

struct TPFCurrFields {
    explicit TPFCurrFields(const TRxMemoryData &t);
    TField &Number, &CurrNo, &Z1Count, &ChangeDate, &ChangeTime, &CurrSymbol;
};

struct TMRSFields {
    explicit TMRSFields(const TRxMemoryData &t);
    TField &Numer, &Data, &Czas, &Z, &Star;
};

struct TSumUpFields {
    explicit TSumUpFields(const TRxMemoryData &t);
    TField &Waluta, &Podatek, &SumaNal, &NumerOd, &NumerDo, &ZmianaWaluty, &ChangeDate, &ChangeTime;
};

// The five tables together, with their fields defined and looked up.
struct TFiscalTables {
    TFiscalTables();
    TRxMemoryData MTPF{QStringLiteral("MTPF")};
    TRxMemoryData MTPFCurr{QStringLiteral("MTPFCurr")};
    TRxMemoryData MTMRS{QStringLiteral("MTMRS")};
    TRxMemoryData MTSumUp{QStringLiteral("MTSumUp")};
    TRxMemoryData ReportContent{QStringLiteral("ReportContent")};
    // Declared after the tables: each is looked up once its table's
    // fields are defined.
    const TPFFields PFFields;
    const TPFCurrFields PFCurrFields;
    const TMRSFields MRSFields;
    const TSumUpFields SumUpFields;
};
