#include "data/UDM.h"
#include "app/UDataFiles.h"
#include "data/UErrors.h"
#include "exchange/UExchange.h"
#include "data/UGlobals.h"
#include "app/UKonfig.h"
#include "data/ULocale.h"
#include "app/UMainCommands.h"
#include "data/UOrvanIO.h"
#include "reports/core/USalesReport.h"
#include "app/UWait.h"
#include "app_test_util.h"
#include "recording_runners.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace {

// Runs the operation at once; a failure is shown and ends the command
// with the silent abort, as the wait window does.
class TDirectWait : public IWaitRunner {
public:
    explicit TDirectWait(IMessages &boxes, QStringList &log) : m_boxes(boxes), m_log(log) {}
    void Execute(const QString &message, const std::function<void()> &procedure) override
    {
        m_log << QStringLiteral("wait: ") + message;
        try {
            procedure();
        } catch (const EAbort &) {
            throw;
        } catch (const Exception &e) {
            m_boxes.Error(e.Message());
            throw EAbort();
        }
    }

private:
    IMessages &m_boxes;
    QStringList &m_log;
};

class TFakeDialogs : public IMainDialogs {
public:
    explicit TFakeDialogs(QStringList &log) : m_log(log) {}
    std::optional<QString> OpenFile, SaveFile;
    std::optional<TSectionSet> LoadChoice; // nullopt: cancel
    bool ClearChoice = true;
    TSectionSet SaveChoice;
    TSectionSet LastPresent;
    QString LastProposed;
    std::function<bool()> KonfigAction = [] { return true; };

    std::optional<QString> OpenDataFile(const QString &current) override
    {
        m_log << QStringLiteral("open");
        LastProposed = current;
        return OpenFile;
    }
    std::optional<QString> SaveDataFile(const QString &current) override
    {
        m_log << QStringLiteral("save dialog");
        LastProposed = current;
        return SaveFile;
    }
    TSectionSet WhatLoad(const TSectionSet &present, bool &clearBeforeLoad) override
    {
        m_log << QStringLiteral("what load");
        LastPresent = present;
        if (!LoadChoice)
            throw EAbort();
        clearBeforeLoad = ClearChoice;
        return *LoadChoice;
    }
    TSectionSet WhatSave(bool) override
    {
        m_log << QStringLiteral("what save");
        return SaveChoice;
    }
    bool Konfig() override
    {
        m_log << QStringLiteral("konfig");
        return KonfigAction();
    }
    void About() override { m_log << QStringLiteral("about"); }
    void Ustawienia() override { m_log << QStringLiteral("ustawienia"); }

private:
    QStringList &m_log;
};

class TLoggingMessages : public TFakeMessages {
public:
    explicit TLoggingMessages(QStringList &log) : m_log(log) {}
    void Information(const QString &text) override
    {
        TFakeMessages::Information(text);
        m_log << QStringLiteral("info: ") + text;
    }
    void Error(const QString &text) override
    {
        TFakeMessages::Error(text);
        m_log << QStringLiteral("error: ") + text;
    }

private:
    QStringList &m_log;
};

class NoTarget : public IKonfigTarget {
public:
    void SetDepositsButtonEnabled(bool) override {}
    void SetReportsDepositsItem(bool) override {}
    void HideDepositsWindows() override {}
};

} // namespace

class MainCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedFormat = FormatSettings();
        FormatSettings() = TFormatSettings::Polish();
        ASSERT_TRUE(dir.isValid());
        settings.ExeDir = dir.path() + u'/';
        settings.FirstRun = false;
        dm.ApplyProfile(5, true, 0);
        settings.Kasa = 5;
    }
    void TearDown() override { FormatSettings() = m_savedFormat; }

    void AddGroup(int numer)
    {
        dm.MDGrupy.Append();
        dm.MDGrupy.FieldByName("Numer").SetAsInteger(numer);
        dm.MDGrupy.FieldByName("VAT").SetAsString("A");
        dm.MDGrupy.FieldByName("Nazwa").SetAsString(QStringLiteral("GRUPA %1").arg(numer));
        dm.MDGrupy.Post();
    }
    void AddKod(const QString &numer)
    {
        dm.MDKody.Append();
        dm.MDKody.FieldByName("Numer").SetText(numer);
        dm.MDKody.FieldByName("Grupa").SetAsInteger(1);
        dm.MDKody.FieldByName("Nazwa").SetAsString(QStringLiteral("KOD"));
        dm.MDKody.Post();
    }
    // A file with groups and codes (and deposits when the profile has them).
    QString WriteFile(const QString &name)
    {
        AddGroup(1);
        AddGroup(2);
        AddKod(QStringLiteral("12"));
        const QString path = dir.filePath(name);
        SaveDataFile(dm, path, TSectionSet::All());
        return path;
    }
    QString WriteText(const QString &name, const QByteArray &text)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }

    QTemporaryDir dir;
    TSettings settings;
    TDM dm;
    NoTarget target;
    TKonfigLogic konfig{settings, dm, &target};
    TOrvanDataFiles files{dm};
    QStringList log;
    TFakeDialogs dialogs{log};
    TLoggingMessages boxes{log};
    TDirectWait wait{boxes, log};
    TMainCommands commands{settings, dm, konfig, files, dialogs, wait, &boxes};

private:
    TFormatSettings m_savedFormat;
};

TEST_F(MainCommands, LoadOfFileWithoutKnownSectionsSaysSoAndShowsNoSectionDialog)
{
    dialogs.OpenFile = WriteText(QStringLiteral("inne.otx"), "[grupy] Numer=1,2;\r\n[Inne]\r\n");
    commands.Load();
    EXPECT_EQ(log, (QStringList{QStringLiteral("open"), QStringLiteral("wait: Sprawdzam zawartość pliku..."),
                                QStringLiteral("info: W tym pliku nie ma danych, które mógłbym wczytać.")}));
}

TEST_F(MainCommands, LoadOfChosenSubsetChangesOnlyThoseTables)
{
    dialogs.OpenFile = WriteFile(QStringLiteral("dane.otx"));
    dm.MDGrupy.EmptyTable();
    dm.MDKody.EmptyTable();
    AddKod(QStringLiteral("99"));
    dialogs.LoadChoice = TSectionSet::Of({0});
    commands.Load();
    EXPECT_EQ(dialogs.LastPresent, TSectionSet::All());
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 2);
    ASSERT_EQ(dm.MDKody.RecordCount(), 1);
    dm.MDKody.First();
    EXPECT_EQ(dm.MDKody.FieldByName("Numer").AsString(), QStringLiteral("00000000000099"));
    EXPECT_EQ(commands.Sections, TSectionSet::Of({0}));
    EXPECT_EQ(commands.CurrentFile, *dialogs.OpenFile);
    EXPECT_TRUE(dm.Modified);
    EXPECT_EQ(log.last(), QStringLiteral("wait: Wczytuję dane..."));
}

TEST_F(MainCommands, LoadWithoutClearingAppendsAndKeepsTheCheckBoxState)
{
    dialogs.OpenFile = WriteFile(QStringLiteral("dane.otx"));
    dialogs.LoadChoice = TSectionSet::Of({0});
    dialogs.ClearChoice = false;
    commands.Load();
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 4);
    EXPECT_FALSE(commands.ClearBeforeLoad);
}

TEST_F(MainCommands, CancellingTheSectionDialogChangesNothing)
{
    dialogs.OpenFile = WriteFile(QStringLiteral("dane.otx"));
    dm.MDGrupy.EmptyTable();
    dialogs.LoadChoice.reset();
    EXPECT_THROW(commands.Load(), EAbort);
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 0);
    EXPECT_EQ(dm.MDKody.RecordCount(), 1);
    EXPECT_TRUE(commands.ClearBeforeLoad);
}

TEST_F(MainCommands, CancellingTheOpenDialogDoesNothing)
{
    commands.CurrentFile = QStringLiteral("stary.otx");
    commands.Load();
    EXPECT_EQ(log, QStringList{QStringLiteral("open")});
    EXPECT_EQ(dialogs.LastProposed, QStringLiteral("stary.otx"));
    EXPECT_EQ(commands.CurrentFile, QStringLiteral("stary.otx"));
}

TEST_F(MainCommands, LoadOfMissingFileShowsTheErrorAndEndsSilently)
{
    dialogs.OpenFile = dir.filePath(QStringLiteral("brak.otx"));
    EXPECT_THROW(commands.Load(), EAbort);
    ASSERT_FALSE(boxes.Log.isEmpty());
    EXPECT_TRUE(boxes.Log.last().startsWith(QStringLiteral("error: Nie znaleziono pliku"))) << boxes.Log.last().toStdString();
}

