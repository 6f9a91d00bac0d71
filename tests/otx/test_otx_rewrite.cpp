// Commands that rewrite a data file: one at a time on one file, and each
// only the sections it replaces.
#include "data/UCodePage.h"
#include "data/UFileLock.h"
#include "data/UFinally.h"
#include "sim/USimPty.h"
#include "otx_test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32

TEST(OtxRewrite, NeedsThePseudoTerminalOfTheSimulatedRegister)
{
    GTEST_SKIP() << "the simulated register answers over a pseudo-terminal (Linux)";
}

#else

namespace {

// One section of a data file's bytes: from its section line to the next one.
QByteArray Section(const QByteArray &file, const char *head)
{
    const qsizetype start = file.startsWith(head) ? 0 : file.indexOf(QByteArray("\n") + head) + 1;
    if (start <= 0 && !file.startsWith(head))
        return "<none>";
    const qsizetype next = file.indexOf("\n[", start);
    return file.mid(start, next < 0 ? -1 : next + 1 - start);
}

class OtxRewrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // The locks this process takes are the ones orvan-otx looks for.
        m_savedHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(OtxEnvironment().value(QStringLiteral("XDG_DATA_HOME"))));
        sim = std::make_unique<TPtySimulator>();
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        port = QString::fromStdString(sim->PortPath());
    }
    void TearDown() override
    {
        sim->Stop();
        qputenv("XDG_DATA_HOME", m_savedHome);
    }
    QString Write(const char *name, const QByteArray &bytes)
    {
        return WriteBytes(dir.filePath(QString::fromLatin1(name)), bytes);
    }

    QTemporaryDir dir;
    std::unique_ptr<TPtySimulator> sim;
    QString port;
    QByteArray m_savedHome;
};

const QStringList kShop = {kGrupy, " 1,Pieczywo        ,A,     1,25,No,5,", " 2,Nabiał          ,B,     2,00,No,5,",
                           kKody, "            41,Bułka           , 1,     0,80,Pr,",
                           " 5901234123457,Mleko 2%        , 2,     2,50,Pr,"};

// While another command holds a data file, a command that would rewrite it
// waits, then gives up naming the file; the file stays as it was.
TEST_F(OtxRewrite, ACommandFindingTheFileTakenIsRefusedAndLeavesItAlone)
{
    const QByteArray before = DataLines(kShop);
    const QString file = Write("sklep.otx", before);
    const QString csv = Write("k.csv", "5;Chleb;2,50\n");
    const QString input = Write("wejscie.otx", before);
    const QStringList commands[] = {
        {"import", csv, file, "--table", "kody", "--columns", "Numer=1,Nazwa=2,Cena=3"},
        {"normalize", input, file},
        {"read", file, "--port", port, "--tables", "grupy"},
    };
    const TDataFileLock held(file, std::chrono::milliseconds(0));
    for (const QStringList &args : commands) {
        SCOPED_TRACE(args.first().toStdString());
        const TOtxRun r = RunOtx(args);
        EXPECT_EQ(r.code, 1) << r.out.toStdString();
        EXPECT_TRUE(r.err.endsWith(TDataFileLock::BusyMessage(file) + u'\n')) << r.err.toStdString();
        EXPECT_EQ(ReadBytes(file), before);
    }
}

// Groups imported into a file written by read --counters, with a section of
// its own added: the codes keep their counters and the other section stays,
// byte for byte.
TEST_F(OtxRewrite, ImportingGroupsKeepsTheCodesCountersAndOtherSections)
{
    const TOtxRun sent = RunOtx({"send", Write("sklep.otx", DataLines(kShop)), "--port", port});
    ASSERT_EQ(sent.code, 0) << sent.err.toStdString();
    sim->WithRegister([](TSimRegister &r) {
        r.SalesSeed = 11;
        r.FillSales();
    });
    const QString file = dir.filePath("odczyt.otx");
    const TOtxRun read = RunOtx({"read", file, "--port", port, "--counters", "--tables", "grupy,kody"});
    ASSERT_EQ(read.code, 0) << read.err.toStdString();
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(ToCp1250(QStringLiteral("[Uwagi]\r\nzamówić bułki na piątek\r\n")));
    }
    const QByteArray before = ReadBytes(file);
    const QByteArray codes = Section(before, "[Kody]");
    ASSERT_LT(codes.count("         0,00,    0,000,\r\n"), 2) << codes.constData(); // counters were read

    const TOtxRun import = RunOtx({"import", Write("g.csv", "3;Napoje;A\n"), file, "--table", "grupy", "--columns",
                                   "Numer=1,Nazwa=2,VAT=3"});
    ASSERT_EQ(import.code, 0) << import.err.toStdString();
    const QByteArray after = ReadBytes(file);
    EXPECT_EQ(Section(after, "[Kody]"), codes);
    EXPECT_EQ(Section(after, "[Uwagi]"), Section(before, "[Uwagi]"));
    EXPECT_TRUE(Section(after, "[Grupy]").contains("\r\n 3,Napoje          ,A,")) << after.constData();
    EXPECT_FALSE(after.contains("Pieczywo"));
}

} // namespace

#endif
