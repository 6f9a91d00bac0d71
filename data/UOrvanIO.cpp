#include "data/UOrvanIO.h"
#include "data/UFinally.h"

#include "data/UCodePage.h"
#include "data/UEANUtils.h"
#include "data/UErrors.h"
#include "data/URegisterText.h"
#include "data/USystemError.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <QDir>
#include <string>
#include <vector>
#undef ReplaceFile // ours, not the Windows call's ANSI/wide macro
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

enum { SecGrupy = 0, SecKody = 1, SecKaucje = 2 };

// Columns the column-to-record conversion reads, by section.
int ReadColumns(int section)
{
    switch (section) {
    case SecGrupy:
        return 6;
    case SecKody:
        return 5;
    case SecKaucje:
        return 2;
    default:
        return 0;
    }
}

QString DamagedMessage(const QString &fileName)
{
    return QStringLiteral("Plik \"%1\" jest uszkodzony.").arg(fileName);
}

// The line is quoted cut to a readable length, its control characters by
// their codes; a line that holds one says so, with its number (from 1).
QString RefusedLineMessage(const QString &line, size_t number)
{
    const auto control = std::find_if(line.begin(), line.end(), IsControlChar);
    if (control != line.end())
        return QStringLiteral("Niepoprawne dane w pliku wejściowym (wiersz %1 zawiera znak sterujący o kodzie 0x%2): \r%3\r"
                              "Wczytywanie zostało przerwane")
            .arg(QString::number(number), QString::number(control->unicode(), 16).toUpper().rightJustified(2, u'0'),
                 QuotedText(line, 100));
    return QStringLiteral("Niepoprawne dane w pliku wejściowym: \r%1\rWczytywanie zostało przerwane").arg(QuotedText(line, 100));
}

// ------------------------------------------------------------ reading

QByteArray ReadWholeFile(const QString &fileName, bool missingIsNotFound)
{
    if (missingIsNotFound && !QFileInfo::exists(fileName))
        throw EInOutError(QStringLiteral("Nie znaleziono pliku %1!").arg(fileName));
    QByteArray bytes;
    if (const QString reason = ReadInputFile(fileName, bytes); !reason.isEmpty())
        throw EInOutError(QStringLiteral("Nie można otworzyć pliku %1: %2").arg(fileName, reason));
    return bytes;
}

// Decodes into an existing string, reusing its storage where it is not shared.
void DecodeInto(QString &dst, const char *data, qsizetype size)
{
    static const QString table = [] {
        QByteArray all(256, Qt::Uninitialized);
        for (int b = 0; b < 256; ++b)
            all[b] = char(b);
        return FromCp1250(all);
    }();
    dst.resize(size);
    QChar *p = dst.data();
    const QChar *t = table.constData();
    for (qsizetype i = 0; i < size; ++i)
        p[i] = t[static_cast<unsigned char>(data[i])];
}

bool IsSectionLine(QByteArrayView line)
{
    return !line.isEmpty() && line.front() == '[';
}

// Position of the "]" that closes the section name; throws when the line
// is damaged (no "]", or "]" before the third character as in "[]").
qsizetype SectionNameEnd(QByteArrayView line, const QString &fileName)
{
    const qsizetype close = line.indexOf(']');
    if (close < 2)
        throw Exception(DamagedMessage(fileName));
    return close;
}

struct TColumn {
    bool Present = false;
    qint64 Start = 0; // 0-based byte position
    qint64 Width = 0;
};

// Parses "Name=start,width;..." into one column per field of the table.
std::vector<TColumn> ParseColumnList(QString list, const TRxMemoryData &table, const QString &fileName)
{
    std::vector<TColumn> columns(size_t(table.FieldCount()));
    qsizetype lead = 0;
    while (lead < list.size() && list.at(lead) == u' ')
        ++lead;
    list.remove(0, lead);
    while (!list.isEmpty()) {
        const qsizetype semi = list.indexOf(u';');
        if (semi < 0)
            throw Exception(DamagedMessage(fileName));
        const QString item = list.left(semi);
        list.remove(0, semi + 1);
        const qsizetype eq = item.indexOf(u'=');
        const qsizetype comma = eq < 0 ? -1 : item.indexOf(u',', eq + 1);
        if (item.size() < 5 || eq < 1 || comma < eq + 2)
            throw Exception(DamagedMessage(fileName));
        const TField *field = table.FindField(item.left(eq));
        if (!field)
            continue;
        const auto start = ParseInteger(item.mid(eq + 1, comma - eq - 1));
        const auto width = ParseInteger(item.mid(comma + 1));
        if (!start || !width || *start <= 0 || *width <= 0)
            throw Exception(DamagedMessage(fileName));
        TColumn &c = columns[size_t(field->Index())];
        c.Present = true;
        c.Start = *start - 1;
        c.Width = *width;
    }
    return columns;
}

// Guard for a load into table, made before the first record is added: on
// leaving, an unfinished insert is dropped and the cursor goes back to the
// saved record, or to the first one when the table was empty or that record
// is gone.
auto RestorePositionOnExit(TRxMemoryData &table, TBookmark saved)
{
    const bool wasEmpty = table.IsEmpty();
    return TFinally([&table, saved, wasEmpty] {
        if (table.State() != TDataSetState::Browse)
            table.Cancel();
        if (wasEmpty || !table.GotoBookmark(saved))
            table.First();
    });
}

