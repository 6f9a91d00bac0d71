#include "UGlobals.h"

#include "URunFolder.h"
#include "UWinReg.h"

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

void SettingsStartUp(TSettings &settings, const TSettingsEnv &env,
                     const std::function<void(TSettings &)> &applyProfile)
{
    SettingsFormPaths(settings, env);

    const TSettings defaults;
    TWinReg reg(TRegRoot::CurrentUser, SettingsKeyPath, env.ConfigDir);
    reg.OpenKey(true);

    settings.FirstRun = true;
    if (reg.ValueExists(QStringLiteral("Kasa")))
        settings.FirstRun = false;
    else
        reg.WriteInteger(QStringLiteral("Kasa"), defaults.Kasa);

    const IntDefault before[] = {
        {"Eprom235", defaults.Eprom235},
        {"Kaucje", defaults.Kaucje ? 1 : 0},
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

    settings.Kasa = reg.ReadInteger(QStringLiteral("Kasa"));
    settings.Eprom235 = reg.ReadInteger(QStringLiteral("Eprom235"));
    settings.Kaucje = reg.ReadBool(QStringLiteral("Kaucje"));
    settings.RaportNaPodst = reg.ReadInteger(QStringLiteral("RaportNaPodst"));
    settings.portname = reg.ReadString(QStringLiteral("portname"));
    settings.baud = reg.ReadInteger(QStringLiteral("baud"));
    settings.wToECR = reg.ReadInteger(QStringLiteral("wToECR"));
    settings.wFromECR = reg.ReadInteger(QStringLiteral("wFromECR"));
    settings.wToOTX = reg.ReadInteger(QStringLiteral("wToOTX"));
    settings.wFromOTX = reg.ReadInteger(QStringLiteral("wFromOTX"));
    settings.SprawdzPoWyslaniu =
        reg.ValueExists(QStringLiteral("SprawdzPoWyslaniu")) && reg.ReadBool(QStringLiteral("SprawdzPoWyslaniu"));

    if (applyProfile)
        applyProfile(settings);
    // reg closes the key on every path when it goes out of scope.
}

void SettingsExit(const TSettings &settings, const TSettingsEnv &env)
{
    TWinReg reg(TRegRoot::CurrentUser, SettingsKeyPath, env.ConfigDir);
    reg.OpenKey(true);
    reg.WriteInteger(QStringLiteral("Kasa"), settings.Kasa);
    reg.WriteInteger(QStringLiteral("Eprom235"), settings.Eprom235);
    reg.WriteBool(QStringLiteral("Kaucje"), settings.Kaucje);
    reg.WriteInteger(QStringLiteral("RaportNaPodst"), settings.RaportNaPodst);
    reg.WriteString(QStringLiteral("portname"), settings.portname);
    reg.WriteInteger(QStringLiteral("baud"), settings.baud);
    reg.WriteInteger(QStringLiteral("wToECR"), settings.wToECR);
    reg.WriteInteger(QStringLiteral("wFromECR"), settings.wFromECR);
    reg.WriteInteger(QStringLiteral("wToOTX"), settings.wToOTX);
    reg.WriteInteger(QStringLiteral("wFromOTX"), settings.wFromOTX);
    reg.WriteBool(QStringLiteral("SprawdzPoWyslaniu"), settings.SprawdzPoWyslaniu);
}

void DeleteFiles(const QStringList &fileNames)
{
    for (const QString &name : fileNames) {
        if (!name.isEmpty())
            QFile::remove(name);
    }
}

QString PlacementFilePath(const QString &configDir)
{
    QString base = configDir;
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        return PlacementFileName;
    return QDir(base).filePath(PlacementFileName);
}

TSettings &AppSettings()
{
    static TSettings settings;
    return settings;
}
