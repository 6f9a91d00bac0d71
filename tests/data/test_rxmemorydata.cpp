#include "data/UErrors.h"
#include "data/ULocale.h"
#include "data/URxMemoryData.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class RecordingObserver : public TDataObserver {
public:
    void DataChanged(TRxMemoryData &, TDataChange change, int row) override { events.push_back({change, row}); }
    int Count(TDataChange c) const
    {
        int n = 0;
        for (const auto &e : events)
            n += e.first == c;
        return n;
    }
    std::vector<std::pair<TDataChange, int>> events;
};

class MemoryData : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = FormatSettings();
        FormatSettings() = TFormatSettings::Polish();
        TFieldDef numer;
        numer.Name = "Numer";
        numer.Type = TFieldType::Smallint;
        numer.Required = true;
        numer.HasRange = true;
        numer.MinValue = 1;
        numer.MaxValue = 30;
        t.AddField(numer);
        TFieldDef nazwa;
        nazwa.Name = "Nazwa";
        nazwa.Type = TFieldType::String;
        nazwa.Size = 16;
        t.AddField(nazwa);
        TFieldDef cena;
        cena.Name = "Cena";
        cena.Type = TFieldType::Currency;
        cena.HasRange = true;
        cena.MaxValue = 999999.99;
        cena.Label = "Cena brutto";
        t.AddField(cena);
        TFieldDef ilosc;
        ilosc.Name = "Ilosc";
        ilosc.Type = TFieldType::Float;
        ilosc.DisplayFormat = "##,##0.000";
        t.AddField(ilosc);
    }
    void TearDown() override { FormatSettings() = m_saved; }

    void Add(int numer, const QString &nazwa)
    {
        t.Append();
        t.FieldByName("Numer").SetAsInteger(numer);
        t.FieldByName("Nazwa").SetAsString(nazwa);
        t.Post();
    }
    QStringList Names()
    {
        QStringList out;
        for (int r = 0; r < t.RecordCount(); ++r)
            out << t.FieldByName("Nazwa").TextAt(r);
        return out;
    }
    std::string PostMessage()
    {
        try {
            t.Post();
        } catch (const EDatabaseError &e) {
            return e.Message().toStdString();
        }
        return "posted";
    }

    TRxMemoryData t{"T"};
    TFormatSettings m_saved;
};

TEST_F(MemoryData, AppendPostCancelAndCursor)
{
    EXPECT_TRUE(t.Eof());
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.RecNo(), 0);
    Add(1, "A");
    Add(2, "B");
    t.Append();
    t.FieldByName("Numer").SetAsInteger(3);
    t.Cancel();
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(t.State(), TDataSetState::Browse);

    t.First();
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.FieldByName("Nazwa").AsString(), "A");
    t.Next();
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_FALSE(t.Eof());
    t.Next();
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.RecNo(), 2);
    t.Prior();
    t.Prior();
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.MoveBy(5), 1);
    EXPECT_TRUE(t.Eof());

    // Insert goes before the current record.
    t.First();
    t.Insert();
    t.FieldByName("Numer").SetAsInteger(9);
    t.FieldByName("Nazwa").SetAsString("Z");
    t.Post();
    EXPECT_EQ(Names(), QStringList({"Z", "A", "B"}));
    EXPECT_EQ(t.RecNo(), 1);

    // Navigation posts a pending edit.
    t.Edit();
    t.FieldByName("Nazwa").SetAsString("Y");
    t.Last();
    EXPECT_EQ(Names(), QStringList({"Y", "A", "B"}));

    t.Edit();
    t.FieldByName("Nazwa").SetAsString("Q");
    t.Cancel();
    EXPECT_EQ(t.FieldByName("Nazwa").AsString(), "B");
}

TEST_F(MemoryData, AssigningOutsideEditingIsRefused)
{
    Add(1, "A");
    EXPECT_THROW(t.FieldByName("Nazwa").SetAsString("x"), EDatabaseError);
    EXPECT_THROW(t.FieldByName("Brak"), EDatabaseError);
    EXPECT_EQ(t.FindField("nazwa"), &t.Field(1));
}

TEST_F(MemoryData, PostChecksRequiredWithExactMessage)
{
    t.Append();
    EXPECT_EQ(PostMessage(), "Pole \"Numer\" musi posiadać wartość");
    EXPECT_EQ(t.State(), TDataSetState::Insert); // the record stays for correction
    t.FieldByName("Numer").SetAsInteger(30);
    t.FieldByName("Cena").SetText("999999,99");
    EXPECT_EQ(PostMessage(), "posted");
    EXPECT_EQ(t.RecordCount(), 1);
}