// Reads the record lines of one section from lines[first]; returns the
// index of the section line that ended it, or lines.size().
size_t ReadSection(TDM &dm, int section, const QString &columnList, const std::vector<QByteArrayView> &lines,
                   size_t first, bool clearFirst, const QString &fileName)
{
    TRxMemoryData &table = *dm.TableBySection(section);
    const std::vector<TColumn> columns = ParseColumnList(columnList, table, fileName);
    // Counter columns are not read, so they are not even cut out.
    const int fieldCount = std::min({table.FieldCount(), int(std::tuple_size_v<TReadTexts>), ReadColumns(section)});

    TControlsDisabler disabled(table);
    table.CheckBrowseMode();
    const TBookmark saved = table.GetBookmark();
    if (clearFirst)
        table.EmptyTable();
    const auto restore = RestorePositionOnExit(table, saved);

    TReadTexts texts;
    std::array<bool, 32> missing{};
    size_t i = first;
    for (; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        if (IsSectionLine(line))
            break;
        if (line.isEmpty())
            continue;
        for (int f = 0; f < fieldCount; ++f) {
            const TColumn &c = columns[size_t(f)];
            missing[size_t(f)] = !c.Present;
            if (!c.Present) {
                texts[size_t(f)] = table.Field(f).DefaultText();
                continue;
            }
            const qint64 len = line.size();
            const qint64 from = std::min(c.Start, len);
            const qint64 to = c.Width > len - from ? len : from + c.Width;
            DecodeInto(texts[size_t(f)], line.data() + from, qsizetype(to - from));
        }
        table.Append();
        try {
            TextsToRecord(section, table, texts, missing);
        } catch (const EDatabaseError &) {
            table.Cancel();
            throw EOrvanFileError(RefusedLineMessage(FromCp1250(line.data(), line.size()), i + 1));
        }
        table.Post();
    }
    return i;
}

// ------------------------------------------------------------ writing

Currency CurrencyAt(const TField &f, int row)
{
    const TFieldValue &v = f.ValueAt(row);
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return f.DataType() == TFieldType::Currency ? Currency::FromUnits(*i) : Currency::FromInteger(*i).value_or(Currency());
    if (const auto *d = std::get_if<double>(&v))
        return Currency::FromDouble(*d).value_or(Currency());
    return Currency();
}

double FloatAt(const TField &f, int row)
{
    const TFieldValue &v = f.ValueAt(row);
    if (const auto *d = std::get_if<double>(&v))
        return *d;
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return f.DataType() == TFieldType::Currency ? Currency::FromUnits(*i).ToDouble() : double(*i);
    return 0.0;
}

QString StringAt(const TField &f, int row)
{
    const TFieldValue &v = f.ValueAt(row);
    if (const auto *s = std::get_if<QString>(&v))
        return *s;
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return QString::number(*i);
    return f.ValueToString(v);
}

void KindAbbrev(QString &dst, const TField &f, int row, const QString &zero, const QString &one)
{
    const TFieldValue &v = f.ValueAt(row);
    const QString *s = std::get_if<QString>(&v);
    if (s && *s == QLatin1String("0"))
        dst = zero;
    else if (s && *s == QLatin1String("1"))
        dst = one;
    else
        dst.clear();
}

// The column texts below are written into the caller's strings, whose
// storage is reused from record to record.
void SetChars(QString &dst, const char16_t *chars, qsizetype n)
{
    dst.resize(n);
    std::copy(chars, chars + n, reinterpret_cast<char16_t *>(dst.data()));
}

// Digits of a magnitude, written backwards from end; returns the start.
char16_t *Digits(std::uint64_t v, char16_t *end)
{
    do {
        *--end = char16_t(u'0' + v % 10);
        v /= 10;
    } while (v);
    return end;
}

// Whole numbers as stored; other values as their plain text.
void Whole(QString &dst, const TField &f, int row)
{
    const TFieldValue &v = f.ValueAt(row);
    if (const auto *i = std::get_if<std::int64_t>(&v); i && f.DataType() != TFieldType::Currency) {
        char16_t buf[24];
        char16_t *end = buf + 24;
        const std::uint64_t mag = *i < 0 ? std::uint64_t(0) - std::uint64_t(*i) : std::uint64_t(*i);
        char16_t *p = Digits(mag, end);
        if (*i < 0)
            *--p = u'-';
        SetChars(dst, p, end - p);
        return;
    }
    dst = StringAt(f, row);
}

// "%.2f" of an amount with the locale's separator (as FormatCurrency2).
void Money(QString &dst, const TField &f, int row)
{
    const std::int64_t units = CurrencyAt(f, row).Units();
    const std::uint64_t mag = units < 0 ? std::uint64_t(0) - std::uint64_t(units) : std::uint64_t(units);
    const std::uint64_t cents = mag / 100 + (mag % 100 >= 50 ? 1 : 0);
    char16_t buf[32];
    char16_t *end = buf + 32;
    char16_t *p = end;
    *--p = char16_t(u'0' + cents % 10);
    *--p = char16_t(u'0' + cents / 10 % 10);
    *--p = FormatSettings().DecimalSeparator.unicode();
    p = Digits(cents / 100, p);
    if (units < 0 && cents != 0)
        *--p = u'-';
    SetChars(dst, p, end - p);
}

