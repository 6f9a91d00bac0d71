// The find bar and the undo items of the editor windows: what the keys
// and menu items reach. The logic itself is tested in tests/exchange.
#include "editors_test_support.h"

#include "editors/UFindBar.h"
#include "editors/UGrupy.h"
#include "editors/UKaucje.h"
#include "editors/UKody.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

class FindUndoWindows : public EditorWindowTest {
public:
    template <class W> std::unique_ptr<TTableForm> Open()
    {
        auto w = std::make_unique<W>();
        w->Attach(env);
        w->show();
        return w;
    }
    static void Type(QWidget *w, const QString &text)
    {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
        }
    }
    static void Key(QWidget *w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(w, &press);
    }
};

} // namespace

TEST_F(FindUndoWindows, FindBarInEveryEditorAndView)
{
    AddRow(dm.MDGrupy, {"Numer", "1", "Nazwa", "Pieczywo"});
    AddRow(dm.MDGrupy, {"Numer", "2", "Nazwa", "Nabiał"});
    for (auto [n, name] : {std::pair{"1", "Chleb"}, {"19", "SER ŻÓŁTY"}, {"25", "Masło"}}) {
        AddRow(dm.MDKody, {"Numer", n, "Grupa", "1", "Nazwa", name});
        AddRow(dm.MDKodyWKasie, {"Numer", n, "Grupa", "1", "Nazwa", name});
    }
    AddRow(dm.MDKaucje, {"Numer", "1", "Cena", "0,50"});
    AddRow(dm.MDKaucje, {"Numer", "12", "Cena", "1,00"});
    struct Case {
        const char *name;
        std::function<std::unique_ptr<TTableForm>()> open;
        const char *text;
        int row;
    };
    const Case cases[] = {
        {"Grupy", [this] { return Open<TFormGrupy>(); }, "nabial", 1},
        {"Kody", [this] { return Open<TFormKody>(); }, "zolty", 1},
        {"Kody w kasie", [this] { return Open<TFormKodyWKasie>(); }, "masl", 2},
        {"Kaucje", [this] { return Open<TFormKaucje>(); }, "12", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto w = c.open();
        w->Grid()->Model()->Table().First();
        TFindBar *bar = w->FindBar();
        ASSERT_TRUE(bar->isHidden());
        QAction *find = w->findChild<QAction *>("MISzukaj");
        ASSERT_TRUE(find);
        EXPECT_EQ(find->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        find->trigger();
        EXPECT_FALSE(bar->isHidden());
        Type(bar->Edit(), QString::fromLatin1(c.text));
        EXPECT_EQ(w->Grid()->currentIndex().row(), c.row);
        EXPECT_TRUE(w->Grid()->selectionModel()->isRowSelected(c.row)); // not only the row header's arrow
        EXPECT_EQ(w->Grid()->selectionModel()->selectedRows().size(), 1);
        EXPECT_EQ(bar->CountLabel()->text(), "Znalezione: 1");
        EXPECT_TRUE(bar->Edit()->styleSheet().isEmpty());

        Type(bar->Edit(), "qq");
        EXPECT_EQ(bar->CountLabel()->text(), "Nie znaleziono");
        EXPECT_FALSE(bar->Edit()->styleSheet().isEmpty());
        EXPECT_EQ(w->Grid()->currentIndex().row(), c.row);

        Key(bar->Edit(), Qt::Key_Escape);
        EXPECT_TRUE(bar->isHidden());
        EXPECT_TRUE(messages.Log.isEmpty()) << messages.Log.join(u'|').toStdString();
    }
}

TEST_F(FindUndoWindows, F3AndShiftF3WalkTheMatches)
{
    for (auto [n, name] : {std::pair{"1", "Ser biały"}, {"2", "Chleb"}, {"3", "Ser żółty"}})
        AddRow(dm.MDKody, {"Numer", n, "Grupa", "1", "Nazwa", name});
    auto w = Open<TFormKody>();
    w->findChild<QAction *>("MISzukaj")->trigger();
    Type(w->FindBar()->Edit(), "ser");
    EXPECT_EQ(w->FindBar()->CountLabel()->text(), "Znalezione: 2");
    EXPECT_EQ(w->findChild<QAction *>("MISzukajNastepny")->shortcut(), QKeySequence(Qt::Key_F3));
    EXPECT_EQ(w->findChild<QAction *>("MISzukajPoprzedni")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F3));
    const int rows[] = {2, 0};
    w->findChild<QAction *>("MISzukajNastepny")->trigger();
    EXPECT_EQ(dm.MDKody.CurrentRow(), rows[0]);
    EXPECT_EQ(w->Grid()->SelectedRows(), std::vector<TBookmark>{dm.MDKody.BookmarkAt(rows[0])});
    w->findChild<QAction *>("MISzukajPoprzedni")->trigger();
    EXPECT_EQ(dm.MDKody.CurrentRow(), rows[1]);
    EXPECT_EQ(dm.MDKody.RecordCount(), 3);
}

TEST_F(FindUndoWindows, UndoAndRedoItemsOfTheEditMenu)
{
    for (int n = 1; n <= 4; ++n)
        AddRow(dm.MDKody, {"Numer", QString::number(n), "Grupa", "1"});
    dm.Modified = false;
    auto w = Open<TFormKody>();
    QAction *undo = w->Action("MICofnij");
    QAction *redo = w->Action("MIPonow");
    ASSERT_TRUE(undo && redo);
    EXPECT_EQ(undo->text(), "Cofnij");
    EXPECT_EQ(redo->text(), "Ponów");
    EXPECT_EQ(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(redo->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}));
    messages.Answers.push_back(TPromptAnswer::Yes);
    w->Action("MIUsunWszystkie")->trigger();
    EXPECT_TRUE(dm.MDKody.IsEmpty());
    EXPECT_TRUE(dm.Modified);
    undo->trigger();
    EXPECT_EQ(dm.MDKody.RecordCount(), 4);
    EXPECT_EQ(w->Grid()->Model()->rowCount(), 4);
    EXPECT_FALSE(dm.Modified);
    redo->trigger();
    EXPECT_TRUE(dm.MDKody.IsEmpty());
    EXPECT_EQ(w->Grid()->Model()->rowCount(), 0);
    // The send of the changed codes is an item of the codes editor only.
    EXPECT_TRUE(w->Action("MIWyslijZmienione"));
    EXPECT_EQ(w->Action("MIWyslijZmienione")->text(), "Wyślij zmienione kody do kasy");
    auto groups = Open<TFormGrupy>();
    EXPECT_FALSE(groups->Action("MIWyslijZmienione"));
    EXPECT_TRUE(groups->Action("MICofnij"));
}
