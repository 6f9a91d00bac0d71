#include "data/URunFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>
#include <mutex>

namespace {

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

struct TRunFolderHolder {
    std::mutex Lock;
    std::unique_ptr<QTemporaryDir> Dir; // removes the folder when it goes
};

TRunFolderHolder &Holder()
{
    static TRunFolderHolder holder;
    return holder;
}

// Leaves an existing folder to its owner alone. On Windows the folders the
// program makes lie in the user's profile (%TEMP%, %APPDATA%), whose
// inherited access list already keeps other users out; a mode there would
// only set the read-only flag.
bool MakeOwnerOnly(const QString &folder)
{
#ifdef Q_OS_WIN
    return QFileInfo(folder).isDir();
#else
    return QFile::setPermissions(folder, kOwnerOnly);
#endif
}

bool MakeOwnerOnlyFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    return QDir().mkdir(folder);
#else
    return QDir().mkdir(folder, kOwnerOnly) && QFile::setPermissions(folder, kOwnerOnly);
#endif
}

} // namespace

QString RunFolder(QString *why)
{
    TRunFolderHolder &h = Holder();
    const std::lock_guard<std::mutex> lock(h.Lock);
    if (!h.Dir) {
        auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvan-XXXXXX"));
        // A umask that takes the owner's own rights would leave it unusable.
        if (!dir->isValid() || !MakeOwnerOnly(dir->path())) {
            if (why)
                *why = dir->isValid() ? QStringLiteral("nie można ustawić praw dostępu") : dir->errorString();
            return QString();
        }
        h.Dir = std::move(dir);
    }
    return h.Dir->path();
}

void RemoveRunFolder()
{
    TRunFolderHolder &h = Holder();
    const std::lock_guard<std::mutex> lock(h.Lock);
    h.Dir.reset();
}

bool MakePrivatePath(const QString &path)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    if (QFileInfo(clean).isDir())
        return MakeOwnerOnly(clean);
    const QString parent = QFileInfo(clean).absolutePath();
    if (parent != clean && !QFileInfo(parent).isDir() && !MakePrivatePath(parent))
        return false;
    return MakeOwnerOnlyFolder(clean);
}