// "%.3f" of a quantity; zero, what nearly every counter holds, directly.
void Quantity(QString &dst, const TField &f, int row)
{
    const double v = FloatAt(f, row);
    if (v == 0.0) {
        const char16_t zero[] = {u'0', FormatSettings().DecimalSeparator.unicode(), u'0', u'0', u'0'};
        SetChars(dst, zero, 5);
        return;
    }
    dst = FormatQuantity3(v);
}

// Column texts are read with the locale's decimal separator; a file written
// under the other common separator (a template, a file from another PC)
// still reads, as no thousands separator is ever written.
void LocalDecimal(QString &text)
{
    const QChar sep = FormatSettings().DecimalSeparator;
    for (QChar &c : text)
        if ((c == u'.' || c == u',') && c != sep)
            c = sep;
}

// Counters are never read from a file: the record starts them at zero.
void ZeroCounter(TField &field)
{
    const TFieldValue &v = field.Value();
    const auto *i = std::get_if<std::int64_t>(&v);
    const auto *d = std::get_if<double>(&v);
    if ((i && *i == 0) || (d && *d == 0.0))
        return;
    field.SetAsInteger(0);
}

void TrimBoth(QString &text)
{
    TrimRight(text);
    qsizetype lead = 0;
    while (lead < text.size() && text.at(lead) == u' ')
        ++lead;
    if (lead > 0)
        text.remove(0, lead);
}

[[noreturn]] void RaiseNotEncodable(const QString &text, const QString &fileName)
{
    const qsizetype bad = std::max<qsizetype>(0, FirstNonCp1250(text));
    throw EOrvanFileError(
        QStringLiteral("Nie można zapisać pliku \"%1\": znak \"%2\" w tekście \"%3\" nie istnieje w stronie kodowej Windows-1250.")
            .arg(fileName, text.mid(bad, 1), text.trimmed()));
}

void AppendLine(QByteArray &out, const QString &text, const QString &fileName)
{
    if (!AppendCp1250(out, text))
        RaiseNotEncodable(text, fileName);
    out.append("\r\n", 2);
}

// Width and alignment of every column of a table's record lines.
struct TColumnLayout {
    int Width = 0;
    bool Left = false; // names are padded on the right, all else on the left
};

std::vector<TColumnLayout> LayoutOf(const TRxMemoryData &table)
{
    std::vector<TColumnLayout> layout;
    const int n = std::min(table.FieldCount(), int(std::tuple_size_v<TWriteTexts>));
    for (int i = 0; i < n; ++i)
        layout.push_back({table.Field(i).Tag(), table.Field(i).Name() == QLatin1String("Nazwa")});
    return layout;
}

// Appends the padded columns of one record line, each followed by ",".
template <typename Sink>
void LayColumns(const std::vector<TColumnLayout> &layout, const TWriteTexts &texts, Sink &&sink)
{
    for (size_t i = 0; i < layout.size(); ++i) {
        const QString &text = texts[i];
        const qsizetype pad = std::max<qsizetype>(0, layout[i].Width - text.size());
        if (!layout[i].Left)
            sink.Pad(pad);
        sink.Text(text);
        if (layout[i].Left)
            sink.Pad(pad);
        sink.Comma();
    }
}

} // namespace

// ------------------------------------------------------------ public

// What touches the file system itself: one implementation per system.
namespace {

const QString kFolderReason = QStringLiteral("to jest folder");

QString NotRegularReason()
{
    return QStringLiteral("to nie jest zwykły plik, lecz urządzenie, potok lub gniazdo");
}

QString TooLargeReason()
{
    return QStringLiteral("plik ma ponad %1, a żadna kasa nie ma tylu danych").arg(InputFileLimitText());
}

// Reads into bytes (sized by the caller to the file's size + 1) until the
// end, growing it up to one byte past the limit: a file that grows while
// read is refused. readSome gives the count read, 0 at the end, or -1 with
// its reason set.
template <class ReadSome>
QString ReadUpToLimit(QByteArray &bytes, ReadSome readSome)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        QString reason;
        const qint64 n = readSome(bytes.data() + done, qint64(bytes.size() - done), reason);
        if (n < 0) {
            bytes.clear();
            return reason;
        }
        if (n == 0)
            break;
        done += qsizetype(n);
        if (done == bytes.size() && done <= InputFileLimit)
            bytes.resize(std::min<qsizetype>(done * 2, InputFileLimit + 1));
    }
    if (done > InputFileLimit) {
        bytes.clear();
        return TooLargeReason();
    }
    bytes.truncate(done);
    return QString();
}

QString SystemReason(int error)
{
    return SystemErrorText(error);
}

// Fresh pending names are tried this many times: a taken one is never
// opened, another random part is drawn instead.
constexpr int kPendingTries = 100;

QString RandomPart()
{
    return QString::number(QRandomGenerator::system()->generate64() & 0xFFFFFFFFFFFFull, 16).rightJustified(12, u'0');
}

// A pending file that is left over, as the next save or load finds it.
struct TLeftover {
    QString Path;
    qint64 Modified = 0;
};

QStringList NewestFirst(std::vector<TLeftover> &found)
{
    std::sort(found.begin(), found.end(),
              [](const TLeftover &a, const TLeftover &b) { return a.Modified > b.Modified; });
    QStringList paths;
    for (const TLeftover &f : found)
        paths << f.Path;
    return paths;
}

#ifdef _WIN32

constexpr int kAccessDenied = ERROR_ACCESS_DENIED;

