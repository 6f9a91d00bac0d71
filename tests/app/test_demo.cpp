// The progress window with the real communication module: against the
// simulated register on a real pseudo-terminal (Linux), and against the
// demo register over its in-process line in virtual time.
#include "app/UDemo.h"
#include "data/UGlobals.h"
#include "app/UHistoryStrip.h"
#include "app/UOSH.h"
#include "app/UProgram.h"
#include "exchange/URegisterMemory.h"
#include "sim/USimLine.h"
#include "app/UUstawienia.h"
#include "link/UVirtualClock.h"
#include "app_test_util.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>

#if defined(__linux__)
#include "sim/USimPty.h"
#endif

namespace {

QStringList FileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Remembers the port each job named, then runs it where it would run.
struct TPortRecorder {
    std::mutex Lock;
    QStringList Ports;
    TModuleRunner Runner(TModuleRunner run)
    {
        return [this, run](const std::string &cmd, const std::string &port, const std::string &folder, TKOMDisplay &d) {
            {
                std::lock_guard<std::mutex> lock(Lock);
                Ports << QString::fromStdString(port);
            }
            return run(cmd, port, folder, d);
        };
    }
};

} // namespace

class ProgressWindowOnTheLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        settings.Kasa = 5; // ER-A277PS Plus
        settings.baud = 9600;
        settings.portname = QStringLiteral("COM7");
        form = std::make_unique<TFormOSH>(settings);
        form->SetFolder(dir.path());
    }
    TFakeMessages boxes;
    TScopedMessages scoped{&boxes};
    QTemporaryDir dir;
    TSettings settings;
    std::unique_ptr<TFormOSH> form;
};

#if defined(__linux__)
TEST_F(ProgressWindowOnTheLine, ReadJobRunsToItsEndAndShowsTheModuleOutput)
{
    TPtySimulator sim;
    sim.WithRegister([](TSimRegister &reg) {
        reg.SalesSeed = 7;
        TSimTable &t = *reg.Table(TSimRegister::GroupsTable);
        for (int g : {3, 1, 12}) {
            TBytes rec(static_cast<std::size_t>(t.RecordSize()), 0);
            rec[0] = ToBcd(g);
            rec[static_cast<std::size_t>(t.Offset['B' - 'A'])] = 0x02; // VAT B
            std::fill_n(rec.begin() + t.Offset['E' - 'A'], 16, ' ');
            const std::string name = "GRUPA " + std::to_string(g);
            std::copy(name.begin(), name.end(), rec.begin() + t.Offset['E' - 'A']);
            reg.Store(t, rec);
        }
    });
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    const QString port = QString::fromStdString(sim.PortPath());
    form->SetPortNameProvider([port] { return port; });
    const QImage stripBefore = form->findChild<THistoryStrip *>(QStringLiteral("ImgHistory"))->Image();

    form->Run(QStringLiteral("/Fgrupy.txt /T01 /AABDEIJ /XU"));

    EXPECT_EQ(form->ErrorCode, 0) << form->ErrorText.toStdString();
    EXPECT_TRUE(form->Done);
    EXPECT_TRUE(boxes.Log.isEmpty()) << boxes.Log.join(u'|').toStdString();
    EXPECT_FALSE(form->isVisible());

    // The exchange file: the groups in key order with their counters.
    const QStringList lines = FileLines(dir.filePath(QStringLiteral("grupy.txt")));
    ASSERT_EQ(lines.size(), 3) << lines.join(u'|').toStdString();
    const char *const heads[] = {" 1,02, 0,00,     0.00,GRUPA 1         ,", " 3,02, 0,00,     0.00,GRUPA 3         ,",
                                 "12,02, 0,00,     0.00,GRUPA 12        ,"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(lines[i].startsWith(QLatin1String(heads[i]))) << lines[i].toStdString();
        // Daily and periodic counters follow (what the groups editor parses).
        EXPECT_GE(lines[i].size(), 86) << lines[i].toStdString();
        EXPECT_TRUE(lines[i].endsWith(u',')) << lines[i].toStdString();
    }
    EXPECT_FALSE(lines[0].mid(38).contains(QRegularExpression(QStringLiteral("^[ 0.,]*$"))))
        << "the seeded sales must show: " << lines[0].toStdString();

    // What the window shows is what the module said, its last lines.
    const QString shown = Child<QPlainTextEdit>(*form, "meOutput")->toPlainText();
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_LE(shown.split(u'\n').size(), TOSHOutput::MaxLines);
    QString said = form->Output().Output();
    said.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(shown + u'\n', said);
    EXPECT_EQ(Child<QLabel>(*form, "lbTitle")->text(), form->Output().Status());
    EXPECT_FALSE(form->Output().Status().isEmpty());

    // The history strip holds pictures and has been painted.
    int filled = 0;
    for (int c = 0; c < form->Output().Cells(); ++c)
        filled += form->Output().HistoryAt(c) != 0;
    EXPECT_GT(filled, 0);
    EXPECT_NE(form->findChild<THistoryStrip *>(QStringLiteral("ImgHistory"))->Image(), stripBefore);

    EXPECT_GE(sim.Counters().Jobs, 1);
    EXPECT_TRUE(sim.Stop(&error)) << error;
}
#endif

