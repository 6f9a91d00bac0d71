#include "exchange/URegisterMemory.h"

#include "data/UErrors.h"
#include "data/UGlobals.h"
#include "data/UOrvanIO.h"
#include "data/URunFolder.h"
#include "data/URxMemoryData.h"
#include "link/UComPort.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <set>

namespace {

const QLatin1String kFormat("Orvan277PS Plus register memory");
constexpr int kVersion = 1;

QString StoredText(const TFieldValue &v)
{
    if (const auto *s = std::get_if<QString>(&v))
        return *s;
    if (const auto *n = std::get_if<std::int64_t>(&v))
        return QString::number(*n);
    return QString();
}

std::int64_t StoredInt(const TFieldValue &v)
{
    if (const auto *n = std::get_if<std::int64_t>(&v))
        return *n;
    if (const auto *d = std::get_if<double>(&v))
        return std::int64_t(*d);
    return 0;
}

struct TCodeFields {
    int Numer, Nazwa, Grupa, Cena, RodzajCeny;
    explicit TCodeFields(const TRxMemoryData &t)
        : Numer(t.FieldByName(QStringLiteral("Numer")).Index()), Nazwa(t.FieldByName(QStringLiteral("Nazwa")).Index()),
          Grupa(t.FieldByName(QStringLiteral("Grupa")).Index()), Cena(t.FieldByName(QStringLiteral("Cena")).Index()),
          RodzajCeny(t.FieldByName(QStringLiteral("RodzajCeny")).Index())
    {
    }
};

TRememberedCode Make(const TRxMemoryData &t, const TCodeFields &f, int row)
{
    auto value = [&](int field) -> const TFieldValue & {
        return row < 0 ? t.Field(field).Value() : t.Field(field).ValueAt(row);
    };
    TRememberedCode c;
    c.Numer = StoredText(value(f.Numer));
    c.Nazwa = StoredText(value(f.Nazwa));
    c.Grupa = int(StoredInt(value(f.Grupa)));
    c.Cena = Currency::FromUnits(StoredInt(value(f.Cena)));
    c.RodzajCeny = StoredText(value(f.RodzajCeny));
    if (c.RodzajCeny.isEmpty())
        c.RodzajCeny = QStringLiteral("0");
    return c;
}

[[noreturn]] void Damaged(const QString &file, const QString &why)
{
    throw Exception(QStringLiteral("Plik z zapamiętaną zawartością kasy \"%1\" jest uszkodzony (%2).")
                        .arg(QDir::toNativeSeparators(file), why));
}

} // namespace

TRememberedCode TRememberedCode::FromRecord(const TRxMemoryData &table) { return Make(table, TCodeFields(table), -1); }

TRememberedCode TRememberedCode::FromRow(const TRxMemoryData &table, int row)
{
    return Make(table, TCodeFields(table), row);
}

std::vector<TRememberedCode> TRememberedCode::FromRows(const TRxMemoryData &table, const std::vector<int> &rows)
{
    const TCodeFields f(table);
    std::vector<TRememberedCode> codes;
    codes.reserve(rows.size());
    for (int row : rows)
        codes.push_back(Make(table, f, row));
    return codes;
}

TCodesDiff DiffCodes(const TRxMemoryData &codes, const TRegisterContent &remembered)
{
    TCodesDiff diff;
    const TCodeFields f(codes);
    std::set<QString> held;
    for (int row = 0; row < codes.RecordCount(); ++row) {
        const TRememberedCode c = Make(codes, f, row);
        held.insert(c.Numer);
        const auto it = remembered.Codes.find(c.Numer);
        if (it == remembered.Codes.end() || !(it->second == c))
            diff.ChangedRows.push_back(row);
    }
    for (const auto &[numer, code] : remembered.Codes)
        if (!held.count(numer))
            diff.Missing.push_back(numer);
    return diff;
}

TRegisterMemory::TRegisterMemory(QString folder, TRegisterKey registerKey, TClock clock)
    : m_folder(std::move(folder)), m_key(std::move(registerKey)), m_clock(std::move(clock))
{
    if (m_folder.isEmpty())
        m_folder = DefaultFolder();
}

QString TRegisterMemory::DefaultFolder()
{
    // The program's data folder, also when orvan-otx asks: both must find
    // the same memory whatever name the running program carries.
    return UserDataFolder() + QStringLiteral("/kasy");
}

QString TRegisterMemory::Key(const QString &modelCode, const QString &port)
{
    // One register under every name of its port: "COM1", "ttyS0",
    // "/dev//ttyS0" and a link to it are the same device, named as the
    // serial line opens it and then resolved.
    QString device = port.trimmed();
#ifndef Q_OS_WIN
    if (!device.isEmpty())
        device = QFile::decodeName(QByteArray::fromStdString(
            TComPort::ResolvedDevicePath(TComPort::DevicePathFor(QFile::encodeName(device).toStdString(), 1))));
#else
    device = device.toUpper();
#endif
    return modelCode + u'|' + device;
}

QDateTime TRegisterMemory::Now() const
{
    return (m_clock ? m_clock() : QDateTime::currentDateTimeUtc()).toUTC();
}