QString LastReason()
{
    return SystemReason(int(GetLastError()));
}

std::wstring NativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// Names Windows gives to devices rather than files, told without opening
// anything: the device namespace ("\\.\COM1", "\\.\pipe\x"), a "\\?\"
// name that is not a drive's or a share's path, and the reserved names
// (CON, NUL, COM1, LPT1, ...) in any folder, with any extension.
bool IsDeviceName(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (native.startsWith(QLatin1String("\\\\.\\")))
        return true;
    if (native.startsWith(QLatin1String("\\\\?\\"))) {
        const QString rest = native.mid(4);
        const bool drive = rest.size() >= 3 && rest.at(0).isLetter() && rest.at(1) == u':' && rest.at(2) == u'\\';
        return !drive && !rest.startsWith(QLatin1String("UNC\\"), Qt::CaseInsensitive);
    }
    QString name = native.section(u'\\', -1);
    if (name.size() >= 2 && name.at(1) == u':') // "C:NUL"
        name.remove(0, 2);
    name = name.section(u'.', 0, 0);
    while (name.endsWith(u' ') || name.endsWith(u':'))
        name.chop(1);
    name = name.toUpper();
    for (const char *reserved : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (name == QLatin1String(reserved))
            return true;
    if (name.size() != 4 || !(name.startsWith(QLatin1String("COM")) || name.startsWith(QLatin1String("LPT"))))
        return false;
    const char16_t digit = name.at(3).unicode();
    return (digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
}

// All bytes to the file, then to the disk.
QString WriteAllToDisk(HANDLE file, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(file, p, DWORD(std::min<qsizetype>(left, 1 << 30)), &written, nullptr))
            return LastReason();
        if (written == 0)
            return SystemReason(ERROR_DISK_FULL);
        p += written;
        left -= qsizetype(written);
    }
    return FlushFileBuffers(file) ? QString() : LastReason();
}

// The pending file of a save of target, whole and on the disk, under a
// name that was not there: CREATE_NEW opens neither a file nor a link
// planted under it. Its access follows the folder's: what the program
// keeps for itself lies in the user's profile, which other users cannot
// enter; a replaced file's own attributes and access list go over to it
// with ReplaceFileW.
QString WritePending(const QString &target, const QByteArray &content, TFileAccess, QString &pending)
{
    const QString prefix = PendingPrefix(target);
    for (int attempt = 0; attempt < kPendingTries; ++attempt) {
        pending = prefix + RandomPart();
        const std::wstring name = NativePath(pending);
        const HANDLE file =
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            pending.clear();
            return SystemReason(int(error));
        }
        QString reason = WriteAllToDisk(file, content);
        if (!CloseHandle(file) && reason.isEmpty())
            reason = LastReason();
        if (!reason.isEmpty()) {
            DeleteFileW(name.c_str());
            pending.clear();
        }
        return reason;
    }
    pending.clear();
    return SystemReason(ERROR_FILE_EXISTS);
}

// Whether the file belongs to whoever this process makes files for.
bool OwnedByUs(const std::wstring &path)
{
    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), OWNER_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed == 0)
        return false;
    std::vector<BYTE> descriptor(needed);
    if (!GetFileSecurityW(path.c_str(), OWNER_SECURITY_INFORMATION, descriptor.data(), needed, &needed))
        return false;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) || !owner)
        return false;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenOwner, nullptr, 0, &size);
    std::vector<BYTE> ours(size);
    const bool known = size > 0 && GetTokenInformation(token, TokenOwner, ours.data(), size, &size);
    CloseHandle(token);
    return known && EqualSid(owner, reinterpret_cast<TOKEN_OWNER *>(ours.data())->Owner);
}

// The pending files of target's saves that are ours: plain files only,
// never a link or a folder planted under such a name. With remove they go.
QStringList ScanLeftovers(const QString &target, bool remove)
{
    const QString prefix = PendingPrefix(target);
    const QString folder = QFileInfo(prefix).absolutePath();
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW(NativePath(prefix + u'*').c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    std::vector<TLeftover> found;
    do {
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
            continue;
        const QString path = folder + u'/' + QString::fromWCharArray(entry.cFileName);
        // The search also matches short 8.3 names: only our own long ones.
        if (!path.startsWith(prefix))
            continue;
        const std::wstring name = NativePath(path);
        if (!OwnedByUs(name))
            continue;
        if (remove)
            DeleteFileW(name.c_str());
        else
            found.push_back({path, (qint64(entry.ftLastWriteTime.dwHighDateTime) << 32)
                                       | qint64(entry.ftLastWriteTime.dwLowDateTime)});
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return NewestFirst(found);
}

#else

constexpr int kAccessDenied = EACCES;

// The reason a file of this kind is neither read nor replaced.
QString KindProblem(mode_t mode)
{
    if (S_ISDIR(mode))
        return kFolderReason;
    return S_ISREG(mode) ? QString() : NotRegularReason();
}

// All bytes to fd, then to the disk; the new file takes the mode of the
// one it replaces, or 0600 when only its owner may read it.
QString WriteAllToDisk(int fd, const QByteArray &bytes, const QByteArray &replaced, TFileAccess access)
{
    struct stat old {};
    if (access == TFileAccess::OwnerOnly) {
        if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
            return SystemReason(errno);
    } else if (!replaced.isEmpty() && ::stat(replaced.constData(), &old) == 0) {
        (void)::fchmod(fd, old.st_mode & 07777);
    }
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return SystemReason(n < 0 ? errno : ENOSPC);
        p += n;
        left -= n;
    }
    return ::fsync(fd) == 0 ? QString() : SystemReason(errno);
}

// The pending file of a save of target, whole and on the disk, under a
// name that was not there: neither a file nor a link planted under one of
// our names is opened, followed or written.
QString WritePending(const QString &target, const QByteArray &content, TFileAccess access, QString &pending)
{
    const QByteArray targetName = QFile::encodeName(target);
    const QString prefix = PendingPrefix(target);
    const mode_t mode = access == TFileAccess::OwnerOnly ? 0600 : 0666;
    pending.clear();
#ifdef O_TMPFILE
    // Unnamed until whole: a save killed while writing leaves nothing. It
    // gets a name only for the moment between the link and the rename, so
    // the next load or save knows what to remove.
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    if (const int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode); fd >= 0) {
        TFinally closeFile([fd] { ::close(fd); });
        if (const QString reason = WriteAllToDisk(fd, content, targetName, access); !reason.isEmpty())
            return reason;
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        int error = EEXIST;
        for (int attempt = 0; attempt < kPendingTries && error == EEXIST; ++attempt) {
            const QString name = prefix + RandomPart();
            const QByteArray bytes = QFile::encodeName(name);
            // linkat never replaces nor follows what is under the new name.
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, bytes.constData(), AT_SYMLINK_FOLLOW) == 0) {
                pending = name;
                return QString();
            }
            error = errno;
        }
        // Without /proc the file is written again under its name below.
        if (error == EEXIST)
            return SystemReason(EEXIST);
    }
