#pragma once
// The test programs' one QApplication. Its windows draw off screen on
// Windows too: Wine hands a Windows program none of the caller's QT_
// variables (only WINEQT_ ones) and, with no display, creates no window, so
// on the system's own platform close() would close nothing and a dialog's
// exec() would wait for ever.
#include <QApplication>
#include <QStringList>
#include <ostream>

// Failures show the texts, not their UTF-16 units.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList &l, std::ostream *os)
{
    *os << '{' << l.join(QStringLiteral(" | ")).toStdString() << '}';
}

inline QApplication &TestApplication(const char *programName)
{
    static int argc = 1;
    static char name[64];
    static char *argv[] = {name, nullptr};
    static QApplication *app = [programName] {
        qstrncpy(name, programName, sizeof name);
#ifdef _WIN32
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        return new QApplication(argc, argv);
    }();
    return *app;
}
