#pragma once
// The fiscal memory window's logic as the fuzz targets drive it: no jobs
// (a read would need the register), quiet hooks, a fixed clock and a fixed
// random source so that a finding replays the same way.
#include "FuzzSupport.h"

#include "exchange/UUiHooks.h"
#include "reports/core/UFiscalMemory.h"

#include <QDateTime>
#include <QTimeZone>

namespace fuzz {

class TNoJobs : public IJobRunner {
public:
    void Run(const TJobRequest &) override { throw EAbort(); }
};

struct TFiscal {
    TNoJobs Jobs;
    TQuietWait Wait;
    TQuietMessages Messages;
    TFiscalMemory Pf;

    explicit TFiscal(const QString &linesFile = Folder() + QStringLiteral("/pf.txt"),
                     const QString &pdfPrefix = Folder() + QStringLiteral("/raport"))
        : Pf(Jobs, Wait, Messages, linesFile, pdfPrefix)
    {
        Pf.Now = [] { return QDateTime(QDate(2026, 3, 1), QTime(12, 0), QTimeZone::utc()); };
        Pf.Random = [] { return 1u; };
    }
};

} // namespace fuzz
