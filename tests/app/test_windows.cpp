#include "data/UDM.h"
#include "data/UErrors.h"
#include "data/UGlobals.h"
#include "app/UOSH.h"
#include "app/UProgram.h"
#include "app/UWait.h"
#include "app/UWhatLoad.h"
#include "app/UWhatSave.h"
#include "app_test_util.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QSettings>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

TEST(FormWait, RunsTheProcedureInsideTheModalWindowAndReturns)
{
    TestApp();
    TFormWait wait;
    wait.Timer()->setInterval(0);
    bool ranWhileShown = false;
    wait.Execute(QStringLiteral("Wczytuję dane..."), [&] { ranWhileShown = wait.isVisible(); });
    EXPECT_TRUE(ranWhileShown);
    EXPECT_FALSE(wait.isVisible());
    EXPECT_EQ(wait.windowTitle(), QStringLiteral("Proszę czekać ..."));
}

TEST(FormWait, FailureIsShownByTheHandlerAndEndsTheCommandSilently)
{
    TestApp();
    TFakeMessages boxes;
    TScopedMessages scoped(&boxes);
    TFormWait wait;
    wait.Timer()->setInterval(0);
    EXPECT_THROW(wait.Execute(QStringLiteral("Zapisuję dane..."), [] { throw EOrvanFileError(QStringLiteral("Zły plik")); }),
                 EAbort);
    EXPECT_EQ(boxes.Log, QStringList{QStringLiteral("error: Zły plik")});
    // A silent abort inside shows nothing.
    EXPECT_THROW(wait.Execute(QStringLiteral("x"), [] { throw EAbort(); }), EAbort);
    EXPECT_EQ(boxes.Log.size(), 1);
}

TEST(SectionDialogs, AbsentSectionStaysUntickedForTheNextFileUntilTicked)
{
    TestApp();
    TFormWhatLoad load;
    auto *list = Child<QListWidget>(load, "CLBSekcje");
    auto *ok = Child<QPushButton>(load, "BBOk");
    EXPECT_EQ(ok->text(), QStringLiteral("&Wczytaj"));
    EXPECT_TRUE(Child<QCheckBox>(load, "CBUsunDane")->isChecked());

    load.Prepare(TSectionSet::Of({1}));
    EXPECT_FALSE(list->item(0)->flags().testFlag(Qt::ItemIsEnabled));
    EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
    EXPECT_TRUE(ok->isEnabled());

    load.Prepare(TSectionSet::All());
    EXPECT_TRUE(list->item(0)->flags().testFlag(Qt::ItemIsEnabled));
    EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(list->item(2)->checkState(), Qt::Unchecked);
    EXPECT_EQ(load.Checks().TickedSet(), TSectionSet::Of({1}));

    list->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(ok->isEnabled());
    list->item(0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(load.Checks().TickedSet(), TSectionSet::Of({0}));
}

TEST(SectionDialogs, SaveDialogTakesDepositsOnlyWithADepositsTable)
{
    TestApp();
    TFormWhatSave save;
    auto *list = Child<QListWidget>(save, "CLBSekcje");
    EXPECT_EQ(Child<QPushButton>(save, "BBOk")->text(), QStringLiteral("&Zapisz"));
    save.Prepare(false);
    EXPECT_FALSE(list->item(2)->flags().testFlag(Qt::ItemIsEnabled));
    EXPECT_EQ(save.Checks().TickedSet(), TSectionSet::Of({0, 1}));
    save.Prepare(true);
    EXPECT_TRUE(list->item(2)->flags().testFlag(Qt::ItemIsEnabled));
    EXPECT_EQ(list->item(2)->checkState(), Qt::Unchecked);
}

// ---------------------------------------------------------------------------

class ProgressWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        settings.Kasa = 5;
        settings.baud = 9600;
        settings.portname = QStringLiteral("COM7");
        form = std::make_unique<TFormOSH>(settings);
        form->tmRefresh()->setInterval(0);
    }
    TFakeMessages boxes;
    TScopedMessages scoped{&boxes};
    TSettings settings;
    std::unique_ptr<TFormOSH> form;
};

