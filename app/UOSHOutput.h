#pragma once
// What the communication module has said during a job, kept for the
// progress window: up to 9 output lines, the status text, the ring of
// history pictures and the transfer's count. The module writes on the job
// thread; the window's timer takes the changes on the user-interface
// thread; a mutex guards both.
#include "link/UClock.h"
#include "app/UTransferProgress.h"

#include <QString>
#include <array>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

// Picture index (0..16) of a history code: the low byte names the
// character or control line, a high byte 0x09 marks a character sent.
int HistoryPicture(uint16_t code);

class TOSHOutput {
public:
    static constexpr int MaxLines = 9;
    static constexpr int MaxCells = 65;

    // clock: the one the module runs on, for the speed of the line.
    explicit TOSHOutput(TClock &clock = SteadyClock()) : m_progress(clock) {}

    // Cells = stripWidth div pictureWidth (at most 65), the rest split into
    // a left margin; the ring starts empty.
    void SetupStrip(int stripWidth, int pictureWidth);

    // Also forgets the transfer's count.
    void Clear();
    void WriteLine(const QString &line);
    void SetStatus(const QString &text);
    // Stores the picture of code at the write position; 1 when the ring
    // wrapped to its first cell, else 0.
    int AddHistory(uint16_t code);

    // The changes since the last call, for painting.
    struct TChanges {
        bool StatusChanged = false;
        QString Status;
        bool OutputChanged = false;
        QString Output;
        std::vector<std::pair<int, int>> Cells; // cell, picture
        int Cursor = -1;                        // cell of the cursor picture; -1: no history change
    };
    TChanges TakeChanges();

    int Cells() const;
    int Margin() const;
    QString Output() const;
    int LineCount() const;
    QString Status() const;
    int WritePos() const;
    int HistoryAt(int cell) const;
    TTransferProgress &Progress() { return m_progress; }

private:
    mutable std::mutex m_mutex;
    QString m_status;
    bool m_statusChanged = false;
    QString m_output;
    bool m_outputChanged = false;
    int m_lineCount = 0;
    std::array<int, MaxCells> m_history{};
    int m_writePos = 0;
    int m_drawPos = 0;
    int m_cells = 1;
    int m_margin = 0;
    TTransferProgress m_progress;
};
