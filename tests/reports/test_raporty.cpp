// The reports window: its controls, the source setting, the button rule,
// and "Wykonaj" from the editor's data and from a read of the register.
#include "reports/URaporty.h"

#include "reports_test_util.h"

#include "data/UCodePage.h"
#include "data/UDM.h"
#include "editors/UEditorEnv.h"
#include "data/UGlobals.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RaportyTest : public ReportWindowTest {
protected:
    void SetUp() override
    {
        ReportWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        env.GrupyFile = dir.filePath(QStringLiteral("grupy.txt"));
        env.KodyFile = dir.filePath(QStringLiteral("kody.txt"));
        env.KaucjeFile = dir.filePath(QStringLiteral("kaucje.txt"));
        reportFile = dir.filePath(QStringLiteral("raport.txt"));
    }

    std::unique_ptr<TFormRaporty> MakeForm()
    {
        auto form = std::make_unique<TFormRaporty>(settings);
        form->SetEnv(env);
        form->SetOpener(&viewer);
        form->AskFileName = [this] { return reportFile; };
        form->TickReadOptions = [this] { ++ticks; };
        return form;
    }

    QStringList ReportLines() const
    {
        QFile f(reportFile);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        // The ANSI code page of a Polish Windows there.
#ifdef _WIN32
        return FromCp1250(f.readAll()).split(QStringLiteral("\r\n"));
#else
        return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
#endif
    }

    TSettings settings;
    TFakeOpener viewer;
    QString reportFile;
    int ticks = 0;
};

TEST_F(RaportyTest, ControlsCarryTheirTexts)
{
    auto form = MakeForm();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Raporty"));
    EXPECT_EQ(form->objectName(), QStringLiteral("FormRaporty"));
    QListWidget *list = Child<QListWidget>(*form, "CLBRaportZ");
    ASSERT_EQ(list->count(), 3);
    const QStringList items{QStringLiteral("Grup"), QStringLiteral("Kodów"), QStringLiteral("Kaucji")};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list->item(i)->text(), items[i]);
        EXPECT_EQ(list->item(i)->checkState(), Qt::Checked);
    }
    QComboBox *source = Child<QComboBox>(*form, "CBNaPodstDanych");
    ASSERT_EQ(source->count(), 2);
    EXPECT_EQ(source->itemText(0), QStringLiteral("danych odczytanych z kasy"));
    EXPECT_EQ(source->itemText(1), QStringLiteral("danych z edytora"));
    EXPECT_EQ(Child<QLabel>(*form, "LbWarning")->text(),
              QStringLiteral("Przed odczytem danych z kasy wszystkie dane w edytorze zostaną skasowane."));
    EXPECT_EQ(Child<QPushButton>(*form, "BBWykonaj")->text(), QStringLiteral("Wykonaj"));
}

TEST_F(RaportyTest, TheSourceComesFromTheSettingAndGoesBackIntoIt)
{
    settings.RaportNaPodst = StoredSalesSource(TSalesSource::Editor);
    auto form = MakeForm();
    EXPECT_EQ(form->Source(), TSalesSource::Editor);
    EXPECT_TRUE(Child<QLabel>(*form, "LbWarning")->isHidden());
    Child<QComboBox>(*form, "CBNaPodstDanych")->setCurrentIndex(StoredSalesSource(TSalesSource::Register));
    EXPECT_FALSE(Child<QLabel>(*form, "LbWarning")->isHidden());
    EXPECT_EQ(settings.RaportNaPodst, StoredSalesSource(TSalesSource::Register));
    Child<QComboBox>(*form, "CBNaPodstDanych")->setCurrentIndex(StoredSalesSource(TSalesSource::Editor));
    form.reset();
    EXPECT_EQ(settings.RaportNaPodst, StoredSalesSource(TSalesSource::Editor));
}

