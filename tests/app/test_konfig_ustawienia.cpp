#include "data/UDM.h"
#include "data/UErrors.h"
#include "data/UGlobals.h"
#include "app/UKonfig.h"
#include "app/UUstawienia.h"
#include "app_test_util.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

struct PortCase {
    const char *Stored;
    TUstawieniaState::Port Button;
    const char *EditText; // shown beside "other"
    const char *Confirmed;
};

void PrintTo(const PortCase &c, std::ostream *os)
{
    *os << "stored " << ::testing::PrintToString(std::string(c.Stored));
}

class UstawieniaPort : public ::testing::TestWithParam<PortCase> {};

TEST_P(UstawieniaPort, SelectsTheButtonAndStoresTheName)
{
    const PortCase &c = GetParam();
    TSettings s;
    s.portname = QString::fromUtf8(c.Stored);
    TUstawieniaState state;
    PrepareUstawienia(s, state);
    EXPECT_EQ(state.PortButton, c.Button);
    EXPECT_EQ(state.PortName, QString::fromUtf8(c.EditText));
    ConfirmUstawienia(state, s);
    EXPECT_EQ(s.portname, QString::fromUtf8(c.Confirmed));
}

INSTANTIATE_TEST_SUITE_P(
    StoredNames, UstawieniaPort,
    ::testing::Values(PortCase{"com2", TUstawieniaState::P2, "COM3", "COM2"},
                      PortCase{"COM1", TUstawieniaState::P1, "COM3", "COM1"},
                      PortCase{"", TUstawieniaState::P1, "COM3", "COM1"},
                      PortCase{"COM3", TUstawieniaState::Other, "COM3", "COM3"},
                      PortCase{"/dev/ttyUSB0", TUstawieniaState::Other, "/dev/ttyUSB0", "/dev/ttyUSB0"},
                      PortCase{"com12", TUstawieniaState::Other, "com12", "com12"}));

struct SpeedCase {
    int Stored;
    int Item;
    int Confirmed;
};

void PrintTo(const SpeedCase &c, std::ostream *os)
{
    *os << "stored " << c.Stored;
}

class UstawieniaSpeed : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(UstawieniaSpeed, SelectsTheItemAndCorrectsUnknownSpeeds)
{
    TSettings s;
    s.baud = GetParam().Stored;
    TUstawieniaState state;
    PrepareUstawienia(s, state);
    EXPECT_EQ(state.SpeedItem, GetParam().Item);
    EXPECT_EQ(s.baud, GetParam().Confirmed); // corrected already while preparing
    ConfirmUstawienia(state, s);
    EXPECT_EQ(s.baud, GetParam().Confirmed);
}

INSTANTIATE_TEST_SUITE_P(Speeds, UstawieniaSpeed,
                         ::testing::Values(SpeedCase{19200, 0, 19200}, SpeedCase{9600, 1, 9600},
                                           SpeedCase{4800, 2, 4800}, SpeedCase{2400, 3, 2400},
                                           SpeedCase{115200, 1, 9600}, SpeedCase{0, 1, 9600}));

TEST(Ustawienia, NoSpeedSelectedStoresNineThousandSixHundred)
{
    TSettings s;
    s.baud = 2400;
    TUstawieniaState state;
    state.SpeedItem = -1;
    ConfirmUstawienia(state, s);
    EXPECT_EQ(s.baud, 9600);
}

TEST(Ustawienia, EmptyOtherPortNameIsRefusedAndChangesNothing)
{
    TSettings s;
    s.portname = QStringLiteral("COM2");
    s.baud = 4800;
    TUstawieniaState state;
    state.PortButton = TUstawieniaState::Other;
    state.PortName.clear();
    state.SpeedItem = 0;
    try {
        ConfirmUstawienia(state, s);
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Nazwa portu nie może być pusta !"));
    }
    EXPECT_EQ(s.portname, QStringLiteral("COM2"));
    EXPECT_EQ(s.baud, 4800);
}