#endif
    for (int attempt = 0; attempt < kPendingTries; ++attempt) {
        const QString name = prefix + RandomPart();
        const QByteArray bytes = QFile::encodeName(name);
        const int fd = ::open(bytes.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return SystemReason(errno);
        QString reason = WriteAllToDisk(fd, content, targetName, access);
        if (::close(fd) != 0 && reason.isEmpty())
            reason = SystemReason(errno);
        if (!reason.isEmpty()) {
            ::unlink(bytes.constData());
            return reason;
        }
        pending = name;
        return QString();
    }
    return SystemReason(EEXIST);
}

// The pending files of target's saves that are ours: regular files this
// user owns, never a link or anything else planted under such a name.
// With remove they go; the folder is held open so each check and removal
// acts on the same entry's folder.
QStringList ScanLeftovers(const QString &target, bool remove)
{
    const QString prefix = PendingPrefix(target);
    const QString folder = QFileInfo(prefix).absolutePath();
    const QByteArray start = QFile::encodeName(QFileInfo(prefix).fileName());
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return {};
    const int listFd = ::dup(dirFd);
    DIR *list = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!list) {
        if (listFd >= 0)
            ::close(listFd);
        ::close(dirFd);
        return {};
    }
    std::vector<TLeftover> found;
    while (const dirent *entry = ::readdir(list)) {
        if (std::strncmp(entry->d_name, start.constData(), size_t(start.size())) != 0)
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)
            || st.st_uid != ::geteuid())
            continue;
        if (remove)
            ::unlinkat(dirFd, entry->d_name, 0);
        else
            found.push_back({folder + u'/' + QFile::decodeName(entry->d_name),
                              qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
    }
    ::closedir(list);
    ::close(dirFd);
    return NewestFirst(found);
}

#endif

} // namespace

QString ResolvedTarget(const QString &name)
{
    // A Windows shortcut (.lnk) is a file of its own, not a link.
    const QFileInfo link(name);
    return link.isSymbolicLink() && link.exists() ? link.canonicalFilePath() : name;
}

QString InputFileLimitText()
{
    return QStringLiteral("%1 MB").arg(InputFileLimit / (1024 * 1024));
}

#ifdef _WIN32

QString ReadInputFile(const QString &fileName, QByteArray &bytes)
{
    bytes.clear();
    // A device is not even opened (opening one can act on it, a pipe can
    // block); the checks on the open handle cover a file swapped between.
    if (IsDeviceName(fileName))
        return NotRegularReason();
    const std::wstring name = NativePath(fileName);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return LastReason();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return kFolderReason;
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastReason();
    TFinally closeFile([file] { CloseHandle(file); });
    if (GetFileType(file) != FILE_TYPE_DISK)
        return NotRegularReason();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size))
        return LastReason();
    if (size.QuadPart > InputFileLimit)
        return TooLargeReason();
    // A file that grows while read stops one byte past the limit.
    bytes.resize(qsizetype(size.QuadPart) + 1);
    return ReadUpToLimit(bytes, [file](char *to, qint64 room, QString &reason) -> qint64 {
        DWORD n = 0;
        if (!ReadFile(file, to, DWORD(std::min<qint64>(room, MAXDWORD)), &n, nullptr)) {
            reason = LastReason();
            return -1;
        }
        return qint64(n);
    });
}

