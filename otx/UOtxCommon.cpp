#include "otx/UOtxCommon.h"

#include "data/UErrors.h"
#include "data/UOrvanIO.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>

#ifdef Q_OS_WIN
#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

// The console behind a stream, or nullptr for a file or a pipe.
HANDLE ConsoleOf(FILE *stream)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

void WriteConsoleText(HANDLE console, const QString &text)
{
    // In pieces, for older consoles' buffer limit; never between the two
    // halves of a surrogate pair.
    constexpr qsizetype kPiece = 8192;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype n = std::min(kPiece, text.size() - at);
        if (at + n < text.size() && text.at(at + n - 1).isHighSurrogate())
            --n;
        DWORD written = 0;
        if (!WriteConsoleW(console, reinterpret_cast<const wchar_t *>(text.utf16() + at), DWORD(n), &written, nullptr))
            return;
        at += n;
    }
}

} // namespace

TConsoleOutput::TConsoleOutput()
{
    // The C library would make every LF a CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (ConsoleOf(stdout) || ConsoleOf(stderr)) {
        m_previous = GetConsoleOutputCP();
        SetConsoleOutputCP(CP_UTF8);
    }
}

TConsoleOutput::~TConsoleOutput()
{
    if (m_previous != 0)
        SetConsoleOutputCP(m_previous);
}

#else

TConsoleOutput::TConsoleOutput() = default;
TConsoleOutput::~TConsoleOutput() = default;

#endif

void Print(FILE *to, QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    if (!text.endsWith(u'\n'))
        text += u'\n';
#ifdef Q_OS_WIN
    if (const HANDLE console = ConsoleOf(to)) {
        std::fflush(to);
        WriteConsoleText(console, text);
        return;
    }
#endif
    const QByteArray bytes = text.toUtf8();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to) != size_t(bytes.size()) || std::fflush(to) != 0) {
        std::clearerr(to);
        MarkOutputLost();
    }
}

namespace {
std::atomic<bool> g_outputLost{false};
}

bool OutputLost()
{
    return g_outputLost;
}

void MarkOutputLost()
{
    g_outputLost = true;
}

TOtxArgs::TOtxArgs(const QStringList &args, const QStringList &valued, const QStringList &flags)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (!a.startsWith(QLatin1String("--"))) {
            if (a.isEmpty())
                throw TUsageError{QStringLiteral("pusta nazwa pliku.")};
            Positional << a;
            continue;
        }
        if (flags.contains(a)) {
            m_values[a] = QString();
        } else if (valued.contains(a)) {
            if (i + 1 >= args.size())
                throw TUsageError{QStringLiteral("brak wartości opcji %1.").arg(a)};
            m_values[a] = args.at(++i);
        } else {
            throw TUsageError{QStringLiteral("nieznana opcja \"%1\".").arg(a)};
        }
    }
}

QString TOtxArgs::Value(const QString &name, const QString &fallback) const
{
    const auto it = m_values.find(name);
    return it == m_values.end() ? fallback : it->second;
}

int TOtxArgs::Int(const QString &name, int fallback, int lo, int hi) const
{
    if (!Has(name))
        return fallback;
    const QString text = Value(name);
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < lo || v > hi || text.trimmed() != text || text.startsWith(u'+'))
        throw TUsageError{QStringLiteral("niepoprawna wartość opcji %1: \"%2\" (dozwolone %3 do %4).")
                              .arg(name, text, QString::number(lo), QString::number(hi))};
    return v;
}

void TOtxArgs::RequirePositional(int n, const QString &what) const
{
    if (Positional.size() != n)
        throw TUsageError{what};
}

QStringList TProfileOptions::Names()
{
    return {QStringLiteral("--kasa"), QStringLiteral("--eprom"), QStringLiteral("--kaucje")};
}

TProfileOptions TProfileOptions::From(const TOtxArgs &args)
{
    TProfileOptions o;
    o.Kasa = args.Int(QStringLiteral("--kasa"), o.Kasa, 0, 5);
    o.Eprom = args.Int(QStringLiteral("--eprom"), o.Eprom, 0, 1);
    o.Kaucje = args.Int(QStringLiteral("--kaucje"), o.Kaucje, 0, 1);
    return o;
}

void TProfileOptions::Apply(TDM &dm) const
{
    dm.ApplyProfile(Kasa, Kaucje != 0, Eprom);
}

void TPrintedDuplicates::ShowDuplicates()
{
    const TRxMemoryData &t = m_dm.MDPowtNazwy;
    const TField &nazwa = t.FieldByName(QStringLiteral("Nazwa"));
    const TField &internal = t.FieldByName(QStringLiteral("NazwaInt"));
    const TField &etykieta = t.FieldByName(QStringLiteral("Etykieta"));
    const TField &gdzie = t.FieldByName(QStringLiteral("Gdzie"));
    QString out = QStringLiteral("Powtarzające się nazwy:\n");
    for (int r = 0; r < t.RecordCount(); ++r)
        out += QStringLiteral("  \"%1\" widziana jako \"%2\", Nr/Kod %3, %4\n")
                   .arg(nazwa.TextAt(r), internal.TextAt(r), etykieta.TextAt(r), gdzie.TextAt(r));
    Print(stdout, out);
}

QString SectionList(TSectionSet s)
{
    QStringList names;
    for (int i = 0; i < 3; ++i)
        if (s.Contains(i))
            names << SectionNames().at(i);
    return names.join(QStringLiteral(", "));
}

namespace {

// The file a path names: links and "." or ".." resolved when it exists.
QString CanonicalPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

void RefuseSameFile(const QStringList &inputs, const QString &output)
{
#ifdef Q_OS_WIN
    // "Kody.otx" and "KODY.OTX" name one file there.
    constexpr Qt::CaseSensitivity pathCase = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity pathCase = Qt::CaseSensitive;
#endif
    const QString out = CanonicalPath(output);
    for (const QString &in : inputs)
        if (CanonicalPath(in).compare(out, pathCase) == 0)
            throw TUsageError{QStringLiteral("plik wyjściowy \"%1\" to ten sam plik co wejściowy \"%2\"; "
                                             "podaj inną nazwę pliku wyjściowego.")
                                  .arg(output, in)};
}

void CheckExistingSections(const QString &fileName)
{
    if (!QFileInfo::exists(fileName))
        return;
    try {
        CheckDataFileSections(fileName);
    } catch (const Exception &e) {
        throw Exception(e.Message() + QStringLiteral("\rPlik \"%1\" nie został zmieniony: jego pozostałe sekcje "
                                                     "zostałyby utracone.")
                                          .arg(fileName));
    }
}

void RequireOutputFile(const QString &file)
{
    const QString refused = QStringLiteral("Nie można zapisać pliku \"%1\": ").arg(file);
    if (const QString problem = SaveTargetProblem(file); !problem.isEmpty())
        throw EInOutError(refused + problem + u'.');
    // Through a link the save writes beside the file it points at.
    const QFileInfo target(ResolvedTarget(file));
    if (target.exists() && !target.isWritable())
        throw EInOutError(refused + QStringLiteral("plik jest tylko do odczytu."));
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        throw EInOutError(refused + QStringLiteral("nie ma takiego folderu."));
    if (!folder.isWritable() || !folder.isExecutable())
        throw EInOutError(refused + QStringLiteral("brak prawa zapisu w folderze \"%1\".").arg(folder.filePath()));
}
