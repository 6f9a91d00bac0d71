// The remembered register content and "send changed" against the simulated
// register: what each kind of job leaves in the memory, what survives a
// restart, which codes a send of the changed ones really carries, and the
// delete question for codes the editor no longer holds.
#include "exchange_test_support.h"

#include "exchange/URegisterMemory.h"
#include "data/UFinally.h"
#include "data/URunFolder.h"
#include "scripted_messages.h"
#include "sim/USimPty.h"

#include <QTimeZone>

#include <gmock/gmock.h>

#include <sys/stat.h>

namespace {

class TShopDialogs : public TFakeDialogs {
public:
    bool ConfirmDeleteMissing(const QString &question) override
    {
        DeleteAsked << question;
        return DeleteMissing;
    }
    bool DeleteMissing = false;
    QStringList DeleteAsked;
};

const QDateTime kMorning(QDate(2026, 3, 2), QTime(8, 15), QTimeZone::utc());

// The register's port, another port, a name that only looks like it and
// the port's other names, as the system calls them.
#ifdef _WIN32
const QString kPort = QStringLiteral("COM1");
const QString kOtherPort = QStringLiteral("COM2");
const QString kLookAlike = QStringLiteral("COM_1");
const QStringList kSamePort{QStringLiteral("com1"), QStringLiteral(" COM1 ")};
#else
const QString kPort = QStringLiteral("/dev/ttyS0");
const QString kOtherPort = QStringLiteral("/dev/ttyS1");
const QString kLookAlike = QStringLiteral("dev_ttyS0");
const QStringList kSamePort{QStringLiteral("COM1"), QStringLiteral("ttyS0")};
#endif

} // namespace

class ShopExchange : public ExchangeTest {
protected:
    void SetUp() override
    {
        ExchangeTest::SetUp();
        Fresh();
    }

    // A clean start for each case of a table: an empty register, no
    // memory, codes 1 to 5 in the editor.
    void Fresh()
    {
        sim.reset();
        jobs.Sim = nullptr;
        jobs.Jobs.clear();
        jobs.Codes.clear();
        wait.Errors.clear();
        shopMessages = TScriptedMessages();
        shopDialogs.Confirm = true;
        shopDialogs.DeleteMissing = false;
        shopDialogs.DeleteAsked.clear();
        shopDialogs.SendAsked = 0;
        now = kMorning;
        QDir(dir.filePath(QStringLiteral("pamiec"))).removeRecursively();
        memory = MemoryFor(kPort);
        x = std::make_unique<TExchange>(dm, TExchangeTable::Kody, FileOf(TExchangeTable::Kody), jobs, wait, shopMessages,
                                        shopDialogs);
        x->SetRegisterMemory(memory.get());
        status = TRecordingStatus();
        x->SetStatus(&status);
        dm.MDKody.EmptyTable();
        dm.MDKodyWKasie.EmptyTable();
        for (int i = 1; i <= 5; ++i)
            AddCode(dm, QString::number(i), QStringLiteral("Kod %1").arg(i), 1, QStringLiteral("%1,00").arg(i));
    }

    std::unique_ptr<TRegisterMemory> MemoryFor(const QString &port)
    {
        return std::make_unique<TRegisterMemory>(dir.filePath(QStringLiteral("pamiec")), [this, port] {
            return TRegisterMemory::Key(ModelCodeOf(dm.Kasa), port);
        }, [this] { return now; });
    }

    // The register's codes, read back into the twin: number and name.
    QStringList RegisterCodes()
    {
        TExchange reader(dm, TExchangeTable::Kody, FileOf(TExchangeTable::Kody), jobs, wait, shopMessages, shopDialogs);
        reader.ReadForView();
        QStringList out;
        for (int r = 0; r < dm.MDKodyWKasie.RecordCount(); ++r)
            out << dm.MDKodyWKasie.FieldByName("Numer").DisplayTextAt(r) + u' '
                       + dm.MDKodyWKasie.FieldByName("Nazwa").TextAt(r) + u' '
                       + dm.MDKodyWKasie.FieldByName("Cena").TextAt(r);
        out.sort();
        return out;
    }

