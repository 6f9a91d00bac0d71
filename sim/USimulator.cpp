#include "sim/USimulator.h"

#include "link/UProtoco.h"

#include <algorithm>
#include <cstdio>

namespace {

// Register error codes used here.
constexpr uint16_t kCommandError = 0x0101;
constexpr uint16_t kHeaderSize = 0x0104;
constexpr uint16_t kDataSize = 0x0105;
constexpr uint16_t kUnknownPacket = 0x0106;
constexpr uint16_t kBadTable = 0x0110;
constexpr uint16_t kNoRecord = 0x0404;
constexpr uint16_t kTableFull = 0x0405;
constexpr uint16_t kFileType = 0x0406;
constexpr uint16_t kFormat = 0x0600;
constexpr uint16_t kParameter1 = 0x0601;
constexpr uint16_t kBadRange = 0x0613;
constexpr uint16_t kSales = 0x0701;

int hexNumber(const std::string &s, std::size_t pos, std::size_t len)
{
    if (pos + len > s.size() || len == 0)
        return -1;
    int v = 0;
    for (std::size_t i = pos; i < pos + len; ++i) {
        const char c = s[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return -1;
        v = v * 16 + d;
    }
    return v;
}

std::string hex2(int v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

std::string hex4(int v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%04X", v & 0xFFFF);
    return b;
}

bool allDigits(const std::string &s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> splitSlash(const std::string &s)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == '/') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

// A key's value as a number (packed decimal digits); -1 when it holds a
// nibble that is no digit.
long long keyNumber(const TBytes &key)
{
    long long v = 0;
    for (uint8_t b : key) {
        if ((b >> 4) > 9 || (b & 0x0F) > 9)
            return -1;
        v = v * 100 + (b >> 4) * 10 + (b & 0x0F);
    }
    return v;
}

// "from-to" of decimal numbers (up to 14 digits each).
bool parseRange(const std::string &text, long long &from, long long &to)
{
    const auto dash = text.find('-');
    if (dash == std::string::npos)
        return false;
    const std::string a = text.substr(0, dash), b = text.substr(dash + 1);
    if (!allDigits(a) || !allDigits(b) || a.size() > 14 || b.size() > 14)
        return false;
    from = std::stoll(a);
    to = std::stoll(b);
    return from <= to;
}

// ddmmyy as a comparable yyyymmdd (years 90..99 are 1990s).
bool parseDate(const std::string &text, int &value)
{
    if (text.size() != 6 || !allDigits(text))
        return false;
    const int d = std::stoi(text.substr(0, 2)), m = std::stoi(text.substr(2, 2)), y = std::stoi(text.substr(4, 2));
    if (d < 1 || d > 31 || m < 1 || m > 12)
        return false;
    value = ((y >= 90 ? 1900 : 2000) + y) * 10000 + m * 100 + d;
    return true;
}

} // namespace

TSimulator::TSimulator(TSimRegister &reg, const TSimOptions &options)
    : FRegister(reg), FOptions(options), FNoise(options.NoiseSeed)
{
}

std::string TSimulator::Noisy(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + 4);
    for (char c : bytes) {
        if (FOptions.NoisePermille <= 0 || int(FNoise() % 1000) >= FOptions.NoisePermille) {
            out += c;
            continue;
        }
        ++FCounters.NoisyBytes;
        switch (FNoise() % 3) {
        case 0: // another byte, never the same one
            out += static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(1 + FNoise() % 255));
            break;
        case 1: // dropped
            break;
        default: // doubled
            out += c;
            out += c;
            break;
        }
    }
    return out;
}

void TSimulator::Emit(std::string_view bytes)
{
    FOutput.append(bytes);
    FStalling = false;
}

void TSimulator::EmitByte(char c)
{
    FOutput += c;
    FStalling = false;
    if (c == Ctl::ACK)
        Event(TEvent::AckSent);
    else if (c == Ctl::NAK)
        ++FCounters.NaksSent;
}

