#pragma once
// Job P: reads the register's fiscal memory (identity, closing, RAM resets,
// currency changes, daily reports) into the exchange file of /F, one text
// line per record, at fixed character positions the fiscal memory window
// reads.
#include "link/UExchangeFile.h"
#include "link/UProtoco.h"
#include "link/URecord.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TNational;

class TTaskFiscal : public TTask {
public:
    static constexpr std::size_t MinPayload = 8;
    static constexpr std::size_t MaxPayload = 550;
    static constexpr int MapBytes = 25;  // 200 RAM reset records, one bit each

    TTaskFiscal(TModuleContext &context, const TNational &national, int modelIndex, std::string folder = {});
    ~TTaskFiscal() override { FWriter.close(); }

    bool Start(int64_t registerNumber, TParam *params) override;
    TOutPacket NextPacket() override;
    bool AcceptPacket(TSuperString &buffer) override;
    // The NAK that asks a good copy again is not the register's failure,
    // and its tries count afresh from there.
    int ExtraNAKs() const override { return FCopies.empty() ? 0 : FRefusalsBeforeCopy + 1; }
    bool AwaitsSecondCopy() const { return !FCopies.empty(); }
    void End(bool success) override;

    const std::string &Request() const { return FRequest; }
    // The line has shown a fault during this read: from then on every
    // packet is taken only when two copies of it agree (before, the first
    // packet and those whose content no check can hold).
    bool NoiseSeen() const { return FNoiseSeen; }
    bool LastPacketSeen() const { return FLastSeen; }
    uint32_t NextExpected() const { return FNextExpected; }

    // Whether a model index has a fiscal memory layout at all.
    static bool HasLayout(int modelIndex);
    // Daily reports a read of /M mode and /R range asks for: the numbers
    // (/M0, "0009-0020") or the days (/M1, "010124-310124", one report a
    // day at most) of the range; -1 without a range or for one that does
    // not read.
    static long RangeReports(uint32_t mode, const std::string &range);
    // Five packed-decimal bytes as 11 characters: ten digits, a point
    // before the last two, leading zeros blank down to one digit before the
    // point. false when a nibble is above 9.
    static bool AmountText(const uint8_t *bytes, std::string &text);

    // What the content of a packet whose sum matched turned out to be. The
    // 8-bit sum lets through a dropped character together with a doubled
    // one, so every field is also held to its form: such a packet is asked
    // again like one with a bad sum.
    enum class TContent {
        Good,
        // Well formed, but the total due of a report in PLN differs from
        // its sales under A..G: kept when the register sends the same
        // bytes every time, the report side marks it.
        DueMismatch,
        // Well formed, but unlike the report before (other rates, a date
        // earlier or over a year later, fewer RAM resets) or counting more
        // RAM resets than there are records: taken when a second copy
        // brings the same bytes.
        Unusual,
        Malformed,
    };
    // Daily reports kept with a total due that differs from their sales.
    const std::vector<uint32_t> &DueMismatches() const { return FDueMismatches; }

private:
    struct TCurrencyChange {
        uint32_t LastOld = 0; // the last report in the old currency
        bool Polish = false;  // the new currency is PLN
    };
    // One packet taken apart; nothing of the task changes until it is
    // accepted.
    struct TDecoded {
        uint32_t Number = 0;
        bool Last = false;
        std::vector<std::string> Lines;
        std::vector<TCurrencyChange> Currencies;
        long Daily = -1; // report number of a daily report
        std::array<uint8_t, 7> Rates{};
        long Day = -1;
        int RamResets = 0; // a daily report's counter; used records of packets 3..6
        TContent Content = TContent::Good;
        // Content no check can hold: the flag maps and the further records.
        bool Unchecked = false;
    };
    TContent Examine(const std::string &payload, TDecoded &out, TBytes &data) const;
    bool Decode(std::size_t payloadLength, const TBytes &data, TDecoded &out) const;
    bool DecodePSPlus(std::size_t payloadLength, const TBytes &data, TDecoded &out) const;
    bool DecodeHeader(const TBytes &data, bool shortHeader, TDecoded &out) const;
    bool DecodeDaily64(const TBytes &data, bool checkCounts, TDecoded &out) const;
    bool DecodeDaily52(const TBytes &data, TDecoded &out) const;
    bool PolishReport(uint32_t number) const;
    // Takes a packet that decoded: state, maps and its lines.
    bool Commit(const TDecoded &decoded, const TBytes &data);
    // Asks for the packet again (the protocol answers NAK).
    bool Refuse();
    // Notes a copy that failed on its content; true when the register has
    // had its last try and sent these same bytes every time.
    bool SameCopyToTheEnd(const std::string &payload);
    // Notes a good copy of the awaited packet; true when an earlier copy
    // brought the same bytes.
    bool SecondCopy(const std::string &payload);
    bool Write(const std::string &line);

    const TNational &FNational;
    const int FModel;
    const std::string FFolder;
    TExchangeWriter FWriter;
    std::string FRequest;
    uint32_t FMode = 0;
    uint32_t FNextExpected = 0;
    uint32_t FPackets = 0;  // packets accepted
    long FReports = 0;       // daily reports received
    long FReportsTotal = -1; // of the range; -1 until known
    bool FLastSeen = false;
    bool FWriteFailed = false;
    bool FSent = false;
    std::array<uint8_t, MapBytes> FZMap{};
    std::array<uint8_t, MapBytes> FStarMap{};
    std::array<uint8_t, 5> FKept{};
    std::vector<TCurrencyChange> FCurrencies;
    long FLastDaily = -1;       // number of the last daily report taken
    std::array<uint8_t, 7> FLastRates{};
    long FLastDay = -1;         // its date, days since 1970
    int FLastRamResets = 0;     // its RAM reset counter
    int FRamRecords = -1;       // used RAM reset records; -1 until read
    int FRefusals = 0;          // refusals in a row of the awaited packet
    std::string FSuspect;       // its first copy that failed on content
    int FSuspectCopies = 0;
    bool FSuspectMixed = false; // a later copy differed
    std::string FLastRefused;   // the copy refused last on its content
    bool FNoiseSeen = false;
    std::vector<std::string> FCopies; // good copies of the awaited packet, none alike yet
    int FRefusalsBeforeCopy = 0;      // refusals of it before the first of them
    std::vector<uint32_t> FDueMismatches;
};
