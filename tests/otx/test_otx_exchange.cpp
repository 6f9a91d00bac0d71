// orvan-otx send and read end to end: the built program against the
// simulated register on a pseudo-terminal in this process.
#include "data/UCodePage.h"
#include "data/UDM.h"
#include "data/ULocale.h"
#include "data/UOrvanIO.h"
#include "link/UConsoleDisplay.h"
#include "link/UModule.h"
#include "link/UVirtualClock.h"
#include "sim/USimPty.h"
#include "otx_test_support.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef _WIN32

TEST(OtxExchange, NeedsThePseudoTerminalOfTheSimulatedRegister)
{
    GTEST_SKIP() << "the simulated register answers over a pseudo-terminal (Linux)";
}

#else

namespace {

QString Grupa(int n, const QString &nazwa, const QString &vat = "A")
{
    return QStringLiteral("%1,%2,%3,     1,25,Na,5,         0,00,    0,000,         0,00,    0,000,")
        .arg(n, 2)
        .arg(nazwa, -16)
        .arg(vat);
}

QString Kod(const QString &numer, const QString &nazwa, int grupa = 1)
{
    return QStringLiteral("%1,%2,%3,     2,50,Wp,         0,00,    0,000,").arg(numer, 14).arg(nazwa, -16).arg(grupa, 2);
}

using OtxRun = TOtxRun;

class OtxExchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(tmp.isValid());
        m_saved = FormatSettings();
        FormatSettings() = TFormatSettings::Polish();
    }
    void TearDown() override
    {
        if (sim)
            sim->Stop();
        FormatSettings() = m_saved;
    }

    void StartSim(const std::function<void(TSimRegister &)> &setup = {}, const TSimOptions &options = {})
    {
        sim = std::make_unique<TPtySimulator>(options);
        if (setup)
            sim->WithRegister([&](TSimRegister &r) { setup(r); });
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        port = QString::fromStdString(sim->PortPath());
    }

    QString Write(const char *name, const QStringList &lines)
    {
        return WriteBytes(dir.filePath(QString::fromLatin1(name)), DataLines(lines));
    }

    // Under a Polish locale, with its own temporary folder (to see that no
    // exchange file stays behind).
    OtxRun Otx(const QStringList &args)
    {
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("TMPDIR"), tmp.path());
        return RunOtx(args, QStringLiteral("pl_PL.UTF-8"), extra);
    }
    bool TmpEmpty() const { return QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty(); }
    int Records(int table)
    {
        return sim->WithRegister([&](TSimRegister &r) { return int(r.Table(table)->Records.size()); });
    }

    QTemporaryDir dir, tmp;
    std::unique_ptr<TPtySimulator> sim;
    QString port;
    TFormatSettings m_saved;
};

