#pragma once

// Ctrl+C of the console programs, and the requests to end that a logout or
// a service manager sends (SIGTERM, SIGHUP; on Windows the console's
// Ctrl+C, Ctrl+Break, close, logoff and shutdown events): the first one
// calls handler (SIGINT for Ctrl+C and Ctrl+Break, SIGTERM for the others),
// so the program stops its job and cleans up; a second one of the same
// kind ends the program at once.
// A reader that goes away (SIGPIPE: "| head" has read enough) is no reason
// to die with the job half done: the signal is ignored, the write fails,
// and the program stops its job on that failure as on Ctrl+C.
void InstallStopHandler(void (*handler)(int));
