#include "sim/USimRegister.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// Letters of a descriptor in order ("ABDEIJ").
std::string descriptorLetters(const std::string &descriptor)
{
    std::string letters;
    for (std::size_t i = 0; i + 1 < descriptor.size(); ++i)
        if (((descriptor[i] >= 'A' && descriptor[i] <= 'Z') || (descriptor[i] >= 'a' && descriptor[i] <= 'z'))
            && descriptor[i + 1] == '(')
            letters += descriptor[i];
    return letters;
}

uint64_t mix(uint64_t x)
{
    // splitmix64: a fixed, well-spread function of the seed and the key.
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint64_t keyHash(const TBytes &key)
{
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : key)
        h = (h ^ b) * 1099511628211ull;
    return h;
}

constexpr int kLetterI = 'I' - 'A';
constexpr int kLetterJ = 'J' - 'A';

using namespace std::chrono;

year_month_day dayAfter(const year_month_day &start, int days)
{
    return year_month_day{sys_days{start} + std::chrono::days{days}};
}

void putDate(TBytes &out, const year_month_day &d)
{
    out.push_back(ToBcd(static_cast<int>(unsigned(d.day()))));
    out.push_back(ToBcd(static_cast<int>(unsigned(d.month()))));
    out.push_back(ToBcd(int(d.year()) % 100));
}

void append(TBytes &out, const TBytes &more) { out.insert(out.end(), more.begin(), more.end()); }

const year_month_day kInstallation{year{2023}, month{1}, day{2}};

} // namespace

uint8_t ToBcd(int value)
{
    return static_cast<uint8_t>(((value / 10) % 10) << 4 | (value % 10));
}

TBytes PackUnsigned(uint64_t value, int bytes)
{
    TBytes out(static_cast<std::size_t>(bytes), 0);
    for (int i = bytes - 1; i >= 0; --i) {
        const int lo = static_cast<int>(value % 10);
        value /= 10;
        const int hi = static_cast<int>(value % 10);
        value /= 10;
        out[static_cast<std::size_t>(i)] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return out;
}

TBytes PackSigned(uint64_t value, int bytes)
{
    // Digits shifted one nibble left; the last nibble 0 is the plus sign.
    TBytes out = PackUnsigned(value * 10, bytes);
    out.back() &= 0xF0;
    return out;
}

std::string HexText(const uint8_t *bytes, std::size_t count)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 0x0F];
    }
    return s;
}

