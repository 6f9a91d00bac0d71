// orvan-otx: the console side of the program, for support technicians and
// scripts. Every command calls the same logic classes as the windows.
// Exit codes: 0 fine, 1 refused content or failed run, 2 wrong arguments.
#include "UBuildInfo.h"
#include "data/UErrors.h"
#include "data/UFinally.h"
#include "data/ULocale.h"
#include "otx/UOtxCommands.h"
#include "otx/UOtxCommon.h"
#include "data/URunFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>

namespace {

// Each command's usage lines come first, then the options they share.
const char *const kUsage =
    "Użycie:\n"
    "  orvan-otx check PLIK [--kasa N] [--eprom N] [--kaucje 0|1]\n"
    "  orvan-otx normalize WEJŚCIE WYJŚCIE [--kasa N] [--eprom N] [--kaucje 0|1]\n"
    "  orvan-otx send PLIK --port URZĄDZENIE [--kasa N] [--eprom N] [--kaucje 0|1] [--baud N] [--tables LISTA]\n"
    "                 [--changed [--delete-missing]] [--verify] [--timeout SEKUNDY]\n"
    "  orvan-otx read PLIK --port URZĄDZENIE [--counters] [--kasa N] [--eprom N] [--kaucje 0|1] [--baud N] [--tables LISTA]\n"
    "                 [--timeout SEKUNDY]\n"
    "  orvan-otx report WYJŚCIE.txt --port URZĄDZENIE [--sections LISTA] [--kasa N] [--eprom N] [--kaucje 0|1] [--baud N]\n"
    "                 [--timeout SEKUNDY]\n"
    "  orvan-otx fiscal-read WYJŚCIE.frp --port URZĄDZENIE [--numbers N-M | --dates RRRR-MM-DD..RRRR-MM-DD] [--baud N]\n"
    "                 [--timeout SEKUNDY]\n"
    "  orvan-otx fiscal-text WEJŚCIE.frp\n"
    "  orvan-otx fiscal-pdf WEJŚCIE.frp WYJŚCIE.pdf\n"
    "  orvan-otx import PLIK.csv WYJŚCIE.otx --table kody|grupy --columns OPIS [--separator ZNAK]\n"
    "                   [--encoding utf-8|windows-1250] [--truncate-names] [--replace-letters]\n"
    "                   [--kasa N] [--eprom N] [--kaucje 0|1]\n"
    "  orvan-otx export PLIK.otx WYJŚCIE.csv --table kody|grupy|kaucje\n"
    "  orvan-otx find-register [--ports URZĄDZENIE,...] [--register N]\n"
    "\n"
    "  check        wczytuje wszystkie znane sekcje pliku danych i sprawdza je tak jak\n"
    "               edytory przed wysłaniem do kasy; kod wyjścia 0: plik nadaje się do\n"
    "               wysłania, 1: plik odrzucony\n"
    "  normalize    wczytuje sekcje znalezione w pliku WEJŚCIE i zapisuje dokładnie te\n"
    "               sekcje do pliku WYJŚCIE (numery kodów w pełnej postaci, liczniki\n"
    "               zerowe, brakujące kolumny z wartościami domyślnymi)\n"
    "  send         sprawdza i wysyła tabele pliku danych do kasy (grupy, kody, kaucje)\n"
    "  read         odczytuje tabele z kasy i zapisuje je do pliku danych\n"
    "  report       odczytuje tabele z licznikami sprzedaży i zapisuje raport sprzedaży\n"
    "  fiscal-read  odczytuje pamięć fiskalną kasy do pliku raportu (.frp i .frp.dig)\n"
    "  fiscal-text  wypisuje okresowy raport fiskalny z pliku raportu\n"
    "  fiscal-pdf   zapisuje okresowy raport fiskalny z pliku raportu jako PDF\n"
    "  import       wczytuje listę towarów z pliku CSV i zapisuje przyjęte wiersze jako\n"
    "               sekcję pliku danych; pierwsze 20 odrzuconych wierszy z numerem\n"
    "               wiersza i powodem (i liczba pozostałych) trafia na standardowe\n"
    "               wyjście błędów (kod wyjścia 1)\n"
    "  export       zapisuje tabelę pliku danych jako CSV (separator \";\", przecinek\n"
    "               dziesiętny, UTF-8 ze znacznikiem BOM)\n"
    "  find-register  szuka kasy na wszystkich portach szeregowych naraz (albo na\n"
    "               portach z --ports) przy każdej prędkości: tylko budzenie i pytanie\n"
    "               o stan, nic w kasie się nie zmienia; wypisuje wynik każdego portu,\n"
    "               a na końcu port i prędkość kasy (kod wyjścia 0) lub \"Nie znaleziono\n"
    "               kasy.\" (kod wyjścia 1)\n"
    "\n"
    "  --ports LISTA  porty oddzielone przecinkami (domyślnie wszystkie zgłaszane przez system)\n"
    "  --register N   numer kasy, 0..999999 (domyślnie 1)\n"
    "  --kasa N       model kasy: 0 ER-A235P, 1 ER-A275P, 2 ER-A237P, 3 ER-A277P,\n"
    "                 4 ER-A277PS, 5 ER-A277PS Plus (domyślnie 5)\n"
    "  --eprom N      wersja ER-A235P: 0 wersja A, 1 wersja B (domyślnie 0)\n"
    "  --kaucje 0|1   obsługa kaucji: 0 nie, 1 tak (domyślnie 1)\n"
    "  --port URZĄDZENIE  port szeregowy kasy (COM1, ttyUSB0, /dev/ttyS0, ...)\n"
    "  --baud N       prędkość: 19200, 9600, 4800 lub 2400 (domyślnie 9600)\n"
    "  --timeout SEKUNDY  send, read, report, fiscal-read: gdy kasa nic nie odpowiada przez\n"
    "                 tyle sekund, zadanie zostaje przerwane jak przez Ctrl+C i polecenie\n"
    "                 kończy się kodem 1 (domyślnie 120; 0: bez limitu, polecenie czeka\n"
    "                 na kasę aż do Ctrl+C)\n"
    "  --tables LISTA, --sections LISTA  tabele oddzielone przecinkami: grupy,kody,kaucje\n"
    "  --counters     odczyt z licznikami sprzedaży\n"
    "  --changed      wysyła tylko kody nowe i zmienione od ostatniego wysłania lub odczytu\n"
    "                 (program pamięta zawartość każdej kasy: model i port; kasy na\n"
    "                 pseudoterminalu /dev/pts nie pamięta między uruchomieniami)\n"
    "  --delete-missing  z --changed: usuwa w kasie kody, których nie ma w pliku\n"
    "  --verify       po wysłaniu odczytuje tabelę z kasy i porównuje ją z wysłaną;\n"
    "                 każda różnica kończy polecenie błędem\n"
    "  --columns OPIS pola i kolumny pliku CSV (od 1), \"@\" daje jedną wartość dla\n"
    "                 wszystkich wierszy: Numer=1,Nazwa=3,Cena=5,Grupa=@1\n"
    "  --separator ZNAK  \";\", \",\" lub tab (domyślnie rozpoznawany z pliku)\n"
    "  --encoding     utf-8 lub windows-1250 (domyślnie rozpoznawane z pliku)\n"
    "  --truncate-names  skraca nazwy do 16 znaków zamiast odrzucać wiersz\n"
    "  --replace-letters zamienia litery, których kasa nie przechowuje, na litery\n"
    "                 podstawowe (É na E, Č na C) zamiast odrzucać wiersz\n"
    "\n"
    "Kody wyjścia: 0 poprawnie, 1 plik odrzucony lub błąd, 2 błędne argumenty.\n";

int Usage(const QString &problem = QString())
{
    if (!problem.isEmpty())
        Print(stderr, QStringLiteral("orvan-otx: ") + problem);
    Print(stderr, QString::fromUtf8(kUsage));
    return ExitUsage;
}

#ifndef Q_OS_WIN
// An argument whose bytes are not text of the system's encoding would
// reach the program as another name (every bad byte a U+FFFD): shows the
// argument with its bad bytes as \xHH, or an empty text when it is text.
QString NotText(const QByteArray &arg)
{
    const auto isText = [](const QByteArray &bytes) {
        return QFile::encodeName(QString::fromLocal8Bit(bytes)) == bytes;
    };
    if (isText(arg))
        return QString();
    QString shown;
    for (qsizetype at = 0; at < arg.size();) {
        // The longest clean character from here (UTF-8: up to 4 bytes), or
        // one bad byte.
        qsizetype n = std::min<qsizetype>(4, arg.size() - at);
        while (n > 0 && !isText(arg.mid(at, n)))
            --n;
        if (n == 0) {
            shown += QStringLiteral("\\x") + QString::number(uchar(arg.at(at)), 16).rightJustified(2, u'0').toUpper();
            ++at;
        } else {
            shown += QString::fromLocal8Bit(arg.mid(at, n));
            at += n;
        }
    }
    return shown;
}
#endif

struct TCommand {
    const char *Name;
    int (*Run)(const QStringList &args);
};

const TCommand kCommands[] = {
    {"check", OtxCheck},
    {"normalize", OtxNormalize},
    {"send", OtxSend},
    {"read", OtxRead},
    {"report", OtxReport},
    {"fiscal-read", OtxFiscalRead},
    {"fiscal-text", OtxFiscalText},
    {"fiscal-pdf", OtxFiscalPdf},
    {"import", OtxImport},
    {"export", OtxExport},
    {"find-register", OtxFindRegister},
};

} // namespace