void TSimulator::Event(TEvent e)
{
    if (OnEvent)
        OnEvent(e);
}

std::string TSimulator::TakeOutput()
{
    std::string out;
    out.swap(FOutput);
    if (FOptions.NoisePermille > 0)
        out = Noisy(out);
    return out;
}

bool TSimulator::TakeChanged()
{
    const bool c = FChanged;
    FChanged = false;
    return c;
}

bool TSimulator::ExpectsFrame() const
{
    return FState == TState::WaitCommand || FState == TState::DownHeader || FState == TState::DownData;
}

void TSimulator::Receive(std::string_view bytes, uint32_t now)
{
    for (char c : bytes)
        Receive(static_cast<uint8_t>(c), now);
}

void TSimulator::Receive(uint8_t byte, uint32_t now)
{
    if (FOptions.NoisePermille <= 0) {
        ReceiveClean(byte, now);
        return;
    }
    const char c = static_cast<char>(byte);
    for (char b : Noisy(std::string_view(&c, 1)))
        ReceiveClean(static_cast<uint8_t>(b), now);
}

void TSimulator::ReceiveClean(uint8_t byte, uint32_t now)
{
    FLastActivity = now;
    FWake += static_cast<char>(byte);
    if (FWake.size() > 8)
        FWake.erase(0, FWake.size() - 8);

    // The wake-up begins every transfer of the PC, whatever came before.
    if (byte == Ctl::ENQ && FWake.size() == 8 && FWake[0] == Ctl::EOT
        && allDigits(FWake.substr(1, 6))) {
        FInFrame = false;
        OnWakeUp(static_cast<uint32_t>(std::stoul(FWake.substr(1, 6))));
        return;
    }
    if (FInFrame) {
        // A packet ends at the first control character; a runaway frame
        // of garbage is dropped rather than kept growing.
        FFrame += static_cast<char>(byte);
        if (byte < 0x20) {
            FInFrame = false;
            OnFrame();
        } else if (FFrame.size() > 2048) {
            FInFrame = false;
            FFrame.clear();
        }
        return;
    }
    if (FSilent || FState == TState::Idle) {
        if (FSilent)
            FStalling = true;
        return;
    }
    if (byte == Ctl::STX && ExpectsFrame()) {
        FInFrame = true;
        FFrame.clear();
        return;
    }
    if (byte < 0x20)
        OnControl(byte);
}

void TSimulator::Poll(uint32_t now)
{
    if (FState != TState::Idle && static_cast<uint32_t>(now - FLastActivity) >= FOptions.SessionTimeoutMs) {
        FInFrame = false;
        EndJob();
    }
}

void TSimulator::OnWakeUp(uint32_t number)
{
    FSilent = false;
    if (FOptions.NoWakeUp || number != FOptions.RegisterNumber) {
        FState = TState::Idle;
        FStalling = true;
        return;
    }
    ++FCounters.WakeUps;
    FState = TState::WaitCommand;
    FExpectSeq = '0';
    FJobPackets = FJobPacketsIn = FJobPacketsOut = 0;
    FPendingRefusal = 0;
    FDownTable = nullptr;
    FPayloads.clear();
    FNext = 0;
    Event(TEvent::WakeUp);
    EmitByte(Ctl::ACK);
}

void TSimulator::CountPacket()
{
    ++FJobPackets;
    if (FOptions.SilentAfter > 0 && FJobPackets >= FOptions.SilentAfter)
        FSilent = true;
}

void TSimulator::EndJob()
{
    if (FState != TState::Idle)
        Event(TEvent::JobEnd);
    FState = TState::Idle;
    FDownTable = nullptr;
    FPayloads.clear();
    FNext = 0;
}

void TSimulator::Refuse(uint16_t code)
{
    FStatus = code;
    ++FCounters.EotRefusals;
    EmitByte(Ctl::EOT);
    EndJob();
}