    static QStringList Remembered(const TRegisterContent &c)
    {
        QStringList out;
        for (const auto &[numer, code] : c.Codes)
            out << QString::number(numer.toLongLong()) + u' ' + code.Nazwa;
        return out;
    }

    void EditCode(int row, const char *field, const QString &text)
    {
        dm.MDKody.SetRecNo(row + 1);
        dm.MDKody.Edit();
        dm.MDKody.FieldByName(field).SetText(text);
        dm.MDKody.Post();
    }

    // Another program sends a code to the register: the memory does not
    // know, so a send that carried the code would overwrite it.
    void SendBehindTheBack(const QString &numer, const QString &nazwa)
    {
        TDM other;
        other.ApplyProfile(dm.Kasa, true, 0);
        AddCode(other, numer, nazwa);
        // The same model: the job runner takes only the model from its module.
        TExchange(other, TExchangeTable::Kody, FileOf(TExchangeTable::Kody), jobs, wait, shopMessages, shopDialogs)
            .SendAll();
    }

    QDateTime now = kMorning;
    TRecordingStatus status;
    TScriptedMessages shopMessages;
    TShopDialogs shopDialogs;
    std::unique_ptr<TRegisterMemory> memory;
    std::unique_ptr<TExchange> x;
};

// What each kind of job leaves in the memory. Every case starts from a
// register that was sent codes 1 to 5 at 08:15 and runs at 09:00.
TEST_F(ShopExchange, MemoryAfterEachKindOfJob)
{
    struct Case {
        const char *name;
        std::function<void()> job;
        QStringList remembered;
        bool updated;
    };
    auto select = [this](std::vector<int> rows) {
        std::vector<TBookmark> marks;
        for (int r : rows)
            marks.push_back(dm.MDKody.BookmarkAt(r));
        return TTableGridRef(dm.MDKody, marks);
    };
    const QStringList all = {"1 Kod 1", "2 Kod 2", "3 Kod 3", "4 Kod 4", "5 Kod 5"};
    const Case cases[] = {
        {"read: what the register holds",
         [this] {
             SendBehindTheBack("7", "Obcy");
             x->Read();
         },
         {"1 Kod 1", "2 Kod 2", "3 Kod 3", "4 Kod 4", "5 Kod 5", "7 Obcy"}, true},
        {"full send: the table on top of what was there",
         [this] {
             EditCode(0, "Nazwa", "Chleb");
             x->SendAll();
         },
         {"1 Chleb", "2 Kod 2", "3 Kod 3", "4 Kod 4", "5 Kod 5"}, true},
        {"send selected: those rows",
         [&] {
             EditCode(1, "Nazwa", "Bułka");
             EditCode(2, "Nazwa", "Masło");
             x->SendSelected(select({1}));
         },
         {"1 Kod 1", "2 Bułka", "3 Kod 3", "4 Kod 4", "5 Kod 5"}, true},
        {"delete selected: those numbers gone",
         [&] { x->DeleteSelected(select({0, 4})); },
         {"2 Kod 2", "3 Kod 3", "4 Kod 4"}, true},
        {"refused send (0701 sales in the register): nothing changes",
         [this] {
             sim->WithRegister([](TSimRegister &r) { r.SalesSeed = 7;
                 r.FillSales();
             });
             EditCode(0, "Nazwa", "Chleb");
             EXPECT_THROW(x->SendAll(), EAbort);
         },
         all, false},
        {"failed job (no register): nothing changes",
         [this] {
             jobs.Sim = nullptr;
             EditCode(0, "Nazwa", "Chleb");
             EXPECT_THROW(x->SendAll(), EAbort);
             EXPECT_THROW(x->Read(), EAbort);
         },
         all, false},
        {"cancelled send dialog: nothing changes",
         [this] {
             shopDialogs.Confirm = false;
             EditCode(0, "Nazwa", "Chleb");
             x->SendAll();
         },
         all, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        StartSim();
        x->SendAll();
        now = kMorning.addSecs(45 * 60);
        c.job();
        const TRegisterContent content = memory->Load();
        EXPECT_TRUE(content.Known);
        EXPECT_EQ(Remembered(content).join(u',').toStdString(), c.remembered.join(u',').toStdString());
        EXPECT_EQ(content.Updated, c.updated ? now : kMorning);
        EXPECT_TRUE(NoExchangeFiles());
    }
}

TEST_F(ShopExchange, MemorySurvivesARestartAndIsKeptPerRegister)
{
    StartSim();
    x->SendAll();
    // A new run of the program: a fresh memory object over the same folder.
    EXPECT_EQ(Remembered(MemoryFor(kPort)->Load()).size(), 5);
    EXPECT_EQ(MemoryFor(kPort)->Load().Updated, kMorning);
    EXPECT_FALSE(MemoryFor(kOtherPort)->Load().Known);
    EXPECT_FALSE(MemoryFor(kLookAlike)->Load().Known);
    // The same port under its other names.
    for (const QString &name : kSamePort)
        EXPECT_TRUE(MemoryFor(name)->Load().Known) << name.toStdString();
    dm.ApplyProfile(4, true, 0); // another model on the same port
    EXPECT_FALSE(MemoryFor(kPort)->Load().Known);
}

// The register behind a pseudo-terminal may be another simulator in the
// next run; what a register holds is for the user alone, whatever the umask
// and the mode an earlier version left the folder in.
TEST_F(ShopExchange, APseudoTerminalIsRememberedForTheRunOnlyAndTheFilesAreTheUsersAlone)
{
#ifdef _WIN32
    GTEST_SKIP() << "pseudo-terminals, umask and file modes are Linux's";
#else
    QTemporaryDir tmp;
    const QByteArray tmpBefore = qgetenv("TMPDIR");
    const mode_t umaskBefore = ::umask(022);
    RemoveRunFolder();
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const TFinally restore([&] {
        RemoveRunFolder();
        qputenv("TMPDIR", tmpBefore);
        ::umask(umaskBefore);
    });
    const QString folder = dir.filePath(QStringLiteral("pamiec"));
    ASSERT_EQ(::mkdir(QFile::encodeName(folder).constData(), 0755), 0);
    const std::map<QString, TRememberedCode> one{
        {QStringLiteral("1"), {QStringLiteral("1"), QStringLiteral("Kod"), 1, Currency(), QStringLiteral("0")}}};
    for (const char *port : {"/dev/ttyS0", "/dev/pts/3"})
        MemoryFor(QLatin1String(port))->ReplaceAll(one);

    const QString pts = MemoryFor(QStringLiteral("/dev/pts/3"))->FileName();
    EXPECT_TRUE(pts.startsWith(RunFolder() + u'/')) << pts.toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);
    for (const QString &path : {folder, memory->FileName(), pts})
        EXPECT_EQ(QFileInfo(path).permissions() & 0x0077, 0) << path.toStdString(); // nothing for group and others
    EXPECT_TRUE(MemoryFor(QStringLiteral("/dev/pts/3"))->Load().Known);
    RemoveRunFolder(); // the run ends
    EXPECT_FALSE(MemoryFor(QStringLiteral("/dev/pts/3"))->Load().Known);
    EXPECT_TRUE(MemoryFor(QStringLiteral("/dev/ttyS0"))->Load().Known);
#endif
}

