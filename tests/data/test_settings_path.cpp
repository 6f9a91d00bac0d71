// Where the settings and the placements of a user's run go, and that the
// README names those same places.
#include "data/UErrors.h"
#include "data/UFinally.h"
#include "data/UGlobals.h"
#include "data/URecentFolders.h"
#include "data/UWinReg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString KeyFileBelowConfig = QStringLiteral("NOXA S.C./Orvan 277PS Plus/1.0.ini");
const QString PlacementBelowConfig = QStringLiteral("Orvan277PSP.INI");

// Points the user's configuration folder somewhere else for one test.
class ScopedConfigHome {
public:
    explicit ScopedConfigHome(const QString &folder) : m_had(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
        m_old = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", folder.toLocal8Bit());
    }
    ~ScopedConfigHome()
    {
        if (m_had)
            qputenv("XDG_CONFIG_HOME", m_old);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

private:
    bool m_had;
    QByteArray m_old;
};


} // namespace

TEST(SettingsPath, UsersRunWritesBelowTheConfigurationFolder)
{
#ifdef _WIN32
    GTEST_SKIP() << "the user's store is the registry there (WithoutAFolderTheStoreIsTheRegistryKeyOnWindows)";
#endif
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ScopedConfigHome home(dir.path());
    ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), dir.path());

    TSettingsEnv env;
    env.ProgramDir = dir.path();
    env.TempDir = dir.path();
    env.ProcessId = 7; // ConfigDir stays empty: the user's own folder
    TSettings s;
    SettingsStartUp(s, env, {});
    SettingsSave(s, env);
    EXPECT_TRUE(QFile::exists(dir.filePath(KeyFileBelowConfig)));
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("Software"))).exists());
    EXPECT_EQ(PlacementFilePath(), dir.filePath(PlacementBelowConfig));
}

// Without a folder the store is the platform's own: on Windows the
// registry key with its integers as REG_DWORD, elsewhere an INI file. The
// test uses a key of its own beside the program's and removes it.
TEST(SettingsPath, WithoutAFolderTheStoreIsTheRegistryKeyOnWindows)
{
    const QString name = QStringLiteral("test-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    const QString keyPath = QStringLiteral("Software\\NOXA S.C.\\Orvan 277PS Plus\\") + name;
    TWinReg reg(keyPath);
#ifdef _WIN32
    const QString parent = QStringLiteral("HKEY_CURRENT_USER\\Software\\NOXA S.C.\\Orvan 277PS Plus");
    const TFinally removeKey([&] { QSettings(parent, QSettings::NativeFormat).remove(name); });
    EXPECT_TRUE(reg.FileName().isEmpty());
    EXPECT_THROW(reg.OpenKey(false), Exception); // not there yet
    reg.OpenKey(true);
    reg.WriteInteger(QStringLiteral("baud"), 9600);
    reg.WriteString(QStringLiteral("portname"), QStringLiteral("COM12"));
    reg.CloseKey();
    const QSettings key(parent + u'\\' + name, QSettings::NativeFormat);
    EXPECT_EQ(key.value(QStringLiteral("baud")).metaType().id(), QMetaType::Int); // REG_DWORD
    EXPECT_EQ(key.value(QStringLiteral("portname")).toString(), QStringLiteral("COM12"));
    reg.OpenKey(false);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("baud")), 9600);
    reg.CloseKey(); // before the key goes
#else
    EXPECT_EQ(reg.FileName(), QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                                  + QStringLiteral("/NOXA S.C./Orvan 277PS Plus/") + name + QStringLiteral(".ini"));
#endif
}

TEST(SettingsPath, ReadmeNamesTheSamePlaces)
{
    QFile readme(QStringLiteral(ORVAN_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll()).simplified();
    const QRegularExpression kept(QStringLiteral("settings are kept in `~/\\.config/([^`]+)` and the window "
                                                 "placements in `~/\\.config/([^`]+)`"));
    const QRegularExpressionMatch m = kept.match(text);
    ASSERT_TRUE(m.hasMatch()) << "README lost its settings line";
    EXPECT_EQ(m.captured(1), KeyFileBelowConfig);
    EXPECT_EQ(m.captured(2), PlacementBelowConfig);
}

// File dialogs start where the user last chose a file of the same kind;
// in the next run too when there is a placement file.
TEST(SettingsPath, FileDialogsStartInTheFolderLastUsedForTheKind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString placements = dir.filePath(QStringLiteral("Orvan277PSP.INI"));
    const QString stick = dir.filePath(QStringLiteral("pendrive"));
    ASSERT_TRUE(QDir().mkpath(stick + QStringLiteral("/raporty")));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("eksport"))));
    for (const QString &file : {placements, QString()}) {
        SCOPED_TRACE(file.toStdString());
        TRecentFolders folders(file);
        EXPECT_EQ(folders.StartFolder(TFileKind::Csv), QDir::homePath()) << "nothing chosen yet";
        folders.Remember(TFileKind::Csv, dir.filePath(QStringLiteral("eksport/kody.csv")));
        folders.Remember(TFileKind::FiscalReport, stick + QStringLiteral("/raporty/2026.frp"));
        EXPECT_EQ(folders.StartFolder(TFileKind::Csv), dir.filePath(QStringLiteral("eksport")));
        EXPECT_EQ(folders.StartFolder(TFileKind::FiscalReport), stick + QStringLiteral("/raporty"));
        EXPECT_EQ(folders.StartFolder(TFileKind::Png), QDir::homePath()) << "each kind its own";
        // Folders removed since: the nearest one above that is left.
        ASSERT_TRUE(QDir(stick + QStringLiteral("/raporty")).removeRecursively());
        EXPECT_EQ(folders.StartFolder(TFileKind::FiscalReport), stick);
        ASSERT_TRUE(QDir(stick).removeRecursively());
        EXPECT_EQ(folders.StartFolder(TFileKind::FiscalReport), dir.path());
        ASSERT_TRUE(QDir().mkpath(stick + QStringLiteral("/raporty")));
    }
    // The next run reads them from the placement file.
    EXPECT_EQ(TRecentFolders(placements).StartFolder(TFileKind::Csv), dir.filePath(QStringLiteral("eksport")));
    EXPECT_EQ(QSettings(placements, QSettings::IniFormat).value(QStringLiteral("Foldery/CSV")).toString(),
              dir.filePath(QStringLiteral("eksport")));
    // A folder the file names that was never there, nor anything above it
    // but the root: the home folder.
    QSettings(placements, QSettings::IniFormat).setValue(QStringLiteral("Foldery/PNG"), QStringLiteral("/nie/ma/mnie"));
    EXPECT_EQ(TRecentFolders(placements).StartFolder(TFileKind::Png), QDir::homePath());
}
