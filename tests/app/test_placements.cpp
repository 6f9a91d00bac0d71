// Window placements and the extras of windows that keep more (grid column
// layouts): restored when the windows are made, written when the main
// window closes, while every window still exists.
#include "data/UDM.h"
#include "editors/UGrupy.h"
#include "app/UMain.h"
#include "app/UPlacement.h"
#include "app/UProgram.h"
#include "data/URecentFolders.h"
#include "exchange/UUiHooks.h"
#include "app_test_util.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A window that keeps a value of its own in its section.
class TExtrasWindow : public QWidget, public IPlacementExtras {
public:
    mutable QStringList Calls;
    int Width = 77;

    void SaveExtras(const QString &placementFile, const QString &section) const override
    {
        Calls << QStringLiteral("save ") + section;
        QSettings ini(placementFile, QSettings::IniFormat);
        ini.setValue(section + QStringLiteral("/Column0"), Width);
    }
    void RestoreExtras(const QString &placementFile, const QString &section) override
    {
        Calls << QStringLiteral("restore ") + section;
        QSettings ini(placementFile, QSettings::IniFormat);
        Width = ini.value(section + QStringLiteral("/Column0"), Width).toInt();
    }
};

} // namespace

TEST(Placements, ExtrasTravelWithTheWindowsEntry)
{
    TestApp();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Orvan277PSP.INI"));
    {
        TExtrasWindow window;
        window.Width = 123;
        window.move(50, 60);
        window.show();
        SaveWindowEntry(&window, file, QStringLiteral("FormGrupy"), true);
        EXPECT_EQ(window.Calls, QStringList{QStringLiteral("save FormGrupy")});
    }
    TExtrasWindow again;
    RestoreWindowEntry(&again, file, QStringLiteral("FormGrupy"), true);
    EXPECT_EQ(again.Calls, QStringList{QStringLiteral("restore FormGrupy")});
    EXPECT_EQ(again.Width, 123);

    // A window without extras has only its placement.
    QWidget plain;
    plain.show();
    SaveWindowEntry(&plain, file, QStringLiteral("PF"), false);
    QSettings ini(file, QSettings::IniFormat);
    EXPECT_TRUE(ini.contains(QStringLiteral("PF/Left")));
    EXPECT_FALSE(ini.contains(QStringLiteral("PF/Column0")));
}

TEST(Placements, ClosingTheMainWindowWritesThemWhileTheWindowsExist)
{
    TestApp();
    QTemporaryDir dir;
    const TSettingsEnv env = ProgramEnvIn(dir.path(), 0x2345);
    AppSettings() = TSettings();
    TFakeMessages boxes;
    TScopedMessages scoped(&boxes);
    const QString file = dir.filePath(QStringLiteral("Orvan277PSP.INI"));
    QPoint groupsAt;
    {
        TProgram program(env);
        ASSERT_TRUE(program.StartUp());
        program.CreateWindows();
        program.DataModule().Modified = false; // no save question
        TFormMain *main = program.FormMain();
        main->show();
        main->move(40, 30);
        QWidget *groups = program.Windows().FormGrupy;
        groups->show();
        groups->move(120, 90);
        groupsAt = groups->pos();
        // The folders of the file dialogs go to the same file.
        AppRecentFolders().Remember(TFileKind::Png, dir.filePath(QStringLiteral("wykres.png")));

        EXPECT_TRUE(main->close());
        QCoreApplication::removePostedEvents(qApp, QEvent::Quit);
        EXPECT_TRUE(QFile::exists(file)); // before any exit step
        program.Exit();
    }
    QSettings ini(file, QSettings::IniFormat);
    EXPECT_TRUE(ini.contains(QStringLiteral("FormMain/Left")));
    EXPECT_EQ(ini.value(QStringLiteral("FormGrupy/Left")).toInt(), groupsAt.x());
    EXPECT_EQ(ini.value(QStringLiteral("FormGrupy/Top")).toInt(), groupsAt.y());
    EXPECT_FALSE(ini.contains(QStringLiteral("FormKody/Left"))); // never shown: keeps what it had
    EXPECT_EQ(ini.value(QStringLiteral("Foldery/PNG")).toString(), dir.path());

    // The next run puts the window back where it was.
    {
        AppSettings() = TSettings();
        TProgram program(env);
        ASSERT_TRUE(program.StartUp());
        program.CreateWindows();
        EXPECT_EQ(program.Windows().FormGrupy->pos(), groupsAt);
        EXPECT_EQ(AppRecentFolders().StartFolder(TFileKind::Png), dir.path());
    }
    AppSettings() = TSettings();
}
