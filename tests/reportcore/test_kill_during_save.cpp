// A save killed at random moments (SIGKILL, seeded) leaves the earlier file
// or the new one, whole: a data file of 9 999 codes, and a report file with
// its digest, which must stay a matching pair. A save into a full or
// read-only file system says why and keeps the old file.
#include "fiscal_test_support.h"

#include "data/UDM.h"
#include "data/UOrvanIO.h"

#include <QDir>
#include <QFile>

#ifdef _WIN32

// The killed child is a fork and the full or read-only file system a mount:
// both POSIX's.
TEST(KillDuringSaveTest, DataFileIsOldOrNewWhole)
{
    GTEST_SKIP() << "needs fork and SIGKILL";
}
TEST(KillDuringSaveTest, ReportFileAndDigestStayAPair)
{
    GTEST_SKIP() << "needs fork and SIGKILL";
}
TEST(KillDuringSaveTest, FullOrReadOnlyFileSystemSaysWhyAndKeepsTheOldFile)
{
    GTEST_SKIP() << "needs Linux mounts";
}

#else

#include <chrono>
#include <csignal>
#include <functional>
#include <random>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

void WriteAll(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

struct TKillTally {
    int Old = 0, New = 0, Broken = 0, Leftovers = 0;
};

// Runs save in a child killed after a random part of a save's duration
// (and a little beyond, so some saves finish); after each kill, recover()
// runs (the next start) and state() must equal one of the two states.
TKillTally KillDuringSave(int rounds, uint32_t seed, const std::function<void()> &restoreOld,
                          const std::function<void()> &save, const std::function<void()> &recover,
                          const std::function<QByteArray()> &state, const QByteArray &oldState,
                          const QByteArray &newState, const QString &folder, int filesAfter)
{
    // One save timed in a child as the killed ones run (a forked child
    // pays for copying what it touches) sets the range of the kill moments.
    restoreOld();
    const auto t0 = std::chrono::steady_clock::now();
    if (const pid_t timed = ::fork(); timed == 0) {
        save();
        ::_exit(0);
    } else {
        EXPECT_GT(timed, 0);
        ::waitpid(timed, nullptr, 0);
    }
    const auto duration = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
    const int64_t range = std::max<int64_t>(200, duration.count() * 5 / 4);

    std::mt19937 rng(seed);
    TKillTally tally;
    for (int i = 0; i < rounds; ++i) {
        restoreOld();
        const auto moment = std::chrono::microseconds(rng() % uint64_t(range));
        const pid_t pid = ::fork();
        if (pid == 0) {
            save();
            ::_exit(0);
        }
        EXPECT_GT(pid, 0);
        // Not a wait for an event: the random moment of the kill.
        std::this_thread::sleep_for(moment);
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        recover();
        const QByteArray now = state();
        if (now == oldState)
            ++tally.Old;
        else if (now == newState)
            ++tally.New;
        else
            ++tally.Broken;
        if (QDir(folder).entryList(QDir::Files | QDir::Hidden).size() != filesAfter)
            ++tally.Leftovers;
    }
    return tally;
}

// Every kill left the old state or the new one, and nothing beside it.
void ExpectOldOrNewEveryTime(const char *what, const TKillTally &t, int kills)
{
    EXPECT_EQ(t.Broken, 0);
    EXPECT_EQ(t.Leftovers, 0);
    EXPECT_EQ(t.Old + t.New, kills);
    std::printf("%s: %d kills, old %d, new %d, broken %d, leftovers %d\n", what, kills, t.Old, t.New, t.Broken,
                t.Leftovers);
}

void FillCodes(TDM &dm, int count, const QString &price)
{
    TRxMemoryData &k = dm.MDKody;
    k.EmptyTable();
    for (int i = 1; i <= count; ++i) {
        k.Append();
        k.FieldByName("Numer").SetText(QString::number(100000 + i));
        k.FieldByName("Nazwa").SetAsString(QStringLiteral("Towar %1").arg(i));
        k.FieldByName("Grupa").SetAsInteger(1 + i % 9);
        k.FieldByName("Cena").SetText(price);
        k.FieldByName("RodzajCeny").SetText(QStringLiteral("Program."));
        k.Post();
    }
}

class KillDuringSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        dm.ApplyProfile(5, true, 0);
    }
    TPolishFormats formats;
    QTemporaryDir dir;
    TDM dm;
};

TEST_F(KillDuringSaveTest, DataFileIsOldOrNewWhole)
{
    const QString target = dir.filePath(QStringLiteral("kody.otx"));
    FillCodes(dm, 9999, QStringLiteral("1,00"));
    SaveDataFile(dm, target, TSectionSet::All());
    const QByteArray oldBytes = ReadAll(target);
    FillCodes(dm, 9999, QStringLiteral("2,00"));
    SaveDataFile(dm, target, TSectionSet::All());
    const QByteArray newBytes = ReadAll(target);
    ASSERT_NE(oldBytes, newBytes);

    // The next start loads the file.
    TDM next;
    next.ApplyProfile(5, true, 0);
    const TKillTally t = KillDuringSave(
        100, 20261207, [&] { WriteAll(target, oldBytes); }, [&] { SaveDataFile(dm, target, TSectionSet::All()); },
        [&] { LoadDataFile(next, target, TSectionSet::All(), true); }, [&] { return ReadAll(target); }, oldBytes,
        newBytes, dir.path(), 1);
    ExpectOldOrNewEveryTime("data file", t, 100);
}

