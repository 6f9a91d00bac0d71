#include "URunFolder.h"

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

} // namespace

QString RunFolder(QString *why)
{
    TRunFolderHolder &h = Holder();
    const std::lock_guard<std::mutex> lock(h.Lock);
    if (!h.Dir) {
        auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvan-XXXXXX"));
        // A umask that takes the owner's own rights would leave it unusable.
        if (!dir->isValid() || !QFile::setPermissions(dir->path(), kOwnerOnly)) {
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
        return QFile::setPermissions(clean, kOwnerOnly);
    const QString parent = QFileInfo(clean).absolutePath();
    if (parent != clean && !QFileInfo(parent).isDir() && !MakePrivatePath(parent))
        return false;
    return QDir().mkdir(clean, kOwnerOnly) && QFile::setPermissions(clean, kOwnerOnly);
}
