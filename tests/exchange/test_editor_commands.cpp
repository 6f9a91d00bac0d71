// The editor commands without windows: Add, Insert, Delete, Delete all, Check and the
// VAT drop-down.
#include "exchange_test_support.h"

#include "exchange/UStatusTexts.h"

namespace {

class EditorCommands : public ExchangeTest {};

QList<int> Numbers(const TRxMemoryData &t)
{
    QList<int> n;
    for (int r = 0; r < t.RecordCount(); ++r)
        n << t.FieldByName("Numer").TextAt(r).toInt();
    return n;
}

struct AddCase {
    const char *what;
    int kasa;
    TExchangeTable table;
    QList<int> before; // numbers of the existing records
    int current;       // 1-based record the cursor is on (0: empty table)
    QString focus;     // the field Add returns
    QList<int> after;  // numbers after the new record is posted
};

TEST_F(EditorCommands, AddNumbersTheNextRecord)
{
    const AddCase cases[] = {
        {"empty groups: the default number (and the sale kind as value)", 5, TExchangeTable::Grupy, {}, 0, "Nazwa", {1}},
        {"last group 7 appends 8", 5, TExchangeTable::Grupy, {1, 7}, 2, "Nazwa", {1, 7, 8}},
        {"group 4 with 5 next: 6 after 5", 5, TExchangeTable::Grupy, {4, 5, 8}, 1, "Nazwa", {4, 5, 6, 8}},
        {"group 4 with 6 next inserts 5", 5, TExchangeTable::Grupy, {4, 6}, 1, "Nazwa", {4, 5, 6}},
        {"unsorted: right after the current group", 5, TExchangeTable::Grupy, {5, 2, 9}, 1, "Nazwa", {5, 6, 2, 9}},
        {"the last group with the highest number", 5, TExchangeTable::Grupy, {29, 30}, 2, "", {29, 30}},
        {"no free number above group 29", 5, TExchangeTable::Grupy, {29, 30}, 1, "", {29, 30}},
        {"empty deposits", 5, TExchangeTable::Kaucje, {}, 0, "Cena", {1}},
        {"last deposit 3 appends 4", 5, TExchangeTable::Kaucje, {1, 3}, 2, "Cena", {1, 3, 4}},
        {"deposit 2 with 3 next: 4 after 3", 5, TExchangeTable::Kaucje, {2, 3}, 1, "Cena", {2, 3, 4}},
        {"deposit 50 is the last", 5, TExchangeTable::Kaucje, {50}, 1, "", {50}},
        {"empty codes", 5, TExchangeTable::Kody, {}, 0, "Nazwa", {1}},
        {"last code 41 appends 42", 5, TExchangeTable::Kody, {40, 41}, 2, "Nazwa", {40, 41, 42}},
        {"code 2 in the middle: the first free number after it", 5, TExchangeTable::Kody, {1, 2, 3, 7}, 2, "Nazwa",
         {1, 2, 3, 4, 7}},
        {"code beyond MaxCodes gets no number", 1, TExchangeTable::Kody, {3500}, 1, "Numer", {3500, 0}},
        {"no free code number up to MaxCodes", 1, TExchangeTable::Kody, {3499, 3500}, 1, "Numer", {3499, 0, 3500}},
    };
    for (const AddCase &c : cases) {
        SCOPED_TRACE(c.what);
        dm.ApplyProfile(c.kasa, true, 0);
        TEditorCommands cmd(dm, c.table, messages);
        TRxMemoryData &t = cmd.Table();
        t.EmptyTable();
        for (int n : c.before) {
            if (c.table == TExchangeTable::Grupy)
                AddGroup(dm, n, QStringLiteral("G%1").arg(n), "B", "1,00", "Natychmiast.", 5);
            else if (c.table == TExchangeTable::Kody)
                AddCode(dm, QString::number(n), QStringLiteral("K%1").arg(n), 7, "1,00", "Wprowadz.");
            else
                AddDeposit(dm, n, "1,00");
        }
        if (c.current)
            t.SetRecNo(c.current);
        EXPECT_EQ(cmd.Add(), c.focus);
        if (!c.focus.isEmpty()) {
            EXPECT_EQ(t.State(), TDataSetState::Insert);
            if (c.table == TExchangeTable::Grupy && !c.before.isEmpty()) {
                EXPECT_EQ(t.FieldByName("VAT").AsString(), "B");
                EXPECT_EQ(t.FieldByName("RodzajSprz").Text(), "Natychmiast.");
                EXPECT_EQ(t.FieldByName("Limit").AsInteger(), 5);
            }
            if (c.table == TExchangeTable::Grupy && c.before.isEmpty()) {
                EXPECT_EQ(t.FieldByName("RodzajSprz").AsString(), "0");
            }
            if (c.table == TExchangeTable::Kody) {
                EXPECT_EQ(t.FieldByName("Grupa").AsInteger(), c.before.isEmpty() ? 1 : 7);
                EXPECT_EQ(t.FieldByName("RodzajCeny").Text(), "Wprowadz.");
            }
            if (c.focus == "Numer")
                t.FieldByName("Numer").SetText("0");
            t.Post();
        }
        EXPECT_EQ(Numbers(t), c.after);
    }
}

TEST_F(EditorCommands, AddWithDepositGroups)
{
    dm.ApplyProfile(0, true, 0); // ER-A235P version A with deposits: groups 9 and 10
    TEditorCommands cmd(dm, TExchangeTable::Grupy, messages);
    AddGroup(dm, 8, QStringLiteral("Osiem"), "C");
    QStringList vats;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(cmd.Add(), "Nazwa");
        vats << dm.MDGrupy.FieldByName("VAT").AsString();
    }
    cmd.EndPendingEdit();
    EXPECT_EQ(vats, (QStringList{"+", "-", "Z"})); // 9, 10, and 11 after a deposit group
    EXPECT_EQ(Numbers(dm.MDGrupy), (QList<int>{8, 9, 10, 11}));
}

