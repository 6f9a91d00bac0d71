// orvan-otx send --changed end to end: the built program against the
// simulated register, with the remembered register content in a folder of
// the test's own.
#include "data/UCodePage.h"
#include "sim/USimPty.h"
#include "otx_test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#ifdef _WIN32

TEST(OtxShop, NeedsThePseudoTerminalOfTheSimulatedRegister)
{
    GTEST_SKIP() << "the simulated register answers over a pseudo-terminal (Linux)";
}

#else

namespace {

QString Kod(int numer, const QString &nazwa, const QString &cena = QStringLiteral("2,50"))
{
    return QStringLiteral("%1,%2, 1,%3,Wp,         0,00,    0,000,").arg(numer, 14).arg(nazwa, -16).arg(cena, 9);
}

class OtxShop : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        sim = std::make_unique<TPtySimulator>();
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        port = QString::fromStdString(sim->PortPath());
        // A lasting name of the device, as /dev/serial/by-id gives a USB
        // adapter; the register behind it is remembered between runs only
        // when the environment says so, as it is a pseudo-terminal.
        device = dir.filePath(QStringLiteral("kasa"));
        ASSERT_TRUE(QFile::link(port, device));
    }
    void TearDown() override { sim->Stop(); }

    // Codes 1..count, the listed ones at another price.
    QString File(int count, std::initializer_list<int> repriced = {})
    {
        QStringList lines{kKody};
        for (int i = 1; i <= count; ++i)
            lines << Kod(i, QStringLiteral("Kod %1").arg(i),
                         std::count(repriced.begin(), repriced.end(), i) ? "3,10" : "2,50");
        return WriteBytes(dir.filePath(QStringLiteral("kody%1.otx").arg(++m_files)), DataLines(lines));
    }

    // On the lasting name unless told.
    TOtxRun Otx(QStringList args, const QString &on = QString())
    {
        // The remembered register content in this test's own folder.
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath("dane"));
        if (on.isEmpty())
            extra.insert(QStringLiteral("ORVAN_REMEMBER_PSEUDO_TERMINAL"), QStringLiteral("1"));
        args << "--port" << (on.isEmpty() ? device : on);
        return RunOtx(args, QStringLiteral("pl_PL.UTF-8"), extra);
    }
    int Codes() { return sim->WithRegister([](TSimRegister &r) { return int(r.Table(TSimRegister::CodesTable)->Records.size()); }); }
    int Packets() { return sim->Counters().PacketsIn; }

    QTemporaryDir dir;
    std::unique_ptr<TPtySimulator> sim;
    QString port;   // the pseudo-terminal
    QString device; // a link to it
    int m_files = 0;
};

} // namespace

TEST_F(OtxShop, SendChangedNeedsTheMemoryThenSendsOnlyWhatChanged)
{
    const TOtxRun first = Otx({"send", File(30), "--changed"});
    EXPECT_EQ(first.code, 1);
    EXPECT_TRUE(first.err.contains("Program nie wie jeszcze, jakie kody zawiera ta kasa")) << first.err.toStdString();
    EXPECT_EQ(Codes(), 0);

    int before = Packets();
    ASSERT_EQ(Otx({"send", File(30)}).code, 0);
    EXPECT_EQ(Codes(), 30);
    const int full = Packets() - before;

    before = Packets();
    const TOtxRun changed = Otx({"send", File(29, {4, 9}), "--changed"});
    ASSERT_EQ(changed.code, 0) << changed.out.toStdString() << changed.err.toStdString();
    EXPECT_TRUE(changed.out.contains("liczba kodów: 2 z 29")) << changed.out.toStdString();
    EXPECT_TRUE(changed.out.contains("Kasa zawiera jeszcze kody, których nie ma w pliku (liczba: 1)"));
    EXPECT_EQ(changed.out.count(QRegularExpression("^0000$", QRegularExpression::MultilineOption)), 1);
    // Two codes fill one data packet; thirty take several.
    EXPECT_LT(Packets() - before, full);
    EXPECT_EQ(Codes(), 30);

    const TOtxRun deleted = Otx({"send", File(29, {4, 9}), "--changed", "--delete-missing"});
    ASSERT_EQ(deleted.code, 0) << deleted.out.toStdString();
    EXPECT_TRUE(deleted.out.contains("Nie ma zmienionych kodów do wysłania"));
    EXPECT_TRUE(deleted.out.contains("Usuwam w kasie kody, których nie ma w pliku (liczba: 1)."));
    EXPECT_EQ(Codes(), 29);

    const TOtxRun nothing = Otx({"send", File(29, {4, 9}), "--changed"});
    EXPECT_EQ(nothing.code, 0);
    EXPECT_TRUE(nothing.out.contains("Nie ma zmienionych kodów do wysłania"));
    EXPECT_EQ(nothing.out.count(QRegularExpression("^0000$", QRegularExpression::MultilineOption)), 0);

    EXPECT_EQ(Otx({"send", File(3), "--delete-missing"}).code, 2);
    EXPECT_EQ(Otx({"send", File(3), "--changed", "--tables", "grupy"}).code, 1);
}

// The next simulator may be given the same pseudo-terminal: what an earlier
// run sent there tells nothing about the register now behind it.
TEST_F(OtxShop, APseudoTerminalIsRememberedForOneRunOnly)
{
    ASSERT_EQ(Otx({"send", File(30)}, port).code, 0);
    const int before = Packets();
    const TOtxRun changed = Otx({"send", File(30), "--changed"}, port);
    EXPECT_EQ(changed.code, 1);
    EXPECT_TRUE(changed.err.contains("Program nie wie jeszcze, jakie kody zawiera ta kasa")) << changed.err.toStdString();
    EXPECT_TRUE(changed.err.contains("Zawartości kasy na pseudoterminalu program nie pamięta"));
    EXPECT_EQ(Packets(), before);
}

#endif