TEST_F(OtxExchange, SendThenReadWithCountersGivesTheTablesBack)
{
    StartSim();
    const QString file = Write("a.otx", {kGrupy, Grupa(1, "Pieczywo"), Grupa(2, "Nabiał", "B"), kKody,
                                         Kod("41", "Bułka"), Kod("5901234123457", "Mleko 2%", 2), kKaucje,
                                         " 1,     0,50,         0,00,    0,000,         0,00,    0,000,"});
    const OtxRun sent = Otx({"send", file, "--port", port});
    ASSERT_EQ(sent.code, 0) << sent.out.toStdString() << sent.err.toStdString();
    EXPECT_EQ(sent.out.count(QRegularExpression("^0000$", QRegularExpression::MultilineOption)), 3);
    EXPECT_EQ(sent.LastLine(), "0000");
    EXPECT_EQ(Records(TSimRegister::GroupsTable), 2);
    EXPECT_EQ(Records(TSimRegister::CodesTable), 2);
    EXPECT_EQ(Records(TSimRegister::DepositsTable), 1);

    sim->WithRegister([](TSimRegister &r) {
        r.SalesSeed = 11;
        r.FillSales();
    });
    const QString back = dir.filePath("back.otx");
    const OtxRun read = Otx({"read", back, "--port", port, "--counters", "--tables", "kody,grupy"});
    ASSERT_EQ(read.code, 0) << read.out.toStdString() << read.err.toStdString();
    EXPECT_TRUE(read.out.contains("Łączna odczytana sprzedaż wynosi: \ndzienna: "));
    EXPECT_TRUE(read.out.contains("Łączna odczytana sprzedaż wynosi "));

    TDM in, out;
    in.ApplyProfile(5, true, 0);
    out.ApplyProfile(5, true, 0);
    LoadDataFile(in, file, TSectionSet::All(), true);
    EXPECT_EQ(ScanDataFile(out, back), TSectionSet::Of({0, 1})); // exactly the tables read
    LoadDataFile(out, back, TSectionSet::Of({0, 1}), true);
    for (const char *f : {"Numer", "Nazwa", "VAT", "Cena", "RodzajSprz", "Limit"})
        for (int r = 0; r < 2; ++r)
            EXPECT_EQ(out.MDGrupy.FieldByName(f).TextAt(r), in.MDGrupy.FieldByName(f).TextAt(r)) << f;
    QStringList codes;
    for (int r = 0; r < out.MDKody.RecordCount(); ++r)
        codes << out.MDKody.FieldByName("Numer").TextAt(r) + u' ' + out.MDKody.FieldByName("Nazwa").TextAt(r);
    codes.sort();
    EXPECT_EQ(codes, (QStringList{"41 Bułka", "5901234123457 Mleko 2%"}));
    // The counters are in their columns (a data file load does not take them).
    Currency sales;
    bool inCodes = false;
    for (const QByteArray &line : ReadBytes(back).split('\n')) {
        const QString text = FromCp1250(line.constData(), line.size());
        if (text.startsWith(u'['))
            inCodes = text.startsWith("[Kody]");
        else if (inCodes && text.size() > 61)
            sales += ParseCurrency(text.mid(48, 13)).value_or(Currency());
    }
    EXPECT_NE(sales, Currency());
    EXPECT_TRUE(read.out.contains("Łączna odczytana sprzedaż wynosi " + FormatCurrencyDisplay(sales)))
        << read.out.toStdString();
    EXPECT_TRUE(TmpEmpty());
}

TEST_F(OtxExchange, ARefusedCheckSendsNothingAtAll)
{
    StartSim();
    // The groups pass; the codes repeat a name of a group.
    const QString file = Write("a.otx", {kGrupy, Grupa(1, "Mleko"), kKody, Kod("1", "Chleb"), Kod("2", "Chleb")});
    const OtxRun r = Otx({"send", file, "--port", port});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith("Nazwy kodów i grup nie mogą się powtarzać !")) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("\"Chleb\" widziana jako \"CHLEB\"")) << r.out.toStdString();
    EXPECT_EQ(sim->Counters().Jobs, 0);
    EXPECT_EQ(Records(TSimRegister::GroupsTable), 0);

    EXPECT_TRUE(TmpEmpty());
}

// --verify reads each sent table back: a register that stored something
// else than the line carried fails the send, naming the field.
TEST_F(OtxExchange, VerifyCatchesWhatTheRegisterStoredDifferently)
{
    struct Case {
        const char *name;
        bool damage;
        int code;
        const char *said; // on standard error
    };
    const Case cases[] = {
        {"exact", false, 0, ""},
        {"damaged name", true, 1, "Numer 41, Nazwa: wysłano \"Bułka\", odczytano \"Pułka\""},
    };
    const QString file = Write("a.otx", {kGrupy, Grupa(1, "Pieczywo"), kKody, Kod("41", "Bułka"), Kod("42", "Chleb")});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StartSim([&](TSimRegister &r) {
            if (c.damage)
                r.DamageStored = [](const TSimTable &, TBytes &record) {
                    const auto at = std::search(record.begin(), record.end(), "Bu", "Bu" + 2);
                    if (at != record.end())
                        *at = 'P';
                };
        });
        const OtxRun r = Otx({"send", file, "--port", port, "--verify"});
        EXPECT_EQ(r.code, c.code) << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("Sprawdzam grupy odczytane z kasy.")) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.said))) << r.err.toStdString();
        if (!c.damage) {
            EXPECT_TRUE(r.out.contains("Sprawdzam kody odczytane z kasy."));
            EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        }
        sim->Stop();
        EXPECT_TRUE(TmpEmpty());
    }
}

