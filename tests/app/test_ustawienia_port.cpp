// The port name edit of the transmission settings: a typed name is used,
// and an empty one is reported once, without swallowing a click.
#include "data/UGlobals.h"
#include "app/UUstawienia.h"
#include "app_test_util.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

void Key(QWidget *w, int key, const QString &text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

void Type(QWidget *w, const QString &text)
{
    for (QChar c : text)
        Key(w, c.toUpper().unicode(), QString(c));
}

struct PortDialog : ::testing::Test {
    PortDialog()
    {
        TestApp();
        s.portname = QStringLiteral("COM1");
        s.baud = 9600;
        form = std::make_unique<TFormUstawienia>(s);
        form->show();
        QApplication::setActiveWindow(form.get());
        edit = Child<QLineEdit>(*form, "EdPortName");
        ok = Child<QPushButton>(*form, "BBOK");
    }
    // Focus into the edit and empty it by keys, as a user does.
    void EmptyTheEdit()
    {
        edit->setFocus(Qt::MouseFocusReason);
        edit->selectAll();
        Type(edit, QStringLiteral("x"));
        Key(edit, Qt::Key_Backspace);
        ASSERT_TRUE(edit->text().isEmpty());
    }
    TFakeMessages boxes;
    TScopedMessages scoped{&boxes};
    TSettings s;
    std::unique_ptr<TFormUstawienia> form;
    QLineEdit *edit = nullptr;
    QPushButton *ok = nullptr;
    const QStringList once{QStringLiteral("error: Nazwa portu nie może być pusta !")};
};

} // namespace

TEST(PortNameExit, MessageOnlyWhenNothingElseReportsIt)
{
    struct Case {
        const char *text;
        bool byReturn, towardsButton, message;
    };
    const Case cases[] = {
        {"", false, false, true},  {"", true, false, false}, {"", false, true, false},
        {"ttyUSB0", false, false, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PortNameExitNeedsMessage(QString::fromUtf8(c.text), c.byReturn, c.towardsButton), c.message)
            << c.text << c.byReturn << c.towardsButton;
}

TEST_F(PortDialog, TypedNameSelectsItsButtonAndOneClickStoresIt)
{
    ASSERT_TRUE(Child<QRadioButton>(*form, "RBP1")->isChecked());
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    Type(edit, QStringLiteral("ttyUSB0"));
    EXPECT_TRUE(Child<QRadioButton>(*form, "RBPother")->isChecked());
    ok->click();
    EXPECT_EQ(s.portname, QStringLiteral("ttyUSB0"));
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_TRUE(boxes.Log.isEmpty());
}

TEST_F(PortDialog, ReturnInAnEmptiedEditReportsOnce)
{
    EmptyTheEdit();
    form->setResult(QDialog::Rejected);
    Key(edit, Qt::Key_Return);
    EXPECT_EQ(boxes.Log, once);
    EXPECT_EQ(s.portname, QStringLiteral("COM1"));
    EXPECT_EQ(form->result(), QDialog::Rejected);
}

TEST_F(PortDialog, LeavingTowardsOkLetsTheClickThroughAndReportsOnce)
{
    EmptyTheEdit();
    ok->setFocus(Qt::MouseFocusReason); // the press of a click on OK
    EXPECT_TRUE(boxes.Log.isEmpty());   // no box to swallow the click
    ok->click();
    EXPECT_EQ(boxes.Log, once);

    // Leaving elsewhere still reports it.
    boxes.Log.clear();
    EmptyTheEdit();
    Child<QRadioButton>(*form, "RBP2")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(boxes.Log, once);
}

namespace {

// Port A is silent, B answers at 4800 b/s, C is held by another program.
void FakeQuery(const TProbe &p, const std::string &, TKOMDisplay &display, TModuleResult &r)
{
    r.CodePage = 'W';
    r.Code = p.Port == "B" && p.Baud == 4800 ? 0 : 0x1002;
    if (p.Port == "C") {
#ifdef _WIN32
        // Windows refuses a held port as access denied.
        display.WriteLine("Blad(5) otwarcia portu \\\\.\\C. Odmowa dostępu.");
#else
        display.WriteLine("Blad(16) otwarcia portu /dev/null. Device or resource busy");
#endif
        r.Code = 0x1000;
    }
    r.Text = r.Code ? "Kasa nie odpowiada" : "";
}

QStringList Collected(TPortFinder &finder)
{
    finder.Wait();
    QStringList lines;
    EXPECT_FALSE(finder.Poll(lines));
    lines.sort();
    return lines;
}

TEST(PortFinder, SearchListsEachPortAndSelectsTheFoundOne)
{
    TPortFinder finder(FakeQuery);
    finder.StartSearch({"A", "B", "C"}, 1);
    EXPECT_EQ(Collected(finder), QStringList({"A: brak odpowiedzi", "B: kasa nr 1 odpowiada, 4800 b/s",
                                              "C: zajęty przez inny program"}));
    ASSERT_TRUE(finder.Found());
    const TUstawieniaState state = StateOfFound(*finder.Found(), TUstawieniaState{});
    EXPECT_EQ(state.PortButton, TUstawieniaState::Other);
    EXPECT_EQ(state.PortName, "B");
    EXPECT_EQ(state.SpeedItem, 2);
    TProbeResult com2;
    com2.Port = "com2";
    com2.Baud = 19200;
    EXPECT_EQ(StateOfFound(com2, {}).PortButton, TUstawieniaState::P2);
}

TEST(PortFinder, CheckAnswersInPlainPolish)
{
    const struct {
        const char *port;
        int baud;
        QString answer;
    } cases[] = {
        {"B", 4800, "Kasa nr 1 odpowiada na porcie B (4800 b/s)"},
        {"A", 9600, "Kasa nie odpowiada\nSprawdź, czy kasa jest włączona i podłączona do portu A i czy ma "
                    "ustawioną prędkość 9600 b/s, albo użyj przycisku „Szukaj kasy”."},
        {"C", 9600, "Port C jest zajęty przez inny program.\nZamknij ten program i sprawdź ponownie."},
    };
    for (const auto &c : cases) {
        TPortFinder finder(FakeQuery);
        finder.StartCheck(QString::fromLatin1(c.port), c.baud, 1);
        EXPECT_EQ(Collected(finder), QStringList{c.answer});
    }
}

} // namespace
