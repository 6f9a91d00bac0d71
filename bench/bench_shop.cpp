// Shop benchmarks.
// - Send changed: the codes editor's exchange against the simulated
//   register. After 10 of 9999 codes are edited, the bytes on the line for
//   "send changed" / the bytes of a full send (target <= 0.02); and the
//   same for the line time with 19200-baud pacing on 1000 codes with one
//   edited (the same share; a full paced send of 9999 takes minutes).
// - Find: one search over 9999 codes (a keystroke) / one pass over their
//   name texts (target <= 10); also with the folded texts rebuilt first,
//   as after a sort or a load of the table.
// - Undo of "delete all" of 9999 codes against the delete itself.
#include "link/UClock.h"
#include "exchange/UEditHistory.h"
#include "exchange/UEditorCommands.h"
#include "data/UErrors.h"
#include "exchange/UExchange.h"
#include "exchange/UJobCommandLine.h"
#include "link/UKOMDisplay.h"
#include "data/ULocale.h"
#include "link/UModule.h"
#include "sim/USimPty.h"
#include "exchange/UTableFind.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

namespace {

class TRunner : public IJobRunner {
public:
    TRunner(TDM &dm, TPtySimulator &sim, const QString &folder) : m_dm(dm), m_sim(sim), m_folder(folder) {}
    void Run(const TJobRequest &request) override
    {
        const QString switches = JobSwitches(request);
        TQuietDisplay display;
        display.Start();
        const TModuleResult r = RunModule(BuildCommandLine(ModelCodeOf(m_dm.Kasa), 19200, switches).toStdString(),
                                          m_sim.PortPath(), m_folder.toStdString(), display, SteadyClock());
        if (r.Code != 0)
            throw EAbort();
    }

private:
    TDM &m_dm;
    TPtySimulator &m_sim;
    QString m_folder;
};

class TDirect : public IWaitRunner {
public:
    void Execute(const QString &, const std::function<void()> &f) override { f(); }
};

class TYes : public IMessages, public IExchangeDialogs {
public:
    void Information(const QString &) override {}
    void Error(const QString &) override {}
    TPromptAnswer Ask(const QString &, TAskKind, bool) override { return TPromptAnswer::Yes; }
    bool ConfirmRead(bool, bool &, bool &) override { return true; }
    bool ConfirmSend() override { return true; }
};

void FillCodes(TDM &dm, int count)
{
    TRxMemoryData &t = dm.MDKody;
    TControlsDisabler once(t);
    for (int n = 1; n <= count; ++n) {
        t.Append();
        t.FieldByName(QStringLiteral("Numer")).SetText(QString::number(n));
        t.FieldByName(QStringLiteral("Nazwa")).SetAsString(QStringLiteral("Towar %1 ŻÓŁTY").arg(n));
        t.FieldByName(QStringLiteral("Grupa")).SetAsInteger(1 + n % 8);
        t.FieldByName(QStringLiteral("Cena")).SetAsCurrency(Currency::FromUnits(10000 + n * 100));
        t.FieldByName(QStringLiteral("RodzajCeny")).SetAsString(QStringLiteral("0"));
        t.Post();
    }
}

void EditPrices(TDM &dm, int count, int total)
{
    TRxMemoryData &t = dm.MDKody;
    for (int i = 0; i < count; ++i) {
        t.SetRecNo(1 + (i * (total / count)));
        t.Edit();
        t.FieldByName(QStringLiteral("Cena")).SetAsCurrency(Currency::FromUnits(990000 + i));
        t.Post();
    }
}

struct TLineUse {
    uint64_t Bytes = 0;
    double Seconds = 0;
};

TLineUse LineUse(const TPtySimulator &sim)
{
    TLineUse u;
    for (const auto &p : sim.Phases()) {
        u.Bytes += p.Bytes;
        u.Seconds += p.Seconds;
    }
    return u;
}

struct TShop {
    TShop(int codes, int baud)
        : sim(TSimOptions{}, [baud] {
              TPtyOptions o;
              o.Baud = baud;
              return o;
          }())
    {
        FormatSettings() = TFormatSettings::Polish();
        dm.ApplyProfile(5, true, 0);
        std::string error;
        started = sim.Start(&error);
        FillCodes(dm, codes);
        runner = std::make_unique<TRunner>(dm, sim, dir.path());
        memory = std::make_unique<TRegisterMemory>(dir.filePath(QStringLiteral("pamiec")), [this] {
            return TRegisterMemory::Key(QStringLiteral("277PSP"), QString::fromStdString(sim.PortPath()));
        });
        x = std::make_unique<TExchange>(dm, TExchangeTable::Kody, dir.filePath(QStringLiteral("kody.txt")), *runner,
                                        wait, yes, yes);
        x->SetRegisterMemory(memory.get());
    }
    // Full send, then the edits and a send of the changed codes: the line
    // use of each.
    std::pair<TLineUse, TLineUse> Run(int edited, int total)
    {
        const TLineUse start = LineUse(sim);
        x->SendAll();
        const TLineUse afterFull = LineUse(sim);
        EditPrices(dm, edited, total);
        x->SendChanged();
        const TLineUse afterChanged = LineUse(sim);
        return {TLineUse{afterFull.Bytes - start.Bytes, afterFull.Seconds - start.Seconds},
                TLineUse{afterChanged.Bytes - afterFull.Bytes, afterChanged.Seconds - afterFull.Seconds}};
    }

