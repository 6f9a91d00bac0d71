#include "link/URecord.h"

#include <cstdio>

namespace {

constexpr int kKinds = static_cast<int>(TFieldKind::Count);
const char kHexDigits[] = "0123456789ABCDEF";

int kindIndex(TFieldKind kind) { return static_cast<int>(kind); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Upper-case hexadecimal only: the register's texts never use lower case.
int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Order of a field letter: A..Z are 0..25, a..z are 26..51; -1 otherwise.
int letterIndex(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    return -1;
}

// Every nibble as a digit; false when a nibble is above 9.
bool nibblesToDigits(const uint8_t *bytes, std::size_t count, std::string &digits)
{
    digits.clear();
    digits.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        const int hi = bytes[i] >> 4, lo = bytes[i] & 0x0F;
        if (hi > 9 || lo > 9)
            return false;
        digits += static_cast<char>('0' + hi);
        digits += static_cast<char>('0' + lo);
    }
    return true;
}

// Leading zeros of the first n characters become blanks, but the n-th
// character always stays.
void blankLeadingZeros(std::string &s, std::size_t n)
{
    for (std::size_t i = 0; i + 1 < n && s[i] == '0'; ++i)
        s[i] = ' ';
}

// Leading blanks become zeros; then every character must be a digit.
bool zeroFillDigits(std::string &s)
{
    std::size_t i = 0;
    for (; i < s.size() && s[i] == ' '; ++i)
        s[i] = '0';
    for (; i < s.size(); ++i)
        if (!isDigit(s[i]))
            return false;
    return true;
}

void packDigits(const std::string &digits, TBytes &out)
{
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(((digits[i] - '0') << 4) | (digits[i + 1] - '0')));
}

int amountDecimals(TFieldKind kind)
{
    switch (kind) {
    case TFieldKind::Amount2: return 2;
    case TFieldKind::Amount3: return 3;
    default: return 4;
    }
}

// ---- byte form to text ------------------------------------------------

using ToText = bool (*)(TFieldKind, const uint8_t *, std::size_t, std::string &);

bool hexToText(TFieldKind, const uint8_t *b, std::size_t n, std::string &t)
{
    t.clear();
    for (std::size_t i = 0; i < n; ++i) {
        t += kHexDigits[b[i] >> 4];
        t += kHexDigits[b[i] & 0x0F];
    }
    return true;
}

bool bitsToText(TFieldKind, const uint8_t *b, std::size_t n, std::string &t)
{
    t.clear();
    for (std::size_t i = 0; i < n; ++i)
        for (int bit = 7; bit >= 0; --bit)
            t += ((b[i] >> bit) & 1) ? '1' : '0';
    return true;
}

bool textToText(TFieldKind, const uint8_t *b, std::size_t n, std::string &t)
{
    // A line end inside a name would split the exchange-file line and shift
    // every later field when the file is read back.
    for (std::size_t i = 0; i < n; ++i)
        if (b[i] == '\r' || b[i] == '\n')
            return false;
    t.assign(reinterpret_cast<const char *>(b), n);
    return true;
}

bool unsignedToText(TFieldKind, const uint8_t *b, std::size_t n, std::string &t)
{
    if (!nibblesToDigits(b, n, t))
        return false;
    blankLeadingZeros(t, t.size());
    return true;
}

bool priceToText(TFieldKind, const uint8_t *b, std::size_t n, std::string &t)
{
    std::string digits;
    if (!nibblesToDigits(b, n, digits))
        return false;
    const std::size_t whole = digits.size() - 2;
    blankLeadingZeros(digits, whole);
    t = digits.substr(0, whole) + '.' + digits.substr(whole);
    return true;
}

