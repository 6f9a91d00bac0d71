// Grid benchmarks on 9999 codes, each against a baseline in the same run;
// the ratios are printed at the end:
//   sort the codes by their name through the table model / std::sort of the same 9999 names  <= 4
//   load a 9999-code data file with the three editors shown / the same load, no window       <= 1.5
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "data/UDM.h"
#include "editors/UEditorColumns.h"
#include "editors/UEditorEnv.h"
#include "editors/UGrupy.h"
#include "editors/UKaucje.h"
#include "editors/UKody.h"
#include "data/ULocale.h"
#include "data/UOrvanIO.h"
#include "editors/UTableModel.h"
#include "bench_support.h"

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <numeric>
#include <random>

namespace {

constexpr int Codes = 9999;

struct TFixture {
    QTemporaryDir Dir;
    TDM Dm;
    QString CodesFile;
    std::vector<QString> Names; // in the table's number order

    TFixture()
    {
        FormatSettings() = TFormatSettings::Polish();
        Dm.ApplyProfile(5, true, 0);
        // Names in an order unrelated to the numbers, in mixed case.
        std::vector<int> order(Codes);
        std::iota(order.begin(), order.end(), 1);
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        for (int n = 1; n <= Codes; ++n) {
            const int k = order[size_t(n - 1)];
            const QString name = (k % 2 ? QStringLiteral("artykuł %1") : QStringLiteral("ARTYKUŁ %1")).arg(k, 5, 10, QLatin1Char('0'));
            Dm.MDKody.Append();
            Dm.MDKody.FieldByName("Numer").SetText(QString::number(n));
            Dm.MDKody.FieldByName("Nazwa").SetAsString(name);
            Dm.MDKody.FieldByName("Grupa").SetAsInteger(n % 30 + 1);
            Dm.MDKody.FieldByName("Cena").SetAsCurrency(Currency::FromUnits(std::int64_t(n) * 1250 % 9999900));
            Dm.MDKody.Post();
            Names.push_back(name);
        }
        CodesFile = Dir.filePath("kody.otx");
        SaveDataFile(Dm, CodesFile, TSectionSet::Of({1}));
    }
};

TFixture &Fixture()
{
    static TFixture f;
    return f;
}

void BM_SortThroughModel(benchmark::State &state)
{
    TFixture &f = Fixture();
    TTableModel model(f.Dm.MDKody, KodyColumns());
    const int numer = model.ColumnOfField("Numer");
    const int nazwa = model.ColumnOfField("Nazwa");
    for (auto _ : state) {
        state.PauseTiming();
        model.sort(numer); // back to an order unrelated to the names
        state.ResumeTiming();
        model.sort(nazwa);
    }
    const TField &name = f.Dm.MDKody.FieldByName("Nazwa");
    for (int r = 1; r < f.Dm.MDKody.RecordCount(); ++r)
        if (QString::compare(std::get<QString>(name.ValueAt(r - 1)), std::get<QString>(name.ValueAt(r)),
                             Qt::CaseInsensitive) > 0) {
            state.SkipWithError("not sorted");
            break;
        }
}

void BM_StdSortNames(benchmark::State &state)
{
    TFixture &f = Fixture();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<QString> names = f.Names;
        state.ResumeTiming();
        std::sort(names.begin(), names.end(),
                  [](const QString &a, const QString &b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
        benchmark::DoNotOptimize(names.data());
    }
}

void LoadCodes(benchmark::State &state, TDM &dm, const QString &file)
{
    for (auto _ : state) {
        LoadDataFile(dm, file, TSectionSet::Of({1}), true);
        // Whatever the windows do with the change happens here.
        QApplication::processEvents();
        benchmark::DoNotOptimize(dm.MDKody.RecordCount());
    }
    if (dm.MDKody.RecordCount() != Codes)
        state.SkipWithError("load lost records");
}

void BM_LoadWithEditorsShown(benchmark::State &state)
{
    TFixture &f = Fixture();
    TDM dm;
    dm.ApplyProfile(5, true, 0);
    TEditorEnv env;
    env.DM = &dm;
    TFormGrupy grupy;
    TFormKody kody;
    TFormKaucje kaucje;
    for (TTableForm *w : std::initializer_list<TTableForm *>{&grupy, &kody, &kaucje}) {
        w->Attach(env);
        w->resize(700, 500);
        w->show();
    }
    QApplication::processEvents();
    LoadCodes(state, dm, f.CodesFile);
    if (kody.Grid()->Model()->rowCount() != Codes)
        state.SkipWithError("the grid does not show every code");
}

void BM_LoadWithoutWindows(benchmark::State &state)
{
    TFixture &f = Fixture();
    TDM dm;
    dm.ApplyProfile(5, true, 0);
    LoadCodes(state, dm, f.CodesFile);
}

BENCHMARK(BM_SortThroughModel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StdSortNames)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadWithEditorsShown)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWithoutWindows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's note on size hints would fill the report.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
        if (!message.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QApplication app(argc, argv);
    return RunBenchmarksWithRatios(argc, argv, {
        {"sort 9999 codes through the model / std::sort", "BM_SortThroughModel", "BM_StdSortNames", 4},
        {"load 9999 codes, editors shown / no window", "BM_LoadWithEditorsShown", "BM_LoadWithoutWindows", 1.5},
    }, 48);
}
