// The editor windows and in-register views as thin shells: keys reach the
// commands, the selection reaches Ctrl+Delete, reads from a view leave the
// editor alone, the column layout survives a restart, a refused record
// keeps the window open, and the read dialog's box comes back.
#include "editors/UEditorColumns.h"
#include "editors/UGrupy.h"
#include "editors/UKaucje.h"
#include "editors/UKody.h"
#include "editors/UOdczyt.h"

#include "editors_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSettings>
#include <memory>

namespace {

class EditorWindows : public EditorWindowTest {
public:
    static void Key(QWidget *w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(w, &press);
    }
    template <class W> std::unique_ptr<W> Open()
    {
        auto w = std::make_unique<W>();
        w->Attach(env);
        w->show();
        return w;
    }
    QString CurrentField(const TTableForm &w) const
    {
        const QModelIndex i = w.Grid()->currentIndex();
        return i.isValid() ? w.Grid()->Model()->Column(i.column()).FieldName : QString();
    }
    // Where the keyboard goes: the open cell editor, else the grid.
    static QWidget *Typing(TKvDBGrid *grid)
    {
        QWidget *editor = grid->indexWidget(grid->currentIndex());
        return editor ? editor : grid;
    }
    static void Type(TKvDBGrid *grid, const QString &text)
    {
        for (QChar c : text)
            QTest::keyClicks(Typing(grid), QString(c));
    }
    static int Column(TKvDBGrid *grid, const char *field) { return grid->Model()->ColumnOfField(field); }
    static void Click(TKvDBGrid *grid, int row, const char *field)
    {
        const QRect cell = grid->visualRect(grid->Model()->index(row, Column(grid, field)));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // The groups editor (its cell editor always open) or the codes editor,
    // with records named so and the cursor in the last one's field.
    std::unique_ptr<TTableForm> OpenOn(TExchangeTable table, const QStringList &names, const char *field)
    {
        std::unique_ptr<TTableForm> w;
        if (table == TExchangeTable::Grupy)
            w = Open<TFormGrupy>();
        else
            w = Open<TFormKody>();
        TRxMemoryData &t = w->Commands()->Table();
        t.EmptyTable();
        for (int i = 0; i < names.size(); ++i)
            AddRow(t, QStringList{"Numer", QString::number(i + 1), "Nazwa", names[i], "Grupa", "1"}.mid(
                          0, &t == &dm.MDKody ? 6 : 4));
        QApplication::setActiveWindow(w.get());
        TTableModel *m = w->Grid()->Model();
        w->Grid()->setFocus();
        w->Grid()->setCurrentIndex(m->index(int(names.size()) - 1, Column(w->Grid(), field)));
        return w;
    }
};

struct AddCase {
    const char *Name;
    std::function<std::unique_ptr<TTableForm>(EditorWindows &)> Make;
    const char *Last;          // number of the last record before Enter
    const char *NewNumber;     // shown number of the new record
    const char *FocusField;
};

class EnterAdds : public EditorWindows, public ::testing::WithParamInterface<AddCase> {};

TEST_P(EnterAdds, TheNextRecordWithTheCursorInItsField)
{
    const AddCase &p = GetParam();
    std::unique_ptr<TTableForm> w = p.Make(*this);
    TRxMemoryData &t = w->Commands()->Table();
    if (&t == &dm.MDKody)
        AddRow(t, {"Numer", p.Last, "Grupa", "3", "RodzajCeny", "W"});
    else
        AddRow(t, {"Numer", p.Last, "Cena", "1"});
    t.Last();
    Key(w->Grid(), Qt::Key_Return);
    ASSERT_EQ(t.State(), TDataSetState::Insert) << messages.Log.join(u'|').toStdString();
    EXPECT_EQ(t.FieldByName("Numer").DisplayText(), QString::fromLatin1(p.NewNumber));
    EXPECT_EQ(CurrentField(*w), QString::fromLatin1(p.FocusField));
    EXPECT_EQ(w->Grid()->currentIndex().row(), 1);
    // Leaving the row keeps what Add filled in.
    EXPECT_TRUE(w->EndPendingEdit());
    EXPECT_EQ(t.RecordCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Editors, EnterAdds,
    ::testing::Values(
        AddCase{"Grupy", [](EditorWindows &f) -> std::unique_ptr<TTableForm> { return f.Open<TFormGrupy>(); }, "7", "8", "Nazwa"},
        AddCase{"Kody", [](EditorWindows &f) -> std::unique_ptr<TTableForm> { return f.Open<TFormKody>(); }, "41", "42", "Nazwa"},
        AddCase{"Kaucje", [](EditorWindows &f) -> std::unique_ptr<TTableForm> { return f.Open<TFormKaucje>(); }, "3", "4", "Cena"}),
    [](const ::testing::TestParamInfo<AddCase> &i) { return std::string(i.param.Name); });

TEST_F(EditorWindows, TypingReplacesACellsTextUnlessF2OrADoubleClickOpenedIt)
{
    const struct {
        TExchangeTable table;
        QString before, typed, result;
    } cases[] = {
        {TExchangeTable::Grupy, "click", "NAPOJE", "NAPOJE"}, {TExchangeTable::Grupy, "F2", " B", "GRUPA 4 B"},
        {TExchangeTable::Grupy, "double-click", " B", "GRUPA 4 B"}, {TExchangeTable::Kody, "", "NAPOJE", "NAPOJE"},
        {TExchangeTable::Kody, "F2", " B", "GRUPA 4 B"}, {TExchangeTable::Kody, "double-click", " B", "GRUPA 4 B"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.before.toStdString() + (c.table == TExchangeTable::Grupy ? " in groups" : " in codes"));
        std::unique_ptr<TTableForm> w = OpenOn(c.table, {"GRUPA 4"}, "Nazwa");
        TKvDBGrid *grid = w->Grid();
        // The mouse lands on the open editor, or on the cell; a double-click
        // comes as a click, then the double-click.
        QWidget *target = Typing(grid) == grid ? grid->viewport() : Typing(grid);
        const QPoint at = target == grid->viewport() ? grid->visualRect(grid->currentIndex()).center() : QPoint(5, 5);
        if (c.before.endsWith("click"))
            QTest::mouseClick(target, Qt::LeftButton, {}, at);
        if (c.before == "double-click")
            QTest::mouseDClick(target, Qt::LeftButton, {}, at);
        if (c.before == "F2")
            QTest::keyClick(Typing(grid), Qt::Key_F2);
        Type(grid, c.typed);
        grid->CommitEditor();
        EXPECT_EQ(w->Commands()->Table().FieldByName("Nazwa").AsString(), c.result);
    }
    EXPECT_TRUE(messages.Log.isEmpty()) << messages.Log.join(u'|').toStdString();
}

// Tab, Shift+Tab and clicks between the cells of a new record; leaving it
// is what runs the required-field check.
TEST_F(EditorWindows, MovingBetweenTheCellsOfANewRecordChecksNothing)
{
    for (TExchangeTable table : {TExchangeTable::Grupy, TExchangeTable::Kody}) {
        SCOPED_TRACE(int(table));
        messages.Log.clear();
        std::unique_ptr<TTableForm> w = OpenOn(table, {"A", "B"}, "Nazwa");
        TKvDBGrid *grid = w->Grid();
        QTest::keyClick(grid, Qt::Key_Insert);
        Type(grid, "NOWY");
        // The new record, the cursor shown in its cell, no row selected.
        const auto stillThere = [&](const char *field) {
            EXPECT_EQ(w->Commands()->Table().State(), TDataSetState::Insert);
            EXPECT_TRUE(grid->currentIndex() == grid->Model()->index(1, Column(grid, field))) << field;
            EXPECT_TRUE(grid->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == grid);
            EXPECT_TRUE(grid->selectionModel()->selectedRows().isEmpty());
        };
        QTest::keyClick(Typing(grid), Qt::Key_Backtab, Qt::ShiftModifier);
        stillThere("Numer");
        QTest::keyClick(Typing(grid), Qt::Key_Tab);
        QTest::keyClick(Typing(grid), Qt::Key_Tab);
        QTest::keyClick(Typing(grid), Qt::Key_Backtab, Qt::ShiftModifier);
        stillThere("Nazwa");
        Click(grid, 1, "Cena");
        stillThere("Cena");
        Click(grid, 1, "Numer");
        stillThere("Numer");
        EXPECT_TRUE(messages.Log.isEmpty()) << messages.Log.join(u'|').toStdString();

        // Shift+Tab out of its first cell leaves it: refused, and back in that cell.
        QTest::keyClick(Typing(grid), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(messages.Log, QStringList{"error: Pole \"Numer\" musi posiadać wartość"});
        stillThere("Numer");
        w->Commands()->Table().Cancel();
    }
}

TEST_F(EditorWindows, CellEditorsHoldTheFieldWholeAndAPasteTooLongIsSaid)
{
    std::unique_ptr<TTableForm> w = OpenOn(TExchangeTable::Kody, {"CHLEB"}, "Nazwa");
    TKvDBGrid *grid = w->Grid();
    Type(grid, "CHLEB PSZENNY KROJONY");
    auto *edit = qobject_cast<QLineEdit *>(Typing(grid));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->text(), "CHLEB PSZENNY KR");
    QGuiApplication::clipboard()->setText(QStringLiteral("BUŁKA MAŚLANA Z ROZYNKAMI"));
    edit->selectAll();
    QTest::keySequence(edit, QKeySequence::Paste);
    QCoreApplication::processEvents();
    EXPECT_EQ(edit->text(), "CHLEB PSZENNY KR");
    EXPECT_EQ(messages.Log, QStringList{"error: Za długi tekst: pole \"Nazwa\" mieści najwyżej 16 znaków, a po "
                                        "wklejeniu byłoby ich 25. Tekstu nie wklejono."});

    // The price-kind list shows "Wprowadz." whole.
    grid->setCurrentIndex(grid->Model()->index(0, Column(grid, "RodzajCeny")));
    QTest::keyClick(grid, Qt::Key_F2);
    auto *combo = qobject_cast<QComboBox *>(Typing(grid));
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->itemText(1), "Wprowadz.");
    EXPECT_GE(combo->width(), combo->sizeHint().width());
}

TEST_F(EditorWindows, CtrlDeleteRemovesTheSelectedCodesOrElseTheCurrentOne)
{
    auto w = Open<TFormKody>();
    for (int n = 1; n <= 6; ++n)
        AddRow(dm.MDKody, {"Numer", QString::number(n), "Grupa", "1"});
    TKvDBGrid *grid = w->Grid();
    for (int row : {4, 0, 2})
        grid->selectionModel()->select(grid->Model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_EQ(grid->SelectedRows().size(), 3u);
    EXPECT_EQ(grid->SelectedRows().front(), dm.MDKody.BookmarkAt(4)); // in the order selected
    Key(grid, Qt::Key_Delete, Qt::ControlModifier);
    QStringList left;
    for (int row = 0; row < dm.MDKody.RecordCount(); ++row)
        left << dm.MDKody.FieldByName("Numer").DisplayTextAt(row);
    EXPECT_EQ(left, (QStringList{"2", "4", "6"}));
    EXPECT_TRUE(grid->SelectedRows().empty());

    dm.MDKody.SetRecNo(2);
    w->Action("MIUsun")->trigger();
    EXPECT_EQ(dm.MDKody.RecordCount(), 2);
    EXPECT_TRUE(messages.Log.isEmpty()) << messages.Log.join(u'|').toStdString();
}

TEST_F(EditorWindows, InsertKeyAddsARowBeforeTheCurrentOneThatIsDroppedUntouched)
{
    auto w = Open<TFormKaucje>();
    AddRow(dm.MDKaucje, {"Numer", "1", "Cena", "0,5"});
    AddRow(dm.MDKaucje, {"Numer", "2", "Cena", "1"});
    dm.MDKaucje.SetRecNo(2);
    dm.Modified = false;
    Key(w->Grid(), Qt::Key_Insert);
    ASSERT_EQ(dm.MDKaucje.State(), TDataSetState::Insert);
    EXPECT_EQ(w->Grid()->Model()->PendingInsertRow(), 1);
    EXPECT_EQ(w->Grid()->currentIndex().row(), 1);
    EXPECT_TRUE(w->EndPendingEdit());
    EXPECT_EQ(dm.MDKaucje.RecordCount(), 2);
    EXPECT_FALSE(dm.Modified);
}

TEST_F(EditorWindows, TheColumnLayoutSurvivesARestart)
{
    const QString ini = folder.filePath(QStringLiteral("Orvan277PSP.INI"));
    QString saved;
    {
        auto w = Open<TFormGrupy>();
        QHeaderView *h = w->Grid()->horizontalHeader();
        h->moveSection(h->visualIndex(w->Grid()->Model()->ColumnOfField("Cena")), 0);
        h->resizeSection(w->Grid()->Model()->ColumnOfField("Nazwa"), 177);
        saved = w->Grid()->ColumnsLayout();
        w->SaveExtras(ini, QStringLiteral("FormGrupy"));
    }
    EXPECT_TRUE(saved.startsWith(QStringLiteral("Cena:")));
    EXPECT_TRUE(QSettings(ini, QSettings::IniFormat).contains(QStringLiteral("FormGrupy/GridGrupy.Columns")));
    // The program restores placements as it creates the windows, before they are bound.
    TFormGrupy again;
    again.RestoreExtras(ini, QStringLiteral("FormGrupy"));
    again.Attach(env);
    EXPECT_EQ(again.Grid()->ColumnsLayout(), saved);
}

TEST_F(EditorWindows, ARefusedPendingRecordKeepsTheWindowOpen)
{
    auto w = Open<TFormGrupy>();
    AddRow(dm.MDGrupy, {"Numer", "1"});
    TTableModel *m = w->Grid()->Model();
    ASSERT_TRUE(m->setData(m->index(0, m->ColumnOfField("Numer")), QString()));
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(messages.Log, QStringList{"error: Pole \"Numer\" musi posiadać wartość"});
    ASSERT_TRUE(m->setData(m->index(0, m->ColumnOfField("Numer")), QStringLiteral("2")));
    EXPECT_TRUE(w->close());
}

// A register's answer to a groups read with counters: group 5 "Pieczywo".
const QString PieczywoLine = QStringLiteral(
    " 5,02, 8,00,     2.50,Pieczywo        ,       123.40,    2.000,       500.00,   10.000,");

TEST_F(EditorWindows, AReadFromTheInRegisterViewLeavesTheEditorAlone)
{
    AddRow(dm.MDGrupy, {"Numer", "1", "Nazwa", "Mleko"});
    dm.Modified = false;
    jobs.File = env.GrupyFile;
    jobs.Lines = {PieczywoLine};
    dialogs.WithCounters = true;
    auto view = Open<TFormGrupyWKasie>();
    EXPECT_FALSE(view->Grid()->Model()->flags(view->Grid()->Model()->index(0, 1)) & Qt::ItemIsEditable);
    view->Action("MIOdczytaj")->trigger();
    EXPECT_EQ(dialogs.ReadForView, QList<bool>{true});
    ASSERT_EQ(jobs.Jobs.size(), 1);
    EXPECT_EQ(jobs.Jobs[0], "/Fgrupy.txt /T01 /AABDEIJ /XU");
    ASSERT_EQ(view->Grid()->Model()->rowCount(), 1) << messages.Log.join(u'|').toStdString();
    EXPECT_EQ(view->Grid()->Model()->data(view->Grid()->Model()->index(0, 1)).toString(), "Pieczywo");
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 1);
    EXPECT_EQ(dm.MDGrupy.FieldByName("Nazwa").ValueAt(0), TFieldValue(QStringLiteral("Mleko")));
    EXPECT_FALSE(dm.Modified);
    EXPECT_FALSE(QFile::exists(env.GrupyFile));

    // The editor's own read takes the groups in, and shows the totals; its
    // menu brings the view forward.
    auto editor = Open<TFormGrupy>();
    view->hide();
    editor->SetInRegisterView(view.get());
    editor->Action("MIWKasie")->trigger();
    EXPECT_TRUE(view->isVisible());
    editor->Action("MIOdczytaj")->trigger();
    ASSERT_EQ(dm.MDGrupy.RecordCount(), 1);
    EXPECT_EQ(dm.MDGrupy.FieldByName("Nazwa").ValueAt(0), TFieldValue(QStringLiteral("Pieczywo")));
    EXPECT_TRUE(dm.Modified);
    EXPECT_EQ(editor->Grid()->Model()->rowCount(), 1);
    EXPECT_EQ(messages.Log.value(0), QStringLiteral("info: Łączna odczytana sprzedaż wynosi: \r\ndzienna: ")
                                         + FormatCurrencyDisplay(Currency::FromUnits(1234000)) + QStringLiteral("\r\nokresowa: ")
                                         + FormatCurrencyDisplay(Currency::FromUnits(5000000)));
}

TEST_F(EditorWindows, AFailedJobChangesNothingInTheEditor)
{
    AddRow(dm.MDKody, {"Numer", "5", "Nazwa", "Masło", "Grupa", "1"});
    jobs.Fail = true;
    auto w = Open<TFormKody>();
    w->Action("MIOdczytaj")->trigger();
    w->Action("MIWyslij")->trigger();
    EXPECT_EQ(jobs.Jobs.size(), 2);
    EXPECT_EQ(dm.MDKody.RecordCount(), 1);
    EXPECT_EQ(dm.MDKody.FieldByName("Nazwa").ValueAt(0), TFieldValue(QStringLiteral("Masło")));
    EXPECT_FALSE(QFile::exists(env.KodyFile));
    EXPECT_TRUE(messages.Log.isEmpty()) << messages.Log.join(u'|').toStdString();
}

struct ReadBox {
    bool ForView;
    bool BoxBefore;
    bool ClearFirst;    // what the read is told
    bool ShownEnabled;  // the box while the dialog is up
};

class ReadDialog : public EditorWindows, public ::testing::WithParamInterface<ReadBox> {};

TEST_P(ReadDialog, ForAViewTheClearBoxIsOffAndComesBackAfterwards)
{
    const ReadBox &p = GetParam();
    TFormOdczyt d;
    QCheckBox *box = d.findChild<QCheckBox *>(QStringLiteral("CBUsunPrzedTransmisja"));
    ASSERT_NE(box, nullptr);
    box->setChecked(p.BoxBefore);
    bool shownChecked = true, shownEnabled = false;
    d.OnExec = [&](TFormOdczyt &) {
        shownChecked = box->isChecked();
        shownEnabled = box->isEnabled();
        return true;
    };
    bool clearFirst = !p.ClearFirst, withCounters = false;
    ASSERT_TRUE(d.Execute(p.ForView, clearFirst, withCounters));
    EXPECT_EQ(clearFirst, p.ClearFirst);
    EXPECT_TRUE(withCounters);
    EXPECT_EQ(shownEnabled, p.ShownEnabled);
    if (p.ForView) {
        EXPECT_FALSE(shownChecked);
    }
    EXPECT_EQ(box->isChecked(), p.BoxBefore);
    EXPECT_TRUE(box->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Boxes, ReadDialog,
                         ::testing::Values(ReadBox{true, true, false, false}, ReadBox{true, false, false, false},
                                           ReadBox{false, true, true, true}, ReadBox{false, false, false, true}));

} // namespace

namespace {

TEST_F(EditorWindows, SelectedCodesStaySelectedAcrossBulkWork)
{
    auto w = Open<TFormKody>();
    for (const char *n : {"5", "3", "9", "1"})
        AddRow(dm.MDKody, {"Numer", n, "Grupa", "1"});
    TKvDBGrid *grid = w->Grid();
    for (int row : {2, 0})
        grid->selectionModel()->select(grid->Model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const std::vector<TBookmark> before = grid->SelectedRows();
    dm.CheckTable(*grid, QStringLiteral("Numer"), QStringLiteral("x"), true);
    grid->Model()->sort(grid->Model()->ColumnOfField("Numer"));
    EXPECT_EQ(grid->SelectedRows(), before);
    QStringList shown;
    for (const QModelIndex &i : grid->selectionModel()->selectedRows())
        shown << grid->Model()->data(i).toString();
    shown.sort();
    EXPECT_EQ(shown, (QStringList{"5", "9"}));
}

TEST_F(EditorWindows, TheVatListFollowsTheProfileWhenTheWindowIsActivated)
{
    auto w = Open<TFormGrupy>();
    dm.ApplyProfile(1, false, 0); // ER-A275P: A to F and Z
    QApplication::setActiveWindow(w.get());
    QApplication::processEvents();
    if (!w->isActiveWindow())
        GTEST_SKIP() << "the platform does not activate windows";
    const int vat = w->Grid()->Model()->ColumnOfField("VAT");
    EXPECT_EQ(w->Grid()->Model()->Column(vat).PickList, (QStringList{"A", "B", "C", "D", "E", "F", "Z"}));
}

} // namespace
