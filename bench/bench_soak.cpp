// Soak of the exchange on a noisy line: many jobs (send of the three
// tables, read with counters, fiscal memory read) against the simulated
// register at several noise levels, in virtual time. Each job is sorted
// into exact, failed with a module code, wrong but reported as a success,
// or hung (still running after the protocol's time-outs; the user's stop
// ends it). Sends run without and with "Sprawdź po wysłaniu".
//
// The fiscal memory holds one report whose total due differs from its
// sales, as a register may keep it; each fiscal read is compared with a
// clean read of it.
//
//   bench_soak [--jobs N] [--levels 1,5,20] [--seed S] [--fiscal-reads N] [--fiscal-only]
//
// --fiscal-only leaves out the sends and table reads, to count many fiscal
// reads quickly.
//
// Exit 1 when a job hung or, with verify on, a wrong send passed, or a
// wrong fiscal memory was reported as read.
#include "link/UComPort.h"
#include "data/UDM.h"
#include "data/UErrors.h"
#include "exchange/UExchange.h"
#include "link/UKOMDisplay.h"
#include "data/ULocale.h"
#include "link/UModule.h"
#include "exchange/USendVerify.h"
#include "sim/USimLine.h"
#include "sim/USimRegister.h"
#include "sim/USimulator.h"
#include "link/UVirtualClock.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kGiveUpMs = 20u * 60u * 1000u; // the user's patience, in line time

class TSoakJobs : public IJobRunner {
public:
    TSoakJobs(const QString &folder) : Folder(folder.toStdString()) {}
    void Run(const TJobRequest &request) override
    {
        const QString switches = JobSwitches(request);
        LastCode = RunRaw(switches.toStdString());
        if (LastCode != 0)
            throw EAbort();
    }
    int RunRaw(const std::string &switches)
    {
        TQuietDisplay display;
        display.Start();
        TModuleResult result;
        RunModule("/LW /V277PSP /P1 /Q " + switches, Folder, display, Clock, DefaultJobTable(),
                  [&](TModuleContext &ctx) {
                      auto line = std::make_unique<TSimLine>(ctx, *Sim, Clock);
                      line->StopAfter(kGiveUpMs, &Hung);
                      return line;
                  },
                  result);
        return result.Code;
    }
    std::string Folder;
    TSimulator *Sim = nullptr;
    TVirtualClock Clock;
    bool Hung = false;
    int LastCode = 0;
};

class TQuietWait : public IWaitRunner {
public:
    void Execute(const QString &, const std::function<void()> &procedure) override
    {
        try {
            procedure();
        } catch (const EAbort &) {
            throw;
        } catch (const Exception &) {
            throw EAbort();
        }
    }
};

class TQuietMessages : public IMessages {
public:
    void Information(const QString &) override {}
    void Error(const QString &) override {}
    TPromptAnswer Ask(const QString &, TAskKind, bool) override { return TPromptAnswer::Yes; }
};

class TSoakDialogs : public IExchangeDialogs {
public:
    bool ConfirmRead(bool, bool &clearFirst, bool &withCounters) override
    {
        clearFirst = true;
        withCounters = true;
        return true;
    }
    bool ConfirmSend() override { return true; }
    bool VerifySend() override { return Verify; }
    bool Verify = false;
};

enum TOutcome { Exact, Failed, Wrong, Hung, OutcomeCount };

struct TTally {
    int Count[OutcomeCount] = {};
};

