// Read, send, send selected and delete selected through the exchange logic,
// against the simulated register on the in-process line, and the paths on
// which a command fails.
#include "exchange_test_support.h"

#include "data/UCodePage.h"
#include "data/UOrvanIO.h"

#include <algorithm>

namespace {

const QStringList kGroupFields{"Numer", "Nazwa", "VAT", "Cena", "RodzajSprz", "Limit"};
const QStringList kCodeFields{"Numer", "Nazwa", "Grupa", "Cena", "RodzajCeny"};
const QStringList kDepositFields{"Numer", "Cena"};

QStringList Sorted(QStringList l)
{
    l.sort();
    return l;
}

class ExchangeRegister : public ExchangeTest {
protected:
    void FillTables()
    {
        const bool z = dm.RegisterProfile.VatZ;
        AddGroup(dm, 1, QStringLiteral("Pieczywo"), "A", "2,50");
        AddGroup(dm, 2, QStringLiteral("Nabiał Ąę"), "B", "0", "Natychmiast.", 3);
        AddGroup(dm, 3, QStringLiteral("Napoje"), z ? "Z" : "G", "999999,99", "Normalna", 0);
        AddCode(dm, "41", QStringLiteral("Bułka"), 1, "0,45");
        AddCode(dm, "7", QStringLiteral("Chleb żytni"), 1, "4,20", "Wprowadz.");
        AddCode(dm, "0", QStringLiteral("Zero"), 2, "0");
        if (!ShortRecordKeys(dm.Kasa)) {
            AddCode(dm, "5901234123457", QStringLiteral("Mleko 2%"), 2, "3,10");
            AddCode(dm, "12345678", QStringLiteral("Sok"), 3, "5,99");
        }
        AddDeposit(dm, 1, "0,50");
        AddDeposit(dm, 2, "12,00");
    }
    int RegisterRecords(int table)
    {
        return sim->WithRegister([&](TSimRegister &r) { return int(r.Table(table)->Records.size()); });
    }
    std::vector<TBookmark> Bookmarks(std::initializer_list<int> rows)
    {
        std::vector<TBookmark> b;
        for (int r : rows)
            b.push_back(dm.MDKody.BookmarkAt(r));
        return b;
    }
};

struct RoundTripCase {
    int kasa;
    int eprom;
    TExchangeTable table;
};

TEST_F(ExchangeRegister, SentTablesReadBackEqual)
{
    const RoundTripCase cases[] = {
        {5, 0, TExchangeTable::Grupy}, {5, 0, TExchangeTable::Kody}, {5, 0, TExchangeTable::Kaucje},
        {1, 0, TExchangeTable::Kody},  {3, 0, TExchangeTable::Kaucje}, {0, 1, TExchangeTable::Grupy},
    };
    for (const RoundTripCase &c : cases) {
        SCOPED_TRACE("kasa " + std::to_string(c.kasa) + " table " + std::to_string(int(c.table)));
        dm.ApplyProfile(c.kasa, true, c.eprom);
        for (TRxMemoryData *t : {&dm.MDGrupy, &dm.MDKody, &dm.MDKaucje})
            t->EmptyTable();
        FillTables();
        StartSim();
        auto x = Exchange(c.table);
        const QStringList fields = c.table == TExchangeTable::Grupy  ? kGroupFields
                                   : c.table == TExchangeTable::Kody ? kCodeFields
                                                                     : kDepositFields;
        const QStringList sent = Sorted(Rows(x->EditorTable(), fields));
        ASSERT_NO_THROW(x->SendAll()) << wait.Errors.join(u'\n').toStdString();
        EXPECT_TRUE(NoExchangeFiles());
        x->EditorTable().EmptyTable();
        dm.Modified = false;
        ASSERT_NO_THROW(x->Read()) << wait.Errors.join(u'\n').toStdString();
        EXPECT_EQ(Sorted(Rows(x->EditorTable(), fields)).join(u'\n').toStdString(), sent.join(u'\n').toStdString());
        EXPECT_EQ(Rows(x->TwinTable(), fields).size(), sent.size());
        EXPECT_TRUE(dm.Modified);
        EXPECT_TRUE(NoExchangeFiles());
        EXPECT_EQ(std::count(jobs.Codes.begin(), jobs.Codes.end(), 0), long(jobs.Codes.size()));
        sim.reset();
    }
}

TEST_F(ExchangeRegister, SendSelectedAndDeleteSelectedCodes)
{
    FillTables(); // five codes
    StartSim();
    auto x = Exchange(TExchangeTable::Kody);
    TTableGridRef grid(dm.MDKody, Bookmarks({3, 1}));
    x->SendSelected(grid);
    EXPECT_EQ(RegisterRecords(TSimRegister::CodesTable), 2);
    EXPECT_EQ(jobs.Jobs.last(), "/Fkody.txt /T11 /AABDE /XD");

    x->SendAll();
    EXPECT_EQ(RegisterRecords(TSimRegister::CodesTable), 5);
    grid.SetSelectedRows(Bookmarks({0, 2, 4}));
    x->DeleteSelected(grid);
    EXPECT_EQ(jobs.Jobs.last(), "/Fkody.txt /T11 /AAB /XD");
    EXPECT_EQ(wait.Messages.last(), "Przygotowuję kody do skasowanie...");
    EXPECT_EQ(RegisterRecords(TSimRegister::CodesTable), 2);
    EXPECT_EQ(dm.MDKody.RecordCount(), 5); // the editor keeps its codes
    EXPECT_TRUE(NoExchangeFiles());

    // Nothing selected: send says so, delete does nothing at all.
    const int jobCount = int(jobs.Jobs.size());
    grid.SetSelectedRows({});
    x->SendSelected(grid);
    x->DeleteSelected(grid);
    EXPECT_EQ(messages.Log.last(), "info Nie zaznaczyłeś żadnych kodów !");
    EXPECT_EQ(int(jobs.Jobs.size()), jobCount);
    EXPECT_EQ(dialogs.SendAsked, 2);
}

// Every command that did something tells the window's status bar; one
// that was cancelled says nothing.
TEST_F(ExchangeRegister, EachCommandTellsTheStatusBarWhatItDid)
{
    FillTables(); // 3 groups, 5 codes, 2 deposits
    StartSim();
    TRecordingStatus status;
    const auto on = [&](TExchangeTable table) {
        auto x = Exchange(table);
        x->SetStatus(&status);
        return x;
    };
    TEditorCommands commands(dm, TExchangeTable::Kaucje, messages);
    commands.SetStatus(&status);
    const auto grid = [&](std::initializer_list<int> rows) { return TTableGridRef(dm.MDKody, Bookmarks(rows)); };
    const struct {
        std::function<void()> run;
        QStringList texts;
    } cases[] = {
        {[&] { on(TExchangeTable::Grupy)->SendAll(); }, {"Wysłano 3 grupy do kasy"}},
        {[&] { on(TExchangeTable::Kody)->SendAll(); }, {"Wysłano 5 kodów do kasy"}},
        {[&] { on(TExchangeTable::Kaucje)->SendAll(); }, {"Wysłano 2 kaucje do kasy"}},
        {[&] { on(TExchangeTable::Kody)->SendSelected(grid({0})); }, {"Wysłano 1 zaznaczony kod do kasy"}},
        {[&] { on(TExchangeTable::Kody)->DeleteSelected(grid({1, 2, 3})); }, {"Skasowano w kasie 3 kody"}},
        {[&] { on(TExchangeTable::Grupy)->ReadForView(); }, {"Odczytano 3 grupy z kasy"}},
        {[&] { on(TExchangeTable::Kody)->Read(); }, {"Odczytano 2 kody z kasy"}},
        {[&] { commands.ExportCsv(dm.MDKaucje, {"Numer", "Cena"}, dir.filePath(QStringLiteral("k.csv"))); },
         {"Wyeksportowano 2 kaucje do pliku k.csv"}},
        {[&] { commands.ReportImport(22, QStringLiteral("/dom/kaucje.csv")); }, {"Zaimportowano 22 kaucje z pliku kaucje.csv"}},
        {[&] {
             dialogs.Confirm = false;
             on(TExchangeTable::Kody)->SendAll();
         },
         {}},
    };
    for (const auto &c : cases) {
        status.Texts.clear();
        c.run();
        EXPECT_EQ(status.Texts, c.texts) << wait.Errors.join(u'\n').toStdString();
    }
}

TEST_F(ExchangeRegister, ReadsWithCountersShowTheTotals)
{
    struct Case {
        int kasa, eprom;
        TExchangeTable table;
        bool withCounters;
        int texts;
    };
    const Case cases[] = {
        {5, 0, TExchangeTable::Grupy, true, 1}, {5, 0, TExchangeTable::Grupy, false, 0},
        {5, 0, TExchangeTable::Kody, true, 1},  {5, 0, TExchangeTable::Kody, false, 1},
        {0, 0, TExchangeTable::Kody, true, 2},  {5, 0, TExchangeTable::Kaucje, true, 1},
        {5, 0, TExchangeTable::Kaucje, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("kasa " + std::to_string(c.kasa) + " table " + std::to_string(int(c.table)) + " counters "
                     + std::to_string(c.withCounters));
        dm.ApplyProfile(c.kasa, true, c.eprom);
        for (TRxMemoryData *t : {&dm.MDGrupy, &dm.MDKody, &dm.MDKaucje})
            t->EmptyTable();
        FillTables();
        if (c.kasa == 0) {
            AddGroup(dm, 9, QStringLiteral("Wydanie"), "+");
            AddGroup(dm, 10, QStringLiteral("Zwrot"), "-");
            AddCode(dm, "90", QStringLiteral("Skrzynka"), 9, "10,00");
            AddCode(dm, "91", QStringLiteral("Skrzynka zw"), 10, "10,00");
        }
        StartSim();
        auto x = Exchange(c.table);
        x->SendAll();
        sim->WithRegister([](TSimRegister &r) {
            r.SalesSeed = 7;
            r.FillSales();
        });
        dialogs.WithCounters = c.withCounters;
        messages.Log.clear();
        x->Read();
        ASSERT_EQ(messages.Log.size(), c.texts) << messages.Log.join(u'\n').toStdString();

        // The totals are the sums over the rows that count.
        TRxMemoryData &t = x->EditorTable();
        Currency a, b, d;
        for (int r = 0; r < t.RecordCount(); ++r) {
            auto money = [&](const char *f) { return Currency::FromUnits(std::get<std::int64_t>(t.FieldByName(f).ValueAt(r))); };
            if (c.table == TExchangeTable::Grupy) {
                const QString vat = t.FieldByName("VAT").TextAt(r);
                if (vat != "+" && vat != "-") {
                    a += money("LDW");
                    b += money("LOW");
                }
            } else if (c.table == TExchangeTable::Kody) {
                const int g = t.FieldByName("Grupa").TextAt(r).toInt();
                (c.kasa == 0 && g == 9 ? b : c.kasa == 0 && g == 10 ? d : a) += money("LDW");
            } else {
                a += money("LDWw");
                b += money("LDWz");
            }
        }
        if (c.withCounters)
            EXPECT_NE(a, Currency());
        else
            EXPECT_EQ(a, Currency());
        auto m = [](Currency v) { return FormatCurrencyDisplay(v); };
        QStringList expected;
        if (c.table == TExchangeTable::Grupy && c.withCounters)
            expected << "info Łączna odczytana sprzedaż wynosi: \r\ndzienna: " + m(a) + "\r\nokresowa: " + m(b);
        if (c.table == TExchangeTable::Kody && c.texts == 2)
            expected << "info Łączna odczytana sprzedaż wynosi " + m(a) + "\r\nWydanie kaucji: " + m(b)
                            + "\r\nZwroty kaucji: " + m(d);
        if (c.table == TExchangeTable::Kody)
            expected << "info Łączna odczytana sprzedaż wynosi " + m(a);
        if (c.table == TExchangeTable::Kaucje && c.withCounters)
            expected << "info Łączna wartość\r\nwydania: " + m(a) + "\r\nzwrotow: " + m(b);
        EXPECT_EQ(messages.Log.join(u'\n').toStdString(), expected.join(u'\n').toStdString());
        sim.reset();
    }
}

TEST_F(ExchangeRegister, ViewReadsFillOnlyTheTwin)
{
    FillTables();
    StartSim();
    auto x = Exchange(TExchangeTable::Kody);
    x->SendAll();
    dm.MDKody.EmptyTable();
    AddCode(dm, "1", QStringLiteral("Tylko w edytorze"));
    dm.Modified = false;
    dialogs.ClearFirst = true; // whatever the box showed before

    x->ReadForView();
    EXPECT_EQ(dialogs.ReadAsked, QList<bool>{true});
    EXPECT_EQ(dm.MDKody.RecordCount(), 1);
    EXPECT_EQ(dm.MDKodyWKasie.RecordCount(), 5);
    EXPECT_FALSE(dm.Modified);
    EXPECT_FALSE(dm.ViewOnlyRead);
    EXPECT_FALSE(dm.ReadingForView);
    EXPECT_TRUE(messages.Log.isEmpty()); // no totals for a view

    // A failed view read clears the flag too.
    sim.reset();
    jobs.Sim = nullptr;
    EXPECT_THROW(x->ReadForView(), EAbort);
    EXPECT_FALSE(dm.ViewOnlyRead);
    EXPECT_EQ(dm.MDKody.RecordCount(), 1);
}

TEST_F(ExchangeRegister, RegisterWithSalesRefusesTheSendAndNothingChanges)
{
    FillTables();
    StartSim({}, [](TSimRegister &r) { r.SalesSeed = 3; });
    auto x = Exchange(TExchangeTable::Grupy);
    x->SendAll(); // the register had no records yet
    sim->WithRegister([](TSimRegister &r) { r.FillSales(); });
    dm.MDGrupy.First();
    dm.MDGrupy.Edit();
    dm.MDGrupy.FieldByName("Nazwa").SetAsString(QStringLiteral("Nowa nazwa"));
    dm.MDGrupy.Post();
    const QStringList before = Rows(dm.MDGrupy, kGroupFields);
    EXPECT_THROW(x->SendAll(), EAbort);
    EXPECT_EQ(jobs.Codes.back(), 0x0701);
    EXPECT_EQ(Rows(dm.MDGrupy, kGroupFields), before);
    EXPECT_TRUE(NoExchangeFiles());
}

// A job that leaves the given lines in the exchange file, or fails.
class TScriptedJobs : public IJobRunner {
public:
    explicit TScriptedJobs(const QString &folder) : m_folder(folder) {}
    void Run(const TJobRequest &request) override
    {
        const QString jobSwitches = JobSwitches(request);
        Jobs << jobSwitches;
        const QString name = jobSwitches.mid(2).section(u' ', 0, 0);
        SentFile = QFile(m_folder + u'/' + name).exists();
        if (Fail)
            throw EAbort();
        if (jobSwitches.contains(QStringLiteral("/XU"))) {
            QFile f(m_folder + u'/' + name);
            if (f.open(QIODevice::WriteOnly))
                for (const QString &l : Lines)
                    f.write(ToCp1250(l) + "\r\n");
        }
    }
    QStringList Jobs, Lines;
    bool Fail = false;
    bool SentFile = false;

private:
    QString m_folder;
};

TEST_F(ExchangeRegister, TheExchangeFileIsDeletedOnEveryPath)
{
    struct Case {
        const char *what;
        std::function<void(TExchange &, TScriptedJobs &)> run;
        bool aborts;
    };
    const Case cases[] = {
        {"send refused by the check", [&](TExchange &x, TScriptedJobs &) {
             AddGroup(dm, 1, QStringLiteral("Dubel"));
             x.SendAll();
         }, true},
        {"send job failed", [](TExchange &x, TScriptedJobs &j) { j.Fail = true; x.SendAll(); }, true},
        {"send succeeded", [](TExchange &x, TScriptedJobs &) { x.SendAll(); }, false},
        {"read job failed", [](TExchange &x, TScriptedJobs &j) { j.Fail = true; x.Read(); }, true},
        {"read line refused", [](TExchange &x, TScriptedJobs &j) {
             j.Lines = {QStringLiteral(" 4,01, 8,00,     1.00,Dobra           ,"),
                        QStringLiteral("99,01, 8,00,     1.00,Zły numer       ,")};
             x.Read();
         }, true},
        {"read succeeded", [](TExchange &x, TScriptedJobs &j) {
             j.Lines = {QStringLiteral(" 4,01, 8,00,     1.00,Dobra           ,")};
             x.Read();
         }, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        dm.MDGrupy.EmptyTable();
        AddGroup(dm, 1, QStringLiteral("Pierwsza"));
        AddGroup(dm, 2, QStringLiteral("Druga"));
        TScriptedJobs scripted(dir.path());
        TExchange x(dm, TExchangeTable::Grupy, FileOf(TExchangeTable::Grupy), scripted, wait, messages, dialogs);
        const QStringList before = Rows(dm.MDGrupy, kGroupFields);
        bool aborted = false;
        try {
            c.run(x, scripted);
        } catch (const EAbort &) {
            aborted = true;
        }
        EXPECT_EQ(aborted, c.aborts);
        EXPECT_TRUE(NoExchangeFiles());
        if (c.aborts && QString::fromLatin1(c.what).startsWith("read")) {
            EXPECT_EQ(Rows(dm.MDGrupy, kGroupFields), before); // nothing typed is lost
        }
    }
    EXPECT_EQ(wait.Errors.value(0), "Numery nie mogą się powtarzać.");
    EXPECT_TRUE(wait.Errors.value(1).contains("Zły numer"));
    EXPECT_EQ(dm.MDGrupyWKasie.RecordCount(), 1);
}

// The register may hold names no field takes (stored by another program):
// the read blanks their control characters, so the editor table saves a
// data file that loads again.
TEST_F(ExchangeRegister, ControlCharactersInANameReadFromTheRegisterBecomeABlank)
{
    FillTables();
    StartSim();
    auto x = Exchange(TExchangeTable::Grupy);
    x->SendAll();
    sim->WithRegister([](TSimRegister &r) {
        for (auto &[key, record] : r.Table(TSimRegister::GroupsTable)->Records) {
            const auto name = std::search(record.begin(), record.end(), "Pieczywo", "Pieczywo" + 8);
            if (name != record.end()) {
                name[3] = 0x03; // ETX
                name[4] = '\t';
            }
        }
    });
    x->Read();
    EXPECT_EQ(dm.MDGrupyWKasie.FieldByName("Nazwa").TextAt(0), QStringLiteral("Pie\x03\tywo"));
    EXPECT_EQ(dm.MDGrupy.FieldByName("Nazwa").TextAt(0), QStringLiteral("Pie ywo"));
    const QString file = dir.filePath(QStringLiteral("odczyt.otx"));
    SaveDataFile(dm, file, TSectionSet::All());
    dm.MDGrupy.EmptyTable();
    ASSERT_NO_THROW(LoadDataFile(dm, file, TSectionSet::All(), true));
    EXPECT_EQ(dm.MDGrupy.FieldByName("Nazwa").TextAt(0), QStringLiteral("Pie ywo"));
}

TEST_F(ExchangeRegister, EmptyTablesAreRefusedBeforeAnyDialogOrJob)
{
    for (TExchangeTable t : {TExchangeTable::Grupy, TExchangeTable::Kody, TExchangeTable::Kaucje}) {
        auto x = Exchange(t);
        x->EditorTable().Append(); // an untouched new row counts as nothing
        const std::string text = MessageOf([&] { x->SendAll(); });
        EXPECT_EQ(x->EditorTable().RecordCount(), 0);
        EXPECT_TRUE(QString::fromStdString(text).endsWith(" jest pusta: nie ma czego wysłać do kasy.")) << text;
    }
    EXPECT_EQ(dialogs.SendAsked, 0);
    EXPECT_TRUE(jobs.Jobs.isEmpty());
}

// The register would store the records up to its limit and then refuse
// the rest: one record past the model's count stops the send before the
// job, naming the limit; at the limit the job runs.
TEST_F(ExchangeRegister, TablesPastTheModelsRecordCountAreRefusedBeforeTheJob)
{
    using T = TExchangeTable;
    const struct {
        int kasa;
        T table;
        int limit;
        const char *message;
    } cases[] = {
        {5, T::Grupy, 30, "Tabela grup ma 31 rekordów, a kasa ER-A277PS Plus przyjmuje najwyżej 30."},
        {5, T::Kody, 9999, "Tabela kodów ma 10000 rekordów, a kasa ER-A277PS Plus przyjmuje najwyżej 9999."},
        {5, T::Kaucje, 50, "Tabela kaucji ma 51 rekordów, a kasa ER-A277PS Plus przyjmuje najwyżej 50."},
        {2, T::Grupy, 20, "Tabela grup ma 21 rekordów, a kasa ER-A237P przyjmuje najwyżej 20."},
        {2, T::Kody, 940, "Tabela kodów ma 941 rekordów, a kasa ER-A237P przyjmuje najwyżej 940."},
        {2, T::Kaucje, 30, "Tabela kaucji ma 31 rekordów, a kasa ER-A237P przyjmuje najwyżej 30."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        dm.ApplyProfile(c.kasa, true, 1);
        auto x = Exchange(c.table);
        x->EditorTable().EmptyTable();
        // Past the limit a number repeats where the field's range ends.
        for (int n = 1; n <= c.limit + 1; ++n) {
            if (c.table == T::Grupy)
                AddGroup(dm, n > 30 ? 1 : n, QStringLiteral("Grupa %1").arg(n));
            else if (c.table == T::Kaucje)
                AddDeposit(dm, n > 50 ? 1 : n, "1,00");
            else
                AddCode(dm, n > 9999 ? QStringLiteral("12345678") : QString::number(n), QStringLiteral("Kod %1").arg(n));
            if (n < c.limit)
                continue;
            const qsizetype jobsBefore = jobs.Jobs.size();
            wait.Errors.clear();
            EXPECT_THROW(x->SendAll(), EAbort); // no register: the job itself fails
            EXPECT_EQ(jobs.Jobs.size(), jobsBefore + (n == c.limit ? 1 : 0));
            EXPECT_EQ(wait.Errors, n == c.limit ? QStringList() : QStringList{QString::fromUtf8(c.message)});
        }
        EXPECT_TRUE(NoExchangeFiles());
    }
}

TEST_F(ExchangeRegister, DuplicateNamesStopTheSendOnlyWhereTheModelNeedsUniqueNames)
{
    struct Listed : IDuplicateNamesView {
        void ShowDuplicates() override { ++Shown; }
        int Shown = 0;
    } view;
    for (const int kasa : {5, 1}) {
        dm.ApplyProfile(kasa, true, 0);
        dm.MDGrupy.EmptyTable();
        AddGroup(dm, 1, QStringLiteral("Mleko"));
        AddGroup(dm, 2, QStringLiteral("MLEKO"));
        TScriptedJobs scripted(dir.path());
        TExchange x(dm, TExchangeTable::Grupy, FileOf(TExchangeTable::Grupy), scripted, wait, messages, dialogs);
        x.SetDuplicatesView(&view);
        if (kasa == 5) {
            EXPECT_THROW(x.SendAll(), EAbort);
            EXPECT_EQ(wait.Errors.last(), "Nazwy kodów i grup nie mogą się powtarzać !");
            EXPECT_EQ(dm.MDPowtNazwy.RecordCount(), 2);
            EXPECT_TRUE(scripted.Jobs.isEmpty());
        } else {
            EXPECT_NO_THROW(x.SendAll());
            EXPECT_EQ(scripted.Jobs.size(), 1);
            EXPECT_TRUE(scripted.SentFile);
        }
    }
    EXPECT_EQ(view.Shown, 1);
}

} // namespace
