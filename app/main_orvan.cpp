// Orvan277PS Plus: the program a user starts.
//   orvan [--demo]
// --demo runs the demo register inside the program and uses its port for
// this run only. The environment variable ORVAN_SCREENSHOTS=<folder> makes
// the program answer its first-run dialogs itself and save pictures of its
// windows there (scripts/screenshots).
#include "UAbout.h"
#include "ULocale.h"
#include "UMessages.h"
#include "UProgram.h"
#include "UScreenshots.h"

#include <QApplication>
#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (!PrepareApplication(app))
        std::fprintf(stderr, "orvan: brak polskiego tłumaczenia Qt (pakiet qt6-translations-l10n); "
                             "przyciski okien Qt będą po angielsku\n");
    InitFormatSettingsFromSystem();

    bool demo = false;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == u"--demo") {
            demo = true;
        } else {
            std::fprintf(stderr, "orvan: nieznana opcja %s\nUżycie: orvan [--demo]\n", qPrintable(args[i]));
            return 2;
        }
    }

    TProgram program(TSettingsEnv::FromSystem());
    if (!program.StartUp())
        return 1;
    program.CreateWindows();

    std::unique_ptr<TScreenshotDriver> screenshots;
    const QString shotFolder = qEnvironmentVariable("ORVAN_SCREENSHOTS");
    if (!shotFolder.isEmpty())
        screenshots = std::make_unique<TScreenshotDriver>(program, shotFolder);

    if (demo)
        program.StartDemo();

    program.FormMain()->show();
    const int code = app.exec();
    program.Exit();
    program.StopDemo();
    SetAppMessages(nullptr);
    return code;
}
