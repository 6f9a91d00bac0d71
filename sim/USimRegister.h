#pragma once
// The inside of the simulated register: its tables (groups 01, codes 11,
// deposits 19) stored as whole records by key, the sales counters inside
// them, and the fiscal memory, generated from a few options so that every
// run with the same options gives the same bytes.
#include "link/URecord.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Layout of one of the register's tables: every field of the standard
// descriptor, in letter order.
struct TSimTable {
    int Number = 0;                 // 0x01, 0x11, 0x19
    int Capacity = 0;               // most records the register holds
    TSelection Layout;              // all fields
    std::array<int, TSelection::Fields> Offset{}; // byte offset of each letter
    std::map<TBytes, TBytes> Records; // key (field A bytes) -> whole record

    int RecordSize() const { return Layout.RecordSize; }
    int FieldSize(int letter) const { return Layout.FieldSize[letter]; }
    // The first item index of a letter, -1 when the table has no such field.
    int FirstItem(int letter) const;
    // True when any counter field (I, J) of any record is not zero.
    bool HasSales() const;
};

struct TFiscalOptions {
    int Reports = 30;          // daily reports in the memory
    uint64_t Seed = 1;
    int CurrencyChange = 0;    // the last report in the old currency; 0: none
    bool Closed = false;
    int RamResets = 3;         // at most 200
    // A report whose total due is 0.01 above its sales, as a register may
    // keep one; 0: none.
    int DueMismatch = 0;
};

// One daily report as the register keeps it (64 bytes on the line).
struct TDailyReport {
    int Number = 0;
    int Year = 0, Month = 0, Day = 0;
    TBytes Bytes;              // 64 bytes
};

class TSimRegister {
public:
    static constexpr int GroupsTable = 0x01;
    static constexpr int CodesTable = 0x11;
    static constexpr int DepositsTable = 0x19;

    explicit TSimRegister(int modelIndex = 11);

    int ModelIndex() const { return FModel; }
    // nullptr for a table the register does not have.
    TSimTable *Table(int number);
    const TSimTable *Table(int number) const;

    // Sales: while set, every record stored gets counters from the seed,
    // and FillSales gives the records already stored theirs.
    std::optional<uint64_t> SalesSeed;
    void FillSales();
    bool HasSales() const;

    // Stores a record of the table's full layout; key = field A. Fills the
    // counters when SalesSeed is set and the record is new.
    void Store(TSimTable &table, const TBytes &record);
    // When set, changes each record on its way into a table: damage that
    // the line's 8-bit sum let through (what a check after sending is for).
    std::function<void(const TSimTable &, TBytes &)> DamageStored;

    // Text state: one line per record ("T <table> <hex>"). Load replaces
    // the tables; false (tables unchanged) on a file that does not parse.
    bool Save(const std::string &path, std::string *error = nullptr) const;
    bool Load(const std::string &path, std::string *error = nullptr);

    // Fiscal memory.
    TFiscalOptions Fiscal;
    // Packets 0..11 of the ER-A277PS Plus layout (data bytes, not hex).
    std::vector<TBytes> FiscalFixedPackets() const;
    std::vector<TDailyReport> DailyReports() const;

private:
    void FillCounters(const TSimTable &table, TBytes &record) const;

    int FModel;
    std::map<int, TSimTable> FTables;
};

// Packed decimal helpers shared with the tests.
uint8_t ToBcd(int value);               // 0..99
// value as 2 × bytes digits, high nibble first.
TBytes PackUnsigned(uint64_t value, int bytes);
// value as 2 × bytes − 1 digits and a positive sign nibble.
TBytes PackSigned(uint64_t value, int bytes);
std::string HexText(const uint8_t *bytes, std::size_t count);
inline std::string HexText(const TBytes &bytes) { return HexText(bytes.data(), bytes.size()); }
// Upper-case hexadecimal only; false on anything else or an odd length.
bool HexBytes(const std::string &text, TBytes &bytes);
