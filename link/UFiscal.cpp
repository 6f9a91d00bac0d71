#include "link/UFiscal.h"

#include "link/UDnUp.h"
#include "link/UError.h"
#include "link/UKOMDisplay.h"
#include "link/UModule.h"
#include "link/UNational.h"
#include "link/UParam.h"

#include <algorithm>
#include <chrono>

using namespace LinkText;

namespace {

constexpr uint16_t kBadPacket = 0xE003;

// Packed decimal bytes as digits; false when a nibble is above 9.
bool BcdText(const uint8_t *bytes, std::size_t count, std::string &out)
{
    for (std::size_t i = 0; i < count; ++i) {
        const int hi = bytes[i] >> 4, lo = bytes[i] & 0x0F;
        if (hi > 9 || lo > 9)
            return false;
        out += static_cast<char>('0' + hi);
        out += static_cast<char>('0' + lo);
    }
    return true;
}

void HexText(const uint8_t *bytes, std::size_t count, std::string &out)
{
    AppendHex(out, bytes, count);
}

std::string Number(uint32_t value, int digits)
{
    std::string s = std::to_string(value);
    if (s.size() < static_cast<std::size_t>(digits))
        s.insert(0, static_cast<std::size_t>(digits) - s.size(), '0');
    return s;
}

bool IsBcd(const uint8_t *bytes, std::size_t count)
{
    return std::all_of(bytes, bytes + count, [](uint8_t b) { return (b >> 4) <= 9 && (b & 0x0F) <= 9; });
}

// The value of packed decimal bytes already known to hold digits only.
uint64_t Packed(const uint8_t *bytes, std::size_t count)
{
    uint64_t v = 0;
    for (std::size_t i = 0; i < count; ++i)
        v = v * 100 + (bytes[i] >> 4) * 10 + (bytes[i] & 0x0F);
    return v;
}

bool AllFF(const uint8_t *bytes, std::size_t count)
{
    return std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0xFF; });
}

// Text bytes: no control characters.
bool Printable(const uint8_t *bytes, std::size_t count)
{
    return std::all_of(bytes, bytes + count, [](uint8_t b) { return b >= 0x20 && b != 0x7F; });
}

// A packed ddmmyy date that exists (years 90..99 are the 1990s).
bool RealDate(const uint8_t *bytes)
{
    if (!IsBcd(bytes, 3))
        return false;
    const int yy = static_cast<int>(Packed(bytes + 2, 1));
    const std::chrono::year_month_day date{std::chrono::year(yy >= 90 ? 1900 + yy : 2000 + yy),
                                           std::chrono::month(static_cast<unsigned>(Packed(bytes + 1, 1))),
                                           std::chrono::day(static_cast<unsigned>(Packed(bytes, 1)))};
    return date.ok();
}

// Days since 1970 of a packed date that exists.
long DayOf(const uint8_t *bytes)
{
    const int yy = static_cast<int>(Packed(bytes + 2, 1));
    const std::chrono::year_month_day date{std::chrono::year(yy >= 90 ? 1900 + yy : 2000 + yy),
                                           std::chrono::month(static_cast<unsigned>(Packed(bytes + 1, 1))),
                                           std::chrono::day(static_cast<unsigned>(Packed(bytes, 1)))};
    return std::chrono::sys_days(date).time_since_epoch().count();
}

// A date not yet set is all FF.
bool DateOrEmpty(const uint8_t *bytes)
{
    return AllFF(bytes, 3) || RealDate(bytes);
}

// Packed hhmm.
bool RealTime(const uint8_t *bytes)
{
    return IsBcd(bytes, 2) && Packed(bytes, 1) < 24 && Packed(bytes + 1, 1) < 60;
}

bool Bit(const std::array<uint8_t, TTaskFiscal::MapBytes> &map, uint32_t record)
{
    const uint32_t i = record - 1;
    return (map[i / 8] >> (7 - i % 8)) & 1;
}

// The front both daily record layouts share, each field followed by a
// comma: report number (packed decimal), date, seven amounts, then the
// given number of single bytes from byte 40 on.
bool DailyFront(const TBytes &d, std::size_t singles, std::string &line, std::string &text)
{
    if (!BcdText(d.data(), 2, line))
        return false;
    line += ',';
    HexText(d.data() + 2, 3, line);
    line += ',';
    for (std::size_t i = 0; i < 7; ++i) {
        if (!TTaskFiscal::AmountText(d.data() + 5 + 5 * i, text))
            return false;
        line += text;
        line += ',';
    }
    for (std::size_t i = 0; i < singles; ++i) {
        HexText(d.data() + 40 + i, 1, line);
        line += ',';
    }
    return true;
}

} // namespace

