// Orvan277PS Plus: the program a user starts.
//   orvan [--demo] [--check-start] | --help | --version
// --demo runs the demo register inside the program and uses its port for
// this run only. --check-start verifies an installation: the stored
// configuration's template is loaded as at start-up and the program ends.
// The environment variable ORVAN_SCREENSHOTS=<folder> makes the program
// answer its first-run dialogs itself and save pictures of its windows
// there (scripts/screenshots).
#include "app/UAbout.h"
#include "UBuildInfo.h"
#include "data/UDM.h"
#include "data/UFinally.h"
#include "data/ULocale.h"
#include "app/UMessages.h"
#include "app/UProgram.h"
#include "data/URunFolder.h"
#include "app/UScreenshots.h"
#include "data/UTemplates.h"
#include "data/UWinReg.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char *const kHelp =
    "Użycie: orvan [--demo] [--check-start]\n"
    "Orvan277PS Plus: oprogramowanie kasy fiskalnej SHARP ER-A2xx (grupy, kody PLU,\n"
    "kaucje), wymiana danych z kasą przez port szeregowy, raporty sprzedaży\n"
    "i okresowy raport fiskalny.\n"
    "\n"
    "  --demo         praca z kasą pokazową (ER-A277PS Plus) symulowaną w programie;\n"
    "                 port zapisany w ustawieniach nie zmienia się\n"
    "  --check-start  sprawdzenie instalacji: program startuje z zapisaną\n"
    "                 konfiguracją, wczytuje wzorzec danych modelu kasy, wypisuje\n"
    "                 jego ścieżkę i liczbę wczytanych rekordów, po czym kończy pracę;\n"
    "                 komunikaty trafiają na standardowe wyjście błędów, ustawienia\n"
    "                 się nie zmieniają, położenie okien nie jest zapisywane; kod\n"
    "                 wyjścia 0, gdy wzorzec wczytano bez błędu\n"
    "  --help         ten tekst\n"
    "  --version      wersja programu\n";

// --check-start: boxes become lines on standard error; any error fails the check.
class TConsoleMessages : public IMessages {
public:
    int Errors = 0;
    void Information(const QString &text) override { Print("orvan: ", text); }
    void Error(const QString &text) override
    {
        ++Errors;
        Print("orvan: błąd: ", text);
    }
    TPromptAnswer Ask(const QString &text, TAskKind, bool) override
    {
        Print("orvan: pytanie (odpowiedź: nie): ", text);
        return TPromptAnswer::No;
    }

private:
    static void Print(const char *prefix, QString text)
    {
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        std::fprintf(stderr, "%s%s\n", prefix, text.toUtf8().constData());
    }
};

// The first run asks for the settings in dialogs, which a check cannot answer.
bool HasStoredConfiguration(const TSettingsEnv &env)
{
    try {
        TWinReg reg(SettingsKeyPath, env.ConfigDir);
        reg.OpenKey(false);
        return ConfigurationStored(reg);
    } catch (...) {
        return false;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // Answered before any window system is needed (manual pages are made from --help).
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("orvan (Orvan277PS Plus) %s\n", ORVAN_VERSION);
            return 0;
        }
    }

    QApplication app(argc, argv);
    // The run's exchange files and report PDFs go with it, on every return.
    const TFinally removeRunFolder([] { RemoveRunFolder(); });
    if (!PrepareApplication(app))
        std::fprintf(stderr, "orvan: brak polskiego tłumaczenia Qt (pakiet qt6-translations-l10n); "
                             "przyciski okien Qt będą po angielsku\n");
    InitFormatSettingsFromSystem();

    bool demo = false;
    bool checkStart = false;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == u"--demo") {
            demo = true;
        } else if (args[i] == u"--check-start") {
            checkStart = true;
        } else {
            std::fprintf(stderr, "orvan: nieznana opcja %s\nUżycie: orvan [--demo] [--check-start] | --help | --version\n",
                         qPrintable(args[i]));
            return 2;
        }
    }

    const TSettingsEnv env = TSettingsEnv::FromSystem();
    TConsoleMessages console;
    if (checkStart) {
        if (!HasStoredConfiguration(env)) {
            std::fprintf(stderr, "orvan: brak zapisanej konfiguracji kasy; przy pierwszym uruchomieniu "
                                 "program pyta o nią w oknach, więc uruchom go zwyczajnie\n");
            return 1;
        }
        SetAppMessages(&console);
    }

    TProgram program(env);
    if (!program.StartUp())
        return 1;
    program.CreateWindows();

    if (checkStart) {
        program.FormMain()->OnStartedUp = [&program] {
            const TDM &dm = program.DataModule();
            std::printf("Wzorzec: %s\nGrupy: %d, kody: %d, kaucje: %d\n",
                        qPrintable(FindTemplateFile(program.Settings().ExeDir, dm.RegisterProfile.TemplateFile)),
                        dm.MDGrupy.RecordCount(), dm.MDKody.RecordCount(), dm.MDKaucje.RecordCount());
            std::fflush(stdout);
            // Quitting closes the main window: no placements from this run.
            program.FormMain()->OnClosing = nullptr;
            QCoreApplication::quit();
        };
        program.FormMain()->show();
        app.exec();
        SetAppMessages(nullptr);
        return console.Errors == 0 ? 0 : 1;
    }

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