// ---------------------------------------------------------------------------
// The demo register's own tables, read back through the module.

struct DemoReadCase {
    const char *Name;
    const char *Job;
    const char *File;
    int Lines;
    const char *FirstLineStart;
    int MinLength; // the counters are in the line
};

void PrintTo(const DemoReadCase &c, std::ostream *os)
{
    *os << c.Name << ": " << c.Job;
}

class DemoRegisterReads : public ProgressWindowOnTheLine, public ::testing::WithParamInterface<DemoReadCase> {};

TEST_P(DemoRegisterReads, GiveTheSeededRecordsWithSales)
{
    const DemoReadCase &c = GetParam();
    TDemoRegister demo;
    TVirtualClock clock;
    form->SetModuleRunner(LineModuleRunner(demo.LineFactory(), clock));

    form->Run(QString::fromLatin1(c.Job));
    ASSERT_EQ(form->ErrorCode, 0) << form->ErrorText.toStdString();
    const QStringList lines = FileLines(dir.filePath(QString::fromLatin1(c.File)));
    ASSERT_EQ(lines.size(), c.Lines) << lines.join(u'|').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QLatin1String(c.FirstLineStart))) << lines[0].toStdString();
    for (const QString &line : lines)
        EXPECT_GE(line.size(), c.MinLength) << line.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Tables, DemoRegisterReads,
    ::testing::Values(
        DemoReadCase{"Groups", "/Fg.txt /T01 /AABDEIJ /XU", "g.txt", 8, " 1,01, 8,00,     0.00,PIECZYWO        ,", 86},
        DemoReadCase{"Codes", "/Fk.txt /T11 /AABDEI /XU", "k.txt", 12, "             1, 1,00,     2.49,CHLEB ZWYKLY    ,",
                     71},
        DemoReadCase{"Deposits", "/Fd.txt /XU /T19 /AADIJ", "d.txt", 2, " 1,     0.50,", 50}),
    [](const ::testing::TestParamInfo<DemoReadCase> &info) { return std::string(info.param.Name); });

