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
    void End(bool success) override;

    const std::string &Request() const { return FRequest; }
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

private:
    // Decodes one packet's data and writes its lines; false: 0xE003 (or
    // 0x1102 already reported when a write failed).
    bool Decode(uint32_t number, std::size_t payloadLength, const TBytes &data);
    bool DecodePSPlus(uint32_t number, std::size_t payloadLength, const TBytes &data);
    bool DecodeHeader(const TBytes &data, bool shortHeader);
    bool DecodeDaily64(const TBytes &data, bool checkCounts);
    bool DecodeDaily52(const TBytes &data);
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
};