TTaskFiscal::TTaskFiscal(TModuleContext &context, const TNational &national, int modelIndex, std::string folder)
    : TTask(context), FNational(national), FModel(modelIndex), FFolder(std::move(folder)), FWriter(context, national)
{
}

bool TTaskFiscal::HasLayout(int modelIndex)
{
    switch (modelIndex) {
    case 0: case 1: case 3: case 4: case 5: case 6: case 11:
        return true;
    default:
        return false;
    }
}

namespace {

// Days since 1970-01-01 of a ddmmyy date (years 90..99 are 1990s, the
// rest 2000s); false for a date that does not exist.
bool DayNumber(std::string_view text, long &days)
{
    uint32_t dd = 0, mm = 0, yy = 0;
    if (text.size() != 6 || !ParseDecimal(text.substr(0, 2), dd) || !ParseDecimal(text.substr(2, 2), mm)
        || !ParseDecimal(text.substr(4, 2), yy))
        return false;
    const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(yy >= 90 ? 1900 + yy : 2000 + yy)),
                                           std::chrono::month(mm), std::chrono::day(dd)};
    if (!date.ok())
        return false;
    days = std::chrono::sys_days(date).time_since_epoch().count();
    return true;
}

} // namespace

long TTaskFiscal::RangeReports(uint32_t mode, const std::string &range)
{
    const std::size_t dash = range.find('-');
    if (dash == std::string::npos)
        return -1;
    const std::string_view from = std::string_view(range).substr(0, dash);
    const std::string_view to = std::string_view(range).substr(dash + 1);
    long first = 0, last = 0;
    if (mode == 0) {
        uint32_t a = 0, b = 0;
        if (!ParseDecimal(from, a) || !ParseDecimal(to, b))
            return -1;
        first = static_cast<long>(a);
        last = static_cast<long>(b);
    } else if (mode != 1 || !DayNumber(from, first) || !DayNumber(to, last)) {
        return -1;
    }
    return last >= first ? last - first + 1 : -1;
}

bool TTaskFiscal::AmountText(const uint8_t *bytes, std::string &text)
{
    // The price form of width 11 is exactly this layout.
    return bytesToText(TFieldKind::Price, bytes, 5, 11, text);
}

bool TTaskFiscal::Start(int64_t registerNumber, TParam *params)
{
    FLastSeen = false;
    if (!TTask::Start(registerNumber, params))
        return false;
    SetState(Error);
    FNextExpected = 0;
    FPackets = 0;
    FSent = false;
    FZMap.fill(0);
    FStarMap.fill(0);
    FCurrencies.clear();
    FLastDaily = -1;
    FRefusals = 0;
    FSuspect.clear();
    FSuspectCopies = 0;
    FSuspectMixed = false;
    FDueMismatches.clear();
    FLastRates.fill(0);
    FLastDay = -1;
    FLastRamResets = 0;
    FRamRecords = -1;
    FLastRefused.clear();
    FNoiseSeen = false;
    FCopies.clear();
    if (!params) {
        Fail(0x9999);
        return false;
    }
    TParam &p = *params;
    if (!p.has('M')) {
        Fail(0x1206);
        return false;
    }
    // The selector travels as two hexadecimal digits.
    if (!ParseSwitchHex(p.value('M'), FMode) || FMode > 0xFF) {
        Fail(0x1306);
        return false;
    }
    FRequest = "/80-" + Hex(FMode, 2) + "/";
    if (p.has('R'))
        FRequest += "//" + p.value('R') + "/";
    if (FRequest.size() + 5 > TPacket::MaxText) {
        Fail(0x1314);
        return false;
    }
    if (!p.has('F')) {
        Fail(0x1303);
        return false;
    }
    if (!FWriter.create(ResolveJobFile(FFolder, p.value('F')))) {
        Fail(0x1100);
        return false;
    }
    if (!p.has('U'))
        p.setDefault('U', "");
    FReports = 0;
    FReportsTotal = p.has('R') ? RangeReports(FMode, p.value('R')) : -1;
    SetState(Ready);
    Context.Display.Progress('P', 0, 0, FReportsTotal);
    return true;
}

TOutPacket TTaskFiscal::NextPacket()
{
    if (InError() || FSent)
        return {};
    FSent = true;
    Packet.Begin();
    Packet.Append(FRequest);
    TOutPacket out{Packet.Finish(), true};
    Packet.ResetSequence();
    return out;
}

bool TTaskFiscal::Write(const std::string &line)
{
    if (FWriter.writeLine(line))
        return true;
    FWriteFailed = true;
    return false;
}

