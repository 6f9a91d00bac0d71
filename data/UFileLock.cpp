#include "data/UFileLock.h"

#include "data/UErrors.h"
#include "data/UGlobals.h"
#include "data/URunFolder.h"
#include "data/USystemError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <thread>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr std::chrono::milliseconds kPoll{100};

// The file a name refers to: links and "." or ".." resolved, also for a
// file that is not there yet (its folder resolved).
QString ResolvedPath(const QString &fileName)
{
    const QFileInfo info(fileName);
    QString path = info.canonicalFilePath();
    if (path.isEmpty()) {
        const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        path = folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : folder + u'/' + info.fileName();
    }
#ifdef _WIN32
    // "Kody.otx" and "KODY.OTX" name one file there.
    path = path.toLower();
#endif
    return path;
}

[[noreturn]] void RaiseCannotLock(const QString &fileName, const QString &reason)
{
    throw Exception(QStringLiteral("Nie można zablokować pliku \"%1\" na czas zapisu: %2").arg(fileName, reason));
}

} // namespace

QString TDataFileLock::BusyMessage(const QString &fileName)
{
    return QStringLiteral("Plik \"%1\" jest właśnie zmieniany przez inne polecenie lub okno programu; "
                          "spróbuj ponownie za chwilę.")
        .arg(fileName);
}

QString TDataFileLock::LockFileFor(const QString &fileName)
{
    const QString folder = UserDataFolder();
    if (folder.isEmpty())
        return QString();
    const QByteArray hash =
        QCryptographicHash::hash(ResolvedPath(fileName).toUtf8(), QCryptographicHash::Sha1).toHex().left(24);
    return folder + QStringLiteral("/blokady/") + QString::fromLatin1(hash) + QStringLiteral(".lock");
}

#ifdef _WIN32

TDataFileLock::TDataFileLock(const QString &fileName, std::chrono::milliseconds wait)
    : m_lockFile(LockFileFor(fileName))
{
    if (m_lockFile.isEmpty())
        RaiseCannotLock(fileName, QStringLiteral("nie ma folderu danych użytkownika"));
    if (!MakePrivatePath(QFileInfo(m_lockFile).absolutePath()))
        RaiseCannotLock(fileName, SystemErrorText(int(GetLastError())));
    const std::wstring name = QDir::toNativeSeparators(m_lockFile).toStdWString();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            RaiseCannotLock(fileName, SystemErrorText(int(GetLastError())));
        OVERLAPPED at{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            m_handle = file;
            return;
        }
        const DWORD error = GetLastError();
        CloseHandle(file);
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING)
            RaiseCannotLock(fileName, SystemErrorText(int(error)));
        if (std::chrono::steady_clock::now() >= deadline)
            throw Exception(BusyMessage(fileName));
        std::this_thread::sleep_for(kPoll);
    }
}

TDataFileLock::~TDataFileLock()
{
    // The lock file stays: removing it while another process waits on it
    // would leave that one holding a lock nobody else sees.
    const HANDLE file = static_cast<HANDLE>(m_handle);
    OVERLAPPED at{};
    UnlockFileEx(file, 0, 1, 0, &at);
    CloseHandle(file);
}

#else

TDataFileLock::TDataFileLock(const QString &fileName, std::chrono::milliseconds wait)
    : m_lockFile(LockFileFor(fileName))
{
    if (m_lockFile.isEmpty())
        RaiseCannotLock(fileName, QStringLiteral("nie ma folderu danych użytkownika"));
    if (!MakePrivatePath(QFileInfo(m_lockFile).absolutePath()))
        RaiseCannotLock(fileName, SystemErrorText(errno));
    const QByteArray name = QFile::encodeName(m_lockFile);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            RaiseCannotLock(fileName, SystemErrorText(errno));
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // The holder before removed the lock file on its way out; the
            // lock then counts only on the file the name now refers to.
            struct stat held {}, named {};
            if (::fstat(fd, &held) == 0 && ::stat(name.constData(), &named) == 0 && held.st_dev == named.st_dev
                && held.st_ino == named.st_ino) {
                m_fd = fd;
                return;
            }
            ::close(fd);
            continue;
        }
        const int error = errno;
        ::close(fd);
        if (error != EWOULDBLOCK && error != EINTR)
            RaiseCannotLock(fileName, SystemErrorText(error));
        if (std::chrono::steady_clock::now() >= deadline)
            throw Exception(BusyMessage(fileName));
        std::this_thread::sleep_for(kPoll);
    }
}

TDataFileLock::~TDataFileLock()
{
    // Removed while still held, so no lock file is left behind; a waiter
    // that locks the removed file sees that and takes the name's new one.
    ::unlink(QFile::encodeName(m_lockFile).constData());
    ::close(m_fd);
}

#endif
