// The table model and the grid on the data module's tables: texts through
// the fields' conversions, refusals, colours from the record checks, the
// pending insert row, one reset for bulk work, sorting, keys, the untouched
// new row and read-only columns.
#include "editors/UEditorColumns.h"
#include "editors/UKvDBGrid.h"
#include "data/ULocale.h"

#include "editors_test_support.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <memory>

namespace {

// How often a signal came.
template <class Obj, class Sig> std::shared_ptr<int> Count(Obj *object, Sig signal)
{
    auto n = std::make_shared<int>(0);
    QObject::connect(object, signal, object, [n] { ++*n; });
    return n;
}

class TableModelTest : public EditorWindowTest {
protected:
    void Groups(std::initializer_list<std::pair<const char *, const char *>> numberAndVat)
    {
        for (const auto &[n, vat] : numberAndVat)
            AddRow(dm.MDGrupy, {"Numer", n, "Nazwa", QStringLiteral("G") + n, "VAT", vat});
    }
    void Codes(const QStringList &numbersAndNames)
    {
        for (int i = 0; i + 1 < numbersAndNames.size(); i += 2)
            AddRow(dm.MDKody, {"Numer", numbersAndNames[i], "Nazwa", numbersAndNames[i + 1], "Grupa", "1"});
    }
    static QString Text(const TTableModel &m, int row, const QString &field)
    {
        return m.data(m.index(row, m.ColumnOfField(field))).toString();
    }
    static void Key(QWidget *w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(w, &press);
    }
};

TEST_F(TableModelTest, ShowsTheFieldsTextsAndTitles)
{
    AddRow(dm.MDKody, {"Numer", "0", "Nazwa", "Chleb", "Grupa", "2", "Cena", "2,5", "RodzajCeny", "W"});
    AddRow(dm.MDKody, {"Numer", "20000012345678", "Nazwa", "Bułka", "Grupa", "3", "RodzajCeny", "P"});
    TTableModel m(dm.MDKody, KodyColumns());
    ASSERT_EQ(m.rowCount(), 2);
    EXPECT_EQ(Text(m, 0, "Numer"), "0");
    EXPECT_EQ(Text(m, 1, "Numer"), "12345678");
    EXPECT_EQ(Text(m, 0, "RodzajCeny"), "Wprowadz.");
    EXPECT_EQ(Text(m, 1, "RodzajCeny"), "Program.");
    EXPECT_EQ(Text(m, 0, "Cena"), FormatCurrencyDisplay(Currency::FromUnits(25000)));
    EXPECT_EQ(m.headerData(m.ColumnOfField("RodzajCeny"), Qt::Horizontal).toString(), "Rodzaj Ceny");
    EXPECT_EQ(m.headerData(m.ColumnOfField("LDI"), Qt::Horizontal).toString(), "Ilość sprz.");
    EXPECT_EQ(m.data(m.index(0, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
}

struct Refusal {
    const char *Field;
    const char *Text;
    const char *Message;
};

class GridRefusal : public TableModelTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(GridRefusal, ShowsTheFieldsMessageAndKeepsTheOldValue)
{
    const Refusal &p = GetParam();
    Groups({{"5", "B"}});
    TTableModel m(dm.MDGrupy, GrupyColumns());
    m.SetMessages(&messages);
    const QModelIndex cell = m.index(0, m.ColumnOfField(p.Field));
    const QString before = m.data(cell).toString();
    EXPECT_FALSE(m.setData(cell, QString::fromUtf8(p.Text)));
    EXPECT_EQ(messages.Log, QStringList{QStringLiteral("error: ") + QString::fromUtf8(p.Message)});
    EXPECT_EQ(m.data(cell).toString(), before);
    EXPECT_EQ(dm.MDGrupy.State(), TDataSetState::Browse);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, GridRefusal,
    ::testing::Values(
        Refusal{"Cena", "abc", "\"abc\" nie jest poprawną wartością zmniennoprzecinkową dla pola \"Cena\""},
        Refusal{"Limit", "x", "\"x\" nie jest poprawną wartością całkowitoliczbową dla pola \"Limit\""},
        Refusal{"VAT", "Z", "\"Z\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G."},
        Refusal{"RodzajSprz", "N",
                "\"N\" nie jest prawidłową wartością pola \"Rodzaj Sprz.\". Dozwolone wartości to Normalna i Natychmiast.."},
        Refusal{"Nazwa", "Ж", "Znak \"Ж\" nie może być zapisany w polu \"Nazwa\" (brak go w stronie kodowej Windows-1250)"}));

TEST_F(TableModelTest, APostRefusedWhenLeavingTheRowKeepsTheRecordOpen)
{
    Groups({{"5", "B"}, {"6", "C"}});
    TTableModel m(dm.MDGrupy, GrupyColumns());
    m.SetMessages(&messages);
    dm.MDGrupy.First();
    ASSERT_TRUE(m.setData(m.index(0, m.ColumnOfField("Numer")), QString()));
    EXPECT_EQ(Text(m, 0, "Numer"), "");
    EXPECT_FALSE(m.MoveToRow(1));
    EXPECT_EQ(messages.Log, QStringList{"error: Pole \"Numer\" musi posiadać wartość"});
    EXPECT_EQ(dm.MDGrupy.State(), TDataSetState::Edit);
    EXPECT_EQ(m.CurrentViewRow(), 0);
    ASSERT_TRUE(m.setData(m.index(0, m.ColumnOfField("Numer")), QStringLiteral("3")));
    EXPECT_TRUE(m.MoveToRow(1));
    EXPECT_EQ(dm.MDGrupy.FieldByName("Numer").ValueAt(0), TFieldValue(std::int64_t(3)));
    EXPECT_TRUE(dm.Modified);
}

TEST_F(TableModelTest, RequiredFieldsAreCheckedWhenTheNewRecordIsPosted)
{
    TTableModel m(dm.MDGrupy, GrupyColumns());
    m.SetMessages(&messages);
    dm.MDGrupy.Append();
    ASSERT_EQ(m.rowCount(), 1);
    ASSERT_TRUE(m.setData(m.index(0, m.ColumnOfField("Nazwa")), QStringLiteral("Mleko")));
    EXPECT_FALSE(m.LeaveRow());
    EXPECT_EQ(messages.Log, QStringList{"error: Pole \"Numer\" musi posiadać wartość"});
    ASSERT_TRUE(m.setData(m.index(0, m.ColumnOfField("Numer")), QStringLiteral("4")));
    EXPECT_TRUE(m.LeaveRow());
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 1);
}

TEST_F(TableModelTest, CellsTakeTheColourOfTheRecordCheckAndTheCursorStays)
{
    dm.ApplyProfile(0, true, 0); // ER-A235P version A: deposit groups, 20 groups
    Groups({{"8", "A"}, {"9", "+"}, {"10", "A"}, {"25", "B"}});
    dm.MDGrupy.SetRecNo(2);
    TTableModel m(dm.MDGrupy, GrupyColumns());
    m.SetRecordCheck([this](int row) { return dm.CheckGrupy(row).Result; });
    const QVariant none;
    const std::vector<QVariant> expected = {none, QColor(0, 255, 255), QColor(255, 0, 0), QColor(255, 0, 0)};
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(m.data(m.index(row, 1), Qt::BackgroundRole), expected[size_t(row)]) << "row " << row;
    EXPECT_EQ(dm.MDGrupy.RecNo(), 2);

    // The record being edited is coloured as it stands in the edit buffer.
    dm.MDGrupy.SetRecNo(3);
    ASSERT_TRUE(m.setData(m.index(2, m.ColumnOfField("VAT")), QStringLiteral("-")));
    EXPECT_EQ(m.data(m.index(2, 0), Qt::BackgroundRole), QVariant(QColor(0, 255, 255)));
}

// The checks read the row they are given: painting, also while another
// record is being edited, never moves the cursor.
TEST_F(TableModelTest, PaintingNeverMovesTheCursor)
{
    dm.ApplyProfile(0, true, 0);
    Groups({{"8", "A"}, {"9", "+"}, {"25", "B"}});
    int scrolls = 0;
    dm.MDGrupy.OnAfterScroll = [&](TRxMemoryData &) { ++scrolls; };
    dm.MDGrupy.SetRecNo(1);
    TTableModel m(dm.MDGrupy, GrupyColumns());
    m.SetRecordCheck([this](int row) { return dm.CheckGrupy(row).Result; });
    scrolls = 0;
    ASSERT_TRUE(m.setData(m.index(0, m.ColumnOfField("Nazwa")), QStringLiteral("Mleko")));
    ASSERT_EQ(dm.MDGrupy.State(), TDataSetState::Edit);
    EXPECT_EQ(m.data(m.index(1, 0), Qt::BackgroundRole), QVariant(QColor(0, 255, 255)));
    EXPECT_EQ(m.data(m.index(2, 0), Qt::BackgroundRole), QVariant(QColor(255, 0, 0)));
    EXPECT_EQ(scrolls, 0);
    EXPECT_EQ(dm.MDGrupy.RecNo(), 1);
    dm.MDGrupy.OnAfterScroll = nullptr;
}

TEST_F(TableModelTest, CodeColoursZeroCodeOrangeAndGroupOverTheLimitRed)
{
    dm.ApplyProfile(1, false, 0); // ER-A275P: 30 groups
    AddRow(dm.MDKody, {"Numer", "0", "Grupa", "1"});
    AddRow(dm.MDKody, {"Numer", "17", "Grupa", "30"});
    dm.ApplyProfile(0, false, 0); // now only 20 groups
    TTableModel m(dm.MDKody, KodyColumns());
    m.SetRecordCheck([this](int row) { return dm.CheckKody(row).Result; });
    EXPECT_EQ(m.data(m.index(0, 0), Qt::BackgroundRole), QVariant(QColor(255, 128, 0)));
    EXPECT_EQ(m.data(m.index(1, 0), Qt::BackgroundRole), QVariant(QColor(255, 0, 0)));
}

TEST_F(TableModelTest, RecordsThatShareANumberAreRedTogether)
{
    Codes({"1", "Chleb", "2", "Bułka", "3", "Masło"});
    TTableModel m(dm.MDKody, KodyColumns());
    m.SetKeyField("Numer");
    const auto red = [&m] {
        QList<int> rows;
        for (int r = 0; r < m.rowCount(); ++r)
            if (m.data(m.index(r, 1), Qt::BackgroundRole) == QVariant(QColor(255, 0, 0)))
                rows << r;
        return rows;
    };
    const auto repaints = Count(&m, &QAbstractItemModel::dataChanged);
    dm.MDKody.SetRecNo(3);
    ASSERT_TRUE(m.setData(m.index(2, 0), QStringLiteral("0001"))); // code 1 spelt otherwise, not posted yet
    EXPECT_EQ(red(), (QList<int>{0, 2}));
    const int before = *repaints;
    QCoreApplication::processEvents();
    EXPECT_EQ(*repaints, before + 1); // the row the edit did not touch is painted again
    dm.MDKody.Cancel();
    dm.MDKody.Append();
    ASSERT_TRUE(m.setData(m.index(3, 0), QStringLiteral("2")));
    EXPECT_EQ(red(), (QList<int>{1, 3}));
}

TEST_F(TableModelTest, APendingInsertIsARowOfItsOwnUntilPostedOrCancelled)
{
    Groups({{"1", "A"}, {"2", "A"}, {"3", "A"}});
    TTableModel m(dm.MDGrupy, GrupyColumns());
    dm.MDGrupy.SetRecNo(2);
    dm.MDGrupy.Insert();
    EXPECT_EQ(m.rowCount(), 4);
    EXPECT_EQ(m.PendingInsertRow(), 1);
    EXPECT_EQ(m.headerData(1, Qt::Vertical).toString(), "*");
    EXPECT_EQ(Text(m, 2, "Numer"), "2");
    dm.MDGrupy.Cancel();
    EXPECT_EQ(m.rowCount(), 3);
    EXPECT_EQ(Text(m, 1, "Numer"), "2");

    dm.MDGrupy.Append();
    EXPECT_EQ(m.PendingInsertRow(), 3);
    dm.MDGrupy.FieldByName("Numer").SetText("4");
    dm.MDGrupy.Post();
    EXPECT_EQ(m.rowCount(), 4);
    EXPECT_EQ(m.PendingInsertRow(), -1);
    EXPECT_EQ(Text(m, 3, "Numer"), "4");
    dm.MDGrupy.Delete();
    EXPECT_EQ(m.rowCount(), 3);
}

TEST_F(TableModelTest, BulkWorkReachesTheViewAsOneReset)
{
    TTableModel m(dm.MDKody, KodyColumns());
    const auto resets = Count(&m, &QAbstractItemModel::modelReset);
    const auto inserts = Count(&m, &QAbstractItemModel::rowsInserted);
    {
        TControlsDisabler bulk(dm.MDKody);
        for (int i = 1; i <= 200; ++i)
            AddRow(dm.MDKody, {"Numer", QString::number(i), "Grupa", "1"});
    }
    EXPECT_EQ(*resets, 1);
    EXPECT_EQ(*inserts, 0);
    EXPECT_EQ(m.rowCount(), 200);
}

TEST_F(TableModelTest, TitleClickSortsAscendingIgnoringCase)
{
    Codes({"1", "bułka", "2", "Chleb", "3", "ANANAS", "4", "chałka"});
    dm.MDKody.SetRecNo(2);
    TKvDBGrid grid;
    grid.SetTable(dm.MDKody, KodyColumns());
    grid.resize(600, 300);
    grid.show();
    QHeaderView *header = grid.horizontalHeader();
    const int column = grid.Model()->ColumnOfField("Nazwa");
    const QPoint at(header->sectionViewportPosition(column) + 5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, header->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, header->viewport()->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &press);
    QApplication::sendEvent(header->viewport(), &release);
    QStringList names;
    for (int row = 0; row < 4; ++row)
        names << Text(*grid.Model(), row, "Nazwa");
    EXPECT_EQ(names, (QStringList{"ANANAS", "bułka", "chałka", "Chleb"}));
    // The cursor stays on its record, and the grid with it.
    EXPECT_EQ(dm.MDKody.FieldByName("Nazwa").AsString(), "Chleb");
    EXPECT_EQ(grid.currentIndex().row(), 3);
}

struct KeyCase {
    int Key;
    Qt::KeyboardModifiers Modifiers;
    int Add, Insert, Delete;
};

class GridKeys : public TableModelTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(GridKeys, RunTheEditorsCommands)
{
    const KeyCase &k = GetParam();
    Groups({{"1", "A"}});
    TKvDBGrid grid;
    grid.SetTable(dm.MDGrupy, GrupyColumns());
    const auto add = Count(&grid, &TKvDBGrid::AddRequested);
    const auto insert = Count(&grid, &TKvDBGrid::InsertRequested);
    const auto del = Count(&grid, &TKvDBGrid::DeleteRequested);
    Key(&grid, k.Key, k.Modifiers);
    EXPECT_EQ(*add, k.Add);
    EXPECT_EQ(*insert, k.Insert);
    EXPECT_EQ(*del, k.Delete);
}

INSTANTIATE_TEST_SUITE_P(Keys, GridKeys,
                         ::testing::Values(KeyCase{Qt::Key_Return, Qt::NoModifier, 1, 0, 0},
                                           KeyCase{Qt::Key_Enter, Qt::KeypadModifier, 1, 0, 0},
                                           KeyCase{Qt::Key_Return, Qt::ControlModifier, 0, 0, 0},
                                           KeyCase{Qt::Key_Insert, Qt::NoModifier, 0, 1, 0},
                                           KeyCase{Qt::Key_Delete, Qt::ControlModifier, 0, 0, 1},
                                           KeyCase{Qt::Key_Delete, Qt::NoModifier, 0, 0, 0}));

TEST_F(TableModelTest, CtrlEnterOpensTheCellEditorAndEnterInItAdds)
{
    Groups({{"1", "A"}});
    TKvDBGrid grid;
    grid.SetTable(dm.MDGrupy, GrupyColumns());
    grid.show();
    grid.setCurrentIndex(grid.Model()->index(0, 1));
    Key(&grid, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(grid.Editing());
    const auto add = Count(&grid, &TKvDBGrid::AddRequested);
    QWidget *editor = QApplication::focusWidget() ? QApplication::focusWidget() : grid.indexWidget(grid.currentIndex());
    ASSERT_NE(editor, nullptr);
    Key(editor, Qt::Key_Return);
    EXPECT_EQ(*add, 1);
    EXPECT_FALSE(grid.Editing());
}

TEST_F(TableModelTest, ANewRowTheUserDidNotTouchIsDroppedWhenLeft)
{
    Groups({{"1", "A"}, {"2", "A"}});
    TKvDBGrid grid;
    grid.SetTable(dm.MDGrupy, GrupyColumns());
    grid.SetMessages(&messages);
    grid.show();
    dm.MDGrupy.First();
    dm.Modified = false;
    dm.MDGrupy.Insert();
    ASSERT_EQ(grid.currentIndex().row(), 0);
    Key(&grid, Qt::Key_Down);
    EXPECT_EQ(dm.MDGrupy.State(), TDataSetState::Browse);
    EXPECT_EQ(grid.Model()->rowCount(), 2);
    EXPECT_EQ(dm.MDGrupy.FieldByName("Numer").AsInteger(), 1);
    EXPECT_EQ(grid.currentIndex().row(), 0);
    EXPECT_FALSE(dm.Modified);

    // A touched one is posted.
    dm.MDGrupy.Insert();
    ASSERT_TRUE(grid.Model()->setData(grid.Model()->index(0, 0), QStringLiteral("7")));
    Key(&grid, Qt::Key_Down);
    EXPECT_EQ(dm.MDGrupy.RecordCount(), 3);
    EXPECT_EQ(dm.MDGrupy.FieldByName("Numer").ValueAt(0), TFieldValue(std::int64_t(7)));
    EXPECT_EQ(dm.MDGrupy.FieldByName("Numer").AsInteger(), 1);
    EXPECT_EQ(grid.currentIndex().row(), 1);
    EXPECT_TRUE(messages.Log.isEmpty()) << messages.Log.join(u'|').toStdString();
}

TEST_F(TableModelTest, ReadOnlyColumnsAndViewsCannotBeEdited)
{
    Groups({{"1", "A"}});
    TTableModel m(dm.MDGrupy, GrupyColumns());
    const QModelIndex counter = m.index(0, m.ColumnOfField("LDW"));
    const QModelIndex name = m.index(0, m.ColumnOfField("Nazwa"));
    EXPECT_FALSE(m.flags(counter) & Qt::ItemIsEditable);
    EXPECT_FALSE(m.setData(counter, QStringLiteral("5")));
    EXPECT_TRUE(m.flags(name) & Qt::ItemIsEditable);
    m.SetReadOnly(true);
    EXPECT_FALSE(m.flags(name) & Qt::ItemIsEditable);
    EXPECT_FALSE(m.setData(name, QStringLiteral("Masło")));
    EXPECT_EQ(dm.MDGrupy.State(), TDataSetState::Browse);
}

TEST_F(TableModelTest, ColumnLayoutTextKeepsOrderAndWidthsAndSkipsUnknownFields)
{
    TKvDBGrid grid;
    grid.SetTable(dm.MDKaucje, KaucjeColumns());
    // Widths above any header minimum: that is the font's widest letter.
    grid.SetColumnsLayout(QStringLiteral("Cena:190,Bogus:40,LDIz:155,Numer:133"));
    EXPECT_TRUE(grid.ColumnsLayout().startsWith(QStringLiteral("Cena:190,LDIz:155,Numer:133,LDWw:")))
        << grid.ColumnsLayout().toStdString();
    const QString saved = grid.ColumnsLayout();
    grid.SetColumnsLayout(QStringLiteral("nonsense,Cena:x,:"));
    EXPECT_EQ(grid.ColumnsLayout(), saved);
}

} // namespace
