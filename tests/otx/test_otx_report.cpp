// orvan-otx report against a simulated ER-A277PS Plus holding known tables
// and sales counters: the report file line by line, a failed read, wrong
// arguments.
#include "link/URecord.h"
#include "sim/USimPty.h"
#include "otx_test_support.h"
#include "pipe_guard.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

#ifdef _WIN32

TEST(OtxReport, NeedsThePseudoTerminalOfTheSimulatedRegister)
{
    GTEST_SKIP() << "the simulated register answers over a pseudo-terminal (Linux)";
}

#else
#include <unistd.h>

namespace {

// Lines in the layout of a read with counters.
const char *const kGroups[] = {
    " 1,01, 8,00,     2.50,PIECZYWO        ,       125.50,   50.200,      1250.75,  500.300,",
    " 2,02, 8,00,     3.99,NABIAL          ,        10.13,    2.500,         0.01,    0.000,",
};
const char *const kCodes[] = {
    "00000000000005, 1,00,     2.50,CHLEB           ,        25.00,   10.000,",
    "15901234123457, 2,00,     3.10,MLEKO           ,        -6.20,   -2.000,",
};
const char *const kDeposits[] = {" 1,     0.50,         5.00,   10.000,         1.50,    3.000,"};

// Stores the lines into a table of the register: the fields named by
// letters go to their places in the full record.
void Seed(TSimRegister &reg, int table, const char *letters, const char *const *lines, std::size_t count)
{
    TSimTable *t = reg.Table(table);
    ASSERT_NE(t, nullptr);
    TSelection selection;
    ASSERT_TRUE(selectFields(letters, standardDescriptor(table, reg.ModelIndex()), selection));
    for (std::size_t i = 0; i < count; ++i) {
        TBytes fields;
        ASSERT_TRUE(lineToRecord(selection, false, lines[i], fields)) << lines[i];
        TBytes record(static_cast<std::size_t>(t->RecordSize()), 0);
        std::size_t from = 0;
        for (int l = 0; l < TSelection::Fields; ++l) {
            const int size = selection.FieldSize[l];
            if (size == 0)
                continue;
            std::copy_n(fields.begin() + std::ptrdiff_t(from), size, record.begin() + t->Offset[l]);
            from += std::size_t(size);
        }
        ASSERT_EQ(from, fields.size());
        reg.Store(*t, record);
    }
}

using OtxRun = TOtxRun;

OtxRun Otx(const QStringList &args)
{
    return RunOtx(args);
}

class OtxReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        sim.WithRegister([](TSimRegister &reg) {
            Seed(reg, TSimRegister::GroupsTable, "ABDEIJ", kGroups, std::size(kGroups));
            Seed(reg, TSimRegister::CodesTable, "ABDEI", kCodes, std::size(kCodes));
            Seed(reg, TSimRegister::DepositsTable, "ADIJ", kDeposits, std::size(kDeposits));
        });
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
        port = QString::fromStdString(sim.PortPath());
        out = dir.filePath(QStringLiteral("raport.txt"));
    }
    QStringList FileLines() const
    {
        QFile f(out);
        if (!f.open(QIODevice::ReadOnly))
            return {QStringLiteral("<no file>")};
        QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
        if (lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    QTemporaryDir dir;
    TPtySimulator sim;
    QString port, out;
};

TEST_F(OtxReport, WritesTheSalesReportOfTheRegistersTables)
{
    const OtxRun r = Otx({"report", out, "--port", port});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Raport sprzedaży zapisano w pliku \"" + out + "\"")) << r.out.toStdString();
    const QStringList expected{
        QString(79, u'-'),
        "",
        "Grupy",
        "",
        "Nr Nazwa           VAT     Cena   Wartość dz. Ilość dz.  Wartość okr.Ilość okr.",
        QString(79, u'-'),
        " 1 PIECZYWO         A      2,50        125,50    50,200       1250,75   500,300",
        " 2 NABIAL           B      3,99         10,13     2,500          0,01     0,000",
        "                                =============           =============",
        "                                       135,63                 1250,76",
        "",
        "Kody",
        "",
        "        Numer  Nazwa          Grupa     Cena   Wartość dz. Ilość dz.",
        QString(68, u'-'),
        "             5 CHLEB             1      2,50         25,00    10,000",
        " 5901234123457 MLEKO             2      3,10         -6,20    -2,000",
        "                                             =============",
        "                                                     18,80",
        "",
        "Kaucje",
        "",
        "Nr      Cena  Wartość wyd. Ilość wyd. Wartość zwr. Ilość zwr.",
        QString(61, u'-'),
        " 1      0,50          5,00    10,000          1,50     3,000",
        "             =============           =============",
        "                      5,00                    1,50",
        "---",
    };
    const QStringList lines = FileLines();
    ASSERT_EQ(lines.size(), expected.size() + 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.first().startsWith("Raport rozpoczęto ")) << lines.first().toStdString();
    EXPECT_TRUE(lines.last().startsWith("Raport zakończono ")) << lines.last().toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i + 1].toStdString(), expected[i].toStdString()) << "line " << i + 2;
}

