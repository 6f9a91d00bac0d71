#pragma once
// The program's run: settings, every window created once in the fixed
// order, the demo register, and at the end the placements and settings.
#include "link/UClock.h"
#include "data/UGlobals.h"
#include "app/UMain.h"

#include <QStringList>
#include <memory>
#include <vector>

class TDM;
class TDemoRegister;
class TEditorLinks;
class QWidget;

class TProgram {
public:
    // files: the data file operations (the program's own when null).
    explicit TProgram(TSettingsEnv env, IDataFiles *files = nullptr);
    ~TProgram();

    // Reads the settings and derives the profile; false when that failed
    // (the message has been shown).
    bool StartUp();
    // Creates every window in the start-up order.
    void CreateWindows();
    // Writes the placement of every window shown in this run (the main
    // window's close calls it, before the event loop ends).
    void SavePlacements();
    // Placements (unless written already) and settings; an error is shown.
    void Exit();

    // The port of this run: the demo register's when it runs, else the
    // stored one.
    QString JobPortName() const;

    // --demo, after CreateWindows: the jobs of this run go to the demo
    // register, on clock (tests give a virtual one); the stored port
    // setting stays as it is.
    void StartDemo(TClock &clock = SteadyClock());
    // Stops the demo register (nothing when it does not run); jobs use the
    // stored port again.
    void StopDemo();
    TDemoRegister *Demo() const { return m_demo.get(); }

    TSettings &Settings() { return m_settings; }
    TDM &DataModule() { return *m_dm; }
    TFormMain *FormMain() const { return m_main; }
    const TWindows &Windows() const { return m_windows; }
    // Object names of the windows (and "DM") in the order they were made.
    const QStringList &CreationOrder() const { return m_order; }
    QString PlacementFile() const;

private:
    template <class T, class... A> T *Make(A &&...args);

    TSettingsEnv m_env;
    TSettings &m_settings;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<IDataFiles> m_ownFiles;
    IDataFiles *m_files;
    TFormMain *m_main = nullptr;
    TWindows m_windows;
    std::vector<QWidget *> m_created;
    QStringList m_order;
    std::unique_ptr<TDemoRegister> m_demo;
    std::unique_ptr<TEditorLinks> m_editorLinks; // binds the editor windows to the front end
    bool m_placementsSaved = false;
};
