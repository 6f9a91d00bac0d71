#pragma once
// How far a transfer with the register is and how long it still takes.
// The module reports its counts on the job thread; the progress window
// reads the bar and its text on its timer. The line speed is measured on
// the module's clock, so tests run it in virtual time.
#include <QString>
#include <cstdint>
#include <mutex>

class TClock;

class TTransferProgress {
public:
    // Less measuring than this gives no estimate yet: the wake-up and the
    // first packets say little about the speed.
    static constexpr uint32_t MeasureMs = 2000;

    explicit TTransferProgress(TClock &clock) : m_clock(clock) {}

    // Nothing counted (a new job).
    void Reset();
    // done records (reports) of total, -1 while not known, of job (D, U, P)
    // and table (/T). The speed is measured from the first record on, so
    // that the wake-up and the header do not count as slowness; a new job,
    // table or a count that went back starts anew.
    void Report(char job, uint32_t table, long done, long total);

    struct TView {
        bool Active = false;    // a transfer has reported
        bool Busy = false;      // total not known: the bar only shows activity
        long Done = 0;
        long Total = -1;
        long SecondsLeft = -1;  // -1: no estimate
        QString Text;
        bool operator==(const TView &) const = default;
    };
    TView View() const;

    // "Wysłano 1 200 z 9 999 kodów — zostało około 5 min"; without a total
    // "Odczytano 120 raportów".
    static QString Text(char job, uint32_t table, long done, long total, long secondsLeft);
    // "zostało około 5 min", "zostało około 40 s".
    static QString TimeLeftText(long seconds);
    // Seconds the left records take when moved ones took elapsedMs; -1
    // when nothing can be said yet.
    static long SecondsLeft(long moved, long left, uint32_t elapsedMs);

private:
    TClock &m_clock;
    mutable std::mutex m_mutex;
    bool m_active = false;
    char m_job = 0;
    uint32_t m_table = 0;
    long m_done = 0;
    long m_total = -1;
    bool m_measuring = false;
    long m_startDone = 0;   // the count when the measurement began
    uint32_t m_start = 0;
};
