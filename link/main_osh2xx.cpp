// osh2xx: one job of the communication module from the command line.
//   osh2xx [--port NAME] SWITCH ...   |   osh2xx --help | --version
// The switches are joined with single blanks into the module's command
// line; a relative /F name is taken in the current folder. The last line
// on stdout is the end code (four hex digits) and its message, or "0000".
#include "UBuildInfo.h"
#include "link/UClock.h"
#include "link/UConsoleDisplay.h"
#include "link/UInterrupt.h"
#include "link/UModule.h"
#include "link/UNational.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include "link/UWinApi.h"
#include "link/UWinText.h"

#include <direct.h>
#include <shellapi.h>
#endif

namespace {

std::atomic<bool> *g_stop = nullptr;

extern "C" void onInterrupt(int)
{
    if (g_stop)
        g_stop->store(true);
}

void installInterrupt(std::atomic<bool> &stop)
{
    g_stop = &stop;
    InstallStopHandler(onInterrupt);
}

#ifdef _WIN32
#define PORT_EXAMPLES "COM1, COM12, ..."
#else
#define PORT_EXAMPLES "COM1, ttyUSB0, /dev/ttyS0, ..."
#endif

const char *const kHelp =
    "Użycie: osh2xx [--port NAZWA] /PRZEŁĄCZNIK ...\n"
    "Jedno zadanie modułu komunikacyjnego kasy SHARP ER-A2xx: wysłanie tabeli,\n"
    "odczyt tabeli albo odczyt pamięci fiskalnej. Przełączniki łączone są\n"
    "pojedynczymi odstępami w wiersz poleceń modułu; wartość przełącznika sięga\n"
    "do następnego znaku \"/\", a względna nazwa pliku po /F oznacza plik\n"
    "w bieżącym katalogu. Ostatni wiersz wyjścia to kod końcowy (cztery cyfry\n"
    "szesnastkowe) z komunikatem albo 0000.\n"
    "\n"
    "Opcje:\n"
    "  --port NAZWA   port szeregowy kasy (" PORT_EXAMPLES ");\n"
    "                 bez tej opcji port wybiera przełącznik /P\n"
    "  --help         ten tekst\n"
    "  --version      wersja programu\n"
    "\n"
    "Przełączniki:\n"
    "  /?             tylko nagłówek modułu i data kompilacji\n"
    "  /Lx            polskie litery po stronie PC: S, M, D, L, P, V, G, I, C, K, W\n"
    "                 (domyślnie W, Windows-1250)\n"
    "  /Q             bez nagłówka, tekstu stanu i wierszy błędów\n"
    "  /Vmodel        model kasy: 235, 237, 275, 277, 277PS, 277PSP (domyślnie 235)\n"
    "  /Pn            numer portu COMn (wymagany; przy --port bez znaczenia)\n"
    "  /Bn            prędkość w bodach (domyślnie 19200)\n"
    "  /En            numer kasy 0..999999 (domyślnie 1)\n"
    "  /Xz            zadanie: D wysłanie tabeli, U odczyt tabeli,\n"
    "                 P odczyt pamięci fiskalnej (wymagany)\n"
    "  /Fplik         plik wymiany (wymagany)\n"
    "  /Tnn           numer tabeli kasy, szesnastkowo (D, U)\n"
    "  /Alitery       pola tabeli (D, U)\n"
    "  /Mn            selektor w pakiecie polecenia, szesnastkowo (domyślnie 0)\n"
    "  /Rzakres       zakres: cyfry, A-F, przecinki i minusy, np. /R0009-0020\n"
    "  /Cn            D: liczba bloków (domyślnie 1); U: pole pakietu polecenia\n"
    "  /Nn            D: parametr nagłówka tabeli (domyślnie 5)\n"
    "  /On            D: liczba pomijanych pierwszych wierszy pliku (domyślnie 0)\n"
    "  /r[n]          D: najwięcej rekordów w jednym pakiecie (domyślnie 1000)\n"
    "  /Zlitery       U: druga maska pól żądania\n"
    "  /o             U: żądanie bez maski pól\n"
    "  /p+ | /p-      znacznik papieru (domyślnie -)\n"
    "  /Wn            oczekiwanie w sekundach przed zapytaniem o stan kasy\n"
    "  /Yn            tylko sprawdzany\n"
    "  /U[tekst]      kiedy po zadaniu pytać kasę o stan\n"
    "  /*             nigdy nie pytać kasy o stan\n"
    "\n"
    "Kody wyjścia: 0 zadanie zakończone kodem 0000, 1 błąd zadania,\n"
    "2 błędne argumenty.\n";

int usage(const char *problem)
{
    std::fprintf(stderr, "osh2xx: %s\nUżycie: osh2xx [--port NAZWA] /PRZEŁĄCZNIK ...\n", problem);
    return 2;
}

void printEnd(int code, const std::string &utf8Text)
{
    if (code == 0)
        std::printf("0000\n");
    else
        std::printf("%04X %s\n", static_cast<unsigned>(code) & 0xFFFFu, utf8Text.c_str());
    std::fflush(stdout);
}

// The folder a relative /F name is taken in; empty when unknown.
std::string currentFolder()
{
#ifdef _WIN32
    // The module's names are UTF-8.
    wchar_t *folder = _wgetcwd(nullptr, 0);
    const std::string text = folder ? PageFromWide(folder) : std::string();
    std::free(folder);
    return text;
#else
    std::error_code ec;
    const std::string folder = std::filesystem::current_path(ec).string();
    return ec ? std::string() : folder;
#endif
}

#ifdef _WIN32
// Every text goes out as UTF-8; the console gets its code page back at the
// end.
struct TUtf8Console {
    const UINT previous = GetConsoleOutputCP();
    TUtf8Console() { SetConsoleOutputCP(CP_UTF8); }
    ~TUtf8Console()
    {
        if (previous != 0)
            SetConsoleOutputCP(previous);
    }
} g_utf8Console;
#endif

} // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    // The arguments as the system has them (UTF-16), passed on as UTF-8: the
    // narrow argv would have lost what the ANSI code page cannot hold.
    std::vector<std::string> utf8Args;
    int wideCount = 0;
    if (wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &wideCount)) {
        for (int i = 0; i < wideCount; ++i)
            utf8Args.push_back(PageFromWide(wide[i]));
        LocalFree(wide);
    }
    std::vector<char *> utf8Argv;
    for (std::string &a : utf8Args)
        utf8Argv.push_back(a.data());
    utf8Argv.push_back(nullptr);
    if (!utf8Args.empty()) {
        argc = static_cast<int>(utf8Args.size());
        argv = utf8Argv.data();
    }
#endif
    std::string portName;
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("osh2xx (Orvan277PS Plus) %s\n", ORVAN_VERSION);
            return 0;
        }
        if (arg == "--port") {
            if (i + 1 >= argc || std::string(argv[i + 1]).empty())
                return usage("brak nazwy portu po --port");
            portName = argv[++i];
            continue;
        }
        if (!commandLine.empty())
            commandLine += ' ';
        commandLine += arg;
    }

    const std::string folder = currentFolder();

    TConsoleDisplay display(OutputCodePage(commandLine));
    TModuleResult result;
    try {
        display.Start();
        installInterrupt(display.StopRequested);
        RunModule(commandLine, portName, folder, display, SteadyClock(),
                  DefaultJobTable(), result);
    } catch (const std::exception &e) {
        const std::string text = PcToUtf8('L', Utf8ToCp852("Błąd wewnętrzny programu")) + ": " + e.what();
        printEnd(0x9999, text);
        return 1;
    }
    printEnd(result.Code, ConsoleText(result.CodePage, result.Text));
    return result.Code == 0 ? 0 : 1;
}
