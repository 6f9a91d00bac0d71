#include "data/UWinReg.h"

#include "data/UErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <cerrno>
#include <limits>

#ifdef Q_OS_WIN
#include "data/USystemError.h"

#include <winerror.h>
#endif

namespace {

const QString kOpenFailed = QStringLiteral("Nie mogę otworzyć rejestru.\r\n");
const QString kReadClosed = QStringLiteral("Nie mogę odczytać zamkniętego rejestru.");
const QString kWriteClosed = QStringLiteral("Nie mogę zapisać zamkniętego rejestru.");
const QString kWriteFailed = QStringLiteral("Nie mogę zapisać rejestru.\r\n");
const QString kReadFailed = QStringLiteral("Nie mogę odczytać rejestru.\r\n");

[[noreturn]] void Fail(const QString &message, TRegFault fault)
{
    throw Exception(message + RegistrySystemText(fault));
}

bool UseNativeRegistry(const QString &configDir)
{
#ifdef Q_OS_WIN
    return configDir.isEmpty();
#else
    Q_UNUSED(configDir);
    return false;
#endif
}

// Components of the key path below "Software"; empty when the path holds a
// component that cannot be a folder name.
QStringList KeyComponents(const QString &keyPath)
{
    QStringList parts = keyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.front().compare(QLatin1String("Software"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    for (const QString &p : parts) {
        if (p == QLatin1String(".") || p == QLatin1String("..") || p.contains(QLatin1Char('/')))
            return {};
    }
    return parts;
}

// Interprets a stored value as a 32-bit integer. Values from FFFFFFFF down
// to 80000000 wrap to negative numbers as a DWORD would.
bool ToInt32(const QVariant &v, int &out)
{
    qlonglong n = 0;
    bool ok = false;
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        n = v.toLongLong(&ok);
        break;
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong(&ok);
        if (ok && u > 0xFFFFFFFFull)
            return false;
        n = qlonglong(u);
        break;
    }
    case QMetaType::QString:
        n = v.toString().trimmed().toLongLong(&ok, 10);
        break;
    default:
        return false;
    }
    if (!ok || n < std::numeric_limits<qint32>::min() || n > qlonglong(0xFFFFFFFFll))
        return false;
    out = qint32(quint32(n));
    return true;
}

} // namespace

QString RegistrySystemText(TRegFault fault)
{
#ifdef Q_OS_WIN
    // What the registry calls themselves report. Not qt_error_string: it
    // reads 2 and 13 as errno values ("No such file or directory",
    // "Permission denied").
    switch (fault) {
    case TRegFault::NotFound: return SystemErrorText(ERROR_FILE_NOT_FOUND);
    case TRegFault::AccessDenied: return SystemErrorText(ERROR_ACCESS_DENIED);
    case TRegFault::TooLong: return SystemErrorText(ERROR_MORE_DATA);
    case TRegFault::BadData: return SystemErrorText(ERROR_INVALID_DATA);
    }
    return SystemErrorText(ERROR_INVALID_DATA);
#else
    // The nearest errno for each: a too-long string is "value too large for
    // defined data type", a value of the wrong kind "invalid argument".
    switch (fault) {
    case TRegFault::NotFound: return qt_error_string(ENOENT);
    case TRegFault::AccessDenied: return qt_error_string(EACCES);
    case TRegFault::TooLong: return qt_error_string(EOVERFLOW);
    case TRegFault::BadData: return qt_error_string(EINVAL);
    }
    return qt_error_string(EINVAL);
#endif
}

TWinReg::TWinReg(QString keyPath, QString configDir)
    : m_keyPath(std::move(keyPath)), m_configDir(std::move(configDir))
{
}

TWinReg::~TWinReg()
{
    CloseKey();
}

QString TWinReg::FileName() const
{
    if (UseNativeRegistry(m_configDir))
        return QString();
    const QStringList parts = KeyComponents(m_keyPath);
    if (parts.isEmpty())
        return QString();
    QString base = m_configDir;
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        return QString();
    return QDir(base).filePath(parts.join(QLatin1Char('/')) + QLatin1String(".ini"));
}

void TWinReg::FailOpen(TRegFault fault)
{
    m_handle.reset();
    m_open = false;
    Fail(kOpenFailed, fault);
}