TEST_F(OtxExchange, FailuresEndWithCode1AndLeaveTheFileAlone)
{
    StartSim([](TSimRegister &r) { r.SalesSeed = 5; });
    const QString file = Write("a.otx", {kGrupy, Grupa(1, "Pieczywo"), Grupa(2, "Napoje")});
    ASSERT_EQ(Otx({"send", file, "--port", port, "--tables", "grupy"}).code, 0);
    sim->WithRegister([](TSimRegister &r) { r.FillSales(); });

    // A register with sales refuses the download; the end line says why.
    const OtxRun refused = Otx({"send", file, "--port", port});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.LastLine().startsWith("0701 ")) << refused.out.toStdString();

    // A read that fails keeps the previous file as it was.
    const QString back = Write("back.otx", {"poprzednia zawartość"});
    const QByteArray before = ReadBytes(back);
    const OtxRun noPort = Otx({"read", back, "--port", dir.filePath("nie-ma-takiego-portu")});
    EXPECT_EQ(noPort.code, 1);
    EXPECT_EQ(ReadBytes(back), before);

    const OtxRun missing = Otx({"send", dir.filePath("brak.otx"), "--port", port});
    EXPECT_EQ(missing.code, 1);
    EXPECT_FALSE(missing.err.isEmpty());
    EXPECT_TRUE(TmpEmpty());
}

// read --tables replaces those sections of an existing file, keeps the others.
TEST_F(OtxExchange, ReadIntoAnExistingFileKeepsItsOtherSections)
{
    StartSim();
    ASSERT_EQ(Otx({"send", Write("k.otx", {kKody, Kod("41", "Bułka")}), "--port", port}).code, 0);
    const QStringList groups = {kGrupy, Grupa(7, "Nabiał", "B")};
    const QStringList deposits = {kKaucje, " 1,     0,50,         0,00,    0,000,         0,00,    0,000,"};
    const QString file = Write("sklep.otx", groups + QStringList{kKody, Kod("99", "Stary")} + deposits);
    ASSERT_EQ(Otx({"read", file, "--port", port, "--tables", "kody"}).code, 0);
    EXPECT_EQ(ReadBytes(file), DataLines(groups + QStringList{kKody, Kod("41", "Bułka")} + deposits));
}

// Without --tables an empty table (a model template holds no codes) is left
// out and named; a named empty table, or a file of empty tables, is refused.
TEST_F(OtxExchange, SendLeavesOutEmptyTablesNotNamed)
{
    StartSim();
    const QString model = QStringLiteral(ORVAN_SOURCE_DIR "/templates/O277PSK.OTX"), empty = Write("e.otx", {kGrupy, kKody});
    const OtxRun r = Otx({"send", model, "--port", port});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(r.err, "Pominięto puste tabele: kody.\n");
    EXPECT_EQ(Records(TSimRegister::GroupsTable), 8);
    EXPECT_EQ(Otx({"send", model, "--port", port, "--tables", "grupy,kody"}).err,
              "Tabela kodów jest pusta: nie ma czego wysłać do kasy.\n");
    EXPECT_EQ(Otx({"send", empty, "--port", port}).err,
              "Nie ma czego wysłać: tabele pliku \"" + empty + "\" są puste (grupy, kody).\n");
    EXPECT_EQ(sim->Counters().Jobs, 2); // the groups and the deposits
}

TEST_F(OtxExchange, WrongArgumentsGiveCode2)
{
    const QString file = Write("a.otx", {kGrupy, Grupa(1, "A")});
    const std::vector<QStringList> cases = {
        {"send", file},
        {"send", file, "--port"},
        {"send", file, "--port", "COM1", "--baud", "1200"},
        {"send", file, "--port", "COM1", "--tables", "grupy,towary"},
        {"send", file, "--port", "COM1", "--counters"},
        {"read", "--port", "COM1"},
        {"read", file, "--port", "COM1", "--kasa", "7"},
        {"send", file, "--port", "COM1", "--timeout", "-1"},
        {"read", file, "--port", "COM1", "--timeout", "x"},
        {"report", file, "--port", "COM1", "--timeout", "86401"},
        {"fiscal-read", file, "--port", "COM1", "--timeout", ""},
    };
    for (const QStringList &args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const OtxRun r = Otx(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.err.contains("Użycie:"));
    }
}

// The codes lines of a big send.
QStringList ManyCodes(int n)
{
    QStringList lines{kKody};
    for (int i = 1; i <= n; ++i)
        lines << Kod(QString::number(i), QStringLiteral("Kod %1").arg(i));
    return lines;
}

