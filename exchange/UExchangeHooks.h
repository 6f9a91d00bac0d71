#pragma once
// What the exchange and editor logic needs from its front end (the windows,
// orvan-otx or a test): run a module job and the two dialogs before a job.
// Message boxes are IMessages and the wait window IWaitRunner (UUiHooks.h).
#include "data/UUiHooks.h"
#include "exchange/UJobRequest.h"

#include <QString>

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
