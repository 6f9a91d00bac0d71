#pragma once
// The switch set of one module run: a command line such as
// "/F name /T01 /AABDE /XD" taken apart once, then asked per letter.
// Letters are case-sensitive; a value runs up to the next "/".
#include <array>
#include <cstddef>
#include <string>

class TParam {
public:
    static constexpr std::size_t MaxValue = 255;

    // Replaces whatever the set held.
    void parse(const std::string &text);
    bool has(char letter) const;
    // Present with an empty value, or absent.
    bool isEmpty(char letter) const;
    // Empty when absent; at most MaxValue characters.
    std::string value(char letter) const;
    // Records value as if it had been given on the command line.
    void setDefault(char letter, const std::string &value);
    int count() const { return m_count; }
    void clear();

private:
    struct Slot {
        bool present = false;
        std::size_t start = 0;
        std::size_t length = 0;
    };
    void record(char letter, std::size_t start, std::size_t length);

    std::string m_text;
    std::array<Slot, 256> m_slots{};
    int m_count = 0;
};