// The module repeats an unanswered packet until somebody stops the job; the
// console's bound stops it once the register has said nothing for so long.
TEST(OtxSilenceLimit, StopsTheJobOfARegisterThatFallsSilent)
{
    struct Case {
        int silentAfter; // packets of the job, 0: answers all
        uint32_t limitMs;
        unsigned code;
    } const cases[] = {{0, 2000, 0}, {2, 2000, 0xFFF1}, {6, 30000, 0xFFF1}};
    QTemporaryDir dir;
    QStringList codes; // exchange file lines: number, group, price kind, price, name
    for (int n = 1; n <= 20; ++n)
        codes << QStringLiteral("%1, 1,01,     1.00,%2,").arg(n, 14, 10, QChar(u'0')).arg(QStringLiteral("Kod %1").arg(n), -16);
    ASSERT_TRUE(WriteBytes(dir.filePath("kody.txt"), DataLines(codes)).endsWith("kody.txt"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.silentAfter);
        TVirtualClock clock;
        TPtyOptions pty;
        pty.Clock = pty.SilenceClock = &clock;
        TSimOptions options;
        options.SilentAfter = c.silentAfter;
        TPtySimulator sim(options, pty);
        ASSERT_TRUE(sim.Start());
        std::FILE *lines = std::fopen("/dev/null", "w");
        ASSERT_NE(lines, nullptr);
        TConsoleDisplay display('W', lines, lines);
        TSilenceLimit limit(clock, display, c.limitMs);
        display.Start();
        const TModuleResult r = RunModule("/LW /V277PSP /P1 /r2 /Fkody.txt /T11 /AABDE /XD", sim.PortPath(),
                                          dir.path().toStdString(), display, limit);
        std::fclose(lines);
        EXPECT_EQ(unsigned(r.Code), c.code);
        EXPECT_EQ(limit.Expired(), c.code != 0);
        EXPECT_GE(clock.Elapsed(), c.code != 0 ? c.limitMs : 0u); // not before the bound
    }
}

TEST_F(OtxExchange, TimeoutEndsASendToASilentRegisterAsAStop)
{
    TSimOptions silent;
    silent.SilentAfter = 4;
    StartSim({}, silent);
    const QString file = Write("k.otx", ManyCodes(30));
    const OtxRun r = Otx({"send", file, "--port", port, "--timeout", "1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.endsWith("FFF1 Transmisja przerwana przez użytkownika\n")) << r.out.toStdString();
    EXPECT_EQ(r.err, "Kasa nie odpowiadała przez 1 s: zadanie przerwano (opcja --timeout).\n");
    EXPECT_TRUE(TmpEmpty());
}

// "send big.otx | head -c N": the reader goes away, the job stops as on
// Ctrl+C and the run cleans up; the command never reports success.
TEST_F(OtxExchange, AReaderThatGoesAwayStopsTheJob)
{
    StartSim();
    QProcess p;
    QProcessEnvironment env = OtxEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp.path());
    p.setProcessEnvironment(env);
    p.start("/bin/bash", {"-c", "\"$0\" \"$@\" | head -c 300 >/dev/null; exit ${PIPESTATUS[0]}", ORVAN_BIN_DIR "/orvan-otx",
                          "send", Write("k.otx", ManyCodes(400)), "--port", port});
    ASSERT_TRUE(p.waitForFinished(OtxWaitMs));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(TmpEmpty());
}

} // namespace

namespace {

TEST_F(OtxExchange, FindRegisterPrintsEachPortAndTheFoundOneLast)
{
    StartSim();
    const QString missing = QStringLiteral("/dev/ttyNoSuchPort");
    const OtxRun found = Otx({"find-register", "--ports", missing + "," + port});
    EXPECT_EQ(found.code, 0) << found.err.toStdString();
    EXPECT_TRUE(found.out.contains(port + ": kasa nr 1 odpowiada, 19200 b/s\n")) << found.out.toStdString();
    EXPECT_TRUE(found.out.contains(missing + ": Błąd otwarcia portu komunikacyjnego\n"));
    EXPECT_EQ(found.LastLine(), "Kasa: port " + port + ", prędkość 19200 b/s");

    const OtxRun none = Otx({"find-register", "--ports", missing});
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(none.LastLine(), "Nie znaleziono kasy.");

    for (const QStringList &args : std::vector<QStringList>{{"find-register", "--register", "x"},
                                                            {"find-register", "--ports", ","},
                                                            {"find-register", "plik.otx"}}) {
        const OtxRun r = Otx(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
    }
}

} // namespace

#endif