void TSimulator::OnFrame()
{
    std::string frame;
    frame.swap(FFrame);
    if (!CheckPacket(frame, FExpectSeq)) {
        EmitByte(Ctl::NAK);
        return;
    }
    ++FCounters.PacketsIn;
    ++FJobPacketsIn;
    if (FOptions.NakPacket > 0 && FJobPacketsIn == FOptions.NakPacket && !FNakDone) {
        // The repetition is the same packet: count it once.
        FNakDone = true;
        --FJobPacketsIn;
        EmitByte(Ctl::NAK);
        return;
    }
    switch (FState) {
    case TState::WaitCommand: OnCommand(frame); break;
    case TState::DownHeader: OnDownHeader(frame); break;
    case TState::DownData: OnDownData(frame); break;
    default: break;
    }
}

void TSimulator::OnCommand(const std::string &payload)
{
    CountPacket();
    const std::string head = payload.substr(0, 4);
    if (head == "/10-") {
        ++FCounters.Jobs;
        FStatus = 0;
        FExpectSeq = NextSequence(FExpectSeq);
        FState = TState::DownHeader;
        EmitByte(Ctl::ACK);
    } else if (head == "/20-") {
        ++FCounters.Jobs;
        FStatus = 0;
        PrepareUpload(payload);
        FState = TState::TurnEOT;
        EmitByte(Ctl::ACK);
    } else if (head == "/80-") {
        ++FCounters.Jobs;
        FStatus = 0;
        PrepareFiscal(payload);
        FState = TState::TurnEOT;
        EmitByte(Ctl::ACK);
    } else if (payload == "/99-00/") {
        PrepareStatus();
        FState = TState::TurnEOT;
        EmitByte(Ctl::ACK);
    } else {
        Refuse(kCommandError);
    }
}

void TSimulator::OnDownHeader(const std::string &payload)
{
    if (payload.size() < 6 || payload.compare(0, 6, "/HDR1/") != 0) {
        Refuse(payload.size() >= 8 && hexNumber(payload, 0, 8) >= 0 ? kUnknownPacket : kHeaderSize);
        return;
    }
    if (payload.size() != 56 || hexNumber(payload, 6, 8) < 0) {
        Refuse(kHeaderSize);
        return;
    }
    for (std::size_t i = 6; i < 56; i += 4)
        if (hexNumber(payload, i, std::min<std::size_t>(4, 56 - i)) < 0) {
            Refuse(kHeaderSize);
            return;
        }
    CountPacket();
    TSimTable *table = FRegister.Table(hexNumber(payload, 6, 2));
    if (!table || hexNumber(payload, 8, 2) != 0) {
        Refuse(kBadTable);
        return;
    }
    if (FOptions.RefuseDownload != 0) {
        Refuse(FOptions.RefuseDownload);
        return;
    }
    if (!FOptions.AllowDownloadWithSales && FRegister.HasSales()) {
        Refuse(kSales);
        return;
    }
    int size = 0;
    for (int l = 0; l < TSelection::Fields; ++l) {
        const int s = hexNumber(payload, 24 + 2 * static_cast<std::size_t>(l), 2);
        if (s != 0 && s != table->FieldSize(l)) {
            Refuse(kFileType);
            return;
        }
        FDownSizes[static_cast<std::size_t>(l)] = s;
        size += s;
    }
    if (size == 0) {
        Refuse(kFileType);
        return;
    }
    FDownTable = table;
    FDownRecordSize = size;
    FExpectSeq = NextSequence(FExpectSeq);
    FState = TState::DownData;
    EmitByte(Ctl::ACK);
}

