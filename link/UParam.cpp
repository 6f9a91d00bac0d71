#include "link/UParam.h"

namespace {
std::size_t slotOf(char letter)
{
    return static_cast<unsigned char>(letter);
}
} // namespace

void TParam::clear()
{
    m_text.clear();
    m_slots.fill(Slot{});
    m_count = 0;
}

void TParam::record(char letter, std::size_t start, std::size_t length)
{
    if (length > MaxValue)
        length = MaxValue;
    m_slots[slotOf(letter)] = Slot{true, start, length};
    ++m_count;
}

void TParam::parse(const std::string &text)
{
    clear();
    m_text = text;
    std::size_t pos = m_text.find('/');
    while (pos != std::string::npos && pos + 1 < m_text.size()) {
        const char letter = m_text[pos + 1];
        const std::size_t start = pos + 2;
        std::size_t end = start < m_text.size() ? m_text.find('/', start) : std::string::npos;
        const std::size_t next = end;
        if (end == std::string::npos)
            end = m_text.size();
        std::size_t stop = end < start ? start : end;
        while (stop > start && m_text[stop - 1] == ' ')
            --stop;
        record(letter, start, stop - start);
        pos = next;
    }
}

bool TParam::has(char letter) const
{
    return m_slots[slotOf(letter)].present;
}

bool TParam::isEmpty(char letter) const
{
    const Slot &s = m_slots[slotOf(letter)];
    return !s.present || s.length == 0;
}

std::string TParam::value(char letter) const
{
    const Slot &s = m_slots[slotOf(letter)];
    if (!s.present)
        return {};
    return m_text.substr(s.start, s.length);
}

void TParam::setDefault(char letter, const std::string &value)
{
    const std::size_t start = m_text.size();
    m_text += value;
    record(letter, start, value.size());
}
