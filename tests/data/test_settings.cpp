// Registry wrapper and settings store, always against a temporary folder.
#include "data/UErrors.h"
#include "data/UFinally.h"
#include "data/UGlobals.h"
#include "data/UOrvanIO.h"
#include "data/URunFolder.h"
#include "data/UWinReg.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <climits>
#include <functional>
#include <string>

namespace {

const QString kOpen = QStringLiteral("Nie mogę otworzyć rejestru.\r\n");
const QString kReadClosed = QStringLiteral("Nie mogę odczytać zamkniętego rejestru.");
const QString kWriteClosed = QStringLiteral("Nie mogę zapisać zamkniętego rejestru.");
const QString kWrite = QStringLiteral("Nie mogę zapisać rejestru.\r\n");
const QString kRead = QStringLiteral("Nie mogę odczytać rejestru.\r\n");

// The message of the Exception that f raises, or "<no error>".
QString MessageOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

class RegistryTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString KeyFile() const { return dir.filePath(QStringLiteral("NOXA S.C./Orvan 277PS Plus/1.0.ini")); }
    TWinReg MakeReg() const { return TWinReg(SettingsKeyPath, dir.path()); }

    // Puts raw values into the key file as another writer would.
    void Seed(const QVariantMap &values) const
    {
        QDir().mkpath(QFileInfo(KeyFile()).absolutePath());
        QSettings s(KeyFile(), QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            s.setValue(it.key(), it.value());
    }
    QVariant Stored(const QString &name) const
    {
        QSettings s(KeyFile(), QSettings::IniFormat);
        return s.value(name);
    }
    void WriteRaw(const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(KeyFile()).absolutePath());
        QFile f(KeyFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray ReadRaw() const
    {
        QFile f(KeyFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(RegistryTest, KeyFileLiesUnderTheGivenFolder)
{
    TWinReg reg = MakeReg();
    EXPECT_EQ(reg.FileName(), KeyFile());
}

TEST_F(RegistryTest, OpeningAMissingKeyWithoutCreateFailsAndCreatesNothing)
{
    TWinReg reg = MakeReg();
    EXPECT_EQ(MessageOf([&] { reg.OpenKey(false); }), kOpen + RegistrySystemText(TRegFault::NotFound));
    EXPECT_FALSE(reg.IsOpen());
    EXPECT_FALSE(QFileInfo::exists(KeyFile()));
}

TEST_F(RegistryTest, CreatedKeyCanLaterBeOpenedWithoutCreate)
{
    {
        TWinReg reg = MakeReg();
        reg.OpenKey(true);
        EXPECT_TRUE(reg.IsOpen());
    }
    TWinReg again = MakeReg();
    again.OpenKey(false);
    EXPECT_TRUE(again.IsOpen());
}

TEST_F(RegistryTest, OpenKeyOnAnOpenKeyKeepsItUsable)
{
    TWinReg reg = MakeReg();
    reg.OpenKey(true);
    reg.WriteInteger(QStringLiteral("Kasa"), 4);
    reg.OpenKey(false);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Kasa")), 4);
}

TEST_F(RegistryTest, OperationsOnAClosedKeyFailWithTheirMessage)
{
    struct Case {
        const char *what;
        std::function<void(TWinReg &)> op;
        QString message;
    };
    const Case cases[] = {
        {"ValueExists", [](TWinReg &r) { r.ValueExists(QStringLiteral("Kasa")); }, kReadClosed},
        {"ReadInteger", [](TWinReg &r) { r.ReadInteger(QStringLiteral("Kasa")); }, kReadClosed},
        {"ReadString", [](TWinReg &r) { r.ReadString(QStringLiteral("portname")); }, kReadClosed},
        {"ReadBool", [](TWinReg &r) { r.ReadBool(QStringLiteral("Kaucje")); }, kReadClosed},
        {"WriteInteger", [](TWinReg &r) { r.WriteInteger(QStringLiteral("Kasa"), 1); }, kWriteClosed},
        {"WriteString", [](TWinReg &r) { r.WriteString(QStringLiteral("portname"), QStringLiteral("COM2")); }, kWriteClosed},
        {"WriteBool", [](TWinReg &r) { r.WriteBool(QStringLiteral("Kaucje"), true); }, kWriteClosed},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TWinReg never = MakeReg();
        EXPECT_EQ(MessageOf([&] { c.op(never); }), c.message);

        TWinReg closed = MakeReg();
        closed.OpenKey(true);
        closed.CloseKey();
        EXPECT_FALSE(closed.IsOpen());
        EXPECT_EQ(MessageOf([&] { c.op(closed); }), c.message);
    }
    // Nothing reached the file through a closed wrapper.
    EXPECT_FALSE(Stored(QStringLiteral("Kasa")).isValid());
}

TEST_F(RegistryTest, IntegersRoundTripAsThirtyTwoBitValues)
{
    const int values[] = {0, 1, -1, 9600, INT_MAX, INT_MIN};
    for (int v : values) {
        SCOPED_TRACE(v);
        {
            TWinReg reg = MakeReg();
            reg.OpenKey(true);
            reg.WriteInteger(QStringLiteral("n"), v);
        }
        TWinReg reg = MakeReg();
        reg.OpenKey(false);
        EXPECT_EQ(reg.ReadInteger(QStringLiteral("n")), v);
    }
}

TEST_F(RegistryTest, StoredTextIsReadAsIntegerOrRefused)
{
    struct Case {
        const char *stored;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {"5", true, 5},
        {"-1", true, -1},
        {"4294967295", true, -1}, // FFFFFFFF as a DWORD
        {"2147483648", true, INT_MIN},
        {"-2147483648", true, INT_MIN},
        {"4294967296", false, 0},
        {"-2147483649", false, 0},
        {"abc", false, 0},
        {"12x", false, 0},
        {"", false, 0},
        {"1.5", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        Seed({{QStringLiteral("n"), QString::fromLatin1(c.stored)}});
        TWinReg reg = MakeReg();
        reg.OpenKey(false);
        if (c.ok)
            EXPECT_EQ(reg.ReadInteger(QStringLiteral("n")), c.value);
        else
            EXPECT_EQ(MessageOf([&] { reg.ReadInteger(QStringLiteral("n")); }),
                      kRead + RegistrySystemText(TRegFault::BadData));
    }
}

TEST_F(RegistryTest, MissingValuesFailToReadWithTheNotFoundText)
{
    TWinReg reg = MakeReg();
    reg.OpenKey(true);
    const QString expected = kRead + RegistrySystemText(TRegFault::NotFound);
    EXPECT_FALSE(reg.ValueExists(QStringLiteral("baud")));
    EXPECT_EQ(MessageOf([&] { reg.ReadInteger(QStringLiteral("baud")); }), expected);
    EXPECT_EQ(MessageOf([&] { reg.ReadString(QStringLiteral("baud")); }), expected);
    EXPECT_EQ(MessageOf([&] { reg.ReadBool(QStringLiteral("baud")); }), expected);
}

TEST_F(RegistryTest, StringsRoundTripUpTo249Characters)
{
    const QString values[] = {
        QString(),
        QStringLiteral("COM1"),
        QStringLiteral("/dev/ttyUSB0"),
        QStringLiteral("zażółć gęślą jaźń, \"cytat\"; a=b"),
        QStringLiteral("@Variant(x)"),
        QString(249, QLatin1Char('x')),
    };
    for (const QString &v : values) {
        SCOPED_TRACE(v.toStdString());
        {
            TWinReg reg = MakeReg();
            reg.OpenKey(true);
            reg.WriteString(QStringLiteral("portname"), v);
        }
        TWinReg reg = MakeReg();
        reg.OpenKey(false);
        EXPECT_TRUE(reg.ValueExists(QStringLiteral("portname")));
        EXPECT_EQ(reg.ReadString(QStringLiteral("portname")), v);
    }
}

TEST_F(RegistryTest, StringLongerThan249CharactersIsRefused)
{
    Seed({{QStringLiteral("portname"), QString(250, QLatin1Char('p'))}});
    TWinReg reg = MakeReg();
    reg.OpenKey(false);
    EXPECT_EQ(MessageOf([&] { reg.ReadString(QStringLiteral("portname")); }),
              kRead + RegistrySystemText(TRegFault::TooLong));
}

TEST_F(RegistryTest, UnquotedCommaInAHandEditedStringIsKept)
{
    WriteRaw("[General]\nportname=COM1,2\n");
    TWinReg reg = MakeReg();
    reg.OpenKey(false);
    EXPECT_EQ(reg.ReadString(QStringLiteral("portname")), QStringLiteral("COM1,2"));
}

TEST_F(RegistryTest, BooleansAreIntegersGreaterThanZero)
{
    struct Case {
        int stored;
        bool expected;
    };
    const Case cases[] = {{0, false}, {1, true}, {5, true}, {-1, false}, {INT_MIN, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        Seed({{QStringLiteral("b"), c.stored}});
        TWinReg reg = MakeReg();
        reg.OpenKey(false);
        EXPECT_EQ(reg.ReadBool(QStringLiteral("b")), c.expected);
    }
    TWinReg reg = MakeReg();
    reg.OpenKey(false);
    reg.WriteBool(QStringLiteral("t"), true);
    reg.WriteBool(QStringLiteral("f"), false);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("t")), 1);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("f")), 0);
}

TEST_F(RegistryTest, KeyThatCannotBeAFileFailsToOpen)
{
    // The key's file is taken by a folder.
    QDir().mkpath(KeyFile());
    TWinReg reg = MakeReg();
    EXPECT_EQ(MessageOf([&] { reg.OpenKey(true); }), kOpen + RegistrySystemText(TRegFault::AccessDenied));
    EXPECT_FALSE(reg.IsOpen());
}

TEST_F(RegistryTest, KeyPathLeavingTheFolderIsRefused)
{
    TWinReg reg(QStringLiteral("Software\\..\\..\\x"), dir.path());
    EXPECT_EQ(MessageOf([&] { reg.OpenKey(true); }), kOpen + RegistrySystemText(TRegFault::BadData));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

TEST_F(RegistryTest, DamagedKeyFileIsRefusedAndLeftAsItWas)
{
    const QByteArray damaged = "[General\nKasa=5\n";
    WriteRaw(damaged);
    TWinReg reg = MakeReg();
    EXPECT_EQ(MessageOf([&] { reg.OpenKey(true); }), kOpen + RegistrySystemText(TRegFault::BadData));
    EXPECT_EQ(ReadRaw(), damaged);
}

TEST_F(RegistryTest, WriteThatCannotReachTheFileFails)
{
    TWinReg reg = MakeReg();
    reg.OpenKey(true);
    reg.WriteInteger(QStringLiteral("Kasa"), 1);
    // The file is replaced by a folder while the key is open.
    ASSERT_TRUE(QFile::remove(KeyFile()));
    ASSERT_TRUE(QDir().mkpath(KeyFile()));
    EXPECT_EQ(MessageOf([&] { reg.WriteInteger(QStringLiteral("baud"), 4800); }),
              kWrite + RegistrySystemText(TRegFault::AccessDenied));
}

// ---------------------------------------------------------------------------

class SettingsTest : public RegistryTest {
protected:
    TSettingsEnv Env(quint32 pid = 0x1234) const
    {
        TSettingsEnv env;
        env.ProgramDir = QStringLiteral("/opt/orvan");
        env.TempDir = dir.filePath(QStringLiteral("tmp"));
        env.ProcessId = pid;
        env.ConfigDir = dir.path();
        return env;
    }
    TSettings StartUp(const std::function<void(TSettings &)> &apply = {}) const
    {
        TSettings s;
        SettingsStartUp(s, Env(), apply);
        return s;
    }
};

TEST_F(SettingsTest, FirstRunCreatesTheKeyWithTheDefaultsButNotTheConfiguration)
{
    const TSettings s = StartUp();
    EXPECT_TRUE(s.FirstRun);

    const QVariantMap expected = {
        {QStringLiteral("RaportNaPodst"), 0},
        {QStringLiteral("portname"), QStringLiteral("COM1")},
        {QStringLiteral("baud"), 9600},       {QStringLiteral("wToECR"), -1},
        {QStringLiteral("wFromECR"), -1},     {QStringLiteral("wToOTX"), -1},
        {QStringLiteral("wFromOTX"), -1},
    };
    QSettings stored(KeyFile(), QSettings::IniFormat);
    EXPECT_EQ(stored.allKeys().size(), 7);
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        EXPECT_EQ(stored.value(it.key()).toString(), it.value().toString());
    }

    EXPECT_EQ(s.Kasa, 0);
    EXPECT_EQ(s.Eprom235, 0);
    EXPECT_TRUE(s.Kaucje);
    EXPECT_EQ(s.RaportNaPodst, 0);
    EXPECT_EQ(s.portname, QStringLiteral("COM1"));
    EXPECT_EQ(s.baud, 9600);
    EXPECT_EQ(s.wToECR, -1);
    EXPECT_EQ(s.wFromECR, -1);
    EXPECT_EQ(s.wToOTX, -1);
    EXPECT_EQ(s.wFromOTX, -1);
}

TEST_F(SettingsTest, KasaPresentMeansNotFirstRunAndOnlyMissingValuesGetDefaults)
{
    Seed({{QStringLiteral("Kasa"), 3}, {QStringLiteral("Kaucje"), 1}, {QStringLiteral("portname"), QStringLiteral("/dev/ttyUSB0")}});
    const TSettings s = StartUp();
    EXPECT_FALSE(s.FirstRun);
    EXPECT_EQ(s.Kasa, 3);
    EXPECT_EQ(s.baud, 9600);
    EXPECT_EQ(s.portname, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(Stored(QStringLiteral("Kasa")).toString(), QStringLiteral("3"));
    EXPECT_EQ(Stored(QStringLiteral("baud")).toString(), QStringLiteral("9600"));
    EXPECT_EQ(Stored(QStringLiteral("portname")).toString(), QStringLiteral("/dev/ttyUSB0"));
}

TEST_F(SettingsTest, KaucjeStoredAsFiveReadsTrueAndIsWrittenBackAsOne)
{
    Seed({{QStringLiteral("Kasa"), 1}, {QStringLiteral("Kaucje"), 5}});
    const TSettings s = StartUp();
    EXPECT_TRUE(s.Kaucje);
    SettingsSave(s, Env());
    EXPECT_EQ(Stored(QStringLiteral("Kaucje")).toString(), QStringLiteral("1"));
}

TEST_F(SettingsTest, OverlongPortNameMakesStartUpFail)
{
    Seed({{QStringLiteral("Kasa"), 0}, {QStringLiteral("portname"), QString(250, QLatin1Char('C'))}});
    TSettings s;
    EXPECT_EQ(MessageOf([&] { SettingsStartUp(s, Env(), {}); }),
              kRead + RegistrySystemText(TRegFault::TooLong));
}

TEST_F(SettingsTest, NonNumericValueMakesStartUpFailAndLeavesTheFileAlone)
{
    Seed({{QStringLiteral("Kasa"), 0}, {QStringLiteral("baud"), QStringLiteral("szybko")}});
    TSettings s;
    EXPECT_EQ(MessageOf([&] { SettingsStartUp(s, Env(), {}); }),
              kRead + RegistrySystemText(TRegFault::BadData));
    EXPECT_EQ(Stored(QStringLiteral("baud")).toString(), QStringLiteral("szybko"));
}

TEST_F(SettingsTest, ExitWritesEverythingAndNextStartUpReadsItBack)
{
    TSettings s = StartUp();
    s.FirstRun = false; // the configuration dialog confirmed
    s.Kasa = 2;
    s.Eprom235 = 1;
    s.Kaucje = false;
    s.RaportNaPodst = 1;
    s.portname = QStringLiteral("ttyUSB1");
    s.baud = 2400;
    s.wToECR = -1;
    s.wFromECR = INT_MIN;
    s.wToOTX = INT_MAX;
    s.wFromOTX = 0;
    SettingsSave(s, Env());

    const TSettings r = StartUp();
    EXPECT_FALSE(r.FirstRun);
    EXPECT_EQ(r.Kasa, 2);
    EXPECT_EQ(r.Eprom235, 1);
    EXPECT_FALSE(r.Kaucje);
    EXPECT_EQ(Stored(QStringLiteral("Kaucje")).toString(), QStringLiteral("0"));
    EXPECT_EQ(r.RaportNaPodst, 1);
    EXPECT_EQ(r.portname, QStringLiteral("ttyUSB1"));
    EXPECT_EQ(r.baud, 2400);
    EXPECT_EQ(r.wToECR, -1);
    EXPECT_EQ(r.wFromECR, INT_MIN);
    EXPECT_EQ(r.wToOTX, INT_MAX);
    EXPECT_EQ(r.wFromOTX, 0);
}

TEST_F(SettingsTest, ProfileIsAppliedAfterReadingAndItsChangesWaitForExit)
{
    Seed({{QStringLiteral("Kasa"), 2}, {QStringLiteral("Eprom235"), 0}, {QStringLiteral("Kaucje"), 1}});
    int calls = 0;
    const TSettings s = StartUp([&](TSettings &t) {
        ++calls;
        EXPECT_EQ(t.Kasa, 2); // already read
        t.Eprom235 = 1;       // ER-A237P forces version B
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(s.Eprom235, 1);
    EXPECT_EQ(Stored(QStringLiteral("Eprom235")).toString(), QStringLiteral("0"));
    SettingsSave(s, Env());
    EXPECT_EQ(Stored(QStringLiteral("Eprom235")).toString(), QStringLiteral("1"));
}

TEST_F(SettingsTest, FailingProfileStepPropagatesItsError)
{
    TSettings s;
    EXPECT_EQ(MessageOf([&] {
                  SettingsStartUp(s, Env(), [](TSettings &) { throw Exception(QStringLiteral("profil")); });
              }),
              QStringLiteral("profil"));
    // The key was released: a second start-up goes through.
    EXPECT_EQ(MessageOf([&] { SettingsStartUp(s, Env(), {}); }), QStringLiteral("<no error>"));
}

TEST_F(SettingsTest, UnusableConfigurationFolderFailsStartUpAndExit)
{
    const QString blocker = dir.filePath(QStringLiteral("plik"));
    QFile f(blocker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    TSettingsEnv env = Env();
    env.ConfigDir = blocker;
    TSettings s;
    const QString expected = kOpen + RegistrySystemText(TRegFault::AccessDenied);
    EXPECT_EQ(MessageOf([&] { SettingsStartUp(s, env, {}); }), expected);
    EXPECT_EQ(MessageOf([&] { SettingsSave(s, env); }), expected);
}

// Only a whole configuration with a known model and version counts, and
// the defaults written at start-up do not make one: a run that ends before
// its confirmation leaves the next start a first run again.
TEST_F(SettingsTest, IncompleteOrUnknownConfigurationIsAFirstRunUntilConfirmed)
{
    const QString kasa = QStringLiteral("Kasa"), eprom = QStringLiteral("Eprom235"), kaucje = QStringLiteral("Kaucje");
    struct Case {
        const char *name;
        QVariantMap stored;
        bool firstRun;
    };
    const Case cases[] = {
        {"nothing", {}, true},
        {"whole", {{kasa, 3}, {eprom, 0}, {kaucje, 0}}, false},
        {"ER-A235P version B", {{kasa, 0}, {eprom, 1}, {kaucje, 1}}, false},
        {"model only", {{kasa, 5}}, true},
        {"no deposits choice", {{kasa, 5}, {eprom, 0}}, true},
        {"version only", {{eprom, 1}, {kaucje, 1}}, true},
        {"no version, not needed", {{kasa, 5}, {kaucje, 1}}, false},
        {"ER-A235P without its version", {{kasa, 0}, {kaucje, 1}}, true},
        {"unknown model", {{kasa, 6}, {eprom, 0}, {kaucje, 1}}, true},
        {"negative model", {{kasa, -1}, {eprom, 0}, {kaucje, 1}}, true},
        {"unknown version", {{kasa, 0}, {eprom, 2}, {kaucje, 1}}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(KeyFile());
        Seed(c.stored);
        for (int start = 0; start < 2; ++start) // the second after a crash
            EXPECT_EQ(StartUp().FirstRun, c.firstRun);
        TWinReg reg = MakeReg();
        reg.OpenKey(false);
        EXPECT_EQ(ConfigurationStored(reg), !c.firstRun);
    }
}

TEST(SettingsPathsTest, NamesAreFormedFromTheTemporaryFolderAndProcessId)
{
    struct Case {
        QString tempDir;
        quint32 pid;
        QString prefix;
        QString report;
    };
    const QString t130 = QStringLiteral("/") + QString(129, QLatin1Char('t'));
    const QString t131 = QStringLiteral("/") + QString(130, QLatin1Char('t'));
    const Case cases[] = {
        {QStringLiteral("/tmp"), 0x1a2b, QStringLiteral("/tmp/orvan277PSPlus-00001A2B-"),
         QStringLiteral("/tmp/orvan277PSPlus-raport")},
        {QStringLiteral("/tmp/"), 0xdeadbeef, QStringLiteral("/tmp/orvan277PSPlus-DEADBEEF-"),
         QStringLiteral("/tmp/orvan277PSPlus-raport")},
        {QStringLiteral("C:\\Temp\\"), 0, QStringLiteral("C:\\Temp\\orvan277PSPlus-00000000-"),
         QStringLiteral("C:\\Temp\\orvan277PSPlus-raport")},
        {QStringLiteral("/"), 1, QStringLiteral("/orvan277PSPlus-00000001-"), QStringLiteral("/orvan277PSPlus-raport")},
        {t130, 2, t130 + QStringLiteral("/orvan277PSPlus-00000002-"), t130 + QStringLiteral("/orvan277PSPlus-raport")},
        {t131, 2, QString(), QStringLiteral("raport")},
        {QString(), 2, QString(), QStringLiteral("raport")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tempDir.toStdString());
        TSettingsEnv env;
        env.TempDir = c.tempDir;
        env.ProcessId = c.pid;
        TSettings s;
        SettingsFormPaths(s, env);
        EXPECT_EQ(s.TempPrefix, c.prefix);
        EXPECT_EQ(s.ReportPrefix, c.report);
        EXPECT_EQ(s.KodyFile, c.prefix + QStringLiteral("kody.txt"));
        EXPECT_EQ(s.GrupyFile, c.prefix + QStringLiteral("grupy.txt"));
        EXPECT_EQ(s.KaucjeFile, c.prefix + QStringLiteral("kaucje.txt"));
        EXPECT_EQ(s.PFFile, c.prefix + QStringLiteral("pf.txt"));
    }
}

// Another user may plant links and files in the shared temporary folder:
// the run's files lie in a folder of its own that nobody else may enter.
TEST(SettingsPathsTest, TheRunsFilesLieInItsOwnPrivateFolder)
{
#ifdef _WIN32
    // The user's %TEMP% (GetTempPathW reads TMP first), private by its
    // access list.
    const char *const tempVariable = "TMP";
#else
    const char *const tempVariable = "TMPDIR";
#endif
    QTemporaryDir tmp;
    const QByteArray tmpBefore = qgetenv(tempVariable);
    RemoveRunFolder();
    qputenv(tempVariable, QFile::encodeName(QDir::toNativeSeparators(tmp.path())));
    const TFinally restore([&] {
        RemoveRunFolder();
        qputenv(tempVariable, tmpBefore);
    });

    TSettings s;
    SettingsFormPaths(s, TSettingsEnv::FromSystem());
    const QString run = RunFolder();
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QFileInfo(run).fileName()});
#ifndef _WIN32
    EXPECT_EQ(QFileInfo(run).permissions() & 0x0077, 0); // nothing for group and others
#endif
    EXPECT_TRUE(s.PFFile.startsWith(run + QStringLiteral("/orvan277PSPlus-"))) << s.PFFile.toStdString();
    EXPECT_EQ(s.ReportPrefix, run + QStringLiteral("/orvan277PSPlus-raport"));
    RemoveRunFolder(); // the end of the run
    EXPECT_TRUE(QDir(tmp.path()).isEmpty());
}

TEST(SettingsPathsTest, ExeDirEndsInASeparator)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("/opt/orvan"), QStringLiteral("/opt/orvan/")},
        {QStringLiteral("/opt/orvan/"), QStringLiteral("/opt/orvan/")},
        {QStringLiteral("C:\\Program Files\\Orvan\\"), QStringLiteral("C:\\Program Files\\Orvan\\")},
        {QString(), QString()},
    };
    for (const auto &[given, expected] : cases) {
        TSettingsEnv env;
        env.ProgramDir = given;
        TSettings s;
        SettingsFormPaths(s, env);
        EXPECT_EQ(s.ExeDir, expected);
    }
}

TEST(SettingsPathsTest, TwoRunningCopiesUseDifferentExchangeFiles)
{
    TSettingsEnv a, b;
    a.TempDir = b.TempDir = QStringLiteral("/tmp");
    a.ProcessId = 100;
    b.ProcessId = 101;
    TSettings sa, sb;
    SettingsFormPaths(sa, a);
    SettingsFormPaths(sb, b);
    EXPECT_NE(sa.KodyFile, sb.KodyFile);
    EXPECT_NE(sa.GrupyFile, sb.GrupyFile);
    EXPECT_NE(sa.KaucjeFile, sb.KaucjeFile);
    EXPECT_NE(sa.PFFile, sb.PFFile);
}

TEST(SettingsFilesTest, DeleteFilesRemovesWhatItCanAndIgnoresTheRest)
{
    QTemporaryDir dir;
    const QString present = dir.filePath(QStringLiteral("kody.txt"));
    const QString folder = dir.filePath(QStringLiteral("grupy.txt"));
    {
        QFile f(present);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    ASSERT_TRUE(QDir().mkpath(folder));
    DeleteFiles({dir.filePath(QStringLiteral("brak.txt")), QString(), folder, present});
    EXPECT_FALSE(QFileInfo::exists(present));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

// Linux keeps it in the configuration folder; Windows in the program's
// folder of the roaming application data, beside its other data.
TEST(SettingsFilesTest, PlacementFileLiesInTheConfigurationFolder)
{
    EXPECT_EQ(PlacementFilePath(QStringLiteral("/home/u/.config")), QStringLiteral("/home/u/.config/Orvan277PSP.INI"));
#ifdef _WIN32
    const QString expected = UserDataFolder() + QStringLiteral("/Orvan277PSP.INI");
    EXPECT_TRUE(UserDataFolder().endsWith(QStringLiteral("/AppData/Roaming/NOXA S.C./Orvan277PS Plus"), Qt::CaseInsensitive))
        << UserDataFolder().toStdString();
#else
    const QString expected = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                             + QStringLiteral("/Orvan277PSP.INI");
    EXPECT_TRUE(UserDataFolder().endsWith(QStringLiteral("/NOXA S.C./Orvan277PS Plus"))) << UserDataFolder().toStdString();
#endif
    EXPECT_EQ(PlacementFilePath(), expected);
}

// The texts after a registry message are the system's own: on Windows a
// missing value reads as a missing file does (qt_error_string would give
// errno texts for the registry's codes 2 and 13).
TEST(RegistryTextsTest, AreTheSystemsOwnAndTellTheFaultsApart)
{
#ifdef _WIN32
    QTemporaryDir dir;
    QByteArray bytes;
    EXPECT_EQ(RegistrySystemText(TRegFault::NotFound), ReadInputFile(dir.filePath(QStringLiteral("brak.otx")), bytes));
#endif
    const QSet<QString> texts = {RegistrySystemText(TRegFault::NotFound), RegistrySystemText(TRegFault::AccessDenied),
                                 RegistrySystemText(TRegFault::TooLong), RegistrySystemText(TRegFault::BadData)};
    EXPECT_EQ(texts.size(), 4);
}

} // namespace

TEST_F(SettingsTest, VerifyAfterSendIsOffUntilStoredAtExit)
{
    TSettings s = StartUp();
    EXPECT_FALSE(s.SprawdzPoWyslaniu);
    s.SprawdzPoWyslaniu = true;
    SettingsSave(s, Env());
    EXPECT_TRUE(StartUp().SprawdzPoWyslaniu);
    s.SprawdzPoWyslaniu = false;
    SettingsSave(s, Env());
    EXPECT_FALSE(StartUp().SprawdzPoWyslaniu);
}