TEST_F(MainCommands, SaveWritesTheChosenSectionsAndClearsModified)
{
    AddGroup(1);
    AddKod(QStringLiteral("5"));
    ASSERT_TRUE(dm.Modified);
    dialogs.SaveChoice = TSectionSet::Of({1});
    dialogs.SaveFile = dir.filePath(QStringLiteral("zapis.otx"));
    EXPECT_TRUE(commands.Save());
    EXPECT_FALSE(dm.Modified);
    EXPECT_EQ(ScanDataFile(dm, *dialogs.SaveFile), TSectionSet::Of({1}));
    EXPECT_EQ(commands.CurrentFile, *dialogs.SaveFile);
    EXPECT_EQ(log.last(), QStringLiteral("wait: Zapisuję dane..."));
}

TEST_F(MainCommands, SaveStopsWhenEitherDialogIsCancelled)
{
    AddGroup(1);
    commands.Sections = TSectionSet::All();
    dialogs.SaveChoice = TSectionSet();
    EXPECT_FALSE(commands.Save());
    EXPECT_EQ(log, QStringList{QStringLiteral("what save")});
    EXPECT_TRUE(commands.Sections.IsEmpty()); // the dialog's answer, even when empty
    dialogs.SaveChoice = TSectionSet::Of({0});
    EXPECT_FALSE(commands.Save());
    EXPECT_TRUE(dm.Modified);
}

TEST_F(MainCommands, LoadAndSaveTellTheStatusBarWhatTheyDidAndWhichFile)
{
    TRecordingStatus status;
    commands.SetStatus(&status);
    dialogs.OpenFile = WriteFile(QStringLiteral("dane.otx")); // 2 groups, 1 code
    dialogs.LoadChoice = TSectionSet::Of({0, 1});
    commands.Load();
    dialogs.LoadChoice = TSectionSet::Of({0});
    dialogs.ClearChoice = false; // two groups more
    commands.Load();
    dialogs.SaveChoice = TSectionSet::Of({0, 1});
    dialogs.SaveFile = dir.filePath(QStringLiteral("kopia.otx"));
    commands.Save();
    EXPECT_EQ(status.Texts, (QStringList{"Wczytano 2 grupy i 1 kod", "Wczytano 2 grupy", "Zapisano 4 grupy i 1 kod"}));
    EXPECT_EQ(status.Files, (QStringList{"Plik: nowy", "Plik: dane.otx", "Plik: dane.otx", "Plik: kopia.otx"}));
}

struct CloseCase {
    bool Modified;
    TPromptAnswer Answer;
    bool SaveDialogGivesFile;
    bool Closes;
    bool Asked;
};

void PrintTo(const CloseCase &c, std::ostream *os)
{
    static const char *const answers[] = {"Yes", "No", "Cancel"};
    *os << (c.Modified ? "modified" : "unmodified") << ", answer " << answers[static_cast<int>(c.Answer)]
        << (c.SaveDialogGivesFile ? ", file chosen" : ", save dialog cancelled");
}

class MainClose : public MainCommands, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(MainClose, AsksOnlyWithUnsavedDataAndStaysOpenOnCancel)
{
    const CloseCase &c = GetParam();
    AddGroup(1);
    dm.Modified = c.Modified;
    boxes.Answers = {c.Answer};
    dialogs.SaveChoice = TSectionSet::Of({0});
    if (c.SaveDialogGivesFile)
        dialogs.SaveFile = dir.filePath(QStringLiteral("wyjscie.otx"));
    EXPECT_EQ(commands.CloseQuery(), c.Closes);
    EXPECT_EQ(boxes.Questions.size(), c.Asked ? 1 : 0);
    if (c.Asked) {
        EXPECT_EQ(boxes.Questions[0], QStringLiteral("Czy przed wyjściem z programu chcesz zapisać dane ?"));
        EXPECT_EQ(boxes.Kinds[0], TAskKind::Confirmation);
        EXPECT_TRUE(boxes.WithCancel[0]);
    }
    EXPECT_EQ(QFile::exists(dir.filePath(QStringLiteral("wyjscie.otx"))),
              c.Answer == TPromptAnswer::Yes && c.SaveDialogGivesFile && c.Modified);
}

