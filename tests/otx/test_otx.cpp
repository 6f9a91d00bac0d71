// Runs the built orvan-otx program on temporary files.
#include "data/UCodePage.h"
#include "sim/USimPty.h"
#include "otx_test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>
#endif

namespace {

QString Grupa(int n, const QString &nazwa, const QString &vat = "A")
{
    return QStringLiteral("%1,%2,%3,     1,00,No,8,         0,00,    0,000,         0,00,    0,000,")
        .arg(n, 2)
        .arg(nazwa, -16)
        .arg(vat);
}

QString Kod(const QString &numer, const QString &nazwa, int grupa = 1)
{
    return QStringLiteral("%1,%2,%3,     2,50,Pr,         0,00,    0,000,").arg(numer, 14).arg(nazwa, -16).arg(grupa, 2);
}

using OtxRun = TOtxRun;

class OtxTool : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString Path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString Write(const char *name, const QStringList &lines, const char *eol = "\r\n")
    {
        return WriteBytes(Path(name), DataLines(lines, eol));
    }
    // locale: the regional setting the program starts under.
    static OtxRun Otx(const QStringList &args, const QString &locale = QStringLiteral("pl_PL.UTF-8"))
    {
        return RunOtx(args, locale);
    }

    QTemporaryDir dir;
};