TEST_F(KillDuringSaveTest, ReportFileAndDigestStayAPair)
{
    TRecMessages messages;
    TRecWait wait{messages};
    TRecJobs jobs;
    TFiscalMemory pf{jobs, wait, messages, dir.filePath(QStringLiteral("pf.txt")), dir.filePath(QStringLiteral("r"))};
    const QString target = dir.filePath(QStringLiteral("raport.frp"));
    auto lines = [](char c) {
        QStringList l;
        for (int i = 0; i < 9000; ++i)
            l << QString(159, QLatin1Char(c)) + QString::number(i % 10);
        return l;
    };
    auto pair = [&] { return ReadAll(target) + "\n--\n" + ReadAll(target + QStringLiteral(".dig")); };
    pf.Lines = lines('A');
    pf.MrsBaseline = 1;
    pf.SaveReportFile(target);
    const QByteArray oldFrp = ReadAll(target), oldDig = ReadAll(target + QStringLiteral(".dig"));
    const QByteArray oldPair = pair();
    pf.Lines = lines('B');
    pf.MrsBaseline = 2;
    pf.SaveReportFile(target);
    const QByteArray newPair = pair();

    TFiscalMemory loader{jobs, wait, messages, dir.filePath(QStringLiteral("pf.txt")), dir.filePath(QStringLiteral("r"))};
    const TKillTally t = KillDuringSave(
        100, 7, [&] { WriteAll(target, oldFrp); WriteAll(target + QStringLiteral(".dig"), oldDig); },
        [&] { pf.SaveReportFile(target); },
        [&] {
            try {
                loader.LoadReportFile(target, true);
            } catch (const Exception &) { // a pair that does not match: counted as broken below
            }
        },
        pair, oldPair, newPair, dir.path(), 2);
    ExpectOldOrNewEveryTime("report pair", t, 100);
}

TEST_F(KillDuringSaveTest, FullOrReadOnlyFileSystemSaysWhyAndKeepsTheOldFile)
{
    // A small tmpfs of its own; where the test may not mount one, skip.
    const QString mnt = dir.filePath(QStringLiteral("mnt"));
    ASSERT_TRUE(QDir().mkpath(mnt));
    const QByteArray path = QFile::encodeName(mnt);
    if (::mount("orvan-test", path.constData(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "no tmpfs mount here";
    const QString target = mnt + QStringLiteral("/kody.otx");
    FillCodes(dm, 50, QStringLiteral("1,00"));
    SaveDataFile(dm, target, TSectionSet::All());
    const QByteArray oldBytes = ReadAll(target);
    FillCodes(dm, 9999, QStringLiteral("2,00")); // far more than 256 kB
    QString full;
    try {
        SaveDataFile(dm, target, TSectionSet::All());
    } catch (const Exception &e) {
        full = e.Message();
    }
    EXPECT_TRUE(full.startsWith(QStringLiteral("Nie można zapisać pliku ") + target + QStringLiteral(": ")))
        << full.toStdString();
    EXPECT_GT(full.size(), (QStringLiteral("Nie można zapisać pliku : ") + target).size());
    EXPECT_EQ(ReadAll(target), oldBytes);

    // Read-only: remounted so.
    FillCodes(dm, 10, QStringLiteral("3,00"));
    ASSERT_EQ(::mount("orvan-test", path.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=256k"), 0);
    QString readOnly;
    try {
        SaveDataFile(dm, target, TSectionSet::All());
    } catch (const Exception &e) {
        readOnly = e.Message();
    }
    TRecMessages messages;
    TRecWait wait{messages};
    TRecJobs jobs;
    TFiscalMemory pf{jobs, wait, messages, dir.filePath(QStringLiteral("pf.txt")), dir.filePath(QStringLiteral("r"))};
    pf.Lines = QStringList{QStringLiteral("linia")};
    QString report;
    try {
        pf.SaveReportFile(mnt + QStringLiteral("/r.frp"));
    } catch (const Exception &e) {
        report = e.Message();
    }
    ::umount(path.constData());
    EXPECT_TRUE(readOnly.startsWith(QStringLiteral("Nie można zapisać pliku ") + target + QStringLiteral(": ")))
        << readOnly.toStdString();
    EXPECT_TRUE(report.startsWith(QStringLiteral("Nie mogę zapisać pliku ") + mnt)) << report.toStdString();
}

} // namespace

#endif
