#pragma once
// What the editor windows are given by the program once every window
// exists: the data module and the front-end objects the exchange and
// editor logic talks through. The windows cannot reach app/ themselves.
#include "data/UDM.h"
#include "exchange/UUiHooks.h"

#include <QString>
#include <functional>

class QWidget;

struct TEditorEnv {
    TDM *DM = nullptr;
    IMessages *Messages = nullptr;
    IWaitRunner *Wait = nullptr;
    IJobRunner *Jobs = nullptr;
    IExchangeDialogs *Dialogs = nullptr;
    // The duplicate-names window, shown when a send or check is refused for
    // names the register would see as one. May stay null.
    IDuplicateNamesView *Duplicates = nullptr;
    // Asked before a read replaces editor tables (the main window's commands).
    IUnsavedChanges *Unsaved = nullptr;
    // The port the next job talks to: with the model it names the register
    // whose codes the program remembers ("send changed"). May stay empty.
    std::function<QString()> RegisterPort;
    // Exchange files of the three tables.
    QString GrupyFile;
    QString KodyFile;
    QString KaucjeFile;
};

// A job runner that hands the job to a function (the progress window).
class TFunctionJobRunner : public IJobRunner {
public:
    explicit TFunctionJobRunner(std::function<void(const TJobRequest &)> run) : m_run(std::move(run)) {}
    void Run(const TJobRequest &request) override { m_run(request); }

private:
    std::function<void(const TJobRequest &)> m_run;
};

// Brings a modeless window forward (shown, not minimised, active).
void BringForward(QWidget *window);
