// Runs the built orvan-otx and kasasim for the tests: under a chosen locale
// (Polish unless told), and with data and configuration folders of the test
// program's own, so that no test writes into the user's real folders.
#pragma once

#include "data/UCodePage.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The header lines of the three tables in a data file.
inline constexpr char kGrupy[] =
    "[Grupy] Numer=1,2;Nazwa=4,16;VAT=21,1;Cena=23,9;RodzajSprz=33,2;Limit=36,1;LDW=38,13;LDI=52,9;LOW=62,13;LOI=76,9;";
inline constexpr char kKody[] = "[Kody] Numer=1,14;Nazwa=16,16;Grupa=33,2;Cena=36,9;RodzajCeny=46,2;LDW=49,13;LDI=63,9;";
inline constexpr char kKaucje[] = "[Kaucje] Numer=1,2;Cena=4,9;LDWw=14,13;LDIw=28,9;LDWz=38,13;LDIz=52,9;";

// The files the program reads and writes; "<missing>" for a file that
// cannot be read, so that it never equals an expected empty file.
inline QString WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QStringLiteral("<not written>");
    return path;
}
inline QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
// Data file lines in the program's code page.
inline QByteArray DataLines(const QStringList &lines, const char *eol = "\r\n")
{
    QByteArray bytes;
    for (const QString &l : lines)
        bytes += ToCp1250(l) + eol;
    return bytes;
}

struct TOtxRun {
    int code = -1;
    QString out;
    QString err;
    QString LastLine() const { return out.trimmed().section(u'\n', -1); }
};

// One folder for the whole test program: a test may count on what an earlier
// run of the same test remembered there.
inline const QTemporaryDir &OtxHomeDir()
{
    static const QTemporaryDir home;
    return home;
}

inline QProcessEnvironment OtxEnvironment(const QString &locale = QStringLiteral("pl_PL.UTF-8"))
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *v : {"LC_ALL", "LC_NUMERIC", "LC_MONETARY", "LANG", "LANGUAGE"})
        env.remove(QString::fromLatin1(v));
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANG"), locale);
    env.insert(QStringLiteral("XDG_DATA_HOME"), OtxHomeDir().filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), OtxHomeDir().filePath(QStringLiteral("config")));
    return env;
}

// The longest a run of the tool may take: a hung one fails its test
// instead of stopping the whole program.
constexpr int OtxWaitMs = 120000;

// extra: variables set on top of (or instead of) the ones above.
inline TOtxRun RunOtx(const QStringList &args, const QString &locale = QStringLiteral("pl_PL.UTF-8"),
                      const QProcessEnvironment &extra = {})
{
    QProcess p;
    QProcessEnvironment env = OtxEnvironment(locale);
    env.insert(extra);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ORVAN_BIN_DIR "/orvan-otx"), args);
    TOtxRun r;
    if (!p.waitForFinished(OtxWaitMs)) {
        p.kill();
        p.waitForFinished(OtxWaitMs);
        return r;
    }
    if (p.exitStatus() != QProcess::NormalExit)
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
