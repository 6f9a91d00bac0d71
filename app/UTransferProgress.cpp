#include "app/UTransferProgress.h"

#include "link/UClock.h"

#include <algorithm>

namespace {

// The forms of what a transfer counts: "Wysłano 1 kod / 2 kody / 5 kodów",
// "z 1 kodu / z 5 kodów".
struct TNoun {
    const char16_t *One, *Few, *Many, *OfOne, *OfMany;
};

const TNoun &NounOf(char job, uint32_t table)
{
    static const TNoun reports{u"raport", u"raporty", u"raportów", u"raportu", u"raportów"};
    static const TNoun groups{u"grupę", u"grupy", u"grup", u"grupy", u"grup"};
    static const TNoun codes{u"kod", u"kody", u"kodów", u"kodu", u"kodów"};
    static const TNoun deposits{u"kaucję", u"kaucje", u"kaucji", u"kaucji", u"kaucji"};
    static const TNoun records{u"rekord", u"rekordy", u"rekordów", u"rekordu", u"rekordów"};
    if (job == 'P')
        return reports;
    switch (table) {
    case 0x01: return groups;
    case 0x11: return codes;
    case 0x19: return deposits;
    default: return records;
    }
}

QString Counted(const TNoun &noun, long n)
{
    if (n == 1)
        return QString::fromUtf16(noun.One);
    const long tens = n % 100, units = n % 10;
    const bool few = units >= 2 && units <= 4 && (tens < 12 || tens > 14);
    return QString::fromUtf16(few ? noun.Few : noun.Many);
}

// Thousands apart by a blank, whatever the locale: "9 999".
QString Number(long n)
{
    QString digits = QString::number(n < 0 ? -n : n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u' ');
    return n < 0 ? u'-' + digits : digits;
}

} // namespace

void TTransferProgress::Reset()
{
    std::lock_guard lock(m_mutex);
    m_active = false;
    m_measuring = false;
    m_job = 0;
    m_table = 0;
    m_done = 0;
    m_total = -1;
}

void TTransferProgress::Report(char job, uint32_t table, long done, long total)
{
    const uint32_t now = m_clock.TickCount();
    std::lock_guard lock(m_mutex);
    if (!m_active || job != m_job || table != m_table || done < m_done)
        m_measuring = false;
    if (!m_measuring && done > 0) {
        m_measuring = true;
        m_start = now;
        m_startDone = done;
    }
    m_active = true;
    m_job = job;
    m_table = table;
    m_done = done;
    m_total = total;
}

TTransferProgress::TView TTransferProgress::View() const
{
    const uint32_t now = m_clock.TickCount();
    std::lock_guard lock(m_mutex);
    TView view;
    if (!m_active)
        return view;
    view.Active = true;
    view.Done = m_done;
    // A register that sends more than it announced has said nothing usable.
    view.Total = m_total >= 0 && m_done <= m_total ? m_total : -1;
    view.Busy = view.Total < 0;
    if (m_measuring && view.Total >= 0)
        view.SecondsLeft = SecondsLeft(view.Done - m_startDone, view.Total - view.Done, now - m_start);
    view.Text = Text(m_job, m_table, view.Done, view.Total, view.SecondsLeft);
    return view;
}

long TTransferProgress::SecondsLeft(long moved, long left, uint32_t elapsedMs)
{
    if (moved <= 0 || left <= 0 || elapsedMs < MeasureMs)
        return -1;
    const uint64_t leftMs = uint64_t(elapsedMs) * uint64_t(left) / uint64_t(moved);
    return long((leftMs + 500) / 1000);
}

QString TTransferProgress::TimeLeftText(long seconds)
{
    // Minutes from a little under one; seconds by fives from ten on, so
    // the text does not flicker with every packet.
    if (seconds >= 55)
        return QStringLiteral("zostało około %1 min").arg(std::max(1L, (seconds + 30) / 60));
    if (seconds >= 10)
        return QStringLiteral("zostało około %1 s").arg((seconds + 2) / 5 * 5);
    return QStringLiteral("zostało około %1 s").arg(std::max(1L, seconds));
}

QString TTransferProgress::Text(char job, uint32_t table, long done, long total, long secondsLeft)
{
    const TNoun &noun = NounOf(job, table);
    const QString verb = job == 'D' ? QStringLiteral("Wysłano") : QStringLiteral("Odczytano");
    if (total < 0)
        return verb + u' ' + Number(done) + u' ' + Counted(noun, done);
    QString text = verb + u' ' + Number(done) + QStringLiteral(" z ") + Number(total) + u' '
                   + QString::fromUtf16(total == 1 ? noun.OfOne : noun.OfMany);
    if (secondsLeft >= 0)
        text += QStringLiteral(" — ") + TimeLeftText(secondsLeft);
    return text;
}
