#include "data/UGlobals.h"

#include "data/URunFolder.h"
#include "data/UWinReg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

QString WithSeparator(const QString &dir)
{
    if (dir.isEmpty() || dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\')))
        return dir;
    return dir + QLatin1Char('/');
}

struct IntDefault {
    const char *name;
    int value;
};

} // namespace

TSettingsEnv TSettingsEnv::FromSystem()
{
    TSettingsEnv env;
    env.ProgramDir = QCoreApplication::applicationDirPath();
    // The exchange files and report PDFs of this run go to its private
    // folder, never straight into the shared one.
    env.TempDir = RunFolder();
    env.ProcessId = quint32(QCoreApplication::applicationPid());
    return env;
}

void SettingsFormPaths(TSettings &settings, const TSettingsEnv &env)
{
    settings.ExeDir = WithSeparator(env.ProgramDir);

    if (env.TempDir.isEmpty() || env.TempDir.size() > MaxTempDirLength) {
        // No usable temporary folder: bare names in the current folder.
        settings.TempPrefix.clear();
        settings.ReportPrefix = QStringLiteral("raport");
    } else {
        const QString dir = WithSeparator(env.TempDir);
        settings.TempPrefix = dir + QStringLiteral("orvan277PSPlus-")
            + QStringLiteral("%1").arg(env.ProcessId, 8, 16, QLatin1Char('0')).toUpper()
            + QLatin1Char('-');
        settings.ReportPrefix = dir + QStringLiteral("orvan277PSPlus-raport");
    }
    settings.KodyFile = settings.TempPrefix + QStringLiteral("kody.txt");
    settings.GrupyFile = settings.TempPrefix + QStringLiteral("grupy.txt");
    settings.KaucjeFile = settings.TempPrefix + QStringLiteral("kaucje.txt");
    settings.PFFile = settings.TempPrefix + QStringLiteral("pf.txt");
}

bool ConfigurationStored(const TWinReg &reg)
{
    if (!reg.ValueExists(QStringLiteral("Kasa")) || !reg.ValueExists(QStringLiteral("Kaucje")))
        return false;
    const int kasa = reg.ReadInteger(QStringLiteral("Kasa"));
    // The version matters to the ER-A235P (0) alone.
    const bool hasVersion = reg.ValueExists(QStringLiteral("Eprom235"));
    const int eprom235 = hasVersion ? reg.ReadInteger(QStringLiteral("Eprom235")) : 0;
    // Any other model or version would silently become the ER-A235P.
    return kasa >= 0 && kasa <= 5 && (eprom235 == 0 || eprom235 == 1) && (hasVersion || kasa != 0);
}

