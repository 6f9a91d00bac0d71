#pragma once
// National letters. The register, the PC code page chosen by /L and the
// module's own messages (CP852) each put the Polish letters elsewhere;
// everything else passes unchanged.
#include <array>
#include <cstdint>
#include <string>

using TTranslation = std::array<uint8_t, 256>;

class TNational {
public:
    static constexpr int Rows = 11;
    static constexpr int Letters = 19;  // 18 Polish letters and the register's 0xFD
    // Row of the national table for a /L letter; any other letter (and
    // the empty value, '\0') selects CP852.
    static int rowOf(char letter);
    static const std::array<uint8_t, Letters> &row(int index);
    // The 18 Polish letters Ą Ć Ę Ł Ń Ó Ś Ź Ż ą ć ę ł ń ó ś ź ż as code
    // points, then '^' for the register's 0xFD.
    static const std::array<char32_t, Letters> &unicode();

    explicit TNational(char letter = 'W') { selectCodePage(letter); }
    void selectCodePage(char letter);
    char letter() const { return m_letter; }
    int rowIndex() const { return m_row; }

    std::string toRegister(const std::string &pcText) const;
    std::string toPC(const std::string &registerText) const;
    std::string messageToPC(const std::string &cp852Text) const;

private:
    char m_letter = 'W';
    int m_row = 10;
    const TTranslation *m_toRegister = nullptr;
    const TTranslation *m_toPC = nullptr;
    const TTranslation *m_messageToPC = nullptr;
};

// Byte-wise translation through a table.
std::string Translate(const TTranslation &table, const std::string &text);
// The message translation CP852 -> the /L code page, built once per row.
const TTranslation &MessageTranslation(char letter);

// UTF-8 source text to CP852 bytes (ASCII and the Polish letters; any
// other character becomes '?'). Used for the module's fixed texts.
std::string Utf8ToCp852(const std::string &utf8);
// Bytes of the /L code page to UTF-8 for a person's terminal: ASCII and
// the Polish letters of that row; any other byte above 0x7F becomes U+FFFD.
std::string PcToUtf8(char letter, const std::string &pcText);
