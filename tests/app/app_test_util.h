#pragma once
// Shared pieces of the window tests: one QApplication for the test program,
// message boxes that tests answer and a program's folders for a test.
#include "data/UGlobals.h"
#include "app/UMessages.h"
#include "scripted_messages.h"
#include "test_application.h"

#include <QApplication>
#include <QStringList>
#include <deque>
#include <stdexcept>
#include <vector>

// A control of a window by its object name; fails loudly when missing.
template <class T> T *Child(const QObject &window, const char *name)
{
    T *child = window.findChild<T *>(QString::fromLatin1(name));
    if (!child)
        throw std::runtime_error(std::string("no control ") + name);
    return child;
}

// The environment of a program started by a test: every folder is folder,
// so nothing of the user's own configuration is read or written.
inline TSettingsEnv ProgramEnvIn(const QString &folder, quint32 processId)
{
    TSettingsEnv env;
    env.ProgramDir = folder;
    env.TempDir = folder;
    env.ProcessId = processId;
    env.ConfigDir = folder;
    return env;
}

inline QApplication &TestApp()
{
    return TestApplication("test_app");
}

// Records every box; questions take their answers from a queue (No when
// it runs dry), with the icon and buttons of each.
class TFakeMessages : public TQueuedMessages {
public:
    QStringList Questions;
    std::vector<TAskKind> Kinds;  // the icon of each question
    std::vector<bool> WithCancel; // whether it offered Cancel

    TPromptAnswer Ask(const QString &text, TAskKind kind, bool withCancel) override
    {
        Questions << text;
        Kinds.push_back(kind);
        WithCancel.push_back(withCancel);
        return TQueuedMessages::Ask(text, kind, withCancel);
    }
};

// Puts fake boxes in place of the program's for one test.
class TScopedMessages {
public:
    explicit TScopedMessages(IMessages *messages) { SetAppMessages(messages); }
    ~TScopedMessages() { SetAppMessages(nullptr); }
};