bool HexBytes(const std::string &text, TBytes &bytes)
{
    if (text.size() % 2 != 0)
        return false;
    auto value = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    TBytes out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = value(text[i]), lo = value(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    bytes = std::move(out);
    return true;
}

// ------------------------------------------------------------------ tables

int TSimTable::FirstItem(int letter) const
{
    if (Layout.FieldSize[letter] == 0)
        return -1;
    int offset = 0, item = 0;
    for (const TRecordItem &it : Layout.Items) {
        if (offset == Offset[letter])
            return item;
        offset += it.Bytes;
        ++item;
    }
    return -1;
}

bool TSimTable::HasSales() const
{
    for (const auto &[key, record] : Records)
        for (int letter : {kLetterI, kLetterJ})
            for (int i = 0; i < FieldSize(letter); ++i)
                if (record[static_cast<std::size_t>(Offset[letter] + i)] != 0)
                    return true;
    return false;
}

TSimRegister::TSimRegister(int modelIndex) : FModel(modelIndex)
{
    const std::pair<int, int> tables[] = {{GroupsTable, 30}, {CodesTable, 9999}, {DepositsTable, 50}};
    for (auto [number, capacity] : tables) {
        TSimTable t;
        t.Number = number;
        t.Capacity = capacity;
        const std::string descriptor = standardDescriptor(number, modelIndex);
        if (!selectFields(descriptorLetters(descriptor), descriptor, t.Layout))
            continue;
        int offset = 0;
        for (int l = 0; l < TSelection::Fields; ++l) {
            t.Offset[l] = offset;
            offset += t.Layout.FieldSize[l];
        }
        FTables[number] = std::move(t);
    }
}

TSimTable *TSimRegister::Table(int number)
{
    const auto it = FTables.find(number);
    return it == FTables.end() ? nullptr : &it->second;
}

const TSimTable *TSimRegister::Table(int number) const
{
    const auto it = FTables.find(number);
    return it == FTables.end() ? nullptr : &it->second;
}

void TSimRegister::FillCounters(const TSimTable &table, TBytes &record) const
{
    if (!SalesSeed)
        return;
    const int keySize = table.FieldSize(0);
    const TBytes key(record.begin(), record.begin() + keySize);
    uint64_t h = mix(*SalesSeed ^ mix(keyHash(key) ^ static_cast<uint64_t>(table.Number) << 56));
    uint64_t previousAmount = 0, previousQuantity = 0;
    for (int letter : {kLetterI, kLetterJ}) {
        if (table.FieldSize(letter) != 10)
            continue;
        h = mix(h);
        // Amount in hundredths up to 9999.99, quantity in thousandths up
        // to 999.999; the periodic counter J includes the daily one.
        uint64_t amount = h % 1000000, quantity = (h >> 24) % 1000000;
        if (letter == kLetterJ && table.Number == GroupsTable) {
            amount += previousAmount;
            quantity += previousQuantity;
        }
        previousAmount = amount;
        previousQuantity = quantity;
        TBytes counters = PackSigned(amount, 6);
        append(counters, PackSigned(quantity, 4));
        std::copy(counters.begin(), counters.end(), record.begin() + table.Offset[letter]);
    }
}

void TSimRegister::FillSales()
{
    for (auto &[number, table] : FTables)
        for (auto &[key, record] : table.Records)
            FillCounters(table, record);
}

bool TSimRegister::HasSales() const
{
    for (const auto &[number, table] : FTables)
        if (table.HasSales())
            return true;
    return false;
}

void TSimRegister::Store(TSimTable &table, const TBytes &record)
{
    const int keySize = table.FieldSize(0);
    TBytes key(record.begin(), record.begin() + keySize);
    const bool isNew = table.Records.find(key) == table.Records.end();
    TBytes &stored = table.Records[key];
    stored = record;
    if (DamageStored)
        DamageStored(table, stored);
    if (isNew)
        FillCounters(table, stored);
}

bool TSimRegister::Save(const std::string &path, std::string *error) const
{
    // Written beside the target and renamed over it, so that a failed save
    // leaves the previous state intact.
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            if (error)
                *error = "cannot write " + temp;
            return false;
        }
        out << "KASASIM 1\n";
        for (const auto &[number, table] : FTables)
            for (const auto &[key, record] : table.Records)
                out << "T " << HexText(TBytes{static_cast<uint8_t>(number)})
                    << ' ' << HexText(record) << '\n';
        out.flush();
        if (!out) {
            if (error)
                *error = "cannot write " + temp;
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        if (error)
            *error = "cannot replace " + path + ": " + ec.message();
        return false;
    }
    return true;
}

bool TSimRegister::Load(const std::string &path, std::string *error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    std::map<int, std::map<TBytes, TBytes>> loaded;
    std::string line;
    int lineNumber = 0;
    auto fail = [&](const std::string &why) {
        if (error)
            *error = path + ":" + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (lineNumber == 1) {
            if (line != "KASASIM 1")
                return fail("not a simulator state file");
            continue;
        }
        if (line.empty())
            continue;
        std::istringstream fields(line);
        std::string tag, tableText, hex;
        if (!(fields >> tag >> tableText >> hex) || tag != "T")
            return fail("expected: T <table> <record>");
        TBytes tableByte, record;
        if (!HexBytes(tableText, tableByte) || tableByte.size() != 1 || !HexBytes(hex, record))
            return fail("bad hexadecimal text");
        const int number = tableByte[0];
        const TSimTable *table = Table(number);
        if (!table)
            return fail("unknown table " + tableText);
        if (static_cast<int>(record.size()) != table->RecordSize())
            return fail("record size differs from table " + tableText);
        const TBytes key(record.begin(), record.begin() + table->FieldSize(0));
        loaded[number][key] = record;
    }
    if (lineNumber == 0)
        return fail("empty file");
    for (auto &[number, table] : FTables)
        table.Records = std::move(loaded[number]);
    return true;
}

// ------------------------------------------------------------ fiscal memory