bool amountToText(TFieldKind kind, const uint8_t *b, std::size_t n, std::string &t)
{
    char sign;
    switch (b[n - 1] & 0x0F) {
    case 0x0: sign = ' '; break;
    case 0xD: sign = '-'; break;
    case 0xA: sign = 'o'; break;
    case 0xB: sign = 'u'; break;
    default: return false;
    }
    std::string digits;
    if (!nibblesToDigits(b, n - 1, digits) || (b[n - 1] >> 4) > 9)
        return false;
    digits += static_cast<char>('0' + (b[n - 1] >> 4));
    const std::size_t decimals = static_cast<std::size_t>(amountDecimals(kind));
    const std::size_t whole = digits.size() - decimals;
    blankLeadingZeros(digits, whole);
    // One position in front for the sign; it moves right up to the first
    // digit shown.
    t = ' ' + digits.substr(0, whole) + '.' + digits.substr(whole);
    const std::size_t first = t.find_first_not_of(' ', 1);
    t[first - 1] = sign;
    return true;
}

// ---- text to byte form ------------------------------------------------

using ToBytes = bool (*)(TFieldKind, const std::string &, TBytes &);

bool hexToBytes(TFieldKind, const std::string &t, TBytes &out)
{
    for (std::size_t i = 0; i < t.size(); i += 2) {
        const int hi = hexValue(t[i]), lo = hexValue(t[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<uint8_t>((hi << 4) | lo));
    }
    return true;
}

bool bitsToBytes(TFieldKind, const std::string &t, TBytes &out)
{
    for (std::size_t i = 0; i < t.size(); i += 8) {
        uint8_t byte = 0;
        for (std::size_t j = 0; j < 8; ++j) {
            const char c = t[i + j];
            if (c != '0' && c != '1')
                return false;
            byte = static_cast<uint8_t>((byte << 1) | (c == '1'));
        }
        out.push_back(byte);
    }
    return true;
}

bool textToBytesA(TFieldKind, const std::string &t, TBytes &out)
{
    out.insert(out.end(), t.begin(), t.end());
    return true;
}

bool unsignedToBytes(TFieldKind, const std::string &t, TBytes &out)
{
    std::string digits = t;
    if (!zeroFillDigits(digits))
        return false;
    packDigits(digits, out);
    return true;
}

bool priceToBytes(TFieldKind, const std::string &t, TBytes &out)
{
    const std::size_t point = t.size() - 3;
    if (t[point] != '.')
        return false;
    std::string digits = t.substr(0, point) + t.substr(point + 1);
    if (!zeroFillDigits(digits))
        return false;
    packDigits(digits, out);
    return true;
}

bool amountToBytes(TFieldKind kind, const std::string &t, TBytes &out)
{
    const std::size_t decimals = static_cast<std::size_t>(amountDecimals(kind));
    const std::size_t point = t.size() - 1 - decimals;
    if (t[point] != '.' || !isDigit(t[point - 1]))
        return false;
    for (std::size_t i = point + 1; i < t.size(); ++i)
        if (!isDigit(t[i]))
            return false;
    std::string s = t.substr(0, point) + t.substr(point + 1);
    std::size_t i = 0;
    for (; s[i] == ' '; ++i)
        s[i] = '0';
    uint8_t sign = 0x0;
    switch (s[i]) {
    case '+': case '0': break;
    case '-': sign = 0xD; break;
    case 'o': sign = 0xA; break;
    case 'u': sign = 0xB; break;
    default:
        if (!isDigit(s[i]))
            return false;
        break;
    }
    if (!isDigit(s[i]))
        s[i] = '0';
    for (; i < s.size(); ++i)
        if (!isDigit(s[i]))
            return false;
    // The first position belongs to the sign: a digit there does not fit.
    if (s[0] != '0')
        return false;
    // Digits s[1..], then the sign nibble.
    std::string nibbles = s.substr(1);
    nibbles += '0';
    packDigits(nibbles, out);
    out.back() = static_cast<uint8_t>((out.back() & 0xF0) | sign);
    return true;
}

struct KindInfo {
    char Type;
    ToText toText;
    ToBytes toBytes;
};

// Indexed by kind. Types without a settled text form refuse both ways.
const KindInfo kKindInfo[kKinds] = {
    {'H', hexToText, hexToBytes},
    {'B', bitsToText, bitsToBytes},
    {'A', textToText, textToBytesA},
    {'U', unsignedToText, unsignedToBytes},
    {'P', priceToText, priceToBytes},
    {'2', amountToText, amountToBytes},
    {'3', amountToText, amountToBytes},
    {'4', amountToText, amountToBytes},
    {'K', unsignedToText, unsignedToBytes},
    {'S', nullptr, nullptr},
    {'R', nullptr, nullptr},
    {'V', nullptr, nullptr},
    {'X', nullptr, nullptr},
    {'n', nullptr, nullptr},
    {'h', nullptr, nullptr},
    {'D', nullptr, nullptr},
    {'E', nullptr, nullptr},
    {'.', nullptr, nullptr},
};

// ---- descriptors --------------------------------------------------------

// Parses "(" elements ")" at pos; appends the items and returns the
// field's size in bytes, 0 when malformed.
int parseElements(const std::string &s, std::size_t &pos, std::vector<TRecordItem> &items)
{
    if (pos >= s.size() || s[pos] != '(')
        return 0;
    ++pos;
    int size = 0;
    std::vector<TRecordItem> field;
    while (true) {
        if (pos >= s.size())
            return 0;
        if (s[pos] == ')') {
            ++pos;
            break;
        }
        if (s.size() - pos < 4)
            return 0;
        const char countChar = s[pos];
        int count = hexValue(countChar);
        if (countChar >= 'a' && countChar <= 'f')
            count = countChar - 'a' + 10;
        TFieldKind kind;
        if (count < 1 || !fieldKindOf(s[pos + 1], kind) || !isDigit(s[pos + 2]) || !isDigit(s[pos + 3]))
            return 0;
        const int width = (s[pos + 2] - '0') * 10 + (s[pos + 3] - '0');
        const int bytes = fieldBytes(kind, width);
        if (bytes < 1)
            return 0;
        for (int i = 0; i < count; ++i)
            field.push_back({kind, s[pos + 1], bytes, width});
        size += count * bytes;
        pos += 4;
    }
    items.insert(items.end(), field.begin(), field.end());
    return size;
}

// Searches the descriptor from pos for the field of letter and parses its
// elements; other fields are skipped.
int findField(const std::string &d, std::size_t &pos, char letter, std::vector<TRecordItem> &items)
{
    while (pos < d.size()) {
        const char current = d[pos];
        if (letterIndex(current) < 0)
            return 0;
        ++pos;
        if (current == letter)
            return parseElements(d, pos, items);
        const std::size_t close = d.find(')', pos);
        if (pos >= d.size() || d[pos] != '(' || close == std::string::npos)
            return 0;
        pos = close + 1;
    }
    return 0;
}

int leadingBlockDigits(const std::string &s)
{
    return (!s.empty() && s[0] >= '0' && s[0] <= '3') ? s[0] - '0' : -1;
}

} // namespace

