// CSV benchmarks, each against the data file work of the same 9999 codes:
//   import preview of a 9999-row CSV file / loading a 9999-code data file  <= 3
//   export of 9999 codes as CSV         / saving them as a data file      <= 2
#include "exchange/UCsvExport.h"
#include "exchange/UCsvImport.h"
#include "data/UDM.h"
#include "data/ULocale.h"
#include "data/UOrvanIO.h"
#include "bench_support.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

struct TFixture {
    QTemporaryDir Dir;
    TDM Dm;
    QString DataFile;
    QString CsvFile;
    QString OutFile;

    TFixture()
    {
        FormatSettings() = TFormatSettings::Polish();
        Dm.ApplyProfile(5, true, 0);
        for (int n = 1; n <= 9999; ++n) {
            Dm.MDKody.Append();
            Dm.MDKody.FieldByName("Numer").SetText(QString::number(n));
            Dm.MDKody.FieldByName("Nazwa").SetAsString(QStringLiteral("Artykuł nr %1").arg(n));
            Dm.MDKody.FieldByName("Grupa").SetAsInteger(n % 30 + 1);
            Dm.MDKody.FieldByName("Cena").SetAsCurrency(Currency::FromUnits(std::int64_t(n) * 1250 % 9999900));
            Dm.MDKody.Post();
        }
        DataFile = Dir.filePath("kody.otx");
        CsvFile = Dir.filePath("kody.csv");
        OutFile = Dir.filePath("wynik");
        SaveDataFile(Dm, DataFile, TSectionSet::Of({1}));
        SaveCsvExport(Dm.MDKody, CsvDefaultColumns(Dm.MDKody), CsvFile);
    }
};

TFixture &Fixture()
{
    static TFixture f;
    return f;
}

void BM_CsvImportPreview(benchmark::State &state)
{
    TFixture &f = Fixture();
    TDM dm;
    dm.ApplyProfile(5, true, 0);
    int fine = 0;
    for (auto _ : state) {
        TCsvImport import(dm, 1);
        import.LoadFile(f.CsvFile);
        import.BuildPreview();
        fine = import.FineCount();
    }
    if (fine != 9999)
        state.SkipWithError("preview refused rows");
}

void BM_LoadDataFile(benchmark::State &state)
{
    TFixture &f = Fixture();
    TDM dm;
    dm.ApplyProfile(5, true, 0);
    for (auto _ : state)
        LoadDataFile(dm, f.DataFile, TSectionSet::Of({1}), true);
    if (dm.MDKody.RecordCount() != 9999)
        state.SkipWithError("load lost records");
}

void BM_CsvExport(benchmark::State &state)
{
    TFixture &f = Fixture();
    const QStringList columns = CsvDefaultColumns(f.Dm.MDKody);
    for (auto _ : state)
        SaveCsvExport(f.Dm.MDKody, columns, f.OutFile + QStringLiteral(".csv"));
}

void BM_SaveDataFile(benchmark::State &state)
{
    TFixture &f = Fixture();
    for (auto _ : state)
        SaveDataFile(f.Dm, f.OutFile + QStringLiteral(".otx"), TSectionSet::Of({1}));
}

BENCHMARK(BM_CsvImportPreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDataFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CsvExport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveDataFile)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return RunBenchmarksWithRatios(argc, argv, {
        {"CSV import preview 9999 rows / load 9999 codes", "BM_CsvImportPreview", "BM_LoadDataFile", 3},
        {"CSV export 9999 codes / save 9999 codes", "BM_CsvExport", "BM_SaveDataFile", 2},
    }, 48, 5);
}