QString SaveTargetProblem(const QString &fileName)
{
    if (IsDeviceName(fileName))
        return NotRegularReason();
    // Nothing there yet is fine; the save creates it.
    const DWORD attributes = GetFileAttributesW(NativePath(fileName).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return kFolderReason;
    return QString();
}

QString RenameFileOver(const QString &from, const QString &to)
{
    const std::wstring source = NativePath(from), target = NativePath(to);
    // ReplaceFileW hands the replaced file's attributes and access list on
    // to the new one, as the mode goes on Linux; where it cannot (the target
    // is gone meanwhile, another volume), a rename written through.
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES
        && ReplaceFileW(target.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return QString();
    if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return QString();
    return LastReason();
}

#else

QString ReadInputFile(const QString &fileName, QByteArray &bytes)
{
    bytes.clear();
    const QByteArray name = QFile::encodeName(fileName);
    // A device is not even opened (opening one can act on it, a pipe can
    // block); the same checks after the open cover a file swapped between.
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return SystemReason(errno);
    if (QString problem = KindProblem(st.st_mode); !problem.isEmpty())
        return problem;
    if (st.st_size > InputFileLimit)
        return TooLargeReason();
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return SystemReason(errno);
    TFinally closeFile([fd] { ::close(fd); });
    if (::fstat(fd, &st) != 0)
        return SystemReason(errno);
    if (QString problem = KindProblem(st.st_mode); !problem.isEmpty())
        return problem;
    // A file that grows while read stops one byte past the limit.
    bytes.resize(qsizetype(std::min<qint64>(st.st_size, InputFileLimit) + 1));
    return ReadUpToLimit(bytes, [fd](char *to, qint64 room, QString &reason) -> qint64 {
        for (;;) {
            const ssize_t n = ::read(fd, to, size_t(room));
            if (n >= 0)
                return qint64(n);
            if (errno != EINTR) {
                reason = SystemReason(errno);
                return -1;
            }
        }
    });
}

QString SaveTargetProblem(const QString &fileName)
{
    // stat follows a link: what it points at is what the save replaces.
    // Nothing there yet is fine; the save creates it.
    struct stat st {};
    if (::stat(QFile::encodeName(fileName).constData(), &st) != 0)
        return QString();
    return KindProblem(st.st_mode);
}

QString RenameFileOver(const QString &from, const QString &to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return SystemReason(errno);
    return QString();
}

#endif

QString PendingPrefix(const QString &target)
{
    // A short tag of the name rather than the name itself: the target's
    // name may already be as long as the file system allows.
    const QFileInfo info(target);
    const QByteArray tag =
        QCryptographicHash::hash(QFile::encodeName(info.fileName()), QCryptographicHash::Sha1).left(4).toHex();
    return info.absolutePath() + QStringLiteral("/.") + QLatin1String(tag) + QStringLiteral(".zapis-");
}

QString WritePendingFile(const QString &target, const QByteArray &content, QString &pending, TFileAccess access)
{
    return WritePending(target, content, access, pending);
}

QStringList UnfinishedSaves(const QString &fileName)
{
    return ScanLeftovers(ResolvedTarget(fileName), false);
}

void RemoveUnfinishedSave(const QString &fileName)
{
    ScanLeftovers(ResolvedTarget(fileName), true);
}

QString TryReplaceFile(const QString &name, const QByteArray &content, TFileAccess access)
{
    const QString fileName = ResolvedTarget(name);
    const QFileInfo target(fileName);
    if (const QString problem = SaveTargetProblem(fileName); !problem.isEmpty())
        return problem;
    // A rename would replace a read-only file; the user made it so on purpose.
    if (target.exists() && !target.isWritable())
        return SystemReason(kAccessDenied);
    RemoveUnfinishedSave(fileName);
    QString pending;
    if (const QString reason = WritePending(fileName, content, access, pending); !reason.isEmpty())
        return reason;
    const QString reason = RenameFileOver(pending, fileName);
    if (!reason.isEmpty())
        QFile::remove(pending);
    return reason;
}

void ReplaceFile(const QString &fileName, const QByteArray &content, TFileAccess access)
{
    const QString reason = TryReplaceFile(fileName, content, access);
    if (!reason.isEmpty())
        throw EInOutError(QStringLiteral("Nie można zapisać pliku %1: %2").arg(fileName, reason));
}

std::vector<QByteArrayView> SplitFileLines(const QByteArray &bytes)
{
    std::vector<QByteArrayView> lines;
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    lines.reserve(size_t(size / 64 + 1));
    qsizetype start = 0;
    while (start < size) {
        const void *lf = std::memchr(data + start, '\n', size_t(size - start));
        const qsizetype end = lf ? static_cast<const char *>(lf) - data : size;
        qsizetype stop = end;
        if (stop > start && data[stop - 1] == '\r')
            --stop;
        lines.emplace_back(data + start, stop - start);
        start = end + 1;
    }
    return lines;
}

int SectionIndex(const QString &name)
{
    return int(SectionNames().indexOf(name));
}

QString SectionLine(const QString &sectionName, const TRxMemoryData &table)
{
    QString line = u'[' + sectionName + QStringLiteral("] ");
    int start = 1;
    for (int i = 0; i < table.FieldCount(); ++i) {
        const TField &f = table.Field(i);
        line += f.Name() + u'=' + QString::number(start) + u',' + QString::number(f.Tag()) + u';';
        start += f.Tag() + 1;
    }
    return line;
}

void RecordToTexts(int section, const TRxMemoryData &t, int row, TWriteTexts &texts)
{
    static const QString No = QStringLiteral("No"), Na = QStringLiteral("Na");
    static const QString Pr = QStringLiteral("Pr"), Wp = QStringLiteral("Wp");
    switch (section) {
    case SecGrupy:
        Whole(texts[0], t.Field(0), row);
        texts[1] = StringAt(t.Field(1), row);
        texts[2] = StringAt(t.Field(2), row);
        Money(texts[3], t.Field(3), row);
        KindAbbrev(texts[4], t.Field(4), row, No, Na);
        Whole(texts[5], t.Field(5), row);
        Money(texts[6], t.Field(6), row);
        Quantity(texts[7], t.Field(7), row);
        Money(texts[8], t.Field(8), row);
        Quantity(texts[9], t.Field(9), row);
        return;
    case SecKody: {
        const QString stored = StringAt(t.Field(0), row);
        texts[0] = stored.isEmpty() ? QString() : CodeToDisplay(stored).Text;
        texts[1] = StringAt(t.Field(1), row);
        Whole(texts[2], t.Field(2), row);
        Money(texts[3], t.Field(3), row);
        KindAbbrev(texts[4], t.Field(4), row, Pr, Wp);
        Money(texts[5], t.Field(5), row);
        Quantity(texts[6], t.Field(6), row);
        return;
    }
    case SecKaucje:
        Whole(texts[0], t.Field(0), row);
        Money(texts[1], t.Field(1), row);
        Money(texts[2], t.Field(2), row);
        Quantity(texts[3], t.Field(3), row);
        Money(texts[4], t.Field(4), row);
        Quantity(texts[5], t.Field(5), row);
        return;
    default:
        return;
    }
}

void TextsToRecord(int section, TRxMemoryData &t, TReadTexts &texts, const std::array<bool, 32> &missing)
{
    // Numbers and code numbers: their set texts ignore surrounding blanks,
    // which are cut here in place to spare a copy per column.
    switch (section) {
    case SecGrupy:
        TrimBoth(texts[0]);
        t.Field(0).SetText(texts[0]);
        TrimRight(texts[1]);
        t.Field(1).SetText(texts[1]);
        t.Field(2).SetText(texts[2]);
        TrimBoth(texts[3]);
        LocalDecimal(texts[3]);
        t.Field(3).SetText(texts[3]);
        // The default of an absent column is the stored "0" (normal sale),
        // which the sale-kind text conversion would refuse.
        if (missing[4])
            t.Field(4).SetAsString(texts[4]);
        else
            t.Field(4).SetText(texts[4]);
        TrimBoth(texts[5]);
        t.Field(5).SetText(texts[5]);
        for (int f : {6, 7, 8, 9})
            ZeroCounter(t.Field(f));
        return;
    case SecKody:
        TrimBoth(texts[0]);
        t.Field(0).SetText(texts[0]);
        TrimRight(texts[1]);
        t.Field(1).SetText(texts[1]);
        TrimBoth(texts[2]);
        t.Field(2).SetText(texts[2]);
        TrimBoth(texts[3]);
        LocalDecimal(texts[3]);
        t.Field(3).SetText(texts[3]);
        t.Field(4).SetText(texts[4]);
        ZeroCounter(t.Field(5));
        ZeroCounter(t.Field(6));
        return;
    case SecKaucje:
        TrimBoth(texts[0]);
        t.Field(0).SetText(texts[0]);
        TrimBoth(texts[1]);
        LocalDecimal(texts[1]);
        t.Field(1).SetText(texts[1]);
        for (int f : {2, 3, 4, 5})
            ZeroCounter(t.Field(f));
        return;
    default:
        return;
    }
}

QString RecordLine(int section, const TRxMemoryData &table, int row)
{
    TWriteTexts texts;
    RecordToTexts(section, table, row, texts);
    struct {
        QString line;
        void Pad(qsizetype n) { line.append(QString(n, u' ')); }
        void Text(const QString &t) { line.append(t); }
        void Comma() { line.append(u','); }
    } sink;
    LayColumns(LayoutOf(table), texts, sink);
    return sink.line;
}

TSectionSet ScanDataFile(TDM &dm, const QString &fileName)
{
    const QByteArray bytes = ReadWholeFile(fileName, true);
    TSectionSet found;
    for (QByteArrayView line : SplitFileLines(bytes)) {
        if (!IsSectionLine(line))
            continue;
        const qsizetype close = SectionNameEnd(line, fileName);
        found.Insert(SectionIndex(FromCp1250(line.data() + 1, close - 1)));
    }
    if (!dm.RegisterProfile.DepositsTable)
        found.Remove(SecKaucje);
    return found;
}

void LoadDataFile(TDM &dm, const QString &fileName, TSectionSet sections, bool clearFirst)
{
    RemoveUnfinishedSave(fileName);
    const QByteArray bytes = ReadWholeFile(fileName, false);
    dm.Loading = true;
    TFinally clear([&] { dm.Loading = false; });
    if (bytes.isEmpty())
        return;
    const std::vector<QByteArrayView> lines = SplitFileLines(bytes);
    size_t i = 0;
    while (i < lines.size()) {
        const QByteArrayView line = lines[i];
        if (!IsSectionLine(line)) {
            ++i;
            continue;
        }
        const qsizetype close = SectionNameEnd(line, fileName);
        const int section = SectionIndex(FromCp1250(line.data() + 1, close - 1));
        if (section < 0 || !sections.Contains(section)) {
            ++i;
            continue;
        }
        const QString columnList = FromCp1250(line.data() + close + 1, line.size() - close - 1);
        i = ReadSection(dm, section, columnList, lines, i + 1, clearFirst, fileName);
    }
}

namespace {

// The section line and record lines of one table.
void AppendSection(QByteArray &content, TDM &dm, int section, const QString &fileName)
{
    TRxMemoryData &table = *dm.TableBySection(section);
    table.CheckBrowseMode();
    TControlsDisabler disabled(table);
    AppendLine(content, SectionLine(SectionNames().at(section), table), fileName);
    const std::vector<TColumnLayout> layout = LayoutOf(table);
    content.reserve(content.size() + qsizetype(table.RecordCount()) * 90);
    // Columns go straight into the bytes of the file.
    struct {
        QByteArray &out;
        bool ok = true;
        void Pad(qsizetype n) { out.append(n, ' '); }
        void Text(const QString &t) { ok = AppendCp1250(out, t) && ok; }
        void Comma() { out.append(','); }
    } sink{content};
    TWriteTexts texts;
    for (int row = 0; row < table.RecordCount(); ++row) {
        RecordToTexts(section, table, row, texts);
        LayColumns(layout, texts, sink);
        if (!sink.ok)
            RaiseNotEncodable(RecordLine(section, table, row), fileName);
        content.append("\r\n", 2);
    }
}

} // namespace

void SaveDataFile(TDM &dm, const QString &fileName, TSectionSet sections)
{
    QByteArray content;
    for (int section = 0; section < 3; ++section)
        if (sections.Contains(section))
            AppendSection(content, dm, section, fileName);
    ReplaceFile(fileName, content);
}

void CheckDataFileSections(const QString &fileName)
{
    const QByteArray bytes = ReadWholeFile(fileName, true);
    for (QByteArrayView line : SplitFileLines(bytes))
        if (IsSectionLine(line))
            SectionNameEnd(line, fileName);
}

void SaveDataFileSections(TDM &dm, const QString &fileName, TSectionSet sections)
{
    if (const QString problem = SaveTargetProblem(fileName); !problem.isEmpty())
        throw EInOutError(QStringLiteral("Nie można zapisać pliku %1: %2").arg(fileName, problem));
    if (!QFileInfo::exists(fileName))
        return SaveDataFile(dm, fileName, sections);
    const QByteArray old = ReadWholeFile(fileName, false);
    QByteArray content;
    content.reserve(old.size());
    TSectionSet written;
    bool skipping = false; // inside a section being replaced
    // Line by line with its own line end, so what is kept stays byte for byte.
    for (qsizetype start = 0; start < old.size();) {
        const qsizetype lf = old.indexOf('\n', start);
        const qsizetype end = lf < 0 ? old.size() : lf + 1;
        const QByteArrayView line = QByteArrayView(old).sliced(start, end - start);
        start = end;
        if (IsSectionLine(line)) {
            QByteArrayView bare = line;
            while (!bare.isEmpty() && (bare.back() == '\n' || bare.back() == '\r'))
                bare.chop(1);
            const qsizetype close = SectionNameEnd(bare, fileName);
            const int section = SectionIndex(FromCp1250(bare.data() + 1, close - 1));
            skipping = section >= 0 && sections.Contains(section);
            // A section the file holds twice is written once, where it began.
            if (skipping && !written.Contains(section)) {
                AppendSection(content, dm, section, fileName);
                written.Insert(section);
            }
        }
        if (!skipping)
            content.append(line);
    }
    if (!content.isEmpty() && !content.endsWith('\n'))
        content.append("\r\n", 2);
    for (int section = 0; section < 3; ++section)
        if (sections.Contains(section) && !written.Contains(section))
            AppendSection(content, dm, section, fileName);
    ReplaceFile(fileName, content);
}

void ReadLineFile(TDM &dm, const QString &fileName, TRxMemoryData &table, const TLineToRecord &convert)
{
    const QByteArray bytes = ReadWholeFile(fileName, false);
    dm.Loading = true;
    TFinally clear([&] { dm.Loading = false; });
    TControlsDisabler disabled(table);
    table.CheckBrowseMode();
    const auto restore = RestorePositionOnExit(table, table.GetBookmark());
    size_t number = 0;
    for (QByteArrayView bytesLine : SplitFileLines(bytes)) {
        const QString line = FromCp1250(bytesLine.data(), bytesLine.size());
        ++number;
        table.Append();
        try {
            convert(table, line);
        } catch (const EDatabaseError &) {
            table.Cancel();
            throw EOrvanFileError(RefusedLineMessage(line, number));
        }
        table.Post();
    }
}

void WriteLineFile(const QString &fileName, const TDBGridRef &grid, bool selectedOnly, const TRecordToLine &convert)
{
    TRxMemoryData *table = grid.Table();
    QByteArray content;
    if (table) {
        table->CheckBrowseMode();
        TControlsDisabler disabled(*table);
        const TBookmark saved = table->GetBookmark();
        TFinally restore([&] {
            if (!table->GotoBookmark(saved))
                table->First();
        });
        auto writeOne = [&] { AppendLine(content, convert(*table), fileName); };
        if (selectedOnly) {
            for (TBookmark b : grid.SelectedRows())
                if (table->GotoBookmark(b))
                    writeOne();
        } else {
            for (int row = 0; row < table->RecordCount(); ++row) {
                table->SetRecNo(row + 1);
                writeOne();
            }
        }
    }
    ReplaceFile(fileName, content, TFileAccess::OwnerOnly);
}