void SettingsStartUp(TSettings &settings, const TSettingsEnv &env,
                     const std::function<void(TSettings &)> &applyProfile)
{
    SettingsFormPaths(settings, env);

    const TSettings defaults;
    TWinReg reg(SettingsKeyPath, env.ConfigDir);
    reg.OpenKey(true);

    settings.FirstRun = !ConfigurationStored(reg);

    // The configuration's defaults are not written: its values come with
    // the confirmation.
    const IntDefault before[] = {
        {"RaportNaPodst", defaults.RaportNaPodst},
    };
    const IntDefault after[] = {
        {"baud", defaults.baud},
        {"wToECR", defaults.wToECR},
        {"wFromECR", defaults.wFromECR},
        {"wToOTX", defaults.wToOTX},
        {"wFromOTX", defaults.wFromOTX},
    };
    for (const IntDefault &d : before) {
        if (!reg.ValueExists(QLatin1String(d.name)))
            reg.WriteInteger(QLatin1String(d.name), d.value);
    }
    if (!reg.ValueExists(QStringLiteral("portname")))
        reg.WriteString(QStringLiteral("portname"), defaults.portname);
    for (const IntDefault &d : after) {
        if (!reg.ValueExists(QLatin1String(d.name)))
            reg.WriteInteger(QLatin1String(d.name), d.value);
    }

    const auto stored = [&reg](const char *name, int value) {
        return reg.ValueExists(QLatin1String(name)) ? reg.ReadInteger(QLatin1String(name)) : value;
    };
    settings.Kasa = stored("Kasa", defaults.Kasa);
    settings.Eprom235 = stored("Eprom235", defaults.Eprom235);
    settings.Kaucje = stored("Kaucje", defaults.Kaucje ? 1 : 0) > 0;
    settings.RaportNaPodst = reg.ReadInteger(QStringLiteral("RaportNaPodst"));
    settings.portname = reg.ReadString(QStringLiteral("portname"));
    settings.baud = reg.ReadInteger(QStringLiteral("baud"));
    settings.wToECR = reg.ReadInteger(QStringLiteral("wToECR"));
    settings.wFromECR = reg.ReadInteger(QStringLiteral("wFromECR"));
    settings.wToOTX = reg.ReadInteger(QStringLiteral("wToOTX"));
    settings.wFromOTX = reg.ReadInteger(QStringLiteral("wFromOTX"));
    settings.SprawdzPoWyslaniu =
        reg.ValueExists(QStringLiteral("SprawdzPoWyslaniu")) && reg.ReadBool(QStringLiteral("SprawdzPoWyslaniu"));
    settings.Store = [env](const TSettings &s) { SettingsSave(s, env); };

    if (applyProfile)
        applyProfile(settings);
    // reg closes the key on every path when it goes out of scope.
}

void SettingsSave(const TSettings &settings, const TSettingsEnv &env)
{
    TWinReg reg(SettingsKeyPath, env.ConfigDir);
    reg.OpenKey(true);
    if (!settings.FirstRun) {
        reg.WriteInteger(QStringLiteral("Kasa"), settings.Kasa);
        reg.WriteInteger(QStringLiteral("Eprom235"), settings.Eprom235);
        reg.WriteBool(QStringLiteral("Kaucje"), settings.Kaucje);
    }
    reg.WriteInteger(QStringLiteral("RaportNaPodst"), settings.RaportNaPodst);
    reg.WriteString(QStringLiteral("portname"), settings.portname);
    reg.WriteInteger(QStringLiteral("baud"), settings.baud);
    reg.WriteInteger(QStringLiteral("wToECR"), settings.wToECR);
    reg.WriteInteger(QStringLiteral("wFromECR"), settings.wFromECR);
    reg.WriteInteger(QStringLiteral("wToOTX"), settings.wToOTX);
    reg.WriteInteger(QStringLiteral("wFromOTX"), settings.wFromOTX);
    reg.WriteBool(QStringLiteral("SprawdzPoWyslaniu"), settings.SprawdzPoWyslaniu);
}

void SettingsStoreNow(const TSettings &settings)
{
    if (settings.Store)
        settings.Store(settings);
}

void DeleteFiles(const QStringList &fileNames)
{
    for (const QString &name : fileNames) {
        if (!name.isEmpty())
            QFile::remove(name);
    }
}

QString UserDataFolder()
{
    const QString app = QCoreApplication::applicationName();
    const QString org = QCoreApplication::organizationName();
    QCoreApplication::setApplicationName(QStringLiteral("Orvan277PS Plus"));
    QCoreApplication::setOrganizationName(QStringLiteral("NOXA S.C."));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCoreApplication::setApplicationName(app);
    QCoreApplication::setOrganizationName(org);
    return folder;
}

QString PlacementFilePath(const QString &configDir)
{
    QString base = configDir;
    // A Windows program keeps such files in its folder of the user's
    // application data, not loose in the local one.
    if (base.isEmpty())
#ifdef Q_OS_WIN
        base = UserDataFolder();
#else
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
#endif
    if (base.isEmpty())
        return PlacementFileName;
    return QDir(base).filePath(PlacementFileName);
}

TSettings &AppSettings()
{
    static TSettings settings;
    return settings;
}