TEST_F(OtxTool, WrongArgumentsGiveTheUsageAndCode2)
{
    const QString file = Write("a.otx", {kGrupy, Grupa(1, "A")});
    const std::vector<QStringList> cases = {
        {},
        {"verify", file},
        {"check"},
        {"check", file, file},
        {"normalize", file},
        {"check", file, "--kasa"},
        {"check", file, "--kasa", "6"},
        {"check", file, "--kasa", "-1"},
        {"check", file, "--kasa", "x"},
        {"check", file, "--eprom", "2"},
        {"check", file, "--kaucje", "yes"},
        {"check", file, "--model", "5"},
        {"check", ""},
    };
    for (const QStringList &args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const OtxRun r = Otx(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.err.contains("Użycie:")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST_F(OtxTool, CheckAcceptsAFileFitToSend)
{
    // Polish letters in the name: the argument comes whole on every system
    // (Windows gives it as UTF-16, not through the ANSI code page).
    const QString file = WriteBytes(dir.filePath(QStringLiteral("zażółć gęślą.otx")),
                                    DataLines({"notatka", kGrupy, Grupa(1, "Napoje"), Grupa(2, "Pieczywo"), kKody,
                                               Kod("12", "Sok"), Kod("0", "Woda"), kKaucje, " 1,     0,50,"}));
    const OtxRun r = Otx({"check", file});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("Plik \"" + file + "\" jest poprawny")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("grupy: 2, kody: 2, kaucje: 1")) << r.out.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
}

struct CheckCase {
    const char *name;
    QStringList lines;
    QStringList options;
    int code;
    const char *message; // expected on stderr ("" for none)
};

TEST_F(OtxTool, CheckRunsTheEditorsChecks)
{
    QStringList tenThousandCodes{kKody};
    for (int n = 0; n < 10000; ++n)
        tenThousandCodes << Kod(QString::number(100000 + n), QStringLiteral("Kod %1").arg(n));
    const std::vector<CheckCase> cases = {
        {"more codes than the model holds", tenThousandCodes, {}, 1,
         "Tabela kodów ma 10000 rekordów, a kasa ER-A277PS Plus przyjmuje najwyżej 9999.\n"},
        {"repeated group number", {kGrupy, Grupa(1, "A"), Grupa(1, "B")}, {}, 1,
         "Numery nie mogą się powtarzać.\n(sekcja Grupy, rekord 2, Numer 1)\n"},
        {"two spellings of one code",
         {kKody, Kod("12345678", "A"), Kod("20000012345678", "B")}, {}, 1,
         "Numery nie mogą się powtarzać.\n(sekcja Kody, rekord 2, Numer 12345678)\n"},
        {"group above the model's limit", {kGrupy, Grupa(25, "A")}, {"--kasa", "0"}, 1,
         "\"25\" nie może być wartością pola \"Numer\". Dozwolona wartość jest z zakresu 1 do 20\n"
         "(sekcja Grupy, rekord 1, Numer 25)\n"},
        {"group 25 is fine on an ER-A277PS Plus", {kGrupy, Grupa(25, "A")}, {}, 0, ""},
        {"code in a group above the limit", {kKody, Kod("5", "A", 21)}, {"--kasa", "2"}, 1,
         "\"21\" nie może być wartością pola \"Grupa\". Dozwolona wartość jest z zakresu 1 do 20\n"
         "(sekcja Kody, rekord 1, Numer 5)\n"},
        {"deposit above the limit", {kKaucje, "31,     1,00,"}, {"--kasa", "0", "--eprom", "1"}, 1,
         "\"31\" nie może być wartością pola \"Numer\". Dozwolona wartość jest z zakresu 1 do 30\n"
         "(sekcja Kaucje, rekord 1, Numer 31)\n"},
        {"deposits are not read without a deposits table", {kGrupy, Grupa(1, "A"), kKaucje, "31,     1,00,"},
         {"--kaucje", "0"}, 0, ""},
        {"VAT Z not on an ER-A277PS Plus", {kGrupy, Grupa(3, "A", "Z")}, {}, 1,
         "\"Z\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G.\n"
         "(sekcja Grupy, rekord 1, Numer 3)\n"},
        {"deposit groups on an ER-A235P version A",
         {kGrupy, Grupa(9, "WYD", "+"), Grupa(10, "ZWR", "A")}, {"--kasa", "0"}, 1,
         "Grupa 10. musi być grupą zwrotów kaucji (pole VAT musi mieć wartość \"-\")\n"
         "(sekcja Grupy, rekord 2, Numer 10)\n"},
        {"refused record", {kGrupy, Grupa(1, "A"), " 2,B               ,A,     1,00,Xx,8,"}, {}, 1,
         "Niepoprawne dane w pliku wejściowym: \n 2,B               ,A,     1,00,Xx,8,\nWczytywanie zostało przerwane\n"},
        {"no known section", {"[Inne] x=1,1;"}, {}, 1, ""},
        {"letter the register turns into another", {kKody, Kod("5", "Éclair")}, {}, 1,
         "Znaku \"É\" w nazwie \"Éclair\" nie ma w kasie: kasa zapisałaby go jako \"Ź\".\n"
         "(sekcja Kody, rekord 1, Numer 5)\n"},
        {"control character in a name", {kGrupy, Grupa(1, "Ser\x03")}, {}, 1,
         "Niepoprawne dane w pliku wejściowym (wiersz 2 zawiera znak sterujący o kodzie 0x03): \n"
         " 1,Ser<03>            ,A,     1,00,No,8,         0,00,    0,000,         0,00,    0,000,\n"
         "Wczytywanie zostało przerwane\n"},
    };
    for (const CheckCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = Write("c.otx", c.lines);
        const OtxRun r = Otx(QStringList{"check", file} + QStringList(c.options));
        EXPECT_EQ(r.code, c.code) << r.err.toStdString();
        if (*c.message) {
            EXPECT_EQ(r.err.toStdString(), c.message);
        }
        EXPECT_EQ(r.err.isEmpty(), c.code == 0) << r.err.toStdString();
    }
}

TEST_F(OtxTool, CheckListsDuplicateNamesOnModelsThatNeedUniqueNames)
{
    const QString file = Write("d.otx", {kGrupy, Grupa(1, "Mleko"), Grupa(2, "Chleb"), kKody, Kod("7", "MLEKO")});
    const OtxRun r = Otx({"check", file});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Nazwy kodów i grup nie mogą się powtarzać !\n");
    EXPECT_EQ(r.out, "Powtarzające się nazwy:\n"
                     "  \"Mleko\" widziana jako \"MLEKO\", Nr/Kod 1, Grupy w edytorze\n"
                     "  \"MLEKO\" widziana jako \"MLEKO\", Nr/Kod 7, Kody w edytorze\n");
    EXPECT_EQ(Otx({"check", file, "--kasa", "1"}).code, 0);
}

TEST_F(OtxTool, CheckReportsAMissingOrDamagedFile)
{
    const QString missing = Path("none.otx");
    OtxRun r = Otx({"check", missing});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Nie znaleziono pliku " + missing + "!\n");

    const QString damaged = Write("bad.otx", {kGrupy, Grupa(1, "A"), "[]"});
    r = Otx({"check", damaged});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Plik \"" + damaged + "\" jest uszkodzony.\n");
}

TEST_F(OtxTool, NormalizeRewritesInTheLocalesFormat)
{
    const QString in = Write("in.otx",
                             {"komentarz", "[Kody] Numer=1,14;Nazwa=16,16;Grupa=33,2;Cena=36,9;LDW=49,13;",
                              QStringLiteral("%1,%2,%3,%4,       999,99").arg("12", 14).arg("Sok jabłkowy", -16).arg(3, 2).arg("2.5 ", 9),
                              "", kGrupy,
                              " 1,Napoje          ,+,     1,00,Na,4,        12,00,    1,000,        12,00,    1,000,"},
                             "\n");
    const QString out = Path("out.otx");
    OtxRun r = Otx({"normalize", in, out});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Zapisano plik \"" + out + "\" (sekcje: Grupy, Kody).\n");
    const QByteArray comma = ToCp1250(QString(kGrupy) +
                                      "\r\n 1,Napoje          ,Z,     1,00,Na,4,         0,00,    0,000,         0,00,    0,000,\r\n" +
                                      kKody + "\r\n            12,Sok jabłkowy    , 3,     2,50,Wp,         0,00,    0,000,\r\n");
    EXPECT_EQ(ReadBytes(out), comma);

#ifdef _WIN32
    GTEST_SKIP() << "a program's number format there is the user's regional setting, not LC_ALL";
#endif
    // Under a point-decimal locale the same file is written with points; the
    // normalized file reads back to the same bytes.
    r = Otx({"normalize", out, Path("point.otx")}, "C");
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    QByteArray point = comma;
    point.replace("1,00,", "1.00,").replace("0,00,", "0.00,").replace("0,000,", "0.000,").replace("2,50,", "2.50,");
    EXPECT_EQ(ReadBytes(Path("point.otx")), point);
    EXPECT_EQ(Otx({"normalize", Path("point.otx"), Path("again.otx")}).code, 0);
    EXPECT_EQ(ReadBytes(Path("again.otx")), comma);
}

