// Record formats: descriptors, /A selection, field mask, field conversions
// and the exchange-file lines of one record.
#include "link/URecord.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

const std::string kGroups = standardDescriptor(0x01, 11);

TBytes bytesOf(std::initializer_list<int> values)
{
    TBytes out;
    for (int v : values)
        out.push_back(static_cast<uint8_t>(v));
    return out;
}

TBytes bytesOf(const std::string &s) { return TBytes(s.begin(), s.end()); }

TFieldKind kindOf(char type)
{
    TFieldKind kind{};
    EXPECT_TRUE(fieldKindOf(type, kind)) << type;
    return kind;
}

TSelection select(const std::string &a, const std::string &descriptor)
{
    TSelection s;
    EXPECT_TRUE(selectFields(a, descriptor, s)) << a << " / " << descriptor;
    return s;
}

} // namespace

TEST(RecordDescriptor, FieldWithThreeElements)
{
    const TSelection s = select("B", "B(1H021U021H02)");
    ASSERT_EQ(s.Items.size(), 3u);
    EXPECT_EQ(s.Items[0].Type, 'H');
    EXPECT_EQ(s.Items[1].Type, 'U');
    EXPECT_EQ(s.Items[2].Type, 'H');
    for (const TRecordItem &item : s.Items) {
        EXPECT_EQ(item.Width, 2);
        EXPECT_EQ(item.Bytes, 1);
    }
    EXPECT_EQ(s.FieldSize[1], 3);
    EXPECT_EQ(s.RecordSize, 3);
}

TEST(RecordDescriptor, GroupsWithABDE)
{
    const TSelection s = select("ABDE", kGroups);
    EXPECT_EQ(s.RecordSize, 24);
    EXPECT_EQ(s.FieldSize[0], 1);
    EXPECT_EQ(s.FieldSize[1], 3);
    EXPECT_EQ(s.FieldSize[2], 0);
    EXPECT_EQ(s.FieldSize[3], 4);
    EXPECT_EQ(s.FieldSize[4], 16);
    // A, three in B, D, E: the six values of the editors' groups line.
    EXPECT_EQ(s.Items.size(), 6u);
    EXPECT_EQ(s.fieldMask(), "B000");
    EXPECT_EQ(s.BlockDigits, 0);
    EXPECT_TRUE(s.hasField('A'));
    EXPECT_FALSE(s.hasField('C'));
}

TEST(RecordDescriptor, StandardDescriptorsByTableAndModel)
{
    struct Case { int table; int model; std::string a; int size; };
    const std::vector<Case> cases = {
        {0x01, 0, "ABDEIJ", 44},  {0x01, 11, "ABDE", 24},
        {0x11, 0, "ABDE", 24},    {0x11, 6, "ABDEI", 34},
        {0x11, 9, "ABDE", 29},    {0x11, 11, "ABDEI", 39},
        {0x11, 11, "AB", 9},      {0x19, 0, "AD", 6},
        {0x19, 11, "AD", 5},      {0x19, 11, "ADIJ", 25},
        {0x19, 9, "AB", 3},
    };
    for (const Case &c : cases) {
        TSelection s;
        ASSERT_TRUE(selectFields(c.a, standardDescriptor(c.table, c.model), s)) << c.table << " " << c.a;
        EXPECT_EQ(s.RecordSize, c.size) << c.table << " " << c.model << " " << c.a;
    }
    EXPECT_EQ(standardDescriptor(0x02, 11), "");
    EXPECT_EQ(standardDescriptor(0x12, 0), "");
}