// What the device is decides, not how its name is spelled: every way to a
// pseudo-terminal keeps the content for the run only, and every way to one
// serial port shares one memory.
TEST_F(ShopExchange, EverySpellingOfADeviceIsThatDevice)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no pseudo-terminals";
#else
    TPtySimulator pty;
    ASSERT_TRUE(pty.Start());
    const QString slave = QString::fromStdString(pty.PortPath());
    ASSERT_TRUE(slave.startsWith(QStringLiteral("/dev/pts/"))) << slave.toStdString();
    const QString ptyLink = dir.filePath(QStringLiteral("kasa-usb"));
    const QString nullLink = dir.filePath(QStringLiteral("kasa-null"));
    ASSERT_TRUE(QFile::link(slave, ptyLink));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), nullLink));
    const TFinally restore([] { RemoveRunFolder(); });
    const std::map<QString, TRememberedCode> one{
        {QStringLiteral("1"), {QStringLiteral("1"), QStringLiteral("Kod"), 1, Currency(), QStringLiteral("0")}}};
    const QString pts = slave.mid(5); // "pts/N", looked up under /dev/
    const struct {
        QString port;
        bool pseudoTerminal;
        QString sameAs;
    } cases[] = {
        {slave, true, slave},
        {QStringLiteral("/dev//") + pts, true, slave},
        {QStringLiteral("/dev/pts/../") + pts, true, slave},
        {QStringLiteral("/proc/self/root") + slave, true, slave},
        {ptyLink, true, slave},
        {pts, true, slave},
        {QStringLiteral("/dev/null"), false, QStringLiteral("/dev/null")},
        {nullLink, false, QStringLiteral("/dev/null")},
        {QStringLiteral("/dev/./null"), false, QStringLiteral("/dev/null")},
        {QStringLiteral("null"), false, QStringLiteral("/dev/null")},
    };
    const QDir folder(dir.filePath(QStringLiteral("pamiec")));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.port.toStdString());
        Fresh();
        const auto m = MemoryFor(c.port);
        EXPECT_EQ(m->ForThisRunOnly(), c.pseudoTerminal);
        EXPECT_EQ(m->FileName(), MemoryFor(c.sameAs)->FileName());
        m->ReplaceAll(one);
        EXPECT_EQ(!folder.exists() || folder.isEmpty(), c.pseudoTerminal);
        EXPECT_TRUE(MemoryFor(c.sameAs)->Load().Known);
    }
