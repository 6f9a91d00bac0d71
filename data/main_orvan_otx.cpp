// orvan-otx: checks and normalizes data files outside the program, for
// support technicians and scripts.
//
//   orvan-otx check FILE [--kasa N] [--eprom N] [--kaucje 0|1]
//   orvan-otx normalize IN OUT [--kasa N] [--eprom N] [--kaucje 0|1]
//
// Exit codes: 0 fine, 1 refused content or failed check, 2 wrong arguments.
#include "UDM.h"
#include "UErrors.h"
#include "ULocale.h"
#include "UOrvanIO.h"
#include "UPowtNazwy.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

void Print(FILE *to, QString text)
{
    // A carriage return inside a message separates its lines.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    if (!text.endsWith(u'\n'))
        text += u'\n';
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

const char *const kUsage =
    "Użycie:\n"
    "  orvan-otx check PLIK [--kasa N] [--eprom N] [--kaucje 0|1]\n"
    "  orvan-otx normalize WEJŚCIE WYJŚCIE [--kasa N] [--eprom N] [--kaucje 0|1]\n"
    "\n"
    "  check      wczytuje wszystkie znane sekcje pliku danych i sprawdza je tak jak\n"
    "             edytory przed wysłaniem do kasy; kod wyjścia 0: plik nadaje się do\n"
    "             wysłania, 1: plik odrzucony\n"
    "  normalize  wczytuje sekcje znalezione w pliku WEJŚCIE i zapisuje dokładnie te\n"
    "             sekcje do pliku WYJŚCIE (numery kodów w pełnej postaci, liczniki\n"
    "             zerowe, brakujące kolumny z wartościami domyślnymi)\n"
    "\n"
    "  --kasa N      model kasy: 0 ER-A235P, 1 ER-A275P, 2 ER-A237P, 3 ER-A277P,\n"
    "                4 ER-A277PS, 5 ER-A277PS Plus (domyślnie 5)\n"
    "  --eprom N     wersja ER-A235P: 0 wersja A, 1 wersja B (domyślnie 0)\n"
    "  --kaucje 0|1  obsługa kaucji: 0 nie, 1 tak (domyślnie 1)\n"
    "\n"
    "Kody wyjścia: 0 poprawnie, 1 plik odrzucony lub błąd, 2 błędne argumenty.\n";

int Usage(const QString &problem = QString())
{
    if (!problem.isEmpty())
        Print(stderr, QStringLiteral("orvan-otx: ") + problem);
    Print(stderr, QString::fromUtf8(kUsage));
    return ExitUsage;
}

struct TOptions {
    QString Command;
    QStringList Files;
    int Kasa = 5;
    int Eprom = 0;
    int Kaucje = 1;
};

std::optional<int> SmallNumber(const QString &text, int lo, int hi)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < lo || v > hi || text.trimmed() != text || text.startsWith(u'+'))
        return std::nullopt;
    return v;
}

// Parses the arguments; returns an error text, or an empty text when fine.
QString ParseArguments(const QStringList &args, TOptions &o)
{
    if (args.isEmpty())
        return QStringLiteral("brak polecenia.");
    o.Command = args.first();
    if (o.Command != QLatin1String("check") && o.Command != QLatin1String("normalize"))
        return QStringLiteral("nieznane polecenie \"%1\".").arg(o.Command);
    struct TOpt {
        const char *name;
        int *target;
        int lo, hi;
    };
    const TOpt opts[] = {{"--kasa", &o.Kasa, 0, 5}, {"--eprom", &o.Eprom, 0, 1}, {"--kaucje", &o.Kaucje, 0, 1}};
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a.startsWith(QLatin1String("--"))) {
            const TOpt *opt = nullptr;
            for (const TOpt &candidate : opts)
                if (a == QLatin1String(candidate.name))
                    opt = &candidate;
            if (!opt)
                return QStringLiteral("nieznana opcja \"%1\".").arg(a);
            if (i + 1 >= args.size())
                return QStringLiteral("brak wartości opcji %1.").arg(a);
            const auto v = SmallNumber(args.at(++i), opt->lo, opt->hi);
            if (!v)
                return QStringLiteral("niepoprawna wartość opcji %1: \"%2\" (dozwolone %3 do %4).")
                    .arg(a, args.at(i), QString::number(opt->lo), QString::number(opt->hi));
            *opt->target = *v;
        } else {
            o.Files << a;
        }
    }
    const qsizetype wanted = o.Command == QLatin1String("check") ? 1 : 2;
    if (o.Files.size() != wanted)
        return QStringLiteral("polecenie %1 wymaga %2.")
            .arg(o.Command, wanted == 1 ? QStringLiteral("jednej nazwy pliku") : QStringLiteral("dwóch nazw plików"));
    for (const QString &f : o.Files)
        if (f.isEmpty())
            return QStringLiteral("pusta nazwa pliku.");
    return QString();
}

