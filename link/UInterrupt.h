#pragma once

#include <csignal>

#ifndef _WIN32
#include <signal.h>
#endif

// Ctrl+C of the console programs, and the requests to end that a logout or
// a service manager sends (SIGTERM, SIGHUP): the first one calls handler,
// so the program stops its job and cleans up; a second one of the same kind
// ends the program at once.
inline void InstallStopHandler(void (*handler)(int))
{
#ifndef _WIN32
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
#else
    std::signal(SIGINT, handler);
    std::signal(SIGTERM, handler);
#endif
}