TEST_F(ProgressWindow, SuccessfulJobReturnsAndShowsTheModuleOutput)
{
    std::string seenCommand, seenPort;
    form->SetModuleRunner([&](const std::string &cmd, const std::string &port, const std::string &, TKOMDisplay &d) {
        seenCommand = cmd;
        seenPort = port;
        for (int i = 1; i <= 12; ++i)
            d.WriteLine("wiersz " + std::to_string(i));
        d.AddHistory(0x0905);
        d.Progress('U', 0x01, 8, 8);
        d.Finish();
        TModuleResult r;
        r.Code = 0;
        return r;
    });
    form->Run(QStringLiteral("/Fgrupy.txt /T01 /AABDEIJ /XU"));
    EXPECT_EQ(seenCommand, "/LW /V277PSP /P1 /B9600 /Fgrupy.txt /T01 /AABDEIJ /XU");
    EXPECT_EQ(seenPort, "COM7");
    EXPECT_TRUE(boxes.Questions.isEmpty());
    const QString shown = Child<QPlainTextEdit>(*form, "meOutput")->toPlainText();
    EXPECT_EQ(shown.split(u'\n').size(), 9);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("wiersz 4\n")));
    EXPECT_TRUE(shown.endsWith(QStringLiteral("wiersz 12")));
    EXPECT_EQ(form->ErrorCode, 0);
    // The count under the strip.
    EXPECT_EQ(Child<QProgressBar>(*form, "pbProgress")->maximum(), 8);
    EXPECT_EQ(Child<QProgressBar>(*form, "pbProgress")->value(), 8);
    EXPECT_EQ(Child<QLabel>(*form, "lbProgress")->text(), QStringLiteral("Odczytano 8 z 8 grup"));
}

TEST_F(ProgressWindow, StopEndsTheJobWithTheRepeatQuestionAndDecliningAbortsSilently)
{
    std::atomic<int> runs{0};
    form->SetModuleRunner([&](const std::string &, const std::string &, const std::string &, TKOMDisplay &d) {
        ++runs;
        // The module polls the stop request once per protocol step.
        while (!d.StopRequested)
            std::this_thread::yield();
        d.Finish();
        TModuleResult r;
        r.Code = 0xFFF1;
        r.Text = "Transmisja przerwana przez u\xBFytkownika"; // "ż" in Windows-1250
        return r;
    });
    auto *stop = Child<QPushButton>(*form, "btStop");
    EXPECT_EQ(stop->text(), QStringLiteral("&Przerwij"));
    bool disabledAtOnce = false;
    QTimer presser;
    presser.setInterval(0);
    QObject::connect(&presser, &QTimer::timeout, [&] {
        if (form->Display().Running && stop->isEnabled() && stop->isVisible()) {
            stop->click();
            disabledAtOnce = !stop->isEnabled();
            presser.stop();
        }
    });
    form->OnJobStarted = [&] { presser.start(); };
    boxes.Answers = {TPromptAnswer::No};
    EXPECT_THROW(form->Run(QStringLiteral("/Fgrupy.txt /T01 /AAB /XU")), EAbort);
    EXPECT_TRUE(disabledAtOnce);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(boxes.Questions,
              QStringList{QStringLiteral("Transmisja przerwana przez użytkownika\r\nCzy powtórzyć transmisję ?")});
    EXPECT_EQ(boxes.Kinds, std::vector<TAskKind>{TAskKind::Error});
    EXPECT_EQ(boxes.WithCancel, std::vector<bool>{true});
    EXPECT_FALSE(form->isVisible());
}

TEST_F(ProgressWindow, YesRepeatsTheWholeJobWithAFreshSink)
{
    int runs = 0;
    bool stopClearedOnRepeat = false;
    form->SetModuleRunner([&](const std::string &, const std::string &, const std::string &, TKOMDisplay &d) {
        ++runs;
        if (runs == 2)
            stopClearedOnRepeat = !d.StopRequested;
        d.StopRequested = true; // as if the user pressed Stop during the first run
        d.Finish();
        TModuleResult r;
        r.Code = runs == 1 ? 0x0102 : 0;
        r.Text = runs == 1 ? "B\xB3\xB9" "d" : "";
        return r;
    });
    boxes.Answers = {TPromptAnswer::Yes};
    form->Run(QStringLiteral("/Fkody.txt /T02 /AAB /XU"));
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(stopClearedOnRepeat);
    EXPECT_EQ(boxes.Questions, QStringList{QStringLiteral("Błąd\r\nCzy powtórzyć transmisję ?")});
}