QString SectionList(TSectionSet s)
{
    QStringList names;
    for (int i = 0; i < 3; ++i)
        if (s.Contains(i))
            names << SectionNames().at(i);
    return names.join(QStringLiteral(", "));
}

// Lists the colliding names as the duplicate-names window would.
class TPrintedDuplicates : public IDuplicateNamesView {
public:
    explicit TPrintedDuplicates(TDM &dm) : m_dm(dm) {}
    void ShowDuplicates() override
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

private:
    TDM &m_dm;
};

// Runs CheckTable over one editor table; on failure names the record.
void CheckSection(TDM &dm, int section, const TRecordCheck &check)
{
    TRxMemoryData &table = *dm.TableBySection(section);
    try {
        dm.CheckTable(TTableGridRef(table), QStringLiteral("Numer"), QStringLiteral("Numery nie mogą się powtarzać."),
                      false, check);
    } catch (const Exception &e) {
        throw Exception(e.Message() + QStringLiteral("\r(sekcja %1, rekord %2, Numer %3)")
                                          .arg(SectionNames().at(section), QString::number(table.RecNo()),
                                               table.FieldByName(QStringLiteral("Numer")).Text()));
    }
}

int Check(TDM &dm, const QString &file)
{
    TPrintedDuplicates printer(dm);
    dm.DuplicatesView = &printer;
    const TSectionSet sections = ScanDataFile(dm, file);
    if (sections.IsEmpty()) {
        Print(stderr, QStringLiteral("Plik \"%1\" nie zawiera żadnej sekcji do wysłania (Grupy, Kody, Kaucje).").arg(file));
        return ExitRefused;
    }
    LoadDataFile(dm, file, sections, true);
    CheckSection(dm, 0, [&](bool raise) { return dm.CheckGrupy(raise); });
    CheckSection(dm, 1, [&](bool raise) { return dm.CheckKody(raise); });
    if (sections.Contains(2))
        CheckSection(dm, 2, [&](bool raise) { return dm.CheckKaucje(raise); });
    RequireUniqueNames(dm, DupScopeBoth);
    Print(stdout, QStringLiteral("Plik \"%1\" jest poprawny i nadaje się do wysłania do kasy (sekcje: %2; grupy: %3, kody: %4, kaucje: %5).")
                      .arg(file, SectionList(sections), QString::number(dm.MDGrupy.RecordCount()),
                           QString::number(dm.MDKody.RecordCount()), QString::number(dm.MDKaucje.RecordCount())));
    return ExitOk;
}

int Normalize(TDM &dm, const QString &in, const QString &out)
{
    // Every section found is kept, also deposits under a profile without a
    // deposits table, so that normalizing never drops data.
    TDM scanner;
    scanner.ApplyProfile(5, true, 0);
    const TSectionSet sections = ScanDataFile(scanner, in);
    LoadDataFile(dm, in, sections, true);
    SaveDataFile(dm, out, sections);
    Print(stdout, QStringLiteral("Zapisano plik \"%1\" (sekcje: %2).")
                      .arg(out, sections.IsEmpty() ? QStringLiteral("brak") : SectionList(sections)));
    return ExitOk;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.size() == 1 && (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h"))) {
        Print(stdout, QString::fromUtf8(kUsage));
        return ExitOk;
    }
    TOptions o;
    const QString problem = ParseArguments(args, o);
    if (!problem.isEmpty())
        return Usage(problem);

    InitFormatSettingsFromSystem();
    TDM dm;
    dm.ApplyProfile(o.Kasa, o.Kaucje != 0, o.Eprom);
    try {
        if (o.Command == QLatin1String("check"))
            return Check(dm, o.Files.at(0));
        return Normalize(dm, o.Files.at(0), o.Files.at(1));
    } catch (const Exception &e) {
        Print(stderr, e.Message());
        return ExitRefused;
    } catch (const std::exception &e) {
        Print(stderr, QString::fromLocal8Bit(e.what()));
        return ExitRefused;
    }
}
