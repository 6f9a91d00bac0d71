#include "data/USystemError.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstring>
#endif

QString SystemErrorText(int code)
{
#ifdef _WIN32
    wchar_t *buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, DWORD(code), 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text = length ? QString::fromWCharArray(buffer, int(length)).trimmed() : QString();
    LocalFree(buffer);
    // A code the system has no text for still tells the reader something.
    return text.isEmpty() ? QStringLiteral("błąd systemu %1").arg(code) : text;
#else
    return QString::fromLocal8Bit(std::strerror(code));
#endif
}
