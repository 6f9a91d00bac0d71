#pragma once

#include <csignal>

#ifndef _WIN32
#include <signal.h>
#endif

// Ctrl+C of the console programs: the first one calls handler, a second one
// ends the program at once.
inline void InstallSigintHandler(void (*handler)(int))
{
#ifndef _WIN32
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
#else
    std::signal(SIGINT, handler);
#endif
}
