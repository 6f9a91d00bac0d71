#pragma once
// Settings store: the program's persistent choices, held in memory for the
// run, read from the registry key before the first window and written back
// when the program ends; and the per-run paths (program folder, temporary
// exchange file names).
//
// Usage in the program:
//   TSettingsEnv env = TSettingsEnv::FromSystem();
//   SettingsStartUp(AppSettings(), env, [&](TSettings &s) { /* apply profile */ });
//   ... run ...
//   ... a dialog confirmed: SettingsStoreNow(AppSettings());
//   SettingsSave(AppSettings(), env);   // at exit
// They raise Exception with the message to show; the registry wrapper is
// closed on every path. Tests fill TSettingsEnv themselves (temporary
// folders, a made-up process id).
//
// The configuration ("Kasa", "Eprom235", "Kaucje") reaches the key only
// once it has been confirmed, so a run that ends before that (a crash, a
// power cut) leaves the next start a first run again.
#include <QString>
#include <QStringList>
#include <functional>

class TWinReg;

// The registry key of the settings below HKEY_CURRENT_USER.
inline const QString SettingsKeyPath = QStringLiteral("Software\\NOXA S.C.\\Orvan 277PS Plus\\1.0");

// Name of the file with window placements and grid column layouts.
inline const QString PlacementFileName = QStringLiteral("Orvan277PSP.INI");

// The temporary folder may be at most this long to be used.
inline constexpr int MaxTempDirLength = 130;

struct TSettings {
    // Stored values; the member initialisers are the registry defaults.
    int Kasa = 0;          // register model 0..5
    int Eprom235 = 0;      // ER-A235P version: 0 A, 1 B
    bool Kaucje = true;    // deposits handled
    int RaportNaPodst = 0; // sales reports from: 0 register data, 1 editor data
    QString portname = QStringLiteral("COM1");
    int baud = 9600;
    int wToECR = -1; // kept and written back unchanged
    int wFromECR = -1;
    int wToOTX = -1;
    int wFromOTX = -1;
    // "Sprawdź po wysłaniu" of the send dialog; written at exit only, so
    // a first run still creates just the ten values above.
    bool SprawdzPoWyslaniu = false;

    // Per run.
    bool FirstRun = true; // no whole configuration found at start-up
    // Writes the values to the key they were read from (set by start-up;
    // empty for settings that were never read).
    std::function<void(const TSettings &)> Store;
    QString ExeDir;       // program folder, ending in a separator (or empty)
    QString TempPrefix;   // "<run folder>/orvan277PSPlus-<PID8>-" or empty
    QString KodyFile;     // TempPrefix + "kody.txt"
    QString GrupyFile;    // TempPrefix + "grupy.txt"
    QString KaucjeFile;   // TempPrefix + "kaucje.txt"
    QString PFFile;       // TempPrefix + "pf.txt"
    QString ReportPrefix; // "<run folder>/orvan277PSPlus-raport" or "raport"
};

// What start-up and exit take from the platform; injectable for tests.
struct TSettingsEnv {
    QString ProgramDir;  // folder of the program file
    QString TempDir;     // the folder of the temporary files; empty: none
    quint32 ProcessId = 0;
    QString ConfigDir;   // base of the key file and the placement file;
                         // empty: the user's own (registry on Windows)

    // applicationDirPath (needs a QCoreApplication), the run's private
    // folder (URunFolder.h) and the process id; the user's configuration
    // folder.
    static TSettingsEnv FromSystem();
};

// Start-up steps 1-2 only: ExeDir, TempPrefix, exchange names, ReportPrefix.
void SettingsFormPaths(TSettings &settings, const TSettingsEnv &env);

// Whether the open key holds a whole configuration: "Kasa" and "Kaucje",
// and "Eprom235" for the ER-A235P, with a model and a version the program
// knows. Anything less is asked for again as on a first run.
bool ConfigurationStored(const TWinReg &reg);

// Whole start-up: paths, the registry key (created with the defaults where
// values are missing, the configuration excepted), reading the values,
// then applyProfile (may be empty), which may correct Kasa, Eprom235 and
// Kaucje in place. Sets Store to write back to the same key.
void SettingsStartUp(TSettings &settings, const TSettingsEnv &env,
                     const std::function<void(TSettings &)> &applyProfile);

// Writes every value ("Kaucje" as 0/1); the configuration only once it has
// been confirmed (FirstRun clear). At exit and through Store.
void SettingsSave(const TSettings &settings, const TSettingsEnv &env);

// A dialog's settings confirmed: written at once through Store (nothing
// when it is empty).
void SettingsStoreNow(const TSettings &settings);

// Deletes each named file; failures (missing files included) are ignored.
void DeleteFiles(const QStringList &fileNames);

// "Orvan277PSP.INI" in configDir; when configDir is empty, in the user's
// configuration folder (~/.config), on Windows in UserDataFolder(). Every
// window uses this one name.
QString PlacementFilePath(const QString &configDir = QString());

// The program's folder in the user's application data, whatever name the
// running program carries: "NOXA S.C./Orvan277PS Plus" under
// ~/.local/share, on Windows under %APPDATA% (the roaming profile).
QString UserDataFolder();

// The program's one settings object.
TSettings &AppSettings();
