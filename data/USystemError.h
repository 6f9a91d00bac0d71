#pragma once
// The operating system's own text for an error code, as the messages that
// name a failed file or registry call end: strerror's text for an errno
// value on Linux, the system message (FormatMessageW, in the language of
// the user's Windows) for a GetLastError value on Windows.
#include <QString>

QString SystemErrorText(int code);
