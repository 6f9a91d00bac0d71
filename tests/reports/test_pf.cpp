// The fiscal memory window over a register played by the job runner: reads
// in each mode, the identity data and counts it shows, save and load with
// the digest, the printed PDF and its opening, a failed read.
#include "reports/UPF.h"
#include "editors/UChartWindow.h"
#include "reports/UFiscalChartWindow.h"

#include "reports_test_util.h"

#include "data/UCodePage.h"
#include "data/UDM.h"
#include "editors/UEditorEnv.h"
#include "editors/UKvDBGrid.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QDateEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Amount11(qint64 cents)
{
    return QStringLiteral("%1.%2").arg(cents / 100, 8).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

// The register's fiscal memory: daily report n is dated 2024-01-n, holds
// 100.00 + n under A at 22 % and counts n receipts.
struct TRegisterMemory {
    int Reports = 12;
    int RamResets = 3;
    int DueMismatch = 0; // a report whose total due is 0.01 above its sales

    QDate DateOf(int n) const { return QDate(2024, 1, n); }
    QString Daily(int n) const
    {
        QString s = QStringLiteral("%1,%2,").arg(n, 4, 10, QLatin1Char('0')).arg(DateOf(n).toString("ddMMyy"));
        s += Amount11(10000 + n) + u',';
        for (int i = 1; i < 7; ++i)
            s += Amount11(0) + u',';
        s += QStringLiteral("22,A0,A0,A0,A0,A0,A0,");
        s += QStringLiteral("%1,").arg(std::min(n, RamResets), 2, 16, QLatin1Char('0')).toUpper();
        s += QStringLiteral("%1,00,").arg(n, 4, 10, QLatin1Char('0'));
        s += Amount11(10000 + n + (n == DueMismatch ? 1 : 0)) + QStringLiteral(",0000,") + Amount11(0)
             + QStringLiteral(",00,");
        return s;
    }
    // The lines of a job: the fixed part, then the daily reports asked for.
    QStringList Lines(int from, int to) const
    {
        QStringList l{QStringLiteral("ABC12345678,123-456-78-90,150323,00,"),
                      QStringLiteral(",FF,FFFFFF,FFFF")};
        for (int r = 1; r <= 200; ++r)
            l << (r <= RamResets ? QStringLiteral("%1,0,1,%2,1200")
                                       .arg(r, 3, 10, QLatin1Char('0'))
                                       .arg(QDate(2023, 6, 1).addDays(r).toString("ddMMyy"))
                                 : QStringLiteral("%1,1,1,FFFFFF,FFFF").arg(r, 3, 10, QLatin1Char('0')));
        for (int r = 1; r <= 30; ++r)
            l << QStringLiteral("%1,FF,FFFF,FFFFFF,FFFF,FFFFFFFF").arg(r, 2, 10, QLatin1Char('0'));
        for (int r = 1; r <= 4; ++r)
            l << QStringLiteral("%1,").arg(r, 3, 10, QLatin1Char('0')) + QString(128, u'F');
        for (int n = std::max(from, 1); n <= std::min(to, Reports); ++n)
            l << Daily(n);
        return l;
    }
    // Answers a fiscal job's switches by writing its exchange file in folder.
    void Answer(const QString &switches, const QString &folder) const
    {
        int from = 1, to = Reports;
        const QRegularExpressionMatch numbers = QRegularExpression("/M0 /R(\\d{4})-(\\d{4})").match(switches);
        const QRegularExpressionMatch dates = QRegularExpression("/M1 /R(\\d{6})-(\\d{6})").match(switches);
        if (numbers.hasMatch()) {
            from = numbers.captured(1).toInt();
            to = numbers.captured(2).toInt();
        } else if (dates.hasMatch()) {
            const QDate a = QDate::fromString(dates.captured(1), "ddMMyy").addYears(100);
            const QDate b = QDate::fromString(dates.captured(2), "ddMMyy").addYears(100);
            from = Reports + 1;
            to = 0;
            for (int n = 1; n <= Reports; ++n)
                if (DateOf(n) >= a && DateOf(n) <= b) {
                    from = std::min(from, n);
                    to = std::max(to, n);
                }
        }
        const QString file = QRegularExpression("/F(\\S+)").match(switches).captured(1);
        QFile f(QDir(folder).filePath(file));
        if (!f.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write the exchange file");
        for (const QString &line : Lines(from, to))
            f.write(ToCp1250(line) + "\r\n");
    }
};

class PFTest : public ReportWindowTest {
protected:
    void SetUp() override
    {
        ReportWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        jobs.Job = [this](const QString &switches) { memory.Answer(switches, dir.path()); };
        prefix = dir.filePath(QStringLiteral("orvan277PSPlus-raport"));
        form = std::make_unique<TFormPF>(dir.filePath(QStringLiteral("pf.txt")), prefix);
        form->SetEnv(env);
        form->SetOpener(&opener);
    }

    QString Text(const char *edit) const { return Child<QLineEdit>(*form, edit)->text(); }
    bool Enabled(const char *button) const { return Child<QPushButton>(*form, button)->isEnabled(); }
    int Rows() const { return form->Memory().MTPF.RecordCount(); }

    TFakeOpener opener;
    TRegisterMemory memory;
    QString prefix;
    std::unique_ptr<TFormPF> form;
};

TEST_F(PFTest, StartsEmptyWithFullRangeAndNothingToSaveOrPrint)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Pamięć fiskalna"));
    EXPECT_TRUE(Child<QRadioButton>(*form, "RBPelny")->isChecked());
    EXPECT_FALSE(Enabled("BBZapisz"));
    EXPECT_FALSE(Enabled("BBDrukuj"));
    EXPECT_TRUE(Enabled("BBOdczyt"));
    EXPECT_EQ(Text("NELiczbaMRS"), QStringLiteral("0"));
    // Editing a range field chooses its mode.
    Child<QSpinBox>(*form, "NEOd")->setValue(5);
    EXPECT_TRUE(Child<QRadioButton>(*form, "RBNumer")->isChecked());
    Child<QDateEdit>(*form, "DEDo")->setDate(QDate(2024, 1, 9));
    EXPECT_TRUE(Child<QRadioButton>(*form, "RBData")->isChecked());
}

TEST_F(PFTest, ReadsInEachModeAndShowsWhatWasRead)
{
    struct Case {
        const char *name;
        std::function<void()> choose;
        int jobs;
        int firstReport, rows;
    };
    const std::vector<Case> cases{
        {"full", [&] { Child<QRadioButton>(*form, "RBPelny")->setChecked(true); }, 1, 1, 12},
        {"numbers",
         [&] {
             Child<QSpinBox>(*form, "NEOd")->setValue(5);
             Child<QSpinBox>(*form, "NEDo")->setValue(8);
         },
         1, 5, 4},
        // A date range needs a second job for the report before it.
        {"dates",
         [&] {
             Child<QDateEdit>(*form, "DEOd")->setDate(QDate(2024, 1, 3));
             Child<QDateEdit>(*form, "DEDo")->setDate(QDate(2024, 1, 6));
         },
         2, 3, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        jobs.Switches.clear();
        c.choose();
        form->BBOdczytClick();
        EXPECT_EQ(jobs.Switches.size(), c.jobs) << jobs.Switches.join(" | ").toStdString();
        ASSERT_EQ(Rows(), c.rows);
        EXPECT_EQ(form->Memory().MTPF.FieldByName("Numer").ValueAt(0), TFieldValue(std::int64_t(c.firstReport)));
        EXPECT_EQ(Text("EdNrUnikatowy"), QStringLiteral("ABC12345678"));
        EXPECT_EQ(Text("EdNIP"), QStringLiteral("123-456-78-90"));
        EXPECT_EQ(Text("EdDataFiskalizacji"), QStringLiteral("2023-03-15"));
        EXPECT_EQ(Text("NELiczbaMRS"), QStringLiteral("3"));
        // Receipts: report n counts n.
        const int last = c.firstReport + c.rows - 1;
        EXPECT_EQ(Text("NEIloscParag").toInt(), (last * (last + 1) - (c.firstReport - 1) * c.firstReport) / 2);
        EXPECT_TRUE(Enabled("BBZapisz"));
        EXPECT_TRUE(Enabled("BBDrukuj"));
        EXPECT_EQ(form->Memory().MTSumUp.RecordCount(), 1);
        EXPECT_FALSE(QFile::exists(dir.filePath("pf.txt")));
    }
    EXPECT_TRUE(messages.Log.isEmpty()) << messages.Log.join('\n').toStdString();
}

// The NIP shows whole however narrow the window is made.
TEST_F(PFTest, TheNipFieldShowsAllItsDigits)
{
    form->BBOdczytClick();
    form->show();
    form->resize(form->minimumSizeHint());
    QApplication::processEvents();
    auto *nip = Child<QLineEdit>(*form, "EdNIP");
    QStyleOptionFrame opt;
    opt.initFrom(nip);
    opt.lineWidth = nip->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, nip);
    const QRect text = nip->style()->subElementRect(QStyle::SE_LineEditContents, &opt, nip) - nip->textMargins();
    EXPECT_GE(text.width() - 4, nip->fontMetrics().horizontalAdvance(QStringLiteral("123-456-78-90")));
}

TEST_F(PFTest, SavedReportLoadsAgainAndAChangedOneIsRefused)
{
    form->BBOdczytClick();
    const QString saved = dir.filePath(QStringLiteral("raport.frp"));
    form->AskSaveFileName = [&] { return saved; };
    form->BBZapiszClick();
    ASSERT_TRUE(QFile::exists(saved));
    ASSERT_TRUE(QFile::exists(saved + QStringLiteral(".dig")));

    TFormPF other(dir.filePath(QStringLiteral("pf.txt")), prefix);
    other.SetEnv(env);
    other.AskOpenFileName = [&] { return saved; };
    other.BBWczytajClick();
    EXPECT_EQ(other.Memory().MTPF.RecordCount(), 12);
    EXPECT_EQ(Child<QLineEdit>(other, "EdNrUnikatowy")->text(), QStringLiteral("ABC12345678"));
    EXPECT_TRUE(Child<QPushButton>(other, "BBZapisz")->isEnabled());
    EXPECT_TRUE(messages.Log.isEmpty()) << messages.Log.join('\n').toStdString();

    QFile f(saved);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    bytes[bytes.indexOf("ABC")] = 'X';
    f.seek(0);
    f.write(bytes);
    f.close();
    other.BBWczytajClick();
    ASSERT_EQ(messages.Log.size(), 1);
    EXPECT_TRUE(messages.Log[0].startsWith(QStringLiteral("error: Nieprawidłowa zawartość pliku.\r\nPlik \"") + saved))
        << messages.Log[0].toStdString();
    // The window keeps what it showed.
    EXPECT_EQ(other.Memory().MTPF.RecordCount(), 12);
    EXPECT_TRUE(Child<QPushButton>(other, "BBZapisz")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(other, "BBDrukuj")->isEnabled());
    EXPECT_EQ(Child<QLineEdit>(other, "EdNrUnikatowy")->text(), QStringLiteral("ABC12345678"));
}

TEST_F(PFTest, PrintsThePdfIntoTheTemporaryFolderAndOpensIt)
{
    form->BBOdczytClick();
    form->BBDrukujClick();
    ASSERT_EQ(opener.Opened.size(), 1) << messages.Log.join('\n').toStdString();
    const QString pdf = opener.Opened.first();
    EXPECT_TRUE(pdf.startsWith(prefix + QStringLiteral("ABC12345678-"))) << pdf.toStdString();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5) == "%PDF-");
    f.close();
    EXPECT_TRUE(Enabled("BBDrukuj"));
    EXPECT_EQ(wait.Messages.last(), QStringLiteral("Drukuję raport..."));
    // "Zapisz PDF..." puts it where the user chooses, for good.
    const QString kept = dir.filePath(QStringLiteral("raport.pdf"));
    form->AskSavePdfFileName = [&] { return kept; };
    form->BBZapiszPDFClick();
    // The window's end removes its PDFs.
    form.reset();
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(QFile::exists(kept));
}

