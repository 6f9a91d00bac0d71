// osh2xx: one job of the communication module from the command line.
//   osh2xx [--port NAME] SWITCH ...
// The switches are joined with single blanks into the module's command
// line; a relative /F name is taken in the current folder. The last line
// on stdout is the end code (four hex digits) and its message, or "0000".
#include "UClock.h"
#include "UConsoleDisplay.h"
#include "UModule.h"
#include "UNational.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <signal.h>
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
#ifndef _WIN32
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // A second Ctrl+C ends the program at once.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
#else
    std::signal(SIGINT, onInterrupt);
#endif
}

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

} // namespace

int main(int argc, char **argv)
{
    std::string portName;
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
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

    std::error_code ec;
    const std::string folder = std::filesystem::current_path(ec).string();

    TConsoleDisplay display(OutputCodePage(commandLine));
    TModuleResult result;
    try {
        display.Start();
        installInterrupt(display.StopRequested);
        RunModule(commandLine, portName, ec ? std::string() : folder, display, SteadyClock(),
                  DefaultJobTable(), result);
    } catch (const std::exception &e) {
        const std::string text = PcToUtf8('L', Utf8ToCp852("Błąd wewnętrzny programu")) + ": " + e.what();
        printEnd(0x9999, text);
        return 1;
    }
    printEnd(result.Code, ConsoleText(result.CodePage, result.Text));
    return result.Code == 0 ? 0 : 1;
}