void TSimulator::OnDownData(const std::string &payload)
{
    if (payload.compare(0, std::min<std::size_t>(payload.size(), 6), "/HDR1/") == 0 && payload.size() >= 6) {
        // A header while a block is open: the PC lost count.
        Refuse(kUnknownPacket);
        return;
    }
    const int first = hexNumber(payload, 0, 4), count = hexNumber(payload, 4, 2), end = hexNumber(payload, 6, 2);
    if (first < 0 || count < 0 || (end != 0 && end != 1)
        || payload.size() != 8 + 2 * static_cast<std::size_t>(count) * static_cast<std::size_t>(FDownRecordSize)) {
        Refuse(kDataSize);
        return;
    }
    CountPacket();
    TSimTable &table = *FDownTable;
    TBytes bytes;
    if (!HexBytes(payload.substr(8), bytes)) {
        Refuse(kFormat);
        return;
    }
    const bool keyed = FDownSizes[0] != 0;
    for (int r = 0; r < count; ++r) {
        const uint8_t *rec = bytes.data() + static_cast<std::size_t>(r) * FDownRecordSize;
        // Every field must read as its type before anything is stored.
        int pos = 0;
        for (int l = 0; l < TSelection::Fields; ++l) {
            if (FDownSizes[static_cast<std::size_t>(l)] == 0)
                continue;
            int offset = 0;
            for (const TRecordItem &item : table.Layout.Items) {
                if (offset >= table.Offset[l] && offset < table.Offset[l] + table.FieldSize(l)) {
                    std::string text;
                    if (!bytesToText(item.Kind, rec + pos + (offset - table.Offset[l]),
                                     static_cast<std::size_t>(item.Bytes), item.Width, text)) {
                        Refuse(kFormat);
                        return;
                    }
                }
                offset += item.Bytes;
            }
            pos += FDownSizes[static_cast<std::size_t>(l)];
        }
        TBytes record;
        if (keyed) {
            const TBytes key(rec, rec + FDownSizes[0]);
            auto it = table.Records.find(key);
            // A code sent with group 00 is the PC's way of deleting it.
            const int letterB = 1;
            if (table.Number == TSimRegister::CodesTable && FDownSizes[letterB] != 0
                && rec[FDownSizes[0]] == 0) {
                if (it != table.Records.end()) {
                    table.Records.erase(it);
                    FChanged = true;
                }
                continue;
            }
            if (it == table.Records.end()) {
                if (static_cast<int>(table.Records.size()) >= table.Capacity) {
                    Refuse(kTableFull);
                    return;
                }
                record.assign(static_cast<std::size_t>(table.RecordSize()), 0);
                // Text fields of a new record start blank.
                int offset = 0;
                for (const TRecordItem &item : table.Layout.Items) {
                    if (item.Kind == TFieldKind::Text)
                        std::fill_n(record.begin() + offset, item.Bytes, ' ');
                    offset += item.Bytes;
                }
            } else {
                record = it->second;
            }
        } else {
            const int number = first + r;
            if (number < 1 || number > static_cast<int>(table.Records.size())) {
                Refuse(kNoRecord);
                return;
            }
            auto it = table.Records.begin();
            std::advance(it, number - 1);
            record = it->second;
        }
        int p = 0;
        for (int l = 0; l < TSelection::Fields; ++l) {
            const int s = FDownSizes[static_cast<std::size_t>(l)];
            if (s == 0)
                continue;
            std::copy(rec + p, rec + p + s, record.begin() + table.Offset[l]);
            p += s;
        }
        FRegister.Store(table, record);
        FChanged = true;
    }
    FExpectSeq = NextSequence(FExpectSeq);
    if (end == 1)
        FState = TState::DownHeader;
    EmitByte(Ctl::ACK);
}