TEST(RecordDescriptor, SelectionTable)
{
    struct Case { std::string a; std::string descriptor; bool ok; int size; int blockDigits; };
    const std::vector<Case> cases = {
        {"AB", kGroups, true, 4, 0},
        {"BA", kGroups, false, 0, 0},
        {"AA", kGroups, false, 0, 0},
        {"AC", kGroups, false, 0, 0},         // no field C in the groups
        {"E", kGroups, true, 16, 0},
        {"IJ", kGroups, true, 20, 0},
        {"2ABDE", kGroups, true, 24, 2},
        {"3A", "1" + kGroups, true, 1, 3},    // the /A digit wins
        {"A", "2" + kGroups, true, 1, 2},
        {"4A", kGroups, false, 0, 0},
        {"", kGroups, false, 0, 0},
        {"1", kGroups, false, 0, 0},
        {"A", "", false, 0, 0},
        {"A(1U04)", "", true, 2, 0},
        {"A(1U04)B", kGroups, true, 5, 0},   // own elements, then the descriptor
        {"A(1U03)", "", false, 0, 0},         // U needs an even width
        {"A(0U02)", "", false, 0, 0},         // count 0
        {"A(1U00)", "", false, 0, 0},
        {"A(FU02)", "", true, 15, 0},
        {"A(fU02)", "", true, 15, 0},
        {"A(1P09)", "", true, 4, 0},
        {"A(1P04)", "", false, 0, 0},
        {"A(1P03)", "", false, 0, 0},
        {"A(1205)", "", true, 2, 0},
        {"A(1203)", "", false, 0, 0},
        {"A(1213)", "", true, 6, 0},
        {"A(1212)", "", false, 0, 0},
        {"A(1307)", "", true, 3, 0},
        {"A(1305)", "", false, 0, 0},
        {"A(1407)", "", true, 3, 0},
        {"A(1B16)", "", true, 2, 0},
        {"A(1B12)", "", false, 0, 0},
        {"A(1H03)", "", false, 0, 0},
        {"A(1A01)", "", true, 1, 0},
        {"A(1K04)", "", true, 2, 0},
        {"A(1S02)", "", true, 1, 0},
        {"A(1X09)", "", true, 4, 0},
        {"A(1X07)", "", false, 0, 0},
        {"A(1h02)", "", false, 0, 0},         // a type whose size is not known
        {"A(1Z02)", "", false, 0, 0},
        {"A(1U02", "", false, 0, 0},
        {"A()", "", false, 0, 0},
        {"A(1U0", "", false, 0, 0},
        {"A(FA13)", "", true, 195, 0},
        {"A(FA14)", "", false, 0, 0},        // 210 bytes: above a record's 200
        {"A(FA13)B(1A05)", "", true, 200, 0},
        {"A(FA13)B(1A06)", "", false, 0, 0},
        {"Q", "Q(1U02)", false, 0, 0},         // beyond the register's 16 fields
        {"P", "P(1U02)", true, 1, 0},
        {"a", "a(1U02)", false, 0, 0},
        {"A1", kGroups, false, 0, 0},
        {"A ", kGroups, false, 0, 0},
        {"B", "A(1U02)X", false, 0, 0},       // broken descriptor
        {"B", "A(1U02B(1U02)", false, 0, 0},
        {"B", "A(1U02)B(1U02)", true, 1, 0},
    };
    for (const Case &c : cases) {
        TSelection s;
        s.RecordSize = -7;
        const bool ok = selectFields(c.a, c.descriptor, s);
        EXPECT_EQ(ok, c.ok) << "'" << c.a << "' / " << c.descriptor;
        if (ok) {
            EXPECT_EQ(s.RecordSize, c.size) << c.a;
            EXPECT_EQ(s.BlockDigits, c.blockDigits) << c.a;
        } else {
            EXPECT_EQ(s.RecordSize, -7) << "a failed match leaves the selection alone: " << c.a;
        }
    }
}