TEST_F(OtxTool, NormalizeKeepsDepositsAndProfileOptions)
{
    const QString in = Write("in.otx", {kKaucje, " 2,     0,50,", kGrupy, Grupa(9, "WYD", "+")});
    const QString out = Path("out.otx");
    EXPECT_EQ(Otx({"normalize", in, out, "--kasa", "0", "--kaucje", "1"}).code, 0);
    EXPECT_TRUE(ReadBytes(out).contains("\r\n 9,WYD             ,+,")) << ReadBytes(out).toStdString();
    EXPECT_TRUE(ReadBytes(out).contains(QByteArray(kKaucje) + "\r\n 2,     0,50,"));
}

TEST_F(OtxTool, FailedNormalizeLeavesTheTargetAlone)
{
    const QString in = Write("in.otx", {kGrupy, Grupa(1, "A"), "xx"});
    const QString out = Write("out.otx", {"stary plik"});
    const OtxRun r = Otx({"normalize", in, out});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Niepoprawne dane w pliku wejściowym: \nxx\nWczytywanie zostało przerwane\n");
    EXPECT_EQ(ReadBytes(out), QByteArray("stary plik\r\n"));
}

// An output that is the input, however it is named, is refused before
// anything is read.
TEST_F(OtxTool, TheSamePathForInputAndOutputIsRefused)
{
    const QString data = Write("x.otx", {kGrupy, Grupa(1, "A")}), csv = Write("y.csv", {"5;Chleb"});
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    const QByteArray before = ReadBytes(data);
    QList<QStringList> cases = {{"normalize", data, dir.path() + "/./sub/../x.otx"},
                                {"import", csv, csv, "--table", "kody", "--columns", "Numer=1,Nazwa=2"},
                                {"fiscal-pdf", data, data + ".dig"}};
#ifdef _WIN32
    // One file whatever the letter case of its name.
    cases.append({"export", data, Path("X.OTX"), "--table", "grupy"});
#else
    ASSERT_TRUE(QFile::link(data, Path("link.otx")));
    cases.append({"export", data, Path("link.otx"), "--table", "grupy"});
#endif
    for (const QStringList &args : cases) {
        const OtxRun r = Otx(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.err.startsWith("orvan-otx: plik wyjściowy \"" + args.at(2) + "\" to ten sam plik co wejściowy"))
            << r.err.toStdString();
    }
    EXPECT_EQ(ReadBytes(data), before);
    EXPECT_EQ(ReadBytes(csv), "5;Chleb\r\n");
}

