#pragma once
// What the fuzz targets share: a scratch folder of the process, Polish
// formats, and quiet fakes of the user-interface hooks.
#include "data/UErrors.h"
#include "data/ULocale.h"
#include "exchange/UUiHooks.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzz {

// One folder per process, removed at exit.
inline const QString &Folder()
{
    static const QString dir = [] {
        const QString d = QDir::tempPath() + QStringLiteral("/orvan-fuzz-%1").arg(::getpid());
        QDir().mkpath(d);
        std::atexit([] { QDir(QDir::tempPath() + QStringLiteral("/orvan-fuzz-%1").arg(::getpid())).removeRecursively(); });
        FormatSettings() = TFormatSettings::Polish();
        return d;
    }();
    return dir;
}

inline QString WriteFile(const QString &name, const uint8_t *data, size_t size)
{
    const QString path = Folder() + u'/' + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    f.write(reinterpret_cast<const char *>(data), qint64(size));
    return path;
}

// Splits the input at the first "\n--\n" (two files from one input).
inline std::pair<QByteArray, QByteArray> SplitTwo(const uint8_t *data, size_t size)
{
    const QByteArray all(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype at = all.indexOf("\n--\n");
    if (at < 0)
        return {all, {}};
    return {all.left(at), all.mid(at + 4)};
}

// ORVAN_FUZZ_SEEDS=<folder>: the target writes its seeds there and ends.
inline void WriteSeedsWhenAsked(void (*makeSeeds)(const std::string &folder))
{
    if (const char *out = std::getenv("ORVAN_FUZZ_SEEDS")) {
        makeSeeds(out);
        std::exit(0);
    }
}

class TQuietWait : public IWaitRunner {
public:
    void Execute(const QString &, const std::function<void()> &procedure) override { procedure(); }
};

class TQuietMessages : public IMessages {
public:
    void Information(const QString &) override {}
    void Error(const QString &) override {}
    TPromptAnswer Ask(const QString &, TAskKind, bool) override { return TPromptAnswer::No; }
};

} // namespace fuzz
