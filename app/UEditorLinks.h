#pragma once
// The objects through which the editor windows, their in-register views and
// the duplicate-names window reach the program's front end: message boxes,
// the wait window, the progress window, the read and send dialogs. Made by
// the program once every window exists; it binds the windows on creation.
#include "editors/UEditorEnv.h"
#include "app/UMain.h"

#include <memory>

struct TSettings;
class TExchangeDialogs;

class TEditorLinks {
public:
    TEditorLinks(const TWindows &windows, TSettings &settings, TDM &dm, IUnsavedChanges *unsaved);
    ~TEditorLinks();
    TEditorLinks(const TEditorLinks &) = delete;
    TEditorLinks &operator=(const TEditorLinks &) = delete;

    const TEditorEnv &Env() const { return m_env; }

private:
    class TAppMessages;
    std::unique_ptr<TAppMessages> m_messages;
    std::unique_ptr<TFunctionJobRunner> m_jobs;
    std::unique_ptr<TExchangeDialogs> m_dialogs;
    TEditorEnv m_env;
};
