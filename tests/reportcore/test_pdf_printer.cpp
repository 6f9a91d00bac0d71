// The PDF printer, checked through what poppler reads back from the file:
// the text of every line at its page, column and row.
#include "fiscal_test_support.h"

#include "reports/core/UPDFReportPrinter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cmath>

namespace {

struct TWord {
    int Page;
    double X, YMax;
    QString Text;
};

QString RunTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    // A tool that hangs ends the test with empty output, not the suite.
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(5000);
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The words of the file with their page (from 1) and box, via pdftotext -bbox.
std::vector<TWord> Words(const QString &pdf)
{
    const QString html = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    std::vector<TWord> words;
    int page = 0;
    static const QRegularExpression tag(QString::fromLatin1(
        R"re(<page |<word xMin="([\d.]+)" yMin="[\d.]+" xMax="[\d.]+" yMax="([\d.]+)">([^<]*)</word>)re"));
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QStringLiteral("<page"))) {
            ++page;
            continue;
        }
        words.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3)});
    }
    return words;
}

class PdfPrinterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }

    QString Print(const QStringList &lines)
    {
        const QString name = dir.filePath(QStringLiteral("r.pdf"));
        TPDFReportPrinter p(QString(), [] { return QDateTime(QDate(2024, 3, 1), QTime(9, 5, 7)); });
        p.BeginDoc();
        for (const QString &l : lines)
            p.AddLine(l);
        p.EndDoc();
        p.SaveToFile(name);
        columns = p.ColumnsPerPage();
        rows = p.LinesPerColumn();
        columnWidth = p.ColumnWidth();
        offset = p.TextOffset();
        pages = p.PageCount();
        return name;
    }

    QTemporaryDir dir;
    int columns = 0, rows = 0, pages = 0;
    double columnWidth = 0, offset = 0;
};

TEST_F(PdfPrinterTest, LinesFlowDownFiveColumnsOfSeventyTwoAndOnToTheNextPage)
{
    QStringList lines;
    for (int i = 1; i <= 361; ++i)
        lines << QStringLiteral("L%1ŁĄCZNYżółć").arg(i, 4, 10, QLatin1Char('0'));
    const QString pdf = Print(lines);
    EXPECT_EQ(columns, 5);
    EXPECT_EQ(rows, 72);
    EXPECT_EQ(pages, 2);

    const std::vector<TWord> words = Words(pdf);
    ASSERT_EQ(words.size(), 361u);
    const double top = words.front().YMax;
    for (int i = 0; i < 361; ++i) {
        const TWord &w = words[size_t(i)];
        const int page = i / 360 + 1, column = (i % 360) / 72, row = i % 72;
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(w.Text, lines.at(i)); // Polish letters come back as they went in
        EXPECT_EQ(w.Page, page);
        EXPECT_NEAR(w.X, TPDFReportPrinter::LeftMargin + offset + column * columnWidth, 0.5);
        EXPECT_NEAR(w.YMax, top + row * TPDFReportPrinter::TextLeading, 0.5);
    }
    // The first line sits one leading below the top margin.
    EXPECT_NEAR(words.front().YMax - TPDFReportPrinter::TopMargin, TPDFReportPrinter::TextLeading, 3.0);
}

TEST_F(PdfPrinterTest, AnEmptyReportIsOnePageWithTheDocumentInformation)
{
    const QString pdf = Print({});
    EXPECT_EQ(pages, 1);
    EXPECT_TRUE(Words(pdf).empty());
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        return;
    const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
    for (const char *field : {"Title: +Raport fiskalny", "Author: +Noxa s\\.c\\.", "Creator: +Noxa s\\.c\\.",
                              "Producer: +Orvan277PS Plus", "Pages: +1", "Page size: +595\\.2?\\d* x 841\\.\\d+ pts \\(A4\\)"})
        EXPECT_TRUE(info.contains(QRegularExpression(QString::fromLatin1(field)))) << field << "\n" << info.toStdString();
}

TEST_F(PdfPrinterTest, TheReportFontIsEmbedded)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdffonts")).isEmpty())
        GTEST_SKIP() << "pdffonts (poppler-utils) is not installed";
    const QStringList rows = RunTool(QStringLiteral("pdffonts"), {Print({QStringLiteral("ŁĄCZNY RAPORT")})})
                                 .split(u'\n', Qt::SkipEmptyParts);
    // A heading, a rule, then one row per font whose fifth field from the
    // end says whether it is embedded.
    ASSERT_EQ(rows.size(), 3) << rows.join(u'\n').toStdString();
    const QStringList fields = rows.at(2).split(u' ', Qt::SkipEmptyParts);
    ASSERT_GE(fields.size(), 7);
    EXPECT_EQ(fields.at(fields.size() - 5), QStringLiteral("yes")) << rows.at(2).toStdString();
}

TEST_F(PdfPrinterTest, LibraryErrorsCarryTheirCodeAndDetail)
{
    TPDFReportPrinter p(dir.filePath(QStringLiteral("brak.ttf")));
    try {
        p.BeginDoc();
        ADD_FAILURE() << "no error";
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().contains(QRegularExpression(QStringLiteral("^Pdf Document error: [0-9A-F]{4}-\\d+$"))))
            << e.Message().toStdString();
    }
}

// Linux asks fontconfig for a monospaced TrueType stand-in; Windows takes
// Courier New's own file from its fonts folder, or says which file it lacks.
TEST(ReportFontTest, CourierNewResolvesToAMonospacedTrueTypeFile)
{
#ifdef _WIN32
    const QString expected = FontsFolder() + QStringLiteral("/cour.ttf");
    EXPECT_TRUE(FontsFolder().endsWith(QStringLiteral("/Fonts"), Qt::CaseInsensitive)) << FontsFolder().toStdString();
    if (!QFile::exists(expected)) {
        try {
            FindReportFont();
            ADD_FAILURE() << "no error";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Nie mogę odnaleźć czcionki \"Courier New\" (pliku %1), potrzebnej do "
                                                  "wydruku raportu.")
                                       .arg(QDir::toNativeSeparators(expected)));
        }
        return;
    }
    EXPECT_EQ(FindReportFont(), expected);
#endif
    const QString file = FindReportFont();
    EXPECT_TRUE(file.endsWith(QStringLiteral(".ttf"), Qt::CaseInsensitive)) << file.toStdString();
    EXPECT_EQ(Floor(2.5), 2);
    EXPECT_EQ(Floor(-2.5), -3);
}

} // namespace

TEST_F(PdfPrinterTest, AReportKeptAsTheRegisterSentItCarriesItsMarkIntoThePdf)
{
    TPolishFormats formats;
    TRecMessages messages;
    TRecWait wait{messages};
    TRecJobs jobs;
    TFiscalMemory pf{jobs, wait, messages, dir.filePath(QStringLiteral("pf.txt")), dir.filePath(QStringLiteral("raport"))};
    TFiscalFile f;
    TDaily d;
    d.Gross[0] = 10000;
    d.Due = 10001;
    f.Daily << d.Line();
    pf.Lines = f.Lines();
    pf.ParseLines();
    const QString name = dir.filePath(QStringLiteral("kept.pdf"));
    pf.PrintToPdf(name);
    const QString text = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), name, QStringLiteral("-")});
    for (const char *line : {"suma należności", "nie zgadza się z", "sumą sprzedaży"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(line))) << line;
}