// "Wykres" draws the reports read by day and by month, the tax and the
// rest of each total as two named parts of one bar.
TEST_F(PFTest, TheChartWindowDrawsTheReportsByDayAndByMonth)
{
    form->BBOdczytClick();
    TFormWykres *chart = ShowFiscalChart(*form);
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->windowTitle(), QStringLiteral("Wykres"));
    TChartPicture p = chart->Chart()->Picture();
    EXPECT_EQ(p.Title.Text, QStringLiteral("Należność dzienna"));
    EXPECT_EQ(p.Bars.size(), 24u);
    ASSERT_EQ(p.Legend.size(), 2u);
    EXPECT_TRUE(p.Legend[0].Label.startsWith(QStringLiteral("PTU")));
    EXPECT_TRUE(p.Legend[1].Label.startsWith(QStringLiteral("Należność bez PTU")));
    ASSERT_FALSE(p.CategoryLabels.empty());
    EXPECT_EQ(p.CategoryLabels[0].Text, QStringLiteral("01.01.2024"));
    chart->SetCurrentView(1);
    p = chart->Chart()->Picture();
    EXPECT_EQ(p.Title.Text, QStringLiteral("Należność według miesięcy"));
    ASSERT_EQ(p.CategoryLabels.size(), 1u);
    EXPECT_EQ(p.CategoryLabels[0].Text, QStringLiteral("sty 2024"));
    EXPECT_EQ(p.Bars.size(), 2u);
    chart->close();
}