// Garbage never crashes; whatever is accepted is consistent.
TEST(RecordDescriptor, GarbageValuesAndDescriptors)
{
    const std::string alphabet = "ABDEIJPQZabz()0123459FUHPK.hSX ,/";
    std::mt19937 random(12345);
    auto garbage = [&](std::size_t maxLength) {
        std::string s;
        const std::size_t n = random() % (maxLength + 1);
        for (std::size_t i = 0; i < n; ++i)
            s += alphabet[random() % alphabet.size()];
        return s;
    };
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string a = garbage(24);
        const std::string d = (i % 3 == 0) ? kGroups : garbage(40);
        TSelection s;
        if (!selectFields(a, d, s))
            continue;
        ++accepted;
        ASSERT_GE(s.RecordSize, 1);
        ASSERT_LE(s.RecordSize, TSelection::MaxRecordSize);
        int items = 0, fields = 0;
        for (const TRecordItem &item : s.Items)
            items += item.Bytes;
        for (int size : s.FieldSize)
            fields += size;
        ASSERT_EQ(items, s.RecordSize) << a << " / " << d;
        ASSERT_EQ(fields, s.RecordSize) << a << " / " << d;
    }
    EXPECT_GT(accepted, 0);
    // Hand-made oddities.
    const std::vector<std::string> oddities = {"(", ")", "A(", "A((", "A(1U02))", "A)", "A(1U02)(",
                                               "ABCDEFGHIJKLMNOPQRSTUVWXYZ", std::string(300, 'A'),
                                               std::string("A\0B", 3), "\xff", "A(\x80U02)"};
    for (const std::string &a : oddities) {
        TSelection s;
        EXPECT_FALSE(selectFields(a, kGroups, s)) << a;
    }
}

