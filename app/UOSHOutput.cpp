#include "app/UOSHOutput.h"

#include <algorithm>

int HistoryPicture(uint16_t code)
{
    int index;
    switch (code & 0xFF) {
    case 0x02: index = 2; break;
    case 0x0D: index = 3; break;
    case 0x04: index = 4; break;
    case 0x05: index = 5; break;
    case 0x06: index = 6; break;
    case 0x15: index = 7; break;
    case 0x41:
    case 0x42: index = 15; break;
    case 0x61:
    case 0x62: index = 16; break;
    default: index = 1; break;
    }
    if ((code >> 8) == 0x09)
        index = (index + 6) % 17;
    return index;
}

void TOSHOutput::SetupStrip(int stripWidth, int pictureWidth)
{
    std::lock_guard lock(m_mutex);
    pictureWidth = std::max(pictureWidth, 1);
    m_cells = std::clamp(stripWidth / pictureWidth, 1, MaxCells);
    m_margin = std::max(0, (stripWidth - pictureWidth * m_cells) / 2);
    m_writePos = m_drawPos = 0;
    m_history.fill(0);
}

void TOSHOutput::Clear()
{
    std::lock_guard lock(m_mutex);
    m_output.clear();
    m_lineCount = 0;
    m_statusChanged = m_outputChanged = true;
    m_progress.Reset();
}

void TOSHOutput::WriteLine(const QString &line)
{
    std::lock_guard lock(m_mutex);
    if (m_lineCount < MaxLines) {
        ++m_lineCount;
    } else {
        const qsizetype lf = m_output.indexOf(u'\n');
        m_output.remove(0, lf < 0 ? m_output.size() : lf + 1);
    }
    m_output += line;
    m_output += QStringLiteral("\r\n");
    m_outputChanged = true;
}

void TOSHOutput::SetStatus(const QString &text)
{
    std::lock_guard lock(m_mutex);
    m_status = text;
    m_statusChanged = true;
}

int TOSHOutput::AddHistory(uint16_t code)
{
    std::lock_guard lock(m_mutex);
    m_history[m_writePos] = HistoryPicture(code);
    m_writePos = (m_writePos + 1) % m_cells;
    return m_writePos == 0 ? 1 : 0;
}

TOSHOutput::TChanges TOSHOutput::TakeChanges()
{
    std::lock_guard lock(m_mutex);
    TChanges changes;
    if (m_statusChanged) {
        m_statusChanged = false;
        changes.StatusChanged = true;
        changes.Status = m_status;
    }
    if (m_outputChanged) {
        m_outputChanged = false;
        changes.OutputChanged = true;
        changes.Output = m_output;
    }
    if (m_drawPos != m_writePos) {
        while (m_drawPos != m_writePos) {
            changes.Cells.emplace_back(m_drawPos, m_history[m_drawPos]);
            m_drawPos = (m_drawPos + 1) % m_cells;
        }
        changes.Cursor = m_writePos;
    }
    return changes;
}

int TOSHOutput::Cells() const
{
    std::lock_guard lock(m_mutex);
    return m_cells;
}

int TOSHOutput::Margin() const
{
    std::lock_guard lock(m_mutex);
    return m_margin;
}

QString TOSHOutput::Output() const
{
    std::lock_guard lock(m_mutex);
    return m_output;
}

int TOSHOutput::LineCount() const
{
    std::lock_guard lock(m_mutex);
    return m_lineCount;
}

QString TOSHOutput::Status() const
{
    std::lock_guard lock(m_mutex);
    return m_status;
}

int TOSHOutput::WritePos() const
{
    std::lock_guard lock(m_mutex);
    return m_writePos;
}

int TOSHOutput::HistoryAt(int cell) const
{
    std::lock_guard lock(m_mutex);
    return cell >= 0 && cell < MaxCells ? m_history[cell] : -1;
}
