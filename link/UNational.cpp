#include "link/UNational.h"

namespace {

using Row = std::array<uint8_t, TNational::Letters>;

// Order: Ą Ć Ę Ł Ń Ó Ś Ź Ż ą ć ę ł ń ó ś ź ż, then the register's 0xFD.
const std::array<Row, TNational::Rows> kRows = {{
    {0xC4, 0xC5, 0xC7, 0xCA, 0xCC, 0xC6, 0xCB, 0xC9, 0xC8, 0xCD, 0xCE, 0xD0, 0xD3, 0xD5, 0xCF, 0xD4, 0xD2, 0xD1, 0xFD},
    {0x8F, 0x95, 0x90, 0x9C, 0xA5, 0xA3, 0x98, 0xA0, 0xA1, 0x86, 0x8D, 0x91, 0x92, 0xA4, 0xA2, 0x9E, 0xA6, 0xA7, 0x5E},
    {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x88, 0x87, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x91, 0x90, 0x5E},
    {0xA4, 0x8F, 0xA8, 0x9D, 0xE3, 0xE0, 0x97, 0x8D, 0xBD, 0xA5, 0x86, 0xA9, 0x88, 0xE4, 0xA2, 0x98, 0xAB, 0xBE, 0x5E},
    {0xA1, 0xC6, 0xCA, 0xA3, 0xD1, 0xD3, 0xA6, 0xAC, 0xAF, 0xB1, 0xE6, 0xEA, 0xB3, 0xF1, 0xF3, 0xB6, 0xBC, 0xBF, 0x5E},
    {0x8F, 0x80, 0x90, 0x9C, 0xA5, 0x93, 0x98, 0x9D, 0x92, 0xA0, 0x9B, 0x82, 0x9F, 0xA4, 0xA2, 0x87, 0xA8, 0x91, 0x5E},
    {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x91, 0x5E},
    {0x8F, 0x80, 0x90, 0x9C, 0xA5, 0x99, 0xEB, 0x9D, 0x92, 0xA0, 0x9B, 0x82, 0x9F, 0xA4, 0xA2, 0x87, 0xA8, 0x91, 0x5E},
    {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x88, 0x87, 0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x98, 0x97, 0x5E},
    {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x88, 0x87, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA8, 0xA7, 0x5E},
    {0xA5, 0xC6, 0xCA, 0xA3, 0xD1, 0xD3, 0x8C, 0x8F, 0xAF, 0xB9, 0xE6, 0xEA, 0xB3, 0xF1, 0xF3, 0x9C, 0x9F, 0xBF, 0x5E},
}};

const std::array<char32_t, TNational::Letters> kUnicode = {
    U'Ą', U'Ć', U'Ę', U'Ł', U'Ń', U'Ó', U'Ś', U'Ź', U'Ż',
    U'ą', U'ć', U'ę', U'ł', U'ń', U'ó', U'ś', U'ź', U'ż', U'^'};

constexpr int kRegisterRow = 0;
constexpr int kCp852Row = 3;

TTranslation identity()
{
    TTranslation t{};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<uint8_t>(i);
    return t;
}

TTranslation build(int fromRow, int toRow)
{
    TTranslation t = identity();
    for (int i = 0; i < TNational::Letters; ++i)
        t[kRows[fromRow][i]] = kRows[toRow][i];
    return t;
}

struct Tables {
    std::array<TTranslation, TNational::Rows> toRegister;
    std::array<TTranslation, TNational::Rows> toPC;
    std::array<TTranslation, TNational::Rows> messageToPC;
    Tables()
    {
        for (int r = 0; r < TNational::Rows; ++r) {
            toRegister[r] = build(r, kRegisterRow);
            toPC[r] = build(kRegisterRow, r);
            messageToPC[r] = build(kCp852Row, r);
        }
    }
};

const Tables &tables()
{
    static const Tables t;
    return t;
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

int TNational::rowOf(char letter)
{
    switch (letter) {
    case 'S': return 0;
    case 'M': return 1;
    case 'D': return 2;
    case 'L': return 3;
    case 'P': return 4;
    case 'V': return 5;
    case 'G': return 6;
    case 'I': return 7;
    case 'C': return 8;
    case 'K': return 9;
    case 'W': return 10;
    default: return kCp852Row;
    }
}

const std::array<uint8_t, TNational::Letters> &TNational::row(int index)
{
    return kRows.at(static_cast<std::size_t>(index));
}

const std::array<char32_t, TNational::Letters> &TNational::unicode()
{
    return kUnicode;
}

void TNational::selectCodePage(char letter)
{
    m_letter = letter;
    m_row = rowOf(letter);
    const Tables &t = tables();
    m_toRegister = &t.toRegister[m_row];
    m_toPC = &t.toPC[m_row];
    m_messageToPC = &t.messageToPC[m_row];
}

std::string TNational::toRegister(const std::string &pcText) const
{
    return Translate(*m_toRegister, pcText);
}

std::string TNational::toPC(const std::string &registerText) const
{
    return Translate(*m_toPC, registerText);
}

std::string TNational::messageToPC(const std::string &cp852Text) const
{
    return Translate(*m_messageToPC, cp852Text);
}

std::string Translate(const TTranslation &table, const std::string &text)
{
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>(table[static_cast<unsigned char>(text[i])]);
    return out;
}

const TTranslation &MessageTranslation(char letter)
{
    return tables().messageToPC[TNational::rowOf(letter)];
}

std::string Utf8ToCp852(const std::string &utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        char32_t c = 0;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            c = ((b & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
            len = 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
            c = ((b & 0x0F) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3F) << 6)
                | (static_cast<unsigned char>(utf8[i + 2]) & 0x3F);
            len = 3;
        } else {
            c = U'?';
        }
        i += len;
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 18; ++k) {
            if (kUnicode[k] == c) {
                mapped = static_cast<char>(kRows[kCp852Row][k]);
                break;
            }
        }
        out += mapped;
    }
    return out;
}

std::string PcToUtf8(char letter, const std::string &pcText)
{
    const Row &r = kRows[TNational::rowOf(letter)];
    std::string out;
    out.reserve(pcText.size() + pcText.size() / 2);
    for (char ch : pcText) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80 && b != 0x5E) {
            out += ch;
            continue;
        }
        char32_t c = b < 0x80 ? char32_t(b) : U'\uFFFD';
        for (int k = 0; k < TNational::Letters; ++k) {
            if (r[k] == b) {
                c = kUnicode[k];
                break;
            }
        }
        appendUtf8(out, c);
    }
    return out;
}
