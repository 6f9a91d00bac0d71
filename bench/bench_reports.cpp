// Fiscal report benchmarks, each against a plain baseline of the same size
// in the same run; the ratios are printed at the end:
//   TPDFReportPrinter, 60 000 lines / bare libharu, same lines and places  <= 1.5
//   ParseLines + BuildSummary + BuildReport, 9 988 daily reports
//                                  / read the file and split it into lines  <= 30
#include "data/UCodePage.h"
#include "data/UErrors.h"
#include "reports/core/UFiscalMemory.h"
#include "data/ULocale.h"
#include "reports/core/UPDFReportPrinter.h"
#include "bench_support.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <hpdf.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

class TNoJobs : public IJobRunner {
public:
    void Run(const TJobRequest &) override { throw EAbort(); }
};
class TNoMessages : public IMessages {
public:
    void Information(const QString &) override {}
    void Error(const QString &) override {}
    TPromptAnswer Ask(const QString &, TAskKind, bool) override { return TPromptAnswer::No; }
};
class TDirectWait : public IWaitRunner {
public:
    void Execute(const QString &, const std::function<void()> &procedure) override { procedure(); }
};

QString Amount11(qint64 cents)
{
    return QStringLiteral("%1.%2").arg(cents / 100, 8).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

// A fiscal memory as the module writes it: 9 988 daily reports, rates
// changing now and then, a currency change and a few RAM resets.
QStringList FiscalLines(int reports)
{
    QStringList l;
    l << QStringLiteral("BHA20012345,526-104-08-28,020123,00,") << QStringLiteral(",FF,FFFFFF,FFFF");
    for (int r = 1; r <= 200; ++r)
        l << (r <= 5 ? QStringLiteral("%1,1,0,0").arg(r, 3, 10, QLatin1Char('0')) + QString::number(r) + QStringLiteral("0123,1200")
                     : QStringLiteral("%1,1,1,FFFFFF,FFFF").arg(r, 3, 10, QLatin1Char('0')));
    for (int r = 1; r <= 30; ++r)
        l << (r == 1 ? QStringLiteral("01,01,5000,010124,2359,45555220")
                     : QStringLiteral("%1,FF,FFFF,FFFFFF,FFFF,FFFFFFFF").arg(r, 2, 10, QLatin1Char('0')));
    for (int r = 1; r <= 4; ++r)
        l << QStringLiteral("%1,").arg(r, 3, 10, QLatin1Char('0')) + QString(128, u'F');
    const QDate start(2000, 1, 1);
    for (int n = 1; n <= reports; ++n) {
        const QDate d = start.addDays(n);
        QString s = QStringLiteral("%1,%2,").arg(n, 4, 10, QLatin1Char('0')).arg(d.toString(QStringLiteral("ddMMyy")));
        for (int i = 0; i < 7; ++i)
            s += Amount11((qint64(n) * 7919 * (i + 1)) % 10000000) + u',';
        const QString rateA = (n / 1000) % 2 ? QStringLiteral("23") : QStringLiteral("22");
        s += rateA + QStringLiteral(",07,05,00,B0,A0,A0,");
        s += QStringLiteral("%1,").arg(std::min(5, n / 2000), 2, 16, QLatin1Char('0')).toUpper();
        s += QStringLiteral("%1,").arg(n % 500, 4, 10, QLatin1Char('0'));
        s += n % 100 == 0 ? QStringLiteral("01,") : QStringLiteral("00,");
        s += Amount11(qint64(n) * 12345 % 100000000) + u',';
        s += QStringLiteral("%1,").arg(n % 3, 4, 10, QLatin1Char('0'));
        s += Amount11(n % 3 * 150) + QStringLiteral(",00,");
        l << s;
    }
    return l;
}

// glibc sorts the chunks freed by the previous run's clearing at the next
// large allocation; let it do so before the clock runs again, as a first
// print in a fresh window would find it.
void ReleaseFreed()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

struct TFixture {
    QTemporaryDir Dir;
    QString FiscalFile;
    QStringList Fiscal;
    QStringList ReportLines;
    QString Font;

    TFixture()
    {
        FormatSettings() = TFormatSettings::Polish();
        Fiscal = FiscalLines(9988);
        FiscalFile = Dir.filePath(QStringLiteral("pf.frp"));
        QByteArray bytes;
        for (const QString &line : Fiscal)
            bytes += ToCp1250(line) + "\r\n";
        QFile f(FiscalFile);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        for (int i = 0; i < 60000; ++i)
            ReportLines << QStringLiteral("SP.OP A PLN %1").arg(i % 10000) + (i % 7 ? QString() : QStringLiteral("ŁĄ"));
        Font = FindReportFont();
    }
};

TFixture &Fixture()
{
    static TFixture f;
    return f;
}

void BM_PdfPrinter(benchmark::State &state)
{
    TFixture &fx = Fixture();
    const QString out = fx.Dir.filePath(QStringLiteral("p.pdf"));
    for (auto _ : state) {
        TPDFReportPrinter p(fx.Font);
        p.BeginDoc();
        for (const QString &l : fx.ReportLines)
            p.AddLine(l);
        p.EndDoc();
        p.SaveToFile(out);
    }
}

// The same document straight through libharu: the same font, encoder,
// pages, separators and text positions, no checks.
void BM_BareLibharu(benchmark::State &state)
{
    TFixture &fx = Fixture();
    const QByteArray out = QFile::encodeName(fx.Dir.filePath(QStringLiteral("b.pdf")));
    const QByteArray font = QFile::encodeName(fx.Font);
    std::vector<QByteArray> lines;
    for (const QString &l : fx.ReportLines)
        lines.push_back(ToCp1250(l));
    for (auto _ : state) {
        HPDF_Doc doc = HPDF_New(nullptr, nullptr);
        HPDF_SetCurrentEncoder(doc, "CP1250");
        HPDF_Font f = HPDF_GetFont(doc, HPDF_LoadTTFontFromFile(doc, font.constData(), HPDF_FALSE), "CP1250");
        HPDF_SetCompressionMode(doc, HPDF_COMP_ALL);
        const int columns = 5, rows = 72;
        const double left = 50, bottom = 70, usableW = 595.276 - 100, usableH = 841.89 - 120;
        const double colW = usableW / columns, offset = (colW - 81.6) / 2;
        HPDF_Page page = nullptr;
        for (size_t i = 0; i < lines.size(); ++i) {
            const int onPage = int(i % (columns * rows));
            if (onPage == 0) {
                if (page)
                    HPDF_Page_EndText(page);
                page = HPDF_AddPage(doc);
                HPDF_Page_SetSize(page, HPDF_PAGE_SIZE_A4, HPDF_PAGE_PORTRAIT);
                HPDF_Page_SetFontAndSize(page, f, 8);
                HPDF_Page_SetTextLeading(page, 10);
                HPDF_Page_SetLineWidth(page, 0.6f);
                const HPDF_UINT16 dash[] = {3};
                HPDF_Page_SetDash(page, dash, 1, 1);
                for (int k = 1; k < columns; ++k) {
                    HPDF_Page_MoveTo(page, left + k * colW, bottom);
                    HPDF_Page_LineTo(page, left + k * colW, bottom + usableH);
                }
                HPDF_Page_Stroke(page);
                HPDF_Page_SetDash(page, nullptr, 0, 0);
            }
            if (onPage % rows == 0) {
                if (onPage > 0)
                    HPDF_Page_EndText(page);
                HPDF_Page_BeginText(page);
                HPDF_Page_MoveTextPos(page, left + offset + (onPage / rows) * colW, bottom + usableH);
            }
            HPDF_Page_ShowTextNextLine(page, lines[i].constData());
        }
        HPDF_Page_EndText(page);
        HPDF_SaveToFile(doc, out.constData());
        HPDF_Free(doc);
    }
}

// Parses the fixture's fiscal memory in every run, then does `then` to it.
template <class F>
void ParseEachRun(benchmark::State &state, F &&then)
{
    TFixture &fx = Fixture();
    TNoJobs jobs;
    TNoMessages messages;
    TDirectWait wait;
    TFiscalMemory pf(jobs, wait, messages, fx.Dir.filePath(QStringLiteral("x.txt")), fx.Dir.filePath(QStringLiteral("r")));
    for (auto _ : state) {
        // Freeing the previous run's 290 000 report lines is not part of it.
        state.PauseTiming();
        pf.ClearAll();
        pf.Lines = fx.Fiscal;
        ReleaseFreed();
        state.ResumeTiming();
        pf.ParseLines(); // with BuildSummary
        then(pf);
    }
}

void BM_FiscalBuild(benchmark::State &state)
{
    int lines = 0;
    ParseEachRun(state, [&](TFiscalMemory &pf) {
        pf.Report()->BuildReport(pf.MrsBaseline);
        lines = pf.ReportContent.RecordCount();
        benchmark::DoNotOptimize(lines);
    });
    state.counters["report_lines"] = lines;
}

void BM_ReadAndSplit(benchmark::State &state)
{
    TFixture &fx = Fixture();
    for (auto _ : state) {
        QFile f(fx.FiscalFile);
        if (!f.open(QIODevice::ReadOnly))
            state.SkipWithError("no file");
        const QStringList lines = FromCp1250(f.readAll()).split(QStringLiteral("\r\n"));
        benchmark::DoNotOptimize(lines.size());
    }
}

void BM_ParseOnly(benchmark::State &state)
{
    ParseEachRun(state, [](TFiscalMemory &) {});
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PdfPrinter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareLibharu)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FiscalBuild)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndSplit)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return RunBenchmarksWithRatios(argc, argv, {
        {"PDF printer 60000 lines / bare libharu", "BM_PdfPrinter", "BM_BareLibharu", 1.5},
        {"parse+summary+report 9988 / read+split", "BM_FiscalBuild", "BM_ReadAndSplit", 30},
    }, 46);
}