TEST(Ustawienia, DialogShowsStoredLowerCaseCom2AsSecondButtonAndSpeedAs9600)
{
    TestApp();
    TSettings s;
    s.portname = QStringLiteral("com2");
    s.baud = 115200;
    TFormUstawienia form(s);
    form.PrepareUstawienia();
    EXPECT_TRUE(Child<QRadioButton>(form, "RBP2")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(form, "RGPredkosc1")->isChecked());
    EXPECT_EQ(Child<QRadioButton>(form, "RGPredkosc1")->text(), QStringLiteral("9600"));
    EXPECT_EQ(s.baud, 9600);
    Child<QPushButton>(form, "BBOK")->click();
    EXPECT_EQ(s.portname, QStringLiteral("COM2"));
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(Ustawienia, DialogReportsEmptyPortNameAndStaysOpen)
{
    TestApp();
    TFakeMessages boxes;
    TScopedMessages scoped(&boxes);
    TSettings s;
    s.portname = QStringLiteral("COM1");
    TFormUstawienia form(s);
    form.PrepareUstawienia();
    Child<QRadioButton>(form, "RBPother")->setChecked(true);
    Child<QLineEdit>(form, "EdPortName")->clear();
    form.setResult(QDialog::Rejected);
    Child<QPushButton>(form, "BBOK")->click();
    EXPECT_EQ(boxes.Log, QStringList{QStringLiteral("error: Nazwa portu nie może być pusta !")});
    EXPECT_EQ(s.portname, QStringLiteral("COM1"));
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

// ---------------------------------------------------------------------------

TEST(KonfigItems, ListOrderDiffersFromModelNumbering)
{
    const int expected[7][2] = {{0, 0}, {0, 1}, {2, 0}, {1, 0}, {3, 0}, {4, 0}, {5, 0}};
    for (int item = 0; item < 7; ++item) {
        EXPECT_EQ(KasaOfItem(item).Kasa, expected[item][0]) << item;
        EXPECT_EQ(KasaOfItem(item).Eprom235, expected[item][1]) << item;
        EXPECT_EQ(ItemOfKasa(expected[item][0], expected[item][1]), item);
    }
}

class FakeKonfigTarget : public IKonfigTarget {
public:
    QStringList Calls;
    void SetDepositsButtonEnabled(bool e) override { Calls << QStringLiteral("button %1").arg(e); }
    void SetReportsDepositsItem(bool k) override { Calls << QStringLiteral("reports %1").arg(k); }
    void HideDepositsWindows() override { Calls << QStringLiteral("hide"); }
};

class Konfig : public ::testing::Test {
protected:
    void AddGroup(TRxMemoryData &t)
    {
        t.Append();
        t.FieldByName("Numer").SetAsInteger(1);
        t.FieldByName("VAT").SetAsString("A");
        t.FieldByName("Nazwa").SetAsString("X");
        t.Post();
    }
    TSettings settings;
    TDM dm;
    FakeKonfigTarget target;
    TKonfigLogic logic{settings, dm, &target};
};

TEST_F(Konfig, FirstRunDisablesBothButtonsUntilDepositsChoiceIsMade)
{
    settings.FirstRun = true;
    TKonfigLogic::State state;
    logic.Prepare(state);
    EXPECT_EQ(state.KasaItem, 6);
    EXPECT_EQ(state.KaucjeItem, -1);
    EXPECT_FALSE(state.OkEnabled);
    EXPECT_FALSE(state.CancelEnabled);
    EXPECT_FALSE(logic.CanClose());
    EXPECT_FALSE(logic.Confirm(state));
    EXPECT_TRUE(settings.FirstRun);

    state.KaucjeItem = 0;
    logic.Change(state);
    EXPECT_TRUE(state.OkEnabled);
    EXPECT_FALSE(state.CancelEnabled);
}

TEST_F(Konfig, ConfirmingAppliesTheProfileAndEmptiesTheEditorTablesOnly)
{
    settings.FirstRun = true;
    AddGroup(dm.MDGrupy);
    AddGroup(dm.MDGrupyWKasie);
    dm.Modified = false;
    TKonfigLogic::State state;
    logic.Prepare(state);
    state.KaucjeItem = 1;
    ASSERT_TRUE(logic.Confirm(state));
    EXPECT_FALSE(settings.FirstRun);
    EXPECT_EQ(settings.Kasa, 5);
    EXPECT_TRUE(settings.Kaucje);
    EXPECT_EQ(dm.RegisterProfile.ModelCode, QStringLiteral("277PSP"));
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 0);
    EXPECT_EQ(dm.MDGrupyWKasie.RecordCount(), 1);
    EXPECT_TRUE(dm.Modified);
    const QString button = QStringLiteral("button %1").arg(dm.RegisterProfile.DepositsTable);
    QStringList expected{button, QStringLiteral("reports 1")};
    if (!dm.RegisterProfile.DepositsTable)
        expected << QStringLiteral("hide");
    EXPECT_EQ(target.Calls, expected);
}

TEST_F(Konfig, WithoutDepositsTheDepositsWindowsAreHiddenAndTheReportItemOff)
{
    settings.FirstRun = false;
    TKonfigLogic::State state;
    logic.Prepare(state);
    state.KaucjeItem = 0;
    ASSERT_TRUE(logic.Confirm(state));
    EXPECT_FALSE(dm.RegisterProfile.DepositsTable);
    EXPECT_EQ(target.Calls, (QStringList{QStringLiteral("button 0"), QStringLiteral("reports 0"), QStringLiteral("hide")}));
}

TEST_F(Konfig, CancelAfterOpeningKeepsTheOldProfileButJobsNameTheNewModel)
{
    settings.FirstRun = false;
    settings.Kasa = 1;
    dm.ApplyProfile(1, true, 0);
    TKonfigLogic::State state;
    logic.Prepare(state);
    EXPECT_EQ(state.KasaItem, 6);
    EXPECT_EQ(state.KaucjeItem, 1);
    EXPECT_TRUE(state.OkEnabled);
    EXPECT_TRUE(state.CancelEnabled);
    EXPECT_TRUE(logic.CanClose());
    // Cancelled: nothing else happens.
    EXPECT_EQ(dm.RegisterProfile.Kasa, 1);
    EXPECT_EQ(settings.Kasa, 5);
    EXPECT_EQ(ModelCodeOf(settings.Kasa), QStringLiteral("277PSP"));
}

TEST_F(Konfig, FirstRunDialogRefusesClosingAndEnablesOkOnChoice)
{
    TestApp();
    settings.FirstRun = true;
    TFormKonfig form(logic);
    form.show();
    EXPECT_FALSE(Child<QComboBox>(form, "CBKasa")->isEnabled());
    EXPECT_EQ(Child<QComboBox>(form, "CBKasa")->currentText(), QStringLiteral("ER-A277PS Plus"));
    EXPECT_EQ(Child<QComboBox>(form, "CBKaucje")->currentIndex(), -1);
    EXPECT_FALSE(Child<QPushButton>(form, "BBOk")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(form, "BBCancel")->isEnabled());
    EXPECT_EQ(Child<QPushButton>(form, "BBOk")->text(), QStringLiteral("&OK"));

    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    QMetaObject::invokeMethod(&form, "reject");
    EXPECT_TRUE(form.isVisible());

    Child<QComboBox>(form, "CBKaucje")->setCurrentIndex(0);
    EXPECT_TRUE(Child<QPushButton>(form, "BBOk")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(form, "BBCancel")->isEnabled());
    Child<QPushButton>(form, "BBOk")->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(settings.FirstRun);
    EXPECT_FALSE(settings.Kaucje);
}

TEST_F(Konfig, DialogHasAFixedBorder)
{
    TestApp();
    settings.FirstRun = false;
    TFormKonfig form(logic);
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Konfiguracja"));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.size(), form.minimumSize());
    form.hide();
}

// Confirming either dialog writes the settings file at once: a run that
// never reaches its exit keeps what was chosen.
TEST(KonfigUstawienia, ConfirmingWritesTheSettingsAtOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TSettingsEnv env;
    env.TempDir = env.ConfigDir = dir.path();
    const auto startUp = [&env] {
        TSettings s;
        SettingsStartUp(s, env, {});
        return s;
    };
    TSettings settings = startUp();
    ASSERT_TRUE(settings.FirstRun);
    TDM dm;
    TKonfigLogic konfig{settings, dm, nullptr};

    TUstawieniaState port;
    port.PortButton = TUstawieniaState::Other;
    port.PortName = QStringLiteral("/dev/ttyUSB0");
    port.SpeedItem = 3;
    ConfirmUstawienia(port, settings);
    TSettings stored = startUp();
    EXPECT_TRUE(stored.FirstRun); // the configuration is still to be chosen
    EXPECT_EQ(stored.portname, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(stored.baud, 2400);

    TKonfigLogic::State state;
    konfig.Prepare(state);
    state.KaucjeItem = 0;
    ASSERT_TRUE(konfig.Confirm(state));
    stored = startUp();
    EXPECT_FALSE(stored.FirstRun);
    EXPECT_EQ(stored.Kasa, 5);
    EXPECT_FALSE(stored.Kaucje);
    EXPECT_EQ(stored.portname, QStringLiteral("/dev/ttyUSB0"));
}