TEST(OtxReportDepositGroups, TheDepositsSectionReadsTheCodesOfGroupsNineAndTen)
{
    // An ER-A235P version A with deposits keeps them as groups 9 and 10.
    TSimOptions options;
    options.ModelIndex = 0;
    TPtySimulator sim(options);
    const char *const codes[] = {
        "0005, 1,00,     2.50,CHLEB           ,        25.00,   10.000,",
        "0007, 9,00,     0.50,BUTELKA         ,         5.00,   10.000,",
        "0008,10,00,     0.50,ZWROT BUTELKI   ,        12.50,    5.000,",
    };
    sim.WithRegister([&](TSimRegister &reg) { Seed(reg, TSimRegister::CodesTable, "ABDEI", codes, std::size(codes)); });
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("kaucje.txt"));
    const OtxRun r = Otx({"report", out, "--port", QString::fromStdString(sim.PortPath()), "--sections", "kaucje",
                          "--kasa", "0", "--eprom", "0", "--kaucje", "1"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = QString::fromUtf8(ReadBytes(out)).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 11);
    const QStringList expected{
        " 7 BUTELKA               0,50          5,00    10,000          0,00     0,000",
        " 8 ZWROT BUTELKI         0,50          0,00     0,000         12,50     5,000",
        "                              =============           =============",
        "                                       5,00                   12,50",
    };
    EXPECT_EQ(lines.mid(7, 4), expected) << lines.join(u'\n').toStdString();
}

// Every command that writes after reading the register.
TEST_F(OtxReport, TheOutputIsCheckedBeforeAnyJobAndTheModulesLinesGoToStandardError)
{
    const QString file = dir.filePath(QStringLiteral("plik"));
    ASSERT_EQ(WriteBytes(file, "x"), file);
    const QString fifo = dir.filePath(QStringLiteral("potok"));
    const TPipeGuard pipe(fifo.toStdString());
    ASSERT_TRUE(pipe.Ok());
    const QString locked = dir.filePath(QStringLiteral("zamknięty"));
    ASSERT_TRUE(QDir().mkdir(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    const QString notRegular = QStringLiteral("to nie jest zwykły plik, lecz urządzenie, potok lub gniazdo.");
    struct TCase {
        QString Out, Reason;
    };
    const TCase cases[] = {
        {dir.path(), QStringLiteral("to jest folder.")},
        {dir.filePath(QStringLiteral("brak/r.txt")), QStringLiteral("nie ma takiego folderu.")},
        {file + QStringLiteral("/r.txt"), QStringLiteral("nie ma takiego folderu.")},
        {fifo, notRegular},
        {QStringLiteral("/dev/null"), notRegular},
        {locked + QStringLiteral("/r.txt"), QStringLiteral("brak prawa zapisu w folderze \"%1\".").arg(locked)},
    };
    // The owner of everything writes into a read-only folder all the same.
    const bool superuser = ::geteuid() == 0;
    for (const char *command : {"read", "report", "fiscal-read"})
        for (const TCase &c : cases) {
            if (superuser && c.Out.startsWith(locked))
                continue;
            SCOPED_TRACE(std::string(command) + " " + c.Out.toStdString());
            const OtxRun r = Otx({command, c.Out, "--port", port});
            EXPECT_EQ(r.code, 1);
            EXPECT_EQ(r.err, QStringLiteral("Nie można zapisać pliku \"%1\": %2\n").arg(c.Out, c.Reason));
            EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        }
    // The digest beside the fiscal report too.
    const QString frp = dir.filePath(QStringLiteral("pf.frp"));
    ASSERT_TRUE(QDir().mkdir(frp + QStringLiteral(".dig")));
    const OtxRun digest = Otx({"fiscal-read", frp, "--port", port});
    EXPECT_EQ(digest.code, 1);
    EXPECT_EQ(digest.err, QStringLiteral("Nie można zapisać pliku \"%1.dig\": to jest folder.\n").arg(frp));
    EXPECT_EQ(sim.Counters().WakeUps, 0);
    // A report that runs: the module's lines on standard error, the result
    // alone on standard output.
    const OtxRun r = Otx({"report", out, "--port", port, "--sections", "grupy"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Raport sprzedaży zapisano w pliku \"%1\".\n").arg(out));
    EXPECT_TRUE(r.err.contains(QStringLiteral("0000"))) << r.err.toStdString();
}

TEST_F(OtxReport, DepositsSwitchedOffLeaveNothingToReport)
{
    const OtxRun r = Otx({"report", out, "--port", port, "--sections", "kaucje", "--kaucje", "0"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Nie wybrano żadnej sekcji raportu"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(OtxReport, AFailedReadWritesNoFileAndLeavesAnEarlierOne)
{
    {
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier\r\n");
    }
    const OtxRun r = Otx({"report", out, "--port", dir.filePath("no-such-tty")});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(r.out.contains("0000")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("Raport sprzedaży zapisano")) << r.out.toStdString();
    EXPECT_EQ(FileLines(), QStringList{"earlier"});
}

TEST_F(OtxReport, WrongArgumentsExitWith2)
{
    const std::vector<QStringList> cases{
        {"report", out},
        {"report", "--port", port},
        {"report", out, "--port", port, "--sections", "grupy,plu"},
        {"report", out, "--port", port, "--baud", "1200"},
        {"report", out, "--port", port, "--kasa", "9"},
        {"report", out, out, "--port", port},
    };
    for (const QStringList &args : cases) {
        const OtxRun r = Otx(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("Użycie:")) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}

} // namespace

#endif
