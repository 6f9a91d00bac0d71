#include "link/UInterrupt.h"

#include <csignal>

#ifdef _WIN32
#include "link/UWinApi.h"

#include <atomic>

namespace {

std::atomic<void (*)(int)> g_handler{nullptr};
std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_ending{false};

// Runs on a thread of its own that the system starts.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    std::atomic<bool> &seen = interrupt ? g_interrupted : g_ending;
    void (*handler)(int) = g_handler;
    if (!handler || seen.exchange(true))
        return FALSE; // the system's own handling: the program ends
    handler(interrupt ? SIGINT : SIGTERM);
    // After a close, logoff or shutdown event the system ends the process
    // as soon as this returns: wait here instead, until the program has
    // cleaned up and ends itself (or the system's time is up).
    if (!interrupt)
        Sleep(INFINITE);
    return TRUE;
}

} // namespace

void InstallStopHandler(void (*handler)(int))
{
    g_handler = handler;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

#else
#include <initializer_list>

#include <signal.h>

void InstallStopHandler(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}
#endif