TEST_F(ProgressWindow, ARegisterThatNeverAnsweredPointsToTheSearch)
{
    const struct {
        int code;
        QString question;
    } cases[] = {
        {0x1002, "Błąd\r\nSprawdź port i prędkość w Ustawieniach (przycisk „Szukaj kasy”)\r\nCzy powtórzyć transmisję ?"},
        {0x1001, "Błąd\r\nSprawdź port i prędkość w Ustawieniach (przycisk „Szukaj kasy”)\r\nCzy powtórzyć transmisję ?"},
        {0x2000, "Błąd\r\nCzy powtórzyć transmisję ?"},
    };
    for (const auto &c : cases) {
        form->SetModuleRunner([&](const std::string &, const std::string &, const std::string &, TKOMDisplay &d) {
            d.Finish();
            TModuleResult r;
            r.Code = c.code;
            r.Text = "B\xB3\xB9" "d";
            return r;
        });
        boxes.Questions.clear();
        boxes.Answers = {TPromptAnswer::No};
        EXPECT_THROW(form->Run(QStringLiteral("/XU")), EAbort);
        EXPECT_EQ(boxes.Questions, QStringList{c.question}) << c.code;
    }
}

TEST_F(ProgressWindow, ExceptionOutsideTheModuleBecomesAnEndCode)
{
    form->SetModuleRunner([](const std::string &, const std::string &, const std::string &, TKOMDisplay &) -> TModuleResult {
        throw std::runtime_error("awaria");
    });
    boxes.Answers = {TPromptAnswer::Cancel};
    EXPECT_THROW(form->Run(QStringLiteral("/Fx.txt /T01 /AAB /XU")), EAbort);
    EXPECT_EQ(form->ErrorCode, -1);
    EXPECT_EQ(boxes.Questions,
              QStringList{QStringLiteral("Moduł komunikacyjny nie zakonczył jeszcze działania.\r\nCzy powtórzyć transmisję ?")});
}

TEST_F(ProgressWindow, RealModuleOnAMissingPortReportsItsMessage)
{
    form->SetPortNameProvider([] { return QStringLiteral("/nonexistent/orvan-test-port"); });
    QTemporaryDir dir;
    form->SetFolder(dir.path());
    boxes.Answers = {TPromptAnswer::No};
    EXPECT_THROW(form->Run(QStringLiteral("/Fgrupy.txt /T01 /AABDEIJ /XU")), EAbort);
    ASSERT_EQ(boxes.Questions.size(), 1);
    EXPECT_NE(form->ErrorCode, 0);
    EXPECT_TRUE(boxes.Questions[0].endsWith(QStringLiteral("\r\nCzy powtórzyć transmisję ?")));
    EXPECT_GT(boxes.Questions[0].size(), QStringLiteral("\r\nCzy powtórzyć transmisję ?").size());
    EXPECT_EQ(Child<QLabel>(*form, "lbTitle")->text(), QStringLiteral("KONIEC"));
}

// ---------------------------------------------------------------------------

