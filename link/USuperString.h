#pragma once
// Growable byte buffer of the link and the port: at most 64000 bytes,
// grown in steps of its granularity. Indexes are 0-based.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TSuperString {
public:
    static constexpr uint16_t MaxLength = 64000;

    explicit TSuperString(uint16_t granularity = 256);

    uint16_t Length() const { return static_cast<uint16_t>(FData.size()); }
    uint16_t Capacity() const { return FCapacity; }
    bool Empty() const { return FData.empty(); }

    // The byte at index, 0 outside the buffer.
    uint8_t At(uint16_t index) const;
    // The last byte, 0 when empty (an empty buffer counts as complete).
    uint8_t Last() const;

    // All or nothing: false (buffer unchanged) when the result would
    // exceed MaxLength.
    bool Append(uint8_t byte);
    bool Append(std::string_view bytes);

    void Clear();
    // Up to count bytes from pos (clipped to the buffer).
    std::string Substring(uint16_t pos, uint16_t count) const;
    // Drops the bytes before pos; pos beyond the end empties the buffer.
    void KeepFrom(uint16_t pos);

    std::string Str() const { return std::string(FData.begin(), FData.end()); }

private:
    bool Reserve(size_t length);

    uint16_t FGranularity;
    uint16_t FCapacity = 0;
    std::vector<char> FData;
};