TEST_F(ProgressWindowOnTheLine, DemoRegisterTakesASendAlthoughItHasSales)
{
    TDemoRegister demo;
    TVirtualClock clock;
    form->SetModuleRunner(LineModuleRunner(demo.LineFactory(), clock));
    {
        QFile f(dir.filePath(QStringLiteral("g.txt")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(" 9,01, 8,00,     1.50,NOWA GRUPA      ,\r\n");
    }
    form->Run(QStringLiteral("/Fg.txt /T01 /AABDE /XD"));
    ASSERT_EQ(form->ErrorCode, 0) << form->ErrorText.toStdString();
    form->Run(QStringLiteral("/Fg.txt /T01 /AABDE /XU"));
    ASSERT_EQ(form->ErrorCode, 0) << form->ErrorText.toStdString();
    const QStringList lines = FileLines(dir.filePath(QStringLiteral("g.txt")));
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines.last(), QStringLiteral(" 9,01, 8,00,     1.50,NOWA GRUPA      ,"));
}

// ---------------------------------------------------------------------------

TEST(ProgramDemo, JobsGoToTheDemoRegisterWhileTheStoredPortIsKept)
{
    TestApp();
    QTemporaryDir dir;
    const TSettingsEnv env = ProgramEnvIn(dir.path(), 0x4321);
    AppSettings() = TSettings();
    TFakeMessages boxes;
    TScopedMessages scoped(&boxes);
    TPortRecorder recorder;
    TVirtualClock clock;
    {
        TProgram program(env);
        ASSERT_TRUE(program.StartUp());
        program.Settings().portname = QStringLiteral("COM2"); // as stored by the user
        program.CreateWindows();
        program.StartDemo(clock);
        ASSERT_NE(program.Demo(), nullptr);
        auto *demoLabel = program.FormMain()->findChild<QLabel *>(QStringLiteral("LbDemo"));
        ASSERT_NE(demoLabel, nullptr);
        EXPECT_FALSE(demoLabel->isHidden());
        EXPECT_EQ(demoLabel->text(), QStringLiteral("Kasa demonstracyjna"));
        EXPECT_EQ(program.JobPortName(), DemoPortName);
        EXPECT_EQ(program.Settings().portname, QStringLiteral("COM2"));
        // What the demo register holds starts anew in every run.
        EXPECT_TRUE(TRegisterMemory(dir.path(), [&] {
                        return TRegisterMemory::Key(QStringLiteral("277PSP"), program.JobPortName());
                    }).ForThisRunOnly());

        // A job from the program's own progress window goes to the demo
        // register and succeeds.
        TFormOSH *osh = program.Windows().FormOSH;
        osh->SetModuleRunner(recorder.Runner(osh->ModuleRunner()));
        const QString file = QFileInfo(program.Settings().GrupyFile).fileName();
        osh->Run(QStringLiteral("/F") + file + QStringLiteral(" /T01 /AABDEIJ /XU"));
        EXPECT_EQ(osh->ErrorCode, 0) << osh->ErrorText.toStdString();
        EXPECT_EQ(recorder.Ports, QStringList{DemoPortName});
        EXPECT_EQ(program.Demo()->Simulator().Counters().Jobs, 1);
        EXPECT_EQ(FileLines(program.Settings().GrupyFile).size(), 8);
        EXPECT_TRUE(osh->CommandLine.contains(QStringLiteral(" /P1 /B") + QString::number(program.Settings().baud) + u' '))
            << osh->CommandLine.toStdString();

        // The transmission settings find it under its name.
        TPortFinder &finder = program.Windows().FormUstawienia->Finder();
        finder.StartCheck(DemoPortName, 19200, 1);
        finder.Wait();
        ASSERT_TRUE(finder.Found().has_value());
        EXPECT_EQ(finder.Found()->Port, DemoPortName.toStdString());

        program.Exit();
        program.StopDemo();
        EXPECT_EQ(program.Demo(), nullptr);
        EXPECT_TRUE(demoLabel->isHidden());
        EXPECT_EQ(program.JobPortName(), QStringLiteral("COM2"));
    }
    // The settings written at exit keep the stored port.
    TSettings stored;
    SettingsStartUp(stored, env, {});
    EXPECT_EQ(stored.portname, QStringLiteral("COM2"));
    EXPECT_TRUE(boxes.Log.isEmpty()) << boxes.Log.join(u'|').toStdString();
    AppSettings() = TSettings();
}

// The demo's send and read back through its line alone: no window, no
// device; a virtual clock keeps the line's time.
TEST(DemoRegister, TakesASendAndGivesItBackOverItsLineInLineTime)
{
    QTemporaryDir dir;
    TDemoRegister demo;
    TVirtualClock clock;
    const TModuleRunner run = LineModuleRunner(demo.LineFactory(), clock);
    {
        QFile f(dir.filePath(QStringLiteral("k.txt")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int code = 100; code < 400; ++code)
            f.write(QStringLiteral("%1, 1,00,     1.99,TOWAR %2,\r\n").arg(code, 14).arg(code, -10).toLatin1());
    }
    const struct {
        const char *Job;
        int Lines; // in k.txt afterwards
    } jobs[] = {{"/Fk.txt /T11 /AABDE /XD", 300}, {"/Fk.txt /T11 /AABDE /XU", 312}};
    for (const auto &job : jobs) {
        SCOPED_TRACE(job.Job);
        TQuietDisplay display;
        display.Start();
        const uint64_t before = clock.Elapsed();
        const TModuleResult r = run(std::string("/LW /V277PSP /P1 /B19200 ") + job.Job, "COM9",
                                    dir.path().toStdString(), display);
        ASSERT_EQ(r.Code, 0) << r.Text;
        EXPECT_EQ(FileLines(dir.filePath(QStringLiteral("k.txt"))).size(), job.Lines);
        // Each code crosses in a packet of over 58 characters, 11 bits
        // each at 19200 baud: the 300 take the line 10 s (the module's own
        // waits come to less than 5 s).
        EXPECT_GT(clock.Elapsed() - before, 10000u);
    }
    EXPECT_EQ(demo.Simulator().Counters().Jobs, 2);
}
