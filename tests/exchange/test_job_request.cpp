// The module switches of every job, exactly as the module takes them.
#include "exchange/UJobRequest.h"

#include <gtest/gtest.h>

namespace {

TEST(JobRequest, SpellsEveryJobOfEveryTable)
{
    using K = TJobKind;
    using T = TExchangeTable;
    struct Case {
        T table;
        K kind;
        const char *switches;
    };
    const Case cases[] = {
        {T::Grupy, K::Read, "/Fplik.txt /T01 /AABDE /XU"},
        {T::Grupy, K::ReadWithCounters, "/Fplik.txt /T01 /AABDEIJ /XU"},
        {T::Grupy, K::Send, "/Fplik.txt /T01 /AABDE /XD"},
        {T::Grupy, K::SendSelected, "/Fplik.txt /T01 /AABDE /XD"},
        {T::Grupy, K::DeleteSelected, ""},
        {T::Kody, K::Read, "/Fplik.txt /T11 /AABDE /XU"},
        {T::Kody, K::ReadWithCounters, "/Fplik.txt /T11 /AABDEI /XU"},
        {T::Kody, K::Send, "/Fplik.txt /T11 /AABDE /XD"},
        {T::Kody, K::SendSelected, "/Fplik.txt /T11 /AABDE /XD"},
        {T::Kody, K::DeleteSelected, "/Fplik.txt /T11 /AAB /XD"},
        {T::Kaucje, K::Read, "/Fplik.txt /XU /T19 /AAD"},
        {T::Kaucje, K::ReadWithCounters, "/Fplik.txt /XU /T19 /AADIJ"},
        {T::Kaucje, K::Send, "/Fplik.txt /XD /T19 /AAD"},
        {T::Kaucje, K::SendSelected, "/Fplik.txt /XD /T19 /AAD"},
        {T::Kaucje, K::DeleteSelected, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.switches);
        // A full path: the runner knows the folder, the switch takes the bare name.
        EXPECT_EQ(JobSwitches(TJobRequest::ForTable(c.table, c.kind, QStringLiteral("/tmp/run-x/plik.txt"))),
                  QString::fromLatin1(c.switches));
    }
}

TEST(JobRequest, SpellsTheFiscalReadOfEveryRange)
{
    struct Case {
        TFiscalReadRange range;
        const char *switches;
    };
    const Case cases[] = {
        {TFiscalReadRange::Full(), "/M0/Fpf.txt /XP"},
        {TFiscalReadRange::Numbers(4, 6), "/M0 /R0004-0006/Fpf.txt /XP"},
        {TFiscalReadRange::Numbers(1, 1234), "/M0 /R0001-1234/Fpf.txt /XP"},
        {TFiscalReadRange::Dates(QDate(2024, 1, 2), QDate(2024, 12, 31)), "/M1 /R020124-311224/Fpf.txt /XP"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.switches);
        EXPECT_EQ(JobSwitches(TJobRequest::FiscalRead(c.range, QStringLiteral("pf.txt"))), QString::fromLatin1(c.switches));
    }
}

} // namespace