// A value outside the range is refused by the assignment itself, by every
// way in, and the field keeps what it held.
TEST_F(MemoryData, RangeIsRefusedWhenAssigned)
{
    const QString numer = "Dopuszczalna wartość jest z zakresu 1 do 30";
    const QString cena = "\"Cena brutto\".  Dopuszczalna wartość jest z zakresu 0 do 999999,99";
    const struct {
        const char *name;
        std::function<void(TRxMemoryData &)> assign;
        QString message;
    } cases[] = {
        {"integer 31", [](TRxMemoryData &d) { d.FieldByName("Numer").SetAsInteger(31); },
         "31 nie jest poprawną wartością pola \"Numer\".  " + numer},
        {"text 0", [](TRxMemoryData &d) { d.FieldByName("Numer").SetText("0"); },
         "0 nie jest poprawną wartością pola \"Numer\".  " + numer},
        {"text 40000 (range before the type)", [](TRxMemoryData &d) { d.FieldByName("Numer").SetText("40000"); },
         "40000 nie jest poprawną wartością pola \"Numer\".  " + numer},
        {"float 30.6 rounds to 31", [](TRxMemoryData &d) { d.FieldByName("Numer").SetAsFloat(30.6); },
         "31 nie jest poprawną wartością pola \"Numer\".  " + numer},
        {"price text 1000000", [](TRxMemoryData &d) { d.FieldByName("Cena").SetText("1000000"); },
         "1000000 nie jest poprawną wartością pola " + cena},
        {"price text -0,01", [](TRxMemoryData &d) { d.FieldByName("Cena").SetText("-0,01"); },
         "-0,01 nie jest poprawną wartością pola " + cena},
        {"price amount", [](TRxMemoryData &d) { d.FieldByName("Cena").SetAsCurrency(Currency::FromUnits(10000000000)); },
         "1000000 nie jest poprawną wartością pola " + cena},
        {"price as integer", [](TRxMemoryData &d) { d.FieldByName("Cena").SetAsInteger(1000000); },
         "1000000 nie jest poprawną wartością pola " + cena},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        t.Append();
        t.FieldByName("Numer").SetAsInteger(7);
        t.FieldByName("Cena").SetText("5");
        try {
            c.assign(t);
            ADD_FAILURE() << "accepted";
        } catch (const EDatabaseError &e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(t.FieldByName("Numer").AsInteger(), 7);
        EXPECT_EQ(t.FieldByName("Cena").AsCurrency().Units(), 50000);
        t.Cancel();
    }
    t.Append();
    t.FieldByName("Numer").SetText("1");
    t.FieldByName("Cena").SetText("0");
    EXPECT_EQ(PostMessage(), "posted"); // the limits themselves are taken

    // Without a range of its own a whole number is held to its type.
    TRxMemoryData plain;
    TFieldDef small;
    small.Name = "Ile";
    small.Type = TFieldType::Smallint;
    plain.AddField(small);
    plain.Append();
    try {
        plain.Field(0).SetText("40000");
        ADD_FAILURE() << "accepted 40000";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "40000 nie jest poprawną wartością pola \"Ile\".  Dopuszczalna wartość jest z zakresu -32768 do 32767");
    }
}

TEST_F(MemoryData, TextParsingFailuresHaveExactMessages)
{
    t.Append();
    const struct {
        const char *field;
        const char *text;
        const char *message;
    } cases[] = {
        {"Numer", "1,5", "\"1,5\" nie jest poprawną wartością całkowitoliczbową dla pola \"Numer\""},
        {"Numer", "abc", "\"abc\" nie jest poprawną wartością całkowitoliczbową dla pola \"Numer\""},
        {"Cena", "2.50", "\"2.50\" nie jest poprawną wartością zmniennoprzecinkową dla pola \"Cena brutto\""},
        {"Ilosc", "x", "\"x\" nie jest poprawną wartością zmniennoprzecinkową dla pola \"Ilosc\""},
        {"Nazwa", "12345678901234567", "Tekst \"12345678901234567\" jest za długi dla pola \"Nazwa\" (najwyżej 16 znaków)"},
        {"Nazwa", "Piña", "Znak \"ñ\" nie może być zapisany w polu \"Nazwa\" (brak go w stronie kodowej Windows-1250)"},
    };
    for (const auto &c : cases) {
        try {
            t.FieldByName(c.field).SetText(QString::fromUtf8(c.text));
            ADD_FAILURE() << "accepted " << c.text;
        } catch (const EDatabaseError &e) {
            EXPECT_EQ(e.Message().toStdString(), c.message);
        }
        EXPECT_TRUE(t.FieldByName(c.field).IsNull()) << c.field; // nothing stored
    }
}