bool fieldKindOf(char type, TFieldKind &kind)
{
    for (int i = 0; i < kKinds; ++i) {
        if (kKindInfo[i].Type == type) {
            kind = static_cast<TFieldKind>(i);
            return true;
        }
    }
    return false;
}

int fieldBytes(TFieldKind kind, int width)
{
    if (width < 1)
        return 0;
    const bool even = width % 2 == 0;
    auto odd = [width](int minimum) { return width % 2 == 1 && width >= minimum ? (width - 1) / 2 : 0; };
    switch (kind) {
    case TFieldKind::Hex:
    case TFieldKind::Unsigned:
    case TFieldKind::Packed:
    case TFieldKind::Signed:
        return even ? width / 2 : 0;
    case TFieldKind::Bits: return width % 8 == 0 ? width / 8 : 0;
    case TFieldKind::Text: return width;
    case TFieldKind::Price:
    case TFieldKind::Amount2:
    case TFieldKind::DecimalR:
    case TFieldKind::DecimalN:
        return odd(5);
    case TFieldKind::Amount3:
    case TFieldKind::Amount4:
    case TFieldKind::DecimalV:
        return odd(7);
    case TFieldKind::DecimalX: return odd(9);
    default: return 0;
    }
}

bool bytesToText(TFieldKind kind, const uint8_t *bytes, std::size_t count, int width, std::string &text)
{
    const int k = kindIndex(kind);
    if (k < 0 || k >= kKinds || !kKindInfo[k].toText)
        return false;
    const int size = fieldBytes(kind, width);
    if (size < 1 || count != static_cast<std::size_t>(size) || !bytes)
        return false;
    return kKindInfo[k].toText(kind, bytes, count, text);
}