TEST_F(RaportyTest, WykonajNeedsATickedSectionAndASource)
{
    auto form = MakeForm();
    QListWidget *list = Child<QListWidget>(*form, "CLBRaportZ");
    QPushButton *button = Child<QPushButton>(*form, "BBWykonaj");
    EXPECT_TRUE(button->isEnabled());
    for (int i = 0; i < 2; ++i)
        list->item(i)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(button->isEnabled()); // deposits still ticked
    form->SetDepositsItemEnabled(false);
    EXPECT_FALSE(form->DepositsItemChecked());
    EXPECT_FALSE(button->isEnabled());
    list->item(1)->setCheckState(Qt::Checked);
    EXPECT_TRUE(button->isEnabled());
    Child<QComboBox>(*form, "CBNaPodstDanych")->setCurrentIndex(-1);
    EXPECT_FALSE(button->isEnabled());
}

TEST_F(RaportyTest, AReportFromTheEditorAsksToViewIt)
{
    settings.RaportNaPodst = StoredSalesSource(TSalesSource::Editor);
    messages.Answers = {TPromptAnswer::Yes};
    auto form = MakeForm();
    form->BBWykonajClick();
    EXPECT_TRUE(jobs.Switches.isEmpty());
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(wait.Messages, QStringList{QStringLiteral("Zapisuję raport ...")});
    EXPECT_EQ(messages.Log, QStringList{QStringLiteral("ask: Czy chcesz obejrzeć raport ?")});
    EXPECT_EQ(viewer.Opened, QStringList{reportFile});
    EXPECT_TRUE(ReportLines().first().startsWith(QStringLiteral("Raport rozpoczęto ")));
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(RaportyTest, ACancelledFileDialogDoesNothing)
{
    auto form = MakeForm();
    form->AskFileName = [] { return QString(); };
    form->BBWykonajClick();
    EXPECT_TRUE(jobs.Switches.isEmpty());
    EXPECT_TRUE(messages.Log.isEmpty());
}

TEST_F(RaportyTest, AReportFromTheRegisterReadsTheGroupsFirstWhileTheWindowIsBusy)
{
    settings.RaportNaPodst = StoredSalesSource(TSalesSource::Register);
    auto form = MakeForm();
    Child<QListWidget>(*form, "CLBRaportZ")->item(1)->setCheckState(Qt::Unchecked);
    Child<QListWidget>(*form, "CLBRaportZ")->item(2)->setCheckState(Qt::Unchecked);
    // What the editor had is replaced by what the register holds.
    dm.MDGrupy.Append();
    dm.MDGrupy.FieldByName("Numer").SetAsInteger(7);
    dm.MDGrupy.Post();
    bool busyDuringJob = false, closedDuringJob = true;
    jobs.Job = [&](const QString &) {
        busyDuringJob = form->Busy() && !form->isEnabled();
        closedDuringJob = form->close();
        QFile f(env.GrupyFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(" 1,01, 8,00,     2.50,Pieczywo        ,       125.50,   50.200,      1250.75,  500.300,\r\n");
    };
    form->show();
    form->BBWykonajClick();
    EXPECT_EQ(ticks, 1);
    ASSERT_EQ(jobs.Switches.size(), 1);
    EXPECT_TRUE(jobs.Switches[0].contains(QStringLiteral("/T01 /AABDEIJ /XU"))) << jobs.Switches[0].toStdString();
    EXPECT_TRUE(busyDuringJob);
    EXPECT_FALSE(closedDuringJob);
    EXPECT_TRUE(form->isEnabled());
    const QStringList lines = ReportLines();
    ASSERT_GT(lines.size(), 8);
    EXPECT_EQ(lines[7], QStringLiteral(" 1 Pieczywo         A      2,50        125,50    50,200       1250,75   500,300"));
    EXPECT_EQ(lines[8], QStringLiteral("                                =============           ============="));
    EXPECT_FALSE(QFile::exists(env.GrupyFile));
}

TEST_F(RaportyTest, AFailedReadWritesNoFileAndLeavesTheWindowUsable)
{
    settings.RaportNaPodst = StoredSalesSource(TSalesSource::Register);
    jobs.Job = [](const QString &) { throw EAbort(); };
    auto form = MakeForm();
    form->BBWykonajClick();
    EXPECT_EQ(jobs.Switches.size(), 1);
    EXPECT_FALSE(QFile::exists(reportFile));
    EXPECT_TRUE(messages.Log.isEmpty());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_FALSE(form->Busy());
}

} // namespace
