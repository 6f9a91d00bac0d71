#pragma once
// The tasks of the table jobs: sending a table from an exchange file
// (TTaskDown, job D), reading a table into one (TTaskUp, job U), and the
// status query that follows a job (TTaskStatus). Both table tasks stream
// their file: one line, one record at a time.
#include "link/UExchangeFile.h"
#include "link/UProtoco.h"
#include "link/URecord.h"

#include <cstdint>
#include <string>
#include <string_view>

class TNational;
class TJobTable;

// Small text helpers shared by the tasks.
namespace LinkText {
// Upper-case hexadecimal digits, two per byte.
void AppendHex(std::string &out, const uint8_t *bytes, std::size_t count);
// value as exactly digits upper-case hexadecimal digits (value must fit).
std::string Hex(uint32_t value, int digits);
// All characters 0..9 / A..F (upper case only); false for an empty text or
// a value above 32 bits.
bool ParseHex(std::string_view text, uint32_t &value);
// A hexadecimal switch value (/M, /T): digits in either case, as a person
// types them; false for an empty text or a value above 32 bits.
bool ParseSwitchHex(std::string_view text, uint32_t &value);
// All characters 0..9; false for an empty text or a value above 32 bits.
bool ParseDecimal(std::string_view text, uint32_t &value);
// Hexadecimal text (two digits a byte, upper case) to bytes; false for an
// odd length or a character that is no digit.
bool HexToBytes(std::string_view text, TBytes &bytes);
} // namespace LinkText

// Job D: the exchange file of /F to the register table /T.
class TTaskDown : public TTask {
public:
    // Bytes of records in one data packet, the register family's data size.
    static constexpr int PacketData = 48;
    // The header carries block numbers and counts as two hexadecimal digits.
    static constexpr int MaxBlocks = 255;

    // folder: where a relative /F name lies (see ResolveJobFile).
    TTaskDown(TModuleContext &context, const TNational &national, int modelIndex, std::string folder = {});
    // Freeing the task closes its exchange file.
    ~TTaskDown() override { FReader.close(); }

    bool Start(int64_t registerNumber, TParam *params) override;
    TOutPacket NextPacket() override;
    bool AcceptPacket(TSuperString &buffer) override;

    const TSelection &Selection() const { return FSel; }
    // Records per data packet after /r and the 48-byte limit (at least 1).
    int RecordsPerPacket() const { return FPerPacket; }

private:
    enum class TPhase { Command, Header, Data, Done };
    TOutPacket Emit(const std::string &payload, bool last);
    TOutPacket DataPacket();
    // Writes the place of a bad line to the display, then fails with code.
    void FailAtLine(uint16_t code, int column);

    const TNational &FNational;
    const int FModel;
    const std::string FFolder;
    TExchangeReader FReader;
    TSelection FSel;
    TBytes FRecord;
    TPhase FPhase = TPhase::Command;
    bool FNumbered = false;
    bool FSentAny = false;
    uint32_t FMode = 0;
    uint32_t FTable = 0;
    uint32_t FHeaderParam = 5;
    int FBlocks = 1;
    int FBlock = 1;
    int FPerPacket = 1;
    long FSent = 0;  // records in the data packets built so far
};

// Job U: the register table /T to the exchange file of /F.
class TTaskUp : public TTask {
public:
    TTaskUp(TModuleContext &context, const TNational &national, int modelIndex, std::string folder = {});
    ~TTaskUp() override { FWriter.close(); }

    bool Start(int64_t registerNumber, TParam *params) override;
    TOutPacket NextPacket() override;
    bool AcceptPacket(TSuperString &buffer) override;
    void End(bool success) override;

    // The command payload built by Start.
    const std::string &Request() const { return FRequest; }
    const TSelection &Selection() const { return FSel; }
    long RecordsWritten() const { return FWriter.linesWritten(); }

private:
    enum class TPhase { Command, Header, Data, Done };
    bool AcceptHeader(const std::string &payload);
    bool AcceptData(const std::string &payload);

    const TNational &FNational;
    const int FModel;
    const std::string FFolder;
    TExchangeWriter FWriter;
    TSelection FSel;
    TPhase FPhase = TPhase::Command;
    bool FNumbered = false;
    bool FBlockOpen = false;
    uint32_t FTable = 0;
    int FBlock = 1;
    long FAnnounced = 0;  // records the headers so far announced
    std::string FRequest;
    std::string FLine;
};

// The status query: "/99-00/"; the register's answer carries its pending
// error code.
class TTaskStatus : public TTask {
public:
    explicit TTaskStatus(TModuleContext &context) : TTask(context) {}

    TOutPacket NextPacket() override;
    bool AcceptPacket(TSuperString &buffer) override;

private:
    bool FSent = false;
};

// Gives the job table the tasks of D, U, P and the status query.
void RegisterLinkTasks(TJobTable &table);
