#include "link/UDnUp.h"

#include "link/UError.h"
#include "link/UFiscal.h"
#include "link/UKOMDisplay.h"
#include "link/UModule.h"
#include "link/UNational.h"
#include "link/UParam.h"

#include <algorithm>
#include <cstdio>
#include <limits>

// ------------------------------------------------------------------ helpers

namespace LinkText {

void AppendHex(std::string &out, const uint8_t *bytes, std::size_t count)
{
    static const char digits[] = "0123456789ABCDEF";
    const std::size_t at = out.size();
    out.resize(at + 2 * count);
    char *p = out.data() + at;
    for (std::size_t i = 0; i < count; ++i) {
        *p++ = digits[bytes[i] >> 4];
        *p++ = digits[bytes[i] & 0x0F];
    }
}

std::string Hex(uint32_t value, int digits)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string s(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        s[static_cast<std::size_t>(i)] = hex[value & 0x0F];
    return s;
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseHex(std::string_view text, uint32_t &value)
{
    if (text.empty())
        return false;
    uint64_t v = 0;
    for (char c : text) {
        const int d = HexDigit(c);
        if (d < 0)
            return false;
        v = v * 16 + static_cast<uint64_t>(d);
        if (v > std::numeric_limits<uint32_t>::max())
            return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

bool ParseSwitchHex(std::string_view text, uint32_t &value)
{
    std::string upper(text);
    for (char &c : upper)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    return ParseHex(upper, value);
}

bool ParseDecimal(std::string_view text, uint32_t &value)
{
    if (text.empty())
        return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > std::numeric_limits<uint32_t>::max())
            return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

bool HexToBytes(std::string_view text, TBytes &bytes)
{
    if (text.size() % 2 != 0)
        return false;
    bytes.resize(text.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int hi = HexDigit(text[2 * i]);
        const int lo = HexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return true;
}

} // namespace LinkText

using namespace LinkText;

namespace {

// The 4-digit hexadecimal selector of /M for the table jobs: absent or empty
// is 0; anything that is not one or two hexadecimal digits is refused.
bool TableMode(const TParam &p, uint32_t &mode)
{
    mode = 0;
    if (p.isEmpty('M'))
        return true;
    return ParseSwitchHex(p.value('M'), mode) && mode <= 0xFF;
}

// The table number of /T: one or two hexadecimal digits.
bool TableNumber(const TParam &p, uint32_t &table)
{
    return ParseSwitchHex(p.value('T'), table) && table <= 0xFF;
}

// The switches both table jobs check first, in this order: the parameters
// themselves, /M, /T, then /F present and not empty. Gives the code to fail
// with, 0 when all are fine.
uint16_t CheckTableSwitches(const TParam *params, uint32_t &mode, uint32_t &table)
{
    if (!params)
        return 0x9999;
    const TParam &p = *params;
    if (!TableMode(p, mode))
        return 0x1306;
    // No code says "bad /T"; a table number the header cannot carry is
    // treated as missing.
    if (!p.has('T') || !TableNumber(p, table))
        return 0x1202;
    if (!p.has('F'))
        return 0x1203;
    if (p.isEmpty('F'))
        return 0x1303;
    return 0;
}

// The fields of /A out of the table's standard descriptor; the code to fail
// with, 0 when the selection is made.
uint16_t SelectTableFields(const TParam &p, uint32_t table, int model, TSelection &sel)
{
    if (!p.has('A'))
        return 0x1204;
    if (!selectFields(p.value('A'), standardDescriptor(static_cast<int>(table), model), sel))
        return 0x1304;
    return 0;
}

} // namespace

// --------------------------------------------------------------- download

TTaskDown::TTaskDown(TModuleContext &context, const TNational &national, int modelIndex, std::string folder)
    : TTask(context), FNational(national), FModel(modelIndex), FFolder(std::move(folder)),
      FReader(context, national)
{
}

bool TTaskDown::Start(int64_t registerNumber, TParam *params)
{
    if (!TTask::Start(registerNumber, params))
        return false;
    SetState(Error);
    if (const uint16_t code = CheckTableSwitches(params, FMode, FTable)) {
        Fail(code);
        return false;
    }
    TParam &p = *params;
    uint32_t skip = 0;
    if (p.has('O') && !p.isEmpty('O') && !ParseDecimal(p.value('O'), skip)) {
        Fail(0x1316);
        return false;
    }
    if (!FReader.open(ResolveJobFile(FFolder, p.value('F')), static_cast<long>(std::min<uint32_t>(skip, 0x7FFFFFFF)))
        || !FReader.nextLine()) {
        Fail(FReader.readError() ? 0x1101 : 0x1100);
        return false;
    }
    uint32_t limit = 1000;
    if (p.has('r')) {
        if (p.isEmpty('r'))
            limit = 1;
        else if (!ParseDecimal(p.value('r'), limit)) {
            Fail(0x1323);
            return false;
        }
    }
    FHeaderParam = 5;
    if (!p.isEmpty('N') && (!ParseDecimal(p.value('N'), FHeaderParam) || FHeaderParam > 0xFFFF)) {
        Fail(0x1315);
        return false;
    }
    uint32_t blocks = 1;
    if (!p.isEmpty('C') && !ParseDecimal(p.value('C'), blocks)) {
        Fail(0x1207);
        return false;
    }
    if (const uint16_t code = SelectTableFields(p, FTable, FModel, FSel)) {
        Fail(code);
        return false;
    }
    static const uint32_t allowed[] = {1, 9, 99, MaxBlocks};
    if (blocks > allowed[FSel.BlockDigits]) {
        Fail(0x1152);
        return false;
    }
    FBlocks = static_cast<int>(blocks);
    FNumbered = !FSel.hasField('A');
    // A record bigger than the packet's data size still travels, alone.
    const int fit = std::max(1, PacketData / FSel.RecordSize);
    FPerPacket = static_cast<int>(std::clamp<uint32_t>(limit, 1, static_cast<uint32_t>(fit)));
    FPhase = TPhase::Command;
    FSentAny = false;
    FSent = 0;
    SetState(Ready);
    Context.Display.Progress('D', FTable, 0, FReader.recordCount());
    return true;
}

TOutPacket TTaskDown::Emit(const std::string &payload, bool last)
{
    // Built here rather than in TPacket: a lone record of up to 200 bytes
    // makes a packet longer than the builder's 255 characters.
    TOutPacket out{BuildPacket(Packet.Sequence(), payload), last};
    Packet.AdvanceSequence();
    return out;
}

void TTaskDown::FailAtLine(uint16_t code, int column)
{
    if (!Context.Quiet) {
        const std::string where = "Linia " + std::to_string(FReader.lineNumber()) + " pliku wejściowego, kolumna "
                                  + std::to_string(column) + ":";
        Context.WriteLine(Utf8ToCp852(where));
        Context.Display.WriteLine(ExchangeDisplayLine(FNational.toPC(FReader.line())));
    }
    Fail(code);
}

TOutPacket TTaskDown::NextPacket()
{
    if (InError())
        return {};
    switch (FPhase) {
    case TPhase::Command:
        FPhase = TPhase::Header;
        return Emit("/10-" + Hex(FMode, 2) + "/", false);
    case TPhase::Header: {
        const int block = lineBlockNumber(FSel, FReader.line());
        if (block < 1 || block > FBlocks) {
            FailAtLine(0x1151, 1);
            return {};
        }
        if (FSel.RecordSize < 1 || FSel.RecordSize > TSelection::MaxRecordSize) {
            Fail(0x9999);
            return {};
        }
        FBlock = block;
        std::string h = "/HDR1/" + Hex(FTable, 2) + "00" + Hex(FHeaderParam, 4) + "00" + "0000" + Hex(static_cast<uint32_t>(block), 2)
                        + Hex(static_cast<uint32_t>(FBlocks), 2);
        for (int size : FSel.FieldSize)
            h += Hex(static_cast<uint32_t>(size), 2);
        FPhase = TPhase::Data;
        return Emit(h, false);
    }
    case TPhase::Data:
        return DataPacket();
    case TPhase::Done:
        break;
    }
    return {};
}

TOutPacket TTaskDown::DataPacket()
{
    std::string records;
    records.reserve(static_cast<std::size_t>(FPerPacket * FSel.RecordSize * 2));
    int count = 0;
    int first = 0;
    int previous = -1;
    bool fileEnded = false;
    bool blockEnded = false;
    while (count < FPerPacket) {
        if (FNumbered) {
            const int number = lineRecordNumber(FSel, FReader.line());
            if (number < 0) {
                FailAtLine(0x1110, FSel.BlockDigits > 0 ? FSel.BlockDigits + 2 : 1);
                return {};
            }
            if (!FSentAny && count == 0 && number != 1) {
                FailAtLine(0x1150, FSel.BlockDigits > 0 ? FSel.BlockDigits + 2 : 1);
                return {};
            }
            // A packet holds consecutive numbers only.
            if (count > 0 && number != previous + 1)
                break;
            if (count == 0)
                first = number;
            previous = number;
        }
        TLineError where;
        if (!lineToRecord(FSel, FNumbered, FReader.line(), FRecord, &where)) {
            FailAtLine(0x1110, where.Column);
            return {};
        }
        AppendHex(records, FRecord.data(), FRecord.size());
        ++count;
        FSentAny = true;
        if (!FReader.nextLine()) {
            if (FReader.readError()) {
                Fail(0x1101);
                return {};
            }
            fileEnded = true;
            break;
        }
        if (lineBlockNumber(FSel, FReader.line()) != FBlock) {
            blockEnded = true;
            break;
        }
    }
    const bool endsBlock = fileEnded || blockEnded;
    std::string payload = Hex(static_cast<uint32_t>(FNumbered ? first : 0), 4) + Hex(static_cast<uint32_t>(count), 2)
                          + (endsBlock ? "01" : "00");
    payload += records;
    if (fileEnded)
        FPhase = TPhase::Done;
    else if (blockEnded)
        FPhase = TPhase::Header;
    FSent += count;
    Context.Display.Progress('D', FTable, FSent, FReader.recordCount());
    return Emit(payload, fileEnded);
}

bool TTaskDown::AcceptPacket(TSuperString &)
{
    // A sending transfer receives no packets.
    return false;
}

// ----------------------------------------------------------------- upload

TTaskUp::TTaskUp(TModuleContext &context, const TNational &national, int modelIndex, std::string folder)
    : TTask(context), FNational(national), FModel(modelIndex), FFolder(std::move(folder)), FWriter(context, national)
{
}

bool TTaskUp::Start(int64_t registerNumber, TParam *params)
{
    if (!TTask::Start(registerNumber, params))
        return false;
    SetState(Error);
    uint32_t mode = 0;
    if (const uint16_t code = CheckTableSwitches(params, mode, FTable)) {
        Fail(code);
        return false;
    }
    TParam &p = *params;
    if (!FWriter.create(ResolveJobFile(FFolder, p.value('F')))) {
        Fail(0x1100);
        return false;
    }
    FRequest = "/20-" + Hex(mode, 2) + "/" + Hex(FTable, 2) + "/";
    if (p.has('C')) {
        uint32_t c = 0;
        if (!ParseDecimal(p.value('C'), c) || c > 0xFF) {
            Fail(0x1207);
            return false;
        }
        FRequest += Hex(c, 2);
        if (!p.has('U'))
            p.setDefault('U', "");
    }
    FRequest += "/" + p.value('R') + "/";
    if (const uint16_t code = SelectTableFields(p, FTable, FModel, FSel)) {
        Fail(code);
        return false;
    }
    if (!p.has('o'))
        FRequest += FSel.fieldMask() + "/";
    if (p.has('Z')) {
        std::string mask;
        if (!fieldMaskOfLetters(p.value('Z'), mask)) {
            Fail(0x1311);
            return false;
        }
        FRequest += mask + "/";
    }
    // STX, sequence, checksum and CR must fit the builder's 255 characters.
    if (FRequest.size() + 5 > TPacket::MaxText) {
        Fail(0x1314);
        return false;
    }
    FNumbered = !FSel.hasField('A');
    FPhase = TPhase::Command;
    FBlockOpen = false;
    FAnnounced = 0;
    SetState(Ready);
    Context.Display.Progress('U', FTable, 0, -1);
    return true;
}

TOutPacket TTaskUp::NextPacket()
{
    if (InError() || FPhase != TPhase::Command)
        return {};
    Packet.Begin();
    Packet.Append(FRequest);
    TOutPacket out{Packet.Finish(), true};
    Packet.ResetSequence();
    FPhase = TPhase::Header;
    return out;
}

bool TTaskUp::AcceptHeader(const std::string &h)
{
    bool wellFormed = h.size() == 56 && h.compare(0, 6, "/HDR1/") == 0;
    for (std::size_t i = 6; wellFormed && i < h.size(); ++i)
        wellFormed = (h[i] >= '0' && h[i] <= '9') || (h[i] >= 'A' && h[i] <= 'F');
    if (!wellFormed) {
        Fail(0x1501);
        return false;
    }
    auto field = [&h](std::size_t pos, std::size_t len) {
        uint32_t v = 0;
        ParseHex(std::string_view(h).substr(pos, len), v);
        return v;
    };
    const uint32_t table = field(6, 2);
    const uint32_t second = field(8, 2);
    if (table != FTable || (table == 0) == (second == 0)) {
        Fail(0x1501);
        return false;
    }
    for (int i = 0; i < TSelection::Fields; ++i) {
        if (field(24 + 2 * static_cast<std::size_t>(i), 2) != static_cast<uint32_t>(FSel.FieldSize[static_cast<std::size_t>(i)])) {
            Fail(0x1500);
            return false;
        }
    }
    static const uint32_t allowed[] = {1, 9, 99, 999};
    const uint32_t block = field(20, 2);
    const uint32_t blocks = field(22, 2);
    if (blocks > allowed[FSel.BlockDigits]) {
        Fail(0x1152);
        return false;
    }
    // The block number goes into every line; it must fit the block digits.
    if (block > allowed[FSel.BlockDigits] || (FSel.BlockDigits > 0 && block == 0)) {
        Fail(0x1151);
        return false;
    }
    if (FSel.BlockDigits == 0 && Params && !Params->has('U'))
        Params->setDefault('U', "");
    FBlock = static_cast<int>(block);
    FBlockOpen = true;
    FPhase = TPhase::Data;
    // The 16-bit parameter of the register's header is its record count.
    FAnnounced += static_cast<long>(field(10, 4));
    Context.Display.Progress('U', FTable, RecordsWritten(), FAnnounced);
    return true;
}

bool TTaskUp::AcceptData(const std::string &d)
{
    uint32_t first = 0, count = 0, end = 0;
    if (d.size() < 8 || !ParseHex(std::string_view(d).substr(0, 4), first)
        || !ParseHex(std::string_view(d).substr(4, 2), count) || !ParseHex(std::string_view(d).substr(6, 2), end)
        || end > 1 || d.size() != 8 + 2 * count * static_cast<uint32_t>(FSel.RecordSize)) {
        Fail(0x9910);
        return false;
    }
    const std::size_t size = static_cast<std::size_t>(FSel.RecordSize);
    TBytes record;
    for (uint32_t i = 0; i < count; ++i) {
        if (!HexToBytes(std::string_view(d).substr(8 + 2 * size * i, 2 * size), record)) {
            Fail(0x9910);
            return false;
        }
        const uint16_t number = static_cast<uint16_t>(first + i);
        if (!recordToLine(FSel, FBlock, FNumbered, number, record.data(), record.size(), FLine)) {
            Fail(0x1160);
            return false;
        }
        if (!FWriter.writeLine(FLine)) {
            Fail(0x1102);
            return false;
        }
    }
    if (end == 1) {
        FBlockOpen = false;
        FPhase = TPhase::Header;
    }
    Context.Display.Progress('U', FTable, RecordsWritten(), FAnnounced);
    return true;
}

bool TTaskUp::AcceptPacket(TSuperString &buffer)
{
    if (InError())
        return false;
    if (!Packet.Check(buffer))
        return false;
    const std::string payload = buffer.Str();
    bool ok = false;
    switch (FPhase) {
    case TPhase::Header: ok = AcceptHeader(payload); break;
    case TPhase::Data: ok = AcceptData(payload); break;
    default: Fail(0x9999); break;
    }
    if (ok)
        Packet.AdvanceSequence();
    return ok;
}

void TTaskUp::End(bool success)
{
    if (success && !InError() && FBlockOpen) {
        Fail(0x2100, true);
        success = false;
    }
    TTask::End(success);
    // Data that never reached the disk is a failed read.
    if (!FWriter.close() && !InError()) {
        Fail(0x1102);
    }
    FPhase = TPhase::Done;
}

// ----------------------------------------------------------------- status

TOutPacket TTaskStatus::NextPacket()
{
    if (InError() || FSent)
        return {};
    FSent = true;
    Packet.Begin();
    Packet.Append("/99-00/");
    TOutPacket out{Packet.Finish(), true};
    Packet.ResetSequence();
    return out;
}

bool TTaskStatus::AcceptPacket(TSuperString &buffer)
{
    if (InError())
        return false;
    if (!Packet.Check(buffer))
        return false;
    uint32_t code = 0;
    const std::string payload = buffer.Str();
    // An answer without a readable code must not pass for "no error".
    if (payload.size() < 4 || !ParseHex(std::string_view(payload).substr(0, 4), code)) {
        Fail(0x1160);
        return false;
    }
    if (code != 0) {
        Context.SetError(static_cast<uint16_t>(code), false);
    } else {
        // "No error" from the register does not undo a transfer that broke
        // off or a read that stopped before its end.
        const uint16_t job = Context.Error.Code;
        if (job != 0x2000 && job != 0x2100 && job != 0xE001)
            Context.SetError(0, false);
    }
    Packet.AdvanceSequence();
    return true;
}

// --------------------------------------------------------------- registry

void RegisterLinkTasks(TJobTable &table)
{
    table.Register('D', "Wysyłanie danych", true, [](TJob &job) {
        return std::make_unique<TTaskDown>(job.Context, job.National, job.Model.Index, job.Folder);
    });
    table.Register('U', "Czytanie danych", false, [](TJob &job) {
        return std::make_unique<TTaskUp>(job.Context, job.National, job.Model.Index, job.Folder);
    });
    table.Register('P', "Czytanie pamięci fiskalnej", false, [](TJob &job) {
        return std::make_unique<TTaskFiscal>(job.Context, job.National, job.Model.Index, job.Folder);
    });
    table.RegisterStatus([](TJob &job) { return std::make_unique<TTaskStatus>(job.Context); });
}
