// The line-file reader with each table's read-back line parser, under
// every register profile.
#include "FuzzSupport.h"

#include "data/UDM.h"
#include "exchange/UExchange.h"
#include "exchange/UUiHooks.h"
#include "data/UOrvanIO.h"

namespace {

class TNoJobs : public IJobRunner {
public:
    void Run(const TJobRequest &) override { throw EAbort(); }
};

class TNoDialogs : public IExchangeDialogs {
public:
    bool ConfirmRead(bool, bool &, bool &) override { return false; }
    bool ConfirmSend() override { return false; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int kasa = data[0] % 6;
    const auto table = TExchangeTable((data[0] >> 3) % 3);
    const bool kaucje = data[0] & 0x80;
    const QString file = fuzz::WriteFile(QStringLiteral("lines.txt"), data + 1, size - 1);
    TDM dm;
    dm.ApplyProfile(kasa, kaucje, data[0] & 0x40 ? 1 : 0);
    if (table == TExchangeTable::Kaucje && !kaucje)
        return 0;
    TNoJobs jobs;
    fuzz::TQuietWait wait;
    fuzz::TQuietMessages messages;
    TNoDialogs dialogs;
    TExchange x(dm, table, file, jobs, wait, messages, dialogs);
    TRxMemoryData &twin = x.TwinTable();
    try {
        x.Lines().ReadLines(file, twin);
    } catch (const Exception &) {
    }
    // What was taken must make a send line again.
    for (int row = 0; row < twin.RecordCount(); ++row) {
        twin.SetRecNo(row + 1);
        (void)x.Lines().RecordToLine(twin);
    }
    return 0;
}