#endif
}

TEST_F(ShopExchange, DamagedMemoryFileIsReportedAndReplacedByTheNextFullSend)
{
    const QStringList contents = {"", "{not json", R"({"format":"x","version":1})",
                                  R"({"format":"Orvan277PS Plus register memory","version":1,"updated":"2026-03-02T08:15:00Z","codes":[[1,2]]})"};
    for (const QString &text : contents) {
        SCOPED_TRACE(text.toStdString());
        QDir().mkpath(dir.filePath("pamiec"));
        QFile f(memory->FileName());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.toUtf8());
        f.close();
        EXPECT_THAT(MessageOf([&] { memory->Load(); }), ::testing::HasSubstr("jest uszkodzony"));
    }
    StartSim();
    shopMessages.Answer = TPromptAnswer::No;
    x->SendChanged();
    EXPECT_THAT(shopMessages.Log.join(u'\n').toStdString(), ::testing::HasSubstr("error Plik z zapamiętaną"));
    EXPECT_TRUE(jobs.Jobs.isEmpty());
    x->SendAll();
    EXPECT_EQ(Remembered(memory->Load()).size(), 5);
}

// Send changed sends exactly the new and changed codes: a code another
// program changed in the register meanwhile stays as that program left it.
TEST_F(ShopExchange, SendChangedCarriesOnlyNewAndChangedCodes)
{
    struct Case {
        const char *name;
        const char *field;
        QString text;
        QString expected; // code 2 in the register afterwards
    };
    const Case cases[] = {
        {"name", "Nazwa", "Ser żółty", "2 Ser żółty 2"},
        {"price", "Cena", "2,35", "2 Kod 2 2,35"},
        {"group", "Grupa", "3", "2 Kod 2 2"},
        {"price kind", "RodzajCeny", "Wprowadz.", "2 Kod 2 2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        StartSim();
        x->SendAll();
        SendBehindTheBack("4", "Obcy");
        EditCode(1, c.field, c.text);
        AddCode(dm, "60", "Nowy");
        const int jobsBefore = int(jobs.Jobs.size());
        shopMessages.Log.clear();
        x->SendChanged();
        ASSERT_EQ(jobs.Jobs.size(), jobsBefore + 1) << shopMessages.Log.join(u'\n').toStdString();
        EXPECT_EQ(shopMessages.Log.join(u'\n').toStdString(),
                  QStringLiteral("ask Liczba kodów do wysłania: 2 z 6 (nowe i zmienione od %1, gdy ostatnio "
                                 "zapamiętano zawartość kasy).\r\nCzy wysłać je do kasy?")
                      .arg(TExchange::UpdatedText(kMorning))
                      .toStdString());
        EXPECT_EQ(shopDialogs.SendAsked, 3); // first send, the other program, this one
        EXPECT_EQ(status.Texts.last(), QStringLiteral("Wysłano 2 zmienione kody"));
        const QStringList held = RegisterCodes();
        EXPECT_TRUE(held.contains(c.expected)) << held.join(u'\n').toStdString();
        EXPECT_TRUE(held.contains("4 Obcy 2,5"));
        EXPECT_TRUE(held.contains("60 Nowy 2,5"));
        // Nothing is left to send afterwards.
        shopMessages.Log.clear();
        EditCode(3, "Nazwa", "Kod 4"); // the editor's view of code 4 is unchanged
        x->SendChanged();
        EXPECT_THAT(shopMessages.Log.join(u'\n').toStdString(), ::testing::HasSubstr("info Nie ma zmienionych kodów"));
    }
}

TEST_F(ShopExchange, CodesGoneFromTheEditorAreDeletedOnlyAfterAYes)
{
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        Fresh();
        StartSim();
        x->SendAll();
        dm.MDKody.SetRecNo(3);
        dm.MDKody.Delete(); // code 3
        dm.MDKody.Last();
        dm.MDKody.Delete(); // code 5
        shopDialogs.DeleteMissing = yes;
        const int jobsBefore = int(jobs.Jobs.size());
        status.Texts.clear();
        x->SendChanged();
        EXPECT_EQ(status.Texts, yes ? QStringList{"Skasowano w kasie 2 kody"} : QStringList{});
        EXPECT_EQ(shopDialogs.DeleteAsked,
                  QStringList{"Kasa zawiera jeszcze kody, których nie ma w edytorze (liczba: 2).\r\nCzy usunąć je także w kasie?"});
        // Nothing changed to send: no send job, one delete job after a yes.
        EXPECT_EQ(jobs.Jobs.size(), jobsBefore + (yes ? 1 : 0));
        if (yes) {
            EXPECT_EQ(jobs.Jobs.last(), "/Fkody.txt /T11 /AAB /XD");
        }
        EXPECT_EQ(RegisterCodes().size(), yes ? 3 : 5);
        EXPECT_EQ(Remembered(memory->Load()).size(), yes ? 3 : 5);
        EXPECT_TRUE(NoExchangeFiles());
    }
}

