#pragma once
// The lock a command or a window holds on a data file for the whole of its
// read-modify-write, so that two of them never rewrite one file at once
// and lose each other's update.
//
// The lock is taken on a lock file in the user's private data folder, named
// by a hash of the data file's resolved path: never on a file beside the
// data file, where anyone who may write that folder could plant one, nor
// on the data file itself, which a save replaces by a rename (and which a
// Windows lock would also close to readers).
#include <QString>

#include <chrono>

class TDataFileLock {
public:
    // How long a command waits for another one to finish before it gives up.
    static constexpr std::chrono::milliseconds DefaultWait{3000};

    // Takes the lock, trying again for wait; raises Exception with
    // BusyMessage when another holder keeps it, or when the lock file
    // cannot be made (the reason said).
    explicit TDataFileLock(const QString &fileName, std::chrono::milliseconds wait = DefaultWait);
    ~TDataFileLock();
    TDataFileLock(const TDataFileLock &) = delete;
    TDataFileLock &operator=(const TDataFileLock &) = delete;

    static QString BusyMessage(const QString &fileName);
    // The lock file of a data file: every name of one file gives the same.
    static QString LockFileFor(const QString &fileName);

private:
    QString m_lockFile;
#ifdef _WIN32
    void *m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};
