// "Wczytaj" of a report file: the report file and its digest file (the
// input holds both, apart at "\n--\n"), the digest check, the decoding and
// the report.
#include "FuzzSupport.h"

#include "UExchangeHooks.h"
#include "UFiscalMemory.h"

#include <QDateTime>
#include <QTimeZone>

namespace {

class TNoJobs : public IJobRunner {
public:
    void Run(const QString &) override { throw EAbort(); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [frp, dig] = fuzz::SplitTwo(data, size);
    const QString file = fuzz::WriteFile(QStringLiteral("r.frp"), reinterpret_cast<const uint8_t *>(frp.constData()),
                                         size_t(frp.size()));
    fuzz::WriteFile(QStringLiteral("r.frp.dig"), reinterpret_cast<const uint8_t *>(dig.constData()),
                    size_t(dig.size()));
    TNoJobs jobs;
    fuzz::TQuietWait wait;
    fuzz::TQuietMessages messages;
    TFiscalMemory pf(jobs, wait, messages, fuzz::Folder() + QStringLiteral("/pf.txt"),
                     fuzz::Folder() + QStringLiteral("/raport"));
    pf.Now = [] { return QDateTime(QDate(2026, 3, 1), QTime(12, 0), QTimeZone::utc()); };
    pf.Random = [] { return 1u; };
    if (pf.Wczytaj(file))
        (void)pf.ReportLines();
    return 0;
}