TEST(RecordDescriptor, FieldMasks)
{
    struct Case { std::string a; std::string descriptor; std::string mask; };
    const std::string all = "A(1U02)B(1U02)C(1U02)D(1U02)E(1U02)F(1U02)G(1U02)H(1U02)I(1U02)J(1U02)K(1U02)"
                            "L(1U02)M(1U02)N(1U02)O(1U02)P(1U02)";
    const std::vector<Case> cases = {
        {"ABDE", kGroups, "B000"},
        {"A", kGroups, "0000"},
        {"ABDEIJ", kGroups, "B180"},
        {"B", kGroups, "8000"},
        {"P", all, "0002"},
        {"ABCDEFGHIJKLMNOP", all, "FFFE"},
        {"AO", all, "0004"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(select(c.a, c.descriptor).fieldMask(), c.mask) << c.a;

    struct LetterCase { std::string letters; bool ok; std::string mask; };
    const std::vector<LetterCase> letters = {
        {"BD", true, "A000"}, {"ABDE", true, "B000"}, {"AQz", true, "0000"}, {"P", true, "0002"},
        {"", false, ""},      {"B1", false, ""},      {"B D", false, ""},    {"(", false, ""},
    };
    for (const LetterCase &c : letters) {
        std::string mask = "unchanged";
        EXPECT_EQ(fieldMaskOfLetters(c.letters, mask), c.ok) << c.letters;
        if (c.ok) {
            EXPECT_EQ(mask, c.mask) << c.letters;
        }
    }
}

TEST(RecordConversion, BytesToText)
{
    struct Case { char type; int width; TBytes bytes; std::string text; };
    const std::vector<Case> cases = {
        {'U', 2, bytesOf({0x05}), " 5"},
        {'U', 2, bytesOf({0x00}), " 0"},
        {'U', 2, bytesOf({0x99}), "99"},
        {'U', 4, bytesOf({0x00, 0x00}), "   0"},
        {'U', 4, bytesOf({0x01, 0x00}), " 100"},
        {'U', 14, bytesOf({0x05, 0x90, 0x12, 0x34, 0x56, 0x78, 0x90}), " 5901234567890"},
        {'K', 4, bytesOf({0x01, 0x23}), " 123"},
        {'H', 2, bytesOf({0x0A}), "0A"},
        {'H', 4, bytesOf({0xFF, 0x01}), "FF01"},
        {'B', 8, bytesOf({0xA5}), "10100101"},
        {'B', 16, bytesOf({0x80, 0x01}), "1000000000000001"},
        {'A', 3, bytesOf("a,b"), "a,b"},
        {'A', 2, bytesOf({0xD3, 0x00}), std::string("\xD3\0", 2)},
        {'P', 9, bytesOf({0x00, 0x12, 0x34, 0x50}), "  1234.50"},
        {'P', 9, bytesOf({0x00, 0x00, 0x00, 0x00}), "     0.00"},
        {'P', 9, bytesOf({0x00, 0x00, 0x00, 0x05}), "     0.05"},
        {'P', 9, bytesOf({0x99, 0x99, 0x99, 0x99}), "999999.99"},
        {'P', 5, bytesOf({0x01, 0x23}), " 1.23"},
        {'2', 13, bytesOf({0x00, 0x00, 0x00, 0x12, 0x34, 0x5D}), "      -123.45"},
        {'2', 13, bytesOf({0x00, 0x00, 0x00, 0x12, 0x34, 0x50}), "       123.45"},
        {'2', 13, bytesOf({0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), "         0.00"},
        {'2', 13, bytesOf({0x00, 0x00, 0x00, 0x00, 0x00, 0x5D}), "        -0.05"},
        {'2', 13, bytesOf({0x99, 0x99, 0x99, 0x99, 0x99, 0x9D}), "-999999999.99"},
        {'2', 5, bytesOf({0x12, 0x30}), " 1.23"},
        {'2', 5, bytesOf({0x00, 0x5D}), "-0.05"},
        {'3', 9, bytesOf({0x00, 0x01, 0x50, 0x0A}), "   o1.500"},
        {'3', 9, bytesOf({0x00, 0x00, 0x00, 0x0B}), "   u0.000"},
        {'3', 9, bytesOf({0x12, 0x34, 0x56, 0x7D}), "-1234.567"},
        {'4', 7, bytesOf({0x12, 0x34, 0x5B}), "u1.2345"},
        {'4', 9, bytesOf({0x00, 0x12, 0x34, 0x50}), "   1.2345"},
    };
    for (const Case &c : cases) {
        std::string text = "stale";
        ASSERT_TRUE(bytesToText(kindOf(c.type), c.bytes, c.width, text)) << c.type << c.width << " " << c.text;
        EXPECT_EQ(text, c.text) << c.type << c.width;
        EXPECT_EQ(text.size(), static_cast<std::size_t>(c.width));
    }
}

TEST(RecordConversion, BytesThatDoNotConvert)
{
    struct Case { char type; int width; TBytes bytes; };
    const std::vector<Case> cases = {
        {'U', 2, bytesOf({0x0A})},          // nibble above 9
        {'U', 2, bytesOf({0xA0})},
        {'U', 4, bytesOf({0x01})},          // too few bytes
        {'U', 3, bytesOf({0x01})},          // width against the rule
        {'P', 9, bytesOf({0x00, 0x12, 0x3F, 0x50})},
        {'P', 9, bytesOf({0x00, 0x12, 0x34})},
        {'2', 13, bytesOf({0x00, 0x00, 0x00, 0x12, 0x34, 0x5C})},  // unknown sign code
        {'2', 13, bytesOf({0x00, 0x00, 0x00, 0x12, 0x34, 0xED})},  // last digit nibble
        {'2', 13, bytesOf({0xF0, 0x00, 0x00, 0x12, 0x34, 0x50})},
        {'3', 9, bytesOf({0x00, 0x00, 0x00, 0x01})},
        {'H', 2, bytesOf({0x01, 0x02})},
        {'H', 2, TBytes{}},
        {'B', 8, bytesOf({0x01, 0x02})},
        {'A', 3, bytesOf("ab")},
        {'A', 3, bytesOf("a\nb")},           // a line end would split the line
        {'A', 3, bytesOf("a\rb")},
        {'S', 2, bytesOf({0x01})},           // no settled text form
        {'R', 5, bytesOf({0x01, 0x23})},
        {'X', 9, bytesOf({0x01, 0x23, 0x45, 0x67})},
        {'h', 2, bytesOf({0x01})},
        {'.', 2, bytesOf({0x01})},
    };
    for (const Case &c : cases) {
        std::string text = "stale";
        EXPECT_FALSE(bytesToText(kindOf(c.type), c.bytes, c.width, text)) << c.type << c.width;
    }
    std::string text;
    EXPECT_FALSE(bytesToText(TFieldKind::Count, bytesOf({0x01}), 2, text));
    EXPECT_FALSE(bytesToText(TFieldKind::Unsigned, nullptr, 1, 2, text));
}

TEST(RecordConversion, TextToBytes)
{
    struct Case { char type; int width; std::string text; bool ok; TBytes bytes; };
    const std::string name16 = "Chleb           ";
    const std::vector<Case> cases = {
        {'U', 2, " 5", true, bytesOf({0x05})},
        {'U', 2, "05", true, bytesOf({0x05})},
        {'U', 2, "5 ", false, {}},
        {'U', 2, " 0", true, bytesOf({0x00})},
        {'U', 2, "  ", true, bytesOf({0x00})},
        {'U', 2, "5", false, {}},
        {'U', 2, "123", false, {}},
        {'U', 2, "-5", false, {}},
        {'U', 4, " 1 2", false, {}},
        {'U', 14, "05901234567890", true, bytesOf({0x05, 0x90, 0x12, 0x34, 0x56, 0x78, 0x90})},
        {'K', 4, " 123", true, bytesOf({0x01, 0x23})},
        {'H', 2, "0A", true, bytesOf({0x0A})},
        {'H', 2, "0a", false, {}},
        {'H', 2, "G0", false, {}},
        {'H', 2, " A", false, {}},
        {'H', 4, "FF01", true, bytesOf({0xFF, 0x01})},
        {'A', 16, name16, true, bytesOf(name16)},
        {'A', 16, "Chleb", false, {}},
        {'A', 16, name16 + " ", false, {}},
        {'A', 2, "\xB3\xD3", true, bytesOf({0xB3, 0xD3})},
        {'P', 9, "  1234.50", true, bytesOf({0x00, 0x12, 0x34, 0x50})},
        {'P', 9, "     2.50", true, bytesOf({0x00, 0x00, 0x02, 0x50})},
        {'P', 9, "999999.99", true, bytesOf({0x99, 0x99, 0x99, 0x99})},
        {'P', 9, "      .50", true, bytesOf({0x00, 0x00, 0x00, 0x50})},
        {'P', 9, "  1234,50", false, {}},
        {'P', 9, " 1234.50", false, {}},
        {'P', 9, " 12345.5 ", false, {}},
        {'P', 9, "  12 4.50", false, {}},
        {'P', 9, " -1234.50", false, {}},
        {'P', 9, "12345.500", false, {}},
        {'2', 13, "      -123.45", true, bytesOf({0x00, 0x00, 0x00, 0x12, 0x34, 0x5D})},
        {'2', 13, "       123.45", true, bytesOf({0x00, 0x00, 0x00, 0x12, 0x34, 0x50})},
        {'2', 13, "      +123.45", true, bytesOf({0x00, 0x00, 0x00, 0x12, 0x34, 0x50})},
        {'2', 13, "0000000123.45", true, bytesOf({0x00, 0x00, 0x00, 0x12, 0x34, 0x50})},
        {'2', 13, "      o123.45", true, bytesOf({0x00, 0x00, 0x00, 0x12, 0x34, 0x5A})},
        {'2', 13, "      u123.45", true, bytesOf({0x00, 0x00, 0x00, 0x12, 0x34, 0x5B})},
        {'2', 13, "         0.00", true, bytesOf({0x00, 0x00, 0x00, 0x00, 0x00, 0x00})},
        {'2', 13, "-999999999.99", true, bytesOf({0x99, 0x99, 0x99, 0x99, 0x99, 0x9D})},
        {'2', 13, " 999999999.99", true, bytesOf({0x99, 0x99, 0x99, 0x99, 0x99, 0x90})},
        {'2', 13, "1000000000.00", false, {}},   // the sign's place holds a digit
        {'2', 13, "      -123,45", false, {}},
        {'2', 13, "      -12 .45", false, {}},
        {'2', 13, "     - 123.45", false, {}},
        {'2', 13, "      x123.45", false, {}},
        {'2', 13, "     --123.45", false, {}},
        {'2', 13, "      123.4 5", false, {}},
        {'2', 13, "       123.4 ", false, {}},
        {'2', 13, "        -.45 ", false, {}},
        {'2', 13, "       -.45", false, {}},
        {'2', 13, "             ", false, {}},
        {'2', 5, "-0.05", true, bytesOf({0x00, 0x5D})},
        {'3', 9, "   -1.500", true, bytesOf({0x00, 0x01, 0x50, 0x0D})},
        {'3', 9, "    1.50 ", false, {}},
        {'3', 9, "     1.50", false, {}},
        {'4', 7, "u1.2345", true, bytesOf({0x12, 0x34, 0x5B})},
        {'B', 8, "10100101", true, bytesOf({0xA5})},
        {'B', 8, "1010010x", false, {}},
        {'B', 8, "1010", false, {}},
        {'B', 16, "0000000011111111", true, bytesOf({0x00, 0xFF})},
        {'S', 2, "12", false, {}},
        {'R', 5, " 1.23", false, {}},
        {'h', 2, "0a", false, {}},
    };
    for (const Case &c : cases) {
        TBytes bytes = bytesOf({0xEE});
        const bool ok = textToBytes(kindOf(c.type), c.text, c.width, bytes);
        EXPECT_EQ(ok, c.ok) << c.type << c.width << " '" << c.text << "'";
        TBytes expected = bytesOf({0xEE});
        if (ok)
            expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
        EXPECT_EQ(bytes, expected) << c.type << c.width << " '" << c.text << "'";
    }
}

// Random valid bytes of every kind survive bytes -> text -> bytes.
TEST(RecordConversion, RoundTripsEveryKind)
{
    struct Case { char type; std::vector<int> widths; };
    const std::vector<Case> cases = {
        {'H', {2, 4, 10, 98}},   {'B', {8, 16, 96}},    {'A', {1, 2, 16, 99}},
        {'U', {2, 4, 14, 98}},   {'K', {2, 6}},         {'P', {5, 9, 13, 99}},
        {'2', {5, 9, 13, 99}},   {'3', {7, 9, 13}},     {'4', {7, 9, 15}},
    };
    std::mt19937 random(777);
    const int signs[] = {0x0, 0xD, 0xA, 0xB};
    for (const Case &c : cases) {
        const TFieldKind kind = kindOf(c.type);
        for (int width : c.widths) {
            const int size = fieldBytes(kind, width);
            ASSERT_GT(size, 0) << c.type << width;
            for (int round = 0; round < 300; ++round) {
                TBytes bytes;
                for (int i = 0; i < size; ++i) {
                    int b = static_cast<int>(random() & 0xFF);
                    if (std::string("UKP234").find(c.type) != std::string::npos)
                        b = static_cast<int>(random() % 10) * 16 + static_cast<int>(random() % 10);
                    if (c.type == 'A' && (b == '\r' || b == '\n'))
                        b = ' ';
                    // Short values too, to exercise the blanking.
                    if (round % 3 == 0 && i < size - 1 && c.type != 'A' && c.type != 'H' && c.type != 'B')
                        b = 0;
                    bytes.push_back(static_cast<uint8_t>(b));
                }
                if (c.type == '2' || c.type == '3' || c.type == '4')
                    bytes.back() = static_cast<uint8_t>((bytes.back() & 0xF0) | signs[random() % 4]);
                std::string text;
                ASSERT_TRUE(bytesToText(kind, bytes, width, text)) << c.type << width;
                ASSERT_EQ(text.size(), static_cast<std::size_t>(width));
                TBytes back;
                ASSERT_TRUE(textToBytes(kind, text, width, back)) << c.type << width << " '" << text << "'";
                ASSERT_EQ(back, bytes) << c.type << width << " '" << text << "'";
            }
        }
    }
}

TEST(RecordLine, GroupRecordGivesTheEditorsLine)
{
    const TSelection s = select("ABDE", kGroups);
    TBytes record = bytesOf({0x05, 0x02, 0x08, 0x00, 0x00, 0x00, 0x02, 0x50});
    const std::string name = "Chleb           ";
    record.insert(record.end(), name.begin(), name.end());
    std::string line;
    ASSERT_TRUE(recordToLine(s, 1, false, 0, record.data(), record.size(), line));
    EXPECT_EQ(line, " 5,02, 8,00,     2.50,Chleb           ,");

    TBytes back;
    ASSERT_TRUE(lineToRecord(s, false, line, back));
    EXPECT_EQ(back, record);
}

TEST(RecordLine, CountersLandOnTheColumnsTheEditorsRead)
{
    const TSelection s = select("ABDEIJ", kGroups);
    TBytes record = bytesOf({0x12, 0x01, 0x01, 0x04, 0x00, 0x00, 0x10, 0x00});
    const std::string name = "Woda            ";
    record.insert(record.end(), name.begin(), name.end());
    const TBytes counters = bytesOf({0x00, 0x00, 0x00, 0x12, 0x34, 0x50, 0x00, 0x01, 0x50, 0x00,
                                     0x00, 0x00, 0x01, 0x00, 0x00, 0x0D, 0x00, 0x10, 0x00, 0x00});
    record.insert(record.end(), counters.begin(), counters.end());
    std::string line;
    ASSERT_TRUE(recordToLine(s, 1, false, 0, record.data(), record.size(), line));
    EXPECT_EQ(line, "12,01, 1,04,    10.00,Woda            ,       123.45,    1.500,     -1000.00,   10.000,");
    // 1-based positions of the decimal points in the groups' read-back lines.
    for (std::size_t position : {19u, 50u, 59u, 74u, 83u})
        EXPECT_EQ(line[position - 1], '.') << position;
    EXPECT_EQ(line.size(), 87u);
}

TEST(RecordLine, BlockDigitsAndRecordNumbers)
{
    struct Case { std::string a; int block; bool numbered; int number; std::string prefix; };
    const std::vector<Case> cases = {
        {"1A", 7, false, 0, "7,"},
        {"2A", 5, false, 0, " 5,"},
        {"2A", 10, false, 0, "10,"},
        {"3A", 5, false, 0, "  5,"},
        {"3A", 50, false, 0, " 50,"},
        {"3A", 105, false, 0, "105,"},
        {"3A", 999, false, 0, "999,"},
        {"B", 1, true, 258, "00258,"},
        {"B", 1, true, 65535, "65535,"},
        {"2B", 3, true, 1, " 3,00001,"},
    };
    for (const Case &c : cases) {
        const TSelection s = select(c.a, kGroups);
        const TBytes record(static_cast<std::size_t>(s.RecordSize), 0x00);
        std::string line;
        ASSERT_TRUE(recordToLine(s, c.block, c.numbered, static_cast<uint16_t>(c.number), record.data(),
                                 record.size(), line)) << c.a;
        ASSERT_EQ(line.substr(0, c.prefix.size()), c.prefix) << c.a;
        EXPECT_EQ(lineBlockNumber(s, line), c.block) << line;
        if (c.numbered) {
            EXPECT_EQ(lineRecordNumber(s, line), c.number) << line;
        }
        TBytes back;
        ASSERT_TRUE(lineToRecord(s, c.numbered, line, back)) << line;
        EXPECT_EQ(back, record);
    }
    // Block numbers wider than the digits allow, and records of the wrong size.
    const TSelection one = select("1A", kGroups);
    const TBytes byte(1, 0x01);
    std::string line = "kept";
    EXPECT_FALSE(recordToLine(one, 10, false, 0, byte.data(), 1, line));
    EXPECT_FALSE(recordToLine(one, -1, false, 0, byte.data(), 1, line));
    EXPECT_FALSE(recordToLine(one, 1, false, 0, byte.data(), 0, line));
    EXPECT_EQ(line, "kept");
    // A field the register sent broken: 0x1160 for the caller.
    const TBytes badDigit(1, 0x0A);
    EXPECT_FALSE(recordToLine(one, 1, false, 0, badDigit.data(), 1, line));
}

TEST(RecordLine, LinesThatDoNotConvert)
{
    const TSelection groups = select("ABDE", kGroups);
    const TSelection blocks = select("2AB", kGroups);
    struct Case { const TSelection *s; bool numbered; std::string line; int item; int column; };
    const std::vector<Case> cases = {
        {&groups, false, " 5,02, 8,00,     2.50,Chleb,", 5, 23},      // name not padded
        {&groups, false, " 5,02, 8,00,     2.50", 5, 22},             // name missing
        {&groups, false, " 5,0a, 8,00,     2.50,Chleb           ,", 1, 4},
        {&groups, false, "5 ,02, 8,00,     2.50,Chleb           ,", 0, 1},
        {&groups, false, " 5;02, 8,00,     2.50,Chleb           ,", 0, 3},
        {&groups, false, " 5,02, 8,00,    2,50 ,Chleb           ,", 4, 13},
        {&groups, false, "", 0, 1},
        {&blocks, false, "x5, 1,00, 0,00,", -1, 1},
        {&blocks, false, "  , 1,00, 0,00,", -1, 1},
        {&blocks, false, " 5; 1,00, 0,00,", -1, 1},
        {&blocks, true, " 5,0001,  1,00, 0,00,", -1, 4},
        {&blocks, true, " 5,99999, 1,00, 0,00,", -1, 4},          // beyond 16 bits
    };
    for (const Case &c : cases) {
        TBytes record = bytesOf({0x77});
        TLineError error;
        EXPECT_FALSE(lineToRecord(*c.s, c.numbered, c.line, record, &error)) << c.line;
        EXPECT_EQ(record, bytesOf({0x77})) << c.line;
        EXPECT_EQ(error.Item, c.item) << c.line;
        EXPECT_EQ(error.Column, c.column) << c.line;
    }
    EXPECT_EQ(lineBlockNumber(groups, "whatever"), 1);
    EXPECT_EQ(lineBlockNumber(blocks, "  ,"), -1);
    EXPECT_EQ(lineBlockNumber(blocks, " 5"), -1);
    EXPECT_EQ(lineRecordNumber(groups, "0001,"), -1);
    EXPECT_EQ(lineRecordNumber(groups, "00001"), -1);
}

TEST(RecordLine, LastCommaMayBeMissingButNothingElse)
{
    const TSelection s = select("AD", kGroups);
    TBytes record;
    EXPECT_TRUE(lineToRecord(s, false, " 5,     2.50,", record));
    EXPECT_TRUE(lineToRecord(s, false, " 5,     2.50", record));
    EXPECT_EQ(record, bytesOf({0x05, 0x00, 0x00, 0x02, 0x50}));
    EXPECT_FALSE(lineToRecord(s, false, " 5,     2.50x", record));
    EXPECT_FALSE(lineToRecord(s, false, " 5      2.50,", record));

    // A last value one short: its comma must not be read into it.
    const TSelection groups = select("ABDE", kGroups);
    const std::string name15 = " 5,02, 8,00,     2.50,Pieczywo       ,";
    TLineError error;
    EXPECT_FALSE(lineToRecord(groups, false, name15, record, &error));
    EXPECT_EQ(error.Item, 5); // the name
    EXPECT_EQ(error.Column, 23);
    EXPECT_TRUE(lineToRecord(groups, false, " 5,02, 8,00,     2.50,Pieczywo        ", record)); // full width, no comma
    EXPECT_TRUE(lineToRecord(groups, false, " 5,02, 8,00,     2.50,Pieczywo, zwykle,", record)); // comma inside
}
