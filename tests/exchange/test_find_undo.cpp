// Find as you type and the editors' undo history, through the logic
// classes over the data module's tables.
#include "exchange_test_support.h"

#include "exchange/UCsvImport.h"
#include "exchange/UEditHistory.h"
#include "exchange/UTableFind.h"

namespace {

QStringList Names(const TRxMemoryData &t) { return Rows(t, {"Numer", "Nazwa", "Cena"}); }

} // namespace

class FindInTable : public PolishDataModuleTest {
protected:
    void SetUp() override
    {
        PolishDataModuleTest::SetUp();
        AddCode(dm, "5900000000017", "CHLEB RAZOWY");
        AddCode(dm, "19", "SER ŻÓŁTY");
        AddCode(dm, "9", "Masło ekstra");
        AddCode(dm, "590", "Ser biały");
        AddCode(dm, "95", "ŻUREK 590");
        dm.MDKody.First();
    }
};

TEST_F(FindInTable, FirstMatchByNumberPrefixOrNameIgnoringCaseAndDiacritics)
{
    struct Case {
        const char *text;
        int count;
        int row; // where the cursor goes; -1: it stays on row 2
    };
    const Case cases[] = {
        {"zolty", 1, 1},      {"ŻÓŁTY", 1, 1}, {"żółty", 1, 1}, {"ser", 2, 1},     {"SER Ż", 1, 1},
        {"maslo", 1, 2},      {"łó", 1, 2},   {"59", 3, 0},    {"590", 3, 0},     {"5900", 1, 0},
        {"9", 2, 2},          {"1", 1, 1},      {"3", 0, -1},    {"zurek", 1, 4}, {"brak", 0, -1},   {"", 0, -1},
        {"chleb razowy", 1, 0}, {"razowy ", 0, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        dm.MDKody.SetRecNo(3);
        TTableFind find(dm.MDKody);
        EXPECT_EQ(find.SetText(QString::fromUtf8(c.text)), c.count > 0);
        EXPECT_EQ(find.MatchCount(), c.count);
        EXPECT_EQ(find.NoMatch(), c.count == 0 && *c.text != 0);
        EXPECT_EQ(dm.MDKody.CurrentRow(), c.row < 0 ? 2 : c.row);
    }
}

TEST_F(FindInTable, NextAndPreviousWrapRoundTheMatches)
{
    TTableFind find(dm.MDKody);
    ASSERT_TRUE(find.SetText("ser"));
    EXPECT_EQ(find.Matches(), (std::vector<int>{1, 3}));
    const struct {
        bool next;
        int row;
    } steps[] = {{true, 3}, {true, 1}, {false, 3}, {false, 1}, {false, 3}};
    for (const auto &s : steps) {
        EXPECT_TRUE(s.next ? find.Next() : find.Previous());
        EXPECT_EQ(dm.MDKody.CurrentRow(), s.row);
    }
    // From a row that does not match: the nearest one in that direction.
    dm.MDKody.SetRecNo(3);
    EXPECT_TRUE(find.Next());
    EXPECT_EQ(dm.MDKody.CurrentRow(), 3);
    dm.MDKody.SetRecNo(3);
    EXPECT_TRUE(find.Previous());
    EXPECT_EQ(dm.MDKody.CurrentRow(), 1);
    find.SetText("brak");
    dm.MDKody.SetRecNo(5);
    EXPECT_FALSE(find.Next());
    EXPECT_FALSE(find.Previous());
    EXPECT_EQ(dm.MDKody.CurrentRow(), 4);
}

TEST_F(FindInTable, NeverEditsFiltersOrReordersAndFollowsTheTable)
{
    const QStringList before = Names(dm.MDKody);
    dm.Modified = false;
    TTableFind find(dm.MDKody);
    find.SetText("ser");
    find.Next();
    find.Previous();
    EXPECT_EQ(Names(dm.MDKody), before);
    EXPECT_FALSE(dm.Modified);
    EXPECT_EQ(dm.MDKody.State(), TDataSetState::Browse);

    // An edit of the table is seen by the next keystroke.
    dm.MDKody.SetRecNo(3);
    dm.MDKody.Edit();
    dm.MDKody.FieldByName("Nazwa").SetAsString("SEREK");
    dm.MDKody.Post();
    EXPECT_EQ(find.MatchCount(), 3);
    // An untouched new row is dropped when the find moves, as when leaving it.
    dm.MDKody.Append();
    EXPECT_TRUE(find.SetText("zurek"));
    EXPECT_EQ(dm.MDKody.RecordCount(), 5);
    EXPECT_EQ(dm.MDKody.CurrentRow(), 4);
}

TEST_F(FindInTable, GroupsByNameAndDepositsByNumber)
{
    AddGroup(dm, 1, QStringLiteral("Pieczywo"));
    AddGroup(dm, 12, QStringLiteral("Nabiał"));
    AddDeposit(dm, 3, "0,50");
    AddDeposit(dm, 31, "1,00");
    TTableFind groups(dm.MDGrupy);
    EXPECT_TRUE(groups.SetText("NABIAL"));
    EXPECT_EQ(dm.MDGrupy.CurrentRow(), 1);
    EXPECT_EQ(groups.SetText("1"), true);
    EXPECT_EQ(groups.MatchCount(), 2);
    TTableFind deposits(dm.MDKaucje);
    EXPECT_TRUE(deposits.SetText("3"));
    EXPECT_EQ(deposits.MatchCount(), 2);
    EXPECT_TRUE(deposits.SetText("31"));
    EXPECT_EQ(dm.MDKaucje.CurrentRow(), 1);
}

TEST(FindFold, PolishLettersLoseTheirMarks)
{
    EXPECT_EQ(TTableFind::Fold(QStringLiteral("ĄĆĘŁŃÓŚŹŻ ąćęłńóśźż Äé")), QStringLiteral("acelnoszz acelnoszz ae"));
}

// ---------------------------------------------------------------- undo

class EditHistory : public PolishDataModuleTest {
protected:
    void SetUp() override
    {
        PolishDataModuleTest::SetUp();
        for (int i = 1; i <= 5; ++i)
            AddCode(dm, QString::number(i), QStringLiteral("Kod %1").arg(i));
        dm.MDKody.SetRecNo(3);
        dm.Modified = false;
        history = std::make_unique<TEditHistory>(dm, dm.MDKody);
        commands.SetHistory(history.get());
    }
    void Edit(int row, const char *field, const QString &text)
    {
        dm.MDKody.SetRecNo(row + 1);
        dm.MDKody.Edit();
        dm.MDKody.FieldByName(field).SetText(text);
        dm.MDKody.Post();
    }
    std::vector<TBookmark> Marks(std::vector<int> rows) const
    {
        std::vector<TBookmark> b;
        for (int r : rows)
            b.push_back(dm.MDKody.BookmarkAt(r));
        return b;
    }
    QString Current() const { return dm.MDKody.FieldByName("Nazwa").AsString(); }
    void Import(const QByteArray &csv, TCsvImportMode mode)
    {
        TCsvImport import(dm, 1);
        import.Load(csv);
        import.SetColumns(ParseCsvColumnSpec(QStringLiteral("Numer=1,Nazwa=2,Grupa=@1"), import.Target()));
        import.BuildPreview();
        import.Apply(mode, history.get());
    }

    TRecordingMessages messages;
    TEditorCommands commands{dm, TExchangeTable::Kody, messages};
    std::unique_ptr<TEditHistory> history;
};

// Each kind of step: undo gives back the records, their order and the
// current row; redo does the step again.
TEST_F(EditHistory, UndoAndRedoOfEachKindOfStep)
{
    struct Case {
        const char *name;
        std::function<void()> step;
        QStringList after; // names in table order
        QString currentAfterRedo;
    };
    const Case cases[] = {
        {"posted cell change", [this] { Edit(1, "Nazwa", "Chleb"); }, {"Kod 1", "Chleb", "Kod 3", "Kod 4", "Kod 5"}, "Chleb"},
        {"price change", [this] { Edit(4, "Cena", "7,20"); }, {"Kod 1", "Kod 2", "Kod 3", "Kod 4", "Kod 5"}, "Kod 5"},
        {"Add from the middle: the next free number, after the numbers it stepped over",
         [this] {
             dm.MDKody.SetRecNo(2);
             commands.Add();
             dm.MDKody.FieldByName("Nazwa").SetAsString("Nowy");
             dm.MDKody.Post();
         },
         {"Kod 1", "Kod 2", "Kod 3", "Kod 4", "Kod 5", "Nowy"}, "Nowy"},
        {"Add at the end",
         [this] {
             dm.MDKody.Last();
             commands.Add();
             dm.MDKody.FieldByName("Nazwa").SetAsString("Nowy");
             dm.MDKody.Post();
         },
         {"Kod 1", "Kod 2", "Kod 3", "Kod 4", "Kod 5", "Nowy"}, "Nowy"},
        {"Insert",
         [this] {
             dm.MDKody.First();
             commands.Insert();
             dm.MDKody.FieldByName("Numer").SetText("77");
             dm.MDKody.FieldByName("Grupa").SetAsInteger(1);
             dm.MDKody.FieldByName("Nazwa").SetAsString("Wstawiony");
             dm.MDKody.Post();
         },
         {"Wstawiony", "Kod 1", "Kod 2", "Kod 3", "Kod 4", "Kod 5"}, "Wstawiony"},
        {"delete of the current row",
         [this] { commands.Delete(TTableGridRef(dm.MDKody)); }, {"Kod 1", "Kod 2", "Kod 4", "Kod 5"}, "Kod 4"},
        {"delete of several selected rows as one step",
         [this] { commands.Delete(TTableGridRef(dm.MDKody, Marks({4, 0, 2}))); }, {"Kod 2", "Kod 4"}, ""},
        {"delete all", [this] { EXPECT_TRUE(commands.DeleteAll()); }, {}, ""},
        {"CSV import replacing the table",
         [this] { Import("2;Chleb\n9;Nowy\n", TCsvImportMode::Replace); }, {"Chleb", "Nowy"}, ""},
        {"CSV import completing the table",
         [this] { Import("2;Chleb\n9;Nowy\n", TCsvImportMode::Merge); },
         {"Kod 1", "Chleb", "Kod 3", "Kod 4", "Kod 5", "Nowy"}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        dm.MDKody.EmptyTable();
        for (int i = 1; i <= 5; ++i)
            AddCode(dm, QString::number(i), QStringLiteral("Kod %1").arg(i));
        history->Clear();
        dm.MDKody.SetRecNo(3);
        dm.Modified = false;
        const QStringList original = Rows(dm.MDKody, {"Numer", "Nazwa", "Cena"});
        const QString currentBefore = Current();

        c.step();
        const QStringList done = Rows(dm.MDKody, {"Numer", "Nazwa", "Cena"});
        EXPECT_EQ(Rows(dm.MDKody, {"Nazwa"}), c.after);
        EXPECT_EQ(history->UndoCount(), 1);
        EXPECT_TRUE(dm.Modified);

        history->Undo();
        EXPECT_EQ(Rows(dm.MDKody, {"Numer", "Nazwa", "Cena"}), original);
        EXPECT_FALSE(dm.Modified);
        EXPECT_EQ(history->RedoCount(), 1);
        if (QString(c.name).startsWith("delete")) {
            EXPECT_EQ(Current(), currentBefore);
        }

        history->Redo();
        EXPECT_EQ(Rows(dm.MDKody, {"Numer", "Nazwa", "Cena"}), done);
        EXPECT_TRUE(dm.Modified);
        if (!c.currentAfterRedo.isEmpty()) {
            EXPECT_EQ(Current(), c.currentAfterRedo);
        }

        // And back again: the restored records are the ones a later undo finds.
        history->Undo();
        EXPECT_EQ(Rows(dm.MDKody, {"Numer", "Nazwa", "Cena"}), original);
    }
}

// The import restores whole tables: the edits on either side of it must
// still find their records.
TEST_F(EditHistory, EditsAroundAnImportUndoAndRedoInOrder)
{
    const QStringList original = Names(dm.MDKody);
    Edit(1, "Nazwa", "Przed");
    Import("3;Z pliku\n8;Nowy\n", TCsvImportMode::Merge);
    Edit(0, "Nazwa", "Po");
    const QStringList last = Names(dm.MDKody);
    ASSERT_EQ(history->UndoCount(), 3);
    for (int i = 0; i < 3; ++i)
        history->Undo();
    EXPECT_EQ(Names(dm.MDKody), original);
    EXPECT_FALSE(dm.Modified);
    for (int i = 0; i < 3; ++i)
        history->Redo();
    EXPECT_EQ(Names(dm.MDKody), last);
    EXPECT_TRUE(dm.Modified);

    // A batch that fails half-way leaves the table as it was and no step.
    EXPECT_THROW(history->Batch([this] {
        dm.MDKody.EmptyTable();
        AddCode(dm, "1", "Pół");
        throw Exception(QStringLiteral("przerwane"));
    }),
                 Exception);
    EXPECT_EQ(Names(dm.MDKody), last);
    EXPECT_EQ(history->UndoCount(), 3);
    history->Undo();
    EXPECT_EQ(Rows(dm.MDKody, {"Nazwa"}).first(), "Kod 1");
}

TEST_F(EditHistory, ModifiedFollowsTheHistoryAndTheSavedState)
{
    Edit(0, "Nazwa", "A");
    Edit(1, "Nazwa", "B");
    EXPECT_TRUE(dm.Modified);
    dm.Modified = false; // saved here
    Edit(2, "Nazwa", "C");
    EXPECT_TRUE(dm.Modified);
    history->Undo();
    EXPECT_FALSE(dm.Modified);
    history->Undo();
    EXPECT_TRUE(dm.Modified); // before the save
    history->Redo();
    EXPECT_FALSE(dm.Modified);
    // A new step from an older state drops the saved one out of reach.
    history->Undo();
    Edit(3, "Nazwa", "D");
    history->Undo();
    EXPECT_TRUE(dm.Modified);

    // Another editor's history counts too: one flag for the data module.
    TEditHistory groups(dm, dm.MDGrupy);
    dm.Modified = false;
    AddGroup(dm, 1, "Pieczywo");
    EXPECT_TRUE(dm.Modified);
    Edit(0, "Nazwa", "E");
    history->Undo();
    EXPECT_TRUE(dm.Modified); // the group is still there
    groups.Undo();
    EXPECT_FALSE(dm.Modified);
    EXPECT_TRUE(dm.MDGrupy.IsEmpty());
}

TEST_F(EditHistory, PendingEditIsTheFirstThingUndone)
{
    dm.MDKody.Last();
    commands.Add();
    ASSERT_EQ(dm.MDKody.State(), TDataSetState::Insert);
    EXPECT_TRUE(history->CanUndo());
    history->Undo();
    EXPECT_EQ(dm.MDKody.State(), TDataSetState::Browse);
    EXPECT_EQ(dm.MDKody.RecordCount(), 5);
    EXPECT_FALSE(history->CanUndo());
    dm.MDKody.Edit();
    dm.MDKody.FieldByName("Nazwa").SetAsString("X");
    history->Undo();
    EXPECT_EQ(Current(), "Kod 5");
}

// "Usuń wszystkie" with a value being typed: only Yes drops it, with the table.
TEST_F(EditHistory, DeleteAllKeepsTheValueBeingTypedUnlessAnsweredYes)
{
    for (TPromptAnswer answer : {TPromptAnswer::No, TPromptAnswer::Cancel, TPromptAnswer::Yes}) {
        SCOPED_TRACE(int(answer));
        messages.Answer = answer;
        dm.MDKody.SetRecNo(2);
        dm.MDKody.Edit();
        dm.MDKody.FieldByName("Nazwa").SetAsString("Piszę");
        const bool yes = answer == TPromptAnswer::Yes;
        EXPECT_EQ(commands.DeleteAll(), yes);
        EXPECT_EQ(dm.MDKody.State(), yes ? TDataSetState::Browse : TDataSetState::Edit);
        if (yes) {
            EXPECT_TRUE(dm.MDKody.IsEmpty());
            history->Undo();
            EXPECT_EQ(Rows(dm.MDKody, {"Nazwa"}), (QStringList{"Kod 1", "Kod 2", "Kod 3", "Kod 4", "Kod 5"}));
        } else {
            EXPECT_EQ(Current(), "Piszę");
            dm.MDKody.Post();
            EXPECT_EQ(Rows(dm.MDKody, {"Nazwa"})[1], "Piszę");
            history->Undo();
            EXPECT_EQ(Rows(dm.MDKody, {"Nazwa"})[1], "Kod 2");
        }
    }
}

TEST_F(EditHistory, LoadAndReadClearTheHistoryASortDoesNot)
{
    Edit(0, "Nazwa", "A");
    Edit(4, "Nazwa", "B");
    dm.MDKody.SortOnFields({"Nazwa"});
    ASSERT_EQ(history->UndoCount(), 2);
    history->Undo();
    EXPECT_EQ(Rows(dm.MDKody, {"Nazwa"}), (QStringList{"A", "Kod 5", "Kod 2", "Kod 3", "Kod 4"}));

    // A read: the twin copied over the editor table.
    AddCode(dm, "40", "Z kasy");
    EXPECT_EQ(history->UndoCount(), 2);
    dm.CopyTable(dm.MDKody, dm.MDKodyWKasie, true);
    dm.CopyTable(dm.MDKodyWKasie, dm.MDKody, true);
    EXPECT_EQ(history->UndoCount(), 0);
    EXPECT_FALSE(history->CanRedo());

    // A load fills the table with Loading set, record by record.
    Edit(0, "Nazwa", "C");
    dm.Loading = true;
    dm.MDKody.EmptyTable();
    AddCode(dm, "1", "Z pliku");
    dm.Loading = false;
    EXPECT_EQ(history->UndoCount(), 0);
    history->Undo();
    EXPECT_EQ(Rows(dm.MDKody, {"Nazwa"}), QStringList{"Z pliku"});
    // The loaded table is where the history starts: a sort keeps what follows.
    Edit(0, "Nazwa", "Po wczytaniu");
    dm.MDKody.SortOnFields({"Numer"});
    EXPECT_EQ(history->UndoCount(), 1);
}

TEST_F(EditHistory, HoldsTheLastThousandSteps)
{
    for (int i = 0; i < TEditHistory::DefaultLimit + 50; ++i)
        Edit(i % 5, "Cena", QStringLiteral("%1,00").arg(i + 10));
    EXPECT_EQ(history->UndoCount(), TEditHistory::DefaultLimit);
    while (history->CanUndo())
        history->Undo();
    // The oldest 50 steps are gone: the table stands after them.
    EXPECT_EQ(dm.MDKody.FieldByName("Cena").TextAt(0), "55");
    EXPECT_TRUE(dm.Modified);
    TEditHistory small(dm, dm.MDGrupy, 3);
    for (int i = 1; i <= 5; ++i)
        AddGroup(dm, i, "G");
    EXPECT_EQ(small.UndoCount(), 3);
}