int main(int argc, char **argv)
{
    // The serial port and the PDF fonts need an application object.
    QCoreApplication app(argc, argv);
    // The exchange files of the run go with it, also after a stopped job.
    const TFinally removeRunFolder([] { RemoveRunFolder(); });
    const TConsoleOutput console;
#ifdef Q_OS_WIN
    // The system's UTF-16 command line: the ANSI argv loses every letter
    // outside the code page of the machine.
    QStringList args = QCoreApplication::arguments().mid(1);
#else
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        // Never open another file than the one named.
        if (const QString shown = NotText(QByteArray(argv[i])); !shown.isEmpty())
            return Usage(QStringLiteral("argument \"%1\" zawiera bajty, które nie są tekstem w kodowaniu systemu "
                                        "(pokazane jako \\xHH); zmień nazwę pliku albo ustaw odpowiednie "
                                        "kodowanie (LANG).")
                             .arg(shown));
        args << QString::fromLocal8Bit(argv[i]);
    }
#endif
    if (args.size() == 1 && (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h"))) {
        Print(stdout, QString::fromUtf8(kUsage));
        return ExitOk;
    }
    if (args.size() == 1 && args.first() == QLatin1String("--version")) {
        Print(stdout, QStringLiteral("orvan-otx (Orvan277PS Plus) " ORVAN_VERSION));
        return ExitOk;
    }
    if (args.isEmpty())
        return Usage(QStringLiteral("brak polecenia."));
    const QString name = args.takeFirst();
    const TCommand *command = nullptr;
    for (const TCommand &c : kCommands)
        if (name == QLatin1String(c.Name))
            command = &c;
    if (!command)
        return Usage(QStringLiteral("nieznane polecenie \"%1\".").arg(name));

    InitFormatSettingsFromSystem();
    try {
        const int code = command->Run(args);
        // A reader that went away saw no end: the command cannot report success.
        return code == ExitOk && OutputLost() ? ExitRefused : code;
    } catch (const TUsageError &e) {
        return Usage(e.Text);
    } catch (const EAbort &) {
        // Whoever aborted has said why.
        return ExitRefused;
    } catch (const Exception &e) {
        Print(stderr, e.Message());
        return ExitRefused;
    } catch (const std::exception &e) {
        // The system's own words only after the sentence in Polish.
        Print(stderr, QStringLiteral("Błąd wewnętrzny programu w poleceniu %1; polecenie przerwano (%2).")
                          .arg(name, QString::fromUtf8(e.what())));
        return ExitRefused;
    } catch (...) {
        Print(stderr, QStringLiteral("Błąd wewnętrzny programu w poleceniu %1; polecenie przerwano.").arg(name));
        return ExitRefused;
    }
}
