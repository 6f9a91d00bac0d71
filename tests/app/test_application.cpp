// What a Polish user meets at once: Qt's own buttons in Polish, captions
// without anything added, a clear word on a save into a missing folder,
// nine whole lines in the progress window on one background, and no
// exchange file left behind by the demo's job.
#include "data/UGlobals.h"
#include "app/UHistoryStrip.h"
#include "app/UMain.h"
#include "app/UMessages.h"
#include "app/UOSH.h"
#include "app/UScreenshots.h"
#include "app_test_util.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

TEST(Application, QtQuestionsSpeakPolish)
{
#ifdef _WIN32
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_pl.qm")))
        GTEST_SKIP() << "this Qt has no translations: the installed program brings qtbase_pl.qm";
#endif
    ASSERT_TRUE(PrepareApplication(TestApp())) << "Qt's Polish translation (qt6-translations-l10n) is missing";
    QStringList seen;
    // Read the box's buttons once it is up, then answer it.
    QTimer::singleShot(0, [&seen] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box || !box->isVisible())
                continue;
            for (QAbstractButton *b : box->buttons())
                seen << b->text().remove(u'&');
            box->button(QMessageBox::No)->click();
        }
    });
    TMessageBoxes boxes;
    EXPECT_EQ(boxes.Ask(QStringLiteral("Czy zapisać zmiany ?"), TAskKind::Confirmation, true), TPromptAnswer::No);
    seen.sort();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Anuluj"), QStringLiteral("Nie"), QStringLiteral("Tak")}));
}

TEST(Application, CaptionsGetNothingAppended)
{
    PrepareApplication(TestApp());
    // Without a display name of its own the application's name stands in,
    // and Qt appends nothing to the captions.
    const QString name = QApplication::applicationName();
    QApplication::setApplicationName(QStringLiteral("inna-nazwa"));
    EXPECT_EQ(QApplication::applicationDisplayName(), QStringLiteral("inna-nazwa"));
    QApplication::setApplicationName(name);
    EXPECT_EQ(name, QStringLiteral("Orvan277PS Plus"));
    EXPECT_EQ(QApplication::organizationName(), QStringLiteral("NOXA S.C."));
}

TEST(Application, SaveDialogProblemsAreSaid)
{
    QTemporaryDir dir;
    const QString readOnly = dir.filePath(QStringLiteral("ro.otx"));
    {
        std::ofstream(readOnly.toStdString()) << "x";
    }
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
    struct Case {
        QString file;
        QString problem;
    };
    std::vector<Case> cases = {
        {dir.filePath(QStringLiteral("nowy.otx")), QString()},
        {dir.filePath(QStringLiteral("brak/nowy.otx")),
         QStringLiteral("Folder \"%1\" nie istnieje. Wybierz istniejący folder.").arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("brak"))))},
    };
    if (!QFileInfo(readOnly).isWritable()) // not for an administrator, who may write anyway
        cases.push_back({readOnly, QStringLiteral("Plik \"%1\" jest tylko do odczytu.").arg(QDir::toNativeSeparators(readOnly))});
    for (const auto &c : cases)
        EXPECT_EQ(SaveDialogProblem(c.file), c.problem) << c.file.toStdString();
}

TEST(ProgressLayout, NineLinesShowWholeWhateverTheFixedFont)
{
    TestApp();
    TSettings settings;
    TFormOSH form(settings);
    form.show();
    for (int i = 1; i <= 12; ++i)
        form.Output().WriteLine(QStringLiteral("wiersz %1 ABCDEFGHIJKLMNOPQRSTUVWXYZ ąęłńóśźż").arg(i));
    form.tmRefreshTimer();
    QPlainTextEdit *box = Child<QPlainTextEdit>(form, "meOutput");
    QWidget *stop = Child<QWidget>(form, "btStop");
    ASSERT_EQ(box->blockCount(), MaxOutputLines);
    // The system's own font as the window starts, then every installed
    // fixed-pitch family at a few sizes.
    std::vector<QFont> fonts{box->font()};
    for (const QString &family : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(family))
            for (int pixels : {12, 15, 17, 20}) {
                QFont font(family);
                font.setPixelSize(pixels);
                fonts.push_back(font);
            }
#ifdef _WIN32
    // Qt's off-screen platform lists no font there: the window's own is all.
    const std::size_t least = QFontDatabase::families().isEmpty() ? 1 : 2;
#else
    const std::size_t least = 2;
#endif
    ASSERT_GE(fonts.size(), least);
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        const QFont &font = fonts[i];
        if (i > 0)
            form.SetOutputFont(font);
        SCOPED_TRACE((font.family() + u' ' + QString::number(font.pixelSize())).toStdString());
        const QRect first = box->cursorRect(QTextCursor(box->document()->firstBlock()));
        const QRect ninth = box->cursorRect(QTextCursor(box->document()->findBlockByNumber(MaxOutputLines - 1)));
        EXPECT_GE(first.top(), 0);
        EXPECT_LE(ninth.bottom(), box->viewport()->height() - 1);
        // The button stays inside the window, below the box.
        EXPECT_GE(stop->geometry().top(), box->geometry().bottom());
        EXPECT_LE(stop->geometry().bottom(), form.height() - 1);
        EXPECT_GE(form.height(), 242);
    }
}

TEST(ProgressLayout, EmptyStripHasTheBackgroundOfEmptyCells)
{
    TestApp();
    THistoryStrip strip;
    strip.resize(650, HistoryPictureSize);
    strip.show();
    const QColor cell = HistoryPictures()[1].pixelColor(8, 8);
    EXPECT_EQ(cell, HistoryBackground());
    const QImage &image = strip.Image();
    ASSERT_EQ(image.width(), 650);
    for (int x : {0, 4, 300, 649})
        EXPECT_EQ(image.pixelColor(x, 8), cell) << x;
}

TEST(DemoJob, LeavesNoExchangeFileBehind)
{
    TestApp();
    TFakeMessages boxes;
    TScopedMessages scoped(&boxes);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("orvan-1-grupy.txt"));
    for (int code : {0, 0x2000}) {
        TSettings settings;
        TFormOSH form(settings);
        form.tmRefresh()->setInterval(0);
        form.SetModuleRunner([&](const std::string &, const std::string &, const std::string &, TKOMDisplay &d) {
            std::ofstream(file.toStdString()) << " 5,02, 8,00,     2.50,Chleb           ,\r\n";
            d.Finish();
            TModuleResult r;
            r.Code = code;
            return r;
        });
        EXPECT_EQ(RunDemoRead(form, file), code == 0);
        EXPECT_FALSE(QFile::exists(file)) << code;
    }
}