TEST_F(PFTest, TheRamResetCountTurnsRedFromTen)
{
    struct Case {
        int resets;
        bool red;
    };
    for (const Case c : {Case{9, false}, Case{10, true}, Case{3, false}}) {
        memory.RamResets = c.resets;
        form->BBOdczytClick();
        QLineEdit *count = Child<QLineEdit>(*form, "NELiczbaMRS");
        EXPECT_EQ(count->text(), QString::number(c.resets));
        EXPECT_EQ(count->styleSheet().contains(QStringLiteral("rgb(255, 0, 0)")), c.red) << c.resets;
    }
}

TEST_F(PFTest, AFailedReadLeavesNothingToSaveOrPrint)
{
    form->BBOdczytClick();
    ASSERT_TRUE(Enabled("BBZapisz"));
    jobs.Job = [](const QString &) { throw EAbort(); };
    form->BBOdczytClick();
    EXPECT_FALSE(Enabled("BBZapisz"));
    EXPECT_FALSE(Enabled("BBDrukuj"));
    EXPECT_FALSE(Enabled("BBZapiszPDF"));
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(Text("EdNrUnikatowy").isEmpty());
    opener.Opened.clear();
    form->BBDrukujClick();
    EXPECT_TRUE(opener.Opened.isEmpty());
}