TEST_F(MemoryData, ValuesConvertBetweenTypesAndTexts)
{
    t.Append();
    t.FieldByName("Numer").SetText(" 7 ");
    t.FieldByName("Cena").SetText("1234,5");
    t.FieldByName("Ilosc").SetText("12345,5");
    t.FieldByName("Nazwa").SetText("Żółw");
    t.Post();
    EXPECT_EQ(t.FieldByName("Numer").AsInteger(), 7);
    EXPECT_EQ(t.FieldByName("Cena").AsCurrency().Units(), 12345000);
    EXPECT_EQ(t.FieldByName("Cena").AsString(), "1234,5");
    EXPECT_EQ(t.FieldByName("Cena").DisplayText(), QString("1\u00A0234,50 zł"));
    EXPECT_EQ(t.FieldByName("Ilosc").DisplayText(), QString("12\u00A0345,500"));
    EXPECT_DOUBLE_EQ(t.FieldByName("Cena").AsFloat(), 1234.5);
    EXPECT_EQ(t.FieldByName("Nazwa").AsString(), "Żółw");

    t.Edit();
    t.FieldByName("Cena").SetText("");
    t.FieldByName("Nazwa").SetAsString("");
    EXPECT_TRUE(t.FieldByName("Cena").IsNull());
    EXPECT_TRUE(t.FieldByName("Nazwa").IsNull());
    t.FieldByName("Numer").SetAsFloat(2.6);
    EXPECT_EQ(t.FieldByName("Numer").AsInteger(), 3);
}

TEST_F(MemoryData, SortIsStableCaseInsensitiveAndKeepsTheCursor)
{
    Add(3, "beta");
    Add(1, "Alfa");
    Add(2, "ALFA");
    Add(4, "alfa");
    Add(5, "Gamma");
    t.SetRecNo(2); // Alfa, 1
    const TBookmark alfa1 = t.GetBookmark();
    t.SortOnFields({"Nazwa"});
    EXPECT_EQ(Names(), QStringList({"Alfa", "ALFA", "alfa", "beta", "Gamma"}));
    EXPECT_EQ(t.GetBookmark(), alfa1);
    EXPECT_EQ(t.RecNo(), 1);

    t.SortOnFields({"Nazwa", "Numer"});
    EXPECT_EQ(t.FieldByName("Numer").TextAt(0), "1");
    t.SortOnFields({"Numer"});
    EXPECT_EQ(Names(), QStringList({"Alfa", "ALFA", "beta", "alfa", "Gamma"}));
    EXPECT_THROW(t.SortOnFields({"Brak"}), EDatabaseError);
}

TEST_F(MemoryData, BookmarksSurviveSortsInsertsAndDeletes)
{
    Add(3, "c");
    Add(1, "a");
    Add(2, "b");
    t.SetRecNo(1);
    const TBookmark c = t.GetBookmark();
    t.SetRecNo(3);
    const TBookmark b = t.GetBookmark();
    t.SortOnFields({"Numer"});
    t.First();
    t.Insert();
    t.FieldByName("Numer").SetAsInteger(9);
    t.Post();
    ASSERT_TRUE(t.GotoBookmark(c));
    EXPECT_EQ(t.FieldByName("Nazwa").AsString(), "c");
    ASSERT_TRUE(t.GotoBookmark(b));
    EXPECT_EQ(t.FieldByName("Nazwa").AsString(), "b");
    t.Delete();
    EXPECT_FALSE(t.BookmarkValid(b));
    EXPECT_FALSE(t.GotoBookmark(b));
    EXPECT_EQ(t.FieldByName("Nazwa").AsString(), "c"); // the next record is current
    EXPECT_TRUE(t.BookmarkValid(c));
    EXPECT_FALSE(t.BookmarkValid(NoBookmark));
    t.Last();
    t.Delete(); // deleting the last leaves the new last current
    EXPECT_EQ(t.RecNo(), t.RecordCount());
}

TEST_F(MemoryData, DeleteRecordsRemovesManyInOnePass)
{
    for (int i = 1; i <= 6; ++i)
        Add(i, QString::number(i));
    std::vector<TBookmark> doomed{t.BookmarkAt(0), t.BookmarkAt(2), t.BookmarkAt(3), 999999};
    t.SetRecNo(3);
    EXPECT_EQ(t.DeleteRecords(doomed), 3);
    EXPECT_EQ(Names(), QStringList({"2", "5", "6"}));
    EXPECT_EQ(t.FieldByName("Nazwa").AsString(), "5");
}