TEST(Program, CreatesEveryWindowOnceInTheStartUpOrder)
{
    TestApp();
    QTemporaryDir dir;
    const TSettingsEnv env = ProgramEnvIn(dir.path(), 0x1234);
    AppSettings() = TSettings();
    TFakeMessages boxes;
    TScopedMessages scoped(&boxes);
    {
        TProgram program(env);
        ASSERT_TRUE(program.StartUp());
        EXPECT_TRUE(program.Settings().FirstRun);
        program.CreateWindows();
        EXPECT_EQ(program.CreationOrder(),
                  (QStringList{"FormMain", "FormKody", "DM", "FormGrupy", "FormKaucje", "FormOdczyt", "FormUstawienia",
                               "FormWait", "FormWhatSave", "FormWhatLoad", "FormWyslanie", "FormKonfig", "FormRaporty",
                               "FormOSH", "FormPowtNazwy", "FormKodyWKasie", "FormGrupyWKasie", "FormKaucjeWKasie",
                               "FormPF"}));
        TFormMain *main = program.FormMain();
        const char *buttons[][2] = {{"TBWczytaj", "&Wczytaj"},   {"TBZapisz", "&Zapisz"},
                                    {"TBRaporty", "&Raporty"},   {"TBGrupy", "&Grupy"},
                                    {"TBKody", "&Kody"},         {"TBKaucje", "K&aucje"},
                                    {"TBAbout", "&O programie"}, {"TBKOM", "&Ustawienia"},
                                    {"TBKonfig", "Kon&figuracja"}, {"TBPF", "&PF"}};
        for (const auto &b : buttons) {
            QToolButton *button = Child<QToolButton>(*main, b[0]);
            EXPECT_EQ(button->text(), QString::fromUtf8(b[1]));
            EXPECT_FALSE(button->icon().isNull());
        }
        EXPECT_EQ(Child<QToolButton>(*main, "TBKaucje")->isEnabled(),
                  program.DataModule().RegisterProfile.DepositsTable);
        EXPECT_EQ(program.JobPortName(), QStringLiteral("COM1"));
        program.StartDemo();
        EXPECT_EQ(program.JobPortName(), QStringLiteral("DEMO"));
        EXPECT_EQ(program.Settings().portname, QStringLiteral("COM1"));
        program.StopDemo();
        EXPECT_EQ(program.PlacementFile(), dir.filePath(QStringLiteral("Orvan277PSP.INI")));

        // Placements: a shown window's entry is written at exit.
        main->move(40, 30);
        main->show();
        program.Exit();
        main->hide();
    }
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("Orvan277PSP.INI"))));
    QSettings ini(dir.filePath(QStringLiteral("Orvan277PSP.INI")), QSettings::IniFormat);
    EXPECT_TRUE(ini.contains(QStringLiteral("FormMain/Left")));
    EXPECT_FALSE(ini.contains(QStringLiteral("FormGrupy/Left")));
    AppSettings() = TSettings();
}

TEST(Program, LoadDialogBoxKeepsItsLastStateEvenAfterCancel)
{
    TestApp();
    QTemporaryDir dir;
    AppSettings() = TSettings();
    TFakeMessages boxes;
    TScopedMessages scoped(&boxes);
    {
        TProgram program(ProgramEnvIn(dir.path(), 0x4321));
        ASSERT_TRUE(program.StartUp());
        program.CreateWindows();
        TFormWhatLoad *load = program.Windows().FormWhatLoad;
        auto *box = Child<QCheckBox>(*load, "CBUsunDane");

        // Unticked, then cancelled: the flag stays, the box keeps the user's state.
        bool clear = true;
        QTimer::singleShot(0, load, [&] {
            box->setChecked(false);
            Child<QPushButton>(*load, "BBCancel")->click();
        });
        EXPECT_THROW(program.FormMain()->WhatLoad(TSectionSet::All(), clear), EAbort);
        EXPECT_TRUE(clear);

        bool shownTicked = true;
        QTimer::singleShot(0, load, [&] {
            shownTicked = box->isChecked();
            Child<QPushButton>(*load, "BBOk")->click();
        });
        EXPECT_EQ(program.FormMain()->WhatLoad(TSectionSet::All(), clear), TSectionSet::All());
        EXPECT_FALSE(shownTicked);
        EXPECT_FALSE(clear);
    }
    AppSettings() = TSettings();
}

TEST(MainWindow, ToolBarRowsHoldTheButtonsAndSeparatorsInOrder)
{
    TestApp();
    TSettings settings;
    TDM dm;
    TFormMain main(settings, dm);
    const QStringList expected[] = {
        {"TBWczytaj", "TBZapisz", "|", "TBRaporty", "|", "TBGrupy", "TBKody", "TBKaucje"},
        {"TBAbout", "|", "TBKOM", "TBKonfig", "|", "TBPF"},
    };
    const char *rows[] = {"ToolBar1", "ToolBar2"};
    for (int row = 0; row < 2; ++row) {
        auto *bar = Child<QToolBar>(main, rows[row]);
        QStringList seen;
        for (QAction *action : bar->actions())
            seen << (action->isSeparator() ? QStringLiteral("|") : bar->widgetForAction(action)->objectName());
        EXPECT_EQ(seen, expected[row]) << rows[row];
        EXPECT_EQ(main.toolBarArea(bar), Qt::TopToolBarArea);
    }
    EXPECT_TRUE(main.toolBarBreak(Child<QToolBar>(main, "ToolBar2")));
}