QString TRegisterMemory::FileName() const
{
    const QString key = m_key ? m_key() : QString();
    // Readable part for a person looking into the folder, hash so that two
    // ports that read the same after cleaning never share a file.
    QString readable;
    for (QChar c : key)
        readable += (c.isLetterOrNumber() && c.unicode() < 128) ? c : QChar(u'_');
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(10);
    QString folder = m_folder;
    if (ForThisRunOnly()) {
        const QString run = RunFolder();
        if (run.isEmpty())
            return QString(); // nothing known, nothing kept
        folder = run + QStringLiteral("/kasy");
    }
    return folder + QStringLiteral("/kasa_") + readable.right(40) + u'_' + QString::fromLatin1(hash)
           + QStringLiteral(".json");
}

bool TRegisterMemory::ForThisRunOnly() const
{
    if (!m_key)
        return false;
    const QString key = m_key();
    if (key.endsWith(Key(QString(), SimulatedRegisterPort)))
        return true;
    // A test's simulator standing for a register on a lasting port.
    if (qEnvironmentVariable("ORVAN_REMEMBER_PSEUDO_TERMINAL") == QLatin1String("1"))
        return false;
    // The key holds the resolved device; what it is decides, not its name.
    const QString device = key.mid(key.indexOf(u'|') + 1);
    return !device.isEmpty() && TComPort::IsPseudoTerminalPath(QFile::encodeName(device).toStdString());
}

TRegisterContent TRegisterMemory::Load() const
{
    TRegisterContent content;
    const QString name = FileName();
    QFile file(name);
    if (!file.exists())
        return content;
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Nie można odczytać pliku z zapamiętaną zawartością kasy \"%1\": %2")
                            .arg(QDir::toNativeSeparators(name), file.errorString()));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        Damaged(name, error.errorString());
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat
        || root.value(QStringLiteral("version")).toInt() != kVersion)
        Damaged(name, QStringLiteral("nieznany format"));
    content.Updated = QDateTime::fromString(root.value(QStringLiteral("updated")).toString(), Qt::ISODate);
    if (!content.Updated.isValid())
        Damaged(name, QStringLiteral("brak czasu aktualizacji"));
    for (const QJsonValue &v : root.value(QStringLiteral("codes")).toArray()) {
        const QJsonArray a = v.toArray();
        if (a.size() != 5 || !a.at(0).isString() || !a.at(1).isString() || !a.at(2).isDouble() || !a.at(3).isString()
            || !a.at(4).isString())
            Damaged(name, QStringLiteral("niepoprawny zapis kodu"));
        TRememberedCode c;
        c.Numer = a.at(0).toString();
        c.Nazwa = a.at(1).toString();
        c.Grupa = a.at(2).toInt();
        bool ok = false;
        c.Cena = Currency::FromUnits(a.at(3).toString().toLongLong(&ok));
        c.RodzajCeny = a.at(4).toString();
        if (!ok || c.Numer.isEmpty())
            Damaged(name, QStringLiteral("niepoprawny zapis kodu"));
        content.Codes[c.Numer] = c;
    }
    content.Known = true;
    return content;
}

TRegisterContent TRegisterMemory::LoadOrEmpty() const
{
    // A damaged file is replaced by what the register is now known to hold.
    try {
        return Load();
    } catch (const Exception &) {
        return TRegisterContent();
    }
}

void TRegisterMemory::Save(const TRegisterContent &content) const
{
    QJsonArray codes;
    for (const auto &[numer, c] : content.Codes)
        codes.append(QJsonArray{c.Numer, c.Nazwa, c.Grupa, QString::number(c.Cena.Units()), c.RodzajCeny});
    QJsonObject root;
    root.insert(QStringLiteral("format"), kFormat);
    root.insert(QStringLiteral("version"), kVersion);
    root.insert(QStringLiteral("register"), m_key ? m_key() : QString());
    root.insert(QStringLiteral("updated"), content.Updated.toUTC().toString(Qt::ISODate));
    root.insert(QStringLiteral("codes"), codes);

    const QString name = FileName();
    if (name.isEmpty())
        return;
    MakePrivatePath(QFileInfo(name).absolutePath());
    if (const QString reason = TryReplaceFile(name, QJsonDocument(root).toJson(QJsonDocument::Compact),
                                              TFileAccess::OwnerOnly);
        !reason.isEmpty())
        throw Exception(QStringLiteral("Nie można zapisać pliku z zapamiętaną zawartością kasy \"%1\": %2")
                            .arg(QDir::toNativeSeparators(name), reason));
}

void TRegisterMemory::ReplaceAll(const std::map<QString, TRememberedCode> &codes)
{
    TRegisterContent content;
    content.Known = true;
    content.Updated = Now();
    content.Codes = codes;
    Save(content);
}

void TRegisterMemory::Upsert(const std::vector<TRememberedCode> &codes, bool wholeTable)
{
    TRegisterContent content = LoadOrEmpty();
    // A download programs the codes it carries and leaves the others.
    if (!content.Known && !wholeTable)
        return;
    for (const TRememberedCode &c : codes)
        content.Codes[c.Numer] = c;
    content.Updated = Now();
    Save(content);
}

void TRegisterMemory::Remove(const std::vector<QString> &numbers)
{
    TRegisterContent content = LoadOrEmpty();
    if (!content.Known)
        return;
    for (const QString &n : numbers)
        content.Codes.erase(n);
    content.Updated = Now();
    Save(content);
}