bool TTaskFiscal::Refuse()
{
    ++FRefusals;
    return false;
}

bool TTaskFiscal::SameCopyToTheEnd(const std::string &payload)
{
    // Copies the line damaged beyond their sum never get here; any copy
    // with a good sum that differs from the others shows a line fault.
    if (FSuspectCopies == 0)
        FSuspect = payload;
    else if (payload != FSuspect)
        FSuspectMixed = true;
    ++FSuspectCopies;
    return FRefusals >= TProtocol::MaxNAKsInARow + ExtraNAKs() && FSuspectCopies >= 2 && !FSuspectMixed;
}

bool TTaskFiscal::SecondCopy(const std::string &payload)
{
    if (std::find(FCopies.begin(), FCopies.end(), payload) != FCopies.end())
        return true;
    if (!FCopies.empty())
        FNoiseSeen = true;
    else
        FRefusalsBeforeCopy = FRefusals;
    FCopies.push_back(payload);
    return false;
}

bool TTaskFiscal::AcceptPacket(TSuperString &buffer)
{
    if (InError())
        return false;
    if (FLastSeen) {
        const bool late = FModel == 7 || FModel == 8 || FModel == 10;
        if (!late || FNextExpected > 6) {
            Fail(0xE002);
            return false;
        }
    }
    if (Protocol && Protocol->LineFaults() > 0)
        FNoiseSeen = true;
    if (!Packet.Check(buffer)) {
        FNoiseSeen = true;
        return Refuse();
    }
    if (!HasLayout(FModel)) {
        Fail(kBadPacket);
        return false;
    }
    const std::string payload = buffer.Str();
    // A copy unlike the one refused for its content shows that one was damaged.
    if (!FLastRefused.empty() && payload != FLastRefused)
        FNoiseSeen = true;
    TDecoded decoded;
    TBytes data;
    const TContent content = Examine(payload, decoded, data);
    // Noise never brings the same damage twice under a good sum, and a
    // dropped character with a doubled one keeps the sum and can keep
    // every field well formed. Once the line has shown a fault a packet is
    // taken only when a second copy brings the same bytes; before, so are
    // the first packet, before which the line had no chance to show one,
    // and the packets whose content no check can hold, where a shift
    // always passes.
    bool confirmed = false;
    if (content == TContent::Unusual) {
        confirmed = payload == FLastRefused;
        FLastRefused = payload;
        if (!confirmed)
            return Refuse();
    } else if (content != TContent::Good) {
        confirmed = true;
        FLastRefused = payload;
        if (!SameCopyToTheEnd(payload))
            return Refuse();
        // The register's own record: what cannot be written stays refused.
        if (content == TContent::Malformed) {
            Fail(kBadPacket);
            return false;
        }
        FDueMismatches.push_back(static_cast<uint32_t>(decoded.Daily));
    }
    if (!confirmed && (FNoiseSeen || FPackets == 0 || decoded.Unchecked) && !SecondCopy(payload))
        return Refuse();
    if (!Commit(decoded, data)) {
        Fail(0x1102);
        return false;
    }
    Context.Display.Progress('P', 0, FReports, FReportsTotal);
    Packet.AdvanceSequence();
    return true;
}

TTaskFiscal::TContent TTaskFiscal::Examine(const std::string &payload, TDecoded &out, TBytes &data) const
{
    if (payload.size() < MinPayload || payload.size() > MaxPayload)
        return TContent::Malformed;
    const bool decimalNumbers = FModel < 7 || FModel == 11;
    uint32_t last = 0;
    const std::string_view numberText = std::string_view(payload).substr(0, 4);
    const bool numberOk = decimalNumbers ? ParseDecimal(numberText, out.Number) : ParseHex(numberText, out.Number);
    if (!numberOk || out.Number < FNextExpected || !ParseHex(std::string_view(payload).substr(6, 2), last) || last > 1)
        return TContent::Malformed;
    out.Last = last == 1;
    if (!HexToBytes(std::string_view(payload).substr(8), data) || !Decode(payload.size(), data, out))
        return TContent::Malformed;
    return out.Content;
}