bool bytesToText(TFieldKind kind, const TBytes &bytes, int width, std::string &text)
{
    return bytesToText(kind, bytes.data(), bytes.size(), width, text);
}

bool textToBytes(TFieldKind kind, const std::string &text, int width, TBytes &bytes)
{
    const int k = kindIndex(kind);
    if (k < 0 || k >= kKinds || !kKindInfo[k].toBytes)
        return false;
    if (fieldBytes(kind, width) < 1 || text.size() != static_cast<std::size_t>(width))
        return false;
    TBytes out;
    if (!kKindInfo[k].toBytes(kind, text, out))
        return false;
    bytes.insert(bytes.end(), out.begin(), out.end());
    return true;
}

bool TSelection::hasField(char letter) const
{
    const int i = letterIndex(letter);
    return i >= 0 && i < Fields && FieldSize[i] != 0;
}

std::string TSelection::fieldMask() const
{
    unsigned mask = 0;
    for (int i = 1; i < Fields; ++i)
        if (FieldSize[i] != 0)
            mask |= 1u << (16 - i);
    char text[8];
    std::snprintf(text, sizeof text, "%04X", mask);
    return text;
}

std::string standardDescriptor(int tableNumber, int modelIndex)
{
    // The PS models (index 9 and 11) keep 14-digit code numbers and at most
    // 99 deposits.
    const bool ps = modelIndex == 9 || modelIndex == 11;
    switch (tableNumber) {
    case 0x01:
        return "A(1U02)B(1H021U021H02)D(1P09)E(1A16)I(12131309)J(12131309)";
    case 0x11:
        return ps ? "A(1U14)B(1U021H02)D(1P09)E(1A16)I(12131309)"
                  : "A(1U04)B(1U021H02)D(1P09)E(1A16)I(12131309)";
    case 0x19:
        return ps ? "A(1U02)B(2H02)D(1P09)I(12131309)J(12131309)"
                  : "A(1U04)B(2H02)D(1P09)I(12131309)J(12131309)";
    default:
        return {};
    }
}

bool selectFields(const std::string &aValue, const std::string &descriptor, TSelection &selection)
{
    TSelection result;
    std::size_t dpos = 0, apos = 0;
    const int descriptorDigits = leadingBlockDigits(descriptor);
    if (descriptorDigits >= 0) {
        result.BlockDigits = descriptorDigits;
        dpos = 1;
    }
    const int valueDigits = leadingBlockDigits(aValue);
    if (valueDigits >= 0) {
        result.BlockDigits = valueDigits;
        apos = 1;
    }
    int previous = -1;
    while (apos < aValue.size()) {
        const char letter = aValue[apos];
        const int index = letterIndex(letter);
        // Letters strictly in order, and only the fields the register
        // family has: a field the table header cannot describe would
        // desynchronise the records.
        if (index <= previous || index >= TSelection::Fields)
            return false;
        previous = index;
        ++apos;
        int size;
        if (apos < aValue.size() && aValue[apos] == '(')
            size = parseElements(aValue, apos, result.Items);
        else
            size = findField(descriptor, dpos, letter, result.Items);
        if (size < 1)
            return false;
        result.FieldSize[index] = size;
        result.RecordSize += size;
        if (result.RecordSize > TSelection::MaxRecordSize)
            return false;
    }
    if (result.RecordSize < 1)
        return false;
    selection = std::move(result);
    return true;
}

bool fieldMaskOfLetters(const std::string &letters, std::string &mask)
{
    if (letters.empty())
        return false;
    TSelection s;
    for (char c : letters) {
        const int index = letterIndex(c);
        if (index < 0)
            return false;
        if (index < TSelection::Fields)
            s.FieldSize[index] = 1;
    }
    mask = s.fieldMask();
    return true;
}