TEST_F(ShopExchange, SendChangedWithoutMemoryOffersTheFullSend)
{
    for (TPromptAnswer answer : {TPromptAnswer::No, TPromptAnswer::Yes}) {
        Fresh();
        StartSim();
        shopMessages.Answer = answer;
        x->SendChanged();
        ASSERT_EQ(shopMessages.Log.size(), 1);
        EXPECT_TRUE(shopMessages.Log.first().startsWith("ask Program nie wie jeszcze, jakie kody zawiera ta kasa."));
        EXPECT_EQ(jobs.Jobs.size(), answer == TPromptAnswer::Yes ? 1 : 0);
        EXPECT_EQ(memory->Load().Known, answer == TPromptAnswer::Yes);
        EXPECT_EQ(RegisterCodes().size(), answer == TPromptAnswer::Yes ? 5 : 0);
    }
}

TEST_F(ShopExchange, SendChangedRunsTheChecksOfAFullSendOverTheWholeTable)
{
    StartSim();
    x->SendAll();
    // An unchanged record breaks a rule only the whole table shows: a repeated number.
    AddCode(dm, "3", "Kod 3 bis");
    EXPECT_THROW(x->SendChanged(), EAbort);
    ASSERT_EQ(wait.Errors.size(), 1);
    EXPECT_EQ(wait.Errors.first(), "Numery nie mogą się powtarzać.");
    EXPECT_EQ(jobs.Jobs.size(), 1);
    // A refused question sends nothing either.
    dm.MDKody.Last();
    dm.MDKody.Delete();
    EditCode(0, "Nazwa", "Chleb");
    shopMessages.Answer = TPromptAnswer::No;
    x->SendChanged();
    EXPECT_EQ(jobs.Jobs.size(), 1);
    EXPECT_EQ(Remembered(memory->Load()).first(), "1 Kod 1");
}
