// The duplicate-names window: its grid lists the search, a double-click
// brings the right editor forward on the right row, "&Odśwież" searches
// again with the last scope.
#include "data/UErrors.h"
#include "app/UFormPowtNazwy.h"
#include "data/ULocale.h"
#include "exchange/UUniqueNames.h"

#include "app_test_util.h"

#include <QAction>
#include <QMouseEvent>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

class FormPowtNazwyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        m_saved = FormatSettings();
        FormatSettings() = TFormatSettings::Polish();
        dm.ApplyProfile(5, true, 0);
        Add(dm.MDGrupy, {"Numer", "3", "Nazwa", "Mleko"});
        Add(dm.MDGrupy, {"Numer", "4", "Nazwa", "Chleb"});
        Add(dm.MDGrupy, {"Numer", "7", "Nazwa", "MLEKO"});
        Add(dm.MDKody, {"Numer", "12345678", "Nazwa", "Sok", "Grupa", "1"});
        Add(dm.MDKody, {"Numer", "41", "Nazwa", "CHLEB", "Grupa", "1"});
        dm.MDGrupy.First();
        dm.MDKody.First();
        window.Attach(dm, &messages, &grupy, &kody);
    }
    void TearDown() override { FormatSettings() = m_saved; }

    static void Add(TRxMemoryData &t, const QStringList &fieldsAndTexts)
    {
        t.Append();
        for (int i = 0; i + 1 < fieldsAndTexts.size(); i += 2)
            t.FieldByName(fieldsAndTexts[i]).SetText(fieldsAndTexts[i + 1]);
        t.Post();
    }
    QString Cell(int row, const char *field) const
    {
        const TTableModel *m = window.Grid()->Model();
        return m->data(m->index(row, m->ColumnOfField(QString::fromLatin1(field)))).toString();
    }

    QApplication &app = TestApp(); // before the windows below
    TFormatSettings m_saved;
    TDM dm;
    TFakeMessages messages;
    QWidget grupy, kody;
    TFormPowtNazwy window;
};

TEST_F(FormPowtNazwyTest, DoubleClickBringsTheRightEditorForwardOnTheRow)
{
    ASSERT_EQ(FindDuplicateNames(dm, DupScopeBoth), 4);
    ASSERT_EQ(window.Grid()->Model()->rowCount(), 4);
    EXPECT_EQ(window.Grid()->Model()->headerData(1, Qt::Horizontal).toString(), "widziana jako");
    EXPECT_EQ(window.Grid()->Model()->headerData(2, Qt::Horizontal).toString(), "Nr/Kod");
    window.show();
    // Sorted on the name as the register sees it: CHLEB (group 4, code 41), MLEKO (groups 3, 7).
    struct Expect {
        const char *Label;
        QWidget *Editor;
        TRxMemoryData *Table;
        const char *Number;
    };
    const Expect rows[] = {{"4", &grupy, &dm.MDGrupy, "4"},
                           {"41", &kody, &dm.MDKody, "41"},
                           {"3", &grupy, &dm.MDGrupy, "3"},
                           {"7", &grupy, &dm.MDGrupy, "7"}};
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(Cell(row, "Etykieta"), rows[row].Label);
        grupy.hide();
        kody.hide();
        const QRect cell = window.Grid()->visualRect(window.Grid()->Model()->index(row, 0));
        const QPoint at = cell.center();
        const QPoint global = window.Grid()->viewport()->mapToGlobal(at);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QMouseEvent twice(QEvent::MouseButtonDblClick, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        for (QMouseEvent *e : {&press, &release, &twice, &release})
            QApplication::sendEvent(window.Grid()->viewport(), e);
        EXPECT_TRUE(rows[row].Editor->isVisible());
        EXPECT_EQ(rows[row].Table->FieldByName("Numer").DisplayText(), rows[row].Number);
    }
    EXPECT_TRUE(messages.Log.isEmpty());
}

TEST_F(FormPowtNazwyTest, RefreshSearchesAgainWithTheLastScope)
{
    ASSERT_EQ(FindDuplicateNames(dm, DupScopeGroups), 2);
    dm.MDGrupy.First();
    dm.MDGrupy.Edit();
    dm.MDGrupy.FieldByName("Nazwa").SetText("Kefir");
    dm.MDGrupy.Post();
    window.findChild<QAction *>(QStringLiteral("MIOdswiez"))->trigger();
    EXPECT_EQ(window.Grid()->Model()->rowCount(), 0);
    EXPECT_EQ(dm.LastDupScope, int(DupScopeGroups));

    // Before any search both tables are searched.
    dm.LastDupScope = 0;
    window.findChild<QAction *>(QStringLiteral("MIOdswiez"))->trigger();
    EXPECT_EQ(window.Grid()->Model()->rowCount(), 2);
    EXPECT_EQ(Cell(0, "Gdzie"), "Grupy w edytorze");
    EXPECT_EQ(Cell(1, "Gdzie"), "Kody w edytorze");
}

TEST_F(FormPowtNazwyTest, RequireUniqueNamesShowsTheWindow)
{
    EXPECT_THROW(RefuseDuplicateNames(RequireUniqueNames(dm, DupScopeBoth), &window), Exception);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Grid()->Model()->rowCount(), 4);
    // It opens wide enough for its last column, the screen permitting.
    QApplication::processEvents();
    const TKvDBGrid *grid = window.Grid();
    const int last = grid->model()->columnCount() - 1;
    if (window.width() < window.screen()->availableGeometry().width())
        EXPECT_LE(grid->columnViewportPosition(last) + grid->columnWidth(last), grid->viewport()->width());
    else
        EXPECT_EQ(window.width(), window.screen()->availableGeometry().width());
}

} // namespace
