// The progress window and the demo register against the simulated register
// on a real pseudo-terminal, with the real communication module.
#include "UDemo.h"
#include "UGlobals.h"
#include "UHistoryStrip.h"
#include "UOSH.h"
#include "UProgram.h"
#include "app_test_util.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>

#if defined(ORVAN_DEMO_REGISTER)
#include "USimPty.h"

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

// The module with the steady clock, remembering the port each job used.
struct TPortRecorder {
    std::mutex Lock;
    QStringList Ports;
    TModuleRunner Runner()
    {
        return [this](const std::string &cmd, const std::string &port, const std::string &folder, TKOMDisplay &d) {
            {
                std::lock_guard<std::mutex> lock(Lock);
                Ports << QString::fromStdString(port);
            }
            return DefaultModuleRunner()(cmd, port, folder, d);
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
    QString error;
    ASSERT_TRUE(demo.Start(&error)) << error.toStdString();
    ASSERT_TRUE(demo.Running());
    const QString port = demo.PortPath();
    form->SetPortNameProvider([port] { return port; });

    form->Run(QString::fromLatin1(c.Job));
    ASSERT_EQ(form->ErrorCode, 0) << form->ErrorText.toStdString();
    const QStringList lines = FileLines(dir.filePath(QString::fromLatin1(c.File)));
    ASSERT_EQ(lines.size(), c.Lines) << lines.join(u'|').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QLatin1String(c.FirstLineStart))) << lines[0].toStdString();
    for (const QString &line : lines)
        EXPECT_GE(line.size(), c.MinLength) << line.toStdString();
    demo.Stop();
    EXPECT_FALSE(demo.Running());
    EXPECT_TRUE(demo.PortPath().isEmpty());
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
    QString error;
    ASSERT_TRUE(demo.Start(&error)) << error.toStdString();
    const QString port = demo.PortPath();
    form->SetPortNameProvider([port] { return port; });
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

TEST(ProgramDemo, JobsUseTheDemoPortWhileTheStoredPortIsKept)
{
    TestApp();
    QTemporaryDir dir;
    const TSettingsEnv env = ProgramEnvIn(dir.path(), 0x4321);
    AppSettings() = TSettings();
    TFakeMessages boxes;
    TScopedMessages scoped(&boxes);
    TPortRecorder recorder;
    {
        TProgram program(env);
        ASSERT_TRUE(program.StartUp());
        program.Settings().portname = QStringLiteral("COM2"); // as stored by the user
        program.CreateWindows();
        ASSERT_TRUE(program.StartDemo()) << boxes.Log.join(u'|').toStdString();
        ASSERT_NE(program.Demo(), nullptr);
        auto *demoLabel = program.FormMain()->findChild<QLabel *>(QStringLiteral("LbDemo"));
        ASSERT_NE(demoLabel, nullptr);
        EXPECT_FALSE(demoLabel->isHidden());
        EXPECT_EQ(demoLabel->text(), QStringLiteral("Kasa demonstracyjna"));
        const QString demoPort = program.Demo()->PortPath();
        EXPECT_FALSE(demoPort.isEmpty());
        EXPECT_EQ(program.JobPortName(), demoPort);
        EXPECT_EQ(program.Settings().portname, QStringLiteral("COM2"));

        // A job from the program's own progress window goes to the demo
        // register and succeeds.
        TFormOSH *osh = program.Windows().FormOSH;
        osh->SetModuleRunner(recorder.Runner());
        const QString file = QFileInfo(program.Settings().GrupyFile).fileName();
        osh->Run(QStringLiteral("/F") + file + QStringLiteral(" /T01 /AABDEIJ /XU"));
        EXPECT_EQ(osh->ErrorCode, 0) << osh->ErrorText.toStdString();
        EXPECT_EQ(recorder.Ports, QStringList{demoPort});
        EXPECT_EQ(FileLines(program.Settings().GrupyFile).size(), 8);
        EXPECT_TRUE(osh->CommandLine.contains(QStringLiteral(" /P1 /B") + QString::number(program.Settings().baud) + u' '))
            << osh->CommandLine.toStdString();

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

#else

TEST(ProgramDemo, IsUnavailableWithItsMessage)
{
    TDemoRegister demo;
    QString error;
    EXPECT_FALSE(demo.Start(&error));
    EXPECT_EQ(error, DemoUnavailableMessage);
    EXPECT_TRUE(demo.PortPath().isEmpty());
}

#endif