void Fill(TDM &dm)
{
    TRxMemoryData &g = dm.MDGrupy;
    for (int i = 1; i <= 12; ++i) {
        g.Append();
        g.FieldByName("Numer").SetAsInteger(i);
        g.FieldByName("Nazwa").SetAsString(QStringLiteral("Grupa %1 ąę").arg(i));
        g.FieldByName("VAT").SetAsString(QStringLiteral("A"));
        g.FieldByName("Cena").SetText(QStringLiteral("%1,25").arg(i));
        g.FieldByName("RodzajSprz").SetText(QStringLiteral("Normalna"));
        g.FieldByName("Limit").SetAsInteger(8);
        g.Post();
    }
    TRxMemoryData &k = dm.MDKody;
    for (int i = 1; i <= 150; ++i) {
        k.Append();
        k.FieldByName("Numer").SetText(QString::number(1000 + i * 7));
        k.FieldByName("Nazwa").SetAsString(QStringLiteral("Towar nr %1").arg(i));
        k.FieldByName("Grupa").SetAsInteger(1 + i % 12);
        k.FieldByName("Cena").SetText(QStringLiteral("%1,%2").arg(i).arg(i % 100, 2, 10, QLatin1Char('0')));
        k.FieldByName("RodzajCeny").SetText(QStringLiteral("Program."));
        k.Post();
    }
    TRxMemoryData &d = dm.MDKaucje;
    for (int i = 1; i <= 6; ++i) {
        d.Append();
        d.FieldByName("Numer").SetAsInteger(i);
        d.FieldByName("Cena").SetText(QStringLiteral("0,%1").arg(i * 10));
        d.Post();
    }
}

QStringList Rows(TRxMemoryData &t)
{
    QStringList rows;
    for (int r = 0; r < t.RecordCount(); ++r) {
        QStringList f;
        for (int i = 0; i < t.FieldCount(); ++i)
            f << t.Field(i).TextAt(r);
        rows << f.join(u'|');
    }
    return rows;
}

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void ClearTables(TSimRegister &reg)
{
    for (int n : {0x01, 0x11, 0x19})
        reg.Table(n)->Records.clear();
}

const TExchangeTable kTables[] = {TExchangeTable::Grupy, TExchangeTable::Kody, TExchangeTable::Kaucje};

} // namespace