TEST_F(EditorCommands, AddStopsSilentlyWhenThePendingRecordIsRefused)
{
    TEditorCommands cmd(dm, TExchangeTable::Grupy, messages);
    dm.MDGrupy.Append();
    dm.MDGrupy.FieldByName("Nazwa").SetAsString(QStringLiteral("Bez numeru"));
    EXPECT_EQ(cmd.Add(), "");
    EXPECT_EQ(dm.MDGrupy.State(), TDataSetState::Insert);
    EXPECT_TRUE(messages.Log.isEmpty());
}

TEST_F(EditorCommands, DeleteTakesTheSelectionOrTheCurrentRecord)
{
    for (int n = 1; n <= 5; ++n)
        AddCode(dm, QString::number(n), QStringLiteral("K%1").arg(n));
    dm.Modified = false;
    TEditorCommands codes(dm, TExchangeTable::Kody, messages);
    TTableGridRef grid(dm.MDKody, {dm.MDKody.BookmarkAt(0), dm.MDKody.BookmarkAt(2), dm.MDKody.BookmarkAt(4)});
    codes.Delete(grid);
    EXPECT_EQ(Numbers(dm.MDKody), (QList<int>{2, 4}));
    dm.MDKody.First();
    codes.Delete(TTableGridRef(dm.MDKody));
    EXPECT_EQ(Numbers(dm.MDKody), (QList<int>{4}));
    EXPECT_FALSE(dm.Modified);
    EXPECT_TRUE(messages.Log.isEmpty()); // no question

    // Groups ignore a selection; deleting a new row drops only that row.
    AddGroup(dm, 1, "A");
    AddGroup(dm, 2, "B");
    TEditorCommands groups(dm, TExchangeTable::Grupy, messages);
    dm.MDGrupy.Append();
    groups.Delete(TTableGridRef(dm.MDGrupy, {dm.MDGrupy.BookmarkAt(0)}));
    EXPECT_EQ(Numbers(dm.MDGrupy), (QList<int>{1, 2}));
    dm.MDGrupy.First();
    groups.Delete(TTableGridRef(dm.MDGrupy));
    EXPECT_EQ(Numbers(dm.MDGrupy), (QList<int>{2}));
}