void TSimulator::OnControl(uint8_t byte)
{
    switch (FState) {
    case TState::DownHeader:
    case TState::DownData:
        if (byte == Ctl::EOT)
            EndJob();
        break;
    case TState::TurnEOT:
        if (byte == Ctl::EOT) {
            if (FPendingRefusal != 0) {
                Refuse(FPendingRefusal);
                return;
            }
            FState = TState::TurnACK;
            EmitByte(Ctl::ENQ);
        }
        break;
    case TState::TurnACK:
        if (byte == Ctl::EOT) {
            EmitByte(Ctl::ENQ); // our ENQ went missing: the PC repeats its EOT
        } else if (byte == Ctl::ACK) {
            Event(TEvent::AckReceived);
            FSendSeq = '0';
            FNext = 0;
            FState = TState::SendWait;
            if (FPayloads.empty()) {
                EmitByte(Ctl::EOT);
                EndJob();
                return;
            }
            SendCurrent(true);
        }
        break;
    case TState::SendWait:
        if (byte == Ctl::ACK) {
            Event(TEvent::AckReceived);
            const bool wasHeader = FHeaderFirst && FNext == 0;
            FSendSeq = NextSequence(FSendSeq);
            ++FNext;
            if (FSilent) {
                FStalling = true;
                return;
            }
            if ((wasHeader && FOptions.EotAfterHeader) || FNext >= FPayloads.size()) {
                EmitByte(Ctl::EOT);
                EndJob();
                return;
            }
            SendCurrent(true);
        } else if (byte == Ctl::NAK) {
            SendCurrent(false);
        } else if (byte == Ctl::EOT) {
            EndJob(); // the PC gave up
        }
        break;
    default:
        break;
    }
}

void TSimulator::SendCurrent(bool first)
{
    std::string packet = BuildPacket(FSendSeq, FPayloads[FNext]);
    ++FCounters.PacketsOut;
    if (first) {
        ++FJobPacketsOut;
        if (FOptions.BadChecksumPacket > 0 && FJobPacketsOut == FOptions.BadChecksumPacket
            && !FBadChecksumDone) {
            FBadChecksumDone = true;
            // One more than the right checksum, still two upper-case digits.
            const std::string body = std::string(1, FSendSeq) + FPayloads[FNext];
            packet.replace(packet.size() - 3, 2, hex2(Checksum(body) + 1));
        }
        CountPacket();
    }
    Emit(packet);
}

void TSimulator::PrepareStatus()
{
    FPayloads = {hex4(FStatus)};
    FHeaderFirst = false;
}

void TSimulator::PrepareUpload(const std::string &payload)
{
    FPayloads.clear();
    FHeaderFirst = true;
    const std::vector<std::string> parts = splitSlash(payload);
    // "", "20-MM", TT, CC, range, [mask], [second mask], ""
    if (parts.size() < 6 || parts[1].size() != 5 || hexNumber(parts[1], 3, 2) < 0) {
        FPendingRefusal = kCommandError;
        return;
    }
    const int tableNumber = parts[2].size() == 2 ? hexNumber(parts[2], 0, 2) : -1;
    const TSimTable *table = FRegister.Table(tableNumber);
    if (!table) {
        FPendingRefusal = kBadTable;
        return;
    }
    long long from = 0, to = -1;
    const bool ranged = !parts[4].empty();
    if (ranged && !parseRange(parts[4], from, to)) {
        FPendingRefusal = kBadRange;
        return;
    }
    // The key always goes; the mask picks the other fields (bits B..P
    // from the most significant bit on). Without a mask: every field.
    std::array<int, TSelection::Fields> sizes{};
    sizes[0] = table->FieldSize(0);
    const bool masked = parts.size() > 6 && !parts[5].empty();
    int mask = 0xFFFF;
    if (masked) {
        mask = parts[5].size() == 4 ? hexNumber(parts[5], 0, 4) : -1;
        if (mask < 0) {
            FPendingRefusal = kParameter1;
            return;
        }
    }
    for (int l = 1; l < TSelection::Fields; ++l)
        if (mask & (0x8000 >> (l - 1)))
            sizes[static_cast<std::size_t>(l)] = table->FieldSize(l);
    int size = 0;
    for (int s : sizes)
        size += s;

    std::vector<const TBytes *> records;
    for (const auto &[key, record] : table->Records) {
        if (ranged) {
            const long long k = keyNumber(key);
            if (k < from || k > to)
                continue;
        }
        records.push_back(&record);
    }

    std::string header = "/HDR1/" + hex2(table->Number) + "00" + hex4(static_cast<int>(records.size())) + "00"
                         + "0000" + "01" + "01";
    for (int l = 0; l < TSelection::Fields; ++l) {
        int s = sizes[static_cast<std::size_t>(l)];
        if (l == 0 && FOptions.LayoutDiffers)
            ++s;
        header += hex2(s);
    }
    FPayloads.push_back(header);

    const std::size_t perPacket = static_cast<std::size_t>(std::max(1, 48 / std::max(1, size)));
    std::size_t i = 0;
    do {
        const std::size_t n = std::min(perPacket, records.size() - i);
        std::string data = "0000" + hex2(static_cast<int>(n)) + (i + n >= records.size() ? "01" : "00");
        for (std::size_t r = i; r < i + n; ++r)
            for (int l = 0; l < TSelection::Fields; ++l)
                if (sizes[static_cast<std::size_t>(l)] != 0)
                    data += HexText(records[r]->data() + table->Offset[l], static_cast<std::size_t>(sizes[static_cast<std::size_t>(l)]));
        FPayloads.push_back(std::move(data));
        i += n;
    } while (i < records.size());
}

