#pragma once
// What the program remembers each register (model and port) holds in its
// codes table, so that "send changed" can send only what differs. Kept in
// the user's data folder (0700), one file a register (0600), replaced
// atomically.
#include "data/UCurrency.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <map>
#include <vector>

class TRxMemoryData;

// One code as the register holds it: the fields a send carries.
struct TRememberedCode {
    QString Numer; // stored 14-digit form
    QString Nazwa;
    int Grupa = 0;
    Currency Cena;
    QString RodzajCeny; // stored "0" or "1"

    bool operator==(const TRememberedCode &o) const
    {
        return Numer == o.Numer && Nazwa == o.Nazwa && Grupa == o.Grupa && Cena == o.Cena
               && RodzajCeny == o.RodzajCeny;
    }
    // The current record of a codes table.
    static TRememberedCode FromRecord(const TRxMemoryData &table);
    // Any row, without moving the cursor.
    static TRememberedCode FromRow(const TRxMemoryData &table, int row);
    // The given rows, with the fields looked up once.
    static std::vector<TRememberedCode> FromRows(const TRxMemoryData &table, const std::vector<int> &rows);
};

struct TRegisterContent {
    bool Known = false; // false: nothing remembered for this register
    QDateTime Updated;  // UTC
    std::map<QString, TRememberedCode> Codes; // by number
};

// Which codes of the editor table "send changed" sends, and which the
// register holds that the editor does not.
struct TCodesDiff {
    std::vector<int> ChangedRows;   // new or different, in table order
    std::vector<QString> Missing;   // numbers, ascending
};
TCodesDiff DiffCodes(const TRxMemoryData &codes, const TRegisterContent &remembered);

// The port name of the register the program simulates in itself (--demo):
// it starts anew every run.
inline const QString SimulatedRegisterPort = QStringLiteral("DEMO");

class TRegisterMemory {
public:
    using TClock = std::function<QDateTime()>;
    using TRegisterKey = std::function<QString()>;

    // folder: where the files live (empty: the user's data folder);
    // registerKey gives the model and port of the register the next job
    // talks to; clock the update time (UTC).
    TRegisterMemory(QString folder, TRegisterKey registerKey, TClock clock = {});

    static QString DefaultFolder();
    static QString Key(const QString &modelCode, const QString &port);

    // The remembered content of the current register; a damaged file
    // raises Exception with its message (the file is left as it is).
    TRegisterContent Load() const;

    // After a successful job. Each writes the file with the update time;
    // a failed write raises Exception.
    void ReplaceAll(const std::map<QString, TRememberedCode> &codes);
    // wholeTable: a full send, which tells what the register holds even
    // when nothing was remembered before; part of a table does not.
    void Upsert(const std::vector<TRememberedCode> &codes, bool wholeTable = false);
    void Remove(const std::vector<QString> &numbers);

    // The file of the current register; in the run's private folder when
    // the register's content is kept for this run only.
    QString FileName() const;
    // A pseudo-terminal is a simulated register whose device the next run
    // may give to another one, and the program's own simulated register
    // starts anew: their content is kept for this run only.
    bool ForThisRunOnly() const;
    QDateTime Now() const;

private:
    void Save(const TRegisterContent &content) const;
    TRegisterContent LoadOrEmpty() const;

    QString m_folder;
    TRegisterKey m_key;
    TClock m_clock;
};