TEST_F(OtxTool, EveryTemplatePassesUnderItsProfile)
{
    const struct {
        const char *file;
        QStringList options;
    } cases[] = {
        {"O235A.OTX", {"--kasa", "0", "--eprom", "0", "--kaucje", "0"}},
        {"O235AK.OTX", {"--kasa", "0", "--eprom", "0", "--kaucje", "1"}},
        {"O235BK.OTX", {"--kasa", "0", "--eprom", "1"}},
        {"O237K.OTX", {"--kasa", "2"}},
        {"O277PSK.OTX", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const OtxRun r = Otx(QStringList{"check", QStringLiteral(ORVAN_SOURCE_DIR "/templates/") + c.file} + QStringList(c.options));
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
    }
}

#ifdef _WIN32

TEST_F(OtxTool, AStopSignalEndsTheJobAndTheRunLeavesNothingInTheTemporaryFolder)
{
    GTEST_SKIP() << "POSIX signals, a shell and a pseudo-terminal";
}

TEST_F(OtxTool, FiscalReadNeverWritesThroughANamePlantedInTheTemporaryFolder)
{
    GTEST_SKIP() << "a shell, symbolic links, chmod and a pseudo-terminal";
}

#else

// ---------------------------------------------------------------------------
// The run's files in the temporary folder.

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// orvan-otx with TMPDIR tmp and umask 022; the shell runs prepare, then
// becomes the program, whose process id is the shell's "$$".
void StartOtx(QProcess &p, const QStringList &args, const QString &tmp, const QString &prepare = QString())
{
    QProcessEnvironment env = OtxEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp);
    p.setProcessEnvironment(env);
    const QString script = "umask 022; " + prepare + "\nexec \"$0\" \"$@\"";
    p.start("/bin/sh", QStringList{"-c", script, ORVAN_BIN_DIR "/orvan-otx"} + args);
}

