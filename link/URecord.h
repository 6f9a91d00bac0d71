#pragma once
// Record formats of the register's tables: field descriptors, the /A
// selection, the field mask and the conversion of every field type between
// the register's bytes and the text of the exchange files.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

using TBytes = std::vector<uint8_t>;

// One kind per element type character; the conversions are chosen through
// two tables indexed by kind.
enum class TFieldKind : uint8_t {
    Hex,        // H
    Bits,       // B
    Text,       // A
    Unsigned,   // U
    Price,      // P
    Amount2,    // 2
    Amount3,    // 3
    Amount4,    // 4
    Packed,     // K (converted as U)
    Signed,     // S
    DecimalR,   // R
    DecimalV,   // V
    DecimalX,   // X
    DecimalN,   // n
    HexLower,   // h
    TypeD,      // D
    TypeE,      // E
    Dot,        // .
    Count
};

// Kind of an element type character; false for a character that is no type.
bool fieldKindOf(char type, TFieldKind &kind);
// Bytes of an element of the given kind and text width; 0 when the width
// breaks the type's rule (or the type's size is not known).
int fieldBytes(TFieldKind kind, int width);

// Byte form to text form; false when the bytes do not fit the kind
// (wrong count, a nibble that is no digit, an unknown sign code) or the
// kind has no text form.
bool bytesToText(TFieldKind kind, const uint8_t *bytes, std::size_t count, int width, std::string &text);
bool bytesToText(TFieldKind kind, const TBytes &bytes, int width, std::string &text);
// Text form to byte form; the text must have exactly the width. Appends to
// bytes only on success.
bool textToBytes(TFieldKind kind, const std::string &text, int width, TBytes &bytes);

// One item of a record: an element with count n gives n items.
struct TRecordItem {
    TFieldKind Kind;
    char Type;      // the type character of the descriptor
    int Bytes;
    int Width;
};

struct TSelection {
    static constexpr int Fields = 16;   // A..P, the register family's fields
    static constexpr int MaxRecordSize = 200;

    int BlockDigits = 0;                // 0..3
    std::vector<TRecordItem> Items;     // in record order
    std::array<int, Fields> FieldSize{};// bytes per letter A..P, 0 = not selected
    int RecordSize = 0;

    bool hasField(char letter) const;
    // Four upper-case hexadecimal digits: bits B..P from the most
    // significant bit on, then one 0 bit.
    std::string fieldMask() const;
};

// Descriptor of a standard table for a /T number and model index; empty
// for tables without a standard format.
std::string standardDescriptor(int tableNumber, int modelIndex);

// Matches an /A value against a descriptor; false when they do not match
// (reported as 0x1304 by the caller).
bool selectFields(const std::string &aValue, const std::string &descriptor, TSelection &selection);

// The field mask of a letter list (/Z): letters B..P set their bits,
// letters A and Q..z are ignored; false for an empty list or a character
// that is no field letter.
bool fieldMaskOfLetters(const std::string &letters, std::string &mask);

// Exchange-file line of one record read from the register (register code
// page, no line end): block number, record number when numbered, then every
// item's text, each followed by ",". False when a field does not convert
// (0x1160) or the block number has more digits than the selection allows.
bool recordToLine(const TSelection &selection, int blockNumber, bool numbered, uint16_t recordNumber,
                  const uint8_t *record, std::size_t size, std::string &line);

// Where a line failed to convert: the item (0-based, -1 for the block or
// record number) and the 1-based column where its text starts.
struct TLineError {
    int Item = -1;
    int Column = 1;
};

// Block number of a line: its first BlockDigits characters in decimal
// (blanks before the digits allowed); 1 when there are no block digits;
// -1 when malformed.
int lineBlockNumber(const TSelection &selection, const std::string &line);
// Record number of a numbered line (the five digits after the block
// digits); -1 when malformed.
int lineRecordNumber(const TSelection &selection, const std::string &line);
// A line read for sending back to the record's bytes (register code page
// in). Replaces record; false with the place of the fault otherwise.
bool lineToRecord(const TSelection &selection, bool numbered, const std::string &line, TBytes &record,
                  TLineError *error = nullptr);