bool TTaskFiscal::Commit(const TDecoded &decoded, const TBytes &data)
{
    FNextExpected = decoded.Number + 1;
    if (decoded.Last)
        FLastSeen = true;
    if (FModel == 11 && decoded.Number == 1) {
        std::copy(data.begin(), data.begin() + MapBytes, FZMap.begin());
        std::copy(data.begin() + MapBytes, data.end(), FKept.begin());
    } else if (FModel == 11 && decoded.Number == 2) {
        std::copy(data.begin(), data.begin() + MapBytes, FStarMap.begin());
    }
    FCurrencies.insert(FCurrencies.end(), decoded.Currencies.begin(), decoded.Currencies.end());
    FRefusals = 0;
    FSuspect.clear();
    FSuspectCopies = 0;
    FSuspectMixed = false;
    ++FPackets;
    FLastRefused.clear();
    FCopies.clear();
    if (decoded.Daily >= 0) {
        FLastDaily = decoded.Daily;
        FLastRates = decoded.Rates;
        FLastDay = decoded.Day;
        FLastRamResets = decoded.RamResets;
        ++FReports;
    } else if (FModel == 11 && decoded.Number >= 3 && decoded.Number <= 6) {
        FRamRecords = std::max(FRamRecords, 0) + decoded.RamResets;
    }
    if (FLastSeen)
        FReportsTotal = FReports;
    for (const std::string &line : decoded.Lines)
        if (!Write(line))
            return false;
    return true;
}

bool TTaskFiscal::PolishReport(uint32_t number) const
{
    bool polish = true;
    for (const TCurrencyChange &c : FCurrencies)
        if (number > c.LastOld)
            polish = c.Polish;
    return polish;
}

bool TTaskFiscal::Decode(std::size_t payloadLength, const TBytes &data, TDecoded &out) const
{
    switch (FModel) {
    case 11:
        return DecodePSPlus(payloadLength, data, out);
    case 5:
    case 6:
        return out.Number == 0 ? DecodeHeader(data, false, out) : DecodeDaily64(data, false, out);
    case 0:
    case 1:
    case 3:
    case 4:
        return out.Number == 0 ? DecodeHeader(data, true, out) : DecodeDaily52(data, out);
    default:
        return false;
    }
}

bool TTaskFiscal::DecodeHeader(const TBytes &d, bool shortHeader, TDecoded &out) const
{
    // Unique number (letters and digits), NIP, installation date.
    const std::size_t letters = shortHeader ? 2 : 3;
    if (d.size() != (shortHeader ? 22u : 24u))
        return false;
    if (!Printable(d.data(), letters) || !Printable(d.data() + letters + 4, 13)
        || (!shortHeader && !IsBcd(d.data() + letters, 4)) || !DateOrEmpty(d.data() + letters + 17))
        return false;
    std::string line(d.begin(), d.begin() + static_cast<long>(letters));
    HexText(d.data() + letters, 4, line);
    line += ',';
    line.append(d.begin() + static_cast<long>(letters) + 4, d.begin() + static_cast<long>(letters) + 17);
    line += ',';
    HexText(d.data() + letters + 17, 3, line);
    line += ',';
    if (!shortHeader) {
        HexText(d.data() + 23, 1, line);
        line += ',';
    }
    out.Lines.push_back(std::move(line));
    return true;
}

bool TTaskFiscal::DecodePSPlus(std::size_t payloadLength, const TBytes &d, TDecoded &out) const
{
    const uint32_t number = out.Number;
    if (number == 0)
        return DecodeHeader(d, false, out);
    out.Unchecked = number <= 2 || number == 10 || number == 11;
    if (number == 1)
        return d.size() == 30;
    if (number == 2) {
        if (d.size() != 31)
            return false;
        // "FF": not closed, the rest of the record is not used.
        if (d[25] != 0xFF && !(RealDate(d.data() + 26) && RealTime(d.data() + 29)))
            return false;
        std::string line = ",";
        HexText(d.data() + 25, 1, line);
        line += ',';
        HexText(d.data() + 26, 3, line);
        line += ',';
        HexText(d.data() + 29, 2, line);
        out.Lines.push_back(std::move(line));
        return true;
    }
    if (number <= 6) {
        if (payloadLength != 508)
            return false;
        for (uint32_t i = 0; i < 50; ++i) {
            const uint8_t *rec = d.data() + 5 * i;
            if (!AllFF(rec, 3)) {
                if (!RealDate(rec) || !RealTime(rec + 3))
                    return false;
                ++out.RamResets;
            }
            const uint32_t r = (number - 3) * 50 + i + 1;
            std::string hex;
            HexText(rec, 5, hex);
            out.Lines.push_back(Number(r, 3) + "," + (Bit(FZMap, r) ? "1" : "0") + "," + (Bit(FStarMap, r) ? "1" : "0")
                                + "," + hex.substr(0, 6) + "," + hex.substr(6, 4));
        }
        return true;
    }
    if (number <= 9) {
        if (payloadLength != 248)
            return false;
        for (uint32_t i = 0; i < 10; ++i) {
            const uint8_t *rec = d.data() + 12 * i;
            if (rec[0] != 0xFF) {
                // The window reads the numbers as decimal.
                if (!IsBcd(rec, 3) || !RealDate(rec + 3) || !RealTime(rec + 6))
                    return false;
                std::string symbol;
                for (int k = 8; k < 12; ++k)
                    if (rec[k] > ' ')
                        symbol += static_cast<char>(rec[k]);
                out.Currencies.push_back({static_cast<uint32_t>(Packed(rec + 1, 2)), symbol == "PLN"});
            }
            std::string line = Number((number - 7) * 10 + i + 1, 2) + ",";
            HexText(rec, 1, line);
            line += ',';
            HexText(rec + 1, 2, line);
            line += ',';
            HexText(rec + 3, 3, line);
            line += ',';
            HexText(rec + 6, 2, line);
            line += ',';
            HexText(rec + 8, 4, line);
            out.Lines.push_back(std::move(line));
        }
        return true;
    }
    if (number <= 11) {
        if (payloadLength != 264)
            return false;
        for (uint32_t i = 0; i < 2; ++i) {
            std::string line = Number((number - 10) * 2 + i + 1, 3) + ",";
            HexText(d.data() + 64 * i, 64, line);
            out.Lines.push_back(std::move(line));
        }
        return true;
    }
    return DecodeDaily64(d, true, out);
}

