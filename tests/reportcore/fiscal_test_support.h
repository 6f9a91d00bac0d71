#pragma once
// Shared pieces of the fiscal memory tests: recording fakes of the front
// end, fiscal lines in the module's layout, a job runner over the real
// module and the simulated register on the in-process line.
#include "data/UErrors.h"
#include "exchange/UUiHooks.h"
#include "reports/core/UFiscalMemory.h"
#include "exchange/UJobCommandLine.h"
#include "link/UKOMDisplay.h"
#include "data/ULocale.h"
#include "link/UModule.h"
#include "data/UProfile.h"
#include "sim/USimLine.h"
#include "link/UVirtualClock.h"
#include "recording_runners.h"
#include "scripted_messages.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>

// Readable texts in the failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

using TRecMessages = TQueuedMessages; // every question answered No

using TRecWait = TRecordingWait;

using TRecJobs = TRecordingJobs;

class TRecOpener : public IShellOpener {
public:
    QStringList Opened;
    void OpenWithShell(const QString &fileName) override { Opened << fileName; }
};

// ---- Fiscal lines as the module writes them ----

// Ten digits with a point before the last two, leading zeros blank.
inline QString Amount11(qint64 cents)
{
    return QStringLiteral("%1.%2").arg(cents / 100, 8).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

struct TDaily {
    int Number = 1;
    QString Date = QStringLiteral("010124");
    qint64 Gross[7] = {0, 0, 0, 0, 0, 0, 0}; // cents
    QString Codes[7] = {QStringLiteral("22"), QStringLiteral("07"), QStringLiteral("A0"), QStringLiteral("A0"),
                        QStringLiteral("A0"), QStringLiteral("A0"), QStringLiteral("A0")};
    int Mrs = 0;
    int Receipts = 1;
    bool Change = false;
    qint64 Due = 0;
    int Cancelled = 0;
    qint64 CancelledValue = 0;

    QString Line() const
    {
        QString s = QStringLiteral("%1,%2,").arg(Number, 4, 10, QLatin1Char('0')).arg(Date);
        for (qint64 g : Gross)
            s += Amount11(g) + u',';
        for (const QString &c : Codes)
            s += c + u',';
        s += QStringLiteral("%1,").arg(Mrs, 2, 16, QLatin1Char('0')).toUpper();
        s += QStringLiteral("%1,").arg(Receipts, 4, 10, QLatin1Char('0'));
        s += Change ? QStringLiteral("01,") : QStringLiteral("00,");
        s += Amount11(Due) + u',';
        s += QStringLiteral("%1,").arg(Cancelled, 4, 10, QLatin1Char('0'));
        s += Amount11(CancelledValue) + QStringLiteral(",00,");
        return s;
    }
};

inline QString HeaderLine(const QString &unique = QStringLiteral("ABC12345678"),
                          const QString &nip = QStringLiteral("123-456-78-90"), const QString &date = QStringLiteral("150323"))
{
    return unique + u',' + nip + u',' + date + QStringLiteral(",00,");
}

inline QString MrsLine(int r, const QString &date = QStringLiteral("FFFFFF"), const QString &time = QStringLiteral("FFFF"),
                       char z = '1', char star = '1')
{
    return QStringLiteral("%1,%2,%3,%4,%5")
        .arg(r, 3, 10, QLatin1Char('0'))
        .arg(QChar::fromLatin1(z))
        .arg(QChar::fromLatin1(star))
        .arg(date, time);
}

inline QString CurrencyLine(int r, const QString &no = QStringLiteral("FF"), const QString &z1 = QStringLiteral("FFFF"),
                            const QString &date = QStringLiteral("FFFFFF"), const QString &time = QStringLiteral("FFFF"),
                            const QString &symbol = QStringLiteral("FFFFFFFF"))
{
    return QStringLiteral("%1,%2,%3,%4,%5,%6").arg(r, 2, 10, QLatin1Char('0')).arg(no, z1, date, time, symbol);
}

// A whole fiscal memory: header, closing, 200 RAM reset slots (the first
// mrs used), 30 currency slots, 4 further lines, then the daily lines.
struct TFiscalFile {
    QString Header = HeaderLine();
    QString Closing = QStringLiteral(",FF,FFFFFF,FFFF");
    QStringList Mrs;      // used slots, in order
    QStringList Currency; // used slots, in order
    QStringList Daily;

    QStringList Lines() const
    {
        QStringList l{Header, Closing};
        for (int r = 1; r <= 200; ++r)
            l << (r <= Mrs.size() ? Mrs.at(r - 1) : MrsLine(r));
        for (int r = 1; r <= 30; ++r)
            l << (r <= Currency.size() ? Currency.at(r - 1) : CurrencyLine(r));
        for (int r = 1; r <= 4; ++r)
            l << QStringLiteral("%1,").arg(r, 3, 10, QLatin1Char('0')) + QString(128, u'F');
        return l + Daily;
    }
};

// ---- The real module against the simulated register ----

// Runs each job with RunModule on the simulator's line; the exchange file's
// bare name is resolved in folder. A failed job raises EAbort after noting
// its end code.
class TSimJobRunner : public IJobRunner {
public:
    static constexpr int Baud = 9600; // of the command line and of the line alike
    TSimJobRunner(TSharedSimulator &sim, TVirtualClock &clock, QString folder)
        : m_sim(sim), m_clock(clock), m_folder(std::move(folder))
    {
    }
    QStringList CommandLines;
    int LastCode = -1;
    void Run(const TJobRequest &request) override
    {
        const QString jobSwitches = JobSwitches(request);
        const QString line = BuildCommandLine(QStringLiteral("277PSP"), Baud, jobSwitches);
        CommandLines << line;
        TQuietDisplay display;
        display.Start();
        TModuleResult r;
        RunModule(line.toStdString(), QDir::toNativeSeparators(m_folder).toStdString(), display, m_clock,
                  DefaultJobTable(),
                  [this](TModuleContext &context) { return std::make_unique<TSimTimedLine>(context, m_sim, Baud); }, r);
        LastCode = r.Code;
        if (r.Code != 0)
            throw EAbort();
    }

private:
    TSharedSimulator &m_sim;
    TVirtualClock &m_clock;
    QString m_folder;
};