TEST_F(MemoryData, LocateFindsByValue)
{
    Add(1, "Mleko");
    Add(2, "Chleb");
    EXPECT_TRUE(t.Locate("Numer", 2));
    EXPECT_EQ(t.FieldByName("Nazwa").AsString(), "Chleb");
    EXPECT_FALSE(t.Locate("Nazwa", "mleko"));
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_TRUE(t.Locate("Nazwa", "mleko", true));
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_FALSE(t.Locate("Numer", "x"));
}

TEST_F(MemoryData, DisabledControlsSendOneResetAtTheEnd)
{
    RecordingObserver obs;
    t.AddObserver(&obs);
    Add(1, "A");
    EXPECT_EQ(obs.Count(TDataChange::RecordInserted), 1);
    obs.events.clear();

    t.DisableControls();
    t.DisableControls();
    EXPECT_TRUE(t.ControlsDisabled());
    for (int i = 2; i < 10; ++i)
        Add(i, "x");
    t.First();
    t.EnableControls();
    EXPECT_TRUE(obs.events.empty());
    t.EnableControls();
    EXPECT_FALSE(t.ControlsDisabled());
    ASSERT_EQ(obs.events.size(), 1u);
    EXPECT_EQ(obs.events[0].first, TDataChange::Reset);
    t.EnableControls(); // unbalanced: ignored
    EXPECT_EQ(obs.events.size(), 1u);

    t.RemoveObserver(&obs);
    Add(10, "y");
    EXPECT_EQ(obs.events.size(), 1u);
}

TEST_F(MemoryData, EventsRunAroundInsertAndPost)
{
    int inserted = 0;
    int posted = 0;
    t.OnAfterInsert = [&](TRxMemoryData &d) {
        ++inserted;
        d.FieldByName("Ilosc").SetAsFloat(0);
    };
    t.OnAfterPost = [&](TRxMemoryData &) { ++posted; };
    Add(1, "A");
    EXPECT_EQ(inserted, 1);
    EXPECT_EQ(posted, 1);
    EXPECT_FALSE(t.FieldByName("Ilosc").IsNull());
    t.Append();
    t.Cancel();
    EXPECT_EQ(posted, 1);
    t.Delete();
    EXPECT_EQ(posted, 1);
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_THROW(t.Delete(), EDatabaseError);
}

TEST_F(MemoryData, HooksAndChangeNotification)
{
    t.Field(1).OnGetText = [](const TField &, const TFieldValue &v, bool display) {
        const QString s = std::holds_alternative<QString>(v) ? std::get<QString>(v) : QString();
        return display ? "<" + s + ">" : s.toLower();
    };
    t.Field(1).OnSetText = [](TField &f, const QString &text) { f.SetAsString(text.toUpper()); };
    int changes = 0;
    t.Field(1).OnChange = [&](TField &) { ++changes; };
    t.Append();
    t.FieldByName("Numer").SetAsInteger(1);
    t.FieldByName("Nazwa").SetText("ab");
    t.Post();
    EXPECT_EQ(t.FieldByName("Nazwa").AsString(), "AB");
    EXPECT_EQ(t.FieldByName("Nazwa").Text(), "ab");
    EXPECT_EQ(t.FieldByName("Nazwa").DisplayText(), "<AB>");
    EXPECT_EQ(t.FieldByName("Nazwa").DisplayTextAt(0), "<AB>");
    EXPECT_EQ(changes, 1);
}

TEST_F(MemoryData, EmptyTableClearsEverything)
{
    Add(1, "A");
    t.Append();
    t.EmptyTable();
    EXPECT_EQ(t.State(), TDataSetState::Browse);
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_TRUE(t.Eof());
    t.First();
    EXPECT_TRUE(t.FieldByName("Numer").IsNull());
}

TEST_F(MemoryData, ManyRecordsAppendAndSortInLinearishTime)
{
    // A functional check of bulk use: 9999 records keep order and bookmarks.
    t.DisableControls();
    for (int i = 0; i < 9999; ++i) {
        t.Append();
        t.FieldByName("Numer").SetAsInteger(1 + i % 30);
        t.FieldByName("Nazwa").SetAsString(QString::number(9999 - i));
        t.Post();
    }
    t.EnableControls();
    const TBookmark mid = t.BookmarkAt(5000);
    t.SortOnFields({"Numer", "Nazwa"});
    ASSERT_TRUE(t.GotoBookmark(mid));
    EXPECT_EQ(t.FieldByName("Nazwa").AsString(), "4999");
    EXPECT_EQ(t.RecordCount(), 9999);
}

} // namespace