bool TTaskFiscal::DecodeDaily64(const TBytes &d, bool checkCounts, TDecoded &out) const
{
    if (d.size() != 64)
        return false;
    std::string line, text;
    line.reserve(160);
    auto count = [&](std::size_t at) {
        if (checkCounts)
            return BcdText(d.data() + at, 2, line);
        HexText(d.data() + at, 2, line);
        return true;
    };
    if (!DailyFront(d, 7, line, text))
        return false;
    // Numbers only grow, the date exists, every rate is a rate and there
    // are no more RAM resets than records for them.
    const long report = static_cast<long>(Packed(d.data(), 2));
    if (report <= FLastDaily || !RealDate(d.data() + 2) || d[47] > 200)
        return false;
    for (std::size_t i = 40; i < 47; ++i)
        if (d[i] != 0xA0 && d[i] != 0xB0 && !IsBcd(d.data() + i, 1))
            return false;
    HexText(d.data() + 47, 1, line);
    line += ',';
    if (!count(48))
        return false;
    line += ',';
    HexText(d.data() + 50, 1, line);
    line += ',';
    if (!AmountText(d.data() + 51, text))
        return false;
    line += text;
    line += ',';
    if (!count(56))
        return false;
    line += ',';
    if (!AmountText(d.data() + 58, text))
        return false;
    line += text;
    line += ',';
    HexText(d.data() + 63, 1, line);
    line += ',';
    uint64_t sales = 0;
    for (std::size_t i = 0; i < 7; ++i)
        sales += Packed(d.data() + 5 + 5 * i, 5);
    std::copy(d.begin() + 40, d.begin() + 47, out.Rates.begin());
    out.Day = DayOf(d.data() + 2);
    out.RamResets = d[47];
    if (PolishReport(static_cast<uint32_t>(report)) && sales != Packed(d.data() + 51, 5))
        out.Content = TContent::DueMismatch;
    else if ((FLastDaily >= 0
              && (out.Rates != FLastRates || out.Day < FLastDay || out.Day > FLastDay + 366
                  || out.RamResets < FLastRamResets))
             || (FRamRecords >= 0 && out.RamResets > FRamRecords))
        out.Content = TContent::Unusual;
    out.Daily = report;
    out.Lines.push_back(std::move(line));
    return true;
}

bool TTaskFiscal::DecodeDaily52(const TBytes &d, TDecoded &out) const
{
    if (d.size() != 52)
        return false;
    std::string line, text;
    if (!DailyFront(d, 6, line, text))
        return false;
    // Bytes 47-48, 49, 50-51, 52.
    const std::pair<std::size_t, std::size_t> rest[] = {{46, 2}, {48, 1}, {49, 2}, {51, 1}};
    for (auto [at, n] : rest) {
        HexText(d.data() + at, n, line);
        line += ',';
    }
    out.Daily = static_cast<long>(Packed(d.data(), 2));
    out.Lines.push_back(std::move(line));
    return true;
}

void TTaskFiscal::End(bool success)
{
    TTask::End(success);
    if (success && !InError() && !FLastSeen && !(FModel == 0 && FPackets == 1 && FNextExpected == 1))
        Fail(0xE001, true);
    if (!FWriter.close() && !InError())
        Fail(0x1102);
}