std::vector<TDailyReport> TSimRegister::DailyReports() const
{
    std::vector<TDailyReport> out;
    const int n = std::max(0, Fiscal.Reports);
    const int resets = std::clamp(Fiscal.RamResets, 0, 200);
    out.reserve(static_cast<std::size_t>(n));
    for (int r = 1; r <= n; ++r) {
        TDailyReport rep;
        rep.Number = r;
        const year_month_day d = dayAfter(kInstallation, r);
        rep.Year = int(d.year());
        rep.Month = static_cast<int>(unsigned(d.month()));
        rep.Day = static_cast<int>(unsigned(d.day()));
        uint64_t h = mix(Fiscal.Seed ^ static_cast<uint64_t>(r) << 20);
        TBytes &b = rep.Bytes;
        append(b, PackUnsigned(static_cast<uint64_t>(r), 2));
        putDate(b, d);
        uint64_t total = 0;
        for (int letter = 0; letter < 7; ++letter) {
            uint64_t gross = 0;
            if (letter < 4) {
                h = mix(h);
                gross = h % 5000000; // up to 49999.99
            }
            total += gross;
            append(b, PackUnsigned(gross, 5));
        }
        const uint8_t rates[7] = {0x22, 0x07, 0x00, 0xB0, 0xA0, 0xA0, 0xA0};
        b.insert(b.end(), rates, rates + 7);
        // RAM resets happen between reports (see FiscalFixedPackets).
        int counter = 0;
        for (int k = 1; k <= resets; ++k)
            if (static_cast<int64_t>(k) * n / (resets + 1) < r)
                ++counter;
        b.push_back(static_cast<uint8_t>(counter));
        h = mix(h);
        append(b, PackUnsigned(1 + h % 400, 2));          // receipts
        b.push_back(r % 10 == 0 ? 0x01 : 0x00);           // product base changed
        append(b, PackUnsigned(total + (r == Fiscal.DueMismatch ? 1 : 0), 5));
        h = mix(h);
        const uint64_t cancelled = h % 4;
        append(b, PackUnsigned(cancelled, 2));
        append(b, PackUnsigned(cancelled * ((h >> 8) % 5000), 5));
        b.push_back(0x00);
        out.push_back(std::move(rep));
    }
    return out;
}

std::vector<TBytes> TSimRegister::FiscalFixedPackets() const
{
    std::vector<TBytes> packets(12);
    const int n = std::max(0, Fiscal.Reports);
    const int resets = std::clamp(Fiscal.RamResets, 0, 200);

    // 0: unique number (3 letters, 8 digits), NIP, installation date.
    TBytes &h = packets[0];
    const std::string letters = "BHA", nip = "526-104-08-28";
    h.insert(h.end(), letters.begin(), letters.end());
    append(h, TBytes{0x20, 0x01, 0x23, 0x45});
    h.insert(h.end(), nip.begin(), nip.end());
    putDate(h, kInstallation);
    h.push_back(0x00);

    // 3..6: RAM resets, FF = empty slot. Reset k follows report
    // k × n / (resets + 1) (or comes before the first when that is 0).
    TBytes zmap(25, 0), starmap(25, 0), resetRecords(200 * 5, 0xFF);
    for (int k = 1; k <= resets; ++k) {
        const int after = static_cast<int>(static_cast<int64_t>(k) * n / (resets + 1));
        const year_month_day d = dayAfter(kInstallation, after);
        TBytes rec;
        putDate(rec, d);
        rec.push_back(ToBcd(7 + k % 12));
        rec.push_back(ToBcd((k * 7) % 60));
        std::copy(rec.begin(), rec.end(), resetRecords.begin() + (k - 1) * 5);
        const uint64_t bits = mix(Fiscal.Seed + static_cast<uint64_t>(k));
        const std::size_t byte = static_cast<std::size_t>((k - 1) / 8);
        const uint8_t bit = static_cast<uint8_t>(0x80 >> ((k - 1) % 8));
        if (bits & 1)
            zmap[byte] |= bit;
        if (bits & 2)
            starmap[byte] |= bit;
    }
    packets[1] = zmap;
    append(packets[1], TBytes{0x00, 0x00, 0x00, 0x00, 0x00});

    // 2: star map and the closing record.
    packets[2] = starmap;
    if (Fiscal.Closed) {
        packets[2].push_back(0x00);
        putDate(packets[2], dayAfter(kInstallation, n + 1));
        append(packets[2], TBytes{0x18, 0x30});
    } else {
        append(packets[2], TBytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    }
    for (int p = 3; p <= 6; ++p)
        packets[static_cast<std::size_t>(p)].assign(resetRecords.begin() + (p - 3) * 250,
                                                    resetRecords.begin() + (p - 2) * 250);

    // 7..9: currency changes, currency number FF = empty slot.
    TBytes currency(30 * 12, 0xFF);
    if (Fiscal.CurrencyChange > 0) {
        TBytes rec{0x01};
        append(rec, PackUnsigned(static_cast<uint64_t>(Fiscal.CurrencyChange), 2));
        putDate(rec, dayAfter(kInstallation, Fiscal.CurrencyChange));
        append(rec, TBytes{0x23, 0x59});
        const std::string symbol = "EUR ";
        rec.insert(rec.end(), symbol.begin(), symbol.end());
        std::copy(rec.begin(), rec.end(), currency.begin());
    }
    for (int p = 7; p <= 9; ++p)
        packets[static_cast<std::size_t>(p)].assign(currency.begin() + (p - 7) * 120,
                                                    currency.begin() + (p - 6) * 120);
    // 10, 11: further records, unused.
    packets[10].assign(128, 0xFF);
    packets[11].assign(128, 0xFF);
    return packets;
}