TEST_F(PFTest, AnotherConfiguredModelIsRefusedBeforeAnyJob)
{
    dm.ApplyProfile(KasaER_A277P, true, 0);
    form->BBOdczytClick();
    EXPECT_TRUE(jobs.Switches.isEmpty());
    ASSERT_EQ(messages.Log.size(), 1);
    EXPECT_TRUE(messages.Log[0].startsWith(QStringLiteral("error: Odczyt pamięci fiskalnej jest możliwy tylko")));
}

TEST(PFWindow, OldReportPdfsGoWhenTheWindowIsMade)
{
    ReportsTestApp();
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("orvan277PSPlus-raport"));
    const QString old = prefix + QStringLiteral("X-0000ABCD.pdf");
    const QString other = dir.filePath(QStringLiteral("inny.pdf"));
    for (const QString &name : {old, other}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    TFormPF form(dir.filePath(QStringLiteral("pf.txt")), prefix);
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(other));
}

} // namespace

TEST_F(PFTest, AReportWhoseDueDiffersFromItsSalesStandsOutWithItsNote)
{
    memory.DueMismatch = 5;
    form->BBOdczytClick();
    ASSERT_EQ(Rows(), 12);
    TTableModel *model = Child<TKvDBGrid>(*form, "DBGPF")->Model();
    const int note = model->ColumnOfField(QStringLiteral("Uwagi"));
    ASSERT_GE(note, 0);
    for (int row = 0; row < Rows(); ++row) {
        const bool marked = row == 4;
        EXPECT_EQ(model->data(model->index(row, 0), Qt::BackgroundRole).value<QColor>(),
                  marked ? CheckResultColor(CheckResult::Error) : QColor())
            << row;
        EXPECT_EQ(model->data(model->index(row, note), Qt::DisplayRole).toString(),
                  marked ? QStringLiteral("suma należności nie zgadza się z sumą sprzedaży") : QString())
            << row;
    }
}