TEST_F(OtxTool, AStopSignalEndsTheJobAndTheRunLeavesNothingInTheTemporaryFolder)
{
    TSimOptions silent;
    silent.NoWakeUp = true; // the job waits seconds for the register
    TPtySimulator sim(silent);
    ASSERT_TRUE(sim.Start());
    const QString port = QString::fromStdString(sim.PortPath());
    const std::pair<int, QStringList> cases[] = {
        {SIGTERM, {"read", Path("odczyt.otx"), "--tables", "grupy", "--port", port}},
        {SIGHUP, {"send", Write("g.otx", {kGrupy, Grupa(1, "Napoje")}), "--port", port}},
    };
    for (const auto &[signal, args] : cases) {
        SCOPED_TRACE(signal);
        QTemporaryDir tmp;
        QProcess p;
        StartOtx(p, args, tmp.path());
        // The empty line after the job's heading: the exchange file is open.
        QByteArray out;
        while (!out.endsWith("\n\n") && (p.canReadLine() || p.waitForReadyRead(OtxWaitMs)))
            out += p.readLine();
        const QString run = tmp.filePath(Entries(tmp.path()).value(0));
        EXPECT_EQ(Entries(run), QStringList{"grupy.txt"}) << out.toStdString();
        for (const QString &path : {run, run + "/grupy.txt"}) // nothing for group and others
            EXPECT_EQ(QFileInfo(path).permissions() & 0x0077, 0) << path.toStdString();

        ::kill(pid_t(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(OtxWaitMs));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(p.readAllStandardOutput().endsWith("FFF1 Transmisja przerwana przez użytkownika\n"));
        EXPECT_EQ(Entries(tmp.path()), QStringList());
    }
}

// A Latin-1 "kód" on a UTF-8 system would reach the program as "k\uFFFDd":
// another file. The command refuses the name and shows its bad byte; the
// file of the other name stays as it was.
TEST_F(OtxTool, ANameThatIsNotTextOfTheSystemIsRefused)
{
    const QByteArray other = DataLines({kGrupy, Grupa(1, "Inne")});
    const QString otherName = dir.filePath(QStringLiteral(u"k\uFFFDd.otx"));
    ASSERT_EQ(WriteBytes(otherName, other), otherName);
    Write("dobry.otx", {kGrupy, Grupa(1, "Napoje")});
    struct TCase {
        QString Args; // as the shell reads them in the test's folder
        QString Shown;
    };
    const TCase cases[] = {
        {"check k$(printf '\\363')d.otx", "k\\xF3d.otx"},
        {"normalize dobry.otx k$(printf '\\363')d.otx", "k\\xF3d.otx"},
        {"send dobry.otx --port /dev/tty$(printf '\\377')", "/dev/tty\\xFF"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Args.toStdString());
        QProcess p;
        p.setProcessEnvironment(OtxEnvironment());
        p.start("/bin/sh", {"-c", "cd \"$1\" && exec \"$0\" " + c.Args, ORVAN_BIN_DIR "/orvan-otx", dir.path()});
        ASSERT_TRUE(p.waitForFinished(OtxWaitMs));
        EXPECT_EQ(p.exitCode(), 2);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(err.startsWith("orvan-otx: argument \"" + c.Shown + "\" zawiera bajty")) << err.toStdString();
        EXPECT_EQ(ReadBytes(otherName), other);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

// Not even one thread can start (each would take more memory than the
// process may have): the system's exception ends as a Polish sentence.
TEST_F(OtxTool, AnUnexpectedExceptionEndsAsAPolishMessage)
{
    // The address-space limit that makes the thread's start fail leaves no
    // room for AddressSanitizer's shadow memory.
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "not under AddressSanitizer";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "not under AddressSanitizer";
#endif
#endif
    QProcess p;
    p.setProcessEnvironment(OtxEnvironment());
    p.start("/bin/sh", {"-c", "ulimit -s 4000000 && ulimit -v 3000000 && exec \"$0\" find-register --ports /dev/ttyNoSuch",
                        ORVAN_BIN_DIR "/orvan-otx"});
    ASSERT_TRUE(p.waitForFinished(OtxWaitMs));
    EXPECT_EQ(p.exitCode(), 1);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.startsWith("Błąd wewnętrzny programu w poleceniu find-register; polecenie przerwano (")) << err.toStdString();
}

// Another user's link to the victim's file, or a file anyone may write,
// under the name the fiscal read once had.
TEST_F(OtxTool, FiscalReadNeverWritesThroughANamePlantedInTheTemporaryFolder)
{
    TPtySimulator sim;
    ASSERT_TRUE(sim.Start());
    const QByteArray mine = "dane użytkownika\r\n";
    const QString port = QString::fromStdString(sim.PortPath());
    const QString victim = WriteBytes(Path("dane.otx"), mine);
    const QString planted = "\"$TMPDIR/orvan-otx-$$-pf.txt\"";
    for (const QString &plant : {"ln -s '" + victim + "' " + planted, ": > " + planted + "; chmod 666 " + planted}) {
        SCOPED_TRACE(plant.toStdString());
        QTemporaryDir tmp;
        QProcess p;
        StartOtx(p, {"fiscal-read", Path("pf.frp"), "--port", port}, tmp.path(), plant);
        ASSERT_TRUE(p.waitForFinished(OtxWaitMs));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        EXPECT_EQ(ReadBytes(victim), mine);
        const QStringList left = Entries(tmp.path());
        ASSERT_EQ(left.size(), 1);
        EXPECT_EQ(QFileInfo(tmp.filePath(left.first())).size(), plant.startsWith("ln") ? mine.size() : 0);
    }
}

#endif

} // namespace
