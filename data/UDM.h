#pragma once
// The data module: owner of every table, their field rules and text
// conversions, the module state, the record checks, the key check, the
// table copy and the register profile.
#include "data/UErrors.h"
#include "data/UProfile.h"
#include "data/URxMemoryData.h"
#include "data/UGridRef.h"

#include <QString>
#include <QStringList>
#include <functional>

// Cell colour classes of the record checks.
enum class CheckResult { Normal, ZeroCode, DepositGroup, Error };

// What a record check found: the colour class and, with Error, the message.
struct TCheckOutcome {
    CheckResult Result = CheckResult::Normal;
    QString Message;
};

// The record a check reads: a row of its table, or CurrentRecord for the
// record under the cursor as it stands (the edit buffer while inserting or
// editing).
constexpr int CurrentRecord = -1;

// A record check as CheckTable calls it, on one row of the table.
using TRecordCheck = std::function<TCheckOutcome(int row)>;

// CheckTable's refusal of a key that two records carry; the cursor is on
// the second of them.
class ERepeatedKey : public Exception {
public:
    using Exception::Exception;
};

// Section names of the data files and of the load and save dialogs; the
// index is the section index of TDM::TableBySection.
const QStringList &SectionNames();

// The text under which CheckTable compares keys: letter case ignored, so
// two spellings of one code collide in their canonical form.
QString KeyText(const TField &key, const TFieldValue &value);

// A name as the register sees it: as the register stores it, upper-cased,
// and only "," "." "/", the digits, A to Z and the Polish capitals kept.
QString NazwaInt(const QString &name);

class TDM {
public:
    TDM();
    TDM(const TDM &) = delete;
    TDM &operator=(const TDM &) = delete;

    // Editor tables, their in-register twins and the duplicate-names result.
    TRxMemoryData MDGrupy{QStringLiteral("MDGrupy")};
    TRxMemoryData MDKody{QStringLiteral("MDKody")};
    TRxMemoryData MDKaucje{QStringLiteral("MDKaucje")};
    TRxMemoryData MDGrupyWKasie{QStringLiteral("MDGrupyWKasie")};
    TRxMemoryData MDKodyWKasie{QStringLiteral("MDKodyWKasie")};
    TRxMemoryData MDKaucjeWKasie{QStringLiteral("MDKaucjeWKasie")};
    TRxMemoryData MDPowtNazwy{QStringLiteral("MDPowtNazwy")};

    // Module state.
    bool Modified = false;       // an editor table changed since the last save
    bool Loading = false;        // tables are being filled from a file or a copy
    int LastDupScope = 0;        // scope of the last duplicate-names search
    // A register read for an in-register view runs: only the twin table is
    // filled. One flag under two names, so no reader can miss it.
    bool ViewOnlyRead = false;
    bool &ReadingForView = ViewOnlyRead;

    // The profile in force and the settings it came from.
    TRegisterProfile RegisterProfile;
    // Current settings "Kasa", "Kaucje", "Eprom235"; ApplyProfile stores
    // them (corrected); "Kasa" may also be set directly.
    int Kasa = 0;
    bool Kaucje = true;
    int Eprom235 = 0;

    // The main window's save question; null (the console, tests): go on.

    // 0 MDGrupy, 1 MDKody, 2 MDKaucje, anything else nullptr.
    TRxMemoryData *TableBySection(int section);
    // The section index of an editor table, -1 for any other.
    int SectionOf(const TRxMemoryData &table) const;
    bool IsEditorTable(const TRxMemoryData &table) const;

    // Derives RegisterProfile and stores the three settings (corrected: an
    // unknown model falls back to ER-A235P version A, the ER-A237P gets
    // Eprom235 1).
    void ApplyProfile(int kasa, bool kaucje, int eprom235);

    // Record checks on one record of their editor table (a row, or
    // CurrentRecord); the cursor stays where it is. A failure gives Error
    // with its message; the first failure ends the check.
    TCheckOutcome CheckKodyNumer(int row) const;
    TCheckOutcome CheckKody(int row) const;
    TCheckOutcome CheckGrupy(int row) const;
    TCheckOutcome CheckKaucje(int row) const;

    // Key uniqueness and record validity over the grid's table (or its
    // selected rows, in selection order). On the first failure it puts the
    // cursor on the offending record, so the editor shows it, and throws
    // Exception (ERepeatedKey for a repeated key); on success the cursor
    // has not moved.
    void CheckTable(const TDBGridRef &grid, const QString &keyField, const QString &repeatedKeyMessage,
                    bool selectedOnly, const TRecordCheck &check = {});

    // What "Usuń wszystkie" does once the user said Yes: a pending edit of
    // the table is cancelled and the table emptied (Modified unchanged).
    void EmptyEditorTable(TRxMemoryData &table);


    // Appends every record of src to dst, field by field of the same name,
    // as stored values.
    void CopyTable(TRxMemoryData &src, TRxMemoryData &dst, bool emptyFirst);

private:
    void DefineGrupy(TRxMemoryData &t, int numerTag);
    void DefineKody(TRxMemoryData &t);
    void DefineKaucje(TRxMemoryData &t);
    void DefinePowtNazwy(TRxMemoryData &t);
    void SetVatText(TField &field, const QString &text);
    void SetNameText(TField &field, const QString &text);
};

// Models whose register keeps codes and deposits under a four-digit key
// (ER-A235P, ER-A275P, ER-A237P, ER-A277P): their exchange lines carry the
// short code number and a four-digit deposit number.
bool ShortRecordKeys(int kasa);
// The register's name of a model ("ER-A277PS Plus").
QString ModelName(int kasa);
// The refusal of a code number that is not a short number on such a model.
QString ShortCodeOnlyMessage(const QString &displayedNumber, int kasa);

// The refusal of more records than the model takes in this table (an
// editor table or its twin), naming the table, the count and the limit;
// empty when they fit. count -1: the table's own record count; an import
// passes the count the table would reach. A deposits table the profile
// does not use has no limit here.
QString RecordLimitProblem(const TRxMemoryData &table, const TRegisterProfile &profile, qint64 count = -1);

// A new record of an editor table that holds nothing but what the table
// puts into every new record: leaving it drops it. The one answer for the
// grids, the editor commands, the find bar and the exchange.
bool IsUntouchedNewRecord(const TRxMemoryData &table);
// Ends a pending edit of the table: an untouched new record is dropped, any
// other pending insert or edit posted (its error raised).
void PostOrDropPendingEdit(TRxMemoryData &table);

// The program's data module; set by the program at start-up.
extern TDM *DM;