INSTANTIATE_TEST_SUITE_P(Cases, MainClose,
                         ::testing::Values(CloseCase{false, TPromptAnswer::Yes, false, true, false},
                                           CloseCase{true, TPromptAnswer::Cancel, true, false, true},
                                           CloseCase{true, TPromptAnswer::No, true, true, true},
                                           CloseCase{true, TPromptAnswer::Yes, true, true, true},
                                           CloseCase{true, TPromptAnswer::Yes, false, false, true}));

namespace {
// A read's front end that logs the job and ends it as a failed one.
class TJobLog : public IJobRunner, public IExchangeDialogs, public ISalesReportReads {
public:
    explicit TJobLog(QStringList &log) : m_log(log) {}
    void Run(const TJobRequest &) override
    {
        m_log << QStringLiteral("job");
        throw EAbort();
    }
    bool ConfirmRead(bool, bool &, bool &) override { return true; }
    bool ConfirmSend() override { return true; }
    void ReadTable(TSalesSection) override { m_log << QStringLiteral("read"); }

private:
    QStringList &m_log;
};
} // namespace

// Every command that replaces the editor tables asks first, as the exit
// question does, when they hold changes not saved.
TEST_F(MainCommands, CommandsThatReplaceTheTablesAskToSaveFirst)
{
    TJobLog front(log);
    TExchange exchange(dm, TExchangeTable::Grupy, dir.filePath(QStringLiteral("grupy.txt")), front, wait, boxes, front);
    exchange.SetUnsaved(&commands);
    TSalesReportMaker report(dm, front, wait);
    report.Unsaved = &commands;
    const struct {
        const char *name;
        std::function<void()> run;
        const char *replacingStep;
    } replacing[] = {
        {"Wczytaj", [&] { commands.Load(); }, "open"},
        {"editor read", [&] { exchange.Read(); }, "job"},
        {"report from the register",
         [&] { report.Make(dir.filePath(QStringLiteral("raport.txt")), TSalesSections{}, TSalesSource::Register); }, "read"},
    };
    const struct {
        bool modified;
        TPromptAnswer answer;
        bool fileChosen;
        bool goesOn;
    } answers[] = {
        {true, TPromptAnswer::Yes, true, true},    {true, TPromptAnswer::Yes, false, false},
        {true, TPromptAnswer::No, true, true},     {true, TPromptAnswer::Cancel, true, false},
        {false, TPromptAnswer::Cancel, true, true},
    };
    const QString saved = dir.filePath(QStringLiteral("przed.otx"));
    for (const auto &c : replacing) {
        for (const auto &a : answers) {
            SCOPED_TRACE(std::string(c.name) + " answer " + std::to_string(int(a.answer)) + (a.modified ? "" : " unmodified"));
            dm.MDGrupy.EmptyTable();
            AddGroup(7);
            dm.Modified = a.modified;
            QFile::remove(saved);
            log.clear();
            boxes.Questions.clear();
            boxes.Answers = {a.answer};
            dialogs.SaveChoice = TSectionSet::Of({0});
            dialogs.SaveFile = a.fileChosen ? std::optional<QString>(saved) : std::nullopt;
            try {
                c.run();
            } catch (const EAbort &) {
            }
            EXPECT_EQ(boxes.Questions, a.modified ? QStringList{SaveBeforeReplacingQuestion} : QStringList{});
            EXPECT_EQ(log.contains(QLatin1String(c.replacingStep)), a.goesOn) << log.join(u'|').toStdString();
            EXPECT_EQ(QFile::exists(saved), a.modified && a.answer == TPromptAnswer::Yes && a.fileChosen);
            if (!a.goesOn) {
                EXPECT_EQ(dm.MDGrupy.RecordCount(), 1);
                EXPECT_TRUE(dm.Modified);
            }
        }
    }
}