void TWinReg::OpenKey(bool create)
{
    if (m_open)
        return;

    if (UseNativeRegistry(m_configDir)) {
        const QString full = QStringLiteral("HKEY_CURRENT_USER\\") + m_keyPath;
        if (!create) {
            // The key exists when its parent lists it as a child group.
            const int cut = full.lastIndexOf(QLatin1Char('\\'));
            QSettings parent(full.left(cut), QSettings::NativeFormat);
            if (!parent.childGroups().contains(full.mid(cut + 1), Qt::CaseInsensitive))
                FailOpen(TRegFault::NotFound);
        }
        m_handle = std::make_unique<QSettings>(full, QSettings::NativeFormat);
        if (m_handle->status() != QSettings::NoError)
            FailOpen(TRegFault::AccessDenied);
        m_open = true;
        return;
    }

    const QString file = FileName();
    if (file.isEmpty())
        FailOpen(KeyComponents(m_keyPath).isEmpty() ? TRegFault::BadData : TRegFault::NotFound);

    const QFileInfo info(file);
    if (info.isDir())
        FailOpen(TRegFault::AccessDenied);
    if (!info.exists()) {
        if (!create)
            FailOpen(TRegFault::NotFound);
        if (!QDir().mkpath(info.absolutePath()))
            FailOpen(TRegFault::AccessDenied);
    }
    {
        // Creates the key when missing and proves read and write access.
        QFile probe(file);
        if (!probe.open(QIODevice::ReadWrite))
            FailOpen(TRegFault::AccessDenied);
    }

    m_handle = std::make_unique<QSettings>(file, QSettings::IniFormat);
    m_handle->sync();
    switch (m_handle->status()) {
    case QSettings::NoError:
        break;
    case QSettings::AccessError:
        FailOpen(TRegFault::AccessDenied);
    case QSettings::FormatError:
        // A damaged file is refused rather than rewritten with what little
        // could be read from it.
        FailOpen(TRegFault::BadData);
    }
    m_open = true;
}

void TWinReg::CloseKey()
{
    m_handle.reset();
    m_open = false;
}

void TWinReg::RequireOpenForRead() const
{
    if (!m_open)
        throw Exception(kReadClosed);
}

void TWinReg::RequireOpenForWrite() const
{
    if (!m_open)
        throw Exception(kWriteClosed);
}

bool TWinReg::ValueExists(const QString &name) const
{
    RequireOpenForRead();
    return m_handle->contains(name);
}

void TWinReg::WriteValue(const QString &name, const QVariant &value)
{
    RequireOpenForWrite();
    m_handle->setValue(name, value);
    // Written through at once, so a failure is reported for the value that
    // caused it.
    m_handle->sync();
    if (m_handle->status() != QSettings::NoError)
        Fail(kWriteFailed, TRegFault::AccessDenied);
}

void TWinReg::WriteInteger(const QString &name, int value)
{
    WriteValue(name, QVariant(value));
}

void TWinReg::WriteString(const QString &name, const QString &value)
{
    WriteValue(name, QVariant(value));
}

void TWinReg::WriteBool(const QString &name, bool value)
{
    WriteInteger(name, value ? 1 : 0);
}

int TWinReg::ReadInteger(const QString &name) const
{
    RequireOpenForRead();
    const QVariant v = m_handle->value(name);
    if (!v.isValid())
        Fail(kReadFailed, TRegFault::NotFound);
    int result = 0;
    if (!ToInt32(v, result))
        Fail(kReadFailed, TRegFault::BadData);
    return result;
}

QString TWinReg::ReadString(const QString &name) const
{
    RequireOpenForRead();
    const QVariant v = m_handle->value(name);
    if (!v.isValid())
        Fail(kReadFailed, TRegFault::NotFound);
    QString text;
    // An unquoted comma in an INI file splits the value into a list.
    if (v.metaType().id() == QMetaType::QStringList)
        text = v.toStringList().join(QLatin1Char(','));
    else if (v.canConvert<QString>())
        text = v.toString();
    else
        Fail(kReadFailed, TRegFault::BadData);
    if (text.size() > MaxStringLength)
        Fail(kReadFailed, TRegFault::TooLong);
    return text;
}

bool TWinReg::ReadBool(const QString &name) const
{
    return ReadInteger(name) > 0;
}