void TSimulator::PrepareFiscal(const std::string &payload)
{
    FPayloads.clear();
    FHeaderFirst = false;
    const int mode = hexNumber(payload, 4, 2);
    if (payload.size() < 7 || mode < 0 || payload[6] != '/') {
        FPendingRefusal = kCommandError;
        return;
    }
    const std::string rest = payload.substr(7);
    std::string range;
    if (!rest.empty()) {
        if (rest.size() < 3 || rest.compare(0, 2, "//") != 0 || rest.back() != '/') {
            FPendingRefusal = kBadRange;
            return;
        }
        range = rest.substr(2, rest.size() - 3);
    }
    if (mode != 0 && mode != 1) {
        FPendingRefusal = kParameter1;
        return;
    }
    long long from = 0, to = 1LL << 40;
    int dateFrom = 0, dateTo = 99999999;
    if (!range.empty()) {
        const auto dash = range.find('-');
        const bool ok = mode == 0 ? parseRange(range, from, to)
                                  : dash != std::string::npos && parseDate(range.substr(0, dash), dateFrom)
                                        && parseDate(range.substr(dash + 1), dateTo) && dateFrom <= dateTo;
        if (!ok) {
            FPendingRefusal = kBadRange;
            return;
        }
    }
    const int model = FRegister.ModelIndex();
    const bool decimal = model < 7 || model == 11;
    auto number = [&](int n) {
        char b[8];
        std::snprintf(b, sizeof b, decimal ? "%04d" : "%04X", n % (decimal ? 10000 : 0x10000));
        return std::string(b);
    };
    std::vector<std::pair<int, TBytes>> packets;
    const std::vector<TBytes> fixed = FRegister.FiscalFixedPackets();
    for (std::size_t p = 0; p < fixed.size(); ++p)
        packets.emplace_back(static_cast<int>(p), fixed[p]);
    for (const TDailyReport &rep : FRegister.DailyReports()) {
        const int date = rep.Year * 10000 + rep.Month * 100 + rep.Day;
        if (rep.Number < from || rep.Number > to || date < dateFrom || date > dateTo)
            continue;
        packets.emplace_back(11 + rep.Number, rep.Bytes);
    }
    for (std::size_t i = 0; i < packets.size(); ++i)
        FPayloads.push_back(number(packets[i].first) + "00" + (i + 1 == packets.size() ? "01" : "00")
                            + HexText(packets[i].second));
}
