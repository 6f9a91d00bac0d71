#pragma once
// Message boxes and the application's error handler. Every window asks its
// questions through IMessages, so tests answer them without a window.
#include "exchange/UUiHooks.h"

#include <QString>
#include <exception>
#include <functional>

class QWidget;
class QApplication;

// The application's names (settings path, box titles) and Qt's own texts
// in Polish: Yes/No/Cancel, the file dialogs. No display name is set, so
// that Qt adds nothing to the windows' captions. False when Qt's Polish
// translation cannot be found (its texts stay English).
bool PrepareApplication(QApplication &app);

// Message boxes titled with the application's name.
class TMessageBoxes : public IMessages {
public:
    void Information(const QString &text) override;
    void Error(const QString &text) override;
    TPromptAnswer Ask(const QString &text, TAskKind kind, bool withCancel = true) override;
};

// The program's message boxes; a test may put its own in place (nullptr
// restores the boxes).
IMessages &AppMessages();
void SetAppMessages(IMessages *messages);

// CR LF and lone CR become line breaks of the box; the texts themselves
// keep the bytes the program defines.
QString BoxText(const QString &text);

// The application's handler: the message of an error goes to the error box;
// the silent abort shows nothing.
void HandleException(std::exception_ptr error);

// Runs a user command and hands anything it raises to the handler.
void RunCommand(const std::function<void()> &command);