// "Usuń wszystkie": a confirmation with Cancel naming the table; only Yes
// empties it, dropping a pending bad edit instead of posting it.
TEST_F(EditorCommands, DeleteAllEmptiesOnlyOnYes)
{
    struct Asked : TScriptedMessages {
        TPromptAnswer Ask(const QString &text, TAskKind kind, bool withCancel) override
        {
            Confirmation = kind == TAskKind::Confirmation && withCancel;
            return TScriptedMessages::Ask(text, kind, withCancel);
        }
        bool Confirmation = false;
    } asked;
    AddGroup(dm, 1, QStringLiteral("A"));
    TEditorCommands groups(dm, TExchangeTable::Grupy, asked);
    for (TPromptAnswer a : {TPromptAnswer::No, TPromptAnswer::Cancel}) {
        asked.Answer = a;
        asked.Log.clear();
        dm.MDGrupy.Edit();
        EXPECT_FALSE(groups.DeleteAll());
        EXPECT_EQ(dm.MDGrupy.RecordCount(), 1);
        EXPECT_EQ(asked.Log, QStringList{"ask Czy chcesz usunąć wszystkie grupy ?"});
        EXPECT_TRUE(asked.Confirmation);
        dm.MDGrupy.Cancel();
    }
    asked.Answer = TPromptAnswer::Yes;
    dm.MDGrupy.Edit();
    dm.MDGrupy.FieldByName("Numer").Clear(); // a pending bad edit is dropped, not posted
    EXPECT_TRUE(groups.DeleteAll());
    EXPECT_TRUE(dm.MDGrupy.IsEmpty());
    EXPECT_EQ(dm.MDGrupy.State(), TDataSetState::Browse);

    const struct {
        TExchangeTable table;
        const char *question;
    } others[] = {{TExchangeTable::Kody, "ask Czy chcesz usunąć wszystkie kody ?"},
                  {TExchangeTable::Kaucje, "ask Czy chcesz usunąć wszystkie kaucje ?"}};
    for (const auto &c : others) {
        asked.Log.clear();
        EXPECT_TRUE(TEditorCommands(dm, c.table, asked).DeleteAll());
        EXPECT_EQ(asked.Log, QStringList{c.question});
    }
}

TEST_F(EditorCommands, CheckReportsTheFirstFaultOrSaysTheTableIsCorrect)
{
    struct Listed : IDuplicateNamesView {
        void ShowDuplicates() override {}
    } view;
    AddGroup(dm, 1, QStringLiteral("Chleb"));
    AddCode(dm, "5", QStringLiteral("Bułka"));
    AddDeposit(dm, 1, "0,50");
    struct Case {
        TExchangeTable table;
        std::function<void()> spoil;
        const char *result;
    };
    const Case cases[] = {
        {TExchangeTable::Grupy, [] {}, "info Grupy poprawne."},
        {TExchangeTable::Kody, [] {}, "info Kody poprawne."},
        {TExchangeTable::Kaucje, [] {}, "info Kaucje poprawne."},
        {TExchangeTable::Kody, [&] { AddCode(dm, "7", QStringLiteral("CHLEB")); },
         "Nazwy kodów i grup nie mogą się powtarzać !"},
        {TExchangeTable::Kaucje, [&] { AddDeposit(dm, 1, "1,00"); },
         "Numery nie mogą się powtarzać.\nNumer 1 występuje więcej niż raz."},
        {TExchangeTable::Kody, [&] { AddCode(dm, "20000012345678", QStringLiteral("Rogal")); AddCode(dm, "12345678", QStringLiteral("Drożdżówka")); },
         "Numery nie mogą się powtarzać.\nNumer 12345678 występuje więcej niż raz."},
        {TExchangeTable::Grupy, [&] { AddGroup(dm, 2, QStringLiteral("Zła"), "Z"); },
         "\"Z\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G."},
    };
    for (const Case &c : cases) {
        c.spoil();
        messages.Log.clear();
        TEditorCommands cmd(dm, c.table, messages);
        cmd.SetDuplicatesView(&view);
        const std::string error = MessageOf([&] { cmd.Check(); });
        EXPECT_EQ(error == "no error" ? messages.Log.value(0).toStdString() : error, c.result);
    }
}

TEST_F(EditorCommands, VatChoicesFollowTheProfile)
{
    TEditorCommands cmd(dm, TExchangeTable::Grupy, messages);
    EXPECT_EQ(cmd.VatChoices().join(QString()), "ABCDEFG");
    dm.ApplyProfile(0, true, 0);
    EXPECT_EQ(cmd.VatChoices().join(QString()), "ABCDEFZ"); // "+" and "-" only through Add
}

} // namespace

TEST_F(EditorCommands, CountsTakeThePolishPluralForms)
{
    const struct {
        int section;
        qint64 n;
        QString text;
    } cases[] = {
        {0, 1, "1 grupę"},   {0, 22, "22 grupy"}, {0, 12, "12 grup"},     {1, 0, "0 kodów"},
        {1, 104, "104 kody"}, {1, 21, "21 kodów"}, {2, 1, "1 kaucję"},    {2, 3, "3 kaucje"},
        {2, 25, "25 kaucji"}, {1, 9999, "9\u00A0999 kodów"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RecordsText(c.section, c.n), c.text) << c.n;
    EXPECT_EQ(JoinCounts({"2 grupy", "1 kod", "0 kaucji"}), QStringLiteral("2 grupy, 1 kod i 0 kaucji"));
}