bool recordToLine(const TSelection &selection, int blockNumber, bool numbered, uint16_t recordNumber,
                  const uint8_t *record, std::size_t size, std::string &line)
{
    if (size != static_cast<std::size_t>(selection.RecordSize) || !record)
        return false;
    std::string out;
    out.reserve(static_cast<std::size_t>(selection.RecordSize) * 2 + 16);
    const int c = selection.BlockDigits;
    if (c > 0) {
        static const int limit[] = {1, 10, 100, 1000};
        if (blockNumber < 0 || blockNumber >= limit[c])
            return false;
        char digits[4] = {};
        for (int i = c - 1, n = blockNumber; i >= 0; --i, n /= 10)
            digits[i] = static_cast<char>('0' + n % 10);
        if (c > 1 && digits[0] == '0') {
            digits[0] = ' ';
            if (c == 3 && digits[1] == '0')
                digits[1] = ' ';
        }
        out += digits;
        out += ',';
    }
    if (numbered) {
        char number[8];
        std::snprintf(number, sizeof number, "%05u", static_cast<unsigned>(recordNumber));
        out += number;
        out += ',';
    }
    std::size_t offset = 0;
    std::string text;
    for (const TRecordItem &item : selection.Items) {
        if (!bytesToText(item.Kind, record + offset, static_cast<std::size_t>(item.Bytes), item.Width, text))
            return false;
        offset += static_cast<std::size_t>(item.Bytes);
        out += text;
        out += ',';
    }
    line = std::move(out);
    return true;
}

int lineBlockNumber(const TSelection &selection, const std::string &line)
{
    const std::size_t c = static_cast<std::size_t>(selection.BlockDigits);
    if (c == 0)
        return 1;
    if (line.size() <= c || line[c] != ',')
        return -1;
    std::size_t i = 0;
    while (i < c && line[i] == ' ')
        ++i;
    if (i == c)
        return -1;
    int value = 0;
    for (; i < c; ++i) {
        if (!isDigit(line[i]))
            return -1;
        value = value * 10 + (line[i] - '0');
    }
    return value;
}

int lineRecordNumber(const TSelection &selection, const std::string &line)
{
    const std::size_t start = selection.BlockDigits > 0 ? static_cast<std::size_t>(selection.BlockDigits) + 1 : 0;
    if (line.size() <= start + 5 || line[start + 5] != ',')
        return -1;
    int value = 0;
    for (std::size_t i = start; i < start + 5; ++i) {
        if (!isDigit(line[i]))
            return -1;
        value = value * 10 + (line[i] - '0');
    }
    return value <= 0xFFFF ? value : -1;
}

bool lineToRecord(const TSelection &selection, bool numbered, const std::string &line, TBytes &record,
                  TLineError *error)
{
    auto fail = [error](int item, std::size_t pos) {
        if (error) {
            error->Item = item;
            error->Column = static_cast<int>(pos) + 1;
        }
        return false;
    };
    std::size_t pos = 0;
    if (selection.BlockDigits > 0) {
        if (lineBlockNumber(selection, line) < 0)
            return fail(-1, 0);
        pos = static_cast<std::size_t>(selection.BlockDigits) + 1;
    }
    if (numbered) {
        if (lineRecordNumber(selection, line) < 0)
            return fail(-1, pos);
        pos += 6;
    }
    TBytes out;
    out.reserve(static_cast<std::size_t>(selection.RecordSize));
    for (std::size_t i = 0; i < selection.Items.size(); ++i) {
        const TRecordItem &item = selection.Items[i];
        const std::size_t width = static_cast<std::size_t>(item.Width);
        if (line.size() - pos < width || !textToBytes(item.Kind, line.substr(pos, width), item.Width, out))
            return fail(static_cast<int>(i), pos);
        const std::size_t start = pos;
        pos += width;
        // Every value is followed by a comma; the last one may end the line
        // without it, but not when the comma it ends on is its own: that is
        // a value one character short followed by its comma.
        if (pos < line.size()) {
            if (line[pos] != ',')
                return fail(static_cast<int>(i), pos);
            ++pos;
        } else if (width > 0 && line[pos - 1] == ',') {
            return fail(static_cast<int>(i), start);
        }
    }
    record = std::move(out);
    return true;
}
