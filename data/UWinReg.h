#pragma once
// Registry wrapper of the settings store.
//
// On Windows, without a configuration folder given, the key is the real
// registry key (QSettings NativeFormat). Elsewhere, or whenever a
// configuration folder is given (tests), the key is an INI file under that
// folder: the key path's components after a leading "Software" become
// folders and the last one the file name, so "Software\NOXA S.C.\Orvan 277PS
// Plus\1.0" lives in "<config>/NOXA S.C./Orvan 277PS Plus/1.0.ini".
//
// Every failure raises Exception (the plain error) with the message the user
// sees. Integers are 32-bit like a REG_DWORD: -1 reads back as -1, and a
// stored 4294967295 (FFFFFFFF) also reads as -1.
//
// Only the user-interface thread uses it; one wrapper per start-up or exit.
#include <QString>
#include <memory>

class QSettings;
class QVariant;

// What went wrong, for the system text that follows our message.
enum class TRegFault {
    NotFound,     // missing key or value
    AccessDenied, // key cannot be opened or written
    TooLong,      // string value longer than the read buffer allows
    BadData,      // value of the wrong kind, damaged key file, bad key path
};

// The platform's own message for the fault. On Windows these are the texts
// of ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_MORE_DATA and
// ERROR_INVALID_DATA; elsewhere of ENOENT, EACCES, EOVERFLOW and EINVAL.
QString RegistrySystemText(TRegFault fault);

class TWinReg {
public:
    // A string value may hold at most this many characters to be read.
    static constexpr int MaxStringLength = 249;

    // A key of HKEY_CURRENT_USER, the only root the program uses.
    // configDir empty: the user's own place (registry on Windows, the
    // generic configuration folder elsewhere).
    explicit TWinReg(QString keyPath, QString configDir = QString());
    ~TWinReg();
    TWinReg(const TWinReg &) = delete;
    TWinReg &operator=(const TWinReg &) = delete;

    // Does nothing when already open. create: make the key when missing;
    // otherwise a missing key fails. Opens with read and write access.
    void OpenKey(bool create);
    void CloseKey();
    bool IsOpen() const { return m_open; }

    bool ValueExists(const QString &name) const;

    void WriteInteger(const QString &name, int value);
    void WriteString(const QString &name, const QString &value);
    void WriteBool(const QString &name, bool value);

    int ReadInteger(const QString &name) const;
    QString ReadString(const QString &name) const;
    bool ReadBool(const QString &name) const;

    const QString &KeyPath() const { return m_keyPath; }
    // The INI file that holds the key, or empty when the key is in the
    // Windows registry or the key path cannot be mapped to a file.
    QString FileName() const;

private:
    void RequireOpenForRead() const;
    void RequireOpenForWrite() const;
    void WriteValue(const QString &name, const QVariant &value);
    [[noreturn]] void FailOpen(TRegFault fault);

    QString m_keyPath;
    QString m_configDir;
    std::unique_ptr<QSettings> m_handle;
    bool m_open = false;
};
