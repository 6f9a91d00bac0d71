// Record conversions of every field type, both ways, and the exchange
// lines of a table's selection: a text that converts to bytes must convert
// back to a text of its width.
#include "link/URecord.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const char type = char(data[0]);
    const int width = data[1] % 40;
    const uint8_t mode = data[2];
    data += 3;
    size -= 3;
    if (mode & 1) {
        // A line of a table's selection.
        static const int tables[] = {0x01, 0x11, 0x19};
        static const char *values[] = {"ABDE", "ABDEIJ", "ABDI", "ABDIJ", "AB", "ABDEI"};
        const int table = tables[(mode >> 1) % 3];
        const std::string d = standardDescriptor(table, (mode >> 3) & 1 ? 11 : 5);
        TSelection s;
        if (d.empty() || !selectFields(values[(mode >> 4) % 6], d, s))
            return 0;
        const std::string line(reinterpret_cast<const char *>(data), size);
        (void)lineBlockNumber(s, line);
        const bool numbered = mode & 0x40;
        (void)lineRecordNumber(s, line);
        TBytes record;
        TLineError error;
        if (lineToRecord(s, numbered, line, record, &error)) {
            std::string back;
            if (record.size() != std::size_t(s.RecordSize))
                std::abort();
            (void)recordToLine(s, 1, numbered, 1, record.data(), record.size(), back);
        }
        return 0;
    }
    TFieldKind kind;
    if (!fieldKindOf(type, kind))
        return 0;
    const int bytes = fieldBytes(kind, width);
    std::string text;
    if (bytesToText(kind, data, size, width, text)) {
        TBytes again;
        (void)textToBytes(kind, text, width, again);
    }
    const std::string input(reinterpret_cast<const char *>(data), size);
    TBytes out;
    if (textToBytes(kind, input, width, out)) {
        if (bytes > 0 && out.size() != std::size_t(bytes))
            std::abort();
        // Names with a line end go out but are refused on the way back
        // (they would split the exchange line); everything else returns.
        const bool lineEnd = kind == TFieldKind::Text && input.find_first_of("\r\n") != std::string::npos;
        std::string back;
        if (!bytesToText(kind, out, width, back) && !lineEnd)
            std::abort();
    }
    return 0;
}