TEST_F(MainCommands, FirstRunShowsTheDialogsInOrderAndLoadsTheTemplate)
{
    // The template of the ER-A277PS Plus with deposits.
    WriteFile(QStringLiteral("tmp.otx"));
    QFile::copy(dir.filePath(QStringLiteral("tmp.otx")), settings.ExeDir + dm.RegisterProfile.TemplateFile);
    dm.MDGrupy.EmptyTable();
    dm.MDKody.EmptyTable();
    log.clear();

    settings.FirstRun = true;
    settings.Kasa = 0;
    dialogs.KonfigAction = [this] {
        TKonfigLogic::State state;
        konfig.Prepare(state);
        EXPECT_FALSE(state.OkEnabled);
        state.KaucjeItem = 1;
        konfig.Change(state);
        EXPECT_TRUE(state.OkEnabled);
        return konfig.Confirm(state);
    };
    commands.StartUp();
    EXPECT_EQ(log, (QStringList{QStringLiteral("about"), QStringLiteral("info: ") + FirstRunText,
                                QStringLiteral("ustawienia"), QStringLiteral("konfig"),
                                QStringLiteral("wait: Sprawdzam zawartość pliku..."),
                                QStringLiteral("wait: Wczytuję dane...")}));
    EXPECT_FALSE(settings.FirstRun);
    EXPECT_EQ(settings.Kasa, 5);
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 2);
    EXPECT_EQ(dm.MDKody.RecordCount(), 1);
    EXPECT_FALSE(dm.Modified);
    EXPECT_TRUE(commands.CurrentFile.isEmpty());
    EXPECT_TRUE(commands.ClearBeforeLoad);
}

TEST_F(MainCommands, MissingTemplateLeavesEmptyTablesAndModifiedSet)
{
    AddGroup(3);
    dm.Modified = false;
    commands.StartUp();
    EXPECT_EQ(log.first(), QStringLiteral("wait: Sprawdzam zawartość pliku..."));
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 0);
    EXPECT_TRUE(dm.Modified);
    EXPECT_TRUE(commands.CurrentFile.isEmpty());
    ASSERT_EQ(boxes.Log.size(), 1);
    EXPECT_TRUE(boxes.Log[0].startsWith(QStringLiteral("error: "))) << boxes.Log[0].toStdString();
}

TEST_F(MainCommands, ConfigurationChangeAsksFirstThenLoadsTemplateAndProposesItsPath)
{
    WriteFile(QStringLiteral("tmp.otx"));
    const QString templ = settings.ExeDir + dm.RegisterProfile.TemplateFile;
    QFile::copy(dir.filePath(QStringLiteral("tmp.otx")), templ);
    log.clear();

    boxes.Answers = {TPromptAnswer::No};
    commands.Konfig();
    EXPECT_EQ(boxes.Questions, QStringList{KonfigQuestion});
    EXPECT_EQ(boxes.Kinds, std::vector<TAskKind>{TAskKind::Warning});
    EXPECT_EQ(boxes.WithCancel, std::vector<bool>{true});
    EXPECT_FALSE(log.contains(QStringLiteral("konfig")));

    boxes.Answers = {TPromptAnswer::Yes};
    dialogs.KonfigAction = [this] {
        TKonfigLogic::State state;
        konfig.Prepare(state);
        return konfig.Confirm(state);
    };
    commands.Konfig();
    EXPECT_EQ(commands.CurrentFile, templ);
    EXPECT_TRUE(dm.Modified);
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 2);

    dialogs.SaveChoice = TSectionSet::Of({0});
    commands.Save();
    EXPECT_EQ(dialogs.LastProposed, templ);
}

TEST_F(MainCommands, FileWithOnlyDepositsIsEmptyForLoadingWithoutADepositsTable)
{
    dm.MDKaucje.Append();
    dm.MDKaucje.FieldByName("Numer").SetAsInteger(1);
    dm.MDKaucje.FieldByName("Cena").SetText(QStringLiteral("1,50"));
    dm.MDKaucje.Post();
    const QString path = dir.filePath(QStringLiteral("kaucje.otx"));
    SaveDataFile(dm, path, TSectionSet::Of({2}));
    dm.ApplyProfile(5, false, 0);
    ASSERT_FALSE(dm.RegisterProfile.DepositsTable);
    dialogs.OpenFile = path;
    commands.Load();
    EXPECT_EQ(log, (QStringList{QStringLiteral("open"), QStringLiteral("wait: Sprawdzam zawartość pliku..."),
                                QStringLiteral("info: W tym pliku nie ma danych, które mógłbym wczytać.")}));
}