int main(int argc, char **argv)
{
    int jobs = 20;
    std::vector<int> levels{1, 5, 20};
    uint64_t seed = 1;
    int fiscalReads = 3;
    bool fiscalOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--jobs" && v) {
            jobs = std::atoi(v);
            ++i;
        } else if (a == "--seed" && v) {
            seed = std::strtoull(v, nullptr, 10);
            ++i;
        } else if (a == "--fiscal-reads" && v) {
            fiscalReads = std::max(1, std::atoi(v));
            ++i;
        } else if (a == "--fiscal-only") {
            fiscalOnly = true;
        } else if (a == "--levels" && v) {
            levels.clear();
            for (const QString &p : QString::fromLatin1(v).split(u','))
                levels.push_back(p.toInt());
            ++i;
        } else {
            std::fprintf(stderr, "bench_soak [--jobs N] [--levels 1,5,20] [--seed S] [--fiscal-reads N] [--fiscal-only]\n");
            return 2;
        }
    }
    FormatSettings() = TFormatSettings::Polish();
    QTemporaryDir dir;
    const QString folder = dir.path();

    TDM dm;
    dm.ApplyProfile(5, true, 0);
    Fill(dm);

    TSimRegister reg;
    reg.Fiscal.DueMismatch = 7;
    TSimOptions cleanOptions;
    cleanOptions.AllowDownloadWithSales = true;
    TSimulator clean(reg, cleanOptions);

    TSoakJobs runner(folder), cleanRunner(folder);
    cleanRunner.Sim = &clean;
    TQuietWait wait;
    TQuietMessages messages;
    TSoakDialogs dialogs, cleanDialogs;
    auto exchange = [&](TDM &d, TExchangeTable t, IJobRunner &r, IExchangeDialogs &dlg) {
        static const char *names[] = {"grupy.txt", "kody.txt", "kaucje.txt"};
        return std::make_unique<TExchange>(d, t, folder + u'/' + QString::fromLatin1(names[int(t)]), r, wait,
                                           messages, dlg);
    };

    // The reference: the tables in the register with sales, read clean.
    for (TExchangeTable t : kTables)
        exchange(dm, t, cleanRunner, cleanDialogs)->SendAll();
    reg.SalesSeed = seed;
    reg.FillSales();
    std::map<int, QStringList> reference;
    for (TExchangeTable t : kTables) {
        TDM d;
        d.ApplyProfile(5, true, 0);
        auto x = exchange(d, t, cleanRunner, cleanDialogs);
        x->ReadProcedure(true, true);
        reference[int(t)] = Rows(x->TwinTable());
    }
    const int packetsBefore = clean.Counters().PacketsOut;
    const uint64_t clockBefore = cleanRunner.Clock.Elapsed();
    cleanRunner.RunRaw("/M0 /Fpf.txt /XP");
    std::printf("clean fiscal read: %d packets from the register, %llu ms of protocol delays\n",
                clean.Counters().PacketsOut - packetsBefore,
                static_cast<unsigned long long>(cleanRunner.Clock.Elapsed() - clockBefore));
    const QByteArray fiscalReference = FileBytes(folder + QStringLiteral("/pf.txt"));
    // Header, closing, 200 RAM resets, 30 currencies, 4 further, the reports.
    if (fiscalReference.count('\n') != 236 + reg.Fiscal.Reports) {
        std::fprintf(stderr, "the clean fiscal memory read is not whole\n");
        return 1;
    }

    const char *kinds[] = {"send", "send+verify", "read+counters", "fiscal read"};
    bool bad = false;
    std::printf("%-8s %-14s %6s %6s %6s %6s\n", "noise", "job", "exact", "failed", "wrong", "hung");
    for (int level : levels) {
        TTally tally[4];
        for (int n = 0; n < jobs; ++n) {
            TSimOptions o = cleanOptions;
            o.NoisePermille = level;
            o.NoiseSeed = seed * 1000003u + uint64_t(level) * 7919u + uint64_t(n);
            TSimulator noisy(reg, o);
            runner.Sim = &noisy;
            for (int kind = fiscalOnly ? 3 : 0; kind < 4; ++kind) {
                runner.Hung = false;
                TOutcome outcome = Exact;
                const TExchangeTable table = kTables[(n + kind) % 3];
                if (kind <= 1) {
                    // The register starts without the table: what it holds
                    // afterwards is what this send put there.
                    ClearTables(reg);
                    dialogs.Verify = kind == 1;
                    bool ok = true;
                    try {
                        exchange(dm, table, runner, dialogs)->SendAll();
                    } catch (const Exception &) {
                        ok = false;
                    }
                    if (!ok) {
                        outcome = Failed;
                    } else {
                        auto check = exchange(dm, table, cleanRunner, cleanDialogs);
                        // What the send left may not even read back.
                        try {
                            outcome = TSendVerifier(*check).Verify().empty() ? Exact : Wrong;
                        } catch (const Exception &) {
                            outcome = Wrong;
                        }
                    }
                    // Back to the reference state for the reads.
                    ClearTables(reg);
                    for (TExchangeTable t : kTables)
                        exchange(dm, t, cleanRunner, cleanDialogs)->SendAll();
                } else if (kind == 2) {
                    TDM d;
                    d.ApplyProfile(5, true, 0);
                    auto x = exchange(d, table, runner, dialogs);
                    try {
                        x->ReadProcedure(true, true);
                        outcome = Rows(x->TwinTable()) == reference[int(table)] ? Exact : Wrong;
                    } catch (const Exception &) {
                        outcome = Failed;
                    }
                } else {
                    for (int r = 0; r < fiscalReads; ++r) {
                        runner.Hung = false;
                        QFile::remove(folder + QStringLiteral("/pf.txt"));
                        const int code = runner.RunRaw("/M0 /Fpf.txt /XP");
                        if (code != 0)
                            outcome = Failed;
                        else
                            outcome = FileBytes(folder + QStringLiteral("/pf.txt")) == fiscalReference ? Exact : Wrong;
                        if (runner.Hung)
                            outcome = Hung;
                        ++tally[kind].Count[outcome];
                    }
                    continue;
                }
                if (runner.Hung)
                    outcome = Hung;
                ++tally[kind].Count[outcome];
            }
        }
        for (int kind = fiscalOnly ? 3 : 0; kind < 4; ++kind) {
            const TTally &t = tally[kind];
            std::printf("%4d ‰   %-14s %6d %6d %6d %6d\n", level, kinds[kind], t.Count[Exact], t.Count[Failed],
                        t.Count[Wrong], t.Count[Hung]);
            if (t.Count[Hung] > 0 || ((kind == 1 || kind == 3) && t.Count[Wrong] > 0))
                bad = true;
        }
    }
    return bad ? 1 : 0;
}