    QTemporaryDir dir;
    TDM dm;
    TPtySimulator sim;
    bool started = false;
    TYes yes;
    TDirect wait;
    std::unique_ptr<TRunner> runner;
    std::unique_ptr<TRegisterMemory> memory;
    std::unique_ptr<TExchange> x;
};

void BM_SendChangedBytes(benchmark::State &state)
{
    double ratio = 0;
    for (auto _ : state) {
        TShop shop(9999, 0);
        if (!shop.started) {
            state.SkipWithError("no simulator");
            return;
        }
        const auto [full, changed] = shop.Run(10, 9999);
        ratio = double(changed.Bytes) / double(full.Bytes);
        state.counters["full_bytes"] = double(full.Bytes);
        state.counters["changed_bytes"] = double(changed.Bytes);
        std::printf("send changed, 10 of 9999 codes: %llu bytes / full send %llu bytes = %.5f (<= 0.02)\n",
                    static_cast<unsigned long long>(changed.Bytes), static_cast<unsigned long long>(full.Bytes), ratio);
    }
    state.counters["changed_per_full_bytes"] = ratio;
}

void BM_SendChangedLineTime19200(benchmark::State &state)
{
    double ratio = 0;
    for (auto _ : state) {
        TShop shop(1000, 19200);
        if (!shop.started) {
            state.SkipWithError("no simulator");
            return;
        }
        const auto [full, changed] = shop.Run(1, 1000);
        ratio = changed.Seconds / full.Seconds;
        state.counters["full_line_s"] = full.Seconds;
        state.counters["changed_line_s"] = changed.Seconds;
        std::printf("send changed at 19200 baud, 1 of 1000 codes: %.2f s / full send %.2f s = %.4f (<= 0.02)\n",
                    changed.Seconds, full.Seconds, ratio);
    }
    state.counters["changed_per_full_time"] = ratio;
}

struct TFindTable {
    TFindTable()
    {
        FormatSettings() = TFormatSettings::Polish();
        dm.ApplyProfile(5, true, 0);
        FillCodes(dm, 9999);
    }
    TDM dm;
};

// One pass over the name texts, as the grid would read them.
void BM_NamePass9999(benchmark::State &state)
{
    TFindTable t;
    const TField &nazwa = t.dm.MDKody.FieldByName(QStringLiteral("Nazwa"));
    for (auto _ : state) {
        qsizetype chars = 0;
        for (int row = 0; row < t.dm.MDKody.RecordCount(); ++row)
            chars += nazwa.DisplayTextAt(row).size();
        benchmark::DoNotOptimize(chars);
    }
}

// A keystroke: a new text over the table as it stands.
void BM_FindKeystroke9999(benchmark::State &state)
{
    TFindTable t;
    TTableFind find(t.dm.MDKody);
    find.SetText(QStringLiteral("x"));
    const QString texts[] = {QStringLiteral("zolty 77"), QStringLiteral("Towar 9998"), QStringLiteral("555"),
                             QStringLiteral("brak")};
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(find.SetText(texts[i++ % 4]));
}

// A keystroke after a sort or a load: the folded numbers and names are built
// again (an edit refolds only its record).
void BM_FindAfterReset9999(benchmark::State &state)
{
    TFindTable t;
    TTableFind find(t.dm.MDKody);
    for (auto _ : state) {
        find.DataChanged(t.dm.MDKody, TDataChange::Reset, -1);
        benchmark::DoNotOptimize(find.SetText(QStringLiteral("zolty 77")));
    }
}

struct THistoryTable {
    THistoryTable() { commands.SetHistory(&history); }
    TFindTable t;
    TYes yes;
    TEditHistory history{t.dm, t.dm.MDKody};
    TEditorCommands commands{t.dm, TExchangeTable::Kody, yes};
};

void BM_DeleteAll9999(benchmark::State &state)
{
    std::unique_ptr<THistoryTable> h;
    for (auto _ : state) {
        state.PauseTiming();
        h.reset();
        h = std::make_unique<THistoryTable>();
        state.ResumeTiming();
        h->commands.DeleteAll();
    }
}

void BM_UndoDeleteAll9999(benchmark::State &state)
{
    std::unique_ptr<THistoryTable> h;
    for (auto _ : state) {
        state.PauseTiming();
        h.reset();
        h = std::make_unique<THistoryTable>();
        h->commands.DeleteAll();
        state.ResumeTiming();
        h->history.Undo();
    }
    if (h && h->t.dm.MDKody.RecordCount() != 9999)
        state.SkipWithError("undo did not restore the table");
}

} // namespace

BENCHMARK(BM_SendChangedBytes)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_SendChangedLineTime19200)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_NamePass9999)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindKeystroke9999)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindAfterReset9999)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeleteAll9999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoDeleteAll9999)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
