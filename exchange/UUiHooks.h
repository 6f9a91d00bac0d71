#pragma once
// What the logic needs from its front end (the windows, orvan-otx or a
// test): questions and messages, the wait window, a status bar, window
// extras, the duplicate-names window, a module job and the two dialogs
// before a job. Tests use fakes.
#include "data/UGridRef.h"
#include "exchange/UJobRequest.h"

#include <QString>
#include <functional>

enum class TPromptAnswer { Yes, No, Cancel };

// Asked before a command replaces editor tables. With changes not saved the
// program asks as it does at exit: Yes saves first, No goes on, Cancel (or
// a save that did not happen) stops. True when the command may go on.
class IUnsavedChanges {
public:
    virtual ~IUnsavedChanges() = default;
    virtual bool SaveBeforeReplacing() = 0;
};

// True when nothing is there to ask or the answer lets the command go on.
inline bool MayReplaceEditorTables(IUnsavedChanges *unsaved)
{
    return !unsaved || unsaved->SaveBeforeReplacing();
}

// The duplicate-names window (modeless).
class IDuplicateNamesView {
public:
    virtual ~IDuplicateNamesView() = default;
    virtual void ShowDuplicates() = 0;
};

// What the commands use to run a long operation: on failure the error has
// been shown and the caller's command ends with the silent abort.
class IWaitRunner {
public:
    virtual ~IWaitRunner() = default;
    virtual void Execute(const QString &message, const std::function<void()> &procedure) = 0;
};

enum class TAskKind { Warning, Confirmation, Error };

// Message boxes. Every window and command asks its questions through this,
// so tests and the console answer them without a window.
class IMessages {
public:
    virtual ~IMessages() = default;
    virtual void Information(const QString &text) = 0;
    // The application's error box.
    virtual void Error(const QString &text) = 0;
    // Yes, No and Cancel (Yes and No only when withCancel is false).
    virtual TPromptAnswer Ask(const QString &text, TAskKind kind, bool withCancel = true) = 0;
};

// A window's status bar: what its last command did ("Wysłano 5 kodów do
// kasy") and, in the main window, the data file the tables came from.
class IStatusReport {
public:
    virtual ~IStatusReport() = default;
    virtual void ShowStatus(const QString &text) = 0;
    virtual void ShowFile(const QString &text) { (void)text; }
};

// A window that keeps more than its placement in the placement file (grid
// column layouts): saved and restored together with its placement.
class IPlacementExtras {
public:
    virtual ~IPlacementExtras() = default;
    virtual void SaveExtras(const QString &placementFile, const QString &section) const = 0;
    virtual void RestoreExtras(const QString &placementFile, const QString &section) = 0;
};

class IJobRunner {
public:
    virtual ~IJobRunner() = default;
    // Runs one module job, spelled by JobSwitches; the runner adds the
    // model, port and speed. Returns when the job ended with 0000; otherwise
    // raises EAbort (the window has offered the repeat and the user
    // declined; the console has printed the end line).
    virtual void Run(const TJobRequest &request) = 0;
};

class IExchangeDialogs {
public:
    virtual ~IExchangeDialogs() = default;
    // "Odczyt danych z kasy": false when cancelled; the two boxes' states
    // come back in clearFirst and withCounters. forView: a read for an
    // in-register view (the clear box is shown unticked and disabled, and
    // gets its own state back afterwards).
    virtual bool ConfirmRead(bool forView, bool &clearFirst, bool &withCounters) = 0;
    // "Wysłanie danych do kasy": false when cancelled.
    virtual bool ConfirmSend() = 0;
    // "Sprawdź po wysłaniu" of the confirmed send: read the table back and
    // compare it with what was sent.
    virtual bool VerifySend() { return false; }
    // Whether to delete in the register the codes it holds and the editor
    // does not; No is the default answer (and what a front end without
    // the question gives).
    virtual bool ConfirmDeleteMissing(const QString &question)
    {
        (void)question;
        return false;
    }
};
