// Data-side benchmarks. Each work is measured against a plain baseline of
// the same size in the same run, and the ratios are printed at the end:
//   load 9999 codes            / read the file and split it into lines  <= 20
//   save 9999 codes            / write the same bytes with one write    <= 10
//   CheckTable over 9999 codes / std::sort of their 9999 keys            <= 4
//   FindDuplicateNames (9999 codes, 30 groups) / sort of 10029 names    <= 6
#include "data/UDM.h"
#include "data/ULocale.h"
#include "data/UOrvanIO.h"
#include "data/UPowtNazwy.h"
#include "bench_support.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <random>

namespace {

struct TFixture {
    QTemporaryDir Dir;
    TDM Dm;
    QString CodesFile;
    QString SaveFile;
    QByteArray CodesBytes;
    std::vector<QString> Keys;  // stored code numbers, shuffled
    std::vector<QString> Names; // names of the groups and codes, shuffled

    TFixture()
    {
        FormatSettings() = TFormatSettings::Polish();
        Dm.ApplyProfile(5, true, 0);
        for (int g = 1; g <= 30; ++g) {
            Dm.MDGrupy.Append();
            Dm.MDGrupy.FieldByName("Numer").SetAsInteger(g);
            Dm.MDGrupy.FieldByName("Nazwa").SetAsString(QStringLiteral("GRUPA %1").arg(g));
            Dm.MDGrupy.Post();
        }
        for (int n = 1; n <= 9999; ++n) {
            Dm.MDKody.Append();
            Dm.MDKody.FieldByName("Numer").SetText(QString::number(n));
            // One name in a hundred repeats another one as the register sees it.
            const int shown = n % 100 == 0 ? n - 1 : n;
            Dm.MDKody.FieldByName("Nazwa").SetAsString(QStringLiteral("Artykuł nr %1").arg(shown));
            Dm.MDKody.FieldByName("Grupa").SetAsInteger(n % 30 + 1);
            Dm.MDKody.FieldByName("Cena").SetAsCurrency(Currency::FromUnits(std::int64_t(n) * 1250 % 9999900));
            Dm.MDKody.Post();
        }
        CodesFile = Dir.filePath("kody.otx");
        SaveFile = Dir.filePath("zapis.otx");
        SaveDataFile(Dm, CodesFile, TSectionSet::Of({1}));
        QFile f(CodesFile);
        if (f.open(QIODevice::ReadOnly))
            CodesBytes = f.readAll();

        std::mt19937 rng(1);
        const TField &numer = Dm.MDKody.FieldByName("Numer");
        for (int r = 0; r < Dm.MDKody.RecordCount(); ++r)
            Keys.push_back(std::get<QString>(numer.ValueAt(r)));
        std::shuffle(Keys.begin(), Keys.end(), rng);
        for (TRxMemoryData *t : {&Dm.MDGrupy, &Dm.MDKody}) {
            const TField &nazwa = t->FieldByName("Nazwa");
            for (int r = 0; r < t->RecordCount(); ++r)
                Names.push_back(std::get<QString>(nazwa.ValueAt(r)));
        }
        std::shuffle(Names.begin(), Names.end(), rng);
    }
};

TFixture &Fixture()
{
    static TFixture f;
    return f;
}

void BM_LoadCodes(benchmark::State &state)
{
    TFixture &f = Fixture();
    TDM dm;
    dm.ApplyProfile(5, true, 0);
    for (auto _ : state) {
        LoadDataFile(dm, f.CodesFile, TSectionSet::Of({1}), true);
        benchmark::DoNotOptimize(dm.MDKody.RecordCount());
    }
    if (dm.MDKody.RecordCount() != 9999)
        state.SkipWithError("load lost records");
}

void BM_ReadAndSplit(benchmark::State &state)
{
    TFixture &f = Fixture();
    for (auto _ : state) {
        QFile file(f.CodesFile);
        if (!file.open(QIODevice::ReadOnly))
            state.SkipWithError("cannot open");
        QList<QByteArray> lines = file.readAll().split('\n');
        benchmark::DoNotOptimize(lines.size());
    }
}

void BM_SaveCodes(benchmark::State &state)
{
    TFixture &f = Fixture();
    for (auto _ : state)
        SaveDataFile(f.Dm, f.SaveFile, TSectionSet::Of({1}));
}

// The same bytes through the same replace-when-complete path, in one write.
void BM_WriteOnce(benchmark::State &state)
{
    TFixture &f = Fixture();
    for (auto _ : state)
        if (!TryReplaceFile(f.SaveFile, f.CodesBytes).isEmpty())
            state.SkipWithError("cannot write");
}

void BM_CheckTable(benchmark::State &state)
{
    TFixture &f = Fixture();
    TDM &dm = f.Dm;
    const TTableGridRef grid(dm.MDKody);
    const QString repeated = QStringLiteral("Numery nie mogą się powtarzać.");
    for (auto _ : state)
        dm.CheckTable(grid, QStringLiteral("Numer"), repeated, false, [&](int row) { return dm.CheckKody(row); });
}

void BM_SortKeys(benchmark::State &state)
{
    TFixture &f = Fixture();
    for (auto _ : state) {
        std::vector<QString> keys = f.Keys;
        std::sort(keys.begin(), keys.end());
        benchmark::DoNotOptimize(keys.data());
    }
}

void BM_FindDuplicateNames(benchmark::State &state)
{
    TFixture &f = Fixture();
    int listed = 0;
    for (auto _ : state)
        listed = FindDuplicateNames(f.Dm, DupScopeBoth);
    if (listed != 2 * 99)
        state.SkipWithError("unexpected number of duplicates");
}

void BM_SortNames(benchmark::State &state)
{
    TFixture &f = Fixture();
    for (auto _ : state) {
        std::vector<QString> names = f.Names;
        std::sort(names.begin(), names.end());
        benchmark::DoNotOptimize(names.data());
    }
}

BENCHMARK(BM_LoadCodes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadAndSplit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveCodes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteOnce)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CheckTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SortKeys)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindDuplicateNames)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SortNames)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return RunBenchmarksWithRatios(argc, argv, {
        {"load 9999 codes / read+split", "BM_LoadCodes", "BM_ReadAndSplit", 20},
        {"save 9999 codes / one write", "BM_SaveCodes", "BM_WriteOnce", 10},
        {"CheckTable 9999 codes / std::sort 9999 keys", "BM_CheckTable", "BM_SortKeys", 4},
        {"FindDuplicateNames 10029 / sort 10029 names", "BM_FindDuplicateNames", "BM_SortNames", 6},
    }, 46);
}
